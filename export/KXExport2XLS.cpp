#include "export/KXExport2XLS.h"

#include "data/base/DatabaseError.h"
#include "data/base/Unicode.h"
#include "data/dataset/DataSet.h"
#include "export/Windows1252.h"

#include <cctype>
#include <cstring>
#include <exception>

namespace {
constexpr uint16_t recBOF = 0x0809;
constexpr uint16_t recBlank = 0x0201;
constexpr uint16_t recRK = 0x027E;
constexpr uint16_t recNumber = 0x0203;
constexpr uint16_t recLabel = 0x0204;
constexpr uint16_t recEOF = 0x000A;
constexpr uint16_t BlankXF = 0x0017;
constexpr uint16_t BIFF8Version = 0x0600;
constexpr int64_t RKMin = -(int64_t{1} << 29);
constexpr int64_t RKMax = (int64_t{1} << 29) - 1;

// Whether a double holds the integer exactly (53 bits of mantissa).
bool FitsDouble(int64_t v) {
    constexpr int64_t limit = int64_t{1} << 53;
    return v >= -limit && v <= limit;
}

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Patch16(std::string& out, size_t at, uint32_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

uint16_t Read16(const std::string& in, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(in[at]) |
                                 (static_cast<uint8_t>(in[at + 1]) << 8));
}

void PutBOF(std::string& out, uint16_t version) {
    Put16(out, recBOF);
    Put16(out, 8);
    Put16(out, version);
    Put16(out, 0x0010); // worksheet
    Put16(out, 0);
    Put16(out, 0);
}

// The cell header shared by the cell records: number, length, row, column, XF.
void PutCell(std::string& out, uint16_t number, uint32_t length, uint32_t row, uint32_t column,
             uint16_t xf) {
    Put16(out, number);
    Put16(out, length);
    Put16(out, row);
    Put16(out, column);
    Put16(out, xf);
}

// An edit mask's picture applied to a text: placeholders (0 9 # L l A a C c)
// take the text's characters in order, '>' and '<' switch to upper and lower
// case and "<>" back, '\' makes the next character literal, other characters are literals;
// the sections after ';' (saving literals, the blank character) are not read.
std::string FormatMaskText(std::string_view mask, std::string_view text) {
    std::string out;
    size_t t = 0;
    int caseMode = 0;
    for (size_t i = 0; i < mask.size() && mask[i] != ';'; ++i) {
        const char m = mask[i];
        switch (m) {
        case '!':
            break;
        case '>':
            caseMode = 1;
            break;
        case '<': // "<>" ends the case switch
            if (i + 1 < mask.size() && mask[i + 1] == '>') {
                caseMode = 0;
                ++i;
            } else {
                caseMode = -1;
            }
            break;
        case '\\':
            if (i + 1 < mask.size()) out += mask[++i];
            break;
        case '0':
        case '9':
        case '#':
        case 'L':
        case 'l':
        case 'A':
        case 'a':
        case 'C':
        case 'c':
            if (t < text.size()) {
                const auto c = static_cast<unsigned char>(text[t++]);
                out += static_cast<char>(caseMode > 0   ? std::toupper(c)
                                         : caseMode < 0 ? std::tolower(c)
                                                        : c);
            }
            break;
        default:
            out += m;
        }
    }
    if (t < text.size()) out.append(text.substr(t));
    return out;
}
} // namespace

TKXExport2XLS::TKXExport2XLS() = default;
TKXExport2XLS::~TKXExport2XLS() = default;

// --- the record stream ------------------------------------------------------

void TKXExport2XLS::ExportToStream(TStream& stream) {
    fRow = 0;
    fCol = 0;
    fTarget = &stream;
    fUnicode = false;
    fPending.clear();
    try {
        TKXExport::ExportToStream(stream);
        Flush();
    } catch (...) {
        // What was written before the error stays in the stream.
        try {
            Flush();
        } catch (...) {
        }
        fTarget = nullptr;
        throw;
    }
    fTarget = nullptr;
}

void TKXExport2XLS::ExportToFile(const std::string& path) {
    if (fToStream)
        TKXExport::ExportToFile(path);
    else
        ExportThroughAutomation(path);
}

void TKXExport2XLS::Emit(const std::string& record) {
    if (fUnicode)
        fTarget->Write(record);
    else
        fPending += record;
}

void TKXExport2XLS::Flush() {
    if (fUnicode || !fTarget) return;
    std::string pending;
    pending.swap(fPending); // written once, also when the write fails
    fTarget->Write(pending);
}

// A text without a windows-1252 byte for one of its characters turns the
// whole document into BIFF8: the records held so far are written again with
// the BIFF8 start record and UTF-16 texts, and what follows goes straight to
// the stream.
void TKXExport2XLS::SwitchToUnicode() {
    std::string pending;
    pending.swap(fPending);
    fUnicode = true;
    std::string out;
    size_t p = 0;
    while (p + 4 <= pending.size()) {
        const uint16_t number = Read16(pending, p);
        const size_t length = Read16(pending, p + 2);
        const size_t data = p + 4;
        if (number == recBOF) {
            PutBOF(out, BIFF8Version);
        } else if (number == recLabel) {
            const size_t n = Read16(pending, data + 6);
            fUnits.clear();
            for (size_t k = 0; k < n; ++k)
                fUnits += Windows1252ToUnicode(static_cast<uint8_t>(pending[data + 8 + k]));
            AppendUnicodeLabel(out, Read16(pending, data), Read16(pending, data + 2));
        } else {
            out.append(pending, p, 4 + length);
        }
        p = data + length;
        if (out.size() >= (1u << 16)) {
            fTarget->Write(out);
            out.clear();
        }
    }
    fTarget->Write(out);
}

void TKXExport2XLS::CheckPosition() const {
    if (fRow > MaxRow)
        throw EDatabaseError("The XLS worksheet is full: it holds at most 65,536 rows. Export "
                             "to XLSX instead, which takes every record (1,048,576 rows a sheet, "
                             "and further sheets beyond), or export fewer records or more "
                             "records per line");
    if (fCol > MaxColumn)
        throw EDatabaseError("An XLS worksheet row holds at most 65,536 cells: export fewer "
                             "columns or fewer records per line");
}

void TKXExport2XLS::WriteHeader() {
    fRecord.clear();
    PutBOF(fRecord, 0x0000);
    Emit(fRecord);
}

void TKXExport2XLS::WriteFooter() {
    if (AfterWriteTable) AfterWriteTable(*this);
    fRecord.clear();
    Put16(fRecord, recEOF);
    Put16(fRecord, 0);
    Emit(fRecord);
}

void TKXExport2XLS::WriteTitle() {
    const TMappings& mappings = Mappings();
    for (int copy = 0; copy < DestCols(); ++copy)
        for (int i = 0; i < mappings.Count(); ++i) {
            WriteLabel(mappings.ValueFromIndex(i));
            ++fCol;
        }
    ++fRow;
    fCol = 0;
}

void TKXExport2XLS::WriteBlank() {
    CheckPosition();
    fRecord.clear();
    PutCell(fRecord, recBlank, 6, fRow, fCol, BlankXF);
    Emit(fRecord);
}

// Integers outside the 30 bits of an RK value are stored as numbers, which
// hold every 32-bit integer exactly.
void TKXExport2XLS::WriteInteger(int64_t value) {
    if (value < RKMin || value > RKMax) {
        WriteNumber(static_cast<double>(value));
        return;
    }
    CheckPosition();
    fRecord.clear();
    PutCell(fRecord, recRK, 10, fRow, fCol, 0);
    Put32(fRecord, (static_cast<uint32_t>(value) << 2) | 2);
    Emit(fRecord);
}

void TKXExport2XLS::WriteNumber(double value) {
    CheckPosition();
    fRecord.clear();
    PutCell(fRecord, recNumber, 14, fRow, fCol, 0);
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Put32(fRecord, static_cast<uint32_t>(bits));
    Put32(fRecord, static_cast<uint32_t>(bits >> 32));
    Emit(fRecord);
}

void TKXExport2XLS::AppendUnicodeLabel(std::string& out, uint16_t row, uint16_t column) {
    size_t n = fUnits.size();
    if (n > MaxLabelUnits) {
        n = MaxLabelUnits;
        if (fUnits[n - 1] >= 0xD800 && fUnits[n - 1] <= 0xDBFF) --n; // keep pairs whole
    }
    PutCell(out, recLabel, static_cast<uint32_t>(9 + 2 * n), row, column, 0);
    Put16(out, static_cast<uint32_t>(n));
    out += '\x01'; // 16-bit characters
    for (size_t k = 0; k < n; ++k)
        Put16(out, fUnits[k]);
}

void TKXExport2XLS::WriteLabel(std::string_view text) {
    CheckPosition();
    fRecord.clear();
    if (!fUnicode) {
        PutCell(fRecord, recLabel, 0, fRow, fCol, 0);
        Put16(fRecord, 0);
        constexpr size_t head = 12;
        bool fits = true;
        size_t i = 0;
        while (i < text.size() && fRecord.size() - head < MaxLabelBytes) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c < 0x80) {
                fRecord += static_cast<char>(c);
                ++i;
                continue;
            }
            const int b = UnicodeToWindows1252(NextUtf8Char(text, i));
            if (b < 0) {
                fits = false;
                break;
            }
            fRecord += static_cast<char>(b);
        }
        if (fits) {
            const size_t n = fRecord.size() - head;
            Patch16(fRecord, 2, static_cast<uint32_t>(n + 8));
            Patch16(fRecord, 10, static_cast<uint32_t>(n));
            Emit(fRecord);
            return;
        }
        SwitchToUnicode();
        fRecord.clear();
    }
    fUnits.clear();
    for (size_t i = 0; i < text.size() && fUnits.size() <= MaxLabelUnits;) {
        char32_t c = NextUtf8Char(text, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            fUnits += static_cast<char16_t>(0xD800 + (c >> 10));
            fUnits += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            fUnits += static_cast<char16_t>(c);
        }
    }
    AppendUnicodeLabel(fRecord, static_cast<uint16_t>(fRow), static_cast<uint16_t>(fCol));
    Emit(fRecord);
}

void TKXExport2XLS::WriteCell(TColumn& column) {
    const TField* field = column.Field();
    if (!field || field->IsNull()) {
        WriteBlank();
    } else {
        switch (field->DataType()) {
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
            WriteInteger(field->AsLargeInt());
            break;
        // The wide integers of dBase N10 to N18 and of text columns: numbers
        // where a double holds them exactly; past 2^53 the digits are kept
        // as text rather than rounded.
        case ftLargeint: {
            const int64_t value = field->AsLargeInt();
            if (FitsDouble(value))
                WriteInteger(value);
            else
                WriteLabel(CellParams().Text);
            break;
        }
        case ftFloat:
        case ftCurrency:
        case ftBCD:
            WriteNumber(field->AsFloat());
            break;
        // Everything else, bytes fields included, is the cell's text: the
        // hexadecimal digits the grid shows for bytes.
        default:
            WriteLabel(CellParams().Text);
            break;
        }
    }
    Advance();
}

// DestCols records share a row, each taking one column per mapping.
void TKXExport2XLS::Advance() {
    const auto m = static_cast<uint32_t>(Mappings().Count());
    const uint32_t k = fCol + 1;
    if (m > 0 && k % m == 0 && k / m == static_cast<uint32_t>(DestCols())) {
        ++fRow;
        fCol = 0;
    } else {
        ++fCol;
    }
}

// --- the automation path ----------------------------------------------------

void TKXExport2XLS::AutomationTitle(TSpreadsheetApplication& app, int& row) {
    const TMappings& mappings = Mappings();
    const int m = mappings.Count();
    ++row;
    for (int c = 1; c <= DestCols() * m; ++c) {
        const int entry = (c - 1) % m;
        const TColumn& column = MappedColumn(entry);
        app.SetCellValue(row, c, mappings.ValueFromIndex(entry));
        if (column.TitleColor() != clNone)
            app.SetCellInteriorColor(row, c, ColorToRGB(column.TitleColor()));
        const TFont& font = column.TitleFont();
        app.SetCellFontStyle(row, c, (font.Style & fsBold) != 0, (font.Style & fsItalic) != 0,
                             (font.Style & fsUnderline) != 0, (font.Style & fsStrikeOut) != 0);
        app.SetCellFontColor(row, c, ColorToRGB(font.Color));
    }
}

void TKXExport2XLS::AutomationRecord(TSpreadsheetApplication& app, int& row) {
    const int m = Mappings().Count();
    const int place = WrittenCount() % DestCols();
    if (place == 0) ++row;
    for (int j = 1; j <= m; ++j) {
        const TColumn& column = MappedColumn(j - 1);
        fValue.clear();
        if (const TField* field = column.Field()) {
            switch (field->DataType()) {
            case ftSmallint:
            case ftInteger:
            case ftWord:
                field->GetAsString(fValue);
                break;
            case ftLargeint:
                field->GetAsString(fValue);
                // Past 2^53 the application would round the number: text.
                if (!FitsDouble(field->AsLargeInt())) fValue += "\xC2\xA0";
                break;
            case ftMemo:
                if (IncludeMemo())
                    field->GetAsString(fValue);
                else
                    field->GetDisplayText(fValue);
                break;
            default:
                if (!field->EditMask().empty())
                    fValue = FormatMaskText(field->EditMask(), field->EditText());
                else
                    field->GetDisplayText(fValue);
                // A no-break space keeps the application from reading the
                // text as a number or a date.
                if (field->DataType() != ftFloat && field->DataType() != ftCurrency &&
                    field->DataType() != ftBCD)
                    fValue += "\xC2\xA0";
                break;
            }
        }
        app.SetCellValue(row, m * place + j, fValue);
    }
    SetWrittenCount(WrittenCount() + 1);
}

void TKXExport2XLS::ExportThroughAutomation(const std::string& path) {
    TTableView* grid = Grid();
    if (!grid) throw EDatabaseError("Cannot export: no grid is assigned");
    TDataSet* dsp = grid->DataSet();
    if (!dsp || !dsp->Active()) throw EDatabaseError("Cannot export: the grid has no open dataset");
    TDataSet& ds = *dsp;

    std::unique_ptr<TSpreadsheetApplication> created =
        fFactory ? fFactory() : CreateSpreadsheetApplication();
    if (!created) throw EAutomationError("No spreadsheet application is available");
    fAutomation = std::move(created);
    TSpreadsheetApplication& app = *fAutomation;
    app.WorkbooksAdd();

    SetFileName(path);
    ds.DisableControls();
    try {
        grid->SavePosition();
    } catch (...) {
        ds.EnableControls();
        SetFileName(std::string());
        throw;
    }
    SetWrittenCount(0);
    SetExporting(true);

    // Every step runs; the first error among them is passed on.
    auto cleanUp = [&] {
        SetExporting(false);
        std::exception_ptr first;
        try {
            grid->RestorePosition();
        } catch (...) {
            first = std::current_exception();
        }
        try {
            ds.EnableControls();
        } catch (...) {
            if (!first) first = std::current_exception();
        }
        try {
            if (AfterWriteTable) AfterWriteTable(*this);
        } catch (...) {
            if (!first) first = std::current_exception();
        }
        if (first) std::rethrow_exception(first);
    };
    auto step = [&](int& row) {
        AutomationRecord(app, row);
        if (AfterWriteRow) AfterWriteRow(*this);
        return Exporting();
    };
    try {
        int row = 0;
        if (NeedTitle() && (grid->Options() & dgTitles) != 0) AutomationTitle(app, row);
        switch (RecordRange()) {
        case rrAll:
        case rrToLast:
            if (RecordRange() == rrAll) ds.First();
            while (!ds.Eof()) {
                if (!step(row)) break;
                ds.Next();
            }
            break;
        case rrToFirst:
            ds.Last();
            while (!ds.Bof()) {
                if (!step(row)) break;
                ds.Prior();
            }
            break;
        case rrSelected: {
            const TBookmarkList& selected = grid->SelectedRows();
            if (selected.Count() > 0) {
                for (int i = 0; i < selected.Count(); ++i) {
                    const std::string bookmark = selected[i];
                    if (!ds.BookmarkValid(bookmark)) continue;
                    ds.SetBookmark(bookmark);
                    if (!step(row)) break;
                }
            } else if (!ds.IsEmpty()) {
                AutomationRecord(app, row);
            }
            break;
        }
        }
    } catch (...) {
        try {
            cleanUp();
        } catch (...) {
        }
        SetFileName(std::string());
        throw;
    }
    try {
        cleanUp();
    } catch (...) {
        SetFileName(std::string());
        throw;
    }
    SetFileName(std::string());

    if (fCreateFile) {
        // The application quits even when saving failed, and the failure is
        // then reported: the user must not be told of a file that is not there.
        std::exception_ptr saveError;
        try {
            app.ActiveWorkbookSaveAs(path);
        } catch (...) {
            saveError = std::current_exception();
        }
        app.Quit();
        if (saveError) std::rethrow_exception(saveError);
    } else {
        app.SetVisible(true);
    }
}

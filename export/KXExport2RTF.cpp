#include "export/KXExport2RTF.h"

#include <filesystem>

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/base/Unicode.h"
#include "data/dataset/DataSet.h"

#include <array>
#include <charconv>
#include <sys/stat.h>

TKXExport2RTF::TKXExport2RTF() = default;

void TKXExport2RTF::AppendInt(int64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    fLine.append(buf, r.ptr);
}

int TKXExport2RTF::ColorNumber(TColor color) {
    const TColor rgb = ColorToRGB(color);
    for (size_t i = 0; i < fColors.size(); ++i)
        if (fColors[i] == rgb) return static_cast<int>(i);
    if (fDirect) TakeBackBody();
    fColors.push_back(rgb);
    return static_cast<int>(fColors.size() - 1);
}

int TKXExport2RTF::FontNumber(const std::string& name) {
    for (size_t i = 0; i < fFonts.size(); ++i)
        if (SameText(fFonts[i], name)) return static_cast<int>(i);
    if (fDirect) TakeBackBody();
    fFonts.push_back(name);
    return static_cast<int>(fFonts.size() - 1);
}

// The head is out already and lacks a font or colour: only a handler that
// changes a column during the walk gets here. The body written after the
// head comes back into the spill stream, the document's stream is cut back
// to where the document began, and the head waits for the end once more.
void TKXExport2RTF::TakeBackBody() {
    fBody->Clear();
    fTarget->CopyTail(fBodyStart, *fBody);
    fTarget->Truncate(fDocumentStart);
    fOut = fBody.get();
    fDirect = false;
    fMayGoDirect = false;
}

// Without a cell hook of its own, a view gives every cell its column's font
// and colour, so the first record enters all the fonts and colours the body
// uses. A view of another class may prepare cells in its own way.
bool TKXExport2RTF::CellsFromColumns() const {
    const TTableView& grid = *Grid();
    return !grid.OnGetCellParams && grid.CellsFromColumns();
}

void TKXExport2RTF::Emit(std::string_view text) {
    if (fOut)
        fOut->Write(text);
    else
        Write(text);
}

void TKXExport2RTF::AppendHead() {
    fLine += "{\\rtf0\\ansi\r\n{\\colortbl";
    for (TColor c : fColors) {
        fLine += "\\red";
        AppendInt(GetRValue(c));
        fLine += "\\green";
        AppendInt(GetGValue(c));
        fLine += "\\blue";
        AppendInt(GetBValue(c));
        fLine += ';';
    }
    fLine += "}\r\n{\\fonttbl";
    for (size_t i = 0; i < fFonts.size(); ++i) {
        fLine += "\\f";
        AppendInt(static_cast<int64_t>(i));
        fLine += "\\fnil ";
        // A semicolon ends the entry, so a name's own is written as a hex escape.
        const size_t start = fLine.size();
        AppendText(fFonts[i]);
        for (size_t k = start; k < fLine.size(); ++k)
            if (fLine[k] == ';') fLine.replace(k, 1, "\\'3b");
        fLine += ';';
    }
    fLine += "}\r\n";
}

// From here on the body goes to the document itself instead of waiting in
// the spill stream: the head is complete once the first record is written.
void TKXExport2RTF::GoDirect() {
    fLine.clear();
    AppendHead();
    fTarget->Write(fLine);
    fBodyStart = fDocumentStart + fLine.size();
    fBody->CopyTo(*fTarget);
    fBody->Clear();
    fOut = fTarget;
    fDirect = true;
}

// Braces and backslashes are escaped so that no text can break the
// document's grouping. Characters outside ASCII are written as \uN? (N the
// UTF-16 unit as a signed 16-bit number, '?' for readers without Unicode):
// 8-bit bytes would be read in whatever code page the reader assumes.
// A line break gets \line before its own bytes, which readers ignore; without
// it the lines of a memo would run together.
void TKXExport2RTF::AppendText(std::string_view text) {
    static constexpr auto Marks = [] {
        std::array<bool, 256> m{};
        m['\\'] = m['{'] = m['}'] = m['\r'] = m['\n'] = true;
        for (int c = 0x80; c < 0x100; ++c)
            m[c] = true;
        return m;
    }();
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        size_t run = i;
        while (run < n && !Marks[static_cast<unsigned char>(text[run])])
            ++run;
        fLine.append(text.data() + i, run - i);
        i = run;
        if (i >= n) break;
        const char c = text[i];
        if (c == '\\' || c == '{' || c == '}') {
            fLine += '\\';
            fLine += c;
            ++i;
        } else if (c == '\r' || c == '\n') {
            fLine += "\\line ";
            fLine += c;
            ++i;
            if (c == '\r' && i < n && text[i] == '\n') {
                fLine += '\n';
                ++i;
            }
        } else {
            char32_t cp = NextUtf8Char(text, i);
            auto unit = [this](uint32_t u) {
                fLine += "\\u";
                AppendInt(static_cast<int16_t>(static_cast<uint16_t>(u)));
                fLine += '?';
            };
            if (cp >= 0x10000) {
                cp -= 0x10000;
                unit(0xD800 + (cp >> 10));
                unit(0xDC00 + (cp & 0x3FF));
            } else {
                unit(cp);
            }
        }
    }
}

// A large body waits on the destination's disk rather than in memory; a
// destination that is no file (a device, a pipe) has no such disk.
std::string TKXExport2RTF::SpillFolder() const {
    if (FileName().empty()) return std::string();
    struct stat st;
    if (::stat(FileName().c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return std::string();
    std::string folder = std::filesystem::path(FileName()).parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

void TKXExport2RTF::ExportToStream(TStream& stream) {
    fBody = std::make_unique<TSpillStream>(SpillFolder());
    fTarget = &stream;
    fOut = fBody.get();
    fDirect = false;
    fMayGoDirect = stream.Rewritable();
    fDocumentStart = stream.Size();
    fColors.clear();
    fFonts.clear();
    fColumns.clear();
    fTwips.clear();
    fFormats.clear();
    fRowShading.clear();
    fRowDefinition.clear();
    fLaidOut = false;
    ColorNumber(clBlack);
    ColorNumber(clWhite);
    ColorNumber(clBtnFace); // no entry of its own when it is black or white
    try {
        TKXExport::ExportToStream(*fBody);
        if (!fDirect) {
            fLine.clear();
            AppendHead();
            stream.Write(fLine);
            fBody->CopyTo(stream);
        }
    } catch (...) {
        // Nothing of the document stays behind where that can be undone;
        // the error that stopped it is the one to report.
        if (stream.Rewritable()) {
            try {
                stream.Truncate(fDocumentStart);
            } catch (...) {
            }
        }
        Release();
        throw;
    }
    Release();
}

void TKXExport2RTF::Release() {
    fBody.reset();
    fTarget = nullptr;
    fOut = nullptr;
    fDirect = false;
    fMayGoDirect = false;
    fColumns.clear();
    fLaidOut = false;
}

// The columns and their widths are fixed for the whole export: neither the
// layout nor the mappings may change while the walk runs.
void TKXExport2RTF::LayOut() {
    if (fLaidOut) return;
    TTableView& grid = *Grid();
    int dpi = grid.Metrics().PixelsPerInch();
    if (dpi <= 0) dpi = 96;
    const TMappings& mappings = Mappings();
    fColumns.clear();
    fTwips.clear();
    for (int i = 0; i < mappings.Count(); ++i) {
        const int index = MappedColumnIndex(i);
        fColumns.push_back(index);
        fTwips.push_back(static_cast<int64_t>(grid.Column(index).Width()) * 1440 / dpi);
    }
    fLaidOut = true;
}

void TKXExport2RTF::AppendRowDefinition() {
    // Lines shaded alike are defined alike: the widths are fixed.
    if (!fRowDefinition.empty() && fShading == fRowShading) {
        fLine += fRowDefinition;
        return;
    }
    const size_t m = fTwips.size();
    const size_t at = fLine.size();
    fLine += "\\trowd\\trgaph40\r\n";
    int64_t edge = 0;
    for (size_t c = 0; c < fShading.size(); ++c) {
        edge += fTwips[c % m];
        fLine += "\\clbrdrl\\brdrs\\brdrcf0\r\n"
                 "\\clbrdrt\\brdrs\\brdrcf0\r\n"
                 "\\clbrdrb\\brdrs\\brdrcf0\r\n"
                 "\\clbrdrr\\brdrs\\brdrcf0\r\n"
                 "\\clshdng10000\\clcfpat";
        AppendInt(fShading[c]);
        // The background colour again, as the cell's plain background with
        // no pattern: some readers (LibreOffice) paint the pattern colour of
        // a 100% shading black. Readers that honour the pattern see the same
        // colour either way.
        fLine += "\\clcbpat";
        AppendInt(fShading[c]);
        fLine += "\\clshdng0\\cellx";
        AppendInt(edge);
        fLine += "\r\n";
    }
    fRowShading = fShading;
    fRowDefinition.assign(fLine, at);
}

void TKXExport2RTF::AppendCellLine(TAlignment alignment, const TFont& font, TColor background,
                                   std::string_view text, TCellFormat* cache) {
    const bool flat = Grid()->Flat();
    const TColor color = ColorToRGB(font.Color);
    const TColor shade = ColorToRGB(background);
    // The control words before the text, kept with what they were made from.
    if (cache && !cache->Prefix.empty() && cache->Alignment == alignment && cache->Flat == flat &&
        cache->Size == font.Size && cache->Style == font.Style && cache->Color == color &&
        cache->Background == shade && cache->Name == font.Name) {
        fLine += cache->Prefix;
    } else {
        const size_t at = fLine.size();
        fLine += "\\pard\\intbl{";
        fLine += alignment == taRightJustify ? "\\qr" : alignment == taCenter ? "\\qc" : "\\ql";
        fLine += flat ? "\\sb12\\sa12" : "\\sb24\\sa24";
        fLine += "\\fs";
        AppendInt(2 * static_cast<int64_t>(font.Size));
        if (font.Style & fsBold) fLine += "\\b";
        if (font.Style & fsItalic) fLine += "\\i";
        if (font.Style & fsStrikeOut) fLine += "\\strike";
        if (font.Style & fsUnderline) fLine += "\\ul";
        const int f = FontNumber(font.Name);
        const int cf = ColorNumber(color);
        const int cb = ColorNumber(shade);
        fLine += "\\f";
        AppendInt(f);
        fLine += "\\cf";
        AppendInt(cf);
        fLine += "\\cb";
        AppendInt(cb);
        fLine += ' ';
        if (cache) {
            cache->Alignment = alignment;
            cache->Flat = flat;
            cache->Size = font.Size;
            cache->Style = font.Style;
            cache->Color = color;
            cache->Background = shade;
            cache->Name = font.Name;
            cache->Prefix.assign(fLine, at);
        }
    }
    AppendText(text);
    fLine += "\\cell}\r\n";
}

void TKXExport2RTF::WriteTitle() {
    const TMappings& mappings = Mappings();
    if (mappings.Empty()) return;
    LayOut();
    TTableView& grid = *Grid();
    const int d = DestCols();
    fShading.clear();
    for (int copy = 0; copy < d; ++copy)
        for (int index : fColumns)
            fShading.push_back(ColorNumber(grid.Column(index).TitleColor()));
    fLine.clear();
    AppendRowDefinition();
    fLine += "{\\trrh0\r\n";
    for (int copy = 0; copy < d; ++copy)
        for (int index : fColumns) {
            const TColumn& column = grid.Column(index);
            AppendCellLine(column.TitleAlignment(), column.TitleFont(), column.TitleColor(),
                           column.TitleCaption(), nullptr);
        }
    fLine += "\\pard\\intbl\\row}\r\n";
    Emit(fLine);
}

// The cells of a new line are shaded before they are written: group k by the
// k-th record after the current one (the last record where the data ends),
// each cell prepared as the engine prepares it. The cursor then goes back
// exactly as far as it went.
void TKXExport2RTF::ShadeFromCurrentRecord() {
    TTableView& grid = *Grid();
    TDataSet& ds = *grid.DataSet();
    const int d = DestCols();
    // A cell's colour is then its column's, whatever the record holds.
    const bool fromColumns = CellsFromColumns();
    fShading.clear();
    int moved = 0;
    for (int k = 0; k < d; ++k) {
        if (k > 0) {
            ds.Next();
            if (!ds.Eof()) ++moved;
        }
        for (int index : fColumns) {
            TColumn& column = grid.Column(index);
            if (fromColumns) {
                fShading.push_back(ColorNumber(column.Color()));
                continue;
            }
            fAheadFont = column.Font();
            fAhead.State = 0;
            fAhead.Font = &fAheadFont;
            fAhead.Background = column.Color();
            fAhead.Alignment = column.Alignment();
            if (const TField* field = column.Field()) {
                if (field->DataType() == ftMemo && IncludeMemo())
                    field->GetAsString(fAhead.Text);
                else
                    field->GetDisplayText(fAhead.Text);
            } else {
                fAhead.Text.clear();
            }
            grid.GetCellParams(column, fAhead);
            fShading.push_back(ColorNumber(fAhead.Background));
        }
    }
    if (moved > 0) ds.MoveBy(-moved);
}

// A record's line is gathered and written at once.
void TKXExport2RTF::WriteRecord() {
    // Without columns there is no row to write; the record still counts.
    if (Mappings().Empty()) {
        TKXExport::WriteRecord();
        return;
    }
    LayOut();
    fLine.clear();
    if (WrittenCount() % DestCols() == 0) {
        ShadeFromCurrentRecord();
        AppendRowDefinition();
        fLine += "{\\trrh0\r\n";
    }
    fCellIndex = 0;
    GatherRecord(fLine);
    if (WrittenCount() % DestCols() == 0) fLine += "\\pard\\intbl\\row}\r\n";
    Emit(fLine);
    if (!fDirect && fMayGoDirect && Exporting() && CellsFromColumns()) GoDirect();
}

void TKXExport2RTF::WriteCell(TColumn& column) {
    const TDBGridCellParams& params = CellParams();
    if (!InRecord()) fLine.clear();
    TCellFormat* cache = nullptr;
    const auto slot = static_cast<size_t>(fCellIndex++);
    if (fLaidOut && slot < fColumns.size()) {
        if (fFormats.size() < fColumns.size()) fFormats.resize(fColumns.size());
        cache = &fFormats[slot];
    }
    AppendCellLine(column.Alignment(), params.Font ? *params.Font : column.Font(),
                   params.Background, params.Text, cache);
    if (!InRecord()) Emit(fLine);
}

void TKXExport2RTF::WriteFooter() {
    const int d = DestCols();
    const int a = WrittenCount() % d;
    if (!Mappings().Empty() && a != 0) {
        // Empty cells complete the last line; the engine does not count them.
        for (int i = 0; i < d - a; ++i) {
            fCellIndex = 0;
            TKXExport::WriteRecord();
        }
        Emit("\\pard\\intbl\\row}\r\n");
    }
    Emit("}");
}

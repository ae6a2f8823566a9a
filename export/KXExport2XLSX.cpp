#include "export/KXExport2XLSX.h"

#include "data/base/DatabaseError.h"
#include "data/base/Unicode.h"
#include "data/dataset/DataSet.h"
#include "data/dataset/NumericField.h"
#include "export/XlsxNumberFormat.h"

#include <unzip.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <strings.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {
constexpr int64_t ExactIntegerLimit = int64_t{1} << 53;
// From 1 March 1900 (day 61) on a spreadsheet's day numbers are the
// program's; before it they count a 29 February 1900 that never was, and
// before 1900 there are none. 1 January 10000 is past the last.
constexpr double FirstSpreadsheetDay = 61;
constexpr double EndOfSpreadsheetDays = 2958466;
// A sheet's XML must stay below the 4 GB a zip member holds without the
// ZIP64 extensions (which not every reader takes): a sheet that comes near
// it is continued on the next one, like a full one.
constexpr uint64_t SheetByteLimit = uint64_t{3} << 30;
constexpr uint64_t CellBytes = 80; // a cell's markup at most, without its text
constexpr uint64_t RowBytes = 40;

// A spreadsheet colour, 0xRRGGBB; black must be said apart from "none".
lxw_color_t SpreadsheetColor(TColor c) {
    const TColor rgb = ColorToRGB(c);
    const auto v =
        static_cast<lxw_color_t>((GetRValue(rgb) << 16) | (GetGValue(rgb) << 8) | GetBValue(rgb));
    return v == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : v;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "_xHHHH_" is how the format spells a character XML cannot carry; text that
// holds it as it stands must escape its underscore ("_x005F_").
bool IsEscapeAt(std::string_view s, size_t at) {
    return s.size() - at >= 7 && s[at] == '_' && s[at + 1] == 'x' && IsHex(s[at + 2]) &&
           IsHex(s[at + 3]) && IsHex(s[at + 4]) && IsHex(s[at + 5]) && s[at + 6] == '_';
}

std::string TemporaryFolder() {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::temp_directory_path(ec);
    return ec || p.empty() ? std::string("/tmp") : p.string();
}

// A new empty file in `folder`, removed again when the object goes.
class TTemporaryFile {
public:
    explicit TTemporaryFile(const std::string& folder) {
        fPath = folder + "/tabulon-XXXXXX.xlsx";
        const int fd = ::mkostemps(fPath.data(), 5, O_CLOEXEC);
        if (fd < 0)
            throw EStreamError("Cannot create a temporary file in \"" + folder +
                                   "\": " + std::strerror(errno),
                               errno);
        ::close(fd);
    }
    ~TTemporaryFile() { ::unlink(fPath.c_str()); }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;
    const std::string& Path() const { return fPath; }

private:
    std::string fPath;
};

void CopyFileInto(const std::string& path, TStream& stream) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EStreamError("Cannot read \"" + path + "\": " + std::strerror(errno), errno);
    std::string buffer(1 << 16, '\0');
    try {
        for (;;) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0)
                throw EStreamError("Cannot read \"" + path + "\": " + std::strerror(errno), errno);
            if (n == 0) break;
            stream.Write(buffer.data(), static_cast<size_t>(n));
        }
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}
} // namespace

TKXExport2XLSX::TKXExport2XLSX() = default;

TKXExport2XLSX::~TKXExport2XLSX() {
    AbandonWorkbook();
}

std::string TKXExport2XLSX::ValidSheetName(std::string_view name, int index) {
    if (name.empty()) return "Sheet" + std::to_string(index);
    const std::string suffix = index > 1 ? " (" + std::to_string(index) + ")" : std::string();
    const size_t room = 31 - suffix.size();
    std::string out;
    size_t units = 0;
    for (size_t i = 0; i < name.size();) {
        char32_t c = NextUtf8Char(name, i);
        if (c < 0x20 || c == '[' || c == ']' || c == ':' || c == '*' || c == '?' || c == '/' ||
            c == '\\' || c == 0xFFFE || c == 0xFFFF)
            c = '_';
        const size_t n = c >= 0x10000 ? 2 : 1;
        if (units + n > room) break;
        units += n;
        AppendUtf8(out, c);
    }
    if (!out.empty() && out.front() == '\'') out.front() = '_';
    if (!out.empty() && out.back() == '\'') out.back() = '_';
    if (suffix.empty() && out.size() == 7 && strncasecmp(out.c_str(), "History", 7) == 0)
        out += '_';
    return out + suffix;
}

void TKXExport2XLSX::CheckColumns() const {
    const uint64_t m = static_cast<uint64_t>(Mappings().Count());
    const uint64_t width = m * static_cast<uint64_t>(DestCols());
    if (width <= ColumnLimit) return;
    std::string need = std::to_string(width) + " columns";
    if (DestCols() > 1)
        need += " (" + std::to_string(m) + " fields x " + std::to_string(DestCols()) +
                " records per line)";
    throw EDatabaseError("An XLSX worksheet holds at most 16,384 columns, and this export needs " +
                         need + ": export fewer fields or fewer records per line");
}

void TKXExport2XLSX::ExportToFile(const std::string& path) {
    CheckColumns();
    TKXExport::ExportToFile(path);
}

// A destination written in place (a device, a pipe) has no name the library
// could write: it gets the workbook as any other stream does.
void TKXExport2XLSX::ExportIntoFile(TFileStream& file, const std::string& tempPath) {
    if (tempPath.empty()) return ExportToStream(file);
    const std::string folder = std::filesystem::path(tempPath).parent_path().string();
    ExportWorkbook(tempPath, folder.empty() ? std::string(".") : folder, file);
}

void TKXExport2XLSX::ExportToStream(TStream& stream) {
    CheckColumns();
    const std::string folder = TemporaryFolder();
    TTemporaryFile temp(folder);
    ExportWorkbook(temp.Path(), folder, stream);
    CopyFileInto(temp.Path(), stream);
}

void TKXExport2XLSX::ExportToClipboard(TClipboard& clipboard) {
    (void)clipboard;
    throw EDatabaseError("An XLSX workbook cannot be copied to the clipboard: export it to a file");
}

void TKXExport2XLSX::ExportWorkbook(const std::string& path, const std::string& tmpdir,
                                    TStream& stream) {
    CheckColumns();
    AbandonWorkbook();
    fPath = path;
    fTmpDir = tmpdir;
    fLineWidth = static_cast<uint32_t>(Mappings().Count()) * static_cast<uint32_t>(DestCols());
    fTitled = false;
    try {
        // The walk writes nothing into the stream; the workbook is the file.
        TKXExport::ExportToStream(stream);
    } catch (...) {
        // What was gathered is written, so that a partial file shows it.
        AbandonWorkbook();
        throw;
    }
    AbandonWorkbook();
}

std::string TKXExport2XLSX::Named() const {
    return FileName().empty() ? std::string() : " \"" + FileName() + "\"";
}

void TKXExport2XLSX::Check(int error) const {
    if (error != LXW_NO_ERROR)
        throw EStreamError("Cannot write the workbook" + Named() + ": " +
                           lxw_strerror(static_cast<lxw_error>(error)));
}

void TKXExport2XLSX::WriteHeader() {
    if (BeforeWriteTable) BeforeWriteTable(*this);
    if (fPath.empty()) throw EStreamError("No export is running: there is no workbook to write");
    lxw_workbook_options options{};
    options.constant_memory = fSharedStrings ? LXW_FALSE : LXW_TRUE;
    options.tmpdir = fTmpDir.data();
    options.use_zip64 = LXW_FALSE;
    fWorkbook = workbook_new_opt(fPath.c_str(), &options);
    if (!fWorkbook) throw EStreamError("Cannot create the workbook" + Named());
    fWrap = workbook_add_format(fWorkbook);
    format_set_text_wrap(fWrap);
    PrepareLayout();
    AddSheet();
}

void TKXExport2XLSX::WriteFooter() {
    if (AfterWriteTable) AfterWriteTable(*this);
    CloseWorkbook();
}

lxw_format* TKXExport2XLSX::NumberFormat(const std::string& code) {
    if (code.empty()) return nullptr; // General
    auto it = fNumberFormats.find(code);
    if (it != fNumberFormats.end()) return it->second;
    lxw_format* f = workbook_add_format(fWorkbook);
    format_set_num_format(f, code.c_str());
    fNumberFormats.emplace(code, f);
    return f;
}

lxw_format* TKXExport2XLSX::TitleFormat(const TColumn& column) {
    const TFont& font = column.TitleFont();
    const lxw_color_t color = SpreadsheetColor(font.Color);
    const uint64_t key = (static_cast<uint64_t>(font.Style) << 32) | color;
    auto it = fTitleFormats.find(key);
    if (it != fTitleFormats.end()) return it->second;
    lxw_format* f = workbook_add_format(fWorkbook);
    format_set_bold(f);
    format_set_font_color(f, color);
    if (font.Style & fsItalic) format_set_italic(f);
    if (font.Style & fsUnderline) format_set_underline(f, LXW_UNDERLINE_SINGLE);
    if (font.Style & fsStrikeOut) format_set_font_strikeout(f);
    fTitleFormats.emplace(key, f);
    return f;
}

// What each mapping entry becomes: the kind of its cells, their number
// format, its title's look and its width. A column's width in pixels holds
// so many digits of the column's font; the sheet gets as many characters,
// which a spreadsheet measures in digits of its own font.
void TKXExport2XLSX::PrepareLayout() {
    const TMappings& mappings = Mappings();
    fLayouts.assign(static_cast<size_t>(mappings.Count()), TLayout());
    TTableView& grid = *Grid();
    const TFontMetrics& metrics = grid.Metrics();
    const TFormatSettings& fs = FormatSettings();
    for (int i = 0; i < mappings.Count(); ++i) {
        TLayout& layout = fLayouts[static_cast<size_t>(i)];
        const TColumn& column = MappedColumn(i);
        layout.Title = TitleFormat(column);
        const TFont& font = column.Font();
        const int overhang = metrics.Overhang(font);
        const int digit = metrics.TextWidth(font, "0") - overhang;
        double width = digit > 0 ? static_cast<double>(column.Width() - 4 - overhang) / digit
                                 : column.Width() / 7.0;
        width = std::round(width * 100) / 100;
        layout.Width = width < 0 ? 0 : width > 255 ? 255 : width;

        const TField* field = column.Field();
        if (!field || field->OnGetText) continue; // the text is the handler's
        const std::string& display = field->DisplayFormat();
        std::string pattern;
        switch (field->DataType()) {
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
        case ftLargeint:
            layout.Kind = ckInteger;
            layout.Format = NumberFormat(display.empty() ? "0" : XlsxNumberFormat(display));
            break;
        case ftFloat:
        case ftCurrency:
        case ftBCD: {
            layout.Kind = ckFloat;
            const auto* number = dynamic_cast<const TFloatField*>(field);
            if (!display.empty())
                layout.Format = NumberFormat(XlsxNumberFormat(display));
            else if (number && number->Currency())
                layout.Format = NumberFormat(XlsxCurrencyFormat(fs));
            break;
        }
        case ftDate:
        case ftDateTime:
        case ftTime:
            layout.Kind = field->DataType() == ftTime ? ckTime : ckDate;
            pattern = !display.empty()              ? display
                      : field->DataType() == ftDate ? fs.ShortDateFormat
                      : field->DataType() == ftTime ? fs.LongTimeFormat
                                                    : std::string("c");
            layout.Format = NumberFormat(XlsxDateTimeFormat(pattern, true, fs));
            layout.Midnight = NumberFormat(XlsxDateTimeFormat(pattern, false, fs));
            break;
        case ftBoolean:
            layout.Kind = ckBoolean;
            break;
        default:
            layout.Kind = IsBlobType(field->DataType()) ? ckBlob : ckText;
            break;
        }
    }
}

void TKXExport2XLSX::AddSheet() {
    const std::string name = ValidSheetName(fSheetName, static_cast<int>(fSheets.size()) + 1);
    lxw_worksheet* sheet = workbook_add_worksheet(fWorkbook, name.c_str());
    if (!sheet)
        throw EStreamError("Cannot add the sheet \"" + name + "\" to the workbook: no temporary " +
                           "file can be made in \"" + fTmpDir + "\"");
    fSheets.push_back(sheet);
    fSheet = sheet;
    fRow = 0;
    fCol = 0;
    fSheetBytes = 0;
    const size_t m = fLayouts.size();
    for (uint32_t c = 0; c < fLineWidth && m > 0; ++c)
        Check(worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                   fLayouts[c % m].Width, nullptr));
}

void TKXExport2XLSX::WriteTitleRow() {
    const TMappings& mappings = Mappings();
    fCol = 0;
    fSheetBytes += RowBytes;
    for (int copy = 0; copy < DestCols(); ++copy)
        for (int i = 0; i < mappings.Count(); ++i) {
            WriteText(mappings.ValueFromIndex(i), fLayouts[static_cast<size_t>(i)].Title);
            ++fCol;
        }
    fCol = 0;
    ++fRow;
    worksheet_freeze_panes(fSheet, 1, 0);
}

void TKXExport2XLSX::WriteTitle() {
    if (!fSheet) throw EStreamError("No export is running: there is no workbook to write");
    fTitled = true;
    WriteTitleRow();
}

// A full sheet goes on in a new one, with the title row again.
void TKXExport2XLSX::BeginLine() {
    if (fRow >= RowLimit || fSheetBytes >= SheetByteLimit) {
        AddSheet();
        if (fTitled) WriteTitleRow();
    }
    fSheetBytes += RowBytes;
}

void TKXExport2XLSX::WriteCell(TColumn& column) {
    if (!fSheet || fLayouts.empty())
        throw EStreamError("No export is running: there is no workbook to write");
    if (fCol == 0) BeginLine();
    if (const TField* field = column.Field())
        WriteValue(*field, fLayouts[fCol % fLayouts.size()]);
    else
        WriteText(CellParams().Text, nullptr);
    // DestCols records share a line, each taking one column per mapping.
    if (++fCol >= fLineWidth) {
        fCol = 0;
        ++fRow;
    }
}

void TKXExport2XLSX::WriteValue(const TField& field, const TLayout& layout) {
    const std::string& text = CellParams().Text;
    if (layout.Kind == ckText) return WriteText(text, nullptr);
    if (layout.Kind == ckBlob) {
        if (!field.IsNull()) WriteText(text, nullptr);
        return;
    }
    field.GetData(fValue);
    double number;
    switch (fValue.Kind) {
    case TValueKind::Null:
        return;
    case TValueKind::Integer:
        // Past 2^53 a double would round the number: its digits stay.
        if (fValue.Int < -ExactIntegerLimit || fValue.Int > ExactIntegerLimit)
            return WriteText(text, nullptr);
        number = static_cast<double>(fValue.Int);
        break;
    case TValueKind::Float:
    case TValueKind::DateTime:
        number = fValue.Float;
        break;
    case TValueKind::Boolean:
        number = fValue.Bool ? 1 : 0;
        break;
    default:
        return WriteText(text, nullptr);
    }
    if (!std::isfinite(number)) return WriteText(text, nullptr);
    switch (layout.Kind) {
    case ckBoolean:
        Check(worksheet_write_boolean(fSheet, fRow, static_cast<lxw_col_t>(fCol), number != 0,
                                      nullptr));
        break;
    case ckDate:
    case ckTime:
        if (layout.Kind == ckTime ? number < 0 || number >= EndOfSpreadsheetDays
                                  : number < FirstSpreadsheetDay || number >= EndOfSpreadsheetDays)
            return WriteText(text, nullptr); // no day of the spreadsheet's calendar
        Check(
            worksheet_write_number(fSheet, fRow, static_cast<lxw_col_t>(fCol), number,
                                   number == std::floor(number) ? layout.Midnight : layout.Format));
        break;
    default:
        Check(worksheet_write_number(fSheet, fRow, static_cast<lxw_col_t>(fCol), number,
                                     layout.Format));
        break;
    }
    fSheetBytes += CellBytes;
}

// The cell's text as the format takes it: a line break as LF (with a
// wrapped cell), ill-formed UTF-8 and the two non-characters XML refuses as
// U+FFFD, NUL left out, "_xHHHH_" escaped, and no more than a cell holds.
// The library escapes markup and control characters itself.
void TKXExport2XLSX::WriteText(const std::string& text, lxw_format* format) {
    bool plain = text.size() <= CellTextLimit;
    uint64_t escapes = 0; // what the library's escaping adds
    for (size_t i = 0; plain && i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x80 || b == '\r' || b == '\n' || b == 0 || (b == '_' && IsEscapeAt(text, i)))
            plain = false;
        else if (b == '&' || b == '<' || b == '>')
            escapes += 4;
        else if (b < 0x20)
            escapes += 6;
    }
    const std::string* out = &text;
    bool wrap = false;
    if (!plain) {
        fText.clear();
        escapes = 0;
        size_t units = 0, points = 0;
        for (size_t i = 0; i < text.size();) {
            const auto b = static_cast<unsigned char>(text[i]);
            char32_t c;
            if (b < 0x80) {
                c = b;
                ++i;
                if (b == '\r') {
                    if (i < text.size() && text[i] == '\n') ++i;
                    c = '\n';
                }
                if (b == 0) continue;
            } else {
                c = NextUtf8Char(text, i);
                if (c == 0xFFFE || c == 0xFFFF) c = ReplacementCharacter;
            }
            const size_t n = c >= 0x10000 ? 2 : 1;
            const bool escape = c == '_' && IsEscapeAt(text, i - 1);
            const size_t width = escape ? 7 : 1;
            if (units + n > CellTextLimit || points + width > CellTextLimit) break;
            units += n;
            points += width;
            if (escape) fText += "_x005F";
            if (c == '\n') wrap = true;
            if (c == '&' || c == '<' || c == '>') escapes += 4;
            if (c < 0x20 && c != '\n' && c != '\t') escapes += 6;
            AppendUtf8(fText, c);
        }
        out = &fText;
    }
    if (out->empty() && !format) return;
    fSheetBytes += CellBytes + out->size() + escapes;
    Check(worksheet_write_string(fSheet, fRow, static_cast<lxw_col_t>(fCol), out->c_str(),
                                 wrap && !format ? fWrap : format));
}

uint64_t TKXExport2XLSX::FreeBytes(const std::string& folder) const {
    struct statvfs fs;
    if (::statvfs(folder.c_str(), &fs) != 0) return UINT64_MAX; // unknown: the writes tell
    return static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
}

// The library writes its temporary files without looking at the writes, so
// a full disk would pass for a finished workbook: the rows' files are
// checked before the package is made, there must be room for the copy of a
// sheet's rows that the library makes on the way into the package (its
// zip writes are checked), and the package afterwards holds each sheet's
// rows. A workbook that fails before the package is dropped unwritten.
void TKXExport2XLSX::CloseWorkbook() {
    if (!fWorkbook) return;
    std::string problem;
    int number = 0;
    std::vector<uint64_t> rowBytes;
    uint64_t largest = 0;
    for (lxw_worksheet* sheet : fSheets) {
        FILE* rows = sheet->optimize_tmpfile;
        uint64_t bytes = 0;
        if (rows) {
            errno = 0;
            if (problem.empty() && (std::fflush(rows) != 0 || std::ferror(rows))) {
                number = errno ? errno : EIO;
                problem = "Cannot write the workbook's temporary files in \"" + fTmpDir +
                          "\": " + std::strerror(number);
            }
            const off_t end = ::ftello(rows);
            bytes = end > 0 ? static_cast<uint64_t>(end) : 0;
        }
        rowBytes.push_back(bytes);
        largest = std::max(largest, bytes);
    }
    const uint64_t need = largest + (uint64_t{1} << 20);
    const uint64_t room = problem.empty() ? FreeBytes(fTmpDir) : UINT64_MAX;
    if (room < need) {
        number = ENOSPC;
        problem = "Not enough room in \"" + fTmpDir + "\" to finish the workbook: it needs " +
                  std::to_string(need >> 20) + " MB more, " + std::to_string(room >> 20) +
                  " MB are free";
    }
    if (!problem.empty()) {
        DropWorkbook();
        throw EStreamError(problem, number);
    }
    lxw_workbook* workbook = fWorkbook;
    ForgetWorkbook();
    Check(workbook_close(workbook));
    CheckPackage(rowBytes);
}

void TKXExport2XLSX::ForgetWorkbook() {
    fWorkbook = nullptr;
    fSheet = nullptr;
    fSheets.clear();
    fNumberFormats.clear();
    fTitleFormats.clear();
    fWrap = nullptr;
}

// Freed without a package; the library leaves the rows' files open then.
void TKXExport2XLSX::DropWorkbook() noexcept {
    for (lxw_worksheet* sheet : fSheets)
        if (sheet->optimize_tmpfile) {
            std::fclose(sheet->optimize_tmpfile);
            sheet->optimize_tmpfile = nullptr;
        }
    lxw_workbook* workbook = fWorkbook;
    ForgetWorkbook();
    lxw_workbook_free(workbook);
}

void TKXExport2XLSX::CheckPackage(const std::vector<uint64_t>& rowBytes) const {
    unzFile zip = unzOpen64(fPath.c_str());
    if (!zip) throw EStreamError("The workbook" + Named() + " cannot be read back");
    for (size_t i = 0; i < rowBytes.size(); ++i) {
        const std::string part = "xl/worksheets/sheet" + std::to_string(i + 1) + ".xml";
        unz_file_info64 info{};
        if (unzLocateFile(zip, part.c_str(), 1) != UNZ_OK ||
            unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
            info.uncompressed_size < rowBytes[i]) {
            unzClose(zip);
            throw EStreamError("Cannot write the workbook" + Named() + ": sheet " +
                                   std::to_string(i + 1) + " was cut short (is the disk full?)",
                               ENOSPC);
        }
    }
    unzClose(zip);
}

void TKXExport2XLSX::AbandonWorkbook() noexcept {
    try {
        CloseWorkbook();
    } catch (...) {
    }
}

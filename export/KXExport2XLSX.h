#pragma once

#include "data/base/Value.h"
#include "export/KXExport.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// A workbook in the Office Open XML format (XLSX), written by libxlsxwriter
// in its constant-memory mode: each row goes to a temporary file as soon as
// the next one starts, so memory stays flat however large the table is.
//
// Cells are typed: numbers as numbers (integers up to 2^53, where a double
// holds every one exactly; wider ones keep their digits as text), decimals
// and currency with the grid's number format, dates and times as dates with
// the locale's formats, booleans as booleans, null as an empty cell, memo
// text with its line breaks in a wrapped cell, every other value as its
// display text. A field with an OnGetText handler gives its text. Texts are
// inline strings (the constant-memory mode has no shared-string table; see
// SetSharedStrings); a text longer than a cell holds (32,767 characters) is
// cut at the last whole character that fits.
//
// The sheet is named after the table, its columns are as wide as the grid's
// in characters, and the title row is bold in the title font's colour and
// frozen. A sheet holds 1,048,576 rows: the records beyond go on further
// sheets, each with the title row again, so that none is dropped. A line
// wider than 16,384 columns is refused before anything is written.
//
// libxlsxwriter writes files by name: a file export writes the new file
// that ExportToFile made beside the destination, with the library's
// temporary files in the same folder (deleted as soon as they are open);
// any other stream, and a destination written in place (a device, a pipe),
// gets the workbook through a temporary file in TMPDIR. A workbook is no
// text, so it is not copied to the clipboard.
class TKXExport2XLSX : public TKXExport {
public:
    TKXExport2XLSX();
    ~TKXExport2XLSX() override;

    // The first sheet's name, usually the table's; empty gives "Sheet1".
    // Made valid for a sheet when the export starts (ValidSheetName).
    const std::string& SheetName() const { return fSheetName; }
    void SetSheetName(std::string v) { fSheetName = std::move(v); }
    // True: the library's standard mode, with texts in a shared-string
    // table; it holds the whole workbook in memory until the end. False
    // (the default): constant memory, texts inline.
    bool SharedStrings() const { return fSharedStrings; }
    void SetSharedStrings(bool v) { fSharedStrings = v; }

    void ExportToStream(TStream& stream) override;
    void ExportToFile(const std::string& path) override;
    // Refused: a workbook is binary.
    void ExportToClipboard(TClipboard& clipboard = Clipboard()) override;

    static constexpr uint32_t RowLimit = 1048576;
    static constexpr uint32_t ColumnLimit = 16384;
    static constexpr size_t CellTextLimit = 32767; // UTF-16 units

    // A name a spreadsheet accepts for sheet `index` (from 1): at most 31
    // UTF-16 units, none of []:*?/\ (each becomes "_"), no apostrophe at
    // either end, not "History". Sheets after the first are "name (2)",
    // "name (3)"...; without a name "Sheet1", "Sheet2"...
    static std::string ValidSheetName(std::string_view name, int index);

protected:
    void WriteHeader() override;
    void WriteFooter() override;
    void WriteTitle() override;
    void WriteCell(TColumn& column) override;
    void ExportIntoFile(TFileStream& file, const std::string& tempPath) override;
    // The room left on the file system of `folder`; UINT64_MAX when unknown.
    virtual uint64_t FreeBytes(const std::string& folder) const;

private:
    enum TCellKind : uint8_t { ckText, ckBlob, ckInteger, ckFloat, ckDate, ckTime, ckBoolean };
    struct TLayout {
        TCellKind Kind = ckText;
        lxw_format* Format = nullptr;   // numbers and dates; dates with a time
        lxw_format* Midnight = nullptr; // dates whose time is midnight
        lxw_format* Title = nullptr;
        double Width = 0; // in characters
    };

    void CheckColumns() const;
    // Runs the walk into a workbook at `path`, its temporary files in `tmpdir`.
    void ExportWorkbook(const std::string& path, const std::string& tmpdir, TStream& stream);
    void PrepareLayout();
    lxw_format* NumberFormat(const std::string& code);
    lxw_format* TitleFormat(const TColumn& column);
    void AddSheet();
    void WriteTitleRow();
    void BeginLine();
    void WriteValue(const TField& field, const TLayout& layout);
    void WriteDate(double value, const TLayout& layout);
    void WriteText(const std::string& text, lxw_format* format);
    void Check(int error) const;
    // The destination's name for messages, quoted after a blank, or empty.
    std::string Named() const;
    // Ends the workbook: writes the package, also after a failure (what
    // was gathered). Raises when writing fails or cannot be finished.
    void CloseWorkbook();
    void DropWorkbook() noexcept;
    void ForgetWorkbook();
    // Each sheet of the written package holds at least its rows' bytes.
    void CheckPackage(const std::vector<uint64_t>& rowBytes) const;
    void AbandonWorkbook() noexcept;

    std::string fSheetName;
    bool fSharedStrings = false;

    std::string fPath;
    std::string fTmpDir;
    lxw_workbook* fWorkbook = nullptr;
    lxw_worksheet* fSheet = nullptr;
    std::vector<lxw_worksheet*> fSheets;
    uint32_t fRow = 0;
    uint32_t fCol = 0;
    uint32_t fLineWidth = 0; // columns of a line: mappings times DestCols
    bool fTitled = false;
    uint64_t fSheetBytes = 0;      // about what the sheet's XML holds so far
    std::vector<TLayout> fLayouts; // per mapping entry
    std::map<std::string, lxw_format*> fNumberFormats;
    std::map<uint64_t, lxw_format*> fTitleFormats;
    lxw_format* fWrap = nullptr;
    TValue fValue;
    std::string fText;
};

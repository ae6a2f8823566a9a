// RTF and XLS documents of the project's writers opened by LibreOffice: the
// RTF saved again as HTML (cell texts and cell colours), the XLS saved as
// UTF-8 CSV (cell texts and numbers), compared with the table. Each document
// covers many cases, because every LibreOffice run takes seconds.

#include "tests/readers/ReaderUtils.h"

#include "tests/support/DbfTestSupport.h"

#include "data/dataset/MemTable.h"
#include "export/KXExport2RTF.h"
#include "export/KXExport2XLS.h"
#include "export/view/WindowlessTableView.h"

#include <cmath>
#include <cstdio>

using namespace readers;

namespace {

const char* const Mixed = "Zo\xC3\xAB \xC3\x86r\xC3\xB8 \xE4\xB8\xAD\xE6\x96\x87 \xC3\x90 \xC3\xA4 "
                          "\xE2\x82\xAC";
const char* const Western = "Zo\xC3\xAB \xC3\x86r\xC3\xB8 \xC3\x90 \xC3\xA4 \xE2\x82\xAC";
const char* const Clef = "\xF0\x9D\x84\x9E"; // U+1D11E, outside the 16-bit range

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out(1);
    for (char c : s) {
        if (c == sep)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char c = s[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string Hex(TColor c) {
    const TColor rgb = ColorToRGB(c);
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
    return buf;
}

// A line break of the table's text as a reader shows it.
std::string OneLineBreak(std::string s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            out += '\n';
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

// RFC 4180 records as LibreOffice writes them.
std::vector<std::vector<std::string>> ParseCsv(const std::string& s) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row(1);
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (quoted) {
            if (c == '"' && i + 1 < s.size() && s[i + 1] == '"') {
                row.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                row.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.emplace_back();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
            rows.push_back(row);
            row.assign(1, std::string());
        } else {
            row.back() += c;
        }
    }
    if (row.size() > 1 || !row[0].empty()) rows.push_back(row);
    return rows;
}

struct TSource {
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
};

} // namespace

// Colours, fonts, every text kind, braces and backslashes, memo line breaks,
// non-ASCII text in and beyond the 16-bit range, two records per line with
// an unfinished last line.
TEST(RtfXlsReaders, LibreOfficeWriterShowsTheRtfTable) {
    TSource s;
    TMemTable& t = s.Table;
    t.FieldDefs().Add("Name", ftString, 40);
    t.FieldDefs().Add("Qty", ftInteger);
    t.FieldDefs().Add("Price", ftFloat);
    t.FieldDefs().Add("Notes", ftMemo);
    t.Open();
    t.AppendRecord({TValue::OfText(Mixed), TValue::OfInt(12), TValue::OfFloat(2.5),
                    TValue::OfText("one\r\ntwo")});
    t.AppendRecord({TValue::OfText("a{b}c\\d"), TValue::OfInt(-7), TValue::OfFloat(-1234.5),
                    TValue::OfText(std::string("x}{\\y ") + Clef)});
    t.AppendRecord({TValue::OfText("Bob"), TValue::Null(), TValue::OfFloat(0.125), TValue::Null()});
    t.First();
    s.View.Bind(&s.Source);
    s.View.Column(0).SetColor(clYellow);
    s.View.Column(1).SetColor(clAqua);
    s.View.Column(2).SetColor(RGBColor(200, 230, 255));
    s.View.Column(3).SetColor(clWhite);
    s.View.Column(1).SetTitleColor(RGBColor(255, 200, 200));
    for (int i = 0; i < 4; ++i)
        s.View.Column(i).SetWidth(120);

    TKXExport2RTF writer;
    writer.SetGrid(&s.View);
    writer.BuildMappings();
    writer.SetDestCols(2);
    writer.SetIncludeMemo(true);

    TTempDir dir;
    const auto rtf = dir / "table.rtf";
    writer.ExportToFile(rtf.string());
    const auto html = ConvertWithLibreOffice(rtf, "html", dir.Path());
    ASSERT_FALSE(html.empty());
    TRunResult r = RunPython("rtf_cells.py", {html.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output;

    // What the grid shows, cell by cell, with each cell's colour.
    std::vector<std::vector<std::pair<std::string, std::string>>> expected(1);
    for (int copy = 0; copy < 2; ++copy)
        for (int i = 0; i < 4; ++i)
            expected[0].emplace_back(Hex(s.View.Column(i).TitleColor()),
                                     s.View.Column(i).TitleCaption());
    int n = 0;
    for (t.First(); !t.Eof(); t.Next(), ++n) {
        if (n % 2 == 0) expected.emplace_back();
        for (int i = 0; i < 4; ++i) {
            const TField& f = t.Fields(i);
            expected.back().emplace_back(Hex(s.View.Column(i).Color()),
                                         OneLineBreak(i == 3 ? f.AsString() : f.DisplayText()));
        }
    }
    for (int i = 0; i < 4; ++i)
        expected.back().emplace_back(Hex(s.View.Column(i).Color()), "");

    std::vector<std::string> lines = Split(r.Output, '\n');
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    ASSERT_EQ(lines.size(), expected.size()) << r.Output;
    for (size_t row = 0; row < lines.size(); ++row) {
        std::vector<std::string> cells = Split(lines[row], '\t');
        ASSERT_EQ(cells.size(), expected[row].size()) << lines[row];
        for (size_t c = 0; c < cells.size(); ++c) {
            const size_t bar = cells[c].find('|');
            ASSERT_NE(bar, std::string::npos);
            EXPECT_EQ(cells[c].substr(0, bar), expected[row][c].first) << row << "," << c;
            EXPECT_EQ(Unescape(cells[c].substr(bar + 1)), expected[row][c].second)
                << row << "," << c;
        }
    }
}

namespace {
// Every cell kind; `beyond` adds texts that windows-1252 cannot hold.
void FillKinds(TMemTable& t, bool beyond) {
    t.FieldDefs().Add("Name", ftString, 40);
    t.FieldDefs().Add("Qty", ftInteger);
    t.FieldDefs().Add("Big", ftInteger);
    t.FieldDefs().Add("Price", ftFloat);
    t.FieldDefs().Add("Amount", ftBCD);
    t.FieldDefs().Add("Flag", ftBoolean);
    t.FieldDefs().Add("When", ftDate);
    t.FieldDefs().Add("Raw", ftBytes, 2);
    t.Open();
    t.AppendRecord({TValue::OfText(Western), TValue::OfInt(12), TValue::OfInt(536870912),
                    TValue::OfFloat(2.5), TValue::OfFloat(1.5), TValue::OfBool(true),
                    TValue::OfDateTime(45000), TValue::OfBytes("\x01\xAB")});
    t.AppendRecord({TValue::OfText("a,b \"q\""), TValue::OfInt(-536870912),
                    TValue::OfInt(-536870913), TValue::OfFloat(-1234.5), TValue::OfFloat(0.01),
                    TValue::OfBool(false), TValue::Null(), TValue::Null()});
    t.AppendRecord({TValue::OfText(""), TValue::Null(), TValue::OfInt(2147483647),
                    TValue::OfFloat(0.125), TValue::Null(), TValue::Null(), TValue::OfDateTime(1),
                    TValue::Null()});
    if (beyond)
        t.AppendRecord({TValue::OfText(std::string(Mixed) + " " + Clef), TValue::OfInt(0),
                        TValue::Null(), TValue::Null(), TValue::Null(), TValue::Null(),
                        TValue::Null(), TValue::Null()});
    t.First();
}

std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

// The spreadsheet's view of the table: numbers as numbers, other kinds as
// the grid's text, nulls empty; `destCols` records per row.
std::vector<std::vector<std::string>> ExpectedSheet(TSource& s, int destCols) {
    TMemTable& t = s.Table;
    const int m = t.FieldCount();
    std::vector<std::vector<std::string>> rows(1);
    for (int copy = 0; copy < destCols; ++copy)
        for (int i = 0; i < m; ++i)
            rows[0].push_back(s.View.Column(i).TitleCaption());
    int n = 0;
    for (t.First(); !t.Eof(); t.Next(), ++n) {
        if (n % destCols == 0) rows.emplace_back();
        for (int i = 0; i < m; ++i) {
            const TField& f = t.Fields(i);
            if (f.IsNull())
                rows.back().push_back("");
            else if (f.DataType() == ftInteger)
                rows.back().push_back(std::to_string(f.AsLargeInt()));
            else if (f.DataType() == ftFloat || f.DataType() == ftBCD)
                rows.back().push_back(Number(f.AsFloat()));
            else
                rows.back().push_back(f.DisplayText());
        }
    }
    return rows;
}

void CompareSheet(const std::filesystem::path& csv,
                  std::vector<std::vector<std::string>> expected) {
    std::vector<std::vector<std::string>> got = ParseCsv(ReadFile(csv));
    ASSERT_EQ(got.size(), expected.size()) << ReadFile(csv);
    for (size_t r = 0; r < got.size(); ++r) {
        // CSV rows run to the sheet's last used column; short rows are padded.
        expected[r].resize(std::max(expected[r].size(), got[r].size()));
        got[r].resize(expected[r].size());
        for (size_t c = 0; c < got[r].size(); ++c)
            EXPECT_EQ(got[r][c], expected[r][c]) << "row " << r << ", column " << c;
    }
}
} // namespace

// Texts that windows-1252 holds: the bare BIFF5 stream with 8-bit labels.
TEST(RtfXlsReaders, LibreOfficeCalcReadsTheWesternXls) {
    TSource s;
    FillKinds(s.Table, false);
    s.View.Bind(&s.Source);
    TKXExport2XLS writer;
    writer.SetGrid(&s.View);
    writer.BuildMappings();
    TTempDir dir;
    const auto xls = dir / "western.xls";
    writer.ExportToFile(xls.string());
    ASSERT_EQ(ReadFile(xls).substr(4, 2), std::string("\0\0", 2)); // BIFF5 start record
    const auto csv =
        ConvertWithLibreOffice(xls, "csv:Text - txt - csv (StarCalc):44,34,76", dir.Path());
    ASSERT_FALSE(csv.empty());
    CompareSheet(csv, ExpectedSheet(s, 1));
}

// Texts beyond windows-1252, two records per row: BIFF8 with UTF-16 labels.
TEST(RtfXlsReaders, LibreOfficeCalcReadsTheUnicodeXls) {
    TSource s;
    FillKinds(s.Table, true);
    s.View.Bind(&s.Source);
    TKXExport2XLS writer;
    writer.SetGrid(&s.View);
    writer.BuildMappings();
    writer.SetDestCols(2);
    TTempDir dir;
    const auto xls = dir / "unicode.xls";
    writer.ExportToFile(xls.string());
    ASSERT_EQ(ReadFile(xls).substr(4, 2), std::string("\0\x06", 2)); // BIFF8 start record
    const auto csv =
        ConvertWithLibreOffice(xls, "csv:Text - txt - csv (StarCalc):44,34,76", dir.Path());
    ASSERT_FALSE(csv.empty());
    CompareSheet(csv, ExpectedSheet(s, 2));
}

// Wide integers of a dBase table (N10 and N18 without decimals) and of a
// column past 32 bits are numbers the spreadsheet can sum, each exactly;
// past 2^53, where a double would round them, their digits stay text.
TEST(RtfXlsReaders, LibreOfficeCalcReadsWideIntegersAsNumbers) {
    TTempDir dir;
    const std::string table = (dir / "wide.dbf").string();
    const std::vector<std::vector<TValue>> records = {
        {TValue::OfInt(9999999999), TValue::OfInt(123456789012345), TValue::OfInt(7)},
        {TValue::OfInt(-214748364), TValue::OfInt(-900719925474099), TValue::OfInt(-3)},
        {TValue::OfInt(0), TValue::OfInt(999999999999999999), TValue::Null()}};
    TDbfWriter::Write(table, dvDBase3, {{"TEN", 'N', 10}, {"EIGHTEEN", 'N', 18}, {"FIVE", 'N', 5}},
                      records);
    dbftest::TDbfTestDataSet dbf(table);
    dbf.Open();
    TDataSource source(&dbf);
    TWindowlessTableView view(&source);
    TKXExport2XLS writer;
    writer.SetGrid(&view);
    writer.BuildMappings();
    writer.SetNeedTitle(false);
    const auto xls = dir / "wide.xls";
    writer.ExportToFile(xls.string());
    const auto fods = ConvertWithLibreOffice(xls, "fods", dir.Path());
    ASSERT_FALSE(fods.empty());
    TRunResult r = RunPython("sheet_cells.py", {fods.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    const std::string text999 = "string|" + std::string("393939393939393939393939393939393939");
    EXPECT_EQ(r.Output, "float|9999999999\tfloat|123456789012345\tfloat|7\n"
                        "float|-214748364\tfloat|-900719925474099\tfloat|-3\n"
                        "float|0\t" +
                            text999 + "\n");
}

// A table without fields (a dBase header may list none) gives an RTF and
// an XLS document without columns that LibreOffice still opens.
TEST(RtfXlsReaders, LibreOfficeOpensDocumentsWithoutColumns) {
    TSource s;
    s.Table.Open();
    s.Table.AppendRecord({});
    s.Table.AppendRecord({});
    s.View.Bind(&s.Source);
    TTempDir dir;
    TKXExport2RTF rtf;
    rtf.SetGrid(&s.View);
    rtf.BuildMappings();
    rtf.ExportToFile((dir / "none.rtf").string());
    EXPECT_FALSE(ConvertWithLibreOffice(dir / "none.rtf", "html", dir.Path()).empty());
    TKXExport2XLS xls;
    xls.SetGrid(&s.View);
    xls.BuildMappings();
    xls.ExportToFile((dir / "none.xls").string());
    const auto csv = ConvertWithLibreOffice(dir / "none.xls",
                                            "csv:Text - txt - csv (StarCalc):44,34,76", dir.Path());
    ASSERT_FALSE(csv.empty());
    EXPECT_EQ(ReadFile(csv).find_first_not_of("\r\n"), std::string::npos) << ReadFile(csv);
}

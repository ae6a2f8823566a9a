#include "data/base/DatabaseError.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "export/KXExport2XLSX.h"
#include "export/XlsxNumberFormat.h"
#include "export/view/WindowlessTableView.h"
#include "tests/support/DbfTestSupport.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestTables.h"
#include "tests/support/XlsxPackage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// TMPDIR pointed at a folder of the test's own.
class TScopedTmpDir {
public:
    explicit TScopedTmpDir(const fs::path& dir) {
        if (const char* old = std::getenv("TMPDIR")) fOld = old, fHad = true;
        setenv("TMPDIR", dir.c_str(), 1);
    }
    ~TScopedTmpDir() {
        if (fHad)
            setenv("TMPDIR", fOld.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    std::string fOld;
    bool fHad = false;
};

struct TXlsxFixture : ::testing::Test {
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
    TKXExport2XLSX Writer;
    TTempFolder Folder{"xlsx-test"};

    void Bind() {
        View.Bind(&Source);
        Writer.SetGrid(&View);
        Writer.BuildMappings();
    }
    fs::path Target(const std::string& name = "t.xlsx") const { return Folder.Path() / name; }
    xlsx::TPackage Export(const std::string& name = "t.xlsx") {
        Writer.ExportToFile(Target(name).string());
        return xlsx::TPackage(Target(name).string());
    }
};

double Number(const xlsx::TCell& c) {
    return std::strtod(c.Value.c_str(), nullptr);
}

int Rows(const std::string& sheetXml) {
    int n = 0;
    for (size_t at = sheetXml.find("<row "); at != std::string::npos;
         at = sheetXml.find("<row ", at + 1))
        ++n;
    return n;
}

const TFormatSettings& Locale() {
    static const TFormatSettings fs = [] {
        TFormatSettings f = TFormatSettings::Classic();
        f.ShortDateFormat = "dd/mm/yyyy";
        f.DateSeparator = '.';
        f.CurrencyString = "\xE2\x82\xAC"; // €
        f.CurrencyFormat = 3;              // "1 €"
        f.NegCurrFormat = 8;               // "-1 €"
        return f;
    }();
    return fs;
}

} // namespace

TEST_F(TXlsxFixture, CellsAreTypedAsTheirFields) {
    TScopedFormatSettings locale(Locale());
    Table.FieldDefs().Add("I", ftInteger);
    Table.FieldDefs().Add("W", ftLargeint);
    Table.FieldDefs().Add("F", ftFloat);
    Table.FieldDefs().Add("C", ftCurrency);
    Table.FieldDefs().Add("B", ftBCD);
    Table.FieldDefs().Add("D", ftDate);
    Table.FieldDefs().Add("T", ftTime);
    Table.FieldDefs().Add("DT", ftDateTime);
    Table.FieldDefs().Add("L", ftBoolean);
    Table.FieldDefs().Add("S", ftString, 40);
    Table.FieldDefs().Add("M", ftMemo);
    Table.Open();
    const double day = EncodeDate(2019, 3, 15);
    const double time = EncodeTime(12, 30, 0, 0);
    const double stamp = EncodeDate(2024, 1, 2) + EncodeTime(13, 45, 10, 0);
    Table.AppendRecord({TValue::OfInt(42), TValue::OfInt(int64_t{1} << 53), TValue::OfFloat(1.25),
                        TValue::OfFloat(1250.5), TValue::OfFloat(0.1), TValue::OfDateTime(day),
                        TValue::OfDateTime(time), TValue::OfDateTime(stamp), TValue::OfBool(true),
                        TValue::OfText("Zo\xC3\xAB \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80"),
                        TValue::OfText("line1\r\nline2\rline3\nline4")});
    Table.AppendRecord({TValue::OfInt(-7), TValue::OfInt((int64_t{1} << 53) + 1),
                        TValue::OfFloat(-0.5), TValue::OfFloat(-40.25), TValue::Null(),
                        TValue::OfDateTime(EncodeDate(1900, 1, 1)), TValue::Null(),
                        TValue::OfDateTime(EncodeDate(2024, 1, 2)), TValue::OfBool(false),
                        TValue::OfText("_x0041_ & <b>"), TValue::Null()});
    Table.AppendRecord({});
    Bind();
    Writer.SetIncludeMemo(true);
    xlsx::TPackage p = Export();
    auto cells = p.Cells(1);

    // Numbers, with the number format that shows them as the grid does.
    EXPECT_EQ(cells["A2"].Type, "");
    EXPECT_EQ(cells["A2"].Value, "42");
    EXPECT_EQ(p.NumberFormat(cells["A2"].Style), "0");
    EXPECT_EQ(cells["A3"].Value, "-7");
    EXPECT_EQ(cells["B2"].Type, "") << "2^53 is still exact";
    EXPECT_EQ(cells["B2"].Value, "9007199254740992");
    EXPECT_EQ(cells["B3"].Type, "inlineStr") << "past 2^53 the digits stay";
    EXPECT_EQ(cells["B3"].Value, "9007199254740993");
    EXPECT_EQ(Number(cells["C2"]), 1.25);
    EXPECT_EQ(p.NumberFormat(cells["C2"].Style), "General");
    EXPECT_EQ(Number(cells["D2"]), 1250.5);
    EXPECT_EQ(Number(cells["D3"]), -40.25);
    EXPECT_EQ(p.NumberFormat(cells["D2"].Style),
              "#,##0.00 \"\xE2\x82\xAC\";\\-#,##0.00 \"\xE2\x82\xAC\"");
    EXPECT_EQ(Number(cells["E2"]), 0.1);
    // Dates as day numbers with the locale's short date.
    EXPECT_EQ(Number(cells["F2"]), day);
    EXPECT_EQ(p.NumberFormat(cells["F2"].Style), "dd\\.mm\\.yyyy");
    EXPECT_NEAR(Number(cells["G2"]), time, 1e-12);
    EXPECT_EQ(p.NumberFormat(cells["G2"].Style), "h\\:mm\\:ss");
    EXPECT_NEAR(Number(cells["H2"]), stamp, 1e-9);
    EXPECT_EQ(p.NumberFormat(cells["H2"].Style), "dd\\.mm\\.yyyy h\\:mm\\:ss");
    EXPECT_EQ(p.NumberFormat(cells["H3"].Style), "dd\\.mm\\.yyyy") << "midnight shows no time";
    // Before 1 March 1900 a spreadsheet's day numbers are not the program's.
    EXPECT_EQ(cells["F3"].Type, "inlineStr");
    EXPECT_EQ(cells["F3"].Value, "01.01.1900");
    // Booleans as booleans.
    EXPECT_EQ(cells["I2"].Type, "b");
    EXPECT_EQ(cells["I2"].Value, "1");
    EXPECT_EQ(cells["I3"].Value, "0");
    // Texts in UTF-8; an escape as written stays text.
    EXPECT_EQ(cells["J2"].Value, "Zo\xC3\xAB \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80");
    EXPECT_EQ(cells["J3"].Value, "_x005F_x0041_ & <b>");
    // A memo's line breaks, each one LF, in a wrapped cell; plain texts are not wrapped.
    EXPECT_EQ(cells["K2"].Value, "line1\nline2\nline3\nline4");
    EXPECT_TRUE(p.Wrapped(cells["K2"].Style));
    EXPECT_FALSE(p.Wrapped(cells["J2"].Style));
    // Null is no cell at all.
    EXPECT_EQ(cells.count("E3"), 0u);
    EXPECT_EQ(cells.count("G3"), 0u);
    EXPECT_EQ(cells.count("K3"), 0u);
    for (const auto& [ref, cell] : cells)
        EXPECT_NE(xlsx::RowOf(ref), 4) << ref << " of the record of nulls";
}

TEST_F(TXlsxFixture, DisplayFormatsHandlersAndPlaceholders) {
    Table.FieldDefs().Add("Q", ftInteger);
    Table.FieldDefs().Add("P", ftFloat);
    Table.FieldDefs().Add("D", ftDate);
    Table.FieldDefs().Add("H", ftInteger);
    Table.FieldDefs().Add("M", ftMemo);
    Table.FieldDefs().Add("G", ftGraphic);
    Table.Open();
    Table.AppendRecord({TValue::OfInt(1234567), TValue::OfFloat(3.14159), TValue::OfDateTime(45000),
                        TValue::OfInt(2), TValue::OfText("a memo"), TValue::Null()});
    Table.FieldByName("Q").SetDisplayFormat("#,##0");
    Table.FieldByName("P").SetDisplayFormat("0.00%");
    Table.FieldByName("D").SetDisplayFormat("yyyy-mm-dd");
    Table.FieldByName("H").OnGetText = [](TField& f, std::string& text, bool) {
        text = f.AsInteger() == 2 ? "two" : "other";
    };
    Bind();
    auto cells = Export().Cells(1);
    xlsx::TPackage p(Target().string());
    EXPECT_EQ(p.NumberFormat(cells["A2"].Style), "#,##0");
    EXPECT_EQ(p.NumberFormat(cells["B2"].Style), "0.00\\%") << "a literal, not a percentage";
    EXPECT_EQ(p.NumberFormat(cells["C2"].Style), "yyyy\\-mm\\-dd");
    EXPECT_EQ(Number(cells["C2"]), 45000);
    // A handler's text is what the grid shows: the cell is that text.
    EXPECT_EQ(cells["D2"].Type, "inlineStr");
    EXPECT_EQ(cells["D2"].Value, "two");
    // Without IncludeMemo a memo is its placeholder; a null picture no cell.
    EXPECT_EQ(cells["E2"].Value, "(MEMO)");
    EXPECT_EQ(cells.count("F2"), 0u);
}

// Two fields of one name, as a dBase table may hold them: each column is
// typed and laid out by its own field.
TEST_F(TXlsxFixture, TwoFieldsOfOneNameEachTheirOwn) {
    const std::string path = (Folder.Path() / "twins.dbf").string();
    TDbfWriter::Write(path, dvDBase3, {{"NAME", 'C', 8}, {"NAME", 'N', 6}},
                      {{TValue::OfText("alpha"), TValue::OfInt(5)}});
    dbftest::TDbfTestDataSet twins(path);
    twins.Open();
    TDataSource source(&twins);
    TWindowlessTableView view(&source);
    Writer.SetGrid(&view);
    Writer.BuildMappings();
    view.Column(0).SetWidth(6 * 20 + 4);
    xlsx::TPackage p = Export();
    auto cells = p.Cells(1);
    EXPECT_EQ(cells["A2"].Type, "inlineStr");
    EXPECT_EQ(cells["A2"].Value, "alpha");
    EXPECT_EQ(cells["B2"].Type, "");
    EXPECT_EQ(cells["B2"].Value, "5");
    EXPECT_EQ(p.NumberFormat(cells["B2"].Style), "0");
    EXPECT_EQ(p.NumberFormat(cells["A2"].Style), "General");
    const std::string sheet = p.Sheet(1);
    EXPECT_NE(sheet.find("<col min=\"1\" max=\"1\" width=\"20.7"), std::string::npos) << sheet;
    EXPECT_EQ(sheet.find("<col min=\"2\" max=\"2\" width=\"20.7"), std::string::npos) << sheet;
}

TEST_F(TXlsxFixture, TitleRowSheetNameAndWidths) {
    MakeNumberedTable(Table, 3);
    Bind();
    TFont red = View.Column(1).TitleFont();
    red.Color = clRed;
    red.Style = fsItalic;
    View.Column(1).SetTitleFont(red);
    View.Column(0).SetWidth(6 * 10 + 4); // ten digits of the grid's 6-pixel 0
    View.Column(1).SetWidth(6 * 30 + 4);
    Writer.SetSheetName("Orders: 2024/Q1 [draft]?");
    xlsx::TPackage p = Export();
    EXPECT_EQ(p.SheetNames(), std::vector<std::string>{"Orders_ 2024_Q1 _draft__"});
    auto cells = p.Cells(1);
    EXPECT_EQ(cells["A1"].Value, "ID");
    EXPECT_EQ(cells["B1"].Value, "Name");
    EXPECT_TRUE(p.Bold(cells["A1"].Style));
    EXPECT_TRUE(p.Bold(cells["B1"].Style));
    EXPECT_EQ(p.Color(cells["A1"].Style), "0000FF") << "the grid's blue title font";
    EXPECT_EQ(p.Color(cells["B1"].Style), "FF0000");
    EXPECT_TRUE(p.Italic(cells["B1"].Style));
    EXPECT_FALSE(p.Italic(cells["A1"].Style));
    EXPECT_FALSE(p.Bold(cells["A2"].Style));
    const std::string sheet = p.Sheet(1);
    EXPECT_NE(sheet.find("<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" "
                         "state=\"frozen\"/>"),
              std::string::npos)
        << sheet;
    // The spreadsheet's width is its characters plus the cell's margin.
    auto width = [&](int col) {
        const std::string key = "<col min=\"" + std::to_string(col) + "\"";
        const size_t at = sheet.find(key);
        return at == std::string::npos
                   ? -1.0
                   : std::strtod(
                         xlsx::Attribute(sheet.substr(at, sheet.find('>', at) - at), "width")
                             .c_str(),
                         nullptr);
    };
    EXPECT_NEAR(width(1), 10.71, 0.01);
    EXPECT_NEAR(width(2), 30.71, 0.01);

    // Without a title: no title row, no frozen pane; without a name: Sheet1.
    Writer.SetNeedTitle(false);
    Writer.SetSheetName("");
    xlsx::TPackage q = Export("q.xlsx");
    EXPECT_EQ(q.SheetNames(), std::vector<std::string>{"Sheet1"});
    EXPECT_EQ(q.Cells(1)["A1"].Value, "1");
    EXPECT_EQ(q.Sheet(1).find("<pane"), std::string::npos);
}

TEST(XlsxSheetName, FollowsTheSpreadsheetRules) {
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName("orders", 1), "orders");
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName("orders", 2), "orders (2)");
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName("", 1), "Sheet1");
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName("", 3), "Sheet3");
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName("a[b]c:d*e?f/g\\h", 1), "a_b_c_d_e_f_g_h");
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName("'quoted'", 1), "_quoted_");
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName("History", 1), "History_");
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName("history", 2), "history (2)");
    const std::string longName(40, 'n');
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName(longName, 1), std::string(31, 'n'));
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName(longName, 12), std::string(26, 'n') + " (12)");
    // 31 UTF-16 units: a character past U+FFFF counts two and stays whole.
    std::string emoji;
    for (int i = 0; i < 16; ++i)
        emoji += "\xF0\x9F\x98\x80";
    std::string fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen += "\xF0\x9F\x98\x80";
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName(emoji, 1), fifteen);
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName("\xD0\x97\xD0\xB0\xD0\xBA\xD0\xB0\xD0\xB7\xD1\x8B", 1),
              "\xD0\x97\xD0\xB0\xD0\xBA\xD0\xB0\xD0\xB7\xD1\x8B");
    EXPECT_EQ(TKXExport2XLSX::ValidSheetName("bad\xFFutf8\t", 1), "bad\xEF\xBF\xBDutf8_");
}

TEST_F(TXlsxFixture, TextsAreCutWhereACellEnds) {
    Table.FieldDefs().Add("S", ftMemo);
    Table.Open();
    Table.AppendRecord({TValue::OfText(std::string(40000, 'x'))});
    // A pair of surrogates that would end past the limit goes whole.
    Table.AppendRecord({TValue::OfText(std::string(32766, 'y') + "\xF0\x9F\x98\x80")});
    Table.AppendRecord({TValue::OfText(std::string("a\0b\xFF"
                                                   "c\xEF\xBF\xBE",
                                                   8))});
    Bind();
    Writer.SetIncludeMemo(true);
    Writer.SetNeedTitle(false);
    auto cells = Export().Cells(1);
    EXPECT_EQ(cells["A1"].Value, std::string(32767, 'x'));
    EXPECT_EQ(cells["A2"].Value, std::string(32766, 'y'));
    EXPECT_EQ(cells["A3"].Value, "ab\xEF\xBF\xBD"
                                 "c\xEF\xBF\xBD")
        << "NUL left out, bad bytes U+FFFD";
}

TEST_F(TXlsxFixture, RecordsPerLineRangesAndEvents) {
    MakeNumberedTable(Table, 7);
    Bind();
    Writer.SetDestCols(3);
    int before = 0, rows = 0, after = 0;
    Writer.BeforeWriteTable = [&](TKXExport&) { ++before; };
    Writer.AfterWriteRow = [&](TKXExport&) { ++rows; };
    Writer.AfterWriteTable = [&](TKXExport&) { ++after; };
    Table.SetRecNo(5);
    auto cells = Export().Cells(1);
    EXPECT_EQ(Table.RecNo(), 5) << "the position is restored";
    EXPECT_EQ(before, 1);
    EXPECT_EQ(rows, 7);
    EXPECT_EQ(after, 1);
    EXPECT_EQ(Writer.WrittenCount(), 7);
    // The title three times, then three records a line; the last line holds one.
    EXPECT_EQ(cells["A1"].Value, "ID");
    EXPECT_EQ(cells["E1"].Value, "ID");
    EXPECT_EQ(cells["F1"].Value, "Name");
    EXPECT_EQ(cells["C2"].Value, "2");
    EXPECT_EQ(cells["F3"].Value, "N6");
    EXPECT_EQ(cells["A4"].Value, "7");
    EXPECT_EQ(cells.count("C4"), 0u);
    EXPECT_EQ(cells.size(), 6u + 14u);

    // Last record first, two of them.
    Writer.SetDestCols(1);
    Writer.SetRecordRange(rrToFirst);
    Writer.SetMaxRows(2);
    cells = Export("b.xlsx").Cells(1);
    EXPECT_EQ(Writer.WrittenCount(), 2);
    EXPECT_EQ(cells["A2"].Value, "7");
    EXPECT_EQ(cells["A3"].Value, "6");
    EXPECT_EQ(cells.count("A4"), 0u);

    // The selected rows.
    Writer.SetRecordRange(rrSelected);
    Writer.SetMaxRows(-1);
    Table.SetRecNo(2);
    View.SelectedRows().SetCurrentRowSelected(true);
    Table.SetRecNo(4);
    View.SelectedRows().SetCurrentRowSelected(true);
    cells = Export("c.xlsx").Cells(1);
    EXPECT_EQ(cells["A2"].Value, "2");
    EXPECT_EQ(cells["A3"].Value, "4");
    EXPECT_EQ(cells.count("A4"), 0u);
}

TEST_F(TXlsxFixture, AFullSheetGoesOnInTheNext) {
    Table.FieldDefs().Add("N", ftInteger);
    Table.Open();
    const int records = static_cast<int>(TKXExport2XLSX::RowLimit) + 1;
    for (int i = 1; i <= records; ++i)
        Table.AppendRecord({TValue::OfInt(i)});
    Table.First();
    Bind();
    Writer.SetSheetName("numbers");
    xlsx::TPackage p = Export();
    EXPECT_EQ(p.SheetNames(), (std::vector<std::string>{"numbers", "numbers (2)"}));
    const std::string first = p.Sheet(1);
    EXPECT_EQ(Rows(first), static_cast<int>(TKXExport2XLSX::RowLimit));
    const size_t last = first.find("<row r=\"1048576\">");
    ASSERT_NE(last, std::string::npos);
    EXPECT_NE(first.find("<v>1048575</v></c></row>", last), std::string::npos)
        << "the last row holds record 1,048,575";
    // The rest, under the title row again, frozen too.
    auto second = p.Cells(2);
    EXPECT_EQ(second.size(), 3u);
    EXPECT_EQ(second["A1"].Value, "N");
    EXPECT_TRUE(p.Bold(second["A1"].Style));
    EXPECT_EQ(second["A2"].Value, "1048576");
    EXPECT_EQ(second["A3"].Value, "1048577");
    EXPECT_NE(p.Sheet(2).find("state=\"frozen\""), std::string::npos);

    // Without the title a sheet holds one record more.
    Writer.SetNeedTitle(false);
    xlsx::TPackage q = Export("q.xlsx");
    EXPECT_EQ(Rows(q.Sheet(1)), static_cast<int>(TKXExport2XLSX::RowLimit));
    auto rest = q.Cells(2);
    EXPECT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest["A1"].Value, "1048577");
}

TEST_F(TXlsxFixture, TooManyColumnsWriteNothing) {
    MakeNumberedTable(Table, 2);
    Bind();
    Writer.SetDestCols(8193); // 16,386 columns
    try {
        Writer.ExportToFile(Target().string());
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("16,384 columns"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("16386"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(Folder.Files().empty()) << "no file, no partial file, no temporary file";
    TMemoryStream s;
    EXPECT_THROW(Writer.ExportToStream(s), EDatabaseError);
    EXPECT_EQ(s.Size(), 0u);

    // 16,384 columns fit: the last one is XFD.
    Writer.SetDestCols(8192);
    auto cells = Export().Cells(1);
    EXPECT_EQ(cells["XFD1"].Value, "Name");
    EXPECT_EQ(cells["D2"].Value, "N2");
    EXPECT_EQ(cells.size(), 16384u + 4u);
}

TEST_F(TXlsxFixture, FileReplacedOnlyWhenTheExportSucceeds) {
    MakeNumberedTable(Table, 5);
    Bind();
    const fs::path target = Target();
    { std::ofstream(target) << "old"; }
    ::chmod(target.c_str(), 0640);
    Writer.ExportToFile(target.string());
    EXPECT_EQ(xlsx::TPackage(target.string()).Cells(1)["A6"].Value, "5");
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "the replaced file's permissions stay";
    EXPECT_EQ(Folder.Files(), std::vector<std::string>{"t.xlsx"}) << "no temporary file is left";

    // A failure at the third record: the file stays, and what was gathered
    // is a workbook beside it.
    const std::string before = Slurp(target);
    Writer.AfterWriteRow = [](TKXExport& sender) {
        if (sender.WrittenCount() == 3) throw EDatabaseError("stopped");
    };
    EXPECT_THROW(Writer.ExportToFile(target.string()), EDatabaseError);
    EXPECT_EQ(Slurp(target), before);
    EXPECT_EQ(Folder.Files(), (std::vector<std::string>{"t.xlsx", "t.xlsx.partial"}));
    auto partial = xlsx::TPackage(target.string() + ".partial").Cells(1);
    EXPECT_EQ(partial["A4"].Value, "3");
    EXPECT_EQ(partial.count("A5"), 0u);
}

TEST_F(TXlsxFixture, StreamsGetTheWorkbookThroughTmpDir) {
    MakeNumberedTable(Table, 4);
    Bind();
    TTempFolder tmp{"xlsx-test"};
    TScopedTmpDir scoped(tmp.Path());
    TMemoryStream s;
    Writer.ExportToStream(s);
    EXPECT_TRUE(tmp.Files().empty()) << "the temporary workbook is gone";
    { std::ofstream(Target("s.xlsx"), std::ios::binary) << s.Data(); }
    xlsx::TPackage fromStream(Target("s.xlsx").string());
    xlsx::TPackage fromFile = Export();
    EXPECT_EQ(fromStream.Sheet(1), fromFile.Sheet(1));
    EXPECT_EQ(fromStream.Part("xl/styles.xml"), fromFile.Part("xl/styles.xml"));

    // A failure leaves the stream empty and the folder clean.
    Writer.AfterWriteRow = [](TKXExport& sender) {
        if (sender.WrittenCount() == 2) throw EDatabaseError("stopped");
    };
    TMemoryStream t;
    EXPECT_THROW(Writer.ExportToStream(t), EDatabaseError);
    EXPECT_EQ(t.Size(), 0u);
    EXPECT_TRUE(tmp.Files().empty());
}

TEST_F(TXlsxFixture, NoWorkbookOnTheClipboard) {
    MakeNumberedTable(Table, 2);
    Bind();
    TMemoryClipboard clipboard;
    try {
        Writer.ExportToClipboard(clipboard);
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("export it to a file"), std::string::npos);
    }
    EXPECT_EQ(clipboard.OpenCount(), 0);
    EXPECT_FALSE(clipboard.HasFormat(CF_TEXT));
}

TEST_F(TXlsxFixture, SharedStringsHoldTheSameTexts) {
    MakeNameCityTable(Table,
                      {{"Ann", "Oslo"}, {"Bob", "Oslo"}, {"\xC3\x86r\xC3\xB8", "K\xC3\xB8ge"}});
    Bind();
    const auto inlined = Export("i.xlsx").Cells(1);
    Writer.SetSharedStrings(true);
    xlsx::TPackage p = Export("s.xlsx");
    ASSERT_TRUE(p.Has("xl/sharedStrings.xml"));
    const auto shared = p.Cells(1);
    ASSERT_EQ(shared.size(), inlined.size());
    for (const auto& [ref, cell] : inlined) {
        EXPECT_EQ(shared.at(ref).Type, "s") << ref;
        EXPECT_EQ(shared.at(ref).Value, cell.Value) << ref;
    }
}

TEST(XlsxNumberFormat, DatePatterns) {
    TFormatSettings fs = TFormatSettings::Classic();
    EXPECT_EQ(XlsxDateTimeFormat("m/d/yyyy", false, fs), "m\\/d\\/yyyy");
    fs.DateSeparator = '.';
    EXPECT_EQ(XlsxDateTimeFormat("dd/mm/yy", false, fs), "dd\\.mm\\.yy");
    EXPECT_EQ(XlsxDateTimeFormat("ddd, d mmmm yyyy", false, fs), "ddd\\, d mmmm yyyy");
    EXPECT_EQ(XlsxDateTimeFormat("hh:nn:ss.zzz", false, fs), "hh\\:mm\\:ss.000");
    EXPECT_EQ(XlsxDateTimeFormat("h:nn am/pm", false, fs), "h\\:mm AM/PM");
    EXPECT_EQ(XlsxDateTimeFormat("h a/p", false, fs), "h a/p");
    EXPECT_EQ(XlsxDateTimeFormat("'week' yyyy \"at\" h", false, fs), "\"week\" yyyy \"at\" h");
    fs.ShortDateFormat = "yyyy-mm-dd";
    fs.LongTimeFormat = "hh:nn";
    EXPECT_EQ(XlsxDateTimeFormat("c", true, fs), "yyyy\\-mm\\-dd hh\\:mm");
    EXPECT_EQ(XlsxDateTimeFormat("c", false, fs), "yyyy\\-mm\\-dd");
    EXPECT_EQ(XlsxDateTimeFormat("ddddd", true, fs), "yyyy\\-mm\\-dd");
}

TEST(XlsxNumberFormat, NumberPatternsAndCurrency) {
    EXPECT_EQ(XlsxNumberFormat(""), "");
    EXPECT_EQ(XlsxNumberFormat("0.00"), "0.00");
    EXPECT_EQ(XlsxNumberFormat("#,##0.00"), "#,##0.00");
    EXPECT_EQ(XlsxNumberFormat("0,"), "#,0") << "a trailing comma asks for grouping, not thousands";
    EXPECT_EQ(XlsxNumberFormat("#0,.0"), "#,0.0");
    EXPECT_EQ(XlsxNumberFormat("0.00E+00"), "0.00E+00");
    EXPECT_EQ(XlsxNumberFormat("0.0 \"kg\";(0.0) 'kg';zero"),
              "0.0 \"kg\";\\(0.0\\) \"kg\";\"zero\"");
    EXPECT_EQ(XlsxNumberFormat("0.0;;"), "0.0;\\-0.0;0.0") << "empty sections are the first one";
    TFormatSettings fs = TFormatSettings::Classic();
    EXPECT_EQ(XlsxCurrencyFormat(fs), "\\$#,##0.00;\\-\\$#,##0.00");
    fs.CurrencyString = "kr";
    fs.CurrencyFormat = 3;
    fs.NegCurrFormat = 15;
    fs.CurrencyDecimals = 0;
    EXPECT_EQ(XlsxCurrencyFormat(fs), "#,##0 \"kr\";\\(#,##0 \"kr\"\\)");
    fs.CurrencyFormat = 9; // out of range: as on screen, the first layout
    fs.NegCurrFormat = 0;
    EXPECT_EQ(XlsxCurrencyFormat(fs), "\"kr\"#,##0;\\(\"kr\"#,##0\\)");
}

// The rows go to temporary files first, with writes the library does not
// look at: a disk that fills up under them must fail the export, not end it
// with a workbook cut short. A file-size limit stands in for the full disk,
// in a process of its own.
TEST_F(TXlsxFixture, AFullDiskUnderTheRowsFailsTheExport) {
    MakeNumberedTable(Table, 200000);
    Bind();
    const fs::path target = Target();
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit size {};
        size.rlim_cur = size.rlim_max = 1 << 20;
        ::setrlimit(RLIMIT_FSIZE, &size);
        try {
            Writer.ExportToFile(target.string());
        } catch (const EStreamError&) {
            ::_exit(1);
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "a write error, reported";
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(Folder.Files(), std::vector<std::string>{"t.xlsx.partial"}) << "nothing else is left";
}

namespace {
// A writer that sees the room it is told of.
struct TCrampedWriter : TKXExport2XLSX {
    uint64_t Room = 0;
    uint64_t FreeBytes(const std::string&) const override { return Room; }
};
} // namespace

// Making the package copies a sheet's rows once more, and the library
// would not notice when that copy is cut short: without room for it the
// export fails before the package is begun.
TEST_F(TXlsxFixture, NoRoomToFinishTheWorkbookFailsTheExport) {
    MakeNumberedTable(Table, 200000); // about 22 MB of rows
    View.Bind(&Source);
    TCrampedWriter writer;
    writer.SetGrid(&View);
    writer.BuildMappings();
    const fs::path target = Target();
    { std::ofstream(target) << "old"; }
    writer.Room = 10 << 20;
    try {
        writer.ExportToFile(target.string());
        FAIL() << "no error";
    } catch (const EStreamError& e) {
        EXPECT_NE(std::string(e.what()).find("Not enough room"), std::string::npos) << e.what();
        EXPECT_EQ(e.Error(), ENOSPC);
    }
    EXPECT_EQ(Slurp(target), "old");
    EXPECT_EQ(Folder.Files(), std::vector<std::string>{"t.xlsx"})
        << "a full disk is not left fuller: no partial file";
    writer.Room = uint64_t{1} << 30;
    writer.ExportToFile(target.string());
    EXPECT_EQ(xlsx::TPackage(target.string()).Cells(1).size(), 2u * 200001u);
}

// A pipe is written in place and has no name the library could write: the
// workbook comes through a temporary file of TMPDIR, which goes afterwards.
TEST_F(TXlsxFixture, APipeGetsTheWholeWorkbook) {
    MakeNumberedTable(Table, 300);
    Bind();
    TTempFolder tmp{"xlsx-test"};
    TScopedTmpDir scoped(tmp.Path());
    const fs::path fifo = Target("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path got = Target("got.xlsx");
    const pid_t reader = ::fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        std::ifstream in(fifo, std::ios::binary);
        std::ofstream out(got, std::ios::binary);
        out << in.rdbuf();
        ::_exit(out ? 0 : 1);
    }
    Writer.ExportToFile(fifo.string());
    int status = 0;
    ASSERT_EQ(::waitpid(reader, &status, 0), reader);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    auto cells = xlsx::TPackage(got.string()).Cells(1);
    EXPECT_EQ(cells["A301"].Value, "300");
    EXPECT_EQ(cells["B301"].Value, "N300");
    EXPECT_TRUE(tmp.Files().empty());
    EXPECT_EQ(Folder.Files(), (std::vector<std::string>{"got.xlsx", "pipe"}));
}

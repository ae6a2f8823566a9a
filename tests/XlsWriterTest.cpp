#include "data/base/DatabaseError.h"
#include "export/KXExport2XLS.h"
#include "export/view/WindowlessTableView.h"
#include "tests/support/DbfTestSupport.h"
#include "tests/support/TestTables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}

const std::string BOF = Bytes({0x09, 0x08, 0x08, 0x00, 0x00, 0x00, 0x10, 0x00, 0, 0, 0, 0});
const std::string BOF8 = Bytes({0x09, 0x08, 0x08, 0x00, 0x00, 0x06, 0x10, 0x00, 0, 0, 0, 0});
const std::string EOFRecord = Bytes({0x0A, 0x00, 0x00, 0x00});

struct TRecord {
    int Number;
    std::string Data;
    int Row() const { return U16(0); }
    int Col() const { return U16(2); }
    int XF() const { return U16(4); }
    int U16(size_t at) const {
        return static_cast<uint8_t>(Data.at(at)) | (static_cast<uint8_t>(Data.at(at + 1)) << 8);
    }
    uint32_t U32(size_t at) const {
        return static_cast<uint32_t>(U16(at)) | (static_cast<uint32_t>(U16(at + 2)) << 16);
    }
    double Number64() const {
        uint64_t bits = U32(6) | (static_cast<uint64_t>(U32(10)) << 32);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    // A BIFF5 label's bytes, or a BIFF8 label's UTF-16 units as bytes.
    std::string Text() const { return Data.substr(Number == 0x0204 ? 8 : 0); }
};

std::vector<TRecord> Parse(const std::string& s) {
    std::vector<TRecord> out;
    size_t p = 0;
    while (p + 4 <= s.size()) {
        const int number = static_cast<uint8_t>(s[p]) | (static_cast<uint8_t>(s[p + 1]) << 8);
        const size_t length =
            static_cast<uint8_t>(s[p + 2]) | (static_cast<uint8_t>(s[p + 3]) << 8);
        EXPECT_LE(p + 4 + length, s.size());
        out.push_back({number, s.substr(p + 4, length)});
        p += 4 + length;
    }
    EXPECT_EQ(p, s.size());
    return out;
}

struct TXlsFixture : ::testing::Test {
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
    TKXExport2XLS Writer;

    void Bind() {
        View.Bind(&Source);
        Writer.SetGrid(&View);
        Writer.BuildMappings();
    }
    std::string Run() {
        TMemoryStream s;
        Writer.ExportToStream(s);
        return s.Data();
    }
};

} // namespace

TEST_F(TXlsFixture, WorkedExamplesByteForByte) {
    Table.FieldDefs().Add("ID", ftInteger);
    Table.Open();
    Table.AppendRecord({TValue::OfInt(5)});
    Bind();
    EXPECT_TRUE(Writer.ToStream());
    EXPECT_TRUE(Writer.CreateFile());
    const std::string once = Run();
    EXPECT_EQ(once, BOF +
                        Bytes({0x04, 0x02, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02,
                               0x00, 0x49, 0x44}) +
                        Bytes({0x7E, 0x02, 0x0A, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x16,
                               0x00, 0x00, 0x00}) +
                        EOFRecord);
    // The counters start again at row 0, column 0.
    EXPECT_EQ(Run(), once);
}

TEST_F(TXlsFixture, EmptyTable) {
    MakeNameCityTable(Table, {});
    Bind();
    Writer.SetDestCols(2);
    std::vector<TRecord> r = Parse(Run());
    ASSERT_EQ(r.size(), 6u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r[1 + i].Number, 0x0204);
        EXPECT_EQ(r[1 + i].Row(), 0);
        EXPECT_EQ(r[1 + i].Col(), i);
        EXPECT_EQ(r[1 + i].Text(), i % 2 ? "City" : "Name");
    }
    Writer.SetNeedTitle(false);
    EXPECT_EQ(Run(), BOF + EOFRecord);
}

TEST_F(TXlsFixture, CellKindsBlanksIntegersDoublesLabels) {
    Table.FieldDefs().Add("S", ftString, 10);
    Table.FieldDefs().Add("I", ftInteger);
    Table.FieldDefs().Add("B", ftBCD);
    Table.FieldDefs().Add("L", ftBoolean);
    Table.FieldDefs().Add("D", ftDate);
    Table.FieldDefs().Add("Y", ftBytes, 2);
    Table.FieldDefs().Add("W", ftInteger);
    Table.Open();
    Table.AppendRecord({TValue::OfText(""), TValue::OfInt(-1), TValue::OfFloat(1.5),
                        TValue::OfBool(true), TValue::OfDateTime(45000),
                        TValue::OfBytes("\x01\xAB"), TValue::OfInt(536870911)});
    Table.AppendRecord({TValue::Null(), TValue::Null(), TValue::Null(), TValue::Null(),
                        TValue::Null(), TValue::Null(), TValue::OfInt(-536870912)});
    Table.AppendRecord({TValue::OfText("x"), TValue::OfInt(536870912), TValue::OfFloat(-0.25),
                        TValue::OfBool(false), TValue::Null(), TValue::Null(),
                        TValue::OfInt(-536870913)});
    Bind();
    View.SetDrawBool(false);
    Writer.SetNeedTitle(false);
    std::vector<TRecord> r = Parse(Run());
    ASSERT_EQ(r.size(), 2u + 21u);
    auto cell = [&](int row, int col) -> const TRecord& { return r.at(1 + row * 7 + col); };
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 7; ++col) {
            EXPECT_EQ(cell(row, col).Row(), row);
            EXPECT_EQ(cell(row, col).Col(), col);
        }
    // An empty string is a label of no bytes, not a blank.
    EXPECT_EQ(cell(0, 0).Number, 0x0204);
    EXPECT_EQ(cell(0, 0).Data, Bytes({0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(cell(0, 1).Number, 0x027E);
    EXPECT_EQ(cell(0, 1).U32(6), 0xFFFFFFFEu);
    EXPECT_EQ(cell(0, 2).Number, 0x0203);
    EXPECT_EQ(cell(0, 2).Data.substr(6), Bytes({0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
    EXPECT_EQ(cell(0, 3).Number, 0x0204);
    EXPECT_EQ(cell(0, 3).Text(), Table.FieldByName("L").DisplayText());
    EXPECT_EQ(cell(0, 4).Text(), Table.FieldByName("D").DisplayText());
    EXPECT_FALSE(cell(0, 4).Text().empty());
    // Bytes are their hexadecimal digits, as the grid shows them.
    EXPECT_EQ(cell(0, 5).Number, 0x0204);
    EXPECT_EQ(cell(0, 5).Text(), Table.FieldByName("Y").DisplayText());
    EXPECT_EQ(cell(0, 6).Number, 0x027E);
    EXPECT_EQ(cell(0, 6).U32(6), (536870911u << 2) | 2u);
    // Nulls of every kind are blanks with XF 23, never an RK of 0.
    for (int col = 0; col < 6; ++col) {
        EXPECT_EQ(cell(1, col).Number, 0x0201) << col;
        EXPECT_EQ(cell(1, col).Data.size(), 6u);
        EXPECT_EQ(cell(1, col).XF(), 23);
    }
    EXPECT_EQ(cell(1, 6).Number, 0x027E);
    EXPECT_EQ(cell(1, 6).U32(6), 0x80000002u);
    // Past the 30 bits of an RK value the integer is a number, exactly.
    EXPECT_EQ(cell(2, 1).Number, 0x0203);
    EXPECT_EQ(cell(2, 1).Number64(), 536870912.0);
    EXPECT_EQ(cell(2, 2).Number64(), -0.25);
    EXPECT_EQ(cell(2, 6).Number, 0x0203);
    EXPECT_EQ(cell(2, 6).Number64(), -536870913.0);
    for (const TRecord& rec : r) {
        if (rec.Number != 0x0201 && rec.Number != 0x0809 && rec.Number != 0x000A) {
            EXPECT_EQ(rec.XF(), 0);
        }
    }
}

// Wide integers (dBase N10 to N18, text columns past 32 bits) are numbers a
// spreadsheet can sum: RK where they fit, a double up to 2^53, and past that
// the digits as text, since a double would round them.
TEST_F(TXlsFixture, WideIntegersAreNumbers) {
    const int64_t exact = int64_t{1} << 53;
    const std::vector<int64_t> values = {5,          -1,         536870911,        536870912,
                                         -536870913, 9999999999, -999999999999999, exact,
                                         -exact,     exact + 1,  INT64_MIN};
    Table.FieldDefs().Add("W", ftLargeint);
    Table.Open();
    for (int64_t v : values)
        Table.AppendRecord({TValue::OfInt(v)});
    Table.AppendRecord({TValue::Null()});
    Bind();
    Writer.SetNeedTitle(false);
    std::vector<TRecord> r = Parse(Run());
    ASSERT_EQ(r.size(), 2 + values.size() + 1);
    for (size_t i = 0; i < values.size(); ++i) {
        const TRecord& cell = r[1 + i];
        const int64_t v = values[i];
        EXPECT_EQ(cell.Row(), static_cast<int>(i));
        if (v >= -(1 << 29) && v < (1 << 29)) {
            EXPECT_EQ(cell.Number, 0x027E) << v;
            EXPECT_EQ(cell.U32(6), (static_cast<uint32_t>(v) << 2) | 2u) << v;
        } else if (v >= -exact && v <= exact) {
            EXPECT_EQ(cell.Number, 0x0203) << v;
            EXPECT_EQ(cell.Number64(), static_cast<double>(v)) << v;
        } else {
            EXPECT_EQ(cell.Number, 0x0204) << v;
            EXPECT_EQ(cell.Text(), std::to_string(v));
        }
    }
    EXPECT_EQ(r[1 + values.size()].Number, 0x0201);

    // The same through a dBase table's own N10 and N18 fields.
    TTempFolder dir;
    const std::string path = dir / "wide.dbf";
    TDbfWriter::Write(path, dvDBase3, {{"TEN", 'N', 10}, {"EIGHTEEN", 'N', 18}},
                      {{TValue::OfInt(9999999999), TValue::OfInt(123456789012345)},
                       {TValue::OfInt(-12), TValue::OfInt(999999999999999999)}});
    dbftest::TDbfTestDataSet dbf(path);
    dbf.Open();
    ASSERT_EQ(dbf.Fields(0).DataType(), ftLargeint);
    ASSERT_EQ(dbf.Fields(1).DataType(), ftLargeint);
    TDataSource dbfSource(&dbf);
    TWindowlessTableView dbfView(&dbfSource);
    TKXExport2XLS writer;
    writer.SetGrid(&dbfView);
    writer.BuildMappings();
    writer.SetNeedTitle(false);
    TMemoryStream s;
    writer.ExportToStream(s);
    r = Parse(s.Data());
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[1].Number, 0x0203);
    EXPECT_EQ(r[1].Number64(), 9999999999.0);
    EXPECT_EQ(r[2].Number, 0x0203);
    EXPECT_EQ(r[2].Number64(), 123456789012345.0);
    EXPECT_EQ(r[3].Number, 0x027E);
    EXPECT_EQ(r[3].U32(6), (static_cast<uint32_t>(-12) << 2) | 2u);
    EXPECT_EQ(r[4].Number, 0x0204);
    EXPECT_EQ(r[4].Text(), "999999999999999999");
}

TEST_F(TXlsFixture, RecordsPerLineAdvance) {
    Table.FieldDefs().Add("A", ftInteger);
    Table.FieldDefs().Add("B", ftString, 4);
    Table.Open();
    for (int i = 1; i <= 7; ++i)
        Table.AppendRecord({TValue::OfInt(i), TValue::OfText("b")});
    Bind();
    Writer.SetDestCols(3);
    std::vector<TRecord> r = Parse(Run());
    ASSERT_EQ(r.size(), 2u + 6u + 14u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(r[1 + i].Row(), 0);
        EXPECT_EQ(r[1 + i].Col(), i);
    }
    for (int k = 0; k < 7; ++k) {
        const TRecord& a = r[7 + 2 * k];
        const TRecord& b = r[8 + 2 * k];
        EXPECT_EQ(a.Row(), 1 + k / 3) << k;
        EXPECT_EQ(a.Col(), 2 * (k % 3)) << k;
        EXPECT_EQ(a.U32(6), static_cast<uint32_t>(((k + 1) << 2) | 2));
        EXPECT_EQ(b.Row(), 1 + k / 3);
        EXPECT_EQ(b.Col(), 2 * (k % 3) + 1);
    }
    EXPECT_EQ(r.back().Number, 0x000A); // no padding after record 7
}

TEST_F(TXlsFixture, TextsThatFitWindows1252AreItsBytes) {
    MakeNameCityTable(Table, {{"Zo\xC3\xAB \xC3\x86r\xC3\xB8", "\xC3\x90 \xC3\xA4 \xE2\x82\xAC"}});
    Bind();
    const std::string out = Run();
    EXPECT_EQ(out.substr(0, 12), BOF);
    std::vector<TRecord> r = Parse(out);
    ASSERT_EQ(r.size(), 6u);
    EXPECT_EQ(r[3].Text(), "Zo\xEB \xC6r\xF8");
    EXPECT_EQ(r[4].Text(), "\xD0 \xE4 \x80");
    EXPECT_EQ(r[4].U16(6), 5); // n, and the record length n + 8
}

TEST_F(TXlsFixture, TextBeyondWindows1252TurnsTheDocumentIntoBiff8) {
    MakeNameCityTable(Table, {{"Zo\xC3\xAB", "\xE2\x82\xAC"}, {"Ann", "\xE4\xB8\xAD\xE6\x96\x87"}});
    Bind();
    const std::string out = Run();
    EXPECT_EQ(out.substr(0, 12), BOF8);
    std::vector<TRecord> r = Parse(out);
    ASSERT_EQ(r.size(), 8u);
    auto label = [](const TRecord& rec) {
        EXPECT_EQ(rec.Number, 0x0204);
        const int n = rec.U16(6);
        EXPECT_EQ(static_cast<int>(rec.Data.size()), 9 + 2 * n);
        EXPECT_EQ(rec.Data[8], '\x01');
        std::u16string s;
        for (int k = 0; k < n; ++k)
            s += static_cast<char16_t>(rec.U16(9 + 2 * k));
        return s;
    };
    // The labels written before the first such text are converted too.
    EXPECT_EQ(label(r[1]), u"Name");
    EXPECT_EQ(label(r[3]), u"Zo\u00EB");
    EXPECT_EQ(label(r[4]), u"\u20AC");
    EXPECT_EQ(label(r[5]), u"Ann");
    EXPECT_EQ(label(r[6]), u"\u4E2D\u6587");
    EXPECT_EQ(r[6].Row(), 2);
    EXPECT_EQ(r[6].Col(), 1);
    EXPECT_EQ(r.back().Number, 0x000A);
}

TEST_F(TXlsFixture, LongTextsAreCutAtTheLastWholeCharacter) {
    Table.FieldDefs().Add("Notes", ftMemo);
    Table.Open();
    Table.AppendRecord({TValue::OfText(std::string(70000, 'x'))});
    Bind();
    Writer.SetIncludeMemo(true);
    Writer.SetNeedTitle(false);
    std::vector<TRecord> r = Parse(Run());
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1].U16(6), 65527);
    EXPECT_EQ(r[1].Data.size(), 65535u);

    // In BIFF8 a record holds 32,763 units; a pair of surrogates stays whole.
    Table.Close();
    Table.Open();
    std::string text = "\xE4\xB8\xAD" + std::string(32761, 'y') + "\xF0\x9D\x84\x9E";
    Table.AppendRecord({TValue::OfText(text)});
    std::vector<TRecord> u = Parse(Run());
    ASSERT_EQ(u.size(), 3u);
    EXPECT_EQ(u[1].U16(6), 32762);
    EXPECT_EQ(u[1].Data.size(), 9u + 2 * 32762);
}

TEST_F(TXlsFixture, RowsPastTheLastOneStopTheExport) {
    MakeNumberedTable(Table, 65536);
    Bind();
    Writer.SetNeedTitle(false);
    TMemoryStream s;
    Writer.ExportToStream(s);
    std::vector<TRecord> r = Parse(s.Data());
    EXPECT_EQ(r[r.size() - 2].Row(), 65535);

    Writer.SetNeedTitle(true);
    TMemoryStream t;
    try {
        Writer.ExportToStream(t);
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("65,536 rows"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("XLSX"), std::string::npos) << "the way out";
    }
    // What was written stays; no cell wrapped round to row 0.
    std::vector<TRecord> w = Parse(t.Data());
    ASSERT_GT(w.size(), 3u);
    EXPECT_NE(w.back().Number, 0x000A);
    for (size_t i = 3; i < w.size(); ++i)
        EXPECT_NE(w[i].Row(), 0) << i;
}

TEST_F(TXlsFixture, FileTargetHoldsTheSameBytes) {
    MakeNumberedTable(Table, 3);
    Bind();
    const std::string expected = Run();
    std::string tmpl = (std::filesystem::temp_directory_path() / "xls-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    const std::string path = tmpl + "/out.xls";
    Writer.ExportToFile(path);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), expected);
    std::filesystem::remove_all(tmpl);
}

// --- the automation path ----------------------------------------------------

namespace {
class TRecordingSpreadsheet : public TSpreadsheetApplication {
public:
    TRecordingSpreadsheet(std::vector<std::string>& log, bool failSave)
        : fLog(log), fFailSave(failSave) {}
    void WorkbooksAdd() override { fLog.push_back("Workbooks.Add"); }
    void SetCellValue(int row, int column, const std::string& value) override {
        fLog.push_back(Cell(row, column) + ".Value=" + value);
    }
    void SetCellInteriorColor(int row, int column, TColor rgb) override {
        fLog.push_back(Cell(row, column) + ".Interior.Color=" + std::to_string(rgb));
    }
    void SetCellFontStyle(int row, int column, bool bold, bool italic, bool underline,
                          bool strike) override {
        fLog.push_back(Cell(row, column) + ".Font=" + std::to_string(bold) +
                       std::to_string(italic) + std::to_string(underline) + std::to_string(strike));
    }
    void SetCellFontColor(int row, int column, TColor rgb) override {
        fLog.push_back(Cell(row, column) + ".Font.Color=" + std::to_string(rgb));
    }
    void ActiveWorkbookSaveAs(const std::string& fileName) override {
        fLog.push_back("SaveAs " + fileName);
        if (fFailSave) throw EAutomationError("cannot save");
    }
    void Quit() override { fLog.push_back("Quit"); }
    void SetVisible(bool visible) override { fLog.push_back("Visible=" + std::to_string(visible)); }

private:
    static std::string Cell(int row, int column) {
        return "Cells(" + std::to_string(row) + "," + std::to_string(column) + ")";
    }
    std::vector<std::string>& fLog;
    bool fFailSave;
};

struct TAutomationFixture : TXlsFixture {
    std::vector<std::string> Log;
    bool FailSave = false;
    void Automate() {
        Writer.SetToStream(false);
        Writer.SetAutomationFactory(
            [this] { return std::make_unique<TRecordingSpreadsheet>(Log, FailSave); });
    }
};
} // namespace

TEST_F(TAutomationFixture, CallOrderWithTitleAndTwoRecordsPerRow) {
    Table.FieldDefs().Add("N", ftInteger);
    Table.FieldDefs().Add("F", ftFloat);
    Table.FieldDefs().Add("S", ftString, 5);
    Table.Open();
    Table.AppendRecord({TValue::OfInt(7), TValue::OfFloat(2.5), TValue::OfText("ab")});
    Table.AppendRecord({TValue::OfInt(8), TValue::OfFloat(3), TValue::OfText("cd")});
    Table.AppendRecord({TValue::OfInt(9), TValue::Null(), TValue::OfText("ef")});
    Bind();
    Automate();
    View.Column(0).SetTitleColor(clNone);
    TFont bold = View.TitleFont();
    bold.Style = fsBold | fsStrikeOut;
    View.Column(2).SetTitleFont(bold);
    Writer.SetDestCols(2);
    int rows = 0, tables = 0;
    Writer.AfterWriteRow = [&](TKXExport&) { ++rows; };
    Writer.AfterWriteTable = [&](TKXExport&) { ++tables; };
    Writer.ExportToFile("/nowhere/out.xls");
    const std::string face = std::to_string(ColorToRGB(clBtnFace));
    const std::string blue = std::to_string(ColorToRGB(clBlue));
    std::vector<std::string> expected = {"Workbooks.Add"};
    for (int c = 1; c <= 6; ++c) {
        const std::string cell = "Cells(1," + std::to_string(c) + ")";
        expected.push_back(cell + ".Value=" +
                           std::string(c % 3 == 1   ? "N"
                                       : c % 3 == 2 ? "F"
                                                    : "S"));
        if (c % 3 != 1) expected.push_back(cell + ".Interior.Color=" + face);
        expected.push_back(cell + ".Font=" + (c % 3 == 0 ? "1001" : "0000"));
        expected.push_back(cell + ".Font.Color=" + blue);
    }
    const std::string nbsp = "\xC2\xA0";
    for (const char* v : {"Cells(2,1).Value=7", "Cells(2,2).Value=2.5", "Cells(2,3).Value=ab",
                          "Cells(2,4).Value=8", "Cells(2,5).Value=3", "Cells(2,6).Value=cd",
                          "Cells(3,1).Value=9", "Cells(3,2).Value=", "Cells(3,3).Value=ef"})
        expected.push_back(v);
    // Texts other than numbers and memos carry a no-break space.
    expected[expected.size() - 7] += nbsp;
    expected[expected.size() - 4] += nbsp;
    expected[expected.size() - 1] += nbsp;
    expected.push_back("SaveAs /nowhere/out.xls");
    expected.push_back("Quit");
    EXPECT_EQ(Log, expected);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(tables, 1);
    EXPECT_EQ(Writer.WrittenCount(), 3);
    EXPECT_FALSE(Writer.Exporting());
    EXPECT_NE(Writer.Automation(), nullptr);
    EXPECT_TRUE(Writer.FileName().empty());
}

// Wide integers go to the application as numbers it can sum; past 2^53,
// where it would round them, as text.
TEST_F(TAutomationFixture, WideIntegersAreNumbersUnlessADoubleWouldRoundThem) {
    Table.FieldDefs().Add("W", ftLargeint);
    Table.Open();
    Table.AppendRecord({TValue::OfInt(9999999999)});
    Table.AppendRecord({TValue::OfInt(999999999999999999)});
    Bind();
    Automate();
    Writer.SetNeedTitle(false);
    Writer.ExportToFile("/nowhere/out.xls");
    EXPECT_EQ(Log, (std::vector<std::string>{"Workbooks.Add", "Cells(1,1).Value=9999999999",
                                             "Cells(2,1).Value=999999999999999999\xC2\xA0",
                                             "SaveAs /nowhere/out.xls", "Quit"}));
}

TEST_F(TAutomationFixture, LeftOpenWhenNoFileIsWanted) {
    MakeNameCityTable(Table, {{"Ann", "Rome"}, {"Bob", "Oslo"}});
    Bind();
    Automate();
    Writer.SetCreateFile(false);
    Writer.SetNeedTitle(false);
    Writer.SetMaxRows(1); // not consulted on this path
    Writer.SetRecordRange(rrToFirst);
    Writer.ExportToFile("x.xls");
    const std::string nbsp = "\xC2\xA0";
    EXPECT_EQ(Log, (std::vector<std::string>{"Workbooks.Add", "Cells(1,1).Value=Bob" + nbsp,
                                             "Cells(1,2).Value=Oslo" + nbsp,
                                             "Cells(2,1).Value=Ann" + nbsp,
                                             "Cells(2,2).Value=Rome" + nbsp, "Visible=1"}));
    // AfterWriteRow may end the walk.
    Log.clear();
    Writer.AfterWriteRow = [](TKXExport& e) { e.Stop(); };
    Writer.ExportToFile("x.xls");
    EXPECT_EQ(Log.size(), 4u);
    EXPECT_EQ(Writer.WrittenCount(), 1);
}

TEST_F(TAutomationFixture, FailedSaveQuitsAndIsReported) {
    MakeNameCityTable(Table, {{"Ann", "Rome"}});
    Bind();
    Automate();
    FailSave = true;
    Writer.SetNeedTitle(false);
    EXPECT_THROW(Writer.ExportToFile("x.xls"), EAutomationError);
    ASSERT_GE(Log.size(), 2u);
    EXPECT_EQ(Log[Log.size() - 2], "SaveAs x.xls");
    EXPECT_EQ(Log.back(), "Quit");
}

TEST_F(TAutomationFixture, NoApplicationOnThisPlatform) {
    MakeNameCityTable(Table, {{"Ann", "Rome"}, {"Bob", "Oslo"}});
    Bind();
    Table.Next();
    Writer.SetToStream(false);
    try {
        Writer.ExportToFile("x.xls");
        FAIL() << "no error";
    } catch (const EAutomationError& e) {
        EXPECT_NE(std::string(e.what()).find("No spreadsheet application"), std::string::npos);
    }
    EXPECT_FALSE(Table.ControlsDisabled());
    EXPECT_EQ(Table.FieldByName("Name").AsString(), "Bob");
    EXPECT_EQ(Writer.Automation(), nullptr);
}

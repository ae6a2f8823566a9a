#include "export/KXExport2Text.h"
#include "export/view/WindowlessTableView.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestTables.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct TTextFixture : ::testing::Test {
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
    TKXExport2Text Writer;

    void Bind() {
        View.Bind(&Source);
        Writer.SetGrid(&View);
        Writer.BuildMappings();
    }
    void Build(const std::vector<std::pair<std::string, std::string>>& rows) {
        MakeNameCityTable(Table, rows);
        Bind();
    }
    // Seven records named R1..R7 in one field.
    void BuildSeven() {
        Table.FieldDefs().Add("R", ftString, 4);
        Table.Open();
        for (char c = '1'; c <= '7'; ++c)
            Table.AppendRecord({TValue::OfText(std::string{'R', c})});
        Bind();
    }
    std::string Run() {
        TMemoryStream s;
        Writer.ExportToStream(s);
        return s.Data();
    }
};

const std::vector<std::pair<std::string, std::string>> ThreeCities = {
    {"Ann", "Rome"}, {"Bob", "Oslo"}, {"Cid", "Lima"}};

} // namespace

TEST_F(TTextFixture, WorkedExampleTwoRecordsPerLine) {
    Build(ThreeCities);
    EXPECT_EQ(Writer.Separator(), "\t");
    Writer.SetDestCols(2);
    EXPECT_EQ(Run(), "Name\tCity\tName\tCity\r\n"
                     "Ann\tRome\tBob\tOslo\r\n"
                     "Cid\tLima\r\n");
}

TEST_F(TTextFixture, OneRecordPerLine) {
    Build(ThreeCities);
    EXPECT_EQ(Run(), "Name\tCity\r\nAnn\tRome\r\nBob\tOslo\r\nCid\tLima\r\n");
    // A second run on the same writer starts afresh.
    EXPECT_EQ(Run(), "Name\tCity\r\nAnn\tRome\r\nBob\tOslo\r\nCid\tLima\r\n");
}

TEST_F(TTextFixture, SevenRecordsThreePerLine) {
    BuildSeven();
    Writer.SetDestCols(3);
    EXPECT_EQ(Run(), "R\tR\tR\r\nR1\tR2\tR3\r\nR4\tR5\tR6\r\nR7\r\n");
    Writer.SetNeedTitle(false);
    EXPECT_EQ(Run(), "R1\tR2\tR3\r\nR4\tR5\tR6\r\nR7\r\n");
}

TEST_F(TTextFixture, EmptyTable) {
    Build({});
    EXPECT_EQ(Run(), "Name\tCity\r\n");
    Writer.SetNeedTitle(false);
    EXPECT_EQ(Run(), "\r\n");
    View.SetOptions(DefaultGridOptions & ~dgTitles);
    Writer.SetNeedTitle(true);
    EXPECT_EQ(Run(), "\r\n");
}

TEST_F(TTextFixture, HeadingsOffStartsWithTheFirstRecord) {
    Build(ThreeCities);
    Writer.SetNeedTitle(false);
    Writer.SetMaxRows(2);
    EXPECT_EQ(Run(), "Ann\tRome\r\nBob\tOslo\r\n");
}

TEST_F(TTextFixture, LabelsOfTheMappingsHeadTheColumns) {
    Build(ThreeCities);
    TMappings m;
    m.Add("City=Where");
    m.Add("Name=Who");
    Writer.SetMappings(m);
    Writer.SetMaxRows(1);
    EXPECT_EQ(Run(), "Where\tWho\r\nRome\tAnn\r\n");
}

TEST_F(TTextFixture, NullFieldLeavesTwoSeparatorsSideBySide) {
    Table.FieldDefs().Add("A", ftString, 4);
    Table.FieldDefs().Add("B", ftInteger);
    Table.FieldDefs().Add("C", ftString, 4);
    Table.Open();
    Table.AppendRecord({TValue::OfText("a"), TValue::Null(), TValue::OfText("c")});
    Table.AppendRecord({TValue::Null(), TValue::OfInt(2), TValue::Null()});
    Bind();
    Writer.SetNeedTitle(false);
    EXPECT_EQ(Run(), "a\t\tc\r\n\t2\t\r\n");
}

TEST_F(TTextFixture, CellTextsAreWrittenUnquotedAndUnescaped) {
    Build({{"Smith, Ann", "\"Rome\""}});
    Writer.SetSeparator(',');
    EXPECT_EQ(Run(), "Name,City\r\nSmith, Ann,\"Rome\"\r\n");
}

TEST_F(TTextFixture, TheSeparatorIsOneWholeCharacter) {
    Build({{"Ann", "Rome"}, {"Bob", "Oslo"}});
    Writer.SetDestCols(2);
    // Two and three bytes, one past the BMP; only the first character counts.
    for (const char* sep : {"\xC2\xA7", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"}) {
        Writer.SetSeparator(std::string(sep) + ";,");
        EXPECT_EQ(Writer.Separator(), sep);
        const std::string s = sep;
        EXPECT_EQ(Run(), "Name" + s + "City" + s + "Name" + s + "City\r\n" + "Ann" + s + "Rome" +
                             s + "Bob" + s + "Oslo\r\n");
    }
    // A quote, CR or LF is written as it is, like every cell text.
    for (const char* sep : {"\"", "\r", "\n"}) {
        Writer.SetSeparator(sep);
        Writer.SetDestCols(1);
        const std::string s = sep;
        EXPECT_EQ(Run(), "Name" + s + "City\r\nAnn" + s + "Rome\r\nBob" + s + "Oslo\r\n");
    }
    // A lone byte of a sequence is no character: the document stays UTF-8.
    Writer.SetSeparator("\xA7");
    EXPECT_EQ(Writer.Separator(), "\xEF\xBF\xBD");
    Writer.SetSeparator("\xE2\x82");
    EXPECT_EQ(Writer.Separator(), "\xEF\xBF\xBD");
    Writer.SetSeparator('\xA7');
    EXPECT_EQ(Writer.Separator(), "\xEF\xBF\xBD");
    Writer.SetSeparator("");
    EXPECT_EQ(Writer.Separator(), "\t") << "nothing between the cells would glue them";
    Writer.SetSeparator(';');
    EXPECT_EQ(Writer.Separator(), ";");
}

TEST_F(TTextFixture, IncludedMemoBringsItsOwnLineBreaks) {
    Table.FieldDefs().Add("Id", ftInteger);
    Table.FieldDefs().Add("Notes", ftMemo);
    Table.Open();
    Table.AppendRecord({TValue::OfInt(1), TValue::OfText("one\r\ntwo")});
    Bind();
    Writer.SetIncludeMemo(true);
    EXPECT_EQ(Run(), "Id\tNotes\r\n1\tone\r\ntwo\r\n");
    Writer.SetIncludeMemo(false);
    EXPECT_EQ(Run(), "Id\tNotes\r\n1\t(MEMO)\r\n");
}

TEST_F(TTextFixture, ReversedRangeAcrossLines) {
    Build(ThreeCities);
    Writer.SetRecordRange(rrToFirst);
    Writer.SetDestCols(2);
    Writer.SetNeedTitle(false);
    EXPECT_EQ(Run(), "Cid\tLima\tBob\tOslo\r\nAnn\tRome\r\n");
}

TEST_F(TTextFixture, FileTargetHoldsTheSameBytes) {
    Build(ThreeCities);
    Writer.SetDestCols(2);
    const std::string expected = Run();
    TTempFolder folder("text-test");
    const std::string path = folder / "out.txt";
    Writer.ExportToFile(path);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), expected);
}

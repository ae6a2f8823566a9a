#include "tests/support/DbfTestSupport.h"

#include "data/drivers/dbf/DbfKeyExpression.h"
#include "data/drivers/dbf/MdxIndex.h"
#include "data/drivers/dbf/NdxIndex.h"
#include "data/platform/CodePage.h"

using namespace dbftest;

namespace {
// A dBase IV table with a production index flag set (or not).
std::string MakeTable(const TTempFolder& dir, bool mdxFlag) {
    std::string path = dir / "cust.dbf";
    TDbfWriter w(path, dvDBase4,
                 {F("NAME", 'C', 20), F("CITY", 'C', 20), F("BORN", 'D'), F("N", 'N', 5)});
    if (mdxFlag) w.SetTableFlags(0x01);
    w.AddRecord({Text("Ann"), Text("Oslo"), Date(1990, 1, 1), Int(1)});
    w.Finish();
    return path;
}

std::vector<TMdxIndex::TTag> Tags() {
    return {
        {"NAME", "NAME", 'C', false, false},
        {"CITYNAME", "UPPER(CITY)+UPPER(NAME)", 'C', false, false},
        {"BYBORN", "DTOS(BORN)+NAME", 'C', true, false},
        {"NUMBER", "N", 'N', false, true},
        {"CALC", "STR(N,5)+NAME", 'C', false, false},
    };
}
} // namespace

TEST(DbfIndexes, ProductionIndexTagsBecomeIndexDefinitions) {
    TTempFolder dir;
    std::string path = MakeTable(dir, true);
    TMdxIndex::WriteDefinitions(dir / "cust.mdx", "cust", Tags());
    TOpenTable t(path);
    ASSERT_EQ(t.Indexes.Count(), 5);
    EXPECT_EQ(t.Indexes[0].Name, "NAME");
    EXPECT_EQ(t.Indexes[0].Fields, "NAME");
    EXPECT_EQ(t.Indexes[0].Options, 0u);
    EXPECT_EQ(t.Indexes[1].Fields, "CITY;NAME");
    EXPECT_EQ(t.Indexes[1].Options, unsigned(ixCaseInsensitive));
    EXPECT_EQ(t.Indexes[2].Fields, "BORN;NAME");
    EXPECT_EQ(t.Indexes[2].Options, unsigned(ixDescending));
    EXPECT_EQ(t.Indexes[3].Options, unsigned(ixUnique));
    EXPECT_EQ(t.Indexes[4].Fields, "STR(N,5)+NAME");
    EXPECT_EQ(t.Indexes[4].Options, unsigned(ixExpression));
    // The index would go stale: the table is read-only, and says why.
    EXPECT_FALSE(t.Driver.CanModify());
    EXPECT_NE(t.Driver.ReadOnlyReason().find("cust.mdx"), std::string::npos);
}

TEST(DbfIndexes, AnMdxWithoutTheHeaderFlagIsNotTheTablesIndex) {
    TTempFolder dir;
    std::string path = MakeTable(dir, false);
    TMdxIndex::WriteDefinitions(dir / "cust.mdx", "cust", Tags());
    TOpenTable t(path);
    EXPECT_EQ(t.Indexes.Count(), 0);
    EXPECT_TRUE(t.Driver.CanModify());
}

TEST(DbfIndexes, ADamagedIndexLeavesTheTableOpenWithoutIt) {
    TTempFolder dir;
    std::string path = MakeTable(dir, true);
    TMdxIndex::WriteDefinitions(dir / "cust.mdx", "cust", Tags());
    std::string mdx = ReadBytes(dir / "cust.mdx");
    const std::string cuts[] = {mdx.substr(0, 100), mdx.substr(0, 2048 + 10), ""};
    for (const std::string& cut : cuts) {
        WriteBytes(dir / "cust.mdx", cut);
        TOpenTable t(path);
        EXPECT_EQ(t.Indexes.Count(), 0);
        EXPECT_EQ(t.Get(0, 0).Text, "Ann");
    }
    // A tag header that points outside the file, an unterminated expression.
    std::string s = mdx;
    s[544] = 100;
    WriteBytes(dir / "cust.mdx", s);
    EXPECT_NE(ErrorOf([&] { TMdxIndex::ReadTags(dir / "cust.mdx"); }).find("lies outside the file"),
              std::string::npos);
    s = mdx;
    std::fill(s.begin() + 4 * 512 + 24, s.begin() + 5 * 512, 'A');
    WriteBytes(dir / "cust.mdx", s);
    EXPECT_NE(ErrorOf([&] { TMdxIndex::ReadTags(dir / "cust.mdx"); }).find("not terminated"),
              std::string::npos);
    s = mdx;
    s[28] = 60;
    WriteBytes(dir / "cust.mdx", s);
    EXPECT_NE(ErrorOf([&] { TMdxIndex::ReadTags(dir / "cust.mdx"); }).find("60 tags"),
              std::string::npos);
}

TEST(DbfIndexes, NdxFilesNamedLikeTheTableOrListedInItsInfFile) {
    TTempFolder dir;
    std::string path = MakeTable(dir, false);
    TNdxIndex::WriteDefinition(dir / "CUST.NDX", {"NAME", false, true});
    TNdxIndex::WriteDefinition(dir / "bycity.ndx", {"UPPER(CITY)", false, false});
    TNdxIndex::WriteDefinition(dir / "other.ndx", {"N", true, false});
    WriteBytes(dir / "cust.inf", "[dBASE]\r\nNDX1=BYCITY.NDX\r\nNDX2=missing.ndx\r\n");
    TOpenTable t(path);
    ASSERT_EQ(t.Indexes.Count(), 2);
    EXPECT_EQ(t.Indexes[0].Name, "CUST");
    EXPECT_EQ(t.Indexes[0].Fields, "NAME");
    EXPECT_EQ(t.Indexes[0].Options, unsigned(ixUnique));
    EXPECT_EQ(t.Indexes[1].Name, "BYCITY");
    EXPECT_EQ(t.Indexes[1].Fields, "CITY");
    EXPECT_EQ(t.Indexes[1].Options, unsigned(ixCaseInsensitive));
    EXPECT_FALSE(t.Driver.CanModify());

    std::string ndx = ReadBytes(dir / "bycity.ndx");
    EXPECT_EQ(TNdxIndex::ReadKey(dir / "bycity.ndx").Expression, "UPPER(CITY)");
    ndx[0] = 9; // root block beyond the file
    WriteBytes(dir / "bycity.ndx", ndx);
    EXPECT_NE(ErrorOf([&] { TNdxIndex::ReadKey(dir / "bycity.ndx"); }).find("root block 9"),
              std::string::npos);
    EXPECT_EQ(TOpenTable(path).Indexes.Count(), 1);
}

// Tag names and key expressions are in the table's code page, as its field
// names are: an index on Cyrillic fields names them in UTF-8.
TEST(DbfIndexes, TagsAndKeysAreInTheTablesCodePage) {
    TTempFolder dir;
    std::string path = dir / "ru.dbf";
    TDbfWriter w(path, dvDBase4, {F("ИМЯ", 'C', 20), F("ГОРОД", 'C', 20)}, 866);
    w.SetTableFlags(0x01);
    w.AddRecord({Text("Жук"), Text("Москва")});
    w.Finish();
    TCodePage cp(866);
    auto dos = [&](const char* utf8) {
        std::string out;
        EXPECT_TRUE(cp.FromUtf8(utf8, out));
        return out;
    };
    TMdxIndex::WriteDefinitions(dir / "ru.mdx", "ru",
                                {{dos("ПОИМЕНИ"), dos("ИМЯ"), 'C', false, false},
                                 {dos("ОБА"), dos("UPPER(ГОРОД)+UPPER(ИМЯ)"), 'C', false, false}});
    TNdxIndex::WriteDefinition(dir / "ru.ndx", {dos("ГОРОД"), false, false});
    TOpenTable t(path);
    ASSERT_EQ(t.Indexes.Count(), 3);
    EXPECT_EQ(t.Indexes[0].Name, "ПОИМЕНИ");
    EXPECT_EQ(t.Indexes[0].Fields, "ИМЯ");
    EXPECT_EQ(t.Indexes[0].Options, 0u);
    EXPECT_EQ(t.Indexes[1].Name, "ОБА");
    EXPECT_EQ(t.Indexes[1].Fields, "ГОРОД;ИМЯ");
    EXPECT_EQ(t.Indexes[1].Options, unsigned(ixCaseInsensitive));
    EXPECT_EQ(t.Indexes[2].Name, "RU");
    EXPECT_EQ(t.Indexes[2].Fields, "ГОРОД");
}

TEST(DbfIndexes, KeyExpressions) {
    TFieldDefs f;
    f.Add("Name", ftString, 10);
    f.Add("City", ftString, 10);
    f.Add("Born", ftDate);
    f.Add("Qty", ftInteger);
    auto fields = [&](const char* e) { return DbfIndexDefFromExpression("X", e, f, 0).Fields; };
    auto options = [&](const char* e) { return DbfIndexDefFromExpression("X", e, f, 0).Options; };
    EXPECT_EQ(fields(" name + CITY "), "Name;City");
    EXPECT_EQ(fields("upper( name )"), "Name");
    EXPECT_EQ(options("upper( name )"), unsigned(ixCaseInsensitive));
    EXPECT_EQ(fields("DTOS(BORN)"), "Born");
    EXPECT_EQ(options("UPPER(NAME)+CITY"), unsigned(ixExpression)); // only partly case-insensitive
    EXPECT_EQ(options("UPPER(QTY)"), unsigned(ixExpression));
    EXPECT_EQ(options("DTOS(NAME)"), unsigned(ixExpression));
    EXPECT_EQ(options("NOSUCH"), unsigned(ixExpression));
    EXPECT_EQ(fields("SUBSTR(NAME,1,3)"), "SUBSTR(NAME,1,3)");
    EXPECT_EQ(options("QTY+BORN"), 0u);
}

// The two engines over real table files made by the project's generators:
// open, order, filter, locate, edit and read the file again.
#include "data/drivers/dbf/DbfWriter.h"
#include "data/drivers/dbf/MdxIndex.h"
#include "data/drivers/paradox/ParadoxWriter.h"
#include "data/engines/ADOConnection.h"
#include "data/engines/ADOTable.h"
#include "data/engines/Table.h"
#include "data/engines/TblUtils.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/FormatSettings.h"
#include "tests/support/EngineTestDriver.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {
using Strings = std::vector<std::string>;

TDbfFieldSpec DbfField(const char* name, char type, int length = 0, int decimals = 0) {
    TDbfFieldSpec s;
    s.Name = name;
    s.Type = type;
    s.Length = length;
    s.Decimals = decimals;
    return s;
}

// Customers of a dBase IV table: name, city, amount, birthday, paid, memo.
void WriteCustomers(const std::string& path, bool productionIndex) {
    TDbfWriter w(path, dvDBase4,
                 {DbfField("NAME", 'C', 20), DbfField("CITY", 'C', 12),
                  DbfField("AMOUNT", 'N', 10, 2), DbfField("BORN", 'D'), DbfField("PAID", 'L'),
                  DbfField("NOTES", 'M')});
    if (productionIndex) w.SetTableFlags(0x01);
    struct TRow {
        const char* Name;
        const char* City;
        double Amount;
        int Year;
        bool Paid;
        const char* Notes;
    };
    const TRow rows[] = {{"Smith", "Oslo", 12.5, 1970, true, "first"},
                         {"jones", "Bergen", 0.3, 1985, false, nullptr},
                         {"O'Brien", "alta", -7.25, 1999, true, "third"},
                         {"Smithers", "Oslo", 1000, 1970, false, ""},
                         {"Adams", "Bergen", 99.99, 2001, true, "fifth"}};
    for (const TRow& r : rows)
        w.AddRecord({TValue::OfText(r.Name), TValue::OfText(r.City), TValue::OfFloat(r.Amount),
                     TValue::OfDateTime(EncodeDate(r.Year, 2, 28)), TValue::OfBool(r.Paid),
                     r.Notes ? TValue::OfText(r.Notes) : TValue()});
    w.AddRecord({TValue::OfText("Deleted"), TValue::OfText("Nowhere"), TValue::OfFloat(1), TValue(),
                 TValue(), TValue()},
                true);
    w.Finish();
    if (productionIndex)
        TMdxIndex::WriteDefinitions(std::filesystem::path(path).replace_extension(".mdx").string(),
                                    "cust",
                                    {{"NAME", "NAME", 'C', false, false},
                                     {"CITYNAME", "UPPER(CITY)+UPPER(NAME)", 'C', false, false},
                                     {"AMOUNT", "AMOUNT", 'N', true, false},
                                     {"CALC", "STR(AMOUNT,10)+NAME", 'C', false, false}});
}

Strings Column(TDataSet& t, const char* field) {
    Strings v;
    for (t.First(); !t.Eof(); t.Next())
        v.push_back(t.FieldByName(field).AsString());
    return v;
}

std::string DbaseConnection(const std::string& dir) {
    TADOConnection c;
    c.SetConnectionString("Driver={Microsoft dBase Driver (*.dbf)};DriverID=277;DefaultDir=" + dir +
                          ";");
    c.SetLoginPrompt(false);
    c.Open();
    std::string completed = c.ConnectionString();
    c.Close();
    return completed;
}

// The same customers as a Paradox table keyed by name, with a secondary
// index on the city when asked.
void WriteParadoxCustomers(const std::string& path, bool cityIndex) {
    TParadoxWriter w(path,
                     {{"Name", 'A', 20},
                      {"City", 'A', 12},
                      {"Amount", 'N', 0},
                      {"Born", 'D', 0},
                      {"Paid", 'L', 0},
                      {"Notes", 'M', 10}},
                     1);
    struct TRow {
        const char* Name;
        const char* City;
        double Amount;
        int Year;
        bool Paid;
    };
    const TRow rows[] = {{"Adams", "Bergen", 99.99, 2001, true},
                         {"O'Brien", "alta", -7.25, 1999, true},
                         {"Smith", "Oslo", 12.5, 1970, true},
                         {"Smithers", "Oslo", 1000, 1970, false},
                         {"jones", "Bergen", 0.3, 1985, false}};
    for (const TRow& r : rows)
        w.AddRecord({TValue::OfText(r.Name), TValue::OfText(r.City), TValue::OfFloat(r.Amount),
                     TValue::OfDateTime(EncodeDate(r.Year, 2, 28)), TValue::OfBool(r.Paid),
                     TValue::OfText(std::string("Notes of ") + r.Name)});
    if (cityIndex) w.AddSecondaryIndex({"City"});
    w.Finish();
}

std::string ParadoxConnection(const std::string& dir) {
    TADOConnection c;
    c.SetConnectionString(
        "Driver={Microsoft Paradox Driver (*.db )};DriverID=26;DefaultDir=" + dir + ";");
    c.Open();
    return c.ConnectionString();
}

class EngineFiles : public ::testing::Test {
protected:
    void SetUp() override { SetFormatSettings(TFormatSettings::Classic()); }
    void TearDown() override { SetFormatSettings(fSaved); }
    TTempFolder dir;

private:
    TFormatSettings fSaved = FormatSettings();
};
} // namespace

TEST_F(EngineFiles, TTableOrdersByTheProductionIndexTags) {
    WriteCustomers(dir / "cust.dbf", true);
    TTable t;
    t.SetDatabaseName(dir.Path().string());
    t.SetTableName(" cust.dbf ");
    t.Open();
    EXPECT_EQ(t.RecordCount(), 5) << "the deleted record is hidden";
    ASSERT_EQ(t.IndexDefs().Count(), 4);
    EXPECT_FALSE(t.CanModify()) << "an index this engine does not keep would go stale";
    EXPECT_EQ(Column(t, "NAME"), (Strings{"Smith", "jones", "O'Brien", "Smithers", "Adams"}));
    EXPECT_EQ(GetSortFields(t), "");
    t.SetIndexName("NAME");
    EXPECT_EQ(Column(t, "NAME"), (Strings{"Adams", "O'Brien", "Smith", "Smithers", "jones"}));
    EXPECT_EQ(GetSortFields(t), "NAME");
    t.SetIndexFieldNames("city");
    EXPECT_EQ(Column(t, "NAME"), (Strings{"O'Brien", "Adams", "jones", "Smith", "Smithers"}));
    EXPECT_EQ(GetSortFields(t), "city");
    t.SetIndexName("AMOUNT");
    EXPECT_EQ(Column(t, "NAME"), (Strings{"Smithers", "Adams", "Smith", "jones", "O'Brien"}));
    EXPECT_THROW(t.SetIndexName("CALC"), EDatabaseError);
    EXPECT_THROW(t.SetIndexFieldNames("BORN"), EDatabaseError);
    t.SetFilter("NAME = 'Smith*' AND PAID = False");
    t.SetFiltered(true);
    EXPECT_EQ(Column(t, "NAME"), (Strings{"Smithers"}));
    t.SetFiltered(false);
    EXPECT_TRUE(t.Locate("NAME", {"o'b"}, loCaseInsensitive | loPartialKey));
    EXPECT_EQ(t.RecNo(), 5);
    EXPECT_EQ(t.FieldByName("CITY").AsString(), "alta");
}

TEST_F(EngineFiles, TTableEditsTheFileAndReadsItBack) {
    WriteCustomers(dir / "cust.dbf", false);
    {
        TTable t;
        t.SetDatabaseName(dir.Path().string());
        t.SetTableName("cust.dbf");
        t.Open();
        ASSERT_TRUE(t.CanModify());
        ASSERT_TRUE(t.Locate("NAME", {"jones"}, 0));
        t.Edit();
        t.FieldByName("AMOUNT").SetAsFloat(42.5);
        t.FieldByName("NOTES").SetAsString("now a long note");
        t.Post();
        t.Append();
        t.FieldByName("NAME").SetAsString("Zed");
        t.FieldByName("BORN").SetAsString("2020-12-31");
        t.Post();
        ASSERT_TRUE(t.Locate("NAME", {"Adams"}, 0));
        t.Delete();
        t.Edit();
        t.FieldByName("CITY").SetAsString("Nowhere");
        t.Cancel();
        EXPECT_EQ(t.RecordCount(), 5);
    }
    TADOTable a;
    a.SetConnectionString(DbaseConnection(dir.Path().string()));
    a.SetTableName("cust.dbf");
    a.Open();
    EXPECT_EQ(Column(a, "NAME"), (Strings{"Smith", "jones", "O'Brien", "Smithers", "Zed"}));
    ASSERT_TRUE(a.Locate("NAME", {"JONES"}, loCaseInsensitive));
    EXPECT_EQ(a.FieldByName("AMOUNT").AsFloat(), 42.5);
    EXPECT_EQ(a.FieldByName("NOTES").AsString(), "now a long note");
    a.SetFilter("BORN = '2020-12-31'");
    a.SetFiltered(true);
    EXPECT_EQ(Column(a, "NAME"), (Strings{"Zed"}));
    a.SetFiltered(false);
    EXPECT_EQ(Column(a, "CITY"), (Strings{"Oslo", "Bergen", "alta", "Oslo", ""}));
}

TEST_F(EngineFiles, TADOTableSortsFiltersAndEdits) {
    WriteCustomers(dir / "cust.dbf", false);
    TADOTable a;
    a.SetConnectionString(DbaseConnection(dir.Path().string()));
    a.SetTableName("cust");
    a.Open();
    a.SetSort("CITY,NAME DESC");
    EXPECT_EQ(Column(a, "NAME"), (Strings{"O'Brien", "jones", "Adams", "Smithers", "Smith"}));
    a.SetSort("AMOUNT DESC");
    EXPECT_EQ(Column(a, "NAME"), (Strings{"Smithers", "Adams", "Smith", "jones", "O'Brien"}));
    EXPECT_THROW(a.SetSort("NOTES"), EDatabaseError);
    a.SetFilter("NAME LIKE 'SMITH%' OR NOTES IS NULL");
    a.SetFiltered(true);
    EXPECT_EQ(Column(a, "NAME"), (Strings{"Smithers", "Smith", "jones"}));
    a.SetFilter("AMOUNT = 0.3 AND BORN < #1/1/1990#");
    EXPECT_EQ(Column(a, "NAME"), (Strings{"jones"}));
    a.Edit();
    a.FieldByName("PAID").SetAsBoolean(true);
    a.Post();
    a.SetFiltered(false);
    a.Close();
    a.Open();
    a.SetFilter("PAID = True");
    a.SetFiltered(true);
    EXPECT_EQ(a.RecordCount(), 4);
}

TEST_F(EngineFiles, TTableOverAKeyedParadoxTable) {
    WriteParadoxCustomers(dir / "cust.db", true);
    TTable t;
    t.SetDatabaseName(dir.Path().string());
    t.SetTableName("cust.db");
    t.Open();
    ASSERT_GE(t.IndexDefs().Count(), 2);
    EXPECT_EQ(t.IndexDefs()[0].Name, "");
    EXPECT_EQ(t.IndexDefs()[0].Fields, "Name");
    EXPECT_EQ(GetSortFields(t), "Name") << "the primary key, no index chosen";
    EXPECT_EQ(Column(t, "Name"), (Strings{"Adams", "O'Brien", "Smith", "Smithers", "jones"}));
    t.SetIndexFieldNames("city");
    EXPECT_EQ(Column(t, "Name"), (Strings{"Adams", "jones", "Smith", "Smithers", "O'Brien"}))
        << "by bytes: uppercase before lowercase";
    EXPECT_EQ(GetSortFields(t), "city");
    t.SetIndexName(t.IndexDefs()[1].Name);
    EXPECT_EQ(GetSortFields(t), "City");
    EXPECT_THROW(t.SetIndexFieldNames("Amount"), EDatabaseError);
    t.SetFilter("Amount > 10 AND Paid = True");
    t.SetFiltered(true);
    EXPECT_EQ(Column(t, "Name"), (Strings{"Adams", "Smith"}));
    t.SetFiltered(false);
    EXPECT_TRUE(t.Locate("Name", {"SMITHE"}, loCaseInsensitive | loPartialKey));
    EXPECT_EQ(t.FieldByName("City").AsString(), "Oslo");
}

TEST_F(EngineFiles, TADOTableEditsAParadoxTableAndReadsItBack) {
    WriteParadoxCustomers(dir / "cust.db", false);
    {
        TADOTable a;
        a.SetConnectionString(ParadoxConnection(dir.Path().string()));
        a.SetTableName("cust.db");
        a.Open();
        ASSERT_TRUE(a.CanModify());
        a.SetSort("City DESC,Amount");
        EXPECT_EQ(Column(a, "Name"), (Strings{"Smith", "Smithers", "jones", "Adams", "O'Brien"}));
        a.SetFilter("Name LIKE 'smith*'");
        a.SetFiltered(true);
        ASSERT_EQ(a.RecordCount(), 2);
        a.First();
        a.Edit();
        a.FieldByName("Amount").SetAsFloat(13.75);
        a.Post();
        a.SetFiltered(false);
        a.Append();
        a.FieldByName("Name").SetAsString("Baker");
        a.FieldByName("Born").SetAsString("2/29/2024");
        a.Post();
        ASSERT_TRUE(a.Locate("Name", {"jones"}, 0));
        a.Delete();
    }
    TTable t;
    t.SetDatabaseName(dir.Path().string());
    t.SetTableName("cust.db");
    t.Open();
    EXPECT_EQ(Column(t, "Name"), (Strings{"Adams", "Baker", "O'Brien", "Smith", "Smithers"}));
    ASSERT_TRUE(t.Locate("Name", {"Smith"}, 0));
    EXPECT_EQ(t.FieldByName("Amount").AsFloat(), 13.75);
    t.SetFilter("Born = '2024-02-29'");
    t.SetFiltered(true);
    EXPECT_EQ(Column(t, "Name"), (Strings{"Baker"}));
}

namespace {
void PutFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string TextConnection(const std::string& dir) {
    TADOConnection c;
    c.SetConnectionString("Driver={Microsoft Text Driver (*.txt; *.csv)};"
                          "Extensions=asc,csv,tab,txt;DefaultDir=" +
                          dir + ";");
    c.Open();
    return c.ConnectionString();
}
} // namespace

TEST_F(EngineFiles, TADOTableOverACsvFile) {
    PutFile(dir / "cust.csv", "Name,City,Qty,Amount,Zip\r\n"
                              "Smith,Oslo,10,12.5,00123\r\n"
                              "jones,Bergen,3,0.3,12345\r\n"
                              "\"O'Brien, Pat\",alta,-5,-7.25,00124\r\n"
                              "Smithers,Oslo,0,1000,\r\n");
    TADOTable a;
    a.SetConnectionString(TextConnection(dir.Path().string()));
    a.SetTableName("cust.csv");
    a.Open();
    ASSERT_EQ(a.RecordCount(), 4);
    EXPECT_EQ(a.FieldByName("Zip").DataType(), ftString) << "leading zeros keep it text";
    a.SetSort("Qty DESC");
    EXPECT_EQ(Column(a, "Name"), (Strings{"Smith", "jones", "Smithers", "O'Brien, Pat"}));
    a.SetSort("City,Name");
    EXPECT_EQ(Column(a, "Name"), (Strings{"O'Brien, Pat", "jones", "Smith", "Smithers"}));
    a.SetFilter("Zip = 00123 OR Amount = 0.3 OR [Name] LIKE '%pat'");
    a.SetFiltered(true);
    EXPECT_EQ(Column(a, "Name"), (Strings{"O'Brien, Pat", "jones", "Smith"}));
    a.SetFilter("Zip IS NULL OR Zip = ''");
    EXPECT_EQ(Column(a, "Name"), (Strings{"Smithers"}));
    a.SetFiltered(false);
    EXPECT_TRUE(a.Locate("Name", {"o'b"}, loCaseInsensitive | loPartialKey));
    ASSERT_TRUE(a.CanModify());
    a.Edit();
    a.FieldByName("City").SetAsString("Tromso");
    a.Post();
    a.Close();
    a.Open();
    a.SetFilter("City = 'tromso'");
    a.SetFiltered(true);
    EXPECT_EQ(Column(a, "Name"), (Strings{"O'Brien, Pat"}));
}

TEST_F(EngineFiles, TTableOverATextTableWithSchema) {
    PutFile(dir / "cust.txt", "\"Smith\",10,12.50\r\n"
                              "\"jones\",3,0.30\r\n"
                              "\"Adams\",7,99.99\r\n");
    PutFile(dir / "cust.sch", "[cust]\r\n"
                              "FILETYPE = VARYING\r\n"
                              "CHARSET = ANSI\r\n"
                              "DELIMITER = \"\r\n"
                              "SEPARATOR = ,\r\n"
                              "FIELD1 = Name,CHAR,20,00,00\r\n"
                              "FIELD2 = Qty,LONGINT,11,00,20\r\n"
                              "FIELD3 = Amount,FLOAT,10,02,31\r\n");
    TTable t;
    t.SetDatabaseName(dir.Path().string());
    t.SetTableName("cust.txt");
    t.Open();
    ASSERT_EQ(t.RecordCount(), 3);
    EXPECT_EQ(t.FieldByName("Qty").DataType(), ftInteger);
    EXPECT_EQ(t.IndexDefs().Count(), 0);
    EXPECT_THROW(t.SetIndexFieldNames("Name"), EDatabaseError) << "text tables have no index";
    EXPECT_EQ(GetSortFields(t), "");
    t.SetFilter("Qty >= 7 OR Name = 'j*'");
    t.SetFiltered(true);
    EXPECT_EQ(Column(t, "Name"), (Strings{"Smith", "jones", "Adams"}));
    t.SetFilter("Amount = 0.3");
    EXPECT_EQ(Column(t, "Name"), (Strings{"jones"}));
    t.SetFiltered(false);
    EXPECT_TRUE(t.Locate("Name", {"ADA"}, loCaseInsensitive | loPartialKey));
    EXPECT_EQ(t.RecNo(), 3);
}

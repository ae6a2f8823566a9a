#include "data/base/TextUtils.h"
#include "data/engines/ADOConnection.h"
#include "tests/support/EngineTestDriver.h"

#include <gtest/gtest.h>

namespace {
using Pairs = std::vector<std::pair<std::string, std::string>>;
using Strings = std::vector<std::string>;

std::shared_ptr<TTestTableData> Cities() {
    auto d = std::make_shared<TTestTableData>();
    d->Fields.Add("Name", ftString, 10);
    d->Fields.Add("City", ftString, 10);
    d->Fields.Add("Age", ftInteger);
    d->Fields.Add("Photo", ftGraphic);
    d->Indexes.Add("", "Name", ixPrimary);
    const char* rows[][3] = {{"Cid", "oslo", "40"},
                             {"amy", "Bergen", "25"},
                             {"Bob", "Oslo", "31"},
                             {"Amy", "alta", "25"}};
    for (auto& r : rows)
        d->Add({TValue::OfText(r[0]), TValue::OfText(r[1]), TValue::OfInt(std::stoi(r[2]))});
    return d;
}

Strings Names(TDataSet& t) {
    Strings v;
    for (t.First(); !t.Eof(); t.Next())
        v.push_back(t.FieldByName("Name").AsString());
    return v;
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EDatabaseError& e) {
        return e.what();
    }
    return "no error";
}

std::string DbaseString(const std::string& dir) {
    return "Driver={Microsoft dBase Driver (*.dbf)};DriverID=277;DefaultDir=" + dir + ";";
}
} // namespace

TEST(ADOConnectionString, ParsesKeysBracesAndQuotes) {
    EXPECT_EQ(TADOConnection::Parse("Driver={A;B};DriverID=277; DefaultDir = /d ;"),
              (Pairs{{"Driver", "A;B"}, {"DriverID", "277"}, {"DefaultDir", "/d"}}));
    EXPECT_EQ(TADOConnection::Parse("X=\"a;\"\"b\"\"\";;Y='c'"),
              (Pairs{{"X", "a;\"b\""}, {"Y", "c"}}));
    EXPECT_EQ(TADOConnection::Parse("K={a}}b}"), (Pairs{{"K", "a}b"}}));
    EXPECT_EQ(TADOConnection::Parse(""), Pairs{});
    EXPECT_EQ(ErrorOf([] { TADOConnection::Parse("Driver={x;DefaultDir=/d"); }),
              "Connection string: the value of 'Driver' has no closing }");
    EXPECT_EQ(ErrorOf([] { TADOConnection::Parse("Driver=x;junk;"); }),
              "Connection string: 'junk' is not a key=value pair");
    EXPECT_EQ(ErrorOf([] { TADOConnection::Parse("X={a} b;"); }),
              "Connection string: unexpected text after the value of 'X' at position 7");
}

TEST(ADOConnectionString, ResolvesTheThreeDriversOfTheOpenCommand) {
    TTempFolder dir;
    TADOConnectionTarget t = TADOConnection::Resolve(DbaseString(dir.Path().string()));
    EXPECT_EQ(t.Format, TTableFormat::Dbase);
    EXPECT_EQ(t.DriverId, "277");
    EXPECT_EQ(t.Directory, dir.Path().string());
    t = TADOConnection::Resolve(
        "Driver={Microsoft Paradox Driver (*.db )};DriverID=26;DefaultDir=" + dir.Path().string() +
        ";");
    EXPECT_EQ(t.Format, TTableFormat::Paradox);
    EXPECT_EQ(t.DriverName, "Microsoft Paradox Driver (*.db )");
    t = TADOConnection::Resolve("driver={microsoft paradox driver (*.db)};defaultdir=" +
                                dir.Path().string());
    EXPECT_EQ(t.Format, TTableFormat::Paradox) << "keys and driver names ignore case and blanks";
    t = TADOConnection::Resolve("Driver={Microsoft Text Driver (*.txt; *.csv)};"
                                "Extensions=asc,csv,tab,txt;DefaultDir=" +
                                dir.Path().string() + ";");
    EXPECT_EQ(t.Format, TTableFormat::Text);
    EXPECT_EQ(t.Extensions, (Strings{"asc", "csv", "tab", "txt"}));
    EXPECT_EQ(t.DriverId, "27");
    t = TADOConnection::Resolve(
        "Driver={Microsoft Text Driver (*.txt; *.csv)};Extensions=.CSV;DBQ=" + dir.Path().string());
    EXPECT_EQ(t.Extensions, (Strings{"csv"}));
}

TEST(ADOConnectionString, SaysWhatIsWrong) {
    TTempFolder dir;
    EXPECT_EQ(ErrorOf([&] { TADOConnection::Resolve("DefaultDir=" + dir.Path().string()); }),
              "Connection string: no Driver is named");
    EXPECT_EQ(ErrorOf([&] { TADOConnection::Resolve("DSN=Orders;"); }),
              "Connection string: the data source 'Orders' is not known; name a Driver");
    EXPECT_NE(ErrorOf([&] {
                  TADOConnection::Resolve("Driver={SQL Server};DefaultDir=" + dir.Path().string());
              }).find("the driver 'SQL Server' is not installed"),
              std::string::npos);
    EXPECT_EQ(ErrorOf([&] { TADOConnection::Resolve("Driver={Microsoft dBase Driver (*.dbf)};"); }),
              "Connection string: no directory is named (DefaultDir)");
    EXPECT_EQ(ErrorOf([&] { TADOConnection::Resolve(DbaseString(dir / "missing")); }),
              "Connection string: the directory '" + (dir / "missing") + "' does not exist");
    EXPECT_NE(ErrorOf([&] {
                  TADOConnection::Resolve("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                          dir.Path().string());
              }).find("provider 'Microsoft.Jet.OLEDB.4.0' is not available"),
              std::string::npos);
}

TEST(ADOConnectionString, IsCompletedAsAProviderDoesAndReadsBack) {
    TTempFolder dir;
    const std::string d = dir.Path().string();
    TADOConnection c;
    c.SetConnectionString(DbaseString(d));
    c.SetLoginPrompt(false);
    EXPECT_FALSE(c.LoginPrompt());
    c.Open();
    EXPECT_TRUE(c.Connected());
    EXPECT_EQ(c.ConnectionString(),
              "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"DBQ=" + d +
                  ";DefaultDir=" + d +
                  ";Driver={Microsoft dBase Driver (*.dbf)};DriverId=277;FIL=dBase IV;"
                  "MaxBufferSize=2048;PageTimeout=5;\"");
    EXPECT_THROW(c.SetConnectionString("x"), EDatabaseError);
    c.Close();
    EXPECT_FALSE(c.Connected());
    // The completed string resolves to the same place, and completes to itself.
    TADOConnectionTarget back = TADOConnection::Resolve(c.ConnectionString());
    EXPECT_EQ(back.Format, TTableFormat::Dbase);
    EXPECT_EQ(back.Directory, d);
    EXPECT_EQ(TADOConnection::Complete(back), c.ConnectionString());

    TADOConnection text;
    text.SetConnectionString("Driver={Microsoft Text Driver (*.txt; *.csv)};"
                             "Extensions=asc,csv,tab,txt;DefaultDir=" +
                             d + ";");
    text.Open();
    EXPECT_EQ(text.ConnectionString(),
              "Provider=MSDASQL.1;Persist Security Info=False;Extended Properties=\"DBQ=" + d +
                  ";DefaultDir=" + d +
                  ";Driver={Microsoft Text Driver (*.txt; *.csv)};DriverId=27;"
                  "Extensions=asc,csv,tab,txt;FIL=text;MaxBufferSize=2048;PageTimeout=5;\"");
    TADOConnection bad;
    bad.SetConnectionString(DbaseString(d + "/nope"));
    EXPECT_THROW(bad.Open(), EDatabaseError);
    EXPECT_FALSE(bad.Connected());
}

TEST(ADOConnectionString, DirectoriesWithSeparatorsSurviveTheRoundTrip) {
    TTempFolder dir;
    for (const std::string& name :
         {std::string("a;b"), std::string("q\"uote"), std::string("{br}")}) {
        std::filesystem::create_directory(dir / name);
        TADOConnectionTarget t;
        t.Format = TTableFormat::Dbase;
        t.DriverName = "Microsoft dBase Driver (*.dbf)";
        t.DriverId = "277";
        t.Directory = dir / name;
        TADOConnectionTarget back = TADOConnection::Resolve(TADOConnection::Complete(t));
        EXPECT_EQ(back.Directory, t.Directory) << name;
    }
}

TEST(ADOTable, IsTheConnectionStringKind) {
    TTestADOTable t(Cities());
    EXPECT_EQ(t.ClassName(), "TADOTable");
    EXPECT_EQ(LowerCase(t.ClassName()).rfind("tado", 0), 0u);
    t.SetTableName("  orders.dbf ");
    EXPECT_EQ(t.TableName(), "orders.dbf");
    t.Open();
    EXPECT_EQ(t.IndexDefs().Count(), 1);
    EXPECT_EQ(Names(t), (Strings{"Cid", "amy", "Bob", "Amy"})) << "file order, no index used";
    EXPECT_THROW(t.SetConnectionString("x"), EDatabaseError);
    EXPECT_THROW(t.SetTableName("other.dbf"), EDatabaseError);
}

TEST(ADOTable, OpensWithTheGivenAndTheCompletedString) {
    TTempFolder dir;
    auto data = Cities();
    TADOConnection c;
    c.SetConnectionString(DbaseString(dir.Path().string()));
    c.Open();
    for (const std::string& s : {DbaseString(dir.Path().string()), c.ConnectionString()}) {
        TTestADOTable t(data);
        t.SetConnectionString(s);
        t.Open();
        EXPECT_EQ(t.RecordCount(), 4);
        EXPECT_EQ(data->LastPath, dir / "orders.dbf");
    }
}

TEST(ADOTable, TableNamesMustSuitTheDriver) {
    TTempFolder dir;
    TTestADOTable t(Cities());
    t.SetConnectionString(DbaseString(dir.Path().string()));
    t.SetTableName("orders");
    EXPECT_EQ(t.TablePath(), dir / "orders.dbf");
    t.SetTableName("orders.csv");
    EXPECT_EQ(ErrorOf([&] { t.TablePath(); }),
              "The driver Microsoft dBase Driver (*.dbf) does not open the file 'orders.csv'");
    t.SetTableName("../orders.dbf");
    EXPECT_THROW(t.TablePath(), EDatabaseError);
    t.SetConnectionString(
        "Driver={Microsoft Text Driver (*.txt; *.csv)};Extensions=csv;DefaultDir=" +
        dir.Path().string());
    t.SetTableName("orders.CSV");
    EXPECT_EQ(t.TablePath(), dir / "orders.CSV");
    t.SetTableName("orders.tab");
    EXPECT_THROW(t.TablePath(), EDatabaseError) << "not in the Extensions list";
    t.SetConnectionString("");
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "The connection string is empty");
}

TEST(ADOTable, SortByAnyFieldsWithoutAnIndex) {
    TTestADOTable t(Cities());
    t.Open();
    t.SetSort("Name");
    EXPECT_EQ(Names(t), (Strings{"amy", "Amy", "Bob", "Cid"})) << "case-insensitive, stable";
    t.SetSort("Name DESC");
    EXPECT_EQ(Names(t), (Strings{"Cid", "Bob", "amy", "Amy"}));
    t.SetSort("City,Name DESC");
    EXPECT_EQ(Names(t), (Strings{"Amy", "amy", "Cid", "Bob"}));
    t.SetSort("Age DESC,[Name] asc");
    EXPECT_EQ(Names(t), (Strings{"Cid", "Bob", "amy", "Amy"}));
    EXPECT_EQ(ErrorOf([&] { t.SetSort("Age,Nmae"); }), "Sort: unknown field 'Nmae'");
    EXPECT_EQ(ErrorOf([&] { t.SetSort("Photo"); }), "Sort: the field 'Photo' cannot be sorted");
    EXPECT_THROW(t.SetSort("Age,,Name"), EDatabaseError);
    EXPECT_EQ(t.Sort(), "Age DESC,[Name] asc") << "a refused sort keeps the old one";
    EXPECT_EQ(Names(t), (Strings{"Cid", "Bob", "amy", "Amy"}));
    t.SetSort("");
    EXPECT_EQ(Names(t), (Strings{"Cid", "amy", "Bob", "Amy"}));
}

TEST(ADOTable, APostedRecordKeepsTheSortWithTheCursorOnIt) {
    TTestADOTable t(Cities());
    t.Open();
    t.SetSort("City DESC,Name");
    ASSERT_EQ(Names(t), (Strings{"Bob", "Cid", "amy", "Amy"}));
    t.Last();
    t.Edit();
    t.FieldByName("City").SetAsString("Paris");
    t.Post();
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_EQ(t.FieldByName("Name").AsString(), "Amy");
    t.Insert();
    t.FieldByName("Name").SetAsString("ann");
    t.FieldByName("City").SetAsString("Oslo");
    t.Post();
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_EQ(t.FieldByName("Name").AsString(), "ann");
    EXPECT_EQ(Names(t), (Strings{"Amy", "ann", "Bob", "Cid", "amy"}));
    // Null goes last when descending.
    t.First();
    t.Edit();
    t.FieldByName("City").Clear();
    t.Post();
    EXPECT_EQ(t.RecNo(), 5);
    EXPECT_EQ(t.FieldByName("Name").AsString(), "Amy");
}

TEST(ADOTable, SortSetWhileClosedAppliesAtOpenAndKeepsTheCurrentRecord) {
    TTestADOTable t(Cities());
    t.SetSort("Age,Name");
    t.Open();
    EXPECT_EQ(Names(t), (Strings{"amy", "Amy", "Bob", "Cid"}));
    t.Locate("Name", {"Bob"}, 0);
    t.SetSort("Name DESC");
    EXPECT_EQ(t.FieldByName("Name").AsString(), "Bob");
    EXPECT_EQ(t.RecNo(), 2);
    t.Close();
    t.SetSort("Nope");
    EXPECT_EQ(ErrorOf([&] { t.Open(); }), "Sort: unknown field 'Nope'");
    EXPECT_FALSE(t.Active());
}

TEST(ADOTable, FilterLocateAndEditing) {
    auto data = Cities();
    TTestADOTable t(data);
    t.Open();
    t.SetSort("Name");
    t.SetFilter("City = 'OSLO'");
    t.SetFiltered(true);
    EXPECT_EQ(Names(t), (Strings{"Bob", "Cid"}));
    EXPECT_TRUE(t.Locate("Name", {"c"}, loCaseInsensitive | loPartialKey));
    t.Edit();
    t.FieldByName("Age").SetAsInteger(41);
    t.Post();
    EXPECT_EQ(data->Records[0][2].Int, 41);
    t.SetFiltered(false);
    t.Refresh();
    EXPECT_EQ(t.RecordCount(), 4);
    data->Writable = false;
    t.Close();
    t.Open();
    EXPECT_FALSE(t.CanModify());
}

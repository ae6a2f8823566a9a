#include "data/dataset/DataSource.h"
#include "data/drivers/TableDriverFactory.h"
#include "data/engines/BdeUtils.h"
#include "data/engines/TblUtils.h"
#include "tests/support/EngineTestDriver.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {
// Name, City, Age; indexes over them as a dBase table might have.
std::shared_ptr<TTestTableData> People() {
    auto d = std::make_shared<TTestTableData>();
    d->Fields.Add("Name", ftString, 10);
    d->Fields.Add("City", ftString, 10);
    d->Fields.Add("Age", ftInteger);
    d->Fields.Add("Notes", ftMemo);
    d->Indexes.Add("BYNAME", "Name");
    d->Indexes.Add("BYCITY", "City;Name");
    d->Indexes.Add("CITYONLY", "City", ixDescending);
    d->Indexes.Add("AGEDESC", "Age", ixDescending);
    d->Indexes.Add("UNAME", "Name", ixCaseInsensitive);
    d->Indexes.Add("EXPR", "LEFT(NAME,3)+STR(AGE)", ixExpression);
    const char* rows[][3] = {{"Cid", "Oslo", "40"},
                             {"amy", "Bergen", "25"},
                             {"Bob", "Oslo", "31"},
                             {"Amy", "Alta", "25"}};
    for (auto& r : rows)
        d->Add({TValue::OfText(r[0]), TValue::OfText(r[1]), TValue::OfInt(std::stoi(r[2]))});
    return d;
}

std::vector<std::string> Names(TDataSet& t) {
    std::vector<std::string> v;
    for (t.First(); !t.Eof(); t.Next())
        v.push_back(t.FieldByName("Name").AsString());
    return v;
}

using Strings = std::vector<std::string>;
} // namespace

TEST(TableEngine, IsTheStandardIndexOrderedKind) {
    TTestTable t(People());
    EXPECT_EQ(t.ClassName(), "TTable");
    EXPECT_EQ(t.DriverName(), "STANDARD");
    EXPECT_FALSE(t.IsSQLBased());
    t.SetTableName("  orders.dbf \t");
    EXPECT_EQ(t.TableName(), "orders.dbf");
    t.SetDatabaseName("/some/dir");
    EXPECT_EQ(t.TablePath(), "/some/dir/orders.dbf");
    t.SetTableName("/abs/other.db");
    EXPECT_EQ(t.TablePath(), "/abs/other.db") << "an absolute name stands alone";
    t.Open();
    EXPECT_THROW(t.SetTableName("x.dbf"), EDatabaseError);
    EXPECT_THROW(t.SetDatabaseName("/x"), EDatabaseError);
    EXPECT_NO_THROW(t.SetTableName("/abs/other.db")) << "the current value changes nothing";
    EXPECT_EQ(t.IndexDefs().Count(), 6);
}

TEST(TableEngine, NameWithoutExtensionFindsTheTableFile) {
    TTempFolder dir;
    TTestTable t(People());
    t.SetDatabaseName(dir.Path().string());
    t.SetTableName("orders");
    EXPECT_EQ(t.TablePath(), dir / "orders.db") << "the default table type";
    { std::ofstream(dir / "orders.dbf") << "x"; }
    EXPECT_EQ(t.TablePath(), dir / "orders.dbf");
}

TEST(TableEngine, ChoosesTheDriverByExtension) {
    EXPECT_EQ(TableFormatOfPath("/d/ORDERS.DBF"), TTableFormat::Dbase);
    EXPECT_EQ(TableFormatOfPath("orders.db"), TTableFormat::Paradox);
    for (const char* n : {"a.txt", "a.CSV", "a.asc", "a.tab"})
        EXPECT_EQ(TableFormatOfPath(n), TTableFormat::Text) << n;
    EXPECT_EQ(TableFormatOfPath("a.xls"), TTableFormat::Unknown);
    EXPECT_EQ(TableFormatOfPath("/d.db/file"), TTableFormat::Unknown);
    EXPECT_THROW(CreateTableDriver(TTableFormat::Unknown), EDatabaseError);
    TTable t;
    t.SetDatabaseName("/tmp");
    t.SetTableName("sheet.xls");
    try {
        t.Open();
        ADD_FAILURE() << "opened an unknown table type";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Unknown table type: sheet.xls");
    }
    EXPECT_FALSE(t.Active());
}

TEST(TableEngine, EngineStartIsBuiltIn) {
    InitializeBDE();
    EXPECT_TRUE(BDELoaded());
    EXPECT_EQ(GetBDEDllPath(), "");
}

TEST(TableEngine, IndexNameOrdersByThatIndexOnly) {
    TTestTable t(People());
    t.Open();
    EXPECT_EQ(Names(t), (Strings{"Cid", "amy", "Bob", "Amy"})) << "file order";
    t.SetIndexName("BYNAME");
    EXPECT_EQ(Names(t), (Strings{"Amy", "Bob", "Cid", "amy"})) << "case-sensitive index";
    t.SetIndexName("UNAME");
    EXPECT_EQ(Names(t), (Strings{"amy", "Amy", "Bob", "Cid"})) << "case-insensitive, stable";
    t.SetIndexName("AGEDESC");
    EXPECT_EQ(Names(t), (Strings{"Cid", "Bob", "amy", "Amy"}));
    EXPECT_THROW(t.SetIndexName("byname"), EDatabaseError) << "names compare exactly";
    EXPECT_EQ(t.IndexName(), "AGEDESC");
    EXPECT_EQ(Names(t), (Strings{"Cid", "Bob", "amy", "Amy"})) << "order unchanged";
    try {
        t.SetIndexName("EXPR");
        ADD_FAILURE();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("LEFT(NAME,3)+STR(AGE)"), std::string::npos);
    }
    t.SetIndexName("");
    EXPECT_EQ(Names(t), (Strings{"Cid", "amy", "Bob", "Amy"}));
}

TEST(TableEngine, IndexFieldNamesTakesAnIndexThatStartsWithTheFields) {
    TTestTable t(People());
    t.Open();
    t.SetIndexFieldNames("city");
    // CITYONLY (descending) and BYCITY fit; the one with fewer fields wins.
    EXPECT_EQ(Names(t), (Strings{"Cid", "Bob", "amy", "Amy"}));
    t.SetIndexFieldNames("City;NAME");
    EXPECT_EQ(Names(t), (Strings{"Amy", "amy", "Bob", "Cid"}));
    EXPECT_EQ(t.IndexFieldNames(), "City;NAME");
    EXPECT_THROW(t.SetIndexFieldNames("Age;Name"), EDatabaseError) << "no index starts so";
    EXPECT_THROW(t.SetIndexFieldNames("Name;City"), EDatabaseError);
    EXPECT_EQ(t.IndexFieldNames(), "City;NAME");
    EXPECT_EQ(Names(t), (Strings{"Amy", "amy", "Bob", "Cid"}));
    t.SetIndexName("BYNAME");
    EXPECT_EQ(t.IndexFieldNames(), "") << "one clears the other";
    t.SetIndexFieldNames("Age");
    EXPECT_EQ(t.IndexName(), "");
    EXPECT_EQ(Names(t), (Strings{"Cid", "Bob", "amy", "Amy"}));
}

TEST(TableEngine, OrderChosenWhileClosedAppliesAtOpen) {
    auto data = People();
    TTestTable t(data);
    t.SetIndexFieldNames("Name");
    t.Open();
    EXPECT_EQ(Names(t), (Strings{"Amy", "Bob", "Cid", "amy"}));
    t.Close();
    t.SetIndexName("NOSUCH");
    EXPECT_THROW(t.Open(), EDatabaseError);
    EXPECT_FALSE(t.Active());
    t.SetIndexName("");
    // With no index chosen the file's order stands, also with a primary
    // index (the formats that have one keep their records in its order).
    data->Indexes.Add("", "Age;Name", ixPrimary);
    t.Open();
    EXPECT_EQ(Names(t), (Strings{"Cid", "amy", "Bob", "Amy"}));
}

TEST(TableEngine, UpdateIndexDefsReadsAClosedTable) {
    auto data = People();
    TTestTable t(data);
    t.UpdateIndexDefs();
    EXPECT_EQ(t.IndexDefs().Count(), 6);
    EXPECT_EQ(t.IndexDefs()[1].Fields, "City;Name");
    t.Open();
    int opens = data->Opens;
    t.UpdateIndexDefs();
    EXPECT_EQ(data->Opens, opens) << "an open table keeps what it read";
}

TEST(TableEngine, GetSortFieldsEdgeCases) {
    auto data = People();
    TTestTable t(data);
    t.Open();
    EXPECT_EQ(GetSortFields(t), "") << "dBase, no index chosen";
    EXPECT_THROW(t.SetIndexFieldNames("Name;City"), EDatabaseError);
    EXPECT_EQ(GetSortFields(t), "") << "the set failed, nothing chosen";
    t.SetIndexFieldNames("City;Name");
    EXPECT_EQ(GetSortFields(t), "City;Name");
    t.SetIndexName("BYCITY");
    EXPECT_EQ(GetSortFields(t), "City;Name");
    t.SetIndexName("CITYONLY");
    EXPECT_EQ(GetSortFields(t), "City");
    t.Close();
    // A Paradox table with its primary key first and no index chosen.
    auto px = People();
    px->Indexes = TIndexDefs();
    px->Indexes.Add("", "Name;City", ixPrimary);
    px->Indexes.Add("ByCity", "City");
    TTestTable p(px);
    p.SetTableName("ORDERS.DB");
    p.Open();
    p.SetIndexFieldNames("");
    EXPECT_EQ(GetSortFields(p), "Name;City");
    p.SetIndexName("ByCity");
    EXPECT_EQ(GetSortFields(p), "City");
    // IndexFieldNames is taken as it is, whatever the definitions say.
    p.SetIndexFieldNames("Name;City");
    EXPECT_EQ(GetSortFields(p), "Name;City");
    p.Close();
    // An index name that differs only in case is not taken: the name itself
    // is the answer. (The engine raises for such a name on an open table.)
    p.SetIndexName("bycity");
    EXPECT_EQ(GetSortFields(p), "bycity");
    EXPECT_EQ(GetFieldTypeName(ftCursor), "Unknown");
    EXPECT_EQ(GetFieldTypeName(ftADT), "ADT (abstract)");
}

TEST(TableEngine, LocateRecordCountRecNoAndBookmarks) {
    TTestTable t(People());
    t.Open();
    t.SetIndexName("BYNAME");
    EXPECT_EQ(t.RecordCount(), 4);
    EXPECT_TRUE(t.Locate("Name", {"AM"}, loCaseInsensitive | loPartialKey));
    EXPECT_EQ(t.RecNo(), 1);
    EXPECT_TRUE(t.Locate("Name", {"am"}, loPartialKey));
    EXPECT_EQ(t.FieldByName("Name").AsString(), "amy");
    EXPECT_EQ(t.RecNo(), 4);
    std::string amy = t.Bookmark();
    EXPECT_FALSE(t.Locate("Name", {"Zed"}, loCaseInsensitive));
    EXPECT_EQ(t.RecNo(), 4) << "no match leaves the cursor";
    t.SetIndexName("AGEDESC");
    t.SetBookmark(amy);
    EXPECT_EQ(t.FieldByName("Name").AsString(), "amy");
    EXPECT_EQ(t.RecNo(), 3);
    t.SetFilter("City = 'Oslo'");
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 2);
    EXPECT_EQ(Names(t), (Strings{"Cid", "Bob"}));
    EXPECT_FALSE(t.BookmarkValid(amy)) << "filtered away";
}

TEST(TableEngine, EditingWritesThroughTheDriverAndRereads) {
    auto data = People();
    data->Fields[2].Required = true;
    TTestTable t(data);
    t.Open();
    ASSERT_TRUE(t.CanModify());
    t.SetIndexName("BYNAME");
    t.First();
    t.Edit();
    t.FieldByName("City").SetAsString("Tromso");
    t.Post();
    EXPECT_EQ(data->Records[3][1].Text, "Tromso") << "Amy is the fourth record of the file";
    t.Append();
    t.FieldByName("Name").SetAsString("Dan");
    EXPECT_THROW(t.Post(), EDatabaseError) << "Age is required";
    t.FieldByName("Age").SetAsInteger(50);
    t.Post();
    EXPECT_EQ(data->Records.size(), 5u);
    t.Locate("Name", {"Bob"}, 0);
    t.Delete();
    EXPECT_TRUE(data->Deleted[2]);
    t.Edit();
    t.FieldByName("Age").SetAsInteger(99);
    t.Cancel();
    t.Close();
    t.Open();
    EXPECT_EQ(t.RecordCount(), 4);
    EXPECT_EQ(Names(t), (Strings{"Amy", "Cid", "Dan", "amy"}));
    EXPECT_TRUE(t.Locate("Name", {"Amy"}, 0));
    EXPECT_EQ(t.FieldByName("City").AsString(), "Tromso");
    EXPECT_EQ(t.FieldByName("Age").AsInteger(), 25) << "cancelled edit not written";
}

TEST(TableEngine, APostedRecordMovesToItsPlaceInTheIndexWithTheCursor) {
    auto data = People();
    TTestTable t(data);
    t.Open();
    t.SetIndexName("BYNAME");
    ASSERT_EQ(Names(t), (Strings{"Amy", "Bob", "Cid", "amy"}));
    t.First();
    t.Edit();
    t.FieldByName("Name").SetAsString("Caz"); // Amy moves between Bob and Cid
    t.Post();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "Caz");
    EXPECT_EQ(t.RecNo(), 2);
    t.Next();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "Cid");
    // A new record, appended, stands where the index puts it.
    t.Append();
    t.FieldByName("Name").SetAsString("Bea");
    t.FieldByName("Age").SetAsInteger(7);
    t.Post();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "Bea");
    EXPECT_EQ(t.RecNo(), 1);
    // Among equal keys the file's order holds: amy is before Bob there.
    t.Last();
    t.Edit();
    t.FieldByName("Name").SetAsString("Bob");
    t.Post();
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_EQ(t.FieldByName("City").AsString(), "Bergen");
    EXPECT_EQ(Names(t), (Strings{"Bea", "Bob", "Bob", "Caz", "Cid"}));
    // A descending index by a number.
    t.SetIndexName("AGEDESC");
    t.First();
    EXPECT_EQ(t.FieldByName("Age").AsInteger(), 40);
    t.Edit();
    t.FieldByName("Age").SetAsInteger(1);
    t.Post();
    EXPECT_EQ(t.RecNo(), 5);
    EXPECT_EQ(t.FieldByName("Name").AsString(), "Cid");
    t.Prior();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "Bea");
}

TEST(TableEngine, ReadOnlyTablesRefuseEdits) {
    auto data = People();
    TTestTable t(data);
    t.SetReadOnly(true);
    t.Open();
    EXPECT_FALSE(t.CanModify());
    EXPECT_THROW(t.Edit(), EDatabaseError);
    EXPECT_THROW(t.SetReadOnly(false), EDatabaseError);
    t.Close();
    t.SetReadOnly(false);
    data->Writable = false;
    t.Open();
    EXPECT_FALSE(t.CanModify()) << "a file that cannot be written";
    EXPECT_THROW(t.Insert(), EDatabaseError);
}

TEST(TableEngine, NotifiesItsDataSourceOnReordering) {
    TTestTable t(People());
    TDataSource ds;
    int changes = 0;
    ds.OnDataChange = [&](TDataSource&, TField*) { ++changes; };
    ds.SetDataSet(&t);
    t.Open();
    int before = changes;
    t.SetIndexName("BYNAME");
    EXPECT_GT(changes, before);
    before = changes;
    EXPECT_THROW(t.SetIndexFieldNames("Notes"), EDatabaseError);
    EXPECT_EQ(changes, before) << "a refused order tells nothing";
}

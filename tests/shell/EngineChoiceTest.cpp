#include "shell/EngineChoice.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/engines/ADOConnection.h"
#include "data/engines/Table.h"
#include "shell/TableOpener.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(EngineChoice, ChoiceTable) {
    fs::path dir = fs::temp_directory_path() / "tabulon-engine-choice";
    fs::create_directories(dir);
    std::ofstream((dir / "with.sch").string()) << "[with]\n";
    auto ado = [&](const char* name, bool bde, bool prefer) {
        return ChooseADO(SplitTablePath((dir / name).string()), bde, prefer);
    };
    EXPECT_FALSE(ado("orders.dbf", true, false));
    EXPECT_FALSE(ado("orders.DB", true, false)) << "extensions compare in lower case";
    EXPECT_TRUE(ado("orders.csv", true, false));
    EXPECT_TRUE(ado("orders.tab", true, false));
    EXPECT_TRUE(ado("plain.txt", true, false));
    EXPECT_FALSE(ado("with.txt", true, false)) << "a schema beside it";
    EXPECT_TRUE(ado("orders.dbf", false, false)) << "no index-ordered engine";
    EXPECT_TRUE(ado("orders.dbf", true, true)) << "ADO preferred";
    fs::remove_all(dir);
}

TEST(EngineChoice, ASchemaCountsInAnyLetterCaseAsTheDriverReadsIt) {
    fs::path dir = fs::temp_directory_path() / "tabulon-engine-schema";
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.sch");
    // Without its schema the first line would be the names.
    struct TCase {
        const char* Table;
        const char* Schema; // nullptr: none
    } cases[] = {{"STOCK.TXT", "STOCK.SCH"}, {"Mixed.txt", "mIXED.Sch"}, {"upper.TXT", "upper.sch"},
                 {"lower.txt", "LOWER.SCH"}, {"plain.txt", nullptr},     {"folder.txt", nullptr},
                 {"other.txt", "others.sch"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Table);
        std::ofstream((dir / c.Table).string()) << "1;2\r\n3;4\r\n";
        if (c.Schema && std::string(c.Schema) != "others.sch")
            std::ofstream((dir / c.Schema).string())
                << "[x]\r\nFILETYPE = VARYING\r\nSEPARATOR = ;\r\nCHARSET = ANSI\r\n"
                   "FIELD1 = ITEM,LONGINT,6,0,0\r\nFIELD2 = QTY,LONGINT,6,0,0\r\n";
        else if (c.Schema)
            std::ofstream((dir / c.Schema).string()) << "[others]\r\n";
        const std::string path = (dir / c.Table).string();
        const bool expected = c.Schema && std::string(c.Schema) != "others.sch";
        EXPECT_EQ(HasSchema(SplitTablePath(path)), expected);
        EXPECT_EQ(ChooseADO(SplitTablePath(path), true, false), !expected);
        // The driver agrees: it reads the table by that schema.
        TTable t;
        t.SetTableName(path);
        t.Open();
        EXPECT_EQ(t.Fields(0).FieldName(), expected ? "ITEM" : "1");
        EXPECT_EQ(t.RecordCount(), expected ? 2 : 1);
    }
    fs::remove_all(dir);
}

TEST(EngineChoice, ConnectionTexts) {
    EXPECT_EQ(ADOConnectionText(".dbf", "/data"),
              "Driver={Microsoft dBase Driver (*.dbf)};DriverID=277;DefaultDir=/data;");
    EXPECT_EQ(ADOConnectionText(".db", "/data"),
              "Driver={Microsoft Paradox Driver (*.db )};DriverID=26;DefaultDir=/data;");
    EXPECT_EQ(
        ADOConnectionText(".csv", "/d"),
        "Driver={Microsoft Text Driver (*.txt; *.csv)};Extensions=asc,csv,tab,txt;DefaultDir=/d;");
    EXPECT_EQ(ADOConnectionText(".xyz", "/d"),
              "Driver={Microsoft Text Driver (*.txt; *.csv)};DefaultDir=/d;");
}

TEST(EngineChoice, PathParts) {
    TTablePath p = SplitTablePath("/data/x/Orders.DBF");
    EXPECT_EQ(p.Ext, ".dbf");
    EXPECT_EQ(p.Dir, "/data/x");
    EXPECT_EQ(p.Name, "Orders.DBF");
    EXPECT_EQ(SplitTablePath("/t.db").Dir, "/") << "the root keeps its separator";
}

namespace {
std::string DirOf(const std::string& connection) {
    for (const auto& [k, v] : TADOConnection::Parse(connection))
        if (k == "DefaultDir") return v;
    return "(no DefaultDir)";
}

struct TNoReports : TOpenReporter {
    std::vector<std::string> Shown;
    void ShowOpenError(const std::string& message) override { Shown.push_back(message); }
};
} // namespace

TEST(EngineChoice, DirectoriesParseBackAsTheyWere) {
    const std::string dirs[] = {"/data/a;b", "/d/x=y",   "/d/{z}", "/d/}",      "/d/ends ",
                                " /starts",  "'quoted'", "\"q",    "/d/a;b}=c{"};
    for (const std::string& dir : dirs) {
        std::string text = ADOConnectionText(".dbf", dir);
        EXPECT_EQ(DirOf(text), dir) << text;
        EXPECT_EQ(TADOConnection::Parse(text).size(), 3u) << text << ": no stray pairs";
        // The string a connection completes keeps the directory too.
        TADOConnectionTarget t;
        t.Format = TTableFormat::Dbase;
        t.DriverName = "Microsoft dBase Driver (*.dbf)";
        t.DriverId = "277";
        t.Directory = dir;
        std::string completed = TADOConnection::Complete(t), inner;
        for (const auto& [k, v] : TADOConnection::Parse(completed))
            if (k == "Extended Properties") inner = v;
        int seen = 0;
        for (const auto& [k, v] : TADOConnection::Parse(inner))
            if (k == "DBQ" || k == "DefaultDir") {
                EXPECT_EQ(v, dir) << k << " of " << completed;
                ++seen;
            }
        EXPECT_EQ(seen, 2) << completed;
    }
    EXPECT_EQ(ADOConnectionText(".dbf", "/d/a;b"),
              "Driver={Microsoft dBase Driver (*.dbf)};DriverID=277;DefaultDir={/d/a;b};");
    EXPECT_EQ(ADOConnectionText(".dbf", "/d/{z}"),
              "Driver={Microsoft dBase Driver (*.dbf)};DriverID=277;DefaultDir={/d/{z}}};");
    EXPECT_EQ(DirOf(ADOConnectionText(".csv", "")), ".") << "a bare file name's directory";
}

TEST(EngineChoice, ConnectionsToDirectoriesThatNeedBraces) {
    fs::path base = fs::temp_directory_path() / "tabulon-engine-braces";
    fs::remove_all(base);
    for (const char* name : {"a;b", "c{d}=e", "'f'"}) {
        fs::path dir = base / name;
        fs::create_directories(dir);
        for (const char* ext : {".dbf", ".db", ".csv"}) {
            std::string reason = "left over";
            std::string completed = BuildADOConnection(ext, dir.string(), &reason);
            ASSERT_FALSE(completed.empty()) << dir << ext << ": " << reason;
            EXPECT_EQ(reason, "");
            EXPECT_EQ(TADOConnection::Resolve(completed).Directory, dir.string()) << completed;
        }
    }
    // A table in such a directory opens through the connection-string engine.
    fs::path table = base / "a;b" / "t.dbf";
    TDbfWriter::Write(table.string(), dvDBase3, {{"N", 'N', 4, 0}},
                      {{TValue::OfInt(1)}, {TValue::OfInt(2)}}, 1252);
    TShellState state;
    state.BDELoaded = true;
    state.Settings.AlwaysTryADO = true;
    TNoReports reports;
    OpenDatabase(state, table.string(), reports);
    ASSERT_TRUE(state.CurrentDataSet && state.CurrentDataSet->Active());
    EXPECT_EQ(state.CurrentDataSet->ClassName(), "TADOTable");
    EXPECT_EQ(state.CurrentDataSet->RecordCount(), 2);
    EXPECT_EQ(state.EngineStatus, "Connected via ADO");
    state.CloseCurrentDataSet();
    fs::remove_all(base);
}

TEST(EngineChoice, TheConnectionsErrorReachesTheUser) {
    fs::path gone = fs::temp_directory_path() / "tabulon-engine-gone" / "x;y";
    fs::remove_all(gone.parent_path());
    std::string reason;
    EXPECT_EQ(BuildADOConnection(".dbf", gone.string(), &reason), "");
    EXPECT_NE(reason.find("'" + gone.string() + "' does not exist"), std::string::npos) << reason;
    EXPECT_EQ(BuildADOConnection(".dbf", gone.string()), "") << "the reason is optional";

    TShellState state;
    state.BDELoaded = true;
    state.Settings.AlwaysTryADO = true;
    TNoReports reports;
    std::string path = (gone / "t.dbf").string();
    std::string message;
    try {
        OpenDatabase(state, path, reports);
    } catch (const std::exception& e) {
        message = e.what();
    }
    EXPECT_NE(message.find("\"" + path + "\""), std::string::npos) << message;
    EXPECT_NE(message.find("does not exist"), std::string::npos) << message;
    EXPECT_EQ(message.find("empty"), std::string::npos) << message;
    EXPECT_EQ(state.EngineStatus, "");
    EXPECT_TRUE(reports.Shown.empty());
}

TEST(EngineChoice, ACodePageReachesEitherEngineAndAReopen) {
    fs::path dir = fs::temp_directory_path() / "tabulon-engine-codepage";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string table = (dir / "t.dbf").string();
    TDbfWriter w(table, dvDBase3, {{"NAME", 'C', 10, 0}}, 866);
    w.SetLanguageId(0xC9); // says 1251
    w.AddRecord({TValue::OfText("Жук")});
    w.Finish();
    TNoReports reports;
    for (bool ado : {false, true}) {
        SCOPED_TRACE(ado);
        TShellState state;
        state.BDELoaded = true;
        state.Settings.AlwaysTryADO = ado;
        OpenDatabase(state, table, reports, TTableEngines::Default(), 866);
        ASSERT_TRUE(state.CurrentDataSet && state.CurrentDataSet->Active());
        state.CurrentDataSet->First();
        EXPECT_EQ(state.CurrentDataSet->Fields(0).AsString(), "Жук");
        // Opening the same file again with the table's own code page.
        OpenDatabase(state, table, reports);
        state.CurrentDataSet->First();
        EXPECT_EQ(state.CurrentDataSet->Fields(0).AsString(), "†гЄ");
        state.CloseCurrentDataSet();
    }
    EXPECT_TRUE(reports.Shown.empty());
    fs::remove_all(dir);
}

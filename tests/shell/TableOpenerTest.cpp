// Opening a table as the window and the command line do: which dataset and
// which name are current after each open, each failure, each engine change.
#include "shell/TableOpener.h"
#include "data/base/DatabaseError.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/engines/ADOTable.h"
#include "data/engines/Table.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
struct TReports : TOpenReporter {
    std::vector<std::string> Shown;
    void ShowOpenError(const std::string& message) override { Shown.push_back(message); }
};

// A TTable whose opens fail on demand, with the message of the engine's.
class TFlakyTable : public TTable {
public:
    std::string Failure;

protected:
    void InternalOpen() override {
        if (!Failure.empty()) throw EDatabaseError(Failure);
        TTable::InternalOpen();
    }
};

class TFlakyADOTable : public TADOTable {
public:
    std::string Failure;

protected:
    void InternalOpen() override {
        if (!Failure.empty()) throw EDatabaseError(Failure);
        TADOTable::InternalOpen();
    }
};

// The two engines, with failures to put into the next datasets they make.
struct TFlakyEngines : TTableEngines {
    std::string TableFailure, ADOFailure;
    TFlakyTable* LastTable = nullptr;
    int Made = 0;
    std::unique_ptr<TDataSet> CreateTable(const std::string& dir,
                                          const std::string& name) override {
        auto t = std::make_unique<TFlakyTable>();
        t->SetDatabaseName(dir);
        t->SetTableName(name);
        t->Failure = TableFailure;
        LastTable = t.get();
        ++Made;
        return t;
    }
    std::unique_ptr<TDataSet> CreateADOTable(const std::string& name,
                                             const std::string& connection) override {
        auto t = std::make_unique<TFlakyADOTable>();
        t->SetTableName(name);
        t->SetConnectionString(connection);
        t->Failure = ADOFailure;
        ++Made;
        return t;
    }
};

class TOpenFixture : public ::testing::Test {
protected:
    TTempFolder Folder{"tabulon-open"};
    const fs::path Dir = Folder.Path();
    TShellState State;
    TReports Reports;
    TFlakyEngines Engines;

    void SetUp() override {
        Write("one.dbf", 1);
        Write("two.dbf", 2);
        std::ofstream((Dir / "broken.dbf").string()) << "not a table at all";
        State.BDELoaded = true;
    }
    void TearDown() override { State.CloseCurrentDataSet(); }
    void Write(const char* name, int records) {
        std::vector<std::vector<TValue>> rows;
        for (int i = 0; i < records; ++i)
            rows.push_back({TValue::OfInt(i + 1)});
        TDbfWriter::Write(P(name), dvDBase3, {{"N", 'N', 4, 0}}, rows, 1252);
    }
    std::string P(const char* name) const { return (Dir / name).string(); }
    void Open(const char* name, bool ado) {
        State.Settings.AlwaysTryADO = ado;
        OpenDatabase(State, P(name), Reports, Engines);
    }
    std::string OpenError(const char* name, bool ado) {
        try {
            Open(name, ado);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(no error)";
    }
    // The current table: its file, engine and size, or what stands instead.
    std::string Current() const {
        const TDataSet* ds = State.CurrentDataSet.get();
        std::string s = fs::path(State.CurrentFileName).filename().string() + " ";
        if (!ds) return s + "none";
        s += ds->ClassName();
        s += ds->Active() ? " " + std::to_string(ds->RecordCount()) : " closed";
        EXPECT_EQ(State.DataSource1.DataSet(), ds) << "the grid shows the current dataset";
        return s;
    }
};
} // namespace

TEST_F(TOpenFixture, TheSameFileOpensAgainInPlaceUnlessTheEngineChanges) {
    Open("one.dbf", false);
    EXPECT_EQ(Current(), "one.dbf TTable 1");
    EXPECT_EQ(State.EngineStatus, "Connected via BDE");
    const TDataSet* first = State.CurrentDataSet.get();
    Write("one.dbf", 3);
    Open("one.dbf", false);
    EXPECT_EQ(State.CurrentDataSet.get(), first) << "no new dataset";
    EXPECT_EQ(Current(), "one.dbf TTable 3") << "read again";
    Open("one.dbf", true);
    EXPECT_EQ(Current(), "one.dbf TADOTable 3");
    EXPECT_EQ(State.EngineStatus, "Connected via ADO");
    const TDataSet* ado = State.CurrentDataSet.get();
    Open("one.dbf", true);
    EXPECT_EQ(State.CurrentDataSet.get(), ado);
    Open("one.dbf", false);
    EXPECT_EQ(Current(), "one.dbf TTable 3");
    Open("two.dbf", false);
    EXPECT_EQ(Current(), "two.dbf TTable 2");
    EXPECT_EQ(Engines.Made, 4) << "one for each engine change and each other file";
    EXPECT_TRUE(Reports.Shown.empty());
}

TEST_F(TOpenFixture, AFailedConnectionStringOpenLeavesNoTable) {
    for (bool before : {false, true}) {
        SCOPED_TRACE(before ? "after an ADO table" : "after a BDE table");
        Open("one.dbf", before);
        std::string error = OpenError("broken.dbf", true);
        EXPECT_NE(error.find("broken.dbf"), std::string::npos) << error;
        EXPECT_EQ(Current(), " none") << "neither the failed table nor the name of the one before";
        EXPECT_EQ(State.DataSource1.DataSet(), nullptr);
        EXPECT_EQ(State.EngineStatus, "");
        // Opening the table of before opens that table, through either engine.
        Open("one.dbf", before);
        EXPECT_EQ(Current(), before ? "one.dbf TADOTable 1" : "one.dbf TTable 1");
        Open("one.dbf", !before);
        EXPECT_EQ(Current(), before ? "one.dbf TTable 1" : "one.dbf TADOTable 1");
    }
    // A connection that cannot be made fails the same way.
    Open("one.dbf", true);
    State.Settings.AlwaysTryADO = true;
    EXPECT_THROW(OpenDatabase(State, (Dir / "gone" / "t.dbf").string(), Reports, Engines),
                 EDatabaseError);
    EXPECT_EQ(Current(), " none");
    EXPECT_TRUE(Reports.Shown.empty());
}

TEST_F(TOpenFixture, AFailedIndexEngineOpenIsShownAndKeepsTheClosedTable) {
    Open("two.dbf", true);
    Open("broken.dbf", false);
    ASSERT_EQ(Reports.Shown.size(), 1u);
    EXPECT_NE(Reports.Shown[0].find("broken.dbf"), std::string::npos) << Reports.Shown[0];
    EXPECT_EQ(Current(), "broken.dbf TTable closed");
    EXPECT_EQ(State.EngineStatus, "");
    // Again with the same engine: the closed table opens again and raises.
    const TDataSet* failed = State.CurrentDataSet.get();
    EXPECT_THROW(Open("broken.dbf", false), EDatabaseError);
    EXPECT_EQ(State.CurrentDataSet.get(), failed);
    EXPECT_EQ(Current(), "broken.dbf TTable closed");
    EXPECT_EQ(Reports.Shown.size(), 1u);
    // With the other engine it goes through that one, which raises.
    EXPECT_THROW(Open("broken.dbf", true), EDatabaseError);
    EXPECT_EQ(Current(), " none");
    // The same file mended opens.
    fs::copy_file(P("two.dbf"), P("broken.dbf"), fs::copy_options::overwrite_existing);
    Open("broken.dbf", false);
    EXPECT_EQ(Current(), "broken.dbf TTable 2");
}

TEST_F(TOpenFixture, AFailedReopenKeepsTheClosedTableUnderItsName) {
    Open("one.dbf", false);
    ASSERT_NE(Engines.LastTable, nullptr);
    Engines.LastTable->Failure = "The disk went away";
    try {
        Open("one.dbf", false);
        ADD_FAILURE() << "the reopen did not fail";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "The disk went away");
    }
    EXPECT_EQ(Current(), "one.dbf TTable closed");
    EXPECT_EQ(State.EngineStatus, "") << "not connected while closed";
    Engines.LastTable->Failure.clear();
    Open("one.dbf", false);
    EXPECT_EQ(Current(), "one.dbf TTable 1");
    EXPECT_EQ(State.EngineStatus, "Connected via BDE");
    EXPECT_EQ(Engines.Made, 1);
}

TEST_F(TOpenFixture, AnEngineThatCannotStartFallsBackToTheConnectionString) {
    Open("two.dbf", false);
    Engines.TableFailure = "The table engine could not be initialized";
    Open("one.dbf", false);
    EXPECT_EQ(Current(), "one.dbf TADOTable 1");
    EXPECT_EQ(State.EngineStatus, "Connected via ADO");
    EXPECT_TRUE(Reports.Shown.empty()) << "silently";
    // The message must say so in its own letter case.
    Engines.TableFailure = "INITIALIZE failed";
    Open("two.dbf", false);
    EXPECT_EQ(Current(), "two.dbf TTable closed");
    EXPECT_EQ(Reports.Shown.size(), 1u);

    // When the fallback fails too, no table stays.
    Engines.TableFailure.clear();
    Open("two.dbf", true);
    EXPECT_EQ(Current(), "two.dbf TADOTable 2");
    Engines.TableFailure = "The table engine could not be initialized";
    Engines.ADOFailure = "No driver either";
    EXPECT_EQ(OpenError("one.dbf", false), "No driver either");
    EXPECT_EQ(Current(), " none");
    EXPECT_EQ(State.EngineStatus, "");
    Engines.TableFailure.clear();
    Engines.ADOFailure.clear();
    Open("two.dbf", false);
    EXPECT_EQ(Current(), "two.dbf TTable 2");
}

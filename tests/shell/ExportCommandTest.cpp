#include "data/MemTable.h"
#include "shell/ExportCommand.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {
struct TRecordingProgress : TProgress {
    std::vector<std::string> Texts;
    int Pumps = 0;
    void Progress(const std::string& t) override { Texts.push_back(t); }
    void ProcessMessages() override { ++Pumps; }
};

struct TExportFixture : ::testing::Test {
    TShellState State;
    TMemTable* Table = nullptr;
    TRecordingProgress Progress;
    std::filesystem::path Out = std::filesystem::temp_directory_path() / "tabulon-run-export.txt";

    void SetUp() override {
        auto t = std::make_unique<TMemTable>();
        t->FieldDefs().Add("ID", ftInteger);
        t->FieldDefs().Add("Name", ftString, 10);
        t->Open();
        for (int i = 1; i <= 250; ++i)
            t->AppendRecord({TValue::OfInt(i), TValue::OfText(std::string("n").append(std::to_string(i)))});
        t->First();
        Table = t.get();
        State.CurrentDataSet = std::move(t);
        State.DataSource1.SetDataSet(Table);
        State.SetProgress(&Progress);
        State.CurrentFileName = "/data/people.dbf";
    }
    void TearDown() override { std::filesystem::remove(Out); }
    std::string Document() {
        std::ifstream in(Out, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
};
} // namespace

TEST_F(TExportFixture, ProgressEveryHundredRecordsThenCleared) {
    EXPECT_EQ(RunExport(State, Out.string()), 250);
    EXPECT_EQ(Progress.Texts, (std::vector<std::string>{"100 records copied", "200 records copied", ""}));
    EXPECT_EQ(Progress.Pumps, 2);
    EXPECT_EQ(ExportProgressText(99), "");
}

TEST_F(TExportFixture, RangesOfTheSettings) {
    State.Settings.RangeType = 2; // the selected record only
    Table->SetRecNo(7);
    EXPECT_EQ(RunExport(State, Out.string()), 1);
    EXPECT_EQ(Document(), "ID\tName\r\n7\tn7\r\n");
    EXPECT_EQ(Table->RecNo(), 7) << "the current record stays";

    State.Settings.RangeType = 3; // from the current record to the last
    Table->SetRecNo(249);
    EXPECT_EQ(RunExport(State, Out.string()), 2);

    State.Settings.RangeType = 1; // the selected column only
    State.Grid().SetSelectedIndex(1);
    State.Settings.IncludeColNames = false;
    State.Settings.RecsPerLine = 125;
    EXPECT_EQ(RunExport(State, Out.string()), 250);
    std::string doc = Document();
    EXPECT_EQ(doc.substr(0, 9), "n1\tn2\tn3\t");
    EXPECT_EQ(std::count(doc.begin(), doc.end(), '\n'), 2) << "two lines of 125 records";
}

// The selected column is the one exported, also when another field has its
// field name.
TEST_F(TExportFixture, SelectedColumnOfAFieldNameTwoFieldsShare) {
    auto t = std::make_unique<TMemTable>();
    t->FieldDefs().Add("Name", ftString, 10);
    t->FieldDefs().Add("Name", ftString, 10);
    t->Open();
    t->AppendRecord({TValue::OfText("first"), TValue::OfText("second")});
    t->First();
    State.CloseCurrentDataSet();
    State.CurrentDataSet = std::move(t);
    State.DataSource1.SetDataSet(State.CurrentDataSet.get());
    State.Settings.RangeType = 1;
    State.Grid().SetSelectedIndex(1);
    EXPECT_EQ(RunExport(State, Out.string()), 1);
    EXPECT_EQ(Document(), "Name\r\nsecond\r\n");
}

TEST_F(TExportFixture, SeparatorIsItsFirstCharacter) {
    State.Settings.Separator = ";,";
    State.Settings.RangeType = 2;
    RunExport(State, Out.string());
    EXPECT_EQ(Document(), "ID;Name\r\n1;n1\r\n");
    State.Settings.Separator.clear();
    RunExport(State, Out.string());
    EXPECT_EQ(Document(), "ID\tName\r\n1\tn1\r\n") << "an empty separator falls back to a tab";
}

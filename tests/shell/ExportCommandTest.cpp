#include "shell/ExportCommand.h"
#include "data/base/DatabaseError.h"
#include "data/dataset/MemTable.h"
#include "export/KXExport2Text.h"
#include "export/KXExport2XLSX.h"
#include "shell/ExportFormat.h"
#include "tests/support/TempFolder.h"
#include "tests/support/XlsxPackage.h"

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
    // A folder of its own: ctest -j runs the cases of this file side by side.
    TTempFolder Dir{"tabulon-run-export"};
    std::filesystem::path Out = Dir / "run-export.txt";

    void SetUp() override {
        auto t = std::make_unique<TMemTable>();
        t->FieldDefs().Add("ID", ftInteger);
        t->FieldDefs().Add("Name", ftString, 10);
        t->Open();
        for (int i = 1; i <= 250; ++i)
            t->AppendRecord(
                {TValue::OfInt(i), TValue::OfText(std::string("n").append(std::to_string(i)))});
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
    EXPECT_EQ(Progress.Texts,
              (std::vector<std::string>{"100 records copied", "200 records copied", ""}));
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

TEST_F(TExportFixture, XlsxWorkbookNamedAfterTheTable) {
    State.Settings.FormatType = fmtXLSX;
    const std::filesystem::path out = Dir / "run-export.xlsx";
    EXPECT_EQ(RunExport(State, out.string()), 250);
    xlsx::TPackage p(out.string());
    std::filesystem::remove(out);
    EXPECT_EQ(p.SheetNames(), std::vector<std::string>{"people"});
    auto cells = p.Cells(1);
    EXPECT_EQ(cells["A251"].Value, "250");
    EXPECT_EQ(cells["B251"].Value, "n250");

    // A workbook is no text for the clipboard: a clear error, nothing placed.
    TMemoryClipboard clipboard;
    SetClipboard(&clipboard);
    State.Settings.ActionType = actClipboard;
    EXPECT_THROW(RunExport(State, ""), EDatabaseError);
    SetClipboard(nullptr);
    EXPECT_EQ(clipboard.OpenCount(), 0);
    EXPECT_EQ(Progress.Texts.back(), "") << "the progress is cleared after the error too";
}

TEST(ExportFormats, ItemsFiltersAndExtensions) {
    const std::vector<TExportFormat>& formats = ExportFormats();
    ASSERT_EQ(formats.size(), 6u);
    const char* items[] = {"Text", "HTML", "XML", "RTF", "XLS", "XLSX"};
    const char* extensions[] = {"txt", "htm", "xml", "rtf", "xls", "xlsx"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(formats[static_cast<size_t>(i)].Type, i) << "the index is the FormatType";
        EXPECT_STREQ(formats[static_cast<size_t>(i)].Item, items[i]);
        EXPECT_STREQ(formats[static_cast<size_t>(i)].Extension, extensions[i]);
        const std::string filter = formats[static_cast<size_t>(i)].Filter;
        const std::string tail = std::string("|*.") + extensions[i];
        ASSERT_GT(filter.size(), tail.size());
        EXPECT_EQ(filter.substr(filter.size() - tail.size()), tail) << filter;
    }
    EXPECT_STREQ(ExportFormatOf(fmtXLSX).Filter, "XLSX workbooks (*.xlsx)|*.xlsx");
    EXPECT_STREQ(ExportFormatOf(fmtXLS).Filter, "XLS documents (*.xls)|*.xls");
    EXPECT_STREQ(ExportFormatOf(9).Item, "Text") << "a value that names no format is Text";
    EXPECT_STREQ(ExportFormatOf(-1).Extension, "txt");
    EXPECT_NE(dynamic_cast<TKXExport2XLSX*>(CreateExportWriter(fmtXLSX).get()), nullptr);
    EXPECT_NE(dynamic_cast<TKXExport2Text*>(CreateExportWriter(6).get()), nullptr);
}

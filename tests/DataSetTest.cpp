#include "data/base/DatabaseError.h"
#include "data/dataset/DataSource.h"
#include "tests/support/EngineTestDriver.h"
#include "tests/support/TestTables.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
std::vector<int> Ids(TDataSet& t) {
    std::vector<int> ids;
    for (t.First(); !t.Eof(); t.Next())
        ids.push_back(t.FieldByName("ID").AsInteger());
    return ids;
}

// Records what a view hears from its data source.
class TRecordingLink : public TDataLink {
public:
    std::vector<std::string> Events;

protected:
    void ActiveChanged() override { Events.push_back(Active() ? "active" : "inactive"); }
    void DataSetChanged() override { Events.push_back("changed"); }
    void DataSetScrolled(int d) override { Events.push_back("scroll " + std::to_string(d)); }
    void RecordChanged(TField* f) override {
        Events.push_back("record " + (f ? f->FieldName() : ""));
    }
    void EditingChanged() override { Events.push_back("editing"); }
};
} // namespace

TEST(DataSetCursor, WalksForwardAndBackWithBofEof) {
    TMemTable t;
    MakeNumberedTable(t, 3);
    EXPECT_TRUE(t.Bof());
    EXPECT_FALSE(t.Eof());
    EXPECT_EQ(Ids(t), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.RecNo(), 3);
    std::vector<int> back;
    for (t.Last(); !t.Bof(); t.Prior())
        back.push_back(t.FieldByName("ID").AsInteger());
    EXPECT_EQ(back, (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(t.MoveBy(10), 2);
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.MoveBy(-1), -1);
    EXPECT_EQ(t.RecNo(), 2);
    t.SetRecNo(1);
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 1);
}

TEST(DataSetCursor, EmptyTableIsBofAndEof) {
    TMemTable t;
    MakeNumberedTable(t, 0);
    EXPECT_TRUE(t.Bof());
    EXPECT_TRUE(t.Eof());
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_EQ(t.RecordCount(), 0);
    EXPECT_EQ(t.RecNo(), 0);
    EXPECT_TRUE(t.FieldByName("ID").IsNull());
    EXPECT_EQ(t.Bookmark(), "");
    EXPECT_THROW(t.Delete(), EDatabaseError);
}

TEST(DataSetCursor, ClosedDataSetRefusesWork) {
    TMemTable t;
    MakeNumberedTable(t, 2);
    t.Close();
    EXPECT_FALSE(t.Active());
    EXPECT_THROW(t.RecordCount(), EDatabaseError);
    EXPECT_EQ(t.FieldCount(), 0);
    EXPECT_THROW(t.FieldByName("ID"), EDatabaseError);
}

TEST(DataSetBookmarks, StayValidAcrossInsertsAndDeletesOfOtherRecords) {
    TMemTable t;
    MakeNumberedTable(t, 5);
    t.SetRecNo(4);
    std::string four = t.Bookmark();
    t.SetRecNo(2);
    std::string two = t.Bookmark();
    EXPECT_LT(t.CompareBookmarks(two, four), 0);

    t.First();
    t.Insert();
    t.FieldByName("ID").SetAsInteger(100);
    t.Post();
    EXPECT_EQ(Ids(t), (std::vector<int>{100, 1, 2, 3, 4, 5}));

    t.SetBookmark(two);
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 2);
    t.Delete();
    EXPECT_FALSE(t.BookmarkValid(two));
    EXPECT_THROW(t.SetBookmark(two), EDatabaseError);
    ASSERT_TRUE(t.BookmarkValid(four));
    t.SetBookmark(four);
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 4);
    EXPECT_EQ(t.RecNo(), 4);
    EXPECT_FALSE(t.BookmarkValid("garbage"));
    EXPECT_FALSE(t.BookmarkValid(""));
}

TEST(DataSetEditing, PostCancelAndDelete) {
    TMemTable t;
    MakeNumberedTable(t, 3);
    t.SetRecNo(2);
    t.Edit();
    EXPECT_EQ(t.State(), dsEdit);
    t.FieldByName("Name").SetAsString("changed");
    EXPECT_EQ(t.FieldByName("Name").AsString(), "changed");
    t.Cancel();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "N2");

    t.Edit();
    t.FieldByName("Name").SetAsString("kept");
    t.Next(); // moving posts the pending edit
    EXPECT_EQ(t.State(), dsBrowse);
    t.Prior();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "kept");

    t.Append();
    EXPECT_EQ(t.RecNo(), -1);
    t.FieldByName("ID").SetAsString("9");
    t.Post();
    EXPECT_EQ(Ids(t), (std::vector<int>{1, 2, 3, 9}));
    t.SetRecNo(1);
    t.Delete();
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 2);
    EXPECT_EQ(t.RecordCount(), 3);
}

TEST(DataSetEditing, RequiredReadOnlyAndBadValuesLeaveTheRecord) {
    TMemTable t;
    MakeNumberedTable(t, 1);
    t.Insert();
    t.FieldByName("Name").SetAsString("no id");
    EXPECT_THROW(t.Post(), EDatabaseError); // ID is required
    EXPECT_EQ(t.State(), dsInsert);
    t.Cancel();
    EXPECT_EQ(t.RecordCount(), 1);

    t.Edit();
    EXPECT_THROW(t.FieldByName("ID").SetAsString("abc"), std::exception);
    EXPECT_THROW(t.FieldByName("ID").SetAsString("99999999999"), EDatabaseError);
    t.Cancel();
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 1);

    t.FieldByName("ID").SetReadOnly(true);
    t.Edit();
    EXPECT_THROW(t.FieldByName("ID").SetAsInteger(5), EDatabaseError);
    t.Cancel();

    EXPECT_THROW(t.FieldByName("Name").SetAsString("x"), EDatabaseError); // not editing
    t.SetReadOnly(true);
    EXPECT_FALSE(t.CanModify());
    EXPECT_THROW(t.Edit(), EDatabaseError);
    EXPECT_THROW(t.Insert(), EDatabaseError);
    EXPECT_THROW(t.Delete(), EDatabaseError);
}

TEST(DataSetEditing, AppendRecordRejectsValueOfWrongKindWithoutTrace) {
    TMemTable t;
    MakeNumberedTable(t, 1);
    EXPECT_THROW(t.AppendRecord({TValue::OfInt(2), TValue::OfBool(true)}), EDatabaseError);
    EXPECT_THROW(t.AppendRecord({TValue::OfText("x")}), EDatabaseError);
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.PhysicalCount(), 1u);
}

TEST(DataSetOrder, FilterSortAndLocate) {
    TMemTable t;
    MakeNameCityTable(t, {{"Ann", "Rome"}, {"bob", "Oslo"}, {"Cid", "Lima"}, {"Bea", "Oslo"}});
    t.FieldDefs(); // structure stays readable while open
    t.OnFilterRecord = [](TDataSet& ds, bool& accept) {
        accept = ds.FieldByName("City").AsString() == "Oslo";
    };
    t.SetFiltered(true);
    EXPECT_EQ(t.RecordCount(), 2);
    t.First();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "bob");
    t.SetFiltered(false);
    EXPECT_EQ(t.RecordCount(), 4);

    t.SetSort("Name DESC");
    std::vector<std::string> names;
    for (t.First(); !t.Eof(); t.Next())
        names.push_back(t.FieldByName("Name").AsString());
    EXPECT_EQ(names, (std::vector<std::string>{"bob", "Cid", "Bea", "Ann"}));
    EXPECT_THROW(t.SetSort("Nope"), EDatabaseError);

    t.SetSort("");
    t.Last();
    EXPECT_TRUE(t.Locate("Name", {"BO"}, loCaseInsensitive | loPartialKey));
    EXPECT_EQ(t.FieldByName("Name").AsString(), "bob");
    EXPECT_FALSE(t.Locate("Name", {"BO"}, loPartialKey));
    EXPECT_EQ(t.FieldByName("Name").AsString(), "bob"); // cursor stays
    EXPECT_TRUE(t.Locate("City;Name", {"Oslo", "Bea"}, 0));
    EXPECT_EQ(t.RecNo(), 4);
    EXPECT_THROW(t.Locate("Nope", {"x"}, 0), EDatabaseError);
    t.SetFiltered(true);
    EXPECT_THROW(t.SetFilter("Name = 'x'"), EDatabaseError) << "no filter syntax in memory";
    EXPECT_EQ(t.Filter(), "") << "a rejected filter is not kept";
    t.SetFiltered(false);
}

// Both engines search, sort and follow case-blind indexes by Unicode case
// folds, not by ASCII letters only.
TEST(DataSetOrder, CaseBlindLocateSortAndIndexesInEveryAlphabet) {
    auto d = std::make_shared<TTestTableData>();
    d->Fields.Add("Name", ftString, 20);
    d->Indexes.Add("UNAME", "Name", ixCaseInsensitive);
    for (const char* n : {"Яна", "Иван", "Straße", "ΣΟΦΊΑ", "Ärger", "bad\xFFX", "анна", "anna"})
        d->Add({TValue::OfText(n)});
    TTestTable table(d);
    TTestADOTable ado(d);
    table.Open();
    ado.Open();
    for (TDataSet* t : {static_cast<TDataSet*>(&table), static_cast<TDataSet*>(&ado)}) {
        auto found = [&](const std::string& value, unsigned options) {
            return t->Locate("Name", {value}, options) ? t->FieldByName("Name").AsString()
                                                       : std::string("(none)");
        };
        const unsigned ci = loCaseInsensitive, partial = loPartialKey;
        EXPECT_EQ(found("иван", ci), "Иван");
        EXPECT_EQ(found("иван", 0), "(none)");
        EXPECT_EQ(found("ИВ", ci | partial), "Иван");
        EXPECT_EQ(found("Ив", partial), "Иван");
        EXPECT_EQ(found("ив", partial), "(none)");
        EXPECT_EQ(found("STRASSE", ci), "Straße");
        EXPECT_EQ(found("stras", ci | partial), "Straße") << "a start of the folded strasse";
        EXPECT_EQ(found("straßen", ci | partial), "(none)");
        EXPECT_EQ(found("σοφία", ci), "ΣΟΦΊΑ");
        EXPECT_EQ(found("äRG", ci | partial), "Ärger");
        EXPECT_EQ(found("BAD\xFFx", ci), "bad\xFFX");
        EXPECT_EQ(found("BAD\xFE", ci | partial), "(none)");
    }
    const std::vector<std::string> folded = {"anna",  "bad\xFFX", "Straße", "Ärger",
                                             "ΣΟΦΊΑ", "анна",     "Иван",   "Яна"};
    auto names = [](TDataSet& t) {
        std::vector<std::string> v;
        for (t.First(); !t.Eof(); t.Next())
            v.push_back(t.FieldByName("Name").AsString());
        return v;
    };
    ado.SetSort("Name");
    EXPECT_EQ(names(ado), folded);
    ado.SetSort("Name DESC");
    EXPECT_EQ(names(ado), std::vector<std::string>(folded.rbegin(), folded.rend()));
    table.SetIndexName("UNAME");
    EXPECT_EQ(names(table), folded);
}

TEST(DataSetOrder, CurrentRecordSurvivesReordering) {
    TMemTable t;
    MakeNumberedTable(t, 5);
    t.SetRecNo(2);
    t.SetSort("ID DESC");
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 2);
    EXPECT_EQ(t.RecNo(), 4);
}

TEST(DataSetNotifications, DisableControlsNestsAndReportsWhatWasMissed) {
    TMemTable t;
    MakeNumberedTable(t, 3);
    TDataSource src(&t);
    TRecordingLink link;
    link.SetDataSource(&src);
    ASSERT_EQ(link.Events, (std::vector<std::string>{"active"}));
    link.Events.clear();

    t.Next();
    EXPECT_EQ(link.Events, (std::vector<std::string>{"scroll 1"}));
    link.Events.clear();

    t.DisableControls();
    t.DisableControls();
    t.Next();
    t.EnableControls();
    EXPECT_TRUE(t.ControlsDisabled());
    EXPECT_TRUE(link.Events.empty());
    t.EnableControls();
    EXPECT_FALSE(t.ControlsDisabled());
    EXPECT_EQ(link.Events, (std::vector<std::string>{"changed"}));
    link.Events.clear();

    t.DisableControls();
    t.EnableControls();
    EXPECT_TRUE(link.Events.empty()) << "nothing missed, nothing told";

    t.Edit();
    t.FieldByName("Name").SetAsString("x");
    EXPECT_EQ(link.Events, (std::vector<std::string>{"editing", "record Name"}));
    link.Events.clear();
    t.Close();
    EXPECT_EQ(link.Events.back(), "inactive");
}

// A view reads BOF and EOF when it hears of a move (the navigator enables
// its buttons by them): they are set by then, also when a move hits an end.
TEST(DataSetNotifications, MovesAreToldWithTheirBofAndEof) {
    class TEdgeLink : public TDataLink {
    public:
        std::vector<std::string> Heard;

    protected:
        void DataSetScrolled(int d) override {
            const TDataSet* ds = DataSet();
            if (!ds) return;
            Heard.push_back(std::to_string(d) + (ds->Bof() ? " bof" : "") +
                            (ds->Eof() ? " eof" : ""));
        }
    };
    TMemTable t;
    MakeNumberedTable(t, 3);
    TDataSource src(&t);
    TEdgeLink link;
    link.SetDataSource(&src);
    t.Next();
    t.Next();
    t.Next(); // past the last record: no move, but EOF
    t.Next(); // nothing new
    t.First();
    t.Prior(); // already at BOF
    t.Last();
    t.Prior();
    t.MoveBy(-5);
    t.MoveBy(-1);
    t.SetRecNo(2);
    EXPECT_EQ(link.Heard, (std::vector<std::string>{"1", "1", "0 eof", "-2 bof", "2 eof", "-1",
                                                    "-1 bof", "1"}));
    t.Last();
    t.Locate("ID", {"1"}, 0);
    EXPECT_EQ(link.Heard.back(), "-2");
}

TEST(DataSetNotifications, DataSourceOutlivingDataSetLetsGo) {
    TDataSource src;
    TRecordingLink link;
    link.SetDataSource(&src);
    {
        TMemTable t;
        MakeNumberedTable(t, 1);
        src.SetDataSet(&t);
        EXPECT_TRUE(link.Active());
    }
    EXPECT_EQ(src.DataSet(), nullptr);
    EXPECT_FALSE(link.Active());
}

TEST(DataSetEvents, AfterOpenAndAfterClose) {
    TMemTable t;
    int opened = 0, closed = 0;
    t.AfterOpen = [&](TDataSet&) { ++opened; };
    t.AfterClose = [&](TDataSet&) { ++closed; };
    MakeNumberedTable(t, 1);
    t.Close();
    t.Close();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closed, 1);
}

TEST(DataSetViews, ReadRecordsByTheirPlaceWithoutMovingTheCursor) {
    TMemTable t;
    MakeNumberedTable(t, 5);
    t.SetSort("ID DESC");
    t.SetRecNo(2);
    TDataSource source(&t);
    TRecordingLink link;
    link.SetDataSource(&source);
    link.Events.clear();
    t.SetDisplayRecNo(5);
    EXPECT_EQ(t.DisplayRecNo(), 5);
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 1);
    EXPECT_EQ(t.RecNo(), 2);
    EXPECT_TRUE(link.Events.empty());
    const std::string fifth = t.BookmarkAt(5);
    t.Last();
    EXPECT_EQ(fifth, t.Bookmark());
    t.SetRecNo(2);
    t.SetDisplayRecNo(0);
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 4);
    // Outside the order: the current record again.
    t.SetDisplayRecNo(6);
    EXPECT_EQ(t.DisplayRecNo(), 0);
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 4);
    EXPECT_EQ(t.BookmarkAt(0), std::string());
    EXPECT_EQ(t.BookmarkAt(6), std::string());
    // While editing, the current record's place still shows the stored
    // values; place 0 shows the edit buffer.
    t.Edit();
    t.FieldByName("Name").SetAsString("edited");
    t.SetDisplayRecNo(2);
    EXPECT_EQ(t.FieldByName("Name").AsString(), "N4");
    t.SetDisplayRecNo(0);
    EXPECT_EQ(t.FieldByName("Name").AsString(), "edited");
    t.Cancel();
    // Closing forgets the place.
    t.SetDisplayRecNo(3);
    t.Close();
    t.Open();
    EXPECT_EQ(t.DisplayRecNo(), 0);
}

TEST(DataSetViews, TellWhereAnInsertedRecordStands) {
    TMemTable t;
    MakeNumberedTable(t, 4);
    EXPECT_EQ(t.InsertRecNo(), 0);
    t.SetRecNo(3);
    t.Insert();
    EXPECT_EQ(t.InsertRecNo(), 3);
    t.Cancel();
    t.Append();
    EXPECT_EQ(t.InsertRecNo(), 5);
    t.Cancel();
}

// A view holding an unwritten text, as a grid's editor does.
class TEditorLink : public TDataLink {
public:
    std::string Pending;
    int Asked = 0;

protected:
    void UpdateData() override {
        ++Asked;
        if (!Pending.empty()) DataSet()->FieldByName("Name").SetAsString(Pending);
        Pending.clear();
    }
};

TEST(DataSetViews, APostTakesWhatTheViewsHoldFirst) {
    TMemTable t;
    MakeNumberedTable(t, 2);
    TDataSource source(&t);
    TEditorLink view;
    view.SetDataSource(&source);
    t.Edit();
    view.Pending = "typed";
    t.DisableControls(); // the views still hand over what they hold
    t.Post();
    t.EnableControls();
    EXPECT_EQ(view.Asked, 1);
    EXPECT_EQ(t.FieldByName("Name").AsString(), "typed");
    // A view that fails stops the post; the record stays in edit.
    t.Edit();
    t.FieldByName("ID").SetAsInteger(7);
    view.Pending = "x";
    EXPECT_THROW(
        {
            struct TFailing : TDataLink {
                void UpdateData() override { throw EDatabaseError("not a number"); }
            } bad;
            bad.SetDataSource(&source);
            t.Post();
        },
        EDatabaseError);
    EXPECT_EQ(t.State(), dsEdit);
    t.Cancel();
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 1);
    EXPECT_THROW(t.UpdateRecord(), EDatabaseError); // not editing
}

TEST(DataSetViews, ASourceGivenAnotherOpenDataSetTellsItsViews) {
    TMemTable a, b;
    MakeNumberedTable(a, 2);
    MakeNumberedTable(b, 3);
    TDataSource source(&a);
    TRecordingLink link;
    link.SetDataSource(&source);
    link.Events.clear();
    source.SetDataSet(&b);
    EXPECT_EQ(link.Events, (std::vector<std::string>{"inactive", "active"}));
    EXPECT_EQ(link.DataSet(), &b);
}

namespace {
// Keeps what a long rebuild tells, and what the table shows at each step.
class TStepRecorder : public TProgress {
public:
    explicit TStepRecorder(TMemTable& table) : fTable(table) {}
    std::vector<std::string> Texts;
    int Steps = 0;
    std::vector<int> CountsSeen;
    std::vector<int> FirstIdsSeen;
    void Progress(const std::string& text) override { Texts.push_back(text); }
    void ProcessMessages() override {
        // What a paint reads meanwhile.
        ++Steps;
        CountsSeen.push_back(fTable.RecordCount());
        fTable.SetDisplayRecNo(1);
        FirstIdsSeen.push_back(static_cast<int>(fTable.FieldByName("ID").AsInteger()));
        fTable.SetDisplayRecNo(0);
    }

private:
    TMemTable& fTable;
};
} // namespace

// A sort or filter of many records tells how far it is and lets the window
// paint; what it paints is the order of before until the new one is whole.
TEST(DataSetOrder, LongSortAndFilterTellTheirProgress) {
    TMemTable t;
    MakeNumberedTable(t, 200000);
    TStepRecorder steps(t);
    t.SetProgress(&steps);

    t.SetSort("ID DESC");
    EXPECT_GE(steps.Steps, 3);
    ASSERT_GE(steps.Texts.size(), 3u);
    EXPECT_EQ(steps.Texts.front().rfind("Sorting: ", 0), 0u) << steps.Texts.front();
    EXPECT_EQ(steps.Texts[steps.Texts.size() - 2], "Sorting: 100%");
    EXPECT_EQ(steps.Texts.back(), "") << "cleared at the end";
    for (size_t i = 0; i < steps.CountsSeen.size(); ++i) {
        EXPECT_EQ(steps.CountsSeen[i], 200000);
        EXPECT_EQ(steps.FirstIdsSeen[i], 1) << "the old order while sorting, step " << i;
    }
    t.First();
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 200000);

    TStepRecorder filterSteps(t);
    t.SetProgress(&filterSteps);
    t.OnFilterRecord = [](TDataSet& ds, bool& accept) {
        accept = ds.FieldByName("ID").AsInteger() % 10 == 0;
    };
    t.SetFiltered(true);
    EXPECT_GE(filterSteps.Steps, 3);
    ASSERT_FALSE(filterSteps.Texts.empty());
    EXPECT_EQ(filterSteps.Texts.front().rfind("Filtering: ", 0), 0u) << filterSteps.Texts.front();
    EXPECT_EQ(filterSteps.Texts.back(), "");
    for (size_t i = 0; i < filterSteps.CountsSeen.size(); ++i) {
        EXPECT_EQ(filterSteps.CountsSeen[i], 200000) << "all records shown while filtering";
        EXPECT_EQ(filterSteps.FirstIdsSeen[i], 200000);
    }
    EXPECT_EQ(t.RecordCount(), 20000);
    t.First();
    EXPECT_EQ(t.FieldByName("ID").AsInteger(), 200000);
    t.SetFiltered(false);
    t.SetSort("");
}

TEST(DataSetOrder, ShortSortAndFilterSayNothing) {
    TMemTable t;
    MakeNumberedTable(t, 65535);
    TStepRecorder steps(t);
    t.SetProgress(&steps);
    t.SetSort("ID DESC");
    t.OnFilterRecord = [](TDataSet&, bool& accept) { accept = true; };
    t.SetFiltered(true);
    EXPECT_EQ(steps.Steps, 0);
    EXPECT_TRUE(steps.Texts.empty());
    t.SetProgress(nullptr);
}

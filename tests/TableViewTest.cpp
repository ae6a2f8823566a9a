#include "export/view/BookmarkList.h"
#include "export/view/WindowlessTableView.h"
#include "tests/support/DbfTestSupport.h"
#include "tests/support/TestTables.h"

#include <gtest/gtest.h>

namespace {
struct TKindsFixture : ::testing::Test {
    TMemTable Table;
    TDataSource Source{&Table};
    TWindowlessTableView View;
    TDBGridCellParams Params;

    void SetUp() override {
        Table.FieldDefs().Add("B", ftBoolean);
        Table.FieldDefs().Add("M", ftMemo);
        Table.FieldDefs().Add("G", ftGraphic);
        Table.FieldDefs().Add("O", ftParadoxOle);
        Table.FieldDefs().Add("D", ftDBaseOle);
        Table.FieldDefs().Add("X", ftBlob);
        Table.FieldDefs().Add("S", ftString, 8);
        Table.Open();
        Table.AppendRecord({TValue::OfBool(true), TValue::OfText("m"), TValue::OfBytes("g"),
                            TValue::OfBytes("o"), TValue::OfBytes("d"), TValue::OfBytes("x"),
                            TValue::OfText("s")});
        Table.AppendRecord({TValue::OfBool(false)});
        Table.AppendRecord(std::vector<TValue>{});
        Table.First();
        View.Bind(&Source);
    }
    int Kind(const char* field) {
        Params.ImageKind = 99;
        View.GetCellParams(View.Column(View.FindColumn(field)), Params);
        return Params.ImageKind;
    }
};
} // namespace

TEST_F(TKindsFixture, PictureKindOfEachFieldKind) {
    EXPECT_EQ(Kind("B"), ikTrue);
    EXPECT_EQ(Kind("M"), ikMemo);
    EXPECT_EQ(Kind("G"), ikFieldPicture) << "the main grid draws pictures";
    EXPECT_EQ(Kind("O"), ikOle);
    EXPECT_EQ(Kind("D"), ikOle);
    EXPECT_EQ(Kind("X"), ikBlob);
    EXPECT_EQ(Kind("S"), ikNone);
    View.SetDrawGraphic(false);
    EXPECT_EQ(Kind("G"), ikGraphic);
    View.SetRowHeightLines(2);
    EXPECT_EQ(Kind("G"), ikFieldPicture) << "tall rows show the picture";
    EXPECT_EQ(Kind("M"), ikNone) << "tall rows show memo text";
    Table.Next();
    EXPECT_EQ(Kind("B"), ikFalse);
    View.SetDrawBool(false);
    EXPECT_EQ(Kind("B"), ikNone);
    View.SetDrawBool(true);
    Table.Next(); // every value null
    for (const char* f : {"B", "M", "G", "O", "X", "S"})
        EXPECT_EQ(Kind(f), ikNone) << f;
}

TEST_F(TKindsFixture, HandlerHasTheLastWord) {
    View.OnGetCellParams = [](TTableView&, TColumn& c, TDBGridCellParams& p) {
        if (c.FieldName() == "S") {
            p.Text = "[" + p.Text + "]";
            p.ImageKind = ikBlob;
        }
    };
    Params.Text = "s";
    EXPECT_EQ(Kind("S"), ikBlob);
    EXPECT_EQ(Params.Text, "[s]");
}

TEST_F(TKindsFixture, ColumnWithoutFieldHasNoPicture) {
    TColumn& c = View.AddColumn("missing");
    EXPECT_EQ(c.Field(), nullptr);
    View.GetCellParams(c, Params);
    EXPECT_EQ(Params.ImageKind, ikNone);
    EXPECT_EQ(c.TitleCaption(), "missing");
}

TEST(WindowlessView, FreshTableGetsTheMainGridsLook) {
    TMemTable t;
    t.FieldDefs().Add("Name", ftString, 20);
    t.FieldDefs().Add("Amount", ftFloat);
    t.FieldDefs().Add("Hidden", ftInteger);
    t.Open();
    t.FieldByName("Hidden").SetVisible(false);
    t.FieldByName("Amount").SetDisplayLabel("Sum");
    TDataSource src(&t);
    TWindowlessTableView v(&src);
    EXPECT_TRUE(v.Flat());
    EXPECT_TRUE(v.DrawBool());
    EXPECT_TRUE(v.DrawGraphic());
    EXPECT_TRUE(v.Options() & dgTitles);
    EXPECT_TRUE(v.Options() & dgColLines);
    EXPECT_TRUE(v.Options() & dgRowLines);
    EXPECT_EQ(v.TitleFont().Color, clBlue);
    EXPECT_EQ(v.Font().Name, "MS Sans Serif");
    EXPECT_EQ(v.Font().Size, 8);
    ASSERT_EQ(v.ColumnCount(), 2);
    TColumn& name = v.Column(0);
    TColumn& amount = v.Column(1);
    EXPECT_EQ(amount.TitleCaption(), "Sum");
    EXPECT_EQ(amount.Alignment(), taRightJustify);
    EXPECT_EQ(name.Alignment(), taLeftJustify);
    EXPECT_EQ(name.TitleAlignment(), taLeftJustify);
    EXPECT_EQ(name.Color(), clWindow);
    EXPECT_EQ(name.TitleColor(), clBtnFace);
    EXPECT_EQ(name.Font(), v.Font());
    // 20 digits of 6 pixels, plus 4; a caption wider than the data wins.
    EXPECT_EQ(name.Width(), 20 * 6 + 4);
    t.FieldByName("Amount").SetDisplayWidth(1);
    EXPECT_EQ(amount.Width(), v.Metrics().TextWidth(v.TitleFont(), "Sum") + 4);
    amount.SetWidth(33);
    EXPECT_EQ(amount.Width(), 33);
    amount.RestoreDefaults();
    EXPECT_NE(amount.Width(), 33);
    EXPECT_EQ(v.FindColumn("Name"), 0);
    EXPECT_EQ(v.FindColumn("name"), -1) << "names compare with case";
}

TEST(WindowlessView, NoDataSetNoColumns) {
    TWindowlessTableView v;
    EXPECT_EQ(v.ColumnCount(), 0);
    TMemTable t;
    t.FieldDefs().Add("A", ftString, 5);
    TDataSource src(&t);
    v.Bind(&src);
    EXPECT_EQ(v.ColumnCount(), 0) << "closed dataset";
    t.Open();
    EXPECT_EQ(v.ColumnCount(), 1) << "opening lays out the columns";
    t.Close();
    EXPECT_EQ(v.ColumnCount(), 0);
}

// Fields that share a name (or differ only in letter case, as field names
// are looked up): the default columns show each its own, and a column of
// one's own made for the second finds it again when the table reopens.
TEST(WindowlessView, FieldsOfOneNameEachHaveTheirColumn) {
    TTempFolder dir;
    const std::string path = dir / "twins.dbf";
    TDbfWriter::Write(path, dvDBase3, {{"CODE", 'C', 4}, {"code", 'C', 4}, {"CODE", 'C', 4}},
                      {{TValue::OfText("a"), TValue::OfText("b"), TValue::OfText("c")}});
    dbftest::TDbfTestDataSet t(path);
    t.Open();
    TDataSource src(&t);
    TWindowlessTableView v(&src);
    ASSERT_EQ(v.ColumnCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(v.Column(i).Field(), &t.Fields(i)) << i;

    TTableView own;
    own.SetDataSource(&src);
    own.AddColumn(t.Fields(2)).SetColor(clRed);
    own.AddColumn("CODE");
    own.AddColumn(t.Fields(1));
    const auto shown = [&] {
        std::string s;
        for (int i = 0; i < own.ColumnCount(); ++i)
            s += own.Column(i).Field() ? own.Column(i).Field()->AsString() : "-";
        return s;
    };
    EXPECT_EQ(shown(), "cab");
    t.Close();
    EXPECT_EQ(shown(), "---");
    t.Open();
    EXPECT_EQ(shown(), "cab");
    EXPECT_EQ(own.Column(0).Color(), clRed);
    EXPECT_EQ(own.FindColumn("CODE"), 0) << "a name still finds the first column";
}

TEST(WindowlessView, RestorePositionReturnsToTheSavedRecord) {
    TMemTable t;
    MakeNumberedTable(t, 5);
    TDataSource src(&t);
    TWindowlessTableView v(&src);
    t.SetRecNo(3);
    v.SavePosition();
    t.Last();
    v.RestorePosition();
    EXPECT_EQ(t.RecNo(), 3);
    v.SavePosition();
    t.Delete(); // the saved record is gone
    t.First();
    v.RestorePosition();
    EXPECT_EQ(t.RecNo(), 1);
    t.Last();
    v.RestorePosition(); // forgotten after the first restore
    EXPECT_EQ(t.RecNo(), 4);
}

TEST(BookmarkListTest, KeepsRecordOrderAndIgnoresRepeats) {
    TMemTable t;
    MakeNumberedTable(t, 5);
    TBookmarkList list(&t);
    t.SetRecNo(4);
    list.SetCurrentRowSelected(true);
    t.SetRecNo(2);
    list.SetCurrentRowSelected(true);
    list.SetCurrentRowSelected(true);
    t.SetRecNo(5);
    list.Add(t.Bookmark());
    ASSERT_EQ(list.Count(), 3);
    std::vector<int> ids;
    for (int i = 0; i < list.Count(); ++i) {
        t.SetBookmark(list[i]);
        ids.push_back(t.FieldByName("ID").AsInteger());
    }
    EXPECT_EQ(ids, (std::vector<int>{2, 4, 5}));
    t.SetRecNo(2);
    EXPECT_TRUE(list.CurrentRowSelected());
    list.SetCurrentRowSelected(false);
    EXPECT_EQ(list.Count(), 2);
    list.Add("bogus");
    EXPECT_EQ(list.Count(), 2);
}

TEST(Colors, SystemColorsResolveToTheClassicSchemeWithoutAWindowSystem) {
    EXPECT_EQ(ColorToRGB(clWindow), RGBColor(255, 255, 255));
    EXPECT_EQ(ColorToRGB(clBtnFace), RGBColor(212, 208, 200));
    EXPECT_EQ(ColorToRGB(clHighlight), RGBColor(10, 36, 106));
    EXPECT_EQ(ColorToRGB(clBlue), RGBColor(0, 0, 255));
    EXPECT_EQ(GetBValue(clBlue), 255);
    EXPECT_TRUE(IsSystemColor(clWindowText));
    EXPECT_FALSE(IsSystemColor(clNone));

    struct TDark : TSystemColorResolver {
        bool Resolve(int index, TColor& rgb) const override {
            if (index != 5) return false;
            rgb = RGBColor(1, 2, 3);
            return true;
        }
    } dark;
    SetSystemColorResolver(&dark);
    EXPECT_EQ(ColorToRGB(clWindow), RGBColor(1, 2, 3));
    EXPECT_EQ(ColorToRGB(clBtnFace), RGBColor(212, 208, 200)) << "unknown ones fall back";
    SetSystemColorResolver(nullptr);
    EXPECT_EQ(ColorToRGB(clWindow), RGBColor(255, 255, 255));
}

TEST(TableViewColumns, MoveKeepsDefaultsFollowingTheDataSet) {
    TMemTable t;
    t.FieldDefs().Add("A", ftString, 4);
    t.FieldDefs().Add("B", ftString, 4);
    t.FieldDefs().Add("C", ftString, 4);
    t.Open();
    TDataSource source(&t);
    TWindowlessTableView view(&source);
    view.MoveColumn(0, 2);
    EXPECT_EQ(view.Column(0).FieldName(), "B");
    EXPECT_EQ(view.Column(2).FieldName(), "A");
    EXPECT_EQ(view.FindColumn("A"), 2);
    view.MoveColumn(0, 9); // out of range: nothing
    EXPECT_EQ(view.Column(0).FieldName(), "B");
    t.Close();
    t.Open();
    EXPECT_EQ(view.Column(0).FieldName(), "A");
}

TEST(BookmarkListTest, ContainsTellsMarkedRecords) {
    TMemTable t;
    t.FieldDefs().Add("A", ftInteger);
    t.Open();
    for (int i = 0; i < 5; ++i)
        t.AppendRecord({TValue::OfInt(i)});
    TBookmarkList list(&t);
    EXPECT_FALSE(list.Contains(t.BookmarkAt(2)));
    list.Add(t.BookmarkAt(2));
    list.Add(t.BookmarkAt(4));
    EXPECT_TRUE(list.Contains(t.BookmarkAt(2)));
    EXPECT_TRUE(list.Contains(t.BookmarkAt(4)));
    EXPECT_FALSE(list.Contains(t.BookmarkAt(3)));
    EXPECT_FALSE(TBookmarkList().Contains(t.BookmarkAt(2)));
}

TEST(BookmarkListTest, AddAllMergesInRecordOrder) {
    TMemTable t;
    t.FieldDefs().Add("A", ftInteger);
    t.Open();
    for (int i = 0; i < 100000; ++i)
        t.AppendRecord({TValue::OfInt(i)});
    TBookmarkList list(&t);
    list.Add(t.BookmarkAt(50));
    std::vector<std::string> range;
    for (int r = 100000; r >= 1; --r)
        range.push_back(t.BookmarkAt(r)); // backwards
    range.push_back("bogus");
    list.AddAll(range);
    ASSERT_EQ(list.Count(), 100000);
    for (int i = 0; i < list.Count(); i += 9973)
        EXPECT_EQ(list[i], t.BookmarkAt(i + 1));
    EXPECT_TRUE(list.Contains(t.BookmarkAt(50)));
}

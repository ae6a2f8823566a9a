// Sorting by title clicks: the sort texts of the connection-string engine
// and the index lists of the index-ordered one after every sequence of
// clicks, the markers they show, which titles act as buttons, and the
// press, drag and release rules of a title button.

#include "tests/grid/GridTestSupport.h"

#include "data/drivers/paradox/ParadoxWriter.h"
#include "data/engines/ADOTable.h"
#include "data/engines/Table.h"
#include "grid/SortText.h"
#include "shell/TableOpener.h"

using namespace gridtest;
using namespace widgettest;

namespace {
// A dBase table of four fields and a memo, opened by the connection-string
// engine.
std::unique_ptr<TADOTable> OpenAdo(const QTemporaryDir& dir) {
    const std::string path = PathIn(dir, "people.dbf");
    std::vector<std::vector<TValue>> rows;
    for (int i = 0; i < 12; ++i)
        rows.push_back({TValue::OfText(std::string(1, static_cast<char>('a' + (i * 5) % 12))),
                        TValue::OfText(std::string(1, static_cast<char>('A' + (i * 7) % 12))),
                        TValue::OfInt(i), TValue::OfText("m")});
    TDbfWriter::Write(path, dvDBase3, {{"A", 'C', 4}, {"B", 'C', 4}, {"N", 'N', 4}, {"M", 'M'}},
                      rows);
    auto t = std::make_unique<TADOTable>();
    t->SetConnectionString(BuildADOConnection(".dbf", dir.path().toStdString()));
    t->SetTableName("people.dbf");
    t->Open();
    return t;
}

// A keyed Paradox table (key A;B) with indexes on B;A and on C; D has none.
std::unique_ptr<TTable> OpenParadox(const QTemporaryDir& dir) {
    const std::string path = PathIn(dir, "keyed.db");
    TParadoxWriter w(
        path, {{"A", 'A', 4}, {"B", 'A', 4}, {"C", 'A', 4}, {"D", 'A', 4}, {"M", 'M', 10}}, 2);
    for (int i = 0; i < 10; ++i)
        w.AddRecord({TValue::OfText(std::string(1, static_cast<char>('a' + i / 3))),
                     TValue::OfText(std::string(1, static_cast<char>('q' + i))),
                     TValue::OfText(std::string(1, static_cast<char>('a' + (i * 3) % 10))),
                     TValue::OfText("d"), TValue::OfText("memo")});
    w.AddSecondaryIndex({"B", "A"}, "BA");
    w.AddSecondaryIndex({"C"});
    w.Finish();
    auto t = std::make_unique<TTable>();
    t->SetDatabaseName(dir.path().toStdString());
    t->SetTableName("keyed.db");
    t->Open();
    return t;
}

void ClickTitle(TKXDBGrid& g, const char* field, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    const int col = g.DataToRawColumn(g.FindColumn(field));
    Click(g, CellCenter(g, col, 0), mods);
}

// The markers the titles show now, by field name.
std::map<std::string, TSortMarker> Markers(TKXDBGrid& g) {
    std::map<std::string, TSortMarker> seen;
    g.OnGetBtnParams = [&](TKXDBGrid&, TField* f, TFont&, TColor&, TSortMarker& m, bool) {
        seen[f->FieldName()] = m;
    };
    (void)Render(g);
    g.OnGetBtnParams = nullptr;
    return seen;
}
} // namespace

class KXDBGridSortTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InitControls();
        UseStyle("Windows");
    }

    void sortTextRules() {
        std::string s;
        for (const char* expected : {"A", "A DESC", "A"})
            QCOMPARE(s = NextSortText(s, "A", false), std::string(expected));
        QCOMPARE(s = NextSortText("A", "B", true), std::string("A,B"));
        QCOMPARE(s = NextSortText(s, "B", true), std::string("A,B DESC"));
        QCOMPARE(s = NextSortText(s, "B", true), std::string("A,B"));
        QCOMPARE(NextSortText(s, "B", false), std::string("B"));
        QCOMPARE(NextSortText("A DESC", "A", true), std::string("A"));
        QCOMPARE(NextSortText("a", "A", true), std::string("A DESC"));
        QCOMPARE(NextSortText("A DESC,B", "A", true), std::string("A,B"));
        QCOMPARE(NextSortText("A,B", "A", true), std::string("A DESC,B"));
        QCOMPARE(NextSortText("", "A", true), std::string("A"));
        // A name inside another one is no entry of the list.
        QCOMPARE(NextSortText("AB,C", "B", true), std::string("AB,C,B"));

        int pos = 7;
        bool desc = true;
        QVERIFY(IsSortedBy("Name", "NAME", pos, desc));
        QCOMPARE(pos, 7);
        QVERIFY(!desc);
        QVERIFY(IsSortedBy("name desc", "Name", pos, desc));
        QVERIFY(desc);
        QVERIFY(IsSortedBy("x,b desc,c", "B", pos, desc) && desc && pos == 3);
        QVERIFY(IsSortedBy("b desc,c", "B", pos, desc) && desc && pos == 1);
        QVERIFY(IsSortedBy("a,b,c", "B", pos, desc) && !desc && pos == 3);
        QVERIFY(IsSortedBy("a,b desc", "B", pos, desc) && desc && pos == 3);
        QVERIFY(IsSortedBy("a,b", "B", pos, desc) && !desc && pos == 3);
        QVERIFY(!IsSortedBy("ab,c", "B", pos, desc));
        QVERIFY(!IsSortedBy("a,bc", "B", pos, desc));
        // Found but standing inside a longer name: no later step is tried.
        QVERIFY(!IsSortedBy("xb desc,b", "B", pos, desc));

        std::string next;
        QVERIFY(!NextIndexFields("A", "a", false, next));
        QVERIFY(NextIndexFields("A", "B", false, next) && next == "B");
        QVERIFY(!NextIndexFields("A;B", "B", true, next));
        QVERIFY(NextIndexFields("A;B", "A", true, next) && next == "B;A");
        QVERIFY(NextIndexFields("A;B;C", "B", true, next) && next == "A;C;B");
        QVERIFY(NextIndexFields("", "B", true, next) && next == "B");
        QVERIFY(NextIndexFields("AB;C", "B", true, next) && next == "AB;C;B");
    }

    void clicksSortTheConnectionStringKind() {
        QTemporaryDir dir;
        auto t = OpenAdo(dir);
        TGridWindow w(t.get());
        TKXDBGrid& g = *w.Grid;
        g.SetTitleButtons(true);
        g.SetAutoSort(true);
        QCOMPARE(g.SortString(), std::string());
        QCOMPARE(Markers(g)["A"], smNone);
        ClickTitle(g, "A");
        QCOMPARE(t->Sort(), std::string("A"));
        QCOMPARE(Markers(g)["A"], smUp);
        t->First();
        QCOMPARE(t->FieldByName("A").AsString(), std::string("a"));
        ClickTitle(g, "A");
        QCOMPARE(t->Sort(), std::string("A DESC"));
        QCOMPARE(Markers(g)["A"], smDown);
        ClickTitle(g, "A");
        QCOMPARE(t->Sort(), std::string("A"));
        QCOMPARE(Markers(g)["A"], smUp);
        ClickTitle(g, "B", Qt::ShiftModifier);
        QCOMPARE(t->Sort(), std::string("A,B"));
        ClickTitle(g, "B", Qt::ShiftModifier);
        QCOMPARE(t->Sort(), std::string("A,B DESC"));
        std::map<std::string, TSortMarker> m = Markers(g);
        QCOMPARE(m["A"], smUp);
        QCOMPARE(m["B"], smDown);
        QCOMPARE(m["N"], smNone);
        ClickTitle(g, "B", Qt::ShiftModifier);
        QCOMPARE(t->Sort(), std::string("A,B"));
        ClickTitle(g, "B");
        QCOMPARE(t->Sort(), std::string("B"));
        // The grid's own record of the sort starts anew with every opening.
        t->Close();
        t->Open();
        QCOMPARE(g.SortString(), std::string());
        QCOMPARE(Markers(g)["B"], smNone);

        // A title click leaves the current column where it was.
        g.SetSelectedIndex(2);
        ClickTitle(g, "A");
        QCOMPARE(g.SelectedIndex(), 2);

        // A sort the dataset refuses: its message shows, the cursor comes
        // back and the grid's sort text stays.
        TErrorCatcher errors;
        const std::string before = g.SortString();
        g.OnCheckButton = [](TKXDBGrid&, int, TField*, bool& enabled) { enabled = true; };
        ClickTitle(g, "M");
        QCOMPARE(errors.Messages.size(), size_t(1));
        QCOMPARE(g.SortString(), before);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void clicksChooseAnIndexOfTheIndexOrderedKind() {
        QTemporaryDir dir;
        auto t = OpenParadox(dir);
        TGridWindow w(t.get(), QSize(700, 300));
        TKXDBGrid& g = *w.Grid;
        g.SetTitleButtons(true);
        g.SetAutoSort(true);
        TErrorCatcher errors;
        // No index chosen: the primary key's fields show the up marker.
        std::map<std::string, TSortMarker> m = Markers(g);
        QCOMPARE(m["A"], smUp);
        QCOMPARE(m["B"], smUp);
        QCOMPARE(m["C"], smNone);
        ClickTitle(g, "C");
        QCOMPARE(t->IndexFieldNames(), std::string("C"));
        m = Markers(g);
        QCOMPARE(m["C"], smUp);
        QCOMPARE(m["A"], smNone);
        // Never descending: a second click changes nothing.
        ClickTitle(g, "C");
        QCOMPARE(t->IndexFieldNames(), std::string("C"));
        // A field without an index: the order stays, nobody is told.
        ClickTitle(g, "D");
        QCOMPARE(t->IndexFieldNames(), std::string("C"));
        QVERIFY(errors.Messages.empty());
        t->SetIndexFieldNames("A;B");
        ClickTitle(g, "B", Qt::ShiftModifier);
        QCOMPARE(t->IndexFieldNames(), std::string("A;B"));
        ClickTitle(g, "A", Qt::ShiftModifier);
        QCOMPARE(t->IndexFieldNames(), std::string("B;A"));
        t->First();
        QCOMPARE(t->FieldByName("B").AsString(), std::string("q"));
        QVERIFY(errors.Messages.empty());
        // A table without any index has no title buttons.
        bool enabled = true;
        g.CheckButton(g.FindColumn("A"), enabled);
        QVERIFY(enabled);
        g.CheckButton(g.FindColumn("M"), enabled);
        QVERIFY(!enabled);
        g.CheckButton(99, enabled);
        QVERIFY(!enabled);
    }

    void titleButtonsPressDragAndRelease() {
        QTemporaryDir dir;
        auto t = OpenAdo(dir);
        TGridWindow w(t.get());
        TKXDBGrid& g = *w.Grid;
        g.SetTitleButtons(true);
        g.SetAutoSort(true);
        const QPoint a = CellCenter(g, 1, 0);
        // Down while over the title, up when off it; no click elsewhere.
        QTest::mousePress(g.viewport(), Qt::LeftButton, Qt::NoModifier, a);
        QVERIFY(g.TitleTracking());
        QVERIFY(g.TitleDown());
        Move(g, CellCenter(g, 1, 3));
        QVERIFY(!g.TitleDown());
        QTest::mouseRelease(g.viewport(), Qt::LeftButton, Qt::NoModifier, CellCenter(g, 1, 3));
        QVERIFY(!g.TitleTracking());
        QCOMPARE(t->Sort(), std::string());
        // Small moves and back: still a click.
        QTest::mousePress(g.viewport(), Qt::LeftButton, Qt::NoModifier, a);
        Move(g, a + QPoint(3, 0));
        Move(g, CellCenter(g, 1, 2));
        Move(g, a);
        QVERIFY(g.TitleDown());
        QTest::mouseRelease(g.viewport(), Qt::LeftButton, Qt::NoModifier, a);
        QCOMPARE(t->Sort(), std::string("A"));
        // Four pixels sideways: a column move begins and no click follows.
        QTest::mousePress(g.viewport(), Qt::LeftButton, Qt::NoModifier, a);
        Move(g, a + QPoint(4, 0));
        QVERIFY(!g.TitleTracking());
        QCOMPARE(g.GridState(), gsColMoving);
        const QPoint c = CellCenter(g, 3, 0);
        Move(g, c);
        QTest::mouseRelease(g.viewport(), Qt::LeftButton, Qt::NoModifier, c);
        QCOMPARE(t->Sort(), std::string("A"));
        QCOMPARE(g.Column(2).FieldName(), std::string("A"));
        // The BLOB column's title is no button: its press moves the column.
        const int memo = g.DataToRawColumn(g.FindColumn("M"));
        QTest::mousePress(g.viewport(), Qt::LeftButton, Qt::NoModifier, CellCenter(g, memo, 0));
        QVERIFY(!g.TitleTracking());
        QCOMPARE(g.GridState(), gsColMoving);
        Move(g, CellCenter(g, 1, 0));
        QTest::mouseRelease(g.viewport(), Qt::LeftButton, Qt::NoModifier, CellCenter(g, 1, 0));
        QCOMPARE(g.Column(0).FieldName(), std::string("M"));
        // A window taking the mouse away ends the press.
        const QPoint b = CellCenter(g, g.DataToRawColumn(g.FindColumn("B")), 0);
        QTest::mousePress(g.viewport(), Qt::LeftButton, Qt::NoModifier, b);
        QVERIFY(g.TitleDown());
        g.CancelMode();
        QVERIFY(!g.TitleDown());
        QTest::mouseRelease(g.viewport(), Qt::LeftButton, Qt::NoModifier, b);
        QCOMPARE(t->Sort(), std::string("A"));
        // A handler of its own takes the click instead of the sort.
        std::vector<int> clicked;
        g.OnTitleBtnClick = [&](TKXDBGrid&, int acol, TField* f) {
            clicked.push_back(acol);
            QCOMPARE(f->FieldName(), std::string("B"));
        };
        Click(g, b);
        QCOMPARE(clicked, std::vector<int>{g.FindColumn("B")});
        QCOMPARE(t->Sort(), std::string("A"));
        // Title buttons off: the press is the framework's.
        g.OnTitleBtnClick = nullptr;
        g.SetTitleButtons(false);
        QTest::mousePress(g.viewport(), Qt::LeftButton, Qt::NoModifier, b);
        QVERIFY(!g.TitleTracking());
        QTest::mouseRelease(g.viewport(), Qt::LeftButton, Qt::NoModifier, b);
        QCOMPARE(t->Sort(), std::string("A"));
    }
};

QTEST_MAIN(KXDBGridSortTest)
#include "KXDBGridSortTest.moc"

// The framework grid under the data grid: it reads only the records on
// screen, maps its scroll bar to records, moves by the keys of a data grid
// over filtered and sorted tables, edits through its in-place editor as
// safely as the engine does, and sizes, moves and selects by mouse.

#include "tests/grid/GridTestSupport.h"

#include "data/base/DatabaseError.h"
#include "data/engines/Table.h"

#include <QLineEdit>

using namespace gridtest;
using namespace widgettest;

class GridFrameworkTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InitControls();
        UseStyle("Windows");
    }

    void readsOnlyTheRecordsOnScreen() {
        TCountingTable t;
        FillNames(t, 200000);
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        QVERIFY(g.VisibleRowCount() > 5);
        t.SetRecNo(150000);
        const int top = g.DataLink().Top();
        QVERIFY(top <= 150000 && 150000 < top + g.VisibleRowCount());
        t.Read.clear();
        (void)Render(g);
        QVERIFY(!t.Read.empty());
        for (uint32_t rec : t.Read) {
            QVERIFY2(rec + 1 >= static_cast<uint32_t>(top) &&
                         rec + 1 < static_cast<uint32_t>(top + g.VisibleRowCount()),
                     QByteArray::number(rec).constData());
        }
        QCOMPARE(RowText(g, 0, "NAME"), "Name " + std::to_string(top));
        // Painting leaves the cursor where it was and the fields on it.
        QCOMPARE(t.RecNo(), 150000);
        QCOMPARE(t.FieldByName("QTY").AsInteger(), 150000);
    }

    void scrollBarReachesAnyRecordInOneDrag() {
        TMemTable t;
        FillNames(t, 1000000);
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        QScrollBar* bar = g.verticalScrollBar();
        QCOMPARE(bar->maximum(), 1000000 - g.VisibleRowCount());
        QCOMPARE(bar->pageStep(), g.VisibleRowCount());
        bar->setSliderPosition(654320);
        bar->triggerAction(QAbstractSlider::SliderMove);
        QCOMPARE(g.DataLink().Top(), 654321);
        QCOMPARE(t.RecNo(), 654321); // the current row stays the first
        QCOMPARE(RowText(g, 0, "NAME"), std::string("Name 654321"));
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        QCOMPARE(g.DataLink().Top(), 1000000 - g.VisibleRowCount() + 1);
        QCOMPARE(RowText(g, g.VisibleRowCount() - 1, "NAME"), std::string("Name 1000000"));
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(t.RecNo(), 1);
        QCOMPARE(bar->value(), 0);
        // A move of the cursor moves the bar.
        t.SetRecNo(500000);
        QCOMPARE(bar->value(), 500000 - g.VisibleRowCount());
    }

    void keysMoveOverAFilteredAndSortedTable() {
        TMemTable t;
        t.FieldDefs().Add("NAME", ftString, 20);
        t.FieldDefs().Add("QTY", ftInteger);
        t.FieldDefs().Add("CITY", ftString, 10);
        t.Open();
        for (int i = 1; i <= 100; ++i)
            t.AppendRecord({TValue::OfText("N" + std::to_string(i)), TValue::OfInt((i * 37) % 101),
                            TValue::OfText("C")});
        t.SetSort("QTY DESC");
        t.SetOnFilterRecord([](TDataSet& ds, bool& accept) {
            accept = ds.FieldByName("QTY").AsInteger() % 2 == 0;
        });
        t.SetFiltered(true);
        t.First();
        TGridWindow w(&t, QSize(500, 300));
        TKXDBGrid& g = *w.Grid;
        const int count = t.RecordCount();
        QCOMPARE(count, 50);
        auto qty = [&] { return t.FieldByName("QTY").AsInteger(); };
        QCOMPARE(qty(), 100);
        Key(g, Qt::Key_Down);
        QCOMPARE(qty(), 98);
        Key(g, Qt::Key_PageDown);
        QCOMPARE(t.RecNo(), 2 + g.VisibleRowCount());
        QCOMPARE(qty(), 100 - 2 * (1 + g.VisibleRowCount()));
        // The window follows: the current record is on its last row.
        QCOMPARE(g.Row(), g.TitleOffset() + g.VisibleRowCount() - 1);
        Key(g, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(t.RecNo(), count);
        QCOMPARE(qty(), 2);
        QCOMPARE(RowText(g, g.DataLink().CurrentRow(), "QTY"), std::string("2"));
        Key(g, Qt::Key_PageUp);
        QCOMPARE(t.RecNo(), count - g.VisibleRowCount());
        Key(g, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(t.RecNo(), 1);
        QCOMPARE(g.DataLink().Top(), 1);
        Key(g, Qt::Key_Up); // at the first record nothing moves
        QCOMPARE(t.RecNo(), 1);
        // Columns: End, Home, Right, Left, and Tab into the next row.
        QCOMPARE(g.Col(), 1);
        Key(g, Qt::Key_End);
        QCOMPARE(g.SelectedIndex(), 2);
        Key(g, Qt::Key_Home);
        QCOMPARE(g.SelectedIndex(), 0);
        Key(g, Qt::Key_Right);
        QCOMPARE(g.SelectedIndex(), 1);
        Key(g, Qt::Key_Left);
        Key(g, Qt::Key_Left); // no further than the first column
        QCOMPARE(g.SelectedIndex(), 0);
        Key(g, Qt::Key_Tab);
        Key(g, Qt::Key_Tab);
        Key(g, Qt::Key_Tab);
        QCOMPARE(g.SelectedIndex(), 0);
        QCOMPARE(t.RecNo(), 2);
        Key(g, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(g.SelectedIndex(), 2);
        QCOMPARE(t.RecNo(), 1);
    }

    void typingEditsAndMovingPosts() {
        TMemTable t;
        FillNames(t, 30);
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        QTest::keyClicks(&g, QStringLiteral("Xyz"));
        QVERIFY(g.EditorMode());
        QCOMPARE(g.InplaceEditor()->text(), QStringLiteral("Xyz"));
        QCOMPARE(t.State(), dsEdit);
        Key(*g.InplaceEditor(), Qt::Key_Return);
        QVERIFY(!g.EditorMode());
        QCOMPARE(t.State(), dsEdit);
        QCOMPARE(t.FieldByName("NAME").AsString(), std::string("Xyz"));
        Key(g, Qt::Key_Down);
        QCOMPARE(t.State(), dsBrowse);
        QCOMPARE(t.RecNo(), 2);
        QCOMPARE(RowText(g, 0, "NAME"), std::string("Xyz"));

        // Esc first gives back the field's text, then cancels the edit.
        Key(g, Qt::Key_F2);
        QVERIFY(g.EditorMode());
        QCOMPARE(g.InplaceEditor()->text(), QStringLiteral("Name 2"));
        QTest::keyClicks(g.InplaceEditor(), QStringLiteral("!!"));
        QCOMPARE(g.InplaceEditor()->text(), QStringLiteral("Name 2!!"));
        Key(*g.InplaceEditor(), Qt::Key_Escape);
        QCOMPARE(g.InplaceEditor()->text(), QStringLiteral("Name 2"));
        QCOMPARE(t.State(), dsEdit);
        Key(*g.InplaceEditor(), Qt::Key_Escape);
        QCOMPARE(t.State(), dsBrowse);
        QVERIFY(!g.EditorMode());
        QCOMPARE(t.FieldByName("NAME").AsString(), std::string("Name 2"));

        // Insert shows a new row where the cursor was; Up drops it unchanged.
        const int rows = g.RowCount();
        Key(g, Qt::Key_Insert);
        QCOMPARE(t.State(), dsInsert);
        QCOMPARE(g.DataLink().Count(), 31);
        QCOMPARE(RowText(g, 1, "NAME"), std::string());
        QCOMPARE(RowText(g, 2, "NAME"), std::string("Name 2"));
        QVERIFY(g.RowCount() >= rows);
        Key(g, Qt::Key_Up);
        QCOMPARE(t.State(), dsBrowse);
        QCOMPARE(t.RecordCount(), 30);

        // Down at the last record appends one, which typing fills.
        Key(g, Qt::Key_End, Qt::ControlModifier);
        Key(g, Qt::Key_Down);
        QCOMPARE(t.State(), dsInsert);
        QTest::keyClicks(&g, QStringLiteral("New"));
        Key(*g.InplaceEditor(), Qt::Key_Up);
        QCOMPARE(t.State(), dsBrowse);
        QCOMPARE(t.RecordCount(), 31);
        t.Last();
        QCOMPARE(t.FieldByName("NAME").AsString(), std::string("New"));

        // Ctrl+Delete asks first.
        bool answer = false;
        int asked = 0;
        g.OnConfirm = [&](TDBGrid&, const QString&) {
            ++asked;
            return answer;
        };
        Key(g, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        QCOMPARE(t.RecordCount(), 31);
        answer = true;
        Key(g, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(t.RecordCount(), 30);
    }

    void aGridGoesWithItsEditorOpen() {
        TMemTable t;
        FillNames(t, 3);
        auto w = std::make_unique<TGridWindow>(&t);
        QTest::keyClicks(w->Grid, QStringLiteral("Typed"));
        QVERIFY(w->Grid->InplaceEditor()->hasFocus());
        // The editor loses the focus while the grid goes; what it held is
        // in the field, and the table lives on.
        w.reset();
        QCOMPARE(t.State(), dsEdit);
        QCOMPARE(t.FieldByName("NAME").AsString(), std::string("Typed"));
        t.Cancel();
    }

    void aFailedPostKeepsTheTypingAndTheFile() {
        QTemporaryDir dir;
        const std::string path = PathIn(dir, "items.dbf");
        TDbfWriter::Write(
            path, dvDBase3, {{"NAME", 'C', 10}, {"QTY", 'N', 5}},
            {{TValue::OfText("One"), TValue::OfInt(1)}, {TValue::OfText("Two"), TValue::OfInt(2)}});
        const std::string before = FileBytes(path);
        TTable t;
        t.SetDatabaseName(dir.path().toStdString());
        t.SetTableName("items.dbf");
        t.Open();
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        TErrorCatcher errors;
        g.SetSelectedIndex(1);
        QTest::keyClicks(&g, QStringLiteral("abc"));
        QCOMPARE(g.InplaceEditor()->text(), QStringLiteral("abc"));
        Key(*g.InplaceEditor(), Qt::Key_Down);
        QCOMPARE(errors.Messages.size(), size_t(1));
        QVERIFY(g.EditorMode());
        QCOMPARE(g.InplaceEditor()->text(), QStringLiteral("abc"));
        QCOMPARE(t.RecNo(), 1);
        QCOMPARE(t.State(), dsEdit);
        QVERIFY(FileBytes(path) == before);

        // A post the table refuses: the typing stays in the editor, and
        // nothing reaches the file; the navigator's post takes the editor's
        // text through the data link.
        g.InplaceEditor()->setText(QStringLiteral("77"));
        g.InplaceEditor()->setModified(true);
        t.BeforePost = [](TDataSet&) { throw EDatabaseError("Refused by the test"); };
        RunGuarded([&] { t.Post(); });
        QCOMPARE(errors.Messages.back(), std::string("Refused by the test"));
        QCOMPARE(g.InplaceEditor()->text(), QStringLiteral("77"));
        QCOMPARE(t.FieldByName("QTY").AsString(), std::string("77"));
        QVERIFY(FileBytes(path) == before);
        t.BeforePost = nullptr;
        RunGuarded([&] { t.Post(); });
        QCOMPARE(t.State(), dsBrowse);
        t.Close();
        t.Open();
        QCOMPARE(t.FieldByName("QTY").AsInteger(), 77);
    }

    void columnsAreSizedAndMovedByMouse() {
        TMemTable t;
        t.FieldDefs().Add("A", ftString, 8);
        t.FieldDefs().Add("B", ftString, 8);
        t.FieldDefs().Add("C", ftString, 8);
        t.Open();
        t.AppendRecord({TValue::OfText("a"), TValue::OfText("b"), TValue::OfText("c")});
        t.First();
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        std::vector<std::string> titles;
        g.OnTitleClick = [&](TDBGrid&, TColumn& c) { titles.push_back(c.FieldName()); };
        const int width = g.Column(0).Width();
        const QRect a = g.CellRect(1, 0);
        const QPoint edge(a.left() + a.width(), a.center().y());
        QVERIFY(g.InSizingSpot(edge.x(), edge.y()));
        QTest::mousePress(g.viewport(), Qt::LeftButton, Qt::NoModifier, edge);
        Move(g, edge + QPoint(30, 0));
        QTest::mouseRelease(g.viewport(), Qt::LeftButton, Qt::NoModifier, edge + QPoint(30, 0));
        QCOMPARE(g.Column(0).Width(), width + 30);
        QVERIFY(titles.empty());

        // A title dragged onto another column takes its place.
        const QPoint from = CellCenter(g, 1, 0), to = CellCenter(g, 3, 0);
        QTest::mousePress(g.viewport(), Qt::LeftButton, Qt::NoModifier, from);
        Move(g, to);
        QTest::mouseRelease(g.viewport(), Qt::LeftButton, Qt::NoModifier, to);
        QCOMPARE(g.Column(0).FieldName(), std::string("B"));
        QCOMPARE(g.Column(1).FieldName(), std::string("C"));
        QCOMPARE(g.Column(2).FieldName(), std::string("A"));
        QVERIFY(titles.empty());
        // The selected field stays selected.
        QCOMPARE(g.SelectedField()->FieldName(), std::string("A"));

        ClickCell(g, 2, 0);
        QCOMPARE(titles, std::vector<std::string>{"C"});
    }

    void rowsAreMarkedByCtrlClickAndShiftArrows() {
        TMemTable t;
        FillNames(t, 40);
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        g.SetOptions(g.Options() | dgMultiSelect);
        ClickCell(g, 1, 3, Qt::ControlModifier);
        ClickCell(g, 1, 5, Qt::ControlModifier);
        QCOMPARE(g.SelectedRows().Count(), 2);
        QCOMPARE(t.RecNo(), 5);
        ClickCell(g, 1, 3, Qt::ControlModifier); // marks off again
        QCOMPARE(g.SelectedRows().Count(), 1);
        Key(g, Qt::Key_Down, Qt::ShiftModifier);
        Key(g, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(g.SelectedRows().Count(), 3);
        // A marked row is drawn highlighted.
        const QImage img = Render(g);
        const QRect marked = g.CellRect(2, 5);
        CHECK_PIXEL(img, marked.right() - 2, marked.center().y(), clHighlight);
        Key(g, Qt::Key_Down);
        QCOMPARE(g.SelectedRows().Count(), 0);
    }

    void hooksDrawAndHearTheColumns() {
        TMemTable t;
        FillNames(t, 3);
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        // A column hook draws after the default drawing, on every data cell.
        int drawn = 0;
        g.OnDrawColumnCell = [&](TDBGrid&, TGridCanvas& canvas, const QRect& r, int dataCol,
                                 TColumn& column, unsigned state) {
            ++drawn;
            QCOMPARE(column.FieldName(), g.Column(dataCol).FieldName());
            if (dataCol == 1 && !(state & gdSelected))
                canvas.Painter->fillRect(r.adjusted(0, 0, -r.width() / 2, 0), QColor(0, 255, 0));
        };
        QImage shot = Render(g);
        QCOMPARE(drawn, 2 * 3);
        const QRect qty = g.CellRect(2, 2);
        CHECK_PIXEL(shot, qty.left() + 1, qty.center().y(), RGBColor(0, 255, 0));
        CHECK_PIXEL(shot, qty.right() - 1, qty.top() + 1, clWindow);
        // Without default drawing only the hook paints a cell's content.
        g.SetDefaultDrawing(false);
        g.OnDrawColumnCell = nullptr;
        shot = Render(g);
        const QRect name = g.CellRect(1, 2);
        bool ink = false;
        for (int x = name.left(); x < name.left() + name.width(); ++x)
            for (int y = name.top(); y < name.top() + name.height(); ++y)
                ink = ink || qGray(shot.pixel(x, y)) < 100;
        QVERIFY(!ink);
        g.SetDefaultDrawing(true);
        // A cell hook's colour is the cell's.
        g.OnGetCellParams = [](TTableView&, TColumn& c, TDBGridCellParams& p) {
            if (c.FieldName() == "QTY") p.Background = clYellow;
        };
        g.viewport()->update();
        shot = Render(g);
        CHECK_PIXEL(shot, qty.left() + 1, qty.center().y(), clYellow);
        g.OnGetCellParams = nullptr;
        // Entering and leaving columns.
        std::vector<std::string> heard;
        g.OnColExit = [&](TDBGrid& s) {
            heard.push_back("exit " + s.SelectedField()->FieldName());
        };
        g.OnColEnter = [&](TDBGrid& s) {
            heard.push_back("enter " + s.SelectedField()->FieldName());
        };
        Key(g, Qt::Key_Right);
        Key(g, Qt::Key_Right); // no further column
        QCOMPARE(heard, (std::vector<std::string>{"exit NAME", "enter QTY"}));
    }

    void fixedColumnsStayWhileTheOthersScroll() {
        TMemTable t;
        for (int i = 0; i < 12; ++i)
            t.FieldDefs().Add("F" + std::to_string(i), ftString, 12);
        t.Open();
        std::vector<TValue> row;
        for (int i = 0; i < 12; ++i)
            row.push_back(TValue::OfText("v" + std::to_string(i)));
        t.AppendRecord(row);
        t.First();
        TGridWindow w(&t, QSize(400, 200));
        TKXDBGrid& g = *w.Grid;
        g.SetFixedCols(2);
        const QRect fixed = g.CellRect(1, 1);
        QVERIFY(g.horizontalScrollBar()->maximum() > 0);
        Key(g, Qt::Key_End);
        QCOMPARE(g.SelectedIndex(), 11);
        QVERIFY(g.LeftCol() > 2);
        QCOMPARE(g.CellRect(1, 1), fixed);
        QVERIFY(g.CellRect(2, 1).isEmpty());
        const QRect last = g.CellRect(12, 1);
        QVERIFY(!last.isEmpty());
        QVERIFY(last.right() < g.viewport()->width());
        g.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(g.LeftCol(), 2);
        // Row heights: one row taller, the rest as they were.
        const int h = g.RowHeights(1);
        g.SetRowHeights(1, h + 10);
        QCOMPARE(g.CellRect(1, 1).height(), h + 10);
        QCOMPARE(g.DefaultRowHeight(), h);
    }
};

QTEST_MAIN(GridFrameworkTest)
#include "GridFrameworkTest.moc"

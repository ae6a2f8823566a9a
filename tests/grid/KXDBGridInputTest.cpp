// What the data grid does with the mouse and the keys beyond the framework:
// column and data hints with their pauses, wheel scrolling and its "full"
// rule, rows of one to eight lines, the middle-button autoscroll (its
// timer driven here by hand), check boxes toggled by Space and by click,
// the editor kept off cells the grid draws itself, ranges marked with
// Shift, columns sized by keys, and the position kept around an export.

#include "tests/grid/GridTestSupport.h"

#include "export/KXExport2Text.h"
#include "export/Stream.h"
#include "grid/GridHintWindow.h"
#include "grid/GridImages.h"
#include "grid/HintPause.h"

#include <QEnterEvent>
#include <QLineEdit>

using namespace gridtest;
using namespace widgettest;

namespace {
void FillHintTable(TMemTable& t) {
    t.FieldDefs().Add("NAME", ftString, 40);
    t.FieldDefs().Add("QTY", ftInteger);
    t.FieldDefs().Add("NOTE", ftMemo);
    t.FieldDefs().Add("DATA", ftBlob);
    t.Open();
    t.AppendRecord(
        {TValue::OfText("Ann"), TValue::OfInt(1), TValue::OfText("short"), TValue::OfBytes("x")});
    t.AppendRecord({TValue::OfText("Иван Петрович Сидоров-Кузнецов   "), TValue::OfInt(2),
                    TValue::OfText("a memo"), TValue::OfBytes("y")});
    t.AppendRecord({TValue::OfText("李小龙 and a long tail of words"), TValue::OfInt(3),
                    TValue::Null(), TValue::Null()});
    t.First();
}

void FillFlags(TMemTable& t) {
    t.FieldDefs().Add("FLAG", ftBoolean);
    t.FieldDefs().Add("PHOTO", ftGraphic);
    t.FieldDefs().Add("NOTE", ftMemo);
    t.FieldDefs().Add("NAME", ftString, 10);
    t.Open();
    t.AppendRecord({TValue::Null(), TValue::Null(), TValue::OfText("m"), TValue::OfText("a")});
    t.AppendRecord({TValue::OfBool(true), TValue::Null(), TValue::Null(), TValue::OfText("b")});
    t.First();
}

void Press(TDBGrid& g, QPoint at, Qt::MouseButton button) {
    QTest::mousePress(g.viewport(), button, Qt::NoModifier, at);
}
} // namespace

class KXDBGridInputTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InitControls();
        UseStyle("Windows");
    }

    void hintsTellFieldAndFullText() {
        TMemTable t;
        FillHintTable(t);
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        g.Column(0).SetWidth(60);
        g.SetColumnHints(true);
        g.SetDataHints(true);
        // The pauses while the mouse is over the grid.
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&g, &enter);
        QCOMPARE(HintPause(), 25);
        QCOMPARE(HintShortPause(), 5);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&g, &leave);
        QCOMPARE(HintPause(), 500);
        QCOMPARE(HintShortPause(), 50);

        const int name = 1, qty = 2, note = 3, data = 4;
        TGridHint h = g.HintAt(CellCenter(g, qty, 0));
        QVERIFY(h.FromGrid);
        QCOMPARE(h.Text, QStringLiteral("QTY : Integer"));
        QCOMPARE(h.CursorRect, g.CellRect(qty, 0).adjusted(-1, -1, 1, 1));
        QVERIFY(!h.PlaceAtCell);
        QCOMPARE(g.HintAt(CellCenter(g, note, 0)).Text, QStringLiteral("NOTE : Memo"));
        // A text that fits shows no hint; a cut one all of itself, trailing
        // blanks left out, over the cell.
        QCOMPARE(g.HintAt(CellCenter(g, name, 1)).Text, QString()); // the current cell
        QVERIFY(!g.HintAt(CellCenter(g, name, 1)).FromGrid);
        h = g.HintAt(CellCenter(g, name, 2));
        QCOMPARE(h.Text, QStringLiteral("Иван Петрович Сидоров-Кузнецов"));
        QVERIFY(h.PlaceAtCell);
        QCOMPARE(h.Place, g.CellRect(name, 2).topLeft() - QPoint(1, 1));
        QCOMPARE(g.HintAt(CellCenter(g, name, 3)).Text,
                 QString::fromUtf8("李小龙 and a long tail of words"));
        QCOMPARE(g.HintAt(CellCenter(g, qty, 2)).Text, QString());
        // A memo always shows its text, a BLOB never.
        QCOMPARE(g.HintAt(CellCenter(g, note, 2)).Text, QStringLiteral("a memo"));
        QCOMPARE(g.HintAt(CellCenter(g, data, 2)).Text, QString());
        // The hint reads its row's record and leaves the fields on the
        // current one.
        QCOMPARE(t.FieldByName("NAME").AsString(), std::string("Ann"));
        // With rows of two lines, strings and memos wrap in the cell instead.
        g.ChangeRowHeight(true);
        QCOMPARE(g.HintAt(CellCenter(g, name, 2)).Text, QString());
        QCOMPARE(g.HintAt(CellCenter(g, note, 2)).Text, QString());
        g.ChangeRowHeight(false);
        // Off: the control's own hint.
        g.setToolTip(QStringLiteral("The table"));
        g.SetDataHints(false);
        // Column hints alone: the grid still answers over the data, with none.
        h = g.HintAt(CellCenter(g, name, 2));
        QVERIFY(h.FromGrid && h.Text.isEmpty());
        g.SetColumnHints(false);
        h = g.HintAt(CellCenter(g, name, 2));
        QVERIFY(!h.FromGrid);
        QCOMPARE(h.Text, QStringLiteral("The table"));
        g.SetColumnHints(true);
        g.SetShowHint(false);
        QCOMPARE(g.HintAt(CellCenter(g, qty, 0)).Text, QString());
        g.SetShowHint(true);
        // None during autoscroll.
        Press(g, CellCenter(g, qty, 2), Qt::MiddleButton);
        QVERIFY(g.AutoScrolling());
        QCOMPARE(g.HintAt(CellCenter(g, qty, 0)).Text, QString());
        g.StopAutoScroll();
        // The hint window shows it over the cell, once the mouse rests.
        g.SetDataHints(true);
        QApplication::sendEvent(&g, &enter);
        Move(g, CellCenter(g, name, 2), Qt::NoButton);
        QTRY_VERIFY_WITH_TIMEOUT(g.HintWindow()->isVisible(), 2000);
        QCOMPARE(g.HintWindow()->text(), QStringLiteral("Иван Петрович Сидоров-Кузнецов"));
        QCOMPARE(g.HintWindow()->pos(),
                 g.viewport()->mapToGlobal(g.CellRect(name, 2).topLeft() - QPoint(1, 1)));
        Key(g, Qt::Key_Down);
        QVERIFY(!g.HintWindow()->isVisible());
    }

    void wheelScrollsByTheFullRule() {
        TMemTable few;
        FillNames(few, 5);
        TGridWindow w(&few, QSize(400, 400));
        TKXDBGrid& g = *w.Grid;
        Wheel(g, -120);
        QCOMPARE(few.RecNo(), 2);
        Wheel(g, -120);
        QCOMPARE(few.RecNo(), 3);
        Wheel(g, 120);
        QCOMPARE(few.RecNo(), 2);

        TMemTable many;
        FillNames(many, 500);
        TGridWindow w2(&many, QSize(400, 400));
        TKXDBGrid& f = *w2.Grid;
        const int rows = f.VisibleRowCount();
        Wheel(f, -120);
        QCOMPARE(many.RecNo(), rows); // the last row on screen
        QCOMPARE(f.DataLink().Top(), 1);
        Wheel(f, -120);
        QCOMPARE(many.RecNo(), rows + 1);
        Wheel(f, -120, Qt::ControlModifier);
        QCOMPARE(many.RecNo(), rows + 11);
        many.SetRecNo(300);
        Wheel(f, 120);
        QCOMPARE(many.RecNo(), f.DataLink().Top()); // the first row on screen
        QCOMPARE(many.RecNo(), 300 - rows + 1);
        Wheel(f, 120, Qt::ControlModifier);
        QCOMPARE(many.RecNo(), f.DataLink().Top());
        const int top = many.RecNo();
        Wheel(f, 120, Qt::ControlModifier);
        QCOMPARE(many.RecNo(), top - 10);
        // Half a notch waits for the other half.
        Wheel(f, -60);
        const int at = many.RecNo();
        Wheel(f, -60);
        QVERIFY(many.RecNo() != at);
    }

    void rowsHoldOneToEightLines() {
        TMemTable t;
        FillNames(t, 50);
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        const int base = g.BaseLineHeight();
        QCOMPARE(g.DefaultRowHeight(), base);
        for (int i = 0; i < 7; ++i)
            Wheel(g, -120, Qt::ShiftModifier);
        QCOMPARE(g.ExtraLines(), 7);
        QCOMPARE(g.DefaultRowHeight(), 8 * base);
        QCOMPARE(g.RowHeights(0), base); // the titles keep one line
        Wheel(g, -120, Qt::ShiftModifier);
        QCOMPARE(g.DefaultRowHeight(), 8 * base);
        QCOMPARE(t.RecNo(), 1); // the wheel sized, it did not scroll
        for (int i = 0; i < 10; ++i)
            Wheel(g, 120, Qt::ShiftModifier);
        QCOMPARE(g.DefaultRowHeight(), base);
        Key(g, Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(g.ExtraLines(), 1);
        Key(g, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
        Key(g, Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(g.ExtraLines(), 0);
        // Fewer rows fit when they are taller.
        const int rows = g.VisibleRowCount();
        g.ChangeRowHeight(true);
        QVERIFY(g.VisibleRowCount() < rows);
        // The lines belong to the grid, not to the table.
        TMemTable other;
        FillNames(other, 40);
        w.Source.SetDataSet(&other);
        QCOMPARE(g.ExtraLines(), 1);
        QCOMPARE(g.DefaultRowHeight(), 2 * base);
        // Without IntelliZoom Shift+wheel scrolls.
        g.SetIntelliZoom(false);
        Wheel(g, -120, Qt::ShiftModifier);
        QCOMPARE(g.ExtraLines(), 1);
        QVERIFY(other.RecNo() > 1);
        w.Source.SetDataSet(&t);
    }

    void autoscrollMovesByTheMouse() {
        TMemTable t;
        FillNames(t, 5000);
        t.FieldDefs();
        TGridWindow w(&t, QSize(500, 400));
        TKXDBGrid& g = *w.Grid;
        t.SetRecNo(2000);
        const QPoint origin = g.viewport()->rect().center();
        Press(g, origin, Qt::MiddleButton);
        QVERIFY(g.AutoScrolling());
        QCOMPARE(g.AutoScrollOrigin(), origin);
        QCOMPARE(g.AutoScrollTimer().interval(), 40);
        QVERIFY(g.AutoScrollTimer().isActive());
        QCOMPARE(g.AutoScrollCursorNumber(), 401);
        // The origin mark is drawn there.
        QImage shot = Render(g);
        const QImage& mark = OriginMark(ipVert);
        for (int y = 0; y < mark.height(); ++y)
            for (int x = 0; x < mark.width(); ++x)
                if (mark.pixel(x, y) != 0xFFFF00FFu)
                    QCOMPARE(shot.pixel(origin.x() + x, origin.y() + y) & 0xFFFFFF,
                             mark.pixel(x, y) & 0xFFFFFF);
        const int col = g.Col();
        auto tick = [&](int dx, int dy) {
            const int before = t.RecNo();
            g.AutoScrollTick(origin + QPoint(dx, dy));
            return t.RecNo() - before;
        };
        QCOMPARE(tick(0, 8), 0);
        QCOMPARE(g.AutoScrollCursorNumber(), 401);
        QCOMPARE(tick(0, 30), 1);
        QCOMPARE(g.AutoScrollCursorNumber(), 402);
        QCOMPARE(tick(0, 80), 3);
        QCOMPARE(tick(0, -30), -1);
        QCOMPARE(g.AutoScrollCursorNumber(), 405);
        QCOMPARE(tick(0, -200), -5);
        // Vertical only: the column never changes.
        QCOMPARE(tick(200, 30), 1);
        QCOMPARE(g.Col(), col);
        QCOMPARE(g.AutoScrollCursorNumber(), 402);
        // Both axes: sideways moves the column, the cursor shows the corner.
        g.SetIntelliPan(ipBoth);
        QCOMPARE(tick(30, 30), 1);
        QCOMPARE(g.Col(), col + 1);
        QCOMPARE(g.AutoScrollCursorNumber(), 408);
        tick(-30, -30);
        QCOMPARE(g.Col(), col);
        QCOMPARE(g.AutoScrollCursorNumber(), 407);
        tick(-30, -30); // no further left than the first column
        QCOMPARE(g.Col(), col);
        g.SetIntelliPan(ipHorz);
        QCOMPARE(tick(30, 80), 0);
        QCOMPARE(g.AutoScrollCursorNumber(), 404);
        // A key stops it, and it goes on to the grid.
        const int rec = t.RecNo();
        Key(g, Qt::Key_Down);
        QVERIFY(!g.AutoScrolling());
        QVERIFY(!g.AutoScrollTimer().isActive());
        QCOMPARE(t.RecNo(), rec + 1);
        // So do a press and the wheel.
        g.SetIntelliPan(ipVert);
        Press(g, origin, Qt::MiddleButton);
        QVERIFY(g.AutoScrolling());
        QTest::mouseRelease(g.viewport(), Qt::MiddleButton, Qt::NoModifier, origin);
        Press(g, origin, Qt::LeftButton);
        QVERIFY(!g.AutoScrolling());
        QTest::mouseRelease(g.viewport(), Qt::LeftButton, Qt::NoModifier, origin);
        Press(g, origin, Qt::MiddleButton);
        Wheel(g, -120);
        QVERIFY(!g.AutoScrolling());
        // At the end of the table it stops moving.
        t.Last();
        Press(g, origin, Qt::MiddleButton);
        QCOMPARE(tick(0, 100), 0);
        g.StopAutoScroll();
        g.SetIntelliPan(ipNone);
        Press(g, origin, Qt::MiddleButton);
        QVERIFY(!g.AutoScrolling());
    }

    void checkBoxesToggle() {
        TMemTable t;
        FillFlags(t);
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        g.SetDrawBool(true);
        TField& flag = t.FieldByName("FLAG");
        QVERIFY(flag.IsNull());
        Key(g, Qt::Key_Space);
        QCOMPARE(t.State(), dsEdit);
        QVERIFY(!flag.IsNull() && flag.AsBoolean());
        QVERIFY(!g.EditorMode());
        Key(g, Qt::Key_Space);
        QVERIFY(!flag.IsNull() && !flag.AsBoolean());
        Key(g, Qt::Key_Space);
        QVERIFY(flag.IsNull());
        t.Cancel();
        // A click on the current cell's box toggles; beside it, it does not.
        const QRect cell = g.CellRect(1, 1);
        const QPoint box = TKXDBGrid::CheckBoxRect(cell).center();
        Click(g, box);
        QVERIFY(!flag.IsNull() && flag.AsBoolean());
        QVERIFY(!g.EditorMode());
        Click(g, QPoint(cell.left() + 2, cell.center().y()));
        QVERIFY(!flag.IsNull() && flag.AsBoolean());
        g.HideEditor();
        t.Cancel();
        // A box in a column 13 pixels wide is not clicked, yet the editor
        // stays off while the mouse is over it.
        g.Column(0).SetWidth(13);
        const QRect thin = g.CellRect(1, 1);
        const QPoint over = TKXDBGrid::CheckBoxRect(thin).center();
        Click(g, over);
        QVERIFY(flag.IsNull());
        QVERIFY(!g.EditorMode());
        Move(g, QPoint(over.x(), thin.bottom() + 30), Qt::NoButton);
        g.ShowEditor();
        QVERIFY(g.EditorMode());
        g.HideEditor();
        // A read-only field is not toggled.
        g.Column(0).SetWidth(40);
        flag.SetReadOnly(true);
        Key(g, Qt::Key_Space);
        QVERIFY(flag.IsNull());
        flag.SetReadOnly(false);
        // Without DrawBool, Space is a key like others: it starts editing.
        g.SetDrawBool(false);
        Key(g, Qt::Key_Space);
        QVERIFY(g.EditorMode());
        Key(*g.InplaceEditor(), Qt::Key_Escape);
        Key(*g.InplaceEditor(), Qt::Key_Escape);
    }

    void theEditorStaysOffSelfDrawnCells() {
        TMemTable t;
        FillFlags(t);
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        g.SetSelectedIndex(1);
        g.ShowEditor();
        QVERIFY(g.EditorMode());
        g.HideEditor();
        g.SetDrawGraphic(true);
        g.ShowEditor();
        QVERIFY(!g.EditorMode());
        g.SetSelectedIndex(2);
        g.ShowEditor();
        QVERIFY(g.EditorMode());
        g.HideEditor();
        g.ChangeRowHeight(true);
        g.ShowEditor();
        QVERIFY(!g.EditorMode());
        g.SetSelectedIndex(3);
        bool allow = false;
        TField* asked = nullptr;
        g.OnShowEditor = [&](TKXDBGrid&, TField* f, bool& allowEdit) {
            asked = f;
            allowEdit = allow;
        };
        g.ShowEditor();
        QVERIFY(!g.EditorMode());
        QCOMPARE(asked, &t.FieldByName("NAME"));
        allow = true;
        g.ShowEditor();
        QVERIFY(g.EditorMode());
    }

    void shiftMarksRanges() {
        TMemTable t;
        FillNames(t, 1000);
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        g.SetOptions(g.Options() | dgMultiSelect);
        ClickCell(g, 1, 5, Qt::ShiftModifier);
        QCOMPARE(g.SelectedRows().Count(), 5);
        QCOMPARE(t.RecNo(), 5);
        Key(g, Qt::Key_PageDown, Qt::ShiftModifier);
        QCOMPARE(t.RecNo(), 5 + g.VisibleRowCount());
        QCOMPARE(g.SelectedRows().Count(), 5 + g.VisibleRowCount());
        int changes = 0;
        w.Source.OnDataChange = [&](TDataSource&, TField*) { ++changes; };
        Key(g, Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(t.RecNo(), 1000);
        QCOMPARE(g.SelectedRows().Count(), 1000);
        QVERIFY(changes < 5); // the walk was not shown record by record
        g.SelectedRows().Clear();
        t.SetRecNo(10);
        Key(g, Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(t.RecNo(), 1);
        QCOMPARE(g.SelectedRows().Count(), 10);
        Key(g, Qt::Key_PageUp, Qt::ShiftModifier);
        QCOMPARE(g.SelectedRows().Count(), 10);

        // A whole table marked backwards: the marks go in at once (marked one
        // by one at the front of the list this took minutes).
        TMemTable big;
        FillNames(big, 300000);
        w.Source.SetDataSet(&big);
        g.SetOptions(g.Options() | dgMultiSelect);
        Key(g, Qt::Key_End, Qt::ControlModifier);
        Key(g, Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(big.RecNo(), 1);
        QCOMPARE(g.SelectedRows().Count(), 300000);
        QVERIFY(g.SelectedRows().Contains(big.BookmarkAt(123456)));
        w.Source.SetDataSet(&t);
    }

    void keysSizeTheColumn() {
        TMemTable t;
        FillNames(t, 3);
        TGridWindow w(&t, QSize(300, 200));
        TKXDBGrid& g = *w.Grid;
        const int width = g.Column(0).Width();
        Key(g, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(g.Column(0).Width(), width - 1);
        Key(g, Qt::Key_Right, Qt::ShiftModifier);
        Key(g, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(g.Column(0).Width(), width + 1);
        g.Column(0).SetWidth(2);
        Key(g, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(g.Column(0).Width(), 2);
        g.Column(0).SetWidth(3);
        Key(g, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(g.Column(0).Width(), 2);
        const int most = g.viewport()->width() - 2;
        g.Column(0).SetWidth(most - 1);
        Key(g, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(g.Column(0).Width(), most);
        Key(g, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(g.Column(0).Width(), most);
        // With whole rows selected the keys do not size.
        g.Column(0).SetWidth(50);
        g.SetOptions(g.Options() | dgRowSelect);
        Key(g, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(g.Column(0).Width(), 50);
    }

    void anExportKeepsThePosition() {
        TMemTable t;
        FillNames(t, 10000);
        for (QSize size : {QSize(500, 400), QSize(500, 417)}) {
            TGridWindow w(&t, size);
            TKXDBGrid& g = *w.Grid;
            t.SetRecNo(5000);
            for (int i = 0; i < 4; ++i)
                Key(g, Qt::Key_Up);
            const int top = g.DataLink().Top(), row = g.DataLink().CurrentRow();
            QCOMPARE(t.RecNo(), 4996);
            QVERIFY(row > 0 && row < g.VisibleRowCount() - 1);
            for (TRecordRange range : {rrAll, rrToLast, rrToFirst}) {
                TKXExport2Text writer;
                writer.SetGrid(&g);
                writer.SetRecordRange(range);
                writer.BuildMappings();
                TMemoryStream out;
                writer.ExportToStream(out);
                QCOMPARE(t.RecNo(), 4996);
                QCOMPARE(g.DataLink().Top(), top);
                QCOMPARE(g.DataLink().CurrentRow(), row);
                QCOMPARE(RowText(g, 0, "QTY"), std::to_string(top));
            }
            // The remembered record is forgotten after one restore.
            g.SavePosition();
            t.SetRecNo(1);
            g.RestorePosition();
            QCOMPARE(t.RecNo(), 4996);
            t.SetRecNo(1);
            g.RestorePosition();
            QCOMPARE(t.RecNo(), 1);
        }
    }
};

QTEST_MAIN(KXDBGridInputTest)
#include "KXDBGridInputTest.moc"

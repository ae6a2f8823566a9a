// What the data grid paints: its published values at creation, the picture
// or text of each kind of cell, check boxes and scaled pictures at their
// pixels, frozen columns, title captions beside sort markers, the marker
// triangles, the flat border and the empty grid's logo.

#include "tests/grid/GridTestSupport.h"

#include "controls/GraphicUtils.h"
#include "controls/ScreenDepth.h"
#include "grid/GridImages.h"
#include "grid/QtFontMetrics.h"

#include <QBuffer>
#include <QLineEdit>
#include <QPainter>
#include <QStyleFactory>

using namespace gridtest;
using namespace widgettest;

namespace {
// A BMP file's bytes of a picture in one colour.
std::string SolidBmp(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "BMP");
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// The glyph's opaque pixels stand at (x, y) in the picture.
bool ShowsImage(const QImage& shot, const QImage& glyph, int x, int y, QByteArray& why) {
    for (int gy = 0; gy < glyph.height(); ++gy)
        for (int gx = 0; gx < glyph.width(); ++gx) {
            const QRgb g = glyph.pixel(gx, gy);
            if (qAlpha(g) == 0 || g == 0xFFFF00FFu) continue;
            const QRgb s = shot.pixel(x + gx, y + gy);
            if ((s & 0xFFFFFF) != (g & 0xFFFFFF)) {
                why = "pixel " + QByteArray::number(gx) + "," + QByteArray::number(gy) +
                      " of the image differs";
                return false;
            }
        }
    return true;
}

#define CHECK_IMAGE(shot, glyph, x, y, expected)                                                   \
    do {                                                                                           \
        QByteArray why_;                                                                           \
        const bool shown_ = ShowsImage(shot, glyph, x, y, why_);                                   \
        QVERIFY2(shown_ == (expected), (expected) ? why_.constData() : "the image is there");      \
    } while (false)

// Dark pixels (text) inside a rectangle.
int Ink(const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(img.pixel(x, y)) < 100) ++n;
    return n;
}

// A table of every kind of cell the grid draws itself: three records.
void FillKinds(TMemTable& t, const std::string& picture) {
    t.FieldDefs().Add("FLAG", ftBoolean);
    t.FieldDefs().Add("NOTE", ftMemo);
    t.FieldDefs().Add("PHOTO", ftGraphic);
    t.FieldDefs().Add("DATA", ftBlob);
    t.FieldDefs().Add("OBJ", ftDBaseOle);
    t.FieldDefs().Add("NAME", ftString, 30);
    t.Open();
    t.AppendRecord({TValue::OfBool(true), TValue::OfText("one line"), TValue::OfBytes(picture),
                    TValue::OfBytes("xy"), TValue::OfBytes("ole"), TValue::OfText("Zoë")});
    t.AppendRecord({TValue::OfBool(false),
                    TValue::OfText("first words of a memo that wraps over several lines"),
                    TValue::Null(), TValue::Null(), TValue::Null(), TValue::OfText("Иван")});
    t.AppendRecord({TValue::Null(), TValue::Null(), TValue::Null(), TValue::Null(), TValue::Null(),
                    TValue::OfText("李小龙 😀")});
    t.First();
}

int KindOf(TKXDBGrid& g, int dataRow, int column) {
    TGridDataLink& link = g.DataLink();
    link.SetActiveRecord(dataRow);
    TDBGridCellParams params;
    g.GetCellParams(g.Column(column), params);
    link.SetActiveRecord(-1);
    return params.ImageKind;
}
} // namespace

class KXDBGridPaintTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InitControls();
        UseStyle("Windows");
    }

    void startsWithItsPublishedValues() {
        TKXDBGrid g;
        QCOMPARE(g.FixedColumns(), 0);
        QCOMPARE(g.ShowLogo(), false);
        QCOMPARE(g.EdgeForm(), efRect);
        QCOMPARE(g.Shadowed(), true);
        QCOMPARE(g.Flat(), false);
        QCOMPARE(g.DrawBool(), false);
        QCOMPARE(g.ColumnHints(), false);
        QCOMPARE(g.DataHints(), false);
        QCOMPARE(g.DrawGraphic(), false);
        QCOMPARE(g.SortMarkerStyle(), smsClassic); // the classic style has no theme
        QCOMPARE(g.AutoSort(), false);
        QCOMPARE(g.TitleButtons(), false);
        QCOMPARE(g.IntelliPan(), ipVert);
        QCOMPARE(g.IntelliZoom(), true);
        QCOMPARE(g.ExtraLines(), 0);
        {
            UseStyle("Fusion");
            TKXDBGrid themed;
            QCOMPARE(themed.SortMarkerStyle(), smsRed);
            UseStyle("Windows");
        }
        // On a palette screen shading is refused unless a theme draws faces.
        SetScreenBitsPerPixelForTesting(8);
        g.SetShadowed(false);
        g.SetShadowed(true);
        QCOMPARE(g.Shadowed(), false);
        UseStyle("Fusion");
        g.SetShadowed(true);
        QCOMPARE(g.Shadowed(), true);
        UseStyle("Windows");
        SetScreenBitsPerPixelForTesting(0);
    }

    void eachKindOfCellGetsItsPicture() {
        TMemTable t;
        FillKinds(t, SolidBmp(40, 20, QColor(255, 0, 0)));
        TGridWindow w(&t, QSize(700, 200));
        TKXDBGrid& g = *w.Grid;
        for (int i = 0; i < g.ColumnCount(); ++i)
            g.Column(i).SetWidth(60);
        // Without DrawBool a boolean is its text; with it, the boxes, but a
        // null stays without one.
        QCOMPARE(KindOf(g, 0, 0), int(ikNone));
        g.SetDrawBool(true);
        QCOMPARE(KindOf(g, 0, 0), int(ikTrue));
        QCOMPARE(KindOf(g, 1, 0), int(ikFalse));
        QCOMPARE(KindOf(g, 2, 0), int(ikNone));
        QCOMPARE(KindOf(g, 0, 1), int(ikMemo));
        QCOMPARE(KindOf(g, 2, 1), int(ikNone)); // a null memo
        QCOMPARE(KindOf(g, 0, 2), int(ikGraphic));
        QCOMPARE(KindOf(g, 0, 3), int(ikBlob));
        QCOMPARE(KindOf(g, 0, 4), int(ikOle));
        g.SetDrawGraphic(true);
        QCOMPARE(KindOf(g, 0, 2), int(ikFieldPicture));
        g.SetDrawGraphic(false);

        g.SetCol(6); // the current cell away from the pictures
        QImage shot = Render(g);
        // The check box: 13 x 13, centred, 2 pixels below the cell's top.
        const QRect flag = g.CellRect(1, 1);
        const int bx = (flag.left() + flag.left() + flag.width()) / 2 - 6;
        CHECK_IMAGE(shot, GridImage(giTrue), bx, flag.top() + 2, true);
        CHECK_IMAGE(shot, GridImage(giFalse), bx, g.CellRect(1, 2).top() + 2, true);
        QCOMPARE(Ink(shot, g.CellRect(1, 3)), 0);
        QCOMPARE(TKXDBGrid::CheckBoxRect(flag),
                 QRect(bx, flag.top() + flag.height() / 2 - 6, 13, 13));
        // Memo, graphic, BLOB and OLE glyphs, 16 x 14, centred.
        for (int col = 2; col <= 5; ++col) {
            const QRect r = g.CellRect(col, 1);
            const int kind = col == 2 ? giMemo : col == 3 ? giPicture : col == 4 ? giBlob : giOle;
            CHECK_IMAGE(shot, GridImage(kind), (r.left() + r.left() + r.width()) / 2 - 8,
                        r.top() + 2, true);
        }

        // A column too narrow for the image shows the text instead.
        g.Column(1).SetWidth(17);
        g.viewport()->update();
        shot = Render(g);
        const QRect narrow = g.CellRect(2, 1);
        CHECK_IMAGE(shot, GridImage(giMemo),
                    (narrow.left() + narrow.left() + narrow.width()) / 2 - 8, narrow.top() + 2,
                    false);
        QVERIFY(Ink(shot, narrow) > 0); // "(MEMO)" cut off by the cell
        g.Column(1).SetWidth(60);

        // DrawGraphic: the picture scaled to the cell's height, at its left.
        g.SetDrawGraphic(true);
        shot = Render(g);
        const QRect pic = g.CellRect(3, 1);
        const int ch = pic.height() - 2, sw = 40 * ch / 20;
        const int top = pic.top() + (pic.height() - ch) / 2;
        CHECK_PIXEL(shot, pic.left() + 1, top, clRed);
        CHECK_PIXEL(shot, pic.left() + sw, top + ch - 1, clRed);
        CHECK_PIXEL(shot, pic.left() + sw + 2, top + ch / 2, clWindow);
        CHECK_PIXEL(shot, pic.left() + 1, top - 1, clWindow);
        // A picture that is wider than the cell fits its width instead.
        g.Column(2).SetWidth(22);
        g.viewport()->update();
        shot = Render(g);
        const QRect thin = g.CellRect(3, 1);
        const int tw = thin.width() - 2, th = 20 * tw / 40;
        const int ttop = thin.top() + (thin.height() - th) / 2;
        CHECK_PIXEL(shot, thin.left() + 1, ttop, clRed);
        CHECK_PIXEL(shot, thin.left() + tw, ttop + th - 1, clRed);
        CHECK_PIXEL(shot, thin.left() + 2, ttop - 1, clWindow);
        g.SetDrawGraphic(false);

        // Rows of two lines: memo text instead of its glyph, pictures drawn.
        g.ChangeRowHeight(true);
        QCOMPARE(KindOf(g, 0, 1), int(ikNone));
        QCOMPARE(KindOf(g, 0, 2), int(ikFieldPicture));
        shot = Render(g);
        const QRect memo = g.CellRect(2, 2);
        CHECK_IMAGE(shot, GridImage(giMemo), (memo.left() + memo.left() + memo.width()) / 2 - 8,
                    memo.top() + 2, false);
        const int line = g.BaseLineHeight();
        QVERIFY(Ink(shot, QRect(memo.left(), memo.top(), memo.width(), line - 2)) > 0);
        QVERIFY(Ink(shot, QRect(memo.left(), memo.top() + line, memo.width(), line - 2)) > 0);
        // A single-line record's second line stays empty.
        const QRect one = g.CellRect(2, 1);
        QCOMPARE(Ink(shot, QRect(one.left(), one.top() + line, one.width(), line - 2)), 0);
    }

    void frozenColumnsFollowTheRules() {
        TMemTable four;
        four.FieldDefs().Add("A", ftString, 6);
        four.FieldDefs().Add("B", ftString, 6);
        four.FieldDefs().Add("C", ftString, 6);
        four.FieldDefs().Add("D", ftString, 6);
        four.Open();
        for (int i = 0; i < 5; ++i)
            four.AppendRecord({TValue::OfText("a"), TValue::OfText("b"), TValue::OfText("c"),
                               TValue::OfText("d")});
        four.First();
        TGridWindow w(&four);
        TKXDBGrid& g = *w.Grid;
        g.SetFixedColumns(5);
        QCOMPARE(g.FixedColumns(), 2);
        QCOMPARE(g.FixedCols(), 3);
        g.SetFixedColumns(-1);
        QCOMPARE(g.FixedColumns(), 0);
        QCOMPARE(g.FixedCols(), 1);
        g.SetCol(1);
        g.SetFixedColumns(1);
        QCOMPARE(g.Col(), 2); // the current column left the frozen one
        // Clicking into a frozen column selects the first scrolling one.
        g.SetCol(4);
        ClickCell(g, 1, 2);
        QCOMPARE(g.Col(), 2);
        QCOMPARE(four.RecNo(), 2);
        Key(g, Qt::Key_Home);
        QCOMPARE(g.Col(), 2);
        Key(g, Qt::Key_Left);
        QCOMPARE(g.Col(), 2);
        // Frozen cells are drawn in the fixed colour, the others not.
        const QImage shot = Render(g);
        const QRect frozen = g.CellRect(1, 3), free = g.CellRect(3, 3);
        CHECK_PIXEL(shot, frozen.right() - 2, frozen.center().y(), clBtnFace);
        CHECK_PIXEL(shot, free.right() - 2, free.center().y(), clWindow);
        // The editor ends when columns freeze.
        g.SetFixedColumns(0);
        g.ShowEditor();
        QVERIFY(g.EditorMode());
        g.SetFixedColumns(1);
        QVERIFY(!g.EditorMode());
        // Every change of the layout keeps them.
        g.SetOptions(g.Options() & ~dgRowLines);
        QCOMPARE(g.FixedCols(), 2);

        TMemTable one;
        one.FieldDefs().Add("A", ftString, 6);
        one.Open();
        one.AppendRecord({TValue::OfText("a")});
        TGridWindow w1(&one);
        w1.Grid->SetFixedColumns(1);
        QCOMPARE(w1.Grid->FixedColumns(), 0);
        QCOMPARE(w1.Grid->FixedCols(), 1);
    }

    void captionsMakeRoomForTheMarker() {
        TMemTable t;
        t.FieldDefs().Add("A", ftString, 10);
        t.FieldDefs().Add("B", ftString, 10);
        t.Open();
        t.AppendRecord({TValue::OfText("x"), TValue::OfText("y")});
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        g.SetTitleButtons(true);
        g.SetSelectedIndex(1);
        TFont title = g.TitleFont();
        title.Color = clBlue;
        g.SetTitleFont(title);
        g.Column(0).SetWidth(70);
        g.Column(0).SetTitleCaption("WWWWWWWWWWWWWWWWWWWW");
        TSortMarker marker = smNone;
        g.OnGetBtnParams = [&](TKXDBGrid&, TField*, TFont&, TColor&, TSortMarker& m, bool) {
            m = marker;
        };
        const QFontMetrics& fm = TQtFontMetrics::Instance().Of(title);
        const QRect cell = g.CellRect(1, 0);
        const QRect r2 = cell.adjusted(1, 1, -1, -1);
        // The right end of the blue caption.
        auto captionEnd = [&] {
            const QImage shot = Render(g);
            int end = -1;
            for (int x = cell.left(); x < cell.left() + cell.width(); ++x)
                for (int y = cell.top(); y < cell.top() + cell.height(); ++y)
                    if (qBlue(shot.pixel(x, y)) > 150 && qRed(shot.pixel(x, y)) < 100) end = x;
            return end;
        };
        auto expectedEnd = [&](int m) {
            const QString text =
                ShortenCaption(QStringLiteral("WWWWWWWWWWWWWWWWWWWW"), fm, r2.width() - m - 2);
            return r2.left() + 2 + fm.horizontalAdvance(text);
        };
        const int full = captionEnd();
        QVERIFY2(full <= expectedEnd(0) && full >= expectedEnd(0) - 4,
                 QByteArray::number(full).constData());
        marker = smUp;
        g.SetSortMarkerStyle(smsClassic);
        g.viewport()->update();
        const int classic = captionEnd();
        const int classicM = GridImage(giSortUp).width() + 4;
        QVERIFY2(classic <= expectedEnd(classicM) && classic >= expectedEnd(classicM) - 4,
                 QByteArray::number(classic).constData());
        g.SetSortMarkerStyle(smsRed);
        const int red = captionEnd();
        QVERIFY2(red <= expectedEnd(12) && red >= expectedEnd(12) - 4,
                 QByteArray::number(red).constData());
        QVERIFY(red < full);
    }

    void markersStandWhereTheyAreDrawn() {
        TMemTable t;
        t.FieldDefs().Add("A", ftString, 10);
        t.FieldDefs().Add("B", ftString, 10);
        t.Open();
        t.AppendRecord({TValue::OfText("x"), TValue::OfText("y")});
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        g.SetTitleButtons(true);
        g.SetSelectedIndex(1);
        g.Column(0).SetTitleCaption("");
        TSortMarker marker = smUp;
        g.OnGetBtnParams = [&](TKXDBGrid&, TField* f, TFont&, TColor&, TSortMarker& m, bool) {
            m = f->FieldName() == "A" ? marker : smNone;
        };
        const QRect cell = g.CellRect(1, 0);
        const int right = cell.left() + cell.width() - 1, top = cell.top() + 1; // R2
        const int m = 12;
        struct TStyle {
            TSortMarkerStyle Style;
            TColor Color;
        };
        for (const TStyle s :
             {TStyle{smsRed, RGBColor(255, 0, 0)}, TStyle{smsGreen, RGBColor(0, 128, 0)},
              TStyle{smsBlue, RGBColor(0, 0, 255)}, TStyle{smsWhite, RGBColor(255, 255, 255)}}) {
            g.SetSortMarkerStyle(s.Style);
            marker = smUp;
            g.viewport()->update();
            QImage shot = Render(g);
            CHECK_PIXEL(shot, right - m / 2 - 1, top + 3, s.Color); // the tip
            CHECK_PIXEL(shot, right - m + 1, top + 7, s.Color);     // base, left
            CHECK_PIXEL(shot, right - 3, top + 7, s.Color);         // base, right
            CHECK_PIXEL(shot, right - m / 2 - 1, top + 6, s.Color); // inside
            // (Around a white marker the shaded face is white too.)
            if (s.Style != smsWhite) {
                QVERIFY(Pixel(shot, right - m / 2 - 1, top + 2) != ColorToRGB(s.Color));
                QVERIFY(Pixel(shot, right - m + 1, top + 8) != ColorToRGB(s.Color));
                QVERIFY(Pixel(shot, right - m + 1, top + 3) != ColorToRGB(s.Color));
            }
            marker = smDown;
            g.viewport()->update();
            shot = Render(g);
            CHECK_PIXEL(shot, right - m / 2 - 1, top + 7, s.Color);
            CHECK_PIXEL(shot, right - m + 1, top + 3, s.Color);
            CHECK_PIXEL(shot, right - 3, top + 3, s.Color);
            if (s.Style != smsWhite) {
                QVERIFY(Pixel(shot, right - m / 2 - 1, top + 8) != ColorToRGB(s.Color));
                QVERIFY(Pixel(shot, right - m + 1, top + 7) != ColorToRGB(s.Color));
            }
        }
        // The classic marker is its bitmap, keyed by magenta, 2 below the top.
        g.SetSortMarkerStyle(smsClassic);
        for (TSortMarker mk : {smUp, smDown}) {
            marker = mk;
            g.viewport()->update();
            const QImage shot = Render(g);
            const QImage& bmp = GridImage(mk == smUp ? giSortUp : giSortDown);
            CHECK_IMAGE(shot, bmp, right - bmp.width() - 1, top + 2, true);
        }
    }

    void borderFollowsFlatAndStyle() {
        TKXDBGrid g;
        g.resize(200, 100);
        g.show();
        QApplication::processEvents();
        QCOMPARE(g.contentsMargins().left(), 2);
        g.SetFlat(true);
        QCOMPARE(g.contentsMargins().left(), 1);
        QImage shot = g.grab().toImage();
        CHECK_PIXEL(shot, 0, 0, clBtnShadow);
        CHECK_PIXEL(shot, 50, 0, clBtnShadow);
        CHECK_PIXEL(shot, 199, 50, clBtnHighlight);
        CHECK_PIXEL(shot, 50, 99, clBtnHighlight);
        g.SetBorderStyle(bsNone);
        QCOMPARE(g.contentsMargins().left(), 0);
        g.SetBorderStyle(bsSingle);
        g.SetFlat(false);
        shot = g.grab().toImage();
        CHECK_PIXEL(shot, 0, 0, clBtnShadow);
        CHECK_PIXEL(shot, 1, 1, cl3DDkShadow);
        CHECK_PIXEL(shot, 199, 99, clBtnHighlight);
    }

    void theLogoNeedsRoom() {
        TKXDBGrid g;
        g.SetShowLogo(true);
        g.show();
        auto hasInk = [&](int w, int h) {
            g.resize(w, h);
            QApplication::processEvents();
            const QImage shot = g.viewport()->grab().toImage();
            return Ink(shot, shot.rect()) > 0;
        };
        QVERIFY(!hasInk(240, 300));
        QVERIFY(hasInk(241, 300));
        QVERIFY(!hasInk(400, 160));
        QVERIFY(hasInk(400, 161));
        g.SetShowLogo(false);
        QVERIFY(!hasInk(400, 300));
        // The ellipse stands a tenth of the height plus 20 from the edges.
        g.SetShowLogo(true);
        g.resize(404, 304);
        QApplication::processEvents();
        const QImage shot = g.viewport()->grab().toImage();
        const int a = g.viewport()->height() / 10 + 20;
        const int cx = g.viewport()->width() / 2;
        QVERIFY(qGray(shot.pixel(cx, a)) < 100 || qGray(shot.pixel(cx, a + 1)) < 100);
        QVERIFY(qGray(shot.pixel(cx, a - 2)) > 200);
    }

    void nonAsciiTextIsDrawn() {
        TMemTable t;
        t.FieldDefs().Add("Имя", ftString, 30);
        t.Open();
        t.AppendRecord({TValue::OfText("Zoë Ærø")});
        t.AppendRecord({TValue::OfText("Иван Петров")});
        t.AppendRecord({TValue::OfText("李小龙")});
        t.AppendRecord({TValue::OfText("🎉😀")});
        t.First();
        TGridWindow w(&t);
        TKXDBGrid& g = *w.Grid;
        g.SetOptions(g.Options() & ~dgIndicator);
        QCOMPARE(g.Column(0).TitleCaption(), std::string("Имя"));
        const QImage shot = Render(g);
        for (int row = 0; row <= 4; ++row)
            QVERIFY2(Ink(shot, g.CellRect(0, row)) > 10, QByteArray::number(row).constData());
        // No character falls to the font's empty box.
        const QFontMetrics& fm = TQtFontMetrics::Instance().Of(g.Font());
        for (const char* s : {"Zoë Ærø", "Иван Петров", "李小龙"})
            for (QChar c : QString::fromUtf8(s))
                QVERIFY(c.isSpace() || fm.inFont(c) ||
                        QFontMetrics(QFont(QStringLiteral("WenQuanYi Zen Hei"))).inFont(c));
    }
};

QTEST_MAIN(KXDBGridPaintTest)
#include "KXDBGridPaintTest.moc"

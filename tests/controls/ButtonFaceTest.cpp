// The face painter: shapes, outlines, shading bands, glyphs, captions,
// focus rectangle and drop-down arrow, checked pixel by pixel where the
// look is given by numbers.

#include "tests/controls/WidgetTestSupport.h"

#include "controls/GraphicUtils.h"
#include "controls/VisualStyle.h"

#include <QFontMetrics>
#include <QTest>
#include <QWidget>

#include <vector>

using namespace widgettest;

namespace {
constexpr TColor Face = RGBColor(200, 180, 160);
constexpr TColor Hot = RGBColor(150, 200, 250);

TkxButtonFace Plain(int w, int h, TkxFaceState state, TkxBtnForm form = efRect) {
    TkxButtonFace f;
    f.Rect = QRect(0, 0, w, h);
    f.FaceColor = Face;
    f.HotColor = Hot;
    f.State = state;
    f.EdgeForm = form;
    f.Shadowed = false;
    return f;
}

// A strip of `count` 8 x 8 images in distinct colours, each keyed by a
// magenta bottom-left pixel.
constexpr TColor StripColors[5] = {RGBColor(255, 0, 0), RGBColor(0, 160, 0), RGBColor(0, 0, 255),
                                   RGBColor(255, 200, 0), RGBColor(0, 200, 200)};
constexpr TColor Key = RGBColor(255, 0, 255);

QPixmap Strip(int count, int size = 8) {
    QImage img(size * count, size, QImage::Format_ARGB32);
    for (int i = 0; i < count; ++i) {
        QPainter p(&img);
        p.fillRect(QRect(i * size, 0, size, size), ToQColor(StripColors[i]));
        p.fillRect(QRect(i * size, size - 1, 1, 1), ToQColor(Key));
    }
    return QPixmap::fromImage(img);
}

int ImageAt(const QImage& img, int x, int y) {
    for (int i = 0; i < 5; ++i)
        if (Pixel(img, x, y) == StripColors[i]) return i;
    return -1;
}

struct TOutlineCase {
    const char* Name;
    TkxBtnForm Form;
    TkxFaceState State;
    bool Flat;
    bool DrawFocus;
    std::vector<std::tuple<int, int, TColor>> Pixels; // on a 31 x 31 face
};
} // namespace

class ButtonFaceTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InitControls();
        UseStyle("Windows");
    }

    void lightenAndDarkenColours() {
        QCOMPARE(LightenColor(RGBColor(250, 100, 0), 12), RGBColor(255, 112, 12));
        QCOMPARE(DarkenColor(RGBColor(250, 100, 5), 12), RGBColor(236, 87, 0));
        // At the limits: v < 255 - amount lightens, v > amount darkens.
        QCOMPARE(LightenColor(RGBColor(242, 243, 244), 12), RGBColor(254, 255, 255));
        QCOMPARE(DarkenColor(RGBColor(12, 13, 199), 12), RGBColor(0, 1, 186));
        // System colours are resolved first.
        QCOMPARE(LightenColor(clBtnShadow, 0), ColorToRGB(clBtnShadow));
        QCOMPARE(DarkenColor(clBtnFace, 6), DarkenColor(ColorToRGB(clBtnFace), 6));
    }

    void captionsShortenStepByStep() {
        const QFontMetrics fm(QApplication::font());
        const QString text = QStringLiteral("Abcdefgh");
        auto w = [&](const char* s) { return fm.horizontalAdvance(QLatin1String(s)); };
        QCOMPARE(ShortenCaption(text, fm, fm.horizontalAdvance(text)), text);
        // The first step drops two characters, each further step one more.
        QCOMPARE(ShortenCaption(text, fm, w("Abcdef...")), QStringLiteral("Abcdef..."));
        QCOMPARE(ShortenCaption(text, fm, w("Abcdef...") - 1), QStringLiteral("Abcde..."));
        QCOMPARE(ShortenCaption(text, fm, w("Ab...")), QStringLiteral("Ab..."));
        QCOMPARE(ShortenCaption(text, fm, 0), QStringLiteral("..."));
        QCOMPARE(ShortenCaption(QString(), fm, 0), QString());
        // A character outside the basic plane is kept whole or dropped whole.
        const QString wide =
            QStringLiteral("a") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("bcd");
        for (int max = 0; max <= fm.horizontalAdvance(wide); ++max) {
            const QString s = ShortenCaption(wide, fm, max);
            for (qsizetype i = 0; i < s.size(); ++i)
                QVERIFY2(!s.at(i).isHighSurrogate() ||
                             (i + 1 < s.size() && s.at(i + 1).isLowSurrogate()),
                         qPrintable(s));
        }
    }

    void outlinesByStateAndShape() {
        const int e = 30; // the far edge of a 31 x 31 face
        const TColor H = clBtnHighlight, S = clBtnShadow, W = clWindowFrame;
        // clang-format off
        const std::vector<TOutlineCase> cases = {
            {"rect normal", efRect, fcsNormal, false, false,
             {{15, 0, H}, {15, 1, Face}, {0, 15, H}, {15, e, S}, {e, 15, S}, {15, e - 1, Face},
              {15, 15, Face}}},
            {"rect normal flat", efRect, fcsNormal, true, false,
             {{15, 0, Face}, {0, 15, Face}, {15, e, Face}, {15, 15, Face}}},
            {"rect normal flat with focus", efRect, fcsNormal, true, true,
             {{15, 0, S}, {0, 15, S}, {15, e, S}, {15, 15, Face}}},
            {"rect disabled", efRect, fcsDisabled, false, false,
             {{15, 0, S}, {0, 15, S}, {15, e, S}, {e, 15, S}, {15, 1, Face},
              {15, 15, Face}}},
            {"rect disabled flat", efRect, fcsDisabled, true, false, {{15, 0, Face}, {15, e, Face}}},
            {"rect down", efRect, fcsDown, false, false,
             {{15, 0, W}, {15, 1, S}, {1, 15, S}, {15, e, W}, {15, e - 1, S}, {15, 15, Hot}}},
            {"rect down flat", efRect, fcsDown, true, false,
             {{15, 0, W}, {15, 1, Hot}, {e, 15, W}, {15, 15, Hot}}},
            {"rect hot", efRect, fcsHot, false, false,
             {{15, 0, cl3DLight}, {15, 1, H}, {0, 15, cl3DLight}, {15, e, cl3DDkShadow},
              {15, e - 1, S}, {e, 15, cl3DDkShadow}, {e, 0, cl3DDkShadow}, {15, 15, Hot}}},
            {"rect hot flat", efRect, fcsHot, true, false,
             {{15, 0, H}, {15, 1, Hot}, {15, e, S}, {15, e - 1, Hot}}},
            {"round normal", efRoundRect, fcsNormal, false, false,
             {{15, 0, H}, {15, e - 1, H}, {15, e, S}, {0, 15, H}, {e - 1, 15, H}, {e, 15, S},
              {15, 15, Face}}},
            {"round disabled", efRoundRect, fcsDisabled, false, false,
             {{15, 0, H}, {15, e, S}, {15, 15, Face}}},
            {"round down", efRoundRect, fcsDown, false, false,
             {{15, 0, W}, {15, 1, S}, {15, e - 1, S}, {15, e, W}, {0, 15, W}, {15, 15, Hot}}},
            {"round down flat", efRoundRect, fcsDown, true, false,
             {{15, 0, W}, {15, 1, Hot}, {15, e, W}}},
            {"round hot", efRoundRect, fcsHot, false, false,
             {{15, 0, S}, {15, 1, H}, {15, e - 1, H}, {15, e, W}, {0, 15, S}, {1, 15, H},
              {e, 15, W}, {15, 15, Hot}}},
            {"round hot flat", efRoundRect, fcsHot, true, false,
             {{15, 0, H}, {15, e - 1, H}, {15, e, S}, {15, 15, Hot}}},
            {"round normal flat", efRoundRect, fcsNormal, true, false, {{15, 0, Face}}},
            {"round normal flat with focus", efRoundRect, fcsNormal, true, true,
             {{15, 0, S}, {15, e, S}}},
        };
        // clang-format on
        for (const TOutlineCase& c : cases) {
            TkxButtonFace f = Plain(31, 31, c.State, c.Form);
            f.Flat = c.Flat;
            f.DrawFocus = c.DrawFocus;
            const QImage img = RenderFace(f, 31, 31);
            for (const auto& [x, y, color] : c.Pixels) {
                QByteArray why;
                QVERIFY2(IsColor(img, x, y, color, why),
                         (QByteArray(c.Name) + ": " + why).constData());
            }
        }
    }

    void ellipsesFollowTheSameOutlines() {
        // Curves are antialiased; their pixels at the middle of each side
        // are the outline's colour all but a little.
        TkxButtonFace f = Plain(31, 31, fcsHot, efEllipse);
        QImage img = RenderFace(f, 31, 31);
        CHECK_NEAR(img, 15, 0, clBtnShadow, 40);
        CHECK_NEAR(img, 15, 1, clBtnHighlight, 40);
        CHECK_NEAR(img, 15, 30, clWindowFrame, 40);
        CHECK_NEAR(img, 30, 15, clWindowFrame, 40);
        CHECK_PIXEL(img, 15, 15, Hot);
        QVERIFY(Alpha(img, 1, 1) < 40); // the corners stay the background's

        // At rest and flat the ellipse lies one pixel inside the face.
        f = Plain(31, 31, fcsNormal, efEllipse);
        f.Flat = true;
        f.DrawFocus = true;
        img = RenderFace(f, 31, 31);
        QVERIFY(Alpha(img, 15, 0) < 40);
        CHECK_NEAR(img, 15, 1, clBtnShadow, 40);
        CHECK_NEAR(img, 15, 29, clBtnShadow, 40);
    }

    void cornersShrinkAtTwentyPixels() {
        QCOMPARE(FaceCorner(25, 25), 5);
        QCOMPARE(FaceCorner(20, 20), 3);
        // What the corner leaves of the background, top left.
        auto clearness = [](int w, int h) {
            const QImage img = RenderFace(Plain(w, h, fcsNormal, efRoundRect), w, h);
            int sum = 0;
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 3; ++x)
                    sum += 255 - Alpha(img, x, y);
            return sum;
        };
        const int big = clearness(25, 25);
        QCOMPARE(clearness(21, 21), big);
        QCOMPARE(clearness(21, 20), clearness(20, 20));
        QCOMPARE(clearness(20, 21), clearness(20, 20));
        QVERIFY2(big > clearness(20, 20) + 200, "a corner of 5 is rounder than one of 3");
    }

    void bandsShadeTheFace() {
        // The face region (the rectangle less its edge) is 90 rows high:
        // nine bands of 10 rows, counted from the top of the canvas.
        TkxButtonFace f = Plain(40, 92, fcsNormal);
        f.Shadowed = true;
        QImage img = RenderFace(f, 40, 92);
        const int lift[9] = {36, 30, 24, 18, 12, 6, 0, -6, -12};
        for (int k = 0; k < 9; ++k) {
            const int row = k * 10 + 5;
            const TColor expected = lift[k] > 0   ? LightenColor(Face, lift[k])
                                    : lift[k] < 0 ? DarkenColor(Face, -lift[k])
                                                  : Face;
            CHECK_PIXEL(img, 20, row, expected);
        }
        // Band k reaches one row into band k+1, which paints over it.
        CHECK_PIXEL(img, 20, 10, LightenColor(Face, 30));
        CHECK_PIXEL(img, 20, 61, Face); // band 6 untouched from its second row
        CHECK_PIXEL(img, 20, 90, DarkenColor(Face, 12));
        CHECK_PIXEL(img, 20, 0, clBtnHighlight); // the edge is not shaded
        CHECK_PIXEL(img, 20, 91, clBtnShadow);
        CHECK_PIXEL(img, 1, 5, LightenColor(Face, 36)); // across the region's width

        // Pressed (not flat: the region is the rectangle less two pixels,
        // again 90 rows): the hot colour, dark at the top, band 7 untouched.
        f.State = fcsDown;
        f.Rect = QRect(0, 0, 40, 94);
        img = RenderFace(f, 40, 94);
        CHECK_PIXEL(img, 20, 5, DarkenColor(Hot, 42));
        CHECK_PIXEL(img, 20, 65, DarkenColor(Hot, 6));
        CHECK_PIXEL(img, 20, 75, Hot);
        CHECK_PIXEL(img, 20, 85, LightenColor(Hot, 6));

        // Hot: the region's box moves one pixel right, so the region's first
        // column keeps the fill; every band reaches two rows further down,
        // the last one to the region's last row.
        f.State = fcsHot;
        img = RenderFace(f, 40, 94);
        CHECK_PIXEL(img, 2, 35, Hot);
        CHECK_PIXEL(img, 3, 35, LightenColor(Hot, 18));
        CHECK_PIXEL(img, 20, 42, LightenColor(Hot, 12));
        CHECK_PIXEL(img, 20, 91, DarkenColor(Hot, 12));
        f.State = fcsDown;
        CHECK_PIXEL(RenderFace(f, 40, 94), 20, 91, Hot);
    }

    void bandsCountFromTheCanvasTop() {
        // The same face 30 rows down the canvas: the bands stay where they
        // were, so its top rows get band 3.
        TkxButtonFace f = Plain(40, 92, fcsNormal);
        f.Shadowed = true;
        f.Rect.translate(0, 30);
        const QImage img = RenderFace(f, 40, 130);
        CHECK_PIXEL(img, 20, 35, LightenColor(Face, 18));
        CHECK_PIXEL(img, 20, 95, Face); // below all bands
    }

    void noBandsWhereTheFaceIsNotShaded() {
        for (auto [state, flat] : {std::pair{fcsNormal, true}, std::pair{fcsDisabled, false}}) {
            TkxButtonFace f = Plain(40, 92, state);
            f.Shadowed = true;
            f.Flat = flat;
            const QImage img = RenderFace(f, 40, 92);
            CHECK_PIXEL(img, 20, 5, Face);
            CHECK_PIXEL(img, 20, 85, Face);
        }
        TkxButtonFace f = Plain(40, 92, fcsNormal);
        f.Shadowed = false;
        CHECK_PIXEL(RenderFace(f, 40, 92), 20, 5, Face);
    }

    void themesDrawTheirOwnFaces() {
        auto fusion = MakeStyle("Fusion");
        QWidget themed;
        themed.setStyle(fusion.get());
        QVERIFY(IsThemeActive(&themed));
        QVERIFY(!IsThemeActive(nullptr)); // the application's classic style

        TkxButtonFace f = Plain(40, 92, fcsNormal);
        f.Shadowed = true;
        f.ThemeWindow = &themed;
        const QImage face = RenderFace(f, 40, 92);
        QImage theme = Canvas(40, 92);
        {
            QPainter p(&theme);
            DrawThemeButtonBackground(p, &themed, f.Rect, pbsNormal);
        }
        QCOMPARE(face, theme);
        QVERIFY(Pixel(face, 20, 5) != LightenColor(Face, 36));

        // Unshaded, the classic face is drawn under a theme too.
        f.Shadowed = false;
        TkxButtonFace classic = f;
        classic.ThemeWindow = nullptr;
        QCOMPARE(RenderFace(f, 40, 92), RenderFace(classic, 40, 92));
    }

    void themeStatesFollowTheFace() {
        auto fusion = MakeStyle("Fusion");
        QWidget themed;
        themed.setStyle(fusion.get());
        auto themeImage = [&](TkxThemeButtonState s, int w, int h) {
            QImage img = Canvas(w, h);
            QPainter p(&img);
            DrawThemeButtonBackground(p, &themed, QRect(0, 0, w, h), s);
            return img;
        };
        auto faceImage = [&](TkxFaceState s, bool focused, bool drawFocus, int w, int h) {
            TkxButtonFace f = Plain(w, h, s);
            f.Shadowed = true;
            f.ThemeWindow = &themed;
            f.Focused = focused;
            f.DrawFocus = drawFocus;
            return RenderFace(f, w, h);
        };
        QCOMPARE(faceImage(fcsDown, false, false, 30, 30), themeImage(pbsPressed, 30, 30));
        QCOMPARE(faceImage(fcsDisabled, false, false, 30, 30), themeImage(pbsDisabled, 30, 30));
        QCOMPARE(faceImage(fcsHot, false, true, 30, 30), themeImage(pbsHot, 30, 30));
        // Hot needs DrawFocus and a face larger than 17 pixels.
        QCOMPARE(faceImage(fcsHot, false, false, 30, 30), themeImage(pbsNormal, 30, 30));
        QCOMPARE(faceImage(fcsHot, false, true, 17, 30), themeImage(pbsNormal, 17, 30));
        QCOMPARE(faceImage(fcsNormal, true, false, 30, 30), themeImage(pbsDefaulted, 30, 30));
        QVERIFY(themeImage(pbsPressed, 30, 30) != themeImage(pbsNormal, 30, 30));
    }

    void glyphImageByState() {
        struct TCase {
            TkxFaceState State;
            bool Focused, Flat;
            int NumGlyphs, Image;
        };
        const TCase cases[] = {
            {fcsNormal, false, false, 5, 0}, {fcsNormal, true, false, 5, 4},
            {fcsNormal, true, true, 5, 0},   {fcsDown, false, false, 5, 3},
            {fcsHot, false, false, 5, 2},    {fcsDisabled, false, false, 5, 1},
            {fcsDown, false, false, 3, 2},   {fcsDown, false, false, 2, 0},
            {fcsHot, false, false, 2, 0},    {fcsDisabled, false, false, 2, 1},
            {fcsNormal, true, false, 4, 0},
        };
        for (const TCase& c : cases) {
            TkxButtonFace f = Plain(30, 30, c.State);
            f.Glyph = Strip(c.NumGlyphs);
            f.NumGlyphs = c.NumGlyphs;
            f.Focused = c.Focused;
            f.Flat = c.Flat;
            const QImage img = RenderFace(f, 30, 30);
            // A glyph of 8 centred at 15: 11..18; pressed it moves with the
            // content and again by itself.
            const int at = c.State == fcsDown ? 13 : 11;
            QVERIFY2(ImageAt(img, at + 3, at + 3) == c.Image,
                     qPrintable(QStringLiteral("state %1 focused %2 flat %3 glyphs %4: image %5")
                                    .arg(c.State)
                                    .arg(c.Focused)
                                    .arg(c.Flat)
                                    .arg(c.NumGlyphs)
                                    .arg(ImageAt(img, at + 3, at + 3))));
            QVERIFY(ImageAt(img, at, at) == c.Image);
            QVERIFY(ImageAt(img, at - 1, at - 1) != c.Image);
            QVERIFY2(Pixel(img, at, at + 7) != Key, "the key colour is left out");
        }
        // Themed, the focused look is the theme's, not image 4.
        auto fusion = MakeStyle("Fusion");
        QWidget themed;
        themed.setStyle(fusion.get());
        TkxButtonFace f = Plain(30, 30, fcsNormal);
        f.Glyph = Strip(5);
        f.NumGlyphs = 5;
        f.Focused = true;
        f.Shadowed = true;
        f.ThemeWindow = &themed;
        QCOMPARE(ImageAt(RenderFace(f, 30, 30), 14, 14), 0);
    }

    void glyphOffsetsAndEffects() {
        // Small faces do not move the glyph by itself when pressed.
        TkxButtonFace f = Plain(19, 30, fcsDown);
        f.Glyph = Strip(1);
        QImage img = RenderFace(f, 19, 30);
        // Content moved to x 1: cx = 1 + 19 / 2 = 10, left 6; top 1 + 15 - 4 = 12
        QCOMPARE(ImageAt(img, 6, 12), 0);
        QVERIFY(ImageAt(img, 5, 12) != 0);
        // Hot with HiLightMode 3: lifted one pixel, a grey shadow below right.
        f = Plain(30, 30, fcsHot);
        f.Glyph = Strip(1);
        f.HiLightMode = 3;
        img = RenderFace(f, 30, 30);
        QCOMPARE(ImageAt(img, 10, 10), 0);
        CHECK_PIXEL(img, 19, 19, clBtnShadow);
        // One image, disabled: embossed in highlight and shadow.
        f = Plain(30, 30, fcsDisabled);
        f.Glyph = Strip(1);
        img = RenderFace(f, 30, 30);
        CHECK_PIXEL(img, 11, 11, clBtnShadow);
        CHECK_PIXEL(img, 19, 18, clBtnHighlight);
    }

    void captionLayoutBesideTheGlyph() {
        const QFontMetrics fm(QApplication::font());
        TkxButtonFace f = Plain(200, 30, fcsNormal);
        f.Glyph = Strip(1, 16);
        f.Caption = QStringLiteral("Open");
        const int tw = fm.horizontalAdvance(f.Caption);
        TkxFaceLayout l = LayoutButtonFace(f, fm);
        QCOMPARE(l.Total, tw + 16 + 6);
        QCOMPARE(l.GlyphPos, QPoint(100 - l.Total / 2, 15 - 8));
        QCOMPARE(l.CaptionRect.left(), 100 + 16 - l.Total / 2 + 6 + 2);
        QCOMPARE(l.CaptionRect.top(), 1);
        QCOMPARE(l.CaptionRect.bottom(), 28);
        QCOMPARE(l.CaptionAlign, int(Qt::AlignLeft));
        f.GlyphRight = true;
        l = LayoutButtonFace(f, fm);
        QCOMPARE(l.GlyphPos.x(), 100 + l.Total / 2 - 16);
        QCOMPARE(l.CaptionRect.left() + l.CaptionRect.width(), tw + 100 - l.Total / 2 - 2);
        QCOMPARE(l.CaptionAlign, int(Qt::AlignRight));
        // Pressed, the content moves one pixel right and down.
        f.State = fcsDown;
        QCOMPARE(LayoutButtonFace(f, fm).GlyphPos, l.GlyphPos + QPoint(1, 1));
        // A drop-down arrow takes 13 pixels off the content's right.
        f.State = fcsNormal;
        f.DropDown = true;
        QCOMPARE(LayoutButtonFace(f, fm).Content.width(), 200 - 13);
    }

    void longCaptionsShortenOnlyBesideAGlyph() {
        const QFontMetrics fm(QApplication::font());
        TkxButtonFace f = Plain(60, 24, fcsNormal);
        f.Caption = QStringLiteral("A rather long caption");
        TkxFaceLayout l = LayoutButtonFace(f, fm);
        QCOMPARE(l.Caption, f.Caption); // clipped by the face instead
        QCOMPARE(l.CaptionRect, f.Rect);
        f.Glyph = Strip(1, 16);
        l = LayoutButtonFace(f, fm);
        QCOMPARE(l.Total, 60 - 19);
        QCOMPARE(l.Caption, ShortenCaption(f.Caption, fm, 60 - 16 - 22));
        QVERIFY(l.Caption.endsWith(QStringLiteral("...")));
        QVERIFY(fm.horizontalAdvance(l.Caption) <= 60 - 16 - 22);
    }

    void captionEffects() {
        QFont big = QApplication::font();
        big.setPixelSize(22);
        big.setBold(true);
        auto render = [&](TkxButtonFace f) {
            QImage img = Canvas(80, 40);
            QPainter p(&img);
            p.setFont(big);
            DrawButtonFace(p, f);
            return img;
        };
        TkxButtonFace f = Plain(80, 40, fcsDisabled);
        f.Caption = QStringLiteral("HW");
        f.FontColor = RGBColor(0, 0, 128);
        QImage img = render(f);
        QVERIFY(Contains(img, clWhite));
        QVERIFY(Contains(img, clGrayText));
        QVERIFY(!Contains(img, RGBColor(0, 0, 128)));

        f.State = fcsHot;
        f.HiLightMode = 1;
        img = render(f);
        QVERIFY(Contains(img, clBtnHighlight));
        QVERIFY(Contains(img, RGBColor(0, 0, 128)));

        f.HiLightMode = 2;
        img = render(f);
        QVERIFY(Contains(img, clGrayText));
        QVERIFY(Contains(img, RGBColor(0, 0, 128)));

        f.State = fcsNormal;
        f.HiLightMode = 0;
        f.Focused = true;
        f.FocusText = true;
        f.FocusTextColor = clRed;
        img = render(f);
        QVERIFY(Contains(img, clRed));
        QVERIFY(!Contains(img, RGBColor(0, 0, 128)));
    }

    void focusRectangles() {
        TkxButtonFace f = Plain(40, 24, fcsNormal);
        f.Focused = true;
        f.DrawFocus = true;
        QImage img = RenderFace(f, 40, 24);
        // Three pixels inside, every other pixel from the top-left corner.
        CHECK_PIXEL(img, 3, 3, clBtnText);
        CHECK_PIXEL(img, 5, 3, clBtnText);
        CHECK_PIXEL(img, 4, 3, Face);
        CHECK_PIXEL(img, 36, 3, Face);
        CHECK_PIXEL(img, 36, 20, clBtnText);
        CHECK_PIXEL(img, 35, 20, Face);
        CHECK_PIXEL(img, 2, 3, Face);
        f.State = fcsDown;
        img = RenderFace(f, 40, 24);
        CHECK_PIXEL(img, 4, 4, clBtnText);
        CHECK_PIXEL(img, 3, 3, Hot);

        // An ellipse's rectangle hugs the content and stays inside the curve.
        const QFontMetrics fm(QApplication::font());
        f = Plain(60, 30, fcsNormal, efEllipse);
        f.Caption = QStringLiteral("Go");
        const int t = fm.horizontalAdvance(f.Caption);
        const QRect r = LayoutButtonFace(f, fm).FocusRect;
        QCOMPARE(r.left(), 30 - t / 2 - 3);
        QCOMPARE(r.left() + r.width(), 30 + t - t / 2 + 3);
        const int m = qRound(std::sqrt(30.0 * 30 - (t / 2) * (t / 2)) * 15 / 30);
        QCOMPARE(r.top(), 3 + 15 + 1 - m);
        QCOMPARE(r.top() + r.height(), 27 - (15 + 1 - m));
        // Without a caption the glyph's width counts.
        f.Caption.clear();
        f.Glyph = Strip(1, 16);
        const QRect g = LayoutButtonFace(f, fm).FocusRect;
        QCOMPARE(g.left(), 30 - 8 - 3);
        QCOMPARE(g.width(), 16 + 6);
    }

    void dropDownArrow() {
        auto arrow = [](const QImage& img, int k) {
            // r = 40, cy = 12: rows of 5, 3 and 1 pixels.
            for (int x = 30; x <= 34; ++x)
                if (Pixel(img, x + k, 11 + k) != ColorToRGB(clBtnText)) return false;
            for (int x = 31; x <= 33; ++x)
                if (Pixel(img, x + k, 12 + k) != ColorToRGB(clBtnText)) return false;
            return Pixel(img, 32 + k, 13 + k) == ColorToRGB(clBtnText) &&
                   Pixel(img, 29 + k, 11 + k) != ColorToRGB(clBtnText) &&
                   Pixel(img, 35 + k, 11 + k) != ColorToRGB(clBtnText) &&
                   Pixel(img, 31 + k, 13 + k) != ColorToRGB(clBtnText) &&
                   Pixel(img, 32 + k, 14 + k) != ColorToRGB(clBtnText) &&
                   Pixel(img, 32 + k, 10 + k) != ColorToRGB(clBtnText);
        };
        TkxButtonFace f = Plain(40, 24, fcsNormal);
        f.Flat = true;
        f.DropDown = true;
        QVERIFY(arrow(RenderFace(f, 40, 24), 0));
        f.DropDownPressed = true;
        QVERIFY(arrow(RenderFace(f, 40, 24), 1));
        QVERIFY(!arrow(RenderFace(f, 40, 24), 0));
        // Disabled: in button shadow, never offset.
        f.State = fcsDisabled;
        const QImage img = RenderFace(f, 40, 24);
        CHECK_PIXEL(img, 30, 11, clBtnShadow);
        CHECK_PIXEL(img, 32, 13, clBtnShadow);
        CHECK_PIXEL(img, 32, 14, Face);
    }

    void keyedBitmaps() {
        QImage src(4, 1, QImage::Format_ARGB32);
        src.setPixelColor(0, 0, QColor(255, 0, 255));
        src.setPixelColor(1, 0, QColor(10, 20, 30));
        src.setPixelColor(2, 0, QColor(255, 0, 255));
        src.setPixelColor(3, 0, QColor(0, 0, 0, 0));
        QImage img = Canvas(6, 2, QColor(1, 2, 3));
        {
            QPainter p(&img);
            DrawKeyedBitmap(p, 1, 1, QPixmap::fromImage(src), RGBColor(255, 0, 255));
        }
        CHECK_PIXEL(img, 1, 1, RGBColor(1, 2, 3));
        CHECK_PIXEL(img, 2, 1, RGBColor(10, 20, 30));
        CHECK_PIXEL(img, 3, 1, RGBColor(1, 2, 3));
        CHECK_PIXEL(img, 4, 1, RGBColor(1, 2, 3));
        QCOMPARE(GlyphKeyColor(QPixmap::fromImage(src)), RGBColor(255, 0, 255));
        // A picture with an alpha channel keys nothing: black stays black.
        src.setPixelColor(0, 0, QColor(0, 0, 0, 0));
        QCOMPARE(GlyphKeyColor(QPixmap::fromImage(src)), clNone);
    }

    void glyphsStaySharpAtTwiceTheSize() {
        // The same face at a device-pixel ratio of 2: every pixel of the 1x
        // picture becomes a 2 x 2 block of the same colour on straight edges.
        QPixmap glyph = Strip(1, 8);
        TkxButtonFace f = Plain(30, 30, fcsNormal);
        f.Glyph = glyph;
        const QImage one = RenderFace(f, 30, 30);
        QImage two(60, 60, QImage::Format_ARGB32);
        two.setDevicePixelRatio(2);
        two.fill(Qt::transparent);
        {
            QPainter p(&two);
            DrawButtonFace(p, f);
        }
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x)
                for (int d = 0; d < 4; ++d)
                    QVERIFY2(two.pixel(2 * x + d % 2, 2 * y + d / 2) == one.pixel(x, y),
                             qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
    }
};

QTEST_MAIN(ButtonFaceTest)
#include "ButtonFaceTest.moc"

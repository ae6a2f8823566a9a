// What every window stands on: text crossing into Qt, fonts, system
// colours from the palette, the theme and screen-depth decisions, edges,
// hints, the error display and the program's glyphs.

#include "tests/controls/WidgetTestSupport.h"

#include "controls/EdgePainter.h"
#include "controls/ErrorDisplay.h"
#include "controls/FontSubstitutions.h"
#include "controls/Glyphs.h"
#include "controls/Hints.h"
#include "controls/PaletteColorResolver.h"
#include "controls/ScreenDepth.h"
#include "controls/Utf8Text.h"
#include "controls/VisualStyle.h"

#include <QFontInfo>
#include <QGlyphRun>
#include <QProxyStyle>
#include <QRawFont>
#include <QTextLayout>
#include <QWidget>

#include <stdexcept>

using namespace widgettest;

namespace {
// The glyph runs a text is laid out with in a font.
QList<QGlyphRun> Runs(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    return layout.glyphRuns();
}
} // namespace

class GroundTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InitControls();
        UseStyle("Windows");
    }

    void textCrossesAsUtf8() {
        const std::string text = "Grüße Ωж 中文 \xF0\x9F\x98\x80";
        const QString q = ToQString(text);
        QCOMPARE(q, QString::fromUcs4(U"Grüße Ωж 中文 \U0001F600"));
        QCOMPARE(ToUtf8(q), text);
        QCOMPARE(ToQString(std::string("a\0b", 3)).size(), 3);
        QCOMPARE(ToQString("\xFF"), QString(QChar(0xFFFD)));
        QCOMPARE(ToUtf8(QString()), std::string());
    }

    void designedFontsHaveSubstitutes() {
        QCOMPARE(DesignedPixelSize(8), 11);
        QCOMPARE(DesignedPixelSize(10), 13);
        QCOMPARE(DesignedPixelSize(12), 16);
        const QFontInfo dialog(DialogFont());
        QCOMPARE(dialog.family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(dialog.pixelSize(), 11);
        // Digits as wide as the window-less view measures them, so that the
        // grid's columns match a window-less export's.
        QCOMPARE(QFontMetrics(DialogFont()).horizontalAdvance(QLatin1Char('0')), 6);
        QCOMPARE(QFontInfo(QApplication::font()).family(), QStringLiteral("Liberation Sans"));
        const QFontInfo mono(DesignedFont(QStringLiteral("Courier New"), 10));
        QCOMPARE(mono.family(), QStringLiteral("Liberation Mono"));
        QVERIFY(mono.fixedPitch());
        QCOMPARE(QFontInfo(DesignedFont(QStringLiteral("Impact"), 20, true)).family(),
                 QStringLiteral("Liberation Sans Narrow"));
    }

    void everyScriptOfTheTablesHasGlyphs() {
        // Latin, Greek, Cyrillic and CJK: no character falls to the empty
        // box (glyph 0) of the font it is laid out in.
        const QString text = QString::fromUtf8("Grüße Ωμέγα Жизнь 中文表格 日本語");
        int glyphs = 0;
        for (const QGlyphRun& run : Runs(text, DialogFont())) {
            for (quint32 g : run.glyphIndexes()) {
                QVERIFY2(g != 0, qPrintable(run.rawFont().familyName()));
                ++glyphs;
            }
        }
        QVERIFY(glyphs >= text.size() - 4);
        bool cjk = false;
        for (const QGlyphRun& run : Runs(QStringLiteral("中文"), DialogFont()))
            cjk = cjk || run.rawFont().supportsCharacter(QChar(0x4E2D));
        QVERIFY2(cjk, "a font with CJK glyphs is installed");
    }

    void systemColoursComeFromThePalette() {
        const QPalette saved = QApplication::palette();
        QPalette p = saved;
        p.setColor(QPalette::Button, QColor(10, 20, 30));
        p.setColor(QPalette::Dark, QColor(40, 50, 60));
        p.setColor(QPalette::Light, QColor(250, 240, 230));
        p.setColor(QPalette::Shadow, QColor(5, 6, 7));
        p.setColor(QPalette::Highlight, QColor(0, 99, 200));
        p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(140, 141, 142));
        p.setColor(QPalette::ButtonText, QColor(1, 2, 3));
        QApplication::setPalette(p);
        QCOMPARE(ColorToRGB(clBtnFace), RGBColor(10, 20, 30));
        QCOMPARE(ColorToRGB(clBtnShadow), RGBColor(40, 50, 60));
        QCOMPARE(ColorToRGB(clBtnHighlight), RGBColor(250, 240, 230));
        QCOMPARE(ColorToRGB(clWindowFrame), RGBColor(5, 6, 7));
        QCOMPARE(ColorToRGB(cl3DDkShadow), RGBColor(5, 6, 7));
        QCOMPARE(ColorToRGB(clHighlight), RGBColor(0, 99, 200));
        QCOMPARE(ColorToRGB(clGrayText), RGBColor(140, 141, 142));
        QCOMPARE(ColorToRGB(clBtnText), RGBColor(1, 2, 3));
        // Without a role in the palette: the classic scheme.
        QCOMPARE(ColorToRGB(clBackground), ClassicSystemColor(1));
        QCOMPARE(ToQColor(clBtnFace), QColor(10, 20, 30));
        QApplication::setPalette(saved);
        QCOMPARE(ColorToRGB(clBtnFace), ToTColor(saved.color(QPalette::Button)));

        TPaletteColorResolver r(p);
        TColor c = 0;
        QVERIFY(r.Resolve(15, c));
        QCOMPARE(c, RGBColor(10, 20, 30));
        QVERIFY(!r.Resolve(1, c));
        QVERIFY(!r.Resolve(SystemColorCount, c));
        QVERIFY(!r.Resolve(-1, c));
    }

    void theClassicStyleIsTheUnthemedLook() {
        auto windows = MakeStyle("Windows");
        auto fusion = MakeStyle("Fusion");
        QWidget a, b;
        a.setStyle(windows.get());
        b.setStyle(fusion.get());
        QVERIFY(!IsThemeActive(&a));
        QVERIFY(IsThemeActive(&b));
        QVERIFY(!IsThemeActive(nullptr));
        // A proxy looks like the style it stands in front of.
        QProxyStyle proxy(QStringLiteral("Windows"));
        QWidget c;
        c.setStyle(&proxy);
        QVERIFY(!IsThemeActive(&c));
    }

    void paletteScreensRefuseShading() {
        auto fusion = MakeStyle("Fusion");
        QWidget classic, themed;
        themed.setStyle(fusion.get());
        QVERIFY(ScreenBitsPerPixel(&classic) > 8);
        QVERIFY(ShadingAllowed(&classic));
        SetScreenBitsPerPixelForTesting(8);
        QCOMPARE(ScreenBitsPerPixel(&classic), 8);
        QVERIFY(!ShadingAllowed(&classic));
        QVERIFY(ShadingAllowed(&themed));
        SetScreenBitsPerPixelForTesting(16);
        QVERIFY(ShadingAllowed(&classic));
        SetScreenBitsPerPixelForTesting(0);
    }

    void edgesRingByRing() {
        QImage img = Canvas(10, 10);
        QRect r(0, 0, 10, 10);
        {
            QPainter p(&img);
            DrawEdge(p, r, edRaised, esRect | esMiddle | esAdjust);
        }
        QCOMPARE(r, QRect(2, 2, 6, 6));
        CHECK_PIXEL(img, 5, 0, cl3DLight);
        CHECK_PIXEL(img, 0, 5, cl3DLight);
        CHECK_PIXEL(img, 5, 9, cl3DDkShadow);
        CHECK_PIXEL(img, 9, 5, cl3DDkShadow);
        CHECK_PIXEL(img, 9, 0, cl3DDkShadow); // the far corners belong to the dark sides
        CHECK_PIXEL(img, 0, 9, cl3DDkShadow);
        CHECK_PIXEL(img, 0, 0, cl3DLight);
        CHECK_PIXEL(img, 5, 1, clBtnHighlight);
        CHECK_PIXEL(img, 8, 5, clBtnShadow);
        CHECK_PIXEL(img, 5, 5, clBtnFace);

        auto ring = [](unsigned edge, unsigned sides) {
            QImage i = Canvas(10, 10);
            QPainter p(&i);
            DrawEdge(p, QRect(0, 0, 10, 10), edge, sides);
            return i;
        };
        img = ring(edSunken, esRect);
        CHECK_PIXEL(img, 5, 0, clBtnShadow);
        CHECK_PIXEL(img, 5, 9, clBtnHighlight);
        CHECK_PIXEL(img, 5, 1, cl3DDkShadow);
        CHECK_PIXEL(img, 5, 8, cl3DLight);
        QCOMPARE(Alpha(img, 5, 5), 0);
        img = ring(edEtched, esRect);
        CHECK_PIXEL(img, 0, 5, clBtnShadow);
        CHECK_PIXEL(img, 1, 5, clBtnHighlight);
        CHECK_PIXEL(img, 9, 5, clBtnHighlight);
        CHECK_PIXEL(img, 8, 5, clBtnShadow);
        img = ring(edRaisedInner, esRect);
        CHECK_PIXEL(img, 0, 5, clBtnHighlight);
        CHECK_PIXEL(img, 9, 5, clBtnShadow);
        QCOMPARE(Alpha(img, 1, 5), 0);
        img = ring(edSunkenOuter, esRect | esFlat);
        CHECK_PIXEL(img, 0, 5, clBtnShadow);
        CHECK_PIXEL(img, 9, 5, clBtnShadow);
        img = ring(edRaised, esRect | esMono);
        CHECK_PIXEL(img, 0, 5, clWindowFrame);
        CHECK_PIXEL(img, 1, 5, clWindow);
        img = ring(edEtched, esLeft);
        CHECK_PIXEL(img, 0, 5, clBtnShadow);
        CHECK_PIXEL(img, 1, 5, clBtnHighlight);
        QCOMPARE(Alpha(img, 5, 0), 0);
        QCOMPARE(Alpha(img, 9, 5), 0);
    }

    void focusRectanglesAreDotted() {
        QImage img = Canvas(8, 6);
        {
            QPainter p(&img);
            DrawFocusRect(p, QRect(1, 1, 6, 4), clBlack);
        }
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool border =
                    (x == 1 || x == 6 || y == 1 || y == 4) && x >= 1 && x <= 6 && y >= 1 && y <= 4;
                const bool dot = border && (x + y) % 2 == 0;
                QVERIFY2((Alpha(img, x, y) == 255) == dot,
                         qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
    }

    void hintsHaveTwoParts() {
        QCOMPARE(GetShortHint(QStringLiteral("Export or copy|Export table to file")),
                 QStringLiteral("Export or copy"));
        QCOMPARE(GetLongHint(QStringLiteral("Export or copy|Export table to file")),
                 QStringLiteral("Export table to file"));
        QCOMPARE(GetShortHint(QStringLiteral("Help")), QStringLiteral("Help"));
        QCOMPARE(GetLongHint(QStringLiteral("Help")), QStringLiteral("Help"));
        QCOMPARE(GetShortHint(QStringLiteral("|Enter filter")), QString());
        QCOMPARE(GetLongHint(QStringLiteral("a|b|c")), QStringLiteral("b|c"));
        QWidget w;
        ApplyHint(w, QStringLiteral("Options|Copying options"));
        QCOMPARE(w.toolTip(), QStringLiteral("Options"));
        QCOMPARE(w.statusTip(), QStringLiteral("Copying options"));
        ApplyHint(w, QStringLiteral("Options|Copying options"), false);
        QCOMPARE(w.toolTip(), QString());
        QCOMPARE(w.statusTip(), QStringLiteral("Copying options"));
    }

    void failuresInHandlersReachTheErrorDisplay() {
        std::string shown;
        SetErrorHandler([&](const std::string& m) { shown = m; });
        RunGuarded([] { throw std::runtime_error("Table is read-only"); });
        QCOMPARE(shown, std::string("Table is read-only"));
        RunGuarded([] { throw 42; });
        QCOMPARE(shown, std::string("Unknown error"));
        bool ran = false;
        shown.clear();
        RunGuarded([&] { ran = true; });
        QVERIFY(ran);
        QVERIFY(shown.empty());
        SetErrorHandler(nullptr);
    }

    void glyphsAreDrawnSharp() {
        for (int i = 0; i < 10; ++i) {
            for (qreal dpr : {1.0, 2.0}) {
                const QPixmap strip = NavigatorGlyph(i, dpr);
                QCOMPARE(strip.deviceIndependentSize(), QSizeF(32, 16));
                QCOMPARE(strip.size(), QSize(qRound(32 * dpr), qRound(16 * dpr)));
                // Both halves have something drawn; the disabled one only in
                // button highlight, button shadow and blends of the two.
                const TColor lo = ColorToRGB(clBtnShadow), hi = ColorToRGB(clBtnHighlight);
                auto between = [](int v, int a, int b) {
                    return v >= std::min(a, b) && v <= std::max(a, b);
                };
                const QImage img = strip.toImage();
                int enabled = 0, disabled = 0;
                for (int y = 0; y < img.height(); ++y)
                    for (int x = 0; x < img.width(); ++x) {
                        const QColor c = img.pixelColor(x, y);
                        if (c.alpha() < 255) continue;
                        if (x < img.width() / 2) {
                            ++enabled;
                        } else {
                            ++disabled;
                            const TColor t = ToTColor(c);
                            QVERIFY2(between(GetRValue(t), GetRValue(lo), GetRValue(hi)) &&
                                         between(GetGValue(t), GetGValue(lo), GetGValue(hi)) &&
                                         between(GetBValue(t), GetBValue(lo), GetBValue(hi)),
                                     qPrintable(QStringLiteral("glyph %1 %2")
                                                    .arg(i)
                                                    .arg(QLatin1String(Hex(t)))));
                        }
                    }
                QVERIFY(enabled > 10 * dpr * dpr);
                QVERIFY(disabled >= enabled);
            }
            QCOMPARE(LoadGlyph("DBG_" + std::to_string(i)).toImage(), NavigatorGlyph(i).toImage());
        }
        // Straight edges fall on pixel boundaries: the first-record bar is
        // columns 4 and 5, solid, with nothing beside it, at 1x and 2x.
        for (qreal dpr : {1.0, 2.0}) {
            const QImage img = NavigatorGlyph(0, dpr).toImage();
            const int s = static_cast<int>(dpr);
            for (int y = 4 * s; y < 12 * s; ++y) {
                QCOMPARE(img.pixelColor(3 * s + s - 1, y).alpha(), 0);
                QCOMPARE(img.pixelColor(4 * s, y), QColor(0, 0, 0));
                QCOMPARE(img.pixelColor(6 * s - 1, y), QColor(0, 0, 0));
                QCOMPARE(img.pixelColor(6 * s, y).alpha(), 0);
            }
        }
        for (const char* name : {"TOOL_OPEN", "TOOL_EXPORT", "TOOL_FIX", "TOOL_OPTIONS",
                                 "TOOL_HELP", "TOOL_ABOUT", "TOOL_FIND"})
            QCOMPARE(LoadGlyph(name, 2).deviceIndependentSize(), QSizeF(16, 16));
        QVERIFY(LoadGlyph("DBG_A").isNull());
        QVERIFY(LoadGlyph("DBG_10").isNull());
        QVERIFY(LoadGlyph("TOOL_").isNull());
    }
};

QTEST_MAIN(GroundTest)
#include "GroundTest.moc"

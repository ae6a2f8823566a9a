// The tool buttons (flat, drop-down) and the dialogs' push button: their
// properties and setter rules, mouse tracking, groups, drop-down, keyboard.

#include "tests/controls/WidgetTestSupport.h"

#include "controls/GraphicUtils.h"
#include "controls/ScreenDepth.h"
#include "controls/TKXButton.h"
#include "controls/TkxPopupButton.h"
#include "controls/TkxSoftButton.h"

#include <QDialog>
#include <QFrame>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

using namespace widgettest;

namespace {
// Mouse events as the window system would deliver them to the button.
void Mouse(QWidget& w, QEvent::Type type, QPoint pos, Qt::MouseButtons held = Qt::NoButton,
           Qt::MouseButton button = Qt::LeftButton) {
    if (type == QEvent::MouseMove) button = Qt::NoButton;
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) held |= button;
    QMouseEvent e(type, QPointF(pos), QPointF(w.mapToGlobal(pos)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &e);
}
void Press(QWidget& w, QPoint pos) {
    Mouse(w, QEvent::MouseButtonPress, pos);
}
void Drag(QWidget& w, QPoint pos) {
    Mouse(w, QEvent::MouseMove, pos, Qt::LeftButton);
}
void Release(QWidget& w, QPoint pos) {
    Mouse(w, QEvent::MouseButtonRelease, pos);
}
void ClickAt(QWidget& w, QPoint pos) {
    Press(w, pos);
    Release(w, pos);
}
void Enter(QWidget& w) {
    QEnterEvent e(QPointF(1, 1), QPointF(w.mapToGlobal(QPoint(1, 1))),
                  QPointF(w.mapToGlobal(QPoint(1, 1))));
    QCoreApplication::sendEvent(&w, &e);
}
void Leave(QWidget& w) {
    QEvent e(QEvent::Leave);
    QCoreApplication::sendEvent(&w, &e);
}

// Counts the paint events a widget gets.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget& w) : fWidget(w) { w.installEventFilter(this); }
    template <class F> int PaintsAfter(F&& f) {
        QCoreApplication::processEvents();
        fCount = 0;
        f();
        QCoreApplication::processEvents();
        return fCount;
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == &fWidget && e->type() == QEvent::Paint) ++fCount;
        return false;
    }

private:
    QWidget& fWidget;
    int fCount = 0;
};

QPixmap Strip(int w, int h) {
    QPixmap p(w, h);
    p.fill(Qt::red);
    return p;
}

QImage Grab(QWidget& w) {
    return w.grab().toImage();
}
} // namespace

class ToolButtonTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InitControls();
        UseStyle("Windows");
    }

    void softButtonStartsAsDesigned() {
        TkxSoftButton b;
        QCOMPARE(b.size(), QSize(25, 25));
        QCOMPARE(b.NumGlyphs(), 1);
        QCOMPARE(b.Color(), clBtnFace);
        QVERIFY(b.ParentFont());
        QCOMPARE(b.EdgeForm(), efRoundRect);
        QVERIFY(b.Transparent());
        QVERIFY(b.Shadowed());
        QVERIFY(!b.Flat());
        QCOMPARE(b.HiLightMode(), 0);
        QCOMPARE(b.Layout(), blGlyphLeft);
        QCOMPARE(b.GroupIndex(), 0);
        QVERIFY(!b.AllowAllUp());
        QVERIFY(!b.Down());
        QCOMPARE(b.focusPolicy(), Qt::NoFocus);
    }

    void glyphStripsCountTheirImages() {
        TkxSoftButton b;
        b.SetGlyph(Strip(64, 16));
        QCOMPARE(b.NumGlyphs(), 4);
        b.SetGlyph(Strip(96, 16));
        QCOMPARE(b.NumGlyphs(), 1); // six images are not taken
        b.SetNumGlyphs(3);
        b.SetGlyph(Strip(50, 16));
        QCOMPARE(b.NumGlyphs(), 3);
        b.SetGlyph(Strip(80, 16));
        QCOMPARE(b.NumGlyphs(), 5);
        b.SetGlyph(QPixmap());
        QCOMPARE(b.NumGlyphs(), 5);
        // A strip made for 2x counts by its size on the screen.
        QPixmap twice = Strip(128, 32);
        twice.setDevicePixelRatio(2);
        b.SetGlyph(twice);
        QCOMPARE(b.NumGlyphs(), 4);
        b.SetNumGlyphs(0);
        QCOMPARE(b.NumGlyphs(), 1);
        b.SetNumGlyphs(9);
        QCOMPARE(b.NumGlyphs(), 5);
        b.SetHiLightMode(-1);
        QCOMPARE(b.HiLightMode(), 0);
        b.SetHiLightMode(7);
        QCOMPARE(b.HiLightMode(), 3);
        TKXButton k;
        k.SetGlyph(Strip(48, 16));
        QCOMPARE(k.NumGlyphs(), 3);
        k.SetGlyph(Strip(96, 16));
        QCOMPARE(k.NumGlyphs(), 1);
    }

    void settersRepaintOnlyWhatChanged() {
        QWidget window;
        window.resize(100, 60);
        auto* b = new TkxSoftButton(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        TPaintCounter paints(*b);
        QVERIFY(paints.PaintsAfter([&] { b->SetFlat(true); }) >= 1);
        QCOMPARE(paints.PaintsAfter([&] { b->SetFlat(true); }), 0);
        QVERIFY(paints.PaintsAfter([&] { b->SetEdgeForm(efEllipse); }) >= 1);
        QCOMPARE(paints.PaintsAfter([&] { b->SetEdgeForm(efEllipse); }), 0);
        QCOMPARE(paints.PaintsAfter([&] { b->SetColor(clBtnFace); }), 0);
        QVERIFY(paints.PaintsAfter([&] { b->SetColor(clRed); }) >= 1);
        QCOMPARE(paints.PaintsAfter([&] { b->SetNumGlyphs(1); }), 0);
        QCOMPARE(paints.PaintsAfter([&] { b->SetCaption(QString()); }), 0);
        QVERIFY(paints.PaintsAfter([&] { b->SetCaption(QStringLiteral("x")); }) >= 1);
    }

    void hotWhileTheMouseIsOver() {
        QWidget window;
        window.resize(200, 100);
        auto* b = new TkxSoftButton(&window);
        b->move(10, 10);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseMove(&window, QPoint(100, 80));
        QVERIFY(!b->Hot());
        QTest::mouseMove(b, QPoint(12, 12));
        QVERIFY(b->Hot());
        QTest::mouseMove(&window, QPoint(150, 80));
        QVERIFY(!b->Hot());
        // A move over it finds it hot when the enter was missed.
        Mouse(*b, QEvent::MouseMove, QPoint(5, 5));
        QVERIFY(b->Hot());
        Leave(*b);
        QVERIFY(!b->Hot());
        b->setEnabled(false);
        Enter(*b);
        QVERIFY(!b->Hot());
    }

    void pressDragAndRelease() {
        QWidget window;
        auto* b = new TkxSoftButton(&window);
        int clicks = 0;
        b->OnClick = [&](QObject& sender) {
            QCOMPARE(&sender, static_cast<QObject*>(b));
            ++clicks;
        };
        Press(*b, QPoint(10, 10));
        QCOMPARE(b->State(), bsDown);
        QVERIFY(b->Tracking());
        Drag(*b, QPoint(40, 10));
        QCOMPARE(b->State(), bsUp);
        Drag(*b, QPoint(12, 12));
        QCOMPARE(b->State(), bsDown);
        Release(*b, QPoint(12, 12));
        QCOMPARE(clicks, 1);
        QCOMPARE(b->State(), bsUp);
        QVERIFY(!b->Tracking());
        QVERIFY(b->Hot()); // still over it
        // Released outside: no click.
        Press(*b, QPoint(10, 10));
        Drag(*b, QPoint(-5, 10));
        Release(*b, QPoint(-5, 10));
        QCOMPARE(clicks, 1);
        QCOMPARE(b->State(), bsUp);
        QVERIFY(!b->Hot());
        // Only the left button presses.
        Mouse(*b, QEvent::MouseButtonPress, QPoint(10, 10), Qt::NoButton, Qt::RightButton);
        QCOMPARE(b->State(), bsUp);
        // Disabled and enabled again: up.
        b->setEnabled(false);
        QCOMPARE(b->State(), bsDisabled);
        b->setEnabled(true);
        QCOMPARE(b->State(), bsUp);
    }

    void groupsKeepOneButtonDown() {
        QWidget window;
        TkxSoftButton* b[3];
        for (auto*& x : b) {
            x = new TkxSoftButton(&window);
            x->SetGroupIndex(1);
        }
        auto* other = new TkxSoftButton(&window);
        other->SetGroupIndex(2);
        other->SetDown(true);
        b[0]->SetDown(true);
        QVERIFY(b[0]->Down());
        QCOMPARE(b[0]->State(), bsExclusive);
        int clicks = 0;
        b[1]->OnClick = [&](QObject&) { ++clicks; };

        ClickAt(*b[1], QPoint(5, 5));
        QVERIFY(b[1]->Down());
        QVERIFY(!b[0]->Down());
        QCOMPARE(b[0]->State(), bsUp);
        QCOMPARE(clicks, 1);
        QVERIFY(other->Down()); // another group is left alone
        // Clicking the down button again leaves it down, and clicks.
        Press(*b[1], QPoint(5, 5));
        QCOMPARE(b[1]->State(), bsExclusive);
        Release(*b[1], QPoint(5, 5));
        QVERIFY(b[1]->Down());
        QCOMPARE(clicks, 2);
        b[1]->SetDown(false);
        QVERIFY(b[1]->Down());

        // AllowAllUp set on one button goes to the whole group.
        b[2]->SetAllowAllUp(true);
        QVERIFY(b[0]->AllowAllUp() && b[1]->AllowAllUp());
        QVERIFY(!other->AllowAllUp());
        ClickAt(*b[1], QPoint(5, 5));
        QVERIFY(!b[1]->Down());
        QCOMPARE(b[1]->State(), bsUp);
        // Released outside, a down button stays held down.
        b[2]->SetDown(true);
        Press(*b[2], QPoint(5, 5));
        Drag(*b[2], QPoint(50, 50));
        QCOMPARE(b[2]->State(), bsExclusive);
        Release(*b[2], QPoint(50, 50));
        QVERIFY(b[2]->Down());
        QCOMPARE(b[2]->State(), bsExclusive);
        // Joining the group does not bring its down button up.
        auto* late = new TkxSoftButton(&window);
        late->SetGroupIndex(1);
        QVERIFY(b[2]->Down());
        // Group 0 buttons never stay down.
        TkxSoftButton lone;
        lone.SetDown(true);
        QVERIFY(!lone.Down());
        other->SetGroupIndex(0);
        QVERIFY(other->Down()); // setting the group does not lift it
    }

    void downButtonsPaintDown() {
        QWidget window;
        window.resize(60, 40);
        auto* b = new TkxSoftButton(&window);
        b->SetGroupIndex(1);
        b->SetDown(true);
        b->setEnabled(false);
        b->setEnabled(true);
        QCOMPARE(b->State(), bsUp);
        const QImage img = Grab(*b);
        QCOMPARE(b->State(), bsDown);
        CHECK_PIXEL(img, 12, 0, clWindowFrame);
        // The region starts at row 2, where band 1 (rows 2 to 4) begins.
        CHECK_PIXEL(img, 12, 3, DarkenColor(clBtnFace, 36));
        b->SetDown(false);
        QVERIFY(b->Down()); // no AllowAllUp
        b->SetAllowAllUp(true);
        b->SetDown(false);
        CHECK_PIXEL(Grab(*b), 12, 0, clBtnHighlight);
    }

    void doubleClicksWhileDown() {
        QWidget window;
        auto* b = new TkxSoftButton(&window);
        int clicks = 0, doubles = 0;
        b->OnClick = [&](QObject&) { ++clicks; };
        b->OnDblClick = [&](QObject&) { ++doubles; };
        ClickAt(*b, QPoint(5, 5));
        Mouse(*b, QEvent::MouseButtonDblClick, QPoint(5, 5));
        Release(*b, QPoint(5, 5));
        QCOMPARE(clicks, 2); // the second press presses again
        QCOMPARE(doubles, 0);
        b->SetGroupIndex(3);
        b->SetAllowAllUp(true);
        b->SetDown(true);
        Mouse(*b, QEvent::MouseButtonDblClick, QPoint(5, 5));
        QCOMPARE(doubles, 1);
    }

    void acceleratorsClickEnabledButtons() {
        QWidget window;
        window.resize(100, 50);
        auto* b = new TkxSoftButton(&window);
        b->SetCaption(QStringLiteral("&Open"));
        int clicks = 0;
        b->OnClick = [&](QObject&) { ++clicks; };
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_O, Qt::AltModifier);
        QCOMPARE(clicks, 1);
        b->setEnabled(false);
        QTest::keyClick(&window, Qt::Key_O, Qt::AltModifier);
        QCOMPARE(clicks, 1);
        b->setEnabled(true);
        b->SetCaption(QStringLiteral("Open"));
        QTest::keyClick(&window, Qt::Key_O, Qt::AltModifier);
        QCOMPARE(clicks, 1);
    }

    void shadingIsRefusedOnPaletteScreens() {
        auto fusion = MakeStyle("Fusion");
        SetScreenBitsPerPixelForTesting(8);
        TkxSoftButton b;
        b.SetShadowed(false);
        b.SetShadowed(true);
        QVERIFY(!b.Shadowed());
        TKXButton k;
        k.SetShadowed(false);
        k.SetShadowed(true);
        QVERIFY(!k.Shadowed());
        // Under a theme the theme draws the face: allowed.
        b.setStyle(fusion.get());
        b.SetShadowed(true);
        QVERIFY(b.Shadowed());
        SetScreenBitsPerPixelForTesting(0);
        k.SetShadowed(true);
        QVERIFY(k.Shadowed());
    }

    void opaqueButtonsPaintTheirCorners() {
        QWidget window;
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, QColor(90, 80, 70));
        window.setPalette(pal);
        auto* b = new TkxSoftButton(&window);
        b->SetColor(RGBColor(10, 200, 30));
        CHECK_PIXEL(Grab(*b), 0, 0, RGBColor(90, 80, 70)); // what is behind it
        b->SetTransparent(false);
        QVERIFY(b->testAttribute(Qt::WA_OpaquePaintEvent));
        CHECK_PIXEL(Grab(*b), 0, 0, RGBColor(10, 200, 30));
    }

    void hintsAndFonts() {
        QWidget window;
        auto* b = new TkxSoftButton(&window);
        b->SetHint(QStringLiteral("Export or copy|Export table to file or copy to clipboard"));
        QCOMPARE(b->toolTip(), QStringLiteral("Export or copy"));
        QCOMPARE(b->statusTip(), QStringLiteral("Export table to file or copy to clipboard"));
        b->SetShowHint(false);
        QCOMPARE(b->toolTip(), QString());
        b->SetShowHint(true);
        QCOMPARE(b->toolTip(), QStringLiteral("Export or copy"));

        QFont big = window.font();
        big.setPixelSize(20);
        b->setFont(big);
        QVERIFY(!b->ParentFont());
        b->SetParentFont(true);
        QCOMPARE(b->font().pixelSize(), window.font().pixelSize());
        big.setPixelSize(30);
        window.setFont(big);
        QCOMPARE(b->font().pixelSize(), 30);
    }

    void popupDropsItsMenuBelowOnEveryClick() {
        QWidget window;
        window.resize(200, 100);
        auto* b = new TkxPopupButton(&window);
        b->move(20, 10);
        QMenu menu;
        menu.addAction(QStringLiteral("Include Column &Names"));
        b->SetDropDownComponent(&menu);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(b->DrawDropDown());
        QVERIFY(!b->SeparateDropDown());
        int clicks = 0, popups = 0;
        b->OnClick = [&](QObject&) { ++clicks; };
        b->OnPopup = [&](QObject& sender, bool&) {
            QCOMPARE(&sender, static_cast<QObject*>(b));
            ++popups;
        };
        ClickAt(*b, QPoint(3, 3)); // anywhere on it, even far from the arrow
        QCOMPARE(clicks, 1);
        QCOMPARE(popups, 1);
        QVERIFY(menu.isVisible());
        QCOMPARE(menu.pos(), b->mapToGlobal(QPoint(0, b->height())));
        menu.hide();
        // A handled popup shows nothing.
        b->OnPopup = [&](QObject&, bool& handled) { handled = true; };
        ClickAt(*b, QPoint(20, 10));
        QVERIFY(!menu.isVisible());
    }

    void separateDropDownOnlyFromTheArrowPart() {
        QWidget window;
        window.resize(200, 100);
        auto* b = new TkxPopupButton(&window);
        b->resize(40, 25);
        b->SetSeparateDropDown(true);
        auto* panel = new QFrame(&window);
        panel->resize(30, 20);
        panel->hide();
        b->SetDropDownComponent(panel);
        int clicks = 0, popups = 0;
        b->OnClick = [&](QObject&) { ++clicks; };
        b->OnPopup = [&](QObject&, bool&) { ++popups; };
        ClickAt(*b, QPoint(25, 10)); // x 25 is not past 40 - 14
        QCOMPARE(clicks, 1);
        QCOMPARE(popups, 0);
        Press(*b, QPoint(30, 10));
        QCOMPARE(b->State(), bsArrowPressed);
        Drag(*b, QPoint(10, 10));
        QCOMPARE(b->State(), bsUp);
        Drag(*b, QPoint(35, 10));
        QCOMPARE(b->State(), bsArrowPressed);
        QVERIFY(b->Hot());
        Release(*b, QPoint(35, 10));
        QCOMPARE(clicks, 1);
        QCOMPARE(popups, 1);
        QCOMPARE(b->State(), bsUp);
        QVERIFY(!panel->isHidden());
        QCOMPARE(panel->pos(), QPoint(0, 25)); // below the left edge, in the window
        panel->hide();
        // Released off the arrow part: nothing.
        Press(*b, QPoint(30, 10));
        Drag(*b, QPoint(30, 40));
        Release(*b, QPoint(30, 40));
        QCOMPARE(popups, 1);
        QVERIFY(panel->isHidden());
    }

    void popupFaces() {
        QWidget window;
        auto* b = new TkxPopupButton(&window);
        b->resize(40, 24);
        b->SetEdgeForm(efRect);
        b->SetShadowed(false);
        auto arrowAt = [](const QImage& img, int k) {
            // r = 40, cy = 12
            return Pixel(img, 30 + k, 11 + k) == ColorToRGB(clBtnText) &&
                   Pixel(img, 34 + k, 11 + k) == ColorToRGB(clBtnText) &&
                   Pixel(img, 32 + k, 13 + k) == ColorToRGB(clBtnText);
        };
        QVERIFY(arrowAt(Grab(*b), 0));
        // Pressed, the arrow moves with the face.
        Press(*b, QPoint(5, 5));
        QImage img = Grab(*b);
        QVERIFY(arrowAt(img, 1));
        CHECK_PIXEL(img, 5, 0, clWindowFrame);
        Release(*b, QPoint(5, 5));
        // The arrow part pressed on its own: pressed arrow, the rest of the
        // face as it is (hot here), and the etched line between them.
        b->SetSeparateDropDown(true);
        Press(*b, QPoint(35, 5));
        img = Grab(*b);
        QVERIFY(arrowAt(img, 1));
        CHECK_PIXEL(img, 5, 0, cl3DLight); // hot: the raised edge of two pixels
        CHECK_PIXEL(img, 5, 23, cl3DDkShadow);
        CHECK_PIXEL(img, 35, 0, clWindowFrame); // the pressed arrow part
        CHECK_PIXEL(img, 26, 12, clBtnShadow);
        CHECK_PIXEL(img, 27, 12, clBtnHighlight);
        Release(*b, QPoint(-1, -1));
        // Flat and not hot: no line.
        b->SetFlat(true);
        img = Grab(*b);
        CHECK_PIXEL(img, 26, 12, clBtnFace);
        b->SetDrawDropDown(false);
        QVERIFY(!arrowAt(Grab(*b), 0));
    }

    void pushButtonStartsAsDesigned() {
        TKXButton k;
        QCOMPARE(k.NumGlyphs(), 1);
        QCOMPARE(k.EdgeForm(), efRoundRect);
        QVERIFY(k.DrawFocus());
        QCOMPARE(k.Color(), clBtnFace);
        QCOMPARE(k.HiLightColor(), clBtnFace);
        QCOMPARE(k.FocusedTextColor(), RGBColor(255, 0, 0));
        QVERIFY(k.Shadowed());
        QVERIFY(!k.LeftText());
        QVERIFY(!k.DoFocusText());
        QVERIFY(!k.Flat());
        QCOMPARE(k.HiLightMode(), 0);
    }

    void pushButtonShapes() {
        QWidget window;
        window.resize(200, 100);
        auto& k = *new TKXButton(QStringLiteral("OK"), &window);
        k.resize(75, 25);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!k.mask().isEmpty());
        QVERIFY(!k.mask().contains(QPoint(0, 0)));
        QVERIFY(k.mask().contains(QPoint(37, 12)));
        QVERIFY(k.mask().contains(QPoint(37, 0)));
        k.SetEdgeForm(efEllipse);
        QVERIFY(!k.mask().contains(QPoint(3, 3)));
        QVERIFY(k.mask().contains(QPoint(37, 12)));
        QCOMPARE(k.mask().boundingRect().size(), QSize(76, 26));
        k.resize(100, 40);
        QCOMPARE(k.mask().boundingRect().size(), QSize(101, 41));
        k.SetEdgeForm(efRect);
        QVERIFY(k.mask().isEmpty());
    }

    void pushButtonFaces() {
        QWidget window;
        auto* k = new TKXButton(QStringLiteral("OK"), &window);
        k->SetHiLightColor(RGBColor(1, 2, 3));
        k->SetLeftText(true);
        k->SetDoFocusText(true);
        TkxButtonFace f = k->Face();
        QCOMPARE(f.State, fcsNormal);
        QCOMPARE(f.ThemeWindow, static_cast<const QWidget*>(k));
        QCOMPARE(f.HotColor, RGBColor(1, 2, 3));
        QCOMPARE(f.FocusTextColor, RGBColor(255, 0, 0));
        QVERIFY(f.GlyphRight && f.FocusText && f.DrawFocus && !f.DropDown);
        QCOMPARE(f.Caption, QStringLiteral("OK"));
        k->setDown(true);
        QCOMPARE(k->Face().State, fcsDown);
        k->setDown(false);
        Enter(*k);
        QVERIFY(k->Hot());
        QCOMPARE(k->Face().State, fcsHot);
        Leave(*k);
        QCOMPARE(k->Face().State, fcsNormal);
        k->setEnabled(false);
        QCOMPARE(k->Face().State, fcsDisabled);
        Enter(*k);
        QVERIFY(!k->Hot());
    }

    void pushButtonRepaintRules() {
        QWidget window;
        window.resize(200, 100);
        auto* k = new TKXButton(QStringLiteral("OK"), &window);
        auto* other = new TKXButton(QStringLiteral("Cancel"), &window);
        other->move(100, 0);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        other->setFocus();
        TPaintCounter paints(*k);
        QCOMPARE(paints.PaintsAfter([&] { k->SetHiLightColor(clRed); }), 0);
        QCOMPARE(paints.PaintsAfter([&] { k->SetFocusedTextColor(clBlue); }), 0);
        QCOMPARE(paints.PaintsAfter([&] { k->SetDrawFocus(false); }), 0);
        Enter(*k);
        QVERIFY(paints.PaintsAfter([&] { k->SetHiLightColor(clGreen); }) >= 1);
        k->setFocus();
        QVERIFY(paints.PaintsAfter([&] { k->SetFocusedTextColor(clNavy); }) >= 1);
        QVERIFY(paints.PaintsAfter([&] { k->SetDoFocusText(true); }) >= 1);
    }

    void dialogKeysReachTheButtons() {
        QDialog dialog;
        auto* ok = new TKXButton(QStringLiteral("OK"), &dialog);
        auto* cancel = new TKXButton(QStringLiteral("Cancel"), &dialog);
        cancel->move(100, 0);
        ok->setDefault(true);
        cancel->SetCancel(true);
        int oks = 0, cancels = 0;
        QObject::connect(ok, &QPushButton::clicked, [&] { ++oks; });
        QObject::connect(cancel, &QPushButton::clicked, [&] { ++cancels; });
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        cancel->setFocus();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(cancels, 1);
        QVERIFY(dialog.isVisible());
        ok->setFocus();
        QTest::keyClick(ok, Qt::Key_Return);
        QCOMPARE(oks, 1);
        QTest::keyClick(ok, Qt::Key_Space);
        QCOMPARE(oks, 2);
        // The default button's caption is bold.
        ok->setDefault(false);
        const QImage plain = Grab(*ok);
        ok->setDefault(true);
        QVERIFY(Grab(*ok) != plain);
        cancel->SetCancel(false);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(cancels, 1);
    }
};

QTEST_MAIN(ToolButtonTest)
#include "ToolButtonTest.moc"

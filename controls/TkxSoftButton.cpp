#include "controls/TkxSoftButton.h"

#include "controls/ColorConversion.h"
#include "controls/ErrorDisplay.h"
#include "controls/Hints.h"
#include "controls/ScreenDepth.h"

#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>

#include <algorithm>

TkxSoftButton::TkxSoftButton(QWidget* parent) : QWidget(parent) {
    resize(25, 25);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
}

TkxSoftButton::~TkxSoftButton() = default;

void TkxSoftButton::SetGlyph(const QPixmap& glyph) {
    fGlyphMaker = nullptr;
    fGlyph = glyph;
    const QSizeF size = glyph.deviceIndependentSize();
    const int w = static_cast<int>(size.width()), h = static_cast<int>(size.height());
    if (!glyph.isNull() && h > 0 && w % h == 0) {
        const int n = w / h;
        SetNumGlyphs(n < 6 ? n : 1);
    }
    update();
}

void TkxSoftButton::SetGlyphMaker(std::function<QPixmap(qreal dpr)> maker) {
    if (!maker) {
        SetGlyph(QPixmap());
        return;
    }
    SetGlyph(maker(devicePixelRatioF()));
    fGlyphMaker = std::move(maker);
}

void TkxSoftButton::SetNumGlyphs(int n) {
    n = std::clamp(n, 1, 5);
    if (n == fNumGlyphs) return;
    fNumGlyphs = n;
    update();
}

void TkxSoftButton::SetCaption(const QString& caption) {
    if (caption == fCaption) return;
    fCaption = caption;
    UpdateShortcut();
    update();
}

void TkxSoftButton::SetColor(TColor color) {
    if (color == fColor) return;
    fColor = color;
    update();
}

void TkxSoftButton::SetParentFont(bool v) {
    if (v == fParentFont) return;
    fParentFont = v;
    // A font that sets nothing of its own takes every part from the parent.
    if (v) setFont(QFont());
}

void TkxSoftButton::SetEdgeForm(TkxBtnForm form) {
    if (form == fEdgeForm) return;
    fEdgeForm = form;
    update();
}

void TkxSoftButton::SetTransparent(bool v) {
    if (v == fTransparent) return;
    fTransparent = v;
    setAttribute(Qt::WA_OpaquePaintEvent, !v);
    update();
}

void TkxSoftButton::SetShadowed(bool v) {
    if (v && !ShadingAllowed(this)) return;
    if (v == fShadowed) return;
    fShadowed = v;
    update();
}

void TkxSoftButton::SetFlat(bool v) {
    if (v == fFlat) return;
    fFlat = v;
    update();
}

void TkxSoftButton::SetHiLightMode(int mode) {
    mode = std::clamp(mode, 0, 3);
    if (mode == fHiLightMode) return;
    fHiLightMode = mode;
    update();
}

void TkxSoftButton::SetLayout(TkxButtonLayout layout) {
    if (layout == fLayout) return;
    fLayout = layout;
    update();
}

void TkxSoftButton::SetGroupIndex(int index) {
    if (index == fGroupIndex) return;
    fGroupIndex = index;
    TellGroup();
}

void TkxSoftButton::SetAllowAllUp(bool v) {
    if (v == fAllowAllUp) return;
    fAllowAllUp = v;
    TellGroup();
}

void TkxSoftButton::SetDown(bool v) {
    if (fGroupIndex == 0) v = false;
    if (v == fDown) return;
    // A group without AllowAllUp keeps one button down: only another
    // button of it going down brings this one up.
    if (fDown && !fAllowAllUp) return;
    fDown = v;
    if (v) {
        fState = bsExclusive;
        update();
        TellGroup();
    } else {
        fState = bsUp;
        update();
    }
}

void TkxSoftButton::SetHint(const QString& hint) {
    fHint = hint;
    ApplyHint(*this, fHint, fShowHint);
}

void TkxSoftButton::SetShowHint(bool v) {
    if (v == fShowHint) return;
    fShowHint = v;
    ApplyHint(*this, fHint, fShowHint);
}

void TkxSoftButton::Click() {
    if (OnClick) OnClick(*this);
}

void TkxSoftButton::TellGroup() {
    QWidget* parent = parentWidget();
    if (!parent) return;
    const auto siblings = parent->findChildren<TkxSoftButton*>(Qt::FindDirectChildrenOnly);
    for (TkxSoftButton* b : siblings)
        if (b != this) b->GroupChanged(*this);
}

void TkxSoftButton::GroupChanged(const TkxSoftButton& sender) {
    if (fGroupIndex == 0 || sender.fGroupIndex != fGroupIndex) return;
    // Only a button going down brings the others up: setting the group of
    // a button that is up leaves the group's down button as it is.
    if (sender.fDown && fDown) {
        fDown = false;
        fState = bsUp;
        update();
    }
    fAllowAllUp = sender.fAllowAllUp;
}

void TkxSoftButton::UpdateShortcut() {
    if (fShortcutId != 0) releaseShortcut(fShortcutId);
    fShortcutId = 0;
    const QKeySequence key = QKeySequence::mnemonic(fCaption);
    if (!key.isEmpty()) fShortcutId = grabShortcut(key);
}

TkxFaceState TkxSoftButton::FaceState() const {
    if (fState == bsDown || fState == bsExclusive) return fcsDown;
    if (!isEnabled()) return fcsDisabled;
    return fHot ? fcsHot : fcsNormal;
}

TkxButtonFace TkxSoftButton::Face(TkxFaceState state) const {
    TkxButtonFace f;
    f.ThemeWindow = parentWidget() ? parentWidget() : this;
    f.Glyph = fGlyph;
    f.Caption = fCaption;
    f.Rect = rect();
    f.FaceColor = fColor;
    f.HotColor = fColor;
    f.FontColor = ToTColor(palette().color(QPalette::ButtonText));
    f.FocusTextColor = f.FontColor;
    f.NumGlyphs = fNumGlyphs;
    f.State = state;
    f.EdgeForm = fEdgeForm;
    f.HiLightMode = fHiLightMode;
    f.Focused = false;
    f.Flat = fFlat;
    f.GlyphRight = fLayout == blGlyphRight;
    f.Shadowed = fShadowed;
    f.FocusText = false;
    f.DrawFocus = false;
    f.DropDown = false;
    return f;
}

void TkxSoftButton::PaintFace(QPainter& canvas) {
    DrawButtonFace(canvas, Face(FaceState()));
}

void TkxSoftButton::paintEvent(QPaintEvent*) {
    if (isEnabled() && fDown && fState == bsUp) fState = bsDown;
    if (fGlyphMaker && !qFuzzyCompare(fGlyph.devicePixelRatio(), devicePixelRatioF()))
        fGlyph = fGlyphMaker(devicePixelRatioF());
    QPainter p(this);
    if (!fTransparent) p.fillRect(rect(), ToQColor(fColor));
    PaintFace(p);
}

void TkxSoftButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (!fDown) {
        fState = bsDown;
        update();
    }
    fTracking = true;
}

void TkxSoftButton::mouseMoveEvent(QMouseEvent* event) {
    const bool inside = rect().contains(event->position().toPoint());
    if (fTracking) {
        const TkxButtonState state = fDown ? bsExclusive : inside ? bsDown : bsUp;
        if (state != fState) {
            fState = state;
            update();
        }
    } else if (!fHot) {
        inside ? MouseEnter() : MouseLeave();
    }
}

void TkxSoftButton::mouseReleaseEvent(QMouseEvent* event) {
    if (!fTracking || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    fTracking = false;
    const bool inside = rect().contains(event->position().toPoint());
    if (fGroupIndex == 0) {
        fState = bsUp;
        fHot = false;
    } else if (inside) {
        SetDown(!fDown);
    } else {
        fState = fDown ? bsExclusive : bsUp;
    }
    update();
    if (inside) {
        QPointer<TkxSoftButton> self(this);
        RunGuarded([this] { Click(); });
        if (!self) return;
    }
    fHot = inside && isEnabled();
    update();
}

void TkxSoftButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click presses the button again.
    if (event->button() == Qt::LeftButton && fDown && OnDblClick)
        RunGuarded([this] { OnDblClick(*this); });
    mousePressEvent(event);
}

void TkxSoftButton::MouseEnter() {
    if (fHot || !isEnabled() || QWidget::mouseGrabber() != nullptr) return;
    fHot = true;
    update();
}

void TkxSoftButton::MouseLeave() {
    if (!fHot || !isEnabled() || fTracking) return;
    fHot = false;
    update();
}

void TkxSoftButton::enterEvent(QEnterEvent* event) {
    MouseEnter();
    QWidget::enterEvent(event);
}

void TkxSoftButton::leaveEvent(QEvent* event) {
    MouseLeave();
    QWidget::leaveEvent(event);
}

void TkxSoftButton::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::EnabledChange:
        fState = isEnabled() ? bsUp : bsDisabled;
        fTracking = fTracking && isEnabled();
        fHot = isEnabled() && underMouse();
        update();
        break;
    case QEvent::FontChange:
        if (testAttribute(Qt::WA_SetFont)) fParentFont = false;
        update();
        break;
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

bool TkxSoftButton::event(QEvent* event) {
    if (event->type() == QEvent::Shortcut &&
        static_cast<QShortcutEvent*>(event)->shortcutId() == fShortcutId && fShortcutId != 0) {
        if (isEnabled() && isVisible() && parentWidget() && parentWidget()->isVisible())
            RunGuarded([this] { Click(); });
        return true;
    }
    return QWidget::event(event);
}

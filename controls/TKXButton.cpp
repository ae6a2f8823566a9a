#include "controls/TKXButton.h"

#include "controls/ColorConversion.h"
#include "controls/ScreenDepth.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QShortcut>

#include <algorithm>

TKXButton::TKXButton(QWidget* parent) : QPushButton(parent) {
    UpdateShape();
}

TKXButton::TKXButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    UpdateShape();
}

TKXButton::~TKXButton() = default;

void TKXButton::SetGlyph(const QPixmap& glyph) {
    fGlyph = glyph;
    const QSizeF size = glyph.deviceIndependentSize();
    const int w = static_cast<int>(size.width()), h = static_cast<int>(size.height());
    if (!glyph.isNull() && h > 0 && w % h == 0) {
        const int n = w / h;
        SetNumGlyphs(n < 6 ? n : 1);
    }
    update();
}

void TKXButton::SetNumGlyphs(int n) {
    n = std::clamp(n, 1, 5);
    if (n == fNumGlyphs) return;
    fNumGlyphs = n;
    update();
}

void TKXButton::SetEdgeForm(TkxBtnForm form) {
    if (form == fEdgeForm) return;
    fEdgeForm = form;
    UpdateShape();
    update();
}

void TKXButton::SetDrawFocus(bool v) {
    if (v == fDrawFocus) return;
    fDrawFocus = v;
    if (hasFocus()) update();
}

void TKXButton::SetColor(TColor color) {
    if (color == fColor) return;
    fColor = color;
    update();
}

void TKXButton::SetHiLightColor(TColor color) {
    if (color == fHiLightColor) return;
    fHiLightColor = color;
    if (fHot) update();
}

void TKXButton::SetFocusedTextColor(TColor color) {
    if (color == fFocusedTextColor) return;
    fFocusedTextColor = color;
    if (hasFocus()) update();
}

void TKXButton::SetShadowed(bool v) {
    if (v && !ShadingAllowed(this)) return;
    if (v == fShadowed) return;
    fShadowed = v;
    update();
}

void TKXButton::SetLeftText(bool v) {
    if (v == fLeftText) return;
    fLeftText = v;
    update();
}

void TKXButton::SetDoFocusText(bool v) {
    if (v == fDoFocusText) return;
    fDoFocusText = v;
    if (hasFocus()) update();
}

void TKXButton::SetFlat(bool v) {
    if (v == fFlat) return;
    fFlat = v;
    update();
}

void TKXButton::SetHiLightMode(int mode) {
    mode = std::clamp(mode, 0, 3);
    if (mode == fHiLightMode) return;
    fHiLightMode = mode;
    update();
}

void TKXButton::SetCancel(bool v) {
    if (v == Cancel()) return;
    if (!v) {
        delete fCancel;
        fCancel = nullptr;
        return;
    }
    fCancel = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    fCancel->setContext(Qt::WindowShortcut);
    connect(fCancel, &QShortcut::activated, this, [this] {
        if (isEnabled() && isVisible()) click();
    });
}

void TKXButton::UpdateShape() {
    // Round shapes reach one pixel past the right and bottom edges, as the
    // outline of the face does.
    const QRect r(0, 0, width() + 1, height() + 1);
    if (fEdgeForm == efEllipse) {
        setMask(QRegion(r, QRegion::Ellipse));
    } else if (fEdgeForm == efRoundRect) {
        QPainterPath path;
        path.addRoundedRect(QRectF(r), 2.5, 2.5);
        setMask(QRegion(path.toFillPolygon().toPolygon()));
    } else {
        clearMask();
    }
}

TkxButtonFace TKXButton::Face() const {
    TkxButtonFace f;
    f.ThemeWindow = this;
    f.Glyph = fGlyph;
    f.Caption = text();
    f.Rect = rect();
    f.FaceColor = fColor;
    f.HotColor = fHiLightColor;
    f.FocusTextColor = fFocusedTextColor;
    f.FontColor = ToTColor(palette().color(QPalette::ButtonText));
    f.NumGlyphs = fNumGlyphs;
    if (!isEnabled())
        f.State = fcsDisabled;
    else if (isDown())
        f.State = fcsDown;
    else if (fHot)
        f.State = fcsHot;
    else
        f.State = fcsNormal;
    f.EdgeForm = fEdgeForm;
    f.HiLightMode = fHiLightMode;
    f.Focused = hasFocus();
    f.Flat = fFlat;
    f.GlyphRight = fLeftText;
    f.Shadowed = fShadowed;
    f.FocusText = fDoFocusText;
    f.DrawFocus = fDrawFocus;
    f.DropDown = false;
    return f;
}

void TKXButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QFont f = font();
    if (isDefault()) f.setBold(true);
    p.setFont(f);
    DrawButtonFace(p, Face());
}

void TKXButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    UpdateShape();
}

void TKXButton::enterEvent(QEnterEvent* event) {
    if (isEnabled()) {
        fHot = true;
        update();
    }
    QPushButton::enterEvent(event);
}

void TKXButton::leaveEvent(QEvent* event) {
    if (isEnabled()) {
        fHot = false;
        update();
    }
    QPushButton::leaveEvent(event);
}

void TKXButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange ||
        event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        update();
    QPushButton::changeEvent(event);
}

void TKXButton::focusInEvent(QFocusEvent* event) {
    QPushButton::focusInEvent(event);
    update();
}

void TKXButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    update();
}

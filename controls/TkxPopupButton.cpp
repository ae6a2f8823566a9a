#include "controls/TkxPopupButton.h"

#include "controls/EdgePainter.h"
#include "controls/ErrorDisplay.h"
#include "controls/VisualStyle.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

TkxPopupButton::TkxPopupButton(QWidget* parent) : TkxSoftButton(parent) {}

void TkxPopupButton::SetDrawDropDown(bool v) {
    if (v == fDrawDropDown) return;
    fDrawDropDown = v;
    update();
}

void TkxPopupButton::SetSeparateDropDown(bool v) {
    if (v == fSeparateDropDown) return;
    fSeparateDropDown = v;
    update();
}

bool TkxPopupButton::InArrowPart(const QPoint& pos) const {
    return pos.x() >= width() - 14 && pos.x() < width() && pos.y() >= 0 && pos.y() < height();
}

QPoint TkxPopupButton::DropDownPoint() const {
    return mapToGlobal(QPoint(0, height()));
}

void TkxPopupButton::Click() {
    TkxSoftButton::Click();
    if (!fSeparateDropDown) DropDown();
}

void TkxPopupButton::DropDown() {
    bool handled = false;
    if (OnPopup) OnPopup(*this, handled);
    QWidget* panel = fDropDown.data();
    if (handled || !panel) return;
    const QPoint at = DropDownPoint();
    if (auto* menu = qobject_cast<QMenu*>(panel)) {
        menu->popup(at);
        return;
    }
    panel->move(panel->isWindow() || !panel->parentWidget()
                    ? at
                    : panel->parentWidget()->mapFromGlobal(at));
    panel->show();
    panel->raise();
}

void TkxPopupButton::PaintFace(QPainter& canvas) {
    if (!fDrawDropDown) {
        TkxSoftButton::PaintFace(canvas);
        return;
    }
    const TkxFaceState state = FaceState();
    if (State() == bsArrowPressed) {
        // The arrow part stays pressed while the rest shows the button's
        // own look.
        TkxButtonFace pressed = Face(fcsDown);
        pressed.DropDown = true;
        pressed.DropDownPressed = true;
        DrawButtonFace(canvas, pressed);
        canvas.save();
        canvas.setClipRect(QRect(0, 0, width() - 12, height()));
        TkxButtonFace rest = Face(state);
        rest.DropDown = true;
        DrawButtonFace(canvas, rest);
        canvas.restore();
    } else {
        TkxButtonFace f = Face(state);
        f.DropDown = true;
        f.DropDownPressed = state == fcsDown;
        DrawButtonFace(canvas, f);
    }
    if (fSeparateDropDown && isEnabled()) {
        const bool themed = IsThemeActive(parentWidget() ? parentWidget() : this);
        if (Hot() || !Flat() || themed) {
            const int top = themed ? 2 : 1;
            DrawEdge(canvas, QRect(width() - 14, top, 2, height() - 2 - top), edEtched, esLeft);
        }
    }
}

void TkxPopupButton::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && isEnabled() && fSeparateDropDown && fDrawDropDown &&
        pos.x() > width() - 14) {
        SetState(bsArrowPressed);
        fArrowTracking = true;
        update();
        return;
    }
    TkxSoftButton::mousePressEvent(event);
}

void TkxPopupButton::mouseMoveEvent(QMouseEvent* event) {
    if (!fArrowTracking) {
        TkxSoftButton::mouseMoveEvent(event);
        return;
    }
    const bool inArrow = InArrowPart(event->position().toPoint());
    const TkxButtonState state = inArrow ? bsArrowPressed : bsUp;
    if (state != State() || inArrow != Hot()) {
        SetState(state);
        SetHot(inArrow);
        update();
    }
}

void TkxPopupButton::mouseReleaseEvent(QMouseEvent* event) {
    if (!fArrowTracking || event->button() != Qt::LeftButton) {
        TkxSoftButton::mouseReleaseEvent(event);
        return;
    }
    fArrowTracking = false;
    SetState(bsUp);
    SetHot(false);
    update();
    if (InArrowPart(event->position().toPoint())) RunGuarded([this] { DropDown(); });
}

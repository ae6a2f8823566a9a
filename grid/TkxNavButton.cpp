#include "grid/TkxNavButton.h"

#include "controls/EdgePainter.h"
#include "controls/ErrorDisplay.h"
#include "grid/TkxDBNavigator.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

TkxNavButton::TkxNavButton(TkxDBNavigator* navigator, TkxNavigateBtn index)
    : TkxSoftButton(navigator), fNavigator(navigator), fIndex(index) {}

TkxNavButton::~TkxNavButton() = default;

void TkxNavButton::RepeatTick() {
    if (!fRepeatTimer) return;
    fRepeatTimer->setInterval(100);
    if (State() == bsDown && Tracking()) {
        try {
            Click();
        } catch (...) {
            fRepeatTimer->stop();
            throw;
        }
    }
}

void TkxNavButton::paintEvent(QPaintEvent* event) {
    TkxSoftButton::paintEvent(event);
    if (fNavigator && fNavigator->hasFocus() && fNavigator->FocusedButton() == fIndex) {
        QPainter p(this);
        QRect r = rect().adjusted(3, 3, -3, -3);
        if (State() == bsDown) r.translate(1, 1);
        DrawFocusRect(p, r);
    }
}

void TkxNavButton::mousePressEvent(QMouseEvent* event) {
    TkxSoftButton::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || !isEnabled()) return;
    if (fNavigator) fNavigator->ButtonPressed(*this);
    if (fAutoRepeat) {
        if (!fRepeatTimer) {
            fRepeatTimer = new QTimer(this);
            connect(fRepeatTimer, &QTimer::timeout, this,
                    [this] { RunGuarded([this] { RepeatTick(); }); });
        }
        fRepeatTimer->setInterval(400);
        fRepeatTimer->start();
    }
}

void TkxNavButton::mouseReleaseEvent(QMouseEvent* event) {
    if (fRepeatTimer) fRepeatTimer->stop();
    TkxSoftButton::mouseReleaseEvent(event);
}

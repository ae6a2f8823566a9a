#pragma once

#include "controls/TkxSoftButton.h"
#include "grid/TkxNavigateBtn.h"

class QTimer;
class TkxDBNavigator;

// One button of the navigator: a flat tool button that knows its place on
// the bar, shows the bar's focus rectangle, and (prior and next) repeats
// its click while held down: after 400 ms, then every 100 ms.
class TkxNavButton : public TkxSoftButton {
    Q_OBJECT
public:
    TkxNavButton(TkxDBNavigator* navigator, TkxNavigateBtn index);
    ~TkxNavButton() override;

    TkxNavigateBtn Index() const { return fIndex; }
    bool AutoRepeat() const { return fAutoRepeat; }
    void SetAutoRepeat(bool v) { fAutoRepeat = v; }
    // Made at the first press of an auto-repeat button.
    QTimer* RepeatTimer() const { return fRepeatTimer; }
    // One tick of the repeat timer: the next ticks come every 100 ms, and
    // the button clicks again while it is still held down. A failing click
    // stops the timer and raises.
    void RepeatTick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TkxDBNavigator* fNavigator;
    TkxNavigateBtn fIndex;
    bool fAutoRepeat = false;
    QTimer* fRepeatTimer = nullptr;
};

#pragma once

#include "controls/TkxSoftButton.h"

#include <QPointer>

#include <functional>

// A tool button that drops down a menu or a panel below its left edge:
// on every click, or, with SeparateDropDown, only from its arrow part (the
// rightmost 14 pixels), the rest acting as a plain button.
class TkxPopupButton : public TkxSoftButton {
    Q_OBJECT
public:
    explicit TkxPopupButton(QWidget* parent = nullptr);

    bool DrawDropDown() const { return fDrawDropDown; }
    void SetDrawDropDown(bool v);
    bool SeparateDropDown() const { return fSeparateDropDown; }
    void SetSeparateDropDown(bool v);
    // A QMenu pops up; any other widget (a panel) is moved there and shown.
    QWidget* DropDownComponent() const { return fDropDown; }
    void SetDropDownComponent(QWidget* component) { fDropDown = component; }

    // Runs before dropping down; setting handled keeps the drop-down back.
    std::function<void(QObject& sender, bool& handled)> OnPopup;

    void Click() override;
    // Drops the component down at DropDownPoint.
    void DropDown();
    // The button's bottom-left corner on the screen.
    QPoint DropDownPoint() const;
    // Whether a point of the button is in its arrow part.
    bool InArrowPart(const QPoint& pos) const;

protected:
    void PaintFace(QPainter& canvas) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool fDrawDropDown = true;
    bool fSeparateDropDown = false;
    QPointer<QWidget> fDropDown;
    bool fArrowTracking = false;
};

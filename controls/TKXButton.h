#pragma once

#include "controls/ButtonFace.h"
#include "export/view/Color.h"

#include <QPixmap>
#include <QPushButton>

class QShortcut;

// The dialogs' push button: a QPushButton (focus, Space, default button on
// Enter in a dialog) whose face DrawButtonFace paints. Round and elliptic
// buttons get a window shape of their own.
class TKXButton : public QPushButton {
    Q_OBJECT
public:
    explicit TKXButton(QWidget* parent = nullptr);
    explicit TKXButton(const QString& caption, QWidget* parent = nullptr);
    ~TKXButton() override;

    const QPixmap& Glyph() const { return fGlyph; }
    void SetGlyph(const QPixmap& glyph); // same strip rule as the tool buttons
    int NumGlyphs() const { return fNumGlyphs; }
    void SetNumGlyphs(int n);
    TkxBtnForm EdgeForm() const { return fEdgeForm; }
    void SetEdgeForm(TkxBtnForm form);
    bool DrawFocus() const { return fDrawFocus; }
    void SetDrawFocus(bool v);
    TColor Color() const { return fColor; }
    void SetColor(TColor color);
    TColor HiLightColor() const { return fHiLightColor; }
    void SetHiLightColor(TColor color);
    TColor FocusedTextColor() const { return fFocusedTextColor; }
    void SetFocusedTextColor(TColor color);
    bool Shadowed() const { return fShadowed; }
    void SetShadowed(bool v); // refused on a palette screen without a theme
    bool LeftText() const { return fLeftText; }
    void SetLeftText(bool v); // the caption left of the glyph
    bool DoFocusText() const { return fDoFocusText; }
    void SetDoFocusText(bool v);
    bool Flat() const { return fFlat; }
    void SetFlat(bool v);
    int HiLightMode() const { return fHiLightMode; }
    void SetHiLightMode(int mode); // clamped to 0..3
    // Escape in the button's window clicks it.
    bool Cancel() const { return fCancel != nullptr; }
    void SetCancel(bool v);

    bool Hot() const { return fHot; }
    // The face as painted now.
    TkxButtonFace Face() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void UpdateShape();

    QPixmap fGlyph;
    int fNumGlyphs = 1;
    TkxBtnForm fEdgeForm = efRoundRect;
    bool fDrawFocus = true;
    TColor fColor = clBtnFace;
    TColor fHiLightColor = clBtnFace;
    TColor fFocusedTextColor = clRed;
    bool fShadowed = true;
    bool fLeftText = false;
    bool fDoFocusText = false;
    bool fFlat = false;
    int fHiLightMode = 0;
    bool fHot = false;
    QShortcut* fCancel = nullptr;
};

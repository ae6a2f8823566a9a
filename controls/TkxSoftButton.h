#pragma once

#include "controls/ButtonFace.h"
#include "controls/Events.h"
#include "export/view/Color.h"

#include <QPixmap>
#include <QWidget>

#include <functional>

class QPainter;

// Where a button is in its life: up, disabled, pressed, held down in a
// group; a drop-down button also has its arrow part pressed.
enum TkxButtonState : int { bsUp, bsDisabled, bsDown, bsExclusive, bsArrowPressed };

enum TkxButtonLayout : int { blGlyphLeft, blGlyphRight };

// A flat tool button: no focus of its own, hot while the mouse is over it,
// optionally one of a group of which one stays down. It paints itself with
// DrawButtonFace.
class TkxSoftButton : public QWidget {
    Q_OBJECT
public:
    explicit TkxSoftButton(QWidget* parent = nullptr);
    ~TkxSoftButton() override;

    const QPixmap& Glyph() const { return fGlyph; }
    // Copies the strip; a strip of whole squares sets NumGlyphs to their
    // count (up to 5; 6 or more give 1).
    void SetGlyph(const QPixmap& glyph);
    // A glyph drawn for the device-pixel ratio the button is shown at, and
    // drawn again when that changes.
    void SetGlyphMaker(std::function<QPixmap(qreal dpr)> maker);
    int NumGlyphs() const { return fNumGlyphs; }
    void SetNumGlyphs(int n); // clamped to 1..5
    const QString& Caption() const { return fCaption; }
    void SetCaption(const QString& caption); // "&x" makes Alt+X click it
    TColor Color() const { return fColor; }
    void SetColor(TColor color);
    bool ParentFont() const { return fParentFont; }
    void SetParentFont(bool v);
    TkxBtnForm EdgeForm() const { return fEdgeForm; }
    void SetEdgeForm(TkxBtnForm form);
    bool Transparent() const { return fTransparent; }
    void SetTransparent(bool v); // off: paints its whole area
    bool Shadowed() const { return fShadowed; }
    // Turning it on is refused on a palette screen without a theme.
    void SetShadowed(bool v);
    bool Flat() const { return fFlat; }
    void SetFlat(bool v);
    int HiLightMode() const { return fHiLightMode; }
    void SetHiLightMode(int mode); // clamped to 0..3
    TkxButtonLayout Layout() const { return fLayout; }
    void SetLayout(TkxButtonLayout layout);
    int GroupIndex() const { return fGroupIndex; }
    void SetGroupIndex(int index);
    bool AllowAllUp() const { return fAllowAllUp; }
    void SetAllowAllUp(bool v);
    bool Down() const { return fDown; }
    void SetDown(bool v);
    const QString& Hint() const { return fHint; }
    void SetHint(const QString& hint); // "short|long"
    bool ShowHint() const { return fShowHint; }
    void SetShowHint(bool v);

    TkxButtonState State() const { return fState; }
    bool Hot() const { return fHot; }
    bool Tracking() const { return fTracking; }

    // Runs OnClick (also what a mouse click or the accelerator does).
    virtual void Click();

    TkxNotifyEvent OnClick;
    TkxNotifyEvent OnDblClick;

protected:
    // The face state painted now.
    virtual TkxFaceState FaceState() const;
    // The face as DrawButtonFace gets it, in a given state.
    TkxButtonFace Face(TkxFaceState state) const;
    // Paints the button's face; drop-down buttons paint theirs.
    virtual void PaintFace(QPainter& canvas);

    void SetState(TkxButtonState state) { fState = state; }
    void SetHot(bool hot) { fHot = hot; }
    void MouseEnter();
    void MouseLeave();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void TellGroup();
    void GroupChanged(const TkxSoftButton& sender);
    void UpdateShortcut();

    QPixmap fGlyph;
    std::function<QPixmap(qreal)> fGlyphMaker;
    int fNumGlyphs = 1;
    QString fCaption;
    TColor fColor = clBtnFace;
    bool fParentFont = true;
    TkxBtnForm fEdgeForm = efRoundRect;
    bool fTransparent = true;
    bool fShadowed = true;
    bool fFlat = false;
    int fHiLightMode = 0;
    TkxButtonLayout fLayout = blGlyphLeft;
    int fGroupIndex = 0;
    bool fAllowAllUp = false;
    bool fDown = false;
    QString fHint;
    bool fShowHint = true;

    TkxButtonState fState = bsUp;
    bool fHot = false;
    bool fTracking = false;
    int fShortcutId = 0;
};

#pragma once

#include "controls/ButtonFace.h"
#include "grid/AutoScroll.h"
#include "grid/DBGrid.h"
#include "grid/KXGridTypes.h"

#include <QImage>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

class TGridHintWindow;

// A picture a cell hook hands the grid to show instead of the text.
class TQtCellBitmap : public TCellBitmap {
public:
    explicit TQtCellBitmap(QImage image) : Image(std::move(image)) {}
    QImage Image;
};

// How the border around the window is drawn.
enum TBorderStyle : int { bsNone, bsSingle };

// What a hint over the grid would show at a point.
struct TGridHint {
    QString Text;
    QRect CursorRect; // where it stays up (viewport coordinates); empty: no hint
    QPoint Place;     // its top-left corner for a data cell (viewport coordinates)
    bool PlaceAtCell = false;
    bool FromGrid = false; // the grid's own hint, not the control's
};

// The main window's data grid: its own cell painting (check boxes,
// pictures, memo text, rows of several lines), titles drawn as buttons
// with sort markers and sorting by a title click, column and data hints,
// wheel and middle-button autoscroll, frozen columns, a flat border and an
// empty grid's logo.
class TKXDBGrid : public TDBGrid {
    Q_OBJECT
public:
    explicit TKXDBGrid(QWidget* parent = nullptr);
    ~TKXDBGrid() override;

    // --- Published properties (their values at creation in the comments) --
    int FixedColumns() const { return fFixedColumns; } // 0
    void SetFixedColumns(int n);
    bool ShowLogo() const { return fShowLogo; } // false
    void SetShowLogo(bool v);
    TkxBtnForm EdgeForm() const { return fEdgeForm; } // efRect
    void SetEdgeForm(TkxBtnForm form);
    bool Shadowed() const { return fShadowed; } // true
    void SetShadowed(bool v);
    void SetFlat(bool v);                             // false
    void SetDrawBool(bool v);                         // false
    bool ColumnHints() const { return fColumnHints; } // false
    void SetColumnHints(bool v) { fColumnHints = v; }
    bool DataHints() const { return fDataHints; } // false
    void SetDataHints(bool v) { fDataHints = v; }
    void SetDrawGraphic(bool v); // false
    // smsRed when a visual style is active, else smsClassic.
    TSortMarkerStyle SortMarkerStyle() const { return fSortMarkerStyle; }
    void SetSortMarkerStyle(TSortMarkerStyle style);
    bool AutoSort() const { return fAutoSort; } // false
    void SetAutoSort(bool v) { fAutoSort = v; }
    bool TitleButtons() const { return fTitleButtons; } // false
    void SetTitleButtons(bool v);
    TIntelliPan IntelliPan() const { return fIntelliPan; } // ipVert
    void SetIntelliPan(TIntelliPan v) { fIntelliPan = v; }
    bool IntelliZoom() const { return fIntelliZoom; } // true
    void SetIntelliZoom(bool v) { fIntelliZoom = v; }
    bool ShowHint() const { return fShowHint; } // true
    void SetShowHint(bool v) { fShowHint = v; }
    TBorderStyle BorderStyle() const { return fBorderStyle; } // bsSingle
    void SetBorderStyle(TBorderStyle v);
    void SetCtl3D(bool v);

    // --- Events ------------------------------------------------------------
    std::function<void(TKXDBGrid& sender, TField* field, TFont& font, TColor& background,
                       TSortMarker& sortMarker, bool isDown)>
        OnGetBtnParams;
    std::function<void(TKXDBGrid& sender, int acol, TField* field)> OnTitleBtnClick;
    std::function<void(TKXDBGrid& sender, int acol, TField* field, bool& enabled)> OnCheckButton;
    std::function<void(TKXDBGrid& sender, TField* field, bool& allowEdit)> OnShowEditor;

    // --- Operations ----------------------------------------------------------
    // Whether the title of column `acol` acts as a button.
    virtual void CheckButton(int acol, bool& enabled);
    // A click on the title button of column `acol`.
    virtual void TitleBtnClick(int acol, TField* field);
    // Sorts by the field (Shift: adds it to the sort), through the dataset's
    // own facility.
    void SortByField(const std::string& fieldName, bool addToSort);
    bool IsSortedBy(const std::string& fieldName, int& pos, bool& desc) const;
    void ClearSort() { fSortString.clear(); }
    const std::string& SortString() const { return fSortString; }
    // One line more or fewer per row (1 to 8 lines).
    void ChangeRowHeight(bool taller);
    int ExtraLines() const { return RowHeightLines(); }
    int BaseLineHeight() const { return fBaseLineHeight; }
    // The grid prepares cells as every table view does (its subclasses may not).
    bool CellsFromColumns() const override;
    void SavePosition() override;
    void RestorePosition() override;
    // Ends a title press (a window took the mouse away).
    void CancelMode();

    // --- Autoscroll ------------------------------------------------------------
    bool AutoScrolling() const { return fAutoScroll.Active(); }
    QPoint AutoScrollOrigin() const { return fAutoScroll.Origin(); }
    QTimer& AutoScrollTimer() { return fAutoScroll.Timer(); }
    // One tick of the 40 ms timer with the mouse at `mouse` (viewport
    // coordinates); the timer passes the real mouse position.
    void AutoScrollTick(QPoint mouse);
    int AutoScrollCursorNumber() const { return fAutoScroll.CursorId(); }
    void StopAutoScroll();

    // --- Hints -------------------------------------------------------------
    TGridHint HintAt(QPoint pos);
    TGridHintWindow* HintWindow() const { return fHintWindow; }
    // The box that clicks and Space toggle in a boolean cell.
    static QRect CheckBoxRect(const QRect& cell);

    // The title of the pressed column is shown down.
    bool TitleDown() const { return fTitleDown; }
    bool TitleTracking() const { return fTracking; }

    // For the layout code of the framework.
    void LinkActive(bool value) override;
    void LayoutChanged() override;

protected:
    void Paint(QPainter& painter) override;
    void DrawCell(int col, int row, const QRect& rect, unsigned state) override;
    bool SelectCell(int col, int row) override;
    bool CanEditShow() override;
    void KeyDown(QKeyEvent& event) override;
    void MouseDown(QMouseEvent& event) override;
    void MouseMove(QMouseEvent& event) override;
    void MouseUp(QMouseEvent& event) override;
    bool DoMouseWheelDown(Qt::KeyboardModifiers modifiers) override;
    bool DoMouseWheelUp(Qt::KeyboardModifiers modifiers) override;
    void WheelStep(int steps, Qt::KeyboardModifiers modifiers) override;

    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void DrawDataCell(const QRect& rect, unsigned state, TColumn& column, int dataCol, int row);
    void DrawTitleCell(const QRect& rect, int dataCol, TColumn* column);
    void DrawCellFrame(QRect rect, int col, int row, unsigned state);
    void DrawPicture(const QRect& rect, TField& field, TAlignment alignment);
    void DrawLogo(QPainter& p);
    void DrawBorder();
    void ApplyBorder();
    TSortMarker MarkerOf(TField* field);
    void UpdateDownState(QPoint p);
    void EndTracking();
    bool OverTitleOf(QPoint p, int col) const;
    bool CanToggleBoolean() const;
    void ToggleBoolean();
    bool OverCurrentCheckBox(QPoint p) const;
    void SelectRange(int distance, bool disable);
    void StartAutoScroll(QPoint origin);
    void OnAutoScrollTimer();
    void InvalidateOriginMark();
    void ScheduleHint(QPoint pos);
    void ShowHintNow();
    void HideHint();
    void ApplyFixedColumns();

    int fFixedColumns = 0;
    bool fShowLogo = false;
    TkxBtnForm fEdgeForm = efRect;
    bool fShadowed = true;
    bool fColumnHints = false;
    bool fDataHints = false;
    TSortMarkerStyle fSortMarkerStyle = smsClassic;
    bool fAutoSort = false;
    bool fTitleButtons = false;
    TIntelliPan fIntelliPan = ipVert;
    bool fIntelliZoom = true;
    bool fShowHint = true;
    TBorderStyle fBorderStyle = bsSingle;
    int fFlatBorderWidth = 0;
    int fBaseLineHeight = 17;

    TDBGridCellParams fCellParams;
    std::string fSortString;
    std::vector<std::string> fPaintIndexFields; // while a paint runs
    bool fPaintIndexKnown = false;

    // Title button
    bool fTracking = false;
    bool fTitleDown = false;
    int fPressedCol = -1; // grid column
    const TColumn* fPressedColumn = nullptr;
    QPoint fPressPoint;
    std::optional<Qt::KeyboardModifiers> fReleaseModifiers; // while a release clicks

    // Booleans and the editor
    bool fBoolClick = false;
    bool fSpaceDown = false;
    QPoint fMousePos{-1, -1};
    bool fMouseInside = false;

    TAutoScroll fAutoScroll;
    TGridHintWindow* fHintWindow = nullptr;
    QTimer fHintTimer;
    QPoint fHintPos;
    QRect fHintRect;

    // Where the export put the position aside.
    std::string fSavedBookmark;
    int fSavedOffset = 0;
    int fSavedRow = 0;
    bool fHasSaved = false;
};

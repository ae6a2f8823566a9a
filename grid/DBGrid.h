#pragma once

#include "export/view/TableView.h"
#include "grid/GridDataLink.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QRect>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLineEdit;
class QPainter;
class TInplaceEdit;

// A cell of the grid: column X and row Y, counted with the indicator column
// and the title row; -1 where the point lies on no cell.
struct TGridCoord {
    int X = -1;
    int Y = -1;
    bool operator==(const TGridCoord&) const = default;
};

// What the mouse is doing with the grid.
enum TGridState : int { gsNormal, gsSelecting, gsColSizing, gsColMoving };

// The canvas of a cell being drawn: the painter and what the cell's drawing
// has selected into it (font, brush and pen colours).
struct TGridCanvas {
    QPainter* Painter = nullptr;
    TFont Font;
    TColor Brush = clWindow;
    TColor Pen = clWindowText;
};

// The framework's data grid: a table view (columns, fonts, colours,
// options, the selected rows) shown in a scroll area that paints only the
// cells on screen and reads only the records on screen, by their place in
// the dataset's order. The vertical scroll bar maps to those places, so any
// record of a table is one drag away. It has the indicator column, the
// title row, fixed columns, default and per-row heights, the in-place
// editor, rows selected as bookmarks, column sizing and moving by mouse,
// and the keyboard of a data grid.
class TDBGrid : public QAbstractScrollArea, public TTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    // --- The data link ---------------------------------------------------
    void SetDataSource(TDataSource* source) override;
    TGridDataLink& DataLink() const { return *fDataLink; }
    // The link is active: a data source with an open dataset.
    bool LinkIsActive() const { return fDataLink->Active(); }

    // --- Presentation ------------------------------------------------------
    void SetOptions(unsigned options);
    void SetColor(TColor color);
    void SetFixedColor(TColor color);
    void SetFont(const TFont& font);
    void SetTitleFont(const TFont& font);
    void SetCtl3D(bool v);
    bool ReadOnly() const { return fReadOnly; }
    void SetReadOnly(bool v) { fReadOnly = v; }
    bool DefaultDrawing() const { return fDefaultDrawing; }
    void SetDefaultDrawing(bool v);
    int GridLineWidth() const { return 1; }
    // Width of the indicator column.
    static constexpr int IndicatorWidth = 11;

    // --- Rows and columns, counted with indicator and titles -------------
    int TitleOffset() const { return (Options() & dgTitles) ? 1 : 0; }
    int IndicatorOffset() const { return (Options() & dgIndicator) ? 1 : 0; }
    int RowCount() const { return fRowCount; }
    int ColCount() const { return IndicatorOffset() + ColumnCount(); }
    int FixedRows() const { return TitleOffset(); }
    int FixedCols() const { return fFixedCols; }
    void SetFixedCols(int n);
    int Row() const { return TitleOffset() + fDataLink->CurrentRow(); }
    int Col() const { return fCol; }
    // Selects the column (SelectCell may refuse it); the row is the
    // current record's.
    void SetCol(int col);
    int LeftCol() const { return fLeftCol; }
    void SetLeftCol(int col);
    // The first scrolling row; rows of a data grid never scroll as rows.
    int TopRow() const { return TitleOffset(); }
    int DefaultRowHeight() const { return fDefaultRowHeight; }
    void SetDefaultRowHeight(int height);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    int ColWidths(int col) const;
    // Data rows that fit into the window, and columns shown whole.
    int VisibleRowCount() const { return fDataLink->BufferCount(); }
    int VisibleColCount() const;
    QRect CellRect(int col, int row) const;
    TGridCoord MouseCoord(int x, int y) const;
    // The current column as a column index, and its field.
    void SetSelectedIndex(int index);
    TField* SelectedField() const;
    void SetSelectedField(TField* field);
    int RawToDataColumn(int col) const { return col - IndicatorOffset(); }
    int DataToRawColumn(int col) const { return col + IndicatorOffset(); }
    TGridState GridState() const { return fGridState; }
    // The mouse would size a column at this point (the right edge of a
    // data column in the title row).
    bool InSizingSpot(int x, int y) const;

    // --- Editing -----------------------------------------------------------
    bool EditorMode() const;
    void SetEditorMode(bool v);
    QLineEdit* InplaceEditor() const;
    void ShowEditor();
    void HideEditor();
    // Writes the editor's text into the field when the user changed it;
    // false (and the message shown) when the field refuses it.
    bool UpdateEditorData();

    // --- Events ------------------------------------------------------------
    std::function<void(TDBGrid& sender)> OnColEnter;
    std::function<void(TDBGrid& sender)> OnColExit;
    std::function<void(TDBGrid& sender, TColumn& column)> OnCellClick;
    std::function<void(TDBGrid& sender, TColumn& column)> OnTitleClick;
    std::function<void(TDBGrid& sender)> OnDblClick;
    std::function<void(TDBGrid& sender, int fromIndex, int toIndex)> OnColumnMoved;
    std::function<void(TDBGrid& sender, QKeyEvent& event)> OnKeyDown;
    std::function<void(TDBGrid& sender, QMouseEvent& event)> OnMouseDown;
    std::function<void(TDBGrid& sender, TGridCanvas& canvas, const QRect& rect, int dataCol,
                       TColumn& column, unsigned state)>
        OnDrawColumnCell;
    // Asks the user to confirm a deletion; true for OK. The default is a
    // message box with OK and Cancel.
    std::function<bool(TDBGrid& sender, const QString& question)> OnConfirm;

    // --- From the data link and the editor --------------------------------
    virtual void LinkActive(bool value);
    virtual void LayoutChanged();
    void DataChanged();
    void Scrolled(int distance);
    void RecordChanged(TField* field);
    void EditingChanged();
    void UpdateData();
    void EditorKeyDown(QKeyEvent& event);
    bool EditorCanModify();
    void EditorFocusLost();

    // The canvas of the cell being drawn (between paints: an empty one).
    TGridCanvas& Canvas() { return fCanvas; }

protected:
    // --- Drawing -------------------------------------------------------------
    virtual void Paint(QPainter& painter);
    // One cell, `state` of TGridDrawState bits; the rectangle leaves out the
    // grid lines.
    virtual void DrawCell(int col, int row, const QRect& rect, unsigned state);
    virtual bool HighlightCell(int dataCol, int dataRow, const std::string& value, unsigned state);
    // Raises OnDrawColumnCell.
    virtual void DrawColumnCell(const QRect& rect, int dataCol, TColumn& column, unsigned state);
    // The text of the cell's field in the canvas' font and colours.
    void DefaultDrawColumnCell(const QRect& rect, int dataCol, TColumn& column, unsigned state);
    void DefaultDrawDataCell(const QRect& rect, TField* field, unsigned state);
    // The indicator of a data row: the current record's arrow, the editing
    // and inserting marks, the multi-select dot.
    void DrawIndicator(const QRect& rect, int dataRow);
    void InvalidateCell(int col, int row);
    void InvalidateCol(int col);
    void InvalidateRow(int row);
    void InvalidateTitles();
    void InvalidateRect(const QRect& rect);

    // --- Behaviour -------------------------------------------------------------
    virtual bool SelectCell(int col, int row);
    virtual bool CanEditShow();
    virtual void ColEnter();
    virtual void ColExit();
    virtual void TopLeftChanged() {}
    virtual void ColWidthsChanged();
    virtual void ColumnMoved(int fromIndex, int toIndex);
    virtual void TitleClick(TColumn& column);
    virtual void CellClick(TColumn& column);
    // Rows on screen for the window's height, and the row count after.
    void UpdateRowCount();
    void UpdateScrollBars();
    // Moves the cursor by records; the editor's text is written first.
    int MoveBy(int distance);
    void MoveToRow(int row);
    bool CanModifyData() const;
    void SetRowCount(int count) { fRowCount = count; }
    void SetBaseLayout(int defaultRowHeight, int titleHeight);

    virtual void KeyDown(QKeyEvent& event);
    virtual void MouseDown(QMouseEvent& event);
    virtual void MouseMove(QMouseEvent& event);
    virtual void MouseUp(QMouseEvent& event);
    virtual void DblClick(QMouseEvent& event);
    // One wheel step; true when it was used.
    virtual bool DoMouseWheelDown(Qt::KeyboardModifiers modifiers);
    virtual bool DoMouseWheelUp(Qt::KeyboardModifiers modifiers);
    virtual void WheelStep(int steps, Qt::KeyboardModifiers modifiers);

    // Qt's events lead to the operations above.
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

    // The x of every column (-1 where it is not shown) and its width.
    struct TColumnSpan {
        int X = -1;
        int Width = 0;
    };
    const std::vector<TColumnSpan>& Spans() const;
    void ComputeSpans() const;
    int RowTop(int row) const;
    bool ColumnShown(int col) const;
    void MakeColVisible(int col);
    int NextCol(int col, int step) const;

private:
    friend class TGridDataLink;
    void OnVerticalAction(int action);
    void OnHorizontalAction(int action);
    void ApplyScroll(int top);
    void UpdateEditorGeometry();
    void RefreshEditorText();
    void MoveColumnTo(int from, int to);
    int MoveTargetAt(QPoint p) const;
    bool Confirm(const QString& question);
    void DrawMoveMark(QPainter& p);
    void DeleteRecord();
    void InsertRecord();
    void Tab(bool forward);
    void AfterMove();

    std::unique_ptr<TGridDataLink> fDataLink;
    TInplaceEdit* fEditor = nullptr;
    TGridCanvas fCanvas;
    bool fReadOnly = false;
    bool fDefaultDrawing = true;
    int fRowCount = 1;
    int fFixedCols = 0;
    int fCol = 0;
    int fLeftCol = 0;
    int fDefaultRowHeight = 17;
    int fTitleHeight = 17;
    std::vector<int> fRowHeights; // by row; 0 where the default holds
    mutable std::vector<TColumnSpan> fSpans;
    TGridState fGridState = gsNormal;
    int fSizingCol = -1;
    int fSizingOffset = 0;
    int fMoveFrom = -1;
    int fMoveTo = -1;
    QPoint fMoveStart;
    bool fMoved = false;
    bool fScrolling = false; // the scroll bars are being set by the grid
    int fWheelRemainder = 0;
    bool fEditorWanted = false;
    bool fInUpdateData = false;
};

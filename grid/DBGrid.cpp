#include "grid/DBGrid.h"

#include "controls/ColorConversion.h"
#include "controls/EdgePainter.h"
#include "controls/ErrorDisplay.h"
#include "controls/Utf8Text.h"
#include "data/DataSet.h"
#include "grid/CellText.h"
#include "grid/InplaceEdit.h"
#include "grid/QtFontMetrics.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace {
int BaseRowHeight(const TFont& font, bool rowLines) {
    return TQtFontMetrics::Instance().Of(font).height() + 3 + (rowLines ? 1 : 0);
}
} // namespace

TDBGrid::TDBGrid(QWidget* parent)
    : QAbstractScrollArea(parent), fDataLink(std::make_unique<TGridDataLink>(this)) {
    SetMetrics(&TQtFontMetrics::Instance());
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &TDBGrid::OnVerticalAction);
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &TDBGrid::OnHorizontalAction);
    fEditor = new TInplaceEdit(*this);
    fCol = IndicatorOffset();
    fFixedCols = IndicatorOffset();
    fLeftCol = fFixedCols;
    SetBaseLayout(BaseRowHeight(Font(), Options() & dgRowLines),
                  BaseRowHeight(TitleFont(), Options() & dgRowLines));
}

TDBGrid::~TDBGrid() {
    // No dataset event may reach a grid that is going.
    fDataLink->Detach();
    fDataLink->SetDataSource(nullptr);
}

// ---- Data link ---------------------------------------------------------------

void TDBGrid::SetDataSource(TDataSource* source) {
    if (source == DataSource()) return;
    HideEditor();
    TTableView::SetDataSource(source);
    fDataLink->SetDataSource(source);
    if (!fDataLink->Active()) LinkActive(false);
}

void TDBGrid::LinkActive(bool value) {
    fGridState = gsNormal;
    if (!value) {
        HideEditor();
        fCol = std::min(fCol, std::max(0, ColCount() - 1));
    } else {
        fCol = IndicatorOffset();
        fLeftCol = IndicatorOffset();
    }
    LayoutChanged();
}

void TDBGrid::LayoutChanged() {
    fFixedCols = std::min(IndicatorOffset(), std::max(0, ColCount() - 1));
    SetBaseLayout(BaseRowHeight(Font(), Options() & dgRowLines),
                  BaseRowHeight(TitleFont(), Options() & dgRowLines));
    if (fCol >= ColCount()) fCol = std::max(0, ColCount() - 1);
    if (fCol < fFixedCols && ColCount() > fFixedCols) fCol = fFixedCols;
    fLeftCol = std::clamp(fLeftCol, fFixedCols, std::max(fFixedCols, ColCount() - 1));
    TTableView::SetSelectedIndex(std::max(0, RawToDataColumn(fCol)));
    UpdateRowCount();
    UpdateScrollBars();
    UpdateEditorGeometry();
    viewport()->update();
}

void TDBGrid::SetBaseLayout(int defaultRowHeight, int titleHeight) {
    fDefaultRowHeight = std::max(1, defaultRowHeight);
    fTitleHeight = std::max(1, titleHeight);
    fRowHeights.clear();
}

void TDBGrid::UpdateRowCount() {
    const int lineH = (Options() & dgRowLines) ? GridLineWidth() : 0;
    const int title = TitleOffset() ? RowHeights(0) + lineH : 0;
    const int avail = viewport()->height() - title;
    const int buffer = std::max(1, avail / (fDefaultRowHeight + lineH));
    if (fDataLink->Active()) {
        fDataLink->SetBufferCount(buffer);
        fRowCount = TitleOffset() + std::max(1, fDataLink->RecordCount());
    } else {
        fRowCount = TitleOffset() + 1;
    }
}

void TDBGrid::DataChanged() {
    UpdateRowCount();
    UpdateScrollBars();
    if (fEditor->isVisible() && !fEditor->isModified()) {
        if (TField* f = SelectedField()) fEditor->setText(ToQString(f->EditText()));
        fEditor->setModified(false);
    }
    UpdateEditorGeometry();
    viewport()->update();
}

void TDBGrid::Scrolled(int distance) {
    if (distance != 0 && !(Options() & dgAlwaysShowEditor)) HideEditor();
    fRowCount = TitleOffset() + std::max(1, fDataLink->RecordCount());
    UpdateScrollBars();
    if (fEditor->isVisible()) {
        if (TField* f = SelectedField()) fEditor->setText(ToQString(f->EditText()));
        fEditor->setModified(false);
    }
    UpdateEditorGeometry();
    viewport()->update();
}

void TDBGrid::RecordChanged(TField* field) {
    if (fEditor->isVisible() && !fInUpdateData && !fEditor->isModified() &&
        (!field || field == SelectedField())) {
        if (TField* f = SelectedField()) fEditor->setText(ToQString(f->EditText()));
        fEditor->setModified(false);
    }
    InvalidateRow(Row());
}

void TDBGrid::EditingChanged() {
    TDataSet* ds = DataSet();
    // The edit ended (posted or cancelled): the editor shows the field again.
    if (fEditor->isVisible() && ds && ds->State() == dsBrowse && fEditor->isModified()) {
        if (TField* f = SelectedField()) fEditor->setText(ToQString(f->EditText()));
        fEditor->setModified(false);
    }
    if (IndicatorOffset()) InvalidateCol(0);
    InvalidateRow(Row());
}

void TDBGrid::UpdateData() {
    if (!fEditor->isVisible() || !fEditor->isModified()) return;
    TField* f = SelectedField();
    if (!f) return;
    fInUpdateData = true;
    try {
        f->SetAsString(ToUtf8(fEditor->text()));
    } catch (...) {
        fInUpdateData = false;
        throw;
    }
    fInUpdateData = false;
    fEditor->setModified(false);
}

bool TDBGrid::UpdateEditorData() {
    try {
        UpdateData();
        return true;
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}

// ---- Presentation ------------------------------------------------------------

void TDBGrid::SetOptions(unsigned options) {
    if (options == Options()) return;
    const int oldIndicator = IndicatorOffset();
    TTableView::SetOptions(options);
    const int shift = IndicatorOffset() - oldIndicator;
    fCol = std::max(0, fCol + shift);
    fLeftCol = std::max(0, fLeftCol + shift);
    fFixedCols = std::max(0, fFixedCols + shift);
    if (options & dgRowSelect) HideEditor();
    LayoutChanged();
}

void TDBGrid::SetColor(TColor color) {
    if (color == Color()) return;
    TTableView::SetColor(color);
    viewport()->update();
}

void TDBGrid::SetFixedColor(TColor color) {
    if (color == FixedColor()) return;
    TTableView::SetFixedColor(color);
    viewport()->update();
}

void TDBGrid::SetFont(const TFont& font) {
    if (font == Font()) return;
    TTableView::SetFont(font);
    LayoutChanged();
}

void TDBGrid::SetTitleFont(const TFont& font) {
    if (font == TitleFont()) return;
    TTableView::SetTitleFont(font);
    LayoutChanged();
}

void TDBGrid::SetCtl3D(bool v) {
    if (v == Ctl3D()) return;
    TTableView::SetCtl3D(v);
    viewport()->update();
}

void TDBGrid::SetDefaultDrawing(bool v) {
    if (v == fDefaultDrawing) return;
    fDefaultDrawing = v;
    viewport()->update();
}

// ---- Geometry ----------------------------------------------------------------

int TDBGrid::ColWidths(int col) const {
    if (col < 0 || col >= ColCount()) return 0;
    if (col < IndicatorOffset()) return IndicatorWidth;
    const TColumn& c = Column(RawToDataColumn(col));
    return c.Visible() ? std::max(0, c.Width()) : 0;
}

bool TDBGrid::ColumnShown(int col) const {
    if (col < 0 || col >= ColCount()) return false;
    return col < IndicatorOffset() || Column(RawToDataColumn(col)).Visible();
}

void TDBGrid::ComputeSpans() const {
    const int n = ColCount();
    fSpans.assign(static_cast<size_t>(n), TColumnSpan());
    const int lineW = (Options() & dgColLines) ? GridLineWidth() : 0;
    const int limit = viewport()->width();
    int x = 0;
    for (int c = 0; c < n; ++c) {
        if (c >= fFixedCols && c < fLeftCol) continue;
        if (!ColumnShown(c)) continue;
        const int w = ColWidths(c);
        if (x < limit) fSpans[static_cast<size_t>(c)] = {x, w};
        x += w + lineW;
    }
}

const std::vector<TDBGrid::TColumnSpan>& TDBGrid::Spans() const {
    ComputeSpans();
    return fSpans;
}

int TDBGrid::RowHeights(int row) const {
    if (row >= 0 && row < static_cast<int>(fRowHeights.size()) &&
        fRowHeights[static_cast<size_t>(row)] > 0)
        return fRowHeights[static_cast<size_t>(row)];
    return row < TitleOffset() ? fTitleHeight : fDefaultRowHeight;
}

void TDBGrid::SetRowHeights(int row, int height) {
    if (row < 0 || height < 0) return;
    if (row >= static_cast<int>(fRowHeights.size()))
        fRowHeights.resize(static_cast<size_t>(row) + 1, 0);
    if (row < TitleOffset())
        fTitleHeight = std::max(1, height);
    else
        fRowHeights[static_cast<size_t>(row)] = height;
    UpdateRowCount();
    UpdateScrollBars();
    UpdateEditorGeometry();
    viewport()->update();
}

void TDBGrid::SetDefaultRowHeight(int height) {
    height = std::max(1, height);
    if (height == fDefaultRowHeight) return;
    SetBaseLayout(height, fTitleHeight);
    UpdateRowCount();
    UpdateScrollBars();
    UpdateEditorGeometry();
    viewport()->update();
}

int TDBGrid::RowTop(int row) const {
    const int lineH = (Options() & dgRowLines) ? GridLineWidth() : 0;
    int y = 0;
    for (int r = 0; r < row; ++r)
        y += RowHeights(r) + lineH;
    return y;
}

QRect TDBGrid::CellRect(int col, int row) const {
    if (row < 0 || row >= fRowCount || col < 0 || col >= ColCount()) return {};
    const TColumnSpan& s = Spans()[static_cast<size_t>(col)];
    if (s.X < 0) return {};
    return QRect(s.X, RowTop(row), s.Width, RowHeights(row));
}

TGridCoord TDBGrid::MouseCoord(int x, int y) const {
    TGridCoord c;
    const int lineW = (Options() & dgColLines) ? GridLineWidth() : 0;
    const int lineH = (Options() & dgRowLines) ? GridLineWidth() : 0;
    const std::vector<TColumnSpan>& spans = Spans();
    for (int i = 0; i < static_cast<int>(spans.size()); ++i) {
        const TColumnSpan& s = spans[static_cast<size_t>(i)];
        if (s.X >= 0 && x >= s.X && x < s.X + s.Width + lineW) {
            c.X = i;
            break;
        }
    }
    int top = 0;
    for (int r = 0; r < fRowCount; ++r) {
        const int h = RowHeights(r) + lineH;
        if (y >= top && y < top + h) {
            c.Y = r;
            break;
        }
        top += h;
    }
    if (c.X < 0 || c.Y < 0) return {};
    return c;
}

int TDBGrid::VisibleColCount() const {
    const std::vector<TColumnSpan>& spans = Spans();
    const int limit = viewport()->width();
    int n = 0;
    for (int c = fLeftCol; c < static_cast<int>(spans.size()); ++c) {
        const TColumnSpan& s = spans[static_cast<size_t>(c)];
        if (s.X < 0) continue;
        if (s.X + s.Width > limit) break;
        ++n;
    }
    return n;
}

bool TDBGrid::InSizingSpot(int x, int y) const {
    if (!(Options() & dgColumnResize) || !TitleOffset()) return false;
    if (y < 0 || y >= RowHeights(0)) return false;
    const std::vector<TColumnSpan>& spans = Spans();
    for (int c = IndicatorOffset(); c < static_cast<int>(spans.size()); ++c) {
        const TColumnSpan& s = spans[static_cast<size_t>(c)];
        if (s.X < 0) continue;
        const int edge = s.X + s.Width;
        if (x >= edge - 2 && x <= edge + 2) return true;
    }
    return false;
}

void TDBGrid::SetFixedCols(int n) {
    n = std::clamp(n, 0, std::max(0, ColCount() - 1));
    if (n == fFixedCols) return;
    fFixedCols = n;
    fLeftCol = std::max(fLeftCol, fFixedCols);
    if (fCol < fFixedCols && ColCount() > fFixedCols) {
        ColExit();
        fCol = fFixedCols;
        TTableView::SetSelectedIndex(std::max(0, RawToDataColumn(fCol)));
        ColEnter();
    }
    UpdateScrollBars();
    UpdateEditorGeometry();
    viewport()->update();
}

void TDBGrid::SetLeftCol(int col) {
    col = std::clamp(col, fFixedCols, std::max(fFixedCols, ColCount() - 1));
    if (col == fLeftCol) return;
    fLeftCol = col;
    UpdateScrollBars();
    UpdateEditorGeometry();
    viewport()->update();
    TopLeftChanged();
}

void TDBGrid::MakeColVisible(int col) {
    if (col < fFixedCols || col >= ColCount()) return;
    if (col < fLeftCol) {
        SetLeftCol(col);
        return;
    }
    // The smallest step to the right that shows the column whole.
    const int limit = viewport()->width();
    const int saved = fLeftCol;
    int left = fLeftCol;
    for (; left < col; ++left) {
        fLeftCol = left;
        const TColumnSpan s = Spans()[static_cast<size_t>(col)];
        if (s.X >= 0 && s.X + s.Width <= limit) break;
    }
    fLeftCol = saved;
    SetLeftCol(left);
}

int TDBGrid::NextCol(int col, int step) const {
    for (int c = col + step; c >= fFixedCols && c < ColCount(); c += step)
        if (ColumnShown(c)) return c;
    return col;
}

void TDBGrid::SetCol(int col) {
    if (col < 0 || col >= ColCount() || col == fCol) return;
    if (!SelectCell(col, Row())) return;
    if (!UpdateEditorData()) return;
    const bool editing = fEditor->isVisible();
    ColExit();
    const int old = fCol;
    fCol = col;
    TTableView::SetSelectedIndex(std::max(0, RawToDataColumn(fCol)));
    InvalidateCell(old, Row());
    MakeColVisible(fCol);
    InvalidateCell(fCol, Row());
    ColEnter();
    if (editing || (Options() & dgAlwaysShowEditor)) {
        HideEditor();
        ShowEditor();
    }
}

void TDBGrid::SetSelectedIndex(int index) {
    SetCol(DataToRawColumn(index));
}

TField* TDBGrid::SelectedField() const {
    const int d = RawToDataColumn(fCol);
    if (!fDataLink->Active() || d < 0 || d >= ColumnCount()) return nullptr;
    return Column(d).Field();
}

void TDBGrid::SetSelectedField(TField* field) {
    if (!field) return;
    for (int i = 0; i < ColumnCount(); ++i)
        if (Column(i).Field() == field) {
            SetSelectedIndex(i);
            return;
        }
}

bool TDBGrid::SelectCell(int col, int) {
    return ColumnShown(col) && col >= IndicatorOffset();
}

void TDBGrid::ColEnter() {
    if (OnColEnter) OnColEnter(*this);
}

void TDBGrid::ColExit() {
    if (OnColExit) OnColExit(*this);
}

void TDBGrid::ColWidthsChanged() {
    UpdateScrollBars();
    UpdateEditorGeometry();
    viewport()->update();
}

void TDBGrid::ColumnMoved(int fromIndex, int toIndex) {
    if (OnColumnMoved) OnColumnMoved(*this, fromIndex, toIndex);
}

void TDBGrid::TitleClick(TColumn& column) {
    if (OnTitleClick) OnTitleClick(*this, column);
}

void TDBGrid::CellClick(TColumn& column) {
    if (OnCellClick) OnCellClick(*this, column);
}

// ---- Scroll bars -------------------------------------------------------------

void TDBGrid::UpdateScrollBars() {
    fScrolling = true;
    QScrollBar* v = verticalScrollBar();
    if (fDataLink->Active()) {
        v->setRange(0, fDataLink->MaxTop() - 1);
        v->setPageStep(std::max(1, fDataLink->BufferCount()));
        v->setSingleStep(1);
        v->setValue(fDataLink->Top() - 1);
    } else {
        v->setRange(0, 0);
    }
    // The last left column that still shows the last column whole.
    QScrollBar* h = horizontalScrollBar();
    const int lineW = (Options() & dgColLines) ? GridLineWidth() : 0;
    int fixedWidth = 0;
    for (int c = 0; c < fFixedCols && c < ColCount(); ++c)
        if (ColumnShown(c)) fixedWidth += ColWidths(c) + lineW;
    int maxLeft = std::max(fFixedCols, ColCount() - 1);
    int room = viewport()->width() - fixedWidth;
    for (int c = ColCount() - 1; c >= fFixedCols; --c) {
        if (!ColumnShown(c)) continue;
        room -= ColWidths(c) + lineW;
        if (room < 0) break;
        maxLeft = c;
    }
    if (maxLeft < fFixedCols) maxLeft = fFixedCols;
    h->setRange(0, std::max(0, maxLeft - fFixedCols));
    h->setPageStep(1);
    h->setSingleStep(1);
    h->setValue(fLeftCol - fFixedCols);
    fScrolling = false;
}

void TDBGrid::OnVerticalAction(int) {
    if (fScrolling || !fDataLink->Active()) return;
    const int top = verticalScrollBar()->sliderPosition() + 1;
    RunGuarded([&] { ApplyScroll(top); });
    // The bar follows the window, also when the move was refused.
    UpdateScrollBars();
}

void TDBGrid::ApplyScroll(int top) {
    const int row = fDataLink->CurrentRow();
    const int oldTop = fDataLink->Top();
    fDataLink->SetTop(top);
    const int target = fDataLink->Top() + row;
    const int distance = target - fDataLink->CurrentPlace();
    try {
        if (distance != 0) MoveBy(distance);
    } catch (...) {
        fDataLink->SetTop(oldTop);
        fDataLink->Sync(false);
        viewport()->update();
        throw;
    }
    fDataLink->Sync(false);
    AfterMove();
}

void TDBGrid::AfterMove() {
    fRowCount = TitleOffset() + std::max(1, fDataLink->RecordCount());
    UpdateScrollBars();
    UpdateEditorGeometry();
    viewport()->update();
}

void TDBGrid::OnHorizontalAction(int) {
    if (fScrolling) return;
    SetLeftCol(fFixedCols + horizontalScrollBar()->sliderPosition());
}

void TDBGrid::scrollContentsBy(int, int) {
    // The grid moves its cells itself; the bars only report.
}

// ---- Editor ------------------------------------------------------------------

QLineEdit* TDBGrid::InplaceEditor() const {
    return fEditor;
}

bool TDBGrid::EditorMode() const {
    return fEditor->isVisible();
}

void TDBGrid::SetEditorMode(bool v) {
    if (v)
        ShowEditor();
    else
        HideEditor();
}

bool TDBGrid::CanEditShow() {
    if ((Options() & (dgEditing | dgRowSelect)) != dgEditing) return false;
    if (!fDataLink->Active() || fDataLink->RecordCount() == 0 || !isEnabled()) return false;
    const int d = RawToDataColumn(fCol);
    if (d < 0 || d >= ColumnCount() || !Column(d).Field()) return false;
    return hasFocus() || fEditor->hasFocus() || (Options() & dgAlwaysShowEditor) ||
           QApplication::focusWidget() == nullptr;
}

void TDBGrid::ShowEditor() {
    if (fEditor->isVisible()) return;
    if (!CanEditShow()) return;
    TField* f = SelectedField();
    const TColumn& column = Column(RawToDataColumn(fCol));
    fEditor->setFont(ToQFont(column.Font()));
    QPalette pal = fEditor->palette();
    pal.setColor(QPalette::Base, ToQColor(column.Color()));
    pal.setColor(QPalette::Text, ToQColor(column.Font().Color));
    fEditor->setPalette(pal);
    fEditor->setReadOnly(fReadOnly || f->ReadOnly() || !(Options() & dgEditing));
    fEditor->setAlignment(column.Alignment() == taRightJustify ? Qt::AlignRight
                          : column.Alignment() == taCenter     ? Qt::AlignHCenter
                                                               : Qt::AlignLeft);
    std::string text;
    try {
        text = f->EditText();
    } catch (...) {
        ShowCurrentException();
        return;
    }
    fEditor->setText(ToQString(text));
    fEditor->setModified(false);
    UpdateEditorGeometry();
    fEditor->show();
    fEditor->selectAll();
    if (hasFocus() || isActiveWindow()) fEditor->setFocus(Qt::OtherFocusReason);
}

void TDBGrid::HideEditor() {
    if (!fEditor || !fEditor->isVisible()) return;
    const bool focused = fEditor->hasFocus();
    fEditor->hide();
    if (focused) setFocus(Qt::OtherFocusReason);
    InvalidateCell(fCol, Row());
}

void TDBGrid::UpdateEditorGeometry() {
    if (!fEditor || !fEditor->isVisible()) return;
    const QRect r = CellRect(fCol, Row());
    if (r.isEmpty()) {
        fEditor->setGeometry(-1000, -1000, 10, 10);
        return;
    }
    fEditor->setGeometry(r);
}

bool TDBGrid::EditorCanModify() {
    TField* f = SelectedField();
    TDataSet* ds = DataSet();
    if (!f || !ds || fReadOnly || f->ReadOnly() || !(Options() & dgEditing)) return false;
    if (ds->State() == dsEdit || ds->State() == dsInsert) return true;
    try {
        ds->Edit();
    } catch (...) {
        ShowCurrentException();
        return false;
    }
    return ds->State() == dsEdit || ds->State() == dsInsert;
}

void TDBGrid::EditorFocusLost() {
    QWidget* now = QApplication::focusWidget();
    if (now == this || now == fEditor) return;
    // The focus left the grid: what was typed goes into the field when the
    // field takes it; else it waits in the editor (a post would report it).
    try {
        UpdateData();
    } catch (...) {
    }
}

void TDBGrid::EditorKeyDown(QKeyEvent& event) {
    KeyDown(event);
}

// ---- Moving ------------------------------------------------------------------

int TDBGrid::MoveBy(int distance) {
    TDataSet* ds = DataSet();
    if (!fDataLink->Active() || !ds || distance == 0) return 0;
    return ds->MoveBy(distance);
}

void TDBGrid::MoveToRow(int row) {
    const int distance = row - Row();
    if (distance != 0) MoveBy(distance);
}

bool TDBGrid::CanModifyData() const {
    TDataSet* ds = DataSet();
    return fDataLink->Active() && ds && ds->CanModify() && !fReadOnly && (Options() & dgEditing);
}

bool TDBGrid::Confirm(const QString& question) {
    if (OnConfirm) return OnConfirm(*this, question);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), question,
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    return box.exec() == QMessageBox::Ok;
}

void TDBGrid::DeleteRecord() {
    TDataSet* ds = DataSet();
    if (!ds || !CanModifyData() || ds->IsEmpty()) return;
    if ((Options() & dgConfirmDelete) && !Confirm(QStringLiteral("Delete record?"))) return;
    HideEditor();
    ds->Delete();
}

void TDBGrid::InsertRecord() {
    TDataSet* ds = DataSet();
    if (!ds || !CanModifyData()) return;
    HideEditor();
    ds->Insert();
}

void TDBGrid::Tab(bool forward) {
    TDataSet* ds = DataSet();
    if (!ds) return;
    const int first = NextCol(fFixedCols - 1, 1);
    int last = ColCount() - 1;
    while (last > fFixedCols && !ColumnShown(last))
        --last;
    if (forward) {
        if (fCol < last) {
            SetCol(NextCol(fCol, 1));
        } else if (!fDataLink->Eof() || ds->State() == dsInsert) {
            if (!UpdateEditorData()) return;
            HideEditor();
            MoveBy(1);
            SetCol(first);
        }
    } else {
        if (fCol > first) {
            SetCol(NextCol(fCol, -1));
        } else if (!fDataLink->Bof()) {
            if (!UpdateEditorData()) return;
            HideEditor();
            MoveBy(-1);
            SetCol(last);
        }
    }
}

// ---- Keyboard ----------------------------------------------------------------

bool TDBGrid::focusNextPrevChild(bool next) {
    // Tab moves between the cells while the grid takes it.
    if (Options() & dgTabs) return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
    KeyDown(*event);
}

void TDBGrid::KeyDown(QKeyEvent& event) {
    if (OnKeyDown) {
        OnKeyDown(*this, event);
        if (event.isAccepted() && event.key() == 0) return;
    }
    TDataSet* ds = DataSet();
    if (!fDataLink->Active() || !ds) {
        event.ignore();
        return;
    }
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    const bool multi = Options() & dgMultiSelect;
    event.accept();
    RunGuarded([&] {
        // Moving by keys without Shift ends a selection of rows.
        auto clearSelection = [&] {
            if (multi && !shift && !ctrl && SelectedRows().Count() > 0) {
                SelectedRows().Clear();
                viewport()->update();
            }
        };
        auto selectMove = [&](int distance) {
            if (multi && shift) SelectedRows().SetCurrentRowSelected(true);
            MoveBy(distance);
            if (multi && shift) {
                SelectedRows().SetCurrentRowSelected(true);
                viewport()->update();
            }
        };
        switch (event.key()) {
        case Qt::Key_Up:
            clearSelection();
            if (ds->State() == dsInsert && !ds->Modified() && !fEditor->isModified()) {
                HideEditor();
                ds->Cancel();
            } else {
                selectMove(-1);
            }
            break;
        case Qt::Key_Down:
            clearSelection();
            if (ds->State() == dsInsert && !ds->Modified() && !fEditor->isModified()) {
                HideEditor();
                ds->Cancel();
            } else if (fDataLink->Eof() && ds->State() != dsInsert && CanModifyData()) {
                HideEditor();
                ds->Append();
            } else {
                selectMove(1);
            }
            break;
        case Qt::Key_PageUp:
            clearSelection();
            selectMove(-VisibleRowCount());
            break;
        case Qt::Key_PageDown:
            clearSelection();
            selectMove(VisibleRowCount());
            break;
        case Qt::Key_Home:
            clearSelection();
            if (ctrl || (Options() & dgRowSelect))
                ds->First();
            else
                SetCol(NextCol(fFixedCols - 1, 1));
            break;
        case Qt::Key_End:
            clearSelection();
            if (ctrl || (Options() & dgRowSelect)) {
                ds->Last();
            } else {
                int last = ColCount() - 1;
                while (last > fFixedCols && !ColumnShown(last))
                    --last;
                SetCol(last);
            }
            break;
        case Qt::Key_Left:
            if (Options() & dgRowSelect)
                SetLeftCol(fLeftCol - 1);
            else
                SetCol(NextCol(fCol, -1));
            break;
        case Qt::Key_Right:
            if (Options() & dgRowSelect)
                SetLeftCol(fLeftCol + 1);
            else
                SetCol(NextCol(fCol, 1));
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (!(Options() & dgTabs)) {
                event.ignore();
                break;
            }
            Tab(event.key() == Qt::Key_Tab && !shift);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (fEditor->isVisible()) {
                if (UpdateEditorData() && !(Options() & dgAlwaysShowEditor)) HideEditor();
            } else {
                ShowEditor();
            }
            break;
        case Qt::Key_F2:
            if (!fEditor->isVisible()) {
                ShowEditor();
                fEditor->deselect();
                fEditor->end(false);
            }
            break;
        case Qt::Key_Escape:
            if (fEditor->isVisible() && fEditor->isModified()) {
                if (TField* f = SelectedField()) fEditor->setText(ToQString(f->EditText()));
                fEditor->setModified(false);
                fEditor->selectAll();
            } else {
                if (ds->State() == dsEdit || ds->State() == dsInsert) ds->Cancel();
                if (!(Options() & dgAlwaysShowEditor)) HideEditor();
            }
            break;
        case Qt::Key_Insert:
            if (!ctrl && !shift) InsertRecord();
            break;
        case Qt::Key_Delete:
            if (ctrl)
                DeleteRecord();
            else
                event.ignore();
            break;
        default: {
            const QString t = event.text();
            if (!t.isEmpty() && t.at(0).isPrint() && !ctrl &&
                !(mods & (Qt::AltModifier | Qt::MetaModifier))) {
                if (fEditor->isVisible()) {
                    // The editor takes what is typed while it shows.
                    QKeyEvent copy(event.type(), event.key(), event.modifiers(), t);
                    QApplication::sendEvent(fEditor, &copy);
                    break;
                }
                // Typing starts editing: the key replaces the cell's text.
                ShowEditor();
                if (fEditor->isVisible() && EditorCanModify()) {
                    fEditor->setText(t);
                    fEditor->setModified(true);
                }
            } else {
                event.ignore();
            }
            break;
        }
        }
    });
}

// ---- Mouse -------------------------------------------------------------------

void TDBGrid::mousePressEvent(QMouseEvent* event) {
    MouseDown(*event);
}

void TDBGrid::mouseMoveEvent(QMouseEvent* event) {
    MouseMove(*event);
}

void TDBGrid::mouseReleaseEvent(QMouseEvent* event) {
    MouseUp(*event);
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    DblClick(*event);
}

void TDBGrid::DblClick(QMouseEvent& event) {
    if (OnDblClick) OnDblClick(*this);
    const QPoint p = event.position().toPoint();
    const TGridCoord c = MouseCoord(p.x(), p.y());
    if (event.button() == Qt::LeftButton && c.Y >= TitleOffset() && c.X == fCol && c.Y == Row())
        ShowEditor();
}

void TDBGrid::MouseDown(QMouseEvent& event) {
    if (!hasFocus() && !fEditor->hasFocus()) setFocus(Qt::MouseFocusReason);
    const QPoint p = event.position().toPoint();
    if (event.button() != Qt::LeftButton || !fDataLink->Active()) {
        if (OnMouseDown) OnMouseDown(*this, event);
        return;
    }
    if (InSizingSpot(p.x(), p.y())) {
        // The column whose right edge is nearest.
        const std::vector<TColumnSpan>& spans = Spans();
        int best = -1, bestDist = 1000;
        for (int c = IndicatorOffset(); c < static_cast<int>(spans.size()); ++c) {
            const TColumnSpan& s = spans[static_cast<size_t>(c)];
            if (s.X < 0) continue;
            const int d = std::abs(p.x() - (s.X + s.Width));
            if (d < bestDist) {
                best = c;
                bestDist = d;
            }
        }
        if (best >= 0) {
            fGridState = gsColSizing;
            fSizingCol = best;
            fSizingOffset = p.x() - (spans[static_cast<size_t>(best)].X +
                                     spans[static_cast<size_t>(best)].Width);
        }
        if (OnMouseDown) OnMouseDown(*this, event);
        return;
    }
    const TGridCoord c = MouseCoord(p.x(), p.y());
    if (c.X < 0) {
        if (OnMouseDown) OnMouseDown(*this, event);
        return;
    }
    if (c.Y < TitleOffset()) {
        if (c.X >= IndicatorOffset() && (Options() & dgColumnResize)) {
            fGridState = gsColMoving;
            fMoveFrom = c.X;
            fMoveTo = c.X;
            fMoveStart = p;
            fMoved = false;
        }
        if (OnMouseDown) OnMouseDown(*this, event);
        return;
    }
    const bool ctrl = event.modifiers() & Qt::ControlModifier;
    const bool multi = Options() & dgMultiSelect;
    const bool sameCell = c.Y == Row() && c.X == fCol;
    RunGuarded([&] {
        if (multi && !ctrl && SelectedRows().Count() > 0) {
            SelectedRows().Clear();
            viewport()->update();
        }
        if (sameCell && !fEditor->isVisible() && !(Options() & dgRowSelect) && !ctrl) {
            ShowEditor();
            return;
        }
        if (c.Y != Row()) {
            if (!UpdateEditorData()) return;
            MoveToRow(c.Y);
        }
        if (c.X >= IndicatorOffset() && c.X != fCol) SetCol(c.X);
        if (multi && ctrl) {
            SelectedRows().SetCurrentRowSelected(!SelectedRows().CurrentRowSelected());
            viewport()->update();
        }
        fGridState = gsSelecting;
    });
    if (OnMouseDown) OnMouseDown(*this, event);
}

void TDBGrid::MouseMove(QMouseEvent& event) {
    const QPoint p = event.position().toPoint();
    switch (fGridState) {
    case gsColSizing: {
        const TColumnSpan s = Spans()[static_cast<size_t>(fSizingCol)];
        const int w = std::max(1, p.x() - fSizingOffset - s.X);
        const int d = RawToDataColumn(fSizingCol);
        if (d >= 0 && d < ColumnCount() && w != Column(d).Width()) {
            Column(d).SetWidth(w);
            ColWidthsChanged();
        }
        return;
    }
    case gsColMoving: {
        const int target = MoveTargetAt(p);
        if (std::abs(p.x() - fMoveStart.x()) > 3) fMoved = true;
        if (target != fMoveTo) {
            fMoveTo = target;
            viewport()->update();
        }
        return;
    }
    default:
        break;
    }
    if (event.buttons() == Qt::NoButton)
        viewport()->setCursor(InSizingSpot(p.x(), p.y()) ? Qt::SplitHCursor : Qt::ArrowCursor);
}

int TDBGrid::MoveTargetAt(QPoint p) const {
    const TGridCoord c = MouseCoord(p.x(), std::min(p.y(), std::max(0, RowHeights(0) - 1)));
    int target = c.X;
    if (p.x() < 0) target = fFixedCols;
    if (p.x() >= viewport()->width() || target < 0) target = fMoveTo;
    return std::max(target, std::max(fFixedCols, IndicatorOffset()));
}

void TDBGrid::MouseUp(QMouseEvent& event) {
    const QPoint p = event.position().toPoint();
    const TGridState state = fGridState;
    fGridState = gsNormal;
    if (event.button() != Qt::LeftButton) return;
    switch (state) {
    case gsColSizing:
        ColWidthsChanged();
        break;
    case gsColMoving:
        if (std::abs(p.x() - fMoveStart.x()) > 3) fMoveTo = MoveTargetAt(p);
        if (fMoveTo != fMoveFrom && fMoveTo >= 0) {
            MoveColumnTo(fMoveFrom, fMoveTo);
        } else if (!fMoved) {
            const TGridCoord c = MouseCoord(p.x(), p.y());
            if (c.X == fMoveFrom && c.Y >= 0 && c.Y < TitleOffset()) {
                const int d = RawToDataColumn(c.X);
                if (d >= 0 && d < ColumnCount()) RunGuarded([&] { TitleClick(Column(d)); });
            }
        }
        fMoveFrom = fMoveTo = -1;
        viewport()->update();
        break;
    case gsSelecting: {
        const TGridCoord c = MouseCoord(p.x(), p.y());
        const int d = RawToDataColumn(c.X);
        if (c.Y >= TitleOffset() && d >= 0 && d < ColumnCount())
            RunGuarded([&] { CellClick(Column(d)); });
        break;
    }
    default:
        break;
    }
}

void TDBGrid::MoveColumnTo(int from, int to) {
    const int df = RawToDataColumn(from), dt = RawToDataColumn(to);
    if (df < 0 || dt < 0 || df >= ColumnCount() || dt >= ColumnCount() || df == dt) return;
    HideEditor();
    TField* selected = SelectedField();
    MoveColumn(df, dt);
    if (selected) {
        for (int i = 0; i < ColumnCount(); ++i)
            if (Column(i).Field() == selected) {
                fCol = DataToRawColumn(i);
                TTableView::SetSelectedIndex(i);
                break;
            }
    }
    ColumnMoved(from, to);
    ColWidthsChanged();
}

void TDBGrid::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    fWheelRemainder += delta;
    const int steps = fWheelRemainder / 120;
    fWheelRemainder -= steps * 120;
    event->accept();
    if (steps != 0) WheelStep(steps, event->modifiers());
}

void TDBGrid::WheelStep(int steps, Qt::KeyboardModifiers modifiers) {
    RunGuarded([&] {
        for (int i = 0; i < std::abs(steps); ++i) {
            if (steps < 0)
                DoMouseWheelDown(modifiers);
            else
                DoMouseWheelUp(modifiers);
        }
    });
}

bool TDBGrid::DoMouseWheelDown(Qt::KeyboardModifiers) {
    if (fDataLink->Active()) MoveBy(1);
    return true;
}

bool TDBGrid::DoMouseWheelUp(Qt::KeyboardModifiers) {
    if (fDataLink->Active()) MoveBy(-1);
    return true;
}

// ---- Focus and state ---------------------------------------------------------

void TDBGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    InvalidateRow(Row());
    if (Options() & dgAlwaysShowEditor) ShowEditor();
}

void TDBGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    InvalidateRow(Row());
    QWidget* now = QApplication::focusWidget();
    if (now == fEditor || (now && isAncestorOf(now))) return;
    TDataSet* ds = DataSet();
    if ((Options() & dgCancelOnExit) && ds && ds->State() == dsInsert && !ds->Modified() &&
        !fEditor->isModified())
        RunGuarded([&] { ds->Cancel(); });
}

void TDBGrid::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) viewport()->update();
    QAbstractScrollArea::changeEvent(event);
}

void TDBGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateRowCount();
    UpdateScrollBars();
    UpdateEditorGeometry();
}

// ---- Painting ----------------------------------------------------------------

void TDBGrid::InvalidateRect(const QRect& rect) {
    if (!rect.isEmpty()) viewport()->update(rect.adjusted(-1, -1, 1, 1));
}

void TDBGrid::InvalidateCell(int col, int row) {
    InvalidateRect(CellRect(col, row));
}

void TDBGrid::InvalidateCol(int col) {
    const QRect r = CellRect(col, 0);
    if (!r.isEmpty()) InvalidateRect(QRect(r.left(), 0, r.width(), viewport()->height()));
}

void TDBGrid::InvalidateRow(int row) {
    if (row < 0 || row >= fRowCount) return;
    InvalidateRect(QRect(0, RowTop(row), viewport()->width(), RowHeights(row)));
}

void TDBGrid::InvalidateTitles() {
    for (int r = 0; r < TitleOffset(); ++r)
        InvalidateRow(r);
}

void TDBGrid::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    Paint(p);
}

void TDBGrid::Paint(QPainter& p) {
    ComputeSpans();
    const QRect client = viewport()->rect();
    const int lineW = (Options() & dgColLines) ? GridLineWidth() : 0;
    const int lineH = (Options() & dgRowLines) ? GridLineWidth() : 0;
    const int cols = ColCount();
    // The grid lines first: a cell's frame may draw over them.
    int right = 0;
    for (int c = 0; c < cols; ++c) {
        const TColumnSpan& s = fSpans[static_cast<size_t>(c)];
        if (s.X >= 0) right = std::max(right, s.X + s.Width + lineW);
    }
    const int bottom = RowTop(fRowCount);
    p.fillRect(QRect(right, 0, client.width() - right, client.height()), ToQColor(Color()));
    p.fillRect(QRect(0, bottom, right, client.height() - bottom), ToQColor(Color()));
    const QColor fixedLine = ToQColor(clBlack), dataLine = ToQColor(clSilver);
    for (int r = 0, y = 0; r < fRowCount; ++r) {
        const int h = RowHeights(r);
        if (lineH) {
            for (int c = 0; c < cols; ++c) {
                const TColumnSpan& s = fSpans[static_cast<size_t>(c)];
                if (s.X < 0) continue;
                const bool fixed = r < TitleOffset() || c < fFixedCols;
                p.fillRect(QRect(s.X, y + h, s.Width + lineW, lineH), fixed ? fixedLine : dataLine);
            }
        }
        if (lineW) {
            for (int c = 0; c < cols; ++c) {
                const TColumnSpan& s = fSpans[static_cast<size_t>(c)];
                if (s.X < 0) continue;
                const bool fixed = r < TitleOffset() || c < fFixedCols;
                p.fillRect(QRect(s.X + s.Width, y, lineW, h), fixed ? fixedLine : dataLine);
            }
        }
        y += h + lineH;
    }
    fCanvas.Painter = &p;
    const bool focused = hasFocus() || fEditor->hasFocus();
    for (int r = 0, y = 0; r < fRowCount; ++r) {
        const int h = RowHeights(r);
        const QRect rowRect(0, y, client.width(), h);
        y += h + lineH;
        if (!p.clipBoundingRect().isEmpty() && !rowRect.intersects(p.clipBoundingRect().toRect()))
            continue;
        const bool dataRow = r >= TitleOffset();
        TActiveRecordScope scope(*fDataLink, dataRow ? r - TitleOffset() : -1);
        for (int c = 0; c < cols; ++c) {
            const TColumnSpan& s = fSpans[static_cast<size_t>(c)];
            if (s.X < 0 || s.Width <= 0) continue;
            const QRect cell(s.X, rowRect.top(), s.Width, h);
            unsigned state = 0;
            if (!dataRow || c < fFixedCols) state |= gdFixed;
            if (dataRow && c >= fFixedCols && r == Row() &&
                (c == fCol || (Options() & dgRowSelect))) {
                state |= gdSelected;
                if (focused && (c == fCol || (Options() & dgRowSelect))) state |= gdFocused;
            }
            fCanvas.Font = Font();
            fCanvas.Brush = Color();
            fCanvas.Pen = clWindowText;
            try {
                DrawCell(c, r, cell, state);
            } catch (...) {
                // A cell that cannot be read shows empty; the others still paint.
                p.setClipping(false);
                p.fillRect(cell, ToQColor(Color()));
            }
        }
    }
    if (fGridState == gsColMoving && fMoveTo != fMoveFrom) DrawMoveMark(p);
    fCanvas.Painter = nullptr;
}

void TDBGrid::DrawMoveMark(QPainter& p) {
    const QRect to = CellRect(fMoveTo, 0);
    if (to.isEmpty()) return;
    const int x = fMoveTo > fMoveFrom ? to.right() : to.left();
    p.fillRect(QRect(x - 1, 0, 3, viewport()->height()), ToQColor(clHighlight));
}

void TDBGrid::DrawIndicator(const QRect& rect, int dataRow) {
    QPainter& p = *fCanvas.Painter;
    TDataSet* ds = DataSet();
    if (!ds) return;
    const bool current = dataRow == fDataLink->CurrentRow();
    const bool selected = (Options() & dgMultiSelect) && SelectedRows().Count() > 0 &&
                          SelectedRows().Contains(fDataLink->BookmarkOfRow(dataRow));
    const QColor ink = ToQColor(clBtnText);
    const int cx = rect.left() + rect.width() / 2, cy = rect.top() + rect.height() / 2;
    p.setRenderHint(QPainter::Antialiasing, false);
    if (current) {
        if (ds->State() == dsEdit) {
            // An I-beam.
            p.fillRect(QRect(cx - 2, cy - 4, 5, 1), ink);
            p.fillRect(QRect(cx, cy - 4, 1, 9), ink);
            p.fillRect(QRect(cx - 2, cy + 4, 5, 1), ink);
        } else if (ds->State() == dsInsert) {
            // An asterisk.
            p.fillRect(QRect(cx - 3, cy, 7, 1), ink);
            p.fillRect(QRect(cx, cy - 3, 1, 7), ink);
            for (int i = -2; i <= 2; ++i) {
                p.fillRect(QRect(cx + i, cy + i, 1, 1), ink);
                p.fillRect(QRect(cx + i, cy - i, 1, 1), ink);
            }
        } else {
            // The arrow of the current record.
            const int left = selected ? cx - 3 : cx - 2;
            for (int i = 0; i < 4; ++i)
                p.fillRect(QRect(left + i, cy - 3 + i, 1, 7 - 2 * i), ink);
        }
    }
    if (selected) p.fillRect(QRect(current ? cx + 2 : cx - 1, cy - 1, 3, 3), ink);
}

bool TDBGrid::HighlightCell(int, int dataRow, const std::string&, unsigned state) {
    if ((Options() & dgMultiSelect) && SelectedRows().Count() > 0 &&
        SelectedRows().Contains(fDataLink->BookmarkOfRow(dataRow - TitleOffset())))
        return true;
    return (state & gdSelected) &&
           ((Options() & dgAlwaysShowSelection) || hasFocus() || fEditor->hasFocus());
}

void TDBGrid::DrawCell(int col, int row, const QRect& rect, unsigned state) {
    QPainter& p = *fCanvas.Painter;
    const bool lines = (Options() & (dgRowLines | dgColLines)) == (dgRowLines | dgColLines);
    if (col < IndicatorOffset()) {
        p.fillRect(rect, ToQColor(FixedColor()));
        if (row >= TitleOffset() && fDataLink->Active()) DrawIndicator(rect, row - TitleOffset());
    } else if (row < TitleOffset()) {
        const int d = RawToDataColumn(col);
        const TColumn* column = d < ColumnCount() ? &Column(d) : nullptr;
        const TColor bg = column ? column->TitleColor() : FixedColor();
        p.fillRect(rect, ToQColor(bg));
        if (column) {
            const TFont& f = column->TitleFont();
            WriteCellText(p, rect, f, ToQColor(isEnabled() ? f.Color : clGrayText), bg,
                          ToQString(column->TitleCaption()), column->TitleAlignment(), tlCenter,
                          false);
        }
    } else {
        const int d = RawToDataColumn(col);
        if (!fDataLink->Active() || d >= ColumnCount() ||
            row - TitleOffset() >= fDataLink->RecordCount()) {
            p.fillRect(rect, ToQColor(Color()));
        } else {
            TColumn& column = Column(d);
            std::string value;
            if (TField* f = column.Field()) f->GetDisplayText(value);
            fCanvas.Font = column.Font();
            if (HighlightCell(d, row, value, state)) {
                fCanvas.Brush = clHighlight;
                fCanvas.Font.Color = clHighlightText;
            } else if (state & gdFixed) {
                fCanvas.Brush = FixedColor();
            } else {
                fCanvas.Brush = column.Color();
            }
            if (!isEnabled()) fCanvas.Font.Color = clGrayText;
            if (fDefaultDrawing) DefaultDrawColumnCell(rect, d, column, state);
            DrawColumnCell(rect, d, column, state);
            if (fDefaultDrawing && (state & gdFocused) && !(Options() & dgRowSelect))
                DrawFocusRect(p, rect, clWindowText);
        }
    }
    if (Ctl3D() && lines && (state & gdFixed)) DrawEdge(p, rect, edRaisedInner, esRect);
}

void TDBGrid::DrawColumnCell(const QRect& rect, int dataCol, TColumn& column, unsigned state) {
    if (OnDrawColumnCell) OnDrawColumnCell(*this, fCanvas, rect, dataCol, column, state);
}

void TDBGrid::DefaultDrawColumnCell(const QRect& rect, int, TColumn& column, unsigned state) {
    DefaultDrawDataCell(rect, column.Field(), state);
    (void)column;
}

void TDBGrid::DefaultDrawDataCell(const QRect& rect, TField* field, unsigned) {
    QPainter& p = *fCanvas.Painter;
    p.fillRect(rect, ToQColor(fCanvas.Brush));
    if (!field) return;
    std::string text;
    field->GetDisplayText(text);
    WriteCellText(p, rect, fCanvas.Font, ToQColor(fCanvas.Font.Color), fCanvas.Brush,
                  ToQString(text), field->Alignment(), tlTop, false);
}

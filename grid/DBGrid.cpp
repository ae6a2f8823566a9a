#include "grid/DBGrid.h"

#include "controls/ErrorDisplay.h"
#include "controls/Utf8Text.h"
#include "data/dataset/DataSet.h"
#include "grid/InplaceEdit.h"
#include "grid/QtFontMetrics.h"

#include <QMessageBox>
#include <QScrollBar>

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
    // What the editor holds goes into the field, as when it loses the focus;
    // then the editor goes, while its grid is still whole.
    try {
        UpdateData();
    } catch (...) {
    }
    delete fEditor;
    fEditor = nullptr;
    // No dataset event may reach a grid that is going.
    fDataLink->Detach();
    fDataLink->SetDataSource(nullptr);
}

// ---- Data link ---------------------------------------------------------------

void TDBGrid::SetDataSource(TDataSource* source) {
    if (source == DataSource()) return;
    // What was typed stays with the dataset it was typed for.
    try {
        UpdateData();
    } catch (...) {
    }
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
        RefreshEditorText();
    }
    UpdateEditorGeometry();
    viewport()->update();
}

void TDBGrid::Scrolled(int distance) {
    if (distance != 0 && !(Options() & dgAlwaysShowEditor)) HideEditor();
    fRowCount = TitleOffset() + std::max(1, fDataLink->RecordCount());
    UpdateScrollBars();
    if (fEditor->isVisible()) {
        RefreshEditorText();
    }
    UpdateEditorGeometry();
    viewport()->update();
}

void TDBGrid::RecordChanged(TField* field) {
    if (fEditor->isVisible() && !fInUpdateData && !fEditor->isModified() &&
        (!field || field == SelectedField())) {
        RefreshEditorText();
    }
    InvalidateRow(Row());
}

void TDBGrid::EditingChanged() {
    TDataSet* ds = DataSet();
    // The edit ended (posted or cancelled): the editor shows the field again.
    if (fEditor->isVisible() && ds && ds->State() == dsBrowse && fEditor->isModified()) {
        RefreshEditorText();
    }
    if (IndicatorOffset()) InvalidateCol(0);
    InvalidateRow(Row());
}

void TDBGrid::RefreshEditorText() {
    TField* f = SelectedField();
    if (!f || !fEditor) return;
    // Called from the dataset's notices: a field that cannot give its text
    // leaves the editor as it is rather than fail the dataset's operation.
    try {
        fEditor->setText(ToQString(f->EditText()));
        fEditor->setModified(false);
    } catch (...) {
    }
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

#include "grid/KXDBGrid.h"

#include "controls/ErrorDisplay.h"
#include "controls/Utf8Text.h"
#include "data/base/TextUtils.h"
#include "data/dataset/DataSet.h"
#include "data/engines/ADOTable.h"
#include "data/engines/Table.h"
#include "data/engines/TblUtils.h"
#include "grid/DataSetKind.h"
#include "grid/GridHintWindow.h"
#include "grid/GridImages.h"
#include "grid/HintPause.h"
#include "grid/QtFontMetrics.h"
#include "grid/SortText.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include <algorithm>

namespace {
std::string TrimRight(std::string s) {
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.pop_back();
    return s;
}
} // namespace

// Title buttons and sorting, check boxes, keys, mouse, autoscroll and hints
// of the data grid, and its position around an export.

// ---- Title buttons and sorting ----------------------------------------------------

void TKXDBGrid::CheckButton(int acol, bool& enabled) {
    enabled = false;
    if (acol < 0 || acol >= ColumnCount()) return;
    TField* field = Column(acol).Field();
    if (fAutoSort) {
        enabled = field && !field->IsBlob();
        TDataSet* ds = DataSet();
        if (enabled && ds && IsIndexOrderedKind(*ds))
            if (auto* table = dynamic_cast<TTable*>(ds))
                enabled = table->IndexDefs().Count() > 0 || table->IsSQLBased();
    }
    if (OnCheckButton) OnCheckButton(*this, acol, field, enabled);
}

void TKXDBGrid::TitleBtnClick(int acol, TField* field) {
    if (OnTitleBtnClick) {
        OnTitleBtnClick(*this, acol, field);
        return;
    }
    if (!field) return;
    // A click's Shift is the release's; a call from code asks the keyboard.
    const bool shift = fReleaseModifiers
                           ? (*fReleaseModifiers & Qt::ShiftModifier) != 0
                           : (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier) != 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        SortByField(field->FieldName(), shift);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
}

void TKXDBGrid::SortByField(const std::string& fieldName, bool addToSort) {
    TDataSet* ds = DataSet();
    if (!ds) return;
    if (IsConnectionStringKind(*ds)) {
        auto* ado = dynamic_cast<TADOTable*>(ds);
        if (!ado) return;
        const std::string s = NextSortText(fSortString, fieldName, addToSort);
        ado->SetSort(s);
        fSortString = s;
    } else if (IsIndexOrderedKind(*ds)) {
        auto* table = dynamic_cast<TTable*>(ds);
        if (!table) return;
        std::string next;
        if (!NextIndexFields(GetSortFields(*table), fieldName, addToSort, next)) return;
        const std::string oldName = table->IndexName(), oldFields = table->IndexFieldNames();
        try {
            table->SetIndexFieldNames(next);
        } catch (...) {
            // No index fits: the table keeps its order, and nobody is told.
            try {
                if (!oldFields.empty())
                    table->SetIndexFieldNames(oldFields);
                else
                    table->SetIndexName(oldName);
            } catch (...) {
            }
        }
    }
    InvalidateTitles();
}

bool TKXDBGrid::IsSortedBy(const std::string& fieldName, int& pos, bool& desc) const {
    return ::IsSortedBy(fSortString, fieldName, pos, desc);
}

bool TKXDBGrid::OverTitleOf(QPoint p, int col) const {
    if (!viewport()->rect().contains(p)) return false;
    const TGridCoord c = MouseCoord(p.x(), p.y());
    return c.Y >= 0 && c.Y < TitleOffset() && c.X == col;
}

void TKXDBGrid::UpdateDownState(QPoint p) {
    const bool down = OverTitleOf(p, fPressedCol);
    if (down == fTitleDown) return;
    fTitleDown = down;
    for (int r = 0; r < TitleOffset(); ++r)
        InvalidateCell(fPressedCol, r);
}

void TKXDBGrid::EndTracking() {
    if (fTitleDown) {
        fTitleDown = false;
        InvalidateTitles();
    }
    fTracking = false;
}

void TKXDBGrid::CancelMode() {
    EndTracking();
}

// ---- Booleans ------------------------------------------------------------------------

bool TKXDBGrid::CanToggleBoolean() const {
    TDataSet* ds = DataSet();
    TField* f = SelectedField();
    return LinkIsActive() && ds && ds->CanModify() && !ReadOnly() && f && !f->ReadOnly() &&
           f->IsBoolean();
}

void TKXDBGrid::ToggleBoolean() {
    TDataSet* ds = DataSet();
    TField* f = SelectedField();
    if (!ds || !f) return;
    if (ds->State() != dsEdit && ds->State() != dsInsert) ds->Edit();
    if (f->IsNull())
        f->SetAsBoolean(true);
    else if (f->AsBoolean())
        f->SetAsBoolean(false);
    else
        f->Clear();
}

bool TKXDBGrid::OverCurrentCheckBox(QPoint p) const {
    const QRect cell = CellRect(Col(), Row());
    return !cell.isEmpty() && cell.width() > 13 && CheckBoxRect(cell).contains(p);
}

bool TKXDBGrid::CanEditShow() {
    if (!TDBGrid::CanEditShow()) return false;
    TField* f = SelectedField();
    if (!f) return false;
    if (f->IsGraphic() && DrawGraphic()) return false;
    if (f->IsMemo() && RowHeightLines() > 0) return false;
    if (f->IsBoolean() && DrawBool()) {
        const QRect cell = CellRect(Col(), Row());
        if (cell.width() >= 13 &&
            (fSpaceDown || (fMouseInside && CheckBoxRect(cell).contains(fMousePos)))) {
            return false;
        }
    }
    bool allow = true;
    if (OnShowEditor) OnShowEditor(*this, f, allow);
    return allow;
}

// ---- Keyboard ------------------------------------------------------------------------

void TKXDBGrid::SelectRange(int distance, bool disable) {
    TDataSet* ds = DataSet();
    if (!ds || distance == 0) return;
    if (!UpdateEditorData()) return;
    // The marks are gathered and added at once: a range over a whole table
    // costs a sort, not an insertion into the list per record.
    std::vector<std::string> marks;
    marks.push_back(ds->Bookmark());
    setUpdatesEnabled(false);
    if (disable) ds->DisableControls();
    try {
        const int step = distance > 0 ? 1 : -1;
        for (int i = 0; i != distance; i += step) {
            if (ds->MoveBy(step) == 0) break;
            marks.push_back(ds->Bookmark());
        }
    } catch (...) {
        SelectedRows().AddAll(std::move(marks));
        if (disable) ds->EnableControls();
        setUpdatesEnabled(true);
        throw;
    }
    SelectedRows().AddAll(std::move(marks));
    if (disable) ds->EnableControls();
    setUpdatesEnabled(true);
    viewport()->update();
}

void TKXDBGrid::KeyDown(QKeyEvent& event) {
    if (fAutoScroll.Active() && LinkIsActive()) StopAutoScroll();
    HideHint();
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    const bool editorShowing = EditorMode();
    TDataSet* ds = DataSet();
    if (event.key() == Qt::Key_Space && mods == Qt::NoModifier) fSpaceDown = true;
    if (event.key() == Qt::Key_Space && !editorShowing && DrawBool() && CanToggleBoolean()) {
        event.accept();
        RunGuarded([&] { ToggleBoolean(); });
        return;
    }
    if ((Options() & dgMultiSelect) && mods == Qt::ShiftModifier && LinkIsActive() && ds) {
        bool done = true;
        RunGuarded([&] {
            switch (event.key()) {
            case Qt::Key_PageUp:
                SelectRange(-VisibleRowCount(), false);
                break;
            case Qt::Key_PageDown:
                SelectRange(VisibleRowCount(), false);
                break;
            case Qt::Key_Home:
                SelectRange(-(ds->RecNo() - 1), true);
                break;
            case Qt::Key_End:
                SelectRange(ds->RecordCount() - ds->RecNo(), true);
                break;
            default:
                done = false;
                break;
            }
        });
        if (done) {
            event.accept();
            return;
        }
    }
    if (mods == Qt::ShiftModifier && !(Options() & dgRowSelect) && !editorShowing &&
        (event.key() == Qt::Key_Left || event.key() == Qt::Key_Right) && LinkIsActive()) {
        const int d = SelectedIndex();
        if (d >= 0 && d < ColumnCount()) {
            TColumn& c = Column(d);
            const int w = c.Width();
            if (event.key() == Qt::Key_Left && w >= 3) c.SetWidth(w - 1);
            if (event.key() == Qt::Key_Right && w < viewport()->width() - 2) c.SetWidth(w + 1);
            ColWidthsChanged();
        }
        event.accept();
        return;
    }
    TDBGrid::KeyDown(event);
    if (mods == Qt::ControlModifier && (event.modifiers() & Qt::KeypadModifier) && LinkIsActive() &&
        !EditorMode()) {
        if (event.key() == Qt::Key_Plus) {
            ChangeRowHeight(true);
            event.accept();
        } else if (event.key() == Qt::Key_Minus) {
            ChangeRowHeight(false);
            event.accept();
        }
    }
}

void TKXDBGrid::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) fSpaceDown = false;
    TDBGrid::keyReleaseEvent(event);
}

// ---- Mouse -----------------------------------------------------------------------------

void TKXDBGrid::StartAutoScroll(QPoint origin) {
    fAutoScroll.Start(origin, viewport()->cursor());
    viewport()->setCursor(AutoScrollCursor(401));
    viewport()->grabMouse();
    HideHint();
    InvalidateOriginMark();
}

void TKXDBGrid::StopAutoScroll() {
    if (!fAutoScroll.Active()) return;
    viewport()->releaseMouse();
    viewport()->setCursor(fAutoScroll.Stop());
    InvalidateOriginMark();
}

void TKXDBGrid::InvalidateOriginMark() {
    viewport()->update(QRect(fAutoScroll.Origin(), QSize(32, 32)));
}

void TKXDBGrid::OnAutoScrollTimer() {
    AutoScrollTick(viewport()->mapFromGlobal(QCursor::pos()));
}

void TKXDBGrid::AutoScrollTick(QPoint mouse) {
    if (!fAutoScroll.Active() || !LinkIsActive()) return;
    const TAutoScrollDirection d = AutoScrollDirectionOf(fAutoScroll.Origin(), mouse, fIntelliPan);
    TDataSet* ds = DataSet();
    RunGuarded([&] {
        if (d.H != 0) {
            const int target = Col() + d.H;
            if ((d.H < 0 && Col() > FixedCols()) || (d.H > 0 && Col() < ColCount() - 1)) {
                const QRect r = CellRect(target, Row());
                if (r.isEmpty() || r.right() >= viewport()->width()) InvalidateOriginMark();
                SetCol(target);
            }
        }
        if (d.V != 0 && ds) {
            if ((d.V < 0 && !ds->Bof()) || (d.V > 0 && !ds->Eof())) {
                InvalidateOriginMark();
                MoveBy(AutoScrollRecords(d.V, fAutoScroll.Origin().y(), mouse.y()));
            }
        }
    });
    const int id = AutoScrollCursorId(d);
    fAutoScroll.SetCursorId(id);
    viewport()->setCursor(AutoScrollCursor(id));
    InvalidateOriginMark();
}

void TKXDBGrid::MouseDown(QMouseEvent& event) {
    const QPoint p = event.position().toPoint();
    fMousePos = p;
    fMouseInside = true;
    HideHint();
    if (fAutoScroll.Active()) {
        StopAutoScroll();
        if (event.button() == Qt::MiddleButton) return;
    } else if (event.button() == Qt::MiddleButton && fIntelliPan != ipNone && LinkIsActive() &&
               RowCount() > FixedRows()) {
        StartAutoScroll(p);
        TDBGrid::MouseDown(event);
        return;
    }
    if (!hasFocus() && !InplaceEditor()->hasFocus()) {
        setFocus(Qt::MouseFocusReason);
        if (!hasFocus() && isVisible() && window()->isActiveWindow()) return;
    }
    if (InSizingSpot(p.x(), p.y())) {
        TDBGrid::MouseDown(event);
        return;
    }
    const TGridCoord c = MouseCoord(p.x(), p.y());
    if (LinkIsActive() && c.X >= IndicatorOffset() && c.Y >= 0 && c.Y < TitleOffset() &&
        fTitleButtons && event.button() == Qt::LeftButton) {
        bool enabled = false;
        CheckButton(RawToDataColumn(c.X), enabled);
        if (enabled) {
            fTracking = true;
            fPressedCol = c.X;
            fPressedColumn = &Column(RawToDataColumn(c.X));
            fPressPoint = p;
            UpdateDownState(p);
            return;
        }
    }
    fBoolClick = false;
    if (event.button() == Qt::LeftButton && LinkIsActive() && c.X == Col() && c.Y == Row() &&
        DrawBool() && OverCurrentCheckBox(p)) {
        if (TField* f = SelectedField(); f && f->IsBoolean()) fBoolClick = true;
    }
    if ((Options() & dgMultiSelect) && (event.modifiers() & Qt::ShiftModifier) &&
        event.button() == Qt::LeftButton && LinkIsActive() && c.Y >= TitleOffset() &&
        c.Y != Row()) {
        RunGuarded([&] { SelectRange(c.Y - Row(), false); });
        if (OnMouseDown) OnMouseDown(*this, event);
        return;
    }
    TDBGrid::MouseDown(event);
}

void TKXDBGrid::MouseMove(QMouseEvent& event) {
    const QPoint p = event.position().toPoint();
    fMousePos = p;
    fMouseInside = viewport()->rect().contains(p);
    if (fTracking) {
        if (fPressPoint.x() != 0 && std::abs(p.x() - fPressPoint.x()) > 3 &&
            GridState() == gsNormal && (Options() & dgColumnResize)) {
            fPressPoint.setX(0);
            EndTracking();
            if (p.y() > 0) {
                QMouseEvent press(QEvent::MouseButtonPress, event.position(),
                                  event.globalPosition(), Qt::LeftButton, Qt::LeftButton,
                                  event.modifiers());
                TDBGrid::MouseDown(press);
            }
        } else {
            UpdateDownState(p);
        }
        return;
    }
    TDBGrid::MouseMove(event);
    if (event.buttons() == Qt::NoButton && !fAutoScroll.Active()) ScheduleHint(p);
}

void TKXDBGrid::MouseUp(QMouseEvent& event) {
    const QPoint p = event.position().toPoint();
    TField* selected = SelectedField();
    const bool tracking = fTracking;
    const int pressedIndex = RawToDataColumn(fPressedCol);
    const TColumn* pressedColumn = fPressedColumn;
    TDBGrid::MouseUp(event);
    if (tracking) {
        const bool inside = OverTitleOf(p, fPressedCol);
        EndTracking();
        if (inside && LinkIsActive() && pressedIndex >= 0 && pressedIndex < ColumnCount() &&
            &Column(pressedIndex) == pressedColumn) {
            fReleaseModifiers = event.modifiers();
            RunGuarded([&] { TitleBtnClick(pressedIndex, Column(pressedIndex).Field()); });
            fReleaseModifiers.reset();
        }
    }
    if (fBoolClick && event.button() == Qt::LeftButton && CanToggleBoolean()) {
        const TGridCoord c = MouseCoord(p.x(), p.y());
        if (c.X == Col() && c.Y == Row() && OverCurrentCheckBox(p))
            RunGuarded([&] { ToggleBoolean(); });
    }
    fBoolClick = false;
    if (selected && selected != SelectedField()) SetSelectedField(selected);
}

void TKXDBGrid::WheelStep(int steps, Qt::KeyboardModifiers modifiers) {
    HideHint();
    if (fAutoScroll.Active()) StopAutoScroll();
    if ((modifiers & Qt::ShiftModifier) && fIntelliZoom && LinkIsActive()) {
        for (int i = 0; i < std::abs(steps); ++i)
            ChangeRowHeight(steps < 0);
        return;
    }
    TDBGrid::WheelStep(steps, modifiers);
}

bool TKXDBGrid::DoMouseWheelDown(Qt::KeyboardModifiers modifiers) {
    if (!LinkIsActive()) return true;
    const bool full = RowCount() >= viewport()->height() / (DefaultRowHeight() + 1) - 1;
    if (Row() != RowCount() - 1 && full)
        MoveBy(RowCount() - Row() - 1);
    else
        MoveBy((modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier ? 10 : 1);
    return true;
}

bool TKXDBGrid::DoMouseWheelUp(Qt::KeyboardModifiers modifiers) {
    if (!LinkIsActive()) return true;
    const bool full = RowCount() >= viewport()->height() / (DefaultRowHeight() + 1) - 1;
    if (Row() != TitleOffset() && full)
        MoveBy(TitleOffset() - Row());
    else
        MoveBy((modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier ? -10 : -1);
    return true;
}

void TKXDBGrid::focusOutEvent(QFocusEvent* event) {
    if (event->reason() != Qt::PopupFocusReason) CancelMode();
    TDBGrid::focusOutEvent(event);
}

void TKXDBGrid::hideEvent(QHideEvent* event) {
    CancelMode();
    StopAutoScroll();
    HideHint();
    TDBGrid::hideEvent(event);
}

// ---- Hints -------------------------------------------------------------------------------

void TKXDBGrid::enterEvent(QEnterEvent* event) {
    SetHintPauses(25, 5);
    TDBGrid::enterEvent(event);
}

void TKXDBGrid::leaveEvent(QEvent* event) {
    // A hint over its cell lies under the mouse: that is no leaving.
    if (fHintWindow->isVisible() && fHintRect.contains(viewport()->mapFromGlobal(QCursor::pos()))) {
        TDBGrid::leaveEvent(event);
        return;
    }
    SetHintPauses(DefaultHintPause, DefaultHintShortPause);
    fMouseInside = false;
    fHintTimer.stop();
    HideHint();
    TDBGrid::leaveEvent(event);
}

bool TKXDBGrid::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::ToolTip:
        // The grid times its hints itself.
        return true;
    case QEvent::Leave:
        if (fHintWindow->isVisible() &&
            fHintRect.contains(viewport()->mapFromGlobal(QCursor::pos())))
            break;
        fMouseInside = false;
        fHintTimer.stop();
        break;
    default:
        break;
    }
    return TDBGrid::viewportEvent(event);
}

TGridHint TKXDBGrid::HintAt(QPoint pos) {
    TGridHint hint;
    // The control's own hint, where the grid has none of its own.
    auto framework = [&] {
        hint.Text = fShowHint ? toolTip() : QString();
        if (!hint.Text.isEmpty()) hint.CursorRect = viewport()->rect();
        return hint;
    };
    if (fAutoScroll.Active()) return hint;
    if (!fShowHint || !(fColumnHints || fDataHints) || InSizingSpot(pos.x(), pos.y()))
        return framework();
    const TGridCoord c = MouseCoord(pos.x(), pos.y());
    const int dataCol = RawToDataColumn(c.X);
    if (c.X < 0 || dataCol < 0 || dataCol >= ColumnCount() || fTracking || !LinkIsActive())
        return framework();
    TColumn& column = Column(dataCol);
    TField* field = column.Field();
    if (!field) return framework();
    if (c.Y == Row() && c.X == Col()) return framework();
    const bool titleRow = c.Y < TitleOffset();
    if (!titleRow && c.Y - TitleOffset() >= DataLink().RecordCount()) return framework();
    hint.FromGrid = true;
    std::string text;
    {
        TActiveRecordScope scope(DataLink(), titleRow ? -1 : c.Y - TitleOffset());
        if (titleRow) {
            if (fColumnHints)
                text = field->FieldName() + " : " + GetFieldTypeName(field->DataType());
        } else if (fDataHints) {
            const TFieldType t = field->DataType();
            const bool wrapped = (t == ftString || t == ftMemo) && RowHeightLines() > 0;
            const bool unshown = t == ftUnknown || t == ftBlob || t == ftGraphic ||
                                 t == ftFmtMemo || t == ftParadoxOle || t == ftDBaseOle ||
                                 t == ftTypedBinary;
            if (!wrapped && !unshown) {
                try {
                    text = TrimRight(field->AsString());
                } catch (...) {
                    text.clear();
                }
                const QString q = ToQString(Trim(text));
                const QFontMetrics& fm = TQtFontMetrics::Instance().Of(column.Font());
                const QRect box = fm.boundingRect(QRect(0, 0, 100000, 0), 0, ToQString(text));
                const bool cut = fm.horizontalAdvance(q) > column.Width() ||
                                 box.height() > DefaultRowHeight() || field->IsMemo();
                if (!cut) text.clear();
            }
        }
    }
    if (text.empty()) return hint;
    hint.Text = ToQString(text);
    hint.CursorRect = CellRect(c.X, c.Y).adjusted(-1, -1, 1, 1);
    if (!titleRow) {
        hint.PlaceAtCell = true;
        hint.Place = hint.CursorRect.topLeft();
    }
    return hint;
}

void TKXDBGrid::ScheduleHint(QPoint pos) {
    if (fHintWindow->isVisible() && fHintRect.contains(pos)) return;
    const bool showing = fHintWindow->isVisible();
    HideHint();
    fHintPos = pos;
    fHintTimer.start(showing ? HintShortPause() : HintPause());
}

void TKXDBGrid::ShowHintNow() {
    if (!fMouseInside) return;
    TGridHint hint;
    try {
        hint = HintAt(fHintPos);
    } catch (...) {
        return;
    }
    if (hint.Text.isEmpty() || hint.CursorRect.isEmpty()) return;
    fHintRect = hint.CursorRect;
    const QPoint at = hint.PlaceAtCell ? viewport()->mapToGlobal(hint.Place)
                                       : viewport()->mapToGlobal(fHintPos + QPoint(0, 20));
    fHintWindow->ShowAt(hint.Text, at);
}

void TKXDBGrid::HideHint() {
    fHintTimer.stop();
    if (fHintWindow && fHintWindow->isVisible()) fHintWindow->hide();
    fHintRect = QRect();
}

// ---- Position around an export ---------------------------------------------------------

void TKXDBGrid::SavePosition() {
    fHasSaved = false;
    fSavedBookmark.clear();
    TDataSet* ds = DataSet();
    if (!LinkIsActive() || !ds || ds->IsEmpty()) return;
    const int r = DataLink().CurrentRow();
    const int n = DataLink().RecordCount();
    const int offset = r - n / 2 + (n + 1) % 2;
    ds->MoveBy(-offset);
    fSavedBookmark = ds->Bookmark();
    ds->MoveBy(offset);
    fSavedOffset = offset;
    fSavedRow = r;
    fHasSaved = true;
}

void TKXDBGrid::RestorePosition() {
    TDataSet* ds = DataSet();
    const bool saved = fHasSaved;
    const std::string bookmark = fSavedBookmark;
    fHasSaved = false;
    fSavedBookmark.clear();
    if (!saved || !LinkIsActive() || !ds || ds->IsEmpty() || !ds->BookmarkValid(bookmark)) return;
    ds->SetBookmark(bookmark);
    if (fSavedOffset != 0) ds->MoveBy(fSavedOffset);
    // The remembered record stands in the middle row again, so the same rows
    // show and the current one is where it was.
    DataLink().PlaceCurrentOnRow(fSavedRow);
    UpdateScrollBars();
    viewport()->update();
}

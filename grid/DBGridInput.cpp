#include "grid/DBGrid.h"

#include "controls/ColorConversion.h"
#include "controls/ErrorDisplay.h"
#include "controls/Utf8Text.h"
#include "data/dataset/DataSet.h"
#include "grid/InplaceEdit.h"
#include "grid/QtFontMetrics.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

// The editor, the keys and the mouse of the framework grid.

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
    // Room that grew shows the columns left of the first one shown, as long
    // as the current column stays whole on screen.
    const int limit = viewport()->width();
    while (fLeftCol > fFixedCols) {
        const int saved = fLeftCol;
        fLeftCol = saved - 1;
        const TColumnSpan s = Spans()[static_cast<size_t>(std::max(fCol, fFixedCols))];
        if (s.X < 0 || s.X + s.Width > limit) {
            fLeftCol = saved;
            break;
        }
    }
    UpdateRowCount();
    UpdateScrollBars();
    UpdateEditorGeometry();
}

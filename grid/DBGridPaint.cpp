#include "grid/DBGrid.h"

#include "controls/ColorConversion.h"
#include "controls/EdgePainter.h"
#include "controls/Utf8Text.h"
#include "data/dataset/DataSet.h"
#include "grid/CellText.h"
#include "grid/InplaceEdit.h"

#include <QPainter>

#include <algorithm>

// How the framework grid paints: lines, then the cells on screen.

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
            // Without default drawing a cell shows what its hook draws on the
            // grid's colour, not what the screen held before.
            if (!fDefaultDrawing) p.fillRect(cell, ToQColor(Color()));
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

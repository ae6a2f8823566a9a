#include "grid/KXDBGrid.h"

#include "controls/ColorConversion.h"
#include "controls/EdgePainter.h"
#include "controls/ErrorDisplay.h"
#include "controls/GraphicUtils.h"
#include "controls/ScreenDepth.h"
#include "controls/Utf8Text.h"
#include "controls/VisualStyle.h"
#include "data/ADOTable.h"
#include "data/DataSet.h"
#include "data/Table.h"
#include "data/TblUtils.h"
#include "data/TextUtils.h"
#include "export/BmpImage.h"
#include "grid/CellText.h"
#include "grid/GridHintWindow.h"
#include "grid/GridImages.h"
#include "grid/HintPause.h"
#include "grid/QtFontMetrics.h"
#include "grid/SortText.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {
// The class-name tests by which the two engines' datasets are told apart.
bool IsConnectionStringKind(const TDataSet& ds) {
    return LowerCase(ds.ClassName()).rfind("tado", 0) == 0;
}

bool IsIndexOrderedKind(const TDataSet& ds) {
    const std::string n = LowerCase(ds.ClassName());
    return n.size() > 1 && n.find("table", 1) != std::string::npos;
}

// A rectangle as right and bottom exclusive edges, as the drawing rules
// count them.
int Right(const QRect& r) {
    return r.left() + r.width();
}
int Bottom(const QRect& r) {
    return r.top() + r.height();
}

QImage PictureOf(TField& field) {
    TValue v;
    field.GetData(v);
    TRgbImage rgb;
    LoadBmpImage(v.Text, rgb);
    QImage img(rgb.Width, rgb.Height, QImage::Format_RGB32);
    const uint8_t* p = rgb.Pixels.data();
    for (int y = 0; y < rgb.Height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < rgb.Width; ++x, p += 3)
            line[x] = qRgb(p[0], p[1], p[2]);
    }
    return img;
}

std::string TrimRight(std::string s) {
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.pop_back();
    return s;
}
} // namespace

TKXDBGrid::TKXDBGrid(QWidget* parent) : TDBGrid(parent) {
    fShadowed = true;
    fIntelliZoom = true;
    fSortMarkerStyle = IsThemeActive(nullptr) ? smsRed : smsClassic;
    setFrameShape(QFrame::NoFrame);
    fHintWindow = new TGridHintWindow(this);
    fHintTimer.setSingleShot(true);
    connect(&fHintTimer, &QTimer::timeout, this, &TKXDBGrid::ShowHintNow);
    connect(&fAutoScroll.Timer(), &QTimer::timeout, this, &TKXDBGrid::OnAutoScrollTimer);
    ApplyBorder();
    LayoutChanged();
}

TKXDBGrid::~TKXDBGrid() {
    if (fAutoScroll.Active()) fAutoScroll.Stop();
}

// ---- Properties ----------------------------------------------------------------

void TKXDBGrid::SetFixedColumns(int n) {
    if (n == fFixedColumns) return;
    if (n < 0) n = 0;
    const int count = ColumnCount();
    if (count < 2) return;
    if (n >= count - 1) n = count - 2;
    if (n > 0 && EditorMode()) HideEditor();
    fFixedColumns = n;
    SetFixedCols(IndicatorOffset() + n);
}

void TKXDBGrid::ApplyFixedColumns() {
    if (fFixedColumns > 0 && LinkIsActive() && fFixedColumns < ColumnCount())
        SetFixedCols(IndicatorOffset() + fFixedColumns);
}

void TKXDBGrid::SetShowLogo(bool v) {
    if (v == fShowLogo) return;
    fShowLogo = v;
    if (!LinkIsActive()) viewport()->update();
}

void TKXDBGrid::SetEdgeForm(TkxBtnForm form) {
    if (form == fEdgeForm) return;
    fEdgeForm = form;
    InvalidateTitles();
}

void TKXDBGrid::SetShadowed(bool v) {
    if (v == fShadowed) return;
    if (v && !ShadingAllowed(this)) return;
    fShadowed = v;
    InvalidateTitles();
}

void TKXDBGrid::SetFlat(bool v) {
    if (v == Flat()) return;
    TTableView::SetFlat(v);
    ApplyBorder();
    viewport()->update();
}

void TKXDBGrid::SetCtl3D(bool v) {
    if (v == Ctl3D()) return;
    TDBGrid::SetCtl3D(v);
    ApplyBorder();
}

void TKXDBGrid::SetBorderStyle(TBorderStyle v) {
    if (v == fBorderStyle) return;
    fBorderStyle = v;
    ApplyBorder();
}

void TKXDBGrid::SetDrawBool(bool v) {
    if (v == DrawBool()) return;
    TTableView::SetDrawBool(v);
    if (LinkIsActive()) viewport()->update();
}

void TKXDBGrid::SetDrawGraphic(bool v) {
    if (v == DrawGraphic()) return;
    TTableView::SetDrawGraphic(v);
    if (LinkIsActive()) viewport()->update();
}

void TKXDBGrid::SetSortMarkerStyle(TSortMarkerStyle style) {
    if (style == fSortMarkerStyle) return;
    fSortMarkerStyle = style;
    InvalidateTitles();
}

void TKXDBGrid::SetTitleButtons(bool v) {
    if (v == fTitleButtons) return;
    fTitleButtons = v;
    InvalidateTitles();
}

// ---- Border --------------------------------------------------------------------

// Flat with 3D: one sunken pixel when the border is single, else none;
// otherwise the sunken client edge of two pixels, or a one-pixel frame
// without 3D.
void TKXDBGrid::ApplyBorder() {
    int b = 0;
    if (Flat() && Ctl3D())
        fFlatBorderWidth = b = fBorderStyle == bsSingle ? 1 : 0;
    else {
        fFlatBorderWidth = 0;
        if (fBorderStyle == bsSingle) b = Ctl3D() ? 2 : 1;
    }
    // The frame keeps the room (it sets the margins itself); the edges are
    // painted over it by DrawBorder.
    if (b > 0) {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(b);
        setMidLineWidth(0);
    } else {
        setFrameStyle(QFrame::NoFrame);
    }
    update();
}

void TKXDBGrid::DrawBorder() {
    if (fBorderStyle != bsSingle) return;
    QPainter p(this);
    const QRect r = rect();
    if (Flat() && Ctl3D())
        DrawEdge(p, r, edSunkenOuter, esRect);
    else if (Ctl3D())
        DrawEdge(p, r, edSunken, esRect);
    else
        DrawEdge(p, r, edRaisedOuter, esRect | esMono);
}

bool TKXDBGrid::event(QEvent* event) {
    const bool handled = TDBGrid::event(event);
    if (event->type() == QEvent::Paint) DrawBorder();
    return handled;
}

// ---- Layout ----------------------------------------------------------------------

void TKXDBGrid::LayoutChanged() {
    TDBGrid::LayoutChanged();
    const int lineH = (Options() & dgRowLines) ? GridLineWidth() : 0;
    fBaseLineHeight = TQtFontMetrics::Instance().Of(Font()).height() + 3 + lineH;
    const int col = Col();
    SetBaseLayout((RowHeightLines() + 1) * fBaseLineHeight, fBaseLineHeight);
    UpdateRowCount();
    UpdateScrollBars();
    if (LinkIsActive() && (Options() & dgRowSelect)) SetLeftCol(LeftCol());
    if (col != Col() && col < ColCount()) SetCol(col);
    ApplyFixedColumns();
    viewport()->update();
}

void TKXDBGrid::LinkActive(bool value) {
    StopAutoScroll();
    EndTracking();
    TDBGrid::LinkActive(value);
    setVerticalScrollBarPolicy(value ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    if (value) {
        if (TDataSet* ds = DataSet()) {
            if (IsConnectionStringKind(*ds) || IsIndexOrderedKind(*ds)) {
                try {
                    ds->UpdateIndexDefs();
                } catch (...) {
                    // The definitions read at the opening stay.
                }
            }
        }
        ClearSort();
    }
}

void TKXDBGrid::ChangeRowHeight(bool taller) {
    const int lines = RowHeightLines();
    int next = lines;
    if (taller && DefaultRowHeight() < 8 * fBaseLineHeight)
        ++next;
    else if (!taller && fBaseLineHeight < DefaultRowHeight())
        --next;
    if (next == lines) return;
    SetRowHeightLines(next);
    LayoutChanged();
}

// ---- Selecting -------------------------------------------------------------------

bool TKXDBGrid::SelectCell(int col, int row) {
    if (!TDBGrid::SelectCell(col, row)) return false;
    if (col < FixedCols() && col >= IndicatorOffset()) {
        // The frozen columns are never current: the first scrolling one is.
        if (Col() != FixedCols() && FixedCols() < ColCount()) SetCol(FixedCols());
        return false;
    }
    if (col != Col()) {
        InvalidateCell(Col(), 0);
        InvalidateCell(col, 0);
        for (int r = 0; r < TitleOffset(); ++r) {
            InvalidateCell(Col(), r);
            InvalidateCell(col, r);
        }
    }
    return true;
}

// ---- Painting ----------------------------------------------------------------------

void TKXDBGrid::Paint(QPainter& p) {
    if (LinkIsActive()) {
        fPaintIndexKnown = false;
        TDBGrid::Paint(p);
        fPaintIndexKnown = false;
        if (fAutoScroll.Active()) {
            const QImage& mark = OriginMark(fIntelliPan);
            if (!mark.isNull())
                DrawKeyedBitmap(p, fAutoScroll.Origin().x(), fAutoScroll.Origin().y(), mark,
                                clFuchsia);
        }
        return;
    }
    p.fillRect(viewport()->rect(), ToQColor(Color()));
    if (fShowLogo && height() > 160 && width() > 240) DrawLogo(p);
}

void TKXDBGrid::DrawLogo(QPainter& p) {
    const int cw = viewport()->width(), ch = viewport()->height();
    const int a = ch / 10 + 20;
    p.setPen(ToQColor(clWindowText));
    p.setBrush(ToQColor(Color()));
    p.drawEllipse(QRect(a, a, cw - a - a, ch - a - a));
    QFont font = ToQFont(Font());
    p.setFont(font);
    const QString credit = QStringLiteral("Open a table to see its records here");
    QFontMetrics fm(font);
    p.drawText(QPoint(cw / 2 - fm.horizontalAdvance(credit) / 2, ch / 2 - 10 + fm.ascent()),
               credit);
    QFont bold = font;
    bold.setBold(true);
    bold.setPixelSize(font.pixelSize() * 2);
    const QFontMetrics bm(bold);
    const QString title = QStringLiteral("Tabulon");
    p.setFont(bold);
    p.drawText(
        QPoint(cw / 2 - bm.horizontalAdvance(title) / 2, ch / 2 - bm.height() - 14 + bm.ascent()),
        title);
    DrawDisabledBitmap(p, cw / 2 - 16, ch / 2 + 12, QPixmap::fromImage(ProgramIcon()), clNone);
    p.setFont(font);
}

QRect TKXDBGrid::CheckBoxRect(const QRect& cell) {
    const int cx = (cell.left() + Right(cell)) / 2, cy = (cell.top() + Bottom(cell)) / 2;
    return QRect(cx - 6, cy - 6, 13, 13);
}

void TKXDBGrid::DrawCell(int col, int row, const QRect& rect, unsigned state) {
    const int dataCol = RawToDataColumn(col);
    TColumn* column =
        LinkIsActive() && dataCol >= 0 && dataCol < ColumnCount() ? &Column(dataCol) : nullptr;
    const int titleOffset = TitleOffset();
    const bool title = row < titleOffset;
    const bool own =
        title || (column && column->Field() && row - titleOffset < DataLink().RecordCount());
    if (!own) {
        TDBGrid::DrawCell(col, row, rect, state);
        DrawCellFrame(rect, col, row, state);
        return;
    }
    if (!title) DrawDataCell(rect, state, *column, dataCol, row);
    DrawCellFrame(rect, col, row, state);
    if (!Flat() && Ctl3D() && (state & gdFixed) &&
        (Options() & (dgRowLines | dgColLines)) == (dgRowLines | dgColLines))
        DrawEdge(*Canvas().Painter, rect, edRaisedInner, esRect);
    if (title && (state & gdFixed) && (Options() & dgTitles)) DrawTitleCell(rect, dataCol, column);
}

void TKXDBGrid::DrawDataCell(const QRect& rect, unsigned state, TColumn& column, int dataCol,
                             int row) {
    TGridCanvas& canvas = Canvas();
    QPainter& p = *canvas.Painter;
    TField& field = *column.Field();
    TActiveRecordScope scope(DataLink(), row - TitleOffset());
    std::string text;
    field.GetDisplayText(text);
    const bool highlight = HighlightCell(dataCol, row, text, state);
    canvas.Font = column.Font();
    if (highlight) {
        canvas.Brush = clHighlight;
        canvas.Font.Color = clHighlightText;
    } else if (state & gdFixed) {
        canvas.Brush = FixedColor();
        if (column.Font() == Font()) canvas.Font = TitleFont();
    } else {
        canvas.Brush = column.Color();
    }
    if (!isEnabled()) canvas.Font.Color = clGrayText;

    TDBGridCellParams& params = fCellParams;
    params.State = state;
    params.Font = &canvas.Font;
    params.Background = canvas.Brush;
    params.Text = std::move(text);
    params.Alignment = column.Alignment();
    params.Bitmap.reset();
    GetCellParams(column, params);
    state = params.State;
    canvas.Brush = params.Background;
    if (params.Font && params.Font != &canvas.Font) canvas.Font = *params.Font;

    const int lines = RowHeightLines();
    if (DefaultDrawing()) {
        QImage picture;
        bool done = false;
        if (auto* own = dynamic_cast<TQtCellBitmap*>(params.Bitmap.get());
            own && !own->Image.isNull()) {
            picture = own->Image;
        } else if (params.ImageKind == ikFieldPicture && field.IsGraphic()) {
            p.fillRect(rect, ToQColor(canvas.Brush));
            DrawPicture(rect, field, params.Alignment);
            done = true;
        } else if ((params.ImageKind >= 0 && params.ImageKind <= 3) || params.ImageKind == 6 ||
                   params.ImageKind == 7) {
            picture = GridImage(params.ImageKind);
        }
        if (!done && !picture.isNull() && picture.width() + 2 < rect.width()) {
            p.fillRect(rect, ToQColor(canvas.Brush));
            p.drawImage(
                QPoint((rect.left() + Right(rect)) / 2 - picture.width() / 2, rect.top() + 2),
                picture);
            done = true;
        }
        if (!done) {
            const TFont& font = canvas.Font;
            const QColor ink = ToQColor(canvas.Font.Color);
            if (field.IsMemo() && lines > 0) {
                std::string whole;
                field.GetAsString(whole);
                WriteCellText(p, rect, font, ink, canvas.Brush, ToQString(whole), params.Alignment,
                              tlTop, true);
            } else {
                p.fillRect(rect, ToQColor(canvas.Brush));
                WriteCellText(p, rect, font, ink, canvas.Brush, ToQString(params.Text),
                              params.Alignment, tlTop, lines > 0 && !field.IsNull());
            }
        }
    }
    params.Bitmap.reset();
    DrawColumnCell(rect, dataCol, column, state);
    if (DefaultDrawing() && (state & gdFocused)) DrawFocusRect(p, rect, clWindowText);
}

void TKXDBGrid::DrawPicture(const QRect& rect, TField& field, TAlignment alignment) {
    const QImage img = PictureOf(field);
    if (img.isNull()) return;
    const int w = img.width(), h = img.height();
    const int cw = rect.width() - 2, ch = rect.height() - 2;
    if (cw <= 0 || ch <= 0) return;
    int sw = static_cast<int>(static_cast<int64_t>(w) * ch / h), sh = ch;
    if (sw >= cw) {
        sw = cw;
        sh = static_cast<int>(static_cast<int64_t>(h) * cw / w);
    }
    int x = rect.left() + 1;
    if (alignment == taRightJustify)
        x = Right(rect) - sw - 1;
    else if (alignment == taCenter)
        x = rect.left() + (rect.width() - sw) / 2;
    const int y = rect.top() + (rect.height() - sh) / 2;
    QPainter& p = *Canvas().Painter;
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(QRect(x, y, sw, sh), img);
}

void TKXDBGrid::DrawCellFrame(QRect r, int col, int row, unsigned state) {
    if ((Options() & (dgRowLines | dgColLines)) != (dgRowLines | dgColLines)) return;
    const bool title = row < TitleOffset();
    const int dataCol = RawToDataColumn(col);
    const bool selected = dataCol >= 0 && dataCol == SelectedIndex();
    if (!((Flat() && (state & gdFixed)) || (isEnabled() && title && selected))) return;
    QPainter& p = *Canvas().Painter;
    DrawEdge(p, r, edSunkenInner, esRight | esBottom | esFlat);
    const bool pressed = fTitleDown && fTitleButtons && col == fPressedCol;
    if (pressed && title) {
        r.adjust(0, 0, 1, 1);
        DrawEdge(p, r, edSunkenInner, esRect);
    } else if (selected && Flat()) {
        r.adjust(0, 0, 1, 1);
        DrawEdge(p, r, edSunkenInner, esRect | esFlat);
    } else {
        r.adjust(-1, -1, 1, 1);
        DrawEdge(p, r, edEtched, esTopLeft);
        DrawEdge(p, r, edRaisedOuter, esBottomRight);
    }
}

TSortMarker TKXDBGrid::MarkerOf(TField* field) {
    TDataSet* ds = DataSet();
    if (!field || !ds || !fAutoSort) return smNone;
    if (auto* table = dynamic_cast<TTable*>(ds); table && IsIndexOrderedKind(*ds)) {
        if (!fPaintIndexKnown) {
            fPaintIndexFields.clear();
            try {
                for (const std::string& f : SplitString(GetSortFields(*table), ';'))
                    fPaintIndexFields.emplace_back(Trim(f));
            } catch (...) {
            }
            fPaintIndexKnown = true;
        }
        for (const std::string& f : fPaintIndexFields)
            if (SameText(f, field->FieldName())) return smUp;
        return smNone;
    }
    int pos = 0;
    bool desc = false;
    if (IsSortedBy(field->FieldName(), pos, desc)) return desc ? smDown : smUp;
    return smNone;
}

void TKXDBGrid::DrawTitleCell(const QRect& rect, int dataCol, TColumn* column) {
    TGridCanvas& canvas = Canvas();
    QPainter& p = *canvas.Painter;
    canvas.Pen = clWindowFrame;
    QRect r2 = rect;
    const int col = DataToRawColumn(dataCol);
    const bool pressed = fTitleDown && fTitleButtons && col == fPressedCol;
    TSortMarker marker = smNone;
    const bool lines = (Options() & (dgRowLines | dgColLines)) == (dgRowLines | dgColLines);
    const bool selected = dataCol >= 0 && dataCol == SelectedIndex();
    if (lines) {
        DrawCellFrame(rect, col, 0, gdFixed);
        if (!Flat() && (!selected || !isEnabled()))
            DrawEdge(p, r2, pressed ? edSunkenInner : edRaisedInner, esRect);
        r2.adjust(1, 1, -1, -1);
    }
    canvas.Font = TitleFont();
    TColor background = FixedColor();
    if (column) {
        canvas.Font = column->TitleFont();
        background = column->TitleColor();
    }
    if (fTitleButtons && column && column->Field()) {
        if (fAutoSort) marker = MarkerOf(column->Field());
        if (OnGetBtnParams)
            OnGetBtnParams(*this, column->Field(), canvas.Font, background, marker, pressed);
    }
    if (pressed) r2.adjust(1, 1, 0, 0);
    if ((fShadowed || fEdgeForm != efRect) && fTitleButtons && Ctl3D()) {
        const bool themed = IsThemeActive(this);
        QRect face = rect;
        if (themed && fShadowed)
            face.adjust(-(1 + ((Options() & dgColLines) ? 1 : 0)),
                        -(1 + ((Options() & dgRowLines) ? 1 : 0)),
                        1 + ((Options() & dgColLines) ? 1 : 0),
                        1 + ((Options() & dgRowLines) ? 1 : 0));
        else
            face.adjust(0, 0, (Options() & dgColLines) ? 1 : 0, (Options() & dgRowLines) ? 1 : 0);
        TkxButtonFace f;
        f.ThemeWindow = this;
        f.Rect = QRect(0, 0, face.width(), face.height());
        f.FaceColor = f.HotColor = background;
        f.FontColor = canvas.Font.Color;
        f.NumGlyphs = 1;
        f.EdgeForm = fEdgeForm;
        f.Shadowed = fShadowed;
        f.HiLightMode = 0;
        f.State = pressed ? fcsDown : (themed && isEnabled() && selected) ? fcsDisabled : fcsNormal;
        p.save();
        p.setClipRect(face);
        p.translate(face.topLeft());
        p.setFont(TQtFontMetrics::Instance().QtFont(canvas.Font));
        DrawButtonFace(p, f);
        p.restore();
    } else {
        p.fillRect(r2, ToQColor(background));
    }
    if (!column) return;
    int m = 0;
    if (marker != smNone)
        m = fSortMarkerStyle == smsClassic
                ? GridImage(marker == smDown ? giSortDown : giSortUp).width() + 4
                : 12;
    QRect caption = r2;
    caption.setWidth(std::max(0, r2.width() - m));
    const TFont& font = canvas.Font;
    const QColor ink = ToQColor(isEnabled() ? canvas.Font.Color : clGrayText);
    if (RowHeights(0) > fBaseLineHeight) {
        WriteCellText(p, caption, font, ink, background, ToQString(column->TitleCaption()),
                      column->TitleAlignment(), tlTop, true);
    } else {
        const QString text =
            ShortenCaption(ToQString(column->TitleCaption()), TQtFontMetrics::Instance().Of(font),
                           caption.width() - 2);
        WriteCellText(p, caption, font, ink, background, text, column->TitleAlignment(), tlCenter,
                      false);
    }
    if (marker == smNone) return;
    const int right = Right(r2), top = r2.top();
    if (fSortMarkerStyle == smsClassic) {
        const QImage& bmp = GridImage(marker == smDown ? giSortDown : giSortUp);
        const int x = right - bmp.width() - 1;
        if (x > r2.left() && x + bmp.width() < right)
            DrawKeyedBitmap(p, x, top + 2, bmp, clFuchsia);
        return;
    }
    TColor c = clRed;
    switch (fSortMarkerStyle) {
    case smsGreen:
        c = RGBColor(0, 128, 0);
        break;
    case smsBlue:
        c = RGBColor(0, 0, 255);
        break;
    case smsWhite:
        c = RGBColor(255, 255, 255);
        break;
    default:
        c = RGBColor(255, 0, 0);
        break;
    }
    QPolygon tri;
    if (marker == smUp)
        tri << QPoint(right - m / 2 - 1, top + 3) << QPoint(right - m + 1, top + 7)
            << QPoint(right - 3, top + 7);
    else
        tri << QPoint(right - m / 2 - 1, top + 7) << QPoint(right - m + 1, top + 3)
            << QPoint(right - 3, top + 3);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(ToQColor(c), 0));
    p.setBrush(ToQColor(c));
    p.drawPolygon(tri);
    p.restore();
}

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
    SelectedRows().SetCurrentRowSelected(true);
    setUpdatesEnabled(false);
    if (disable) ds->DisableControls();
    try {
        const int step = distance > 0 ? 1 : -1;
        for (int i = 0; i != distance; i += step) {
            if (ds->MoveBy(step) == 0) break;
            SelectedRows().SetCurrentRowSelected(true);
        }
    } catch (...) {
        if (disable) ds->EnableControls();
        setUpdatesEnabled(true);
        throw;
    }
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

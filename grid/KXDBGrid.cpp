#include "grid/KXDBGrid.h"

#include "controls/ColorConversion.h"
#include "controls/EdgePainter.h"
#include "controls/GraphicUtils.h"
#include "controls/ScreenDepth.h"
#include "controls/Utf8Text.h"
#include "controls/VisualStyle.h"
#include "data/base/TextUtils.h"
#include "data/dataset/DataSet.h"
#include "data/engines/Table.h"
#include "data/engines/TblUtils.h"
#include "export/view/BmpImage.h"
#include "grid/CellText.h"
#include "grid/DataSetKind.h"
#include "grid/GridHintWindow.h"
#include "grid/GridImages.h"
#include "grid/QtFontMetrics.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <typeinfo>

namespace {
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

bool TKXDBGrid::CellsFromColumns() const {
    return typeid(*this) == typeid(TKXDBGrid);
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

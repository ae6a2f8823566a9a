#include "grid/CellText.h"

#include "controls/ColorConversion.h"
#include "controls/ScreenDepth.h"
#include "grid/QtFontMetrics.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr int DX = 2;

// Only ever grows: a cell as large as any before it needs no new picture.
struct TTextBitmap {
    QImage Image;
    bool InUse = false;
};
TTextBitmap& SharedBitmap() {
    static TTextBitmap bitmap;
    return bitmap;
}

int InsetY(TTextLayout layout, int height, int textHeight) {
    switch (layout) {
    case tlTop:
        return 2;
    case tlCenter:
        return std::max(1, (height - textHeight) / 2);
    case tlBottom:
        return std::max(2, height - textHeight);
    }
    return 2;
}

QString WithLineFeeds(const QString& text) {
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}
} // namespace

bool IsPureColor(TColor color) {
    if (ScreenBitsPerPixel(nullptr) > 8) return true;
    // A palette screen holds the sixteen colours of the standard palette.
    static constexpr TColor pure[] = {clBlack, clMaroon,  clGreen,  clOlive, clNavy, clPurple,
                                      clTeal,  clGray,    clSilver, clRed,   clLime, clYellow,
                                      clBlue,  clFuchsia, clAqua,   clWhite};
    const TColor rgb = ColorToRGB(color);
    return std::find(std::begin(pure), std::end(pure), rgb) != std::end(pure);
}

QSize CellTextBitmapSize() {
    return SharedBitmap().Image.size();
}

void WriteCellText(QPainter& canvas, const QRect& rect, const TFont& tfont, const QColor& textColor,
                   TColor background, const QString& text, TAlignment alignment, TTextLayout layout,
                   bool multiLine) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    const TQtFontMetrics& metrics = TQtFontMetrics::Instance();
    const QFontMetrics& fm = metrics.Of(tfont);
    const QFont& font = metrics.QtFont(tfont);
    const int dy = InsetY(layout, rect.height(), fm.height());
    const int left = rect.left(), right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    TTextBitmap& shared = SharedBitmap();
    // A cell drawn while the picture is in use (by a handler's own drawing)
    // goes straight onto the canvas.
    if ((!multiLine && !text.contains(QLatin1Char('\r')) && IsPureColor(background)) ||
        shared.InUse) {
        int x = left + DX;
        int w = -1;
        if (alignment != taLeftJustify) {
            w = fm.horizontalAdvance(text);
            x = alignment == taRightJustify
                    ? std::max(right - w - 3, left + DX)
                    : std::max(left + (right - left) / 2 - w / 2, left + DX);
        }
        const int y = rect.top() + dy;
        if (x >= right || y >= bottom) return;
        // Most texts fit their cell: those need no clipping, which costs.
        if (w < 0 && text.size() * static_cast<qsizetype>(fm.maxWidth()) > right - x)
            w = fm.horizontalAdvance(text);
        const bool clip = w > right - x || y + fm.height() > bottom;
        if (canvas.font() != font) canvas.setFont(font);
        canvas.setPen(textColor);
        if (clip) canvas.setClipRect(QRect(x, y, right - x, bottom - y), Qt::IntersectClip);
        canvas.drawText(QPointF(x, y + fm.ascent()), text);
        if (clip) canvas.setClipping(false);
        return;
    }
    shared.InUse = true;
    const qreal dpr = canvas.device() ? canvas.device()->devicePixelRatioF() : 1.0;
    const QSize need(static_cast<int>(std::ceil(rect.width() * dpr)),
                     static_cast<int>(std::ceil(rect.height() * dpr)));
    if (shared.Image.width() < need.width() || shared.Image.height() < need.height())
        shared.Image =
            QImage(need.expandedTo(shared.Image.size()), QImage::Format_ARGB32_Premultiplied);
    shared.Image.setDevicePixelRatio(dpr);
    {
        QPainter p(&shared.Image);
        const QRect cell(0, 0, rect.width(), rect.height());
        p.fillRect(cell, ToQColor(background));
        p.setFont(font);
        p.setPen(textColor);
        int flags = Qt::AlignTop | Qt::TextExpandTabs;
        if (multiLine) flags |= Qt::TextWordWrap;
        QRect box(DX, dy, rect.width() - 1 - DX, rect.height() - 1 - dy);
        switch (alignment) {
        case taLeftJustify:
            flags |= Qt::AlignLeft;
            break;
        case taRightJustify:
            flags |= Qt::AlignRight;
            box = QRect(1, dy, rect.width() - 1 - DX - 1, rect.height() - 1 - dy);
            break;
        case taCenter:
            flags |= Qt::AlignHCenter;
            break;
        }
        p.setClipRect(cell);
        p.drawText(box, flags, WithLineFeeds(text));
    }
    canvas.drawImage(QRectF(rect), shared.Image,
                     QRectF(0, 0, rect.width() * dpr, rect.height() * dpr));
    shared.InUse = false;
}

#include "controls/GraphicUtils.h"

#include "controls/ColorConversion.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace {
int Lighten(int v, int amount) {
    return v < 255 - amount ? v + amount : 255;
}
int Darken(int v, int amount) {
    return v > amount ? v - amount - v / 100 : 0;
}

QImage Argb(const QImage& image) {
    return image.format() == QImage::Format_ARGB32 ? image
                                                   : image.convertToFormat(QImage::Format_ARGB32);
}

bool IsKey(QRgb px, TColor key) {
    if (key == clNone || qAlpha(px) != 255) return false;
    return ToTColor(QColor(px)) == ColorToRGB(key);
}

// A copy in which the pixels `keep` says yes to are `color`, the rest clear.
template <class Keep> QImage Mask(const QImage& source, const QColor& color, Keep keep) {
    QImage in = Argb(source);
    QImage out(in.size(), QImage::Format_ARGB32);
    out.setDevicePixelRatio(in.devicePixelRatio());
    const QRgb c = color.rgba();
    for (int y = 0; y < in.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(in.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < in.width(); ++x)
            dst[x] = keep(src[x]) ? c : 0;
    }
    return out;
}
} // namespace

TColor LightenColor(TColor color, int amount) {
    const TColor c = ColorToRGB(color);
    return RGBColor(Lighten(GetRValue(c), amount), Lighten(GetGValue(c), amount),
                    Lighten(GetBValue(c), amount));
}

TColor DarkenColor(TColor color, int amount) {
    const TColor c = ColorToRGB(color);
    return RGBColor(Darken(GetRValue(c), amount), Darken(GetGValue(c), amount),
                    Darken(GetBValue(c), amount));
}

QString ShortenCaption(const QString& text, const QFontMetrics& metrics, int maxWidth) {
    QString s = text;
    const qsizetype length = text.size();
    for (qsizetype i = 1; metrics.horizontalAdvance(s) > maxWidth; ++i) {
        const qsizetype keep = length - i - 1;
        if (keep < 0) break;
        // Never cut a character outside the basic plane in half.
        if (keep > 0 && text.at(keep - 1).isHighSurrogate()) continue;
        s = text.left(keep) + QStringLiteral("...");
        if (keep == 0) break;
    }
    return s;
}

QString ShortenCaption(const QString& text, const QPainter& canvas, int maxWidth) {
    return ShortenCaption(text, QFontMetrics(canvas.font()), maxWidth);
}

void DrawKeyedBitmap(QPainter& canvas, int x, int y, const QImage& bitmap, TColor keyColor) {
    if (bitmap.isNull()) return;
    if (keyColor == clNone) {
        canvas.drawImage(QPoint(x, y), bitmap);
        return;
    }
    QImage img = Argb(bitmap);
    img.detach();
    for (int row = 0; row < img.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(row));
        for (int col = 0; col < img.width(); ++col)
            if (IsKey(line[col], keyColor)) line[col] = 0;
    }
    canvas.drawImage(QPoint(x, y), img);
}

void DrawKeyedBitmap(QPainter& canvas, int x, int y, const QPixmap& bitmap, TColor keyColor) {
    if (bitmap.isNull()) return;
    if (keyColor == clNone) {
        canvas.drawPixmap(QPoint(x, y), bitmap);
        return;
    }
    DrawKeyedBitmap(canvas, x, y, bitmap.toImage(), keyColor);
}

void DrawSilhouette(QPainter& canvas, int x, int y, const QPixmap& bitmap, TColor keyColor,
                    TColor color) {
    if (bitmap.isNull()) return;
    canvas.drawImage(QPoint(x, y), Mask(bitmap.toImage(), ToQColor(color), [&](QRgb px) {
                         return qAlpha(px) >= 128 && !IsKey(px, keyColor);
                     }));
}

void DrawDisabledBitmap(QPainter& canvas, int x, int y, const QPixmap& bitmap, TColor keyColor) {
    if (bitmap.isNull()) return;
    // Light parts of a picture vanish in the embossed look, as on a
    // one-bit conversion; the dark ones carry the shape.
    auto dark = [&](QRgb px) {
        return qAlpha(px) >= 128 && !IsKey(px, keyColor) && qGray(px) < 192;
    };
    const QImage image = bitmap.toImage();
    canvas.drawImage(QPoint(x + 1, y + 1), Mask(image, ToQColor(clBtnHighlight), dark));
    canvas.drawImage(QPoint(x, y), Mask(image, ToQColor(clBtnShadow), dark));
}

TColor GlyphKeyColor(const QPixmap& glyph) {
    if (glyph.isNull()) return clNone;
    const QRgb px = glyph.copy(QRect(0, glyph.height() - 1, 1, 1)).toImage().pixel(0, 0);
    return qAlpha(px) == 255 ? ToTColor(QColor(px)) : clNone;
}

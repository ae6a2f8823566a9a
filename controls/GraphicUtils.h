#pragma once

#include "export/view/Color.h"

#include <QString>

class QFontMetrics;
class QImage;
class QPainter;
class QPixmap;

// Each of red, green and blue raised by `amount`, to 255 at most (system
// colours are resolved first).
TColor LightenColor(TColor color, int amount);
// Each component lowered by `amount` and by a hundredth of itself, to 0 at
// least.
TColor DarkenColor(TColor color, int amount);

// `text` when it fits `maxWidth` pixels; else its first length - 2
// characters followed by "...", then one character fewer at each step,
// until it fits or no character of it is left.
QString ShortenCaption(const QString& text, const QFontMetrics& metrics, int maxWidth);
QString ShortenCaption(const QString& text, const QPainter& canvas, int maxWidth);

// Draws `bitmap` at (x, y) leaving out every opaque pixel of the key colour
// (clNone: no key; pixels the bitmap itself makes transparent stay so).
void DrawKeyedBitmap(QPainter& canvas, int x, int y, const QPixmap& bitmap, TColor keyColor);
void DrawKeyedBitmap(QPainter& canvas, int x, int y, const QImage& bitmap, TColor keyColor);

// The bitmap's shape (its opaque pixels other than the key colour) in one
// colour.
void DrawSilhouette(QPainter& canvas, int x, int y, const QPixmap& bitmap, TColor keyColor,
                    TColor color);
// The embossed look of a disabled picture: its darker pixels in button
// highlight one pixel right and down, then in button shadow in place.
void DrawDisabledBitmap(QPainter& canvas, int x, int y, const QPixmap& bitmap, TColor keyColor);

// The colour to key a glyph with: its bottom-left pixel when that is opaque,
// else clNone (a picture with an alpha channel is transparent already).
TColor GlyphKeyColor(const QPixmap& glyph);

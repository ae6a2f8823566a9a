#pragma once

#include "data/dataset/Field.h"
#include "export/view/Color.h"
#include "export/view/Font.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QPainter;

// Where a cell's text sits vertically.
enum TTextLayout : int { tlTop, tlCenter, tlBottom };

// Writes a cell's text into `rect` as data and title cells do: 2 pixels in
// from the left (3 from the right), the vertical inset of the layout. A
// single line goes straight onto the canvas, clipped to the cell; text with
// several lines (word-wrapped when `multiLine`, or holding line breaks) and
// text on a dithered background is laid out in a shared off-screen picture
// filled with `background` and copied into the cell.
void WriteCellText(QPainter& canvas, const QRect& rect, const TFont& font, const QColor& textColor,
                   TColor background, const QString& text, TAlignment alignment, TTextLayout layout,
                   bool multiLine);

// Whether the screen shows the colour as it is (not dithered from others).
bool IsPureColor(TColor color);

// The size the shared off-screen picture has grown to, in device pixels.
QSize CellTextBitmapSize();

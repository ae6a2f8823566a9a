#pragma once

#include "grid/KXGridTypes.h"

#include <QCursor>
#include <QImage>

#include <string_view>

// The grid's own pictures, drawn by the program and made once on first use
// for the process lifetime (one shared image per index).

// Image `index` of TGridImageIndex; a null image for 4 and 5's neighbours
// that have none. The cell pictures carry transparency; the sort markers
// are keyed by magenta.
const QImage& GridImage(int index);

// A picture by its resource name: "DBG_BLOB", "DBG_MEMO", "DBG_PIC",
// "DBG_OLE", "DBG_SMDOWN", "DBG_SMUP", "DBG_TRUE", "DBG_FALSE" and the
// autoscroll origin marks "DBG_INTEL1" (both axes), "DBG_INTEL2"
// (horizontal), "DBG_INTEL3" (vertical), 26 x 26 on magenta. A null image
// for any other name.
const QImage& LoadGridBitmap(std::string_view name);

// The origin mark of an autoscroll along these axes (ipNone: none).
const QImage& OriginMark(TIntelliPan pan);

// The autoscroll cursors by their number: 401 neutral, 402 down, 403 left,
// 404 right, 405 up, 406 up-right, 407 up-left, 408 down-right,
// 409 down-left. Any other number gives the arrow.
QCursor AutoScrollCursor(int id);
// The picture of such a cursor, 32 x 32 with transparency (null for others).
const QImage& AutoScrollCursorImage(int id);

// The program's own icon, 32 x 32, for the empty grid's logo.
const QImage& ProgramIcon();

#pragma once

#include "export/view/Color.h"
#include "export/view/RgbImage.h"

#include <string_view>

// The small pictures that stand for a cell's value (BLOB, memo, graphic and
// OLE 16 x 14; true and false 13 x 13), kept in the program as named
// resources: the grid draws them and the HTML writer saves them as files.
struct TGridGlyph {
    const char* Name; // resource name, e.g. "DBG_TRUE"
    int Width;
    int Height;
    // One text per row, one character per pixel: '.' is transparent, the
    // other letters are colours of a small fixed palette.
    const char* const* Rows;
};

// The glyph of a resource name, or nullptr.
const TGridGlyph* FindGridGlyph(std::string_view name);
// The glyph standing for a picture kind (0 to 3, 6, 7), or nullptr.
const TGridGlyph* GridGlyphOfKind(int imageKind);
// The resource name of a picture kind, or nullptr when the kind has none.
const char* GridGlyphName(int imageKind);

// The pixel at (x, y) as 0xAARRGGBB; alpha is 0 where the glyph is transparent.
uint32_t GridGlyphPixel(const TGridGlyph& glyph, int x, int y);
// The glyph drawn onto `background` (any colour, system colours resolved).
void RenderGridGlyph(const TGridGlyph& glyph, TColor background, TRgbImage& out);

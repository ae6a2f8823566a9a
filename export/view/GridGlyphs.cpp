#include "export/view/GridGlyphs.h"

#include <cstring>

namespace {

// A page with rows of bits.
const char* const BlobRows[] = {
    "................", //
    "..kkkkkkkkkkk...", //
    "..kwwwwwwwwwkk..", //
    "..kwbwbbwbwwkwk.", //
    "..kwwwwwwwwwkkkk", //
    "..kwbbwbwbbwwwwk", //
    "..kwwwwwwwwwwwwk", //
    "..kwbwbbwbwbbwwk", //
    "..kwwwwwwwwwwwwk", //
    "..kwbbwbwbwbwwwk", //
    "..kwwwwwwwwwwwwk", //
    "..kwbwbwbbwbbwwk", //
    "..kwwwwwwwwwwwwk", //
    "..kkkkkkkkkkkkkk", //
};

// A page with lines of text.
const char* const MemoRows[] = {
    "................", //
    "..kkkkkkkkkkk...", //
    "..kwwwwwwwwwkk..", //
    "..kwddddddwwkwk.", //
    "..kwwwwwwwwwkkkk", //
    "..kwddddddddddwk", //
    "..kwwwwwwwwwwwwk", //
    "..kwdddddddwwwwk", //
    "..kwwwwwwwwwwwwk", //
    "..kwddddddddddwk", //
    "..kwwwwwwwwwwwwk", //
    "..kwddddddwwwwwk", //
    "..kwwwwwwwwwwwwk", //
    "..kkkkkkkkkkkkkk", //
};

// A framed landscape: sky, sun, a mountain, a tree, grass.
const char* const PicRows[] = {
    "................", //
    "kkkkkkkkkkkkkkkk", //
    "kcccccccccccyyck", //
    "kccccccccccyyyyk", //
    "kcccccccccccyyck", //
    "kcccccgcccccccck", //
    "kccccgggccccccck", //
    "kcccgggggccnccck", //
    "kccgggggggnnncck", //
    "kcgggggggnnnnnck", //
    "knnnnnnnnnnnnnnk", //
    "knnnnnnnnnnnnnnk", //
    "knnnnnnnnnnnnnnk", //
    "kkkkkkkkkkkkkkkk", //
};

// A window holding an object of another program.
const char* const OleRows[] = {
    "................", //
    "kkkkkkkkkkkkkkkk", //
    "kbbbbbbbbbbbwbwk", //
    "kkkkkkkkkkkkkkkk", //
    "kwwwwwwwwwwwwwwk", //
    "kwrrrrwwwwwwwwwk", //
    "kwrrrrwwwyyywwwk", //
    "kwrrrrwwyyyyywwk", //
    "kwrrrrwwyyyyywwk", //
    "kwwwwwwwwyyywwwk", //
    "kwwwnnnnnnnnwwwk", //
    "kwwwwwwwwwwwwwwk", //
    "kwwwwwwwwwwwwwwk", //
    "kkkkkkkkkkkkkkkk", //
};

// A sunken check box, ticked.
const char* const TrueRows[] = {
    "ggggggggggggw", //
    "gkkkkkkkkkksw", //
    "gkwwwwwwwwwsw", //
    "gkwwwwwwwkwsw", //
    "gkwwwwwwkkwsw", //
    "gkwkwwwkkkwsw", //
    "gkwkkwkkkwwsw", //
    "gkwkkkkkwwwsw", //
    "gkwwkkkwwwwsw", //
    "gkwwwkwwwwwsw", //
    "gkwwwwwwwwwsw", //
    "gsssssssssssw", //
    "wwwwwwwwwwwww", //
};

// The same box, empty.
const char* const FalseRows[] = {
    "ggggggggggggw", //
    "gkkkkkkkkkksw", //
    "gkwwwwwwwwwsw", //
    "gkwwwwwwwwwsw", //
    "gkwwwwwwwwwsw", //
    "gkwwwwwwwwwsw", //
    "gkwwwwwwwwwsw", //
    "gkwwwwwwwwwsw", //
    "gkwwwwwwwwwsw", //
    "gkwwwwwwwwwsw", //
    "gkwwwwwwwwwsw", //
    "gsssssssssssw", //
    "wwwwwwwwwwwww", //
};

const TGridGlyph Glyphs[] = {
    {"DBG_BLOB", 16, 14, BlobRows}, {"DBG_MEMO", 16, 14, MemoRows},
    {"DBG_PIC", 16, 14, PicRows},   {"DBG_OLE", 16, 14, OleRows},
    {"DBG_TRUE", 13, 13, TrueRows}, {"DBG_FALSE", 13, 13, FalseRows},
};

// 0xAARRGGBB of a palette letter; 0 (transparent) for '.' and unknown ones.
uint32_t PaletteColor(char c) {
    switch (c) {
    case 'k':
        return 0xFF000000u; // black
    case 'd':
        return 0xFF404040u; // dark grey
    case 'g':
        return 0xFF808080u; // grey
    case 's':
        return 0xFFC0C0C0u; // silver
    case 'w':
        return 0xFFFFFFFFu; // white
    case 'b':
        return 0xFF000080u; // navy
    case 'c':
        return 0xFFA6CAF0u; // sky
    case 'y':
        return 0xFFFFD700u; // sun yellow
    case 'n':
        return 0xFF008000u; // green
    case 'r':
        return 0xFFC00000u; // red
    default:
        return 0;
    }
}

} // namespace

const TGridGlyph* FindGridGlyph(std::string_view name) {
    for (const TGridGlyph& g : Glyphs)
        if (name == g.Name) return &g;
    return nullptr;
}

const char* GridGlyphName(int imageKind) {
    switch (imageKind) {
    case 0:
        return "DBG_BLOB";
    case 1:
        return "DBG_MEMO";
    case 2:
        return "DBG_PIC";
    case 3:
        return "DBG_OLE";
    case 6:
        return "DBG_TRUE";
    case 7:
        return "DBG_FALSE";
    default:
        return nullptr;
    }
}

const TGridGlyph* GridGlyphOfKind(int imageKind) {
    const char* name = GridGlyphName(imageKind);
    return name ? FindGridGlyph(name) : nullptr;
}

uint32_t GridGlyphPixel(const TGridGlyph& glyph, int x, int y) {
    if (x < 0 || y < 0 || x >= glyph.Width || y >= glyph.Height) return 0;
    const char* row = glyph.Rows[y];
    if (static_cast<size_t>(x) >= std::strlen(row)) return 0;
    return PaletteColor(row[x]);
}

void RenderGridGlyph(const TGridGlyph& glyph, TColor background, TRgbImage& out) {
    const TColor bg = ColorToRGB(background);
    out.Width = glyph.Width;
    out.Height = glyph.Height;
    out.Pixels.resize(static_cast<size_t>(glyph.Width) * static_cast<size_t>(glyph.Height) * 3);
    uint8_t* p = out.Pixels.data();
    for (int y = 0; y < glyph.Height; ++y)
        for (int x = 0; x < glyph.Width; ++x) {
            const uint32_t argb = GridGlyphPixel(glyph, x, y);
            if ((argb >> 24) == 0) {
                *p++ = static_cast<uint8_t>(GetRValue(bg));
                *p++ = static_cast<uint8_t>(GetGValue(bg));
                *p++ = static_cast<uint8_t>(GetBValue(bg));
            } else {
                *p++ = static_cast<uint8_t>(argb >> 16);
                *p++ = static_cast<uint8_t>(argb >> 8);
                *p++ = static_cast<uint8_t>(argb);
            }
        }
}

#pragma once

#include "export/view/Color.h"

#include <string>

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A font as a value: what the grid draws a cell with and what the writers
// reproduce. Size is in points.
struct TFont {
    std::string Name = "MS Sans Serif";
    int Size = 8;
    unsigned Style = 0; // TFontStyle bits
    TColor Color = clWindowText;
    int Charset = 1; // the default character set

    bool operator==(const TFont&) const = default;
};

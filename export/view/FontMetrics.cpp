#include "export/view/FontMetrics.h"

namespace {
// Advance widths of the printable ASCII characters in the 8-point face.
constexpr unsigned char AsciiWidths[95] = {
    // space ! " # $ % & ' ( ) * + , - . /
    3,
    3,
    4,
    6,
    6,
    9,
    7,
    2,
    4,
    4,
    6,
    6,
    3,
    4,
    3,
    4,
    // 0-9
    6,
    6,
    6,
    6,
    6,
    6,
    6,
    6,
    6,
    6,
    // : ; < = > ? @
    3,
    3,
    6,
    6,
    6,
    6,
    11,
    // A-Z
    7,
    7,
    8,
    8,
    7,
    6,
    8,
    8,
    3,
    5,
    7,
    6,
    9,
    8,
    8,
    7,
    8,
    8,
    7,
    7,
    8,
    7,
    11,
    7,
    7,
    7,
    // [ \ ] ^ _ `
    3,
    4,
    3,
    5,
    6,
    3,
    // a-z
    6,
    6,
    5,
    6,
    6,
    3,
    6,
    6,
    2,
    2,
    5,
    2,
    8,
    6,
    6,
    6,
    6,
    4,
    5,
    3,
    6,
    5,
    8,
    5,
    5,
    5,
    // { | } ~
    4,
    2,
    4,
    7,
};
constexpr int OtherWidth = 7; // any character outside ASCII

int Scale(int width8, int size) {
    return (width8 * size + 4) / 8;
}
} // namespace

int TFixedFontMetrics::TextWidth(const TFont& font, std::string_view text) const {
    int size = font.Size > 0 ? font.Size : 8;
    int total = 0;
    int chars = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) == 0x80) continue; // inside a UTF-8 sequence
        int w = (c >= 32 && c < 127) ? AsciiWidths[c - 32] : (c < 32 ? 0 : OtherWidth);
        total += w;
        ++chars;
    }
    int width = Scale(total, size);
    if (font.Style & fsBold) width += chars;
    return width;
}

int TFixedFontMetrics::TextHeight(const TFont& font) const {
    int size = font.Size > 0 ? font.Size : 8;
    return (size * 96 + 36) / 72 + 2;
}

int TFixedFontMetrics::Overhang(const TFont&) const {
    return 0;
}

const TFixedFontMetrics& TFixedFontMetrics::Instance() {
    static const TFixedFontMetrics metrics;
    return metrics;
}

#pragma once

#include "export/view/RgbImage.h"

#include <stdexcept>
#include <string>
#include <string_view>

// A picture that cannot be read: not a bitmap, damaged, or of a kind that
// is not supported.
class EInvalidGraphic : public std::runtime_error {
public:
    explicit EInvalidGraphic(const std::string& message) : std::runtime_error(message) {}
};

// Decodes a Windows bitmap (the bytes of a .bmp file, as a graphic field
// holds them; an 8-byte graphic header in front is skipped): uncompressed
// 1, 4, 8 bit with a palette and 16, 24, 32 bit, bottom-up or top-down,
// with the info header or the older core header. Every size and offset is
// checked against the data first; raises EInvalidGraphic saying what is
// wrong, and never reads outside `data`.
void LoadBmpImage(std::string_view data, TRgbImage& out);

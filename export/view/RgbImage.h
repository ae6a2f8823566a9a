#pragma once

#include <cstdint>
#include <vector>

// A picture as 8-bit red, green, blue triples, rows from the top.
struct TRgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels; // Width * Height * 3 bytes

    bool Empty() const { return Width <= 0 || Height <= 0; }
    void Clear() {
        Width = Height = 0;
        Pixels.clear();
    }
};

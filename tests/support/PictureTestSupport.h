#pragma once

// Bitmap files built in memory for the picture tests.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pictures {

inline void Put16(std::string& s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        s[at + static_cast<size_t>(k)] = static_cast<char>((v >> (8 * k)) & 0xFF);
}

struct TRgb {
    uint8_t R, G, B;
};

// A bitmap file with the info header. For 1, 4 and 8 bits `index(x, y)`
// gives the palette index, else `color(x, y)` the pixel; y counts from the top.
inline std::string MakeBmp(int width, int height, int bits, bool topDown,
                           const std::function<TRgb(int, int)>& color,
                           const std::vector<TRgb>& palette = {},
                           const std::function<int(int, int)>& index = {}) {
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    const size_t paletteBytes = palette.size() * 4;
    const size_t offBits = 14 + 40 + paletteBytes;
    std::string s(offBits + stride * static_cast<size_t>(height), '\0');
    s[0] = 'B', s[1] = 'M';
    Put32(s, 2, static_cast<uint32_t>(s.size()));
    Put32(s, 10, static_cast<uint32_t>(offBits));
    Put32(s, 14, 40);
    Put32(s, 18, static_cast<uint32_t>(width));
    Put32(s, 22, static_cast<uint32_t>(topDown ? -height : height));
    Put16(s, 26, 1);
    Put16(s, 28, static_cast<uint32_t>(bits));
    Put32(s, 46, static_cast<uint32_t>(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i) {
        s[54 + 4 * i] = static_cast<char>(palette[i].B);
        s[54 + 4 * i + 1] = static_cast<char>(palette[i].G);
        s[54 + 4 * i + 2] = static_cast<char>(palette[i].R);
    }
    for (int y = 0; y < height; ++y) {
        const int fileRow = topDown ? y : height - 1 - y;
        const size_t row = offBits + stride * static_cast<size_t>(fileRow);
        for (int x = 0; x < width; ++x) {
            if (bits <= 8) {
                const size_t bit = static_cast<size_t>(x) * bits;
                const int shift = 8 - bits - static_cast<int>(bit % 8);
                auto& byte = reinterpret_cast<unsigned char&>(s[row + bit / 8]);
                byte = static_cast<unsigned char>(byte | (index(x, y) << shift));
            } else {
                const TRgb c = color(x, y);
                const size_t at = row + static_cast<size_t>(x) * (bits / 8);
                s[at] = static_cast<char>(c.B);
                s[at + 1] = static_cast<char>(c.G);
                s[at + 2] = static_cast<char>(c.R);
            }
        }
    }
    return s;
}

inline std::string SolidBmp(int width, int height, TRgb c) {
    return MakeBmp(width, height, 24, false, [c](int, int) { return c; });
}

// The width and height of a JPEG's frame and its marker (0xC0 baseline), or
// zeros when there is none.
struct TJpegFrame {
    int Marker = 0, Precision = 0, Width = 0, Height = 0, Components = 0;
    int FirstLumaQuant = -1; // first value of the first quantisation table
};

inline TJpegFrame ReadJpegFrame(const std::string& j) {
    TJpegFrame f;
    if (j.size() < 4 || static_cast<uint8_t>(j[0]) != 0xFF || static_cast<uint8_t>(j[1]) != 0xD8)
        return f;
    size_t p = 2;
    auto byte = [&](size_t at) { return static_cast<int>(static_cast<uint8_t>(j[at])); };
    while (p + 4 <= j.size() && byte(p) == 0xFF) {
        const int marker = byte(p + 1);
        const size_t len = static_cast<size_t>(byte(p + 2) << 8 | byte(p + 3));
        if (p + 2 + len > j.size()) break;
        if (marker == 0xDB && f.FirstLumaQuant < 0) f.FirstLumaQuant = byte(p + 5);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            f.Marker = marker;
            f.Precision = byte(p + 4);
            f.Height = byte(p + 5) << 8 | byte(p + 6);
            f.Width = byte(p + 7) << 8 | byte(p + 8);
            f.Components = byte(p + 9);
            return f;
        }
        p += 2 + len;
    }
    return f;
}

} // namespace pictures

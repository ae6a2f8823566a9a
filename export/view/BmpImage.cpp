#include "export/view/BmpImage.h"

#include <cstdint>

namespace {

constexpr uint64_t MaxPixels = uint64_t(1) << 26; // 64 Mi pixels, 192 MiB decoded

[[noreturn]] void Fail(const std::string& what) {
    throw EInvalidGraphic("The picture is not a valid bitmap: " + what);
}

uint16_t U16(std::string_view d, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(d[at]) |
                                 (static_cast<uint8_t>(d[at + 1]) << 8));
}
uint32_t U32(std::string_view d, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(d[at])) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d[at + 1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d[at + 2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d[at + 3])) << 24);
}

// One colour channel given by a bit mask.
struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    uint32_t Max = 0;

    bool Set(uint32_t mask) {
        Mask = mask;
        if (mask == 0) return true;
        Shift = 0;
        while (((mask >> Shift) & 1u) == 0)
            ++Shift;
        Max = mask >> Shift;
        return (Max & (Max + 1)) == 0; // the bits must be contiguous
    }
    uint8_t Get(uint32_t pixel) const {
        if (Mask == 0) return 0;
        const uint32_t v = (pixel & Mask) >> Shift;
        return static_cast<uint8_t>((static_cast<uint64_t>(v) * 255 + Max / 2) / Max);
    }
};

} // namespace

void LoadBmpImage(std::string_view data, TRgbImage& out) {
    out.Clear();
    // A graphic field of some tables carries a header of its own before the
    // file: count 1, type 0x0100, the size of what follows.
    if (data.size() >= 8 && U16(data, 0) == 1 && U16(data, 2) == 0x0100 &&
        U32(data, 4) == data.size() - 8)
        data.remove_prefix(8);

    constexpr size_t FileHeaderSize = 14;
    if (data.size() < FileHeaderSize + 12 || data[0] != 'B' || data[1] != 'M')
        Fail("the data does not start with a bitmap file header");
    // The file size of the header (offset 2) is not trusted: many writers
    // get it wrong. Everything is checked against the data's real size.
    const uint32_t offBits = U32(data, 10);
    const uint32_t headerSize = U32(data, 14);

    int64_t width, height;
    unsigned planes, bitCount;
    uint32_t compression = 0, colorsUsed = 0;
    size_t paletteEntrySize = 4;
    bool core = false;
    if (headerSize == 12) {
        core = true;
        width = U16(data, 18);
        height = U16(data, 20); // unsigned: core bitmaps are bottom-up
        planes = U16(data, 22);
        bitCount = U16(data, 24);
        paletteEntrySize = 3;
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 ||
               headerSize == 108 || headerSize == 124) {
        if (data.size() < FileHeaderSize + headerSize)
            Fail("the data ends inside the bitmap header");
        width = static_cast<int32_t>(U32(data, 18));
        height = static_cast<int32_t>(U32(data, 22));
        planes = U16(data, 26);
        bitCount = U16(data, 28);
        compression = U32(data, 30);
        colorsUsed = U32(data, 46);
    } else {
        Fail("unknown bitmap header size " + std::to_string(headerSize));
    }
    if (core && data.size() < FileHeaderSize + headerSize)
        Fail("the data ends inside the bitmap header");

    if (width <= 0) Fail("width " + std::to_string(width) + " is not positive");
    if (height == 0) Fail("height is 0");
    const bool topDown = height < 0;
    const int64_t rows = topDown ? -height : height;
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(rows) > MaxPixels)
        Fail("the picture is too large (" + std::to_string(width) + " x " + std::to_string(rows) +
             " pixels)");
    if (planes != 1) Fail("the number of planes is " + std::to_string(planes) + ", not 1");
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        Fail(std::to_string(bitCount) + " bits per pixel are not supported");

    enum { biRGB = 0, biRLE8 = 1, biRLE4 = 2, biBitFields = 3 };
    size_t pos = FileHeaderSize + headerSize; // what follows the header
    TChannel red, green, blue;
    bool masked = bitCount == 16 || bitCount == 32;
    if (compression == biBitFields && masked && headerSize != 64) {
        uint32_t rm, gm, bm;
        if (headerSize == 40) {
            if (data.size() < pos + 12) Fail("the data ends inside the colour masks");
            rm = U32(data, pos), gm = U32(data, pos + 4), bm = U32(data, pos + 8);
            pos += 12;
        } else {
            rm = U32(data, 54), gm = U32(data, 58), bm = U32(data, 62);
        }
        if (!red.Set(rm) || !green.Set(gm) || !blue.Set(bm) || (rm & gm) || (rm & bm) || (gm & bm))
            Fail("the colour masks are not valid");
        if (bitCount == 16 && ((rm | gm | bm) >> 16) != 0)
            Fail("the colour masks do not fit 16 bits");
    } else if (compression == biRLE8 || compression == biRLE4) {
        Fail("compressed (run-length) bitmaps are not supported");
    } else if (compression != biRGB) {
        Fail("compression " + std::to_string(compression) + " is not supported");
    } else if (bitCount == 16) {
        red.Set(0x7C00), green.Set(0x03E0), blue.Set(0x001F);
    } else if (bitCount == 32) {
        red.Set(0xFF0000), green.Set(0xFF00), blue.Set(0xFF);
    }

    // The palette lies between the header and the pixels.
    uint8_t palette[256][3] = {};
    uint32_t paletteCount = 0;
    if (bitCount <= 8) {
        const uint32_t maxColors = 1u << bitCount;
        if (colorsUsed > maxColors)
            Fail(std::to_string(colorsUsed) + " palette colours for " + std::to_string(bitCount) +
                 " bits per pixel");
        paletteCount = colorsUsed == 0 ? maxColors : colorsUsed;
        if (offBits >= pos) {
            const uint64_t room = (offBits - pos) / paletteEntrySize;
            if (room < paletteCount) paletteCount = static_cast<uint32_t>(room);
        }
        if (paletteCount == 0) Fail("the palette is missing");
        if (pos + static_cast<uint64_t>(paletteCount) * paletteEntrySize > data.size())
            Fail("the data ends inside the palette");
        for (uint32_t i = 0; i < paletteCount; ++i) {
            const size_t at = pos + i * paletteEntrySize;
            palette[i][0] = static_cast<uint8_t>(data[at + 2]);
            palette[i][1] = static_cast<uint8_t>(data[at + 1]);
            palette[i][2] = static_cast<uint8_t>(data[at]);
        }
    }

    if (offBits < pos)
        Fail("the pixel data offset " + std::to_string(offBits) + " points into the header");
    const uint64_t rowBits = static_cast<uint64_t>(width) * bitCount;
    const uint64_t stride = (rowBits + 31) / 32 * 4;
    const uint64_t rowBytes = (rowBits + 7) / 8;
    // The last row may come without its padding.
    const uint64_t needed = offBits + stride * static_cast<uint64_t>(rows - 1) + rowBytes;
    if (needed > data.size())
        Fail("the pixel data needs " + std::to_string(needed) + " bytes, the data has " +
             std::to_string(data.size()));

    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(rows);
    out.Pixels.resize(w * h * 3);
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    for (size_t r = 0; r < h; ++r) {
        const uint8_t* src = bytes + offBits + stride * r;
        const size_t y = topDown ? r : h - 1 - r;
        uint8_t* dst = out.Pixels.data() + y * w * 3;
        for (size_t x = 0; x < w; ++x, dst += 3) {
            switch (bitCount) {
            case 24:
                dst[0] = src[x * 3 + 2], dst[1] = src[x * 3 + 1], dst[2] = src[x * 3];
                break;
            case 16:
            case 32: {
                const uint32_t px = bitCount == 16
                                        ? static_cast<uint32_t>(src[x * 2] | (src[x * 2 + 1] << 8))
                                        : static_cast<uint32_t>(src[x * 4]) |
                                              (static_cast<uint32_t>(src[x * 4 + 1]) << 8) |
                                              (static_cast<uint32_t>(src[x * 4 + 2]) << 16) |
                                              (static_cast<uint32_t>(src[x * 4 + 3]) << 24);
                dst[0] = red.Get(px), dst[1] = green.Get(px), dst[2] = blue.Get(px);
                break;
            }
            default: {
                const size_t bit = x * bitCount;
                const unsigned shift = 8 - bitCount - static_cast<unsigned>(bit % 8);
                const unsigned index = (src[bit / 8] >> shift) & ((1u << bitCount) - 1);
                if (index >= paletteCount) {
                    out.Clear();
                    Fail("pixel colour " + std::to_string(index) + " is not in the palette of " +
                         std::to_string(paletteCount));
                }
                dst[0] = palette[index][0], dst[1] = palette[index][1], dst[2] = palette[index][2];
                break;
            }
            }
        }
    }
    out.Width = static_cast<int>(width);
    out.Height = static_cast<int>(rows);
}

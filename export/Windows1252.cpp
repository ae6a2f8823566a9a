#include "export/Windows1252.h"

namespace {
// Bytes 0x80..0x9F; 0 marks the unassigned ones.
constexpr char16_t High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
} // namespace

int UnicodeToWindows1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    if (c >= 0x100) {
        for (int i = 0; i < 32; ++i)
            if (High[i] == c) return 0x80 + i;
    }
    // The C1 controls have no byte of their own: readers differ on the
    // unassigned bytes.
    return -1;
}

char16_t Windows1252ToUnicode(uint8_t b) {
    if (b < 0x80 || b >= 0xA0) return b;
    const char16_t c = High[b - 0x80];
    return c ? c : static_cast<char16_t>(b);
}

#include "data/base/Unicode.h"

#include <cstdint>

bool ReadUtf8(std::string_view text, size_t& i, char32_t& cp) {
    const size_t start = i;
    cp = NextUtf8Char(text, i);
    return cp != ReplacementCharacter || text.substr(start, i - start) == "\xEF\xBF\xBD";
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const auto b0 = static_cast<uint8_t>(text[i]);
        if (b0 < 0x80) {
            out += static_cast<char16_t>(b0);
            ++i;
            continue;
        }
        char32_t cp = 0;
        if (!ReadUtf8(text, i, cp)) {
            out += static_cast<char16_t>(ReplacementCharacter);
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const uint32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(out, ReplacementCharacter);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Reads the program's text (UTF-8) one character at a time, for writers that
// must spell each character in their format's own way. An ill-formed
// sequence (the longest prefix of a valid one, or one stray byte) reads as
// one U+FFFD, as Utf8ToUtf16 does.
constexpr char32_t ReplacementCharacter = 0xFFFD;

// The character at `pos`, advancing `pos` past it; `pos` must be inside `text`.
inline char32_t NextUtf8Char(std::string_view text, size_t& pos) {
    const auto b0 = static_cast<uint8_t>(text[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int len;
    uint8_t lo = 0x80, hi = 0xBF;
    char32_t cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F; // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F; // nothing past U+10FFFF
    } else {
        ++pos;
        return ReplacementCharacter;
    }
    size_t j = pos + 1;
    for (int k = 1; k < len; ++k, ++j) {
        if (j >= text.size()) {
            pos = j;
            return ReplacementCharacter;
        }
        const auto b = static_cast<uint8_t>(text[j]);
        if (b < lo || b > hi) {
            pos = j; // the offending byte starts anew
            return ReplacementCharacter;
        }
        cp = (cp << 6) | (b & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    pos = j;
    return cp;
}

// The length of the well-formed character that `text` starts with; 0 when
// it is empty or starts with an ill-formed sequence.
inline size_t Utf8CharLength(std::string_view text) {
    if (text.empty()) return 0;
    size_t pos = 0;
    if (NextUtf8Char(text, pos) == ReplacementCharacter && text.substr(0, pos) != "\xEF\xBF\xBD")
        return 0;
    return pos;
}

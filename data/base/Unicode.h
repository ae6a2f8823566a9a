#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Conversions between the program's 8-bit text (UTF-8) and UTF-16, for the
// clipboard's Unicode copy and for table drivers that store UTF-16.
// Each ill-formed sequence (the longest prefix of a valid sequence, or one
// stray byte) becomes one U+FFFD; unpaired surrogates become U+FFFD as well.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The program's one UTF-8 decoder. A character is well-formed as Unicode
// defines it: no overlong forms, no surrogates, nothing past U+10FFFF. An
// ill-formed sequence (the longest prefix of a valid one, or one stray byte)
// counts as one character, so each reads as one U+FFFD and the byte that
// broke it starts anew.
constexpr char32_t ReplacementCharacter = 0xFFFD;

// The character at `pos`, advancing `pos` past it, U+FFFD for an ill-formed
// one; `pos` must be inside `text`. For writers that spell each character in
// their format's own way.
inline char32_t NextUtf8Char(std::string_view text, size_t& pos) {
    const auto b0 = static_cast<uint8_t>(text[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    // Length of the sequence and the range its second byte must fall in;
    // the narrower ranges exclude overlong forms, surrogates and values
    // beyond U+10FFFF.
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
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
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
            pos = j; // the valid prefix is consumed; the offending byte starts anew
            return ReplacementCharacter;
        }
        cp = (cp << 6) | (b & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    pos = j;
    return cp;
}

// The same, saying whether the character was well-formed: false, with `i`
// past the ill-formed sequence, where NextUtf8Char gives a U+FFFD that the
// text does not hold.
bool ReadUtf8(std::string_view text, size_t& i, char32_t& cp);

// The length of the well-formed character that `text` starts with; 0 when
// it is empty or starts with an ill-formed sequence.
inline size_t Utf8CharLength(std::string_view text) {
    if (text.empty()) return 0;
    size_t pos = 0;
    if (NextUtf8Char(text, pos) == ReplacementCharacter && text.substr(0, pos) != "\xEF\xBF\xBD")
        return 0;
    return pos;
}

// Appends the UTF-8 form of a code point (no check for surrogates).
inline void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

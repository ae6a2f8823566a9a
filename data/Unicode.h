#pragma once

#include <string>
#include <string_view>

// Conversions between the program's 8-bit text (UTF-8) and UTF-16, for the
// clipboard's Unicode copy and for table drivers that store UTF-16.
// Each ill-formed sequence (the longest prefix of a valid sequence, or one
// stray byte) becomes one U+FFFD; unpaired surrogates become U+FFFD as well.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Decodes the UTF-8 character at `i` and moves `i` past it. An ill-formed
// sequence (the longest prefix of a valid one, or one stray byte) is skipped
// the same way and returns false; `i` always moves on while i < text.size().
bool ReadUtf8(std::string_view text, size_t& i, char32_t& cp);
// Appends the UTF-8 form of a code point (no check for surrogates).
void AppendUtf8(std::string& out, char32_t cp);

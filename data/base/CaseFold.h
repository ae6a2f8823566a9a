#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Letter case for comparisons that ignore it: Unicode's full case folding
// (ICU's default mapping, not the Turkic one), so Иван matches иван, ΟΔΟΣ
// matches οδος and οδοσ, Straße matches STRASSE. Texts are UTF-8; the bytes
// of an ill-formed sequence fold to themselves, so such texts compare by
// their bytes there. Folded texts compare by bytes, which is the order of
// their code points. Texts of ASCII only never reach ICU.

// The most bytes that folding one character yields.
constexpr size_t MaxFoldBytes = 12;

// Folds the character at text[i] (i < text.size()) into `out`, which has
// room for MaxFoldBytes (bytes beyond the fold may be overwritten), moves
// `i` past it (or past the ill-formed sequence there) and returns the
// length of the fold, at least one.
size_t FoldChar(std::string_view text, size_t& i, char* out);

void AppendCaseFold(std::string& out, std::string_view text);
std::string CaseFold(std::string_view text);

// Whether every byte is below 0x80.
bool IsAscii(std::string_view text);

// The order of the folds of two texts: -1, 0 or 1.
int CompareCaseFolded(std::string_view a, std::string_view b);
// The same with `folded` folded already (a filter's literal, a searched value).
int CompareFolded(std::string_view text, std::string_view folded);
// Whether the fold of `text` starts with `foldedPrefix`. Folding may change
// lengths, so the prefix is one of the folded text: "stras" starts "Straße".
bool StartsFolded(std::string_view foldedPrefix, std::string_view text);

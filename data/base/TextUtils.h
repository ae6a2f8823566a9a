#pragma once

#include <string>
#include <string_view>
#include <vector>

// Comparison of texts without regard to letter case, by their Unicode case
// folds (data/base/CaseFold.h): SameText("Иван", "иван"), SameText("Straße",
// "STRASSE"). CompareText orders by the folded bytes; StartsText says whether
// the fold of `text` starts with the fold of `prefix`.
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
bool StartsText(std::string_view prefix, std::string_view text);
// ASCII letters only: for keywords, option names and file extensions.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// A blank is the space or a control character (bytes up to 0x20); every trim
// and blank skip of the program follows this one rule. Trim drops them at
// both ends.
inline bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}
std::string_view Trim(std::string_view s);
// Splits at each separator; empty pieces are kept.
std::vector<std::string> SplitString(std::string_view s, char separator);

#pragma once

#include <string>
#include <string_view>
#include <vector>

// Case-insensitive comparison of texts: ASCII letters fold, other bytes
// (UTF-8 sequences) compare as they are.
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
bool StartsText(std::string_view prefix, std::string_view text);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
std::string_view Trim(std::string_view s);
// Splits at each separator; empty pieces are kept.
std::vector<std::string> SplitString(std::string_view s, char separator);

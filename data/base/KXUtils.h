#pragma once

// Text helpers that the export command, the writers and the shell share:
// replacing text, taking the part between two delimiters.

#include <string>
#include <string_view>

// Every occurrence of `search` in `text` replaced by `replacement`, scanning
// left to right without rescanning what was inserted. With ignoreCase, ASCII
// letters compare without case; the result keeps the text's own letters. An
// empty search text replaces nothing.
std::string ReplaceAllText(std::string_view text, std::string_view search,
                           std::string_view replacement, bool ignoreCase);

// What stands between the first two `delimiter`s (the quoted program of a
// command line), up to the end when there is one only; the whole text when
// there is none.
std::string ExtractBetween(std::string_view text, char delimiter);

#pragma once

#include <string>
#include <string_view>

// Every occurrence of `search` in `text` replaced by `replacement`, scanning
// left to right without rescanning what was inserted. With ignoreCase, ASCII
// letters compare without case; the result keeps the text's own letters. An
// empty search text replaces nothing.
std::string ReplaceAllText(std::string_view text, std::string_view search,
                           std::string_view replacement, bool ignoreCase);

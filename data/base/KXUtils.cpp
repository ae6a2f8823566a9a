#include "data/base/KXUtils.h"

namespace {
char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// First position of `search` in `text` at or after `from`, or npos.
size_t FindFrom(std::string_view text, std::string_view search, size_t from, bool ignoreCase) {
    if (!ignoreCase) return text.find(search, from);
    const size_t n = search.size();
    if (text.size() < n) return std::string_view::npos;
    const char first = UpperAscii(search[0]);
    for (size_t i = from; i + n <= text.size(); ++i) {
        if (UpperAscii(text[i]) != first) continue;
        size_t k = 1;
        while (k < n && UpperAscii(text[i + k]) == UpperAscii(search[k]))
            ++k;
        if (k == n) return i;
    }
    return std::string_view::npos;
}
} // namespace

// Folding only ASCII letters keeps every byte where it was, so positions found
// in the compared form are positions in the text itself.
std::string ReplaceAllText(std::string_view text, std::string_view search,
                           std::string_view replacement, bool ignoreCase) {
    std::string result;
    if (search.empty()) {
        result.assign(text);
        return result;
    }
    result.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t hit = FindFrom(text, search, pos, ignoreCase);
        if (hit == std::string_view::npos) break;
        result.append(text.substr(pos, hit - pos));
        result.append(replacement);
        pos = hit + search.size();
    }
    if (pos < text.size()) result.append(text.substr(pos));
    return result;
}

std::string ExtractBetween(std::string_view text, char delimiter) {
    const size_t first = text.find(delimiter);
    if (first == std::string_view::npos) return std::string(text);
    std::string_view rest = text.substr(first + 1);
    return std::string(rest.substr(0, rest.find(delimiter)));
}

#include "data/base/TextUtils.h"

#include "data/base/CaseFold.h"

namespace {
inline unsigned char Fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}
} // namespace

bool SameText(std::string_view a, std::string_view b) {
    return CompareCaseFolded(a, b) == 0;
}

int CompareText(std::string_view a, std::string_view b) {
    return CompareCaseFolded(a, b);
}

bool StartsText(std::string_view prefix, std::string_view text) {
    return StartsFolded(CaseFold(prefix), text);
}

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return r;
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        c = static_cast<char>(Fold(static_cast<unsigned char>(c)));
    return r;
}

std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

std::vector<std::string> SplitString(std::string_view s, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(separator, start);
        if (p == std::string_view::npos) {
            parts.emplace_back(s.substr(start));
            return parts;
        }
        parts.emplace_back(s.substr(start, p - start));
        start = p + 1;
    }
}

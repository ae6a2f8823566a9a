#include "shell/SeparatorOption.h"

#include "data/base/Unicode.h"
#include "export/Windows1252.h"

#include <cstdint>

namespace {
bool IsDigitIn(char c, int base) {
    if (c >= '0' && c <= '9') return true;
    return base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return (c | 0x20) - 'a' + 10;
}

bool ValidUtf8(const std::string& s) {
    for (size_t pos = 0; pos < s.size();) {
        size_t n = Utf8CharLength(std::string_view(s).substr(pos));
        if (n == 0) return false;
        pos += n;
    }
    return true;
}
} // namespace

bool SeparatorOfOption(const std::string& value, std::string& separator, std::string& error) {
    error.clear();
    const std::string code = value.size() > 1 && value[0] == '#' ? value.substr(1) : std::string();
    const size_t lead = !code.empty() && (code[0] == '+' || code[0] == '-') ? 1 : 0;
    // "#" before something that is no number at all stays text, as it always did.
    if (lead >= code.size() || !(IsDigitIn(code[lead], 10) || code[lead] == '$')) {
        if (!ValidUtf8(value)) {
            error = "The separator is not UTF-8 text.";
            return false;
        }
        separator = value;
        return true;
    }
    size_t i = lead;
    int base = 10;
    if (code[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < code.size() && code[i] == '0' &&
               (code[i + 1] == 'x' || code[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    uint64_t n = 0;
    const size_t first = i;
    for (; i < code.size() && IsDigitIn(code[i], base); ++i)
        if (n <= 0x10FFFF)
            n = n * static_cast<uint64_t>(base) + static_cast<uint64_t>(DigitValue(code[i]));
    std::string named = "The separator code ";
    for (char ch : value) // bytes a terminal could not show as they are
        named += static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) >= 0x7F
                     ? '?'
                     : ch;
    if (i == first || i != code.size()) {
        error = named + " is not a number: write # and a decimal code (#59), or #$ and a "
                        "hexadecimal one (#$3B).";
        return false;
    }
    if (code[0] == '-' && n != 0) {
        error = named + " names no character: codes are not negative.";
        return false;
    }
    if (n > 0x10FFFF) {
        error = named + " names no character: the largest code is #1114111 (#$10FFFF).";
        return false;
    }
    if (n >= 0xD800 && n <= 0xDFFF) {
        error = named + " names no character: #55296 to #57343 (#$D800 to #$DFFF) are UTF-16 "
                        "surrogates.";
        return false;
    }
    auto c = static_cast<char32_t>(n);
    if (c >= 0x80 && c < 0xA0) c = Windows1252ToUnicode(static_cast<uint8_t>(c));
    separator.clear();
    AppendUtf8(separator, c);
    return true;
}

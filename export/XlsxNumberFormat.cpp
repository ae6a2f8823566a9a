#include "export/XlsxNumberFormat.h"

#include <cctype>
#include <vector>

namespace {
constexpr int MaxDepth = 4; // "c" and "ddddd" may name patterns that name them again

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool StartsWithNoCase(std::string_view s, size_t at, std::string_view word) {
    if (s.size() - at < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (Lower(s[at + i]) != word[i]) return false;
    return true;
}

// Text shown as it is: a blank stands for itself, one other ASCII character
// is escaped, anything longer is quoted (a quote inside escaped).
void AppendLiteral(std::string& out, std::string_view text) {
    if (text.empty()) return;
    if (text == " ") {
        out += ' ';
        return;
    }
    if (text.size() == 1 && static_cast<unsigned char>(text[0]) < 0x80) {
        out += '\\';
        out += text[0];
        return;
    }
    bool open = false;
    for (char c : text) {
        if (c == '"') {
            if (open) out += '"';
            open = false;
            out += "\\\"";
            continue;
        }
        if (!open) out += '"';
        open = true;
        out += c;
    }
    if (open) out += '"';
}

void AppendDateTime(std::string& out, std::string_view p, bool withTime, const TFormatSettings& fs,
                    int depth) {
    if (depth > MaxDepth) return;
    size_t i = 0;
    while (i < p.size()) {
        const char c = p[i];
        const char lc = Lower(c);
        size_t run = 1;
        while (i + run < p.size() && Lower(p[i + run]) == lc)
            ++run;
        switch (lc) {
        case '"':
        case '\'': {
            const size_t close = p.find(c, i + 1);
            const size_t end = close == std::string_view::npos ? p.size() : close;
            AppendLiteral(out, p.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? p.size() : close + 1;
            continue;
        }
        case 'a':
            if (StartsWithNoCase(p, i, "am/pm") || StartsWithNoCase(p, i, "ampm")) {
                out += "AM/PM";
                i += StartsWithNoCase(p, i, "ampm") ? 4 : 5;
            } else if (StartsWithNoCase(p, i, "a/p")) {
                out += p[i] == 'A' ? 'A' : 'a';
                out += '/';
                out += p[i + 2] == 'P' ? 'P' : 'p';
                i += 3;
            } else {
                AppendLiteral(out, p.substr(i, 1));
                ++i;
            }
            continue;
        case 'c':
            AppendDateTime(out, fs.ShortDateFormat, withTime, fs, depth + 1);
            if (withTime) {
                out += ' ';
                AppendDateTime(out, fs.LongTimeFormat, withTime, fs, depth + 1);
            }
            ++i;
            continue;
        case 'd':
            if (run <= 4)
                out.append(run, 'd');
            else
                AppendDateTime(out, fs.ShortDateFormat, withTime, fs, depth + 1);
            break;
        case 'm':
            // Directly after an hour both read "m" as the minutes.
            out.append(run < 4 ? run : 4, 'm');
            break;
        case 'y':
            out += run <= 2 ? "yy" : "yyyy";
            break;
        case 'h':
            out += run >= 2 ? "hh" : "h";
            break;
        case 'n':
            out += run >= 2 ? "mm" : "m";
            break;
        case 's':
            out += run >= 2 ? "ss" : "s";
            break;
        case 'z':
            out += run >= 3 ? "000" : "0";
            break;
        case '/':
            for (size_t k = 0; k < run; ++k)
                AppendLiteral(out, std::string_view(&fs.DateSeparator, 1));
            break;
        case ':':
            for (size_t k = 0; k < run; ++k)
                AppendLiteral(out, std::string_view(&fs.TimeSeparator, 1));
            break;
        case '.':
            // The point before milliseconds is the seconds' own.
            if (run == 1 && i + 1 < p.size() && Lower(p[i + 1]) == 'z')
                out += '.';
            else
                AppendLiteral(out, p.substr(i, run));
            break;
        default:
            AppendLiteral(out, p.substr(i, run));
            break;
        }
        i += run;
    }
}

std::vector<std::string_view> Sections(std::string_view p) {
    std::vector<std::string_view> r;
    size_t start = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] == '"' || p[i] == '\'') {
            const size_t close = p.find(p[i], i + 1);
            if (close == std::string_view::npos) break;
            i = close;
        } else if (p[i] == ';') {
            r.push_back(p.substr(start, i - start));
            start = i + 1;
            if (r.size() == 2) break; // a third section runs to the end
        }
    }
    r.push_back(p.substr(start));
    return r;
}

bool IsExponentAt(std::string_view s, size_t i) {
    return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

// One FormatFloat section. Its commas only ask for grouping wherever they
// stand; a spreadsheet reads a comma after the last digit as "divide by a
// thousand", so the grouping comma goes after the first integer digit.
std::string NumberSection(std::string_view sec) {
    std::string out, literal;
    bool inFraction = false, grouping = false, exponentDone = false;
    size_t firstDigit = std::string::npos;
    int intDigits = 0;
    auto flush = [&] {
        AppendLiteral(out, literal);
        literal.clear();
    };
    for (size_t i = 0; i < sec.size(); ++i) {
        const char c = sec[i];
        if (c == '"' || c == '\'') {
            const size_t close = sec.find(c, i + 1);
            const size_t end = close == std::string_view::npos ? sec.size() : close;
            flush();
            AppendLiteral(out, sec.substr(i + 1, end - i - 1));
            i = end;
        } else if ((c == '0' || c == '#') && !exponentDone) {
            flush();
            if (!inFraction) {
                if (firstDigit == std::string::npos) firstDigit = out.size();
                ++intDigits;
            }
            out += c;
        } else if (c == '.' && !exponentDone) {
            flush();
            if (!inFraction) out += '.';
            inFraction = true;
        } else if (c == ',' && !exponentDone) {
            if (!inFraction) grouping = true;
        } else if (!exponentDone && IsExponentAt(sec, i)) {
            flush();
            out += 'E';
            out += sec[i + 1];
            i += 2;
            while (i < sec.size() && sec[i] == '0')
                out += sec[i++];
            --i;
            exponentDone = true;
        } else if (c == ' ') {
            flush();
            out += ' ';
        } else {
            literal += c;
        }
    }
    flush();
    if (grouping && firstDigit != std::string::npos)
        out.insert(firstDigit + (intDigits >= 2 ? 1 : 0), intDigits >= 2 ? "," : "#,");
    return out;
}
} // namespace

std::string XlsxDateTimeFormat(std::string_view pattern, bool withTime, const TFormatSettings& fs) {
    std::string out;
    AppendDateTime(out, pattern, withTime, fs, 0);
    return out;
}

std::string XlsxNumberFormat(std::string_view pattern) {
    if (pattern.empty()) return std::string();
    const std::vector<std::string_view> sections = Sections(pattern);
    const std::string first = NumberSection(sections[0]);
    std::string out = first;
    if (sections.size() > 1) {
        // An empty section takes the first one's place, as on screen; a
        // negative value then keeps its sign.
        out += ';';
        out += sections[1].empty() ? "\\-" + first : NumberSection(sections[1]);
    }
    if (sections.size() > 2) {
        out += ';';
        out += sections[2].empty() ? first : NumberSection(sections[2]);
    }
    return out;
}

std::string XlsxCurrencyFormat(const TFormatSettings& fs) {
    std::string amount = "#,##0";
    if (fs.CurrencyDecimals > 0) {
        amount += '.';
        amount.append(static_cast<size_t>(fs.CurrencyDecimals < 30 ? fs.CurrencyDecimals : 30),
                      '0');
    }
    std::string symbol;
    AppendLiteral(symbol, fs.CurrencyString);
    auto layout = [&](std::string_view l) {
        std::string out;
        for (char c : l) {
            if (c == '$')
                out += symbol;
            else if (c == '1')
                out += amount;
            else if (c == ' ')
                out += ' ';
            else
                out.append({'\\', c});
        }
        return out;
    };
    static constexpr const char* positive[4] = {"$1", "1$", "$ 1", "1 $"};
    static constexpr const char* negative[16] = {"($1)", "-$1",  "$-1",   "$1-",  "(1$)", "-1$",
                                                 "1-$",  "1$-",  "-1 $",  "-$ 1", "1 $-", "$ 1-",
                                                 "$ -1", "1- $", "($ 1)", "(1 $)"};
    const int p = fs.CurrencyFormat >= 0 && fs.CurrencyFormat < 4 ? fs.CurrencyFormat : 0;
    const int n = fs.NegCurrFormat >= 0 && fs.NegCurrFormat < 16 ? fs.NegCurrFormat : 1;
    return layout(positive[p]) + ";" + layout(negative[n]);
}

// TFormatSettings: the classic settings, the settings of the system locale and
// the process-wide settings object. Formatting and parsing live in
// DateTimeFormat.cpp and NumberFormat.cpp.
//
// The system locale is read through newlocale / nl_langinfo_l, so the
// process's C locale (setlocale) is never touched.

#include "data/locale/FormatSettings.h"

#include "data/base/TextUtils.h"

#include <langinfo.h>
#include <locale.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The fields of a strftime format: conversions already translated to
// pattern letters, and literal text.
struct TItem {
    bool Literal = false;
    std::string Text;
};

// Where %x, %X and %r expand to: the locale's formats, or the C locale's
// when there is no locale object.
std::string_view LocaleFormat(locale_t loc, nl_item item, std::string_view classic) {
    if (loc == nullptr) return classic;
    const char* s = nl_langinfo_l(item, loc);
    return s != nullptr && *s != '\0' ? std::string_view(s) : classic;
}

void AddLiteral(std::vector<TItem>& items, std::string_view text) {
    if (!items.empty() && items.back().Literal)
        items.back().Text.append(text);
    else
        items.push_back({true, std::string(text)});
}

void AddField(std::vector<TItem>& items, std::string_view text) {
    if (!text.empty()) items.push_back({false, std::string(text)});
}

void Tokenize(std::string_view fmt, locale_t loc, std::vector<TItem>& items, int depth) {
    if (depth > 3) return; // a format that expands into itself
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%') {
            AddLiteral(items, fmt.substr(i, 1));
            continue;
        }
        // %[flags][width][E|O]conversion
        bool noPad = false;
        ++i;
        while (i < fmt.size() && std::string_view("_-0^#").find(fmt[i]) != std::string_view::npos) {
            if (fmt[i] == '-' || fmt[i] == '_') noPad = true;
            ++i;
        }
        while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9')
            ++i;
        if (i < fmt.size() && (fmt[i] == 'E' || fmt[i] == 'O')) ++i;
        if (i >= fmt.size()) break;
        switch (fmt[i]) {
        case 'd':
            AddField(items, noPad ? "d" : "dd");
            break;
        case 'e':
            AddField(items, "d");
            break;
        case 'm':
            AddField(items, noPad ? "m" : "mm");
            break;
        case 'y': // two-digit years would lose the century
        case 'Y':
        case 'G':
        case 'g':
            AddField(items, "yyyy");
            break;
        case 'C':
            break; // century: %C%y is the year, given whole by %y
        case 'a':
            AddField(items, "ddd");
            break;
        case 'A':
            AddField(items, "dddd");
            break;
        case 'b':
        case 'h':
            AddField(items, "mmm");
            break;
        case 'B':
            AddField(items, "mmmm");
            break;
        case 'H':
            AddField(items, noPad ? "h" : "hh");
            break;
        case 'k':
        case 'I':
        case 'l':
            AddField(items, "h");
            break;
        case 'M':
            AddField(items, noPad ? "n" : "nn");
            break;
        case 'S':
            AddField(items, noPad ? "s" : "ss");
            break;
        case 'p':
        case 'P':
            AddField(items, "am/pm");
            break;
        case 'D':
            Tokenize("%m/%d/%y", loc, items, depth + 1);
            break;
        case 'F':
            Tokenize("%Y-%m-%d", loc, items, depth + 1);
            break;
        case 'R':
            Tokenize("%H:%M", loc, items, depth + 1);
            break;
        case 'T':
            Tokenize("%H:%M:%S", loc, items, depth + 1);
            break;
        case 'x':
            Tokenize(LocaleFormat(loc, D_FMT, "%m/%d/%y"), loc, items, depth + 1);
            break;
        case 'X':
            Tokenize(LocaleFormat(loc, T_FMT, "%H:%M:%S"), loc, items, depth + 1);
            break;
        case 'r':
            Tokenize(LocaleFormat(loc, T_FMT_AMPM, "%I:%M:%S %p"), loc, items, depth + 1);
            break;
        case 'n':
        case 't':
            AddLiteral(items, " ");
            break;
        case '%':
            AddLiteral(items, "%");
            break;
        default:
            break; // time zone, week numbers and the like are not shown
        }
    }
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Characters that mean something in a pattern and so are quoted in literals.
bool IsPatternSpecial(char c) {
    return IsAsciiLetter(c) || c == '/' || c == ':' || c == '"' || c == '\'';
}

bool IsSeparatorCandidate(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7f && !IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '%' &&
           c != '"' && c != '\'';
}

std::string Render(const std::vector<TItem>& items, bool isTime, char& separator) {
    const char token = isTime ? ':' : '/';
    char sep = '\0';
    for (const TItem& it : items) {
        if (!it.Literal) continue;
        for (char c : it.Text)
            if (sep == '\0' && IsSeparatorCandidate(c)) sep = c;
    }
    separator = sep != '\0' ? sep : token;

    std::string out;
    bool quoted = false;
    for (const TItem& it : items) {
        if (!it.Literal) {
            if (quoted) out += '"';
            quoted = false;
            out += it.Text;
            continue;
        }
        for (char c : it.Text) {
            const bool special = c != sep && IsPatternSpecial(c);
            if (special && c != '"') {
                if (!quoted) out += '"';
                quoted = true;
                out += c;
                continue;
            }
            if (quoted) out += '"';
            quoted = false;
            if (c == '"')
                out += "'\"'";
            else
                out += c == sep ? token : c;
        }
    }
    if (quoted) out += '"';
    const size_t b = out.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return out.substr(b, out.find_last_not_of(' ') - b + 1);
}

// Whether the pattern has each of the letters (outside quoted text).
bool HasLetters(std::string_view pattern, std::string_view letters) {
    for (char want : letters) {
        bool found = false;
        for (size_t i = 0; i < pattern.size() && !found; ++i) {
            const char c = pattern[i];
            if (c == '"' || c == '\'') {
                const size_t close = pattern.find(c, i + 1);
                if (close == std::string_view::npos) break;
                i = close;
            } else if (c == want) {
                found = true;
            }
        }
        if (!found) return false;
    }
    return true;
}

bool IsClassicName(std::string_view name) {
    return name == "C" || name == "POSIX" || name.substr(0, 2) == "C." ||
           name.substr(0, 2) == "C@" || name.substr(0, 6) == "POSIX.";
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool IsUtf8Codeset(std::string_view cs) {
    return cs == "UTF-8" || cs == "utf-8" || cs == "UTF8" || cs == "utf8";
}

// A locale's thousands separator as one byte: the byte itself, an ASCII blank
// for the Unicode no-break and thin spaces, an apostrophe for U+2019; 0 when
// it has no one-byte form.
char ThousandsByte(std::string_view s) {
    if (s.size() == 1 && static_cast<unsigned char>(s[0]) < 0x80) return s[0];
    if (s == "\xC2\xA0" || s == "\xE2\x80\xAF" || s == "\xE2\x80\x89") return ' ';
    if (s == "\xE2\x80\x99") return '\'';
    return '\0';
}

// NegCurrFormat from the locale's negative layout (see the table in
// FormatSettings.h; the ones the header does not list follow Delphi's).
int NegativeLayout(bool precedes, bool space, int signPosn) {
    if (precedes) {
        switch (signPosn) {
        case 0:
            return space ? 14 : 0; // ($ 1) ($1)
        case 2:
            return space ? 11 : 3; // $ 1-  $1-
        case 4:
            return space ? 12 : 2; // $ -1  $-1
        default:
            return space ? 9 : 1; // -$ 1  -$1
        }
    }
    switch (signPosn) {
    case 0:
        return space ? 15 : 4; // (1 $) (1$)
    case 2:
    case 4:
        return space ? 10 : 7; // 1 $-  1$-
    case 3:
        return space ? 13 : 6; // 1- $  1-$
    default:
        return space ? 8 : 5; // -1 $  -1$
    }
}

TFormatSettings& Current() {
    static TFormatSettings settings = TFormatSettings::FromSystemLocale();
    return settings;
}

} // namespace

std::string TranslateStrftimeFormat(std::string_view strftimeFormat, bool isTime, char& separator) {
    std::vector<TItem> items;
    Tokenize(strftimeFormat, nullptr, items, 0);
    return Render(items, isTime, separator);
}

TFormatSettings TFormatSettings::Classic() {
    return TFormatSettings{};
}

TFormatSettings TFormatSettings::FromSystemLocale() {
    TFormatSettings fs = Classic();
    locale_t loc = newlocale(LC_ALL_MASK, "", nullptr);
    if (loc == nullptr) return fs; // names a locale that is not installed

    auto text = [loc](nl_item item) -> std::string_view {
        const char* s = nl_langinfo_l(item, loc);
        return s != nullptr ? std::string_view(s) : std::string_view();
    };
    // One-byte monetary items; CHAR_MAX (stored as 0x7f or 0xff) means "not given".
    auto byteItem = [loc](nl_item item, int maxValid) -> int {
        const char* s = nl_langinfo_l(item, loc);
        if (s == nullptr) return -1;
        const int v = static_cast<unsigned char>(*s);
        return v <= maxValid ? v : -1;
    };
    const bool utf8 = IsUtf8Codeset(text(CODESET));
    auto usable = [utf8](std::string_view s) { return !s.empty() && (utf8 || IsAscii(s)); };

    // Numbers.
    {
        const std::string_view radix = text(RADIXCHAR);
        if (radix.size() == 1) fs.DecimalSeparator = radix[0];
        char thousands = ThousandsByte(text(THOUSEP));
        if (thousands == '\0' || thousands == fs.DecimalSeparator)
            thousands = fs.DecimalSeparator == ',' ? '.' : ',';
        fs.ThousandSeparator = thousands;
    }

    // Dates and times; the C locale keeps the classic patterns.
    if (!IsClassicName(text(_NL_LOCALE_NAME(LC_TIME)))) {
        std::vector<TItem> items;
        Tokenize(text(D_FMT), loc, items, 0);
        char sep = '/';
        std::string pattern = Render(items, false, sep);
        if (HasLetters(pattern, "dmy")) {
            fs.ShortDateFormat = std::move(pattern);
            fs.DateSeparator = sep;
        }
        items.clear();
        Tokenize(text(T_FMT), loc, items, 0);
        pattern = Render(items, true, sep);
        if (HasLetters(pattern, "hn")) {
            fs.LongTimeFormat = std::move(pattern);
            fs.TimeSeparator = sep;
        }
        if (usable(text(AM_STR)) && usable(text(PM_STR))) {
            fs.TimeAMString = std::string(text(AM_STR));
            fs.TimePMString = std::string(text(PM_STR));
        }
    }

    // Currency; the C locale has none, so it keeps the classic one.
    if (!IsClassicName(text(_NL_LOCALE_NAME(LC_MONETARY)))) {
        std::string_view symbol = text(__CURRENCY_SYMBOL);
        if (!usable(symbol)) symbol = Trim(text(__INT_CURR_SYMBOL)); // "EUR "
        if (usable(symbol)) {
            fs.CurrencyString = std::string(symbol);
            const int frac = byteItem(__FRAC_DIGITS, 9);
            if (frac >= 0) fs.CurrencyDecimals = frac;
            int pPrecedes = byteItem(__P_CS_PRECEDES, 1);
            int pSep = byteItem(__P_SEP_BY_SPACE, 2);
            if (pPrecedes < 0) pPrecedes = 1;
            if (pSep < 0) pSep = 0;
            int nPrecedes = byteItem(__N_CS_PRECEDES, 1);
            int nSep = byteItem(__N_SEP_BY_SPACE, 2);
            int nPosn = byteItem(__N_SIGN_POSN, 4);
            if (nPrecedes < 0) nPrecedes = pPrecedes;
            if (nSep < 0) nSep = pSep;
            if (nPosn < 0) nPosn = 1;
            // sep_by_space 2 puts the blank between sign and symbol; with no
            // layout for that, it counts as no blank.
            fs.CurrencyFormat = (pPrecedes == 1 ? 0 : 1) + (pSep == 1 ? 2 : 0);
            fs.NegCurrFormat = NegativeLayout(nPrecedes == 1, nSep == 1, nPosn);
        }
    }

    freelocale(loc);
    return fs;
}

const TFormatSettings& FormatSettings() {
    return Current();
}

namespace {
std::atomic<TFormatSettingsHook> BeforeChange{nullptr};
}

TFormatSettingsHook SetBeforeFormatSettingsChange(TFormatSettingsHook hook) {
    return BeforeChange.exchange(hook);
}

void SetFormatSettings(const TFormatSettings& settings) {
    if (TFormatSettingsHook hook = BeforeChange.load()) hook();
    Current() = settings;
}

// Number formatting and parsing.
//
// Conversions go through std::to_chars / std::from_chars, which do not depend
// on the C locale; the separators of TFormatSettings are put in afterwards.
//
// Rounding: the general format (AppendFloat) rounds the binary value
// correctly to the requested significant digits. The fixed-decimals formats
// (AppendFixed, AppendCurrency, FormatFloat) start from the shortest decimal
// that reads back as the same double (1.005 rather than 1.00499999999999989...)
// and round that half away from zero, which is what a reader of the value
// expects: 1.005 -> 1.01, 0.125 -> 0.13, -2.5 -> -3.

#include "data/locale/NumberFormat.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

// More decimals than this are not asked for by anything sensible; the
// shortest double decimal has at most 17 significant digits and the smallest
// denormal has its last one at the 324th decimal.
constexpr int MaxDecimals = 340;

bool AppendNonFinite(std::string& out, double v) {
    if (std::isnan(v)) {
        out += "NAN";
        return true;
    }
    if (std::isinf(v)) {
        out += v < 0 ? "-INF" : "INF";
        return true;
    }
    return false;
}

// A finite decimal: value = 0.Digits * 10^PointPos, Digits without leading or
// trailing zeros; zero has no digits.
struct TDecimal {
    bool Neg = false;
    std::string Digits;
    int PointPos = 0;

    bool IsZero() const { return Digits.empty(); }
};

// Parses to_chars scientific output "-d.ddde+XX" into a TDecimal.
TDecimal FromScientific(const char* first, const char* last) {
    TDecimal d;
    const char* p = first;
    if (p < last && *p == '-') {
        d.Neg = true;
        ++p;
    }
    for (; p < last && *p != 'e'; ++p)
        if (*p != '.') d.Digits += *p;
    int exp = 0;
    if (p < last) {
        ++p; // 'e'
        std::from_chars(*p == '+' ? p + 1 : p, last, exp);
    }
    // Strip leading zeros (only "0" itself has one) and trailing zeros.
    const size_t nz = d.Digits.find_first_not_of('0');
    if (nz == std::string::npos) {
        d.Digits.clear();
        d.PointPos = 0;
        return d;
    }
    d.Digits.erase(0, nz);
    d.Digits.erase(d.Digits.find_last_not_of('0') + 1);
    d.PointPos = exp + 1;
    return d;
}

// The shortest decimal that reads back as v (v finite).
TDecimal Shortest(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    return FromScientific(buf, r.ptr);
}

// Keeps `keep` leading digits, rounding half away from zero.
void RoundAt(TDecimal& d, int keep) {
    if (keep >= static_cast<int>(d.Digits.size())) return;
    if (keep < 0) {
        d.Digits.clear();
        return;
    }
    const bool up = d.Digits[static_cast<size_t>(keep)] >= '5';
    d.Digits.resize(static_cast<size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.Digits[static_cast<size_t>(i)] == '9') {
            d.Digits[static_cast<size_t>(i)] = '0';
            --i;
        }
        if (i < 0) {
            d.Digits.insert(d.Digits.begin(), '1');
            ++d.PointPos;
        } else {
            ++d.Digits[static_cast<size_t>(i)];
        }
    }
    const size_t last = d.Digits.find_last_not_of('0');
    d.Digits.erase(last == std::string::npos ? 0 : last + 1);
}

void RoundToDecimals(TDecimal& d, int decimals) {
    RoundAt(d, d.PointPos + decimals);
}

// The digits before the decimal point ("" when the value is below 1).
std::string IntegerDigits(const TDecimal& d) {
    if (d.PointPos <= 0) return {};
    std::string r = d.Digits.substr(0, std::min(d.Digits.size(), static_cast<size_t>(d.PointPos)));
    r.append(static_cast<size_t>(d.PointPos) - r.size(), '0');
    return r;
}

// The first `count` digits after the decimal point.
std::string FractionDigits(const TDecimal& d, int count) {
    std::string r;
    r.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int idx = d.PointPos + i;
        r += idx >= 0 && idx < static_cast<int>(d.Digits.size())
                 ? d.Digits[static_cast<size_t>(idx)]
                 : '0';
    }
    return r;
}

void AppendGrouped(std::string& out, std::string_view digits, char sep) {
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        out += digits[i];
        const size_t fromRight = n - 1 - i;
        if (sep != '\0' && fromRight > 0 && fromRight % 3 == 0) out += sep;
    }
}

// The unsigned amount of a currency value, "1,234.50".
void AppendAmount(std::string& out, const TDecimal& d, int decimals, const TFormatSettings& fs) {
    const std::string ip = IntegerDigits(d);
    AppendGrouped(out, ip.empty() ? std::string_view("0") : std::string_view(ip),
                  fs.ThousandSeparator);
    if (decimals > 0) {
        out += fs.DecimalSeparator;
        out += FractionDigits(d, decimals);
    }
}

// --- FormatFloat -----------------------------------------------------------

std::vector<std::string_view> SplitSections(std::string_view p) {
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

struct TSectionInfo {
    int IntPlaceholders = 0;
    int MinInt = 0;
    int MinFrac = 0;
    int MaxFrac = 0;
    bool Grouping = false;
    bool Scientific = false;
    int ExpDigits = 0;
};

TSectionInfo Analyse(std::string_view sec) {
    TSectionInfo info;
    bool inFraction = false;
    int firstIntZero = -1;
    for (size_t i = 0; i < sec.size(); ++i) {
        const char c = sec[i];
        if (c == '"' || c == '\'') {
            const size_t close = sec.find(c, i + 1);
            if (close == std::string_view::npos) break;
            i = close;
        } else if (c == '0' || c == '#') {
            if (inFraction) {
                ++info.MaxFrac;
                if (c == '0') info.MinFrac = info.MaxFrac;
            } else {
                if (c == '0' && firstIntZero < 0) firstIntZero = info.IntPlaceholders;
                ++info.IntPlaceholders;
            }
        } else if (c == '.') {
            inFraction = true;
        } else if (c == ',') {
            if (!inFraction) info.Grouping = true;
        } else if (IsExponentAt(sec, i)) {
            info.Scientific = true;
            i += 2;
            while (i < sec.size() && sec[i] == '0') {
                ++info.ExpDigits;
                ++i;
            }
            break; // what follows the exponent is literal text
        }
    }
    if (firstIntZero >= 0) info.MinInt = info.IntPlaceholders - firstIntZero;
    return info;
}

// Formats the non-negative value a with one section; returns whether the
// shown number is zero.
bool FormatSection(std::string& out, std::string_view sec, double a, const TFormatSettings& fs) {
    const TSectionInfo info = Analyse(sec);
    std::string intDigits, fracDigits;
    int exponent = 0;
    TDecimal d = Shortest(a);
    d.Neg = false;
    if (info.Scientific) {
        const int k = info.IntPlaceholders;
        if (!d.IsZero()) {
            RoundAt(d, std::max(1, k + info.MaxFrac));
            exponent = d.PointPos - k;
            d.PointPos = k;
        }
    } else {
        RoundToDecimals(d, info.MaxFrac);
    }
    const bool zero = d.IsZero();
    intDigits = IntegerDigits(d);
    if (static_cast<int>(intDigits.size()) < info.MinInt)
        intDigits.insert(0, static_cast<size_t>(info.MinInt) - intDigits.size(), '0');
    fracDigits = FractionDigits(d, info.MaxFrac);
    while (static_cast<int>(fracDigits.size()) > info.MinFrac && fracDigits.back() == '0')
        fracDigits.pop_back();

    const char groupSep = info.Grouping ? fs.ThousandSeparator : '\0';
    const int n = static_cast<int>(intDigits.size());
    int intSeen = 0, fracSeen = 0;
    bool inFraction = false, exponentDone = false;
    auto emitInt = [&](int from, int to) { // intDigits[from, to) with grouping
        for (int idx = from; idx < to; ++idx) {
            out += intDigits[static_cast<size_t>(idx)];
            const int fromRight = n - 1 - idx;
            if (groupSep != '\0' && fromRight > 0 && fromRight % 3 == 0) out += groupSep;
        }
    };
    for (size_t i = 0; i < sec.size(); ++i) {
        const char c = sec[i];
        if (c == '"' || c == '\'') {
            const size_t close = sec.find(c, i + 1);
            const size_t end = close == std::string_view::npos ? sec.size() : close;
            out.append(sec.substr(i + 1, end - i - 1));
            i = end;
        } else if ((c == '0' || c == '#') && !exponentDone) {
            if (inFraction) {
                if (fracSeen < static_cast<int>(fracDigits.size()))
                    out += fracDigits[static_cast<size_t>(fracSeen)];
                ++fracSeen;
            } else {
                // The leftmost placeholder takes every digit the others cannot hold.
                const int idx = n - info.IntPlaceholders + intSeen;
                if (intSeen == 0 && idx > 0) emitInt(0, idx);
                if (idx >= 0) emitInt(idx, idx + 1);
                ++intSeen;
            }
        } else if (c == '.' && !exponentDone) {
            if (!inFraction) {
                inFraction = true;
                if (info.IntPlaceholders == 0) emitInt(0, n);
                if (!fracDigits.empty()) out += fs.DecimalSeparator;
            }
        } else if (c == ',' && !exponentDone) {
            // grouping flag only
        } else if (!exponentDone && IsExponentAt(sec, i)) {
            out += c;
            if (exponent < 0)
                out += '-';
            else if (sec[i + 1] == '+')
                out += '+';
            i += 2;
            int digits = 0;
            while (i < sec.size() && sec[i] == '0') {
                ++digits;
                ++i;
            }
            --i;
            const std::string e = std::to_string(exponent < 0 ? -exponent : exponent);
            if (e.size() < static_cast<size_t>(digits))
                out.append(static_cast<size_t>(digits) - e.size(), '0');
            out += e;
            exponentDone = true;
        } else {
            out += c;
        }
    }
    if (info.IntPlaceholders == 0 && !inFraction) emitInt(0, n);
    return zero;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

[[noreturn]] void ThrowConvert(std::string_view s, const char* what) {
    std::string msg;
    msg.reserve(s.size() + 40);
    msg += '\'';
    msg.append(s);
    msg += "' is not a valid ";
    msg += what;
    throw EConvertError(msg);
}

} // namespace

// Most values in tables are short decimals (12.5, 82705.23). When some
// r * 10^-k with r below 10^15 reads back as exactly v and has no more
// significant digits than asked for (at most 15), that decimal is the
// rounding of v to those digits (there is only one within half a unit of v), and
// the smallest such k gives it without trailing zeros. A few products and
// one division find it, where to_chars takes several times longer.
static bool AppendShortDecimal(std::string& out, double v, int precision, char separator) {
    static constexpr double Pow10[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7};
    static constexpr uint64_t IntPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
    static constexpr double Limit[] = {1,   1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (precision < 1 || precision > 15) return false;
    const double a = std::fabs(v);
    if (!(a >= 1e-4 && a < Limit[precision])) return false; // the fixed notation's range
    for (int k = 0; k < 8; ++k) {
        const double m = a * Pow10[k];
        if (m >= 1e15) return false;
        // m < 1e15, so m + 0.5 is exact and the truncation rounds, without a libm call.
        const auto whole = static_cast<uint64_t>(m + 0.5);
        if (static_cast<double>(whole) / Pow10[k] != a) continue;
        int significant = 0;
        for (uint64_t w = whole; w != 0; w /= 10)
            ++significant;
        for (uint64_t w = whole; w != 0 && w % 10 == 0; w /= 10)
            --significant;
        if (significant > precision) return false;
        char text[40];
        char* at = text;
        if (v < 0) *at++ = '-';
        at = std::to_chars(at, text + sizeof text, whole / IntPow10[k]).ptr;
        if (k > 0) {
            *at++ = separator;
            uint64_t frac = whole % IntPow10[k];
            for (int i = k - 1; i >= 0; --i) {
                at[i] = static_cast<char>('0' + frac % 10);
                frac /= 10;
            }
            at += k;
        }
        out.append(text, static_cast<size_t>(at - text));
        return true;
    }
    return false;
}

void AppendFloat(std::string& out, double v, int precision, const TFormatSettings& fs) {
    if (AppendNonFinite(out, v)) return;
    if (v == 0) {
        out += '0'; // negative zero too
        return;
    }
    precision = std::clamp(precision, 1, 17);
    if (AppendShortDecimal(out, v, precision, fs.DecimalSeparator)) return;
    // Digits and exponent from to_chars' scientific form "-d.ddde+XX". The
    // shortest form is much cheaper than a fixed precision, and when it has
    // no more digits than asked for (up to 15) it is the correctly rounded
    // result too: the 15-digit grid is coarser than a double's spacing, so
    // the one decimal within half a unit of v is also the nearest on it.
    // Subnormals have fewer bits, so they take the long way.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    auto countDigits = [&](const char* end) {
        int n = 0;
        for (const char* p = buf; p < end && *p != 'e'; ++p)
            n += *p >= '0' && *p <= '9';
        return n;
    };
    if (precision > 15 || std::fabs(v) < DBL_MIN || countDigits(r.ptr) > precision)
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, precision - 1);
    char digits[24];
    int nd = 0;
    const char* p = buf;
    const bool neg = *p == '-';
    if (neg) ++p;
    for (; p < r.ptr && *p != 'e'; ++p)
        if (*p != '.') digits[nd++] = *p;
    int exp = 0;
    if (p < r.ptr) {
        ++p;
        std::from_chars(*p == '+' ? p + 1 : p, r.ptr, exp);
    }
    while (nd > 1 && digits[nd - 1] == '0')
        --nd;
    char text[64];
    int n = 0;
    if (neg) text[n++] = '-';
    if (exp >= precision || exp < -4) {
        text[n++] = digits[0];
        if (nd > 1) {
            text[n++] = fs.DecimalSeparator;
            for (int i = 1; i < nd; ++i)
                text[n++] = digits[i];
        }
        text[n++] = 'E';
        if (exp < 0) text[n++] = '-';
        n = static_cast<int>(std::to_chars(text + n, text + sizeof text, exp < 0 ? -exp : exp).ptr -
                             text);
    } else if (exp >= 0) {
        for (int i = 0; i <= exp; ++i)
            text[n++] = i < nd ? digits[i] : '0';
        if (nd > exp + 1) {
            text[n++] = fs.DecimalSeparator;
            for (int i = exp + 1; i < nd; ++i)
                text[n++] = digits[i];
        }
    } else {
        text[n++] = '0';
        text[n++] = fs.DecimalSeparator;
        for (int i = 0; i < -exp - 1; ++i)
            text[n++] = '0';
        for (int i = 0; i < nd; ++i)
            text[n++] = digits[i];
    }
    out.append(text, static_cast<size_t>(n));
}

std::string FloatToStr(double v, const TFormatSettings& fs) {
    std::string r;
    AppendFloat(r, v, 15, fs);
    return r;
}

void AppendCurrency(std::string& out, double v, const TFormatSettings& fs) {
    if (AppendNonFinite(out, v)) return;
    const int decimals = std::clamp(fs.CurrencyDecimals, 0, MaxDecimals);
    TDecimal d = Shortest(v);
    RoundToDecimals(d, decimals);
    const std::string& cs = fs.CurrencyString;
    if (!d.Neg || d.IsZero()) {
        switch (fs.CurrencyFormat) {
        case 1:
            AppendAmount(out, d, decimals, fs);
            out += cs;
            break;
        case 2:
            out += cs;
            out += ' ';
            AppendAmount(out, d, decimals, fs);
            break;
        case 3:
            AppendAmount(out, d, decimals, fs);
            out += ' ';
            out += cs;
            break;
        default:
            out += cs;
            AppendAmount(out, d, decimals, fs);
            break;
        }
        return;
    }
    // The sixteen negative layouts, "$" standing for the currency string and
    // "1" for the amount.
    static constexpr const char* layouts[16] = {"($1)", "-$1",  "$-1",   "$1-",  "(1$)", "-1$",
                                                "1-$",  "1$-",  "-1 $",  "-$ 1", "1 $-", "$ 1-",
                                                "$ -1", "1- $", "($ 1)", "(1 $)"};
    const int f = fs.NegCurrFormat >= 0 && fs.NegCurrFormat < 16 ? fs.NegCurrFormat : 1;
    for (const char* p = layouts[f]; *p; ++p) {
        if (*p == '$')
            out += cs;
        else if (*p == '1')
            AppendAmount(out, d, decimals, fs);
        else
            out += *p;
    }
}

void AppendFixed(std::string& out, double v, int decimals, const TFormatSettings& fs) {
    if (AppendNonFinite(out, v)) return;
    decimals = std::clamp(decimals, 0, MaxDecimals);
    TDecimal d = Shortest(v);
    RoundToDecimals(d, decimals);
    if (d.Neg && !d.IsZero()) out += '-';
    const std::string ip = IntegerDigits(d);
    out += ip.empty() ? "0" : ip;
    if (decimals > 0) {
        out += fs.DecimalSeparator;
        out += FractionDigits(d, decimals);
    }
}

std::string FormatFloat(std::string_view pattern, double v, const TFormatSettings& fs) {
    std::string out;
    if (pattern.empty() || !std::isfinite(v)) {
        AppendFloat(out, v, 15, fs);
        return out;
    }
    const std::vector<std::string_view> sections = SplitSections(pattern);
    const bool hasNeg = sections.size() >= 2 && !sections[1].empty();
    const bool hasZero = sections.size() >= 3 && !sections[2].empty();
    std::string_view sec = sections[0];
    bool minus = false;
    if (v < 0) {
        if (hasNeg)
            sec = sections[1];
        else
            minus = true;
    } else if (v == 0 && hasZero) {
        sec = sections[2];
    }
    if (FormatSection(out, sec, std::fabs(v), fs) && v != 0) {
        // Rounded to zero: shown as zero, without a sign.
        out.clear();
        FormatSection(out, hasZero ? sections[2] : sections[0], 0.0, fs);
        return out;
    }
    if (minus) out.insert(out.begin(), '-');
    return out;
}

bool AppendPlainDecimal(std::string& out, std::string_view s, int precision,
                        const TFormatSettings& fs) {
    size_t i = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative) i = 1;
    const size_t intBegin = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    const size_t intEnd = i;
    size_t fracBegin = i, fracEnd = i;
    if (i < s.size() && s[i] == '.') {
        fracBegin = ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        fracEnd = i;
        // Digits on both sides of the point, as the files write them.
        if (fracEnd == fracBegin || intEnd == intBegin) return false;
    }
    if (i != s.size() || intEnd == intBegin) return false;
    size_t lead = intBegin;
    while (lead < intEnd && s[lead] == '0')
        ++lead;
    while (fracEnd > fracBegin && s[fracEnd - 1] == '0')
        --fracEnd;
    const size_t intDigits = intEnd - lead;
    size_t zeros = 0; // after the point, before the first digit of a value below 1
    if (intDigits == 0) {
        while (fracBegin + zeros < fracEnd && s[fracBegin + zeros] == '0')
            ++zeros;
        if (fracBegin + zeros == fracEnd) {
            out += '0'; // zero, negative zero too
            return true;
        }
    }
    // Up to 15 significant digits are the shortest text of the nearest
    // double, so they are what AppendFloat writes, in fixed notation while
    // the exponent stays within -4 .. precision-1.
    const size_t significant =
        intDigits > 0 ? intDigits + (fracEnd - fracBegin) : fracEnd - fracBegin - zeros;
    // With more digits asked for, AppendFloat shows the double's own.
    if (precision > 15 || significant > static_cast<size_t>(std::max(precision, 1))) return false;
    if (intDigits > 0 ? intDigits > static_cast<size_t>(precision) : zeros > 3) return false;
    // A sign, a zero, the separator, 15 digits and 3 zeros at most: one append.
    char text[24];
    char* at = text;
    if (negative) *at++ = '-';
    if (intDigits > 0) {
        std::memcpy(at, s.data() + lead, intDigits);
        at += intDigits;
    } else {
        *at++ = '0';
    }
    if (fracEnd > fracBegin) {
        *at++ = fs.DecimalSeparator;
        std::memcpy(at, s.data() + fracBegin, fracEnd - fracBegin);
        at += fracEnd - fracBegin;
    }
    out.append(text, static_cast<size_t>(at - text));
    return true;
}

bool AppendPlainInteger(std::string& out, std::string_view s) {
    const size_t first = !s.empty() && s[0] == '-' ? 1 : 0;
    const size_t n = s.size() - first;
    if (n == 0 || n > 18 || (s[first] == '0' && (n > 1 || first == 1))) return false;
    for (size_t i = first; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    out += s;
    return true;
}

void AppendInt(std::string& out, int64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

bool TryStrToInt64(std::string_view s, int64_t& out) {
    s = Trim(s);
    if (s.empty()) return false;
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (*first == '+') ++first;
    const char* digits = *first == '-' && first == s.data() ? first + 1 : first;
    if (digits == last || !IsDigit(*digits)) return false;
    int64_t v = 0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last) return false;
    out = v;
    return true;
}

bool TryStrToFloat(std::string_view s, double& out, const TFormatSettings& fs) {
    s = Trim(s);
    // [sign] digits [sep digits] [(e|E) [sign] digits], with at least one
    // mantissa digit; the decimal separator is the locale's one only.
    std::string text;
    text.reserve(s.size());
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') text += '-';
        ++i;
    }
    int intDigits = 0, fracDigits = 0;
    int leadingZeros = 0; // zeros before the first significant mantissa digit
    int intSignificant = 0;
    bool seenNonZero = false;
    while (i < s.size() && IsDigit(s[i])) {
        if (s[i] != '0') seenNonZero = true;
        if (seenNonZero) ++intSignificant;
        text += s[i++];
        ++intDigits;
    }
    if (i < s.size() && s[i] == fs.DecimalSeparator) {
        text += '.';
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            if (s[i] != '0')
                seenNonZero = true;
            else if (!seenNonZero)
                ++leadingZeros;
            text += s[i++];
            ++fracDigits;
        }
    }
    if (intDigits + fracDigits == 0) return false;
    int64_t exp = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        text += 'e';
        ++i;
        bool expNeg = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            expNeg = s[i] == '-';
            text += s[i++];
        }
        if (i >= s.size() || !IsDigit(s[i])) return false;
        while (i < s.size() && IsDigit(s[i])) {
            if (exp < 100000) exp = exp * 10 + (s[i] - '0');
            text += s[i++];
        }
        if (expNeg) exp = -exp;
    }
    if (i != s.size()) return false;
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ptr != text.data() + text.size()) return false;
    if (r.ec == std::errc::result_out_of_range) {
        // Decimal exponent of the first significant digit decides between
        // underflow (reads as zero) and overflow (not a value).
        const int64_t magnitude = intSignificant > 0 ? exp + intSignificant : exp - leadingZeros;
        if (magnitude > 0) return false;
        v = text[0] == '-' ? -0.0 : 0.0;
    } else if (r.ec != std::errc()) {
        return false;
    }
    out = v;
    return true;
}

int64_t StrToInt64(std::string_view s) {
    int64_t r = 0;
    if (!TryStrToInt64(s, r)) ThrowConvert(s, "integer value");
    return r;
}

double StrToFloat(std::string_view s, const TFormatSettings& fs) {
    double r = 0;
    if (!TryStrToFloat(s, r, fs)) ThrowConvert(s, "floating point value");
    return r;
}

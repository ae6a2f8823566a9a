#include "data/drivers/text/TextTypeGuess.h"

#include "data/base/TextUtils.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/FormatSettings.h"
#include "data/locale/ValueConversion.h"

#include <charconv>
#include <cmath>

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int Two(const char* p) {
    return (p[0] - '0') * 10 + (p[1] - '0');
}

bool AllDigits(std::string_view s, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (!IsDigit(s[i])) return false;
    return true;
}

// yyyy-mm-dd at the start of s.
bool IsoDate(std::string_view s, double& out) {
    if (s.size() < 10 || s[4] != '-' || s[7] != '-' || !AllDigits(s, 0, 4) || !AllDigits(s, 5, 7) ||
        !AllDigits(s, 8, 10))
        return false;
    int y = Two(s.data()) * 100 + Two(s.data() + 2);
    return y >= 1 && TryEncodeDate(y, Two(s.data() + 5), Two(s.data() + 8), out);
}

// hh:mm or hh:mm:ss, optionally with .f to .fff.
bool IsoTime(std::string_view s, double& out) {
    if (s.size() < 5 || s[2] != ':' || !AllDigits(s, 0, 2) || !AllDigits(s, 3, 5)) return false;
    int sec = 0, ms = 0;
    if (s.size() > 5) {
        if (s.size() < 8 || s[5] != ':' || !AllDigits(s, 6, 8)) return false;
        sec = Two(s.data() + 6);
        if (s.size() > 8) {
            if (s[8] != '.' || s.size() > 12 || s.size() < 10 || !AllDigits(s, 9, s.size()))
                return false;
            for (size_t i = 9; i < 12; ++i)
                ms = ms * 10 + (i < s.size() ? s[i] - '0' : 0);
        }
    }
    return TryEncodeTime(Two(s.data()), Two(s.data() + 3), sec, ms, out);
}

bool IsoDateTime(std::string_view s, double& out) {
    double date, time;
    if (!IsoDate(s, date)) return false;
    if (s.size() == 10) return out = date, true;
    if (s[10] != ' ' && s[10] != 'T') return false;
    if (!IsoTime(s.substr(11), time)) return false;
    out = date + time;
    return true;
}

const TFormatSettings& Classic() {
    static const TFormatSettings fs = TFormatSettings::Classic();
    return fs;
}

std::string_view Plain(std::string_view s) {
    s = Trim(s);
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    return s;
}
} // namespace

unsigned TTextTypeGuess::Classify(std::string_view v) {
    const size_t n = v.size();
    if (n == 0) return kAll;
    const char c = v[0];
    if (c == 't' || c == 'T' || c == 'f' || c == 'F')
        return SameText(v, "true") || SameText(v, "false") ? static_cast<unsigned>(kBoolean) : 0u;
    if (c != '-' && !IsDigit(c)) return 0;
    unsigned r = 0;
    // Numbers: -?(0|[1-9][0-9]*)(\.[0-9]+)?
    size_t i = c == '-' ? 1 : 0;
    const bool negative = i == 1;
    if (i < n && IsDigit(v[i])) {
        size_t start = i;
        if (v[i] == '0')
            ++i;
        else
            while (i < n && IsDigit(v[i]))
                ++i;
        const size_t intDigits = i - start;
        bool zero = v[start] == '0';
        if (i == n) {
            if (!(negative && zero)) {
                int64_t value;
                auto res = std::from_chars(v.data(), v.data() + n, value);
                if (res.ec == std::errc() && res.ptr == v.data() + n) {
                    r |= kInt64;
                    if (value >= INT32_MIN && value <= INT32_MAX) r |= kInt32;
                    if (intDigits <= 15) r |= kFloat;
                }
            }
        } else if (v[i] == '.' && i + 1 < n && AllDigits(v, i + 1, n)) {
            // Significant digits: all but the leading zeros.
            size_t significant = 0;
            bool leading = true;
            for (size_t k = start; k < n; ++k) {
                if (v[k] == '.') continue;
                if (leading && v[k] == '0') continue;
                leading = false;
                ++significant;
            }
            if (significant <= 15 && !(negative && leading)) r |= kFloat;
        }
    }
    if (!negative) {
        double d;
        if (n == 10 && IsoDate(v, d))
            r |= kDate | kDateTime;
        else if ((n == 16 || n == 19 || (n > 20 && n <= 23)) && IsoDateTime(v, d))
            r |= kDateTime;
        else if ((n == 5 || n == 8) && IsoTime(v, d))
            r |= kTime;
    }
    return r;
}

void TTextTypeGuess::NoteStyle(std::string_view value, unsigned kinds) {
    if (!fBoolStyled && (kinds & kBoolean)) {
        fBoolStyled = true;
        const bool upper = value.size() > 1 && value[0] >= 'A' && value[0] <= 'Z' &&
                           value[1] >= 'A' && value[1] <= 'Z';
        const bool capital = !upper && value[0] >= 'A' && value[0] <= 'Z';
        fTrue = upper ? "TRUE" : capital ? "True" : "true";
        fFalse = upper ? "FALSE" : capital ? "False" : "false";
    }
    if (!fStampStyled && (kinds & kDateTime) && !(kinds & kDate)) {
        fStampStyled = true;
        fDateTimeSeparator = value[10];
        fSeconds = value.size() > 16;
    }
}

TFieldType TTextTypeGuess::FieldType() const {
    if (!fSeen || fMask == 0) return ftString;
    if (fMask & kInt32) return ftInteger;
    if (fMask & kInt64) return ftLargeint;
    if (fMask & kFloat) return ftFloat;
    if (fMask & kDate) return ftDate;
    if (fMask & kDateTime) return ftDateTime;
    if (fMask & kTime) return ftTime;
    if (fMask & kBoolean) return ftBoolean;
    return ftString;
}

bool TTextTypeGuess::Allows(TFieldType type) const {
    if (!fSeen) return true;
    switch (type) {
    case ftString:
        return true;
    case ftInteger:
        return fMask & kInt32;
    case ftLargeint:
        return fMask & kInt64;
    case ftFloat:
        return fMask & kFloat;
    case ftDate:
        return fMask & kDate;
    case ftDateTime:
        return fMask & kDateTime;
    case ftTime:
        return fMask & kTime;
    case ftBoolean:
        return fMask & kBoolean;
    default:
        return false;
    }
}

bool TTextTypeGuess::Parse(std::string_view text, TFieldType type, TValue& out) {
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint:
    case ftAutoInc: {
        std::string_view t = Plain(text);
        int64_t v;
        auto r = std::from_chars(t.data(), t.data() + t.size(), v);
        if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
        out.SetInt(v);
        return true;
    }
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
        std::string_view t = Plain(text);
        double v;
        auto r = std::from_chars(t.data(), t.data() + t.size(), v);
        if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v))
            return false;
        out.SetFloat(v);
        return true;
    }
    case ftDate:
    case ftDateTime:
    case ftTime: {
        std::string_view t = Trim(text);
        double d;
        bool ok = type == ftTime
                      ? IsoTime(t, d) || TryStrToTime(t, d) || TryStrToTime(t, d, Classic())
                      : IsoDateTime(t, d) || TryStrToDateTime(t, d) || TryStrToDate(t, d) ||
                            TryStrToDateTime(t, d, Classic());
        if (!ok) return false;
        if (type == ftDate) d = std::floor(d);
        out.SetDateTime(d);
        return true;
    }
    case ftBoolean: {
        bool b;
        if (!ValueToBool(TValue::OfText(text), b)) return false;
        out.SetBool(b);
        return true;
    }
    default:
        out.SetText(text);
        return true;
    }
}

void TTextTypeGuess::Format(const TValue& v, TFieldType type, std::string& out, int width) const {
    out.clear();
    switch (type) {
    case ftBoolean:
        out = v.Bool ? fTrue : fFalse;
        if (width > 0 && out.size() > static_cast<size_t>(width)) out.resize(1);
        return;
    case ftDate:
        out = FormatDateTime("yyyy-mm-dd", v.Float, Classic());
        return;
    case ftTime:
        out = FormatDateTime("hh:nn:ss", v.Float, Classic());
        return;
    case ftDateTime: {
        std::string pattern = std::string("yyyy-mm-dd") +
                              (fDateTimeSeparator == 'T' ? "'T'" : " ") +
                              (fSeconds ? "hh:nn:ss" : "hh:nn");
        out = FormatDateTime(pattern, v.Float, Classic());
        return;
    }
    default:
        ValueToText(v, out);
        return;
    }
}

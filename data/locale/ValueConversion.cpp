#include "data/locale/ValueConversion.h"

#include "data/base/TextUtils.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/FormatSettings.h"
#include "data/locale/NumberFormat.h"

#include <charconv>
#include <cmath>

namespace {
const TFormatSettings& Classic() {
    static const TFormatSettings fs = TFormatSettings::Classic();
    return fs;
}

bool Digits(std::string_view s, size_t at, size_t n, int& out) {
    if (at + n > s.size()) return false;
    out = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

// yyyy-mm-dd, optionally followed by a blank or "T" and hh:nn[:ss[.zzz]].
bool IsoDateTime(std::string_view s, double& out) {
    int y, m, d;
    if (s.size() < 10 || s[4] != '-' || s[7] != '-' || !Digits(s, 0, 4, y) || !Digits(s, 5, 2, m) ||
        !Digits(s, 8, 2, d) || !TryEncodeDate(y, m, d, out))
        return false;
    if (s.size() == 10) return true;
    if (s[10] != ' ' && s[10] != 'T') return false;
    int hh, nn, ss = 0, ms = 0;
    std::string_view t = s.substr(11);
    if (t.size() < 5 || t[2] != ':' || !Digits(t, 0, 2, hh) || !Digits(t, 3, 2, nn)) return false;
    if (t.size() > 5) {
        if (t.size() < 8 || t[5] != ':' || !Digits(t, 6, 2, ss)) return false;
        if (t.size() > 8) {
            if (t[8] != '.' || t.size() < 10 || t.size() > 12) return false;
            int frac;
            if (!Digits(t, 9, t.size() - 9, frac)) return false;
            for (size_t k = t.size() - 9; k < 3; ++k)
                frac *= 10;
            ms = frac;
        }
    }
    double time;
    if (!TryEncodeTime(hh, nn, ss, ms, time)) return false;
    out += time;
    return true;
}
} // namespace

bool ValueToInt64(const TValue& v, int64_t& out) {
    switch (v.Kind) {
    case TValueKind::Integer:
        out = v.Int;
        return true;
    case TValueKind::Boolean:
        out = v.Bool ? 1 : 0;
        return true;
    case TValueKind::Float:
        if (!std::isfinite(v.Float) || v.Float != std::floor(v.Float) ||
            std::fabs(v.Float) > 9.2e18)
            return false;
        out = static_cast<int64_t>(v.Float);
        return true;
    case TValueKind::Text: {
        std::string_view t = Trim(v.Text);
        if (TryStrToInt64(t, out)) return true;
        double d;
        if (!ValueToDouble(v, d) || d != std::floor(d) || std::fabs(d) > 9.2e18) return false;
        out = static_cast<int64_t>(d);
        return true;
    }
    default:
        return false;
    }
}

bool ValueToDouble(const TValue& v, double& out) {
    switch (v.Kind) {
    case TValueKind::Integer:
        out = static_cast<double>(v.Int);
        return true;
    case TValueKind::Boolean:
        out = v.Bool ? 1 : 0;
        return true;
    case TValueKind::Float:
    case TValueKind::DateTime:
        out = v.Float;
        return std::isfinite(out);
    case TValueKind::Text: {
        std::string_view t = Trim(v.Text);
        if (t.empty()) return false;
        auto r = std::from_chars(t.data(), t.data() + t.size(), out);
        if (r.ec == std::errc() && r.ptr == t.data() + t.size()) return std::isfinite(out);
        return TryStrToFloat(t, out) && std::isfinite(out);
    }
    default:
        return false;
    }
}

bool ValueToDateTime(const TValue& v, double& out) {
    switch (v.Kind) {
    case TValueKind::DateTime:
    case TValueKind::Float:
        out = v.Float;
        return std::isfinite(out);
    case TValueKind::Integer:
        out = static_cast<double>(v.Int);
        return true;
    case TValueKind::Text: {
        std::string_view t = Trim(v.Text);
        return IsoDateTime(t, out) || TryStrToDateTime(t, out) || TryStrToDate(t, out) ||
               TryStrToTime(t, out) || TryStrToDateTime(t, out, Classic());
    }
    default:
        return false;
    }
}

bool ValueToBool(const TValue& v, bool& out) {
    switch (v.Kind) {
    case TValueKind::Boolean:
        out = v.Bool;
        return true;
    case TValueKind::Integer:
        if (v.Int != 0 && v.Int != 1) return false;
        out = v.Int == 1;
        return true;
    case TValueKind::Text: {
        std::string_view t = Trim(v.Text);
        for (const char* yes : {"true", "t", "yes", "y", "1"})
            if (SameText(t, yes)) return out = true;
        for (const char* no : {"false", "f", "no", "n", "0"})
            if (SameText(t, no)) {
                out = false;
                return true;
            }
        return false;
    }
    default:
        return false;
    }
}

void AppendShortestDouble(std::string& out, double v) {
    char buf[64];
    if (v == 0) v = 0; // no "-0"
    const double a = std::fabs(v);
    auto r = a == 0 || (a >= 1e-7 && a < 1e16)
                 ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed)
                 : std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void ValueToText(const TValue& v, std::string& out) {
    out.clear();
    switch (v.Kind) {
    case TValueKind::Null:
        break;
    case TValueKind::Integer:
        AppendInt(out, v.Int);
        break;
    case TValueKind::Float:
        AppendShortestDouble(out, v.Float);
        break;
    case TValueKind::Boolean:
        out = v.Bool ? "True" : "False";
        break;
    case TValueKind::DateTime: {
        double whole = std::floor(v.Float);
        bool hasTime = v.Float != whole;
        out = FormatDateTime(hasTime ? "yyyy-mm-dd hh:nn:ss" : "yyyy-mm-dd", v.Float, Classic());
        break;
    }
    case TValueKind::Text:
    case TValueKind::Bytes:
        out = v.Text;
        break;
    }
}

std::string DescribeValue(const TValue& v) {
    switch (v.Kind) {
    case TValueKind::Null:
        return "an empty value";
    case TValueKind::Text: {
        std::string t = v.Text.size() > 40 ? v.Text.substr(0, 40) + "..." : v.Text;
        return "'" + t + "'";
    }
    case TValueKind::Bytes:
        return std::to_string(v.Text.size()) + " bytes of binary data";
    case TValueKind::Boolean:
        return v.Bool ? "True" : "False";
    case TValueKind::DateTime:
        return "a date";
    default: {
        std::string s;
        ValueToText(v, s);
        return s;
    }
    }
}

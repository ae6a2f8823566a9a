// Calendar arithmetic, date/time formatting and date/time parsing.
//
// Day numbers count days since 1899-12-30 (day 0) with the time of day as the
// fraction. For negative day numbers the integral part is the day and the
// absolute value of the fraction the time (-1.25 is 1899-12-29 06:00), as in
// Delphi. The calendar is the proleptic Gregorian one.

#include "data/locale/DateTimeFormat.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int64_t MsPerDay = 86400000;
// Days from 1970-01-01 back to 1899-12-30.
constexpr int64_t UnixToDayZero = 25569;
// Beyond this many days (about 27 million years) a value is not a date.
constexpr double MaxDays = 1e10;

constexpr const char* ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* LongDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};
constexpr const char* ShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* LongMonthNames[12] = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};

bool IsLeapYear(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int64_t y, int m) {
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

// Years 1..9999, as the calendar here goes.
bool DateExists(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

// A value rounded once to the millisecond, then split into the day and the
// millisecond of that day. A time that rounds to 24:00 becomes 00:00 of the
// next day, so the date and the time parts always agree.
struct TSplit {
    bool Ok = false;
    int64_t Day = 0; // chronological day number: 0 = 1899-12-30, -1 = 1899-12-29
    int64_t Ms = 0;  // 0 .. MsPerDay-1
};

TSplit Split(double dt) {
    TSplit r;
    if (!std::isfinite(dt) || std::fabs(dt) > MaxDays) return r;
    const double whole = std::trunc(dt);
    const double frac = std::fabs(dt - whole); // exact
    r.Day = static_cast<int64_t>(whole);
    r.Ms = std::llround(frac * static_cast<double>(MsPerDay));
    if (r.Ms >= MsPerDay) {
        r.Ms -= MsPerDay;
        ++r.Day; // the next day in time, whatever the sign of the value
    }
    r.Ok = true;
    return r;
}

struct TParts {
    int64_t Year = 0;
    int Month = 0, Day = 0, DayOfWeek = 0; // DayOfWeek 1 = Sunday
    int Hour = 0, Min = 0, Sec = 0, MSec = 0;
};

TParts PartsOf(const TSplit& s) {
    TParts p;
    if (!s.Ok) return p;
    CivilFromDays(s.Day - UnixToDayZero, p.Year, p.Month, p.Day);
    // Day 0 (1899-12-30) was a Saturday.
    const int64_t w = ((s.Day % 7) + 7) % 7; // 0 = Saturday, 1 = Sunday ..
    p.DayOfWeek = w == 0 ? 7 : static_cast<int>(w);
    int64_t ms = s.Ms;
    p.Hour = static_cast<int>(ms / 3600000);
    ms %= 3600000;
    p.Min = static_cast<int>(ms / 60000);
    ms %= 60000;
    p.Sec = static_cast<int>(ms / 1000);
    p.MSec = static_cast<int>(ms % 1000);
    return p;
}

void AppendNumber(std::string& out, int64_t v, int minDigits) {
    if (v < 0) {
        out += '-';
        v = -v;
    }
    char buf[24];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (int i = n; i < minDigits; ++i)
        out += '0';
    while (n > 0)
        out += buf[--n];
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view s, size_t pos, std::string_view word) {
    if (word.empty() || s.size() - pos < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (Lower(s[pos + i]) != Lower(word[i])) return false;
    return true;
}

// The 12-hour clock is used when the pattern holds an am/pm, a/p or ampm token.
bool HasAmPm(std::string_view p) {
    for (size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == '"' || c == '\'') {
            const size_t close = p.find(c, i + 1);
            if (close == std::string_view::npos) return false;
            i = close;
        } else if (StartsWithNoCase(p, i, "am/pm") || StartsWithNoCase(p, i, "a/p") ||
                   StartsWithNoCase(p, i, "ampm")) {
            return true;
        }
    }
    return false;
}

constexpr int MaxPatternDepth = 4; // 'c' and 'ddddd' expand other patterns

void FormatParts(std::string& out, std::string_view p, const TParts& t, int64_t msOfDay,
                 const TFormatSettings& fs, int depth) {
    if (depth > MaxPatternDepth) return;
    const bool twelveHour = HasAmPm(p);
    bool afterHour = false; // for "m directly after h means minutes"
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
            out.append(p.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? p.size() : close + 1;
            continue;
        }
        case 'a':
            if (StartsWithNoCase(p, i, "am/pm") || StartsWithNoCase(p, i, "ampm")) {
                out += t.Hour < 12 ? fs.TimeAMString : fs.TimePMString;
                i += StartsWithNoCase(p, i, "ampm") ? 4 : 5;
                afterHour = false;
                continue;
            }
            if (StartsWithNoCase(p, i, "a/p")) {
                // a/p keeps the case the pattern writes it in.
                const bool pm = t.Hour >= 12;
                out += pm ? (p[i + 2] == 'P' ? 'P' : 'p') : (p[i] == 'A' ? 'A' : 'a');
                i += 3;
                afterHour = false;
                continue;
            }
            out += c;
            ++i;
            continue;
        case 'c':
            FormatParts(out, fs.ShortDateFormat, t, msOfDay, fs, depth + 1);
            if (msOfDay != 0) {
                out += ' ';
                FormatParts(out, fs.LongTimeFormat, t, msOfDay, fs, depth + 1);
            }
            i += 1;
            afterHour = false;
            continue;
        case 'd':
            if (run == 1)
                AppendNumber(out, t.Day, 1);
            else if (run == 2)
                AppendNumber(out, t.Day, 2);
            else if (run == 3)
                out += t.DayOfWeek ? ShortDayNames[t.DayOfWeek - 1] : "";
            else if (run == 4)
                out += t.DayOfWeek ? LongDayNames[t.DayOfWeek - 1] : "";
            else
                FormatParts(out, fs.ShortDateFormat, t, msOfDay, fs, depth + 1);
            afterHour = false;
            break;
        case 'm':
            if (afterHour && run <= 2) {
                AppendNumber(out, t.Min, static_cast<int>(run));
            } else if (run <= 2) {
                AppendNumber(out, t.Month, static_cast<int>(run));
            } else if (t.Month >= 1 && t.Month <= 12) {
                out += run == 3 ? ShortMonthNames[t.Month - 1] : LongMonthNames[t.Month - 1];
            }
            afterHour = false;
            break;
        case 'y':
            if (run <= 2)
                AppendNumber(out, ((t.Year % 100) + 100) % 100, 2);
            else
                AppendNumber(out, t.Year, 4);
            afterHour = false;
            break;
        case 'h': {
            int h = t.Hour;
            if (twelveHour) {
                h %= 12;
                if (h == 0) h = 12;
            }
            AppendNumber(out, h, run >= 2 ? 2 : 1);
            afterHour = true;
            break;
        }
        case 'n':
            AppendNumber(out, t.Min, run >= 2 ? 2 : 1);
            afterHour = false;
            break;
        case 's':
            AppendNumber(out, t.Sec, run >= 2 ? 2 : 1);
            afterHour = false;
            break;
        case 'z':
            AppendNumber(out, t.MSec, run >= 3 ? 3 : 1);
            afterHour = false;
            break;
        case '/':
            out.append(run, fs.DateSeparator);
            break;
        case ':':
            out.append(run, fs.TimeSeparator);
            break;
        default:
            out.append(p.substr(i, run));
            break;
        }
        i += run;
    }
}

// --- parsing ---------------------------------------------------------------

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads 1..maxDigits digits at pos.
bool ReadDigits(std::string_view s, size_t& pos, int maxDigits, int& value, int& count) {
    value = 0;
    count = 0;
    while (pos < s.size() && IsDigit(s[pos])) {
        if (count == maxDigits) return false;
        value = value * 10 + (s[pos] - '0');
        ++count;
        ++pos;
    }
    return count > 0;
}

// The order of day, month and year in ShortDateFormat, as indexes: order[0]
// is the component that comes first ('d', 'm' or 'y').
void DateOrder(std::string_view fmt, char order[3]) {
    int n = 0;
    bool seen[3] = {false, false, false}; // d m y
    for (size_t i = 0; i < fmt.size() && n < 3; ++i) {
        const char c = Lower(fmt[i]);
        if (c == '"' || c == '\'') {
            const size_t close = fmt.find(fmt[i], i + 1);
            if (close == std::string_view::npos) break;
            i = close;
            continue;
        }
        const int k = c == 'd' ? 0 : c == 'm' ? 1 : c == 'y' ? 2 : -1;
        if (k >= 0 && !seen[k]) {
            seen[k] = true;
            order[n++] = c;
        }
    }
    if (n != 3) {
        order[0] = 'm';
        order[1] = 'd';
        order[2] = 'y';
    }
}

bool IsDateSeparator(char c, const TFormatSettings& fs) {
    return c == fs.DateSeparator || c == '-' || c == '.' || c == '/';
}

bool ParseDate(std::string_view s, const TFormatSettings& fs, double& out) {
    s = Trim(s);
    int value[3], digits[3];
    size_t pos = 0;
    char sep = 0;
    for (int k = 0; k < 3; ++k) {
        if (!ReadDigits(s, pos, 4, value[k], digits[k])) return false;
        if (k == 2) break;
        if (pos >= s.size() || !IsDateSeparator(s[pos], fs)) return false;
        if (k == 1 && s[pos] != sep) return false; // one separator throughout
        sep = s[pos++];
    }
    if (pos != s.size()) return false;

    char order[3];
    DateOrder(fs.ShortDateFormat, order);
    if (digits[0] > 2) { // a leading year of 3 or 4 digits: year-month-day
        order[0] = 'y';
        order[1] = 'm';
        order[2] = 'd';
    }
    int year = 0, month = 0, day = 0;
    for (int k = 0; k < 3; ++k) {
        if (order[k] == 'y') {
            year = value[k];
            if (digits[k] <= 2) year += year < 50 ? 2000 : 1900;
        } else {
            if (digits[k] > 2) return false;
            (order[k] == 'm' ? month : day) = value[k];
        }
    }
    return TryEncodeDate(year, month, day, out);
}

// Matches an AM/PM designator at the end of s; sets pm.
bool MatchDesignator(std::string_view rest, const TFormatSettings& fs, bool& pm) {
    const std::string_view am[] = {fs.TimeAMString, "AM"};
    const std::string_view pmw[] = {fs.TimePMString, "PM"};
    for (auto w : am)
        if (!w.empty() && rest.size() == w.size() && StartsWithNoCase(rest, 0, w)) {
            pm = false;
            return true;
        }
    for (auto w : pmw)
        if (!w.empty() && rest.size() == w.size() && StartsWithNoCase(rest, 0, w)) {
            pm = true;
            return true;
        }
    return false;
}

bool IsTimeSeparator(char c, const TFormatSettings& fs) {
    return c == fs.TimeSeparator || c == ':';
}

bool ParseTime(std::string_view s, const TFormatSettings& fs, double& out) {
    s = Trim(s);
    size_t pos = 0;
    int h = 0, m = 0, sec = 0, digits = 0;
    if (!ReadDigits(s, pos, 2, h, digits)) return false;
    if (pos >= s.size() || !IsTimeSeparator(s[pos], fs)) return false;
    ++pos;
    if (!ReadDigits(s, pos, 2, m, digits)) return false;
    int64_t fracMs = 0;
    if (pos < s.size() && IsTimeSeparator(s[pos], fs) && pos + 1 < s.size() &&
        IsDigit(s[pos + 1])) {
        ++pos;
        if (!ReadDigits(s, pos, 2, sec, digits)) return false;
        if (pos < s.size() && (s[pos] == '.' || s[pos] == fs.DecimalSeparator)) {
            // Fraction of a second, rounded to the millisecond.
            ++pos;
            int64_t num = 0, den = 1;
            int n = 0;
            while (pos < s.size() && IsDigit(s[pos])) {
                if (n < 9) {
                    num = num * 10 + (s[pos] - '0');
                    den *= 10;
                }
                ++n;
                ++pos;
            }
            if (n == 0) return false;
            fracMs = (num * 1000 * 2 + den) / (den * 2);
        }
    }
    while (pos < s.size() && IsBlank(s[pos]))
        ++pos;
    if (pos < s.size()) {
        bool pm = false;
        if (!MatchDesignator(s.substr(pos), fs, pm)) return false;
        if (h < 1 || h > 12) return false;
        h = h % 12 + (pm ? 12 : 0);
    }
    if (h > 23 || m > 59 || sec > 59) return false;
    int64_t total = ((static_cast<int64_t>(h) * 60 + m) * 60 + sec) * 1000 + fracMs;
    if (total >= MsPerDay) total = MsPerDay - 1; // 23:59:59.9996 stays on its day
    out = static_cast<double>(total) / static_cast<double>(MsPerDay);
    return true;
}

[[noreturn]] void ThrowConvert(std::string_view s, const char* what) {
    std::string msg;
    msg.reserve(s.size() + 32);
    msg += '\'';
    msg.append(s);
    msg += "' is not a valid ";
    msg += what;
    throw EConvertError(msg);
}

} // namespace

bool TryEncodeDate(int year, int month, int day, double& out) {
    if (!DateExists(year, month, day)) return false;
    out = static_cast<double>(DaysFromCivil(year, month, day) + UnixToDayZero);
    return true;
}

double EncodeDate(int year, int month, int day) {
    double r = 0;
    if (!TryEncodeDate(year, month, day, r)) throw EConvertError("Invalid argument to date encode");
    return r;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, double& out) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 ||
        msec > 999)
        return false;
    const int64_t ms = ((static_cast<int64_t>(hour) * 60 + min) * 60 + sec) * 1000 + msec;
    out = static_cast<double>(ms) / static_cast<double>(MsPerDay);
    return true;
}

double EncodeTime(int hour, int min, int sec, int msec) {
    double r = 0;
    if (!TryEncodeTime(hour, min, sec, msec, r))
        throw EConvertError("Invalid argument to time encode");
    return r;
}

void DecodeDate(double dt, int& year, int& month, int& day) {
    const TParts p = PartsOf(Split(dt));
    year = static_cast<int>(p.Year);
    month = p.Month;
    day = p.Day;
}

void DecodeTime(double dt, int& hour, int& min, int& sec, int& msec) {
    const TParts p = PartsOf(Split(dt));
    hour = p.Hour;
    min = p.Min;
    sec = p.Sec;
    msec = p.MSec;
}

int DayOfWeek(double dt) {
    return PartsOf(Split(dt)).DayOfWeek;
}

namespace {
// A pattern of numbers and separators only (d, dd, m, mm, yy, yyyy, h, hh,
// n, nn, s, ss, / and : and other plain characters), compiled once into
// steps: a grid column formats the same pattern for every record. Anything
// else (names, am/pm, quotes, c, z) goes through FormatParts.
struct TCompiledPattern {
    enum TStep : uint8_t { Literal, Day, Month, Year2, Year4, Hour, Minute, Second };
    struct TItem {
        TStep Step;
        uint8_t Width; // minimum digits; the character for Literal
    };
    std::string Pattern;
    char DateSeparator = 0, TimeSeparator = 0;
    bool Simple = false;
    std::vector<TItem> Items;

    void Compile(std::string_view p, const TFormatSettings& fs) {
        Pattern.assign(p);
        DateSeparator = fs.DateSeparator;
        TimeSeparator = fs.TimeSeparator;
        Items.clear();
        Simple = false;
        bool afterHour = false;
        for (size_t i = 0; i < p.size();) {
            const char c = p[i];
            const char lc = Lower(c);
            size_t run = 1;
            while (i + run < p.size() && Lower(p[i + run]) == lc)
                ++run;
            const auto w = static_cast<uint8_t>(run >= 2 ? 2 : 1);
            switch (lc) {
            case 'd':
                if (run > 2) return;
                Items.push_back({Day, w});
                afterHour = false;
                break;
            case 'm':
                if (run > 2) return;
                Items.push_back({afterHour ? Minute : Month, w});
                afterHour = false;
                break;
            case 'y':
                Items.push_back({run <= 2 ? Year2 : Year4, 0});
                afterHour = false;
                break;
            case 'h':
                Items.push_back({Hour, w});
                afterHour = true;
                break;
            case 'n':
                Items.push_back({Minute, w});
                afterHour = false;
                break;
            case 's':
                Items.push_back({Second, w});
                afterHour = false;
                break;
            case '/':
            case ':':
                for (size_t k = 0; k < run; ++k)
                    Items.push_back({Literal, static_cast<uint8_t>(c == '/' ? fs.DateSeparator
                                                                            : fs.TimeSeparator)});
                break;
            case 'a':
            case 'c':
            case 'z':
            case '"':
            case '\'':
                return;
            default:
                for (size_t k = 0; k < run; ++k)
                    Items.push_back({Literal, static_cast<uint8_t>(p[i + k])});
                break;
            }
            i += run;
        }
        Simple = true;
    }

    // Asked for every date shown: patterns are a few characters, compared
    // in place rather than through a call.
    bool Matches(std::string_view p, const TFormatSettings& fs) const {
        if (p.size() != Pattern.size() || fs.DateSeparator != DateSeparator ||
            fs.TimeSeparator != TimeSeparator)
            return false;
        for (size_t i = 0; i < p.size(); ++i)
            if (p[i] != Pattern[i]) return false;
        return true;
    }
};

char* PutNumber(char* at, int64_t v, int minDigits) {
    char buf[24];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (int i = n; i < minDigits; ++i)
        *at++ = '0';
    while (n > 0)
        *at++ = buf[--n];
    return at;
}

// The parts of a date in years 1..9999, two digits at a time: a column of
// dates spends most of its time here.
constexpr char DigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536"
    "37383940414243444546474849505152535455565758596061626364656667686970717273"
    "7475767778798081828384858687888990919293949596979899";
[[gnu::always_inline]] inline char* PutPart(char* at, int64_t v, int minDigits) {
    if (v < 0 || v > 9999 || minDigits > 4) return PutNumber(at, v, minDigits);
    const auto u = static_cast<unsigned>(v);
    if (u >= 1000 || minDigits == 4) {
        std::memcpy(at, DigitPairs + 2 * (u / 100), 2);
        std::memcpy(at + 2, DigitPairs + 2 * (u % 100), 2);
        return at + 4;
    }
    if (u >= 100 || minDigits == 3) {
        *at = static_cast<char>('0' + u / 100);
        std::memcpy(at + 1, DigitPairs + 2 * (u % 100), 2);
        return at + 3;
    }
    if (u >= 10 || minDigits == 2) {
        std::memcpy(at, DigitPairs + 2 * u, 2);
        return at + 2;
    }
    *at = static_cast<char>('0' + u);
    return at + 1;
}

// The pattern compiled for this thread; null when it is not a plain
// numeric one.
const TCompiledPattern* SimplePattern(std::string_view pattern, const TFormatSettings& fs) {
    thread_local TCompiledPattern compiled;
    if (!compiled.Matches(pattern, fs)) compiled.Compile(pattern, fs);
    return compiled.Simple && compiled.Items.size() <= 32 ? &compiled : nullptr;
}

// Years 1..9999 only, so every number fits its few digits; 32 steps at
// most, four bytes each. The steps as bytes, two a step (a TItem's), so
// that TDatePlan can keep them too.
static_assert(sizeof(TCompiledPattern::TItem) == 2);
char* PutCompiled(char* at, const uint8_t* steps, size_t count, int64_t year, int month, int day,
                  int hour, int minute, int second) {
    for (size_t i = 0; i < count; ++i) {
        const struct { uint8_t Step, Width; } item = {steps[2 * i], steps[2 * i + 1]};
        switch (item.Step) {
        case TCompiledPattern::Literal:
            *at++ = static_cast<char>(item.Width);
            break;
        case TCompiledPattern::Day:
            at = PutPart(at, day, item.Width);
            break;
        case TCompiledPattern::Month:
            at = PutPart(at, month, item.Width);
            break;
        case TCompiledPattern::Year2:
            at = PutPart(at, year % 100, 2);
            break;
        case TCompiledPattern::Year4:
            at = PutPart(at, year, 4);
            break;
        case TCompiledPattern::Hour:
            at = PutPart(at, hour, item.Width);
            break;
        case TCompiledPattern::Minute:
            at = PutPart(at, minute, item.Width);
            break;
        case TCompiledPattern::Second:
            at = PutPart(at, second, item.Width);
            break;
        }
    }
    return at;
}

void AppendCompiled(std::string& out, const TCompiledPattern& compiled, int64_t year, int month,
                    int day, int hour, int minute, int second) {
    char text[32 * 4];
    const char* end = PutCompiled(text, reinterpret_cast<const uint8_t*>(compiled.Items.data()),
                                  compiled.Items.size(), year, month, day, hour, minute, second);
    out.append(text, static_cast<size_t>(end - text));
}
} // namespace

TDatePlan::TDatePlan(std::string_view pattern, const TFormatSettings& fs) {
    TCompiledPattern compiled;
    compiled.Compile(pattern, fs);
    // What SimplePattern takes, AppendFormatDate shows so.
    if (!compiled.Simple || compiled.Items.empty() || compiled.Items.size() > MostSteps) return;
    for (const TCompiledPattern::TItem& item : compiled.Items) {
        fSteps[fCount][0] = item.Step;
        fSteps[fCount][1] = item.Width;
        ++fCount;
    }
}

bool TDatePlan::Append(std::string& out, int year, int month, int day) const {
    if (!DateExists(year, month, day)) return false;
    char text[MostSteps * 4];
    const char* end = PutCompiled(text, &fSteps[0][0], fCount, year, month, day, 0, 0, 0);
    out.append(text, static_cast<size_t>(end - text));
    return true;
}

void AppendFormatDateTime(std::string& out, std::string_view pattern, double dt,
                          const TFormatSettings& fs) {
    const TSplit s = Split(dt);
    if (!s.Ok) return; // NaN, infinity or far outside the calendar: nothing to show
    const TCompiledPattern* compiled = SimplePattern(pattern, fs);
    if (!compiled || s.Day < -693593 || s.Day > 2958465) {
        FormatParts(out, pattern, PartsOf(s), s.Ms, fs, 0);
        return;
    }
    int64_t year;
    int month, day;
    CivilFromDays(s.Day - UnixToDayZero, year, month, day);
    AppendCompiled(out, *compiled, year, month, day, static_cast<int>(s.Ms / 3600000),
                   static_cast<int>(s.Ms / 60000 % 60), static_cast<int>(s.Ms / 1000 % 60));
}

bool AppendFormatDate(std::string& out, std::string_view pattern, int year, int month, int day,
                      const TFormatSettings& fs) {
    if (!DateExists(year, month, day)) return false;
    if (const TCompiledPattern* compiled = SimplePattern(pattern, fs))
        AppendCompiled(out, *compiled, year, month, day, 0, 0, 0);
    else
        AppendFormatDateTime(out, pattern, EncodeDate(year, month, day), fs);
    return true;
}

std::string FormatDateTime(std::string_view pattern, double dt, const TFormatSettings& fs) {
    std::string r;
    AppendFormatDateTime(r, pattern, dt, fs);
    return r;
}

std::string DateToStr(double dt, const TFormatSettings& fs) {
    return FormatDateTime(fs.ShortDateFormat, dt, fs);
}

std::string TimeToStr(double dt, const TFormatSettings& fs) {
    return FormatDateTime(fs.LongTimeFormat, dt, fs);
}

std::string DateTimeToStr(double dt, const TFormatSettings& fs) {
    return FormatDateTime("c", dt, fs);
}

bool TryStrToDate(std::string_view s, double& out, const TFormatSettings& fs) {
    return ParseDate(s, fs, out);
}

bool TryStrToTime(std::string_view s, double& out, const TFormatSettings& fs) {
    return ParseTime(s, fs, out);
}

bool TryStrToDateTime(std::string_view s, double& out, const TFormatSettings& fs) {
    s = Trim(s);
    size_t cut = 0;
    while (cut < s.size() && !IsBlank(s[cut]) && s[cut] != 'T' && s[cut] != 't')
        ++cut;
    double date = 0;
    if (!ParseDate(s.substr(0, cut), fs, date)) return false;
    if (cut == s.size()) {
        out = date;
        return true;
    }
    double time = 0;
    if (!ParseTime(s.substr(cut + 1), fs, time)) return false;
    out =
        date < 0 ? date - time : date + time; // before 1899-12-30 the fraction still counts forward
    return true;
}

double StrToDate(std::string_view s, const TFormatSettings& fs) {
    double r = 0;
    if (!TryStrToDate(s, r, fs)) ThrowConvert(s, "date");
    return r;
}

double StrToTime(std::string_view s, const TFormatSettings& fs) {
    double r = 0;
    if (!TryStrToTime(s, r, fs)) ThrowConvert(s, "time");
    return r;
}

double StrToDateTime(std::string_view s, const TFormatSettings& fs) {
    double r = 0;
    if (!TryStrToDateTime(s, r, fs)) ThrowConvert(s, "date and time");
    return r;
}

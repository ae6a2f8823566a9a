// Tests of data/locale/FormatSettings.h.
//
// Decisions these tests pin down:
// - Classic() is the default-constructed TFormatSettings of the header:
//   ShortDateFormat "m/d/yyyy" (no zero padding), LongTimeFormat "h:nn:ss",
//   '.' and ',' separators, "$" with CurrencyFormat 0 / NegCurrFormat 1.
//   FromSystemLocale gives exactly these for the C/POSIX locale (and C.UTF-8),
//   and for a locale that is not installed.
// - Other locales translate strftime formats field by field, keeping the
//   padding strftime uses (%d -> dd, %m -> mm, %H -> hh, %I -> h) and forcing
//   four-digit years (%y -> yyyy).
// - TryStrToFloat accepts the locale's DecimalSeparator only: with ',' as the
//   separator "1.5" is not a number, and no thousands separators are read.
//   Underflow ("1e-400") reads as zero, overflow ("1e400") is not a number.
// - TryStrToDate also reads year-month-day when the first field has 3 or 4
//   digits, whatever ShortDateFormat's order.
// - Fixed-decimal formats (currency, fixed, FormatFloat) round the shortest
//   decimal form of the double half away from zero (1.005 -> 1.01).
// - Only tests in the FromSystemLocale group read the environment; every
//   other test sets the settings it uses, so installed locales do not matter.

#include "data/locale/FormatSettings.h"
#include "data/base/DatabaseError.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/NumberFormat.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// German-like settings, built by hand so that no installed locale is needed.
TFormatSettings German() {
    TFormatSettings fs;
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = '.';
    fs.DateSeparator = '.';
    fs.TimeSeparator = ':';
    fs.ShortDateFormat = "dd/mm/yyyy";
    fs.LongTimeFormat = "hh:nn:ss";
    fs.CurrencyString = "\xE2\x82\xAC"; // €
    fs.CurrencyFormat = 3;              // 1 €
    fs.NegCurrFormat = 8;               // -1 €
    fs.CurrencyDecimals = 2;
    return fs;
}

void ExpectClassic(const TFormatSettings& fs) {
    EXPECT_EQ(fs.DecimalSeparator, '.');
    EXPECT_EQ(fs.ThousandSeparator, ',');
    EXPECT_EQ(fs.DateSeparator, '/');
    EXPECT_EQ(fs.TimeSeparator, ':');
    EXPECT_EQ(fs.ShortDateFormat, "m/d/yyyy");
    EXPECT_EQ(fs.LongTimeFormat, "h:nn:ss");
    EXPECT_EQ(fs.TimeAMString, "AM");
    EXPECT_EQ(fs.TimePMString, "PM");
    EXPECT_EQ(fs.CurrencyString, "$");
    EXPECT_EQ(fs.CurrencyFormat, 0);
    EXPECT_EQ(fs.NegCurrFormat, 1);
    EXPECT_EQ(fs.CurrencyDecimals, 2);
}

// Sets locale environment variables for one test and restores them after.
class TEnvGuard {
public:
    TEnvGuard() {
        for (const char* name : Names) {
            const char* v = std::getenv(name);
            fSaved.push_back(v ? std::optional<std::string>(v) : std::nullopt);
        }
    }
    ~TEnvGuard() {
        for (size_t i = 0; i < std::size(Names); ++i) {
            if (fSaved[i])
                setenv(Names[i], fSaved[i]->c_str(), 1);
            else
                unsetenv(Names[i]);
        }
    }
    TEnvGuard(const TEnvGuard&) = delete;
    TEnvGuard& operator=(const TEnvGuard&) = delete;

    // Makes `locale` the one the environment names, for every category.
    void Use(const char* locale) {
        for (const char* name : Names)
            unsetenv(name);
        setenv("LANG", locale, 1);
        setenv("LC_ALL", locale, 1);
    }

private:
    static constexpr const char* Names[] = {"LC_ALL",      "LANG",     "LC_NUMERIC", "LC_TIME",
                                            "LC_MONETARY", "LC_CTYPE", "LANGUAGE"};
    std::vector<std::optional<std::string>> fSaved;
};

// Every test starts from the classic settings and leaves the process-wide
// object as it found it.
class FormatSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fSaved = FormatSettings();
        SetFormatSettings(TFormatSettings::Classic());
    }
    void TearDown() override { SetFormatSettings(fSaved); }

    static double DT(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
        const double date = EncodeDate(y, mo, d);
        const double time = EncodeTime(h, mi, s, ms);
        return date < 0 ? date - time : date + time;
    }

private:
    TFormatSettings fSaved;
};

std::string Float(double v, int precision = 15, const TFormatSettings& fs = FormatSettings()) {
    std::string s;
    AppendFloat(s, v, precision, fs);
    return s;
}

std::string Currency(double v, const TFormatSettings& fs = FormatSettings()) {
    std::string s;
    AppendCurrency(s, v, fs);
    return s;
}

std::string Fixed(double v, int decimals, const TFormatSettings& fs = FormatSettings()) {
    std::string s;
    AppendFixed(s, v, decimals, fs);
    return s;
}

std::string Int(int64_t v) {
    std::string s;
    AppendInt(s, v);
    return s;
}

} // namespace

// --- settings -------------------------------------------------------------

TEST_F(FormatSettingsTest, ClassicIsTheHeaderDefault) {
    ExpectClassic(TFormatSettings::Classic());
    ExpectClassic(TFormatSettings{});
}

TEST_F(FormatSettingsTest, FromSystemLocaleInTheCLocaleIsClassic) {
    TEnvGuard env;
    // A query only; the implementation must never change it.
    const std::string processLocale = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"C", "POSIX"}) {
        SCOPED_TRACE(name);
        env.Use(name);
        ExpectClassic(TFormatSettings::FromSystemLocale());
    }
    // C.UTF-8 is built into glibc 2.35 and later; check it where it exists.
    if (locale_t l = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr)) {
        freelocale(l);
        env.Use("C.UTF-8");
        ExpectClassic(TFormatSettings::FromSystemLocale());
    }
    EXPECT_EQ(processLocale, std::setlocale(LC_ALL, nullptr));
}

TEST_F(FormatSettingsTest, FromSystemLocaleWithAnUnknownLocaleIsClassic) {
    TEnvGuard env;
    env.Use("xx_YY.UTF-8");
    ExpectClassic(TFormatSettings::FromSystemLocale());
}

TEST_F(FormatSettingsTest, SetFormatSettingsReplacesTheProcessWideObject) {
    SetFormatSettings(German());
    EXPECT_EQ(FormatSettings().DecimalSeparator, ',');
    EXPECT_EQ(FloatToStr(1.5), "1,5");
    EXPECT_EQ(DateToStr(EncodeDate(2024, 3, 5)), "05.03.2024");
    SetFormatSettings(TFormatSettings::Classic());
    EXPECT_EQ(FloatToStr(1.5), "1.5");
    EXPECT_EQ(&FormatSettings(), &FormatSettings());
}

// The hook sees the settings still in force: work formatting with them
// stops before they go.
namespace {
char DecimalsSeenByHook = 0;
int HookCalls = 0;
void NoteSettings() {
    DecimalsSeenByHook = FormatSettings().DecimalSeparator;
    ++HookCalls;
}
} // namespace

TEST_F(FormatSettingsTest, TheHookRunsBeforeTheSettingsChange) {
    const TFormatSettingsHook previous = SetBeforeFormatSettingsChange(&NoteSettings);
    HookCalls = 0;
    SetFormatSettings(German());
    EXPECT_EQ(HookCalls, 1);
    EXPECT_EQ(DecimalsSeenByHook, '.');
    SetFormatSettings(TFormatSettings::Classic());
    EXPECT_EQ(HookCalls, 2);
    EXPECT_EQ(DecimalsSeenByHook, ',');
    EXPECT_EQ(SetBeforeFormatSettingsChange(previous), &NoteSettings);
    SetFormatSettings(German());
    SetFormatSettings(TFormatSettings::Classic());
    EXPECT_EQ(HookCalls, 2);
}

TEST_F(FormatSettingsTest, TranslatesStrftimeDateFormats) {
    struct TCase {
        const char* In;
        const char* Out;
        char Sep;
    };
    const TCase cases[] = {
        {"%m/%d/%y", "mm/dd/yyyy", '/'}, // C: the century is forced in
        {"%d.%m.%Y", "dd/mm/yyyy", '.'}, // de_DE
        {"%d/%m/%Y", "dd/mm/yyyy", '/'}, // en_GB
        {"%Y-%m-%d", "yyyy/mm/dd", '-'}, // sv_SE
        {"%D", "mm/dd/yyyy", '/'},
        {"%F", "yyyy/mm/dd", '-'},
        {"%x", "mm/dd/yyyy", '/'},
        {"%e.%-m.%y", "d/m/yyyy", '.'},
        {"%d. %m. %Y", "dd/ mm/ yyyy", '.'},
        {"%Ey-%Om-%Od", "yyyy/mm/dd", '-'},
        {"%C%y-%m-%d", "yyyy/mm/dd", '-'},
        {"%Y\xE5\xB9\xB4%m\xE6\x9C\x88%d\xE6\x97\xA5", // ja_JP: 年 月 日
         "yyyy\xE5\xB9\xB4mm\xE6\x9C\x88"
         "dd\xE6\x97\xA5",
         '/'},
        {"%a %d %b %Y", "ddd dd mmm yyyy", '/'},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.In);
        char sep = 0;
        EXPECT_EQ(TranslateStrftimeFormat(c.In, false, sep), c.Out);
        EXPECT_EQ(sep, c.Sep);
    }
}

TEST_F(FormatSettingsTest, TranslatesStrftimeTimeFormats) {
    struct TCase {
        const char* In;
        const char* Out;
        char Sep;
    };
    const TCase cases[] = {
        {"%H:%M:%S", "hh:nn:ss", ':'},
        {"%T", "hh:nn:ss", ':'},
        {"%X", "hh:nn:ss", ':'},
        {"%r", "h:nn:ss am/pm", ':'},
        {"%I:%M:%S %p", "h:nn:ss am/pm", ':'},
        {"%l:%M:%S %P", "h:nn:ss am/pm", ':'},
        {"%R", "hh:nn", ':'},
        {"%H.%M.%S", "hh:nn:ss", '.'}, // fi_FI
        {"%H:%M:%S %Z", "hh:nn:ss", ':'},
        {"%k:%M", "h:nn", ':'},
        {"%Hh%M", "hh\"h\"nn", ':'}, // a letter in literal text is quoted
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.In);
        char sep = 0;
        EXPECT_EQ(TranslateStrftimeFormat(c.In, true, sep), c.Out);
        EXPECT_EQ(sep, c.Sep);
    }
    // The translated pattern shows what strftime would.
    char sep = 0;
    TFormatSettings fs;
    EXPECT_EQ(
        FormatDateTime(TranslateStrftimeFormat("%Hh%M", true, sep), EncodeTime(9, 5, 0, 0), fs),
        "09h05");
    fs.TimeSeparator = '.';
    EXPECT_EQ(
        FormatDateTime(TranslateStrftimeFormat("%H.%M.%S", true, sep), EncodeTime(9, 5, 7, 0), fs),
        "09.05.07");
}

// --- calendar -------------------------------------------------------------

TEST_F(FormatSettingsTest, EncodeDateCountsFrom18991230) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1899, 12, 31), 1.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
    EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
}

TEST_F(FormatSettingsTest, EncodeDateValidates) {
    double d = 0;
    EXPECT_TRUE(TryEncodeDate(2024, 2, 29, d));
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
    EXPECT_FALSE(TryEncodeDate(2023, 2, 29, d));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d));
    EXPECT_FALSE(TryEncodeDate(2024, 4, 31, d));
    EXPECT_FALSE(TryEncodeDate(2024, 13, 1, d));
    EXPECT_FALSE(TryEncodeDate(2024, 0, 1, d));
    EXPECT_FALSE(TryEncodeDate(2024, 1, 0, d));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
    EXPECT_FALSE(TryEncodeDate(10000, 1, 1, d));
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
}

TEST_F(FormatSettingsTest, EveryDayRoundTrips) {
    int previousDay = 0;
    for (int n = -693593; n <= 2958465; ++n) {
        int y = 0, m = 0, d = 0;
        DecodeDate(n, y, m, d);
        double back = 0;
        ASSERT_TRUE(TryEncodeDate(y, m, d, back)) << n;
        ASSERT_EQ(back, n);
        if (n > -693593) {
            ASSERT_TRUE(d == previousDay + 1 || d == 1) << n;
        }
        previousDay = d;
    }
}

TEST_F(FormatSettingsTest, DayOfWeekIsOneForSunday) {
    EXPECT_EQ(DayOfWeek(0), 7);                             // 1899-12-30, Saturday
    EXPECT_EQ(DayOfWeek(1), 1);                             // Sunday
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 1)), 2);        // Monday
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 29)), 6);      // Friday
    EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);           // Monday, proleptic
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 5) + 0.75), 3); // Tuesday
}

TEST_F(FormatSettingsTest, NegativeDayNumbersKeepTheTimeAsAPositiveFraction) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(-1.25, y, mo, d);
    DecodeTime(-1.25, h, mi, s, ms);
    EXPECT_EQ(y, 1899);
    EXPECT_EQ(mo, 12);
    EXPECT_EQ(d, 29);
    EXPECT_EQ(h, 6);
    EXPECT_EQ(mi, 0);
    DecodeDate(-0.5, y, mo, d);
    DecodeTime(-0.5, h, mi, s, ms);
    EXPECT_EQ(d, 30);
    EXPECT_EQ(h, 12);
    EXPECT_EQ(DT(1899, 12, 29, 6), -1.25);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", -1.25), "1899-12-29 06:00");
}

TEST_F(FormatSettingsTest, EncodeTimeValidates) {
    double t = 0;
    EXPECT_TRUE(TryEncodeTime(23, 59, 59, 999, t));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, t));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, t));
    EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, t));
    EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, t));
    EXPECT_FALSE(TryEncodeTime(-1, 0, 0, 0, t));
    EXPECT_THROW(EncodeTime(25, 0, 0, 0), EConvertError);
    EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
}

TEST_F(FormatSettingsTest, TimesRoundTripToTheMillisecond) {
    for (double date : {0.0, 45000.0, 2958465.0, -45000.0, -693593.0}) {
        for (int sec = 0; sec < 86400; sec += 7) {
            for (int msec : {0, 1, 499, 500, 999}) {
                const int h = sec / 3600, mi = sec / 60 % 60, s = sec % 60;
                const double t = EncodeTime(h, mi, s, msec);
                const double v = date < 0 ? date - t : date + t;
                int h2, mi2, s2, ms2, y, mo, d, y2, mo2, d2;
                DecodeTime(v, h2, mi2, s2, ms2);
                ASSERT_EQ(h2 * 3600000 + mi2 * 60000 + s2 * 1000 + ms2,
                          h * 3600000 + mi * 60000 + s * 1000 + msec)
                    << date << " " << sec << " " << msec;
                DecodeDate(v, y, mo, d);
                DecodeDate(date, y2, mo2, d2);
                ASSERT_EQ(y * 10000 + mo * 100 + d, y2 * 10000 + mo2 * 100 + d2);
            }
        }
    }
    int h, mi, s, ms;
    DecodeTime(DT(2024, 12, 31, 23, 59, 59, 999), h, mi, s, ms);
    EXPECT_EQ(h, 23);
    EXPECT_EQ(mi, 59);
    EXPECT_EQ(s, 59);
    EXPECT_EQ(ms, 999);
}

TEST_F(FormatSettingsTest, ATimeThatRoundsToMidnightRollsIntoTheNextDay) {
    int y, mo, d, h, mi, s, ms;
    const double v = EncodeDate(2024, 12, 31) + 0.99999999999; // 23:59:59.9999991
    DecodeDate(v, y, mo, d);
    DecodeTime(v, h, mi, s, ms);
    EXPECT_EQ(y, 2025);
    EXPECT_EQ(mo, 1);
    EXPECT_EQ(d, 1);
    EXPECT_EQ(h + mi + s + ms, 0);
    EXPECT_EQ(DayOfWeek(v), DayOfWeek(EncodeDate(2025, 1, 1)));
    EXPECT_EQ(DateTimeToStr(v), "1/1/2025");
    // Before 1899-12-30: day -1 at almost 24:00 is day 0 at 00:00.
    DecodeDate(-1.99999999999, y, mo, d);
    DecodeTime(-1.99999999999, h, mi, s, ms);
    EXPECT_EQ(y * 10000 + mo * 100 + d, 18991230);
    EXPECT_EQ(h + mi + s + ms, 0);
    // Rounding down stays on the day.
    DecodeDate(EncodeDate(2024, 12, 31) + 0.9999999, y, mo, d);
    DecodeTime(EncodeDate(2024, 12, 31) + 0.9999999, h, mi, s, ms);
    EXPECT_EQ(d, 31);
    EXPECT_EQ(ms, 991);
}

// --- date and time formatting ---------------------------------------------

TEST_F(FormatSettingsTest, FormatsDateAndTimeFields) {
    const double v = DT(2024, 3, 5, 7, 8, 9, 10);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", v), "2024-03-05 07:08:09.010");
    EXPECT_EQ(FormatDateTime("d m yy h n s z", v), "5 3 24 7 8 9 10");
    EXPECT_EQ(FormatDateTime("ddd dddd mmm mmmm", v), "Tue Tuesday Mar March");
    EXPECT_EQ(FormatDateTime("YYYY-MM-DD HH:NN", v), "2024-03-05 07:08"); // letters in any case
    EXPECT_EQ(FormatDateTime("d/m/yyyy", v), "5/3/2024");
    EXPECT_EQ(FormatDateTime("hh:nn", v, German()), "07:08");
    EXPECT_EQ(FormatDateTime("d/m/yyyy", v, German()), "5.3.2024");
    EXPECT_EQ(FormatDateTime("yyyy", EncodeDate(1, 1, 1)), "0001");
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd", EncodeDate(9999, 12, 31)), "9999/12/31");
    EXPECT_EQ(FormatDateTime("yy", EncodeDate(2005, 1, 1)), "05");
    EXPECT_EQ(FormatDateTime("mmmm d, yyyy", EncodeDate(2024, 12, 25)), "December 25, 2024");
}

TEST_F(FormatSettingsTest, MAfterAnHourMeansMinutes) {
    const double v = DT(2024, 3, 5, 7, 8, 9);
    EXPECT_EQ(FormatDateTime("hh:mm", v), "07:08");
    EXPECT_EQ(FormatDateTime("h:m", v), "7:8");
    EXPECT_EQ(FormatDateTime("h mm", v), "7 08");
    EXPECT_EQ(FormatDateTime("mm/dd hh:mm:ss mm", v), "03/05 07:08:09 03");
    EXPECT_EQ(FormatDateTime("hh mmm", v), "07 Mar"); // month names stay months
}

TEST_F(FormatSettingsTest, TwelveHourClock) {
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(7, 8, 0, 0)), "7:08 AM");
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(19, 8, 0, 0)), "7:08 PM");
    EXPECT_EQ(FormatDateTime("h:nn AM/PM", EncodeTime(0, 0, 0, 0)), "12:00 AM");
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(12, 0, 0, 0)), "12:00 PM");
    EXPECT_EQ(FormatDateTime("hh:nn ampm", EncodeTime(23, 59, 0, 0)), "11:59 PM");
    EXPECT_EQ(FormatDateTime("hh a/p", EncodeTime(7, 0, 0, 0)), "07 a");
    EXPECT_EQ(FormatDateTime("hh A/P", EncodeTime(19, 0, 0, 0)), "07 P");
    EXPECT_EQ(FormatDateTime("hh", EncodeTime(19, 0, 0, 0)), "19");
    TFormatSettings fs;
    fs.TimeAMString = "vorm.";
    fs.TimePMString = "nachm.";
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(15, 30, 0, 0), fs), "3:30 nachm.");
}

TEST_F(FormatSettingsTest, QuotedTextAndOtherCharactersAreCopied) {
    const double v = DT(2024, 3, 5, 7, 8, 9);
    EXPECT_EQ(FormatDateTime("'Day' d", v), "Day 5");
    EXPECT_EQ(FormatDateTime("\"hh:mm\" hh", v), "hh:mm 07");
    EXPECT_EQ(FormatDateTime("[yyyy] #", v), "[2024] #");
    EXPECT_EQ(FormatDateTime("yyyy'unterminated", v), "2024unterminated");
    EXPECT_EQ(FormatDateTime("", v), "");
}

TEST_F(FormatSettingsTest, CIsShortDateAndLongTime) {
    EXPECT_EQ(FormatDateTime("c", DT(2024, 3, 5, 7, 8, 9)), "3/5/2024 7:08:09");
    EXPECT_EQ(FormatDateTime("c", EncodeDate(2024, 3, 5)), "3/5/2024");
    EXPECT_EQ(FormatDateTime("ddddd", EncodeDate(2024, 3, 5)), "3/5/2024");
    TFormatSettings loop;
    loop.ShortDateFormat = "c"; // must not recurse for ever
    EXPECT_EQ(FormatDateTime("c", 1.0, loop), "");
}

TEST_F(FormatSettingsTest, DateToStrTimeToStrDateTimeToStr) {
    const double v = DT(2024, 3, 5, 7, 8, 9);
    EXPECT_EQ(DateToStr(v), "3/5/2024");
    EXPECT_EQ(TimeToStr(v), "7:08:09");
    EXPECT_EQ(DateTimeToStr(v), "3/5/2024 7:08:09");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5)), "3/5/2024");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5) + EncodeTime(0, 0, 0, 1)), "3/5/2024 0:00:00");
    const TFormatSettings de = German();
    EXPECT_EQ(DateToStr(v, de), "05.03.2024");
    EXPECT_EQ(TimeToStr(v, de), "07:08:09");
    EXPECT_EQ(DateTimeToStr(v, de), "05.03.2024 07:08:09");
    TFormatSettings literalDots = de;
    literalDots.ShortDateFormat = "dd.mm.yyyy";
    EXPECT_EQ(DateToStr(v, literalDots), "05.03.2024");
}

TEST_F(FormatSettingsTest, NonFiniteDatesShowNothing) {
    EXPECT_EQ(DateTimeToStr(std::numeric_limits<double>::quiet_NaN()), "");
    EXPECT_EQ(DateToStr(std::numeric_limits<double>::infinity()), "");
    std::string buf = "x";
    AppendFormatDateTime(buf, "yyyy", 1e300);
    EXPECT_EQ(buf, "x");
}

// Plain numeric patterns take a compiled shortcut; an empty quoted text
// sends the same pattern the general way, and both must agree.
TEST_F(FormatSettingsTest, NumericDatePatternsAgreeWithTheGeneralWay) {
    TFormatSettings dots = TFormatSettings::Classic();
    dots.DateSeparator = '.';
    dots.TimeSeparator = '-';
    const char* const patterns[] = {"m/d/yyyy",      "dd/mm/yy",   "yyyy-mm-dd",
                                    "d.m.yyyy h:nn", "hh:mm:ss",   "h:m",
                                    "yyyymmdd",      "d/mmm/yyyy", "Day d, yy"};
    uint64_t x = 12345;
    for (const TFormatSettings* fs : {static_cast<const TFormatSettings*>(&FormatSettings()),
                                      static_cast<const TFormatSettings*>(&dots)}) {
        for (const char* p : patterns) {
            for (int i = 0; i < 2000; ++i) {
                x = x * 6364136223846793005ull + 1442695040888963407ull;
                // Years 1 to 9999 with a time, and a few just outside.
                double dt = static_cast<double>(static_cast<int64_t>(x >> 33) % 3652100 - 693600) +
                            static_cast<double>(x & 0xFFFF) / 65536.0;
                std::string fast, general;
                AppendFormatDateTime(fast, p, dt, *fs);
                AppendFormatDateTime(general, std::string(p) + "''", dt, *fs);
                ASSERT_EQ(fast, general) << p << " " << dt;
            }
        }
    }
}

// A pattern made ready once for a column of dates gives what AppendFormatDate
// gives for every date, and refuses the same days; patterns it cannot make
// ready (names, quotes, am/pm) say so.
TEST_F(FormatSettingsTest, ADatePlanAgreesWithAppendFormatDate) {
    TFormatSettings dots = TFormatSettings::Classic();
    dots.DateSeparator = '.';
    const char* const ready[] = {"m/d/yyyy", "dd/mm/yy", "yyyy-mm-dd", "d.m.yyyy h:nn",
                                 "yyyymmdd", "d",        "yy",         "mm/dd/yyyy hh:nn:ss"};
    uint64_t x = 777;
    for (const TFormatSettings* fs : {static_cast<const TFormatSettings*>(&FormatSettings()),
                                      static_cast<const TFormatSettings*>(&dots)}) {
        for (const char* p : ready) {
            const TDatePlan plan(p, *fs);
            ASSERT_TRUE(plan.Ready()) << p;
            for (int i = 0; i < 3000; ++i) {
                x = x * 6364136223846793005ull + 1442695040888963407ull;
                // Every year 1..9999, months and days a little beyond theirs.
                const int year = static_cast<int>((x >> 33) % 9999) + 1;
                const int month = static_cast<int>((x >> 20) % 14);
                const int day = static_cast<int>((x >> 8) % 33);
                std::string planned = "at ", general = "at ";
                const bool ok = plan.Append(planned, year, month, day);
                ASSERT_EQ(ok, AppendFormatDate(general, p, year, month, day, *fs))
                    << p << " " << year << "-" << month << "-" << day;
                ASSERT_EQ(planned, general) << p << " " << year << "-" << month << "-" << day;
            }
        }
    }
    for (const char* p : {"d/mmm/yyyy", "dddd", "yyyy 'AD'", "h:nn am/pm", ""})
        EXPECT_FALSE(TDatePlan(p).Ready()) << p;
    // The separator is the one given at the start, not the one in force later.
    std::string out;
    ASSERT_TRUE(TDatePlan("d/m/yyyy", dots).Append(out, 2024, 2, 29));
    EXPECT_EQ(out, "29.2.2024");
}

TEST_F(FormatSettingsTest, AppendFormatDateTimeAppends) {
    std::string buf = "at ";
    AppendFormatDateTime(buf, "yyyy", EncodeDate(2024, 1, 1));
    EXPECT_EQ(buf, "at 2024");
}

// --- numbers --------------------------------------------------------------

TEST_F(FormatSettingsTest, GeneralFloatFormat) {
    EXPECT_EQ(Float(0.0), "0");
    EXPECT_EQ(Float(-0.0), "0");
    EXPECT_EQ(Float(0.1 + 0.2), "0.3");
    EXPECT_EQ(Float(123456789012345678.0), "1.23456789012346E17");
    EXPECT_EQ(Float(1234567.5), "1234567.5");
    EXPECT_EQ(Float(1.5e20), "1.5E20");
    EXPECT_EQ(Float(1e-5), "1E-5");
    EXPECT_EQ(Float(-2.5e-7), "-2.5E-7");
    EXPECT_EQ(Float(0.0001), "0.0001");
    EXPECT_EQ(Float(0.00012345), "0.00012345");
    EXPECT_EQ(Float(1e15), "1E15");
    EXPECT_EQ(Float(999999999999999.0), "999999999999999");
    EXPECT_EQ(Float(1e14), "100000000000000");
    EXPECT_EQ(Float(999999999999999.9), "1E15"); // rounding moves the exponent
    EXPECT_EQ(Float(9.999999999999998), "10");
    EXPECT_EQ(Float(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(Float(2.0 / 3), "0.666666666666667");
    EXPECT_EQ(Float(-42.0), "-42");
    EXPECT_EQ(Float(100.0), "100");
    EXPECT_EQ(Float(DBL_MAX), "1.79769313486232E308");
    EXPECT_EQ(Float(std::numeric_limits<double>::denorm_min()), "4.94065645841247E-324");
    EXPECT_EQ(Float(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(Float(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(Float(-std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(Float(1234.5, 3), "1.23E3");
    EXPECT_EQ(Float(0.125, 2), "0.12"); // exact tie: to_chars rounds to even
    EXPECT_EQ(Float(3.14159, 1), "3");
    EXPECT_EQ(Float(-1.5, 15, German()), "-1,5");
    EXPECT_EQ(Float(1.5e20, 15, German()), "1,5E20");
    EXPECT_EQ(FloatToStr(2.5), "2.5");
    std::string buf = "v=";
    AppendFloat(buf, 1.25);
    EXPECT_EQ(buf, "v=1.25");
}

// The general format against glibc's correctly rounded %.*e, over values of
// every magnitude and over two-decimal amounts such as a table holds.
TEST_F(FormatSettingsTest, GeneralFloatFormatRoundsLikePrintf) {
    // "d.ddde+XX" or our "d.ddE-X" / fixed text -> canonical digits and exponent.
    auto canonical = [](std::string t) {
        bool neg = !t.empty() && t[0] == '-';
        if (neg) t.erase(0, 1);
        int exp = 0;
        size_t e = t.find_first_of("eE");
        if (e != std::string::npos) {
            exp = std::atoi(t.c_str() + e + 1);
            t.erase(e);
        }
        size_t dot = t.find('.');
        int intDigits = static_cast<int>(dot == std::string::npos ? t.size() : dot);
        if (dot != std::string::npos) t.erase(dot, 1);
        size_t nz = t.find_first_not_of('0');
        if (nz == std::string::npos) return std::string("0");
        exp += intDigits - static_cast<int>(nz) - 1;
        t.erase(0, nz);
        t.erase(t.find_last_not_of('0') + 1);
        return (neg ? "-" : "") + t + "e" + std::to_string(exp);
    };
    uint64_t x = 0x9E3779B97F4A7C15ull;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return x;
    };
    for (int i = 0; i < 40000; ++i) {
        double v;
        if (i % 2 == 0) {
            uint64_t bits = next();
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v) || v == 0) continue;
        } else {
            v = static_cast<double>(static_cast<int64_t>(next() % 2000000000) - 1000000000) / 100.0;
        }
        for (int precision : {15, 7, 17}) {
            char ref[64];
            std::snprintf(ref, sizeof ref, "%.*e", precision - 1, v);
            const std::string ours = Float(v, precision);
            ASSERT_EQ(canonical(ours), canonical(ref)) << ours << " vs " << ref;
            // No trailing zeros after the separator, and E only outside the fixed range.
            const int exp = std::atoi(std::strchr(ref, 'e') + 1);
            const bool fixedRange = exp < precision && exp >= -4;
            ASSERT_EQ(ours.find('E') == std::string::npos, fixedRange) << ours;
            if (fixedRange && ours.find('.') != std::string::npos) {
                ASSERT_NE(ours.back(), '0') << ours;
            }
        }
    }
}

// Plain digits as the files hold them give the same text as the value
// through AppendFloat, and are taken for the shapes that tables have.
TEST_F(FormatSettingsTest, PlainDecimalsAgreeWithTheGeneralFormat) {
    std::mt19937_64 rng(42);
    auto digit = [&] { return static_cast<char>('0' + rng() % 10); };
    TFormatSettings comma = TFormatSettings::Classic();
    comma.DecimalSeparator = ',';
    int taken = 0, tried = 0;
    for (int n = 0; n < 60000; ++n) {
        std::string s;
        if (rng() % 3 == 0) s += '-';
        const int zeros = static_cast<int>(rng() % 4 == 0 ? rng() % 3 : 0);
        s.append(static_cast<size_t>(zeros), '0');
        const int ints = static_cast<int>(rng() % 18);
        for (int k = 0; k < ints; ++k)
            s += digit();
        if (rng() % 4 != 0) {
            s += '.';
            const int fracs = static_cast<int>(rng() % 18);
            for (int k = 0; k < fracs; ++k)
                s += rng() % 3 == 0 ? '0' : digit();
        }
        const int precision = n % 5 == 0 ? static_cast<int>(1 + rng() % 17) : 15;
        const TFormatSettings& fs = n % 7 == 0 ? comma : TFormatSettings::Classic();
        std::string plain = "x";
        ++tried;
        if (!AppendPlainDecimal(plain, s, precision, fs)) {
            EXPECT_EQ(plain, "x") << s; // nothing appended
            continue;
        }
        ++taken;
        std::string general = "x";
        AppendFloat(general, std::strtod(s.c_str(), nullptr), precision, fs);
        ASSERT_EQ(plain, general) << "\"" << s << "\" precision " << precision;
    }
    EXPECT_GT(taken, tried / 4);
    std::string out;
    for (const char* s : {"12.50", "-0.05", "0.00", "-0.00", "7", "000123.4500", "0.0001"})
        EXPECT_TRUE(AppendPlainDecimal(out, s)) << s;
    EXPECT_EQ(out, "12.5-0.05007123.450.0001");
    out.clear();
    for (const char* s :
         {"", "-", ".5", "5.", "1e3", "+5", "1,5", "12.5 ", "0.00001", "1234567890123456"})
        EXPECT_FALSE(AppendPlainDecimal(out, s)) << s;
}

TEST_F(FormatSettingsTest, DatesByTheirPartsAgreeWithTheDayNumbers) {
    std::mt19937_64 rng(7);
    TFormatSettings dots = TFormatSettings::Classic();
    dots.DateSeparator = '.';
    const char* patterns[] = {"m/d/yyyy", "dd/mm/yy", "yyyy-mm-dd", "d mmm yyyy",
                              "dddd",     "c",        "'day' d",    "mm/dd/yyyy hh:nn"};
    for (int n = 0; n < 20000; ++n) {
        const int year = static_cast<int>(rng() % 10001);
        const int month = static_cast<int>(rng() % 14);
        const int day = static_cast<int>(rng() % 33);
        const char* pattern = patterns[n % 8];
        const TFormatSettings& fs = n % 3 == 0 ? dots : TFormatSettings::Classic();
        std::string parts = "x";
        double dt;
        const bool exists = TryEncodeDate(year, month, day, dt);
        ASSERT_EQ(AppendFormatDate(parts, pattern, year, month, day, fs), exists)
            << year << "-" << month << "-" << day;
        if (!exists) {
            EXPECT_EQ(parts, "x");
            continue;
        }
        std::string whole = "x";
        AppendFormatDateTime(whole, pattern, dt, fs);
        ASSERT_EQ(parts, whole) << pattern << " " << year << "-" << month << "-" << day;
    }
}

TEST_F(FormatSettingsTest, PlainIntegersAreTheirOwnText) {
    std::string out;
    for (const char* s : {"0", "7", "-12", "123456789012345678"})
        EXPECT_TRUE(AppendPlainInteger(out, s)) << s;
    EXPECT_EQ(out, "07-12123456789012345678");
    for (const char* s : {"", "-", "-0", "007", "+5", "1.0", "1234567890123456789", "1 "})
        EXPECT_FALSE(AppendPlainInteger(out, s)) << s;
    EXPECT_EQ(out, "07-12123456789012345678");
}

TEST_F(FormatSettingsTest, CurrencyClassic) {
    EXPECT_EQ(Currency(1234.5), "$1,234.50");
    EXPECT_EQ(Currency(-1234.5), "-$1,234.50");
    EXPECT_EQ(Currency(0), "$0.00");
    EXPECT_EQ(Currency(0.5), "$0.50");
    EXPECT_EQ(Currency(1234567.891), "$1,234,567.89");
    EXPECT_EQ(Currency(123.0), "$123.00");
    EXPECT_EQ(Currency(1.005), "$1.01"); // half away from zero, on 1.005 as written
    EXPECT_EQ(Currency(0.125), "$0.13");
    EXPECT_EQ(Currency(-0.125), "-$0.13");
    EXPECT_EQ(Currency(999.995), "$1,000.00");
    EXPECT_EQ(Currency(-0.001), "$0.00"); // rounds to zero: no sign
    EXPECT_EQ(Currency(1e15), "$1,000,000,000,000,000.00");
}

TEST_F(FormatSettingsTest, CurrencyLayouts) {
    TFormatSettings fs;
    const char* positive[] = {"$1.00", "1.00$", "$ 1.00", "1.00 $"};
    for (int f = 0; f < 4; ++f) {
        fs.CurrencyFormat = f;
        EXPECT_EQ(Currency(1, fs), positive[f]) << f;
    }
    const char* negative[] = {"($1.00)", "-$1.00",  "$-1.00",   "$1.00-",  "(1.00$)", "-1.00$",
                              "1.00-$",  "1.00$-",  "-1.00 $",  "-$ 1.00", "1.00 $-", "$ 1.00-",
                              "$ -1.00", "1.00- $", "($ 1.00)", "(1.00 $)"};
    for (int f = 0; f < 16; ++f) {
        fs.NegCurrFormat = f;
        EXPECT_EQ(Currency(-1, fs), negative[f]) << f;
    }
    fs.CurrencyDecimals = 0;
    fs.CurrencyFormat = 0;
    fs.NegCurrFormat = 1;
    EXPECT_EQ(Currency(2.5, fs), "$3");
    EXPECT_EQ(Currency(-2.5, fs), "-$3");
    const TFormatSettings de = German();
    EXPECT_EQ(Currency(1234.5, de), "1.234,50 \xE2\x82\xAC");
    EXPECT_EQ(Currency(-1234.5, de), "-1.234,50 \xE2\x82\xAC");
    EXPECT_EQ(Currency(std::numeric_limits<double>::quiet_NaN()), "NAN");
}

TEST_F(FormatSettingsTest, FixedDecimals) {
    EXPECT_EQ(Fixed(3.14159, 2), "3.14");
    EXPECT_EQ(Fixed(2.5, 0), "3");
    EXPECT_EQ(Fixed(-2.5, 0), "-3");
    EXPECT_EQ(Fixed(0.5, 3), "0.500");
    EXPECT_EQ(Fixed(-0.004, 2), "0.00");
    EXPECT_EQ(Fixed(1234567.891, 2), "1234567.89");
    EXPECT_EQ(Fixed(1e20, 2), "100000000000000000000.00");
    EXPECT_EQ(Fixed(0.000001, 3), "0.000");
    EXPECT_EQ(Fixed(0.0005, 3), "0.001");
    EXPECT_EQ(Fixed(9.9999, 2), "10.00");
    EXPECT_EQ(Fixed(3.14159, -1), "3");
    EXPECT_EQ(Fixed(3.14159, 2, German()), "3,14");
    EXPECT_EQ(Fixed(std::numeric_limits<double>::infinity(), 2), "INF");
}

TEST_F(FormatSettingsTest, FormatFloatPatterns) {
    EXPECT_EQ(FormatFloat("", 1234.5), "1234.5");
    EXPECT_EQ(FormatFloat("0.00", 3.14159), "3.14");
    EXPECT_EQ(FormatFloat("0.00", 9.999), "10.00");
    EXPECT_EQ(FormatFloat("0", 2.5), "3");
    EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891), "1,234,567.89");
    EXPECT_EQ(FormatFloat("#,##0.00", -1234.5), "-1,234.50");
    EXPECT_EQ(FormatFloat("#,##0", 1234567), "1,234,567");
    EXPECT_EQ(FormatFloat("#,##0", 0), "0");
    EXPECT_EQ(FormatFloat("#,##0", 999), "999");
    EXPECT_EQ(FormatFloat("#.##", 0.5), ".5");
    EXPECT_EQ(FormatFloat("#.##", 0), "");
    EXPECT_EQ(FormatFloat("0.###", 1.5), "1.5");
    EXPECT_EQ(FormatFloat("0.###", 1.0), "1");
    EXPECT_EQ(FormatFloat("0.0##", 1.0), "1.0");
    EXPECT_EQ(FormatFloat("000", 7), "007");
    EXPECT_EQ(FormatFloat("00.00", 1.5), "01.50");
    EXPECT_EQ(FormatFloat("0", 12345), "12345");
    EXPECT_EQ(FormatFloat("0.00", 1e20), "100000000000000000000.00");
    EXPECT_EQ(FormatFloat("0.00", -5), "-5.00");
    EXPECT_EQ(FormatFloat("0.00", -0.001), "0.00");
    EXPECT_EQ(FormatFloat("0%", 5), "5%");
    EXPECT_EQ(FormatFloat("\"$\"#,##0.00", 1234.5), "$1,234.50");
    EXPECT_EQ(FormatFloat("'Total: '0", 5), "Total: 5");
    EXPECT_EQ(FormatFloat("0 'kg'", 5), "5 kg");
    EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, German()), "1.234,50");
    EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::quiet_NaN()), "NAN");
}

TEST_F(FormatSettingsTest, FormatFloatScientific) {
    EXPECT_EQ(FormatFloat("0.00E+00", 12345), "1.23E+04");
    EXPECT_EQ(FormatFloat("0.00E-00", 12345), "1.23E04");
    EXPECT_EQ(FormatFloat("0.00E-00", 0.000123), "1.23E-04");
    EXPECT_EQ(FormatFloat("0.00E+00", 0.000123), "1.23E-04");
    EXPECT_EQ(FormatFloat("0.0E+0", 12345), "1.2E+4");
    EXPECT_EQ(FormatFloat("0.00e+00", 12345), "1.23e+04");
    EXPECT_EQ(FormatFloat("0.00E+00", 0), "0.00E+00");
    EXPECT_EQ(FormatFloat("0.00E+00", 9.999), "1.00E+01");
    EXPECT_EQ(FormatFloat("0.00E+00", -12345), "-1.23E+04");
    EXPECT_EQ(FormatFloat("0.##E+00", 1.5e20), "1.5E+20");
    EXPECT_EQ(FormatFloat("00.0E+0", 12345), "12.3E+3");
}

TEST_F(FormatSettingsTest, FormatFloatSections) {
    const char* p = "0.00;(0.00);zero";
    EXPECT_EQ(FormatFloat(p, 1.5), "1.50");
    EXPECT_EQ(FormatFloat(p, -1.5), "(1.50)");
    EXPECT_EQ(FormatFloat(p, 0), "zero");
    EXPECT_EQ(FormatFloat(p, -0.001), "zero"); // shown as zero after rounding
    EXPECT_EQ(FormatFloat("0;neg 0", -5), "neg 5");
    EXPECT_EQ(FormatFloat("0;neg 0", 0), "0");
    EXPECT_EQ(FormatFloat("0.00;;zero", -1.5), "-1.50"); // empty negative section
    EXPECT_EQ(FormatFloat("0.00;;zero", 0), "zero");
    EXPECT_EQ(FormatFloat("0.00;(0.00)", -0.001), "0.00");
    EXPECT_EQ(FormatFloat("\"a;b\"0", 5), "a;b5"); // ; inside quotes is text
}

TEST_F(FormatSettingsTest, AppendIntHandlesTheExtremes) {
    EXPECT_EQ(Int(0), "0");
    EXPECT_EQ(Int(-1), "-1");
    EXPECT_EQ(Int(1234567), "1234567");
    EXPECT_EQ(Int(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(Int(INT64_MAX), "9223372036854775807");
    std::string buf = "n=";
    AppendInt(buf, 5);
    EXPECT_EQ(buf, "n=5");
}

// --- parsing --------------------------------------------------------------

TEST_F(FormatSettingsTest, ParsesIntegers) {
    int64_t v = 0;
    EXPECT_TRUE(TryStrToInt64("42", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(TryStrToInt64("  -42 ", v));
    EXPECT_EQ(v, -42);
    EXPECT_TRUE(TryStrToInt64("+7", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(TryStrToInt64("\t5\n", v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(TryStrToInt64("9223372036854775807", v));
    EXPECT_EQ(v, INT64_MAX);
    EXPECT_TRUE(TryStrToInt64("-9223372036854775808", v));
    EXPECT_EQ(v, INT64_MIN);
    v = 99;
    for (const char* bad : {"9223372036854775808", "-9223372036854775809", "", " ", "abc", "12a",
                            "1 2", "+-1", "--1", "- 1", "-", "+", "1.0", "0x10"}) {
        EXPECT_FALSE(TryStrToInt64(bad, v)) << bad;
    }
    EXPECT_EQ(v, 99); // untouched on failure
    EXPECT_EQ(StrToInt64("12"), 12);
    try {
        StrToInt64("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
}

TEST_F(FormatSettingsTest, ParsesFloats) {
    double v = 0;
    EXPECT_TRUE(TryStrToFloat("3.14", v));
    EXPECT_EQ(v, 3.14);
    EXPECT_TRUE(TryStrToFloat(" -2.5e3 ", v));
    EXPECT_EQ(v, -2500);
    EXPECT_TRUE(TryStrToFloat("1E-5", v));
    EXPECT_EQ(v, 1e-5);
    EXPECT_TRUE(TryStrToFloat(".5", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(TryStrToFloat("5.", v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(TryStrToFloat("+1.5", v));
    EXPECT_EQ(v, 1.5);
    EXPECT_TRUE(TryStrToFloat("1e-400", v)); // underflow reads as zero
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(TryStrToFloat("-0.00001e-400", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(std::signbit(v));
    v = 7;
    for (const char* bad : {"1e400", "-1e400", "abc", "", "1.2.3", "1,5", "inf", "nan", "0x10",
                            "1e", "1e+", ".", "-", "1 000", "1.5 x", "e5"}) {
        EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
    }
    EXPECT_EQ(v, 7);
    // Only the locale's separator: with ',' the full stop is not read.
    const TFormatSettings de = German();
    EXPECT_TRUE(TryStrToFloat("1,5", v, de));
    EXPECT_EQ(v, 1.5);
    EXPECT_TRUE(TryStrToFloat("-1,5E2", v, de));
    EXPECT_EQ(v, -150);
    EXPECT_FALSE(TryStrToFloat("1.5", v, de));
    EXPECT_FALSE(TryStrToFloat("1.234,5", v, de));
    // What the general format writes reads back.
    for (double x : {0.1, 1234567.5, 1.5e20, -2.5e-7, 1e-5, 123456.789}) {
        EXPECT_TRUE(TryStrToFloat(FloatToStr(x), v)) << x;
        EXPECT_EQ(v, x);
        EXPECT_TRUE(TryStrToFloat(FloatToStr(x, de), v, de)) << x;
        EXPECT_EQ(v, x);
    }
    EXPECT_EQ(StrToFloat("2.5"), 2.5);
    try {
        StrToFloat("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid floating point value");
    }
}

// A blank is the space or any control character, for the parsers as for
// every other trim: the padding a fixed-width file leaves around a value
// (NUL, an end-of-file mark) does not make it invalid; a blank inside still does.
TEST_F(FormatSettingsTest, ParsersTrimTheProgramsBlanks) {
    using namespace std::string_view_literals;
    int64_t i = 0;
    EXPECT_TRUE(TryStrToInt64("\x01 5\v"sv, i));
    EXPECT_EQ(i, 5);
    EXPECT_TRUE(TryStrToInt64("12\0\0"sv, i));
    EXPECT_EQ(i, 12);
    EXPECT_FALSE(TryStrToInt64("1\0"
                               "2"sv,
                               i));
    double v = 0;
    EXPECT_TRUE(TryStrToFloat("\x1A"
                              "2.5\x1F"sv,
                              v));
    EXPECT_EQ(v, 2.5);
    EXPECT_FALSE(TryStrToFloat("\x7F"
                               "2.5"sv,
                               v)); // DEL is no blank
    EXPECT_FALSE(TryStrToFloat("\xC2\xA0"
                               "2.5"sv,
                               v)); // nor a no-break space
    EXPECT_TRUE(TryStrToDate("\x1A"
                             "3/5/2024\0"sv,
                             v));
    EXPECT_EQ(v, EncodeDate(2024, 3, 5));
    EXPECT_TRUE(TryStrToTime("\x1A"
                             "10:30\r"sv,
                             v));
    EXPECT_NEAR(v, EncodeTime(10, 30, 0, 0), 1e-9);
}

TEST_F(FormatSettingsTest, ParsesDatesInShortDateFormatOrder) {
    double v = 0;
    const double mar5 = EncodeDate(2024, 3, 5);
    for (const char* s : {"3/5/2024", "03/05/2024", "3-5-2024", "3.5.2024", "3/5/24", " 3/5/2024 ",
                          "2024-03-05", "2024/3/5"}) {
        v = 0;
        EXPECT_TRUE(TryStrToDate(s, v)) << s;
        EXPECT_EQ(v, mar5) << s;
    }
    const TFormatSettings de = German();
    for (const char* s : {"05.03.2024", "5.3.2024", "5/3/2024", "5-3-24", "2024-03-05"}) {
        v = 0;
        EXPECT_TRUE(TryStrToDate(s, v, de)) << s;
        EXPECT_EQ(v, mar5) << s;
    }
    TFormatSettings iso;
    iso.ShortDateFormat = "yyyy/mm/dd";
    iso.DateSeparator = '-';
    EXPECT_TRUE(TryStrToDate("2024-03-05", v, iso));
    EXPECT_EQ(v, mar5);
    EXPECT_TRUE(TryStrToDate("24-03-05", v, iso));
    EXPECT_EQ(v, mar5);
}

TEST_F(FormatSettingsTest, ParsesTwoDigitYearsInAWindow) {
    double v = 0;
    int y, m, d;
    const std::pair<const char*, int> cases[] = {
        {"1/1/00", 2000}, {"1/1/49", 2049}, {"1/1/50", 1950}, {"1/1/99", 1999},
        {"1/1/5", 2005},  {"1/1/0099", 99}, {"1/1/999", 999}, {"1/1/1", 2001}};
    for (const auto& [s, year] : cases) {
        ASSERT_TRUE(TryStrToDate(s, v)) << s;
        DecodeDate(v, y, m, d);
        EXPECT_EQ(y, year) << s;
    }
}

TEST_F(FormatSettingsTest, RejectsInvalidDates) {
    double v = 42;
    for (const char* bad :
         {"2/29/2023", "2/29/1900", "13/1/2024", "0/1/2024", "1/0/2024", "1/32/2024", "4/31/2024",
          "1/1/0000", "1/1/10000", "3/5", "3/5/2024/1", "3/5-2024", "abc", "", "3 /5/2024",
          "3/5/2024 7:00", "003/5/2024", "3/5/2024x", "2024-13-01"}) {
        EXPECT_FALSE(TryStrToDate(bad, v)) << bad;
    }
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(TryStrToDate("2/29/2024", v));
    EXPECT_TRUE(TryStrToDate("2/29/2000", v));
    EXPECT_EQ(StrToDate("1/2/2024"), EncodeDate(2024, 1, 2));
    try {
        StrToDate("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid date");
    }
}

TEST_F(FormatSettingsTest, ParsesTimes) {
    double v = 0;
    EXPECT_TRUE(TryStrToTime("7:08", v));
    EXPECT_EQ(v, EncodeTime(7, 8, 0, 0));
    EXPECT_TRUE(TryStrToTime("07:08:09", v));
    EXPECT_EQ(v, EncodeTime(7, 8, 9, 0));
    EXPECT_TRUE(TryStrToTime("07:08:09.010", v));
    EXPECT_EQ(v, EncodeTime(7, 8, 9, 10));
    EXPECT_TRUE(TryStrToTime("7:08:09.5", v)); // a fraction of a second
    EXPECT_EQ(v, EncodeTime(7, 8, 9, 500));
    EXPECT_TRUE(TryStrToTime("10:30:15.123456", v));
    EXPECT_EQ(v, EncodeTime(10, 30, 15, 123));
    EXPECT_TRUE(TryStrToTime("23:59:59.9996", v)); // stays on its day
    EXPECT_EQ(v, EncodeTime(23, 59, 59, 999));
    EXPECT_TRUE(TryStrToTime("7:08 PM", v));
    EXPECT_EQ(v, EncodeTime(19, 8, 0, 0));
    EXPECT_TRUE(TryStrToTime("7:08pm", v));
    EXPECT_EQ(v, EncodeTime(19, 8, 0, 0));
    EXPECT_TRUE(TryStrToTime("12:00 AM", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(TryStrToTime("12:00:01 pm", v));
    EXPECT_EQ(v, EncodeTime(12, 0, 1, 0));
    EXPECT_TRUE(TryStrToTime(" 0:00 ", v));
    EXPECT_EQ(v, 0);
    TFormatSettings fi;
    fi.TimeSeparator = '.';
    fi.DecimalSeparator = ',';
    EXPECT_TRUE(TryStrToTime("7.08.09,5", v, fi));
    EXPECT_EQ(v, EncodeTime(7, 8, 9, 500));
    EXPECT_TRUE(TryStrToTime("7:08", v, fi));
    TFormatSettings de;
    de.TimeAMString = "vorm.";
    de.TimePMString = "nachm.";
    EXPECT_TRUE(TryStrToTime("3:30 nachm.", v, de));
    EXPECT_EQ(v, EncodeTime(15, 30, 0, 0));
    v = 42;
    for (const char* bad : {"13:00 PM", "0:00 AM", "24:00", "7:60", "7:08:60", "7", "7:", "abc", "",
                            "7:08:", "7:08:09.", "7:08 XM", "7:08:09.5.1", "123:00", "-1:00"}) {
        EXPECT_FALSE(TryStrToTime(bad, v)) << bad;
    }
    EXPECT_EQ(v, 42);
    try {
        StrToTime("25:00");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'25:00' is not a valid time");
    }
}

TEST_F(FormatSettingsTest, ParsesDateTimes) {
    double v = 0;
    EXPECT_TRUE(TryStrToDateTime("3/5/2024 7:08:09", v));
    EXPECT_EQ(v, DT(2024, 3, 5, 7, 8, 9));
    EXPECT_TRUE(TryStrToDateTime("3/5/2024", v));
    EXPECT_EQ(v, EncodeDate(2024, 3, 5));
    EXPECT_TRUE(TryStrToDateTime("2024-03-05T07:08:09.250", v));
    EXPECT_EQ(v, DT(2024, 3, 5, 7, 8, 9, 250));
    EXPECT_TRUE(TryStrToDateTime(" 3/5/2024   7:08 PM ", v));
    EXPECT_EQ(v, DT(2024, 3, 5, 19, 8));
    EXPECT_TRUE(TryStrToDateTime("12/29/1899 6:00", v));
    EXPECT_EQ(v, -1.25);
    EXPECT_TRUE(TryStrToDateTime("05.03.2024 07:08:09", v, German()));
    EXPECT_EQ(v, DT(2024, 3, 5, 7, 8, 9));
    v = 42;
    for (const char* bad : {"3/5/2024 x", "3/5/2024T", "7:08", "x 7:08", "", "3/5/2024 25:00"})
        EXPECT_FALSE(TryStrToDateTime(bad, v)) << bad;
    EXPECT_EQ(v, 42);
    // What DateTimeToStr writes reads back.
    for (double x : {DT(2024, 3, 5, 7, 8, 9), EncodeDate(2024, 3, 5), DT(1, 1, 1, 23, 59, 59),
                     DT(1850, 6, 1, 12, 30)}) {
        EXPECT_TRUE(TryStrToDateTime(DateTimeToStr(x), v));
        EXPECT_EQ(v, x);
        EXPECT_TRUE(TryStrToDateTime(DateTimeToStr(x, German()), v, German()));
        EXPECT_EQ(v, x);
    }
    try {
        StrToDateTime("x");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'x' is not a valid date and time");
    }
}

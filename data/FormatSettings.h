#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The locale's conventions for showing numbers, dates and times. One object is
// in force for the process (taken from the system locale at start); tests
// replace it with SetFormatSettings.
//
// Date and time patterns use the letters d dd ddd dddd m mm mmm mmmm yy yyyy,
// h hh n nn s ss z zzz, am/pm, "/" (DateSeparator), ":" (TimeSeparator) and
// quoted literals. ShortDateFormat always carries a four-digit year, so a
// shown date never loses its century.
struct TFormatSettings {
    char DecimalSeparator = '.';
    char ThousandSeparator = ',';
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "m/d/yyyy";
    std::string LongTimeFormat = "h:nn:ss";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::string CurrencyString = "$";
    // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    int CurrencyFormat = 0;
    // 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 5 "-1$", 8 "-1 $", 9 "-$ 1"
    int NegCurrFormat = 1;
    int CurrencyDecimals = 2;

    // The conventions of the C/POSIX locale: month/day/year, full stop.
    static TFormatSettings Classic();
    // The conventions of the locale named by the environment (LC_ALL,
    // LC_NUMERIC, LC_TIME, LC_MONETARY, LANG); Classic() when it names none
    // or one that is not installed. Never changes the process's C locale.
    static TFormatSettings FromSystemLocale();
};

const TFormatSettings& FormatSettings();
void SetFormatSettings(const TFormatSettings& settings);

// Runs before SetFormatSettings replaces the settings in force, so that work
// formatting with them on other threads can stop first (the read-ahead
// installs it). One hook for the process; returns the one it replaces.
using TFormatSettingsHook = void (*)();
TFormatSettingsHook SetBeforeFormatSettingsChange(TFormatSettingsHook hook);

// How FromSystemLocale reads a strftime format (nl_langinfo's D_FMT or T_FMT):
// the result in the pattern letters above, with the first punctuation
// character between the fields stored in `separator` and written as "/" (date)
// or ":" (time). %y gives yyyy, so the century is never lost. %x, %X and %r
// expand to the C locale's formats here. Exposed for tests.
std::string TranslateStrftimeFormat(std::string_view strftimeFormat, bool isTime, char& separator);

// Calendar arithmetic on day numbers (days since 1899-12-30, time as fraction).
bool TryEncodeDate(int year, int month, int day, double& out);
double EncodeDate(int year, int month, int day); // raises EConvertError
bool TryEncodeTime(int hour, int min, int sec, int msec, double& out);
double EncodeTime(int hour, int min, int sec, int msec); // raises EConvertError
void DecodeDate(double dt, int& year, int& month, int& day);
void DecodeTime(double dt, int& hour, int& min, int& sec, int& msec);
int DayOfWeek(double dt); // 1 = Sunday .. 7 = Saturday

// Appending formatters; they write into `out` so that callers can reuse one
// buffer for many cells.
void AppendFormatDateTime(std::string& out, std::string_view pattern, double dt,
                          const TFormatSettings& fs = FormatSettings());
// The same for a date given by its parts, with no time; false, and nothing
// appended, for a day that does not exist.
bool AppendFormatDate(std::string& out, std::string_view pattern, int year, int month, int day,
                      const TFormatSettings& fs = FormatSettings());
std::string FormatDateTime(std::string_view pattern, double dt,
                           const TFormatSettings& fs = FormatSettings());
std::string DateToStr(double dt, const TFormatSettings& fs = FormatSettings());
std::string TimeToStr(double dt, const TFormatSettings& fs = FormatSettings());
// Date, then the time after a blank unless the time is midnight.
std::string DateTimeToStr(double dt, const TFormatSettings& fs = FormatSettings());

// General format: the shortest of fixed or scientific notation with at most
// `precision` significant digits (15 keeps every digit a double reliably has);
// exponent as E followed by an optional minus and at least one digit.
void AppendFloat(std::string& out, double v, int precision = 15,
                 const TFormatSettings& fs = FormatSettings());
std::string FloatToStr(double v, const TFormatSettings& fs = FormatSettings());
// Currency: CurrencyDecimals decimals, thousands separated, the currency
// string placed by CurrencyFormat / NegCurrFormat.
void AppendCurrency(std::string& out, double v, const TFormatSettings& fs = FormatSettings());
// Fixed with `decimals` decimals, no thousands separator.
void AppendFixed(std::string& out, double v, int decimals,
                 const TFormatSettings& fs = FormatSettings());
// Number patterns: 0 # . , and literal text in quotes; sections for
// positive;negative;zero split by ';'; E+ / E- scientific.
std::string FormatFloat(std::string_view pattern, double v,
                        const TFormatSettings& fs = FormatSettings());
void AppendInt(std::string& out, int64_t v);
// The general format of a number given as plain digits, as a table file
// holds them ("-12.50", "7", "0.003"), made from the digits themselves;
// false (and nothing appended) where that might differ from AppendFloat of
// the value, and the caller takes the long way.
bool AppendPlainDecimal(std::string& out, std::string_view digits, int precision = 15,
                        const TFormatSettings& fs = FormatSettings());
// Likewise for AppendInt: true only for digits that are already its text.
bool AppendPlainInteger(std::string& out, std::string_view digits);

// Parsers; the Try forms return false where the text is not a value of the
// kind, the others raise EConvertError naming the text.
bool TryStrToInt64(std::string_view s, int64_t& out);
bool TryStrToFloat(std::string_view s, double& out, const TFormatSettings& fs = FormatSettings());
bool TryStrToDate(std::string_view s, double& out, const TFormatSettings& fs = FormatSettings());
bool TryStrToTime(std::string_view s, double& out, const TFormatSettings& fs = FormatSettings());
bool TryStrToDateTime(std::string_view s, double& out,
                      const TFormatSettings& fs = FormatSettings());
int64_t StrToInt64(std::string_view s);
double StrToFloat(std::string_view s, const TFormatSettings& fs = FormatSettings());
double StrToDate(std::string_view s, const TFormatSettings& fs = FormatSettings());
double StrToTime(std::string_view s, const TFormatSettings& fs = FormatSettings());
double StrToDateTime(std::string_view s, const TFormatSettings& fs = FormatSettings());

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

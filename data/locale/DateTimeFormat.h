#pragma once

// Dates and times: calendar arithmetic on day numbers, formatting by
// patterns and the settings in force, and parsing.

#include "data/locale/FormatSettings.h"

#include <cstdint>
#include <string>
#include <string_view>

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
// One date pattern made ready for many dates (a column of them): the text
// AppendFormatDate gives, without finding the pattern again for each date.
// Only patterns of numbers and separators are made ready; for the others
// Ready() is false and AppendFormatDate is to be used.
class TDatePlan {
public:
    explicit TDatePlan(std::string_view pattern, const TFormatSettings& fs = FormatSettings());
    bool Ready() const { return fCount > 0; }
    // As AppendFormatDate with the pattern and settings given at the start.
    bool Append(std::string& out, int year, int month, int day) const;

private:
    static constexpr size_t MostSteps = 32;
    uint8_t fSteps[MostSteps][2] = {}; // what to put, and its width or character
    uint8_t fCount = 0;
};
std::string FormatDateTime(std::string_view pattern, double dt,
                           const TFormatSettings& fs = FormatSettings());
std::string DateToStr(double dt, const TFormatSettings& fs = FormatSettings());
std::string TimeToStr(double dt, const TFormatSettings& fs = FormatSettings());
// Date, then the time after a blank unless the time is midnight.
std::string DateTimeToStr(double dt, const TFormatSettings& fs = FormatSettings());

// Parsers; the Try forms return false where the text is not a value of the
// kind, the others raise EConvertError naming the text.
bool TryStrToDate(std::string_view s, double& out, const TFormatSettings& fs = FormatSettings());
bool TryStrToTime(std::string_view s, double& out, const TFormatSettings& fs = FormatSettings());
bool TryStrToDateTime(std::string_view s, double& out,
                      const TFormatSettings& fs = FormatSettings());
double StrToDate(std::string_view s, const TFormatSettings& fs = FormatSettings());
double StrToTime(std::string_view s, const TFormatSettings& fs = FormatSettings());
double StrToDateTime(std::string_view s, const TFormatSettings& fs = FormatSettings());

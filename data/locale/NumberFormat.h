#pragma once

// Numbers: formatting in the general, currency, fixed and pattern forms by
// the settings in force, and parsing.

#include "data/locale/FormatSettings.h"

#include <cstdint>
#include <string>
#include <string_view>

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
int64_t StrToInt64(std::string_view s);
double StrToFloat(std::string_view s, const TFormatSettings& fs = FormatSettings());

#pragma once

#include "data/locale/FormatSettings.h"

#include <string>
#include <string_view>

// The program's display patterns as spreadsheet number-format codes (the
// codes of SpreadsheetML's styles), so that a typed cell shows what the grid
// shows. Format codes always spell the decimal point "." and the thousands
// separator ","; the reader shows them in its own locale. Literal text is
// quoted or escaped, so that no character of it is read as a code.

// A date and time pattern (the letters of TFormatSettings) as a date code.
// "c" and "ddddd" expand to the locale's formats; `withTime` says whether
// "c" shows the time (DateTimeToStr leaves a midnight time off).
std::string XlsxDateTimeFormat(std::string_view pattern, bool withTime,
                               const TFormatSettings& fs = FormatSettings());

// A FormatFloat pattern (0 # . , E+ E- quoted text, up to three sections) as
// a number code; empty for an empty pattern.
std::string XlsxNumberFormat(std::string_view pattern);

// The locale's currency layout (CurrencyString, CurrencyFormat,
// NegCurrFormat, CurrencyDecimals) as a number code with thousands grouping.
std::string XlsxCurrencyFormat(const TFormatSettings& fs = FormatSettings());

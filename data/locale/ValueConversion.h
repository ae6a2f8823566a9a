#pragma once

#include "data/base/Value.h"

#include <cstdint>
#include <string>

// A value handed to a driver for writing, as the kind a field stores. Each
// returns false when the value cannot be that kind without losing
// something (a fraction for a whole number, a text that is no number).
// Texts are read in the classic form (full stop, ISO dates) and in the
// locale's.
bool ValueToInt64(const TValue& v, int64_t& out);
bool ValueToDouble(const TValue& v, double& out);
bool ValueToDateTime(const TValue& v, double& out);
bool ValueToBool(const TValue& v, bool& out);
// Text and bytes as they are; numbers in the classic form, the shortest
// that reads back the same; dates as ISO text.
void ValueToText(const TValue& v, std::string& out);

// The shortest decimal form of a double that reads back the same, with a
// full stop and no exponent for everyday magnitudes ("0.1", "-2.5", "1e+300").
void AppendShortestDouble(std::string& out, double v);
// A description of the value for messages: "'abc'", "12", "a date".
std::string DescribeValue(const TValue& v);

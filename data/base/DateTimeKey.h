#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// A date-time value (days since 1899-12-30, time as fraction) as milliseconds
// counted forward in time. Before 1899-12-30 the day part is negative while
// the time fraction still counts forward (-1.25 is 29 Dec 1899 06:00), so the
// plain double does not order such values chronologically; this key does.
// Not-a-number orders after every date.
inline int64_t DateTimeKey(double dt) {
    constexpr int64_t MsPerDay = 86400000;
    if (std::isnan(dt)) return std::numeric_limits<int64_t>::max();
    if (dt > 1e11) return std::numeric_limits<int64_t>::max() - 1;
    if (dt < -1e11) return std::numeric_limits<int64_t>::min();
    double day = std::trunc(dt);
    int64_t ms = std::llround(std::fabs(dt - day) * static_cast<double>(MsPerDay));
    if (ms >= MsPerDay) ms = MsPerDay - 1;
    return static_cast<int64_t>(day) * MsPerDay + ms;
}

// The key counted in whole units (days, minutes...), rounded down also
// before 1899, so that two keys in the same unit compare equal.
inline int64_t TruncateDateTimeKey(int64_t key, int64_t unit) {
    if (unit <= 1) return key;
    int64_t q = key / unit;
    if (key % unit != 0 && key < 0) --q;
    return q;
}

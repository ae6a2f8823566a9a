#pragma once

// dBase II tables for the tests and the fuzz targets' seeds. The project
// writes no dBase II tables; these are made from dBase III ones that its
// writer wrote.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace dbftest {

// A dBase II table with the fields and records of a dBase III table that
// the project's writer made (C, N and L fields only, at most 32): the
// older header layout, with the records after the room for 32 descriptors,
// or right after the terminator when `compact`.
inline std::string DBase2Of(const std::string& dbase3, bool compact = false) {
    auto le16 = [&](size_t at) {
        return static_cast<unsigned>(static_cast<uint8_t>(dbase3[at]) |
                                     (static_cast<uint8_t>(dbase3[at + 1]) << 8));
    };
    const size_t headerLength = le16(8);
    const size_t fields = (headerLength - 33) / 32;
    std::string h(compact ? 8 + 16 * fields + 1 : 8 + 32 * 16 + 1, '\0');
    h[0] = 0x02;
    h[1] = dbase3[4], h[2] = dbase3[5]; // the count, in 16 bits
    h[3] = dbase3[2], h[4] = dbase3[3], h[5] = dbase3[1];
    h[6] = dbase3[10], h[7] = dbase3[11];
    for (size_t i = 0; i < fields; ++i) {
        const char* from = dbase3.data() + 32 + 32 * i;
        char* to = h.data() + 8 + 16 * i;
        std::copy(from, from + 11, to); // the name
        to[11] = from[11];              // the type
        to[12] = from[16];              // the length
        to[13] = from[12], to[14] = from[13];
        to[15] = from[17]; // the decimals
    }
    if (fields < 32) h[8 + 16 * fields] = 0x0D;
    return h + dbase3.substr(headerLength);
}

} // namespace dbftest

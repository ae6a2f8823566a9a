#pragma once
// The benchmarks' dBase table: C20 C40 N10 N12.2 D L and, when asked, a
// sparse memo, filled from a fixed xorshift sequence so every run writes
// the same bytes.
#include "data/FormatSettings.h"
#include "data/DbfWriter.h"
#include "data/Value.h"

#include <cstdint>
#include <string>
#include <vector>

inline TDbfFieldSpec BenchField(const char* name, char type, int length = 0, int decimals = 0) {
    TDbfFieldSpec s;
    s.Name = name;
    s.Type = type;
    s.Length = length;
    s.Decimals = decimals;
    return s;
}

// memo: add the NOTE memo (every tenth record has one); deletes: mark
// every thousandth record deleted.
inline void WriteBenchTable(const std::string& path, long records, bool memo, bool deletes) {
    static const char* const names[] = {"Ann Berg",   "Bob Král",   "Cid Moreau", "Dora Lind",
                                        "Eve Santos", "Finn Olsen", "Gia Rossi",  "Hugo Weber"};
    static const char* const cities[] = {"Oslo", "Praha", "Lima", "Rome", "København", "Lyon"};
    std::vector<TDbfFieldSpec> fields = {BenchField("NAME", 'C', 20),     BenchField("CITY", 'C', 40),
                                         BenchField("QTY", 'N', 10),      BenchField("PRICE", 'N', 12, 2),
                                         BenchField("SINCE", 'D'),        BenchField("ACTIVE", 'L')};
    if (memo) fields.push_back(BenchField("NOTE", 'M'));
    TDbfWriter w(path, dvDBase3, fields);
    const double firstDay = EncodeDate(1990, 1, 1);
    std::vector<TValue> row(fields.size());
    uint64_t x = 88172645463325252ull;
    std::string text;
    for (long i = 0; i < records; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        text = names[x % 8];
        text += ' ';
        text += std::to_string(i % 1000);
        row[0].SetText(text);
        row[1].SetText(cities[(x >> 8) % 6]);
        row[2].SetInt(static_cast<int64_t>((x >> 16) % 5000000) - 1000000);
        row[3].SetFloat(static_cast<double>(static_cast<int64_t>((x >> 24) % 20000000) - 5000000) /
                        100.0);
        row[4].SetDateTime(firstDay + static_cast<double>((x >> 32) % 12000));
        if ((x >> 40) % 10 == 0)
            row[5].SetNull();
        else
            row[5].SetBool(((x >> 44) & 1) != 0);
        if (memo) {
            // Memo columns are mostly sparse.
            if (i % 10 == 0)
                row[6].SetText("Note for record " + std::to_string(i + 1) + ": call back in spring.");
            else
                row[6].SetNull();
        }
        w.AddRecord(row, deletes && i % 1000 == 999);
    }
    w.Finish();
}

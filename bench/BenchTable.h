#pragma once
// The benchmarks' tables, filled from a fixed xorshift sequence so every run
// holds the same values: a dBase table (C20 C40 N10 N12.2 D L and, when
// asked, a sparse memo) and in-memory tables of a chosen set of columns.
#include "data/base/Value.h"
#include "data/dataset/MemTable.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/locale/DateTimeFormat.h"

#include <cstdint>
#include <string>
#include <vector>

// One record's values; every table takes its columns from these.
struct TBenchRecord {
    std::string Name; // one of eight names and the record number modulo 1000
    const char* City = "";
    int64_t Id = 0; // 1, 2, 3...
    int64_t Quantity = 0;
    double Weight = 0;
    double Price = 0; // two decimals
    double Since = 0; // a date
    int Active = 0;   // 1 true, 0 false, -1 null (one record in ten)
};

class TBenchSequence {
public:
    // markupNames: names with &, < and " in them, for the exports that
    // escape those.
    explicit TBenchSequence(bool markupNames = false) : fMarkup(markupNames) {}

    const TBenchRecord& Next() {
        static const char* const names[] = {"Ann Berg",   "Bob Král",   "Cid Moreau", "Dora Lind",
                                            "Eve Santos", "Finn Olsen", "Gia Rossi",  "Hugo Weber"};
        static const char* const markup[] = {"Ann Berg & Co", "Bob Král",       "Cid <Moreau>",
                                             "Dora Lind",     "Eve \"Santos\"", "Finn Olsen",
                                             "Gia Rossi",     "Hugo Weber"};
        static const char* const cities[] = {"Oslo", "Praha", "Lima", "Rome", "København", "Lyon"};
        fX ^= fX << 13;
        fX ^= fX >> 7;
        fX ^= fX << 17;
        const uint64_t x = fX;
        fRecord.Name = (fMarkup ? markup : names)[x % 8];
        fRecord.Name += ' ';
        fRecord.Name += std::to_string(fIndex % 1000);
        fRecord.City = cities[(x >> 8) % 6];
        fRecord.Id = fIndex + 1;
        fRecord.Quantity = static_cast<int64_t>((x >> 16) % 5000000) - 1000000;
        fRecord.Weight = static_cast<double>((x >> 20) % 1000000) / 1024.0;
        fRecord.Price =
            static_cast<double>(static_cast<int64_t>((x >> 24) % 20000000) - 5000000) / 100.0;
        fRecord.Since = fFirstDay + static_cast<double>((x >> 32) % 12000);
        fRecord.Active = (x >> 40) % 10 == 0 ? -1 : static_cast<int>((x >> 44) & 1);
        ++fIndex;
        return fRecord;
    }

private:
    bool fMarkup;
    uint64_t fX = 88172645463325252ull;
    int64_t fIndex = 0;
    double fFirstDay = EncodeDate(1990, 1, 1);
    TBenchRecord fRecord;
};

inline void SetBenchActive(TValue& v, int active) {
    if (active < 0)
        v.SetNull();
    else
        v.SetBool(active != 0);
}

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
    std::vector<TDbfFieldSpec> fields = {
        BenchField("NAME", 'C', 20),     BenchField("CITY", 'C', 40), BenchField("QTY", 'N', 10),
        BenchField("PRICE", 'N', 12, 2), BenchField("SINCE", 'D'),    BenchField("ACTIVE", 'L')};
    if (memo) fields.push_back(BenchField("NOTE", 'M'));
    TDbfWriter w(path, dvDBase3, fields);
    std::vector<TValue> row(fields.size());
    TBenchSequence sequence;
    for (long i = 0; i < records; ++i) {
        const TBenchRecord& r = sequence.Next();
        row[0].SetText(r.Name);
        row[1].SetText(r.City);
        row[2].SetInt(r.Quantity);
        row[3].SetFloat(r.Price);
        row[4].SetDateTime(r.Since);
        SetBenchActive(row[5], r.Active);
        if (memo) {
            // Memo columns are mostly sparse.
            if (i % 10 == 0)
                row[6].SetText("Note for record " + std::to_string(i + 1) +
                               ": call back in spring.");
            else
                row[6].SetNull();
        }
        w.AddRecord(row, deletes && i % 1000 == 999);
    }
    w.Finish();
}

// The in-memory tables' columns, each named as below.
enum TBenchColumn {
    bcName,     // Name, string of 24
    bcCity,     // City, string of 16
    bcId,       // Id, integer
    bcQuantity, // Quantity, large integer
    bcWeight,   // Weight, float
    bcBalance,  // Balance, currency (the price)
    bcSince,    // Since, date
    bcActive    // Active, boolean
};

// Defines the columns on a closed table, opens it, appends the records and
// goes to the first.
inline void FillBenchTable(TMemTable& t, long records, const std::vector<TBenchColumn>& columns,
                           bool markupNames = false) {
    for (TBenchColumn c : columns) {
        switch (c) {
        case bcName:
            t.FieldDefs().Add("Name", ftString, 24);
            break;
        case bcCity:
            t.FieldDefs().Add("City", ftString, 16);
            break;
        case bcId:
            t.FieldDefs().Add("Id", ftInteger);
            break;
        case bcQuantity:
            t.FieldDefs().Add("Quantity", ftLargeint);
            break;
        case bcWeight:
            t.FieldDefs().Add("Weight", ftFloat);
            break;
        case bcBalance:
            t.FieldDefs().Add("Balance", ftCurrency);
            break;
        case bcSince:
            t.FieldDefs().Add("Since", ftDate);
            break;
        case bcActive:
            t.FieldDefs().Add("Active", ftBoolean);
            break;
        }
    }
    t.Open();
    std::vector<TValue> row(columns.size());
    TBenchSequence sequence(markupNames);
    for (long i = 0; i < records; ++i) {
        const TBenchRecord& r = sequence.Next();
        for (size_t f = 0; f < columns.size(); ++f) {
            TValue& v = row[f];
            switch (columns[f]) {
            case bcName:
                v.SetText(r.Name);
                break;
            case bcCity:
                v.SetText(r.City);
                break;
            case bcId:
                v.SetInt(r.Id);
                break;
            case bcQuantity:
                v.SetInt(r.Quantity);
                break;
            case bcWeight:
                v.SetFloat(r.Weight);
                break;
            case bcBalance:
                v.SetFloat(r.Price);
                break;
            case bcSince:
                v.SetDateTime(r.Since);
                break;
            case bcActive:
                SetBenchActive(v, r.Active);
                break;
            }
        }
        t.AppendRecord(row);
    }
    t.First();
}

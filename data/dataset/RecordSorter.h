#pragma once

#include "data/base/Value.h"
#include "data/dataset/DataSet.h"

#include <cstdint>
#include <functional>
#include <vector>

// Orders record numbers by sort keys. Each key's values are read once per
// record into compact arrays (numbers as order-preserving 64-bit keys, texts
// in one pooled buffer with offsets); the sort then moves 24-byte items that
// carry the first key's leading bytes and compares the arrays, never asking
// the table again. Records with equal keys keep their order.
//
// Order: null before every value (after it when descending); numbers by
// value; dates and times chronologically; texts byte by byte in UTF-8, or
// by the bytes of their Unicode case folds (data/base/CaseFold.h) when the key is
// case-insensitive; each text is folded once, as its key is read.
class TRecordSorter {
public:
    using TValueReader = std::function<void(uint32_t rec, int fieldNo, TValue& out)>;
    // How far a long sort is: the keys read so far of all to read (records
    // times keys), every 65,536; then all of them once more, before the
    // records are put in order. Never called for fewer records.
    using TSortStep = std::function<void(size_t done, size_t total)>;
    static void Sort(std::vector<uint32_t>& records, const std::vector<TSortKey>& keys,
                     const TValueReader& read, const TSortStep& step = {});

    // Where `rec` belongs in `records`, which Sort ordered by `keys` (or
    // which was kept so): after every record that sorts before it or has
    // equal keys and a lower number, by a binary search that reads the keys
    // of about log2(n) records.
    static size_t InsertPosition(const std::vector<uint32_t>& records, uint32_t rec,
                                 const std::vector<TSortKey>& keys, const TValueReader& read);
    // The order of two values of one key, as Sort orders them (ascending).
    static int CompareValues(const TValue& a, const TValue& b, bool caseInsensitive);
};

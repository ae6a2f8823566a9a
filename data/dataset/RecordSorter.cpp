#include "data/dataset/RecordSorter.h"

#include "data/base/CaseFold.h"
#include "data/base/DateTimeKey.h"
#include "data/base/TextUtils.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
constexpr uint64_t SignBit = 1ull << 63;

uint64_t IntKey(int64_t v) {
    return static_cast<uint64_t>(v) ^ SignBit;
}

uint64_t DoubleKey(double d) {
    if (d == 0) d = 0.0; // -0 and +0 are one value
    if (std::isnan(d)) return ~0ull;
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return (bits & SignBit) ? ~bits : (bits | SignBit);
}

enum : uint8_t { kNull = 0, kInt = 1, kFloat = 2, kBool = 4, kDate = 8, kText = 16 };

// One key's values, by the record's index in the input.
struct TKeyColumn {
    enum TKind : uint8_t { Number, Text, Mixed } Kind = Text;
    bool Descending = false;
    bool CaseInsensitive = false;
    std::vector<uint8_t> Kinds; // kNull ... per record
    std::vector<uint64_t> Num;  // Number: order-preserving keys
    std::string Pool;           // Text: the texts one after the other (folded: case-insensitive)
    std::vector<uint64_t> Offs; // Text: record i is Pool[Offs[i], Offs[i+1])
    size_t Common = 0;          // Text: leading bytes that all texts share
    std::vector<TValue> Values; // Mixed: texts and numbers in one key

    bool IsNull(size_t i) const { return Kinds[i] == kNull; }
    std::string_view TextAt(size_t i) const {
        size_t b = static_cast<size_t>(Offs[i]), e = static_cast<size_t>(Offs[i + 1]);
        b = std::min(b + Common, e);
        return std::string_view(Pool).substr(b, e - b);
    }
    // Ascending comparison of two records' values.
    int Compare(size_t a, size_t b) const {
        bool na = IsNull(a), nb = IsNull(b);
        if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
        switch (Kind) {
        case Number:
            return Num[a] < Num[b] ? -1 : (Num[a] > Num[b] ? 1 : 0);
        case Text: {
            int c = TextAt(a).compare(TextAt(b));
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        case Mixed:
            return CompareMixed(Values[a], Values[b]);
        }
        return 0;
    }
    // Numbers before texts; numbers by value, texts as texts.
    int CompareMixed(const TValue& x, const TValue& y) const {
        bool tx = x.Kind == TValueKind::Text || x.Kind == TValueKind::Bytes;
        bool ty = y.Kind == TValueKind::Text || y.Kind == TValueKind::Bytes;
        if (tx != ty) return tx ? 1 : -1;
        if (tx) {
            if (CaseInsensitive) return CompareText(x.Text, y.Text);
            int c = x.Text.compare(y.Text);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        uint64_t kx = NumberKey(x), ky = NumberKey(y);
        return kx < ky ? -1 : (kx > ky ? 1 : 0);
    }
    static uint64_t NumberKey(const TValue& v) {
        switch (v.Kind) {
        case TValueKind::Integer:
            return DoubleKey(static_cast<double>(v.Int));
        case TValueKind::Boolean:
            return DoubleKey(v.Bool ? 1 : 0);
        default:
            return DoubleKey(v.Float);
        }
    }
};

// `done` and `total` count the keys of the whole sort, for its step.
void Extract(TKeyColumn& col, const std::vector<uint32_t>& records, int fieldNo,
             const TRecordSorter::TValueReader& read, const TRecordSorter::TSortStep& step,
             size_t done, size_t total) {
    const size_t n = records.size();
    col.Kinds.assign(n, kNull);
    uint8_t seen = 0;
    TValue v;
    // In steps of 65,536 records, the inner loop free of the count.
    for (size_t from = 0; from < n; from += 0x10000) {
        if (from > 0 && step) step(done + from, total);
        const size_t to = std::min(n, from + 0x10000);
        for (size_t i = from; i < to; ++i) {
            read(records[i], fieldNo, v);
            uint8_t kind = kNull;
            uint64_t payload = 0;
            switch (v.Kind) {
            case TValueKind::Null:
                break;
            case TValueKind::Integer:
                kind = kInt, payload = static_cast<uint64_t>(v.Int);
                break;
            case TValueKind::Float:
                kind = kFloat, std::memcpy(&payload, &v.Float, 8);
                break;
            case TValueKind::DateTime:
                kind = kDate, std::memcpy(&payload, &v.Float, 8);
                break;
            case TValueKind::Boolean:
                kind = kBool, payload = v.Bool ? 1 : 0;
                break;
            case TValueKind::Text:
            case TValueKind::Bytes:
                kind = kText;
                break;
            }
            col.Kinds[i] = kind;
            seen |= kind;
            if (kind == kText) {
                if (col.Offs.empty()) {
                    col.Offs.reserve(n + 1);
                    col.Offs.assign(i + 1, 0);
                }
                // Grown by the size the texts so far promise for all records (at
                // least by half): a doubling copy of a large pool would briefly
                // hold it twice over.
                if (col.Pool.size() + v.Text.size() > col.Pool.capacity()) {
                    size_t need = col.Pool.size() + v.Text.size();
                    size_t promise =
                        static_cast<size_t>(static_cast<double>(need) / (i + 1) * n * 1.05);
                    col.Pool.reserve(std::max({need, promise, col.Pool.capacity() / 2 * 3}));
                }
                // Folded once here, so that the sort compares bytes.
                if (col.CaseInsensitive)
                    AppendCaseFold(col.Pool, v.Text);
                else
                    col.Pool.append(v.Text);
            } else if (kind != kNull) {
                if (col.Num.empty()) col.Num.assign(n, 0);
                col.Num[i] = payload;
            }
            if (!col.Offs.empty()) col.Offs.push_back(col.Pool.size());
        }
    }
    if ((seen & kText) && (seen & ~kText)) {
        // Texts and numbers in one key: rare enough to keep whole values.
        col.Kind = TKeyColumn::Mixed;
        col.Pool.clear();
        col.Pool.shrink_to_fit();
        col.Offs = {};
        col.Num = {};
        col.Values.resize(n);
        for (size_t i = 0; i < n; ++i)
            read(records[i], fieldNo, col.Values[i]);
        return;
    }
    if (seen & ~kText) {
        col.Kind = TKeyColumn::Number;
        for (size_t i = 0; i < n; ++i) {
            uint8_t k = col.Kinds[i];
            if (k == kNull) continue;
            uint64_t& p = col.Num[i];
            double d;
            std::memcpy(&d, &p, 8);
            if (seen == kInt)
                p = IntKey(static_cast<int64_t>(p));
            else if (seen == kDate)
                p = IntKey(DateTimeKey(d));
            else if (seen == kBool)
                ; // 0 and 1 already order
            else if (k == kInt)
                p = DoubleKey(static_cast<double>(static_cast<int64_t>(p)));
            else if (k == kBool)
                p = DoubleKey(static_cast<double>(p));
            else
                p = DoubleKey(d);
        }
        return;
    }
    col.Kind = TKeyColumn::Text;
    if (col.Offs.empty()) col.Offs.assign(n + 1, 0);
    // The bytes that every text starts with decide nothing; the prefixes
    // then hold the bytes that do ("Customer 000123" keeps "000123").
    bool first = true;
    std::string_view common;
    size_t len = 0;
    for (size_t i = 0; i < n && (first || len > 0); ++i) {
        if (col.IsNull(i)) continue;
        std::string_view t = col.TextAt(i);
        if (first) {
            common = t;
            len = t.size();
            first = false;
            continue;
        }
        size_t k = 0, m = std::min(len, t.size());
        while (k < m && common[k] == t[k])
            ++k;
        len = k;
    }
    col.Common = len;
}

// Texts are compared 16 bytes at a time: most keys differ within their
// first 16 bytes (after the start they all share), so one round of integer
// comparisons orders them without touching the texts again.
constexpr size_t WindowBytes = 16;
constexpr uint32_t MoreToRead = WindowBytes + 1;

struct TItem {
    uint64_t Hi, Lo; // the key's bytes (texts: the window at the current depth)
    uint32_t Index;  // the record's place in the input
    uint32_t Aux;    // texts: how many bytes are left (MoreToRead: beyond the window)
};

struct TItemLess {
    bool operator()(const TItem& a, const TItem& b) const {
        if (a.Hi != b.Hi) return a.Hi < b.Hi;
        if (a.Lo != b.Lo) return a.Lo < b.Lo;
        if (a.Aux != b.Aux) return a.Aux < b.Aux;
        return a.Index < b.Index; // equal keys keep their order
    }
};

bool SameKey(const TItem& a, const TItem& b) {
    return a.Hi == b.Hi && a.Lo == b.Lo && a.Aux == b.Aux;
}

// Sorts items that agree on the keys before `key` by that key and the ones
// after it: integer keys first, then runs of equal keys one level deeper.
// Texts go a window of bytes at a time (a most-significant-digit radix order with
// std::sort per digit), so long shared starts cost integer comparisons, not
// text comparisons.
class TSortRun {
public:
    TSortRun(std::vector<TItem>& items, const std::vector<TKeyColumn>& cols)
        : fItems(items), fCols(cols) {}

    void Sort(size_t lo, size_t hi, size_t key) {
        if (hi - lo < 2) return;
        TItem* first = fItems.data() + lo;
        TItem* last = fItems.data() + hi;
        if (key == fCols.size()) {
            std::sort(first, last,
                      [](const TItem& a, const TItem& b) { return a.Index < b.Index; });
            return;
        }
        const TKeyColumn& col = fCols[key];
        // Nulls first, or last when descending; among themselves by the next keys.
        TItem* split = std::partition(
            first, last, [&](const TItem& it) { return col.IsNull(it.Index) != col.Descending; });
        size_t mid = lo + static_cast<size_t>(split - first);
        size_t nullLo = col.Descending ? mid : lo, nullHi = col.Descending ? hi : mid;
        size_t valLo = col.Descending ? lo : mid, valHi = col.Descending ? mid : hi;
        Sort(nullLo, nullHi, key + 1);
        switch (col.Kind) {
        case TKeyColumn::Number:
            SortNumbers(valLo, valHi, key);
            break;
        case TKeyColumn::Text:
            SortTexts(valLo, valHi, key);
            break;
        case TKeyColumn::Mixed:
            SortMixed(valLo, valHi, key);
            break;
        }
    }

private:
    void SortNumbers(size_t lo, size_t hi, size_t key) {
        const TKeyColumn& col = fCols[key];
        for (size_t i = lo; i < hi; ++i) {
            uint64_t p = col.Num[fItems[i].Index];
            fItems[i].Hi = col.Descending ? ~p : p;
            fItems[i].Lo = 0;
            fItems[i].Aux = 0;
        }
        std::sort(fItems.data() + lo, fItems.data() + hi, TItemLess());
        NextKeyOnRuns(lo, hi, key);
    }

    void SortTexts(size_t lo, size_t hi, size_t key) {
        const TKeyColumn& col = fCols[key];
        struct TTask {
            size_t Lo, Hi, Offset;
        };
        std::vector<TTask> tasks{{lo, hi, col.Common}};
        while (!tasks.empty()) {
            TTask t = tasks.back();
            tasks.pop_back();
            for (size_t i = t.Lo; i < t.Hi; ++i)
                Window(fItems[i], col, t.Offset);
            std::sort(fItems.data() + t.Lo, fItems.data() + t.Hi, TItemLess());
            for (size_t a = t.Lo; a < t.Hi;) {
                size_t b = a + 1;
                while (b < t.Hi && SameKey(fItems[a], fItems[b]))
                    ++b;
                if (b - a > 1) {
                    uint32_t left = col.Descending ? MoreToRead - fItems[a].Aux : fItems[a].Aux;
                    if (left == MoreToRead) // equal so far, more to read
                        tasks.push_back({a, b, t.Offset + WindowBytes});
                    else
                        Sort(a, b, key + 1); // equal texts
                }
                a = b;
            }
        }
    }

    // The window of bytes at `offset` and how many bytes are left from there.
    static void Window(TItem& it, const TKeyColumn& col, size_t offset) {
        size_t b = static_cast<size_t>(col.Offs[it.Index]) + offset;
        size_t e = static_cast<size_t>(col.Offs[it.Index + 1]);
        size_t left = e > b ? e - b : 0;
        uint64_t w[2] = {0, 0};
        for (size_t k = 0; k < WindowBytes; ++k) {
            unsigned char c = k < left ? static_cast<unsigned char>(col.Pool[b + k]) : 0;
            w[k / 8] = (w[k / 8] << 8) | c;
        }
        uint32_t clamp = left > WindowBytes ? MoreToRead : static_cast<uint32_t>(left);
        it.Hi = col.Descending ? ~w[0] : w[0];
        it.Lo = col.Descending ? ~w[1] : w[1];
        it.Aux = col.Descending ? MoreToRead - clamp : clamp;
    }

    void SortMixed(size_t lo, size_t hi, size_t key) {
        const TKeyColumn& col = fCols[key];
        std::sort(fItems.data() + lo, fItems.data() + hi, [&](const TItem& a, const TItem& b) {
            int c = col.Compare(a.Index, b.Index);
            if (c != 0) return col.Descending ? c > 0 : c < 0;
            return a.Index < b.Index;
        });
        for (size_t a = lo; a < hi;) {
            size_t b = a + 1;
            while (b < hi && col.Compare(fItems[a].Index, fItems[b].Index) == 0)
                ++b;
            Sort(a, b, key + 1);
            a = b;
        }
    }

    void NextKeyOnRuns(size_t lo, size_t hi, size_t key) {
        if (key + 1 == fCols.size()) return; // already by index within equal keys
        for (size_t a = lo; a < hi;) {
            size_t b = a + 1;
            while (b < hi && SameKey(fItems[a], fItems[b]))
                ++b;
            Sort(a, b, key + 1);
            a = b;
        }
    }

    std::vector<TItem>& fItems;
    const std::vector<TKeyColumn>& fCols;
};
} // namespace

void TRecordSorter::Sort(std::vector<uint32_t>& records, const std::vector<TSortKey>& keys,
                         const TValueReader& read, const TSortStep& step) {
    if (keys.empty() || records.size() < 2) return;
    const size_t n = records.size();
    std::vector<TKeyColumn> cols(keys.size());
    const size_t total = n * keys.size();
    for (size_t k = 0; k < keys.size(); ++k) {
        cols[k].Descending = keys[k].Descending;
        cols[k].CaseInsensitive = keys[k].CaseInsensitive;
        Extract(cols[k], records, keys[k].FieldNo, read, step, k * n, total);
    }
    if (step && n > 0xFFFF) step(total, total);
    std::vector<TItem> items(n);
    for (size_t i = 0; i < n; ++i)
        items[i] = TItem{0, 0, static_cast<uint32_t>(i), 0};
    TSortRun(items, cols).Sort(0, n, 0);
    std::vector<uint32_t> sorted(n);
    for (size_t i = 0; i < n; ++i)
        sorted[i] = records[items[i].Index];
    records.swap(sorted);
}

int TRecordSorter::CompareValues(const TValue& a, const TValue& b, bool caseInsensitive) {
    const bool na = a.IsNull(), nb = b.IsNull();
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    const bool ta = a.Kind == TValueKind::Text || a.Kind == TValueKind::Bytes;
    const bool tb = b.Kind == TValueKind::Text || b.Kind == TValueKind::Bytes;
    if (ta != tb) return ta ? 1 : -1; // numbers before texts, as in a mixed key
    if (ta) {
        if (caseInsensitive) return CompareText(a.Text, b.Text);
        int c = a.Text.compare(b.Text);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    uint64_t ka, kb;
    if (a.Kind == b.Kind && a.Kind == TValueKind::Integer) {
        ka = IntKey(a.Int), kb = IntKey(b.Int);
    } else if (a.Kind == b.Kind && a.Kind == TValueKind::DateTime) {
        ka = IntKey(DateTimeKey(a.Float)), kb = IntKey(DateTimeKey(b.Float));
    } else {
        ka = TKeyColumn::NumberKey(a), kb = TKeyColumn::NumberKey(b);
    }
    return ka < kb ? -1 : (ka > kb ? 1 : 0);
}

size_t TRecordSorter::InsertPosition(const std::vector<uint32_t>& records, uint32_t rec,
                                     const std::vector<TSortKey>& keys, const TValueReader& read) {
    std::vector<TValue> mine(keys.size());
    for (size_t k = 0; k < keys.size(); ++k)
        read(rec, keys[k].FieldNo, mine[k]);
    TValue other;
    // Whether `rec` goes before records[i].
    auto before = [&](uint32_t o) {
        for (size_t k = 0; k < keys.size(); ++k) {
            read(o, keys[k].FieldNo, other);
            int c = CompareValues(mine[k], other, keys[k].CaseInsensitive);
            if (keys[k].Descending) c = -c;
            if (c != 0) return c < 0;
        }
        return rec < o; // equal keys keep the records' order
    };
    size_t lo = 0, hi = records.size();
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (before(records[mid]))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

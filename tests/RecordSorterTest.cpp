#include "data/dataset/RecordSorter.h"
#include "data/base/DateTimeKey.h"
#include "data/base/TextUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {
using Rows = std::vector<std::vector<TValue>>;

std::vector<uint32_t> Sorted(const Rows& rows, std::vector<TSortKey> keys) {
    std::vector<uint32_t> recs(rows.size());
    for (uint32_t i = 0; i < recs.size(); ++i)
        recs[i] = i;
    TRecordSorter::Sort(
        recs, keys, [&](uint32_t r, int f, TValue& out) { out = rows[r][static_cast<size_t>(f)]; });
    return recs;
}

TSortKey Key(int field, bool desc = false, bool ci = false) {
    TSortKey k;
    k.FieldNo = field;
    k.Descending = desc;
    k.CaseInsensitive = ci;
    return k;
}

Rows Column(const std::vector<TValue>& values) {
    Rows rows;
    for (const TValue& v : values)
        rows.push_back({v});
    return rows;
}

// The plain comparison the sorter must agree with.
int Reference(const TValue& a, const TValue& b, bool ci) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() == b.IsNull() ? 0 : (a.IsNull() ? -1 : 1);
    if (a.Kind == TValueKind::Text) {
        int c = ci ? CompareText(a.Text, b.Text) : a.Text.compare(b.Text);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (a.Kind == TValueKind::Integer) return a.Int < b.Int ? -1 : (a.Int > b.Int ? 1 : 0);
    return a.Float < b.Float ? -1 : (a.Float > b.Float ? 1 : 0);
}
} // namespace

TEST(RecordSorter, EqualKeysKeepTheirOrderAndNullsGoFirstOrLast) {
    Rows rows = {{TValue::OfInt(2), TValue::OfText("a")}, {TValue(), TValue::OfText("b")},
                 {TValue::OfInt(1), TValue::OfText("c")}, {TValue::OfInt(2), TValue::OfText("d")},
                 {TValue(), TValue::OfText("e")},         {TValue::OfInt(1), TValue::OfText("f")}};
    EXPECT_EQ(Sorted(rows, {Key(0)}), (std::vector<uint32_t>{1, 4, 2, 5, 0, 3}));
    EXPECT_EQ(Sorted(rows, {Key(0, true)}), (std::vector<uint32_t>{0, 3, 2, 5, 1, 4}));
    EXPECT_EQ(Sorted(rows, {Key(0, true), Key(1, true)}),
              (std::vector<uint32_t>{3, 0, 5, 2, 4, 1}));
}

TEST(RecordSorter, NumbersInFullRange) {
    const int64_t lo = std::numeric_limits<int64_t>::min(),
                  hi = std::numeric_limits<int64_t>::max();
    EXPECT_EQ(
        Sorted(Column({TValue::OfInt(hi), TValue::OfInt(-1), TValue::OfInt(lo), TValue::OfInt(0)}),
               {Key(0)}),
        (std::vector<uint32_t>{2, 1, 3, 0}));
    const double inf = std::numeric_limits<double>::infinity();
    // -0 and +0 are one value, so they keep their order; NaN goes last.
    EXPECT_EQ(Sorted(Column({TValue::OfFloat(0.0), TValue::OfFloat(std::nan("")),
                             TValue::OfFloat(-0.0), TValue::OfFloat(-inf), TValue::OfFloat(1e-300),
                             TValue::OfFloat(-2.5), TValue::OfFloat(inf)}),
                     {Key(0)}),
              (std::vector<uint32_t>{3, 5, 0, 2, 4, 6, 1}));
    // Whole and fractional numbers in one key compare by value.
    EXPECT_EQ(Sorted(Column({TValue::OfFloat(2.5), TValue::OfInt(2), TValue::OfInt(3),
                             TValue::OfBool(true)}),
                     {Key(0)}),
              (std::vector<uint32_t>{3, 1, 0, 2}));
}

TEST(RecordSorter, DatesInTimeOrderAlsoBefore1899) {
    // -1.25 is 29 Dec 1899 06:00 and -1.5 is 12:00 of that day: by time,
    // although -1.25 is the larger double.
    EXPECT_EQ(Sorted(Column({TValue::OfDateTime(-1.5), TValue::OfDateTime(0.5),
                             TValue::OfDateTime(-1.25), TValue::OfDateTime(-2)}),
                     {Key(0)}),
              (std::vector<uint32_t>{3, 2, 0, 1}));
    EXPECT_LT(DateTimeKey(-1.25), DateTimeKey(-1.5));
    EXPECT_EQ(TruncateDateTimeKey(DateTimeKey(-1.25), 86400000), -1);
}

TEST(RecordSorter, TextsBeyondTheirCommonStartAndFirstEightBytes) {
    EXPECT_EQ(Sorted(Column({TValue::OfText("Customer 000123"), TValue::OfText("Customer 000023"),
                             TValue::OfText("Customer 0001230"), TValue::OfText("Customer 00012")}),
                     {Key(0)}),
              (std::vector<uint32_t>{1, 3, 0, 2}));
    EXPECT_EQ(Sorted(Column({TValue::OfText("abcdefghZ"), TValue::OfText("abcdefghA"),
                             TValue::OfText(std::string("ab\0", 3)), TValue::OfText("ab")}),
                     {Key(0)}),
              (std::vector<uint32_t>{3, 2, 1, 0}));
    // All equal, all empty, one text only.
    EXPECT_EQ(Sorted(Column({TValue::OfText("x"), TValue::OfText("x")}), {Key(0, true)}),
              (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(Sorted(Column({TValue::OfText(""), TValue(), TValue::OfText("")}), {Key(0)}),
              (std::vector<uint32_t>{1, 0, 2}));
}

TEST(RecordSorter, CaseInsensitiveOrdersByTheFoldedTexts) {
    Rows rows = Column({TValue::OfText("b"), TValue::OfText("A"), TValue::OfText("a"),
                        TValue::OfText("B"), TValue::OfText("_")});
    EXPECT_EQ(Sorted(rows, {Key(0)}), (std::vector<uint32_t>{1, 3, 4, 2, 0}));
    // Folded to lower case, '_' (0x5F) comes before the letters.
    EXPECT_EQ(Sorted(rows, {Key(0, false, true)}), (std::vector<uint32_t>{4, 1, 2, 0, 3}));
    EXPECT_EQ(Sorted(rows, {Key(0, true, true)}), (std::vector<uint32_t>{0, 3, 1, 2, 4}));
    // Every alphabet folds; the folds order by code point, and texts that
    // fold alike (Анна and анна, Straße and STRASSE) keep their order.
    rows = Column({TValue::OfText("Яна"), TValue::OfText("анна"), TValue::OfText("Анна"),
                   TValue::OfText("ωμέγα"), TValue::OfText("Ärger"), TValue::OfText("zebra"),
                   TValue::OfText("STRASSE"), TValue::OfText("Straße"), TValue::OfText("Σοφία"),
                   TValue::OfText("σοφία")});
    EXPECT_EQ(Sorted(rows, {Key(0, false, true)}),
              (std::vector<uint32_t>{6, 7, 5, 4, 8, 9, 3, 1, 2, 0}));
    EXPECT_EQ(Sorted(rows, {Key(0, true, true)}),
              (std::vector<uint32_t>{0, 1, 2, 3, 8, 9, 4, 5, 6, 7}));
    EXPECT_EQ(Sorted(rows, {Key(0)}), (std::vector<uint32_t>{6, 7, 5, 4, 8, 9, 3, 2, 0, 1}))
        << "case-sensitive: by the bytes as stored";
}

// Texts of many alphabets, with long shared starts, letters whose folds
// change length and bytes that are not UTF-8: the sort and the binary
// search agree with comparing one pair at a time.
TEST(RecordSorter, CaseInsensitiveAgreesWithCompareTextOnMixedAlphabets) {
    const std::vector<std::string> pieces = {"a", "A", "s", "S", "ß", "ẞ",  "Σ",    "σ",    "ς",
                                             "Ж", "ж", "É", "é", "ΐ", "中", "\xFF", "\xC3", "\xA9"};
    std::mt19937 rng(5);
    auto read = [](const Rows& rows) {
        return [&rows](uint32_t r, int f, TValue& out) { out = rows[r][static_cast<size_t>(f)]; };
    };
    for (int round = 0; round < 40; ++round) {
        const size_t n = 1 + rng() % 200;
        Rows rows(n);
        for (auto& r : rows) {
            std::string s = rng() % 2 ? "Общий префикс " : "ОБЩИЙ ПРЕФИКС ";
            if (rng() % 3 == 0) s.clear();
            for (int i = 0, len = static_cast<int>(rng() % 8); i < len; ++i)
                s += pieces[rng() % pieces.size()];
            r.push_back(rng() % 10 == 0 ? TValue() : TValue::OfText(s));
        }
        const bool desc = rng() % 2;
        std::vector<TSortKey> keys = {Key(0, desc, true)};
        std::vector<uint32_t> expected(n);
        for (uint32_t i = 0; i < n; ++i)
            expected[i] = i;
        std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) {
            int c = Reference(rows[a][0], rows[b][0], true);
            return desc ? c > 0 : c < 0;
        });
        const std::vector<uint32_t> sorted = Sorted(rows, keys);
        ASSERT_EQ(sorted, expected) << "round " << round;
        for (size_t i = 0; i < n; i += 7) {
            std::vector<uint32_t> rest = sorted;
            rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(i));
            ASSERT_EQ(TRecordSorter::InsertPosition(rest, sorted[i], keys, read(rows)), i)
                << "round " << round << ", record " << sorted[i];
        }
    }
}

TEST(RecordSorter, TextsAndNumbersInOneKey) {
    EXPECT_EQ(Sorted(Column({TValue::OfText("b"), TValue::OfInt(5), TValue(), TValue::OfText("a"),
                             TValue::OfFloat(1.5)}),
                     {Key(0)}),
              (std::vector<uint32_t>{2, 4, 1, 3, 0}));
}

TEST(RecordSorter, AgreesWithAPlainStableSortOnRandomTables) {
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        const size_t n = 1 + rng() % 300;
        Rows rows(n);
        for (auto& r : rows) {
            // A text key with long shared starts, an integer and a float key
            // with many repeats, each with some nulls.
            if (rng() % 10 == 0)
                r.push_back(TValue());
            else {
                std::string s = rng() % 2 ? "Prefix-" : "prefix-";
                for (int i = 0, len = static_cast<int>(rng() % 12); i < len; ++i)
                    s += "aAbB\xC3\xA9"[rng() % 6];
                r.push_back(TValue::OfText(s));
            }
            r.push_back(rng() % 8 == 0 ? TValue() : TValue::OfInt(static_cast<int>(rng() % 7) - 3));
            r.push_back(rng() % 8 == 0 ? TValue() : TValue::OfFloat((rng() % 9) * 0.25 - 1));
        }
        std::vector<TSortKey> keys;
        for (int k = 0, count = 1 + static_cast<int>(rng() % 3); k < count; ++k)
            keys.push_back(Key(static_cast<int>(rng() % 3), rng() % 2, rng() % 2));
        std::vector<uint32_t> expected(n);
        for (uint32_t i = 0; i < n; ++i)
            expected[i] = i;
        std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) {
            for (const TSortKey& k : keys) {
                int c = Reference(rows[a][static_cast<size_t>(k.FieldNo)],
                                  rows[b][static_cast<size_t>(k.FieldNo)], k.CaseInsensitive);
                if (c != 0) return k.Descending ? c > 0 : c < 0;
            }
            return false;
        });
        ASSERT_EQ(Sorted(rows, keys), expected) << "round " << round;
    }
}

// A record taken out of a sorted order goes back to the same place, for
// every record of random tables, so that a posted record lands where a
// full sort would put it.
TEST(RecordSorter, InsertPositionFindsWhereTheSortPutsARecord) {
    std::mt19937 rng(3);
    for (int round = 0; round < 30; ++round) {
        const size_t n = 1 + rng() % 120;
        Rows rows(n);
        for (auto& r : rows) {
            r.push_back(rng() % 9 == 0 ? TValue()
                                       : TValue::OfText(std::string(1, "aAbBc"[rng() % 5])));
            r.push_back(rng() % 9 == 0 ? TValue()
                        : rng() % 2    ? TValue::OfInt(static_cast<int>(rng() % 5) - 2)
                                       : TValue::OfFloat((rng() % 9) * 0.5 - 2));
            r.push_back(rng() % 9 == 0
                            ? TValue()
                            : TValue::OfDateTime(-700.75 + static_cast<double>(rng() % 4) * 0.5));
        }
        std::vector<TSortKey> keys;
        for (int k = 0, count = 1 + static_cast<int>(rng() % 3); k < count; ++k)
            keys.push_back(Key(static_cast<int>(rng() % 3), rng() % 2, rng() % 2));
        const std::vector<uint32_t> sorted = Sorted(rows, keys);
        auto read = [&](uint32_t r, int f, TValue& out) { out = rows[r][static_cast<size_t>(f)]; };
        for (size_t i = 0; i < n; ++i) {
            std::vector<uint32_t> rest = sorted;
            rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(i));
            ASSERT_EQ(TRecordSorter::InsertPosition(rest, sorted[i], keys, read), i)
                << "round " << round << ", record " << sorted[i];
        }
    }
}

#include "data/filter/FilterExpression.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/FormatSettings.h"
#include "tests/support/EngineTestDriver.h"
#include "tests/support/TestTables.h"

#include <gtest/gtest.h>

#include <random>

namespace {
TValue Date(int y, int m, int d) {
    return TValue::OfDateTime(EncodeDate(y, m, d));
}
TValue Time(int h, int n, int s, int ms = 0) {
    return TValue::OfDateTime(EncodeTime(h, n, s, ms));
}
TValue Stamp(int y, int m, int d, int h, int n, int s, int ms = 0) {
    return TValue::OfDateTime(EncodeDate(y, m, d) + EncodeTime(h, n, s, ms));
}
TValue S(const char* s) {
    return TValue::OfText(s);
}

std::shared_ptr<TTestTableData> FilterData() {
    auto d = std::make_shared<TTestTableData>();
    d->Fields.Add("ID", ftInteger);
    d->Fields.Add("Name", ftString, 20);
    d->Fields.Add("Customer Name", ftString, 20);
    d->Fields.Add("Amount", ftFloat);
    d->Fields.Add("Qty", ftInteger);
    d->Fields.Add("Paid", ftBoolean);
    d->Fields.Add("Born", ftDate);
    d->Fields.Add("At", ftTime);
    d->Fields.Add("Stamp", ftDateTime);
    d->Fields.Add("Notes", ftMemo);
    d->Fields.Add("Zip", ftString, 5);
    d->Fields.Add("Pic", ftGraphic);
    TValue N;
    // 1899-12-29 06:00 is the day number -1.25: before the epoch the time
    // fraction counts forward from a negative day.
    TValue beforeEpoch = TValue::OfDateTime(-1.25);
    d->Add({TValue::OfInt(1), S("Smith"), S("Smith"), TValue::OfFloat(1.5), TValue::OfInt(10),
            TValue::OfBool(true), Date(2024, 2, 29), Time(10, 30, 0),
            Stamp(2024, 2, 29, 10, 30, 15), S("alpha"), S("00123"), N});
    d->Add({TValue::OfInt(2), S("smith"), S("Jones"), TValue::OfFloat(0.1 + 0.2), TValue::OfInt(3),
            TValue::OfBool(false), Date(1999, 12, 31), Time(8, 0, 0),
            Stamp(1999, 12, 31, 23, 59, 59), S("beta"), S("12345"), N});
    d->Add({TValue::OfInt(3), S("O'Brien"), S("M\xC3\xBCller"), TValue::OfFloat(-2.25),
            TValue::OfInt(-5), TValue::OfBool(true), TValue::OfDateTime(-1), Time(23, 59, 59),
            beforeEpoch, S("gamma"), S("00124"), N});
    d->Add({TValue::OfInt(4), S("Smithers"), N, TValue::OfFloat(1234.5), TValue::OfInt(0), N, N, N,
            N, N, N, N});
    d->Add({TValue::OfInt(5), N, S("Smith Jr"), TValue::OfFloat(100), TValue::OfInt(100),
            TValue::OfBool(false), Date(2024, 3, 1), Time(0, 0, 0), Stamp(2024, 3, 1, 0, 0, 0),
            S(""), S(""), N});
    d->Add({TValue::OfInt(6), S(""), S("Zed"), TValue::OfFloat(2.0), TValue::OfInt(2),
            TValue::OfBool(true), Date(2024, 2, 28), Time(12, 0, 0),
            Stamp(2024, 2, 29, 0, 0, 0, 500), S("delta"), S("x"), N});
    return d;
}

using Ids = std::vector<int>;

Ids Matches(TDataSet& t, const std::string& filter) {
    t.SetFiltered(false);
    t.SetFilter(filter);
    t.SetFiltered(true);
    Ids ids;
    for (t.First(); !t.Eof(); t.Next())
        ids.push_back(t.FieldByName("ID").AsInteger());
    t.SetFiltered(false);
    return ids;
}

std::string ErrorOf(TDataSet& t, const std::string& filter) {
    try {
        Matches(t, filter);
    } catch (const EDatabaseError& e) {
        return e.what();
    }
    return "no error";
}

class FilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        table.Open();
        ado.Open();
    }
    std::shared_ptr<TTestTableData> data = FilterData();
    TTestTable table{data};
    TTestADOTable ado{data};
    // Expressions that mean the same in both dialects.
    void Both(const std::string& filter, const Ids& expected) {
        EXPECT_EQ(Matches(table, filter), expected) << "TTable: " << filter;
        EXPECT_EQ(Matches(ado, filter), expected) << "TADOTable: " << filter;
    }
};
} // namespace

TEST_F(FilterTest, ComparisonOperatorsOnNumbers) {
    Both("Qty = 10", {1});
    Both("Qty <> 10", {2, 3, 4, 5, 6});
    Both("Qty < 3", {3, 4, 6});
    Both("Qty > 3", {1, 5});
    Both("Qty <= 3", {2, 3, 4, 6});
    Both("Qty >= 3", {1, 2, 5});
    Both("Qty > -5", {1, 2, 4, 5, 6});
    Both("-5 = Qty", {3});
    Both("5 < Qty", {1, 5});
    Both("Qty = 1.5", {});
    Both("Qty < 2.5", {3, 4, 6});
    Both("Amount < 0", {3});
    Both("Amount = '1.5'", {1});
    Both("Amount = 2", {6});
    Both("Amount >= 1E2", {4, 5});
}

// Any control character separates words as a blank does, the vertical tab
// included, and one at the end of the filter is no error.
TEST_F(FilterTest, ControlCharactersAreBlanks) {
    Both("Qty\v=\v10", {1});
    Both("\x01Qty\x1F<\t3\r\n", {3, 4, 6});
    Both("Qty > 3\vAND\fAmount >= 1E2\x1A", {5});
}

TEST_F(FilterTest, FloatsCompareAsShownSoTheShownTextFindsItsRecord) {
    // 0.1 + 0.2 is stored as 0.30000000000000004 and shown as 0.3.
    Both("Amount = 0.3", {2});
    Both("Amount <> 0.3", {1, 3, 4, 5, 6});
    Both("Amount > 0.3", {1, 4, 5, 6});
    Both("Amount <= 0.3", {2, 3});
    Both("Amount = 0.30000000001", {});
    // At the ends of the double range the band would overflow: exact there.
    Both("Amount < 1.7976931348623157E308", {1, 2, 3, 4, 5, 6});
    Both("Amount = 1.7976931348623157E308", {});
    Both("Amount > 4.9E-324", {1, 2, 4, 5, 6});
}

TEST_F(FilterTest, NumbersWithTheLocalesDecimalComma) {
    TFormatSettings de = TFormatSettings::Classic();
    de.DecimalSeparator = ',';
    de.ThousandSeparator = '.';
    TScopedFormatSettings scope(de);
    Both("Amount = 1,5", {1});
    Both("Amount = -2,25", {3});
    Both("Amount = 1.5", {1});
    Both("Amount = '1,5'", {1});
    Both("Amount > 1,5 AND Amount < 100", {6});
}

TEST_F(FilterTest, LogicPrecedenceAndParentheses) {
    Both("Qty = 10 OR Qty = 3 AND Paid = True", {1});
    Both("(Qty = 10 OR Qty = 3) AND Paid = False", {2});
    Both("NOT (Qty = 10)", {2, 3, 4, 5, 6});
    Both("not qty = 10 and paid = true", {3, 6});
    Both("NOT NOT Qty = 10", {1});
    Both("((Qty = 2)) or (Qty = 0)", {4, 6});
}

TEST_F(FilterTest, StringCaseDependsOnTheDialect) {
    EXPECT_EQ(Matches(table, "Name = 'Smith'"), (Ids{1}));
    EXPECT_EQ(Matches(table, "Name = 'smith'"), (Ids{2}));
    EXPECT_EQ(Matches(ado, "Name = 'smith'"), (Ids{1, 2}));
    EXPECT_EQ(Matches(ado, "[customer name] = 'm\xC3\xBCller'"), (Ids{3}));
    EXPECT_EQ(Matches(table, "Name < 'Smith'"), (Ids{3, 6})) << "bytes: 'O' and '' sort first";
    EXPECT_EQ(Matches(table, "Name > 'Smith'"), (Ids{2, 4})) << "'s' sorts after 'S'";
    EXPECT_EQ(Matches(ado, "Name > 'Smith'"), (Ids{4}));
}

TEST_F(FilterTest, WildcardsOfEachDialect) {
    EXPECT_EQ(Matches(table, "Name = 'Sm*'"), (Ids{1, 4}));
    EXPECT_EQ(Matches(table, "Name <> 'Sm*'"), (Ids{2, 3, 6}));
    EXPECT_EQ(Matches(table, "Name = '*i*'"), (Ids{1, 2, 3, 4}));
    EXPECT_EQ(Matches(table, "Name = 'Smith?'"), (Ids{})) << "only * is a wildcard";
    EXPECT_EQ(Matches(ado, "Name = 'Sm*'"), (Ids{})) << "= compares literally";
    EXPECT_EQ(Matches(ado, "Name LIKE 'sm%'"), (Ids{1, 2, 4}));
    EXPECT_EQ(Matches(ado, "Name LIKE 'sm*'"), (Ids{1, 2, 4}));
    EXPECT_EQ(Matches(ado, "Name LIKE 'Smith?rs'"), (Ids{4}));
    EXPECT_EQ(Matches(ado, "Name LIKE '_mith'"), (Ids{1, 2}));
    EXPECT_EQ(Matches(ado, "Name NOT LIKE 'sm*'"), (Ids{3, 6}));
    EXPECT_EQ(Matches(ado, "Notes LIKE '*ta'"), (Ids{2, 6}));
    EXPECT_EQ(Matches(ado, "[Customer Name] like 'M_ller'"), (Ids{3})) << "_ is one character";
}

// Texts in other alphabets, with letters whose folds change length, and a
// text that is not valid UTF-8.
TEST(FilterCaseFold, TheConnectionStringKindIgnoresCaseInEveryAlphabet) {
    auto d = std::make_shared<TTestTableData>();
    d->Fields.Add("ID", ftInteger);
    d->Fields.Add("Name", ftString, 20);
    d->Fields.Add("Other", ftString, 20);
    d->Fields.Add("Город", ftString, 20);
    const char* rows[][3] = {{"Иван Петров", "ИВАН ПЕТРОВ", "Москва"},
                             {"иван", "Ivan", "МОСКВА"},
                             {"ΟΔΟΣ", "οδος", "Αθήνα"},
                             {"Straße", "STRASSE", "Köln"},
                             {"STRASSE", "strasse", "KÖLN"},
                             {"Ärger", "ärger", "Wien"},
                             {"bad\xFFzone", "BAD\xFFZONE", ""},
                             {"Zoë", "ZOË", "Zürich"}};
    int id = 0;
    for (auto& r : rows)
        d->Add({TValue::OfInt(++id), S(r[0]), S(r[1]), S(r[2])});
    TTestTable table(d);
    TTestADOTable ado(d);
    table.Open();
    ado.Open();

    EXPECT_EQ(Matches(ado, "Name = 'иван'"), (Ids{2}));
    EXPECT_EQ(Matches(ado, "Name = 'ИВАН'"), (Ids{2}));
    EXPECT_EQ(Matches(ado, "Name LIKE 'иван%'"), (Ids{1, 2}));
    EXPECT_EQ(Matches(ado, "Name LIKE '%петров'"), (Ids{1}));
    EXPECT_EQ(Matches(ado, "Name = 'οδος'"), (Ids{3})) << "final and other sigma are one";
    EXPECT_EQ(Matches(ado, "Name = 'ΟΔΟς'"), (Ids{3}));
    EXPECT_EQ(Matches(ado, "Name = 'strasse'"), (Ids{4, 5})) << "ß is ss";
    EXPECT_EQ(Matches(ado, "Name = 'STRAẞE'"), (Ids{4, 5}));
    EXPECT_EQ(Matches(ado, "Name <> 'strasse'"), (Ids{1, 2, 3, 6, 7, 8}));
    EXPECT_EQ(Matches(ado, "Name LIKE 'stra?e'"), (Ids{4})) << "? is one stored character";
    EXPECT_EQ(Matches(ado, "Name LIKE 'STRA%E'"), (Ids{4, 5}));
    EXPECT_EQ(Matches(ado, "Name LIKE '%ss%'"), (Ids{4, 5}));
    EXPECT_EQ(Matches(ado, "Name = 'äRGER'"), (Ids{6}));
    EXPECT_EQ(Matches(ado, "Name LIKE '_rg%'"), (Ids{6}));
    EXPECT_EQ(Matches(ado, "Name LIKE 'zo_'"), (Ids{8}));
    // In the order of the folded texts: и (U+0438) comes after а (U+0430).
    EXPECT_EQ(Matches(ado, "Name < 'а'"), (Ids{3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Matches(ado, "Name >= 'ИВАН'"), (Ids{1, 2}));
    // Bytes that are not UTF-8 compare as they are.
    EXPECT_EQ(Matches(ado, "Name = 'BAD\xFFZONE'"), (Ids{7}));
    EXPECT_EQ(Matches(ado, "Name LIKE '%\xFFz%'"), (Ids{7}));
    EXPECT_EQ(Matches(ado, "Name LIKE '%\xFEz%'"), (Ids{}));
    EXPECT_EQ(Matches(ado, "Name = Other"), (Ids{1, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(Matches(ado, "Город = 'москва'"), (Ids{1, 2})) << "field names ignore case too";
    EXPECT_EQ(Matches(ado, "[ГОРОД] LIKE 'köln'"), (Ids{4, 5}));

    // The index-ordered kind compares bytes, but finds its fields in any case.
    EXPECT_EQ(Matches(table, "Name = 'иван'"), (Ids{2}));
    EXPECT_EQ(Matches(table, "Name = 'Ив*'"), (Ids{1}));
    EXPECT_EQ(Matches(table, "Name = 'Stra*e'"), (Ids{4}));
    EXPECT_EQ(Matches(table, "Name = Other"), (Ids{}));
    EXPECT_EQ(Matches(table, "ГОРОД = 'Москва'"), (Ids{1}));
}

TEST(WildcardMatch, FoldedTextsAndStoredCharacters) {
    const auto like = TWildcardSyntax::Like;
    EXPECT_TRUE(WildcardMatch("ΣΟΦΊΑ", "σοφία", like, true));
    EXPECT_TRUE(WildcardMatch("Straße", "STRASSE", like, true));
    EXPECT_TRUE(WildcardMatch("Straße", "%SE", like, true)) << "a run may start inside ß's ss";
    EXPECT_TRUE(WildcardMatch("Straße", "stras_e", like, true));
    EXPECT_FALSE(WildcardMatch("Straße", "stra??e", like, true)) << "ß is one character";
    EXPECT_TRUE(WildcardMatch("STRASSE", "stra??e", like, true));
    EXPECT_TRUE(WildcardMatch("ΐ", "?", like, true)) << "one character that folds to three";
    EXPECT_FALSE(WildcardMatch("ΐ", "??", like, true));
    EXPECT_FALSE(WildcardMatch("Straße", "STRASSE", like, false));
    // Invalid bytes, each its own character.
    EXPECT_TRUE(WildcardMatch("A\xFF\xFEZ", "a__z", like, true));
    EXPECT_TRUE(WildcardMatch("\xC3", "_", like, true));
    EXPECT_FALSE(WildcardMatch("\xC3", "\xC3\x83", like, true));
    // A search for a text between two runs.
    EXPECT_TRUE(WildcardMatch("Straße", "%SS%", like, true));
    EXPECT_TRUE(WildcardMatch("STRASSE", "%%ße%", like, true));
    EXPECT_TRUE(WildcardMatch("STRASSE", "%ß%", like, true)) << "ß folds to ss";
    EXPECT_FALSE(WildcardMatch("STRASSE", "%ß%", like, false));
    EXPECT_TRUE(WildcardMatch("Straße", "*ß*", TWildcardSyntax::Star, false));
    EXPECT_FALSE(WildcardMatch("Straße", "*SS*", TWildcardSyntax::Star, false));
    EXPECT_FALSE(WildcardMatch("\xC3\xA9", "%\xA9%", like, true)) << "not inside a character";
    EXPECT_TRUE(WildcardMatch("abc", "%%", like, true));
    std::string text(5000, 'x');
    text += "Ж";
    EXPECT_TRUE(WildcardMatch(text, "*ж", like, true));
    EXPECT_FALSE(WildcardMatch(text, "*x*x*x*x*x*x*я", like, true));
}

TEST_F(FilterTest, NullsAndEmptyTexts) {
    Both("Name = NULL", {5});
    Both("Name = null", {5});
    Both("Name <> NULL", {1, 2, 3, 4, 6});
    Both("Paid = NULL OR Qty = 10", {1, 4});
    EXPECT_EQ(Matches(ado, "Name IS NULL"), (Ids{5}));
    EXPECT_EQ(Matches(ado, "Name IS NOT NULL"), (Ids{1, 2, 3, 4, 6}));
    EXPECT_EQ(Matches(ado, "'Customer Name' is null"), (Ids{4}));
    // The index-ordered kind treats a blank text as no value.
    EXPECT_EQ(Matches(table, "Name = ''"), (Ids{5, 6}));
    EXPECT_EQ(Matches(table, "Name <> ''"), (Ids{1, 2, 3, 4}));
    EXPECT_EQ(Matches(ado, "Name = ''"), (Ids{6}));
    // A null passes no comparison; NOT inverts the result.
    Both("Paid <> True", {2, 5});
    Both("NOT Paid = True", {2, 4, 5});
}

TEST_F(FilterTest, FieldNamesBareBracketedAndQuoted) {
    Both("'Customer Name' = 'Smith'", {1});
    Both("[Customer Name] = 'Jones'", {2});
    Both("\"Customer Name\" = 'Zed'", {6});
    Both("'Smith' = 'Customer Name'", {1});
    Both("name = [Customer Name]", {1});
    Both("Qty > Amount", {1, 2});
    Both("Born < Stamp", {1, 2, 3, 6});
    // A quoted text on the right is a value even when a field has that name.
    Both("Name = 'Name'", {});
}

// Names that fields share: the one spelt exactly as written is meant; a
// name that two fields share exactly is refused rather than bound to the
// first, whose records are not the ones asked for.
TEST(FilterFieldNames, NamesThatFieldsShare) {
    auto d = std::make_shared<TTestTableData>();
    d->Fields.Add("ID", ftInteger);
    d->Fields.Add("Name", ftString, 8);
    d->Fields.Add("NAME", ftString, 8);
    d->Fields.Add("A", ftInteger);
    d->Fields.Add("A", ftInteger);
    d->Add({TValue::OfInt(1), S("x"), S("y"), TValue::OfInt(1), TValue::OfInt(2)});
    d->Add({TValue::OfInt(2), S("y"), S("x"), TValue::OfInt(2), TValue::OfInt(1)});
    TTestTable table{d};
    TTestADOTable ado{d};
    table.Open();
    ado.Open();
    for (TDataSet* t : std::initializer_list<TDataSet*>{&table, &ado}) {
        EXPECT_EQ(Matches(*t, "Name = 'x'"), Ids{1});
        EXPECT_EQ(Matches(*t, "NAME = 'x'"), Ids{2});
        EXPECT_EQ(Matches(*t, "[NAME] = 'y'"), Ids{1});
        EXPECT_EQ(ErrorOf(*t, "name = 'x'"),
                  "Filter: the field name 'name' is ambiguous: more than one field has it at "
                  "position 1");
        EXPECT_EQ(ErrorOf(*t, "ID = 1 AND A = 1"),
                  "Filter: the field name 'A' is ambiguous: more than one field has it at "
                  "position 12");
        EXPECT_EQ(ErrorOf(*t, "[A] = 2"),
                  "Filter: the field name 'A' is ambiguous: more than one field has it at "
                  "position 1");
        EXPECT_EQ(ErrorOf(*t, "'A' = 2"),
                  "Filter: the field name 'A' is ambiguous: more than one field has it at "
                  "position 1");
        EXPECT_EQ(ErrorOf(*t, "2 = [a]"),
                  "Filter: the field name 'a' is ambiguous: more than one field has it at "
                  "position 5");
        // As a value the text is no field.
        EXPECT_EQ(Matches(*t, "Name = 'A'"), Ids{});
    }
}

TEST_F(FilterTest, QuotesInsideTexts) {
    Both("Name = 'O''Brien'", {3});
    // A quote that nobody doubled stays part of the text.
    Both("Name = 'O'Brien'", {3});
    Both("Name = 'O'Brien' OR Qty = 10", {1, 3});
    Both("(Name = 'O'Brien')", {3});
}

TEST_F(FilterTest, DatesAndTimes) {
    Both("Born = '2024-02-29'", {1});
    Both("Born = '2/29/2024'", {1});
    Both("Born < '2000-01-01'", {2, 3});
    Both("Born >= '2024-02-29'", {1, 5});
    // A date without time stands for its whole day.
    Both("Stamp = '2024-02-29'", {1, 6});
    Both("Stamp > '2024-02-29'", {5});
    Both("Stamp = '2024-02-29 10:30:15'", {1});
    Both("Stamp = '2024-02-29 10:30'", {1});
    Both("Stamp = '2024-02-29T10:30:15'", {1});
    Both("Stamp = '2024-02-29 00:00:00.500'", {6});
    Both("Stamp = '2024-02-29 00:00:00.499'", {});
    // Before 1899-12-30 the order is by time, not by the day number.
    Both("Stamp > '1899-12-29 05:00'", {1, 2, 3, 5, 6});
    Both("Stamp < '1899-12-29 12:00'", {3});
    Both("At = '10:30:00'", {1});
    Both("At = '10:30'", {1});
    Both("At > '12:00'", {3});
    Both("At >= '12:00 PM'", {3, 6});
    EXPECT_EQ(Matches(ado, "Born = #2/29/2024#"), (Ids{1}));
    EXPECT_EQ(Matches(ado, "Born = #2024-02-29#"), (Ids{1}));
    EXPECT_EQ(Matches(ado, "Stamp >= #2/29/2024 10:00#"), (Ids{1, 5}));
}

TEST_F(FilterTest, DatesInTheLocalesShortFormat) {
    TFormatSettings de = TFormatSettings::Classic();
    de.DateSeparator = '.';
    de.ShortDateFormat = "dd.mm.yyyy";
    TScopedFormatSettings scope(de);
    Both("Born = '29.02.2024'", {1});
    Both("Born = '2024-02-29'", {1});
    Both("Born < '01.01.2000'", {2, 3});
}

TEST_F(FilterTest, BooleansTextsAsNumbersAndMemos) {
    Both("Paid = True", {1, 3, 6});
    Both("Paid = false", {2, 5});
    Both("Paid = 1", {1, 3, 6});
    Both("Paid = 'Yes'", {1, 3, 6});
    Both("Paid <> False", {1, 3, 6});
    // A number against a text field compares the digits as written.
    Both("Zip = 00123", {1});
    Both("Zip = '00123'", {1});
    Both("Zip > 00123", {2, 3, 6});
    Both("Notes = 'alpha'", {1});
}

TEST(FilterNumbers, IntegersCompareExactlyOverTheWhole64Bits) {
    // A double holds integers exactly only up to 2^53: 9007199254740993 read
    // as one is 9007199254740992.
    auto d = std::make_shared<TTestTableData>();
    d->Fields.Add("ID", ftInteger);
    d->Fields.Add("Big", ftLargeint);
    d->Fields.Add("Amount", ftFloat);
    const int64_t values[] = {9007199254740992, 9007199254740993, INT64_MAX, INT64_MIN,
                              -9007199254740993};
    int id = 0;
    for (int64_t v : values)
        d->Add({TValue::OfInt(++id), TValue::OfInt(v), TValue::OfFloat(static_cast<double>(v))});
    TTestTable table{d};
    TTestADOTable ado{d};
    table.Open();
    ado.Open();
    for (TDataSet* t : {static_cast<TDataSet*>(&table), static_cast<TDataSet*>(&ado)}) {
        EXPECT_EQ(Matches(*t, "Big = 9007199254740993"), (Ids{2})) << t->ClassName();
        EXPECT_EQ(Matches(*t, "Big = 9007199254740992"), (Ids{1})) << t->ClassName();
        EXPECT_EQ(Matches(*t, "Big > 9007199254740992"), (Ids{2, 3})) << t->ClassName();
        EXPECT_EQ(Matches(*t, "Big = 9223372036854775807"), (Ids{3})) << t->ClassName();
        EXPECT_EQ(Matches(*t, "Big = -9223372036854775808"), (Ids{4})) << t->ClassName();
        EXPECT_EQ(Matches(*t, "Big <> -9007199254740993"), (Ids{1, 2, 3, 4})) << t->ClassName();
        EXPECT_EQ(Matches(*t, "Big < -9223372036854775809"), (Ids{})) << "past the range";
        EXPECT_EQ(Matches(*t, "Big >= 9.007199254740993E15"), (Ids{1, 2, 3})) << "as a double";
        // A float field keeps comparing as shown.
        EXPECT_EQ(Matches(*t, "Amount = 9007199254740993"), (Ids{1, 2})) << t->ClassName();
    }
}

TEST_F(FilterTest, ErrorsSayWhatAndWhere) {
    EXPECT_EQ(ErrorOf(table, "Amout = 5"), "Filter: unknown field 'Amout' at position 1");
    EXPECT_EQ(ErrorOf(ado, "Amount ="), "Filter: expected a value after '=' at position 8");
    EXPECT_EQ(ErrorOf(table, "Name = 'abc"),
              "Filter: the text in quotes has no closing quote at position 8");
    EXPECT_EQ(ErrorOf(table, "(Qty = 1"), "Filter: missing ')' for the '(' at position 1");
    EXPECT_EQ(ErrorOf(table, "Qty = 1 Qty = 2"),
              "Filter: expected AND or OR before 'Qty' at position 9");
    EXPECT_EQ(ErrorOf(table, "Qty = 1)"), "Filter: ')' without '(' at position 8");
    EXPECT_EQ(ErrorOf(table, "Amount = 'abc'"),
              "Filter: 'abc' is not a number for the field 'Amount' at position 10");
    EXPECT_EQ(ErrorOf(ado, "Born = 'soon'"),
              "Filter: 'soon' is not a valid date for the field 'Born' at position 8");
    EXPECT_EQ(ErrorOf(ado, "Born = 5"),
              "Filter: expected a date in quotes for the field 'Born' at position 8");
    EXPECT_EQ(ErrorOf(table, "Pic = 'x'"),
              "Filter: the field 'Pic' of type Graphic cannot be compared at position 1");
    EXPECT_EQ(ErrorOf(table, "Qty < NULL"),
              "Filter: NULL can only be compared with = or <> at position 5");
    EXPECT_EQ(ErrorOf(table, ""), "no error") << "an empty text is no filter";
    EXPECT_EQ(ErrorOf(table, "   "), "Filter: the expression is empty at position 1");
    EXPECT_EQ(ErrorOf(table, "Qty = 1 AND"),
              "Filter: expected a condition after 'AND' at position 9");
    EXPECT_EQ(ErrorOf(table, "Qty @ 1"), "Filter: unexpected character '@' at position 5");
    EXPECT_EQ(ErrorOf(table, "Name = Smith"), "Filter: unknown field 'Smith' at position 8");
    EXPECT_EQ(ErrorOf(table, "[Nope] = 1"), "Filter: unknown field 'Nope' at position 1");
    EXPECT_EQ(ErrorOf(table, "Qty"),
              "Filter: expected a comparison operator after 'Qty' at position 4");
    EXPECT_EQ(ErrorOf(table, "Qty = 1e999"),
              "Filter: the number 1e999 is out of range at position 7");
    EXPECT_EQ(ErrorOf(table, "'Smith' = 'Jones'"),
              "Filter: a condition needs a field, and 'Smith' is not a field name at position 1");
    EXPECT_EQ(ErrorOf(table, "Paid = maybe"),
              "Filter: 'maybe' is neither a field name nor a boolean value at position 8");
    EXPECT_EQ(
        ErrorOf(table, "Name IS NULL"),
        "Filter: IS is not part of this filter syntax (write = NULL or <> NULL) at position 6");
    EXPECT_EQ(ErrorOf(table, "Name LIKE 'a*'"),
              "Filter: LIKE is not part of this filter syntax (write = with * in the text) at "
              "position 6");
    EXPECT_EQ(ErrorOf(ado, "Qty LIKE '1*'"),
              "Filter: LIKE needs a text field; 'Qty' is of type Integer at position 5");
    EXPECT_EQ(ErrorOf(ado, "Name IS 5"), "Filter: expected NULL after 'IS' at position 6");
    EXPECT_EQ(ErrorOf(ado, "Born = #2024-02-29"),
              "Filter: the date has no closing # at position 8");
    EXPECT_EQ(ErrorOf(table, "Born = #2024-02-29#"),
              "Filter: unexpected character '#' at position 8")
        << "# dates belong to the connection-string kind";
    EXPECT_EQ(ErrorOf(table, "Qty = [Name]"),
              "Filter: the fields 'Qty' (Integer) and 'Name' (String) cannot be compared at "
              "position 7");
    EXPECT_EQ(ErrorOf(table, "[Qty = 1"), "Filter: the field name has no closing ] at position 1");
}

TEST_F(FilterTest, RejectedFilterLeavesTheTableAsItWas) {
    table.SetFilter("Qty > 3");
    table.SetFiltered(true);
    ASSERT_EQ(table.RecordCount(), 2);
    EXPECT_THROW(table.SetFilter("Qty >"), EDatabaseError);
    EXPECT_EQ(table.Filter(), "Qty > 3");
    EXPECT_EQ(table.RecordCount(), 2);
    table.SetFiltered(false);
    table.SetFilter("Qty >");
    EXPECT_THROW(table.SetFiltered(true), EDatabaseError);
    EXPECT_FALSE(table.Filtered());
    EXPECT_EQ(table.RecordCount(), 6);
}

TEST_F(FilterTest, GarbageNeverCrashesOrHangs) {
    const std::vector<std::string> pieces = {"Qty",        "Name",   "'Customer Name'",
                                             "[Born]",     "\"At\"", "=",
                                             "<>",         "<",      ">=",
                                             "(",          ")",      "AND",
                                             "OR",         "NOT",    "IS",
                                             "LIKE",       "NULL",   "'x'",
                                             "'",          "''",     "#",
                                             "#1/2/2024#", "1,5",    "-",
                                             "+",          "1e",     "3.",
                                             "*",          "%",      "[",
                                             "]",          "\"",     "True",
                                             "\xC3",       "\xFF",   " ",
                                             "@",          ";"};
    std::mt19937 rng(4);
    for (int n = 0; n < 3000; ++n) {
        std::string text;
        int len = static_cast<int>(rng() % 9);
        for (int i = 0; i < len; ++i)
            text += pieces[rng() % pieces.size()] + (rng() % 2 ? " " : "");
        for (TDataSet* t : {static_cast<TDataSet*>(&table), static_cast<TDataSet*>(&ado)}) {
            try {
                Matches(*t, text);
            } catch (const EDatabaseError& e) {
                EXPECT_EQ(std::string(e.what()).rfind("Filter: ", 0), 0u) << text;
            }
        }
    }
}

TEST_F(FilterTest, LongAndDeepTextsAreHandledWithoutExhaustingTheStack) {
    std::string chain = "Qty = 10";
    for (int i = 0; i < 100000; ++i)
        chain += " OR Qty = -1";
    Both(chain, {1});
    std::string nots;
    for (int i = 0; i < 100001; ++i)
        nots += "NOT ";
    Both(nots + "Qty = 10", {2, 3, 4, 5, 6});
    std::string deep(100000, '(');
    EXPECT_EQ(ErrorOf(table, deep + "Qty = 1"),
              "Filter: the expression is nested too deeply at position 201");
    std::string ok(150, '(');
    Both(ok + "Qty = 10" + std::string(150, ')'), {1});
}

TEST(WildcardMatch, PatternsOfBothSyntaxes) {
    EXPECT_TRUE(WildcardMatch("abc", "a*c", TWildcardSyntax::Star, false));
    EXPECT_TRUE(WildcardMatch("", "*", TWildcardSyntax::Star, false));
    EXPECT_FALSE(WildcardMatch("", "?", TWildcardSyntax::Like, false));
    EXPECT_TRUE(WildcardMatch("a?c", "a?c", TWildcardSyntax::Star, false)) << "? is literal with *";
    EXPECT_FALSE(WildcardMatch("abc", "a?c", TWildcardSyntax::Star, false));
    EXPECT_TRUE(WildcardMatch("abc", "a?c", TWildcardSyntax::Like, false));
    EXPECT_TRUE(WildcardMatch("ABC", "a%", TWildcardSyntax::Like, true));
    EXPECT_FALSE(WildcardMatch("ABC", "a%", TWildcardSyntax::Like, false));
    EXPECT_TRUE(WildcardMatch("M\xC3\xBCller", "M_ller", TWildcardSyntax::Like, false));
    EXPECT_FALSE(WildcardMatch("Mller", "M_ller", TWildcardSyntax::Like, false));
    EXPECT_TRUE(WildcardMatch("abcabd", "*abd", TWildcardSyntax::Star, false));
    EXPECT_FALSE(WildcardMatch("abcab", "*abd", TWildcardSyntax::Star, false));
    // Many stars over a long text that does not match: no exponential search.
    std::string text(20000, 'a');
    EXPECT_FALSE(WildcardMatch(text, "*a*a*a*a*a*a*a*a*b", TWildcardSyntax::Star, false));
}

// The filter proposed from the current cell: its text, and that both engines
// accept it and find the record it came from, for every field kind and for
// awkward names and values, in memory and in real table files.
#include "shell/FilterProposal.h"
#include "data/base/TextUtils.h"
#include "data/dataset/BooleanField.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/drivers/paradox/ParadoxWriter.h"
#include "data/drivers/text/DelimitedTableWriter.h"
#include "data/engines/ADOConnection.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/FormatSettings.h"
#include "tests/support/EngineTestDriver.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestTables.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
TValue S(const char* s) {
    return TValue::OfText(s);
}
TValue I(int64_t v) {
    return TValue::OfInt(v);
}
TValue F(double v) {
    return TValue::OfFloat(v);
}
TValue D(double v) {
    return TValue::OfDateTime(v);
}
TValue B(bool v) {
    return TValue::OfBool(v);
}

// Every kind a table can hold, under names that are not plain words, and
// values that need care: quotes, keywords, wildcards, the ends of the
// integer range, dates before 1899-12-30.
std::shared_ptr<TTestTableData> AwkwardData() {
    auto d = std::make_shared<TTestTableData>();
    d->Fields.Add("ID", ftInteger);
    d->Fields.Add("Name", ftString, 30);
    d->Fields.Add("Customer Name", ftString, 30);
    d->Fields.Add("Order#", ftSmallint);
    d->Fields.Add("Cust-No", ftFixedChar, 8);
    d->Fields.Add("1st", ftWideString, 20);
    d->Fields.Add("Not", ftWord);
    d->Fields.Add("null", ftAutoInc);
    d->Fields.Add("Big", ftLargeint);
    d->Fields.Add("O'Neil Amount", ftFloat);
    d->Fields.Add("a]b", ftCurrency);
    d->Fields.Add("Größe", ftBCD);
    d->Fields.Add("Paid", ftBoolean);
    d->Fields.Add("[Born]", ftDate);
    d->Fields.Add("At \"x\"", ftTime);
    d->Fields.Add("Stamp ]'\"", ftDateTime);
    d->Fields.Add("Code", ftGuid, 38);
    d->Fields.Add("Raw", ftBytes, 4);
    d->Fields.Add("Notes", ftMemo);
    d->Fields.Add("Pic", ftGraphic);
    TValue N;
    const double born = EncodeDate(2024, 2, 29);
    d->Add({I(1),
            S("C\xC3\xB4te d'Or"),
            S("Smith"),
            I(-32768),
            S("A-1"),
            S("x' AND y"),
            I(65535),
            I(1),
            I(9007199254740993),
            F(0.1 + 0.2),
            F(1234.56),
            F(-2.25),
            B(true),
            D(born),
            D(EncodeTime(10, 30, 15, 0)),
            D(born + EncodeTime(23, 59, 59, 0)),
            S("{8E5C4A9B-0F1D-4E21-9A3B-1C2D3E4F5A6B}"),
            TValue::OfBytes(std::string_view("\x01\x02", 2)),
            S("memo"),
            N});
    d->Add({I(2),     S("''"),  S("O'Brien"),
            I(32767), S("*"),   S("Not"),
            I(0),     I(2),     I(INT64_MAX),
            F(1e300), F(-0.01), F(123456789012.5),
            B(false), D(-1),    D(EncodeTime(0, 0, 0, 0)),
            D(-1.25), N,        N,
            N,        N});
    d->Add({I(3),
            S(""),
            S("Null"),
            N,
            S("'a'"),
            S("and"),
            N,
            I(3),
            I(INT64_MIN),
            F(-1e-300),
            N,
            N,
            N,
            D(EncodeDate(1, 1, 1)),
            D(EncodeTime(23, 59, 59, 999)),
            D(born + EncodeTime(0, 0, 0, 500)),
            N,
            N,
            N,
            N});
    d->Add({I(4),
            S("O'Brien' OR 'x'='x"),
            N,
            I(0),
            N,
            S("*son"),
            I(7),
            I(4),
            I(-9007199254740993),
            F(2.0),
            F(0),
            F(0.5),
            B(true),
            N,
            N,
            N,
            S("{00000000-0000-0000-0000-000000000000}"),
            N,
            N,
            N});
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

// Proposes a filter from every cell and applies it through the dataset's own
// engine: each must be accepted and find its record. Returns how many were
// proposed.
int CheckEveryCell(TDataSet& t) {
    int proposed = 0;
    t.SetFiltered(false);
    const int records = t.RecordCount();
    for (int rec = 1; rec <= records; ++rec) {
        t.SetRecNo(rec);
        const int id = t.FieldByName("ID").AsInteger();
        std::vector<std::pair<std::string, std::string>> filters;
        for (int i = 0; i < t.FieldCount(); ++i) {
            TField& f = t.Fields(i);
            std::string e = ProposeFilter(t, &f, "");
            if (f.IsBlob()) {
                EXPECT_EQ(e, "") << f.FieldName() << ": nothing for a BLOB";
                continue;
            }
            if (f.DataType() == ftBytes && !f.IsNull()) {
                EXPECT_EQ(e, "") << f.FieldName() << ": filters cannot compare bytes";
                continue;
            }
            EXPECT_NE(e, "") << t.ClassName() << ": " << f.FieldName() << " of record " << id;
            // Unless it holds every kind of quote, the name stands in it as it is.
            const std::string& n = f.FieldName();
            if (n.find('\'') == std::string::npos || n.find(']') == std::string::npos ||
                n.find('"') == std::string::npos) {
                EXPECT_NE(LowerCase(e).find(LowerCase(n)), std::string::npos)
                    << e << ": the window enables the filter when it sees the name";
            }
            filters.emplace_back(f.FieldName(), e);
        }
        for (const auto& [name, e] : filters) {
            if (e.empty()) continue;
            ++proposed;
            try {
                Ids got = Matches(t, e);
                EXPECT_NE(std::find(got.begin(), got.end(), id), got.end())
                    << t.ClassName() << ": " << e << " misses record " << id;
            } catch (const EDatabaseError& err) {
                ADD_FAILURE() << t.ClassName() << ": " << e << ": " << err.what();
            }
        }
    }
    return proposed;
}

class TProposalFixture : public ::testing::Test {
protected:
    void SetUp() override {
        table.Open();
        ado.Open();
    }
    std::shared_ptr<TTestTableData> data = AwkwardData();
    TTestTable table{data};
    TTestADOTable ado{data};
    std::string At(TDataSet& t, int rec, const char* field) {
        t.SetRecNo(rec);
        return ProposeFilter(t, &t.FieldByName(field), "");
    }
};
} // namespace

TEST_F(TProposalFixture, TheProposedTexts) {
    for (TDataSet* t : {static_cast<TDataSet*>(&table), static_cast<TDataSet*>(&ado)}) {
        SCOPED_TRACE(t->ClassName());
        // As proposed before: a name with a blank in quotes, texts in quotes,
        // numbers as they are, null.
        EXPECT_EQ(At(*t, 1, "Customer Name"), "'Customer Name' = 'Smith'");
        EXPECT_EQ(At(*t, 1, "ID"), "ID = 1");
        EXPECT_EQ(At(*t, 4, "Customer Name"), "'Customer Name' = null");
        EXPECT_EQ(At(*t, 1, "Paid"), "Paid = True");
        EXPECT_EQ(At(*t, 1, "[Born]"), "\"[Born]\" = '2/29/2024'");
        EXPECT_EQ(At(*t, 1, "At \"x\""), "'At \"x\"' = '10:30:15'");
        // Quotes inside a value are doubled.
        EXPECT_EQ(At(*t, 1, "Name"), "Name = 'C\xC3\xB4te d''Or'");
        EXPECT_EQ(At(*t, 2, "Name"), "Name = ''''''");
        EXPECT_EQ(At(*t, 4, "Name"), "Name = 'O''Brien'' OR ''x''=''x'");
        // Names that are no plain words stand in brackets.
        EXPECT_EQ(At(*t, 1, "Order#"), "[Order#] = -32768");
        EXPECT_EQ(At(*t, 1, "Cust-No"), "[Cust-No] = 'A-1'");
        EXPECT_EQ(At(*t, 1, "1st"), "[1st] = 'x'' AND y'");
        EXPECT_EQ(At(*t, 1, "Not"), "[Not] = 65535");
        EXPECT_EQ(At(*t, 1, "null"), "[null] = 1");
        EXPECT_EQ(At(*t, 1, "O'Neil Amount"), "[O'Neil Amount] = 0.3");
        EXPECT_EQ(At(*t, 1, "a]b"), "\"a]b\" = 1234.56");
        EXPECT_EQ(At(*t, 1, "Stamp ]'\""), "[Stamp ]]'\"] = '2/29/2024 23:59:59'");
        EXPECT_EQ(At(*t, 1, "Größe"), "Größe = -2.25");
        // Large integers, to the ends of the range.
        EXPECT_EQ(At(*t, 1, "Big"), "Big = 9007199254740993");
        EXPECT_EQ(At(*t, 2, "Big"), "Big = 9223372036854775807");
        EXPECT_EQ(At(*t, 3, "Big"), "Big = -9223372036854775808");
        // Nothing for pictures, memos, bytes, nor when the edit holds text.
        EXPECT_EQ(At(*t, 1, "Notes"), "");
        EXPECT_EQ(At(*t, 1, "Pic"), "");
        EXPECT_EQ(At(*t, 1, "Raw"), "");
        EXPECT_EQ(At(*t, 2, "Raw"), "Raw = null");
        EXPECT_EQ(ProposeFilter(*t, &t->FieldByName("ID"), "ID > 2"), "");
        EXPECT_EQ(ProposeFilter(*t, nullptr, ""), "");
        t->SetFilter("ID > 2");
        t->SetFiltered(true);
        EXPECT_EQ(At(*t, 1, "ID"), "") << "not while filtered";
        t->SetFiltered(false);
        t->Close();
        EXPECT_EQ(ProposeFilter(*t, nullptr, ""), "");
        t->Open();
    }
}

TEST_F(TProposalFixture, EveryProposalFindsItsRecordInBothEngines) {
    EXPECT_GT(CheckEveryCell(table), 60);
    EXPECT_GT(CheckEveryCell(ado), 60);
    // Another locale: decimal comma, day first, a time separator of its own.
    TFormatSettings de = TFormatSettings::Classic();
    de.DecimalSeparator = ',';
    de.ThousandSeparator = '.';
    de.DateSeparator = '.';
    de.ShortDateFormat = "dd.mm.yyyy";
    de.LongTimeFormat = "hh:nn:ss";
    {
        TScopedFormatSettings scope(de);
        CheckEveryCell(table);
        CheckEveryCell(ado);
        EXPECT_EQ(At(table, 1, "O'Neil Amount"), "[O'Neil Amount] = 0,3");
        EXPECT_EQ(At(table, 1, "[Born]"), "\"[Born]\" = '29.02.2024'");
    }
    // Shown with two-digit years, a date would read back in another century:
    // the proposal writes the year whole.
    TFormatSettings yy = TFormatSettings::Classic();
    yy.ShortDateFormat = "m/d/yy";
    {
        TScopedFormatSettings scope(yy);
        CheckEveryCell(table);
        CheckEveryCell(ado);
        EXPECT_EQ(At(ado, 2, "[Born]"), "\"[Born]\" = '1899-12-29'");
    }
}

TEST_F(TProposalFixture, ValuesThatOtherFieldsOrDisplayTextsCouldTake) {
    // Booleans shown in other words still propose a word the filters read.
    auto* paid = dynamic_cast<TBooleanField*>(&table.FieldByName("Paid"));
    ASSERT_NE(paid, nullptr);
    paid->SetDisplayValues("Ja;Nein");
    EXPECT_EQ(At(table, 2, "Paid"), "Paid = False");
    // A field named like the word would take the bare word for itself.
    auto d = std::make_shared<TTestTableData>();
    d->Fields.Add("ID", ftInteger);
    d->Fields.Add("Paid", ftBoolean);
    d->Fields.Add("True", ftString, 5);
    d->Add({I(1), B(true), S("no")});
    d->Add({I(2), B(false), S("yes")});
    TTestADOTable words{d};
    words.Open();
    EXPECT_EQ(At(words, 1, "Paid"), "Paid = 'True'");
    EXPECT_EQ(At(words, 2, "Paid"), "Paid = False");
    EXPECT_EQ(At(words, 1, "True"), "True = 'no'");
    CheckEveryCell(words);
}

namespace {
class TProposalFiles : public ::testing::Test {
protected:
    TTempFolder Folder{"tabulon-proposal"};
    const fs::path Dir = Folder.Path();
    std::string P(const char* name) const { return (Dir / name).string(); }

    // Through both engines, opened as the shell opens them.
    void CheckBoth(const char* file, const char* driver) {
        TTable t;
        t.SetDatabaseName(Dir.string());
        t.SetTableName(file);
        t.Open();
        EXPECT_GT(CheckEveryCell(t), 10) << file;
        TADOConnection c;
        c.SetConnectionString(std::string("Driver={") + driver + "};DefaultDir=" + Dir.string() +
                              ";");
        c.Open();
        TADOTable a;
        a.SetConnectionString(c.ConnectionString());
        a.SetTableName(file);
        a.Open();
        EXPECT_GT(CheckEveryCell(a), 10) << file;
    }
};
} // namespace

TEST_F(TProposalFiles, DBaseTable) {
    std::vector<TDbfFieldSpec> fields = {
        {"ID", 'N', 4, 0},   {"NAME", 'C', 30, 0}, {"BIG", 'N', 18, 0},   {"AMOUNT", 'N', 12, 2},
        {"BORN", 'D', 8, 0}, {"PAID", 'L', 1, 0},  {"RATE", 'F', 20, 10}, {"NOTES", 'M', 10, 0}};
    TDbfWriter::Write(
        P("cust.dbf"), dvDBase4, fields,
        {{I(1), S("C\xC3\xB4te d'Or"), I(999999999999999999), F(12.5), D(EncodeDate(1970, 2, 28)),
          B(true), F(0.1), S("first")},
         {I(2), S("x' AND y"), I(-99999999999999999), F(-7.25), D(EncodeDate(1899, 12, 29)),
          B(false), F(1.0 / 3), TValue()},
         {I(3), TValue(), I(9007199254740993), TValue(), TValue(), TValue(), TValue(), S("")}},
        1252);
    CheckBoth("cust.dbf", "Microsoft dBase Driver (*.dbf)");
}

TEST_F(TProposalFiles, ParadoxTableWithNamesOfEveryKind) {
    TParadoxWriter w(P("orders.db"), {{"ID", 'I', 0},
                                      {"Customer Name", 'A', 30},
                                      {"Order #", 'S', 0},
                                      {"Cust-No", 'A', 8},
                                      {"1st", 'N', 0},
                                      {"Amount $", '$', 0},
                                      {"Not", 'L', 0},
                                      {"When", '@', 0},
                                      {"At", 'T', 0},
                                      {"Day", 'D', 0},
                                      {"Counter", '+', 0},
                                      {"BCD", '#', 2},
                                      {"Note", 'M', 10}});
    w.AddRecord({I(1), S("O'Brien"), I(-5), S("A-1"), F(0.1 + 0.2), F(12.34), B(true),
                 D(EncodeDate(2024, 2, 29) + EncodeTime(10, 30, 15, 0)),
                 D(EncodeTime(23, 59, 59, 0)), D(EncodeDate(1999, 12, 31)), TValue(), F(12.5),
                 S("memo")});
    w.AddRecord({I(2), S("Côte d'Or"), I(32767), S("*"), F(-1e20), F(-0.5), B(false),
                 D(EncodeDate(1899, 12, 29) + EncodeTime(6, 0, 0, 0)), D(EncodeTime(0, 0, 0, 0)),
                 D(-1), TValue(), F(-3.25), TValue()});
    w.AddRecord({I(3), TValue(), TValue(), TValue(), TValue(), TValue(), TValue(), TValue(),
                 TValue(), TValue(), TValue(), TValue(), TValue()});
    w.Finish();
    CheckBoth("orders.db", "Microsoft Paradox Driver (*.db )");
}

TEST_F(TProposalFiles, TextTableWithAwkwardHeadings) {
    TDelimitedFormat csv;
    TDelimitedTableWriter::Write(
        P("items.csv"),
        {"ID", "Order#", "Cust-No", "1st", "Not", "a]b", "O'Neil Name", "Big", "Price", "Added"},
        {{I(1), S("x"), S("A-1"), S("Côte d'Or"), S("and"), S("]"), S("''"), I(9007199254740993),
          F(2.5), D(EncodeDate(2023, 7, 11))},
         {I(2), S("y"), S("B-2"), S("x' OR y"), S("or"), S("[x]"), S("'"), I(-9223372036854775807),
          F(-0.3), D(EncodeDate(1999, 1, 1))},
         {I(3), TValue(), TValue(), TValue(), TValue(), TValue(), TValue(), TValue(), TValue(),
          TValue()}},
        csv);
    CheckBoth("items.csv", "Microsoft Text Driver (*.txt; *.csv)");
}

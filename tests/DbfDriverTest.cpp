#include "tests/support/DbfTestSupport.h"

#include "data/drivers/dbf/DbfBytes.h"
#include "data/drivers/dbf/DbfLanguageDriver.h"
#include "data/locale/FormatSettings.h"
#include "data/platform/CodePage.h"
#include "tests/support/TestTables.h"

#include <cmath>
#include <set>

using namespace dbftest;

namespace {

struct TColumnCase {
    TDbfFieldSpec Def;
    TFieldType Type;
    std::vector<TValue> Values; // one per record
};

// Writes the columns as a table, opens it and checks every field kind and value.
void RoundTrip(TDbfVariant variant, const std::vector<TColumnCase>& cols, uint8_t version,
               TDbfVariant readAs) {
    TTempFolder dir;
    std::string path = dir / "t.dbf";
    std::vector<TDbfFieldSpec> specs;
    for (const TColumnCase& c : cols)
        specs.push_back(c.Def);
    size_t rows = cols[0].Values.size();
    std::vector<std::vector<TValue>> records(rows);
    for (size_t r = 0; r < rows; ++r)
        for (const TColumnCase& c : cols)
            records[r].push_back(c.Values[r]);
    TDbfWriter::Write(path, variant, specs, records);

    TOpenTable t(path);
    EXPECT_EQ(t.Driver.Header().Version, version);
    EXPECT_EQ(t.Driver.Header().Variant, readAs);
    ASSERT_EQ(t.Fields.Count(), static_cast<int>(cols.size()));
    ASSERT_EQ(t.Driver.RecordCount(), rows);
    EXPECT_TRUE(t.Driver.CanModify()) << t.Driver.ReadOnlyReason();
    for (size_t f = 0; f < cols.size(); ++f) {
        SCOPED_TRACE("field " + cols[f].Def.Name);
        EXPECT_EQ(t.Fields[static_cast<int>(f)].Name, cols[f].Def.Name);
        EXPECT_EQ(t.Fields[static_cast<int>(f)].DataType, cols[f].Type);
        for (size_t r = 0; r < rows; ++r) {
            TValue got = t.Get(static_cast<uint32_t>(r), static_cast<int>(f));
            const TValue& want = cols[f].Values[r];
            if (want.Kind == TValueKind::DateTime || want.Kind == TValueKind::Float) {
                ASSERT_EQ(got.Kind, want.Kind) << "record " << r;
                EXPECT_NEAR(got.Float, want.Float, 1e-9) << "record " << r;
            } else {
                EXPECT_TRUE(got == want) << "record " << r << ": got kind " << int(got.Kind) << " '"
                                         << got.Text << "' " << got.Int;
            }
        }
    }
}

TDbfFieldSpec Nullable(TDbfFieldSpec s) {
    s.Nullable = true;
    return s;
}
TDbfFieldSpec Binary(TDbfFieldSpec s) {
    s.Binary = true;
    return s;
}

// Columns every variant has.
std::vector<TColumnCase> CommonColumns() {
    return {
        {F("NAME", 'C', 12), ftString, {Text("Smith"), Text("  lead"), Text("")}},
        {F("SMALL", 'N', 4), ftSmallint, {Int(9999), Int(-999), Null()}},
        {F("COUNT", 'N', 9), ftInteger, {Int(123456789), Int(-12345678), Int(0)}},
        {F("BIG", 'N', 15), ftLargeint, {Int(123456789012345), Int(-1), Null()}},
        {F("PRICE", 'N', 12, 2), ftFloat, {Num(1234.5), Num(-0.25), Null()}},
        {F("BORN", 'D'), ftDate, {Date(1999, 12, 31), Date(2024, 2, 29), Null()}},
        {F("OK", 'L'), ftBoolean, {Bool(true), Bool(false), Null()}},
        {F("NOTES", 'M'), ftMemo, {Text("line 1\r\nline 2"), Null(), Text(std::string(1500, 'x'))}},
    };
}
} // namespace

TEST(DbfVariants, DBase3) {
    RoundTrip(dvDBase3, CommonColumns(), 0x83, dvDBase3);
}

TEST(DbfVariants, DBase4WithFloatAndOle) {
    auto cols = CommonColumns();
    cols.push_back({F("RATE", 'F', 10, 3), ftFloat, {Num(3.125), Num(-1), Null()}});
    cols.push_back({F("OBJ", 'G'),
                    ftDBaseOle,
                    {Bytes(std::string("\x01\x00\xFFole", 6)), Null(), Bytes("x")}});
    RoundTrip(dvDBase4, cols, 0x8B, dvDBase4);
}

TEST(DbfVariants, DBase5BinaryMemo) {
    auto cols = CommonColumns();
    cols.push_back(
        {F("DATA", 'B'), ftBlob, {Bytes(std::string("\0\x1A\x1A\xFF", 4)), Null(), Bytes("b")}});
    RoundTrip(dvDBase5, cols, 0x8B, dvDBase4);
}

TEST(DbfVariants, DBase7BinaryTypes) {
    auto cols = CommonColumns();
    cols.push_back({F("LONG_FIELD_NAME_OF_LEVEL7", 'I'),
                    ftInteger,
                    {Int(-2147483647), Int(2147483647), Int(0)}});
    cols.push_back({F("ID", '+'), ftAutoInc, {Int(1), Int(2), Int(3)}});
    cols.push_back({F("D", 'O'), ftFloat, {Num(-1.5e300), Num(0.1), Num(0)}});
    cols.push_back({F("AT", '@'),
                    ftDateTime,
                    {Stamp(2000, 8, 16, 17, 21, 41, 310), Stamp(1, 1, 1, 0, 0, 0), Null()}});
    cols.push_back({F("BIN", 'B'), ftBlob, {Bytes("\x01\x02"), Null(), Null()}});
    RoundTrip(dvDBase7, cols, 0x8C, dvDBase7);
}

TEST(DbfVariants, FoxPro) {
    auto cols = CommonColumns();
    cols.push_back({F("PIC", 'P'), ftGraphic, {Bytes("BM\x01\x02"), Null(), Null()}});
    cols.push_back({F("GEN", 'G'), ftDBaseOle, {Null(), Bytes("ole"), Null()}});
    RoundTrip(dvFoxPro, cols, 0xF5, dvFoxPro);
}

TEST(DbfVariants, VisualFoxProEveryType) {
    TDbfFieldSpec autoinc = F("ID", 'I');
    autoinc.AutoIncrement = true;
    std::vector<TColumnCase> cols = {
        {autoinc, ftAutoInc, {Int(1), Int(2), Int(3)}},
        {Nullable(F("NAME", 'C', 10)), ftString, {Text("Zoë"), Null(), Text("")}},
        {Binary(F("RAW", 'C', 4)),
         ftBytes,
         {Bytes(std::string("\0\1\2\3", 4)), Bytes(std::string("ab\0\0", 4)),
          Bytes(std::string(4, '\0'))}},
        {Nullable(F("VC", 'V', 6)), ftString, {Text("ab  "), Null(), Text("full6!")}},
        {F("VB", 'Q', 5), ftVarBytes, {Bytes("\x01"), Bytes(""), Bytes("12345")}},
        {F("NUM", 'N', 8, 3), ftFloat, {Num(-12.5), Num(0.001), Null()}},
        {F("FL", 'F', 20, 5), ftFloat, {Num(1e10), Num(-2.5), Null()}},
        {F("D", 'D'), ftDate, {Date(1, 1, 1), Date(9999, 12, 31), Null()}},
        {F("L", 'L'), ftBoolean, {Bool(false), Null(), Bool(true)}},
        {F("M", 'M'), ftMemo, {Text("memo Æ"), Null(), Text("m")}},
        {Binary(F("MB", 'M')), ftBlob, {Bytes(std::string("\0\xFF", 2)), Null(), Null()}},
        {F("G", 'G'), ftDBaseOle, {Null(), Bytes("g"), Null()}},
        {F("P", 'P'), ftGraphic, {Bytes("p"), Null(), Null()}},
        {F("W", 'W'), ftBlob, {Bytes("w"), Null(), Null()}},
        {F("DBL", 'B'), ftFloat, {Num(3.141592653589793), Num(-1e-300), Num(0)}},
        {Nullable(F("INT", 'I')), ftInteger, {Int(-2147483647 - 1), Null(), Int(7)}},
        {F("CUR", 'Y'), ftCurrency, {Num(12345.6789), Num(-0.0001), Num(0)}},
        {Nullable(F("TS", 'T')),
         ftDateTime,
         {Stamp(2024, 3, 1, 23, 59, 59), Stamp(1899, 12, 30, 0, 0, 1), Null()}},
    };
    RoundTrip(dvVisualFoxPro, cols, 0x32, dvVisualFoxPro);
}

TEST(DbfVariants, VisualFoxProHiddenNullFlagsAndBacklink) {
    TTempFolder dir;
    std::string path = dir / "n.dbf";
    TDbfWriter::Write(path, dvVisualFoxPro, {Nullable(F("A", 'N', 5)), Nullable(F("B", 'C', 3))},
                      {{Null(), Text("x")}, {Int(5), Null()}});
    TOpenTable t(path);
    const TDbfHeader& h = t.Driver.Header();
    ASSERT_EQ(h.Fields.size(), 3u);
    EXPECT_EQ(h.Fields[2].Name, "_NullFlags");
    EXPECT_EQ(t.Fields.Count(), 2); // the flags are not a field of the dataset
    EXPECT_EQ(h.HeaderLength, 32 + 3 * 32 + 1 + 263);
    EXPECT_TRUE(t.Get(0, 0).IsNull());
    EXPECT_EQ(t.Get(0, 1).Text, "x");
    EXPECT_EQ(t.Get(1, 0).Int, 5);
    EXPECT_TRUE(t.Get(1, 1).IsNull());
}

// dBase II tables, made from dBase III ones of the project's writer: both
// places the records may start, and the full 32 fields.
TEST(DbfVariants, DBase2IsRead) {
    TTempFolder dir;
    const std::string path = dir / "t.dbf";
    TDbfWriter w(path, dvDBase3,
                 {F("NAME", 'C', 10), F("QTY", 'N', 4), F("PRICE", 'N', 8, 2), F("OK", 'L')});
    w.AddRecord({Text("Ann"), Int(12), Num(-3.5), Bool(true)});
    w.AddRecord({Text("gone"), Int(1), Num(1), Bool(false)}, true);
    w.AddRecord({Text("Bob"), Null(), Num(1234.25), Null()});
    w.Finish();
    const std::string dbase3 = ReadBytes(path);
    for (bool compact : {false, true}) {
        SCOPED_TRACE(compact ? "records after the terminator" : "records after 32 descriptors");
        const std::string bytes = DBase2Of(dbase3, compact);
        WriteBytes(path, bytes);
        TOpenTable t(path);
        const TDbfHeader& h = t.Driver.Header();
        EXPECT_EQ(h.Variant, dvDBase2);
        EXPECT_EQ(h.HeaderLength, compact ? 8 + 4 * 16 + 1 : 521);
        EXPECT_TRUE(t.Driver.Warnings().List().empty());
        ASSERT_EQ(t.Fields.Count(), 4);
        EXPECT_EQ(t.Fields[0].Name, "NAME");
        EXPECT_EQ(t.Fields[0].DataType, ftString);
        EXPECT_EQ(t.Fields[1].DataType, ftSmallint);
        EXPECT_EQ(t.Fields[2].DataType, ftFloat);
        EXPECT_EQ(t.Fields[3].DataType, ftBoolean);
        ASSERT_EQ(t.Driver.RecordCount(), 3u);
        EXPECT_FALSE(t.Driver.RecordLive(1));
        EXPECT_EQ(t.Get(0, 0), Text("Ann"));
        EXPECT_EQ(t.Get(0, 1), Int(12));
        EXPECT_EQ(t.Get(0, 2), Num(-3.5));
        EXPECT_EQ(t.Get(0, 3), Bool(true));
        EXPECT_EQ(t.Get(2, 0), Text("Bob"));
        EXPECT_TRUE(t.Get(2, 1).IsNull());
        EXPECT_EQ(t.Get(2, 2), Num(1234.25));
        EXPECT_TRUE(t.Get(2, 3).IsNull());
        EXPECT_NE(t.Driver.ReadOnlyReason().find("0x02"), std::string::npos);
        EXPECT_EQ(ReadBytes(path), bytes);
        // Cut short, it says so.
        WriteBytes(path, bytes.substr(0, bytes.size() - 10));
        EXPECT_NE(ErrorOf([&] { TOpenTable u(path); }).find("truncated"), std::string::npos);
    }

    // 32 fields fill the descriptors: no terminator.
    std::vector<TDbfFieldSpec> many;
    std::vector<TValue> values;
    for (int i = 0; i < 32; ++i) {
        many.push_back(F(("F" + std::to_string(i)).c_str(), 'C', 3));
        values.push_back(Text(std::to_string(i)));
    }
    TDbfWriter::Write(path, dvDBase3, many, {values});
    WriteBytes(path, DBase2Of(ReadBytes(path)));
    TOpenTable t(path);
    ASSERT_EQ(t.Fields.Count(), 32);
    EXPECT_EQ(t.Fields[31].Name, "F31");
    EXPECT_EQ(t.Get(0, 31), Text("31"));
    // dBase II tables are not written.
    EXPECT_NE(ErrorOf([&] { TDbfWriter(path, dvDBase2, many); }).find("dBase II"),
              std::string::npos);
}

// The double of dBase 7 (O, big-endian with the order-keeping sign trick)
// as other writers put it in tables of other versions: read, and written.
TEST(DbfTypes, DBase7DoublesInOtherVersions) {
    TTempFolder dir;
    const std::string level7 = dir / "seven.dbf";
    TDbfWriter::Write(level7, dvDBase7, {F("X", 'O')}, {{Num(-2.5)}, {Num(1e300)}, {Null()}});
    const std::string seven = ReadBytes(level7);
    const size_t sevenHeader = DbfLe16(seven.data() + 8);
    for (TDbfVariant v : {dvDBase3, dvDBase4, dvFoxPro, dvVisualFoxPro}) {
        SCOPED_TRACE(v);
        const std::string path = dir / "t.dbf";
        TDbfWriter::Write(path, v, {F("NAME", 'C', 3), F("X", 'C', 8)},
                          {{Text("a"), Null()}, {Text("b"), Null()}, {Text("c"), Null()}});
        std::string s = ReadBytes(path);
        const size_t header = DbfLe16(s.data() + 8), length = DbfLe16(s.data() + 10);
        s[32 + 32 + 11] = 'O';
        for (size_t r = 0; r < 3; ++r)
            s.replace(header + r * length + 4, 8, seven.substr(sevenHeader + r * 9 + 1, 8));
        WriteBytes(path, s);
        {
            TOpenTable t(path);
            EXPECT_EQ(t.Fields[1].DataType, ftFloat);
            EXPECT_EQ(t.Get(0, 1), Num(-2.5));
            EXPECT_EQ(t.Get(1, 1), Num(1e300));
            EXPECT_TRUE(t.Get(2, 1).IsNull());
            EXPECT_EQ(t.Get(2, 0), Text("c"));
            ASSERT_TRUE(t.Driver.CanModify()) << t.Driver.ReadOnlyReason();
            t.Driver.Post(2, {Text("c"), Num(-0.125)});
        }
        TOpenTable t(path);
        EXPECT_EQ(t.Get(2, 1), Num(-0.125));
        EXPECT_EQ(t.Get(0, 1), Num(-2.5));
    }
}

TEST(DbfTypes, NumericWidthsChooseTheKind) {
    TTempFolder dir;
    std::string path = dir / "n.dbf";
    TDbfWriter::Write(path, dvDBase3,
                      {F("A", 'N', 4), F("B", 'N', 5), F("C", 'N', 9), F("D", 'N', 10),
                       F("E", 'N', 18), F("G", 'N', 20), F("H", 'N', 6, 2)},
                      {{Int(1), Int(99999), Int(1), Int(9999999999), Int(999999999999999999),
                        Num(1e19), Num(1.25)}});
    TOpenTable t(path);
    const TFieldType want[] = {ftSmallint, ftInteger, ftInteger, ftLargeint,
                               ftLargeint, ftFloat,   ftFloat};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(t.Fields[i].DataType, want[i]) << i;
    EXPECT_EQ(t.Get(0, 3).Int, 9999999999);
    EXPECT_EQ(t.Get(0, 4).Int, 999999999999999999);
    EXPECT_DOUBLE_EQ(t.Get(0, 5).Float, 1e19);
    EXPECT_EQ(t.Fields[6].Precision, 6);
}

// The writer gives a field without a length the one the reader demands of
// its type, memo pointers the variant's own, and refuses any other.
TEST(DbfTypes, FieldLengthsTheTypeFixes) {
    TTempFolder dir;
    struct TCase {
        TDbfVariant Variant;
        char Type;
        uint32_t Length;
    };
    for (const TCase& c :
         {TCase{dvDBase3, 'D', 8}, TCase{dvDBase3, 'L', 1}, TCase{dvDBase3, 'M', 10},
          TCase{dvDBase7, 'B', 10}, TCase{dvDBase7, 'I', 4}, TCase{dvDBase7, '@', 8},
          TCase{dvFoxPro, 'G', 10}, TCase{dvVisualFoxPro, 'M', 4}, TCase{dvVisualFoxPro, 'B', 8},
          TCase{dvVisualFoxPro, 'Y', 8}, TCase{dvVisualFoxPro, 'T', 8}}) {
        SCOPED_TRACE(std::string(1, c.Type) + " in variant " + std::to_string(c.Variant));
        const std::string path = dir / "len.dbf";
        TDbfWriter::Write(path, c.Variant, {F("X", c.Type)}, {});
        {
            TOpenTable t(path);
            ASSERT_EQ(t.Driver.Header().Fields.size(), 1u);
            EXPECT_EQ(t.Driver.Header().Fields[0].Length, c.Length);
        }
        try {
            TDbfWriter::Write(dir / "wrong.dbf", c.Variant,
                              {F("X", c.Type, static_cast<int>(c.Length) + 1)}, {});
            ADD_FAILURE() << "a wrong length was written";
        } catch (const EDatabaseError& e) {
            EXPECT_NE(std::string(e.what()).find("has length " + std::to_string(c.Length)),
                      std::string::npos)
                << e.what();
        }
    }
}

TEST(DbfTypes, ValuesAreRoundedToTheFieldsDecimalsAndRefusedWhenTooWide) {
    TTempFolder dir;
    std::string path = dir / "r.dbf";
    TDbfWriter w(path, dvDBase3, {F("P", 'N', 6, 2), F("Q", 'N', 3)});
    w.AddRecord({Num(1.005 + 1e-9), Num(2.5)});
    EXPECT_NE(ErrorOf([&] {
                  w.AddRecord({Num(1000.0), Null()});
              }).find("does not fit"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] {
                  w.AddRecord({Null(), Int(-100)});
              }).find("Field 'Q'"),
              std::string::npos);
    w.Finish();
    std::string bytes = ReadBytes(path);
    TOpenTable t(path);
    ASSERT_EQ(t.Driver.RecordCount(), 1u);
    EXPECT_EQ(bytes.substr(t.Driver.Header().HeaderLength + 1, 9), "  1.01  3");
}

TEST(DbfTypes, ReadsWhatOtherWritersPutInNumericAndDateFields) {
    TTempFolder dir;
    std::string path = dir / "odd.dbf";
    TDbfWriter::Write(path, dvDBase3,
                      {F("N", 'N', 8, 0), F("F", 'N', 8, 2), F("D", 'D'), F("L", 'L')},
                      {{Int(1), Num(1), Date(2000, 1, 1), Bool(true)}});
    const uint32_t headerLength = TOpenTable(path).Driver.Header().HeaderLength;
    struct TOdd {
        const char* N;
        const char* F;
        const char* D;
        char L;
    };
    const TOdd odd[] = {{"   +0012", "   -.500", "00000000", 'y'},
                        {"    1.50", "    3,25", "        ", 'n'},
                        {"********", "1.5E+003", "20001301", '?'},
                        {"  12  ab", "        ", "2000023X", ' '}};
    std::string bytes = ReadBytes(path);
    bytes.resize(headerLength);
    for (const TOdd& o : odd)
        bytes += std::string(" ") + o.N + o.F + o.D + o.L;
    bytes[4] = 4;
    WriteBytes(path, bytes);
    TOpenTable t(path);
    EXPECT_EQ(t.Get(0, 0).Int, 12);
    EXPECT_DOUBLE_EQ(t.Get(0, 1).Float, -0.5);
    EXPECT_TRUE(t.Get(0, 2).IsNull());
    EXPECT_TRUE(t.Get(0, 3).Bool);
    EXPECT_EQ(t.Get(1, 0).Kind, TValueKind::Float); // a fraction where none was declared
    EXPECT_DOUBLE_EQ(t.Get(1, 0).Float, 1.5);
    EXPECT_DOUBLE_EQ(t.Get(1, 1).Float, 3.25);
    EXPECT_TRUE(t.Get(1, 2).IsNull());
    EXPECT_FALSE(t.Get(1, 3).Bool);
    EXPECT_TRUE(t.Get(2, 0).IsNull()); // the overflow mark
    EXPECT_DOUBLE_EQ(t.Get(2, 1).Float, 1500);
    EXPECT_TRUE(t.Get(2, 2).IsNull()); // month 13
    EXPECT_TRUE(t.Get(2, 3).IsNull());
    EXPECT_TRUE(t.Get(3, 0).IsNull());
    EXPECT_TRUE(t.Get(3, 1).IsNull());
    EXPECT_TRUE(t.Get(3, 2).IsNull());
    EXPECT_TRUE(t.Get(3, 3).IsNull());
}

// ---- Code pages ------------------------------------------------------------------

namespace {
struct TCodePageCase {
    int CodePage;
    uint8_t LanguageId;
    const char* Name; // a field name outside ASCII
    const char* Value;
    std::string Stored; // the value's bytes in the table
};
} // namespace

TEST(DbfCodePages, TextIsConvertedBothWays) {
    const TCodePageCase cases[] = {
        {437, 0x01, "NAMÉ", "Zoë Ærå", "Zo\x89 \x92r\x86"}, // 437 has no ø
        {850, 0x02, "NAMÉ", "Zoë Ærø", "Zo\x89 \x92r\x9B"},
        {1252, 0x03, "NAMÉ", "Zoë Ærø", "Zo\xEB \xC6r\xF8"},
        {866, 0x65, "ИМЯ", "Жук Ёж", "\x86\xE3\xAA \xF0\xA6"},
        {1251, 0xC9, "ИМЯ", "Жук Ёж", "\xC6\xF3\xEA \xA8\xE6"},
    };
    for (const TCodePageCase& c : cases) {
        SCOPED_TRACE(c.CodePage);
        TTempFolder dir;
        std::string path = dir / "cp.dbf";
        TDbfWriter::Write(path, dvDBase4, {F(c.Name, 'C', 20), F("MEMO", 'M')},
                          {{Text(c.Value), Text(c.Value)}}, c.CodePage);
        std::string bytes = ReadBytes(path);
        EXPECT_EQ(static_cast<uint8_t>(bytes[29]), c.LanguageId);
        EXPECT_NE(bytes.find(c.Stored), std::string::npos);
        TOpenTable t(path);
        EXPECT_EQ(t.Driver.CodePage(), c.CodePage);
        EXPECT_EQ(t.Fields[0].Name, c.Name);
        EXPECT_EQ(t.Get(0, 0).Text, c.Value);
        EXPECT_EQ(t.Get(0, 1).Text, c.Value);
        // Back through an edit.
        std::string other = std::string(c.Value) + "ë";
        if (c.CodePage == 866 || c.CodePage == 1251) other = std::string(c.Value) + "щ";
        t.Driver.Post(0, {Text(other), Text(other)});
        EXPECT_EQ(t.Get(0, 0).Text, other);
        EXPECT_EQ(t.Get(0, 1).Text, other);
        TOpenTable again(path);
        EXPECT_EQ(again.Get(0, 0).Text, other);
        EXPECT_EQ(again.Get(0, 1).Text, other);
        EXPECT_NE(ReadBytes(path).find(c.Stored), std::string::npos);
    }
}

TEST(DbfCodePages, TextTheCodePageCannotHoldIsRefusedAndNothingChanges) {
    TTempFolder dir;
    std::string path = dir / "cp.dbf";
    TDbfWriter::Write(path, dvDBase3, {F("NAME", 'C', 10), F("NOTE", 'M')},
                      {{Text("a"), Text("b")}}, 1252);
    std::string dbf = ReadBytes(path), dbt = ReadBytes(dir / "cp.dbt");
    TOpenTable t(path);
    std::string err = ErrorOf([&] { t.Driver.Post(0, {Text("Жук"), Text("b")}); });
    EXPECT_NE(err.find("code page 1252"), std::string::npos) << err;
    EXPECT_NE(err.find("NAME"), std::string::npos) << err;
    err = ErrorOf([&] { t.Driver.Post(-1, {Text("ok"), Text("日本")}); });
    EXPECT_NE(err.find("NOTE"), std::string::npos) << err;
    EXPECT_EQ(ReadBytes(path), dbf);
    EXPECT_EQ(ReadBytes(dir / "cp.dbt"), dbt);
    EXPECT_NE(ErrorOf([&] {
                  TDbfWriter::Write(dir / "x.dbf", dvDBase3, {F("N", 'C', 5)}, {{Text("€€€€€€")}},
                                    437);
              }).find("code page 437"),
              std::string::npos);
}

// A UTF-8 table whose writer cut a name in the middle of a character (to
// the descriptor's ten bytes): the name ends before that character.
TEST(DbfCodePages, NamesCutInTheMiddleOfACharacter) {
    TTempFolder dir;
    const std::string path = dir / "u.dbf";
    TDbfWriter::Write(path, dvDBase3, {F("ИМЯ_А", 'C', 10), F("ЁЖ", 'C', 4)},
                      {{Text("Жук"), Text("ё")}}, 65001);
    std::string s = ReadBytes(path);
    ASSERT_EQ(s.substr(32, 10), std::string("ИМЯ_А") + '\0');
    s[32 + 9] = '\xD0'; // the first byte of a character that did not fit
    WriteBytes(path, s);
    TOpenTable t(path);
    EXPECT_EQ(t.Fields[0].Name, "ИМЯ_А");
    EXPECT_EQ(t.Fields[1].Name, "ЁЖ");
    EXPECT_EQ(t.Get(0, 0), Text("Жук"));
}

TEST(DbfCodePages, CpgFileWinsOverTheLanguageByte) {
    TTempFolder dir;
    std::string path = dir / "T.DBF";
    TDbfWriter::Write(path, dvDBase3, {F("NAME", 'C', 10)}, {{Text("Жук")}}, 866);
    WriteBytes(dir / "T.CPG", "1251\r\n");
    {
        TOpenTable t(path);
        EXPECT_EQ(t.Driver.CodePage(), 1251);
        EXPECT_EQ(t.Get(0, 0).Text, "†гЄ"); // the 866 bytes of "Жук" read as 1251
    }
    WriteBytes(dir / "T.CPG", "EBCDIC-37");
    std::string err = ErrorOf([&] { TOpenTable t(path); });
    EXPECT_NE(err.find("T.CPG"), std::string::npos) << err;
    EXPECT_NE(err.find("T.DBF"), std::string::npos) << err;
}

TEST(DbfCodePages, Utf8TablesGetACpgFile) {
    TTempFolder dir;
    std::string path = dir / "u.dbf";
    TDbfWriter::Write(path, dvDBase3, {F("NAME", 'C', 12)}, {{Text("日本")}}, 65001);
    EXPECT_EQ(ReadBytes(dir / "u.cpg"), "UTF-8");
    EXPECT_EQ(static_cast<uint8_t>(ReadBytes(path)[29]), 0);
    TOpenTable t(path);
    EXPECT_EQ(t.Driver.CodePage(), 65001);
    EXPECT_EQ(t.Get(0, 0).Text, "日本");
}

TEST(DbfCodePages, LanguageDriverTableAndCpgTexts) {
    EXPECT_EQ(TDbfLanguageDriver::CodePageOf(0x00), 0);
    EXPECT_EQ(TDbfLanguageDriver::CodePageOf(0x26), 866);
    EXPECT_EQ(TDbfLanguageDriver::CodePageOf(0xEE), -1);
    EXPECT_EQ(TDbfLanguageDriver::IdOf(1251), 0xC9);
    EXPECT_EQ(TDbfLanguageDriver::IdOf(65001), 0);
    EXPECT_EQ(TDbfLanguageDriver::ParseCpgText("\xEF\xBB\xBFutf-8\n"), 65001);
    EXPECT_EQ(TDbfLanguageDriver::ParseCpgText("ANSI 1251"), 1251);
    EXPECT_EQ(TDbfLanguageDriver::ParseCpgText("OEM 866"), 866);
    EXPECT_EQ(TDbfLanguageDriver::ParseCpgText("windows-1250"), 1250);
    EXPECT_EQ(TDbfLanguageDriver::ParseCpgText("CP437"), 437);
    EXPECT_EQ(TDbfLanguageDriver::ParseCpgText("ISO-8859-1"), 1252);
    EXPECT_EQ(TDbfLanguageDriver::ParseCpgText("KOI8-R"), 0);
    EXPECT_EQ(TDbfLanguageDriver::CodePageOfName("DB866RU0"), 866);
    EXPECT_EQ(TDbfLanguageDriver::CodePageOfName("DBWINUS0"), 1252);
}

TEST(DbfCodePages, UnknownLanguageByteReadsAsAnsiButIsReadOnly) {
    TTempFolder dir;
    std::string path = dir / "l.dbf";
    TDbfWriter w(path, dvDBase3, {F("NAME", 'C', 10)});
    w.SetLanguageId(0xEE);
    w.AddRecord({Text("Zoë")});
    w.Finish();
    TOpenTable t(path);
    EXPECT_EQ(t.Driver.CodePage(), 1252);
    EXPECT_EQ(t.Get(0, 0).Text, "Zoë");
    EXPECT_FALSE(t.Driver.CanModify());
    EXPECT_NE(t.Driver.ReadOnlyReason().find("0xEE"), std::string::npos);
}

namespace {
// A table whose text is in a code page that nothing names: language byte 0
// and no .cpg file, as many DOS programs wrote them.
void WriteUnmarked(const std::string& path, int codePage, const char* name,
                   const std::vector<std::string>& values) {
    TDbfWriter w(path, dvDBase3, {F(name, 'C', 30), F("N", 'N', 5)}, codePage);
    w.SetLanguageId(0);
    for (size_t i = 0; i < values.size(); ++i)
        w.AddRecord({Text(values[i]), TValue::OfInt(static_cast<int64_t>(i))});
    w.Finish();
}
} // namespace

TEST(DbfCodePages, TablesThatNameNoCodePageAreReadAsTheirTextShows) {
    struct TCase {
        int CodePage;
        const char* Name;
        std::vector<std::string> Values;
        std::string Edited;
    };
    const std::vector<std::string> german = {"Jürgen Müller", "Größe", "Bäckerei Köln", "Fußball",
                                             "Überweisung"};
    const std::vector<std::string> russian = {"Иванов Иван", "Москва", "улица Ленина",
                                              "Новосибирск", "Ёжиков"};
    const TCase cases[] = {
        {850, "GRÖSSE", german, "Ærø Søren"},
        {1252, "GRÖSSE", german, "Ærø Søren €"},
        {866, "ИМЯ", russian, "Щука"},
        {1251, "ИМЯ", russian, "Щука"},
        {852, "MIASTO", {"Łódź", "Kraków", "Wrocław", "Gdańsk", "Częstochowa"}, "Zażółć"},
        {65001, "NAZWA", {"Zoë", "Жук", "中文", "Ærø"}, "日本"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.CodePage);
        TTempFolder dir;
        const std::string path = dir / "t.dbf";
        WriteUnmarked(path, c.CodePage, c.Name, c.Values);
        ASSERT_EQ(ReadBytes(path)[29], '\0');
        ASSERT_FALSE(std::filesystem::exists(dir / "t.cpg"));
        {
            TOpenTable t(path);
            EXPECT_EQ(t.Driver.CodePage(), c.CodePage);
            EXPECT_EQ(t.Fields[0].Name, c.Name);
            for (size_t i = 0; i < c.Values.size(); ++i)
                EXPECT_EQ(t.Get(static_cast<uint32_t>(i), 0).Text, c.Values[i]);
            EXPECT_TRUE(t.Driver.CanModify()) << t.Driver.ReadOnlyReason();
            // An edit is written in the page the table was read in.
            t.Driver.Post(1, {Text(c.Edited), TValue::OfInt(7)});
            EXPECT_EQ(t.Get(1, 0).Text, c.Edited);
            EXPECT_EQ(t.Get(0, 0).Text, c.Values[0]);
        }
        TCodePage cp(c.CodePage);
        std::string stored;
        ASSERT_TRUE(cp.FromUtf8(c.Edited, stored));
        EXPECT_NE(ReadBytes(path).find(stored), std::string::npos);
        TOpenTable again(path);
        EXPECT_EQ(again.Driver.CodePage(), c.CodePage);
        EXPECT_EQ(again.Get(1, 0).Text, c.Edited);
    }
    // ASCII alone gives the ANSI page, as before.
    TTempFolder dir;
    WriteUnmarked(dir / "a.dbf", 1252, "NAME", {"plain", "text"});
    EXPECT_EQ(TOpenTable(dir / "a.dbf").Driver.CodePage(), 1252);
}

TEST(DbfCodePages, TheSampleReachesRecordsSpreadOverALargeTable) {
    // Non-ASCII text only far from the first records: the first records
    // alone would say ASCII (and Windows-1252).
    TTempFolder dir;
    std::vector<std::string> values(6000, "plain ascii name");
    for (size_t i = 3000; i < values.size(); i += 7)
        values[i] = "Иванов Пётр Ильич";
    WriteUnmarked(dir / "big.dbf", 866, "NAME", values);
    TOpenTable t(dir / "big.dbf");
    EXPECT_EQ(t.Driver.CodePage(), 866);
    EXPECT_EQ(t.Get(3003 + 4, 0).Text, "Иванов Пётр Ильич");
}

TEST(DbfCodePages, PagesWithoutASystemConverter) {
    const TCodePageCase cases[] = {
        {737, 0x6A, "ΟΝΟΜΑ", "Καλημέρα κόσμε", ""},
        {895, 0x68, "JMÉNO", "Příliš žluťoučký kůň", ""},
        {620, 0x69, "MIASTO", "Zażółć gęślą jaźń Łódź", ""},
        {10006, 0x98, "ΟΝΟΜΑ", "Καλημέρα κόσμε", ""},
        {10007, 0x96, "ИМЯ", "Жук Ёж", ""},
        {10029, 0x97, "JMÉNO", "Příliš žluťoučký kůň", ""},
    };
    for (const TCodePageCase& c : cases) {
        SCOPED_TRACE(c.CodePage);
        TTempFolder dir;
        const std::string path = dir / "cp.dbf";
        TDbfWriter::Write(path, dvDBase4, {F(c.Name, 'C', 30), F("MEMO", 'M')},
                          {{Text(c.Value), Text(c.Value)}}, c.CodePage);
        EXPECT_EQ(static_cast<uint8_t>(ReadBytes(path)[29]), c.LanguageId);
        TOpenTable t(path);
        EXPECT_EQ(t.Driver.CodePage(), c.CodePage);
        EXPECT_EQ(t.Fields[0].Name, c.Name);
        EXPECT_EQ(t.Get(0, 0).Text, c.Value);
        EXPECT_EQ(t.Get(0, 1).Text, c.Value);
        const std::string edited = std::string(c.Value) + " " + c.Name;
        t.Driver.Post(0, {Text(edited), Text(c.Name)});
        std::string err = ErrorOf([&] { t.Driver.Post(0, {Text("中文"), Text("")}); });
        EXPECT_NE(err.find("code page " + std::to_string(c.CodePage)), std::string::npos) << err;
        TOpenTable again(path);
        EXPECT_EQ(again.Get(0, 0).Text, edited);
        EXPECT_EQ(again.Get(0, 1).Text, c.Name);
        // Single-byte pages: their text is read on the read-ahead's thread.
        TDbfTestDataSet ds(path);
        ds.Open();
        EXPECT_TRUE(ds.ReadsConcurrently(0));
    }
    // A multi-byte page that a user chooses is left to the walk.
    TTempFolder dir;
    TDbfWriter::Write(dir / "j.dbf", dvDBase3, {F("NAME", 'C', 10)}, {{Text("日本")}}, 51932);
    TDbfTestDataSet ds(dir / "j.dbf");
    ds.SetForcedCodePage(51932);
    ds.Open();
    EXPECT_EQ(ds.Fields(0).AsString(), "日本");
    EXPECT_FALSE(ds.ReadsConcurrently(0));
}

TEST(DbfCodePages, AForcedCodePageWinsOverEveryMark) {
    TTempFolder dir;
    const std::string path = dir / "f.dbf";
    // Text in 866 under a language byte that says 1251.
    TDbfWriter w(path, dvDBase3, {F("NAME", 'C', 10)}, 866);
    w.SetLanguageId(0xC9);
    w.AddRecord({Text("Жук")});
    w.Finish();
    EXPECT_EQ(TOpenTable(path).Get(0, 0).Text, "†гЄ");
    {
        TDbfDriver d;
        TFieldDefs fields;
        TIndexDefs indexes;
        d.SetForcedCodePage(866);
        d.Open(path, fields, indexes);
        EXPECT_EQ(d.CodePage(), 866);
        TValue v;
        d.GetValue(0, 0, v);
        EXPECT_EQ(v.Text, "Жук");
        d.Post(0, {Text("Ёж")});
    }
    EXPECT_NE(ReadBytes(path).find("\xF0\xA6"), std::string::npos) << "written in 866";
    // The datasets carry the choice to the driver they open; a .cpg file
    // gives way to it too.
    WriteBytes(dir / "f.cpg", "1252");
    TDbfTestDataSet ds(path);
    ds.SetForcedCodePage(866);
    ds.Open();
    EXPECT_EQ(ds.Dbf().CodePage(), 866);
    EXPECT_EQ(ds.Fields(0).AsString(), "Ёж");
    EXPECT_THROW(ds.SetForcedCodePage(1251), EDatabaseError) << "not while open";
    ds.Close();
    ds.SetForcedCodePage(0);
    ds.Open();
    EXPECT_EQ(ds.Dbf().CodePage(), 1252);
    ds.Close();
    ds.SetForcedCodePage(12345);
    std::string err = ErrorOf([&] { ds.Open(); });
    EXPECT_NE(err.find("12345"), std::string::npos) << err;
    EXPECT_NE(err.find("f.dbf"), std::string::npos) << err;
    // An unknown language byte keeps a table read-only, unless the user
    // says what its code page is.
    std::filesystem::remove(dir / "f.cpg");
    TDbfWriter u(dir / "u.dbf", dvDBase3, {F("NAME", 'C', 10)});
    u.SetLanguageId(0xEE);
    u.AddRecord({Text("Zoë")});
    u.Finish();
    TDbfDriver d;
    TFieldDefs fields;
    TIndexDefs indexes;
    d.SetForcedCodePage(1252);
    d.Open(dir / "u.dbf", fields, indexes);
    EXPECT_TRUE(d.CanModify()) << d.ReadOnlyReason();
}

// ---- Records ----------------------------------------------------------------------

TEST(DbfRecords, DeletedRecordsAreHiddenAndKeepTheirNumbers) {
    TTempFolder dir;
    std::string path = dir / "d.dbf";
    TDbfWriter w(path, dvDBase3, {F("N", 'N', 3)});
    for (int i = 1; i <= 5; ++i)
        w.AddRecord({Int(i)}, i % 2 == 0);
    w.Finish();
    TOpenTable t(path);
    EXPECT_EQ(t.Driver.RecordCount(), 5u);
    EXPECT_EQ(t.Driver.DeletedCount(), 2u);
    EXPECT_FALSE(t.Driver.AllLive());
    EXPECT_TRUE(t.Driver.RecordLive(0));
    EXPECT_FALSE(t.Driver.RecordLive(1));
    EXPECT_FALSE(t.Driver.RecordLive(5));
    EXPECT_EQ(t.Get(3, 0).Int, 4); // a deleted record still reads

    TDbfTestDataSet ds(path);
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 3);
    std::vector<int64_t> seen;
    for (ds.First(); !ds.Eof(); ds.Next())
        seen.push_back(ds.Fields(0).AsLargeInt());
    EXPECT_EQ(seen, (std::vector<int64_t>{1, 3, 5}));
}

TEST(DbfRecords, EmptyTablesOpen) {
    for (TDbfVariant v : {dvDBase3, dvDBase4, dvDBase7, dvFoxPro, dvVisualFoxPro}) {
        TTempFolder dir;
        std::string path = dir / "e.dbf";
        TDbfWriter::Write(path, v, {F("NAME", 'C', 5), F("M", 'M')}, {});
        TDbfTestDataSet ds(path);
        ds.Open();
        EXPECT_TRUE(ds.IsEmpty());
        EXPECT_TRUE(ds.Eof());
        EXPECT_EQ(ds.FieldCount(), 2);
        EXPECT_TRUE(ds.CanModify());
    }
}

TEST(DbfRecords, SideFilesAreFoundInAnyLetterCase) {
    TTempFolder dir;
    TDbfWriter::Write(dir / "Mixed.dbf", dvDBase3, {F("M", 'M')}, {{Text("memo")}});
    std::filesystem::rename(dir / "Mixed.dbt", dir / "MIXED.DBT");
    EXPECT_EQ(TOpenTable(dir / "Mixed.dbf").Get(0, 0).Text, "memo");
    std::filesystem::rename(dir / "MIXED.DBT", dir / "mIxEd.dBt");
    EXPECT_EQ(TOpenTable(dir / "Mixed.dbf").Get(0, 0).Text, "memo");
}

// ---- Through a dataset -------------------------------------------------------------

TEST(DbfDataSet, DisplayTextOfEachKind) {
    TScopedFormatSettings classic(TFormatSettings::Classic());
    TTempFolder dir;
    std::string path = dir / "show.dbf";
    TDbfWriter::Write(path, dvVisualFoxPro,
                      {F("NAME", 'C', 10), F("QTY", 'N', 4), F("PRICE", 'N', 9, 2), F("CUR", 'Y'),
                       F("BORN", 'D'), F("AT", 'T'), F("OK", 'L'), F("NOTE", 'M'), F("PIC", 'P'),
                       F("OBJ", 'G'), Binary(F("BIN", 'M'))},
                      {{Text("Zoë  "), Int(42), Num(1234.5), Num(-7.25), Date(2024, 2, 29),
                        Stamp(2024, 2, 29, 13, 5, 0), Bool(true), Text("text"), Bytes("BM"),
                        Bytes("o"), Bytes("b")},
                       {Text(""), Null(), Null(), Num(0), Null(), Null(), Null(), Null(), Null(),
                        Null(), Null()}});
    TDbfTestDataSet ds(path);
    ds.Open();
    ds.First();
    auto shown = [&](const char* name) { return ds.FieldByName(name).DisplayText(); };
    EXPECT_EQ(shown("NAME"), "Zoë");
    EXPECT_EQ(shown("QTY"), "42");
    EXPECT_EQ(shown("PRICE"), "1234.5");
    EXPECT_EQ(shown("CUR"), "-$7.25");
    EXPECT_EQ(shown("BORN"), "2/29/2024");
    EXPECT_EQ(shown("AT"), "2/29/2024 13:05:00");
    EXPECT_EQ(shown("OK"), "True");
    EXPECT_EQ(shown("NOTE"), "(MEMO)");
    EXPECT_EQ(ds.FieldByName("NOTE").AsString(), "text");
    EXPECT_EQ(shown("PIC"), "(GRAPHIC)");
    EXPECT_TRUE(ds.FieldByName("PIC").IsGraphic());
    EXPECT_EQ(shown("OBJ"), "(DBASEOLE)");
    EXPECT_EQ(shown("BIN"), "(BLOB)");
    EXPECT_EQ(ds.FieldByName("QTY").Alignment(), taRightJustify);
    ds.Next();
    EXPECT_EQ(shown("NAME"), "");
    EXPECT_EQ(shown("QTY"), "");
    EXPECT_TRUE(ds.FieldByName("BORN").IsNull());
    EXPECT_EQ(shown("OK"), "");
    EXPECT_EQ(shown("NOTE"), "(Memo)");
    EXPECT_EQ(shown("PIC"), "(Graphic)");
    EXPECT_EQ(shown("BIN"), "(Blob)");
    EXPECT_EQ(shown("CUR"), "$0.00");
}

TEST(DbfDataSet, EditInsertDeleteThroughTheDataSet) {
    TTempFolder dir;
    std::string path = dir / "ds.dbf";
    TDbfWriter::Write(path, dvDBase3, {F("NAME", 'C', 10), F("N", 'N', 4), F("M", 'M')},
                      {{Text("a"), Int(1), Text("m1")}, {Text("b"), Int(2), Null()}});
    {
        TDbfTestDataSet ds(path);
        ds.Open();
        ds.First();
        ds.Edit();
        ds.FieldByName("NAME").SetAsString("Ærø");
        ds.FieldByName("M").SetAsString("new memo");
        ds.Post();
        ds.Append();
        ds.FieldByName("NAME").SetAsString("c");
        ds.FieldByName("N").SetAsInteger(3);
        ds.Post();
        ds.First();
        ds.Next();
        ds.Delete();
        EXPECT_EQ(ds.RecordCount(), 2);
    }
    TOpenTable t(path);
    ASSERT_EQ(t.Driver.RecordCount(), 3u);
    EXPECT_EQ(t.Get(0, 0).Text, "Ærø");
    EXPECT_EQ(t.Get(0, 2).Text, "new memo");
    EXPECT_FALSE(t.Driver.RecordLive(1));
    EXPECT_EQ(t.Get(2, 0).Text, "c");
    EXPECT_EQ(t.Get(2, 1).Int, 3);
    EXPECT_TRUE(t.Get(2, 2).IsNull());
}

// A large table is scanned in two halves at once: flags on both sides of
// the split, at the ends, and a count that does not split evenly.
TEST(DbfRecords, DeletedFlagsOfALargeTableScannedInTwoHalves) {
    TTempFolder dir;
    std::string path = dir / "large.dbf";
    constexpr int Count = (1 << 18) + 4099;
    constexpr int Half = Count / 2 / 64 * 64;
    TDbfWriter w(path, dvDBase3, {F("N", 'N', 7)});
    const std::set<int> gone = {0, 1, Half - 65, Half - 1, Half, Half + 1, Count - 64, Count - 1};
    for (int i = 0; i < Count; ++i)
        w.AddRecord({Int(i)}, gone.count(i) > 0);
    w.Finish();
    TOpenTable t(path);
    EXPECT_EQ(t.Driver.RecordCount(), static_cast<uint32_t>(Count));
    EXPECT_EQ(t.Driver.DeletedCount(), gone.size());
    for (uint32_t i = 0; i < static_cast<uint32_t>(Count); ++i)
        if (t.Driver.RecordLive(i) != (gone.count(static_cast<int>(i)) == 0)) {
            ADD_FAILURE() << "record " << i;
            break;
        }
    // The dataset's order, built from the flags word by word.
    TDbfTestDataSet ds(path);
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), Count - static_cast<int>(gone.size()));
    int expected = 0;
    for (ds.First(); !ds.Eof(); ds.Next(), ++expected) {
        while (gone.count(expected))
            ++expected;
        if (ds.Fields(0).AsInteger() != expected) {
            ADD_FAILURE() << "at " << ds.RecNo() << ": " << ds.Fields(0).AsInteger();
            break;
        }
    }
}

TEST(DbfRecords, DeletedFlagsAcrossManyRecords) {
    TTempFolder dir;
    std::string path = dir / "many.dbf";
    TDbfWriter w(path, dvDBase3, {F("N", 'N', 5)});
    const std::set<int> gone = {0, 63, 64, 127, 128, 199};
    for (int i = 0; i < 200; ++i)
        w.AddRecord({Int(i)}, gone.count(i) > 0);
    w.Finish();
    TOpenTable t(path);
    EXPECT_EQ(t.Driver.DeletedCount(), gone.size());
    for (uint32_t i = 0; i < 200; ++i)
        EXPECT_EQ(t.Driver.RecordLive(i), gone.count(static_cast<int>(i)) == 0) << i;
    t.Driver.Delete(100);
    EXPECT_FALSE(t.Driver.RecordLive(100));
    EXPECT_TRUE(t.Driver.RecordLive(101));
    EXPECT_EQ(t.Driver.Post(-1, {Int(200)}), 200u);
    EXPECT_TRUE(t.Driver.RecordLive(200));
    EXPECT_FALSE(t.Driver.RecordLive(201));
}

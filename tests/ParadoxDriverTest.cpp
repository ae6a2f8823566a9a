#include "tests/support/PxlibReader.h"
#include "tests/support/TableFileTestSupport.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/paradox/ParadoxDriver.h"
#include "data/drivers/paradox/ParadoxWriter.h"
#include "data/drivers/paradox/PxLib.h"
#include "data/locale/DateTimeFormat.h"

#include <cmath>
#include <fcntl.h>
#include <functional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {
using TPxTable = TOpenDriver<TParadoxDriver>;

TValue Txt(std::string_view s) {
    return TValue::OfText(s);
}
TValue Int(int64_t v) {
    return TValue::OfInt(v);
}
TValue Num(double v) {
    return TValue::OfFloat(v);
}
TValue Bin(std::string_view s) {
    return TValue::OfBytes(s);
}
TValue Day(int y, int m, int d) {
    return TValue::OfDateTime(EncodeDate(y, m, d));
}

const std::string Big(5000, 'x');

std::vector<TParadoxFieldSpec> EveryType() {
    return {{"ID", '+'},        {"Name", 'A', 20}, {"Born", 'D'},  {"Small", 'S'},   {"Long", 'I'},
            {"Price", '$'},     {"Ratio", 'N'},    {"Ok", 'L'},    {"Note", 'M', 5}, {"Data", 'B'},
            {"Styled", 'F'},    {"Ole", 'O'},      {"Photo", 'G'}, {"At", 'T'},      {"Stamp", '@'},
            {"Amount", '#', 2}, {"Raw", 'Y', 4}};
}

std::vector<TValue> FullRecord() {
    return {TValue(),
            Txt("Zo\xC3\xAB \xC3\x86r\xC3\xB8"),
            Day(2020, 3, 4),
            Int(-32767),
            Int(2147483647),
            Num(1234.5),
            Num(-0.125),
            TValue::OfBool(true),
            Txt("a memo longer than its leader"),
            Bin(std::string("bin\0ary", 7)),
            Bin("styled"),
            Bin("ole"),
            Bin(Big),
            TValue::OfDateTime(EncodeTime(13, 14, 15, 0)),
            TValue::OfDateTime(EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 58, 0)),
            Num(-123.45),
            Bin(std::string("\x01\x02\x03\x04", 4))};
}

std::string MakeEveryType(const TTempFolder& dir, bool pxlibRecords, int keys = 0) {
    std::string path = dir / "every.db";
    TParadoxWriter w(path, EveryType(), keys, 1252);
    w.SetPxlibRecords(pxlibRecords);
    w.AddRecord(FullRecord());
    w.AddRecord({TValue(), Txt("second"), TValue(), TValue(), TValue(), TValue(), TValue(),
                 TValue::OfBool(false), Txt("tiny"), TValue(), TValue(), TValue(), TValue(),
                 TValue(), TValue(), Num(0), TValue()});
    w.Finish();
    return path;
}

// A keyed table of people with a memo, in the order given.
std::string MakePeople(const TTempFolder& dir, const std::string& name = "people.db",
                       int count = 3) {
    std::string path = dir / name;
    TParadoxWriter w(path, {{"ID", 'I'}, {"Name", 'A', 12}, {"Note", 'M', 4}}, 1, 1252);
    const char* names[] = {"Ann", "Bob", "Cid", "Dan", "Eve"};
    for (int i = count; i >= 1; --i)
        w.AddRecord({Int(i * 10), Txt(i <= 5 ? names[i - 1] : "P" + std::to_string(i)),
                     Txt(i == 2 ? std::string(3000, 'n') : "note " + std::to_string(i))});
    w.Finish();
    return path;
}

void Put16(std::string& s, size_t at, unsigned v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// Opening `bytes` as a table fails naming the file and saying `what`.
void ExpectOpenError(const TTempFolder& dir, const std::string& bytes, const std::string& what) {
    std::string path = dir / "bad.db";
    PutFileBytes(path, bytes);
    std::string err = RaisedMessage([&] { TPxTable t(path); });
    EXPECT_NE(err.find("\"" + path + "\""), std::string::npos) << err;
    EXPECT_NE(err.find(what), std::string::npos) << err;
    EXPECT_EQ(FileBytes(path), bytes);
}
} // namespace

TEST(ParadoxDriver, EveryFieldTypeReadsBackWithItsKind) {
    for (bool pxlibRecords : {true, false}) {
        SCOPED_TRACE(pxlibRecords ? "records written by pxlib"
                                  : "records written by the block writer");
        TTempFolder dir;
        std::string path = MakeEveryType(dir, pxlibRecords);
        TPxTable t(path);
        const TFieldType types[] = {ftAutoInc,  ftString,     ftDate,    ftSmallint, ftInteger,
                                    ftCurrency, ftFloat,      ftBoolean, ftMemo,     ftBlob,
                                    ftFmtMemo,  ftParadoxOle, ftGraphic, ftTime,     ftDateTime,
                                    ftBCD,      ftBytes};
        ASSERT_EQ(t.Fields.Count(), 17);
        for (int i = 0; i < 17; ++i)
            EXPECT_EQ(t.Fields[i].DataType, types[i]) << t.Fields[i].Name;
        EXPECT_EQ(t.Fields[1].Size, 20);
        EXPECT_EQ(t.Fields[8].Size, 5);  // the memo's leader
        EXPECT_EQ(t.Fields[15].Size, 2); // BCD decimals
        EXPECT_EQ(t.Fields[16].Size, 4);
        EXPECT_TRUE(t.Fields[0].ReadOnly);
        ASSERT_EQ(t.Driver.RecordCount(), 2u);
        EXPECT_EQ(t.Driver.CodePage(), 1252);
        EXPECT_EQ(t.Driver.ReadOnlyReason(), "");

        const std::vector<TValue> want = FullRecord();
        EXPECT_EQ(t.Get(0, 0), Int(1)); // numbered by the writer
        for (int i = 1; i < 17; ++i)
            EXPECT_EQ(t.Get(0, i), want[static_cast<size_t>(i)]) << t.Fields[i].Name;
        // Blank values are null; false and zero are not.
        EXPECT_EQ(t.Get(1, 0), Int(2));
        EXPECT_TRUE(t.Get(1, 2).IsNull());
        EXPECT_TRUE(t.Get(1, 3).IsNull());
        EXPECT_TRUE(t.Get(1, 4).IsNull());
        EXPECT_EQ(t.Get(1, 7), TValue::OfBool(false));
        EXPECT_EQ(t.Get(1, 8), Txt("tiny"));
        EXPECT_TRUE(t.Get(1, 9).IsNull());
        EXPECT_TRUE(t.Get(1, 13).IsNull());
        EXPECT_EQ(t.Get(1, 15), Num(0));
        EXPECT_TRUE(t.Get(1, 16).IsNull());

        // pxlib reads the same numbers, dates and texts.
        std::vector<TPxlibRecord> px = ReadWithPxlib(path);
        ASSERT_EQ(px.size(), 2u);
        EXPECT_EQ(px[0].Texts[1], "Zo\xEB \xC6r\xF8"); // still in code page 1252
        EXPECT_EQ(px[0].Texts[2], std::to_string(737488));
        EXPECT_EQ(px[0].Texts[3], "-32767");
        EXPECT_EQ(px[0].Texts[4], "2147483647");
        EXPECT_EQ(px[0].Texts[7], "T");
        EXPECT_EQ(px[0].Texts[13], std::to_string(((13 * 60 + 14) * 60 + 15) * 1000));
        EXPECT_EQ(px[0].Texts[15], "-123.45");
        EXPECT_EQ(px[1].Texts[7], "F");
        EXPECT_EQ(px[1].Texts[15], "0.00");
    }
}

TEST(ParadoxDriver, DisplayTextThroughADataSet) {
    TClassicFormats classic;
    TTempFolder dir;
    TFileTestDataSet<TParadoxDriver> ds(MakeEveryType(dir, false));
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.FieldByName("Name").DisplayText(), "Zo\xC3\xAB \xC3\x86r\xC3\xB8");
    EXPECT_EQ(ds.FieldByName("Born").DisplayText(), "3/4/2020");
    EXPECT_EQ(ds.FieldByName("Price").DisplayText(), "$1,234.50");
    EXPECT_EQ(ds.FieldByName("Ok").DisplayText(), "True");
    EXPECT_EQ(ds.FieldByName("Note").DisplayText(), "(MEMO)");
    EXPECT_EQ(ds.FieldByName("Photo").DisplayText(), "(GRAPHIC)");
    EXPECT_EQ(ds.FieldByName("At").DisplayText(), "13:14:15");
    EXPECT_EQ(ds.FieldByName("Stamp").DisplayText(), "12/31/1999 23:59:58");
    EXPECT_EQ(ds.FieldByName("Amount").DisplayText(), "-123.45");
    ds.Next();
    EXPECT_EQ(ds.FieldByName("Born").DisplayText(), "");
    EXPECT_EQ(ds.FieldByName("Note").DisplayText(), "(MEMO)");
    EXPECT_EQ(ds.FieldByName("Photo").DisplayText(), "(Graphic)");
}

TEST(ParadoxDriver, BlobsInTheLeaderInSharedBlocksAndInTheirOwn) {
    TTempFolder dir;
    std::string path = dir / "blobs.db";
    TParadoxWriter w(path, {{"N", 'S'}, {"M", 'M', 10}, {"B", 'B', 0}}, 0, 1252);
    std::vector<std::string> memos = {"in leader",
                                      "exactly10!",
                                      "eleven char",
                                      std::string(2047, 'a'),
                                      std::string(2048, 'b'),
                                      std::string(70000, 'c')};
    for (size_t i = 0; i < memos.size(); ++i)
        w.AddRecord(
            {Int(static_cast<int64_t>(i)), Txt(memos[i]), Bin(memos[memos.size() - 1 - i])});
    // Enough small blobs to need a second shared block.
    for (int i = 0; i < 70; ++i)
        w.AddRecord({Int(100 + i), Txt("memo number " + std::to_string(i)), TValue()});
    w.Finish();
    TPxTable t(path);
    ASSERT_EQ(t.Driver.RecordCount(), memos.size() + 70);
    for (size_t i = 0; i < memos.size(); ++i) {
        EXPECT_EQ(t.Text(static_cast<uint32_t>(i), 1), memos[i]) << i;
        EXPECT_EQ(t.Text(static_cast<uint32_t>(i), 2), memos[memos.size() - 1 - i]) << i;
    }
    for (uint32_t i = 0; i < 70; ++i) {
        EXPECT_EQ(t.Text(6 + i, 1), "memo number " + std::to_string(i));
        EXPECT_TRUE(t.Get(6 + i, 2).IsNull());
    }
}

TEST(ParadoxDriver, CodePagesOfTheHeader) {
    struct TCase {
        int CodePage;
        std::string Text;
        std::string Name;
        std::string Stored; // the name's bytes in the code page
    };
    const TCase cases[] = {
        {437, "Zo\xC3\xAB \xC3\x86r\xC3\xB6", "Zo\xC3\xAB", "Zo\x89"},
        {850, "Zo\xC3\xAB \xC3\x86r\xC3\xB8 \xC3\x80", "\xC3\x86r\xC3\xB8", "\x92r\x9B"},
        {866, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\xD0\x98\xD0\xBC\xD1\x8F",
         "\x88\xAC\xEF"},
        {1251, "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
         "\xD0\x9F\xD0\xBE\xD0\xBB\xD0\xB5", "\xCF\xEE\xEB\xE5"},
        {1252, "Zo\xC3\xAB \xC3\x86r\xC3\xB8 \xE2\x82\xAC", "Prix\xE2\x82\xAC", "Prix\x80"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.CodePage);
        TTempFolder dir;
        std::string path = dir / "cp.db";
        TParadoxWriter w(path, {{"Text", 'A', 30}, {"Memo", 'M', 1}, {c.Name, 'S'}}, 0, c.CodePage);
        w.AddRecord({Txt(c.Text), Txt(c.Text + " in a memo"), Int(1)});
        w.Finish();
        TPxTable t(path);
        EXPECT_EQ(t.Driver.CodePage(), c.CodePage);
        EXPECT_EQ(t.Text(0, 0), c.Text);
        EXPECT_EQ(t.Text(0, 1), c.Text + " in a memo");
        EXPECT_EQ(t.Fields[2].Name, c.Name);
        // Characters the code page lacks are refused, not lost.
        std::string err = RaisedMessage([&] {
            t.Driver.Post(0, {Txt("\xE4\xB8\xAD\xE6\x96\x87"), Txt(""), Int(1)});
        });
        EXPECT_NE(err.find("code page " + std::to_string(c.CodePage)), std::string::npos) << err;
        EXPECT_EQ(TPxTable(path).Text(0, 0), c.Text);
        // Written back through an edit, in the table's code page.
        const std::string edited = c.Name + " " + c.Text;
        t.Driver.Post(0, {Txt(edited), Txt(c.Name), Int(2)});
        TPxTable again(path);
        EXPECT_EQ(again.Text(0, 0), edited);
        EXPECT_EQ(again.Text(0, 1), c.Name);
        std::vector<TPxlibRecord> px = ReadWithPxlib(path);
        ASSERT_EQ(px.size(), 1u);
        EXPECT_EQ(px[0].Texts[0].substr(0, c.Stored.size()), c.Stored);
    }
}

TEST(ParadoxDriver, CodePagesWithoutASystemConverterAndHpRoman8) {
    // HP Roman-8 (1051 in a header), and the DOS and Mac pages that only the
    // program's own tables or the newer converter names convert.
    struct TCase {
        int CodePage;
        std::string Text;
        std::string Stored; // the first characters' bytes
    };
    const TCase cases[] = {{1051, "Café Müller", "Caf\xC5"},
                           {737, "Καλημέρα", "\x89\x98\xA2"},
                           {895, "Příliš žluťoučký", "P\xA9\xA1"},
                           {620, "Zażółć", "Za\xA7"},
                           {10006, "Καλημέρα", "\xBA\xE1\xEC"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.CodePage);
        TTempFolder dir;
        std::string path = dir / "cp.db";
        TParadoxWriter w(path, {{"Text", 'A', 30}, {"Memo", 'M', 1}}, 0, c.CodePage);
        w.AddRecord({Txt(c.Text), Txt(c.Text + " in a memo")});
        w.Finish();
        EXPECT_NE(FileBytes(path).find(c.Stored), std::string::npos);
        TPxTable t(path);
        EXPECT_EQ(t.Driver.CodePage(), c.CodePage);
        EXPECT_EQ(t.Text(0, 0), c.Text);
        EXPECT_EQ(t.Text(0, 1), c.Text + " in a memo");
        t.Driver.Post(0, {Txt(c.Text + "!"), Txt(c.Text)});
        std::string err = RaisedMessage([&] { t.Driver.Post(0, {Txt("\xE4\xB8\xAD"), Txt("")}); });
        EXPECT_NE(err.find("code page " + std::to_string(c.CodePage)), std::string::npos) << err;
        TPxTable again(path);
        EXPECT_EQ(again.Text(0, 0), c.Text + "!");
        EXPECT_EQ(again.Text(0, 1), c.Text);
    }
    // A code page the user chooses wins over the header's.
    TTempFolder dir;
    std::string path = dir / "forced.db";
    TParadoxWriter w(path, {{"Text", 'A', 30}}, 0, 866);
    w.AddRecord({Txt("\xD0\x96\xD1\x83\xD0\xBA")});
    w.Finish();
    TParadoxDriver d;
    TFieldDefs fields;
    TIndexDefs indexes;
    d.SetForcedCodePage(1251);
    d.Open(path, fields, indexes);
    EXPECT_EQ(d.CodePage(), 1251);
    TValue v;
    d.GetValue(0, 0, v);
    EXPECT_EQ(v.Text, "\xE2\x80\xA0\xD0\xB3\xD0\x84") << "the 866 bytes of Zhuk read as 1251";
}

// BCD values as other writers store them: a negative value's first byte
// complemented whole, decimals other than the field's, all 32 digits. A
// nibble above 9 is damage.
TEST(ParadoxDriver, BcdValuesOfOtherWriters) {
    TTempFolder dir;
    const std::string path = dir / "bcd.db";
    TParadoxWriter w(path, {{"N", 'S'}, {"Amount", '#', 2}}, 0, 1252);
    for (int i = 0; i < 6; ++i)
        w.AddRecord({Int(i), Num(-123.45)});
    w.Finish();
    std::string db = FileBytes(path);
    size_t at[6];
    {
        TPxTable t(path);
        const TParadoxHeader& h = t.Driver.Header();
        ASSERT_EQ(h.FileBlocks, 1);
        for (size_t r = 0; r < 6; ++r)
            at[r] = h.HeaderSize + 6 + r * h.RecordSize + static_cast<size_t>(h.Fields[1].Offset);
        EXPECT_EQ(t.Get(0, 1), Num(-123.45));
    }
    auto put = [&](size_t r, const std::string& hex) {
        for (size_t i = 0; i < 17; ++i)
            db[at[r] + i] = static_cast<char>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    };
    put(0, "3DFFFFFFFFFFFFFFFFFFFFFFFFFFFEDCBA"); // -123.45, first byte complemented
    put(1, "C400000000000000000000000000012345"); // four decimals in a field of two
    put(2, "8200000000000000000000000000012345"); // the bit that pxlib sets is not needed
    put(3, "C012345678901234567890123456789012"); // 32 digits
    put(4, "44FFFFFFFFFFFFFFFFFFFFFFFFFFFAFFFF"); // -5.0000
    put(5, "C20000000000000000000000000001234A"); // damaged
    PutFileBytes(path, db);
    TPxTable t(path);
    EXPECT_EQ(t.Get(0, 1), Num(-123.45));
    EXPECT_EQ(t.Get(1, 1), Num(1.2345));
    EXPECT_EQ(t.Get(2, 1), Num(123.45));
    EXPECT_EQ(t.Get(3, 1), Num(12345678901234567890123456789012.0));
    EXPECT_EQ(t.Get(4, 1), Num(-5));
    const std::string err = RaisedMessage([&] { t.Get(5, 1); });
    EXPECT_NE(err.find("record 6"), std::string::npos) << err;
    EXPECT_NE(err.find("damaged"), std::string::npos) << err;
    EXPECT_TRUE(t.Driver.Warnings().List().empty());
}

TEST(ParadoxDriver, EmptyTablesOpenAndTakeRecords) {
    TTempFolder dir;
    std::string path = dir / "empty.db";
    TParadoxWriter(path, {{"ID", 'I'}, {"Name", 'A', 10}}, 1).Finish();
    {
        TPxTable t(path);
        EXPECT_EQ(t.Driver.RecordCount(), 0u);
        ASSERT_EQ(t.Indexes.Count(), 1);
        EXPECT_EQ(t.Indexes[0].Fields, "ID");
        EXPECT_EQ(t.Driver.Post(-1, {Int(5), Txt("five")}), 0u);
        EXPECT_EQ(t.Driver.Post(-1, {Int(1), Txt("one")}), 1u);
        EXPECT_EQ(t.Text(0, 1), "five");
        EXPECT_EQ(t.Text(1, 1), "one");
    }
    TPxTable again(path);
    ASSERT_EQ(again.Driver.RecordCount(), 2u);
    EXPECT_EQ(again.Text(0, 1), "one"); // key order in the file
    EXPECT_EQ(again.Text(1, 1), "five");
    ASSERT_EQ(ReadWithPxlib(path).size(), 2u);
}

TEST(ParadoxDriver, PrimaryKeyAndSecondaryIndexes) {
    TTempFolder dir;
    std::string path = dir / "idx.db";
    TParadoxWriter w(path, {{"Code", 'A', 4}, {"Part", 'S'}, {"City", 'A', 10}, {"Zip", 'I'}}, 2);
    w.AddRecord({Txt("B"), Int(2), Txt("Oslo"), Int(300)});
    w.AddRecord({Txt("A"), Int(9), Txt("Rome"), Int(100)});
    w.AddRecord({Txt("B"), Int(1), Txt("Bern"), Int(200)});
    w.AddSecondaryIndex({"City"});
    w.AddSecondaryIndex({"Zip", "City"}, "ByZip");
    w.Finish();
    for (const char* f : {"idx.px", "idx.X03", "idx.Y03", "idx.XG0", "idx.YG0"})
        EXPECT_TRUE(std::filesystem::exists(dir / f)) << f;
    TPxTable t(path);
    ASSERT_EQ(t.Indexes.Count(), 3);
    EXPECT_EQ(t.Indexes[0].Name, "");
    EXPECT_EQ(t.Indexes[0].Fields, "Code;Part");
    EXPECT_EQ(t.Indexes[0].Options, ixPrimary | ixUnique);
    EXPECT_EQ(t.Indexes[1].Name, "City");
    EXPECT_EQ(t.Indexes[1].Fields, "City");
    EXPECT_EQ(t.Indexes[2].Name, "ByZip");
    EXPECT_EQ(t.Indexes[2].Fields, "Zip;City");
    // Records in key order.
    EXPECT_EQ(t.Text(0, 2), "Rome");
    EXPECT_EQ(t.Text(1, 2), "Bern");
    EXPECT_EQ(t.Text(2, 2), "Oslo");
    // Secondary indexes would go stale: the table is read-only.
    EXPECT_FALSE(t.Driver.CanModify());
    EXPECT_NE(t.Driver.ReadOnlyReason().find("idx.X03"), std::string::npos)
        << t.Driver.ReadOnlyReason();
    EXPECT_NE(RaisedMessage([&] { t.Driver.Delete(0); }).find("secondary index"),
              std::string::npos);

    // Without its .Ynn a secondary data file is no index, but still a file to keep up to date.
    std::filesystem::remove(dir / "idx.Y03");
    TPxTable less(path);
    EXPECT_EQ(less.Indexes.Count(), 2);
    EXPECT_FALSE(less.Driver.CanModify());
}

TEST(ParadoxWriter, HeadersHoldNothingOfTheRun) {
    // pxlib leaves its memory's addresses, the clock and an unset byte in
    // the headers it writes; the writer clears them, so that a table is the
    // same file on every run, and the files stay readable.
    for (bool pxlibRecords : {true, false}) {
        SCOPED_TRACE(pxlibRecords);
        TTempFolder dir, again;
        auto write = [&](const std::string& path) {
            TParadoxWriter w(path, {{"Code", 'A', 4}, {"Zip", 'I'}, {"Note", 'M', 2}}, 1);
            w.SetPxlibRecords(pxlibRecords);
            w.AddRecord({Txt("B"), Int(300), Txt("a note past its leader")});
            w.AddRecord({Txt("A"), Int(100), TValue()});
            w.AddSecondaryIndex({"Zip"});
            w.AddSecondaryIndex({"Zip", "Code"}, "ByZip");
            w.Finish();
        };
        write(dir / "one.db");
        write(again / "one.db");
        for (const char* ext : {".db", ".px", ".mb", ".X02", ".Y02", ".XG0", ".YG0"}) {
            SCOPED_TRACE(ext);
            const std::string one = FileBytes(dir / (std::string("one") + ext));
            ASSERT_GE(one.size(), 0x78u);
            EXPECT_TRUE(one == FileBytes(again / (std::string("one") + ext)));
            if (std::string(ext) == ".db" || ext[1] == 'X') {
                const size_t fields = static_cast<uint8_t>(one[0x21]);
                const size_t pointers = 0x78 + 2 * fields;
                ASSERT_GE(one.size(), pointers + 4 + 4 * fields);
                for (auto [at, n] : {std::pair<size_t, size_t>{0x16, 8},
                                     {0x30, 8},
                                     {0x55, 1},
                                     {0x60, 4},
                                     {pointers, 4 + 4 * fields}})
                    EXPECT_EQ(one.substr(at, n), std::string(n, '\0')) << "at " << at;
            }
        }
        TPxTable t(dir / "one.db");
        ASSERT_EQ(t.Fields.Count(), 3);
        EXPECT_EQ(t.Fields[2].Name, "Note");
        EXPECT_EQ(t.Text(0, 0), "A");
        EXPECT_EQ(t.Text(1, 2), "a note past its leader");
        EXPECT_EQ(t.Indexes.Count(), 3);
        const std::vector<TPxlibRecord> theirs = ReadWithPxlib(dir / "one.db");
        ASSERT_EQ(theirs.size(), 2u);
        EXPECT_EQ(theirs[1].Texts[0], "B");
        EXPECT_EQ(theirs[1].Texts[1], "300");
    }
}

TEST(ParadoxDriver, PrimaryIndexFileMatchesPxlibs) {
    // pxlib builds the .px of a table with its own code; ours must agree
    // entry for entry (one level and two levels of index blocks).
    for (int count : {300, 9000}) {
        SCOPED_TRACE(count);
        TTempFolder dir;
        std::string path = dir / "keyed.db";
        TParadoxWriter w(path, {{"ID", 'I'}, {"Name", 'A', 60}}, 1);
        w.SetPxlibRecords(false);
        w.SetBlockSizeCode(2);
        for (int i = 0; i < count; ++i)
            w.AddRecord({Int(i * 3), Txt("name " + std::to_string(i))});
        w.Finish();
        std::string ours = FileBytes(dir / "keyed.px");

        const std::string theirs = PxlibPrimaryIndexOfId(path, dir / "theirs.px");
        ASSERT_FALSE(theirs.empty());

        ExpectSameIndex(ours, theirs, 2048);
    }
}

TEST(ParadoxEdit, EditInsertDeleteAreReadBack) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    const std::string mbBefore = FileBytes(dir / "people.mb");
    {
        TPxTable t(path);
        ASSERT_TRUE(t.Driver.CanModify()) << t.Driver.ReadOnlyReason();
        EXPECT_EQ(t.Text(1, 1), "Bob");
        EXPECT_EQ(t.Text(1, 2), std::string(3000, 'n'));
        // Editing a memo: the old blob stays where it was, the new one follows.
        EXPECT_EQ(t.Driver.Post(1, {Int(20), Txt("Bobby"), Txt("new memo text, longer than four")}),
                  1u);
        EXPECT_EQ(t.Text(1, 1), "Bobby");
        const std::string mbAfter = FileBytes(dir / "people.mb");
        EXPECT_GT(mbAfter.size(), mbBefore.size());
        EXPECT_EQ(mbAfter.substr(0, mbBefore.size()), mbBefore);
        // A new key goes to its place in the file, but keeps its number here.
        EXPECT_EQ(t.Driver.Post(-1, {Int(15), Txt("Fay"), TValue()}), 3u);
        EXPECT_EQ(t.Text(3, 1), "Fay");
        t.Driver.Delete(0);
        EXPECT_FALSE(t.Driver.RecordLive(0));
        EXPECT_FALSE(t.Driver.AllLive());
        EXPECT_EQ(t.Driver.RecordCount(), 4u);
        EXPECT_EQ(t.Text(2, 1), "Cid");
        EXPECT_EQ(t.Text(3, 1), "Fay");
        // Keys stay unique.
        std::string err = RaisedMessage([&] {
            t.Driver.Post(-1, {Int(30), Txt("again"), TValue()});
        });
        EXPECT_NE(err.find("Key violation"), std::string::npos) << err;
        err = RaisedMessage([&] { t.Driver.Post(3, {Int(20), Txt("Fay"), TValue()}); });
        EXPECT_NE(err.find("Key violation"), std::string::npos) << err;
        // A changed key moves the record; its number stays.
        t.Driver.Post(3, {Int(40), Txt("Fay"), Txt("moved")});
        EXPECT_EQ(t.Text(3, 2), "moved");
    }
    TPxTable t(path);
    ASSERT_EQ(t.Driver.RecordCount(), 3u);
    EXPECT_TRUE(t.Driver.AllLive());
    EXPECT_EQ(t.Get(0, 0), Int(20));
    EXPECT_EQ(t.Text(0, 1), "Bobby");
    EXPECT_EQ(t.Text(0, 2), "new memo text, longer than four");
    EXPECT_EQ(t.Get(1, 0), Int(30));
    EXPECT_EQ(t.Text(1, 2), "note 3");
    EXPECT_EQ(t.Get(2, 0), Int(40));
    EXPECT_EQ(t.Text(2, 2), "moved");
    EXPECT_EQ(ReadWithPxlib(path).size(), 3u);
}

TEST(ParadoxEdit, UnkeyedTablesKeepTheirOrderAndNumberAutoIncrements) {
    TTempFolder dir;
    std::string path = MakeEveryType(dir, true);
    {
        TPxTable t(path);
        std::vector<TValue> rec = FullRecord();
        rec[1] = Txt("third");
        EXPECT_EQ(t.Driver.Post(-1, rec), 2u);
        EXPECT_EQ(t.Get(2, 0), Int(3));
        rec[1] = Txt("first, edited");
        rec[0] = t.Get(0, 0);
        t.Driver.Post(0, rec);
        t.Driver.Delete(1);
        EXPECT_EQ(t.Driver.Post(-1, rec), 3u);
        EXPECT_EQ(t.Get(3, 0), Int(4)); // numbers are not reused
    }
    TPxTable t(path);
    ASSERT_EQ(t.Driver.RecordCount(), 3u);
    EXPECT_EQ(t.Text(0, 1), "first, edited");
    EXPECT_EQ(t.Text(1, 1), "third");
    EXPECT_EQ(t.Text(2, 1), "first, edited");
    const std::vector<TValue> want = FullRecord();
    for (int i = 2; i < 17; ++i)
        EXPECT_EQ(t.Get(2, i), want[static_cast<size_t>(i)]) << t.Fields[i].Name;
}

TEST(ParadoxEdit, ValuesThatDoNotFitAreRefused) {
    TTempFolder dir;
    std::string path = MakeEveryType(dir, false);
    const std::string before = FileBytes(path);
    TPxTable t(path);
    struct TCase {
        int Field;
        TValue Value;
        const char* What;
    };
    const TCase cases[] = {{1, Txt(std::string(21, 'a')), "the field holds 20"},
                           {3, Int(32768), "-32767 to 32767"},
                           {3, Int(-32768), "-32767 to 32767"},
                           {4, Num(1.5), "not a whole number"},
                           {5, Txt("cheap"), "not a number"},
                           {7, Txt("maybe"), "not True or False"},
                           {2, Txt("soon"), "not a date"},
                           {16, Bin("12345"), "holds 4 bytes"},
                           {15, Num(1e40), "32 digits"}};
    for (const TCase& c : cases) {
        std::vector<TValue> rec = FullRecord();
        rec[0] = t.Get(0, 0);
        rec[static_cast<size_t>(c.Field)] = c.Value;
        std::string err = RaisedMessage([&] { t.Driver.Post(0, rec); });
        EXPECT_NE(err.find(c.What), std::string::npos) << err;
        EXPECT_NE(err.find("'" + t.Fields[c.Field].Name + "'"), std::string::npos) << err;
    }
    EXPECT_EQ(FileBytes(path), before);
    // Texts convert where they can.
    std::vector<TValue> rec = FullRecord();
    rec[0] = t.Get(0, 0);
    rec[3] = Txt("12");
    rec[2] = Txt("2021-05-06");
    rec[7] = Txt("false");
    t.Driver.Post(0, rec);
    EXPECT_EQ(t.Get(0, 3), Int(12));
    EXPECT_EQ(t.Get(0, 2), Day(2021, 5, 6));
    EXPECT_EQ(t.Get(0, 7), TValue::OfBool(false));
}

TEST(ParadoxEdit, ReadOnlyTablesSayWhy) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    {
        std::filesystem::remove(dir / "people.px");
        TPxTable t(path);
        EXPECT_EQ(t.Driver.RecordCount(), 3u);
        EXPECT_NE(t.Driver.ReadOnlyReason().find("primary index file"), std::string::npos);
    }
    path = MakePeople(dir, "other.db");
    PutFileBytes(dir / "other.VAL", "checks");
    {
        TPxTable t(path);
        EXPECT_NE(t.Driver.ReadOnlyReason().find("other.VAL"), std::string::npos);
    }
    std::filesystem::remove(dir / "other.VAL");
    if (geteuid() != 0) {
        chmod(path.c_str(), 0444);
        TPxTable t(path);
        EXPECT_EQ(t.Driver.ReadOnlyReason(), "the file is read-only");
        chmod(path.c_str(), 0644);
    }
    // Another program's lock file beside the table stops a write.
    PutFileBytes(dir / ".~lock.other.db#", "someone");
    TPxTable t(path);
    std::string err = RaisedMessage([&] { t.Driver.Delete(0); });
    EXPECT_NE(err.find("open in another program"), std::string::npos) << err;
    EXPECT_EQ(t.Driver.RecordCount(), 3u);
}

TEST(ParadoxEdit, RefreshSeesAnotherProgramsChange) {
    TTempFolder dir;
    std::string path = MakePeople(dir);
    TPxTable t(path);
    MakePeople(dir, "people.db", 5);
    std::string err = RaisedMessage([&] { t.Driver.Delete(0); });
    EXPECT_NE(err.find("changed by another program"), std::string::npos) << err;
    t.Driver.Refresh();
    EXPECT_EQ(t.Driver.RecordCount(), 5u);
    t.Driver.Delete(0);
    EXPECT_EQ(TPxTable(path).Driver.RecordCount(), 4u);
}

// ---- Bad input ------------------------------------------------------------------

TEST(ParadoxBadInput, EmptyShortAndForeignFiles) {
    TTempFolder dir;
    ExpectOpenError(dir, "", "the file is empty");
    ExpectOpenError(dir, std::string(40, '\0'), "too short");
    ExpectOpenError(dir, "Name,City\r\nAnn,Oslo\r\n" + std::string(200, ' '),
                    "not a Paradox table");
    std::mt19937 rng(11);
    for (int i = 0; i < 200; ++i) {
        std::string garbage(static_cast<size_t>(rng() % 5000), '\0');
        for (char& c : garbage)
            c = static_cast<char>(rng());
        std::string path = dir / "garbage.db";
        PutFileBytes(path, garbage);
        std::string err = RaisedMessage([&] {
            TPxTable t(path);
            for (uint32_t r = 0; r < t.Driver.RecordCount(); ++r)
                for (int f = 0; f < t.Fields.Count(); ++f)
                    t.Get(r, f);
        });
        if (!err.empty()) {
            EXPECT_NE(err.find(path), std::string::npos) << err;
        }
    }
}

TEST(ParadoxBadInput, LyingHeaders) {
    TTempFolder dir;
    const std::string good = FileBytes(MakePeople(dir, "good.db", 200));
    struct TLie {
        const char* What;
        std::function<void(std::string&)> Change;
    };
    const std::vector<TLie> lies = {
        {"record size 31 does not match", [](std::string& s) { Put16(s, 0, 31); }},
        {"record size is 0", [](std::string& s) { Put16(s, 0, 0); }},
        {"do not fit in its blocks", [](std::string& s) { Put16(s, 0, 5000); }},
        {"header needs", [](std::string& s) { Put16(s, 2, 0xF000); }},
        {"too small for", [](std::string& s) { Put16(s, 2, 0x60); }},
        {"not a Paradox table", [](std::string& s) { s[4] = 1; }},
        {"secondary index", [](std::string& s) { s[4] = 3; }},
        {"block size code", [](std::string& s) { s[5] = 0; }},
        {"more than its", [](std::string& s) { Put32(s, 6, 1000000); }},
        {"blocks hold", [](std::string& s) { Put32(s, 6, 199); }},
        {"first block", [](std::string& s) { Put16(s, 0x0E, 0); }},
        {"field count", [](std::string& s) { Put16(s, 0x21, 0); }},
        {"key fields", [](std::string& s) { Put16(s, 0x23, 9); }},
        {"version byte", [](std::string& s) { s[0x39] = 0x40; }},
        {"unknown type", [](std::string& s) { s[0x78] = 0x11; }},
        {"impossible size", [](std::string& s) { s[0x79] = 7; }},
        {"encrypted", [](std::string& s) { Put32(s, 0x5C, 0x12345678); }},
        {"runs past the header",
         [](std::string& s) {
             std::fill(s.begin() + 0x78 + 6 + 16 + 261, s.begin() + 0x800, 'x');
         }},
        {"has no name",
         [](std::string& s) {
             std::fill(s.begin() + 0x78 + 6 + 16 + 261, s.begin() + 0x800, '\0');
         }},
        {"returns to block", [](std::string& s) { Put16(s, 0x800 + 2048, 1); }},
        {"links to block", [](std::string& s) { Put16(s, 0x800, 999); }},
        {"whole number of", [](std::string& s) { Put16(s, 0x800 + 4, 7); }},
        {"more than fit", [](std::string& s) { Put16(s, 0x800 + 4, 2040); }},
    };
    for (const TLie& lie : lies) {
        SCOPED_TRACE(lie.What);
        std::string bad = good;
        lie.Change(bad);
        ExpectOpenError(dir, bad, lie.What);
    }
}

// The table in `db` with a header of `headerSize` bytes and its blocks
// moved to follow it, as version `version` (the table name takes 79 bytes
// before version 7, so `db` must be of the same side); with a version
// below 5, in the layout of Paradox 3 (the fields listed at 0x58, the
// encryption code at 0x25).
std::string WithHeader(const std::string& db, unsigned headerSize, uint8_t version) {
    const unsigned oldSize = static_cast<uint8_t>(db[2]) | (static_cast<uint8_t>(db[3]) << 8);
    std::string head = db.substr(0, oldSize);
    if (version < 5) {
        head.erase(0x58, 0x20);
        Put32(head, 0x25, 0);
    }
    head[0x39] = static_cast<char>(version);
    head.resize(headerSize, '\0');
    Put16(head, 2, headerSize);
    return head + db.substr(oldSize);
}

// Headers of other sizes than 2048, in both layouts, with blocks of 1 to 4
// KB: the blocks follow the header, whatever its size.
TEST(ParadoxDriver, HeadersOfAnySizeInBothLayouts) {
    TTempFolder dir;
    const std::string path = dir / "h.db";
    for (int blockCode : {1, 2, 4})
        for (int written : {50, 70}) {
            TParadoxWriter w(path, {{"ID", 'I'}, {"Name", 'A', 20}, {"Amount", '#', 2}}, 0, 437);
            w.SetVersion(written);
            w.SetBlockSizeCode(blockCode);
            for (int i = 0; i < 150; ++i)
                w.AddRecord({Int(i), Txt("n" + std::to_string(i)), Num(i * 1.25)});
            w.Finish();
            const std::string db = FileBytes(path);
            for (unsigned headerSize : {1024u, 2048u, 3072u, 4096u})
                for (uint8_t version :
                     written == 70 ? std::vector<uint8_t>{12} : std::vector<uint8_t>{3, 4, 9}) {
                    SCOPED_TRACE(std::to_string(blockCode) + " KB blocks, a header of " +
                                 std::to_string(headerSize) + " bytes, version " +
                                 std::to_string(version));
                    PutFileBytes(path, WithHeader(db, headerSize, version));
                    std::vector<TPxlibRecord> px = ReadWithPxlib(path);
                    TPxTable t(path);
                    EXPECT_EQ(t.Driver.Header().HeaderSize, headerSize);
                    EXPECT_EQ(t.Driver.Header().BlockSize,
                              1024u * static_cast<unsigned>(blockCode));
                    EXPECT_EQ(t.Driver.Header().FieldInfoStart, version < 5 ? 0x58u : 0x78u);
                    EXPECT_EQ(t.Fields[2].Name, "Amount");
                    ASSERT_EQ(t.Driver.RecordCount(), 150u);
                    ASSERT_EQ(px.size(), 150u);
                    EXPECT_TRUE(t.Driver.Warnings().List().empty());
                    for (uint32_t r = 0; r < 150; r += 7) {
                        EXPECT_EQ(t.Get(r, 0), Int(r));
                        EXPECT_EQ(t.Text(r, 1), "n" + std::to_string(r));
                        EXPECT_EQ(t.Get(r, 2), Num(r * 1.25));
                        EXPECT_EQ(px[r].Texts[0], std::to_string(r));
                    }
                }
        }
    // An edit rewrites the blocks after a header of its own size.
    TParadoxWriter w(path, {{"ID", 'I'}, {"Name", 'A', 20}, {"Amount", '#', 2}}, 0, 437);
    w.SetVersion(50);
    for (int i = 0; i < 150; ++i)
        w.AddRecord({Int(i), Txt("n" + std::to_string(i)), Num(i * 1.25)});
    w.Finish();
    PutFileBytes(path, WithHeader(FileBytes(path), 4096, 3));
    {
        TPxTable t(path);
        t.Driver.Post(3, {Int(3), Txt("three"), Num(-3)});
    }
    TPxTable t(path);
    EXPECT_EQ(t.Driver.Header().HeaderSize, 4096);
    EXPECT_EQ(t.Text(3, 1), "three");
    EXPECT_EQ(t.Get(3, 2), Num(-3));
    EXPECT_EQ(ReadWithPxlib(path).at(3).Texts[1], "three");
}

// A header that counts more blocks than the file holds: the records are
// read as far as the block chain goes, all of it in the file, with a
// warning; a record cut short is still an error.
TEST(ParadoxBadInput, FewerBlocksThanTheHeaderCounts) {
    TTempFolder dir;
    const std::string path = dir / "b.db";
    TParadoxWriter w(path, {{"ID", 'I'}, {"Name", 'A', 12}}, 1, 1252);
    w.SetPxlibRecords(false); // blocks filled in order, the last one part full
    for (int i = 1; i <= 200; ++i)
        w.AddRecord({Int(i * 10), Txt("P" + std::to_string(i))});
    w.Finish();
    const std::string good = FileBytes(path);
    std::string s = good;
    Put16(s, 0x0C, 400);
    PutFileBytes(path, s);
    {
        TPxTable t(path);
        EXPECT_EQ(t.Driver.RecordCount(), 200u);
        ASSERT_EQ(t.Driver.Warnings().List().size(), 1u);
        EXPECT_NE(t.Driver.Warnings().List()[0].find("counts 400 blocks"), std::string::npos);
    }
    // The unused end of the last block is not there; then a part of its last
    // record is not there either.
    PutFileBytes(path, good);
    size_t end;
    {
        TPxTable t(path);
        const TParadoxHeader& h = t.Driver.Header();
        const size_t last = h.NumRecords - (h.FileBlocks - 1u) * h.RecordsPerBlock();
        ASSERT_LT(last, h.RecordsPerBlock());
        end = h.HeaderSize + (h.FileBlocks - 1u) * h.BlockSize + 6 + last * h.RecordSize;
        ASSERT_LT(end, good.size());
    }
    PutFileBytes(path, good.substr(0, end));
    {
        TPxTable t(path);
        ASSERT_EQ(t.Driver.RecordCount(), 200u);
        EXPECT_EQ(t.Text(199, 1), "P200");
        EXPECT_EQ(t.Driver.Warnings().List().size(), 1u);
        EXPECT_EQ(ReadWithPxlib(path).at(199).Texts[0], "2000");
    }
    ExpectOpenError(dir, good.substr(0, end - 1), "the file is truncated: its block");
}

TEST(ParadoxBadInput, TruncatedTablesAndBlobFiles) {
    TTempFolder dir;
    const std::string path = MakePeople(dir, "t.db", 120);
    const std::string db = FileBytes(path);
    const std::string mb = FileBytes(dir / "t.mb");
    // Cut anywhere: an error naming the file, or, where only the unused end
    // of the last block is gone, every record.
    int opened = 0;
    for (size_t cut = 0; cut < db.size(); cut += 97) {
        std::string err = RaisedMessage([&] {
            PutFileBytes(path, db.substr(0, cut));
            TPxTable t(path);
            ASSERT_EQ(t.Driver.RecordCount(), 120u);
            EXPECT_EQ(t.Text(119, 1), "P120");
            ++opened;
        });
        if (err.empty()) continue;
        EXPECT_NE(err.find("\"" + path + "\""), std::string::npos) << cut << ": " << err;
    }
    EXPECT_LT(opened, 20);
    PutFileBytes(path, db);
    // Without a readable blob file the table opens, read-only, and says why
    // once; its blobs read as unavailable.
    for (const std::string& why : {std::string("t.mb\" is damaged: the file is empty"),
                                   std::string("blob file \"t.mb\" is missing")}) {
        SCOPED_TRACE(why);
        if (why.find("empty") != std::string::npos)
            PutFileBytes(dir / "t.mb", "");
        else
            std::filesystem::remove(dir / "t.mb");
        TPxTable t(path);
        EXPECT_EQ(t.Text(0, 1), "Ann");
        EXPECT_EQ(t.Get(0, 2), Txt("(unavailable)"));
        ASSERT_EQ(t.Driver.Warnings().List().size(), 1u);
        EXPECT_NE(t.Driver.Warnings().List()[0].find(why), std::string::npos)
            << t.Driver.Warnings().List()[0];
        EXPECT_NE(t.Driver.ReadOnlyReason().find("t.mb"), std::string::npos);
        TFileTestDataSet<TParadoxDriver> ds(path);
        ds.Open();
        EXPECT_EQ(ds.FieldByName("Note").DisplayText(), "(MEMO)");
    }
    // A cut blob file: the values beyond the cut read as unavailable, each
    // with a warning naming the .mb and its record.
    PutFileBytes(dir / "t.mb", mb.substr(0, 4096 + 100));
    TPxTable t(path);
    int failures = 0;
    for (uint32_t r = 0; r < t.Driver.RecordCount(); ++r) {
        const size_t before = t.Driver.Warnings().List().size();
        if (t.Get(r, 2) != Txt("(unavailable)")) continue;
        ++failures;
        if (before == TTableWarnings::Limit) {
            EXPECT_TRUE(t.Driver.Warnings().More());
            continue;
        }
        ASSERT_EQ(t.Driver.Warnings().List().size(), before + 1);
        const std::string& err = t.Driver.Warnings().List().back();
        EXPECT_NE(err.find("t.mb"), std::string::npos) << err;
        EXPECT_NE(err.find("record " + std::to_string(r + 1) + " "), std::string::npos) << err;
    }
    EXPECT_GT(failures, 0);

    // An edit that leaves a damaged blob as it read keeps its bytes.
    const uint32_t last = t.Driver.RecordCount() - 1;
    ASSERT_EQ(t.Get(last, 2), Txt("(unavailable)"));
    t.Driver.Post(last, {t.Get(last, 0), Txt("Renamed"), t.Get(last, 2)});
    TPxTable again(path);
    EXPECT_EQ(again.Text(last, 1), "Renamed");
    EXPECT_EQ(again.Get(last, 2), Txt("(unavailable)"));
    PutFileBytes(dir / "t.mb", mb);
    EXPECT_EQ(TPxTable(path).Text(last, 2), "note " + std::to_string(last + 1));
}

// Blobs that fit in their leaders need no blob file; whether a blob is null
// is told from the record.
TEST(ParadoxBadInput, LeadersReadWithoutTheBlobFile) {
    TTempFolder dir;
    const std::string path = dir / "lead.db";
    TParadoxWriter w(path, {{"N", 'S'}, {"M", 'M', 10}, {"G", 'G', 0}}, 0, 1252);
    w.AddRecord({Int(1), Txt("short"), TValue()});
    w.AddRecord({Int(2), Txt("longer than the leader"), Bin("GIF89a")});
    w.AddRecord({Int(3), TValue(), TValue()});
    w.Finish();
    std::filesystem::remove(dir / "lead.mb");
    TFileTestDataSet<TParadoxDriver> ds(path);
    ds.Open();
    EXPECT_EQ(ds.FieldByName("M").AsString(), "short");
    EXPECT_TRUE(ds.FieldByName("G").IsNull());
    ds.Next();
    EXPECT_FALSE(ds.FieldByName("M").IsNull());
    EXPECT_FALSE(ds.FieldByName("G").IsNull());
    EXPECT_EQ(ds.FieldByName("G").DisplayText(), "(GRAPHIC)");
    EXPECT_EQ(ds.FieldByName("M").AsString(), "(unavailable)");
    TValue g;
    ds.FieldByName("G").GetData(g);
    EXPECT_EQ(g, Bin("(unavailable)"));
    ds.Next();
    EXPECT_TRUE(ds.FieldByName("M").IsNull());
    EXPECT_EQ(ds.FieldByName("M").DisplayText(), "(Memo)");
    EXPECT_EQ(ds.TheDriver().Warnings().List().size(), 1u);
}

TEST(ParadoxBadInput, RandomDamageNeverCrashes) {
    TTempFolder dir;
    const std::string path = MakeEveryType(dir, false, 0);
    const std::string db = FileBytes(path);
    const std::string mb = FileBytes(dir / "every.mb");
    std::mt19937 rng(5);
    int opened = 0;
    for (int i = 0; i < 1500; ++i) {
        std::string bad = db, badMb = mb;
        std::string& target = (i % 3 == 0) ? badMb : bad;
        const int flips = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < flips; ++k) {
            size_t at = rng() % (i % 2 ? 0x100 : target.size());
            target[at] = static_cast<char>(rng());
        }
        PutFileBytes(path, bad);
        PutFileBytes(dir / "every.mb", badMb);
        try {
            TPxTable t(path);
            ++opened;
            for (uint32_t r = 0; r < t.Driver.RecordCount(); ++r)
                for (int f = 0; f < t.Fields.Count(); ++f) {
                    try {
                        t.Get(r, f);
                    } catch (const EDatabaseError&) {
                    }
                }
        } catch (const EDatabaseError& e) {
            EXPECT_NE(std::string(e.what()).find("every."), std::string::npos) << e.what();
        }
    }
    EXPECT_GT(opened, 100);
}

#include "tests/support/TableFileTestSupport.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/text/DelimitedTableWriter.h"
#include "data/drivers/text/TextDriver.h"
#include "data/drivers/text/TextSchema.h"
#include "data/locale/DateTimeFormat.h"
#include "data/platform/AtomicFile.h"
#include "data/platform/CodePage.h"

#include <functional>
#include <random>

namespace {
using TTextTable = TOpenDriver<TTextDriver>;

TValue Txt(std::string_view s) {
    return TValue::OfText(s);
}
TValue Int(int64_t v) {
    return TValue::OfInt(v);
}
TValue Num(double v) {
    return TValue::OfFloat(v);
}
TValue Day(int y, int m, int d) {
    return TValue::OfDateTime(EncodeDate(y, m, d));
}

const std::string Mixed = "Zo\xC3\xAB \xC3\x86r\xC3\xB8 \xE4\xB8\xAD\xE6\x96\x87";

// A file with these bytes, opened.
std::string Put(const TTempFolder& dir, const std::string& name, const std::string& bytes) {
    std::string path = dir / name;
    PutFileBytes(path, bytes);
    return path;
}

std::vector<TFieldType> TypesOf(const TTextTable& t) {
    std::vector<TFieldType> types;
    for (const TFieldDef& f : t.Fields)
        types.push_back(f.DataType);
    return types;
}

void ExpectOpenError(const TTempFolder& dir, const std::string& name, const std::string& bytes,
                     const std::string& what) {
    std::string path = Put(dir, name, bytes);
    std::string err = RaisedMessage([&] { TTextTable t(path); });
    EXPECT_NE(err.find(what), std::string::npos) << err;
    EXPECT_EQ(FileBytes(path), bytes);
}
} // namespace

TEST(TextDriver, ReadsQuotedValuesLineBreaksAndLineEnds) {
    TTempFolder dir;
    const std::string csv = "\xEF\xBB\xBFName,Note,City\r\n"
                            "Ann,\"said \"\"hi\"\"\",Oslo\r\n"
                            "\"Bob, Jr.\",\"two\nlines\",\r\n"
                            "\r\n"
                            "Cid,,Rome\n"
                            "Dan,\"\",\"Bern\"\r"
                            "Eve,x";
    TTextTable t(Put(dir, "people.csv", csv));
    ASSERT_EQ(t.Fields.Count(), 3);
    EXPECT_EQ(t.Fields[0].Name, "Name");
    EXPECT_EQ(t.Fields[2].Name, "City");
    ASSERT_EQ(t.Driver.RecordCount(), 5u);
    EXPECT_EQ(t.Text(0, 1), "said \"hi\"");
    EXPECT_EQ(t.Text(1, 0), "Bob, Jr.");
    EXPECT_EQ(t.Text(1, 1), "two\nlines");
    EXPECT_TRUE(t.Get(1, 2).IsNull());
    EXPECT_TRUE(t.Get(2, 1).IsNull());
    EXPECT_EQ(t.Text(2, 2), "Rome");
    EXPECT_TRUE(t.Get(3, 1).IsNull());
    EXPECT_EQ(t.Text(3, 2), "Bern");
    EXPECT_EQ(t.Text(4, 1), "x");
    EXPECT_TRUE(t.Get(4, 2).IsNull()); // a short row
    EXPECT_EQ(t.Driver.Separator(), ',');
    EXPECT_EQ(t.Driver.CodePage(), 65001);
    EXPECT_EQ(t.Fields[0].Size, 8); // "Bob, Jr."
}

TEST(TextDriver, SeparatorsNamesAndRaggedRows) {
    TTempFolder dir;
    {
        TTextTable t(Put(dir, "semi.csv", "Name;Price\nAnn;1,5\nBob;2\n"));
        EXPECT_EQ(t.Driver.Separator(), ';');
        EXPECT_EQ(t.Text(0, 1), "1,5");
        EXPECT_EQ(t.Fields[1].DataType, ftString);
    }
    {
        TTextTable t(Put(dir, "tabs.txt", "Name\tCity\nAnn\tOslo, NO\n"));
        EXPECT_EQ(t.Driver.Separator(), '\t');
        EXPECT_EQ(t.Text(0, 1), "Oslo, NO");
        // With commas in the first line, commas it is.
        EXPECT_EQ(TTextTable(Put(dir, "both.txt", "Name\tCity, Country\n")).Driver.Separator(),
                  ',');
    }
    {
        TTextTable t(Put(dir, "quoted.csv", "\"a,b\"|c\n1|2\n"));
        EXPECT_EQ(t.Driver.Separator(), '|'); // the comma is inside quotes
    }
    {
        TTextTable t(Put(dir, "data.tab", "a,b\tc\nx,y\tz\n"));
        EXPECT_EQ(t.Driver.Separator(), '\t');
        EXPECT_EQ(t.Text(0, 0), "x,y");
    }
    {
        // Missing and repeated names; rows longer than the names.
        TTextTable t(Put(dir, "names.csv", "ID,,id, Name \n1,2,3,4,5\n"));
        ASSERT_EQ(t.Fields.Count(), 5);
        EXPECT_EQ(t.Fields[0].Name, "ID");
        EXPECT_EQ(t.Fields[1].Name, "F2");
        EXPECT_EQ(t.Fields[2].Name, "id_3");
        EXPECT_EQ(t.Fields[3].Name, "Name");
        EXPECT_EQ(t.Fields[4].Name, "F5");
        EXPECT_EQ(t.Get(0, 4), Int(5));
    }
    {
        TTextTable t(Put(dir, "only.csv", "Just,Names\r\n"));
        EXPECT_EQ(t.Driver.RecordCount(), 0u);
        EXPECT_EQ(t.Fields.Count(), 2);
    }
}

TEST(TextDriver, TypesAreGuessedFromEveryValueWithoutLosingData) {
    TTempFolder dir;
    std::string csv = "Int,Big,Float,Date,Stamp,Time,Bool,Zip,Plus,Exp,NegZero,Long,Late,Name\n";
    for (int i = 0; i < 50; ++i)
        csv += std::to_string(i - 25) + ",9000000000" + std::to_string(i % 10) + "," +
               std::to_string(i) + ".25,2020-01-" + (i % 28 < 9 ? "0" : "") +
               std::to_string(i % 28 + 1) + ",2020-02-03T04:05:06,12:34:56," +
               (i % 2 ? "TRUE" : "false") + ",12345,5,12,0," + "123456789012345,7,x\n";
    csv += "1,2,3.5,2021-12-31,2021-12-31 "
           "23:59:59,00:00,False,00123,+5,1e3,-0,12345678901234567890,late text," +
           Mixed + "\n";
    csv += ",,,,,,,,,,,,,\n";
    TTextTable t(Put(dir, "types.csv", csv));
    const std::vector<TFieldType> want = {ftInteger, ftLargeint, ftFloat,  ftDate,   ftDateTime,
                                          ftTime,    ftBoolean,  ftString, ftString, ftString,
                                          ftString,  ftString,   ftString, ftString};
    EXPECT_EQ(TypesOf(t), want);
    EXPECT_EQ(t.Get(0, 0), Int(-25));
    EXPECT_EQ(t.Get(0, 1), Int(90000000000));
    EXPECT_EQ(t.Get(0, 2), Num(0.25));
    EXPECT_EQ(t.Get(0, 3), Day(2020, 1, 1));
    EXPECT_EQ(t.Get(0, 4), TValue::OfDateTime(EncodeDate(2020, 2, 3) + EncodeTime(4, 5, 6, 0)));
    EXPECT_EQ(t.Get(0, 5), TValue::OfDateTime(EncodeTime(12, 34, 56, 0)));
    EXPECT_EQ(t.Get(0, 6), TValue::OfBool(false));
    EXPECT_EQ(t.Get(1, 6), TValue::OfBool(true));
    // Text exactly as written.
    EXPECT_EQ(t.Get(50, 7), Txt("00123"));
    EXPECT_EQ(t.Get(50, 8), Txt("+5"));
    EXPECT_EQ(t.Get(50, 9), Txt("1e3"));
    EXPECT_EQ(t.Get(50, 10), Txt("-0"));
    EXPECT_EQ(t.Get(0, 11), Txt("123456789012345"));
    EXPECT_EQ(t.Get(50, 11), Txt("12345678901234567890"));
    EXPECT_EQ(t.Get(0, 12), Txt("7")); // contradicted by the last row
    // Widths in characters of the longest value.
    EXPECT_EQ(t.Fields[13].Size, 10);
    EXPECT_EQ(t.Get(50, 13), Txt(Mixed));
    EXPECT_EQ(t.Fields[12].Size, 9);
    // Empty values are null in every column.
    for (int f = 0; f < 14; ++f)
        EXPECT_TRUE(t.Get(51, f).IsNull()) << f;
}

TEST(TextDriver, TextEncodings) {
    TTempFolder dir;
    {
        // Not UTF-8: read as Windows-1252.
        TTextTable t(Put(dir, "ansi.csv", "Name\nZo\xEB \xC6r\xF8 \x80\n"));
        EXPECT_EQ(t.Driver.CodePage(), 1252);
        EXPECT_EQ(t.Text(0, 0), "Zo\xC3\xAB \xC3\x86r\xC3\xB8 \xE2\x82\xAC");
        EXPECT_EQ(t.Fields[0].Size, 9);
    }
    {
        std::u16string text = u"Name,City\r\n\u00C6r\u00F8,\u4E2D\u6587\r\n";
        std::string le = "\xFF\xFE", be = "\xFE\xFF";
        for (char16_t c : text) {
            le += static_cast<char>(c & 0xFF);
            le += static_cast<char>(c >> 8);
            be += static_cast<char>(c >> 8);
            be += static_cast<char>(c & 0xFF);
        }
        for (const std::string& bytes : {le, be}) {
            TTextTable t(Put(dir, "wide.txt", bytes));
            ASSERT_EQ(t.Driver.RecordCount(), 1u);
            EXPECT_EQ(t.Fields[1].Name, "City");
            EXPECT_EQ(t.Text(0, 0), "\xC3\x86r\xC3\xB8");
            EXPECT_EQ(t.Text(0, 1), "\xE4\xB8\xAD\xE6\x96\x87");
        }
    }
    // Schema code pages.
    struct TCase {
        const char* CharSet;
        int CodePage;
        std::string Raw, Utf8;
    };
    const TCase cases[] = {{"OEM", 437, "Zo\x89", "Zo\xC3\xAB"},
                           {"850", 850, "\x92r\x9B", "\xC3\x86r\xC3\xB8"},
                           {"866", 866, "\x8F\xE0\xA8", "\xD0\x9F\xD1\x80\xD0\xB8"},
                           {"1251", 1251, "\xCC\xEE\xF1", "\xD0\x9C\xD0\xBE\xD1\x81"},
                           {"ANSI", 1252, "\xC6r\xF8", "\xC3\x86r\xC3\xB8"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.CharSet);
        Put(dir, "cp.sch",
            std::string("[cp]\nFILETYPE=VARYING\nCHARSET=") + c.CharSet +
                "\nDELIMITER=\"\nSEPARATOR=,\nFIELD1=Text,CHAR,10,0,0\n");
        TTextTable t(Put(dir, "cp.txt", "\"" + c.Raw + "\"\r\n"));
        EXPECT_EQ(t.Driver.CodePage(), c.CodePage);
        EXPECT_EQ(t.Text(0, 0), c.Utf8);
        t.Driver.Post(0, {Txt(c.Utf8 + "!")});
        EXPECT_EQ(FileBytes(dir / "cp.txt"), "\"" + c.Raw + "!\"\r\n");
        std::string err = RaisedMessage([&] { t.Driver.Post(0, {Txt("\xE4\xB8\xAD")}); });
        EXPECT_NE(err.find("code page " + std::to_string(c.CodePage)), std::string::npos) << err;
    }
    // Field names in the schema are in the table's code page, or in UTF-8
    // (as this program writes its schemas).
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string("names in ") + c.CharSet);
        Put(dir, "cp.sch",
            std::string("[cp]\nFILETYPE=VARYING\nCHARSET=") + c.CharSet +
                "\nDELIMITER=\"\nSEPARATOR=,\nFIELD1=" + c.Raw + ",CHAR,10,0,0\nFIELD2=" + c.Utf8 +
                "2,CHAR,10,0,0\n");
        TTextTable t(Put(dir, "cp.txt", "\"" + c.Raw + "\",x\r\n"));
        EXPECT_EQ(t.Fields[0].Name, c.Utf8);
        EXPECT_EQ(t.Fields[1].Name, c.Utf8 + "2");
        EXPECT_EQ(t.Text(0, 0), c.Utf8);
    }
}

namespace {
// A CSV file in a code page, without anything that names it.
std::string WriteInPage(const TTempFolder& dir, const std::string& name, int codePage,
                        const std::vector<std::string>& names,
                        const std::vector<std::vector<std::string>>& rows) {
    TDelimitedFormat format;
    format.CodePage = codePage;
    std::vector<std::vector<TValue>> values;
    for (const auto& row : rows) {
        values.emplace_back();
        for (const std::string& v : row)
            values.back().push_back(Txt(v));
    }
    TDelimitedTableWriter::Write(dir / name, names, values, format);
    return dir / name;
}

std::string InPage(int codePage, const std::string& utf8) {
    TCodePage cp(codePage);
    std::string out;
    EXPECT_TRUE(cp.FromUtf8(utf8, out));
    return out;
}

// A driver opened with a code page the user chose.
struct TForcedText {
    TTextDriver Driver;
    TFieldDefs Fields;
    TIndexDefs Indexes;
    TForcedText(const std::string& path, int codePage) {
        Driver.SetForcedCodePage(codePage);
        Driver.Open(path, Fields, Indexes);
    }
    std::string Text(uint32_t rec, int field) {
        TValue v;
        Driver.GetValue(rec, field, v);
        return v.Text;
    }
};
} // namespace

TEST(TextDriver, TextWithoutAMarkIsReadInThePageItsBytesShow) {
    TTempFolder dir;
    struct TCase {
        int CodePage;
        std::vector<std::string> Names;
        std::vector<std::vector<std::string>> Rows;
        std::string Edited;
    };
    const TCase cases[] = {
        {866,
         {"Фамилия", "Город"},
         {{"Иванов", "Москва"}, {"Петров", "Санкт-Петербург"}, {"Сидорова", "Новосибирск"}},
         "Щукин"},
        {1251,
         {"Фамилия", "Город"},
         {{"Иванов", "Москва"}, {"Петров", "Санкт-Петербург"}, {"Сидорова", "Новосибирск"}},
         "Щукин"},
        {850,
         {"Name", "Stadt"},
         {{"Jürgen Müller", "Köln"}, {"Søren Bjørn", "Århus"}, {"Größe", "Düsseldorf"}},
         "Ærø"},
        {932,
         {"氏名", "住所"},
         {{"山田太郎", "東京都新宿区"}, {"鈴木花子", "大阪府大阪市"}, {"佐藤一郎", "北海道札幌市"}},
         "日本語"},
        {950,
         {"姓名", "地址"},
         {{"王小明", "臺北市中正區"}, {"陳大文", "高雄市前金區"}, {"林美麗", "臺中市西屯區"}},
         "繁體中文"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.CodePage);
        const std::string path = WriteInPage(dir, "t.csv", c.CodePage, c.Names, c.Rows);
        {
            TTextTable t(path);
            EXPECT_EQ(t.Driver.CodePage(), c.CodePage);
            EXPECT_EQ(t.Fields[0].Name, c.Names[0]);
            EXPECT_EQ(t.Fields[1].Name, c.Names[1]);
            for (size_t r = 0; r < c.Rows.size(); ++r)
                for (int f = 0; f < 2; ++f)
                    EXPECT_EQ(t.Text(static_cast<uint32_t>(r), f),
                              c.Rows[r][static_cast<size_t>(f)]);
            t.Driver.Post(0, {Txt(c.Edited), Txt(c.Rows[0][1])});
        }
        EXPECT_NE(FileBytes(path).find(InPage(c.CodePage, c.Edited)), std::string::npos);
        TTextTable again(path);
        EXPECT_EQ(again.Driver.CodePage(), c.CodePage);
        EXPECT_EQ(again.Text(0, 0), c.Edited);
    }
    // A schema without a CHARSET line leaves the choice to the bytes too;
    // one with CHARSET = ANSI keeps the ANSI page.
    const std::string cyrillic = InPage(866, "Иванов Пётр,Москва\r\nСидорова Анна,Новосибирск\r\n");
    Put(dir, "s.txt", cyrillic);
    Put(dir, "s.sch",
        "[s]\nFILETYPE=VARYING\nSEPARATOR=,\nFIELD1=Name,CHAR,30,0,0\n"
        "FIELD2=City,CHAR,30,0,0\n");
    {
        TTextTable t(dir / "s.txt");
        EXPECT_EQ(t.Driver.CodePage(), 866);
        EXPECT_EQ(t.Text(1, 1), "Новосибирск");
    }
    Put(dir, "s.sch",
        "[s]\nFILETYPE=VARYING\nCHARSET=ANSI\nSEPARATOR=,\n"
        "FIELD1=Name,CHAR,30,0,0\nFIELD2=City,CHAR,30,0,0\n");
    EXPECT_EQ(TTextTable(dir / "s.txt").Driver.CodePage(), 1252);
    // Beyond the first 64 KB the sample takes blocks spread over the file.
    std::string big = "Name,City\r\n";
    while (big.size() < 200000)
        big += "plain,ascii\r\n";
    for (int i = 0; i < 2000; ++i)
        big += InPage(1251, "Сидорова Анна,Новосибирск\r\n");
    TTextTable t(Put(dir, "big.csv", big));
    EXPECT_EQ(t.Driver.CodePage(), 1251);
    EXPECT_EQ(t.Text(t.Driver.RecordCount() - 1, 1), "Новосибирск");
}

TEST(TextDriver, ACodePageTheUserChoosesWinsOverEveryMark) {
    TTempFolder dir;
    const std::string path = WriteInPage(dir, "f.csv", 866, {"Name"}, {{"Жук"}, {"Ёж"}});
    {
        TForcedText t(path, 1251);
        EXPECT_EQ(t.Driver.CodePage(), 1251);
        EXPECT_EQ(t.Text(0, 0), "†гЄ");
    }
    // Over a schema's CHARSET, and an edit is written in the chosen page.
    Put(dir, "s.txt", InPage(866, "\"Жук\"\r\n"));
    Put(dir, "s.sch", "[s]\nFILETYPE=VARYING\nCHARSET=1251\nFIELD1=Name,CHAR,10,0,0\n");
    {
        TForcedText t(dir / "s.txt", 866);
        EXPECT_EQ(t.Text(0, 0), "Жук");
        t.Driver.Post(0, {Txt("Щука")});
    }
    EXPECT_EQ(FileBytes(dir / "s.txt"), InPage(866, "\"Щука\"\r\n"));
    // Through a dataset; a page this system cannot convert is an error.
    TFileTestDataSet<TTextDriver> ds(path);
    ds.SetForcedCodePage(866);
    ds.Open();
    EXPECT_EQ(ds.FieldByName("Name").AsString(), "Жук");
    ds.Close();
    ds.SetForcedCodePage(4242);
    std::string err = RaisedMessage([&] { ds.Open(); });
    EXPECT_NE(err.find("4242"), std::string::npos) << err;
    EXPECT_NE(err.find("f.csv"), std::string::npos) << err;
}

TEST(TextDriver, FixedFilesWithoutLineBreaksAreReadByTheRecordWidth) {
    TTempFolder dir;
    TTextSchema fixed;
    fixed.TableName = "f";
    fixed.Fixed = true;
    fixed.CharSet = TTextSchema::csNumber;
    fixed.CodePage = 65001;
    fixed.Fields = {
        {"Code", ftString, 4, 0, 0}, {"Qty", ftInteger, 5, 0, 4}, {"Name", ftString, 6, 0, 10}};
    const std::vector<std::vector<TValue>> rows = {{Txt("A1"), Int(12), Txt("Zoë")},
                                                   {Txt("B2"), Int(-3), Txt("Жук")},
                                                   {Txt("C3"), TValue(), Txt("Ærø")}};
    TDelimitedTableWriter::WriteWithSchema(dir / "f.txt", fixed, rows, "");
    const std::string bytes = FileBytes(dir / "f.txt");
    ASSERT_EQ(bytes.find_first_of("\r\n"), std::string::npos);
    {
        TTextTable t(dir / "f.txt");
        ASSERT_EQ(t.Driver.RecordCount(), 3u);
        EXPECT_EQ(t.Text(0, 2), "Zoë");
        EXPECT_EQ(t.Get(1, 1), Int(-3));
        EXPECT_EQ(t.Text(1, 2), "Жук") << "widths count characters in UTF-8";
        EXPECT_TRUE(t.Get(2, 1).IsNull());
        EXPECT_EQ(t.Text(2, 0), "C3");
        // Edits keep the file without line breaks.
        EXPECT_TRUE(t.Driver.CanModify()) << t.Driver.ReadOnlyReason();
        t.Driver.Post(1, {Txt("B9"), Int(7), Txt("Ёж")});
        t.Driver.Post(-1, {Txt("D4"), Int(1), Txt("end")});
        t.Driver.Delete(0);
        EXPECT_FALSE(t.Driver.RecordLive(0));
        EXPECT_EQ(t.Text(1, 2), "Ёж");
        EXPECT_EQ(t.Text(3, 0), "D4");
    }
    EXPECT_EQ(FileBytes(dir / "f.txt"), "B9      7 Ёж    C3        Ærø   D4      1 end   ");
    {
        // Down to one record and up again, still without line breaks.
        TTextTable t(dir / "f.txt");
        EXPECT_EQ(t.Driver.RecordCount(), 3u);
        t.Driver.Delete(0);
        t.Driver.Delete(1);
        t.Driver.Post(-1, {Txt("E5"), Int(5), Txt("five")});
    }
    EXPECT_EQ(FileBytes(dir / "f.txt"), "D4      1 end   E5      5 five  ");
    // Line breaks at the very end stay where they are.
    PutFileBytes(dir / "f.txt", bytes + "\r\n");
    {
        TTextTable t(dir / "f.txt");
        ASSERT_EQ(t.Driver.RecordCount(), 3u);
        t.Driver.Post(0, {Txt("A1"), Int(12), Txt("Zoë")});
    }
    EXPECT_EQ(FileBytes(dir / "f.txt"), bytes + "\r\n");
    // A last record narrower than the fields is read as far as it goes, and
    // keeps the table from growing where a new record would not fit.
    PutFileBytes(dir / "f.txt", bytes + "E5   ");
    TTextTable t(dir / "f.txt");
    ASSERT_EQ(t.Driver.RecordCount(), 4u);
    EXPECT_EQ(t.Text(3, 0), "E5");
    EXPECT_TRUE(t.Get(3, 2).IsNull());
    EXPECT_FALSE(t.Driver.CanModify());
    EXPECT_NE(t.Driver.ReadOnlyReason().find("narrower"), std::string::npos);
}

TEST(TextDriver, NulBytesAreDataAndClearlyBinaryFilesAreRefused) {
    TTempFolder dir;
    const std::string withNul =
        std::string("Name,No\0te\r\nAnn,a\0b\r\nBob,plain\r\nCid,c\r\n", 39);
    const std::string path = Put(dir, "nul.csv", withNul);
    {
        TTextTable t(path);
        ASSERT_EQ(t.Driver.RecordCount(), 3u);
        EXPECT_EQ(t.Fields[1].Name, "No\xEF\xBF\xBDte");
        EXPECT_EQ(t.Text(0, 1), "a\xEF\xBF\xBD"
                                "b")
            << "a NUL is shown as U+FFFD";
        EXPECT_EQ(t.Text(1, 1), "plain");
        // The record holding it cannot be changed (its NUL would be lost);
        // the others can, and the NUL stays in the file.
        std::string err = RaisedMessage([&] { t.Driver.Post(0, {Txt("Ann"), Txt("x")}); });
        EXPECT_NE(err.find("NUL"), std::string::npos) << err;
        EXPECT_EQ(FileBytes(path), withNul);
        t.Driver.Post(1, {Txt("Bob"), Txt("edited")});
        t.Driver.Post(-1, {Txt("Dan"), Txt("new")});
    }
    EXPECT_EQ(FileBytes(path),
              std::string("Name,No\0te\r\nAnn,a\0b\r\nBob,edited\r\nCid,c\r\nDan,new\r\n", 49));
    // Known binary kinds and files full of control bytes are refused by name.
    ExpectOpenError(dir, "sheet.csv", std::string("PK\x03\x04\x14\0\x06\0", 8) + "xl/workbook",
                    "ZIP archive");
    ExpectOpenError(dir, "doc.csv", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj", "PDF document");
    ExpectOpenError(dir, "old.csv", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0", 10),
                    "OLE compound file");
    std::string dense;
    for (int i = 0; i < 400; ++i)
        dense += std::string("ab\0\x01\x02", 5);
    ExpectOpenError(dir, "dense.csv", dense, "NUL bytes or control characters");
}

TEST(TextDriver, Utf16WithoutAByteOrderMark) {
    TTempFolder dir;
    const std::u16string text = u"Name,City\r\n\u00C6r\u00F8,\u4E2D\u6587\r\nBob,Oslo\r\n";
    std::string le, be;
    for (char16_t c : text) {
        le += static_cast<char>(c & 0xFF);
        le += static_cast<char>(c >> 8);
        be += static_cast<char>(c >> 8);
        be += static_cast<char>(c & 0xFF);
    }
    for (const std::string& bytes : {le, be}) {
        const std::string path = Put(dir, "w.csv", bytes);
        {
            TTextTable t(path);
            ASSERT_EQ(t.Driver.RecordCount(), 2u);
            EXPECT_EQ(t.Fields[1].Name, "City");
            EXPECT_EQ(t.Text(0, 0), "Ærø");
            EXPECT_EQ(t.Text(0, 1), "中文");
            t.Driver.Post(1, {Txt("Bob"), Txt("Oslo")});
        }
        EXPECT_EQ(FileBytes(path), bytes) << "written back in UTF-16, without a mark";
    }
}

TEST(TextDriver, SchemaFilesDescribeVaryingAndFixedTables) {
    TTempFolder dir;
    TTextSchema varying;
    varying.TableName = "orders";
    varying.Separator = ';';
    varying.Delimiter = '\'';
    varying.Fields = {{"Name", ftString, 10, 0, 0},   {"Qty", ftInteger, 4, 0, 0},
                      {"Price", ftCurrency, 8, 2, 0}, {"Due", ftDate, 10, 0, 0},
                      {"Paid", ftBoolean, 1, 0, 0},   {"At", ftTime, 8, 0, 0}};
    TDelimitedTableWriter::WriteWithSchema(
        dir / "orders.txt", varying,
        {{Txt("O'Hara; Ann"), Int(3), Num(9.5), Day(2021, 2, 3), TValue::OfBool(true),
          TValue::OfDateTime(EncodeTime(8, 30, 0, 0))},
         {Txt("Bob"), TValue(), Txt("n/a"), TValue(), TValue::OfBool(false), TValue()}});
    {
        TTextTable t(dir / "orders.txt");
        EXPECT_TRUE(t.Driver.HasSchema());
        ASSERT_EQ(t.Driver.RecordCount(), 2u); // no line of names
        const std::vector<TFieldType> want = {ftString, ftInteger, ftCurrency,
                                              ftDate,   ftBoolean, ftTime};
        EXPECT_EQ(TypesOf(t), want);
        EXPECT_EQ(t.Text(0, 0), "O'Hara; Ann");
        EXPECT_EQ(t.Get(0, 1), Int(3));
        EXPECT_EQ(t.Get(0, 2), Num(9.5));
        EXPECT_EQ(t.Get(0, 3), Day(2021, 2, 3));
        EXPECT_EQ(t.Get(0, 4), TValue::OfBool(true));
        EXPECT_TRUE(t.Get(1, 1).IsNull());
        EXPECT_EQ(t.Get(1, 2), Txt("n/a")); // not a number: shown as it stands
    }
    TTextSchema fixed;
    fixed.TableName = "fixed";
    fixed.Fixed = true;
    fixed.CharSet = TTextSchema::csOem;
    fixed.Fields = {
        {"Code", ftString, 4, 0, 0}, {"Amount", ftFloat, 8, 2, 4}, {"Name", ftString, 12, 0, 14}};
    TDelimitedTableWriter::WriteWithSchema(
        dir / "fixed.txt", fixed,
        {{Txt("A1"), Num(12.5), Txt("Zo\xC3\xAB")}, {Txt("B22"), Num(-3), TValue()}});
    EXPECT_EQ(FileBytes(dir / "fixed.txt"),
              "A1      12.5  Zo\x89         \r\nB22       -3              \r\n");
    {
        TTextTable t(dir / "fixed.txt");
        EXPECT_EQ(t.Text(0, 0), "A1");
        EXPECT_EQ(t.Get(0, 1), Num(12.5));
        EXPECT_EQ(t.Text(0, 2), "Zo\xC3\xAB");
        EXPECT_EQ(t.Get(1, 1), Num(-3));
        EXPECT_TRUE(t.Get(1, 2).IsNull());
        t.Driver.Post(1, {Txt("C"), Num(1234.25), Txt("Ann")});
        std::string err = RaisedMessage([&] {
            t.Driver.Post(-1, {Txt("TOOLONG"), TValue(), TValue()});
        });
        EXPECT_NE(err.find("wider than the field's 4 characters"), std::string::npos) << err;
    }
    EXPECT_EQ(FileBytes(dir / "fixed.txt"),
              "A1      12.5  Zo\x89         \r\nC    1234.25  Ann         \r\n");
    // A .csv never reads a schema.
    PutFileBytes(dir / "orders.csv", "Name\nx\n");
    EXPECT_FALSE(TTextTable(dir / "orders.csv").Driver.HasSchema());
    // The schema's name in another letter case.
    std::filesystem::rename(dir / "fixed.sch", dir / "FIXED.SCH");
    EXPECT_TRUE(TTextTable(dir / "fixed.txt").Driver.HasSchema());
}

TEST(TextDriver, SchemaErrorsNameTheLine) {
    TTempFolder dir;
    struct TCase {
        std::string Schema;
        std::string What;
    };
    const TCase cases[] = {
        {"[t]\nFILETYPE = VARYING\nFIELD1 = A,CHR,10,0,0\n", "line 3: unknown field type \"CHR\""},
        {"[t]\nFIELD1 = A,CHAR,10,0,0\nFIELD3 = B,CHAR,10,0,0\n", "line 3: FIELD2 is missing"},
        {"[t]\nFILETYPE = FIXED\nFIELD1 = A,CHAR,10,0,0\nFIELD2 = B,CHAR,5,0,8\n",
         "line 4: B overlaps A"},
        {"[t]\nCHARSET = KLINGON\nFIELD1 = A,CHAR,1,0,0\n", "line 2: CHARSET is KLINGON"},
        {"[t]\nSEPERATOR = ;\n", "line 2: unknown setting \"SEPERATOR\""},
        {"[t]\nFILETYPE = BINARY\n", "line 2: FILETYPE is BINARY"},
        {"[t]\njust words\n", "line 2: expected NAME = value"},
        {"[t]\nFIELD1 = A,CHAR,ten,0,0\n", "line 2: the width of A"},
        {"[t]\nFIELD1 = A,CHAR,1,0,0\nFIELD1 = B,CHAR,1,0,0\n", "line 3: FIELD1 is given twice"},
        {"[t]\nFILETYPE = FIXED\nFIELD1 = A,CHAR,0,0,0\n",
         "line 3: a field of a FIXED file needs a width"},
        {"[t]\nFILETYPE = VARYING\n", "no fields"},
        {std::string("\x01\x02\0\x03", 4), "NUL"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        PutFileBytes(dir / "t.sch", c.Schema);
        ExpectOpenError(dir, "t.txt", "a\n", c.What);
        std::string err = RaisedMessage([&] { TTextTable t(dir / "t.txt"); });
        EXPECT_NE(err.find("t.sch"), std::string::npos) << err;
    }
}

TEST(TextDriver, DisplayTextThroughADataSet) {
    TClassicFormats classic;
    TTempFolder dir;
    TFileTestDataSet<TTextDriver> ds(
        Put(dir, "d.csv",
            "Name,Amount,Due,Ok,When\n" + Mixed +
                ",12.5,2020-03-04,true,2020-03-04 05:06:07\nx,-1,,,\n"));
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.FieldByName("Name").DisplayText(), Mixed);
    EXPECT_EQ(ds.FieldByName("Amount").DisplayText(), "12.5");
    EXPECT_EQ(ds.FieldByName("Due").DisplayText(), "3/4/2020");
    EXPECT_EQ(ds.FieldByName("Ok").DisplayText(), "True");
    EXPECT_EQ(ds.FieldByName("When").DisplayText(), "3/4/2020 5:06:07");
    ds.Next();
    EXPECT_EQ(ds.FieldByName("Amount").DisplayText(), "-1");
    EXPECT_EQ(ds.FieldByName("Due").DisplayText(), "");
    // Editing through the dataset writes the file.
    ds.Edit();
    ds.FieldByName("Name").SetAsString("y, with a comma");
    ds.Post();
    EXPECT_EQ(FileBytes(dir / "d.csv"),
              "Name,Amount,Due,Ok,When\n" + Mixed +
                  ",12.5,2020-03-04,true,2020-03-04 05:06:07\n\"y, with a comma\",-1,,,\n");
}

TEST(TextEdit, EditsKeepTheFilesWayOfWriting) {
    TTempFolder dir;
    const std::string head = "\xEF\xBB\xBF\"ID\";\"Name\";\"Ok\";\"At\"\r\n";
    const std::string line1 = "1;\"Ann \"\"A\"\"\";TRUE;2020-01-02T03:04:05\r\n";
    const std::string line2 = "2;Bob;FALSE;2020-01-02T03:04:05\r\n";
    const std::string line3 = "3;\"Cid\";TRUE;2021-05-06T07:08:09\r\n";
    std::string path = Put(dir, "edit.csv", head + line1 + line2 + line3);
    {
        TTextTable t(path);
        ASSERT_EQ(t.Driver.Separator(), ';');
        t.Driver.Post(1, {Int(2), Txt(Mixed + "; \"q\""), TValue::OfBool(true), t.Get(1, 3)});
        // Unchanged lines stay byte for byte; the new one is quoted like the file.
        const std::string edited =
            "\"2\";\"" + Mixed + "; \"\"q\"\"\";\"TRUE\";\"2020-01-02T03:04:05\"\r\n";
        EXPECT_EQ(FileBytes(path), head + line1 + edited + line3);
        EXPECT_EQ(t.Driver.Post(
                      -1, {Int(4), TValue(), TValue::OfBool(false),
                           TValue::OfDateTime(EncodeDate(2022, 1, 1) + EncodeTime(0, 0, 1, 0))}),
                  3u);
        EXPECT_EQ(FileBytes(path),
                  head + line1 + edited + line3 + "\"4\";;\"FALSE\";\"2022-01-01T00:00:01\"\r\n");
        t.Driver.Delete(0);
        EXPECT_FALSE(t.Driver.RecordLive(0));
        EXPECT_EQ(t.Text(1, 1), Mixed + "; \"q\"");
        EXPECT_EQ(t.Get(3, 0), Int(4));
        // Values of the wrong kind are refused and change nothing.
        const std::string before = FileBytes(path);
        std::string err = RaisedMessage([&] {
            t.Driver.Post(-1, {Txt("five"), TValue(), TValue(), TValue()});
        });
        EXPECT_NE(err.find("Field 'ID' cannot hold 'five'"), std::string::npos) << err;
        err = RaisedMessage([&] { t.Driver.Post(-1, {Int(5), TValue(), Txt("maybe"), TValue()}); });
        EXPECT_NE(err.find("not True or False"), std::string::npos) << err;
        EXPECT_EQ(FileBytes(path), before);
    }
    TTextTable t(path);
    ASSERT_EQ(t.Driver.RecordCount(), 3u);
    EXPECT_EQ(t.Text(0, 1), Mixed + "; \"q\"");
    EXPECT_EQ(t.Text(1, 1), "Cid");
    EXPECT_EQ(t.Get(2, 0), Int(4));
    EXPECT_TRUE(t.Get(2, 1).IsNull());
    EXPECT_EQ(t.Get(2, 2), TValue::OfBool(false));

    // A file with LF line ends, no quotes and no final line end.
    path = Put(dir, "plain.csv", "a,b\n1,x\n2,y");
    {
        TTextTable p(path);
        p.Driver.Post(-1, {Int(3), Txt("z")});
        EXPECT_EQ(FileBytes(path), "a,b\n1,x\n2,y\n3,z");
        p.Driver.Delete(1);
        EXPECT_EQ(FileBytes(path), "a,b\n1,x\n3,z");
        p.Driver.Delete(0);
        p.Driver.Delete(2);
        EXPECT_EQ(FileBytes(path), "a,b\n");
        p.Driver.Post(-1, {TValue(), Txt("alone")});
        EXPECT_EQ(FileBytes(path), "a,b\n,alone");
    }
    // A single column that is empty still makes a record.
    path = Put(dir, "one.csv", "a\r\nx\r\n");
    {
        TTextTable o(path);
        o.Driver.Post(-1, {TValue()});
        EXPECT_EQ(FileBytes(path), "a\r\nx\r\n\"\"\r\n");
    }
    EXPECT_EQ(TTextTable(path).Driver.RecordCount(), 2u);
    // A Windows-1252 file stays Windows-1252.
    path = Put(dir, "ansi.csv", "Name\r\nZo\xEB\r\n");
    {
        TTextTable a(path);
        a.Driver.Post(-1, {Txt("\xC3\x86r\xC3\xB8")});
        EXPECT_EQ(FileBytes(path), "Name\r\nZo\xEB\r\n\xC6r\xF8\r\n");
    }
}

// The types guessed at the open hold for what is read later: a refresh
// that finds values another program wrote against them asks for a new
// open instead of showing 00123 as 123, and numbers written back read as
// numbers again when the file is opened anew.
TEST(TextEdit, GuessedTypesHoldAcrossRefreshesAndWrites) {
    TTempFolder dir;
    std::string path = Put(dir, "t.csv", "Zip,Price,Name\n5,1.5,a\n");
    TTextTable t(path);
    const std::vector<TFieldType> types = {ftInteger, ftFloat, ftString};
    ASSERT_EQ(TypesOf(t), types);
    for (const char* later :
         {"00123,1.5,a", "5,1e3,a", "+5,2,b", "5,1.5,\"x\"\"y\"\n7,abc,c", "5,1.5,a,extra"}) {
        SCOPED_TRACE(later);
        PutFileBytes(dir / "t.tmp", std::string("Zip,Price,Name\n5,1.5,a\n") + later + "\n");
        std::filesystem::rename(dir / "t.tmp", path);
        std::string err = RaisedMessage([&] { t.Driver.Refresh(); });
        EXPECT_NE(err.find("were changed by another program"), std::string::npos) << err;
    }
    // Values that agree with the types are taken.
    PutFileBytes(dir / "t.tmp", "Zip,Price,Name\n5,1.5,a\n-7,12,\"x\"\"y\"\n");
    std::filesystem::rename(dir / "t.tmp", path);
    t.Driver.Refresh();
    ASSERT_EQ(t.Driver.RecordCount(), 2u);
    EXPECT_EQ(t.Get(1, 0), Int(-7));
    EXPECT_EQ(t.Get(1, 1), Num(12));
    EXPECT_EQ(t.Text(1, 2), "x\"y");
    // A sum that the shortest form writes with 17 digits goes in with 15.
    t.Driver.Post(1, {Int(-7), Num(0.1 + 0.2), Txt("s")});
    EXPECT_NE(FileBytes(path).find("-7,0.3,s"), std::string::npos) << FileBytes(path);
    std::string err = RaisedMessage([&] { t.Driver.Post(-1, {Int(1), Num(1e20), Txt("big")}); });
    EXPECT_NE(err.find("Field 'Price' cannot hold"), std::string::npos) << err;
    t.Driver.Post(-1, {Int(1), Num(-0.000125), Txt("small")});
    TTextTable again(path);
    EXPECT_EQ(TypesOf(again), types);
    EXPECT_EQ(again.Get(1, 1), Num(0.3));
    EXPECT_EQ(again.Get(2, 1), Num(-0.000125));
}

TEST(TextEdit, Utf16FilesAreWrittenBackInUtf16) {
    TTempFolder dir;
    std::u16string text = u"Name\r\n\u00C6r\u00F8\r\n";
    std::string le = "\xFF\xFE";
    for (char16_t c : text) {
        le += static_cast<char>(c & 0xFF);
        le += static_cast<char>(c >> 8);
    }
    std::string path = Put(dir, "wide.txt", le);
    TTextTable t(path);
    t.Driver.Post(-1, {Txt("\xE4\xB8\xAD")});
    std::string want = le;
    for (char16_t c : std::u16string(u"\u4E2D\r\n")) {
        want += static_cast<char>(c & 0xFF);
        want += static_cast<char>(c >> 8);
    }
    EXPECT_EQ(FileBytes(path), want);
    EXPECT_EQ(TTextTable(path).Text(1, 0), "\xE4\xB8\xAD");
}

TEST(TextEdit, AFailedWriteLeavesTheFileAsItWas) {
    TTempFolder dir;
    std::string csv = "ID,Name,Note\r\n";
    for (int i = 0; i < 300; ++i)
        csv += std::to_string(i) + ",name " + std::to_string(i) + ",\"note, " + std::to_string(i) +
               "\"\r\n";
    std::string path = Put(dir, "big.csv", csv);
    const std::vector<std::string> files = dir.Files();
    TTextTable t(path);
    struct TOp {
        const char* Name;
        std::function<void()> Run;
    };
    const std::vector<TOp> ops = {{"edit",
                                   [&] {
                                       t.Driver.Post(5, {Int(5), Txt("five"), TValue()});
                                   }},
                                  {"insert",
                                   [&] {
                                       t.Driver.Post(-1, {Int(300), Txt("new"), Txt("n")});
                                   }},
                                  {"delete", [&] { t.Driver.Delete(7); }}};
    const long long size = static_cast<long long>(csv.size());
    for (const TOp& op : ops)
        for (long long at : {0LL, 1LL, 13LL, 14LL, 4095LL, size / 2, size - 100}) {
            SCOPED_TRACE(std::string(op.Name) + " failing after " + std::to_string(at) + " bytes");
            TAtomicFile::InjectFailureAfter(at);
            std::string err = RaisedMessage(op.Run);
            TAtomicFile::InjectFailureAfter(-1);
            EXPECT_NE(err.find("big.csv"), std::string::npos) << err;
            EXPECT_EQ(FileBytes(path), csv);
            EXPECT_EQ(dir.Files(), files);
            EXPECT_EQ(t.Text(5, 1), "name 5");
            EXPECT_EQ(t.Driver.RecordCount(), 300u);
        }
    for (const TOp& op : ops)
        op.Run();
    TTextTable after(path);
    EXPECT_EQ(after.Driver.RecordCount(), 300u);
    EXPECT_EQ(after.Text(5, 1), "five");
    EXPECT_EQ(after.Text(7, 1), "name 8");
    EXPECT_EQ(after.Text(299, 1), "new");
}

TEST(TextEdit, LocksReadOnlyFilesAndOtherWriters) {
    TTempFolder dir;
    std::string path = Put(dir, "l.csv", "a\n1\n");
    {
        TTextTable t(path);
        PutFileBytes(dir / ".~lock.l.csv#", "x");
        EXPECT_NE(RaisedMessage([&] { t.Driver.Delete(0); }).find("open in another program"),
                  std::string::npos);
        std::filesystem::remove(dir / ".~lock.l.csv#");
        // Another program rewrote the file meanwhile.
        PutFileBytes(dir / "l.tmp", "a\n1\n2\n");
        std::filesystem::rename(dir / "l.tmp", path);
        EXPECT_NE(RaisedMessage([&] { t.Driver.Delete(0); }).find("changed by another program"),
                  std::string::npos);
        t.Driver.Refresh();
        EXPECT_EQ(t.Driver.RecordCount(), 2u);
        PutFileBytes(dir / "l.tmp", "b\n1\n");
        std::filesystem::rename(dir / "l.tmp", path);
        EXPECT_NE(
            RaisedMessage([&] { t.Driver.Refresh(); }).find("were changed by another program"),
            std::string::npos);
    }
    if (geteuid() != 0) {
        chmod(path.c_str(), 0444);
        TTextTable t(path);
        EXPECT_FALSE(t.Driver.CanModify());
        EXPECT_EQ(t.Driver.ReadOnlyReason(), "the file is read-only");
    }
}

// ---- Bad input ------------------------------------------------------------------

TEST(TextBadInput, EmptyBinaryAndBrokenFiles) {
    TTempFolder dir;
    ExpectOpenError(dir, "empty.csv", "",
                    "\"" + (dir / "empty.csv") + "\": the file is empty (0 bytes)");
    ExpectOpenError(dir, "blank.csv", "\r\n\r\n", "no line of field names");
    ExpectOpenError(dir, "binary.csv", std::string("ab\0cd", 5), "NUL bytes");
    ExpectOpenError(dir, "odd.txt",
                    "\xFF\xFE"
                    "a",
                    "odd number of bytes");
    ExpectOpenError(dir, "wide.csv", std::string(20000, ','), "more than 16384 fields");
    // An open quote runs to the end of the file.
    TTextTable t(Put(dir, "open.csv", "a,b\n1,\"never closed\n2,3\n"));
    ASSERT_EQ(t.Driver.RecordCount(), 1u);
    EXPECT_EQ(t.Text(0, 1), "never closed\n2,3\n");
}

TEST(TextBadInput, GarbageAndTruncatedFilesNeverCrash) {
    TTempFolder dir;
    std::mt19937 rng(3);
    const std::string alphabet = "ab,;\t\"\r\n 0123456789.-+eE:T|\xC3\xA9\xFF\xFE\xEF\xBB\xBF";
    for (int i = 0; i < 1500; ++i) {
        std::string bytes(rng() % 300, '\0');
        for (char& c : bytes)
            c = i % 4 == 0 ? static_cast<char>(rng()) : alphabet[rng() % alphabet.size()];
        std::string path = Put(dir, i % 3 ? "g.csv" : "g.txt", bytes);
        if (i % 5 == 0)
            PutFileBytes(dir / "g.sch",
                         i % 10 == 0
                             ? bytes
                             : "[g]\nFILETYPE=FIXED\nFIELD1=A,CHAR,3,0,0\nFIELD2=B,FLOAT,4,0,5\n");
        else
            std::filesystem::remove(dir / "g.sch");
        try {
            TTextTable t(path);
            for (uint32_t r = 0; r < t.Driver.RecordCount(); ++r)
                for (int f = 0; f < t.Fields.Count(); ++f)
                    t.Get(r, f);
            if (t.Driver.CanModify() && t.Driver.RecordCount() > 0 && i % 7 == 0) {
                std::vector<TValue> first;
                for (int f = 0; f < t.Fields.Count(); ++f)
                    first.push_back(t.Get(0, f));
                try {
                    t.Driver.Post(0, first);
                    t.Driver.Post(-1, first);
                    t.Driver.Delete(0);
                } catch (const EDatabaseError&) {
                }
            }
        } catch (const EDatabaseError& e) {
            EXPECT_NE(std::string(e.what()).find("g."), std::string::npos) << e.what();
        }
    }
    // Every cut of a real table opens or says why.
    std::string csv =
        "\xEF\xBB\xBFID,Name,Note\r\n1,\"Zo\xC3\xAB\",\"a \"\"b\"\"\nc\"\r\n2,x,y\r\n";
    for (size_t cut = 0; cut <= csv.size(); ++cut) {
        std::string path = Put(dir, "cut.csv", csv.substr(0, cut));
        try {
            TTextTable t(path);
            for (uint32_t r = 0; r < t.Driver.RecordCount(); ++r)
                for (int f = 0; f < t.Fields.Count(); ++f)
                    t.Get(r, f);
        } catch (const EDatabaseError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
}

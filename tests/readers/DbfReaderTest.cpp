// dBase tables of the project's writer, read by other programs: python3's
// dbfread and pgdbf see the same fields and values as the driver.
// (LibreOffice reads dBase files only with its Base drivers, which this
// system lacks.)

#include "tests/readers/ReaderUtils.h"

#include "data/drivers/dbf/DbfDriver.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/drivers/text/TextDriver.h"
#include "data/locale/DateTimeFormat.h"
#include "tests/support/DbfTestSupport.h"

#include <cstdio>

using namespace readers;
using dbftest::F;

namespace {
std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The driver's view in the form dbf_dump.py prints. dbfread has no null for
// text, logical and FoxPro binary fields: it gives "" , None and 0.
std::string Canonical(const TValue& v, const TDbfColumn& c) {
    char buf[64];
    if (v.IsNull()) {
        if (c.Kind == dkChar) return "";
        if (c.Kind == dkDoubleLE || c.Kind == dkCurrency) return "0";
        if (c.Kind == dkLongLE) return "0";
        return "\\N";
    }
    switch (v.Kind) {
    case TValueKind::Boolean:
        return v.Bool ? "T" : "F";
    case TValueKind::Integer:
        return std::to_string(v.Int);
    case TValueKind::Float:
        std::snprintf(buf, sizeof buf, "%.10g", v.Float);
        return buf;
    case TValueKind::DateTime: {
        int y, m, d, hh, mm, ss, ms;
        DecodeDate(v.Float, y, m, d);
        DecodeTime(v.Float, hh, mm, ss, ms);
        if (c.DataType == ftDate)
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
        else
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", y, m, d, hh, mm, ss);
        return buf;
    }
    case TValueKind::Bytes: {
        std::string hex;
        for (unsigned char ch : v.Text) {
            std::snprintf(buf, sizeof buf, "%02x", ch);
            hex += buf;
        }
        return hex;
    }
    default:
        return Escape(v.Text);
    }
}

std::string DriverDump(const std::string& path) {
    TDbfDriver d;
    TFieldDefs fields;
    TIndexDefs indexes;
    d.Open(path, fields, indexes);
    std::string out;
    const auto& cols = d.Columns();
    for (size_t i = 0; i < cols.size(); ++i) {
        const TDbfFieldDesc& desc = d.Header().Fields[cols[i].Desc];
        out += (i ? "\t" : "") + desc.Name + ":" + desc.Type + ":" + std::to_string(desc.Length) +
               ":" + std::to_string(desc.Decimals);
    }
    out += "\n";
    TValue v;
    for (uint32_t r = 0; r < d.RecordCount(); ++r) {
        if (!d.RecordLive(r)) continue;
        for (size_t i = 0; i < cols.size(); ++i) {
            d.GetValue(r, static_cast<int>(i), v);
            out += (i ? "\t" : "") + Canonical(v, cols[i]);
        }
        out += "\n";
    }
    return out;
}

void Fill(TDbfWriter& w, bool cyrillic) {
    w.AddRecord({TValue::OfText(cyrillic ? "Жук Ёж" : "Zoë Ærø"), TValue::OfInt(12),
                 TValue::OfFloat(1234.5), TValue::OfDateTime(EncodeDate(2024, 2, 29)),
                 TValue::OfBool(true), TValue::OfText(std::string(700, 'm') + "\r\nend")});
    w.AddRecord({TValue::OfText("gone"), TValue(), TValue(), TValue(), TValue(), TValue()}, true);
    w.AddRecord({TValue::OfText(" lead"), TValue::OfInt(-3), TValue::OfFloat(-0.25), TValue(),
                 TValue::OfBool(false), TValue::OfText("short")});
}

const std::vector<TDbfFieldSpec> Common = {F("NAME", 'C', 12),     F("QTY", 'N', 5),
                                           F("PRICE", 'N', 10, 2), F("BORN", 'D'),
                                           F("OK", 'L'),           F("NOTE", 'M')};
} // namespace

TEST(DbfReaders, DbfreadSeesTheSameTables) {
    struct TCase {
        const char* Name;
        TDbfVariant Variant;
        int CodePage;
    } cases[] = {{"d3", dvDBase3, 1252},
                 {"d4", dvDBase4, 850},
                 {"fox", dvFoxPro, 866},
                 {"vfp", dvVisualFoxPro, 1251}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempDir dir;
        std::string path = (dir / (std::string(c.Name) + ".dbf")).string();
        TDbfWriter w(path, c.Variant, Common, c.CodePage);
        Fill(w, c.CodePage == 866 || c.CodePage == 1251);
        w.Finish();
        TRunResult r = RunPython("dbf_dump.py", {path});
        ASSERT_EQ(r.ExitCode, 0) << r.Output;
        EXPECT_EQ(r.Output, DriverDump(path));
    }
}

TEST(DbfReaders, DbfreadSeesVisualFoxProTypes) {
    TTempDir dir;
    std::string path = (dir / "vfp.dbf").string();
    TDbfFieldSpec id = F("ID", 'I');
    id.AutoIncrement = true;
    TDbfWriter w(path, dvVisualFoxPro,
                 {id, F("CUR", 'Y'), F("DBL", 'B'), F("INT", 'I'), F("TS", 'T'), F("G", 'G'),
                  F("P", 'P'), F("F", 'F', 10, 3), F("M", 'M')});
    w.AddRecord({TValue(), TValue::OfFloat(12.3456), TValue::OfFloat(3.25), TValue::OfInt(-5),
                 TValue::OfDateTime(EncodeDate(2024, 2, 29) + EncodeTime(13, 5, 7, 0)),
                 TValue::OfBytes("ole"), TValue::OfBytes("pic"), TValue::OfFloat(-2.5),
                 TValue::OfText("memo")});
    w.AddRecord(std::vector<TValue>(9));
    w.Finish();
    TRunResult r = RunPython("dbf_dump.py", {path});
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    EXPECT_EQ(r.Output, DriverDump(path));
}

TEST(DbfReaders, PgdbfReadsFoxProMemos) {
    TTempDir dir;
    std::string path = (dir / "fox.dbf").string();
    TDbfWriter w(path, dvFoxPro, Common, 1252);
    Fill(w, false);
    w.Finish();
    TRunResult r = readers::Run({"pgdbf", "-s", "cp1252", "-m", (dir / "fox.fpt").string(), path});
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    EXPECT_NE(r.Output.find("Zoë Ærø\t12\t1234.50\t2024-02-29\tt\t" + std::string(700, 'm') +
                            "\\r\\nend"),
              std::string::npos)
        << r.Output;
    EXPECT_NE(r.Output.find(" lead\t-3\t-0.25\t\\N\tf\tshort"), std::string::npos) << r.Output;
    EXPECT_EQ(r.Output.find("gone"), std::string::npos);
}

namespace {
// A dBase table that another program wrote: GDAL's ogr2ogr turns a CSV
// file into one in its own way (code page 1252 by its language-driver byte,
// numbers as N with its own widths, empty cells as blanks). Returns its path.
std::string WriteOgrTable(const TTempDir& dir) {
    const auto csv = dir / "t.csv";
    WriteFile(csv, "NAME,QTY,PRICE,DAY\n"
                   "\"Zoë Ærø\",12,3.25,2023-01-31\n"
                   "Bob,-7,0.5,1999-12-31\n"
                   "\"a, b\",0,,\n");
    TRunResult r = readers::Run({"ogr2ogr", "-f", "ESRI Shapefile", (dir / "dbf").string(),
                                 csv.string(), "-oo", "AUTODETECT_TYPE=YES"});
    EXPECT_EQ(r.ExitCode, 0) << r.Output;
    return (dir / "dbf" / "t.dbf").string();
}

// An open table of a driver, its values by record and field.
template <typename TDriver> struct TOpened {
    TDriver Driver;
    TFieldDefs Fields;
    TIndexDefs Indexes;
    explicit TOpened(const std::string& path) { Driver.Open(path, Fields, Indexes); }
    TValue operator()(uint32_t rec, int field) {
        TValue v;
        Driver.GetValue(rec, field, v);
        return v;
    }
};
} // namespace

TEST(DbfReaders, ATableWrittenByOgr2ogrReadsBackItsValues) {
    TTempDir dir;
    TOpened<TDbfDriver> get(WriteOgrTable(dir));
    ASSERT_EQ(get.Driver.RecordCount(), 3u);
    ASSERT_EQ(get.Fields.Count(), 4);
    EXPECT_EQ(get(0, 0).Text, "Zoë Ærø");
    EXPECT_EQ(get(2, 0).Text, "a, b");
    EXPECT_EQ(get(0, 1).Int, 12);
    EXPECT_EQ(get(1, 1).Int, -7);
    EXPECT_DOUBLE_EQ(get(0, 2).Float, 3.25);
    EXPECT_DOUBLE_EQ(get(1, 2).Float, 0.5);
    EXPECT_TRUE(get(2, 2).IsNull());
    EXPECT_DOUBLE_EQ(get(0, 3).Float, EncodeDate(2023, 1, 31));
    EXPECT_DOUBLE_EQ(get(1, 3).Float, EncodeDate(1999, 12, 31));
    EXPECT_TRUE(get(2, 3).IsNull());
}

// And a delimited text file that ogr2ogr wrote from that kind of table:
// its quoting, its dates with slashes and its long decimals.
TEST(DbfReaders, ACsvFileWrittenByOgr2ogrReadsBackItsValues) {
    TTempDir dir;
    const std::string table = WriteOgrTable(dir);
    const auto back = dir / "back.csv";
    TRunResult r = readers::Run({"ogr2ogr", "-f", "CSV", back.string(), table});
    ASSERT_EQ(r.ExitCode, 0) << r.Output;
    TOpened<TTextDriver> get(back.string());
    ASSERT_EQ(get.Driver.RecordCount(), 3u);
    ASSERT_EQ(get.Fields.Count(), 4);
    EXPECT_EQ(get(0, 0).Text, "Zoë Ærø");
    EXPECT_EQ(get(2, 0).Text, "a, b");
    const TValue qty = get(1, 1);
    EXPECT_TRUE((qty.Kind == TValueKind::Integer && qty.Int == -7) ||
                (qty.Kind == TValueKind::Text && qty.Text == "-7"));
    // Fifteen decimals shown as 3.25 would not be the file's text: kept as text.
    const TValue price = get(0, 2);
    EXPECT_TRUE((price.Kind == TValueKind::Float && price.Float == 3.25) ||
                (price.Kind == TValueKind::Text && price.Text == "3.250000000000000"))
        << static_cast<int>(price.Kind) << " " << price.Text;
    EXPECT_TRUE(get(2, 2).IsNull() || get(2, 2).Text.empty());
    const TValue day = get(0, 3);
    EXPECT_TRUE((day.Kind == TValueKind::DateTime && day.Float == EncodeDate(2023, 1, 31)) ||
                (day.Kind == TValueKind::Text && day.Text == "2023/01/31"))
        << static_cast<int>(day.Kind) << " " << day.Text;
    EXPECT_TRUE(get(2, 3).IsNull() || get(2, 3).Text.empty());
}

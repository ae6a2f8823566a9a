#include "tests/support/DbfTestSupport.h"

#include "data/dataset/DataSource.h"
#include "data/drivers/dbf/DbfBytes.h"
#include "export/KXExport2HTML.h"
#include "export/KXExport2RTF.h"
#include "export/KXExport2Text.h"
#include "export/KXExport2XLS.h"
#include "export/KXExport2XML.h"
#include "export/view/WindowlessTableView.h"

#include <algorithm>
#include <fcntl.h>
#include <random>
#include <unistd.h>

using namespace dbftest;

namespace {
std::string MakeSample(const TTempFolder& dir, TDbfVariant variant = dvDBase3) {
    std::string path = dir / "s.dbf";
    TDbfWriter::Write(path, variant,
                      {F("NAME", 'C', 8), F("N", 'N', 6, 2), F("D", 'D'), F("M", 'M')},
                      {{Text("one"), Num(1.5), Date(2020, 1, 2), Text("memo one")},
                       {Text("two"), Num(-2), Null(), Text("memo two")}});
    return path;
}

// Opening `bytes` as a table fails with a message that names the file and says `what`.
void ExpectOpenError(const TTempFolder& dir, const std::string& bytes, const std::string& what) {
    std::string path = dir / "bad.dbf";
    WriteBytes(path, bytes);
    std::string err = ErrorOf([&] { TOpenTable t(path); });
    EXPECT_NE(err.find("\"" + path + "\""), std::string::npos) << err;
    EXPECT_NE(err.find(what), std::string::npos) << err;
    EXPECT_EQ(ReadBytes(path), bytes); // reading never changes the file
}

void PutByte(const std::string& path, size_t at, char value) {
    int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, &value, 1, static_cast<off_t>(at)), 1);
    ::close(fd);
}

void Put16(std::string& s, size_t at, unsigned v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}
} // namespace

TEST(DbfBadInput, EmptyShortAndForeignFiles) {
    TTempFolder dir;
    ExpectOpenError(dir, "", "the file is empty");
    ExpectOpenError(dir, std::string("\x03\x01\x02", 3), "too short");
    ExpectOpenError(dir, "Name,City\r\nAnn,Oslo\r\nBob,Rome\r\n", "not a dBase table");
    std::mt19937 rng(7);
    std::string garbage(4096, '\0');
    for (char& c : garbage)
        c = static_cast<char>(rng());
    garbage[0] = 0x03;
    ExpectOpenError(dir, garbage, "");
    EXPECT_NE(ErrorOf([&] { TOpenTable t(dir / "missing.dbf"); }).find("missing.dbf"),
              std::string::npos);
}

TEST(DbfBadInput, LyingHeaders) {
    TTempFolder dir;
    const std::string good = ReadBytes(MakeSample(dir));
    const unsigned headerLength =
        static_cast<unsigned char>(good[8]) | (static_cast<unsigned char>(good[9]) << 8);
    const unsigned recordLength =
        static_cast<unsigned char>(good[10]) | (static_cast<unsigned char>(good[11]) << 8);
    std::filesystem::copy_file(dir / "s.dbt", dir / "bad.dbt");

    std::string s = good;
    Put32(s, 4, 1000);
    ExpectOpenError(dir, s, "declares 1000 records of " + std::to_string(recordLength) + " bytes");
    s = good;
    Put32(s, 4, 0xFFFFFFFF);
    ExpectOpenError(dir, s, "truncated");
    ExpectOpenError(dir, good.substr(0, good.size() - recordLength / 2 - 1), "truncated");
    s = good;
    Put16(s, 8, 60000);
    ExpectOpenError(dir, s, "beyond the end of the file");
    s = good;
    Put16(s, 8, 20);
    ExpectOpenError(dir, s, "too short");
    s = good;
    Put16(s, 8, headerLength - 40);
    ExpectOpenError(dir, s, "runs past the end of the header");
    s = good;
    s[32 + 2 * 32 + 16] = 7; // D of 7 characters
    ExpectOpenError(dir, s, "field D of type D has length 7");
    s = good;
    s[32 + 32 + 17] = 6; // six decimals in six characters
    ExpectOpenError(dir, s, "decimals");
    s = good;
    s[32] = 0; // a field without a name
    ExpectOpenError(dir, s, "has no name");
    s = good;
    s[15] = 1;
    ExpectOpenError(dir, s, "encrypted");
}

// The records are read by the length the file proves when the header's
// own disagrees with it; a file that proves neither is an error.
TEST(DbfBadInput, ARecordLengthTheFileDisprovesIsReadByTheOneItProves) {
    TTempFolder dir;
    const std::string path = MakeSample(dir);
    const std::string good = ReadBytes(path);
    const unsigned recordLength = DbfLe16(good.data() + 10);
    for (unsigned lie : {recordLength - 1, recordLength + 3, 0u, 1u}) {
        SCOPED_TRACE(lie);
        std::string s = good;
        Put16(s, 10, lie);
        WriteBytes(path, s);
        {
            TOpenTable t(path);
            EXPECT_EQ(t.Driver.Header().RecordLength, recordLength);
            EXPECT_EQ(t.Driver.Header().StoredRecordLength, lie);
            EXPECT_EQ(t.Get(1, 0).Text, "two");
            EXPECT_EQ(t.Get(1, 1), Num(-2));
            EXPECT_EQ(t.Get(1, 3).Text, "memo two");
            ASSERT_EQ(t.Driver.Warnings().List().size(), 1u);
            const std::string& w = t.Driver.Warnings().List()[0];
            EXPECT_NE(w.find("\"" + path + "\""), std::string::npos) << w;
            EXPECT_NE(w.find(" " + std::to_string(lie) + " bytes"), std::string::npos) << w;
            EXPECT_NE(w.find(" " + std::to_string(recordLength) + " "), std::string::npos) << w;
            // Writing would keep the lie in the header: the table is read-only.
            EXPECT_NE(t.Driver.ReadOnlyReason().find("record length"), std::string::npos);
        }
        EXPECT_EQ(ReadBytes(path), s);
    }

    // Records padded beyond their fields, as the header says: read by the
    // header's length, without a warning.
    const size_t headerLength = DbfLe16(good.data() + 8);
    std::string padded = good.substr(0, headerLength);
    Put16(padded, 10, recordLength + 2);
    for (size_t r = 0; r < 2; ++r)
        padded += good.substr(headerLength + r * recordLength, recordLength) + "xy";
    padded += "\x1A";
    WriteBytes(path, padded);
    {
        TOpenTable t(path);
        EXPECT_EQ(t.Driver.Header().RecordLength, recordLength + 2);
        EXPECT_EQ(t.Get(1, 0).Text, "two");
        EXPECT_TRUE(t.Driver.Warnings().List().empty());
    }

    // The file proves neither length.
    std::string s = good;
    Put16(s, 10, recordLength + 3);
    ExpectOpenError(dir, s.substr(0, s.size() - 5), "truncated");
    s = good;
    Put16(s, 10, recordLength - 1);
    ExpectOpenError(dir, s.substr(0, s.size() - 5), "does not match its fields");
}

// A table whose header lists no fields is a table of records without
// columns: it opens, and its records keep their deleted flags.
TEST(DbfBadInput, ATableWithoutFieldsOpensWithNoColumns) {
    TTempFolder dir;
    for (TDbfVariant v : {dvDBase3, dvDBase7}) {
        SCOPED_TRACE(v);
        const std::string good = ReadBytes(MakeSample(dir, v));
        const size_t first = v == dvDBase7 ? 68 : 32;
        std::string s = good.substr(0, first) + "\x0D";
        Put32(s, 4, 3);
        Put16(s, 8, static_cast<unsigned>(first + 1));
        Put16(s, 10, 1);
        s += std::string(" * \x1A", 4);
        const std::string path = dir / "none.dbf";
        WriteBytes(path, s);
        TOpenTable t(path);
        EXPECT_EQ(t.Fields.Count(), 0);
        EXPECT_EQ(t.Driver.RecordCount(), 3u);
        EXPECT_EQ(t.Driver.DeletedCount(), 1u);
        EXPECT_FALSE(t.Driver.RecordLive(1));
        EXPECT_TRUE(t.Driver.Warnings().List().empty());
        TDbfTestDataSet ds(path);
        ds.Open();
        EXPECT_EQ(ds.FieldCount(), 0);
        EXPECT_EQ(ds.RecordCount(), 2);
        ds.Last();
        EXPECT_EQ(ds.RecNo(), 2);
    }
}

// Without its memo file, or with one whose header cannot be read, the table
// opens: its memos read as unavailable, a warning says why, and it cannot
// be changed.
TEST(DbfBadInput, AMissingOrUnreadableMemoFileLeavesTheRestReadable) {
    TTempFolder dir;
    const std::string path = dir / "s.dbf";
    TDbfWriter::Write(path, dvDBase3, {F("NAME", 'C', 8), F("M", 'M')},
                      {{Text("one"), Text("memo one")}, {Text("two"), Null()}});
    const std::string memo = dir / "s.dbt";
    const std::string dbt = ReadBytes(memo);
    std::filesystem::rename(memo, dir / "elsewhere.dbt");
    for (const std::string& reason : {std::string("missing"), std::string("too short")}) {
        SCOPED_TRACE(reason);
        if (reason == "too short") WriteBytes(memo, dbt.substr(0, 2));
        {
            TOpenTable t(path);
            EXPECT_EQ(t.Get(0, 0).Text, "one");
            EXPECT_EQ(t.Get(0, 1), Text("(unavailable)"));
            EXPECT_TRUE(t.Get(1, 1).IsNull()) << "no memo stays no memo";
            ASSERT_EQ(t.Driver.Warnings().List().size(), 1u)
                << "one warning for the file, none a cell";
            const std::string& w = t.Driver.Warnings().List()[0];
            EXPECT_NE(w.find("s.dbt"), std::string::npos) << w;
            EXPECT_NE(w.find(reason), std::string::npos) << w;
            EXPECT_NE(w.find("(unavailable)"), std::string::npos) << w;
            EXPECT_NE(t.Driver.ReadOnlyReason().find("s.dbt"), std::string::npos);
            // An unreadable memo file is the table's all the same: no export
            // may replace it.
            const std::vector<std::string> files = t.Driver.Files();
            EXPECT_EQ(std::count(files.begin(), files.end(), memo), reason == "missing" ? 0 : 1);
            EXPECT_NE(ErrorOf([&] {
                          t.Driver.Post(0, {Text("x"), Text("y")});
                      }).find("s.dbt"),
                      std::string::npos);
        }
        TDbfTestDataSet ds(path);
        ds.Open();
        EXPECT_FALSE(ds.FieldByName("M").IsNull());
        EXPECT_EQ(ds.FieldByName("M").DisplayText(), "(MEMO)");
        ds.Next();
        EXPECT_EQ(ds.FieldByName("M").DisplayText(), "(Memo)");
        EXPECT_EQ(ds.Warnings(), &ds.Dbf().Warnings());
        EXPECT_EQ(ds.Dbf().Warnings().List().size(), 1u);
    }

    // A FoxPro memo file whose block size is 0.
    const std::string fox = MakeSample(dir, dvVisualFoxPro);
    std::string fpt = ReadBytes(dir / "s.fpt");
    fpt[6] = fpt[7] = 0;
    WriteBytes(dir / "s.fpt", fpt);
    TOpenTable t(fox);
    EXPECT_EQ(t.Get(1, 0).Text, "two");
    EXPECT_EQ(t.Get(1, 3), Text("(unavailable)"));
    ASSERT_EQ(t.Driver.Warnings().List().size(), 1u);
    EXPECT_NE(t.Driver.Warnings().List()[0].find("block size is 0"), std::string::npos);
}

// A damaged memo value reads as unavailable with a warning naming its
// record; the other values, memos included, read as they are. Whether it
// is null is told without reading it, so without a warning.
TEST(DbfBadInput, ADamagedMemoReadsAsUnavailableWithAWarningNamingItsRecord) {
    TTempFolder dir;
    std::string path = MakeSample(dir);
    std::string memo = dir / "s.dbt";
    const std::string dbt = ReadBytes(memo);
    // Cut after the first value: the second record's block is gone.
    WriteBytes(memo, dbt.substr(0, 1024));
    {
        TDbfTestDataSet ds(path);
        ds.Open();
        ds.Last();
        EXPECT_FALSE(ds.FieldByName("M").IsNull());
        EXPECT_EQ(ds.FieldByName("M").DisplayText(), "(MEMO)");
        EXPECT_TRUE(ds.Dbf().Warnings().List().empty());
        EXPECT_EQ(ds.FieldByName("M").AsString(), "(unavailable)");
        EXPECT_EQ(ds.FieldByName("NAME").AsString(), "two");
        ASSERT_EQ(ds.Dbf().Warnings().List().size(), 1u);
        const std::string w = ds.Dbf().Warnings().List()[0];
        EXPECT_NE(w.find("\"" + path + "\""), std::string::npos) << w;
        EXPECT_NE(w.find("field 'M' in record 2"), std::string::npos) << w;
        EXPECT_NE(w.find("block 2 lies beyond the end"), std::string::npos) << w;
        // Read again: the same warning is not repeated.
        EXPECT_EQ(ds.FieldByName("M").AsString(), "(unavailable)");
        EXPECT_EQ(ds.Dbf().Warnings().List().size(), 1u);
        ds.First();
        EXPECT_EQ(ds.FieldByName("M").AsString(), "memo one");

        // An edit that leaves the memo as it read keeps its bytes.
        ds.Last();
        ds.Edit();
        ds.FieldByName("NAME").SetAsString("zwei");
        ds.Post();
    }
    {
        TOpenTable t(path);
        EXPECT_EQ(t.Get(1, 0).Text, "zwei");
        EXPECT_EQ(t.Get(1, 3), Text("(unavailable)"));
        WriteBytes(memo, dbt);
        EXPECT_EQ(TOpenTable(path).Get(1, 3).Text, "memo two");
    }

    // A record pointing at the header block, or at a number past 32 bits.
    std::string bytes = ReadBytes(path);
    TOpenTable probe(path);
    size_t at = probe.Driver.Header().RecordOffset(0) + probe.Driver.Columns()[3].Offset;
    bytes.replace(at, 10, "         0");
    bytes.replace(at + probe.Driver.Header().RecordLength, 10, "9999999999");
    WriteBytes(dir / "p.dbf", bytes);
    std::filesystem::copy_file(memo, dir / "p.dbt");
    TOpenTable t(dir / "p.dbf");
    EXPECT_TRUE(t.Get(0, 3).IsNull());
    EXPECT_EQ(t.Get(1, 3), Text("(unavailable)"));
    ASSERT_EQ(t.Driver.Warnings().List().size(), 1u);
    EXPECT_NE(t.Driver.Warnings().List()[0].find("out of range"), std::string::npos);
}

// One damaged memo does not stop an export. Without memo text it is not
// even read; with it, its cell shows the placeholder, a warning names the
// record, and the rest is exported.
TEST(DbfBadInput, ADamagedMemoDoesNotStopAnExport) {
    TTempFolder dir;
    const std::string path = MakeSample(dir);
    WriteBytes(dir / "s.dbt", ReadBytes(dir / "s.dbt").substr(0, 1024));
    TDbfTestDataSet ds(path);
    ds.Open();
    TDataSource source(&ds);
    TWindowlessTableView view;
    view.Bind(&source);
    TKXExport2Text text;
    TKXExport2HTML html;
    TKXExport2XML xml;
    TKXExport2RTF rtf;
    TKXExport2XLS xls;
    const std::vector<TKXExport*> writers = {&text, &html, &xml, &rtf, &xls};
    const TTableWarnings& warnings = ds.Dbf().Warnings();
    for (bool memoText : {false, true}) {
        for (size_t i = 0; i < writers.size(); ++i) {
            SCOPED_TRACE(std::string(memoText ? "with" : "without") + " memo text, writer " +
                         std::to_string(i));
            TKXExport& writer = *writers[i];
            writer.SetGrid(&view);
            writer.BuildMappings();
            writer.SetIncludeMemo(memoText);
            TMemoryStream out;
            ASSERT_NO_THROW(writer.ExportToStream(out));
            EXPECT_EQ(writer.WrittenCount(), 2);
            if (&writer == &text) {
                EXPECT_NE(out.Data().find(memoText ? "memo one\r\n" : "(MEMO)\r\n"),
                          std::string::npos);
                EXPECT_NE(out.Data().find(memoText ? "\t(unavailable)\r\n" : "\t(MEMO)\r\n"),
                          std::string::npos)
                    << out.Data();
            }
            if (!memoText) {
                EXPECT_TRUE(warnings.List().empty()) << "the memo was read";
            }
        }
    }
    ASSERT_EQ(warnings.List().size(), 1u);
    EXPECT_NE(warnings.List()[0].find("record 2"), std::string::npos);
}

TEST(DbfBadInput, BrokenFoxProMemoLengths) {
    TTempFolder dir;
    std::string path = MakeSample(dir, dvVisualFoxPro);
    std::string fpt = ReadBytes(dir / "s.fpt");
    // The first value's length claims more than the file holds.
    fpt[512 + 4] = 0x7F;
    WriteBytes(dir / "s.fpt", fpt);
    TOpenTable t(path);
    EXPECT_EQ(t.Get(0, 3), Text("(unavailable)"));
    ASSERT_EQ(t.Driver.Warnings().List().size(), 1u);
    const std::string& w = t.Driver.Warnings().List()[0];
    EXPECT_NE(w.find("s.fpt"), std::string::npos) << w;
    EXPECT_NE(w.find("claims"), std::string::npos) << w;
    EXPECT_EQ(t.Get(1, 3).Text, "memo two");
}

TEST(DbfBadInput, NullFlagsTooShortForTheirFields) {
    TTempFolder dir;
    std::string path = dir / "n.dbf";
    std::vector<TDbfFieldSpec> fields;
    for (int i = 0; i < 9; ++i) {
        fields.push_back(F(("F" + std::to_string(i)).c_str(), 'N', 3));
        fields.back().Nullable = i < 8; // eight bits: one byte of flags
    }
    TDbfWriter::Write(path, dvVisualFoxPro, fields, {std::vector<TValue>(9, Int(1))});
    std::string s = ReadBytes(path);
    EXPECT_NO_THROW(TOpenTable t(path));
    s[32 + 8 * 32 + 18] = 0x02; // a ninth nullable field
    ExpectOpenError(dir, s, "null flags field holds 8 bits, but 9 are needed");
}

// Every byte of the header, set to values a damaged file may have: opening
// either fails with an error or gives a table whose every value reads
// (or raises an error), and the file never changes.
TEST(DbfBadInput, DamagedHeaderBytesNeverCrash) {
    for (TDbfVariant v : {dvDBase3, dvDBase7, dvVisualFoxPro}) {
        TTempFolder dir;
        std::string path = MakeSample(dir, v);
        const std::string good = ReadBytes(path);
        const size_t headerLength =
            static_cast<unsigned char>(good[8]) | (static_cast<unsigned char>(good[9]) << 8);
        for (size_t at = 0; at < headerLength + 40 && at < good.size(); ++at) {
            for (unsigned char value : {0x00, 0x0D, 0xFF}) {
                std::string s = good;
                s[at] = static_cast<char>(value);
                // One byte changed in place: rewriting whole files this often is slow on some
                // disks.
                PutByte(path, at, s[at]);
                try {
                    TOpenTable t(path);
                    TValue out;
                    for (uint32_t r = 0; r < t.Driver.RecordCount(); ++r) {
                        (void)t.Driver.RecordLive(r);
                        for (int f = 0; f < t.Fields.Count(); ++f) {
                            try {
                                t.Driver.GetValue(r, f, out);
                            } catch (const EDatabaseError&) {
                            }
                        }
                    }
                } catch (const EDatabaseError& e) {
                    ASSERT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
                }
                ASSERT_EQ(ReadBytes(path), s) << "byte " << at;
                PutByte(path, at, good[at]);
            }
        }
    }
}

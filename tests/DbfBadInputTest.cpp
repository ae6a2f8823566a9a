#include "DbfTestSupport.h"

#include <fcntl.h>
#include <random>
#include <unistd.h>

using namespace dbftest;

namespace {
TDbfFieldSpec F(const char* name, char type, int length = 0, int decimals = 0) {
    TDbfFieldSpec s;
    s.Name = name;
    s.Type = type;
    s.Length = length;
    s.Decimals = decimals;
    return s;
}

std::string MakeSample(const TTempDir& dir, TDbfVariant variant = dvDBase3) {
    std::string path = dir / "s.dbf";
    TDbfWriter::Write(path, variant,
                      {F("NAME", 'C', 8), F("N", 'N', 6, 2), F("D", 'D'), F("M", 'M')},
                      {{Text("one"), Num(1.5), Date(2020, 1, 2), Text("memo one")},
                       {Text("two"), Num(-2), Null(), Text("memo two")}});
    return path;
}

// Opening `bytes` as a table fails with a message that names the file and says `what`.
void ExpectOpenError(const TTempDir& dir, const std::string& bytes, const std::string& what) {
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
    TTempDir dir;
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
    TTempDir dir;
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
    Put16(s, 10, recordLength - 1);
    ExpectOpenError(dir, s, "record length");
    s = good;
    Put16(s, 10, 0);
    ExpectOpenError(dir, s, "record length");
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
    s[32] = 0x0D; // terminator before the first field
    ExpectOpenError(dir, s, "no fields");
    s = good;
    s[15] = 1;
    ExpectOpenError(dir, s, "encrypted");
}

TEST(DbfBadInput, BrokenMemoFiles) {
    TTempDir dir;
    std::string path = MakeSample(dir);
    std::string memo = dir / "s.dbt";
    const std::string dbt = ReadBytes(memo);

    std::filesystem::rename(memo, dir / "elsewhere.dbt");
    std::string err = ErrorOf([&] { TOpenTable t(path); });
    EXPECT_NE(err.find("s.dbt"), std::string::npos) << err;
    EXPECT_NE(err.find("missing"), std::string::npos) << err;
    std::filesystem::rename(dir / "elsewhere.dbt", memo);

    WriteBytes(memo, dbt.substr(0, 2));
    EXPECT_NE(ErrorOf([&] { TOpenTable t(path); }).find("too short"), std::string::npos);

    // Cut after the first value: the second record's block is gone.
    WriteBytes(memo, dbt.substr(0, 1024));
    {
        TOpenTable t(path);
        EXPECT_EQ(t.Get(0, 3).Text, "memo one");
        err = ErrorOf([&] { t.Get(1, 3); });
        EXPECT_NE(err.find("\"" + memo + "\""), std::string::npos) << err;
        EXPECT_NE(err.find("block 2 lies beyond the end"), std::string::npos) << err;
    }
    WriteBytes(memo, dbt);

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
    EXPECT_NE(ErrorOf([&] { t.Get(1, 3); }).find("out of range"), std::string::npos);
}

TEST(DbfBadInput, BrokenFoxProMemoLengths) {
    TTempDir dir;
    std::string path = MakeSample(dir, dvVisualFoxPro);
    std::string fpt = ReadBytes(dir / "s.fpt");
    // The first value's length claims more than the file holds.
    fpt[512 + 4] = 0x7F;
    WriteBytes(dir / "s.fpt", fpt);
    TOpenTable t(path);
    std::string err = ErrorOf([&] { t.Get(0, 3); });
    EXPECT_NE(err.find("s.fpt"), std::string::npos) << err;
    EXPECT_NE(err.find("claims"), std::string::npos) << err;
    EXPECT_EQ(t.Get(1, 3).Text, "memo two");
    fpt[6] = fpt[7] = 0; // block size 0
    WriteBytes(dir / "s.fpt", fpt);
    EXPECT_NE(ErrorOf([&] { TOpenTable u(path); }).find("block size is 0"), std::string::npos);
}

TEST(DbfBadInput, NullFlagsTooShortForTheirFields) {
    TTempDir dir;
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
        TTempDir dir;
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

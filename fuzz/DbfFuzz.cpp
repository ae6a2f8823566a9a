// Opens fuzzed dBase tables and reads every value of every record, and
// writes to the ones that can be written. An input is the .dbf bytes,
// optionally followed by a separator and the memo file's bytes, another
// separator and the .mdx bytes, and a third and the .cpg text.

#include "data/drivers/dbf/DbfDriver.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/drivers/dbf/MdxIndex.h"
#include "fuzz/ReaderFuzz.h"
#include "tests/support/DBase2Table.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {
TDbfFieldSpec F(const char* name, char type, int length = 0, int decimals = 0,
                bool nullable = false) {
    TDbfFieldSpec s;
    s.Name = name;
    s.Type = type;
    s.Length = length;
    s.Decimals = decimals;
    s.Nullable = nullable;
    return s;
}

// Seeds: one small table of each variant, made by the project's own writer.
void WriteSeeds() {
    struct TSeed {
        const char* Name;
        TDbfVariant Variant;
        std::vector<TDbfFieldSpec> Fields;
        std::vector<TValue> Values;
        bool Index;
    };
    TValue date = TValue::OfDateTime(45000), stamp = TValue::OfDateTime(45000.25);
    const TSeed seeds[] = {
        {"dbase3",
         dvDBase3,
         {F("NAME", 'C', 8), F("N", 'N', 6, 2), F("D", 'D'), F("L", 'L'), F("M", 'M')},
         {TValue::OfText("Zo\xC3\xAB"), TValue::OfFloat(-1.5), date, TValue::OfBool(true),
          TValue::OfText("memo")},
         false},
        {"dbase4",
         dvDBase4,
         {F("NAME", 'C', 8), F("F", 'F', 8, 3), F("G", 'G'), F("M", 'M')},
         {TValue::OfText("a"), TValue::OfFloat(2.5), TValue::OfBytes("ole"),
          TValue::OfText("four")},
         true},
        {"dbase7",
         dvDBase7,
         {F("ID", '+'), F("I", 'I'), F("O", 'O'), F("AT", '@'), F("B", 'B'), F("M", 'M')},
         {TValue(), TValue::OfInt(-7), TValue::OfFloat(0.5), stamp, TValue::OfBytes("bin"),
          TValue::OfText("seven")},
         false},
        {"foxpro",
         dvFoxPro,
         {F("NAME", 'C', 4), F("P", 'P'), F("M", 'M')},
         {TValue::OfText("fox"), TValue::OfBytes("BM"), TValue::OfText("memo")},
         false},
        {"vfp",
         dvVisualFoxPro,
         {F("C", 'C', 5, 0, true), F("V", 'V', 6, 0, true), F("Q", 'Q', 4), F("Y", 'Y'),
          F("T", 'T', 0, 0, true), F("B", 'B'), F("I", 'I', 0, 0, true), F("W", 'W'), F("M", 'M')},
         {TValue::OfText("c"), TValue::OfText("vv"), TValue::OfBytes("q"), TValue::OfFloat(1.25),
          stamp, TValue::OfFloat(3.5), TValue(), TValue::OfBytes("w"), TValue::OfText("vfp memo")},
         false},
    };
    for (const TSeed& s : seeds) {
        const std::filesystem::path tmp = TReaderFuzz::SeedScratch();
        const std::filesystem::path dbf = tmp / "s.dbf";
        TDbfWriter w(dbf.string(), s.Variant, s.Fields, s.Variant == dvDBase7 ? 866 : 1252);
        if (s.Index) w.SetTableFlags(0x01);
        w.AddRecord(s.Values);
        w.AddRecord(std::vector<TValue>(s.Values.size()), true);
        w.AddRecord(s.Values);
        w.Finish();
        const bool fox = s.Variant == dvFoxPro || s.Variant == dvVisualFoxPro;
        std::vector<std::string> parts = {TReaderFuzz::ReadFile(dbf),
                                          TReaderFuzz::ReadFile(tmp / (fox ? "s.fpt" : "s.dbt"))};
        if (s.Index) {
            TMdxIndex::WriteDefinitions(
                (tmp / "s.mdx").string(), "s",
                {{"NAME", "UPPER(NAME)", 'C', false, false}, {"F", "F", 'N', true, true}});
            parts.push_back(TReaderFuzz::ReadFile(tmp / "s.mdx"));
        }
        TReaderFuzz::AddSeed(s.Name, parts);
    }
    // dBase II, made from a dBase III table: both places its records start.
    const std::filesystem::path dbf = TReaderFuzz::SeedScratch() / "s.dbf";
    TDbfWriter w(dbf.string(), dvDBase3, {F("NAME", 'C', 6), F("N", 'N', 5, 1), F("L", 'L')});
    w.AddRecord({TValue::OfText("two"), TValue::OfFloat(-2.5), TValue::OfBool(false)});
    w.AddRecord({}, true);
    w.Finish();
    const std::string dbase3 = TReaderFuzz::ReadFile(dbf);
    TReaderFuzz::AddSeed("dbase2", {dbftest::DBase2Of(dbase3)});
    TReaderFuzz::AddSeed("dbase2-compact", {dbftest::DBase2Of(dbase3, true)});
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TReaderFuzz::Initialize("dbf", "dbase2", WriteSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> parts =
        TReaderFuzz::SplitParts(std::string_view(reinterpret_cast<const char*>(data), size), 4);
    TReaderFuzz::RemoveFiles({"t.dbt", "t.fpt", "t.mdx", "t.cpg"});
    const std::filesystem::path dbf = TReaderFuzz::File("t.dbf");
    TReaderFuzz::WriteFile(dbf, parts[0]);
    if (parts.size() > 1) {
        TReaderFuzz::WriteFile(TReaderFuzz::File("t.dbt"), parts[1]);
        TReaderFuzz::WriteFile(TReaderFuzz::File("t.fpt"), parts[1]);
    }
    if (parts.size() > 2) TReaderFuzz::WriteFile(TReaderFuzz::File("t.mdx"), parts[2]);
    if (parts.size() > 3) TReaderFuzz::WriteFile(TReaderFuzz::File("t.cpg"), parts[3]);

    TDbfDriver driver;
    TFieldDefs fields;
    if (!TReaderFuzz::Open(driver, dbf, fields)) return 0;
    const std::vector<TValue> first = TReaderFuzz::ReadEveryValue(driver, fields, true);
    // Writing back what was read, as an edit and as a new record.
    if (driver.CanModify() && first.size() == static_cast<size_t>(fields.Count()) && (size & 1)) {
        try {
            driver.Post(-1, first);
            driver.Post(0, first);
            driver.Delete(0);
        } catch (const EDatabaseError&) {
        }
    }
    driver.Close();
    return 0;
}

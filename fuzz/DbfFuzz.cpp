// Opens fuzzed dBase tables and reads every value of every record, and
// writes to the ones that can be written. An input is the .dbf bytes,
// optionally followed by a separator and the memo file's bytes, another
// separator and the .mdx bytes, and a third and the .cpg text.

#include "data/DatabaseError.h"
#include "data/DbfDriver.h"
#include "data/DbfWriter.h"
#include "data/MdxIndex.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {
const std::string_view Separator = "\xFE\xED-PART-\xFE\xED";
fs::path gDir;

void WriteFile(const fs::path& p, std::string_view data) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RemoveDir() {
    std::error_code ec;
    if (!gDir.empty()) fs::remove_all(gDir, ec);
}

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
void WriteSeeds(const fs::path& dir) {
    fs::create_directories(dir);
    fs::path tmp = gDir / "seed";
    fs::create_directories(tmp);
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
        fs::path dbf = tmp / "s.dbf";
        TDbfWriter w(dbf.string(), s.Variant, s.Fields, s.Variant == dvDBase7 ? 866 : 1252);
        if (s.Index) w.SetTableFlags(0x01);
        w.AddRecord(s.Values);
        w.AddRecord(std::vector<TValue>(s.Values.size()), true);
        w.AddRecord(s.Values);
        w.Finish();
        std::string input = ReadFile(dbf);
        bool fox = s.Variant == dvFoxPro || s.Variant == dvVisualFoxPro;
        input += Separator;
        input += ReadFile(tmp / (fox ? "s.fpt" : "s.dbt"));
        if (s.Index) {
            TMdxIndex::WriteDefinitions(
                (tmp / "s.mdx").string(), "s",
                {{"NAME", "UPPER(NAME)", 'C', false, false}, {"F", "F", 'N', true, true}});
            input += Separator;
            input += ReadFile(tmp / "s.mdx");
        }
        WriteFile(dir / (std::string("seed-") + s.Name), input);
        fs::remove_all(tmp);
        fs::create_directories(tmp);
    }
    fs::remove_all(tmp);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string base = fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
    std::string tmpl = base + "/tabulon-dbf-fuzz-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    gDir = tmpl;
    std::atexit(RemoveDir);
    if (const char* seeds = std::getenv("TABULON_FUZZ_SEED_DIR")) {
        fs::path dir(seeds);
        if (!fs::exists(dir / "seed-vfp")) WriteSeeds(dir);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    while (parts.size() < 3) {
        size_t at = in.find(Separator);
        if (at == std::string_view::npos) break;
        parts.push_back(in.substr(0, at));
        in.remove_prefix(at + Separator.size());
    }
    parts.push_back(in);
    const fs::path dbf = gDir / "t.dbf";
    for (const char* ext : {".dbt", ".fpt", ".mdx", ".cpg"}) {
        std::error_code ec;
        fs::remove(gDir / (std::string("t") + ext), ec);
    }
    WriteFile(dbf, parts[0]);
    if (parts.size() > 1) {
        WriteFile(gDir / "t.dbt", parts[1]);
        WriteFile(gDir / "t.fpt", parts[1]);
    }
    if (parts.size() > 2) WriteFile(gDir / "t.mdx", parts[2]);
    if (parts.size() > 3) WriteFile(gDir / "t.cpg", parts[3]);

    TDbfDriver driver;
    TFieldDefs fields;
    TIndexDefs indexes;
    try {
        driver.Open(dbf.string(), fields, indexes);
    } catch (const EDatabaseError&) {
        return 0;
    }
    TValue v;
    std::vector<TValue> first;
    for (uint32_t r = 0; r < driver.RecordCount(); ++r) {
        bool live = driver.RecordLive(r);
        for (int f = 0; f < fields.Count(); ++f) {
            try {
                driver.GetValue(r, f, v);
            } catch (const EDatabaseError&) {
                v.SetNull();
            }
            if (live && first.size() < static_cast<size_t>(fields.Count())) first.push_back(v);
        }
    }
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

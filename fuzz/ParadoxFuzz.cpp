// Opens fuzzed Paradox tables and reads every value of every record, and
// edits the ones that can be written. An input is the .db bytes, optionally
// followed by a separator and the blob file's (.mb) bytes, another and the
// primary index's (.px), and a fourth and a secondary index pair's data
// file (.X02), whose .Y02 is the fifth part.

#include "data/DatabaseError.h"
#include "data/FormatSettings.h"
#include "data/ParadoxDriver.h"
#include "data/ParadoxWriter.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {
const std::string_view Separator = "\xFE\xED-PART-\xFE\xED";
const char* const Extensions[] = {".db", ".mb", ".px", ".X02", ".Y02"};
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

TValue T(std::string_view s) {
    return TValue::OfText(s);
}

// Seeds: tables of each kind, made by the project's own writer.
void WriteSeeds(const fs::path& dir) {
    fs::create_directories(dir);
    const fs::path tmp = gDir / "seed";
    const double day = EncodeDate(2020, 3, 4);
    struct TSeed {
        const char* Name;
        std::vector<TParadoxFieldSpec> Fields;
        int Keys;
        int CodePage;
        int Version;
        int BlockCode;
        bool Secondary;
        std::vector<std::vector<TValue>> Rows;
    };
    const std::vector<TSeed> seeds = {
        {"every",
         {{"ID", '+'},
          {"A", 'A', 12},
          {"D", 'D'},
          {"S", 'S'},
          {"I", 'I'},
          {"C", '$'},
          {"N", 'N'},
          {"L", 'L'},
          {"M", 'M', 4},
          {"B", 'B'},
          {"F", 'F'},
          {"O", 'O'},
          {"G", 'G'},
          {"T", 'T'},
          {"@", '@'},
          {"#", '#', 2},
          {"Y", 'Y', 3}},
         0,
         1252,
         70,
         0,
         false,
         {{TValue(), T("Zo\xC3\xAB"), TValue::OfDateTime(day), TValue::OfInt(-7),
           TValue::OfInt(70000), TValue::OfFloat(2.5), TValue::OfFloat(-1e10), TValue::OfBool(true),
           T(std::string(3000, 'm')), TValue::OfBytes("blob"), TValue::OfBytes("fmt"),
           TValue::OfBytes("ole"), TValue::OfBytes("gif"), TValue::OfDateTime(0.75),
           TValue::OfDateTime(day + 0.5), TValue::OfFloat(12.34), TValue::OfBytes("xyz")},
          std::vector<TValue>(17)}},
        {"keyed",
         {{"Code", 'A', 4}, {"No", 'S'}, {"City", 'A', 10}, {"Memo", 'M', 1}},
         2,
         866,
         70,
         1,
         true,
         {{T("B"), TValue::OfInt(2), T("\xD0\x9C\xD0\xB8\xD1\x80"), T("short")},
          {T("A"), TValue::OfInt(9), T("Rome"), T(std::string(70, 'r'))},
          {T("B"), TValue::OfInt(1), T("Bern"), TValue()}}},
        {"v5",
         {{"N", 'N'}, {"Name", 'A', 30}},
         1,
         437,
         50,
         2,
         false,
         {{TValue::OfFloat(1), T("one")}, {TValue::OfFloat(2), T("two")}}},
        {"empty", {{"X", 'I'}, {"Y", 'A', 5}}, 0, 1252, 70, 4, false, {}},
    };
    for (const TSeed& s : seeds) {
        fs::remove_all(tmp);
        fs::create_directories(tmp);
        const fs::path db = tmp / "s.db";
        TParadoxWriter w(db.string(), s.Fields, s.Keys, s.CodePage);
        w.SetVersion(s.Version);
        w.SetBlockSizeCode(s.BlockCode);
        for (const auto& row : s.Rows)
            w.AddRecord(row);
        if (s.Secondary) w.AddSecondaryIndex({"No"});
        w.Finish();
        std::string input = ReadFile(db);
        for (size_t i = 1; i < 5; ++i) {
            fs::path part =
                tmp / (std::string("s") +
                       (i >= 3 && s.Secondary ? (i == 3 ? ".X02" : ".Y02") : Extensions[i]));
            input += Separator;
            if (fs::exists(part)) input += ReadFile(part);
        }
        WriteFile(dir / (std::string("seed-") + s.Name), input);
    }
    fs::remove_all(tmp);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string base = fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
    std::string tmpl = base + "/tabulon-px-fuzz-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    gDir = tmpl;
    std::atexit(RemoveDir);
    if (const char* seeds = std::getenv("TABULON_FUZZ_SEED_DIR")) {
        fs::path dir(seeds);
        if (!fs::exists(dir / "seed-every")) WriteSeeds(dir);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    while (parts.size() < 4) {
        size_t at = in.find(Separator);
        if (at == std::string_view::npos) break;
        parts.push_back(in.substr(0, at));
        in.remove_prefix(at + Separator.size());
    }
    parts.push_back(in);
    for (const char* ext : Extensions) {
        std::error_code ec;
        fs::remove(gDir / (std::string("t") + ext), ec);
    }
    for (size_t i = 0; i < parts.size(); ++i)
        if (i == 0 || !parts[i].empty())
            WriteFile(gDir / (std::string("t") + Extensions[i]), parts[i]);

    const fs::path db = gDir / "t.db";
    TParadoxDriver driver;
    TFieldDefs fields;
    TIndexDefs indexes;
    try {
        driver.Open(db.string(), fields, indexes);
    } catch (const EDatabaseError&) {
        return 0;
    }
    TValue v;
    std::vector<TValue> first;
    for (uint32_t r = 0; r < driver.RecordCount(); ++r)
        for (int f = 0; f < fields.Count(); ++f) {
            try {
                driver.GetValue(r, f, v);
            } catch (const EDatabaseError&) {
                v.SetNull();
            }
            if (first.size() < static_cast<size_t>(fields.Count())) first.push_back(v);
        }
    // Writing back what was read, as an edit and as a new record.
    if (driver.CanModify() && first.size() == static_cast<size_t>(fields.Count()) && (size & 1)) {
        try {
            driver.Post(0, first);
            driver.Post(-1, first);
            driver.Delete(0);
            driver.Refresh();
        } catch (const EDatabaseError&) {
        }
    }
    driver.Close();
    return 0;
}

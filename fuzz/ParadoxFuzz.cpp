// Opens fuzzed Paradox tables and reads every value of every record, and
// edits the ones that can be written. An input is the .db bytes, optionally
// followed by a separator and the blob file's (.mb) bytes, another and the
// primary index's (.px), and a fourth and a secondary index pair's data
// file (.X02), whose .Y02 is the fifth part.

#include "data/drivers/paradox/ParadoxDriver.h"
#include "data/drivers/paradox/ParadoxWriter.h"
#include "data/locale/DateTimeFormat.h"
#include "fuzz/ReaderFuzz.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {
const char* const Extensions[] = {".db", ".mb", ".px", ".X02", ".Y02"};

TValue T(std::string_view s) {
    return TValue::OfText(s);
}

// Seeds: tables of each kind, made by the project's own writer.
void WriteSeeds() {
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
        const std::filesystem::path tmp = TReaderFuzz::SeedScratch();
        const std::filesystem::path db = tmp / "s.db";
        TParadoxWriter w(db.string(), s.Fields, s.Keys, s.CodePage);
        w.SetVersion(s.Version);
        w.SetBlockSizeCode(s.BlockCode);
        for (const auto& row : s.Rows)
            w.AddRecord(row);
        if (s.Secondary) w.AddSecondaryIndex({"No"});
        w.Finish();
        std::vector<std::string> parts = {TReaderFuzz::ReadFile(db)};
        for (size_t i = 1; i < 5; ++i) {
            const std::filesystem::path part =
                tmp / (std::string("s") +
                       (i >= 3 && s.Secondary ? (i == 3 ? ".X02" : ".Y02") : Extensions[i]));
            parts.push_back(std::filesystem::exists(part) ? TReaderFuzz::ReadFile(part) : "");
        }
        TReaderFuzz::AddSeed(s.Name, parts);
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TReaderFuzz::Initialize("px", "every", WriteSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> parts =
        TReaderFuzz::SplitParts(std::string_view(reinterpret_cast<const char*>(data), size), 5);
    TReaderFuzz::RemoveFiles({"t.db", "t.mb", "t.px", "t.X02", "t.Y02"});
    for (size_t i = 0; i < parts.size(); ++i)
        if (i == 0 || !parts[i].empty())
            TReaderFuzz::WriteFile(TReaderFuzz::File(std::string("t") + Extensions[i]), parts[i]);

    TParadoxDriver driver;
    TFieldDefs fields;
    if (!TReaderFuzz::Open(driver, TReaderFuzz::File("t.db"), fields)) return 0;
    const std::vector<TValue> first = TReaderFuzz::ReadEveryValue(driver, fields, true);
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

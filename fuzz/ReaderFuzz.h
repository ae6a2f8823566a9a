#pragma once
// What the table readers' fuzz targets share. An input is a table's files
// joined by Separator; the target writes them into a scratch folder of its
// own (in /dev/shm when there is one, removed at exit), opens the table and
// reads every value. With TABULON_FUZZ_SEED_DIR set, the target first writes
// its seeds there: tables made by the project's own writers.

#include "data/base/DatabaseError.h"
#include "data/base/FieldDefs.h"
#include "data/base/Value.h"
#include "data/drivers/TableDriver.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

class TReaderFuzz {
public:
    static constexpr std::string_view Separator = "\xFE\xED-PART-\xFE\xED";

    // For LLVMFuzzerInitialize. format names the scratch folder; the seeds
    // are written unless the seed folder holds seed-<knownSeed> already.
    static void Initialize(const char* format, const char* knownSeed, void (*writeSeeds)()) {
        namespace fs = std::filesystem;
        const std::string base =
            fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
        std::string tmpl = base + "/tabulon-" + format + "-fuzz-XXXXXX";
        if (!::mkdtemp(tmpl.data())) std::abort();
        Dir() = tmpl;
        std::atexit(RemoveDir);
        if (const char* seeds = std::getenv("TABULON_FUZZ_SEED_DIR")) {
            SeedDir() = seeds;
            if (!fs::exists(SeedDir() / (std::string("seed-") + knownSeed))) {
                fs::create_directories(SeedDir());
                writeSeeds();
                fs::remove_all(Dir() / "seed");
            }
        }
    }

    // A file in the scratch folder.
    static std::filesystem::path File(std::string_view name) { return Dir() / name; }

    // An empty folder to write one seed's tables in.
    static std::filesystem::path SeedScratch() {
        const std::filesystem::path p = Dir() / "seed";
        std::filesystem::remove_all(p);
        std::filesystem::create_directories(p);
        return p;
    }

    static void AddSeed(std::string_view name, const std::vector<std::string>& parts) {
        std::string input;
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i > 0) input += Separator;
            input += parts[i];
        }
        WriteFile(SeedDir() / ("seed-" + std::string(name)), input);
    }

    // The input cut at its first `most - 1` separators.
    static std::vector<std::string_view> SplitParts(std::string_view input, size_t most) {
        std::vector<std::string_view> parts;
        while (parts.size() + 1 < most) {
            const size_t at = input.find(Separator);
            if (at == std::string_view::npos) break;
            parts.push_back(input.substr(0, at));
            input.remove_prefix(at + Separator.size());
        }
        parts.push_back(input);
        return parts;
    }

    // Clears the previous input's files from the scratch folder.
    static void RemoveFiles(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            std::error_code ec;
            std::filesystem::remove(Dir() / name, ec);
        }
    }

    static void WriteFile(const std::filesystem::path& p, std::string_view data) {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
    }

    static std::string ReadFile(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // False when the driver refuses the table, as it should most inputs.
    static bool Open(TTableDriver& driver, const std::filesystem::path& table, TFieldDefs& fields) {
        TIndexDefs indexes;
        try {
            driver.Open(table.string(), fields, indexes);
        } catch (const EDatabaseError&) {
            return false;
        }
        return true;
    }

    // Reads every value of every record and returns the first live
    // record's values (empty when there is none). A value that cannot be
    // decoded reads as null when valuesMayFail; otherwise its error escapes
    // and the fuzzer reports it.
    static std::vector<TValue> ReadEveryValue(TTableDriver& driver, const TFieldDefs& fields,
                                              bool valuesMayFail) {
        const size_t count = static_cast<size_t>(fields.Count());
        std::vector<TValue> first;
        TValue v;
        for (uint32_t r = 0; r < driver.RecordCount(); ++r) {
            const bool live = driver.RecordLive(r);
            for (int f = 0; f < fields.Count(); ++f) {
                if (valuesMayFail) {
                    try {
                        driver.GetValue(r, f, v);
                    } catch (const EDatabaseError&) {
                        v.SetNull();
                    }
                } else {
                    driver.GetValue(r, f, v);
                }
                if (live && first.size() < count) first.push_back(v);
            }
        }
        return first;
    }

private:
    static std::filesystem::path& Dir() {
        static std::filesystem::path dir;
        return dir;
    }
    static std::filesystem::path& SeedDir() {
        static std::filesystem::path dir;
        return dir;
    }
    static void RemoveDir() {
        std::error_code ec;
        if (!Dir().empty()) std::filesystem::remove_all(Dir(), ec);
    }
};

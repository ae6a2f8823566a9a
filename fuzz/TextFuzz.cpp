// Opens fuzzed delimited text tables and reads every value of every
// record, and edits them. An input is the table's bytes, optionally
// followed by a separator and a schema file's (.sch) text; the table is a
// .txt then, else a .csv, .tab or .txt by the input's length.

#include "data/DatabaseError.h"
#include "data/DelimitedTableWriter.h"
#include "data/FormatSettings.h"
#include "data/TextDriver.h"
#include "data/TextSchema.h"

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
    fs::create_directories(tmp);
    const double day = EncodeDate(2020, 3, 4);
    const std::vector<std::vector<TValue>> rows = {
        {T("Zo\xC3\xAB \xC3\x86r\xC3\xB8"), TValue::OfInt(12), TValue::OfFloat(2.5),
         TValue::OfDateTime(day), TValue::OfBool(true), T("say \"hi\", then\r\nleave")},
        {T("Bob"), TValue::OfInt(-3), TValue(), TValue::OfDateTime(day + 0.25),
         TValue::OfBool(false), T("00123")},
        {TValue(), TValue(), TValue::OfFloat(1e-3), TValue(), TValue(), TValue()}};
    const std::vector<std::string> names = {"Name", "Qty", "Price", "Due", "Paid", "Note"};
    struct TSeed {
        const char* Name;
        TDelimitedFormat Format;
    };
    TDelimitedFormat comma, semicolon, tab, ansi;
    comma.Bom = true;
    semicolon.Separator = ';';
    semicolon.QuoteAll = true;
    semicolon.LineEnd = "\n";
    semicolon.FinalLineEnd = false;
    tab.Separator = '\t';
    tab.LineEnd = "\r";
    ansi.CodePage = 1252;
    for (const TSeed& s : {TSeed{"comma", comma}, TSeed{"semicolon", semicolon}, TSeed{"tab", tab},
                           TSeed{"ansi", ansi}}) {
        fs::path p = tmp / "s.csv";
        TDelimitedTableWriter::Write(p.string(), names, rows, s.Format);
        WriteFile(dir / (std::string("seed-") + s.Name), ReadFile(p));
    }
    // Tables with a schema.
    TTextSchema varying;
    varying.TableName = "s";
    varying.Separator = '|';
    varying.Fields = {{"Name", ftString, 20, 0, 0},   {"Qty", ftInteger, 4, 0, 0},
                      {"Price", ftCurrency, 8, 2, 0}, {"Due", ftDate, 10, 0, 0},
                      {"Paid", ftBoolean, 1, 0, 0},   {"At", ftTime, 8, 0, 0}};
    TTextSchema fixed = varying;
    fixed.Fixed = true;
    fixed.CharSet = TTextSchema::csOem;
    int offset = 0;
    for (TTextSchemaField& f : fixed.Fields) {
        f.Offset = offset;
        offset += f.Width + 1;
    }
    for (const auto& [name, schema] : {std::pair{"varying", varying}, std::pair{"fixed", fixed}}) {
        fs::path p = tmp / "s.txt";
        TDelimitedTableWriter::WriteWithSchema(
            p.string(), schema,
            {{T("Zo\xC3\xAB"), TValue::OfInt(5), TValue::OfFloat(9.99), TValue::OfDateTime(day),
              TValue::OfBool(true), TValue::OfDateTime(0.5)},
             {T("x"), TValue(), TValue(), TValue(), TValue::OfBool(false), TValue()}});
        WriteFile(dir / (std::string("seed-") + name),
                  ReadFile(p) + std::string(Separator) + ReadFile(tmp / "s.sch"));
    }
    fs::remove_all(tmp);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string base = fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
    std::string tmpl = base + "/tabulon-text-fuzz-XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    gDir = tmpl;
    std::atexit(RemoveDir);
    if (const char* seeds = std::getenv("TABULON_FUZZ_SEED_DIR")) {
        fs::path dir(seeds);
        if (!fs::exists(dir / "seed-fixed")) WriteSeeds(dir);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::string_view table = in, schema;
    const bool hasSchema = in.find(Separator) != std::string_view::npos;
    if (hasSchema) {
        size_t at = in.find(Separator);
        table = in.substr(0, at);
        schema = in.substr(at + Separator.size());
    }
    for (const char* name : {"t.csv", "t.tab", "t.txt", "t.sch"}) {
        std::error_code ec;
        fs::remove(gDir / name, ec);
    }
    const char* name = hasSchema       ? "t.txt"
                       : size % 3 == 0 ? "t.csv"
                       : size % 3 == 1 ? "t.tab"
                                       : "t.txt";
    const fs::path path = gDir / name;
    WriteFile(path, table);
    if (hasSchema) WriteFile(gDir / "t.sch", schema);

    TTextDriver driver;
    TFieldDefs fields;
    TIndexDefs indexes;
    try {
        driver.Open(path.string(), fields, indexes);
    } catch (const EDatabaseError&) {
        return 0;
    }
    TValue v;
    std::vector<TValue> first;
    for (uint32_t r = 0; r < driver.RecordCount(); ++r)
        for (int f = 0; f < fields.Count(); ++f) {
            driver.GetValue(r, f, v);
            if (first.size() < static_cast<size_t>(fields.Count())) first.push_back(v);
        }
    if (driver.CanModify() && (size & 1) && !first.empty()) {
        try {
            driver.Post(0, first);
            // Text that was read and written back reads the same.
            for (int f = 0; f < fields.Count(); ++f) {
                if (fields[f].DataType != ftString) continue;
                driver.GetValue(0, f, v);
                if (!(v == first[static_cast<size_t>(f)])) std::abort();
            }
            driver.Post(-1, first);
            driver.Delete(0);
            driver.Refresh();
            // What was written reads back as the values that were posted.
            driver.GetValue(driver.RecordCount() - 1, 0, v);
        } catch (const EDatabaseError&) {
        }
    }
    driver.Close();
    return 0;
}

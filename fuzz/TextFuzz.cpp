// Opens fuzzed delimited text tables and reads every value of every
// record, and edits them. An input is the table's bytes, optionally
// followed by a separator and a schema file's (.sch) text; the table is a
// .txt then, else a .csv, .tab or .txt by the input's length.

#include "data/drivers/text/DelimitedTableWriter.h"
#include "data/drivers/text/TextDriver.h"
#include "data/drivers/text/TextSchema.h"
#include "data/locale/DateTimeFormat.h"
#include "fuzz/ReaderFuzz.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {
TValue T(std::string_view s) {
    return TValue::OfText(s);
}

// Seeds: tables of each kind, made by the project's own writer.
void WriteSeeds() {
    const std::filesystem::path tmp = TReaderFuzz::SeedScratch();
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
        const std::filesystem::path p = tmp / "s.csv";
        TDelimitedTableWriter::Write(p.string(), names, rows, s.Format);
        TReaderFuzz::AddSeed(s.Name, {TReaderFuzz::ReadFile(p)});
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
        const std::filesystem::path p = tmp / "s.txt";
        TDelimitedTableWriter::WriteWithSchema(
            p.string(), schema,
            {{T("Zo\xC3\xAB"), TValue::OfInt(5), TValue::OfFloat(9.99), TValue::OfDateTime(day),
              TValue::OfBool(true), TValue::OfDateTime(0.5)},
             {T("x"), TValue(), TValue(), TValue(), TValue::OfBool(false), TValue()}});
        TReaderFuzz::AddSeed(name,
                             {TReaderFuzz::ReadFile(p), TReaderFuzz::ReadFile(tmp / "s.sch")});
    }
    // A fixed-width file without line breaks, read by the record width.
    {
        const std::filesystem::path p = tmp / "s.txt";
        TDelimitedTableWriter::WriteWithSchema(
            p.string(), fixed,
            {{T("Zo\xC3\xAB"), TValue::OfInt(5), TValue::OfFloat(9.99), TValue::OfDateTime(day),
              TValue::OfBool(true), TValue::OfDateTime(0.5)},
             {T("x"), TValue(), TValue(), TValue(), TValue::OfBool(false), TValue()}},
            "");
        TReaderFuzz::AddSeed("fixed-unbroken",
                             {TReaderFuzz::ReadFile(p), TReaderFuzz::ReadFile(tmp / "s.sch")});
    }
    // Text in a DOS code page that nothing names, and a NUL inside a value.
    TDelimitedFormat dos;
    dos.CodePage = 866;
    const std::filesystem::path p = tmp / "s.csv";
    TDelimitedTableWriter::Write(p.string(), {"\xD0\x98\xD0\xBC\xD1\x8F", "Qty"},
                                 {{T("\xD0\x96\xD1\x83\xD0\xBA"), TValue::OfInt(1)},
                                  {T("\xD0\x81\xD0\xB6"), TValue::OfInt(2)}},
                                 dos);
    TReaderFuzz::AddSeed("dos", {TReaderFuzz::ReadFile(p)});
    TReaderFuzz::AddSeed("nul", {std::string("Name,Note\r\nAnn,a\0b\r\nBob,c\r\n", 27)});
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TReaderFuzz::Initialize("text", "fixed", WriteSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> parts =
        TReaderFuzz::SplitParts(std::string_view(reinterpret_cast<const char*>(data), size), 2);
    const bool hasSchema = parts.size() > 1;
    TReaderFuzz::RemoveFiles({"t.csv", "t.tab", "t.txt", "t.sch"});
    const char* name = hasSchema       ? "t.txt"
                       : size % 3 == 0 ? "t.csv"
                       : size % 3 == 1 ? "t.tab"
                                       : "t.txt";
    const std::filesystem::path path = TReaderFuzz::File(name);
    TReaderFuzz::WriteFile(path, parts[0]);
    if (hasSchema) TReaderFuzz::WriteFile(TReaderFuzz::File("t.sch"), parts[1]);

    TTextDriver driver;
    TFieldDefs fields;
    if (!TReaderFuzz::Open(driver, path, fields)) return 0;
    // A text value always decodes: an error here is the fuzzer's finding.
    const std::vector<TValue> first = TReaderFuzz::ReadEveryValue(driver, fields, false);
    TValue v;
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

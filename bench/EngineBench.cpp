// Measures the engines over a large dBase table: sorting by a text field
// through TADOTable::Sort, a filter that keeps a tenth of the records, and
// locating the last record; then the same text work over a table of
// Cyrillic names, where ignoring case takes Unicode case folding. Each
// figure is set against the limit measured in the same run: one pass that
// reads the same field of every record through the cursor, which every one
// of these operations must at least do.
//
//   engine_bench [records] [folder]
//
// An argument of digits only is the record count (default 1,000,000); any
// other is the folder for the table (default a new folder in /tmp, removed
// afterwards). Prints figures only; it never fails on speed.
#include "data/drivers/dbf/DbfWriter.h"
#include "data/engines/ADOConnection.h"
#include "data/engines/ADOTable.h"
#include "data/engines/Table.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/FormatSettings.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using TClock = std::chrono::steady_clock;

namespace {
double SecondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

// Kilobytes of the process: resident now, or the peak.
long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
    return -1;
}

bool AllDigits(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

std::string NameOf(long i, uint64_t x) {
    static const char* const first[] = {"Ann",  "Bob", "Cid",  "Dora", "Eve",
                                        "Finn", "Gia", "Hugo", "Ines", "Jan"};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %s %07ld", first[x % 10], first[(x >> 8) % 10], i);
    return buf;
}

// The same names in Cyrillic, the first word capitalised, the second in capitals.
std::string CyrillicNameOf(long i, uint64_t x) {
    static const char* const first[] = {"Анна", "Борис", "Вера", "Глеб",  "Дарья",
                                        "Ефим", "Жанна", "Зоя",  "Игорь", "Яна"};
    static const char* const second[] = {"АННА", "БОРИС", "ВЕРА", "ГЛЕБ",  "ДАРЬЯ",
                                         "ЕФИМ", "ЖАННА", "ЗОЯ",  "ИГОРЬ", "ЯНА"};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %s %07ld", first[x % 10], second[(x >> 8) % 10], i);
    return buf;
}

// A table of one text field of Cyrillic names, in windows-1251.
void WriteCyrillicTable(const std::string& path, long records) {
    std::vector<TDbfFieldSpec> fields(1);
    fields[0].Name = "NAME", fields[0].Type = 'C', fields[0].Length = 24;
    TDbfWriter w(path, dvDBase3, fields, 1251);
    std::vector<TValue> row(1);
    uint64_t x = 88172645463325252ull;
    for (long i = 0; i < records; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        row[0].SetText(CyrillicNameOf(i, x));
        w.AddRecord(row);
    }
    w.Finish();
}

void WriteTable(const std::string& path, long records) {
    std::vector<TDbfFieldSpec> fields(5);
    fields[0].Name = "NAME", fields[0].Type = 'C', fields[0].Length = 24;
    fields[1].Name = "AMOUNT", fields[1].Type = 'N', fields[1].Length = 12, fields[1].Decimals = 2;
    fields[2].Name = "SINCE", fields[2].Type = 'D';
    fields[3].Name = "ACTIVE", fields[3].Type = 'L';
    fields[4].Name = "NOTES", fields[4].Type = 'M';
    TDbfWriter w(path, dvDBase3, fields);
    const double firstDay = EncodeDate(1990, 1, 1);
    std::vector<TValue> row(5);
    uint64_t x = 88172645463325252ull;
    for (long i = 0; i < records; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        row[0].SetText(NameOf(i, x));
        row[1].SetFloat(static_cast<double>((x >> 16) % 1000000) / 100.0); // 0 .. 9999.99
        row[2].SetDateTime(firstDay + static_cast<double>((x >> 32) % 12000));
        row[3].SetBool(((x >> 44) & 1) != 0);
        if (i % 100 == 0)
            row[4].SetText("A note on record " + std::to_string(i));
        else
            row[4].SetNull();
        w.AddRecord(row);
    }
    w.Finish();
}

// The limit: every record's value of one field read through the cursor.
double ScanField(TDataSet& t, const char* name) {
    TField& f = t.FieldByName(name);
    std::string text;
    size_t bytes = 0;
    auto start = TClock::now();
    for (t.First(); !t.Eof(); t.Next()) {
        f.GetAsString(text);
        bytes += text.size();
    }
    double s = SecondsSince(start);
    if (bytes == 0) std::printf("(no text read)\n");
    return s;
}
} // namespace

int main(int argc, char** argv) {
    long records = 1000000;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        if (AllDigits(argv[i]))
            records = std::strtol(argv[i], nullptr, 10);
        else
            folder = argv[i];
    }
    const bool keep = !folder.empty();
    if (folder.empty()) folder = "/tmp/engine_bench_" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/bench.dbf";
    int rc = 0;
    try {
        SetFormatSettings(TFormatSettings::Classic());
        // Written by a child process, so that the peak below is the engines' own.
        auto start = TClock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            try {
                WriteTable(path, records);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "engine_bench: %s\n", e.what());
                ::_exit(1);
            }
            ::_exit(0);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            throw std::runtime_error("the table could not be written");
        const double writeSeconds = SecondsSince(start);
        const auto fileBytes = std::filesystem::file_size(path);
        const long rssBefore = StatusKb("VmRSS:");

        TADOConnection connection;
        connection.SetConnectionString("Driver={Microsoft dBase Driver (*.dbf)};DriverID=277;"
                                       "DefaultDir=" +
                                       folder + ";");
        connection.SetLoginPrompt(false);
        connection.Open();
        TADOTable table;
        table.SetConnectionString(connection.ConnectionString());
        table.SetTableName("bench.dbf");
        start = TClock::now();
        table.Open();
        table.First();
        std::string first = table.FieldByName("NAME").AsString();
        const double openSeconds = SecondsSince(start);

        const double scanName = ScanField(table, "NAME");
        const double scanAmount = ScanField(table, "AMOUNT");

        start = TClock::now();
        table.SetSort("NAME DESC");
        const double sortSeconds = SecondsSince(start);
        table.First();
        std::string top = table.FieldByName("NAME").AsString();
        const long rssSorted = StatusKb("VmRSS:");

        start = TClock::now();
        table.SetSort("AMOUNT");
        const double sortNumberSeconds = SecondsSince(start);
        table.SetSort("");

        table.SetFilter("AMOUNT < 1000");
        start = TClock::now();
        table.SetFiltered(true);
        const double filterSeconds = SecondsSince(start);
        const int kept = table.RecordCount();

        start = TClock::now();
        table.SetFilter("NAME LIKE 'ann%' OR NAME LIKE '%bob 0%'");
        const double filterLikeSeconds = SecondsSince(start);
        table.SetFiltered(false);

        table.Last();
        const std::string last = table.FieldByName("NAME").AsString();
        table.First();
        start = TClock::now();
        bool found = table.Locate("NAME", {last}, loCaseInsensitive | loPartialKey);
        const double locateSeconds = SecondsSince(start);
        const int foundAt = table.RecNo();

        const long peak = StatusKb("VmHWM:");
        table.Close();

        // The index-ordered engine over the same file (a second mapping of it).
        // Text work where the texts are not ASCII.
        const std::string ruPath = folder + "/bench_ru.dbf";
        const pid_t ruChild = ::fork();
        if (ruChild == 0) {
            try {
                WriteCyrillicTable(ruPath, records);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "engine_bench: %s\n", e.what());
                ::_exit(1);
            }
            ::_exit(0);
        }
        if (ruChild < 0 || ::waitpid(ruChild, &status, 0) != ruChild || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            throw std::runtime_error("the Cyrillic table could not be written");
        TADOTable ru;
        ru.SetConnectionString(connection.ConnectionString());
        ru.SetTableName("bench_ru.dbf");
        ru.Open();
        const double ruScan = ScanField(ru, "NAME");
        start = TClock::now();
        ru.SetSort("NAME DESC");
        const double ruSortSeconds = SecondsSince(start);
        ru.First();
        const std::string ruTop = ru.FieldByName("NAME").AsString();
        ru.SetSort("");
        ru.SetFilter("NAME LIKE 'анна%' OR NAME LIKE '%борис 0%'");
        start = TClock::now();
        ru.SetFiltered(true);
        const double ruFilterSeconds = SecondsSince(start);
        const int ruKept = ru.RecordCount();
        ru.SetFiltered(false);
        ru.Last();
        const std::string ruLast = ru.FieldByName("NAME").AsString();
        ru.First();
        start = TClock::now();
        const bool ruFound = ru.Locate("NAME", {ruLast}, loCaseInsensitive | loPartialKey);
        const double ruLocateSeconds = SecondsSince(start);
        const int ruFoundAt = ru.RecNo();
        ru.Close();

        std::string bdeLine;
        try {
            TTable bde;
            bde.SetDatabaseName(folder);
            bde.SetTableName("bench.dbf");
            start = TClock::now();
            bde.Open();
            const double bdeOpenSeconds = SecondsSince(start);
            bde.SetFilter("NAME = 'Ann*'");
            start = TClock::now();
            bde.SetFiltered(true);
            const double bdeFilterSeconds = SecondsSince(start);
            char buf[160];
            std::snprintf(buf, sizeof buf, "%.4f s, filter NAME = 'Ann*' %.3f s (%d kept)",
                          bdeOpenSeconds, bdeFilterSeconds, bde.RecordCount());
            bdeLine = buf;
        } catch (const std::exception& e) {
            bdeLine = std::string("not measured: ") + e.what();
        }

        std::printf("table              %ld records, %.1f MB .dbf (written in %.2f s)\n", records,
                    static_cast<double>(fileBytes) / 1e6, writeSeconds);
        std::printf("open               %.4f s (first record %s)\n", openSeconds, first.c_str());
        std::printf("scan NAME          %.3f s   (the limit for text work)\n", scanName);
        std::printf("scan AMOUNT        %.3f s   (the limit for number work)\n", scanAmount);
        std::printf("sort NAME DESC     %.3f s   sort / scan %.1f   (first: %s)\n", sortSeconds,
                    sortSeconds / scanName, top.c_str());
        std::printf("sort AMOUNT        %.3f s   sort / scan %.1f\n", sortNumberSeconds,
                    sortNumberSeconds / scanAmount);
        std::printf("filter AMOUNT<1000 %.3f s   filter / scan %.1f   (%d kept)\n", filterSeconds,
                    filterSeconds / scanAmount, kept);
        std::printf("filter NAME wild   %.3f s   filter / scan %.1f\n", filterLikeSeconds,
                    filterLikeSeconds / scanName);
        std::printf("locate last        %.3f s   locate / scan %.1f   (%s at %d)\n", locateSeconds,
                    locateSeconds / scanName, found ? "found" : "NOT FOUND", foundAt);
        std::printf("TTable open        %s\n", bdeLine.c_str());
        std::printf("Cyrillic scan NAME %.3f s\n", ruScan);
        std::printf("Cyrillic sort DESC %.3f s   sort / scan %.1f   (first: %s)\n", ruSortSeconds,
                    ruSortSeconds / ruScan, ruTop.c_str());
        std::printf("Cyrillic wild      %.3f s   filter / scan %.1f   (%d kept)\n", ruFilterSeconds,
                    ruFilterSeconds / ruScan, ruKept);
        std::printf("Cyrillic locate    %.3f s   locate / scan %.1f   (%s at %d)\n",
                    ruLocateSeconds, ruLocateSeconds / ruScan, ruFound ? "found" : "NOT FOUND",
                    ruFoundAt);
        const double beyond =
            static_cast<double>(rssSorted - rssBefore) * 1024.0 - static_cast<double>(fileBytes);
        std::printf("memory             resident %ld MB before open, %ld MB after the sort "
                    "(file read whole: %.1f bytes/record beyond it), peak %ld MB\n",
                    rssBefore / 1024, rssSorted / 1024, beyond / static_cast<double>(records),
                    peak / 1024);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine_bench: %s\n", e.what());
        rc = 1;
    }
    if (!keep) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    return rc;
}

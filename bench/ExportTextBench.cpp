// Measures the text export of a large in-memory table against the limit of
// writing the same number of bytes with a plain buffered copy, in one run.
//
//   export_text_bench [records] [path]
//
// An argument of digits only is the record count (default 1,000,000); any
// other is the output path (default a file in /tmp, removed afterwards).
// Prints figures only; it never fails on speed.
#include "data/FormatSettings.h"
#include "data/MemTable.h"
#include "export/KXExport2Text.h"
#include "export/WindowlessTableView.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using TClock = std::chrono::steady_clock;

static double SecondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

static void FillTable(TMemTable& t, long records) {
    t.FieldDefs().Add("Name", ftString, 24);
    t.FieldDefs().Add("City", ftString, 16);
    t.FieldDefs().Add("Id", ftInteger);
    t.FieldDefs().Add("Quantity", ftLargeint);
    t.FieldDefs().Add("Weight", ftFloat);
    t.FieldDefs().Add("Balance", ftCurrency);
    t.FieldDefs().Add("Since", ftDate);
    t.FieldDefs().Add("Active", ftBoolean);
    t.Open();
    static const char* const names[] = {"Ann Berg",   "Bob Král",   "Cid Moreau", "Dora Lind",
                                        "Eve Santos", "Finn Olsen", "Gia Rossi",  "Hugo Weber"};
    static const char* const cities[] = {"Oslo", "Praha", "Lima", "Rome", "København", "Lyon"};
    const double firstDay = EncodeDate(1990, 1, 1);
    std::vector<TValue> row(8);
    uint64_t x = 88172645463325252ull;
    std::string name;
    for (long i = 0; i < records; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        name = names[x % 8];
        name += ' ';
        name += std::to_string(i % 1000);
        row[0].SetText(name);
        row[1].SetText(cities[(x >> 8) % 6]);
        row[2].SetInt(i + 1);
        row[3].SetInt(static_cast<int64_t>((x >> 16) % 5000000) - 1000000);
        row[4].SetFloat(static_cast<double>((x >> 20) % 1000000) / 1024.0);
        row[5].SetFloat(static_cast<double>(static_cast<int64_t>((x >> 24) % 20000000) - 5000000) /
                        100.0);
        row[6].SetDateTime(firstDay + static_cast<double>((x >> 32) % 12000));
        if ((x >> 40) % 10 == 0)
            row[7].SetNull();
        else
            row[7].SetBool(((x >> 44) & 1) != 0);
        t.AppendRecord(row);
    }
    t.First();
}

// The limit: the same number of bytes through a 64 KiB buffer and write(),
// synced like the export's file.
static double CopyBytes(const std::string& path, uint64_t bytes) {
    std::vector<char> buffer(1 << 16);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<char>('A' + i % 26);
    const auto start = TClock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw std::runtime_error("Cannot create " + path + ": " + std::strerror(errno));
    uint64_t left = bytes;
    while (left > 0) {
        const size_t chunk = left < buffer.size() ? static_cast<size_t>(left) : buffer.size();
        size_t done = 0;
        while (done < chunk) {
            const ssize_t n = ::write(fd, buffer.data() + done, chunk - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ::close(fd);
                throw std::runtime_error("Cannot write " + path + ": " + std::strerror(errno));
            }
            done += static_cast<size_t>(n);
        }
        left -= chunk;
    }
    ::fsync(fd);
    ::close(fd);
    return SecondsSince(start);
}

static bool AllDigits(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

int main(int argc, char** argv) {
    long records = 1000000;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        if (AllDigits(argv[i]))
            records = std::strtol(argv[i], nullptr, 10);
        else
            path = argv[i];
    }
    const bool keep = !path.empty();
    if (path.empty()) path = "/tmp/export_text_bench_" + std::to_string(::getpid()) + ".txt";
    const std::string copyPath = path + ".copy";

    try {
        SetFormatSettings(TFormatSettings::Classic());
        TMemTable table;
        auto start = TClock::now();
        FillTable(table, records);
        const double fillSeconds = SecondsSince(start);

        TDataSource source(&table);
        TWindowlessTableView view(&source);
        TKXExport2Text writer;
        writer.SetGrid(&view);
        writer.BuildMappings();
        const int columns = writer.Mappings().Count();

        start = TClock::now();
        writer.ExportToFile(path);
        const double exportSeconds = SecondsSince(start);

        struct stat st;
        if (::stat(path.c_str(), &st) != 0) throw std::runtime_error("Cannot read back " + path);
        const auto bytes = static_cast<uint64_t>(st.st_size);

        const double copySeconds = CopyBytes(copyPath, bytes);
        std::remove(copyPath.c_str());
        if (!keep) std::remove(path.c_str());

        const double cells = static_cast<double>(records) * columns;
        std::printf("records            %ld x %d fields (table built in %.2f s)\n", records,
                    columns, fillSeconds);
        std::printf("written            %d records, %llu bytes to %s%s\n", writer.WrittenCount(),
                    static_cast<unsigned long long>(bytes), path.c_str(), keep ? "" : " (removed)");
        std::printf("export             %.3f s, %.0f records/s, %.1f ns/cell\n", exportSeconds,
                    records / exportSeconds, exportSeconds * 1e9 / cells);
        std::printf("plain copy         %.3f s, %.0f MB/s\n", copySeconds,
                    static_cast<double>(bytes) / copySeconds / 1e6);
        std::printf("export / copy      %.1f\n", exportSeconds / copySeconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "export_text_bench: %s\n", e.what());
        std::remove(copyPath.c_str());
        return 1;
    }
    return 0;
}

// Measures the text export of a large in-memory table against the limit of
// writing the same number of bytes with a plain buffered copy, in one run.
//
//   export_text_bench [records] [path]
//
// An argument of digits only is the record count (default 1,000,000); any
// other is the output path (default a file in /tmp, removed afterwards).
// Prints figures only; it never fails on speed.
#include "bench/BenchSupport.h"
#include "bench/BenchTable.h"
#include "export/KXExport2Text.h"
#include "export/view/WindowlessTableView.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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
        FillBenchTable(table, records,
                       {bcName, bcCity, bcId, bcQuantity, bcWeight, bcBalance, bcSince, bcActive});
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

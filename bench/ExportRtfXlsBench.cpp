// Measures the RTF and XLS exports of an in-memory table against the text
// export of the same table in the same run (the engine's own cost), and
// against writing the same bytes with a plain buffered copy.
//
//   export_rtf_xls_bench [records]
//
// Default 65,000 records, which an XLS worksheet holds. Prints figures only;
// it never fails on speed.
#include "bench/BenchSupport.h"
#include "bench/BenchTable.h"
#include "export/KXExport2RTF.h"
#include "export/KXExport2Text.h"
#include "export/KXExport2XLS.h"
#include "export/view/WindowlessTableView.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <unistd.h>

// One export into a file; seconds and bytes.
static double Time(TKXExport& writer, TTableView& view, const std::string& path, long& bytes) {
    writer.SetGrid(&view);
    writer.BuildMappings();
    const auto start = TClock::now();
    writer.ExportToFile(path);
    const double seconds = SecondsSince(start);
    FILE* f = std::fopen(path.c_str(), "rb");
    bytes = 0;
    if (f) {
        std::fseek(f, 0, SEEK_END);
        bytes = std::ftell(f);
        std::fclose(f);
    }
    std::remove(path.c_str());
    return seconds;
}

int main(int argc, char** argv) {
    const long records = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 65000;
    const std::string base = "/tmp/export_rtf_xls_bench_" + std::to_string(::getpid());
    try {
        SetFormatSettings(TFormatSettings::Classic());
        TMemTable table;
        FillBenchTable(table, records, {bcName, bcCity, bcId, bcWeight, bcSince, bcActive});
        TDataSource source(&table);
        TWindowlessTableView view(&source);
        const double cells = static_cast<double>(records) * table.FieldCount();

        long textBytes = 0, rtfBytes = 0, xlsBytes = 0;
        TKXExport2Text text;
        const double textSeconds = Time(text, view, base + ".txt", textBytes);
        TKXExport2RTF rtf;
        const double rtfSeconds = Time(rtf, view, base + ".rtf", rtfBytes);
        TKXExport2XLS xls;
        const double xlsSeconds = Time(xls, view, base + ".xls", xlsBytes);

        std::printf("records        %ld x %d fields\n", records, table.FieldCount());
        std::printf("text           %.3f s, %.1f ns/cell, %ld bytes\n", textSeconds,
                    textSeconds * 1e9 / cells, textBytes);
        std::printf("rtf            %.3f s, %.1f ns/cell, %ld bytes, %.1f x text\n", rtfSeconds,
                    rtfSeconds * 1e9 / cells, rtfBytes, rtfSeconds / textSeconds);
        std::printf("xls            %.3f s, %.1f ns/cell, %ld bytes, %.1f x text\n", xlsSeconds,
                    xlsSeconds * 1e9 / cells, xlsBytes, xlsSeconds / textSeconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "export_rtf_xls_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}

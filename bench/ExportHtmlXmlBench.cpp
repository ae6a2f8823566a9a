// Measures the HTML and XML exports of a large in-memory table against the
// limit of writing the same number of bytes with a plain buffered copy, in
// one run: HTML without and with pictures (a boolean column of glyphs), and
// XML in both layouts.
//
//   export_html_xml_bench [records] [folder]
//
// An argument of digits only is the record count (default 1,000,000); any
// other is the folder for the documents (default a new one in /tmp, removed
// afterwards). Prints figures only; it never fails on speed.
#include "bench/BenchSupport.h"
#include "bench/BenchTable.h"
#include "export/KXExport2HTML.h"
#include "export/KXExport2XML.h"
#include "export/view/WindowlessTableView.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

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
    if (folder.empty()) {
        std::string tmpl = "/tmp/export_html_xml_bench_XXXXXX";
        if (!::mkdtemp(tmpl.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = tmpl;
    }
    try {
        std::filesystem::create_directories(folder);
        SetFormatSettings(TFormatSettings::Classic());
        TMemTable table;
        auto start = TClock::now();
        FillBenchTable(table, records,
                       {bcName, bcCity, bcId, bcWeight, bcBalance, bcSince, bcActive}, true);
        std::printf("records            %ld x 7 fields (table built in %.2f s)\n", records,
                    SecondsSince(start));
        TDataSource source(&table);
        TWindowlessTableView view(&source);

        struct TRun {
            const char* Name;
            const char* File;
            std::function<TKXExport*()> Make;
        };
        TKXExport2HTML html, htmlImages;
        htmlImages.SetIncludeImages(true);
        TKXExport2XML packet, records_;
        records_.SetXMLScheme(0);
        const TRun runs[] = {{"html", "out.htm", [&] { return &html; }},
                             {"html + glyphs", "pictures.htm", [&] { return &htmlImages; }},
                             {"xml data packet", "packet.xml", [&] { return &packet; }},
                             {"xml record set", "records.xml", [&] { return &records_; }}};
        for (const TRun& run : runs) {
            TKXExport& writer = *run.Make();
            writer.SetGrid(&view);
            writer.BuildMappings();
            const std::string path = folder + "/" + run.File;
            start = TClock::now();
            writer.ExportToFile(path);
            const double seconds = SecondsSince(start);
            struct stat st;
            if (::stat(path.c_str(), &st) != 0) throw std::runtime_error("Cannot read " + path);
            const auto bytes = static_cast<uint64_t>(st.st_size);
            const double copy = CopyBytes(path + ".copy", bytes);
            std::remove((path + ".copy").c_str());
            if (!keep) std::remove(path.c_str());
            std::printf("%-18s %.3f s, %.0f records/s, %llu bytes, %.0f MB/s; copy %.3f s; "
                        "export / copy %.1f\n",
                        run.Name, seconds, records / seconds,
                        static_cast<unsigned long long>(bytes), bytes / seconds / 1e6, copy,
                        seconds / copy);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "export_html_xml_bench: %s\n", e.what());
        if (!keep) std::filesystem::remove_all(folder);
        return 1;
    }
    if (!keep) std::filesystem::remove_all(folder);
    return 0;
}

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
#include "data/FormatSettings.h"
#include "data/MemTable.h"
#include "export/KXExport2HTML.h"
#include "export/KXExport2XML.h"
#include "export/WindowlessTableView.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
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
    t.FieldDefs().Add("Weight", ftFloat);
    t.FieldDefs().Add("Balance", ftCurrency);
    t.FieldDefs().Add("Since", ftDate);
    t.FieldDefs().Add("Active", ftBoolean);
    t.Open();
    static const char* const names[] = {"Ann Berg & Co", "Bob Král",       "Cid <Moreau>",
                                        "Dora Lind",     "Eve \"Santos\"", "Finn Olsen",
                                        "Gia Rossi",     "Hugo Weber"};
    static const char* const cities[] = {"Oslo", "Praha", "Lima", "Rome", "København", "Lyon"};
    const double firstDay = EncodeDate(1990, 1, 1);
    std::vector<TValue> row(7);
    uint64_t x = 88172645463325252ull;
    for (long i = 0; i < records; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        row[0].SetText(names[x % 8]);
        row[1].SetText(cities[(x >> 8) % 6]);
        row[2].SetInt(i + 1);
        row[3].SetFloat(static_cast<double>((x >> 20) % 1000000) / 1024.0);
        row[4].SetFloat(static_cast<double>(static_cast<int64_t>((x >> 24) % 20000000) - 5000000) /
                        100.0);
        row[5].SetDateTime(firstDay + static_cast<double>((x >> 32) % 12000));
        if ((x >> 40) % 10 == 0)
            row[6].SetNull();
        else
            row[6].SetBool(((x >> 44) & 1) != 0);
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
        SetFormatSettings(TFormatSettings::Classic());
        TMemTable table;
        auto start = TClock::now();
        FillTable(table, records);
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

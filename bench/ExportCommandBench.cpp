// Times `tabulx -export` of a 1,000,000-record dBase table (C20 C40 N10
// N12.2 D L) to each of the five documents as whole processes, beside the
// other converters Debian has for the same job, run on the same file in the
// same run, and beside a plain copy of the file's bytes. Prints seconds,
// records per second, peak memory and the ratios.
//
//   export_command_bench [records] [folder] [runs]
//
// An XLS worksheet holds at most 65,535 rows, so that format is timed on a
// table of 65,535 records and compared with text on the same table.
// Prints figures only; it never fails on speed.
#include "bench/BenchTable.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef TABULX_PATH
#error "TABULX_PATH must name the tabulx program"
#endif

using TClock = std::chrono::steady_clock;

namespace {
struct TRun {
    double Seconds = 0;
    double PeakMb = 0;
    bool Ok = false;
};

// Runs argv with standard output to outPath, best of runs.
TRun Time(const std::vector<std::string>& argv, const std::string& outPath, int runs) {
    TRun best;
    best.Seconds = 1e30;
    for (int r = 0; r < runs; ++r) {
        const auto start = TClock::now();
        pid_t pid = ::fork();
        if (pid < 0) return {};
        if (pid == 0) {
            int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = ::open("/dev/null", O_WRONLY);
            if (out < 0 || err < 0) ::_exit(126);
            ::dup2(out, 1);
            ::dup2(err, 2);
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        int status = 0;
        struct rusage ru {};
        if (::wait4(pid, &status, 0, &ru) < 0) return {};
        const double s = std::chrono::duration<double>(TClock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "%s failed (status %d)\n", argv[0].c_str(), status);
            return {};
        }
        best.Ok = true;
        best.Seconds = std::min(best.Seconds, s);
        best.PeakMb = std::max(best.PeakMb, static_cast<double>(ru.ru_maxrss) / 1024.0);
    }
    return best;
}

// The limit: the table's bytes mapped and written to a file, nothing else.
int CopyFile(const char* from, const char* to) {
    int in = ::open(from, O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (in < 0 || ::fstat(in, &st) != 0) return 1;
    const size_t size = static_cast<size_t>(st.st_size);
    void* map = size ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, in, 0) : nullptr;
    if (size && map == MAP_FAILED) return 1;
    int out = ::open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return 1;
    const char* p = static_cast<const char*>(map);
    for (size_t done = 0; done < size;) {
        ssize_t n = ::write(out, p + done, size - done);
        if (n <= 0) return 1;
        done += static_cast<size_t>(n);
    }
    return ::close(out) == 0 ? 0 : 1;
}

uint64_t FileSize(const std::string& path) {
    std::error_code ec;
    uint64_t n = std::filesystem::file_size(path, ec);
    return ec ? 0 : n;
}

void Print(const char* what, const TRun& r, long records, const std::string& out, double text) {
    if (!r.Ok) {
        std::printf("%-34s  failed\n", what);
        return;
    }
    std::printf("%-34s %8.3f s %8.2f M rec/s %8.1f MB %9.1f MB out %7.2f x text\n", what, r.Seconds,
                static_cast<double>(records) / r.Seconds / 1e6, r.PeakMb,
                static_cast<double>(FileSize(out)) / 1e6, text > 0 ? r.Seconds / text : 0.0);
}
} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--copy") == 0) return CopyFile(argv[2], argv[3]);
    long records = 1000000;
    int runs = 2;
    std::string folder;
    int numbers = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (!a.empty() && a.find_first_not_of("0123456789") == std::string::npos) {
            long n = std::strtol(a.c_str(), nullptr, 10);
            if (numbers++ == 0)
                records = n;
            else
                runs = static_cast<int>(n);
        } else {
            folder = a;
        }
    }
    runs = std::max(1, runs);
    if (folder.empty()) folder = "/tmp/export_command_bench";
    std::filesystem::create_directories(folder);
    const std::string table = folder + "/orders.dbf";
    const long xlsRecords = std::min(records, 65535L);
    const std::string small = folder + "/orders_xls.dbf";
    SetFormatSettings(TFormatSettings::Classic());
    WriteBenchTable(table, records, false, false);
    WriteBenchTable(small, xlsRecords, false, false);
    std::printf("dBase table: %ld records, C20 C40 N10 N12.2 D L, %.1f MB; best of %d runs\n\n",
                records, static_cast<double>(FileSize(table)) / 1e6, runs);

    const std::string tabulx = TABULX_PATH;
    const std::string self = argv[0];
    const std::string none = "/dev/null";
    auto out = [&](const char* name) { return folder + "/" + name; };
    // The first run of each also warms the page cache.
    Time({self, "--copy", table, out("copy.dbf")}, none, 1);

    const TRun copy = Time({self, "--copy", table, out("copy.dbf")}, none, runs);
    const TRun text = Time({tabulx, "-export", table, out("orders.txt")}, none, runs);
    const TRun html = Time({tabulx, "-export", table, out("orders.htm")}, none, runs);
    const TRun xml = Time({tabulx, "-export", table, out("orders.xml")}, none, runs);
    const TRun rtf = Time({tabulx, "-export", table, out("orders.rtf")}, none, runs);
    const TRun pgdbf = Time({"pgdbf", table}, out("pgdbf.sql"), runs);
    std::filesystem::remove(out("ogr.csv"));
    const TRun ogr = Time({"sh", "-c",
                           "rm -f '" + out("ogr.csv") + "' && ogr2ogr -f CSV '" + out("ogr.csv") +
                               "' '" + table + "'"},
                          none, runs);
    const std::string script = std::string(TABULON_BENCH_DIR) + "/dbfread_csv.py";
    const TRun dbfread = Time({"/usr/bin/python3", script, table, out("dbfread.csv")}, none, runs);

    const TRun smallText = Time({tabulx, "-export", small, out("orders_xls.txt")}, none, runs);
    const TRun xls = Time({tabulx, "-export", small, out("orders.xls")}, none, runs);

    const double t = text.Ok ? text.Seconds : 0;
    std::printf("%-34s %10s %16s %11s %16s %12s\n", "", "time", "speed", "peak RSS", "document",
                "ratio");
    Print("plain copy (mmap + write)", copy, records, out("copy.dbf"), t);
    Print("tabulx -export -> text", text, records, out("orders.txt"), t);
    Print("tabulx -export -> HTML", html, records, out("orders.htm"), t);
    Print("tabulx -export -> XML", xml, records, out("orders.xml"), t);
    Print("tabulx -export -> RTF", rtf, records, out("orders.rtf"), t);
    Print("pgdbf (SQL)", pgdbf, records, out("pgdbf.sql"), t);
    Print("ogr2ogr -f CSV", ogr, records, out("ogr.csv"), t);
    Print("dbfread -> csv (python3)", dbfread, records, out("dbfread.csv"), t);
    std::printf("\non %ld records (the most a worksheet holds):\n", xlsRecords);
    const double st = smallText.Ok ? smallText.Seconds : 0;
    Print("tabulx -export -> text", smallText, xlsRecords, out("orders_xls.txt"), st);
    Print("tabulx -export -> XLS", xls, xlsRecords, out("orders.xls"), st);

    double fastest = 1e30;
    const char* fastestName = "none";
    for (auto [name, r] : {std::pair{"pgdbf", &pgdbf}, {"ogr2ogr", &ogr}, {"dbfread", &dbfread}})
        if (r->Ok && r->Seconds < fastest) fastest = r->Seconds, fastestName = name;
    if (text.Ok && fastest < 1e30)
        std::printf("\ntext export / fastest converter (%s): %.2f (must be < 1, aim 0.5)\n",
                    fastestName, text.Seconds / fastest);
    if (text.Ok && copy.Ok)
        std::printf("text export / plain copy: %.1f\n", text.Seconds / copy.Seconds);
    std::printf("other formats / text (aim <= 3): HTML %.2f  XML %.2f  RTF %.2f  XLS %.2f\n",
                html.Ok && t ? html.Seconds / t : 0, xml.Ok && t ? xml.Seconds / t : 0,
                rtf.Ok && t ? rtf.Seconds / t : 0, xls.Ok && st ? xls.Seconds / st : 0);
    if (text.Ok && smallText.Ok)
        std::printf("peak RSS of the text export: %.1f MB at %ld records, %.1f MB at %ld\n",
                    smallText.PeakMb, xlsRecords, text.PeakMb, records);
    return 0;
}

// Times the XLSX export of a 1,000,000-record dBase table (C20 C40 N10
// N12.2 D L) as whole `tabulx -export` processes, beside the text export of
// the same table in the same run and beside `ogr2ogr -f XLSX`, and prints
// seconds, processor time, peak memory and the ratios. Peak memory is also
// taken on a quarter of the table, to show that it does not grow with the
// table. Then the writer's two modes in a process of their own each, on an
// eighth and a quarter of the table: constant memory with inline strings
// (the default) and the library's standard mode with a shared-string table.
//
//   export_xlsx_bench [records] [folder] [runs] [--no-ogr]
//
// Prints figures only; it never fails on speed.
#include "bench/BenchTable.h"
#include "data/engines/Table.h"
#include "export/KXExport2XLSX.h"
#include "export/view/WindowlessTableView.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
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
    double Cpu = 0;
    double PeakMb = 0;
    bool Ok = false;
};

// Runs argv (standard output and error to /dev/null), best of `runs`.
TRun Time(const std::vector<std::string>& argv, int runs) {
    TRun best;
    best.Seconds = 1e30;
    for (int r = 0; r < runs; ++r) {
        const auto start = TClock::now();
        const pid_t pid = ::fork();
        if (pid < 0) return {};
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            if (null < 0) ::_exit(126);
            ::dup2(null, 1);
            ::dup2(null, 2);
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
        const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
        best.Ok = true;
        if (s < best.Seconds) {
            best.Seconds = s;
            best.Cpu = cpu;
        }
        best.PeakMb = std::max(best.PeakMb, static_cast<double>(ru.ru_maxrss) / 1024.0);
    }
    return best;
}

uint64_t FileSize(const std::string& path) {
    std::error_code ec;
    const uint64_t n = std::filesystem::file_size(path, ec);
    return ec ? 0 : n;
}

void Print(const char* what, const TRun& r, long records, const std::string& out, double text) {
    if (!r.Ok) {
        std::printf("%-36s  failed\n", what);
        return;
    }
    std::printf("%-36s %8.2f s %8.2f s %9.1f MB %9.1f MB %8.2f M rec/s", what, r.Seconds, r.Cpu,
                r.PeakMb, static_cast<double>(FileSize(out)) / 1e6,
                static_cast<double>(records) / r.Seconds / 1e6);
    if (text > 0) std::printf(" %7.2f x text", r.Seconds / text);
    std::printf("\n");
}

// The child of the in-process runs: one XLSX export of the table.
int ExportInProcess(const std::string& table, const std::string& out, bool shared) {
    try {
        SetFormatSettings(TFormatSettings::Classic());
        const std::filesystem::path p(table);
        TTable dbf;
        dbf.SetDatabaseName(p.parent_path().string());
        dbf.SetTableName(p.filename().string());
        dbf.Open();
        TDataSource source(&dbf);
        TWindowlessTableView view(&source);
        TKXExport2XLSX writer;
        writer.SetGrid(&view);
        writer.BuildMappings();
        writer.SetSheetName(p.stem().string());
        writer.SetSharedStrings(shared);
        writer.ExportToFile(out);
        return writer.WrittenCount() > 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "export_xlsx_bench: %s\n", e.what());
        return 1;
    }
}
} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--child") == 0)
        return ExportInProcess(argv[2], argv[3], std::strcmp(argv[4], "shared") == 0);
    long records = 1000000;
    int runs = 2;
    bool ogr = true;
    std::string folder;
    int numbers = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--no-ogr") {
            ogr = false;
        } else if (!a.empty() && a.find_first_not_of("0123456789") == std::string::npos) {
            const long n = std::strtol(a.c_str(), nullptr, 10);
            if (numbers++ == 0)
                records = std::max(8L, n);
            else
                runs = std::max(1, static_cast<int>(n));
        } else {
            folder = a;
        }
    }
    if (folder.empty()) folder = "/tmp/export_xlsx_bench";
    std::filesystem::create_directories(folder);
    auto at = [&](const std::string& name) { return folder + "/" + name; };
    const std::string table = at("orders.dbf");
    const std::string quarter = at("quarter.dbf");
    const std::string eighth = at("eighth.dbf");
    SetFormatSettings(TFormatSettings::Classic());
    WriteBenchTable(table, records, false, false);
    WriteBenchTable(quarter, records / 4, false, false);
    WriteBenchTable(eighth, records / 8, false, false);
    std::printf("dBase table: %ld records x 6 fields (C20 C40 N10 N12.2 D L), %.1f MB; best of %d "
                "runs\n\n",
                records, static_cast<double>(FileSize(table)) / 1e6, runs);

    const std::string tabulx = TABULX_PATH;
    const std::string self = argv[0];
    // The first run warms the page cache.
    Time({tabulx, "-export", table, at("warm.txt")}, 1);
    std::filesystem::remove(at("warm.txt"));

    const TRun text = Time({tabulx, "-export", table, at("orders.txt")}, runs);
    const TRun xlsx = Time({tabulx, "-export", table, at("orders.xlsx")}, runs);
    const TRun xlsxQuarter = Time({tabulx, "-export", quarter, at("quarter.xlsx")}, runs);
    TRun ogrRun;
    if (ogr) {
        std::filesystem::remove(at("ogr.xlsx"));
        ogrRun = Time({"ogr2ogr", "-f", "XLSX", at("ogr.xlsx"), table}, 1);
    }

    const double t = text.Ok ? text.Seconds : 0;
    std::printf("%-36s %10s %10s %12s %12s %12s\n", "", "time", "cpu", "peak RSS", "document",
                "speed");
    Print("tabulx -export -> text", text, records, at("orders.txt"), t);
    Print("tabulx -export -> XLSX", xlsx, records, at("orders.xlsx"), t);
    Print("tabulx -export -> XLSX, 1/4 table", xlsxQuarter, records / 4, at("quarter.xlsx"), 0);
    if (ogr) Print("ogr2ogr -f XLSX", ogrRun, records, at("ogr.xlsx"), t);
    if (xlsx.Ok && text.Ok)
        std::printf("\nXLSX / text: %.2f (processor time %.2f)\n", xlsx.Seconds / text.Seconds,
                    text.Cpu > 0 ? xlsx.Cpu / text.Cpu : 0.0);
    if (xlsx.Ok && ogrRun.Ok)
        std::printf("XLSX / ogr2ogr -f XLSX: %.2f\n", xlsx.Seconds / ogrRun.Seconds);
    if (xlsx.Ok && xlsxQuarter.Ok)
        std::printf("peak RSS of the XLSX export: %.1f MB at %ld records, %.1f MB at %ld\n",
                    xlsxQuarter.PeakMb, records / 4, xlsx.PeakMb, records);

    std::printf("\nthe writer's two modes, one process each:\n");
    struct TMode {
        const char* Name;
        const char* Arg;
    };
    for (TMode mode : {TMode{"inline strings (constant memory)", "inline"},
                       TMode{"shared strings (standard mode)", "shared"}}) {
        for (auto [part, name, n] :
             {std::tuple{eighth, "1/8", records / 8}, std::tuple{quarter, "1/4", records / 4}}) {
            const std::string out = at(std::string("mode-") + mode.Arg + ".xlsx");
            const TRun r = Time({self, "--child", part, out, mode.Arg}, 1);
            const std::string label = std::string(mode.Name) + ", " + name;
            Print(label.c_str(), r, n, out, 0);
            std::filesystem::remove(out);
        }
    }
    return 0;
}

// One edit, one insert and one delete, each synced to disk, on dBase and
// Paradox tables (with and without a primary key) of growing size: an edit in place costs the same
// whatever the table's size.
//   edit_bench [folder]   (default: a temporary folder; the tables stay there)
#include "bench/BenchSupport.h"
#include "bench/BenchTable.h"

#include "data/drivers/dbf/DbfDriver.h"
#include "data/drivers/paradox/ParadoxDriver.h"
#include "data/drivers/paradox/ParadoxWriter.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
// The median of a few runs, in milliseconds.
double Median(int runs, const std::function<void(int)>& run) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = TClock::now();
        run(i);
        ms.push_back(SecondsSince(start) * 1000);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

struct TFigures {
    double Edit, Insert, Delete;
};

TFigures Measure(TTableDriver& driver, const std::vector<TValue>& values) {
    const uint32_t middle = driver.RecordCount() / 2;
    TFigures f;
    f.Edit = Median(5, [&](int i) { driver.Post(middle + static_cast<uint32_t>(i), values); });
    f.Insert = Median(5, [&](int) { driver.Post(-1, values); });
    f.Delete = Median(5, [&](int i) { driver.Delete(middle + 10 + static_cast<uint32_t>(i)); });
    return f;
}

// Name A20, City A40, Qty N; keyed tables have an ID first (even numbers,
// so that inserts find room between them).
void WriteParadox(const std::string& path, long records, bool keyed) {
    const std::vector<TParadoxFieldSpec> fields =
        keyed
            ? std::vector<TParadoxFieldSpec>{{"ID", 'I', 0},
                                             {"Name", 'A', 20},
                                             {"City", 'A', 40},
                                             {"Qty", 'N', 0}}
            : std::vector<TParadoxFieldSpec>{{"Name", 'A', 20}, {"City", 'A', 40}, {"Qty", 'N', 0}};
    TParadoxWriter w(path, fields, keyed ? 1 : 0);
    w.SetPxlibRecords(false);
    TBenchSequence sequence;
    std::vector<TValue> row(fields.size());
    for (long i = 0; i < records; ++i) {
        const TBenchRecord& r = sequence.Next();
        size_t f = 0;
        if (keyed) row[f++].SetInt(2 * i);
        row[f++].SetText(r.Name);
        row[f++].SetText(r.City);
        row[f].SetFloat(static_cast<double>(r.Quantity));
        w.AddRecord(row);
    }
    w.Finish();
}

TFigures MeasureKeyed(TTableDriver& driver, long records) {
    const uint32_t middle = driver.RecordCount() / 2;
    auto values = [](int64_t id) {
        std::vector<TValue> v(4);
        v[0].SetInt(id);
        v[1].SetText("Edited name");
        v[2].SetText("Edited city");
        v[3].SetFloat(42);
        return v;
    };
    TFigures f;
    f.Edit = Median(5, [&](int i) {
        const uint32_t r = middle + static_cast<uint32_t>(i);
        driver.Post(r, values(2 * static_cast<int64_t>(r)));
    });
    // New keys between the old ones, spread over the table.
    f.Insert =
        Median(5, [&](int i) { driver.Post(-1, values(2 * (records / 6) + 2 * i * 7919 + 1)); });
    f.Delete = Median(5, [&](int i) { driver.Delete(middle + 10 + static_cast<uint32_t>(i)); });
    return f;
}

// One fdatasync of a small change, here: the floor under every synced
// write (a journaled edit makes three to four of them).
double SyncMs(const std::string& folder) {
    const std::string path = folder + "/sync-probe";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return -1;
    const double ms = Median(21, [&](int i) {
        const char c = static_cast<char>('a' + i % 26);
        if (::pwrite(fd, &c, 1, 0) != 1 || ::fdatasync(fd) != 0) std::perror("sync probe");
    });
    ::close(fd);
    ::unlink(path.c_str());
    return ms;
}
} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "edit_bench";
    fs::create_directories(folder);
    std::printf("%-8s %9s %10s %10s %10s   (ms, median of 5, each synced)\n", "format", "records",
                "edit", "insert", "delete");
    for (long records : {10000L, 100000L, 1000000L}) {
        const std::string path = (folder / ("dbf" + std::to_string(records) + ".dbf")).string();
        WriteBenchTable(path, records, true, false);
        TDbfDriver driver;
        TFieldDefs fields;
        TIndexDefs indexes;
        driver.Open(path, fields, indexes);
        std::vector<TValue> values(7);
        values.at(0).SetText("Edited name");
        values.at(1).SetText("Edited city");
        values.at(2).SetInt(42);
        values.at(6).SetText("An edited memo");
        const TFigures f = Measure(driver, values);
        std::printf("%-8s %9ld %10.2f %10.2f %10.2f\n", "dBase", records, f.Edit, f.Insert,
                    f.Delete);
    }
    for (bool keyed : {false, true})
        for (long records : {10000L, 100000L, 1000000L}) {
            const std::string path =
                (folder / ((keyed ? "pxk" : "px") + std::to_string(records) + ".db")).string();
            WriteParadox(path, records, keyed);
            TParadoxDriver driver;
            TFieldDefs fields;
            TIndexDefs indexes;
            driver.Open(path, fields, indexes);
            TFigures f;
            if (keyed) {
                f = MeasureKeyed(driver, records);
            } else {
                std::vector<TValue> values(3);
                values.at(0).SetText("Edited name");
                values.at(1).SetText("Edited city");
                values.at(2).SetFloat(42);
                f = Measure(driver, values);
            }
            std::printf("%-8s %9ld %10.2f %10.2f %10.2f\n", keyed ? "Px keyed" : "Paradox", records,
                        f.Edit, f.Insert, f.Delete);
        }
    std::printf("one fdatasync here: %.2f ms\n", SyncMs(folder.string()));
    return 0;
}

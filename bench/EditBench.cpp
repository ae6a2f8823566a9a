// One edit, one insert and one delete, each synced to disk, on dBase and
// Paradox tables of growing size: an edit in place costs the same whatever
// the table's size.
//   edit_bench [folder]   (default: a temporary folder; the tables stay there)
#include "bench/BenchSupport.h"
#include "bench/BenchTable.h"

#include "data/drivers/dbf/DbfDriver.h"
#include "data/drivers/paradox/ParadoxDriver.h"
#include "data/drivers/paradox/ParadoxWriter.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
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

void WriteParadox(const std::string& path, long records) {
    TParadoxWriter w(path, {{"Name", 'A', 20}, {"City", 'A', 40}, {"Qty", 'N', 0}});
    TBenchSequence sequence;
    std::vector<TValue> row(3);
    for (long i = 0; i < records; ++i) {
        const TBenchRecord& r = sequence.Next();
        row[0].SetText(r.Name);
        row[1].SetText(r.City);
        row[2].SetFloat(static_cast<double>(r.Quantity));
        w.AddRecord(row);
    }
    w.Finish();
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
    for (long records : {10000L, 100000L}) {
        const std::string path = (folder / ("px" + std::to_string(records) + ".db")).string();
        WriteParadox(path, records);
        TParadoxDriver driver;
        TFieldDefs fields;
        TIndexDefs indexes;
        driver.Open(path, fields, indexes);
        std::vector<TValue> values(3);
        values.at(0).SetText("Edited name");
        values.at(1).SetText("Edited city");
        values.at(2).SetFloat(42);
        const TFigures f = Measure(driver, values);
        std::printf("%-8s %9ld %10.2f %10.2f %10.2f\n", "Paradox", records, f.Edit, f.Insert,
                    f.Delete);
    }
    return 0;
}

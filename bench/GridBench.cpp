// Measures the data grid over a dBase table of 1,000,000 records (ten
// columns), on Qt's offscreen platform: the first screen after the table is
// open, a full screen of 40 rows and 10 columns, every step of scrolling by
// the wheel, by Page Down and by dragging the scroll bar from the top to the
// bottom, a title click that sorts (through the connection-string engine),
// and the memory before and after. Beside them stands the machine's limit
// measured in the same run: a plain write of as many bytes as the table
// file holds.
//
//   grid_bench [records] [folder]
//
// An argument of digits only is the record count (default 1,000,000); any
// other is the folder for the table (default a new folder in /tmp, removed
// afterwards). Prints figures only; it never fails on speed.
#include "bench/BenchSupport.h"
#include "bench/BenchTable.h"

#include "controls/ControlsInit.h"
#include "data/dataset/DataSource.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/engines/ADOConnection.h"
#include "data/engines/ADOTable.h"
#include "data/engines/Table.h"
#include "export/KXExport2RTF.h"
#include "export/KXExport2Text.h"
#include "export/view/WindowlessTableView.h"
#include "grid/KXDBGrid.h"
#include "grid/MainWindowGrid.h"
#include "grid/QtFontMetrics.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleFactory>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <time.h>
#include <utility>
#include <vector>

namespace {
long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(key), nullptr, 10);
    return -1;
}

// Ten columns: the benchmark record and a few more.
void WriteGridTable(const std::string& path, long records) {
    std::vector<TDbfFieldSpec> fields = {
        BenchField("ID", 'N', 8),        BenchField("NAME", 'C', 20),
        BenchField("CITY", 'C', 16),     BenchField("QTY", 'N', 10),
        BenchField("PRICE", 'N', 12, 2), BenchField("WEIGHT", 'N', 10, 3),
        BenchField("SINCE", 'D'),        BenchField("ACTIVE", 'L'),
        BenchField("CODE", 'C', 8),      BenchField("NOTE", 'M')};
    TDbfWriter w(path, dvDBase3, fields);
    std::vector<TValue> row(fields.size());
    TBenchSequence sequence;
    for (long i = 0; i < records; ++i) {
        const TBenchRecord& r = sequence.Next();
        row[0].SetInt(r.Id);
        row[1].SetText(r.Name);
        row[2].SetText(r.City);
        row[3].SetInt(r.Quantity);
        row[4].SetFloat(r.Price);
        row[5].SetFloat(r.Weight);
        row[6].SetDateTime(r.Since);
        SetBenchActive(row[7], r.Active);
        row[8].SetText("C" + std::to_string(r.Id % 9973));
        if (i % 10 == 0)
            row[9].SetText("Note " + std::to_string(i + 1));
        else
            row[9].SetNull();
        w.AddRecord(row);
    }
    w.Finish();
}

// CPU time of this thread: what a step costs, whatever else the machine runs.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct TSteps {
    int Count = 0;
    double Max = 0, Total = 0, CpuMax = 0, CpuTotal = 0;
    void Add(std::pair<double, double> wallAndCpu) {
        ++Count;
        Max = std::max(Max, wallAndCpu.first);
        Total += wallAndCpu.first;
        CpuMax = std::max(CpuMax, wallAndCpu.second);
        CpuTotal += wallAndCpu.second;
    }
    void Print(const char* what) const {
        std::printf("%-31s %6d steps: max %6.2f ms, mean %5.2f ms; CPU max %6.2f ms, mean %5.2f "
                    "ms\n",
                    what, Count, Max * 1000, Count ? Total / Count * 1000 : 0.0, CpuMax * 1000,
                    Count ? CpuTotal / Count * 1000 : 0.0);
    }
};

// One step and the repaint it asks for, as the event loop would run them:
// the time it took, and the CPU time it took of this thread.
template <class F> std::pair<double, double> Step(TKXDBGrid& grid, F&& f) {
    const auto start = TClock::now();
    const double cpu = ThreadSeconds();
    f();
    grid.viewport()->repaint();
    return {SecondsSince(start), ThreadSeconds() - cpu};
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitControls();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    const bool own = folder.empty();
    if (own) {
        char tmpl[] = "/tmp/tabulon-grid-bench-XXXXXX";
        if (!::mkdtemp(tmpl)) return 1;
        folder = tmpl;
    }
    const std::string path = folder + "/grid.dbf";
    int rc = 0;
    try {
        auto start = TClock::now();
        WriteGridTable(path, records);
        std::printf("table: %ld records, %.1f MB, written in %.2f s\n", records,
                    static_cast<double>(std::filesystem::file_size(path)) / 1e6,
                    SecondsSince(start));
        const double copy = CopyBytes(folder + "/copy.bin", std::filesystem::file_size(path));
        std::filesystem::remove(folder + "/copy.bin");
        std::printf("byte copy of the table's size: %.3f s (%.0f MB/s)\n", copy,
                    static_cast<double>(std::filesystem::file_size(path)) / 1e6 / copy);

        QWidget window;
        auto* grid = new TKXDBGrid(&window);
        ConfigureMainWindowGrid(*grid);
        window.resize(1000, 800);
        grid->setGeometry(0, 0, 1000, 800);
        window.show();
        QApplication::processEvents();
        const long rssBefore = StatusKb("VmRSS:");

        TTable table;
        table.SetDatabaseName(folder);
        table.SetTableName("grid.dbf");
        TDataSource source(&table);
        start = TClock::now();
        table.Open();
        const double openSeconds = SecondsSince(start);
        start = TClock::now();
        const double firstCpu = ThreadSeconds();
        grid->SetDataSource(&source);
        grid->viewport()->repaint();
        const double firstPaint = SecondsSince(start);
        std::printf("open %.3f s; first screen after the open %.2f ms, %.2f ms of CPU (%d rows x "
                    "%d columns)\n",
                    openSeconds, firstPaint * 1000, (ThreadSeconds() - firstCpu) * 1000,
                    grid->VisibleRowCount(), grid->VisibleColCount());

        // A full screen of 40 rows and 10 columns.
        const int rowPitch = grid->DefaultRowHeight() + 1;
        const int height =
            grid->RowHeights(0) + 1 + 40 * rowPitch + (grid->height() - grid->viewport()->height());
        int width = grid->width() - grid->viewport()->width() + TDBGrid::IndicatorWidth + 1;
        for (int i = 0; i < 10; ++i)
            width += grid->Column(i).Width() + 1;
        grid->setGeometry(0, 0, width + 2, height);
        QApplication::processEvents();
        TSteps full;
        for (int i = 0; i < 200; ++i)
            full.Add(Step(*grid, [&] { table.SetRecNo(1 + i * 4999); }));
        const int paints = qEnvironmentVariableIntValue("GRID_BENCH_PAINTS") > 0
                               ? qEnvironmentVariableIntValue("GRID_BENCH_PAINTS")
                               : 200;
        const auto paintStart = TClock::now();
        const double cpuStart = ThreadSeconds();
        for (int i = 0; i < paints; ++i)
            grid->viewport()->repaint();
        const double paintOnly = SecondsSince(paintStart) / paints;
        const double paintCpu = (ThreadSeconds() - cpuStart) / paints;
        std::printf("full screen %d rows x %d columns: paint %.3f ms, %.3f ms of CPU\n",
                    grid->VisibleRowCount(), grid->VisibleColCount(), paintOnly * 1000,
                    paintCpu * 1000);
        full.Print("jump anywhere and paint");
        if (qEnvironmentVariableIntValue("GRID_BENCH_PAINTS") > 0) return 0;

        table.First();
        TSteps wheel;
        const QPoint at = grid->viewport()->rect().center();
        for (int i = 0; i < 5000; ++i)
            wheel.Add(Step(*grid, [&] {
                QWheelEvent e(QPointF(at), grid->viewport()->mapToGlobal(QPointF(at)), QPoint(),
                              QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
                QApplication::sendEvent(grid->viewport(), &e);
            }));
        wheel.Print("wheel down");

        table.First();
        TSteps page;
        while (!table.Eof())
            page.Add(Step(*grid, [&] {
                QKeyEvent e(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
                QApplication::sendEvent(grid, &e);
                if (table.RecNo() == table.RecordCount()) table.Next();
            }));
        page.Print("page down, top to bottom");

        table.First();
        TSteps drag;
        QScrollBar* bar = grid->verticalScrollBar();
        for (int pos = 0; pos <= bar->maximum(); pos += std::max(1, bar->maximum() / 2000))
            drag.Add(Step(*grid, [&] {
                bar->setSliderPosition(pos);
                bar->triggerAction(QAbstractSlider::SliderMove);
            }));
        drag.Print("scroll-bar drag, top to bottom");
        const long rssScrolled = StatusKb("VmRSS:");
        std::printf("memory: %ld MB before the open, %ld MB after all scrolling (the table file is "
                    "mapped: %.0f MB)\n",
                    rssBefore / 1024, rssScrolled / 1024,
                    static_cast<double>(std::filesystem::file_size(path)) / 1e6);
        // The same export through the grid and through the window-less view
        // (which the command line uses): the grid adds nothing per cell.
        for (int format = 0; format < 2; ++format) {
            double seconds[2] = {0, 0};
            uint64_t bytes = 0;
            for (int via = 0; via < 2; ++via) {
                TWindowlessTableView plain;
                plain.SetMetrics(&TQtFontMetrics::Instance());
                plain.Bind(&source);
                TTableView& view = via == 0 ? static_cast<TTableView&>(plain) : *grid;
                std::unique_ptr<TKXExport> writer;
                if (format == 0)
                    writer = std::make_unique<TKXExport2Text>();
                else
                    writer = std::make_unique<TKXExport2RTF>();
                writer->SetGrid(&view);
                writer->BuildMappings();
                const std::string out = folder + "/export.out";
                start = TClock::now();
                writer->ExportToFile(out);
                seconds[via] = SecondsSince(start);
                bytes = std::filesystem::file_size(out);
                std::filesystem::remove(out);
                plain.SetDataSource(nullptr);
            }
            const double copyOut = CopyBytes(folder + "/copy.bin", bytes);
            std::filesystem::remove(folder + "/copy.bin");
            std::printf("export %s of %.0f MB: %.2f s without a window, %.2f s through the grid "
                        "(byte copy %.2f s)\n",
                        format == 0 ? "text" : "RTF ", static_cast<double>(bytes) / 1e6, seconds[0],
                        seconds[1], copyOut);
        }

        grid->SetDataSource(nullptr);
        table.Close();

        // A title click that sorts by a text field through Sort.
        TADOConnection connection;
        connection.SetConnectionString("Driver={Microsoft dBase Driver (*.dbf)};DriverID=277;"
                                       "DefaultDir=" +
                                       folder + ";");
        connection.SetLoginPrompt(false);
        connection.Open();
        TADOTable ado;
        ado.SetConnectionString(connection.ConnectionString());
        ado.SetTableName("grid.dbf");
        ado.Open();
        TDataSource adoSource(&ado);
        grid->SetDataSource(&adoSource);
        grid->viewport()->repaint();
        for (const char* field : {"NAME", "QTY"}) {
            const int col = grid->DataToRawColumn(grid->FindColumn(field));
            const QPoint title = grid->CellRect(col, 0).center();
            const auto click = Step(*grid, [&] {
                QMouseEvent press(QEvent::MouseButtonPress, QPointF(title),
                                  grid->viewport()->mapToGlobal(QPointF(title)), Qt::LeftButton,
                                  Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(grid->viewport(), &press);
                QMouseEvent release(QEvent::MouseButtonRelease, QPointF(title),
                                    grid->viewport()->mapToGlobal(QPointF(title)), Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(grid->viewport(), &release);
            });
            std::printf("title click on %-5s sorts and repaints: %.3f s, %.3f s of CPU (sort text "
                        "\"%s\")\n",
                        field, click.first, click.second, grid->SortString().c_str());
        }
        const long rssSorted = StatusKb("VmRSS:");
        std::printf("memory after the sorts: %ld MB (a sort keeps 4 bytes per record: %.0f MB)\n",
                    rssSorted / 1024, records * 4 / 1e6);
        grid->SetDataSource(nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "grid_bench: %s\n", e.what());
        rc = 1;
    }
    if (own) std::filesystem::remove_all(folder);
    return rc;
}

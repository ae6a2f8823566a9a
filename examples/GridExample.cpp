// Opens a table in the data grid with the record navigator above it, to
// scroll, sort by a title click (Shift adds a field) and edit.
//
//   grid_example [table-file] [options]
//
// Without a table it opens a generated dBase table of 1,000,000 records
// (made once in the temporary folder). Options, mostly for the pictures
// that scripts/grid_screenshots.sh takes:
//   --sample DIR      write a small table with non-ASCII text, a boolean,
//                     a memo and a picture into DIR and open it
//   --ado             open through the connection-string engine
//   --look L          classic (Qt's Windows style) or themed (Fusion)
//   --frozen N        freeze the first N columns
//   --sort F[,F...]   click the titles of these fields (Shift for the rest)
//   --lines N         rows of N text lines
//   --col N --record N  the current column and record
//   --select N        mark N rows from the current one
//   --size WxH        the window's size
//   --empty           no table: the logo
//   --ready FILE      write FILE once the window is painted; with --hint
//                     COL,ROW it holds "hover X Y", the screen point of that
//                     cell, for the script to rest the mouse on

#include "bench/BenchTable.h"
#include "controls/ControlsInit.h"
#include "controls/ErrorDisplay.h"
#include "controls/Utf8Text.h"
#include "data/dataset/DataSet.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/locale/DateTimeFormat.h"
#include "grid/KXDBGrid.h"
#include "grid/MainWindowGrid.h"
#include "grid/TkxDBNavigator.h"
#include "shell/ShellState.h"
#include "shell/TableOpener.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {
class TExampleReporter : public TOpenReporter {
public:
    void ShowOpenError(const std::string& message) override { ShowError(message); }
};

// A small picture, as a graphic field holds it: a BMP file's bytes.
std::string PictureBytes(QColor sky, QColor hill, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(img.rect(), sky);
    p.setBrush(QColor(255, 215, 0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(w * 3 / 4, h / 4), h / 6, h / 6);
    p.setBrush(hill);
    p.drawEllipse(QRect(-w / 4, h / 2, w * 3 / 2, h));
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "BMP");
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::string WriteSample(const std::string& dir) {
    std::filesystem::create_directories(dir);
    const std::string path = (std::filesystem::path(dir) / "sample.dbf").string();
    std::vector<TDbfFieldSpec> fields = {
        {"ID", 'I', 0, 0, false, false, false},    {"NAME", 'C', 40, 0, false, false, false},
        {"CITY", 'C', 24, 0, false, false, false}, {"BALANCE", 'Y', 0, 0, false, false, false},
        {"SINCE", 'D', 0, 0, false, false, false}, {"ACTIVE", 'L', 0, 0, true, false, false},
        {"NOTES", 'M', 0, 0, true, false, false},  {"PHOTO", 'P', 0, 0, true, false, false},
    };
    struct TRow {
        const char* Name;
        const char* City;
        double Balance;
        int Y, M, D;
        int Active; // -1 null
        const char* Notes;
        int Picture; // -1 none
    };
    const TRow rows[] = {
        {"Zoë Ærø", "København", 1250.5, 2019, 3, 14, 1, "Prefers e-mail; call after 10 o'clock.",
         0},
        {"Иван Петров", "Москва", -40.25, 2021, 11, 2, 0, nullptr, 1},
        {"李小龙", "香港", 99999.99, 2024, 1, 1, 1, "会员 since 2024 🎉", 2},
        {"François Lefèvre", "Paris", 0, 1998, 7, 30, -1, "Closed account, see the letter of 3 May",
         -1},
        {"Ðặng Thị Hương", "Hà Nội", 310.0, 2015, 5, 9, 1, nullptr, 0},
        {"Σοφία Παπαδοπούλου", "Αθήνα", 72.5, 2012, 12, 24, 0, "Ελληνικά", 1},
        {"Ahmed 😀 Khan", "Lahore", 5.75, 2020, 2, 29, 1, nullptr, -1},
        {"Åsa Öberg", "Malmö", 1.0, 2001, 1, 1, 0, "Two lines\r\nof notes", 2},
    };
    const QColor skies[] = {QColor(120, 180, 240), QColor(250, 160, 90), QColor(90, 90, 160)};
    const QColor hills[] = {QColor(40, 150, 60), QColor(120, 90, 40), QColor(30, 110, 110)};
    TDbfWriter w(path, dvVisualFoxPro, fields, 65001);
    int id = 1;
    for (const TRow& r : rows) {
        std::vector<TValue> v = {
            TValue::OfInt(id++),
            TValue::OfText(r.Name),
            TValue::OfText(r.City),
            TValue::OfFloat(r.Balance),
            TValue::OfDateTime(EncodeDate(r.Y, r.M, r.D)),
            r.Active >= 0 ? TValue::OfBool(r.Active != 0) : TValue::Null(),
            r.Notes ? TValue::OfText(r.Notes) : TValue::Null(),
            r.Picture >= 0
                ? TValue::OfBytes(PictureBytes(skies[r.Picture], hills[r.Picture], 48, 32))
                : TValue::Null(),
        };
        w.AddRecord(v);
    }
    w.Finish();
    return path;
}

std::string MillionTable() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "tabulon-grid-1m.dbf").string();
    if (!std::filesystem::exists(path)) {
        std::fprintf(stderr, "Writing 1,000,000 records to %s...\n", path.c_str());
        WriteBenchTable(path, 1000000, true, false);
    }
    return path;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InitControls();
    QString look = QStringLiteral("classic");
    std::string table, sampleDir, sort, ready;
    int frozen = 0, lines = 1, col = -1, record = -1, select = 0, hintCol = -1, hintRow = -1;
    int width = 900, height = 560;
    bool ado = false, empty = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        auto next = [&] { return i + 1 < args.size() ? args[++i] : QString(); };
        if (a == QLatin1String("--sample"))
            sampleDir = ToUtf8(next());
        else if (a == QLatin1String("--ado"))
            ado = true;
        else if (a == QLatin1String("--look"))
            look = next();
        else if (a == QLatin1String("--frozen"))
            frozen = next().toInt();
        else if (a == QLatin1String("--sort"))
            sort = ToUtf8(next());
        else if (a == QLatin1String("--lines"))
            lines = std::max(1, next().toInt());
        else if (a == QLatin1String("--col"))
            col = next().toInt();
        else if (a == QLatin1String("--record"))
            record = next().toInt();
        else if (a == QLatin1String("--select"))
            select = next().toInt();
        else if (a == QLatin1String("--empty"))
            empty = true;
        else if (a == QLatin1String("--ready"))
            ready = ToUtf8(next());
        else if (a == QLatin1String("--hint")) {
            const QStringList p = next().split(QLatin1Char(','));
            if (p.size() == 2) hintCol = p[0].toInt(), hintRow = p[1].toInt();
        } else if (a == QLatin1String("--size")) {
            const QStringList p = next().split(QLatin1Char('x'));
            if (p.size() == 2) width = p[0].toInt(), height = p[1].toInt();
        } else
            table = ToUtf8(a);
    }
    QApplication::setStyle(QStyleFactory::create(
        look == QLatin1String("themed") ? QStringLiteral("Fusion") : QStringLiteral("Windows")));

    TShellState state;
    state.Settings.AlwaysTryADO = ado;
    QWidget window;
    window.setWindowTitle(QStringLiteral("Tabulon grid"));
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    auto* navigator = new TkxDBNavigator(&window);
    navigator->SetFlat(true);
    navigator->SetAlign(alCustom);
    navigator->setFixedSize(241, 25);
    auto* grid = new TKXDBGrid(&window);
    ConfigureMainWindowGrid(*grid);
    grid->SetShowLogo(true);
    auto* status = new QLabel(&window);
    layout->addWidget(navigator);
    layout->addWidget(grid, 1);
    layout->addWidget(status);
    navigator->SetDataSource(&state.DataSource1);
    grid->SetDataSource(&state.DataSource1);
    state.SetGrid(grid);
    auto showStatus = [&] {
        TDataSet* ds = state.CurrentDataSet.get();
        if (!ds || !ds->Active()) {
            status->setText(QStringLiteral("No table"));
            return;
        }
        status->setText(QStringLiteral("%1   record %2 of %3   %4")
                            .arg(ToQString(state.CurrentFileName))
                            .arg(ds->RecNo())
                            .arg(ds->RecordCount())
                            .arg(ToQString(state.EngineStatus)));
    };
    state.DataSource1.OnDataChange = [&](TDataSource&, TField*) { showStatus(); };
    window.resize(width, height);

    if (!empty) {
        TExampleReporter reporter;
        RunGuarded([&] {
            if (!sampleDir.empty()) table = WriteSample(sampleDir);
            if (table.empty()) table = MillionTable();
            OpenDatabase(state, table, reporter);
        });
    }
    window.show();
    grid->setFocus();
    QApplication::processEvents();
    showStatus();
    TDataSet* ds = state.CurrentDataSet.get();
    if (ds && ds->Active()) {
        RunGuarded([&] {
            if (lines > 1)
                for (int i = 1; i < lines; ++i)
                    grid->ChangeRowHeight(true);
            grid->SetFixedColumns(frozen);
            if (!sort.empty()) {
                bool add = false;
                for (const QString& f : ToQString(sort).split(QLatin1Char(','))) {
                    grid->SortByField(ToUtf8(f), add);
                    add = true;
                }
            }
            if (record > 0) ds->SetRecNo(record);
            if (col >= 0) grid->SetSelectedIndex(col);
            if (select > 0) grid->SetOptions(grid->Options() | dgMultiSelect);
            for (int i = 0; i < select; ++i) {
                grid->SelectedRows().SetCurrentRowSelected(true);
                if (i + 1 < select) ds->Next();
            }
        });
    }
    if (!ready.empty()) {
        QTimer::singleShot(500, [&] {
            QFile f(ToQString(ready));
            if (!f.open(QIODevice::WriteOnly)) return;
            QByteArray line = "ready\n";
            if (hintCol >= 0) {
                const QRect r = grid->CellRect(hintCol, hintRow);
                const QPoint p = grid->viewport()->mapToGlobal(r.center());
                line =
                    "hover " + QByteArray::number(p.x()) + " " + QByteArray::number(p.y()) + "\n";
            }
            f.write(line);
        });
    }
    const int rc = app.exec();
    state.SetGrid(nullptr);
    return rc;
}

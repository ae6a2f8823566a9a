// The grid is the export's table view: a freshly opened table exported
// through the main window's grid gives the same bytes as through the
// window-less view that measures with the same fonts, in every format and
// under any palette, and the grid's current cell and screen stay as they
// were.

#include "tests/grid/GridTestSupport.h"

#include "data/engines/Table.h"
#include "export/KXExport2HTML.h"
#include "export/KXExport2RTF.h"
#include "export/KXExport2Text.h"
#include "export/KXExport2XLS.h"
#include "export/KXExport2XML.h"
#include "export/view/WindowlessTableView.h"
#include "grid/MainWindowGrid.h"
#include "grid/QtFontMetrics.h"

#include <QBuffer>
#include <QDir>
#include <QStyle>
#include <QStyleFactory>

#include <filesystem>
#include <functional>

using namespace gridtest;
using namespace widgettest;

namespace {
std::string Bmp(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "BMP");
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// A Visual FoxPro table in UTF-8 with every kind the writers tell apart;
// "ACTIVE" and "SINCE" have captions wider than their values.
std::string WriteTable(const QTemporaryDir& dir) {
    const std::string path = PathIn(dir, "mixed.dbf");
    std::vector<TDbfFieldSpec> fields = {
        {"ID", 'I', 0, 0, false, false, false},     {"NAME", 'C', 40, 0, false, false, false},
        {"PRICE", 'N', 10, 2, false, false, false}, {"SINCE", 'D', 0, 0, false, false, false},
        {"ACTIVE", 'L', 0, 0, true, false, false},  {"NOTES", 'M', 0, 0, true, false, false},
        {"PHOTO", 'P', 0, 0, true, false, false},
    };
    TDbfWriter w(path, dvVisualFoxPro, fields, 65001);
    const char* const names[] = {"Zoë Ærø & <Co>", "Иван \"Петров\"", "李小龙", "😀 émoji"};
    for (int i = 0; i < 40; ++i) {
        w.AddRecord(
            {TValue::OfInt(i + 1), TValue::OfText(names[i % 4]), TValue::OfFloat(i * 12.5 - 100),
             TValue::OfDateTime(40000 + i * 37),
             i % 3 == 2 ? TValue::Null() : TValue::OfBool(i % 2 == 0),
             i % 5 == 0 ? TValue::OfText("line one\r\nline two") : TValue::Null(),
             i % 7 == 0 ? TValue::OfBytes(Bmp(8, 6, QColor(200, 40, 40))) : TValue::Null()});
    }
    w.Finish();
    return path;
}

std::unique_ptr<TTable> Open(const QTemporaryDir& dir) {
    auto t = std::make_unique<TTable>();
    t->SetDatabaseName(dir.path().toStdString());
    t->SetTableName("mixed.dbf");
    t->Open();
    return t;
}

std::string Run(TKXExport& writer, TTableView& view) {
    writer.SetGrid(&view);
    writer.Mappings().Clear();
    writer.BuildMappings();
    TMemoryStream out;
    writer.ExportToStream(out);
    return out.Data();
}

// Every file of a folder, by name, with its bytes.
std::map<std::string, std::string> Files(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            files[std::filesystem::relative(e.path(), folder).string()] =
                FileBytes(e.path().string());
    return files;
}
} // namespace

class GridExportTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InitControls();
        UseStyle("Windows");
    }

    void sameBytesThroughTheGridAndWithoutAWindow_data() {
        QTest::addColumn<bool>("classicPalette");
        QTest::newRow("classic palette") << true;
        QTest::newRow("Fusion palette") << false;
    }

    void sameBytesThroughTheGridAndWithoutAWindow() {
        QFETCH(bool, classicPalette);
        const QPalette saved = QApplication::palette();
        if (!classicPalette) {
            // Colours other than the classic scheme's: both views resolve the
            // system colours by the one resolver when they write.
            const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
            QPalette p = fusion->standardPalette();
            p.setColor(QPalette::Base, QColor(250, 248, 240));
            p.setColor(QPalette::Button, QColor(210, 220, 230));
            QApplication::setPalette(p);
        }
        QTemporaryDir dir;
        WriteTable(dir);
        auto table = Open(dir);
        TDataSource source(table.get());
        TWindowlessTableView plain;
        plain.SetMetrics(&TQtFontMetrics::Instance());
        plain.Bind(&source);
        TGridWindow w(table.get(), QSize(900, 400));
        TKXDBGrid& g = *w.Grid;
        ConfigureMainWindowGrid(g);
        QCOMPARE(g.ColumnCount(), plain.ColumnCount());
        for (int i = 0; i < g.ColumnCount(); ++i)
            QCOMPARE(g.Column(i).Width(), plain.Column(i).Width());

        std::vector<std::pair<const char*, std::function<std::unique_ptr<TKXExport>()>>> writers = {
            {"text",
             [] {
                 auto t = std::make_unique<TKXExport2Text>();
                 t->SetSeparator(';');
                 return t;
             }},
            {"html", [] { return std::make_unique<TKXExport2HTML>(); }},
            {"xml packet", [] { return std::make_unique<TKXExport2XML>(); }},
            {"xml records",
             [] {
                 auto x = std::make_unique<TKXExport2XML>();
                 x->SetXMLScheme(0);
                 return x;
             }},
            {"rtf", [] { return std::make_unique<TKXExport2RTF>(); }},
            {"xls", [] { return std::make_unique<TKXExport2XLS>(); }},
        };
        for (auto& [name, make] : writers) {
            for (int destCols : {1, 3}) {
                auto a = make(), b = make();
                a->SetDestCols(destCols);
                b->SetDestCols(destCols);
                a->SetIncludeMemo(destCols == 3);
                b->SetIncludeMemo(destCols == 3);
                const std::string viaPlain = Run(*a, plain);
                const std::string viaGrid = Run(*b, g);
                QVERIFY2(!viaPlain.empty(), name);
                QVERIFY2(viaPlain == viaGrid, name);
            }
        }
        // The HTML picture folder too.
        const std::string one = PathIn(dir, "a"), two = PathIn(dir, "b");
        std::filesystem::create_directories(one);
        std::filesystem::create_directories(two);
        for (auto [view, folder] : {std::pair<TTableView*, std::string>{&plain, one},
                                    std::pair<TTableView*, std::string>{&g, two}}) {
            TKXExport2HTML html;
            html.SetIncludeImages(true);
            html.SetGrid(view);
            html.BuildMappings();
            html.ExportToFile(folder + "/out.htm");
        }
        const auto filesA = Files(one), filesB = Files(two);
        QVERIFY(filesA.size() > 1);
        QVERIFY(filesA == filesB);
        // The export put the grid back: first record, first column.
        QCOMPARE(table->RecNo(), 1);
        QCOMPARE(g.DataLink().Top(), 1);
        QApplication::setPalette(saved);
    }

    void theMainWindowsGridIsTheWindowlessView() {
        TKXDBGrid g;
        ConfigureMainWindowGrid(g);
        TWindowlessTableView plain;
        QCOMPARE(g.Flat(), plain.Flat());
        QCOMPARE(g.DrawBool(), plain.DrawBool());
        QCOMPARE(g.DrawGraphic(), plain.DrawGraphic());
        QCOMPARE(g.Options(), plain.Options());
        QCOMPARE(g.Ctl3D(), plain.Ctl3D());
        QVERIFY(g.Font() == plain.Font());
        QVERIFY(g.TitleFont() == plain.TitleFont());
        QCOMPARE(g.Color(), plain.Color());
        QCOMPARE(g.FixedColor(), plain.FixedColor());
        QCOMPARE(g.RowHeightLines(), plain.RowHeightLines());
        QVERIFY(g.ColumnHints() && g.DataHints() && g.AutoSort() && g.TitleButtons());
        QCOMPARE(g.SortMarkerStyle(), smsRed);
        QCOMPARE(g.IntelliPan(), ipVert);
    }
};

QTEST_MAIN(GridExportTest)
#include "GridExportTest.moc"

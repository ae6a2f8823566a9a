// Shows every button face in every state and shape, and the controls built
// on them: tool buttons, drop-down buttons, push buttons and the record
// navigator. scripts/gallery.sh renders it under Xvfb into docs/images/.
//
//   controls_gallery [--look classic|themed] [--dialog] [--export-dialog] [--ready FILE]
//
// --look sets the application's style: Qt's "Windows" style (the classic,
// unthemed look) or "Fusion" (themed faces).
// --ready writes FILE once the window is painted, with the screen position
// of a tool button to hover ("hover X Y"), for the script's screenshot.

#include "controls/ButtonFace.h"
#include "controls/ControlsInit.h"
#include "controls/FontSubstitutions.h"
#include "controls/Glyphs.h"
#include "controls/TKXButton.h"
#include "controls/TKXOpenDialog.h"
#include "controls/TkxPopupButton.h"
#include "controls/TkxSoftButton.h"
#include "controls/Utf8Text.h"
#include "controls/VisualStyle.h"
#include "data/dataset/DataSource.h"
#include "data/dataset/MemTable.h"
#include "grid/TkxDBNavigator.h"
#include "shell/CopyFrm.h"
#include "shell/OpenFileFilter.h"
#include "shell/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

namespace {
// A sheet of faces drawn straight by DrawButtonFace: shapes and looks down,
// states across.
class TFaceSheet : public QWidget {
public:
    TFaceSheet(const QWidget* themeWindow, bool shadowed, QWidget* parent)
        : QWidget(parent), fThemeWindow(themeWindow), fShadowed(shadowed) {
        setMinimumSize(Left + Columns * CellW + 4, Top + Rows * CellH + 4);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Window));
        p.setPen(palette().color(QPalette::WindowText));
        static const char* const columns[Columns] = {"normal",  "hot",       "down",  "disabled",
                                                     "focused", "hot 1",     "hot 2", "hot 3",
                                                     "arrow",   "arrow down"};
        for (int c = 0; c < Columns; ++c)
            p.drawText(QRect(Left + c * CellW, 0, CellW, Top), Qt::AlignCenter,
                       QLatin1String(columns[c]));
        const QPixmap glyph = ToolGlyph(tgOpen, devicePixelRatioF());
        const TkxBtnForm forms[3] = {efRect, efRoundRect, efEllipse};
        static const char* const formNames[3] = {"rect", "round", "ellipse"};
        for (int row = 0; row < Rows; ++row) {
            const TkxBtnForm form = forms[row / 2];
            const bool flat = row % 2 == 1;
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(
                QRect(0, Top + row * CellH, Left - 4, CellH), Qt::AlignVCenter | Qt::AlignRight,
                QLatin1String(formNames[row / 2]) + (flat ? QStringLiteral(" flat") : QString()));
            for (int c = 0; c < Columns; ++c) {
                TkxButtonFace f;
                f.ThemeWindow = fThemeWindow;
                f.Glyph = glyph;
                f.Caption = QStringLiteral("&Open");
                f.EdgeForm = form;
                f.Flat = flat;
                f.Shadowed = fShadowed;
                // Under a theme the hot look needs DrawFocus; in the classic
                // look it would outline the flat faces at rest.
                f.DrawFocus = fThemeWindow && IsThemeActive(fThemeWindow) ? true : c == 4;
                f.FontColor = ToTColorOf(palette().color(QPalette::ButtonText));
                static const TkxFaceState states[Columns] = {
                    fcsNormal, fcsHot, fcsDown, fcsDisabled, fcsNormal,
                    fcsHot,    fcsHot, fcsHot,  fcsNormal,   fcsDown};
                f.State = states[c];
                f.Focused = c == 4;
                f.HiLightMode = c >= 5 && c <= 7 ? c - 4 : 0;
                f.DropDown = c >= 8;
                f.DropDownPressed = c == 9;
                // The face paints at the painter's origin: its bands count
                // from there.
                p.save();
                p.translate(Left + c * CellW + 3, Top + row * CellH + 3);
                f.Rect = QRect(0, 0, CellW - 6, CellH - 6);
                DrawButtonFace(p, f);
                p.restore();
            }
        }
    }

private:
    static TColor ToTColorOf(const QColor& c) { return RGBColor(c.red(), c.green(), c.blue()); }
    static constexpr int Columns = 10, Rows = 6, CellW = 84, CellH = 34, Left = 76, Top = 18;
    const QWidget* fThemeWindow;
    bool fShadowed;
};

void FillTable(TMemTable& t) {
    t.FieldDefs().Add("ID", ftInteger, 0, true);
    t.FieldDefs().Add("Name", ftString, 30);
    t.Open();
    const char* names[] = {"Grüße GmbH", "Ωμέγα Ltd", "Жизнь", "中文表格", "Kessmark"};
    int id = 1;
    for (const char* n : names)
        t.AppendRecord({TValue::OfInt(id++), TValue::OfText(n)});
    t.First();
    t.Next();
}

QGroupBox* Group(const QString& title, QWidget* parent) {
    auto* g = new QGroupBox(title, parent);
    return g;
}

TkxSoftButton* ToolButton(QWidget* parent, TkxToolGlyph glyph, const QString& hint) {
    auto* b = new TkxSoftButton(parent);
    b->SetFlat(true);
    b->SetGlyphMaker([glyph](qreal dpr) { return ToolGlyph(glyph, dpr); });
    b->SetHint(hint);
    b->setFixedSize(25, 25);
    return b;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InitControls();
    QString style = QStringLiteral("Windows");
    QString readyFile;
    bool dialog = false;
    bool exportDialog = false;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--look") && i + 1 < args.size())
            style = args[++i] == QStringLiteral("themed") ? QStringLiteral("Fusion")
                                                          : QStringLiteral("Windows");
        else if (args[i] == QStringLiteral("--ready") && i + 1 < args.size())
            readyFile = args[++i];
        else if (args[i] == QStringLiteral("--dialog"))
            dialog = true;
        else if (args[i] == QStringLiteral("--export-dialog"))
            exportDialog = true;
    }
    QApplication::setStyle(QStyleFactory::create(style));

    std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    QWidget classicTheme, fusionTheme;
    classicTheme.setStyle(windows.get());
    fusionTheme.setStyle(fusion.get());

    TMemTable table;
    FillTable(table);
    TDataSource source(&table);

    if (exportDialog) {
        // Seven records at two a line: the second picture and 4 lines.
        TSettings settings;
        settings.RecsPerLine = 2;
        TCopyFrm options(nullptr, settings, 7);
        options.show();
        if (!readyFile.isEmpty())
            QTimer::singleShot(300, [&] {
                QFile f(readyFile);
                if (f.open(QIODevice::WriteOnly)) f.write("ready\n");
            });
        return app.exec();
    }

    if (dialog) {
        TKXOpenDialog open;
        open.SetFilter(QLatin1String(TableFileFilter));
        open.SetFilterIndex(1);
        open.SetInitialDir(QDir::current().filePath(QStringLiteral("samples")));
        open.OnGetCheckParams = [](TKXOpenDialog&, QCheckBox& box) {
            box.setText(QStringLiteral("Connect via ADO"));
            box.setChecked(true);
        };
        QFileDialog* d = open.Prepare();
        d->setWindowTitle(QStringLiteral("Tabulon controls - open"));
        d->resize(640, 420);
        d->show();
        if (!readyFile.isEmpty())
            QTimer::singleShot(300, [&] {
                QFile f(readyFile);
                if (f.open(QIODevice::WriteOnly)) f.write("ready\n");
            });
        return app.exec();
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Tabulon controls"));
    auto* top = new QVBoxLayout(&window);

    auto* faces = Group(QStringLiteral("Faces, classic (shaded)"), &window);
    (new QVBoxLayout(faces))->addWidget(new TFaceSheet(&classicTheme, true, faces));
    top->addWidget(faces);
    auto* themed = Group(QStringLiteral("Faces, themed (Fusion draws the shaded faces)"), &window);
    (new QVBoxLayout(themed))->addWidget(new TFaceSheet(&fusionTheme, true, themed));
    top->addWidget(themed);

    auto* row = new QHBoxLayout;
    top->addLayout(row);

    // The main window's first tool bar.
    auto* tools = Group(QStringLiteral("Tool buttons"), &window);
    auto* toolRow = new QHBoxLayout(tools);
    toolRow->addWidget(ToolButton(tools, tgOpen, QStringLiteral("Open database table")));
    auto* copy =
        ToolButton(tools, tgExport,
                   QStringLiteral("Export or copy|Export table to file or copy to clipboard"));
    copy->setEnabled(false);
    toolRow->addWidget(copy);
    toolRow->addWidget(ToolButton(tools, tgFix, QStringLiteral("Fix / Unfix column")));
    auto* options = new TkxPopupButton(tools);
    options->SetFlat(true);
    options->SetGlyphMaker([](qreal dpr) { return ToolGlyph(tgOptions, dpr); });
    options->setFixedSize(37, 25);
    auto* menu = new QMenu(options);
    menu->addAction(QStringLiteral("Include Column &Names"))->setCheckable(true);
    menu->addAction(QStringLiteral("Include &Memo"))->setCheckable(true);
    options->SetDropDownComponent(menu);
    toolRow->addWidget(options);
    auto* help = ToolButton(tools, tgHelp, QStringLiteral("Help"));
    toolRow->addWidget(help);
    toolRow->addWidget(ToolButton(tools, tgAbout, QStringLiteral("About...|About Tabulon")));
    toolRow->addWidget(ToolButton(tools, tgFind, QStringLiteral("Find in the current column")));
    // A group of three of which one is down, and a split drop-down button.
    TkxSoftButton* grouped[3];
    for (int i = 0; i < 3; ++i) {
        grouped[i] = new TkxSoftButton(tools);
        grouped[i]->SetCaption(QString::number(i + 1));
        grouped[i]->SetGroupIndex(1);
        grouped[i]->SetEdgeForm(i == 0 ? efRect : i == 1 ? efRoundRect : efEllipse);
        grouped[i]->setFixedSize(25, 25);
        toolRow->addWidget(grouped[i]);
    }
    grouped[1]->SetDown(true);
    auto* split = new TkxPopupButton(tools);
    split->SetSeparateDropDown(true);
    split->SetCaption(QStringLiteral("Split"));
    split->setFixedSize(60, 25);
    split->SetDropDownComponent(menu);
    toolRow->addWidget(split);
    toolRow->addStretch();
    row->addWidget(tools);

    // The dialogs' push buttons.
    auto* pushes = Group(QStringLiteral("Push buttons"), &window);
    auto* pushRow = new QHBoxLayout(pushes);
    auto* ok = new TKXButton(QStringLiteral("OK"), pushes);
    ok->setDefault(true);
    ok->setFixedSize(75, 25);
    auto* cancel = new TKXButton(QStringLiteral("Cancel"), pushes);
    cancel->SetCancel(true);
    cancel->setFixedSize(75, 25);
    auto* off = new TKXButton(QStringLiteral("Disabled"), pushes);
    off->setEnabled(false);
    off->setFixedSize(75, 25);
    auto* round = new TKXButton(QStringLiteral("&Ellipse"), pushes);
    round->SetEdgeForm(efEllipse);
    round->setFixedSize(90, 32);
    auto* glyphed = new TKXButton(QStringLiteral("Open"), pushes);
    glyphed->SetGlyph(ToolGlyph(tgOpen, window.devicePixelRatioF()));
    glyphed->SetDoFocusText(true);
    glyphed->setFixedSize(90, 28);
    for (QWidget* w :
         {static_cast<QWidget*>(ok), static_cast<QWidget*>(cancel), static_cast<QWidget*>(off),
          static_cast<QWidget*>(round), static_cast<QWidget*>(glyphed)})
        pushRow->addWidget(w);
    row->addWidget(pushes);

    // The record navigators: as the main window has it, and as created.
    auto* navs = Group(QStringLiteral("Record navigator (record 2 of 5)"), &window);
    auto* navRow = new QHBoxLayout(navs);
    auto* mainNav = new TkxDBNavigator(navs);
    mainNav->SetFlat(true);
    mainNav->SetShadowed(false);
    mainNav->SetBounds(0, 0, 270, 27);
    mainNav->setFixedSize(mainNav->size());
    mainNav->SetDataSource(&source);
    auto* plainNav = new TkxDBNavigator(navs);
    plainNav->setFixedSize(plainNav->size());
    plainNav->SetDataSource(&source);
    plainNav->SetEdgeForm(efRoundRect);
    navRow->addWidget(mainNav);
    navRow->addWidget(plainNav);
    auto* sample = new QLabel(ToQString("Grüße Ωμέγα Жизнь 中文表格"), navs);
    navRow->addWidget(sample);
    navRow->addStretch();
    top->addWidget(navs);

    window.show();
    grouped[0]->setFocus();
    if (!readyFile.isEmpty()) {
        // Once the first paint is through: where to hover for a hot button.
        QTimer::singleShot(300, [&] {
            // In the window system's pixels, which a scale factor multiplies.
            const QPoint at = help->mapToGlobal(help->rect().center()) * help->devicePixelRatioF();
            QFile f(readyFile);
            if (f.open(QIODevice::WriteOnly))
                f.write(QStringLiteral("hover %1 %2\n").arg(at.x()).arg(at.y()).toUtf8());
        });
    }
    return app.exec();
}

#include "shell/window/TForm1.h"

#include "controls/ErrorDisplay.h"
#include "controls/Glyphs.h"
#include "controls/Hints.h"
#include "controls/TKXOpenDialog.h"
#include "controls/TkxPopupButton.h"
#include "controls/TkxSoftButton.h"
#include "controls/Utf8Text.h"
#include "data/dataset/DataSet.h"
#include "data/dataset/Field.h"
#include "data/engines/Table.h"
#include "data/platform/ODBCUtils.h"
#include "grid/KXDBGrid.h"
#include "grid/MainWindowGrid.h"
#include "grid/TkxDBNavigator.h"
#include "shell/FilterProposal.h"
#include "shell/MailClient.h"
#include "shell/OpenFileFilter.h"
#include "shell/ProcessCommandLine.h"
#include "shell/ProgramFiles.h"
#include "shell/WindowExport.h"
#include "shell/window/TAboutBox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const int PanelWidths[5] = {200, 100, 72, 72, 50};
const char* const DropHint = "|You can drag database files here";

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

TkxSoftButton* ToolButton(QWidget* parent, TkxToolGlyph glyph, const char* hint) {
    auto* b = new TkxSoftButton(parent);
    b->SetFlat(true);
    b->SetGlyphMaker([glyph](qreal dpr) { return ToolGlyph(glyph, dpr); });
    b->SetHint(Q(hint));
    b->setFixedSize(25, 25);
    return b;
}

QFrame* Bar(QWidget* parent) {
    auto* bar = new QFrame(parent);
    bar->setFixedHeight(33);
    bar->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(2);
    return bar;
}

// A message box titled "Tabulon" owned by the window, for any handler's error.
void ShowBox(QWidget* owner, const QString& title, const std::string& message) {
    QMessageBox box(QMessageBox::Critical, title, ToQString(message), QMessageBox::Ok, owner);
    box.exec();
}

class TBoxSink : public TMessageSink {
public:
    explicit TBoxSink(QWidget* owner) : fOwner(owner) {}
    void ShowInfo(const std::string& text) override {
        ShowWarnings();
        QMessageBox::information(fOwner, Q("Tabulon"), ToQString(text));
    }
    void ShowError(const std::string& text) override {
        ShowWarnings();
        ShowBox(fOwner, Q("Tabulon"), text);
    }
    // A damaged table can bring a hundred of them: one box holds them all,
    // shown before the next box or at the end of the run.
    void ShowWarning(const std::string& text) override { fWarnings.push_back(text); }
    void ShowWarnings() {
        if (fWarnings.empty()) return;
        QString text;
        for (const std::string& w : fWarnings)
            text += (text.isEmpty() ? QString() : Q("\n")) + ToQString(w);
        fWarnings.clear();
        QMessageBox::warning(fOwner, Q("Tabulon"), text);
    }

private:
    QWidget* fOwner;
    std::vector<std::string> fWarnings;
};
} // namespace

TForm1::TForm1(QSettings& store, bool bdeLoaded, QWidget* parent)
    : QMainWindow(parent), fStore(store), fOpenDlg(std::make_unique<TKXOpenDialog>(this)) {
    fState.BDELoaded = bdeLoaded;
    fState.SetProgress(this);
    setWindowTitle(Q("Tabulon"));
    BuildControls();
    fState.Settings.LoadSettings(fStore);
    ApplySettings();
    Grid->SetShowLogo(true);
    resize(572, 389);
    setMinimumSize(572, 389);
    ShowEngineStatus();
    setAcceptDrops(true);
    for (QWidget* w : {static_cast<QWidget*>(Grid), findChild<QWidget*>(Q("Panel1")),
                       findChild<QWidget*>(Q("Panel2"))})
        if (w) ApplyHint(*w, Q(DropHint));
    DSAfterClose();
    SetErrorHandler([this](const std::string& message) { ShowBox(this, Q("Tabulon"), message); });
    ShowFilterError = [this](const QString& message) {
        ShowBox(this, Q("Error"), ToUtf8(message));
    };
    OpenUrl = [this](const QString& url) {
        if (!OpenWithDesktop(QUrl(url)))
            ShowBox(this, Q("Tabulon"),
                    "No program could be started to open " + ToUtf8(url) +
                        ". Set up a web browser for the desktop (xdg-open starts it).");
    };
    RunOpenDialog = [](TKXOpenDialog& dialog) {
        return dialog.Execute() ? dialog.FileName() : QString();
    };
    fState.DataSource1.OnStateChange = [this](TDataSource&) { ActiveChanged(); };
    fState.DataSource1.OnDataChange = [this](TDataSource&, TField*) { UpdateStatusCount(); };
    fExport = new TWindowExport(
        this, fState, [this](const QString& text) { SetPanel(0, text); }, statusBar());
    connect(fExport, &TWindowExport::started, this, &TForm1::ExportStarted);
    connect(fExport, &TWindowExport::finished, this, &TForm1::ExportFinished);
    // The command line runs once the event loop runs, with the window shown.
    QTimer::singleShot(0, this, [this] { RunCommandLine(); });
}

TForm1::~TForm1() {
    SetErrorHandler({});
    SaveSettings();
    fState.SetGrid(nullptr);
    fState.CloseCurrentDataSet();
}

void TForm1::BuildControls() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    QFrame* panel1 = Bar(central);
    panel1->setObjectName(Q("Panel1"));
    auto* row1 = static_cast<QHBoxLayout*>(panel1->layout());
    OpenBtn = ToolButton(panel1, tgOpen, "Open database table");
    CopyBtn =
        ToolButton(panel1, tgExport, "Export or copy|Export table to file or copy to clipboard");
    FixBtn = ToolButton(panel1, tgFix, "Fix / Unfix column");
    OptionsBtn = new TkxPopupButton(panel1);
    OptionsBtn->SetFlat(true);
    OptionsBtn->SetGlyphMaker([](qreal dpr) { return ToolGlyph(tgOptions, dpr); });
    OptionsBtn->SetHint(Q("Options|Copying optins"));
    OptionsBtn->SetDrawDropDown(true);
    OptionsBtn->setFixedSize(37, 25);
    HelpBtn = ToolButton(panel1, tgHelp, "Help");
    AboutBtn = ToolButton(panel1, tgAbout, "About...|About Tabulon");
    for (QWidget* w : {static_cast<QWidget*>(OpenBtn), static_cast<QWidget*>(CopyBtn),
                       static_cast<QWidget*>(FixBtn), static_cast<QWidget*>(OptionsBtn),
                       static_cast<QWidget*>(HelpBtn), static_cast<QWidget*>(AboutBtn)})
        row1->addWidget(w);
    row1->addStretch(1);
    DBNavigator = new TkxDBNavigator(panel1);
    DBNavigator->SetFlat(true);
    DBNavigator->SetHints({Q("First record"), Q("Previous record"), Q("Next record"),
                           Q("Last record"), Q("Insert record"), Q("Delete record"), Q("Edit"),
                           Q("Post changes"), Q("Cancel changes"), Q("Refresh")});
    DBNavigator->setFixedSize(230, 25);
    DBNavigator->SetDataSource(&fState.DataSource1);
    row1->addWidget(DBNavigator);
    column->addWidget(panel1);

    QFrame* panel2 = Bar(central);
    panel2->setObjectName(Q("Panel2"));
    auto* row2 = static_cast<QHBoxLayout*>(panel2->layout());
    FindBtn = ToolButton(panel2, tgFind, "Find in the current column");
    SearchEdit = new QLineEdit(panel2);
    ApplyHint(*SearchEdit, Q("Enter searched text here"));
    SearchEdit->setFixedWidth(150);
    auto* bevel = new QFrame(panel2);
    bevel->setFrameShape(QFrame::VLine);
    bevel->setFrameShadow(QFrame::Sunken);
    auto* label = new QLabel(Q("Filter"), panel2);
    FilterEdit = new QLineEdit(panel2);
    ApplyHint(*FilterEdit, Q("|Enter filter condition here"));
    FilterCheck = new QCheckBox(panel2);
    row2->addWidget(FindBtn);
    row2->addWidget(SearchEdit);
    row2->addWidget(bevel);
    row2->addWidget(label);
    row2->addWidget(FilterEdit, 1);
    row2->addWidget(FilterCheck);
    column->addWidget(panel2);

    Grid = new TKXDBGrid(central);
    ConfigureMainWindowGrid(*Grid);
    Grid->SetDataSource(&fState.DataSource1);
    Grid->OnColEnter = [this](TDBGrid&) { RunGuarded([&] { GridColEnter(); }); };
    fState.SetGrid(Grid);
    column->addWidget(Grid, 1);
    setCentralWidget(central);

    for (int i = 0; i < 5; ++i) {
        auto* p = new QLabel(this);
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Sunken);
        if (i == 1) p->setAlignment(Qt::AlignCenter);
        // The last panel runs to the window's edge, as a status bar's last
        // part does: held at its 50 pixels it cut the engine status short.
        if (i < 4)
            p->setFixedWidth(PanelWidths[i]);
        else
            p->setMinimumWidth(PanelWidths[i]);
        statusBar()->addWidget(p, i == 4 ? 1 : 0);
        fPanels.push_back(p);
    }

    OptionPopup = new QMenu(this);
    const struct {
        QAction** item;
        const char* caption;
        const char* hint;
        int tag;
    } items[] = {
        {&NColNames, "Include Column &Names", "Include column names in export", 0},
        {&NMemo, "Include &Memo", "Include memo in export", 0},
        {&NImages, "Include &Images", "Include images in export (HTML only)", 0},
        {nullptr, nullptr, nullptr, 0},
        {&NButtonHints, "&Button Hints", "Show button hints", 1},
        {&NColumnHints, "&Column Hints", "Show column hints in grid", 2},
        {&NDataHints, "&Data Hints", "Show data hints in grid", 3},
    };
    for (const auto& it : items) {
        if (!it.item) {
            OptionPopup->addSeparator();
            continue;
        }
        QAction* a = OptionPopup->addAction(Q(it.caption));
        a->setCheckable(true);
        a->setStatusTip(Q(it.hint));
        a->setData(it.tag);
        *it.item = a;
        connect(a, &QAction::triggered, this, [this, a] { RunGuarded([&] { OptionClick(a); }); });
    }
    OptionsBtn->SetDropDownComponent(OptionPopup);

    OpenBtn->OnClick = [this](QObject&) { RunGuarded([&] { OpenBtnClick(); }); };
    CopyBtn->OnClick = [this](QObject&) { RunGuarded([&] { CopyBtnClick(); }); };
    FixBtn->OnClick = [this](QObject&) { RunGuarded([&] { FixBtnClick(); }); };
    HelpBtn->OnClick = [this](QObject&) { RunGuarded([&] { HelpBtnClick(); }); };
    AboutBtn->OnClick = [this](QObject&) { RunGuarded([&] { AboutBtnClick(); }); };
    FindBtn->OnClick = [this](QObject&) { RunGuarded([&] { SearchEditDblClick(); }); };
    connect(FilterEdit, &QLineEdit::textEdited, this,
            [this] { RunGuarded([&] { FilterEditChange(); }); });
    connect(FilterEdit, &QLineEdit::returnPressed, this, [this] {
        RunGuarded([&] {
            if (FilterCheck->isEnabled() && !FilterCheck->isChecked()) FilterCheckClick(true);
        });
    });
    connect(FilterCheck, &QCheckBox::clicked, this,
            [this] { RunGuarded([&] { FilterCheckClick(false); }); });
    connect(SearchEdit, &QLineEdit::returnPressed, this,
            [this] { RunGuarded([&] { SearchEditDblClick(); }); });
    FilterEdit->installEventFilter(this);
    SearchEdit->installEventFilter(this);

    fOpenDlg->SetFilter(Q(TableFileFilter));
    fOpenDlg->OnGetCheckParams = [this](TKXOpenDialog&, QCheckBox& box) {
        box.setText(Q("Connect via ADO"));
        box.setEnabled(ODBCLoaded());
        box.setChecked(fState.Settings.AlwaysTryADO || !fState.BDELoaded);
    };
    fOpenDlg->OnGetChecked = [this](TKXOpenDialog&, bool checked) {
        fState.Settings.AlwaysTryADO = checked;
    };
}

void TForm1::ApplySettings() {
    const TSettings& s = fState.Settings;
    NColNames->setChecked(s.IncludeColNames);
    NMemo->setChecked(s.IncludeMemoData);
    NImages->setChecked(s.IncludeImages);
    NButtonHints->setChecked(s.ButtonHints);
    NColumnHints->setChecked(s.ColumnHints);
    NDataHints->setChecked(s.DataHints);
    for (QAction* a : {NButtonHints, NColumnHints, NDataHints})
        OptionClick(a);
}

void TForm1::OptionClick(QAction* item) {
    // The check mark toggled already (a checkable action); it holds the setting.
    const bool on = item->isChecked();
    TSettings& s = fState.Settings;
    if (item == NColNames) s.IncludeColNames = on;
    if (item == NMemo) s.IncludeMemoData = on;
    if (item == NImages) s.IncludeImages = on;
    switch (item->data().toInt()) {
    case 1:
        s.ButtonHints = on;
        DBNavigator->SetShowHint(on);
        for (TkxSoftButton* b :
             {OpenBtn, CopyBtn, FixBtn, static_cast<TkxSoftButton*>(OptionsBtn), HelpBtn})
            b->SetShowHint(on);
        break;
    case 2:
        s.ColumnHints = on;
        Grid->SetColumnHints(on);
        break;
    case 3:
        s.DataHints = on;
        Grid->SetDataHints(on);
        break;
    default:
        break;
    }
}

QString TForm1::PanelText(int panel) const {
    return fPanels.at(static_cast<size_t>(panel))->text();
}

void TForm1::SetPanel(int panel, const QString& text) {
    fPanels.at(static_cast<size_t>(panel))->setText(text);
}

void TForm1::ShowEngineStatus() {
    fState.EngineStatus = EngineStatusText(fState.BDELoaded, ODBCLoaded());
    SetPanel(4, ToQString(fState.EngineStatus));
}

void TForm1::Progress(const std::string& text) {
    SetPanel(0, ToQString(text));
}

void TForm1::ProcessMessages() {
    // Paints the status and the grid; input waits, so nothing can change the
    // table under the work. Timers and the window's close still come: the
    // handlers they reach see the work running and wait.
    ++fWorkDepth;
    struct TLeave {
        int& Depth;
        ~TLeave() { --Depth; }
    } leave{fWorkDepth};
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm1::ShowOpenError(const std::string& message) {
    ShowBox(this, Q("Tabulon"), message);
}

void TForm1::OpenBtnClick() {
    // Ctrl+O and a drop reach here too; the running export or a sort,
    // filter or open under way reads the table.
    if (Busy()) return;
    const QString name = RunOpenDialog(*fOpenDlg);
    if (!name.isEmpty()) OpenFile(name);
}

void TForm1::OpenFile(const QString& path) {
    if (Busy()) return;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // Painted while the table connects; the read's own steps follow it.
        SetPanel(0, Q("Opening ") + QFileInfo(path).fileName() + Q("..."));
        struct TRestore {
            TForm1& Form;
            ~TRestore() {
                Form.SetPanel(0, QString());
                QApplication::restoreOverrideCursor();
            }
        } restore{*this};
        try {
            OpenDatabase(fState, ToUtf8(path), *this);
        } catch (...) {
            ActiveChanged();
            SetPanel(4, ToQString(fState.EngineStatus.empty()
                                      ? EngineStatusText(fState.BDELoaded, ODBCLoaded())
                                      : fState.EngineStatus));
            throw;
        }
        ActiveChanged();
        if (fState.EngineStatus.empty())
            ShowEngineStatus();
        else
            SetPanel(4, ToQString(fState.EngineStatus));
        if (!fState.CurrentFileName.empty()) ShowCaption();
        if (!fState.CurrentDataSet || !fState.CurrentDataSet->Active()) {
            ShowEngineStatus();
            // A failed open keeps the name but shows no table.
            if (!fState.CurrentDataSet) setWindowTitle(Q("Tabulon"));
        }
    }
    // What the open noticed (a missing memo file, a change put back) is
    // told once, in one box, as the command line tells it.
    TBoxSink warnings(this);
    size_t shown = 0;
    bool more = false;
    ShowNewWarnings(fState, warnings, shown, more);
    warnings.ShowWarnings();
}

void TForm1::ShowCaption() {
    setWindowTitle(Q("Tabulon - ") + QFileInfo(ToQString(fState.CurrentFileName)).fileName());
}

void TForm1::ActiveChanged() {
    const bool active = fState.CurrentDataSet && fState.CurrentDataSet->Active() &&
                        fState.DataSource1.DataSet() == fState.CurrentDataSet.get();
    if (active == fWasActive) return;
    fWasActive = active;
    if (active)
        DSAfterOpen();
    else
        DSAfterClose();
}

void TForm1::DSAfterOpen() {
    TDataSet& ds = *fState.CurrentDataSet;
    if (auto* table = dynamic_cast<TTable*>(&ds)) {
        SetPanel(3, Q("Indices: ") + QString::number(table->IndexDefs().Count()));
    }
    SetPanel(2, Q("Fields: ") + QString::number(ds.FieldDefs().Count()));
    FixBtn->setEnabled(Grid->ColumnCount() > 2);
    GridColEnter();
    // No column wider than the grid.
    const int limit = Grid->viewport()->width() - 18 - Grid->IndicatorOffset();
    for (int i = 0; i < Grid->ColumnCount(); ++i)
        if (Grid->Column(i).Width() > limit) Grid->Column(i).SetWidth(limit);
    static const char* const hints[3] = {"|Click mouse wheel to use autoscrolling",
                                         "|Use <Shift> + mouse wheel to change row heights",
                                         DropHint};
    const qint64 day = QDate(1899, 12, 30).daysTo(QDate::currentDate());
    ApplyHint(*Grid, Q(hints[day % 3]));
    FilterEdit->setEnabled(true);
    CopyBtn->setEnabled(true);
    UpdateStatusCount();
    Grid->viewport()->update();
}

void TForm1::DSAfterClose() {
    ApplyHint(*Grid, Q(DropHint));
    Grid->SetFixedColumns(0);
    FixBtn->setEnabled(false);
    FindBtn->setEnabled(false);
    SearchEdit->setEnabled(false);
    FilterEdit->clear();
    FilterEdit->setEnabled(false);
    for (int i = 1; i <= 3; ++i)
        SetPanel(i, QString());
    ShowEngineStatus();
    setWindowTitle(Q("Tabulon"));
    FilterCheck->setChecked(false);
    FilterCheck->setEnabled(false);
    CopyBtn->setEnabled(false);
    Grid->viewport()->update();
}

void TForm1::UpdateStatusCount() {
    TDataSet* ds = fState.CurrentDataSet.get();
    if (!ds || !ds->Active()) return;
    const int count = ds->RecordCount();
    QString text = QString::number(count);
    const bool txt = QFileInfo(ToQString(fState.CurrentFileName)).suffix().toLower() == Q("txt");
    if (!txt && count != 0 && ds->State() != dsInsert)
        text = QString::number(ds->RecNo()) + Q(" / ") + text;
    SetPanel(1, text);
}

void TForm1::FilterEditChange() {
    const QString t = FilterEdit->text().toLower();
    bool usable = false;
    TDataSet* ds = fState.CurrentDataSet.get();
    if (ds && ds->Active())
        for (int i = 0; i < ds->FieldCount() && !usable; ++i)
            usable = t.contains(ToQString(ds->Fields(i).FieldName()).toLower());
    FilterCheck->setEnabled(!t.isEmpty() && usable);
    if (!FilterCheck->isEnabled() && FilterCheck->isChecked()) {
        FilterCheck->setChecked(false);
        FilterCheckClick(false);
    }
    // Every edit switches an active filter off; Enter switches it on again.
    if (FilterCheck->isChecked()) FilterCheckClick(true);
}

void TForm1::FilterEditEnter() {
    TDataSet* ds = fState.CurrentDataSet.get();
    if (!ds) return;
    const std::string e = ProposeFilter(*ds, Grid->SelectedField(), ToUtf8(FilterEdit->text()));
    if (e.empty()) return;
    FilterEdit->setText(ToQString(e));
    FilterEditChange();
}

void TForm1::FilterCheckClick(bool fromCode) {
    if (fromCode) FilterCheck->setChecked(!FilterCheck->isChecked());
    TDataSet* ds = fState.CurrentDataSet.get();
    if (!ds) return;
    try {
        if (FilterCheck->isChecked()) ds->SetFilter(ToUtf8(FilterEdit->text()));
        ds->SetFiltered(FilterCheck->isChecked());
    } catch (const std::exception& e) {
        ReportFilterError(e.what());
    }
    UpdateStatusCount();
}

void TForm1::ReportFilterError(const std::string& message) {
    FilterCheck->setChecked(false);
    try {
        if (fState.CurrentDataSet) fState.CurrentDataSet->SetFiltered(false);
    } catch (...) {
        // The filter could not be switched on; off cannot fail for it.
    }
    ShowFilterError(ToQString(message));
    FilterCheck->setEnabled(false);
    FilterEdit->setFocus();
}

void TForm1::SearchEditDblClick() {
    TDataSet* ds = fState.CurrentDataSet.get();
    TField* field = Grid->SelectedField();
    if (!ds || !ds->Active() || !field || SearchEdit->text().isEmpty()) return;
    ds->Locate(field->FieldName(), {ToUtf8(SearchEdit->text())}, loCaseInsensitive | loPartialKey);
}

void TForm1::GridColEnter() {
    TDataSet* ds = fState.CurrentDataSet.get();
    TField* field = Grid->SelectedField();
    const bool on = ds && ds->Active() && field && !field->IsBlob() &&
                    field->DataType() != ftBytes && field->DataType() != ftVarBytes;
    SearchEdit->setEnabled(on);
    FindBtn->setEnabled(on);
}

void TForm1::FixBtnClick() {
    const int i = Grid->SelectedIndex();
    TDataSet* ds = fState.CurrentDataSet.get();
    const int recNo = ds && ds->Active() ? ds->RecNo() : 0;
    int w = 11;
    for (int c = 0; c <= i && c < Grid->ColumnCount(); ++c)
        w += Grid->Column(c).Width();
    if (i < Grid->ColumnCount() - 2 && w < Grid->viewport()->width() - 20)
        Grid->SetFixedColumns(i >= Grid->FixedColumns() ? i + 1 : i);
    else
        Grid->SetFixedColumns(0);
    if (ds && ds->Active() && recNo > 0 && ds->RecNo() != recNo) ds->SetRecNo(recNo);
    GridColEnter();
}

void TForm1::HelpBtnClick() {
    const TProgramFiles files = TProgramFiles::OfRunningProgram();
    const auto page = files.HelpPage();
    if (page.empty()) {
        // Where it was looked for, so that a user can tell a broken install.
        const std::string where =
            files.DataDir().empty()
                ? "no share/tabulon folder beside the folder of " +
                      TProgramFiles::RunningProgram().string()
                : (files.DataDir() / "help" / "index.html").string() + " is missing";
        throw std::runtime_error("The help page is not installed: " + where + ".");
    }
    OpenUrl(QUrl::fromLocalFile(QString::fromStdString(page.string())).toString());
}

void TForm1::AboutBtnClick() {
    TAboutBox box(fState.BDELoaded, this);
    box.exec();
}

bool TForm1::Busy() const {
    return fWorkDepth > 0 || fExport->Running();
}

void TForm1::CopyBtnClick() {
    if (Busy() || !fState.CurrentDataSet || !fState.CurrentDataSet->Active()) return;
    fExport->Execute();
}

void TForm1::ExportStarted() {
    // The run walks the table's cursor and turns the event loop every 100
    // records: anything that moves, sorts, filters, edits or replaces the
    // table, or starts a second export, waits for its end. Search moves the
    // cursor and the grid's clicks sort and move it, so they wait too.
    fLockedByExport.clear();
    for (QWidget* w : {static_cast<QWidget*>(OpenBtn), static_cast<QWidget*>(CopyBtn),
                       static_cast<QWidget*>(FixBtn), static_cast<QWidget*>(FindBtn),
                       static_cast<QWidget*>(SearchEdit), static_cast<QWidget*>(FilterEdit),
                       static_cast<QWidget*>(FilterCheck), static_cast<QWidget*>(DBNavigator),
                       static_cast<QWidget*>(Grid)}) {
        fLockedByExport.emplace_back(w, w->isEnabled());
        w->setEnabled(false);
    }
    setAcceptDrops(false);
}

void TForm1::ExportFinished() {
    for (const auto& [w, enabled] : fLockedByExport)
        w->setEnabled(enabled);
    fLockedByExport.clear();
    setAcceptDrops(true);
    // A close asked for during the run stopped it; now it can happen.
    if (fCloseAfterExport) {
        fCloseAfterExport = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

bool TForm1::DropFiles(const QStringList& paths) {
    if (Busy()) return false;
    std::vector<std::string> names;
    for (const QString& path : paths)
        names.push_back(ToUtf8(path));
    const int first = FirstDroppedTable(names);
    if (first < 0) return false;
    const QFileInfo info(paths[first]);
    activateWindow();
    raise();
    fOpenDlg->SetInitialDir(info.absolutePath());
    fOpenDlg->SetFilterIndex(DroppedFileFilterIndex(names[static_cast<size_t>(first)]));
    fOpenDlg->SetFileName(info.fileName());
    OpenBtnClick();
    return true;
}

void TForm1::RunCommandLine() {
    if (fParams.empty()) return;
    TBoxSink sink(this);
    const TCommandLineResult r = ProcessCommandLine(fState, fParams, sink);
    fParams.clear();
    sink.ShowWarnings();
    ActiveChanged();
    if (!fState.EngineStatus.empty()) SetPanel(4, ToQString(fState.EngineStatus));
    if (fState.CurrentDataSet && fState.CurrentDataSet->Active()) ShowCaption();
    if (r.Failed) fExitStatus = 1;
    if (r.CloseAfter) close();
}

void TForm1::SaveSettings() {
    if (fSettingsSaved) return;
    fSettingsSaved = true;
    fState.Settings.SaveSettings(fStore);
    fStore.sync();
}

bool TForm1::event(QEvent* event) {
    // The application's hints: their long part in the first panel.
    if (event->type() == QEvent::StatusTip) {
        SetPanel(0, GetLongHint(static_cast<QStatusTipEvent*>(event)->tip()));
        return true;
    }
    return QMainWindow::event(event);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_O && event->modifiers() == Qt::ControlModifier) {
        RunGuarded([&] { OpenBtnClick(); });
        return;
    }
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        RunGuarded([&] { HelpBtnClick(); });
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && watched == FilterEdit)
        RunGuarded([&] { FilterEditEnter(); });
    if (event->type() == QEvent::MouseButtonDblClick && watched == SearchEdit)
        RunGuarded([&] { SearchEditDblClick(); });
    if (event->type() == QEvent::KeyPress) {
        // The window sees its keys before the controls.
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_O && key->modifiers() == Qt::ControlModifier) ||
            key->key() == Qt::Key_F1) {
            keyPressEvent(key);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (fExport->Running()) {
        // The run still reads the table: stop it first, close after it.
        fCloseAfterExport = true;
        fExport->Cancel();
        event->ignore();
        return;
    }
    if (fWorkDepth > 0) {
        // A sort, filter or open turns the event loop: the table it works on
        // stays until it is done; the close follows then.
        event->ignore();
        QTimer::singleShot(100, this, [this] { close(); });
        return;
    }
    fState.CloseCurrentDataSet();
    ActiveChanged();
    SaveSettings();
    QMainWindow::closeEvent(event);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!fPanels.empty()) fPanels[0]->setFixedWidth(width() * 2 / 5);
    if (!fState.CurrentDataSet || !fState.CurrentDataSet->Active()) Grid->viewport()->update();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    // The open dialog must not run inside the drop's own handling.
    QTimer::singleShot(0, this, [this, paths] { RunGuarded([&] { DropFiles(paths); }); });
}

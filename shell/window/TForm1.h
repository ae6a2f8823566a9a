#pragma once
#include "data/base/Progress.h"
#include "shell/ShellState.h"
#include "shell/TableOpener.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QSettings;
class TKXDBGrid;
class TKXOpenDialog;
class TWindowExport;
class TkxDBNavigator;
class TkxPopupButton;
class TkxSoftButton;

// The program's one main window: two tool bars, the grid and a status bar of
// five panels, over the shell state the command line works on too.
class TForm1 : public QMainWindow, private TProgress, private TOpenReporter {
    Q_OBJECT
public:
    // `store` holds the settings (read now, written at close); not owned.
    TForm1(QSettings& store, bool bdeLoaded, QWidget* parent = nullptr);
    ~TForm1() override;

    TShellState& State() { return fState; }

    // The handlers, callable as the controls call them.
    void OpenBtnClick();
    // The export button: options, save dialog, the run, the result box.
    void CopyBtnClick();
    void OpenFile(const QString& path); // OpenDatabase with the window's reporting
    void FilterEditChange();
    void FilterEditEnter();
    void FilterCheckClick(bool fromCode);
    void SearchEditDblClick();
    void GridColEnter();
    void FixBtnClick();
    void HelpBtnClick();
    void AboutBtnClick();
    void OptionClick(QAction* item);
    void UpdateStatusCount();
    // Dropped file names: the first accepted one goes to the open dialog.
    // False when none is accepted.
    bool DropFiles(const QStringList& paths);
    // Runs the command line in the event loop once the window shows.
    void SetCommandLine(std::vector<std::string> params) { fParams = std::move(params); }
    // Exit status of the command line's run: 1 after a failure.
    int ExitStatus() const { return fExitStatus; }

    // The open dialog's handlers and its set-up before it shows; tests
    // replace the dialog's run (returns the chosen file or empty).
    std::function<QString(TKXOpenDialog& dialog)> RunOpenDialog;
    TKXOpenDialog& OpenDlg() { return *fOpenDlg; }
    // The export button's command; tests watch its started/finished.
    TWindowExport& WindowExport() { return *fExport; }
    // The filter-error box; tests look at it instead.
    std::function<void(const QString& message)> ShowFilterError;
    // Opens a URL of the help page or a link; tests look at it instead.
    std::function<void(const QString& url)> OpenUrl;

    // The controls, for the tests.
    TkxSoftButton* OpenBtn = nullptr;
    TkxSoftButton* CopyBtn = nullptr;
    TkxSoftButton* FixBtn = nullptr;
    TkxPopupButton* OptionsBtn = nullptr;
    TkxSoftButton* HelpBtn = nullptr;
    TkxSoftButton* AboutBtn = nullptr;
    TkxDBNavigator* DBNavigator = nullptr;
    TkxSoftButton* FindBtn = nullptr;
    QLineEdit* SearchEdit = nullptr;
    QLineEdit* FilterEdit = nullptr;
    QCheckBox* FilterCheck = nullptr;
    TKXDBGrid* Grid = nullptr;
    QMenu* OptionPopup = nullptr;
    QAction* NColNames = nullptr;
    QAction* NMemo = nullptr;
    QAction* NImages = nullptr;
    QAction* NButtonHints = nullptr;
    QAction* NColumnHints = nullptr;
    QAction* NDataHints = nullptr;
    QString PanelText(int panel) const;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Progress(const std::string& text) override;
    void ProcessMessages() override;
    void ShowOpenError(const std::string& message) override;

    void BuildControls();
    void ApplySettings();
    void ShowEngineStatus();
    // "Tabulon - " and the current table's file name.
    void ShowCaption();
    void ActiveChanged();
    void DSAfterOpen();
    void DSAfterClose();
    void ReportFilterError(const std::string& message);
    void SetPanel(int panel, const QString& text);
    void RunCommandLine();
    void SaveSettings();
    // While an export walks the table nothing may change or replace it.
    void ExportStarted();
    void ExportFinished();

    QSettings& fStore;
    TShellState fState;
    std::unique_ptr<TKXOpenDialog> fOpenDlg;
    std::vector<QLabel*> fPanels;
    TWindowExport* fExport = nullptr;
    // What the running export disabled, with the state to give back.
    std::vector<std::pair<QWidget*, bool>> fLockedByExport;
    bool fCloseAfterExport = false;
    // Inside ProcessMessages: a sort, filter or open of the table runs.
    int fWorkDepth = 0;
    bool Busy() const;
    std::vector<std::string> fParams;
    bool fWasActive = false;
    bool fSettingsSaved = false;
    bool fInFilterClick = false;
    int fExitStatus = 0;
};

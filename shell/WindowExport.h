#pragma once

#include "shell/ExportCommand.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>

class QWidget;
class QPushButton;
class QStatusBar;
class TCopyFrm;
class TShellState;

// The export button's command in the window: the options dialog, the save
// dialog, one RunExport with its progress in the status bar, the result box.
// The window keeps one of these and only calls Execute; while an export runs
// (between started() and finished()) the event loop turns every 100 records,
// so the window disables whatever would change or replace the table or start
// another export. Esc or the status bar's Cancel button stops the run; the
// destination then stays as it was.
class TWindowExport : public QObject {
    Q_OBJECT
public:
    // Shows a text in status panel 0; an empty text clears it.
    using TStatusSink = std::function<void(const QString&)>;

    // `owner` parents the dialogs and boxes and receives Esc while an export
    // runs. `cancelHost`, when given (the status bar), shows a Cancel button
    // during the run. `actions` e-mails and opens the file; null uses the
    // desktop's (xdg-email, the desktop's opener).
    TWindowExport(QWidget* owner, TShellState& state, TStatusSink status,
                  QStatusBar* cancelHost = nullptr);
    ~TWindowExport() override;

    // The whole command; returns the records written, or -1 when nothing
    // was exported (a dialog cancelled, the run stopped, an error shown, or
    // an export already running). Errors are shown in a box titled
    // "Tabulon", never raised.
    int Execute();
    bool Running() const { return fRunning; }
    // Asks the running export to stop after the record being written.
    void Cancel();

    // Stand-ins for the tests, in place of showing the dialogs: `options`
    // gets the options dialog to set and confirm (OKBtn->click()) or leave;
    // `saveFile` gets the proposed name and returns the chosen one (empty:
    // cancelled; the format's extension is added to a name without one).
    // Message boxes are then not shown; the last one is kept as LastMessage.
    void SetActions(TExportActions* actions) { fActions = actions; }
    void SetDialogStandIns(std::function<void(TCopyFrm& dialog)> options,
                           std::function<QString(const QString& proposed)> saveFile);
    const QString& LastMessage() const { return fLastMessage; }

    // The save dialog's proposal: the table's name without extension and the
    // format's extension.
    static QString ProposedFileName(const TShellState& state);

signals:
    void started();
    void finished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TRunProgress;
    bool AskOptions();
    bool AskFileName(QString& fileName);
    int Run(const std::string& fileName);
    void Message(const QString& text, bool error);

    QPointer<QWidget> fOwner;
    TShellState& fState;
    TStatusSink fStatus;
    QPointer<QStatusBar> fCancelHost;
    QPointer<QPushButton> fCancelButton;
    TExportActions* fActions = nullptr;
    std::unique_ptr<TExportActions> fDesktopActions;
    std::function<void(TCopyFrm&)> fOptionsStandIn;
    std::function<QString(const QString&)> fSaveStandIn;
    QString fLastMessage;
    bool fRunning = false;
    bool fCancelRequested = false;
};

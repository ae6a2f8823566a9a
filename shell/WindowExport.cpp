#include "shell/WindowExport.h"

#include "controls/Utf8Text.h"
#include "data/platform/AtomicFile.h"
#include "shell/CopyFrm.h"
#include "shell/DesktopClipboard.h"
#include "shell/DesktopExportActions.h"
#include "shell/ExportFormat.h"
#include "shell/ShellState.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace {
// Raised out of the progress step to end a run the user stopped; the
// writer's clean-up then leaves the destination as it was.
struct EExportStopped : std::exception {
    const char* what() const noexcept override { return "The export was stopped"; }
};

bool Exists(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::exists(std::filesystem::symlink_status(path, error));
}
} // namespace

// The status panel during a run: the count every 100 records, and the one
// point where the window's events run and a stop takes effect.
class TWindowExport::TRunProgress : public TProgress {
public:
    explicit TRunProgress(TWindowExport& owner) : fOwner(owner) {}
    void Progress(const std::string& text) override {
        if (fOwner.fStatus) fOwner.fStatus(ToQString(text));
    }
    void ProcessMessages() override {
        QCoreApplication::processEvents();
        if (fOwner.fCancelRequested) throw EExportStopped();
    }

private:
    TWindowExport& fOwner;
};

TWindowExport::TWindowExport(QWidget* owner, TShellState& state, TStatusSink status,
                             QStatusBar* cancelHost)
    : QObject(owner), fOwner(owner), fState(state), fStatus(std::move(status)),
      fCancelHost(cancelHost) {}

TWindowExport::~TWindowExport() = default;

void TWindowExport::SetDialogStandIns(std::function<void(TCopyFrm&)> options,
                                      std::function<QString(const QString&)> saveFile) {
    fOptionsStandIn = std::move(options);
    fSaveStandIn = std::move(saveFile);
}

QString TWindowExport::ProposedFileName(const TShellState& state) {
    std::filesystem::path name(state.CurrentFileName);
    return ToQString(name.replace_extension().string());
}

void TWindowExport::Cancel() {
    if (fRunning) fCancelRequested = true;
}

void TWindowExport::Message(const QString& text, bool error) {
    fLastMessage = text;
    if (fOptionsStandIn || fSaveStandIn) return;
    QMessageBox box(error ? QMessageBox::Critical : QMessageBox::Information,
                    QStringLiteral("Tabulon"), text, QMessageBox::Ok, fOwner);
    box.exec();
}

bool TWindowExport::AskOptions() {
    const int records = fState.CurrentDataSet ? fState.CurrentDataSet->RecordCount() : 0;
    TCopyFrm dialog(fOwner, fState.Settings, records);
    if (fOptionsStandIn)
        fOptionsStandIn(dialog);
    else
        dialog.exec();
    return dialog.result() == QDialog::Accepted;
}

bool TWindowExport::AskFileName(QString& fileName) {
    const TExportFormat& format = ExportFormatOf(fState.Settings.FormatType);
    const QString proposed = ProposedFileName(fState);
    const QString extension = QString::fromUtf8(format.Extension);
    if (fSaveStandIn) {
        fileName = fSaveStandIn(proposed);
        if (!fileName.isEmpty() && QFileInfo(fileName).suffix().isEmpty())
            fileName += QLatin1Char('.') + extension;
        return !fileName.isEmpty();
    }
    QFileDialog dialog(fOwner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // "Name (*.ext)|*.ext": the part a Qt filter names.
    const QString filter = QString::fromUtf8(format.Filter);
    dialog.setNameFilter(filter.left(filter.indexOf(QLatin1Char('|'))));
    dialog.setDefaultSuffix(extension);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    fileName = dialog.selectedFiles().constFirst();
    return !fileName.isEmpty();
}

int TWindowExport::Execute() {
    if (fRunning || !fState.CurrentDataSet) return -1;
    try {
        if (!AskOptions()) return -1;
        QString fileName;
        if (fState.Settings.ActionType != actClipboard && !AskFileName(fileName)) return -1;
        const int written = Run(ToUtf8(fileName));
        if (written < 0) return -1;
        Message(QString::number(written) + QStringLiteral(" records have been copied."), false);
        return written;
    } catch (const std::exception& e) {
        Message(ToQString(e.what()), true);
    } catch (...) {
        Message(QStringLiteral("The export failed"), true);
    }
    return -1;
}

int TWindowExport::Run(const std::string& fileName) {
    TRunProgress progress(*this);
    TProgress& previousProgress = fState.Progress();
    TClipboard& previousClipboard = Clipboard();
    TDesktopClipboard desktop;
    const bool toClipboard = fState.Settings.ActionType == actClipboard;
    // A stopped export leaves its ".partial" beside the file only when it
    // made one; one that stood there before stays.
    const std::string partial = toClipboard ? std::string() : TAtomicFile::PartialName(fileName);
    const bool partialBefore = Exists(partial);
    if (!fActions && !fDesktopActions) fDesktopActions = std::make_unique<TDesktopExportActions>();

    fRunning = true;
    fCancelRequested = false;
    fState.SetProgress(&progress);
    SetClipboard(&desktop);
    qApp->installEventFilter(this);
    if (fCancelHost) {
        if (!fCancelButton) {
            fCancelButton = new QPushButton(QStringLiteral("Cancel"), fCancelHost);
            fCancelButton->setToolTip(QStringLiteral("Stop the export (Esc)"));
            fCancelButton->setFocusPolicy(Qt::NoFocus);
            connect(fCancelButton, &QPushButton::clicked, this, &TWindowExport::Cancel);
            fCancelHost->addPermanentWidget(fCancelButton);
        }
        fCancelButton->show();
    }
    emit started();
    int written = -1;
    bool stopped = false;
    std::exception_ptr failure;
    try {
        written = RunExport(fState, fileName, fActions ? fActions : fDesktopActions.get());
    } catch (const EExportStopped&) {
        stopped = true;
    } catch (...) {
        failure = std::current_exception();
    }
    qApp->removeEventFilter(this);
    SetClipboard(&previousClipboard);
    fState.SetProgress(&previousProgress);
    if (fCancelButton) fCancelButton->hide();
    fRunning = false;
    fCancelRequested = false;
    if (failure) {
        emit finished();
        std::rethrow_exception(failure);
    }
    if (stopped) {
        if (!partial.empty() && !partialBefore) {
            std::error_code error;
            std::filesystem::remove(partial, error);
        }
        if (fStatus)
            fStatus(toClipboard ? QStringLiteral("Export stopped; the clipboard was not changed")
                    : Exists(fileName) ? QStringLiteral("Export stopped; %1 was left as it was")
                                             .arg(ToQString(fileName))
                                       : QStringLiteral("Export stopped; nothing was written"));
    }
    emit finished();
    return written;
}

bool TWindowExport::eventFilter(QObject* watched, QEvent* event) {
    if (fRunning && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        Cancel();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

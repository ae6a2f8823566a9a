// The program's entry. With a display it shows the main window, which runs
// the command line once it shows. Without a window system (no X11 or Wayland
// display, or Qt's offscreen platform) it runs the command line alone:
// results on standard output, errors on standard error, and an exit status
// that tells whether it worked.
#include "data/engines/BdeUtils.h"
#include "data/platform/FileIdentity.h"
#include "data/platform/ODBCUtils.h"
#include "data/platform/SignalCleanup.h"
#include "shell/InfoRequest.h"
#include "shell/ProcessCommandLine.h"
#include "shell/ProgramFiles.h"
#include "shell/Settings.h"
#include "shell/window/TForm1.h"

#include <QApplication>

#include <QCoreApplication>
#include <QSettings>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
// Message boxes' line breaks (CR LF, or CR alone) as the terminal's.
std::string ForTerminal(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A window system to show the window on: a display named, and not one of
// Qt's window-less platforms.
bool HasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform &&
        (std::strncmp(platform, "offscreen", 9) == 0 || std::strncmp(platform, "minimal", 7) == 0))
        return false;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

int RunWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kessmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Tabulon"));
    std::unique_ptr<QSettings> store(CreateSettingsStore());
    int status = 0;
    {
        TForm1 form(*store, BDELoaded());
        std::vector<std::string> params;
        for (int i = 1; i < argc; ++i)
            params.emplace_back(argv[i]);
        form.SetCommandLine(std::move(params));
        form.show();
        app.exec();
        status = form.ExitStatus();
    }
    return status;
}

class TConsoleSink : public TMessageSink {
public:
    // When the document goes to standard output, results go to standard
    // error: they must not end up inside it.
    bool InfoToError = false;
    void ShowInfo(const std::string& text) override {
        FILE* to = InfoToError ? stderr : stdout;
        std::fprintf(to, "%s\n", ForTerminal(text).c_str());
        std::fflush(to);
    }
    void ShowError(const std::string& text) override {
        std::fprintf(stderr, "tabulx: %s\n", ForTerminal(text).c_str());
    }
    // On standard error too: standard output may be the document.
    void ShowWarning(const std::string& text) override {
        std::fprintf(stderr, "tabulx: warning: %s\n", ForTerminal(text).c_str());
    }
};

// Export progress on standard error, on one line, when it is a terminal.
class TConsoleProgress : public TProgress {
public:
    void Progress(const std::string& text) override {
        if (!fTerminal) return;
        std::fprintf(stderr, "\r%-40s\r%s", "", text.c_str());
        if (text.empty()) std::fprintf(stderr, "\r");
        std::fflush(stderr);
    }

private:
    bool fTerminal = isatty(2) != 0;
};
} // namespace

int main(int argc, char** argv) {
    // An interrupted export leaves no temporary behind.
    TSignalCleanup::Install();
    InitializeBDE();
    // --help and --version answer before the settings are read or written.
    if (const TInfoRequest info = InfoRequestOf(std::vector<std::string>(argv + 1, argv + argc));
        info != irNone) {
        std::unique_ptr<QSettings> store(CreateSettingsStore());
        const std::string text = info == irHelp ? HelpText(TProgramFiles::OfRunningProgram(),
                                                           store->fileName().toStdString())
                                                : VersionText();
        if (std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) return 0;
        std::fprintf(stderr, "tabulx: cannot write to standard output: %s\n", std::strerror(errno));
        return 1;
    }
    try {
        InitODBC();
    } catch (const std::exception&) {
        // Without the ODBC library every table still opens through the
        // built-in drivers; the status only reads "ODBC not loaded".
    }
    if (HasDisplay()) {
        const int status = RunWindow(argc, argv);
        try {
            DoneODBC();
        } catch (const std::exception&) {
        }
        return status;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Kessmark"));
    QCoreApplication::setApplicationName(QStringLiteral("Tabulon"));

    TShellState state;
    state.BDELoaded = BDELoaded();
    std::unique_ptr<QSettings> store(CreateSettingsStore());
    state.Settings.LoadSettings(*store);
    TConsoleProgress progress;
    state.SetProgress(&progress);

    std::vector<std::string> params;
    for (int i = 1; i < argc; ++i)
        params.emplace_back(argv[i]);
    TConsoleSink sink;
    int status = 0;
    if (params.empty()) {
        std::fprintf(stderr, "usage: tabulx [-export|-e] [-ado] [-closeafter] [-exporttype=type] "
                             "[-separator=text|#code] [-codepage=number|name|auto] table-file "
                             "[destination-file]\n");
        status = 2;
    } else {
        const TCommandLine cl = ParseCommandLine(params);
        sink.InfoToError =
            cl.Export && !cl.Destination.empty() &&
            TFileIdentity::Of(cl.Destination).SameFile(TFileIdentity::OfDescriptor(1));
        TCommandLineResult r = ProcessCommandLine(state, params, sink);
        status = r.Failed ? 1 : 0;
        // Opening without exporting shows the table; without a window, its size.
        if (!r.Failed && !cl.Export && state.CurrentDataSet)
            sink.ShowInfo(state.CurrentFileName + ": " +
                          std::to_string(state.CurrentDataSet->RecordCount()) + " records");
    }
    state.CloseCurrentDataSet();
    state.Settings.SaveSettings(*store);
    try {
        DoneODBC();
    } catch (const std::exception&) {
    }
    return status;
}

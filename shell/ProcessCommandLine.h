#pragma once

#include "shell/CommandLine.h"
#include "shell/ShellState.h"
#include "shell/TableOpener.h"

#include <string>
#include <vector>

// Where the command line's results and errors go: message boxes of the
// window, or standard output and standard error without one.
class TMessageSink : public TOpenReporter {
public:
    virtual void ShowInfo(const std::string& text) = 0;
    virtual void ShowError(const std::string& text) = 0;
    // What the table's driver noticed that did not stop the work (a header
    // that lies, a missing memo file, a damaged value).
    virtual void ShowWarning(const std::string& text) { ShowInfo(text); }
    void ShowOpenError(const std::string& message) override { ShowError(message); }
};

struct TCommandLineResult {
    bool Ran = false;        // there were parameters
    bool Failed = false;     // an error was reported
    bool CloseAfter = false; // the window should close
};

// Opens the table the parameters name and, in export mode, exports it.
// Errors of the open and of the export are reported through the sink, and
// so are the table's warnings: those of the open, then those of the export.
TCommandLineResult ProcessCommandLine(TShellState& state, const std::vector<std::string>& params,
                                      TMessageSink& sink);

// Shows the current table's warnings that the sink has not seen yet;
// `shown` counts those it has, `more` whether the cut was told.
void ShowNewWarnings(const TShellState& state, TMessageSink& sink, size_t& shown, bool& more);

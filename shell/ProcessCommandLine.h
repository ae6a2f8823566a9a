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
    void ShowOpenError(const std::string& message) override { ShowError(message); }
};

struct TCommandLineResult {
    bool Ran = false;        // there were parameters
    bool Failed = false;     // an error was reported
    bool CloseAfter = false; // the window should close
};

// Opens the table the parameters name and, in export mode, exports it.
// Errors of the open and of the export are reported through the sink.
TCommandLineResult ProcessCommandLine(TShellState& state, const std::vector<std::string>& params,
                                      TMessageSink& sink);

#pragma once

#include "export/KXExport.h"
#include "shell/ShellState.h"

#include <memory>
#include <string>

// What the export does with the file once it is written (e-mail, open); the
// window supplies the desktop's way, the command line never asks.
class TExportActions {
public:
    virtual ~TExportActions() = default;
    virtual void MailFile(const std::string& path) = 0;
    virtual void OpenFile(const std::string& path) = 0;
};

// The writer for a format number (0 Text and any other value, 1 HTML,
// 2 XML, 3 RTF, 4 XLS, 5 XLSX).
std::unique_ptr<TKXExport> CreateExportWriter(int formatType);

// Configures one writer from the settings, runs it into the file (or the
// clipboard for action 1), performs the e-mail or open action, and returns
// the number of records written. Errors propagate after the clean-up.
int RunExport(TShellState& state, const std::string& fileName, TExportActions* actions = nullptr);

// The progress text after n records, or empty when n is not a step.
std::string ExportProgressText(int written);

#pragma once

#include "shell/ShellState.h"

#include <string>

// What opening a table tells the user besides raising: message boxes of the
// window, lines of the command line.
class TOpenReporter {
public:
    virtual ~TOpenReporter() = default;
    // An open error of the index-ordered engine, shown and not raised.
    virtual void ShowOpenError(const std::string& message) = 0;
};

// Opens `path` as the current table through the engine that fits it,
// replacing the table open before. Raises the engine's error when a
// connection-string open fails.
void OpenDatabase(TShellState& state, const std::string& path, TOpenReporter& reporter);

// The completed connection string for a table's directory, or empty when
// the connection cannot be opened; `reason`, when given, then gets the
// connection's error, which opening reports in place of the table's own.
std::string BuildADOConnection(const std::string& ext, const std::string& dir,
                               std::string* reason = nullptr);

// Panel 4 when no table is connected.
std::string EngineStatusText(bool bdeLoaded, bool odbcLoaded);

#pragma once

#include "shell/ShellState.h"

#include <memory>
#include <string>

// What opening a table tells the user besides raising: message boxes of the
// window, lines of the command line.
class TOpenReporter {
public:
    virtual ~TOpenReporter() = default;
    // An open error of the index-ordered engine, shown and not raised.
    virtual void ShowOpenError(const std::string& message) = 0;
};

// Makes the datasets that opening puts in place: the program's two engines;
// tests give engines of their own.
class TTableEngines {
public:
    virtual ~TTableEngines() = default;
    // The index-ordered kind, a TTable.
    virtual std::unique_ptr<TDataSet> CreateTable(const std::string& dir, const std::string& name);
    // The connection-string kind, a TADOTable.
    virtual std::unique_ptr<TDataSet> CreateADOTable(const std::string& name,
                                                     const std::string& connection);
    static TTableEngines& Default();
};

// Opens `path` as the current table through the engine that fits it,
// replacing the table open before. The file open already, with the same
// engine preferred, is closed and opened again in place.
//
// What stays after a failure:
// - an index-ordered open fails: the error is shown through `reporter`, the
//   table stays closed as the current dataset, and the current file name
//   names it (opening it again opens that dataset again);
// - a connection-string open fails (also after falling back to it): the
//   error is raised, and no table is current: the dataset and the file name
//   are gone, as the table open before was closed first;
// - opening the same file again fails: the error is raised, and the closed
//   dataset stays current under its name.
// The engine status is "Connected via ..." only while the table is open.
// `codePage`: the code page the table's text is read in whatever the table
// names (for the table engines' datasets); 0 lets the table decide.
void OpenDatabase(TShellState& state, const std::string& path, TOpenReporter& reporter,
                  TTableEngines& engines = TTableEngines::Default(), int codePage = 0);

// The completed connection string for a table's directory, or empty when
// the connection cannot be opened; `reason`, when given, then gets the
// connection's error, which opening reports in place of the table's own.
std::string BuildADOConnection(const std::string& ext, const std::string& dir,
                               std::string* reason = nullptr);

// Panel 4 when no table is connected.
std::string EngineStatusText(bool bdeLoaded, bool odbcLoaded);

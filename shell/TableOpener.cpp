#include "shell/TableOpener.h"

#include "data/base/DatabaseError.h"
#include "data/engines/ADOConnection.h"
#include "data/engines/ADOTable.h"
#include "data/engines/Table.h"
#include "shell/EngineChoice.h"

#include <exception>

std::string BuildADOConnection(const std::string& ext, const std::string& dir,
                               std::string* reason) {
    TADOConnection connection;
    std::string result;
    if (reason) reason->clear();
    try {
        connection.SetConnectionString(ADOConnectionText(ext, dir));
        connection.SetLoginPrompt(false);
        connection.Open();
        result = connection.ConnectionString();
    } catch (const std::exception& e) {
        result.clear();
        if (reason) *reason = e.what();
    }
    try {
        connection.Close();
    } catch (const std::exception&) {
    }
    return result;
}

std::string EngineStatusText(bool bdeLoaded, bool odbcLoaded) {
    return std::string(bdeLoaded ? "BDE loaded" : "BDE not loaded") +
           (odbcLoaded ? " / ODBC loaded" : " / ODBC not loaded");
}

std::unique_ptr<TDataSet> TTableEngines::CreateTable(const std::string& dir,
                                                     const std::string& name) {
    auto t = std::make_unique<TTable>();
    t->SetTableName(name);
    t->SetDatabaseName(dir);
    return t;
}

std::unique_ptr<TDataSet> TTableEngines::CreateADOTable(const std::string& name,
                                                        const std::string& connection) {
    auto t = std::make_unique<TADOTable>();
    t->SetTableName(name);
    t->SetConnectionString(connection);
    return t;
}

TTableEngines& TTableEngines::Default() {
    static TTableEngines engines;
    return engines;
}

namespace {
// Puts a new dataset in place and lets the window paint the status first.
void Install(TShellState& state, std::unique_ptr<TDataSet> dataSet, const char* status) {
    state.EngineStatus = status;
    if (dataSet) dataSet->SetProgress(&state.DataSetProgress());
    state.CurrentDataSet = std::move(dataSet);
    state.DataSource1.SetDataSet(state.CurrentDataSet.get());
    state.Progress().ProcessMessages();
}

std::string ConnectedText(bool ado) {
    return ado ? "Connected via ADO" : "Connected via BDE";
}

// The code page a dataset of the table engines reads its table in.
void ForceCodePage(TDataSet* ds, int codePage) {
    if (auto* table = dynamic_cast<TDriverDataSet*>(ds)) table->SetForcedCodePage(codePage);
}

// The same file, closed and opened again as the dataset it is.
void Reopen(TShellState& state, bool ado, int codePage) {
    TDataSet& ds = *state.CurrentDataSet;
    try {
        ds.Close();
        ForceCodePage(&ds, codePage);
        ds.Open();
    } catch (...) {
        state.EngineStatus.clear();
        throw;
    }
    // Unchanged after a plain reopen; again after one that had failed.
    state.EngineStatus = ConnectedText(ado);
}

// Opens the table in place of the one before, which is closed already.
void OpenInPlace(TShellState& state, const std::string& path, const TTablePath& p, bool useADO,
                 std::string connection, std::string connectionError, TOpenReporter& reporter,
                 TTableEngines& engines, int codePage) {
    if (!useADO) {
        Install(state, engines.CreateTable(p.Dir, p.Name), "BDE connect...");
        ForceCodePage(state.CurrentDataSet.get(), codePage);
        try {
            state.CurrentDataSet->Open();
        } catch (const std::exception& e) {
            std::string message = e.what();
            if (message.find("initializ") != std::string::npos) {
                connection = BuildADOConnection(p.Ext, p.Dir, &connectionError);
                state.CloseCurrentDataSet();
                useADO = true;
            } else {
                reporter.ShowOpenError(message);
            }
        }
    }
    if (useADO) {
        Install(state, engines.CreateADOTable(p.Name, connection), "ADO connect...");
        ForceCodePage(state.CurrentDataSet.get(), codePage);
        // Without a connection the table could only say that its string is
        // empty; the connection's own error says why.
        if (connection.empty() && !connectionError.empty())
            throw EDatabaseError("Cannot open table \"" + path + "\": " + connectionError);
        state.CurrentDataSet->Open();
    }
    state.EngineStatus.clear();
    if (state.CurrentDataSet && state.CurrentDataSet->Active())
        state.EngineStatus = ConnectedText(useADO);
    state.CurrentFileName = path;
}
} // namespace

void OpenDatabase(TShellState& state, const std::string& path, TOpenReporter& reporter,
                  TTableEngines& engines, int codePage) {
    if (path == state.CurrentFileName && state.CurrentDataSet) {
        const bool preferADO = state.Settings.AlwaysTryADO;
        const bool isADO = state.CurrentDataSet->ClassName().find("ADO") != std::string::npos;
        if (preferADO == isADO) return Reopen(state, isADO, codePage);
    }
    TTablePath p = SplitTablePath(path);
    bool useADO = ChooseADO(p, state.BDELoaded, state.Settings.AlwaysTryADO);
    std::string connection, connectionError;
    if (useADO) connection = BuildADOConnection(p.Ext, p.Dir, &connectionError);

    // From here on the table open before is gone, and so is its name.
    state.CloseCurrentDataSet();
    state.CurrentFileName.clear();
    state.EngineStatus.clear();
    try {
        OpenInPlace(state, path, p, useADO, std::move(connection), std::move(connectionError),
                    reporter, engines, codePage);
    } catch (...) {
        // No half-opened table stays behind.
        state.CloseCurrentDataSet();
        state.CurrentFileName.clear();
        state.EngineStatus.clear();
        throw;
    }
}

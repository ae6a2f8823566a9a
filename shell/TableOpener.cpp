#include "shell/TableOpener.h"

#include "data/ADOConnection.h"
#include "data/ADOTable.h"
#include "data/DatabaseError.h"
#include "data/Table.h"
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

namespace {
std::unique_ptr<TDataSet> MakeADOTable(const TTablePath& p, const std::string& connection) {
    auto t = std::make_unique<TADOTable>();
    t->SetTableName(p.Name);
    t->SetConnectionString(connection);
    return t;
}
} // namespace

void OpenDatabase(TShellState& state, const std::string& path, TOpenReporter& reporter) {
    const bool preferADO = state.Settings.AlwaysTryADO;
    if (path == state.CurrentFileName && state.CurrentDataSet) {
        bool isADO = state.CurrentDataSet->ClassName().find("ADO") != std::string::npos;
        bool engineChanges = (preferADO && !isADO) || (!preferADO && isADO);
        if (!engineChanges) {
            state.CurrentDataSet->Close();
            state.CurrentDataSet->Open();
            return;
        }
    }
    TTablePath p = SplitTablePath(path);
    bool useADO = ChooseADO(p, state.BDELoaded, preferADO);
    std::string connection, connectionError;
    if (useADO) connection = BuildADOConnection(p.Ext, p.Dir, &connectionError);

    state.CloseCurrentDataSet();

    if (!useADO) {
        auto table = std::make_unique<TTable>();
        table->SetTableName(p.Name);
        table->SetDatabaseName(p.Dir);
        state.EngineStatus = "BDE connect...";
        state.CurrentDataSet = std::move(table);
        state.DataSource1.SetDataSet(state.CurrentDataSet.get());
        state.Progress().ProcessMessages();
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
        state.CurrentDataSet = MakeADOTable(p, connection);
        state.EngineStatus = "ADO connect...";
        state.DataSource1.SetDataSet(state.CurrentDataSet.get());
        state.Progress().ProcessMessages();
        try {
            // Without a connection the table could only say that its
            // string is empty; the connection's own error says why.
            if (connection.empty() && !connectionError.empty())
                throw EDatabaseError("Cannot open table \"" + path + "\": " + connectionError);
            state.CurrentDataSet->Open();
        } catch (...) {
            state.EngineStatus.clear();
            throw;
        }
    }
    if (state.CurrentDataSet && state.CurrentDataSet->Active())
        state.EngineStatus = useADO ? "Connected via ADO" : "Connected via BDE";
    else
        state.EngineStatus.clear();
    state.CurrentFileName = path;
}

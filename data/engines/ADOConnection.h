#pragma once

#include "data/drivers/TableDriverFactory.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What a connection string leads to: one of the built-in table drivers and
// the directory whose files are its tables.
struct TADOConnectionTarget {
    TTableFormat Format = TTableFormat::Unknown;
    std::string DriverName; // as the drivers call themselves
    std::string DriverId;
    std::string Directory;
    std::vector<std::string> Extensions; // text driver: the extensions it opens, lower case
};

// The connection-string engine's connection. It takes the connection
// strings of the ODBC drivers for dBase, Paradox and text files
// ("Driver={Microsoft dBase Driver (*.dbf)};DriverID=277;DefaultDir=/data;"),
// resolves the driver named there to the built-in driver of that format,
// checks the directory, and once open reads back its string completed the
// way a provider completes it:
//
//   Provider=MSDASQL.1;Persist Security Info=False;Extended Properties="DBQ=/data;
//   DefaultDir=/data;Driver={Microsoft dBase Driver (*.dbf)};DriverId=277;FIL=dBase IV;
//   MaxBufferSize=2048;PageTimeout=5;"
//
// (one line). Both forms open the same tables.
class TADOConnection {
public:
    TADOConnection() = default;

    // The string given, or the completed one once opened (kept after Close,
    // as a provider keeps it). Setting it raises while connected.
    const std::string& ConnectionString() const { return fConnectionString; }
    void SetConnectionString(const std::string& text);
    // There are no credentials to ask for; kept for callers that set it.
    bool LoginPrompt() const { return fLoginPrompt; }
    void SetLoginPrompt(bool v) { fLoginPrompt = v; }

    // Raises EDatabaseError saying what is wrong with the string.
    void Open();
    void Close();
    bool Connected() const { return fConnected; }
    const TADOConnectionTarget& Target() const { return fTarget; }

    // Keys and values in the order written; keys keep their spelling,
    // values lose their braces or quotes. Raises on a piece that is not
    // key=value or a brace or quote that does not close.
    static std::vector<std::pair<std::string, std::string>> Parse(std::string_view text);
    // Resolves a connection string, given or completed.
    static TADOConnectionTarget Resolve(std::string_view text);
    static std::string Complete(const TADOConnectionTarget& target);
    // A value as a connection string holds it: braced (closing braces
    // doubled) when it has what would end it, blanks at its ends, or a
    // quote at its start that would be taken for its opening.
    static std::string Braced(const std::string& value);

private:
    std::string fConnectionString;
    bool fLoginPrompt = true;
    bool fConnected = false;
    TADOConnectionTarget fTarget;
};

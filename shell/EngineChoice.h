#pragma once

#include <string>

// The parts of a table's path that opening works with.
struct TTablePath {
    std::string Ext;  // lower case, with its dot
    std::string Dir;  // without a trailing separator, except the root
    std::string Name; // the file name with extension
};
TTablePath SplitTablePath(const std::string& path);

// A ".txt" table with a ".sch" schema of the same name beside it, in any
// letter case, as the text driver finds it.
bool HasSchema(const TTablePath& p);

// Whether a table goes through the connection-string engine: always, unless
// the index-ordered engine is loaded, ADO is not preferred, and the file is
// a dBase or Paradox table or a text table with a schema.
bool ChooseADO(const TTablePath& p, bool bdeLoaded, bool alwaysTryADO);

// The connection string for a table's directory, before a provider
// completes it.
std::string ADOConnectionText(const std::string& ext, const std::string& dir);

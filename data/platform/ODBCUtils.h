#pragma once

#include <string>
#include <vector>

// The ODBC driver manager (unixODBC's libodbc.so.2 here), bound by name at
// start. The program itself calls only SQLAllocHandle, SQLSetEnvAttr,
// SQLFreeHandle and (for the about box) SQLGetInfo, but the binding
// succeeds only when all forty entry points are there.

inline constexpr const char* ODBCLibraryName = "libodbc.so.2";

// The forty entry points, in the order they are bound.
const std::vector<std::string>& ODBCEntryPointNames();

// Loads the library (when it is not loaded yet), sets ODBCVersion and binds
// the entry points. Raises EDatabaseError with the loader's message when the
// library is missing, and "Error Getting adress for " + name, a CR and the
// loader's message when an entry point is; the library is then unloaded
// again, so that nothing half-bound stays behind.
void BindODBC(const std::string& library = ODBCLibraryName);
// The address of an entry point of the loaded library; raises as above.
void* GetODBCProc(const std::string& name);
// A bound entry point; null before binding.
void* ODBCEntryPoint(const std::string& name);

// Start-up: binds the library and creates an ODBC 3 environment; runs only
// while no environment exists. A failed allocation leaves no environment.
void InitODBC(const std::string& library = ODBCLibraryName);
// Shut-down: frees the environment and unloads the library; raises with the
// loader's message when unloading fails.
void DoneODBC();

// Whether the environment exists.
bool ODBCLoaded();
void* ODBCEnvironment();
// The loaded library's version (VersionUtils.h); empty while not bound.
std::string ODBCVersion();
// The driver manager's own version as it reports it (SQL_DM_VER, ODBC's
// and then the manager's: "03.52.0002.0003" is ODBC 3.52 in unixODBC 2.3);
// empty without an environment or when the manager does not answer.
std::string ODBCDriverManagerVersion();

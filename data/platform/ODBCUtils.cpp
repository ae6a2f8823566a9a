#include "data/platform/ODBCUtils.h"

#include "data/base/DatabaseError.h"
#include "data/platform/VersionUtils.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <link.h>

namespace {
// The ODBC types of the calls made here (sql.h of unixODBC).
using SQLRETURN = short;
using SQLHANDLE = void*;
using TAllocHandle = SQLRETURN (*)(short, SQLHANDLE, SQLHANDLE*);
using TSetEnvAttr = SQLRETURN (*)(SQLHANDLE, int, void*, int);
using TFreeHandle = SQLRETURN (*)(short, SQLHANDLE);
using TGetInfo = SQLRETURN (*)(SQLHANDLE, unsigned short, void*, short, short*);

constexpr short SQL_HANDLE_ENV = 1;
constexpr short SQL_HANDLE_DBC = 2;
constexpr unsigned short SQL_DM_VER = 171;
constexpr int SQL_ATTR_ODBC_VERSION = 200;
constexpr intptr_t SQL_OV_ODBC3 = 3;

struct TOdbcState {
    void* Library = nullptr;
    std::vector<void*> Procs;
    void* Environment = nullptr;
    std::string Version;
};

TOdbcState& State() {
    static TOdbcState s;
    return s;
}

std::string LoaderMessage() {
    const char* e = dlerror();
    return e ? e : "unknown error";
}

template <typename F> F As(void* p) {
    F f;
    static_assert(sizeof f == sizeof p);
    std::memcpy(&f, &p, sizeof f);
    return f;
}

bool Succeeded(SQLRETURN r) {
    return r == 0 || r == 1;
} // SQL_SUCCESS, SQL_SUCCESS_WITH_INFO
} // namespace

const std::vector<std::string>& ODBCEntryPointNames() {
    static const std::vector<std::string> names = {
        "SQLAllocHandle",   "SQLSetEnvAttr",     "SQLFreeHandle",     "SQLGetInfo",
        "SQLProcedures",    "SQLColumns",        "SQLSpecialColumns", "SQLGetDiagRec",
        "SQLConnect",       "SQLDisconnect",     "SQLDriverConnect",  "SQLExecDirect",
        "SQLPrepare",       "SQLCloseCursor",    "SQLExecute",        "SQLFetch",
        "SQLNumResultCols", "SQLDescribeCol",    "SQLFetchScroll",    "SQLExtendedFetch",
        "SQLGetData",       "SQLSetStmtAttr",    "SQLGetStmtAttr",    "SQLBulkOperations",
        "SQLPutData",       "SQLBindCol",        "SQLSetPos",         "SQLDataSources",
        "SQLDrivers",       "SQLSetConnectAttr", "SQLGetCursorName",  "SQLSetCursorName",
        "SQLRowCount",      "SQLBindParameter",  "SQLFreeStmt",       "SQLColAttribute",
        "SQLEndTran",       "SQLTables",         "SQLPrimaryKeys",    "SQLProcedureColumns",
    };
    return names;
}

void* GetODBCProc(const std::string& name) {
    TOdbcState& s = State();
    if (!s.Library)
        throw EDatabaseError("Error Getting adress for " + name +
                             "\rThe ODBC library is not loaded");
    dlerror();
    void* p = dlsym(s.Library, name.c_str());
    if (!p) throw EDatabaseError("Error Getting adress for " + name + "\r" + LoaderMessage());
    return p;
}

void BindODBC(const std::string& library) {
    TOdbcState& s = State();
    // Loaded already: the version stays what it is.
    if (s.Library) return;
    s.Version.clear();
    dlerror();
    // Kept mapped after unloading: the driver manager keeps caches for the
    // process, and code that still refers to them must not point into an
    // unmapped library.
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle)
        throw EDatabaseError("Cannot load the ODBC library " + library + ": " + LoaderMessage());
    s.Library = handle;
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name)
        s.Version = GetFileVersionString(map->l_name);
    try {
        std::vector<void*> procs;
        for (const std::string& name : ODBCEntryPointNames())
            procs.push_back(GetODBCProc(name));
        s.Procs = std::move(procs);
    } catch (...) {
        dlclose(handle);
        s.Library = nullptr;
        s.Procs.clear();
        s.Version.clear();
        throw;
    }
}

void* ODBCEntryPoint(const std::string& name) {
    const TOdbcState& s = State();
    const std::vector<std::string>& names = ODBCEntryPointNames();
    for (size_t i = 0; i < names.size() && i < s.Procs.size(); ++i)
        if (names[i] == name) return s.Procs[i];
    return nullptr;
}

void InitODBC(const std::string& library) {
    TOdbcState& s = State();
    if (s.Environment) return;
    BindODBC(library);
    auto alloc = As<TAllocHandle>(ODBCEntryPoint("SQLAllocHandle"));
    auto setAttr = As<TSetEnvAttr>(ODBCEntryPoint("SQLSetEnvAttr"));
    auto freeHandle = As<TFreeHandle>(ODBCEntryPoint("SQLFreeHandle"));
    SQLHANDLE env = nullptr;
    if (alloc(SQL_HANDLE_ENV, nullptr, &env) != 0 || !env) return;
    // ODBC 3 behaviour; without it the environment is of no use.
    if (!Succeeded(setAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<void*>(SQL_OV_ODBC3), 0))) {
        freeHandle(SQL_HANDLE_ENV, env);
        return;
    }
    s.Environment = env;
}

void DoneODBC() {
    TOdbcState& s = State();
    if (s.Environment) {
        As<TFreeHandle>(ODBCEntryPoint("SQLFreeHandle"))(SQL_HANDLE_ENV, s.Environment);
        s.Environment = nullptr;
    }
    s.Version.clear();
    if (s.Library) {
        void* handle = s.Library;
        s.Library = nullptr;
        s.Procs.clear();
        dlerror();
        if (dlclose(handle) != 0)
            throw EDatabaseError("Cannot unload the ODBC library: " + LoaderMessage());
    }
}

bool ODBCLoaded() {
    return State().Environment != nullptr;
}
void* ODBCEnvironment() {
    return State().Environment;
}
std::string ODBCVersion() {
    return State().Version;
}

std::string ODBCDriverManagerVersion() {
    const TOdbcState& s = State();
    if (!s.Environment) return std::string();
    auto alloc = As<TAllocHandle>(ODBCEntryPoint("SQLAllocHandle"));
    auto freeHandle = As<TFreeHandle>(ODBCEntryPoint("SQLFreeHandle"));
    auto getInfo = As<TGetInfo>(ODBCEntryPoint("SQLGetInfo"));
    if (!alloc || !freeHandle || !getInfo) return std::string();
    // The manager answers this one itself, on a connection not yet made.
    SQLHANDLE dbc = nullptr;
    if (!Succeeded(alloc(SQL_HANDLE_DBC, s.Environment, &dbc)) || !dbc) return std::string();
    char text[64] = {};
    short length = 0;
    const bool ok = Succeeded(getInfo(dbc, SQL_DM_VER, text, sizeof text - 1, &length));
    freeHandle(SQL_HANDLE_DBC, dbc);
    if (!ok || length <= 0) return std::string();
    // The length says what the manager had; only what fits the buffer counts.
    return std::string(text, strnlen(text, std::min<size_t>(sizeof text - 1, length)));
}

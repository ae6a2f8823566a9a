#include "data/engines/BdeUtils.h"
#include "data/platform/ODBCUtils.h"
#include "data/platform/VersionUtils.h"
#include "tests/support/EngineTestDriver.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {
// The real driver manager's file, whatever the link points to.
std::string OdbcLibraryFile() {
    for (const char* dir :
         {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib"}) {
        std::string p = std::string(dir) + "/libodbc.so.2";
        if (std::filesystem::exists(p)) return p;
    }
    return std::string();
}

std::string BindError(const std::string& library) {
    try {
        BindODBC(library);
    } catch (const EDatabaseError& e) {
        return e.what();
    }
    return "no error";
}
} // namespace

TEST(EngineDetection, BindsUnixOdbcAndCreatesAnEnvironment) {
    const std::string file = OdbcLibraryFile();
    ASSERT_FALSE(file.empty()) << "libodbc.so.2 is part of the platform";
    EXPECT_EQ(ODBCEntryPointNames().size(), 40u);
    EXPECT_EQ(ODBCEntryPointNames().front(), "SQLAllocHandle");
    EXPECT_EQ(ODBCEntryPointNames().back(), "SQLProcedureColumns");
    InitODBC();
    ASSERT_TRUE(ODBCLoaded());
    EXPECT_NE(ODBCEnvironment(), nullptr);
    for (const std::string& name : ODBCEntryPointNames())
        EXPECT_NE(ODBCEntryPoint(name), nullptr) << name;
    EXPECT_NE(GetODBCProc("SQLDrivers"), nullptr);
    EXPECT_EQ(ODBCVersion(), GetFileVersionString(file));
    EXPECT_FALSE(ODBCVersion().empty());
    // ODBC's version, then the manager's: "03.52.0002.0003".
    const std::string manager = ODBCDriverManagerVersion();
    ASSERT_EQ(manager.size(), 15u) << manager;
    for (size_t i : {2u, 5u, 10u})
        EXPECT_EQ(manager[i], '.') << manager;
    EXPECT_EQ(manager.rfind("03.", 0), 0u) << manager;
    void* env = ODBCEnvironment();
    InitODBC();
    EXPECT_EQ(ODBCEnvironment(), env) << "start-up runs while no environment exists";
    BindODBC();
    EXPECT_EQ(ODBCVersion(), GetFileVersionString(file)) << "binding again keeps the version";
    try {
        GetODBCProc("SQLNoSuchCall");
        ADD_FAILURE();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Error Getting adress for SQLNoSuchCall\r", 0), 0u);
    }
    DoneODBC();
    EXPECT_FALSE(ODBCLoaded());
    EXPECT_EQ(ODBCVersion(), "");
    EXPECT_EQ(ODBCDriverManagerVersion(), "") << "no environment to ask";
    EXPECT_EQ(ODBCEntryPoint("SQLAllocHandle"), nullptr);
    DoneODBC(); // nothing left to release
}

TEST(EngineDetection, MissingLibraryOrEntryPointFailsCleanly) {
    std::string missing = BindError("libtabulon-no-such-odbc.so.9");
    EXPECT_NE(missing.find("libtabulon-no-such-odbc.so.9"), std::string::npos) << missing;
    EXPECT_EQ(ODBCVersion(), "");
    // unixODBC's installer library is there but has none of the calls.
    std::string unbound = BindError("libodbcinst.so.2");
    EXPECT_EQ(unbound.rfind("Error Getting adress for SQLAllocHandle\r", 0), 0u) << unbound;
    EXPECT_EQ(ODBCVersion(), "");
    EXPECT_EQ(ODBCEntryPoint("SQLAllocHandle"), nullptr);
    EXPECT_FALSE(ODBCLoaded());
    // Nothing half-bound stays behind: the real library binds afterwards.
    InitODBC();
    EXPECT_TRUE(ODBCLoaded());
    DoneODBC();
}

TEST(EngineDetection, VersionTextsOfThisPlatform) {
    TTempFolder dir;
    { std::ofstream(dir / "plain.txt") << "x"; }
    { std::ofstream(dir / "libthing.so.1.2.3") << "x"; }
    std::filesystem::create_symlink(dir / "libthing.so.1.2.3", dir / "libthing.so.1");
    EXPECT_EQ(GetFileVersionString(dir / "libthing.so.1"), "1.2.3") << "the link's target";
    EXPECT_EQ(GetFileVersionString(dir / "plain.txt"), "");
    EXPECT_EQ(GetFileVersionString(dir / "missing.so.1"), "");
    EXPECT_EQ(GetFileVersionString(dir.Path().string()), "") << "a directory";
    EXPECT_EQ(GetADOVersion(), "");
    EXPECT_EQ(GetBDEDllPath(), "");
}

TEST(EngineDetection, IncludeTrailingSlash) {
    EXPECT_EQ(IncludeTrailingSlash(""), "");
    EXPECT_EQ(IncludeTrailingSlash("/"), "/");
    EXPECT_EQ(IncludeTrailingSlash("/data"), "/data/");
    EXPECT_EQ(IncludeTrailingSlash("/data/"), "/data/");
}

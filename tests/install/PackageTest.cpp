// The Debian package as `cpack -G DEB` builds it from this build: its
// control fields and dependencies, its files, lintian's verdict, an
// install into a scratch root and its removal, and whether a Debian system
// with nothing installed could satisfy its dependencies. Nothing of the
// real system is touched.
#include "tests/install/InstalledFiles.h"
#include "tests/install/ProcessRun.h"

#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {
class TPackageTest : public ::testing::Test {
protected:
    static inline fs::path Out;
    static inline fs::path Deb;
    static inline TRunResult Build;

    static void SetUpTestSuite() {
        Out = MakeScratchDir("tabulon-package");
        Build = RunProgram({CPACK_COMMAND_PATH, "-G", "DEB", "--config",
                            TABULON_BUILD_DIR "/CPackConfig.cmake", "-B", Out.string()});
        for (const auto& e : fs::directory_iterator(Out))
            if (e.path().extension() == ".deb") Deb = e.path();
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(Out, ec);
    }

    fs::path Dir;
    void SetUp() override {
        ASSERT_EQ(Build.Status, 0) << Build.Out << Build.Err;
        ASSERT_FALSE(Deb.empty()) << Build.Out;
        Dir = MakeScratchDir("tabulon-package-test");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }

    static std::string Field(const char* name) {
        TRunResult r = RunProgram({"dpkg-deb", "-f", Deb.string(), name});
        return r.Out.substr(0, r.Out.find_last_not_of('\n') + 1);
    }
    // dpkg as root, or under fakeroot otherwise.
    static std::vector<std::string> Dpkg(std::vector<std::string> args) {
        args.insert(args.begin(), "dpkg");
        if (geteuid() != 0) args.insert(args.begin(), "fakeroot");
        return args;
    }
};
} // namespace

TEST_F(TPackageTest, ControlFieldsAndDependencies) {
    EXPECT_EQ(Field("Package"), "tabulon");
    EXPECT_EQ(Field("Version"), TABULON_VERSION);
    EXPECT_EQ(Field("Section"), "database");
    EXPECT_EQ(Field("Priority"), "optional");
    EXPECT_NE(Field("Maintainer").find('<'), std::string::npos) << Field("Maintainer");
    EXPECT_NE(Field("Description").find("\n "), std::string::npos) << "a long description";
    // Computed from the libraries the program links.
    const std::string depends = Field("Depends");
    for (const char* lib :
         {"libc6 (", "libstdc++6 (", "libqt6core6 (", "libicu", "libjpeg62-turbo", "pxlib1"})
        EXPECT_NE(depends.find(lib), std::string::npos) << lib << " in " << depends;
    EXPECT_EQ(depends.find("libgtest"), std::string::npos) << depends;
    EXPECT_EQ(Field("Recommends"), "libodbc2, xdg-utils");
    // dpkg's triggers refresh the desktop's caches: no maintainer scripts.
    TRunResult control = RunProgram({"dpkg-deb", "-I", Deb.string()});
    for (const char* script : {"postinst", "postrm", "preinst", "prerm"})
        EXPECT_EQ(control.Out.find(script), std::string::npos) << script;
}

TEST_F(TPackageTest, HoldsTheInstalledFilesUnderUsrOwnedByRoot) {
    TRunResult list = RunProgram({"dpkg-deb", "-c", Deb.string()});
    ASSERT_EQ(list.Status, 0) << list.Err;
    std::set<std::string> files;
    std::istringstream lines(list.Out);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_NE(line.find(" root/root "), std::string::npos) << line;
        const size_t path = line.find(" ./");
        ASSERT_NE(path, std::string::npos) << line;
        if (line[0] != 'd') files.insert(line.substr(path + 3));
    }
    std::set<std::string> expected;
    for (const std::string& f : ExpectedInstalledFiles())
        expected.insert("usr/" + f);
    EXPECT_EQ(files, expected);

    ASSERT_EQ(RunProgram({"dpkg-deb", "-x", Deb.string(), Dir.string()}).Status, 0);
    TRunResult file = RunProgram({"file", "-b", (Dir / "usr/bin/tabulx").string()});
    EXPECT_NE(file.Out.find(", stripped"), std::string::npos) << file.Out;
}

TEST_F(TPackageTest, LintianFindsNoErrorsOrWarnings) {
    if (!HaveProgram("lintian")) GTEST_SKIP() << "lintian is not installed";
    TRunResult r = RunProgram({"lintian", "--fail-on", "error,warning", Deb.string()});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
}

// dpkg with a database of its own in a scratch root: the package goes in,
// the program there runs from its own files, and a purge leaves nothing.
TEST_F(TPackageTest, InstallsIntoAScratchRootAndLeavesNothingWhenPurged) {
    if (geteuid() != 0 && !HaveProgram("fakeroot")) GTEST_SKIP() << "neither root nor fakeroot";
    const fs::path root = Dir / "root";
    for (const char* d : {"var/lib/dpkg/updates", "var/lib/dpkg/info", "var/lib/dpkg/triggers"})
        fs::create_directories(root / d);
    std::ofstream(root / "var/lib/dpkg/status").close();
    const std::string rootOption = "--root=" + root.string();
    // The libraries are the host's, so the root's empty database lacks them.
    TRunResult in =
        RunProgram(Dpkg({rootOption, "--force-depends", "--force-not-root", "-i", Deb.string()}));
    ASSERT_EQ(in.Status, 0) << in.Out << in.Err;
    TRunResult status = RunProgram(Dpkg({rootOption, "-s", "tabulon"}));
    EXPECT_NE(status.Out.find("Status: install ok installed"), std::string::npos) << status.Out;

    auto outsideDpkg = [&] {
        std::set<std::string> files;
        for (const std::string& f : FilesUnder(root))
            if (f.rfind("var/lib/dpkg/", 0) != 0) files.insert(f);
        return files;
    };
    std::set<std::string> expected;
    for (const std::string& f : ExpectedInstalledFiles())
        expected.insert("usr/" + f);
    EXPECT_EQ(outsideDpkg(), expected);

    TRunOptions o;
    o.Env = {{"XDG_CONFIG_HOME", (Dir / "config").string()},
             {"DISPLAY", std::nullopt},
             {"WAYLAND_DISPLAY", std::nullopt}};
    const fs::path program = root / "usr/bin/tabulx";
    TRunResult help = RunProgram({program.string(), "--help"}, o);
    EXPECT_EQ(help.Status, 0) << help.Err;
    EXPECT_NE(help.Out.find("Sample tables: " + (root / "usr/share/tabulon/samples").string()),
              std::string::npos)
        << help.Out;
    TRunResult exported = RunProgram({program.string(), "-export",
                                      (root / "usr/share/tabulon/samples/orders.db").string(),
                                      (Dir / "orders.xml").string()},
                                     o);
    EXPECT_EQ(exported.Status, 0) << exported.Err;
    EXPECT_EQ(exported.Out, "24 records have been copied.\n");

    TRunResult out = RunProgram(Dpkg({rootOption, "--force-not-root", "--purge", "tabulon"}));
    ASSERT_EQ(out.Status, 0) << out.Out << out.Err;
    const std::set<std::string> left = outsideDpkg();
    EXPECT_TRUE(left.empty()) << *left.begin();
    EXPECT_FALSE(fs::exists(root / "usr")) << "the folders the package made are gone too";
}

// apt's resolver over Debian's archive as the host's lists hold it, for a
// system where nothing is installed yet: every dependency can be had.
TEST_F(TPackageTest, AFreshSystemCanSatisfyTheDependencies) {
    bool lists = false;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/var/lib/apt/lists", ec))
        lists = lists || e.path().filename().string().find("_Packages") != std::string::npos;
    if (!lists || !HaveProgram("apt-get")) GTEST_SKIP() << "no package lists to resolve against";
    std::ofstream(Dir / "status").close();
    TRunResult r = RunProgram({"apt-get", "-o", "Dir::State::status=" + (Dir / "status").string(),
                               "-o", "Debug::NoLocking=1", "--simulate", "--no-install-recommends",
                               "install", Deb.string()});
    EXPECT_EQ(r.Status, 0) << r.Out << r.Err;
    for (const char* pkg : {"Inst libqt6core6 ", "Inst pxlib1 ", "Inst tabulon "})
        EXPECT_NE(r.Out.find(pkg), std::string::npos) << pkg << "\n" << r.Out;
}

// Where the program finds its own files, in made-up trees: installed,
// built, moved, linked, and with nothing there.
#include "shell/ProgramFiles.h"
#include "shell/InfoRequest.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class TProgramFilesTest : public ::testing::Test {
protected:
    TTempFolder Folder{"program-files"};
    const fs::path Dir = fs::canonical(Folder.Path());

    // A file at `rel`, its folders made.
    fs::path Touch(const std::string& rel) {
        fs::create_directories((Dir / rel).parent_path());
        std::ofstream(Dir / rel) << "x";
        return Dir / rel;
    }
    // An installation under `prefix` with everything the program looks for.
    fs::path InstallUnder(const std::string& prefix) {
        Touch(prefix + "/share/tabulon/samples/customers.dbf");
        Touch(prefix + "/share/tabulon/help/index.html");
        Touch(prefix + "/share/icons/hicolor/scalable/apps/tabulon.svg");
        return Touch(prefix + "/bin/tabulx");
    }
};
} // namespace

TEST_F(TProgramFilesTest, AnInstalledProgramFindsEverythingUnderItsPrefix) {
    TProgramFiles files(InstallUnder("usr"));
    EXPECT_EQ(files.DataDir(), Dir / "usr/share/tabulon");
    EXPECT_EQ(files.SamplesDir(), Dir / "usr/share/tabulon/samples");
    EXPECT_EQ(files.HelpPage(), Dir / "usr/share/tabulon/help/index.html");
    EXPECT_EQ(files.IconFile(), Dir / "usr/share/icons/hicolor/scalable/apps/tabulon.svg");

    // Under another prefix, and after the tree was moved, each finds its own.
    TProgramFiles local(InstallUnder("opt/x/local"));
    EXPECT_EQ(local.DataDir(), Dir / "opt/x/local/share/tabulon");
    fs::rename(Dir / "opt/x", Dir / "moved");
    EXPECT_EQ(TProgramFiles(Dir / "moved/local/bin/tabulx").DataDir(),
              Dir / "moved/local/share/tabulon");
}

TEST_F(TProgramFilesTest, TheBuildTreeStagesItsFilesBesideTheProgramsFolder) {
    const fs::path program = Touch("build/tabulx/tabulx");
    Touch("build/share/tabulon/samples/orders.db");
    TProgramFiles files(program);
    EXPECT_EQ(files.SamplesDir(), Dir / "build/share/tabulon/samples");
    EXPECT_EQ(files.HelpPage(), fs::path()) << "no help staged, none offered";
    EXPECT_EQ(files.IconFile(), fs::path());
}

TEST_F(TProgramFilesTest, ALinkLeadsToTheFilesOfTheProgramItNames) {
    const fs::path program = InstallUnder("opt/tabulon");
    // A decoy where the link's own folder would lead.
    Touch("usr/local/share/tabulon/samples/decoy.dbf");
    fs::create_directories(Dir / "usr/local/bin");
    fs::create_symlink(program, Dir / "usr/local/bin/tabulx");
    EXPECT_EQ(TProgramFiles(Dir / "usr/local/bin/tabulx").DataDir(),
              Dir / "opt/tabulon/share/tabulon");
}

TEST_F(TProgramFilesTest, NothingInstalledGivesEmptyPathsNotGuesses) {
    EXPECT_EQ(TProgramFiles(Touch("bin/tabulx")).DataDir(), fs::path());
    // A data folder without samples or help offers neither.
    fs::create_directories(Dir / "p/share/tabulon/help");
    TProgramFiles bare(Touch("p/bin/tabulx"));
    EXPECT_EQ(bare.DataDir(), Dir / "p/share/tabulon");
    EXPECT_EQ(bare.SamplesDir(), fs::path());
    EXPECT_EQ(bare.HelpPage(), fs::path()) << "a help folder without its page";
    // No program path at all (no /proc, no application object): not the
    // current folder's neighbours.
    const fs::path cwd = fs::current_path();
    InstallUnder("here");
    fs::current_path(Dir / "here/bin");
    TProgramFiles none{fs::path()};
    fs::current_path(cwd);
    EXPECT_EQ(none.DataDir(), fs::path());
}

TEST_F(TProgramFilesTest, TheRunningProgramIsThisTest) {
    EXPECT_EQ(TProgramFiles::RunningProgram().filename(), "tabulon_shell_tests");
}

TEST(TInfoRequestTest, OnlyTheOneParameterSpelledSo) {
    EXPECT_EQ(InfoRequestOf({"--help"}), irHelp);
    EXPECT_EQ(InfoRequestOf({"--version"}), irVersion);
    for (const std::vector<std::string>& other :
         std::vector<std::vector<std::string>>{{},
                                               {"--help", "orders.dbf"},
                                               {"orders.dbf", "--version"},
                                               {"--HELP"},
                                               {"-help"},
                                               {"/help"},
                                               {"-h"},
                                               {"--help "},
                                               {"./--help"}})
        EXPECT_EQ(InfoRequestOf(other), irNone) << (other.empty() ? "" : other[0]);
}

TEST_F(TProgramFilesTest, TheHelpNamesTheFilesThatAreThere) {
    const std::string none = HelpText(TProgramFiles(Touch("bin/tabulx")), "/home/u/Tabulon.conf");
    EXPECT_NE(none.find("\nSettings:      /home/u/Tabulon.conf\n"), std::string::npos) << none;
    EXPECT_EQ(none.find("Sample tables:"), std::string::npos);
    EXPECT_EQ(none.find("Help page:"), std::string::npos);

    const std::string all = HelpText(TProgramFiles(InstallUnder("usr")), "s.conf");
    EXPECT_NE(all.find("\nSample tables: " + (Dir / "usr/share/tabulon/samples").string() + "\n"),
              std::string::npos)
        << all;
    EXPECT_NE(
        all.find("\nHelp page:     " + (Dir / "usr/share/tabulon/help/index.html").string() + "\n"),
        std::string::npos)
        << all;
    // Every option the command line accepts is explained.
    for (const char* option :
         {"-export", "-exporttype=", "-separator=", "-codepage=", "-ado", "-closeafter"})
        EXPECT_NE(none.find(std::string("\n  ") + option), std::string::npos) << option;
    // Terminal-wide lines.
    size_t start = 0;
    for (size_t end; (end = none.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << none.substr(start, end - start);
    EXPECT_TRUE(std::regex_match(VersionText(),
                                 std::regex("tabulx \\(Tabulon\\) [0-9]+\\.[0-9]+(\\.[0-9]+)*\n")))
        << VersionText();
}

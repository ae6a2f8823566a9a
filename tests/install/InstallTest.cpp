// An installation into a scratch prefix, as `cmake --install` makes it:
// its files, the program run from there, --help and --version, the manual
// page, and the file types and menu entry read by the desktop's own tools
// from a scratch MIME database.
#include "data/drivers/dbf/DbfWriter.h"
#include "data/drivers/paradox/ParadoxWriter.h"
#include "tests/install/InstalledFiles.h"
#include "tests/install/ProcessRun.h"

#include <QMimeDatabase>
#include <QString>
#include <cstdint>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
const fs::path BuildDir = TABULON_BUILD_DIR;
const std::string Version = TABULON_VERSION;

class TInstallTest : public ::testing::Test {
protected:
    static inline fs::path Prefix;
    static inline TRunResult Install;

    static void SetUpTestSuite() {
        Prefix = MakeScratchDir("tabulon-prefix");
        Install = RunProgram(
            {CMAKE_COMMAND_PATH, "--install", BuildDir.string(), "--prefix", Prefix.string()});
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(Prefix, ec);
    }

    fs::path Dir; // a scratch folder of each test
    void SetUp() override {
        ASSERT_EQ(Install.Status, 0) << Install.Out << Install.Err;
        Dir = MakeScratchDir("tabulon-install-test");
        fs::create_directories(Dir / "config");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }

    fs::path Installed(const std::string& rel) const { return Prefix / rel; }
    fs::path Program() const { return Installed(TABULON_BINDIR "/tabulx"); }
    fs::path Samples() const { return Installed(TABULON_DATADIR "/tabulon/samples"); }
    fs::path Share() const { return Installed(TABULON_DATAROOTDIR); }

    // The program without a display, with settings of its own.
    TRunResult Tabulx(const fs::path& program, const std::vector<std::string>& args,
                      const fs::path& cwd = {}, const fs::path& out = {}) const {
        std::vector<std::string> argv{program.string()};
        argv.insert(argv.end(), args.begin(), args.end());
        TRunOptions o;
        o.Cwd = cwd;
        o.Stdout = out;
        o.Env = {{"XDG_CONFIG_HOME", (Dir / "config").string()},
                 {"HOME", Dir.string()},
                 {"DISPLAY", std::nullopt},
                 {"WAYLAND_DISPLAY", std::nullopt}};
        return RunProgram(argv, o);
    }

    // The desktop's tools see the installed files first, then the system's,
    // and no user's own choices.
    TRunOptions Desktop(bool installed = true) const {
        TRunOptions o;
        o.Env = {{"XDG_DATA_DIRS", installed ? Share().string() + ":/usr/share" : "/usr/share"},
                 {"XDG_DATA_HOME", (Dir / "home-data").string()},
                 {"XDG_CONFIG_HOME", (Dir / "config").string()},
                 {"XDG_CURRENT_DESKTOP", "GNOME"},
                 {"PATH", Program().parent_path().string() + ":" + std::getenv("PATH")}};
        return o;
    }
    void UpdateMimeDatabase() const {
        TRunResult r = RunProgram({"update-mime-database", (Share() / "mime").string()}, Desktop());
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(r.Err, "") << "the MIME XML has faults the database tool reports";
    }
    std::string FileType(const fs::path& file, bool installed = true) const {
        TRunResult r =
            RunProgram({"xdg-mime", "query", "filetype", file.string()}, Desktop(installed));
        EXPECT_EQ(r.Status, 0) << file << ": " << r.Err;
        return r.Out.substr(0, r.Out.find('\n'));
    }
};

// A small dBase table written by the project's own writer.
void WriteTable(const fs::path& path) {
    TDbfWriter::Write(path.string(), dvDBase3, {{"ID", 'N', 4, 0}, {"NAME", 'C', 10, 0}},
                      {{TValue::OfInt(1), TValue::OfText("one")},
                       {TValue::OfInt(2), TValue::OfText("two")},
                       {TValue::OfInt(3), TValue::OfText("three")}},
                      1252);
}

// Width and height from a PNG's header.
std::pair<uint32_t, uint32_t> PngSize(const fs::path& png) {
    std::string bytes = ReadWhole(png);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be32 = [&](size_t at) {
        uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i)
            v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}
} // namespace

TEST_F(TInstallTest, HoldsTheProgramItsDataAndItsDesktopFilesOnly) {
    EXPECT_EQ(FilesUnder(Prefix), ExpectedInstalledFiles());
    for (const std::string& rel : ExpectedInstalledFiles()) {
        struct stat st {};
        ASSERT_EQ(lstat(Installed(rel).c_str(), &st), 0) << rel;
        const bool program = rel == TABULON_BINDIR "/tabulx";
        EXPECT_EQ((st.st_mode & 0111) == 0111, program) << rel << " executable: " << !program;
        EXPECT_EQ(st.st_mode & 0444, 0444u) << rel << " is readable by everyone";
    }
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string n = std::to_string(size);
        auto [w, h] = PngSize(Share() / "icons/hicolor" / (n + "x" + n) / "apps/tabulon.png");
        EXPECT_EQ(w, static_cast<uint32_t>(size));
        EXPECT_EQ(h, static_cast<uint32_t>(size));
    }
}

TEST_F(TInstallTest, TheInstalledProgramFindsItsDataAndExports) {
    TRunResult help = Tabulx(Program(), {"--help"});
    EXPECT_EQ(help.Status, 0) << help.Err;
    EXPECT_NE(help.Out.find("Sample tables: " + Samples().string() + "\n"), std::string::npos)
        << help.Out;

    TRunResult r = Tabulx(Program(), {"-export", (Samples() / "customers.dbf").string(),
                                      (Dir / "customers.htm").string()});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "5 records have been copied.\n");
    EXPECT_NE(ReadWhole(Dir / "customers.htm").find("Chloé Dupré"), std::string::npos)
        << "the memo file came along";
    TRunResult paradox = Tabulx(
        Program(), {"-export", (Samples() / "orders.db").string(), (Dir / "orders.txt").string()});
    EXPECT_EQ(paradox.Status, 0) << paradox.Err;
    EXPECT_EQ(paradox.Out, "24 records have been copied.\n");

    // A copy of the whole tree elsewhere reads its own data; a link to the
    // program reads the data of the program it leads to.
    const fs::path moved = Dir / "moved prefix";
    fs::copy(Prefix, moved, fs::copy_options::recursive);
    TRunResult there = Tabulx(moved / TABULON_BINDIR / "tabulx", {"--help"});
    EXPECT_NE(
        there.Out.find("Sample tables: " + (moved / TABULON_DATADIR "/tabulon/samples").string()),
        std::string::npos)
        << there.Out;
    fs::create_directories(Dir / "share/tabulon/samples"); // a decoy beside the link
    fs::create_directories(Dir / "links");
    fs::create_symlink(Program(), Dir / "links/tabulx");
    TRunResult linked = Tabulx(Dir / "links/tabulx", {"--help"});
    EXPECT_NE(linked.Out.find("Sample tables: " + Samples().string() + "\n"), std::string::npos)
        << linked.Out;
}

// The user's help: installed with what it links, named by --help, nothing
// fetched from elsewhere, and naming every option that --help lists, so that
// a new option cannot go undocumented.
TEST_F(TInstallTest, TheHelpPageIsInstalledWholeAndNamesEveryOptionOfTheUsage) {
    const fs::path page = Installed(TABULON_DATADIR "/tabulon/help/index.html");
    ASSERT_TRUE(fs::is_regular_file(page));
    const std::string html = ReadWhole(page);
    const std::regex link(R"re((?:href|src)="([^"]*)")re");
    int files = 0;
    for (auto m = std::sregex_iterator(html.begin(), html.end(), link); m != std::sregex_iterator();
         ++m) {
        const std::string target = (*m)[1];
        if (target.empty() || target[0] == '#') continue;
        ++files;
        EXPECT_EQ(target.find(':'), std::string::npos) << "not a file beside it: " << target;
        EXPECT_TRUE(fs::is_regular_file(page.parent_path() / target)) << target;
    }
    EXPECT_GE(files, 1) << "the style sheet";

    TRunResult help = Tabulx(Program(), {"--help"});
    ASSERT_EQ(help.Status, 0) << help.Err;
    EXPECT_NE(help.Out.find("Help page:     " + page.string() + "\n"), std::string::npos)
        << help.Out;
    // The options: the words of the usage that start with - or --.
    std::set<std::string> options;
    const std::regex option(R"re((?:^|[\s\[|(,])(--?[a-z]+=?))re");
    for (auto m = std::sregex_iterator(help.Out.begin(), help.Out.end(), option);
         m != std::sregex_iterator(); ++m)
        options.insert((*m)[1]);
    EXPECT_GE(options.size(), 9u) << help.Out;
    for (const std::string& o : options) {
        // As code of its own: "-e" is not found inside "-export".
        const std::regex named("<code>" + o + (o.back() == '=' ? "" : "(?![a-z])"));
        EXPECT_TRUE(std::regex_search(html, named)) << o << " is not in the help page";
    }
}

// --help and --version, from the build tree and installed, and what they
// leave to the table names they could clash with.
TEST_F(TInstallTest, HelpAndVersionAnswerAloneAndLeaveTablesOfTheirNames) {
    struct TProgram {
        fs::path Path;
        fs::path Samples;
    } programs[] = {{TABULX_PATH, BuildDir / "share/tabulon/samples"}, {Program(), Samples()}};
    for (const TProgram& p : programs) {
        SCOPED_TRACE(p.Path.string());
        TRunResult version = Tabulx(p.Path, {"--version"});
        EXPECT_EQ(version.Status, 0);
        EXPECT_EQ(version.Out, "tabulx (Tabulon) " + Version + "\n");
        EXPECT_EQ(version.Err, "");

        TRunResult help = Tabulx(p.Path, {"--help"});
        EXPECT_EQ(help.Status, 0);
        EXPECT_EQ(help.Out.rfind("Usage: tabulx [-codepage=PAGE] TABLE-FILE\n", 0), 0u) << help.Out;
        for (const char* option : {"-export, -e", "-exporttype=TYPE", "-separator=TEXT",
                                   "-separator=#CODE", "-ado", "-closeafter", "--version"})
            EXPECT_NE(help.Out.find(option), std::string::npos) << option;
        EXPECT_NE(
            help.Out.find("Settings:      " + (Dir / "config/Kessmark/Tabulon.conf").string()),
            std::string::npos)
            << help.Out;
        EXPECT_NE(help.Out.find("Sample tables: " + p.Samples.string() + "\n"), std::string::npos)
            << help.Out;
        EXPECT_EQ(help.Err, "");
        EXPECT_TRUE(FilesUnder(Dir / "config").empty()) << "--help wrote the settings";

        // A full disk is a failure, not a help shown.
        TRunResult full = Tabulx(p.Path, {"--help"}, {}, "/dev/full");
        EXPECT_EQ(full.Status, 1);
        EXPECT_NE(full.Err.find("cannot write to standard output"), std::string::npos) << full.Err;
    }

    // Anything beside them, or another spelling, names a table as before.
    TRunResult two = Tabulx(TABULX_PATH, {"--help", "me"});
    EXPECT_EQ(two.Status, 1);
    EXPECT_NE(two.Err.find("File does not exist:\n\n--help me"), std::string::npos) << two.Err;
    TRunResult upper = Tabulx(TABULX_PATH, {"--HELP"});
    EXPECT_EQ(upper.Status, 1);
    EXPECT_NE(upper.Err.find("File does not exist:\n\n--HELP"), std::string::npos) << upper.Err;

    // Help stays help beside a file of its name; a table of a longer name
    // opens, and one whose name starts with "-" is named by a path.
    WriteTable(Dir / "--help");
    EXPECT_EQ(Tabulx(TABULX_PATH, {"--help"}, Dir).Out.rfind("Usage: tabulx", 0), 0u);
    WriteTable(Dir / "--help.dbf");
    TRunResult open = Tabulx(TABULX_PATH, {"--help.dbf"}, Dir);
    EXPECT_EQ(open.Status, 0) << open.Err;
    EXPECT_EQ(open.Out, "--help.dbf: 3 records\n");
    WriteTable(Dir / "-old.dbf");
    TRunResult exported = Tabulx(TABULX_PATH, {"-export", "./-old.dbf", "old.txt"}, Dir);
    EXPECT_EQ(exported.Status, 0) << exported.Err;
    EXPECT_EQ(ReadWhole(Dir / "old.txt").substr(0, 14), "ID\tNAME\r\n1\tone");
    TRunResult asOption = Tabulx(TABULX_PATH, {"-export", "-old.dbf", "old2.txt"}, Dir);
    EXPECT_EQ(asOption.Status, 1) << "-old.dbf is an unknown option, and ignored";
    EXPECT_FALSE(fs::exists(Dir / "old2.txt"));
}

TEST_F(TInstallTest, TheManualPageShowsWithoutWarnings) {
    if (!HaveProgram("man")) GTEST_SKIP() << "man is not installed";
    const fs::path page = Installed(TABULON_MANDIR "/man1/tabulx.1.gz");
    TRunOptions o;
    o.Env = {{"MANWIDTH", "80"}, {"MANPAGER", "cat"}, {"LC_ALL", "C.UTF-8"}};
    TRunResult r = RunProgram({"man", "--warnings", "-l", page.string()}, o);
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Err, "");
    for (const char* section : {"NAME", "SYNOPSIS", "OPTIONS", "EXIT STATUS", "FILES", "EXAMPLES"})
        EXPECT_NE(r.Out.find(std::string("\n") + section + "\n"), std::string::npos) << section;
    EXPECT_NE(r.Out.find("Tabulon " + Version), std::string::npos);

    // `man tabulx` finds it in the prefix's manual folder.
    o.Env.push_back({"MANPATH", Installed(TABULON_MANDIR).string()});
    TRunResult where = RunProgram({"man", "-w", "tabulx"}, o);
    EXPECT_EQ(where.Status, 0) << where.Err;
    EXPECT_EQ(where.Out, page.string() + "\n");
}

// The file types as GIO reads them (GNOME, Xfce, Cinnamon, MATE file
// managers, through xdg-mime): tables by their extension, Paradox by its
// header whatever its name, other .db files not as Paradox.
TEST_F(TInstallTest, FileTypesComeFromTheScratchDatabase) {
    if (!HaveProgram("xdg-mime") || !HaveProgram("gio")) GTEST_SKIP() << "xdg-utils or gio missing";
    UpdateMimeDatabase();
    const fs::path f = Dir / "files";
    fs::create_directories(f);
    for (const char* s :
         {"customers.dbf", "orders.db", "orders.mb", "orders.px", "products.csv", "stock.txt"})
        fs::copy_file(Samples() / s, f / s);
    fs::copy_file(Samples() / "orders.db", f / "orders-without-extension");
    fs::copy_file(Samples() / "orders.db", f / "ORDERS.DB");
    std::ofstream(f / "stock.tab") << "ID\tNAME\r\n1\tone\r\n";
    std::ofstream(f / "stock.asc") << "ID,NAME\r\n1,one\r\n";
    std::ofstream(f / "notes.db") << "not a table at all\n";
    std::string sqlite("SQLite format 3\0", 16);
    sqlite.append(4080, '\0');
    std::ofstream(f / "cache.db", std::ios::binary) << sqlite;
    std::string noise;
    for (uint32_t x = 12345, i = 0; i < 4096; ++i)
        noise += static_cast<char>((x = x * 1103515245 + 12345) >> 24);
    std::ofstream(f / "noise.db", std::ios::binary) << noise;

    // Paradox tables of other versions, block sizes and kinds (keyed or not);
    // the project's writer makes no Paradox 3 tables.
    struct TVariant {
        const char* Name;
        int Version, BlockCode, Keys;
    } variants[] = {
        {"p7.db", 70, 0, 1}, {"p5.db", 50, 2, 0}, {"p4.db", 40, 4, 0}, {"p45.db", 45, 1, 1}};
    for (const TVariant& v : variants) {
        TParadoxWriter w((f / v.Name).string(), {{"ID", 'I'}, {"NAME", 'A', 20}}, v.Keys);
        w.SetVersion(v.Version);
        w.SetBlockSizeCode(v.BlockCode);
        w.AddRecord({TValue::OfInt(1), TValue::OfText("one")});
        w.Finish();
    }

    const std::pair<const char*, const char*> expected[] = {
        {"customers.dbf", "application/x-dbf"},
        {"orders.db", "application/x-paradox"},
        {"ORDERS.DB", "application/x-paradox"},
        {"orders-without-extension", "application/x-paradox"},
        {"p7.db", "application/x-paradox"},
        {"p5.db", "application/x-paradox"},
        {"p4.db", "application/x-paradox"},
        {"p45.db", "application/x-paradox"},
        {"products.csv", "text/csv"},
        {"stock.txt", "text/plain"},
        {"stock.asc", "text/plain"},
        {"stock.tab", "text/tab-separated-values"},
        {"cache.db", "application/vnd.sqlite3"},
    };
    for (const auto& [name, type] : expected)
        EXPECT_EQ(FileType(f / name), type) << name;
    for (const char* other : {"orders.mb", "orders.px", "notes.db", "noise.db"})
        EXPECT_NE(FileType(f / other), "application/x-paradox") << other;
    // Without the installed types the system knows neither Paradox nor .tab.
    EXPECT_NE(FileType(f / "orders.db", false), "application/x-paradox");
    EXPECT_NE(FileType(f / "stock.tab", false), "text/tab-separated-values");
}

// Qt's reading of the same database (KDE's Dolphin, Qt's file dialogs).
TEST_F(TInstallTest, QtReadsTheSameTypes) {
    UpdateMimeDatabase();
    // Before the process's first look at the database.
    setenv("XDG_DATA_DIRS", (Share().string() + ":/usr/share").c_str(), 1);
    setenv("XDG_DATA_HOME", (Dir / "home-data").c_str(), 1);
    QMimeDatabase db;
    auto typeOf = [&](const fs::path& p) {
        return db.mimeTypeForFile(QString::fromStdString(p.string())).name().toStdString();
    };
    EXPECT_EQ(typeOf(Samples() / "orders.db"), "application/x-paradox");
    EXPECT_EQ(typeOf(Samples() / "customers.dbf"), "application/x-dbf");
    EXPECT_EQ(typeOf(Samples() / "products.csv"), "text/csv");
    std::ofstream(Dir / "t.tab") << "a\tb\n";
    EXPECT_EQ(typeOf(Dir / "t.tab"), "text/tab-separated-values");
    EXPECT_NE(typeOf(Samples() / "orders.px"), "application/x-paradox");
}

// The menu entry opens the table types from the file manager: the desktop's
// cache lists it for each, and GIO offers it (plain text stays with the
// text editors: most .txt files are no tables).
TEST_F(TInstallTest, TheMenuEntryIsOfferedForTheTableTypes) {
    if (!HaveProgram("update-desktop-database") || !HaveProgram("gio"))
        GTEST_SKIP() << "desktop-file-utils or gio missing";
    UpdateMimeDatabase();
    TRunResult cache = RunProgram({"update-desktop-database", (Share() / "applications").string()});
    ASSERT_EQ(cache.Status, 0) << cache.Err;
    auto registered = [&](const char* type) {
        TRunResult r = RunProgram({"gio", "mime", type}, Desktop());
        size_t from = r.Out.find("Registered applications:");
        size_t to = r.Out.find("Recommended applications:");
        return from != std::string::npos &&
               r.Out.substr(from, to - from).find("\ttabulon.desktop\n") != std::string::npos;
    };
    for (const char* type :
         {"application/x-dbf", "application/x-paradox", "text/csv", "text/tab-separated-values"})
        EXPECT_TRUE(registered(type)) << type;
    EXPECT_FALSE(registered("text/plain"));
    TRunResult def =
        RunProgram({"xdg-mime", "query", "default", "application/x-paradox"}, Desktop());
    EXPECT_EQ(def.Out, "tabulon.desktop\n") << def.Err;
}

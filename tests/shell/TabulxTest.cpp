// The program run as a user runs it without a display: exit status,
// messages and the files it writes.
#include "data/DbfWriter.h"
#include "data/FormatSettings.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
struct TRun {
    int Status = -1;
    std::string Out, Err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class TTabulxFixture : public ::testing::Test {
protected:
    fs::path Dir;
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "tabulx-test-XXXXXX").string();
        Dir = mkdtemp(tmpl.data());
        fs::create_directories(Dir / "config");
        std::vector<TDbfFieldSpec> fields = {{"ID", 'N', 6, 0}, {"NAME", 'C', 20, 0}, {"NOTE", 'M', 10, 0}};
        std::vector<std::vector<TValue>> rows;
        for (int i = 1; i <= 250; ++i)
            rows.push_back({TValue::OfInt(i), TValue::OfText(i == 2 ? "Zoë, Ærø" : "N" + std::to_string(i)),
                            i % 2 ? TValue::OfText("memo") : TValue::Null()});
        TDbfWriter::Write((Dir / "orders.dbf").string(), dvDBase3, fields, rows, 1252);
    }
    void TearDown() override { fs::remove_all(Dir); }

    // Runs the program with a settings folder of its own and no display.
    TRun Tabulx(const std::vector<std::string>& args) {
        fs::path out = Dir / "stdout", err = Dir / "stderr";
        pid_t pid = fork();
        if (pid == 0) {
            setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
            setenv("HOME", Dir.c_str(), 1);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(126);
            std::vector<char*> argv{const_cast<char*>(TABULX_PATH)};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(TABULX_PATH, argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        TRun r;
        r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.Out = Slurp(out);
        r.Err = Slurp(err);
        return r;
    }
    std::string P(const char* name) const { return (Dir / name).string(); }
};
} // namespace

TEST_F(TTabulxFixture, ExportsWithAnAbsolutePathAndSaysHowMany) {
    TRun r = Tabulx({"-export", P("orders.dbf"), P("orders.txt")});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "250 records have been copied.\n");
    std::string doc = Slurp(Dir / "orders.txt");
    EXPECT_EQ(doc.substr(0, 19), "ID\tNAME\tNOTE\r\n1\tN1\t");
    EXPECT_NE(doc.find("2\tZoë, Ærø\t(Memo)\r\n"), std::string::npos) << "text comes back in UTF-8";
    EXPECT_FALSE(fs::exists(Dir / "orders.txt.partial"));
}

TEST_F(TTabulxFixture, SeparatorCodeAndSlashOptions) {
    TRun r = Tabulx({"/EXPORT", P("orders.dbf"), P("orders.dat"), "-separator=#59", "-closeafter"});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "") << "close-after shows no result";
    EXPECT_EQ(Slurp(Dir / "orders.dat").substr(0, 13), "ID;NAME;NOTE\r");
    // The separator and format stay in the settings for the next run.
    std::string ini = Slurp(Dir / "config" / "Kessmark" / "Tabulon.conf");
    EXPECT_NE(ini.find("Separator=\";\""), std::string::npos) << ini;
    EXPECT_NE(ini.find("FormatType=0"), std::string::npos) << ini;
}

TEST_F(TTabulxFixture, ErrorsTellTheTruth) {
    TRun missing = Tabulx({"-ado", P("missing.dbf")});
    EXPECT_NE(missing.Status, 0);
    EXPECT_EQ(missing.Err, "tabulx: Errors in command line.\nFile does not exist:\n\n" + P("missing.dbf") + "\n");

    TRun nodest = Tabulx({"-export", P("orders.dbf")});
    EXPECT_NE(nodest.Status, 0);
    EXPECT_EQ(nodest.Err, "tabulx: Errors in command line.\nDestination file name does not specified.\n");

    std::ofstream(P("broken.dbf")) << "not a table";
    TRun broken = Tabulx({"-export", P("broken.dbf"), P("broken.txt")});
    EXPECT_NE(broken.Status, 0);
    EXPECT_NE(broken.Err.find("broken.dbf"), std::string::npos) << broken.Err;
    EXPECT_FALSE(fs::exists(Dir / "broken.txt"));

    TRun nowhere = Tabulx({"-export", P("orders.dbf"), P("no/such/dir/o.txt")});
    EXPECT_NE(nowhere.Status, 0);
    EXPECT_NE(nowhere.Err.find("no/such/dir"), std::string::npos) << nowhere.Err;
}

TEST_F(TTabulxFixture, OpeningWithoutExportReportsTheTable) {
    TRun r = Tabulx({P("orders.dbf")});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, P("orders.dbf") + ": 250 records\n");
    TRun none = Tabulx({});
    EXPECT_EQ(none.Status, 2);
    EXPECT_NE(none.Err.find("usage"), std::string::npos);
}

TEST_F(TTabulxFixture, EachFormatFromTheTypeOrTheExtension) {
    struct TCase {
        const char* Dest;
        const char* Type;
        std::string Starts;
    };
    const TCase cases[] = {
        {"o.htm", "", "<"},
        {"o.xml", "", "<?xml"},
        {"o.rtf", "", "{\\rtf0\\ansi"},
        {"o.xls", "", std::string("\x09\x08", 2)},
        {"o.txt", "-exporttype=xls", std::string("\x09\x08", 2)},
        {"o.dat", "", "ID\tNAME"},
    };
    for (const TCase& c : cases) {
        std::vector<std::string> args = {"-export", P("orders.dbf"), P(c.Dest)};
        if (*c.Type) args.push_back(c.Type);
        TRun r = Tabulx(args);
        EXPECT_EQ(r.Status, 0) << c.Dest << ": " << r.Err;
        EXPECT_EQ(r.Out, "250 records have been copied.\n") << c.Dest;
        std::string doc = Slurp(Dir / c.Dest);
        EXPECT_EQ(doc.substr(0, c.Starts.size()), c.Starts) << c.Dest;
        EXPECT_NE(doc.find("250"), std::string::npos) << c.Dest << " holds the last record";
    }
}

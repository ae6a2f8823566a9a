// The program run from the command line against destinations that an
// export must not destroy: the table itself, standard output, a folder,
// and an interruption half-way.
#include "data/drivers/dbf/DbfWriter.h"
#include "tests/support/TempFolder.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string ReadAll(int fd) {
    std::string got;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        got.append(buffer, static_cast<size_t>(n));
    return got;
}

std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct TRun {
    int Status = -1; // as waitpid gives it
    std::string Out, Err;
};

class TDestinationCli : public ::testing::Test {
protected:
    TTempFolder Folder{"tabulx-dest"};
    const fs::path Dir = Folder.Path();
    void SetUp() override {
        fs::create_directories(Dir / "config");
        MakeTable("orders.dbf", 250);
    }

    void MakeTable(const std::string& name, int records, size_t width = 0) {
        TDbfWriter w((Dir / name).string(), dvDBase3,
                     {{"ID", 'N', 8, 0}, {"NAME", 'C', 80, 0}, {"NOTE", 'M', 10, 0}}, 1252);
        const std::string pad(width, 'x');
        for (int i = 1; i <= records; ++i)
            w.AddRecord({TValue::OfInt(i), TValue::OfText("N" + std::to_string(i) + pad),
                         i % 50 ? TValue::Null() : TValue::OfText("memo")});
        w.Finish();
    }

    // Starts the program with its own settings and no display; standard
    // output and error go to the descriptors given.
    pid_t Start(const std::vector<std::string>& args, int out, int err) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
            ::setenv("HOME", Dir.c_str(), 1);
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            if (::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(Dir.c_str()) != 0) ::_exit(126);
            std::vector<char*> argv{const_cast<char*>(TABULX_PATH)};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(TABULX_PATH, argv.data());
            ::_exit(127);
        }
        return pid;
    }
    TRun Tabulx(const std::vector<std::string>& args) {
        const int out = ::open((Dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open((Dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const pid_t pid = Start(args, out, err);
        ::close(out);
        ::close(err);
        TRun r;
        ::waitpid(pid, &r.Status, 0);
        r.Out = Slurp(Dir / "stdout");
        r.Err = Slurp(Dir / "stderr");
        fs::remove(Dir / "stdout");
        fs::remove(Dir / "stderr");
        return r;
    }
    static bool Succeeded(const TRun& r) {
        return WIFEXITED(r.Status) && WEXITSTATUS(r.Status) == 0;
    }
    static bool Failed(const TRun& r) { return WIFEXITED(r.Status) && WEXITSTATUS(r.Status) == 1; }
    std::string P(const std::string& name) const { return (Dir / name).string(); }
};

} // namespace

TEST_F(TDestinationCli, TheTableIsNeverItsOwnDestination) {
    fs::create_symlink("orders.dbf", Dir / "link.dbf");
    fs::create_hard_link(Dir / "orders.dbf", Dir / "hard.dbf");
    const std::string dbf = Slurp(Dir / "orders.dbf"), dbt = Slurp(Dir / "orders.dbt");
    const std::vector<std::string> before = Listing(Dir);
    for (const std::string& dest :
         {std::string("orders.dbf"), std::string("./orders.dbf"), P("orders.dbf"),
          std::string("link.dbf"), std::string("hard.dbf"), std::string("orders.dbt"),
          std::string("ORDERS.MDX")}) {
        const TRun r = Tabulx({"-export", "orders.dbf", dest, "-exporttype=html"});
        EXPECT_TRUE(Failed(r)) << dest << ": " << r.Status;
        EXPECT_NE(r.Err.find("it is a file of the open table"), std::string::npos)
            << dest << ": " << r.Err;
        EXPECT_EQ(r.Out, "") << dest;
    }
    EXPECT_EQ(Slurp(Dir / "orders.dbf"), dbf);
    EXPECT_EQ(Slurp(Dir / "orders.dbt"), dbt);
    EXPECT_EQ(Listing(Dir), before);
}

TEST_F(TDestinationCli, StandardOutputAndDevices) {
    const TRun file = Tabulx({"-export", "orders.dbf", "orders.txt"});
    ASSERT_TRUE(Succeeded(file)) << file.Err;
    const std::string doc = Slurp(Dir / "orders.txt");

    // Into a pipe, as `tabulx -export t.dbf /dev/stdout | gzip` runs it; the
    // result goes to standard error, not into the document.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const int err = ::open((Dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid =
        Start({"-export", "orders.dbf", "/dev/stdout", "-exporttype=txt"}, pipeFds[1], err);
    ::close(pipeFds[1]);
    ::close(err);
    const std::string piped = ReadAll(pipeFds[0]);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Slurp(Dir / "stderr");
    EXPECT_TRUE(piped == doc) << piped.size() << " bytes of " << doc.size();
    EXPECT_EQ(Slurp(Dir / "stderr"), "250 records have been copied.\n");
    EXPECT_TRUE(fs::is_symlink("/dev/stdout") || fs::is_character_file("/dev/stdout"));

    const TRun null = Tabulx({"-export", "orders.dbf", "/dev/null", "-exporttype=html"});
    EXPECT_TRUE(Succeeded(null)) << null.Err;
    EXPECT_EQ(null.Out, "250 records have been copied.\n");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_FALSE(fs::exists("/dev/null_files"));
}

TEST_F(TDestinationCli, AFolderFailsBeforeTheExport) {
    fs::create_directory(Dir / "out");
    const TRun r = Tabulx({"-export", "orders.dbf", "out"});
    EXPECT_TRUE(Failed(r)) << r.Status;
    EXPECT_EQ(r.Err, "tabulx: Cannot create file \"out\": it is a folder\n");
    EXPECT_FALSE(fs::exists(Dir / "out.partial"));
    EXPECT_TRUE(fs::is_empty(Dir / "out"));
}

// Interrupted half-way, the program takes its temporary with it (the
// document written so far stays as the ".partial" of a failed export) and
// ends as the signal ends a program. Its progress goes to a terminal that
// nobody reads, so it waits there, half-way, until the signal comes.
TEST_F(TDestinationCli, AnInterruptedExportLeavesNoTemporary) {
    MakeTable("big.dbf", 300000, 60);
    std::ofstream(Dir / "big.txt") << "old";
    const std::vector<std::string> before = Listing(Dir);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        std::ofstream(Dir / "big.txt") << "old";
        int master = -1, slave = -1;
        ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        const int out = ::open("/dev/null", O_WRONLY);
        const pid_t pid = Start({"-export", "big.dbf", "big.txt"}, out, slave);
        ::close(out);
        ::close(slave);
        // Until the temporary stops growing: the program waits on the terminal.
        fs::path temp;
        uintmax_t size = 0;
        int still = 0;
        for (int i = 0; i < 3000 && still < 10; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            for (const auto& e : fs::directory_iterator(Dir))
                if (std::find(before.begin(), before.end(), e.path().filename().string()) ==
                    before.end())
                    temp = e.path();
            std::error_code ec;
            const uintmax_t now = temp.empty() ? 0 : fs::file_size(temp, ec);
            still = !temp.empty() && now == size ? still + 1 : 0;
            size = now;
        }
        if (temp.empty() || still < 10) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            ::fcntl(master, F_SETFL, O_NONBLOCK);
            char said[4096];
            const ssize_t n = ::read(master, said, sizeof said);
            ::close(master);
            FAIL() << "the export never got under way: " << std::string(said, n > 0 ? n : 0);
        }
        ASSERT_EQ(::kill(pid, sig), 0);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(master);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << ": " << status;
        EXPECT_FALSE(fs::exists(temp)) << sig;
        EXPECT_EQ(Slurp(Dir / "big.txt"), "old") << sig;
        // (The document is far from written: what is written of it stays.)
        ASSERT_TRUE(fs::exists(Dir / "big.txt.partial")) << sig;
        const std::string partial = Slurp(Dir / "big.txt.partial");
        EXPECT_EQ(partial.size(), size) << sig;
        if (!partial.empty()) {
            EXPECT_EQ(partial.substr(0, 14), "ID\tNAME\tNOTE\r\n") << sig;
        }
        fs::remove(Dir / "big.txt.partial");
        EXPECT_EQ(Listing(Dir), before) << sig;
    }
}

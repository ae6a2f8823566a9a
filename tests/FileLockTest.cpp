#include "tests/support/TableFileTestSupport.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/dbf/DbfDriver.h"
#include "data/drivers/dbf/DbfWriter.h"
#include "data/drivers/paradox/ParadoxDriver.h"
#include "data/drivers/paradox/ParadoxWriter.h"
#include "data/drivers/text/TextDriver.h"
#include "data/platform/FileLock.h"
#include "data/platform/MappedFile.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Another process that takes and probes locks on a file on command, each
// through descriptors of its own. Commands are one byte; the answer is
// '1' when the lock was granted, '0' when not.
//   s / x: take a shared / exclusive open-file-description lock (kept)
//   p: take a shared record lock of the process (kept)
//   S / X: only probe whether a shared / exclusive lock would be granted
//   u: let every kept lock go
class TOtherProcess {
public:
    explicit TOtherProcess(const std::string& path) {
        int down[2], up[2];
        if (pipe(down) != 0 || pipe(up) != 0) throw std::runtime_error("pipe");
        fPid = fork();
        if (fPid < 0) throw std::runtime_error("fork");
        if (fPid == 0) {
            ::close(down[1]);
            ::close(up[0]);
            Serve(path, down[0], up[1]);
        }
        ::close(down[0]);
        ::close(up[1]);
        fTo = down[1];
        fFrom = up[0];
    }
    ~TOtherProcess() {
        char q = 'q';
        if (::write(fTo, &q, 1) != 1) kill(fPid, SIGKILL);
        ::close(fTo);
        ::close(fFrom);
        int status;
        waitpid(fPid, &status, 0);
    }
    bool Ask(char command) {
        char answer = 0;
        if (::write(fTo, &command, 1) != 1 || ::read(fFrom, &answer, 1) != 1)
            ADD_FAILURE() << "the other process does not answer";
        return answer == '1';
    }

private:
    static bool Take(int fd, short type, int cmd) {
        struct flock fl;
        std::memset(&fl, 0, sizeof fl);
        fl.l_type = type;
        fl.l_whence = SEEK_SET;
        return fcntl(fd, cmd, &fl) == 0;
    }
    [[noreturn]] static void Serve(const std::string& path, int in, int out) {
        int kept[16];
        int count = 0;
        char c;
        while (::read(in, &c, 1) == 1 && c != 'q') {
            bool ok = false;
            if (c == 'u') {
                for (int i = 0; i < count; ++i)
                    ::close(kept[i]);
                count = 0;
                ok = true;
            } else {
                int fd = ::open(path.c_str(), O_RDWR);
                if (fd >= 0) {
                    short type = c == 'x' || c == 'X' ? F_WRLCK : F_RDLCK;
                    ok = Take(fd, type, c == 'p' ? F_SETLK : F_OFD_SETLK);
                    if (ok && (c == 's' || c == 'x' || c == 'p') && count < 16)
                        kept[count++] = fd;
                    else
                        ::close(fd);
                }
            }
            char a = ok ? '1' : '0';
            if (::write(out, &a, 1) != 1) break;
        }
        _exit(0);
    }
    pid_t fPid = -1;
    int fTo = -1, fFrom = -1;
};

std::string LockMessage(TFileLock& lock, const std::string& path) {
    try {
        lock.LockExclusive(path);
    } catch (const EDatabaseError& e) {
        return e.what();
    }
    return {};
}
} // namespace

TEST(FileLock, SharedTurnsExclusiveInPlaceAndBack) {
    TTempFolder dir;
    std::string path = dir / "t.dbf";
    PutFileBytes(path, "table");
    TOtherProcess other(path);
    TFileLock lock;
    ASSERT_TRUE(lock.LockShared(path));
    EXPECT_TRUE(other.Ask('S'));
    EXPECT_FALSE(other.Ask('X'));
    EXPECT_EQ(LockMessage(lock, path), ""); // our own shared lock is no obstacle
    EXPECT_TRUE(lock.Exclusive());
    EXPECT_FALSE(other.Ask('S'));
    // A descriptor of the same file opened and closed meanwhile (as a
    // mapping or a reader does) takes nothing away.
    {
        int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ::close(fd);
        TMappedFile map(path);
    }
    EXPECT_FALSE(other.Ask('S'));
    lock.Downgrade();
    EXPECT_FALSE(lock.Exclusive());
    EXPECT_TRUE(other.Ask('S'));
    EXPECT_FALSE(other.Ask('X'));
    EXPECT_EQ(LockMessage(lock, path), ""); // again, and once more exclusive
    EXPECT_FALSE(other.Ask('S'));
    lock.Unlock();
    EXPECT_TRUE(other.Ask('X'));
}

TEST(FileLock, AnotherProcessesLocksAreDetectedAndOursIsKept) {
    TTempFolder dir;
    std::string path = dir / "t.db";
    PutFileBytes(path, "table");
    TOtherProcess other(path);
    TFileLock lock;
    for (char kind : {'s', 'p'}) { // a description lock, and a record lock of the process
        SCOPED_TRACE(kind);
        ASSERT_TRUE(lock.LockShared(path));
        ASSERT_TRUE(other.Ask(kind));
        std::string err = LockMessage(lock, path);
        EXPECT_NE(err.find("\"" + path + "\" is in use by another program"), std::string::npos)
            << err;
        EXPECT_FALSE(lock.Exclusive());
        ASSERT_TRUE(other.Ask('u'));
        EXPECT_FALSE(other.Ask('X')); // the failed attempt left our shared lock
        EXPECT_TRUE(other.Ask('S'));
        lock.Unlock();
    }
    // Held exclusively elsewhere: we get no shared lock, nor an exclusive one.
    ASSERT_TRUE(other.Ask('x'));
    EXPECT_FALSE(lock.LockShared(path));
    EXPECT_NE(LockMessage(lock, path).find("in use by another program"), std::string::npos);
    ASSERT_TRUE(other.Ask('u'));
    EXPECT_EQ(LockMessage(lock, path), ""); // no shared lock first
    EXPECT_FALSE(other.Ask('S'));
}

TEST(FileLock, AFileWeMayNotWriteKeepsItsSharedLock) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
    TTempFolder dir;
    std::string path = dir / "t.csv";
    PutFileBytes(path, "a\n1\n");
    chmod(path.c_str(), 0444);
    TOtherProcess other(path);
    TFileLock lock;
    ASSERT_TRUE(lock.LockShared(path));
    std::string err = LockMessage(lock, path);
    EXPECT_NE(err.find("Cannot write table \"" + path + "\""), std::string::npos) << err;
    chmod(path.c_str(), 0644);
    EXPECT_FALSE(other.Ask('X'));
    // Writable again: the read-only descriptor's lock gives way to a new one.
    EXPECT_EQ(LockMessage(lock, path), "");
    EXPECT_FALSE(other.Ask('S'));
    lock.Downgrade();
    EXPECT_TRUE(other.Ask('S'));
}

// Each driver holds its table locked all the time it is open, also across
// an edit that replaces the file, and writes nothing while another
// process reads the table.
TEST(FileLock, DriversKeepTheirTablesLockedAcrossEdits) {
    TTempFolder dir;
    const std::string dbf = dir / "t.dbf", db = dir / "t.db", csv = dir / "t.csv";
    TDbfFieldSpec name;
    name.Name = "NAME";
    name.Length = 8;
    TDbfWriter::Write(dbf, dvDBase3, {name}, {{TValue::OfText("a")}});
    TParadoxWriter px(db, {{"Name", 'A', 8}});
    px.AddRecord({TValue::OfText("a")});
    px.Finish();
    PutFileBytes(csv, "Name\na\n");
    auto check = [&](TTableDriver& driver, const std::string& path) {
        SCOPED_TRACE(path);
        TFieldDefs fields;
        TIndexDefs indexes;
        // Started first, so that it shares none of the driver's descriptors
        // (a forked child would hold their locks on a file edited in place).
        TOtherProcess other(path);
        driver.Open(path, fields, indexes);
        EXPECT_FALSE(other.Ask('X'));
        ASSERT_TRUE(other.Ask('s'));
        const std::string before = FileBytes(path);
        std::string err = RaisedMessage([&] { driver.Post(0, {TValue::OfText("b")}); });
        EXPECT_NE(err.find("in use by another program"), std::string::npos) << err;
        EXPECT_EQ(FileBytes(path), before);
        ASSERT_TRUE(other.Ask('u'));
        EXPECT_FALSE(other.Ask('X'));
        EXPECT_EQ(driver.Post(0, {TValue::OfText("b")}), 0u);
        EXPECT_EQ(driver.Post(-1, {TValue::OfText("c")}), 1u);
        // Still locked after the edits, in place or by a new file.
        EXPECT_FALSE(other.Ask('X'));
        EXPECT_TRUE(other.Ask('S'));
        TValue v;
        driver.GetValue(0, 0, v);
        EXPECT_EQ(v.Text, "b");
        driver.Close();
        EXPECT_TRUE(other.Ask('X'));
    };
    TDbfDriver d1;
    check(d1, dbf);
    TParadoxDriver d2;
    check(d2, db);
    TTextDriver d3;
    check(d3, csv);
}

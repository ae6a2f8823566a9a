#include "tests/support/EditCrashHarness.h"
#include "tests/support/TableFileTestSupport.h"

#include "data/platform/RollbackJournal.h"

#include <fcntl.h>
#include <sys/stat.h>

using namespace edittest;

namespace {
// The writes of the last commit: its steps less the journal's write and
// its two syncs, one sync a file, and the journal's removal.
int WritesOfLastCommit(int files) {
    return TRollbackJournal::StepsTaken() - 3 - files - 1;
}
} // namespace

// Only the runs of bytes that differ are written (runs close together as
// one), and what the new content adds; a journal of files it opened itself
// puts them all back when a step fails.
TEST(RollbackJournal, WriteChangedWritesOnlyWhatDiffers) {
    TTempFolder dir;
    const std::string table = dir / "t.db", index = dir / "t.px";
    const std::string old(10000, 'a');
    PutFileBytes(table, "table");
    PutFileBytes(index, old);
    struct TCase {
        const char* What;
        std::function<void(std::string&)> Change;
        int Writes;
    };
    const TCase cases[] = {
        {"nothing", [](std::string&) {}, 0},
        {"one byte", [](std::string& s) { s[5000] = 'b'; }, 1},
        {"two bytes close together", [](std::string& s) { s[100] = s[140] = 'b'; }, 1},
        {"two bytes far apart", [](std::string& s) { s[100] = s[900] = 'b'; }, 2},
        {"the first and the last", [](std::string& s) { s.front() = s.back() = 'b'; }, 2},
        {"a longer file", [](std::string& s) { s += "more"; }, 1},
        {"a change and a longer file", [](std::string& s) { s[10] = 'c', s += "more"; }, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        PutFileBytes(index, old);
        std::string now = old;
        c.Change(now);
        {
            TRollbackJournal journal(table);
            journal.WriteChanged(journal.AddFile(index), old, now);
            EXPECT_EQ(journal.Empty(), c.Writes == 0);
            journal.Commit();
        }
        EXPECT_EQ(FileBytes(index), now);
        if (c.Writes > 0) {
            EXPECT_EQ(WritesOfLastCommit(1), c.Writes);
        }
    }

    // Failing at any step puts both files back, the longer one cut again.
    PutFileBytes(index, old);
    std::string now = old;
    now[3] = 'x';
    now += "tail";
    auto commit = [&] {
        TRollbackJournal journal(table);
        journal.Write(journal.AddFile(table), 2, "BLE and more");
        journal.WriteChanged(journal.AddFile(index), old, now);
        journal.Commit();
    };
    // The journal (3 steps), three writes, two syncs, the journal's removal.
    constexpr int Steps = 9;
    for (int step = 1; step < Steps; ++step) {
        SCOPED_TRACE(step);
        const std::string err = FailingAt(step, commit);
        EXPECT_NE(err.find("injected"), std::string::npos) << err;
        EXPECT_EQ(FileBytes(table), "table");
        EXPECT_EQ(FileBytes(index), old);
        EXPECT_FALSE(std::filesystem::exists(table + "-journal"));
    }
    EXPECT_EQ(StepsOf(commit), Steps);
    EXPECT_EQ(FileBytes(table), "taBLE and more");
    EXPECT_EQ(FileBytes(index), now);
    EXPECT_TRUE(RaisedMessage([&] {
                    TRollbackJournal journal(table);
                    journal.AddFile(dir / "missing.px");
                }).find("missing.px") != std::string::npos);
}

// Two commits within one tick of the file system's clock still leave two
// modification times: a program comparing times before its edit sees both.
TEST(RollbackJournal, EveryCommitLeavesATimeOfItsOwn) {
    TTempFolder dir;
    const std::string table = dir / "t.db";
    PutFileBytes(table, "0000");
    // A time the clock has not reached (another machine's, over a network):
    // a commit's time is later all the same.
    struct stat before {};
    ASSERT_EQ(stat(table.c_str(), &before), 0);
    timespec times[2] = {before.st_atim, before.st_mtim};
    times[1].tv_sec += 30;
    ASSERT_EQ(utimensat(AT_FDCWD, table.c_str(), times, 0), 0);
    timespec last = times[1];
    for (int i = 1; i <= 20; ++i) {
        {
            TRollbackJournal journal(table);
            journal.Write(journal.AddFile(table), 0, std::to_string(1000 + i).substr(0, 4));
            journal.Commit();
        }
        struct stat now {};
        ASSERT_EQ(stat(table.c_str(), &now), 0);
        const bool later = now.st_mtim.tv_sec > last.tv_sec || (now.st_mtim.tv_sec == last.tv_sec &&
                                                                now.st_mtim.tv_nsec > last.tv_nsec);
        EXPECT_TRUE(later) << "commit " << i;
        last = now.st_mtim;
    }
}

#pragma once

// Shared by the tests of edits in place (dBase, Paradox): failures injected
// at every write and sync of a journaled commit, writers that die at every
// step or are killed for real, and edits from other processes.

#include "data/base/DatabaseError.h"
#include "data/platform/RollbackJournal.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace edittest {

// A step hook that fails its step, as a full disk would.
inline void FailStep(int step) {
    throw EDatabaseError("injected failure at step " + std::to_string(step));
}
// One that ends the process at its step, as a crash would: nothing is
// cleaned up, no destructor runs.
inline void CrashStep(int) {
    _exit(0);
}

// The steps (writes and syncs) of the commit that `run` makes.
inline int StepsOf(const std::function<void()>& run) {
    TRollbackJournal::SetStepHook(0, nullptr);
    run();
    return TRollbackJournal::StepsTaken();
}

// Runs `edit` on the driver of a fresh table that `make` makes in a folder
// of its own, opened as a `Table` (its Driver), and gives the steps of its
// commit; `after`, when given, then looks at the table's path.
template <typename Table, typename Make, typename Edit>
int StepsOnACopy(Make make, Edit edit, const std::function<void(const std::string&)>& after = {}) {
    TTempFolder probe;
    const std::string path = make(probe);
    int steps = 0;
    {
        Table t(path);
        steps = StepsOf([&] { edit(t.Driver); });
    }
    if (after) after(path);
    return steps;
}

// Runs `run` with its commit failing at `step`; the error it raised, or ""
// when it raised none.
inline std::string FailingAt(int step, const std::function<void()>& run) {
    TRollbackJournal::SetStepHook(step, FailStep);
    std::string error;
    try {
        run();
    } catch (const std::exception& e) {
        error = e.what();
    }
    TRollbackJournal::SetStepHook(0, nullptr);
    return error;
}

// Runs `run` in a child process whose commit dies at `step`.
inline ::testing::AssertionResult DiesAtStep(int step, const std::function<void()>& run) {
    const pid_t pid = fork();
    if (pid < 0) return ::testing::AssertionFailure() << "cannot fork";
    if (pid == 0) {
        TRollbackJournal::SetStepHook(step, CrashStep);
        try {
            run();
        } catch (...) {
        }
        _exit(1); // the step was never reached
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return ::testing::AssertionFailure() << "the writer did not reach step " << step;
    return ::testing::AssertionSuccess();
}

// Runs `run` in `count` other processes at once; fails unless each
// returned (and did not raise).
inline ::testing::AssertionResult InOtherProcesses(int count, const std::function<void()>& run) {
    std::vector<pid_t> pids;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid < 0) break;
        if (pid == 0) {
            try {
                run();
                _exit(0);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "other process: %s\n", e.what());
            } catch (...) {
            }
            _exit(1);
        }
        pids.push_back(pid);
    }
    bool ok = static_cast<int>(pids.size()) == count;
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    if (!ok) return ::testing::AssertionFailure() << "another process failed";
    return ::testing::AssertionSuccess();
}
inline ::testing::AssertionResult InAnotherProcess(const std::function<void()>& run) {
    return InOtherProcesses(1, run);
}

// A writer in a child process: `writer(ready)` opens the table, calls
// ready() and edits on without end; it gets a real SIGKILL `delayUs`
// microseconds after it said it was ready.
inline ::testing::AssertionResult
KilledWhileWriting(const std::function<void(const std::function<void()>& ready)>& writer,
                   int delayUs) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return ::testing::AssertionFailure() << "cannot make a pipe";
    const pid_t pid = fork();
    if (pid < 0) return ::testing::AssertionFailure() << "cannot fork";
    if (pid == 0) {
        ::close(pipeFds[0]);
        try {
            writer([&] {
                if (::write(pipeFds[1], "r", 1) != 1) _exit(2);
            });
        } catch (...) {
        }
        _exit(3);
    }
    ::close(pipeFds[1]);
    char c = 0;
    const bool ready = ::read(pipeFds[0], &c, 1) == 1;
    ::close(pipeFds[0]);
    if (ready) usleep(static_cast<useconds_t>(delayUs));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!ready) return ::testing::AssertionFailure() << "the writer could not open the table";
    if (!WIFSIGNALED(status))
        return ::testing::AssertionFailure() << "the writer stopped by itself";
    return ::testing::AssertionSuccess();
}

// What the open after a writer that died at `step` found: `journalLeft`,
// whether the writer's journal was there before the open; the open's
// `warnings`; `now`, how the table reads, which must be as it read before
// the edit or after it. A journal left behind is gone, and the open said
// why: one torn before the table was touched was removed, a whole one was
// put back (and the table reads as before).
inline void ExpectOldOrNew(const std::string& path, int step, bool journalLeft,
                           const std::vector<std::string>& warnings, const std::string& now,
                           const std::string& before, const std::string& after) {
    EXPECT_EQ(warnings.size(), journalLeft ? 1u : 0u);
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    EXPECT_TRUE(now == before || now == after) << now;
    if (!journalLeft) return;
    EXPECT_EQ(now, before);
    ASSERT_FALSE(warnings.empty());
    EXPECT_NE(warnings[0].find(step == 1 ? "removed" : "put back"), std::string::npos)
        << warnings[0];
}

// A writer of the table at `path` dies at `step` of `edit`, leaving its
// journal; `mine`, open on the table since before, refreshes: the journal
// is put back first, and the refresh says so.
template <typename Table, typename Edit>
void ExpectARefreshPutsBack(Table& mine, const std::string& path, int step, Edit edit) {
    ASSERT_TRUE(DiesAtStep(step, [&] {
        Table c(path);
        edit(c.Driver);
    }));
    ASSERT_TRUE(std::filesystem::exists(path + "-journal"));
    mine.Driver.Refresh();
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
    ASSERT_EQ(mine.Driver.Warnings().List().size(), 1u);
    EXPECT_NE(mine.Driver.Warnings().List()[0].find("put back"), std::string::npos);
}

// Every file of a folder with its bytes.
inline std::map<std::string, std::string> Snapshot(const TTempFolder& dir) {
    std::map<std::string, std::string> files;
    for (const std::string& name : dir.Files()) {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        files[name] = ss.str();
    }
    return files;
}

// Puts a folder's files back as a snapshot has them (and removes others).
inline void Restore(const TTempFolder& dir, const std::map<std::string, std::string>& files) {
    for (const std::string& name : dir.Files())
        if (!files.count(name)) std::filesystem::remove(dir / name);
    for (const auto& [name, bytes] : files) {
        std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
}

} // namespace edittest

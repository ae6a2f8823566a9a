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

// Runs `run` in another process; fails unless it returned (and did not raise).
inline ::testing::AssertionResult InAnotherProcess(const std::function<void()>& run) {
    const pid_t pid = fork();
    if (pid < 0) return ::testing::AssertionFailure() << "cannot fork";
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
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return ::testing::AssertionFailure() << "the other process failed";
    return ::testing::AssertionSuccess();
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

#pragma once

#include <string>

// Tells whether another program has a table file open for writing, and
// keeps others from writing it while this one does. Uses open-file-
// description locks (which other processes see) and the lock files that
// office programs leave beside a file they have open.
class TFileLock {
public:
    TFileLock() = default;
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // A shared lock while the table is open: others may read, and may take
    // no exclusive lock. Returns false when another program writes the file.
    bool LockShared(const std::string& path);
    // An exclusive lock for a write. Raises EDatabaseError with a message
    // that names the file when another program has it open or locked.
    void LockExclusive(const std::string& path);
    // Back from exclusive to shared (or nothing, when it was not held).
    void Downgrade();
    void Unlock();

    // The office lock file beside `path` (".~lock.NAME#"), when there is one.
    static std::string OfficeLockFile(const std::string& path);

private:
    bool Lock(short type);
    std::string fPath;
    int fFd = -1;
    bool fExclusive = false;
};

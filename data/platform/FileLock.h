#pragma once

#include <string>

// Tells whether another program has a table file open for writing, and
// keeps others from writing it while this one does. Uses open-file-
// description locks (which other processes see, and which closing another
// descriptor of the same file does not drop, as it drops a process's
// record locks) and the lock files that office programs leave beside a
// file they have open.
class TFileLock {
public:
    TFileLock() = default;
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // A shared lock while the table is open: others may read, and may take
    // no lock over the whole file. Returns false when another program writes the file.
    bool LockShared(const std::string& path);
    // An exclusive lock for a write. Raises EDatabaseError with a message
    // that names the file when another program has it open or locked. A
    // shared lock of this object on the same file is turned into the
    // exclusive one in place; when that fails it stays as it was.
    void LockExclusive(const std::string& path);
    // Back from exclusive to shared (or nothing, when it was not held).
    void Downgrade();
    void Unlock();
    bool Exclusive() const { return fExclusive; }
    // The descriptor the lock is held through (-1 when none), and whether
    // it is open for writing: edits in place write and lock ranges through it.
    int Descriptor() const { return fFd; }
    bool WritableDescriptor() const { return fWritable; }

    // Where the shared lock of an open table lies.
    static constexpr unsigned long long OpenMarkOffset = 1ull << 62;

    // The office lock file beside `path` (".~lock.NAME#"), when there is one.
    static std::string OfficeLockFile(const std::string& path);

private:
    bool Lock(int fd, short type);
    std::string fPath;
    int fFd = -1;
    bool fWritable = false; // fFd is open for writing, so it can hold a write lock
    bool fExclusive = false;
};

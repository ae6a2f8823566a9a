#pragma once

#include <string>
#include <string_view>

// Writes a new version of a file beside it and puts it in the file's place
// in one step, so that a failure at any moment leaves the old file or the
// new one, never a mix. Commit makes the new one take effect; without it
// (an exception, an early return) the old file stays and the new one is
// removed.
class TAtomicFile {
public:
    // Creates the temporary file in the same folder (the same file system,
    // so the final rename is atomic). Raises EDatabaseError when it cannot.
    explicit TAtomicFile(const std::string& path);
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    void Write(const void* data, size_t size);
    void Write(std::string_view s) { Write(s.data(), s.size()); }
    // Writes at an offset of the new file (for headers whose counts are
    // known only at the end).
    void WriteAt(uint64_t offset, const void* data, size_t size);
    uint64_t Size() const { return fSize; }
    // Flushes, syncs and renames over the target; raises on failure (the old
    // file then stays).
    void Commit();
    const std::string& TempPath() const { return fTempPath; }

    // For tests: the next Write or Commit after this many more bytes fails,
    // as a full disk would make it fail.
    static void InjectFailureAfter(long long bytes);

private:
    void Flush();
    std::string fPath;
    std::string fTarget; // the file a link at fPath names; empty for no link
    std::string fTempPath;
    int fFd = -1;
    std::string fBuffer;
    uint64_t fSize = 0;
    bool fCommitted = false;
};

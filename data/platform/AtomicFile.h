#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Writes a new version of a file beside it and puts it in the file's place
// in one step, so that a failure at any moment leaves the old file or the
// new one, never a mix. Commit makes the new one take effect; without it
// (an exception, an early return) the old file stays and the new one is
// removed, or kept as "<file>.partial" where the options ask for that.
// The one routine by which tables, documents and pictures replace files.
//
// Before anything is written the destination is looked at:
// - a folder is refused;
// - a file this user may not write is refused, as the shell's ">" refuses it;
// - a link is followed to the file it names (which is replaced, the link
//   kept), or is itself replaced where FollowLinks is off;
// - a device, a pipe or a socket, and a writable file in a folder where no
//   temporary can be made, are written in place where InPlace is on (as
//   ">" writes them: no temporary, no rename, and after a failure what was
//   written stays there), and refused otherwise.
// The temporary is a short name in the destination's folder (".tbl" and
// six characters), so that names of up to the system's limit work, and it
// is registered with TSignalCleanup, so that an interrupted program does
// not leave it behind.
class TAtomicFile {
public:
    struct TOptions {
        bool FollowLinks = true;
        bool InPlace = false;
        // After a failure, what was written is kept as PartialPath().
        bool KeepPartial = false;
        // The new version reaches the disk before it takes the old one's place.
        bool Sync = true;
        // What messages call the file ("table": "Cannot write table ...").
        const char* Noun = "table";
        // Raises a failure; when null (or when it returns) EDatabaseError.
        void (*Raise)(const std::string& message, int error) = nullptr;
    };

    explicit TAtomicFile(const std::string& path) : TAtomicFile(path, TOptions()) {}
    TAtomicFile(const std::string& path, const TOptions& options);
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    void Write(const void* data, size_t size);
    void Write(std::string_view s) { Write(s.data(), s.size()); }
    // Writes at an offset of the new file (for headers whose counts are
    // known only at the end).
    void WriteAt(uint64_t offset, const void* data, size_t size);
    uint64_t Size() const { return fSize; }

    // The descriptor the new version is written through, for a caller that
    // writes it itself; after ReleaseDescriptor that caller closes it (and
    // syncs it first), and Commit only puts the file in place.
    int Descriptor() const { return fFd; }
    void ReleaseDescriptor() { fFd = -1; }

    // Flushes, syncs and renames over the target; raises on failure (the old
    // file then stays).
    void Commit();
    // Gives up the new version: it is removed, or with keepPartial renamed
    // to PartialPath(); returns the name it was kept under, or "". Does
    // nothing after Commit.
    std::string Discard(bool keepPartial);

    // Written in place: no temporary, and Commit renames nothing.
    bool InPlace() const { return fInPlace; }
    // The destination is a file of its own name (not a device, a pipe or a
    // socket): files that belong beside it may be put there.
    bool RegularFile() const { return fRegular; }
    const std::string& TempPath() const { return fTempPath; }
    // The file that Commit replaces (the one a link at the path names).
    const std::string& TargetPath() const { return fTarget; }
    // Where a failed version is kept: "<file>.partial" beside the target,
    // or, when that name would be longer than the folder allows, the
    // file's name cut short (at a character's boundary) so that
    // ".partial" fits. Empty when nothing is kept.
    const std::string& PartialPath() const { return fPartialPath; }
    void KeepNoPartial();
    static std::string PartialName(const std::string& path);
    // A short name for a temporary beside `path`, in its folder: ".tbl" and
    // six characters chosen at random (create it exclusively: O_EXCL).
    static std::string TemporaryName(const std::string& path);

    // For tests: the next Write or Commit after this many more bytes fails,
    // as a full disk would make it fail.
    static void InjectFailureAfter(long long bytes);

private:
    enum TStage { stCreate, stWrite, stSync, stClose, stReplace };
    [[noreturn]] void Fail(TStage stage, int error, const char* reason = nullptr) const;
    void CheckInjected(size_t bytes) const;
    void OpenInPlace(bool special, const struct stat* st);
    bool CreateTemporary(const struct stat* replaced);
    void Flush();

    TOptions fOptions;
    std::string fPath;
    std::string fTarget;
    std::string fTempPath;
    std::string fPartialPath;
    int fFd = -1;
    int fSlot = -1; // in TSignalCleanup
    bool fInPlace = false;
    bool fRegular = true;
    bool fSpecial = false; // a device, a pipe or a socket: no sync
    bool fDone = false;    // committed or discarded
    std::string fBuffer;
    uint64_t fSize = 0;
};

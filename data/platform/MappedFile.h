#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

// Where the process keeps one mapping for its SIGBUS handler (see
// TMappedFile): the mapped range and whether the file was cut short under it.
struct TMapGuard {
    std::atomic<uint64_t> Seq{0}; // odd while the range changes
    std::atomic<uintptr_t> Begin{0};
    std::atomic<uintptr_t> End{0};
    std::atomic<bool> Changed{false};
    std::atomic<bool> Taken{false};
};

// A whole file mapped read-only into memory. Readers index into Data()
// only after checking offsets against Size(); an empty file maps to an
// empty view.
//
// Another program may truncate or rewrite the file while it is mapped.
// Reading a page that is no longer in the file would kill the process with
// SIGBUS; instead, the process's handler puts zero pages in place of the
// whole mapping and marks it changed, and the read goes on. Readers ask
// Intact() (one load) after they read and raise the error that
// CheckIntact() gives before anything they read is used. A file opened
// with `watch` is also compared with what the file system says of it now
// (its size and modification time) as a forward scan passes, and when
// asked (Unchanged), so that a table rewritten in place without a fault is
// noticed too.
class TMappedFile {
public:
    TMappedFile() = default;
    // Raises EDatabaseError naming the file when it cannot be opened or mapped.
    explicit TMappedFile(const std::string& path, bool watch = false);
    ~TMappedFile();
    TMappedFile(TMappedFile&& other) noexcept;
    TMappedFile& operator=(TMappedFile&& other) noexcept;
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    const uint8_t* Data() const { return fData; }
    size_t Size() const { return fSize; }
    std::string_view View() const { return {reinterpret_cast<const char*>(fData), fSize}; }
    bool Contains(uint64_t offset, uint64_t length) const {
        return offset <= fSize && length <= fSize - offset;
    }
    const std::string& Path() const { return fPath; }
    // The descriptor stays open while mapped, for locks.
    int Descriptor() const { return fFd; }
    void Close();

    // False once the file was found cut short or changed under the mapping:
    // what was read since may be zeros or another file's bytes.
    // Asked for every value read: one load while no mapping has changed.
    bool Intact() const {
        return sChanges.load(std::memory_order_relaxed) == 0 || !fGuard ||
               !fGuard->Changed.load(std::memory_order_relaxed);
    }
    // True while no mapping of the process was ever found changed.
    static bool AllIntact() { return sChanges.load(std::memory_order_relaxed) == 0; }
    // Raises "The <what> "<path>" changed while it was read ..." unless Intact().
    void CheckIntact(const char* what) const {
        if (!Intact()) RaiseChanged(what);
    }
    // Intact(), and for a watched file, the same size and modification time
    // as when it was mapped; a difference marks the mapping changed.
    bool Unchanged() const;
    void CheckUnchanged(const char* what) const {
        if (!Unchanged()) RaiseChanged(what);
    }
    // This program wrote the file in place within the mapping's size (its
    // own edit): the watch takes the file's time now as the mapping's.
    void Written();
    // Whether this process's SIGBUS handler is in place (a sanitizer may
    // keep the signal for itself); without it a cut file still kills.
    static bool Guarded();

    // A reader walking forward through the file says where it is: pages
    // further than a window behind are handed back to the page cache, so a
    // scan of a large table keeps only a window of it in the process's
    // memory. Going back costs a cheap fault per page, nothing more.
    // Two threads may say so at once (a reader ahead and the walk behind
    // it): the window is only a hint, so either one's word will do.
    void Passing(uint64_t offset) const {
        const uint64_t kept = fKept.load(std::memory_order_relaxed);
        if (offset >= kept + KeepWindow)
            ReleaseBefore(kept, offset - KeepWindow / 2);
        else if (offset < kept)
            fKept.store(offset, std::memory_order_relaxed);
    }
    static constexpr uint64_t KeepWindow = 8u << 20;
    // Hands back the whole pages in [from, to), for a scan that keeps its
    // own place (a part of the file scanned on another thread).
    void Release(uint64_t from, uint64_t to) const;

private:
    void ReleaseBefore(uint64_t kept, uint64_t offset) const;
    [[noreturn]] void RaiseChanged(const char* what) const;
    friend void MarkChanged(TMapGuard& guard);

    // How many mappings of the process were ever found changed.
    inline static std::atomic<uint32_t> sChanges{0};

    std::string fPath;
    const uint8_t* fData = nullptr;
    size_t fSize = 0;
    int fFd = -1;
    TMapGuard* fGuard = nullptr; // null when nothing is mapped
    bool fWatch = false;
    timespec fModified{};
    mutable std::atomic<uint64_t> fKept{0}; // pages from here on may be resident
};

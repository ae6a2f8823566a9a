#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A whole file mapped read-only into memory. Readers index into Data()
// only after checking offsets against Size(); an empty file maps to an
// empty view.
class TMappedFile {
public:
    TMappedFile() = default;
    // Raises EDatabaseError naming the file when it cannot be opened or mapped.
    explicit TMappedFile(const std::string& path);
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

    std::string fPath;
    const uint8_t* fData = nullptr;
    size_t fSize = 0;
    int fFd = -1;
    mutable std::atomic<uint64_t> fKept{0}; // pages from here on may be resident
};

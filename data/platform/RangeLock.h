#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The byte-range locks of one edit, on regions of a table file: exclusive
// over the bytes being written, shared over bytes being read that must not
// change meanwhile. Open-file-description locks: other processes see them,
// two descriptors of one process conflict as two processes would, and they
// go when the process dies. All are given back when the object goes.
class TRangeLock {
public:
    // `fd` stays open while the object lives; `path` names it in messages.
    TRangeLock(int fd, std::string path) : fFd(fd), fPath(std::move(path)) {}
    ~TRangeLock() { Release(); }
    TRangeLock(const TRangeLock&) = delete;
    TRangeLock& operator=(const TRangeLock&) = delete;

    // Locks [offset, offset + length), waiting up to `waitMs` for another
    // holder's lock to go (an edit takes milliseconds). Raises
    // EDatabaseError "... is in use by another program" when it does not.
    void Lock(uint64_t offset, uint64_t length, bool exclusive, int waitMs = DefaultWaitMs);
    // Likewise, but says false instead of raising.
    bool TryLock(uint64_t offset, uint64_t length, bool exclusive, int waitMs = DefaultWaitMs);
    void Release();

    static constexpr int DefaultWaitMs = 2000;

private:
    struct TRange {
        uint64_t Offset, Length;
    };
    int fFd;
    std::string fPath;
    std::vector<TRange> fHeld;
};

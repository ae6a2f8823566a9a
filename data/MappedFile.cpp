#include "data/MappedFile.h"

#include "data/DatabaseError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

TMappedFile::TMappedFile(const std::string& path) : fPath(path) {
    fFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fFd < 0) throw EDatabaseError("Cannot open file \"" + path + "\": " + std::strerror(errno));
    struct stat st;
    if (fstat(fFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int err = errno;
        ::close(fFd);
        fFd = -1;
        throw EDatabaseError("Cannot open file \"" + path + "\": " +
                             (S_ISREG(st.st_mode) ? std::strerror(err) : "not a regular file"));
    }
    fSize = static_cast<size_t>(st.st_size);
    if (fSize == 0) return;
    void* p = mmap(nullptr, fSize, PROT_READ, MAP_SHARED, fFd, 0);
    if (p == MAP_FAILED) {
        int err = errno;
        ::close(fFd);
        fFd = -1;
        fSize = 0;
        throw EDatabaseError("Cannot read file \"" + path + "\": " + std::strerror(err));
    }
    fData = static_cast<const uint8_t*>(p);
}

TMappedFile::~TMappedFile() {
    Close();
}

TMappedFile::TMappedFile(TMappedFile&& o) noexcept
    : fPath(std::move(o.fPath)), fData(o.fData), fSize(o.fSize), fFd(o.fFd),
      fKept(o.fKept.load(std::memory_order_relaxed)) {
    o.fData = nullptr;
    o.fSize = 0;
    o.fFd = -1;
}

TMappedFile& TMappedFile::operator=(TMappedFile&& o) noexcept {
    if (this != &o) {
        Close();
        fPath = std::move(o.fPath);
        fData = o.fData;
        fSize = o.fSize;
        fFd = o.fFd;
        fKept.store(o.fKept.load(std::memory_order_relaxed), std::memory_order_relaxed);
        o.fData = nullptr;
        o.fSize = 0;
        o.fFd = -1;
    }
    return *this;
}

void TMappedFile::Release(uint64_t from, uint64_t to) const {
    static const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    from = from / page * page;
    to = std::min<uint64_t>(to, fSize) / page * page;
    // Only a hint: when it fails the pages simply stay.
    if (fData && to > from) ::madvise(const_cast<uint8_t*>(fData) + from, to - from, MADV_DONTNEED);
}

void TMappedFile::ReleaseBefore(uint64_t kept, uint64_t offset) const {
    static const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    Release(kept, offset);
    fKept.store(std::min<uint64_t>(offset, fSize) / page * page, std::memory_order_relaxed);
}

void TMappedFile::Close() {
    if (fData) munmap(const_cast<uint8_t*>(fData), fSize);
    if (fFd >= 0) ::close(fFd);
    fData = nullptr;
    fSize = 0;
    fFd = -1;
    fKept.store(0, std::memory_order_relaxed);
}

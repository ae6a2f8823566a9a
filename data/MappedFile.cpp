#include "data/MappedFile.h"

#include "data/DatabaseError.h"

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
    : fPath(std::move(o.fPath)), fData(o.fData), fSize(o.fSize), fFd(o.fFd) {
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
        o.fData = nullptr;
        o.fSize = 0;
        o.fFd = -1;
    }
    return *this;
}

void TMappedFile::Close() {
    if (fData) munmap(const_cast<uint8_t*>(fData), fSize);
    if (fFd >= 0) ::close(fFd);
    fData = nullptr;
    fSize = 0;
    fFd = -1;
}

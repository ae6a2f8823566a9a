#include "export/SpillStream.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr size_t FileBufferSize = 1u << 20;
}

TSpillStream::TSpillStream(std::string folder, size_t memoryLimit)
    : fFolder(std::move(folder)), fLimit(memoryLimit) {
    if (fFolder.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        fFolder = tmp && *tmp ? tmp : "/tmp";
    }
}

TSpillStream::~TSpillStream() {
    if (fFd >= 0) ::close(fFd);
}

void TSpillStream::Raise(const char* what, int error) const {
    throw EStreamError(std::string("Cannot ") + what + " a temporary file in \"" + fFolder +
                           "\": " + std::strerror(error),
                       error);
}

namespace {
int CreateUnnamed(const std::string& folder) {
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (fd < 0) {
        // Filesystems without unnamed files: a named one, removed at once.
        std::string path = folder + "/.tabulon-spill-XXXXXX";
        std::vector<char> name(path.begin(), path.end());
        name.push_back('\0');
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) ::unlink(name.data());
    }
    return fd;
}
} // namespace

void TSpillStream::OpenFile() {
    fFd = CreateUnnamed(fFolder);
    if (fFd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        // A document written in place, in a folder this user cannot write
        // to: the temporary goes where temporaries go.
        const int error = errno;
        const char* tmp = std::getenv("TMPDIR");
        const std::string other = tmp && *tmp ? tmp : "/tmp";
        if (other != fFolder) fFd = CreateUnnamed(other);
        if (fFd < 0) errno = error;
    }
    if (fFd < 0) Raise("create", errno);
    fBuffer.resize(FileBufferSize);
}

void TSpillStream::Flush() {
    const char* p = fBuffer.data();
    size_t left = fUsed;
    while (left > 0) {
        const ssize_t n = ::write(fFd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Raise("write", n < 0 ? errno : ENOSPC);
        p += n;
        left -= static_cast<size_t>(n);
        fSpilled += static_cast<uint64_t>(n);
    }
    fUsed = 0;
}

void TSpillStream::Write(const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    if (fFd < 0) {
        const size_t room = fLimit > fMemory.size() ? fLimit - fMemory.size() : 0;
        const size_t now = std::min(room, size);
        fMemory.append(p, now);
        p += now;
        size -= now;
        if (size == 0) return;
        OpenFile();
    }
    while (size > 0) {
        if (fUsed == fBuffer.size()) Flush();
        const size_t now = std::min(fBuffer.size() - fUsed, size);
        std::memcpy(fBuffer.data() + fUsed, p, now);
        fUsed += now;
        p += now;
        size -= now;
    }
}

void TSpillStream::CopyTo(TStream& out) {
    out.Write(fMemory);
    if (fFd < 0) return;
    Flush();
    std::string chunk(FileBufferSize, '\0');
    for (uint64_t offset = 0; offset < fSpilled;) {
        const ssize_t n = ::pread(fFd, chunk.data(), chunk.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Raise("read", errno);
        if (n == 0) Raise("read", EIO); // shorter than written: never pass it off as whole
        out.Write(chunk.data(), static_cast<size_t>(n));
        offset += static_cast<uint64_t>(n);
    }
}

void TSpillStream::Clear() {
    std::string().swap(fMemory);
    std::string().swap(fBuffer);
    if (fFd >= 0) ::close(fFd);
    fFd = -1;
    fUsed = 0;
    fSpilled = 0;
}

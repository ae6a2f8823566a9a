#include "data/AtomicFile.h"

#include "data/DatabaseError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
long long gFailAfter = -1; // bytes until an injected failure; -1 none

[[noreturn]] void Fail(const std::string& path, const char* what, int err) {
    throw EDatabaseError("Cannot write table \"" + path + "\": " + what + ": " +
                         std::strerror(err));
}

void CheckInjected(const std::string& path, size_t bytes) {
    if (gFailAfter < 0) return;
    if (static_cast<long long>(bytes) > gFailAfter) {
        gFailAfter = -1;
        Fail(path, "write failed", ENOSPC);
    }
    gFailAfter -= static_cast<long long>(bytes);
}
} // namespace

void TAtomicFile::InjectFailureAfter(long long bytes) {
    gFailAfter = bytes;
}

TAtomicFile::TAtomicFile(const std::string& path) : fPath(path) {
    // A link is followed: the rename replaces the file it names, not the
    // link (which would leave the file itself unchanged).
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) {
        std::filesystem::path target = std::filesystem::canonical(path, ec);
        if (!ec) fTarget = target.string();
    }
    const std::string& real = fTarget.empty() ? path : fTarget;
    std::string tmpl = real + ".tmp-XXXXXX";
    fFd = mkstemp(tmpl.data());
    if (fFd < 0) Fail(path, "cannot create a temporary file beside it", errno);
    fTempPath = tmpl;
    // Keep the permissions of the file being replaced.
    struct stat st;
    if (stat(real.c_str(), &st) == 0) {
        fchmod(fFd, st.st_mode & 07777);
    } else {
        // A new file gets the permissions any new file would, not mkstemp's 0600.
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fFd, 0666 & ~mask);
    }
    fBuffer.reserve(1 << 16);
}

TAtomicFile::~TAtomicFile() {
    if (fFd >= 0) ::close(fFd);
    if (!fCommitted && !fTempPath.empty()) ::unlink(fTempPath.c_str());
}

void TAtomicFile::Flush() {
    size_t done = 0;
    while (done < fBuffer.size()) {
        ssize_t n = ::write(fFd, fBuffer.data() + done, fBuffer.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(fPath, "write failed", errno);
        }
        done += static_cast<size_t>(n);
    }
    fBuffer.clear();
}

void TAtomicFile::Write(const void* data, size_t size) {
    CheckInjected(fPath, size);
    fBuffer.append(static_cast<const char*>(data), size);
    fSize += size;
    if (fBuffer.size() >= (1 << 16)) Flush();
}

void TAtomicFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    Flush();
    CheckInjected(fPath, size);
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pwrite(fFd, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(fPath, "write failed", errno);
        }
        done += static_cast<size_t>(n);
    }
    if (offset + size > fSize) fSize = offset + size;
}

void TAtomicFile::Commit() {
    Flush();
    if (gFailAfter == 0) {
        gFailAfter = -1;
        Fail(fPath, "cannot flush to disk", EIO);
    }
    gFailAfter = -1;
    if (fsync(fFd) != 0) Fail(fPath, "cannot flush to disk", errno);
    if (::close(fFd) != 0) {
        fFd = -1;
        Fail(fPath, "cannot close", errno);
    }
    fFd = -1;
    if (std::rename(fTempPath.c_str(), (fTarget.empty() ? fPath : fTarget).c_str()) != 0)
        Fail(fPath, "cannot replace the file", errno);
    fCommitted = true;
}

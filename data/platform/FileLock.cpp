#include "data/platform/FileLock.h"

#include "data/base/DatabaseError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {
[[noreturn]] void InUse(const std::string& path, int err) {
    throw EDatabaseError(
        "Table \"" + path + "\" is in use by another program" +
        (err == EAGAIN || err == EACCES ? std::string() : ": " + std::string(std::strerror(err))));
}
} // namespace

TFileLock::~TFileLock() {
    Unlock();
}

std::string TFileLock::OfficeLockFile(const std::string& path) {
    std::filesystem::path p(path);
    std::filesystem::path lock = p.parent_path() / (".~lock." + p.filename().string() + "#");
    std::error_code ec;
    return std::filesystem::exists(lock, ec) ? lock.string() : std::string();
}

bool TFileLock::Lock(int fd, short type) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    // The shared lock of an open table sits on one byte far behind any
    // table's end: a program that locks the whole file sees it, while the
    // record and header locks of edits in place (ours, in other processes)
    // pass it by.
    fl.l_start = type == F_RDLCK ? static_cast<off_t>(OpenMarkOffset) : 0;
    fl.l_len = type == F_RDLCK ? 1 : 0;
    // Locks of one open file description replace each other; those of two
    // descriptions conflict even within this process. So a lock is only
    // ever changed through the descriptor that holds it.
    while (fcntl(fd, F_OFD_SETLK, &fl) != 0)
        if (errno != EINTR) return false;
    return true;
}

bool TFileLock::LockShared(const std::string& path) {
    Unlock();
    fPath = path;
    // Opened for writing where we may, so that an edit can later turn this
    // very lock into an exclusive one.
    fFd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    fWritable = fFd >= 0;
    if (fFd < 0) fFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fFd < 0) return false;
    if (!Lock(fFd, F_RDLCK)) {
        Unlock();
        return false;
    }
    return true;
}

void TFileLock::LockExclusive(const std::string& path) {
    if (fFd >= 0 && path != fPath) Unlock();
    std::string office = OfficeLockFile(path);
    if (!office.empty())
        throw EDatabaseError("Table \"" + path + "\" is open in another program (" + office + ")");
    if (fFd >= 0 && fWritable) {
        // An upgrade in place: on failure the shared lock is kept.
        if (!Lock(fFd, F_WRLCK)) InUse(path, errno);
        fExclusive = true;
        return;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        throw EDatabaseError("Cannot write table \"" + path + "\": " + std::strerror(errno));
    if (fFd < 0) {
        if (!Lock(fd, F_WRLCK)) {
            int err = errno;
            ::close(fd);
            InUse(path, err);
        }
    } else {
        // Our shared lock sits on a read-only descriptor and would stand in
        // the way: let it go for the attempt and take it back on failure.
        Lock(fFd, F_UNLCK);
        if (!Lock(fd, F_WRLCK)) {
            int err = errno;
            ::close(fd);
            Lock(fFd, F_RDLCK);
            InUse(path, err);
        }
        ::close(fFd);
    }
    fPath = path;
    fFd = fd;
    fWritable = true;
    fExclusive = true;
}

void TFileLock::Downgrade() {
    if (fFd >= 0 && fExclusive) {
        Lock(fFd, F_UNLCK);
        Lock(fFd, F_RDLCK);
        fExclusive = false;
    }
}

void TFileLock::Unlock() {
    if (fFd >= 0) ::close(fFd);
    fFd = -1;
    fWritable = false;
    fExclusive = false;
}

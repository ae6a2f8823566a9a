#include "data/FileLock.h"

#include "data/DatabaseError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

TFileLock::~TFileLock() {
    Unlock();
}

std::string TFileLock::OfficeLockFile(const std::string& path) {
    std::filesystem::path p(path);
    std::filesystem::path lock = p.parent_path() / (".~lock." + p.filename().string() + "#");
    std::error_code ec;
    return std::filesystem::exists(lock, ec) ? lock.string() : std::string();
}

bool TFileLock::Lock(short type) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    return fcntl(fFd, F_OFD_SETLK, &fl) == 0;
}

bool TFileLock::LockShared(const std::string& path) {
    Unlock();
    fPath = path;
    fFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fFd < 0) return false;
    if (!Lock(F_RDLCK)) {
        ::close(fFd);
        fFd = -1;
        return false;
    }
    return true;
}

void TFileLock::LockExclusive(const std::string& path) {
    if (fFd < 0 || path != fPath) {
        Unlock();
        fPath = path;
        fFd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fFd < 0)
            throw EDatabaseError("Cannot write table \"" + path + "\": " + std::strerror(errno));
    }
    std::string office = OfficeLockFile(path);
    if (!office.empty())
        throw EDatabaseError("Table \"" + path + "\" is open in another program (" + office + ")");
    // A descriptor opened read-only cannot carry a write lock.
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        throw EDatabaseError("Cannot write table \"" + path + "\": " + std::strerror(errno));
    int old = fFd;
    fFd = fd;
    if (!Lock(F_WRLCK)) {
        int err = errno;
        ::close(fd);
        fFd = old;
        throw EDatabaseError("Table \"" + path + "\" is in use by another program" +
                             (err == EAGAIN || err == EACCES
                                  ? std::string()
                                  : ": " + std::string(std::strerror(err))));
    }
    ::close(old); // its shared lock is replaced by the exclusive one
    fExclusive = true;
}

void TFileLock::Downgrade() {
    if (fFd >= 0 && fExclusive) {
        Lock(F_RDLCK);
        fExclusive = false;
    }
}

void TFileLock::Unlock() {
    if (fFd >= 0) ::close(fFd);
    fFd = -1;
    fExclusive = false;
}

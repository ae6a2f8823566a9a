#include "data/platform/RangeLock.h"

#include "data/base/DatabaseError.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <thread>

namespace {
int Apply(int fd, short type, uint64_t offset, uint64_t length) {
    struct flock fl;
    std::memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    while (fcntl(fd, F_OFD_SETLK, &fl) != 0)
        if (errno != EINTR) return errno;
    return 0;
}
} // namespace

bool TRangeLock::TryLock(uint64_t offset, uint64_t length, bool exclusive, int waitMs) {
    if (length == 0) return true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    auto pause = std::chrono::microseconds(100);
    for (;;) {
        const int err = Apply(fFd, exclusive ? F_WRLCK : F_RDLCK, offset, length);
        if (err == 0) {
            fHeld.push_back({offset, length});
            return true;
        }
        if ((err != EAGAIN && err != EACCES) || std::chrono::steady_clock::now() >= until) {
            errno = err;
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
}

void TRangeLock::Lock(uint64_t offset, uint64_t length, bool exclusive, int waitMs) {
    if (TryLock(offset, length, exclusive, waitMs)) return;
    const int err = errno;
    throw EDatabaseError(
        "Table \"" + fPath + "\" is in use by another program" +
        (err == EAGAIN || err == EACCES ? std::string() : ": " + std::string(std::strerror(err))));
}

void TRangeLock::Release() {
    for (const TRange& r : fHeld)
        Apply(fFd, F_UNLCK, r.Offset, r.Length);
    fHeld.clear();
}

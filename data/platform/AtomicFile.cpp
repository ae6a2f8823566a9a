#include "data/platform/AtomicFile.h"

#include "data/base/DatabaseError.h"
#include "data/platform/FileIdentity.h"
#include "data/platform/SignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// Bytes until an injected failure; -1 none. Files are written and committed
// on several threads at once (pictures beside a document): atomic, and
// written only while a failure is injected.
std::atomic<long long> gFailAfter{-1};

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The folder part with its slash ("" for a bare name), for names beside.
std::string FolderPrefix(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Six characters that no other temporary of this process had and that
// another process is unlikely to pick; O_EXCL settles the rest.
std::string RandomPart() {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::atomic<uint64_t> counter{0};
    uint64_t x =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<uint64_t>(::getpid()) << 32);
    x += 0x9E3779B97F4A7C15ull * (counter.fetch_add(1, std::memory_order_relaxed) + 1);
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    std::string s;
    for (int k = 0; k < 6; ++k) {
        s += alphabet[x % (sizeof alphabet - 1)];
        x /= sizeof alphabet - 1;
    }
    return s;
}

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int ConnectSocket(const std::string& path) {
    sockaddr_un addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

const char* const TableDetail[] = {"cannot create a temporary file beside it", "write failed",
                                   "cannot flush to disk", "cannot close",
                                   "cannot replace the file"};
const char* const Verb[] = {"create", "write", "write", "write", "replace"};
} // namespace

void TAtomicFile::InjectFailureAfter(long long bytes) {
    gFailAfter = bytes;
}

void TAtomicFile::Fail(TStage stage, int error, const char* reason) const {
    std::string message;
    if (std::strcmp(fOptions.Noun, "table") == 0)
        message = "Cannot write table \"" + fPath + "\": " +
                  (reason ? std::string(reason)
                          : std::string(TableDetail[stage]) + ": " + std::strerror(error));
    else
        message = std::string("Cannot ") + Verb[stage] + " " + fOptions.Noun + " \"" + fPath +
                  "\": " + (reason ? reason : std::strerror(error));
    if (fOptions.Raise) fOptions.Raise(message, error);
    throw EDatabaseError(message);
}

void TAtomicFile::CheckInjected(size_t bytes) const {
    const long long left = gFailAfter.load(std::memory_order_relaxed);
    if (left < 0) return;
    if (static_cast<long long>(bytes) > left) {
        gFailAfter.store(-1);
        Fail(stWrite, ENOSPC);
    }
    gFailAfter.fetch_sub(static_cast<long long>(bytes));
}

std::string TAtomicFile::TemporaryName(const std::string& path) {
    return FolderPrefix(path) + ".tbl" + RandomPart();
}

std::string TAtomicFile::PartialName(const std::string& path) {
    const std::string prefix = FolderPrefix(path);
    const std::string name = path.substr(prefix.size());
    static const std::string suffix = ".partial";
    long max = ::pathconf(prefix.empty() ? "." : prefix.c_str(), _PC_NAME_MAX);
    if (max <= 0) max = 255;
    const auto limit = static_cast<size_t>(max);
    if (name.size() + suffix.size() <= limit) return path + suffix;
    size_t keep = limit > suffix.size() ? limit - suffix.size() : 0;
    // Not inside a UTF-8 sequence: back up to the start of the character cut.
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    return prefix + name.substr(0, keep) + suffix;
}

TAtomicFile::TAtomicFile(const std::string& path, const TOptions& options)
    : fOptions(options), fPath(path), fTarget(path) {
    if (path.empty()) Fail(stCreate, ENOENT);
    struct stat st;
    bool exists = false;
    if (fOptions.FollowLinks) {
        if (::stat(path.c_str(), &st) == 0) {
            exists = true;
            struct stat own;
            // Replacing the file a link names keeps the link; the rename
            // goes to that file's own name.
            if (S_ISREG(st.st_mode) && ::lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode)) {
                char* real = ::realpath(path.c_str(), nullptr);
                if (real) {
                    fTarget = real;
                    std::free(real);
                }
            }
        } else {
            if (errno != ENOENT) Fail(stCreate, errno);
            // Through a link to a file that does not exist yet: create that file.
            fTarget = TFileIdentity::FinalName(path);
            if (fTarget.empty()) Fail(stCreate, errno);
        }
    } else if (::lstat(path.c_str(), &st) == 0) {
        exists = true;
    } else if (errno != ENOENT) {
        Fail(stCreate, errno);
    }

    const struct stat* replaced = nullptr;
    if (exists) {
        if (S_ISDIR(st.st_mode)) Fail(stCreate, EISDIR, "it is a folder");
        if (S_ISREG(st.st_mode)) {
            if (::faccessat(AT_FDCWD, fTarget.c_str(), W_OK, AT_EACCESS) != 0) {
                const int error = errno;
                Fail(stCreate, error, error == EACCES ? "the file is read-only" : nullptr);
            }
            replaced = &st;
            // In a folder with the sticky bit (/tmp) a file of another user
            // may be written but not replaced.
            struct stat folder;
            const uid_t me = ::geteuid();
            if (fOptions.InPlace && me != 0 && st.st_uid != me &&
                ::stat(FolderOf(fTarget).c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
                folder.st_uid != me) {
                OpenInPlace(false, &st);
                return;
            }
        } else if (!S_ISLNK(st.st_mode)) {
            if (!fOptions.InPlace) Fail(stCreate, EINVAL, "it is not a regular file");
            OpenInPlace(true, &st);
            return;
        }
    }
    if (!CreateTemporary(replaced)) {
        const int error = errno;
        if (fOptions.InPlace && replaced && (error == EACCES || error == EPERM)) {
            OpenInPlace(false, replaced);
            return;
        }
        Fail(stCreate, error);
    }
    try {
        if (fOptions.KeepPartial) fPartialPath = PartialName(fTarget);
        fSlot = TSignalCleanup::Register(fTempPath, fPartialPath, false);
    } catch (...) {
        ::close(fFd);
        ::unlink(fTempPath.c_str());
        throw;
    }
}

void TAtomicFile::OpenInPlace(bool special, const struct stat* st) {
    fInPlace = true;
    fSpecial = special;
    fRegular = !special;
    if (special) {
        // The program's own output: written through its descriptor, which
        // works for a socket too and keeps the shell's way of opening it.
        for (int standard : {1, 2}) {
            struct stat own;
            if (::fstat(standard, &own) == 0 && SameInode(own, *st)) {
                fFd = ::fcntl(standard, F_DUPFD_CLOEXEC, 3);
                if (fFd < 0) Fail(stCreate, errno);
                return;
            }
        }
        if (S_ISSOCK(st->st_mode))
            fFd = ConnectSocket(fPath);
        else
            fFd = OpenRetrying(fPath.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    } else {
        fFd = OpenRetrying(fTarget.c_str(), O_RDWR | O_TRUNC | O_NOCTTY | O_CLOEXEC);
        if (fFd < 0 && errno == EACCES) // a file that may be written, not read
            fFd = OpenRetrying(fTarget.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    }
    if (fFd < 0) Fail(stCreate, errno);
}

bool TAtomicFile::CreateTemporary(const struct stat* replaced) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(fTarget);
        // 0666: the umask applies as for any new file; a file being
        // replaced passes its owner and permissions on. Open for reading
        // too: a writer may read back what it wrote (the RTF body).
        const int fd =
            OpenRetrying(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fFd = fd;
            fTempPath = std::move(name);
            if (replaced) {
                if ((replaced->st_uid != ::geteuid() || replaced->st_gid != ::getegid()) &&
                    ::fchown(fd, replaced->st_uid, replaced->st_gid) != 0) {
                    // Not ours to give away: the new file stays ours.
                }
                (void)::fchmod(fd, replaced->st_mode & 07777);
            }
            return true;
        }
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

TAtomicFile::~TAtomicFile() {
    if (!fDone) Discard(fOptions.KeepPartial);
}

void TAtomicFile::KeepNoPartial() {
    fPartialPath.clear();
    TSignalCleanup::SetKeepAs(fSlot, std::string());
}

void TAtomicFile::Flush() {
    size_t done = 0;
    while (done < fBuffer.size()) {
        ssize_t n = ::write(fFd, fBuffer.data() + done, fBuffer.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(stWrite, errno);
        }
        if (n == 0) Fail(stWrite, ENOSPC);
        done += static_cast<size_t>(n);
    }
    fBuffer.clear();
}

void TAtomicFile::Write(const void* data, size_t size) {
    CheckInjected(size);
    fBuffer.append(static_cast<const char*>(data), size);
    fSize += size;
    if (fBuffer.size() >= (1 << 16)) Flush();
}

void TAtomicFile::WriteAt(uint64_t offset, const void* data, size_t size) {
    Flush();
    CheckInjected(size);
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pwrite(fFd, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(stWrite, errno);
        }
        done += static_cast<size_t>(n);
    }
    if (offset + size > fSize) fSize = offset + size;
}

void TAtomicFile::Commit() {
    if (fDone) return;
    if (fFd >= 0) {
        Flush();
        if (gFailAfter.load(std::memory_order_relaxed) == 0) {
            gFailAfter.store(-1);
            Fail(stSync, EIO);
        }
        if (gFailAfter.load(std::memory_order_relaxed) >= 0) gFailAfter.store(-1);
        if (fOptions.Sync && !fSpecial) {
            int r;
            do {
                r = ::fsync(fFd);
            } while (r != 0 && errno == EINTR);
            if (r != 0) Fail(stSync, errno);
        }
        const int fd = fFd;
        fFd = -1;
        // On Linux the descriptor is gone even when close() reports EINTR.
        if (::close(fd) != 0 && errno != EINTR) Fail(stClose, errno);
    }
    if (!fInPlace) {
        if (std::rename(fTempPath.c_str(), fTarget.c_str()) != 0) Fail(stReplace, errno);
        TSignalCleanup::Unregister(fSlot);
        fSlot = -1;
    }
    fDone = true;
}

std::string TAtomicFile::Discard(bool keepPartial) {
    if (fDone) return std::string();
    fDone = true;
    if (fFd >= 0) {
        ::close(fFd);
        fFd = -1;
    }
    std::string kept;
    if (!fInPlace && !fTempPath.empty()) {
        if (keepPartial && !fPartialPath.empty() &&
            std::rename(fTempPath.c_str(), fPartialPath.c_str()) == 0)
            kept = fPartialPath;
        else
            ::unlink(fTempPath.c_str());
        TSignalCleanup::Unregister(fSlot);
        fSlot = -1;
    }
    return kept;
}

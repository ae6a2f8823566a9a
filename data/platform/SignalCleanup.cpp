#include "data/platform/SignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int SlotCount = 32;
constexpr size_t PathCapacity = 4096;

// A slot is free, being written by its owner, armed, or taken by the
// handler (which never gives it back: the process ends).
enum : int { slFree, slWriting, slArmed, slTaken };

struct TSlot {
    std::atomic<int> State{slFree};
    bool Folder = false;
    char Path[PathCapacity];
    char KeepAs[PathCapacity];
};

TSlot gSlots[SlotCount];
std::atomic<int> gDeferring{0};
std::atomic<int> gPending{0};
std::atomic<bool> gInstalled{false};
constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};

static_assert(std::atomic<int>::is_always_lock_free, "the handler needs lock-free atomics");

bool Copy(char* to, const std::string& from) {
    if (from.size() >= PathCapacity) return false;
    std::memcpy(to, from.c_str(), from.size() + 1);
    return true;
}

std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[PathCapacity];
    if (!::getcwd(cwd, sizeof cwd)) return path;
    return std::string(cwd) + "/" + path;
}

// The files of a folder this program made (no subfolders), then the folder.
void RemoveFolder(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        alignas(8) char buffer[4096];
        // Removing while reading may skip names: read again until a pass
        // finds nothing to remove.
        for (bool removed = true; removed;) {
            removed = false;
            if (::lseek(fd, 0, SEEK_SET) != 0) break;
            for (;;) {
                const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
                if (n <= 0) break;
                for (ssize_t at = 0; at < n;) {
                    const auto* e = reinterpret_cast<const struct dirent64*>(buffer + at);
                    at += e->d_reclen;
                    const char* name = e->d_name;
                    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                        continue;
                    if (::unlinkat(fd, name, 0) == 0) removed = true;
                }
            }
        }
        ::close(fd);
    }
    ::rmdir(path);
}

void CleanUp() {
    for (TSlot& slot : gSlots) {
        int armed = slArmed;
        if (!slot.State.compare_exchange_strong(armed, slTaken, std::memory_order_acquire))
            continue;
        if (slot.Folder)
            RemoveFolder(slot.Path);
        else if (slot.KeepAs[0] == 0 || ::rename(slot.Path, slot.KeepAs) != 0)
            ::unlink(slot.Path);
    }
}

void Act(int sig) {
    const int saved = errno;
    CleanUp();
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(sig, &dfl, nullptr);
    ::raise(sig);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr); // the raised signal ends the process here
    errno = saved;
}

void Handler(int sig) {
    if (gDeferring.load() > 0) {
        gPending.store(sig);
        // The last TDefer may have ended between the two loads: then no one
        // would act on the signal.
        if (gDeferring.load() > 0) return;
        int pending = sig;
        if (!gPending.compare_exchange_strong(pending, 0)) return;
    }
    Act(sig);
}

} // namespace

void TSignalCleanup::Install() {
    if (gInstalled.exchange(true)) return;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = Handler;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    for (int sig : Signals)
        sigaddset(&sa.sa_mask, sig); // one handler at a time
    for (int sig : Signals) {
        struct sigaction old;
        if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(sig, &sa, nullptr);
    }
}

int TSignalCleanup::Register(const std::string& path, const std::string& keepAs, bool folder) {
    const std::string absolute = Absolute(path);
    const std::string keep = keepAs.empty() ? keepAs : Absolute(keepAs);
    if (absolute.size() >= PathCapacity || keep.size() >= PathCapacity) return -1;
    for (int i = 0; i < SlotCount; ++i) {
        TSlot& slot = gSlots[i];
        int free = slFree;
        if (!slot.State.compare_exchange_strong(free, slWriting, std::memory_order_acquire))
            continue;
        Copy(slot.Path, absolute);
        Copy(slot.KeepAs, keep);
        slot.Folder = folder;
        slot.State.store(slArmed, std::memory_order_release);
        return i;
    }
    return -1;
}

void TSignalCleanup::SetKeepAs(int slot, const std::string& keepAs) {
    if (slot < 0 || slot >= SlotCount) return;
    TSlot& s = gSlots[slot];
    const std::string keep = keepAs.empty() ? keepAs : Absolute(keepAs);
    int armed = slArmed;
    if (!s.State.compare_exchange_strong(armed, slWriting, std::memory_order_acquire)) return;
    // A name too long to note is not kept: the file is removed instead.
    if (!Copy(s.KeepAs, keep)) s.KeepAs[0] = 0;
    s.State.store(slArmed, std::memory_order_release);
}

void TSignalCleanup::Unregister(int slot) {
    if (slot < 0 || slot >= SlotCount) return;
    int armed = slArmed;
    gSlots[slot].State.compare_exchange_strong(armed, slFree, std::memory_order_release);
}

TSignalCleanup::TDefer::TDefer() {
    gDeferring.fetch_add(1);
}

TSignalCleanup::TDefer::~TDefer() {
    if (gDeferring.fetch_sub(1) != 1) return;
    const int sig = gPending.exchange(0);
    if (sig != 0) Act(sig);
}

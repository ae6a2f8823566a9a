#include "data/platform/MappedFile.h"

#include "data/base/DatabaseError.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// The mappings the SIGBUS handler knows, in blocks that are never freed, so
// that the handler can walk them at any moment without a lock.
struct TGuardBlock {
    static constexpr size_t Slots = 64;
    TMapGuard Slot[Slots];
    std::atomic<TGuardBlock*> Next{nullptr};
};

TGuardBlock gFirstBlock;
std::mutex gGrowMutex;
struct sigaction gPrevious {};
std::atomic<bool> gGuarded{false};

uintptr_t PageSize() {
    static const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    return page;
}

// The slot whose range holds `at`, read as one consistent pair; null when
// no mapping of ours holds it.
TMapGuard* SlotOf(uintptr_t at, uintptr_t& begin, uintptr_t& end) {
    for (TGuardBlock* b = &gFirstBlock; b; b = b->Next.load(std::memory_order_acquire)) {
        for (TMapGuard& g : b->Slot) {
            const uint64_t seq = g.Seq.load(std::memory_order_acquire);
            if (seq & 1) continue;
            begin = g.Begin.load(std::memory_order_acquire);
            end = g.End.load(std::memory_order_acquire);
            if (g.Seq.load(std::memory_order_acquire) != seq) continue;
            if (begin <= at && at < end) return &g;
        }
    }
    return nullptr;
}

} // namespace

// Also from the signal handler: two lock-free stores.
void MarkChanged(TMapGuard& guard) {
    guard.Changed.store(true, std::memory_order_seq_cst);
    TMappedFile::sChanges.fetch_add(1, std::memory_order_seq_cst);
}

namespace {
void OnBusError(int sig, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    uintptr_t begin = 0, end = 0;
    if (info && info->si_code == BUS_ADRERR) {
        if (TMapGuard* g = SlotOf(reinterpret_cast<uintptr_t>(info->si_addr), begin, end)) {
            // The file is shorter than the mapping now. Zero pages in place of
            // the whole of it let the read finish; the readers see the mark
            // and raise before anything read is used.
            MarkChanged(*g);
            const long done = ::syscall(SYS_mmap, begin, end - begin, PROT_READ,
                                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
            errno = savedErrno;
            if (done != -1) return;
        }
    }
    // Not one of ours: whoever handled the signal before us, or the default.
    if (gPrevious.sa_flags & SA_SIGINFO) {
        if (gPrevious.sa_sigaction) {
            gPrevious.sa_sigaction(sig, info, context);
            return;
        }
    } else if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
        gPrevious.sa_handler(sig);
        return;
    }
    // The default action: the signal is blocked here, so raising it now
    // delivers it as soon as this returns.
    signal(sig, SIG_DFL);
    raise(sig);
}

void InstallHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa {};
        sa.sa_sigaction = OnBusError;
        sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
        sigemptyset(&sa.sa_mask);
        if (sigaction(SIGBUS, &sa, &gPrevious) != 0) return;
        // A sanitizer may answer yes and keep the signal for itself.
        struct sigaction now {};
        gGuarded.store(sigaction(SIGBUS, nullptr, &now) == 0 && (now.sa_flags & SA_SIGINFO) &&
                       now.sa_sigaction == OnBusError);
    });
}

TMapGuard* TakeSlot(uintptr_t begin, uintptr_t end) {
    InstallHandler();
    for (TGuardBlock* b = &gFirstBlock;;) {
        for (TMapGuard& g : b->Slot) {
            bool free = false;
            if (!g.Taken.load(std::memory_order_relaxed) &&
                g.Taken.compare_exchange_strong(free, true, std::memory_order_acquire)) {
                g.Changed.store(false, std::memory_order_relaxed);
                g.Seq.fetch_add(1, std::memory_order_acq_rel);
                g.Begin.store(begin, std::memory_order_release);
                g.End.store(end, std::memory_order_release);
                g.Seq.fetch_add(1, std::memory_order_acq_rel);
                return &g;
            }
        }
        TGuardBlock* next = b->Next.load(std::memory_order_acquire);
        if (!next) {
            std::lock_guard<std::mutex> lock(gGrowMutex);
            next = b->Next.load(std::memory_order_acquire);
            if (!next) {
                next = new TGuardBlock; // reachable from the list for good
                b->Next.store(next, std::memory_order_release);
            }
        }
        b = next;
    }
}

void GiveSlot(TMapGuard* g) {
    g->Seq.fetch_add(1, std::memory_order_acq_rel);
    g->End.store(0, std::memory_order_release);
    g->Begin.store(0, std::memory_order_release);
    g->Seq.fetch_add(1, std::memory_order_acq_rel);
    g->Taken.store(false, std::memory_order_release);
}
} // namespace

TMappedFile::TMappedFile(const std::string& path, bool watch) : fPath(path), fWatch(watch) {
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
    fModified = st.st_mtim;
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
    const auto begin = reinterpret_cast<uintptr_t>(p);
    const uintptr_t page = PageSize();
    try {
        fGuard = TakeSlot(begin, begin + (fSize + page - 1) / page * page);
    } catch (...) {
        Close();
        throw;
    }
}

TMappedFile::~TMappedFile() {
    Close();
}

TMappedFile::TMappedFile(TMappedFile&& o) noexcept
    : fPath(std::move(o.fPath)), fData(o.fData), fSize(o.fSize), fFd(o.fFd), fGuard(o.fGuard),
      fWatch(o.fWatch), fModified(o.fModified), fKept(o.fKept.load(std::memory_order_relaxed)) {
    o.fData = nullptr;
    o.fSize = 0;
    o.fFd = -1;
    o.fGuard = nullptr;
}

TMappedFile& TMappedFile::operator=(TMappedFile&& o) noexcept {
    if (this != &o) {
        Close();
        fPath = std::move(o.fPath);
        fData = o.fData;
        fSize = o.fSize;
        fFd = o.fFd;
        fGuard = o.fGuard;
        fWatch = o.fWatch;
        fModified = o.fModified;
        fKept.store(o.fKept.load(std::memory_order_relaxed), std::memory_order_relaxed);
        o.fData = nullptr;
        o.fSize = 0;
        o.fFd = -1;
        o.fGuard = nullptr;
    }
    return *this;
}

bool TMappedFile::Guarded() {
    InstallHandler();
    return gGuarded.load();
}

bool TMappedFile::Unchanged() const {
    if (!Intact()) return false;
    if (!fWatch || fFd < 0) return true;
    struct stat st;
    if (fstat(fFd, &st) != 0) return true; // nothing known: the mapping's word stands
    if (static_cast<uint64_t>(st.st_size) == fSize && st.st_mtim.tv_sec == fModified.tv_sec &&
        st.st_mtim.tv_nsec == fModified.tv_nsec)
        return true;
    if (fGuard) MarkChanged(*fGuard);
    return false;
}

void TMappedFile::Written() {
    struct stat st;
    if (fFd >= 0 && fstat(fFd, &st) == 0 && static_cast<uint64_t>(st.st_size) == fSize)
        fModified = st.st_mtim;
}

void TMappedFile::RaiseChanged(const char* what) const {
    throw EDatabaseError(std::string("The ") + what + " \"" + fPath +
                         "\" changed while it was read: another program truncated or rewrote "
                         "it; open it again");
}

void TMappedFile::Release(uint64_t from, uint64_t to) const {
    const uint64_t page = PageSize();
    from = from / page * page;
    to = std::min<uint64_t>(to, fSize) / page * page;
    // Only a hint: when it fails the pages simply stay.
    if (fData && to > from) ::madvise(const_cast<uint8_t*>(fData) + from, to - from, MADV_DONTNEED);
}

void TMappedFile::ReleaseBefore(uint64_t kept, uint64_t offset) const {
    const uint64_t page = PageSize();
    Release(kept, offset);
    fKept.store(std::min<uint64_t>(offset, fSize) / page * page, std::memory_order_relaxed);
    // A few megabytes on: a look at the file costs nothing beside them.
    (void)Unchanged();
}

void TMappedFile::Close() {
    // The handler forgets the range before it is unmapped.
    if (fGuard) GiveSlot(fGuard);
    fGuard = nullptr;
    if (fData) munmap(const_cast<uint8_t*>(fData), fSize);
    if (fFd >= 0) ::close(fFd);
    fData = nullptr;
    fSize = 0;
    fFd = -1;
    fKept.store(0, std::memory_order_relaxed);
}

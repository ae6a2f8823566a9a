#include "data/platform/RollbackJournal.h"

#include "data/base/DatabaseError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr char Magic[8] = {'T', 'B', 'L', 'J', 'R', 'N', 'L', '1'};
constexpr uint32_t Version = 1;

int gHookStep = 0;
void (*gHook)(int) = nullptr;
int gLastSteps = 0;

void Put(std::string& s, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint64_t Fnv(std::string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

std::string FolderOf(const std::string& path) {
    std::string dir = std::filesystem::path(path).parent_path().string();
    return dir.empty() ? std::string(".") : dir;
}

bool SyncFolder(const std::string& path) {
    int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Gives a file a modification time of its own, later than `before` (its
// time before the commit) and finer than the file system's clock tick,
// which two commits may share: a program that compares times sees every
// commit. Best effort: only the file's owner may set a time; the tick's
// time stays otherwise.
void TouchFinely(int fd, const timespec& before) {
    struct timespec times[2];
    if (::clock_gettime(CLOCK_REALTIME, &times[1]) != 0) return;
    if (times[1].tv_sec < before.tv_sec ||
        (times[1].tv_sec == before.tv_sec && times[1].tv_nsec <= before.tv_nsec)) {
        times[1] = before;
        if (++times[1].tv_nsec == 1000000000) times[1].tv_sec++, times[1].tv_nsec = 0;
    }
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    ::futimens(fd, times);
}

bool WriteAll(int fd, const char* data, size_t size, uint64_t at) {
    while (size > 0) {
        ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(at));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n, size -= static_cast<size_t>(n), at += static_cast<uint64_t>(n);
    }
    return true;
}

bool ReadAll(int fd, char* data, size_t size, uint64_t at) {
    while (size > 0) {
        ssize_t n = ::pread(fd, data, size, static_cast<off_t>(at));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n, size -= static_cast<size_t>(n), at += static_cast<uint64_t>(n);
    }
    return true;
}

// Reads the journal's fields in order; any read past its end marks it torn.
struct TReader {
    std::string_view Data;
    size_t At = 0;
    bool Ok = true;
    uint64_t Get(int bytes) {
        if (Data.size() - At < static_cast<size_t>(bytes)) {
            Ok = false;
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |=
                static_cast<uint64_t>(static_cast<unsigned char>(Data[At + static_cast<size_t>(i)]))
                << (8 * i);
        At += static_cast<size_t>(bytes);
        return v;
    }
    std::string_view Bytes(uint64_t n) {
        if (Data.size() - At < n) {
            Ok = false;
            return {};
        }
        std::string_view s = Data.substr(At, static_cast<size_t>(n));
        At += static_cast<size_t>(n);
        return s;
    }
};
} // namespace

TRollbackJournal::TRollbackJournal(std::string tablePath)
    : fTable(std::move(tablePath)), fJournal(PathFor(fTable)) {}

TRollbackJournal::~TRollbackJournal() {
    for (const TFile& f : fFiles)
        if (f.Owned) ::close(f.Fd);
}

std::string TRollbackJournal::PathFor(const std::string& tablePath) {
    return tablePath + "-journal";
}

void TRollbackJournal::SetStepHook(int step, void (*hook)(int)) {
    gHookStep = step;
    gHook = hook;
}

int TRollbackJournal::StepsTaken() {
    return gLastSteps;
}

void TRollbackJournal::Step() {
    ++fSteps;
    gLastSteps = fSteps;
    if (!gHook || fSteps != gHookStep) return;
    try {
        gHook(fSteps);
    } catch (const EDatabaseError& e) {
        Fail(e.what(), 0);
    }
}

void TRollbackJournal::Fail(const std::string& what, int err) const {
    throw EDatabaseError("Cannot write table \"" + fTable + "\": " + what +
                         (err ? ": " + std::string(std::strerror(err)) : std::string()));
}

size_t TRollbackJournal::AddFile(const std::string& path, int fd) {
    for (size_t i = 0; i < fFiles.size(); ++i)
        if (fFiles[i].Fd == fd) return i;
    struct stat st;
    if (::fstat(fd, &st) != 0) Fail("cannot read the size of \"" + path + "\"", errno);
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    fFiles.push_back({path, fd, size, size, st.st_mtim, false});
    return fFiles.size() - 1;
}

size_t TRollbackJournal::AddFile(const std::string& path) {
    for (size_t i = 0; i < fFiles.size(); ++i)
        if (fFiles[i].Path == path) return i;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) Fail("cannot open \"" + path + "\" for writing", errno);
    try {
        const size_t i = AddFile(path, fd);
        fFiles[i].Owned = true;
        return i;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

void TRollbackJournal::Write(size_t file, uint64_t offset, std::string_view bytes) {
    if (bytes.empty()) return;
    TFile& f = fFiles.at(file);
    f.NewSize = std::max<uint64_t>(f.NewSize, offset + bytes.size());
    fWrites.push_back({file, offset, std::string(bytes), std::string()});
}

void TRollbackJournal::WriteChanged(size_t file, std::string_view old, std::string_view now) {
    // Runs closer than this are written as one: fewer regions to journal.
    constexpr size_t Gap = 64;
    const size_t common = std::min(old.size(), now.size());
    size_t at = 0;
    while (at < common) {
        // Whole pieces that are the same are passed over at memcmp's speed.
        constexpr size_t Piece = 256;
        if (common - at >= Piece && std::memcmp(old.data() + at, now.data() + at, Piece) == 0) {
            at += Piece;
            continue;
        }
        if (old[at] == now[at]) {
            ++at;
            continue;
        }
        size_t end = at + 1, same = 0;
        for (size_t i = end; i < common && same < Gap; ++i)
            if (old[i] == now[i]) {
                ++same;
            } else {
                end = i + 1;
                same = 0;
            }
        Write(file, at, now.substr(at, end - at));
        at = end;
    }
    if (now.size() > old.size()) Write(file, old.size(), now.substr(old.size()));
}

std::string TRollbackJournal::Serialize() const {
    std::string out(Magic, sizeof Magic);
    Put(out, Version, 4);
    Put(out, fFiles.size(), 4);
    for (const TFile& f : fFiles) {
        const std::string name = std::filesystem::path(f.Path).filename().string();
        Put(out, name.size(), 4);
        out += name;
        Put(out, f.OldSize, 8);
    }
    Put(out, fWrites.size(), 4);
    for (const TWrite& w : fWrites) {
        Put(out, w.File, 4);
        Put(out, w.Offset, 8);
        Put(out, w.Old.size(), 4);
        out += w.Old;
    }
    Put(out, Fnv(out), 8);
    Put(out, out.size() + 8, 8);
    return out;
}

bool TRollbackJournal::Restore() noexcept {
    bool ok = true;
    // Later writes first, so that where two overlap the oldest bytes win.
    for (auto w = fWrites.rbegin(); w != fWrites.rend(); ++w)
        if (!w->Old.empty())
            ok = WriteAll(fFiles[w->File].Fd, w->Old.data(), w->Old.size(), w->Offset) && ok;
    for (const TFile& f : fFiles) {
        if (f.NewSize > f.OldSize) ok = ::ftruncate(f.Fd, static_cast<off_t>(f.OldSize)) == 0 && ok;
        ok = ::fsync(f.Fd) == 0 && ok;
    }
    return ok;
}

void TRollbackJournal::Commit() {
    fSteps = 0;
    gLastSteps = 0;
    if (fWrites.empty()) return;
    for (TWrite& w : fWrites) {
        const TFile& f = fFiles[w.File];
        if (w.Offset < f.OldSize) {
            w.Old.resize(
                static_cast<size_t>(std::min<uint64_t>(w.Bytes.size(), f.OldSize - w.Offset)));
            if (!ReadAll(f.Fd, w.Old.data(), w.Old.size(), w.Offset))
                Fail("cannot read \"" + f.Path + "\"", errno);
        }
    }
    const std::string journal = Serialize();
    int fd = ::open(fJournal.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) Fail("cannot create its journal \"" + fJournal + "\"", errno);
    try {
        Step();
        if (!WriteAll(fd, journal.data(), journal.size(), 0))
            Fail("cannot write its journal \"" + fJournal + "\"", errno);
        Step();
        if (::fdatasync(fd) != 0) Fail("cannot flush its journal to disk", errno);
        Step();
        if (!SyncFolder(fJournal)) Fail("cannot flush its folder to disk", errno);
    } catch (...) {
        ::close(fd);
        ::unlink(fJournal.c_str());
        throw;
    }
    ::close(fd);

    try {
        for (const TWrite& w : fWrites) {
            Step();
            if (!WriteAll(fFiles[w.File].Fd, w.Bytes.data(), w.Bytes.size(), w.Offset))
                Fail("cannot write \"" + fFiles[w.File].Path + "\"", errno);
        }
        for (const TFile& f : fFiles)
            TouchFinely(f.Fd, f.OldTime);
        for (const TFile& f : fFiles) {
            Step();
            if (::fdatasync(f.Fd) != 0) Fail("cannot flush \"" + f.Path + "\" to disk", errno);
        }
    } catch (const EDatabaseError& e) {
        if (Restore() && ::unlink(fJournal.c_str()) == 0) {
            SyncFolder(fJournal);
            throw;
        }
        throw EDatabaseError(std::string(e.what()) +
                             "; the table will be put back as it was when it is opened again");
    }
    // Done: from here on the new table stands, whatever else fails. The
    // removal is not synced: should it be lost in a power cut, the journal
    // puts back the old table, which is one of the two allowed.
    Step();
    ::unlink(fJournal.c_str());
}

TRollbackJournal::TRecovery TRollbackJournal::Recover(const std::string& tablePath) {
    const std::string path = PathFor(tablePath);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return rcNone;
    std::string data;
    struct stat st;
    bool read = ::fstat(fd, &st) == 0 && st.st_size >= 0 && st.st_size < (1ll << 31);
    if (read) {
        data.resize(static_cast<size_t>(st.st_size));
        read = data.empty() || ReadAll(fd, data.data(), data.size(), 0);
    }
    ::close(fd);
    auto fail = [&](const std::string& what) {
        throw EDatabaseError("Cannot open table \"" + tablePath + "\": its journal \"" + path +
                             "\" of an unfinished change cannot be rolled back: " + what);
    };
    if (!read) fail(std::strerror(errno));

    // A journal is whole when its length and checksum say so.
    TReader r{data};
    bool whole =
        data.size() >= sizeof Magic + 16 && std::memcmp(data.data(), Magic, sizeof Magic) == 0;
    if (whole) {
        TReader tail{std::string_view(data).substr(data.size() - 16)};
        const uint64_t sum = tail.Get(8), length = tail.Get(8);
        whole =
            length == data.size() && sum == Fnv(std::string_view(data).substr(0, data.size() - 16));
    }
    if (!whole) {
        // Torn while it was written: nothing of the table was touched yet.
        if (::unlink(path.c_str()) != 0) fail(std::strerror(errno));
        SyncFolder(path);
        return rcDiscarded;
    }

    r.Data = std::string_view(data).substr(0, data.size() - 16);
    r.Bytes(sizeof Magic);
    if (r.Get(4) != Version) fail("it was written by another version of the program");
    const uint64_t files = r.Get(4);
    struct TTarget {
        std::string Path;
        uint64_t OldSize;
        int Fd = -1;
    };
    std::vector<TTarget> targets;
    for (uint64_t i = 0; r.Ok && i < files && i < 1024; ++i) {
        std::string name(r.Bytes(r.Get(4)));
        const uint64_t size = r.Get(8);
        if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
            fail("it names a file outside the table's folder");
        targets.push_back({(std::filesystem::path(FolderOf(tablePath)) / name).string(), size});
    }
    if (!r.Ok || targets.size() != files) fail("it is damaged");
    auto closeAll = [&] {
        for (TTarget& t : targets)
            if (t.Fd >= 0) ::close(t.Fd), t.Fd = -1;
    };
    for (TTarget& t : targets) {
        t.Fd = ::open(t.Path.c_str(), O_RDWR | O_CLOEXEC);
        if (t.Fd < 0) {
            const int err = errno;
            closeAll();
            fail("\"" + t.Path + "\": " + std::strerror(err));
        }
    }
    std::string error;
    const uint64_t regions = r.Get(4);
    for (uint64_t i = 0; r.Ok && error.empty() && i < regions; ++i) {
        const uint64_t file = r.Get(4), offset = r.Get(8);
        std::string_view old = r.Bytes(r.Get(4));
        if (!r.Ok || file >= targets.size()) break;
        if (!WriteAll(targets[file].Fd, old.data(), old.size(), offset))
            error = std::strerror(errno);
    }
    if (!r.Ok || r.At != r.Data.size()) error = "it is damaged";
    for (TTarget& t : targets) {
        if (!error.empty()) break;
        if (::ftruncate(t.Fd, static_cast<off_t>(t.OldSize)) != 0 || ::fsync(t.Fd) != 0)
            error = std::strerror(errno);
    }
    closeAll();
    if (!error.empty()) fail(error);
    if (::unlink(path.c_str()) != 0) fail(std::strerror(errno));
    SyncFolder(path);
    return rcRolledBack;
}

std::string TRollbackJournal::RecoveryMessage(const std::string& tablePath, TRecovery what) {
    switch (what) {
    case rcRolledBack:
        return "Table \"" + tablePath +
               "\" was put back as it was before a change that did not finish (its journal \"" +
               PathFor(tablePath) + "\" was applied)";
    case rcDiscarded:
        return "The unfinished journal \"" + PathFor(tablePath) + "\" beside table \"" + tablePath +
               "\" was removed; the table had not been changed";
    case rcNone:
        break;
    }
    return std::string();
}

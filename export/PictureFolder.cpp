#include "export/PictureFolder.h"

#include "data/platform/AtomicFile.h"
#include "data/platform/SignalCleanup.h"
#include "export/Stream.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = ::opendir(folder.c_str());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        names.emplace_back(n);
    }
    ::closedir(d);
    return names;
}

bool IsFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Present(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool Unsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

int Exchange(const std::string& a, const std::string& b) {
    return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE);
}

[[noreturn]] void Fail(const std::string& folder, int error) {
    throw EStreamError(
        "Cannot put the pictures in place in \"" + folder + "\": " + std::strerror(error), error);
}

} // namespace

TPictureFolder::~TPictureFolder() {
    Discard();
}

void TPictureFolder::Reset(const std::string& folder) {
    Discard();
    fFolder = folder;
    fPlace.clear();
    fTried = false;
}

void TPictureFolder::Forget() {
    TSignalCleanup::Unregister(fSlot);
    fSlot = -1;
    fWriting.clear();
    fDirect = false;
}

bool TPictureFolder::Prepare() {
    if (fTried) return !fWriting.empty();
    fTried = true;
    if (fFolder.empty()) return false;
    fPlace = fFolder;
    bool there = false;
    struct stat st;
    if (::lstat(fFolder.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            // A link to a folder: the pictures go where it leads.
            if (::stat(fFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
            char* real = ::realpath(fFolder.c_str(), nullptr);
            if (!real) return false;
            fPlace = real;
            std::free(real);
        } else if (!S_ISDIR(st.st_mode)) {
            return false; // a file in the way
        }
        there = true;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TAtomicFile::TemporaryName(fPlace);
        if (::mkdir(name.c_str(), 0700) == 0) {
            fWriting = std::move(name);
            fSlot = TSignalCleanup::Register(fWriting, std::string(), true);
            return true;
        }
        if (errno != EEXIST) break;
    }
    if (!there) return false;
    fWriting = fPlace;
    fDirect = true;
    return true;
}

bool TPictureFolder::Has(const std::string& name) const {
    if (fFolder.empty()) return false;
    if (!fWriting.empty() && !fDirect && IsFile(fWriting + "/" + name)) return true;
    return IsFile(fFolder + "/" + name);
}

std::string TPictureFolder::PathOf(const std::string& name) const {
    return fWriting + "/" + name;
}

void TPictureFolder::Discard() {
    if (!fWriting.empty() && !fDirect) {
        // Only what this export made is in it: its pictures, and links to
        // files of the old folder, which stay there.
        for (const std::string& name : Names(fWriting))
            ::unlink((fWriting + "/" + name).c_str());
        ::rmdir(fWriting.c_str());
    }
    Forget();
}

// The new folder goes in place first, then the document. Each is one
// rename; between the two the old document sees the new pictures, so when
// the document's rename fails the folders are swapped back, and only a
// crash in that instant leaves them apart. The other order could not be
// undone: once the document is replaced the old one is gone, and the new
// one would point at the old pictures.
void TPictureFolder::Commit(const std::function<void()>& putDocument) {
    if (fWriting.empty() || fDirect) {
        putDocument();
        Forget();
        return;
    }
    struct stat st;
    const bool old = ::stat(fPlace.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    mode_t mode;
    if (old) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0777 & ~mask;
    }
    (void)::chmod(fWriting.c_str(), mode);
    // What the old folder holds and this export did not write again joins
    // the new one, as links, so that the old document still sees all of it
    // until the swap. Folders cannot be linked: they move after the swap.
    if (old)
        for (const std::string& name : Names(fPlace))
            if (::link((fPlace + "/" + name).c_str(), (fWriting + "/" + name).c_str()) != 0) {
                // Written again by this export, or a folder.
            }

    enum { byExchange, byAside, byCreation } how;
    std::string former; // where the old folder is once the new one is in place
    if (!old &&
        ::renameat2(AT_FDCWD, fWriting.c_str(), AT_FDCWD, fPlace.c_str(), RENAME_NOREPLACE) == 0) {
        how = byCreation;
    } else if (!old && Unsupported(errno) && !Present(fPlace) &&
               std::rename(fWriting.c_str(), fPlace.c_str()) == 0) {
        how = byCreation;
    } else if (Exchange(fWriting, fPlace) == 0) {
        // (Also when another export made the folder meanwhile.)
        how = byExchange;
        former = fWriting;
    } else {
        if (!Unsupported(errno)) Fail(fFolder, errno);
        former = TAtomicFile::TemporaryName(fPlace);
        if (std::rename(fPlace.c_str(), former.c_str()) != 0) Fail(fFolder, errno);
        if (std::rename(fWriting.c_str(), fPlace.c_str()) != 0) {
            const int error = errno;
            (void)std::rename(former.c_str(), fPlace.c_str());
            Fail(fFolder, error);
        }
        how = byAside;
    }

    try {
        putDocument();
    } catch (...) {
        bool back = false;
        switch (how) {
        case byExchange:
            back = Exchange(fWriting, fPlace) == 0;
            break;
        case byAside:
            back = std::rename(fPlace.c_str(), fWriting.c_str()) == 0 &&
                   std::rename(former.c_str(), fPlace.c_str()) == 0;
            break;
        case byCreation:
            back = std::rename(fPlace.c_str(), fWriting.c_str()) == 0;
            break;
        }
        // What could not be put back is left as it is rather than removed.
        if (!back) Forget();
        throw;
    }
    TSignalCleanup::Unregister(fSlot);
    fSlot = -1;
    if (!former.empty()) {
        // The old folder's remains: what the new one lacks moves in (the
        // folders, or what came meanwhile); what it has is gone.
        for (const std::string& name : Names(former)) {
            const std::string from = former + "/" + name, to = fPlace + "/" + name;
            if (!Present(to)) {
                if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) !=
                        0 &&
                    Unsupported(errno))
                    (void)std::rename(from.c_str(), to.c_str());
            } else if (::unlink(from.c_str()) != 0) {
                // A folder of the same name stays where it is.
            }
        }
        ::rmdir(former.c_str()); // fails, and keeps it, when something stayed
    }
    fWriting.clear();
    fDirect = false;
}

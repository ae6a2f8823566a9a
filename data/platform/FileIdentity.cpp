#include "data/platform/FileIdentity.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string RealPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return std::string();
    std::string s(real);
    std::free(real);
    return s;
}
} // namespace

std::string TFileIdentity::FinalName(const std::string& path) {
    std::string name = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
        std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
        const ssize_t n = ::readlink(name.c_str(), target.data(), target.size());
        if (n < 0) return name;
        target.resize(static_cast<size_t>(n));
        if (target.empty() || target[0] != '/') {
            const size_t slash = name.rfind('/');
            if (slash != std::string::npos) target = name.substr(0, slash + 1) + target;
        }
        name = target;
    }
    errno = ELOOP;
    return std::string();
}

TFileIdentity TFileIdentity::Of(const std::string& path) {
    TFileIdentity id;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        id.Exists = true;
        id.Device = st.st_dev;
        id.Inode = st.st_ino;
    }
    std::string final = FinalName(path);
    if (final.empty()) final = path;
    // "dir/" and "dir/." name the folder itself; no other folder holds it
    // under a plain name.
    while (final.size() > 1 && final.back() == '/')
        final.pop_back();
    const size_t slash = final.rfind('/');
    id.Name = slash == std::string::npos ? final : final.substr(slash + 1);
    id.Folder = RealPath(FolderOf(final));
    return id;
}

TFileIdentity TFileIdentity::OfDescriptor(int fd) {
    TFileIdentity id;
    struct stat st;
    if (::fstat(fd, &st) == 0) {
        id.Exists = true;
        id.Device = st.st_dev;
        id.Inode = st.st_ino;
    }
    return id;
}

bool TFileIdentity::SameFile(const TFileIdentity& other) const {
    if (Exists || other.Exists)
        return Exists && other.Exists && Device == other.Device && Inode == other.Inode;
    return !Folder.empty() && Folder == other.Folder && Name == other.Name;
}

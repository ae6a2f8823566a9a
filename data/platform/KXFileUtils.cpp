#include "data/platform/KXFileUtils.h"

#include <sys/stat.h>

bool DirectoryExists(const std::string& path) {
    if (path.empty()) return false;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

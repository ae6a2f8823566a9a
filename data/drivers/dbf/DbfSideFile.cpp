#include "data/drivers/dbf/DbfSideFile.h"

#include "data/base/TextUtils.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {
bool IsFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool UpperExtension(const fs::path& table) {
    std::string e = table.extension().string();
    for (char c : e)
        if (c >= 'A' && c <= 'Z') return true;
    return false;
}
} // namespace

std::string SideFileName(const std::string& tablePath, const std::string& ext) {
    fs::path p(tablePath);
    return p.replace_extension(UpperExtension(p) ? UpperCase(ext) : LowerCase(ext)).string();
}

std::string FindSideFile(const std::string& tablePath, const std::string& ext, bool searchFolder) {
    fs::path table(tablePath);
    std::string stem = table.stem().string();
    fs::path dir = table.parent_path();
    for (const std::string& s : {stem, LowerCase(stem), UpperCase(stem)})
        for (const std::string& e : {LowerCase(ext), UpperCase(ext)}) {
            fs::path p = dir / (s + e);
            if (IsFile(p)) return p.string();
        }
    if (!searchFolder) return std::string();
    std::error_code ec;
    fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec);
    if (ec) return std::string();
    for (const fs::directory_entry& entry : it) {
        const fs::path& p = entry.path();
        if (SameText(p.stem().string(), stem) && SameText(p.extension().string(), ext) && IsFile(p))
            return (dir.empty() ? p.filename() : p).string();
    }
    return std::string();
}

#include "data/platform/VersionUtils.h"

#include <filesystem>

namespace {
#ifdef _WIN32
constexpr char Separator = '\\';
#else
constexpr char Separator = '/';
#endif

bool IsVersionText(const std::string& s) {
    if (s.empty() || s.front() == '.' || s.back() == '.') return false;
    for (char c : s)
        if (!(c >= '0' && c <= '9') && c != '.') return false;
    return true;
}
} // namespace

std::string GetFileVersionString(const std::string& fileName) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path real = fs::canonical(fs::path(fileName), ec);
    if (ec || !fs::is_regular_file(real, ec)) return std::string();
    std::string name = real.filename().string();
    size_t so = name.rfind(".so.");
    if (so == std::string::npos) return std::string();
    std::string version = name.substr(so + 4);
    return IsVersionText(version) ? version : std::string();
}

std::string GetADOVersion() {
    return std::string();
}

std::string IncludeTrailingSlash(const std::string& text) {
    if (text.empty() || text.back() == Separator) return text;
    return text + Separator;
}

#pragma once

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <stdlib.h>

// A folder of its own for a test, removed with everything in it afterwards.
class TTempFolder {
public:
    explicit TTempFolder(const std::string& prefix = "tabulon-test") {
        std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a temporary folder");
        fPath = tmpl;
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(fPath, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    std::string operator/(const std::string& name) const { return (fPath / name).string(); }
    const std::filesystem::path& Path() const { return fPath; }
    // The names of the files in the folder, sorted.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(fPath))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path fPath;
};

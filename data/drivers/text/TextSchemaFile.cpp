#include "data/drivers/text/TextSchemaFile.h"

#include "data/base/TextUtils.h"

#include <filesystem>

namespace fs = std::filesystem;

std::string FindTextSchemaFile(const std::string& tablePath) {
    fs::path p(tablePath);
    if (LowerCase(p.extension().string()) != ".txt") return std::string();
    const fs::path dir = p.parent_path();
    const std::string stem = p.stem().string();
    std::error_code ec;
    for (const fs::directory_entry& e :
         fs::directory_iterator(dir.empty() ? fs::path(".") : dir, ec)) {
        const fs::path& q = e.path();
        std::error_code fec;
        if (SameText(q.stem().string(), stem) && SameText(q.extension().string(), ".sch") &&
            fs::is_regular_file(q, fec))
            return (dir.empty() ? q.filename() : q).string();
    }
    return std::string();
}

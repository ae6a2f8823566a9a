#pragma once

// The files an installation holds, relative to its prefix, in the folders
// the build was configured with: nothing more (no tests, benchmarks or
// examples), nothing less.
#include <filesystem>
#include <set>
#include <string>

inline std::set<std::string> ExpectedInstalledFiles() {
    const std::string bin = TABULON_BINDIR, data = TABULON_DATADIR, root = TABULON_DATAROOTDIR,
                      man = TABULON_MANDIR;
    std::set<std::string> files = {
        bin + "/tabulx",
        root + "/applications/tabulon.desktop",
        root + "/mime/packages/tabulon.xml",
        root + "/icons/hicolor/scalable/apps/tabulon.svg",
        man + "/man1/tabulx.1.gz",
        root + "/doc/tabulon/copyright",
        root + "/doc/tabulon/changelog.gz",
    };
    for (int size : {16, 32, 48, 64, 128, 256})
        files.insert(root + "/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                     "/apps/tabulon.png");
    for (const char* sample :
         {"customers.dbf", "customers.dbt", "orders.db", "orders.mb", "orders.px", "products.csv",
          "staff.db", "staff.mb", "staff.px", "stock.sch", "stock.txt"})
        files.insert(data + "/tabulon/samples/" + sample);
    // The user's help, once the tree has one, goes in whole.
    const std::filesystem::path help = std::filesystem::path(TABULON_SOURCE_DIR) / "help";
    std::error_code ec;
    if (std::filesystem::is_directory(help, ec))
        for (const auto& e : std::filesystem::recursive_directory_iterator(help))
            if (e.is_regular_file())
                files.insert(data + "/tabulon/help/" +
                             std::filesystem::relative(e.path(), help).string());
    return files;
}

// The files (and links) under `dir`, relative to it.
inline std::set<std::string> FilesUnder(const std::filesystem::path& dir) {
    std::set<std::string> files;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (!e.is_directory() || e.is_symlink())
            files.insert(std::filesystem::relative(e.path(), dir).string());
    return files;
}

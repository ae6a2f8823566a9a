#include "shell/OpenFileFilter.h"

#include <filesystem>

const char* const TableFileFilter =
    "Paradox, dBase tables (*.db, *.dbf)|*.db; *.dbf|Text files (*.txt)|*.txt|"
    "Comma separated values (*.csv)|*.csv|All files (*.*)|*.*";

int DroppedFileFilterIndex(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (ext == ".db" || ext == ".dbf") return 1;
    if (ext == ".txt") return 2;
    if (ext == ".csv") return 3;
    return 0;
}

int FirstDroppedTable(const std::vector<std::string>& paths) {
    for (size_t i = 0; i < paths.size(); ++i)
        if (DroppedFileFilterIndex(paths[i]) != 0) return static_cast<int>(i);
    return -1;
}

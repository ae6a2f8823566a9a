#include "data/FileTableDriver.h"

#include "data/DatabaseError.h"

#include <filesystem>
#include <unistd.h>

void TFileTableDriver::Fail(const std::string& what) const {
    throw EDatabaseError("Cannot open table \"" + fPath + "\": " + what);
}

void TFileTableDriver::Warn(const std::string& what) {
    fWarnings.Add("Table \"" + fPath + "\": " + what);
}

void TFileTableDriver::NoSuchValue(int64_t recNo, int64_t fieldNo) const {
    throw EDatabaseError("Table \"" + fPath + "\" has no record " + std::to_string(recNo) +
                         " or no field " + std::to_string(fieldNo));
}

void TFileTableDriver::NoSuchRecord(int64_t recNo) const {
    throw EDatabaseError("Record " + std::to_string(recNo) + " of table \"" + fPath +
                         "\" does not exist or was deleted");
}

void TFileTableDriver::TableFull() const {
    throw EDatabaseError("Table \"" + fPath + "\" is full");
}

void TFileTableDriver::CheckValueCount(size_t fields, size_t values) const {
    if (values != fields)
        throw EDatabaseError("Table \"" + fPath + "\" has " + std::to_string(fields) +
                             " fields, not " + std::to_string(values));
}

void TFileTableDriver::CheckWritable() const {
    if (!IsOpen()) throw EDatabaseError("The table is not open");
    if (!fReadOnlyReason.empty())
        throw EDatabaseError("Cannot modify table \"" + fPath + "\": " + fReadOnlyReason);
}

void TFileTableDriver::LockForWrite(const struct stat& then) {
    fLock.LockExclusive(fPath); // on failure our shared lock stays
    try {
        struct stat now;
        if (stat(fPath.c_str(), &now) != 0 || now.st_ino != then.st_ino ||
            now.st_dev != then.st_dev || now.st_size != then.st_size ||
            now.st_mtim.tv_sec != then.st_mtim.tv_sec ||
            now.st_mtim.tv_nsec != then.st_mtim.tv_nsec)
            throw EDatabaseError("Table \"" + fPath +
                                 "\" was changed by another program; refresh it before editing");
    } catch (...) {
        fLock.Downgrade();
        throw;
    }
}

bool TFileTableDriver::Writable(const std::string& path) {
    return access(path.c_str(), W_OK) == 0;
}

std::string TFileTableDriver::FolderOf(const std::string& path) {
    std::filesystem::path dir = std::filesystem::path(path).parent_path();
    return dir.empty() ? std::string(".") : dir.string();
}

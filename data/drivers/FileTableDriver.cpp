#include "data/drivers/FileTableDriver.h"

#include "data/base/DatabaseError.h"
#include "data/platform/RangeLock.h"
#include "data/platform/RollbackJournal.h"

#include <filesystem>
#include <unistd.h>

TFileTableDriver::TFileTableDriver() = default;
TFileTableDriver::~TFileTableDriver() = default;

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

namespace {
void CheckSame(const std::string& path, const struct stat& then) {
    struct stat now;
    if (stat(path.c_str(), &now) != 0 || now.st_ino != then.st_ino || now.st_dev != then.st_dev ||
        now.st_size != then.st_size || now.st_mtim.tv_sec != then.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec != then.st_mtim.tv_nsec)
        throw EDatabaseError("Table \"" + path +
                             "\" was changed by another program; refresh it before editing");
}
} // namespace

std::unique_ptr<TRangeLock> TFileTableDriver::LockRegions(const struct stat& then,
                                                          uint64_t headerLength, uint64_t offset,
                                                          uint64_t length) {
    const std::string office = TFileLock::OfficeLockFile(fPath);
    if (!office.empty())
        throw EDatabaseError("Table \"" + fPath + "\" is open in another program (" + office + ")");
    if (fLock.Descriptor() < 0 || !fLock.WritableDescriptor())
        throw EDatabaseError("Cannot write table \"" + fPath +
                             "\": it cannot be opened for writing");
    auto lock = std::make_unique<TRangeLock>(fLock.Descriptor(), fPath);
    // The header first, always: it serializes the writers of one table.
    lock->Lock(0, headerLength, true);
    lock->Lock(offset, length, true);
    if (TRollbackJournal::Recover(fPath) != TRollbackJournal::rcNone)
        throw EDatabaseError("Table \"" + fPath +
                             "\" was rolled back after another program's unfinished change; "
                             "refresh it before editing");
    CheckSame(fPath, then);
    return lock;
}

void TFileTableDriver::CommitInPlace(TRollbackJournal& journal, struct stat& then) const {
    try {
        journal.Commit();
    } catch (...) {
        if (fstat(WriteDescriptor(), &then) != 0) then = {};
        throw;
    }
    if (fstat(WriteDescriptor(), &then) != 0) then = {};
}

void TFileTableDriver::RollBackUnfinished() {
    const std::string journal = TRollbackJournal::PathFor(fPath);
    if (access(journal.c_str(), F_OK) != 0) return;
    // A writer at work holds the header; its journal is no leftover. When
    // our descriptor cannot lock for writing, the roll-back itself says
    // whether the files can be written.
    std::unique_ptr<TRangeLock> lock;
    if (fLock.Descriptor() >= 0 && fLock.WritableDescriptor()) {
        lock = std::make_unique<TRangeLock>(fLock.Descriptor(), fPath);
        if (!lock->TryLock(0, 1, true)) return;
    }
    TRollbackJournal::TRecovery what = TRollbackJournal::Recover(fPath);
    if (what != TRollbackJournal::rcNone)
        fWarnings.Add(TRollbackJournal::RecoveryMessage(fPath, what));
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

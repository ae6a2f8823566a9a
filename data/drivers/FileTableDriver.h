#pragma once

#include "data/drivers/TableDriver.h"
#include "data/platform/FileLock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

// The part the drivers of the built-in formats share: the table's path,
// the lock held on it while it is open, why it cannot be changed, and the
// first step of every write (the exclusive lock, and the check that no
// other program changed the file since it was read).
class TRangeLock;
class TRollbackJournal;

class TFileTableDriver : public TTableDriver {
public:
    TFileTableDriver();
    ~TFileTableDriver() override;
    bool CanModify() const override { return IsOpen() && fReadOnlyReason.empty(); }
    // Why the table cannot be changed; empty when it can.
    const std::string& ReadOnlyReason() const { return fReadOnlyReason; }

protected:
    virtual bool IsOpen() const = 0;

    // Raises "Cannot open table ...", naming the file.
    [[noreturn]] void Fail(const std::string& what) const;
    // Adds a warning about the table, naming the file.
    void Warn(const std::string& what);
    // The errors of a call that names a record or field that is not there,
    // or a count of values that is not the count of fields; numbers count
    // from 1.
    [[noreturn]] void NoSuchValue(int64_t recNo, int64_t fieldNo) const;
    [[noreturn]] void NoSuchRecord(int64_t recNo) const;
    [[noreturn]] void TableFull() const;
    void CheckValueCount(size_t fields, size_t values) const;
    // Raises unless the table is open and may be changed.
    void CheckWritable() const;
    // Takes the exclusive lock for a write. Raises when it cannot, or when
    // the file is no longer the one read (`then`, its stat at loading); the
    // shared lock then stays.
    void LockForWrite(const struct stat& then);
    // The first step of an edit in place: the exclusive locks over the
    // header [0, headerLength) and the bytes [offset, offset + length) about
    // to be written, taken through the descriptor of the open lock (which
    // is open for writing); a journal that a crashed writer left is rolled
    // back; then the check that the file is still the one read. Raises
    // and holds nothing when any of it fails.
    std::unique_ptr<TRangeLock> LockRegions(const struct stat& then, uint64_t headerLength,
                                            uint64_t offset, uint64_t length);
    // Commits an edit in place. `then` follows the file whether the change
    // stood or was put back: the next edit must not take this program's own
    // roll-back for another program's change.
    void CommitInPlace(TRollbackJournal& journal, struct stat& then) const;
    // Before a table is read: a journal beside it is rolled back, once no
    // writer holds the header, and the open's warnings say so. Call with
    // the open lock held.
    void RollBackUnfinished();
    // The descriptor edits in place write through.
    int WriteDescriptor() const { return fLock.Descriptor(); }

    static bool Writable(const std::string& path);
    // The folder of the file ("." for a bare name).
    static std::string FolderOf(const std::string& path);

    std::string fPath;
    TFileLock fLock;
    std::string fReadOnlyReason;
};

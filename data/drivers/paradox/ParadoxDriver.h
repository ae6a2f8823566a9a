#pragma once

#include "data/drivers/FileTableDriver.h"
#include "data/drivers/RecordSlots.h"
#include "data/drivers/paradox/ParadoxBlobFile.h"
#include "data/drivers/paradox/ParadoxBlockMap.h"
#include "data/drivers/paradox/ParadoxHeader.h"
#include "data/drivers/paradox/ParadoxRecordCodec.h"
#include "data/platform/MappedFile.h"

#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

class TParadoxBlobWriter;
class TParadoxChainEdit;
class TRangeLock;

// Paradox tables (.db) of Paradox 3 to 7 with their blob files (.mb),
// primary keys (.px) and secondary indexes (.Xnn/.Ynn, .XGn/.YGn).
//
// Reading maps the file and walks its block chain once, checking every
// link and count; a value is decoded (by pxlib, from the field's bytes)
// only when it is asked for. Records come in chain order, which is key
// order for a keyed table. The primary key is the first index definition,
// named "" as the classic engine names it; secondary indexes follow, named
// after their field (.Xnn) or as their file says (.XGn).
//
// A missing or unreadable blob file leaves the table open, read-only, with
// a warning: blobs that fit in their leaders read as they are, the others
// as UnavailableText; a damaged blob reads so too, with a warning naming
// its record. Whether a blob is null is told from its record alone.
//
// Writing is in place: the record's bytes in its data block, the blocks'
// chain where a block fills (a new block at the file's end takes half of a
// full one) or empties (it leaves the chain; see TParadoxChainEdit), the header's record
// and block counts, change counters, time and next autoincrement number;
// new blobs behind the .mb's end (the blocks of a replaced blob are left
// unused); and the primary index (.px), of which only the bytes that differ
// from the index the new chain needs are written. A rollback journal beside
// the table makes each write whole or nothing, whenever the program stops.
// Each write locks the table's header and the blocks it writes (byte-range
// locks) and refuses when another program locks the whole file or changed
// the file since this one read it. Keyed tables keep key order and refuse a
// second record with the same key. Tables whose secondary indexes or
// validity checks this program would not keep up to date open read-only.
class TParadoxDriver : public TFileTableDriver {
public:
    TParadoxDriver();
    ~TParadoxDriver() override;

    std::string FormatName() const override { return "Paradox"; }
    void Open(const std::string& path, TFieldDefs& fields, TIndexDefs& indexes) override;
    void Close() override;
    uint32_t RecordCount() const override;
    bool RecordLive(uint32_t rec) const override;
    bool AllLive() const override;
    void GetValue(uint32_t rec, int fieldNo, TValue& out) override;
    bool IsNull(uint32_t rec, int fieldNo, TValue& scratch) override;
    uint32_t Post(int64_t rec, const std::vector<TValue>& values) override;
    void Delete(uint32_t rec) override;
    void Refresh() override;
    std::vector<std::string> Files() const override;
    bool IsSideFileName(const std::string& name) const override;
    void CheckUnchanged() const override;

    const TParadoxHeader& Header() const;
    int CodePage() const;
    // The index files found beside the table (.px, .Xnn, .Ynn ...).
    const std::vector<std::string>& IndexFiles() const { return fIndexFiles; }

private:
    struct TState;
    std::unique_ptr<TState> Load() const;
    // Decodes a value; one that cannot be read gives UnavailableText and
    // false, with the reason in fProblem.
    bool DecodeOrPlaceholder(const uint8_t* record, size_t field, TValue& out);
    void FindIndexes(TIndexDefs& indexes);
    std::string ComputeReadOnlyReason() const;
    // The locks of an edit (LockRegions), and the check that the header is
    // still the one read.
    std::unique_ptr<TRangeLock> LockForEdit();
    // The first key of each block of a keyed table (counted once a load).
    std::string FirstKeys();
    void WriteInPlace(TParadoxChainEdit& edit, TRangeLock& lock, int32_t autoInc,
                      const TParadoxBlobWriter* blobs);
    bool IsOpen() const override { return fState != nullptr; }

    std::unique_ptr<TState> fState;
    std::vector<std::string> fIndexFiles;
    std::string fPrimaryIndexPath;
    TRecordSlots fSlots;
    std::vector<uint8_t> fRecord;
    TValue fOld;
    std::string fProblem;
};

#pragma once

#include "data/drivers/paradox/ParadoxBlockMap.h"
#include "data/drivers/paradox/ParadoxHeader.h"
#include "data/drivers/paradox/ParadoxIndexWriter.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// One change to the records of a Paradox table, made on copies of the data
// blocks it touches, for a write in place. Records are numbered in chain
// order, as in TParadoxBlockMap.
//
// A record taken out leaves a gap that the block's later records close; a
// block left empty is taken out of the chain (the blocks before and after
// it are linked) and left unused in the file: no reader counts it, and
// nothing here takes it again (a free block may be another program's to
// reuse), new blocks go behind the file's last one. When its neighbours'
// links do not agree with it, it stays in the chain, holding none. A record put in goes
// into its block when there is room, or at the front of the next block
// when it comes last in a full one and the next has room. Otherwise a new
// block behind the last one of the file is linked into the chain after the
// full one and takes the later half of its records, or only the new record
// when it comes last (so that a table filled in order fills its blocks).
//
// For a keyed table the edit keeps the first key of every block, the
// entries of the primary index.
class TParadoxChainEdit {
public:
    // `file` is the table's bytes as mapped, `map` its chain; `firstKeys`
    // the first key (`keyLength` bytes) of each of the map's blocks, one
    // after another, or empty for a table without a key.
    TParadoxChainEdit(const TParadoxHeader& h, std::string_view file, const TParadoxBlockMap& map,
                      std::string firstKeys, size_t keyLength);

    uint32_t Count() const { return fTotal; }
    // The record at a place of the chain as the edit has it so far.
    const uint8_t* Record(uint32_t rec);
    void Replace(uint32_t rec, const uint8_t* bytes);
    void Remove(uint32_t rec);
    // Puts `bytes` in as record `rec` (0 to Count()). Raises EDatabaseError
    // when the table would need more blocks than the format numbers.
    void Insert(uint32_t rec, const uint8_t* bytes);

    // The header's fixed part [0, h.FieldInfoStart) as it is to be: the
    // record count, the block counts and chain ends, the change counters,
    // the next autoincrement number and (in tables of 4.0 and later) the
    // time of the change, `now`.
    std::string Header(int32_t autoInc, uint32_t now) const;
    struct TRegion {
        uint64_t Offset;
        std::string Bytes;
    };
    // Every block changed or new, whole.
    std::vector<TRegion> Blocks() const;
    // The chain's blocks that hold records, as they will be.
    const std::vector<TParadoxBlockMap::TBlock>& Chain() const { return fChain; }
    std::string& FirstKeys() { return fKeys; }
    // The primary index's entries: one a block of the chain, in order (their
    // keys are the edit's: valid while it lives and is not changed).
    std::vector<TParadoxIndexWriter::TBlockEntry> IndexEntries() const;
    // Whether the file grows (blocks were added behind its end).
    bool Grows() const { return fFileBlocks > fOldFileBlocks; }

private:
    struct TPlace {
        size_t Block; // in fChain
        uint32_t Index;
    };
    TPlace Locate(uint32_t rec) const;
    std::string& Block(uint16_t number);
    uint16_t NewBlock();
    void Unlink(uint16_t number);
    void SetCount(std::string& block, uint32_t count) const;
    void Renumber(size_t from);
    void SetKey(size_t block, const char* record);
    void InsertKey(size_t block, const char* record);
    void EraseKey(size_t block);

    const TParadoxHeader& fH;
    std::string_view fFile;
    std::vector<TParadoxBlockMap::TBlock> fChain;
    std::string fKeys; // keyLength bytes a block of fChain
    size_t fKeyLength;
    std::map<uint16_t, std::string> fDirty; // block number -> its bytes
    uint32_t fTotal;
    uint16_t fOldFileBlocks, fFileBlocks, fFirstBlock, fLastBlock;
};

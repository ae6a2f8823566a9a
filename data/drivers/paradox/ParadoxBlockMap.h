#pragma once

#include "data/drivers/paradox/ParadoxHeader.h"

#include <cstdint>
#include <string>
#include <vector>

// Where each record of a Paradox table lies: the data blocks in the order of
// their chain (which is key order in a keyed table), each with the number
// of records it holds. Built by one walk over the block headers, which
// checks every link and count against the file; records are found by block
// without decoding anything.
class TParadoxBlockMap {
public:
    // Raises EDatabaseError(failPrefix + what is wrong) when the chain is
    // broken: a link out of range or back to a visited block, a block count
    // that does not fit, or a total that differs from the header's.
    void Build(const TParadoxHeader& h, const uint8_t* data, size_t size,
               const std::string& failPrefix);

    uint32_t RecordCount() const { return fTotal; }
    // File offset of record `rec` (0-based, in chain order); rec < RecordCount().
    uint64_t RecordOffset(uint32_t rec) const;
    // The chain's blocks with their first record's number.
    struct TBlock {
        uint64_t Offset; // of the block header
        uint32_t First;  // number of the block's first record
        uint16_t Count;  // records in the block
        uint16_t Number; // block number in the file
    };
    const std::vector<TBlock>& Blocks() const { return fBlocks; }
    // After an edit in place: the chain's blocks as they are now (their
    // First numbers are counted again).
    void Assign(std::vector<TBlock> blocks);

private:
    std::vector<TBlock> fBlocks;
    uint32_t fTotal = 0;
    uint32_t fRecordSize = 0;
    mutable size_t fHint = 0; // the block of the last lookup; scans stay in it
};

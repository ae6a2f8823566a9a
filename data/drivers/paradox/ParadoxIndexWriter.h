#pragma once

#include "data/drivers/paradox/ParadoxHeader.h"

#include <cstdint>
#include <string>
#include <vector>

// One entry of an index file: the key of the first record of a data block,
// the block's number and how many records it holds.
struct TParadoxIndexEntry {
    std::string Key;
    uint16_t Block = 0;
    uint32_t Count = 0;
};

// The bytes of a Paradox index file (.px for the primary key, .Ynn over a
// secondary index) for data blocks in key order: a header, then the tree of
// index blocks with its root first, each level's blocks chained, every
// entry carrying its key, the block it leads to and the records below it.
class TParadoxIndexWriter {
public:
    // `keyFields` are the key's fields as the data file lists them; the
    // block size, version and sort order come from the data file's header.
    static std::string Build(const std::vector<TParadoxField>& keyFields,
                             const TParadoxHeader& data, uint8_t fileType,
                             const std::vector<TParadoxIndexEntry>& entries);
    // The same for entries whose keys lie elsewhere (the key's length of
    // bytes at Key each), as an edit in place keeps them: nothing is copied.
    struct TBlockEntry {
        const char* Key;
        uint16_t Block;
        uint32_t Count;
    };
    static std::string Build(const std::vector<TParadoxField>& keyFields,
                             const TParadoxHeader& data, uint8_t fileType,
                             const std::vector<TBlockEntry>& entries);
};

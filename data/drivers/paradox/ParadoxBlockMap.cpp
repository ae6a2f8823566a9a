#include "data/drivers/paradox/ParadoxBlockMap.h"

#include "data/base/DatabaseError.h"

#include <algorithm>

namespace {
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
} // namespace

void TParadoxBlockMap::Build(const TParadoxHeader& h, const uint8_t* data, size_t size,
                             const std::string& failPrefix) {
    auto fail = [&](const std::string& what) { throw EDatabaseError(failPrefix + what); };
    fBlocks.clear();
    fTotal = 0;
    fHint = 0;
    fRecordSize = h.RecordSize;
    if (h.FileBlocks == 0 || (h.NumRecords == 0 && h.FirstBlock == 0)) return;

    std::vector<bool> visited(static_cast<size_t>(h.FileBlocks) + 1, false);
    const uint32_t perBlock = h.RecordsPerBlock();
    uint64_t total = 0;
    uint32_t block = h.FirstBlock;
    while (block != 0) {
        if (block > h.FileBlocks)
            fail("its block chain links to block " + std::to_string(block) + " of only " +
                 std::to_string(h.FileBlocks));
        if (visited[block]) fail("its block chain returns to block " + std::to_string(block));
        visited[block] = true;
        uint64_t at = h.BlockOffset(block);
        const auto beyond = [&] {
            fail("the file is truncated: its block " + std::to_string(block) +
                 " lies beyond the end of the file (" + std::to_string(size) + " bytes)");
        };
        if (at + 6 > size) beyond();
        const uint8_t* b = data + at;
        int16_t add = static_cast<int16_t>(U16(b + 4));
        uint32_t count = 0;
        if (add >= 0) {
            if (static_cast<uint32_t>(add) % h.RecordSize != 0)
                fail("block " + std::to_string(block) + " says it holds " + std::to_string(add) +
                     " bytes beyond its first record, not a whole number of " +
                     std::to_string(h.RecordSize) + "-byte records");
            count = static_cast<uint32_t>(add) / h.RecordSize + 1;
            if (count > perBlock)
                fail("block " + std::to_string(block) + " says it holds " + std::to_string(count) +
                     " records, more than fit in it (" + std::to_string(perBlock) + ")");
        }
        // The block's records must be there; the unused rest of a last
        // block may be missing.
        if (at + 6 + static_cast<uint64_t>(count) * h.RecordSize > size) beyond();
        if (count > 0)
            fBlocks.push_back({at, static_cast<uint32_t>(total), static_cast<uint16_t>(count),
                               static_cast<uint16_t>(block)});
        total += count;
        block = U16(b);
    }
    if (total != h.NumRecords)
        fail("its header counts " + std::to_string(h.NumRecords) + " records but its blocks hold " +
             std::to_string(total));
    fTotal = static_cast<uint32_t>(total);
}

void TParadoxBlockMap::Assign(std::vector<TBlock> blocks) {
    fBlocks = std::move(blocks);
    fHint = 0;
    uint32_t total = 0;
    for (TBlock& b : fBlocks) {
        b.First = total;
        total += b.Count;
    }
    fTotal = total;
}

uint64_t TParadoxBlockMap::RecordOffset(uint32_t rec) const {
    size_t i = fHint < fBlocks.size() ? fHint : 0;
    const TBlock* b = &fBlocks[i];
    if (rec < b->First || rec >= b->First + b->Count) {
        if (i + 1 < fBlocks.size() && rec >= fBlocks[i + 1].First &&
            rec < fBlocks[i + 1].First + fBlocks[i + 1].Count) {
            ++i;
        } else {
            auto it = std::upper_bound(fBlocks.begin(), fBlocks.end(), rec,
                                       [](uint32_t r, const TBlock& x) { return r < x.First; });
            i = static_cast<size_t>(it - fBlocks.begin()) - 1;
        }
        fHint = i;
        b = &fBlocks[i];
    }
    return b->Offset + 6 + static_cast<uint64_t>(rec - b->First) * fRecordSize;
}

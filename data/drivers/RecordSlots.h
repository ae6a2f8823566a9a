#pragma once

#include <cstdint>
#include <vector>

// Record numbers that stay while a table is open, over a file that each
// write renumbers: slot -> record in the file (None once deleted). The map
// is kept empty while the two are the same.
class TRecordSlots {
public:
    static constexpr uint32_t None = UINT32_MAX;

    // As many slots as the file has records, each its own record.
    void Reset(uint32_t count) {
        fSlots.clear();
        fCount = count;
    }
    uint32_t Count() const { return fCount; }
    uint32_t FileRecordOf(uint32_t slot) const {
        if (slot >= fCount) return None;
        return fSlots.empty() ? slot : fSlots[slot];
    }
    bool AllLive() const;

    // The slot of each of the file's `fileCount` records (None for none).
    std::vector<uint32_t> SlotsOfFile(uint32_t fileCount) const;
    // A rewrite's records in file order without record `gone`, and their slots.
    void Without(uint32_t fileCount, uint32_t gone, std::vector<int64_t>& order,
                 std::vector<uint32_t>& slotOf) const;
    // After a rewrite: record i of the new file fills slot slotOf[i] of `count`.
    void Remap(const std::vector<uint32_t>& slotOf, uint32_t count);
    // After an edit in place: record `fileRec` left the file (its slot is
    // deleted; the later records move up one) ...
    void Removed(uint32_t fileRec);
    // ... or came into it at `fileRec` (the later ones move down), filling
    // `slot`: a deleted one, or Count() for a new slot.
    void Inserted(uint32_t fileRec, uint32_t slot);

private:
    void Spell();
    std::vector<uint32_t> fSlots;
    uint32_t fCount = 0;
};

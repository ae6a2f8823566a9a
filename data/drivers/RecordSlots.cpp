#include "data/drivers/RecordSlots.h"

#include <algorithm>
#include <numeric>

bool TRecordSlots::AllLive() const {
    return fSlots.empty() || std::find(fSlots.begin(), fSlots.end(), None) == fSlots.end();
}

std::vector<uint32_t> TRecordSlots::SlotsOfFile(uint32_t fileCount) const {
    std::vector<uint32_t> slotOfFile(fileCount, None);
    for (uint32_t slot = 0; slot < fCount; ++slot) {
        uint32_t r = FileRecordOf(slot);
        if (r != None) slotOfFile[r] = slot;
    }
    return slotOfFile;
}

void TRecordSlots::Without(uint32_t fileCount, uint32_t gone, std::vector<int64_t>& order,
                           std::vector<uint32_t>& slotOf) const {
    const std::vector<uint32_t> slotOfFile = SlotsOfFile(fileCount);
    for (uint32_t r = 0; r < fileCount; ++r)
        if (r != gone) {
            order.push_back(r);
            slotOf.push_back(slotOfFile[r]);
        }
}

void TRecordSlots::Remap(const std::vector<uint32_t>& slotOf, uint32_t count) {
    std::vector<uint32_t> slots(count, None);
    for (size_t i = 0; i < slotOf.size(); ++i)
        slots[slotOf[i]] = static_cast<uint32_t>(i);
    fSlots = std::move(slots);
    fCount = count;
}

void TRecordSlots::Spell() {
    if (!fSlots.empty() || fCount == 0) return;
    fSlots.resize(fCount);
    std::iota(fSlots.begin(), fSlots.end(), 0u);
}

void TRecordSlots::Removed(uint32_t fileRec) {
    Spell();
    // Branch-free, so that a million slots take a fraction of a millisecond.
    for (uint32_t& r : fSlots) {
        const uint32_t later =
            static_cast<uint32_t>(r > fileRec) & static_cast<uint32_t>(r != None);
        r = r == fileRec ? None : r - later;
    }
}

void TRecordSlots::Inserted(uint32_t fileRec, uint32_t slot) {
    // Appending to a table whose slots are its records keeps the map empty.
    if (fSlots.empty() && slot == fCount && fileRec == fCount) {
        ++fCount;
        return;
    }
    Spell();
    for (uint32_t& r : fSlots)
        r += static_cast<uint32_t>(r >= fileRec) & static_cast<uint32_t>(r != None);
    if (slot >= fCount) {
        fSlots.push_back(fileRec);
        ++fCount;
    } else {
        fSlots[slot] = fileRec;
    }
}

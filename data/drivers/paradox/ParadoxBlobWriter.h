#pragma once

#include "data/drivers/paradox/ParadoxBlobFile.h"

#include <cstdint>
#include <string>
#include <string_view>

class TAtomicFile;

// New blobs for a Paradox blob file (.mb). They go behind the end of the
// existing file, whose bytes stay as they are, so the old table's blob
// references keep pointing at what they did: writing the new .mb first
// and the table after it leaves a readable table whichever write fails.
// Small blobs share 4 KB blocks (up to 64 a block), others get blocks of
// their own. A writer made without a base starts a new file.
class TParadoxBlobWriter {
public:
    // `base` is the existing file's content (it must outlive the writer);
    // empty for a new file.
    explicit TParadoxBlobWriter(std::string_view base = std::string_view());

    // Places a blob and returns the reference its record keeps; the leader
    // bytes are the record's business.
    TParadoxBlobFile::TRef Add(std::string_view data);
    bool Empty() const { return fAdded == 0; }
    // The whole new file: the base, then the new blocks.
    void WriteTo(TAtomicFile& file) const;
    std::string Content() const;
    // For a write in place: the new blocks and where they go (the base's
    // end, rounded up to a block); the base itself does not change.
    uint64_t AppendOffset() const { return fStart; }
    const std::string& Appended() const { return fNew; }

    static constexpr uint32_t SharedLimit = 2048; // blobs below this share blocks

private:
    void StartShared();
    std::string_view fBase;
    std::string fHeader; // the header block of a new file
    std::string fNew;    // blocks after the base
    uint64_t fStart = 0; // file offset of fNew
    uint16_t fModNr = 1;
    size_t fShared = std::string::npos; // offset in fNew of the shared block being filled
    int fSharedNext = -1;               // next free entry, counting down from 63
    uint32_t fSharedFree = 0;           // first free 16-byte chunk in that block
    size_t fAdded = 0;
};

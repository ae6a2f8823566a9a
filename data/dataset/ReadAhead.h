#pragma once

#include "data/base/AheadCell.h"
#include "data/dataset/Field.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TDataSet;

// Formats the display texts of the records ahead of a forward walk (an
// export) on other threads, so that decoding and formatting run beside
// the walk instead of in it. The records go in chunks; the workers fill
// them in order, and the walk itself fills a chunk it gets to before any
// worker has begun it. Only fields whose storage can be read from two
// threads at once take part (TDataSet::ReadsConcurrently); the others, and
// fields with an OnGetText handler, are read by the caller as before.
//
// The workers read the dataset's order and records while the walk goes
// on; the dataset stops them (Halt) before anything changes what it reads:
// edits, refreshes, a new order or filter, closing, a field's display
// settings or the format settings. After that Take answers false and the
// caller reads the values itself, so the texts are always those that
// GetDisplayText gives now.
class TReadAhead {
public:
    // fields[slot] may be null: that slot is not read ahead. The walk
    // starts at the dataset's current record. With a `joiner`, a record
    // whose every slot is read ahead has its texts one after another with
    // the joiner between them, so that a caller joining them so takes the
    // record whole (Joined). `workers` threads fill chunks beside the
    // walk; with none, the walk fills them all itself.
    TReadAhead(TDataSet& dataSet, std::vector<const TField*> fields, std::string joiner = {},
               unsigned workers = WorkerCount());
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // Whether any slot is read ahead at all.
    bool Active() const { return fActive; }
    // The display text of `field` (the field of `slot`) in the current
    // record; false when it was not read ahead, and the caller reads it.
    // Called for every cell: the record is looked up once (Seek).
    bool Take(size_t slot, const TField& field, std::string& out) {
        std::string_view text;
        if (!Peek(slot, field, text)) return false;
        out.assign(text.data(), text.size());
        return true;
    }
    // The same text without a copy, valid until the walk moves on.
    bool Peek(size_t slot, const TField& field, std::string_view& out) {
        if (!Takes(slot, field) || !Row()) return false;
        out = RowText(slot);
        return true;
    }
    // Peek in two steps, for a caller that takes a whole record: whether
    // the current record was read ahead (found once), then per cell whether
    // its field was, and its text.
    bool Row() {
        if (!fActive) return false;
        return (fRowValid && *fCursor == fRowPosition) || Seek();
    }
    bool Takes(size_t slot, const TField& field) const {
        return fActive && slot < fFields.size() && fFields[slot] == &field && !field.OnGetText;
    }
    std::string_view RowText(size_t slot) const {
        const uint32_t* span = fRowSpan + 2 * slot;
        return std::string_view(fRowText + span[0], span[1] - span[0]);
    }
    // After Row(): the record's texts with the joiner between them, when
    // every slot is read ahead and joined by `joiner`, for a caller whose
    // slots still have the fields it started with (a walk over a view whose
    // columns stay as they are). False when a field got an OnGetText since.
    bool Joined(std::string_view joiner, std::string_view& out) const {
        if (!fJoined || joiner.size() != fJoiner.size() ||
            (joiner.size() == 1 ? joiner[0] != fJoiner[0] : joiner != fJoiner))
            return false;
        for (const TField* f : fFields)
            if (f->OnGetText) return false;
        const size_t last = 2 * fFields.size() - 1;
        out = std::string_view(fRowText + fRowSpan[0], fRowSpan[last] - fRowSpan[0]);
        return true;
    }
    // After Take gave the slot's text: the value itself when it was null or
    // a boolean (what a view asks of a boolean cell); false otherwise.
    bool TakenBoolean(size_t slot, TValue& out) const {
        switch (fRowKinds[slot]) {
        case kNull:
            out.Kind = TValueKind::Null;
            return true;
        case kFalse:
        case kTrue:
            out.Kind = TValueKind::Boolean;
            out.Bool = fRowKinds[slot] == kTrue;
            return true;
        default:
            return false;
        }
    }
    // Stops the workers for good; waits until they have stopped.
    void Halt();

    // Stops every reader ahead of the process (the format settings change).
    static void HaltAll();

    static constexpr uint32_t ChunkRecords = 2048;
    static constexpr size_t Ahead = 8; // records whose data the walk prefetches

    // How many workers a reader starts by default: one per processor, at
    // most three (more would only wait for room in the ring). The walk
    // only consumes while they keep ahead of it.
    static unsigned WorkerCount();

private:
    friend class TDataSet;

    // Each chunk, the walk's fields and the shared ones on cache lines of
    // their own: the worker writing a chunk must not slow the walk's reads.
    struct alignas(64) TChunk {
        uint32_t First = 0; // position of the first record in the order
        uint32_t Count = 0;
        std::string Text; // the cells' texts
        // Where each cell's text begins and ends, record by record and slot
        // by slot.
        std::vector<uint32_t> Span;
        std::vector<uint8_t> Kinds; // per cell: kOther, kNull, kFalse, kTrue
        uint64_t Seq = UINT64_MAX;  // the chunk it holds, once filled
    };

    // What one filling thread keeps for itself: the cells the storage shows
    // a record into, and how well showing whole records goes. Written for
    // every record: on cache lines of its own.
    struct alignas(64) TFiller {
        std::vector<TAheadCell> Cells; // one per slot read ahead
        TValue Value;
        uint64_t ByRecordCount = 0; // records the storage showed whole
        uint64_t ByField = 0;       // records it left to the fields
        bool ByRecord = true;       // the storage shows a record's cells in one call
    };

    bool Seek();
    void Start(uint32_t position);
    void Stop();
    void Work(TFiller& filler);
    // Fills chunk `seq` of the walk; false when no chunk after it is to be
    // filled (the order ends, or a record could not be read).
    bool FillChunk(TFiller& filler, uint64_t seq);
    bool Fill(TFiller& filler, TChunk& chunk, uint32_t first);
    bool Reach(uint32_t position);
    void Detach(); // the dataset is going away

    TDataSet* fDataSet;
    std::vector<const TField*> fFields;
    struct TSlot {
        size_t Slot;
        const TField* Field;
        int FieldNo;
        bool Digits; // numbers and dates: try their plain digits first
    };
    std::vector<TSlot> fSlots; // the slots that are read ahead
    // One record's cells into the chunk in one call to the storage; false
    // when they are to be read cell by cell (FillCell).
    bool FillRecord(TFiller& filler, TChunk& chunk, uint32_t physical, uint32_t* span,
                    uint8_t* kinds);
    void FillCell(TChunk& chunk, uint32_t physical, const TSlot& s, TValue& value, uint32_t* span,
                  uint8_t* kinds);
    // The walk's own first, then one per worker.
    std::vector<TFiller> fFillers;
    std::string fJoiner;
    bool fJoined = false; // every slot read ahead, texts joined by fJoiner
    bool fActive = false;
    int fRestarts = 0;

    // The record the walk is on, once found: where its texts begin.
    alignas(64) const uint32_t* fCursor = nullptr; // the dataset's position
    uint32_t fRowPosition = 0;
    bool fRowValid = false;
    const char* fRowText = nullptr;
    const uint32_t* fRowSpan = nullptr; // begin and end per slot
    const uint8_t* fRowKinds = nullptr;
    enum : uint8_t {
        kOther = TAheadCell::kOther,
        kNull = TAheadCell::kNull,
        kFalse = TAheadCell::kFalse,
        kTrue = TAheadCell::kTrue
    };
    static uint8_t KindOf(const TValue& value) {
        return value.Kind == TValueKind::Null      ? kNull
               : value.Kind != TValueKind::Boolean ? kOther
               : value.Bool                        ? kTrue
                                                   : kFalse;
    }

    // Chunks are numbered from the start position on, and claimed in that
    // order by whoever comes first: a worker, or the walk, which fills the
    // chunk it is at when no worker has begun it.
    static constexpr uint32_t RingChunks = 8;
    TChunk fRing[RingChunks];
    alignas(64) uint32_t fStart = 0; // position the workers started at
    uint64_t fNextClaim = 0;         // the first chunk nobody has claimed
    uint64_t fReleased = 0;          // the chunk the walk is at; those before are done
    uint64_t fAt = 0;                // the chunk the walk is at, when fAtValid
    bool fAtValid = false;
    bool fAtHeld = false;      // the walk's chunk is filled (by any thread)
    bool fLastClaimed = false; // a filled chunk was the last one to fill
    bool fStopping = false;
    std::mutex fMutex;
    std::condition_variable fFilled;
    std::condition_variable fFreed;
    std::vector<std::thread> fWorkers;
};

#include "data/dataset/ReadAhead.h"

#include "data/dataset/DataSet.h"
#include "data/dataset/Field.h"
#include "data/locale/FormatSettings.h"

#include <algorithm>

namespace {
// Every reader ahead of the process, so that a change of the format
// settings can stop them all before it happens.
std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}
std::vector<TReadAhead*>& Registry() {
    static std::vector<TReadAhead*> all;
    return all;
}

// A walk that jumps about (bookmarks, going back) gains nothing from a
// worker that must start again each time.
constexpr int MaxRestarts = 4;
} // namespace

TReadAhead::TReadAhead(TDataSet& dataSet, std::vector<const TField*> fields, std::string joiner,
                       unsigned workers)
    : fDataSet(&dataSet), fFields(std::move(fields)), fJoiner(std::move(joiner)),
      fCursor(&dataSet.fPos) {
    // The readers format with the settings in force: a change stops them first.
    static const bool hooked = (SetBeforeFormatSettingsChange(&TReadAhead::HaltAll), true);
    (void)hooked;
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        Registry().push_back(this);
    }
    // One reader per dataset: a newer walk replaces an older one.
    if (dataSet.fReadAhead) dataSet.fReadAhead->Halt();
    dataSet.fReadAhead = this;
    if (!dataSet.Active() || dataSet.State() != dsBrowse || dataSet.OrderCount() == 0) return;
    for (size_t slot = 0; slot < fFields.size(); ++slot) {
        const TField* f = fFields[slot];
        if (f && &f->DataSet() == &dataSet && !f->OnGetText &&
            dataSet.ReadsConcurrently(f->FieldNo()))
            fSlots.push_back({slot, f, f->FieldNo(), f->IsNumeric() || f->DataType() == ftDate});
        else
            fFields[slot] = nullptr;
    }
    if (fSlots.empty()) return;
    fJoined = !fJoiner.empty() && fSlots.size() == fFields.size();
    std::vector<TAheadCell> cells;
    for (const TSlot& s : fSlots) {
        TAheadCell cell;
        cell.FieldNo = s.FieldNo;
        s.Field->DescribeAhead(cell);
        cells.push_back(cell);
    }
    fFillers.resize(1 + static_cast<size_t>(workers));
    for (TFiller& f : fFillers) {
        // Room behind the cells, so that no other filler's cells share
        // their last cache line.
        f.Cells.reserve(cells.size() + 64 / sizeof(TAheadCell) + 1);
        f.Cells = cells;
    }
    try {
        Start(dataSet.fPos);
        fActive = true;
    } catch (const std::system_error&) {
        // No thread to be had: the walk reads everything itself.
    }
}

TReadAhead::~TReadAhead() {
    Halt();
    if (fDataSet && fDataSet->fReadAhead == this) fDataSet->fReadAhead = nullptr;
    std::lock_guard<std::mutex> lock(RegistryMutex());
    auto& all = Registry();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void TReadAhead::HaltAll() {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    for (TReadAhead* r : Registry())
        r->Halt();
}

void TReadAhead::Detach() {
    Halt();
    fDataSet = nullptr;
}

void TReadAhead::Halt() {
    Stop();
    fActive = false;
}

unsigned TReadAhead::WorkerCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    constexpr unsigned Most = 3;
    return cores > Most ? Most : cores > 1 ? cores : 1;
}

void TReadAhead::Start(uint32_t position) {
    fStart = position;
    fNextClaim = 0;
    fReleased = 0;
    fAtValid = false;
    fAtHeld = false;
    fLastClaimed = false;
    fStopping = false;
    for (TChunk& c : fRing)
        c.Seq = UINT64_MAX;
    try {
        for (size_t k = 1; k < fFillers.size(); ++k) {
            TFiller& filler = fFillers[k];
            fWorkers.emplace_back([this, &filler] { Work(filler); });
        }
    } catch (const std::system_error&) {
        // Fewer workers than asked for will do; with none, the walk fills
        // every chunk itself.
    }
}

void TReadAhead::Stop() {
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fStopping = true;
    }
    fFreed.notify_all();
    fFilled.notify_all();
    for (std::thread& t : fWorkers)
        if (t.joinable()) t.join();
    fWorkers.clear();
    fAtValid = false;
    fAtHeld = false;
    fRowValid = false;
}

void TReadAhead::Work(TFiller& filler) {
    for (;;) {
        uint64_t seq;
        {
            std::unique_lock<std::mutex> lock(fMutex);
            // The ring slot is free once the walk is past the chunk that
            // used it last, RingChunks before this one.
            fFreed.wait(lock, [&] {
                return fStopping || fLastClaimed || fNextClaim < fReleased + RingChunks;
            });
            if (fStopping || fLastClaimed) return;
            seq = fNextClaim++;
        }
        const bool more = FillChunk(filler, seq);
        {
            std::lock_guard<std::mutex> lock(fMutex);
            fRing[seq % RingChunks].Seq = seq;
            if (!more) fLastClaimed = true;
        }
        fFilled.notify_all();
        // The other workers stop claiming too.
        if (!more) fFreed.notify_all();
    }
}

bool TReadAhead::FillChunk(TFiller& filler, uint64_t seq) {
    const uint64_t at = fStart + seq * ChunkRecords;
    TChunk& chunk = fRing[seq % RingChunks];
    const uint32_t total = fDataSet->OrderCount();
    if (at >= total) {
        // Past the end: a chunk that holds nothing.
        chunk.First = total;
        chunk.Count = 0;
        return false;
    }
    return Fill(filler, chunk, static_cast<uint32_t>(at));
}

// Fills the chunk from `first` on; false when the order ends in it or a
// record cannot be read (the walk then reads that one itself and meets the
// error where it can report it).
bool TReadAhead::Fill(TFiller& filler, TChunk& chunk, uint32_t first) {
    const TDataSet& ds = *fDataSet;
    const uint32_t total = ds.OrderCount();
    const uint32_t count = std::min<uint32_t>(ChunkRecords, total - first);
    const size_t slots = fFields.size();
    chunk.First = first;
    chunk.Count = 0;
    chunk.Text.clear();
    // Every slot read ahead is written for each record; the others keep
    // an empty text.
    if (fSlots.size() == slots) {
        chunk.Span.resize(static_cast<size_t>(count) * slots * 2);
        chunk.Kinds.resize(static_cast<size_t>(count) * slots);
    } else {
        chunk.Span.assign(static_cast<size_t>(count) * slots * 2, 0);
        chunk.Kinds.assign(static_cast<size_t>(count) * slots, kOther);
    }
    try {
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t physical = ds.OrderAt(first + i);
            uint32_t* span = chunk.Span.data() + static_cast<size_t>(i) * slots * 2;
            uint8_t* kinds = chunk.Kinds.data() + static_cast<size_t>(i) * slots;
            if (!filler.ByRecord || !FillRecord(filler, chunk, physical, span, kinds)) {
                for (size_t k = 0; k < fSlots.size(); ++k) {
                    if (fJoined && k > 0) chunk.Text += fJoiner;
                    FillCell(chunk, physical, fSlots[k], filler.Value, span, kinds);
                }
            }
            chunk.Count = i + 1;
            if (chunk.Text.size() > (1u << 30)) return false; // keep the offsets in range
        }
    } catch (...) {
        return false;
    }
    return first + count < total;
}

bool TReadAhead::FillRecord(TFiller& filler, TChunk& chunk, uint32_t physical, uint32_t* span,
                            uint8_t* kinds) {
    const size_t mark = chunk.Text.size();
    const std::string_view joiner = fJoined ? std::string_view(fJoiner) : std::string_view();
    if (!fDataSet->InternalReadCellsConcurrently(physical, filler.Cells.data(), filler.Cells.size(),
                                                 joiner, chunk.Text)) {
        // A cell only its field can show: this record cell by cell. Where
        // that is most records, this filler goes on so from here.
        chunk.Text.resize(mark);
        if (++filler.ByField > 64 && filler.ByField > filler.ByRecordCount) filler.ByRecord = false;
        return false;
    }
    ++filler.ByRecordCount;
    const TSlot* const slots = fSlots.data();
    const TAheadCell* const cells = filler.Cells.data();
    for (size_t k = 0, n = fSlots.size(); k < n; ++k) {
        const size_t slot = slots[k].Slot;
        span[2 * slot] = cells[k].TextBegin;
        span[2 * slot + 1] = cells[k].TextEnd;
        kinds[slot] = cells[k].Kind;
    }
    return true;
}

void TReadAhead::FillCell(TChunk& chunk, uint32_t physical, const TSlot& s, TValue& value,
                          uint32_t* span, uint8_t* kinds) {
    const TDataSet& ds = *fDataSet;
    const TField& f = *s.Field;
    uint32_t* at = span + 2 * s.Slot;
    at[0] = static_cast<uint32_t>(chunk.Text.size());
    std::string_view d;
    // A number shown as the file writes it needs no value.
    if (s.Digits && ds.InternalGetDigitsConcurrently(physical, s.FieldNo, d) &&
        f.AppendDisplayOfDigits(d, chunk.Text)) {
        kinds[s.Slot] = kOther;
    } else {
        ds.InternalGetValueConcurrently(physical, s.FieldNo, value);
        kinds[s.Slot] = KindOf(value);
        f.AppendDisplayText(value, chunk.Text);
    }
    at[1] = static_cast<uint32_t>(chunk.Text.size());
}

bool TReadAhead::Reach(uint32_t position) {
    for (;;) {
        uint64_t want = position >= fStart ? (position - fStart) / ChunkRecords : UINT64_MAX;
        const uint64_t next = fAtValid ? fAt + 1 : 0;
        // A chunk cut short by a bad record: the walk reads the rest itself.
        if (fAtValid && want == fAt) return false;
        if (want >= next && want < next + RingChunks) {
            std::unique_lock<std::mutex> lock(fMutex);
            fReleased = want;
            fAt = want;
            fAtValid = true;
            fAtHeld = false;
            fFreed.notify_all();
            TChunk& c = fRing[want % RingChunks];
            for (;;) {
                if (fStopping) return false;
                if (c.Seq == want) break;
                if (fNextClaim > want) {
                    // A worker has it. The walk does not fill a later chunk
                    // meanwhile: on a busy machine that delays the walk,
                    // which every other thread waits for.
                    fFilled.wait(lock);
                    continue;
                }
                // Nobody has begun it: the walk fills it itself.
                fNextClaim = want + 1;
                lock.unlock();
                const bool more = FillChunk(fFillers[0], want);
                lock.lock();
                c.Seq = want;
                if (!more) {
                    fLastClaimed = true;
                    fFreed.notify_all();
                }
            }
            fAtHeld = true;
            return position - c.First < c.Count;
        }
        // Elsewhere: start again from here, a few times at most.
        Stop();
        if (++fRestarts > MaxRestarts) {
            fActive = false;
            return false;
        }
        try {
            Start(position);
        } catch (const std::system_error&) {
            fActive = false;
            return false;
        }
    }
}

bool TReadAhead::Seek() {
    fRowValid = false;
    const TDataSet& ds = *fDataSet;
    if (ds.fState != dsBrowse || ds.fEvalPhysical >= 0) return false;
    const uint32_t position = ds.fPos;
    if (!fAtHeld || position - fRing[fAt % RingChunks].First >= fRing[fAt % RingChunks].Count) {
        if (!Reach(position)) return false;
    }
    const TChunk& c = fRing[fAt % RingChunks];
    const size_t slots = fFields.size();
    const size_t row = position - c.First;
    fRowPosition = position;
    fRowText = c.Text.data();
    fRowSpan = c.Span.data() + row * slots * 2;
    fRowKinds = c.Kinds.data() + row * slots;
    fRowValid = true;
    // The worker wrote these on its core: ask for the records ahead now, so
    // that they are here when the walk comes to them.
    if (row + Ahead < c.Count) {
        __builtin_prefetch(fRowSpan + Ahead * slots * 2);
        __builtin_prefetch(fRowKinds + Ahead * slots);
        __builtin_prefetch(fRowText + fRowSpan[(Ahead / 2) * slots * 2]);
        __builtin_prefetch(fRowText + fRowSpan[(Ahead / 2) * slots * 2] + 64);
    }
    return true;
}

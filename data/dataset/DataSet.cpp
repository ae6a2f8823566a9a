#include "data/dataset/DataSet.h"

#include "data/base/CaseFold.h"
#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/dataset/DataSource.h"
#include "data/dataset/FieldFactory.h"
#include "data/dataset/ReadAhead.h"
#include "data/dataset/RecordSorter.h"

#include <algorithm>
#include <cstring>

namespace {
// Restores the evaluation context even when a filter or comparison raises.
struct TEvalScope {
    int64_t& Slot;
    int64_t Saved;
    TEvalScope(int64_t& slot, int64_t rec) : Slot(slot), Saved(slot) { Slot = rec; }
    ~TEvalScope() { Slot = Saved; }
};

// A rebuild's progress: "Sorting: 40%" whenever the percentage moves, the
// window's messages at every step, the text cleared at the end when one
// was shown.
class TOrderProgress {
public:
    explicit TOrderProgress(TProgress* progress) : fProgress(progress) {}
    ~TOrderProgress() {
        if (!fShown) return;
        try {
            fProgress->Progress(std::string());
        } catch (...) {
            // Only the text stays; the order is whole either way.
        }
    }
    TOrderProgress(const TOrderProgress&) = delete;
    TOrderProgress& operator=(const TOrderProgress&) = delete;

    void Step(const char* what, size_t done, size_t total) {
        if (!fProgress || total == 0) return;
        const int percent = static_cast<int>(std::min<size_t>(done, total) * 100 / total);
        if (percent != fPercent || what != fWhat) {
            fPercent = percent;
            fWhat = what;
            fShown = true;
            fProgress->Progress(std::string(what) + ": " + std::to_string(percent) + "%");
        }
        fProgress->ProcessMessages();
    }

private:
    TProgress* fProgress;
    const char* fWhat = nullptr;
    int fPercent = -1;
    bool fShown = false;
};

} // namespace

TDataSet::TDataSet() = default;

TDataSet::~TDataSet() {
    if (fReadAhead) fReadAhead->Detach();
    // A derived table closes itself in its own destructor; here only the
    // data sources are told that the dataset is gone.
    auto sources = fDataSources;
    for (TDataSource* s : sources)
        s->DataSetDestroyed();
}

// ---- Lifecycle -------------------------------------------------------------

void TDataSet::Open() {
    if (Active()) return;
    if (BeforeOpen) BeforeOpen(*this);
    try {
        InternalOpen();
        CreateFields();
        fState = dsBrowse;
        if (fFiltered && !fFilterText.empty()) fFilter = CompileFilter(fFilterText);
        RebuildOrder();
        fPos = 0;
        fBof = true;
        fEof = OrderCount() == 0;
    } catch (...) {
        fState = dsInactive;
        fFields.clear();
        fFilter.reset();
        fOrder.clear();
        try {
            InternalClose();
        } catch (...) {
        }
        throw;
    }
    DataEvent(deUpdateState);
    if (AfterOpen) AfterOpen(*this);
}

void TDataSet::Close() {
    if (!Active()) return;
    HaltReadAhead();
    if (BeforeClose) BeforeClose(*this);
    if (fState == dsEdit || fState == dsInsert) Cancel();
    try {
        InternalClose();
    } catch (...) {
        fState = dsInactive;
        fFields.clear();
        DataEvent(deUpdateState);
        throw;
    }
    fState = dsInactive;
    fDisplayPhysical = -1;
    fDisplayRecNo = 0;
    fFilter.reset();
    fOrder.clear();
    fOrder.shrink_to_fit();
    fPositionOf.clear();
    fPositionOfValid = false;
    fIdentity = true;
    fIdentityCount = 0;
    fPos = 0;
    fBof = fEof = true;
    DataEvent(deUpdateState);
    fFields.clear();
    if (AfterClose) AfterClose(*this);
}

void TDataSet::CreateFields() {
    fFields.clear();
    for (int i = 0; i < fFieldDefs.Count(); ++i)
        fFields.push_back(CreateField(*this, i, fFieldDefs[i]));
}

void TDataSet::UpdateFieldDefs() {}
void TDataSet::UpdateIndexDefs() {}

void TDataSet::CheckActive() const {
    if (!Active()) throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

TField* TDataSet::FindField(const std::string& name) const {
    for (auto& f : fFields)
        if (SameText(f->FieldName(), name)) return f.get();
    return nullptr;
}

TField& TDataSet::FieldByName(const std::string& name) const {
    if (TField* f = FindField(name)) return *f;
    throw EDatabaseError("Field '" + name + "' not found");
}

// ---- Record order ----------------------------------------------------------

uint32_t TDataSet::OrderCount() const {
    return fIdentity ? fIdentityCount : static_cast<uint32_t>(fOrder.size());
}

uint32_t TDataSet::OrderAt(uint32_t pos) const {
    return fIdentity ? pos : fOrder[pos];
}

int64_t TDataSet::PositionOf(uint32_t physical) const {
    if (fIdentity) return physical < fIdentityCount ? physical : -1;
    if (!fPositionOfValid) {
        fPositionOf.assign(InternalRecordCount(), -1);
        for (uint32_t i = 0; i < fOrder.size(); ++i)
            if (fOrder[i] < fPositionOf.size()) fPositionOf[fOrder[i]] = static_cast<int32_t>(i);
        fPositionOfValid = true;
    }
    return physical < fPositionOf.size() ? fPositionOf[physical] : -1;
}

int64_t TDataSet::CurrentPhysical() const {
    if (!Active() || fState == dsInsert || OrderCount() == 0) return -1;
    return OrderAt(fPos);
}

bool TDataSet::Accepts(uint32_t physical) {
    if (!fFiltered) return true;
    if (!fFilter && !OnFilterRecord) return true;
    TEvalScope scope(fEvalPhysical, physical);
    if (fFilter && !fFilter->Accept(*this)) return false;
    bool accept = true;
    if (OnFilterRecord) OnFilterRecord(*this, accept);
    return accept;
}

void TDataSet::RebuildOrder() {
    if (!Active()) return;
    HaltReadAhead();
    int64_t current = CurrentPhysical();
    const uint32_t total = InternalRecordCount();
    bool filtering = fFiltered && (fFilter || OnFilterRecord);
    fPositionOfValid = false;
    if (!filtering && fSortKeys.empty() && InternalAllLive()) {
        fIdentity = true;
        fIdentityCount = total;
        fOrder.clear();
        fOrder.shrink_to_fit();
    } else {
        // Built aside: a long rebuild lets the window paint, and the grid
        // then reads the order of before until the new one is whole.
        TOrderProgress progress(fProgress);
        std::vector<uint32_t> order;
        order.reserve(total);
        if (filtering) {
            // In steps of 65,536 records, the inner loop free of the count.
            for (uint32_t from = 0; from < total; from += 0x10000) {
                if (from > 0) progress.Step("Filtering", from, total);
                const uint32_t to = total - from > 0x10000 ? from + 0x10000 : total;
                for (uint32_t r = from; r < to; ++r)
                    if (InternalRecordLive(r) && Accepts(r)) order.push_back(r);
            }
        } else {
            InternalAppendLive(order);
        }
        if (!fSortKeys.empty())
            TRecordSorter::Sort(
                order, fSortKeys,
                [this](uint32_t rec, int fieldNo, TValue& out) {
                    InternalGetValue(rec, fieldNo, out);
                },
                [&progress](size_t done, size_t all) { progress.Step("Sorting", done, all); });
        fIdentity = false;
        fOrder.swap(order);
        // A paint during the work may have indexed the order of before.
        fPositionOfValid = false;
    }
    uint32_t count = OrderCount();
    int64_t p = current >= 0 ? PositionOf(static_cast<uint32_t>(current)) : -1;
    if (p >= 0)
        fPos = static_cast<uint32_t>(p);
    else if (fPos >= count)
        fPos = count > 0 ? count - 1 : 0;
    if (count == 0) fBof = fEof = true;
}

void TDataSet::SetSortKeys(std::vector<TSortKey> keys) {
    CheckBrowseMode();
    for (const TSortKey& k : keys)
        if (k.FieldNo < 0 || k.FieldNo >= fFieldDefs.Count())
            throw EDatabaseError("Sort field number " + std::to_string(k.FieldNo) +
                                 " does not exist");
    fSortKeys = std::move(keys);
    if (Active()) {
        RebuildOrder();
        DataEvent(deDataSetChange);
    }
}

// ---- Cursor ----------------------------------------------------------------

void TDataSet::MoveTo(uint32_t pos, bool fireScroll) {
    int distance = static_cast<int>(static_cast<int64_t>(pos) - static_cast<int64_t>(fPos));
    fPos = pos;
    if (fireScroll) {
        DataEvent(deDataSetScroll, distance);
        if (AfterScroll) AfterScroll(*this);
    }
}

void TDataSet::First() {
    CheckBrowseMode();
    uint32_t n = OrderCount();
    if (n == 0) {
        fBof = fEof = true;
        return;
    }
    fBof = true;
    fEof = false;
    MoveTo(0, true);
}

void TDataSet::Last() {
    CheckBrowseMode();
    uint32_t n = OrderCount();
    if (n == 0) {
        fBof = fEof = true;
        return;
    }
    fBof = false;
    fEof = true;
    MoveTo(n - 1, true);
}

void TDataSet::Next() {
    CheckBrowseMode();
    uint32_t n = OrderCount();
    if (n == 0 || fPos + 1 >= n) {
        const bool changed = !fEof || (n > 0 && fBof);
        fEof = true;
        if (n > 0) fBof = false;
        // Views enable their moves by EOF: they hear of it without a move.
        if (changed) DataEvent(deDataSetScroll, 0);
        return;
    }
    fBof = fEof = false;
    MoveTo(fPos + 1, true);
}

void TDataSet::Prior() {
    CheckBrowseMode();
    uint32_t n = OrderCount();
    if (n == 0 || fPos == 0) {
        const bool changed = !fBof || (n > 0 && fEof);
        fBof = true;
        if (n > 0) fEof = false;
        if (changed) DataEvent(deDataSetScroll, 0);
        return;
    }
    fBof = fEof = false;
    MoveTo(fPos - 1, true);
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    uint32_t n = OrderCount();
    if (n == 0 || distance == 0) return 0;
    int64_t target = static_cast<int64_t>(fPos) + distance;
    bool hitEnd = target < 0 || target >= n;
    if (target < 0) target = 0;
    if (target >= n) target = n - 1;
    int moved = static_cast<int>(target - static_cast<int64_t>(fPos));
    const bool bof = distance < 0 && hitEnd, eof = distance > 0 && hitEnd;
    const bool changed = bof != fBof || eof != fEof;
    // BOF and EOF are set before anyone hears of the move.
    fBof = bof;
    fEof = eof;
    if (moved != 0)
        MoveTo(static_cast<uint32_t>(target), true);
    else if (changed)
        DataEvent(deDataSetScroll, 0);
    return moved;
}

int TDataSet::RecordCount() const {
    CheckActive();
    return static_cast<int>(OrderCount());
}

int TDataSet::RecNo() const {
    CheckActive();
    if (fState == dsInsert) return -1;
    return OrderCount() == 0 ? 0 : static_cast<int>(fPos) + 1;
}

void TDataSet::SetRecNo(int recNo) {
    CheckBrowseMode();
    uint32_t n = OrderCount();
    if (n == 0) return;
    if (recNo < 1) recNo = 1;
    if (static_cast<uint32_t>(recNo) > n) recNo = static_cast<int>(n);
    fBof = fEof = false;
    MoveTo(static_cast<uint32_t>(recNo - 1), true);
}

int TDataSet::InsertRecNo() const {
    if (fState != dsInsert) return 0;
    const uint32_t n = OrderCount();
    return static_cast<int>(fInsertPos > n ? n : fInsertPos) + 1;
}

void TDataSet::SetDisplayRecNo(int recNo) {
    if (recNo <= 0 || !Active() || static_cast<uint32_t>(recNo) > OrderCount()) {
        fDisplayRecNo = 0;
        fDisplayPhysical = -1;
        return;
    }
    fDisplayRecNo = recNo;
    fDisplayPhysical = OrderAt(static_cast<uint32_t>(recNo - 1));
}

// ---- Bookmarks -------------------------------------------------------------

std::string TDataSet::EncodeBookmark(uint32_t physical) {
    std::string s(4, '\0');
    std::memcpy(s.data(), &physical, 4);
    return s;
}

bool TDataSet::DecodeBookmark(const std::string& bm, uint32_t& physical) {
    if (bm.size() != 4) return false;
    std::memcpy(&physical, bm.data(), 4);
    return true;
}

std::string TDataSet::Bookmark() const {
    int64_t p = CurrentPhysical();
    if (fState == dsEdit) p = fEditPhysical;
    return p < 0 ? std::string() : EncodeBookmark(static_cast<uint32_t>(p));
}

std::string TDataSet::BookmarkAt(int recNo) const {
    if (!Active() || recNo <= 0 || static_cast<uint32_t>(recNo) > OrderCount()) return {};
    return EncodeBookmark(OrderAt(static_cast<uint32_t>(recNo - 1)));
}

bool TDataSet::BookmarkValid(const std::string& bookmark) const {
    uint32_t phys;
    if (!Active() || !DecodeBookmark(bookmark, phys)) return false;
    if (phys >= InternalRecordCount() || !InternalRecordLive(phys)) return false;
    return PositionOf(phys) >= 0;
}

void TDataSet::SetBookmark(const std::string& bookmark) {
    CheckBrowseMode();
    uint32_t phys;
    if (!BookmarkValid(bookmark) || !DecodeBookmark(bookmark, phys))
        throw EDatabaseError("Record not found");
    fBof = fEof = false;
    MoveTo(static_cast<uint32_t>(PositionOf(phys)), true);
}

int TDataSet::CompareBookmarks(const std::string& a, const std::string& b) const {
    uint32_t pa, pb;
    bool va = DecodeBookmark(a, pa), vb = DecodeBookmark(b, pb);
    if (!va || !vb) return va == vb ? 0 : (va ? 1 : -1);
    int64_t xa = PositionOf(pa), xb = PositionOf(pb);
    if (xa == xb) return pa < pb ? -1 : (pa > pb ? 1 : 0);
    return xa < xb ? -1 : 1;
}

// ---- Notifications ---------------------------------------------------------

void TDataSet::AddDataSource(TDataSource* source) {
    if (std::find(fDataSources.begin(), fDataSources.end(), source) == fDataSources.end())
        fDataSources.push_back(source);
}

void TDataSet::RemoveDataSource(TDataSource* source) {
    fDataSources.erase(std::remove(fDataSources.begin(), fDataSources.end(), source),
                       fDataSources.end());
}

void TDataSet::DisableControls() {
    if (fDisableCount++ == 0) {
        fMissedEvent = false;
        fDisabledState = fState;
    }
}

void TDataSet::EnableControls() {
    if (fDisableCount == 0) return;
    if (--fDisableCount > 0) return;
    if (fState != fDisabledState) DataEvent(deUpdateState);
    if (fMissedEvent && Active()) DataEvent(deDataSetChange);
    fMissedEvent = false;
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
    if (fDisableCount > 0) {
        fMissedEvent = true;
        return;
    }
    auto sources = fDataSources;
    for (TDataSource* s : sources)
        s->NotifyDataEvent(event, info);
}

void TDataSet::SetState(TDataSetState s) {
    if (fState == s) return;
    fState = s;
    fModified = false;
    DataEvent(deUpdateState);
}

// ---- Field values ----------------------------------------------------------

bool TDataSet::ReadsConcurrently(int fieldNo) const {
    return Active() && fieldNo >= 0 && fieldNo < static_cast<int>(fFields.size()) &&
           InternalReadsConcurrently(fieldNo);
}

void TDataSet::InternalGetValueConcurrently(uint32_t, int, TValue&) const {
    throw EDatabaseError("This dataset cannot be read on two threads");
}

void TDataSet::InternalAppendLive(std::vector<uint32_t>& order) const {
    const uint32_t total = InternalRecordCount();
    for (uint32_t r = 0; r < total; ++r)
        if (InternalRecordLive(r)) order.push_back(r);
}

void TDataSet::HaltReadAhead() {
    if (fReadAhead) fReadAhead->Halt();
}

void TDataSet::GetFieldValue(int fieldNo, TValue& out) {
    if (fieldNo < 0 || fieldNo >= static_cast<int>(fFields.size())) {
        out.SetNull();
        return;
    }
    if (fEvalPhysical >= 0) {
        InternalGetValue(static_cast<uint32_t>(fEvalPhysical), fieldNo, out);
        return;
    }
    if (fDisplayPhysical >= 0) {
        InternalGetValue(static_cast<uint32_t>(fDisplayPhysical), fieldNo, out);
        return;
    }
    if (fState == dsEdit || fState == dsInsert) {
        const TValue& v = fEditValues[static_cast<size_t>(fieldNo)];
        out.Kind = v.Kind;
        out.Bool = v.Bool;
        out.Int = v.Int;
        out.Float = v.Float;
        out.Text.assign(v.Text);
        return;
    }
    int64_t p = CurrentPhysical();
    if (p < 0) {
        out.SetNull();
        return;
    }
    InternalGetValue(static_cast<uint32_t>(p), fieldNo, out);
}

bool TDataSet::FieldIsNull(int fieldNo) {
    if (fieldNo < 0 || fieldNo >= static_cast<int>(fFields.size())) return true;
    if (fEvalPhysical >= 0)
        return InternalValueIsNull(static_cast<uint32_t>(fEvalPhysical), fieldNo, fNullProbe);
    if (fDisplayPhysical >= 0)
        return InternalValueIsNull(static_cast<uint32_t>(fDisplayPhysical), fieldNo, fNullProbe);
    if (fState == dsEdit || fState == dsInsert)
        return fEditValues[static_cast<size_t>(fieldNo)].IsNull();
    const int64_t p = CurrentPhysical();
    return p < 0 || InternalValueIsNull(static_cast<uint32_t>(p), fieldNo, fNullProbe);
}

void TDataSet::SetFieldValue(TField& field, const TValue& v) {
    if (fState != dsEdit && fState != dsInsert)
        throw EDatabaseError("Dataset not in edit or insert mode");
    if (field.ReadOnly())
        throw EDatabaseError("Field '" + field.FieldName() + "' cannot be modified");
    fEditValues.at(static_cast<size_t>(field.FieldNo())) = v;
    fModified = true;
    DataEvent(deFieldChange, field.FieldNo());
}

// ---- Editing ---------------------------------------------------------------

bool TDataSet::CanModify() const {
    return Active() && InternalCanModify();
}

void TDataSet::BeginEditBuffer(int64_t physical) {
    fEditValues.assign(fFields.size(), TValue());
    if (physical >= 0)
        for (size_t i = 0; i < fFields.size(); ++i)
            InternalGetValue(static_cast<uint32_t>(physical), static_cast<int>(i), fEditValues[i]);
    fEditPhysical = physical;
}

void TDataSet::Edit() {
    CheckActive();
    if (fState == dsEdit || fState == dsInsert) return;
    HaltReadAhead();
    if (!CanModify()) throw EDatabaseError("Cannot modify a read-only dataset");
    if (OrderCount() == 0) {
        Insert();
        return;
    }
    BeginEditBuffer(CurrentPhysical());
    SetState(dsEdit);
}

void TDataSet::Insert() {
    CheckBrowseMode();
    CheckActive();
    if (!CanModify()) throw EDatabaseError("Cannot modify a read-only dataset");
    HaltReadAhead();
    BeginEditBuffer(-1);
    fInsertPos = OrderCount() == 0 ? 0 : fPos;
    SetState(dsInsert);
    DataEvent(deDataSetChange);
}

void TDataSet::Append() {
    CheckBrowseMode();
    CheckActive();
    if (!CanModify()) throw EDatabaseError("Cannot modify a read-only dataset");
    HaltReadAhead();
    BeginEditBuffer(-1);
    fInsertPos = OrderCount();
    SetState(dsInsert);
    DataEvent(deDataSetChange);
}

void TDataSet::CheckBrowseMode() {
    if (fState == dsEdit || fState == dsInsert) Post();
}

void TDataSet::UpdateRecord() {
    if (fState != dsEdit && fState != dsInsert)
        throw EDatabaseError("Dataset not in edit or insert mode");
    // Also while controls are disabled: what a view holds belongs to the
    // record being posted.
    auto sources = fDataSources;
    for (TDataSource* s : sources)
        s->NotifyDataEvent(deUpdateRecord, 0);
}

void TDataSet::Post() {
    if (fState != dsEdit && fState != dsInsert) return;
    UpdateRecord();
    HaltReadAhead();
    if (BeforePost) BeforePost(*this);
    for (size_t i = 0; i < fFields.size(); ++i)
        if (fFields[i]->Required() && fEditValues[i].IsNull() &&
            fFields[i]->DataType() != ftAutoInc)
            throw EDatabaseError("Field '" + fFields[i]->FieldName() + "' must have a value");
    bool inserting = fState == dsInsert;
    uint32_t phys = InternalPost(inserting ? -1 : fEditPhysical, fEditValues);
    if (!fSortKeys.empty() && !fIdentity) {
        // The posted record moves to its place in the order and the cursor
        // goes with it: out of the order and back in by a binary search, no
        // sort of the rest.
        int64_t at = -1;
        if (!inserting) {
            at = fPos < fOrder.size() && fOrder[fPos] == fEditPhysical
                     ? static_cast<int64_t>(fPos)
                     : PositionOf(static_cast<uint32_t>(fEditPhysical));
            if (at >= 0) fOrder.erase(fOrder.begin() + at);
        }
        size_t pos;
        try {
            pos = TRecordSorter::InsertPosition(fOrder, phys, fSortKeys,
                                                [this](uint32_t rec, int fieldNo, TValue& out) {
                                                    InternalGetValue(rec, fieldNo, out);
                                                });
        } catch (const EDatabaseError&) {
            // A record that cannot be read: the change is written, so it
            // stays where it stood (a new one where it was inserted).
            pos = at >= 0 ? static_cast<size_t>(at) : std::min<size_t>(fInsertPos, fOrder.size());
        }
        fOrder.insert(fOrder.begin() + static_cast<std::ptrdiff_t>(pos), phys);
        fPositionOfValid = false;
        fPos = static_cast<uint32_t>(pos);
    } else if (inserting) {
        uint32_t count = OrderCount();
        uint32_t pos = fInsertPos > count ? count : fInsertPos;
        if (fIdentity && pos == count && phys == fIdentityCount && InternalAllLive() &&
            fSortKeys.empty() && !(fFiltered && (fFilter || OnFilterRecord))) {
            ++fIdentityCount;
        } else {
            if (fIdentity) {
                fOrder.resize(fIdentityCount);
                for (uint32_t i = 0; i < fIdentityCount; ++i)
                    fOrder[i] = i;
                fIdentity = false;
            }
            fOrder.insert(fOrder.begin() + pos, phys);
        }
        fPositionOfValid = false;
        fPos = pos;
    }
    fEditValues.clear();
    fEditPhysical = -1;
    fState = dsBrowse;
    fModified = false;
    fBof = fEof = false;
    DataEvent(deUpdateState);
    DataEvent(deDataSetChange);
    if (AfterPost) AfterPost(*this);
}

void TDataSet::Cancel() {
    if (fState != dsEdit && fState != dsInsert) return;
    fEditValues.clear();
    fEditPhysical = -1;
    fState = dsBrowse;
    fModified = false;
    DataEvent(deUpdateState);
    DataEvent(deDataSetChange);
}

void TDataSet::Delete() {
    CheckActive();
    if (fState == dsInsert) {
        Cancel();
        return;
    }
    if (fState == dsEdit) Cancel();
    if (OrderCount() == 0)
        throw EDatabaseError("Cannot perform this operation on an empty dataset");
    if (!CanModify()) throw EDatabaseError("Cannot modify a read-only dataset");
    if (BeforeDelete) BeforeDelete(*this);
    HaltReadAhead();
    uint32_t phys = OrderAt(fPos);
    InternalDelete(phys);
    if (fIdentity) {
        fOrder.resize(fIdentityCount);
        for (uint32_t i = 0; i < fIdentityCount; ++i)
            fOrder[i] = i;
        fIdentity = false;
    }
    fOrder.erase(fOrder.begin() + fPos);
    fPositionOfValid = false;
    uint32_t n = OrderCount();
    if (fPos >= n) fPos = n > 0 ? n - 1 : 0;
    fBof = n == 0;
    fEof = n == 0;
    DataEvent(deDataSetChange);
    if (AfterDelete) AfterDelete(*this);
}

void TDataSet::Refresh() {
    CheckActive();
    CheckBrowseMode();
    HaltReadAhead();
    InternalRefresh();
    RebuildOrder();
    DataEvent(deDataSetChange);
}

uint32_t TDataSet::InternalPost(int64_t, const std::vector<TValue>&) {
    throw EDatabaseError("Cannot modify a read-only dataset");
}

void TDataSet::InternalDelete(uint32_t) {
    throw EDatabaseError("Cannot modify a read-only dataset");
}

void TDataSet::NotifyAppended(uint32_t physical) {
    if (!Active()) return;
    HaltReadAhead();
    bool wasEmpty = OrderCount() == 0;
    bool filtering = fFiltered && (fFilter || OnFilterRecord);
    if (fIdentity && fSortKeys.empty() && !filtering && physical == fIdentityCount) {
        ++fIdentityCount;
    } else if (fSortKeys.empty()) {
        if (fIdentity) {
            fOrder.resize(fIdentityCount);
            for (uint32_t i = 0; i < fIdentityCount; ++i)
                fOrder[i] = i;
            fIdentity = false;
        }
        if (Accepts(physical)) fOrder.push_back(physical);
        fPositionOfValid = false;
    } else {
        RebuildOrder();
    }
    if (wasEmpty && OrderCount() > 0) {
        fPos = 0;
        fBof = fEof = false;
    }
    DataEvent(deDataSetChange);
}

// ---- Filter and locate -----------------------------------------------------

std::unique_ptr<TRecordFilter> TDataSet::CompileFilter(const std::string& text) {
    throw EDatabaseError("Filter expressions are not supported by this dataset: " + text);
}

void TDataSet::SetFilter(const std::string& text) {
    if (text == fFilterText) return;
    if (Active() && fFiltered) {
        CheckBrowseMode();
        std::unique_ptr<TRecordFilter> compiled = text.empty() ? nullptr : CompileFilter(text);
        fFilterText = text;
        fFilter = std::move(compiled);
        RebuildOrder();
        DataEvent(deDataSetChange);
    } else {
        fFilterText = text;
    }
}

void TDataSet::SetFiltered(bool v) {
    if (v == fFiltered) return;
    if (Active()) {
        CheckBrowseMode();
        std::unique_ptr<TRecordFilter> compiled =
            v && !fFilterText.empty() ? CompileFilter(fFilterText) : nullptr;
        fFiltered = v;
        fFilter = std::move(compiled);
        RebuildOrder();
        DataEvent(deDataSetChange);
    } else {
        fFiltered = v;
    }
}

void TDataSet::SetOnFilterRecord(TFilterRecordEvent handler) {
    OnFilterRecord = std::move(handler);
    if (Active() && fFiltered) {
        RebuildOrder();
        DataEvent(deDataSetChange);
    }
}

bool TDataSet::Locate(const std::string& keyFields, const std::vector<std::string>& keyValues,
                      unsigned options) {
    CheckActive();
    CheckBrowseMode();
    std::vector<TField*> fields;
    for (const std::string& name : SplitString(keyFields, ';')) {
        std::string_view n = Trim(name);
        if (!n.empty()) fields.push_back(&FieldByName(std::string(n)));
    }
    if (fields.empty() || fields.size() != keyValues.size())
        throw EDatabaseError("Locate needs one value for each of the fields '" + keyFields + "'");
    const bool ci = options & loCaseInsensitive;
    const bool partial = options & loPartialKey;
    // Ignoring case, the values are folded once and each record's text as it
    // is compared; a partial key is then a start of the folded text.
    std::vector<std::string> folded;
    if (ci)
        for (const std::string& v : keyValues)
            folded.push_back(CaseFold(v));
    std::string text;
    uint32_t n = OrderCount();
    for (uint32_t pos = 0; pos < n; ++pos) {
        bool match = true;
        {
            TEvalScope scope(fEvalPhysical, OrderAt(pos));
            for (size_t k = 0; k < fields.size() && match; ++k) {
                fields[k]->GetAsString(text);
                if (ci) {
                    match = partial ? StartsFolded(folded[k], text)
                                    : CompareFolded(text, folded[k]) == 0;
                } else {
                    const std::string& want = keyValues[k];
                    std::string_view got = text;
                    if (partial && got.size() > want.size()) got = got.substr(0, want.size());
                    match = got == want;
                }
            }
        }
        if (match) {
            fBof = fEof = false;
            MoveTo(pos, true);
            return true;
        }
    }
    return false;
}

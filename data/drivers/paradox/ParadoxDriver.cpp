#include "data/drivers/paradox/ParadoxDriver.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/drivers/paradox/ParadoxBlobWriter.h"
#include "data/drivers/paradox/ParadoxChainEdit.h"
#include "data/drivers/paradox/ParadoxIndexWriter.h"
#include "data/platform/RangeLock.h"
#include "data/platform/RollbackJournal.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {
constexpr uint32_t NoRecord = TRecordSlots::None;

std::string NameOf(const std::string& path) {
    return fs::path(path).filename().string();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The extensions (lower case) of the files a table's base name binds to it:
// blobs, primary key, validity checks, secondary indexes (.x?? .y?? .xg? .yg?).
bool IsSideExtension(const std::string& ext) {
    if (ext == ".mb" || ext == ".px" || ext == ".val") return true;
    return ext.size() == 4 && (ext[1] == 'x' || ext[1] == 'y') &&
           ((HexDigit(ext[2]) >= 0 && HexDigit(ext[3]) >= 0) ||
            (ext[2] == 'g' && HexDigit(ext[3]) >= 0));
}

// The files beside a table with its base name, by lower-cased extension.
struct TSideFiles {
    std::string Mb, Px, Val;
    std::vector<std::pair<std::string, std::string>>
        Secondary; // extension, path (.x?? .y?? .xg? .yg?)

    static TSideFiles Find(const std::string& tablePath) {
        TSideFiles s;
        fs::path table(tablePath);
        std::string stem = table.stem().string();
        fs::path dir = table.parent_path();
        std::error_code ec;
        fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec);
        if (ec) return s;
        for (const fs::directory_entry& e : it) {
            const fs::path& p = e.path();
            if (!SameText(p.stem().string(), stem)) continue;
            std::error_code fec;
            if (!fs::is_regular_file(p, fec)) continue;
            std::string ext = LowerCase(p.extension().string());
            std::string path = (dir.empty() ? p.filename() : p).string();
            if (ext == ".mb")
                s.Mb = path;
            else if (ext == ".px")
                s.Px = path;
            else if (ext == ".val")
                s.Val = path;
            else if (IsSideExtension(ext))
                s.Secondary.emplace_back(ext, path);
        }
        std::sort(s.Secondary.begin(), s.Secondary.end());
        return s;
    }
};

} // namespace

struct TParadoxDriver::TState {
    TMappedFile Map;
    TParadoxHeader Header;
    TParadoxBlockMap Blocks;
    TParadoxRecordCodec Codec;
    TParadoxBlobFile Blobs;
    TSideFiles Side;
    std::string BlobProblem;        // why the blob file cannot be read; empty when it can
    std::vector<std::string> Notes; // warnings about the table
    size_t KeyLength = 0;
    std::string FixedHeader; // the header's fixed part as read (or last written here)
    std::string FirstKeys;   // of each block, one after another, once a keyed table was edited
    int64_t AutoIncTop = -1; // the highest number in use, once counted
    struct stat Stat {};

    const uint8_t* Record(uint32_t fileRec) const {
        return Map.Data() + Blocks.RecordOffset(fileRec);
    }
    // After a read: raises when the table or its blob file was cut short
    // or rewritten meanwhile.
    void CheckIntact() const {
        if (TMappedFile::AllIntact()) return;
        Map.CheckIntact("table");
        if (Blobs.IsOpen()) Blobs.Map().CheckIntact("blob file");
    }
};

TParadoxDriver::TParadoxDriver() = default;
TParadoxDriver::~TParadoxDriver() = default;

std::unique_ptr<TParadoxDriver::TState> TParadoxDriver::Load() const {
    auto s = std::make_unique<TState>();
    s->Map = TMappedFile(fPath, true);
    // While a writer holds the header the blocks are changing: a reader
    // waits for it to finish, so that what it walks is one table or the other.
    TRangeLock reading(s->Map.Descriptor(), fPath);
    reading.TryLock(0, 32, false);
    if (fstat(s->Map.Descriptor(), &s->Stat) != 0) s->Stat = {};
    const std::string prefix = "Cannot open table \"" + fPath + "\": ";
    s->Header = TParadoxHeader::Parse(s->Map.Data(), s->Map.Size(), TParadoxHeader::pkData, prefix);
    const TParadoxHeader& h = s->Header;
    s->FixedHeader.assign(reinterpret_cast<const char*>(s->Map.Data()), h.FieldInfoStart);
    if (h.FileType != pfKeyedTable && h.FileType != pfTable)
        Fail("it is the data file of a secondary index, not a table");
    if (h.Encrypted) Fail("it is encrypted (password-protected), which this program cannot read");
    s->Blocks.Build(h, s->Map.Data(), s->Map.Size(), prefix);
    if (h.FileSizeNeeded > s->Map.Size())
        s->Notes.push_back("its header counts " + std::to_string(h.FileBlocks) + " blocks of " +
                           std::to_string(h.BlockSize) + " bytes (" +
                           std::to_string(h.FileSizeNeeded) + " bytes), but the file has " +
                           std::to_string(s->Map.Size()) +
                           "; the blocks that hold its records are all there");
    const int codePage = ForcedCodePage() ? ForcedCodePage() : h.CodePage ? h.CodePage : 437;
    if (!TCodePage::Supported(codePage))
        Fail(std::string(ForcedCodePage() ? "the code page chosen for it, " : "its code page ") +
             std::to_string(codePage) + ", is not supported on this system");
    s->Codec.Init(h.Fields, codePage);
    for (size_t i = 0; i < h.KeyFields; ++i)
        s->KeyLength += static_cast<size_t>(h.Fields[i].Length);

    s->Side = TSideFiles::Find(fPath);
    bool blobFields = false;
    for (const TParadoxField& f : h.Fields)
        blobFields = blobFields || f.IsBlob();
    // Without its blob file the table still shows everything else, and the
    // blobs that fit in their leaders; the others read as unavailable.
    if (blobFields) {
        if (s->Side.Mb.empty()) {
            s->BlobProblem = "its blob file \"" +
                             fs::path(fPath).replace_extension(".mb").filename().string() +
                             "\" is missing";
        } else {
            try {
                s->Blobs.Open(s->Side.Mb);
            } catch (const EDatabaseError& e) {
                s->Blobs.Close();
                s->BlobProblem = std::string("its blob file cannot be read (") + e.what() + ")";
            }
        }
        if (!s->BlobProblem.empty())
            s->Notes.push_back(s->BlobProblem + "; its blobs longer than their leaders read as " +
                               std::string(UnavailableText));
    }
    // The block list was read from the mapping.
    s->Map.CheckUnchanged("table");
    return s;
}

void TParadoxDriver::FindIndexes(TIndexDefs& indexes) {
    fIndexFiles.clear();
    fPrimaryIndexPath.clear();
    TState& s = *fState;
    const TParadoxHeader& h = s.Header;
    if (!s.Side.Px.empty()) {
        fIndexFiles.push_back(s.Side.Px);
        fPrimaryIndexPath = s.Side.Px;
    }
    if (h.KeyFields > 0) {
        std::string fields;
        for (size_t i = 0; i < h.KeyFields; ++i)
            fields += (i ? ";" : "") + s.Codec.Name(i);
        indexes.Add("", fields, ixPrimary | ixUnique);
    }
    // A secondary index is a data file (.Xnn, .XGn) with an index file
    // (.Ynn, .YGn) over it. A damaged one does not keep the table from
    // opening; it only is not offered.
    for (const auto& [ext, path] : s.Side.Secondary) {
        fIndexFiles.push_back(path);
        if (ext[1] != 'x') continue;
        std::string yext = ext;
        yext[1] = 'y';
        auto y = std::find_if(s.Side.Secondary.begin(), s.Side.Secondary.end(),
                              [&](const auto& e) { return e.first == yext; });
        if (y == s.Side.Secondary.end()) continue;
        try {
            TMappedFile xm(path), ym(y->second);
            TParadoxHeader xh =
                TParadoxHeader::Parse(xm.Data(), xm.Size(), TParadoxHeader::pkData, "");
            TParadoxHeader yh =
                TParadoxHeader::Parse(ym.Data(), ym.Size(), TParadoxHeader::pkIndex, "");
            std::string name, fields;
            if (ext[2] != 'g') {
                int number = HexDigit(ext[2]) * 16 + HexDigit(ext[3]);
                if (number < 1 || number > h.NumFields) continue;
                const TParadoxField& f = h.Fields[static_cast<size_t>(number - 1)];
                if (xh.Fields[0].Type != f.Type || xh.Fields[0].Length != f.Length) continue;
                name = fields = s.Codec.Name(static_cast<size_t>(number - 1));
            } else {
                size_t count = std::min<size_t>(yh.NumFields, xh.NumFields);
                for (size_t i = 0; i < count; ++i) {
                    auto match =
                        std::find_if(h.Fields.begin(), h.Fields.end(), [&](const TParadoxField& f) {
                            return SameText(f.Name, xh.Fields[i].Name) &&
                                   f.Type == xh.Fields[i].Type;
                        });
                    if (match == h.Fields.end()) {
                        fields.clear();
                        break;
                    }
                    fields += (fields.empty() ? "" : ";") +
                              s.Codec.Name(static_cast<size_t>(match - h.Fields.begin()));
                }
                if (fields.empty()) continue;
                std::string raw = xh.TableName;
                s.Codec.FromTable(raw, name);
                if (name.empty()) name = UpperCase(ext.substr(1));
            }
            xm.CheckIntact("index file");
            ym.CheckIntact("index file");
            if (indexes.IndexOf(name) < 0) indexes.Add(name, fields, 0);
        } catch (const EDatabaseError&) {
        }
    }
}

std::string TParadoxDriver::ComputeReadOnlyReason() const {
    const TState& s = *fState;
    const TParadoxHeader& h = s.Header;
    if (h.WriteProtected) return "the table is marked write-protected";
    if (!s.BlobProblem.empty()) return s.BlobProblem;
    if (h.ModifiedFlags1 || h.ModifiedFlags2) return "its header says it needs to be rebuilt";
    if (h.KeyFields > 0) {
        if (fPrimaryIndexPath.empty()) return "its primary index file (.px) is missing";
        try {
            TMappedFile px(fPrimaryIndexPath);
            TParadoxHeader ph =
                TParadoxHeader::Parse(px.Data(), px.Size(), TParadoxHeader::pkIndex, "");
            bool same = ph.FileType == pfPrimaryIndex && ph.NumFields == h.KeyFields;
            for (size_t i = 0; same && i < h.KeyFields; ++i)
                same = ph.Fields[i].Type == h.Fields[i].Type &&
                       ph.Fields[i].Length == h.Fields[i].Length;
            px.CheckIntact("index file");
            if (!same)
                return "its primary index file " + NameOf(fPrimaryIndexPath) +
                       " does not match the table";
        } catch (const EDatabaseError& e) {
            return "its primary index file " + NameOf(fPrimaryIndexPath) + " is damaged (" +
                   e.what() + ")";
        }
    }
    if (!s.Side.Secondary.empty()) {
        std::string names;
        for (const auto& f : s.Side.Secondary)
            names += (names.empty() ? "" : ", ") + NameOf(f.second);
        return "its secondary index files (" + names + ") would not be kept up to date";
    }
    if (!s.Side.Val.empty())
        return "its validity checks (" + NameOf(s.Side.Val) + ") would not be enforced";
    if (!Writable(fPath)) return "the file is read-only";
    if (s.Blobs.IsOpen() && !Writable(s.Blobs.Path())) return "its blob file is read-only";
    if (!fPrimaryIndexPath.empty() && !Writable(fPrimaryIndexPath))
        return "its primary index file is read-only";
    if (!Writable(FolderOf(fPath))) return "its folder is read-only";
    return std::string();
}

void TParadoxDriver::Open(const std::string& path, TFieldDefs& fields, TIndexDefs& indexes) {
    Close();
    fPath = path;
    try {
        fLock.LockShared(fPath);
        RollBackUnfinished();
        fState = Load();
        for (const std::string& note : fState->Notes)
            Warn(note);
        const TParadoxHeader& h = fState->Header;
        for (size_t i = 0; i < h.Fields.size(); ++i) {
            const TParadoxField& f = h.Fields[i];
            TFieldType type = TParadoxRecordCodec::FieldTypeOf(f);
            int size = 0;
            if (f.Type == pdAlpha || f.Type == pdBytes)
                size = f.Length;
            else if (f.IsBlob())
                size = f.Length - 10;
            else if (f.Type == pdBcd)
                size = f.SizeByte;
            TFieldDef& def = fields.Add(fState->Codec.Name(i), type, size);
            def.ReadOnly = f.Type == pdAutoInc;
        }
        FindIndexes(indexes);
        fReadOnlyReason = ComputeReadOnlyReason();
        fSlots.Reset(fState->Blocks.RecordCount());
    } catch (...) {
        Close();
        throw;
    }
}

void TParadoxDriver::Close() {
    fState.reset();
    fWarnings.Clear();
    fLock.Unlock();
    fIndexFiles.clear();
    fPrimaryIndexPath.clear();
    fReadOnlyReason.clear();
    fSlots.Reset(0);
}

std::vector<std::string> TParadoxDriver::Files() const {
    if (!fState) return {};
    std::vector<std::string> files{fPath};
    const TSideFiles& side = fState->Side;
    for (const std::string* f : {&side.Mb, &side.Px, &side.Val})
        if (!f->empty()) files.push_back(*f);
    for (const auto& secondary : side.Secondary)
        files.push_back(secondary.second);
    return files;
}

bool TParadoxDriver::IsSideFileName(const std::string& name) const {
    if (!fState) return false;
    const fs::path p(name);
    const std::string ext = LowerCase(p.extension().string());
    return SameText(p.stem().string(), fs::path(fPath).stem().string()) &&
           (IsSideExtension(ext) || ext == ".db-journal");
}

const TParadoxHeader& TParadoxDriver::Header() const {
    if (!fState) throw EDatabaseError("The table is not open");
    return fState->Header;
}

int TParadoxDriver::CodePage() const {
    return fState ? fState->Codec.CodePage() : 0;
}

uint32_t TParadoxDriver::RecordCount() const {
    return fState ? fSlots.Count() : 0;
}

bool TParadoxDriver::RecordLive(uint32_t rec) const {
    return fState && fSlots.FileRecordOf(rec) != NoRecord;
}

bool TParadoxDriver::AllLive() const {
    return fSlots.AllLive();
}

void TParadoxDriver::GetValue(uint32_t rec, int fieldNo, TValue& out) {
    if (!fState) throw EDatabaseError("The table is not open");
    const uint32_t fileRec = fSlots.FileRecordOf(rec);
    if (fileRec == NoRecord || fieldNo < 0 ||
        static_cast<size_t>(fieldNo) >= fState->Codec.FieldCount())
        NoSuchValue(rec + 1, fieldNo + 1);
    const size_t field = static_cast<size_t>(fieldNo);
    const bool decoded = DecodeOrPlaceholder(fState->Record(fileRec), field, out);
    // A value read from pages another program cut away is zeros, not data.
    fState->CheckIntact();
    if (decoded) return;
    // A damaged blob does not stop the reading of the rest; other values
    // that cannot be read do.
    if (!fState->Codec.Field(field).IsBlob())
        throw EDatabaseError("Cannot read field '" + fState->Codec.Name(field) + "' of record " +
                             std::to_string(rec + 1) + " of table \"" + fPath + "\": " + fProblem);
    if (fState->BlobProblem.empty()) // a missing blob file was told of once
        Warn("the blob of field '" + fState->Codec.Name(field) + "' in record " +
             std::to_string(rec + 1) + " cannot be read (" + fProblem + "); it reads as " +
             std::string(UnavailableText));
}

bool TParadoxDriver::DecodeOrPlaceholder(const uint8_t* record, size_t field, TValue& out) {
    try {
        fState->Codec.Decode(record, field, out, fState->Blobs.IsOpen() ? &fState->Blobs : nullptr);
        return true;
    } catch (const EDatabaseError& e) {
        fProblem = e.what();
    }
    if (fState->Codec.Field(field).Type == pdMemo)
        out.SetText(UnavailableText);
    else
        out.SetBytes(UnavailableText);
    return false;
}

// A blob's length is in its record: whether it is null needs no blob file.
bool TParadoxDriver::IsNull(uint32_t rec, int fieldNo, TValue& scratch) {
    const uint32_t fileRec = fState ? fSlots.FileRecordOf(rec) : NoRecord;
    if (fileRec != NoRecord && fieldNo >= 0 &&
        static_cast<size_t>(fieldNo) < fState->Codec.FieldCount()) {
        const TParadoxField& f = fState->Codec.Field(static_cast<size_t>(fieldNo));
        if (f.IsBlob())
            return TParadoxBlobFile::ReadRef(fState->Record(fileRec) + f.Offset, f.Length).Length ==
                   0;
    }
    GetValue(rec, fieldNo, scratch);
    return scratch.IsNull();
}

void TParadoxDriver::CheckUnchanged() const {
    if (!fState) return;
    fState->Map.CheckUnchanged("table");
    fState->CheckIntact();
}

void TParadoxDriver::Refresh() {
    if (!fState) return;
    // A writer that died left its journal: what it wrote is put back first.
    RollBackUnfinished();
    std::unique_ptr<TState> fresh = Load();
    const auto& a = fresh->Header.Fields;
    const auto& b = fState->Header.Fields;
    bool same = a.size() == b.size();
    for (size_t i = 0; same && i < a.size(); ++i)
        same = a[i].Name == b[i].Name && a[i].Type == b[i].Type && a[i].Length == b[i].Length;
    if (!same)
        throw EDatabaseError("The structure of table \"" + fPath +
                             "\" was changed by another program; open it again");
    fState = std::move(fresh);
    fLock.LockShared(fPath);
    for (const std::string& note : fState->Notes)
        Warn(note);
    TIndexDefs ignored;
    FindIndexes(ignored);
    fReadOnlyReason = ComputeReadOnlyReason();
    fSlots.Reset(fState->Blocks.RecordCount());
}

// ---- Writing ---------------------------------------------------------------------

namespace {
// Where a record with this key goes in a keyed table's order; raises when
// the key is taken.
uint32_t PlaceOfKey(TParadoxChainEdit& edit, const uint8_t* record, size_t keyLength,
                    const std::string& path) {
    uint32_t lo = 0, hi = edit.Count();
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (std::memcmp(edit.Record(mid), record, keyLength) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < edit.Count() && std::memcmp(edit.Record(lo), record, keyLength) == 0)
        throw EDatabaseError("Key violation: table \"" + path +
                             "\" already has a record with this primary key");
    return lo;
}
} // namespace

std::unique_ptr<TRangeLock> TParadoxDriver::LockForEdit() {
    TState& s = *fState;
    std::unique_ptr<TRangeLock> lock = LockRegions(s.Stat, s.Header.HeaderSize, 0, 0);
    // Every write counts in the header: a change another program made
    // within one tick of the file system's clock shows there.
    if (s.Map.View().substr(0, s.FixedHeader.size()) != s.FixedHeader)
        throw EDatabaseError("Table \"" + fPath +
                             "\" was changed by another program; refresh it before editing");
    return lock;
}

std::string TParadoxDriver::FirstKeys() {
    TState& s = *fState;
    if (s.KeyLength == 0) return {};
    const auto& blocks = s.Blocks.Blocks();
    if (s.FirstKeys.size() != blocks.size() * s.KeyLength) {
        s.FirstKeys.clear();
        s.FirstKeys.reserve(blocks.size() * s.KeyLength);
        for (const TParadoxBlockMap::TBlock& b : blocks)
            s.FirstKeys.append(reinterpret_cast<const char*>(s.Map.Data() + b.Offset + 6),
                               s.KeyLength);
        s.Map.CheckIntact("table");
    }
    return s.FirstKeys;
}

void TParadoxDriver::WriteInPlace(TParadoxChainEdit& edit, TRangeLock& lock, int32_t autoInc,
                                  const TParadoxBlobWriter* blobs) {
    TState& s = *fState;
    const TParadoxHeader& h = s.Header;
    const bool appended = blobs && !blobs->Empty();
    {
        TRollbackJournal journal(fPath);
        const size_t table = journal.AddFile(fPath, WriteDescriptor());
        // New blobs go behind the .mb's end, where the table as it stands
        // refers to nothing; the blocks of a replaced blob stay.
        if (appended)
            journal.Write(journal.AddFile(s.Blobs.Path()), blobs->AppendOffset(),
                          blobs->Appended());
        for (const TParadoxChainEdit::TRegion& r : edit.Blocks()) {
            lock.Lock(r.Offset, r.Bytes.size(), true);
            journal.Write(table, r.Offset, r.Bytes);
        }
        journal.Write(table, 0, edit.Header(autoInc, static_cast<uint32_t>(std::time(nullptr))));
        if (h.KeyFields > 0) {
            // The index as it is to be, over the one there: only what differs is written.
            const TMappedFile px(fPrimaryIndexPath);
            const std::vector<TParadoxField> key(h.Fields.begin(), h.Fields.begin() + h.KeyFields);
            const std::string now =
                TParadoxIndexWriter::Build(key, h, pfPrimaryIndex, edit.IndexEntries());
            if (px.View() != now)
                journal.WriteChanged(journal.AddFile(fPrimaryIndexPath), px.View(), now);
            px.CheckIntact("index file");
        }
        // What went into the edit came from the mappings: zeros in place of
        // a cut file must not become the table.
        s.CheckIntact();
        CommitInPlace(journal, s.Stat);
    }

    // The state follows the file without reading it again: the chain, its
    // keys, the header, and new mappings where a file grew.
    if (edit.Grows()) {
        TMappedFile map(fPath, true);
        s.Map = std::move(map);
    } else {
        s.Map.Written();
    }
    s.Header = TParadoxHeader::Parse(s.Map.Data(), s.Map.Size(), TParadoxHeader::pkData,
                                     "Cannot read table \"" + fPath + "\": ");
    s.FixedHeader.assign(reinterpret_cast<const char*>(s.Map.Data()), s.Header.FieldInfoStart);
    s.Blocks.Assign(edit.Chain());
    if (s.KeyLength > 0) s.FirstKeys = std::move(edit.FirstKeys());
    if (appended) {
        const std::string mb = s.Blobs.Path();
        s.Blobs.Open(mb);
    }
    if (fstat(s.Map.Descriptor(), &s.Stat) != 0) s.Stat = {};
}

uint32_t TParadoxDriver::Post(int64_t rec, const std::vector<TValue>& values) {
    CheckWritable();
    TState& s = *fState;
    const TParadoxHeader& h = s.Header;
    TParadoxRecordCodec& codec = s.Codec;
    CheckValueCount(codec.FieldCount(), values.size());
    const bool inserting = rec < 0;
    uint32_t fileRec = NoRecord;
    if (!inserting) {
        fileRec = rec < fSlots.Count() ? fSlots.FileRecordOf(static_cast<uint32_t>(rec)) : NoRecord;
        if (fileRec == NoRecord) NoSuchRecord(rec + 1);
    }
    const uint32_t count = s.Blocks.RecordCount();
    if (inserting && (fSlots.Count() == UINT32_MAX - 1 || count >= 0x7FFFFFFF)) TableFull();
    // Held until the write is done: the header serializes the writers of
    // the table; the blocks written are locked as they are known.
    std::unique_ptr<TRangeLock> lock = LockForEdit();

    std::optional<TParadoxBlobWriter> blobs;
    if (s.Blobs.IsOpen()) blobs.emplace(s.Blobs.Map().View());
    fRecord.assign(h.RecordSize, 0);
    if (!inserting) std::memcpy(fRecord.data(), s.Record(fileRec), h.RecordSize);
    int32_t autoInc = h.AutoInc;
    for (size_t i = 0; i < codec.FieldCount(); ++i) {
        const TParadoxField& f = h.Fields[i];
        if (f.Type == pdAutoInc) {
            if (!inserting) continue;
            // The next number follows the header's and every number in use
            // (counted once an open: other writers may leave the header behind).
            if (s.AutoIncTop < 0) {
                int64_t top = h.AutoInc;
                for (size_t j = 0; j < codec.FieldCount(); ++j)
                    if (h.Fields[j].Type == pdAutoInc)
                        for (uint32_t r = 0; r < count; ++r) {
                            codec.Decode(s.Record(r), j, fOld, nullptr);
                            if (fOld.Kind == TValueKind::Integer)
                                top = std::max<int64_t>(top, fOld.Int);
                        }
                s.CheckIntact();
                s.AutoIncTop = std::max<int64_t>(top, 0);
            }
            if (s.AutoIncTop >= 2147483647)
                throw EDatabaseError("Field '" + codec.Name(i) + "' has run out of numbers");
            autoInc = static_cast<int32_t>(s.AutoIncTop + 1);
            codec.Encode(fRecord.data(), i, TValue::OfInt(autoInc), nullptr);
            continue;
        }
        if (!inserting) {
            // Unchanged values keep their bytes as another program wrote
            // them; so does a damaged blob that was left as it read.
            if (!DecodeOrPlaceholder(fRecord.data(), i, fOld) && !f.IsBlob())
                throw EDatabaseError("Cannot read field '" + codec.Name(i) + "' of record " +
                                     std::to_string(rec + 1) + " of table \"" + fPath +
                                     "\": " + fProblem);
            if (fOld == values[i]) continue;
        } else if (values[i].IsNull()) {
            continue;
        }
        codec.Encode(fRecord.data(), i, values[i], blobs ? &*blobs : nullptr);
    }

    TParadoxChainEdit edit(h, s.Map.View(), s.Blocks, FirstKeys(), s.KeyLength);
    const size_t keyLength = s.KeyLength;
    // A record keeps its place unless its key changed: then it moves to
    // the place of its new key.
    const bool moves = !inserting && keyLength > 0 &&
                       std::memcmp(s.Record(fileRec), fRecord.data(), keyLength) != 0;
    uint32_t place = fileRec;
    if (!inserting && !moves) {
        edit.Replace(fileRec, fRecord.data());
    } else {
        if (moves) edit.Remove(fileRec);
        place = keyLength > 0 ? PlaceOfKey(edit, fRecord.data(), keyLength, fPath) : edit.Count();
        edit.Insert(place, fRecord.data());
    }
    WriteInPlace(edit, *lock, autoInc, blobs ? &*blobs : nullptr);
    if (inserting && s.AutoIncTop >= 0) s.AutoIncTop = std::max<int64_t>(s.AutoIncTop, autoInc);

    const uint32_t slot = inserting ? fSlots.Count() : static_cast<uint32_t>(rec);
    if (moves) fSlots.Removed(fileRec);
    if (inserting || moves) fSlots.Inserted(place, slot);
    return slot;
}

void TParadoxDriver::Delete(uint32_t rec) {
    CheckWritable();
    TState& s = *fState;
    const uint32_t fileRec = fSlots.FileRecordOf(rec);
    if (fileRec == NoRecord) NoSuchRecord(rec + 1);
    std::unique_ptr<TRangeLock> lock = LockForEdit();
    TParadoxChainEdit edit(s.Header, s.Map.View(), s.Blocks, FirstKeys(), s.KeyLength);
    edit.Remove(fileRec);
    WriteInPlace(edit, *lock, s.Header.AutoInc, nullptr);
    fSlots.Removed(fileRec);
}

#include "data/drivers/dbf/DbfDriver.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/drivers/dbf/DbfKeyExpression.h"
#include "data/drivers/dbf/DbfLanguageDriver.h"
#include "data/drivers/dbf/DbfSideFile.h"
#include "data/drivers/dbf/MdxIndex.h"
#include "data/drivers/dbf/NdxIndex.h"
#include "data/platform/RangeLock.h"
#include "data/platform/RollbackJournal.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

struct TDbfDriver::TState {
    TMappedFile Map;
    TDbfHeader Header;
    TDbfRecordCodec Codec;
    TDbfMemoFile Memo;
    std::string MemoProblem; // why the memo file cannot be read; empty when it can
    std::string MemoFound;   // the memo file found beside the table, read or not
    std::string CpgPath;
    bool UnknownLanguage = false;
    uint32_t Deleted = 0;
    std::vector<uint64_t> DeletedBits; // one bit a record; empty when none is deleted
    std::vector<std::string> Notes;    // warnings about the table
    struct stat Stat {};

    const uint8_t* Record(uint32_t rec) const {
        const uint64_t at = Header.RecordOffset(rec);
        Map.Passing(at);
        return Map.Data() + at;
    }
    // After a read: raises when the table or its memo file was cut short
    // or rewritten meanwhile.
    void CheckIntact() const {
        if (TMappedFile::AllIntact()) return;
        Map.CheckIntact("table");
        if (Memo.IsOpen()) Memo.CheckIntact();
    }
};

namespace {
std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string s(256, '\0');
    in.read(s.data(), static_cast<std::streamsize>(s.size()));
    s.resize(static_cast<size_t>(in.gcount()));
    return s;
}

std::string Hex(unsigned v) {
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[(v >> 4) & 15] + digits[v & 15];
}

bool SameStructure(const std::vector<TDbfColumn>& a, const std::vector<TDbfColumn>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Name != b[i].Name || a[i].DataType != b[i].DataType || a[i].Size != b[i].Size)
            return false;
    return true;
}
} // namespace

TDbfDriver::TDbfDriver() = default;

TDbfDriver::~TDbfDriver() = default;

std::unique_ptr<TDbfDriver::TState> TDbfDriver::Load() const {
    auto s = std::make_unique<TState>();
    s->Map = TMappedFile(fPath, true);
    // While a writer holds the header the records are changing: a reader
    // waits for it to finish, so that what it maps is one table or the other.
    TRangeLock reading(s->Map.Descriptor(), fPath);
    reading.TryLock(0, 32, false);
    if (fstat(s->Map.Descriptor(), &s->Stat) != 0) s->Stat = {};
    s->Header = TDbfHeader::Parse(s->Map.Data(), s->Map.Size(), fPath);
    const TDbfHeader& h = s->Header;

    // The code page: the user's wins, then a .cpg file, then the header's
    // byte; without any, the text decides, once an open.
    int codePage = ForcedCodePage();
    s->CpgPath = TDbfLanguageDriver::FindCpgFile(fPath);
    if (codePage == 0 && !s->CpgPath.empty()) {
        std::string text = ReadSmallFile(s->CpgPath);
        codePage = TDbfLanguageDriver::ParseCpgText(text);
        if (codePage == 0)
            Fail("its code page file \"" + s->CpgPath + "\" names an unknown code page (\"" +
                 std::string(Trim(text)) + "\")");
    } else if (codePage == 0) {
        codePage = TDbfLanguageDriver::CodePageOf(h.LanguageId);
        if (codePage <= 0 && h.Level7) {
            int named = TDbfLanguageDriver::CodePageOfName(h.LanguageName);
            if (named) codePage = named;
        }
        if (codePage < 0) s->UnknownLanguage = true;
        if (codePage <= 0)
            codePage = fState ? fState->Codec.CodePage()
                              : TDbfLanguageDriver::Detect(h, s->Map.Data(), s->Map.Size());
    }
    if (!TCodePage::Supported(codePage))
        Fail(std::string(ForcedCodePage() ? "the code page chosen for it, " : "its code page ") +
             std::to_string(codePage) + ", is not supported on this system");
    s->Codec.Init(h, codePage);

    if (h.StoredRecordLength != h.RecordLength)
        s->Notes.push_back("its header gives records of " + std::to_string(h.StoredRecordLength) +
                           " bytes, but its fields take " + std::to_string(h.RecordLength) +
                           " and the file holds records of that length; they are read so");

    // Without its memo file the table still shows everything else; the
    // memos read as unavailable.
    if (h.HasMemoFields()) {
        const bool fox = h.IsFox();
        std::string memo = FindSideFile(fPath, fox ? ".fpt" : ".dbt", true);
        if (memo.empty()) {
            s->MemoProblem =
                "its memo file \"" +
                fs::path(SideFileName(fPath, fox ? ".fpt" : ".dbt")).filename().string() +
                "\" is missing";
        } else {
            s->MemoFound = memo;
            try {
                s->Memo.Open(memo, fox                                        ? mkFpt
                                   : (h.Version == 0x83 || h.Version == 0x03) ? mkDbt3
                                                                              : mkDbt4);
                s->Codec.SetMemo(&s->Memo);
            } catch (const EDatabaseError& e) {
                s->MemoProblem = std::string("its memo file cannot be read (") + e.what() + ")";
            }
        }
        if (!s->MemoProblem.empty())
            s->Notes.push_back(s->MemoProblem + "; its memo values read as " +
                               std::string(UnavailableText));
    }

    // The one pass over the records that opening makes: the deleted flags,
    // kept as bits so that asking for them later does not touch every page
    // of the file again. Bound by mapping the pages, so a large table is
    // scanned in two halves at once.
    s->DeletedBits.resize((static_cast<size_t>(h.RecordCount) + 63) / 64);
    TState& state = *s;
    auto scan = [&state](uint32_t first, uint32_t last) {
        const TDbfHeader& hh = state.Header;
        const uint8_t* base = state.Map.Data();
        const uint8_t* p = base + hh.RecordOffset(first);
        uint64_t released = static_cast<uint64_t>(p - base);
        uint32_t deleted = 0;
        for (uint32_t i = first; i < last;) {
            uint64_t word = 0;
            const uint32_t end = std::min<uint32_t>(last, i + 64);
            for (uint32_t bit = 0; i < end; ++i, ++bit, p += hh.RecordLength)
                word |= static_cast<uint64_t>(*p == '*') << bit;
            state.DeletedBits[(i - 1) / 64] = word;
            deleted += static_cast<uint32_t>(__builtin_popcountll(word));
            // What the scan has passed goes back to the page cache.
            const uint64_t at = static_cast<uint64_t>(p - base);
            if (at >= released + TMappedFile::KeepWindow) {
                state.Map.Release(released, at - TMappedFile::KeepWindow / 2);
                released = at - TMappedFile::KeepWindow / 2;
            }
        }
        return deleted;
    };
    uint32_t deleted = 0;
    const uint32_t half = h.RecordCount >= (1u << 18) ? h.RecordCount / 2 / 64 * 64 : 0;
    if (half > 0) {
        uint32_t second = 0;
        std::thread other;
        try {
            other = std::thread([&] { second = scan(half, h.RecordCount); });
        } catch (const std::system_error&) {
            second = scan(half, h.RecordCount);
        }
        deleted = scan(0, half);
        if (other.joinable()) other.join();
        deleted += second;
    } else {
        deleted = scan(0, h.RecordCount);
    }
    // A walk starts at the first records: the rest need not stay mapped.
    s->Map.Release(TMappedFile::KeepWindow, s->Map.Size());
    s->Map.CheckUnchanged("table");
    s->Deleted = deleted;
    if (deleted == 0) {
        s->DeletedBits.clear();
        s->DeletedBits.shrink_to_fit();
    }
    return s;
}

void TDbfDriver::FindIndexes(const TFieldDefs& fields, TIndexDefs& indexes) {
    fIndexFiles.clear();
    const TDbfHeader& h = fState->Header;
    // A damaged index file does not keep the table from opening: the
    // table opens without that file's index definitions.
    if (h.IsFox()) {
        if (h.TableFlags & 0x01) {
            std::string cdx = FindSideFile(fPath, ".cdx");
            if (!cdx.empty()) fIndexFiles.push_back(cdx);
        }
    } else if (h.TableFlags & 0x01) {
        std::string mdx = FindSideFile(fPath, ".mdx");
        if (!mdx.empty()) {
            fIndexFiles.push_back(mdx);
            try {
                // Tag names and key expressions are in the table's code page,
                // like the field names they name.
                std::string name, expression;
                for (const TMdxIndex::TTag& tag : TMdxIndex::ReadTags(mdx)) {
                    unsigned options =
                        (tag.Unique ? ixUnique : 0u) | (tag.Descending ? ixDescending : 0u);
                    fState->Codec.FromTable(tag.Name, name);
                    fState->Codec.FromTable(tag.Expression, expression);
                    TIndexDef def = DbfIndexDefFromExpression(name, expression, fields, options);
                    if (indexes.IndexOf(def.Name) < 0)
                        indexes.Add(def.Name, def.Fields, def.Options);
                }
            } catch (const EDatabaseError&) {
            }
        }
    }
    // .ndx files belong to no table by name; take the one named like the
    // table and those that the table's .inf file lists (NDX1=NAME.NDX).
    std::vector<std::string> ndx;
    std::string own = FindSideFile(fPath, ".ndx");
    if (!own.empty()) ndx.push_back(own);
    std::string inf = FindSideFile(fPath, ".inf");
    if (!inf.empty()) {
        std::ifstream in(inf);
        std::string line;
        for (int n = 0; n < 1000 && std::getline(in, line); ++n) {
            std::string_view l = Trim(line);
            size_t eq = l.find('=');
            if (eq == std::string_view::npos || !StartsText("NDX", Trim(l.substr(0, eq)))) continue;
            std::string name(Trim(l.substr(eq + 1)));
            if (name.empty() || name.find('/') != std::string::npos) continue;
            fs::path candidate = fs::path(FolderOf(fPath)) / name;
            std::string found = FindSideFile(candidate.string(), ".ndx");
            if (!found.empty() && std::find(ndx.begin(), ndx.end(), found) == ndx.end())
                ndx.push_back(found);
        }
    }
    for (const std::string& file : ndx) {
        fIndexFiles.push_back(file);
        try {
            TNdxIndex::TKey key = TNdxIndex::ReadKey(file);
            std::string name = UpperCase(fs::path(file).stem().string()), expression;
            fState->Codec.FromTable(key.Expression, expression);
            TIndexDef def =
                DbfIndexDefFromExpression(name, expression, fields, key.Unique ? ixUnique : 0u);
            if (indexes.IndexOf(def.Name) < 0) indexes.Add(def.Name, def.Fields, def.Options);
        } catch (const EDatabaseError&) {
        }
    }
}

std::string TDbfDriver::ComputeReadOnlyReason() const {
    const TState& s = *fState;
    const TDbfHeader& h = s.Header;
    if (!h.WritableVariant())
        return "tables of this kind (version byte " + Hex(h.Version) + ") are read-only here";
    if (h.IncompleteTransaction) return "the table is marked as being in an unfinished transaction";
    if (h.StoredRecordLength != h.RecordLength)
        return "its header's record length disagrees with its records";
    if (!s.MemoProblem.empty()) return s.MemoProblem;
    if (s.Codec.HasUnknownTypes())
        return "the table has fields of a type this program does not know";
    if (s.UnknownLanguage)
        return "the table's language driver " + Hex(h.LanguageId) + " names an unknown code page";
    if (!fIndexFiles.empty()) {
        std::string names;
        for (const std::string& f : fIndexFiles)
            names += (names.empty() ? "" : ", ") + fs::path(f).filename().string();
        return "its index files (" + names + ") would not be kept up to date";
    }
    if (!Writable(fPath)) return "the file is read-only";
    if (s.Memo.IsOpen() && !Writable(s.Memo.Path())) return "the memo file is read-only";
    if (!Writable(FolderOf(fPath))) return "its folder is read-only";
    return std::string();
}

void TDbfDriver::Open(const std::string& path, TFieldDefs& fields, TIndexDefs& indexes) {
    Close();
    fPath = path;
    try {
        fLock.LockShared(fPath);
        RollBackUnfinished();
        fState = Load();
        for (const std::string& note : fState->Notes)
            Warn(note);
        for (const TDbfColumn& c : fState->Codec.Columns()) {
            TFieldDef& def = fields.Add(c.Name, c.DataType, c.Size);
            def.Precision = c.Precision;
            def.ReadOnly = c.ReadOnly;
        }
        FindIndexes(fields, indexes);
        fReadOnlyReason = ComputeReadOnlyReason();
    } catch (...) {
        Close();
        throw;
    }
}

void TDbfDriver::Close() {
    fState.reset();
    fWarnings.Clear();
    fLock.Unlock();
    fIndexFiles.clear();
    fReadOnlyReason.clear();
}

const TDbfHeader& TDbfDriver::Header() const {
    if (!fState) throw EDatabaseError("The table is not open");
    return fState->Header;
}

const std::vector<TDbfColumn>& TDbfDriver::Columns() const {
    if (!fState) throw EDatabaseError("The table is not open");
    return fState->Codec.Columns();
}

int TDbfDriver::CodePage() const {
    return fState ? fState->Codec.CodePage() : 0;
}

std::string TDbfDriver::MemoPath() const {
    return fState ? fState->Memo.Path() : std::string();
}

std::vector<std::string> TDbfDriver::Files() const {
    if (!fState) return {};
    std::vector<std::string> files{fPath};
    // A memo file that could not be read is the table's all the same.
    if (!fState->MemoFound.empty()) files.push_back(fState->MemoFound);
    if (!fState->CpgPath.empty()) files.push_back(fState->CpgPath);
    files.insert(files.end(), fIndexFiles.begin(), fIndexFiles.end());
    const std::string inf = FindSideFile(fPath, ".inf");
    if (!inf.empty()) files.push_back(inf);
    return files;
}

bool TDbfDriver::IsSideFileName(const std::string& name) const {
    if (!fState) return false;
    const fs::path p(name);
    if (!SameText(p.stem().string(), fs::path(fPath).stem().string())) return false;
    const std::string ext = LowerCase(p.extension().string());
    for (const char* side :
         {".dbt", ".fpt", ".mdx", ".cdx", ".ndx", ".cpg", ".inf", ".dbf-journal"})
        if (ext == side) return true;
    return false;
}

uint32_t TDbfDriver::DeletedCount() const {
    return fState ? fState->Deleted : 0;
}

uint32_t TDbfDriver::RecordCount() const {
    return fState ? fState->Header.RecordCount : 0;
}

bool TDbfDriver::RecordLive(uint32_t rec) const {
    if (!fState || rec >= fState->Header.RecordCount) return false;
    const std::vector<uint64_t>& bits = fState->DeletedBits;
    return bits.empty() || !((bits[rec / 64] >> (rec % 64)) & 1);
}

// Word by word through the deleted flags: opening a table with deleted
// records builds its order from them.
void TDbfDriver::AppendLive(std::vector<uint32_t>& order) const {
    if (!fState) return;
    const uint32_t count = fState->Header.RecordCount;
    const std::vector<uint64_t>& bits = fState->DeletedBits;
    if (bits.empty()) {
        for (uint32_t r = 0; r < count; ++r)
            order.push_back(r);
        return;
    }
    for (size_t w = 0; w < bits.size(); ++w) {
        const uint32_t first = static_cast<uint32_t>(w * 64);
        const uint32_t end = std::min<uint32_t>(count, first + 64);
        const uint64_t live = ~bits[w];
        if (live == ~0ull) {
            for (uint32_t r = first; r < end; ++r)
                order.push_back(r);
        } else {
            for (uint32_t r = first; r < end; ++r)
                if (live >> (r - first) & 1) order.push_back(r);
        }
    }
}

bool TDbfDriver::AllLive() const {
    return !fState || fState->Deleted == 0;
}

void TDbfDriver::GetValue(uint32_t rec, int fieldNo, TValue& out) {
    if (!fState) throw EDatabaseError("The table is not open");
    if (rec >= fState->Header.RecordCount || fieldNo < 0 ||
        static_cast<size_t>(fieldNo) >= fState->Codec.ColumnCount())
        NoSuchValue(rec + 1, fieldNo + 1);
    const size_t column = static_cast<size_t>(fieldNo);
    bool decoded = false;
    try {
        fState->Codec.Decode(fState->Record(rec), column, out);
        decoded = true;
    } catch (const EDatabaseError& e) {
        fProblem = e.what();
    }
    // A value read from pages another program cut away is zeros, not data.
    fState->CheckIntact();
    if (decoded) return;
    Unavailable(column, out);
    if (fState->MemoProblem.empty()) // a missing memo file was told of once
        Warn("the memo of field '" + fState->Codec.Columns()[column].Name + "' in record " +
             std::to_string(rec + 1) + " cannot be read (" + fProblem + "); it reads as " +
             std::string(UnavailableText));
}

// Only memos raise when decoded: a damaged one gives the placeholder, so
// that one bad block does not stop the reading of the rest.
void TDbfDriver::Unavailable(size_t column, TValue& out) const {
    if (fState->Codec.Columns()[column].Kind == dkMemoText)
        out.SetText(UnavailableText);
    else
        out.SetBytes(UnavailableText);
}

bool TDbfDriver::DecodeOrPlaceholder(const uint8_t* record, size_t column, TValue& out) {
    try {
        fState->Codec.Decode(record, column, out);
        return true;
    } catch (const EDatabaseError& e) {
        fProblem = e.what();
    }
    Unavailable(column, out);
    return false;
}

bool TDbfDriver::IsNull(uint32_t rec, int fieldNo, TValue& scratch) {
    if (fState && rec < fState->Header.RecordCount && fieldNo >= 0 &&
        static_cast<size_t>(fieldNo) < fState->Codec.ColumnCount() &&
        fState->Codec.IsMemo(static_cast<size_t>(fieldNo)))
        return fState->Codec.MemoIsNull(fState->Record(rec), static_cast<size_t>(fieldNo));
    GetValue(rec, fieldNo, scratch);
    return scratch.IsNull();
}

bool TDbfDriver::ReadsConcurrently(int fieldNo) const {
    return fState && fieldNo >= 0 && static_cast<size_t>(fieldNo) < fState->Codec.ColumnCount() &&
           fState->Codec.DecodesConcurrently(static_cast<size_t>(fieldNo));
}

// Beside GetValue on another thread: the same decoding.
bool TDbfDriver::GetDigitsConcurrently(uint32_t rec, int fieldNo, std::string_view& digits) const {
    if (!fState || rec >= fState->Header.RecordCount || fieldNo < 0 ||
        static_cast<size_t>(fieldNo) >= fState->Codec.ColumnCount())
        return false;
    return fState->Codec.Digits(fState->Record(rec), static_cast<size_t>(fieldNo), digits) &&
           fState->Map.Intact();
}

void TDbfDriver::GetValueConcurrently(uint32_t rec, int fieldNo, TValue& out) const {
    if (!fState) throw EDatabaseError("The table is not open");
    // Which fields may come here the caller asked ReadsConcurrently once.
    if (rec >= fState->Header.RecordCount || fieldNo < 0 ||
        static_cast<size_t>(fieldNo) >= fState->Codec.ColumnCount())
        NoSuchValue(rec + 1, fieldNo + 1);
    fState->Codec.Decode(fState->Record(rec), static_cast<size_t>(fieldNo), out);
    fState->CheckIntact();
}

// One call a record for a reader ahead: the record is found once, and the
// codec shows every cell of it.
bool TDbfDriver::ReadCellsConcurrently(uint32_t rec, TAheadCell* cells, size_t count,
                                       std::string_view joiner, std::string& texts) const {
    if (!fState) throw EDatabaseError("The table is not open");
    if (rec >= fState->Header.RecordCount) NoSuchValue(rec + 1, 0);
    const bool shown = fState->Codec.ShowCells(fState->Record(rec), cells, count, joiner, texts);
    fState->CheckIntact();
    return shown;
}

void TDbfDriver::CheckUnchanged() const {
    if (!fState) return;
    fState->Map.CheckUnchanged("table");
    if (fState->Memo.IsOpen()) fState->Memo.CheckIntact();
}

void TDbfDriver::Refresh() {
    if (!fState) return;
    // A writer that died left its journal: what it wrote is put back first.
    RollBackUnfinished();
    std::unique_ptr<TState> fresh = Load();
    if (!SameStructure(fresh->Codec.Columns(), fState->Codec.Columns()))
        throw EDatabaseError("The structure of table \"" + fPath +
                             "\" was changed by another program; open it again");
    fState = std::move(fresh);
    fLock.LockShared(fPath);
    for (const std::string& note : fState->Notes)
        Warn(note);
    fReadOnlyReason = ComputeReadOnlyReason();
}

// ---- Writing ---------------------------------------------------------------------

std::string TDbfDriver::NewHeader(const TState& s, uint32_t count) const {
    std::string header(reinterpret_cast<const char*>(s.Map.Data()), s.Header.HeaderLength);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    header[1] = static_cast<char>(std::clamp(local.tm_year, 0, 255));
    header[2] = static_cast<char>(local.tm_mon + 1);
    header[3] = static_cast<char>(local.tm_mday);
    for (int i = 0; i < 4; ++i)
        header[4 + static_cast<size_t>(i)] = static_cast<char>((count >> (8 * i)) & 0xFF);
    return header;
}

void TDbfDriver::WriteInPlace(const std::string& header, uint32_t rec, const uint8_t* record,
                              bool inserting, TDbfMemoAppender* memo) {
    TState& s = *fState;
    const TDbfHeader& h = s.Header;
    {
        TRollbackJournal journal(fPath);
        const size_t table = journal.AddFile(fPath, WriteDescriptor());
        // Memo blocks go behind the memo file's end, where the table as it
        // stands refers to nothing; the old blocks of a changed value stay.
        if (memo) {
            const size_t m = journal.AddFile(memo->Path(), memo->Descriptor());
            journal.Write(m, memo->PendingOffset(), memo->Pending());
            journal.Write(m, 0, memo->NextFreeBytes());
        }
        journal.Write(table, 0, header);
        std::string bytes(reinterpret_cast<const char*>(record), h.RecordLength);
        if (inserting) bytes += '\x1A';
        journal.Write(table, h.RecordOffset(rec), bytes);
        CommitInPlace(journal, s.Stat);
    }

    // The state follows the file without reading it again: the header (its
    // count, the next auto-increment numbers), the deleted flags, and a new
    // mapping where the file grew.
    if (inserting || memo) {
        TMappedFile map(fPath, true);
        TDbfHeader parsed = TDbfHeader::Parse(map.Data(), map.Size(), fPath);
        if (memo) {
            const std::string memoPath = s.Memo.Path(); // Open starts by forgetting it
            s.Memo.Open(memoPath, s.Memo.Kind());
        }
        s.Map = std::move(map);
        s.Header = std::move(parsed);
    } else {
        s.Map.Written();
        s.Header = TDbfHeader::Parse(s.Map.Data(), s.Map.Size(), fPath);
    }
    if (fstat(WriteDescriptor(), &s.Stat) != 0) s.Stat = {};
    const bool deleted = record[0] == '*';
    if (deleted && s.DeletedBits.empty()) s.DeletedBits.assign((h.RecordCount + 63) / 64, 0);
    if (!s.DeletedBits.empty()) {
        s.DeletedBits.resize((static_cast<size_t>(s.Header.RecordCount) + 63) / 64);
        uint64_t& word = s.DeletedBits[rec / 64];
        const uint64_t bit = 1ull << (rec % 64);
        if (deleted && !(word & bit)) ++s.Deleted;
        if (!deleted && (word & bit)) --s.Deleted;
        word = deleted ? word | bit : word & ~bit;
    }
}

uint32_t TDbfDriver::Post(int64_t rec, const std::vector<TValue>& values) {
    CheckWritable();
    TState& s = *fState;
    const TDbfHeader& h = s.Header;
    TDbfRecordCodec& codec = s.Codec;
    CheckValueCount(codec.ColumnCount(), values.size());
    const bool inserting = rec < 0;
    if (!inserting && (rec >= h.RecordCount || *s.Record(static_cast<uint32_t>(rec)) == '*'))
        NoSuchRecord(rec + 1);
    if (inserting && h.RecordCount == UINT32_MAX) TableFull();
    const uint32_t number = inserting ? h.RecordCount : static_cast<uint32_t>(rec);
    // Held until the write is done; the record is read again under it.
    std::unique_ptr<TRangeLock> lock = LockRegions(s.Stat, h.HeaderLength, h.RecordOffset(number),
                                                   h.RecordLength + (inserting ? 1u : 0u));

    std::unique_ptr<TDbfMemoAppender> memo;
    std::string header;
    {
        if (s.Memo.IsOpen()) memo = std::make_unique<TDbfMemoAppender>(s.Memo);
        fRecord.assign(h.RecordLength, 0);
        header = NewHeader(s, inserting ? h.RecordCount + 1 : h.RecordCount);
        if (inserting)
            codec.Blank(fRecord.data());
        else
            std::copy_n(s.Record(static_cast<uint32_t>(rec)), h.RecordLength, fRecord.begin());
        for (size_t i = 0; i < codec.ColumnCount(); ++i) {
            const TDbfColumn& c = codec.Columns()[i];
            if (c.DataType == ftAutoInc) {
                if (!inserting) continue;
                const TDbfFieldDesc& d = h.Fields[c.Desc];
                int64_t next = d.AutoIncNext == 0 && c.Kind == dkLong7 ? 1 : d.AutoIncNext;
                int64_t step = d.AutoIncStep ? d.AutoIncStep : 1;
                codec.Encode(fRecord.data(), i, TValue::OfInt(static_cast<int32_t>(next)), nullptr);
                uint32_t after = static_cast<uint32_t>(next + step);
                size_t at = d.DescriptorPos + (h.Level7 ? 40 : 19);
                for (int b = 0; b < 4; ++b)
                    header[at + static_cast<size_t>(b)] =
                        static_cast<char>((after >> (8 * b)) & 0xFF);
                continue;
            }
            if (!inserting) {
                // Unchanged values keep their bytes as another program wrote
                // them; so does a damaged memo that was left as it read.
                DecodeOrPlaceholder(fRecord.data(), i, fOld);
                if (fOld == values[i]) continue;
            } else if (values[i].IsNull()) {
                continue;
            }
            if (c.ReadOnly) throw EDatabaseError("Field '" + c.Name + "' cannot be modified");
            codec.Encode(fRecord.data(), i, values[i], memo.get());
        }
    }
    WriteInPlace(header, number, fRecord.data(), inserting,
                 memo && !memo->Empty() ? memo.get() : nullptr);
    return number;
}

void TDbfDriver::Delete(uint32_t rec) {
    CheckWritable();
    TState& s = *fState;
    if (rec >= s.Header.RecordCount)
        throw EDatabaseError("Record " + std::to_string(rec + 1) + " of table \"" + fPath +
                             "\" does not exist");
    if (*s.Record(rec) == '*') return;
    std::unique_ptr<TRangeLock> lock = LockRegions(
        s.Stat, s.Header.HeaderLength, s.Header.RecordOffset(rec), s.Header.RecordLength);
    fRecord.assign(s.Record(rec), s.Record(rec) + s.Header.RecordLength);
    fRecord[0] = '*';
    WriteInPlace(NewHeader(s, s.Header.RecordCount), rec, fRecord.data(), false, nullptr);
}

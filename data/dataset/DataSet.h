#pragma once

#include "data/base/FieldDefs.h"
#include "data/base/Progress.h"
#include "data/base/TableWarnings.h"
#include "data/base/Value.h"
#include "data/dataset/Field.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TDataSource;
class TReadAhead;
struct TAheadCell;

enum TDataSetState : int { dsInactive = 0, dsBrowse = 1, dsEdit = 2, dsInsert = 3 };

// What happened to a dataset, as its data sources and links hear it.
enum TDataEvent : int {
    deFieldChange,   // a field of the record being edited got a new value
    deRecordChange,  // the current record's values changed (post, cancel)
    deDataSetChange, // records came or went, order or filter changed
    deDataSetScroll, // the cursor moved; info is the distance
    deLayoutChange,  // fields changed
    deUpdateState,   // the state changed (browse, edit, insert, inactive)
    deUpdateRecord,  // before a post: views write what they hold unwritten
};

enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };

using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;

// One sort key: a field and its direction.
struct TSortKey {
    int FieldNo = 0;
    bool Descending = false;
    bool CaseInsensitive = false;
};

// A compiled filter: tells whether the record in the evaluation context
// (the fields read the record under test) is accepted.
class TRecordFilter {
public:
    virtual ~TRecordFilter() = default;
    virtual bool Accept(TDataSet& dataSet) = 0;
};

// A table of records behind a cursor. The base owns everything that is not
// the storage: state, cursor, record order (sorting and filtering keep a
// vector of 32-bit record numbers, never copies of records), bookmarks, the
// edit buffer, and the notifications to data sources. Storage is given by
// the Internal... operations that each kind of table overrides; records are
// numbered 0..InternalRecordCount()-1 there ("physical" numbers), and a
// physical number never changes while the table is open, so bookmarks stay
// valid across inserts and deletes of other records.
class TDataSet {
public:
    TDataSet();
    virtual ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    // The kind of dataset, by which callers tell engines apart.
    virtual std::string ClassName() const = 0;

    // Lifecycle
    void Open();
    void Close();
    bool Active() const { return fState != dsInactive; }
    void SetActive(bool v) { v ? Open() : Close(); }
    TDataSetState State() const { return fState; }

    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeDelete, AfterDelete, AfterScroll;

    // Structure
    TFieldDefs& FieldDefs() { return fFieldDefs; }
    const TFieldDefs& FieldDefs() const { return fFieldDefs; }
    TIndexDefs& IndexDefs() { return fIndexDefs; }
    const TIndexDefs& IndexDefs() const { return fIndexDefs; }
    // Reads the field and index definitions again from the table.
    virtual void UpdateFieldDefs();
    virtual void UpdateIndexDefs();
    // What the storage noticed about the open table that did not keep it
    // from being read (a header that lies, a missing or damaged memo file);
    // null where the storage has nothing to say.
    virtual const TTableWarnings* Warnings() const { return nullptr; }
    int FieldCount() const { return static_cast<int>(fFields.size()); }
    TField& Fields(int i) const { return *fFields.at(static_cast<size_t>(i)); }
    TField* FindField(const std::string& name) const;   // case-insensitive
    TField& FieldByName(const std::string& name) const; // raises when missing

    // Cursor
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance); // returns the distance moved
    bool Bof() const { return fBof; }
    bool Eof() const { return fEof; }
    bool IsEmpty() const { return OrderCount() == 0 && fState != dsInsert; }
    int RecordCount() const;
    int RecNo() const; // 1-based; 0 when empty, -1 while inserting
    void SetRecNo(int recNo);
    // While inserting, the 1-based place the new record takes in the order
    // (RecordCount() + 1 after Append); 0 otherwise.
    int InsertRecNo() const;

    // A view that shows several records reads the others through their
    // place, without moving the cursor or telling anyone: fields read the
    // record at `recNo` (1..RecordCount()) until it is set back to 0, the
    // current record (the edit buffer while editing).
    void SetDisplayRecNo(int recNo);
    int DisplayRecNo() const { return fDisplayRecNo; }

    // Bookmarks are opaque texts that name one record.
    std::string Bookmark() const;
    void SetBookmark(const std::string& bookmark); // raises when not valid
    bool BookmarkValid(const std::string& bookmark) const;
    // The bookmark of the record at `recNo` (1..RecordCount()); empty outside.
    std::string BookmarkAt(int recNo) const;
    // Order of two valid bookmarks in the current record order (-1, 0, 1).
    int CompareBookmarks(const std::string& a, const std::string& b) const;

    // While controls are disabled nothing is told to data sources; the calls
    // nest, and the last EnableControls tells what was missed at once.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return fDisableCount > 0; }

    // Editing
    bool CanModify() const;
    void Edit();
    void Insert();
    void Append();
    void Delete();
    void Post();
    void Cancel();
    void Refresh();
    void CheckBrowseMode(); // posts a pending edit
    // Asks the views to write into the fields what they hold unwritten (the
    // text typed into a grid's editor); Post does it first. A view's
    // failure propagates and the post does not happen.
    void UpdateRecord();
    bool Modified() const { return fModified; }

    // Filtering: the text is in the engine's own syntax.
    const std::string& Filter() const { return fFilterText; }
    void SetFilter(const std::string& text);
    bool Filtered() const { return fFiltered; }
    void SetFiltered(bool v);
    TFilterRecordEvent OnFilterRecord;
    void SetOnFilterRecord(TFilterRecordEvent handler);

    // Moves to the first record whose fields (names separated by ';') match
    // the texts; leaves the cursor and returns false when none does.
    bool Locate(const std::string& keyFields, const std::vector<std::string>& keyValues,
                unsigned options);

    // Where a long sort or filter (from 65,536 records) tells how far it
    // is and lets the window's messages run; not owned, may be null. While
    // it runs, the records still read in the order of before.
    void SetProgress(TProgress* progress) { fProgress = progress; }
    TProgress* Progress() const { return fProgress; }

    // Data sources register themselves.
    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);

    // --- For fields and drivers ---------------------------------------------
    // The value of a field in the record that fields read now: the edit
    // buffer while editing, the record under test while filtering, else the
    // current record.
    void GetFieldValue(int fieldNo, TValue& out);
    void SetFieldValue(TField& field, const TValue& v);
    bool FieldIsNull(int fieldNo);

    // Whether a field's values can be read on another thread while this
    // one reads too (TReadAhead); false for most storage.
    bool ReadsConcurrently(int fieldNo) const;
    // Stops the reader ahead, if any, before something changes what it reads.
    void HaltReadAhead();
    // Raises when the storage found its file cut short or rewritten by
    // another program since it was read: a walk that must not hand on
    // wrong values (an export) asks when it is done.
    void CheckUnchanged() const {
        if (Active()) InternalCheckUnchanged();
    }

    // The file of the open table that writing `path` would change (the
    // table file or one of its side files, under any name), or "" when
    // none; a dataset without files has none.
    virtual std::string TableFileNamedBy(const std::string& path) const {
        (void)path;
        return std::string();
    }

protected:
    // Storage, given by each kind of table.
    virtual void InternalOpen() = 0; // fills FieldDefs (and IndexDefs); raises on failure
    virtual void InternalClose() = 0;
    virtual uint32_t InternalRecordCount() const = 0; // physical records, deleted ones included
    // False for records that are deleted and so never shown.
    virtual bool InternalRecordLive(uint32_t rec) const {
        (void)rec;
        return true;
    }
    // True when every physical record is live, so the order needs no vector.
    virtual bool InternalAllLive() const { return true; }
    // Appends the live records' numbers in order; a storage that keeps its
    // flags compactly does it faster than a call per record.
    virtual void InternalAppendLive(std::vector<uint32_t>& order) const;
    virtual void InternalGetValue(uint32_t rec, int fieldNo, TValue& out) = 0;
    // Whether a value is null; a storage that can tell without reading the
    // whole value (a memo) overrides it. `scratch` is for reading it.
    virtual bool InternalValueIsNull(uint32_t rec, int fieldNo, TValue& scratch) {
        InternalGetValue(rec, fieldNo, scratch);
        return scratch.IsNull();
    }
    // For fields where InternalReadsConcurrently says so: InternalGetValue
    // callable from another thread beside this one's reads, while the
    // content does not change.
    virtual bool InternalReadsConcurrently(int fieldNo) const {
        (void)fieldNo;
        return false;
    }
    virtual void InternalGetValueConcurrently(uint32_t rec, int fieldNo, TValue& out) const;
    // Likewise: a number's plain digits as the file holds them, where it
    // holds them so; false otherwise (read the value).
    virtual bool InternalGetDigitsConcurrently(uint32_t rec, int fieldNo,
                                               std::string_view& digits) const {
        (void)rec;
        (void)fieldNo;
        (void)digits;
        return false;
    }
    // Likewise, the cells of one record at once (TTableDriver::ReadCellsConcurrently);
    // false when the storage reads cell by cell.
    virtual bool InternalReadCellsConcurrently(uint32_t rec, TAheadCell* cells, size_t count,
                                               std::string_view joiner, std::string& texts) const {
        (void)rec;
        (void)cells;
        (void)count;
        (void)joiner;
        (void)texts;
        return false;
    }
    // Writes a changed or new record and returns its physical number. `rec`
    // is the record being changed, or -1 for a new one. The write is whole
    // or not at all: on failure the table keeps its previous content.
    virtual uint32_t InternalPost(int64_t rec, const std::vector<TValue>& values);
    virtual void InternalDelete(uint32_t rec);
    // Re-reads the table's content from its file.
    virtual void InternalRefresh() {}
    virtual void InternalCheckUnchanged() const {}
    virtual bool InternalCanModify() const { return false; }
    // Compiles a filter text; the base accepts no filter texts.
    virtual std::unique_ptr<TRecordFilter> CompileFilter(const std::string& text);
    // Creates the field objects from FieldDefs.
    virtual void CreateFields();

    // Orders the live records by the keys (an empty list gives physical order).
    void SetSortKeys(std::vector<TSortKey> keys);
    const std::vector<TSortKey>& SortKeys() const { return fSortKeys; }
    // Rebuilds the record order (after the content, sort or filter changed),
    // keeping the current record where it is still shown.
    void RebuildOrder();
    void DataEvent(TDataEvent event, intptr_t info = 0);
    void CheckActive() const;
    int64_t CurrentPhysical() const; // -1 when there is no current record
    // A record was added to the storage outside the edit state (bulk loading).
    void NotifyAppended(uint32_t physical);

private:
    friend class TReadAhead;
    uint32_t OrderCount() const;
    uint32_t OrderAt(uint32_t pos) const;
    int64_t PositionOf(uint32_t physical) const; // -1 when not in the order
    bool Accepts(uint32_t physical);
    void MoveTo(uint32_t pos, bool fireScroll);
    void SetState(TDataSetState s);
    void BeginEditBuffer(int64_t physical);
    static std::string EncodeBookmark(uint32_t physical);
    static bool DecodeBookmark(const std::string& bm, uint32_t& physical);

    TDataSetState fState = dsInactive;
    TFieldDefs fFieldDefs;
    TIndexDefs fIndexDefs;
    std::vector<std::unique_ptr<TField>> fFields;

    // Record order: when fIdentity, position i is physical record i.
    bool fIdentity = true;
    uint32_t fIdentityCount = 0;
    std::vector<uint32_t> fOrder;
    mutable std::vector<int32_t> fPositionOf; // physical -> position, built on demand
    mutable bool fPositionOfValid = false;

    uint32_t fPos = 0; // current position in the order
    bool fBof = true;
    bool fEof = true;

    // Edit buffer
    std::vector<TValue> fEditValues;
    int64_t fEditPhysical = -1; // record being edited; -1 while inserting
    uint32_t fInsertPos = 0;    // where a new record will stand in the order
    bool fModified = false;

    // Filter evaluation context
    int64_t fEvalPhysical = -1;
    // The record a view reads instead of the current one.
    int64_t fDisplayPhysical = -1;
    int fDisplayRecNo = 0;

    std::string fFilterText;
    bool fFiltered = false;
    std::unique_ptr<TRecordFilter> fFilter;
    std::vector<TSortKey> fSortKeys;

    int fDisableCount = 0;
    bool fMissedEvent = false;
    TDataSetState fDisabledState = dsInactive;
    TValue fNullProbe;
    std::vector<TDataSource*> fDataSources;
    TReadAhead* fReadAhead = nullptr;
    TProgress* fProgress = nullptr;
};

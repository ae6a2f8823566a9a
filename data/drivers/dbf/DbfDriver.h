#pragma once

#include "data/drivers/FileTableDriver.h"
#include "data/drivers/dbf/DbfHeader.h"
#include "data/drivers/dbf/DbfMemo.h"
#include "data/drivers/dbf/DbfRecordCodec.h"
#include "data/platform/MappedFile.h"

#include <memory>
#include <string>
#include <vector>

// dBase tables (.dbf) of dBase III to 7, FoxPro and Visual FoxPro, with
// their memo files (.dbt, .fpt), code pages (language-driver byte, .cpg)
// and index definitions (.mdx tags, .ndx files).
//
// Reading maps the file and decodes a value only when it is asked for;
// opening costs one pass over the deleted flags. Records marked deleted
// keep their numbers and are hidden. Trailing blanks of character fields
// are not part of the value, as in the classic engines.
//
// A header that claims more records than the file holds is an error (the
// file is truncated or the header lies); bytes after the last record are
// ignored. A header whose record length the file disproves is read by the
// length the file proves (see TDbfHeader), with a warning. A damaged .mdx
// or .ndx leaves the table open without that file's index definitions. A
// missing or unreadable memo file leaves it open too, with a warning, and
// its memos read as UnavailableText; so does a damaged memo value, with a
// warning that names its record. Whether a memo is null is told without
// reading it. Field kinds: see MakeDbfColumn. dBase II tables are read.
//
// Writing is in place: the record's bytes (and the end mark behind a new
// one), the header's date, count and auto-increment numbers, and new memo
// values behind the memo file's end (the old table refers to nothing
// there; the blocks of a replaced value are left unused, as dBase leaves
// them). A rollback journal beside the table makes each write whole or
// nothing, whenever the program stops. Each write locks the header and
// the record (byte-range locks) and refuses when another program locks
// the whole file or changed the file since this one read it. Values unchanged by an edit keep
// their bytes; numbers are rounded to the field's decimals; text that the
// code page cannot hold, or that is longer than the field, is refused.
// Tables are read-only when they have index files (which this program
// would not keep up to date), fields of unknown types, an unknown
// language driver, a kind this program does not write, a record length
// that had to be mended, no memo file to read, or files that cannot be
// written.
class TDbfDriver : public TFileTableDriver {
public:
    TDbfDriver();
    ~TDbfDriver() override;

    std::string FormatName() const override { return "dBase"; }
    void Open(const std::string& path, TFieldDefs& fields, TIndexDefs& indexes) override;
    void Close() override;
    uint32_t RecordCount() const override;
    bool RecordLive(uint32_t rec) const override;
    bool AllLive() const override;
    void AppendLive(std::vector<uint32_t>& order) const override;
    void GetValue(uint32_t rec, int fieldNo, TValue& out) override;
    bool IsNull(uint32_t rec, int fieldNo, TValue& scratch) override;
    bool ReadsConcurrently(int fieldNo) const override;
    void GetValueConcurrently(uint32_t rec, int fieldNo, TValue& out) const override;
    bool GetDigitsConcurrently(uint32_t rec, int fieldNo, std::string_view& digits) const override;
    bool ReadCellsConcurrently(uint32_t rec, TAheadCell* cells, size_t count,
                               std::string_view joiner, std::string& texts) const override;
    uint32_t Post(int64_t rec, const std::vector<TValue>& values) override;
    void Delete(uint32_t rec) override;
    void Refresh() override;
    std::vector<std::string> Files() const override;
    bool IsSideFileName(const std::string& name) const override;
    void CheckUnchanged() const override;

    // What the open table is made of.
    const TDbfHeader& Header() const;
    const std::vector<TDbfColumn>& Columns() const;
    int CodePage() const;
    std::string MemoPath() const;
    uint32_t DeletedCount() const;
    const std::vector<std::string>& IndexFiles() const { return fIndexFiles; }

private:
    struct TState;
    std::unique_ptr<TState> Load() const;
    // Decodes a value; a memo that cannot be read gives UnavailableText
    // and false, with the reason in fProblem.
    bool DecodeOrPlaceholder(const uint8_t* record, size_t column, TValue& out);
    void Unavailable(size_t column, TValue& out) const;
    void FindIndexes(const TFieldDefs& fields, TIndexDefs& indexes);
    std::string NewHeader(const TState& s, uint32_t count) const;
    void WriteInPlace(const std::string& header, uint32_t rec, const uint8_t* record,
                      bool inserting, TDbfMemoAppender* memo);
    std::string ComputeReadOnlyReason() const;
    bool IsOpen() const override { return fState != nullptr; }

    std::unique_ptr<TState> fState;
    std::vector<std::string> fIndexFiles;
    std::vector<uint8_t> fRecord;
    TValue fOld;
    std::string fProblem;
};

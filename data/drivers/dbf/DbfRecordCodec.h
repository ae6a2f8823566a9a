#pragma once

#include "data/base/FieldType.h"
#include "data/base/Value.h"
#include "data/drivers/dbf/DbfColumn.h"
#include "data/drivers/dbf/DbfHeader.h"
#include "data/platform/CodePage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TDbfMemoFile;
class TDbfMemoSink;
struct TAheadCell;

// Turns field bytes into values and values into field bytes, for the
// reader and the writers alike. Text goes through the table's code page;
// a text that the code page cannot hold is refused, never mangled.
class TDbfRecordCodec {
public:
    // Raises EDatabaseError when the code page is not supported here.
    void Init(const TDbfHeader& header, int codePage);
    const std::vector<TDbfColumn>& Columns() const { return fColumns; }
    size_t ColumnCount() const { return fColumns.size(); }
    bool HasUnknownTypes() const { return fUnknownTypes; }
    int CodePage() const { return fCodePage ? fCodePage->Number() : 0; }
    // Text of the table's other files (index tags and keys) in UTF-8.
    void FromTable(std::string_view raw, std::string& out) { fCodePage->ToUtf8(raw, out); }
    void SetMemo(const TDbfMemoFile* memo) { fMemo = memo; }

    // Reads one value of a record (RecordLength bytes at `record`). Raises
    // EDatabaseError for a memo that cannot be read: its block is damaged,
    // or the table has no memo file (SetMemo(nullptr)).
    void Decode(const uint8_t* record, size_t column, TValue& out) const;
    // Whether a memo is null, from its block number and the block's header
    // alone: the value is not read, and nothing raises. A memo whose block
    // cannot be read is not null (Decode says why).
    bool MemoIsNull(const uint8_t* record, size_t column) const;
    bool IsMemo(size_t column) const {
        return fColumns[column].Kind == dkMemoText || fColumns[column].Kind == dkMemoBinary;
    }
    // Whether Decode of the column may run on two threads at once: not for
    // memos (their file keeps a read position) nor for text in a code page
    // that needs a converter (which keeps state).
    bool DecodesConcurrently(size_t column) const;
    // A number field's digits without its padding, or a date's YYYYMMDD;
    // false for other fields, nulls and blanks.
    bool Digits(const uint8_t* record, size_t column, std::string_view& out) const;
    // For a reader ahead, every cell of a record at once, shown as its plan
    // says (TAheadCell) onto the end of `texts`, `joiner` between them; the
    // texts are those the cells' fields would give. False where a cell
    // takes its field to show it: a kind of column or plan this does not
    // show, or digits only the value can show (00012, +5).
    bool ShowCells(const uint8_t* record, TAheadCell* cells, size_t count, std::string_view joiner,
                   std::string& texts) const;
    // Writes one value into a record; memo values go to `memo`. Raises
    // EDatabaseError naming the field when the value does not fit.
    void Encode(uint8_t* record, size_t column, const TValue& v, TDbfMemoSink* memo);
    // A new record: live, every field empty (null where the table can say so).
    void Blank(uint8_t* record) const;

    // Day numbers (days since 1899-12-30, time as the fraction) to whole
    // days and milliseconds and back, with the sign rule of negative dates.
    static double CombineDateTime(int64_t day, int64_t ms);
    static void SplitDateTime(double dt, int64_t& day, int64_t& ms);

private:
    bool NullBitSet(const uint8_t* record, int bit) const;
    void SetNullBit(uint8_t* record, int bit, bool on) const;
    void BlankField(uint8_t* record, const TDbfColumn& c) const;
    [[noreturn]] void Refuse(const TDbfColumn& c, const std::string& what) const;
    void ToTable(const TDbfColumn& c, const TValue& v, std::string& out);
    void StoreMemo(uint8_t* record, const TDbfColumn& c, std::string_view bytes,
                   TDbfMemoSink* memo);
    void ReadText(std::string_view bytes, TValue& out) const;
    // The memo block number a field holds; false when it is out of range.
    static bool MemoBlock(const TDbfColumn& c, const uint8_t* field, uint32_t& block);

    // Appends the text of a single-byte code page as UTF-8.
    void AppendSingleByteText(std::string_view bytes, std::string& out) const;

    struct THighByte {
        char Bytes[4];
        uint8_t Length;
    };

    std::vector<TDbfColumn> fColumns;
    std::unique_ptr<TCodePage> fCodePage;
    const TDbfMemoFile* fMemo = nullptr;
    TDbfVariant fVariant = dvDBase3;
    uint32_t fNullOffset = 0;
    uint32_t fNullLength = 0;
    bool fUnknownTypes = false;
    bool fSingleByte = false;
    THighByte fHigh[128] = {};
    std::string fScratch;
};

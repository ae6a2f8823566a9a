#pragma once

#include "data/CodePage.h"
#include "data/DbfHeader.h"
#include "data/FieldType.h"
#include "data/Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TDbfMemoFile;
class TDbfMemoSink;

// How the bytes of a field hold its value.
enum TDbfValueKind : uint8_t {
    dkChar,        // C: text padded with blanks
    dkBinaryChar,  // C with the binary flag: bytes as they are
    dkVarChar,     // V: text, its length in the last byte when shorter
    dkVarBinary,   // Q: bytes, likewise
    dkInteger,     // N/F without decimals: digits
    dkNumber,      // N/F with decimals, or too wide for 64 bits: digits
    dkDate,        // D: YYYYMMDD
    dkLogical,     // L: T/F/Y/N, '?' or blank when unknown
    dkMemoText,    // M: text in the memo file
    dkMemoBinary,  // binary M, B (dBase), G, P, W: bytes in the memo file
    dkLongLE,      // I (FoxPro): 32 bits, least significant byte first
    dkLong7,       // I, + (dBase 7): 32 bits, big-endian, sign bit inverted
    dkCurrency,    // Y: 64 bits, ten-thousandths
    dkDateTimeFox, // T: Julian day and milliseconds, 32 bits each
    dkTimestamp7,  // @: big-endian double, milliseconds since 0001-01-01 less one day
    dkDoubleLE,    // B (Visual FoxPro): double, least significant byte first
    dkDouble7,     // O: big-endian double with the order-preserving sign trick
    dkUnknown,     // a type this program does not know: bytes, read-only
};

// One field of the record as the driver shows it.
struct TDbfColumn {
    std::string Name; // UTF-8
    TFieldType DataType = ftUnknown;
    int Size = 0;
    int Precision = 0;
    bool ReadOnly = false;
    TDbfValueKind Kind = dkChar;
    char Type = 'C';
    uint32_t Offset = 0;
    uint32_t Length = 0;
    uint8_t Decimals = 0;
    int NullBit = -1;
    int VarLengthBit = -1;
    bool BinaryPointer = false; // memo block number as 4 binary bytes, not 10 digits
    uint32_t FptType = 1;
    size_t Desc = 0; // index in the header's descriptors
};

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
    void SetMemo(const TDbfMemoFile* memo) { fMemo = memo; }

    // Reads one value of a record (RecordLength bytes at `record`).
    void Decode(const uint8_t* record, size_t column, TValue& out);
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

    std::vector<TDbfColumn> fColumns;
    std::unique_ptr<TCodePage> fCodePage;
    const TDbfMemoFile* fMemo = nullptr;
    TDbfVariant fVariant = dvDBase3;
    uint32_t fNullOffset = 0;
    uint32_t fNullLength = 0;
    bool fUnknownTypes = false;
    std::string fScratch;
};

#pragma once

#include "data/base/FieldType.h"
#include "data/drivers/dbf/DbfHeader.h"

#include <cstddef>
#include <cstdint>
#include <string>

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

// The column of a field descriptor: how its bytes are read and which field
// kind a user sees. N and F without decimals are whole numbers: SmallInt
// up to 4 characters, Integer up to 9, LargeInt up to 18, Float beyond;
// with decimals Float. B is a binary memo in dBase and a double in Visual
// FoxPro. G is an OLE object, P a picture. The name is left to the caller,
// who knows the code page.
TDbfColumn MakeDbfColumn(const TDbfFieldDesc& field, const TDbfHeader& header);

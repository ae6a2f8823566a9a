#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The dBase family, as far as reading and writing differ between members.
enum TDbfVariant : int {
    dvDBase2,       // dBase II (0x02): 8-byte table header, 16-byte descriptors; read only
    dvDBase3,       // dBase III / III+ (0x03, 0x83 with .dbt)
    dvDBase4,       // dBase IV (0x8B with .dbt; the SQL kinds 0x43, 0x63, 0xCB)
    dvDBase5,       // dBase 5 (0x05; written as dBase IV, which level 5 files are)
    dvDBase7,       // dBase level 7 (0x04, 0x8C): 48-byte field descriptors
    dvFoxPro,       // FoxPro 2 (0xF5 with .fpt), FoxBASE (0xFB)
    dvVisualFoxPro, // Visual FoxPro (0x30, 0x31, 0x32 with .fpt)
};

// Field flags of Visual FoxPro descriptors (byte 18).
enum TDbfFieldFlag : uint8_t {
    dffSystem = 0x01,
    dffNullable = 0x02,
    dffBinary = 0x04,
    dffAutoInc = 0x08,
};

// One field descriptor as the header stores it.
struct TDbfFieldDesc {
    std::string Name; // the stored bytes up to the first NUL
    char Type = 'C';
    uint32_t Offset = 0; // from the start of the record (the deleted flag is byte 0)
    uint32_t Length = 0;
    uint8_t Decimals = 0;
    uint8_t Flags = 0;
    uint32_t DescriptorPos = 0; // where the descriptor starts in the header
    int NullBit = -1;           // bit of _NullFlags that says the value is null
    int VarLengthBit = -1;      // bit that says a V/Q value is shorter than the field
    uint32_t AutoIncNext = 0;
    uint8_t AutoIncStep = 0;
};

// The header of a .dbf file, checked against the file it came from: every
// length, offset and count in it fits the file, so that readers may index
// records and fields without further checks.
//
// The records are read by the header's record length when the fields fit
// in it and the file holds the records it counts. Some writers store a
// record length that is not the one they wrote the records by; when the
// file's size proves the fields' own length instead (the records it counts
// fill the file to its end mark), the records are read by that one and
// StoredRecordLength keeps what the header said.
class TDbfHeader {
public:
    // Raises EDatabaseError naming `path` and what is wrong.
    static TDbfHeader Parse(const uint8_t* data, size_t size, const std::string& path);

    uint8_t Version = 0x03;
    TDbfVariant Variant = dvDBase3;
    bool Level7 = false; // 68-byte table header, 48-byte descriptors
    uint8_t UpdateYear = 0, UpdateMonth = 0, UpdateDay = 0;
    uint32_t RecordCount = 0;
    uint16_t HeaderLength = 0;
    uint16_t RecordLength = 0;       // the distance between records in the file
    uint16_t StoredRecordLength = 0; // the header's own record length
    uint8_t TableFlags = 0;   // byte 28: production .mdx (dBase), .cdx / memo / .dbc (FoxPro)
    uint8_t LanguageId = 0;   // byte 29
    std::string LanguageName; // level 7 only
    bool IncompleteTransaction = false;
    std::vector<TDbfFieldDesc> Fields; // every descriptor, _NullFlags included
    int NullFlagsField = -1;           // index in Fields, -1 when there is none

    bool IsFox() const { return Variant == dvFoxPro || Variant == dvVisualFoxPro; }
    bool HasMemoFields() const;
    // Whether this program writes tables of this kind.
    bool WritableVariant() const;
    uint64_t RecordOffset(uint32_t rec) const {
        return HeaderLength + static_cast<uint64_t>(rec) * RecordLength;
    }

    // The descriptor size and where the descriptors start, by layout.
    size_t DescriptorSize() const { return Level7 ? 48 : Variant == dvDBase2 ? 16 : 32; }
    size_t FirstDescriptor() const { return Level7 ? 68 : Variant == dvDBase2 ? 8 : 32; }

    // Whether a field type stores its value in the memo file.
    static bool IsMemoType(char type, TDbfVariant variant);
    // The version byte of a new table of a variant.
    static uint8_t VersionByte(TDbfVariant variant, bool withMemo);
    // The length a new field of a type gets, and must have when it is not
    // 0: the fixed lengths the reader checks, and for memo pointers the
    // variant's own (4 in Visual FoxPro, else 10).
    static uint32_t NewFieldLength(char type, TDbfVariant variant);
    // Serialises a header for a new table (with the terminator and, for
    // Visual FoxPro, the empty backlink). Offsets, HeaderLength and
    // RecordLength are computed here; Fields' NullBit values are assigned.
    // dBase II headers are not written.
    std::string Build();
};

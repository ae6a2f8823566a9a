#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Paradox field type codes, as stored in the header.
enum TParadoxType : uint8_t {
    pdAlpha = 0x01,
    pdDate = 0x02,
    pdShort = 0x03,
    pdLong = 0x04,
    pdCurrency = 0x05,
    pdNumber = 0x06,
    pdLogical = 0x09,
    pdMemo = 0x0C,
    pdBlob = 0x0D,
    pdFmtMemo = 0x0E,
    pdOle = 0x0F,
    pdGraphic = 0x10,
    pdTime = 0x14,
    pdTimestamp = 0x15,
    pdAutoInc = 0x16,
    pdBcd = 0x17,
    pdBytes = 0x18,
};

// Paradox file types (header byte 4).
enum TParadoxFileType : uint8_t {
    pfKeyedTable = 0,
    pfPrimaryIndex = 1,
    pfTable = 2,
    pfSecondaryData = 3,
    pfSecondaryIndex = 4,
    pfSecondaryDataInc = 5,
    pfCompositeData = 6,
    pfCompositeIndex = 7,
    pfCompositeDataInc = 8,
};

struct TParadoxField {
    std::string Name; // as stored, in the table's code page
    uint8_t Type = 0;
    uint8_t SizeByte = 0; // the header's size byte (the decimals of a BCD field)
    int Length = 0;       // bytes in the record
    int Offset = 0;       // from the start of the record
    bool IsBlob() const { return Type >= pdMemo && Type <= pdGraphic; }
};

// The header of a Paradox table (.db), secondary index data file (.Xnn) or
// index file (.px, .Ynn), checked against the file before anything of it is
// used: every count, size and offset of the header is within the file and
// consistent with the fields. The blocks are another matter: some writers
// leave fewer in the file than the header counts (FileSizeNeeded tells);
// TParadoxBlockMap checks those the records are in. A file that fails
// raises EDatabaseError naming it.
struct TParadoxHeader {
    // Whether the file has field names (tables and .Xnn files) or not
    // (.px and .Ynn files).
    enum TKind { pkData, pkIndex };

    uint16_t RecordSize = 0;
    uint16_t HeaderSize = 0;
    uint8_t FileType = 0;
    uint8_t MaxTableSize = 0;
    uint32_t BlockSize = 0;
    uint32_t NumRecords = 0;
    uint16_t FileBlocks = 0;
    uint16_t FirstBlock = 0;
    uint16_t LastBlock = 0;
    uint16_t NumFields = 0;
    uint16_t KeyFields = 0;
    uint8_t IndexFieldNumber = 0;
    uint8_t Version = 0; // header byte 0x39: 3 = 3.0 ... 12 = 7.x
    uint8_t SortOrder = 0;
    uint8_t ModifiedFlags1 = 0;
    uint8_t ModifiedFlags2 = 0;
    uint8_t WriteProtected = 0;
    uint8_t RefIntegrity = 0;
    bool Encrypted = false;
    int CodePage = 0; // 0 when the header has none (3.x tables)
    int32_t AutoInc = 0;
    uint16_t IndexRoot = 0;      // index files
    uint8_t IndexLevels = 0;     // index files
    uint64_t FileSizeNeeded = 0; // for the header and every block it counts
    size_t FieldInfoStart = 0;
    size_t TableNameStart = 0;
    size_t TableNameLength = 0;
    std::string TableName;
    std::string SortOrderName;
    std::vector<TParadoxField> Fields;

    // Raises EDatabaseError(failPrefix + what is wrong) when the bytes are
    // not a consistent Paradox header of that kind; the prefix names the
    // file ("Cannot open table \"a.db\": ").
    static TParadoxHeader Parse(const uint8_t* data, size_t size, TKind kind,
                                const std::string& failPrefix);

    uint64_t BlockOffset(uint32_t block) const { // block numbers start at 1
        return HeaderSize + static_cast<uint64_t>(block - 1) * BlockSize;
    }
    uint32_t RecordsPerBlock() const { return (BlockSize - 6) / RecordSize; }
    bool NewLayout() const { return Version >= 5; } // fields listed at 0x78
};

// The length of a field of this type in a record, from the header's size
// byte; 0 when the type is unknown or the size impossible.
int ParadoxFieldLength(uint8_t type, uint8_t sizeByte);
// A short name of a Paradox type for messages ("A", "N", "M", ...).
std::string ParadoxTypeName(uint8_t type);

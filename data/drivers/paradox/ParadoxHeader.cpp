#include "data/drivers/paradox/ParadoxHeader.h"

#include "data/base/DatabaseError.h"

#include <cstring>

namespace {
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::string Hex2(unsigned v) {
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[(v >> 4) & 15] + digits[v & 15];
}

// Fixed part of every header; the field list starts at 0x58 or 0x78.
constexpr size_t FixedPart = 0x58;
constexpr size_t NewFixedPart = 0x78;

bool KnownFileType(uint8_t t, TParadoxHeader::TKind kind) {
    if (kind == TParadoxHeader::pkIndex)
        return t == pfPrimaryIndex || t == pfSecondaryIndex || t == pfCompositeIndex;
    return t == pfKeyedTable || t == pfTable || t == pfSecondaryData || t == pfSecondaryDataInc ||
           t == pfCompositeData || t == pfCompositeDataInc;
}
} // namespace

int ParadoxFieldLength(uint8_t type, uint8_t sizeByte) {
    switch (type) {
    case pdAlpha:
    case pdBytes:
        return sizeByte >= 1 ? sizeByte : 0;
    case pdDate:
    case pdLong:
    case pdTime:
    case pdAutoInc:
        return sizeByte == 4 ? 4 : 0;
    case pdShort:
        return sizeByte == 2 ? 2 : 0;
    case pdCurrency:
    case pdNumber:
    case pdTimestamp:
        return sizeByte == 8 ? 8 : 0;
    case pdLogical:
        return sizeByte == 1 ? 1 : 0;
    case pdMemo:
    case pdBlob:
    case pdFmtMemo:
    case pdOle:
    case pdGraphic:
        return sizeByte >= 10 ? sizeByte : 0;
    case pdBcd:
        return sizeByte <= 32 ? 17 : 0;
    default:
        return 0;
    }
}

std::string ParadoxTypeName(uint8_t type) {
    switch (type) {
    case pdAlpha:
        return "A";
    case pdDate:
        return "D";
    case pdShort:
        return "S";
    case pdLong:
        return "I";
    case pdCurrency:
        return "$";
    case pdNumber:
        return "N";
    case pdLogical:
        return "L";
    case pdMemo:
        return "M";
    case pdBlob:
        return "B";
    case pdFmtMemo:
        return "F";
    case pdOle:
        return "O";
    case pdGraphic:
        return "G";
    case pdTime:
        return "T";
    case pdTimestamp:
        return "@";
    case pdAutoInc:
        return "+";
    case pdBcd:
        return "#";
    case pdBytes:
        return "Y";
    default:
        return Hex2(type);
    }
}

TParadoxHeader TParadoxHeader::Parse(const uint8_t* data, size_t size, TKind kind,
                                     const std::string& failPrefix) {
    auto fail = [&](const std::string& what) { throw EDatabaseError(failPrefix + what); };
    if (size == 0) fail("the file is empty (0 bytes)");
    if (size < FixedPart + 2)
        fail("the file is too short to be a Paradox file (" + std::to_string(size) + " bytes)");

    TParadoxHeader h;
    h.RecordSize = U16(data + 0x00);
    h.HeaderSize = U16(data + 0x02);
    h.FileType = data[0x04];
    h.MaxTableSize = data[0x05];
    h.NumRecords = U32(data + 0x06);
    h.FileBlocks = U16(data + 0x0C);
    h.FirstBlock = U16(data + 0x0E);
    h.LastBlock = U16(data + 0x10);
    h.ModifiedFlags1 = data[0x14];
    h.IndexFieldNumber = data[0x15];
    h.IndexRoot = U16(data + 0x1E);
    h.IndexLevels = data[0x20];
    h.NumFields = U16(data + 0x21);
    h.KeyFields = U16(data + 0x23);
    h.SortOrder = data[0x29];
    h.ModifiedFlags2 = data[0x2A];
    h.WriteProtected = data[0x38];
    h.Version = data[0x39];
    h.AutoInc = static_cast<int32_t>(U32(data + 0x49));
    h.RefIntegrity = data[0x55];

    if (!KnownFileType(h.FileType, kind))
        fail("it is not a Paradox " + std::string(kind == pkData ? "table" : "index") +
             " (file type " + Hex2(h.FileType) + ")");
    if (h.Version < 3 || h.Version > 12)
        fail("its version byte " + Hex2(h.Version) + " is not one of a Paradox 3 to 7 file");
    if (h.MaxTableSize < 1 || h.MaxTableSize > 32)
        fail("its block size code " + std::to_string(h.MaxTableSize) + " is not valid");
    h.BlockSize = 1024u * h.MaxTableSize;
    if (h.NumFields < 1 || h.NumFields > 255)
        fail("its field count " + std::to_string(h.NumFields) + " is not valid");
    if (h.KeyFields > h.NumFields)
        fail("it has " + std::to_string(h.KeyFields) + " key fields but only " +
             std::to_string(h.NumFields) + " fields");
    if (h.RecordSize == 0) fail("its record size is 0");
    if (h.RecordSize + 6u > h.BlockSize)
        fail("its records (" + std::to_string(h.RecordSize) + " bytes) do not fit in its blocks (" +
             std::to_string(h.BlockSize) + " bytes)");

    // Index files and 3.x files list their fields at 0x58, others at 0x78.
    const bool newLayout = kind == pkData && h.Version >= 5;
    h.FieldInfoStart = newLayout ? NewFixedPart : FixedPart;
    if (h.HeaderSize < h.FieldInfoStart + 2u * h.NumFields)
        fail("its header size " + std::to_string(h.HeaderSize) + " is too small for " +
             std::to_string(h.NumFields) + " fields");
    if (h.HeaderSize > size)
        fail("the file is truncated: its header needs " + std::to_string(h.HeaderSize) +
             " bytes, the file has " + std::to_string(size));

    if (kind == pkData) {
        // 4.x and later keep the second copy of the encryption code at 0x5C.
        uint32_t code = newLayout ? U32(data + 0x5C) : U32(data + 0x25);
        h.Encrypted = code != 0;
        if (newLayout) h.CodePage = U16(data + 0x6A);
    } else {
        h.Encrypted = U32(data + 0x25) != 0;
    }

    // Fields: type and size byte each.
    int offset = 0;
    h.Fields.resize(h.NumFields);
    for (size_t i = 0; i < h.NumFields; ++i) {
        TParadoxField& f = h.Fields[i];
        f.Type = data[h.FieldInfoStart + 2 * i];
        f.SizeByte = data[h.FieldInfoStart + 2 * i + 1];
        f.Length = ParadoxFieldLength(f.Type, f.SizeByte);
        if (f.Length == 0) {
            if (ParadoxTypeName(f.Type).size() > 1)
                fail("field " + std::to_string(i + 1) + " has the unknown type " + Hex2(f.Type));
            fail("field " + std::to_string(i + 1) + " of type " + ParadoxTypeName(f.Type) +
                 " has the impossible size " + std::to_string(f.SizeByte));
        }
        f.Offset = offset;
        offset += f.Length;
    }
    // An index record carries three short integers after its fields.
    const int expected = kind == pkIndex ? offset + 6 : offset;
    if (expected != h.RecordSize)
        fail("its record size " + std::to_string(h.RecordSize) + " does not match its fields (" +
             std::to_string(expected) + " bytes)");

    // Table name and field names follow the field list.
    h.TableNameLength = h.Version >= 12 ? 261 : 79;
    size_t p = h.FieldInfoStart + 2u * h.NumFields + 4; // the table name's pointer
    if (kind == pkData) p += 4u * h.NumFields;          // the field names' pointers
    h.TableNameStart = p;
    if (p + h.TableNameLength > h.HeaderSize) {
        if (kind == pkData)
            fail("its header (" + std::to_string(h.HeaderSize) +
                 " bytes) has no room for the field names");
        h.TableNameLength = 0;
    } else {
        const char* name = reinterpret_cast<const char*>(data + p);
        h.TableName.assign(name, strnlen(name, h.TableNameLength));
        p += h.TableNameLength;
    }
    if (kind == pkData) {
        for (size_t i = 0; i < h.NumFields; ++i) {
            const char* start = reinterpret_cast<const char*>(data + p);
            size_t n = strnlen(start, h.HeaderSize - p);
            if (p + n >= h.HeaderSize)
                fail("the name of field " + std::to_string(i + 1) + " runs past the header");
            if (n == 0) fail("field " + std::to_string(i + 1) + " has no name");
            h.Fields[i].Name.assign(start, n);
            p += n + 1;
        }
        // Then a field number each and the name of the sort order.
        p += 2u * h.NumFields;
        if (p < h.HeaderSize && !h.Encrypted) {
            const char* start = reinterpret_cast<const char*>(data + p);
            size_t n = strnlen(start, h.HeaderSize - p);
            if (p + n < h.HeaderSize && n < 32) h.SortOrderName.assign(start, n);
        }
    }

    // Blocks: whether the file holds all that the header counts. Files
    // whose last blocks are not all there are read as far as their block
    // chain goes (TParadoxBlockMap checks that every block it links is in
    // the file).
    h.FileSizeNeeded = h.HeaderSize + static_cast<uint64_t>(h.FileBlocks) * h.BlockSize;
    if (h.NumRecords > static_cast<uint64_t>(h.FileBlocks) * h.RecordsPerBlock())
        fail("its header counts " + std::to_string(h.NumRecords) + " records, more than its " +
             std::to_string(h.FileBlocks) + " blocks can hold");
    // A table whose every block was emptied has no chain (first block 0).
    if (h.FileBlocks > 0 && (h.FirstBlock > h.FileBlocks || (h.FirstBlock < 1 && h.NumRecords > 0)))
        fail("its first block " + std::to_string(h.FirstBlock) + " is not one of its " +
             std::to_string(h.FileBlocks) + " blocks");
    if (h.FileBlocks == 0 && h.NumRecords > 0)
        fail("its header counts " + std::to_string(h.NumRecords) + " records but no blocks");
    return h;
}

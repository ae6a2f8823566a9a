#include "data/drivers/paradox/ParadoxBlobFile.h"

#include "data/base/DatabaseError.h"

namespace {
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

constexpr uint32_t Chunk = 4096;
} // namespace

TParadoxBlobFile::TRef TParadoxBlobFile::ReadRef(const uint8_t* field, int fieldLength) {
    const uint8_t* p = field + fieldLength - 10;
    return {U32(p), U32(p + 4), U16(p + 8)};
}

void TParadoxBlobFile::WriteRef(uint8_t* field, int fieldLength, const TRef& ref) {
    uint8_t* p = field + fieldLength - 10;
    Put32(p, ref.Place);
    Put32(p + 4, ref.Length);
    Put16(p + 8, ref.ModNr);
}

void TParadoxBlobFile::Fail(const std::string& what) const {
    throw EDatabaseError("Blob file \"" + fMap.Path() + "\" is damaged: " + what);
}

void TParadoxBlobFile::Open(const std::string& path) {
    fMap = TMappedFile(path);
    if (fMap.Size() == 0) Fail("the file is empty (0 bytes)");
    if (fMap.Size() < Chunk)
        Fail("it is shorter (" + std::to_string(fMap.Size()) + " bytes) than its 4096-byte header");
    if (fMap.Data()[0] != 0) Fail("its first block is not a header block");
}

bool TParadoxBlobFile::Read(const uint8_t* field, int fieldLength, std::string& out) const {
    out.clear();
    const int leader = fieldLength - 10;
    TRef ref = ReadRef(field, fieldLength);
    if (ref.Length == 0) return false; // Paradox keeps no empty blobs apart from null ones
    if (ref.Place == 0) {
        if (ref.Length > static_cast<uint32_t>(leader))
            throw EDatabaseError("A blob of " + std::to_string(ref.Length) +
                                 " bytes has no place in the blob file and does not fit in its " +
                                 std::to_string(leader) + "-byte leader");
        out.assign(reinterpret_cast<const char*>(field), ref.Length);
        return true;
    }
    if (!IsOpen())
        throw EDatabaseError("A blob value lies in the table's blob file, which is missing");
    const uint8_t* data = fMap.Data();
    const uint32_t index = ref.Place & 0xFF;
    const uint64_t block = ref.Place & ~0xFFu;
    const std::string where = " at offset " + std::to_string(block);
    if (block < Chunk || !fMap.Contains(block, 3))
        Fail("a record refers to a block" + where + " beyond the file");
    const uint8_t type = data[block];
    const uint32_t chunks = U16(data + block + 1);
    if (chunks == 0 || !fMap.Contains(block, static_cast<uint64_t>(chunks) * Chunk))
        Fail("the block" + where + " (" + std::to_string(chunks) +
             " x 4096 bytes) runs past the end");
    if (index == 0xFF) {
        if (type != 2)
            Fail("the block" + where + " is of type " + std::to_string(type) +
                 ", not a blob block");
        uint32_t length = U32(data + block + 3);
        if (length != ref.Length)
            Fail("the blob" + where + " has " + std::to_string(length) +
                 " bytes, its record says " + std::to_string(ref.Length));
        if (9 + static_cast<uint64_t>(length) > static_cast<uint64_t>(chunks) * Chunk)
            Fail("the blob" + where + " is longer than its block");
        out.assign(reinterpret_cast<const char*>(data + block + 9), length);
        return true;
    }
    if (type != 3)
        Fail("the block" + where + " is of type " + std::to_string(type) +
             ", not a shared blob block");
    if (index >= 64)
        Fail("a record refers to entry " + std::to_string(index) + " of the block" + where);
    const uint8_t* entry = data + block + 12 + 5 * index;
    const uint32_t start = entry[0] * 16u;
    const uint32_t used = entry[1];
    const uint32_t tail = entry[4];
    if (start == 0 || used == 0 || tail == 0 || tail > 16)
        Fail("entry " + std::to_string(index) + " of the block" + where + " is empty or deleted");
    const uint32_t length = (used - 1) * 16 + tail;
    if (start < 12 + 64 * 5 || start + length > Chunk)
        Fail("entry " + std::to_string(index) + " of the block" + where +
             " lies outside the block");
    if (length != ref.Length)
        Fail("entry " + std::to_string(index) + " of the block" + where + " has " +
             std::to_string(length) + " bytes, its record says " + std::to_string(ref.Length));
    out.assign(reinterpret_cast<const char*>(data + block + start), length);
    return true;
}

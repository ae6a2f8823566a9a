#include "data/drivers/paradox/ParadoxBlockWriter.h"

#include "data/base/DatabaseError.h"
#include "data/platform/AtomicFile.h"

#include <algorithm>
#include <cstring>

namespace {
void Put16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
} // namespace

void TParadoxBlockWriter::Write(TAtomicFile& out, std::string header, const TParadoxHeader& h,
                                const std::vector<const uint8_t*>& records, int32_t autoInc,
                                size_t keyLength, std::vector<TParadoxIndexEntry>* index) {
    const size_t perBlock = h.RecordsPerBlock();
    const size_t blocks = (records.size() + perBlock - 1) / perBlock;
    if (blocks > 0xFFFF)
        throw EDatabaseError("The table would need more than 65535 blocks of " +
                             std::to_string(h.BlockSize) + " bytes");
    if (header.size() != h.HeaderSize) throw EDatabaseError("The table header has the wrong size");
    Put32(header, 0x06, static_cast<uint32_t>(records.size()));
    Put16(header, 0x0A, static_cast<uint16_t>(blocks));
    Put16(header, 0x0C, static_cast<uint16_t>(blocks));
    Put16(header, 0x0E, blocks ? 1 : 0);
    Put16(header, 0x10, static_cast<uint16_t>(blocks));
    header[0x14] = 0; // nothing left to rebuild
    header[0x2A] = 0;
    Put16(header, 0x3A, static_cast<uint16_t>(blocks));
    Put32(header, 0x49, static_cast<uint32_t>(autoInc));
    out.Write(header);

    std::string block(h.BlockSize, '\0');
    if (index) index->clear();
    for (size_t b = 0; b < blocks; ++b) {
        const size_t first = b * perBlock;
        const size_t count = std::min(perBlock, records.size() - first);
        std::fill(block.begin(), block.end(), '\0');
        Put16(block, 0, static_cast<uint16_t>(b + 1 < blocks ? b + 2 : 0));
        Put16(block, 2, static_cast<uint16_t>(b));
        Put16(block, 4, static_cast<uint16_t>((count - 1) * h.RecordSize));
        for (size_t i = 0; i < count; ++i)
            std::memcpy(block.data() + 6 + i * h.RecordSize, records[first + i], h.RecordSize);
        out.Write(block);
        if (index)
            index->push_back({std::string(reinterpret_cast<const char*>(records[first]), keyLength),
                              static_cast<uint16_t>(b + 1), static_cast<uint32_t>(count)});
    }
}

#include "data/drivers/paradox/ParadoxIndexWriter.h"

#include "data/base/DatabaseError.h"

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
// Numbers inside index records are stored like record data: big-endian
// with the sign bit flipped.
void PutShort(std::string& s, size_t at, uint32_t v) {
    uint16_t n = static_cast<uint16_t>(std::min<uint32_t>(v, 32767)) ^ 0x8000;
    s[at] = static_cast<char>(n >> 8);
    s[at + 1] = static_cast<char>(n & 0xFF);
}

struct TLevelEntry {
    const char* Key;
    size_t Child; // data block number (level 1) or index into the level below
    uint32_t Count;
};
} // namespace

std::string TParadoxIndexWriter::Build(const std::vector<TParadoxField>& keyFields,
                                       const TParadoxHeader& data, uint8_t fileType,
                                       const std::vector<TParadoxIndexEntry>& entries) {
    size_t keyLength = 0;
    for (const TParadoxField& f : keyFields)
        keyLength += static_cast<size_t>(f.Length);
    std::vector<TBlockEntry> blocks;
    blocks.reserve(entries.size());
    for (const TParadoxIndexEntry& e : entries) {
        if (e.Key.size() != keyLength) throw EDatabaseError("An index key has the wrong length");
        blocks.push_back({e.Key.data(), e.Block, e.Count});
    }
    return Build(keyFields, data, fileType, blocks);
}

std::string TParadoxIndexWriter::Build(const std::vector<TParadoxField>& keyFields,
                                       const TParadoxHeader& data, uint8_t fileType,
                                       const std::vector<TBlockEntry>& entries) {
    size_t keyLength = 0;
    for (const TParadoxField& f : keyFields)
        keyLength += static_cast<size_t>(f.Length);
    const size_t recordSize = keyLength + 6;
    const uint32_t blockSize = data.BlockSize;
    const size_t perBlock = (blockSize - 6) / recordSize;
    if (keyFields.empty() || perBlock < 2)
        throw EDatabaseError("The key is too long for an index block");

    // Levels from the bottom: each block of a level becomes one entry of
    // the level above, until one block holds them all.
    std::vector<std::vector<std::vector<TLevelEntry>>> levels; // level -> blocks -> entries
    std::vector<TLevelEntry> current;
    current.reserve(entries.size());
    for (const TBlockEntry& e : entries)
        current.push_back({e.Key, e.Block, e.Count});
    while (!current.empty()) {
        std::vector<std::vector<TLevelEntry>> blocks;
        for (size_t i = 0; i < current.size(); i += perBlock)
            blocks.emplace_back(current.begin() + static_cast<std::ptrdiff_t>(i),
                                current.begin() + static_cast<std::ptrdiff_t>(
                                                      std::min(current.size(), i + perBlock)));
        std::vector<TLevelEntry> above;
        for (size_t b = 0; b < blocks.size(); ++b) {
            uint32_t sum = 0;
            for (const TLevelEntry& e : blocks[b])
                sum += e.Count;
            above.push_back({blocks[b].front().Key, b, sum});
        }
        levels.push_back(std::move(blocks));
        if (levels.back().size() == 1) break;
        current = std::move(above);
    }

    // Block numbers: the root is block 1, then each level down.
    std::vector<size_t> firstNumber(levels.size());
    size_t next = 1;
    for (size_t l = levels.size(); l-- > 0;) {
        firstNumber[l] = next;
        next += levels[l].size();
    }
    const size_t blockCount = next - 1;
    if (blockCount > 0xFFFF) throw EDatabaseError("The index would need more than 65535 blocks");
    size_t records = 0;
    for (const auto& level : levels)
        for (const auto& block : level)
            records += block.size();

    const size_t headerSize = 0x800;
    std::string out(headerSize + blockCount * blockSize, '\0');
    Put16(out, 0x00, static_cast<uint16_t>(recordSize));
    Put16(out, 0x02, static_cast<uint16_t>(headerSize));
    out[0x04] = static_cast<char>(fileType);
    out[0x05] = static_cast<char>(data.MaxTableSize);
    Put32(out, 0x06, static_cast<uint32_t>(records));
    Put16(out, 0x0A, static_cast<uint16_t>(blockCount));
    Put16(out, 0x0C, static_cast<uint16_t>(blockCount));
    Put16(out, 0x0E, blockCount ? 1 : 0);
    Put16(out, 0x10, static_cast<uint16_t>(blockCount));
    Put16(out, 0x12, 0x11);
    Put16(out, 0x1E, blockCount ? 1 : 0);
    out[0x20] = static_cast<char>(levels.size());
    Put16(out, 0x21, static_cast<uint16_t>(keyFields.size()));
    out[0x29] = static_cast<char>(data.SortOrder);
    out[0x39] = static_cast<char>(data.Version);
    for (size_t i = 0; i < keyFields.size(); ++i) {
        out[0x58 + 2 * i] = static_cast<char>(keyFields[i].Type);
        out[0x58 + 2 * i + 1] = static_cast<char>(keyFields[i].SizeByte);
    }

    for (size_t l = 0; l < levels.size(); ++l) {
        const auto& blocks = levels[l];
        for (size_t b = 0; b < blocks.size(); ++b) {
            const size_t number = firstNumber[l] + b;
            const size_t at = headerSize + (number - 1) * blockSize;
            Put16(out, at, static_cast<uint16_t>(b + 1 < blocks.size() ? number + 1 : 0));
            Put16(out, at + 2, static_cast<uint16_t>(b > 0 ? number - 1 : 0));
            Put16(out, at + 4, static_cast<uint16_t>((blocks[b].size() - 1) * recordSize));
            size_t p = at + 6;
            for (const TLevelEntry& e : blocks[b]) {
                std::memcpy(out.data() + p, e.Key, keyLength);
                size_t child = l == 0 ? e.Child : firstNumber[l - 1] + e.Child;
                PutShort(out, p + keyLength, static_cast<uint32_t>(child));
                PutShort(out, p + keyLength + 2, e.Count);
                PutShort(out, p + keyLength + 4, 0);
                p += recordSize;
            }
        }
    }
    return out;
}

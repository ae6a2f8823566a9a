#include "data/drivers/paradox/ParadoxChainEdit.h"

#include "data/base/DatabaseError.h"

#include <algorithm>
#include <cstring>

namespace {
uint16_t Get16(const char* p) {
    return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}
void Put16(char* p, uint16_t v) {
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>(v >> 8);
}
void Put32(char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
constexpr size_t BlockHead = 6;
} // namespace

TParadoxChainEdit::TParadoxChainEdit(const TParadoxHeader& h, std::string_view file,
                                     const TParadoxBlockMap& map, std::string firstKeys,
                                     size_t keyLength)
    : fH(h), fFile(file), fChain(map.Blocks()), fKeys(std::move(firstKeys)), fKeyLength(keyLength),
      fTotal(map.RecordCount()), fOldFileBlocks(h.FileBlocks), fFileBlocks(h.FileBlocks),
      fFirstBlock(h.FirstBlock), fLastBlock(h.LastBlock) {
    if (fKeyLength > 0 && fKeys.size() != fChain.size() * fKeyLength)
        throw EDatabaseError("The index keys do not match the table's blocks");
}

TParadoxChainEdit::TPlace TParadoxChainEdit::Locate(uint32_t rec) const {
    auto it =
        std::upper_bound(fChain.begin(), fChain.end(), rec,
                         [](uint32_t r, const TParadoxBlockMap::TBlock& b) { return r < b.First; });
    const size_t i = static_cast<size_t>(it - fChain.begin()) - 1;
    return {i, rec - fChain[i].First};
}

std::string& TParadoxChainEdit::Block(uint16_t number) {
    auto it = fDirty.find(number);
    if (it != fDirty.end()) return it->second;
    // The unused rest of a last block may be missing from the file.
    std::string bytes(fH.BlockSize, '\0');
    const uint64_t at = fH.BlockOffset(number);
    if (at < fFile.size())
        std::memcpy(bytes.data(), fFile.data() + at,
                    static_cast<size_t>(std::min<uint64_t>(fH.BlockSize, fFile.size() - at)));
    return fDirty.emplace(number, std::move(bytes)).first->second;
}

uint16_t TParadoxChainEdit::NewBlock() {
    if (fFileBlocks == 0xFFFF)
        throw EDatabaseError("The table would need more than 65535 blocks of " +
                             std::to_string(fH.BlockSize) + " bytes");
    ++fFileBlocks;
    fDirty[fFileBlocks] = std::string(fH.BlockSize, '\0');
    return fFileBlocks;
}

void TParadoxChainEdit::SetCount(std::string& block, uint32_t count) const {
    // The offset of the last record; an empty block has minus one record's.
    const int size = (static_cast<int>(count) - 1) * static_cast<int>(fH.RecordSize);
    Put16(block.data() + 4, static_cast<uint16_t>(static_cast<int16_t>(size)));
}

void TParadoxChainEdit::Renumber(size_t from) {
    uint32_t first = from > 0 ? fChain[from - 1].First + fChain[from - 1].Count : 0;
    for (size_t i = from; i < fChain.size(); ++i) {
        fChain[i].First = first;
        first += fChain[i].Count;
    }
}

void TParadoxChainEdit::SetKey(size_t block, const char* record) {
    if (fKeyLength > 0) fKeys.replace(block * fKeyLength, fKeyLength, record, fKeyLength);
}

void TParadoxChainEdit::InsertKey(size_t block, const char* record) {
    if (fKeyLength > 0) fKeys.insert(block * fKeyLength, record, fKeyLength);
}

void TParadoxChainEdit::EraseKey(size_t block) {
    if (fKeyLength > 0) fKeys.erase(block * fKeyLength, fKeyLength);
}

const uint8_t* TParadoxChainEdit::Record(uint32_t rec) {
    const TPlace p = Locate(rec);
    const TParadoxBlockMap::TBlock& b = fChain[p.Block];
    const size_t at = BlockHead + static_cast<size_t>(p.Index) * fH.RecordSize;
    auto it = fDirty.find(b.Number);
    if (it != fDirty.end()) return reinterpret_cast<const uint8_t*>(it->second.data() + at);
    return reinterpret_cast<const uint8_t*>(fFile.data() + b.Offset + at);
}

void TParadoxChainEdit::Unlink(uint16_t number) {
    std::string& block = Block(number);
    const uint16_t next = Get16(block.data()), prev = Get16(block.data() + 2);
    // Readers follow the links forward: the block before must be the one
    // the block names, or it stays in the chain, empty.
    if (prev != 0 ? prev > fFileBlocks || Get16(Block(prev).data()) != number
                  : fFirstBlock != number)
        return;
    if (prev != 0)
        Put16(Block(prev).data(), next);
    else
        fFirstBlock = next;
    if (next != 0 && next <= fFileBlocks)
        Put16(Block(next).data() + 2, prev);
    else if (next == 0)
        fLastBlock = prev;
    Put16(block.data(), 0);
    Put16(block.data() + 2, 0);
}

void TParadoxChainEdit::Replace(uint32_t rec, const uint8_t* bytes) {
    const TPlace p = Locate(rec);
    std::string& block = Block(fChain[p.Block].Number);
    char* at = block.data() + BlockHead + static_cast<size_t>(p.Index) * fH.RecordSize;
    std::memcpy(at, bytes, fH.RecordSize);
    if (p.Index == 0) SetKey(p.Block, at);
}

void TParadoxChainEdit::Remove(uint32_t rec) {
    const TPlace p = Locate(rec);
    TParadoxBlockMap::TBlock& b = fChain[p.Block];
    std::string& block = Block(b.Number);
    const size_t rs = fH.RecordSize;
    char* records = block.data() + BlockHead;
    std::memmove(records + p.Index * rs, records + (p.Index + 1) * rs,
                 (b.Count - p.Index - 1) * rs);
    std::memset(records + (b.Count - 1u) * rs, 0, rs);
    --b.Count;
    SetCount(block, b.Count);
    if (b.Count == 0) {
        Unlink(b.Number);
        fChain.erase(fChain.begin() + static_cast<std::ptrdiff_t>(p.Block));
        EraseKey(p.Block);
    } else if (p.Index == 0) {
        SetKey(p.Block, records);
    }
    --fTotal;
    Renumber(p.Block);
}

void TParadoxChainEdit::Insert(uint32_t rec, const uint8_t* bytes) {
    const size_t rs = fH.RecordSize;
    const uint32_t perBlock = fH.RecordsPerBlock();
    const char* added = reinterpret_cast<const char*>(bytes);
    if (fChain.empty()) {
        // Every block of the chain is empty (or there is none): the first
        // one takes the record.
        uint16_t number = fFirstBlock;
        if (number == 0 || number > fFileBlocks) {
            number = NewBlock();
            fFirstBlock = fLastBlock = number;
        }
        std::string& block = Block(number);
        std::memcpy(block.data() + BlockHead, added, rs);
        SetCount(block, 1);
        fChain.push_back({fH.BlockOffset(number), 0, 1, number});
        InsertKey(0, added);
        ++fTotal;
        return;
    }
    TPlace p{0, 0};
    if (rec > 0) {
        p = Locate(rec - 1);
        ++p.Index;
    }
    if (fChain[p.Block].Count == perBlock && p.Index == perBlock && p.Block + 1 < fChain.size() &&
        fChain[p.Block + 1].Count < perBlock)
        p = {p.Block + 1, 0};

    TParadoxBlockMap::TBlock& b = fChain[p.Block];
    std::string& block = Block(b.Number);
    char* records = block.data() + BlockHead;
    if (b.Count < perBlock) {
        std::memmove(records + (p.Index + 1) * rs, records + p.Index * rs,
                     (b.Count - p.Index) * rs);
        std::memcpy(records + p.Index * rs, added, rs);
        ++b.Count;
        SetCount(block, b.Count);
        if (p.Index == 0) SetKey(p.Block, added);
        ++fTotal;
        Renumber(p.Block);
        return;
    }

    // A full block: a new one behind the file's last block follows it.
    const uint16_t oldNext = Get16(block.data());
    const uint16_t number = NewBlock();
    std::string& fresh = Block(number);
    Put16(fresh.data(), oldNext);
    Put16(fresh.data() + 2, b.Number);
    Put16(block.data(), number);
    if (oldNext != 0)
        Put16(Block(oldNext).data() + 2, number);
    else
        fLastBlock = number;

    std::string all;
    all.reserve((b.Count + 1u) * rs);
    all.append(records, p.Index * rs);
    all.append(added, rs);
    all.append(records + p.Index * rs, (b.Count - p.Index) * rs);
    const uint32_t total = b.Count + 1u;
    const uint32_t keep = p.Index == b.Count ? b.Count : (total + 1) / 2;
    const uint32_t moved = total - keep;
    std::memset(records, 0, fH.BlockSize - BlockHead);
    std::memcpy(records, all.data(), keep * rs);
    SetCount(block, keep);
    std::memcpy(fresh.data() + BlockHead, all.data() + keep * rs, moved * rs);
    SetCount(fresh, moved);

    b.Count = static_cast<uint16_t>(keep);
    const size_t at = p.Block;
    fChain.insert(fChain.begin() + static_cast<std::ptrdiff_t>(at + 1),
                  {fH.BlockOffset(number), 0, static_cast<uint16_t>(moved), number});
    SetKey(at, all.data());
    InsertKey(at + 1, all.data() + keep * rs);
    ++fTotal;
    Renumber(at);
}

std::string TParadoxChainEdit::Header(int32_t autoInc, uint32_t now) const {
    std::string h(fFile.substr(0, fH.FieldInfoStart));
    char* p = h.data();
    Put32(p + 0x06, fTotal);
    if (fFileBlocks != fOldFileBlocks) {
        // The words that count the file's blocks with it.
        for (size_t at : {size_t(0x0A), size_t(0x3A)})
            if (Get16(p + at) == fOldFileBlocks) Put16(p + at, fFileBlocks);
        Put16(p + 0x0C, fFileBlocks);
    }
    Put16(p + 0x0E, fFirstBlock);
    Put16(p + 0x10, fLastBlock);
    // Change counters, which tell a program that caches the table to read it again.
    p[0x2D] = static_cast<char>(static_cast<uint8_t>(p[0x2D]) + 1);
    Put32(p + 0x49, static_cast<uint32_t>(autoInc));
    if (fH.FieldInfoStart >= 0x78) {
        Put32(p + 0x60, now);
        Put16(p + 0x70, static_cast<uint16_t>(Get16(p + 0x70) + 1));
    }
    return h;
}

std::vector<TParadoxChainEdit::TRegion> TParadoxChainEdit::Blocks() const {
    std::vector<TRegion> regions;
    regions.reserve(fDirty.size());
    for (const auto& [number, bytes] : fDirty)
        regions.push_back({fH.BlockOffset(number), bytes});
    return regions;
}

std::vector<TParadoxIndexWriter::TBlockEntry> TParadoxChainEdit::IndexEntries() const {
    std::vector<TParadoxIndexWriter::TBlockEntry> entries;
    entries.reserve(fChain.size());
    for (size_t i = 0; i < fChain.size(); ++i)
        entries.push_back({fKeys.data() + i * fKeyLength, fChain[i].Number, fChain[i].Count});
    return entries;
}

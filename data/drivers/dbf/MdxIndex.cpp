#include "data/drivers/dbf/MdxIndex.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/dbf/DbfBytes.h"
#include "data/platform/AtomicFile.h"
#include "data/platform/MappedFile.h"

#include <cstring>

namespace {
constexpr size_t PageSize = 512;
constexpr size_t TagTable = 544;
constexpr size_t MaxTags = 47;
constexpr size_t MaxExpression = 220;

[[noreturn]] void Bad(const std::string& path, const std::string& what) {
    throw EDatabaseError("Cannot read index file \"" + path + "\": " + what);
}

bool Printable(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}
} // namespace

std::vector<TMdxIndex::TTag> TMdxIndex::ReadTags(const std::string& path) {
    TMappedFile map(path);
    std::vector<TTag> tags = ReadTags(map.Data(), map.Size(), path);
    map.CheckIntact("index file");
    return tags;
}

std::vector<TMdxIndex::TTag> TMdxIndex::ReadTags(const uint8_t* data, size_t size,
                                                 const std::string& path) {
    if (size < TagTable)
        Bad(path,
            "the file is too short for a multiple index (" + std::to_string(size) + " bytes)");
    size_t count = DbfLe16(data + 28);
    size_t entryLength = data[26] ? data[26] : 32;
    if (count > MaxTags) Bad(path, "it declares " + std::to_string(count) + " tags (at most 47)");
    if (entryLength < 21) Bad(path, "its tag entries are too short");
    std::vector<TTag> tags;
    for (size_t i = 0; i < count; ++i) {
        size_t at = TagTable + i * entryLength;
        if (at + entryLength > size)
            Bad(path, "tag " + std::to_string(i + 1) + " lies beyond the end of the file");
        const uint8_t* e = data + at;
        TTag tag;
        size_t n = 0;
        while (n < 11 && e[4 + n] != 0)
            ++n;
        tag.Name.assign(reinterpret_cast<const char*>(e + 4), n);
        while (!tag.Name.empty() && tag.Name.back() == ' ')
            tag.Name.pop_back();
        if (tag.Name.empty() || !Printable(tag.Name))
            Bad(path, "tag " + std::to_string(i + 1) + " has no valid name");
        tag.KeyType = static_cast<char>(e[20]);
        uint64_t header = static_cast<uint64_t>(DbfLe32(e)) * PageSize;
        if (header < TagTable || header + 25 > size)
            Bad(path, "the header of tag " + tag.Name + " lies outside the file");
        const uint8_t* h = data + header;
        size_t room = size - static_cast<size_t>(header) - 24;
        if (room > MaxExpression) room = MaxExpression;
        const void* end = std::memchr(h + 24, 0, room);
        if (!end) Bad(path, "the key expression of tag " + tag.Name + " is not terminated");
        tag.Expression.assign(reinterpret_cast<const char*>(h + 24),
                              static_cast<const char*>(end) -
                                  reinterpret_cast<const char*>(h + 24));
        while (!tag.Expression.empty() && tag.Expression.back() == ' ')
            tag.Expression.pop_back();
        if (tag.Expression.empty() || !Printable(tag.Expression))
            Bad(path, "tag " + tag.Name + " has no valid key expression");
        tag.Descending = (h[8] & 0x08) != 0;
        tag.Unique = h[23] != 0 || (e[15] & 0x40) != 0;
        tags.push_back(std::move(tag));
    }
    return tags;
}

void TMdxIndex::WriteDefinitions(const std::string& path, const std::string& tableName,
                                 const std::vector<TTag>& tags) {
    if (tags.size() > MaxTags) throw EDatabaseError("A multiple index holds at most 47 tags");
    const size_t pages = 4 + tags.size() * 4;
    std::string s(pages * PageSize, '\0');
    s[0] = 2;
    s[1] = 100;
    s[2] = 1;
    s[3] = 1;
    std::memcpy(&s[4], tableName.data(), tableName.size() < 16 ? tableName.size() : 16);
    DbfPutLe16(s, 20, 2);    // pages per block
    DbfPutLe16(s, 22, 1024); // block size
    s[24] = 1;               // production index
    s[25] = 48;
    s[26] = 32;
    DbfPutLe16(s, 28, static_cast<uint32_t>(tags.size()));
    DbfPutLe32(s, 32, static_cast<uint32_t>(pages));
    DbfPutLe32(s, 36, static_cast<uint32_t>(pages));
    s[44] = 100;
    s[45] = 1;
    s[46] = 1;
    for (size_t i = 0; i < tags.size(); ++i) {
        const TTag& t = tags[i];
        if (t.Name.empty() || t.Name.size() > 10 || t.Expression.empty() ||
            t.Expression.size() >= MaxExpression)
            throw EDatabaseError("Invalid index tag \"" + t.Name + "\"");
        const uint32_t headerPage = static_cast<uint32_t>(4 + i * 4);
        size_t e = TagTable + i * 32;
        DbfPutLe32(s, e, headerPage);
        std::memcpy(&s[e + 4], t.Name.data(), t.Name.size());
        s[e + 15] = static_cast<char>(0x10 | (t.Unique ? 0x40 : 0));
        s[e + 20] = t.KeyType;
        size_t h = headerPage * PageSize;
        DbfPutLe32(s, h, headerPage + 2); // root page: an empty leaf
        DbfPutLe32(s, h + 4, static_cast<uint32_t>(pages));
        s[h + 8] = static_cast<char>(0x10 | (t.Descending ? 0x08 : 0));
        s[h + 9] = t.KeyType;
        uint32_t keyLength = t.KeyType == 'C' ? 100 : t.KeyType == 'D' ? 8 : 12;
        DbfPutLe16(s, h + 12, keyLength);
        DbfPutLe16(s, h + 14, (1024 - 4) / (keyLength + 4));
        DbfPutLe16(s, h + 18, keyLength + 4);
        s[h + 23] = t.Unique ? 1 : 0;
        std::memcpy(&s[h + 24], t.Expression.data(), t.Expression.size());
    }
    TAtomicFile file(path);
    file.Write(s);
    file.Commit();
}

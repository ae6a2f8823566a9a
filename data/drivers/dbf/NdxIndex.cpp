#include "data/drivers/dbf/NdxIndex.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/dbf/DbfBytes.h"
#include "data/platform/AtomicFile.h"
#include "data/platform/MappedFile.h"

#include <cstring>

namespace {
constexpr size_t BlockSize = 512;

[[noreturn]] void Bad(const std::string& path, const std::string& what) {
    throw EDatabaseError("Cannot read index file \"" + path + "\": " + what);
}
} // namespace

TNdxIndex::TKey TNdxIndex::ReadKey(const std::string& path) {
    TMappedFile map(path);
    TKey key = ReadKey(map.Data(), map.Size(), path);
    map.CheckIntact("index file");
    return key;
}

TNdxIndex::TKey TNdxIndex::ReadKey(const uint8_t* data, size_t size, const std::string& path) {
    if (size < BlockSize)
        Bad(path, "the file is too short for an index (" + std::to_string(size) + " bytes)");
    uint32_t root = DbfLe32(data), blocks = DbfLe32(data + 4);
    uint16_t keyLength = DbfLe16(data + 12);
    if (root == 0 || root >= blocks || static_cast<uint64_t>(root) * BlockSize >= size)
        Bad(path, "its root block " + std::to_string(root) + " lies outside the file");
    if (keyLength == 0 || keyLength > 100)
        Bad(path, "its key length " + std::to_string(keyLength) + " is invalid");
    const void* end = std::memchr(data + 24, 0, BlockSize - 24);
    if (!end) Bad(path, "its key expression is not terminated");
    TKey key;
    key.Expression.assign(reinterpret_cast<const char*>(data + 24),
                          static_cast<const char*>(end) - reinterpret_cast<const char*>(data + 24));
    while (!key.Expression.empty() && key.Expression.back() == ' ')
        key.Expression.pop_back();
    for (unsigned char c : key.Expression)
        if (c < 0x20 || c == 0x7F) Bad(path, "its key expression is not text");
    if (key.Expression.empty()) Bad(path, "its key expression is empty");
    key.Numeric = DbfLe16(data + 16) != 0;
    key.Unique = data[23] != 0;
    return key;
}

void TNdxIndex::WriteDefinition(const std::string& path, const TKey& key) {
    if (key.Expression.empty() || key.Expression.size() >= BlockSize - 24)
        throw EDatabaseError("Invalid index key expression");
    std::string s(2 * BlockSize, '\0');
    const uint32_t keyLength = key.Numeric ? 8 : 100;
    const uint32_t entry = (keyLength + 8 + 3) / 4 * 4;
    DbfPutLe32(s, 0, 1);
    DbfPutLe32(s, 4, 2);
    DbfPutLe16(s, 12, keyLength);
    DbfPutLe16(s, 14, (BlockSize - 4) / entry);
    DbfPutLe16(s, 16, key.Numeric ? 1 : 0);
    DbfPutLe32(s, 18, entry);
    s[23] = key.Unique ? 1 : 0;
    std::memcpy(&s[24], key.Expression.data(), key.Expression.size());
    TAtomicFile file(path);
    file.Write(s);
    file.Commit();
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// Whole numbers as the dBase family stores them: least significant byte
// first in tables, index and dBase memo files, most significant first in
// FoxPro memo files and in dBase 7's binary fields.

inline uint16_t DbfLe16(const void* at) {
    const uint8_t* p = static_cast<const uint8_t*>(at);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t DbfLe32(const void* at) {
    const uint8_t* p = static_cast<const uint8_t*>(at);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t DbfLe64(const void* at) {
    const uint8_t* p = static_cast<const uint8_t*>(at);
    return static_cast<uint64_t>(DbfLe32(p)) | (static_cast<uint64_t>(DbfLe32(p + 4)) << 32);
}
inline uint32_t DbfBe32(const void* at) {
    const uint8_t* p = static_cast<const uint8_t*>(at);
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline uint64_t DbfBe64(const void* at) {
    const uint8_t* p = static_cast<const uint8_t*>(at);
    return (static_cast<uint64_t>(DbfBe32(p)) << 32) | static_cast<uint64_t>(DbfBe32(p + 4));
}

inline void DbfPutLe(void* at, uint64_t v, int bytes) {
    uint8_t* p = static_cast<uint8_t*>(at);
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void DbfPutBe(void* at, uint64_t v, int bytes) {
    uint8_t* p = static_cast<uint8_t*>(at);
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * (bytes - 1 - i)));
}
inline void DbfPutLe16(void* at, uint32_t v) {
    DbfPutLe(at, v, 2);
}
inline void DbfPutLe32(void* at, uint32_t v) {
    DbfPutLe(at, v, 4);
}
inline void DbfPutLe64(void* at, uint64_t v) {
    DbfPutLe(at, v, 8);
}
inline void DbfPutBe32(void* at, uint32_t v) {
    DbfPutBe(at, v, 4);
}
inline void DbfPutBe64(void* at, uint64_t v) {
    DbfPutBe(at, v, 8);
}
// Into a buffer being built.
inline void DbfPutLe16(std::string& s, size_t at, uint32_t v) {
    DbfPutLe(&s[at], v, 2);
}
inline void DbfPutLe32(std::string& s, size_t at, uint32_t v) {
    DbfPutLe(&s[at], v, 4);
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A whole file mapped read-only into memory. Readers index into Data()
// only after checking offsets against Size(); an empty file maps to an
// empty view.
class TMappedFile {
public:
    TMappedFile() = default;
    // Raises EDatabaseError naming the file when it cannot be opened or mapped.
    explicit TMappedFile(const std::string& path);
    ~TMappedFile();
    TMappedFile(TMappedFile&& other) noexcept;
    TMappedFile& operator=(TMappedFile&& other) noexcept;
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    const uint8_t* Data() const { return fData; }
    size_t Size() const { return fSize; }
    std::string_view View() const { return {reinterpret_cast<const char*>(fData), fSize}; }
    bool Contains(uint64_t offset, uint64_t length) const {
        return offset <= fSize && length <= fSize - offset;
    }
    const std::string& Path() const { return fPath; }
    // The descriptor stays open while mapped, for locks.
    int Descriptor() const { return fFd; }
    void Close();

private:
    std::string fPath;
    const uint8_t* fData = nullptr;
    size_t fSize = 0;
    int fFd = -1;
};

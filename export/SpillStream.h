#pragma once

#include "export/Stream.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Bytes kept in memory up to a limit and beyond it in an unnamed temporary
// file, for a document part that must wait for another before it can be
// written (the RTF body waits for its font and colour tables). Memory stays
// bounded however large the table.
class TSpillStream : public TStream {
public:
    // folder: where the temporary file goes (empty: $TMPDIR or /tmp).
    explicit TSpillStream(std::string folder = std::string(), size_t memoryLimit = 8u << 20);
    ~TSpillStream() override;
    TSpillStream(const TSpillStream&) = delete;
    TSpillStream& operator=(const TSpillStream&) = delete;

    void Write(const void* data, size_t size) override;
    using TStream::Write;
    uint64_t Size() const override { return fMemory.size() + fSpilled + fUsed; }
    // Writes everything held, in order, to out.
    void CopyTo(TStream& out);
    // Forgets the bytes, frees the memory and removes the temporary file.
    void Clear();
    bool Spilled() const { return fFd >= 0; }

private:
    void OpenFile();
    void Flush();
    [[noreturn]] void Raise(const char* what, int error) const;

    std::string fFolder;
    size_t fLimit;
    std::string fMemory;
    int fFd = -1;
    std::string fBuffer; // bytes on their way to the file
    size_t fUsed = 0;
    uint64_t fSpilled = 0;
};

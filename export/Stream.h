#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

class EStreamError : public std::runtime_error {
public:
    explicit EStreamError(const std::string& message) : std::runtime_error(message) {}
};

// An output for documents.
class TStream {
public:
    virtual ~TStream() = default;
    virtual void Write(const void* data, size_t size) = 0;
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    virtual uint64_t Size() const = 0;
};

// A document held in memory (the clipboard target, tests).
class TMemoryStream : public TStream {
public:
    void Write(const void* data, size_t size) override;
    using TStream::Write;
    uint64_t Size() const override { return fData.size(); }
    const std::string& Data() const { return fData; }
    std::string& Data() { return fData; }
    void Clear() { fData.clear(); }

private:
    std::string fData;
};

// A file written through a buffer. A failed write raises: a document cut
// short by a full disk must not pass for a finished one.
class TFileStream : public TStream {
public:
    // Creates the file, replacing one of the same name.
    explicit TFileStream(const std::string& path);
    // Takes over a descriptor opened for writing; `name` is the file that
    // error messages and Path() name. When this raises, fd stays the caller's.
    TFileStream(int fd, std::string name);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    void Write(const void* data, size_t size) override;
    using TStream::Write;
    uint64_t Size() const override { return fWritten + fUsed; }
    // Writes what is buffered and closes; raises when that fails.
    void Close();
    // Writes what is buffered and forces it to the disk; raises when that fails.
    void Sync();
    const std::string& Path() const { return fPath; }

private:
    void FlushBuffer();
    void WriteAll(const char* data, size_t size);
    [[noreturn]] void RaiseWrite(int error) const;

    std::string fPath;
    int fFd = -1;
    char* fBuffer = nullptr;
    size_t fUsed = 0;
    uint64_t fWritten = 0;
    uint64_t fWriteBackFrom = 0; // written bytes not yet sent to the disk
    bool fWriteBack = true;
    static constexpr size_t BufferSize = 1 << 16;
    static constexpr uint64_t WriteBackStep = 8u << 20;
};

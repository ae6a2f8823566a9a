#pragma once

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class EStreamError : public std::runtime_error {
public:
    explicit EStreamError(const std::string& message, int error = 0)
        : std::runtime_error(message), fError(error) {}
    // The system's error number behind it (ENOSPC ...), or 0.
    int Error() const { return fError; }

private:
    int fError;
};

// An output for documents.
class TStream {
public:
    virtual ~TStream() = default;
    virtual void Write(const void* data, size_t size) = 0;
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    virtual uint64_t Size() const = 0;

    // For a writer that may have to take back what it wrote (the RTF head
    // waits for the fonts and colours of the body): whether Truncate and
    // CopyTail work here. A pipe or a device cannot give bytes back.
    virtual bool Rewritable() const { return false; }
    // Drops everything written after the first `size` bytes; writing goes
    // on from there.
    virtual void Truncate(uint64_t size);
    // Writes the bytes from `offset` to the end, in order, to `out`.
    virtual void CopyTail(uint64_t offset, TStream& out);
};

// A document held in memory (the clipboard target, tests).
class TMemoryStream : public TStream {
public:
    void Write(const void* data, size_t size) override;
    using TStream::Write;
    uint64_t Size() const override { return fData.size(); }
    bool Rewritable() const override { return true; }
    void Truncate(uint64_t size) override;
    void CopyTail(uint64_t offset, TStream& out) override;
    const std::string& Data() const { return fData; }
    std::string& Data() { return fData; }
    void Clear() { fData.clear(); }

private:
    std::string fData;
};

// A file written through a buffer. A failed write raises: a document cut
// short by a full disk must not pass for a finished one. Once a document
// fills its first buffer, the writing goes on a thread of its own, so the
// export does not wait for the copies into the page cache; an error there
// is raised by the next Write, Sync or Close.
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
    uint64_t Size() const override { return fHanded + fUsed; }
    // A regular file opened for reading and writing.
    bool Rewritable() const override { return fRewritable && fFd >= 0; }
    void Truncate(uint64_t size) override;
    void CopyTail(uint64_t offset, TStream& out) override;
    // Writes what is buffered and closes; raises when that fails.
    void Close();
    // Writes what is buffered and forces it to the disk; raises when that fails.
    void Sync();
    const std::string& Path() const { return fPath; }

    static constexpr size_t BufferSize = 1 << 20;

    // For tests: writing fails with `error` (as a full disk makes it fail)
    // once this many more bytes have gone to any file stream; -1 never.
    static void InjectFailureAfter(long long bytes, int error = ENOSPC);

private:
    struct TBlock {
        char* Data;
        size_t Size;
    };

    void FlushBuffer(); // everything written, the writer idle
    void HandFull();    // the full buffer to the writer, started if need be
    void Hand();
    void Drain();
    void StopWriter();
    void WriterLoop();
    int WriteOut(const char* data, size_t size); // 0 or the error
    void WriteAll(const char* data, size_t size);
    [[noreturn]] void RaiseWrite(int error) const;

    void CheckOpen() const;

    std::string fPath;
    int fFd = -1;
    bool fRewritable = false;
    int64_t fBase = 0; // the descriptor's offset when it was taken over
    char* fBuffer = nullptr;
    size_t fUsed = 0;
    uint64_t fHanded = 0; // bytes written or handed to the writer
    // Whoever writes (the writer, or this thread while it is idle):
    uint64_t fWritten = 0;
    uint64_t fWriteBackFrom = 0; // written bytes not yet sent to the disk
    bool fWriteBack = true;
    static constexpr uint64_t WriteBackStep = 8u << 20;

    // The writer and the blocks it has to write, oldest first.
    std::thread fWriter;
    std::mutex fMutex;
    std::condition_variable fChanged;
    std::deque<TBlock> fQueue;
    std::vector<char*> fSpare; // written blocks to fill again
    bool fWriting = false;
    bool fStopWriter = false;
    int fWriterError = 0;
    static constexpr size_t QueueLimit = 3;
};

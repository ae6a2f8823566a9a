#include "export/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

void TStream::Truncate(uint64_t) {
    throw EStreamError("This output cannot take back what was written to it");
}

void TStream::CopyTail(uint64_t, TStream&) {
    throw EStreamError("This output cannot give back what was written to it");
}

namespace {
std::atomic<long long> gFailAfter{-1};
std::atomic<int> gFailError{0};
} // namespace

void TFileStream::InjectFailureAfter(long long bytes, int error) {
    gFailError.store(error);
    gFailAfter.store(bytes);
}

void TMemoryStream::Write(const void* data, size_t size) {
    if (size == 0) return;
    fData.append(static_cast<const char*>(data), size);
}

void TMemoryStream::Truncate(uint64_t size) {
    if (size < fData.size()) fData.resize(static_cast<size_t>(size));
}

void TMemoryStream::CopyTail(uint64_t offset, TStream& out) {
    if (offset < fData.size())
        out.Write(fData.data() + offset, fData.size() - static_cast<size_t>(offset));
}

TFileStream::TFileStream(const std::string& path) : fPath(path) {
    do {
        fFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fFd < 0 && errno == EINTR);
    if (fFd < 0) {
        const int error = errno;
        throw EStreamError("Cannot create file \"" + path + "\": " + std::strerror(error), error);
    }
    fBuffer = new (std::nothrow) char[BufferSize];
    if (!fBuffer) {
        ::close(fFd);
        throw std::bad_alloc();
    }
}

// On failure the descriptor stays the caller's to close.
TFileStream::TFileStream(int fd, std::string name) : fPath(std::move(name)) {
    fBuffer = new char[BufferSize];
    fFd = fd;
    struct stat st;
    const int flags = ::fcntl(fd, F_GETFL);
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    fRewritable = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flags >= 0 &&
                  (flags & O_ACCMODE) == O_RDWR && at >= 0;
    fBase = at >= 0 ? at : 0;
}

TFileStream::~TFileStream() {
    if (fFd >= 0) {
        // Best effort: what was written so far stays readable; the error of a
        // failed flush is for Close() to report, not a destructor.
        try {
            FlushBuffer();
        } catch (...) {
        }
    }
    StopWriter();
    if (fFd >= 0) ::close(fFd);
    delete[] fBuffer;
    for (char* b : fSpare)
        delete[] b;
}

void TFileStream::RaiseWrite(int error) const {
    throw EStreamError("Cannot write file \"" + fPath + "\": " + std::strerror(error), error);
}

int TFileStream::WriteOut(const char* data, size_t size) {
    if (gFailAfter.load(std::memory_order_relaxed) >= 0) {
        const long long left = gFailAfter.fetch_sub(static_cast<long long>(size));
        if (left >= 0 && left < static_cast<long long>(size)) {
            gFailAfter.store(-1);
            return gFailError.load();
        }
    }
    while (size > 0) {
        const ssize_t n = ::write(fFd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC; // no progress: never loop forever
        data += n;
        size -= static_cast<size_t>(n);
        fWritten += static_cast<uint64_t>(n);
    }
    // Start the disk writes of what is behind us now, so that the Sync at
    // the end has little left to wait for. Pipes and devices say no: fine.
    if (fWritten - fWriteBackFrom >= WriteBackStep) {
        if (fWriteBack)
            fWriteBack = ::sync_file_range(fFd, static_cast<off_t>(fWriteBackFrom),
                                           static_cast<off_t>(fWritten - fWriteBackFrom),
                                           SYNC_FILE_RANGE_WRITE) == 0;
        fWriteBackFrom = fWritten;
    }
    return 0;
}

void TFileStream::WriteAll(const char* data, size_t size) {
    if (int error = WriteOut(data, size)) RaiseWrite(error);
}

void TFileStream::WriterLoop() {
    for (;;) {
        TBlock block;
        bool skip;
        {
            std::unique_lock<std::mutex> lock(fMutex);
            fChanged.wait(lock, [&] { return fStopWriter || !fQueue.empty(); });
            if (fQueue.empty()) return;
            block = fQueue.front();
            fQueue.pop_front();
            fWriting = true;
            skip = fWriterError != 0; // after a failure the rest is dropped
        }
        const int error = skip ? 0 : WriteOut(block.Data, block.Size);
        {
            std::lock_guard<std::mutex> lock(fMutex);
            if (error && !fWriterError) fWriterError = error;
            fSpare.push_back(block.Data);
            fWriting = false;
        }
        fChanged.notify_all();
    }
}

void TFileStream::Hand() {
    char* next = nullptr;
    {
        std::unique_lock<std::mutex> lock(fMutex);
        fChanged.wait(lock, [&] { return fWriterError || fQueue.size() < QueueLimit; });
        if (fWriterError) {
            fUsed = 0; // dropped: Close() must not write it after the error
            RaiseWrite(fWriterError);
        }
        if (!fSpare.empty()) {
            next = fSpare.back();
            fSpare.pop_back();
        }
    }
    if (!next) next = new char[BufferSize];
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fQueue.push_back({fBuffer, fUsed});
    }
    fChanged.notify_all();
    fHanded += fUsed;
    fBuffer = next;
    fUsed = 0;
}

void TFileStream::Drain() {
    std::unique_lock<std::mutex> lock(fMutex);
    fChanged.wait(lock, [&] { return fQueue.empty() && !fWriting; });
    if (fWriterError) RaiseWrite(fWriterError);
}

void TFileStream::StopWriter() {
    if (!fWriter.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(fMutex);
        fStopWriter = true;
    }
    fChanged.notify_all();
    fWriter.join();
}

void TFileStream::HandFull() {
    if (!fWriter.joinable()) {
        try {
            fWriter = std::thread([this] { WriterLoop(); });
        } catch (const std::system_error&) {
            FlushBuffer(); // no thread to be had: write it here
            return;
        }
    }
    Hand();
}

void TFileStream::FlushBuffer() {
    if (fWriter.joinable()) {
        if (fUsed > 0) Hand();
        Drain();
        return;
    }
    if (fUsed == 0) return;
    const size_t used = fUsed;
    // A failed flush drops the buffer, so that Close() does not write it twice.
    fUsed = 0;
    fHanded += used;
    WriteAll(fBuffer, used);
}

void TFileStream::Write(const void* data, size_t size) {
    if (fFd < 0) throw EStreamError("Cannot write file \"" + fPath + "\": the file is closed");
    if (size == 0) return;
    const char* p = static_cast<const char*>(data);
    if (size <= BufferSize - fUsed) {
        // Separators are single bytes; a store beats a call to memcpy.
        if (size == 1)
            fBuffer[fUsed] = *p;
        else
            std::memcpy(fBuffer + fUsed, p, size);
        fUsed += size;
        return;
    }
    if (size >= BufferSize) {
        // Straight through, after everything before it.
        FlushBuffer();
        fHanded += size;
        WriteAll(p, size);
        return;
    }
    HandFull();
    std::memcpy(fBuffer, p, size);
    fUsed = size;
}

void TFileStream::CheckOpen() const {
    if (fFd < 0) throw EStreamError("Cannot write file \"" + fPath + "\": the file is closed");
}

void TFileStream::Truncate(uint64_t size) {
    CheckOpen();
    if (!fRewritable) TStream::Truncate(size);
    if (size >= fHanded) {
        // Still in the buffer.
        fUsed = std::min<uint64_t>(fUsed, size - fHanded);
        return;
    }
    fUsed = 0;
    if (fWriter.joinable()) Drain(); // the writer idle before the file shrinks
    const off_t end = static_cast<off_t>(fBase + static_cast<int64_t>(size));
    int r;
    do {
        r = ::ftruncate(fFd, end);
    } while (r < 0 && errno == EINTR);
    if (r < 0 || ::lseek(fFd, end, SEEK_SET) < 0) RaiseWrite(errno);
    fHanded = size;
    fWritten = size;
    fWriteBackFrom = std::min(fWriteBackFrom, size);
}

void TFileStream::CopyTail(uint64_t offset, TStream& out) {
    CheckOpen();
    if (!fRewritable) TStream::CopyTail(offset, out);
    FlushBuffer();
    std::vector<char> chunk(BufferSize);
    for (uint64_t at = offset; at < fHanded;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), fHanded - at));
        const ssize_t n =
            ::pread(fFd, chunk.data(), want, static_cast<off_t>(fBase + static_cast<int64_t>(at)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw EStreamError("Cannot read back file \"" + fPath +
                               "\": " + std::strerror(n < 0 ? errno : EIO));
        out.Write(chunk.data(), static_cast<size_t>(n));
        at += static_cast<uint64_t>(n);
    }
}

void TFileStream::Sync() {
    if (fFd < 0) throw EStreamError("Cannot write file \"" + fPath + "\": the file is closed");
    FlushBuffer();
    int r;
    do {
        r = ::fsync(fFd);
    } while (r < 0 && errno == EINTR);
    // Devices and pipes cannot be synced; that is no loss of data.
    if (r < 0 && errno != EINVAL && errno != EROFS) RaiseWrite(errno);
}

void TFileStream::Close() {
    if (fFd < 0) return;
    const int fd = fFd;
    try {
        FlushBuffer();
    } catch (...) {
        StopWriter();
        fFd = -1;
        ::close(fd);
        throw;
    }
    StopWriter();
    fFd = -1;
    // On Linux the descriptor is gone even when close() reports EINTR.
    if (::close(fd) < 0 && errno != EINTR) RaiseWrite(errno);
}

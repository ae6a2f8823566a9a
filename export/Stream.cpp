#include "export/Stream.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>

void TMemoryStream::Write(const void* data, size_t size) {
    if (size == 0) return;
    fData.append(static_cast<const char*>(data), size);
}

TFileStream::TFileStream(const std::string& path) : fPath(path) {
    do {
        fFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fFd < 0 && errno == EINTR);
    if (fFd < 0) throw EStreamError("Cannot create file \"" + path + "\": " + std::strerror(errno));
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
}

TFileStream::~TFileStream() {
    if (fFd >= 0) {
        // Best effort: what was written so far stays readable; the error of a
        // failed flush is for Close() to report, not a destructor.
        try {
            FlushBuffer();
        } catch (...) {
        }
        ::close(fFd);
    }
    delete[] fBuffer;
}

void TFileStream::RaiseWrite(int error) const {
    throw EStreamError("Cannot write file \"" + fPath + "\": " + std::strerror(error));
}

void TFileStream::WriteAll(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fFd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseWrite(errno);
        }
        if (n == 0) RaiseWrite(ENOSPC); // no progress: never loop forever
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
}

void TFileStream::FlushBuffer() {
    if (fUsed == 0) return;
    const size_t used = fUsed;
    // A failed flush drops the buffer, so that Close() does not write it twice.
    fUsed = 0;
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
    FlushBuffer();
    if (size >= BufferSize) {
        WriteAll(p, size);
    } else {
        std::memcpy(fBuffer, p, size);
        fUsed = size;
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
        fFd = -1;
        ::close(fd);
        throw;
    }
    fFd = -1;
    // On Linux the descriptor is gone even when close() reports EINTR.
    if (::close(fd) < 0 && errno != EINTR) RaiseWrite(errno);
}

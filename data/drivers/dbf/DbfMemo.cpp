#include "data/drivers/dbf/DbfMemo.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/dbf/DbfBytes.h"
#include "data/platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
uint64_t BlocksFor(uint64_t bytes, uint32_t blockSize) {
    return (bytes + blockSize - 1) / blockSize;
}
} // namespace

void TDbfMemoFile::Bad(const std::string& what) const {
    throw EDatabaseError("Cannot read memo file \"" + fPath + "\": " + what);
}

void TDbfMemoFile::Open(const std::string& path, TDbfMemoKind kind) {
    Close();
    TMappedFile map(path);
    fPath = path;
    fKind = kind;
    fMap = std::move(map);
    const uint8_t* d = fMap.Data();
    const size_t size = fMap.Size();
    try {
        if (kind == mkFpt) {
            if (size < 512)
                Bad("the file is too short for a FoxPro memo file (" + std::to_string(size) +
                    " bytes)");
            fNextFree = DbfBe32(d);
            fBlockSize = static_cast<uint32_t>((d[6] << 8) | d[7]);
            if (fBlockSize == 0) Bad("the block size is 0");
        } else {
            if (size < 4)
                Bad("the file is too short for a dBase memo file (" + std::to_string(size) +
                    " bytes)");
            fNextFree = DbfLe32(d);
            fBlockSize = 512;
            if (kind == mkDbt4 && size >= 22) {
                uint32_t bs = static_cast<uint32_t>(d[20] | (d[21] << 8));
                if (bs >= 32) fBlockSize = bs;
            }
        }
    } catch (...) {
        Close();
        throw;
    }
}

void TDbfMemoFile::Close() {
    fMap.Close();
    fPath.clear();
    fNextFree = 0;
}

uint32_t TDbfMemoFile::FirstBlock(TDbfMemoKind kind, uint32_t blockSize) {
    if (kind == mkFpt) return static_cast<uint32_t>(BlocksFor(512, blockSize));
    return 1;
}

std::string_view TDbfMemoFile::View(uint32_t block) const {
    const uint8_t* d = fMap.Data();
    const uint64_t size = fMap.Size();
    if (block < FirstBlock(fKind, fBlockSize))
        Bad("block " + std::to_string(block) + " lies inside the header");
    const uint64_t off = static_cast<uint64_t>(block) * fBlockSize;
    if (off >= size) Bad("block " + std::to_string(block) + " lies beyond the end of the file");
    fMap.Passing(off);
    const char* base = reinterpret_cast<const char*>(d);
    if (fKind == mkFpt || (fKind == mkDbt4 && size - off >= 8 && d[off] == 0xFF &&
                           d[off + 1] == 0xFF && d[off + 2] == 0x08 && d[off + 3] == 0x00)) {
        if (size - off < 8) Bad("the value at block " + std::to_string(block) + " is cut off");
        uint64_t begin = off + 8, length;
        if (fKind == mkFpt) {
            length = DbfBe32(d + off + 4);
        } else {
            uint32_t stored = DbfLe32(d + off + 4);
            if (stored < 8)
                Bad("the value at block " + std::to_string(block) + " has an invalid length");
            length = stored - 8;
        }
        if (length > size - begin)
            Bad("the value at block " + std::to_string(block) + " claims " +
                std::to_string(length) + " bytes, beyond the end of the file");
        return std::string_view(base + begin, static_cast<size_t>(length));
    }
    // dBase III: the value runs to its end mark (or to the end of the file).
    const void* mark = std::memchr(base + off, 0x1A, static_cast<size_t>(size - off));
    uint64_t end = mark ? static_cast<uint64_t>(static_cast<const char*>(mark) - base) : size;
    return std::string_view(base + off, static_cast<size_t>(end - off));
}

bool TDbfMemoFile::EmptyAt(uint32_t block) const noexcept {
    const uint8_t* d = fMap.Data();
    const uint64_t size = fMap.Size();
    if (!d || block < FirstBlock(fKind, fBlockSize)) return false;
    const uint64_t off = static_cast<uint64_t>(block) * fBlockSize;
    if (off >= size) return false;
    fMap.Passing(off);
    if (fKind == mkFpt) return size - off >= 8 && DbfBe32(d + off + 4) == 0;
    if (fKind == mkDbt4 && size - off >= 8 && d[off] == 0xFF && d[off + 1] == 0xFF &&
        d[off + 2] == 0x08 && d[off + 3] == 0x00)
        return DbfLe32(d + off + 4) == 8;
    return d[off] == 0x1A;
}

std::string TDbfMemoFile::Header(TDbfMemoKind kind, uint32_t blockSize, uint32_t nextFree,
                                 std::string_view tableName) {
    std::string h(kind == mkFpt ? 512 : std::max<uint32_t>(blockSize, 512), '\0');
    uint8_t nf[4];
    EncodeNextFree(kind, nextFree, nf);
    std::memcpy(&h[0], nf, 4);
    if (kind == mkFpt) {
        h[6] = static_cast<char>((blockSize >> 8) & 0xFF);
        h[7] = static_cast<char>(blockSize & 0xFF);
    } else if (kind == mkDbt3) {
        h[16] = 0x03;
    } else {
        std::memcpy(&h[8], tableName.data(), std::min<size_t>(tableName.size(), 8));
        h[20] = static_cast<char>(blockSize & 0xFF);
        h[21] = static_cast<char>((blockSize >> 8) & 0xFF);
    }
    return h;
}

void TDbfMemoFile::EncodeNextFree(TDbfMemoKind kind, uint32_t nextFree, uint8_t out[4]) {
    char b[4];
    if (kind == mkFpt)
        DbfPutBe32(b, nextFree);
    else
        DbfPutLe32(b, nextFree);
    std::memcpy(out, b, 4);
}

void TDbfMemoFile::AppendBlocks(std::string& out, TDbfMemoKind kind, uint32_t blockSize,
                                std::string_view data, uint32_t fptType) {
    const size_t start = out.size();
    if (data.size() > 0xFFFFFFF0u) throw EDatabaseError("A memo value holds at most 4 GB");
    char head[8];
    switch (kind) {
    case mkDbt3:
        if (data.find('\x1A') != std::string_view::npos)
            throw EDatabaseError("A dBase III memo cannot hold the byte 0x1A");
        out.append(data);
        out.append("\x1A\x1A", 2);
        break;
    case mkDbt4:
        head[0] = head[1] = static_cast<char>(0xFF);
        head[2] = 0x08;
        head[3] = 0x00;
        // The length counts the eight header bytes. Readers that look for
        // an end mark instead of the length find 0x1F 0x1F after the value.
        DbfPutLe32(head + 4, static_cast<uint32_t>(data.size() + 8));
        out.append(head, 8);
        out.append(data);
        out.append("\x1F\x1F", 2);
        break;
    case mkFpt:
        DbfPutBe32(head, fptType);
        DbfPutBe32(head + 4, static_cast<uint32_t>(data.size()));
        out.append(head, 8);
        out.append(data);
        break;
    }
    size_t used = out.size() - start;
    out.append(static_cast<size_t>(BlocksFor(used, blockSize) * blockSize - used), '\0');
}

// ---- Appending in place ------------------------------------------------------

TDbfMemoAppender::TDbfMemoAppender(const TDbfMemoFile& memo)
    : fPath(memo.Path()), fKind(memo.Kind()), fBlockSize(memo.BlockSize()) {
    fFd = ::open(fPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fFd < 0) Fail("cannot open it for writing", errno);
    struct stat st;
    if (fstat(fFd, &st) != 0) Fail("cannot read its size", errno);
    fOldSize = static_cast<uint64_t>(st.st_size);
    if (pread(fFd, fOldHeader, 4, 0) != 4) Fail("cannot read its header", errno);
    // New values go after the end of the file: never over bytes that are
    // there, and never far behind them when the header's next-free number
    // points beyond the end.
    uint64_t first = std::max<uint64_t>(BlocksFor(fOldSize, fBlockSize),
                                        TDbfMemoFile::FirstBlock(fKind, fBlockSize));
    if (first >= 0xFFFFFFFFu) Fail("it is full", EFBIG);
    fFirstBlock = fNextBlock = static_cast<uint32_t>(first);
}

TDbfMemoAppender::~TDbfMemoAppender() {
    if (fFd >= 0) ::close(fFd);
}

void TDbfMemoAppender::Fail(const char* what, int err) const {
    throw EDatabaseError("Cannot write memo file \"" + fPath + "\": " + what + ": " +
                         std::strerror(err));
}

uint32_t TDbfMemoAppender::Store(std::string_view data, uint32_t fptType) {
    size_t before = fPending.size();
    TDbfMemoFile::AppendBlocks(fPending, fKind, fBlockSize, data, fptType);
    uint64_t blocks = (fPending.size() - before) / fBlockSize;
    if (fNextBlock + blocks >= 0xFFFFFFFFu) Fail("it is full", EFBIG);
    uint32_t block = fNextBlock;
    fNextBlock += static_cast<uint32_t>(blocks);
    return block;
}

void TDbfMemoAppender::WriteBlocks() {
    if (fPending.empty()) return;
    fTouched = true;
    uint64_t at = static_cast<uint64_t>(fFirstBlock) * fBlockSize;
    size_t done = 0;
    while (done < fPending.size()) {
        ssize_t n = pwrite(fFd, fPending.data() + done, fPending.size() - done,
                           static_cast<off_t>(at + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail("write failed", errno);
        }
        done += static_cast<size_t>(n);
    }
    if (fsync(fFd) != 0) Fail("cannot flush to disk", errno);
}

std::string TDbfMemoAppender::NextFreeBytes() const {
    uint8_t nf[4];
    TDbfMemoFile::EncodeNextFree(fKind, fNextBlock, nf);
    return std::string(reinterpret_cast<const char*>(nf), 4);
}

void TDbfMemoAppender::WriteHeader() {
    if (fPending.empty()) return;
    uint8_t nf[4];
    TDbfMemoFile::EncodeNextFree(fKind, fNextBlock, nf);
    fTouched = true;
    if (pwrite(fFd, nf, 4, 0) != 4) Fail("write failed", errno);
    if (fsync(fFd) != 0) Fail("cannot flush to disk", errno);
}

void TDbfMemoAppender::Rollback() noexcept {
    if (!fTouched || fFd < 0) return;
    if (pwrite(fFd, fOldHeader, 4, 0) == 4 && ftruncate(fFd, static_cast<off_t>(fOldSize)) == 0)
        (void)fsync(fFd);
    fTouched = false;
}

// ---- New memo files --------------------------------------------------------------

TDbfMemoStream::TDbfMemoStream(TAtomicFile& file, TDbfMemoKind kind, uint32_t blockSize,
                               std::string_view tableName)
    : fFile(file), fKind(kind), fBlockSize(blockSize) {
    std::string header = TDbfMemoFile::Header(kind, blockSize, 0, tableName);
    fFile.Write(header);
    fNextBlock = static_cast<uint32_t>(BlocksFor(header.size(), blockSize));
}

uint32_t TDbfMemoStream::Store(std::string_view data, uint32_t fptType) {
    fScratch.clear();
    TDbfMemoFile::AppendBlocks(fScratch, fKind, fBlockSize, data, fptType);
    uint64_t blocks = fScratch.size() / fBlockSize;
    if (fNextBlock + blocks >= 0xFFFFFFFFu) throw EDatabaseError("The memo file is full");
    fFile.Write(fScratch);
    uint32_t block = fNextBlock;
    fNextBlock += static_cast<uint32_t>(blocks);
    return block;
}

void TDbfMemoStream::Finish() {
    uint8_t nf[4];
    TDbfMemoFile::EncodeNextFree(fKind, fNextBlock, nf);
    fFile.WriteAt(0, nf, 4);
}

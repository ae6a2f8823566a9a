#pragma once

#include "data/platform/MappedFile.h"

#include <cstdint>
#include <string>
#include <string_view>

class TAtomicFile;

// The memo files beside a table: .dbt of dBase III (values ended by 0x1A),
// .dbt of dBase IV and later (blocks with a length header) and .fpt of
// FoxPro (big-endian block header with a type and a length).
enum TDbfMemoKind : int { mkDbt3, mkDbt4, mkFpt };

// FoxPro block types.
enum TFptBlockType : uint32_t { fbPicture = 0, fbText = 1, fbObject = 2 };

// Receives the memo values of a record being written and tells the block
// number each one gets.
class TDbfMemoSink {
public:
    virtual ~TDbfMemoSink() = default;
    virtual uint32_t Store(std::string_view data, uint32_t fptType) = 0;
};

// A memo file mapped for reading. Every block number and length is checked
// against the file before it is read.
class TDbfMemoFile {
public:
    // Raises EDatabaseError naming the file when it cannot be read or its
    // header makes no sense.
    void Open(const std::string& path, TDbfMemoKind kind);
    void Close();
    bool IsOpen() const { return !fPath.empty(); }
    const std::string& Path() const { return fPath; }
    TDbfMemoKind Kind() const { return fKind; }
    uint32_t BlockSize() const { return fBlockSize; }
    uint32_t NextFree() const { return fNextFree; }
    uint64_t Size() const { return fMap.Size(); }

    // The bytes of the value at `block`, pointing into the mapped file
    // (valid until the file is closed). Raises naming the file and the block
    // when the block or its length lies outside the file.
    std::string_view View(uint32_t block) const;
    // Whether the value at `block` is empty, from the block's header alone;
    // false also when the block cannot be read (View says why).
    bool EmptyAt(uint32_t block) const noexcept;
    // Raises when another program cut the file short or rewrote it while
    // it was read (see TMappedFile).
    void CheckIntact() const { fMap.CheckIntact("memo file"); }

    static uint32_t DefaultBlockSize(TDbfMemoKind kind) { return kind == mkFpt ? 64 : 512; }
    // The first block a value may take (the header takes the ones before).
    static uint32_t FirstBlock(TDbfMemoKind kind, uint32_t blockSize);
    // The header of a memo file (one block, or 512 bytes for .fpt).
    static std::string Header(TDbfMemoKind kind, uint32_t blockSize, uint32_t nextFree,
                              std::string_view tableName);
    // The next-free-block number as the header stores it (4 bytes at 0).
    static void EncodeNextFree(TDbfMemoKind kind, uint32_t nextFree, uint8_t out[4]);
    // One value as it is stored: header, data, end mark, padded to whole blocks.
    static void AppendBlocks(std::string& out, TDbfMemoKind kind, uint32_t blockSize,
                             std::string_view data, uint32_t fptType);

private:
    [[noreturn]] void Bad(const std::string& what) const;
    TMappedFile fMap;
    std::string fPath;
    TDbfMemoKind fKind = mkDbt3;
    uint32_t fBlockSize = 512;
    uint32_t fNextFree = 0;
};

// Appends values to an existing memo file in place. Blocks go after the
// end of the file, where the table as it stands refers to nothing, so the
// old table stays whole whatever happens; the header's next-free number
// is written only once the blocks are on disk, and Rollback puts the file
// back as it was.
class TDbfMemoAppender : public TDbfMemoSink {
public:
    explicit TDbfMemoAppender(const TDbfMemoFile& memo);
    ~TDbfMemoAppender() override;
    TDbfMemoAppender(const TDbfMemoAppender&) = delete;
    TDbfMemoAppender& operator=(const TDbfMemoAppender&) = delete;

    uint32_t Store(std::string_view data, uint32_t fptType) override;
    bool Empty() const { return fPending.empty(); }
    // For a journaled write that does the writing itself: the blocks, where
    // they go, the header's new next-free bytes and the descriptor.
    const std::string& Pending() const { return fPending; }
    uint64_t PendingOffset() const { return static_cast<uint64_t>(fFirstBlock) * fBlockSize; }
    std::string NextFreeBytes() const;
    int Descriptor() const { return fFd; }
    const std::string& Path() const { return fPath; }
    // Writes the blocks and syncs them; then the header. Raise on failure.
    void WriteBlocks();
    void WriteHeader();
    // Restores the old header and length (best effort; never raises).
    void Rollback() noexcept;

private:
    [[noreturn]] void Fail(const char* what, int err) const;
    std::string fPath;
    TDbfMemoKind fKind;
    uint32_t fBlockSize;
    int fFd = -1;
    uint64_t fOldSize = 0;
    uint8_t fOldHeader[4] = {0, 0, 0, 0};
    uint32_t fFirstBlock = 0;
    uint32_t fNextBlock = 0;
    std::string fPending;
    bool fTouched = false;
};

// Writes the memo file of a new table into a TAtomicFile.
class TDbfMemoStream : public TDbfMemoSink {
public:
    TDbfMemoStream(TAtomicFile& file, TDbfMemoKind kind, uint32_t blockSize,
                   std::string_view tableName);
    uint32_t Store(std::string_view data, uint32_t fptType) override;
    // Writes the final next-free number into the header.
    void Finish();

private:
    TAtomicFile& fFile;
    TDbfMemoKind fKind;
    uint32_t fBlockSize;
    uint32_t fNextBlock;
    std::string fScratch;
};

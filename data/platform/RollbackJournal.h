#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// Changes a table's files in place so that a crash at any moment leaves the
// old table or the new one. Before the first byte is touched, the old bytes
// of every region about to change (and each file's old size) go into a
// journal beside the table, which is synced with its folder; the files are
// then written and synced, and only then is the journal removed. Whoever
// finds a journal opens the table rolls it back first. A journal that was
// never completed (torn by a crash while it was written) fails its
// checksum and is removed: the table was not touched yet.
//
// The journal is "<table>-journal": a header (magic, version, the files
// with their old sizes), the saved regions, then an FNV-1a checksum of all
// that and the journal's length.
class TRollbackJournal {
public:
    explicit TRollbackJournal(std::string tablePath);
    ~TRollbackJournal();
    TRollbackJournal(const TRollbackJournal&) = delete;
    TRollbackJournal& operator=(const TRollbackJournal&) = delete;

    static std::string PathFor(const std::string& tablePath);

    // A file of the table that takes part (the table itself first), through
    // a descriptor open for reading and writing that the caller keeps open.
    size_t AddFile(const std::string& path, int fd);
    // Likewise, opened here for reading and writing and closed with the journal.
    size_t AddFile(const std::string& path);
    // Bytes to be written at an offset of a file (at or behind its end grows it).
    void Write(size_t file, uint64_t offset, std::string_view bytes);
    // A file's content `now` over what it holds (`old`, from offset 0): only
    // the runs of bytes that differ are written, and what `now` adds.
    void WriteChanged(size_t file, std::string_view old, std::string_view now);
    bool Empty() const { return fWrites.empty(); }

    // Journals, writes, syncs and removes the journal. On failure the files
    // are put back as they were and EDatabaseError names the table; should
    // that fail as well, the journal stays for the next open.
    void Commit();

    enum TRecovery { rcNone, rcRolledBack, rcDiscarded };
    // Rolls back the change a journal beside the table records, or removes
    // a torn one. The caller holds the table's write lock. Raises when a
    // valid journal cannot be applied (the table stays unreadable then).
    static TRecovery Recover(const std::string& tablePath);
    // The warning an open gives for a recovery; empty for rcNone.
    static std::string RecoveryMessage(const std::string& tablePath, TRecovery what);

    // For tests: each write and sync of Commit counts as one step, from 1;
    // at step `step` the hook is called (it may raise, to fail the step as
    // a full disk would, or end the process, as a crash would). 0 or a null
    // hook: none.
    static void SetStepHook(int step, void (*hook)(int step));
    // The steps the last Commit went through.
    static int StepsTaken();

private:
    struct TFile {
        std::string Path;
        int Fd;
        uint64_t OldSize;
        uint64_t NewSize;
        timespec OldTime; // of the last change before this one
        bool Owned;       // opened by AddFile(path), closed with the journal
    };
    struct TWrite {
        size_t File;
        uint64_t Offset;
        std::string Bytes;
        std::string Old; // what is there now, up to the old end of the file
    };
    [[noreturn]] void Fail(const std::string& what, int err) const;
    void Step();
    bool Restore() noexcept;
    std::string Serialize() const;

    std::string fTable;
    std::string fJournal;
    std::vector<TFile> fFiles;
    std::vector<TWrite> fWrites;
    int fSteps = 0;
};

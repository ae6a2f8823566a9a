#pragma once

#include "export/Clipboard.h"
#include "export/Stream.h"
#include "export/view/DBGridCellParams.h"
#include "export/view/TableView.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

enum TRecordRange : int { rrAll = 0, rrSelected = 1, rrToFirst = 2, rrToLast = 3 };

class TKXExport;
class TReadAhead;
using TExportNotifyEvent = std::function<void(TKXExport& sender)>;

// The exported columns, in output order: field name and label pairs. An
// entry that BuildMappings made from a grid column stands for that column,
// so that two fields of one name, or one field in two columns, each give
// their own cells; an entry given by name alone stands for the first column
// of that name.
class TMappings {
public:
    int Count() const { return static_cast<int>(fItems.size()); }
    bool Empty() const { return fItems.empty(); }
    const std::string& Names(int i) const { return fItems.at(static_cast<size_t>(i)).Name; }
    const std::string& ValueFromIndex(int i) const {
        return fItems.at(static_cast<size_t>(i)).Value;
    }
    void SetValueFromIndex(int i, std::string v) {
        fItems.at(static_cast<size_t>(i)).Value = std::move(v);
    }
    // The index of the grid column the entry was made from, or -1.
    int ColumnOf(int i) const { return fItems.at(static_cast<size_t>(i)).Column; }
    // "Name=Value" in one text; a text without "=" is a name with an empty value.
    void Add(const std::string& entry);
    void Add(std::string name, std::string value, int column = -1);
    int IndexOfName(const std::string& name) const;    // exact, -1 when missing
    std::string Values(const std::string& name) const; // empty when missing
    void Clear() { fItems.clear(); }
    bool operator==(const TMappings&) const = default;

private:
    struct TEntry {
        std::string Name;
        std::string Value;
        int Column = -1;
        bool operator==(const TEntry&) const = default;
    };
    std::vector<TEntry> fItems;
};

// The base of the writers: which records are visited and in which order,
// when to stop, how records share a line, how each cell is gathered, and
// the targets (stream, file, clipboard). A writer adds the format.
class TKXExport {
public:
    TKXExport();
    virtual ~TKXExport();
    TKXExport(const TKXExport&) = delete;
    TKXExport& operator=(const TKXExport&) = delete;

    // Copies range, mappings, records per line, titles and memo setting.
    virtual void Assign(const TKXExport& source);

    TTableView* Grid() const { return fGrid; }
    void SetGrid(TTableView* grid) {
        fGrid = grid;
        fViewCellsFromColumns = -1;
    }

    TRecordRange RecordRange() const { return fRecordRange; }
    void SetRecordRange(TRecordRange v) { fRecordRange = v; }
    int DestCols() const { return fDestCols; }
    void SetDestCols(int v) { fDestCols = v <= 0 ? 1 : v; }
    bool NeedTitle() const { return fNeedTitle; }
    void SetNeedTitle(bool v) { fNeedTitle = v; }
    bool IncludeMemo() const { return fIncludeMemo; }
    void SetIncludeMemo(bool v) { fIncludeMemo = v; }
    int MaxRows() const { return fMaxRows; }
    void SetMaxRows(int v) { fMaxRows = v; }
    const TMappings& Mappings() const { return fMappings; }
    TMappings& Mappings() { return fMappings; }
    // Copies the entries, then completes them through BuildMappings.
    void SetMappings(const TMappings& v);

    bool Exporting() const { return fExporting; }
    // Ends the walk after the record being written.
    void Stop() { fExporting = false; }
    int WrittenCount() const { return fWrittenCount; }
    const std::string& FileName() const { return fFileName; }

    TExportNotifyEvent BeforeWriteTable;
    TExportNotifyEvent AfterWriteRow;
    TExportNotifyEvent AfterWriteTable;

    virtual void BuildMappings();
    virtual void ExportToStream(TStream& stream);
    // Writes the document beside Path and puts it in Path's place only when
    // the export succeeded; after a failure the file that stood there is
    // untouched and what was written is kept as Path + ".partial" (see
    // TAtomicFile::PartialName for names too long for that), except when
    // the disk is full: then it is removed. Refused before anything is
    // written: a file of the open table (under any name), a folder, a file
    // this user may not write. A link is written through; a device, a pipe
    // or a socket is written in place, as is a writable file in a folder
    // this user cannot write (as the shell's ">" does); FileName() is empty
    // for a destination that is not a file of its own name.
    virtual void ExportToFile(const std::string& path);
    virtual void ExportToClipboard(TClipboard& clipboard = Clipboard());

protected:
    virtual void WriteHeader() {}
    virtual void WriteFooter() {}
    virtual void WriteTitle() {}
    virtual void WriteRecord();
    virtual void WriteCell(TColumn& column) { (void)column; }

    // The writers gather a record's cells in one buffer and write it whole.
    // GatherRecord runs the record's cells with InRecord() true and clears
    // `record` when one fails, so that no part of a record is written; a
    // cell outside a record (a filler that completes the last line) is
    // written on its own.
    void GatherRecord(std::string& record);
    bool InRecord() const { return fInRecord; }

    void Write(std::string_view text) {
        if (!fStream) RaiseNoStream();
        fStream->Write(text.data(), text.size());
    }
    void WriteLn(std::string_view text);

    // The grid column of a mapping entry: the one it was made from while
    // that column still shows its field, else the first of its field name.
    // Raises when there is none.
    TColumn& MappedColumn(int entry) { return fGrid->Column(ResolveColumn(entry)); }
    int MappedColumnIndex(int entry) { return ResolveColumn(entry); }

    // The step of ExportToFile that fills the new file: `file` writes to it,
    // `tempPath` names it (empty when the destination is written in place,
    // a device or a pipe). The default runs ExportToStream on `file`; a
    // writer whose library writes files by name writes `tempPath` instead
    // and leaves `file` unwritten. ExportToFile then syncs the file and puts
    // it in place.
    virtual void ExportIntoFile(TFileStream& file, const std::string& tempPath);

    // Files a writer puts beside the document (the HTML writer's pictures)
    // go in place with it: CommitCompanions calls putDocument, the
    // document's own rename, at the moment of its choice; after a failure
    // DiscardCompanions removes what the export had begun beside it.
    virtual void CommitCompanions(const std::function<void()>& putDocument);
    virtual void DiscardCompanions() {}

    // For a writer that uses nothing of a cell but its text: whether that
    // is all WriteRecord would give. Without an OnGetCellParams handler the
    // view's own GetCellParams only sets the picture kind; a view of another
    // class may change the texts in its own.
    bool CellTextsOnly() {
        if (!fGrid || fGrid->OnGetCellParams) return false;
        // Asked once per export and view: the answer is the view's class's,
        // and comparing classes costs a string comparison.
        if (fViewCellsFromColumns < 0) fViewCellsFromColumns = fGrid->CellsFromColumns() ? 1 : 0;
        return fViewCellsFromColumns == 1;
    }
    // WriteRecord for such a writer, without the per-cell parameters: the
    // texts of the current record's cells, each put after `separator`, but
    // the first while `first` is set (it is then cleared); the record is
    // counted as WriteRecord counts it. The texts go into `line` from
    // `used` on (see PutBytes); returns the bytes used then.
    size_t PutRecordTexts(std::string& line, size_t used, std::string_view separator, bool& first);
    // The same for a record read ahead whole with its texts joined by
    // `separator`: those texts as one span, valid until the walk moves on,
    // and the record counted. False when the record is to be put cell by
    // cell (PutRecordTexts), and nothing is counted.
    bool TakeJoinedRecord(std::string_view separator, std::string_view& out);
    // What such a writer puts between cells: the reader ahead joins each
    // record's texts with it, so that a record is put at once.
    void SetCellJoiner(std::string v) { fCellJoiner = std::move(v); }
    // A record's bytes go into a buffer kept at its full length, of which
    // `used` bytes are taken: no bookkeeping of the string's own per put.
    static size_t PutBytes(std::string& line, size_t used, std::string_view bytes) {
        const size_t n = bytes.size();
        if (n > line.size() - used) line.resize(std::max(2 * line.size(), used + n + 256));
        char* out = line.data() + used;
        // Cells are short: a few word copies instead of a call.
        if (n >= 16) {
            std::memcpy(out, bytes.data(), n);
        } else if (n >= 8) {
            std::memcpy(out, bytes.data(), 8);
            std::memcpy(out + n - 8, bytes.data() + n - 8, 8);
        } else if (n >= 4) {
            std::memcpy(out, bytes.data(), 4);
            std::memcpy(out + n - 4, bytes.data() + n - 4, 4);
        } else if (n > 0) {
            out[0] = bytes[0];
            out[n / 2] = bytes[n / 2];
            out[n - 1] = bytes[n - 1];
        }
        return used + n;
    }

    TDBGridCellParams& CellParams() { return fCellParams; }
    TStream* Stream() const { return fStream; }
    void SetFileName(std::string v) { fFileName = std::move(v); }
    // For a writer that walks the records itself instead of through
    // ExportToStream (the XLS writer's automation path).
    void SetExporting(bool v) {
        if (v && !fExporting) fColumnIndex.clear();
        fExporting = v;
    }
    void SetWrittenCount(int v) { fWrittenCount = v; }

private:
    TDataSet& ActiveDataSet() const;
    void RecordStep();
    bool StopTest() const;
    // Per cell: the lookup is made once per export (FindColumn).
    int ResolveColumn(int entry) {
        const auto slot = static_cast<size_t>(entry);
        if (fExporting && slot < fColumnIndex.size() && fColumnIndex[slot] >= 0)
            return fColumnIndex[slot];
        return FindColumn(entry);
    }
    int FindColumn(int entry);
    [[noreturn]] static void RaiseNoStream();
    // For a forward walk: the cells' texts formatted ahead on another thread.
    std::unique_ptr<TReadAhead> StartReadAhead(TDataSet& ds);

    TDBGridCellParams fCellParams;
    TRecordRange fRecordRange = rrAll;
    TTableView* fGrid = nullptr;
    int8_t fViewCellsFromColumns = -1; // fGrid->CellsFromColumns(), once asked
    TMappings fMappings;
    std::string fFileName;
    int fDestCols = 1;
    bool fNeedTitle = true;
    bool fIncludeMemo = false;
    bool fExporting = false;
    bool fInRecord = false;
    int fWrittenCount = 0;
    int fMaxRows = -1;
    TStream* fStream = nullptr;
    TFont fRecordFont;                // the per-record copy of a column's font, for handlers
    TReadAhead* fReadAhead = nullptr; // while a forward walk runs
    TValue fKnownValue;               // a cell's value as the reader ahead gave it
    std::string fCellText;            // a cell's text that was not read ahead
    std::string fCellJoiner;
    bool fAheadMemo = false; // a memo's placeholder is read ahead
    // Per mapping entry, the grid column found for it while the walk runs,
    // so that a cell costs no column search.
    std::vector<int> fColumnIndex;
};

#include "export/KXExport.h"

#include "data/base/DatabaseError.h"
#include "data/base/Unicode.h"
#include "data/dataset/ReadAhead.h"
#include "data/platform/AtomicFile.h"
#include "data/platform/SignalCleanup.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>

// --- TMappings --------------------------------------------------------------

void TMappings::Add(const std::string& entry) {
    const size_t eq = entry.find('=');
    if (eq == std::string::npos)
        Add(entry, std::string());
    else
        Add(entry.substr(0, eq), entry.substr(eq + 1));
}

void TMappings::Add(std::string name, std::string value, int column) {
    fItems.push_back({std::move(name), std::move(value), column});
}

int TMappings::IndexOfName(const std::string& name) const {
    for (size_t i = 0; i < fItems.size(); ++i)
        if (fItems[i].Name == name) return static_cast<int>(i);
    return -1;
}

std::string TMappings::Values(const std::string& name) const {
    const int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

// --- TKXExport --------------------------------------------------------------

TKXExport::TKXExport() = default;
TKXExport::~TKXExport() = default;

void TKXExport::Assign(const TKXExport& source) {
    if (&source == this) return;
    fRecordRange = source.fRecordRange;
    fMappings = source.fMappings;
    fDestCols = source.fDestCols;
    fNeedTitle = source.fNeedTitle;
    fIncludeMemo = source.fIncludeMemo;
}

void TKXExport::SetMappings(const TMappings& v) {
    if (&v != &fMappings) fMappings = v;
    BuildMappings();
}

void TKXExport::BuildMappings() {
    if (!fMappings.Empty()) return;
    fMappings.Clear();
    if (!fGrid) return;
    TDataSet* ds = fGrid->DataSet();
    if (!ds || !ds->Active()) return;
    for (int i = 0; i < fGrid->ColumnCount(); ++i) {
        const TColumn& col = fGrid->Column(i);
        if (col.Visible()) fMappings.Add(col.FieldName(), col.TitleCaption(), i);
    }
}

void TKXExport::GatherRecord(std::string& record) {
    fInRecord = true;
    try {
        TKXExport::WriteRecord();
    } catch (...) {
        fInRecord = false;
        record.clear();
        throw;
    }
    fInRecord = false;
}

void TKXExport::RaiseNoStream() {
    throw EStreamError("No export is running: there is no stream to write to");
}

void TKXExport::WriteLn(std::string_view text) {
    Write(text);
    Write("\r\n");
}

void TKXExport::RecordStep() {
    WriteRecord();
    if (AfterWriteRow) AfterWriteRow(*this);
}

bool TKXExport::StopTest() const {
    return !fExporting || (fMaxRows > 0 && fWrittenCount == fMaxRows);
}

// Without a view over an open dataset there is nothing to walk; say so
// instead of writing a document that pretends to be an export.
TDataSet& TKXExport::ActiveDataSet() const {
    if (!fGrid) throw EDatabaseError("Cannot export: no grid is assigned");
    TDataSet* ds = fGrid->DataSet();
    if (!ds || !ds->Active()) throw EDatabaseError("Cannot export: the grid has no open dataset");
    return *ds;
}

void TKXExport::ExportToStream(TStream& stream) {
    TDataSet& ds = ActiveDataSet();

    fStream = &stream;
    fColumnIndex.clear();
    fViewCellsFromColumns = -1;
    ds.DisableControls();
    try {
        fGrid->SavePosition();
    } catch (...) {
        ds.EnableControls();
        throw;
    }
    fWrittenCount = 0;
    fExporting = true;

    try {
        WriteHeader();
        if (fNeedTitle && (fGrid->Options() & dgTitles) != 0) WriteTitle();
        if (fMaxRows != 0) {
            switch (fRecordRange) {
            case rrAll:
            case rrToLast: {
                if (fRecordRange == rrAll) ds.First();
                std::unique_ptr<TReadAhead> ahead = StartReadAhead(ds);
                fReadAhead = ahead.get();
                while (!ds.Eof()) {
                    RecordStep();
                    if (StopTest()) break;
                    ds.Next();
                }
                fReadAhead = nullptr;
                break;
            }
            case rrToFirst:
                ds.Last();
                while (!ds.Bof()) {
                    RecordStep();
                    if (StopTest()) break;
                    ds.Prior();
                }
                break;
            case rrSelected: {
                const TBookmarkList& selected = fGrid->SelectedRows();
                if (selected.Count() > 0) {
                    std::string bookmark;
                    // Count is read each time: AfterWriteRow may change the list.
                    for (int i = 0; i < selected.Count(); ++i) {
                        bookmark = selected[i];
                        if (!ds.BookmarkValid(bookmark)) continue;
                        ds.SetBookmark(bookmark);
                        RecordStep();
                        if (StopTest()) break;
                    }
                } else if (!ds.IsEmpty()) {
                    // An empty table has no current record to stand in.
                    WriteRecord();
                }
                break;
            }
            }
        }
        // Another program may have cut the table short or rewritten it while
        // the walk read it: such a document must not pass for an export.
        ds.CheckUnchanged();
    } catch (...) {
        fReadAhead = nullptr;
        // The error that stopped the walk is the one the caller must see; a
        // second one while putting the view back is dropped.
        fExporting = false;
        try {
            fGrid->RestorePosition();
        } catch (...) {
        }
        try {
            ds.EnableControls();
        } catch (...) {
        }
        throw;
    }

    fExporting = false;
    try {
        fGrid->RestorePosition();
    } catch (...) {
        ds.EnableControls();
        throw;
    }
    ds.EnableControls();
    WriteFooter();
}

// The columns are looked up once per export: neither the grid's layout nor
// the mapping list may change while the walk runs. Outside an export every
// call looks again.
int TKXExport::FindColumn(int entry) {
    const auto slot = static_cast<size_t>(entry);
    const std::string& name = fMappings.Names(entry);
    const int made = fMappings.ColumnOf(entry);
    const int index =
        made >= 0 && made < fGrid->ColumnCount() && fGrid->Column(made).FieldName() == name
            ? made
            : fGrid->FindColumn(name);
    if (index < 0) throw EDatabaseError("Field '" + name + "' is not a column of the grid");
    if (fExporting) {
        if (fColumnIndex.size() != static_cast<size_t>(fMappings.Count()))
            fColumnIndex.assign(static_cast<size_t>(fMappings.Count()), -1);
        fColumnIndex[slot] = index;
    }
    return index;
}

std::unique_ptr<TReadAhead> TKXExport::StartReadAhead(TDataSet& ds) {
    std::vector<const TField*> fields;
    fAheadMemo = false;
    try {
        for (int i = 0; i < fMappings.Count(); ++i) {
            const TField* f = fGrid->Column(ResolveColumn(i)).Field();
            fields.push_back(f && !(f->DataType() == ftMemo && fIncludeMemo) ? f : nullptr);
            fAheadMemo = fAheadMemo || (fields.back() && f->DataType() == ftMemo);
        }
    } catch (const EDatabaseError&) {
        return nullptr; // the walk meets the missing column and reports it
    }
    auto ahead = std::make_unique<TReadAhead>(ds, std::move(fields), fCellJoiner);
    if (!ahead->Active()) ahead.reset();
    return ahead;
}

void TKXExport::WriteRecord() {
    if (!fGrid) throw EDatabaseError("Cannot export: no grid is assigned");
    TDBGridCellParams& params = fCellParams;
    const int count = fMappings.Count();
    // A handler may change the column's font while it looks at the cell;
    // without one the column's own font serves as it is.
    const bool handler = static_cast<bool>(fGrid->OnGetCellParams);
    for (int i = 0; i < count; ++i) {
        TColumn& column = fGrid->Column(ResolveColumn(i));
        if (handler) {
            fRecordFont = column.Font();
            params.Font = &fRecordFont;
        } else {
            params.Font = &column.Font();
        }
        params.State = 0;
        params.Background = column.Color();
        params.Alignment = column.Alignment();
        const TValue* known = nullptr;
        if (const TField* field = column.Field()) {
            const auto slot = static_cast<size_t>(i);
            if (field->DataType() == ftMemo && fIncludeMemo)
                field->GetAsString(params.Text);
            else if (fReadAhead && fReadAhead->Take(slot, *field, params.Text))
                known = fReadAhead->TakenBoolean(slot, fKnownValue) ? &fKnownValue : nullptr;
            else
                field->GetDisplayText(params.Text);
        } else {
            params.Text.clear();
        }
        fGrid->GetCellParams(column, params, known);
        if (!fExporting && fWrittenCount % fDestCols != 0) params.Text.clear();
        WriteCell(column);
    }
    if (fExporting || fWrittenCount % fDestCols == 0) ++fWrittenCount;
}

bool TKXExport::TakeJoinedRecord(std::string_view separator, std::string_view& out) {
    // Read ahead whole, as this walk joins it. The columns stay as they
    // were while the walk runs, and so do their fields while the reader is
    // active; a memo read ahead for its placeholder needs its text now if
    // IncludeMemo was set since. Filler cells (after the walk, completing a
    // line) are not read ahead.
    if (!fGrid || !fExporting || !fReadAhead || fMappings.Count() == 0 ||
        (fAheadMemo && fIncludeMemo) || !fReadAhead->Row() || !fReadAhead->Joined(separator, out))
        return false;
    ++fWrittenCount;
    return true;
}

size_t TKXExport::PutRecordTexts(std::string& line, size_t used, std::string_view separator,
                                 bool& first) {
    if (!fGrid) throw EDatabaseError("Cannot export: no grid is assigned");
    const int count = fMappings.Count();
    // A filler cell (after the walk, completing a line) is written empty.
    const bool filler = !fExporting && fWrittenCount % fDestCols != 0;
    std::string_view joined;
    if (TakeJoinedRecord(separator, joined)) {
        if (first)
            first = false;
        else
            used = PutBytes(line, used, separator);
        return PutBytes(line, used, joined);
    }
    // The record read ahead is found once, not per cell.
    const bool ahead = fReadAhead && fReadAhead->Row();
    for (int i = 0; i < count; ++i) {
        const TColumn& column = fGrid->Column(ResolveColumn(i));
        const auto slot = static_cast<size_t>(i);
        std::string_view text;
        if (const TField* field = column.Field()) {
            if (field->DataType() == ftMemo && fIncludeMemo) {
                field->GetAsString(fCellText);
                text = fCellText;
            } else if (ahead && fReadAhead->Takes(slot, *field)) {
                text = fReadAhead->RowText(slot);
            } else {
                field->GetDisplayText(fCellText);
                text = fCellText;
            }
        }
        if (first)
            first = false;
        else
            used = PutBytes(line, used, separator);
        if (!filler) used = PutBytes(line, used, text);
    }
    if (fExporting || fWrittenCount % fDestCols == 0) ++fWrittenCount;
    return used;
}

namespace {
void RaiseStreamError(const std::string& message, int error) {
    throw EStreamError(message, error);
}

int ErrorNumberOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const EStreamError& e) {
        return e.Error();
    } catch (...) {
    }
    return 0;
}

std::string MessageOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return std::string();
}
} // namespace

void TKXExport::CommitCompanions(const std::function<void()>& putDocument) {
    putDocument();
}

void TKXExport::ExportIntoFile(TFileStream& file, const std::string& tempPath) {
    (void)tempPath;
    ExportToStream(file);
}

void TKXExport::ExportToFile(const std::string& path) {
    // Nothing is created for an export that cannot run, or that would write
    // over the table it reads.
    TDataSet& ds = ActiveDataSet();
    const std::string own = ds.TableFileNamedBy(path);
    if (!own.empty())
        throw EStreamError("Cannot export to \"" + path + "\": it is a file of the open table (\"" +
                               own + "\"), which the document would destroy",
                           EEXIST);
    TAtomicFile::TOptions options;
    options.InPlace = true;
    options.KeepPartial = true;
    options.Noun = "file";
    options.Raise = RaiseStreamError;
    TAtomicFile out(path, options);
    if (!out.PartialPath().empty() && !ds.TableFileNamedBy(out.PartialPath()).empty())
        out.KeepNoPartial();
    // Files that belong beside the document go beside a file of its own
    // name only, never beside a device or a pipe.
    SetFileName(out.RegularFile() ? path : std::string());
    std::unique_ptr<TFileStream> file;
    try {
        file = std::make_unique<TFileStream>(out.Descriptor(), path);
        out.ReleaseDescriptor();
        ExportIntoFile(*file, out.InPlace() ? std::string() : out.TempPath());
        fStream = nullptr;
        // On disk before it takes the old file's place, so that a crash
        // cannot leave an empty file where a good one stood.
        file->Sync();
        file->Close();
        file.reset();
        TSignalCleanup::TDefer together; // the document and its pictures
        CommitCompanions([&out] { out.Commit(); });
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        fStream = nullptr;
        if (file) {
            try {
                file->Close();
            } catch (...) {
            }
            file.reset();
        }
        try {
            DiscardCompanions();
        } catch (...) {
        }
        // A full disk is not left full: the unfinished document goes.
        const int number = ErrorNumberOf(error);
        const bool full = number == ENOSPC || number == EDQUOT;
        out.Discard(!full);
        SetFileName(std::string());
        if (full && !out.InPlace())
            throw EStreamError(MessageOf(error) +
                                   "; the unfinished document was removed to free the space",
                               number);
        std::rethrow_exception(error);
    }
    SetFileName(std::string());
}

static std::string Utf16LEBytes(const std::u16string& text) {
    std::string bytes;
    bytes.resize(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return bytes;
}

void TKXExport::ExportToClipboard(TClipboard& clipboard) {
    clipboard.Open();
    try {
        TMemoryStream stream;
        ExportToStream(stream);
        fStream = nullptr;
        stream.Write("\0", 1);
        clipboard.SetAsHandle(CF_TEXT, stream.Data());
        if (clipboard.WantsUnicodeText())
            clipboard.SetAsHandle(CF_UNICODETEXT, Utf16LEBytes(Utf8ToUtf16(stream.Data())));
    } catch (...) {
        fStream = nullptr;
        try {
            clipboard.Close();
        } catch (...) {
        }
        throw;
    }
    clipboard.Close();
}

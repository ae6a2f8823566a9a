#pragma once

#include "data/drivers/FileTableDriver.h"
#include "data/drivers/RecordSlots.h"
#include "data/drivers/text/DelimitedTableWriter.h"
#include "data/drivers/text/TextSchema.h"
#include "data/drivers/text/TextTypeGuess.h"
#include "data/platform/CodePage.h"
#include "data/platform/MappedFile.h"

#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

// Delimited text tables (.csv, .txt, .asc, .tab), and .txt tables that a
// schema file (.sch) beside them describes.
//
// Without a schema the first line names the fields; the separator is a
// comma, or what that line shows (a tab, else a semicolon, else a bar)
// when it has no comma; a .tab file is tab-separated. Values may be
// enclosed in double quotes, with doubled quotes and line breaks inside.
// Lines end in CR LF, LF or CR; empty lines are skipped. Field types are
// guessed from every value (see TTextTypeGuess); string fields are as wide
// as their longest value. The code page: the one the user forces
// (SetForcedCodePage), else UTF-8 after a UTF-8 byte-order mark, UTF-16
// after a UTF-16 one (or without one when every other byte of the first
// block is zero), else the schema's CHARSET, else UTF-8 when the text is
// valid UTF-8, else what its bytes show (TCodePageDetector).
//
// A file that is clearly no text (a known binary kind, or NUL and control
// bytes throughout its first block) is refused; a few NUL bytes are data,
// shown as U+FFFD, and a record holding one cannot be changed (the NUL
// would not survive). A FIXED file without line breaks holds its records
// one after the other, each as wide as the fields reach.
//
// Opening maps the file and makes one pass over it, which checks every
// value's type and notes where each record starts (4 bytes a record, 8 in
// files past 4 GB); a record is split into fields only when one of its
// values is read.
//
// Writing rewrites the file beside itself and renames it into place. Lines
// of records that were not changed are copied byte for byte; changed and
// new records are written in the file's own way (separator, quoting, line
// end, byte-order mark, code page, the column's way of writing booleans
// and timestamps).
class TTextDriver : public TFileTableDriver {
public:
    TTextDriver();
    ~TTextDriver() override;

    std::string FormatName() const override { return "Text"; }
    void Open(const std::string& path, TFieldDefs& fields, TIndexDefs& indexes) override;
    void Close() override;
    uint32_t RecordCount() const override { return fSlots.Count(); }
    bool RecordLive(uint32_t rec) const override;
    bool AllLive() const override;
    void GetValue(uint32_t rec, int fieldNo, TValue& out) override;
    uint32_t Post(int64_t rec, const std::vector<TValue>& values) override;
    void Delete(uint32_t rec) override;
    void Refresh() override;
    std::vector<std::string> Files() const override;
    bool IsSideFileName(const std::string& name) const override;
    void CheckUnchanged() const override;

    // What the open table is made of.
    char Separator() const { return fFormat.Separator; }
    int CodePage() const { return fFormat.CodePage; }
    bool HasSchema() const { return fSchema.has_value(); }
    const std::string& SchemaPath() const { return fSchemaPath; }

private:
    struct TState;
    struct TColumn {
        std::string Name;
        TFieldType Type = ftString;
        TTextTypeGuess Guess;
        int Width = 0;  // fixed files
        int Offset = 0; // fixed files
    };
    struct TSpan {
        uint64_t Start, End; // the value, or the raw field when not Simple
        bool Simple;
    };
    enum TEncoding { enUtf8, enUtf16LE, enUtf16BE, enSingleByte };

    std::unique_ptr<TState> Load(bool guessTypes);
    void Scan(TState& s, bool guessTypes);
    void SplitRecord(uint32_t fileRec);
    void AppendRecord(std::string& line, const std::vector<TValue>& values);
    void Rewrite(const std::vector<int64_t>& order, const std::vector<uint32_t>& slotOf,
                 uint32_t slotCount, const std::string& added);
    std::string ComputeReadOnlyReason() const;
    bool IsOpen() const override { return fState != nullptr; }

    std::string fSchemaPath;
    std::optional<TTextSchema> fSchema;
    std::unique_ptr<TState> fState;
    std::vector<TColumn> fColumns;
    TDelimitedFormat fFormat;
    TEncoding fEncoding = enUtf8;
    bool fUnbroken = false; // a FIXED file without line breaks
    std::unique_ptr<TCodePage> fCodePage;
    TRecordSlots fSlots;
    // The record split last, its fields' spans.
    int64_t fSplitRecord = -1;
    std::vector<TSpan> fSpans;
    std::string fRaw, fText;
};

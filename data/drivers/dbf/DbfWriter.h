#pragma once

#include "data/base/Value.h"
#include "data/drivers/dbf/DbfHeader.h"
#include "data/drivers/dbf/DbfRecordCodec.h"

#include <memory>
#include <string>
#include <vector>

class TAtomicFile;
class TDbfMemoStream;

// One field of a new dBase table.
struct TDbfFieldSpec {
    std::string Name; // UTF-8; stored in the table's code page
    char Type = 'C';
    int Length = 0; // 0: the type's usual length (needed for C, N, F, V, Q)
    int Decimals = 0;
    bool Nullable = false;      // Visual FoxPro: the field can hold null
    bool Binary = false;        // Visual FoxPro: C, M, V without code page
    bool AutoIncrement = false; // Visual FoxPro: I counting up
};

// Creates a dBase table, record by record, with its memo file and (when
// the code page has no language-driver byte, or on request) a .cpg file.
// The files are written beside their final names and take their places in
// Finish, memo file first; an existing table of the same name is replaced.
class TDbfWriter {
public:
    // Raises EDatabaseError when a field does not suit the variant.
    TDbfWriter(std::string path, TDbfVariant variant, std::vector<TDbfFieldSpec> fields,
               int codePage = 1252);
    ~TDbfWriter();
    TDbfWriter(const TDbfWriter&) = delete;
    TDbfWriter& operator=(const TDbfWriter&) = delete;

    // Before the first record.
    void SetWriteCpgFile(bool v) { fWriteCpg = v; }
    void SetLanguageId(uint8_t id) { fLanguageId = id, fLanguageIdSet = true; }
    void SetUpdateDate(int year, int month, int day);
    void SetTableFlags(uint8_t flags) { fTableFlags = flags; }

    // Values in field order; null where a field has no value. An
    // auto-increment field given null gets the next number.
    void AddRecord(const std::vector<TValue>& values, bool deleted = false);
    uint32_t RecordCount() const { return fCount; }
    void Finish();

    // Creates a table in one call.
    static void Write(const std::string& path, TDbfVariant variant,
                      const std::vector<TDbfFieldSpec>& fields,
                      const std::vector<std::vector<TValue>>& records, int codePage = 1252);

private:
    void Start();
    std::string fPath;
    TDbfVariant fVariant;
    std::vector<TDbfFieldSpec> fSpecs;
    int fCodePage;
    bool fWriteCpg = false;
    uint8_t fLanguageId = 0;
    bool fLanguageIdSet = false;
    uint8_t fTableFlags = 0;
    int fYear = 0, fMonth = 0, fDay = 0;

    bool fStarted = false;
    bool fFinished = false;
    TDbfHeader fHeader;
    TDbfRecordCodec fCodec;
    std::unique_ptr<TAtomicFile> fFile;
    std::unique_ptr<TAtomicFile> fMemoFile;
    std::unique_ptr<TDbfMemoStream> fMemo;
    std::vector<uint8_t> fRecord;
    std::vector<int64_t> fNextAutoInc; // per column, 0 when not counting
    uint32_t fCount = 0;
};

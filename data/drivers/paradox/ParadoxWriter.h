#pragma once

#include "data/base/Value.h"

#include <string>
#include <vector>

// One field of a new Paradox table. Type letters: A alpha, D date,
// S short, I long integer, $ currency, N number, L logical, M memo,
// B binary blob, F formatted memo, O OLE, G graphic, T time,
// @ timestamp, + autoincrement, # BCD, Y bytes.
struct TParadoxFieldSpec {
    std::string Name; // UTF-8
    char Type = 'A';
    // A and Y: the length; M, B, F, O, G: the leader kept in the record
    // (0 to 240 bytes); #: the number of decimals. Others ignore it.
    int Size = 0;
};

// The project's generator of Paradox tables: a .db whose header pxlib
// writes, a .mb for blobs, a .px for a primary key (its fields are the
// first `keyFields` fields; records are kept in key order and must have
// distinct keys), and secondary index files (.Xnn/.Ynn, .XGn/.YGn) on
// request. Raises EDatabaseError for specs or values that do not fit.
class TParadoxWriter {
public:
    TParadoxWriter(std::string path, std::vector<TParadoxFieldSpec> fields, int keyFields = 0,
                   int codePage = 1252);

    // File version as pxlib counts it (70 = Paradox 7, 50 = Paradox 5).
    void SetVersion(int version) { fVersion = version; }
    // 1 to 4: blocks of 1 to 4 KB; 0 leaves the choice to pxlib.
    void SetBlockSizeCode(int code) { fBlockSizeCode = code; }
    // Whether pxlib writes the records too (slow for big tables), rather
    // than only the header.
    void SetPxlibRecords(bool v) { fPxlibRecords = v; }
    // A null autoincrement value gets the next number.
    void AddRecord(const std::vector<TValue>& values);
    // A secondary index over the named fields: one field without a name
    // (or named like the field) gives .Xnn/.Ynn, others .XGn/.YGn.
    void AddSecondaryIndex(const std::vector<std::string>& fieldNames,
                           const std::string& name = {});
    void Finish();

private:
    struct TSecondary {
        std::vector<std::string> Fields;
        std::string Name;
    };
    std::string fPath;
    std::vector<TParadoxFieldSpec> fFields;
    int fKeyFields;
    int fCodePage;
    int fVersion = 70;
    int fBlockSizeCode = 0;
    bool fPxlibRecords = true;
    std::vector<std::vector<TValue>> fRecords;
    std::vector<TSecondary> fSecondary;
};

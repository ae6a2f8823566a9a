#pragma once

#include "data/base/FieldType.h"
#include "data/base/Value.h"
#include "data/drivers/paradox/ParadoxHeader.h"
#include "data/drivers/paradox/PxDocument.h"
#include "data/platform/CodePage.h"

#include <memory>
#include <string>
#include <vector>

class TParadoxBlobFile;
class TParadoxBlobWriter;

// The values of a Paradox record. Numbers, dates and times are decoded and
// encoded by pxlib from the field's bytes alone; text is converted from
// and to the table's code page; blobs come from and go to the .mb.
//
// Types: A ftString, D ftDate, S ftSmallint, I ftInteger, $ ftCurrency,
// N ftFloat, L ftBoolean, M ftMemo, B ftBlob, F ftFmtMemo, O ftParadoxOle,
// G ftGraphic, T ftTime, @ ftDateTime, + ftAutoInc, # ftBCD, Y ftBytes.
class TParadoxRecordCodec {
public:
    // Raises EDatabaseError when the code page cannot be converted.
    void Init(const std::vector<TParadoxField>& fields, int codePage);
    size_t FieldCount() const { return fFields.size(); }
    const TParadoxField& Field(size_t i) const { return fFields[i]; }
    // The field's name in UTF-8.
    const std::string& Name(size_t i) const { return fNames[i]; }
    int CodePage() const { return fCodePage ? fCodePage->Number() : 0; }
    static TFieldType FieldTypeOf(const TParadoxField& f);

    // `blobs` may be null when the table has no blob file.
    void Decode(const uint8_t* record, size_t field, TValue& out, const TParadoxBlobFile* blobs);
    // Writes the value into the record; raises EDatabaseError naming the
    // field when the value cannot be stored whole (out of range, too long,
    // characters the code page lacks). Blobs go to `blobs`.
    void Encode(uint8_t* record, size_t field, const TValue& v, TParadoxBlobWriter* blobs);

    // Converts text to the table's code page; false when characters are lost.
    bool ToTable(std::string_view utf8, std::string& out);
    void FromTable(std::string_view raw, std::string& out);

private:
    [[noreturn]] void Refuse(size_t field, const TValue& v, const std::string& why) const;
    std::vector<TParadoxField> fFields;
    std::vector<std::string> fNames;
    std::unique_ptr<TCodePage> fCodePage;
    TPxDocument fPx;
    std::string fRaw;
    std::string fText;
};

// BCD fields: 17 bytes, the first holding the sign (bit 7 set when
// positive) and the number of decimals (bits 0 to 5), then 32 digits as
// nibbles, complemented when negative. A value may have other decimals
// than its field says; it is read by its own. Decoding gives false for
// bytes that are no number (a nibble above 9, more than 32 decimals).
bool EncodeParadoxBcd(double v, int decimals, uint8_t* out17);
bool DecodeParadoxBcd(const uint8_t* bcd17, int fieldDecimals, double& out);

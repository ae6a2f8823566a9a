#include "data/drivers/paradox/ParadoxWriter.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/drivers/paradox/ParadoxBlobWriter.h"
#include "data/drivers/paradox/ParadoxBlockMap.h"
#include "data/drivers/paradox/ParadoxBlockWriter.h"
#include "data/drivers/paradox/ParadoxHeader.h"
#include "data/drivers/paradox/ParadoxIndexWriter.h"
#include "data/drivers/paradox/ParadoxRecordCodec.h"
#include "data/drivers/paradox/PxDocument.h"
#include "data/platform/AtomicFile.h"

#include "data/drivers/paradox/PxLib.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {
uint8_t TypeCode(char letter) {
    switch (letter) {
    case 'A':
        return pdAlpha;
    case 'D':
        return pdDate;
    case 'S':
        return pdShort;
    case 'I':
        return pdLong;
    case '$':
        return pdCurrency;
    case 'N':
        return pdNumber;
    case 'L':
        return pdLogical;
    case 'M':
        return pdMemo;
    case 'B':
        return pdBlob;
    case 'F':
        return pdFmtMemo;
    case 'O':
        return pdOle;
    case 'G':
        return pdGraphic;
    case 'T':
        return pdTime;
    case '@':
        return pdTimestamp;
    case '+':
        return pdAutoInc;
    case '#':
        return pdBcd;
    case 'Y':
        return pdBytes;
    default:
        return 0;
    }
}

uint8_t SizeByteOf(uint8_t type, int size) {
    switch (type) {
    case pdAlpha:
    case pdBytes:
        return static_cast<uint8_t>(size);
    case pdMemo:
    case pdBlob:
    case pdFmtMemo:
    case pdOle:
    case pdGraphic:
        return static_cast<uint8_t>(size + 10);
    case pdBcd:
        return static_cast<uint8_t>(size);
    case pdShort:
        return 2;
    case pdLogical:
        return 1;
    case pdCurrency:
    case pdNumber:
    case pdTimestamp:
        return 8;
    default:
        return 4;
    }
}

struct TFileCloser {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};

std::string ReadAll(FILE* f) {
    std::string s;
    if (std::fseek(f, 0, SEEK_SET) != 0) throw EDatabaseError("Cannot read pxlib's output");
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    return s;
}

// What pxlib writes into a header that changes from run to run: addresses
// of its own memory (two work pointers at 0x16, two more at 0x30, and after
// the field list the pointers to the table name and to each field name),
// the time of writing at 0x60, which PX_close takes from the clock whatever
// the header says, and the referential-integrity byte at 0x55, which it
// never sets. None of them means anything in a new table and no reader
// (ours neither) uses them; zeroed, a table written twice is the same file.
void ClearRunDependentBytes(std::string& db) {
    const TParadoxHeader h =
        TParadoxHeader::Parse(reinterpret_cast<const uint8_t*>(db.data()), db.size(),
                              TParadoxHeader::pkData, "pxlib wrote a damaged table: ");
    auto clear = [&](size_t at, size_t n) {
        std::fill_n(db.begin() + static_cast<std::ptrdiff_t>(at), n, '\0');
    };
    clear(0x16, 8);
    clear(0x30, 8);
    clear(0x55, 1);
    // An old layout has its field list there.
    if (h.FieldInfoStart >= 0x64) clear(0x60, 4);
    const size_t pointers = h.FieldInfoStart + 2u * h.NumFields;
    if (pointers < h.TableNameStart && h.TableNameStart <= db.size())
        clear(pointers, h.TableNameStart - pointers);
}

// A Paradox data file as pxlib writes it: the header for these fields and,
// when given, the records.
std::string PxlibFile(const std::vector<TParadoxField>& fields, bool keyed, int keyCount,
                      int codePage, int version, int blockCode, const std::string& tableName,
                      const std::vector<const uint8_t*>* records) {
    TPxDocument px;
    auto* specs = static_cast<pxfield_t*>(px.Alloc(fields.size() * sizeof(pxfield_t)));
    for (size_t i = 0; i < fields.size(); ++i) {
        specs[i].px_fname = px.StrDup(fields[i].Name);
        specs[i].px_ftype = static_cast<char>(fields[i].Type);
        specs[i].px_flen = fields[i].Length;
        specs[i].px_fdc = fields[i].Type == pdBcd ? fields[i].SizeByte : 0;
    }
    std::unique_ptr<FILE, TFileCloser> file(std::tmpfile());
    if (!file) {
        for (size_t i = 0; i < fields.size(); ++i)
            px.Free(specs[i].px_fname);
        px.Free(specs);
        throw EDatabaseError("Cannot create a temporary file for a new Paradox table");
    }
    // pxlib owns the field list from here on, also when it fails.
    if (PX_create_fp(px.Get(), specs, static_cast<int>(fields.size()), file.get(),
                     keyed ? pxfFileTypIndexDB : pxfFileTypNonIndexDB) < 0)
        throw EDatabaseError("pxlib cannot create the table: " + px.TakeError());
    if (keyCount > 0) PX_set_value(px.Get(), "numprimkeys", static_cast<float>(keyCount));
    PX_set_parameter(px.Get(), "tablename", tableName.c_str());
    pxhead_t* head = px.Get()->px_head;
    head->px_doscodepage = codePage;
    head->px_fileversion = version;
    if (blockCode > 0) head->px_maxtablesize = blockCode;
    if (records)
        for (const uint8_t* r : *records)
            if (PX_put_record(px.Get(), const_cast<char*>(reinterpret_cast<const char*>(r))) < 0)
                throw EDatabaseError("pxlib cannot write a record: " + px.TakeError());
    PX_close(px.Get());
    std::fflush(file.get());
    std::string db = ReadAll(file.get());
    ClearRunDependentBytes(db);
    return db;
}

int CompareKeys(const uint8_t* a, const uint8_t* b, size_t n) {
    return std::memcmp(a, b, n);
}
} // namespace

TParadoxWriter::TParadoxWriter(std::string path, std::vector<TParadoxFieldSpec> fields,
                               int keyFields, int codePage)
    : fPath(std::move(path)), fFields(std::move(fields)), fKeyFields(keyFields),
      fCodePage(codePage) {
    if (fFields.empty() || fFields.size() > 255)
        throw EDatabaseError("A Paradox table has 1 to 255 fields");
    if (keyFields < 0 || static_cast<size_t>(keyFields) > fFields.size())
        throw EDatabaseError("The key has more fields than the table");
}

void TParadoxWriter::AddRecord(const std::vector<TValue>& values) {
    if (values.size() != fFields.size())
        throw EDatabaseError("A record of " + std::to_string(values.size()) + " values for " +
                             std::to_string(fFields.size()) + " fields");
    fRecords.push_back(values);
}

void TParadoxWriter::AddSecondaryIndex(const std::vector<std::string>& fieldNames,
                                       const std::string& name) {
    fSecondary.push_back({fieldNames, name});
}

void TParadoxWriter::Finish() {
    // The fields as the header will list them.
    TCodePage cp(fCodePage);
    std::vector<TParadoxField> fields;
    int offset = 0;
    bool hasBlobs = false;
    for (const TParadoxFieldSpec& s : fFields) {
        TParadoxField f;
        f.Type = TypeCode(s.Type);
        if (!f.Type)
            throw EDatabaseError(std::string("Unknown Paradox field type '") + s.Type + "'");
        if ((f.Type == pdAlpha || f.Type == pdBytes) && (s.Size < 1 || s.Size > 255))
            throw EDatabaseError("Field '" + s.Name + "' needs a length of 1 to 255");
        if (f.IsBlob() && (s.Size < 0 || s.Size > 240))
            throw EDatabaseError("Field '" + s.Name + "' needs a leader of 0 to 240 bytes");
        if (f.Type == pdBcd && (s.Size < 0 || s.Size > 32))
            throw EDatabaseError("Field '" + s.Name + "' needs 0 to 32 decimals");
        f.SizeByte = SizeByteOf(f.Type, s.Size);
        f.Length = ParadoxFieldLength(f.Type, f.SizeByte);
        f.Offset = offset;
        offset += f.Length;
        if (!cp.FromUtf8(s.Name, f.Name) || f.Name.empty() || f.Name.size() > 25)
            throw EDatabaseError("Field name '" + s.Name + "' does not fit a Paradox header");
        hasBlobs = hasBlobs || f.IsBlob();
        fields.push_back(std::move(f));
    }
    const size_t recordSize = static_cast<size_t>(offset);
    size_t keyLength = 0;
    for (int i = 0; i < fKeyFields; ++i)
        keyLength += static_cast<size_t>(fields[static_cast<size_t>(i)].Length);

    // The records' bytes, with their blobs.
    TParadoxRecordCodec codec;
    codec.Init(fields, fCodePage);
    TParadoxBlobWriter blobs;
    std::vector<std::string> records;
    int32_t autoInc = 0;
    for (const auto& values : fRecords)
        for (size_t i = 0; i < fields.size(); ++i)
            if (fields[i].Type == pdAutoInc && values[i].Kind == TValueKind::Integer)
                autoInc = std::max<int32_t>(
                    autoInc, static_cast<int32_t>(std::min<int64_t>(values[i].Int, INT32_MAX)));
    for (const auto& values : fRecords) {
        std::string rec(recordSize, '\0');
        auto* p = reinterpret_cast<uint8_t*>(rec.data());
        for (size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].Type == pdAutoInc && values[i].IsNull())
                codec.Encode(p, i, TValue::OfInt(++autoInc), &blobs);
            else
                codec.Encode(p, i, values[i], &blobs);
        }
        records.push_back(std::move(rec));
    }
    std::vector<const uint8_t*> order;
    for (const std::string& r : records)
        order.push_back(reinterpret_cast<const uint8_t*>(r.data()));
    if (fKeyFields > 0) {
        std::stable_sort(order.begin(), order.end(), [&](const uint8_t* a, const uint8_t* b) {
            return CompareKeys(a, b, keyLength) < 0;
        });
        for (size_t i = 1; i < order.size(); ++i)
            if (CompareKeys(order[i - 1], order[i], keyLength) == 0)
                throw EDatabaseError("Key violation: two records have the same primary key");
    }

    const std::string stem = fs::path(fPath).stem().string();
    std::string db = PxlibFile(fields, fKeyFields > 0, fKeyFields, fCodePage, fVersion,
                               fBlockSizeCode, stem, fPxlibRecords ? &order : nullptr);
    // pxlib's output is checked like any table before it is used.
    const std::string prefix = "pxlib wrote a damaged table: ";
    TParadoxHeader h = TParadoxHeader::Parse(reinterpret_cast<const uint8_t*>(db.data()), db.size(),
                                             TParadoxHeader::pkData, prefix);
    if (h.RecordSize != recordSize) throw EDatabaseError(prefix + "its record size differs");
    {
        TAtomicFile out(fPath);
        if (fPxlibRecords) {
            out.Write(db);
        } else {
            TParadoxBlockWriter::Write(out, db.substr(0, h.HeaderSize), h, order, autoInc, 0,
                                       nullptr);
        }
        out.Commit();
    }
    if (hasBlobs) {
        TAtomicFile mb(fs::path(fPath).replace_extension(".mb").string());
        blobs.WriteTo(mb);
        mb.Commit();
    }

    // Index entries: the first key of each block, as the table lies now.
    auto entriesOf = [](const std::string& bytes, const TParadoxHeader& header, size_t length) {
        TParadoxBlockMap map;
        map.Build(header, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), "");
        std::vector<TParadoxIndexEntry> entries;
        for (const TParadoxBlockMap::TBlock& b : map.Blocks())
            entries.push_back({bytes.substr(b.Offset + 6, length), b.Number, b.Count});
        return entries;
    };
    if (fKeyFields > 0) {
        std::string table;
        {
            FILE* f = std::fopen(fPath.c_str(), "rb");
            if (!f) throw EDatabaseError("Cannot read back \"" + fPath + "\"");
            std::unique_ptr<FILE, TFileCloser> closer(f);
            table = ReadAll(f);
        }
        h = TParadoxHeader::Parse(reinterpret_cast<const uint8_t*>(table.data()), table.size(),
                                  TParadoxHeader::pkData, prefix);
        std::vector<TParadoxField> key(fields.begin(), fields.begin() + fKeyFields);
        TAtomicFile px(fs::path(fPath).replace_extension(".px").string());
        px.Write(
            TParadoxIndexWriter::Build(key, h, pfPrimaryIndex, entriesOf(table, h, keyLength)));
        px.Commit();
    }

    // Secondary indexes: a data file with the indexed fields and the
    // primary key, in index order, and an index file over it.
    int composite = 0;
    for (const TSecondary& s : fSecondary) {
        std::vector<size_t> cols;
        for (const std::string& n : s.Fields) {
            size_t i = 0;
            while (i < fFields.size() && !SameText(fFields[i].Name, n))
                ++i;
            if (i == fFields.size())
                throw EDatabaseError("No field '" + n + "' for a secondary index");
            cols.push_back(i);
        }
        if (cols.empty()) throw EDatabaseError("A secondary index needs a field");
        const bool single =
            cols.size() == 1 && (s.Name.empty() || SameText(s.Name, fFields[cols[0]].Name));
        std::vector<size_t> all = cols;
        for (int k = 0; k < fKeyFields; ++k)
            if (std::find(all.begin(), all.end(), static_cast<size_t>(k)) == all.end())
                all.push_back(static_cast<size_t>(k));
        std::vector<TParadoxField> xf;
        int xo = 0;
        size_t indexLength = 0;
        for (size_t c = 0; c < all.size(); ++c) {
            TParadoxField f = fields[all[c]];
            f.Offset = xo;
            xo += f.Length;
            if (c < cols.size()) indexLength += static_cast<size_t>(f.Length);
            xf.push_back(f);
        }
        std::vector<std::string> xrecords;
        for (const uint8_t* r : order) {
            std::string x;
            for (size_t c : all)
                x.append(reinterpret_cast<const char*>(r) + fields[c].Offset,
                         static_cast<size_t>(fields[c].Length));
            xrecords.push_back(std::move(x));
        }
        std::stable_sort(xrecords.begin(), xrecords.end(),
                         [&](const std::string& a, const std::string& b) {
                             return std::memcmp(a.data(), b.data(), indexLength) < 0;
                         });
        std::vector<const uint8_t*> xorder;
        for (const std::string& x : xrecords)
            xorder.push_back(reinterpret_cast<const uint8_t*>(x.data()));
        char ext[8];
        if (single)
            std::snprintf(ext, sizeof ext, ".X%02X", static_cast<unsigned>(cols[0] + 1));
        else
            std::snprintf(ext, sizeof ext, ".XG%X", static_cast<unsigned>(composite & 15));
        std::string xname =
            single ? stem : (s.Name.empty() ? "Index" + std::to_string(composite) : s.Name);
        std::string xdb = PxlibFile(xf, true, static_cast<int>(all.size()), fCodePage, fVersion,
                                    fBlockSizeCode, xname, &xorder);
        xdb[0x04] = static_cast<char>(single ? pfSecondaryData : pfCompositeData);
        xdb[0x15] = static_cast<char>(single ? cols[0] + 1 : 0);
        TParadoxHeader xh = TParadoxHeader::Parse(reinterpret_cast<const uint8_t*>(xdb.data()),
                                                  xdb.size(), TParadoxHeader::pkData, prefix);
        std::string xpath = fs::path(fPath).replace_extension(ext).string();
        {
            TAtomicFile out(xpath);
            out.Write(xdb);
            out.Commit();
        }
        std::vector<TParadoxField> ykey(xf.begin(),
                                        xf.begin() + static_cast<std::ptrdiff_t>(cols.size()));
        std::string ypath = xpath;
        ypath[ypath.size() - (single ? 3 : 3)] = 'Y';
        TAtomicFile out(ypath);
        out.Write(TParadoxIndexWriter::Build(ykey, xh, single ? pfSecondaryIndex : pfCompositeIndex,
                                             entriesOf(xdb, xh, indexLength)));
        out.Commit();
        if (!single) ++composite;
    }
}

#include "data/drivers/dbf/DbfWriter.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/dbf/DbfLanguageDriver.h"
#include "data/drivers/dbf/DbfMemo.h"
#include "data/drivers/dbf/DbfSideFile.h"
#include "data/platform/AtomicFile.h"
#include "data/platform/CodePage.h"

#include <ctime>
#include <filesystem>

namespace {
bool TypeAllowed(char type, TDbfVariant v) {
    switch (type) {
    case 'C':
    case 'N':
    case 'D':
    case 'L':
    case 'M':
        return true;
    case 'F':
        return v != dvDBase3;
    case 'G':
        return v != dvDBase3;
    case 'B':
        return v == dvDBase5 || v == dvDBase7 || v == dvVisualFoxPro;
    case 'P':
        return v == dvFoxPro || v == dvVisualFoxPro;
    case 'I':
        return v == dvDBase7 || v == dvVisualFoxPro;
    case 'Y':
    case 'T':
    case 'V':
    case 'Q':
    case 'W':
        return v == dvVisualFoxPro;
    case '+':
    case 'O':
    case '@':
        return v == dvDBase7;
    default:
        return false;
    }
}

std::string VariantName(TDbfVariant v) {
    switch (v) {
    case dvDBase2:
        return "dBase II";
    case dvDBase3:
        return "dBase III";
    case dvDBase4:
        return "dBase IV";
    case dvDBase5:
        return "dBase 5";
    case dvDBase7:
        return "dBase 7";
    case dvFoxPro:
        return "FoxPro";
    case dvVisualFoxPro:
        return "Visual FoxPro";
    }
    return "dBase";
}
} // namespace

TDbfWriter::TDbfWriter(std::string path, TDbfVariant variant, std::vector<TDbfFieldSpec> fields,
                       int codePage)
    : fPath(std::move(path)), fVariant(variant), fSpecs(std::move(fields)), fCodePage(codePage) {
    if (fSpecs.empty()) throw EDatabaseError("A dBase table needs at least one field");
    if (variant == dvDBase2) throw EDatabaseError("dBase II tables are read, not written");
    if (!TCodePage::Supported(codePage))
        throw EDatabaseError("Code page " + std::to_string(codePage) + " is not supported");
    TCodePage cp(codePage);
    const bool level7 = variant == dvDBase7;
    const bool vfp = variant == dvVisualFoxPro;
    fHeader.Variant = variant;
    fHeader.Level7 = level7;
    bool memo = false, varFields = false, autoInc = false;
    int nullBits = 0;
    for (TDbfFieldSpec& f : fSpecs) {
        std::string what = "Field '" + f.Name + "' ";
        if (!TypeAllowed(f.Type, variant))
            throw EDatabaseError(what + "has type " + std::string(1, f.Type) + ", which " +
                                 VariantName(variant) + " tables do not have");
        const int fixed = static_cast<int>(TDbfHeader::NewFieldLength(f.Type, variant));
        if (f.Length == 0) f.Length = fixed;
        if (fixed && f.Length != fixed)
            throw EDatabaseError(what + "of type " + std::string(1, f.Type) + " has length " +
                                 std::to_string(fixed));
        if (f.Length < 1 || f.Length > 254)
            throw EDatabaseError(what + "needs a length of 1 to 254");
        if ((f.Type == 'N' || f.Type == 'F') &&
            (f.Length > 20 || f.Decimals < 0 || (f.Decimals > 0 && f.Decimals > f.Length - 2)))
            throw EDatabaseError(what + "cannot have " + std::to_string(f.Decimals) +
                                 " decimals in " + std::to_string(f.Length) + " characters");
        if (f.Type != 'N' && f.Type != 'F') f.Decimals = 0;
        if ((f.Nullable || f.Binary || f.AutoIncrement) && !vfp)
            throw EDatabaseError(what + "asks for a Visual FoxPro field option");
        if (f.AutoIncrement && f.Type != 'I') throw EDatabaseError(what + "cannot count up");
        TDbfFieldDesc d;
        if (!cp.FromUtf8(f.Name, d.Name) || d.Name.empty() || d.Name.size() > (level7 ? 31u : 10u))
            throw EDatabaseError(what + "needs a name of 1 to " + std::to_string(level7 ? 31 : 10) +
                                 " characters of code page " + std::to_string(codePage));
        d.Type = f.Type;
        d.Length = static_cast<uint32_t>(f.Length);
        d.Decimals = static_cast<uint8_t>(f.Decimals);
        if (f.Nullable) d.Flags |= dffNullable;
        if (f.Binary) d.Flags |= dffBinary;
        if (f.AutoIncrement) {
            d.Flags |= dffAutoInc | dffBinary;
            d.AutoIncNext = 1;
            d.AutoIncStep = 1;
            autoInc = true;
        }
        if (f.Type == '+') d.AutoIncNext = 1;
        memo = memo || TDbfHeader::IsMemoType(f.Type, variant);
        if (f.Type == 'V' || f.Type == 'Q') ++nullBits, varFields = true;
        if (f.Type == 'W') varFields = true;
        if (f.Nullable) ++nullBits;
        fHeader.Fields.push_back(std::move(d));
    }
    if (nullBits > 0) {
        TDbfFieldDesc n;
        n.Name = "_NullFlags";
        n.Type = '0';
        n.Length = static_cast<uint32_t>((nullBits + 7) / 8);
        n.Flags = dffSystem | dffBinary;
        fHeader.Fields.push_back(std::move(n));
    }
    fHeader.Version = vfp ? (varFields ? 0x32
                             : autoInc ? 0x31
                                       : 0x30)
                          : TDbfHeader::VersionByte(variant, memo);
    if (vfp && memo) fTableFlags |= 0x02;
}

TDbfWriter::~TDbfWriter() = default;

void TDbfWriter::SetUpdateDate(int year, int month, int day) {
    fYear = year;
    fMonth = month;
    fDay = day;
}

void TDbfWriter::Start() {
    if (fStarted) return;
    fStarted = true;
    if (fYear == 0) {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        fYear = local.tm_year + 1900;
        fMonth = local.tm_mon + 1;
        fDay = local.tm_mday;
    }
    fHeader.UpdateYear = static_cast<uint8_t>(fYear - 1900);
    fHeader.UpdateMonth = static_cast<uint8_t>(fMonth);
    fHeader.UpdateDay = static_cast<uint8_t>(fDay);
    fHeader.TableFlags = fTableFlags;
    fHeader.LanguageId = fLanguageIdSet ? fLanguageId : TDbfLanguageDriver::IdOf(fCodePage);
    if (fHeader.Level7 && fCodePage == 1252) fHeader.LanguageName = "DBWINUS0";
    if (!fLanguageIdSet && fHeader.LanguageId == 0) fWriteCpg = true;
    fHeader.RecordCount = 0;
    std::string header = fHeader.Build();
    fCodec.Init(fHeader, fCodePage);
    fRecord.assign(fHeader.RecordLength, 0);
    fNextAutoInc.assign(fCodec.ColumnCount(), 0);
    for (size_t i = 0; i < fCodec.ColumnCount(); ++i)
        if (fCodec.Columns()[i].DataType == ftAutoInc) fNextAutoInc[i] = 1;

    if (fHeader.HasMemoFields()) {
        const bool fox = fHeader.IsFox();
        TDbfMemoKind kind = fox ? mkFpt : fVariant == dvDBase3 ? mkDbt3 : mkDbt4;
        std::string memoPath = SideFileName(fPath, fox ? ".fpt" : ".dbt");
        fMemoFile = std::make_unique<TAtomicFile>(memoPath);
        std::string stem = std::filesystem::path(fPath).stem().string();
        fMemo = std::make_unique<TDbfMemoStream>(*fMemoFile, kind,
                                                 TDbfMemoFile::DefaultBlockSize(kind), stem);
    }
    fFile = std::make_unique<TAtomicFile>(fPath);
    fFile->Write(header);
}

void TDbfWriter::AddRecord(const std::vector<TValue>& values, bool deleted) {
    if (fFinished) throw EDatabaseError("The table \"" + fPath + "\" is already written");
    Start();
    if (values.size() > fCodec.ColumnCount())
        throw EDatabaseError("Table \"" + fPath + "\" has " + std::to_string(fCodec.ColumnCount()) +
                             " fields, not " + std::to_string(values.size()));
    if (fCount == UINT32_MAX) throw EDatabaseError("Table \"" + fPath + "\" is full");
    fCodec.Blank(fRecord.data());
    for (size_t i = 0; i < fCodec.ColumnCount(); ++i) {
        const TValue* v = i < values.size() ? &values[i] : nullptr;
        if (fNextAutoInc[i]) {
            int64_t n =
                v && !v->IsNull() && v->Kind == TValueKind::Integer ? v->Int : fNextAutoInc[i];
            fCodec.Encode(fRecord.data(), i, TValue::OfInt(n), nullptr);
            if (n + 1 > fNextAutoInc[i]) fNextAutoInc[i] = n + 1;
            continue;
        }
        if (v && !v->IsNull()) fCodec.Encode(fRecord.data(), i, *v, fMemo.get());
    }
    if (deleted) fRecord[0] = '*';
    fFile->Write(fRecord.data(), fRecord.size());
    ++fCount;
}

void TDbfWriter::Finish() {
    if (fFinished) return;
    Start();
    fFinished = true;
    fFile->Write("\x1A", 1);
    uint8_t count[4];
    for (int i = 0; i < 4; ++i)
        count[i] = static_cast<uint8_t>(fCount >> (8 * i));
    fFile->WriteAt(4, count, 4);
    for (size_t i = 0; i < fCodec.ColumnCount(); ++i) {
        if (!fNextAutoInc[i]) continue;
        const TDbfFieldDesc& d = fHeader.Fields[fCodec.Columns()[i].Desc];
        uint8_t next[4];
        for (int b = 0; b < 4; ++b)
            next[b] = static_cast<uint8_t>(static_cast<uint64_t>(fNextAutoInc[i]) >> (8 * b));
        fFile->WriteAt(d.DescriptorPos + (fHeader.Level7 ? 40 : 19), next, 4);
    }
    if (fMemo) {
        fMemo->Finish();
        fMemoFile->Commit();
    }
    if (fWriteCpg) {
        TAtomicFile cpg(SideFileName(fPath, ".cpg"));
        cpg.Write(fCodePage == 65001 ? std::string("UTF-8") : std::to_string(fCodePage));
        cpg.Commit();
    }
    fFile->Commit();
}

void TDbfWriter::Write(const std::string& path, TDbfVariant variant,
                       const std::vector<TDbfFieldSpec>& fields,
                       const std::vector<std::vector<TValue>>& records, int codePage) {
    TDbfWriter w(path, variant, fields, codePage);
    for (const std::vector<TValue>& r : records)
        w.AddRecord(r);
    w.Finish();
}

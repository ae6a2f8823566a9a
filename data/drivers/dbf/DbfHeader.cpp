#include "data/drivers/dbf/DbfHeader.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/dbf/DbfBytes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

[[noreturn]] void Bad(const std::string& path, const std::string& what) {
    throw EDatabaseError("Cannot open table \"" + path + "\": " + what);
}

std::string Hex(unsigned v) {
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[(v >> 4) & 15] + digits[v & 15];
}

bool KnownVersion(uint8_t v) {
    switch (v) {
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x30:
    case 0x31:
    case 0x32:
    case 0x43:
    case 0x63:
    case 0x7B:
    case 0x83:
    case 0x8B:
    case 0x8C:
    case 0x8E:
    case 0xCB:
    case 0xF5:
    case 0xFB:
        return true;
    default:
        return false;
    }
}

TDbfVariant VariantOf(uint8_t v, bool level7) {
    if (level7) return dvDBase7;
    switch (v) {
    case 0x03:
    case 0x83:
        return dvDBase3;
    case 0x05:
        return dvDBase5;
    case 0x30:
    case 0x31:
    case 0x32:
        return dvVisualFoxPro;
    case 0xF5:
    case 0xFB:
        return dvFoxPro;
    default:
        return dvDBase4;
    }
}

// The length a field type must have, 0 when any length will do.
uint32_t FixedLength(char type, TDbfVariant variant) {
    switch (type) {
    case 'D':
        return 8;
    case 'L':
        return 1;
    case 'I':
    case '+':
        return 4;
    case 'Y':
    case 'T':
    case 'O':
    case '@':
        return 8;
    case 'B':
        return variant == dvVisualFoxPro ? 8 : 0;
    default:
        return 0;
    }
}

// Reads the descriptors of one layout and lays the fields out in the
// record; returns an empty text when they make sense, else what is wrong.
// `need` gets the record length the fields take (with the deleted flag).
std::string ReadDescriptors(TDbfHeader& h, const uint8_t* data, uint64_t& need) {
    h.Fields.clear();
    h.NullFlagsField = -1;
    const bool level2 = h.Variant == dvDBase2;
    const size_t descSize = h.DescriptorSize();
    const size_t nameSize = h.Level7 ? 32 : 11;
    const size_t most = level2 ? 32 : SIZE_MAX; // dBase II has room for 32 descriptors
    size_t pos = h.FirstDescriptor();
    bool terminated = false;
    while (pos < h.HeaderLength && h.Fields.size() < most) {
        if (data[pos] == 0x0D) {
            terminated = true;
            break;
        }
        if (pos + descSize > h.HeaderLength)
            return "field descriptor " + std::to_string(h.Fields.size() + 1) +
                   " runs past the end of the header";
        const uint8_t* d = data + pos;
        TDbfFieldDesc f;
        size_t n = 0;
        while (n < nameSize && d[n] != 0)
            ++n;
        f.Name.assign(reinterpret_cast<const char*>(d), n);
        // Names are padded with NULs, but some writers pad with blanks.
        while (!f.Name.empty() && f.Name.back() == ' ')
            f.Name.pop_back();
        f.DescriptorPos = static_cast<uint32_t>(pos);
        if (h.Level7) {
            f.Type = static_cast<char>(d[32]);
            f.Length = d[33];
            f.Decimals = d[34];
            f.AutoIncNext = DbfLe32(d + 40);
        } else if (level2) {
            f.Type = static_cast<char>(d[11]);
            f.Length = d[12];
            f.Decimals = d[15];
        } else {
            f.Type = static_cast<char>(d[11]);
            f.Length = d[16];
            f.Decimals = d[17];
            if (h.Variant == dvVisualFoxPro) {
                f.Flags = d[18];
                f.AutoIncNext = DbfLe32(d + 19);
                f.AutoIncStep = d[23];
            }
        }
        if (f.Name.empty()) return "field " + std::to_string(h.Fields.size() + 1) + " has no name";
        h.Fields.push_back(std::move(f));
        pos += descSize;
    }
    if (terminated && pos + 1 > h.HeaderLength) return "the header is too short";

    auto sum = [&](bool longChar) {
        uint64_t s = 1;
        for (const TDbfFieldDesc& f : h.Fields) {
            uint64_t len = f.Length;
            if (longChar && f.Type == 'C') len |= static_cast<uint64_t>(f.Decimals) << 8;
            s += len;
        }
        return s;
    };
    // Clipper and Harbour keep the high byte of long character fields in
    // the decimals byte.
    bool longChar = false;
    need = sum(false);
    if (need != h.StoredRecordLength && h.Variant != dvVisualFoxPro && !level2 &&
        sum(true) == h.StoredRecordLength) {
        longChar = true;
        need = h.StoredRecordLength;
    }
    if (need > 0xFFFF)
        return "its fields take " + std::to_string(need) + " bytes, more than a record can hold";

    uint32_t offset = 1;
    for (TDbfFieldDesc& f : h.Fields) {
        if (longChar && f.Type == 'C') {
            f.Length |= static_cast<uint32_t>(f.Decimals) << 8;
            f.Decimals = 0;
        }
        f.Offset = offset;
        offset += f.Length;
        const std::string name = "field " + f.Name;
        if (f.Length == 0) return name + " has length 0";
        uint32_t fixed = FixedLength(f.Type, h.Variant);
        if (fixed && f.Length != fixed)
            return name + " of type " + std::string(1, f.Type) + " has length " +
                   std::to_string(f.Length) + " (" + std::to_string(fixed) + " expected)";
        if (TDbfHeader::IsMemoType(f.Type, h.Variant) && f.Length != 10 && f.Length != 4)
            return name + " of type " + std::string(1, f.Type) + " has length " +
                   std::to_string(f.Length) + " (10 or 4 expected)";
        if ((f.Type == 'N' || f.Type == 'F') && f.Decimals >= f.Length && f.Decimals > 0)
            return name + " has " + std::to_string(f.Decimals) + " decimals in " +
                   std::to_string(f.Length) + " characters";
        if (f.Type == '0' && h.NullFlagsField < 0)
            h.NullFlagsField = static_cast<int>(&f - h.Fields.data());
    }
    return std::string();
}

// The distance between records: the header's record length when the
// fields fit in it and the file holds the records the header counts; else
// the fields' own length when the file's size proves it (the counted
// records end where the file does, or one end mark before). Returns what
// is wrong when neither fits.
std::string ChooseRecordLength(TDbfHeader& h, size_t size, uint64_t need, bool exact = false) {
    const uint64_t stored = h.StoredRecordLength;
    const uint64_t count = h.RecordCount;
    const uint64_t data = size - h.HeaderLength;
    auto holds = [&](uint64_t length) { return length >= 1 && count * length <= data; };
    auto proves = [&](uint64_t length) { return holds(length) && data - count * length <= 1; };
    if (stored >= need && (exact ? proves(stored) : holds(stored))) {
        h.RecordLength = static_cast<uint16_t>(stored);
        return std::string();
    }
    if (proves(need)) {
        h.RecordLength = static_cast<uint16_t>(need);
        return std::string();
    }
    if (stored < need)
        return "the record length (" + std::to_string(stored) +
               " bytes) does not match its fields (" + std::to_string(need) + " bytes)";
    return "the header declares " + std::to_string(count) + " records of " +
           std::to_string(stored) + " bytes, but the file holds " +
           (exact && holds(stored) ? "more" : "only " + std::to_string(data / stored)) +
           " (the file is truncated or its header is wrong)";
}

// The older layout of dBase II: the record count in 16 bits at 1, the
// date at 3 (month, day, year), the record length at 6, then up to 32
// descriptors of 16 bytes and a 0x0D after the last. The records start
// after the full 32 descriptors, or, with some writers, right after the
// terminator: the one the file's size agrees with.
TDbfHeader ParseLevel2(const uint8_t* data, size_t size, const std::string& path) {
    if (size < 8 + 16 + 1)
        Bad(path,
            "the file is too short for a dBase II table (" + std::to_string(size) + " bytes)");
    TDbfHeader h;
    h.Version = data[0];
    h.Variant = dvDBase2;
    h.RecordCount = DbfLe16(data + 1);
    h.UpdateMonth = data[3];
    h.UpdateDay = data[4];
    h.UpdateYear = data[5];
    h.StoredRecordLength = DbfLe16(data + 6);
    constexpr size_t Full = 8 + 32 * 16 + 1;
    h.HeaderLength = static_cast<uint16_t>(std::min(size, Full));
    uint64_t need = 0;
    std::string problem = ReadDescriptors(h, data, need);
    if (!problem.empty()) Bad(path, problem);
    // The file's size decides where the records start; without a proof,
    // after the room for 32 descriptors.
    const size_t compact = 8 + 16 * h.Fields.size() + 1;
    for (size_t start : {Full, compact}) {
        if (start > size || (start == compact && compact == Full)) continue;
        TDbfHeader at = h;
        at.HeaderLength = static_cast<uint16_t>(start);
        if (ChooseRecordLength(at, size, need, true).empty()) return at;
    }
    if (size < Full)
        Bad(path, "the header declares " + std::to_string(h.RecordCount) + " records of " +
                      std::to_string(h.StoredRecordLength) +
                      " bytes, but the file is too short for them (the file is truncated or its "
                      "header is wrong)");
    h.HeaderLength = static_cast<uint16_t>(Full);
    problem = ChooseRecordLength(h, size, need);
    if (!problem.empty()) Bad(path, problem);
    return h;
}

// Visual FoxPro keeps the null flags and the "shorter than the field"
// flags of V and Q fields as bits of _NullFlags, in field order, the
// length bit before the null bit.
std::string AssignNullBits(TDbfHeader& h) {
    if (h.Variant != dvVisualFoxPro || h.NullFlagsField < 0) return std::string();
    int bit = 0;
    for (TDbfFieldDesc& f : h.Fields) {
        if (f.Type == '0') continue;
        if (f.Type == 'V' || f.Type == 'Q') f.VarLengthBit = bit++;
        if (f.Flags & dffNullable) f.NullBit = bit++;
    }
    const TDbfFieldDesc& nf = h.Fields[static_cast<size_t>(h.NullFlagsField)];
    if (static_cast<uint64_t>(bit) > static_cast<uint64_t>(nf.Length) * 8)
        return "the null flags field holds " + std::to_string(nf.Length * 8) + " bits, but " +
               std::to_string(bit) + " are needed";
    return std::string();
}
} // namespace

bool TDbfHeader::IsMemoType(char type, TDbfVariant variant) {
    switch (type) {
    case 'M':
    case 'G':
    case 'P':
    case 'W':
        return true;
    case 'B':
        return variant != dvVisualFoxPro;
    default:
        return false;
    }
}

uint32_t TDbfHeader::NewFieldLength(char type, TDbfVariant variant) {
    if (IsMemoType(type, variant)) return variant == dvVisualFoxPro ? 4 : 10;
    return FixedLength(type, variant);
}

bool TDbfHeader::HasMemoFields() const {
    for (const TDbfFieldDesc& f : Fields)
        if (IsMemoType(f.Type, Variant)) return true;
    return false;
}

bool TDbfHeader::WritableVariant() const {
    switch (Version) {
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x83:
    case 0x8B:
    case 0x8C:
    case 0x30:
    case 0x31:
    case 0x32:
    case 0xF5:
        return true;
    default:
        return false;
    }
}

uint8_t TDbfHeader::VersionByte(TDbfVariant variant, bool withMemo) {
    switch (variant) {
    case dvDBase2:
        return 0x02;
    case dvDBase3:
        return withMemo ? 0x83 : 0x03;
    case dvDBase4:
        return withMemo ? 0x8B : 0x03;
    case dvDBase5:
        return withMemo ? 0x8B : 0x03; // level 5 tables look like dBase IV ones
    case dvDBase7:
        return withMemo ? 0x8C : 0x04;
    case dvFoxPro:
        return withMemo ? 0xF5 : 0x03;
    case dvVisualFoxPro:
        return 0x30;
    }
    return 0x03;
}

TDbfHeader TDbfHeader::Parse(const uint8_t* data, size_t size, const std::string& path) {
    if (size == 0) Bad(path, "the file is empty");
    if (!KnownVersion(data[0]))
        Bad(path, "this is not a dBase table (unknown version byte " + Hex(data[0]) + ")");
    if (data[0] == 0x02) return ParseLevel2(data, size, path);
    TDbfHeader h;
    h.Version = data[0];
    if (size < 32)
        Bad(path, "the file is too short for a dBase table (" + std::to_string(size) + " bytes)");
    h.UpdateYear = data[1];
    h.UpdateMonth = data[2];
    h.UpdateDay = data[3];
    h.RecordCount = DbfLe32(data + 4);
    h.HeaderLength = DbfLe16(data + 8);
    h.StoredRecordLength = DbfLe16(data + 10);
    h.IncompleteTransaction = data[14] == 1;
    h.TableFlags = data[28];
    h.LanguageId = data[29];
    if (h.HeaderLength > size)
        Bad(path, "the header length (" + std::to_string(h.HeaderLength) +
                      " bytes) is beyond the end of the file (" + std::to_string(size) + " bytes)");
    if (h.HeaderLength < 33)
        Bad(path, "the header length (" + std::to_string(h.HeaderLength) + " bytes) is too short");

    // Level 7 headers are told from the others by their descriptors making
    // sense as 48-byte ones, down to the record length.
    std::string problem;
    uint64_t need = 0;
    bool done = false;
    if ((h.Version & 7) == 4 && h.HeaderLength >= 68 + 1) {
        h.Level7 = true;
        h.Variant = dvDBase7;
        problem = ReadDescriptors(h, data, need);
        if (problem.empty()) problem = ChooseRecordLength(h, size, need);
        done = problem.empty() && (need == h.StoredRecordLength || h.RecordLength == need);
        if (problem.empty() && !done) problem = "its fields do not fill its records";
    }
    if (!done) {
        std::string level7Problem = problem;
        h.Level7 = false;
        h.Variant = VariantOf(h.Version, false);
        problem = ReadDescriptors(h, data, need);
        if (problem.empty()) problem = ChooseRecordLength(h, size, need);
        if (!problem.empty() && !level7Problem.empty() && h.Version == 0x8C)
            problem = level7Problem;
        if (!problem.empty()) Bad(path, problem);
    }
    if (h.Level7)
        h.LanguageName.assign(reinterpret_cast<const char*>(data + 32),
                              strnlen(reinterpret_cast<const char*>(data + 32), 32));
    if (h.Variant != dvVisualFoxPro && !h.IsFox() && data[15] == 1)
        Bad(path, "the table is encrypted");
    problem = AssignNullBits(h);
    if (!problem.empty()) Bad(path, problem);
    return h;
}

std::string TDbfHeader::Build() {
    if (Variant == dvDBase2) throw EDatabaseError("dBase II tables are not written");
    const size_t descSize = DescriptorSize();
    size_t length = FirstDescriptor() + Fields.size() * descSize + 1;
    if (Variant == dvVisualFoxPro) length += 263;
    if (length > 0xFFFF) throw EDatabaseError("Too many fields for a dBase table");
    std::string s(length, '\0');
    uint32_t offset = 1;
    for (TDbfFieldDesc& f : Fields) {
        f.Offset = offset;
        offset += f.Length;
    }
    if (offset > 0xFFFF)
        throw EDatabaseError("The fields of a dBase record hold at most 65535 bytes");
    HeaderLength = static_cast<uint16_t>(length);
    RecordLength = StoredRecordLength = static_cast<uint16_t>(offset);
    NullFlagsField = -1;
    for (size_t i = 0; i < Fields.size(); ++i)
        if (Fields[i].Type == '0' && NullFlagsField < 0) NullFlagsField = static_cast<int>(i);
    std::string problem = AssignNullBits(*this);
    if (!problem.empty()) throw EDatabaseError("Cannot build a dBase header: " + problem);

    s[0] = static_cast<char>(Version);
    s[1] = static_cast<char>(UpdateYear);
    s[2] = static_cast<char>(UpdateMonth);
    s[3] = static_cast<char>(UpdateDay);
    DbfPutLe32(s, 4, RecordCount);
    DbfPutLe16(s, 8, HeaderLength);
    DbfPutLe16(s, 10, RecordLength);
    s[28] = static_cast<char>(TableFlags);
    s[29] = static_cast<char>(LanguageId);
    if (Level7)
        std::memcpy(&s[32], LanguageName.data(),
                    LanguageName.size() < 32 ? LanguageName.size() : 32);
    size_t pos = FirstDescriptor();
    for (TDbfFieldDesc& f : Fields) {
        f.DescriptorPos = static_cast<uint32_t>(pos);
        const size_t nameSize = Level7 ? 32 : 10;
        std::memcpy(&s[pos], f.Name.data(), f.Name.size() < nameSize ? f.Name.size() : nameSize);
        if (Level7) {
            s[pos + 32] = f.Type;
            s[pos + 33] = static_cast<char>(f.Length & 0xFF);
            s[pos + 34] = static_cast<char>(f.Decimals);
            DbfPutLe32(s, pos + 40, f.AutoIncNext);
        } else {
            s[pos + 11] = f.Type;
            DbfPutLe32(s, pos + 12, f.Offset);
            s[pos + 16] = static_cast<char>(f.Length & 0xFF);
            s[pos + 17] = static_cast<char>(f.Type == 'C' ? (f.Length >> 8) & 0xFF : f.Decimals);
            if (Variant == dvVisualFoxPro) {
                s[pos + 18] = static_cast<char>(f.Flags);
                DbfPutLe32(s, pos + 19, f.AutoIncNext);
                s[pos + 23] = static_cast<char>(f.AutoIncStep);
            }
        }
        pos += descSize;
    }
    s[pos] = 0x0D;
    return s;
}

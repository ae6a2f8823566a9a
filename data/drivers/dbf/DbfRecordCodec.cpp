#include "data/drivers/dbf/DbfRecordCodec.h"

#include "data/base/AheadCell.h"
#include "data/base/DatabaseError.h"
#include "data/base/Unicode.h"
#include "data/drivers/dbf/DbfBytes.h"
#include "data/drivers/dbf/DbfColumn.h"
#include "data/drivers/dbf/DbfMemo.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/FormatSettings.h"
#include "data/locale/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
constexpr int64_t MsPerDay = 86400000;
constexpr int64_t JulianDayZero = 2415019; // Julian day number of 1899-12-30
constexpr int64_t Days0001 = 693594;       // 0001-01-01 less one day, counted back from 1899-12-30

double BitsToDouble(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
uint64_t DoubleToBits(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

bool AllBytes(const uint8_t* p, size_t n, uint8_t a, uint8_t b) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != a && p[i] != b) return false;
    return true;
}

std::string_view TrimBlanks(const uint8_t* p, size_t n) {
    size_t b = 0, e = n;
    while (b < e && (p[b] == ' ' || p[b] == 0))
        ++b;
    while (e > b && (p[e - 1] == ' ' || p[e - 1] == 0))
        --e;
    return std::string_view(reinterpret_cast<const char*>(p + b), e - b);
}

// Digits with an optional sign, the common case of a numeric field;
// false for anything else (a decimal point, an exponent, too many digits).
bool ParseWhole(std::string_view s, int64_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    if (i == s.size() || s.size() - i > 18) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = negative ? -v : v;
    return true;
}

// Up to 15 digits with a decimal point: the digits as a whole number over
// a power of ten, both exact doubles, so the one division rounds correctly.
bool ParseShortDecimal(std::string_view s, double& out) {
    static const double Powers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    int64_t mantissa = 0;
    int digits = 0, scale = -1;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 15) return false;
            mantissa = mantissa * 10 + (c - '0');
            if (scale >= 0) ++scale;
        } else if (c == '.' && scale < 0) {
            scale = 0;
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    double v = static_cast<double>(mantissa);
    if (scale > 0) v /= Powers[scale];
    out = negative ? -v : v;
    return true;
}

bool ParseDecimal(std::string_view s, double& out) {
    if (ParseShortDecimal(s, out)) return true;
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) {
        // Some writers use a comma as the decimal separator.
        std::string copy(s);
        for (char& c : copy)
            if (c == ',') c = '.';
        r = std::from_chars(copy.data(), copy.data() + copy.size(), out);
        if (r.ec != std::errc() || r.ptr != copy.data() + copy.size()) return false;
    }
    return std::isfinite(out);
}

int Digit2(const uint8_t* p) {
    if (p[0] < '0' || p[0] > '9' || p[1] < '0' || p[1] > '9') return -1;
    return (p[0] - '0') * 10 + (p[1] - '0');
}

const TFormatSettings& Classic() {
    static const TFormatSettings fs = TFormatSettings::Classic();
    return fs;
}

// A value as a number for a numeric field: whole (isInt) or not.
bool NumberOf(const TValue& v, bool& isInt, int64_t& i, double& d) {
    switch (v.Kind) {
    case TValueKind::Integer:
        isInt = true, i = v.Int;
        return true;
    case TValueKind::Float:
        isInt = false, d = v.Float;
        return std::isfinite(d);
    case TValueKind::Boolean:
        isInt = true, i = v.Bool ? 1 : 0;
        return true;
    case TValueKind::Text: {
        std::string_view t = v.Text;
        while (!t.empty() && t.front() == ' ')
            t.remove_prefix(1);
        while (!t.empty() && t.back() == ' ')
            t.remove_suffix(1);
        if (ParseWhole(t, i)) return isInt = true;
        isInt = false;
        return TryStrToFloat(t, d) || TryStrToFloat(t, d, Classic());
    }
    default:
        return false;
    }
}

bool DateOf(const TValue& v, double& d) {
    switch (v.Kind) {
    case TValueKind::DateTime:
    case TValueKind::Float:
        d = v.Float;
        return std::isfinite(d);
    case TValueKind::Integer:
        d = static_cast<double>(v.Int);
        return true;
    case TValueKind::Text:
        return TryStrToDateTime(v.Text, d) || TryStrToDate(v.Text, d);
    default:
        return false;
    }
}

std::string KindName(TDbfValueKind k) {
    switch (k) {
    case dkDate:
        return "date";
    case dkLogical:
        return "logical";
    case dkDateTimeFox:
    case dkTimestamp7:
        return "date and time";
    default:
        return "number";
    }
}
} // namespace

double TDbfRecordCodec::CombineDateTime(int64_t day, int64_t ms) {
    double frac = static_cast<double>(ms) / static_cast<double>(MsPerDay);
    return day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac;
}

void TDbfRecordCodec::SplitDateTime(double dt, int64_t& day, int64_t& ms) {
    double whole = std::trunc(dt);
    day = static_cast<int64_t>(whole);
    ms = std::llround(std::fabs(dt - whole) * static_cast<double>(MsPerDay));
    if (ms >= MsPerDay) {
        ++day;
        ms = 0;
    }
}

void TDbfRecordCodec::Init(const TDbfHeader& h, int codePage) {
    fCodePage = std::make_unique<TCodePage>(codePage);
    // Single-byte code pages are read through a table of the UTF-8 of each
    // byte, which spares a conversion call per value.
    fSingleByte = fCodePage->IsSingleByte();
    if (fSingleByte) {
        std::string utf8;
        for (int b = 0x80; b < 0x100; ++b) {
            char byte = static_cast<char>(b);
            fCodePage->ToUtf8(std::string_view(&byte, 1), utf8);
            THighByte& e = fHigh[b - 0x80];
            e.Length = static_cast<uint8_t>(std::min<size_t>(utf8.size(), sizeof e.Bytes));
            std::memcpy(e.Bytes, utf8.data(), e.Length);
        }
    }
    fVariant = h.Variant;
    fColumns.clear();
    fUnknownTypes = false;
    fNullOffset = fNullLength = 0;
    if (h.NullFlagsField >= 0) {
        const TDbfFieldDesc& nf = h.Fields[static_cast<size_t>(h.NullFlagsField)];
        fNullOffset = nf.Offset;
        fNullLength = nf.Length;
    }
    for (size_t i = 0; i < h.Fields.size(); ++i) {
        const TDbfFieldDesc& f = h.Fields[i];
        if (f.Type == '0') continue;
        TDbfColumn col = MakeDbfColumn(f, h);
        fCodePage->ToUtf8(f.Name, col.Name);
        // Writers cut long names to the descriptor's bytes, sometimes in the
        // middle of a character of a multi-byte code page: that part goes.
        if (!fSingleByte) {
            col.Name = Utf16ToUtf8(Utf8ToUtf16(col.Name));
            while (col.Name.size() >= 3 &&
                   col.Name.compare(col.Name.size() - 3, 3, "\xEF\xBF\xBD") == 0)
                col.Name.resize(col.Name.size() - 3);
        }
        col.Desc = i;
        if (col.Kind == dkUnknown) fUnknownTypes = true;
        fColumns.push_back(std::move(col));
    }
}

bool TDbfRecordCodec::NullBitSet(const uint8_t* record, int bit) const {
    uint32_t byte = static_cast<uint32_t>(bit) / 8;
    if (bit < 0 || byte >= fNullLength) return false;
    return (record[fNullOffset + byte] >> (bit % 8)) & 1;
}

void TDbfRecordCodec::SetNullBit(uint8_t* record, int bit, bool on) const {
    uint32_t byte = static_cast<uint32_t>(bit) / 8;
    if (bit < 0 || byte >= fNullLength) return;
    uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
    if (on)
        record[fNullOffset + byte] |= mask;
    else
        record[fNullOffset + byte] &= static_cast<uint8_t>(~mask);
}

void TDbfRecordCodec::ReadText(std::string_view bytes, TValue& out) const {
    out.Kind = TValueKind::Text;
    size_t ascii = 0;
    for (uint64_t word; ascii + 8 <= bytes.size(); ascii += 8) {
        std::memcpy(&word, bytes.data() + ascii, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80)
        ++ascii;
    if (ascii == bytes.size()) {
        out.Text.assign(bytes.data(), bytes.size());
    } else if (!fSingleByte) {
        fCodePage->ToUtf8(bytes, out.Text);
    } else {
        out.Text.assign(bytes.data(), ascii);
        for (size_t i = ascii; i < bytes.size(); ++i) {
            unsigned char b = static_cast<unsigned char>(bytes[i]);
            if (b < 0x80)
                out.Text += static_cast<char>(b);
            else
                out.Text.append(fHigh[b - 0x80].Bytes, fHigh[b - 0x80].Length);
        }
    }
}

bool TDbfRecordCodec::MemoBlock(const TDbfColumn& c, const uint8_t* p, uint32_t& block) {
    if (c.BinaryPointer) {
        block = DbfLe32(p);
        return true;
    }
    uint64_t b = 0;
    for (char ch : TrimBlanks(p, c.Length)) {
        if (ch < '0' || ch > '9') {
            b = 0; // not a number: no memo, as the classic engines read it
            break;
        }
        b = b * 10 + static_cast<uint64_t>(ch - '0');
    }
    block = static_cast<uint32_t>(b);
    return b <= 0xFFFFFFFFu;
}

bool TDbfRecordCodec::MemoIsNull(const uint8_t* record, size_t column) const {
    const TDbfColumn& c = fColumns[column];
    if (c.NullBit >= 0 && NullBitSet(record, c.NullBit)) return true;
    uint32_t block = 0;
    if (!MemoBlock(c, record + c.Offset, block)) return false;
    return block == 0 || (fMemo && fMemo->EmptyAt(block));
}

bool TDbfRecordCodec::DecodesConcurrently(size_t column) const {
    if (column >= fColumns.size()) return false;
    switch (fColumns[column].Kind) {
    case dkMemoText:
    case dkMemoBinary:
        return false;
    case dkChar:
    case dkVarChar:
        return fSingleByte;
    default:
        return true;
    }
}

bool TDbfRecordCodec::Digits(const uint8_t* record, size_t column, std::string_view& out) const {
    const TDbfColumn& c = fColumns[column];
    if (c.NullBit >= 0 && NullBitSet(record, c.NullBit)) return false;
    const uint8_t* p = record + c.Offset;
    if (c.Kind == dkDate) {
        // YYYYMMDD; anything else is for the value to judge.
        for (int i = 0; i < 8; ++i)
            if (p[i] < '0' || p[i] > '9') return false;
        out = std::string_view(reinterpret_cast<const char*>(p), 8);
        return true;
    }
    if (c.Kind != dkInteger && c.Kind != dkNumber) return false;
    out = TrimBlanks(p, c.Length);
    return !out.empty();
}

void TDbfRecordCodec::Decode(const uint8_t* record, size_t column, TValue& out) const {
    const TDbfColumn& c = fColumns[column];
    if (c.NullBit >= 0 && NullBitSet(record, c.NullBit)) {
        out.SetNull();
        return;
    }
    const uint8_t* p = record + c.Offset;
    const char* s = reinterpret_cast<const char*>(p);
    switch (c.Kind) {
    case dkChar: {
        size_t n = c.Length;
        // Most of a character field is padding: skip it eight bytes at a time.
        constexpr uint64_t Blanks = 0x2020202020202020ull;
        uint64_t word;
        while (n >= 8 && (std::memcpy(&word, p + n - 8, 8), word == Blanks))
            n -= 8;
        while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == 0))
            --n;
        ReadText(std::string_view(s, n), out);
        return;
    }
    case dkVarChar:
    case dkVarBinary: {
        size_t n = c.Length;
        if (c.VarLengthBit >= 0) {
            if (NullBitSet(record, c.VarLengthBit))
                n = p[c.Length - 1] < c.Length ? p[c.Length - 1] : c.Length;
        } else if (c.Kind == dkVarChar) {
            while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == 0))
                --n;
        }
        if (c.Kind == dkVarChar) {
            ReadText(std::string_view(s, n), out);
        } else {
            out.SetBytes(std::string_view(s, n));
        }
        return;
    }
    case dkBinaryChar:
    case dkUnknown:
        out.SetBytes(std::string_view(s, c.Length));
        return;
    case dkInteger: {
        std::string_view t = TrimBlanks(p, c.Length);
        int64_t i;
        double d;
        if (t.empty())
            out.SetNull();
        else if (ParseWhole(t, i))
            out.SetInt(i);
        else if (ParseDecimal(t, d))
            out.SetFloat(d);
        else
            out.SetNull(); // "****": the value did not fit when it was written
        return;
    }
    case dkNumber: {
        std::string_view t = TrimBlanks(p, c.Length);
        double d;
        if (!t.empty() && ParseDecimal(t, d))
            out.SetFloat(d);
        else
            out.SetNull();
        return;
    }
    case dkDate: {
        int cc = Digit2(p), yy = Digit2(p + 2), mm = Digit2(p + 4), dd = Digit2(p + 6);
        double d;
        if (cc < 0 || yy < 0 || mm < 0 || dd < 0 || !TryEncodeDate(cc * 100 + yy, mm, dd, d))
            out.SetNull(); // blank, zeros or not a date
        else
            out.SetDateTime(d);
        return;
    }
    case dkLogical:
        switch (p[0]) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
            out.SetBool(true);
            return;
        case 'F':
        case 'f':
        case 'N':
        case 'n':
            out.SetBool(false);
            return;
        default:
            out.SetNull();
            return;
        }
    case dkMemoText:
    case dkMemoBinary: {
        uint32_t block = 0;
        if (!MemoBlock(c, p, block))
            throw EDatabaseError("Field " + c.Name + ": memo block " +
                                 std::string(TrimBlanks(p, c.Length)) + " is out of range");
        if (block == 0) {
            out.SetNull();
            return;
        }
        if (!fMemo) throw EDatabaseError("Field " + c.Name + ": the table has no memo file");
        std::string_view bytes = fMemo->View(block);
        if (bytes.empty())
            out.SetNull();
        else if (c.Kind == dkMemoText)
            ReadText(bytes, out);
        else
            out.SetBytes(bytes);
        return;
    }
    case dkLongLE:
        out.SetInt(static_cast<int32_t>(DbfLe32(p)));
        return;
    case dkLong7: {
        uint32_t raw = DbfBe32(p);
        if (raw == 0)
            out.SetNull();
        else
            out.SetInt(static_cast<int32_t>(raw ^ 0x80000000u));
        return;
    }
    case dkCurrency:
        out.SetFloat(static_cast<double>(static_cast<int64_t>(DbfLe64(p))) / 10000.0);
        return;
    case dkDateTimeFox: {
        int64_t jdn = static_cast<int32_t>(DbfLe32(p));
        int64_t ms = static_cast<int32_t>(DbfLe32(p + 4));
        if (jdn <= 0 || AllBytes(p, 8, ' ', 0) || ms < 0 || ms >= MsPerDay)
            out.SetNull();
        else
            out.SetDateTime(CombineDateTime(jdn - JulianDayZero, ms));
        return;
    }
    case dkTimestamp7: {
        double v = BitsToDouble(DbfBe64(p));
        if (AllBytes(p, 8, 0, 0) || !std::isfinite(v) || v < 0 || v > 9e17) {
            out.SetNull();
            return;
        }
        int64_t ms = std::llround(v);
        out.SetDateTime(CombineDateTime(ms / MsPerDay - Days0001, ms % MsPerDay));
        return;
    }
    case dkDoubleLE: {
        double v = BitsToDouble(DbfLe64(p));
        if (std::isfinite(v))
            out.SetFloat(v);
        else
            out.SetNull();
        return;
    }
    case dkDouble7: {
        uint64_t raw = DbfBe64(p);
        if (raw == 0) {
            out.SetNull();
            return;
        }
        raw = (raw & 0x8000000000000000ull) ? raw & 0x7FFFFFFFFFFFFFFFull : ~raw;
        double v = BitsToDouble(raw);
        if (std::isfinite(v))
            out.SetFloat(v);
        else
            out.SetNull();
        return;
    }
    }
    out.SetNull();
}

// ---- Writing ---------------------------------------------------------------------

void TDbfRecordCodec::Refuse(const TDbfColumn& c, const std::string& what) const {
    throw EDatabaseError("Field '" + c.Name + "': " + what);
}

void TDbfRecordCodec::BlankField(uint8_t* record, const TDbfColumn& c) const {
    uint8_t* p = record + c.Offset;
    switch (c.Kind) {
    case dkLogical:
        p[0] = (fVariant == dvFoxPro || fVariant == dvVisualFoxPro) ? ' ' : '?';
        return;
    case dkMemoText:
    case dkMemoBinary:
        std::memset(p, c.BinaryPointer ? 0 : ' ', c.Length);
        return;
    case dkBinaryChar:
    case dkVarBinary:
    case dkLongLE:
    case dkLong7:
    case dkCurrency:
    case dkDateTimeFox:
    case dkTimestamp7:
    case dkDoubleLE:
    case dkDouble7:
        std::memset(p, 0, c.Length);
        return;
    default:
        std::memset(p, ' ', c.Length);
        return;
    }
}

void TDbfRecordCodec::Blank(uint8_t* record) const {
    record[0] = ' ';
    if (fNullLength) std::memset(record + fNullOffset, 0, fNullLength);
    for (const TDbfColumn& c : fColumns) {
        BlankField(record, c);
        if (c.NullBit >= 0) SetNullBit(record, c.NullBit, true);
        if (c.VarLengthBit >= 0) SetNullBit(record, c.VarLengthBit, false);
    }
}

void TDbfRecordCodec::ToTable(const TDbfColumn& c, const TValue& v, std::string& out) {
    std::string text;
    std::string_view in;
    switch (v.Kind) {
    case TValueKind::Text:
    case TValueKind::Bytes:
        in = v.Text;
        break;
    case TValueKind::Integer:
        text = std::to_string(v.Int);
        break;
    case TValueKind::Float:
        AppendFloat(text, v.Float, 15, Classic());
        break;
    case TValueKind::Boolean:
        text = v.Bool ? "True" : "False";
        break;
    case TValueKind::DateTime:
        text = DateTimeToStr(v.Float);
        break;
    case TValueKind::Null:
        break;
    }
    if (v.Kind != TValueKind::Text && v.Kind != TValueKind::Bytes) in = text;
    if (!fCodePage->FromUtf8(in, out))
        Refuse(c, "the text \"" + std::string(in) + "\" has characters that code page " +
                      std::to_string(fCodePage->Number()) + " of this table cannot hold");
}

void TDbfRecordCodec::StoreMemo(uint8_t* record, const TDbfColumn& c, std::string_view bytes,
                                TDbfMemoSink* memo) {
    uint8_t* p = record + c.Offset;
    if (bytes.empty()) {
        BlankField(record, c);
        return;
    }
    if (!memo) Refuse(c, "the table has no memo file");
    uint32_t block = memo->Store(bytes, c.FptType);
    if (c.BinaryPointer) {
        DbfPutLe32(p, block);
    } else {
        char digits[16];
        int n = std::snprintf(digits, sizeof digits, "%*u", static_cast<int>(c.Length), block);
        if (n != static_cast<int>(c.Length)) Refuse(c, "the memo block number does not fit");
        std::memcpy(p, digits, c.Length);
    }
}

void TDbfRecordCodec::Encode(uint8_t* record, size_t column, const TValue& v, TDbfMemoSink* memo) {
    const TDbfColumn& c = fColumns[column];
    uint8_t* p = record + c.Offset;
    if (c.Kind == dkUnknown)
        Refuse(c, std::string("fields of type ") + c.Type + " cannot be written");
    if (v.IsNull()) {
        BlankField(record, c);
        if (c.NullBit >= 0) SetNullBit(record, c.NullBit, true);
        if (c.VarLengthBit >= 0) SetNullBit(record, c.VarLengthBit, false);
        return;
    }
    if (c.NullBit >= 0) SetNullBit(record, c.NullBit, false);
    bool isInt = false;
    int64_t i = 0;
    double d = 0;
    switch (c.Kind) {
    case dkChar:
    case dkVarChar: {
        ToTable(c, v, fScratch);
        if (fScratch.size() > c.Length)
            Refuse(c, "the text is " + std::to_string(fScratch.size()) +
                          " characters long; the field holds " + std::to_string(c.Length));
        std::memcpy(p, fScratch.data(), fScratch.size());
        size_t rest = c.Length - fScratch.size();
        if (c.Kind == dkVarChar && c.VarLengthBit >= 0) {
            std::memset(p + fScratch.size(), 0, rest);
            SetNullBit(record, c.VarLengthBit, rest > 0);
            if (rest > 0) p[c.Length - 1] = static_cast<uint8_t>(fScratch.size());
        } else {
            std::memset(p + fScratch.size(), ' ', rest);
        }
        return;
    }
    case dkBinaryChar:
    case dkVarBinary: {
        std::string_view b = v.Text;
        if (v.Kind != TValueKind::Bytes && v.Kind != TValueKind::Text)
            Refuse(c, "the value is not binary data");
        if (b.size() > c.Length)
            Refuse(c, "the data is " + std::to_string(b.size()) + " bytes long; the field holds " +
                          std::to_string(c.Length));
        std::memcpy(p, b.data(), b.size());
        size_t rest = c.Length - b.size();
        std::memset(p + b.size(), 0, rest);
        if (c.VarLengthBit >= 0) {
            SetNullBit(record, c.VarLengthBit, rest > 0);
            if (rest > 0) p[c.Length - 1] = static_cast<uint8_t>(b.size());
        }
        return;
    }
    case dkMemoText: {
        ToTable(c, v, fScratch);
        StoreMemo(record, c, fScratch, memo);
        return;
    }
    case dkMemoBinary:
        if (v.Kind != TValueKind::Bytes && v.Kind != TValueKind::Text)
            Refuse(c, "the value is not binary data");
        StoreMemo(record, c, v.Text, memo);
        return;
    case dkLogical: {
        bool b;
        if (v.Kind == TValueKind::Boolean)
            b = v.Bool;
        else if (v.Kind == TValueKind::Integer)
            b = v.Int != 0;
        else if (v.Kind == TValueKind::Text && !v.Text.empty() &&
                 std::strchr("TtYyFfNn", v.Text[0]))
            b = std::strchr("TtYy", v.Text[0]) != nullptr;
        else
            Refuse(c, "the value is not a logical value");
        p[0] = b ? 'T' : 'F';
        return;
    }
    case dkDate:
    case dkDateTimeFox:
    case dkTimestamp7: {
        if (!DateOf(v, d)) Refuse(c, "the value is not a " + KindName(c.Kind));
        if (std::fabs(d) > 3e6) Refuse(c, "the date is out of range");
        int64_t day, ms;
        SplitDateTime(d, day, ms);
        int year, month, dd;
        DecodeDate(static_cast<double>(day), year, month, dd);
        if (year < 1 || year > 9999) Refuse(c, "the date is out of range");
        if (c.Kind == dkDate) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%04d%02d%02d", year, month, dd);
            std::memcpy(p, buf, 8);
        } else if (c.Kind == dkDateTimeFox) {
            DbfPutLe32(p, static_cast<uint32_t>(day + JulianDayZero));
            DbfPutLe32(p + 4, static_cast<uint32_t>(ms));
        } else {
            double value = static_cast<double>((day + Days0001) * MsPerDay + ms);
            DbfPutBe64(p, DoubleToBits(value));
        }
        return;
    }
    default:
        break;
    }
    // Numbers
    if (!NumberOf(v, isInt, i, d)) Refuse(c, "the value is not a number");
    auto whole = [&](int64_t lo, int64_t hi) {
        if (!isInt) {
            if (!(d >= -9.2e18 && d <= 9.2e18)) Refuse(c, "the number is out of range");
            i = std::llround(d);
        }
        if (i < lo || i > hi)
            Refuse(c, "the number " + std::to_string(i) + " is out of range (" +
                          std::to_string(lo) + " to " + std::to_string(hi) + ")");
        return i;
    };
    switch (c.Kind) {
    case dkInteger:
    case dkNumber: {
        char buf[400];
        int n;
        if (c.Decimals == 0 && (isInt || std::fabs(d) < 9.2e18)) {
            n = std::snprintf(buf, sizeof buf, "%lld",
                              static_cast<long long>(isInt ? i : std::llround(d)));
        } else if (isInt) {
            n = std::snprintf(buf, sizeof buf, "%lld.%0*d", static_cast<long long>(i), c.Decimals,
                              0);
        } else {
            if (std::fabs(d) >= 1e300) Refuse(c, "the number is out of range");
            n = std::snprintf(buf, sizeof buf, "%.*f", c.Decimals, d);
        }
        std::string_view text(buf, n > 0 ? static_cast<size_t>(n) : 0);
        // A negative value that rounds to zero is written as zero.
        if (text.size() > 1 && text[0] == '-' &&
            text.find_first_not_of("-0.") == std::string_view::npos)
            text.remove_prefix(1);
        if (text.size() > c.Length)
            Refuse(c, "the number " + std::string(text) + " does not fit in " +
                          std::to_string(c.Length) + " characters");
        std::memset(p, ' ', c.Length - text.size());
        std::memcpy(p + c.Length - text.size(), text.data(), text.size());
        return;
    }
    case dkLongLE:
        DbfPutLe32(p, static_cast<uint32_t>(whole(INT32_MIN, INT32_MAX)));
        return;
    case dkLong7: {
        // All zero bytes mean "no value", so the smallest number cannot be stored.
        int64_t w = whole(INT32_MIN + 1LL, INT32_MAX);
        DbfPutBe32(p, static_cast<uint32_t>(w) ^ 0x80000000u);
        return;
    }
    case dkCurrency: {
        int64_t scaled;
        if (isInt) {
            if (i > 922337203685477LL || i < -922337203685477LL)
                Refuse(c, "the amount is out of range");
            scaled = i * 10000;
        } else {
            if (!(std::fabs(d) < 9.2e14)) Refuse(c, "the amount is out of range");
            scaled = std::llround(d * 10000.0);
        }
        DbfPutLe64(p, static_cast<uint64_t>(scaled));
        return;
    }
    case dkDoubleLE:
    case dkDouble7: {
        double x = isInt ? static_cast<double>(i) : d;
        if (c.Kind == dkDoubleLE) {
            DbfPutLe64(p, DoubleToBits(x));
        } else {
            uint64_t bits = DoubleToBits(x == 0 ? 0.0 : x);
            bits = (bits & 0x8000000000000000ull) ? ~bits : bits | 0x8000000000000000ull;
            DbfPutBe64(p, bits);
        }
        return;
    }
    default:
        Refuse(c, "the value cannot be written");
    }
}

// ---- Reading ahead ---------------------------------------------------------------

namespace {
uint64_t Load8(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// Two digits as a number, once they are known to be digits.
int Pair(const uint8_t* p) {
    return (p[0] - '0') * 10 + (p[1] - '0');
}

// Eight bytes that are all digits.
bool Digits8(const uint8_t* p) {
    const uint64_t x = Load8(p);
    constexpr uint64_t High = 0xF0F0F0F0F0F0F0F0ull, Threes = 0x3030303030303030ull;
    return (x & High) == Threes && ((x + 0x0606060606060606ull) & High) == Threes;
}

// Per byte of a word read little-endian, the high bit where the byte is
// neither a blank nor NUL.
uint64_t Solid(uint64_t w) {
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "bytes counted from the low end");
    const uint64_t t = w & 0xDFDFDFDFDFDFDFDFull; // blank and NUL alike become 0
    return (t | ((t & 0x7F7F7F7F7F7F7F7Full) + 0x7F7F7F7F7F7F7F7Full)) & 0x8080808080808080ull;
}

// How many bytes of p[0, n) are left when trailing blanks and NULs go, as
// Decode trims a character field, eight at a time.
size_t TrimmedLength(const uint8_t* p, size_t n) {
    while (n >= 8) {
        const uint64_t solid = Solid(Load8(p + n - 8));
        if (solid) return n - 8 + (63 - static_cast<size_t>(__builtin_clzll(solid))) / 8 + 1;
        n -= 8;
    }
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == 0))
        --n;
    return n;
}

// The field's bytes without the blanks (and NULs) around them, as
// TrimBlanks gives them.
std::string_view TrimmedField(const uint8_t* p, size_t n) {
    n = TrimmedLength(p, n);
    size_t b = 0;
    while (n - b >= 8) {
        const uint64_t solid = Solid(Load8(p + b));
        if (solid) {
            b += static_cast<size_t>(__builtin_ctzll(solid)) / 8;
            return std::string_view(reinterpret_cast<const char*>(p + b), n - b);
        }
        b += 8;
    }
    while (b < n && (p[b] == ' ' || p[b] == 0))
        ++b;
    return std::string_view(reinterpret_cast<const char*>(p + b), n - b);
}
} // namespace

void TDbfRecordCodec::AppendSingleByteText(std::string_view bytes, std::string& out) const {
    size_t ascii = 0;
    for (uint64_t word; ascii + 8 <= bytes.size(); ascii += 8) {
        std::memcpy(&word, bytes.data() + ascii, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80)
        ++ascii;
    if (ascii == bytes.size()) {
        out.append(bytes.data(), ascii);
        return;
    }
    // The rest into room for the longest sequences, cut to what it took.
    const size_t at = out.size();
    out.resize(at + ascii + sizeof(THighByte::Bytes) * (bytes.size() - ascii));
    char* o = out.data() + at;
    std::memcpy(o, bytes.data(), ascii);
    o += ascii;
    for (size_t i = ascii; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            *o++ = static_cast<char>(b);
        } else {
            const THighByte& h = fHigh[b - 0x80];
            std::memcpy(o, h.Bytes, sizeof h.Bytes);
            o += h.Length;
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
}

bool TDbfRecordCodec::ShowCells(const uint8_t* record, TAheadCell* cells, size_t count,
                                std::string_view joiner, std::string& texts) const {
    // Held in locals: the texts' writes could otherwise be any of them.
    const TDbfColumn* const columns = fColumns.data();
    const size_t columnCount = fColumns.size();
    const bool singleByte = fSingleByte;
    const TFormatSettings& fs = FormatSettings();
    for (size_t k = 0; k < count; ++k) {
        TAheadCell& cell = cells[k];
        const auto column = static_cast<size_t>(cell.FieldNo);
        if (column >= columnCount)
            throw EDatabaseError("The table has no field " + std::to_string(cell.FieldNo + 1));
        const TDbfColumn& c = columns[column];
        // Only these are shown here; the rest takes its field.
        switch (c.Kind) {
        case dkChar:
            if (cell.Show != TAheadCell::shText || !singleByte) return false;
            break;
        case dkInteger:
        case dkNumber:
            if (cell.Show != TAheadCell::shInteger && cell.Show != TAheadCell::shDecimal)
                return false;
            break;
        case dkDate:
            if (cell.Show != TAheadCell::shDate) return false;
            break;
        case dkLogical:
            if (cell.Show != TAheadCell::shBoolean) return false;
            break;
        default:
            return false;
        }
        if (k > 0) {
            if (joiner.size() == 1)
                texts.push_back(joiner[0]);
            else
                texts.append(joiner.data(), joiner.size());
        }
        cell.TextBegin = static_cast<uint32_t>(texts.size());
        cell.Kind = TAheadCell::kOther;
        const uint8_t* p = record + c.Offset;
        if (c.NullBit >= 0 && NullBitSet(record, c.NullBit)) {
            cell.Kind = TAheadCell::kNull; // a null shows nothing
        } else {
            switch (c.Kind) {
            case dkChar:
                // Trimmed as Decode trims it.
                AppendSingleByteText(
                    std::string_view(reinterpret_cast<const char*>(p), TrimmedLength(p, c.Length)),
                    texts);
                break;
            case dkInteger:
            case dkNumber: {
                // As AppendDisplayOfDigits shows the digits Digits gives;
                // blanks are a null.
                const std::string_view digits = TrimmedField(p, c.Length);
                if (digits.empty())
                    cell.Kind = TAheadCell::kNull;
                else if (!(cell.Show == TAheadCell::shInteger
                               ? AppendPlainInteger(texts, digits)
                               : AppendPlainDecimal(texts, digits, cell.Precision, fs)))
                    return false;
                break;
            }
            case dkDate:
                // Decode's rule: anything but a date that exists is a null.
                if (Digits8(p)) {
                    const int year = Pair(p) * 100 + Pair(p + 2);
                    if (cell.DatePlan ? cell.DatePlan->Append(texts, year, Pair(p + 4), Pair(p + 6))
                                      : AppendFormatDate(texts, fs.ShortDateFormat, year,
                                                         Pair(p + 4), Pair(p + 6), fs))
                        break;
                }
                cell.Kind = TAheadCell::kNull;
                break;
            default: // dkLogical, as Decode reads it
                switch (p[0]) {
                case 'T':
                case 't':
                case 'Y':
                case 'y':
                    texts.append(cell.TrueText.data(), cell.TrueText.size());
                    cell.Kind = TAheadCell::kTrue;
                    break;
                case 'F':
                case 'f':
                case 'N':
                case 'n':
                    texts.append(cell.FalseText.data(), cell.FalseText.size());
                    cell.Kind = TAheadCell::kFalse;
                    break;
                default:
                    cell.Kind = TAheadCell::kNull;
                    break;
                }
                break;
            }
        }
        cell.TextEnd = static_cast<uint32_t>(texts.size());
    }
    return true;
}

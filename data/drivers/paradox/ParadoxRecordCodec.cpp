#include "data/drivers/paradox/ParadoxRecordCodec.h"

#include "data/base/DatabaseError.h"
#include "data/drivers/paradox/ParadoxBlobFile.h"
#include "data/drivers/paradox/ParadoxBlobWriter.h"
#include "data/locale/ValueConversion.h"

#include "data/drivers/paradox/PxLib.h"
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {
// Paradox counts days from 1 January of the year 1 (day 1); the program
// from 30 December 1899 (day 0).
constexpr double DayOffset = 693594;
constexpr double MsPerDay = 86400000;

bool AllZero(const uint8_t* p, int n) {
    for (int i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

const TParadoxBlobFile& NoBlobFile() {
    static const TParadoxBlobFile none;
    return none;
}
} // namespace

bool DecodeParadoxBcd(const uint8_t* bcd, int fieldDecimals, double& out) {
    const bool negative = (bcd[0] & 0x80) == 0;
    // The decimals of the value itself. A negative value's first byte is
    // complemented by some writers like its digits, decimals included, and
    // kept by others: the reading that gives the field's decimals wins.
    int decimals = bcd[0] & 0x3F;
    const int complemented = ~bcd[0] & 0x3F;
    if (negative && decimals != fieldDecimals && (complemented == fieldDecimals || decimals > 32))
        decimals = complemented;
    if (decimals > 32) return false;
    char text[40];
    char* t = text;
    if (negative) *t++ = '-';
    bool leading = true;
    for (int i = 0; i < 32; ++i) {
        int n = i % 2 == 0 ? bcd[1 + i / 2] >> 4 : bcd[1 + i / 2] & 0x0F;
        if (negative) n = 0x0F - n;
        if (n > 9) return false;
        if (i == 32 - decimals) {
            if (leading) *t++ = '0';
            *t++ = '.';
            leading = false;
        }
        if (leading && n == 0) continue;
        leading = false;
        *t++ = static_cast<char>('0' + n);
    }
    if (leading) *t++ = '0';
    const auto r = std::from_chars(text, t, out);
    if (r.ec != std::errc() || r.ptr != t) return false;
    if (out == 0) out = 0.0; // no negative zero
    return true;
}

bool EncodeParadoxBcd(double v, int decimals, uint8_t* out) {
    std::memset(out, 0, 17);
    if (!std::isfinite(v) || decimals < 0 || decimals > 32) return false;
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) return false;
    std::string digits;
    for (char* p = buf; p < r.ptr; ++p)
        if (*p != '.') digits += *p;
    size_t lead = 0;
    while (lead + 1 + static_cast<size_t>(decimals) < digits.size() && digits[lead] == '0')
        ++lead;
    digits.erase(0, lead);
    if (digits.size() > 32) return false;
    bool zero = digits.find_first_not_of('0') == std::string::npos;
    const bool negative = v < 0 && !zero;
    out[0] = static_cast<uint8_t>((negative ? 0x40 : 0xC0) | decimals);
    uint8_t nibbles[32];
    std::memset(nibbles, 0, sizeof nibbles);
    size_t first = 32 - digits.size();
    for (size_t i = 0; i < digits.size(); ++i)
        nibbles[first + i] = static_cast<uint8_t>(digits[i] - '0');
    for (size_t i = 0; i < 32; ++i) {
        uint8_t n = negative ? static_cast<uint8_t>(0x0F - nibbles[i]) : nibbles[i];
        out[1 + i / 2] = static_cast<uint8_t>(out[1 + i / 2] | (i % 2 == 0 ? n << 4 : n));
    }
    return true;
}

void TParadoxRecordCodec::Init(const std::vector<TParadoxField>& fields, int codePage) {
    fFields = fields;
    fCodePage = std::make_unique<TCodePage>(codePage);
    fNames.clear();
    for (const TParadoxField& f : fields) {
        std::string name;
        fCodePage->ToUtf8(f.Name, name);
        fNames.push_back(std::move(name));
    }
}

TFieldType TParadoxRecordCodec::FieldTypeOf(const TParadoxField& f) {
    switch (f.Type) {
    case pdAlpha:
        return ftString;
    case pdDate:
        return ftDate;
    case pdShort:
        return ftSmallint;
    case pdLong:
        return ftInteger;
    case pdCurrency:
        return ftCurrency;
    case pdNumber:
        return ftFloat;
    case pdLogical:
        return ftBoolean;
    case pdMemo:
        return ftMemo;
    case pdBlob:
        return ftBlob;
    case pdFmtMemo:
        return ftFmtMemo;
    case pdOle:
        return ftParadoxOle;
    case pdGraphic:
        return ftGraphic;
    case pdTime:
        return ftTime;
    case pdTimestamp:
        return ftDateTime;
    case pdAutoInc:
        return ftAutoInc;
    case pdBcd:
        return ftBCD;
    case pdBytes:
        return ftBytes;
    default:
        return ftUnknown;
    }
}

bool TParadoxRecordCodec::ToTable(std::string_view utf8, std::string& out) {
    return fCodePage->FromUtf8(utf8, out);
}

void TParadoxRecordCodec::FromTable(std::string_view raw, std::string& out) {
    fCodePage->ToUtf8(raw, out);
}

void TParadoxRecordCodec::Decode(const uint8_t* record, size_t field, TValue& out,
                                 const TParadoxBlobFile* blobs) {
    const TParadoxField& f = fFields[field];
    const uint8_t* p = record + f.Offset;
    // pxlib reads from a copy: its functions take writable buffers.
    char buf[17];
    if (f.Length <= static_cast<int>(sizeof buf))
        std::memcpy(buf, p, static_cast<size_t>(f.Length));
    px_doc* px = fPx.Get();
    // All zero bytes are a blank value of every type (pxlib reads them as
    // the lowest number for some).
    if (!f.IsBlob() && f.Type != pdAlpha && AllZero(p, f.Length)) return out.SetNull();
    switch (f.Type) {
    case pdAlpha: {
        size_t n = strnlen(reinterpret_cast<const char*>(p), static_cast<size_t>(f.Length));
        if (n == 0) return out.SetNull();
        out.Kind = TValueKind::Text;
        fCodePage->ToUtf8(std::string_view(reinterpret_cast<const char*>(p), n), out.Text);
        return;
    }
    case pdBytes:
        if (AllZero(p, f.Length)) return out.SetNull();
        out.SetBytes(
            std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(f.Length)));
        return;
    case pdShort: {
        short v;
        if (PX_get_data_short(px, buf, 2, &v) <= 0) return out.SetNull();
        out.SetInt(v);
        return;
    }
    case pdLong:
    case pdAutoInc:
    case pdDate:
    case pdTime: {
        long v;
        if (PX_get_data_long(px, buf, 4, &v) <= 0) return out.SetNull();
        if (f.Type == pdDate)
            out.SetDateTime(static_cast<double>(v) - DayOffset);
        else if (f.Type == pdTime)
            out.SetDateTime(static_cast<double>(v) / MsPerDay);
        else
            out.SetInt(v);
        return;
    }
    case pdNumber:
    case pdCurrency:
    case pdTimestamp: {
        double v;
        if (PX_get_data_double(px, buf, 8, &v) <= 0 || !std::isfinite(v)) return out.SetNull();
        if (f.Type == pdTimestamp) {
            // Whole days and the time apart, as the program composes them.
            double days = std::floor(v / MsPerDay);
            out.SetDateTime((days - DayOffset) + (v - days * MsPerDay) / MsPerDay);
        } else
            out.SetFloat(v);
        return;
    }
    case pdLogical: {
        char v;
        if (PX_get_data_byte(px, buf, 1, &v) <= 0) return out.SetNull();
        out.SetBool(v != 0);
        return;
    }
    case pdBcd: {
        double v;
        if (!DecodeParadoxBcd(p, f.SizeByte, v))
            throw EDatabaseError("the BCD value of field '" + fNames[field] + "' is damaged");
        out.SetFloat(v);
        return;
    }
    case pdMemo:
    case pdBlob:
    case pdFmtMemo:
    case pdOle:
    case pdGraphic: {
        const TParadoxBlobFile& file = blobs ? *blobs : NoBlobFile();
        if (!file.Read(p, f.Length, fRaw)) return out.SetNull();
        if (f.Type == pdMemo) {
            out.Kind = TValueKind::Text;
            fCodePage->ToUtf8(fRaw, out.Text);
        } else {
            out.SetBytes(fRaw);
        }
        return;
    }
    default:
        out.SetNull();
        return;
    }
}

void TParadoxRecordCodec::Refuse(size_t field, const TValue& v, const std::string& why) const {
    throw EDatabaseError("Field '" + fNames[field] + "' cannot hold " + DescribeValue(v) + ": " +
                         why);
}

void TParadoxRecordCodec::Encode(uint8_t* record, size_t field, const TValue& v,
                                 TParadoxBlobWriter* blobs) {
    const TParadoxField& f = fFields[field];
    uint8_t* p = record + f.Offset;
    std::memset(p, 0, static_cast<size_t>(f.Length));
    if (v.IsNull()) return;
    px_doc* px = fPx.Get();
    char buf[17];
    std::memset(buf, 0, sizeof buf);
    auto store = [&](int n) { std::memcpy(p, buf, static_cast<size_t>(n)); };
    switch (f.Type) {
    case pdAlpha: {
        if (v.Kind == TValueKind::Text || v.Kind == TValueKind::Bytes)
            fText = v.Text;
        else
            ValueToText(v, fText);
        if (fText.empty()) return;
        if (fText.find('\0') != std::string::npos) Refuse(field, v, "it contains a NUL character");
        if (!ToTable(fText, fRaw))
            Refuse(field, v,
                   "code page " + std::to_string(CodePage()) + " has no character for part of it");
        if (fRaw.size() > static_cast<size_t>(f.Length))
            Refuse(field, v,
                   "it takes " + std::to_string(fRaw.size()) + " bytes, the field holds " +
                       std::to_string(f.Length));
        std::memcpy(p, fRaw.data(), fRaw.size());
        return;
    }
    case pdBytes:
        if (v.Kind != TValueKind::Bytes && v.Kind != TValueKind::Text)
            Refuse(field, v, "it is not binary data");
        if (v.Text.size() > static_cast<size_t>(f.Length))
            Refuse(field, v, "the field holds " + std::to_string(f.Length) + " bytes");
        if (v.Text.empty()) return;
        std::memcpy(p, v.Text.data(), v.Text.size());
        return;
    case pdShort:
    case pdLong:
    case pdAutoInc: {
        int64_t n;
        if (!ValueToInt64(v, n)) Refuse(field, v, "it is not a whole number");
        const int64_t limit = f.Type == pdShort ? 32767 : 2147483647;
        if (n < -limit || n > limit)
            Refuse(field, v,
                   "the field holds -" + std::to_string(limit) + " to " + std::to_string(limit));
        if (f.Type == pdShort)
            PX_put_data_short(px, buf, 2, static_cast<short>(n));
        else
            PX_put_data_long(px, buf, 4, static_cast<int>(n));
        return store(f.Length);
    }
    case pdNumber:
    case pdCurrency: {
        double d;
        if (!ValueToDouble(v, d)) Refuse(field, v, "it is not a number");
        PX_put_data_double(px, buf, 8, d == 0 ? 0.0 : d);
        return store(8);
    }
    case pdBcd: {
        double d;
        if (!ValueToDouble(v, d)) Refuse(field, v, "it is not a number");
        if (!EncodeParadoxBcd(d, f.SizeByte, p)) Refuse(field, v, "it has more than 32 digits");
        return;
    }
    case pdDate:
    case pdTime:
    case pdTimestamp: {
        double dt;
        if (!ValueToDateTime(v, dt)) Refuse(field, v, "it is not a date or time");
        if (f.Type == pdDate) {
            double day = std::floor(dt) + DayOffset;
            if (day < 1 || day > 3652059)
                Refuse(field, v, "the date lies outside the years 1 to 9999");
            PX_put_data_long(px, buf, 4, static_cast<int>(day));
            return store(4);
        }
        if (f.Type == pdTime) {
            double ms = std::round((dt - std::floor(dt)) * MsPerDay);
            if (ms >= MsPerDay) ms = MsPerDay - 1;
            PX_put_data_long(px, buf, 4, static_cast<int>(ms));
            return store(4);
        }
        double days = std::floor(dt);
        double time = std::round((dt - days) * MsPerDay);
        double ms = (days + DayOffset) * MsPerDay + std::min(time, MsPerDay - 1);
        if (days + DayOffset < 1 || dt > 2958466)
            Refuse(field, v, "the date lies outside the years 1 to 9999");
        PX_put_data_double(px, buf, 8, ms);
        return store(8);
    }
    case pdLogical: {
        bool b;
        if (!ValueToBool(v, b)) Refuse(field, v, "it is not True or False");
        PX_put_data_byte(px, buf, 1, b ? 1 : 0);
        return store(1);
    }
    case pdMemo:
    case pdBlob:
    case pdFmtMemo:
    case pdOle:
    case pdGraphic: {
        std::string_view data;
        if (f.Type == pdMemo) {
            if (v.Kind == TValueKind::Text || v.Kind == TValueKind::Bytes)
                fText = v.Text;
            else
                ValueToText(v, fText);
            if (!ToTable(fText, fRaw))
                Refuse(field, v,
                       "code page " + std::to_string(CodePage()) +
                           " has no character for part of it");
            data = fRaw;
        } else {
            if (v.Kind != TValueKind::Bytes && v.Kind != TValueKind::Text)
                Refuse(field, v, "it is not binary data");
            data = v.Text;
        }
        if (data.empty()) return;
        const size_t leader = static_cast<size_t>(f.Length - 10);
        std::memcpy(p, data.data(), std::min(leader, data.size()));
        TParadoxBlobFile::TRef ref;
        if (data.size() <= leader) {
            ref.Length = static_cast<uint32_t>(data.size());
        } else {
            if (!blobs) Refuse(field, v, "the table has no blob file");
            if (data.size() > 0x7FFFFFF0u) Refuse(field, v, "it is too large");
            ref = blobs->Add(data);
        }
        TParadoxBlobFile::WriteRef(p, f.Length, ref);
        return;
    }
    default:
        Refuse(field, v, "the field's type is unknown");
    }
}

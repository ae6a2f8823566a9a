#include "data/drivers/dbf/DbfLanguageDriver.h"

#include "data/base/TextUtils.h"
#include "data/drivers/dbf/DbfHeader.h"
#include "data/drivers/dbf/DbfSideFile.h"
#include "data/platform/CodePageDetector.h"

#include <algorithm>
#include <cctype>

namespace {
struct TLdid {
    uint8_t Id;
    int CodePage;
};

// The first entry of a code page is the byte written for it.
constexpr TLdid Ldids[] = {
    {0x01, 437},  {0x02, 850},   {0x03, 1252},  {0x04, 10000}, {0x64, 852},  {0x65, 866},
    {0x66, 865},  {0x67, 861},   {0x6A, 737},   {0x6B, 857},   {0x6C, 863},  {0x78, 950},
    {0x79, 949},  {0x7A, 936},   {0x7B, 932},   {0x7C, 874},   {0x7D, 1255}, {0x7E, 1256},
    {0xC8, 1250}, {0xC9, 1251},  {0xCA, 1254},  {0xCB, 1253},  {0xCC, 1257}, {0x08, 865},
    {0x09, 437},  {0x0A, 850},   {0x0B, 437},   {0x0D, 437},   {0x0E, 850},  {0x0F, 437},
    {0x10, 850},  {0x11, 437},   {0x12, 850},   {0x13, 932},   {0x14, 850},  {0x15, 437},
    {0x16, 850},  {0x17, 865},   {0x18, 437},   {0x19, 437},   {0x1A, 850},  {0x1B, 437},
    {0x1C, 863},  {0x1D, 850},   {0x1F, 852},   {0x22, 852},   {0x23, 852},  {0x24, 860},
    {0x25, 850},  {0x26, 866},   {0x37, 850},   {0x40, 852},   {0x4D, 936},  {0x4E, 949},
    {0x4F, 950},  {0x50, 874},   {0x57, 1252},  {0x58, 1252},  {0x59, 1252}, {0x68, 895},
    {0x69, 620},  {0x96, 10007}, {0x97, 10029}, {0x98, 10006},
};

int Digits(std::string_view s) {
    if (s.empty() || s.size() > 5) return 0;
    int n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}
} // namespace

int TDbfLanguageDriver::CodePageOf(uint8_t id) {
    if (id == 0) return 0;
    for (const TLdid& l : Ldids)
        if (l.Id == id) return l.CodePage;
    return -1;
}

uint8_t TDbfLanguageDriver::IdOf(int codePage) {
    for (const TLdid& l : Ldids)
        if (l.CodePage == codePage) return l.Id;
    return 0;
}

int TDbfLanguageDriver::CodePageOfName(std::string_view name) {
    std::string n = UpperCase(Trim(name.substr(0, name.find('\0'))));
    if (n.size() < 5 || n.compare(0, 2, "DB") != 0) return 0;
    if (n.compare(2, 3, "WIN") == 0) return 1252;
    return Digits(std::string_view(n).substr(2, 3));
}

int TDbfLanguageDriver::ParseCpgText(std::string_view text) {
    std::string t = UpperCase(Trim(text));
    // A byte-order mark or a line end may follow some writers' text.
    if (t.size() >= 3 && t.compare(0, 3, "\xEF\xBB\xBF") == 0) t.erase(0, 3);
    size_t end = t.find_first_of("\r\n");
    if (end != std::string::npos) t.erase(end);
    t = std::string(Trim(t));
    if (t == "UTF-8" || t == "UTF8" || t == "65001") return 65001;
    if (t == "ISO-8859-1" || t == "ISO8859-1" || t == "ISO 8859-1" || t == "LATIN1" || t == "88591")
        return 1252; // the same letters; 1252 only adds to the C1 range
    for (std::string_view prefix : {"WINDOWS-", "ANSI ", "OEM ", "CP", "IBM", "MS"}) {
        if (t.compare(0, prefix.size(), prefix) == 0) {
            int n = Digits(std::string_view(t).substr(prefix.size()));
            if (n) return n;
        }
    }
    return Digits(t);
}

int TDbfLanguageDriver::Detect(const TDbfHeader& h, const uint8_t* data, uint64_t size) {
    TCodePageDetector detector;
    std::vector<const TDbfFieldDesc*> text;
    uint64_t textBytes = 0;
    for (const TDbfFieldDesc& f : h.Fields) {
        if (f.Type == '0') continue;
        detector.Add(f.Name, f.Name.size() >= 10);
        if ((f.Type == 'C' || f.Type == 'V') && !(f.Flags & dffBinary)) {
            text.push_back(&f);
            textBytes += f.Length;
        }
    }
    if (!text.empty() && h.RecordCount > 0 && h.RecordLength > 0) {
        // About 32 KB of fields: half from the first records, half from 32
        // places spread over the rest.
        const uint64_t wanted =
            std::clamp<uint64_t>(32 * 1024 / std::max<uint64_t>(textBytes, 1), 64, 2048);
        auto sample = [&](uint32_t rec) {
            const uint64_t at = h.RecordOffset(rec);
            if (at > size || size - at < h.RecordLength) return;
            const uint8_t* r = data + at;
            for (const TDbfFieldDesc* f : text) {
                if (f->Offset > h.RecordLength || h.RecordLength - f->Offset < f->Length) continue;
                std::string_view v(reinterpret_cast<const char*>(r + f->Offset), f->Length);
                const size_t full = v.size();
                while (!v.empty() && (v.back() == ' ' || v.back() == '\0'))
                    v.remove_suffix(1);
                if (!v.empty()) detector.Add(v, v.size() == full);
            }
        };
        const uint32_t count = h.RecordCount;
        const uint32_t head = static_cast<uint32_t>(std::min<uint64_t>(count, wanted / 2));
        for (uint32_t r = 0; r < head; ++r)
            sample(r);
        if (count > head) {
            constexpr uint32_t places = 32;
            const uint32_t each = static_cast<uint32_t>(std::max<uint64_t>(wanted / 2 / places, 1));
            const uint64_t rest = count - head;
            for (uint32_t k = 0; k < places; ++k) {
                const uint32_t first = head + static_cast<uint32_t>(rest * k / places);
                for (uint32_t r = first; r < std::min<uint64_t>(count, uint64_t{first} + each); ++r)
                    sample(r);
            }
        }
    }
    return detector.Result(DefaultCodePage);
}

std::string TDbfLanguageDriver::FindCpgFile(const std::string& tablePath) {
    return FindSideFile(tablePath, ".cpg");
}

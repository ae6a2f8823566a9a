#include "data/platform/CodePage.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/base/Unicode.h"
#include "data/platform/CodePageTable.h"

#include <cerrno>
#include <iconv.h>

namespace {
std::string IconvName(int cp) {
    switch (cp) {
    case 10000:
        return "MACINTOSH";
    case 10007:
        return "CP10007";
    case 10029:
        return "MAC-CENTRALEUROPE";
    case 1051:
        return "HP-ROMAN8";
    case 20866:
        return "KOI8-R";
    case 21866:
        return "KOI8-U";
    case 51932:
        return "EUC-JP";
    case 54936:
        return "GB18030";
    case 65001:
        return "UTF-8";
    default:
        break;
    }
    switch (cp) {
    case 437:
    case 737:
    case 775:
    case 850:
    case 852:
    case 855:
    case 857:
    case 858:
    case 860:
    case 861:
    case 862:
    case 863:
    case 864:
    case 865:
    case 866:
    case 869:
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
        return "CP" + std::to_string(cp);
    default:
        break;
    }
    if (cp >= 1250 && cp <= 1258) return "CP" + std::to_string(cp);
    if (cp >= 28591 && cp <= 28606 && cp != 28602) return "ISO-8859-" + std::to_string(cp - 28590);
    return std::string();
}

iconv_t Open(const std::string& to, const std::string& from) {
    if (to.empty() || from.empty()) return reinterpret_cast<iconv_t>(-1);
    return iconv_open(to.c_str(), from.c_str());
}

// Runs a conversion; an input byte sequence that cannot be converted is
// replaced by `bad` and skipped. Returns false when anything was replaced.
bool Convert(iconv_t cd, std::string_view in, std::string& out, std::string_view bad,
             bool fromUtf8) {
    out.clear();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    bool clean = true;
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buffer[1024];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: skip one character of input
        clean = false;
        out.append(bad);
        // A broken sequence goes as far as it is broken, so the characters
        // after it stay.
        size_t skip = 1;
        if (fromUtf8) {
            char32_t cp;
            skip = 0;
            ReadUtf8(std::string_view(src, srcLeft), skip, cp);
        }
        src += skip;
        srcLeft -= skip;
    }
    // The converters that compose accents (1255, 1258) hold the last
    // character back until they are told the text ends.
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    return clean;
}

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}
} // namespace

TCodePage::TCodePage(int codePage) : fNumber(codePage) {
    if (IsUtf8()) return;
    std::string name = IconvName(codePage);
    iconv_t to = Open("UTF-8", name);
    iconv_t from = Open(name, "UTF-8");
    if (to == reinterpret_cast<iconv_t>(-1) || from == reinterpret_cast<iconv_t>(-1)) {
        if (to != reinterpret_cast<iconv_t>(-1)) iconv_close(to);
        if (from != reinterpret_cast<iconv_t>(-1)) iconv_close(from);
        fTable = TCodePageTable::Find(codePage);
        if (fTable) return;
        throw EDatabaseError("Code page " + std::to_string(codePage) + " is not supported");
    }
    fToUtf8 = to;
    fFromUtf8 = from;
}

TCodePage::~TCodePage() {
    if (fToUtf8) iconv_close(static_cast<iconv_t>(fToUtf8));
    if (fFromUtf8) iconv_close(static_cast<iconv_t>(fFromUtf8));
}

void TCodePage::ToUtf8(std::string_view in, std::string& out) {
    if (IsUtf8() || IsAscii(in)) {
        out.assign(in.data(), in.size());
        return;
    }
    if (fTable) {
        out.clear();
        for (unsigned char c : in)
            AppendUtf8(out, fTable->ToUnicode(c));
        return;
    }
    Convert(static_cast<iconv_t>(fToUtf8), in, out, "\xEF\xBF\xBD", false);
}

bool TCodePage::FromUtf8(std::string_view in, std::string& out) {
    if (IsUtf8() || IsAscii(in)) {
        out.assign(in.data(), in.size());
        return true;
    }
    if (fTable) {
        out.clear();
        bool clean = true;
        size_t pos = 0;
        while (pos < in.size()) {
            unsigned char byte;
            if (fTable->FromUnicode(NextUtf8Char(in, pos), byte)) {
                out += static_cast<char>(byte);
            } else {
                out += '?';
                clean = false;
            }
        }
        return clean;
    }
    return Convert(static_cast<iconv_t>(fFromUtf8), in, out, "?", true);
}

bool TCodePage::Supported(int codePage) {
    if (codePage == 65001) return true;
    std::string name = IconvName(codePage);
    iconv_t cd = Open("UTF-8", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return TCodePageTable::Find(codePage) != nullptr;
    iconv_close(cd);
    return true;
}

bool TCodePage::SingleByte(int codePage) {
    switch (codePage) {
    case 932:
    case 936:
    case 949:
    case 950:
    case 51932:
    case 54936:
    case 65001:
        return false;
    default:
        return true;
    }
}

int TCodePage::NumberOfName(std::string_view name) {
    const std::string n = UpperCase(Trim(name));
    auto number = [](std::string_view digits) {
        if (digits.empty() || digits.size() > 5) return 0;
        int v = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return 0;
            v = v * 10 + (c - '0');
        }
        return v;
    };
    if (n == "UTF-8" || n == "UTF8") return 65001;
    if (n == "KOI8-R") return 20866;
    if (n == "KOI8-U") return 21866;
    if (n == "MAC" || n == "MACINTOSH" || n == "MACROMAN") return 10000;
    if (n == "HP-ROMAN8" || n == "ROMAN8") return 1051;
    if (n == "SHIFT_JIS" || n == "SJIS") return 932;
    if (n == "BIG5") return 950;
    if (n == "GBK") return 936;
    if (n == "GB18030") return 54936;
    if (n == "EUC-JP") return 51932;
    if (n == "EUC-KR") return 949;
    if (n.rfind("ISO-8859-", 0) == 0) {
        const int part = number(std::string_view(n).substr(9));
        return part >= 1 && part <= 16 && part != 12 ? 28590 + part : 0;
    }
    for (std::string_view prefix : {"WINDOWS-", "CP", "IBM"})
        if (n.rfind(prefix, 0) == 0) return number(std::string_view(n).substr(prefix.size()));
    return number(n);
}

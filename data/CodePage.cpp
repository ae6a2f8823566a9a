#include "data/CodePage.h"

#include "data/DatabaseError.h"

#include <cerrno>
#include <iconv.h>

namespace {
std::string IconvName(int cp) {
    switch (cp) {
    case 437:
        return "CP437";
    case 850:
        return "CP850";
    case 852:
        return "CP852";
    case 857:
        return "CP857";
    case 860:
        return "CP860";
    case 861:
        return "CP861";
    case 863:
        return "CP863";
    case 865:
        return "CP865";
    case 866:
        return "CP866";
    case 874:
        return "CP874";
    case 932:
        return "CP932";
    case 936:
        return "CP936";
    case 949:
        return "CP949";
    case 950:
        return "CP950";
    case 10000:
        return "MACINTOSH";
    case 65001:
        return "UTF-8";
    default:
        if (cp >= 1250 && cp <= 1258) return "CP" + std::to_string(cp);
        return std::string();
    }
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
        size_t skip = 1;
        if (fromUtf8) {
            unsigned char c = static_cast<unsigned char>(*src);
            skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (skip > srcLeft) skip = srcLeft;
        }
        src += skip;
        srcLeft -= skip;
    }
    return clean;
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
    bool ascii = true;
    for (unsigned char c : in)
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii || IsUtf8()) {
        out.assign(in.data(), in.size());
        return;
    }
    Convert(static_cast<iconv_t>(fToUtf8), in, out, "\xEF\xBF\xBD", false);
}

bool TCodePage::FromUtf8(std::string_view in, std::string& out) {
    bool ascii = true;
    for (unsigned char c : in)
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii || IsUtf8()) {
        out.assign(in.data(), in.size());
        return true;
    }
    return Convert(static_cast<iconv_t>(fFromUtf8), in, out, "?", true);
}

bool TCodePage::Supported(int codePage) {
    if (codePage == 65001) return true;
    std::string name = IconvName(codePage);
    iconv_t cd = Open("UTF-8", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
}

#include "data/platform/CodePageDetector.h"

#include "data/base/TextUtils.h"
#include "data/platform/CodePage.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <uchardet/uchardet.h>
#include <vector>

namespace {
// What a character is for judging a code page: a letter of a script, in
// upper or lower case or neither; a symbol; or something no text holds.
enum TKind : uint8_t {
    kOther = 0, // ASCII digits, blanks, punctuation
    kLatin = 1,
    kGreek = 2,
    kCyrillic = 3,
    kHebrew = 4,
    kArabic = 5,
    kThai = 6,
    kAnyScript = 7, // combining marks: they follow letters of any script
    kScript = 0x0F,
    kUpper = 0x10,
    kLower = 0x20,
    kSymbol = 0x40,
    kGarbage = 0x80,
};

uint8_t CaseOf(bool upper) {
    return upper ? kUpper : kLower;
}

uint8_t Classify(char32_t c) {
    if (c < 0x80) {
        if (c >= 'A' && c <= 'Z') return kLatin | kUpper;
        if (c >= 'a' && c <= 'z') return kLatin | kLower;
        return kOther;
    }
    if (c < 0xA0 || c == 0xFFFD || (c >= 0x2500 && c <= 0x25FF) || c == 0x2320 || c == 0x2321 ||
        (c >= 0xE000 && c <= 0xF8FF))
        return kGarbage;
    if (c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7) return kLatin | CaseOf(c <= 0xDE);
    if (c >= 0x100 && c <= 0x17F) {
        bool upper;
        if (c <= 0x137)
            upper = c % 2 == 0;
        else if (c == 0x138 || c == 0x149 || c == 0x17F)
            upper = false;
        else if (c <= 0x148 || (c >= 0x179 && c <= 0x17E))
            upper = c % 2 == 1;
        else
            upper = c == 0x178 || c % 2 == 0;
        return kLatin | CaseOf(upper);
    }
    if (c == 0x192) return kSymbol; // the florin sign
    if (c >= 0x180 && c <= 0x24F) return kLatin;
    if (c >= 0x1E00 && c <= 0x1EFF) return kLatin | CaseOf(c % 2 == 0);
    if (c >= 0x300 && c <= 0x36F) return kAnyScript;
    if (c == 0x386 || (c >= 0x388 && c <= 0x38F) || (c >= 0x391 && c <= 0x3AB))
        return kGreek | kUpper;
    if (c == 0x390 || (c >= 0x3AC && c <= 0x3CE)) return kGreek | kLower;
    if (c >= 0x3D0 && c <= 0x3FF) return kGreek;
    if (c >= 0x400 && c <= 0x42F) return kCyrillic | kUpper;
    if (c >= 0x430 && c <= 0x45F) return kCyrillic | kLower;
    if (c >= 0x460 && c <= 0x4FF) return kCyrillic | CaseOf(c % 2 == 0);
    if (c >= 0x5B0 && c <= 0x5F4) return kHebrew;
    if ((c >= 0x610 && c <= 0x6FF && !(c >= 0x660 && c <= 0x66D)) || (c >= 0xFB50 && c <= 0xFDFF) ||
        (c >= 0xFE70 && c <= 0xFEFC))
        return kArabic;
    if (c >= 0xE01 && c <= 0xE5B) return kThai;
    return kSymbol;
}

bool IsLetter(uint8_t k) {
    return (k & kScript) != 0;
}

bool SameScript(uint8_t a, uint8_t b) {
    const uint8_t sa = a & kScript, sb = b & kScript;
    return sa == sb || sa == kAnyScript || sb == kAnyScript;
}

// The code point of the UTF-8 sequence at `at`, which moves past it.
char32_t NextCodePoint(const std::string& s, size_t& at) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const unsigned char lead = p[at];
    const size_t len = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (at + len > s.size()) {
        at = s.size();
        return 0xFFFD;
    }
    char32_t c = len == 1 ? lead : lead & (0x7F >> len);
    for (size_t k = 1; k < len; ++k)
        c = (c << 6) | (p[at + k] & 0x3F);
    at += len;
    return c;
}

// The pages of the same script in the other family (DOS for a Windows or
// ISO page, Windows for a DOS page), which the bytes are weighed against.
std::vector<int> Siblings(int cp) {
    switch (cp) {
    case 1252:
        return {850, 437};
    case 28605:
    case 10000:
        return {1252, 850, 437};
    case 850:
    case 437:
    case 858:
        return {1252};
    case 1250:
    case 28592:
    case 10029:
        return {852, 1250};
    case 852:
        return {1250};
    case 1251:
    case 28595:
    case 20866:
    case 21866:
    case 10007:
    case 855:
        return {866, 1251};
    case 866:
        return {1251};
    case 1253:
    case 28597:
        return {737, 869, 1253};
    case 737:
    case 869:
        return {1253};
    case 1254:
    case 28599:
        return {857, 1254};
    case 857:
        return {1254};
    case 1255:
    case 28598:
        return {862, 1255};
    case 862:
        return {1255};
    case 1256:
    case 28596:
        return {864, 1256};
    case 1257:
    case 28594:
    case 28603:
        return {775, 1257};
    case 775:
        return {1257};
    default:
        return {};
    }
}
// What each byte of a single-byte code page is (see Classify); made once
// a code page, as opening a converter costs more than the sample's walk.
const std::array<uint8_t, 256>* KindsOf(int codePage) {
    static std::mutex lock;
    static std::map<int, std::array<uint8_t, 256>> made;
    std::lock_guard<std::mutex> hold(lock);
    auto found = made.find(codePage);
    if (found != made.end()) return &found->second;
    if (!TCodePage::SingleByte(codePage) || !TCodePage::Supported(codePage)) return nullptr;
    std::array<uint8_t, 256> kind{};
    for (int b = 0; b < 0x80; ++b)
        kind[static_cast<size_t>(b)] = Classify(static_cast<char32_t>(b));
    // The 128 high bytes in one conversion: each is one character (U+FFFD
    // for a byte that names none).
    TCodePage cp(codePage);
    std::string high128(128, '\0'), utf8;
    for (int b = 0; b < 128; ++b)
        high128[static_cast<size_t>(b)] = static_cast<char>(0x80 + b);
    cp.ToUtf8(high128, utf8);
    size_t at = 0;
    for (int b = 0x80; b < 0x100; ++b)
        kind[static_cast<size_t>(b)] =
            Classify(at < utf8.size() ? NextCodePoint(utf8, at) : 0xFFFD);
    return &made.emplace(codePage, kind).first->second;
}
} // namespace

void TCodePageDetector::Add(std::string_view text, bool cut) {
    if (fSample.size() >= MaxSample) return;
    if (text.size() > MaxSample - fSample.size()) {
        text = text.substr(0, MaxSample - fSample.size());
        cut = true;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    const size_t highBefore = fHigh;
    size_t i = 0;
    if (cut) // the tail of a character that the piece's start cut
        for (; i < n && i < 3 && (p[i] & 0xC0) == 0x80; ++i)
            ++fHigh;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        ++fHigh;
        if (!fUtf8) {
            ++i;
            continue;
        }
        const size_t len = c >= 0xF0 && c <= 0xF4   ? 4
                           : c >= 0xE0              ? 3
                           : c >= 0xC2 && c <= 0xDF ? 2
                                                    : 0;
        if (len == 0) {
            fUtf8 = false;
            ++i;
            continue;
        }
        size_t k = 1;
        while (k < len && i + k < n && (p[i + k] & 0xC0) == 0x80)
            ++k;
        if (k < len) {
            // A sequence that the piece's end cuts is no evidence either way.
            if (!(cut && i + k == n)) fUtf8 = false;
            fHigh += k - 1;
            i += k;
            continue;
        }
        bool ok = true;
        if (len == 3 && ((c == 0xE0 && p[i + 1] < 0xA0) || (c == 0xED && p[i + 1] >= 0xA0)))
            ok = false;
        if (len == 4 && ((c == 0xF0 && p[i + 1] < 0x90) || (c == 0xF4 && p[i + 1] >= 0x90)))
            ok = false;
        if (!ok) {
            fUtf8 = false;
            ++i;
            continue;
        }
        fUtf8Seen = true;
        fHigh += len - 1;
        i += len;
    }
    // Only pieces with a byte outside ASCII tell code pages apart; the
    // others would only cost the detector time.
    if (fHigh == highBefore) return;
    fCutPieces += cut;
    if (!fSample.empty()) fSample += '\n';
    fSample.append(text);
}

int TCodePageDetector::CodePageOfCharset(std::string_view name) {
    const std::string n = UpperCase(name);
    if (n.rfind("WINDOWS-", 0) == 0) {
        const int cp = std::atoi(n.c_str() + 8);
        return cp >= 1250 && cp <= 1258 ? cp : 0;
    }
    if (n.rfind("ISO-8859-", 0) == 0) {
        const int part = std::atoi(n.c_str() + 9);
        if (part == 1) return 1252; // the same letters; 1252 only adds to the C1 range
        if (part == 11) return 874;
        if (part >= 2 && part <= 16 && part != 12) return 28590 + part;
        return 0;
    }
    if (n == "IBM852") return 852;
    if (n == "IBM855") return 855;
    if (n == "IBM866") return 866;
    if (n == "KOI8-R") return 20866;
    if (n == "KOI8-U") return 21866;
    if (n == "MAC-CENTRALEUROPE") return 10029;
    if (n == "MAC-CYRILLIC") return 10007;
    if (n == "TIS-620") return 874;
    if (n == "BIG5") return 950;
    if (n == "SHIFT_JIS") return 932;
    if (n == "EUC-JP") return 51932;
    if (n == "EUC-KR" || n == "UHC") return 949;
    if (n == "GB18030" || n == "GB2312" || n == "GBK") return 54936;
    return 0;
}

long TCodePageDetector::Score(int codePage, const std::vector<TContext>& high) {
    const std::array<uint8_t, 256>* kinds = KindsOf(codePage);
    if (!kinds) return LONG_MIN;
    const std::array<uint8_t, 256>& kind = *kinds;
    // Each non-ASCII byte in the light of its neighbours: a letter beside
    // letters of its own script counts most; a letter beside letters of
    // another script, or a small letter before a capital or a capital after
    // one, counts against the page, as does a symbol inside a word;
    // characters that text never holds count most against it.
    long score = 0;
    for (const TContext& c : high) {
        const uint8_t k = kind[c.Byte];
        const uint8_t before = kind[c.Before];
        const uint8_t after = kind[c.After];
        if (k & kGarbage) {
            score -= 8;
            continue;
        }
        if (!IsLetter(k)) {
            if (IsLetter(before) && IsLetter(after)) score -= 4;
            continue;
        }
        int mates = 0;
        long against = 0;
        if (IsLetter(before)) {
            if (!SameScript(k, before))
                against += 4;
            else if ((before & kLower) && (k & kUpper))
                against += 3;
            else
                ++mates;
        }
        if (IsLetter(after)) {
            if (!SameScript(k, after))
                against += 4;
            else if ((k & kLower) && (after & kUpper))
                against += 3;
            else
                ++mates;
        }
        // A capital between a capital and a small letter ("MĀlaga").
        if ((k & kUpper) && (before & kUpper) && (after & kLower)) against += 3;
        score += (mates ? 4 : 2) - against;
    }
    return score;
}

int TCodePageDetector::Result(int ascii) const {
    if (fHigh == 0) return ascii;
    if (fUtf8 && fUtf8Seen) return 65001;

    int proposed = 0;
    {
        std::unique_ptr<uchardet, void (*)(uchardet_t)> ud(uchardet_new(), uchardet_delete);
        if (ud && uchardet_handle_data(ud.get(), fSample.data(), fSample.size()) == 0) {
            uchardet_data_end(ud.get());
            const char* name = uchardet_get_charset(ud.get());
            proposed = name ? CodePageOfCharset(name) : 0;
        }
    }
    if (proposed && !TCodePage::Supported(proposed)) proposed = 0;
    if (proposed && !TCodePage::SingleByte(proposed)) {
        // A multi-byte page holds when the sample converts with few
        // failures (pieces may start or end inside a character).
        // GB18030 text that GBK holds is GBK, the page tables name.
        for (int c :
             proposed == 54936 ? std::vector<int>{936, 54936} : std::vector<int>{proposed}) {
            TCodePage cp(c);
            std::string utf8;
            cp.ToUtf8(fSample, utf8);
            size_t bad = 0;
            for (size_t at = utf8.find("\xEF\xBF\xBD"); at != std::string::npos;
                 at = utf8.find("\xEF\xBF\xBD", at + 3))
                ++bad;
            if (bad <= 2 * fCutPieces + (c == 936 && proposed == 54936 ? 0 : fHigh / 100)) return c;
        }
        proposed = 0;
    }

    // The non-ASCII bytes with their neighbours, the only part that the
    // code pages read differently.
    std::vector<TContext> high;
    high.reserve(fHigh);
    const auto* p = reinterpret_cast<const unsigned char*>(fSample.data());
    const size_t n = fSample.size();
    for (size_t i = 0; i < n; ++i)
        if (p[i] >= 0x80)
            high.push_back(
                {p[i], i > 0 ? p[i - 1] : uint8_t{' '}, i + 1 < n ? p[i + 1] : uint8_t{' '}});

    // Pages in the order that wins a tie: the common Western DOS and
    // Windows pages first, then the pages of the detector's script, then
    // the other DOS and Windows pages.
    std::vector<int> order;
    auto consider = [&](int c) {
        if (std::find(order.begin(), order.end(), c) == order.end()) order.push_back(c);
    };
    for (int c : {850, 437, 1252})
        consider(c);
    for (int c : Siblings(proposed))
        consider(c);
    for (int c : {852, 866, 857, 775, 865, 737, 895, 620, 1250, 1251, 1253, 1254, 1257})
        consider(c);
    if (proposed) consider(proposed);
    std::vector<long> scores;
    long best = LONG_MIN;
    for (int c : order) {
        scores.push_back(Score(c, high));
        best = std::max(best, scores.back());
    }
    // The detector's choice stands unless another page reads clearly
    // better; an ISO page gives way to the Windows page that reads the
    // sample as well, as most tables come from Windows programs. Without
    // a choice, the first page that reads about as well as the best wins.
    const long margin = static_cast<long>(fHigh / 16);
    auto scoreOf = [&](int c) {
        return scores[static_cast<size_t>(std::find(order.begin(), order.end(), c) -
                                          order.begin())];
    };
    // The detector guesses the rarer Latin pages from a few letters that
    // the common pages hold as well: those guesses win no tie.
    const bool rare = proposed == 10000 || proposed == 10029 || proposed == 28593 ||
                      proposed == 28594 || proposed == 28600 || proposed == 28604 ||
                      proposed == 28606;
    if (proposed && !rare && scoreOf(proposed) >= best - margin) {
        const long own = scoreOf(proposed);
        if (proposed >= 28591 && proposed <= 28606)
            for (int sibling : Siblings(proposed))
                if (sibling >= 1250 && sibling <= 1258 && scoreOf(sibling) >= own) return sibling;
        return proposed;
    }
    for (size_t i = 0; i < order.size(); ++i)
        if (scores[i] >= best - margin) return order[i];
    return 1252;
}

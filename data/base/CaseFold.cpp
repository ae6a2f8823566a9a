#include "data/base/CaseFold.h"

#include "data/base/Unicode.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {
inline unsigned char AsciiFold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// Eight ASCII bytes at a time: the high bits say whether any is not ASCII,
// and the letters A to Z get their 0x20 bit without carries between bytes.
constexpr uint64_t Ones = 0x0101010101010101ull;
constexpr uint64_t HighBits = Ones * 0x80;

inline uint64_t LoadWord(const char* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

inline uint64_t FoldAsciiWord(uint64_t w) {
    const uint64_t atLeastA = w + Ones * (0x80 - 'A');
    const uint64_t beyondZ = w + Ones * (0x80 - 'Z' - 1);
    return w | ((atLeastA & ~beyondZ & HighBits) >> 2);
}

size_t PutUtf8(char* out, char32_t cp) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

// ICU's full folding of one code point, as UTF-8 in `out`. A full folding
// yields at most three UTF-16 units, so at most nine bytes.
size_t IcuFold(char32_t cp, char* out) {
    UChar src[2];
    int32_t n = 0;
    if (cp < 0x10000) {
        src[n++] = static_cast<UChar>(cp);
    } else {
        src[n++] = static_cast<UChar>(0xD7C0 + (cp >> 10));
        src[n++] = static_cast<UChar>(0xDC00 | (cp & 0x3FF));
    }
    UChar dst[4];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t m = u_strFoldCase(dst, 4, src, n, U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status) || m <= 0 || m > 3) return PutUtf8(out, cp);
    size_t len = 0;
    for (int32_t k = 0; k < m; ++k) {
        char32_t u = dst[k];
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < m && dst[k + 1] >= 0xDC00 &&
            dst[k + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (dst[k + 1] - 0xDC00u);
            ++k;
        }
        len += PutUtf8(out + len, u);
    }
    return len;
}

// Latin, Greek, Cyrillic, Armenian, Hebrew and Arabic letters (the two-byte
// characters) fold through a table that ICU fills once.
struct TSmallFold {
    char Bytes[7];
    uint8_t Len; // last, so that one 8-byte copy moves the bytes
};
static_assert(sizeof(TSmallFold) == 8);

[[gnu::noinline]] const TSmallFold* BuildSmallFolds() {
    static std::array<TSmallFold, 0x800> table{};
    char buf[MaxFoldBytes];
    for (char32_t cp = 0; cp < 0x800; ++cp) {
        size_t n = IcuFold(cp, buf);
        if (n > sizeof table[cp].Bytes) n = PutUtf8(buf, cp);
        table[cp].Len = static_cast<uint8_t>(n);
        std::memcpy(table[cp].Bytes, buf, n);
    }
    return table.data();
}

inline const TSmallFold* SmallFolds() {
    static const TSmallFold* const table = BuildSmallFolds();
    return table;
}

// Folds a well-formed two-byte character at text[i] into `out` (room for
// MaxFoldBytes) and moves on; false when there is none there.
inline bool FoldTwoBytes(const TSmallFold* table, std::string_view text, size_t& i, char* out,
                         size_t& len) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0xC2 || b > 0xDF || i + 1 >= text.size()) return false;
    const auto c = static_cast<unsigned char>(text[i + 1]);
    if ((c & 0xC0) != 0x80) return false;
    const TSmallFold& e = table[((b & 0x1Fu) << 6) | (c & 0x3Fu)];
    std::memcpy(out, &e, sizeof e);
    len = e.Len;
    i += 2;
    return true;
}

// Which characters of the rest of the first plane change when folded: most
// (CJK, symbols) do not, and skip ICU. ICU's "changes when case folded"
// property cannot stand in: it misses characters such as U+0390.
const std::array<uint64_t, 1024>& BmpChanges() {
    static const std::array<uint64_t, 1024> bits = [] {
        std::array<uint64_t, 1024> b{};
        char buf[MaxFoldBytes], same[4];
        for (char32_t cp = 0x800; cp < 0x10000; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF) continue;
            const size_t n = IcuFold(cp, buf);
            if (n != PutUtf8(same, cp) || std::memcmp(buf, same, n) != 0)
                b[cp >> 6] |= uint64_t{1} << (cp & 63);
        }
        return b;
    }();
    return bits;
}

// The bytes of a text's fold, one at a time, folded as they are read.
class TFoldCursor {
public:
    explicit TFoldCursor(std::string_view text) : fText(text) {}
    // The next byte, or -1 at the end.
    int Next() {
        if (fPos < fLen) return static_cast<unsigned char>(fBuf[fPos++]);
        if (fI >= fText.size()) return -1;
        const auto c = static_cast<unsigned char>(fText[fI]);
        if (c < 0x80) {
            ++fI;
            return AsciiFold(c);
        }
        if (!FoldTwoBytes(SmallFolds(), fText, fI, fBuf, fLen)) fLen = FoldChar(fText, fI, fBuf);
        fPos = 1;
        return static_cast<unsigned char>(fBuf[0]);
    }

private:
    std::string_view fText;
    size_t fI = 0;
    size_t fPos = 0, fLen = 0;
    char fBuf[MaxFoldBytes];
};

// Folded bytes as they are.
class TPlainCursor {
public:
    explicit TPlainCursor(std::string_view text) : fText(text) {}
    int Next() { return fI < fText.size() ? static_cast<unsigned char>(fText[fI++]) : -1; }

private:
    std::string_view fText;
    size_t fI = 0;
};

template <typename A, typename B> int CompareStreams(A a, B b) {
    for (;;) {
        const int x = a.Next(), y = b.Next();
        if (x != y) return x < y ? -1 : 1; // the end (-1) before any byte
        if (x < 0) return 0;
    }
}

// The rests from the first byte that is not ASCII, apart so that the ASCII
// paths stay light.
[[gnu::noinline]] int CompareRests(std::string_view a, std::string_view b) {
    return CompareStreams(TFoldCursor(a), TFoldCursor(b));
}

[[gnu::noinline]] int CompareRestFolded(std::string_view text, std::string_view folded) {
    return CompareStreams(TFoldCursor(text), TPlainCursor(folded));
}

[[gnu::noinline]] bool StartsRestFolded(std::string_view foldedPrefix, std::string_view text) {
    TFoldCursor c(text);
    for (const char p : foldedPrefix)
        if (c.Next() != static_cast<unsigned char>(p)) return false;
    return true;
}
} // namespace

size_t FoldChar(std::string_view text, size_t& i, char* out) {
    const size_t start = i;
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
        out[0] = static_cast<char>(AsciiFold(b));
        ++i;
        return 1;
    }
    size_t len = 0;
    if (FoldTwoBytes(SmallFolds(), text, i, out, len)) return len;
    // Longer characters (a well-formed one is at least U+0800 now).
    char32_t cp = 0;
    if (ReadUtf8(text, i, cp) && (cp >= 0x10000 || (BmpChanges()[cp >> 6] >> (cp & 63) & 1)))
        return IcuFold(cp, out);
    // Unchanged: a character without case, or the bytes of an ill-formed
    // sequence (at most three).
    const size_t n = i - start;
    std::memcpy(out, text.data() + start, n);
    return n;
}

namespace {
// Appends the fold of a text from its first byte that is not ASCII on.
// Gathered in a buffer of its own, so that the string grows once a round.
[[gnu::noinline]] void AppendFoldedRest(std::string& out, std::string_view text) {
    const TSmallFold* const table = SmallFolds();
    char buf[256];
    size_t used = 0;
    for (size_t i = 0; i < text.size();) {
        if (used > sizeof buf - MaxFoldBytes) {
            out.append(buf, used);
            used = 0;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            buf[used++] = static_cast<char>(AsciiFold(c));
            ++i;
            continue;
        }
        size_t len = 0;
        if (!FoldTwoBytes(table, text, i, buf + used, len)) len = FoldChar(text, i, buf + used);
        used += len;
    }
    out.append(buf, used);
}
} // namespace

void AppendCaseFold(std::string& out, std::string_view text) {
    const size_t n = text.size(), old = out.size();
    out.append(text);
    // Read from the text, not from the copy just written: loading what a
    // copy of other widths stored stalls.
    const char* src = text.data();
    char* p = out.data() + old;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t w = LoadWord(src + i);
        if (w & HighBits) break;
        const uint64_t f = FoldAsciiWord(w);
        std::memcpy(p + i, &f, 8);
    }
    if (i < n && i >= 8 && i + 8 > n) { // the last eight bytes, some folded already
        const uint64_t w = LoadWord(src + n - 8);
        if (!(w & HighBits)) {
            const uint64_t f = FoldAsciiWord(w);
            std::memcpy(p + n - 8, &f, 8);
            return;
        }
    }
    while (i < n && static_cast<unsigned char>(src[i]) < 0x80) {
        p[i] = static_cast<char>(AsciiFold(static_cast<unsigned char>(src[i])));
        ++i;
    }
    if (i == n) return;
    out.resize(old + i);
    AppendFoldedRest(out, text.substr(i));
}

std::string CaseFold(std::string_view text) {
    std::string out;
    AppendCaseFold(out, text);
    return out;
}

bool IsAscii(std::string_view text) {
    const char* p = text.data();
    size_t n = text.size();
    for (; n >= 8; p += 8, n -= 8)
        if (LoadWord(p) & HighBits) return false;
    for (; n > 0; ++p, --n)
        if (static_cast<unsigned char>(*p) >= 0x80) return false;
    return true;
}

// Each comparison runs over the ASCII start of its texts, eight bytes at a
// time, and folds only from the first other byte on: a character boundary
// in both.
namespace {
[[gnu::noinline]] int CompareFromStart(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t x = LoadWord(a.data() + i), y = LoadWord(b.data() + i);
        if (((x | y) & HighBits) || FoldAsciiWord(x) != FoldAsciiWord(y)) break;
    }
    for (; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if ((x | y) & 0x80) break;
        x = AsciiFold(x), y = AsciiFold(y);
        if (x != y) return x < y ? -1 : 1;
    }
    // A character never folds to nothing, so the longer text stays longer.
    if (i == n) return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    return CompareRests(a.substr(i), b.substr(i));
}

[[gnu::noinline]] int CompareFoldedFromStart(std::string_view text, std::string_view folded) {
    const size_t n = std::min(text.size(), folded.size());
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t x = LoadWord(text.data() + i);
        if ((x & HighBits) || FoldAsciiWord(x) != LoadWord(folded.data() + i)) break;
    }
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned char>(text[i]);
        if (x & 0x80) break;
        const unsigned char fx = AsciiFold(x), y = static_cast<unsigned char>(folded[i]);
        if (fx != y) return fx < y ? -1 : 1;
    }
    if (i == n) return text.size() == folded.size() ? 0 : (text.size() < folded.size() ? -1 : 1);
    return CompareRestFolded(text.substr(i), folded.substr(i));
}

[[gnu::noinline]] bool StartsFoldedFromStart(std::string_view foldedPrefix, std::string_view text) {
    const size_t n = std::min(foldedPrefix.size(), text.size());
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t x = LoadWord(text.data() + i);
        if ((x & HighBits) || FoldAsciiWord(x) != LoadWord(foldedPrefix.data() + i)) break;
    }
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned char>(text[i]);
        if (x & 0x80) break;
        if (AsciiFold(x) != static_cast<unsigned char>(foldedPrefix[i])) return false;
    }
    if (i == foldedPrefix.size()) return true;
    if (i == text.size()) return false;
    return StartsRestFolded(foldedPrefix.substr(i), text.substr(i));
}
} // namespace

// Most texts that differ do so in their first byte: that test comes first,
// before the loops.
int CompareCaseFolded(std::string_view a, std::string_view b) {
    if (!a.empty() && !b.empty()) {
        const auto x = static_cast<unsigned char>(a[0]), y = static_cast<unsigned char>(b[0]);
        if (((x | y) & 0x80) == 0 && AsciiFold(x) != AsciiFold(y))
            return AsciiFold(x) < AsciiFold(y) ? -1 : 1;
    }
    return CompareFromStart(a, b);
}

int CompareFolded(std::string_view text, std::string_view folded) {
    if (!text.empty() && !folded.empty()) {
        const auto x = static_cast<unsigned char>(text[0]);
        const auto y = static_cast<unsigned char>(folded[0]);
        if ((x & 0x80) == 0 && AsciiFold(x) != y) return AsciiFold(x) < y ? -1 : 1;
    }
    return CompareFoldedFromStart(text, folded);
}

bool StartsFolded(std::string_view foldedPrefix, std::string_view text) {
    if (!foldedPrefix.empty() && !text.empty()) {
        const auto x = static_cast<unsigned char>(text[0]);
        if ((x & 0x80) == 0 && AsciiFold(x) != static_cast<unsigned char>(foldedPrefix[0]))
            return false;
    }
    return StartsFoldedFromStart(foldedPrefix, text);
}

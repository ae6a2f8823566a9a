#include "data/drivers/text/TextDriver.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/base/Unicode.h"
#include "data/drivers/text/TextSchemaFile.h"
#include "data/locale/ValueConversion.h"
#include "data/platform/AtomicFile.h"
#include "data/platform/CodePageDetector.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
constexpr uint32_t NoRecord = TRecordSlots::None;
constexpr size_t MaxColumns = 16384;
constexpr size_t MaxSchemaSize = 1 << 20;

// Whether the text holds a NUL byte, and whether it is valid UTF-8.
void CheckText(std::string_view s, bool& nul, bool& utf8) {
    nul = false;
    utf8 = true;
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const size_t n = s.size();
    size_t i = 0;
    while (i < n) {
        // Eight ASCII bytes at a time, the common case.
        if (i + 8 <= n) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            if (!(w & 0x8080808080808080ull) &&
                ((w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        const uint8_t c = p[i];
        if (c == 0) {
            nul = true;
            ++i;
            continue;
        }
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (!utf8) {
            ++i;
            continue;
        }
        size_t len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
        if (len == 0 || c > 0xF4 || i + len > n) {
            utf8 = false;
            ++i;
            continue;
        }
        bool ok = true;
        for (size_t k = 1; k < len; ++k)
            ok = ok && (p[i + k] & 0xC0) == 0x80;
        if (ok && len == 3) {
            if (c == 0xE0 && p[i + 1] < 0xA0) ok = false;  // overlong
            if (c == 0xED && p[i + 1] >= 0xA0) ok = false; // surrogates
        }
        if (ok && len == 4) {
            if (c == 0xF0 && p[i + 1] < 0x90) ok = false;
            if (c == 0xF4 && p[i + 1] >= 0x90) ok = false;
        }
        if (!ok) {
            utf8 = false;
            ++i;
            continue;
        }
        i += len;
    }
}

// What the start of a file shows it to be when it is clearly no text:
// a known binary kind by its first bytes, or a first block in which more
// than one byte in sixteen is NUL or a control character that text does
// not hold (TAB, LF, VT, FF, CR, SUB and ESC it may). Empty otherwise: a
// few NUL bytes in a text file are data.
std::string NotText(std::string_view data) {
    struct TMagic {
        std::string_view Bytes;
        const char* Kind;
    };
    static constexpr TMagic magics[] = {
        {std::string_view("PK\x03\x04", 4),
         "a ZIP archive (a workbook or document of an office suite?)"},
        {std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8),
         "an OLE compound file (an Excel or Word file?)"},
        {"%PDF-", "a PDF document"},
        {"\x89PNG\r\n\x1A\n", "a PNG picture"},
        {"\xFF\xD8\xFF", "a JPEG picture"},
        {"GIF87a", "a GIF picture"},
        {"GIF89a", "a GIF picture"},
        {"\x1F\x8B", "a gzip-compressed file"},
        {"7z\xBC\xAF\x27\x1C", "a 7-Zip archive"},
        {"Rar!\x1A\x07", "a RAR archive"},
        {"\xFD\x37zXZ", "an xz-compressed file"},
        {"\x28\xB5\x2F\xFD", "a zstd-compressed file"},
        {"\x7F\x45LF", "a program (ELF)"},
        {std::string_view("SQLite format 3\0", 16), "an SQLite database"},
    };
    for (const TMagic& m : magics)
        if (data.substr(0, m.Bytes.size()) == m.Bytes)
            return std::string("it is ") + m.Kind + ", not a text file";
    const std::string_view head = data.substr(0, 64 * 1024);
    size_t odd = 0;
    for (unsigned char c : head)
        odd += c < 0x20 && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r' &&
               c != 0x1A && c != 0x1B;
    if (odd * 16 > head.size())
        return "it is not a text file: " + std::to_string(odd) + " of its first " +
               std::to_string(head.size()) + " bytes are NUL bytes or control characters";
    return std::string();
}

// A UTF-16 file without a byte-order mark, by its first block: text that
// is mostly ASCII has a zero in every other byte.
int Utf16WithoutBom(std::string_view data) {
    const std::string_view head = data.substr(0, 4096 & ~size_t{1});
    const size_t pairs = head.size() / 2;
    if (pairs < 2 || data.size() % 2) return 0;
    size_t zeroEven = 0, zeroOdd = 0;
    for (size_t i = 0; i + 1 < head.size(); i += 2) {
        zeroEven += head[i] == '\0';
        zeroOdd += head[i + 1] == '\0';
    }
    if (zeroOdd * 4 >= pairs * 3 && zeroEven * 16 < pairs) return 1;  // little-endian
    if (zeroEven * 4 >= pairs * 3 && zeroOdd * 16 < pairs) return -1; // big-endian
    return 0;
}

// The code page of text that names none: its first 64 KB and fifteen
// blocks spread over the rest.
int DetectCodePage(std::string_view data) {
    TCodePageDetector detector;
    constexpr size_t headSize = 64 * 1024, blockSize = 4096, blocks = 15;
    detector.Add(data.substr(0, headSize), true);
    if (data.size() > headSize + blockSize) {
        const size_t rest = data.size() - headSize - blockSize;
        for (size_t k = 1; k <= blocks; ++k)
            detector.Add(data.substr(headSize + rest * k / blocks, blockSize), true);
    }
    return detector.Result(65001);
}

// A NUL byte of the text is shown as U+FFFD, the character that stands
// for one that cannot be shown.
void ShowNuls(std::string& text) {
    for (size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at + 3))
        text.replace(at, 1, "\xEF\xBF\xBD");
}

size_t CountChars(std::string_view s) {
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

inline bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// The position after the line break at `eol` (which may be the end).
inline size_t AfterLineEnd(const char* d, size_t size, size_t eol) {
    if (eol >= size) return size;
    if (d[eol] == '\r' && eol + 1 < size && d[eol + 1] == '\n') return eol + 2;
    return eol + 1;
}

inline size_t LineEndFrom(const char* d, size_t size, size_t pos) {
    while (pos < size && !IsLineEnd(d[pos]))
        ++pos;
    return pos;
}

// Splits the delimited record at `pos`: calls f(rawStart, rawEnd,
// valueStart, valueEnd, simple) for each field, where a simple field's
// value is the bytes between the value bounds, and another (quoted with
// doubled quotes, or with text after its closing quote) needs Unescape.
// Returns the position after the record's line break.
template <typename F>
size_t SplitDelimited(const char* d, size_t size, size_t pos, char sep, char quote, F&& f) {
    while (true) {
        const size_t start = pos;
        size_t vs, ve, p;
        bool simple = true;
        if (quote && pos < size && d[pos] == quote) {
            p = pos + 1;
            vs = p;
            while (true) {
                const void* q = p < size ? std::memchr(d + p, quote, size - p) : nullptr;
                if (!q) { // open to the end of the file
                    ve = p = size;
                    break;
                }
                size_t at = static_cast<size_t>(static_cast<const char*>(q) - d);
                if (at + 1 < size && d[at + 1] == quote) {
                    simple = false;
                    p = at + 2;
                    continue;
                }
                ve = at;
                p = at + 1;
                break;
            }
            while (p < size && d[p] != sep && !IsLineEnd(d[p])) {
                simple = false;
                ++p;
            }
        } else {
            p = pos;
            while (p < size && d[p] != sep && !IsLineEnd(d[p]))
                ++p;
            vs = pos;
            ve = p;
        }
        f(start, p, vs, ve, simple);
        if (p >= size) return size;
        if (d[p] == sep) {
            pos = p + 1;
            continue;
        }
        return AfterLineEnd(d, size, p);
    }
}

// The value of a quoted field with doubled quotes or trailing text.
void Unescape(std::string_view raw, char quote, std::string& out) {
    out.clear();
    size_t i = 0;
    if (quote && !raw.empty() && raw[0] == quote) {
        i = 1;
        while (i < raw.size()) {
            if (raw[i] == quote) {
                if (i + 1 < raw.size() && raw[i + 1] == quote) {
                    out += quote;
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            out += raw[i++];
        }
    }
    out.append(raw.substr(i));
}

bool IsNumberType(TFieldType t) {
    return t == ftSmallint || t == ftInteger || t == ftLargeint || t == ftFloat ||
           t == ftCurrency || t == ftBCD || t == ftWord || t == ftAutoInc;
}
} // namespace

// Where each record starts: 4 bytes a record, 8 for files past 4 GB.
class TTextRecordStarts {
public:
    void Reset(bool wide) {
        fWide = wide;
        f32.clear();
        f64.clear();
    }
    void Push(uint64_t at) {
        if (fWide)
            f64.push_back(at);
        else
            f32.push_back(static_cast<uint32_t>(at));
    }
    uint64_t At(size_t i) const { return fWide ? f64[i] : f32[i]; }
    size_t Size() const { return fWide ? f64.size() : f32.size(); }

private:
    bool fWide = false;
    std::vector<uint32_t> f32;
    std::vector<uint64_t> f64;
};

struct TTextDriver::TState {
    TMappedFile Map;
    std::string Converted;  // UTF-16 files, as UTF-8
    std::string_view Bom;   // the byte-order mark's bytes
    std::string_view Data;  // the text after the byte-order mark
    uint64_t HeaderEnd = 0; // after the line of names and its line break
    bool HeaderHasLineEnd = false;
    TTextRecordStarts Starts;
    struct stat Stat {};
    // A re-read's values by column, to tell whether the types guessed at
    // the open still hold; and whether a record has more fields.
    std::vector<TTextTypeGuess> Recheck;
    bool MoreFields = false;
    bool HasNul = false;
    // A fixed-width file without line breaks holds its records one after
    // the other, each as wide as the schema's fields: they end at
    // StrideEnd, where only line breaks may follow.
    bool Stride = false;
    uint64_t StrideEnd = 0;
    bool ShortLast = false; // the last record is narrower than the others

    uint64_t RecordEnd(uint32_t rec, const TTextDriver& d) const {
        const char* p = Data.data();
        const size_t size = Data.size();
        if (Stride) return rec + 1 < Starts.Size() ? Starts.At(rec + 1) : StrideEnd;
        if (d.fSchema && d.fSchema->Fixed)
            return AfterLineEnd(p, size, LineEndFrom(p, size, Starts.At(rec)));
        return SplitDelimited(p, size, Starts.At(rec), d.fFormat.Separator, d.fFormat.Quote,
                              [](size_t, size_t, size_t, size_t, bool) {});
    }
};

TTextDriver::TTextDriver() = default;
TTextDriver::~TTextDriver() = default;

std::unique_ptr<TTextDriver::TState> TTextDriver::Load(bool guessTypes) {
    auto s = std::make_unique<TState>();
    s->Map = TMappedFile(fPath, true);
    if (fstat(s->Map.Descriptor(), &s->Stat) != 0) s->Stat = {};
    std::string_view view = s->Map.View();
    TEncoding encoding = enUtf8;
    auto fromUtf16 = [&](std::string_view body) {
        if (body.size() % 2) Fail("its UTF-16 text has an odd number of bytes");
        std::u16string u(body.size() / 2, u'\0');
        for (size_t i = 0; i < u.size(); ++i) {
            auto a = static_cast<uint8_t>(body[2 * i]), b = static_cast<uint8_t>(body[2 * i + 1]);
            u[i] = static_cast<char16_t>(encoding == enUtf16LE ? a | (b << 8) : (a << 8) | b);
        }
        s->Converted = Utf16ToUtf8(u);
        s->Data = s->Converted;
    };
    if (view.substr(0, 3) == "\xEF\xBB\xBF") {
        s->Bom = view.substr(0, 3);
        s->Data = view.substr(3);
    } else if (view.substr(0, 2) == "\xFF\xFE" || view.substr(0, 2) == "\xFE\xFF") {
        encoding = view[0] == '\xFF' ? enUtf16LE : enUtf16BE;
        s->Bom = view.substr(0, 2);
        fromUtf16(view.substr(2));
    } else if (const int utf16 = guessTypes               ? Utf16WithoutBom(view)
                                 : fEncoding == enUtf16LE ? 1
                                 : fEncoding == enUtf16BE ? -1
                                                          : 0) {
        // (A re-read keeps what the open found.)
        encoding = utf16 > 0 ? enUtf16LE : enUtf16BE;
        fromUtf16(view);
    } else {
        const std::string why = NotText(view);
        if (!why.empty()) Fail(why);
        s->Data = view;
    }
    bool nul, utf8;
    CheckText(s->Data, nul, utf8);
    s->HasNul = nul;
    if (guessTypes) {
        // The code page: the user's, else the byte-order mark's, else the
        // schema's CHARSET; without any, the text decides.
        int codePage = 65001;
        if (encoding == enUtf8) {
            const TTextSchema* sch = fSchema && fSchema->CharSetGiven ? &*fSchema : nullptr;
            if (ForcedCodePage())
                codePage = ForcedCodePage();
            else if (!s->Bom.empty())
                codePage = 65001;
            else if (sch && sch->CharSet == TTextSchema::csNumber)
                codePage = sch->CodePage;
            else if (sch && sch->CharSet == TTextSchema::csOem)
                codePage = 437;
            else if (utf8)
                codePage = 65001;
            else if (sch)
                codePage = 1252;
            else
                codePage = DetectCodePage(s->Data);
        }
        if (!TCodePage::Supported(codePage))
            Fail("the code page chosen for it, " + std::to_string(codePage) +
                 ", is not supported on this system");
        if (codePage != 65001) encoding = enSingleByte;
        fEncoding = encoding;
        fFormat.CodePage = codePage;
        fFormat.Bom = !s->Bom.empty();
        fCodePage = std::make_unique<TCodePage>(codePage);
    }
    s->Starts.Reset(s->Data.size() > UINT32_MAX);
    Scan(*s, guessTypes);
    s->Map.CheckUnchanged("table");
    return s;
}

void TTextDriver::Scan(TState& s, bool guessTypes) {
    const char* d = s.Data.data();
    const size_t size = s.Data.size();
    size_t pos = 0;
    while (pos < size && IsLineEnd(d[pos]))
        ++pos;
    const bool fixed = fSchema && fSchema->Fixed;
    if (guessTypes) {
        size_t eol = LineEndFrom(d, size, pos);
        if (eol < size)
            fFormat.LineEnd =
                d[eol] == '\r' ? (eol + 1 < size && d[eol + 1] == '\n' ? "\r\n" : "\r") : "\n";
    }
    if (!fSchema) {
        if (pos >= size)
            Fail(size == 0
                     ? "the file is empty (0 bytes); a text table starts with a line of field names"
                     : "it has no line of field names");
        if (guessTypes) {
            // The separator: a comma, or what the first line shows.
            char sep = ',';
            if (LowerCase(fs::path(fPath).extension().string()) == ".tab") {
                sep = '\t';
            } else {
                size_t counts[4] = {0, 0, 0, 0};
                const char candidates[4] = {',', '\t', ';', '|'};
                bool quoted = false;
                for (size_t i = pos; i < size && (quoted || !IsLineEnd(d[i])); ++i) {
                    if (d[i] == '"') quoted = !quoted;
                    if (quoted) continue;
                    for (int k = 0; k < 4; ++k)
                        counts[k] += d[i] == candidates[k];
                }
                for (int k = 0; k < 4; ++k)
                    if (counts[k]) {
                        sep = candidates[k];
                        break;
                    }
            }
            fFormat.Separator = sep;
            fFormat.Quote = '"';
            // The names; and whether the file quotes every value.
            bool allQuoted = true;
            fColumns.clear();
            size_t after =
                SplitDelimited(d, size, pos, sep, '"',
                               [&](size_t rs, size_t re, size_t vs, size_t ve, bool simple) {
                                   if (fColumns.size() >= MaxColumns) return;
                                   allQuoted = allQuoted && re > rs && d[rs] == '"';
                                   std::string raw;
                                   if (simple)
                                       raw.assign(d + vs, ve - vs);
                                   else
                                       Unescape(std::string_view(d + rs, re - rs), '"', raw);
                                   TColumn c;
                                   fCodePage->ToUtf8(Trim(raw), c.Name);
                                   if (s.HasNul) ShowNuls(c.Name);
                                   fColumns.push_back(std::move(c));
                               });
            if (fColumns.size() >= MaxColumns)
                Fail("it has more than " + std::to_string(MaxColumns) + " fields");
            fFormat.QuoteAll = allQuoted;
            s.HeaderEnd = after;
        } else {
            s.HeaderEnd = SplitDelimited(d, size, pos, fFormat.Separator, fFormat.Quote,
                                         [](size_t, size_t, size_t, size_t, bool) {});
        }
        s.HeaderHasLineEnd = s.HeaderEnd > 0 && IsLineEnd(d[s.HeaderEnd - 1]);
        pos = s.HeaderEnd;
    } else if (guessTypes) {
        fFormat.Separator = fSchema->Separator;
        fFormat.Quote = fSchema->Delimiter;
        fColumns.clear();
        for (const TTextSchemaField& f : fSchema->Fields) {
            TColumn c;
            // A schema names its fields in the table's code page, unless it
            // is in UTF-8 (as this program writes them).
            bool nul, utf8;
            CheckText(f.Name, nul, utf8);
            if (utf8)
                c.Name = f.Name;
            else
                fCodePage->ToUtf8(f.Name, c.Name);
            c.Type = f.DataType;
            c.Width = f.Width;
            c.Offset = f.Offset;
            fColumns.push_back(std::move(c));
        }
    }

    if (fixed && pos < size) {
        // Without line breaks (but at the end) the records follow each other,
        // each as wide as the fields reach.
        const size_t eol = LineEndFrom(d, size, pos);
        size_t tail = eol;
        while (tail < size && IsLineEnd(d[tail]))
            ++tail;
        uint64_t width = 0;
        for (const TColumn& c : fColumns)
            width = std::max<uint64_t>(width, static_cast<uint64_t>(c.Offset) + c.Width);
        const bool single = fEncoding == enSingleByte;
        auto advance = [&](size_t from) {
            if (single) return static_cast<size_t>(std::min<uint64_t>(from + width, eol));
            size_t p = from;
            for (uint64_t chars = width; p < eol && chars > 0; --chars)
                do
                    ++p;
                while (p < eol && (static_cast<uint8_t>(d[p]) & 0xC0) == 0x80);
            return p;
        };
        // (A re-read keeps the way the open found, also for one record.)
        if (tail == size && width > 0 && (advance(pos) < eol || (!guessTypes && fUnbroken))) {
            s.Stride = true;
            s.StrideEnd = eol;
            size_t last = pos;
            while (pos < eol) {
                if (s.Starts.Size() >= UINT32_MAX - 2) Fail("it has more than 4294967293 records");
                s.Starts.Push(pos);
                last = pos;
                pos = advance(pos);
            }
            const size_t lastChars =
                single ? eol - last : CountChars(std::string_view(d + last, eol - last));
            s.ShortLast = lastChars < width;
            pos = size;
        }
        if (guessTypes) fUnbroken = s.Stride;
    }

    const char sep = fFormat.Separator;
    const char quote = fFormat.Quote;
    // Every value is classified, on a re-read too: a value that another
    // program wrote must not be shown as a number it is not.
    const bool guess = !fSchema;
    if (!guessTypes && guess) s.Recheck.assign(fColumns.size(), TTextTypeGuess());
    std::string scratch;
    while (pos < size) {
        if (IsLineEnd(d[pos])) { // empty lines hold no record
            ++pos;
            continue;
        }
        if (s.Starts.Size() >= UINT32_MAX - 2) Fail("it has more than 4294967293 records");
        s.Starts.Push(pos);
        if (fixed) {
            pos = AfterLineEnd(d, size, LineEndFrom(d, size, pos));
            continue;
        }
        if (!guess) {
            pos = SplitDelimited(d, size, pos, sep, quote,
                                 [](size_t, size_t, size_t, size_t, bool) {});
            continue;
        }
        size_t field = 0;
        pos = SplitDelimited(
            d, size, pos, sep, quote, [&](size_t rs, size_t re, size_t vs, size_t ve, bool simple) {
                if (!guessTypes && field >= s.Recheck.size()) {
                    s.MoreFields = true;
                    return;
                }
                if (field >= fColumns.size()) {
                    if (fColumns.size() >= MaxColumns)
                        Fail("it has more than " + std::to_string(MaxColumns) + " fields");
                    fColumns.emplace_back();
                }
                TTextTypeGuess& g = guessTypes ? fColumns[field].Guess : s.Recheck[field];
                ++field;
                if (simple) {
                    const size_t bytes = ve - vs;
                    if (bytes == 0) return;
                    std::string_view v(d + vs, bytes);
                    if (g.Undecided()) g.Add(v);
                    if (bytes > g.MaxChars()) g.Measure(CountChars(v), bytes);
                } else {
                    Unescape(std::string_view(d + rs, re - rs), quote, scratch);
                    if (scratch.empty()) return;
                    g.AddText();
                    g.Measure(CountChars(scratch), scratch.size());
                }
            });
    }
    if (guessTypes) fFormat.FinalLineEnd = size == 0 || IsLineEnd(d[size - 1]);
    if (guess && guessTypes) {
        const bool single = fEncoding == enSingleByte;
        for (size_t i = 0; i < fColumns.size(); ++i) {
            TColumn& c = fColumns[i];
            c.Type = c.Guess.FieldType();
            c.Width = static_cast<int>(std::max<size_t>(
                1, std::min<size_t>(single ? c.Guess.MaxBytes() : c.Guess.MaxChars(), 1 << 30)));
        }
        // Fields get names: missing ones F1, F2..., repeated ones a number.
        for (size_t i = 0; i < fColumns.size(); ++i) {
            std::string& name = fColumns[i].Name;
            if (name.empty()) name = "F" + std::to_string(i + 1);
            for (size_t k = 0; k < i; ++k)
                if (SameText(fColumns[k].Name, name)) {
                    name += "_" + std::to_string(i + 1);
                    k = static_cast<size_t>(-1);
                }
        }
    }
}

std::string TTextDriver::ComputeReadOnlyReason() const {
    if (fState && fState->ShortLast)
        return "its last record is narrower than the schema's fields, so a new record would not "
               "start where it should";
    if (!Writable(fPath)) return "the file is read-only";
    if (!Writable(FolderOf(fPath))) return "its folder is read-only";
    return std::string();
}

void TTextDriver::Open(const std::string& path, TFieldDefs& fields, TIndexDefs& indexes) {
    (void)indexes;
    Close();
    fPath = path;
    try {
        fSchemaPath = FindTextSchemaFile(path);
        if (!fSchemaPath.empty()) {
            TMappedFile sch(fSchemaPath);
            if (sch.Size() > MaxSchemaSize)
                throw EDatabaseError("Schema file \"" + fSchemaPath +
                                     "\" is too large to be a schema (" +
                                     std::to_string(sch.Size()) + " bytes)");
            fSchema = TTextSchema::Parse(sch.View(), fSchemaPath);
        }
        fState = Load(true);
        fLock.LockShared(fPath);
        for (const TColumn& c : fColumns) {
            int size = 0;
            if (c.Type == ftString)
                size = c.Width;
            else if (c.Type == ftBCD && fSchema)
                size = fSchema->Fields[static_cast<size_t>(&c - fColumns.data())].Decimals;
            fields.Add(c.Name, c.Type, size);
        }
        fSlots.Reset(static_cast<uint32_t>(fState->Starts.Size()));
        fReadOnlyReason = ComputeReadOnlyReason();
    } catch (...) {
        Close();
        throw;
    }
}

std::vector<std::string> TTextDriver::Files() const {
    if (!fState) return {};
    std::vector<std::string> files{fPath};
    if (!fSchemaPath.empty()) files.push_back(fSchemaPath);
    return files;
}

bool TTextDriver::IsSideFileName(const std::string& name) const {
    if (!fState) return false;
    const fs::path p(name);
    return SameText(p.stem().string(), fs::path(fPath).stem().string()) &&
           SameText(p.extension().string(), ".sch");
}

void TTextDriver::Close() {
    fState.reset();
    fLock.Unlock();
    fSchema.reset();
    fSchemaPath.clear();
    fColumns.clear();
    fFormat = TDelimitedFormat();
    fEncoding = enUtf8;
    fUnbroken = false;
    fCodePage.reset();
    fReadOnlyReason.clear();
    fSlots.Reset(0);
    fSplitRecord = -1;
}

bool TTextDriver::RecordLive(uint32_t rec) const {
    return fState && fSlots.FileRecordOf(rec) != NoRecord;
}

bool TTextDriver::AllLive() const {
    return fSlots.AllLive();
}

void TTextDriver::SplitRecord(uint32_t fileRec) {
    fSpans.clear();
    const char* d = fState->Data.data();
    const size_t size = fState->Data.size();
    const uint64_t start = fState->Starts.At(fileRec);
    if (fSchema && fSchema->Fixed) {
        const uint64_t eol =
            fState->Stride ? fState->RecordEnd(fileRec, *this) : LineEndFrom(d, size, start);
        // Offsets and widths count characters: bytes in single-byte text.
        auto advance = [&](uint64_t from, uint64_t chars) {
            if (fEncoding == enSingleByte) return std::min<uint64_t>(from + chars, eol);
            uint64_t p = from;
            for (; p < eol && chars > 0; --chars)
                do
                    ++p;
                while (p < eol && (static_cast<uint8_t>(d[p]) & 0xC0) == 0x80);
            return p;
        };
        for (const TColumn& c : fColumns) {
            uint64_t s = advance(start, static_cast<uint64_t>(c.Offset));
            uint64_t e = advance(s, static_cast<uint64_t>(c.Width));
            fSpans.push_back({s, e, true});
        }
    } else {
        SplitDelimited(
            d, size, start, fFormat.Separator, fFormat.Quote,
            [&](size_t rs, size_t re, size_t vs, size_t ve, bool simple) {
                if (fSpans.size() < fColumns.size())
                    fSpans.push_back(simple ? TSpan{vs, ve, true} : TSpan{rs, re, false});
            });
    }
    fSplitRecord = fileRec;
}

void TTextDriver::GetValue(uint32_t rec, int fieldNo, TValue& out) {
    if (!fState) throw EDatabaseError("The table is not open");
    const uint32_t fileRec = fSlots.FileRecordOf(rec);
    if (fileRec == NoRecord || fieldNo < 0 || static_cast<size_t>(fieldNo) >= fColumns.size())
        NoSuchValue(rec + 1, fieldNo + 1);
    if (fSplitRecord != fileRec) SplitRecord(fileRec);
    const size_t f = static_cast<size_t>(fieldNo);
    if (f >= fSpans.size()) {
        out.SetNull();
        fState->Map.CheckIntact("table");
        return;
    }
    const TSpan& span = fSpans[f];
    const TColumn& c = fColumns[f];
    std::string_view raw(fState->Data.data() + span.Start, span.End - span.Start);
    if (!span.Simple) {
        Unescape(raw, fFormat.Quote, fRaw);
        raw = fRaw;
    }
    if (fSchema && fSchema->Fixed) {
        // Fixed-width values are padded with blanks.
        while (!raw.empty() && raw.back() == ' ')
            raw.remove_suffix(1);
        if (c.Type != ftString) raw = Trim(raw);
    }
    if (raw.empty()) {
        out.SetNull();
    } else {
        std::string_view text = raw;
        if (fEncoding == enSingleByte) {
            fCodePage->ToUtf8(raw, fText);
            text = fText;
        }
        if (fState->HasNul && text.find('\0') != std::string_view::npos) {
            std::string shown(text);
            ShowNuls(shown);
            fText = std::move(shown);
            text = fText;
        }
        if (c.Type == ftString || !TTextTypeGuess::Parse(text, c.Type, out)) out.SetText(text);
    }
    // The spans and the bytes came from the mapping.
    fState->Map.CheckIntact("table");
}

void TTextDriver::CheckUnchanged() const {
    if (fState) fState->Map.CheckUnchanged("table");
}

void TTextDriver::Refresh() {
    if (!fState) return;
    std::vector<std::string> names;
    for (const TColumn& c : fColumns)
        names.push_back(c.Name);
    std::unique_ptr<TState> fresh = Load(false);
    if (!fSchema) {
        // The line of names must still name the same fields.
        std::vector<std::string> now;
        const char* d = fresh->Data.data();
        size_t pos = 0;
        while (pos < fresh->Data.size() && IsLineEnd(d[pos]))
            ++pos;
        SplitDelimited(d, fresh->Data.size(), pos, fFormat.Separator, fFormat.Quote,
                       [&](size_t rs, size_t re, size_t, size_t, bool) {
                           std::string raw, name;
                           Unescape(std::string_view(d + rs, re - rs), fFormat.Quote, raw);
                           fCodePage->ToUtf8(Trim(raw), name);
                           if (fresh->HasNul) ShowNuls(name);
                           now.push_back(name);
                       });
        bool same = now.size() <= names.size();
        for (size_t i = 0; same && i < now.size(); ++i)
            same =
                now[i].empty() || SameText(now[i], names[i]) || StartsText(now[i] + "_", names[i]);
        // So must their types, and no record may have more fields.
        same = same && !fresh->MoreFields;
        for (size_t i = 0; same && i < fColumns.size(); ++i)
            same = fresh->Recheck[i].Allows(fColumns[i].Type);
        if (!same)
            throw EDatabaseError("The fields of table \"" + fPath +
                                 "\" were changed by another program; open it again");
    }
    fState = std::move(fresh);
    fLock.LockShared(fPath);
    fSlots.Reset(static_cast<uint32_t>(fState->Starts.Size()));
    fSplitRecord = -1;
    fReadOnlyReason = ComputeReadOnlyReason();
}

// ---- Writing ---------------------------------------------------------------------

void TTextDriver::AppendRecord(std::string& line, const std::vector<TValue>& values) {
    const bool fixed = fSchema && fSchema->Fixed;
    std::string text, raw;
    std::vector<TDelimitedTableWriter::TFixedCell> cells;
    for (size_t i = 0; i < fColumns.size(); ++i) {
        const TColumn& c = fColumns[i];
        const TValue& v = values[i];
        auto refuse = [&](const std::string& why) {
            throw EDatabaseError("Field '" + c.Name + "' cannot hold " + DescribeValue(v) + ": " +
                                 why);
        };
        text.clear();
        if (!v.IsNull()) {
            switch (c.Type) {
            case ftString:
                if (v.Kind == TValueKind::Text || v.Kind == TValueKind::Bytes)
                    text = v.Text;
                else
                    ValueToText(v, text);
                break;
            case ftSmallint:
            case ftInteger:
            case ftLargeint: {
                int64_t n;
                if (!ValueToInt64(v, n)) refuse("it is not a whole number");
                if (c.Type == ftSmallint && (n < INT16_MIN || n > INT16_MAX))
                    refuse("the field holds -32768 to 32767");
                if (c.Type == ftInteger && (n < INT32_MIN || n > INT32_MAX))
                    refuse("the field holds -2147483648 to 2147483647");
                c.Guess.Format(TValue::OfInt(n), c.Type, text);
                break;
            }
            case ftFloat:
            case ftCurrency:
            case ftBCD: {
                double d;
                if (!ValueToDouble(v, d)) refuse("it is not a number");
                c.Guess.Format(TValue::OfFloat(d), c.Type, text);
                if (!fSchema && !(TTextTypeGuess::Classify(text) & TTextTypeGuess::kFloat)) {
                    // Written so that the column reads as numbers again: at
                    // most 15 significant digits, no exponent.
                    char buf[64];
                    auto r =
                        std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
                    text.assign(buf, r.ptr);
                    if (!(TTextTypeGuess::Classify(text) & TTextTypeGuess::kFloat))
                        refuse("the column holds numbers of at most 15 digits, written "
                               "without an exponent");
                }
                break;
            }
            case ftDate:
            case ftTime:
            case ftDateTime: {
                double d;
                if (!ValueToDateTime(v, d)) refuse("it is not a date or time");
                c.Guess.Format(TValue::OfDateTime(d), c.Type, text);
                break;
            }
            case ftBoolean: {
                bool b;
                if (!ValueToBool(v, b)) refuse("it is not True or False");
                c.Guess.Format(TValue::OfBool(b), c.Type, text, fixed ? c.Width : 0);
                break;
            }
            default:
                ValueToText(v, text);
                break;
            }
        }
        if (text.find('\0') != std::string::npos) refuse("it holds a NUL character");
        if (fEncoding == enSingleByte) {
            if (!fCodePage->FromUtf8(text, raw))
                refuse("code page " + std::to_string(fFormat.CodePage) +
                       " has no character for part of it");
        } else {
            raw = text;
        }
        const bool breaks = raw.find_first_of("\r\n") != std::string::npos;
        if (fixed) {
            if (breaks) refuse("a fixed-width file cannot hold a line break");
            cells.push_back({c.Offset, c.Width, IsNumberType(c.Type), raw});
            std::string probe;
            if (TDelimitedTableWriter::FixedLine({cells.back()}, fEncoding != enSingleByte,
                                                 probe) >= 0)
                refuse("it is wider than the field's " + std::to_string(c.Width) + " characters");
            continue;
        }
        if (i) line += fFormat.Separator;
        if (!fFormat.Quote && (breaks || raw.find(fFormat.Separator) != std::string::npos))
            refuse("the file has no quotes to hold a separator or a line break");
        TDelimitedFormat format = fFormat;
        // With a schema, text is enclosed as the schema's files do it.
        if (fSchema) format.QuoteAll = c.Type == ftString && !raw.empty();
        if (!raw.empty()) TDelimitedTableWriter::AppendValue(line, raw, format);
    }
    if (fixed) TDelimitedTableWriter::FixedLine(std::move(cells), fEncoding != enSingleByte, line);
}

void TTextDriver::Rewrite(const std::vector<int64_t>& order, const std::vector<uint32_t>& slotOf,
                          uint32_t slotCount, const std::string& added) {
    TState& s = *fState;
    const char* d = s.Data.data();
    const bool utf16 = fEncoding == enUtf16LE || fEncoding == enUtf16BE;
    {
        TAtomicFile file(fPath);
        std::string buffer; // UTF-16 files are converted whole at the end
        auto emit = [&](std::string_view bytes) {
            if (utf16)
                buffer.append(bytes);
            else
                file.Write(bytes);
        };
        if (!utf16) file.Write(s.Bom);
        if (!fSchema) {
            emit(std::string_view(d, s.HeaderEnd));
            if (!s.HeaderHasLineEnd && !order.empty()) emit(fFormat.LineEnd);
        }
        for (size_t i = 0; i < order.size(); ++i) {
            const bool last = i + 1 == order.size();
            if (order[i] < 0) {
                emit(added);
                if (!s.Stride && (!last || fFormat.FinalLineEnd)) emit(fFormat.LineEnd);
                continue;
            }
            const uint32_t r = static_cast<uint32_t>(order[i]);
            const uint64_t start = s.Starts.At(r);
            const uint64_t end = s.RecordEnd(r, *this);
            emit(std::string_view(d + start, end - start));
            const bool ended = end > start && IsLineEnd(d[end - 1]);
            if (!s.Stride && !ended && (!last || fFormat.FinalLineEnd)) emit(fFormat.LineEnd);
        }
        // Records without line breaks keep the file's line breaks at its end.
        if (s.Stride) emit(s.Data.substr(s.StrideEnd));
        if (utf16) {
            std::u16string u = Utf8ToUtf16(buffer);
            std::string bytes;
            bytes.reserve(2 + 2 * u.size());
            bytes.append(s.Bom);
            for (char16_t ch : u) {
                char lo = static_cast<char>(ch & 0xFF), hi = static_cast<char>(ch >> 8);
                if (fEncoding == enUtf16LE) {
                    bytes += lo;
                    bytes += hi;
                } else {
                    bytes += hi;
                    bytes += lo;
                }
            }
            file.Write(bytes);
        }
        // What was copied came from the mapping: zeros in place of a cut
        // file must not become the table.
        s.Map.CheckUnchanged("table");
        file.Commit();
    }
    fState = Load(false);
    fLock.LockShared(fPath);
    if (fState->Starts.Size() != slotOf.size()) {
        // Should the new file not read back record for record, the open
        // table no longer matches it.
        fReadOnlyReason = "the file did not read back as written; open it again";
        fSlots.Reset(static_cast<uint32_t>(fState->Starts.Size()));
        fSplitRecord = -1;
        throw EDatabaseError("Table \"" + fPath +
                             "\" did not read back as it was written; open it again");
    }
    fSlots.Remap(slotOf, slotCount);
    fSplitRecord = -1;
}

uint32_t TTextDriver::Post(int64_t rec, const std::vector<TValue>& values) {
    CheckWritable();
    CheckValueCount(fColumns.size(), values.size());
    const bool inserting = rec < 0;
    uint32_t fileRec = NoRecord;
    if (!inserting) {
        fileRec = rec < fSlots.Count() ? fSlots.FileRecordOf(static_cast<uint32_t>(rec)) : NoRecord;
        if (fileRec == NoRecord) NoSuchRecord(rec + 1);
    } else if (fSlots.Count() >= UINT32_MAX - 2) {
        TableFull();
    }
    if (!inserting && fState->HasNul) {
        const uint64_t start = fState->Starts.At(fileRec);
        const std::string_view raw =
            fState->Data.substr(start, fState->RecordEnd(fileRec, *this) - start);
        if (raw.find('\0') != std::string_view::npos)
            throw EDatabaseError("Record " + std::to_string(rec + 1) + " of table \"" + fPath +
                                 "\" holds NUL bytes, which a changed record would not keep");
    }
    std::string line;
    AppendRecord(line, values);
    if (line.empty()) {
        // An empty line would read as no record at all.
        if (!fFormat.Quote)
            throw EDatabaseError("Table \"" + fPath +
                                 "\" cannot hold a record whose only value is empty");
        line.assign(2, fFormat.Quote);
    }
    LockForWrite(fState->Stat);
    try {
        const uint32_t count = static_cast<uint32_t>(fState->Starts.Size());
        const std::vector<uint32_t> slotOfFile = fSlots.SlotsOfFile(count);
        const uint32_t slot = inserting ? fSlots.Count() : static_cast<uint32_t>(rec);
        std::vector<int64_t> order;
        std::vector<uint32_t> slotOf;
        order.reserve(count + 1);
        slotOf.reserve(count + 1);
        for (uint32_t r = 0; r < count; ++r) {
            order.push_back(r == fileRec ? int64_t{-1} : int64_t{r});
            slotOf.push_back(r == fileRec ? slot : slotOfFile[r]);
        }
        if (inserting) {
            order.push_back(-1);
            slotOf.push_back(slot);
        }
        Rewrite(order, slotOf, inserting ? fSlots.Count() + 1 : fSlots.Count(), line);
        return slot;
    } catch (...) {
        fLock.Downgrade();
        throw;
    }
}

void TTextDriver::Delete(uint32_t rec) {
    CheckWritable();
    const uint32_t fileRec = fSlots.FileRecordOf(rec);
    if (fileRec == NoRecord) NoSuchRecord(rec + 1);
    LockForWrite(fState->Stat);
    try {
        const uint32_t count = static_cast<uint32_t>(fState->Starts.Size());
        std::vector<int64_t> order;
        std::vector<uint32_t> slotOf;
        fSlots.Without(count, fileRec, order, slotOf);
        Rewrite(order, slotOf, fSlots.Count(), std::string());
    } catch (...) {
        fLock.Downgrade();
        throw;
    }
}

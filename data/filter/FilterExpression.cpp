#include "data/filter/FilterExpression.h"

#include "data/base/CaseFold.h"
#include "data/base/DateTimeKey.h"
#include "data/base/TextUtils.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {
bool Holds(TFilterOp op, int c) {
    switch (op) {
    case TFilterOp::Eq:
        return c == 0;
    case TFilterOp::Ne:
        return c != 0;
    case TFilterOp::Lt:
        return c < 0;
    case TFilterOp::Gt:
        return c > 0;
    case TFilterOp::Le:
        return c <= 0;
    case TFilterOp::Ge:
        return c >= 0;
    }
    return false;
}

template <typename T> int Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

int CompareBytes(std::string_view a, std::string_view b, bool caseInsensitive) {
    if (caseInsensitive) return CompareText(a, b);
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// A pattern, folded when it ignores case, with what the match asks of it
// on every record.
struct TPattern {
    std::string Text;
    TWildcardSyntax Syntax;
    bool CaseInsensitive;
    size_t Lead;          // how many characters come before the first wildcard
    bool HasOne;          // whether it holds '?' or '_'
    std::string Contains; // '%text%' with no other wildcard: that text
    TPattern(std::string_view pattern, TWildcardSyntax syntax, bool ci)
        : Text(ci ? CaseFold(pattern) : std::string(pattern)), Syntax(syntax), CaseInsensitive(ci) {
        const bool like = syntax == TWildcardSyntax::Like;
        const char* wild = like ? "*%?_" : "*";
        Lead = std::min(Text.find_first_of(wild), Text.size());
        HasOne = like && Text.find_first_of("?_") != std::string::npos;
        const size_t first = Text.find_first_not_of(wild), last = Text.find_last_not_of(wild);
        // (Not from inside a character, where no run of the match may start.)
        if (!HasOne && first != std::string::npos && first > 0 && last + 1 < Text.size() &&
            Text.find_first_of(wild, first) == last + 1 &&
            (static_cast<unsigned char>(Text[first]) & 0xC0) != 0x80)
            Contains = Text.substr(first, last + 1 - first);
    }
};

// Where a text is folded for a pattern, kept from one record to the next.
struct TFoldScratch {
    std::string Folded;
    std::vector<uint8_t> Starts;
};

bool MatchPattern(std::string_view text, const TPattern& pattern, TFoldScratch& scratch);

// The text of a value that is not stored as text (a driver may hand a
// number for a text column); rare, so a fresh string is fine.
std::string_view TextOf(const TValue& v, std::string& scratch) {
    switch (v.Kind) {
    case TValueKind::Text:
    case TValueKind::Bytes:
        return v.Text;
    case TValueKind::Integer:
        AppendInt(scratch, v.Int);
        break;
    case TValueKind::Float:
        AppendFloat(scratch, v.Float);
        break;
    case TValueKind::Boolean:
        scratch = v.Bool ? "True" : "False";
        break;
    case TValueKind::DateTime:
        scratch = DateTimeToStr(v.Float);
        break;
    case TValueKind::Null:
        break;
    }
    return scratch;
}

bool NumberOf(const TValue& v, double& d) {
    switch (v.Kind) {
    case TValueKind::Integer:
        d = static_cast<double>(v.Int);
        return true;
    case TValueKind::Float:
    case TValueKind::DateTime:
        d = v.Float;
        return true;
    case TValueKind::Boolean:
        d = v.Bool ? 1 : 0;
        return true;
    case TValueKind::Text:
        return TryStrToFloat(v.Text, d);
    default:
        return false;
    }
}

bool DateKeyOf(const TValue& v, int64_t& key) {
    switch (v.Kind) {
    case TValueKind::DateTime:
    case TValueKind::Float:
        key = DateTimeKey(v.Float);
        return true;
    case TValueKind::Integer:
        key = DateTimeKey(static_cast<double>(v.Int));
        return true;
    default:
        return false;
    }
}

bool BoolOf(const TValue& v, bool& b) {
    switch (v.Kind) {
    case TValueKind::Boolean:
        b = v.Bool;
        return true;
    case TValueKind::Integer:
        b = v.Int != 0;
        return true;
    case TValueKind::Float:
        b = v.Float != 0;
        return true;
    default:
        return false;
    }
}

class TAndNode : public TFilterNode {
public:
    explicit TAndNode(std::vector<TFilterNodePtr> parts) : fParts(std::move(parts)) {}
    bool Eval(const TFilterValues& v) const override {
        for (const TFilterNodePtr& p : fParts)
            if (!p->Eval(v)) return false;
        return true;
    }

private:
    std::vector<TFilterNodePtr> fParts;
};

class TOrNode : public TFilterNode {
public:
    explicit TOrNode(std::vector<TFilterNodePtr> parts) : fParts(std::move(parts)) {}
    bool Eval(const TFilterValues& v) const override {
        for (const TFilterNodePtr& p : fParts)
            if (p->Eval(v)) return true;
        return false;
    }

private:
    std::vector<TFilterNodePtr> fParts;
};

class TNotNode : public TFilterNode {
public:
    explicit TNotNode(TFilterNodePtr a) : fA(std::move(a)) {}
    bool Eval(const TFilterValues& v) const override { return !fA->Eval(v); }

private:
    TFilterNodePtr fA;
};

class TNullTest : public TFilterNode {
public:
    TNullTest(int slot, bool wantNull) : fSlot(slot), fWantNull(wantNull) {}
    bool Eval(const TFilterValues& v) const override {
        return v[static_cast<size_t>(fSlot)].IsNull() == fWantNull;
    }

private:
    int fSlot;
    bool fWantNull;
};

class TTextCompare : public TFilterNode {
public:
    // The literal is folded once; each record's text is folded as it is compared.
    TTextCompare(int slot, TFilterOp op, std::string literal, bool ci, bool emptyIsNull)
        : fSlot(slot), fOp(op), fLiteral(ci ? CaseFold(literal) : std::move(literal)),
          fCaseInsensitive(ci), fEmptyIsNull(emptyIsNull && fLiteral.empty()) {}
    bool Eval(const TFilterValues& values) const override {
        const TValue& v = values[static_cast<size_t>(fSlot)];
        if (v.IsNull())
            return fEmptyIsNull &&
                   (fOp == TFilterOp::Eq || fOp == TFilterOp::Le || fOp == TFilterOp::Ge);
        std::string scratch;
        std::string_view text = TextOf(v, scratch);
        return Holds(fOp, fCaseInsensitive ? CompareFolded(text, fLiteral)
                                           : CompareBytes(text, fLiteral, false));
    }

private:
    int fSlot;
    TFilterOp fOp;
    std::string fLiteral;
    bool fCaseInsensitive;
    bool fEmptyIsNull;
};

class TWildcardMatch : public TFilterNode {
public:
    TWildcardMatch(int slot, std::string_view pattern, TWildcardSyntax syntax, bool ci, bool negate)
        : fSlot(slot), fPattern(pattern, syntax, ci), fNegate(negate) {}
    bool Eval(const TFilterValues& values) const override {
        const TValue& v = values[static_cast<size_t>(fSlot)];
        if (v.IsNull()) return false;
        std::string scratch;
        return MatchPattern(TextOf(v, scratch), fPattern, fFold) != fNegate;
    }

private:
    // An expression runs over one record at a time (TFilterExpression keeps
    // the record's values itself), so one scratch per test is enough.
    mutable TFoldScratch fFold;
    int fSlot;
    TPattern fPattern;
    bool fNegate;
};

class TNumberCompare : public TFilterNode {
public:
    TNumberCompare(int slot, TFilterOp op, double literal, int digits)
        : fSlot(slot), fOp(op), fLiteral(literal), fLo(literal), fHi(literal) {
        fLiteralIsInt =
            std::isfinite(literal) && std::trunc(literal) == literal && std::fabs(literal) < 9.0e18;
        if (fLiteralIsInt) fLiteralInt = static_cast<int64_t>(literal);
        if (digits > 0 && digits < 18 && std::isfinite(literal) && literal != 0) {
            // The band of doubles that show as the literal rounded to `digits`.
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.*e", digits - 1, literal);
            double rounded = std::strtod(buf, nullptr);
            if (!std::isfinite(rounded) || rounded == 0) return; // at the ends of the range: exact
            int exponent = static_cast<int>(std::floor(std::log10(std::fabs(rounded))));
            double half = 0.5 * std::pow(10.0, exponent - digits + 1);
            fLo = rounded - half;
            fHi = rounded + half;
        }
    }
    TNumberCompare(int slot, TFilterOp op, int64_t literal)
        : TNumberCompare(slot, op, static_cast<double>(literal), 0) {
        fLiteralIsInt = true;
        fLiteralInt = literal;
    }
    bool Eval(const TFilterValues& values) const override {
        const TValue& v = values[static_cast<size_t>(fSlot)];
        if (v.IsNull()) return false;
        if (v.Kind == TValueKind::Integer && fLiteralIsInt)
            return Holds(fOp, Order(v.Int, fLiteralInt));
        double d;
        if (!NumberOf(v, d) || std::isnan(d)) return false;
        int c = (d >= fLo && d <= fHi) ? 0 : (d < fLiteral ? -1 : 1);
        return Holds(fOp, c);
    }

private:
    int fSlot;
    TFilterOp fOp;
    double fLiteral;
    double fLo, fHi;
    bool fLiteralIsInt = false;
    int64_t fLiteralInt = 0;
};

class TDateCompare : public TFilterNode {
public:
    TDateCompare(int slot, TFilterOp op, int64_t literalKey, int64_t unit)
        : fSlot(slot), fOp(op), fUnit(unit), fLiteral(TruncateDateTimeKey(literalKey, unit)) {}
    bool Eval(const TFilterValues& values) const override {
        int64_t key;
        if (!DateKeyOf(values[static_cast<size_t>(fSlot)], key)) return false;
        return Holds(fOp, Order(TruncateDateTimeKey(key, fUnit), fLiteral));
    }

private:
    int fSlot;
    TFilterOp fOp;
    int64_t fUnit;
    int64_t fLiteral;
};

class TBoolCompare : public TFilterNode {
public:
    TBoolCompare(int slot, TFilterOp op, bool literal) : fSlot(slot), fOp(op), fLiteral(literal) {}
    bool Eval(const TFilterValues& values) const override {
        bool b;
        if (!BoolOf(values[static_cast<size_t>(fSlot)], b)) return false;
        return Holds(fOp, Order(static_cast<int>(b), static_cast<int>(fLiteral)));
    }

private:
    int fSlot;
    TFilterOp fOp;
    bool fLiteral;
};

class TFieldCompare : public TFilterNode {
public:
    TFieldCompare(int a, int b, TFilterOp op, TFieldCompareKind kind, bool ci)
        : fA(a), fB(b), fOp(op), fKind(kind), fCaseInsensitive(ci) {}
    bool Eval(const TFilterValues& values) const override {
        const TValue& a = values[static_cast<size_t>(fA)];
        const TValue& b = values[static_cast<size_t>(fB)];
        if (a.IsNull() || b.IsNull()) return false;
        switch (fKind) {
        case TFieldCompareKind::Text: {
            std::string sa, sb;
            return Holds(fOp, CompareBytes(TextOf(a, sa), TextOf(b, sb), fCaseInsensitive));
        }
        case TFieldCompareKind::Number: {
            if (a.Kind == TValueKind::Integer && b.Kind == TValueKind::Integer)
                return Holds(fOp, Order(a.Int, b.Int));
            double x, y;
            if (!NumberOf(a, x) || !NumberOf(b, y) || std::isnan(x) || std::isnan(y)) return false;
            return Holds(fOp, Order(x, y));
        }
        case TFieldCompareKind::DateTime: {
            int64_t x, y;
            if (!DateKeyOf(a, x) || !DateKeyOf(b, y)) return false;
            return Holds(fOp, Order(x, y));
        }
        case TFieldCompareKind::Boolean: {
            bool x, y;
            if (!BoolOf(a, x) || !BoolOf(b, y)) return false;
            return Holds(fOp, Order(static_cast<int>(x), static_cast<int>(y)));
        }
        }
        return false;
    }

private:
    int fA, fB;
    TFilterOp fOp;
    TFieldCompareKind fKind;
    bool fCaseInsensitive;
};

// The position after the UTF-8 character at i.
size_t NextChar(std::string_view s, size_t i) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
        ++i;
    return i;
}

// The text a pattern runs over: whether it has a byte at i, that byte,
// where a '?' that starts at i ends, and where a '*' may try next after i.
struct TPlainText { // as it is
    std::string_view Bytes;
    bool Has(size_t i) const { return i < Bytes.size(); }
    unsigned char At(size_t i) const { return static_cast<unsigned char>(Bytes[i]); }
    size_t OneAfter(size_t i) const { return NextChar(Bytes, i); }
    size_t TryAfter(size_t i) const { return NextChar(Bytes, i); }
};

struct TAsciiFoldedText { // ASCII only, folded as it is read
    std::string_view Bytes;
    bool Has(size_t i) const { return i < Bytes.size(); }
    unsigned char At(size_t i) const {
        const auto c = static_cast<unsigned char>(Bytes[i]);
        return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
    }
    size_t OneAfter(size_t i) const { return i + 1; }
    size_t TryAfter(size_t i) const { return i + 1; }
};

// Folded whole. `Starts`, where a pattern has a '?', marks where each
// character of the text as stored begins in the fold, so that a '?' stands
// for one of those (ß, folded to ss, is one).
struct TFoldedText {
    std::string_view Bytes;
    const std::vector<uint8_t>* Starts; // one per byte and one for the end; or none
    bool Has(size_t i) const { return i < Bytes.size(); }
    unsigned char At(size_t i) const { return static_cast<unsigned char>(Bytes[i]); }
    size_t OneAfter(size_t i) const {
        if (!Starts) return NextChar(Bytes, i);
        do
            ++i;
        while (!(*Starts)[i]);
        return i;
    }
    size_t TryAfter(size_t i) const { return NextChar(Bytes, i); }
};

template <typename TText> bool MatchText(TText&& text, std::string_view pattern, bool like) {
    auto isMany = [&](char c) { return c == '*' || (like && c == '%'); };
    auto isOne = [&](char c) { return like && (c == '?' || c == '_'); };
    // Greedy with one backtracking point: the last '*' seen. Linear in the
    // common cases and at worst text length times pattern length.
    size_t t = 0, p = 0;
    size_t starP = std::string_view::npos, starT = 0;
    while (text.Has(t)) {
        if (p < pattern.size()) {
            char pc = pattern[p];
            if (isMany(pc)) {
                while (p < pattern.size() && isMany(pattern[p]))
                    ++p;
                if (p == pattern.size()) return true; // the rest of the text is the run
                starP = p;
                starT = t;
                continue;
            }
            if (isOne(pc)) {
                t = text.OneAfter(t);
                ++p;
                continue;
            }
            if (static_cast<unsigned char>(pc) == text.At(t)) {
                ++t;
                ++p;
                continue;
            }
        }
        if (starP == std::string_view::npos) return false;
        starT = text.TryAfter(starT);
        t = starT;
        p = starP;
    }
    while (p < pattern.size() && isMany(pattern[p]))
        ++p;
    return p == pattern.size();
}

bool MatchPattern(std::string_view text, const TPattern& pattern, TFoldScratch& scratch) {
    const bool like = pattern.Syntax == TWildcardSyntax::Like;
    const std::string_view p = pattern.Text;
    if (!pattern.CaseInsensitive) {
        if (!pattern.Contains.empty()) return text.find(pattern.Contains) != std::string_view::npos;
        return MatchText(TPlainText{text}, p, like);
    }
    if (!pattern.Contains.empty()) { // a search in the fold
        scratch.Folded.clear();
        AppendCaseFold(scratch.Folded, text);
        return scratch.Folded.find(pattern.Contains) != std::string::npos;
    }
    if (IsAscii(text)) return MatchText(TAsciiFoldedText{text}, p, like);
    // A pattern that starts with plain characters rules most texts out
    // before they are folded whole.
    if (pattern.Lead > 0 && !StartsFolded(p.substr(0, pattern.Lead), text)) return false;
    std::string& folded = scratch.Folded;
    folded.clear();
    if (!pattern.HasOne) {
        AppendCaseFold(folded, text);
        return MatchText(TFoldedText{folded, nullptr}, p, like);
    }
    std::vector<uint8_t>& starts = scratch.Starts;
    starts.clear();
    char buf[MaxFoldBytes];
    for (size_t i = 0; i < text.size();) {
        const size_t k = FoldChar(text, i, buf);
        folded.append(buf, k);
        starts.push_back(1);
        starts.insert(starts.end(), k - 1, 0);
    }
    starts.push_back(1);
    return MatchText(TFoldedText{folded, &starts}, p, like);
}
} // namespace

bool WildcardMatch(std::string_view text, std::string_view pattern, TWildcardSyntax syntax,
                   bool caseInsensitive) {
    TFoldScratch scratch;
    return MatchPattern(text, TPattern(pattern, syntax, caseInsensitive), scratch);
}

TFilterNodePtr MakeAndNode(std::vector<TFilterNodePtr> parts) {
    if (parts.size() == 1) return std::move(parts.front());
    return std::make_unique<TAndNode>(std::move(parts));
}
TFilterNodePtr MakeOrNode(std::vector<TFilterNodePtr> parts) {
    if (parts.size() == 1) return std::move(parts.front());
    return std::make_unique<TOrNode>(std::move(parts));
}
TFilterNodePtr MakeNotNode(TFilterNodePtr a) {
    return std::make_unique<TNotNode>(std::move(a));
}
TFilterNodePtr MakeNullTest(int slot, bool wantNull) {
    return std::make_unique<TNullTest>(slot, wantNull);
}
TFilterNodePtr MakeTextCompare(int slot, TFilterOp op, std::string literal, bool caseInsensitive,
                               bool emptyIsNull) {
    return std::make_unique<TTextCompare>(slot, op, std::move(literal), caseInsensitive,
                                          emptyIsNull);
}
TFilterNodePtr MakeWildcardMatch(int slot, const std::string& pattern, TWildcardSyntax syntax,
                                 bool caseInsensitive, bool negate) {
    return std::make_unique<TWildcardMatch>(slot, pattern, syntax, caseInsensitive, negate);
}
TFilterNodePtr MakeNumberCompare(int slot, TFilterOp op, double literal, int digits) {
    return std::make_unique<TNumberCompare>(slot, op, literal, digits);
}
TFilterNodePtr MakeIntegerCompare(int slot, TFilterOp op, int64_t literal) {
    return std::make_unique<TNumberCompare>(slot, op, literal);
}
TFilterNodePtr MakeDateCompare(int slot, TFilterOp op, int64_t literalKey, int64_t unitMs) {
    return std::make_unique<TDateCompare>(slot, op, literalKey, unitMs);
}
TFilterNodePtr MakeBoolCompare(int slot, TFilterOp op, bool literal) {
    return std::make_unique<TBoolCompare>(slot, op, literal);
}
TFilterNodePtr MakeFieldCompare(int slotA, int slotB, TFilterOp op, TFieldCompareKind kind,
                                bool caseInsensitive) {
    return std::make_unique<TFieldCompare>(slotA, slotB, op, kind, caseInsensitive);
}

TFilterExpression::TFilterExpression(TFilterNodePtr root, std::vector<int> fieldNos)
    : fRoot(std::move(root)), fFieldNos(std::move(fieldNos)), fValues(fFieldNos.size()) {}

bool TFilterExpression::Accept(TDataSet& dataSet) {
    for (size_t i = 0; i < fFieldNos.size(); ++i)
        dataSet.GetFieldValue(fFieldNos[i], fValues[i]);
    return fRoot->Eval(fValues);
}

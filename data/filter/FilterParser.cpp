#include "data/filter/FilterParser.h"

#include "data/base/DatabaseError.h"
#include "data/base/DateTimeKey.h"
#include "data/base/FieldTypeName.h"
#include "data/base/TextUtils.h"
#include "data/dataset/DataSet.h"
#include "data/dataset/NumericField.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/NumberFormat.h"

#include <charconv>
#include <cstdint>

namespace {
constexpr int64_t MsPerMinute = 60000;
constexpr int64_t MsPerDay = 86400000;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsWordStart(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_' || u >= 0x80;
}
bool IsWordChar(char c) {
    return IsWordStart(c) || IsDigit(c) || c == '$';
}

bool IsKeyword(std::string_view w) {
    return SameText(w, "AND") || SameText(w, "OR") || SameText(w, "NOT") || SameText(w, "IS") ||
           SameText(w, "LIKE");
}

TFilterOp Flip(TFilterOp op) {
    switch (op) {
    case TFilterOp::Lt:
        return TFilterOp::Gt;
    case TFilterOp::Gt:
        return TFilterOp::Lt;
    case TFilterOp::Le:
        return TFilterOp::Ge;
    case TFilterOp::Ge:
        return TFilterOp::Le;
    default:
        return op;
    }
}

TFilterOp OpOf(const std::string& s) {
    if (s == "=") return TFilterOp::Eq;
    if (s == "<>") return TFilterOp::Ne;
    if (s == "<") return TFilterOp::Lt;
    if (s == ">") return TFilterOp::Gt;
    if (s == "<=") return TFilterOp::Le;
    return TFilterOp::Ge;
}

enum class TCategory { Text, Number, Boolean, DateTime, Other };

TCategory CategoryOf(TFieldType t) {
    switch (t) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftGuid:
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob:
        return TCategory::Text;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
    case ftFloat:
    case ftCurrency:
    case ftBCD:
        return TCategory::Number;
    case ftBoolean:
        return TCategory::Boolean;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return TCategory::DateTime;
    default:
        return TCategory::Other;
    }
}

bool BoolWord(std::string_view w, bool& out) {
    w = Trim(w);
    for (const char* t : {"true", "t", "yes", "y", "1"})
        if (SameText(w, t)) return out = true, true;
    for (const char* f : {"false", "f", "no", "n", "0"})
        if (SameText(w, f)) return out = false, true;
    return false;
}

// The unit a time text is written to: minutes, seconds or milliseconds.
int64_t TimeUnit(std::string_view time, const TFormatSettings& fs) {
    int separators = 0;
    for (size_t i = 0; i < time.size(); ++i) {
        char c = time[i];
        if (c == ':' || c == fs.TimeSeparator) {
            ++separators;
        } else if (separators >= 2 && (c == '.' || c == fs.DecimalSeparator) &&
                   i + 1 < time.size() && IsDigit(time[i + 1])) {
            return 1;
        }
    }
    return separators >= 2 ? 1000 : MsPerMinute;
}

// A date, time or date-time text for a field of the kind, with the unit it
// is written to (a date alone stands for its whole day).
bool ParseDateLiteral(std::string_view text, TFieldType type, const TFormatSettings& fs,
                      int64_t& key, int64_t& unit) {
    std::string_view t = Trim(text);
    double v = 0;
    if (type == ftTime) {
        if (!TryStrToTime(t, v, fs)) return false;
        unit = TimeUnit(t, fs);
    } else {
        if (!TryStrToDateTime(t, v, fs)) return false;
        size_t cut = 0;
        while (cut < t.size() && !IsBlank(t[cut]) && t[cut] != 'T' && t[cut] != 't')
            ++cut;
        unit = cut >= t.size() ? MsPerDay : TimeUnit(t.substr(cut + 1), fs);
    }
    key = DateTimeKey(v);
    return true;
}

const char* DateWord(TFieldType t) {
    return t == ftDate ? "date" : (t == ftTime ? "time" : "date and time");
}
} // namespace

struct TFilterParser::TOperand {
    enum TKind : uint8_t { kField, kText, kNumber, kDate, kNull, kWord } Kind = kWord;
    int FieldNo = -1;       // the field; for Text, the field the quoted text names, if any
    bool Ambiguous = false; // the name is that of more than one field
    std::string Text;       // decoded text
    std::string Raw;        // as written
    double Number = 0;      // value of a Number
    bool IsInt = false;     // a Number of digits alone that fits 64 bits, exactly in Int
    int64_t Int = 0;
    size_t Pos = 0;
};

TFilterParser::TFilterParser(TFilterDialect dialect, const TDataSet& dataSet,
                             const TFormatSettings& fs)
    : fDialect(dialect), fDataSet(dataSet), fFormat(fs) {}

void TFilterParser::Fail(const std::string& what, size_t pos) const {
    throw EDatabaseError("Filter: " + what + " at position " + std::to_string(pos));
}

void TFilterParser::FailUnknownField(const TOperand& word) const {
    Fail("unknown field '" + word.Text + "'", word.Pos);
}

// A name that fields share cannot say which of them it means: filtering on
// the first would give another column's records.
void TFilterParser::CheckField(const TOperand& field) const {
    if (field.Kind == TOperand::kField && field.Ambiguous)
        Fail("the field name '" + field.Text + "' is ambiguous: more than one field has it",
             field.Pos);
}

// ---- Tokens ------------------------------------------------------------------

bool TFilterParser::ClosesString(size_t after) const {
    // A quote ends a text only where something that may follow a value
    // follows it. A quote inside a value that nobody doubled (the proposed
    // filter "Name = 'O'Brien'") then stays part of the value; a text that
    // the strict reading accepts reads the same.
    size_t k = after;
    while (k < fText.size() && IsBlank(fText[k]))
        ++k;
    if (k >= fText.size()) return true;
    char c = fText[k];
    if (c == ')' || c == '=' || c == '<' || c == '>') return true;
    if (!IsWordStart(c)) return false;
    size_t e = k;
    while (e < fText.size() && IsWordChar(fText[e]))
        ++e;
    return IsKeyword(fText.substr(k, e - k));
}

void TFilterParser::ReadString(size_t& i, TToken& t) {
    size_t j = i + 1;
    for (;;) {
        if (j >= fText.size()) Fail("the text in quotes has no closing quote", i + 1);
        char c = fText[j];
        if (c == '\'') {
            if (j + 1 < fText.size() && fText[j + 1] == '\'') {
                t.Text += '\'';
                j += 2;
                continue;
            }
            if (ClosesString(j + 1)) break;
        }
        t.Text += c;
        ++j;
    }
    t.Raw.assign(fText.substr(i, j + 1 - i));
    i = j + 1;
}

void TFilterParser::Tokenize() {
    const std::string_view s = fText;
    size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (IsBlank(c)) {
            ++i;
            continue;
        }
        TToken t;
        t.Pos = i + 1;
        const size_t start = i;
        auto next = [&](size_t k) { return i + k < s.size() ? s[i + k] : '\0'; };
        if (c == '(' || c == ')') {
            t.Kind = c == '(' ? TTokenKind::LeftParen : TTokenKind::RightParen;
            ++i;
        } else if (c == '=' || c == '<' || c == '>') {
            t.Kind = TTokenKind::Operator;
            size_t len =
                (c == '<' && (next(1) == '>' || next(1) == '=')) || (c == '>' && next(1) == '=')
                    ? 2
                    : 1;
            t.Text.push_back(c);
            if (len == 2) t.Text.push_back(next(1));
            i += len;
        } else if (c == '\'') {
            t.Kind = TTokenKind::String;
            ReadString(i, t);
        } else if (c == '"' || c == '[') {
            const char close = c == '"' ? '"' : ']';
            t.Kind = TTokenKind::Name;
            size_t j = i + 1;
            for (;;) {
                if (j >= s.size())
                    Fail(std::string("the field name has no closing ") + close, i + 1);
                if (s[j] == close) {
                    if (j + 1 < s.size() && s[j + 1] == close) {
                        t.Text += close;
                        j += 2;
                        continue;
                    }
                    break;
                }
                t.Text += s[j++];
            }
            if (Trim(t.Text).empty()) Fail("empty field name", i + 1);
            i = j + 1;
        } else if (c == '#' && fDialect == TFilterDialect::ADO) {
            t.Kind = TTokenKind::Date;
            size_t close = s.find('#', i + 1);
            if (close == std::string_view::npos) Fail("the date has no closing #", i + 1);
            t.Text.assign(s.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (IsDigit(c) ||
                   ((c == '.' || c == fFormat.DecimalSeparator) && IsDigit(next(1)))) {
            t.Kind = TTokenKind::Number;
            while (i < s.size() && IsDigit(s[i]))
                t.Text += s[i++];
            if (i + 1 < s.size() && (s[i] == '.' || s[i] == fFormat.DecimalSeparator) &&
                IsDigit(s[i + 1])) {
                t.Text += '.';
                ++i;
                while (i < s.size() && IsDigit(s[i]))
                    t.Text += s[i++];
            }
            if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
                size_t k = i + 1;
                if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
                if (k < s.size() && IsDigit(s[k])) {
                    t.Text.append(s.substr(i, k - i));
                    i = k;
                    while (i < s.size() && IsDigit(s[i]))
                        t.Text += s[i++];
                }
            }
        } else if (c == '+' || c == '-') {
            t.Kind = TTokenKind::Sign;
            t.Text.assign(1, c);
            ++i;
        } else if (IsWordStart(c)) {
            t.Kind = TTokenKind::Word;
            while (i < s.size() && IsWordChar(s[i]))
                ++i;
            t.Text.assign(s.substr(start, i - start));
        } else {
            Fail(std::string("unexpected character '") + c + "'", i + 1);
        }
        if (t.Raw.empty()) t.Raw.assign(s.substr(start, i - start));
        fTokens.push_back(std::move(t));
    }
    TToken end;
    end.Pos = s.size() + 1;
    fTokens.push_back(end);
}

const TFilterParser::TToken& TFilterParser::Peek(size_t ahead) const {
    size_t k = fNext + ahead;
    return k < fTokens.size() ? fTokens[k] : fTokens.back();
}

bool TFilterParser::PeekWord(const char* word, size_t ahead) const {
    const TToken& t = Peek(ahead);
    return t.Kind == TTokenKind::Word && SameText(t.Text, word);
}

// ---- Grammar -----------------------------------------------------------------

std::unique_ptr<TFilterExpression> TFilterParser::Parse(std::string_view text) {
    fText = text;
    fTokens.clear();
    fNext = 0;
    fDepth = 0;
    fSlotFields.clear();
    Tokenize();
    if (Peek().Kind == TTokenKind::End) Fail("the expression is empty", 1);
    TFilterNodePtr root = ParseOr();
    const TToken& t = Peek();
    if (t.Kind == TTokenKind::RightParen) Fail("')' without '('", t.Pos);
    if (t.Kind != TTokenKind::End) Fail("expected AND or OR before '" + t.Raw + "'", t.Pos);
    return std::make_unique<TFilterExpression>(std::move(root), fSlotFields);
}

TFilterNodePtr TFilterParser::ParseOr() {
    std::vector<TFilterNodePtr> parts;
    parts.push_back(ParseAnd());
    while (PeekWord("OR")) {
        ++fNext;
        parts.push_back(ParseAnd());
    }
    return MakeOrNode(std::move(parts));
}

TFilterNodePtr TFilterParser::ParseAnd() {
    std::vector<TFilterNodePtr> parts;
    parts.push_back(ParseNot());
    while (PeekWord("AND")) {
        ++fNext;
        parts.push_back(ParseNot());
    }
    return MakeAndNode(std::move(parts));
}

TFilterNodePtr TFilterParser::ParseNot() {
    if (PeekWord("NOT")) {
        // NOT NOT x is x: a run of them costs no recursion.
        bool negate = false;
        while (PeekWord("NOT")) {
            negate = !negate;
            ++fNext;
        }
        TFilterNodePtr inner = ParsePrimary();
        return negate ? MakeNotNode(std::move(inner)) : std::move(inner);
    }
    return ParsePrimary();
}

TFilterNodePtr TFilterParser::ParsePrimary() {
    if (Peek().Kind == TTokenKind::LeftParen) {
        size_t open = Peek().Pos;
        if (++fDepth > MaxDepth) Fail("the expression is nested too deeply", open);
        ++fNext;
        TFilterNodePtr inner = ParseOr();
        --fDepth;
        if (Peek().Kind != TTokenKind::RightParen) {
            if (Peek().Kind == TTokenKind::End) Fail("missing ')' for the '('", open);
            Fail("expected ')' or AND or OR before '" + Peek().Raw + "'", Peek().Pos);
        }
        ++fNext;
        return inner;
    }
    return ParseComparison();
}

bool TFilterParser::ParseOperand(TOperand& out) {
    const TToken& t = Peek();
    out = TOperand();
    out.Pos = t.Pos;
    out.Raw = t.Raw;
    out.Text = t.Text;
    switch (t.Kind) {
    case TTokenKind::Word:
        if (IsKeyword(t.Text)) return false;
        if (SameText(t.Text, "NULL")) {
            out.Kind = TOperand::kNull;
        } else {
            out.FieldNo = FindField(t.Text, out.Ambiguous);
            out.Kind = out.FieldNo >= 0 ? TOperand::kField : TOperand::kWord;
            CheckField(out);
        }
        break;
    case TTokenKind::Name:
        out.FieldNo = FindField(t.Text, out.Ambiguous);
        if (out.FieldNo < 0) Fail("unknown field '" + t.Text + "'", t.Pos);
        out.Kind = TOperand::kField;
        CheckField(out);
        break;
    case TTokenKind::String:
        out.Kind = TOperand::kText;
        out.FieldNo = FindField(t.Text, out.Ambiguous);
        break;
    case TTokenKind::Date:
        out.Kind = TOperand::kDate;
        break;
    case TTokenKind::Sign:
    case TTokenKind::Number: {
        bool negative = false;
        if (t.Kind == TTokenKind::Sign) {
            if (Peek(1).Kind != TTokenKind::Number) return false;
            negative = t.Text == "-";
            ++fNext;
            out.Raw += Peek().Raw;
            out.Text = Peek().Text;
        }
        const std::string& digits = Peek().Text;
        double v = 0;
        auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
        if (r.ec != std::errc() || r.ptr != digits.data() + digits.size())
            Fail("the number " + out.Raw + " is out of range", out.Pos);
        out.Kind = TOperand::kNumber;
        out.Number = negative ? -v : v;
        uint64_t magnitude = 0;
        auto ri = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
        if (ri.ec == std::errc() && ri.ptr == digits.data() + digits.size() &&
            magnitude <= (negative ? uint64_t(1) << 63 : uint64_t(INT64_MAX))) {
            out.IsInt = true;
            out.Int =
                negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
        }
        break;
    }
    default:
        return false;
    }
    ++fNext;
    return true;
}

TFilterNodePtr TFilterParser::ParseComparison() {
    const TToken& first = Peek();
    TOperand left;
    if (!ParseOperand(left)) {
        if (first.Kind == TTokenKind::End) {
            const TToken& prev = fTokens[fNext - 1];
            Fail("expected a condition after '" + prev.Raw + "'", prev.Pos);
        }
        Fail("expected a field name instead of '" + first.Raw + "'", first.Pos);
    }
    const TToken& t = Peek();
    if (t.Kind == TTokenKind::Operator) {
        const TToken& opToken = t;
        ++fNext;
        TOperand right;
        if (!ParseOperand(right)) Fail("expected a value after '" + opToken.Raw + "'", opToken.Pos);
        return Bind(std::move(left), OpOf(opToken.Text), opToken, std::move(right));
    }
    const bool isTest = PeekWord("IS");
    const bool isLike = PeekWord("LIKE") || (PeekWord("NOT") && PeekWord("LIKE", 1));
    if ((isTest || isLike) && fDialect == TFilterDialect::Table)
        Fail(isTest ? "IS is not part of this filter syntax (write = NULL or <> NULL)"
                    : "LIKE is not part of this filter syntax (write = with * in the text)",
             t.Pos);
    if (isTest || isLike) {
        if (left.Kind == TOperand::kText && left.FieldNo >= 0) left.Kind = TOperand::kField;
        CheckField(left);
        if (left.Kind == TOperand::kWord) FailUnknownField(left);
        if (left.Kind != TOperand::kField)
            Fail("expected a field name instead of '" + left.Raw + "'", left.Pos);
    }
    if (isTest) {
        const size_t isPos = t.Pos;
        ++fNext;
        bool negate = false;
        if (PeekWord("NOT")) {
            negate = true;
            ++fNext;
        }
        if (!PeekWord("NULL"))
            Fail(negate ? "expected NULL after 'IS NOT'" : "expected NULL after 'IS'", isPos);
        ++fNext;
        return MakeNullTest(SlotOf(left.FieldNo), !negate);
    }
    if (isLike) {
        bool negate = PeekWord("NOT");
        if (negate) ++fNext;
        const size_t likePos = Peek().Pos;
        ++fNext;
        const TToken& pattern = Peek();
        if (pattern.Kind != TTokenKind::String)
            Fail("expected a pattern in quotes after 'LIKE'", likePos);
        ++fNext;
        TFieldType type = fDataSet.Fields(left.FieldNo).DataType();
        if (CategoryOf(type) != TCategory::Text)
            Fail("LIKE needs a text field; '" + left.Text + "' is of type " +
                     GetFieldTypeName(type),
                 likePos);
        return MakeWildcardMatch(SlotOf(left.FieldNo), pattern.Text, TWildcardSyntax::Like, true,
                                 negate);
    }
    if (left.Kind == TOperand::kWord) FailUnknownField(left);
    Fail("expected a comparison operator after '" + left.Raw + "'", t.Pos);
}

// ---- Binding -----------------------------------------------------------------

TFilterNodePtr TFilterParser::Bind(TOperand left, TFilterOp op, const TToken& opToken,
                                   TOperand right) {
    // A quoted text names a field where a field is expected: on the left, or
    // on the right of a value.
    if (left.Kind == TOperand::kText && left.FieldNo >= 0) left.Kind = TOperand::kField;
    if (left.Kind != TOperand::kField && right.Kind == TOperand::kText && right.FieldNo >= 0)
        right.Kind = TOperand::kField;
    CheckField(left);
    CheckField(right);
    if (left.Kind != TOperand::kField && right.Kind == TOperand::kField) {
        std::swap(left, right);
        op = Flip(op);
    }
    if (left.Kind == TOperand::kWord) FailUnknownField(left);
    if (left.Kind != TOperand::kField) {
        if (right.Kind == TOperand::kWord) FailUnknownField(right);
        Fail("a condition needs a field, and " + left.Raw + " is not a field name", left.Pos);
    }
    if (right.Kind == TOperand::kField) return BindFields(left, op, right);
    if (right.Kind == TOperand::kNull) {
        if (op != TFilterOp::Eq && op != TFilterOp::Ne)
            Fail("NULL can only be compared with = or <>", opToken.Pos);
        return MakeNullTest(SlotOf(left.FieldNo), op == TFilterOp::Eq);
    }
    return BindLiteral(left, op, right);
}

TFilterNodePtr TFilterParser::BindLiteral(const TOperand& field, TFilterOp op,
                                          const TOperand& value) {
    const TField& f = fDataSet.Fields(field.FieldNo);
    const TFieldType type = f.DataType();
    const bool ado = fDialect == TFilterDialect::ADO;
    const int slot = SlotOf(field.FieldNo);
    const std::string forField = " for the field '" + f.FieldName() + "'";
    switch (CategoryOf(type)) {
    case TCategory::Text: {
        std::string literal;
        switch (value.Kind) {
        case TOperand::kText:
            literal = value.Text;
            break;
        case TOperand::kNumber:
            literal = value.Raw;
            break; // as written: 00123 stays 00123
        case TOperand::kWord:
            FailUnknownField(value);
        default:
            Fail("expected a text in quotes" + forField, value.Pos);
        }
        if (!ado && (op == TFilterOp::Eq || op == TFilterOp::Ne) &&
            literal.find('*') != std::string::npos)
            return MakeWildcardMatch(slot, literal, TWildcardSyntax::Star, false,
                                     op == TFilterOp::Ne);
        return MakeTextCompare(slot, op, std::move(literal), ado, !ado);
    }
    case TCategory::Number: {
        double v = 0;
        switch (value.Kind) {
        case TOperand::kNumber:
            v = value.Number;
            break;
        case TOperand::kText:
            if (!TryStrToFloat(value.Text, v, fFormat) &&
                !TryStrToFloat(value.Text, v, TFormatSettings::Classic()))
                Fail("'" + value.Text + "' is not a number" + forField, value.Pos);
            break;
        case TOperand::kWord:
            FailUnknownField(value);
        default:
            Fail("expected a number" + forField, value.Pos);
        }
        const bool integerField = type == ftSmallint || type == ftInteger || type == ftWord ||
                                  type == ftAutoInc || type == ftLargeint;
        if (integerField && value.Kind == TOperand::kNumber && value.IsInt)
            return MakeIntegerCompare(slot, op, value.Int);
        int digits = 0;
        if (type == ftFloat || type == ftCurrency || type == ftBCD) {
            auto* ff = dynamic_cast<const TFloatField*>(&f);
            digits = ff ? ff->Precision() : 15;
        }
        return MakeNumberCompare(slot, op, v, digits);
    }
    case TCategory::Boolean: {
        bool b = false;
        bool ok = false;
        if (value.Kind == TOperand::kNumber)
            ok = value.Number == 0 || value.Number == 1, b = value.Number == 1;
        else if (value.Kind == TOperand::kText || value.Kind == TOperand::kWord)
            ok = BoolWord(value.Text, b);
        if (!ok) {
            if (value.Kind == TOperand::kWord)
                Fail("'" + value.Text + "' is neither a field name nor a boolean value", value.Pos);
            Fail(value.Raw + " is not a boolean value" + forField, value.Pos);
        }
        return MakeBoolCompare(slot, op, b);
    }
    case TCategory::DateTime: {
        int64_t key = 0, unit = 1;
        if (value.Kind == TOperand::kText || value.Kind == TOperand::kDate) {
            // #...# dates are written month first, whatever the locale.
            const TFormatSettings us = TFormatSettings::Classic();
            const TFormatSettings& fs = value.Kind == TOperand::kDate ? us : fFormat;
            if (!ParseDateLiteral(value.Text, type, fs, key, unit))
                Fail("'" + value.Text + "' is not a valid " + DateWord(type) + forField, value.Pos);
            return MakeDateCompare(slot, op, key, unit);
        }
        if (value.Kind == TOperand::kWord) FailUnknownField(value);
        Fail(std::string("expected a ") + DateWord(type) + " in quotes" + forField, value.Pos);
    }
    case TCategory::Other:
        break;
    }
    Fail("the field '" + f.FieldName() + "' of type " + GetFieldTypeName(type) +
             " cannot be compared",
         field.Pos);
}

TFilterNodePtr TFilterParser::BindFields(const TOperand& a, TFilterOp op, const TOperand& b) {
    TFieldType ta = fDataSet.Fields(a.FieldNo).DataType();
    TFieldType tb = fDataSet.Fields(b.FieldNo).DataType();
    TCategory ca = CategoryOf(ta), cb = CategoryOf(tb);
    if (ca != cb || ca == TCategory::Other)
        Fail("the fields '" + a.Text + "' (" + GetFieldTypeName(ta) + ") and '" + b.Text + "' (" +
                 GetFieldTypeName(tb) + ") cannot be compared",
             b.Pos);
    TFieldCompareKind kind = ca == TCategory::Text      ? TFieldCompareKind::Text
                             : ca == TCategory::Number  ? TFieldCompareKind::Number
                             : ca == TCategory::Boolean ? TFieldCompareKind::Boolean
                                                        : TFieldCompareKind::DateTime;
    return MakeFieldCompare(SlotOf(a.FieldNo), SlotOf(b.FieldNo), op, kind,
                            fDialect == TFilterDialect::ADO);
}

int TFilterParser::SlotOf(int fieldNo) {
    for (size_t i = 0; i < fSlotFields.size(); ++i)
        if (fSlotFields[i] == fieldNo) return static_cast<int>(i);
    fSlotFields.push_back(fieldNo);
    return static_cast<int>(fSlotFields.size() - 1);
}

// Names match without regard to letter case; of fields whose names differ
// only in case, the one spelt exactly as written is meant.
int TFilterParser::FindField(const std::string& name, bool& ambiguous) const {
    int first = -1, exact = -1, matches = 0, exactMatches = 0;
    for (int i = 0; i < fDataSet.FieldCount(); ++i) {
        const TField& f = fDataSet.Fields(i);
        if (!SameText(f.FieldName(), name)) continue;
        if (matches++ == 0) first = f.FieldNo();
        if (f.FieldName() == name && exactMatches++ == 0) exact = f.FieldNo();
    }
    ambiguous = matches > 1 && exactMatches != 1;
    return exactMatches == 1 ? exact : first;
}

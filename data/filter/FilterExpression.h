#pragma once

#include "data/base/Value.h"
#include "data/dataset/DataSet.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A compiled filter expression, shared by both filter dialects: a tree of
// tests over the values of the fields it reads. Each record's values are
// decoded once per referenced field into slots, then the tree runs over the
// slots, so a test never asks the table twice for the same value.

enum class TFilterOp : uint8_t { Eq, Ne, Lt, Gt, Le, Ge };

// The values of one record, by slot.
using TFilterValues = std::vector<TValue>;

class TFilterNode {
public:
    virtual ~TFilterNode() = default;
    virtual bool Eval(const TFilterValues& values) const = 0;
};

using TFilterNodePtr = std::unique_ptr<TFilterNode>;

// Which characters of a pattern are wildcards.
enum class TWildcardSyntax : uint8_t {
    Star, // '*' any run of characters
    Like, // '*' and '%' any run, '?' and '_' one character
};

// Tests. A null value passes none of the comparisons; only the null tests
// look for it.
// All of / any of the tests; flat, so a long chain costs no recursion.
TFilterNodePtr MakeAndNode(std::vector<TFilterNodePtr> parts);
TFilterNodePtr MakeOrNode(std::vector<TFilterNodePtr> parts);
TFilterNodePtr MakeNotNode(TFilterNodePtr a);
TFilterNodePtr MakeNullTest(int slot, bool wantNull);
// Text against a literal, by bytes or by Unicode case folds; `emptyIsNull` lets "= ''" find null
// values too (and "<> ''" exclude them).
TFilterNodePtr MakeTextCompare(int slot, TFilterOp op, std::string literal, bool caseInsensitive,
                               bool emptyIsNull);
TFilterNodePtr MakeWildcardMatch(int slot, const std::string& pattern, TWildcardSyntax syntax,
                                 bool caseInsensitive, bool negate);
// A number against a literal. With `digits` > 0 the values are compared as
// shown with that many significant digits, so the text a float field shows
// finds its record although the stored double has more digits.
TFilterNodePtr MakeNumberCompare(int slot, TFilterOp op, double literal, int digits);
// An integer literal, exact over the whole 64-bit range (a double holds
// integers exactly only up to 2^53).
TFilterNodePtr MakeIntegerCompare(int slot, TFilterOp op, int64_t literal);
// Date-time keys (DateTimeKey) compared in whole units of `unitMs`: a
// literal without time finds every time of its day.
TFilterNodePtr MakeDateCompare(int slot, TFilterOp op, int64_t literalKey, int64_t unitMs);
TFilterNodePtr MakeBoolCompare(int slot, TFilterOp op, bool literal);

// What two fields compared with each other hold.
enum class TFieldCompareKind : uint8_t { Text, Number, DateTime, Boolean };
TFilterNodePtr MakeFieldCompare(int slotA, int slotB, TFilterOp op, TFieldCompareKind kind,
                                bool caseInsensitive);

// Matches a text against a pattern; one '?' or '_' is one UTF-8 character.
// Ignoring case, text and pattern compare by their Unicode case folds, and a
// '?' still stands for one character of the text as stored (ß, folded to ss).
bool WildcardMatch(std::string_view text, std::string_view pattern, TWildcardSyntax syntax,
                   bool caseInsensitive);

// The compiled expression: which fields go into which slots, and the tree.
class TFilterExpression : public TRecordFilter {
public:
    TFilterExpression(TFilterNodePtr root, std::vector<int> fieldNos);
    // Reads the record under test through the dataset's fields.
    bool Accept(TDataSet& dataSet) override;
    // Evaluates over values given by slot (for tests and callers with values).
    bool Eval(const TFilterValues& values) const { return fRoot->Eval(values); }
    const std::vector<int>& FieldNos() const { return fFieldNos; }

private:
    TFilterNodePtr fRoot;
    std::vector<int> fFieldNos;
    TFilterValues fValues;
};

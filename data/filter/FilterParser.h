#pragma once

#include "data/filter/FilterExpression.h"
#include "data/locale/FormatSettings.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TDataSet;

// The two filter syntaxes (docs/filters.md): the index-ordered kind of
// TTable and the connection-string kind of TADOTable.
enum class TFilterDialect : uint8_t { Table, ADO };

// Compiles a filter text against a dataset's fields, by recursive descent.
// Field names bind when the text is compiled, and each literal is converted
// to its field's kind then (a date for a date field, a number for a number
// field), so a record costs no parsing. An invalid text raises
// EDatabaseError saying what is wrong and at which position (1-based, in
// bytes).
class TFilterParser {
public:
    TFilterParser(TFilterDialect dialect, const TDataSet& dataSet,
                  const TFormatSettings& fs = FormatSettings());
    std::unique_ptr<TFilterExpression> Parse(std::string_view text);

    // One piece of the text.
    enum class TTokenKind : uint8_t {
        End,
        Word,     // a bare name or keyword
        Name,     // [name] or "name": always a field name
        String,   // 'text'
        Number,   // 12, 1.5, 1,5 where the decimal separator is a comma, 1E5
        Date,     // #...# (connection-string kind)
        Operator, // = <> < > <= >=
        Sign,     // + or - before a number
        LeftParen,
        RightParen,
    };
    struct TToken {
        TTokenKind Kind = TTokenKind::End;
        std::string Text; // decoded: quotes and brackets removed
        std::string Raw;  // as written
        size_t Pos = 0;   // 1-based
    };

private:
    struct TOperand;
    void Tokenize();
    void ReadString(size_t& i, TToken& t);
    bool ClosesString(size_t after) const;
    const TToken& Peek(size_t ahead = 0) const;
    bool PeekWord(const char* word, size_t ahead = 0) const;
    [[noreturn]] void Fail(const std::string& what, size_t pos) const;
    [[noreturn]] void FailUnknownField(const TOperand& word) const;
    void CheckField(const TOperand& field) const;
    TFilterNodePtr ParseOr();
    TFilterNodePtr ParseAnd();
    TFilterNodePtr ParseNot();
    TFilterNodePtr ParsePrimary();
    TFilterNodePtr ParseComparison();
    bool ParseOperand(TOperand& out);
    TFilterNodePtr Bind(TOperand left, TFilterOp op, const TToken& opToken, TOperand right);
    TFilterNodePtr BindLiteral(const TOperand& field, TFilterOp op, const TOperand& value);
    TFilterNodePtr BindFields(const TOperand& a, TFilterOp op, const TOperand& b);
    int SlotOf(int fieldNo);
    int FindField(const std::string& name, bool& ambiguous) const;

    TFilterDialect fDialect;
    const TDataSet& fDataSet;
    const TFormatSettings& fFormat;
    std::string_view fText;
    std::vector<TToken> fTokens;
    size_t fNext = 0;
    // Parentheses nest by recursion; deeper texts are refused, not followed.
    static constexpr int MaxDepth = 200;
    int fDepth = 0;
    std::vector<int> fSlotFields;
};

#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

class TDatePlan;

// One cell of a record that a reader ahead (TReadAhead) has the storage
// show, all cells of a record in one call: how the cell's field shows its
// values, where the storage can show them the same way without the field,
// and where the text went.
struct TAheadCell {
    // Asked, once for the walk (TField::DescribeAhead). The plan holds while
    // the reader runs: a change of a field's display settings stops it.
    int FieldNo = 0;
    enum TShow : uint8_t {
        shNone,    // only the field can show it
        shText,    // a text value as it is
        shInteger, // plain digits as they are (AppendPlainInteger)
        shDecimal, // plain digits at Precision (AppendPlainDecimal)
        shDate,    // YYYYMMDD in the short date format (AppendFormatDate)
        shBoolean, // TrueText or FalseText
    };
    TShow Show = shNone;
    int Precision = 15;
    std::string_view TrueText, FalseText;
    // For shDate, when the short date format could be made ready once.
    std::shared_ptr<const TDatePlan> DatePlan;

    // Given, record by record: where its text is in the texts, and whether
    // the value was null or a boolean (what a view asks of a boolean cell).
    enum TKind : uint8_t { kOther, kNull, kFalse, kTrue };
    uint32_t TextBegin = 0;
    uint32_t TextEnd = 0;
    TKind Kind = kOther;
};

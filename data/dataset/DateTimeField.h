#pragma once

#include "data/dataset/Field.h"

// Dates, times and both, shown in the locale's formats unless the field
// has a display format of its own.
class TDateTimeField : public TField {
public:
    using TField::TField;
    // A date as YYYYMMDD, shown in the short date format.
    bool AppendDisplayOfDigits(std::string_view digits, std::string& out) const override;
    void DescribeAhead(TAheadCell& cell) const override;

protected:
    void FormatValue(const TValue& v, std::string& out, bool display) const override;
    void ParseText(std::string_view text, TValue& out) const override;
    int DefaultDisplayWidth() const override;
};

#pragma once

#include "data/dataset/Field.h"

// True or false, shown with the two display values.
class TBooleanField : public TField {
public:
    using TField::TField;
    bool IsBoolean() const override { return true; }
    // The two texts separated by ';', true first.
    void SetDisplayValues(const std::string& values);
    void DescribeAhead(TAheadCell& cell) const override;

protected:
    void FormatValue(const TValue& v, std::string& out, bool display) const override;
    void ParseText(std::string_view text, TValue& out) const override;
    int DefaultDisplayWidth() const override;

private:
    std::string fTrueText = "True";
    std::string fFalseText = "False";
};

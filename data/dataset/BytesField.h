#pragma once

#include "data/dataset/Field.h"

// Fixed and variable runs of bytes, shown as hexadecimal digits: the raw
// bytes are rarely text and would garble a document.
class TBytesField : public TField {
public:
    using TField::TField;

protected:
    void FormatValue(const TValue& v, std::string& out, bool display) const override;
    void ParseText(std::string_view text, TValue& out) const override;
    int DefaultDisplayWidth() const override { return Size() > 0 ? Size() * 2 : 10; }
};

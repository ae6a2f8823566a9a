#include "data/dataset/NumericField.h"

#include "data/base/DatabaseError.h"
#include "data/locale/NumberFormat.h"

#include <cmath>
#include <limits>

TNumericField::TNumericField(TDataSet& dataSet, int fieldNo, std::string fieldName,
                             TFieldType dataType, int size)
    : TField(dataSet, fieldNo, std::move(fieldName), dataType, size) {
    SetAlignment(taRightJustify);
}

TIntegerField::TIntegerField(TDataSet& dataSet, int fieldNo, std::string fieldName,
                             TFieldType dataType, int size)
    : TNumericField(dataSet, fieldNo, std::move(fieldName), dataType, size) {
    switch (dataType) {
    case ftSmallint:
        fMin = INT16_MIN, fMax = INT16_MAX;
        break;
    case ftWord:
        fMin = 0, fMax = UINT16_MAX;
        break;
    case ftLargeint:
        fMin = std::numeric_limits<int64_t>::min();
        fMax = std::numeric_limits<int64_t>::max();
        break;
    default:
        fMin = INT32_MIN, fMax = INT32_MAX;
        break;
    }
}

void TIntegerField::FormatValue(const TValue& v, std::string& out, bool display) const {
    int64_t n;
    if (v.Kind == TValueKind::Integer)
        n = v.Int;
    else if (v.Kind == TValueKind::Float && std::isfinite(v.Float))
        n = static_cast<int64_t>(std::llround(v.Float));
    else
        return TField::FormatValue(v, out, display);
    if (display && !DisplayFormat().empty())
        out += FormatFloat(DisplayFormat(), static_cast<double>(n));
    else
        AppendInt(out, n);
}

bool TIntegerField::AppendDisplayOfDigits(std::string_view digits, std::string& out) const {
    return DisplayFormat().empty() && AppendPlainInteger(out, digits);
}

// As AppendDisplayOfDigits.
void TIntegerField::DescribeAhead(TAheadCell& cell) const {
    cell.Show = DisplayFormat().empty() ? TAheadCell::shInteger : TAheadCell::shNone;
}

void TIntegerField::ParseText(std::string_view text, TValue& out) const {
    int64_t n;
    if (!TryStrToInt64(text, n))
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    if (n < fMin || n > fMax)
        throw EDatabaseError(std::to_string(n) + " is not a valid value for field '" + FieldName() +
                             "'. The allowed range is " + std::to_string(fMin) + " to " +
                             std::to_string(fMax));
    out.SetInt(n);
}

int TIntegerField::DefaultDisplayWidth() const {
    switch (DataType()) {
    case ftSmallint:
        return 6;
    case ftWord:
        return 5;
    case ftLargeint:
        return 15;
    default:
        return 11;
    }
}

TFloatField::TFloatField(TDataSet& dataSet, int fieldNo, std::string fieldName, TFieldType dataType,
                         int size)
    : TNumericField(dataSet, fieldNo, std::move(fieldName), dataType, size),
      fCurrency(dataType == ftCurrency) {}

void TFloatField::FormatValue(const TValue& v, std::string& out, bool display) const {
    double d;
    if (v.Kind == TValueKind::Float)
        d = v.Float;
    else if (v.Kind == TValueKind::Integer)
        d = static_cast<double>(v.Int);
    else
        return TField::FormatValue(v, out, display);
    if (display && !DisplayFormat().empty())
        out += FormatFloat(DisplayFormat(), d);
    else if (display && fCurrency)
        AppendCurrency(out, d);
    else
        AppendFloat(out, d, fPrecision);
}

bool TFloatField::AppendDisplayOfDigits(std::string_view digits, std::string& out) const {
    return DisplayFormat().empty() && !fCurrency && AppendPlainDecimal(out, digits, fPrecision);
}

// As AppendDisplayOfDigits.
void TFloatField::DescribeAhead(TAheadCell& cell) const {
    cell.Show = DisplayFormat().empty() && !fCurrency ? TAheadCell::shDecimal : TAheadCell::shNone;
    cell.Precision = fPrecision;
}

void TFloatField::ParseText(std::string_view text, TValue& out) const {
    double d;
    if (!TryStrToFloat(text, d))
        throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
    out.SetFloat(d);
}

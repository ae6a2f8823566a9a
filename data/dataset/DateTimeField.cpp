#include "data/dataset/DateTimeField.h"

#include "data/base/DatabaseError.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/FormatSettings.h"

void TDateTimeField::FormatValue(const TValue& v, std::string& out, bool display) const {
    if (v.Kind != TValueKind::DateTime && v.Kind != TValueKind::Float)
        return TField::FormatValue(v, out, display);
    const TFormatSettings& fs = FormatSettings();
    if (display && !DisplayFormat().empty()) {
        AppendFormatDateTime(out, DisplayFormat(), v.Float, fs);
        return;
    }
    switch (DataType()) {
    case ftDate:
        AppendFormatDateTime(out, fs.ShortDateFormat, v.Float, fs);
        break;
    case ftTime:
        AppendFormatDateTime(out, fs.LongTimeFormat, v.Float, fs);
        break;
    default:
        out += DateTimeToStr(v.Float, fs);
        break;
    }
}

bool TDateTimeField::AppendDisplayOfDigits(std::string_view digits, std::string& out) const {
    if (DataType() != ftDate || !DisplayFormat().empty() || digits.size() != 8) return false;
    int part[8];
    for (size_t i = 0; i < 8; ++i) {
        if (digits[i] < '0' || digits[i] > '9') return false;
        part[i] = digits[i] - '0';
    }
    const int year = part[0] * 1000 + part[1] * 100 + part[2] * 10 + part[3];
    const TFormatSettings& fs = FormatSettings();
    return AppendFormatDate(out, fs.ShortDateFormat, year, part[4] * 10 + part[5],
                            part[6] * 10 + part[7], fs);
}

// As AppendDisplayOfDigits.
void TDateTimeField::DescribeAhead(TAheadCell& cell) const {
    cell.Show =
        DataType() == ftDate && DisplayFormat().empty() ? TAheadCell::shDate : TAheadCell::shNone;
    if (cell.Show != TAheadCell::shDate) return;
    // The reader stops before the settings change: the pattern holds while it runs.
    auto plan = std::make_shared<const TDatePlan>(FormatSettings().ShortDateFormat);
    if (plan->Ready()) cell.DatePlan = std::move(plan);
}

void TDateTimeField::ParseText(std::string_view text, TValue& out) const {
    double d = 0;
    bool ok;
    switch (DataType()) {
    case ftDate:
        ok = TryStrToDate(text, d);
        break;
    case ftTime:
        ok = TryStrToTime(text, d);
        break;
    default:
        ok = TryStrToDateTime(text, d);
        break;
    }
    if (!ok)
        throw EConvertError("'" + std::string(text) + "' is not a valid " +
                            (DataType() == ftDate   ? "date"
                             : DataType() == ftTime ? "time"
                                                    : "date and time"));
    out.SetDateTime(d);
}

int TDateTimeField::DefaultDisplayWidth() const {
    switch (DataType()) {
    case ftDate:
    case ftTime:
        return 10;
    default:
        return 18;
    }
}

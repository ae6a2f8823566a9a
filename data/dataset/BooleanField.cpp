#include "data/dataset/BooleanField.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"

void TBooleanField::SetDisplayValues(const std::string& values) {
    DisplayChanging();
    size_t p = values.find(';');
    fTrueText = values.substr(0, p);
    fFalseText = p == std::string::npos ? std::string() : values.substr(p + 1);
}

void TBooleanField::FormatValue(const TValue& v, std::string& out, bool display) const {
    (void)display;
    bool b;
    if (v.Kind == TValueKind::Boolean)
        b = v.Bool;
    else if (v.Kind == TValueKind::Integer)
        b = v.Int != 0;
    else
        return TField::FormatValue(v, out, display);
    out += b ? fTrueText : fFalseText;
}

// As FormatValue of a boolean.
void TBooleanField::DescribeAhead(TAheadCell& cell) const {
    cell.Show = TAheadCell::shBoolean;
    cell.TrueText = fTrueText;
    cell.FalseText = fFalseText;
}

void TBooleanField::ParseText(std::string_view text, TValue& out) const {
    std::string_view t = Trim(text);
    if (SameText(t, fTrueText) || SameText(t, "true") || SameText(t, "t") || SameText(t, "y") ||
        SameText(t, "yes") || t == "1") {
        out.SetBool(true);
        return;
    }
    if ((!fFalseText.empty() && SameText(t, fFalseText)) || SameText(t, "false") ||
        SameText(t, "f") || SameText(t, "n") || SameText(t, "no") || t == "0") {
        out.SetBool(false);
        return;
    }
    throw EConvertError("'" + std::string(text) + "' is not a valid boolean value for field '" +
                        FieldName() + "'");
}

int TBooleanField::DefaultDisplayWidth() const {
    size_t n = fTrueText.size() > fFalseText.size() ? fTrueText.size() : fFalseText.size();
    return static_cast<int>(n);
}

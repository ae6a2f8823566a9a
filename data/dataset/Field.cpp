#include "data/dataset/Field.h"

#include "data/base/DatabaseError.h"
#include "data/dataset/DataSet.h"
#include "data/locale/DateTimeFormat.h"
#include "data/locale/NumberFormat.h"

TField::TField(TDataSet& dataSet, int fieldNo, std::string fieldName, TFieldType dataType, int size)
    : fDataSet(dataSet), fFieldNo(fieldNo), fFieldName(std::move(fieldName)), fDataType(dataType),
      fSize(size) {}

bool TField::IsNull() const {
    return fDataSet.FieldIsNull(fFieldNo);
}

void TField::GetData(TValue& out) const {
    fDataSet.GetFieldValue(fFieldNo, out);
}

void TField::GetAsString(std::string& out) const {
    out.clear();
    fDataSet.GetFieldValue(fFieldNo, fScratch);
    if (fTextAsIs && fScratch.Kind == TValueKind::Text) {
        out.swap(fScratch.Text);
        return;
    }
    if (!fScratch.IsNull()) FormatValue(fScratch, out, false);
}

std::string TField::AsString() const {
    std::string s;
    GetAsString(s);
    return s;
}

void TField::GetDisplayText(std::string& out) const {
    out.clear();
    if (OnGetText) {
        OnGetText(const_cast<TField&>(*this), out, true);
        return;
    }
    if (fShowsPresence) {
        // A BLOB shows its kind and whether a value is there, which the
        // storage tells without reading the value (large, or unreadable).
        if (fDataSet.FieldIsNull(fFieldNo))
            fScratch.SetNull();
        else
            fScratch.SetBytes(std::string_view());
        FormatValue(fScratch, out, true);
        return;
    }
    fDataSet.GetFieldValue(fFieldNo, fScratch);
    if (fTextAsIs && fScratch.Kind == TValueKind::Text)
        out.swap(fScratch.Text); // the scratch keeps out's buffer for the next read
    else
        AppendDisplayText(fScratch, out);
}

void TField::AppendDisplayText(const TValue& value, std::string& out) const {
    if (fTextAsIs && value.Kind == TValueKind::Text)
        out += value.Text;
    else if (!value.IsNull() || IsBlob())
        FormatValue(value, out, true);
}

void TField::DisplayChanging() const {
    fDataSet.HaltReadAhead();
}

void TField::SetDisplayFormat(std::string v) {
    DisplayChanging();
    fDisplayFormat = std::move(v);
}

std::string TField::DisplayText() const {
    std::string s;
    GetDisplayText(s);
    return s;
}

std::string TField::EditText() const {
    std::string s;
    if (OnGetText) {
        OnGetText(const_cast<TField&>(*this), s, false);
        return s;
    }
    GetAsString(s);
    return s;
}

void TField::RaiseConvert(const char* target) const {
    throw EDatabaseError("Field '" + fFieldName + "' cannot be read as " + target);
}

bool TField::AsBoolean() const {
    GetData(fScratch);
    switch (fScratch.Kind) {
    case TValueKind::Null:
        return false;
    case TValueKind::Boolean:
        return fScratch.Bool;
    case TValueKind::Integer:
        return fScratch.Int != 0;
    case TValueKind::Float:
        return fScratch.Float != 0;
    default:
        RaiseConvert("a boolean");
    }
}

int64_t TField::AsLargeInt() const {
    GetData(fScratch);
    switch (fScratch.Kind) {
    case TValueKind::Null:
        return 0;
    case TValueKind::Integer:
        return fScratch.Int;
    case TValueKind::Boolean:
        return fScratch.Bool ? 1 : 0;
    case TValueKind::Float:
    case TValueKind::DateTime:
        if (fScratch.Float >= -9.2e18 && fScratch.Float <= 9.2e18)
            return static_cast<int64_t>(fScratch.Float < 0 ? fScratch.Float - 0.5
                                                           : fScratch.Float + 0.5);
        RaiseConvert("an integer");
    case TValueKind::Text: {
        int64_t v;
        if (TryStrToInt64(fScratch.Text, v)) return v;
        throw EConvertError("'" + fScratch.Text + "' is not a valid integer value");
    }
    case TValueKind::Bytes:
        RaiseConvert("an integer");
    }
    RaiseConvert("an integer");
}

int32_t TField::AsInteger() const {
    int64_t v = AsLargeInt();
    if (v < INT32_MIN || v > INT32_MAX)
        throw EDatabaseError("Value of field '" + fFieldName + "' is out of the integer range");
    return static_cast<int32_t>(v);
}

double TField::AsFloat() const {
    GetData(fScratch);
    switch (fScratch.Kind) {
    case TValueKind::Null:
        return 0;
    case TValueKind::Integer:
        return static_cast<double>(fScratch.Int);
    case TValueKind::Boolean:
        return fScratch.Bool ? 1 : 0;
    case TValueKind::Float:
    case TValueKind::DateTime:
        return fScratch.Float;
    case TValueKind::Text: {
        double v;
        if (TryStrToFloat(fScratch.Text, v)) return v;
        throw EConvertError("'" + fScratch.Text + "' is not a valid floating point value");
    }
    case TValueKind::Bytes:
        RaiseConvert("a number");
    }
    RaiseConvert("a number");
}

double TField::AsDateTime() const {
    GetData(fScratch);
    switch (fScratch.Kind) {
    case TValueKind::Null:
        return 0;
    case TValueKind::Float:
    case TValueKind::DateTime:
        return fScratch.Float;
    case TValueKind::Integer:
        return static_cast<double>(fScratch.Int);
    case TValueKind::Text:
        return StrToDateTime(fScratch.Text);
    default:
        RaiseConvert("a date");
    }
}

void TField::SetData(const TValue& v) {
    fDataSet.SetFieldValue(*this, v);
}

void TField::SetAsString(std::string_view v) {
    TValue value;
    if (v.empty() && !IsBlob() && fDataType != ftString && fDataType != ftFixedChar &&
        fDataType != ftWideString)
        value.SetNull();
    else
        ParseText(v, value);
    SetData(value);
}

void TField::SetAsBoolean(bool v) {
    SetData(TValue::OfBool(v));
}
void TField::SetAsInteger(int64_t v) {
    SetData(TValue::OfInt(v));
}
void TField::SetAsFloat(double v) {
    SetData(TValue::OfFloat(v));
}
void TField::SetAsDateTime(double v) {
    SetData(TValue::OfDateTime(v));
}
void TField::Clear() {
    SetData(TValue());
}

void TField::FormatValue(const TValue& v, std::string& out, bool display) const {
    (void)display;
    switch (v.Kind) {
    case TValueKind::Null:
        break;
    case TValueKind::Integer:
        AppendInt(out, v.Int);
        break;
    case TValueKind::Float:
        AppendFloat(out, v.Float);
        break;
    case TValueKind::Boolean:
        out += v.Bool ? "True" : "False";
        break;
    case TValueKind::DateTime:
        out += DateTimeToStr(v.Float);
        break;
    case TValueKind::Text:
    case TValueKind::Bytes:
        out += v.Text;
        break;
    }
}

void TField::ParseText(std::string_view text, TValue& out) const {
    out.SetText(text);
}

int TField::DefaultDisplayWidth() const {
    return 10;
}

#include "data/dataset/BlobField.h"

#include "data/base/FieldTypeName.h"
#include "data/base/TextUtils.h"

void TBlobField::FormatValue(const TValue& v, std::string& out, bool display) const {
    if (!display) {
        if (!v.IsNull()) out += v.Text;
        return;
    }
    std::string name = GetFieldTypeName(DataType());
    out += '(';
    out += v.IsNull() ? name : UpperCase(name);
    out += ')';
}

void TBlobField::ParseText(std::string_view text, TValue& out) const {
    out.SetBytes(text);
}

void TMemoField::ParseText(std::string_view text, TValue& out) const {
    out.SetText(text);
}

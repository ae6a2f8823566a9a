#include "data/base/FieldTypeName.h"

#include "data/base/FieldType.h"

namespace {
const char* const FieldTypeNames[FieldTypeCount] = {
    "Unknown",     "String",  "SmallInt",  "Integer",    "Word",     "Boolean",        "Float",
    "Currency",    "BCD",     "Date",      "Time",       "DateTime", "Bytes",          "VarBytes",
    "AutoInc",     "Blob",    "Memo",      "Graphic",    "FmtMemo",  "ParadoxOle",     "DBaseOle",
    "TypedBinary", "Unknown", "FixedChar", "WideString", "LargeInt", "ADT (abstract)", "Array",
    "Reference",   "DataSet", "OraBlob",   "OraClob",    "Variant",  "Interface",      "IDispatch",
    "Guid",
};
} // namespace

std::string GetFieldTypeName(int fieldType) {
    int kind = fieldType & 0x7F;
    if (kind >= FieldTypeCount) return "Unknown";
    return FieldTypeNames[kind];
}

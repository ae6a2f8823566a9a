#include "data/TblUtils.h"

#include "data/Table.h"
#include "data/TextUtils.h"

#include <filesystem>

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

std::string GetSortFields(TTable& table) {
    if (!table.IndexFieldNames().empty()) return table.IndexFieldNames();
    const std::string indexName = table.IndexName();
    table.UpdateIndexDefs();
    const TIndexDefs& defs = table.IndexDefs();
    std::string ext = LowerCase(std::filesystem::path(table.TableName()).extension().string());
    if (indexName.empty() && ext == ".db" && defs.Count() > 0) return defs[0].Fields;
    int i = defs.IndexOf(indexName);
    return i >= 0 ? defs[i].Fields : indexName;
}

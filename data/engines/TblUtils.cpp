#include "data/engines/TblUtils.h"

#include "data/base/TextUtils.h"
#include "data/engines/Table.h"

#include <filesystem>

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

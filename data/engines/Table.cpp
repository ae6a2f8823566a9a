#include "data/engines/Table.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/drivers/TableDriverFactory.h"
#include "data/engines/BdeUtils.h"
#include "data/filter/FilterParser.h"

#include <filesystem>

namespace {
std::vector<std::string> FieldList(const std::string& fields) {
    std::vector<std::string> names;
    for (const std::string& part : SplitString(fields, ';')) {
        std::string_view n = Trim(part);
        if (!n.empty()) names.emplace_back(n);
    }
    return names;
}
} // namespace

TTable::~TTable() {
    try {
        Close();
    } catch (...) {
    }
}

void TTable::SetDatabaseName(const std::string& directory) {
    if (directory == fDatabaseName) return;
    CheckInactive();
    fDatabaseName = directory;
}

void TTable::SetReadOnly(bool v) {
    if (v == fReadOnly) return;
    CheckInactive();
    fReadOnly = v;
}

std::string TTable::TablePath() const {
    namespace fs = std::filesystem;
    fs::path path(RequiredTableName());
    if (!path.is_absolute() && !fDatabaseName.empty()) path = fs::path(fDatabaseName) / path;
    if (!path.has_extension()) {
        for (const char* ext : {".db", ".dbf", ".txt"}) {
            fs::path candidate = path;
            candidate += ext;
            std::error_code ec;
            if (fs::is_regular_file(candidate, ec)) return candidate.string();
        }
        path += ".db";
    }
    return path.string();
}

std::unique_ptr<TTableDriver> TTable::MakeDriver(const std::string& path) const {
    if (!BDELoaded()) InitializeBDE();
    if (!BDELoaded()) throw EDatabaseError("The table engine could not be initialized");
    TTableFormat format = TableFormatOfPath(path);
    if (format == TTableFormat::Unknown)
        throw EDatabaseError("Unknown table type: " +
                             std::filesystem::path(path).filename().string());
    return CreateTableDriver(format);
}

void TTable::InternalOpen() {
    TDriverDataSet::InternalOpen();
    // The dataset is not active yet: the keys are only stored, and the
    // first order is built once the fields exist.
    SetSortKeys(KeysFor(fIndexName, fIndexFieldNames));
}

bool TTable::InternalCanModify() const {
    return !fReadOnly && TDriverDataSet::InternalCanModify();
}

std::unique_ptr<TRecordFilter> TTable::CompileFilter(const std::string& text) {
    return TFilterParser(TFilterDialect::Table, *this).Parse(text);
}

std::vector<TSortKey> TTable::KeysOfIndex(const TIndexDef& def) const {
    const std::string shown = def.Name.empty() ? std::string("primary") : "'" + def.Name + "'";
    if (def.Options & ixExpression)
        throw EDatabaseError("Index " + shown + " orders by the expression '" + def.Fields +
                             "', which this engine cannot evaluate");
    std::vector<TSortKey> keys;
    for (const std::string& name : FieldList(def.Fields)) {
        int no = FieldDefs().IndexOf(name);
        if (no < 0)
            throw EDatabaseError("Index " + shown + " names the field '" + name +
                                 "', which the table does not have");
        TSortKey key;
        key.FieldNo = no;
        key.Descending = (def.Options & ixDescending) != 0;
        key.CaseInsensitive = (def.Options & ixCaseInsensitive) != 0;
        keys.push_back(key);
    }
    return keys;
}

const TIndexDef* TTable::IndexForFields(const std::string& fields) const {
    const std::vector<std::string> wanted = FieldList(fields);
    const TIndexDef* best = nullptr;
    size_t bestCount = 0;
    for (const TIndexDef& def : IndexDefs()) {
        if (def.Options & ixExpression) continue;
        std::vector<std::string> have = FieldList(def.Fields);
        if (have.size() < wanted.size()) continue;
        bool fits = true;
        for (size_t i = 0; i < wanted.size() && fits; ++i)
            fits = SameText(have[i], wanted[i]);
        if (!fits) continue;
        bool better = !best || have.size() < bestCount ||
                      (have.size() == bestCount && (best->Options & ixDescending) &&
                       !(def.Options & ixDescending));
        if (better) {
            best = &def;
            bestCount = have.size();
        }
    }
    return best;
}

std::vector<TSortKey> TTable::KeysFor(const std::string& indexName,
                                      const std::string& fields) const {
    if (!fields.empty()) {
        const TIndexDef* def = IndexForFields(fields);
        if (!def)
            throw EDatabaseError("No index for fields '" + fields + "' in table " + TableName());
        return KeysOfIndex(*def);
    }
    if (!indexName.empty()) {
        int i = IndexDefs().IndexOf(indexName);
        if (i < 0)
            throw EDatabaseError("Index '" + indexName + "' not found in table " + TableName());
        return KeysOfIndex(IndexDefs()[i]);
    }
    // No index chosen: the file's order, which for a keyed Paradox table is
    // its primary key's (the format keeps records in key order).
    return {};
}

void TTable::SetIndexName(const std::string& name) {
    if (name == fIndexName && fIndexFieldNames.empty()) return;
    if (Active()) SetSortKeys(KeysFor(name, std::string()));
    fIndexName = name;
    fIndexFieldNames.clear();
}

void TTable::SetIndexFieldNames(const std::string& fields) {
    std::string list(Trim(fields));
    if (list == fIndexFieldNames && (list.empty() || fIndexName.empty())) return;
    if (Active()) SetSortKeys(KeysFor(std::string(), list));
    fIndexFieldNames = std::move(list);
    fIndexName.clear();
}

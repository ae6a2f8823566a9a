#include "data/engines/ADOTable.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"
#include "data/filter/FilterParser.h"

#include <filesystem>

TADOTable::~TADOTable() {
    try {
        Close();
    } catch (...) {
    }
}

void TADOTable::SetConnectionString(const std::string& text) {
    if (text == fConnectionString) return;
    CheckInactive();
    fConnectionString = text;
}

std::string TADOTable::TablePath() const {
    const std::string& tableName = RequiredTableName();
    if (Trim(fConnectionString).empty()) throw EDatabaseError("The connection string is empty");
    TADOConnectionTarget target = TADOConnection::Resolve(fConnectionString);
    namespace fs = std::filesystem;
    fs::path name(tableName);
    if (name.is_absolute() || name.has_parent_path())
        throw EDatabaseError("The table name '" + tableName +
                             "' must name a file of the connection's directory");
    if (!name.has_extension())
        name += target.Format == TTableFormat::Dbase     ? ".dbf"
                : target.Format == TTableFormat::Paradox ? ".db"
                                                         : ".txt";
    const std::string file = name.string();
    bool fits = TableFormatOfPath(file) == target.Format;
    if (fits && target.Format == TTableFormat::Text) {
        std::string ext = LowerCase(name.extension().string().substr(1));
        fits = false;
        for (const std::string& e : target.Extensions)
            fits = fits || e == ext;
    }
    if (!fits)
        throw EDatabaseError("The driver " + target.DriverName + " does not open the file '" +
                             file + "'");
    return (fs::path(target.Directory) / name).string();
}

std::unique_ptr<TTableDriver> TADOTable::MakeDriver(const std::string& path) const {
    return CreateTableDriver(TableFormatOfPath(path));
}

void TADOTable::InternalOpen() {
    TDriverDataSet::InternalOpen();
    SetSortKeys(ParseSort(fSort));
}

std::unique_ptr<TRecordFilter> TADOTable::CompileFilter(const std::string& text) {
    return TFilterParser(TFilterDialect::ADO, *this).Parse(text);
}

std::vector<TSortKey> TADOTable::ParseSort(const std::string& text) const {
    std::vector<TSortKey> keys;
    if (Trim(text).empty()) return keys;
    for (const std::string& part : SplitString(text, ',')) {
        std::string_view item = Trim(part);
        TSortKey key;
        key.CaseInsensitive = true;
        // The direction is the last word, after at least one blank.
        size_t blank = item.find_last_of(" \t");
        if (blank != std::string_view::npos) {
            std::string_view word = item.substr(blank + 1);
            if (SameText(word, "DESC") || SameText(word, "ASC")) {
                key.Descending = SameText(word, "DESC");
                item = Trim(item.substr(0, blank));
            }
        }
        if (item.size() >= 2 && item.front() == '[' && item.back() == ']')
            item = item.substr(1, item.size() - 2);
        if (item.empty()) throw EDatabaseError("Sort: a field name is missing in '" + text + "'");
        // By the definitions: at opening the field objects do not exist yet.
        int no = FieldDefs().IndexOf(std::string(item));
        if (no < 0) throw EDatabaseError("Sort: unknown field '" + std::string(item) + "'");
        if (IsBlobType(FieldDefs()[no].DataType))
            throw EDatabaseError("Sort: the field '" + FieldDefs()[no].Name + "' cannot be sorted");
        key.FieldNo = no;
        keys.push_back(key);
    }
    return keys;
}

void TADOTable::SetSort(const std::string& text) {
    if (text == fSort) return;
    if (Active()) SetSortKeys(ParseSort(text));
    fSort = text;
}

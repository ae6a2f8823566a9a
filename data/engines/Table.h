#pragma once

#include "data/engines/DriverDataSet.h"

#include <string>
#include <vector>

// The index-ordered engine: a table file named by its directory
// (DatabaseName) and its file name (TableName), read through the driver of
// its extension (.dbf dBase, .db Paradox, .txt .csv .asc .tab delimited
// text, with or without a .sch schema). Its index definitions come from the
// table's own index files; it is ordered by one of them (IndexName or
// IndexFieldNames), else in the file's order (for a keyed Paradox table the
// order of its primary key, in which the format keeps its records). Filters use the index-ordered
// syntax (docs/filters.md).
class TTable : public TDriverDataSet {
public:
    TTable() : TDriverDataSet("Cannot perform this operation on an open dataset") {}
    ~TTable() override;
    std::string ClassName() const override { return "TTable"; }

    // Raise while the table is open.
    using TDriverDataSet::SetTableName; // surrounding blanks removed
    using TDriverDataSet::TableName;
    const std::string& DatabaseName() const { return fDatabaseName; }
    void SetDatabaseName(const std::string& directory);
    // Opened for reading only: no editing even when the file could be written.
    bool ReadOnly() const { return fReadOnly; }
    void SetReadOnly(bool v);

    // Files are served by the engine's own drivers, not by a database server.
    std::string DriverName() const { return "STANDARD"; }
    bool IsSQLBased() const { return false; }

    // Orders by the index of that name (case-sensitive); empty for the
    // default order. Raises when there is no such index or it orders by an
    // expression this engine cannot evaluate; the order is then unchanged.
    const std::string& IndexName() const { return fIndexName; }
    void SetIndexName(const std::string& name);
    // Orders by an index over these fields (names separated by ';'): the
    // first index whose fields start with them, compared without regard to
    // case, preferring the one with fewest fields and then an ascending one.
    // Raises when no index fits; the order is then unchanged. Setting one of
    // IndexName and IndexFieldNames clears the other.
    const std::string& IndexFieldNames() const { return fIndexFieldNames; }
    void SetIndexFieldNames(const std::string& fields);

    // Reads the index (and field) definitions from the files when the table
    // is closed; an open table keeps those read when it opened.
    void UpdateIndexDefs() override { ReadDefinitionsWhenClosed(); }

    // The file that opens: DatabaseName joined with TableName; a name
    // without extension finds NAME.db, NAME.dbf or NAME.txt in that order.
    std::string TablePath() const override;

protected:
    std::unique_ptr<TTableDriver> MakeDriver(const std::string& path) const override;
    void InternalOpen() override;
    bool InternalCanModify() const override;
    std::unique_ptr<TRecordFilter> CompileFilter(const std::string& text) override;

private:
    std::vector<TSortKey> KeysOfIndex(const TIndexDef& def) const;
    const TIndexDef* IndexForFields(const std::string& fields) const;
    std::vector<TSortKey> KeysFor(const std::string& indexName, const std::string& fields) const;

    std::string fDatabaseName;
    std::string fIndexName;
    std::string fIndexFieldNames;
    bool fReadOnly = false;
};

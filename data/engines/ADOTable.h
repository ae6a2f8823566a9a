#pragma once

#include "data/engines/ADOConnection.h"
#include "data/engines/DriverDataSet.h"

#include <string>
#include <vector>

// The connection-string engine's table: a file of the connection's
// directory (TableName, with extension), read by the driver that the
// connection string names. It sorts by any fields through Sort, needs no
// index for it, and filters in the connection-string syntax
// (docs/filters.md), comparing texts without regard to case.
class TADOTable : public TDriverDataSet {
public:
    TADOTable() : TDriverDataSet("Operation is not allowed when the object is open") {}
    ~TADOTable() override;
    std::string ClassName() const override { return "TADOTable"; }

    // Raise while the table is open.
    using TDriverDataSet::SetTableName; // surrounding blanks removed
    using TDriverDataSet::TableName;
    // The string as BuildADOConnection builds it, or as the connection
    // completed it.
    const std::string& ConnectionString() const { return fConnectionString; }
    void SetConnectionString(const std::string& text);

    // Field names separated by ",", each optionally followed by " DESC" (or
    // " ASC"); a name may stand in brackets. Applied at once when open, else
    // at the next open. Raises on an unknown field or one that cannot be
    // sorted (BLOBs); the order and the Sort text then stay as they were.
    const std::string& Sort() const { return fSort; }
    void SetSort(const std::string& text);

    // Index definitions of an open table are those read at its opening; a
    // closed table reads them from the files.
    void UpdateIndexDefs() override { ReadDefinitionsWhenClosed(); }

    // The file that opens; a name without extension gets the driver's
    // (.dbf, .db, .txt). Raises when the connection string does not resolve
    // or the driver does not read files of the name's extension.
    std::string TablePath() const override;

protected:
    std::unique_ptr<TTableDriver> MakeDriver(const std::string& path) const override;
    void InternalOpen() override;
    std::unique_ptr<TRecordFilter> CompileFilter(const std::string& text) override;

private:
    std::vector<TSortKey> ParseSort(const std::string& text) const;

    std::string fConnectionString;
    std::string fSort;
};

#pragma once

// An in-memory table driver for the engine tests, and the two engines over
// it. The "file" is a shared TTestTableData, so that a test can look at what
// an edit wrote and open the same table again to re-read it.

#include "data/base/DatabaseError.h"
#include "data/drivers/TableDriver.h"
#include "data/engines/ADOTable.h"
#include "data/engines/Table.h"
#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

struct TTestTableData {
    TFieldDefs Fields;
    TIndexDefs Indexes;
    std::vector<std::vector<TValue>> Records;
    std::vector<bool> Deleted;
    bool Writable = true;
    int Opens = 0;
    std::string LastPath;

    void Add(std::vector<TValue> values) {
        values.resize(static_cast<size_t>(Fields.Count()));
        Records.push_back(std::move(values));
        Deleted.push_back(false);
    }
};

class TTestDriver : public TTableDriver {
public:
    explicit TTestDriver(std::shared_ptr<TTestTableData> data) : fData(std::move(data)) {}
    std::string FormatName() const override { return "Test"; }
    void Open(const std::string& path, TFieldDefs& fields, TIndexDefs& indexes) override {
        ++fData->Opens;
        fData->LastPath = path;
        for (const TFieldDef& f : fData->Fields)
            fields.Add(f.Name, f.DataType, f.Size, f.Required) = f;
        for (const TIndexDef& i : fData->Indexes)
            indexes.Add(i.Name, i.Fields, i.Options);
    }
    void Close() override {}
    uint32_t RecordCount() const override { return static_cast<uint32_t>(fData->Records.size()); }
    bool RecordLive(uint32_t rec) const override { return !fData->Deleted.at(rec); }
    bool AllLive() const override {
        for (bool d : fData->Deleted)
            if (d) return false;
        return true;
    }
    void GetValue(uint32_t rec, int fieldNo, TValue& out) override {
        out = fData->Records.at(rec).at(static_cast<size_t>(fieldNo));
    }
    bool CanModify() const override { return fData->Writable; }
    uint32_t Post(int64_t rec, const std::vector<TValue>& values) override {
        if (rec < 0) {
            fData->Records.push_back(values);
            fData->Deleted.push_back(false);
            return static_cast<uint32_t>(fData->Records.size() - 1);
        }
        fData->Records.at(static_cast<size_t>(rec)) = values;
        return static_cast<uint32_t>(rec);
    }
    void Delete(uint32_t rec) override { fData->Deleted.at(rec) = true; }

private:
    std::shared_ptr<TTestTableData> fData;
};

class TTestTable : public TTable {
public:
    explicit TTestTable(std::shared_ptr<TTestTableData> data) : fData(std::move(data)) {
        SetDatabaseName("/data");
        SetTableName("orders.dbf");
    }
    ~TTestTable() override { Close(); }

protected:
    std::unique_ptr<TTableDriver> MakeDriver(const std::string&) const override {
        return std::make_unique<TTestDriver>(fData);
    }

private:
    std::shared_ptr<TTestTableData> fData;
};

class TTestADOTable : public TADOTable {
public:
    explicit TTestADOTable(std::shared_ptr<TTestTableData> data) : fData(std::move(data)) {
        SetConnectionString("Driver={Microsoft dBase Driver (*.dbf)};DriverID=277;DefaultDir=" +
                            std::filesystem::temp_directory_path().string() + ";");
        SetTableName("orders.dbf");
    }
    ~TTestADOTable() override { Close(); }

protected:
    std::unique_ptr<TTableDriver> MakeDriver(const std::string&) const override {
        return std::make_unique<TTestDriver>(fData);
    }

private:
    std::shared_ptr<TTestTableData> fData;
};

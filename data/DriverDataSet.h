#pragma once

#include "data/DataSet.h"
#include "data/TableDriver.h"

#include <memory>
#include <string>

// A dataset over one table file, read and written through its format's
// driver. The two engines derive from it and add how a table is named,
// ordered and filtered.
class TDriverDataSet : public TDataSet {
public:
    TDriverDataSet() = default;
    ~TDriverDataSet() override;

    TTableDriver* Driver() const { return fDriver.get(); }

protected:
    // The file to open and the driver that reads it; called by InternalOpen.
    virtual std::string TablePath() const = 0;
    virtual std::unique_ptr<TTableDriver> MakeDriver(const std::string& path) const = 0;

    void InternalOpen() override;
    void InternalClose() override;
    uint32_t InternalRecordCount() const override;
    bool InternalRecordLive(uint32_t rec) const override;
    bool InternalAllLive() const override;
    void InternalGetValue(uint32_t rec, int fieldNo, TValue& out) override;
    bool InternalReadsConcurrently(int fieldNo) const override;
    void InternalGetValueConcurrently(uint32_t rec, int fieldNo, TValue& out) const override;
    uint32_t InternalPost(int64_t rec, const std::vector<TValue>& values) override;
    void InternalDelete(uint32_t rec) override;
    void InternalRefresh() override;
    bool InternalCanModify() const override;

private:
    std::unique_ptr<TTableDriver> fDriver;
};

#pragma once

#include "data/dataset/DataSet.h"
#include "data/drivers/TableDriver.h"

#include <memory>
#include <string>
#include <utility>

// A dataset over one table file, read and written through its format's
// driver. The two engines derive from it and add how a table is named,
// ordered and filtered.
class TDriverDataSet : public TDataSet {
public:
    TDriverDataSet() = default;
    ~TDriverDataSet() override;

    TTableDriver* Driver() const { return fDriver.get(); }
    std::string TableFileNamedBy(const std::string& path) const override {
        return fDriver ? fDriver->FileNamedBy(path) : std::string();
    }
    const TTableWarnings* Warnings() const override {
        return fDriver ? &fDriver->Warnings() : nullptr;
    }

    // The code page the table's text is read and written in, whatever the
    // table names; 0 (the default): the table's own marks, or else its
    // bytes, decide. Raises while the table is open.
    int ForcedCodePage() const { return fForcedCodePage; }
    void SetForcedCodePage(int codePage);

protected:
    // An engine that names its table says in its own words why a change is
    // refused while the table is open.
    explicit TDriverDataSet(std::string openRefusal) : fOpenRefusal(std::move(openRefusal)) {}

    // The engines' table name; their headers make these public.
    const std::string& TableName() const { return fTableName; }
    void SetTableName(const std::string& name); // surrounding blanks removed
    // Raises the engine's refusal while the table is open.
    void CheckInactive() const;
    // The table name, raising when there is none.
    const std::string& RequiredTableName() const;
    // UpdateIndexDefs of an engine: a closed table reads its definitions from
    // the file; an open one keeps those read when it opened.
    void ReadDefinitionsWhenClosed();

    // The file to open and the driver that reads it; called by InternalOpen.
    virtual std::string TablePath() const = 0;
    virtual std::unique_ptr<TTableDriver> MakeDriver(const std::string& path) const = 0;

    void InternalOpen() override;
    void InternalClose() override;
    uint32_t InternalRecordCount() const override;
    bool InternalRecordLive(uint32_t rec) const override;
    bool InternalAllLive() const override;
    void InternalAppendLive(std::vector<uint32_t>& order) const override;
    void InternalGetValue(uint32_t rec, int fieldNo, TValue& out) override;
    bool InternalValueIsNull(uint32_t rec, int fieldNo, TValue& scratch) override;
    bool InternalReadsConcurrently(int fieldNo) const override;
    void InternalGetValueConcurrently(uint32_t rec, int fieldNo, TValue& out) const override;
    bool InternalGetDigitsConcurrently(uint32_t rec, int fieldNo,
                                       std::string_view& digits) const override;
    bool InternalReadCellsConcurrently(uint32_t rec, TAheadCell* cells, size_t count,
                                       std::string_view joiner, std::string& texts) const override;
    uint32_t InternalPost(int64_t rec, const std::vector<TValue>& values) override;
    void InternalDelete(uint32_t rec) override;
    void InternalRefresh() override;
    void InternalCheckUnchanged() const override;
    bool InternalCanModify() const override;

private:
    // A driver that has opened TablePath(), with the definitions it read.
    std::unique_ptr<TTableDriver> OpenDriver();

    std::unique_ptr<TTableDriver> fDriver;
    std::string fOpenRefusal = "Cannot perform this operation on an open dataset";
    std::string fTableName;
    int fForcedCodePage = 0;
};

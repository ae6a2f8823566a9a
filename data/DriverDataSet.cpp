#include "data/DriverDataSet.h"

TDriverDataSet::~TDriverDataSet() {
    try {
        Close();
    } catch (...) {
    }
}

void TDriverDataSet::InternalOpen() {
    std::string path = TablePath();
    std::unique_ptr<TTableDriver> driver = MakeDriver(path);
    FieldDefs().Clear();
    IndexDefs().Clear();
    driver->Open(path, FieldDefs(), IndexDefs());
    fDriver = std::move(driver);
}

void TDriverDataSet::InternalClose() {
    if (fDriver) {
        std::unique_ptr<TTableDriver> driver = std::move(fDriver);
        driver->Close();
    }
}

uint32_t TDriverDataSet::InternalRecordCount() const {
    return fDriver ? fDriver->RecordCount() : 0;
}

bool TDriverDataSet::InternalRecordLive(uint32_t rec) const {
    return fDriver && fDriver->RecordLive(rec);
}

bool TDriverDataSet::InternalAllLive() const {
    return !fDriver || fDriver->AllLive();
}

void TDriverDataSet::InternalGetValue(uint32_t rec, int fieldNo, TValue& out) {
    if (!fDriver) {
        out.SetNull();
        return;
    }
    fDriver->GetValue(rec, fieldNo, out);
}

bool TDriverDataSet::InternalReadsConcurrently(int fieldNo) const {
    return fDriver && fDriver->ReadsConcurrently(fieldNo);
}

void TDriverDataSet::InternalGetValueConcurrently(uint32_t rec, int fieldNo, TValue& out) const {
    fDriver->GetValueConcurrently(rec, fieldNo, out);
}

uint32_t TDriverDataSet::InternalPost(int64_t rec, const std::vector<TValue>& values) {
    return fDriver ? fDriver->Post(rec, values) : TDataSet::InternalPost(rec, values);
}

void TDriverDataSet::InternalDelete(uint32_t rec) {
    if (fDriver)
        fDriver->Delete(rec);
    else
        TDataSet::InternalDelete(rec);
}

void TDriverDataSet::InternalRefresh() {
    if (fDriver) fDriver->Refresh();
}

bool TDriverDataSet::InternalCanModify() const {
    return fDriver && fDriver->CanModify();
}

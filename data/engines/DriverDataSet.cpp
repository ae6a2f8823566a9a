#include "data/engines/DriverDataSet.h"

#include "data/base/DatabaseError.h"
#include "data/base/TextUtils.h"

TDriverDataSet::~TDriverDataSet() {
    try {
        Close();
    } catch (...) {
    }
}

void TDriverDataSet::SetTableName(const std::string& name) {
    std::string trimmed(Trim(name));
    if (trimmed == fTableName) return;
    CheckInactive();
    fTableName = std::move(trimmed);
}

void TDriverDataSet::SetForcedCodePage(int codePage) {
    if (codePage == fForcedCodePage) return;
    CheckInactive();
    fForcedCodePage = codePage;
}

void TDriverDataSet::CheckInactive() const {
    if (Active()) throw EDatabaseError(fOpenRefusal);
}

const std::string& TDriverDataSet::RequiredTableName() const {
    if (fTableName.empty()) throw EDatabaseError("Table name is missing");
    return fTableName;
}

std::unique_ptr<TTableDriver> TDriverDataSet::OpenDriver() {
    std::string path = TablePath();
    std::unique_ptr<TTableDriver> driver = MakeDriver(path);
    driver->SetForcedCodePage(fForcedCodePage);
    FieldDefs().Clear();
    IndexDefs().Clear();
    driver->Open(path, FieldDefs(), IndexDefs());
    return driver;
}

void TDriverDataSet::ReadDefinitionsWhenClosed() {
    if (Active()) return;
    OpenDriver()->Close();
}

void TDriverDataSet::InternalOpen() {
    fDriver = OpenDriver();
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

void TDriverDataSet::InternalAppendLive(std::vector<uint32_t>& order) const {
    if (fDriver) fDriver->AppendLive(order);
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

bool TDriverDataSet::InternalValueIsNull(uint32_t rec, int fieldNo, TValue& scratch) {
    return !fDriver || fDriver->IsNull(rec, fieldNo, scratch);
}

bool TDriverDataSet::InternalReadsConcurrently(int fieldNo) const {
    return fDriver && fDriver->ReadsConcurrently(fieldNo);
}

void TDriverDataSet::InternalGetValueConcurrently(uint32_t rec, int fieldNo, TValue& out) const {
    fDriver->GetValueConcurrently(rec, fieldNo, out);
}

bool TDriverDataSet::InternalGetDigitsConcurrently(uint32_t rec, int fieldNo,
                                                   std::string_view& digits) const {
    return fDriver->GetDigitsConcurrently(rec, fieldNo, digits);
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

bool TDriverDataSet::InternalReadCellsConcurrently(uint32_t rec, TAheadCell* cells, size_t count,
                                                   std::string_view joiner,
                                                   std::string& texts) const {
    return fDriver->ReadCellsConcurrently(rec, cells, count, joiner, texts);
}

void TDriverDataSet::InternalCheckUnchanged() const {
    if (fDriver) fDriver->CheckUnchanged();
}

bool TDriverDataSet::InternalCanModify() const {
    return fDriver && fDriver->CanModify();
}

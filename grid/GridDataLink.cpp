#include "grid/GridDataLink.h"

#include "data/dataset/DataSet.h"
#include "grid/DBGrid.h"

#include <algorithm>

TGridDataLink::~TGridDataLink() {
    if (TDataSet* ds = DataSet()) ds->SetDisplayRecNo(0);
}

void TGridDataLink::SetBufferCount(int count) {
    fBufferCount = std::max(1, count);
    Sync(true);
}

int TGridDataLink::Count() const {
    TDataSet* ds = DataSet();
    if (!Active() || !ds) return 0;
    return ds->RecordCount() + (ds->State() == dsInsert ? 1 : 0);
}

int TGridDataLink::CurrentPlace() const {
    TDataSet* ds = DataSet();
    if (!Active() || !ds) return 0;
    if (ds->State() == dsInsert) return ds->InsertRecNo();
    return ds->IsEmpty() ? 0 : ds->RecNo();
}

int TGridDataLink::RecNoOfRow(int row) const {
    TDataSet* ds = DataSet();
    if (!Active() || !ds || row < 0 || row >= fRecordCount) return 0;
    const int place = fTop + row;
    if (ds->State() == dsInsert) {
        const int ins = ds->InsertRecNo();
        if (place == ins) return 0;
        return place > ins ? place - 1 : place;
    }
    return place;
}

std::string TGridDataLink::BookmarkOfRow(int row) const {
    const int recNo = RecNoOfRow(row);
    TDataSet* ds = DataSet();
    return recNo > 0 && ds ? ds->BookmarkAt(recNo) : std::string();
}

bool TGridDataLink::Eof() const {
    TDataSet* ds = DataSet();
    return !Active() || !ds || ds->Eof();
}

bool TGridDataLink::Bof() const {
    TDataSet* ds = DataSet();
    return !Active() || !ds || ds->Bof();
}

void TGridDataLink::SetActiveRecord(int row) {
    TDataSet* ds = DataSet();
    if (!ds || !Active()) return;
    if (row < 0 || row >= fRecordCount) {
        fActive = -1;
        ds->SetDisplayRecNo(0);
        return;
    }
    fActive = row;
    // Rows read their records by place, the current one too: while an
    // export walks with the views held still, the cursor is elsewhere. Only
    // the record being edited or inserted is read from the edit buffer.
    if (ds->State() == dsEdit && row == fCurrentRow)
        ds->SetDisplayRecNo(0);
    else
        ds->SetDisplayRecNo(RecNoOfRow(row));
}

void TGridDataLink::ResetActive() {
    fActive = -1;
    if (TDataSet* ds = DataSet()) ds->SetDisplayRecNo(0);
}

int TGridDataLink::MaxTop() const {
    return std::max(1, Count() - fBufferCount + 1);
}

void TGridDataLink::Clamp() {
    const int n = Count();
    fTop = std::clamp(fTop, 1, MaxTop());
    fRecordCount = n == 0 ? 0 : std::min(fBufferCount, n - fTop + 1);
    const int cur = CurrentPlace();
    fCurrentRow = cur > 0 ? std::clamp(cur - fTop, 0, std::max(0, fRecordCount - 1)) : 0;
}

void TGridDataLink::Sync(bool keepRow) {
    const int cur = CurrentPlace();
    if (cur <= 0) {
        fTop = 1;
    } else if (keepRow) {
        fTop = cur - fCurrentRow;
    } else if (cur < fTop) {
        fTop = cur;
    } else if (cur >= fTop + fBufferCount) {
        fTop = cur - fBufferCount + 1;
    }
    fTop = std::clamp(fTop, 1, MaxTop());
    // The current record is always on screen.
    if (cur > 0 && cur < fTop) fTop = cur;
    if (cur >= fTop + fBufferCount) fTop = cur - fBufferCount + 1;
    Clamp();
}

void TGridDataLink::SetTop(int top) {
    fTop = top;
    Clamp();
}

void TGridDataLink::PlaceCurrentOnRow(int row) {
    const int cur = CurrentPlace();
    if (cur <= 0) return;
    fTop = cur - row;
    fTop = std::clamp(fTop, 1, MaxTop());
    if (cur < fTop) fTop = cur;
    if (cur >= fTop + fBufferCount) fTop = cur - fBufferCount + 1;
    Clamp();
}

void TGridDataLink::ActiveChanged() {
    ResetActive();
    fTop = 1;
    fCurrentRow = 0;
    Clamp();
    if (fGrid) fGrid->LinkActive(Active());
}

void TGridDataLink::DataSetChanged() {
    ResetActive();
    Sync(true);
    if (fGrid) fGrid->DataChanged();
}

void TGridDataLink::DataSetScrolled(int distance) {
    ResetActive();
    Sync(false);
    if (fGrid) fGrid->Scrolled(distance);
}

void TGridDataLink::RecordChanged(TField* field) {
    if (fGrid) fGrid->RecordChanged(field);
}

void TGridDataLink::LayoutChanged() {
    if (fGrid) fGrid->LayoutChanged();
}

void TGridDataLink::EditingChanged() {
    if (fGrid) fGrid->EditingChanged();
}

void TGridDataLink::UpdateData() {
    if (fGrid) fGrid->UpdateData();
}

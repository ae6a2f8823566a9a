#include "data/dataset/DataSource.h"

#include <algorithm>

TDataSource::~TDataSource() {
    SetDataSet(nullptr);
    auto links = fLinks;
    for (TDataLink* l : links)
        l->SourceDestroyed();
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == fDataSet) return;
    if (fDataSet) {
        fDataSet->RemoveDataSource(this);
        // The views let go of the old dataset first, as when it closes: one
        // open dataset in place of another is no change to a link that only
        // asked whether its dataset is open, and it would keep the old fields.
        fDataSet = nullptr;
        auto links = fLinks;
        for (TDataLink* l : links)
            l->UpdateActive();
    }
    fDataSet = dataSet;
    if (fDataSet) fDataSet->AddDataSource(this);
    auto links = fLinks;
    for (TDataLink* l : links)
        l->UpdateActive();
    if (OnStateChange) OnStateChange(*this);
}

void TDataSource::SetEnabled(bool v) {
    if (v == fEnabled) return;
    fEnabled = v;
    auto links = fLinks;
    for (TDataLink* l : links)
        l->UpdateActive();
}

void TDataSource::AddLink(TDataLink* link) {
    if (std::find(fLinks.begin(), fLinks.end(), link) == fLinks.end()) fLinks.push_back(link);
}

void TDataSource::RemoveLink(TDataLink* link) {
    fLinks.erase(std::remove(fLinks.begin(), fLinks.end(), link), fLinks.end());
}

void TDataSource::DataSetDestroyed() {
    fDataSet = nullptr;
    auto links = fLinks;
    for (TDataLink* l : links)
        l->UpdateActive();
}

void TDataSource::NotifyDataEvent(TDataEvent event, intptr_t info) {
    if (!fEnabled) return;
    auto links = fLinks;
    for (TDataLink* l : links)
        l->DataEvent(event, info);
    switch (event) {
    case deUpdateState:
        if (OnStateChange) OnStateChange(*this);
        break;
    case deFieldChange:
        if (OnDataChange && fDataSet && info >= 0 && info < fDataSet->FieldCount())
            OnDataChange(*this, &fDataSet->Fields(static_cast<int>(info)));
        break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange) OnDataChange(*this, nullptr);
        break;
    case deUpdateRecord:
        break;
    }
}

TDataLink::~TDataLink() {
    if (fDataSource) fDataSource->RemoveLink(this);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == fDataSource) return;
    if (fDataSource) fDataSource->RemoveLink(this);
    fDataSource = source;
    if (fDataSource) fDataSource->AddLink(this);
    UpdateActive();
}

void TDataLink::UpdateActive() {
    TDataSet* ds = DataSet();
    bool active = fDataSource && fDataSource->Enabled() && ds && ds->Active();
    if (active != fActive) {
        fActive = active;
        ActiveChanged();
    }
    bool editing = active && (ds->State() == dsEdit || ds->State() == dsInsert);
    if (editing != fEditing) {
        fEditing = editing;
        EditingChanged();
    }
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
    switch (event) {
    case deUpdateState:
        UpdateActive();
        break;
    case deDataSetChange:
        if (fActive) DataSetChanged();
        break;
    case deDataSetScroll:
        if (fActive) DataSetScrolled(static_cast<int>(info));
        break;
    case deRecordChange:
        if (fActive) RecordChanged(nullptr);
        break;
    case deFieldChange:
        if (fActive && DataSet() && info >= 0 && info < DataSet()->FieldCount())
            RecordChanged(&DataSet()->Fields(static_cast<int>(info)));
        break;
    case deLayoutChange:
        if (fActive) LayoutChanged();
        break;
    case deUpdateRecord:
        if (fActive) UpdateData();
        break;
    }
}

#pragma once

#include "data/dataset/DataSet.h"

#include <functional>
#include <vector>

class TDataLink;

using TDataChangeEvent = std::function<void(TDataSource& sender, TField* field)>;
using TNotifyEvent = std::function<void(TDataSource& sender)>;

// Binds views (through their data links) to one dataset and passes its
// events on to them.
class TDataSource {
public:
    TDataSource() = default;
    explicit TDataSource(TDataSet* dataSet) { SetDataSet(dataSet); }
    ~TDataSource();
    TDataSource(const TDataSource&) = delete;
    TDataSource& operator=(const TDataSource&) = delete;

    TDataSet* DataSet() const { return fDataSet; }
    void SetDataSet(TDataSet* dataSet);
    bool Enabled() const { return fEnabled; }
    void SetEnabled(bool v);
    TDataSetState State() const { return fDataSet ? fDataSet->State() : dsInactive; }

    TDataChangeEvent OnDataChange; // record changed or cursor moved; field set for one field
    TNotifyEvent OnStateChange;

    void AddLink(TDataLink* link);
    void RemoveLink(TDataLink* link);

    // Called by the dataset.
    void NotifyDataEvent(TDataEvent event, intptr_t info);
    void DataSetDestroyed();

private:
    TDataSet* fDataSet = nullptr;
    bool fEnabled = true;
    std::vector<TDataLink*> fLinks;
};

// A view's connection to a data source; views override what they react to.
class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return fDataSource; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const { return fDataSource ? fDataSource->DataSet() : nullptr; }
    bool Active() const { return fActive; }

    // Called by the data source.
    void DataEvent(TDataEvent event, intptr_t info);
    void UpdateActive();
    void SourceDestroyed() {
        fDataSource = nullptr;
        UpdateActive();
    }

protected:
    virtual void ActiveChanged() {}
    virtual void DataSetChanged() {}
    virtual void DataSetScrolled(int distance) { (void)distance; }
    virtual void RecordChanged(TField* field) { (void)field; }
    virtual void LayoutChanged() {}
    virtual void EditingChanged() {}
    // Before a post: write what the view holds unwritten into the fields.
    virtual void UpdateData() {}

private:
    TDataSource* fDataSource = nullptr;
    bool fActive = false;
    bool fEditing = false;
};

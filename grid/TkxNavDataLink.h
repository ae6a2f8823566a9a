#pragma once

#include "data/dataset/DataSource.h"

class TkxDBNavigator;

// Tells its navigator when the dataset opens or closes, moves or changes,
// and enters or leaves editing.
class TkxNavDataLink : public TDataLink {
public:
    explicit TkxNavDataLink(TkxDBNavigator* navigator) : fNavigator(navigator) {}
    ~TkxNavDataLink() override { fNavigator = nullptr; }

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void EditingChanged() override;

private:
    TkxDBNavigator* fNavigator;
};

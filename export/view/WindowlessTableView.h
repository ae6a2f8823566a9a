#pragma once

#include "export/view/TableView.h"

// The view that a freshly opened table gets in the main window's grid,
// without a window: the command line exports through it when there is no
// display, and gives the same document as the grid would.
class TWindowlessTableView : public TTableView {
public:
    TWindowlessTableView();
    // Binds the dataset and lays out one default column per visible field.
    explicit TWindowlessTableView(TDataSource* source);
    void Bind(TDataSource* source);
};

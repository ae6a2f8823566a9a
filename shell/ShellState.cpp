#include "shell/ShellState.h"

TShellState::TShellState() {
    fWindowless.Bind(&DataSource1);
}

TShellState::~TShellState() {
    fWindowless.SetDataSource(nullptr);
    CloseCurrentDataSet();
}

void TShellState::SetGrid(TTableView* grid) {
    fGrid = grid;
    if (fGrid) fGrid->SetDataSource(&DataSource1);
}

void TShellState::CloseCurrentDataSet() {
    DataSource1.SetDataSet(nullptr);
    if (!CurrentDataSet) return;
    try {
        if (CurrentDataSet->Active()) CurrentDataSet->Close();
    } catch (...) {
    }
    try {
        CurrentDataSet.reset();
    } catch (...) {
    }
}

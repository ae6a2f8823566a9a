#pragma once

#include "data/base/Progress.h"
#include "data/dataset/DataSet.h"
#include "data/dataset/DataSource.h"
#include "export/view/TableView.h"
#include "export/view/WindowlessTableView.h"
#include "shell/Settings.h"

#include <memory>
#include <string>

// What the program shows and works on, in one place: the main window owns
// it; without a window the command line does. Free of window code.
class TShellState {
public:
    TShellState();
    ~TShellState();
    TShellState(const TShellState&) = delete;
    TShellState& operator=(const TShellState&) = delete;

    TSettings Settings;
    // At most one table; replaced only by OpenDatabase.
    std::unique_ptr<TDataSet> CurrentDataSet;
    std::string CurrentFileName;
    bool BDELoaded = false;
    // Binds the table to the grid (and the navigator of a window).
    TDataSource DataSource1;

    // The grid the export reads: the window's, or the window-less one.
    TTableView& Grid() { return fGrid ? *fGrid : fWindowless; }
    void SetGrid(TTableView* grid);

    // Where progress goes; never null.
    TProgress& Progress() { return fProgress ? *fProgress : fSilent; }
    void SetProgress(TProgress* progress) { fProgress = progress; }
    // What the current table tells of a long sort or filter: passed on to
    // whatever Progress() is then.
    TProgress& DataSetProgress() { return fForward; }
    // Status panel 4: the engine in use or the engines available.
    std::string EngineStatus;

    // Closes and frees the table; errors of either step are ignored.
    void CloseCurrentDataSet();

private:
    struct TSilentProgress : TProgress {
        void Progress(const std::string&) override {}
    };
    struct TForwardProgress : TProgress {
        explicit TForwardProgress(TShellState& state) : State(state) {}
        void Progress(const std::string& text) override { State.Progress().Progress(text); }
        void ProcessMessages() override { State.Progress().ProcessMessages(); }
        TShellState& State;
    };
    TTableView* fGrid = nullptr;
    TWindowlessTableView fWindowless;
    TSilentProgress fSilent;
    TProgress* fProgress = nullptr;
    TForwardProgress fForward{*this};
};

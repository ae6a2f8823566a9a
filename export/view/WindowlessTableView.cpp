#include "export/view/WindowlessTableView.h"

TWindowlessTableView::TWindowlessTableView() {
    // What the main window's grid is given when it is made.
    SetFlat(true);
    SetDrawBool(true);
    SetDrawGraphic(true);
    SetOptions(DefaultGridOptions);
    TFont title = Font();
    title.Color = clBlue;
    SetTitleFont(title);
}

TWindowlessTableView::TWindowlessTableView(TDataSource* source) : TWindowlessTableView() {
    Bind(source);
}

void TWindowlessTableView::Bind(TDataSource* source) {
    SetDataSource(source);
    BuildDefaultColumns();
}

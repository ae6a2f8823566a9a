#include "grid/MainWindowGrid.h"

#include "grid/KXDBGrid.h"

void ConfigureMainWindowGrid(TKXDBGrid& grid) {
    grid.SetFixedColumns(0);
    grid.SetShowLogo(false);
    grid.SetEdgeForm(efRect);
    grid.SetFlat(true);
    grid.SetDrawBool(true);
    grid.SetColumnHints(true);
    grid.SetDataHints(true);
    grid.SetDrawGraphic(true);
    grid.SetAutoSort(true);
    grid.SetTitleButtons(true);
    grid.SetSortMarkerStyle(smsRed);
    grid.SetIntelliPan(ipVert);
    grid.SetOptions(DefaultGridOptions);
    TFont title = grid.TitleFont();
    title.Color = clBlue;
    grid.SetTitleFont(title);
}

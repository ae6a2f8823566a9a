#pragma once

class TKXDBGrid;

// Gives a grid what the main window's grid is stored with: a flat border,
// check boxes and pictures drawn, column and data hints, title buttons that
// sort, red sort markers, vertical autoscroll, blue titles. A freshly opened
// table then lays out as in the window-less view (export/view/WindowlessTableView).
void ConfigureMainWindowGrid(TKXDBGrid& grid);

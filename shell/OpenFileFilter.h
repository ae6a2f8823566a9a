#pragma once

#include <string>
#include <vector>

// The open dialog's filters, "Description|patterns" pairs separated by "|".
extern const char* const TableFileFilter;

// The filter a dropped file opens the dialog with: 1 for ".db" and ".dbf",
// 2 for ".txt", 3 for ".csv" (letter case aside); 0 for a file that is not
// taken.
int DroppedFileFilterIndex(const std::string& path);

// The first dropped file that is taken, or -1 when none is.
int FirstDroppedTable(const std::vector<std::string>& paths);

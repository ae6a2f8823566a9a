#pragma once

// What the grid asks of a dataset beyond the dataset interface: the display
// name of a field kind (data/base/FieldTypeName.h) and the fields a table is
// ordered by.

#include "data/base/FieldTypeName.h"

#include <string>

class TTable;

// The fields by which the table is ordered, separated by ';': its
// IndexFieldNames; else, with no index chosen, a Paradox table's primary key
// (its first index definition); else the fields of the index definition
// named IndexName exactly, or IndexName itself when none is. Refreshes the
// table's index definitions; their errors propagate.
std::string GetSortFields(TTable& table);

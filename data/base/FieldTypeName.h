#pragma once

#include <string>

// The display name of a field kind, as the grid's title hint and the error
// texts show it. The kind's number is masked to its low seven bits; every
// number outside the table, and ftCursor, is "Unknown".
std::string GetFieldTypeName(int fieldType);

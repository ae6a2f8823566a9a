#pragma once

#include "data/FieldType.h"

#include <string>

// The display name of a field kind, as the grid's title hint shows it.
std::string GetFieldTypeName(int fieldType);

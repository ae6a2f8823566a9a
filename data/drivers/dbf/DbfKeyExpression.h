#pragma once

#include "data/base/FieldDefs.h"

#include <string>
#include <string_view>

// The index definition of a dBase key expression. A list of fields joined
// by '+' ("NAME+CITY") becomes the fields "NAME;CITY"; UPPER() around every
// text field makes it case-insensitive, and DTOS() around a date orders as
// the date does. Any other expression is kept as it is, with ixExpression.
TIndexDef DbfIndexDefFromExpression(const std::string& name, std::string_view expression,
                                    const TFieldDefs& fields, unsigned options);

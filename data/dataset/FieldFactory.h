#pragma once

#include "data/base/FieldDefs.h"
#include "data/dataset/Field.h"

#include <memory>

// The field object of the right kind for a definition.
std::unique_ptr<TField> CreateField(TDataSet& dataSet, int fieldNo, const TFieldDef& def);

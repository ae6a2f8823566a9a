#pragma once

#include "data/dataset/Field.h"

// Text of up to Size characters (string, fixed-length, wide and GUID kinds).
class TStringField : public TField {
public:
    TStringField(TDataSet& dataSet, int fieldNo, std::string fieldName, TFieldType dataType,
                 int size)
        : TField(dataSet, fieldNo, std::move(fieldName), dataType, size) {
        fTextAsIs = true;
    }

protected:
    int DefaultDisplayWidth() const override { return Size() > 0 ? Size() : 20; }
};

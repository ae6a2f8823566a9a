#pragma once

#include "data/Field.h"

// Text of up to Size characters (string, fixed-length, wide and GUID kinds).
class TStringField : public TField {
public:
    using TField::TField;

protected:
    int DefaultDisplayWidth() const override { return Size() > 0 ? Size() : 20; }
};

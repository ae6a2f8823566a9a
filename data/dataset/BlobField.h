#pragma once

#include "data/dataset/Field.h"

// Values held as BLOBs: binary data, pictures, OLE objects and memos. What
// they show is a placeholder naming the kind, in capitals when a value is
// there: "(MEMO)" or "(Memo)".
class TBlobField : public TField {
public:
    TBlobField(TDataSet& dataSet, int fieldNo, std::string fieldName, TFieldType dataType, int size)
        : TField(dataSet, fieldNo, std::move(fieldName), dataType, size) {
        fShowsPresence = true;
    }
    bool IsBlob() const override { return true; }

protected:
    void FormatValue(const TValue& v, std::string& out, bool display) const override;
    void ParseText(std::string_view text, TValue& out) const override;
};

// Plain and formatted memo text.
class TMemoField : public TBlobField {
public:
    using TBlobField::TBlobField;
    bool IsMemo() const override { return true; }

protected:
    void ParseText(std::string_view text, TValue& out) const override;
};

// Pictures.
class TGraphicField : public TBlobField {
public:
    using TBlobField::TBlobField;
    bool IsGraphic() const override { return true; }
};

#include "data/dataset/FieldFactory.h"

#include "data/dataset/BlobField.h"
#include "data/dataset/BooleanField.h"
#include "data/dataset/BytesField.h"
#include "data/dataset/DateTimeField.h"
#include "data/dataset/NumericField.h"
#include "data/dataset/StringField.h"

std::unique_ptr<TField> CreateField(TDataSet& ds, int no, const TFieldDef& def) {
    std::unique_ptr<TField> f;
    const std::string& n = def.Name;
    TFieldType t = def.DataType;
    switch (t) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftGuid:
        f = std::make_unique<TStringField>(ds, no, n, t, def.Size);
        break;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        f = std::make_unique<TIntegerField>(ds, no, n, t, def.Size);
        break;
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
        auto ff = std::make_unique<TFloatField>(ds, no, n, t, def.Size);
        if (def.Precision > 0) ff->SetPrecision(def.Precision);
        f = std::move(ff);
        break;
    }
    case ftBoolean:
        f = std::make_unique<TBooleanField>(ds, no, n, t, def.Size);
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
        f = std::make_unique<TDateTimeField>(ds, no, n, t, def.Size);
        break;
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob:
        f = std::make_unique<TMemoField>(ds, no, n, t, def.Size);
        break;
    case ftGraphic:
        f = std::make_unique<TGraphicField>(ds, no, n, t, def.Size);
        break;
    case ftBlob:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
        f = std::make_unique<TBlobField>(ds, no, n, t, def.Size);
        break;
    case ftBytes:
    case ftVarBytes:
        f = std::make_unique<TBytesField>(ds, no, n, t, def.Size);
        break;
    default:
        f = std::make_unique<TField>(ds, no, n, t, def.Size);
        break;
    }
    f->SetRequired(def.Required);
    f->SetReadOnly(def.ReadOnly);
    return f;
}

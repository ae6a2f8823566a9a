#include "data/drivers/dbf/DbfColumn.h"

#include "data/drivers/dbf/DbfMemo.h"

TDbfColumn MakeDbfColumn(const TDbfFieldDesc& f, const TDbfHeader& h) {
    const bool vfp = h.Variant == dvVisualFoxPro;
    TDbfColumn c;
    c.Type = f.Type;
    c.Offset = f.Offset;
    c.Length = f.Length;
    c.Decimals = f.Decimals;
    c.NullBit = f.NullBit;
    c.VarLengthBit = f.VarLengthBit;
    const bool binary = vfp && (f.Flags & dffBinary);
    switch (f.Type) {
    case 'C':
        c.Kind = binary ? dkBinaryChar : dkChar;
        c.DataType = binary ? ftBytes : ftString;
        c.Size = static_cast<int>(f.Length);
        break;
    case 'V':
        c.Kind = binary ? dkVarBinary : dkVarChar;
        c.DataType = binary ? ftVarBytes : ftString;
        c.Size = static_cast<int>(f.Length);
        break;
    case 'Q':
        c.Kind = dkVarBinary;
        c.DataType = ftVarBytes;
        c.Size = static_cast<int>(f.Length);
        break;
    case 'N':
    case 'F':
        if (f.Decimals == 0 && f.Length < 19) {
            c.Kind = dkInteger;
            c.DataType = f.Length < 5 ? ftSmallint : f.Length < 10 ? ftInteger : ftLargeint;
        } else {
            c.Kind = dkNumber;
            c.DataType = ftFloat;
            c.Precision = f.Length < 15 ? static_cast<int>(f.Length) : 15;
        }
        break;
    case 'D':
        c.Kind = dkDate, c.DataType = ftDate;
        break;
    case 'L':
        c.Kind = dkLogical, c.DataType = ftBoolean;
        break;
    case 'M':
        c.Kind = binary ? dkMemoBinary : dkMemoText;
        c.DataType = binary ? ftBlob : ftMemo;
        break;
    case 'G':
        c.Kind = dkMemoBinary, c.DataType = ftDBaseOle, c.FptType = fbObject;
        break;
    case 'P':
        c.Kind = dkMemoBinary, c.DataType = ftGraphic, c.FptType = fbPicture;
        break;
    case 'W':
        c.Kind = dkMemoBinary, c.DataType = ftBlob, c.FptType = fbPicture;
        break;
    case 'B':
        if (vfp)
            c.Kind = dkDoubleLE, c.DataType = ftFloat;
        else
            c.Kind = dkMemoBinary, c.DataType = ftBlob, c.FptType = fbPicture;
        break;
    case 'I':
        c.Kind = h.Level7 ? dkLong7 : dkLongLE;
        c.DataType = vfp && (f.Flags & dffAutoInc) ? ftAutoInc : ftInteger;
        c.ReadOnly = c.DataType == ftAutoInc;
        break;
    case '+':
        c.Kind = dkLong7, c.DataType = ftAutoInc, c.ReadOnly = true;
        break;
    case 'Y':
        c.Kind = dkCurrency, c.DataType = ftCurrency;
        break;
    case 'T':
        c.Kind = dkDateTimeFox, c.DataType = ftDateTime;
        break;
    case '@':
        c.Kind = dkTimestamp7, c.DataType = ftDateTime;
        break;
    case 'O':
        c.Kind = dkDouble7, c.DataType = ftFloat;
        break;
    default:
        c.Kind = dkUnknown;
        c.DataType = ftBytes;
        c.Size = static_cast<int>(f.Length);
        c.ReadOnly = true;
        break;
    }
    if (c.Kind == dkMemoText || c.Kind == dkMemoBinary) c.BinaryPointer = f.Length == 4;
    return c;
}

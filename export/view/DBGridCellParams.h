#pragma once

#include "data/dataset/Field.h"
#include "export/view/Font.h"

#include <memory>
#include <string>

// Which picture stands for a cell instead of (or beside) its text.
enum TImageKind : int {
    ikFieldPicture = -2, // the graphic field's own picture
    ikNone = -1,
    ikBlob = 0,
    ikMemo = 1,
    ikGraphic = 2,
    ikOle = 3,
    ikTrue = 6,
    ikFalse = 7,
};

enum TGridDrawState : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };

// An image held by a cell; the grid's drawing owns the pixels, writers never
// read them.
class TCellBitmap {
public:
    virtual ~TCellBitmap() = default;
};

// One cell's parameters, filled by whoever draws or exports the cell and
// completed by the table view. One record is reused for every cell.
struct TDBGridCellParams {
    const TFont* Font = nullptr; // not owned
    std::unique_ptr<TCellBitmap> Bitmap;
    int ImageKind = ikNone;
    TAlignment Alignment = taLeftJustify;
    unsigned State = 0; // TGridDrawState bits
    TColor Background = clWindow;
    std::string Text;
};

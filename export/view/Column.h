#pragma once

#include "data/dataset/Field.h"
#include "export/view/Color.h"
#include "export/view/Font.h"

#include <optional>
#include <string>

class TTableView;

// One column of a table view. A member that was never set follows its
// source: the field for caption and alignment, the view for fonts and
// colours, the field's display width for the width.
class TColumn {
public:
    TColumn(TTableView& view, std::string fieldName);

    TTableView& View() const { return fView; }
    const std::string& FieldName() const { return fFieldName; }
    TField* Field() const { return fField; }
    void SetField(TField* field) { fField = field; }
    // Which of the fields that share the column's field name a column of
    // one's own shows (0: the first), so that it finds its own again when the
    // dataset reopens. Default columns are laid out anew instead.
    int FieldOrdinal() const { return fFieldOrdinal; }
    void SetFieldOrdinal(int v) { fFieldOrdinal = v < 0 ? 0 : v; }

    bool Visible() const { return fVisible; }
    void SetVisible(bool v) { fVisible = v; }

    int Width() const;
    void SetWidth(int v) { fWidth = v; }
    // Read for every exported cell: inline.
    TColor Color() const { return fColor ? *fColor : *fViewColor; }
    void SetColor(TColor v) { fColor = v; }
    TAlignment Alignment() const {
        if (fAlignment) return *fAlignment;
        return fField ? fField->Alignment() : taLeftJustify;
    }
    void SetAlignment(TAlignment v) { fAlignment = v; }
    const TFont& Font() const { return fFont ? *fFont : *fViewFont; }
    void SetFont(const TFont& v) { fFont = v; }

    // The heading.
    std::string TitleCaption() const;
    void SetTitleCaption(std::string v) { fTitleCaption = std::move(v); }
    TAlignment TitleAlignment() const { return fTitleAlignment.value_or(taLeftJustify); }
    void SetTitleAlignment(TAlignment v) { fTitleAlignment = v; }
    const TFont& TitleFont() const;
    void SetTitleFont(const TFont& v) { fTitleFont = v; }
    TColor TitleColor() const;
    void SetTitleColor(TColor v) { fTitleColor = v; }

    // Forgets every member set, so each follows its source again.
    void RestoreDefaults();

private:
    int DefaultWidth() const;

    TTableView& fView;
    const TFont* fViewFont; // the view's, which outlives its columns
    const TColor* fViewColor;
    std::string fFieldName;
    TField* fField = nullptr;
    int fFieldOrdinal = 0;
    bool fVisible = true;
    std::optional<int> fWidth;
    std::optional<TColor> fColor;
    std::optional<TAlignment> fAlignment;
    std::optional<TFont> fFont;
    std::optional<std::string> fTitleCaption;
    std::optional<TAlignment> fTitleAlignment;
    std::optional<TFont> fTitleFont;
    std::optional<TColor> fTitleColor;
};

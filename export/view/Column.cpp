#include "export/view/Column.h"

#include "export/view/TableView.h"

TColumn::TColumn(TTableView& view, std::string fieldName)
    : fView(view), fViewFont(&view.Font()), fViewColor(&view.ColorRef()),
      fFieldName(std::move(fieldName)) {}

void TColumn::RestoreDefaults() {
    fWidth.reset();
    fColor.reset();
    fAlignment.reset();
    fFont.reset();
    fTitleCaption.reset();
    fTitleAlignment.reset();
    fTitleFont.reset();
    fTitleColor.reset();
}

int TColumn::Width() const {
    return fWidth ? *fWidth : DefaultWidth();
}

int TColumn::DefaultWidth() const {
    constexpr int NoFieldWidth = 64;
    if (!fField) return NoFieldWidth;
    const TFontMetrics& m = fView.Metrics();
    const TFont& font = Font();
    int overhang = m.Overhang(font);
    int w = fField->DisplayWidth() * (m.TextWidth(font, "0") - overhang) + overhang + 4;
    if (fView.Options() & dgTitles) {
        int tw = m.TextWidth(TitleFont(), TitleCaption()) + 4;
        if (tw > w) w = tw;
    }
    return w;
}

std::string TColumn::TitleCaption() const {
    if (fTitleCaption) return *fTitleCaption;
    return fField ? fField->DisplayLabel() : fFieldName;
}

const TFont& TColumn::TitleFont() const {
    return fTitleFont ? *fTitleFont : fView.TitleFont();
}

TColor TColumn::TitleColor() const {
    return fTitleColor ? *fTitleColor : fView.FixedColor();
}

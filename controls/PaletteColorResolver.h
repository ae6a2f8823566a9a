#pragma once

#include "export/view/Color.h"

#include <QPalette>

// System colours from a Qt palette: button face, shadow and highlight,
// window frame, grey text and the rest map onto the palette's roles (the
// roles Qt's own styles draw those parts with). Colours the palette has no
// role for (the desktop, the captions) are left to the classic scheme.
class TPaletteColorResolver : public TSystemColorResolver {
public:
    explicit TPaletteColorResolver(const QPalette& palette = QPalette()) : fPalette(palette) {}
    void SetPalette(const QPalette& palette) { fPalette = palette; }
    const QPalette& Palette() const { return fPalette; }
    bool Resolve(int index, TColor& rgb) const override;

private:
    QPalette fPalette;
};

// Installs one resolver that follows the application's palette (also when
// the style or the palette changes later). Needs a QGuiApplication; without
// one it does nothing and the classic scheme stays.
void InstallApplicationPaletteResolver();

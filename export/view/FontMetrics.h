#pragma once

#include "export/view/Font.h"

#include <string_view>

// Measures text in a font, in screen pixels. The Qt grid measures with the
// real font; without a display the fixed metrics below stand in, so that a
// window-less export lays out the same on every machine.
class TFontMetrics {
public:
    virtual ~TFontMetrics() = default;
    virtual int TextWidth(const TFont& font, std::string_view text) const = 0;
    virtual int TextHeight(const TFont& font) const = 0;
    // Extra width that italic or synthesised bold text runs over its advance.
    virtual int Overhang(const TFont& font) const = 0;
    // Dots per inch of the device the widths are for.
    virtual int PixelsPerInch() const = 0;
};

// Deterministic metrics modelled on a proportional sans-serif screen font at
// 96 dots per inch ("MS Sans Serif" 8 gives a 6-pixel digit 0 and a
// 13-pixel line).
class TFixedFontMetrics : public TFontMetrics {
public:
    int TextWidth(const TFont& font, std::string_view text) const override;
    int TextHeight(const TFont& font) const override;
    int Overhang(const TFont& font) const override;
    int PixelsPerInch() const override { return 96; }

    static const TFixedFontMetrics& Instance();
};

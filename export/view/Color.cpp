#include "export/view/Color.h"

namespace {
// The classic Windows scheme, as RGB.
constexpr TColor Classic[SystemColorCount] = {
    RGBColor(212, 208, 200), // scroll bar
    RGBColor(58, 110, 165),  // desktop
    RGBColor(10, 36, 106),   // active caption
    RGBColor(128, 128, 128), // inactive caption
    RGBColor(212, 208, 200), // menu
    RGBColor(255, 255, 255), // window
    RGBColor(0, 0, 0),       // window frame
    RGBColor(0, 0, 0),       // menu text
    RGBColor(0, 0, 0),       // window text
    RGBColor(255, 255, 255), // caption text
    RGBColor(212, 208, 200), // active border
    RGBColor(212, 208, 200), // inactive border
    RGBColor(128, 128, 128), // application workspace
    RGBColor(10, 36, 106),   // highlight
    RGBColor(255, 255, 255), // highlight text
    RGBColor(212, 208, 200), // button face
    RGBColor(128, 128, 128), // button shadow
    RGBColor(128, 128, 128), // grey text
    RGBColor(0, 0, 0),       // button text
    RGBColor(212, 208, 200), // inactive caption text
    RGBColor(255, 255, 255), // button highlight
    RGBColor(64, 64, 64),    // 3D dark shadow
    RGBColor(212, 208, 200), // 3D light
    RGBColor(0, 0, 0),       // tooltip text
    RGBColor(255, 255, 225), // tooltip background
};

const TSystemColorResolver* gResolver = nullptr;
} // namespace

TColor ClassicSystemColor(int index) {
    return index >= 0 && index < SystemColorCount ? Classic[index] : clBlack;
}

void SetSystemColorResolver(const TSystemColorResolver* resolver) {
    gResolver = resolver;
}

TColor ColorToRGB(TColor c) {
    if (!IsSystemColor(c)) return c == clNone || c == clDefault ? clBlack : (c & 0xFFFFFF);
    int index = static_cast<int>(static_cast<uint32_t>(c) & 0xFF);
    TColor rgb;
    if (gResolver && gResolver->Resolve(index, rgb)) return rgb & 0xFFFFFF;
    return ClassicSystemColor(index);
}

#pragma once

#include <cstdint>

// A colour as 0x00BBGGRR, or a system colour (high bit set, the low byte its
// index), or one of the two special values.
using TColor = int32_t;

constexpr TColor RGBColor(int r, int g, int b) {
    return static_cast<TColor>((static_cast<uint32_t>(b & 0xFF) << 16) |
                               (static_cast<uint32_t>(g & 0xFF) << 8) |
                               static_cast<uint32_t>(r & 0xFF));
}
constexpr int GetRValue(TColor c) {
    return static_cast<int>(static_cast<uint32_t>(c) & 0xFF);
}
constexpr int GetGValue(TColor c) {
    return static_cast<int>((static_cast<uint32_t>(c) >> 8) & 0xFF);
}
constexpr int GetBValue(TColor c) {
    return static_cast<int>((static_cast<uint32_t>(c) >> 16) & 0xFF);
}

constexpr TColor SystemColor(int index) {
    return static_cast<TColor>(0x80000000u | static_cast<uint32_t>(index));
}
constexpr bool IsSystemColor(TColor c) {
    return (static_cast<uint32_t>(c) & 0x80000000u) != 0;
}

constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor clBlack = RGBColor(0, 0, 0);
constexpr TColor clMaroon = RGBColor(128, 0, 0);
constexpr TColor clGreen = RGBColor(0, 128, 0);
constexpr TColor clOlive = RGBColor(128, 128, 0);
constexpr TColor clNavy = RGBColor(0, 0, 128);
constexpr TColor clPurple = RGBColor(128, 0, 128);
constexpr TColor clTeal = RGBColor(0, 128, 128);
constexpr TColor clGray = RGBColor(128, 128, 128);
constexpr TColor clSilver = RGBColor(192, 192, 192);
constexpr TColor clRed = RGBColor(255, 0, 0);
constexpr TColor clLime = RGBColor(0, 255, 0);
constexpr TColor clYellow = RGBColor(255, 255, 0);
constexpr TColor clBlue = RGBColor(0, 0, 255);
constexpr TColor clFuchsia = RGBColor(255, 0, 255);
constexpr TColor clAqua = RGBColor(0, 255, 255);
constexpr TColor clWhite = RGBColor(255, 255, 255);

// System colours by their index.
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clActiveBorder = SystemColor(10);
constexpr TColor clInactiveBorder = SystemColor(11);
constexpr TColor clAppWorkSpace = SystemColor(12);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor cl3DLight = SystemColor(22);
constexpr TColor clInfoText = SystemColor(23);
constexpr TColor clInfoBk = SystemColor(24);
constexpr int SystemColorCount = 25;

// Where system colours come from: the window system when there is one
// (the Qt shell installs its own), else the classic scheme.
class TSystemColorResolver {
public:
    virtual ~TSystemColorResolver() = default;
    // The RGB value of system colour `index`; false when it does not know it.
    virtual bool Resolve(int index, TColor& rgb) const = 0;
};

// The classic Windows scheme.
TColor ClassicSystemColor(int index);
// Installs a resolver (nullptr restores the classic scheme); not owned.
void SetSystemColorResolver(const TSystemColorResolver* resolver);
// An RGB colour for any colour: system colours resolved, clNone and
// clDefault as black... except where the caller tests for them first.
TColor ColorToRGB(TColor c);

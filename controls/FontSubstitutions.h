#pragma once

#include <QFont>
#include <QString>

// The fonts the windows are designed with ("MS Sans Serif" 8 for the
// windows, "Courier New" and "Impact" in a few places) are not installed
// here. Each is substituted, once at start, by installed fonts of similar
// metrics; glyphs a substitute lacks (CJK) come from fontconfig's fallback.
void InstallFontSubstitutions();

// A point size of the design (made for 96 dots per inch) as a pixel size.
// Sizes are given in pixels so that a window lays out as designed whatever
// DPI the display reports; Qt scales pixels by the device-pixel ratio.
constexpr int DesignedPixelSize(int points) {
    return (points * 96 + 36) / 72;
}

// A font of the design: family (substituted when not installed) and size in
// points at 96 DPI.
QFont DesignedFont(const QString& family, int points, bool bold = false);

// The windows' own font, "MS Sans Serif" 8.
QFont DialogFont();

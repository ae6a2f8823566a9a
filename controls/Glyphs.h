#pragma once

#include <QPixmap>

#include <string_view>

// The program's own glyphs, drawn with painter paths on a 16 x 16 design
// grid at the device-pixel ratio asked for, so they stay sharp at 1x and 2x:
// straight edges sit on pixel boundaries, slanted ones run at 45 degrees.
// Backgrounds are transparent.

// The navigator's strip for button `index` (0 first ... 9 refresh): the
// enabled and the disabled (embossed) image side by side, 32 x 16.
QPixmap NavigatorGlyph(int index, qreal dpr = 1.0);

// The main window's tool buttons, 16 x 16 each.
enum TkxToolGlyph : int {
    tgOpen,    // a folder
    tgExport,  // a page with an arrow out of it
    tgFix,     // a table whose first column is held
    tgOptions, // a list of ticked lines
    tgHelp,    // a question mark
    tgAbout,   // an "i"
    tgFind,    // a magnifying glass
};
constexpr int ToolGlyphCount = 7;
QPixmap ToolGlyph(TkxToolGlyph glyph, qreal dpr = 1.0);

// A glyph by its resource name: "DBG_0" ... "DBG_9", or "TOOL_OPEN",
// "TOOL_EXPORT", "TOOL_FIX", "TOOL_OPTIONS", "TOOL_HELP", "TOOL_ABOUT",
// "TOOL_FIND"; a null pixmap for any other name.
QPixmap LoadGlyph(std::string_view name, qreal dpr = 1.0);

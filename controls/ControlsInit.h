#pragma once

// Sets up the look every window shares, once, after the QApplication is
// made: the font substitutions, the application font ("MS Sans Serif" 8 at
// 96 DPI) and the system colours from the application's palette.
void InitControls();

#pragma once

class QWidget;

// Bits per pixel of the screen a widget is on (the primary screen when it
// is on none). A screen of 8 bits or fewer is a palette screen, on which
// shading bands would dither into noise.
int ScreenBitsPerPixel(const QWidget* widget);
// Tests pretend a depth (0 goes back to the real one).
void SetScreenBitsPerPixelForTesting(int bits);

// Whether faces may be shaded with bands there: not on a palette screen,
// unless a theme draws the faces anyway.
bool ShadingAllowed(const QWidget* widget);

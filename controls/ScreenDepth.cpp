#include "controls/ScreenDepth.h"

#include "controls/VisualStyle.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
int gTestDepth = 0;
}

int ScreenBitsPerPixel(const QWidget* widget) {
    if (gTestDepth > 0) return gTestDepth;
    QScreen* screen = widget ? widget->screen() : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 32;
}

void SetScreenBitsPerPixelForTesting(int bits) {
    gTestDepth = bits;
}

bool ShadingAllowed(const QWidget* widget) {
    return ScreenBitsPerPixel(widget) > 8 || IsThemeActive(widget);
}

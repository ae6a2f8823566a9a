#include "controls/ColorConversion.h"

QColor ToQColor(TColor color) {
    const TColor rgb = ColorToRGB(color);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor ToTColor(const QColor& color) {
    const QColor c = color.toRgb();
    return RGBColor(c.red(), c.green(), c.blue());
}

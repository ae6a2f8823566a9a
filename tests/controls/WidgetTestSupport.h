#pragma once

// Shared by the Qt Test programs of the windowed layers: the classic style
// for every test (pictures must not depend on the desktop), faces rendered
// into images, and pixel checks that say what they found.

#include "controls/ButtonFace.h"
#include "controls/ColorConversion.h"
#include "controls/ControlsInit.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

#include <memory>

namespace widgettest {

inline void UseStyle(const char* name) {
    QApplication::setStyle(QStyleFactory::create(QLatin1String(name)));
}

// A style of its own for a theme window.
inline std::unique_ptr<QStyle> MakeStyle(const char* name) {
    return std::unique_ptr<QStyle>(QStyleFactory::create(QLatin1String(name)));
}

inline QImage Canvas(int w, int h, const QColor& background = Qt::transparent) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(background);
    return img;
}

inline QImage RenderFace(const TkxButtonFace& face, int w, int h,
                         const QColor& background = Qt::transparent) {
    QImage img = Canvas(w, h, background);
    QPainter p(&img);
    DrawButtonFace(p, face);
    p.end();
    return img;
}

inline TColor Pixel(const QImage& img, int x, int y) {
    return ToTColor(img.pixelColor(x, y));
}
inline int Alpha(const QImage& img, int x, int y) {
    return img.pixelColor(x, y).alpha();
}

inline QByteArray Hex(TColor c) {
    return QByteArray::number(static_cast<uint>(ColorToRGB(c)) & 0xFFFFFFu, 16);
}

// The pixel is exactly the colour (system colours resolved).
inline bool IsColor(const QImage& img, int x, int y, TColor expected, QByteArray& why) {
    const TColor got = Pixel(img, x, y);
    if (got == ColorToRGB(expected) && Alpha(img, x, y) == 255) return true;
    why = "pixel (" + QByteArray::number(x) + "," + QByteArray::number(y) + ") is " + Hex(got) +
          " alpha " + QByteArray::number(Alpha(img, x, y)) + ", expected " + Hex(expected);
    return false;
}

// The pixel is near the colour (for antialiased curves).
inline bool NearColor(const QImage& img, int x, int y, TColor expected, int tolerance,
                      QByteArray& why) {
    const TColor got = Pixel(img, x, y), e = ColorToRGB(expected);
    const int d =
        std::max({std::abs(GetRValue(got) - GetRValue(e)), std::abs(GetGValue(got) - GetGValue(e)),
                  std::abs(GetBValue(got) - GetBValue(e))});
    if (d <= tolerance) return true;
    why = "pixel (" + QByteArray::number(x) + "," + QByteArray::number(y) + ") is " + Hex(got) +
          ", expected about " + Hex(expected);
    return false;
}

inline bool Contains(const QImage& img, TColor color) {
    const TColor c = ColorToRGB(color);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (Pixel(img, x, y) == c && Alpha(img, x, y) == 255) return true;
    return false;
}

} // namespace widgettest

#define CHECK_PIXEL(img, x, y, color)                                                              \
    do {                                                                                           \
        QByteArray why_;                                                                           \
        QVERIFY2(widgettest::IsColor(img, x, y, color, why_), why_.constData());                   \
    } while (false)

#define CHECK_NEAR(img, x, y, color, tolerance)                                                    \
    do {                                                                                           \
        QByteArray why_;                                                                           \
        QVERIFY2(widgettest::NearColor(img, x, y, color, tolerance, why_), why_.constData());      \
    } while (false)

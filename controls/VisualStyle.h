#pragma once

#include <QRect>

class QPainter;
class QStyle;
class QWidget;

// Whether faces are "themed": here the classic look is Qt's "Windows" style
// (QWindowsStyle, the classic Windows 9x/2000 look), and any other style
// (Fusion, a desktop's own) is a visual style that draws push-button faces
// itself. The style asked is the theme window's (else the application's).
bool IsThemeActive(const QWidget* themeWindow);
QStyle* StyleOf(const QWidget* themeWindow);

// The push-button states of a themed face, numbered as the visual-styles
// library numbers them.
enum TkxThemeButtonState : int {
    pbsNormal = 1,
    pbsHot = 2,
    pbsPressed = 3,
    pbsDisabled = 4,
    pbsDefaulted = 5,
};

// A push-button face in that state drawn by the theme window's style.
void DrawThemeButtonBackground(QPainter& canvas, const QWidget* themeWindow, const QRect& rect,
                               TkxThemeButtonState state);

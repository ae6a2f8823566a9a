#pragma once

#include "export/view/Color.h"

#include <QRect>

class QPainter;

// The 3D edges of the classic look, in the colours and pixel order of the
// Windows primitives they stand for: an edge is one or two rings of one
// pixel, each with a colour for its top and left sides and one for its
// bottom and right sides (which own the top-right and bottom-left corners).
enum TkxEdge : unsigned {
    edRaisedOuter = 1, // 3D light / 3D dark shadow
    edSunkenOuter = 2, // button shadow / button highlight
    edRaisedInner = 4, // button highlight / button shadow
    edSunkenInner = 8, // 3D dark shadow / 3D light
    edOuter = edRaisedOuter | edSunkenOuter,
    edInner = edRaisedInner | edSunkenInner,
    edRaised = edRaisedOuter | edRaisedInner,
    edSunken = edSunkenOuter | edSunkenInner,
    edEtched = edSunkenOuter | edRaisedInner,
    edBump = edRaisedOuter | edSunkenInner,
};

// Which sides are drawn, and how.
enum TkxEdgeSides : unsigned {
    esLeft = 1,
    esTop = 2,
    esRight = 4,
    esBottom = 8,
    esTopLeft = esTop | esLeft,
    esBottomRight = esBottom | esRight,
    esRect = esLeft | esTop | esRight | esBottom,
    esMiddle = 0x0800, // fill what the rings leave with the button face
    esAdjust = 0x2000, // shrink the rectangle to what the rings leave
    esFlat = 0x4000,   // a flat border: button shadow, then button face
    esMono = 0x8000,   // a one-colour border: window frame, then window
};

// Draws the edge inside `rect`; with esAdjust `rect` becomes the inside.
void DrawEdge(QPainter& canvas, QRect& rect, unsigned edge, unsigned sides);
inline void DrawEdge(QPainter& canvas, const QRect& rect, unsigned edge, unsigned sides) {
    QRect r = rect;
    DrawEdge(canvas, r, edge, sides & ~static_cast<unsigned>(esAdjust));
}

// A dotted focus rectangle: every other pixel of the border, starting at
// the top-left corner, in the given colour.
void DrawFocusRect(QPainter& canvas, const QRect& rect, TColor color = clBtnText);

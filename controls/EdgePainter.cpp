#include "controls/EdgePainter.h"

#include "controls/ColorConversion.h"

#include <QPainter>

namespace {
struct TRing {
    TColor TopLeft;
    TColor BottomRight;
};

// One ring on the chosen sides of r; the sides drawn move r inwards.
void DrawRing(QPainter& p, QRect& r, const TRing& ring, unsigned sides) {
    if (r.width() <= 0 || r.height() <= 0) return;
    const QColor tl = ToQColor(ring.TopLeft);
    const QColor br = ToQColor(ring.BottomRight);
    if (sides & esTop) p.fillRect(QRect(r.left(), r.top(), r.width(), 1), tl);
    if (sides & esLeft) p.fillRect(QRect(r.left(), r.top(), 1, r.height()), tl);
    if (sides & esBottom) p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), br);
    if (sides & esRight) p.fillRect(QRect(r.right(), r.top(), 1, r.height()), br);
    r.adjust(sides & esLeft ? 1 : 0, sides & esTop ? 1 : 0, sides & esRight ? -1 : 0,
             sides & esBottom ? -1 : 0);
}

TRing OuterRing(unsigned edge, unsigned sides) {
    if (sides & esMono) return {clWindowFrame, clWindowFrame};
    if (sides & esFlat) return {clBtnShadow, clBtnShadow};
    if (edge & edRaisedOuter) return {cl3DLight, cl3DDkShadow};
    return {clBtnShadow, clBtnHighlight};
}

TRing InnerRing(unsigned edge, unsigned sides) {
    if (sides & esMono) return {clWindow, clWindow};
    if (sides & esFlat) return {clBtnFace, clBtnFace};
    if (edge & edRaisedInner) return {clBtnHighlight, clBtnShadow};
    return {cl3DDkShadow, cl3DLight};
}
} // namespace

void DrawEdge(QPainter& canvas, QRect& rect, unsigned edge, unsigned sides) {
    QRect r = rect;
    const unsigned drawn = sides & esRect;
    if (edge & edOuter) DrawRing(canvas, r, OuterRing(edge, sides), drawn);
    if (edge & edInner) DrawRing(canvas, r, InnerRing(edge, sides), drawn);
    if ((sides & esMiddle) && r.width() > 0 && r.height() > 0)
        canvas.fillRect(r, ToQColor(sides & esMono ? clWindow : clBtnFace));
    if (sides & esAdjust) rect = r;
}

void DrawFocusRect(QPainter& canvas, const QRect& rect, TColor color) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    const QColor c = ToQColor(color);
    const int l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    auto dot = [&](int x, int y) {
        if (((x - l) + (y - t)) % 2 == 0) canvas.fillRect(QRect(x, y, 1, 1), c);
    };
    for (int x = l; x <= r; ++x) {
        dot(x, t);
        if (b != t) dot(x, b);
    }
    for (int y = t + 1; y < b; ++y) {
        dot(l, y);
        if (r != l) dot(r, y);
    }
}

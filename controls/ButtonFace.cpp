#include "controls/ButtonFace.h"

#include "controls/ColorConversion.h"
#include "controls/EdgePainter.h"
#include "controls/GraphicUtils.h"
#include "controls/VisualStyle.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
// A rectangle given by its edges, the right and bottom ones outside it.
QRect Edges(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

int RightOf(const QRect& r) {
    return r.left() + r.width();
}
int BottomOf(const QRect& r) {
    return r.top() + r.height();
}

// One shape with its outline on the outermost pixels of `box`, filled
// inside. Rectangles are set pixel by pixel; curves are antialiased, their
// pen running through the centres of the outermost pixels so that the
// straight parts stay one sharp pixel at any device-pixel ratio.
void Shape(QPainter& p, TkxBtnForm form, const QRect& box, int corner, const QColor& pen,
           const QColor& brush) {
    if (box.width() <= 0 || box.height() <= 0) return;
    if (form == efRect) {
        p.fillRect(box, brush);
        p.fillRect(QRect(box.left(), box.top(), box.width(), 1), pen);
        p.fillRect(QRect(box.left(), box.bottom(), box.width(), 1), pen);
        p.fillRect(QRect(box.left(), box.top(), 1, box.height()), pen);
        p.fillRect(QRect(box.right(), box.top(), 1, box.height()), pen);
        return;
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(pen, 1));
    p.setBrush(brush);
    const QRectF rf = QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5);
    if (form == efRoundRect)
        p.drawRoundedRect(rf, corner / 2.0, corner / 2.0);
    else
        p.drawEllipse(rf);
}

QPainterPath Region(TkxBtnForm form, const QRect& box, int corner) {
    QPainterPath path;
    if (box.width() <= 0 || box.height() <= 0) return path;
    if (form == efRect)
        path.addRect(QRectF(box));
    else if (form == efRoundRect)
        path.addRoundedRect(QRectF(box), corner / 2.0, corner / 2.0);
    else
        path.addEllipse(QRectF(box));
    return path;
}

// Lighten (positive) or darken (negative) amounts of the nine bands; 0
// leaves the band as filled.
constexpr int RaisedBands[9] = {36, 30, 24, 18, 12, 6, 0, -6, -12};
constexpr int PressedBands[9] = {-42, -36, -30, -24, -18, -12, -6, 0, 6};

void DrawBands(QPainter& p, const QPainterPath& region, TkxFaceState state, TColor color) {
    QRect b = region.boundingRect().toAlignedRect();
    if (state == fcsHot) b.translate(1, 1);
    const int h = b.height();
    const int q = h / 9;
    const int* amounts = state == fcsDown ? PressedBands : RaisedBands;
    p.save();
    p.setClipPath(region, Qt::IntersectClip);
    for (int k = 0; k < 9; ++k) {
        const int amount = amounts[k];
        if (amount == 0) continue;
        // Rows count from the painter's origin, not from the face.
        const int top = k * q;
        int bottom = k == 8 ? h + 1 : (k + 1) * q + 1;
        if (state == fcsHot) bottom += 2;
        const TColor c = amount > 0 ? LightenColor(color, amount) : DarkenColor(color, -amount);
        p.fillRect(Edges(b.left(), top, RightOf(b), bottom), ToQColor(c));
    }
    p.restore();
}

TkxThemeButtonState ThemeState(const TkxButtonFace& f) {
    const int w = f.Rect.width(), h = f.Rect.height();
    if (f.State == fcsDown) return pbsPressed;
    if (f.State == fcsDisabled) return pbsDisabled;
    if (f.State == fcsHot && w > 17 && h > 17 && f.DrawFocus) return pbsHot;
    return f.Focused ? pbsDefaulted : pbsNormal;
}
} // namespace

int FaceGlyphIndex(const TkxButtonFace& f, bool themed) {
    const int n = std::clamp(f.NumGlyphs, 1, 5);
    switch (f.State) {
    case fcsDisabled:
        return n > 1 ? 1 : 0;
    case fcsDown:
        return n > 3 ? 3 : n > 2 ? 2 : 0;
    case fcsHot:
        return n > 2 ? 2 : 0;
    case fcsNormal:
        return !f.Flat && !themed && f.Focused && n > 4 ? 4 : 0;
    }
    return 0;
}

TkxFaceLayout LayoutButtonFace(const TkxButtonFace& f, const QFontMetrics& fm) {
    TkxFaceLayout L;
    const QRect R = f.Rect;
    const int W = R.width(), H = R.height();
    L.Themed = f.Shadowed && IsThemeActive(f.ThemeWindow);
    QRect content = R;
    if (!L.Themed && f.State == fcsDown) content.translate(1, 1);
    if (f.DropDown) content.setRight(content.right() - 13);
    L.Content = content;
    L.GlyphIndex = FaceGlyphIndex(f, L.Themed);

    const int n = std::clamp(f.NumGlyphs, 1, 5);
    int gw = 0, gh = 0;
    if (!f.Glyph.isNull()) {
        const QSizeF size = f.Glyph.deviceIndependentSize();
        gw = static_cast<int>(size.width()) / n;
        gh = static_cast<int>(size.height());
    }
    L.GlyphWidth = gw;
    const int hw = W / 2, hh = H / 2;
    const int cx = content.left() + content.width() / 2;
    QString caption = f.Caption;
    int tw = caption.isEmpty() ? 0 : fm.horizontalAdvance(caption);
    int total = 0;
    L.CaptionAlign = Qt::AlignHCenter;
    if (gw > 0 && !caption.isEmpty()) {
        total = tw + gw + 6;
        if (total > W - 19) {
            total = W - 19;
            caption = ShortenCaption(caption, fm, W - gw - 22);
            tw = fm.horizontalAdvance(caption);
        }
        QRect text;
        if (f.GlyphRight) {
            L.GlyphPos.setX(cx + total / 2 - gw);
            // The right edge counts from the painter's origin.
            text = Edges(content.left(), content.top() + 1, tw + hw - total / 2,
                         BottomOf(content) - 1);
            L.CaptionAlign = Qt::AlignRight;
        } else {
            L.GlyphPos.setX(cx - total / 2);
            text = Edges(cx + gw - total / 2 + 6, content.top() + 1, RightOf(content),
                         BottomOf(content) - 1);
            L.CaptionAlign = Qt::AlignLeft;
        }
        L.CaptionRect = text.adjusted(2, 0, -2, 0);
        L.GlyphPos.setY(content.top() + hh - gh / 2);
    } else if (gw > 0) {
        L.GlyphPos = QPoint(cx - gw / 2, content.top() + hh - gh / 2);
    } else if (!caption.isEmpty()) {
        L.CaptionRect = content;
    }
    L.Caption = caption;
    L.CaptionWidth = tw;
    L.Total = total;

    int left = R.left() + 3, top = R.top() + 3;
    int right = RightOf(R) - 3, bottom = BottomOf(R) - 3;
    if (f.EdgeForm == efEllipse) {
        const int t = total != 0 ? total : tw != 0 ? tw : gw;
        left = hw - t / 2 - 3;
        right = hw + t - t / 2 + 3;
        if (hw > 0) {
            // The ellipse's half height where the rectangle's sides cut it.
            const double d = double(hw) * hw - double(t / 2) * (t / 2);
            const int m = static_cast<int>(std::nearbyint(std::sqrt(std::max(0.0, d)) * hh / hw));
            top -= m - hh - 1;
            bottom += m - hh - 1;
        }
    }
    L.FocusRect = Edges(left, top, right, bottom);
    if (f.State == fcsDown) L.FocusRect.translate(1, 1);
    return L;
}

void DrawButtonFace(QPainter& p, const TkxButtonFace& f) {
    p.save();
    const QRect R = f.Rect;
    const int W = R.width(), H = R.height();
    const int corner = FaceCorner(W, H);
    const TkxBtnForm form = f.EdgeForm;
    const bool themed = f.Shadowed && IsThemeActive(f.ThemeWindow);
    const QColor shadow = ToQColor(clBtnShadow);
    const QColor highlight = ToQColor(clBtnHighlight);
    const QColor frame = ToQColor(clWindowFrame);
    const QColor face = ToQColor(f.FaceColor);
    const QColor hot = ToQColor(f.HotColor);
    const QRect lessRightBottom = R.adjusted(0, 0, -1, -1);
    const QRect inset1 = R.adjusted(1, 1, -1, -1);
    const QRect inset2 = R.adjusted(2, 2, -2, -2);

    // First stage: the face.
    bool painted = false;
    QPainterPath region;
    if (themed) {
        DrawThemeButtonBackground(p, f.ThemeWindow, R, ThemeState(f));
        painted = true;
    } else {
        switch (f.State) {
        case fcsDisabled:
            if (f.Flat) break;
            Shape(p, form, R, corner, shadow, face);
            if (form != efRect) Shape(p, form, lessRightBottom, corner, highlight, face);
            painted = true;
            break;
        case fcsDown:
            Shape(p, form, R, corner, frame, hot);
            if (!f.Flat) Shape(p, form, inset1, corner, shadow, hot);
            region = Region(form, f.Flat ? inset1 : inset2, corner);
            painted = true;
            break;
        case fcsHot:
            if (form == efRect) {
                p.fillRect(R, hot);
                DrawEdge(p, R, f.Flat ? edRaisedInner : edRaised, esRect);
                region = Region(form, f.Flat ? inset1 : inset2, corner);
            } else {
                if (f.Flat) {
                    Shape(p, form, R, corner, shadow, hot);
                    Shape(p, form, lessRightBottom, corner, highlight, hot);
                } else {
                    Shape(p, form, R, corner, frame, hot);
                    Shape(p, form, lessRightBottom, corner, shadow, hot);
                    Shape(p, form, inset1, corner - 1, highlight, hot);
                }
                region = Region(form, inset1, corner);
            }
            painted = true;
            break;
        case fcsNormal:
            if (f.Flat) break;
            if (form == efRect) {
                p.fillRect(R, face);
                DrawEdge(p, R, edRaisedInner, esRect);
            } else {
                Shape(p, form, R, corner, shadow, face);
                Shape(p, form, lessRightBottom, corner, highlight, face);
            }
            region = Region(form, inset1, corner);
            painted = true;
            break;
        }
    }
    if (!painted) {
        // A flat face at rest or disabled: filled, its outline invisible
        // unless it may show a focus rectangle.
        const QColor pen = f.Flat && !f.DrawFocus ? face : shadow;
        Shape(p, form, form == efEllipse ? inset1 : R, corner, pen, face);
    }
    if (f.Shadowed && !themed && f.State != fcsDisabled && !(f.State == fcsNormal && f.Flat) &&
        !region.isEmpty())
        DrawBands(p, region, f.State, f.State == fcsNormal ? f.FaceColor : f.HotColor);

    // Second stage: the content.
    const TkxFaceLayout L = LayoutButtonFace(f, QFontMetrics(p.font()));
    const QString& caption = L.Caption;
    QRect textRect = L.CaptionRect;
    const int n = std::clamp(f.NumGlyphs, 1, 5);
    const int gw = L.GlyphWidth;
    const int gh = gw > 0 ? static_cast<int>(f.Glyph.deviceIndependentSize().height()) : 0;
    const int gx = L.GlyphPos.x(), gy = L.GlyphPos.y();

    if (!caption.isEmpty()) {
        const int flags =
            L.CaptionAlign | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
        auto draw = [&](const QRect& r, const QColor& c) {
            p.setPen(c);
            p.drawText(r, flags, caption);
        };
        const bool lit = f.State == fcsHot || f.State == fcsDown;
        QColor color = ToQColor(f.FontColor);
        if (f.State == fcsDisabled) {
            draw(textRect.translated(1, 1), Qt::white);
            color = ToQColor(clGrayText);
        } else if (lit && f.HiLightMode == 1) {
            draw(textRect.translated(-1, -1), highlight);
        } else if (lit && f.HiLightMode == 2) {
            draw(textRect, ToQColor(clGrayText));
            if (f.State == fcsHot) textRect.translate(-2, -2);
        }
        if (f.Focused && f.FocusText) color = ToQColor(f.FocusTextColor);
        if (f.GlyphRight && f.State == fcsDown) textRect.translate(1, 0);
        draw(textRect, color);
    }

    if (f.Focused && f.DrawFocus) DrawFocusRect(p, L.FocusRect);

    if (gw > 0 && gh > 0) {
        if (n == 1 && f.State == fcsDisabled) {
            DrawDisabledBitmap(p, gx, gy, f.Glyph, GlyphKeyColor(f.Glyph));
        } else {
            const qreal dpr = f.Glyph.devicePixelRatio();
            const int index = L.GlyphIndex;
            QPixmap image = f.Glyph.copy(
                QRect(qRound(index * gw * dpr), 0, qRound(gw * dpr), qRound(gh * dpr)));
            image.setDevicePixelRatio(dpr);
            const TColor key = GlyphKeyColor(image);
            int shift = 0;
            if (f.State == fcsDown && f.HiLightMode != 3 && W >= 20 && H >= 20) {
                shift = 1;
            } else if (f.State == fcsHot && f.HiLightMode == 3) {
                // Lifted: a grey shadow below right, the glyph above left.
                DrawSilhouette(p, gx + 1, gy + 1, image, key, clBtnShadow);
                shift = -1;
            }
            DrawKeyedBitmap(p, gx + shift, gy + shift, image, key);
        }
    }

    if (f.DropDown) {
        const bool disabled = f.State == fcsDisabled;
        const QColor c = disabled ? shadow : ToQColor(clBtnText);
        const int k = f.DropDownPressed && !disabled ? 1 : 0;
        const int cy = (R.top() + BottomOf(R)) / 2;
        const int r = RightOf(R);
        // The triangle (r-10, cy-1), (r-6, cy-1), (r-8, cy+1), filled.
        p.fillRect(QRect(r - 10 + k, cy - 1 + k, 5, 1), c);
        p.fillRect(QRect(r - 9 + k, cy + k, 3, 1), c);
        p.fillRect(QRect(r - 8 + k, cy + 1 + k, 1, 1), c);
    }
    p.restore();
}

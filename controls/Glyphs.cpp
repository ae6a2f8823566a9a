#include "controls/Glyphs.h"

#include "controls/ColorConversion.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <array>
#include <functional>

namespace {
constexpr int Size = 16;

QImage Canvas(int width, qreal dpr) {
    QImage img(qRound(width * dpr), qRound(Size * dpr), QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    return img;
}

QImage Draw(qreal dpr, const std::function<void(QPainter&)>& paint) {
    QImage img = Canvas(Size, dpr);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    paint(p);
    return img;
}

void Polygon(QPainter& p, std::initializer_list<QPointF> points, const QColor& c) {
    p.setBrush(c);
    p.drawPolygon(QPolygonF(QList<QPointF>(points)));
}

void Box(QPainter& p, qreal x, qreal y, qreal w, qreal h, const QColor& c) {
    p.fillRect(QRectF(x, y, w, h), c);
}

const QColor Ink(0, 0, 0);
const QColor Green(0, 128, 0);
const QColor Red(192, 0, 0);
const QColor Blue(0, 70, 170);

// The ten navigator images: arrows in ink, editing marks in colour.
void PaintNavigator(QPainter& p, int index) {
    switch (index) {
    case 0: // first
        Box(p, 4, 4, 2, 8, Ink);
        Polygon(p, {{11, 4}, {11, 12}, {7, 8}}, Ink);
        break;
    case 1: // prior
        Polygon(p, {{10, 4}, {10, 12}, {6, 8}}, Ink);
        break;
    case 2: // next
        Polygon(p, {{6, 4}, {6, 12}, {10, 8}}, Ink);
        break;
    case 3: // last
        Polygon(p, {{5, 4}, {5, 12}, {9, 8}}, Ink);
        Box(p, 10, 4, 2, 8, Ink);
        break;
    case 4: // insert
        Box(p, 7, 3, 2, 10, Ink);
        Box(p, 3, 7, 10, 2, Ink);
        break;
    case 5: // delete
        Box(p, 3, 7, 10, 2, Ink);
        break;
    case 6: // edit: a pencil
        Polygon(p, {{3, 13}, {3, 10}, {10, 3}, {13, 6}, {6, 13}}, QColor(230, 170, 30));
        Polygon(p, {{3, 13}, {3, 10}, {6, 13}}, Ink);
        Polygon(p, {{10, 3}, {11, 2}, {14, 5}, {13, 6}}, Red);
        break;
    case 7: // post: a tick
        Polygon(p, {{2, 8}, {4, 6}, {6, 8}, {12, 2}, {14, 4}, {6, 12}}, Green);
        break;
    case 8: // cancel: a cross
        Polygon(p, {{3, 5}, {5, 3}, {13, 11}, {11, 13}}, Red);
        Polygon(p, {{11, 3}, {13, 5}, {5, 13}, {3, 11}}, Red);
        break;
    case 9: { // refresh: a circling arrow
        QPainterPath arc;
        arc.arcMoveTo(QRectF(3, 3, 10, 10), 90);
        arc.arcTo(QRectF(3, 3, 10, 10), 90, 270);
        p.strokePath(arc, QPen(Blue, 2, Qt::SolidLine, Qt::FlatCap));
        Polygon(p, {{8, 0}, {12, 4}, {8, 8}}, Blue);
        break;
    }
    default:
        break;
    }
}

void PaintTool(QPainter& p, TkxToolGlyph glyph) {
    switch (glyph) {
    case tgOpen: {
        const QColor edge(128, 96, 0), body(240, 200, 80), front(250, 224, 120);
        Box(p, 1, 3, 6, 2, edge);
        Box(p, 1, 4, 13, 10, edge);
        Box(p, 2, 5, 11, 8, body);
        Polygon(p, {{4, 7}, {15, 7}, {13, 14}, {1, 14}}, edge);
        Polygon(p, {{5, 8}, {14, 8}, {12.5, 13}, {2.5, 13}}, front);
        break;
    }
    case tgExport: {
        Box(p, 2, 1, 9, 14, Ink);
        Box(p, 3, 2, 7, 12, Qt::white);
        for (int y = 4; y <= 10; y += 2)
            Box(p, 4, y, 5, 1, QColor(128, 128, 128));
        Box(p, 8, 7, 5, 2, Green);
        Polygon(p, {{12, 4}, {16, 8}, {12, 12}}, Green);
        break;
    }
    case tgFix: {
        Box(p, 1, 2, 14, 12, QColor(96, 96, 96));
        Box(p, 2, 3, 12, 10, Qt::white);
        Box(p, 2, 3, 4, 10, QColor(90, 140, 220));
        for (int y = 6; y <= 12; y += 3)
            Box(p, 2, y, 12, 1, QColor(160, 160, 160));
        Box(p, 6, 3, 1, 10, QColor(96, 96, 96));
        Box(p, 10, 3, 1, 10, QColor(160, 160, 160));
        break;
    }
    case tgOptions:
        for (int row = 0; row < 3; ++row) {
            const int y = 2 + row * 5;
            Box(p, 1, y, 4, 4, Ink);
            Box(p, 2, y + 1, 2, 2, Qt::white);
            Box(p, 7, y + 1, 8, 2, Ink);
        }
        Box(p, 2, 3, 2, 2, Green);
        Box(p, 2, 13, 2, 2, Green);
        break;
    case tgHelp: {
        QPainterPath hook;
        hook.arcMoveTo(QRectF(4, 1.5, 8, 7), 180);
        hook.arcTo(QRectF(4, 1.5, 8, 7), 180, -250);
        p.strokePath(hook, QPen(Blue, 2.5, Qt::SolidLine, Qt::FlatCap));
        Box(p, 7, 8, 2.5, 3, Blue);
        Box(p, 7, 12, 2.5, 2.5, Blue);
        break;
    }
    case tgAbout:
        p.setBrush(Blue);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        Box(p, 7, 4, 2, 2, Qt::white);
        Box(p, 7, 7, 2, 5, Qt::white);
        Box(p, 6, 11, 4, 1, Qt::white);
        break;
    case tgFind:
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Ink, 2));
        p.drawEllipse(QRectF(2, 2, 8, 8));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 230, 255));
        p.drawEllipse(QRectF(3, 3, 6, 6));
        Polygon(p, {{9, 11}, {11, 9}, {15, 13}, {13, 15}}, Ink);
        break;
    }
}

// The embossed look of a disabled image: its shape in button highlight one
// pixel right and down, then in button shadow.
QImage Embossed(const QImage& enabled) {
    const qreal dpr = enabled.devicePixelRatio();
    auto shape = [&](const QColor& c) {
        QImage m = enabled.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter p(&m);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(QRectF(0, 0, Size, Size), c);
        return m;
    };
    QImage out = Canvas(Size, dpr);
    QPainter p(&out);
    p.drawImage(QPointF(1, 1), shape(ToQColor(clBtnHighlight)));
    p.drawImage(QPointF(0, 0), shape(ToQColor(clBtnShadow)));
    return out;
}
} // namespace

QPixmap NavigatorGlyph(int index, qreal dpr) {
    if (index < 0 || index > 9) return QPixmap();
    const QImage enabled = Draw(dpr, [&](QPainter& p) { PaintNavigator(p, index); });
    QImage strip = Canvas(2 * Size, dpr);
    QPainter p(&strip);
    p.drawImage(QPointF(0, 0), enabled);
    p.drawImage(QPointF(Size, 0), Embossed(enabled));
    p.end();
    return QPixmap::fromImage(strip);
}

QPixmap ToolGlyph(TkxToolGlyph glyph, qreal dpr) {
    return QPixmap::fromImage(Draw(dpr, [&](QPainter& p) { PaintTool(p, glyph); }));
}

QPixmap LoadGlyph(std::string_view name, qreal dpr) {
    if (name.size() == 5 && name.substr(0, 4) == "DBG_" && name[4] >= '0' && name[4] <= '9')
        return NavigatorGlyph(name[4] - '0', dpr);
    static constexpr std::array<std::string_view, ToolGlyphCount> Tools = {
        "TOOL_OPEN", "TOOL_EXPORT", "TOOL_FIX", "TOOL_OPTIONS",
        "TOOL_HELP", "TOOL_ABOUT",  "TOOL_FIND"};
    for (size_t i = 0; i < Tools.size(); ++i)
        if (name == Tools[i]) return ToolGlyph(static_cast<TkxToolGlyph>(i), dpr);
    return QPixmap();
}

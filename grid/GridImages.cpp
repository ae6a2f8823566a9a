#include "grid/GridImages.h"

#include "export/view/GridGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>
#include <cmath>
#include <cstring>

namespace {
constexpr QRgb Magenta = 0xFFFF00FFu;

// One text per row: 'm' magenta (the key), 'g' button shadow grey,
// 'w' white, 'k' black.
QImage FromRows(const char* const* rows, int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            QRgb c = Magenta;
            switch (rows[y][x]) {
            case 'g':
                c = 0xFF808080u;
                break;
            case 'w':
                c = 0xFFFFFFFFu;
                break;
            case 'k':
                c = 0xFF000000u;
                break;
            default:
                break;
            }
            img.setPixel(x, y, c);
        }
    return img;
}

// The classic markers: an etched triangle, shadow on the left slope and
// light on the right one.
const char* const SortUpRows[] = {
    "mmmmmmmmmm", //
    "mmmmgwmmmm", //
    "mmmmgwmmmm", //
    "mmmggwwmmm", //
    "mmmgmmwmmm", //
    "mmggmmwwmm", //
    "mmgmmmmwmm", //
    "mggwwwwwwm", //
    "mmmmmmmmmm", //
};
const char* const SortDownRows[] = {
    "mmmmmmmmmm", //
    "mggggggwwm", //
    "mmgmmmmwmm", //
    "mmggmmwwmm", //
    "mmmgmmwmmm", //
    "mmmggwwmmm", //
    "mmmmgwmmmm", //
    "mmmmgwmmmm", //
    "mmmmmmmmmm", //
};

QImage FromGlyph(const char* name) {
    const TGridGlyph* g = FindGridGlyph(name);
    QImage img(g->Width, g->Height, QImage::Format_ARGB32);
    for (int y = 0; y < g->Height; ++y)
        for (int x = 0; x < g->Width; ++x)
            img.setPixel(x, y, GridGlyphPixel(*g, x, y));
    return img;
}

// A triangle whose tip is `length` away from the centre in direction
// (dx, dy), 7 pixels wide at its base.
QPolygonF Arrow(QPointF centre, double dx, double dy, double from, double length) {
    const double n = std::hypot(dx, dy);
    dx /= n;
    dy /= n;
    const QPointF tip = centre + QPointF(dx, dy) * length;
    const QPointF base = centre + QPointF(dx, dy) * from;
    const QPointF side(-dy * 3.5, dx * 3.5);
    return QPolygonF({tip, base + side, base - side});
}

// The origin mark: a round plate with a dot and the arrows of the axes,
// drawn pixel-sharp on magenta (it is keyed by that colour).
QImage MakeOriginMark(bool horizontal, bool vertical) {
    QImage img(26, 26, QImage::Format_ARGB32);
    img.fill(Magenta);
    QPainter p(&img);
    p.setPen(QColor(0, 0, 0));
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(QRect(1, 1, 23, 23));
    p.setBrush(QColor(0, 0, 0));
    p.drawEllipse(QRect(11, 11, 3, 3));
    const QPointF c(12.5, 12.5);
    if (vertical) {
        p.drawPolygon(Arrow(c, 0, -1, 4, 9));
        p.drawPolygon(Arrow(c, 0, 1, 4, 9));
    }
    if (horizontal) {
        p.drawPolygon(Arrow(c, -1, 0, 4, 9));
        p.drawPolygon(Arrow(c, 1, 0, 4, 9));
    }
    return img;
}

// 401: the four arrows around a dot; the others: a dot and the arrow of
// their direction.
QImage MakeCursorImage(int id) {
    QImage img(32, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(16, 16);
    p.setPen(QPen(QColor(255, 255, 255), 1.5));
    p.setBrush(QColor(0, 0, 0));
    p.drawEllipse(c, 2.5, 2.5);
    struct TDir {
        int Id;
        double Dx, Dy;
    };
    static const TDir dirs[] = {{402, 0, 1},  {403, -1, 0},  {404, 1, 0}, {405, 0, -1},
                                {406, 1, -1}, {407, -1, -1}, {408, 1, 1}, {409, -1, 1}};
    for (const TDir& d : dirs) {
        const bool neutral = id == 401 && (d.Dx == 0 || d.Dy == 0);
        if (!neutral && d.Id != id) continue;
        p.drawPolygon(Arrow(c, d.Dx, d.Dy, neutral ? 6 : 5, neutral ? 13 : 15));
    }
    return img;
}

// A small table: a blue title row over white cells with grey lines.
QImage MakeProgramIcon() {
    QImage img(32, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.fillRect(QRect(2, 4, 28, 24), QColor(0, 0, 0));
    p.fillRect(QRect(3, 5, 26, 22), QColor(255, 255, 255));
    p.fillRect(QRect(3, 5, 26, 6), QColor(0, 0, 160));
    for (int y = 16; y < 27; y += 5)
        p.fillRect(QRect(3, y, 26, 1), QColor(128, 128, 128));
    for (int x = 11; x < 29; x += 9)
        p.fillRect(QRect(x, 11, 1, 16), QColor(128, 128, 128));
    return img;
}

const QImage& Null() {
    static const QImage none;
    return none;
}
} // namespace

const QImage& GridImage(int index) {
    static const std::array<QImage, 8> images = {
        FromGlyph("DBG_BLOB"), FromGlyph("DBG_MEMO"),         FromGlyph("DBG_PIC"),
        FromGlyph("DBG_OLE"),  FromRows(SortDownRows, 10, 9), FromRows(SortUpRows, 10, 9),
        FromGlyph("DBG_TRUE"), FromGlyph("DBG_FALSE"),
    };
    if (index < 0 || index >= static_cast<int>(images.size())) return Null();
    return images[static_cast<size_t>(index)];
}

const QImage& LoadGridBitmap(std::string_view name) {
    static const char* const names[] = {"DBG_BLOB",   "DBG_MEMO", "DBG_PIC",  "DBG_OLE",
                                        "DBG_SMDOWN", "DBG_SMUP", "DBG_TRUE", "DBG_FALSE"};
    for (int i = 0; i < 8; ++i)
        if (name == names[i]) return GridImage(i);
    if (name == "DBG_INTEL1") return OriginMark(ipBoth);
    if (name == "DBG_INTEL2") return OriginMark(ipHorz);
    if (name == "DBG_INTEL3") return OriginMark(ipVert);
    return Null();
}

const QImage& OriginMark(TIntelliPan pan) {
    static const QImage both = MakeOriginMark(true, true);
    static const QImage horz = MakeOriginMark(true, false);
    static const QImage vert = MakeOriginMark(false, true);
    switch (pan) {
    case ipBoth:
        return both;
    case ipHorz:
        return horz;
    case ipVert:
        return vert;
    default:
        return Null();
    }
}

const QImage& AutoScrollCursorImage(int id) {
    static const std::array<QImage, 9> images = [] {
        std::array<QImage, 9> a;
        for (int i = 0; i < 9; ++i)
            a[static_cast<size_t>(i)] = MakeCursorImage(401 + i);
        return a;
    }();
    if (id < 401 || id > 409) return Null();
    return images[static_cast<size_t>(id - 401)];
}

QCursor AutoScrollCursor(int id) {
    const QImage& img = AutoScrollCursorImage(id);
    if (img.isNull()) return QCursor(Qt::ArrowCursor);
    return QCursor(QPixmap::fromImage(img), 16, 16);
}

const QImage& ProgramIcon() {
    static const QImage icon = MakeProgramIcon();
    return icon;
}

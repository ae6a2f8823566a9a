#pragma once

#include "export/view/Color.h"

#include <QPixmap>
#include <QRect>
#include <QString>

class QFontMetrics;
class QPainter;
class QWidget;

// The edge shape of flat buttons: grid titles, navigator and tool buttons.
enum TkxBtnForm : int { efRect, efRoundRect, efEllipse };

// The four looks of a face.
enum TkxFaceState : int { fcsNormal = 0, fcsDisabled = 1, fcsDown = 2, fcsHot = 3 };

// Everything a face is painted from, in the painter's order. Rect is in the
// painter's coordinates; the shading bands and a few caption and focus
// positions count from the painter's origin (not from Rect), so a caller
// that paints a face away from the origin translates the painter first.
struct TkxButtonFace {
    const QWidget* ThemeWindow =
        nullptr;   // whose style draws themed faces (none: the application's)
    QPixmap Glyph; // a strip of NumGlyphs equal images, or null
    QString Caption;
    QRect Rect;
    TColor FaceColor = clBtnFace;  // normal and disabled
    TColor HotColor = clBtnFace;   // down and hot
    TColor FocusTextColor = clRed; // caption while focused, with FocusText
    int NumGlyphs = 1;             // 1 to 5
    TkxFaceState State = fcsNormal;
    TkxBtnForm EdgeForm = efRect;
    int HiLightMode = 0; // 0 to 3: caption and glyph effect when hot or down
    bool Focused = false;
    bool Flat = false;
    bool GlyphRight = false;
    bool Shadowed = true; // shading bands, or the theme's face
    bool FocusText = false;
    bool DrawFocus = false;       // focus rectangle; also allows the themed hot look
    bool DropDown = false;        // 13 pixels on the right for a drop-down arrow
    bool DropDownPressed = false; // the arrow one pixel right and down
    TColor FontColor = clBtnText; // the caption's colour (the painter's font is used)
};

// Paints the face: its shape, outline and shading (or the theme's face),
// then glyph, caption, focus rectangle and drop-down arrow.
void DrawButtonFace(QPainter& canvas, const TkxButtonFace& face);

// Where the content of a face goes, as DrawButtonFace places it.
struct TkxFaceLayout {
    bool Themed = false;
    QRect Content;        // moved right and down when pressed, less the arrow part
    int GlyphIndex = 0;   // image of the strip shown
    int GlyphWidth = 0;   // one image's width; 0 without a glyph
    QPoint GlyphPos;      // before the press and lift offsets
    QString Caption;      // shortened when it does not fit beside the glyph
    int CaptionWidth = 0; // of Caption
    QRect CaptionRect;    // before the highlight offsets
    int CaptionAlign = 0; // horizontal alignment flag
    int Total = 0;        // glyph, gap and caption together (with both)
    QRect FocusRect;      // where the focus rectangle is drawn, when it is
};
TkxFaceLayout LayoutButtonFace(const TkxButtonFace& face, const QFontMetrics& metrics);

// The corner size of rounded faces of that size: 5, or 3 for small faces.
constexpr int FaceCorner(int width, int height) {
    return width > 20 && height > 20 ? 5 : 3;
}

// Which image of a strip a face shows.
int FaceGlyphIndex(const TkxButtonFace& face, bool themed);

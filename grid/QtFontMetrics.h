#pragma once

#include "export/view/FontMetrics.h"

#include <QFont>
#include <QFontMetrics>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// A font of the export model as Qt draws it: the name goes through the
// font substitutions, the size in points of the design becomes pixels at
// 96 DPI (8 points: 11 pixels), as every window's text does.
QFont ToQFont(const TFont& font);

// Widths and heights measured with the real fonts, as the grid lays out its
// columns. Measured fonts are kept, so a measure costs no font lookup.
class TQtFontMetrics : public TFontMetrics {
public:
    int TextWidth(const TFont& font, std::string_view text) const override;
    int TextHeight(const TFont& font) const override;
    int Overhang(const TFont& font) const override;
    int PixelsPerInch() const override { return 96; }

    const QFontMetrics& Of(const TFont& font) const;
    // The Qt font of a font, made once.
    const QFont& QtFont(const TFont& font) const;
    static const TQtFontMetrics& Instance();

private:
    struct TEntry {
        TFont Font;
        QFont Qt;
        QFontMetrics Metrics;
        // Column layout measures the same few texts again and again.
        std::unordered_map<std::string, int> Widths;
    };
    TEntry& EntryOf(const TFont& font) const;
    mutable std::vector<std::unique_ptr<TEntry>> fCache;
};

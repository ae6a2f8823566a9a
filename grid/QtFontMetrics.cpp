#include "grid/QtFontMetrics.h"

#include "controls/FontSubstitutions.h"
#include "controls/Utf8Text.h"

QFont ToQFont(const TFont& font) {
    QFont f(ToQString(font.Name));
    f.setPixelSize(DesignedPixelSize(font.Size > 0 ? font.Size : 8));
    f.setBold((font.Style & fsBold) != 0);
    f.setItalic((font.Style & fsItalic) != 0);
    f.setUnderline((font.Style & fsUnderline) != 0);
    f.setStrikeOut((font.Style & fsStrikeOut) != 0);
    return f;
}

TQtFontMetrics::TEntry& TQtFontMetrics::EntryOf(const TFont& font) const {
    for (const auto& e : fCache)
        if (e->Font.Name == font.Name && e->Font.Size == font.Size && e->Font.Style == font.Style)
            return *e;
    // A handful of fonts at most: the grid's, the titles' and a column's own.
    if (fCache.size() >= 64) fCache.erase(fCache.begin());
    const QFont f = ToQFont(font);
    fCache.push_back(std::make_unique<TEntry>(TEntry{font, f, QFontMetrics(f), {}}));
    return *fCache.back();
}

const QFontMetrics& TQtFontMetrics::Of(const TFont& font) const {
    return EntryOf(font).Metrics;
}

const QFont& TQtFontMetrics::QtFont(const TFont& font) const {
    return EntryOf(font).Qt;
}

int TQtFontMetrics::TextWidth(const TFont& font, std::string_view text) const {
    TEntry& e = EntryOf(font);
    const std::string key(text);
    if (auto it = e.Widths.find(key); it != e.Widths.end()) return it->second;
    if (e.Widths.size() >= 4096) e.Widths.clear();
    const int w = e.Metrics.horizontalAdvance(ToQString(text));
    e.Widths.emplace(key, w);
    return w;
}

int TQtFontMetrics::TextHeight(const TFont& font) const {
    return Of(font).height();
}

// Qt's advances already hold what an italic or bold face needs.
int TQtFontMetrics::Overhang(const TFont&) const {
    return 0;
}

const TQtFontMetrics& TQtFontMetrics::Instance() {
    static const TQtFontMetrics metrics;
    return metrics;
}

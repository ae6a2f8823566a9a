#include "controls/FontSubstitutions.h"

#include <QStringList>

void InstallFontSubstitutions() {
    static bool done = false;
    if (done) return;
    done = true;
    // Liberation Sans at 11 pixels has the 6-pixel digits of the bitmap
    // sans-serif at 8 points (and a 12-pixel line); Liberation Mono keeps Courier
    // New's advances; Impact is narrow and heavy, as Liberation Sans Narrow
    // is when bold. DejaVu follows where Liberation is missing.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                                QStringLiteral("WenQuanYi Zen Hei")});
    QFont::insertSubstitutions(QStringLiteral("Courier New"), {QStringLiteral("Liberation Mono"),
                                                               QStringLiteral("DejaVu Sans Mono")});
    QFont::insertSubstitutions(QStringLiteral("Impact"), {QStringLiteral("Liberation Sans Narrow"),
                                                          QStringLiteral("DejaVu Sans Condensed")});
}

QFont DesignedFont(const QString& family, int points, bool bold) {
    QFont f(family);
    f.setPixelSize(DesignedPixelSize(points));
    f.setBold(bold);
    return f;
}

QFont DialogFont() {
    return DesignedFont(QStringLiteral("MS Sans Serif"), 8);
}

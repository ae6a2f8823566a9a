#include "controls/Hints.h"

#include <QWidget>

QString GetShortHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.left(bar);
}

QString GetLongHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

void ApplyHint(QWidget& widget, const QString& hint, bool showHint) {
    widget.setToolTip(showHint ? GetShortHint(hint) : QString());
    widget.setStatusTip(GetLongHint(hint));
}

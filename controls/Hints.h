#pragma once

#include <QString>

class QWidget;

// A hint is "short|long": the short part is the tooltip, the long part the
// status text (routed to the status bar's first panel). A hint without "|"
// is both.
QString GetShortHint(const QString& hint);
QString GetLongHint(const QString& hint);

// Gives a widget its hint; with showHint off it keeps its status text but
// shows no tooltip.
void ApplyHint(QWidget& widget, const QString& hint, bool showHint = true);

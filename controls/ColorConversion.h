#pragma once

#include "export/view/Color.h"

#include <QColor>

// A colour of the export model as Qt draws it: system colours go through
// the installed resolver (the application's palette when there is one).
QColor ToQColor(TColor color);
// An opaque Qt colour as a plain RGB colour of the export model.
TColor ToTColor(const QColor& color);

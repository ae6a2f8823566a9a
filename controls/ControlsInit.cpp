#include "controls/ControlsInit.h"

#include "controls/FontSubstitutions.h"
#include "controls/PaletteColorResolver.h"

#include <QApplication>

void InitControls() {
    InstallFontSubstitutions();
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setFont(DialogFont());
    InstallApplicationPaletteResolver();
}

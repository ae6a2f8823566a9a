#include "grid/TkxNavDataLink.h"

#include "grid/TkxDBNavigator.h"

void TkxNavDataLink::ActiveChanged() {
    if (fNavigator) fNavigator->ActiveChanged();
}

void TkxNavDataLink::DataSetChanged() {
    if (fNavigator) fNavigator->DataChanged();
}

void TkxNavDataLink::DataSetScrolled(int) {
    if (fNavigator) fNavigator->DataChanged();
}

void TkxNavDataLink::EditingChanged() {
    if (fNavigator) fNavigator->EditingChanged();
}

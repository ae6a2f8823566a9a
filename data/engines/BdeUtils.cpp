#include "data/engines/BdeUtils.h"

#include "data/drivers/TableDriverFactory.h"

namespace {
bool gBdeLoaded = false;
bool gBdeTried = false;
} // namespace

bool BDELoaded() {
    return gBdeLoaded;
}

void InitializeBDE() {
    if (gBdeTried) return;
    gBdeTried = true;
    // The engine runs when it can serve at least one format; a format whose
    // driver is missing fails when such a table is opened, with its own message.
    for (TTableFormat f : {TTableFormat::Dbase, TTableFormat::Paradox, TTableFormat::Text}) {
        try {
            CreateTableDriver(f);
            gBdeLoaded = true;
        } catch (...) {
        }
    }
}

std::string GetBDEDllPath() {
    return std::string();
}

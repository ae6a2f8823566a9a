#include "data/BdeUtils.h"

#include "data/TableDriverFactory.h"

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
    try {
        for (TTableFormat f : {TTableFormat::Dbase, TTableFormat::Paradox, TTableFormat::Text})
            CreateTableDriver(f);
        gBdeLoaded = true;
    } catch (...) {
        gBdeLoaded = false;
    }
}

std::string GetBDEDllPath() {
    return std::string();
}

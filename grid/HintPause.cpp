#include "grid/HintPause.h"

namespace {
int gPause = DefaultHintPause;
int gShortPause = DefaultHintShortPause;
} // namespace

int HintPause() {
    return gPause;
}

int HintShortPause() {
    return gShortPause;
}

void SetHintPauses(int pause, int shortPause) {
    gPause = pause;
    gShortPause = shortPause;
}

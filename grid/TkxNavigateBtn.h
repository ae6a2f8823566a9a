#pragma once

#include <bitset>
#include <initializer_list>

// The navigator's buttons, in their order on the bar.
enum TkxNavigateBtn : int {
    nbFirst,
    nbPrior,
    nbNext,
    nbLast,
    nbInsert,
    nbDelete,
    nbEdit,
    nbPost,
    nbCancel,
    nbRefresh,
};
constexpr int NavButtonCount = 10;

// A set of navigator buttons.
using TkxButtonSet = std::bitset<NavButtonCount>;

inline TkxButtonSet NavButtons(std::initializer_list<TkxNavigateBtn> buttons) {
    TkxButtonSet set;
    for (TkxNavigateBtn b : buttons)
        set.set(static_cast<size_t>(b));
    return set;
}
inline TkxButtonSet AllNavButtons() {
    return TkxButtonSet().set();
}

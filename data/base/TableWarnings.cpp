#include "data/base/TableWarnings.h"

#include <algorithm>

void TTableWarnings::Add(std::string text) {
    if (std::find(fList.begin(), fList.end(), text) != fList.end()) return;
    if (fList.size() >= Limit) {
        fMore = true;
        return;
    }
    fList.push_back(std::move(text));
}

void TTableWarnings::Clear() {
    fList.clear();
    fMore = false;
}

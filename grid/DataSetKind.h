#pragma once

#include "data/base/TextUtils.h"
#include "data/dataset/DataSet.h"

#include <string>

// The two engines' datasets are told apart by their class names, as the
// sorting rules name them: the connection-string kind's start with "tado",
// the index-ordered kind's hold "table" after their first letter.
inline bool IsConnectionStringKind(const TDataSet& ds) {
    return LowerCase(ds.ClassName()).rfind("tado", 0) == 0;
}

inline bool IsIndexOrderedKind(const TDataSet& ds) {
    const std::string n = LowerCase(ds.ClassName());
    return n.size() > 1 && n.find("table", 1) != std::string::npos;
}

#include "data/base/FieldDefs.h"

#include "data/base/TextUtils.h"

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
    TFieldDef def;
    def.Name = name;
    def.DataType = type;
    def.Size = size;
    def.Required = required;
    fItems.push_back(std::move(def));
    return fItems.back();
}

int TFieldDefs::IndexOf(const std::string& name) const {
    for (size_t i = 0; i < fItems.size(); ++i)
        if (SameText(fItems[i].Name, name)) return static_cast<int>(i);
    return -1;
}

TIndexDef& TIndexDefs::Add(const std::string& name, const std::string& fields, unsigned options) {
    fItems.push_back(TIndexDef{name, fields, options});
    return fItems.back();
}

int TIndexDefs::IndexOf(const std::string& name) const {
    for (size_t i = 0; i < fItems.size(); ++i)
        if (fItems[i].Name == name) return static_cast<int>(i);
    return -1;
}

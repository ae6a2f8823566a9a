#pragma once

#include "data/base/FieldType.h"

#include <string>
#include <vector>

// What a table declares about one of its fields, before field objects exist.
struct TFieldDef {
    std::string Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;      // characters of a string, bytes of a bytes field
    int Precision = 0; // digits of a BCD or float field, when the table says
    bool Required = false;
    bool ReadOnly = false;
};

class TFieldDefs {
public:
    TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
    int Count() const { return static_cast<int>(fItems.size()); }
    const TFieldDef& operator[](int i) const { return fItems.at(static_cast<size_t>(i)); }
    TFieldDef& operator[](int i) { return fItems.at(static_cast<size_t>(i)); }
    int IndexOf(const std::string& name) const; // case-insensitive, -1 when missing
    void Clear() { fItems.clear(); }
    auto begin() const { return fItems.begin(); }
    auto end() const { return fItems.end(); }

private:
    std::vector<TFieldDef> fItems;
};

enum TIndexOption : unsigned {
    ixPrimary = 1,
    ixUnique = 2,
    ixDescending = 4,
    ixCaseInsensitive = 8,
    ixExpression = 16,
};

// One index of a table: its name and the fields it orders by, separated by ';'.
struct TIndexDef {
    std::string Name;
    std::string Fields;
    unsigned Options = 0;
};

class TIndexDefs {
public:
    TIndexDef& Add(const std::string& name, const std::string& fields, unsigned options = 0);
    int Count() const { return static_cast<int>(fItems.size()); }
    const TIndexDef& operator[](int i) const { return fItems.at(static_cast<size_t>(i)); }
    int IndexOf(const std::string& name) const; // exact, -1 when missing
    void Clear() { fItems.clear(); }
    auto begin() const { return fItems.begin(); }
    auto end() const { return fItems.end(); }

private:
    std::vector<TIndexDef> fItems;
};

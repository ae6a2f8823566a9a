#pragma once

#include "data/dataset/MemTable.h"
#include "data/locale/FormatSettings.h"

#include <string>
#include <vector>

// Small tables the tests share. Names are given; IDs count from 1.
inline void MakeNameCityTable(TMemTable& t,
                              const std::vector<std::pair<std::string, std::string>>& rows) {
    t.FieldDefs().Clear();
    t.FieldDefs().Add("Name", ftString, 10);
    t.FieldDefs().Add("City", ftString, 10);
    t.Open();
    for (auto& r : rows)
        t.AppendRecord({TValue::OfText(r.first), TValue::OfText(r.second)});
    t.First();
}

inline void MakeNumberedTable(TMemTable& t, int count) {
    t.FieldDefs().Clear();
    t.FieldDefs().Add("ID", ftInteger, 0, true);
    t.FieldDefs().Add("Name", ftString, 10);
    t.Open();
    for (int i = 1; i <= count; ++i)
        t.AppendRecord({TValue::OfInt(i), TValue::OfText("N" + std::to_string(i))});
    t.First();
}

// Switches the locale's conventions for one test and back.
class TScopedFormatSettings {
public:
    explicit TScopedFormatSettings(const TFormatSettings& fs) : fSaved(FormatSettings()) {
        SetFormatSettings(fs);
    }
    ~TScopedFormatSettings() { SetFormatSettings(fSaved); }

private:
    TFormatSettings fSaved;
};

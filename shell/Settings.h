#pragma once

#include <string>

// The most source records one destination line takes.
inline constexpr int MaxRecsPerLine = 100;

class QSettings;

// Every setting of the program with its default and range, in the order
// they are stored. Stored as texts under "Settings": numbers in decimal,
// switches as "0" or "1".
struct TSettings {
    bool IncludeColNames = true;  // column names in the export
    bool IncludeMemoData = false; // memo text instead of its placeholder
    bool IncludeImages = true;    // pictures beside an HTML document
    bool ButtonHints = true;
    bool ColumnHints = true;
    bool DataHints = true;
    bool AlwaysTryADO = true;
    int RecsPerLine = 1; // 1..MaxRecsPerLine
    int FormatType = 0;  // 0 Text, 1 HTML, 2 XML, 3 RTF, 4 XLS, 5 XLSX
    int ActionType = 0;  // 0 file, 1 clipboard, 2 e-mail, 3 open
    std::string Separator = "\t";
    int RangeType = 0; // 0 table, 1 column, 2 record, 3 current to last

    // Reads each value, falling back to its default when it is missing, not
    // a number or out of range.
    void LoadSettings(QSettings& store);
    void SaveSettings(QSettings& store) const;
};

enum TFormatType : int {
    fmtText = 0,
    fmtHTML = 1,
    fmtXML = 2,
    fmtRTF = 3,
    fmtXLS = 4,
    fmtXLSX = 5
};
enum TActionType : int { actFile = 0, actClipboard = 1, actMail = 2, actOpen = 3 };

// The program's own store: organisation "Kessmark", application "Tabulon".
QSettings* CreateSettingsStore();

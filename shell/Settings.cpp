#include "shell/Settings.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace {
const QString Group = QStringLiteral("Settings");

// A stored text as a number; false when missing or not a number.
bool ReadNumber(QSettings& s, const char* name, int& out) {
    QVariant v = s.value(QLatin1String(name));
    if (!v.isValid()) return false;
    bool ok = false;
    int n = v.toString().trimmed().toInt(&ok);
    if (!ok) return false;
    out = n;
    return true;
}

bool ReadBool(QSettings& s, const char* name, bool def) {
    int n;
    return ReadNumber(s, name, n) ? n != 0 : def;
}

int ReadRange(QSettings& s, const char* name, int def, int lo, int hi) {
    int n;
    if (!ReadNumber(s, name, n) || n < lo || n > hi) return def;
    return n;
}

// A text as stored. An INI file written by hand may hold a bare comma, which
// the store reads as a list: the text is what the hand wrote.
std::string ReadText(QSettings& s, const char* name, const std::string& def) {
    QVariant v = s.value(QLatin1String(name));
    if (!v.isValid()) return def;
    if (v.metaType().id() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(',')).toStdString();
    return v.toString().toStdString();
}

void WriteBool(QSettings& s, const char* name, bool v) {
    s.setValue(QLatin1String(name), v ? QStringLiteral("1") : QStringLiteral("0"));
}

void WriteInt(QSettings& s, const char* name, int v) {
    s.setValue(QLatin1String(name), QString::number(v));
}
} // namespace

void TSettings::LoadSettings(QSettings& s) {
    const TSettings d;
    s.beginGroup(Group);
    IncludeColNames = ReadBool(s, "IncludeColNames", d.IncludeColNames);
    IncludeMemoData = ReadBool(s, "IncludeMemoData", d.IncludeMemoData);
    IncludeImages = ReadBool(s, "IncludeImages", d.IncludeImages);
    ButtonHints = ReadBool(s, "ButtonHints", d.ButtonHints);
    ColumnHints = ReadBool(s, "ColumnHints", d.ColumnHints);
    DataHints = ReadBool(s, "DataHints", d.DataHints);
    AlwaysTryADO = ReadBool(s, "AlwaysTryADO", d.AlwaysTryADO);
    RecsPerLine = ReadRange(s, "RecsPerLine", 1, 1, MaxRecsPerLine);
    FormatType = ReadRange(s, "FormatType", 0, 0, 5);
    ActionType = ReadRange(s, "ActionType", 0, 0, 3);
    Separator = ReadText(s, "Separator", d.Separator);
    RangeType = ReadRange(s, "RangeType", 0, 0, 3);
    s.endGroup();
}

void TSettings::SaveSettings(QSettings& s) const {
    s.beginGroup(Group);
    WriteBool(s, "IncludeColNames", IncludeColNames);
    WriteBool(s, "IncludeMemoData", IncludeMemoData);
    WriteBool(s, "IncludeImages", IncludeImages);
    WriteBool(s, "ButtonHints", ButtonHints);
    WriteBool(s, "ColumnHints", ColumnHints);
    WriteBool(s, "DataHints", DataHints);
    WriteBool(s, "AlwaysTryADO", AlwaysTryADO);
    WriteInt(s, "RecsPerLine", RecsPerLine);
    WriteInt(s, "FormatType", FormatType);
    WriteInt(s, "ActionType", ActionType);
    s.setValue(QStringLiteral("Separator"), QString::fromStdString(Separator));
    WriteInt(s, "RangeType", RangeType);
    s.endGroup();
    s.sync();
}

QSettings* CreateSettingsStore() {
    return new QSettings(QStringLiteral("Kessmark"), QStringLiteral("Tabulon"));
}

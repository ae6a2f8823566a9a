#include "shell/SystemVersion.h"

#include <QString>
#include <QSysInfo>

std::string WindowsReleaseName(int platform, int major, int minor) {
    if (platform == 0) return "32s";
    if (platform == 1 && major == 4) return minor < 10 ? "95" : minor < 90 ? "98" : "Me";
    if (platform == 2) {
        if (major == 3 && minor == 51) return "NT 3.51";
        if (major == 4 && minor == 0) return "NT 4";
        if (major == 5 && minor == 0) return "2000";
        if (major == 5 && minor == 1) return "XP";
        if (major == 5 && minor == 2) return ".NET Server";
    }
    return "?";
}

std::string GetWindowsVersionName() {
#ifdef _WIN32
    // Qt reports "10", "11" and the like for what the table knows no name of.
    const QByteArray name = QSysInfo::productVersion().toUtf8();
    return std::string(name.constData(), static_cast<size_t>(name.size()));
#else
    QString name = QSysInfo::prettyProductName();
    if (name.isEmpty() || name.startsWith(QStringLiteral("Unknown")))
        name = QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion();
    const QByteArray bytes = name.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
#endif
}

bool IsWindowsNT() {
#ifdef _WIN32
    return true; // every Windows Qt 6 runs on
#else
    return false;
#endif
}

#pragma once

#include <QString>

#include <string>
#include <string_view>

// Texts inside the program are std::strings of UTF-8 bytes; Qt holds UTF-16.
// Every crossing between the two goes through these, never through a cast
// that would take the bytes as Latin-1. Bytes that are not valid UTF-8 come
// out as U+FFFD.
inline QString ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string ToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

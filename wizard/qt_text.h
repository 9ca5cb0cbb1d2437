// Crossings between Qt's strings and the system's: wide strings (std::wstring) and narrow ones
// in the process's ANSI character set.
#pragma once

#include <QString>
#include <string>

#include "platform/codepage.h"

inline QString from_wide(const std::wstring& text) {
    return QString::fromStdWString(text);
}
inline std::wstring to_wide(const QString& text) {
    return text.toStdWString();
}
inline QString from_ansi(const std::string& text) {
    return QString::fromStdWString(platform::ansi_to_wide(text));
}
inline std::string to_ansi(const QString& text) {
    return platform::wide_to_ansi(text.toStdWString());
}

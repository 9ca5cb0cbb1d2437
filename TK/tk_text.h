// Text helpers shared by every subsystem: printf-style formatting into strings and the
// code-page conversions between wide strings and narrow ones.
//
// Narrow strings in this system are in one of two encodings, named at every crossing:
// UTF-8 (MySQL client, profile files, trace lines of wide text) or the process's ANSI
// character set (console, command line, exception messages; UTF-8 under a C/POSIX locale).
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

std::string tk_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string tk_vformat(const char* format, va_list args);
// On this platform "%ls" formats a wide string argument in a wide format.
std::wstring tk_wformat(const wchar_t* format, ...);
std::wstring tk_vwformat(const wchar_t* format, va_list args);

std::wstring tk_utf8_to_ucs2(std::string_view text);
std::string tk_ucs2_to_utf8(std::wstring_view text);
std::wstring tk_ansi_to_ucs2(std::string_view text);
std::string tk_ucs2_to_ansi(std::wstring_view text);

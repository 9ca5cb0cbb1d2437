// Code-page conversions: wide strings (std::wstring, one code point per element) to and from
// UTF-8, the process's "ANSI" character set and UTF-16.
//
// The ANSI character set is the one of the process locale (set with setlocale(LC_ALL, "") at
// program start); when that locale is C/POSIX the ANSI set is UTF-8, so that nothing non-ASCII
// is lost on machines without a configured locale. Every function is thread-safe and never
// throws on bad input: undecodable bytes become U+FFFD, unencodable characters become '?'.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::wstring utf8_to_wide(std::string_view text);
std::string wide_to_utf8(std::wstring_view text);

// True when the process's ANSI character set is UTF-8 (including the C/POSIX fallback).
bool ansi_is_utf8();
std::wstring ansi_to_wide(std::string_view text);
std::string wide_to_ansi(std::wstring_view text);

// UTF-16 exists only at the Oracle Call Interface boundary.
std::u16string wide_to_utf16(std::wstring_view text);
// Writes the UTF-16 form into out, which has room for 2 * text.size() code units; returns the
// code units written.
size_t wide_to_utf16(std::wstring_view text, char16_t* out);
std::wstring utf16_to_wide(std::u16string_view text);

}  // namespace platform

namespace platform {

// Sets the process locale from the environment (setlocale(LC_ALL, "")), the character set
// (LC_CTYPE) even when another category names a locale the machine lacks, and then LC_NUMERIC
// back to "C": a locale with a decimal comma must not change how numbers are read and printed
// (strtod, printf). When the character classification is left at C/POSIX, which knows only
// ASCII letters, it switches LC_CTYPE to C.UTF-8 so that case rules cover national letters and
// the ANSI set is UTF-8. Programs call it first thing, and again after anything that sets the
// locale from the environment itself (QApplication does); calling it again is harmless.
void init_locale();

}  // namespace platform

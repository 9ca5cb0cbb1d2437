// Small text services: trimming of blanks, splitting, upper-casing in the current locale,
// and the hexadecimal encoder used to print byte arrays.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Blanks are the space character only; tabs and other white space are kept.
std::string tk_trim(const std::string& text);
std::wstring tk_trim(const std::wstring& text);
std::string tk_trim_left(const std::string& text);
std::wstring tk_trim_left(const std::wstring& text);
std::string tk_trim_right(const std::string& text);
std::wstring tk_trim_right(const std::wstring& text);

// Cuts the text at every separator: two separators in a row give an empty item, a separator
// at the end an empty last item, an empty text an empty list.
std::vector<std::string> tk_split(const std::string& text, char separator);
std::vector<std::wstring> tk_split(const std::wstring& text, wchar_t separator);

// Two uppercase hexadecimal digits per byte.
std::string tk_hex_encode(const void* bytes, size_t length);
// The original interface: writes the digits and a terminating NUL into output, which must
// hold 2 * length + 1 characters; a null output raises tk_mail_assertion.
void tk_hex_encode(size_t length, const unsigned char* bytes, char* output);

struct tk_wstring {
    // Upper-cases text in place with the current locale's wide rules and returns a copy.
    static std::wstring to_upper(std::wstring& text);
};

// Case-insensitive comparison of wide texts in the current locale (national letters
// included); returns <0, 0 or >0 like wcscmp.
int tk_wcsicmp(const std::wstring& a, const std::wstring& b);

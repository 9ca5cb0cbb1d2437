// The registry stand-in: the part of the Windows registry the wizard uses to remember its
// settings, with the Windows names so that tk_reg_key reads like its Windows counterpart.
//
// A key under HKEY_CURRENT_USER is one file below the user's configuration folder
// ($XDG_CONFIG_HOME, or ~/.config when that is unset or empty). The key path's components
// become folders, a leading "Software" component is dropped, and the last component names the
// file with the extension ".reg": "Software\Vastrelco\Tarvolin" is
// ~/.config/Vastrelco/Tarvolin.reg.
//
// Values are typed: REG_DWORD (a 32-bit number) and REG_SZ (text, kept as UTF-8 and handed out
// narrow, in the process's ANSI character set, or wide, whichever form the caller asks for).
// Every change rewrites the whole file through a temporary file that is then renamed over it,
// so a crash leaves the old or the new file, never half of one. The file is read when the key
// is opened; a handle sees the values of that moment plus its own changes.
//
// Handles are not shared between threads. Every function returns a Windows error code
// (ERROR_SUCCESS on success) and never throws.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct registry_key;
using HKEY = registry_key*;
using LONG = long;
using DWORD = uint32_t;
using REGSAM = uint32_t;

// The predefined root; the only one this stand-in serves.
extern const HKEY HKEY_CURRENT_USER;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_DATA = 13;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr REGSAM KEY_READ = 0x20019;

constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens the key, creating its file (and folders) when missing. disposition may be null.
LONG RegCreateKeyExA(HKEY parent, const char* subkey, DWORD options, REGSAM access, HKEY* result,
                     DWORD* disposition);
LONG RegCloseKey(HKEY key);

// Reads a value. type may be null. With data null only *size is set (the bytes needed).
// REG_DWORD gives 4 bytes. REG_SZ gives the text with its terminator: in the A form one byte
// per ANSI byte, in the W form sizeof(wchar_t) bytes per character. When *size is too small,
// *size receives the bytes needed and the result is ERROR_MORE_DATA.
LONG RegQueryValueExA(HKEY key, const char* name, DWORD* type, void* data, DWORD* size);
LONG RegQueryValueExW(HKEY key, const char* name, DWORD* type, void* data, DWORD* size);

// Writes a value. REG_DWORD takes exactly 4 bytes; REG_SZ takes the text with its terminator
// (A: ANSI bytes, W: wchar_t elements); size counts bytes as in the query.
LONG RegSetValueExA(HKEY key, const char* name, DWORD type, const void* data, DWORD size);
LONG RegSetValueExW(HKEY key, const char* name, DWORD type, const void* data, DWORD size);

// The file that holds a key below HKEY_CURRENT_USER (for tools and tests).
std::string registry_key_file(const std::string& subkey);

}  // namespace platform

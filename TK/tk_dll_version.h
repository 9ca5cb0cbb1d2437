// Version query of a shared library that exports DllGetVersion, as Windows system libraries
// do. The wizard uses it to learn the version of libraries it depends on.
#pragma once

#include <cstdint>

// The record DllGetVersion fills; its size field is set to 20 by the caller.
struct tk_dll_version_info {
    uint32_t size;
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    uint32_t platform_id;
};
static_assert(sizeof(tk_dll_version_info) == 20);

// The exported entry point: returns a negative value on failure (an HRESULT).
extern "C" {
using tk_dll_get_version_proc = int32_t (*)(tk_dll_version_info*);
}

// Loads the library (a name searched as dlopen searches, or a path), calls its exported
// DllGetVersion and returns major << 16 | minor (each cut to 16 bits). 0 when the library
// does not load ("get_dll_version failed to load DLL"), has no DllGetVersion
// ("get_dll_version failed to obtain DllGetVersion") or the call fails. The library is
// unloaded before returning.
uint32_t get_dll_version(const char* library);

#include "TK/tk_dll_version.h"

#include <dlfcn.h>

#include "TK/tk_trace_log.h"

namespace {

struct library_handle {
    void* handle;
    ~library_handle() {
        if (handle != nullptr) {
            dlclose(handle);
        }
    }
};

}  // namespace

uint32_t get_dll_version(const char* library) {
    if (library == nullptr) {
        return 0;
    }
    const library_handle loaded{dlopen(library, RTLD_NOW | RTLD_LOCAL)};
    if (loaded.handle == nullptr) {
        tk_trace(2, "get_dll_version failed to load DLL");
        return 0;
    }
    const auto get_version =
        reinterpret_cast<tk_dll_get_version_proc>(dlsym(loaded.handle, "DllGetVersion"));
    if (get_version == nullptr) {
        tk_trace(2, "get_dll_version failed to obtain DllGetVersion");
        return 0;
    }
    tk_dll_version_info info{};
    info.size = sizeof info;
    if (get_version(&info) < 0) {
        return 0;
    }
    return (info.major & 0xFFFF) << 16 | (info.minor & 0xFFFF);
}

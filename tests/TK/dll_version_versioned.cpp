// A library with a version entry point, loaded by the get_dll_version test.
#include "TK/tk_dll_version.h"

extern "C" __attribute__((visibility("default"))) int32_t DllGetVersion(tk_dll_version_info* info) {
    if (info == nullptr || info->size != sizeof *info) {
        return -1;
    }
    info->major = 6;
    info->minor = 10;
    info->build = 1;
    return 0;
}

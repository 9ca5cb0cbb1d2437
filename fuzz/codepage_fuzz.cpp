// Code-page round trips must never crash, and valid text must survive them unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring wide = platform::utf8_to_wide(bytes);
    const std::string utf8 = platform::wide_to_utf8(wide);
    if (platform::utf8_to_wide(utf8) != wide) {
        std::abort();
    }
    if (platform::utf16_to_wide(platform::wide_to_utf16(wide)) != wide) {
        std::abort();
    }
    return 0;
}

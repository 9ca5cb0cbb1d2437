// The registry stand-in's key file: any file content opens or fails cleanly, and any names and
// texts written come back unchanged after the file is read again.
#include <strings.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/codepage.h"
#include "platform/registry.h"

using namespace platform;

namespace {

const char key_path[] = "Software\\Fuzz\\Key";

const std::string& config_folder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "regfuzz-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(std::getenv("XDG_CONFIG_HOME"), ignored);
        });
        return pattern;
    }();
    return folder;
}

struct lower_less {
    bool operator()(const std::string& a, const std::string& b) const {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

// Mode 0: the input is the key file itself.
void open_raw_file(const std::string& content) {
    std::filesystem::create_directories(config_folder() + "/Fuzz");
    std::ofstream(registry_key_file(key_path), std::ios::binary | std::ios::trunc) << content;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path, 0, KEY_ALL_ACCESS, &key, nullptr) ==
        ERROR_SUCCESS) {
        DWORD size = 0;
        RegQueryValueExW(key, "a", nullptr, nullptr, &size);
        RegCloseKey(key);
    }
}

// Mode 1: the input is a list of name and text pairs separated by 0x1F bytes.
void round_trip(const std::string& content) {
    std::filesystem::remove(registry_key_file(key_path));
    std::map<std::string, std::wstring, lower_less> expected;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path, 0, KEY_ALL_ACCESS, &key, nullptr) !=
        ERROR_SUCCESS) {
        std::abort();
    }
    size_t start = 0;
    while (start < content.size()) {
        const size_t name_end = content.find('\x1F', start);
        if (name_end == std::string::npos) {
            break;
        }
        const size_t text_end = content.find('\x1F', name_end + 1);
        const std::string name = content.substr(start, name_end - start);
        const std::string utf8 = content.substr(
            name_end + 1, text_end == std::string::npos ? text_end : text_end - name_end - 1);
        start = text_end == std::string::npos ? content.size() : text_end + 1;
        if (name.empty() || name.find('\0') != std::string::npos) {
            continue;
        }
        std::wstring text = utf8_to_wide(utf8);
        text = text.substr(0, text.find(L'\0'));
        if (RegSetValueExW(key, name.c_str(), REG_SZ, text.c_str(),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) !=
            ERROR_SUCCESS) {
            std::abort();
        }
        expected.erase(name);
        expected.emplace(name, text);
    }
    RegCloseKey(key);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path, 0, KEY_ALL_ACCESS, &key, nullptr) !=
        ERROR_SUCCESS) {
        std::abort();
    }
    for (const auto& [name, text] : expected) {
        std::wstring read(text.size() + 1, L'\0');
        DWORD size = static_cast<DWORD>(read.size() * sizeof(wchar_t));
        DWORD type = REG_NONE;
        if (RegQueryValueExW(key, name.c_str(), &type, read.data(), &size) != ERROR_SUCCESS ||
            type != REG_SZ || size != read.size() * sizeof(wchar_t) ||
            read.substr(0, text.size()) != text) {
            std::abort();
        }
    }
    RegCloseKey(key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    config_folder();
    const std::string content(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        round_trip(content);
    } else {
        open_raw_file(content);
    }
    return 0;
}

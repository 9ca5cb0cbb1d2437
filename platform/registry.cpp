#include "platform/registry.h"

#include <pwd.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/codepage.h"
#include "platform/posix_io.h"

namespace platform {

namespace {

// Value names compare without regard to ASCII case, as the registry's do.
struct name_less {
    bool operator()(const std::string& a, const std::string& b) const {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

struct reg_value {
    DWORD type = REG_NONE;
    uint32_t number = 0;
    std::string text;  // UTF-8
};

const char file_header[] = "TARVOLIN-REGISTRY 1";

// Bytes that would break the line format (controls, blank, '%', DEL) are written as %XX.
std::string escape(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c <= 0x20 || c == '%' || c == 0x7F) {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 0x0F]);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::optional<std::string> unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = hex_digit(text[i + 1]);
        const int low = hex_digit(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return out;
}

using value_map = std::map<std::string, reg_value, name_less>;

// One line: "<type> <name> <data>", name and data escaped. Lines that do not parse are
// dropped: a hand-edited file loses the broken value, not the whole key.
void parse_line(const std::string& line, value_map& values) {
    const size_t first = line.find(' ');
    const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (second == std::string::npos) {
        return;
    }
    const std::string type = line.substr(0, first);
    const auto name = unescape(line.substr(first + 1, second - first - 1));
    const auto data = unescape(line.substr(second + 1));
    if (!name || !data || name->empty()) {
        return;
    }
    reg_value value;
    if (type == "dword") {
        char* end = nullptr;
        errno = 0;
        const unsigned long number = std::strtoul(data->c_str(), &end, 10);
        if (data->empty() || *end != '\0' || errno != 0 || number > UINT32_MAX) {
            return;
        }
        value.type = REG_DWORD;
        value.number = static_cast<uint32_t>(number);
    } else if (type == "sz") {
        value.type = REG_SZ;
        value.text = *data;
    } else {
        return;
    }
    values.insert_or_assign(*name, value);
}

std::string render(const value_map& values) {
    std::string out = std::string(file_header) + "\n";
    for (const auto& [name, value] : values) {
        if (value.type == REG_DWORD) {
            out += "dword " + escape(name) + " " + std::to_string(value.number) + "\n";
        } else {
            out += "sz " + escape(name) + " " + escape(value.text) + "\n";
        }
    }
    return out;
}

std::string config_folder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : "/";
    }
    return std::string(home) + "/.config";
}

// The key path's components; empty when one of them is empty, "." or "..", or holds a slash,
// so that no key path reaches outside the configuration folder.
std::vector<std::string> key_components(const std::string& subkey) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = subkey.find('\\', start);
        parts.push_back(subkey.substr(start, at == std::string::npos ? at : at - start));
        if (at == std::string::npos) {
            break;
        }
        start = at + 1;
    }
    for (const std::string& part : parts) {
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) {
            return {};
        }
    }
    if (parts.size() > 1 && strcasecmp(parts.front().c_str(), "Software") == 0) {
        parts.erase(parts.begin());
    }
    return parts;
}

bool write_file_atomically(const std::string& path, const std::string& content) {
    std::string temp = path + ".tmp-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    const bool ok = write_all(fd, content) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

struct registry_key {
    std::string file;
    value_map values;
    bool predefined = false;
};

namespace {
registry_key current_user_root{{}, {}, true};

bool usable(HKEY key) {
    return key != nullptr && !key->predefined;
}

LONG save(HKEY key, const std::string& name, const reg_value& value) {
    value_map changed = key->values;
    changed.insert_or_assign(name, value);
    if (!write_file_atomically(key->file, render(changed))) {
        return ERROR_ACCESS_DENIED;
    }
    key->values = std::move(changed);
    return ERROR_SUCCESS;
}

// Copies bytes of the given size to data, or reports the size needed.
LONG hand_out(const void* bytes, DWORD needed, void* data, DWORD* size) {
    const DWORD available = *size;
    *size = needed;
    if (data == nullptr) {
        return ERROR_SUCCESS;
    }
    if (available < needed) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, bytes, needed);
    return ERROR_SUCCESS;
}

enum class text_form { ansi, wide };

LONG query(HKEY key, const char* name, DWORD* type, void* data, DWORD* size, text_form form) {
    if (!usable(key)) {
        return ERROR_INVALID_HANDLE;
    }
    if (name == nullptr || size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const auto found = key->values.find(name);
    if (found == key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const reg_value& value = found->second;
    if (type != nullptr) {
        *type = value.type;
    }
    if (value.type == REG_DWORD) {
        return hand_out(&value.number, sizeof value.number, data, size);
    }
    if (form == text_form::ansi) {
        const std::string ansi = wide_to_ansi(utf8_to_wide(value.text));
        return hand_out(ansi.c_str(), static_cast<DWORD>(ansi.size() + 1), data, size);
    }
    const std::wstring wide = utf8_to_wide(value.text);
    return hand_out(wide.c_str(), static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)), data,
                    size);
}

LONG set(HKEY key, const char* name, DWORD type, const void* data, DWORD size, text_form form) {
    if (!usable(key)) {
        return ERROR_INVALID_HANDLE;
    }
    if (name == nullptr || name[0] == '\0' || (data == nullptr && size != 0)) {
        return ERROR_INVALID_PARAMETER;
    }
    reg_value value;
    value.type = type;
    if (type == REG_DWORD) {
        if (size != sizeof value.number) {
            return ERROR_INVALID_PARAMETER;
        }
        std::memcpy(&value.number, data, sizeof value.number);
    } else if (type == REG_SZ && form == text_form::ansi) {
        const char* text = static_cast<const char*>(data);
        const std::string ansi(text, strnlen(text, size));
        value.text = wide_to_utf8(ansi_to_wide(ansi));
    } else if (type == REG_SZ) {
        if (size % sizeof(wchar_t) != 0) {
            return ERROR_INVALID_PARAMETER;
        }
        const wchar_t* text = static_cast<const wchar_t*>(data);
        const std::wstring wide(text, wcsnlen(text, size / sizeof(wchar_t)));
        value.text = wide_to_utf8(wide);
    } else {
        return ERROR_INVALID_PARAMETER;
    }
    return save(key, name, value);
}

}  // namespace

const HKEY HKEY_CURRENT_USER = &current_user_root;

std::string registry_key_file(const std::string& subkey) {
    const std::vector<std::string> parts = key_components(subkey);
    if (parts.empty()) {
        return {};
    }
    std::string path = config_folder();
    for (const std::string& part : parts) {
        path += "/" + part;
    }
    return path + ".reg";
}

LONG RegCreateKeyExA(HKEY parent, const char* subkey, DWORD /*options*/, REGSAM /*access*/,
                     HKEY* result, DWORD* disposition) {
    if (parent != HKEY_CURRENT_USER) {
        return ERROR_INVALID_HANDLE;
    }
    if (subkey == nullptr || result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::string file = registry_key_file(subkey);
    if (file.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    auto key = std::make_unique<registry_key>();
    key->file = file;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
    if (error) {
        return ERROR_ACCESS_DENIED;
    }
    const bool exists = std::filesystem::exists(file, error);
    if (exists) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            return ERROR_ACCESS_DENIED;
        }
        std::string line;
        // An empty file is an empty key; a file of another format is left alone rather than
        // overwritten.
        if (std::getline(in, line) && line != file_header) {
            return ERROR_INVALID_DATA;
        }
        if (in.bad()) {
            return ERROR_ACCESS_DENIED;
        }
        while (std::getline(in, line)) {
            parse_line(line, key->values);
        }
    } else if (!write_file_atomically(file, render(key->values))) {
        return ERROR_ACCESS_DENIED;
    }
    if (disposition != nullptr) {
        *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    }
    *result = key.release();
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (!usable(key)) {
        return ERROR_INVALID_HANDLE;
    }
    delete key;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* name, DWORD* type, void* data, DWORD* size) {
    return query(key, name, type, data, size, text_form::ansi);
}

LONG RegQueryValueExW(HKEY key, const char* name, DWORD* type, void* data, DWORD* size) {
    return query(key, name, type, data, size, text_form::wide);
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
    return set(key, name, type, data, size, text_form::ansi);
}

LONG RegSetValueExW(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
    return set(key, name, type, data, size, text_form::wide);
}

}  // namespace platform

#include "TK/tk_reg_key.h"

#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

#include "TK/tk_exception.h"
#include "TK/tk_trace_log.h"

using namespace platform;

tk_reg_key::~tk_reg_key() {
    close();
}

tk_reg_key::tk_reg_key(tk_reg_key&& other) noexcept
    : key_(std::exchange(other.key_, nullptr)), path_(std::move(other.path_)) {}

tk_reg_key& tk_reg_key::operator=(tk_reg_key&& other) noexcept {
    if (this != &other) {
        close();
        key_ = std::exchange(other.key_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

LONG tk_reg_key::create(HKEY parent, const char* subkey, DWORD options, REGSAM access,
                        DWORD* disposition) {
    TK_ASSERT(parent != nullptr);
    TK_ASSERT(subkey != nullptr);
    HKEY created = nullptr;
    const LONG result = RegCreateKeyExA(parent, subkey, options, access, &created, disposition);
    if (result == ERROR_SUCCESS) {
        close();
        key_ = created;
        path_ = subkey;
    }
    return result;
}

void tk_reg_key::close() {
    if (key_ != nullptr) {
        RegCloseKey(key_);
        key_ = nullptr;
    }
}

LONG tk_reg_key::get_value(uint32_t& value, const char* name) {
    TK_ASSERT(key_ != nullptr);
    TK_ASSERT(name != nullptr);
    tk_trace(2, "tk_reg_key::get_value(ulong, %s)", name);
    DWORD type = REG_NONE;
    DWORD size = sizeof value;
    const LONG result = RegQueryValueExA(key_, name, &type, &value, &size);
    tk_trace(1, "type=%d, size=%d", static_cast<int>(type), static_cast<int>(size));
    return result;
}

LONG tk_reg_key::get_value(char* buffer, const char* name, DWORD* size) {
    return get_text(buffer, name, size);
}

LONG tk_reg_key::get_value(wchar_t* buffer, const char* name, DWORD* size) {
    return get_text(buffer, name, size);
}

template <class C>
LONG tk_reg_key::get_text(C* buffer, const char* name, DWORD* size) {
    TK_ASSERT(key_ != nullptr);
    TK_ASSERT(name != nullptr);
    TK_ASSERT(size != nullptr);
    if constexpr (sizeof(C) == 1) {
        tk_trace(2, "tk_reg_key::get_value(LPSTR, %s)", name);
        return RegQueryValueExA(key_, name, nullptr, buffer, size);
    } else {
        tk_trace(2, "tk_reg_key::get_value(LPWSTR, %s)", name);
        return RegQueryValueExW(key_, name, nullptr, buffer, size);
    }
}

LONG tk_reg_key::set_value(uint32_t value, const char* name) {
    TK_ASSERT(key_ != nullptr);
    TK_ASSERT(name != nullptr);
    return RegSetValueExA(key_, name, REG_DWORD, &value, sizeof value);
}

LONG tk_reg_key::set_value(const char* text, const char* name) {
    TK_ASSERT(key_ != nullptr);
    TK_ASSERT(name != nullptr);
    TK_ASSERT(text != nullptr);
    return RegSetValueExA(key_, name, REG_SZ, text, static_cast<DWORD>(std::strlen(text) + 1));
}

LONG tk_reg_key::set_value(const wchar_t* text, const char* name) {
    TK_ASSERT(key_ != nullptr);
    TK_ASSERT(name != nullptr);
    TK_ASSERT(text != nullptr);
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    return RegSetValueExW(key_, name, REG_SZ, text, static_cast<DWORD>(bytes));
}

LONG tk_reg_key::query_type(const char* name, DWORD* type) {
    TK_ASSERT(key_ != nullptr);
    TK_ASSERT(name != nullptr);
    DWORD size = 0;
    return RegQueryValueExA(key_, name, type, nullptr, &size);
}

bool tk_reg_key::exchange(const char* name, uint32_t& value, bool store) {
    if (store) {
        return set_value(value, name) == ERROR_SUCCESS;
    }
    DWORD type = REG_NONE;
    if (query_type(name, &type) != ERROR_SUCCESS || type != REG_DWORD) {
        return false;
    }
    uint32_t read = 0;
    if (get_value(read, name) != ERROR_SUCCESS) {
        return false;
    }
    value = read;
    return true;
}

bool tk_reg_key::exchange(const char* name, int32_t& value, bool store) {
    uint32_t number = static_cast<uint32_t>(value);
    if (!exchange(name, number, store)) {
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

bool tk_reg_key::exchange(const char* name, bool& value, bool store) {
    uint32_t number = value ? 1 : 0;
    if (!exchange(name, number, store)) {
        return false;
    }
    value = number != 0;
    return true;
}

template <class C>
bool tk_reg_key::exchange_text(const char* name, std::basic_string<C>& value, bool store) {
    if (store) {
        return set_value(value.c_str(), name) == ERROR_SUCCESS;
    }
    DWORD type = REG_NONE;
    if (query_type(name, &type) != ERROR_SUCCESS || type != REG_SZ) {
        return false;
    }
    DWORD size = 0;
    if (get_value(static_cast<C*>(nullptr), name, &size) != ERROR_SUCCESS || size == 0) {
        return false;
    }
    std::vector<C> buffer(size / sizeof(C) + 1, C(0));
    if (get_value(buffer.data(), name, &size) != ERROR_SUCCESS) {
        return false;
    }
    value.assign(buffer.data());
    return true;
}

bool tk_reg_key::exchange(const char* name, std::string& value, bool store) {
    return exchange_text(name, value, store);
}

bool tk_reg_key::exchange(const char* name, std::wstring& value, bool store) {
    return exchange_text(name, value, store);
}

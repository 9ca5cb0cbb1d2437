// A registry key held open, with typed reads and writes and the exchange operations that the
// settings load and store are made of.
//
// The key lives in the registry stand-in (platform/registry.h). Every operation on a key that
// is not open, a null value name or a null size raises tk_mail_assertion; failures of the
// registry itself are returned as Windows error codes (0 on success), or as false by the
// exchange operations, and never raised. Move-only; the destructor closes the key.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

class tk_reg_key {
  public:
    tk_reg_key() = default;
    ~tk_reg_key();
    tk_reg_key(tk_reg_key&& other) noexcept;
    tk_reg_key& operator=(tk_reg_key&& other) noexcept;
    tk_reg_key(const tk_reg_key&) = delete;
    tk_reg_key& operator=(const tk_reg_key&) = delete;

    // Creates or opens parent\subkey. On success the key held before is closed and the new
    // one kept. A null parent or subkey raises tk_mail_assertion.
    platform::LONG create(platform::HKEY parent, const char* subkey,
                          platform::DWORD options = platform::REG_OPTION_NON_VOLATILE,
                          platform::REGSAM access = platform::KEY_ALL_ACCESS,
                          platform::DWORD* disposition = nullptr);
    void close();
    bool is_open() const { return key_ != nullptr; }
    const std::string& path() const { return path_; }

    // Reads a 32-bit number (4 bytes).
    platform::LONG get_value(uint32_t& value, const char* name);
    // Reads text with its terminator; size is in bytes (wide: sizeof(wchar_t) per character).
    // A null buffer asks only for the size.
    platform::LONG get_value(char* buffer, const char* name, platform::DWORD* size);
    platform::LONG get_value(wchar_t* buffer, const char* name, platform::DWORD* size);

    // Writes a REG_DWORD, or text as REG_SZ with its terminator.
    platform::LONG set_value(uint32_t value, const char* name);
    platform::LONG set_value(const char* text, const char* name);
    platform::LONG set_value(const wchar_t* text, const char* name);

    // Exchange: when store is set the variable is written, otherwise read. True on success;
    // a failed read leaves the variable unchanged. A bool is a REG_DWORD 0 or 1, read as true
    // for any non-zero value. A number must be a REG_DWORD and text a REG_SZ; text is read in
    // two calls (size, then data) and a value without data (size 0) counts as a failure.
    bool exchange(const char* name, bool& value, bool store);
    bool exchange(const char* name, int32_t& value, bool store);
    bool exchange(const char* name, uint32_t& value, bool store);
    bool exchange(const char* name, std::string& value, bool store);
    bool exchange(const char* name, std::wstring& value, bool store);

  private:
    template <class C>
    platform::LONG get_text(C* buffer, const char* name, platform::DWORD* size);
    template <class C>
    bool exchange_text(const char* name, std::basic_string<C>& value, bool store);
    platform::LONG query_type(const char* name, platform::DWORD* type);

    platform::HKEY key_ = nullptr;
    std::string path_;
};

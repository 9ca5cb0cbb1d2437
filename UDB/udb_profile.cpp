#include "UDB/udb_profile.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "TK/tk_exception.h"
#include "TK/tk_string.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "platform/codepage.h"

namespace {

// The position of a character in UTF-16 code-unit order: characters from U+E000 to U+FFFF
// come after every surrogate pair, all others keep their code-point order.
uint32_t code_unit_weight(wchar_t c) {
    const auto code = static_cast<uint32_t>(c);
    return code >= 0xE000 && code <= 0xFFFF ? code + 0x200000 : code;
}

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

file_ptr open_file(const std::wstring& path, const char* mode) {
    return file_ptr(std::fopen(platform::wide_to_ansi(path).c_str(), mode));
}

// Reads one line without its line end ("\n" or "\r\n") into line. False at the end of the
// file when nothing was read. Reading stops early in a line too long for a profile, so that the
// caller can refuse it without holding the rest of it.
bool read_line(std::FILE* file, std::string& line) {
    // The limit, the carriage return of "\r\n", a byte-order mark and one byte to tell a line
    // that is too long.
    constexpr size_t read_limit = udb_profile::max_line_bytes + 1 + 3 + 1;
    line.clear();
    int c = 0;
    while (line.size() < read_limit && (c = std::getc(file)) != EOF && c != '\n') {
        line.push_back(static_cast<char>(c));
    }
    if (c == '\n' && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return c != EOF || !line.empty();
}

// Editors that save UTF-8 often write a byte-order mark first; it is not part of the text.
void drop_byte_order_mark(std::string& line) {
    static const std::string_view byte_order_mark = "\xEF\xBB\xBF";
    if (line.starts_with(byte_order_mark)) {
        line.erase(0, byte_order_mark.size());
    }
}

[[noreturn]] void refuse_long_line(const std::wstring& path, size_t number) {
    throw tk_exception(
        tk_wformat(L"Profile file '%ls' has a line longer than %d bytes (line %zu).", path.c_str(),
                   static_cast<int>(udb_profile::max_line_bytes), number),
        1);
}

bool is_section_line(const std::wstring& line) {
    return line.size() >= 2 && line.front() == L'[' && line.back() == L']';
}

// A line break inside a value would split it into lines that read back as other keys; a
// SELECT text means the same with blanks in their place.
std::string one_line(std::wstring text) {
    std::replace_if(
        text.begin(), text.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
    return tk_ucs2_to_utf8(text);
}

// The lines of the file, UTF-8 encoded, in the written layout.
std::vector<std::string> layout_lines(const udb_profile::section_map& sections) {
    std::vector<std::string> lines;
    for (const auto& [name, keys] : sections) {
        if (keys.empty()) {
            continue;
        }
        lines.push_back(one_line(L"[" + name + L"]"));
        const bool bare_keys = name == udb_profile::selected_tables_section;
        for (const auto& [key, value] : keys) {
            lines.push_back(one_line(bare_keys && value.empty() ? key : key + L"=" + value));
        }
        lines.emplace_back();
    }
    return lines;
}

}  // namespace

bool udb_code_unit_less::operator()(const std::wstring& a, const std::wstring& b) const noexcept {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](wchar_t x, wchar_t y) { return code_unit_weight(x) < code_unit_weight(y); });
}

bool udb_profile::load_file(const std::wstring& path) {
    tk_trace_w(1, L"udb_profile::load_file(%ls)", path.c_str());
    const file_ptr file = open_file(path, "rb");
    if (!file) {
        return false;
    }
    key_map* current = nullptr;
    std::string bytes;
    for (size_t number = 1; read_line(file.get(), bytes); ++number) {
        if (number == 1) {
            drop_byte_order_mark(bytes);
        }
        if (bytes.size() > max_line_bytes) {
            refuse_long_line(path, number);
        }
        const std::wstring line = tk_trim(tk_utf8_to_ucs2(bytes));
        if (line.empty()) {
            continue;
        }
        if (is_section_line(line)) {
            current = &sections_[line.substr(1, line.size() - 2)];
            continue;
        }
        if (current == nullptr) {
            break;
        }
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) {
            current->emplace(line, std::wstring());
        } else {
            current->emplace(tk_trim(line.substr(0, equals)), line.substr(equals + 1));
        }
    }
    return true;
}

bool udb_profile::is_storable_key(const std::wstring& key) {
    return !key.empty() && key.find_first_of(L"=\r\n") == std::wstring::npos &&
           key.front() != L' ' && key.back() != L' ' && !is_section_line(key);
}

bool udb_profile::save_file(const std::wstring& path) const {
    tk_trace_w(1, L"udb_profile::save_file(%ls)", path.c_str());
    for (const auto& [name, keys] : sections_) {
        for (const auto& entry : keys) {
            if (!is_storable_key(entry.first)) {
                tk_trace_w(2, L"Profile key '%ls' cannot be read back as written",
                           entry.first.c_str());
                return false;
            }
        }
    }
    const std::vector<std::string> lines = layout_lines(sections_);
    for (const std::string& line : lines) {
        if (line.size() > max_line_bytes) {
            tk_trace(2, "Profile line of %zu bytes is too long to be read back", line.size());
            return false;
        }
    }
    file_ptr file = open_file(path, "wb");
    if (!file) {
        return false;
    }
    for (const std::string& line : lines) {
        std::fwrite(line.data(), 1, line.size(), file.get());
        std::fwrite("\r\n", 1, 2, file.get());
    }
    const bool written = std::ferror(file.get()) == 0;
    return std::fclose(file.release()) == 0 && written;
}

std::wstring udb_profile::get_value(const std::wstring& section, const std::wstring& key) const {
    const key_map& keys = this->section(section);
    const auto found = keys.find(key);
    return found == keys.end() ? std::wstring() : found->second;
}

void udb_profile::set_value(const std::wstring& section, const std::wstring& key,
                            const std::wstring& value) {
    sections_[section].emplace(key, value);
}

const udb_profile::key_map& udb_profile::section(const std::wstring& name) const {
    static const key_map empty;
    const auto found = sections_.find(name);
    return found == sections_.end() ? empty : found->second;
}

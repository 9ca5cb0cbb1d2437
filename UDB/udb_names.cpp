#include "UDB/udb_names.h"

#include <algorithm>

#include "TK/tk_exception.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "UDB/udb_schema.h"

// ---- t_names_map
// ---------------------------------------------------------------------------------

void t_names_map::add(const std::wstring& source, const std::wstring& destination) {
    tk_trace_w(1, L"t_names_map::add(%ls,%ls)", source.c_str(), destination.c_str());
    pairs_.emplace(source, destination);
}

const std::wstring* t_names_map::find(const std::wstring& name, bool exact,
                                      bool trace_pairs) const {
    for (const auto& [source, destination] : pairs_) {
        if (trace_pairs) {
            tk_trace_w(1, L"Comparing with (%ls,%ls)", source.c_str(), destination.c_str());
        }
        if (exact ? source == name : udb_names_equal(source, name)) {
            tk_trace_w(1, L"Got mapped name: %ls", destination.c_str());
            return &destination;
        }
    }
    return nullptr;
}

std::wstring t_names_map::get_mapped_name(const std::wstring& name, bool exact) const {
    tk_trace_w(1, L"t_names_map::get_mapped_name(%ls)", name.c_str());
    const std::wstring* mapped = find(name, exact, false);
    return mapped != nullptr ? *mapped : name;
}

// ---- udb_names_map
// -------------------------------------------------------------------------------

void udb_names_map::add_tn_mapping(const std::wstring& source_table,
                                   const std::wstring& destination_table) {
    tk_trace_w(2, L"udb_names_map::add_tn_mapping(%ls,%ls)", source_table.c_str(),
               destination_table.c_str());
    table_names.add(source_table, destination_table);
}

void udb_names_map::add_fn_map(const std::wstring& table, const t_names_map& columns) {
    tk_trace_w(2, L"udb_names_map::add_fn_map(%ls)", table.c_str());
    field_names.emplace(table, columns);
}

std::wstring udb_names_map::get_tn_mapped_name(const std::wstring& table, bool exact) const {
    tk_trace_w(1, L"udb_names_map::get_tn_mapped_name(%ls)", table.c_str());
    const std::wstring* mapped = table_names.find(table, exact, true);
    return mapped != nullptr ? *mapped : table;
}

std::wstring udb_names_map::get_fn_mapped_name(const std::wstring& table,
                                               const std::wstring& column, bool exact) const {
    tk_trace_w(1, L"udb_names_map::get_fn_mapped_name(%ls,%ls)", table.c_str(), column.c_str());
    const auto found = field_names.find(table);
    if (found == field_names.end()) {
        tk_trace_w(1, L"Table '%ls' not found", table.c_str());
        return column;
    }
    const std::wstring* mapped = found->second.find(column, exact, false);
    return mapped != nullptr ? *mapped : column;
}

// ---- udb_validator
// -------------------------------------------------------------------------------

udb_validator::udb_validator(int32_t max_length_) : max_length(max_length_) {
    tk_trace(2, "udb_validator::ctor");
}

udb_validator::~udb_validator() = default;

bool udb_validator::is_duplicated(const std::wstring& name) {
    tk_trace_w(1, L"udb_validator::is_duplicated(%ls)", name.c_str());
    for (const std::wstring& used : in_use) {
        tk_trace_w(1, L"Processing %ls", used.c_str());
        if (udb_names_equal(used, name)) {
            return true;
        }
    }
    return false;
}

bool udb_validator::is_acceptable(const std::wstring& name) {
    tk_trace_w(1, L"udb_validator::is_acceptable(%ls)", name.c_str());
    if (max_length != 0 && name.size() > static_cast<size_t>(max_length)) {
        tk_trace(1, "The name is too long");
        return false;
    }
    for (const std::wstring& word : restricted) {
        if (udb_names_equal(word, name)) {
            tk_trace(1, "The name is restricted");
            return false;
        }
    }
    for (const wchar_t c : illegal_chars) {
        if (name.find(c) != std::wstring::npos) {
            const wchar_t text[2] = {c, L'\0'};
            tk_trace_w(1, L"The name contains illegal: %ls", text);
            return false;
        }
    }
    return true;
}

bool udb_validator::is_free(const std::wstring& name) {
    return is_acceptable(name) && !is_duplicated(name);
}

std::wstring udb_validator::get_safe_name(const std::wstring& name) {
    tk_trace_w(1, L"udb_validator::get_safe_name(%ls)", name.c_str());
    std::wstring safe = name;
    if (max_length > 0 && safe.size() > static_cast<size_t>(max_length)) {
        safe.resize(static_cast<size_t>(max_length - 1));
    }
    for (wchar_t& c : safe) {
        if (std::find(illegal_chars.begin(), illegal_chars.end(), c) != illegal_chars.end()) {
            c = L'_';
        }
    }
    if (is_free(safe)) {
        return safe;
    }
    // The numbered forms: the stem followed by five digits.
    if (max_length > 0 && safe.size() > static_cast<size_t>(std::max(max_length - 5, 0))) {
        safe.resize(static_cast<size_t>(std::max(max_length - 6, 0)));
    }
    for (int n = 0; n <= 99999; ++n) {
        std::wstring candidate = safe + tk_wformat(L"%05d", n);
        if (is_free(candidate)) {
            return candidate;
        }
    }
    TK_FAIL();
}

void udb_validator::add_mapped_pair(const std::wstring& source, const std::wstring& generated) {
    in_use.push_back(generated);
    tk_trace_w(1, L"udb_validator::add_mapped_pair(%ls,%ls)", source.c_str(), generated.c_str());
    mapped.add(source, generated);
    restricted.push_back(generated);
}

#include "ORA/ora_validator.h"

#include <cwctype>

#include "ORA/ora_type.h"
#include "TK/tk_exception.h"
#include "TK/tk_string.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"

namespace {

size_t utf8_bytes(wchar_t c) {
    const auto code = static_cast<uint32_t>(c);
    if (code < 0x80) {
        return 1;
    }
    if (code < 0x800) {
        return 2;
    }
    if (code < 0x10000) {
        return 3;
    }
    return 4;
}

bool is_letter(wchar_t c) {
    return std::iswalpha(static_cast<wint_t>(c)) != 0;
}

}  // namespace

ora_validator::ora_validator() : udb_validator(static_cast<int32_t>(max_name_bytes)) {}

size_t ora_validator::byte_length(const std::wstring& name) {
    size_t bytes = 0;
    for (wchar_t c : name) {
        bytes += utf8_bytes(c);
    }
    return bytes;
}

std::wstring ora_validator::cut_to_bytes(const std::wstring& name, size_t max_bytes) {
    size_t bytes = 0;
    size_t length = 0;
    while (length < name.size() && bytes + utf8_bytes(name[length]) <= max_bytes) {
        bytes += utf8_bytes(name[length]);
        ++length;
    }
    return name.substr(0, length);
}

bool ora_validator::is_name_char(wchar_t c) {
    return is_letter(c) || (c >= L'0' && c <= L'9') || c == L'_' || c == L'$' || c == L'#';
}

bool ora_validator::is_acceptable(const std::wstring& name) {
    tk_trace_w(1, L"ora_validator::is_acceptable(%ls)", name.c_str());
    if (name.empty() || byte_length(name) > max_name_bytes) {
        return false;
    }
    if (!is_letter(name[0])) {
        return false;
    }
    for (wchar_t c : name) {
        if (!is_name_char(c)) {
            const wchar_t text[2] = {c, L'\0'};
            tk_trace_w(1, L"Name contains invalid symbol: '%ls'", text);
            return false;
        }
    }
    for (const std::wstring& word : restricted) {
        if (tk_wcsicmp(word, name) == 0) {
            return false;
        }
    }
    return true;
}

std::wstring ora_validator::get_safe_name(const std::wstring& name) {
    tk_trace_w(1, L"ora_validator::get_safe_name(%ls)", name.c_str());
    std::wstring candidate = name;
    if (candidate.empty() || !is_letter(candidate[0])) {
        candidate.insert(0, 1, L'A');
    }
    if (byte_length(candidate) > max_name_bytes) {
        candidate = cut_to_bytes(candidate, max_name_bytes - 1);
    }
    for (wchar_t& c : candidate) {
        if (!is_name_char(c)) {
            c = L'_';
        }
    }
    if (is_acceptable(candidate) && !is_duplicated(candidate)) {
        return candidate;
    }
    // The numbered forms: the stem followed by five digits, never beyond the limit.
    if (byte_length(candidate) > max_name_bytes - 5) {
        candidate = cut_to_bytes(candidate, max_name_bytes - 6);
    }
    for (int n = 0; n <= 99999; ++n) {
        const std::wstring numbered = candidate + tk_wformat(L"%05d", n);
        if (is_acceptable(numbered) && !is_duplicated(numbered)) {
            return numbered;
        }
    }
    TK_FAIL();
}

ora_tn_validator::ora_tn_validator(const std::vector<std::wstring>& selected_tables,
                                   const std::vector<std::wstring>& existing_tables) {
    in_use = selected_tables;
    in_use.insert(in_use.end(), existing_tables.begin(), existing_tables.end());
}

ora_fn_validator::ora_fn_validator(const udb_schema& fields) {
    for (const t_ftd* field : fields) {
        in_use.push_back(field->name);
    }
}

bool ora_fn_validator::is_acceptable(const std::wstring& name) {
    return name != L"ROWID" && ora_validator::is_acceptable(name);
}

ora_in_validator::ora_in_validator() {
    tk_trace(2, "ora_in_validator::ctor");
    validator.restricted.push_back(L"PRIMARY");
    const wchar_t* const queries[] = {
        L"SELECT a.constraint_name FROM user_cons_columns a, user_constraints b WHERE "
        L"a.constraint_name=b.constraint_name AND b.constraint_type='P'",
        L"select index_name FROM user_indexes",
    };
    for (const wchar_t* query : queries) {
        for (std::wstring& name : ora_query_results::read_texts(query)) {
            validator.restricted.push_back(std::move(name));
        }
    }
}

ora_in_validator::~ora_in_validator() {
    tk_trace(2, "ora_in_validator::dtor");
}

void ora_in_validator::load(const udb_indexes& indexes) {
    for (const udb_index& index : indexes) {
        validator.in_use.push_back(index.name);
    }
}

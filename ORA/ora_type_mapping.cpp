#include "ORA/ora_type_mapping.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "TK/tk_exception.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "UDB/udb_database.h"

namespace {

// How a kind's Oracle type is written.
enum class mapping_rule {
    fixed,      // the text as it stands
    text,       // VARCHAR2(n CHAR) or CLOB
    binary,     // RAW(n) or BLOB
    decimal,    // NUMBER(p,s) from the precision and scale, NUMBER without them
    integer64,  // NUMBER(19,0), NUMBER(20,0) when unsigned
    moment      // DATE, TIMESTAMP(n) with a fraction, INTERVAL DAY(2) TO SECOND(n) for a duration
};

struct kind_mapping {
    VARTYPE kind;
    mapping_rule rule;
    const wchar_t* oracle_type;
};

// The whole mapping from value kinds to Oracle types.
constexpr std::array<kind_mapping, 22> mappings = {{
    {VT_I1, mapping_rule::fixed, L"NUMBER(3,0)"},
    {VT_BOOL, mapping_rule::fixed, L"NUMBER(3,0)"},
    {VT_UI1, mapping_rule::fixed, L"NUMBER(5,0)"},
    {VT_I2, mapping_rule::fixed, L"NUMBER(5,0)"},
    {VT_UI2, mapping_rule::fixed, L"NUMBER(11,0)"},
    {VT_I4, mapping_rule::fixed, L"NUMBER(11,0)"},
    {VT_INT, mapping_rule::fixed, L"NUMBER(11,0)"},
    {VT_UI4, mapping_rule::fixed, L"NUMBER(19,0)"},
    {VT_UINT, mapping_rule::fixed, L"NUMBER(19,0)"},
    {VT_I8, mapping_rule::integer64, L"NUMBER(19,0)"},
    // 18446744073709551615 has 20 digits.
    {VT_UI8, mapping_rule::fixed, L"NUMBER(20,0)"},
    {VT_R4, mapping_rule::fixed, L"NUMBER"},
    {VT_R8, mapping_rule::fixed, L"NUMBER"},
    {VT_CY, mapping_rule::fixed, L"NUMBER"},
    {VT_DECIMAL, mapping_rule::decimal, L"NUMBER"},
    {VT_DATE, mapping_rule::moment, L"DATE"},
    {VT_BSTR, mapping_rule::text, L"CLOB"},
    {VT_LPSTR, mapping_rule::text, L"CLOB"},
    {VT_LPWSTR, mapping_rule::text, L"CLOB"},
    {VT_BLOB, mapping_rule::binary, L"BLOB"},
    {VT_BLOB_OBJECT, mapping_rule::binary, L"BLOB"},
    {VT_ARRAY_UI1, mapping_rule::binary, L"BLOB"},
}};

std::atomic<bool> extended_strings{false};

const kind_mapping* find_mapping(VARTYPE kind) {
    for (const kind_mapping& mapping : mappings) {
        if (mapping.kind == kind) {
            return &mapping;
        }
    }
    return nullptr;
}

}  // namespace

bool ora_is_text_kind(VARTYPE kind) {
    const kind_mapping* mapping = find_mapping(kind);
    return mapping != nullptr && mapping->rule == mapping_rule::text;
}

bool ora_is_binary_kind(VARTYPE kind) {
    const kind_mapping* mapping = find_mapping(kind);
    return mapping != nullptr && mapping->rule == mapping_rule::binary;
}

bool ora_is_float_kind(VARTYPE kind) {
    return kind == VT_R4 || kind == VT_R8;
}

bool ora_is_numeric_kind(VARTYPE kind) {
    const kind_mapping* mapping = find_mapping(kind);
    return mapping != nullptr && mapping->rule != mapping_rule::text &&
           mapping->rule != mapping_rule::binary && kind != VT_DATE;
}

int32_t ora_max_varchar2_bytes() noexcept {
    return extended_strings.load(std::memory_order_relaxed) ? 32767 : 4000;
}

int32_t ora_max_raw_bytes() noexcept {
    return extended_strings.load(std::memory_order_relaxed) ? 32767 : 2000;
}

void ora_set_extended_strings(bool extended) noexcept {
    extended_strings.store(extended, std::memory_order_relaxed);
}

bool ora_is_lob_column(VARTYPE kind, int32_t size, int32_t bytes_per_char) {
    if (ora_is_text_kind(kind)) {
        const int64_t bytes = int64_t{size} * std::max(bytes_per_char, 1);
        return size <= 0 || bytes > ora_max_varchar2_bytes();
    }
    if (ora_is_binary_kind(kind)) {
        return size <= 0 || size > ora_max_raw_bytes();
    }
    return false;
}

std::wstring get_native_type(const t_ftd& field) {
    tk_trace(1, "get_native_type [Oracle]");
    if (udb_custom_conversion::is_acceptable1(field)) {
        return udb_custom_conversion::handle1(field);
    }
    const kind_mapping* mapping = find_mapping(field.vartype);
    TK_ASSERT(mapping != nullptr);
    switch (mapping->rule) {
        case mapping_rule::fixed:
            return mapping->oracle_type;
        case mapping_rule::text:
            if (ora_is_lob_column(field)) {
                return mapping->oracle_type;
            }
            return tk_wformat(L"VARCHAR2(%d CHAR)", field.size);
        case mapping_rule::binary:
            if (ora_is_lob_column(field)) {
                return mapping->oracle_type;
            }
            return tk_wformat(L"RAW(%d)", field.size);
        case mapping_rule::decimal: {
            // NUMBER(p,s) takes precisions 1..38 only; without a usable precision the column
            // is a plain NUMBER, which keeps every value of up to 38 digits exactly.
            const int32_t precision = field.precision();
            if (precision < 1 || precision > ora_max_number_precision) {
                return mapping->oracle_type;
            }
            return tk_wformat(L"NUMBER(%d,%d)", precision, field.scale());
        }
        case mapping_rule::integer64:
            return field.subtype == 2 ? L"NUMBER(20,0)" : mapping->oracle_type;
        case mapping_rule::moment: {
            const int32_t digits = std::clamp(field.fraction_digits, 0, 9);
            if (field.subtype == t_ftd::date_kind_duration) {
                // MySQL's TIME reaches 838:59:59, 34 days: two day digits hold it.
                return tk_wformat(L"INTERVAL DAY(2) TO SECOND(%d)", digits);
            }
            return digits > 0 ? tk_wformat(L"TIMESTAMP(%d)", digits) : mapping->oracle_type;
        }
    }
    TK_FAIL();
}

#include "SQL/sql_record.h"

#include "SQL/sql_result.h"
#include "SQL/sql_temporal.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"

namespace {

// Per-value trace lines cost a lock each; a record asks once whether anyone listens.
bool tracing(int level) {
    tk_trace_log* log = tk_trace_log::instance_or_null();
    return log != nullptr && log->accepts(level);
}

// A temporal value read exactly; "no date" (a zero or partial zero date) is NULL, and text in
// no temporal form stays text for the destination to report.
ole_variant temporal_value(const sql_column& column, const char* v, unsigned long n) {
    sql_temporal read = sql_read_temporal(column.type.type, std::string_view(v, n));
    switch (read.status) {
        case sql_temporal_status::value:
            return std::move(read.value);
        case sql_temporal_status::partial_zero_date:
            ++column.partial_zero_dates;
            return ole_variant();
        case sql_temporal_status::zero_date:
            return ole_variant();
        case sql_temporal_status::unreadable:
            break;
    }
    tk_trace(2, "Value '%.*s' is no date or time; kept as text", static_cast<int>(n), v);
    return ole_variant::from_wstring(tk_utf8_to_ucs2(std::string_view(v, n)), VT_BSTR);
}

}  // namespace

std::vector<sql_column> sql_describe_columns(const MYSQL_FIELD* fields, unsigned count,
                                             bool blob_to_text) {
    std::vector<sql_column> columns;
    if (fields == nullptr) {
        return columns;
    }
    columns.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        sql_column column;
        column.type = sql_column_type::of(fields[i]);
        column.kind = mysql_type_to_vartype(column.type, blob_to_text);
        column.name = udb_make_name(tk_utf8_to_ucs2(
            std::string_view(fields[i].name == nullptr ? "" : fields[i].name,
                             fields[i].name == nullptr ? 0 : fields[i].name_length)));
        columns.push_back(std::move(column));
    }
    return columns;
}

ole_variant get_variant(VARTYPE type, const char* text, size_t length) {
    if (text == nullptr) {
        return ole_variant();
    }
    const std::string_view view(text, length);
    if (type == VT_BOOL) {
        return ole_variant(!view.empty() && view.front() != '\0');
    }
    return ole_variant::from_string(view, type);
}

ole_variant get_variant(VARTYPE type, std::wstring_view text) {
    if (type == VT_BOOL) {
        return ole_variant(!text.empty() && text.front() != L'\0');
    }
    return ole_variant::from_wstring(text, type);
}

ole_variant sql_bits_value(VARTYPE kind, const unsigned char* bytes, size_t length) {
    uint64_t bits = 0;
    for (size_t i = 0; i < length; ++i) {
        bits = (bits << 8) | bytes[i];
    }
    switch (kind) {
        case VT_BOOL:
            return ole_variant(bits != 0);
        case VT_UI1:
            return ole_variant(static_cast<unsigned char>(bits));
        case VT_UI2:
            return ole_variant(static_cast<unsigned short>(bits));
        case VT_UI4:
            return ole_variant(static_cast<unsigned int>(bits));
        default:
            return ole_variant(static_cast<unsigned long long>(bits));
    }
}

ole_variant get_variant(const sql_column& column, const char* v, unsigned long n) {
    if (v == nullptr) {
        return ole_variant();
    }
    switch (column.kind.path) {
        case sql_value_path::text:
            return ole_variant::from_wstring(tk_utf8_to_ucs2(std::string_view(v, n)), VT_BSTR);
        case sql_value_path::binary:
            return ole_variant(static_cast<size_t>(n), v);
        case sql_value_path::bits:
            return sql_bits_value(column.kind.vartype, reinterpret_cast<const unsigned char*>(v),
                                  n);
        case sql_value_path::digits:
            if (column.kind.vartype == VT_DATE) {
                return temporal_value(column, v, n);
            }
            break;
    }
    ole_variant value = get_variant(column.kind.vartype, v, n);
    if (value.is_null() && n > 0) {
        // A value the kind cannot hold is not turned into NULL: it travels as its text, and
        // the conversion to the destination column reports it.
        tk_trace(2, "Value '%.*s' does not read as type %d; kept as text", static_cast<int>(n), v,
                 static_cast<int>(column.kind.vartype));
        return ole_variant::from_wstring(tk_utf8_to_ucs2(std::string_view(v, n)), VT_BSTR);
    }
    return value;
}

sql_field::sql_field(const sql_column& column, const char* v, unsigned long n)
    : udb_field(column.name, static_cast<int32_t>(n), get_variant(column, v, n)) {}

sql_record::sql_record(const std::vector<sql_column>& columns, const sql_row& row) {
    const bool trace = tracing(1);
    if (trace) {
        tk_trace(1, "sql_record::ctor (n_fields=%d)", static_cast<int>(columns.size()));
    }
    fields.reserve(columns.size());
    for (unsigned i = 0; i < columns.size() && i < row.size(); ++i) {
        const sql_column& column = columns[i];
        if (trace) {
            tk_trace(1, "field #%d has type %d", static_cast<int>(i), column.type.type);
            tk_trace(1, "BINARY FLAG=%d", static_cast<int>(column.type.flags & sql_flag_binary));
            tk_trace(1, column.kind.path == sql_value_path::text ? "Extract as Unicode"
                                                                 : "Extract as ANSI");
        }
        fields.push_back(sql_field(column, row.value(i), row.length(i)));
        if (trace) {
            const bool text = column.kind.path == sql_value_path::text && !row.is_null(i);
            tk_trace_w(1, text ? L"sql_field::ctor1(%ls,%d,%d)" : L"sql_field::ctor2(%ls,%d,%d)",
                       column.name->c_str(), column.type.type, static_cast<int>(row.length(i)));
        }
    }
}

sql_record::~sql_record() = default;

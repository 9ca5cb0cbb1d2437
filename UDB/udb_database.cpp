#include "UDB/udb_database.h"

#include "TK/tk_trace_log.h"

// ---- udb_record
// ----------------------------------------------------------------------------------

udb_record::~udb_record() = default;

bool udb_record::find_field(std::wstring_view name) const {
    tk_trace_w(1, L"udb_record::find_field(%ls)", std::wstring(name).c_str());
    for (const udb_field& field : fields) {
        tk_trace_w(1, L"Processing %ls", field.name().c_str());
        if (udb_names_equal(field.name(), name)) {
            return true;
        }
    }
    return false;
}

// ---- udb_recordset
// -------------------------------------------------------------------------------

udb_recordset::udb_recordset(std::wstring name_, std::wstring query_text_, bool owns_descriptors)
    : name(std::move(name_)), query_text(std::move(query_text_)), schema(owns_descriptors) {}

udb_recordset::udb_recordset(std::wstring name_, bool owns_descriptors)
    : udb_recordset(std::move(name_), std::wstring(), owns_descriptors) {}

udb_recordset::~udb_recordset() = default;

udb_record* udb_recordset::get_item() {
    return nullptr;
}
bool udb_recordset::is_eof() {
    return true;
}
bool udb_recordset::is_query() const {
    return !query_text.empty();
}
int64_t udb_recordset::next() {
    return count;
}
void udb_recordset::move_prev() {}
void udb_recordset::move_first() {}

void udb_recordset::convert_record(udb_record& record) const {
    tk_trace(1, "udb_recordset::convert_record");
    const size_t columns = schema.size();
    for (size_t i = 0; i < record.size() && i < columns; ++i) {
        udb_field& value = record[i];
        const t_ftd& column = schema[i];
        tk_trace_w(1, L"from=%ls, to=%ls", value.name().c_str(), column.name.c_str());
        value.change_type(column.vartype);
    }
}

// ---- udb_database
// --------------------------------------------------------------------------------

udb_database::udb_database(std::wstring name_, int32_t mode_, bool case_sensitive_)
    : mode(mode_), name(std::move(name_)), case_sensitive(case_sensitive_) {
    tk_trace_w(1, L"udb_database::ctor(%ls)", name.c_str());
}

udb_database::~udb_database() {
    tk_trace(1, "udb_database::dtor");
}

size_t udb_database::table_position(const std::wstring& table) const {
    for (size_t i = 0; i < tables.size(); ++i) {
        tk_trace_w(1, L"Compare with %ls", tables[i].c_str());
        if (case_sensitive ? tables[i] == table : udb_names_equal(tables[i], table)) {
            return i;
        }
    }
    return tables.size();
}

bool udb_database::is_table_exist(const std::wstring& table) const {
    tk_trace_w(1, L"udb_database::is_table_exist(%ls)", table.c_str());
    if (table_position(table) < tables.size()) {
        tk_trace(1, "table exists");
        return true;
    }
    tk_trace(1, "table not found");
    return false;
}

bool udb_database::delete_tab(const std::wstring& table) {
    tk_trace_w(1, L"udb_database::delete_tab (%ls)", table.c_str());
    const size_t position = table_position(table);
    TK_ASSERT(position < tables.size());
    tables.erase(tables.begin() + static_cast<std::ptrdiff_t>(position));
    return true;
}

std::unique_ptr<udb_recordset> udb_database::query(const std::wstring&) {
    TK_FAIL();
}

void udb_database::create_relationships(const udb_relationships&) {}

// ---- custom conversions
// --------------------------------------------------------------------------

udb_rule::~udb_rule() = default;

udb_custom_conversion::udb_custom_conversion() = default;
udb_custom_conversion::~udb_custom_conversion() = default;

void udb_custom_conversion::add_rule(std::unique_ptr<udb_rule> rule) {
    TK_ASSERT(rule != nullptr);
    rules_.push_back(std::move(rule));
}

bool udb_custom_conversion::is_acceptable1(const t_ftd& column) {
    tk_trace(1, "udb_custom_conversion::is_acceptable1");
    const udb_custom_conversion* registry = instance_or_null();
    if (registry == nullptr) {
        return false;
    }
    for (const auto& rule : registry->rules_) {
        if (rule->accepts_column(column)) {
            return true;
        }
    }
    return false;
}

std::wstring udb_custom_conversion::handle1(const t_ftd& column) {
    tk_trace(1, "udb_custom_conversion::handle1");
    const udb_custom_conversion* registry = instance_or_null();
    if (registry == nullptr) {
        return {};
    }
    for (const auto& rule : registry->rules_) {
        if (rule->accepts_column(column)) {
            return rule->column_text(column);
        }
    }
    return {};
}

bool udb_custom_conversion::is_acceptable2(const udb_field& value) {
    tk_trace(1, "udb_custom_conversion::is_acceptable2");
    const udb_custom_conversion* registry = instance_or_null();
    if (registry == nullptr) {
        return false;
    }
    for (const auto& rule : registry->rules_) {
        if (rule->accepts_value(value)) {
            return true;
        }
    }
    return false;
}

std::wstring udb_custom_conversion::handle2(const udb_field& value) {
    tk_trace(1, "udb_custom_conversion::handle2");
    const udb_custom_conversion* registry = instance_or_null();
    if (registry == nullptr || registry->rules_.empty()) {
        return {};
    }
    for (const auto& rule : registry->rules_) {
        if (rule->accepts_value(value)) {
            return rule->value_text(value);
        }
    }
    TK_FAIL();
}

#include "ORA/ora_schema_initializer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwchar>

#include "ORA/ora_database.h"
#include "ORA/ora_temporal.h"
#include "ORA/ora_type.h"
#include "ORA/ora_type_mapping.h"
#include "ORA/ora_value_binding.h"
#include "TK/tk_string.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "UDB/ole_date.h"

namespace {

const char* const no_sequence_privilege =
    "Insufficient privileges to create sequence.\nAuto increment will not be converted.";

// Oracle refuses NUMBER values of this magnitude and beyond.
constexpr double number_limit = 1e126;

bool is_integer_kind(VARTYPE kind) {
    switch (kind) {
        case VT_I2:
        case VT_I4:
        case VT_BOOL:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            return true;
        default:
            return false;
    }
}

// A decimal integer in its shortest form ("0", "-12"), as it prints back.
bool is_canonical_integer(const std::wstring& text) {
    size_t first = text.size() > 1 && text[0] == L'-' ? 1 : 0;
    if (first == text.size() || text.size() - first > 20) {
        return false;
    }
    if (text[first] == L'0' && (text.size() - first > 1 || first == 1)) {
        return false;
    }
    for (size_t i = first; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') {
            return false;
        }
    }
    return true;
}

// A numeric default as Oracle SQL. A number value is written in its shortest exact text; a
// text must read whole as a number (whatever the process locale), else there is no default.
std::wstring numeric_default(const ole_variant& given) {
    std::wstring text;
    double value = 0;
    if (ora_is_numeric_kind(given.vartype())) {
        text = ora_number_text(given);
        value = given.to_double();
    } else {
        text = tk_trim(given.to_wstring());
        std::replace(text.begin(), text.end(), L',', L'.');
        const std::string narrow(text.begin(), text.end());
        const auto [end, error] =
            std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
        if (text.empty() || error != std::errc() || end != narrow.data() + narrow.size()) {
            return {};
        }
    }
    if (!std::isfinite(value) || std::fabs(value) > number_limit) {
        tk_trace(1, "def value is out of range");
        return L"0";
    }
    if (value == 0) {
        return text.find_first_not_of(L"0eE-+.,") == std::wstring::npos ? L"0" : L"";
    }
    return text;
}

std::wstring date_default(const t_ftd& field) {
    tk_trace(1, "Got DATE def value");
    const ora_bind_kind kind = ora_bind_kind_of(field);
    if (field.default_is_now) {
        switch (kind) {
            case ora_bind_kind::date:
                return L"SYSDATE";
            case ora_bind_kind::timestamp:
                return L"SYSTIMESTAMP";
            default:
                return {};
        }
    }
    ole_variant value = field.default_value;
    if (value.vartype() != VT_DATE) {
        value = ole_variant::from_wstring(value.to_wstring(), VT_DATE);
        if (value.vartype() != VT_DATE) {
            return {};
        }
    }
    const SYSTEMTIME& parts = value.date_parts();
    const bool no_date = parts.wYear == 0 && parts.wMonth == 0 && parts.wDay == 0;
    // MySQL's zero date is no date at all: the column gets no default rather than the first
    // day of whatever month the row is inserted in. A TIME column's midnight stays a time.
    if (no_date && field.subtype != t_ftd::date_kind_time &&
        field.subtype != t_ftd::date_kind_duration && parts.wHour == 0 && parts.wMinute == 0 &&
        parts.wSecond == 0 && value.date_microseconds() == 0) {
        return {};
    }
    if (kind == ora_bind_kind::interval) {
        if (!no_date) {
            return {};
        }
        return L"TO_DSINTERVAL('" + ora_interval_text(value, field.fraction_digits) + L"')";
    }
    if (value.is_long_duration()) {
        tk_trace_w(3, L"Default of column %ls is no time of day and is not carried over",
                   field.name.c_str());
        return {};
    }
    if (kind == ora_bind_kind::timestamp) {
        // A time alone gets the first day of the month of the insert, as Oracle gives it.
        const std::wstring text = ora_timestamp_text(value, field.fraction_digits);
        return no_date ? L"TO_TIMESTAMP('" + text.substr(11) + L"', 'HH24:MI:SS.FF6')"
                       : L"TO_TIMESTAMP('" + text + L"', '" + ora_timestamp_format + L"')";
    }
    // A DATE keeps no fraction of a second.
    const std::wstring canonical = ole_variant(parts, 0).to_wstring();
    tk_trace_w(1, L"After canonization: %ls", canonical.c_str());
    return ora_date_literal(canonical);
}

}  // namespace

// ---- ora_schema_initializer ----------------------------------------------------------------

ora_schema_initializer::ora_schema_initializer(const std::wstring& table,
                                               const udb_schema& source_fields, bool uppercase)
    : table_(table), uppercase_(uppercase), validator_(source_fields) {
    tk_trace(2, "ora_schema_initializer::ctor");
    for (const t_ftd* source : source_fields) {
        std::wstring name = source->name;
        if (uppercase_) {
            tk_wstring::to_upper(name);
        }
        if (!validator_.is_acceptable(name)) {
            name = validator_.get_safe_name(name);
        }
        t_ftd field = *source;
        field.name = name;
        if (field.auto_increment) {
            field.default_value.clear();
            field.not_null = false;
            auto_increment_ = name;
        }
        if (ora_is_text_kind(field.vartype) && field.default_value.vartype() == VT_BSTR &&
            field.default_value.bstr().empty()) {
            // Oracle reads '' as NULL: DEFAULT '' is no default, and a NOT NULL column with it
            // would refuse every row that leaves it out, as MySQL's applications do.
            field.default_value.clear();
            if (field.not_null) {
                tk_trace_w(2, L"Column %ls: NOT NULL DEFAULT '' becomes nullable", name.c_str());
                field.not_null = false;
            }
        }
        if (name != source->name) {
            tk_trace_w(2, L"Store generated column name '%ls'", name.c_str());
            validator_.add_mapped_pair(source->name, name);
        }
        fields_.add(std::move(field));
    }
    sequence_start_ = source_fields.auto_increment_next;
}

std::wstring ora_schema_initializer::make_ora_def_val(const t_ftd& field) {
    const ole_variant& value = field.default_value;
    tk_trace_w(1, L"make_ora_def_val(%ls)", value.to_wstring().c_str());
    if (field.vartype == VT_DATE && field.default_is_now) {
        return date_default(field);
    }
    if (value.is_null()) {
        tk_trace(1, "Got empty def value");
        return {};
    }
    if (ora_is_text_kind(field.vartype)) {
        std::wstring text = value.to_wstring();
        tk_trace_w(1, L"Got BSTR or DATE def value: %ls", text.c_str());
        if (field.size > 0 && text.size() > static_cast<size_t>(field.size)) {
            text.resize(static_cast<size_t>(field.size));
        }
        return ora_quote_string(text);
    }
    if (is_integer_kind(field.vartype)) {
        const std::wstring text = tk_trim(value.to_wstring());
        return is_canonical_integer(text) ? text : L"";
    }
    switch (field.vartype) {
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DECIMAL:
            return numeric_default(value);
        case VT_DATE:
            return date_default(field);
        default:
            return {};
    }
}

std::wstring ora_schema_initializer::get_init_str() const {
    tk_trace(1, "ora_schema_initializer::get_init_str(n_columns=%d)",
             static_cast<int>(fields_.size()));
    std::wstring sql = L"CREATE TABLE \"" + table_ + L"\" (";
    for (size_t i = 0; i < fields_.size(); ++i) {
        const t_ftd& field = fields_[i];
        if (i > 0) {
            sql += L", ";
        }
        sql += L"\"" + field.name + L"\" " + get_native_type(field);
        if (ora_is_lob_column(field)) {
            continue;
        }
        const std::wstring value = make_ora_def_val(field);
        tk_trace_w(1, L"got def value: %ls", value.c_str());
        if (!value.empty()) {
            sql += L" DEFAULT " + value;
        }
        if (field.not_null) {
            sql += L" NOT NULL";
        }
    }
    return sql + L")";
}

void ora_schema_initializer::create_table(ora_database& database) const {
    database.query(get_init_str());
}

void ora_schema_initializer::create_auto_increment(ora_database& database) const {
    if (auto_increment_.empty() || !sequence_start_) {
        return;
    }
    create_auto_increment(database, table_, auto_increment_,
                          tk_wformat(L"%llu", static_cast<unsigned long long>(
                                                  std::max<uint64_t>(*sequence_start_, 1))));
}

void ora_schema_initializer::create_auto_increment(ora_database& database,
                                                   const std::wstring& table,
                                                   const std::wstring& column,
                                                   const std::wstring& start) {
    const std::wstring sequence = create_sequence(database, table, start);
    if (sequence.empty()) {
        tk_trace_w(3, L"Failed to create a sequence for table %ls", table.c_str());
        return;
    }
    create_trigger(database, table, column, sequence);
}

std::wstring ora_schema_initializer::sequence_name(const std::wstring& table, int n) {
    const std::wstring suffix = tk_wformat(L"_%d", n);
    std::wstring base = table.size() > 28 ? table.substr(0, table.size() - 2) : table;
    const size_t room = ora_validator::max_name_bytes - suffix.size();
    if (ora_validator::byte_length(base) > room) {
        base = ora_validator::cut_to_bytes(base, room);
    }
    return base + suffix;
}

std::wstring ora_schema_initializer::trigger_name(const std::wstring& table,
                                                  const std::wstring& sequence) {
    const std::wstring name = table + L"__TRIGGER";
    return ora_validator::byte_length(name) <= ora_validator::max_name_bytes ? name : sequence;
}

std::wstring ora_schema_initializer::create_sequence(ora_database& database,
                                                     const std::wstring& table,
                                                     const std::wstring& start) {
    tk_trace(2, "ora_schema_initializer::create_sequence");
    for (int n = 0; n < 100; ++n) {
        const std::wstring name = sequence_name(table, n);
        // A name a table has, or a table of this run is to take, would make that table fail.
        if (database.is_name_taken(name)) {
            continue;
        }
        try {
            database.query(L"CREATE SEQUENCE \"" + name + L"\" INCREMENT BY 1 START WITH " + start +
                           L" MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE NOCACHE ORDER");
            database.add_sequence(name);
            return name;
        } catch (const ora_exception& e) {
            if (e.ora_error() == 955) {
                continue;
            }
            if (e.ora_error() == 1031) {
                throw tk_exception(no_sequence_privilege, 0);
            }
            throw;
        }
    }
    tk_trace(2, "Failed to create a sequence");
    return {};
}

void ora_schema_initializer::create_trigger(ora_database& database, const std::wstring& table,
                                            const std::wstring& column_name,
                                            const std::wstring& sequence) {
    const std::wstring trigger = trigger_name(table, sequence);
    const std::wstring column = L"\"" + column_name + L"\"";
    const std::wstring sql = L"CREATE OR REPLACE TRIGGER \"" + trigger + L"\" BEFORE INSERT ON \"" +
                             table + L"\" FOR EACH ROW WHEN (new." + column +
                             L" IS NULL) BEGIN select \"" + sequence + L"\".nextval into :new." +
                             column + L" from SYS.DUAL; END;";
    try {
        if (database.execute(sql) != ora_status::success_with_info) {
            return;
        }
        // Created with compilation errors: such a trigger would make every insert fail.
        std::string text;
        ora_engine::instance().warning(&text);
        tk_trace(3, "Error while creating index for trigger:\n%s\n", text.c_str());
        database.query(L"DROP TRIGGER \"" + trigger + L"\"");
    } catch (const ora_exception& e) {
        tk_trace(3, "Error while creating index for trigger:\n%s\n", e.what());
    }
}

std::wstring ora_sequence_start_after(const std::wstring& largest) {
    std::wstring digits = largest;
    const size_t point = digits.find_first_of(L".,");
    if (point != std::wstring::npos) {
        digits.resize(point);
    }
    if (digits.empty() || digits[0] == L'-' ||
        digits.find_first_not_of(L"0123456789") != std::wstring::npos) {
        return L"1";
    }
    // One more, in decimal: keys beyond 64 bits (NUMBER(20,0) of BIGINT UNSIGNED) included.
    size_t k = digits.size();
    while (k > 0 && digits[k - 1] == L'9') {
        digits[--k] = L'0';
    }
    if (k == 0) {
        digits.insert(digits.begin(), L'1');
    } else {
        ++digits[k - 1];
    }
    const size_t lead = digits.find_first_not_of(L'0');
    return lead == std::wstring::npos ? L"1" : digits.substr(lead);
}

// ---- ora_indexes_initializer ---------------------------------------------------------------

std::wstring ora_index_kind(const udb_index& index) {
    if (index.is_primary) {
        return L"The primary key";
    }
    return index.is_unique ? L"The unique key" : L"The index";
}

ora_indexes_initializer::ora_indexes_initializer(const std::wstring& table,
                                                 const udb_schema& fields,
                                                 const udb_indexes& source_indexes,
                                                 const t_names_map& column_names)
    : table_(table) {
    ora_in_validator& names = ora_in_validator::instance();
    names.load(source_indexes);
    ora_validator& validator = names.validator;
    for (const udb_index& source : source_indexes) {
        udb_index index = source;
        index.fields.clear();
        bool nullable = false;
        std::wstring unusable;
        for (const std::wstring& source_field : source.fields) {
            const std::wstring column = column_names.get_mapped_name(source_field, false);
            if (!fields.find_field(column)) {
                tk_trace_w(2, L"Field '%ls' is not a column of the table", column.c_str());
                unusable = L"its column \"" + column + L"\" is not a column of the table";
                break;
            }
            const t_ftd& field = fields.get_field(column);
            if (ora_is_lob_column(field)) {
                unusable = L"its column \"" + field.name + L"\" became a " +
                           (ora_is_text_kind(field.vartype) ? L"CLOB" : L"BLOB") +
                           L", which Oracle cannot index";
                break;
            }
            nullable = nullable || !field.not_null;
            index.fields.push_back(field.name);
        }
        if (!unusable.empty()) {
            lose(source, L"was not created: " + unusable + L".");
            continue;
        }
        if (!validator.is_acceptable(index.name)) {
            index.name = validator.get_safe_name(index.name);
        }
        if (index.name != source.name) {
            tk_trace_w(2, L"Store generated index name '%ls'", index.name.c_str());
            validator.add_mapped_pair(source.name, index.name);
        } else {
            // Index and constraint names are unique in the whole schema: the next table's
            // index of the same MySQL name gets a safe name instead of failing.
            validator.restricted.push_back(index.name);
        }
        if (index.is_primary) {
            primary_ = static_cast<int32_t>(indexes_.size());
        }
        skips_null_parts_.push_back(index.is_unique && !index.is_primary && nullable &&
                                    index.fields.size() > 1);
        indexes_.push_back(std::move(index));
    }
}

void ora_indexes_initializer::lose(const udb_index& index, const std::wstring& what) {
    const std::wstring message = ora_index_kind(index) + L" \"" + index.name + L"\" " + what;
    tk_trace_w(3, L"%ls", message.c_str());
    losses_.push_back({index.name, message});
}

std::wstring ora_indexes_initializer::null_skipping_columns(const udb_index& index) const {
    std::wstring condition;
    for (const std::wstring& field : index.fields) {
        condition += (condition.empty() ? L"" : L" AND ") + (L"\"" + field + L"\" IS NOT NULL");
    }
    std::wstring columns;
    for (const std::wstring& field : index.fields) {
        columns += (columns.empty() ? L"" : L", ") +
                   (L"CASE WHEN " + condition + L" THEN \"" + field + L"\" END");
    }
    return columns;
}

std::wstring ora_indexes_initializer::index_statement(size_t position) const {
    TK_ASSERT(position < indexes_.size());
    const udb_index& index = indexes_[position];
    std::wstring columns;
    for (const std::wstring& field : index.fields) {
        columns += (columns.empty() ? L"\"" : L", \"") + field + L"\"";
    }
    const std::wstring alter = L"ALTER TABLE \"" + table_ + L"\" ADD CONSTRAINT \"" + index.name;
    if (index.is_primary) {
        return alter + L"\" PRIMARY KEY (" + columns + L")";
    }
    if (primary_ >= 0 && index.consists_of_fields(indexes_[static_cast<size_t>(primary_)].fields)) {
        tk_trace_w(1, L"Skip index '%ls', it is equal to PK", index.name.c_str());
        return {};
    }
    if (skips_null_parts_[position]) {
        return L"CREATE UNIQUE INDEX \"" + index.name + L"\" ON \"" + table_ + L"\" (" +
               null_skipping_columns(index) + L")";
    }
    if (index.is_unique) {
        return alter + L"\" UNIQUE (" + columns + L")";
    }
    return L"CREATE INDEX \"" + index.name + L"\" ON \"" + table_ + L"\" (" + columns + L")";
}

void ora_indexes_initializer::try_create(ora_database& database, const udb_index& index,
                                         const std::wstring& sql) {
    tk_trace_w(3, L"Run SQL query: %ls\n", sql.c_str());
    try {
        database.query(sql);
    } catch (const ora_exception& e) {
        tk_trace(2, "Got error: %08X", static_cast<unsigned>(e.ora_error()));
        // 1408: the column list is already indexed; 2261: the key already exists. Both leave
        // an equal index in place.
        if (e.ora_error() == 1408 || e.ora_error() == 2261) {
            return;
        }
        // 1450: the key is longer than an index entry may be. The table and its records are
        // worth more than the index, but the user must hear of it.
        if (e.ora_error() == 1450) {
            lose(index, L"was not created: " + tk_ansi_to_ucs2(e.what()));
            return;
        }
        throw;
    }
}

void ora_indexes_initializer::build_indexes(ora_database& database) {
    tk_trace(2, "ora_indexes_initializer::build_indexes(n_indexes=%d)",
             static_cast<int>(indexes_.size()));
    for (size_t k = 0; k < indexes_.size(); ++k) {
        const udb_index& index = indexes_[k];
        const std::wstring sql = index_statement(k);
        if (sql.empty()) {
            continue;
        }
        try {
            try_create(database, index, sql);
        } catch (const ora_exception& e) {
            if (!skips_null_parts_[k]) {
                throw;
            }
            // A server without function-based indexes (or without the right to make one):
            // the closest form that refuses no row MySQL holds is a plain index.
            lose(index,
                 L"is a plain index, not unique: Oracle refused the unique index that "
                 L"leaves out rows with a NULL part (" +
                     tk_ansi_to_ucs2(e.what()) + L").");
            skips_null_parts_[k] = false;
            indexes_[k].is_unique = false;
            try_create(database, index, index_statement(k));
        }
    }
}

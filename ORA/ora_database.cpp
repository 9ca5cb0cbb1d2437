#include "ORA/ora_database.h"

#include <algorithm>

#include "ORA/ora_schema_initializer.h"
#include "ORA/ora_table.h"
#include "ORA/ora_type_mapping.h"
#include "TK/tk_string.h"
#include "TK/tk_trace_log.h"

namespace {

constexpr uint32_t version_8 = 8u * 65536u;

// A text as the value of a single-quoted SQL literal.
std::wstring literal(const std::wstring& text) {
    return ora_quote_string(text);
}

// The sequence named in the body of a trigger this system wrote for an auto-increment
// column, or empty.
std::wstring trigger_sequence(const std::wstring& body) {
    const std::wstring start = L"select \"";
    const std::wstring end = L"\".nextval into :new.";
    const size_t from = body.find(start);
    if (from == std::wstring::npos) {
        return {};
    }
    const size_t to = body.find(end, from + start.size());
    if (to == std::wstring::npos) {
        return {};
    }
    return body.substr(from + start.size(), to - from - start.size());
}

}  // namespace

ora_database::ora_database(const std::wstring& name) : udb_database(name, 1, true) {
    tk_trace_w(2, L"ora_database::ctor(%ls)", name.c_str());
    version_ = ora_engine::instance().get_version();
    list_tables();
    list_other_objects();
    read_string_size();
}

ora_database::~ora_database() {
    tk_trace(2, "ora_database::dtor");
}

void ora_database::list_tables() {
    const wchar_t* query =
        version_ < version_8
            ? L"select TABLE_NAME from user_tables"
            : L"select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and "
              L"NESTED='NO' and (IOT_TYPE IS NULL OR IOT_TYPE='IOT')";
    ora_query_results results(1, query);
    try {
        while (!results.is_eof()) {
            const udb_record* record = results.get_item();
            const std::wstring table = (*record)[0].to_wstring();
            // Dropped tables wait in the recycle bin under generated names.
            if (table.empty() || table.rfind(L"BIN$", 0) == 0) {
                continue;
            }
            tk_trace_w(1, L"Find table '%ls'", table.c_str());
            tables.push_back(table);
        }
    } catch (const ora_exception& e) {
        tk_trace(2, "Table list ends with an error: %s", e.what());
    }
    tk_trace(2, "Tables count: %d", static_cast<int>(tables.size()));
}

// The objects that share the tables' namespace: a table cannot take their names, nor they a
// table's (ORA-00955).
void ora_database::list_other_objects() {
    try {
        other_objects_ = ora_query_results::read_texts(
            L"SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_TYPE IN ('SEQUENCE', 'VIEW', "
            L"'SYNONYM', 'PROCEDURE', 'FUNCTION', 'PACKAGE', 'TYPE', 'MATERIALIZED VIEW')");
    } catch (const ora_exception& e) {
        tk_trace(2, "The schema's other objects cannot be read: %s", e.what());
    }
}

// V$PARAMETER needs a privilege many users lack; without it strings are taken as standard,
// which is never more than the database holds.
void ora_database::read_string_size() {
    bool extended = false;
    try {
        const std::vector<std::wstring> value = ora_query_results::read_texts(
            L"SELECT UPPER(VALUE) FROM V$PARAMETER WHERE NAME = 'max_string_size'");
        extended = !value.empty() && value[0] == L"EXTENDED";
    } catch (const ora_exception& e) {
        tk_trace(2, "MAX_STRING_SIZE cannot be read, strings are taken as standard: %s", e.what());
    }
    tk_trace(2, "Strings of up to %s bytes", extended ? "32767" : "4000");
    ora_set_extended_strings(extended);
}

bool ora_database::is_other_object(const std::wstring& name) const {
    return std::find(other_objects_.begin(), other_objects_.end(), name) != other_objects_.end();
}

bool ora_database::is_name_taken(const std::wstring& name) const {
    return is_other_object(name) ||
           std::find(tables.begin(), tables.end(), name) != tables.end() ||
           std::find(reserved_.begin(), reserved_.end(), name) != reserved_.end();
}

void ora_database::forget_object(const std::wstring& name) {
    std::erase(other_objects_, name);
}

std::unique_ptr<udb_recordset> ora_database::query(const std::wstring& statement) {
    tk_trace_w(2, L"ora_database::query(%ls)", statement.c_str());
    execute(statement);
    return nullptr;
}

ora_status ora_database::execute(const std::wstring& statement, uint32_t mode) {
    ora_stmt prepared(statement);
    return prepared.execute(1, mode);
}

bool ora_database::test_query(const std::wstring& statement) {
    tk_trace_w(2, L"ora_database::test_query(%ls)", statement.c_str());
    ora_stmt prepared(statement);
    prepared.execute(1, OCI_PARSE_ONLY);
    return true;
}

bool ora_database::delete_tab(const std::wstring& table) {
    tk_trace_w(2, L"ora_database::delete_tab(%ls)", table.c_str());
    TK_ASSERT(is_table_exist(table));
    // DROP TABLE takes the table's trigger but not the sequence the trigger draws from; that
    // one is dropped too, so overwriting a table again and again leaves no sequences behind.
    std::wstring sequence;
    try {
        for (const std::wstring& body : ora_query_results::read_texts(
                 L"select TRIGGER_BODY from USER_TRIGGERS where TABLE_NAME = " + literal(table))) {
            if (sequence.empty()) {
                sequence = trigger_sequence(body);
            }
        }
    } catch (const ora_exception& e) {
        tk_trace(2, "Cannot read the triggers of the table: %s", e.what());
    }
    query(L"DROP TABLE \"" + table + L"\" CASCADE CONSTRAINTS");
    if (!sequence.empty()) {
        try {
            query(L"DROP SEQUENCE \"" + sequence + L"\"");
            forget_object(sequence);
        } catch (const ora_exception& e) {
            tk_trace(2, "Cannot drop the sequence of the table: %s", e.what());
        }
    }
    return udb_database::delete_tab(table);
}

std::unique_ptr<udb_recordset> ora_database::create_table(const std::wstring& table,
                                                          const udb_schema& fields,
                                                          const udb_indexes& indexes) {
    return create_ora_table(table, fields, indexes);
}

std::unique_ptr<ora_table> ora_database::create_ora_table(const std::wstring& table,
                                                          const udb_schema& fields,
                                                          const udb_indexes& indexes) {
    tk_trace_w(2, L"ora_database::create_table(%ls)", table.c_str());
    TK_ASSERT(!is_table_exist(table));
    const ora_schema_initializer initializer(table, fields, uppercase);
    initializer.create_table(*this);
    // From here on the table exists, whatever fails later.
    tables.push_back(table);
    names_map.add_fn_map(table, initializer.generated_names());

    // Without the privilege to create a sequence the table is still completed (indexes
    // included) before the user hears of it.
    std::unique_ptr<tk_exception> deferred;
    try {
        initializer.create_auto_increment(*this);
    } catch (const ora_exception&) {
        throw;
    } catch (const tk_exception& e) {
        deferred = std::make_unique<tk_exception>(e);
    }
    udb_indexes created;
    std::vector<ora_key_loss> losses;
    if (!indexes.empty()) {
        ora_indexes_initializer builder(table, initializer.fields(), indexes,
                                        initializer.generated_names());
        builder.build_indexes(*this);
        created = builder.indexes();
        losses = builder.losses();
    }
    if (deferred) {
        throw *deferred;
    }
    std::unique_ptr<ora_table> result = get_ora_table(table, 2);
    result->adopt_created_schema(initializer.fields());
    result->key_losses = std::move(losses);
    if (initializer.defers_auto_increment()) {
        result->defer_auto_increment(initializer.auto_increment_column());
    }
    for (udb_index& index : created) {
        if (index.is_primary) {
            result->indexes.push_back(std::move(index));
        }
    }
    return result;
}

std::unique_ptr<udb_recordset> ora_database::get_table(const std::wstring& table, int32_t mode) {
    return get_ora_table(table, mode);
}

std::unique_ptr<ora_table> ora_database::get_ora_table(const std::wstring& table, int32_t mode) {
    tk_trace_w(2, L"ora_database::get_table(%ls)", table.c_str());
    TK_ASSERT(is_table_exist(table));
    return std::make_unique<ora_table>(table, *this, mode);
}

std::unique_ptr<udb_recordset> ora_database::get_table(const std::wstring& name,
                                                       const std::wstring& query_text,
                                                       int32_t mode) {
    tk_trace_w(2, L"ora_database::get_table(%ls)", name.c_str());
    return std::make_unique<ora_table>(name, query_text, *this, mode);
}

std::wstring ora_database::get_tn_mapped_name_ex(const std::wstring& source_table) {
    tk_trace_w(2, L"ora_database::get_tn_mapped_name_ex(%ls)", source_table.c_str());
    if (uppercase) {
        std::wstring upper = source_table;
        tk_wstring::to_upper(upper);
        return names_map.get_tn_mapped_name(upper, false);
    }
    const std::wstring mapped = names_map.get_tn_mapped_name(source_table, true);
    if (is_table_exist(mapped)) {
        return mapped;
    }
    tk_trace_w(2, L"Cannot find table %ls", mapped.c_str());
    tk_trace(2, "Try to search case insensitive...");
    return names_map.get_tn_mapped_name(source_table, false);
}

std::wstring ora_database::get_fn_mapped_name_ex(const std::wstring& table,
                                                 const std::wstring& field) {
    tk_trace_w(2, L"ora_database::get_fn_mapped_name_ex(%ls)", field.c_str());
    if (uppercase) {
        std::wstring upper_table = table;
        std::wstring upper_field = field;
        tk_wstring::to_upper(upper_table);
        tk_wstring::to_upper(upper_field);
        return names_map.get_fn_mapped_name(upper_table, upper_field, false);
    }
    return names_map.get_fn_mapped_name(table, field, true);
}

std::optional<int64_t> ora_database::round_trips() {
    if (statistics_refused_) {
        return std::nullopt;
    }
    try {
        const std::vector<std::wstring> value = ora_query_results::read_texts(
            L"SELECT s.VALUE FROM V$MYSTAT s, V$STATNAME n WHERE s.STATISTIC# = n.STATISTIC# "
            L"AND n.NAME = 'SQL*Net roundtrips to/from client'");
        if (!value.empty()) {
            return std::wcstoll(value[0].c_str(), nullptr, 10);
        }
    } catch (const ora_exception& e) {
        tk_trace(2, "The round-trip statistic cannot be read: %s", e.what());
    }
    statistics_refused_ = true;
    return std::nullopt;
}

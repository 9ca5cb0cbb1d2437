#include "ORA/ora_table.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cwctype>
#include <map>

#include "ORA/ora_database.h"
#include "ORA/ora_date_processor.h"
#include "ORA/ora_schema_initializer.h"
#include "ORA/ora_type_mapping.h"
#include "ORA/ora_value_binding.h"
#include "TK/tk_string.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "platform/codepage.h"

namespace {

constexpr uint32_t version_8 = 8u * 65536u;

ora_engine& engine() {
    return ora_engine::instance();
}

// Appends a wide text as UTF-16.
void append_utf16(std::u16string& out, const std::wstring& text) {
    for (wchar_t c : text) {
        const auto code = static_cast<uint32_t>(c);
        if (code >= 0x10000 && code <= 0x10FFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
}

using bind_kind = ora_bind_kind;

}  // namespace

// ---- the prepared INSERT of a table ----------------------------------------------------------

// The INSERT of one table with one bound buffer per column. The buffers are bound once per
// prepared statement; a buffer that must grow for a long value is bound again everywhere.
// There is one prepared statement per pattern of LOB values (NULL, or EMPTY_CLOB() /
// EMPTY_BLOB() placeholder) and per need of the new row's ROWID.
class ora_insert_plan {
  public:
    // What a record holds in a LOB column.
    enum lob_state : char { lob_null = 'N', lob_empty = 'E', lob_write = 'W' };

    struct column_buffer {
        bind_kind kind;
        std::wstring placeholder;
        std::u16string text;         // text, number and date values
        std::vector<uint8_t> bytes;  // RAW values
        int32_t capacity = 0;        // bytes bound
        int16_t indicator = OCI_IND_NULL;
        uint16_t length = 0;
        char lob = lob_null;
        // NULL for a reason that must not relax the column's NOT NULL (a number out of range
        // without a default): Oracle then refuses the record.
        bool keep_not_null = false;
    };

    struct prepared {
        ora_stmt statement;
        std::unique_ptr<ora_get_rowid> rowid;
        uint64_t generation = 0;
    };

    ora_insert_plan(const std::wstring& table, const udb_schema& schema) : table_(table) {
        columns_.reserve(schema.size());
        for (size_t i = 0; i < schema.size(); ++i) {
            column_buffer column;
            column.kind = ora_bind_kind_of(schema[i]);
            column.placeholder = tk_wformat(L":v%d", static_cast<int>(i + 1));
            column.capacity = initial_capacity(column.kind, schema[i].size);
            column.text.reserve(static_cast<size_t>(column.capacity) / 2 + 1);
            column.bytes.reserve(static_cast<size_t>(column.capacity));
            columns_.push_back(std::move(column));
            names_.push_back(schema[i].name);
        }
    }

    std::vector<column_buffer>& columns() noexcept { return columns_; }

    // The statement for the LOB states of the columns now filled in.
    prepared& statement(bool returning, const std::vector<std::wstring>& overrides) {
        std::wstring key(columns_.size() + 1, L'-');
        for (size_t i = 0; i < columns_.size(); ++i) {
            key[i] = static_cast<wchar_t>(columns_[i].lob == lob_null ? 'N' : 'E');
        }
        key.back() = returning ? L'R' : L'-';
        const bool custom = std::any_of(overrides.begin(), overrides.end(),
                                        [](const std::wstring& text) { return !text.empty(); });
        if (custom) {
            one_off_ = make(key, returning, overrides);
            return *one_off_;
        }
        std::unique_ptr<prepared>& slot = statements_[key];
        if (!slot) {
            slot = make(key, returning, overrides);
        }
        bind_all(*slot, overrides);
        return *slot;
    }

    // Makes room for a value of the given size (bytes). A buffer that grows is bound again
    // before the next execution.
    void ensure_capacity(column_buffer& column, size_t bytes) {
        if (bytes <= static_cast<size_t>(column.capacity)) {
            return;
        }
        column.capacity = static_cast<int32_t>(bytes * 2);
        column.text.reserve(static_cast<size_t>(column.capacity) / 2 + 1);
        column.bytes.reserve(static_cast<size_t>(column.capacity));
        ++generation_;
    }

  private:
    static int32_t initial_capacity(bind_kind kind, int32_t size) {
        switch (kind) {
            case bind_kind::text:
                // Up to two UTF-16 code units per character.
                return std::max(size, 1) * 4;
            case bind_kind::raw:
                return std::max(size, 1);
            default:
                return 128;
        }
    }

    std::wstring value_expression(size_t i, const std::wstring& override_text) const {
        const column_buffer& column = columns_[i];
        if (!override_text.empty()) {
            return override_text;
        }
        switch (column.kind) {
            case bind_kind::clob:
                return column.lob == lob_null ? L"NULL" : L"EMPTY_CLOB()";
            case bind_kind::blob:
                return column.lob == lob_null ? L"NULL" : L"EMPTY_BLOB()";
            default:
                return ora_bind_expression(column.kind, column.placeholder);
        }
    }

    std::unique_ptr<prepared> make(const std::wstring& key, bool returning,
                                   const std::vector<std::wstring>& overrides) {
        std::wstring names;
        std::wstring values;
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (i > 0) {
                names += L", ";
                values += L", ";
            }
            names += L"\"" + names_[i] + L"\"";
            values += value_expression(i, overrides.empty() ? std::wstring() : overrides[i]);
        }
        std::wstring sql =
            L"INSERT INTO \"" + table_ + L"\" (" + names + L") VALUES (" + values + L")";
        if (returning) {
            sql += L" RETURNING ROWID INTO :1";
        }
        tk_trace_w(3, L"Run SQL query: %ls\n", sql.c_str());
        tk_trace_w(1, L"Prepared insert %ls", key.c_str());
        auto result = std::make_unique<prepared>();
        result->statement.prepare(sql);
        if (returning) {
            result->rowid = std::make_unique<ora_get_rowid>(result->statement);
        }
        result->generation = generation_ + 1;  // forces the first binding
        bind_all(*result, overrides);
        return result;
    }

    void bind_all(prepared& target, const std::vector<std::wstring>& overrides) {
        if (target.generation == generation_) {
            return;
        }
        for (size_t i = 0; i < columns_.size(); ++i) {
            column_buffer& column = columns_[i];
            if (column.kind == bind_kind::clob || column.kind == bind_kind::blob ||
                (!overrides.empty() && !overrides[i].empty())) {
                continue;
            }
            void* buffer = column.kind == bind_kind::raw ? static_cast<void*>(column.bytes.data())
                                                         : static_cast<void*>(column.text.data());
            target.statement.bind(column.placeholder, buffer, column.capacity,
                                  column.kind == bind_kind::raw ? SQLT_BIN : SQLT_CHR,
                                  &column.indicator, &column.length);
        }
        target.generation = generation_;
    }

    std::wstring table_;
    std::vector<std::wstring> names_;
    std::vector<column_buffer> columns_;
    std::map<std::wstring, std::unique_ptr<prepared>> statements_;
    std::unique_ptr<prepared> one_off_;
    uint64_t generation_ = 0;
};

// ---- ora_get_rowid ---------------------------------------------------------------------------

ora_get_rowid::ora_get_rowid(ora_stmt& statement) : statement_(statement) {
    bind_ =
        statement_.bind(L":1", nullptr, buffer_bytes, SQLT_STR, nullptr, nullptr, OCI_DATA_AT_EXEC);
    engine().check(
        ora_oci().OCIBindDynamic(bind_, engine().error(), this, &cbf_no_data, this, &cbf_get_data));
}

std::wstring ora_get_rowid::do_insert() {
    tk_trace(1, "ora_get_rowid::do_insert");
    std::fill(std::begin(buffer_), std::end(buffer_), u'\0');
    length_ = buffer_bytes;
    statement_.execute(1);
    size_t units = 0;
    while (units < std::size(buffer_) && units * 2 < length_ && buffer_[units] != u'\0') {
        ++units;
    }
    const std::wstring rowid = ora_from_oci(buffer_, units * 2);
    tk_trace_w(1, L"GOT ROWID(1): %ls", rowid.c_str());
    return rowid;
}

int32_t ora_get_rowid::cbf_no_data(void*, OCIBind*, uint32_t, uint32_t, void** buffer,
                                   uint32_t* length, uint8_t* piece, void** indicator) {
    tk_trace(1, "ora_get_rowid::cbf_no_data");
    static int16_t null_indicator = OCI_IND_NULL;
    *buffer = nullptr;
    *length = 0;
    *piece = OCI_ONE_PIECE;
    *indicator = &null_indicator;
    return OCI_CONTINUE;
}

int32_t ora_get_rowid::cbf_get_data(void* context, OCIBind*, uint32_t iteration, uint32_t,
                                    void** buffer, uint32_t** length, uint8_t* piece,
                                    void** indicator, uint16_t** return_code) {
    tk_trace(1, "ora_get_rowid::cbf_get_data (iter=%u)", iteration);
    auto* self = static_cast<ora_get_rowid*>(context);
    self->length_ = buffer_bytes;
    *buffer = self->buffer_;
    *length = &self->length_;
    *piece = OCI_ONE_PIECE;
    *indicator = nullptr;
    *return_code = nullptr;
    return OCI_CONTINUE;
}

// ---- ora_lob_insert --------------------------------------------------------------------------

ora_lob_insert::ora_lob_insert(const std::wstring& table, const udb_schema& schema)
    : table_(table) {
    tk_trace(1, "ora_lob_insert::ctor");
    for (size_t i = 0; i < schema.size(); ++i) {
        if (!ora_is_lob_column(schema[i])) {
            continue;
        }
        tk_trace_w(1, L"GOT LD %ls", schema[i].name.c_str());
        columns_.push_back({i, schema[i].vartype, schema[i].name});
        locators_.emplace_back();
    }
    indicators_.assign(columns_.size(), 0);
    tk_trace(1, "ora_lob_insert::ctor - at the END");
}

ora_lob_insert::~ora_lob_insert() {
    tk_trace(1, "ora_lob_insert::~ora_lob_insert");
    select_.reset();
    delete_.reset();
    tk_trace(1, "~ora_lob_insert - Step #1");
    locators_.clear();
    tk_trace(1, "~ora_lob_insert - Step #2");
    columns_.clear();
    tk_trace(1, "~ora_lob_insert - Step #3");
}

void ora_lob_insert::insert(const std::vector<const ole_variant*>& values,
                            const std::wstring& rowid) {
    tk_trace_w(1, L"ora_lob_insert::insert(%ls)", rowid.c_str());
    if (columns_.empty()) {
        tk_trace(2, "Record has no LOBs - skip it");
        return;
    }
    if (!select_) {
        std::wstring names;
        for (const lob_column& column : columns_) {
            names += (names.empty() ? L"\"" : L", \"") + column.name + L"\"";
        }
        const std::wstring sql =
            L"SELECT " + names + L" FROM \"" + table_ + L"\" WHERE ROWID = :1 FOR UPDATE";
        tk_trace_w(3, L"Run SQL query: %ls\n", sql.c_str());
        select_ = std::make_unique<ora_stmt>(sql);
        for (size_t k = 0; k < columns_.size(); ++k) {
            select_->define(static_cast<uint32_t>(k + 1), locators_[k].address(),
                            sizeof(OCILobLocator*),
                            ora_is_text_kind(columns_[k].kind) ? SQLT_CLOB : SQLT_BLOB,
                            &indicators_[k], nullptr);
        }
    }
    rowid_.clear();
    append_utf16(rowid_, rowid);
    select_->bind(L":1", rowid_.data(), static_cast<int32_t>(rowid_.size() * 2), SQLT_CHR,
                  &rowid_indicator_, nullptr);
    if (select_->execute(1) == ora_status::no_data) {
        throw tk_exception("The inserted row cannot be found again to write its large values.", 0);
    }
    for (size_t k = 0; k < columns_.size(); ++k) {
        const ole_variant* value = values[columns_[k].position];
        if (value == nullptr) {
            continue;
        }
        if (ora_is_text_kind(columns_[k].kind)) {
            write_clob(k, *value);
        } else {
            write_blob(k, *value);
        }
    }
    tk_trace(1, "ora_insert::insert - at the END");
}

void ora_lob_insert::remove_last_row() {
    tk_trace(1, "ora_lob_insert::remove_last_row");
    if (!delete_) {
        delete_ = std::make_unique<ora_stmt>(L"DELETE FROM \"" + table_ + L"\" WHERE ROWID = :1");
    }
    delete_->bind(L":1", rowid_.data(), static_cast<int32_t>(rowid_.size() * 2), SQLT_CHR,
                  &rowid_indicator_, nullptr);
    delete_->execute(1);
}

void ora_lob_insert::write_clob(size_t column, const ole_variant& value) {
    tk_trace(1, "ora_lob_insert::write_clob");
    if (value.is_null() || value.bstr().empty()) {
        tk_trace(1, "Got empty CLOB - skip it");
        return;
    }
    const std::wstring& text = value.bstr();
    tk_trace(1, "CLOB size=%d", static_cast<int>(text.size()));
    tk_trace_w(1, L"CLOB data='%ls'", text.substr(0, 64).c_str());
    std::u16string units;
    units.reserve(text.size());
    append_utf16(units, text);
    ora_lob_locator& locator = locators_[column];
    locator.write_text(units, locator.charset_form());
}

void ora_lob_insert::write_blob(size_t column, const ole_variant& value) {
    tk_trace(1, "ora_lob_insert::write_blob");
    const std::span<const uint8_t> bytes = value.bytes();
    if (bytes.empty()) {
        tk_trace(1, "Got empty BLOB - skip it");
        return;
    }
    tk_trace(1, "BLOB size=%d", static_cast<int>(bytes.size()));
    if (bytes.size() >= 4) {
        tk_trace(1, "BLOB: %02X %02X %02X %02X...", bytes[0], bytes[1], bytes[2], bytes[3]);
    }
    locators_[column].write_bytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
    tk_trace(1, "ora_lob_insert::write_blob - at the end");
}

// ---- ora_table -------------------------------------------------------------------------------

ora_table::ora_table(const std::wstring& table, ora_database& database, int32_t mode)
    : ora_query_results(table, L""), database_(database), mode_(mode) {
    tk_trace_w(2, L"ora_table::ora_table(%ls)", table.c_str());
    init_schema();
    if (schema.empty()) {
        tk_trace(2, "Empty table");
        return;
    }
    if (mode_ == 1 && !engine().skip_indexes) {
        init_indexes();
    }
    count = engine().get_records_cnt(table, false);
    tk_trace(2, "Got %lld records", static_cast<long long>(count));
}

ora_table::ora_table(const std::wstring& name, const std::wstring& query, ora_database& database,
                     int32_t mode)
    : ora_query_results(name, query), database_(database), mode_(mode) {
    tk_trace_w(2, L"ora_table::ora_table(%ls)", name.c_str());
    initialize(0, query);
    for (const auto& reader : readers()) {
        schema.add(reader->column());
    }
    reading_ = true;
    count = engine().get_records_cnt(query, true);
    tk_trace(2, "Got %lld records", static_cast<long long>(count));
}

ora_table::~ora_table() {
    tk_trace(2, "ora_table::dtor");
    if (pending_ == 0) {
        return;
    }
    try {
        commit();
    } catch (const std::exception& e) {
        tk_trace(3, "Records of table could not be committed: %s", e.what());
    }
}

int32_t ora_table::get_columns_cnt() {
    tk_trace(1, "ora_table::get_columns_cnt");
    const std::vector<std::wstring> counts = read_texts(
        L"SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = " + ora_quote_string(name));
    return counts.empty() ? 0 : static_cast<int32_t>(std::wcstol(counts[0].c_str(), nullptr, 10));
}

void ora_table::init_schema() {
    tk_trace(2, "ora_table::init_schema");
    const int32_t columns = get_columns_cnt();
    tk_trace(2, "Got %d columns", columns);
    if (columns == 0) {
        return;
    }
    initialize(columns, L"SELECT * FROM \"" + name + L"\"");
    for (const auto& reader : readers()) {
        schema.add(reader->column());
    }
    tk_trace(2, "Right before extract DB structure");
    const auto rows = read_rows(
        L"select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE, CHAR_LENGTH from USER_TAB_COLUMNS "
        L"where table_name = " +
        ora_quote_string(name));
    for (const std::vector<std::wstring>& row : rows) {
        t_ftd* field = nullptr;
        for (t_ftd* candidate : schema.fields()) {
            if (candidate->name == row[0]) {
                field = candidate;
            }
        }
        if (field == nullptr) {
            tk_trace_w(2, L"Field not found in schema: %ls", row[0].c_str());
            continue;
        }
        const std::wstring& data_type = row[2];
        const long char_length = std::wcstol(row[3].c_str(), nullptr, 10);
        const bool national = data_type == L"NVARCHAR2" || data_type == L"NCHAR";
        if (char_length > 0 && (national || data_type == L"VARCHAR2" || data_type == L"CHAR")) {
            field->size = static_cast<int32_t>(char_length);
        } else if (national) {
            field->size /= 2;
        }
        if (row[1].empty()) {
            continue;
        }
        tk_trace_w(1, L"Got default string: %ls (eye=%d, type=%d)", row[1].c_str(),
                   static_cast<int>(field - schema.fields()[0]), field->vartype);
        field->default_value = get_def_value(field->vartype, row[1]);
        tk_trace_w(1, L"Got default variant: %ls", field->default_value.to_wstring().c_str());
    }
    // The description's cursor is closed: reading starts its own, and a cursor left open
    // on the table would stand in the way of the ALTER TABLE of reset_not_null_flag.
    statement_ = std::make_unique<ora_stmt>();
}

void ora_table::reopen_for_reading() {
    statement_->prepare(L"SELECT * FROM \"" + name + L"\"");
    statement_->execute(0);
    for (size_t i = 0; i < readers_.size(); ++i) {
        readers_[i]->define(*statement_, static_cast<uint32_t>(i + 1));
    }
    reading_ = true;
}

ole_variant ora_table::get_def_value(VARTYPE kind, const std::wstring& text) const {
    tk_trace_w(1, L"ora_table::get_def_value(type=0x%08X, src=%ls)", kind, text.c_str());
    std::wstring value = text;
    while (!value.empty() && std::iswspace(static_cast<wint_t>(value.back()))) {
        value.pop_back();
    }
    while (!value.empty() && std::iswspace(static_cast<wint_t>(value.front()))) {
        value.erase(0, 1);
    }
    if (value.size() > 1 && value.front() == L'\'' && value.back() == L'\'') {
        tk_trace(1, "Removing quotes");
        value = value.substr(1, value.size() - 2);
        tk_trace_w(1, L"After removing quotes: %ls", value.c_str());
    } else if (ora_is_text_kind(kind)) {
        tk_trace(1, "Incorrect/empty/null default value for VT_BSTR");
        return {};
    } else if (tk_wcsicmp(value, L"NULL") == 0) {
        return {};
    }
    if (kind == VT_DATE) {
        value = ora_date_processor().get_canonized_str(value);
    }
    for (size_t at = value.find(L"''"); at != std::wstring::npos; at = value.find(L"''", at + 1)) {
        value.erase(at, 1);
    }
    return ole_variant::from_wstring(value, kind);
}

void ora_table::init_indexes() {
    tk_trace(2, "ora_table::init_indexes");
    const std::wstring table = ora_quote_string(name);
    udb_index primary;
    primary.is_primary = true;
    primary.is_unique = true;
    for (const auto& row :
         read_rows(L"SELECT a.constraint_name, a.column_name FROM user_cons_columns a, "
                   L"user_constraints b WHERE a.table_name=" +
                   table +
                   L" AND a.constraint_name=b.constraint_name AND b.constraint_type='P' ORDER BY "
                   L"a.constraint_name, a.position")) {
        primary.name = row[0];
        tk_trace_w(2, L"Got primary key '%ls'", row[0].c_str());
        if (!schema.find_field(row[1])) {
            tk_trace_w(2, L"PK field '%ls' not found - skip it", row[1].c_str());
            continue;
        }
        primary.fields.push_back(row[1]);
    }
    if (!primary.name.empty()) {
        indexes.push_back(primary);
    }

    const std::wstring generated =
        database_.version() < version_8 ? L"" : L" AND user_indexes.generated='N'";
    for (const auto& row :
         read_rows(L"SELECT user_indexes.index_name, user_indexes.uniqueness, "
                   L"user_ind_columns.column_name FROM user_ind_columns, user_indexes where "
                   L"user_ind_columns.table_name = " +
                   table + generated +
                   L" AND user_ind_columns.index_name = user_indexes.index_name AND "
                   L"user_ind_columns.table_name = user_indexes.table_name ORDER BY "
                   L"user_indexes.index_name, user_ind_columns.column_position")) {
        if (row[0] == primary.name) {
            tk_trace(1, "Skip Primary Key DoubleInitialization");
            continue;
        }
        if (indexes.empty() || indexes.back().name != row[0] || indexes.back().is_primary) {
            udb_index index;
            index.name = row[0];
            index.is_unique = row[1] == L"UNIQUE";
            tk_trace_w(2, L"Got index '%ls' (unique=%d)", row[0].c_str(), index.is_unique);
            indexes.push_back(index);
        }
        if (!schema.find_field(row[2])) {
            tk_trace_w(2, L"Index field '%ls' not found - skip it", row[2].c_str());
            continue;
        }
        indexes.back().fields.push_back(row[2]);
    }

    if (primary.name.empty()) {
        return;
    }
    const std::wstring pk = ora_quote_string(primary.name);
    const std::vector<std::wstring> counted =
        read_texts(L"select count(*) from USER_CONSTRAINTS where R_CONSTRAINT_NAME=" + pk +
                   L" and CONSTRAINT_TYPE='R'");
    if (counted.empty() || std::wcstol(counted[0].c_str(), nullptr, 10) == 0) {
        tk_trace(2, "No foreign keys found");
        return;
    }
    for (const auto& row : read_rows(
             L"select a.TABLE_NAME,a.CONSTRAINT_NAME,a.DELETE_RULE,b.COLUMN_NAME FROM "
             L"USER_CONSTRAINTS a, USER_CONS_COLUMNS b WHERE a.CONSTRAINT_NAME=b.CONSTRAINT_NAME "
             L"and a.CONSTRAINT_TYPE='R' and a.R_CONSTRAINT_NAME=" +
             pk)) {
        tk_trace_w(2, L"GOT FK: %ls,%ls,%ls,%ls", row[0].c_str(), row[1].c_str(), row[2].c_str(),
                   row[3].c_str());
        if (foreign_keys_.empty() || foreign_keys_.back().name != row[1]) {
            udb_relationship key;
            key.name = row[1];
            key.referenced_key = primary.name;
            key.table = row[0];
            key.referenced_table = name;
            key.rule = L"ON DELETE " + row[2];
            key.referenced_fields = primary.fields;
            foreign_keys_.push_back(key);
        }
        foreign_keys_.back().fields.push_back(row[3]);
    }
}

void ora_table::adopt_created_schema(const udb_schema& created) {
    for (size_t i = 0; i < schema.size() && i < created.size(); ++i) {
        if (schema[i].vartype == VT_DATE) {
            schema[i].subtype = created[i].subtype;
        }
        schema[i].auto_increment = created[i].auto_increment;
    }
}

void ora_table::complete_auto_increment() {
    if (deferred_key_.empty()) {
        return;
    }
    const std::wstring key = deferred_key_;
    deferred_key_.clear();
    commit();
    // As text: a NUMBER(20,0) key is beyond what a double holds exactly.
    const std::vector<std::wstring> largest =
        read_texts(L"SELECT TO_CHAR(MAX(\"" + key + L"\")) FROM \"" + name + L"\"");
    const std::wstring start = ora_sequence_start_after(largest.empty() ? L"" : largest[0]);
    tk_trace_w(2, L"Sequence of %ls starts after the keys copied: %ls", name.c_str(),
               start.c_str());
    if (start.size() > 28) {
        throw tk_exception(tk_wformat(L"The keys of column \"%ls\" go beyond what an Oracle "
                                      L"sequence can give (1E28): no sequence was created.",
                                      key.c_str()),
                           0);
    }
    ora_schema_initializer::create_auto_increment(database_, name, key, start);
}

void ora_table::take_back_row(const std::exception& failure) {
    tk_trace(3, "Large values of a record could not be written: %s", failure.what());
    try {
        lobs_->remove_last_row();
        return;
    } catch (const std::exception& e) {
        tk_trace(3, "The record's row could not be deleted again: %s", e.what());
    }
    // The row cannot be taken back alone: roll back the whole batch and say so, since the
    // records counted since the last commit are gone with it.
    try {
        engine().rollback();
    } catch (const std::exception& e) {
        tk_trace(3, "Rollback failed: %s", e.what());
    }
    const int32_t lost = pending_;
    pending_ = 0;
    if (lost > 0) {
        count -= lost;
        throw tk_exception(
            tk_format("The large values of a record could not be written and %d records "
                      "before it were rolled back with it: %s",
                      static_cast<int>(lost), failure.what()),
            1);
    }
}

void ora_table::set_commit_interval(int32_t records) {
    commit_interval_ = records < 1 ? 1 : records;
}

void ora_table::commit() {
    engine().commit();
    pending_ = 0;
}

bool ora_table::is_eof() {
    tk_trace(1, "ora_table::is_eof(%lld,%d)", static_cast<long long>(count),
             static_cast<int>(readers().size()));
    TK_ASSERT(initialized());
    if (!reading_) {
        reopen_for_reading();
    }
    return ora_query_results::is_eof();
}

int64_t ora_table::next() {
    tk_trace(1, "ora_table::next");
    TK_ASSERT(initialized());
    return ++position_;
}

void ora_table::reset_not_null_flag(size_t column) {
    tk_trace(2, "ora_table::reset_not_null_flag(%d)", static_cast<int>(column));
    TK_ASSERT(column < schema.size());
    t_ftd& field = schema[column];
    const std::wstring sql = L"ALTER TABLE \"" + name + L"\" MODIFY \"" + field.name + L"\" NULL";
    tk_trace_w(3, L"Run SQL query: %ls\n", sql.c_str());
    try {
        database_.execute(sql, OCI_COMMIT_ON_SUCCESS);
    } catch (const ora_exception& e) {
        // 1451: the column already accepts NULL.
        if (e.ora_error() != 1451) {
            throw;
        }
    }
    // DDL commits whatever was pending.
    pending_ = 0;
    field.not_null = false;
}

// ---- append_record ---------------------------------------------------------------------------

namespace {

// The most bytes a bind length word can state, kept even for UTF-16.
constexpr size_t max_bind_bytes = 65534;

size_t utf16_units(const std::wstring& text) {
    size_t units = text.size();
    for (wchar_t c : text) {
        if (static_cast<uint32_t>(c) >= 0x10000) {
            ++units;
        }
    }
    return units;
}

}  // namespace

// Oracle refuses a bound text longer than a VARCHAR2 can be; refused here for this record
// only, as Oracle would refuse it.
void ora_table::set_text(size_t i, const std::wstring& text) {
    ora_insert_plan::column_buffer& buffer = plan_->columns()[i];
    const size_t bytes = utf16_units(text) * 2;
    if (bytes > max_bind_bytes) {
        throw ora_exception(
            12899, tk_wformat(L"ORA-12899: value too large for column "
                              L"\"%ls\".\"%ls\" (actual: %zu, maximum: %d)",
                              name.c_str(), schema[i].name.c_str(), text.size(), schema[i].size));
    }
    plan_->ensure_capacity(buffer, bytes);
    buffer.text.clear();
    append_utf16(buffer.text, text);
    buffer.length = static_cast<uint16_t>(bytes);
    buffer.indicator = OCI_IND_NOTNULL;
}

// The value as the kind of a binary or large column: the record's own when it has that kind,
// else a converted copy kept for this record.
const ole_variant& ora_table::as_kind(size_t i, const udb_field& value, VARTYPE kind, bool binary) {
    const bool fits = binary ? ora_is_binary_kind(value.vartype()) : value.vartype() == kind;
    if (fits) {
        return value;
    }
    ole_variant& copy = converted_[i];
    copy = value;
    try {
        copy.change_type(kind);
    } catch (const tk_exception&) {
        throw ora_value_rejected(schema[i], value,
                                 "it does not convert to the column's type (" +
                                     tk_ucs2_to_utf8(get_native_type(schema[i])) + ")");
    }
    return copy;
}

void ora_table::fill(size_t i, const udb_field& value) {
    ora_insert_plan::column_buffer& buffer = plan_->columns()[i];
    const t_ftd& column = schema[i];
    buffer.indicator = OCI_IND_NULL;
    buffer.length = 0;
    buffer.lob = ora_insert_plan::lob_null;
    buffer.keep_not_null = false;
    lob_values_[i] = nullptr;
    if (value.is_null()) {
        return;
    }
    switch (buffer.kind) {
        case bind_kind::raw: {
            const std::span<const uint8_t> bytes = as_kind(i, value, VT_ARRAY_UI1, true).bytes();
            if (bytes.empty()) {
                return;
            }
            plan_->ensure_capacity(buffer, bytes.size());
            buffer.bytes.assign(bytes.begin(), bytes.end());
            buffer.length = static_cast<uint16_t>(std::min<size_t>(bytes.size(), 65535));
            buffer.indicator = OCI_IND_NOTNULL;
            return;
        }
        case bind_kind::clob: {
            const ole_variant& text = as_kind(i, value, VT_BSTR, false);
            lob_values_[i] = &text;
            buffer.lob =
                text.bstr().empty() ? ora_insert_plan::lob_empty : ora_insert_plan::lob_write;
            return;
        }
        case bind_kind::blob: {
            const ole_variant& bytes = as_kind(i, value, VT_ARRAY_UI1, true);
            lob_values_[i] = &bytes;
            buffer.lob =
                bytes.bytes().empty() ? ora_insert_plan::lob_empty : ora_insert_plan::lob_write;
            return;
        }
        default: {
            ora_bound_value bound = ora_bind_scalar(column, value);
            buffer.keep_not_null = bound.keep_not_null;
            if (!bound.note.empty()) {
                notes_.push_back(std::move(bound.note));
            }
            if (!bound.is_null) {
                set_text(i, bound.text);
            }
            return;
        }
    }
}

bool ora_table::append_record(udb_record& record) {
    tk_trace(1, "ora_table::append_record");
    const int64_t number = ++given_;
    try {
        write_record(record);
    } catch (const ora_value_rejected& e) {
        if (sink_ == nullptr) {
            throw;
        }
        sink_->record_rejected(number, record, e);
        return false;
    } catch (const ora_exception& e) {
        if (sink_ == nullptr) {
            throw;
        }
        sink_->record_rejected(number, record, e);
        return false;
    }
    for (const std::string& note : notes_) {
        if (sink_ != nullptr) {
            sink_->value_altered(number, record, note);
        } else {
            tk_trace(3, "%s", note.c_str());
        }
    }
    tk_trace(1, "ora_table::append_record - at the END");
    return true;
}

void ora_table::write_record(const udb_record& record) {
    if (record.size() != schema.size()) {
        throw tk_exception(
            tk_format("The record has %d values but the table has %d columns.",
                      static_cast<int>(record.size()), static_cast<int>(schema.size())),
            0);
    }
    if (!plan_) {
        plan_ = std::make_unique<ora_insert_plan>(name, schema);
        lobs_ = std::make_unique<ora_lob_insert>(name, schema);
        lob_values_.assign(schema.size(), nullptr);
        converted_.resize(schema.size());
    }
    notes_.clear();
    const udb_custom_conversion* rules = udb_custom_conversion::instance_or_null();
    const bool custom = rules != nullptr && rules->rule_count() > 0;
    std::vector<std::wstring> overrides;
    bool writes_lob = false;
    auto& buffers = plan_->columns();
    for (size_t i = 0; i < record.size(); ++i) {
        const bool lob = buffers[i].kind == bind_kind::clob || buffers[i].kind == bind_kind::blob;
        if (custom && !lob && udb_custom_conversion::is_acceptable2(record[i])) {
            overrides.resize(record.size());
            overrides[i] = udb_custom_conversion::handle2(record[i]);
            continue;
        }
        fill(i, record[i]);
        writes_lob = writes_lob || buffers[i].lob == ora_insert_plan::lob_write;
    }
    for (size_t i = 0; i < record.size(); ++i) {
        const auto& buffer = buffers[i];
        const bool lob = buffer.kind == bind_kind::clob || buffer.kind == bind_kind::blob;
        const bool is_null =
            lob ? buffer.lob == ora_insert_plan::lob_null : buffer.indicator == OCI_IND_NULL;
        if (!is_null || buffer.keep_not_null || !schema[i].not_null ||
            (!overrides.empty() && !overrides[i].empty()) ||
            indexes.is_idx_field(schema[i].name, true)) {
            continue;
        }
        tk_trace(1, "Put NULL-field");
        reset_not_null_flag(i);
    }

    if (!writes_lob) {
        plan_->statement(false, overrides).statement.execute(1);
    } else {
        // A record with large values joins the pending batch only once they are written, so a
        // commit never makes a row durable without its CLOB or BLOB. When a write fails, the
        // row alone is deleted again and the records pending before it stay.
        ora_get_rowid& inserter = *plan_->statement(true, overrides).rowid;
        const std::wstring rowid = inserter.do_insert();
        tk_trace_w(1, L"GOT ROWID(2): %ls", rowid.c_str());
        try {
            lobs_->insert(lob_values_, rowid);
        } catch (const std::exception& failure) {
            take_back_row(failure);
            throw;
        }
    }
    ++count;
    if (++pending_ >= commit_interval_) {
        commit();
    }
}

#include "ORA/ora_table.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cwctype>
#include <map>
#include <utility>

#include "ORA/ora_background.h"
#include "ORA/ora_database.h"
#include "ORA/ora_date_processor.h"
#include "ORA/ora_insert_batch.h"
#include "ORA/ora_lob_writer.h"
#include "ORA/ora_schema_initializer.h"
#include "ORA/ora_temporal.h"
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

using bind_kind = ora_bind_kind;

// The bytes of a text in UTF-16, as it is bound.
size_t utf16_bytes(const std::wstring& text) {
    size_t units = text.size();
    for (const wchar_t c : text) {
        units += static_cast<uint32_t>(c) >= 0x10000 ? 1 : 0;
    }
    return units * 2;
}

}  // namespace

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
    // A batch being written refers to this table.
    ora_background::instance().wait();
    if (pending() == 0) {
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
    const std::map<std::pair<std::wstring, std::wstring>, std::wstring> expressions =
        expression_columns();
    for (auto row :
         read_rows(L"SELECT user_indexes.index_name, user_indexes.uniqueness, "
                   L"user_ind_columns.column_name, user_ind_columns.column_position FROM "
                   L"user_ind_columns, user_indexes where user_ind_columns.table_name = " +
                   table + generated +
                   L" AND user_ind_columns.index_name = user_indexes.index_name AND "
                   L"user_ind_columns.table_name = user_indexes.table_name ORDER BY "
                   L"user_indexes.index_name, user_ind_columns.column_position")) {
        // A key that leaves out rows with a NULL part indexes CASE expressions over its columns.
        if (const auto found = expressions.find({row[0], row[3]}); found != expressions.end()) {
            row[2] = found->second;
        }
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

// The column each expression of the table's function-based indexes yields, by index name and
// position: "CASE WHEN ... THEN "c" END" as the system writes a unique key whose rows with a
// NULL part take no part in it. Other expressions name no column.
std::map<std::pair<std::wstring, std::wstring>, std::wstring> ora_table::expression_columns() {
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> columns;
    if (database_.version() < version_8) {
        return columns;
    }
    try {
        for (const auto& row : read_rows(L"SELECT INDEX_NAME, COLUMN_POSITION, COLUMN_EXPRESSION "
                                         L"FROM USER_IND_EXPRESSIONS WHERE TABLE_NAME = " +
                                         ora_quote_string(name))) {
            const std::wstring& expression = row[2];
            const size_t then = expression.rfind(L"THEN \"");
            const size_t end = then == std::wstring::npos ? then : expression.find(L'"', then + 6);
            if (end == std::wstring::npos || expression.find(L"END", end) == std::wstring::npos) {
                continue;
            }
            columns[{row[0], row[1]}] = expression.substr(then + 6, end - then - 6);
        }
    } catch (const ora_exception& e) {
        tk_trace(2, "Index expressions cannot be read: %s", e.what());
    }
    return columns;
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

void ora_table::set_commit_interval(int32_t records) {
    commit_interval_ = records < 1 ? 1 : records;
    // The next batch takes the new bound; the records staged go first.
    flush();
    collect();
    batch_.reset();
    spare_.reset();
}

void ora_table::commit() {
    // Every record staged is written and counted, whatever a sink or a batch raises on the way;
    // the first exception comes after. Each round collects a batch on its way at least, or
    // sends the one staged.
    std::exception_ptr first;
    for (size_t rounds = writing_.size() + 2; rounds > 0 && pending() > 0; --rounds) {
        try {
            flush();
            collect();
        } catch (...) {
            if (!first) {
                first = std::current_exception();
            }
        }
    }
    if (first) {
        std::rethrow_exception(first);
    }
    engine().commit();
}

int64_t ora_table::pending() const noexcept {
    int64_t rows = batch_ ? static_cast<int64_t>(batch_->rows()) : 0;
    for (const std::unique_ptr<in_flight>& sent : writing_) {
        rows += static_cast<int64_t>(sent->batch->rows());
    }
    return rows;
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
    field.not_null = false;
}

// ---- append_record ----------------------------------------------------------------------------

size_t ora_table::inline_lob_bytes() {
    return std::min<size_t>(1u << 20, ora_stmt::max_array_element());
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

void ora_table::stage_value(size_t i, const udb_field& value) {
    const t_ftd& column = schema[i];
    const bind_kind kind = kinds_[i];
    if (value.is_null()) {
        takes_null_[i] = true;
        batch_->set_null(i);
        return;
    }
    switch (kind) {
        case bind_kind::raw: {
            const std::span<const uint8_t> bytes = as_kind(i, value, VT_ARRAY_UI1, true).bytes();
            // An empty RAW is NULL in Oracle.
            takes_null_[i] = bytes.empty();
            bytes.empty() ? batch_->set_null(i) : batch_->set_bytes(i, bytes);
            return;
        }
        case bind_kind::clob:
        case bind_kind::blob: {
            const ole_variant& large = large_value(i, value);
            const bool text = kind == bind_kind::clob;
            if (text ? large.bstr().empty() : large.bytes().empty()) {
                batch_->set_lob(i, ora_insert_batch::lob_empty);
            } else if (beyond_inline(large, kind)) {
                lob_values_[i] = &large;
                batch_->set_lob(i, ora_insert_batch::lob_empty);
            } else if (text) {
                batch_->set_text(i, large.bstr());
            } else {
                batch_->set_bytes(i, large.bytes());
            }
            return;
        }
        default: {
            // A whole number goes as it is, in binary: the number rules would not change it.
            if (int64_t whole = 0; kind == bind_kind::number && ora_whole_number(value, whole)) {
                batch_->set_integer(i, whole);
                return;
            }
            // A text goes as it is, without a copy (the empty text, NULL, takes the rules below).
            if (kind == bind_kind::text && value.vartype() == VT_BSTR && !value.bstr().empty()) {
                check_length(i, value.bstr());
                batch_->set_text(i, value.bstr());
                return;
            }
            ora_bound_value bound = ora_bind_scalar(column, value, kind);
            if (!bound.note.empty()) {
                notes_.push_back(std::move(bound.note));
            }
            if (bound.is_null) {
                // NULL for a reason that must not relax the column's NOT NULL (a number out
                // of range without a default): Oracle then refuses the record.
                takes_null_[i] = !bound.keep_not_null;
                batch_->set_null(i);
            } else if (kind == bind_kind::date) {
                uint8_t date[7];
                if (!ora_date_bytes(bound.text, date)) {
                    throw ora_value_rejected(column, value, "it is no date Oracle holds");
                }
                batch_->set_bytes(i, date);
            } else {
                if (kind == bind_kind::text) {
                    check_length(i, bound.text);
                }
                batch_->set_text(i, bound.text);
            }
            return;
        }
    }
}

// A text longer than its column is refused here, as Oracle would refuse it, rather than bound
// with a length no column holds: longer in characters than the column, or in bytes than any
// VARCHAR2 holds (VARCHAR2(4000 CHAR) takes no 4000 characters of three bytes each).
void ora_table::check_length(size_t i, const std::wstring& text) const {
    const t_ftd& column = schema[i];
    size_t actual = text.size();
    size_t maximum = column.size > 0 ? static_cast<size_t>(column.size) : actual;
    const auto bytes_limit = static_cast<size_t>(ora_max_varchar2_bytes());
    if (actual <= maximum && actual * 4 > bytes_limit) {
        const size_t bytes = ora_validator::byte_length(text);
        if (bytes > bytes_limit) {
            actual = bytes;
            maximum = bytes_limit;
        }
    }
    if (actual <= maximum) {
        return;
    }
    throw ora_exception(12899, tk_wformat(L"ORA-12899: value too large for column "
                                          L"\"%ls\".\"%ls\" (actual: %zu, maximum: %zu)",
                                          name.c_str(), column.name.c_str(), actual, maximum));
}

void ora_table::check_width(const udb_record& record) const {
    if (record.size() != schema.size()) {
        throw tk_exception(
            tk_format("The record has %d values but the table has %d columns.",
                      static_cast<int>(record.size()), static_cast<int>(schema.size())),
            0);
    }
}

bool ora_table::stage_record(const udb_record& record) {
    notes_.clear();
    lob_values_.assign(schema.size(), nullptr);
    takes_null_.assign(schema.size(), false);
    const udb_custom_conversion* rules = udb_custom_conversion::instance_or_null();
    const bool custom = rules != nullptr && rules->rule_count() > 0;
    bool through_locators = false;
    for (size_t i = 0; i < record.size(); ++i) {
        const bool lob = kinds_[i] == bind_kind::clob || kinds_[i] == bind_kind::blob;
        if (custom && !lob && udb_custom_conversion::is_acceptable2(record[i])) {
            batch_->set_expression(i, udb_custom_conversion::handle2(record[i]));
            continue;
        }
        stage_value(i, record[i]);
        through_locators = through_locators || lob_values_[i] != nullptr;
    }
    return through_locators;
}

void ora_table::relax_not_null() {
    for (size_t i = 0; i < schema.size(); ++i) {
        if (takes_null_[i] && schema[i].not_null && !indexes.is_idx_field(schema[i].name, true)) {
            tk_trace(1, "Put NULL-field");
            reset_not_null_flag(i);
        }
    }
}

void ora_table::flush() {
    // The oldest batch is told first when two are on their way.
    collect(1);
    if (!batch_ || batch_->empty()) {
        return;
    }
    if (sink_ == nullptr) {
        // Without a sink the batch is written now, so that its failure is raised here.
        counting_stored([this] { batch_->flush(nullptr, stored_); });
        return;
    }
    // Written on the worker while the next batch is staged here; collect tells the sink.
    auto sent = std::make_unique<in_flight>();
    in_flight* const writing = sent.get();
    sent->batch = std::move(batch_);
    batch_ = spare_ ? std::move(spare_) : new_batch();
    const auto write = [this, writing] {
        try {
            writing->batch->write(true);
        } catch (const ora_exception& e) {
            // Not a record's refusal (those are kept for the sink) but the batch's: a commit
            // that failed, say. The rows of the batch are in doubt, so the table has failed.
            writing->failure = std::make_exception_ptr(
                tk_exception(tk_wformat(L"The records of table \"%ls\" could not be written: %ls",
                                        name.c_str(), platform::ansi_to_wide(e.what()).c_str()),
                             1));
        } catch (...) {
            writing->failure = std::current_exception();
        }
    };
    // In line here before the worker may touch it.
    writing_.push_back(std::move(sent));
    try {
        writing->job = ora_background::instance().start(write);
    } catch (...) {
        // No worker to write it: the batch stays staged, as it was.
        spare_ = std::move(batch_);
        batch_ = std::move(writing->batch);
        writing_.pop_back();
        throw;
    }
}

void ora_table::collect(size_t keep) {
    // Only as many as must: so the sink hears of a batch when the one after the next is sent,
    // whatever the worker's pace.
    ora_background& background = ora_background::instance();
    while (writing_.size() > keep) {
        const std::unique_ptr<in_flight> oldest = std::move(writing_.front());
        writing_.pop_front();
        background.wait_for(oldest->job);
        // Finishing empties the batch, whatever it raises: it stages the next records.
        struct reuse {
            ora_table& table;
            std::unique_ptr<ora_insert_batch>& batch;
            ~reuse() { table.spare_ = std::move(batch); }
        } const reused{*this, oldest->batch};
        counting_stored([&] {
            oldest->batch->finish(sink_, stored_, std::exchange(oldest->failure, nullptr));
        });
    }
}

void ora_table::counting_stored(const std::function<void()>& write) {
    const int64_t before = stored_;
    try {
        write();
    } catch (...) {
        count += stored_ - before;
        throw;
    }
    count += stored_ - before;
}

std::unique_ptr<ora_insert_batch> ora_table::new_batch() const {
    ora_insert_batch::limits bounds;
    bounds.max_rows = std::min<size_t>(static_cast<size_t>(commit_interval_), 5000);
    return std::make_unique<ora_insert_batch>(name, schema, bounds);
}

void ora_table::write_through_locators() {
    // Oracle has committed every row before this one, and the sink has heard of them: a
    // failure rolls back this row alone.
    collect();
    const std::wstring rowid = batch_->insert_returning_rowid();
    tk_trace_w(1, L"GOT ROWID(2): %ls", rowid.c_str());
    try {
        lobs_->insert(lob_values_, rowid);
        engine().commit();
    } catch (const std::exception& failure) {
        tk_trace(3, "Large values of a record could not be written: %s", failure.what());
        try {
            engine().rollback();
        } catch (const std::exception& e) {
            tk_trace(3, "Rollback failed: %s", e.what());
        }
        throw;
    }
    ++stored_;
    ++count;
}

const ole_variant& ora_table::large_value(size_t i, const udb_field& value) {
    return kinds_[i] == bind_kind::clob ? as_kind(i, value, VT_BSTR, false)
                                        : as_kind(i, value, VT_ARRAY_UI1, true);
}

bool ora_table::beyond_inline(const ole_variant& large, ora_bind_kind kind) {
    const size_t bound = inline_lob_bytes();
    if (kind != bind_kind::clob) {
        return large.bytes().size() > bound;
    }
    // A character takes at most four bytes of UTF-16: most texts need no counting.
    const std::wstring& text = large.bstr();
    return text.size() * 4 > bound && utf16_bytes(text) > bound;
}

bool ora_table::needs_locators(const udb_record& record) {
    for (size_t i = 0; i < record.size(); ++i) {
        const bind_kind kind = kinds_[i];
        if (!record[i].is_null() && (kind == bind_kind::clob || kind == bind_kind::blob) &&
            beyond_inline(large_value(i, record[i]), kind)) {
            return true;
        }
    }
    return false;
}

bool ora_table::append_record(udb_record& record) {
    tk_trace(1, "ora_table::append_record");
    check_width(record);
    // A full batch goes when the next record comes (or at the commit), so that a failure of its
    // writing never meets a record half staged.
    if (batch_ && batch_->full()) {
        flush();
    }
    const int64_t number = ++given_;
    if (!batch_) {
        batch_ = new_batch();
        lobs_ = std::make_unique<ora_lob_insert>(name, schema);
        converted_.resize(schema.size());
        kinds_.clear();
        for (const t_ftd* column : schema) {
            kinds_.push_back(ora_bind_kind_of(*column));
        }
    }
    bool through_locators = false;
    try {
        // Such a record is written alone, after the records before it.
        if (needs_locators(record)) {
            flush();
        }
        through_locators = stage_record(record);
        relax_not_null();
    } catch (const tk_exception& e) {
        batch_->drop_row();
        const bool refused = dynamic_cast<const ora_exception*>(&e) != nullptr ||
                             dynamic_cast<const ora_value_rejected*>(&e) != nullptr;
        if (sink_ == nullptr || !refused) {
            throw;
        }
        sink_->record_rejected(number, record, e);
        return false;
    } catch (...) {
        batch_->drop_row();
        throw;
    }
    if (!through_locators) {
        if (sink_ == nullptr) {
            batch_->end_row(number, record, std::move(notes_));
            flush();
        } else {
            // The sink hears of the record from the batch: its values move there.
            batch_->end_row(number, std::move(record), std::move(notes_));
        }
        return true;
    }
    batch_->end_row(number, record, notes_);
    try {
        write_through_locators();
    } catch (const ora_exception& e) {
        if (sink_ == nullptr) {
            throw;
        }
        sink_->record_rejected(number, record, e);
        return false;
    }
    for (const std::string& note : notes_) {
        sink_ != nullptr ? sink_->value_altered(number, record, note)
                         : tk_trace(3, "%s", note.c_str());
    }
    return true;
}

#include "SQL/sql_recordset.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <stdexcept>

#include "SQL/sql_engine.h"
#include "SQL/sql_temporal.h"
#include "TK/tk_string.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"

namespace {

// SHOW FULL COLUMNS: Field, Type, Collation, Null, Key, Default, Extra, Privileges, Comment.
constexpr size_t show_columns_type = 1;
constexpr size_t show_columns_collation = 2;
constexpr size_t show_columns_default = 5;
constexpr size_t show_columns_extra = 6;
// SHOW INDEX: Non_unique, Key_name and Column_name.
constexpr size_t show_index_non_unique = 1;
constexpr size_t show_index_key_name = 2;
constexpr size_t show_index_column = 4;
// SHOW CREATE TABLE: the creation text.
constexpr size_t show_create_text = 1;

int32_t clamp_size(unsigned long length) {
    return length > static_cast<unsigned long>(INT32_MAX) ? INT32_MAX
                                                          : static_cast<int32_t>(length);
}

int32_t date_or_hyper_subtype(const sql_column_type& type, bool time_as_interval) {
    switch (type.type) {
        case sql_type_datetime:
            return t_ftd::date_kind_date_time;
        case sql_type_date:
            return t_ftd::date_kind_date;
        case sql_type_time:
            return time_as_interval ? t_ftd::date_kind_duration : t_ftd::date_kind_time;
        case sql_type_longlong:
            return type.is_unsigned() ? 2 : 1;
        default:
            return 0;
    }
}

// The most bytes of UTF-8 one character of a collation's character set takes: 1 for ASCII, 4
// for the sets that reach beyond the Basic Multilingual Plane (utf8mb4, utf16, utf32,
// gb18030) and for a set not known, 3 for every other (latin1 is cp1252, whose euro sign takes
// three bytes; utf8mb3, ucs2 and the Asian sets stay in the plane).
int32_t utf8_bytes_per_char(const std::wstring& collation) {
    const std::wstring set = collation.substr(0, collation.find(L'_'));
    if (set == L"ascii" || set == L"binary") {
        return 1;
    }
    static const wchar_t* const wide_sets[] = {L"utf8mb4", L"utf16", L"utf16le", L"utf32",
                                               L"gb18030"};
    for (const wchar_t* wide : wide_sets) {
        if (set == wide) {
            return 4;
        }
    }
    static const wchar_t* const plane_sets[] = {
        L"latin1", L"latin2", L"latin5",  L"latin7",  L"utf8",   L"utf8mb3", L"ucs2",
        L"cp1250", L"cp1251", L"cp1256",  L"cp1257",  L"cp850",  L"cp852",   L"cp866",
        L"dec8",   L"hp8",    L"koi8r",   L"koi8u",   L"swe7",   L"greek",   L"hebrew",
        L"armscii8", L"geostd8", L"keybcs2", L"macce", L"macroman", L"tis620", L"big5",
        L"gbk",    L"gb2312", L"sjis",    L"cp932",   L"ujis",   L"eucjpms", L"euckr"};
    for (const wchar_t* plane : plane_sets) {
        if (set == plane) {
            return 3;
        }
    }
    return 4;
}

// A date default that no date can hold ("0000-00-00", "0000-00-00 00:00:00[.000000]",
// "00000000000000", a partial zero date such as "2024-00-00"), or none at all. A TIME default
// of "00:00:00" is midnight, not "no date".
bool is_no_date(const t_ftd& field, const std::wstring& text) {
    if (field.subtype == t_ftd::date_kind_time || field.subtype == t_ftd::date_kind_duration) {
        return text.empty();
    }
    if (text.find_first_not_of(L"0-: .") == std::wstring::npos) {
        return true;
    }
    return sql_read_temporal(sql_type_datetime, tk_ucs2_to_utf8(text)).status ==
           sql_temporal_status::partial_zero_date;
}

// A BIT default as SHOW COLUMNS prints it: b'101'. Older servers print the raw bytes.
ole_variant bit_default(VARTYPE kind, const std::wstring& text) {
    std::vector<unsigned char> bytes;
    if (text.size() >= 3 && (text[0] == L'b' || text[0] == L'B') && text[1] == L'\'' &&
        text.back() == L'\'') {
        uint64_t bits = 0;
        for (size_t i = 2; i + 1 < text.size(); ++i) {
            bits = (bits << 1) | (text[i] == L'1' ? 1 : 0);
        }
        for (int shift = 56; shift >= 0; shift -= 8) {
            bytes.push_back(static_cast<unsigned char>(bits >> shift));
        }
    } else {
        for (wchar_t c : text) {
            bytes.push_back(static_cast<unsigned char>(c));
        }
    }
    return sql_bits_value(kind, bytes.data(), bytes.size());
}

bool reads_as_true(const udb_field& value) {
    const std::wstring text = value.to_wstring();
    return !text.empty() && text != L"0";
}

}  // namespace

sql_recordset::sql_recordset(sql_database& database, const std::wstring& name)
    : sql_recordset(database, name, std::wstring()) {}

sql_recordset::sql_recordset(sql_database& database, const std::wstring& name,
                             const std::wstring& query_text)
    : udb_recordset(name, query_text, true),
      database_(database),
      relationships_(&database.relationships) {
    tk_trace(2, "sql_recordset::sql_recordset");
    initialize();
}

sql_recordset::~sql_recordset() {
    tk_trace(1, "sql_recordset::dtor");
    clean();
}

bool sql_recordset::append_record(udb_record&) {
    TK_FAIL();
}

void sql_recordset::initialize() {
    tk_trace(2, "sql_recordset::initialize");
    clean();
    count = get_rec_count();
    tk_trace(1, "get_rec_count returns %lld", static_cast<long long>(count));

    if (is_query()) {
        // A custom query's rows come from the same statement that describes it.
        seek(0);
        describe(stream_->columns(), stream_->result().fields());
        return;
    }
    // The columns as the table declares them: SELECT * leaves INVISIBLE columns out.
    const std::unique_ptr<sql_tmp_recordset> declared =
        database_.read_all(L"SHOW FULL COLUMNS FROM " + database_.quote_name(name));
    const std::wstring columns = declared_columns(declared.get());
    {
        sql_result description = sql_result::stream(
            database_.handle(),
            tk_ucs2_to_utf8(L"SELECT " + (columns.empty() ? L"*" : columns) + L" FROM " +
                            database_.quote_name(name) + L" LIMIT 0"));
        TK_ASSERT(description);
        describe(sql_describe_columns(description.fields(), description.field_count(),
                                      database_.blob_to_text()),
                 description.fields());
    }
    read_create_text();
    if (declared) {
        refine_columns(*declared);
    }
    read_indexes();
    select_list_ = stream_select_list();
}

std::wstring sql_recordset::declared_columns(const sql_tmp_recordset* declared) const {
    std::wstring list;
    for (size_t k = 0; declared != nullptr && k < declared->size(); ++k) {
        const sql_record& row = (*declared)[k];
        if (row.size() == 0) {
            continue;
        }
        list += (list.empty() ? L"" : L", ") + database_.quote_name(row[0].to_wstring());
    }
    return list;
}

std::wstring sql_recordset::stream_select_list() const {
    std::wstring list;
    for (const t_ftd* field : schema) {
        const std::wstring column = database_.quote_name(field->name);
        list += list.empty() ? L"" : L", ";
        // The client's text of a FLOAT has six significant digits (1234567 reads 1234570);
        // as a DOUBLE the stored value comes back exactly and reads as the same FLOAT.
        list += field->vartype == VT_R4 ? column + L" + 0e0 AS " + column : column;
    }
    return list;
}

void sql_recordset::describe(const std::vector<sql_column>& columns, const MYSQL_FIELD* fields) {
    for (size_t i = 0; i < columns.size(); ++i) {
        const sql_column& column = columns[i];
        const sql_column_type& type = column.type;
        tk_trace(1, "Processing field #%d", static_cast<int>(i + 1));
        tk_trace(2, "GOT FIELD: name=%s, type=%d, size=%lu", fields[i].name, type.type,
                 type.length);
        auto field = std::make_unique<t_ftd>(
            *column.name, column.kind.vartype, clamp_size(type.length),
            (type.flags & sql_flag_not_null) != 0, (type.flags & sql_flag_auto_increment) != 0,
            ole_variant(), date_or_hyper_subtype(type, database_.time_as_interval()));
        if (column.kind.vartype == VT_DATE) {
            // The fraction digits of DATETIME(n), TIMESTAMP(n) and TIME(n); an expression whose
            // precision the server does not know (31) keeps every digit there is.
            field->fraction_digits = type.decimals <= 6 ? static_cast<int32_t>(type.decimals) : 6;
        }
        if (type.is_blob() && column.kind.vartype == VT_BSTR) {
            tk_trace(2, "Change type from BLOB to TEXT");
        } else if (type.type == sql_type_decimal || type.type == sql_type_newdecimal) {
            tk_trace(1, "Scale/precision: (%u,%lu)", type.decimals, type.length);
            field->subtype = t_ftd::pack_precision(sql_decimal_precision(type),
                                                   static_cast<int32_t>(type.decimals));
        }
        schema.add(std::move(field));
    }
}

void sql_recordset::refine_columns(const sql_tmp_recordset& rows) {
    for (size_t k = 0; k < rows.size(); ++k) {
        const sql_record& row = rows[k];
        if (row.size() <= show_columns_extra) {
            continue;
        }
        // Row k describes field k; a column added or dropped in between is matched by name.
        const std::wstring column = row[0].to_wstring();
        if (k < schema.size() && udb_names_equal(schema[k].name, column)) {
            refine_column(schema[k], row);
        } else if (schema.find_field(column)) {
            refine_column(schema.get_field(column), row);
        }
    }
}

void sql_recordset::refine_column(t_ftd& field, const sql_record& row) {
    const std::string type_text = tk_ucs2_to_utf8(row[show_columns_type].to_wstring());
    tk_trace(2, "Got type: %s", type_text.c_str());
    int first = 0;
    int second = 0;
    if (std::sscanf(type_text.c_str(), "varchar(%d)", &first) == 1) {
        tk_trace(2, "Refining size for varchar: %d", first);
        field.size = first;
        // Characters now, not bytes: how many bytes each may take decides the Oracle type.
        field.bytes_per_char = utf8_bytes_per_char(row[show_columns_collation].to_wstring());
    } else if (std::sscanf(type_text.c_str(), "float(%d,%d)", &first, &second) == 2) {
        tk_trace(2, "Refining type for FLOAT(%d,%d)", first, second);
        if (first != 0 && second != 0 && second < first) {
            field.vartype = VT_DECIMAL;
            field.subtype = t_ftd::pack_precision(first, second);
        }
    }

    field.generated =
        row[show_columns_extra].to_wstring().find(L"GENERATED") != std::wstring::npos;
    const udb_field& default_value = row[show_columns_default];
    const std::wstring text = default_value.to_wstring();
    tk_trace_w(2, L"Got default value: %ls", text.c_str());
    if (!field.not_null && text.empty()) {
        return;
    }
    tk_trace(2, "Default value's type: %08X", static_cast<unsigned>(field.vartype));
    if (field.vartype == VT_DATE && is_no_date(field, text)) {
        tk_trace(2, "Skip empty def.values for date column");
        field.not_null = false;
        return;
    }
    // SHOW COLUMNS prints literals and expressions alike; the creation text tells them apart.
    // Without it, a default is a literal as printed, and NULL (no default) stays none.
    const std::optional<sql_default_kind> kind =
        fk_parser_ ? fk_parser_->column_default(field.name) : std::nullopt;
    const sql_default_kind clause =
        kind.value_or(default_value.is_null() ? sql_default_kind::none : sql_default_kind::literal);
    if (clause == sql_default_kind::current_time && field.vartype == VT_DATE) {
        tk_trace_w(2, L"Default is the time of the insert: %ls", text.c_str());
        field.default_is_now = true;
        return;
    }
    if (clause == sql_default_kind::expression || clause == sql_default_kind::current_time) {
        // Oracle has no equivalent of the expression: the column goes without a default, and
        // the log says so, since an application may rely on it.
        tk_trace_w(3, L"Default of column %ls.%ls is an expression and is not carried over: %ls",
                   name.c_str(), field.name.c_str(),
                   (fk_parser_ ? fk_parser_->column_default_text(field.name) : text).c_str());
        return;
    }
    if (clause == sql_default_kind::none) {
        return;
    }
    switch (field.vartype) {
        case VT_DATE: {
            // Read as exactly as the column's values; text in no temporal form stays text.
            const int code =
                field.subtype == t_ftd::date_kind_time || field.subtype == t_ftd::date_kind_duration
                    ? sql_type_time
                    : sql_type_datetime;
            sql_temporal read = sql_read_temporal(code, tk_ucs2_to_utf8(text));
            field.default_value = read.status == sql_temporal_status::value
                                      ? std::move(read.value)
                                      : get_variant(VT_BSTR, text);
            break;
        }
        case VT_BSTR:
            field.default_value = get_variant(VT_BSTR, text);
            break;
        case VT_BLOB: {
            const std::string bytes = tk_ucs2_to_utf8(text);
            field.default_value = ole_variant(bytes.size(), bytes.data());
            break;
        }
        default:
            field.default_value = field.vartype == VT_BOOL || text.starts_with(L"b'")
                                      ? bit_default(field.vartype, text)
                                      : get_variant(field.vartype, text);
            break;
    }
}

void sql_recordset::read_indexes() {
    const std::unique_ptr<sql_tmp_recordset> rows =
        database_.read_all(L"SHOW INDEX FROM " + database_.quote_name(name));
    if (!rows) {
        return;
    }
    std::vector<std::wstring> dropped;
    for (size_t k = 0; k < rows->size(); ++k) {
        const sql_record& row = (*rows)[k];
        if (row.size() <= show_index_column) {
            continue;
        }
        const bool unique = !reads_as_true(row[show_index_non_unique]);
        const std::wstring key = row[show_index_key_name].to_wstring();
        const bool primary = key == L"PRIMARY";
        tk_trace_w(2, L"Got index '%ls' (primary=%d, unique=%d)", key.c_str(), primary, unique);
        auto index = std::find_if(indexes.begin(), indexes.end(),
                                  [&](const udb_index& i) { return i.name == key; });
        // A key part that is an expression rather than a column (no column name) cannot be
        // carried over; a unique index reduced to its other columns would refuse rows that
        // MySQL holds, so the whole index stays behind.
        if (row[show_index_column].is_null()) {
            tk_trace_w(2, L"Index '%ls' has an expression part and is left out", key.c_str());
            dropped.push_back(key);
            if (index != indexes.end()) {
                indexes.erase(index);
            }
            continue;
        }
        if (std::find(dropped.begin(), dropped.end(), key) != dropped.end()) {
            continue;
        }
        const std::wstring column = row[show_index_column].to_wstring();
        if (index == indexes.end()) {
            udb_index added;
            added.name = key;
            added.is_primary = primary;
            added.is_unique = unique;
            added.fields.push_back(column);
            indexes.push_back(std::move(added));
        } else {
            index->fields.push_back(column);
        }
    }
}

void sql_recordset::read_create_text() {
    if (!database_.supports_foreign_keys()) {
        return;
    }
    tk_trace(2, "Extracting foreign keys");
    const std::unique_ptr<sql_tmp_recordset> rows =
        database_.read_all(L"SHOW CREATE TABLE " + database_.quote_name(name));
    if (!rows) {
        return;
    }
    for (size_t k = 0; k < rows->size(); ++k) {
        const sql_record& row = (*rows)[k];
        if (row.size() > show_create_text) {
            fk_parser_ = std::make_unique<sql_fk_parser>(name, row[show_create_text].to_wstring());
            // Where the destination's sequence must start so that new rows do not collide
            // with the copied keys.
            schema.auto_increment_next = fk_parser_->auto_increment_next();
        }
    }
}

int64_t sql_recordset::get_rec_count() {
    tk_trace(2, "sql_recordset::get_rec_count");
    const std::wstring statement =
        is_query() ? L"SELECT COUNT(*) FROM (" + sql_statement_text(query_text) + L") as query"
                   : L"SELECT COUNT(*) FROM " + database_.quote_name(name);
    std::unique_ptr<sql_tmp_recordset> rows;
    try {
        rows = database_.read_all(statement);
    } catch (const sql_exception& e) {
        if (!is_query()) {
            throw;
        }
        // Not every query can be a derived table (two result columns of one name, a closing
        // comment, a server without derived tables): its rows are then counted as it runs.
        tk_trace(2, "Counting the query's rows one by one: %s", e.what());
        return count_query_rows();
    }
    if (!rows || rows->size() == 0 || (*rows)[0].size() == 0) {
        throw std::out_of_range("invalid vector<T> subscript");
    }
    const ole_variant counted = ole_variant::from_wstring((*rows)[0][0].to_wstring(), VT_I8);
    return counted.is_null() ? 0 : counted.hyper_value();
}

int64_t sql_recordset::count_query_rows() {
    sql_database::sql_limited_query rows(database_, query_text, true);
    return static_cast<int64_t>(rows.skip(SIZE_MAX));
}

void sql_recordset::clean() {
    tk_trace(2, "sql_recordset::clean");
    for (auto& slot : page_) {
        slot.reset();
    }
}

void sql_recordset::ensure_stream() {
    if (!stream_) {
        seek(0);
    }
}

void sql_recordset::seek(int64_t target) {
    clean();
    stream_.reset();
    counted_ = false;
    stream_ = std::make_unique<sql_database::sql_limited_query>(
        database_, is_query() ? query_text : name, is_query(), select_list_);
    if (!is_query()) {
        // FLOAT columns come as DOUBLE (see stream_select_list) and are read as FLOAT again.
        for (size_t i = 0; i < schema.size() && i < stream_->columns().size(); ++i) {
            if (schema[i].vartype == VT_R4) {
                stream_->set_kind(i, VT_R4);
            }
        }
    }
    page_start_ = target;
    page_rows_ = 0;
    position_ = target;
    stream_->skip(static_cast<size_t>(target));
    fill_page();
}

void sql_recordset::fill_page() {
    page_start_ += static_cast<int64_t>(page_rows_);
    page_index_ = 0;
    page_rows_ = 0;
    touched_ = false;
    try {
        page_rows_ = stream_->store_to(&page_, page_bytes_);
    } catch (...) {
        // A broken stream: the rows it gave before were handed out with the page before; the
        // record set stays at its end.
        clean();
        throw;
    }
    if (stream_->exhausted() && !counted_) {
        // The rows really read replace the count taken before.
        count = page_start_ + static_cast<int64_t>(page_rows_);
        trace_partial_zero_dates();
        counted_ = true;
    }
}

void sql_recordset::trace_partial_zero_dates() const {
    for (const sql_column& column : stream_->columns()) {
        if (column.partial_zero_dates > 0) {
            tk_trace_w(3,
                       L"Table %ls, column %ls: %lld partial zero dates (month or day 0) stored "
                       L"as NULL",
                       name.c_str(), column.name->c_str(),
                       static_cast<long long>(column.partial_zero_dates));
        }
    }
}

udb_record* sql_recordset::get_item() {
    ensure_stream();
    touched_ = true;
    return page_index_ < page_rows_ ? page_[page_index_].get() : nullptr;
}

bool sql_recordset::is_eof() {
    ensure_stream();
    return page_index_ >= page_rows_;
}

int64_t sql_recordset::next() {
    ensure_stream();
    if (page_index_ + 1 == page_rows_) {
        clean();
        fill_page();
    } else {
        ++page_index_;
    }
    return ++position_;
}

void sql_recordset::move_prev() {
    ensure_stream();
    if (position_ == 0) {
        return;
    }
    if (page_index_ > 0) {
        --page_index_;
        --position_;
        return;
    }
    // The previous record belongs to a page no longer held: read up to it again.
    seek(position_ - 1);
}

void sql_recordset::move_first() {
    tk_trace(2, "sql_recordset::move_first");
    // The first page as fetched, with no record handed out yet, is what a new fetch would give.
    if (stream_ && page_start_ == 0 && !touched_) {
        page_index_ = 0;
        position_ = 0;
        return;
    }
    seek(0);
}

sql_tmp_recordset::sql_tmp_recordset(sql_result result) : udb_recordset(std::wstring(), true) {
    tk_trace(1, "sql_tmp_recordset::sql_tmp_recordset");
    initialize(result);
}

sql_tmp_recordset::~sql_tmp_recordset() = default;

void sql_tmp_recordset::initialize(sql_result& result) {
    tk_trace(1, "sql_tmp_recordset::initialize");
    TK_ASSERT(result);
    // The system's own statements return names and texts: binary columns are read as text.
    columns_ = sql_describe_columns(result.fields(), result.field_count(), true);
    while (const sql_row row = result.fetch()) {
        records_.push_back(std::make_unique<sql_record>(columns_, row));
        ++count;
    }
    result.reset();
}

bool sql_tmp_recordset::append_record(udb_record&) {
    TK_FAIL();
}

udb_record* sql_tmp_recordset::get_item() {
    return position_ < records_.size() ? records_[position_].get() : nullptr;
}

bool sql_tmp_recordset::is_eof() {
    return position_ >= records_.size();
}

int64_t sql_tmp_recordset::next() {
    return static_cast<int64_t>(++position_);
}

void sql_tmp_recordset::move_prev() {}

void sql_tmp_recordset::move_first() {
    position_ = 0;
}

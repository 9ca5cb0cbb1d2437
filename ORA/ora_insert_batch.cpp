#include "ORA/ora_insert_batch.h"

#include <algorithm>
#include <cstring>

#include "ORA/ora_lob_writer.h"
#include "ORA/ora_type_mapping.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "platform/codepage.h"

namespace {

ora_engine& engine() {
    return ora_engine::instance();
}

// Appends a wide text as UTF-16 bytes; returns the bytes appended.
size_t append_utf16(std::vector<char>& out, std::wstring_view text) {
    const size_t start = out.size();
    out.resize(start + text.size() * 4);
    const size_t units =
        platform::wide_to_utf16(text, reinterpret_cast<char16_t*>(out.data() + start));
    out.resize(start + units * 2);
    return units * 2;
}

uint16_t bind_type(ora_bind_kind kind) {
    switch (kind) {
        case ora_bind_kind::raw:
        case ora_bind_kind::blob:
            return SQLT_BIN;
        case ora_bind_kind::date:
            return SQLT_DAT;
        default:
            return SQLT_CHR;
    }
}

}  // namespace

// One prepared INSERT of a shape: the statement, the columns it binds (in placeholder order)
// and, for the locator path, its RETURNING ROWID bind.
struct ora_insert_batch::prepared {
    ora_stmt statement;
    std::vector<size_t> bound_columns;
    std::unique_ptr<ora_get_rowid> rowid;
};

ora_insert_batch::ora_insert_batch(const std::wstring& table, const udb_schema& schema,
                                   limits bounds)
    : table_(table), limits_(bounds) {
    columns_.reserve(schema.size());
    for (const t_ftd* field : schema) {
        column c;
        c.kind = ora_bind_kind_of(*field);
        c.name = field->name;
        columns_.push_back(std::move(c));
    }
    set_.assign(columns_.size(), false);
}

ora_insert_batch::~ora_insert_batch() = default;

void ora_insert_batch::begin_value(size_t i) {
    TK_ASSERT(i < columns_.size() && !set_[i]);
    set_[i] = true;
    column& c = columns_[i];
    c.offset.push_back(c.data.size());
    c.whole.push_back(false);
}

void ora_insert_batch::set_null(size_t i) {
    // A NULL large value is bound like the others, with its indicator: one statement serves
    // both, so that NULLs do not split a batch.
    set_without_data(i, is_lob(columns_[i]) ? lob_bound : lob_null);
}

void ora_insert_batch::set_without_data(size_t i, lob_state state) {
    begin_value(i);
    column& c = columns_[i];
    c.length.push_back(0);
    c.indicator.push_back(OCI_IND_NULL);
    c.lob.push_back(state);
}

void ora_insert_batch::set_text(size_t i, std::wstring_view text) {
    begin_value(i);
    column& c = columns_[i];
    const size_t bytes = append_utf16(c.data, text);
    c.length.push_back(static_cast<uint32_t>(bytes));
    c.indicator.push_back(OCI_IND_NOTNULL);
    c.lob.push_back(lob_bound);
    row_bytes_ += bytes;
}

void ora_insert_batch::set_bytes(size_t i, std::span<const uint8_t> bytes) {
    begin_value(i);
    column& c = columns_[i];
    c.data.insert(c.data.end(), bytes.begin(), bytes.end());
    c.length.push_back(static_cast<uint32_t>(bytes.size()));
    c.indicator.push_back(OCI_IND_NOTNULL);
    c.lob.push_back(lob_bound);
    row_bytes_ += bytes.size();
}

void ora_insert_batch::set_integer(size_t i, int64_t value) {
    uint8_t bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    set_bytes(i, bytes);
    columns_[i].whole.back() = true;
}

void ora_insert_batch::set_lob(size_t i, lob_state state) {
    set_without_data(i, state);
}

void ora_insert_batch::set_expression(size_t i, std::wstring text) {
    set_without_data(i, lob_null);
    column& c = columns_[i];
    c.expression[c.offset.size() - 1] = std::move(text);
}

void ora_insert_batch::end_row(int64_t record_number, const udb_record& record,
                               std::vector<std::string> notes) {
    end_row(record_number, udb_record(record), std::move(notes));
}

void ora_insert_batch::end_row(int64_t record_number, udb_record&& record,
                               std::vector<std::string> notes) {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (!set_[i]) {
            set_null(i);
        }
    }
    rows_.push_back({record_number, std::move(record), std::move(notes)});
    bytes_ += row_bytes_;
    row_bytes_ = 0;
    set_.assign(columns_.size(), false);
}

void ora_insert_batch::drop_row() {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (!set_[i]) {
            continue;
        }
        column& c = columns_[i];
        c.data.resize(c.offset.back());
        c.offset.pop_back();
        c.length.pop_back();
        c.indicator.pop_back();
        c.lob.pop_back();
        c.whole.pop_back();
        c.expression.erase(c.offset.size());
    }
    row_bytes_ = 0;
    set_.assign(columns_.size(), false);
}

bool ora_insert_batch::full() const noexcept {
    return rows_.size() >= limits_.max_rows || bytes_ >= limits_.max_bytes;
}

std::string ora_insert_batch::shape_of(size_t row) const {
    std::string shape;
    bool own_text = false;
    for (const column& c : columns_) {
        own_text = own_text || c.expression.count(row) != 0;
        if (is_lob(c)) {
            shape.push_back(c.lob[row]);
        }
    }
    // A row with SQL text values of its own has a shape of its own.
    return own_text ? shape + "X" + std::to_string(row) : shape;
}

ora_insert_batch::prepared& ora_insert_batch::statement_for(const std::string& shape, size_t row,
                                                            bool returning) {
    std::unique_ptr<prepared>& slot = statements_[shape + (returning ? "R" : "")];
    if (slot) {
        return *slot;
    }
    slot = std::make_unique<prepared>();
    std::wstring names;
    std::wstring values;
    size_t lob = 0;
    for (size_t i = 0; i < columns_.size(); ++i) {
        const column& c = columns_[i];
        names += (i == 0 ? L"\"" : L", \"") + c.name + L"\"";
        values += i == 0 ? L"" : L", ";
        const char state = is_lob(c) ? shape[lob++] : static_cast<char>(lob_bound);
        if (const auto own = c.expression.find(row); own != c.expression.end()) {
            values += own->second;
        } else if (state == lob_null) {
            values += L"NULL";
        } else if (state == lob_empty) {
            values += c.kind == ora_bind_kind::clob ? L"EMPTY_CLOB()" : L"EMPTY_BLOB()";
        } else {
            slot->bound_columns.push_back(i);
            values += ora_bind_expression(c.kind, tk_wformat(L":%zu", slot->bound_columns.size()));
        }
    }
    std::wstring sql = L"INSERT INTO \"" + table_ + L"\" (" + names + L") VALUES (" + values + L")";
    const auto rowid_position = static_cast<uint32_t>(slot->bound_columns.size() + 1);
    if (returning) {
        sql += tk_wformat(L" RETURNING ROWID INTO :%u", rowid_position);
    }
    tk_trace_w(3, L"Run SQL query: %ls\n", sql.c_str());
    slot->statement.prepare(sql);
    if (returning) {
        slot->rowid = std::make_unique<ora_get_rowid>(slot->statement, rowid_position);
    }
    return *slot;
}

uint16_t ora_insert_batch::fill_array(const column& c, const std::vector<size_t>& rows,
                                      array& a) const {
    const size_t n = rows.size();
    bool wholes = false;
    bool others = false;
    for (const size_t r : rows) {
        if (c.indicator[r] != OCI_IND_NULL) {
            (c.whole[r] ? wholes : others) = true;
        }
    }
    // Whole numbers among texts of the same column become texts too.
    std::vector<std::u16string> texts;
    if (wholes && others) {
        texts.resize(n);
        for (size_t j = 0; j < n; ++j) {
            const size_t r = rows[j];
            if (c.whole[r]) {
                int64_t value = 0;
                std::memcpy(&value, c.data.data() + c.offset[r], sizeof value);
                const std::string digits = std::to_string(value);
                texts[j].assign(digits.begin(), digits.end());
            }
        }
    }
    // Each row's bytes, staged or made above; the widest sets the element size.
    std::vector<const char*> from(n);
    a.lengths.resize(n);
    uint32_t width = 1;
    for (size_t j = 0; j < n; ++j) {
        const size_t r = rows[j];
        const bool made = !texts.empty() && c.whole[r];
        from[j] =
            made ? reinterpret_cast<const char*>(texts[j].data()) : c.data.data() + c.offset[r];
        a.lengths[j] =
            made ? static_cast<uint32_t>(texts[j].size() * sizeof(char16_t)) : c.length[r];
        width = std::max(width, a.lengths[j]);
    }
    a.values.resize(static_cast<size_t>(width) * n);
    a.indicators.resize(n);
    for (size_t j = 0; j < n; ++j) {
        std::memcpy(a.values.data() + j * width, from[j], a.lengths[j]);
        a.indicators[j] = c.indicator[rows[j]];
    }
    return wholes && !others ? SQLT_INT : bind_type(c.kind);
}

std::vector<ora_insert_batch::array> ora_insert_batch::bind_rows(prepared& target,
                                                                 const std::vector<size_t>& rows) {
    const size_t n = rows.size();
    std::vector<array> arrays(target.bound_columns.size());
    for (size_t k = 0; k < target.bound_columns.size(); ++k) {
        const column& c = columns_[target.bound_columns[k]];
        array& a = arrays[k];
        const uint16_t type = fill_array(c, rows, a);
        const auto width = static_cast<uint32_t>(a.values.size() / n);
        OCIBind* bind =
            target.statement.bind_array(static_cast<uint32_t>(k + 1), a.values.data(), width, type,
                                        a.indicators.data(), a.lengths.data(), n);
        // A UTF-16 element of a VARCHAR2 is wider than the bytes it becomes; the column holds
        // no more than the database's string limit (its own length is checked by Oracle).
        if (c.kind == ora_bind_kind::text &&
            width > static_cast<uint32_t>(ora_max_varchar2_bytes())) {
            target.statement.limit_bind(bind, static_cast<uint32_t>(ora_max_varchar2_bytes()));
        }
    }
    return arrays;
}

std::wstring ora_insert_batch::insert_returning_rowid() {
    TK_ASSERT(rows_.size() == 1);
    const clear_guard cleared{*this};
    prepared& target = statement_for(shape_of(0), 0, true);
    const std::vector<array> arrays = bind_rows(target, {0});
    return target.rowid->do_insert();
}

void ora_insert_batch::execute(const std::string& shape, const std::vector<size_t>& rows,
                               bool report) {
    prepared& target = statement_for(shape, rows.front(), false);
    const size_t n = rows.size();
    const std::vector<array> arrays = bind_rows(target, rows);
    std::vector<ora_row_error> errors;
    try {
        const ora_status status = target.statement.execute(
            static_cast<uint32_t>(n), OCI_BATCH_ERRORS | OCI_COMMIT_ON_SUCCESS);
        if (status == ora_status::success_with_info) {
            errors = engine().batch_errors(target.statement.handle());
        }
    } catch (const ora_exception& e) {
        // The execute as a whole was refused: none of its rows went in.
        if (!report) {
            throw;
        }
        for (const size_t r : rows) {
            refusals_[r] = std::make_unique<ora_exception>(e);
        }
        return;
    }
    // Oracle commits nothing of an execute with a failed row: the rows that went in are made
    // durable before anyone hears of the failures (a sink may end the run).
    if (!errors.empty()) {
        engine().commit();
    }
    for (const ora_row_error& error : errors) {
        if (error.offset >= n) {
            continue;
        }
        ora_exception why(error.ora_number, error.text);
        if (!report) {
            throw why;
        }
        refusals_[rows[error.offset]] = std::make_unique<ora_exception>(std::move(why));
    }
}

void ora_insert_batch::tell(udb_record_sink* sink) const {
    // The first exception of the sink waits until every row has been told.
    std::exception_ptr stop;
    const auto call = [&stop](const auto& report) {
        try {
            report();
        } catch (...) {
            if (!stop) {
                stop = std::current_exception();
            }
        }
    };
    for (size_t r = 0; r < rows_.size(); ++r) {
        const staged_row& row = rows_[r];
        if (refusals_[r]) {
            call([&] { sink->record_rejected(row.number, row.record, *refusals_[r]); });
            continue;
        }
        for (const std::string& note : row.notes) {
            if (sink != nullptr) {
                call([&] { sink->value_altered(row.number, row.record, note); });
            } else {
                tk_trace(3, "%s", note.c_str());
            }
        }
    }
    if (stop) {
        std::rethrow_exception(stop);
    }
}

// The arrays of an execute are as wide as their longest value: a few long values make an
// execute of a few rows, so that no array takes much more than max_bytes.
std::vector<std::vector<size_t>> ora_insert_batch::split_by_width(
    const std::vector<size_t>& rows) const {
    std::vector<std::vector<size_t>> parts(1);
    std::vector<size_t> widest(columns_.size(), 0);
    for (const size_t r : rows) {
        std::vector<size_t> wider = widest;
        size_t bytes = 0;
        for (size_t i = 0; i < columns_.size(); ++i) {
            wider[i] = std::max<size_t>(wider[i], columns_[i].length[r]);
            bytes += wider[i] * (parts.back().size() + 1);
        }
        if (!parts.back().empty() && bytes > limits_.max_bytes) {
            parts.emplace_back();
            for (size_t i = 0; i < columns_.size(); ++i) {
                wider[i] = columns_[i].length[r];
            }
        }
        widest = std::move(wider);
        parts.back().push_back(r);
    }
    return parts;
}

void ora_insert_batch::write(bool report) {
    TK_ASSERT(written_ == 0 && refusals_.empty());
    if (rows_.empty()) {
        return;
    }
    tk_trace(1, "ora_insert_batch::write(%zu rows, %zu bytes)", rows_.size(), bytes_);
    // The rows of each shape of large values, in their order.
    std::map<std::string, std::vector<size_t>> shapes;
    for (size_t r = 0; r < rows_.size(); ++r) {
        shapes[shape_of(r)].push_back(r);
    }
    refusals_.resize(rows_.size());
    for (const auto& [shape, rows] : shapes) {
        for (const std::vector<size_t>& part : split_by_width(rows)) {
            execute(shape, part, report);
            // Counted as each execute is committed, whatever fails in the next one.
            for (const size_t r : part) {
                written_ += refusals_[r] ? 0 : 1;
            }
        }
    }
}

void ora_insert_batch::finish(udb_record_sink* sink, int64_t& stored, std::exception_ptr failure) {
    const clear_guard cleared{*this};
    stored += written_;
    if (failure) {
        std::rethrow_exception(failure);
    }
    if (!refusals_.empty()) {
        // In record order, whatever order the shapes were written in.
        tell(sink);
    }
}

void ora_insert_batch::flush(udb_record_sink* sink, int64_t& stored) {
    std::exception_ptr failure;
    try {
        write(sink != nullptr);
    } catch (...) {
        failure = std::current_exception();
    }
    finish(sink, stored, failure);
}

void ora_insert_batch::clear() noexcept {
    // Statements with SQL text values of their own serve their row only.
    std::erase_if(statements_,
                  [](const auto& entry) { return entry.first.find('X') != std::string::npos; });
    for (column& c : columns_) {
        c.expression.clear();
        c.data.clear();
        c.offset.clear();
        c.length.clear();
        c.indicator.clear();
        c.lob.clear();
        c.whole.clear();
    }
    rows_.clear();
    refusals_.clear();
    written_ = 0;
    set_.assign(columns_.size(), false);
    bytes_ = 0;
    row_bytes_ = 0;
}

// The records of one table on their way to Oracle in arrays: the insert path's batch.
//
// ora_table stages each record's bound values here (one value per column, as ora_table's value
// rules made them) together with a copy of the record as the source gave it. flush() writes the
// whole batch with one execute of one prepared INSERT per shape of large values (OCI_BATCH_ERRORS
// and OCI_COMMIT_ON_SUCCESS, so a batch costs one round trip; a commit follows when a row failed,
// since Oracle then commits nothing): once the whole batch is written, each failed row is
// reported to the sink with its own record and error, the others stay and are committed, and the
// values stored altered are reported for the rows that went in, all in record order. A sink
// that stops the run (it throws) does so after the batch has been written and told.
//
// Large values are bound directly into their CLOB or BLOB column. A column's state per row is
// NULL, empty (EMPTY_CLOB()/EMPTY_BLOB(): an empty large value is not NULL) or bound; the rows
// of one shape share a statement. The batch is full at max_rows rows or max_bytes of values, so
// memory stays flat whatever the table: about three times max_bytes at most (staged values, the
// arrays bound, the records), and a table keeps three batches (one written and one in line
// while the next is staged).
//
// One thread at a time: the one that appends records, or the insert path's worker between
// write and finish (see write). Oracle errors that concern the whole execute rather than rows
// (a lost connection, say) are reported for every row of it, and the next shape follows.
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ORA/ora_engine.h"
#include "ORA/ora_value_binding.h"
#include "UDB/udb_record_sink.h"

class ora_insert_batch {
  public:
    struct limits {
        size_t max_rows = 2000;
        size_t max_bytes = 8u << 20;
    };

    // What a LOB column holds in a row.
    enum lob_state : char { lob_null = 'N', lob_empty = 'E', lob_bound = 'V' };

    ora_insert_batch(const std::wstring& table, const udb_schema& schema, limits bounds);
    ~ora_insert_batch();
    ora_insert_batch(const ora_insert_batch&) = delete;
    ora_insert_batch& operator=(const ora_insert_batch&) = delete;

    // The values of the row being staged, column by column, in any order; a column not set is
    // NULL. Text is UTF-16 (what the environment expects), bytes are bytes (a DATE column takes
    // its 7-byte DATE).
    void set_null(size_t column);
    void set_text(size_t column, std::wstring_view text);
    void set_bytes(size_t column, std::span<const uint8_t> bytes);
    // A whole number of a NUMBER column: bound as a binary integer (SQLT_INT) when every value
    // of the column in an execute is one, else as its text with the others.
    void set_integer(size_t column, int64_t value);
    // A LOB column without a bound value: NULL or empty.
    void set_lob(size_t column, lob_state state);
    // A value given as SQL text of its own (a custom conversion rule's): the row is written
    // alone, with the text in the column's place.
    void set_expression(size_t column, std::wstring text);

    // Ends the row: it joins the batch with its record and the notes of its altered
    // values. The caller flushes when full() says so.
    void end_row(int64_t record_number, const udb_record& record, std::vector<std::string> notes);
    // The same with the record's values moved into the batch rather than copied.
    void end_row(int64_t record_number, udb_record&& record, std::vector<std::string> notes);
    // Forgets the row being staged (a value of it was refused).
    void drop_row();

    bool full() const noexcept;
    bool empty() const noexcept { return rows_.empty(); }
    size_t rows() const noexcept { return rows_.size(); }
    size_t bytes() const noexcept { return bytes_; }
    // The bytes the row being staged holds so far.
    size_t row_bytes() const noexcept { return row_bytes_; }

    // Writes and commits the batch (see the header comment) and adds the rows that went in to
    // stored; reports to sink (which may be null: the first failure then raises its
    // ora_exception, once the rows of its execute that went in are committed). A sink that
    // throws (the user stops the run) hears of the rest of the batch still, and its first
    // exception is raised once the whole batch is written and counted. It is write and finish
    // in one go.
    void flush(udb_record_sink* sink, int64_t& stored);
    // The first half of flush: writes the batch and keeps what became of each row, telling
    // nobody. report false: the first refusal is raised, as flush does without a sink. It makes
    // OCI calls and touches this batch only, so it may run on another thread than the one that
    // staged the rows (ora_background), which leaves the batch alone until finish.
    void write(bool report);
    // The second half: adds the rows written to stored, then raises failure (what write
    // raised, if anything) or tells sink of every row; the batch is empty afterwards, whatever
    // happens, and takes the next rows.
    void finish(udb_record_sink* sink, int64_t& stored, std::exception_ptr failure);
    // Writes the only row staged, with RETURNING ROWID and without a commit, and forgets it:
    // for a row whose large values go through locators afterwards. ora_exception when Oracle
    // refuses it.
    std::wstring insert_returning_rowid();

  private:
    struct column {
        ora_bind_kind kind;
        std::wstring name;
        // The staged values of every row one after the other, and per row where its value
        // starts, its length in bytes, its indicator and (LOB columns) its state.
        std::vector<char> data;
        std::vector<size_t> offset;
        std::vector<uint32_t> length;
        std::vector<int16_t> indicator;
        std::vector<char> lob;
        // Rows whose value is a binary integer (set_integer).
        std::vector<bool> whole;
        // Rows whose value is SQL text of its own.
        std::map<size_t, std::wstring> expression;
    };
    struct staged_row {
        int64_t number;
        udb_record record;
        std::vector<std::string> notes;
    };
    struct prepared;
    // One bound column's values at a common width, with indicators and lengths.
    struct array {
        std::vector<char> values;
        std::vector<int16_t> indicators;
        std::vector<uint32_t> lengths;
    };

    bool is_lob(const column& c) const noexcept {
        return c.kind == ora_bind_kind::clob || c.kind == ora_bind_kind::blob;
    }
    // The value of the row being staged in a column: its slot, made on first use.
    void begin_value(size_t column);
    // A value that binds no data of its own (NULL, an empty large value, SQL text).
    void set_without_data(size_t column, lob_state state);
    std::string shape_of(size_t row) const;
    // The statement of a shape (row: the first row of it, for SQL text values).
    prepared& statement_for(const std::string& shape, size_t row, bool returning);
    // The rows' values of a column as one array: as staged, or (a column of binary integers
    // and texts) every value as UTF-16 text. Its bind type.
    uint16_t fill_array(const column& c, const std::vector<size_t>& rows, array& out) const;
    // Binds the rows' values to the statement; the arrays must live until it is executed.
    std::vector<array> bind_rows(prepared& target, const std::vector<size_t>& rows);
    // The rows of one shape in parts whose arrays stay within max_bytes.
    std::vector<std::vector<size_t>> split_by_width(const std::vector<size_t>& rows) const;
    // Writes the rows of one shape; a row Oracle refuses gets its refusal (without report the
    // first one is raised).
    void execute(const std::string& shape, const std::vector<size_t>& rows, bool report);
    // Tells the sink of every row of the batch, in record order: refused, or stored with the
    // notes of its altered values.
    void tell(udb_record_sink* sink) const;
    void clear() noexcept;
    // Empties the batch when it goes out of scope, whatever ends a write.
    struct clear_guard {
        ora_insert_batch& batch;
        ~clear_guard() { batch.clear(); }
    };

    std::wstring table_;
    limits limits_;
    std::vector<column> columns_;
    std::vector<staged_row> rows_;
    // Whether the row being staged has set a column yet.
    std::vector<bool> set_;
    size_t bytes_ = 0;
    size_t row_bytes_ = 0;
    // What write made of each row (a refusal, or nothing: stored) and the rows stored.
    std::vector<std::unique_ptr<ora_exception>> refusals_;
    int64_t written_ = 0;
    std::map<std::string, std::unique_ptr<prepared>> statements_;
};

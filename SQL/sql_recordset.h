// Record sets over MySQL tables, custom queries and the system's own statements.
//
// sql_recordset reads a table or a custom query. Its constructor describes it completely:
// the schema (columns with kinds, sizes, NOT NULL, auto-increment and default values) and,
// for a table, its indexes and its creation text. The rows then come from ONE streaming
// statement: at most one page of sql_page_size records is held in memory, and rows are never
// read twice or skipped, whatever order the server returns them in. A table's stream opens at
// the first access to its records (so a record set used only for its description never reads
// the table); a custom query's stream opens at construction. A page holds fewer records when
// their values exceed sql_page_bytes. A table's stream names its columns one by one, so that
// INVISIBLE columns are read too (SELECT * leaves them out), and reads FLOAT columns through
// DOUBLE, which gives back the stored value exactly.
//
// The end of the records is where the stream ends: is_eof is true exactly when get_item has no
// record, even when rows were deleted or added after they were counted. The count taken at
// construction (the base's count, also record_count()) is what the progress display shows; it
// becomes the number of rows really read once the stream has ended. The position of the
// current record is position().
//
// A record from get_item stays valid until the next page is fetched (next from the last slot
// of a page, move_first, move_prev across a page) or the record set is destroyed. Client
// failures raise sql_exception; a record set must be destroyed before its database.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SQL/sql_database.h"
#include "SQL/sql_fk_parser.h"
#include "SQL/sql_record.h"

class sql_recordset : public udb_recordset {
  public:
    // A record set over a table.
    sql_recordset(sql_database& database, const std::wstring& name);
    // A record set over a custom query.
    sql_recordset(sql_database& database, const std::wstring& name, const std::wstring& query_text);
    ~sql_recordset() override;

    // MySQL is never a destination: an internal error.
    bool append_record(udb_record& record) override;
    udb_record* get_item() override;
    bool is_eof() override;
    int64_t next() override;
    void move_prev() override;
    void move_first() override;

    // Destroys the records of the page.
    void clean();
    // Counts the rows with "SELECT COUNT(*)" over the table or the query.
    int64_t get_rec_count();

    // The base's count: the rows counted at construction, the rows read once all were read.
    int64_t record_count() const { return count; }
    int64_t position() const { return position_; }
    // Lowers the bytes of values a page may hold (a test sees pages of a few records).
    void set_page_bytes(size_t bytes) { page_bytes_ = bytes; }
    // The creation text of the table (none for a custom query or a server without it).
    const sql_fk_parser* fk_parser() const { return fk_parser_.get(); }
    // The foreign keys of the database (never filled: they are not carried over).
    udb_relationships* relationships() const { return relationships_; }

  private:
    void initialize();
    int64_t count_query_rows();
    // The quoted names of the columns SHOW COLUMNS lists, for a SELECT; empty without them.
    std::wstring declared_columns(const sql_tmp_recordset* declared) const;
    // The select list of the table's stream: every column of the schema, FLOAT ones as DOUBLE.
    std::wstring stream_select_list() const;
    void describe(const std::vector<sql_column>& columns, const MYSQL_FIELD* fields);
    void refine_columns(const sql_tmp_recordset& rows);
    void refine_column(t_ftd& field, const sql_record& row);
    // Writes the count of partial zero dates per column to the trace log.
    void trace_partial_zero_dates() const;
    void read_indexes();
    void read_create_text();
    // Opens the stream when it is not open yet.
    void ensure_stream();
    // (Re)opens the stream and makes the page that holds the row at target current.
    void seek(int64_t target);
    // Replaces the page by the next rows; at the end of the rows the count becomes exact.
    void fill_page();

    sql_database& database_;
    udb_relationships* relationships_;
    // Position of the current row, of the first row of the page and of the current row
    // within the page.
    int64_t position_ = 0;
    int64_t page_start_ = 0;
    size_t page_index_ = 0;
    // Records in the page; the end of the rows when the current one is not among them.
    size_t page_rows_ = 0;
    size_t page_bytes_ = sql_page_bytes;
    sql_page page_;
    // Whether a record of the page was handed out (and may have been changed by its user).
    bool touched_ = false;
    // The columns a table's stream selects (empty for a custom query).
    std::wstring select_list_;
    std::unique_ptr<sql_database::sql_limited_query> stream_;
    // The end of the stream was reached and its figures taken.
    bool counted_ = false;
    std::unique_ptr<sql_fk_parser> fk_parser_;
};

// A record set over the result of one of the system's own statements (lists of databases and
// tables, SHOW statements, counts): every row is read at construction; count is their number.
class sql_tmp_recordset : public udb_recordset {
  public:
    // Takes the result over; an empty result is an internal error.
    explicit sql_tmp_recordset(sql_result result);
    ~sql_tmp_recordset() override;

    bool append_record(udb_record& record) override;
    udb_record* get_item() override;
    bool is_eof() override;
    int64_t next() override;
    void move_prev() override;
    void move_first() override;

    size_t size() const { return records_.size(); }
    const sql_record& operator[](size_t i) const { return *records_[i]; }
    const std::vector<sql_column>& columns() const { return columns_; }

  private:
    void initialize(sql_result& result);

    std::vector<std::unique_ptr<sql_record>> records_;
    std::vector<sql_column> columns_;
    size_t position_ = 0;
};

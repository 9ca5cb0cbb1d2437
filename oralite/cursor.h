// One prepared statement of a session: what OCIStmtPrepare/OCIStmtExecute/OCIStmtFetch act on.
//
// The text is parsed once when the cursor is made; a syntax error waits until execution, as
// with Oracle. Queries are translated to SQLite once and re-translated only when the catalog
// changed; DML and DDL run through the engine. Binds come from a bind_source per execution.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "oralite/ast.h"
#include "oralite/compiler.h"
#include "oralite/ora_error.h"
#include "oralite/sqlite_util.h"
#include "oralite/value.h"

namespace oralite {

class session;

// Supplies bind values for one execution and takes RETURNING values back.
class bind_source {
  public:
    virtual ~bind_source() = default;
    // The value bound to `slot` for `iteration`; ORA-01008 when the slot is not bound.
    virtual value input(size_t slot, uint32_t iteration) = 0;
    // A value of a RETURNING ... INTO placeholder for row `row` of `rows` of `iteration`.
    virtual void output(size_t slot, uint32_t iteration, uint32_t rows, uint32_t row,
                        const value& v, const column_type& type) = 0;
};

// A bind_source for statements without placeholders.
class no_binds : public bind_source {
  public:
    value input(size_t, uint32_t) override { throw ora_error(1008); }
    void output(size_t, uint32_t, uint32_t, uint32_t, const value&, const column_type&) override {
        throw ora_error(1008);
    }
};

// A statement text parsed once, shareable between cursors (OCIStmtPrepare parses before any
// session is known).
struct parsed_sql {
    explicit parsed_sql(std::string text);
    std::string sql;
    int statement_type = 0;
    std::unique_ptr<statement> ast;
    std::optional<ora_error> error;
    bind_slots binds;
};

// One failed row of an array DML run with batch errors: its offset in the array and its error.
struct row_error {
    uint32_t row;
    ora_error error;
};

class cursor {
  public:
    cursor(session& s, std::string sql);
    cursor(session& s, std::shared_ptr<const parsed_sql> parsed);
    ~cursor();
    cursor(const cursor&) = delete;
    cursor& operator=(const cursor&) = delete;

    const std::string& sql() const { return parsed_->sql; }
    // The OCI statement type (OCI_STMT_ codes).
    int statement_type() const { return parsed_->statement_type; }
    bool is_query() const;
    const std::vector<std::string>& bind_names() const { return parsed_->binds.names(); }
    session& owner() const { return s_; }
    // The 0-based slots of RETURNING ... INTO placeholders.
    std::vector<size_t> returning_slots() const;

    enum class mode { normal, parse_only, describe_only };
    // A query is opened (its rows come with fetch); other statements run `iterations` times
    // (ORA-24333 for zero). A failing row ends an array DML and leaves the rows before it done;
    // with `batch_errors` every row is tried and each failure is kept in row_errors().
    void execute(uint32_t iterations, bind_source& binds, mode m = mode::normal,
                 bool batch_errors = false);
    const std::vector<row_error>& row_errors() const { return row_errors_; }
    // An INSERT with the APPEND_VALUES hint: a direct-path load, which refuses batch errors.
    bool direct_path_insert() const;
    // Set when the statement succeeded with a warning (ORA-24344: trigger compiled with errors).
    const std::optional<ora_error>& warning() const { return warning_; }

    const std::vector<result_column>& columns() const { return query_.columns; }
    bool fetch();
    bool has_row() const { return has_row_; }
    value column_value(size_t index);
    // The locator source of a LOB column of the current row, without reading its content.
    std::shared_ptr<lob_ref> column_lob(size_t index);
    uint64_t row_count() const { return row_count_; }
    // The ROWID of the last row inserted, updated or fetched with a table, if any.
    std::optional<std::string> last_rowid() const;
    void close();

  private:
    void run(uint32_t iterations, bind_source& binds, mode m);
    void run_query(bind_source& binds, mode m);
    void run_insert(const insert_statement& st, uint32_t iterations, bind_source& binds);
    void run_update_delete(uint32_t iterations, bind_source& binds);
    void run_transaction_control(const transaction_statement& st);
    void bind_params(sqlite3_stmt* stmt, const std::vector<query_param>& params, bind_source& binds,
                     uint32_t iteration);
    // Runs row `iteration` of an array DML; with batch errors its failure is recorded instead
    // of ending the execute.
    template <typename F>
    void run_row(uint32_t iteration, F&& body);

    session& s_;
    std::shared_ptr<const parsed_sql> parsed_;
    std::optional<ora_error> warning_;

    compiled_query query_;
    int64_t compiled_version_ = -1;
    sqlite_stmt stmt_;
    bool has_row_ = false;
    bool open_ = false;
    uint64_t opened_transaction_ = 0;
    uint64_t row_count_ = 0;
    std::optional<std::pair<int64_t, int64_t>> last_row_;  // table id and row id, as ROWID
    compiled_dml dml_;
    bool batch_errors_ = false;
    std::vector<row_error> row_errors_;
};

}  // namespace oralite

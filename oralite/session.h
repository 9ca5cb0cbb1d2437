// One logged-on session: an SQLite connection to the database file, its user, its
// transaction and its view of the catalog.
//
// Oracle's transaction rules hold: DML opens a transaction that lasts until COMMIT or
// ROLLBACK (so writers hold the database's write lock meanwhile); DDL commits before and after
// itself; log-off commits; a session destroyed without log-off (a process that dies) loses
// its uncommitted work. A session is used by one thread at a time.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "oralite/catalog.h"
#include "oralite/nls.h"
#include "oralite/ora_error.h"
#include "oralite/sqlite_util.h"
#include "oralite/value.h"

namespace oralite {

class session {
  public:
    // Resolves the connect string, opens the database and authenticates (ORA-01017,
    // ORA-28000, ORA-01045 and the connect errors of database.h).
    static std::unique_ptr<session> logon(std::string_view connect, std::string_view user,
                                          std::string_view password);
    ~session();
    session(const session&) = delete;
    session& operator=(const session&) = delete;

    // Commits and closes; the session is unusable afterwards.
    void logoff();
    bool closed() const { return db_ == nullptr; }

    // The session's number in V$MYSTAT and V$SESSTAT, unique within the process.
    int64_t sid() const { return sid_; }
    // The session's NLS parameters; ALTER SESSION SET changes them all or none.
    const nls_settings& nls() const { return nls_; }
    void alter_session(const alter_session_statement& st);

    // Client-server round trips made by the session ("SQL*Net roundtrips to/from client"). The
    // OCI layer counts them; other threads may read the count (V$SESSTAT of another session).
    uint64_t round_trips() const { return round_trips_.load(std::memory_order_relaxed); }
    void count_round_trip() { round_trips_.fetch_add(1, std::memory_order_relaxed); }

    // COMMIT and ROLLBACK end the transaction and forget its savepoints.
    void commit();
    void rollback();
    // SAVEPOINT name marks the transaction (the one the next change opens, when none is open);
    // a name used again moves to the new point. ROLLBACK TO name undoes the work after it and
    // forgets later savepoints, the transaction stays open (ORA-01086 for an unknown name).
    void savepoint(const std::string& name);
    void rollback_to(const std::string& name);
    bool in_transaction() const { return in_transaction_; }
    // The open transaction holds changes or locks (not just a failed first statement).
    void mark_work() { transaction_has_work_ = true; }
    // Ends a transaction that holds nothing, so a failed statement keeps no lock.
    void release_idle_transaction();
    // Changes each time a transaction ends; LOB locators remember the one they were locked in.
    uint64_t transaction_serial() const { return transaction_serial_; }
    // Opens the write transaction of DML if none is open. wait_seconds: -1 waits the default
    // time, 0 fails at once (ORA-00054), n waits n seconds (then ORA-30006).
    void begin_write(int wait_seconds = -1);

    // The catalog, reloaded when another session or process changed it.
    const catalog& current_catalog();
    std::shared_ptr<const catalog> catalog_snapshot();
    const user_info& user() const { return user_; }
    sqlite3* db() const { return db_; }
    const std::string& path() const { return path_; }

    // Runs a DDL change: commits, opens its own transaction, runs `change`, bumps the catalog
    // version and commits; on failure rolls the change back. Reloads the catalog either way.
    void run_ddl(const std::function<void()>& change);

    // A cached prepared SQLite statement for the text (owned by the session; valid until the
    // next call, which may empty the cache).
    sqlite3_stmt* cached_statement(const std::string& sql);
    // The same statement for a caller that keeps it across calls (a row inserter's).
    std::shared_ptr<sqlite_stmt> shared_statement(const std::string& sql);

    // Sequences (the session remembers CURRVAL).
    value next_value(const sequence_info& seq);
    value current_value(const sequence_info& seq);
    // One new value per row of a query block and sequence: the block (numbered by
    // new_sequence_block) starts each row, and every reference in the row gets the same value.
    int64_t new_sequence_block() { return ++last_sequence_block_; }
    void start_sequence_row(int64_t block);
    value row_next_value(int64_t block, const sequence_info& seq);

    // LOB contents behind a locator.
    value read_lob(const lob_ref& ref);
    void write_lob(const lob_ref& ref, const value& content);

    // Moves whenever data may have changed, so LOB contents cached by locators are read again.
    uint64_t data_generation() const { return data_generation_; }
    void data_changed() { ++data_generation_; }

    // Errors raised inside SQL functions wait here until the statement's step reports them.
    void set_pending_error(const ora_error& e) { pending_error_ = e; }
    [[noreturn]] void throw_step_error(int rc, bool timed_wait = false);

    // Targets of UPDATE ... SET, checked by the SQL function ora_store.
    int register_store_target(int64_t table_id, const std::string& column);
    std::pair<const table_info*, const column_info*> store_target(int id);

    std::string rowid_text(int64_t table_id, int64_t row) const;
    // The row of a ROWID text for that table, or -1 when it names another table; ORA-01410 for
    // a malformed ROWID.
    int64_t rowid_row(std::string_view rowid, int64_t table_id) const;

  private:
    session() = default;
    void open(const std::string& path);
    void register_functions();
    void reload_catalog();
    void set_busy_wait(int seconds);
    // Ends the SQLite transaction without touching the savepoints (a failed first statement
    // leaves the transaction's savepoints valid).
    void end_transaction(const char* sql);

    sqlite3* db_ = nullptr;
    std::string path_;
    int64_t sid_ = 0;
    std::atomic<uint64_t> round_trips_{0};
    user_info user_;
    nls_settings nls_;
    std::shared_ptr<const catalog> catalog_;
    bool in_transaction_ = false;
    bool transaction_has_work_ = false;
    uint64_t transaction_serial_ = 1;
    int current_wait_ = -2;
    uint64_t data_generation_ = 0;
    std::optional<ora_error> pending_error_;
    sqlite_stmt version_stmt_;
    std::unordered_map<std::string, std::shared_ptr<sqlite_stmt>> statement_cache_;
    std::map<int64_t, value> currval_;
    std::map<std::pair<int64_t, int64_t>, value> row_next_values_;  // (block, sequence)
    int64_t last_sequence_block_ = 0;
    // A savepoint set before the transaction did any work returns to its start (id 0).
    struct savepoint_mark {
        std::string name;
        int64_t id = 0;
    };
    std::vector<savepoint_mark> savepoints_;
    int64_t last_savepoint_id_ = 0;
    std::vector<std::pair<int64_t, std::string>> store_targets_;
    std::map<std::pair<int64_t, std::string>, int> store_target_ids_;

    friend struct session_functions;
};

// The statistic of round trips as V$STATNAME lists it.
inline constexpr int k_round_trips_statistic = 557;
inline constexpr std::string_view k_round_trips_statistic_name =
    "SQL*Net roundtrips to/from client";

// A DML wait without NOWAIT: how long a session waits for another one's write lock.
inline constexpr int k_default_lock_wait_seconds = 30;

}  // namespace oralite

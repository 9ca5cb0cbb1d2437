#include "oralite/session.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>

#include "oralite/database.h"
#include "oralite/dictionary.h"
#include "oralite/functions.h"
#include "oralite/storage.h"
#include "oralite/unicode.h"

namespace oralite {

// ---- the sessions of this process ------------------------------------------------------------

namespace {

// SQLite keeps no count of its memory for us: the count takes a process-wide lock for every
// allocation. Done when the library is loaded, before any connection; should SQLite already be
// in use by the process, the call is refused and nothing changes.
[[maybe_unused]] const int memory_count_off = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);

std::mutex& live_sessions_mutex() {
    static std::mutex m;
    return m;
}

std::vector<const session*>& live_sessions() {
    static std::vector<const session*> v;
    return v;
}

void add_live_session(const session* s) {
    std::lock_guard<std::mutex> lock(live_sessions_mutex());
    live_sessions().push_back(s);
}

void remove_live_session(const session* s) {
    std::lock_guard<std::mutex> lock(live_sessions_mutex());
    auto& v = live_sessions();
    v.erase(std::remove(v.begin(), v.end(), s), v.end());
}

std::string live_sessions_json(const std::string& path) {
    std::lock_guard<std::mutex> lock(live_sessions_mutex());
    std::string json = "[";
    for (const session* s : live_sessions()) {
        if (s->path() != path)
            continue;
        if (json.size() > 1)
            json += ",";
        json += "[" + std::to_string(s->sid()) + "," + std::to_string(s->round_trips()) + "]";
    }
    return json + "]";
}

int64_t next_sid() {
    static std::atomic<int64_t> last{0};
    return ++last;
}

}  // namespace

// ---- SQL functions registered on every connection -----------------------------------------

struct session_functions {
    static session* of(sqlite3_context* ctx) {
        return static_cast<session*>(sqlite3_user_data(ctx));
    }

    static void fail(sqlite3_context* ctx, const ora_error& e) {
        of(ctx)->set_pending_error(e);
        sqlite3_result_error(ctx, e.what(), -1);
    }

    template <typename F>
    static void guarded(sqlite3_context* ctx, F f) {
        try {
            f();
        } catch (const ora_error& e) {
            fail(ctx, e);
        } catch (const std::exception& e) {
            fail(ctx, ora_error(600, {e.what()}));
        }
    }

    static value arg(sqlite3_value* v, char letter) {
        return read_storage(v, type_of_letter(letter));
    }

    static std::string text_arg(sqlite3_value* v) {
        const unsigned char* p = sqlite3_value_text(v);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<size_t>(sqlite3_value_bytes(v)))
                 : std::string();
    }

    // ora_call(id, kinds, args...)
    static void call(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
        guarded(ctx, [&] {
            // By number, or by name in SQL kept in the file (indexes on expressions).
            const function_def& f =
                sqlite3_value_type(argv[0]) == SQLITE_TEXT
                    ? find_function(text_arg(argv[0]), static_cast<size_t>(argc - 2), 0)
                    : function_by_id(sqlite3_value_int(argv[0]));
            std::string kinds = text_arg(argv[1]);
            std::vector<value> args;
            args.reserve(static_cast<size_t>(argc - 2));
            for (int i = 2; i < argc; ++i) {
                size_t k = static_cast<size_t>(i - 2);
                args.push_back(arg(argv[i], k < kinds.size() ? kinds[k] : '?'));
            }
            result_storage(ctx, call_function(f, args));
        });
    }

    // ora_conv(target, source, x): Oracle's implicit conversion between kinds.
    static void conv(sqlite3_context* ctx, int, sqlite3_value** argv) {
        guarded(ctx, [&] {
            std::string target = text_arg(argv[0]);
            std::string source = text_arg(argv[1]);
            value v = arg(argv[2], source.empty() ? '?' : source[0]);
            result_storage(ctx, convert_to(v, type_of_letter(target.empty() ? '?' : target[0])));
        });
    }

    static void ncmp(sqlite3_context* ctx, int, sqlite3_value** argv) {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL ||
            sqlite3_value_type(argv[1]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        guarded(ctx, [&] {
            value a = arg(argv[0], 'N');
            value b = arg(argv[1], 'N');
            if (a.is_null() || b.is_null())
                throw ora_error(1722);
            sqlite3_result_int(ctx, a.number.compare(b.number));
        });
    }

    static void nkey(sqlite3_context* ctx, int, sqlite3_value** argv) {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        guarded(ctx, [&] {
            value a = arg(argv[0], 'N');
            std::string key = a.is_null() ? std::string() : a.number.sort_key();
            sqlite3_result_blob(ctx, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
        });
    }

    static void sid(sqlite3_context* ctx, int, sqlite3_value**) {
        sqlite3_result_int64(ctx, of(ctx)->sid_);
    }

    static void round_trips(sqlite3_context* ctx, int, sqlite3_value**) {
        sqlite3_result_int64(ctx, static_cast<int64_t>(of(ctx)->round_trips()));
    }

    // ora_sessions(): the open sessions of this process on the same database, as a JSON array
    // of [sid, round trips] for V$SESSTAT.
    static void sessions(sqlite3_context* ctx, int, sqlite3_value**) {
        std::string json = live_sessions_json(of(ctx)->path_);
        sqlite3_result_text(ctx, json.data(), static_cast<int>(json.size()), SQLITE_TRANSIENT);
    }

    static void uid(sqlite3_context* ctx, int, sqlite3_value**) {
        sqlite3_result_int64(ctx, of(ctx)->user_.id);
    }

    static void user(sqlite3_context* ctx, int, sqlite3_value**) {
        const std::string& n = of(ctx)->user_.name;
        sqlite3_result_text(ctx, n.data(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
    }

    static void sysdate(sqlite3_context* ctx, int, sqlite3_value**) {
        result_storage(ctx, value::of_date(datetime::now()));
    }

    static void systimestamp(sqlite3_context* ctx, int, sqlite3_value**) {
        result_storage(ctx, value::of_timestamp(datetime::now(true)));
    }

    static sequence_info sequence_arg(sqlite3_value** argv) {
        sequence_info s;
        s.id = sqlite3_value_int64(argv[0]);
        s.name = text_arg(argv[1]);
        return s;
    }

    // ora_seq_row(block): a new row of the block; ora_seq_next(block, id, name): its value.
    static void sequence_row(sqlite3_context* ctx, int, sqlite3_value** argv) {
        of(ctx)->start_sequence_row(sqlite3_value_int64(argv[0]));
        sqlite3_result_int(ctx, 1);
    }

    static void sequence_next(sqlite3_context* ctx, int, sqlite3_value** argv) {
        guarded(ctx, [&] {
            result_storage(
                ctx, of(ctx)->row_next_value(sqlite3_value_int64(argv[0]), sequence_arg(argv + 1)));
        });
    }

    static void currval(sqlite3_context* ctx, int, sqlite3_value** argv) {
        guarded(ctx, [&] { result_storage(ctx, of(ctx)->current_value(sequence_arg(argv))); });
    }

    static void rowid(sqlite3_context* ctx, int, sqlite3_value** argv) {
        if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        std::string text =
            of(ctx)->rowid_text(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]));
        sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }

    static void rowid_num(sqlite3_context* ctx, int, sqlite3_value** argv) {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        guarded(ctx, [&] {
            sqlite3_result_int64(
                ctx, of(ctx)->rowid_row(text_arg(argv[0]), sqlite3_value_int64(argv[1])));
        });
    }

    // ora_store(target, kind, x): the value an UPDATE writes into a column.
    static void store(sqlite3_context* ctx, int, sqlite3_value** argv) {
        guarded(ctx, [&] {
            auto [table, column] = of(ctx)->store_target(sqlite3_value_int(argv[0]));
            std::string kind = text_arg(argv[1]);
            value v = arg(argv[2], kind.empty() ? '?' : kind[0]);
            std::string quoted = table->quoted_column(*column);
            value out = coerce_for_column(v, column->type, quoted);
            if (out.is_null() && !column->nullable)
                throw ora_error(1407, {quoted});
            result_storage(ctx, out);
        });
    }

    // Aggregates over NUMBER: exact sums, averages, minimum and maximum.
    struct number_state {
        bool any = false;
        int64_t count = 0;
        decimal total;
    };

    static number_state* state(sqlite3_context* ctx) {
        void* p = sqlite3_aggregate_context(ctx, sizeof(number_state*));
        if (!p)
            return nullptr;
        auto** slot = static_cast<number_state**>(p);
        if (!*slot)
            *slot = new number_state();
        return *slot;
    }

    static number_state* take_state(sqlite3_context* ctx) {
        void* p = sqlite3_aggregate_context(ctx, 0);
        if (!p)
            return nullptr;
        auto** slot = static_cast<number_state**>(p);
        number_state* s = *slot;
        *slot = nullptr;
        return s;
    }

    template <int Mode>  // 0 sum, 1 avg, 2 min, 3 max
    static void number_step(sqlite3_context* ctx, int, sqlite3_value** argv) {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
            return;
        guarded(ctx, [&] {
            number_state* s = state(ctx);
            if (!s)
                return;
            value v = arg(argv[0], 'N');
            if (v.is_null())
                throw ora_error(1722);
            if (!s->any) {
                s->total = v.number;
            } else if (Mode <= 1) {
                s->total = s->total + v.number;
            } else if (Mode == 2 ? v.number.compare(s->total) < 0
                                 : v.number.compare(s->total) > 0) {
                s->total = v.number;
            }
            s->any = true;
            ++s->count;
        });
    }

    template <int Mode>
    static void number_final(sqlite3_context* ctx) {
        std::unique_ptr<number_state> s(take_state(ctx));
        if (!s || !s->any) {
            sqlite3_result_null(ctx);
            return;
        }
        guarded(ctx, [&] {
            decimal out = s->total;
            if (Mode == 1)
                out = decimal::divide(out, decimal::from_int(s->count));
            result_storage(ctx, value::of_number(out));
        });
    }
};

namespace {

void check_rc(sqlite3* db, int rc) {
    if (rc != SQLITE_OK)
        throw_sqlite(db, rc);
}

constexpr char k_base64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void append_base64(std::string& out, uint64_t v, int chars) {
    for (int i = chars - 1; i >= 0; --i) {
        out.push_back(k_base64[(v >> (6 * i)) & 63]);
    }
}

bool read_base64(std::string_view s, uint64_t& v) {
    v = 0;
    for (char c : s) {
        const char* p = std::strchr(k_base64, c);
        if (!p || c == '\0')
            return false;
        v = (v << 6) | static_cast<uint64_t>(p - k_base64);
    }
    return true;
}

constexpr uint64_t k_rows_per_block = 256;
constexpr uint64_t k_first_block = 128;
constexpr uint64_t k_file_number = 4;

// Logon user names fold like identifiers unless they are quoted.
std::string logon_name(std::string_view user) {
    if (user.size() >= 2 && user.front() == '"' && user.back() == '"') {
        return std::string(user.substr(1, user.size() - 2));
    }
    return utf8_upper(user);
}

}  // namespace

// ---- life cycle ------------------------------------------------------------------------

std::unique_ptr<session> session::logon(std::string_view connect, std::string_view user,
                                        std::string_view password) {
    std::string path = resolve_connect_string(connect);
    std::unique_ptr<session> s(new session());
    s->open(path);
    const user_info* u = s->catalog_->user(logon_name(user));
    if (!u || u->password != password)
        throw ora_error(1017);
    if (u->locked)
        throw ora_error(28000);
    if (!u->has_privilege("CREATE SESSION"))
        throw ora_error(1045, {u->name});
    s->user_ = *u;
    s->sid_ = next_sid();
    add_live_session(s.get());
    return s;
}

void session::open(const std::string& path) {
    path_ = path;
    // A session is used by one thread at a time, as its OCI handles are; SQLite's own lock per
    // call on the connection would only cost time.
    int rc =
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw ora_error(1034);
    }
    try {
        sqlite_stmt app(db_, "PRAGMA application_id");
        if (!app.step() || app.int_at(0) != k_application_id)
            throw ora_error(1034);
    } catch (const ora_error&) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw ora_error(1034);
    }
    sqlite3_extended_result_codes(db_, 1);
    set_busy_wait(k_default_lock_wait_seconds);
    exec_sql(db_, "PRAGMA journal_mode = WAL");
    if (read_meta(db_, "max_string_size") == std::optional<std::string>("EXTENDED")) {
        nls_.max_string_bytes = k_extended_string_bytes;
        nls_.max_raw_bytes = k_extended_string_bytes;
    }
    auto sync = read_meta(db_, "sync");
    exec_sql(db_,
             sync && *sync == "full" ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL");
    // A checkpoint every 64 MiB of log rather than SQLite's 4 MiB: a load commits every batch,
    // and the pages it keeps changing (the ends of its indexes) are copied back once for many
    // commits instead of once for each few.
    exec_sql(db_,
             "PRAGMA case_sensitive_like = ON; PRAGMA temp_store = MEMORY; "
             "PRAGMA foreign_keys = OFF; PRAGMA cache_size = -16000; "
             "PRAGMA wal_autocheckpoint = 16384");
    register_functions();
    create_index_expressions_table(db_);
    create_recyclebin_table(db_);
    oralite::create_dictionary_views(db_);
    version_stmt_ = sqlite_stmt(db_, "SELECT value FROM ora_meta WHERE key = 'catalog_version'");
    reload_catalog();
}

session::~session() {
    remove_live_session(this);
    forget_nls(&nls_);
    if (!db_)
        return;
    statement_cache_.clear();
    version_stmt_ = sqlite_stmt();
    // Without log-off the open transaction is lost, as when a client process dies.
    if (in_transaction_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db_);
}

void session::alter_session(const alter_session_statement& st) {
    nls_settings changed = nls_;
    for (const session_setting& setting : st.settings) {
        try {
            set_nls_parameter(changed, setting.name, setting.value);
        } catch (ora_error& e) {
            throw e.at(setting.pos);
        }
    }
    nls_ = changed;
}

void session::logoff() {
    if (!db_)
        return;
    commit();
    remove_live_session(this);
    statement_cache_.clear();
    version_stmt_ = sqlite_stmt();
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

void session::register_functions() {
    using sf = session_functions;
    struct entry {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
        bool deterministic;
    };
    const entry scalars[] = {
        {"ora_call", -1, sf::call, true},
        {"ora_conv", 3, sf::conv, true},
        {"ora_ncmp", 2, sf::ncmp, true},
        {"ora_nkey", 1, sf::nkey, true},
        {"ora_uid", 0, sf::uid, false},
        {"ora_user", 0, sf::user, false},
        {"ora_sid", 0, sf::sid, false},
        {"ora_round_trips", 0, sf::round_trips, false},
        {"ora_sessions", 0, sf::sessions, false},
        {"ora_sysdate", 0, sf::sysdate, false},
        {"ora_systimestamp", 0, sf::systimestamp, false},
        {"ora_seq_row", 1, sf::sequence_row, false},
        {"ora_seq_next", 3, sf::sequence_next, false},
        {"ora_currval", 2, sf::currval, false},
        {"ora_rowid", 2, sf::rowid, true},
        {"ora_rowid_num", 2, sf::rowid_num, true},
        {"ora_store", 3, sf::store, false},
    };
    for (const entry& e : scalars) {
        int flags = SQLITE_UTF8 | (e.deterministic ? SQLITE_DETERMINISTIC : 0);
        check_rc(db_, sqlite3_create_function_v2(db_, e.name, e.args, flags, this, e.fn, nullptr,
                                                 nullptr, nullptr));
    }
    struct aggregate {
        const char* name;
        void (*step)(sqlite3_context*, int, sqlite3_value**);
        void (*final)(sqlite3_context*);
    };
    const aggregate aggregates[] = {
        {"ora_sum", sf::number_step<0>, sf::number_final<0>},
        {"ora_avg", sf::number_step<1>, sf::number_final<1>},
        {"ora_nmin", sf::number_step<2>, sf::number_final<2>},
        {"ora_nmax", sf::number_step<3>, sf::number_final<3>},
    };
    for (const aggregate& a : aggregates) {
        check_rc(db_, sqlite3_create_function_v2(db_, a.name, 1, SQLITE_UTF8, this, nullptr, a.step,
                                                 a.final, nullptr));
    }
}

// ---- catalog ---------------------------------------------------------------------------

void session::reload_catalog() {
    catalog_ = catalog::load(db_);
    if (const user_info* u = catalog_->user_by_id(user_.id)) {
        user_ = *u;
    }
}

const catalog& session::current_catalog() {
    return *catalog_snapshot();
}

std::shared_ptr<const catalog> session::catalog_snapshot() {
    if (!db_)
        throw ora_error(3114);
    int64_t version = 0;
    if (version_stmt_.step())
        version = std::atoll(version_stmt_.text_at(0).c_str());
    version_stmt_.reset();
    if (!catalog_ || version != catalog_->version)
        reload_catalog();
    return catalog_;
}

// ---- transactions ----------------------------------------------------------------------

void session::set_busy_wait(int seconds) {
    if (seconds == current_wait_)
        return;
    // sqlite counts milliseconds in an int: a longer wait is capped, not wrapped around.
    constexpr int k_longest_wait = std::numeric_limits<int>::max() / 1000;
    sqlite3_busy_timeout(db_, std::min(seconds, k_longest_wait) * 1000);
    current_wait_ = seconds;
}

void session::begin_write(int wait_seconds) {
    if (!db_)
        throw ora_error(3114);
    if (in_transaction_)
        return;
    int wait = wait_seconds < 0 ? k_default_lock_wait_seconds : wait_seconds;
    set_busy_wait(wait);
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    set_busy_wait(k_default_lock_wait_seconds);
    if (rc != SQLITE_OK) {
        throw_sqlite(db_, rc, wait > 0 && wait_seconds >= 0);
    }
    in_transaction_ = true;
    transaction_has_work_ = false;
}

void session::release_idle_transaction() {
    if (db_ && in_transaction_ && !transaction_has_work_) {
        data_changed();
        end_transaction("ROLLBACK");
    }
}

void session::end_transaction(const char* sql) {
    if (!in_transaction_)
        return;
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK && std::strcmp(sql, "COMMIT") == 0)
        throw_sqlite(db_, rc);
    in_transaction_ = false;
    ++transaction_serial_;
}

void session::commit() {
    if (!db_)
        throw ora_error(3114);
    end_transaction("COMMIT");
    savepoints_.clear();
}

void session::rollback() {
    if (!db_)
        throw ora_error(3114);
    data_changed();
    end_transaction("ROLLBACK");
    savepoints_.clear();
}

void session::savepoint(const std::string& name) {
    if (!db_)
        throw ora_error(3114);
    savepoints_.erase(std::remove_if(savepoints_.begin(), savepoints_.end(),
                                     [&](const savepoint_mark& m) { return m.name == name; }),
                      savepoints_.end());
    savepoint_mark mark{name, 0};
    if (in_transaction_ && transaction_has_work_) {
        mark.id = ++last_savepoint_id_;
        exec_sql(db_, "SAVEPOINT oralite_sp" + std::to_string(mark.id));
    }
    savepoints_.push_back(std::move(mark));
}

void session::rollback_to(const std::string& name) {
    if (!db_)
        throw ora_error(3114);
    auto it = std::find_if(savepoints_.rbegin(), savepoints_.rend(),
                           [&](const savepoint_mark& m) { return m.name == name; });
    if (it == savepoints_.rend())
        throw ora_error(1086, {name});
    savepoints_.erase(it.base(), savepoints_.end());
    data_changed();
    if (savepoints_.back().id == 0) {
        end_transaction("ROLLBACK");
        return;
    }
    exec_sql(db_, "ROLLBACK TO oralite_sp" + std::to_string(savepoints_.back().id));
}

void session::run_ddl(const std::function<void()>& change) {
    commit();
    begin_write(0);
    try {
        change();
        exec_sql(db_,
                 "UPDATE ora_meta SET value = CAST(value AS INTEGER) + 1 "
                 "WHERE key = 'catalog_version'");
        commit();
    } catch (...) {
        rollback();
        reload_catalog();
        throw;
    }
    reload_catalog();
}

void session::throw_step_error(int rc, bool timed_wait) {
    if (pending_error_) {
        ora_error e = *pending_error_;
        pending_error_.reset();
        throw e;
    }
    throw_sqlite(db_, rc, timed_wait);
}

sqlite3_stmt* session::cached_statement(const std::string& sql) {
    return shared_statement(sql)->get();
}

std::shared_ptr<sqlite_stmt> session::shared_statement(const std::string& sql) {
    auto it = statement_cache_.find(sql);
    if (it == statement_cache_.end()) {
        if (statement_cache_.size() > 500)
            statement_cache_.clear();
        it = statement_cache_.emplace(sql, std::make_shared<sqlite_stmt>(db_, sql)).first;
    }
    return it->second;
}

// ---- sequences -------------------------------------------------------------------------

value session::next_value(const sequence_info& seq) {
    begin_write();
    sqlite3_stmt* read = cached_statement(
        "SELECT min_value, max_value, increment_by, cycle_flag, next_value FROM ora_sequences "
        "WHERE sequence_id = ?1");
    sqlite3_reset(read);
    sqlite3_bind_int64(read, 1, seq.id);
    if (sqlite3_step(read) != SQLITE_ROW) {
        sqlite3_reset(read);
        throw ora_error(2289);
    }
    auto text = [&](int c) {
        return std::string(reinterpret_cast<const char*>(sqlite3_column_text(read, c)));
    };
    decimal min = *decimal::parse(text(0));
    decimal max = *decimal::parse(text(1));
    decimal increment = *decimal::parse(text(2));
    bool cycle = text(3) == "Y";
    decimal current = *decimal::parse(text(4));
    sqlite3_reset(read);
    bool ascending = !increment.is_negative();
    bool beyond = ascending ? current.compare(max) > 0 : current.compare(min) < 0;
    if (beyond) {
        if (!cycle) {
            throw ora_error(8004, {seq.name, ascending ? "exceeds" : "goes below"});
        }
        current = ascending ? min : max;
    }
    decimal next = current + increment;
    sqlite3_stmt* write =
        cached_statement("UPDATE ora_sequences SET next_value = ?1 WHERE sequence_id = ?2");
    sqlite3_reset(write);
    std::string next_text = next.to_string();
    sqlite3_bind_text(write, 1, next_text.data(), static_cast<int>(next_text.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_int64(write, 2, seq.id);
    int rc = sqlite3_step(write);
    sqlite3_reset(write);
    if (rc != SQLITE_DONE)
        throw_sqlite(db_, rc);
    value v = value::of_number(current);
    currval_[seq.id] = v;
    return v;
}

void session::start_sequence_row(int64_t block) {
    // Values of finished rows are of no further use; a long session keeps only a few.
    if (row_next_values_.size() > 256) {
        row_next_values_.clear();
        return;
    }
    auto from = row_next_values_.lower_bound({block, std::numeric_limits<int64_t>::min()});
    auto to = row_next_values_.lower_bound({block + 1, std::numeric_limits<int64_t>::min()});
    row_next_values_.erase(from, to);
}

value session::row_next_value(int64_t block, const sequence_info& seq) {
    auto key = std::make_pair(block, seq.id);
    auto it = row_next_values_.find(key);
    if (it != row_next_values_.end())
        return it->second;
    value v = next_value(seq);
    row_next_values_.emplace(key, v);
    return v;
}

value session::current_value(const sequence_info& seq) {
    auto it = currval_.find(seq.id);
    if (it == currval_.end())
        throw ora_error(8002, {seq.name});
    return it->second;
}

// ---- LOBs ------------------------------------------------------------------------------

value session::read_lob(const lob_ref& ref) {
    std::string sql =
        "SELECT " + ref.column_internal + " FROM " + ref.table_internal + " WHERE R = ?1";
    sqlite3_stmt* s = cached_statement(sql);
    sqlite3_reset(s);
    sqlite3_bind_int64(s, 1, ref.row);
    int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) {
        sqlite3_reset(s);
        if (rc == SQLITE_DONE)
            throw ora_error(22275);
        throw_sqlite(db_, rc);
    }
    value v = read_storage(s, 0, column_type::of(ref.clob ? type_code::clob : type_code::blob));
    sqlite3_reset(s);
    return v;
}

void session::write_lob(const lob_ref& ref, const value& content) {
    if (!ref.locked)
        throw ora_error(22920);
    data_changed();
    if (!in_transaction_ || ref.transaction != transaction_serial_)
        throw ora_error(22990);
    std::string sql =
        "UPDATE " + ref.table_internal + " SET " + ref.column_internal + " = ?1 WHERE R = ?2";
    sqlite3_stmt* s = cached_statement(sql);
    sqlite3_reset(s);
    bind_storage(s, 1, content);
    sqlite3_bind_int64(s, 2, ref.row);
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    if (rc != SQLITE_DONE)
        throw_step_error(rc);
    if (sqlite3_changes(db_) == 0)
        throw ora_error(22275);
}

// ---- UPDATE targets and ROWIDs ---------------------------------------------------------

int session::register_store_target(int64_t table_id, const std::string& column) {
    auto key = std::make_pair(table_id, column);
    auto it = store_target_ids_.find(key);
    if (it != store_target_ids_.end())
        return it->second;
    int id = static_cast<int>(store_targets_.size());
    store_targets_.push_back(key);
    store_target_ids_[key] = id;
    return id;
}

std::pair<const table_info*, const column_info*> session::store_target(int id) {
    if (id < 0 || id >= static_cast<int>(store_targets_.size()))
        throw ora_error(904, {"?"});
    const auto& [table_id, column] = store_targets_[static_cast<size_t>(id)];
    const table_info* t = catalog_->table_by_id(table_id);
    if (!t)
        throw ora_error(942);
    const column_info* c = t->find_column(column);
    if (!c)
        throw ora_error(904, {"\"" + column + "\""});
    return {t, c};
}

std::string session::rowid_text(int64_t table_id, int64_t row) const {
    std::string out;
    uint64_t r = static_cast<uint64_t>(row > 0 ? row - 1 : 0);
    append_base64(out, static_cast<uint64_t>(table_id), 6);
    append_base64(out, k_file_number, 3);
    append_base64(out, r / k_rows_per_block + k_first_block, 6);
    append_base64(out, r % k_rows_per_block, 3);
    return out;
}

int64_t session::rowid_row(std::string_view rowid, int64_t table_id) const {
    uint64_t object = 0, file = 0, block = 0, slot = 0;
    if (rowid.size() != 18 || !read_base64(rowid.substr(0, 6), object) ||
        !read_base64(rowid.substr(6, 3), file) || !read_base64(rowid.substr(9, 6), block) ||
        !read_base64(rowid.substr(15, 3), slot)) {
        throw ora_error(1410);
    }
    if (static_cast<int64_t>(object) != table_id || file != k_file_number ||
        block < k_first_block || slot >= k_rows_per_block) {
        return -1;
    }
    return static_cast<int64_t>((block - k_first_block) * k_rows_per_block + slot + 1);
}

}  // namespace oralite

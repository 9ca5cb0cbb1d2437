// The MySQL connection engine: the one object through which the system talks to a MySQL server.
//
// sql_engine owns the single client handle, opens and closes the server connection, learns the
// server's version and derives from it what differs between server generations (quoting of
// names, foreign-key support), and hands out sql_database objects for single databases. It is a
// process-wide single instance (tk_singleton); every sql_database and record set obtained from
// it borrows its handle and must be destroyed before it. One thread at a time may use it.
//
// A connection can also be opened apart from the engine (sql_engine::open gives an
// sql_connection with a client handle of its own) and handed to it afterwards (adopt). The
// wizard opens connections that way on a worker thread, so that a log-on the user gives up can
// go on blocking in the client library without ever touching the engine: it closes its own
// handle when it ends. connect() is open() followed by adopt() on the calling thread.
//
// Failures of client calls travel as sql_exception (level 0, code 0x400000 + the MySQL error
// number); calling errors raise tk_mail_assertion.
#pragma once

#include <mysql.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TK/tk_exception.h"
#include "TK/tk_singleton.h"

class sql_database;
class udb_validator;

// Server versions are packed as major * 65536 + minor * 256 + patch.
constexpr uint32_t sql_version_quoted_names = 0x040100;  // 4.1.0: names in backquotes
constexpr uint32_t sql_version_refused_auth = 0x040100;  // 4.1.0 with a password: refused
constexpr uint32_t sql_version_foreign_keys = 0x03172C;  // 3.23.44: SHOW CREATE TABLE keys

// Reads "major.minor.patch" from the server's version text (a suffix after the third number,
// as in "5.0.51a-community" or "10.11.6-MariaDB-log", is ignored). Nothing when fewer than three
// numbers are read.
std::optional<uint32_t> sql_parse_server_version(const char* text);

// A name as MySQL statements write it: in backquotes from server 4.1.0 on, with every backquote
// inside the name doubled so that no name can end the quoting; bare on older servers.
std::wstring sql_quote_name(const std::wstring& name, uint32_t server_version);

// Servers from 3.23.44 on describe foreign keys in SHOW CREATE TABLE.
inline bool sql_supports_foreign_keys(uint32_t server_version) {
    return server_version >= sql_version_foreign_keys;
}
// Server 4.1.0 speaks an authentication protocol of its own, which is refused when a password
// is given (an empty password needs no authentication exchange).
inline bool sql_refuses_authentication(uint32_t server_version, const std::string& password) {
    return server_version == sql_version_refused_auth && !password.empty();
}

// Closes a client handle that mysql_init allocated.
struct sql_handle_closer {
    void operator()(MYSQL* handle) const noexcept { mysql_close(handle); }
};
using sql_handle = std::unique_ptr<MYSQL, sql_handle_closer>;

// One server connection opened by sql_engine::open, not yet taken over by the engine: the
// connected client handle and what the server's version decides. Move-only; a connection that
// nobody adopts closes its handle when destroyed, on whichever thread drops it.
class sql_connection {
  public:
    MYSQL* handle() const { return handle_.get(); }
    uint32_t server_version() const { return server_version_; }
    bool supports_foreign_keys() const { return supports_foreign_keys_; }
    bool has_utf8mb4() const { return utf8mb4_; }

  private:
    friend class sql_engine;

    sql_handle handle_;
    uint32_t server_version_ = 0;
    bool supports_foreign_keys_ = false;
    bool utf8mb4_ = false;
};

class sql_engine : public tk_singleton<sql_engine> {
  public:
    // Registers the instance and initialises the client handle (not yet connected).
    sql_engine();
    // When connected, switches foreign-key checks back on; closes the handle; unregisters.
    virtual ~sql_engine();
    sql_engine(const sql_engine&) = delete;
    sql_engine& operator=(const sql_engine&) = delete;

    // The engine interface seen by the conversion core. MySQL is never a destination here, so
    // create_db and db_delete refuse with an internal error.
    virtual std::unique_ptr<sql_database> create_db(const std::wstring& name);
    // Selects the database and returns a new sql_database over it; sql_exception (1049 for a
    // missing database) when the server refuses.
    virtual std::unique_ptr<sql_database> open_db(const std::wstring& name, int mode);
    virtual bool db_delete(const std::wstring& name);
    // True when the server selects the database (which stays selected). Never throws.
    virtual bool is_db_exist(const std::wstring& name);

    // The server's database names, in server order.
    std::vector<std::wstring> get_contents();

    // Opens the server connection (closing an open one first), asks for the utf8mb4 character
    // set, reads the server version and switches foreign-key checks off for the session.
    // sql_exception when the server refuses the connection; sql_auth_not_supported_exception
    // for a 4.1.0 server with a password. After a failure the engine is not connected.
    void connect(const std::string& host, const std::string& user, const std::string& password,
                 unsigned port);

    // The connection work of connect() on a client handle of its own, without the engine: any
    // thread may call it, also while another thread uses the engine. An empty host is the
    // local server. Fails as connect() does; a refused TCP connection carries the client error
    // 2003 (CR_CONN_HOST_ERROR), whichever number the client library gave it.
    static sql_connection open(const std::string& host, const std::string& user,
                               const std::string& password, unsigned port);
    // Closes the current connection and takes over the one given. The engine's thread only.
    void adopt(sql_connection&& connection);

    // Validators of field and index names for MySQL as a destination, which this system never
    // writes to: at most 64 characters, no backquote.
    std::unique_ptr<udb_validator> create_fn_validator() const;
    std::unique_ptr<udb_validator> create_in_validator() const;

    std::wstring quote_name(const std::wstring& name) const {
        return sql_quote_name(name, server_version_);
    }

    MYSQL* handle() { return handle_.get(); }
    bool connected() const { return connected_; }
    uint32_t server_version() const { return server_version_; }
    bool supports_foreign_keys() const { return supports_foreign_keys_; }
    // Whether the connection runs with utf8mb4 (false: the 3-byte "SET NAMES UTF8" fallback,
    // or no character set at all on servers that refuse both).
    bool has_utf8mb4() const { return utf8mb4_; }

    // Set by the conversion driver from its blob2text switch: binary BLOB columns are then
    // read as UTF-8 text.
    bool blob_to_text = false;
    // Set by the conversion driver from its time_interval switch: TIME columns are then
    // durations (date kind 4) rather than times of day.
    bool time_as_interval = false;

  private:
    // A new client handle with the engine's two client options, not connected.
    static sql_handle new_handle();
    // Replaces the handle with a new unconnected one.
    void initialize();

    // Never null: a connected handle, or an unconnected one that calls fail on.
    sql_handle handle_;
    bool connected_ = false;
    uint32_t server_version_ = 0;
    bool supports_foreign_keys_ = false;
    bool utf8mb4_ = false;
};

// A failed MySQL client call: the client's error text and code 0x400000 | (errno & 0xFFFF),
// level 0. The default constructor reads the error of the engine's handle.
class sql_exception : public tk_exception {
  public:
    sql_exception();
    explicit sql_exception(MYSQL* handle);
    // For failures found by this side (a lost stream) that carry a client error number.
    sql_exception(unsigned error_number, const std::string& text);
};

// The server asks for an authentication protocol this program does not speak (code 1, level 1:
// the connection cannot be used, so the work stops).
class sql_auth_not_supported_exception : public tk_exception {
  public:
    sql_auth_not_supported_exception();
};

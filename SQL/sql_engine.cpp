#include "SQL/sql_engine.h"

#include <errmsg.h>

#include <cstdio>

#include "SQL/sql_database.h"
#include "SQL/sql_result.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "UDB/udb_names.h"

namespace {

// Client option group read from the option files, and the connect timeout in seconds.
const char option_group[] = "VX MySQL Lib";
const unsigned connect_timeout_seconds = 10;

// A page of records may take the conversion a long time to write (large LOBs); the server must
// not give up sending the rest of a streamed table meanwhile.
const char keep_stream_open[] = "SET SESSION net_write_timeout = 86400";

// Sends a statement whose failure is harmless; returns the failure text, or nothing.
std::optional<std::string> run_optional(MYSQL* handle, const char* statement) {
    if (mysql_query(handle, statement) == 0) {
        return std::nullopt;
    }
    return std::string(mysql_error(handle));
}

// "SET NAMES UTF8" is the 3-byte character set, which turns every character outside the Basic
// Multilingual Plane into '?'; utf8mb4 carries them all. Servers before 5.5.3 refuse utf8mb4
// and get UTF8; servers before 4.1 refuse both and keep their own character set. True when the
// connection runs with utf8mb4.
bool set_character_set(MYSQL* handle) {
    tk_trace(3, "Setting UTF-8 collation...");
    if (!run_optional(handle, "SET NAMES utf8mb4").has_value()) {
        return true;
    }
    if (auto failure = run_optional(handle, "SET NAMES UTF8")) {
        tk_trace(3, "Failed");
        tk_trace(2, "Cannot set UTF-8 collation: %s", failure->c_str());
    }
    return false;
}

// Whether a connection to host goes over TCP: the client library takes an empty host and
// "localhost" as the local socket unless an option file asks for TCP.
bool over_tcp(MYSQL* handle, const std::string& host) {
    unsigned protocol = MYSQL_PROTOCOL_DEFAULT;
    if (mysql_get_optionv(handle, MYSQL_OPT_PROTOCOL, &protocol) == 0 &&
        protocol == MYSQL_PROTOCOL_TCP) {
        return true;
    }
    return !host.empty() && host != "localhost";
}

// The client error number of a failed mysql_real_connect. Connector/C reports a refused TCP
// connection as CR_CONNECTION_ERROR (2002), the number of a local socket that cannot be
// reached, and never sends CR_CONN_HOST_ERROR (2003, its errmsg.h says so); the MySQL client
// library reports the same refusal as 2003. The error map explains 2003 ("Can't connect to
// the MySQL server..."), so a refusal over TCP is given that number.
unsigned connect_error_number(MYSQL* handle, const std::string& host) {
    const unsigned number = mysql_errno(handle);
    if (number == CR_CONNECTION_ERROR && over_tcp(handle, host)) {
        return CR_CONN_HOST_ERROR;
    }
    return number;
}

}  // namespace

std::optional<uint32_t> sql_parse_server_version(const char* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    int major = 0;
    int minor = 0;
    int patch = 0;
    if (std::sscanf(text, "%d.%d.%d", &major, &minor, &patch) < 3) {
        return std::nullopt;
    }
    if (major < 0 || minor < 0 || minor > 255 || patch < 0 || patch > 255) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(major) * 65536 + static_cast<uint32_t>(minor) * 256 +
           static_cast<uint32_t>(patch);
}

std::wstring sql_quote_name(const std::wstring& name, uint32_t server_version) {
    if (server_version < sql_version_quoted_names) {
        return name;
    }
    std::wstring quoted = L"`";
    for (wchar_t c : name) {
        quoted.push_back(c);
        if (c == L'`') {
            quoted.push_back(c);
        }
    }
    quoted.push_back(L'`');
    return quoted;
}

sql_engine::sql_engine() {
    tk_trace(2, "sql_engine::ctor");
    initialize();
}

sql_engine::~sql_engine() {
    tk_trace(2, "sql_engine::dtor");
    if (connected_) {
        if (auto failure = run_optional(handle(), "SET FOREIGN_KEY_CHECKS = 1")) {
            tk_trace(2, "Cannot turn ON foreign key check: %s", failure->c_str());
        }
    }
}

sql_handle sql_engine::new_handle() {
    tk_trace(1, "sql_engine::initialize");
    sql_handle handle(mysql_init(nullptr));
    if (handle == nullptr) {
        TK_FAIL();
    }
    tk_trace(1, "sql_engine::initialize - 1");
    mysql_options(handle.get(), MYSQL_READ_DEFAULT_GROUP, option_group);
    tk_trace(1, "sql_engine::initialize - 2");
    mysql_options(handle.get(), MYSQL_OPT_CONNECT_TIMEOUT, &connect_timeout_seconds);
    tk_trace(1, "sql_engine::initialize - END");
    return handle;
}

void sql_engine::initialize() {
    handle_ = new_handle();
    connected_ = false;
    server_version_ = 0;
    supports_foreign_keys_ = false;
    utf8mb4_ = false;
}

void sql_engine::connect(const std::string& host, const std::string& user,
                         const std::string& password, unsigned port) {
    tk_trace(2, "sql_engine::connect(%s,%s,%s)", host.c_str(), user.c_str(), password.c_str());
    if (connected_) {
        tk_trace(2, "Connection was established already - disconnecting...");
        initialize();
    }
    adopt(open(host, user, password, port));
}

void sql_engine::adopt(sql_connection&& connection) {
    tk_trace(2, "sql_engine::adopt");
    TK_ASSERT(connection.handle_ != nullptr);
    handle_ = std::move(connection.handle_);
    connected_ = true;
    server_version_ = connection.server_version_;
    supports_foreign_keys_ = connection.supports_foreign_keys_;
    utf8mb4_ = connection.utf8mb4_;
}

sql_connection sql_engine::open(const std::string& host, const std::string& user,
                                const std::string& password, unsigned port) {
    tk_trace(3, "Connecting to MySQL server...");
    sql_connection connection;
    connection.handle_ = new_handle();
    MYSQL* handle = connection.handle();
    if (mysql_real_connect(handle, host.empty() ? nullptr : host.c_str(), user.c_str(),
                           password.c_str(), nullptr, port, nullptr, 0) == nullptr) {
        throw sql_exception(connect_error_number(handle, host), mysql_error(handle));
    }
    connection.utf8mb4_ = set_character_set(handle);

    const char* version_text = mysql_get_server_info(handle);
    if (version_text == nullptr || *version_text == '\0') {
        return connection;
    }
    tk_trace(2, "Got MySQL server version: %s", version_text);
    const std::optional<uint32_t> version = sql_parse_server_version(version_text);
    if (!version) {
        tk_trace(3, "Invalid MySQL version: %s", version_text);
        TK_FAIL();
    }
    connection.server_version_ = *version;
    tk_trace(1, "Hex version: %08X", *version);
    connection.supports_foreign_keys_ = sql_supports_foreign_keys(*version);
    if (sql_refuses_authentication(*version, password)) {
        throw sql_auth_not_supported_exception();
    }
    if (auto failure = run_optional(handle, "SET FOREIGN_KEY_CHECKS = 0")) {
        tk_trace(2, "Cannot turn off foreign key check: %s", failure->c_str());
    }
    if (auto failure = run_optional(handle, keep_stream_open)) {
        tk_trace(2, "Cannot raise net_write_timeout: %s", failure->c_str());
    }
    return connection;
}

bool sql_engine::is_db_exist(const std::wstring& name) {
    tk_trace_w(1, L"sql_engine::is_db_exist(%ls)", name.c_str());
    return mysql_select_db(handle(), tk_ucs2_to_utf8(name).c_str()) == 0;
}

std::unique_ptr<sql_database> sql_engine::open_db(const std::wstring& name, int mode) {
    tk_trace_w(2, L"sql_engine::open_db (%ls)", name.c_str());
    tk_trace_w(3, L"Opening MySQL database '%ls'", name.c_str());
    if (mysql_select_db(handle(), tk_ucs2_to_utf8(name).c_str()) != 0) {
        throw sql_exception(handle());
    }
    return std::make_unique<sql_database>(name, handle(), mode);
}

std::unique_ptr<sql_database> sql_engine::create_db(const std::wstring& name) {
    tk_trace_w(2, L"sql_engine::create_db (%ls)", name.c_str());
    TK_FAIL();
}

bool sql_engine::db_delete(const std::wstring& name) {
    tk_trace_w(2, L"sql_engine::db_delete (%ls)", name.c_str());
    TK_FAIL();
}

std::vector<std::wstring> sql_engine::get_contents() {
    tk_trace(2, "sql_engine::get_contents");
    sql_result result(handle(), mysql_list_dbs(handle(), nullptr));
    if (!result) {
        throw sql_exception(handle());
    }
    std::vector<std::wstring> names;
    while (const sql_row row = result.fetch()) {
        names.push_back(tk_utf8_to_ucs2(row.text(0)));
    }
    return names;
}

namespace {

constexpr int32_t mysql_identifier_length = 64;

std::unique_ptr<udb_validator> mysql_validator() {
    auto validator = std::make_unique<udb_validator>(mysql_identifier_length);
    validator->illegal_chars = {L'`'};
    return validator;
}

}  // namespace

std::unique_ptr<udb_validator> sql_engine::create_fn_validator() const {
    tk_trace(2, "sql_engine::create_fn_validator");
    return mysql_validator();
}

std::unique_ptr<udb_validator> sql_engine::create_in_validator() const {
    tk_trace(2, "sql_engine::create_in_validator");
    return mysql_validator();
}

namespace {

sql_engine* engine_or_fail() {
    return &sql_engine::instance();
}

}  // namespace

sql_exception::sql_exception() : sql_exception(engine_or_fail()->handle()) {}

sql_exception::sql_exception(MYSQL* handle)
    : sql_exception(mysql_errno(handle), mysql_error(handle)) {}

sql_exception::sql_exception(unsigned error_number, const std::string& text)
    : tk_exception(tk_utf8_to_ucs2(text), 0) {
    set_system_error(0x400000u | (error_number & 0xFFFFu));
    tk_trace(2, "sql_exception::sql_exception( msg=%s)", message().c_str());
    tk_trace(2, "Got MySQL error code=%d", code());
}

sql_auth_not_supported_exception::sql_auth_not_supported_exception()
    : tk_exception(
          "The program does not support authentication protocol requested by server. See "
          "'Troubleshooting' article of the product documentation.",
          1) {
    set_system_error(1);
}

#include "SQL/sql_engine.h"

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
    try {
        initialize();
    } catch (...) {
        // The base unregisters the instance when this constructor fails.
        close_handle();
        throw;
    }
}

sql_engine::~sql_engine() {
    tk_trace(2, "sql_engine::dtor");
    if (connected_) {
        if (auto failure = run_optional("SET FOREIGN_KEY_CHECKS = 1")) {
            tk_trace(2, "Cannot turn ON foreign key check: %s", failure->c_str());
        }
    }
    close_handle();
}

void sql_engine::initialize() {
    tk_trace(1, "sql_engine::initialize");
    if (mysql_init(&handle_) == nullptr) {
        TK_FAIL();
    }
    handle_open_ = true;
    tk_trace(1, "sql_engine::initialize - 1");
    mysql_options(&handle_, MYSQL_READ_DEFAULT_GROUP, option_group);
    tk_trace(1, "sql_engine::initialize - 2");
    mysql_options(&handle_, MYSQL_OPT_CONNECT_TIMEOUT, &connect_timeout_seconds);
    tk_trace(1, "sql_engine::initialize - END");
}

void sql_engine::close_handle() {
    if (handle_open_) {
        mysql_close(&handle_);
        handle_open_ = false;
    }
    connected_ = false;
}

std::optional<std::string> sql_engine::run_optional(const char* statement) {
    if (mysql_query(&handle_, statement) == 0) {
        return std::nullopt;
    }
    return std::string(mysql_error(&handle_));
}

void sql_engine::connect(const std::string& host, const std::string& user,
                         const std::string& password, unsigned port) {
    tk_trace(2, "sql_engine::connect(%s,%s,%s)", host.c_str(), user.c_str(), password.c_str());
    if (connected_) {
        tk_trace(2, "Connection was established already - disconnecting...");
    }
    // A closed handle, or one left behind by a refused connection, starts afresh with the two
    // client options.
    if (connected_ || connect_tried_) {
        close_handle();
        initialize();
    }
    connect_tried_ = true;
    tk_trace(3, "Connecting to MySQL server...");
    if (mysql_real_connect(&handle_, host.empty() ? nullptr : host.c_str(), user.c_str(),
                           password.c_str(), nullptr, port, nullptr, 0) == nullptr) {
        throw sql_exception(&handle_);
    }
    connected_ = true;
    server_version_ = 0;
    supports_foreign_keys_ = false;
    set_character_set();

    const char* version_text = mysql_get_server_info(&handle_);
    if (version_text == nullptr || *version_text == '\0') {
        return;
    }
    tk_trace(2, "Got MySQL server version: %s", version_text);
    const std::optional<uint32_t> version = sql_parse_server_version(version_text);
    if (!version) {
        tk_trace(3, "Invalid MySQL version: %s", version_text);
        TK_FAIL();
    }
    server_version_ = *version;
    tk_trace(1, "Hex version: %08X", server_version_);
    supports_foreign_keys_ = sql_supports_foreign_keys(server_version_);
    if (sql_refuses_authentication(server_version_, password)) {
        throw sql_auth_not_supported_exception();
    }
    if (auto failure = run_optional("SET FOREIGN_KEY_CHECKS = 0")) {
        tk_trace(2, "Cannot turn off foreign key check: %s", failure->c_str());
    }
    if (auto failure = run_optional(keep_stream_open)) {
        tk_trace(2, "Cannot raise net_write_timeout: %s", failure->c_str());
    }
}

// "SET NAMES UTF8" is the 3-byte character set, which turns every character outside the Basic
// Multilingual Plane into '?'; utf8mb4 carries them all. Servers before 5.5.3 refuse utf8mb4
// and get UTF8; servers before 4.1 refuse both and keep their own character set.
void sql_engine::set_character_set() {
    tk_trace(3, "Setting UTF-8 collation...");
    utf8mb4_ = !run_optional("SET NAMES utf8mb4").has_value();
    if (utf8mb4_) {
        return;
    }
    if (auto failure = run_optional("SET NAMES UTF8")) {
        tk_trace(3, "Failed");
        tk_trace(2, "Cannot set UTF-8 collation: %s", failure->c_str());
    }
}

bool sql_engine::is_db_exist(const std::wstring& name) {
    tk_trace_w(1, L"sql_engine::is_db_exist(%ls)", name.c_str());
    return mysql_select_db(&handle_, tk_ucs2_to_utf8(name).c_str()) == 0;
}

std::unique_ptr<sql_database> sql_engine::open_db(const std::wstring& name, int mode) {
    tk_trace_w(2, L"sql_engine::open_db (%ls)", name.c_str());
    tk_trace_w(3, L"Opening MySQL database '%ls'", name.c_str());
    if (mysql_select_db(&handle_, tk_ucs2_to_utf8(name).c_str()) != 0) {
        throw sql_exception(&handle_);
    }
    return std::make_unique<sql_database>(name, &handle_, mode);
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
    sql_result result(&handle_, mysql_list_dbs(&handle_, nullptr));
    if (!result) {
        throw sql_exception(&handle_);
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

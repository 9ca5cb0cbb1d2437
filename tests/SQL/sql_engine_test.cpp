// The connection engine against the real server: log-on failures and their codes, the
// character set, reconnecting, database lists and selection.
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "UDB/udb_names.h"

#include "sql_server_test.h"

namespace {

using sql_engine_test = sql_server_test;

std::wstring first_text(sql_database& database, const std::wstring& statement) {
    auto rows = database.read_all(statement);
    EXPECT_TRUE(rows && rows->size() == 1);
    return (*rows)[0][0].to_wstring();
}

TEST_F(sql_engine_test, connects_with_utf8mb4_and_foreign_key_checks_off) {
    EXPECT_TRUE(engine_->connected());
    EXPECT_TRUE(engine_->has_utf8mb4());
    EXPECT_GE(engine_->server_version(), 0x0A0000u);
    EXPECT_TRUE(engine_->supports_foreign_keys());
    auto database = open();
    EXPECT_EQ(first_text(*database, L"SELECT @@character_set_results"), L"utf8mb4");
    EXPECT_EQ(first_text(*database, L"SELECT @@foreign_key_checks"), L"0");
    // A character outside the Basic Multilingual Plane survives the round trip.
    EXPECT_EQ(first_text(*database, L"SELECT '\U0001F600 \u6f22'"), L"\U0001F600 \u6f22");
}

TEST_F(sql_engine_test, refused_log_ons_carry_the_server_error_code) {
    struct {
        const char* what;
        std::string password;
        unsigned port;
        int32_t code;
    } const cases[] = {
        {"wrong password", "not-the-password", server_.port, 0x400000 + 1045},
        // Connector/C reports a refused TCP connection as 2002; the engine gives it the number
        // that the MySQL client library uses, and the error map explains: 2003.
        {"nobody listening", server_.password, 1, 0x400000 + 2003},
    };
    for (const auto& c : cases) {
        try {
            engine_->connect(server_.host, server_.user, c.password, c.port);
            ADD_FAILURE() << c.what << ": connected";
        } catch (const sql_exception& e) {
            EXPECT_EQ(e.code(), c.code) << c.what << ": " << e.what();
            EXPECT_EQ(e.level(), 0) << c.what;
            EXPECT_FALSE(engine_->connected()) << c.what;
        }
    }
    // The handle left by a refused log-on connects again with its options restored.
    engine_->connect(server_.host, server_.user, server_.password, server_.port);
    EXPECT_TRUE(engine_->connected());
}

TEST_F(sql_engine_test, connecting_again_replaces_the_connection) {
    auto before = open();
    const std::wstring first_id = first_text(*before, L"SELECT CONNECTION_ID()");
    before.reset();
    engine_->connect(server_.host, server_.user, server_.password, server_.port);
    auto after = open();
    EXPECT_NE(first_text(*after, L"SELECT CONNECTION_ID()"), first_id);
    // The first session is gone from the server. The server ends a closed session on its own
    // thread, so on a busy machine it may take a moment to leave the process list.
    const std::string check = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " +
                              std::string(first_id.begin(), first_id.end());
    std::string sessions;
    for (int attempt = 0; attempt < 100; ++attempt) {
        ASSERT_EQ(mysql_query(admin_, check.c_str()), 0);
        MYSQL_RES* result = mysql_store_result(admin_);
        sessions = mysql_fetch_row(result)[0];
        mysql_free_result(result);
        if (sessions == "0")
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(sessions, "0");
}

TEST_F(sql_engine_test, lists_selects_and_opens_databases) {
    const std::vector<std::wstring> names = engine_->get_contents();
    EXPECT_NE(std::find(names.begin(), names.end(), wide_database()), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), L"mysql"), names.end());

    EXPECT_TRUE(engine_->is_db_exist(wide_database()));
    EXPECT_FALSE(engine_->is_db_exist(L"no_such_database_here"));
    try {
        engine_->open_db(L"no_such_database_here", 1);
        ADD_FAILURE() << "opened a missing database";
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.code(), 0x400000 + 1049);
    }
}

TEST_F(sql_engine_test, database_names_beyond_ascii) {
    const std::string name = database_ + "_\xC3\xA9t\xC3\xA9";  // "_été"
    admin("CREATE DATABASE `" + name + "`");
    admin("CREATE TABLE `" + name + "`.`caf\xC3\xA9` (id INT)");
    const std::wstring wide = wide_database() + L"_\u00e9t\u00e9";
    const std::vector<std::wstring> names = engine_->get_contents();
    EXPECT_NE(std::find(names.begin(), names.end(), wide), names.end());
    {
        auto database = engine_->open_db(wide, 1);
        ASSERT_EQ(database->tables.size(), 1u);
        EXPECT_EQ(database->tables[0], L"caf\u00e9");
    }
    admin("DROP DATABASE `" + name + "`");
}

TEST_F(sql_engine_test, write_side_is_refused) {
    EXPECT_THROW(engine_->create_db(L"x"), tk_mail_assertion);
    EXPECT_THROW(engine_->db_delete(L"x"), tk_mail_assertion);
    auto database = open();
    EXPECT_THROW(database->delete_tab(L"x"), tk_mail_assertion);
    EXPECT_THROW(database->create_table(L"x", udb_schema(), udb_indexes()), tk_mail_assertion);
    // The validators a MySQL destination would use: 64 characters, no backquote.
    auto fields = engine_->create_fn_validator();
    EXPECT_EQ(fields->get_safe_name(L"a`b"), L"a_b");
    EXPECT_EQ(fields->get_safe_name(std::wstring(70, L'x')), std::wstring(63, L'x'));
    EXPECT_FALSE(engine_->create_in_validator()->is_acceptable(L"k`1"));
}

TEST_F(sql_engine_test, one_engine_at_a_time) {
    EXPECT_THROW(sql_engine second, tk_mail_assertion);
    EXPECT_EQ(&sql_engine::instance(), engine_.get());
}

}  // namespace

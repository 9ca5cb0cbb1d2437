#include <gtest/gtest.h>

#include "TK/tk_exception.h"
#include "core/mysql_converter_impl.h"
#include "core/oracle_converter_impl.h"

namespace {

TEST(mysql_converter_impl, store_trims_blanks_and_defaults_the_port) {
    const struct {
        const char *host, *user, *password, *port;
        const char *stored_host, *stored_user, *stored_password, *stored_port;
    } rows[] = {
        {"  db1  ", " root ", " pw ", "   ", "db1", "root", "pw", "3306"},
        {"", "", "", "", "", "", "", "3306"},
        {"h", "u", "p", " 3307 ", "h", "u", "p", "3307"},
        {"\th\t", "u", "p", "3306", "\th\t", "u", "p", "3306"},  // tabs are not blanks
    };
    for (const auto& row : rows) {
        mysql_converter_impl mysql;
        mysql.store_mysql_settings(row.host, row.user, row.password, row.port);
        EXPECT_EQ(mysql.host, row.stored_host);
        EXPECT_EQ(mysql.user, row.stored_user);
        EXPECT_EQ(mysql.password, row.stored_password);
        EXPECT_EQ(mysql.port, row.stored_port);
    }
}

TEST(mysql_converter_impl, port_number_takes_the_leading_digits) {
    const struct {
        const char* port;
        unsigned number;  // 0: "Invalid port number"
    } rows[] = {
        {"3307", 3307}, {"3306x", 3306},   {"1", 1},  {"65535", 65535}, {"0", 0},
        {"", 0},        {"abc", 0},        {"-1", 0}, {" 3306", 0},     {"00", 0},
        {"65536", 0},   {"4294970602", 0},  // would wrap to 3306 in 32 bits
    };
    for (const auto& row : rows) {
        mysql_converter_impl mysql;
        mysql.port = row.port;
        if (row.number != 0) {
            EXPECT_EQ(mysql.port_number(), row.number) << row.port;
            continue;
        }
        try {
            mysql.port_number();
            ADD_FAILURE() << "accepted " << row.port;
        } catch (const tk_exception& e) {
            EXPECT_STREQ(e.what(), "Invalid port number");
            EXPECT_EQ(e.level(), 1);
        }
    }
}

TEST(mysql_converter_impl, construction_values) {
    mysql_converter_impl mysql;
    EXPECT_EQ(mysql.port, "3306");
    EXPECT_EQ(mysql.host, "");
    const mysql_dump_options& dump = mysql.dump_options;
    EXPECT_EQ((std::vector<bool>{dump.line_break, dump.new_version, dump.add_lock_to_insert,
                                 dump.insert_comments, dump.create_database, dump.create_table}),
              (std::vector<bool>{false, true, true, true, false, true}));
}

TEST(oracle_converter_impl, the_two_store_forms_leave_each_others_values) {
    oracle_converter_impl oracle;
    EXPECT_TRUE(oracle.use_tns);
    EXPECT_EQ(oracle.port, L"");
    oracle.store_oracle_settings(L"ORCL", L"scott", L"tiger");
    oracle.store_oracle_settings(L"10.0.0.5", L"system", L"manager", L"1522");
    EXPECT_TRUE(oracle.use_tns) << "the caller decides the connection kind";
    EXPECT_EQ(oracle.service_name, L"ORCL");
    EXPECT_EQ(oracle.host, L"10.0.0.5");
    EXPECT_EQ(oracle.port, L"1522");
    EXPECT_EQ(oracle.user, L"system");
    EXPECT_EQ(oracle.password, L"manager");
    oracle.store_oracle_settings(L"XE", L"u", L"p");
    EXPECT_EQ(oracle.host, L"10.0.0.5");
    EXPECT_EQ(oracle.service_name, L"XE");
}

}  // namespace

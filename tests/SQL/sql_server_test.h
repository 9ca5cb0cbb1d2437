// A test against the MariaDB sandbox: a database of its own (created before, dropped after),
// an administrative connection that prepares data without the code under test, and a
// connected sql_engine.
#pragma once

#include <gtest/gtest.h>
#include <mysql.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "SQL/sql_database.h"
#include "SQL/sql_engine.h"
#include "SQL/sql_recordset.h"
#include "test_support/mariadb_sandbox.h"

class sql_server_test : public ::testing::Test {
  protected:
    void SetUp() override {
        auto server = test_support::mariadb_sandbox::get();
        if (!server) {
            GTEST_SKIP() << "no MariaDB sandbox (run the suite through ctest)";
        }
        server_ = *server;
        admin_ = open_admin();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        database_ = "sqlt_" + std::to_string(getpid()) + "_" + std::to_string(++counter_) + "_" +
                    std::string(info->name()).substr(0, 30);
        admin("DROP DATABASE IF EXISTS `" + database_ + "`");
        admin("CREATE DATABASE `" + database_ + "` CHARACTER SET utf8mb4");
        admin("USE `" + database_ + "`");
        engine_ = std::make_unique<sql_engine>();
        engine_->connect(server_.host, server_.user, server_.password, server_.port);
    }

    void TearDown() override {
        engine_.reset();
        if (admin_ != nullptr) {
            admin("DROP DATABASE IF EXISTS `" + database_ + "`");
            mysql_close(admin_);
        }
    }

    MYSQL* open_admin() {
        MYSQL* handle = mysql_init(nullptr);
        EXPECT_NE(mysql_real_connect(handle, server_.host.c_str(), server_.user.c_str(),
                                     server_.password.c_str(), nullptr, server_.port, nullptr,
                                     CLIENT_MULTI_STATEMENTS),
                  nullptr)
            << mysql_error(handle);
        mysql_query(handle, "SET NAMES utf8mb4");
        return handle;
    }

    // Runs statements on the administrative connection (several may be separated by ';').
    void admin(const std::string& statements) {
        ASSERT_EQ(mysql_real_query(admin_, statements.data(), statements.size()), 0)
            << mysql_error(admin_) << "\n"
            << statements.substr(0, 300);
        do {
            if (MYSQL_RES* result = mysql_store_result(admin_)) {
                mysql_free_result(result);
            }
        } while (mysql_next_result(admin_) == 0);
    }

    std::wstring wide_database() const { return std::wstring(database_.begin(), database_.end()); }

    std::unique_ptr<sql_database> open() { return engine_->open_db(wide_database(), 1); }

    // Fills a new table with the rows (i, "row i") for i from 1 to n.
    void fill_numbered(const std::string& table, int rows) {
        admin("CREATE TABLE " + table +
              " (id INT NOT NULL PRIMARY KEY, label VARCHAR(20)) ENGINE=InnoDB");
        admin("INSERT INTO " + table + " SELECT seq, CONCAT('row ', seq) FROM seq_1_to_" +
              std::to_string(rows));
    }

    test_support::mariadb_sandbox server_;
    MYSQL* admin_ = nullptr;
    std::string database_;
    std::unique_ptr<sql_engine> engine_;

  private:
    static inline int counter_ = 0;
};

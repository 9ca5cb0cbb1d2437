// Keys and names a real Oracle server treats differently from MySQL: a unique key over nullable
// columns, an index key longer than Oracle allows, a column that can hold more bytes than a
// VARCHAR2, a table beside the name its neighbour's sequence would take. Every row arrives, and
// every key is kept or reported on the console, in the summary and in the exit status.
#include <gtest/gtest.h>

#include <fstream>

#include "e2e/checker.h"
#include "e2e/e2e_support.h"

namespace {

using driver_test::oralite_schema;
using driver_test::scratch_database;

const char keyed_tables[] =
    // MySQL keeps every one of these rows: a row with a NULL part takes no part in the key,
    // and '' beside NULL is a different key (Oracle stores both as NULL).
    "CREATE TABLE pairs (id INT PRIMARY KEY, a INT NULL, b VARCHAR(10) NULL,"
    " UNIQUE KEY ab (a, b));"
    "INSERT INTO pairs VALUES (1, 1, NULL), (2, 1, NULL), (3, NULL, NULL), (4, NULL, NULL),"
    " (5, 2, ''), (6, 2, NULL), (7, 3, 'x');"
    // The sequence of t would be named t_0 by default.
    "CREATE TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, v INT);"
    "INSERT INTO t (v) VALUES (1), (2);"
    "CREATE TABLE t_0 (id INT PRIMARY KEY, w INT);"
    "INSERT INTO t_0 VALUES (1, 10);"
    // A name a sequence of the Oracle schema already has.
    "CREATE TABLE taken (id INT PRIMARY KEY);"
    "INSERT INTO taken VALUES (1);"
    // 2000 euro signs are 6000 bytes of UTF-8, 1500 of latin1 4500; 1333 of latin1 and 4000
    // ASCII characters fit a VARCHAR2. An index over the column that became a CLOB is lost.
    "CREATE TABLE wide (id INT PRIMARY KEY, euro VARCHAR(2000), latin VARCHAR(1500) CHARACTER"
    " SET latin1, narrow VARCHAR(1333) CHARACTER SET latin1, plain VARCHAR(4000) CHARACTER SET"
    " ascii, KEY euro_prefix (euro(100)));"
    "INSERT INTO wide VALUES (1, REPEAT('\xE2\x82\xAC', 2000), REPEAT('\xE2\x82\xAC', 1500),"
    " REPEAT('\xE2\x82\xAC', 1333), REPEAT('z', 4000)), (2, '\xF0\x9F\x9A\x9A', 'a', 'b', 'c');"
    // Each column fits a VARCHAR2, the two together pass Oracle's key limit of an 8 KB block.
    "CREATE TABLE longkey (id INT PRIMARY KEY, p VARCHAR(1000), q VARCHAR(1000),"
    " KEY pq (p(300), q(300)));"
    "INSERT INTO longkey VALUES (1, REPEAT('p', 1000), REPEAT('\xF0\x9F\x9A\x9A', 1000));";

class key_conversion : public ::testing::Test {
  protected:
    void SetUp() override {
        server_ = test_support::mariadb_sandbox::get();
        if (!server_) {
            GTEST_SKIP() << "no MariaDB sandbox (run the suite through ctest)";
        }
        source_ = std::make_unique<scratch_database>(*server_, "e2e_keys");
        source_->session().exec(keyed_tables);
    }

    test_support::process_result convert(const oralite_schema& oracle) {
        return driver_test::run_agent(
            driver_test::agent_connection(*server_, source_->name(), oracle));
    }

    std::optional<test_support::mariadb_sandbox> server_;
    std::unique_ptr<scratch_database> source_;
};

TEST_F(key_conversion, every_row_arrives_and_every_key_is_kept_or_reported) {
    const oralite_schema oracle;
    // Objects an earlier migration or the application left: a sequence with a table's name, and
    // a table named DUAL that an unqualified "dual" in a trigger would read.
    ASSERT_EQ(oracle.sql({"CREATE SEQUENCE \"taken\"", "CREATE TABLE DUAL (DUMMY VARCHAR2(1))"})
                  .status,
              0);
    const auto run = convert(oracle);
    // Keys were lost: the run is not clean.
    EXPECT_EQ(run.status, 1) << run.out;

    e2e::checker_options options;
    options.table_names = {{"taken", "taken00000"}};
    const auto compared = e2e::compare_database(source_->session(), source_->name(), oracle,
                                                options);
    EXPECT_TRUE(compared.found.empty()) << e2e::joined(compared.found);
    EXPECT_TRUE(compared.rejected_rows.empty());
    for (const char* table : {"pairs", "t", "t_0", "wide", "longkey"}) {
        const auto structure =
            e2e::compare_structure(source_->session(), source_->name(), oracle, table, options);
        EXPECT_TRUE(structure.empty()) << table << "\n" << e2e::joined(structure);
    }

    // The unique key still refuses what MySQL refuses, and takes what MySQL takes.
    EXPECT_EQ(oracle.scalar("SELECT UNIQUENESS || ' ' || INDEX_TYPE FROM USER_INDEXES WHERE "
                            "INDEX_NAME = 'ab'"),
              "UNIQUE FUNCTION-BASED NORMAL");
    const auto duplicate =
        oracle.sql({"INSERT INTO \"pairs\" (\"id\", \"a\", \"b\") VALUES (8, 3, 'x')"});
    EXPECT_NE(duplicate.status, 0);
    EXPECT_NE(duplicate.err.find("ORA-00001"), std::string::npos) << duplicate.err;
    EXPECT_EQ(oracle.sql({"INSERT INTO \"pairs\" (\"id\", \"a\", \"b\") VALUES (9, 1, NULL)",
                          "COMMIT"})
                  .status,
              0);

    // t's sequence stepped aside for the table t_0; its trigger reads SYS.DUAL, not the
    // schema's DUAL, so new rows get keys after the copied ones.
    EXPECT_EQ(oracle.scalar("SELECT COUNT(*) FROM USER_SEQUENCES WHERE SEQUENCE_NAME = 't_0'"),
              "0");
    const auto keys = e2e::check_auto_increment(source_->session(), source_->name(), oracle, "t",
                                                options);
    EXPECT_TRUE(keys.empty()) << e2e::joined(keys);

    // The keys not made are errors of their tables, and in the summary.
    EXPECT_NE(run.out.find("longkey: The index \"pq\" was not created: ORA-01450: maximum key "
                           "length (6398) exceeded"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("wide: The index \"euro_prefix\" was not created: its column \"euro\" "
                           "became a CLOB, which Oracle cannot index."),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("keys not made as in MySQL: euro_prefix"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("keys not made as in MySQL: pq"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("taken -> taken00000"), std::string::npos) << run.out;
    // The key that leaves out rows with a NULL part is MySQL's own rule: nothing to report.
    EXPECT_EQ(run.out.find("\"ab\""), std::string::npos) << run.out;
}

// On a database of extended strings a VARCHAR2 holds 32767 bytes: the wide columns stay
// VARCHAR2 and their values arrive whole.
TEST_F(key_conversion, extended_strings_keep_wide_text_in_varchar2) {
    const oralite_schema oracle("CONV", "conv", {"--max_string_size", "extended"});
    oracle.admin({"GRANT SELECT ANY DICTIONARY TO CONV"});
    const auto run = convert(oracle);
    e2e::checker_options options;
    options.max_string_bytes = 32767;
    const auto compared =
        e2e::compare_rows(source_->session(), source_->name(), oracle, "wide", options);
    EXPECT_TRUE(compared.found.empty()) << e2e::joined(compared.found);
    EXPECT_EQ(oracle.scalar("SELECT DATA_TYPE || ' ' || CHAR_LENGTH FROM USER_TAB_COLUMNS WHERE "
                            "TABLE_NAME = 'wide' AND COLUMN_NAME = 'euro'"),
              "VARCHAR2 2000");
    // 2000 characters of four bytes are still more than an index key holds.
    EXPECT_NE(run.out.find("The index \"euro_prefix\" was not created: ORA-01450"),
              std::string::npos)
        << run.out;
}

}  // namespace

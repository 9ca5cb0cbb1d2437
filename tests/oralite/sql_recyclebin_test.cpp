// DROP TABLE moves a table into the recycle bin, as Oracle does: the name is free at once, the
// rows stay readable under the BIN$ name until PURGE, FLASHBACK TABLE brings them back.
#include <regex>

#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

class recyclebin_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ok("CREATE TABLE t (id NUMBER CONSTRAINT t_pk PRIMARY KEY, v VARCHAR2(5))");
        ok("CREATE INDEX t_v ON t (v)");
        ok("CREATE TRIGGER t_trg BEFORE INSERT ON t FOR EACH ROW BEGIN :new.v := 'trg'; END;");
        ok("INSERT INTO t (id) VALUES (1)");
        ok("COMMIT");
    }

    std::string bin_name(const std::string& original, const std::string& type) {
        return scott.scalar("SELECT object_name FROM user_recyclebin WHERE original_name = '" +
                            original + "' AND type = '" + type + "'");
    }
};

TEST_F(recyclebin_test, a_dropped_table_waits_in_the_recycle_bin_under_a_bin_name) {
    ok("DROP TABLE t");
    EXPECT_EQ(scott.rows("SELECT original_name, operation, type, can_undrop, ts_name FROM "
                         "user_recyclebin ORDER BY type, original_name"),
              (rows_t{{"T_PK", "DROP", "NORMAL INDEX", "NO", "USERS"},
                      {"T_V", "DROP", "NORMAL INDEX", "NO", "USERS"},
                      {"T", "DROP", "TABLE", "YES", "USERS"},
                      {"T_TRG", "DROP", "TRIGGER", "NO", "USERS"}}));
    std::string bin = bin_name("T", "TABLE");
    EXPECT_TRUE(std::regex_match(bin, std::regex(R"(BIN\$[A-Za-z0-9+/]{22}==\$0)"))) << bin;
    EXPECT_TRUE(
        std::regex_match(scott.scalar("SELECT droptime FROM user_recyclebin WHERE type = 'TABLE'"),
                         std::regex(R"(\d{4}-\d\d-\d\d:\d\d:\d\d:\d\d)")));
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM recyclebin"), (rows_t{{"4"}}));
    // Not a table of the user any more, but still an object, under its new name.
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_tables"), (rows_t{{"0"}}));
    EXPECT_EQ(scott.rows("SELECT object_type FROM user_objects WHERE object_name = '" + bin + "'"),
              (rows_t{{"TABLE"}}));
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_objects WHERE object_name LIKE 'T%'"),
              (rows_t{{"0"}}));
    // Readable, and nothing else.
    const std::string q = "\"" + bin + "\"";
    EXPECT_EQ(scott.rows("SELECT id, v FROM " + q), (rows_t{{"1", "trg"}}));
    for (const std::string& sql :
         {"INSERT INTO " + q + " (id) VALUES (2)", "UPDATE " + q + " SET v = 'x'",
          "DELETE FROM " + q, "DROP TABLE " + q, "ALTER TABLE " + q + " ADD (w NUMBER)",
          "CREATE INDEX t_x ON " + q + " (v)", "TRUNCATE TABLE " + q}) {
        EXPECT_EQ(ora(sql), 38301) << sql;
    }
    EXPECT_EQ(ora("INSERT INTO " + q + " (id) VALUES (2)"), 38301);
    EXPECT_EQ(scott.message(), "ORA-38301: can not perform DDL/DML over objects in Recycle Bin");
    // Every name is free at once: table, index, constraint, trigger.
    ok("CREATE TABLE t (id NUMBER CONSTRAINT t_pk PRIMARY KEY)");
    ok("CREATE INDEX t_v ON t (id + 1)");
    ok("CREATE TRIGGER t_trg BEFORE INSERT ON t FOR EACH ROW BEGIN NULL; END;");
    ok("INSERT INTO t VALUES (1)");
    // Other users see none of it.
    EXPECT_EQ(system_conn.rows("SELECT COUNT(*) FROM user_recyclebin"), (rows_t{{"0"}}));
    EXPECT_EQ(system_conn.rows("SELECT owner, original_name FROM dba_recyclebin WHERE type = "
                               "'TABLE'"),
              (rows_t{{"SCOTT", "T"}}));
}

TEST_F(recyclebin_test, flashback_brings_back_the_latest_and_purge_takes_the_oldest) {
    ok("DROP TABLE t");
    ok("CREATE TABLE t (id NUMBER, v VARCHAR2(5))");
    ok("INSERT INTO t VALUES (2, 'two')");
    ok("COMMIT");
    EXPECT_EQ(ora("FLASHBACK TABLE t TO BEFORE DROP"), 38312);
    EXPECT_EQ(scott.message(), "ORA-38312: original name is used by an existing object");
    ok("DROP TABLE t");
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_recyclebin WHERE type = 'TABLE'"),
              (rows_t{{"2"}}));
    // The latest drop comes back; its index keeps its recycle-bin name.
    ok("FLASHBACK TABLE t TO BEFORE DROP RENAME TO t_new");
    EXPECT_EQ(scott.rows("SELECT id, v FROM t_new"), (rows_t{{"2", "two"}}));
    ok("INSERT INTO t_new VALUES (3, 'x')");
    // PURGE takes the oldest of that name: the first table with its index and trigger.
    ok("PURGE TABLE t");
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_recyclebin"), (rows_t{{"0"}}));
    EXPECT_EQ(ora("FLASHBACK TABLE t TO BEFORE DROP"), 38305);
    EXPECT_EQ(scott.message(), "ORA-38305: object not in RECYCLE BIN");
    EXPECT_EQ(ora("PURGE TABLE t"), 38307);
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_objects WHERE object_name LIKE 'BIN$%'"),
              (rows_t{{"0"}}));
}

TEST_F(recyclebin_test, flashback_restores_a_table_by_its_bin_name_and_purges_empty_the_bin) {
    ok("DROP TABLE t");
    std::string bin = bin_name("T", "TABLE");
    ok("FLASHBACK TABLE \"" + bin + "\" TO BEFORE DROP");
    EXPECT_EQ(scott.rows("SELECT id, v FROM t"), (rows_t{{"1", "trg"}}));
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_recyclebin"), (rows_t{{"0"}}));
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_indexes WHERE index_name LIKE 'BIN$%'"),
              (rows_t{{"2"}}));
    // The restored table takes DML again, and its trigger fires.
    ok("INSERT INTO t (id) VALUES (2)");
    EXPECT_EQ(scott.rows("SELECT v FROM t WHERE id = 2"), (rows_t{{"trg"}}));
    ok("DROP TABLE t PURGE");
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_recyclebin"), (rows_t{{"0"}}));
    ok("CREATE TABLE a (n NUMBER)");
    ok("CREATE TABLE b (n NUMBER)");
    ok("DROP TABLE a");
    ok("DROP TABLE b");
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_recyclebin"), (rows_t{{"2"}}));
    ok("PURGE RECYCLEBIN");
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_recyclebin"), (rows_t{{"0"}}));
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_objects"), (rows_t{{"0"}}));
    EXPECT_EQ(ora("FLASHBACK TABLE a TO BEFORE DROP"), 38305);
}

}  // namespace
}  // namespace oralite_test

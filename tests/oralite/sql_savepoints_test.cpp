// SAVEPOINT and ROLLBACK TO as Oracle runs them: a rollback to a savepoint undoes only the
// work after it and keeps the transaction (and the savepoint) open; COMMIT, ROLLBACK and any
// DDL forget every savepoint; an unknown name is ORA-01086.
#include "oci_support.h"

namespace oralite_test {
namespace {

class savepoints_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ok("CREATE TABLE t (n NUMBER)");
    }
    std::string rows() {
        std::string out;
        for (const auto& r : scott.rows("SELECT n FROM t ORDER BY n")) out += r[0] + " ";
        return out;
    }
};

TEST_F(savepoints_test, rollback_to_undoes_only_the_work_after_the_savepoint) {
    struct step {
        std::string sql;
        int ora;
    };
    struct script {
        std::vector<step> steps;
        std::string expected;  // the rows seen afterwards, in the same session
    };
    const script scripts[] = {
        {{{"INSERT INTO t VALUES (1)", 0},
          {"SAVEPOINT a", 0},
          {"INSERT INTO t VALUES (2)", 0},
          {"ROLLBACK TO SAVEPOINT a", 0}},
         "1 "},
        // A savepoint set before any change returns to the start of the transaction.
        {{{"SAVEPOINT a", 0}, {"INSERT INTO t VALUES (1)", 0}, {"ROLLBACK TO a", 0}}, ""},
        // Rolling back to a keeps a valid, and forgets b set after it.
        {{{"INSERT INTO t VALUES (1)", 0},
          {"SAVEPOINT a", 0},
          {"INSERT INTO t VALUES (2)", 0},
          {"SAVEPOINT b", 0},
          {"INSERT INTO t VALUES (3)", 0},
          {"ROLLBACK TO a", 0},
          {"ROLLBACK TO b", 1086},
          {"INSERT INTO t VALUES (4)", 0},
          {"ROLLBACK WORK TO SAVEPOINT a", 0}},
         "1 "},
        // A name used again moves to the later point.
        {{{"INSERT INTO t VALUES (1)", 0},
          {"SAVEPOINT a", 0},
          {"INSERT INTO t VALUES (2)", 0},
          {"SAVEPOINT a", 0},
          {"INSERT INTO t VALUES (3)", 0},
          {"ROLLBACK TO a", 0}},
         "1 2 "},
        // COMMIT and ROLLBACK forget savepoints.
        {{{"SAVEPOINT a", 0}, {"COMMIT", 0}, {"ROLLBACK TO a", 1086}}, ""},
        {{{"INSERT INTO t VALUES (1)", 0},
          {"SAVEPOINT a", 0},
          {"ROLLBACK", 0},
          {"ROLLBACK TO a", 1086}},
         ""},
        // DDL commits and forgets them too.
        {{{"INSERT INTO t VALUES (1)", 0},
          {"SAVEPOINT a", 0},
          {"INSERT INTO t VALUES (2)", 0},
          {"CREATE TABLE u (x NUMBER)", 0},
          {"ROLLBACK TO a", 1086},
          {"ROLLBACK", 0}},
         "1 2 "},
        // A failed statement does not end the transaction or its savepoints.
        {{{"SAVEPOINT a", 0},
          {"INSERT INTO t VALUES ('x')", 1722},
          {"INSERT INTO t VALUES (5)", 0},
          {"ROLLBACK TO a", 0}},
         ""},
        {{{"ROLLBACK TO never_set", 1086}}, ""},
    };
    for (const script& sc : scripts) {
        for (const step& st : sc.steps) {
            EXPECT_EQ(ora(st.sql), st.ora) << st.sql << ": " << scott.message();
        }
        EXPECT_EQ(rows(), sc.expected) << sc.steps.front().sql;
        ok("ROLLBACK");
        ok("DELETE FROM t");
        ok("COMMIT");
    }
}

TEST_F(savepoints_test, unknown_savepoint_is_named_in_upper_case_unless_quoted) {
    EXPECT_EQ(ora("ROLLBACK TO sp1"), 1086);
    EXPECT_EQ(scott.message(),
              "ORA-01086: savepoint 'SP1' never established in this session or is invalid");
    EXPECT_EQ(ora("ROLLBACK TO \"sp1\""), 1086);
    EXPECT_EQ(scott.message(),
              "ORA-01086: savepoint 'sp1' never established in this session or is invalid");
}

TEST_F(savepoints_test, other_sessions_see_nothing_before_commit) {
    ok("INSERT INTO t VALUES (1)");
    ok("SAVEPOINT a");
    ok("INSERT INTO t VALUES (2)");
    ok("ROLLBACK TO a");
    oci_conn other;
    ASSERT_EQ(other.logon(path, "scott", "tiger"), OCI_SUCCESS);
    EXPECT_EQ(other.scalar("SELECT COUNT(*) FROM t"), "0");
    ok("COMMIT");
    EXPECT_EQ(other.scalar("SELECT COUNT(*) FROM t"), "1");
}

}  // namespace
}  // namespace oralite_test

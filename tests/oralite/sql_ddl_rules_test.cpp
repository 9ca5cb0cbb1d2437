// DDL that Oracle refuses, refused with Oracle's number and text: sequence options, trigger
// WHEN clauses, reserved column names, column changes over existing rows, name collisions and
// identifier lengths. Each case runs on a fresh table T (N NUMBER(5,2), S VARCHAR2(10)) that
// holds the rows (123.45, 'abcdefgh') and (NULL, NULL).
#include "oci_support.h"

namespace oralite_test {
namespace {

class ddl_rules_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ok("CREATE TABLE t (n NUMBER(5,2), s VARCHAR2(10))");
        ok("INSERT INTO t VALUES (123.45, 'abcdefgh')");
        ok("INSERT INTO t VALUES (NULL, NULL)");
        ok("COMMIT");
    }
};

struct refusal {
    std::string sql;
    int ora;
    std::string message;  // checked when not empty
};

void expect_refusals(oci_conn& c, const std::vector<refusal>& cases) {
    for (const refusal& r : cases) {
        EXPECT_EQ(c.code_of(r.sql), r.ora) << r.sql << "\n" << c.message();
        if (!r.message.empty()) {
            EXPECT_EQ(c.message(), r.message) << r.sql;
        }
    }
}

TEST_F(ddl_rules_test, sequence_options_must_be_integers_within_28_digits) {
    expect_refusals(
        scott,
        {
            {"CREATE SEQUENCE s1 START WITH 1.5", 4001,
             "ORA-04001: sequence parameter START WITH must be an integer"},
            {"CREATE SEQUENCE s1 MINVALUE 0.5", 4001,
             "ORA-04001: sequence parameter MINVALUE must be an integer"},
            {"CREATE SEQUENCE s1 MAXVALUE 99.9", 4001,
             "ORA-04001: sequence parameter MAXVALUE must be an integer"},
            {"CREATE SEQUENCE s1 CACHE 2.5", 4001,
             "ORA-04001: sequence parameter CACHE must be an integer"},
            {"CREATE SEQUENCE s1 INCREMENT BY 0", 4002,
             "ORA-04002: INCREMENT must be a non-zero integer"},
            {"CREATE SEQUENCE s1 INCREMENT BY 1.5", 4002, ""},
            // 29 digits; 10^28 itself is what generated DDL writes as MAXVALUE 1.0E28.
            {"CREATE SEQUENCE s1 MAXVALUE 10000000000000000000000000001", 4003,
             "ORA-04003: sequence parameter MAXVALUE exceeds maximum size allowed (28 digits)"},
            {"CREATE SEQUENCE s1 START WITH -10000000000000000000000000001 INCREMENT BY -1", 4003,
             ""},
            {"CREATE SEQUENCE s1 INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 NOCYCLE "
             "NOCACHE ORDER",
             0, ""},
            {"CREATE SEQUENCE s2 MINVALUE 1 MAXVALUE 10 INCREMENT BY 8", 0, ""},
            {"CREATE SEQUENCE s3 MINVALUE 1 MAXVALUE 10 INCREMENT BY 9", 4005,
             "ORA-04005: INCREMENT must be less than MAXVALUE minus MINVALUE"},
            // The default CACHE 20 is more than one cycle of 1..5.
            {"CREATE SEQUENCE s3 MINVALUE 1 MAXVALUE 5 CYCLE", 4013,
             "ORA-04013: number to CACHE must be less than one cycle"},
            {"CREATE SEQUENCE s3 MINVALUE 1 MAXVALUE 5 CYCLE CACHE 4", 4013, ""},
            {"CREATE SEQUENCE s3 MINVALUE 1 MAXVALUE 5 CYCLE CACHE 3", 0, ""},
            {"ALTER SEQUENCE s3 MAXVALUE 4", 4013, ""},
            {"ALTER SEQUENCE s3 INCREMENT BY 0", 4002, ""},
        });
    EXPECT_EQ(scott.scalar("SELECT max_value FROM user_sequences WHERE sequence_name = 'S1'"),
              "10000000000000000000000000000");
}

TEST_F(ddl_rules_test, trigger_when_names_rows_without_the_colon) {
    const std::string head = "CREATE TRIGGER trg BEFORE INSERT ON t FOR EACH ROW WHEN (";
    const std::string body = ") BEGIN :new.n := 1; END;";
    expect_refusals(scott, {
                               {head + ":new.n IS NULL" + body, 25000,
                                "ORA-25000: invalid use of bind variable in trigger WHEN clause"},
                               {head + "new.n IS NULL AND :x = 1" + body, 25000, ""},
                               {head + "new.n IS NULL" + body, 0, ""},
                           });
}

TEST_F(ddl_rules_test, the_upper_case_word_rowid_is_no_column_name) {
    expect_refusals(scott, {
                               {"CREATE TABLE r (\"ROWID\" NUMBER)", 904, ""},
                               {"CREATE TABLE r (rowid NUMBER)", 904, ""},
                               {"ALTER TABLE t ADD (\"ROWID\" NUMBER)", 904, ""},
                               {"ALTER TABLE t RENAME COLUMN s TO \"ROWID\"", 904, ""},
                               {"CREATE TABLE r (\"Rowid\" NUMBER, \"rowid\" NUMBER)", 0, ""},
                           });
    EXPECT_EQ(scott.rows("SELECT column_name FROM user_tab_columns WHERE table_name = 'R' "
                         "ORDER BY column_id"),
              (std::vector<std::vector<std::string>>{{"Rowid"}, {"rowid"}}));
}

TEST_F(ddl_rules_test, columns_shrink_only_over_values_that_fit) {
    ok("ALTER TABLE t ADD (small NUMBER(10), unset NUMBER(10), whole INTEGER)");
    ok("UPDATE t SET small = 5, whole = 7");
    expect_refusals(
        scott,
        {
            {"ALTER TABLE t MODIFY (n NUMBER(4,2))", 1440,
             "ORA-01440: column to be modified must be empty to decrease precision or scale"},
            {"ALTER TABLE t MODIFY (n NUMBER(5,1))", 1440, ""},
            // A NUMBER's precision or scale does not go down over any value, even one that fits.
            {"ALTER TABLE t MODIFY (small NUMBER(9))", 1440, ""},
            {"ALTER TABLE t MODIFY (whole NUMBER(20,0))", 1440, ""},
            {"ALTER TABLE t MODIFY (unset NUMBER(3))", 0, ""},
            {"ALTER TABLE t MODIFY (small NUMBER(12,2))", 0, ""},
            {"ALTER TABLE t MODIFY (s VARCHAR2(7))", 1441,
             "ORA-01441: cannot decrease column length because some value is too big"},
            {"ALTER TABLE t MODIFY (s VARCHAR2(8))", 0, ""},
            {"ALTER TABLE t MODIFY (n NUMBER(6,2))", 0, ""},
            {"ALTER TABLE t MODIFY (s NUMBER)", 1439, ""},
        });
}

TEST_F(ddl_rules_test, tables_and_sequences_share_one_namespace) {
    expect_refusals(scott, {
                               {"CREATE SEQUENCE t", 955,
                                "ORA-00955: name is already used by an existing object"},
                               {"CREATE SEQUENCE q", 0, ""},
                               {"CREATE TABLE q (x NUMBER)", 955, ""},
                               {"ALTER TABLE t RENAME TO q", 955, ""},
                               {"CREATE INDEX t_i ON t (n)", 0, ""},
                               {"CREATE INDEX t_i ON t (s)", 955, ""},
                           });
}

TEST_F(ddl_rules_test, identifiers_are_at_most_30_bytes) {
    const std::string name30(30, 'A');
    const std::string name31(31, 'A');
    // 15 two-byte letters are 30 bytes; one more is too long even quoted.
    std::string wide30, wide32;
    for (int i = 0; i < 15; ++i) wide30 += "\xC3\x84";
    wide32 = wide30 + "\xC3\x84";
    expect_refusals(scott, {
                               {"CREATE TABLE " + name30 + " (x NUMBER)", 0, ""},
                               {"CREATE TABLE " + name31 + " (x NUMBER)", 972,
                                "ORA-00972: identifier is too long"},
                               {"CREATE TABLE \"" + wide30 + "\" (x NUMBER)", 0, ""},
                               {"CREATE TABLE \"" + wide32 + "\" (x NUMBER)", 972, ""},
                               {"CREATE SEQUENCE " + name31, 972, ""},
                               {"ALTER TABLE t ADD (" + name31 + " NUMBER)", 972, ""},
                           });
}

}  // namespace
}  // namespace oralite_test

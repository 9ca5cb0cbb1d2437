// Unique keys as Oracle enforces them: a key whose parts are all NULL is left out, the others
// compare NULL equal to NULL; unique function-based indexes and how the dictionary shows them.
#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

struct insert_case {
    std::string values;
    int ora;  // 0: accepted
};

class unique_keys_test : public database_test {
  protected:
    void expect_inserts(const std::string& table, const std::vector<insert_case>& cases) {
        for (const insert_case& c : cases) {
            std::string sql = "INSERT INTO " + table + " VALUES " + c.values;
            EXPECT_EQ(ora(sql), c.ora) << sql << "\n" << scott.message();
        }
    }

    // Rows with NULL parts, in the order a careless implementation gets wrong.
    const std::vector<insert_case> composite_cases{
        {"(1, 'x')", 0},     {"(1, 'x')", 1},    {"(1, NULL)", 0},    {"(1, NULL)", 1},
        {"(NULL, 'x')", 0},  {"(NULL, 'x')", 1}, {"(NULL, NULL)", 0}, {"(NULL, NULL)", 0},
        {"(NULL, NULL)", 0}, {"(0, 'y')", 0},    {"(NULL, 'y')", 0},  {"(2, '')", 0},
        {"(2, NULL)", 1},    {"(1, 'X')", 0},    {"(-0, 'y')", 1},
    };
};

TEST_F(unique_keys_test, composite_unique_constraint_skips_only_all_null_keys) {
    ok("CREATE TABLE u (a NUMBER, b VARCHAR2(5), CONSTRAINT u_ab UNIQUE (a, b))");
    expect_inserts("u", composite_cases);
    EXPECT_EQ(ora("INSERT INTO u VALUES (1, NULL)"), 1);
    EXPECT_EQ(scott.message(), "ORA-00001: unique constraint (SCOTT.U_AB) violated");
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM u"), (rows_t{{"10"}}));
    // An UPDATE that makes a duplicate with NULL parts.
    EXPECT_EQ(ora("UPDATE u SET b = NULL WHERE a = 1 AND b = 'X'"), 1);
    ok("UPDATE u SET a = NULL WHERE a = 1 AND b = 'X'");
    // A single-column unique key takes any number of NULLs.
    ok("CREATE TABLE v (a NUMBER UNIQUE)");
    expect_inserts("v", {{"(NULL)", 0}, {"(NULL)", 0}, {"(5)", 0}, {"(5)", 1}});
}

TEST_F(unique_keys_test, composite_unique_index_and_later_constraints_follow_the_same_rule) {
    ok("CREATE TABLE u (a NUMBER, b VARCHAR2(5))");
    ok("CREATE UNIQUE INDEX u_ix ON u (a, b)");
    expect_inserts("u", composite_cases);
    EXPECT_EQ(ora("INSERT INTO u VALUES (1, NULL)"), 1);
    EXPECT_EQ(scott.message(), "ORA-00001: unique constraint (SCOTT.U_IX) violated");

    ok("CREATE TABLE w (a NUMBER, b DATE)");
    ok("INSERT INTO w VALUES (1, NULL)");
    ok("INSERT INTO w VALUES (1, NULL)");
    ok("INSERT INTO w VALUES (NULL, NULL)");
    ok("INSERT INTO w VALUES (NULL, NULL)");
    EXPECT_EQ(ora("ALTER TABLE w ADD CONSTRAINT w_ab UNIQUE (a, b)"), 2299);
    EXPECT_EQ(ora("CREATE UNIQUE INDEX w_ix ON w (b, a)"), 1452);
    ok("DELETE FROM w WHERE a = 1 AND ROWNUM = 1");
    ok("ALTER TABLE w ADD CONSTRAINT w_ab UNIQUE (a, b)");
    EXPECT_EQ(ora("INSERT INTO w VALUES (1, NULL)"), 1);
    ok("INSERT INTO w VALUES (NULL, NULL)");
    // The primary key's columns are never NULL, so its index is a plain one.
    ok("CREATE TABLE p (a NUMBER, b NUMBER, PRIMARY KEY (a, b))");
    EXPECT_EQ(ora("INSERT INTO p VALUES (1, NULL)"), 1400);
}

// The form the product creates for a MySQL unique key with nullable columns.
const char* k_product_index =
    "CREATE UNIQUE INDEX \"n\" ON \"t\" (CASE WHEN \"a\" IS NOT NULL AND \"b\" IS NOT NULL THEN "
    "\"a\" END, CASE WHEN \"a\" IS NOT NULL AND \"b\" IS NOT NULL THEN \"b\" END)";

TEST_F(unique_keys_test, unique_function_based_index_compares_only_complete_keys) {
    ok("CREATE TABLE \"t\" (\"id\" NUMBER, \"a\" NUMBER, \"b\" VARCHAR2(10))");
    ok(k_product_index);
    for (const char* values :
         {"(1, 1, 'x')", "(2, 1, NULL)", "(3, 1, NULL)", "(4, NULL, 'x')", "(5, NULL, 'x')",
          "(6, NULL, NULL)", "(7, NULL, NULL)", "(8, 1, 'y')", "(9, 2, 'x')"}) {
        ok(std::string("INSERT INTO \"t\" VALUES ") + values);
    }
    EXPECT_EQ(ora("INSERT INTO \"t\" VALUES (10, 1, 'x')"), 1);
    EXPECT_EQ(scott.message(), "ORA-00001: unique constraint (SCOTT.n) violated");
    EXPECT_EQ(ora("UPDATE \"t\" SET \"b\" = 'x' WHERE \"id\" = 8"), 1);
    ok("UPDATE \"t\" SET \"b\" = 'z' WHERE \"id\" = 2");
    EXPECT_EQ(ora("UPDATE \"t\" SET \"b\" = 'z' WHERE \"id\" = 3"), 1);
    // The index already exists over rows that break it.
    ok("CREATE TABLE \"t2\" (\"a\" NUMBER, \"b\" VARCHAR2(10))");
    ok("INSERT INTO \"t2\" VALUES (1, 'x')");
    ok("INSERT INTO \"t2\" VALUES (1, 'x')");
    EXPECT_EQ(ora("CREATE UNIQUE INDEX \"n2\" ON \"t2\" (CASE WHEN \"a\" IS NOT NULL AND \"b\" "
                  "IS NOT NULL THEN \"a\" END, CASE WHEN \"a\" IS NOT NULL AND \"b\" IS NOT NULL "
                  "THEN \"b\" END)"),
              1452);
}

TEST_F(unique_keys_test, function_based_index_reads_back_from_the_dictionary) {
    ok("CREATE TABLE \"t\" (\"id\" NUMBER, \"a\" NUMBER, \"b\" VARCHAR2(10))");
    ok(k_product_index);
    ok("CREATE INDEX t_up ON \"t\" (UPPER(\"b\"), \"id\" DESC, SUBSTR(\"b\", 1, 3) || 'k')");
    EXPECT_EQ(scott.rows("SELECT index_name, index_type, uniqueness FROM user_indexes "
                         "WHERE table_name = 't' ORDER BY index_name"),
              (rows_t{{"T_UP", "FUNCTION-BASED NORMAL", "NONUNIQUE"},
                      {"n", "FUNCTION-BASED NORMAL", "UNIQUE"}}));
    // Hidden columns are numbered after the table's three columns, across indexes.
    EXPECT_EQ(scott.rows("SELECT index_name, column_name, column_position, descend FROM "
                         "user_ind_columns WHERE table_name = 't' ORDER BY index_name, "
                         "column_position"),
              (rows_t{{"T_UP", "SYS_NC00006$", "1", "ASC"},
                      {"T_UP", "id", "2", "DESC"},
                      {"T_UP", "SYS_NC00007$", "3", "ASC"},
                      {"n", "SYS_NC00004$", "1", "ASC"},
                      {"n", "SYS_NC00005$", "2", "ASC"}}));
    EXPECT_EQ(
        scott.rows("SELECT index_name, table_name, column_expression, column_position "
                   "FROM user_ind_expressions ORDER BY index_name, column_position"),
        (rows_t{
            {"T_UP", "t", "UPPER(\"b\")", "1"},
            {"T_UP", "t", "SUBSTR(\"b\",1,3)||'k'", "3"},
            {"n", "t", "CASE  WHEN (\"a\" IS NOT NULL AND \"b\" IS NOT NULL) THEN \"a\" END", "1"},
            {"n", "t", "CASE  WHEN (\"a\" IS NOT NULL AND \"b\" IS NOT NULL) THEN \"b\" END",
             "2"}}));
    EXPECT_EQ(scott.rows("SELECT index_owner, table_owner, index_name FROM all_ind_expressions "
                         "WHERE column_position = 2"),
              (rows_t{{"SCOTT", "SCOTT", "n"}}));
    // COLUMN_EXPRESSION is a LONG.
    EXPECT_EQ(ora("SELECT index_name FROM user_ind_expressions WHERE column_expression LIKE "
                  "'CASE%'"),
              932);
    // A new session reads the index from the file.
    oci_conn again;
    ASSERT_EQ(again.logon(path, "scott", "tiger"), OCI_SUCCESS) << again.message();
    EXPECT_EQ(again.rows("SELECT COUNT(*) FROM user_ind_expressions"), (rows_t{{"4"}}));
    ok("INSERT INTO \"t\" VALUES (1, 1, 'x')");
    ok("COMMIT");
    EXPECT_EQ(again.code_of("INSERT INTO \"t\" VALUES (2, 1, 'x')"), 1);
    EXPECT_EQ(again.message(), "ORA-00001: unique constraint (SCOTT.n) violated");
    ok("DROP INDEX \"n\"");
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_ind_expressions"), (rows_t{{"2"}}));
    // A new hidden column never takes the name of one still in use.
    ok("CREATE INDEX t_low ON \"t\" (LOWER(\"b\"))");
    EXPECT_EQ(scott.rows("SELECT column_name FROM user_ind_columns WHERE index_name = 'T_LOW'"),
              (rows_t{{"SYS_NC00008$"}}));
}

TEST_F(unique_keys_test, function_based_index_expressions_are_checked) {
    ok("CREATE TABLE f (a NUMBER, b VARCHAR2(10), doc CLOB)");
    // Literals are part of the key: NVL makes every NULL the same value.
    ok("CREATE UNIQUE INDEX f_nvl ON f (NVL(b, 'none'))");
    ok("INSERT INTO f (a, b) VALUES (1, NULL)");
    EXPECT_EQ(ora("INSERT INTO f (a, b) VALUES (2, NULL)"), 1);
    EXPECT_EQ(ora("INSERT INTO f (a, b) VALUES (3, 'none')"), 1);
    ok("INSERT INTO f (a, b) VALUES (4, 'x')");
    EXPECT_EQ(ora("CREATE INDEX f_dup ON f (NVL(b, 'none'))"), 1408);
    EXPECT_EQ(ora("CREATE INDEX f_now ON f (a + SYSDATE)"), 1743);
    EXPECT_EQ(ora("CREATE INDEX f_user ON f (b || USER)"), 1743);
    EXPECT_EQ(ora("CREATE INDEX f_q ON f ((SELECT 1 FROM dual))"), 1743);
    EXPECT_EQ(ora("CREATE INDEX f_col ON f (UPPER(nosuch))"), 904);
    EXPECT_EQ(ora("CREATE INDEX f_agg ON f (MAX(a))"), 934);
    EXPECT_EQ(ora("CREATE INDEX f_lob ON f (TO_CLOB(b))"), 2327);
    // Dropping a column the expression reads drops the index.
    ok("ALTER TABLE f DROP COLUMN b");
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_indexes WHERE index_name = 'F_NVL'"),
              (rows_t{{"0"}}));
    ok("INSERT INTO f (a) VALUES (5)");
    ok("DROP TABLE f");
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM user_ind_expressions"), (rows_t{{"0"}}));
}

TEST_F(unique_keys_test, index_keys_fit_an_8k_block) {
    ok("CREATE TABLE k (c1 VARCHAR2(1000), c2 VARCHAR2(2000), c3 VARCHAR2(3000), "
       "c4 VARCHAR2(4000), h1 VARCHAR2(3198), h2 VARCHAR2(3198), h3 VARCHAR2(3199), "
       "w VARCHAR2(1000 CHAR), b1 VARCHAR2(2396), b2 VARCHAR2(2397), n1 NVARCHAR2(2000), "
       "n2 NVARCHAR2(1198), n3 NVARCHAR2(1199), num NUMBER, d DATE, r RAW(2000))");
    struct key_case {
        std::string columns;
        int ora;
    };
    // Each key counts its largest size in bytes plus one; 6398 is the most.
    const std::vector<key_case> cases{
        {"c1, c2, c3", 0}, {"c2, c3, c4", 1450}, {"c4, c3", 1450},    {"h1, h2", 0},
        {"h1, h3", 1450},  {"w, b1", 0},         {"w, b2", 1450},     {"n1, n2", 0},
        {"n1, n3", 1450},  {"num, d, c4", 0},    {"c4, r, c1", 1450}, {"UPPER(c4), c3", 1450},
    };
    int n = 0;
    for (const key_case& c : cases) {
        std::string sql = "CREATE INDEX k" + std::to_string(++n) + " ON k (" + c.columns + ")";
        EXPECT_EQ(ora(sql), c.ora) << sql << "\n" << scott.message();
    }
    EXPECT_EQ(ora("CREATE UNIQUE INDEX k_u ON k (c4, c3)"), 1450);
    EXPECT_EQ(scott.message(), "ORA-01450: maximum key length (6398) exceeded");
    EXPECT_EQ(ora("ALTER TABLE k ADD CONSTRAINT k_c UNIQUE (c3, c4)"), 1450);
    EXPECT_EQ(ora("CREATE TABLE k2 (a VARCHAR2(4000), b VARCHAR2(4000), PRIMARY KEY (a, b))"),
              1450);
    EXPECT_EQ(ora("SELECT COUNT(*) FROM k2"), 942);
}

}  // namespace
}  // namespace oralite_test

// Queries that Oracle answers differently from a plain SQL engine: grouped queries, what LOB
// and LONG values may take part in, ROWNUM, NEXTVAL and blank-padded CHAR comparison.
#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

class query_rules_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ok("CREATE TABLE t (n NUMBER, g VARCHAR2(5), c CHAR(5), doc CLOB, pic BLOB)");
        // Inserted out of order, so that a sort and a cut give different answers.
        ok("INSERT INTO t VALUES (3, 'x', 'ab', 'three', NULL)");
        ok("INSERT INTO t VALUES (1, 'y', 'ab', 'one', NULL)");
        ok("INSERT INTO t VALUES (4, 'x', 'b', NULL, NULL)");
        ok("INSERT INTO t VALUES (2, 'y', NULL, 'two', NULL)");
        ok("COMMIT");
    }
};

struct query_case {
    std::string sql;
    int ora;          // 0: the query runs and gives `expected`
    rows_t expected;  // checked when ora is 0
};

void expect_queries(oci_conn& c, const std::vector<query_case>& cases) {
    for (const query_case& q : cases) {
        if (q.ora != 0) {
            EXPECT_EQ(c.code_of(q.sql), q.ora) << q.sql << "\n" << c.message();
        } else {
            EXPECT_EQ(c.rows(q.sql), q.expected) << q.sql;
        }
    }
}

TEST_F(query_rules_test, grouped_queries_select_only_grouped_expressions_and_aggregates) {
    expect_queries(
        scott,
        {
            {"SELECT n, COUNT(*) FROM t", 937, {}},
            {"SELECT COUNT(*) FROM t ORDER BY n", 937, {}},
            {"SELECT g, n, COUNT(*) FROM t GROUP BY g", 979, {}},
            {"SELECT g, COUNT(*) FROM t GROUP BY g HAVING n > 1", 979, {}},
            {"SELECT g FROM t GROUP BY g ORDER BY n", 979, {}},
            {"SELECT * FROM t GROUP BY n", 979, {}},
            {"SELECT g, COUNT(*) FROM t GROUP BY g ORDER BY g", 0, {{"x", "2"}, {"y", "2"}}},
            {"SELECT t.g, MAX(n) FROM t GROUP BY g ORDER BY t.g", 0, {{"x", "4"}, {"y", "2"}}},
            {"SELECT n + 1, COUNT(*) FROM t GROUP BY n + 1 HAVING n + 1 > 4", 0, {{"5", "1"}}},
            {"SELECT UPPER(g), SUM(n) * 2 FROM t GROUP BY UPPER(g) ORDER BY 1",
             0,
             {{"X", "14"}, {"Y", "6"}}},
            // A column of an enclosing query is a constant for the grouped subquery.
            {"SELECT n FROM t o WHERE n = (SELECT MAX(n) FROM t i WHERE i.g = o.g) ORDER BY n",
             0,
             {{"2"}, {"4"}}},
            {"SELECT COUNT(*), 'k' FROM t", 0, {{"4", "k"}}},
            {"SELECT DISTINCT g FROM t ORDER BY n", 1791, {}},
            {"SELECT DISTINCT g FROM t ORDER BY g DESC", 0, {{"y"}, {"x"}}},
        });
}

TEST_F(query_rules_test, lobs_are_never_compared_grouped_or_ordered) {
    expect_queries(scott,
                   {
                       {"SELECT DISTINCT doc FROM t", 932, {}},
                       {"SELECT doc FROM t GROUP BY doc", 932, {}},
                       {"SELECT n FROM t ORDER BY doc", 932, {}},
                       {"SELECT doc FROM t UNION SELECT doc FROM t", 932, {}},
                       {"SELECT doc FROM t INTERSECT SELECT doc FROM t", 932, {}},
                       {"SELECT pic FROM t MINUS SELECT pic FROM t", 932, {}},
                       {"SELECT n FROM t WHERE doc = 'one'", 932, {}},
                       {"SELECT n FROM t WHERE doc IN ('one', 'two')", 932, {}},
                       {"SELECT MAX(doc) FROM t", 932, {}},
                       // What Oracle does allow over a CLOB.
                       {"SELECT n FROM t WHERE doc LIKE 't%' ORDER BY n", 0, {{"2"}, {"3"}}},
                       {"SELECT UPPER(doc) FROM t WHERE n = 1", 0, {{"ONE"}}},
                       {"SELECT COUNT(doc) FROM t", 0, {{"3"}}},
                       {"SELECT doc FROM t WHERE n = 1 UNION ALL SELECT doc FROM t WHERE n = 2",
                        0,
                        {{"one"}, {"two"}}},
                   });
    EXPECT_EQ(scott.code_of("SELECT DISTINCT doc FROM t"), 932);
    EXPECT_EQ(scott.message(), "ORA-00932: inconsistent datatypes: expected - got CLOB");
    EXPECT_EQ(scott.code_of("SELECT n FROM t WHERE pic = pic"), 932);
    EXPECT_EQ(scott.message(), "ORA-00932: inconsistent datatypes: expected - got BLOB");
}

TEST_F(query_rules_test, a_long_is_read_only_as_it_stands) {
    ok("ALTER TABLE t MODIFY (g DEFAULT 'zz')");
    const std::string from = " FROM user_tab_columns WHERE table_name = 'T'";
    expect_queries(scott,
                   {
                       {"SELECT column_name" + from + " AND data_default LIKE '%z%'", 932, {}},
                       {"SELECT UPPER(data_default)" + from, 932, {}},
                       {"SELECT data_default || 'x'" + from, 932, {}},
                       {"SELECT DISTINCT data_default" + from, 997, {}},
                       {"SELECT column_name" + from + " ORDER BY data_default", 997, {}},
                       {"SELECT data_default" + from + " AND column_name = 'G'", 0, {{"'zz'"}}},
                       {"SELECT column_name" + from + " AND data_default IS NOT NULL", 0, {{"G"}}},
                   });
    EXPECT_EQ(scott.code_of("SELECT UPPER(data_default)" + from), 932);
    EXPECT_EQ(scott.message(), "ORA-00932: inconsistent datatypes: expected CHAR got LONG");
}

TEST_F(query_rules_test, rownum_numbers_rows_before_grouping_distinct_and_ordering) {
    // Stored order: 3, 1, 4, 2.
    expect_queries(
        scott, {
                   {"SELECT n FROM t WHERE ROWNUM <= 2 ORDER BY n", 0, {{"1"}, {"3"}}},
                   {"SELECT n FROM t WHERE ROWNUM < 3 ORDER BY n * -1", 0, {{"3"}, {"1"}}},
                   {"SELECT n FROM t WHERE 2 >= ROWNUM ORDER BY 1 DESC", 0, {{"3"}, {"1"}}},
                   {"SELECT n FROM t WHERE n > 1 AND ROWNUM <= 2 ORDER BY n", 0, {{"3"}, {"4"}}},
                   {"SELECT COUNT(*), MAX(n) FROM t WHERE ROWNUM <= 3", 0, {{"3", "4"}}},
                   {"SELECT g, COUNT(*) FROM t WHERE ROWNUM <= 2 GROUP BY g ORDER BY g",
                    0,
                    {{"x", "1"}, {"y", "1"}}},
                   {"SELECT DISTINCT c FROM t WHERE ROWNUM <= 2", 0, {{"ab   "}}},
                   {"SELECT n FROM t WHERE ROWNUM = 1", 0, {{"3"}}},
                   // The first row is number 1, so these let no row through.
                   {"SELECT n FROM t WHERE ROWNUM > 1", 0, {}},
                   {"SELECT n FROM t WHERE ROWNUM = 2", 0, {}},
                   {"SELECT n FROM t WHERE ROWNUM >= 2", 0, {}},
                   {"SELECT n FROM t WHERE ROWNUM <= 0", 0, {}},
                   {"SELECT n FROM t WHERE ROWNUM > 0 ORDER BY n", 0, {{"1"}, {"2"}, {"3"}, {"4"}}},
                   {"SELECT n FROM t WHERE ROWNUM <> 3 ORDER BY n", 0, {{"1"}, {"3"}}},
                   // ROWIDs and LOB locators read through the window.
                   {"SELECT doc FROM t WHERE ROWNUM <= 1", 0, {{"three"}}},
                   {"SELECT COUNT(*) FROM t WHERE ROWID IN (SELECT ROWID FROM t WHERE ROWNUM <= 2)",
                    0,
                    {{"2"}}},
               });
}

TEST_F(query_rules_test, rownum_limits_the_rows_of_update_and_delete) {
    EXPECT_EQ(scott.exec("UPDATE t SET g = 'z' WHERE g = 'x' AND ROWNUM <= 1"), OCI_SUCCESS)
        << scott.message();
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM t WHERE g = 'z'"), "1");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM t WHERE g = 'x'"), "1");
    ok("DELETE FROM t WHERE ROWNUM <= 3");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM t"), "1");
    ok("DELETE FROM t WHERE ROWNUM > 1");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM t"), "1");
}

TEST_F(query_rules_test, nextval_advances_once_per_row_and_sequence) {
    ok("CREATE SEQUENCE s START WITH 10 INCREMENT BY 10");
    ok("CREATE SEQUENCE q START WITH 1");
    EXPECT_EQ(scott.code_of("SELECT s.CURRVAL FROM dual"), 8002);
    expect_queries(
        scott, {
                   {"SELECT s.NEXTVAL, s.NEXTVAL, s.CURRVAL FROM dual", 0, {{"10", "10", "10"}}},
                   // CURRVAL before NEXTVAL in the list gives the row's new value too.
                   {"SELECT s.CURRVAL, s.NEXTVAL + 1 FROM dual", 0, {{"20", "21"}}},
                   {"SELECT s.NEXTVAL, q.NEXTVAL, s.NEXTVAL * 2 FROM dual", 0, {{"30", "1", "60"}}},
                   // Stored order 3, 1, 4, 2: one value per row, in the order the rows come.
                   {"SELECT n, s.NEXTVAL, s.NEXTVAL FROM t",
                    0,
                    {{"3", "40", "40"}, {"1", "50", "50"}, {"4", "60", "60"}, {"2", "70", "70"}}},
                   {"SELECT s.CURRVAL FROM dual", 0, {{"70"}}},
                   // Where Oracle takes no sequence number.
                   {"SELECT n FROM t WHERE n = s.NEXTVAL", 2287, {}},
                   {"SELECT s.NEXTVAL FROM t ORDER BY n", 2287, {}},
                   {"SELECT DISTINCT s.NEXTVAL FROM t", 2287, {}},
                   {"SELECT g, s.NEXTVAL FROM t GROUP BY g", 2287, {}},
                   {"SELECT s.NEXTVAL FROM dual UNION ALL SELECT 1 FROM dual", 2287, {}},
                   {"SELECT (SELECT s.NEXTVAL FROM dual) FROM dual", 2287, {}},
                   {"SELECT n FROM (SELECT s.NEXTVAL n FROM dual)", 2287, {}},
                   // A failed query took no number.
                   {"SELECT s.CURRVAL FROM dual", 0, {{"70"}}},
               });
    ok("CREATE TABLE pair (a NUMBER, b NUMBER, c NUMBER)");
    ok("INSERT INTO pair VALUES (s.NEXTVAL, s.NEXTVAL, s.CURRVAL)");
    ok("INSERT INTO pair (a, b, c) SELECT s.NEXTVAL, s.NEXTVAL, n FROM t WHERE n < 3");
    EXPECT_EQ(scott.rows("SELECT a, b, c FROM pair ORDER BY a"),
              (rows_t{{"80", "80", "80"}, {"90", "90", "1"}, {"100", "100", "2"}}));
    // UPDATE: one value per updated row, whatever the order of the assignments.
    ok("UPDATE pair SET c = s.NEXTVAL, a = s.NEXTVAL, b = s.CURRVAL WHERE a >= 90");
    EXPECT_EQ(scott.rows("SELECT COUNT(*), COUNT(DISTINCT a), MIN(a), MAX(a) FROM pair "
                         "WHERE a = b AND b = c"),
              (rows_t{{"3", "3", "80", "120"}}));
    EXPECT_EQ(scott.code_of("UPDATE pair SET a = 1 WHERE b = s.NEXTVAL"), 2287);
}

// The number of rows a query finds with one text bind of the given OCI type.
int rows_with_text_bind(oci_conn& c, const std::string& sql, const std::string& value, ub2 type) {
    OCIStmt* stmt = c.prepare(sql);
    std::u16string v = u16(value);
    ub4 size = type == SQLT_STR ? bytes(v) + 2 : bytes(v);  // SQLT_STR counts its terminator
    OCIBind* b = nullptr;
    OCIBindByPos(stmt, &b, c.err, 1, v.data(), static_cast<sb4>(size), type, nullptr, nullptr,
                 nullptr, 0, nullptr, OCI_DEFAULT);
    int32_t n = 0;
    OCIDefine* d = nullptr;
    OCIDefineByPos(stmt, &d, c.err, 1, &n, sizeof n, SQLT_INT, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    int found = -1;
    sword rc = OCIStmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
    EXPECT_EQ(rc, OCI_SUCCESS) << sql << ": " << c.message();
    if (rc == OCI_SUCCESS) {
        found = 0;
        while (OCIStmtFetch(stmt, c.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT) == OCI_SUCCESS) ++found;
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    return found;
}

TEST_F(query_rules_test, char_values_compare_blank_padded_only_with_char_and_literals) {
    ok("CREATE TABLE cn (c CHAR(3), n NCHAR(6), v VARCHAR2(6))");
    ok("INSERT INTO cn VALUES ('ab', 'ab', 'ab')");
    // c holds 'ab   ' (CHAR(5)); rows 3 and 1 hold 'ab', row 4 'b'.
    expect_queries(scott,
                   {
                       {"SELECT n FROM t WHERE c = 'ab' ORDER BY n", 0, {{"1"}, {"3"}}},
                       {"SELECT n FROM t WHERE c = 'ab ' ORDER BY n", 0, {{"1"}, {"3"}}},
                       {"SELECT n FROM t WHERE c = 'ab      ' ORDER BY n", 0, {{"1"}, {"3"}}},
                       {"SELECT n FROM t WHERE 'ab' = c ORDER BY n", 0, {{"1"}, {"3"}}},
                       {"SELECT n FROM t WHERE c IN ('x', 'ab') ORDER BY n", 0, {{"1"}, {"3"}}},
                       {"SELECT n FROM t WHERE c <> 'ab' ORDER BY n", 0, {{"4"}}},
                       {"SELECT n FROM t WHERE c > 'ab' ORDER BY n", 0, {{"4"}}},
                       {"SELECT n FROM t WHERE c <= 'ab' ORDER BY n", 0, {{"1"}, {"3"}}},
                       {"SELECT n, CASE c WHEN 'ab' THEN 'y' ELSE 'n' END FROM t ORDER BY n",
                        0,
                        {{"1", "y"}, {"2", "n"}, {"3", "y"}, {"4", "n"}}},
                       {"SELECT COUNT(*) FROM dual WHERE 'a  ' = 'a'", 0, {{"1"}}},
                       // A VARCHAR2 on one side: compared as it stands.
                       {"SELECT n FROM t WHERE c = RTRIM(c)", 0, {}},
                       {"SELECT n FROM t WHERE c = RPAD('ab', 5) ORDER BY n", 0, {{"1"}, {"3"}}},
                       {"SELECT COUNT(*) FROM cn WHERE c = v", 0, {{"0"}}},
                       {"SELECT COUNT(*) FROM cn WHERE n = v", 0, {{"0"}}},
                       // CHAR against NCHAR of another length.
                       {"SELECT COUNT(*) FROM cn WHERE c = n", 0, {{"1"}}},
                       // LIKE never pads.
                       {"SELECT n FROM t WHERE c LIKE 'ab'", 0, {}},
                       {"SELECT n FROM t WHERE c LIKE 'ab%' ORDER BY n", 0, {{"1"}, {"3"}}},
                   });
    // A text bind is a VARCHAR2: 'ab' finds nothing, the padded value finds the rows.
    const std::string sql = "SELECT n FROM t WHERE c = :1";
    EXPECT_EQ(rows_with_text_bind(scott, sql, "ab", SQLT_CHR), 0);
    EXPECT_EQ(rows_with_text_bind(scott, sql, "ab", SQLT_STR), 0);
    EXPECT_EQ(rows_with_text_bind(scott, sql, "ab   ", SQLT_CHR), 2);
    EXPECT_EQ(rows_with_text_bind(scott, "SELECT n FROM t WHERE RTRIM(c) = :1", "ab", SQLT_CHR), 2);
}

}  // namespace
}  // namespace oralite_test

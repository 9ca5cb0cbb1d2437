// The queries a person writes to look at migrated data: joins, filters, ordering, grouping,
// subqueries, functions, sequences, pseudo-columns, UPDATE and DELETE.
#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

class queries_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ok("CREATE TABLE dept (id NUMBER(5) PRIMARY KEY, name VARCHAR2(20))");
        ok("CREATE TABLE emp (id NUMBER(5) PRIMARY KEY, name VARCHAR2(20), dept NUMBER(5), "
           "salary NUMBER(10,2), hired DATE, bonus NUMBER)");
        ok("INSERT INTO dept VALUES (1, 'Sales')");
        ok("INSERT INTO dept VALUES (2, 'Research')");
        ok("INSERT INTO dept VALUES (3, 'Empty')");
        ok("INSERT INTO emp VALUES (10, 'Ann', 1, 3000.5, to_date('2020-01-15', 'YYYY-MM-DD'), "
           "0.1)");
        ok("INSERT INTO emp VALUES (11, 'bob', 1, 2500, to_date('2021-06-01', 'YYYY-MM-DD'), "
           "NULL)");
        ok("INSERT INTO emp VALUES (12, 'Cy', 2, 4100.25, to_date('2019-03-31', 'YYYY-MM-DD'), 2)");
        ok("INSERT INTO emp VALUES (13, 'Dee', NULL, 900, NULL, 10)");
    }
};

TEST_F(queries_test, selections_joins_and_ordering) {
    struct row {
        std::string sql;
        rows_t expected;
    };
    const row rows[] = {
        {"SELECT name FROM emp WHERE salary > 2600 ORDER BY salary DESC", {{"Cy"}, {"Ann"}}},
        {"SELECT e.name, d.name dept FROM emp e, dept d WHERE e.dept = d.id AND d.name = 'Sales' "
         "ORDER BY e.name",
         {{"Ann", "Sales"}, {"bob", "Sales"}}},
        {"SELECT e.name, d.name FROM emp e LEFT JOIN dept d ON d.id = e.dept ORDER BY e.id",
         {{"Ann", "Sales"}, {"bob", "Sales"}, {"Cy", "Research"}, {"Dee", "<NULL>"}}},
        {"SELECT d.name, COUNT(e.id) FROM dept d LEFT OUTER JOIN emp e ON e.dept = d.id "
         "GROUP BY d.name ORDER BY 2 DESC, 1",
         {{"Sales", "2"}, {"Research", "1"}, {"Empty", "0"}}},
        {"SELECT dept, SUM(salary), AVG(salary), MIN(name), MAX(hired) FROM emp GROUP BY dept "
         "HAVING COUNT(*) > 1",
         {{"1", "5500.5", "2750.25", "Ann", "01-JUN-21"}}},
        // NULLs sort last ascending and first descending.
        {"SELECT name FROM emp ORDER BY dept", {{"Ann"}, {"bob"}, {"Cy"}, {"Dee"}}},
        {"SELECT name FROM emp ORDER BY dept DESC, name", {{"Dee"}, {"Cy"}, {"Ann"}, {"bob"}}},
        {"SELECT name FROM emp ORDER BY bonus NULLS FIRST", {{"bob"}, {"Ann"}, {"Cy"}, {"Dee"}}},
        // Numbers order by value, not by text.
        {"SELECT bonus FROM emp WHERE bonus IS NOT NULL ORDER BY bonus", {{".1"}, {"2"}, {"10"}}},
        {"SELECT name FROM emp WHERE name LIKE 'b%' OR name LIKE '_y'", {{"bob"}, {"Cy"}}},
        {"SELECT name FROM emp WHERE name LIKE 'B%'", {}},
        {"SELECT name FROM emp WHERE id IN (10, 13) AND NOT dept IS NOT NULL", {{"Dee"}}},
        {"SELECT name FROM emp WHERE salary BETWEEN 2500 AND 3000.5 ORDER BY 1",
         {{"Ann"}, {"bob"}}},
        {"SELECT name FROM emp WHERE dept = (SELECT id FROM dept WHERE name = 'Research')",
         {{"Cy"}}},
        {"SELECT name FROM emp WHERE dept IN (SELECT id FROM dept WHERE name LIKE 'S%') ORDER BY 1",
         {{"Ann"}, {"bob"}}},
        {"SELECT d.name FROM dept d WHERE NOT EXISTS (SELECT 1 FROM emp e WHERE e.dept = d.id)",
         {{"Empty"}}},
        {"SELECT COUNT(*) FROM (SELECT dept FROM emp GROUP BY dept)", {{"3"}}},
        {"SELECT x.n FROM (SELECT name n, salary s FROM emp) x WHERE x.s < 1000", {{"Dee"}}},
        // ROWNUM cuts before ORDER BY sorts: the first two rows stored, in descending order.
        {"SELECT * FROM dept WHERE ROWNUM <= 2 ORDER BY id DESC",
         {{"2", "Research"}, {"1", "Sales"}}},
        {"SELECT name FROM emp WHERE dept = 1 UNION SELECT name FROM dept ORDER BY 1",
         {{"Ann"}, {"Empty"}, {"Research"}, {"Sales"}, {"bob"}}},
        {"SELECT id FROM dept MINUS SELECT dept FROM emp", {{"3"}}},
        {"SELECT DISTINCT dept FROM emp ORDER BY dept", {{"1"}, {"2"}, {"<NULL>"}}},
    };
    for (const row& r : rows) {
        EXPECT_EQ(scott.rows(r.sql), r.expected) << r.sql;
    }
}

TEST_F(queries_test, functions_and_expressions) {
    struct row {
        std::string expr;
        std::string expected;
    };
    const row rows[] = {
        {"1 + 2 * 3", "7"},
        {"0.1 + 0.2", ".3"},
        {"10 / 4", "2.5"},
        {"1 / 3", ".3333333333333333333333333333333333333333"},
        {"-(2.5)", "-2.5"},
        {"'a' || NULL || 'b'", "ab"},
        {"'n=' || 0.5", "n=.5"},
        {"UPPER('grüße')", "GRÜßE"},
        {"LOWER('ÄB')", "äb"},
        {"INITCAP('hello wORLD')", "Hello World"},
        {"LENGTH('Grüße')", "5"},
        {"LENGTHB('Grüße')", "7"},
        {"SUBSTR('abcdef', 2, 3)", "bcd"},
        {"SUBSTR('abcdef', -2)", "ef"},
        {"INSTR('banana', 'an', 1, 2)", "4"},
        {"TRIM('  x  ')", "x"},
        {"LTRIM('xxaxx', 'x')", "axx"},
        {"REPLACE('a-b-c', '-', '+')", "a+b+c"},
        {"LPAD('7', 3, '0')", "007"},
        {"RPAD('ab', 4, '.')", "ab.."},
        // Padding past the longest VARCHAR2 is cut at 4000 bytes, on a character boundary,
        // instead of being built in full; a LOB may grow further.
        {"LENGTH(RPAD('x', 99999999999, 'y'))", "4000"},
        {"LENGTH(LPAD('é', 5000, 'é')) || '/' || LENGTHB(LPAD('é', 5000, 'é'))", "2000/4000"},
        {"LENGTHB(RPAD('x', 4001, 'é'))", "3999"},
        {"LENGTH(RPAD(TO_CLOB(RPAD('x', 4000, 'x')) || 'x', 9000, 'z'))", "9000"},
        // An empty LOB as the search text finds nothing (it used to search forever).
        {"REPLACE('abc', EMPTY_CLOB(), 'x')", "abc"},
        {"NVL(NULL, 'd')", "d"},
        {"NVL2(1, 'y', 'n')", "y"},
        {"COALESCE(NULL, NULL, 3)", "3"},
        {"DECODE(2, 1, 'one', 2, 'two', 'many')", "two"},
        {"DECODE(NULL, NULL, 'null matches', 'no')", "null matches"},
        {"CASE WHEN 1 > 2 THEN 'a' WHEN 2 > 1 THEN 'b' END", "b"},
        {"CASE 3 WHEN 1 THEN 'one' ELSE 'other' END", "other"},
        {"ROUND(2.567, 2)", "2.57"},
        {"ROUND(-2.5)", "-3"},
        {"TRUNC(2.567, 1)", "2.5"},
        {"MOD(17, 5)", "2"},
        {"ABS(-4)", "4"},
        {"CEIL(1.1)", "2"},
        {"FLOOR(-1.1)", "-2"},
        {"POWER(2, 10)", "1024"},
        {"GREATEST(3, 9, 4)", "9"},
        {"LEAST('b', 'a')", "a"},
        {"TO_CHAR(1234.5, 'FM9,999.00')", "1,234.50"},
        {"TO_CHAR(7, '000')", " 007"},
        {"TO_NUMBER('42.5') * 2", "85"},
        {"TO_CHAR(to_date('2024-02-28', 'YYYY-MM-DD') + 1, 'YYYY-MM-DD')", "2024-02-29"},
        {"to_date('2024-03-01', 'YYYY-MM-DD') - to_date('2024-02-01', 'YYYY-MM-DD')", "29"},
        {"TO_CHAR(ADD_MONTHS(to_date('2024-01-31', 'YYYY-MM-DD'), 1), 'YYYY-MM-DD')", "2024-02-29"},
        {"TO_CHAR(LAST_DAY(to_date('2023-02-10', 'YYYY-MM-DD')), 'DD')", "28"},
        {"EXTRACT(YEAR FROM to_date('2024-05-17', 'YYYY-MM-DD'))", "2024"},
        {"TO_CHAR(TRUNC(to_date('2024-05-17 13:00', 'YYYY-MM-DD HH24:MI'), 'MM'), 'YYYY-MM-DD "
         "HH24:MI')",
         "2024-05-01 00:00"},
        {"RAWTOHEX(HEXTORAW('0aff'))", "0AFF"},
        {"USER", "SCOTT"},
        {"CHR(65) || ASCII('B')", "A66"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(scott.scalar("SELECT " + r.expr + " FROM dual"), r.expected) << r.expr;
    }
    EXPECT_EQ(ora("SELECT 1 / 0 FROM dual"), 1476);
    EXPECT_EQ(ora("SELECT TO_NUMBER('x') FROM dual"), 1722);
    EXPECT_EQ(ora("SELECT NOSUCH(1) FROM dual"), 904);
    EXPECT_EQ(ora("SELECT SUBSTR('a') FROM dual"), 909);
    EXPECT_EQ(ora("SELECT name FROM emp WHERE COUNT(*) > 1"), 934);
    EXPECT_EQ(ora("SELECT id FROM emp, dept"), 918);
    // SYSDATE is today.
    std::string today = scott.scalar("SELECT TO_CHAR(SYSDATE, 'YYYY') FROM dual");
    EXPECT_EQ(today.size(), 4u);
    EXPECT_GE(std::atoi(today.c_str()), 2024);
}

TEST_F(queries_test, sequences_rowids_and_changes) {
    ok("CREATE SEQUENCE s START WITH 5 INCREMENT BY 5 MAXVALUE 15 NOCACHE");
    EXPECT_EQ(ora("SELECT s.currval FROM dual"), 8002);
    EXPECT_EQ(scott.scalar("SELECT s.nextval FROM dual"), "5");
    EXPECT_EQ(scott.scalar("SELECT s.nextval FROM dual"), "10");
    EXPECT_EQ(scott.scalar("SELECT s.currval FROM dual"), "10");
    EXPECT_EQ(scott.scalar("SELECT s.nextval FROM dual"), "15");
    EXPECT_EQ(ora("SELECT s.nextval FROM dual"), 8004);
    EXPECT_EQ(scott.rows("SELECT MIN_VALUE, MAX_VALUE, INCREMENT_BY, CYCLE_FLAG, CACHE_SIZE FROM "
                         "USER_SEQUENCES WHERE SEQUENCE_NAME = 'S'"),
              (rows_t{{"1", "15", "5", "N", "0"}}));
    ok("ALTER SEQUENCE s MAXVALUE 100 CYCLE CACHE 5");
    EXPECT_EQ(scott.scalar("SELECT s.nextval FROM dual"), "20");

    // ROWIDs: 18 characters, stable, usable in WHERE.
    std::string rowid = scott.scalar("SELECT ROWID FROM emp WHERE id = 12");
    ASSERT_EQ(rowid.size(), 18u);
    EXPECT_EQ(scott.scalar("SELECT name FROM emp WHERE ROWID = '" + rowid + "'"), "Cy");
    EXPECT_EQ(scott.scalar("SELECT e.name FROM emp e WHERE e.ROWID = '" + rowid + "'"), "Cy");
    std::string other_table = scott.scalar("SELECT ROWID FROM dept WHERE id = 1");
    EXPECT_EQ(scott.rows("SELECT name FROM emp WHERE ROWID = '" + other_table + "'"), rows_t{});
    EXPECT_EQ(ora("SELECT name FROM emp WHERE ROWID = 'garbage'"), 1410);

    // UPDATE and DELETE with Oracle's checks.
    ok("UPDATE emp SET salary = salary * 2, name = UPPER(name) WHERE dept = 1");
    EXPECT_EQ(scott.rows("SELECT name, salary FROM emp WHERE dept = 1 ORDER BY id"),
              (rows_t{{"ANN", "6001"}, {"BOB", "5000"}}));
    EXPECT_EQ(ora("UPDATE emp SET salary = 123456789 WHERE id = 10"), 1438);
    EXPECT_EQ(ora("UPDATE emp SET name = 'too long for twenty chars' WHERE id = 10"), 12899);
    EXPECT_EQ(ora("UPDATE emp SET id = NULL WHERE id = 10"), 1407);
    EXPECT_EQ(ora("UPDATE emp SET id = 11 WHERE id = 10"), 1);
    EXPECT_EQ(ora("UPDATE emp SET nothing = 1"), 904);
    ok("DELETE FROM emp WHERE salary < 1000");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM emp"), "3");
    ok("DELETE emp e WHERE e.dept = 2");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM emp"), "2");
    ok("INSERT INTO emp (id, name) SELECT id + 100, name FROM dept");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM emp"), "5");
    ok("CREATE TABLE copy AS SELECT id, name FROM dept WHERE id > 1");
    EXPECT_EQ(scott.rows("SELECT * FROM copy ORDER BY id"),
              (rows_t{{"2", "Research"}, {"3", "Empty"}}));
    ok("TRUNCATE TABLE copy");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM copy"), "0");
}

TEST_F(queries_test, huge_and_deeply_nested_texts_work_or_fail_cleanly) {
    std::string many;
    for (int i = 0; i < 5000; ++i) many += (i ? "," : "") + std::to_string(i);
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM emp WHERE id IN (" + many + ")"), "4");
    std::string conditions;
    for (int i = 0; i < 900; ++i) conditions += (i ? " AND " : "") + std::string("salary > 0");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM emp WHERE " + conditions), "4");
    EXPECT_EQ(
        ora("SELECT " + std::string(100000, '(') + "1" + std::string(100000, ')') + " FROM dual"),
        3001);
    std::string too_many;
    for (int i = 0; i < 2000; ++i) too_many += (i ? " OR " : "") + std::string("1 = 1");
    EXPECT_EQ(ora("SELECT 1 FROM dual WHERE " + too_many), 3001);
    EXPECT_EQ(ora("SELECT '" + std::string(4001, 'x') + "' FROM dual"), 1704);
}

TEST_F(queries_test, table_changes_keep_the_dictionary_right) {
    ok("ALTER TABLE emp ADD (note VARCHAR2(10) DEFAULT 'n/a' NOT NULL)");
    EXPECT_EQ(scott.scalar("SELECT note FROM emp WHERE id = 10"), "n/a");
    EXPECT_EQ(ora("ALTER TABLE emp ADD (note NUMBER)"), 1430);
    EXPECT_EQ(ora("ALTER TABLE emp ADD (strict NUMBER NOT NULL)"), 1758);
    ok("ALTER TABLE emp RENAME COLUMN note TO remark");
    EXPECT_EQ(scott.scalar("SELECT remark FROM emp WHERE id = 10"), "n/a");
    EXPECT_EQ(ora("ALTER TABLE emp MODIFY (name VARCHAR2(2))"), 1441);
    ok("ALTER TABLE emp MODIFY (name VARCHAR2(40))");
    EXPECT_EQ(ora("ALTER TABLE emp MODIFY (name NUMBER)"), 1439);
    ok("ALTER TABLE emp DROP COLUMN remark");
    EXPECT_EQ(scott.rows("SELECT COLUMN_NAME, COLUMN_ID, DATA_LENGTH FROM USER_TAB_COLUMNS WHERE "
                         "TABLE_NAME = 'EMP' AND COLUMN_ID >= 2 ORDER BY COLUMN_ID"),
              (rows_t{{"NAME", "2", "40"},
                      {"DEPT", "3", "22"},
                      {"SALARY", "4", "22"},
                      {"HIRED", "5", "7"},
                      {"BONUS", "6", "22"}}));
    ok("ALTER TABLE emp ADD CONSTRAINT emp_name_uq UNIQUE (name)");
    EXPECT_EQ(ora("INSERT INTO emp (id, name) VALUES (99, 'Ann')"), 1);
    EXPECT_EQ(scott.message(), "ORA-00001: unique constraint (SCOTT.EMP_NAME_UQ) violated");
    ok("INSERT INTO emp (id, name) VALUES (98, 'ann')");
    EXPECT_EQ(ora("ALTER TABLE dept ADD CONSTRAINT d_uq UNIQUE (name)"), 0);
    ok("INSERT INTO dept VALUES (4, 'Sales2')");
    EXPECT_EQ(ora("UPDATE dept SET name = 'Sales' WHERE id = 4"), 1);
    ok("ALTER TABLE dept DROP CONSTRAINT d_uq");
    ok("INSERT INTO dept VALUES (5, 'Sales')");
    EXPECT_EQ(ora("ALTER TABLE dept ADD CONSTRAINT d_uq2 UNIQUE (name)"), 2299);
    EXPECT_EQ(scott.message(), "ORA-02299: cannot validate (SCOTT.D_UQ2) - duplicate keys found");
    EXPECT_EQ(ora("CREATE UNIQUE INDEX d_ix ON dept (name)"), 1452);
    ok("ALTER TABLE emp RENAME TO staff");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM staff"), "5");
    ok("DROP TABLE staff CASCADE CONSTRAINTS");
    EXPECT_EQ(ora("SELECT * FROM staff"), 942);
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM USER_INDEXES WHERE TABLE_NAME = 'STAFF'"), "0");
}

}  // namespace
}  // namespace oralite_test

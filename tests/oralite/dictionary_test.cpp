// The data dictionary views: every one of them answers, shows the objects it should to the
// user who asks, and reports what Oracle reports.
#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

class dictionary_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ok("CREATE TABLE items (id NUMBER(11,0) CONSTRAINT items_pk PRIMARY KEY, "
           "name VARCHAR2(20 CHAR) NOT NULL, price NUMBER(9,2) DEFAULT 0, note CLOB, "
           "created TIMESTAMP(3))");
        ok("CREATE INDEX items_name ON items (name DESC)");
        ok("CREATE SEQUENCE items_seq");
        ok("CREATE TRIGGER items_trg BEFORE INSERT ON items FOR EACH ROW WHEN (new.id IS NULL) "
           "BEGIN :new.id := items_seq.nextval; END;");
        EXPECT_EQ(ora("CREATE TRIGGER items_bad BEFORE INSERT ON items FOR EACH ROW BEGIN "
                      ":new.nothing := 1; END;"),
                  -24344);
        ok(system_conn, "CREATE TABLE system_only (x NUMBER)");
    }
};

TEST_F(dictionary_test, every_view_answers_for_its_user) {
    struct row {
        const char* view;
        oci_conn* as;
        int code;
    };
    const char* families[] = {"TABLES",       "TAB_COLUMNS", "TAB_COLS",    "CONSTRAINTS",
                              "CONS_COLUMNS", "INDEXES",     "IND_COLUMNS", "SEQUENCES",
                              "TRIGGERS",     "OBJECTS",     "ERRORS"};
    for (const char* family : families) {
        for (const char* prefix : {"USER_", "ALL_"}) {
            std::string view = std::string(prefix) + family;
            EXPECT_EQ(ora("SELECT * FROM " + view), 0) << view << ": " << scott.message();
        }
        std::string dba = std::string("DBA_") + family;
        EXPECT_EQ(ora("SELECT * FROM " + dba), 942) << dba;
        EXPECT_EQ(ora(system_conn, "SELECT * FROM " + dba), 0)
            << dba << ": " << system_conn.message();
    }
    for (const char* view : {"USER_USERS", "ALL_USERS", "USER_SYS_PRIVS", "USER_ROLE_PRIVS",
                             "USER_TS_QUOTAS", "V$VERSION", "DUAL", "SYS.DUAL"}) {
        EXPECT_EQ(ora(std::string("SELECT * FROM ") + view), 0) << view << ": " << scott.message();
    }
    EXPECT_EQ(ora("SELECT * FROM DBA_USERS"), 942);
    // A schema's own objects only in USER_ views; everyone's in ALL_ views.
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = 'SYSTEM_ONLY'"),
              "0");
    EXPECT_EQ(scott.scalar("SELECT OWNER FROM ALL_TABLES WHERE TABLE_NAME = 'SYSTEM_ONLY'"),
              "SYSTEM");
}

TEST_F(dictionary_test, views_describe_the_objects_as_oracle_does) {
    EXPECT_EQ(scott.rows("SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, "
                         "NULLABLE, CHAR_LENGTH, CHAR_USED FROM USER_TAB_COLUMNS WHERE TABLE_NAME "
                         "= 'ITEMS' ORDER BY COLUMN_ID"),
              (rows_t{{"ID", "NUMBER", "22", "11", "0", "N", "0", "<NULL>"},
                      {"NAME", "VARCHAR2", "80", "<NULL>", "<NULL>", "N", "20", "C"},
                      {"PRICE", "NUMBER", "22", "9", "2", "Y", "0", "<NULL>"},
                      {"NOTE", "CLOB", "4000", "<NULL>", "<NULL>", "Y", "0", "<NULL>"},
                      {"CREATED", "TIMESTAMP(3)", "11", "<NULL>", "3", "Y", "0", "<NULL>"}}));
    EXPECT_EQ(scott.rows("SELECT CONSTRAINT_NAME, CONSTRAINT_TYPE, SEARCH_CONDITION, GENERATED, "
                         "INDEX_NAME FROM USER_CONSTRAINTS ORDER BY CONSTRAINT_TYPE"),
              (rows_t{{scott.scalar("SELECT CONSTRAINT_NAME FROM USER_CONSTRAINTS WHERE "
                                    "CONSTRAINT_TYPE = 'C'"),
                       "C", "\"NAME\" IS NOT NULL", "GENERATED NAME", "<NULL>"},
                      {"ITEMS_PK", "P", "<NULL>", "USER NAME", "ITEMS_PK"}}));
    EXPECT_EQ(scott
                  .scalar("SELECT CONSTRAINT_NAME FROM USER_CONSTRAINTS WHERE CONSTRAINT_TYPE = "
                          "'C'")
                  .rfind("SYS_C", 0),
              0u);
    EXPECT_EQ(scott.rows("SELECT INDEX_NAME, INDEX_TYPE, UNIQUENESS, GENERATED FROM USER_INDEXES "
                         "ORDER BY INDEX_TYPE, INDEX_NAME"),
              (rows_t{{scott.scalar("SELECT INDEX_NAME FROM USER_INDEXES WHERE INDEX_TYPE = 'LOB'"),
                       "LOB", "UNIQUE", "Y"},
                      {"ITEMS_NAME", "NORMAL", "NONUNIQUE", "N"},
                      {"ITEMS_PK", "NORMAL", "UNIQUE", "N"}}));
    EXPECT_EQ(scott.rows("SELECT COLUMN_NAME, COLUMN_POSITION, DESCEND FROM USER_IND_COLUMNS "
                         "WHERE INDEX_NAME = 'ITEMS_NAME'"),
              (rows_t{{"NAME", "1", "DESC"}}));
    EXPECT_EQ(
        scott.rows("SELECT SEQUENCE_NAME, MIN_VALUE, MAX_VALUE, INCREMENT_BY, CYCLE_FLAG, "
                   "ORDER_FLAG, CACHE_SIZE, LAST_NUMBER FROM USER_SEQUENCES"),
        (rows_t{{"ITEMS_SEQ", "1", "9999999999999999999999999999", "1", "N", "N", "20", "1"}}));
    EXPECT_EQ(scott.rows("SELECT TRIGGER_NAME, STATUS, WHEN_CLAUSE, TABLE_NAME, BASE_OBJECT_TYPE "
                         "FROM USER_TRIGGERS ORDER BY TRIGGER_NAME"),
              (rows_t{{"ITEMS_BAD", "ENABLED", "<NULL>", "ITEMS", "TABLE"},
                      {"ITEMS_TRG", "ENABLED", "new.id IS NULL", "ITEMS", "TABLE"}}));
    EXPECT_EQ(scott.rows("SELECT OBJECT_NAME, OBJECT_TYPE, STATUS FROM USER_OBJECTS ORDER BY "
                         "OBJECT_TYPE, OBJECT_NAME"),
              (rows_t{{"ITEMS_NAME", "INDEX", "VALID"},
                      {"ITEMS_PK", "INDEX", "VALID"},
                      {"ITEMS_SEQ", "SEQUENCE", "VALID"},
                      {"ITEMS", "TABLE", "VALID"},
                      {"ITEMS_BAD", "TRIGGER", "INVALID"},
                      {"ITEMS_TRG", "TRIGGER", "VALID"}}));
    EXPECT_EQ(
        scott.rows("SELECT NAME, TYPE, LINE, POSITION, TEXT FROM USER_ERRORS"),
        (rows_t{{"ITEMS_BAD", "TRIGGER", "1", "7", "PLS-00049: bad bind variable 'NEW.NOTHING'"}}));
    EXPECT_EQ(scott.rows("SELECT USERNAME, ACCOUNT_STATUS, DEFAULT_TABLESPACE FROM USER_USERS"),
              (rows_t{{"SCOTT", "OPEN", "USERS"}}));
    EXPECT_EQ(scott.rows("SELECT GRANTED_ROLE FROM USER_ROLE_PRIVS ORDER BY 1"),
              (rows_t{{"CONNECT"}, {"RESOURCE"}}));
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM V$VERSION"), "5");
}

}  // namespace
}  // namespace oralite_test

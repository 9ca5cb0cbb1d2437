// The statements of the Oracle destination, in the exact shapes it writes them, run through
// the OCI calls with the modes, defines and binds it uses.
#include <cstring>

#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

class product_flow_test : public database_test {
  protected:
    // The product's table: one column of every mapped type, an auto-increment key.
    void create_shop_table() {
        ok("CREATE TABLE \"orders\" (\"id\" NUMBER(11,0), \"qty\" NUMBER(5,0) DEFAULT 0 NOT NULL, "
           "\"price\" NUMBER(10,2), \"ratio\" NUMBER, \"name\" VARCHAR2(30) DEFAULT 'none', "
           "\"created\" DATE DEFAULT to_date('2001-02-03 04:05:06', 'YYYY-MM-DD HH24:MI:SS'), "
           "\"note\" CLOB, \"pic\" BLOB, \"code\" RAW(16), \"flag\" NUMBER(3,0))");
    }

    // ora_get_rowid::do_insert: RETURNING ROWID INTO :1 bound as a 512-byte SQLT_STR in
    // data-at-execute mode with the two callbacks; commit on success.
    struct rowid_buffer {
        char16_t text[256] = {};
        ub4 length = 512;
        int out_calls = 0;
        ub4 rows_returned = 0;
    };

    static sb4 no_data(void*, OCIBind*, ub4, ub4, void** bufpp, ub4* alenp, ub1* piecep,
                       void** indpp) {
        *bufpp = nullptr;
        *alenp = 0;
        *piecep = OCI_ONE_PIECE;
        *indpp = nullptr;
        return OCI_CONTINUE;
    }

    static sb4 get_data(void* ctx, OCIBind* bind, ub4, ub4 index, void** bufpp, ub4** alenpp,
                        ub1* piecep, void** indpp, ub2** rcodepp) {
        auto* b = static_cast<rowid_buffer*>(ctx);
        ++b->out_calls;
        if (index == 0) {
            OCIAttrGet(bind, OCI_HTYPE_BIND, &b->rows_returned, nullptr, OCI_ATTR_ROWS_RETURNED,
                       nullptr);
        }
        b->length = sizeof b->text;
        *bufpp = b->text;
        *alenpp = &b->length;
        *piecep = OCI_ONE_PIECE;
        *indpp = nullptr;
        *rcodepp = nullptr;
        return OCI_CONTINUE;
    }

    std::string insert_returning_rowid(const std::string& values_text) {
        std::string sql = "INSERT /*+ APPEND */ INTO \"orders\" VALUES(" + values_text +
                          ") RETURNING ROWID INTO :1";
        OCIStmt* stmt = scott.prepare(sql);
        OCIBind* bind = nullptr;
        std::u16string name = u16(":1");
        rowid_buffer out;
        EXPECT_EQ(OCIBindByName(stmt, &bind, scott.err, text(name), bytes(name), nullptr, 512,
                                SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DATA_AT_EXEC),
                  OCI_SUCCESS);
        EXPECT_EQ(OCIBindDynamic(bind, scott.err, nullptr, no_data, &out, get_data), OCI_SUCCESS);
        sword rc = OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr,
                                  OCI_COMMIT_ON_SUCCESS);
        EXPECT_EQ(rc, OCI_SUCCESS) << scott.message();
        EXPECT_EQ(out.out_calls, 1);
        EXPECT_EQ(out.rows_returned, 1u);
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        return u8(out.text);
    }
};

TEST_F(product_flow_test, ddl_of_a_table_with_sequence_trigger_and_indexes) {
    create_shop_table();
    // The sequence name is tried with _0, _1, ... until one is free.
    ok("CREATE SEQUENCE \"orders_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 "
       "NOCYCLE NOCACHE ORDER");
    EXPECT_EQ(ora("CREATE SEQUENCE \"orders_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 "
                  "MINVALUE 1 NOCYCLE NOCACHE ORDER"),
              955);
    ok("CREATE SEQUENCE \"orders_1\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 "
       "NOCYCLE NOCACHE ORDER");
    ok("ALTER TABLE \"orders\" ADD CONSTRAINT \"PRIMARY_0\" PRIMARY KEY (\"id\")");
    ok("ALTER TABLE \"orders\" ADD CONSTRAINT \"uq_name\" UNIQUE (\"name\", \"flag\")");
    ok("CREATE INDEX \"ix_price\" ON \"orders\" (\"price\")");
    // Errors the product ignores: the same column list indexed twice, a second unique key
    // equal to the primary key.
    EXPECT_EQ(ora("CREATE INDEX \"ix_again\" ON \"orders\" (\"id\")"), 1408);
    EXPECT_EQ(ora("ALTER TABLE \"orders\" ADD CONSTRAINT \"uq_id\" UNIQUE (\"id\")"), 2261);
    EXPECT_EQ(ora("ALTER TABLE \"orders\" ADD CONSTRAINT \"PK2\" PRIMARY KEY (\"qty\")"), 2260);

    EXPECT_EQ(scott.rows("select TABLE_NAME, IOT_TYPE from user_tables where TEMPORARY='N' and "
                         "NESTED='NO' and IOT_TYPE IS NULL OR IOT_TYPE='IOT'"),
              (rows_t{{"orders", "<NULL>"}}));
    EXPECT_EQ(scott.rows("SELECT a.constraint_name FROM user_cons_columns a, user_constraints b "
                         "WHERE a.constraint_name=b.constraint_name AND b.constraint_type='P'"),
              (rows_t{{"PRIMARY_0"}}));
    EXPECT_EQ(scott.rows("SELECT a.constraint_name, a.column_name FROM user_cons_columns a, "
                         "user_constraints b WHERE a.table_name='orders' AND "
                         "a.constraint_name=b.constraint_name AND b.constraint_type='P' ORDER BY "
                         "a.constraint_name, a.position"),
              (rows_t{{"PRIMARY_0", "id"}}));
    EXPECT_EQ(
        scott.rows("SELECT user_indexes.index_name, user_indexes.uniqueness, "
                   "user_ind_columns.column_name FROM user_ind_columns, user_indexes where "
                   "user_ind_columns.table_name = 'orders' AND user_indexes.generated='N' AND "
                   "user_ind_columns.index_name = user_indexes.index_name AND "
                   "user_ind_columns.table_name = user_indexes.table_name ORDER BY "
                   "user_indexes.index_name, user_ind_columns.column_position"),
        (rows_t{{"PRIMARY_0", "UNIQUE", "id"},
                {"ix_price", "NONUNIQUE", "price"},
                {"uq_name", "UNIQUE", "name"},
                {"uq_name", "UNIQUE", "flag"}}));
    // Every LOB column has its system-named LOB index, which only the unfiltered list shows.
    EXPECT_EQ(scott.scalar("select count(*) from user_indexes where generated='Y'"), "2");
    EXPECT_EQ(scott.scalar("select count(*) from USER_CONSTRAINTS where "
                           "R_CONSTRAINT_NAME='PRIMARY_0' and CONSTRAINT_TYPE='R'"),
              "0");
    EXPECT_EQ(scott.rows("SELECT COUNT(*) FROM USER_TAB_COLUMNS WHERE table_name = 'orders'"),
              (rows_t{{"10"}}));
    // DATA_DEFAULT keeps the text as written, trailing blank included.
    EXPECT_EQ(
        scott.rows("select COLUMN_NAME, DATA_DEFAULT, DATA_TYPE from USER_TAB_COLUMNS "
                   "where table_name = 'orders' and DATA_DEFAULT IS NOT NULL ORDER BY "
                   "COLUMN_ID"),
        (rows_t{{"qty", "0 ", "NUMBER"},
                {"name", "'none'", "VARCHAR2"},
                {"created", "to_date('2001-02-03 04:05:06', 'YYYY-MM-DD HH24:MI:SS')", "DATE"}}));
}

TEST_F(product_flow_test, trigger_fills_the_auto_increment_column) {
    ok("CREATE TABLE ORDERS (ID NUMBER(11,0), NAME VARCHAR2(10))");
    ok("CREATE SEQUENCE \"ORDERS_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 "
       "NOCYCLE NOCACHE ORDER");
    ok("CREATE OR REPLACE TRIGGER ORDERS__TRIGGER BEFORE INSERT ON ORDERS FOR EACH ROW WHEN "
       "(new.ID IS NULL) BEGIN select ORDERS_0.nextval into :new.ID from dual; END;");
    ok("INSERT INTO ORDERS (NAME) VALUES ('a')");
    ok("INSERT INTO ORDERS VALUES (NULL, 'b')");
    ok("INSERT INTO ORDERS VALUES (40, 'c')");
    EXPECT_EQ(scott.rows("SELECT ID, NAME FROM ORDERS ORDER BY NAME"),
              (rows_t{{"1", "a"}, {"2", "b"}, {"40", "c"}}));
    EXPECT_EQ(scott.rows("SELECT TRIGGER_NAME, TRIGGER_TYPE, TRIGGERING_EVENT, STATUS FROM "
                         "USER_TRIGGERS"),
              (rows_t{{"ORDERS__TRIGGER", "BEFORE EACH ROW", "INSERT", "ENABLED"}}));
    EXPECT_EQ(scott.scalar("SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = 'ORDERS__TRIGGER'"),
              "VALID");
    // CREATE OR REPLACE replaces; without OR REPLACE the name is taken.
    ok("CREATE OR REPLACE TRIGGER ORDERS__TRIGGER BEFORE INSERT ON ORDERS FOR EACH ROW WHEN "
       "(new.ID IS NULL) BEGIN :new.ID := ORDERS_0.nextval * 100; END;");
    ok("INSERT INTO ORDERS (NAME) VALUES ('d')");
    EXPECT_EQ(scott.scalar("SELECT ID FROM ORDERS WHERE NAME = 'd'"), "300");
    EXPECT_EQ(ora("CREATE TRIGGER ORDERS__TRIGGER BEFORE INSERT ON ORDERS FOR EACH ROW "
                  "BEGIN NULL; END;"),
              4081);
}

TEST_F(product_flow_test, unresolved_names_leave_the_trigger_invalid) {
    // A table made upper case with a lower-case column, as the product does without the
    // upper-case option: the trigger's unquoted names do not resolve.
    ok("CREATE TABLE \"ITEMS\" (\"id\" NUMBER(11,0), \"name\" VARCHAR2(10))");
    ok("CREATE SEQUENCE \"ITEMS_0\" INCREMENT BY 1 START WITH 1 MAXVALUE 1.0E28 MINVALUE 1 "
       "NOCYCLE NOCACHE ORDER");
    OCIStmt* stmt = scott.prepare(
        "CREATE OR REPLACE TRIGGER ITEMS__TRIGGER BEFORE INSERT ON ITEMS FOR EACH ROW WHEN "
        "(new.id IS NULL) BEGIN select ITEMS_0.nextval into :new.id from dual; END;");
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(scott.code(), 24344);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_EQ(scott.scalar("SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME='ITEMS__TRIGGER'"),
              "INVALID");
    EXPECT_NE(scott.scalar("SELECT TEXT FROM USER_ERRORS WHERE NAME = 'ITEMS__TRIGGER'")
                  .find("PLS-00049"),
              std::string::npos);
    EXPECT_EQ(ora("INSERT INTO \"ITEMS\" VALUES (1, 'x')"), 4098);
    EXPECT_EQ(scott.message(),
              "ORA-04098: trigger 'SCOTT.ITEMS__TRIGGER' is invalid and failed "
              "re-validation");
    // A trigger on a table name that does not resolve is not created at all.
    ok("CREATE TABLE \"lower\" (\"id\" NUMBER)");
    EXPECT_EQ(ora("CREATE OR REPLACE TRIGGER lower__TRIGGER BEFORE INSERT ON lower FOR EACH ROW "
                  "WHEN (new.id IS NULL) BEGIN select lower_0.nextval into :new.id from dual; "
                  "END;"),
              942);
    // Dropping the sequence of a valid trigger invalidates it.
    ok("CREATE TABLE T2 (ID NUMBER)");
    ok("CREATE SEQUENCE S2");
    ok("CREATE TRIGGER T2_TRG BEFORE INSERT ON T2 FOR EACH ROW BEGIN SELECT S2.NEXTVAL INTO "
       ":NEW.ID FROM DUAL; END;");
    ok("INSERT INTO T2 VALUES (NULL)");
    ok("DROP SEQUENCE S2");
    EXPECT_EQ(scott.scalar("SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME='T2_TRG'"),
              "INVALID");
    EXPECT_EQ(ora("INSERT INTO T2 VALUES (NULL)"), 4098);
    // ... and it revalidates when the sequence is back.
    ok("CREATE SEQUENCE S2 START WITH 7");
    ok("INSERT INTO T2 VALUES (NULL)");
    EXPECT_EQ(scott.rows("SELECT ID FROM T2 ORDER BY ID"), (rows_t{{"1"}, {"7"}}));
}

TEST_F(product_flow_test, insert_returns_rowid_and_lob_locators_write_the_values) {
    create_shop_table();
    std::string rowid = insert_returning_rowid(
        "1, 2, 3.5, 0.25, 'O''Brien', to_date('2024-05-17 13:45:09', 'YYYY-MM-DD HH24:MI:SS'), "
        "EMPTY_CLOB(), EMPTY_BLOB(), '0A0B', 1");
    ASSERT_EQ(rowid.size(), 18u) << rowid;

    // ora_lob_insert::insert: SELECT ... WHERE ROWID = '...' FOR UPDATE, locators defined.
    OCIStmt* stmt = scott.prepare("SELECT \"note\", \"pic\" FROM \"orders\" WHERE ROWID='" + rowid +
                                  "' FOR UPDATE");
    OCILobLocator* clob = nullptr;
    OCILobLocator* blob = nullptr;
    ASSERT_EQ(
        OCIDescriptorAlloc(scott.env, reinterpret_cast<void**>(&clob), OCI_DTYPE_LOB, 0, nullptr),
        OCI_SUCCESS);
    ASSERT_EQ(
        OCIDescriptorAlloc(scott.env, reinterpret_cast<void**>(&blob), OCI_DTYPE_LOB, 0, nullptr),
        OCI_SUCCESS);
    OCIDefine* d1 = nullptr;
    OCIDefine* d2 = nullptr;
    sb2 ind1 = 0, ind2 = 0;
    ASSERT_EQ(OCIDefineByPos(stmt, &d1, scott.err, 1, &clob, -1, SQLT_CLOB, &ind1, nullptr, nullptr,
                             OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(OCIDefineByPos(stmt, &d2, scott.err, 2, &blob, -1, SQLT_BLOB, &ind2, nullptr, nullptr,
                             OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << scott.message();
    EXPECT_EQ(ind1, 0);
    ub1 form = 9;
    EXPECT_EQ(OCILobCharSetForm(scott.env, scott.err, clob, &form), OCI_SUCCESS);
    EXPECT_EQ(form, SQLCS_IMPLICIT);
    std::u16string note = u16("Grüße 😀 text");
    ub4 amount = static_cast<ub4>(note.size());
    ASSERT_EQ(OCILobWrite(scott.svc, scott.err, clob, &amount, 1, note.data(), bytes(note),
                          OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              OCI_SUCCESS)
        << scott.message();
    EXPECT_EQ(amount, note.size());
    const unsigned char picture[] = {0x89, 'P', 'N', 'G', 0, 0xFF};
    amount = sizeof picture;
    ASSERT_EQ(
        OCILobWrite(scott.svc, scott.err, blob, &amount, 1, const_cast<unsigned char*>(picture),
                    sizeof picture, OCI_ONE_PIECE, nullptr, nullptr, 0, 0),
        OCI_SUCCESS)
        << scott.message();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    // The next record's INSERT commits the LOB writes.
    insert_returning_rowid("2, 1, NULL, NULL, NULL, NULL, EMPTY_CLOB(), EMPTY_BLOB(), NULL, NULL");

    oci_conn other;
    ASSERT_EQ(other.logon(path, "scott", "tiger"), OCI_SUCCESS);
    EXPECT_EQ(other.rows("SELECT \"id\", \"qty\", \"price\", \"ratio\", \"name\", "
                         "TO_CHAR(\"created\", 'YYYY-MM-DD HH24:MI:SS'), \"note\", "
                         "RAWTOHEX(\"pic\"), \"code\", \"flag\" FROM \"orders\" ORDER BY \"id\""),
              (rows_t{{"1", "2", "3.5", ".25", "O'Brien", "2024-05-17 13:45:09", "Grüße 😀 text",
                       "89504E4700FF", "0A0B", "1"},
                      // An empty CLOB is not NULL; an empty BLOB as RAW is.
                      {"2", "1", "<NULL>", "<NULL>", "<NULL>", "<NULL>", "", "<NULL>", "<NULL>",
                       "<NULL>"}}));
    OCIDescriptorFree(clob, OCI_DTYPE_LOB);
    OCIDescriptorFree(blob, OCI_DTYPE_LOB);
}

TEST_F(product_flow_test, record_count_and_version_come_with_the_execute) {
    create_shop_table();
    ok("INSERT INTO \"orders\" (\"id\", \"qty\") VALUES (1, 1)");
    ok("INSERT INTO \"orders\" (\"id\", \"qty\") VALUES (2, 1)");
    // ora_engine::get_records_cnt: a 4-byte integer define, one iteration.
    for (const std::string& sql : {std::string("SELECT COUNT(*) FROM \"orders\""),
                                   std::string("SELECT COUNT(*) FROM (select * from \"orders\" "
                                               "where \"id\" > 1)")}) {
        OCIStmt* stmt = scott.prepare(sql);
        int32_t count = -1;
        OCIDefine* def = nullptr;
        ASSERT_EQ(OCIDefineByPos(stmt, &def, scott.err, 1, &count, sizeof count, SQLT_INT, nullptr,
                                 nullptr, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS);
        ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS)
            << scott.message();
        EXPECT_EQ(count, sql.find("where") == std::string::npos ? 2 : 1);
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
    }
    // ora_engine::get_version: select * from v$version into a 128 KiB string buffer.
    OCIStmt* stmt = scott.prepare("select * from v$version");
    std::vector<char16_t> banner(65536);
    OCIDefine* def = nullptr;
    ASSERT_EQ(OCIDefineByPos(stmt, &def, scott.err, 1, banner.data(), 131072, SQLT_STR, nullptr,
                             nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    EXPECT_EQ(u8(banner.data()),
              "Oracle Database 11g Enterprise Edition Release 11.2.0.2.0 - 64bit Production");
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    // A query without rows executed with one iteration says OCI_NO_DATA.
    stmt = scott.prepare("SELECT \"id\" FROM \"orders\" WHERE \"id\" > 100");
    int32_t id = 0;
    sb2 ind = 0;
    OCIDefineByPos(stmt, &def, scott.err, 1, &id, sizeof id, SQLT_INT, &ind, nullptr, nullptr,
                   OCI_DEFAULT);
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_NO_DATA);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

struct describe_row {
    const char* ddl;
    ub2 type;
    ub2 size;
    sb2 precision;
    sb1 scale;
    ub1 nullable;
};

TEST_F(product_flow_test, described_columns_report_oracle_attributes) {
    const describe_row rows[] = {
        {"NUMBER", 2, 22, 0, -127, 1},
        {"NUMBER(9,2)", 2, 22, 9, 2, 1},
        {"NUMBER(11,0) NOT NULL", 2, 22, 11, 0, 0},
        {"NUMBER(5)", 2, 22, 5, 0, 1},
        {"INTEGER", 2, 22, 38, 0, 1},
        {"FLOAT", 2, 22, 126, -127, 1},
        {"VARCHAR2(30)", 1, 30, 0, 0, 1},
        {"VARCHAR2(10 CHAR)", 1, 40, 0, 0, 1},
        {"NVARCHAR2(10)", 1, 20, 0, 0, 1},
        {"CHAR(3)", 96, 3, 0, 0, 1},
        {"DATE", 12, 7, 0, 0, 1},
        {"TIMESTAMP", 187, 11, 0, 6, 1},
        {"TIMESTAMP(3)", 187, 11, 0, 3, 1},
        {"CLOB", 112, 4000, 0, 0, 1},
        {"BLOB", 113, 4000, 0, 0, 1},
        {"RAW(16)", 23, 16, 0, 0, 1},
        {"LONG", 8, 0, 0, 0, 1},
    };
    std::string ddl = "CREATE TABLE d (";
    for (size_t i = 0; i < std::size(rows); ++i) {
        ddl += (i ? ", c" : "c") + std::to_string(i) + " " + rows[i].ddl;
    }
    ok(ddl + ")");
    OCIStmt* stmt = scott.prepare("SELECT * FROM \"D\"");
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 0, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    ub4 count = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, scott.err);
    ASSERT_EQ(count, std::size(rows));
    for (ub4 i = 0; i < count; ++i) {
        OCIParam* p = nullptr;
        ASSERT_EQ(OCIParamGet(stmt, OCI_HTYPE_STMT, scott.err, reinterpret_cast<void**>(&p), i + 1),
                  OCI_SUCCESS);
        ub2 type = 0, size = 0;
        sb2 precision = -1;
        sb1 scale = -1;
        ub1 nullable = 9;
        OraText* name = nullptr;
        ub4 name_len = 0;
        OCIAttrGet(p, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, scott.err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &size, nullptr, OCI_ATTR_DATA_SIZE, scott.err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, scott.err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, scott.err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, scott.err);
        OCIAttrGet(p, OCI_DTYPE_PARAM, &name, &name_len, OCI_ATTR_NAME, scott.err);
        const describe_row& r = rows[i];
        EXPECT_EQ(type, r.type) << r.ddl;
        EXPECT_EQ(size, r.size) << r.ddl;
        EXPECT_EQ(precision, r.precision) << r.ddl;
        EXPECT_EQ(scale, r.scale) << r.ddl;
        EXPECT_EQ(nullable, r.nullable) << r.ddl;
        EXPECT_EQ(u8(std::u16string(reinterpret_cast<char16_t*>(name), name_len / 2)),
                  "C" + std::to_string(i));
        OCIDescriptorFree(p, OCI_DTYPE_PARAM);
    }
    EXPECT_EQ(OCIParamGet(stmt, OCI_HTYPE_STMT, scott.err, reinterpret_cast<void**>(&stmt), 99),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 24334);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(product_flow_test, dates_define_as_seven_bytes) {
    ok("CREATE TABLE d (a DATE, b TIMESTAMP)");
    ok("INSERT INTO d VALUES (to_date('2010-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS'), "
       "to_timestamp('2010-01-02 03:04:05.25', 'YYYY-MM-DD HH24:MI:SS.FF'))");
    OCIStmt* stmt = scott.prepare("SELECT a, b FROM d");
    unsigned char a[7] = {}, b[7] = {};
    OCIDefine* def = nullptr;
    OCIDefineByPos(stmt, &def, scott.err, 1, a, 7, SQLT_DAT, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    OCIDefineByPos(stmt, &def, scott.err, 2, b, 7, SQLT_DAT, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << scott.message();
    const unsigned char expected[] = {120, 110, 1, 2, 4, 5, 6};
    EXPECT_EQ(std::memcmp(a, expected, 7), 0);
    EXPECT_EQ(std::memcmp(b, expected, 7), 0);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(product_flow_test, not_null_is_dropped_with_modify_but_not_from_a_key) {
    ok("CREATE TABLE \"t\" (\"id\" NUMBER(11,0) NOT NULL, \"s\" VARCHAR2(10) DEFAULT 'a' NOT "
       "NULL)");
    ok("ALTER TABLE \"t\" ADD CONSTRAINT \"pk\" PRIMARY KEY (\"id\")");
    EXPECT_EQ(ora("INSERT INTO \"t\" VALUES (1, NULL)"), 1400);
    EXPECT_EQ(scott.message(), "ORA-01400: cannot insert NULL into (\"SCOTT\".\"t\".\"s\")");
    // ora_table::reset_not_null_flag
    ASSERT_EQ(scott.exec("ALTER TABLE \"t\" MODIFY \"s\" VARCHAR2(10) DEFAULT 'a' NULL",
                         OCI_COMMIT_ON_SUCCESS),
              OCI_SUCCESS)
        << scott.message();
    ok("INSERT INTO \"t\" VALUES (1, '')");
    EXPECT_EQ(scott.rows("SELECT NULLABLE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 't' ORDER BY "
                         "COLUMN_ID"),
              (rows_t{{"N"}, {"Y"}}));
    // A key column cannot become nullable.
    EXPECT_EQ(ora("ALTER TABLE \"t\" MODIFY \"id\" NUMBER(11,0) NULL"), 1451);
    EXPECT_EQ(ora("ALTER TABLE \"t\" MODIFY \"s\" VARCHAR2(10) NULL"), 1451);
}

TEST_F(product_flow_test, parse_only_checks_without_running) {
    ok("CREATE TABLE t (n NUMBER)");
    EXPECT_EQ(ora(scott, "SELECT n FROM t WHERE n > 1", OCI_PARSE_ONLY), 0);
    EXPECT_EQ(ora(scott, "INSERT INTO t VALUES (1)", OCI_PARSE_ONLY), 0);
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM t"), "0");
    EXPECT_EQ(ora(scott, "SELECT n FROM nowhere", OCI_PARSE_ONLY), 942);
    OCIStmt* stmt = scott.prepare("SELECT n FROM t WHERE");
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 0, 0, nullptr, nullptr, OCI_PARSE_ONLY),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 936);
    ub2 offset = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &offset, nullptr, OCI_ATTR_PARSE_ERROR_OFFSET, scott.err);
    EXPECT_EQ(offset, 21);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

}  // namespace
}  // namespace oralite_test

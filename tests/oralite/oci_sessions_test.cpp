// Sessions against each other (transactions and locks), privileges and quotas, binds of every
// external type, and misuse of handles, which must fail cleanly.
#include <dlfcn.h>

#include <chrono>
#include <cstring>
#include <future>

#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

class sessions_test : public database_test {};

TEST_F(sessions_test, a_row_lock_makes_another_sessions_ddl_fail_at_once) {
    ok("CREATE TABLE t (n NUMBER)");
    ok("INSERT INTO t VALUES (1)");
    ASSERT_EQ(OCITransCommit(scott.svc, scott.err, OCI_DEFAULT), OCI_SUCCESS);
    oci_conn other;
    ASSERT_EQ(other.logon(path, "scott", "tiger"), OCI_SUCCESS);

    OCIStmt* lock = scott.prepare("SELECT n FROM t FOR UPDATE");
    int32_t n = 0;
    OCIDefine* def = nullptr;
    OCIDefineByPos(lock, &def, scott.err, 1, &n, sizeof n, SQLT_INT, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(scott.svc, lock, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    EXPECT_EQ(ora(other, "DROP TABLE t"), 54);
    EXPECT_EQ(other.message(),
              "ORA-00054: resource busy and acquire with NOWAIT specified or timeout expired");
    EXPECT_EQ(ora(other, "SELECT n FROM t FOR UPDATE NOWAIT"), 54);
    EXPECT_EQ(ora(other, "SELECT n FROM t FOR UPDATE WAIT 1"), 30006);
    EXPECT_EQ(ora(other, "SELECT n FROM t FOR UPDATE WAIT 1.5"), 30005);
    EXPECT_EQ(other.scalar("SELECT COUNT(*) FROM t"), "1");  // readers are not blocked
    // A wait longer than the lock manager counts in milliseconds is capped, not wrapped
    // around into "no wait": the waiter gets the row once the holder commits.
    std::future<int> waiter = std::async(std::launch::async, [&] {
        return ora(other, "SELECT n FROM t FOR UPDATE WAIT 99999999999");
    });
    EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    ASSERT_EQ(OCITransCommit(scott.svc, scott.err, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(waiter.get(), 0);
    ASSERT_EQ(OCITransCommit(other.svc, other.err, OCI_DEFAULT), OCI_SUCCESS);
    // A FOR UPDATE cursor does not survive its transaction.
    EXPECT_EQ(OCIStmtFetch(lock, scott.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(scott.code(), 1002);
    OCIHandleFree(lock, OCI_HTYPE_STMT);
    EXPECT_EQ(ora(other, "DROP TABLE t"), 0);
}

TEST_F(sessions_test, ddl_commits_before_itself_even_when_it_fails) {
    ok("CREATE TABLE t (n NUMBER)");
    oci_conn other;
    ASSERT_EQ(other.logon(path, "scott", "tiger"), OCI_SUCCESS);
    ok("INSERT INTO t VALUES (1)");
    EXPECT_EQ(other.scalar("SELECT COUNT(*) FROM t"), "0");
    EXPECT_EQ(ora("CREATE TABLE t (n NUMBER)"), 955);
    EXPECT_EQ(other.scalar("SELECT COUNT(*) FROM t"), "1");
    ok("INSERT INTO t VALUES (2)");
    ASSERT_EQ(OCITransRollback(scott.svc, scott.err, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM t"), "1");
    // A statement that fails undoes only itself.
    ok("CREATE TABLE u (n NUMBER(1) PRIMARY KEY)");
    ok("INSERT INTO u VALUES (1)");
    EXPECT_EQ(ora("INSERT INTO u SELECT 2 FROM dual UNION ALL SELECT 1 FROM dual"), 1);
    EXPECT_EQ(scott.rows("SELECT n FROM u"), (rows_t{{"1"}}));
    EXPECT_EQ(ora("UPDATE u SET n = n * 10"), 1438);
    EXPECT_EQ(scott.rows("SELECT n FROM u"), (rows_t{{"1"}}));
}

TEST_F(sessions_test, privileges_and_quota_are_enforced) {
    ok(system_conn, "CREATE USER clerk IDENTIFIED BY pw");
    ok(system_conn, "GRANT CREATE SESSION TO clerk");
    oci_conn clerk;
    ASSERT_EQ(clerk.logon(path, "clerk", "pw"), OCI_SUCCESS);
    EXPECT_EQ(ora(clerk, "CREATE TABLE t (n NUMBER)"), 1031);
    EXPECT_EQ(ora(clerk, "CREATE SEQUENCE s"), 1031);
    EXPECT_EQ(ora(clerk, "CREATE USER x IDENTIFIED BY y"), 1031);
    EXPECT_EQ(ora(clerk, "GRANT DBA TO clerk"), 1031);
    ok(system_conn, "GRANT CREATE TABLE, CREATE SEQUENCE TO clerk");
    EXPECT_EQ(ora(clerk, "CREATE TABLE t (n NUMBER)"), 0);
    EXPECT_EQ(ora(clerk, "CREATE TRIGGER tr BEFORE INSERT ON t FOR EACH ROW BEGIN NULL; END;"),
              1031);
    // No quota: the table exists, its first row cannot be stored.
    EXPECT_EQ(ora(clerk, "INSERT INTO t VALUES (1)"), 1950);
    EXPECT_EQ(clerk.message(), "ORA-01950: no privileges on tablespace 'USERS'");
    // Quotas that no byte count can hold are refused, not wrapped around.
    EXPECT_EQ(ora(system_conn, "ALTER USER clerk QUOTA 99999999999 G ON USERS"), 2187);
    EXPECT_EQ(ora(system_conn, "ALTER USER clerk QUOTA 99999999999999999999 ON USERS"), 2187);
    EXPECT_EQ(ora(system_conn, "ALTER USER clerk QUOTA 1.5M ON USERS"), 2187);
    EXPECT_EQ(ora(clerk, "INSERT INTO t VALUES (1)"), 1950);
    ok(system_conn, "ALTER USER clerk QUOTA 10M ON USERS");
    EXPECT_EQ(ora(clerk, "INSERT INTO t VALUES (1)", OCI_COMMIT_ON_SUCCESS), 0);
    // Other schemas are invisible without privileges; the DBA sees them.
    ok("CREATE TABLE secret (n NUMBER)");
    EXPECT_EQ(ora(clerk, "SELECT * FROM scott.secret"), 942);
    EXPECT_EQ(system_conn.scalar("SELECT COUNT(*) FROM scott.secret"), "0");
    ok("GRANT SELECT ON secret TO clerk");
    EXPECT_EQ(ora(clerk, "SELECT * FROM scott.secret"), 0);
    EXPECT_EQ(ora(system_conn, "REVOKE CREATE VIEW FROM clerk"), 1952);
    ok(system_conn, "REVOKE CREATE TABLE FROM clerk");
    EXPECT_EQ(ora(clerk, "CREATE TABLE t2 (n NUMBER)"), 1031);
    EXPECT_EQ(ora(system_conn, "GRANT FLY TO clerk"), 990);
    EXPECT_EQ(ora(system_conn, "GRANT CONNECT TO nobody"), 1917);
    EXPECT_EQ(ora(system_conn, "CREATE USER clerk IDENTIFIED BY x"), 1920);
    EXPECT_EQ(ora(system_conn, "DROP USER clerk"), 1922);
}

TEST_F(sessions_test, binds_of_every_external_type_with_array_execution) {
    ok("CREATE TABLE b (i NUMBER, f NUMBER, s VARCHAR2(20), d DATE, r RAW(8), c CHAR(4))");
    OCIStmt* stmt = scott.prepare("INSERT INTO b VALUES (:i, :f, :s, :d, :r, :c)");
    int64_t ints[3] = {1, -2, 9000000000};
    double floats[3] = {0.1, 2.5, -1e-5};
    char16_t strs[3][8] = {u"abc", u"Grüße", u""};
    sb2 str_ind[3] = {0, 0, -1};
    unsigned char dates[3][7] = {
        {120, 124, 5, 17, 14, 46, 10}, {120, 100, 1, 1, 1, 1, 1}, {119, 199, 12, 31, 24, 60, 60}};
    unsigned char raws[3][2] = {{0xDE, 0xAD}, {0, 1}, {0xFF, 0}};
    ub2 raw_len[3] = {2, 2, 1};
    char16_t chars[3][4] = {{u'x', u'y'}, {u'a'}, {u'z', u'z', u'z', u'z'}};
    ub2 char_len[3] = {4, 2, 8};
    struct bind_row {
        const char* name;
        void* value;
        sb4 size;
        ub2 dty;
        void* ind;
        ub2* len;
    };
    const bind_row binds[] = {
        {":i", ints, sizeof ints[0], SQLT_INT, nullptr, nullptr},
        {":F", floats, sizeof floats[0], SQLT_FLT, nullptr, nullptr},
        {":s", strs, sizeof strs[0], SQLT_STR, str_ind, nullptr},
        {":d", dates, 7, SQLT_DAT, nullptr, nullptr},
        {":r", raws, 2, SQLT_BIN, nullptr, raw_len},
        {":c", chars, sizeof chars[0], SQLT_CHR, nullptr, char_len},
    };
    for (const bind_row& b : binds) {
        OCIBind* handle = nullptr;
        std::u16string name = u16(b.name);
        ASSERT_EQ(OCIBindByName(stmt, &handle, scott.err, text(name), bytes(name), b.value, b.size,
                                b.dty, b.ind, b.len, nullptr, 0, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS)
            << b.name << ": " << scott.message();
    }
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 3, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << scott.message();
    ub4 count = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_ROW_COUNT, scott.err);
    EXPECT_EQ(count, 3u);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_EQ(scott.rows("SELECT i, f, s, TO_CHAR(d, 'YYYY-MM-DD HH24:MI:SS'), r, c FROM b "
                         "ORDER BY i"),
              (rows_t{{"-2", "2.5", "Grüße", "2000-01-01 00:00:00", "0001", "a   "},
                      {"1", ".1", "abc", "2024-05-17 13:45:09", "DEAD", "xy  "},
                      {"9000000000", "-.00001", "<NULL>", "1999-12-31 23:59:59", "FF", "zzzz"}}));
    // A query prepared once and executed with different binds.
    OCIStmt* q = scott.prepare("SELECT s FROM b WHERE i = :1");
    int64_t key = 0;
    OCIBind* bind = nullptr;
    ASSERT_EQ(OCIBindByPos(q, &bind, scott.err, 1, &key, sizeof key, SQLT_INT, nullptr, nullptr,
                           nullptr, 0, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    char16_t out[32];
    sb2 ind = 0;
    OCIDefine* def = nullptr;
    OCIDefineByPos(q, &def, scott.err, 1, out, sizeof out, SQLT_STR, &ind, nullptr, nullptr,
                   OCI_DEFAULT);
    for (int64_t k : {1, -2}) {
        key = k;
        ASSERT_EQ(OCIStmtExecute(scott.svc, q, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS);
        EXPECT_EQ(u8(out), k == 1 ? "abc" : "Grüße");
    }
    OCIHandleFree(q, OCI_HTYPE_STMT);
}

TEST_F(sessions_test, handle_misuse_fails_without_crashing) {
    ok("CREATE TABLE t (s VARCHAR2(10), n NUMBER)");
    ok("INSERT INTO t VALUES ('abcdef', NULL)");
    int not_a_handle = 0;
    EXPECT_EQ(OCIHandleFree(&not_a_handle, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIHandleFree(nullptr, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIHandleFree(scott.err, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIStmtExecute(nullptr, nullptr, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_INVALID_HANDLE);
    void* bogus = nullptr;
    EXPECT_EQ(OCIHandleAlloc(scott.err, &bogus, OCI_HTYPE_STMT, 0, nullptr), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIHandleAlloc(scott.env, &bogus, 777, 0, nullptr), OCI_INVALID_HANDLE);

    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(scott.env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 24337);
    std::u16string sql = u16("SELECT s, n FROM t");
    OCIStmtPrepare(stmt, scott.err, text(sql), bytes(sql), OCI_NTV_SYNTAX, OCI_DEFAULT);
    EXPECT_EQ(OCIStmtFetch(stmt, scott.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(scott.code(), 24338);
    OCIBind* bind = nullptr;
    std::u16string name = u16(":nope");
    EXPECT_EQ(OCIBindByName(stmt, &bind, scott.err, text(name), bytes(name), nullptr, 0, SQLT_STR,
                            nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 1036);
    ub4 junk = 0;
    EXPECT_EQ(OCIAttrGet(stmt, OCI_HTYPE_STMT, &junk, nullptr, 9999, scott.err), OCI_ERROR);
    EXPECT_EQ(scott.code(), 24315);

    // Truncation is a warning with the full length in the indicator; NULL needs an indicator.
    char16_t small[3];
    sb2 ind = 0;
    ub2 rcode = 0;
    OCIDefine* def = nullptr;
    OCIDefineByPos(stmt, &def, scott.err, 1, small, sizeof small, SQLT_STR, &ind, nullptr, &rcode,
                   OCI_DEFAULT);
    int32_t n = 0;
    OCIDefineByPos(stmt, &def, scott.err, 2, &n, sizeof n, SQLT_INT, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 0, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch(stmt, scott.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(scott.code(), 1405);
    sb2 n_ind = 0;
    OCIDefineByPos(stmt, &def, scott.err, 2, &n, sizeof n, SQLT_INT, &n_ind, nullptr, nullptr,
                   OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 0, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    EXPECT_EQ(OCIStmtFetch(stmt, scott.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(scott.code(), 24345);
    EXPECT_EQ(u8(small), "ab");
    EXPECT_EQ(ind, 12);
    EXPECT_EQ(rcode, 1406);
    EXPECT_EQ(n_ind, -1);
    EXPECT_EQ(OCIStmtFetch(stmt, scott.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_NO_DATA);
    EXPECT_EQ(OCIStmtFetch(stmt, scott.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(scott.code(), 1002);

    // DML needs at least one iteration; binds are needed when placeholders are there.
    sql = u16("INSERT INTO t VALUES (:a, :b)");
    OCIStmtPrepare(stmt, scott.err, text(sql), bytes(sql), OCI_NTV_SYNTAX, OCI_DEFAULT);
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 0, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 24333);
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 1008);
    EXPECT_EQ(OCIBindByPos(stmt, &bind, scott.err, 1, &n, sizeof n, 250, nullptr, nullptr, nullptr,
                           0, nullptr, OCI_DEFAULT),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 3115);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_EQ(OCIHandleFree(stmt, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);

    // After log-off the service context is gone, and a statement of it cannot fetch.
    oci_conn c;
    ASSERT_EQ(c.logon(path, "scott", "tiger"), OCI_SUCCESS);
    OCIStmt* open = c.prepare("SELECT s FROM t");
    OCIDefineByPos(open, &def, c.err, 1, small, sizeof small, SQLT_STR, &ind, nullptr, nullptr,
                   OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(c.svc, open, c.err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    OCISvcCtx* old = c.svc;
    c.logoff();
    EXPECT_EQ(OCIStmtExecute(old, open, c.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIStmtFetch(open, c.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(c.code(), 3114);
    OCIHandleFree(open, OCI_HTYPE_STMT);
}

TEST_F(sessions_test, library_loads_at_run_time_like_the_oracle_client) {
    std::string lib = bin_dir() + "/liboralite.so";
    void* handle = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    for (const char* name :
         {"OCIEnvCreate",       "OCIHandleAlloc",    "OCIHandleFree",  "OCIServerAttach",
          "OCIServerDetach",    "OCIAttrSet",        "OCIAttrGet",     "OCILogon",
          "OCILogoff",          "OCIStmtPrepare",    "OCIStmtExecute", "OCIStmtFetch",
          "OCIDefineByPos",     "OCIParamGet",       "OCIBindByName",  "OCIBindDynamic",
          "OCIDescriptorAlloc", "OCIDescriptorFree", "OCILobWrite",    "OCILobRead",
          "OCILobCharSetForm",  "OCIErrorGet"}) {
        EXPECT_NE(dlsym(handle, name), nullptr) << name;
    }
    dlclose(handle);
}

}  // namespace
}  // namespace oralite_test

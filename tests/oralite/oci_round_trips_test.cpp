// Round trips: each OCI call that a real client sends to its server counts once in the
// session's "SQL*Net roundtrips to/from client" statistic, and ORALITE_ROUNDTRIP_DELAY_US makes
// each of them take that long.
#include <chrono>
#include <cstdlib>
#include <functional>

#include "oci_support.h"

namespace oralite_test {
namespace {

// Sets ORALITE_ROUNDTRIP_DELAY_US for the life of the object.
class delay_guard {
  public:
    explicit delay_guard(const std::string& us) {
        setenv("ORALITE_ROUNDTRIP_DELAY_US", us.c_str(), 1);
    }
    ~delay_guard() { unsetenv("ORALITE_ROUNDTRIP_DELAY_US"); }
    delay_guard(const delay_guard&) = delete;
    delay_guard& operator=(const delay_guard&) = delete;
};

double seconds_of(const std::function<void()>& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class round_trips_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ASSERT_EQ(system_conn.exec("GRANT SELECT ANY DICTIONARY TO scott"), OCI_SUCCESS)
            << system_conn.message();
        ok("CREATE TABLE t (id NUMBER(11,0), body CLOB)");
        ok("INSERT INTO t VALUES (1, 'one')");
        ok("INSERT INTO t VALUES (2, 'two')");
        ok("INSERT INTO t VALUES (3, 'three')");
        ok("COMMIT");
    }

    // The statistic as a client reads it: V$MYSTAT joined with V$STATNAME by name.
    long statistic(oci_conn& c) {
        std::string v = c.scalar(
            "SELECT m.value FROM v$mystat m, v$statname n WHERE m.statistic# = n.statistic# "
            "AND n.name = 'SQL*Net roundtrips to/from client'");
        return std::atol(v.c_str());
    }

    // The round trips of `calls`: reading the statistic costs the execute of the next reading
    // and the fetch that ends the previous one.
    long trips_of(const std::function<void()>& calls) {
        long before = statistic(scott);
        calls();
        return statistic(scott) - before - 2;
    }

    // Executes a query on a fresh statement, fetching `per_fetch` rows a call until no data.
    void fetch_all(ub4 prefetch, ub4 per_fetch) {
        OCIStmt* stmt = scott.prepare("SELECT id FROM t ORDER BY id");
        OCIAttrSet(stmt, OCI_HTYPE_STMT, &prefetch, 0, OCI_ATTR_PREFETCH_ROWS, scott.err);
        std::vector<int> ids(per_fetch);
        OCIDefine* def = nullptr;
        OCIDefineByPos(stmt, &def, scott.err, 1, ids.data(), sizeof(int), SQLT_INT, nullptr,
                       nullptr, nullptr, OCI_DEFAULT);
        EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 0, 0, nullptr, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS);
        while (OCIStmtFetch2(stmt, scott.err, per_fetch, OCI_FETCH_NEXT, 0, OCI_DEFAULT) ==
               OCI_SUCCESS) {
        }
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
    }

    // Selects the CLOB of row 1 for update and hands its locator to `use`.
    void with_locator(const std::function<void(OCILobLocator*)>& use) {
        OCILobLocator* loc = nullptr;
        OCIDescriptorAlloc(scott.env, reinterpret_cast<void**>(&loc), OCI_DTYPE_LOB, 0, nullptr);
        OCIStmt* stmt = scott.prepare("SELECT body FROM t WHERE id = 1 FOR UPDATE");
        OCIDefine* def = nullptr;
        OCIDefineByPos(stmt, &def, scott.err, 1, &loc, -1, SQLT_CLOB, nullptr, nullptr, nullptr,
                       OCI_DEFAULT);
        EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS)
            << scott.message();
        use(loc);
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        OCIDescriptorFree(loc, OCI_DTYPE_LOB);
    }
};

TEST_F(round_trips_test, each_call_costs_what_a_real_client_pays) {
    struct call_case {
        const char* what;
        long trips;
        std::function<void()> calls;
    };
    std::vector<call_case> cases = {
        {"prepare, bind, define and attributes are local", 0,
         [&] {
             OCIStmt* stmt = scott.prepare("INSERT INTO t (id) VALUES (:1)");
             int id = 9;
             OCIBind* bind = nullptr;
             OCIBindByPos(stmt, &bind, scott.err, 1, &id, sizeof id, SQLT_INT, nullptr, nullptr,
                          nullptr, 0, nullptr, OCI_DEFAULT);
             ub2 type = 0;
             OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, scott.err);
             OCIHandleFree(stmt, OCI_HTYPE_STMT);
         }},
        {"one execute of DML", 1, [&] { scott.exec("UPDATE t SET id = id WHERE id = 1"); }},
        {"an array execute of 25 rows is one trip", 1,
         [&] {
             OCIStmt* stmt = scott.prepare("INSERT INTO t (id) VALUES (:1)");
             std::vector<int> ids(25, 7);
             OCIBind* bind = nullptr;
             OCIBindByPos(stmt, &bind, scott.err, 1, ids.data(), sizeof(int), SQLT_INT, nullptr,
                          nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
             EXPECT_EQ(
                 OCIStmtExecute(scott.svc, stmt, scott.err, 25, 0, nullptr, nullptr, OCI_DEFAULT),
                 OCI_SUCCESS);
             OCIHandleFree(stmt, OCI_HTYPE_STMT);
         }},
        {"commit on success rides on the execute", 1,
         [&] { scott.exec("DELETE FROM t WHERE id = 7", OCI_COMMIT_ON_SUCCESS); }},
        {"a failing execute still went to the server", 1,
         [&] { scott.exec("INSERT INTO nowhere VALUES (1)"); }},
        {"commit", 1, [&] { OCITransCommit(scott.svc, scott.err, OCI_DEFAULT); }},
        {"rollback", 1, [&] { OCITransRollback(scott.svc, scott.err, OCI_DEFAULT); }},
        {"ping", 1, [&] { EXPECT_EQ(OCIPing(scott.svc, scott.err, OCI_DEFAULT), OCI_SUCCESS); }},
        {"server version", 1,
         [&] {
             char16_t buf[128] = {};
             EXPECT_EQ(OCIServerVersion(scott.svc, scott.err, reinterpret_cast<OraText*>(buf),
                                        sizeof buf, OCI_HTYPE_SVCCTX),
                       OCI_SUCCESS);
             EXPECT_NE(u8(buf).find("Oracle Database 11g"), std::string::npos) << u8(buf);
         }},
        // Three rows, one at a time: the execute brings row 1, each later trip the row asked
        // for and the one prefetched after it, the last trip finds the end.
        {"fetching row by row with the default prefetch of one row", 3, [&] { fetch_all(1, 1); }},
        {"no prefetch: a trip per fetch call", 5, [&] { fetch_all(0, 1); }},
        {"a prefetch larger than the result: the execute brings all", 1, [&] { fetch_all(10, 1); }},
        {"an array fetch without prefetch", 2, [&] { fetch_all(0, 10); }},
        {"a LOB locator and four LOB calls", 1 + 4,
         [&] {
             with_locator([&](OCILobLocator* loc) {
                 ub4 length = 0;
                 EXPECT_EQ(OCILobGetLength(scott.svc, scott.err, loc, &length), OCI_SUCCESS);
                 char16_t buf[16] = {};
                 ub4 amount = 3;
                 EXPECT_EQ(OCILobRead(scott.svc, scott.err, loc, &amount, 1, buf, sizeof buf,
                                      nullptr, nullptr, 0, SQLCS_IMPLICIT),
                           OCI_SUCCESS);
                 std::u16string more = u"ONE";
                 amount = 3;
                 EXPECT_EQ(
                     OCILobWrite(scott.svc, scott.err, loc, &amount, 1, more.data(), bytes(more),
                                 OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
                     OCI_SUCCESS)
                     << scott.message();
                 EXPECT_EQ(OCILobTrim(scott.svc, scott.err, loc, 2), OCI_SUCCESS);
             });
         }},
    };
    for (const call_case& c : cases) {
        EXPECT_EQ(trips_of(c.calls), c.trips) << c.what;
    }
}

TEST_F(round_trips_test, a_log_on_is_one_trip_and_each_session_counts_its_own) {
    // A fresh session has paid its log-on when it first reads the statistic (in that read's
    // execute): 2. Both ways of logging on cost the same.
    oci_conn fresh;
    ASSERT_EQ(fresh.logon(path, "system", "manager"), OCI_SUCCESS) << fresh.message();
    EXPECT_EQ(statistic(fresh), 2);

    oci_conn explicit_session;
    OCISvcCtx* svc = nullptr;
    OCISession* user = nullptr;
    OCIHandleAlloc(explicit_session.env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0,
                   nullptr);
    OCIHandleAlloc(explicit_session.env, reinterpret_cast<void**>(&user), OCI_HTYPE_SESSION, 0,
                   nullptr);
    std::u16string link = u16(path), name = u16("system"), password = u16("manager");
    OCIServerAttach(explicit_session.srv, explicit_session.err, text(link), bytes(link),
                    OCI_DEFAULT);
    OCIAttrSet(svc, OCI_HTYPE_SVCCTX, explicit_session.srv, 0, OCI_ATTR_SERVER,
               explicit_session.err);
    OCIAttrSet(user, OCI_HTYPE_SESSION, const_cast<char16_t*>(name.data()), bytes(name),
               OCI_ATTR_USERNAME, explicit_session.err);
    OCIAttrSet(user, OCI_HTYPE_SESSION, const_cast<char16_t*>(password.data()), bytes(password),
               OCI_ATTR_PASSWORD, explicit_session.err);
    ASSERT_EQ(OCISessionBegin(svc, explicit_session.err, user, OCI_CRED_RDBMS, OCI_DEFAULT),
              OCI_SUCCESS)
        << explicit_session.message();
    OCIAttrSet(svc, OCI_HTYPE_SVCCTX, user, 0, OCI_ATTR_SESSION, explicit_session.err);
    explicit_session.svc = svc;
    EXPECT_EQ(statistic(explicit_session), 2);

    // Another session's count is in V$SESSTAT under its SID, and moves only with its calls.
    std::string sid = scott.scalar("SELECT sid FROM v$mystat");
    long before = statistic(scott);
    const std::string query = "SELECT value FROM v$sesstat s, v$statname n WHERE s.sid = " + sid +
                              " AND s.statistic# = n.statistic# AND n.name = "
                              "'SQL*Net roundtrips to/from client'";
    EXPECT_EQ(std::atol(fresh.scalar(query).c_str()), before + 1);
    EXPECT_EQ(std::atol(fresh.scalar(query).c_str()), before + 1);
    EXPECT_EQ(OCIPing(scott.svc, scott.err, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(std::atol(fresh.scalar(query).c_str()), before + 2);
    EXPECT_EQ(fresh.scalar("SELECT class FROM v$statname WHERE name = "
                           "'SQL*Net roundtrips to/from client'"),
              "1");
}

TEST_F(round_trips_test, the_statistics_views_need_a_dictionary_privilege) {
    oci_conn plain;
    ASSERT_EQ(system_conn.exec("CREATE USER plain IDENTIFIED BY plain"), OCI_SUCCESS);
    ASSERT_EQ(system_conn.exec("GRANT CONNECT TO plain"), OCI_SUCCESS);
    ASSERT_EQ(plain.logon(path, "plain", "plain"), OCI_SUCCESS) << plain.message();
    for (const char* view : {"v$mystat", "v$sesstat", "v$statname"}) {
        EXPECT_EQ(plain.code_of(std::string("SELECT COUNT(*) FROM ") + view), 942) << view;
        EXPECT_EQ(ora(system_conn, std::string("SELECT COUNT(*) FROM ") + view), 0) << view;
    }
}

TEST_F(round_trips_test, the_delay_is_paid_per_round_trip_log_on_included) {
    delay_guard delay("200000");  // 0.2 s
    double pings = seconds_of([&] {
        for (int i = 0; i < 3; ++i) OCIPing(scott.svc, scott.err, OCI_DEFAULT);
    });
    EXPECT_GE(pings, 0.6);
    double local = seconds_of([&] {
        for (int i = 0; i < 20; ++i) {
            OCIStmt* stmt = scott.prepare("SELECT id FROM t");
            OCIHandleFree(stmt, OCI_HTYPE_STMT);
        }
    });
    EXPECT_LT(local, 0.2) << "prepares are not round trips";
    // A log-on pays its trip whether or not it succeeds; the attach before it pays its own.
    oci_conn late;
    EXPECT_GE(seconds_of([&] { EXPECT_EQ(late.logon(path, "scott", "wrong"), OCI_ERROR); }), 0.2);
    EXPECT_EQ(late.code(), 1017);
    EXPECT_GE(seconds_of([&] { EXPECT_EQ(late.logon(path, "scott", "tiger"), OCI_SUCCESS); }), 0.2);
}

TEST_F(round_trips_test, a_malformed_delay_is_no_delay) {
    for (const char* text : {"", "abc", "12x", "-5"}) {
        delay_guard delay(text);
        EXPECT_LT(seconds_of([&] { OCIPing(scott.svc, scott.err, OCI_DEFAULT); }), 0.5) << text;
    }
}

}  // namespace
}  // namespace oralite_test

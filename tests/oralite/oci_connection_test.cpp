// Connections: the connect-string forms, the ORA errors of a failed log-on, the error texts,
// and what a log-off (or its absence) does to open work.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "oci_support.h"

namespace oralite_test {
namespace {

class connection_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        home = (dir.path() / "home").string();
        std::filesystem::create_directories(home);
        run_result r = run_tool({"create", home + "/sales.db", "--port", "1600"});
        ASSERT_EQ(r.status, 0) << r.err;
        setenv("ORALITE_HOME", home.c_str(), 1);
    }
    void TearDown() override { unsetenv("ORALITE_HOME"); }

    int logon_code(const std::string& db, const std::string& user, const std::string& password) {
        oci_conn c;
        if (c.logon(db, user, password) == OCI_SUCCESS)
            return 0;
        return c.code();
    }

    std::string home;
};

TEST_F(connection_test, connect_strings_resolve_or_fail_as_oracle_does) {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    auto descriptor = [](const std::string& service, const std::string& h, int port) {
        return "(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=" + service +
               "))(ADDRESS=(PROTOCOL=TCP)(HOST=" + h + ")(PORT=" + std::to_string(port) + ")))";
    };
    struct row {
        std::string connect;
        int code;
    };
    const row rows[] = {
        {home + "/sales.db", 0},
        {"sales", 0},
        {"SALES", 0},
        {"sales.db", 0},
        {descriptor("sales", "localhost", 1600), 0},
        {descriptor("sales", "127.0.0.1", 1600), 0},
        {descriptor("sales", host, 1600), 0},
        {"localhost:1600/sales", 0},
        {"nosuchdb", 12154},
        {home + "/missing.db", 12154},
        {"", 12154},
        {"(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=sales)", 12154},
        {descriptor("other", "localhost", 1600), 12514},
        {descriptor("sales", "192.0.2.17", 1600), 12545},
        {descriptor("sales", "localhost", 1521), 12541},
        {"localhost/sales", 12541},
    };
    for (const row& r : rows) {
        EXPECT_EQ(logon_code(r.connect, "system", "manager"), r.code) << r.connect;
    }
}

TEST_F(connection_test, product_direct_mode_uses_the_host_as_service_name) {
    // The agent's direct mode puts the host into both SERVICE_NAME and HOST.
    run_result r = run_tool({"create", home + "/localhost.db"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string connect =
        "(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=localhost))(ADDRESS=(PROTOCOL=TCP)"
        "(HOST=localhost)(PORT=1521)))";
    EXPECT_EQ(logon_code(connect, "system", "manager"), 0);
}

TEST_F(connection_test, credentials_and_account_state_are_checked) {
    ok(system_conn, "CREATE USER locked_one IDENTIFIED BY pw ACCOUNT LOCK");
    ok(system_conn, "GRANT CREATE SESSION TO locked_one");
    ok(system_conn, "CREATE USER mute IDENTIFIED BY pw");
    ok(system_conn, "CREATE USER \"MixedPw\" IDENTIFIED BY \"Secret\"");
    ok(system_conn, "GRANT CONNECT TO \"MixedPw\"");
    struct row {
        std::string user, password;
        int code;
    };
    const row rows[] = {
        {"scott", "tiger", 0},        {"SCOTT", "tiger", 0},       {"scott", "TIGER", 1017},
        {"nobody", "tiger", 1017},    {"locked_one", "pw", 28000}, {"mute", "pw", 1045},
        {"\"MixedPw\"", "Secret", 0}, {"mixedpw", "Secret", 1017},
    };
    for (const row& r : rows) {
        EXPECT_EQ(logon_code(path, r.user, r.password), r.code) << r.user << "/" << r.password;
    }
    ok(system_conn, "ALTER USER locked_one ACCOUNT UNLOCK");
    EXPECT_EQ(logon_code(path, "locked_one", "pw"), 0);
}

TEST_F(connection_test, error_get_returns_the_record_in_utf16_with_a_newline) {
    oci_conn c;
    ASSERT_EQ(c.logon(path, "scott", "wrong"), OCI_ERROR);
    sb4 code = 0;
    char16_t buf[256];
    ASSERT_EQ(OCIErrorGet(c.err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                          OCI_HTYPE_ERROR),
              OCI_SUCCESS);
    EXPECT_EQ(code, 1017);
    EXPECT_EQ(u8(buf), "ORA-01017: invalid username/password; logon denied\n");
    EXPECT_EQ(OCIErrorGet(c.err, 2, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                          OCI_HTYPE_ERROR),
              OCI_NO_DATA);
    // A small buffer gets as much as fits, still terminated.
    char16_t small[6];
    ASSERT_EQ(OCIErrorGet(c.err, 1, nullptr, &code, reinterpret_cast<OraText*>(small), sizeof small,
                          OCI_HTYPE_ERROR),
              OCI_SUCCESS);
    EXPECT_EQ(u8(small), "ORA-0");
}

TEST_F(connection_test, logoff_commits_and_a_dead_process_loses_its_work) {
    ok("CREATE TABLE t (n NUMBER)");
    {
        oci_conn c;
        ASSERT_EQ(c.logon(path, "scott", "tiger"), OCI_SUCCESS);
        ASSERT_EQ(c.exec("INSERT INTO t VALUES (1)"), OCI_SUCCESS);
        EXPECT_EQ(c.logoff(), OCI_SUCCESS);
    }
    pid_t pid = fork();
    if (pid == 0) {
        oci_conn c;
        if (c.logon(path, "scott", "tiger") != OCI_SUCCESS)
            _exit(2);
        if (c.exec("INSERT INTO t VALUES (2)") != OCI_SUCCESS)
            _exit(3);
        _exit(0);  // dies without log-off or commit
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(scott.rows("SELECT n FROM t ORDER BY n"),
              (std::vector<std::vector<std::string>>{{"1"}}));
}

TEST_F(connection_test, commit_on_success_makes_an_insert_visible_to_other_sessions) {
    ok("CREATE TABLE t (n NUMBER)");
    ASSERT_EQ(scott.exec("INSERT INTO t VALUES (5)"), OCI_SUCCESS);
    oci_conn other;
    ASSERT_EQ(other.logon(path, "scott", "tiger"), OCI_SUCCESS);
    EXPECT_EQ(other.scalar("SELECT COUNT(*) FROM t"), "0");
    ASSERT_EQ(scott.exec("INSERT INTO t VALUES (6)", OCI_COMMIT_ON_SUCCESS), OCI_SUCCESS);
    EXPECT_EQ(other.scalar("SELECT COUNT(*) FROM t"), "2");
}

}  // namespace
}  // namespace oralite_test

// The oralite tool as other programs and scripts use it: its command line, output format,
// errors and exit statuses.
#include "oci_support.h"

namespace oralite_test {
namespace {

class tool_test : public ::testing::Test {
  protected:
    void SetUp() override {
        path = (dir.path() / "t.db").string();
        run_result r = run_tool({"create", path});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    run_result sql(const std::vector<std::string>& statements, const std::string& input = "",
                   const std::string& login = "system/manager") {
        std::vector<std::string> args{"sql", path, login};
        args.insert(args.end(), statements.begin(), statements.end());
        return run_tool(args, input);
    }

    test_support::temp_dir dir;
    std::string path;
};

TEST_F(tool_test, create_refuses_to_overwrite_and_bad_usage_exits_2) {
    run_result again = run_tool({"create", path});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
    EXPECT_EQ(run_tool({}).status, 2);
    EXPECT_EQ(run_tool({"frobnicate"}).status, 2);
    EXPECT_EQ(run_tool({"create", path + "2", "--port", "x"}).status, 2);
    EXPECT_EQ(run_tool({"sql", path, "nopassword"}).status, 2);
    run_result help = run_tool({"help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("oralite sql DATABASE USER/PASSWORD"), std::string::npos);
    run_result custom = run_tool({"create", path + "2", "--password", "s3cret", "--port", "1600"});
    EXPECT_EQ(custom.status, 0) << custom.err;
    EXPECT_EQ(run_tool({"sql", path + "2", "system/manager", "SELECT 1 FROM dual"}).status, 1);
    EXPECT_EQ(run_tool({"sql", path + "2", "system/s3cret", "SELECT 1 FROM dual"}).status, 0);
}

TEST_F(tool_test, results_print_as_tab_separated_lines) {
    run_result r =
        sql({"CREATE TABLE t (n NUMBER, s VARCHAR2(10), d DATE, r RAW(4), c CLOB, b BLOB, "
             "ts TIMESTAMP)",
             "INSERT INTO t VALUES (0.5, 'a b', to_date('2024-05-17 13:45:09', 'YYYY-MM-DD "
             "HH24:MI:SS'), HEXTORAW('0aff'), TO_CLOB('long text'), HEXTORAW('01'), "
             "to_timestamp('2024-05-17 13:45:09.123', 'YYYY-MM-DD HH24:MI:SS.FF'));",
             "INSERT INTO t (n) VALUES (1e20)", "SELECT * FROM t ORDER BY n",
             "SELECT COUNT(*) AS \"rows\" FROM t"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "N\tS\tD\tR\tC\tB\tTS\n"
              "0.5\ta b\t2024-05-17 13:45:09\t0AFF\tlong text\t01\t2024-05-17 13:45:09.123000\n"
              "100000000000000000000\t\t\t\t\t\t\n"
              "rows\n"
              "2\n");
    EXPECT_EQ(r.err, "");
    run_result quiet = sql({"--no-header", "SELECT COUNT(*) FROM t"});
    EXPECT_EQ(quiet.out, "2\n");
}

TEST_F(tool_test, an_error_is_reported_rolled_back_and_ends_the_run) {
    ASSERT_EQ(sql({"CREATE TABLE t (n NUMBER)"}).status, 0);
    run_result r =
        sql({"INSERT INTO t VALUES (1)", "SELECT nothing FROM t", "INSERT INTO t VALUES (2)"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ORA-00904: \"NOTHING\": invalid identifier\n");
    EXPECT_EQ(sql({"--no-header", "SELECT COUNT(*) FROM t"}).out, "0\n");
    run_result login = sql({"SELECT 1 FROM dual"}, "", "system/wrong");
    EXPECT_EQ(login.status, 1);
    EXPECT_EQ(login.err, "ORA-01017: invalid username/password; logon denied\n");
}

TEST_F(tool_test, scripts_from_standard_input_split_on_semicolons_and_slashes) {
    const std::string script =
        "-- a demo script\n"
        "CREATE USER demo IDENTIFIED BY pw;\n"
        "GRANT CONNECT, RESOURCE TO demo;\n";
    ASSERT_EQ(sql({}, script).status, 0);
    const std::string demo =
        "CREATE TABLE items (id NUMBER(11,0), name VARCHAR2(20));\n"
        "CREATE SEQUENCE items_0 NOCACHE;\n"
        "CREATE OR REPLACE TRIGGER items__trigger BEFORE INSERT ON items FOR EACH ROW\n"
        "WHEN (new.id IS NULL)\n"
        "BEGIN\n"
        "  select items_0.nextval into :new.id from dual;\n"
        "END;\n"
        "/\n"
        "INSERT INTO items (name)\n"
        "  VALUES ('first');\n"
        "INSERT INTO items (name) VALUES ('semi;colon');\n"
        "SELECT id, name FROM items ORDER BY id;\n";
    run_result r = sql({}, demo, "demo/pw");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ID\tNAME\n1\tfirst\n2\tsemi;colon\n");
    // A trigger that compiles with errors is a warning, not a failure.
    run_result w = sql({"CREATE TRIGGER bad BEFORE INSERT ON items FOR EACH ROW BEGIN "
                        ":new.nothing := 1; END;"},
                       "", "demo/pw");
    EXPECT_EQ(w.status, 0);
    EXPECT_EQ(w.err, "Warning: ORA-24344: success with compilation error\n");
}

}  // namespace
}  // namespace oralite_test

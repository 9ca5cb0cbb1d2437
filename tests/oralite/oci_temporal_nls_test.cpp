// INTERVAL DAY TO SECOND and TIMESTAMP(n) values, ALTER SESSION SET of the NLS parameters,
// extended strings and NUMBER's range, driven through the OCI calls as the product drives them.
#include <cmath>

#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

class temporal_test : public database_test {
  protected:
    // Executes a statement with text binds (SQLT_STR in UTF-16), once per row of `values`.
    int exec_with_texts(const std::string& sql, const std::vector<std::vector<std::string>>& rows) {
        for (const auto& row : rows) {
            OCIStmt* stmt = scott.prepare(sql);
            std::vector<std::u16string> texts;
            texts.reserve(row.size());
            for (size_t i = 0; i < row.size(); ++i) {
                texts.push_back(u16(row[i]));
                OCIBind* bind = nullptr;
                OCIBindByPos(stmt, &bind, scott.err, static_cast<ub4>(i + 1), texts[i].data(),
                             static_cast<sb4>((texts[i].size() + 1) * 2), SQLT_STR, nullptr,
                             nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
            }
            sword rc =
                OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
            OCIHandleFree(stmt, OCI_HTYPE_STMT);
            if (rc != OCI_SUCCESS)
                return scott.code();
        }
        return 0;
    }

    // The text of one expression stored into a column of `type` and read back, or the ORA
    // number of the failure as "ORA-n".
    std::string stored(const std::string& type, const std::string& expression) {
        ora("DROP TABLE probe PURGE");
        EXPECT_EQ(ora("CREATE TABLE probe (v " + type + ")"), 0) << scott.message();
        int code = ora("INSERT INTO probe VALUES (" + expression + ")");
        if (code != 0)
            return "ORA-" + std::to_string(code);
        return scott.scalar("SELECT v FROM probe");
    }
};

TEST_F(temporal_test, interval_columns_are_declared_as_oracle_declares_them) {
    ok("CREATE TABLE spans (a INTERVAL DAY TO SECOND, b INTERVAL DAY(0) TO SECOND(0), "
       "c INTERVAL DAY(9) TO SECOND(9))");
    EXPECT_EQ(scott.rows("SELECT column_name, data_type, data_length, data_precision, data_scale "
                         "FROM user_tab_columns WHERE table_name = 'SPANS' ORDER BY column_id"),
              (rows_t{{"A", "INTERVAL DAY(2) TO SECOND(6)", "11", "2", "6"},
                      {"B", "INTERVAL DAY(0) TO SECOND(0)", "11", "0", "0"},
                      {"C", "INTERVAL DAY(9) TO SECOND(9)", "11", "9", "9"}}));
    for (const char* bad : {"INTERVAL DAY(10) TO SECOND", "INTERVAL DAY TO SECOND(10)"}) {
        EXPECT_EQ(ora(std::string("CREATE TABLE bad (v ") + bad + ")"), 30088) << bad;
    }
}

TEST_F(temporal_test, the_whole_mysql_time_range_goes_in_through_the_product_bind) {
    ok("CREATE TABLE times (id NUMBER, t INTERVAL DAY(2) TO SECOND(6))");
    // The product's text for each TIME, and what Oracle gives back; inserted out of order.
    const std::vector<std::pair<std::string, std::string>> values = {
        {"+00 00:00:00.000001", "+00 00:00:00.000001"},
        {"-34 22:59:59.000000", "-34 22:59:59.000000"},
        {"+34 22:59:59.000000", "+34 22:59:59.000000"},
        {"-00 00:00:00.000001", "-00 00:00:00.000001"},
        {"+00 23:59:59.999999", "+00 23:59:59.999999"},
        {"+00 00:00:00.000000", "+00 00:00:00.000000"},
        {"-00 12:00:00.500000", "-00 12:00:00.500000"},
        {"+34 22:59:58.999999", "+34 22:59:58.999999"},
    };
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(exec_with_texts("INSERT INTO times VALUES (:1, TO_DSINTERVAL(:2))",
                                  {{std::to_string(i), values[i].first}}),
                  0)
            << values[i].first << ": " << scott.message();
    }
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(scott.scalar("SELECT t FROM times WHERE id = " + std::to_string(i)),
                  values[i].second);
    }
    // Ordered by value, not by text: the negative ones first, the largest magnitude first.
    EXPECT_EQ(scott.rows("SELECT id FROM times ORDER BY t"),
              (rows_t{{"1"}, {"6"}, {"3"}, {"5"}, {"0"}, {"4"}, {"7"}, {"2"}}));
    EXPECT_EQ(scott.rows("SELECT MIN(t), MAX(t), COUNT(*) FROM times WHERE t < INTERVAL '0' "
                         "SECOND"),
              (rows_t{{"-34 22:59:59.000000", "-00 00:00:00.000001", "3"}}));
    // A text bound straight into the column converts as TO_DSINTERVAL does.
    EXPECT_EQ(exec_with_texts("INSERT INTO times VALUES (:1, :2)", {{"8", "-3 04:05:06.5"}}), 0)
        << scott.message();
    EXPECT_EQ(scott.scalar("SELECT t FROM times WHERE id = 8"), "-03 04:05:06.500000");
    // One day more than DAY(2) holds.
    EXPECT_EQ(exec_with_texts("INSERT INTO times VALUES (:1, TO_DSINTERVAL(:2))",
                              {{"9", "+100 00:00:00.000000"}}),
              1873);
}

TEST_F(temporal_test, interval_texts_literals_and_functions_follow_oracle) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"INTERVAL '-3 04:05:06.5' DAY TO SECOND", "-03 04:05:06.500000"},
        {"INTERVAL '838:59:59' HOUR TO SECOND", "ORA-1873"},
        {"INTERVAL '838:59:59' HOUR(3) TO SECOND", "+34 22:59:59.000000"},
        {"INTERVAL '99' DAY", "+99 00:00:00.000000"},
        {"INTERVAL '100' DAY", "ORA-1873"},
        {"INTERVAL '100' DAY(3)", "ORA-1873"},  // fits the literal, not the column
        {"INTERVAL '1 24:00:00' DAY TO SECOND", "ORA-1850"},
        {"INTERVAL '59:60' MINUTE TO SECOND", "ORA-1852"},
        {"INTERVAL '1 2' DAY TO HOUR", "+01 02:00:00.000000"},
        {"TO_DSINTERVAL('P3DT4H5M6.5S')", "+03 04:05:06.500000"},
        {"TO_DSINTERVAL('-P1DT36H')", "-02 12:00:00.000000"},
        {"TO_DSINTERVAL('P1DT')", "ORA-1867"},
        {"TO_DSINTERVAL('P 1D')", "ORA-1867"},
        {"TO_DSINTERVAL('04:05:06')", "ORA-1867"},
        {"TO_DSINTERVAL('1 2:60:00')", "ORA-1851"},
        {"TO_DSINTERVAL('1 2:3:60')", "ORA-1852"},
        {"TO_DSINTERVAL('  +1   02 : 03 : 04.1234567  ')", "+01 02:03:04.123457"},
        // Rounding to the column's six digits carries into the next second and day.
        {"TO_DSINTERVAL('0 23:59:59.9999995')", "+01 00:00:00.000000"},
        {"TO_DSINTERVAL('-0 00:00:00.0000004')", "+00 00:00:00.000000"},
        {"TO_DSINTERVAL('99 23:59:59.9999995')", "ORA-1873"},
        {"NUMTODSINTERVAL(-1.5, 'hour')", "-00 01:30:00.000000"},
        {"NUMTODSINTERVAL(86399.9999999, 'SECOND')", "+01 00:00:00.000000"},
        {"NUMTODSINTERVAL(1, 'WEEK')", "ORA-1760"},
        {"'-3 04:05:06.5'", "-03 04:05:06.500000"},
        {"'3 04:05'", "ORA-1867"},
        {"TIMESTAMP '2001-01-01 00:00:00' - TIMESTAMP '2000-12-31 23:59:59.5'",
         "+00 00:00:00.500000"},
        {"INTERVAL '1' DAY + INTERVAL '-25' HOUR(2)", "-00 01:00:00.000000"},
    };
    for (const auto& [expression, expected] : cases) {
        EXPECT_EQ(stored("INTERVAL DAY TO SECOND", expression), expected) << expression;
    }
    EXPECT_EQ(stored("INTERVAL DAY(2) TO SECOND(0)", "INTERVAL '1 02:03:04.5' DAY TO SECOND"),
              "+01 02:03:05");
    EXPECT_EQ(scott.scalar("SELECT TO_DSINTERVAL('1 00:00:00') FROM dual"),
              "+000000001 00:00:00.000000000");
}

TEST_F(temporal_test, datetimes_move_by_intervals_across_months_and_leap_days) {
    // Timestamps defined as text follow the session's format.
    ok("ALTER SESSION SET NLS_TIMESTAMP_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF6'");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"TIMESTAMP '2000-02-28 23:00:00' + INTERVAL '1 01:00:00' DAY TO SECOND",
         "2000-03-01 00:00:00.000000"},
        {"TIMESTAMP '2001-03-01 00:00:00' - INTERVAL '0.000001' SECOND",
         "2001-02-28 23:59:59.999999"},
        {"INTERVAL '-1' DAY + DATE '2000-01-01'", "1999-12-31 00:00:00.000000"},
        {"TIMESTAMP '9999-12-31 23:59:59' + INTERVAL '1' SECOND", "ORA-1841"},
    };
    for (const auto& [expression, expected] : cases) {
        EXPECT_EQ(stored("TIMESTAMP(6)", expression), expected) << expression;
    }
    EXPECT_EQ(ora("SELECT INTERVAL '1' DAY + 1 FROM dual"), 932);
}

TEST_F(temporal_test, intervals_and_timestamps_describe_with_their_precisions) {
    ok("CREATE TABLE d (i INTERVAL DAY(3) TO SECOND(4), t TIMESTAMP(3))");
    OCIStmt* stmt = scott.prepare("SELECT i, t FROM d");
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY),
              OCI_SUCCESS)
        << scott.message();
    struct expected_describe {
        ub2 type;
        sb2 precision;
        sb1 scale;
    };
    const expected_describe want[] = {{SQLT_INTERVAL_DS, 3, 4}, {SQLT_TIMESTAMP, 0, 3}};
    for (ub4 pos = 1; pos <= 2; ++pos) {
        OCIParam* param = nullptr;
        ASSERT_EQ(
            OCIParamGet(stmt, OCI_HTYPE_STMT, scott.err, reinterpret_cast<void**>(&param), pos),
            OCI_SUCCESS);
        ub2 type = 0;
        sb2 precision = -1;
        sb1 scale = -1;
        OCIAttrGet(param, OCI_DTYPE_PARAM, &type, nullptr, OCI_ATTR_DATA_TYPE, scott.err);
        OCIAttrGet(param, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, scott.err);
        OCIAttrGet(param, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, scott.err);
        EXPECT_EQ(type, want[pos - 1].type) << pos;
        EXPECT_EQ(precision, want[pos - 1].precision) << pos;
        EXPECT_EQ(scale, want[pos - 1].scale) << pos;
    }
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(temporal_test, timestamps_keep_exact_fractions_and_round_extra_digits) {
    const std::string fmt = "'YYYY-MM-DD HH24:MI:SS.FF6'";
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"TIMESTAMP(6)", "TO_TIMESTAMP('0001-01-01 00:00:00.000000', " + fmt + ")",
         "0001-01-01 00:00:00.000000"},
        {"TIMESTAMP(6)", "TO_TIMESTAMP('9999-12-31 23:59:59.999999', " + fmt + ")",
         "9999-12-31 23:59:59.999999"},
        {"TIMESTAMP(6)", "TO_TIMESTAMP('2000-01-01 00:00:00.000001', " + fmt + ")",
         "2000-01-01 00:00:00.000001"},
        {"TIMESTAMP(6)", "TO_TIMESTAMP('2000-01-01 00:00:00.1', 'YYYY-MM-DD HH24:MI:SS.FF1')",
         "2000-01-01 00:00:00.100000"},
        {"TIMESTAMP(9)",
         "TO_TIMESTAMP('2000-01-01 00:00:00.123456789', 'YYYY-MM-DD HH24:MI:SS.FF9')",
         "2000-01-01 00:00:00.123456789"},
        {"TIMESTAMP(3)", "TO_TIMESTAMP('2000-01-01 00:00:00.1234995', 'YYYY-MM-DD HH24:MI:SS.FF')",
         "2000-01-01 00:00:00.123000"},
        {"TIMESTAMP(3)", "TO_TIMESTAMP('2000-12-31 23:59:59.9995', 'YYYY-MM-DD HH24:MI:SS.FF')",
         "2001-01-01 00:00:00.000000"},
        {"TIMESTAMP(0)", "TO_TIMESTAMP('2000-02-28 23:59:59.5', 'YYYY-MM-DD HH24:MI:SS.FF')",
         "2000-02-29 00:00:00.000000"},
        {"TIMESTAMP(6)", "TO_TIMESTAMP('0000-01-01 00:00:00.000000', " + fmt + ")", "ORA-1841"},
        {"TIMESTAMP(6)", "TO_TIMESTAMP('2000-13-01 00:00:00.000000', " + fmt + ")", "ORA-1843"},
        {"TIMESTAMP(6)", "TO_TIMESTAMP('2000-01-01 24:00:00.000000', " + fmt + ")", "ORA-1850"},
        {"TIMESTAMP(6)", "TO_TIMESTAMP('2001-02-29 00:00:00.000000', " + fmt + ")", "ORA-1839"},
        {"TIMESTAMP(6)",
         "TO_TIMESTAMP('-4712-01-01 00:00:00.000000', 'SYYYY-MM-DD "
         "HH24:MI:SS.FF6')",
         "-4712-01-01 00:00:00.000000"},
    };
    for (const auto& [type, expression, expected] : cases) {
        std::string got = stored(type, expression);
        if (got.rfind("ORA-", 0) != 0)
            got = scott.scalar("SELECT TO_CHAR(v, 'SYYYY-MM-DD HH24:MI:SS.FF9') FROM probe");
        std::string want = expected;
        if (want.rfind("ORA-", 0) != 0) {
            // SYYYY writes a blank or a minus before the year; FF9 all nine digits.
            want = (want[0] == '-' ? "" : " ") + want;
            if (want.size() - want.rfind('.') == 7)
                want += "000";
        }
        EXPECT_EQ(got, want) << type << " " << expression;
    }
}

TEST_F(temporal_test, current_time_defaults_are_kept_as_written) {
    ok("CREATE TABLE stamped (id NUMBER, a TIMESTAMP(3) DEFAULT SYSTIMESTAMP, "
       "b DATE DEFAULT SYSDATE, c INTERVAL DAY TO SECOND DEFAULT TO_DSINTERVAL('+01 "
       "02:03:04.500000'))");
    ok("ALTER TABLE stamped MODIFY (b DEFAULT SYSTIMESTAMP)");
    ok("INSERT INTO stamped (id) VALUES (1)");
    EXPECT_EQ(scott.rows("SELECT column_name, data_default FROM user_tab_columns WHERE "
                         "table_name = 'STAMPED' AND data_default IS NOT NULL ORDER BY column_id"),
              (rows_t{{"A", "SYSTIMESTAMP"},
                      {"B", "SYSTIMESTAMP"},
                      {"C", "TO_DSINTERVAL('+01 02:03:04.500000')"}}));
    EXPECT_EQ(scott.scalar("SELECT c FROM stamped"), "+01 02:03:04.500000");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM stamped WHERE a > SYSTIMESTAMP - INTERVAL "
                           "'1' MINUTE AND b <= SYSDATE"),
              "1");
}

TEST_F(temporal_test, alter_session_sets_the_nls_parameters_a_client_sets_at_logon) {
    const std::vector<std::pair<std::string, int>> statements = {
        {"ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,'", 0},  // the product's log-on
        {"ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-MM-DD HH24:MI:SS' NLS_TIMESTAMP_FORMAT = "
         "'YYYY-MM-DD HH24:MI:SS.FF6'",
         0},
        {"ALTER SESSION SET NLS_TIMESTAMP_TZ_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF6 TZH:TZM'", 0},
        {"ALTER SESSION SET NLS_LANGUAGE = AMERICAN NLS_TERRITORY = 'AMERICA'", 0},
        {"ALTER SESSION SET NO_SUCH_PARAMETER = 1", 2248},
        {"ALTER SESSION SET NLS_CHARACTERSET = 'UTF8'", 922},
        {"ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '..'", 12705},
        {"ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '1,'", 12705},
        {"ALTER SESSION SET NLS_NUMERIC_CHARACTERS = ','", 12705},
        {"ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY-ZZ'", 1821},
        {"ALTER SESSION SET NLS_LANGUAGE = KLINGON", 12705},
        {"ALTER SESSION SET NLS_DATE_FORMAT", 922},
    };
    for (const auto& [sql, code] : statements) {
        EXPECT_EQ(ora(sql), code) << sql << "\n" << scott.message();
    }
    // A failing setting leaves the ones before it in the statement unset.
    EXPECT_EQ(ora("ALTER SESSION SET NLS_DATE_FORMAT = 'DD.MM.YYYY' NO_SUCH_PARAMETER = 1"), 2248);
    EXPECT_EQ(scott.scalar("SELECT TO_CHAR(DATE '2001-02-03') FROM dual"), "2001-02-03 00:00:00");
}

TEST_F(temporal_test, nls_settings_drive_implicit_conversions_of_their_session_only) {
    ok("CREATE TABLE m (n NUMBER, d DATE, t TIMESTAMP(6))");
    ok("INSERT INTO m (n) VALUES (0)");
    ok("ALTER SESSION SET NLS_NUMERIC_CHARACTERS = ',.' NLS_DATE_FORMAT = 'DD.MM.YYYY HH24:MI' "
       "NLS_TIMESTAMP_FORMAT = 'YYYY-MM-DD HH24:MI:SS.FF3'");
    // ALTER SESSION does not commit: the row goes with the rollback.
    ok("ROLLBACK");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM m"), "0");
    EXPECT_EQ(exec_with_texts("INSERT INTO m VALUES (:1, :2, :3)",
                              {{"-1,5", "03.02.2001 04:05", "2001-02-03 04:05:06.789"}}),
              0)
        << scott.message();
    EXPECT_EQ(exec_with_texts("INSERT INTO m (n) VALUES (:1)", {{"1.5"}}), 1722);
    EXPECT_EQ(scott.rows("SELECT n, d, t, TO_CHAR(n / 4) FROM m"),
              (rows_t{{"-1,5", "03.02.2001 04:05", "2001-02-03 04:05:06.789", "-,375"}}));
    ok("COMMIT");
    // Another session keeps the defaults.
    oci_conn other;
    ASSERT_EQ(other.logon(path, "scott", "tiger"), OCI_SUCCESS);
    EXPECT_EQ(other.rows("SELECT n, d FROM m"), (rows_t{{"-1.5", "03-FEB-01"}}));
}

class extended_strings_test : public temporal_test {
  protected:
    // A second database made with the extended setting, with its own SCOTT.
    void open_extended() {
        extended_path = (dir.path() / "extended.db").string();
        run_result r = run_tool({"create", extended_path, "--max_string_size=extended"});
        ASSERT_EQ(r.status, 0) << r.err;
        oci_conn admin;
        ASSERT_EQ(admin.logon(extended_path, "system", "manager"), OCI_SUCCESS);
        ASSERT_EQ(admin.exec("CREATE USER scott IDENTIFIED BY tiger"), OCI_SUCCESS);
        ASSERT_EQ(admin.exec("GRANT CONNECT, RESOURCE TO scott"), OCI_SUCCESS);
        ASSERT_EQ(admin.exec("GRANT SELECT ANY DICTIONARY TO scott"), OCI_SUCCESS)
            << admin.message();
        ASSERT_EQ(extended.logon(extended_path, "scott", "tiger"), OCI_SUCCESS);
    }
    std::string extended_path;
    oci_conn extended;
};

TEST_F(extended_strings_test, the_setting_decides_the_longest_strings) {
    open_extended();
    const std::vector<std::tuple<std::string, int, int>> declarations = {
        {"VARCHAR2(4000)", 0, 0},       {"VARCHAR2(4001)", 910, 0}, {"VARCHAR2(32767)", 910, 0},
        {"VARCHAR2(32768)", 910, 910},  {"NVARCHAR2(2000)", 0, 0},  {"NVARCHAR2(2001)", 910, 0},
        {"NVARCHAR2(16384)", 910, 910}, {"RAW(2000)", 0, 0},        {"RAW(2001)", 910, 0},
        {"RAW(32767)", 910, 0},         {"RAW(32768)", 910, 910},   {"CHAR(2001)", 910, 910},
    };
    for (const auto& [type, standard, extended_code] : declarations) {
        EXPECT_EQ(ora("CREATE TABLE s (v " + type + ")"), standard) << type;
        EXPECT_EQ(extended.code_of("CREATE TABLE s (v " + type + ")"), extended_code) << type;
        ora("DROP TABLE s PURGE");
        extended.code_of("DROP TABLE s PURGE");
    }
    EXPECT_EQ(extended.code_of("CREATE TABLE w (v VARCHAR2(10000 CHAR))"), 0);
    EXPECT_EQ(extended.scalar("SELECT data_length FROM user_tab_columns WHERE table_name = 'W'"),
              "32767");
    // 9000 characters of three bytes: more than standard's 4000 bytes, within 32767.
    std::string euros;
    for (int i = 0; i < 9000; ++i) euros += "\xE2\x82\xAC";
    OCIStmt* stmt = extended.prepare("INSERT INTO w VALUES (:1)");
    std::u16string text = u16(euros);
    OCIBind* bind = nullptr;
    OCIBindByPos(stmt, &bind, extended.err, 1, text.data(), static_cast<sb4>(text.size() * 2),
                 SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    EXPECT_EQ(OCIStmtExecute(extended.svc, stmt, extended.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << extended.message();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_EQ(extended.rows("SELECT LENGTH(v), LENGTHB(v) FROM w"), (rows_t{{"9000", "27000"}}));
}

TEST_F(extended_strings_test, v_parameter_answers_the_setting_to_those_who_may_read_it) {
    open_extended();
    const std::string query = "SELECT value FROM v$parameter WHERE name = 'max_string_size'";
    EXPECT_EQ(extended.scalar(query), "EXTENDED");
    EXPECT_EQ(system_conn.scalar(query), "STANDARD");
    EXPECT_EQ(ora(query), 942);  // SCOTT of the standard database has no dictionary privilege
    // The bind limit for a text into a VARCHAR2 follows the setting.
    ok("CREATE TABLE b (v VARCHAR2(4000))");
    EXPECT_EQ(extended.code_of("CREATE TABLE b (v VARCHAR2(32767))"), 0);
    const std::string long_text(5000, 'x');
    EXPECT_EQ(exec_with_texts("INSERT INTO b VALUES (:1)", {{long_text}}), 1461);
    OCIStmt* stmt = extended.prepare("INSERT INTO b VALUES (:1)");
    std::u16string text = u16(long_text);
    OCIBind* bind = nullptr;
    OCIBindByPos(stmt, &bind, extended.err, 1, text.data(), static_cast<sb4>(text.size() * 2),
                 SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    EXPECT_EQ(OCIStmtExecute(extended.svc, stmt, extended.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << extended.message();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_EQ(extended.scalar("SELECT LENGTH(v) FROM b"), "5000");
}

TEST_F(temporal_test, numbers_stop_at_oracles_range_in_every_form) {
    ok("CREATE TABLE big (v NUMBER)");
    const std::string nines = "9." + std::string(37, '9') + "e125";
    const std::vector<std::pair<std::string, int>> literals = {
        {nines, 0},        {"-" + nines, 0},   {"1e126", 1426}, {"-1e126", 1426},
        {"'1e126'", 1426}, {"'-1E126'", 1426}, {"1e-131", 0},
    };
    for (const auto& [literal, code] : literals) {
        EXPECT_EQ(ora("INSERT INTO big VALUES (" + literal + ")"), code) << literal;
    }
    EXPECT_EQ(exec_with_texts("INSERT INTO big VALUES (:1)", {{"1e126"}}), 1426);
    EXPECT_EQ(exec_with_texts("INSERT INTO big VALUES (:1)", {{"1e-130"}}), 0);
    // Doubles: the one nearest 1e126 lies below it and fits; the next one does not.
    const double below = 1e126;
    const double above = std::nextafter(1e126, INFINITY);
    for (ub2 type : {static_cast<ub2>(SQLT_FLT), static_cast<ub2>(SQLT_BDOUBLE)}) {
        for (double x : {below, above, -above}) {
            OCIStmt* stmt = scott.prepare("INSERT INTO big VALUES (:1)");
            OCIBind* bind = nullptr;
            OCIBindByPos(stmt, &bind, scott.err, 1, const_cast<double*>(&x), sizeof x, type,
                         nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
            sword rc =
                OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
            EXPECT_EQ(rc == OCI_SUCCESS ? 0 : scott.code(), x == below ? 0 : 1426) << x;
            OCIHandleFree(stmt, OCI_HTYPE_STMT);
        }
    }
    EXPECT_EQ(scott.rows("SELECT COUNT(*), MIN(ABS(v)) FROM big"), (rows_t{{"6", "0"}}));
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM big WHERE v = " + nines), "1");
}

}  // namespace
}  // namespace oralite_test

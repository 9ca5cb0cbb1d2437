// The rest of the OCI surface: array fetches, the external types beyond the product's, ROWID
// descriptors, RETURNING into LOB locators, explicit sessions, UTF-8 environments, and several
// processes writing one database.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

class interface_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ok("CREATE TABLE n (id NUMBER(5) PRIMARY KEY, v NUMBER, s VARCHAR2(10), c CHAR(5), "
           "r RAW(4))");
        for (int i = 1; i <= 7; ++i) {
            ok("INSERT INTO n VALUES (" + std::to_string(i) + ", " + std::to_string(i) +
               ".5, 'row" + std::to_string(i) + "', 'c" + std::to_string(i) + "', HEXTORAW('0" +
               std::to_string(i) + "'))");
        }
        ASSERT_EQ(OCITransCommit(scott.svc, scott.err, OCI_DEFAULT), OCI_SUCCESS);
    }
};

TEST_F(interface_test, array_fetch_counts_rows_and_ends_with_no_data) {
    OCIStmt* stmt = scott.prepare("SELECT id FROM n ORDER BY id");
    int32_t ids[3] = {};
    sb2 ind[3] = {};
    OCIDefine* def = nullptr;
    OCIDefineByPos(stmt, &def, scott.err, 1, ids, sizeof ids[0], SQLT_INT, ind, nullptr, nullptr,
                   OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 0, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    std::vector<int> seen;
    sword rc;
    do {
        rc = OCIStmtFetch2(stmt, scott.err, 3, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
        ub4 fetched = 0;
        OCIAttrGet(stmt, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, scott.err);
        for (ub4 i = 0; i < fetched; ++i) seen.push_back(ids[i]);
    } while (rc == OCI_SUCCESS);
    EXPECT_EQ(rc, OCI_NO_DATA);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    ub4 total = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &total, nullptr, OCI_ATTR_ROW_COUNT, scott.err);
    EXPECT_EQ(total, 7u);
    EXPECT_EQ(OCIStmtFetch2(stmt, scott.err, 1, OCI_FETCH_PRIOR, 0, OCI_DEFAULT), OCI_ERROR);
    // An exact fetch of fewer rows than there are is an error.
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 2, 0, nullptr, nullptr, OCI_EXACT_FETCH),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 1422);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(interface_test, external_types_convert_both_ways) {
    OCIStmt* stmt = scott.prepare("SELECT v, v, c, c, s, r, id FROM n WHERE id = 3");
    unsigned char num[22] = {};
    ub2 num_len = 0;
    unsigned char vnu[22] = {};
    char16_t afc[8];
    char16_t chr[8];
    ub2 chr_len = 0;
    char16_t vcs[10];
    unsigned char lvb[12];
    double dbl = 0;
    OCIDefine* def = nullptr;
    OCIDefineByPos(stmt, &def, scott.err, 1, num, sizeof num, SQLT_NUM, nullptr, &num_len, nullptr,
                   OCI_DEFAULT);
    OCIDefineByPos(stmt, &def, scott.err, 2, vnu, sizeof vnu, SQLT_VNU, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    OCIDefineByPos(stmt, &def, scott.err, 3, afc, sizeof afc, SQLT_AFC, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    OCIDefineByPos(stmt, &def, scott.err, 4, chr, sizeof chr, SQLT_CHR, nullptr, &chr_len, nullptr,
                   OCI_DEFAULT);
    OCIDefineByPos(stmt, &def, scott.err, 5, vcs, sizeof vcs, SQLT_VCS, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    OCIDefineByPos(stmt, &def, scott.err, 6, lvb, sizeof lvb, SQLT_LVB, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    OCIDefineByPos(stmt, &def, scott.err, 7, &dbl, sizeof dbl, SQLT_FLT, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << scott.message();
    EXPECT_EQ(num_len, 3);  // 3.5 = C1 04 33
    EXPECT_EQ(num[0], 0xC1);
    EXPECT_EQ(num[1], 0x04);
    EXPECT_EQ(num[2], 0x33);
    EXPECT_EQ(vnu[0], 3);
    EXPECT_EQ(vnu[1], 0xC1);
    EXPECT_EQ(u8(std::u16string(afc, 8)), "c3      ");  // CHAR buffers are blank-padded
    EXPECT_EQ(chr_len, 10);
    EXPECT_EQ(u8(std::u16string(chr, chr_len / 2)), "c3   ");
    ub2 vcs_len = 0;
    std::memcpy(&vcs_len, vcs, 2);
    EXPECT_EQ(vcs_len, 8);
    EXPECT_EQ(u8(std::u16string(vcs + 1, 4)), "row3");
    sb4 lvb_len = 0;
    std::memcpy(&lvb_len, lvb, 4);
    EXPECT_EQ(lvb_len, 1);
    EXPECT_EQ(lvb[4], 0x03);
    EXPECT_EQ(dbl, 3.0);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);

    // The same forms as binds.
    stmt = scott.prepare("INSERT INTO n (id, v, s) VALUES (:1, :2, :3)");
    unsigned char id_num[] = {0xC1, 0x15};          // 20
    unsigned char v_vnu[] = {3, 0x3E, 0x64, 0x66};  // -1
    char16_t s_vcs[] = {6, u'x', u'y', u'z'};
    OCIBind* b = nullptr;
    OCIBindByPos(stmt, &b, scott.err, 1, id_num, sizeof id_num, SQLT_NUM, nullptr, nullptr, nullptr,
                 0, nullptr, OCI_DEFAULT);
    OCIBindByPos(stmt, &b, scott.err, 2, v_vnu, sizeof v_vnu, SQLT_VNU, nullptr, nullptr, nullptr,
                 0, nullptr, OCI_DEFAULT);
    OCIBindByPos(stmt, &b, scott.err, 3, s_vcs, sizeof s_vcs, SQLT_VCS, nullptr, nullptr, nullptr,
                 0, nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << scott.message();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_EQ(scott.rows("SELECT v, s FROM n WHERE id = 20"), (rows_t{{"-1", "xyz"}}));
    // A number that does not fit the integer buffer is an error, not a wrapped value.
    stmt = scott.prepare("SELECT 70000 FROM dual");
    int16_t small = 0;
    OCIDefineByPos(stmt, &def, scott.err, 1, &small, sizeof small, SQLT_INT, nullptr, nullptr,
                   nullptr, OCI_DEFAULT);
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 1455);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
}

TEST_F(interface_test, rowid_descriptors_and_statement_attributes) {
    const std::pair<const char*, ub2> types[] = {
        {"SELECT 1 FROM dual", OCI_STMT_SELECT},
        {"  (SELECT 1 FROM dual)", OCI_STMT_SELECT},
        {"UPDATE n SET v = 1", OCI_STMT_UPDATE},
        {"DELETE FROM n", OCI_STMT_DELETE},
        {"/* hint */ INSERT INTO n VALUES (1)", OCI_STMT_INSERT},
        {"CREATE TABLE x (a NUMBER)", OCI_STMT_CREATE},
        {"drop table x", OCI_STMT_DROP},
        {"ALTER TABLE x ADD (b NUMBER)", OCI_STMT_ALTER},
        {"BEGIN NULL; END;", OCI_STMT_BEGIN},
        {"GRANT CONNECT TO x", 0},
    };
    for (const auto& [sql, type] : types) {
        OCIStmt* stmt = scott.prepare(sql);
        ub2 got = 99;
        EXPECT_EQ(OCIAttrGet(stmt, OCI_HTYPE_STMT, &got, nullptr, OCI_ATTR_STMT_TYPE, scott.err),
                  OCI_SUCCESS);
        EXPECT_EQ(got, type) << sql;
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
    }
    OCIStmt* stmt = scott.prepare("INSERT INTO n (id) VALUES (30)");
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    OCIRowid* rowid = nullptr;
    ASSERT_EQ(OCIDescriptorAlloc(scott.env, reinterpret_cast<void**>(&rowid), OCI_DTYPE_ROWID, 0,
                                 nullptr),
              OCI_SUCCESS);
    EXPECT_EQ(OCIAttrGet(stmt, OCI_HTYPE_STMT, rowid, nullptr, OCI_ATTR_ROWID, scott.err),
              OCI_SUCCESS);
    char16_t text[20];
    ub2 len = sizeof text;
    ASSERT_EQ(OCIRowidToChar(rowid, reinterpret_cast<OraText*>(text), &len, scott.err),
              OCI_SUCCESS);
    EXPECT_EQ(len, 36);
    std::string rowid_text = u8(std::u16string(text, len / 2));
    EXPECT_EQ(scott.scalar("SELECT id FROM n WHERE ROWID = '" + rowid_text + "'"), "30");
    ub2 too_small = 10;
    EXPECT_EQ(OCIRowidToChar(rowid, reinterpret_cast<OraText*>(text), &too_small, scott.err),
              OCI_ERROR);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    // A ROWID fetched into a descriptor, and bound back.
    stmt = scott.prepare("SELECT ROWID FROM n WHERE id = 2");
    OCIRowid* fetched = nullptr;
    OCIDescriptorAlloc(scott.env, reinterpret_cast<void**>(&fetched), OCI_DTYPE_ROWID, 0, nullptr);
    OCIDefine* def = nullptr;
    OCIDefineByPos(stmt, &def, scott.err, 1, &fetched, sizeof fetched, SQLT_RDD, nullptr, nullptr,
                   nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << scott.message();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    stmt = scott.prepare("SELECT s FROM n WHERE ROWID = :r");
    OCIBind* bind = nullptr;
    OCIBindByPos(stmt, &bind, scott.err, 1, &fetched, sizeof fetched, SQLT_RDD, nullptr, nullptr,
                 nullptr, 0, nullptr, OCI_DEFAULT);
    char16_t s[16];
    OCIDefineByPos(stmt, &def, scott.err, 1, s, sizeof s, SQLT_STR, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << scott.message();
    EXPECT_EQ(u8(s), "row2");
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    OCIDescriptorFree(rowid, OCI_DTYPE_ROWID);
    OCIDescriptorFree(fetched, OCI_DTYPE_ROWID);
}

TEST_F(interface_test, returning_into_binds_and_lob_locators) {
    ok("CREATE TABLE doc (id NUMBER, body CLOB)");
    OCIStmt* stmt = scott.prepare(
        "INSERT INTO doc VALUES (:id, EMPTY_CLOB()) RETURNING body, id * 2 INTO :lob, :twice");
    OCILobLocator* lob = nullptr;
    OCIDescriptorAlloc(scott.env, reinterpret_cast<void**>(&lob), OCI_DTYPE_LOB, 0, nullptr);
    int32_t id = 21, twice = 0;
    OCIBind* b = nullptr;
    std::u16string n1 = u16(":id"), n2 = u16(":LOB"), n3 = u16(":twice");
    OCIBindByName(stmt, &b, scott.err, text(n1), bytes(n1), &id, sizeof id, SQLT_INT, nullptr,
                  nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    OCIBindByName(stmt, &b, scott.err, text(n2), bytes(n2), &lob, sizeof lob, SQLT_CLOB, nullptr,
                  nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    OCIBindByName(stmt, &b, scott.err, text(n3), bytes(n3), &twice, sizeof twice, SQLT_INT, nullptr,
                  nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << scott.message();
    EXPECT_EQ(twice, 42);
    ub1 is_returning = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &is_returning, nullptr, OCI_ATTR_STMT_IS_RETURNING, scott.err);
    EXPECT_EQ(is_returning, 1);
    std::u16string body = u"returned locator";
    ub4 amount = static_cast<ub4>(body.size());
    ASSERT_EQ(OCILobWrite(scott.svc, scott.err, lob, &amount, 1, body.data(), bytes(body),
                          OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              OCI_SUCCESS)
        << scott.message();
    ASSERT_EQ(OCITransCommit(scott.svc, scott.err, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(scott.scalar("SELECT body FROM doc WHERE id = 21"), "returned locator");
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    OCIDescriptorFree(lob, OCI_DTYPE_LOB);
}

TEST_F(interface_test, explicit_server_session_and_a_utf8_environment) {
    OCIEnv* env = nullptr;
    ASSERT_EQ(OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
              OCI_SUCCESS);
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISvcCtx* svc = nullptr;
    OCISession* usr = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&srv), OCI_HTYPE_SERVER, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
    OCIHandleAlloc(env, reinterpret_cast<void**>(&usr), OCI_HTYPE_SESSION, 0, nullptr);
    auto t = [](const std::string& s) { return reinterpret_cast<const OraText*>(s.data()); };
    std::string bad = "no_such_database";
    EXPECT_EQ(OCIServerAttach(srv, err, t(bad), static_cast<sb4>(bad.size()), OCI_DEFAULT),
              OCI_ERROR);
    ASSERT_EQ(OCIServerAttach(srv, err, t(path), static_cast<sb4>(path.size()), OCI_DEFAULT),
              OCI_SUCCESS);
    OCIAttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
    std::string user = "scott", password = "tiger";
    OCIAttrSet(usr, OCI_HTYPE_SESSION, const_cast<char*>(user.data()),
               static_cast<ub4>(user.size()), OCI_ATTR_USERNAME, err);
    OCIAttrSet(usr, OCI_HTYPE_SESSION, const_cast<char*>(password.data()),
               static_cast<ub4>(password.size()), OCI_ATTR_PASSWORD, err);
    ASSERT_EQ(OCISessionBegin(svc, err, usr, OCI_CRED_RDBMS, OCI_DEFAULT), OCI_SUCCESS);
    OCIAttrSet(svc, OCI_HTYPE_SVCCTX, usr, 0, OCI_ATTR_SESSION, err);

    OCIStmt* stmt = nullptr;
    OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    std::string sql = "SELECT 'Grüße ' || s FROM n WHERE id = 1";
    OCIStmtPrepare(stmt, err, t(sql), static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
    char out[32] = {};
    OCIDefine* def = nullptr;
    OCIDefineByPos(stmt, &def, err, 1, out, sizeof out, SQLT_STR, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_STREQ(out, "Grüße row1");
    OCIParam* param = nullptr;
    OCIParamGet(stmt, OCI_HTYPE_STMT, err, reinterpret_cast<void**>(&param), 1);
    OraText* name = nullptr;
    ub4 name_len = 0;
    OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &name_len, OCI_ATTR_NAME, err);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name), name_len), "'GRÜßE '||S");
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    // Errors come in UTF-8 too.
    std::string broken = "SELECT FROM";
    OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    OCIStmtPrepare(stmt, err, t(broken), static_cast<ub4>(broken.size()), OCI_NTV_SYNTAX,
                   OCI_DEFAULT);
    EXPECT_EQ(OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_ERROR);
    char message[128] = {};
    sb4 code = 0;
    OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(message), sizeof message,
                OCI_HTYPE_ERROR);
    EXPECT_STREQ(message, "ORA-00936: missing expression\n");
    EXPECT_EQ(OCISessionEnd(svc, err, usr, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(OCIServerDetach(srv, err, OCI_DEFAULT), OCI_SUCCESS);
    // Freeing the environment frees every handle made from it.
    EXPECT_EQ(OCIHandleFree(env, OCI_HTYPE_ENV), OCI_SUCCESS);
    EXPECT_EQ(OCIHandleFree(stmt, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);
    EXPECT_EQ(OCIHandleFree(err, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);
}

TEST_F(interface_test, processes_writing_at_once_lose_nothing) {
    ok("CREATE TABLE log (p NUMBER, i NUMBER)");
    oci_conn reader;
    ASSERT_EQ(reader.logon(path, "scott", "tiger"), OCI_SUCCESS);
    constexpr int k_processes = 3;
    constexpr int k_rows = 300;
    std::vector<pid_t> children;
    for (int p = 0; p < k_processes; ++p) {
        pid_t pid = fork();
        if (pid == 0) {
            oci_conn c;
            if (c.logon(path, "scott", "tiger") != OCI_SUCCESS)
                _exit(2);
            for (int i = 0; i < k_rows; ++i) {
                std::string sql =
                    "INSERT INTO log VALUES (" + std::to_string(p) + ", " + std::to_string(i) + ")";
                if (c.exec(sql, OCI_COMMIT_ON_SUCCESS) != OCI_SUCCESS)
                    _exit(3);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(reader.scalar("SELECT COUNT(*) FROM log"), std::to_string(k_processes * k_rows));
    EXPECT_EQ(reader.scalar("SELECT COUNT(*) FROM (SELECT DISTINCT p, i FROM log)"),
              std::to_string(k_processes * k_rows));
    // A table made by another session is seen by one that was already logged on.
    oci_conn other;
    ASSERT_EQ(other.logon(path, "scott", "tiger"), OCI_SUCCESS);
    EXPECT_EQ(ora(reader, "SELECT * FROM later"), 942);
    ok(other, "CREATE TABLE later (x NUMBER)");
    EXPECT_EQ(ora(reader, "SELECT * FROM later"), 0);
}

}  // namespace
}  // namespace oralite_test

// Helpers for driving liboralite.so through the OCI calls the way the Oracle destination does:
// a UTF-16 environment, byte lengths, one statement handle per statement, OCIErrorGet for
// every failure. Databases are made with the oralite tool, run as a process.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "oci/oci.h"
#include "platform/codepage.h"
#include "test_support/temp_dir.h"

namespace oralite_test {

// Conversions of the product's own code-page layer, not oralite's, so that the tests check the
// library's text handling against an independent implementation.
inline std::u16string u16(std::string_view s) {
    return platform::wide_to_utf16(platform::utf8_to_wide(s));
}

inline std::string u8(std::u16string_view s) {
    return platform::wide_to_utf8(platform::utf16_to_wide(s));
}

inline const OraText* text(const std::u16string& s) {
    return reinterpret_cast<const OraText*>(s.data());
}
inline ub4 bytes(const std::u16string& s) {
    return static_cast<ub4>(s.size() * 2);
}

inline std::string bin_dir() {
    const char* dir = std::getenv("TARVOLIN_BIN_DIR");
    return dir ? dir : "bin";
}

struct run_result {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the oralite tool with arguments and standard input; collects its output.
inline run_result run_tool(const std::vector<std::string>& args, const std::string& input = "") {
    test_support::temp_dir scratch;
    std::string in_path = (scratch.path() / "in").string();
    std::string out_path = (scratch.path() / "out").string();
    std::string err_path = (scratch.path() / "err").string();
    std::ofstream(in_path) << input;
    pid_t pid = fork();
    if (pid == 0) {
        if (!freopen(in_path.c_str(), "r", stdin) || !freopen(out_path.c_str(), "w", stdout) ||
            !freopen(err_path.c_str(), "w", stderr)) {
            _exit(127);
        }
        std::vector<std::string> all{bin_dir() + "/oralite"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    run_result r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::stringstream out, err;
    out << std::ifstream(out_path).rdbuf();
    err << std::ifstream(err_path).rdbuf();
    r.out = out.str();
    r.err = err.str();
    return r;
}

// One connection made the way the product makes it.
class oci_conn {
  public:
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISvcCtx* svc = nullptr;

    oci_conn() {
        EXPECT_EQ(OCIEnvCreate(&env, OCI_UTF16, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
                  OCI_SUCCESS);
        EXPECT_EQ(OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr),
                  OCI_SUCCESS);
        EXPECT_EQ(OCIHandleAlloc(env, reinterpret_cast<void**>(&srv), OCI_HTYPE_SERVER, 0, nullptr),
                  OCI_SUCCESS);
        std::u16string empty;
        EXPECT_EQ(OCIServerAttach(srv, err, text(empty), 0, OCI_DEFAULT), OCI_SUCCESS);
    }

    ~oci_conn() {
        if (svc)
            OCILogoff(svc, err);
        OCIServerDetach(srv, err, OCI_DEFAULT);
        OCIHandleFree(env, OCI_HTYPE_ENV);
    }

    oci_conn(const oci_conn&) = delete;
    oci_conn& operator=(const oci_conn&) = delete;

    sword logon(const std::string& db, const std::string& user, const std::string& password) {
        OCISvcCtx* fresh = nullptr;
        OCIHandleAlloc(env, reinterpret_cast<void**>(&fresh), OCI_HTYPE_SVCCTX, 0, nullptr);
        OCIAttrSet(fresh, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
        std::u16string u = u16(user), p = u16(password), d = u16(db);
        OCISvcCtx* logged = fresh;
        sword rc =
            OCILogon(env, err, &logged, text(u), bytes(u), text(p), bytes(p), text(d), bytes(d));
        OCIHandleFree(fresh, OCI_HTYPE_SVCCTX);
        if (rc == OCI_SUCCESS)
            svc = logged;
        return rc;
    }

    sword logoff() {
        sword rc = OCILogoff(svc, err);
        svc = nullptr;
        return rc;
    }

    int code() const {
        sb4 code = 0;
        char16_t buf[256] = {};
        OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                    OCI_HTYPE_ERROR);
        return code;
    }

    std::string message() const {
        sb4 code = 0;
        char16_t buf[512] = {};
        if (OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                        OCI_HTYPE_ERROR) != OCI_SUCCESS) {
            return "";
        }
        std::string m = u8(buf);
        while (!m.empty() && (m.back() == '\n' || m.back() == ' ')) m.pop_back();
        return m;
    }

    OCIStmt* prepare(const std::string& sql) {
        OCIStmt* stmt = nullptr;
        OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
        std::u16string s = u16(sql);
        EXPECT_EQ(OCIStmtPrepare(stmt, err, text(s), bytes(s), OCI_NTV_SYNTAX, OCI_DEFAULT),
                  OCI_SUCCESS);
        return stmt;
    }

    // Prepares and executes once on a fresh statement, as ora_database::query does.
    sword exec(const std::string& sql, ub4 mode = OCI_DEFAULT, ub4 iters = 1) {
        OCIStmt* stmt = prepare(sql);
        sword rc = OCIStmtExecute(svc, stmt, err, iters, 0, nullptr, nullptr, mode);
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        return rc;
    }

    // All rows of a query as texts (SQLT_STR in UTF-16); NULL as "<NULL>".
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        std::vector<std::vector<std::string>> out;
        OCIStmt* stmt = prepare(sql);
        sword rc = OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        if (rc != OCI_SUCCESS) {
            ADD_FAILURE() << sql << ": " << message();
            OCIHandleFree(stmt, OCI_HTYPE_STMT);
            return out;
        }
        ub4 count = 0;
        OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
        constexpr size_t k_size = 16384;
        std::vector<std::vector<char16_t>> buffers(count, std::vector<char16_t>(k_size / 2));
        std::vector<sb2> ind(count);
        for (ub4 i = 0; i < count; ++i) {
            OCIDefine* def = nullptr;
            OCIDefineByPos(stmt, &def, err, i + 1, buffers[i].data(), k_size, SQLT_STR, &ind[i],
                           nullptr, nullptr, OCI_DEFAULT);
        }
        while ((rc = OCIStmtFetch(stmt, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT)) == OCI_SUCCESS ||
               rc == OCI_SUCCESS_WITH_INFO) {
            std::vector<std::string> row;
            for (ub4 i = 0; i < count; ++i) {
                row.push_back(ind[i] == -1 ? "<NULL>" : u8(buffers[i].data()));
            }
            out.push_back(row);
        }
        if (rc != OCI_NO_DATA)
            ADD_FAILURE() << sql << ": " << message();
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        return out;
    }

    // Runs a statement as the product would and returns the ORA number (0 on success,
    // minus the number for a warning); a query is executed and fetched to its end.
    int code_of(const std::string& sql, ub4 mode = OCI_DEFAULT) {
        std::string head = sql.substr(0, 6);
        for (char& ch : head) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (head != "SELECT" || mode != OCI_DEFAULT) {
            sword rc = exec(sql, mode);
            if (rc == OCI_SUCCESS)
                return 0;
            if (rc == OCI_SUCCESS_WITH_INFO)
                return -code();
            return code();
        }
        OCIStmt* stmt = prepare(sql);
        sword rc = OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        if (rc == OCI_SUCCESS) {
            ub4 count = 0;
            OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, err);
            std::vector<std::vector<char16_t>> buffers(count, std::vector<char16_t>(4096));
            std::vector<sb2> ind(count);
            for (ub4 i = 0; i < count; ++i) {
                OCIDefine* def = nullptr;
                OCIDefineByPos(stmt, &def, err, i + 1, buffers[i].data(), 8192, SQLT_STR, &ind[i],
                               nullptr, nullptr, OCI_DEFAULT);
            }
            while ((rc = OCIStmtFetch(stmt, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT)) == OCI_SUCCESS) {
            }
        }
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        if (rc == OCI_SUCCESS || rc == OCI_NO_DATA)
            return 0;
        return code();
    }

    std::string scalar(const std::string& sql) {
        auto r = rows(sql);
        return r.empty() || r[0].empty() ? "<NO ROW>" : r[0][0];
    }
};

// One failed row of an execute with OCI_BATCH_ERRORS: its offset, ORA number and message.
struct batch_error {
    ub4 offset = 0;
    int code = 0;
    std::string message;
};

// The failed rows of the last execute on `c`, read as the product reads them: OCIParamGet on
// its error handle into `row_err` (null: into handles oralite makes).
inline std::vector<batch_error> batch_errors(oci_conn& c, OCIStmt* stmt, OCIError* row_err) {
    ub4 count = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_NUM_DML_ERRORS, c.err);
    std::vector<batch_error> out;
    for (ub4 i = 0; i < count; ++i) {
        EXPECT_EQ(OCIParamGet(c.err, OCI_HTYPE_ERROR, c.err, reinterpret_cast<void**>(&row_err), i),
                  OCI_SUCCESS);
        batch_error e;
        OCIAttrGet(row_err, OCI_HTYPE_ERROR, &e.offset, nullptr, OCI_ATTR_DML_ROW_OFFSET, c.err);
        sb4 code = 0;
        char16_t buf[256] = {};
        OCIErrorGet(row_err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                    OCI_HTYPE_ERROR);
        e.code = code;
        e.message = u8(buf);
        out.push_back(e);
    }
    OCIError* beyond = row_err;
    EXPECT_EQ(OCIParamGet(c.err, OCI_HTYPE_ERROR, c.err, reinterpret_cast<void**>(&beyond), count),
              OCI_ERROR);
    return out;
}

// The ROWID a statement executed last gives through OCI_ATTR_ROWID, as text.
inline std::string rowid_of(oci_conn& c, OCIStmt* stmt) {
    OCIRowid* rowid = nullptr;
    OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&rowid), OCI_DTYPE_ROWID, 0, nullptr);
    EXPECT_EQ(OCIAttrGet(stmt, OCI_HTYPE_STMT, rowid, nullptr, OCI_ATTR_ROWID, c.err), OCI_SUCCESS);
    char16_t text[20];
    ub2 len = sizeof text;
    EXPECT_EQ(OCIRowidToChar(rowid, reinterpret_cast<OraText*>(text), &len, c.err), OCI_SUCCESS);
    OCIDescriptorFree(rowid, OCI_DTYPE_ROWID);
    EXPECT_EQ(len, 36);
    return u8(std::u16string(text, len / 2));
}

// A fresh database with the user SCOTT (CONNECT, RESOURCE) and a connection of each.
class database_test : public ::testing::Test {
  protected:
    void SetUp() override {
        path = (dir.path() / "test.db").string();
        run_result r = run_tool({"create", path});
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_EQ(system_conn.logon(path, "system", "manager"), OCI_SUCCESS)
            << system_conn.message();
        ASSERT_EQ(system_conn.exec("CREATE USER scott IDENTIFIED BY tiger"), OCI_SUCCESS)
            << system_conn.message();
        ASSERT_EQ(system_conn.exec("GRANT CONNECT, RESOURCE TO scott"), OCI_SUCCESS)
            << system_conn.message();
        ASSERT_EQ(scott.logon(path, "scott", "tiger"), OCI_SUCCESS) << scott.message();
    }

    // Executes and expects success.
    void ok(oci_conn& c, const std::string& sql) {
        sword rc = c.exec(sql);
        EXPECT_TRUE(rc == OCI_SUCCESS) << sql << "\n" << c.message();
    }
    void ok(const std::string& sql) { ok(scott, sql); }
    // Executes and returns the ORA number (0 on success).
    int ora(oci_conn& c, const std::string& sql, ub4 mode = OCI_DEFAULT) {
        return c.code_of(sql, mode);
    }
    int ora(const std::string& sql) { return ora(scott, sql); }

    test_support::temp_dir dir;
    std::string path;
    oci_conn system_conn;
    oci_conn scott;
};

}  // namespace oralite_test

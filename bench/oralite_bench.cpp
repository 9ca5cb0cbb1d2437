// Prints insert throughput of liboralite.so: statements per second for single-row INSERTs
// with commit (each with its own text and a RETURNING ROWID bind, as the product writes
// them), rows per second for one prepared INSERT executed per row with binds and for array
// INSERTs (among them one with every value bound as UTF-16 text by position, dates through
// TO_DATE; driver_bench's write floor binds as the product does), and MB/s for LOB writes and
// reads through locators.
//
//   oralite_bench [ROWS] [LOB_MB]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "oci/oci.h"
#include "oralite/database.h"
#include "test_support/temp_dir.h"

namespace {

std::u16string u16(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}
const OraText* txt(const std::u16string& s) {
    return reinterpret_cast<const OraText*>(s.data());
}
ub4 len(const std::u16string& s) {
    return static_cast<ub4>(s.size() * 2);
}

struct conn {
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCISvcCtx* svc = nullptr;

    explicit conn(const std::string& path) {
        OCIEnvCreate(&env, OCI_UTF16, nullptr, nullptr, nullptr, nullptr, 0, nullptr);
        OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
        std::u16string u = u16("system"), p = u16("manager"), d = u16(path);
        if (OCILogon(env, err, &svc, txt(u), len(u), txt(p), len(p), txt(d), len(d)) !=
            OCI_SUCCESS) {
            fail("logon");
        }
    }
    ~conn() {
        OCILogoff(svc, err);
        OCIHandleFree(env, OCI_HTYPE_ENV);
    }
    [[noreturn]] void fail(const char* what) {
        char16_t buf[256] = {};
        sb4 code = 0;
        OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf), sizeof buf,
                    OCI_HTYPE_ERROR);
        std::string m;
        for (char16_t c : buf) {
            if (!c)
                break;
            m.push_back(static_cast<char>(c));
        }
        std::fprintf(stderr, "%s failed: %s", what, m.c_str());
        std::exit(1);
    }
    OCIStmt* prepare(const std::string& sql) {
        OCIStmt* stmt = nullptr;
        OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
        std::u16string s = u16(sql);
        if (OCIStmtPrepare(stmt, err, txt(s), len(s), OCI_NTV_SYNTAX, OCI_DEFAULT) != OCI_SUCCESS) {
            fail("prepare");
        }
        return stmt;
    }
    void exec(const std::string& sql, ub4 mode = OCI_DEFAULT) {
        OCIStmt* stmt = prepare(sql);
        if (OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, mode) != OCI_SUCCESS) {
            fail(sql.c_str());
        }
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
    }
};

struct rowid_out {
    char16_t text[256];
    ub4 length = 512;
};

sb4 in_cb(void*, OCIBind*, ub4, ub4, void** buf, ub4* alen, ub1* piece, void** ind) {
    *buf = nullptr;
    *alen = 0;
    *piece = OCI_ONE_PIECE;
    *ind = nullptr;
    return OCI_CONTINUE;
}

sb4 out_cb(void* ctx, OCIBind*, ub4, ub4, void** buf, ub4** alen, ub1* piece, void** ind,
           ub2** rcode) {
    auto* r = static_cast<rowid_out*>(ctx);
    r->length = sizeof r->text;
    *buf = r->text;
    *alen = &r->length;
    *piece = OCI_ONE_PIECE;
    *ind = nullptr;
    *rcode = nullptr;
    return OCI_CONTINUE;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    long rows = argc > 1 ? std::atol(argv[1]) : 20000;
    long lob_mb = argc > 2 ? std::atol(argv[2]) : 64;
    test_support::temp_dir dir;
    std::string path = (dir.path() / "bench.db").string();
    oralite::create_database(path, {});
    conn c(path);
    c.exec(
        "CREATE TABLE \"items\" (\"id\" NUMBER(11,0), \"name\" VARCHAR2(40), "
        "\"price\" NUMBER(10,2), \"created\" DATE, \"note\" CLOB, \"pic\" BLOB)");

    // 1. The product's path: a new text per row, RETURNING ROWID, commit on success.
    auto start = std::chrono::steady_clock::now();
    rowid_out out;
    for (long i = 0; i < rows; ++i) {
        OCIStmt* stmt =
            c.prepare("INSERT /*+ APPEND */ INTO \"items\" VALUES(" + std::to_string(i) +
                      ", 'item name " + std::to_string(i) + "', " + std::to_string(i % 1000) +
                      ".25, to_date('2024-05-17 13:45:09', 'YYYY-MM-DD HH24:MI:SS'), NULL, NULL) "
                      "RETURNING ROWID INTO :1");
        OCIBind* bind = nullptr;
        std::u16string name = u16(":1");
        OCIBindByName(stmt, &bind, c.err, txt(name), len(name), nullptr, 512, SQLT_STR, nullptr,
                      nullptr, nullptr, 0, nullptr, OCI_DATA_AT_EXEC);
        OCIBindDynamic(bind, c.err, nullptr, in_cb, &out, out_cb);
        if (OCIStmtExecute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, OCI_COMMIT_ON_SUCCESS) !=
            OCI_SUCCESS) {
            c.fail("insert");
        }
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
    }
    double t1 = seconds_since(start);
    std::printf("single-row INSERT with commit: %ld statements in %.2f s = %.0f statements/s\n",
                rows, t1, rows / t1);

    // 2. One prepared INSERT, executed per row with binds, one commit at the end.
    c.exec("TRUNCATE TABLE \"items\"");
    OCIStmt* stmt =
        c.prepare("INSERT INTO \"items\" (\"id\", \"name\", \"price\") VALUES (:1, :2, :3)");
    int64_t id = 0;
    char16_t name_buf[40];
    double price = 0;
    OCIBind* b = nullptr;
    OCIBindByPos(stmt, &b, c.err, 1, &id, sizeof id, SQLT_INT, nullptr, nullptr, nullptr, 0,
                 nullptr, OCI_DEFAULT);
    OCIBindByPos(stmt, &b, c.err, 2, name_buf, sizeof name_buf, SQLT_STR, nullptr, nullptr, nullptr,
                 0, nullptr, OCI_DEFAULT);
    OCIBindByPos(stmt, &b, c.err, 3, &price, sizeof price, SQLT_FLT, nullptr, nullptr, nullptr, 0,
                 nullptr, OCI_DEFAULT);
    long bulk = rows * 5;
    start = std::chrono::steady_clock::now();
    for (long i = 0; i < bulk; ++i) {
        id = i;
        std::u16string n = u16("bulk row " + std::to_string(i));
        n.push_back(0);
        std::copy(n.begin(), n.end(), name_buf);
        price = static_cast<double>(i % 1000) + 0.5;
        if (OCIStmtExecute(c.svc, stmt, c.err, 1, 0, nullptr, nullptr, OCI_DEFAULT) !=
            OCI_SUCCESS) {
            c.fail("bulk insert");
        }
    }
    OCITransCommit(c.svc, c.err, OCI_DEFAULT);
    double t2 = seconds_since(start);
    std::printf("bulk rows (prepared once, binds per row): %ld rows in %.2f s = %.0f rows/s\n",
                bulk, t2, bulk / t2);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);

    // 3. The batch path: one array INSERT of 1000 rows of mixed columns per execute, with
    //    batch errors and commit on success, without and with LOB values bound in the same call.
    for (bool with_lobs : {false, true}) {
        c.exec("TRUNCATE TABLE \"items\"");
        constexpr ub4 k_batch = 1000;
        constexpr size_t k_name = 80;                   // bytes per name (UTF-16)
        const size_t lob_bytes = with_lobs ? 4096 : 0;  // per CLOB and per BLOB value
        std::vector<int64_t> ids(k_batch);
        std::vector<char16_t> names(k_batch * k_name / 2);
        std::vector<ub2> name_len(k_batch);
        std::vector<double> prices(k_batch);
        std::vector<char16_t> dates(k_batch * 10);
        std::vector<ub4> date_len(k_batch, 20);
        std::vector<char16_t> notes(k_batch * (lob_bytes / 2 + 1), u'n');
        std::vector<char> pics(k_batch * (lob_bytes + 1), 'p');
        std::vector<ub4> lob_len(k_batch, static_cast<ub4>(lob_bytes));
        std::string sql = with_lobs ? "INSERT INTO \"items\" VALUES (:1, :2, :3, "
                                      "to_date(:4, 'YYYY-MM-DD'), :5, :6)"
                                    : "INSERT INTO \"items\" (\"id\", \"name\", \"price\", "
                                      "\"created\") VALUES (:1, :2, :3, to_date(:4, 'YYYY-MM-DD'))";
        OCIStmt* batch = c.prepare(sql);
        OCIBind* bb = nullptr;
        OCIBindByPos2(batch, &bb, c.err, 1, ids.data(), sizeof(int64_t), SQLT_INT, nullptr, nullptr,
                      nullptr, 0, nullptr, OCI_DEFAULT);
        OCIBindByPos(batch, &bb, c.err, 2, names.data(), k_name, SQLT_CHR, nullptr, name_len.data(),
                     nullptr, 0, nullptr, OCI_DEFAULT);
        OCIBindByPos2(batch, &bb, c.err, 3, prices.data(), sizeof(double), SQLT_FLT, nullptr,
                      nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
        OCIBindByPos2(batch, &bb, c.err, 4, dates.data(), 20, SQLT_CHR, nullptr, date_len.data(),
                      nullptr, 0, nullptr, OCI_DEFAULT);
        if (with_lobs) {
            OCIBindByPos2(batch, &bb, c.err, 5, notes.data(), lob_bytes + 2, SQLT_CHR, nullptr,
                          lob_len.data(), nullptr, 0, nullptr, OCI_DEFAULT);
            OCIBindByPos2(batch, &bb, c.err, 6, pics.data(), lob_bytes + 1, SQLT_BIN, nullptr,
                          lob_len.data(), nullptr, 0, nullptr, OCI_DEFAULT);
        }
        long batches = std::max(1L, rows * 5 / static_cast<long>(k_batch));
        start = std::chrono::steady_clock::now();
        for (long n = 0; n < batches; ++n) {
            for (ub4 i = 0; i < k_batch; ++i) {
                ids[i] = n * k_batch + i;
                std::u16string text = u16("batch row " + std::to_string(ids[i]));
                std::copy(text.begin(), text.end(), names.begin() + i * k_name / 2);
                name_len[i] = static_cast<ub2>(text.size() * 2);
                prices[i] = static_cast<double>(i % 1000) + 0.25;
                std::u16string day = u"2024-05-17";
                std::copy(day.begin(), day.end(), dates.begin() + i * 10);
            }
            if (OCIStmtExecute(c.svc, batch, c.err, k_batch, 0, nullptr, nullptr,
                               OCI_BATCH_ERRORS | OCI_COMMIT_ON_SUCCESS) != OCI_SUCCESS) {
                c.fail("array insert");
            }
        }
        double t3 = seconds_since(start);
        long total = batches * static_cast<long>(k_batch);
        std::printf("array INSERT of %u rows per execute%s: %ld rows in %.2f s = %.0f rows/s\n",
                    k_batch, with_lobs ? " with 4 KB CLOB and BLOB values" : "", total, t3,
                    total / t3);
        OCIHandleFree(batch, OCI_HTYPE_STMT);
    }

    // 4. An array INSERT of texts: every value bound as UTF-16 text by position (numbers
    //    as text, dates through TO_DATE with a literal format), 1000 rows per execute, into a
    //    table with two indexes. The rows are laid out once; each execute writes them again.
    {
        c.exec(
            "CREATE TABLE \"mixed\" (\"id\" NUMBER(11,0) NOT NULL, \"qty\" NUMBER(11,0) NOT NULL,"
            " \"big\" NUMBER(19,0), \"price\" NUMBER(12,2), \"ratio\" NUMBER, \"day\" DATE,"
            " \"stamp\" DATE, \"code\" VARCHAR2(20))");
        c.exec("CREATE INDEX \"mixed_id\" ON \"mixed\" (\"id\")");
        c.exec("CREATE INDEX \"mixed_code\" ON \"mixed\" (\"code\")");
        constexpr ub4 k_batch = 1000;
        constexpr int k_columns = 8;
        constexpr size_t k_width = 64;  // bytes per element (UTF-16)
        std::vector<std::vector<char16_t>> texts(k_columns,
                                                 std::vector<char16_t>(k_batch * k_width / 2));
        std::vector<std::vector<ub2>> lengths(k_columns, std::vector<ub2>(k_batch));
        OCIStmt* batch = c.prepare(
            "INSERT INTO \"mixed\" VALUES (:1, :2, :3, :4, :5, TO_DATE(:6, 'YYYY-MM-DD'),"
            " TO_DATE(:7, 'YYYY-MM-DD HH24:MI:SS'), :8)");
        for (int k = 0; k < k_columns; ++k) {
            OCIBind* bb = nullptr;
            OCIBindByPos(batch, &bb, c.err, static_cast<ub4>(k + 1), texts[k].data(), k_width,
                         SQLT_CHR, nullptr, lengths[k].data(), nullptr, 0, nullptr, OCI_DEFAULT);
        }
        for (ub4 i = 0; i < k_batch; ++i) {
            char day[16], stamp[24], price[24], ratio[32];
            std::snprintf(day, sizeof day, "20%02u-%02u-%02u", i % 100, i % 12 + 1, i % 28 + 1);
            std::snprintf(stamp, sizeof stamp, "2020-%02u-%02u %02u:%02u:%02u", i % 12 + 1,
                          i % 28 + 1, i % 24, i % 60, (i * 7) % 60);
            std::snprintf(price, sizeof price, "%u.%02u", i * 37 % 100000, i % 100);
            std::snprintf(ratio, sizeof ratio, "%.17g", static_cast<double>(i) / 8);
            const std::string row[k_columns] = {std::to_string(i + 1),
                                                std::to_string(static_cast<int>(i % 1000) - 500),
                                                std::to_string(i * 1000003L),
                                                price,
                                                ratio,
                                                day,
                                                stamp,
                                                "C-" + std::to_string(i % 50000)};
            for (int k = 0; k < k_columns; ++k) {
                std::u16string t = u16(row[k]);
                std::copy(t.begin(), t.end(), texts[k].begin() + i * k_width / 2);
                lengths[k][i] = static_cast<ub2>(t.size() * 2);
            }
        }
        long batches = std::max(1L, rows * 5 / static_cast<long>(k_batch));
        start = std::chrono::steady_clock::now();
        for (long n = 0; n < batches; ++n) {
            if (OCIStmtExecute(c.svc, batch, c.err, k_batch, 0, nullptr, nullptr,
                               OCI_BATCH_ERRORS | OCI_COMMIT_ON_SUCCESS) != OCI_SUCCESS) {
                c.fail("array insert of texts");
            }
        }
        double t4 = seconds_since(start);
        long total = batches * static_cast<long>(k_batch);
        std::printf(
            "array INSERT of texts (UTF-16 text, TO_DATE, 2 indexes): "
            "%ld rows in %.2f s = %.0f rows/s\n",
            total, t4, total / t4);
        OCIHandleFree(batch, OCI_HTYPE_STMT);
    }

    // 5. LOB writes and reads of 1 MB values through locators.
    std::u16string text(512 * 1024, u'x');  // 1 MB of UTF-16
    std::vector<char> bytes(1024 * 1024, 'b');
    double write_seconds = 0, read_seconds = 0;
    std::vector<char> buffer(32768);
    for (long i = 0; i < lob_mb / 2; ++i) {
        c.exec("INSERT INTO \"items\" (\"id\", \"note\", \"pic\") VALUES (" +
               std::to_string(-1 - i) + ", EMPTY_CLOB(), EMPTY_BLOB())");
        OCIStmt* sel = c.prepare("SELECT \"note\", \"pic\" FROM \"items\" WHERE \"id\" = " +
                                 std::to_string(-1 - i) + " FOR UPDATE");
        OCILobLocator* clob = nullptr;
        OCILobLocator* blob = nullptr;
        OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&clob), OCI_DTYPE_LOB, 0, nullptr);
        OCIDescriptorAlloc(c.env, reinterpret_cast<void**>(&blob), OCI_DTYPE_LOB, 0, nullptr);
        OCIDefine* d = nullptr;
        OCIDefineByPos(sel, &d, c.err, 1, &clob, -1, SQLT_CLOB, nullptr, nullptr, nullptr,
                       OCI_DEFAULT);
        OCIDefineByPos(sel, &d, c.err, 2, &blob, -1, SQLT_BLOB, nullptr, nullptr, nullptr,
                       OCI_DEFAULT);
        if (OCIStmtExecute(c.svc, sel, c.err, 1, 0, nullptr, nullptr, OCI_DEFAULT) != OCI_SUCCESS) {
            c.fail("select for update");
        }
        start = std::chrono::steady_clock::now();
        ub4 amount = static_cast<ub4>(text.size());
        if (OCILobWrite(c.svc, c.err, clob, &amount, 1, text.data(), len(text), OCI_ONE_PIECE,
                        nullptr, nullptr, 0, SQLCS_IMPLICIT) != OCI_SUCCESS) {
            c.fail("clob write");
        }
        amount = static_cast<ub4>(bytes.size());
        if (OCILobWrite(c.svc, c.err, blob, &amount, 1, bytes.data(),
                        static_cast<ub4>(bytes.size()), OCI_ONE_PIECE, nullptr, nullptr, 0,
                        0) != OCI_SUCCESS) {
            c.fail("blob write");
        }
        OCITransCommit(c.svc, c.err, OCI_DEFAULT);
        write_seconds += seconds_since(start);
        start = std::chrono::steady_clock::now();
        for (OCILobLocator* loc : {clob, blob}) {
            ub4 offset = 1;
            while (true) {
                ub4 want = loc == clob ? 16384 : 32768;
                sword rc = OCILobRead(c.svc, c.err, loc, &want, offset, buffer.data(),
                                      static_cast<ub4>(buffer.size()), nullptr, nullptr, 0, 0);
                if (rc == OCI_NO_DATA || want == 0)
                    break;
                if (rc != OCI_SUCCESS)
                    c.fail("lob read");
                offset += want;
            }
        }
        read_seconds += seconds_since(start);
        OCIHandleFree(sel, OCI_HTYPE_STMT);
        OCIDescriptorFree(clob, OCI_DTYPE_LOB);
        OCIDescriptorFree(blob, OCI_DTYPE_LOB);
    }
    long written = (lob_mb / 2) * 2;
    std::printf("LOB writes: %ld MB in %.2f s = %.1f MB/s\n", written, write_seconds,
                written / write_seconds);
    std::printf("LOB reads (32 KB chunks): %ld MB in %.2f s = %.1f MB/s\n", written, read_seconds,
                written / read_seconds);
    return 0;
}

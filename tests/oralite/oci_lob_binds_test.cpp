// Large values bound straight into LOB columns (the data interface for persistent LOBs): any
// size in INSERT ... VALUES and UPDATE ... SET, stored exactly, in arrays too; elsewhere a bind
// of more than 4000 bytes is a LONG bind that Oracle refuses with ORA-01461.
#include <cstring>

#include "oci_support.h"

namespace oralite_test {
namespace {

// UTF-16 text of `units` code units mixing ASCII, U+0000, Latin-1 and a non-BMP character
// (a surrogate pair), varied by `seed` so that the rows of an array differ.
std::u16string mixed_text(size_t units, int seed) {
    using namespace std::string_literals;
    const std::u16string pattern = u"ab\u0000c\u00e9\U0001F600xyz"s;
    std::u16string out;
    out.reserve(units);
    for (size_t i = 0; out.size() < units; ++i) {
        char16_t c = pattern[(i + static_cast<size_t>(seed)) % pattern.size()];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (out.size() + 2 > units) {
                out.push_back(u'.');
                continue;
            }
            out.push_back(c);
            out.push_back(pattern[(i + static_cast<size_t>(seed) + 1) % pattern.size()]);
            ++i;
            continue;
        }
        if (c >= 0xDC00 && c <= 0xDFFF)
            c = u'-';
        out.push_back(c);
    }
    return out;
}

std::string mixed_bytes(size_t n, int seed) {
    std::string out(n, '\0');
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<char>((i * 37 + static_cast<size_t>(seed)) % 256);
    return out;
}

class lob_binds_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ok("CREATE TABLE docs (id NUMBER(5), body CLOB, data BLOB, short VARCHAR2(4000), "
           "code RAW(2000))");
    }

    // Inserts rows id 1..n with an array bind of `dty` for column `column`; element i is
    // `values[i]` (bytes as the client holds them). Lengths go as ub4 (OCIBindByPos2).
    sword insert_array(const std::string& column, ub2 dty, const std::vector<std::string>& values,
                       const std::string& value_sql = ":2") {
        size_t width = 0;
        for (const std::string& v : values) width = std::max(width, v.size());
        size_t prefix = dty == SQLT_LVC || dty == SQLT_LVB ? 4 : 0;
        width += prefix;
        std::vector<char> buffer(width * values.size());
        std::vector<ub4> lengths;
        std::vector<int> ids;
        for (size_t i = 0; i < values.size(); ++i) {
            char* element = buffer.data() + i * width;
            if (prefix) {
                sb4 n = static_cast<sb4>(values[i].size());
                std::memcpy(element, &n, 4);
            }
            std::memcpy(element + prefix, values[i].data(), values[i].size());
            lengths.push_back(static_cast<ub4>(values[i].size() + prefix));
            ids.push_back(static_cast<int>(i + 1));
        }
        OCIStmt* stmt =
            scott.prepare("INSERT INTO docs (id, " + column + ") VALUES (:1, " + value_sql + ")");
        OCIBind* b = nullptr;
        OCIBindByPos2(stmt, &b, scott.err, 1, ids.data(), sizeof(int), SQLT_INT, nullptr, nullptr,
                      nullptr, 0, nullptr, OCI_DEFAULT);
        OCIBindByPos2(stmt, &b, scott.err, 2, buffer.data(), static_cast<sb8>(width), dty, nullptr,
                      lengths.data(), nullptr, 0, nullptr, OCI_DEFAULT);
        sword rc = OCIStmtExecute(scott.svc, stmt, scott.err, static_cast<ub4>(values.size()), 0,
                                  nullptr, nullptr, OCI_DEFAULT);
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        return rc;
    }

    // The content of a LOB column of row `id`, read through its locator: UTF-16 bytes for a
    // CLOB, the bytes of a BLOB.
    std::string lob_of(int id, const std::string& column, bool clob) {
        OCILobLocator* loc = nullptr;
        OCIDescriptorAlloc(scott.env, reinterpret_cast<void**>(&loc), OCI_DTYPE_LOB, 0, nullptr);
        OCIStmt* stmt =
            scott.prepare("SELECT " + column + " FROM docs WHERE id = " + std::to_string(id));
        OCIDefine* def = nullptr;
        sb2 ind = 0;
        OCIDefineByPos(stmt, &def, scott.err, 1, &loc, -1, clob ? SQLT_CLOB : SQLT_BLOB, &ind,
                       nullptr, nullptr, OCI_DEFAULT);
        std::string out = "<NO ROW>";
        if (OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT) ==
            OCI_SUCCESS) {
            out = ind == OCI_IND_NULL ? "<NULL>" : "";
            ub4 length = 0;
            if (ind != OCI_IND_NULL &&
                OCILobGetLength(scott.svc, scott.err, loc, &length) == OCI_SUCCESS && length > 0) {
                out.resize(clob ? length * 2 : length);
                ub4 amount = length;
                EXPECT_EQ(OCILobRead(scott.svc, scott.err, loc, &amount, 1, out.data(),
                                     static_cast<ub4>(out.size()), nullptr, nullptr, 0,
                                     clob ? SQLCS_IMPLICIT : 0),
                          OCI_SUCCESS)
                    << scott.message();
            }
        }
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        OCIDescriptorFree(loc, OCI_DTYPE_LOB);
        return out;
    }
};

std::string utf16_bytes(const std::u16string& s) {
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

// Sizes in bytes of the client's buffer at the limits of the bind paths.
const size_t k_sizes[] = {3998, 4002, 32766, 32768, 65534, 65536, 1 << 20, (1 << 20) + 6};

TEST_F(lob_binds_test, character_binds_of_any_size_fill_a_clob_exactly_in_arrays) {
    for (ub2 dty : {SQLT_CHR, SQLT_LNG, SQLT_LVC}) {
        for (size_t size : k_sizes) {
            SCOPED_TRACE("dty " + std::to_string(dty) + ", " + std::to_string(size) + " bytes");
            std::vector<std::string> values;
            for (int seed = 0; seed < 3; ++seed) {
                values.push_back(
                    utf16_bytes(mixed_text(size / 2 - static_cast<size_t>(seed), seed)));
            }
            ASSERT_EQ(insert_array("body", dty, values), OCI_SUCCESS) << scott.message();
            for (int i = 0; i < 3; ++i) {
                EXPECT_TRUE(lob_of(i + 1, "body", true) == values[static_cast<size_t>(i)])
                    << "row " << i + 1;
            }
            ok("DELETE FROM docs");
        }
    }
}

TEST_F(lob_binds_test, binary_binds_of_any_size_fill_a_blob_exactly_in_arrays) {
    for (ub2 dty : {SQLT_BIN, SQLT_LBI, SQLT_LVB}) {
        for (size_t size : k_sizes) {
            SCOPED_TRACE("dty " + std::to_string(dty) + ", " + std::to_string(size) + " bytes");
            std::vector<std::string> values;
            for (int seed = 0; seed < 3; ++seed) values.push_back(mixed_bytes(size - seed, seed));
            ASSERT_EQ(insert_array("data", dty, values), OCI_SUCCESS) << scott.message();
            for (int i = 0; i < 3; ++i) {
                EXPECT_TRUE(lob_of(i + 1, "data", false) == values[static_cast<size_t>(i)])
                    << "row " << i + 1;
            }
            ok("DELETE FROM docs");
        }
    }
}

TEST_F(lob_binds_test, a_single_value_without_lengths_is_its_whole_buffer) {
    // 16-bit lengths cannot say more than 65535: a larger single value goes without them.
    std::u16string body = mixed_text(50000, 1);  // 100000 bytes
    OCIStmt* stmt = scott.prepare("INSERT INTO docs (id, body) VALUES (1, :b)");
    OCIBind* b = nullptr;
    OCIBindByPos(stmt, &b, scott.err, 1, body.data(), static_cast<sb4>(bytes(body)), SQLT_CHR,
                 nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << scott.message();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_TRUE(lob_of(1, "body", true) == utf16_bytes(body));
    EXPECT_EQ(scott.scalar("SELECT DBMS_LOB.GETLENGTH(body) FROM docs"), "50000");
}

TEST_F(lob_binds_test, an_update_sets_a_lob_from_a_large_bind) {
    ok("INSERT INTO docs (id, body, data) VALUES (1, 'old', HEXTORAW('00'))");
    std::u16string body = mixed_text(600000, 2);
    std::string data = mixed_bytes(700000, 3);
    OCIStmt* stmt = scott.prepare("UPDATE docs SET body = :b, data = :d WHERE id = 1");
    OCIBind* b = nullptr;
    OCIBindByPos(stmt, &b, scott.err, 1, body.data(), static_cast<sb4>(bytes(body)), SQLT_CHR,
                 nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    OCIBindByPos(stmt, &b, scott.err, 2, data.data(), static_cast<sb4>(data.size()), SQLT_BIN,
                 nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << scott.message();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_TRUE(lob_of(1, "body", true) == utf16_bytes(body));
    EXPECT_TRUE(lob_of(1, "data", false) == data);
}

// Where a bind of more than 4000 bytes (2000 for binary) is not the whole value of a LOB
// column, it is a LONG bind and refused; up to the limit it is an ordinary bind.
TEST_F(lob_binds_test, a_long_bind_anywhere_else_is_ora_01461) {
    ok("INSERT INTO docs (id) VALUES (1)");
    struct bind_case {
        const char* what;
        std::string sql;
        ub2 dty;
        std::string value;  // as the client holds it
        int code;
    };
    // 2000 UTF-16 units of 'é' are 4000 bytes in the database character set; one more is over.
    std::string at_limit = utf16_bytes(std::u16string(2000, u'\u00e9'));
    std::string over = utf16_bytes(std::u16string(2001, u'\u00e9'));
    // Non-BMP: 1000 characters of 4 bytes each are exactly 4000 bytes.
    std::u16string smileys;
    for (int i = 0; i < 1000; ++i) smileys += u"\U0001F600";
    std::string smileys_at_limit = utf16_bytes(smileys);
    std::string smileys_over = utf16_bytes(smileys + u"x");
    const bind_case cases[] = {
        {"VARCHAR2 at 4000 bytes", "UPDATE docs SET short = :1", SQLT_CHR, at_limit, 0},
        {"VARCHAR2 over 4000 bytes", "UPDATE docs SET short = :1", SQLT_CHR, over, 1461},
        {"non-BMP at 4000 bytes", "UPDATE docs SET short = :1", SQLT_CHR, smileys_at_limit, 0},
        {"non-BMP over 4000 bytes", "UPDATE docs SET short = :1", SQLT_CHR, smileys_over, 1461},
        {"insert into VARCHAR2", "INSERT INTO docs (id, short) VALUES (2, :1)", SQLT_CHR, over,
         1461},
        {"in a function", "INSERT INTO docs (id, body) VALUES (2, TO_CLOB(:1))", SQLT_CHR, over,
         1461},
        {"in a function at the limit", "INSERT INTO docs (id, body) VALUES (2, TO_CLOB(:1))",
         SQLT_CHR, at_limit, 0},
        {"in an expression of an UPDATE", "UPDATE docs SET body = :1 || 'x'", SQLT_CHR, over, 1461},
        {"in a WHERE clause", "UPDATE docs SET id = 1 WHERE short = :1", SQLT_CHR, over, 1461},
        {"in a query", "SELECT COUNT(*) FROM docs WHERE short = :1", SQLT_CHR, over, 1461},
        {"RAW at 2000 bytes", "UPDATE docs SET code = :1", SQLT_BIN, mixed_bytes(2000, 1), 0},
        {"RAW over 2000 bytes", "UPDATE docs SET code = :1", SQLT_BIN, mixed_bytes(2001, 1), 1461},
        {"binary in a function", "INSERT INTO docs (id, data) VALUES (2, NVL(:1, NULL))", SQLT_BIN,
         mixed_bytes(2001, 1), 1461},
    };
    for (const bind_case& c : cases) {
        OCIStmt* stmt = scott.prepare(c.sql);
        OCIBind* b = nullptr;
        OCIBindByPos(stmt, &b, scott.err, 1, const_cast<char*>(c.value.data()),
                     static_cast<sb4>(c.value.size()), c.dty, nullptr, nullptr, nullptr, 0, nullptr,
                     OCI_DEFAULT);
        ub4 iters = c.sql.rfind("SELECT", 0) == 0 ? 0 : 1;
        sword rc =
            OCIStmtExecute(scott.svc, stmt, scott.err, iters, 0, nullptr, nullptr, OCI_DEFAULT);
        EXPECT_EQ(rc == OCI_SUCCESS ? 0 : scott.code(), c.code)
            << c.what << ": " << scott.message();
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        ok("ROLLBACK");
    }
}

}  // namespace
}  // namespace oralite_test

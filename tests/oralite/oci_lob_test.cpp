// LOB locators: values written through OCILobWrite come back unchanged through OCILobRead in
// chunks, by polling and by callback; the locking rules of LOB writes hold.
#include <cstring>

#include "oci_support.h"

namespace oralite_test {
namespace {

class lob_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ok("CREATE TABLE docs (id NUMBER(11,0), body CLOB, data BLOB)");
    }

    // Inserts a row with empty LOBs, selects it FOR UPDATE and returns its locators.
    void locked_row(int id, OCILobLocator*& clob, OCILobLocator*& blob, OCIStmt*& stmt) {
        ok("INSERT INTO docs VALUES (" + std::to_string(id) + ", EMPTY_CLOB(), EMPTY_BLOB())");
        stmt = scott.prepare("SELECT body, data FROM docs WHERE id = " + std::to_string(id) +
                             " FOR UPDATE");
        OCIDescriptorAlloc(scott.env, reinterpret_cast<void**>(&clob), OCI_DTYPE_LOB, 0, nullptr);
        OCIDescriptorAlloc(scott.env, reinterpret_cast<void**>(&blob), OCI_DTYPE_LOB, 0, nullptr);
        OCIDefine* def = nullptr;
        OCIDefineByPos(stmt, &def, scott.err, 1, &clob, -1, SQLT_CLOB, nullptr, nullptr, nullptr,
                       OCI_DEFAULT);
        OCIDefineByPos(stmt, &def, scott.err, 2, &blob, -1, SQLT_BLOB, nullptr, nullptr, nullptr,
                       OCI_DEFAULT);
        ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS)
            << scott.message();
    }

    // Reads a LOB from offset 1 in chunks of at most 32768 bytes until a read returns nothing.
    std::string read_chunks(OCILobLocator* loc, bool clob) {
        std::string out;
        std::vector<char> buf(32768);
        ub4 offset = 1;
        while (true) {
            ub4 amount = clob ? 16384 : 32768;
            sword rc = OCILobRead(scott.svc, scott.err, loc, &amount, offset, buf.data(),
                                  static_cast<ub4>(buf.size()), nullptr, nullptr, 0,
                                  clob ? SQLCS_IMPLICIT : 0);
            if (rc == OCI_NO_DATA || amount == 0)
                break;
            EXPECT_EQ(rc, OCI_SUCCESS) << scott.message();
            if (rc != OCI_SUCCESS)
                break;
            out.append(buf.data(), clob ? amount * 2 : amount);
            offset += amount;
        }
        return out;
    }
};

std::u16string sample_text(size_t units) {
    const std::u16string pattern = u"Grüße, Ωμέγα — 😀 plain ASCII text; ";
    std::u16string out;
    while (out.size() < units) out += pattern;
    out.resize(units);
    if (!out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF)
        out.back() = u'x';
    return out;
}

std::string sample_bytes(size_t n) {
    std::string out(n, '\0');
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>((i * 131 + 7) % 256);
    return out;
}

TEST_F(lob_test, values_of_every_size_round_trip) {
    const size_t sizes[] = {0, 1, 4000, 4001, 10 * 1024 * 1024};
    int id = 0;
    for (size_t size : sizes) {
        ++id;
        OCILobLocator* clob = nullptr;
        OCILobLocator* blob = nullptr;
        OCIStmt* stmt = nullptr;
        locked_row(id, clob, blob, stmt);
        std::u16string text = sample_text(size / 2 + (size == 1 ? 1 : 0));
        std::string data = sample_bytes(size);
        if (!text.empty()) {
            ub4 amount = static_cast<ub4>(text.size());
            ASSERT_EQ(OCILobWrite(scott.svc, scott.err, clob, &amount, 1, text.data(), bytes(text),
                                  OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
                      OCI_SUCCESS)
                << size << ": " << scott.message();
            EXPECT_EQ(amount, text.size());
        }
        if (!data.empty()) {
            ub4 amount = static_cast<ub4>(data.size());
            ASSERT_EQ(
                OCILobWrite(scott.svc, scott.err, blob, &amount, 1, data.data(),
                            static_cast<ub4>(data.size()), OCI_ONE_PIECE, nullptr, nullptr, 0, 0),
                OCI_SUCCESS)
                << size << ": " << scott.message();
        }
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        ASSERT_EQ(OCITransCommit(scott.svc, scott.err, OCI_DEFAULT), OCI_SUCCESS);

        // Read back through a plain SELECT's locators.
        OCIStmt* sel =
            scott.prepare("SELECT body, data FROM docs WHERE id = " + std::to_string(id));
        OCIDefine* def = nullptr;
        OCIDefineByPos(sel, &def, scott.err, 1, &clob, -1, SQLT_CLOB, nullptr, nullptr, nullptr,
                       OCI_DEFAULT);
        OCIDefineByPos(sel, &def, scott.err, 2, &blob, -1, SQLT_BLOB, nullptr, nullptr, nullptr,
                       OCI_DEFAULT);
        ASSERT_EQ(OCIStmtExecute(scott.svc, sel, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS);
        ub4 length = 99;
        EXPECT_EQ(OCILobGetLength(scott.svc, scott.err, clob, &length), OCI_SUCCESS);
        EXPECT_EQ(length, text.size()) << size;
        EXPECT_EQ(OCILobGetLength(scott.svc, scott.err, blob, &length), OCI_SUCCESS);
        EXPECT_EQ(length, data.size()) << size;
        std::string got_text = read_chunks(clob, true);
        EXPECT_TRUE(got_text.size() == text.size() * 2 &&
                    std::memcmp(got_text.data(), text.data(), got_text.size()) == 0)
            << "CLOB of " << size;
        EXPECT_TRUE(read_chunks(blob, false) == data) << "BLOB of " << size;
        OCIHandleFree(sel, OCI_HTYPE_STMT);
        OCIDescriptorFree(clob, OCI_DTYPE_LOB);
        OCIDescriptorFree(blob, OCI_DTYPE_LOB);
    }
    EXPECT_EQ(scott.scalar("SELECT DBMS_LOB.GETLENGTH(body) FROM docs WHERE id = 4"), "2000");
    EXPECT_EQ(scott.scalar("SELECT LENGTH(data) FROM docs WHERE id = 3"), "4000");
}

TEST_F(lob_test, polling_and_callback_reads_deliver_every_piece) {
    OCILobLocator* clob = nullptr;
    OCILobLocator* blob = nullptr;
    OCIStmt* stmt = nullptr;
    locked_row(1, clob, blob, stmt);
    std::u16string text = sample_text(10000);
    ub4 amount = static_cast<ub4>(text.size());
    ASSERT_EQ(OCILobWrite(scott.svc, scott.err, clob, &amount, 1, text.data(), bytes(text),
                          OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              OCI_SUCCESS);
    // Polling: the whole amount asked with a small buffer.
    std::u16string got;
    char16_t buf[1000];
    amount = 0;
    sword rc;
    do {
        rc = OCILobRead(scott.svc, scott.err, clob, &amount, 1, buf, sizeof buf, nullptr, nullptr,
                        0, SQLCS_IMPLICIT);
        ASSERT_TRUE(rc == OCI_NEED_DATA || rc == OCI_SUCCESS) << scott.message();
        got.append(buf, amount);
    } while (rc == OCI_NEED_DATA);
    EXPECT_TRUE(got == text);
    // Callback: pieces handed to a function.
    struct sink {
        std::u16string text;
        int pieces = 0;
        static sb4 take(void* ctx, const void* p, ub4 len, ub1) {
            auto* s = static_cast<sink*>(ctx);
            s->text.append(static_cast<const char16_t*>(p), len / 2);
            ++s->pieces;
            return OCI_CONTINUE;
        }
    } collected;
    amount = 0;
    EXPECT_EQ(OCILobRead(scott.svc, scott.err, clob, &amount, 1, buf, sizeof buf, &collected,
                         sink::take, 0, SQLCS_IMPLICIT),
              OCI_SUCCESS);
    EXPECT_TRUE(collected.text == text);
    EXPECT_EQ(collected.pieces, 10);
    // Writing in the middle replaces characters; beyond the end pads with blanks.
    std::u16string patch = u"XYZ";
    amount = 3;
    ASSERT_EQ(OCILobWrite(scott.svc, scott.err, clob, &amount, 2, patch.data(), bytes(patch),
                          OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              OCI_SUCCESS);
    EXPECT_EQ(scott.scalar("SELECT SUBSTR(body, 1, 5) FROM docs"), "GXYZe");
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    OCIDescriptorFree(clob, OCI_DTYPE_LOB);
    OCIDescriptorFree(blob, OCI_DTYPE_LOB);
}

TEST_F(lob_test, an_explicit_narrow_character_set_reads_and_writes_utf8) {
    OCILobLocator* clob = nullptr;
    OCILobLocator* blob = nullptr;
    OCIStmt* stmt = nullptr;
    locked_row(1, clob, blob, stmt);
    const std::string utf8 = "Grüße €";
    const ub2 al32utf8 = 873;
    ub4 amount = 7;  // characters
    ASSERT_EQ(OCILobWrite(scott.svc, scott.err, clob, &amount, 1, const_cast<char*>(utf8.data()),
                          static_cast<ub4>(utf8.size()), OCI_ONE_PIECE, nullptr, nullptr, al32utf8,
                          SQLCS_IMPLICIT),
              OCI_SUCCESS)
        << scott.message();
    EXPECT_EQ(scott.scalar("SELECT body FROM docs"), utf8);
    char buf[64] = {};
    amount = 0;
    ASSERT_EQ(OCILobRead(scott.svc, scott.err, clob, &amount, 1, buf, sizeof buf, nullptr, nullptr,
                         al32utf8, SQLCS_IMPLICIT),
              OCI_SUCCESS);
    EXPECT_EQ(std::string(buf, amount), utf8);  // the amount read is in bytes
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    OCIDescriptorFree(clob, OCI_DTYPE_LOB);
    OCIDescriptorFree(blob, OCI_DTYPE_LOB);
}

TEST_F(lob_test, writes_need_a_locked_row_in_the_same_transaction) {
    ok("INSERT INTO docs VALUES (1, EMPTY_CLOB(), EMPTY_BLOB())");
    ASSERT_EQ(OCITransCommit(scott.svc, scott.err, OCI_DEFAULT), OCI_SUCCESS);
    OCIStmt* stmt = scott.prepare("SELECT body FROM docs WHERE id = 1");
    OCILobLocator* clob = nullptr;
    OCIDescriptorAlloc(scott.env, reinterpret_cast<void**>(&clob), OCI_DTYPE_LOB, 0, nullptr);
    OCIDefine* def = nullptr;
    OCIDefineByPos(stmt, &def, scott.err, 1, &clob, -1, SQLT_CLOB, nullptr, nullptr, nullptr,
                   OCI_DEFAULT);
    ASSERT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 1, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    std::u16string text = u"abc";
    ub4 amount = 3;
    EXPECT_EQ(OCILobWrite(scott.svc, scott.err, clob, &amount, 1, text.data(), bytes(text),
                          OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 22920);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);

    // A locator of a locked row dies with its transaction.
    OCILobLocator* blob = nullptr;
    locked_row(2, clob, blob, stmt);
    ASSERT_EQ(OCITransCommit(scott.svc, scott.err, OCI_DEFAULT), OCI_SUCCESS);
    amount = 3;
    EXPECT_EQ(OCILobWrite(scott.svc, scott.err, clob, &amount, 1, text.data(), bytes(text),
                          OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 22990);
    // An amount larger than the buffer holds is refused.
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    locked_row(3, clob, blob, stmt);
    amount = 10;
    EXPECT_EQ(OCILobWrite(scott.svc, scott.err, clob, &amount, 1, text.data(), bytes(text),
                          OCI_ONE_PIECE, nullptr, nullptr, 0, SQLCS_IMPLICIT),
              OCI_ERROR);
    EXPECT_EQ(scott.code(), 24801);
    // An unused locator is not a LOB.
    OCILobLocator* fresh = nullptr;
    OCIDescriptorAlloc(scott.env, reinterpret_cast<void**>(&fresh), OCI_DTYPE_LOB, 0, nullptr);
    ub4 length = 0;
    EXPECT_EQ(OCILobGetLength(scott.svc, scott.err, fresh, &length), OCI_ERROR);
    EXPECT_EQ(scott.code(), 22275);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    OCIDescriptorFree(clob, OCI_DTYPE_LOB);
    OCIDescriptorFree(blob, OCI_DTYPE_LOB);
    OCIDescriptorFree(fresh, OCI_DTYPE_LOB);
}

}  // namespace
}  // namespace oralite_test

// Array DML as Oracle executes it: one execute for n rows, stopping at the first failing row,
// or with OCI_BATCH_ERRORS trying every row and reporting each failure by its offset.
#include <algorithm>
#include <cstring>

#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

// One row of the test table as the client binds it; a name of "<NULL>" is bound as NULL.
struct row_in {
    int id;
    std::string name;
};

struct batch_outcome {
    sword rc = 0;
    int code = 0;                             // of the execute's error handle
    ub4 rows = 0;                             // OCI_ATTR_ROW_COUNT
    ub4 errors = 0;                           // OCI_ATTR_NUM_DML_ERRORS
    std::vector<std::pair<ub4, int>> failed;  // row offset, ORA number
    std::vector<std::string> messages;
};

class array_dml_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ok("CREATE TABLE t (id NUMBER(5) PRIMARY KEY, name VARCHAR2(5) NOT NULL, seq NUMBER)");
        ok("CREATE SEQUENCE s");
        ok("CREATE TRIGGER t_seq BEFORE INSERT ON t FOR EACH ROW BEGIN SELECT s.NEXTVAL INTO "
           ":new.seq FROM dual; END;");
        ok("INSERT INTO t (id, name) VALUES (100, 'taken')");
        ok("COMMIT");
    }

    // The rows of every failed iteration, read as the product would: OCIParamGet on the
    // execute's error handle, into error handles of its own (or, with `own_handles` false,
    // into ones oralite makes).
    void read_batch_errors(OCIStmt* stmt, batch_outcome& out, bool own_handles) {
        OCIError* row_err = nullptr;
        if (own_handles) {
            OCIHandleAlloc(scott.env, reinterpret_cast<void**>(&row_err), OCI_HTYPE_ERROR, 0,
                           nullptr);
        }
        for (const batch_error& e : batch_errors(scott, stmt, row_err)) {
            out.failed.emplace_back(e.offset, e.code);
            out.messages.push_back(e.message);
        }
        out.errors = static_cast<ub4>(out.failed.size());
        if (own_handles)
            OCIHandleFree(row_err, OCI_HTYPE_ERROR);
    }

    // INSERT INTO t (id, name) VALUES (:1, :2) as one array execute of the rows, with
    // value, indicator and length arrays.
    batch_outcome insert_rows(const std::vector<row_in>& rows, ub4 mode, bool own_handles = true) {
        OCIStmt* stmt = scott.prepare("INSERT INTO t (id, name) VALUES (:1, :2)");
        constexpr size_t k_width = 16;  // bytes per name element (8 UTF-16 units)
        std::vector<int> ids;
        std::vector<char16_t> names(rows.size() * k_width / 2);
        std::vector<sb2> ind(rows.size());
        std::vector<ub2> len(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            ids.push_back(rows[i].id);
            std::u16string n = u16(rows[i].name);
            ind[i] = rows[i].name == "<NULL>" ? OCI_IND_NULL : OCI_IND_NOTNULL;
            n.resize(std::min<size_t>(n.size(), k_width / 2));
            std::memcpy(names.data() + i * k_width / 2, n.data(), n.size() * 2);
            len[i] = static_cast<ub2>(n.size() * 2);
        }
        OCIBind* b1 = nullptr;
        OCIBind* b2 = nullptr;
        EXPECT_EQ(OCIBindByPos(stmt, &b1, scott.err, 1, ids.data(), sizeof(int), SQLT_INT, nullptr,
                               nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS);
        EXPECT_EQ(OCIBindByPos(stmt, &b2, scott.err, 2, names.data(), k_width, SQLT_CHR, ind.data(),
                               len.data(), nullptr, 0, nullptr, OCI_DEFAULT),
                  OCI_SUCCESS);
        batch_outcome out;
        out.rc = OCIStmtExecute(scott.svc, stmt, scott.err, static_cast<ub4>(rows.size()), 0,
                                nullptr, nullptr, mode);
        if (out.rc != OCI_SUCCESS)
            out.code = scott.code();
        OCIAttrGet(stmt, OCI_HTYPE_STMT, &out.rows, nullptr, OCI_ATTR_ROW_COUNT, scott.err);
        if (mode & OCI_BATCH_ERRORS)
            read_batch_errors(stmt, out, own_handles);
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        return out;
    }

    rows_t table() { return scott.rows("SELECT id, name FROM t ORDER BY id"); }
};

// Rows 0..4 with the failures of each case put in: a duplicate key (ORA-00001), a NULL name
// (ORA-01400) and a name too long (ORA-12899).
struct failure_case {
    const char* what;
    std::vector<row_in> rows;
    std::vector<std::pair<ub4, int>> failures;  // in row order
};

std::vector<failure_case> failure_cases() {
    return {
        {"first row fails", {{100, "dup"}, {1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}}, {{0, 1}}},
        {"a middle row fails",
         {{0, "a"}, {1, "b"}, {2, "<NULL>"}, {3, "c"}, {4, "d"}},
         {{2, 1400}}},
        {"last row fails", {{0, "a"}, {1, "b"}, {2, "c"}, {3, "d"}, {4, "toolong"}}, {{4, 12899}}},
        {"several rows fail, one of them a duplicate within the batch",
         {{0, "a"}, {0, "again"}, {2, "<NULL>"}, {3, "c"}, {4, "toolong"}},
         {{1, 1}, {2, 1400}, {4, 12899}}},
    };
}

// The rows of a case that are expected in the table after it, with the row already there.
rows_t surviving(const failure_case& c, size_t stop) {
    rows_t out;
    std::vector<size_t> bad;
    for (const auto& f : c.failures) bad.push_back(f.first);
    for (size_t i = 0; i < std::min(stop, c.rows.size()); ++i) {
        if (std::find(bad.begin(), bad.end(), i) == bad.end())
            out.push_back({std::to_string(c.rows[i].id), c.rows[i].name});
    }
    out.push_back({"100", "taken"});
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return std::stoi(a[0]) < std::stoi(b[0]); });
    return out;
}

TEST_F(array_dml_test, without_batch_errors_the_execute_stops_at_the_first_failing_row) {
    for (const failure_case& c : failure_cases()) {
        SCOPED_TRACE(c.what);
        ub4 first = c.failures.front().first;
        batch_outcome out = insert_rows(c.rows, OCI_DEFAULT);
        EXPECT_EQ(out.rc, OCI_ERROR);
        EXPECT_EQ(out.code, c.failures.front().second);
        EXPECT_EQ(out.rows, first) << "rows processed before the failure";
        // The rows before the failure are applied and uncommitted.
        EXPECT_EQ(table(), surviving(c, first));
        EXPECT_EQ(system_conn.scalar("SELECT COUNT(*) FROM scott.t"), "1");
        ok("ROLLBACK");
        EXPECT_EQ(table(), (rows_t{{"100", "taken"}}));
    }
}

TEST_F(array_dml_test, batch_errors_try_every_row_and_report_each_failure) {
    for (bool own_handles : {true, false}) {
        for (const failure_case& c : failure_cases()) {
            SCOPED_TRACE(std::string(c.what) + (own_handles ? "" : ", handles made by OCI"));
            batch_outcome out = insert_rows(c.rows, OCI_BATCH_ERRORS, own_handles);
            EXPECT_EQ(out.rc, OCI_SUCCESS_WITH_INFO);
            EXPECT_EQ(out.code, 24381);
            EXPECT_EQ(out.errors, c.failures.size());
            EXPECT_EQ(out.failed, c.failures);
            EXPECT_EQ(out.rows, c.rows.size() - c.failures.size()) << "rows that went in";
            EXPECT_EQ(table(), surviving(c, c.rows.size()));
            ASSERT_FALSE(out.messages.empty());
            EXPECT_EQ(out.messages.front().rfind("ORA-", 0), 0u) << out.messages.front();
            ok("ROLLBACK");
        }
    }
}

TEST_F(array_dml_test, failed_rows_leave_no_trigger_effects_but_use_up_their_sequence_number) {
    batch_outcome out = insert_rows({{1, "a"}, {2, "toolong"}, {3, "c"}}, OCI_BATCH_ERRORS);
    EXPECT_EQ(out.rows, 2u);
    // The trigger ran for every row (the insert of 100 took 1); the failed row's number is
    // gone, as with Oracle's sequences.
    EXPECT_EQ(scott.rows("SELECT id, seq FROM t WHERE id < 100 ORDER BY id"),
              (rows_t{{"1", "2"}, {"3", "4"}}));
}

TEST_F(array_dml_test, commit_on_success_does_not_commit_an_execute_with_batch_errors) {
    batch_outcome out =
        insert_rows({{1, "a"}, {100, "dup"}, {3, "c"}}, OCI_BATCH_ERRORS | OCI_COMMIT_ON_SUCCESS);
    EXPECT_EQ(out.rc, OCI_SUCCESS_WITH_INFO);
    EXPECT_EQ(out.rows, 2u);
    EXPECT_EQ(system_conn.scalar("SELECT COUNT(*) FROM scott.t"), "1") << "not committed";
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM t"), "3");
    ok("ROLLBACK");
    EXPECT_EQ(scott.scalar("SELECT COUNT(*) FROM t"), "1");

    // Without a failing row the same execute commits: one trip per batch.
    out = insert_rows({{1, "a"}, {2, "b"}}, OCI_BATCH_ERRORS | OCI_COMMIT_ON_SUCCESS);
    EXPECT_EQ(out.rc, OCI_SUCCESS);
    EXPECT_EQ(out.errors, 0u);
    EXPECT_EQ(system_conn.scalar("SELECT COUNT(*) FROM scott.t"), "3");
}

TEST_F(array_dml_test, array_update_with_batch_errors_counts_changed_rows) {
    ok("INSERT INTO t (id, name) VALUES (1, 'a')");
    ok("INSERT INTO t (id, name) VALUES (2, 'b')");
    OCIStmt* stmt = scott.prepare("UPDATE t SET name = :n WHERE id = :i");
    int ids[4] = {1, 2, 7, 100};  // 7 matches nothing
    char16_t names[4][8] = {u"one", u"second", u"x", u"hundr"};
    ub2 len[4] = {6, 12, 2, 10};
    OCIBind* b = nullptr;
    std::u16string n = u16(":n"), i = u16(":i");
    OCIBindByName(stmt, &b, scott.err, text(n), bytes(n), names, sizeof names[0], SQLT_CHR, nullptr,
                  len, nullptr, 0, nullptr, OCI_DEFAULT);
    OCIBindByName(stmt, &b, scott.err, text(i), bytes(i), ids, sizeof(int), SQLT_INT, nullptr,
                  nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 4, 0, nullptr, nullptr, OCI_BATCH_ERRORS),
              OCI_SUCCESS_WITH_INFO);
    ub4 rows = 0, errors = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, scott.err);
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &errors, nullptr, OCI_ATTR_NUM_DML_ERRORS, scott.err);
    EXPECT_EQ(rows, 2u);
    EXPECT_EQ(errors, 1u);
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_EQ(table(), (rows_t{{"1", "one"}, {"2", "b"}, {"100", "hundr"}}));
}

TEST_F(array_dml_test, arrays_of_structures_and_32_bit_lengths) {
    struct record {
        int id;
        char16_t name[6];
        sb2 ind;
        ub4 len;
    };
    record recs[3] = {{1, u"ab", 0, 4}, {2, u"", -1, 0}, {3, u"fghij", 0, 10}};
    // OCIBindByPos2 with ub4 lengths, the arrays strided by OCIBindArrayOfStruct.
    OCIStmt* stmt = scott.prepare("INSERT INTO t (id, name) VALUES (:1, NVL(:2, 'none'))");
    OCIBind* b1 = nullptr;
    OCIBind* b2 = nullptr;
    ASSERT_EQ(OCIBindByPos2(stmt, &b1, scott.err, 1, &recs[0].id, sizeof(int), SQLT_INT, nullptr,
                            nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(OCIBindByPos2(stmt, &b2, scott.err, 2, recs[0].name, sizeof recs[0].name, SQLT_CHR,
                            &recs[0].ind, &recs[0].len, nullptr, 0, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(OCIBindArrayOfStruct(b1, scott.err, sizeof(record), 0, 0, 0), OCI_SUCCESS);
    ASSERT_EQ(
        OCIBindArrayOfStruct(b2, scott.err, sizeof(record), sizeof(record), sizeof(record), 0),
        OCI_SUCCESS);
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 3, 0, nullptr, nullptr, OCI_DEFAULT),
              OCI_SUCCESS)
        << scott.message();
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_EQ(table(), (rows_t{{"1", "ab"}, {"2", "none"}, {"3", "fghij"}, {"100", "taken"}}));
}

TEST_F(array_dml_test, what_batch_errors_refuse_fails_the_whole_execute) {
    struct refusal {
        const char* sql;
        int code;
    };
    const refusal cases[] = {
        {"SELECT id FROM t", 28714},
        {"CREATE TABLE u (x NUMBER)", 28714},
        {"INSERT /*+ APPEND_VALUES */ INTO t (id, name) VALUES (5, 'e')", 38910},
        // A placeholder without a bind is no failure of one row.
        {"INSERT INTO t (id, name) VALUES (5, :name)", 1008},
    };
    for (const refusal& r : cases) {
        EXPECT_EQ(scott.exec(r.sql, OCI_BATCH_ERRORS, 1), OCI_ERROR) << r.sql;
        EXPECT_EQ(scott.code(), r.code) << r.sql;
    }
    EXPECT_EQ(table(), (rows_t{{"100", "taken"}}));
    // The APPEND hint, which the product writes, is ignored by an INSERT ... VALUES.
    EXPECT_EQ(
        scott.exec("INSERT /*+ APPEND */ INTO t (id, name) VALUES (5, 'e')", OCI_BATCH_ERRORS, 1),
        OCI_SUCCESS);
}

}  // namespace
}  // namespace oralite_test

// An array INSERT decides once per execute how each VALUES item is read (a bind by its slot,
// TO_DATE / TO_TIMESTAMP of a bind with a literal format without a function call); any other
// expression is evaluated as it stands. Both ways must store the same values and fail the
// same rows with the same errors: the same rows are inserted through the planned form and
// through a general form of the same values (the format a bind, NVL(:n, NULL) for a plain
// bind), and compared.
#include <cstring>
#include <functional>

#include "oci_support.h"

namespace oralite_test {
namespace {

using rows_t = std::vector<std::vector<std::string>>;

const char k_null[] = "<NULL>";

// One row bound as texts: every value a UTF-16 text; k_null binds NULL.
struct text_row {
    std::string id, day, stamp, whole, any, code;
};

struct insert_outcome {
    sword rc = 0;
    ub4 rows = 0;
    std::vector<std::pair<ub4, int>> failed;  // row offset, ORA number
    std::vector<std::string> messages;
};

// The planned form and the general form of the same INSERT; the general one binds the
// formats too, its placeholders numbered in the order they stand (binds go by position).
const char k_planned[] =
    "INSERT INTO p VALUES (:1, TO_DATE(:2, 'YYYY-MM-DD HH24:MI:SS'),"
    " TO_TIMESTAMP(:3, 'YYYY-MM-DD HH24:MI:SS.FF6'), :4, :5, :6)";
const char k_general[] =
    "INSERT INTO p VALUES (NVL(:1, NULL), TO_DATE(:2, :3), TO_TIMESTAMP(:4, :5),"
    " NVL(:6, NULL), NVL(:7, NULL), NVL(:8, NULL))";

class array_insert_paths_test : public database_test {
  protected:
    void SetUp() override {
        database_test::SetUp();
        ok("CREATE TABLE p (id NUMBER(4) NOT NULL, d DATE, ts TIMESTAMP(6), whole NUMBER(38),"
           " any_number NUMBER, code VARCHAR2(5))");
    }

    // Binds column `k` of the rows as UTF-16 texts at position k + 1.
    struct text_column {
        std::vector<char16_t> data;
        std::vector<sb2> ind;
        std::vector<ub2> len;
    };
    static constexpr size_t k_width = 128;  // bytes per element

    static text_column column_of(const std::vector<std::string>& values) {
        text_column c{std::vector<char16_t>(values.size() * k_width / 2),
                      std::vector<sb2>(values.size()), std::vector<ub2>(values.size())};
        for (size_t i = 0; i < values.size(); ++i) {
            std::u16string t = u16(values[i]);
            c.ind[i] = values[i] == k_null ? OCI_IND_NULL : OCI_IND_NOTNULL;
            std::memcpy(c.data.data() + i * k_width / 2, t.data(), t.size() * 2);
            c.len[i] = static_cast<ub2>(t.size() * 2);
        }
        return c;
    }

    // One array execute of the rows with batch errors; `after` sees the statement executed.
    insert_outcome insert(const std::string& sql, const std::vector<text_row>& rows,
                          const std::function<void(OCIStmt*)>& after = {}) {
        const bool general = sql == k_general;
        std::vector<std::vector<std::string>> values;
        for (const text_row& r : rows) {
            std::vector<std::string> fields = {r.id, r.day, r.stamp, r.whole, r.any, r.code};
            if (general) {
                fields.insert(fields.begin() + 2, "YYYY-MM-DD HH24:MI:SS");
                fields.insert(fields.begin() + 4, "YYYY-MM-DD HH24:MI:SS.FF6");
            }
            values.resize(fields.size());
            for (size_t k = 0; k < fields.size(); ++k) values[k].push_back(fields[k]);
        }
        const size_t binds = values.size();
        std::vector<text_column> columns;
        for (size_t k = 0; k < binds; ++k) columns.push_back(column_of(values[k]));
        OCIStmt* stmt = scott.prepare(sql);
        for (size_t k = 0; k < binds; ++k) {
            OCIBind* b = nullptr;
            EXPECT_EQ(OCIBindByPos(stmt, &b, scott.err, static_cast<ub4>(k + 1),
                                   columns[k].data.data(), k_width, SQLT_CHR, columns[k].ind.data(),
                                   columns[k].len.data(), nullptr, 0, nullptr, OCI_DEFAULT),
                      OCI_SUCCESS);
        }
        insert_outcome out;
        out.rc = OCIStmtExecute(scott.svc, stmt, scott.err, static_cast<ub4>(rows.size()), 0,
                                nullptr, nullptr, OCI_BATCH_ERRORS);
        OCIAttrGet(stmt, OCI_HTYPE_STMT, &out.rows, nullptr, OCI_ATTR_ROW_COUNT, scott.err);
        OCIError* row_err = nullptr;
        OCIHandleAlloc(scott.env, reinterpret_cast<void**>(&row_err), OCI_HTYPE_ERROR, 0, nullptr);
        for (const batch_error& e : batch_errors(scott, stmt, row_err)) {
            out.failed.emplace_back(e.offset, e.code);
            out.messages.push_back(e.message);
        }
        OCIHandleFree(row_err, OCI_HTYPE_ERROR);
        if (after)
            after(stmt);
        OCIHandleFree(stmt, OCI_HTYPE_STMT);
        return out;
    }

    rows_t table() {
        return scott.rows(
            "SELECT id, TO_CHAR(d, 'SYYYY-MM-DD HH24:MI:SS'),"
            " TO_CHAR(ts, 'SYYYY-MM-DD HH24:MI:SS.FF9'), whole, any_number, code"
            " FROM p ORDER BY id");
    }

    // The rows through both forms: the same failures, messages and stored values.
    std::pair<insert_outcome, rows_t> same_through_both(const std::vector<text_row>& rows) {
        insert_outcome planned = insert(k_planned, rows);
        rows_t planned_rows = table();
        ok("ROLLBACK");
        insert_outcome general = insert(k_general, rows);
        rows_t general_rows = table();
        ok("ROLLBACK");
        EXPECT_EQ(planned.rc, general.rc);
        EXPECT_EQ(planned.rows, general.rows);
        EXPECT_EQ(planned.failed, general.failed);
        EXPECT_EQ(planned.messages, general.messages);
        EXPECT_EQ(planned_rows, general_rows);
        return {planned, planned_rows};
    }
};

TEST_F(array_insert_paths_test, planned_and_general_values_store_and_fail_alike) {
    const std::string ok_stamp = "2020-01-01 00:00:00.000000";
    const std::string ok_day = "2020-01-01 00:00:00";
    const std::vector<text_row> rows = {
        // A bad date in the first row.
        {"0", "2024-02-30 00:00:00", ok_stamp, "1", "1", "a"},
        {"1", "0001-01-01 00:00:00", "0001-01-01 00:00:00.000001", "0", "-0.5", "b"},
        {"2", "9999-12-31 23:59:59", "9999-12-31 23:59:59.999999", "-1", "1e125", "c"},
        {"3", "2024-02-29 12:30:45", "2000-02-29 00:00:00.5", "7", ".125", "d"},
        // A bad date in a middle row, the next past the last day of the calendar.
        {"4", "2023-02-29 00:00:00", ok_stamp, "1", "1", "e"},
        {"5", "10000-01-01 00:00:00", ok_stamp, "1", "1", "f"},
        {"6", k_null, k_null, k_null, k_null, k_null},
        {"7", "", "", "", "", ""},
        {"8", ok_day, ok_stamp, std::string(38, '9'), "1234567890123456789012345678901234567890123",
         "abcde"},
        {"9", ok_day, ok_stamp, "1" + std::string(38, '0'), "1", "a"},
        {"10", ok_day, ok_stamp, "12.5", "3.14159265358979323846", "abcdef"},
        {"11", ok_day, ok_stamp, "1", "1", "\u00e4\u00e4b"},
        {"12", ok_day, ok_stamp, "1", "1", "\u00e4\u00e4\u00e4"},
        {"13", "not a date", ok_stamp, "1", "1", "x"},
        {"14", ok_day, ok_stamp, "1x", "1", "x"},
        {"15", "2024-01-01 24:00:00", "2024-01-01 00:00:00.1234567", "1", "1", "x"},
        // A bad date in the last row.
        {"16", "2024-13-01 00:00:00", ok_stamp, "1", "1", "x"},
    };
    auto [outcome, stored] = same_through_both(rows);
    EXPECT_EQ(outcome.rc, OCI_SUCCESS_WITH_INFO);
    // The rows that fail and their numbers (a year of five digits leaves its last one to MM).
    const std::vector<std::pair<ub4, int>> expected = {
        {0, 1839},   {4, 1839},  {5, 1843},  {9, 1438},  {10, 12899},
        {12, 12899}, {13, 1858}, {14, 1722}, {15, 1850}, {16, 1843}};
    EXPECT_EQ(outcome.failed, expected);
    ASSERT_EQ(stored.size(), 7u);
    EXPECT_EQ(stored[0],
              (std::vector<std::string>{"1", " 0001-01-01 00:00:00",
                                        " 0001-01-01 00:00:00.000001000", "0", "-.5", "b"}));
    EXPECT_EQ(stored[1][1], " 9999-12-31 23:59:59");
    EXPECT_EQ(stored[1][2], " 9999-12-31 23:59:59.999999000");
    EXPECT_EQ(stored[2][1], " 2024-02-29 12:30:45");
    EXPECT_EQ(stored[2][2], " 2000-02-29 00:00:00.500000000");
    // NULLs and empty texts are NULL alike.
    const std::vector<std::string> nulls = {k_null, k_null, k_null, k_null, k_null};
    EXPECT_EQ(std::vector<std::string>(stored[3].begin() + 1, stored[3].end()), nulls);
    EXPECT_EQ(std::vector<std::string>(stored[4].begin() + 1, stored[4].end()), nulls);
    EXPECT_EQ(stored[5][3], std::string(38, '9'));
    EXPECT_EQ(stored[5][5], "abcde");
    EXPECT_EQ(stored[6][5], "\u00e4\u00e4b");
}

TEST_F(array_insert_paths_test, a_date_bound_as_a_number_is_read_as_its_text) {
    // TO_DATE of a bind that is no text takes the general call, which converts it first.
    ok("CREATE TABLE q (d DATE)");
    OCIStmt* stmt = scott.prepare("INSERT INTO q VALUES (TO_DATE(:1, 'YYYYMMDD'))");
    int days[3] = {20240229, 20230229, 10101};
    OCIBind* b = nullptr;
    ASSERT_EQ(OCIBindByPos(stmt, &b, scott.err, 1, days, sizeof(int), SQLT_INT, nullptr, nullptr,
                           nullptr, 0, nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
    EXPECT_EQ(OCIStmtExecute(scott.svc, stmt, scott.err, 3, 0, nullptr, nullptr, OCI_BATCH_ERRORS),
              OCI_SUCCESS_WITH_INFO);
    ub4 errors = 0;
    OCIAttrGet(stmt, OCI_HTYPE_STMT, &errors, nullptr, OCI_ATTR_NUM_DML_ERRORS, scott.err);
    EXPECT_EQ(errors, 2u) << "Feb 29 of 2023, and a text of 5 digits";
    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    EXPECT_EQ(scott.rows("SELECT TO_CHAR(d, 'YYYY-MM-DD') FROM q"), (rows_t{{"2024-02-29"}}));
}

TEST_F(array_insert_paths_test, the_rowid_of_an_array_insert_is_its_last_inserted_row) {
    // The last row fails: the ROWID is the one of the row before it.
    const std::string ok_day = "2020-01-01 00:00:00";
    const std::string ok_stamp = "2020-01-01 00:00:00.000000";
    std::vector<text_row> rows = {{"1", ok_day, ok_stamp, "1", "1", "a"},
                                  {"2", ok_day, ok_stamp, "2", "2", "b"},
                                  {"3", ok_day, ok_stamp, "3", "3", "toolong"}};
    std::string rowid_text;
    insert_outcome out =
        insert(k_planned, rows, [&](OCIStmt* stmt) { rowid_text = rowid_of(scott, stmt); });
    EXPECT_EQ(out.failed, (std::vector<std::pair<ub4, int>>{{2, 12899}}));
    EXPECT_EQ(scott.scalar("SELECT id FROM p WHERE ROWID = '" + rowid_text + "'"), "2");
}

}  // namespace
}  // namespace oralite_test

// Reading records: whole tables of several pages, custom queries of any size, navigation,
// and the failures a long read can meet (rows changing under it, a broken connection, a slow
// writer of the records).
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "sql_server_test.h"

namespace {

using sql_reading_test = sql_server_test;

// Reads every record from the current position; checks that positions count up one by one
// and that no record is missing before the end. Returns the ids read.
std::vector<int32_t> read_ids(sql_recordset& records) {
    std::vector<int32_t> ids;
    int32_t position = records.position();
    while (!records.is_eof()) {
        const udb_record* record = records.get_item();
        if (record == nullptr) {
            ADD_FAILURE() << "no record at position " << position << " before the end";
            break;
        }
        ids.push_back((*record)[0].to_long());
        EXPECT_EQ(records.next(), ++position);
    }
    return ids;
}

void expect_each_once(const std::vector<int32_t>& ids, int32_t rows) {
    ASSERT_EQ(ids.size(), static_cast<size_t>(rows));
    const std::set<int32_t> distinct(ids.begin(), ids.end());
    EXPECT_EQ(distinct.size(), ids.size());
    EXPECT_EQ(*distinct.begin(), 1);
    EXPECT_EQ(*distinct.rbegin(), rows);
}

TEST_F(sql_reading_test, tables_of_several_pages_are_read_completely) {
    for (int rows : {0, 1, 255, 256, 257, 600, 100000}) {
        SCOPED_TRACE(rows);
        const std::string table = "t" + std::to_string(rows);
        if (rows == 0) {
            admin("CREATE TABLE t0 (id INT)");
        } else {
            fill_numbered(table, rows);
        }
        auto database = open();
        auto records = database->open_table(std::wstring(table.begin(), table.end()));
        EXPECT_EQ(records->record_count(), rows);
        records->move_first();
        EXPECT_EQ(records->position(), 0);
        if (rows == 0) {
            EXPECT_TRUE(records->is_eof());
            EXPECT_EQ(records->get_item(), nullptr);
            continue;
        }
        const std::vector<int32_t> ids = read_ids(*records);
        expect_each_once(ids, rows);
        EXPECT_EQ(records->position(), rows);
        EXPECT_TRUE(records->is_eof());
        EXPECT_EQ(records->get_item(), nullptr);
        EXPECT_EQ(records->record_count(), rows);
        if (rows == 600) {
            // Pages limited by the bytes of their values hold fewer records each.
            auto small_pages = database->open_table(L"t600");
            small_pages->set_page_bytes(1000);
            expect_each_once(read_ids(*small_pages), rows);
            // Records carry the column names and the text values.
            records->move_first();
            const udb_record* first = records->get_item();
            ASSERT_NE(first, nullptr);
            EXPECT_EQ((*first)[1].name(), L"label");
            EXPECT_EQ((*first)[1].to_wstring(), L"row " + std::to_wstring((*first)[0].to_long()));
        }
    }
}

TEST_F(sql_reading_test, custom_query_of_more_than_one_page) {
    fill_numbered("q", 1000);
    auto database = open();
    auto records = database->open_query(L"odd rows", L"SELECT id, label FROM q WHERE id % 2 = 1");
    EXPECT_EQ(records->record_count(), 500);
    std::vector<int32_t> ids = read_ids(*records);
    ASSERT_EQ(ids.size(), 500u);
    for (int32_t& id : ids) {
        EXPECT_EQ(id % 2, 1);
        id = (id + 1) / 2;
    }
    expect_each_once(ids, 500);
    // Reading again starts the query afresh.
    records->move_first();
    EXPECT_EQ(read_ids(*records).size(), 500u);
}

TEST_F(sql_reading_test, the_end_is_where_the_rows_end_not_where_the_count_was) {
    fill_numbered("c", 3000);
    auto database = open();
    // The count runs the query once and the read a second time; a user variable makes the
    // two runs see different rows, as rows deleted or added between them would.
    struct {
        const wchar_t* query;
        int32_t counted;
        int32_t read;
    } const cases[] = {
        // Fewer rows than counted: no null record is handed out before the end.
        {L"SELECT id FROM c WHERE (@n := @n + 1) <= 2800 OR @n > 5600", 2800, 400},
        // More rows than counted: none is left behind.
        {L"SELECT id FROM c WHERE (@n := @n + 1) > 2990", 10, 3000},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(database->test_query(L"SET @n = 0"));
        auto records = database->open_query(L"q", c.query);
        EXPECT_EQ(records->record_count(), c.counted);
        const std::vector<int32_t> ids = read_ids(*records);
        EXPECT_EQ(ids.size(), static_cast<size_t>(c.read));
        EXPECT_TRUE(records->is_eof());
        EXPECT_EQ(records->get_item(), nullptr);
        EXPECT_EQ(records->record_count(), c.read);
    }
}

class sql_navigation_test : public sql_server_test, public ::testing::WithParamInterface<size_t> {};

INSTANTIATE_TEST_SUITE_P(page_bytes, sql_navigation_test,
                         ::testing::Values(sql_page_bytes, size_t{1000}));

TEST_P(sql_navigation_test, navigation_back_and_to_the_start) {
    fill_numbered("nav", 600);
    auto database = open();
    auto records = database->open_table(L"nav");
    records->set_page_bytes(GetParam());
    std::vector<int32_t> order = read_ids(*records);
    ASSERT_EQ(order.size(), 600u);

    records->move_first();
    EXPECT_EQ(records->position(), 0);
    EXPECT_EQ((*records->get_item())[0].to_long(), order[0]);
    records->move_prev();  // at the start: nothing happens
    EXPECT_EQ(records->position(), 0);

    // Within a page, and across the start of a page, the previous record is the one read
    // before (the server returns this table in primary-key order every time).
    for (int32_t target : {300, 256}) {
        records->move_first();
        while (records->position() < target) {
            records->next();
        }
        records->move_prev();
        EXPECT_EQ(records->position(), target - 1);
        ASSERT_NE(records->get_item(), nullptr);
        EXPECT_EQ((*records->get_item())[0].to_long(), order[target - 1]) << target;
        records->next();
        EXPECT_EQ((*records->get_item())[0].to_long(), order[target]) << target;
    }

    // A record handed out may have been changed in place by its user; the start is read
    // afresh rather than served from those records.
    records->move_first();
    (*records->get_item())[1].set_value(ole_variant(std::wstring(L"changed")));
    records->move_first();
    EXPECT_EQ((*records->get_item())[1].to_wstring(), L"row " + std::to_wstring(order[0]));
}

TEST_F(sql_reading_test, a_broken_connection_is_an_error_not_the_end) {
    fill_numbered("big", 100000);
    auto database = open();
    const std::wstring id = (*database->read_all(L"SELECT CONNECTION_ID()"))[0][0].to_wstring();
    auto records = database->open_table(L"big");
    ASSERT_FALSE(records->is_eof());
    admin("KILL CONNECTION " + std::string(id.begin(), id.end()));
    size_t read = 0;
    try {
        while (!records->is_eof()) {
            ++read;
            records->next();
        }
        ADD_FAILURE() << "the read ended quietly after " << read << " records";
    } catch (const sql_exception& e) {
        EXPECT_LT(read, 100000u);
        EXPECT_GE(e.code(), 0x400000 + 1000) << e.what();
    }
    EXPECT_TRUE(records->is_eof());
    EXPECT_EQ(records->get_item(), nullptr);
}

TEST_F(sql_reading_test, a_slow_reader_keeps_its_stream) {
    // Large rows fill the network buffers at once; the server then waits for the reader,
    // which here spends longer on one page than the server's write timeout.
    admin("CREATE TABLE slow (id INT PRIMARY KEY, payload LONGBLOB)");
    admin("INSERT INTO slow SELECT seq, REPEAT('x', 65536) FROM seq_1_to_800");
    admin("SET GLOBAL net_write_timeout = 2");
    engine_->connect(server_.host, server_.user, server_.password, server_.port);
    admin("SET GLOBAL net_write_timeout = 60");
    auto database = open();
    auto records = database->open_table(L"slow");
    ASSERT_FALSE(records->is_eof());
    std::this_thread::sleep_for(std::chrono::seconds(4));
    size_t read = 0;
    for (; !records->is_eof(); records->next()) {
        ASSERT_EQ(records->get_item()->fields[1].bytes().size(), 65536u);
        ++read;
    }
    EXPECT_EQ(read, 800u);
}

}  // namespace

namespace {

class sql_sample_test : public sql_server_test {};

TEST_F(sql_sample_test, every_table_of_the_sample_shop_reads_completely) {
    std::ifstream file(std::string(std::getenv("TARVOLIN_SOURCE_DIR")) +
                       "/scripts/sample/shop.sql");
    ASSERT_TRUE(file.good());
    std::string script((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The sample names its database; the test loads it into its own.
    for (const std::string from : {"DATABASE IF EXISTS shop;", "DATABASE shop ", "USE shop;"}) {
        const size_t at = script.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        std::string to = from;
        to.replace(to.find("shop"), 4, "`" + database_ + "`");
        script.replace(at, from.size(), to);
    }
    admin(script);

    auto database = open();
    EXPECT_EQ(database->tables.size(), 12u);
    for (const std::wstring& name : database->tables) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        const std::string count_statement =
            "SELECT COUNT(*) FROM `" + std::string(name.begin(), name.end()) + "`";
        ASSERT_EQ(mysql_query(admin_, count_statement.c_str()), 0);
        MYSQL_RES* result = mysql_store_result(admin_);
        const long expected = std::atol(mysql_fetch_row(result)[0]);
        mysql_free_result(result);

        auto records = database->open_table(name);
        EXPECT_FALSE(records->schema.empty());
        EXPECT_FALSE(records->indexes.empty());
        long read = 0;
        for (records->move_first(); !records->is_eof(); records->next()) {
            ASSERT_EQ(records->get_item()->size(), records->schema.size());
            ++read;
        }
        EXPECT_EQ(read, expected);
    }
}

}  // namespace

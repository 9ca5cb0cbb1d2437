// Table structure read from the server: defaults of every kind, NOT NULL and auto-increment,
// indexes, the creation text, table lists, counts and the statements of the database.
#include "sql_server_test.h"

namespace {

using sql_structure_test = sql_server_test;

TEST_F(sql_structure_test, defaults_of_every_kind) {
    admin("SET SESSION sql_mode = ''");
    admin(
        "CREATE TABLE defaults ("
        " a INT DEFAULT 5,"
        " b VARCHAR(10) NOT NULL DEFAULT '',"
        " c VARCHAR(20) DEFAULT 'current_timestamp()',"
        " d VARCHAR(10) DEFAULT NULL,"
        " e DATETIME NOT NULL DEFAULT '0000-00-00 00:00:00',"
        " f TIMESTAMP NOT NULL DEFAULT current_timestamp(),"
        " g VARCHAR(10) DEFAULT 'NULL',"
        " h INT NOT NULL,"
        " i DECIMAL(10,2) UNSIGNED DEFAULT 1.50,"
        " j VARCHAR(10) DEFAULT 'it''s',"
        " k BIT(12) DEFAULT b'101',"
        " l ENUM('x','y') DEFAULT 'y',"
        " m INT DEFAULT (1 + 2),"
        " n INT,"
        " o DATE DEFAULT '2024-02-29',"
        " p BIT(1) NOT NULL DEFAULT b'1',"
        " q VARCHAR(10) NOT NULL,"
        " r DOUBLE DEFAULT -2.5,"
        " s CHAR(36) DEFAULT uuid(),"
        " t DATETIME NOT NULL,"
        " u BIGINT UNSIGNED DEFAULT 18446744073709551615,"
        " v VARCHAR(10) DEFAULT 'caf\xC3\xA9',"
        " w DATETIME(3) DEFAULT '2024-02-29 10:11:12.125',"
        " x DATETIME(6) DEFAULT CURRENT_TIMESTAMP(6),"
        " y DATE NOT NULL DEFAULT '2024-00-00',"
        " z TIME(1) NOT NULL DEFAULT '-12:00:00.5')");
    auto database = open();
    auto table = database->open_table(L"defaults");

    struct {
        const wchar_t* column;
        VARTYPE default_kind;  // VT_EMPTY: no default
        const wchar_t* text;
        bool not_null;
    } const cases[] = {
        {L"a", VT_I4, L"5", false},
        // A NOT NULL text column keeps its empty default.
        {L"b", VT_BSTR, L"", true},
        // A literal that reads like an expression is still the literal.
        {L"c", VT_BSTR, L"current_timestamp()", false},
        {L"d", VT_EMPTY, L"", false},
        // No date holds a zero date: no default, and the column takes NULLs for such values.
        {L"e", VT_EMPTY, L"", false},
        // The time of the insert is no literal value: the column says so in its own flag
        // and stays NOT NULL.
        {L"f", VT_EMPTY, L"", true},
        {L"g", VT_BSTR, L"NULL", false},
        {L"h", VT_EMPTY, L"", true},
        {L"i", VT_DECIMAL, L"1.50", false},
        {L"j", VT_BSTR, L"it's", false},
        {L"k", VT_UI2, L"5", false},
        {L"l", VT_BSTR, L"y", false},
        {L"m", VT_EMPTY, L"", false},
        {L"n", VT_EMPTY, L"", false},
        // Read as exactly as the column's values.
        {L"o", VT_DATE, L"2024-02-29", false},
        {L"p", VT_BOOL, L"1", true},
        // NOT NULL without a default: no default (not an empty text).
        {L"q", VT_EMPTY, L"", true},
        {L"r", VT_R8, L"", false},
        {L"s", VT_EMPTY, L"", false},
        {L"t", VT_EMPTY, L"", false},
        {L"u", VT_UI8, L"18446744073709551615", false},
        {L"v", VT_BSTR, L"caf\u00e9", false},
        {L"w", VT_DATE, L"2024-02-29 10:11:12.125000", false},
        {L"x", VT_EMPTY, L"", false},
        // A partial zero date is no date either.
        {L"y", VT_EMPTY, L"", false},
        {L"z", VT_DATE, L"0000-00-00 -12:00:00.500000", true},
    };
    ASSERT_EQ(table->schema.size(), std::size(cases));
    for (const auto& c : cases) {
        const t_ftd& field = table->schema.get_field(c.column);
        SCOPED_TRACE(std::string(field.name.begin(), field.name.end()));
        EXPECT_EQ(field.default_value.vartype(), c.default_kind);
        if (c.default_kind == VT_R8) {
            EXPECT_EQ(field.default_value.to_double(), -2.5);
        } else if (c.default_kind != VT_EMPTY) {
            EXPECT_EQ(field.default_value.to_wstring(), c.text);
        }
        EXPECT_EQ(field.not_null, c.not_null);
        // Only the two CURRENT_TIMESTAMP columns default to the time of the insert.
        EXPECT_EQ(field.default_is_now, field.name == L"f" || field.name == L"x");
    }
    EXPECT_EQ(table->schema.get_field(L"w").fraction_digits, 3);
    EXPECT_EQ(table->schema.get_field(L"x").fraction_digits, 6);
    EXPECT_EQ(table->schema.get_field(L"z").fraction_digits, 1);
    EXPECT_EQ(table->schema.get_field(L"e").fraction_digits, 0);
}

TEST_F(sql_structure_test, next_auto_increment_value_reaches_the_schema) {
    admin("CREATE TABLE counted (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, v INT)");
    admin("CREATE TABLE fresh (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY)");
    admin("INSERT INTO counted (v) VALUES (1), (2), (3)");
    admin("DELETE FROM counted WHERE id = 3");
    auto database = open();
    // The counter, not the highest key: a deleted key is never handed out again.
    EXPECT_EQ(database->open_table(L"counted")->schema.auto_increment_next, 4u);
    // A table that never held a row has no counter yet.
    EXPECT_FALSE(database->open_table(L"fresh")->schema.auto_increment_next.has_value());
}

TEST_F(sql_structure_test, flags_sizes_and_auto_increment) {
    admin(
        "CREATE TABLE flags (id BIGINT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,"
        " name VARCHAR(30) NOT NULL, note TEXT, price FLOAT(9,3) NOT NULL)");
    auto database = open();
    auto table = database->open_table(L"flags");
    ASSERT_EQ(table->schema.size(), 4u);
    EXPECT_TRUE(table->schema[0].auto_increment);
    EXPECT_TRUE(table->schema[0].not_null);
    EXPECT_EQ(table->schema[0].subtype, 2);
    EXPECT_FALSE(table->schema[1].auto_increment);
    EXPECT_TRUE(table->schema[1].not_null);
    EXPECT_EQ(table->schema[1].size, 30);
    EXPECT_FALSE(table->schema[2].not_null);
    EXPECT_EQ(table->schema[2].vartype, VT_BSTR);
    EXPECT_EQ(table->schema[3].vartype, VT_DECIMAL);
    EXPECT_EQ(table->schema[3].subtype, 9 * 256 + 3);
}

TEST_F(sql_structure_test, indexes_keep_their_columns_in_key_order) {
    admin(
        "CREATE TABLE indexed (a INT NOT NULL, b INT NOT NULL, c VARCHAR(10), d INT,"
        " PRIMARY KEY (b, a), UNIQUE KEY u_cd (c, d), KEY k_d (d), UNIQUE KEY u_a (a))");
    auto database = open();
    auto table = database->open_table(L"indexed");
    struct {
        const wchar_t* name;
        bool primary;
        bool unique;
        std::vector<std::wstring> fields;
    } const expected[] = {
        {L"PRIMARY", true, true, {L"b", L"a"}},
        {L"u_a", false, true, {L"a"}},
        {L"u_cd", false, true, {L"c", L"d"}},
        {L"k_d", false, false, {L"d"}},
    };
    ASSERT_EQ(table->indexes.size(), std::size(expected));
    for (const auto& e : expected) {
        const udb_index& index = table->indexes.get_index(e.name);
        SCOPED_TRACE(std::string(index.name.begin(), index.name.end()));
        EXPECT_EQ(index.is_primary, e.primary);
        EXPECT_EQ(index.is_unique, e.unique);
        EXPECT_EQ(index.fields, e.fields);
    }
    // The creation text is kept line by line; foreign keys are not carried over.
    ASSERT_NE(table->fk_parser(), nullptr);
    EXPECT_EQ(table->fk_parser()->lines().front(), L"CREATE TABLE `indexed` (");
    EXPECT_TRUE(table->relationships()->empty());
}

TEST_F(sql_structure_test, table_names_with_backquotes_and_any_case) {
    admin("CREATE TABLE `we``ird` (id INT PRIMARY KEY, v VARCHAR(5) DEFAULT 'x')");
    admin("INSERT INTO `we``ird` VALUES (1, 'one'), (2, 'two')");
    admin("CREATE TABLE Orders (id INT)");
    auto database = open();
    EXPECT_EQ(database->tables, (std::vector<std::wstring>{L"Orders", L"we`ird"}));

    auto weird = database->open_table(L"we`ird");
    EXPECT_EQ(weird->record_count(), 2);
    EXPECT_EQ(weird->indexes.size(), 1u);
    EXPECT_EQ(weird->schema[1].default_value.to_wstring(), L"x");
    weird.reset();

    // Table names compare without regard to case; the server's spelling is used.
    EXPECT_TRUE(database->is_table_exist(L"ORDERS"));
    auto orders = database->open_table(L"ORDERS");
    EXPECT_EQ(orders->name, L"Orders");
    EXPECT_EQ(orders->schema.size(), 1u);
    orders.reset();
    EXPECT_THROW(database->get_table(L"missing", 1), tk_mail_assertion);
}

TEST_F(sql_structure_test, custom_query_has_result_columns_and_no_indexes) {
    admin("CREATE TABLE base (id INT PRIMARY KEY, price DECIMAL(8,3), name VARCHAR(12))");
    admin("INSERT INTO base VALUES (1, 2.5, 'a'), (2, 3.25, 'b'), (3, NULL, 'c')");
    auto database = open();
    // Users end statements with ';': the text is still counted and read.
    auto query = database->open_query(
        L"cheap", L"SELECT name, price * 2 AS twice FROM base WHERE id < 3 ORDER BY id;  \n");
    EXPECT_TRUE(query->is_query());
    EXPECT_EQ(query->name, L"cheap");
    EXPECT_EQ(query->record_count(), 2);
    ASSERT_EQ(query->schema.size(), 2u);
    EXPECT_EQ(query->schema[0].name, L"name");
    EXPECT_EQ(query->schema[0].vartype, VT_BSTR);
    EXPECT_EQ(query->schema[1].name, L"twice");
    EXPECT_EQ(query->schema[1].vartype, VT_DECIMAL);
    EXPECT_TRUE(query->indexes.empty());
    EXPECT_EQ(query->fk_parser(), nullptr);
    ASSERT_FALSE(query->is_eof());
    EXPECT_EQ(query->get_item()->fields[1].to_wstring(), L"5.000");
}

TEST_F(sql_structure_test, custom_queries_that_cannot_be_a_derived_table_are_counted) {
    fill_numbered("x", 300);
    admin("CREATE TABLE y (id INT PRIMARY KEY, v INT)");
    admin("INSERT INTO y SELECT id, id * 2 FROM x");
    auto database = open();
    struct {
        const wchar_t* query;
        int32_t rows;
    } const cases[] = {
        // Two result columns named id.
        {L"SELECT x.id, y.id FROM x JOIN y ON y.id = x.id", 300},
        // A comment at the end would swallow the closing parenthesis.
        {L"SELECT id FROM x WHERE id <= 20 -- the first twenty", 20},
    };
    for (const auto& c : cases) {
        auto records = database->open_query(L"q", c.query);
        EXPECT_EQ(records->record_count(), c.rows);
        int32_t read = 0;
        for (; !records->is_eof(); records->next()) {
            ++read;
        }
        EXPECT_EQ(read, c.rows);
    }
    // A query the server refuses is still an error.
    EXPECT_THROW(database->open_query(L"bad", L"SELECT FROM WHERE"), sql_exception);
}

TEST_F(sql_structure_test, invisible_columns_and_views) {
    // SELECT * leaves out an invisible column; its values are data like any other.
    admin(
        "CREATE TABLE inv (id INT PRIMARY KEY, secret INT INVISIBLE DEFAULT 7,"
        " v VARCHAR(10) DEFAULT 'three')");
    admin("INSERT INTO inv (id, secret, v) VALUES (1, 2, 'x')");
    admin("CREATE VIEW inv_view AS SELECT id, v FROM inv");
    auto database = open();
    auto table = database->open_table(L"inv");
    ASSERT_EQ(table->schema.size(), 3u);
    EXPECT_EQ(table->schema[1].name, L"secret");
    EXPECT_EQ(table->schema[1].default_value.to_wstring(), L"7");
    EXPECT_EQ(table->schema[2].name, L"v");
    EXPECT_EQ(table->schema[2].size, 10);
    EXPECT_EQ(table->schema[2].default_value.to_wstring(), L"three");
    ASSERT_FALSE(table->is_eof());
    EXPECT_EQ(table->get_item()->fields[1].to_wstring(), L"2");
    EXPECT_EQ(table->get_item()->fields[2].to_wstring(), L"x");
    table.reset();

    auto view = database->open_table(L"inv_view");
    ASSERT_EQ(view->schema.size(), 2u);
    EXPECT_TRUE(view->indexes.empty());
    ASSERT_FALSE(view->is_eof());
    EXPECT_EQ(view->get_item()->fields[1].to_wstring(), L"x");
}

TEST_F(sql_structure_test, statements_of_the_database) {
    admin("CREATE TABLE s (id INT)");
    auto database = open();
    EXPECT_TRUE(database->test_query(L"INSERT INTO s VALUES (1), (2)"));
    EXPECT_TRUE(database->test_query(L"SELECT * FROM s"));
    EXPECT_FALSE(database->test_query(L"SELECT * FROM no_such_table"));
    EXPECT_EQ(database->query(L"DELETE FROM s WHERE id = 2"), nullptr);

    auto rows = database->query(L"SELECT id FROM s");
    ASSERT_NE(rows, nullptr);
    EXPECT_FALSE(rows->is_eof());
    EXPECT_EQ(rows->get_item()->fields[0].to_long(), 1);
    rows->next();
    EXPECT_TRUE(rows->is_eof());
    EXPECT_EQ(rows->get_item(), nullptr);
    udb_record record;
    EXPECT_THROW(rows->append_record(record), tk_mail_assertion);

    try {
        database->query(L"SELECT * FROM no_such_table");
        ADD_FAILURE() << "no exception";
    } catch (const sql_exception& e) {
        EXPECT_EQ(e.code(), 0x400000 + 1146);
        EXPECT_NE(std::string(e.what()).find("no_such_table"), std::string::npos);
    }
    // A failed record set leaves the connection usable.
    EXPECT_THROW(database->open_query(L"bad", L"SELECT nope FROM s"), sql_exception);
    EXPECT_TRUE(database->test_query(L"SELECT 1"));
}

}  // namespace

// The Oracle destination against the embedded Oracle target: log-on, DDL from source schemas,
// the insert path with large values, and reading results back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_schema_initializer.h"
#include "ORA/ora_table.h"
#include "ORA/ora_type.h"
#include "ORA/ora_validator.h"
#include "UDB/udb_record_sink.h"
#include "oralite_target.h"
#include "platform/codepage.h"

namespace {

using rows_t = std::vector<std::vector<std::wstring>>;

std::string narrow(const std::wstring& text) {
    return platform::wide_to_utf8(text);
}

udb_record make_record(const udb_schema& schema, std::vector<ole_variant> values) {
    udb_record record;
    for (size_t i = 0; i < values.size(); ++i) {
        record.fields.emplace_back(schema[i].name, schema[i].size, std::move(values[i]));
    }
    return record;
}

SYSTEMTIME date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    SYSTEMTIME parts;
    parts.wYear = static_cast<uint16_t>(year);
    parts.wMonth = static_cast<uint16_t>(month);
    parts.wDay = static_cast<uint16_t>(day);
    parts.wHour = static_cast<uint16_t>(hour);
    parts.wMinute = static_cast<uint16_t>(minute);
    parts.wSecond = static_cast<uint16_t>(second);
    return parts;
}

udb_index index(const std::wstring& name, std::vector<std::wstring> fields, bool unique = false,
                bool primary = false) {
    udb_index result;
    result.name = name;
    result.fields = std::move(fields);
    result.is_unique = unique || primary;
    result.is_primary = primary;
    return result;
}

udb_indexes indexes_of(std::initializer_list<udb_index> list) {
    udb_indexes result;
    result.assign(list.begin(), list.end());
    return result;
}

class oralite_suite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        platform::init_locale();
        target_ = new test_support::oralite_target;
        target_->create_database("ORATEST");
        // The direct form names the service after the host.
        target_->create_database("localhost");
        engine_ = new ora_engine;
        for (const wchar_t* service : {L"ORATEST", L"localhost"}) {
            auto system = engine_->open_db(service, L"SYSTEM", L"manager");
            for (const wchar_t* sql : {
                     L"CREATE USER scott IDENTIFIED BY tiger",
                     L"GRANT CONNECT, RESOURCE TO scott",
                     L"GRANT SELECT ANY DICTIONARY TO scott",
                     L"CREATE USER noseq IDENTIFIED BY noseq",
                     L"GRANT CREATE SESSION, CREATE TABLE, UNLIMITED TABLESPACE TO noseq",
                     L"CREATE USER locked IDENTIFIED BY locked ACCOUNT LOCK",
                     L"GRANT CONNECT TO locked",
                 }) {
                system->query(sql);
            }
        }
    }
    static void TearDownTestSuite() {
        delete engine_;
        engine_ = nullptr;
        delete target_;
        target_ = nullptr;
    }

    void SetUp() override {
        db_ = engine_->open_db(L"ORATEST", L"scott", L"tiger");
        names_ = std::make_unique<ora_in_validator>();
    }
    void TearDown() override {
        names_.reset();
        db_.reset();
    }

    rows_t rows(const std::wstring& sql) { return ora_query_results::read_rows(sql); }
    std::wstring value(const std::wstring& sql) {
        const rows_t result = rows(sql);
        return result.empty() || result[0].empty() ? L"<no row>" : result[0][0];
    }
    // A table keyed by its column "id" that holds the keys taken already (committed), so that
    // records repeating them are refused; it tells sink and commits every interval records.
    std::unique_ptr<ora_table> keyed_table(const std::wstring& name, const udb_schema& source,
                                           std::initializer_list<int> taken, udb_record_sink& sink,
                                           int32_t interval) {
        std::unique_ptr<ora_table> table = db_->create_ora_table(
            name, source, indexes_of({index(L"PRIMARY", {L"id"}, true, true)}));
        for (const int id : taken) {
            db_->query(L"INSERT INTO \"" + name + L"\" (\"id\") VALUES (" + std::to_wstring(id) +
                       L")");
        }
        db_->query(L"COMMIT");
        table->set_record_sink(&sink);
        table->set_commit_interval(interval);
        return table;
    }

    static test_support::oralite_target* target_;
    static ora_engine* engine_;
    std::unique_ptr<ora_database> db_;
    std::unique_ptr<ora_in_validator> names_;
};

test_support::oralite_target* oralite_suite::target_ = nullptr;
ora_engine* oralite_suite::engine_ = nullptr;

// ---- connection ------------------------------------------------------------------------------

TEST_F(oralite_suite, logon_errors_carry_the_oracle_codes) {
    struct case_t {
        std::wstring connect;
        std::wstring user;
        std::wstring password;
        uint32_t code;
    };
    const case_t cases[] = {
        {L"ORATEST", L"scott", L"wrong", 0x1003F9},          // ORA-01017
        {L"NO_SUCH_SERVICE", L"scott", L"tiger", 0x102F7A},  // ORA-12154
        {L"ORATEST", L"locked", L"locked", 0x106D60},        // ORA-28000
        {ora_engine::direct_descriptor(L"localhost", L"1599"), L"scott", L"tiger",
         0x1030FD},  // ORA-12541
        {ora_engine::direct_descriptor(L"db.example.invalid", L"1521"), L"scott", L"tiger",
         0x103101},  // ORA-12545
        {L"(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=NOSUCH))(ADDRESS=(PROTOCOL=TCP)"
         L"(HOST=localhost)(PORT=1521)))",
         L"scott", L"tiger", 0x1030E2},  // ORA-12514
    };
    db_.reset();
    for (const case_t& c : cases) {
        try {
            engine_->open_db(c.connect, c.user, c.password);
            ADD_FAILURE() << "log-on succeeded: " << narrow(c.connect);
        } catch (const ora_exception& e) {
            EXPECT_EQ(e.system_error(), c.code) << narrow(c.connect) << ": " << e.what();
            EXPECT_EQ(e.level(), 0);
            EXPECT_EQ(std::string(e.what()).rfind("ORA-", 0), 0u) << e.what();
        }
        EXPECT_FALSE(engine_->logged_on());
    }
    // The engine stays usable, by service name and directly by host and port.
    EXPECT_NE(engine_->open_db(L"localhost", L"scott", L"tiger", L"1521"), nullptr);
    EXPECT_NE(engine_->open_db(L"ORATEST", L"scott", L"tiger"), nullptr);
}

TEST_F(oralite_suite, a_second_log_on_ends_the_first_session) {
    db_->query(L"CREATE TABLE \"relog\" (\"n\" NUMBER)");
    db_->query(L"INSERT INTO \"relog\" VALUES (1)");
    // Logging off commits the open transaction of the first session.
    db_ = engine_->open_db(L"ORATEST", L"scott", L"tiger");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"relog\""), L"1");
    EXPECT_TRUE(db_->is_table_exist(L"relog"));
    EXPECT_FALSE(db_->is_table_exist(L"RELOG"));
    EXPECT_GT(db_->version(), 0u);
    EXPECT_EQ(engine_->get_records_cnt(L"relog", false), 1);
    EXPECT_EQ(engine_->get_records_cnt(L"SELECT * FROM \"relog\" WHERE \"n\" > 1", true), 0);
}

TEST_F(oralite_suite, statements_are_checked_and_run) {
    EXPECT_TRUE(db_->test_query(L"SELECT * FROM dual"));
    EXPECT_THROW(db_->test_query(L"SELEKT * FROM dual"), ora_exception);
    EXPECT_EQ(db_->query(L"CREATE TABLE \"checked\" (\"n\" NUMBER)"), nullptr);
    try {
        db_->query(L"CREATE TABLE \"checked\" (\"n\" NUMBER)");
        FAIL() << "a second table of the same name";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.ora_error(), 955);
        EXPECT_EQ(e.system_error(), 0x100000u + 955);
    }
}

// ---- DDL ---------------------------------------------------------------------------------------

TEST_F(oralite_suite, column_types_reach_oracle_as_mapped) {
    udb_schema source;
    source.add(t_ftd(L"v4000", VT_BSTR, 4000));
    source.add(t_ftd(L"v4001", VT_BSTR, 4001));
    source.add(t_ftd(L"v0", VT_BSTR, 0));
    source.add(t_ftd(L"raw16", VT_ARRAY_UI1, 16));
    source.add(t_ftd(L"blob", VT_ARRAY_UI1, 65535));
    source.add(t_ftd(L"ubig", VT_UI8, 0));
    source.add(
        t_ftd(L"d10", VT_DECIMAL, 0, false, false, ole_variant(), t_ftd::pack_precision(10, 2)));
    source.add(
        t_ftd(L"d65", VT_DECIMAL, 0, false, false, ole_variant(), t_ftd::pack_precision(65, 30)));
    source.add(t_ftd(L"when", VT_DATE, 0, false, false, ole_variant(), 1));
    db_->create_ora_table(L"mapped", source, {});
    const rows_t columns = rows(
        L"SELECT COLUMN_NAME, DATA_TYPE, DATA_PRECISION, DATA_SCALE, CHAR_LENGTH, CHAR_USED "
        L"FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'mapped' ORDER BY COLUMN_ID");
    const rows_t expected = {
        {L"v4000", L"VARCHAR2", L"", L"", L"4000", L"C"},
        {L"v4001", L"CLOB", L"", L"", L"0", L""},
        {L"v0", L"CLOB", L"", L"", L"0", L""},
        {L"raw16", L"RAW", L"", L"", L"0", L""},
        {L"blob", L"BLOB", L"", L"", L"0", L""},
        {L"ubig", L"NUMBER", L"20", L"0", L"0", L""},
        {L"d10", L"NUMBER", L"10", L"2", L"0", L""},
        {L"d65", L"NUMBER", L"", L"", L"0", L""},
        {L"when", L"DATE", L"", L"", L"0", L""},
    };
    ASSERT_EQ(columns.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(columns[i], expected[i]) << narrow(expected[i][0]);
    }
}

TEST_F(oralite_suite, defaults_of_every_kind) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"s", VT_BSTR, 20, true, false, ole_variant(L"it's")));
    source.add(t_ftd(L"i", VT_I4, 0, false, false, ole_variant(42)));
    source.add(t_ftd(L"big", VT_I8, 0, false, false,
                     ole_variant(static_cast<long long>(9223372036854775807LL)), 1));
    source.add(t_ftd(L"f", VT_R8, 0, false, false, ole_variant(L"2.5")));
    source.add(t_ftd(L"d", VT_DECIMAL, 0, false, false, ole_variant(L"12.50"),
                     t_ftd::pack_precision(6, 2)));
    source.add(t_ftd(L"at", VT_DATE, 0, false, false, ole_variant(L"2024-05-17 13:45:09"), 1));
    source.add(t_ftd(L"day", VT_DATE, 0, false, false, ole_variant(L"2024-05-17"), 2));
    source.add(t_ftd(L"zero", VT_DATE, 0, false, false, ole_variant(L"0000-00-00 00:00:00"), 1));
    source.add(t_ftd(L"notes", VT_BSTR, 0, true, false, ole_variant(L"ignored")));
    db_->create_ora_table(L"defaults", source, {});
    db_->query(L"INSERT INTO \"defaults\" (\"id\", \"notes\") VALUES (1, 'x')");
    const rows_t row = rows(
        L"SELECT \"s\", \"i\", \"big\", \"f\", \"d\", TO_CHAR(\"at\", 'YYYY-MM-DD HH24:MI:SS'), "
        L"TO_CHAR(\"day\", 'YYYY-MM-DD HH24:MI:SS'), \"zero\" FROM \"defaults\"");
    ASSERT_EQ(row.size(), 1u);
    const std::vector<std::wstring> expected = {L"it's",
                                                L"42",
                                                L"9223372036854775807",
                                                L"2.5",
                                                L"12.5",
                                                L"2024-05-17 13:45:09",
                                                L"2024-05-17 00:00:00",
                                                L""};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(row[0][i], expected[i]) << "column " << i;
    }

    // An existing table gives its defaults back.
    const std::unique_ptr<ora_table> table = db_->get_ora_table(L"defaults", 8);
    ASSERT_EQ(table->schema.size(), source.size());
    EXPECT_EQ(table->schema[1].default_value.to_wstring(), L"it's");
    EXPECT_EQ(table->schema[1].size, 20);
    EXPECT_TRUE(table->schema[1].not_null);
    EXPECT_EQ(table->schema[2].default_value.to_long(), 42);
    EXPECT_EQ(table->schema[6].default_value.to_wstring(), L"2024-05-17 13:45:09");
    EXPECT_TRUE(table->schema[8].default_value.is_null());
}

class auto_increment_suite : public oralite_suite,
                             public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(auto_increment_suite, the_sequence_continues_after_the_copied_keys) {
    const std::wstring table = GetParam();
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true, true));
    source.add(t_ftd(L"name", VT_BSTR, 20));
    source.auto_increment_next = 4;
    {
        const std::unique_ptr<ora_table> created = db_->create_ora_table(
            table, source, indexes_of({index(L"PRIMARY", {L"id"}, true, true)}));
        for (int id = 1; id <= 3; ++id) {
            udb_record record = make_record(source, {ole_variant(id), ole_variant(L"copied")});
            created->append_record(record);
        }
    }
    // An application's INSERT without the key, after the migration.
    db_->query(L"INSERT INTO \"" + table + L"\" (\"name\") VALUES ('new')");
    EXPECT_EQ(value(L"SELECT \"id\" FROM \"" + table + L"\" WHERE \"name\" = 'new'"), L"4");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"" + table + L"\""), L"4");
}

INSTANTIATE_TEST_SUITE_P(table_names, auto_increment_suite,
                         ::testing::Values(L"items", L"ITEMS", L"Mixed_Items",
                                           L"a_table_name_of_thirty_chars_x"));

// A view or a custom query shows an auto-increment key but has no counter: the sequence is made
// after the records and starts above the largest key copied, however large, and not at 1.
TEST_F(oralite_suite, without_a_counter_the_sequence_starts_after_the_largest_copied_key) {
    struct {
        const wchar_t* table;
        VARTYPE kind;
        std::vector<ole_variant> keys;
        const wchar_t* next;
    } const cases[] = {
        {L"view_keys", VT_I4, {ole_variant(7), ole_variant(1200), ole_variant(35)}, L"1201"},
        {L"empty_view", VT_I4, {}, L"1"},
        // Beyond 64 bits once one is added: the start is computed in decimal.
        {L"wide_keys",
         VT_UI8,
         {ole_variant(18446744073709551615ull), ole_variant(5ull)},
         L"18446744073709551616"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.table));
        udb_schema source;
        source.add(t_ftd(L"id", c.kind, 0, true, true, ole_variant(), c.kind == VT_UI8 ? 2 : 0));
        source.add(t_ftd(L"name", VT_BSTR, 20));
        const std::unique_ptr<ora_table> created = db_->create_ora_table(c.table, source, {});
        const std::wstring quoted = L"\"" + std::wstring(c.table) + L"\"";
        // Nothing yet: a sequence made now would start at 1, below the keys to come.
        EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_SEQUENCES"), L"0");
        for (const ole_variant& key : c.keys) {
            udb_record record = make_record(source, {key, ole_variant(L"copied")});
            ASSERT_TRUE(created->append_record(record));
        }
        created->complete_auto_increment();
        db_->query(L"INSERT INTO " + quoted + L" (\"name\") VALUES ('new')");
        EXPECT_EQ(value(L"SELECT TO_CHAR(\"id\") FROM " + quoted + L" WHERE \"name\" = 'new'"),
                  c.next);
        db_->delete_tab(c.table);
    }
}

TEST_F(oralite_suite, taken_sequence_names_are_skipped) {
    db_->query(L"CREATE SEQUENCE \"seqtab_0\"");
    db_->query(L"CREATE SEQUENCE \"seqtab_1\"");
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true, true));
    source.add(t_ftd(L"name", VT_BSTR, 20));
    source.auto_increment_next = 1;
    db_->create_ora_table(L"seqtab", source, {});
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_SEQUENCES WHERE SEQUENCE_NAME = 'seqtab_2'"), L"1");
    db_->query(L"INSERT INTO \"seqtab\" (\"name\") VALUES ('first')");
    EXPECT_EQ(value(L"SELECT \"id\" FROM \"seqtab\""), L"1");

    // Dropping the table drops its sequence: overwriting it again reuses the name.
    db_->delete_tab(L"seqtab");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_SEQUENCES WHERE SEQUENCE_NAME = 'seqtab_2'"), L"0");
    EXPECT_FALSE(db_->is_table_exist(L"seqtab"));
    db_->create_ora_table(L"seqtab", source, {});
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_SEQUENCES WHERE SEQUENCE_NAME = 'seqtab_2'"), L"1");
}

TEST_F(oralite_suite, a_trigger_that_does_not_compile_is_not_left_behind) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, false, true));
    source.add(t_ftd(L"name", VT_BSTR, 20));
    const ora_schema_initializer initializer(L"badtrigger", source, false);
    initializer.create_table(*db_);
    // A trigger over a sequence that does not exist compiles with errors; left in place it
    // would refuse every insert into the table.
    ora_schema_initializer::create_trigger(*db_, L"badtrigger", L"id", L"no_such_sequence");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_TRIGGERS WHERE TABLE_NAME = 'badtrigger'"), L"0");
    db_->query(L"INSERT INTO \"badtrigger\" (\"name\") VALUES ('x')");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"badtrigger\""), L"1");
}

TEST_F(oralite_suite, missing_sequence_privilege) {
    db_ = engine_->open_db(L"ORATEST", L"noseq", L"noseq");
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true, true));
    source.add(t_ftd(L"name", VT_BSTR, 20));
    source.auto_increment_next = 7;
    try {
        db_->create_ora_table(L"noseq_items", source,
                              indexes_of({index(L"PRIMARY", {L"id"}, true, true)}));
        FAIL() << "the table was created with its auto increment";
    } catch (const ora_exception& e) {
        FAIL() << "an Oracle error instead of the privilege text: " << e.what();
    } catch (const tk_exception& e) {
        EXPECT_STREQ(e.what(),
                     "Insufficient privileges to create sequence.\n"
                     "Auto increment will not be converted.");
    }
    // The table itself is complete, its primary key included.
    EXPECT_TRUE(db_->is_table_exist(L"noseq_items"));
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_CONSTRAINTS WHERE TABLE_NAME = 'noseq_items' "
                    L"AND CONSTRAINT_TYPE = 'P'"),
              L"1");
}

TEST_F(oralite_suite, index_lists) {
    db_->query(L"CREATE TABLE \"other\" (\"n\" NUMBER)");
    db_->query(L"CREATE INDEX \"idx_existing\" ON \"other\" (\"n\")");
    names_.reset();
    names_ = std::make_unique<ora_in_validator>();  // sees idx_existing

    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"name", VT_BSTR, 40));
    source.add(t_ftd(L"code", VT_BSTR, 10));
    source.add(t_ftd(L"notes", VT_BSTR, 0));
    const std::wstring long_name = L"an_index_name_that_is_longer_than_thirty";
    const udb_indexes indexes = indexes_of({
        index(L"PRIMARY", {L"id"}, true, true),
        index(L"uq_id", {L"id"}, true),            // equal to the primary key: skipped
        index(L"idx_notes", {L"name", L"notes"}),  // over a CLOB: left out
        index(long_name, {L"name"}),
        index(L"idx_existing", {L"code"}),
        index(L"idx_name", {L"name", L"code"}, true),
    });
    db_->create_ora_table(L"indexed", source, indexes);
    // A second table with an index of the same MySQL name.
    db_->create_ora_table(L"indexed2", source, indexes_of({index(L"idx_name", {L"code"})}));

    const rows_t created = rows(
        L"SELECT INDEX_NAME, UNIQUENESS FROM USER_INDEXES WHERE TABLE_NAME = 'indexed' AND "
        L"INDEX_TYPE <> 'LOB' "
        L"ORDER BY INDEX_NAME");
    std::vector<std::wstring> names;
    for (const auto& row : created) {
        names.push_back(row[0]);
    }
    std::wstring listed;
    for (const std::wstring& n : names) {
        listed += n + L" ";
    }
    ASSERT_EQ(names.size(), 4u) << narrow(listed);
    EXPECT_NE(std::find(names.begin(), names.end(), L"idx_name"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), long_name.substr(0, 29)), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), L"idx_existing"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), L"uq_id"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), L"idx_notes"), names.end());
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM USER_IND_COLUMNS WHERE TABLE_NAME = 'indexed' AND "
                    L"COLUMN_NAME = 'notes'"),
              L"0");
    const std::wstring primary = value(
        L"SELECT CONSTRAINT_NAME FROM USER_CONSTRAINTS WHERE TABLE_NAME = 'indexed' AND "
        L"CONSTRAINT_TYPE = 'P'");
    EXPECT_EQ(primary.rfind(L"PRIMARY", 0), 0u) << narrow(primary);
    EXPECT_NE(primary, L"PRIMARY");

    const std::wstring second =
        value(L"SELECT INDEX_NAME FROM USER_INDEXES WHERE TABLE_NAME = 'indexed2'");
    EXPECT_NE(second, L"idx_name");
    EXPECT_EQ(second.rfind(L"idx_name", 0), 0u) << narrow(second);
}

// MySQL's unique key takes (1, NULL) twice: a row with a NULL part takes no part in the key.
// The index keeps that rule, still refuses equal keys without NULLs, and reads back as the key.
TEST_F(oralite_suite, a_unique_key_over_nullable_columns_leaves_out_rows_with_a_null_part) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"a", VT_I4, 0, false));
    source.add(t_ftd(L"b", VT_BSTR, 10, false));
    source.add(t_ftd(L"c", VT_I4, 0, false));
    const std::unique_ptr<ora_table> created = db_->create_ora_table(
        L"nullpairs", source,
        indexes_of({index(L"PRIMARY", {L"id"}, true, true), index(L"ab", {L"a", L"b"}, true),
                    index(L"c_only", {L"c"}, true)}));
    EXPECT_TRUE(created->key_losses.empty()) << narrow(created->key_losses[0].message);
    for (const wchar_t* row : {L"1, 1, NULL, NULL", L"2, 1, NULL, NULL", L"3, NULL, NULL, 3",
                               L"4, NULL, NULL, 4", L"5, 2, 'x', 5"}) {
        db_->query(std::wstring(L"INSERT INTO \"nullpairs\" VALUES (") + row + L")");
    }
    try {
        db_->query(L"INSERT INTO \"nullpairs\" VALUES (6, 2, 'x', 6)");
        ADD_FAILURE() << "an equal key without NULL parts was accepted";
    } catch (const ora_exception& e) {
        EXPECT_EQ(e.ora_error(), 1);
    }
    const std::unique_ptr<ora_table> read = db_->get_ora_table(L"nullpairs", 1);
    std::wstring keys;
    for (const udb_index& i : read->indexes) {
        keys += i.name + (i.is_unique ? L" unique (" : L" (");
        for (const std::wstring& f : i.fields) {
            keys += f + L" ";
        }
        keys += L") ";
    }
    EXPECT_NE(keys.find(L"ab unique (a b ) "), std::wstring::npos) << narrow(keys);
    // One column is Oracle's own rule already: a plain constraint.
    EXPECT_EQ(value(L"SELECT CONSTRAINT_TYPE FROM USER_CONSTRAINTS WHERE CONSTRAINT_NAME = "
                    L"'c_only'"),
              L"U");
}

// What cannot be indexed is said: the table carries each key it lacks, and why.
TEST_F(oralite_suite, keys_left_out_are_listed_with_their_reason) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"notes", VT_BSTR, 0));
    source.add(t_ftd(L"name", VT_BSTR, 1001));
    source[2].bytes_per_char = 4;  // utf8mb4: 4004 bytes, a CLOB
    const std::unique_ptr<ora_table> created = db_->create_ora_table(
        L"lossy", source,
        indexes_of({index(L"PRIMARY", {L"id"}, true, true), index(L"by_notes", {L"notes"}),
                    index(L"by_name", {L"id", L"name"}, true)}));
    ASSERT_EQ(created->key_losses.size(), 2u);
    EXPECT_EQ(narrow(created->key_losses[0].message),
              "The index \"by_notes\" was not created: its column \"notes\" became a CLOB, which "
              "Oracle cannot index.");
    EXPECT_EQ(created->key_losses[1].index, L"by_name");
    EXPECT_EQ(value(L"SELECT DATA_TYPE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'lossy' AND "
                    L"COLUMN_NAME = 'name'"),
              L"CLOB");
}

// A sequence never takes the name a table of the run is still to take.
TEST_F(oralite_suite, sequences_step_aside_for_the_tables_of_the_run) {
    db_->reserve_names({L"rsv_0", L"rsv_1"});
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true, true));
    source.auto_increment_next = 5;
    db_->create_ora_table(L"rsv", source, {});
    EXPECT_EQ(value(L"SELECT SEQUENCE_NAME FROM USER_SEQUENCES WHERE SEQUENCE_NAME LIKE 'rsv%'"),
              L"rsv_2");
    EXPECT_TRUE(db_->is_other_object(L"rsv_2"));
    db_->delete_tab(L"rsv");
    EXPECT_FALSE(db_->is_other_object(L"rsv_2"));
    db_->reserve_names({});
}

TEST_F(oralite_suite, existing_names_are_restricted_for_indexes) {
    db_->query(
        L"CREATE TABLE \"seen\" (\"n\" NUMBER CONSTRAINT \"seen_pk\" PRIMARY KEY, "
        L"\"m\" NUMBER)");
    db_->query(L"CREATE INDEX \"IDX_SEEN\" ON \"seen\" (\"m\")");
    names_.reset();
    ora_in_validator fresh;
    EXPECT_FALSE(fresh.validator.is_acceptable(L"idx_seen"));
    EXPECT_FALSE(fresh.validator.is_acceptable(L"SEEN_PK"));
    EXPECT_FALSE(fresh.validator.is_acceptable(L"primary"));
    EXPECT_TRUE(fresh.validator.is_acceptable(L"idx_unseen"));
}

TEST_F(oralite_suite, names_map_lookups) {
    db_->uppercase = true;
    udb_schema source;
    source.add(t_ftd(L"order-id", VT_I4, 0));
    source.add(t_ftd(L"qty", VT_I4, 0));
    const std::unique_ptr<ora_table> table = db_->create_ora_table(L"ORDERS2", source, {});
    EXPECT_EQ(table->schema[0].name, L"ORDER_ID");
    EXPECT_EQ(table->schema[1].name, L"QTY");
    db_->names_map.add_tn_mapping(L"orders2", L"ORDERS2");
    EXPECT_EQ(db_->get_tn_mapped_name_ex(L"orders2"), L"ORDERS2");
    EXPECT_EQ(db_->get_fn_mapped_name_ex(L"orders2", L"order-id"), L"ORDER_ID");
    db_->uppercase = false;
    EXPECT_EQ(db_->get_tn_mapped_name_ex(L"Orders2"), L"ORDERS2");
    EXPECT_EQ(db_->get_fn_mapped_name_ex(L"ORDERS2", L"order-id"), L"ORDER_ID");
}

// ---- the insert path ---------------------------------------------------------------------------

std::wstring long_text(size_t length) {
    const std::wstring pieces = L"Aé€😀жx\u00DF'\"";
    std::wstring text;
    for (size_t i = 0; text.size() < length; ++i) {
        text.push_back(pieces[i % pieces.size()]);
    }
    return text;
}

std::vector<uint8_t> random_bytes(size_t length) {
    std::mt19937 generator(42);
    std::vector<uint8_t> bytes(length);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(generator());
    }
    return bytes;
}

TEST_F(oralite_suite, append_record_stores_every_value_exactly) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"txt", VT_BSTR, 10, true));
    source.add(t_ftd(L"num", VT_R8, 0));
    source.add(t_ftd(L"num_nn", VT_R8, 0, true, false, ole_variant(7.0)));
    source.add(t_ftd(L"doc", VT_BSTR, 0));
    source.add(t_ftd(L"pic", VT_ARRAY_UI1, 0));
    source.add(t_ftd(L"raw", VT_ARRAY_UI1, 8));
    source.add(t_ftd(L"at", VT_DATE, 0, true, false, ole_variant(), 1));
    source.add(t_ftd(L"tm", VT_DATE, 0, false, false, ole_variant(), 3));
    source.add(
        t_ftd(L"dec", VT_DECIMAL, 0, false, false, ole_variant(), t_ftd::pack_precision(38, 10)));
    source.add(t_ftd(L"ubig", VT_UI8, 0));
    std::unique_ptr<ora_table> table = db_->create_ora_table(
        L"values", source, indexes_of({index(L"PRIMARY", {L"id"}, true, true)}));

    const std::wstring doc = long_text(10000);
    const std::vector<uint8_t> picture = random_bytes(1 << 20);
    const std::wstring guid_text =
        L"see guid {01234567-89AB-CDEF-0123-456789ABCDEF} for the details of this";
    const std::vector<uint8_t> raw = {0, 1, 2, 0xFE, 0xFF, 0x80, 0x7F, 9};
    const std::vector<std::vector<ole_variant>> records = {
        {ole_variant(1), ole_variant(L"Жжжжжжжжжж"), ole_variant(1e200), ole_variant(1e200),
         ole_variant(doc), ole_variant(picture), ole_variant(raw),
         ole_variant(date(2024, 5, 17, 13, 45, 9)), ole_variant(date(0, 0, 0, 13, 45, 9)),
         ole_variant::from_wstring(L"1234567890123456789012345678.0123456789", VT_DECIMAL),
         ole_variant(18446744073709551615ULL)},
        {ole_variant(2), ole_variant(L""), ole_variant(-2.5), ole_variant(0.125),
         ole_variant(guid_text), ole_variant(std::vector<uint8_t>()), ole_variant(),
         ole_variant(date(0, 0, 0)), ole_variant(), ole_variant(), ole_variant()},
        {ole_variant(3), ole_variant(), ole_variant(), ole_variant(3.0), ole_variant(),
         ole_variant(), ole_variant(), ole_variant(date(1999, 12, 31)), ole_variant(),
         ole_variant(), ole_variant()},
    };
    for (const auto& values : records) {
        udb_record record = make_record(source, values);
        EXPECT_TRUE(table->append_record(record));
    }
    EXPECT_EQ(table->count, 3);
    // The empty text and the zero date relaxed their NOT NULL columns, each once.
    EXPECT_FALSE(table->schema[1].not_null);
    EXPECT_FALSE(table->schema[7].not_null);
    EXPECT_TRUE(table->schema[3].not_null);
    table.reset();

    // Empty texts and MySQL zero dates became NULL; their NOT NULL columns accept NULL now.
    const rows_t nullable = rows(
        L"SELECT COLUMN_NAME, NULLABLE FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'values' AND "
        L"COLUMN_NAME IN ('txt', 'at', 'num_nn', 'id') ORDER BY COLUMN_NAME");
    const rows_t expected_nullable = {
        {L"at", L"Y"}, {L"id", L"N"}, {L"num_nn", L"N"}, {L"txt", L"Y"}};
    EXPECT_EQ(nullable, expected_nullable);
    // Relaxing NOT NULL leaves the column's type alone.
    EXPECT_EQ(value(L"SELECT DATA_TYPE || ' ' || CHAR_LENGTH || ' ' || CHAR_USED FROM "
                    L"USER_TAB_COLUMNS WHERE TABLE_NAME = 'values' AND COLUMN_NAME = 'txt'"),
              L"VARCHAR2 10 C");

    ora_query_results read(0, L"SELECT * FROM \"values\" ORDER BY \"id\"");
    ASSERT_FALSE(read.is_eof());
    const udb_record* first = read.get_item();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ((*first)[1].to_wstring(), L"Жжжжжжжжжж");
    EXPECT_TRUE((*first)[2].is_null());        // 1e200 in a nullable column
    EXPECT_EQ((*first)[3].to_double(), 7.0);   // the column's default instead
    EXPECT_EQ((*first)[4].to_wstring(), doc);  // 10 000 characters of CLOB
    ASSERT_EQ((*first)[5].bytes().size(), picture.size());
    EXPECT_TRUE(std::equal(picture.begin(), picture.end(), (*first)[5].bytes().begin()));
    ASSERT_EQ((*first)[6].bytes().size(), raw.size());
    EXPECT_TRUE(std::equal(raw.begin(), raw.end(), (*first)[6].bytes().begin()));
    EXPECT_EQ((*first)[7].to_wstring(), L"2024-05-17 13:45:09");
    EXPECT_EQ((*first)[8].date_parts().wHour, 13);  // a TIME keeps its time
    EXPECT_EQ((*first)[8].date_parts().wDay, 1);    // on the first day of the current month
    EXPECT_EQ((*first)[9].to_wstring(), L"1234567890123456789012345678.0123456789");
    EXPECT_EQ((*first)[10].to_wstring(), L"18446744073709551615");

    ASSERT_FALSE(read.is_eof());
    const udb_record* second = read.get_item();
    EXPECT_TRUE((*second)[1].is_null());
    EXPECT_EQ((*second)[2].to_double(), -2.5);
    EXPECT_EQ((*second)[4].to_wstring(), guid_text);  // written as it is
    EXPECT_FALSE((*second)[5].is_null());             // an empty BLOB, not NULL
    EXPECT_EQ((*second)[5].bytes().size(), 0u);
    EXPECT_TRUE((*second)[7].is_null());  // the zero date

    ASSERT_FALSE(read.is_eof());
    const udb_record* third = read.get_item();
    EXPECT_TRUE((*third)[4].is_null());  // a NULL CLOB stays NULL
    EXPECT_TRUE((*third)[5].is_null());
    EXPECT_EQ((*third)[7].to_wstring(), L"1999-12-31");
    EXPECT_TRUE(read.is_eof());
}

// A sink that keeps what a table reports.
struct kept_reports : udb_record_sink {
    void record_rejected(int64_t number, const udb_record&, const tk_exception& why) override {
        rejected.emplace_back(number, why.message());
    }
    void value_altered(int64_t number, const udb_record&, const std::string& note) override {
        altered.emplace_back(number, note);
    }
    // The numbers of the records rejected, in the order they were told.
    std::vector<int64_t> rejected_numbers() const {
        std::vector<int64_t> numbers;
        for (const auto& entry : rejected) {
            numbers.push_back(entry.first);
        }
        return numbers;
    }
    std::vector<std::pair<int64_t, std::string>> rejected;
    std::vector<std::pair<int64_t, std::string>> altered;
};

// A sink that stops the run (as the user does) when it hears of a refused record: of any, or
// of the one numbered stop_at.
struct stopping_reports : kept_reports {
    void record_rejected(int64_t number, const udb_record& r, const tk_exception& why) override {
        kept_reports::record_rejected(number, r, why);
        if (stop_at == 0 || number == stop_at) {
            throw tk_final_exception();
        }
    }
    int64_t stop_at = 0;
};

// Records are written a batch at a time; a record whose large value is beyond what is bound
// directly goes alone through its locator, after the records before it, and is committed with
// its value.
TEST_F(oralite_suite, a_record_with_large_values_is_committed_with_them) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"doc", VT_BSTR, 0));
    const std::unique_ptr<ora_table> table = db_->create_ora_table(L"durable", source, {});
    kept_reports reports;
    table->set_record_sink(&reports);
    table->set_commit_interval(2);
    const size_t beyond = ora_table::inline_lob_bytes() / 2 + 1;
    udb_record plain = make_record(source, {ole_variant(1), ole_variant()});
    table->append_record(plain);
    EXPECT_EQ(table->pending(), 1);
    udb_record large = make_record(source, {ole_variant(2), ole_variant(long_text(beyond))});
    table->append_record(large);
    EXPECT_EQ(table->pending(), 0);
    EXPECT_EQ(table->stored(), 2);
    udb_record bound = make_record(source, {ole_variant(3), ole_variant(long_text(7000))});
    table->append_record(bound);
    EXPECT_EQ(table->pending(), 1);
    // What a crash would lose now: only the record still staged; no committed row ever lacks
    // its large value.
    engine_->rollback();
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"durable\""), L"2");
    EXPECT_EQ(value(L"SELECT LENGTH(\"doc\") FROM \"durable\" WHERE \"id\" = 2"),
              std::to_wstring(beyond));
    table->commit();
    EXPECT_EQ(table->stored(), 3);
    EXPECT_EQ(value(L"SELECT LENGTH(\"doc\") FROM \"durable\" WHERE \"id\" = 3"), L"7000");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"durable\" WHERE \"doc\" IS NOT NULL AND "
                    L"LENGTH(\"doc\") = 0"),
              L"0");
    EXPECT_TRUE(reports.rejected.empty());
}

// Large values at the bound of what is bound directly are bound; one unit beyond it goes
// through the locator (a text counts its UTF-16 units, so characters beyond the BMP count
// twice); batches of such values cross the byte bound of a batch. Every value is read back
// whole.
TEST_F(oralite_suite, large_values_at_and_beyond_the_inline_bound_arrive_whole) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"doc", VT_BSTR, 0));
    source.add(t_ftd(L"pic", VT_ARRAY_UI1, 0));
    const std::unique_ptr<ora_table> table = db_->create_ora_table(L"bounded", source, {});
    kept_reports reports;
    table->set_record_sink(&reports);
    const size_t bound = ora_table::inline_lob_bytes();
    const auto text_of = [](size_t units, wchar_t seed) {
        std::wstring text(units, L'a');
        for (size_t i = 0; i < units; i += 997) {
            text[i] = static_cast<wchar_t>(seed + i % 7);
        }
        return text;
    };
    const auto bytes_of = [](size_t size, uint8_t seed) {
        std::vector<uint8_t> bytes(size, 0);
        for (size_t i = 0; i < size; i += 991) {
            bytes[i] = static_cast<uint8_t>(seed + i);
        }
        return bytes;
    };
    // Half a bound of characters beyond the BMP: as many UTF-16 units as a whole bound.
    std::wstring astral(bound / 4, L'\U0001F600');
    astral += L"x";
    std::vector<std::pair<std::wstring, std::vector<uint8_t>>> values = {
        {text_of(bound / 2, L'A'), bytes_of(bound, 1)},
        {text_of(bound / 2 + 1, L'B'), bytes_of(bound + 1, 2)},
        {astral, bytes_of(1, 3)},
        {text_of(bound / 2 - 1, L'C'), bytes_of(bound - 1, 4)},
    };
    // Twelve values at the bound: more than one batch of bytes.
    for (int i = 0; i < 12; ++i) {
        values.emplace_back(text_of(bound / 2, static_cast<wchar_t>(L'D' + i)),
                            bytes_of(bound, static_cast<uint8_t>(5 + i)));
    }
    for (size_t i = 0; i < values.size(); ++i) {
        udb_record record =
            make_record(source, {ole_variant(static_cast<int>(i)), ole_variant(values[i].first),
                                 ole_variant(values[i].second)});
        EXPECT_TRUE(table->append_record(record));
    }
    table->commit();
    EXPECT_TRUE(reports.rejected.empty());
    EXPECT_EQ(table->stored(), static_cast<int64_t>(values.size()));
    ora_query_results read(0, L"SELECT \"id\", \"doc\", \"pic\" FROM \"bounded\" ORDER BY \"id\"");
    size_t seen = 0;
    for (; !read.is_eof(); read.next(), ++seen) {
        const udb_record& row = *read.get_item();
        const size_t i = static_cast<size_t>(row[0].to_long());
        ASSERT_LT(i, values.size());
        EXPECT_TRUE(row[1].to_wstring() == values[i].first) << "text of record " << i;
        const std::span<const uint8_t> bytes = row[2].bytes();
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), values[i].second.begin(),
                               values[i].second.end()))
            << "bytes of record " << i;
    }
    EXPECT_EQ(seen, values.size());
}

// Batches of records with refused rows at the first, a middle and the last place, and large
// values of every state (NULL, empty, bound) side by side: each refused record is reported
// with its own number and error, every other record arrives with its values, and what a rule
// altered is reported for the records that went in only.
TEST_F(oralite_suite, a_batch_reports_each_refused_record_and_keeps_the_rest) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"amount", VT_R8, 0));
    source.add(t_ftd(L"doc", VT_BSTR, 0));
    source.add(t_ftd(L"bin", VT_ARRAY_UI1, 0));
    const std::unique_ptr<ora_table> table = db_->create_ora_table(
        L"batched", source, indexes_of({index(L"PRIMARY", {L"id"}, true, true)}));
    db_->query(L"INSERT INTO \"batched\" (\"id\") VALUES (-1)");
    db_->query(L"COMMIT");
    kept_reports reports;
    table->set_record_sink(&reports);
    table->set_commit_interval(500);
    const int total = 1100;
    // Record number -> the id it repeats.
    const std::map<int, int> repeats = {{1, -1}, {501, 2}, {750, 3}, {1100, 4}};
    for (int number = 1; number <= total; ++number) {
        const auto repeated = repeats.find(number);
        const int id = repeated == repeats.end() ? number : repeated->second;
        ole_variant doc;
        ole_variant bin;
        switch (number % 4) {
            case 1:
                doc = ole_variant(std::wstring());
                bin = ole_variant(std::vector<uint8_t>{});
                break;
            case 2:
                doc = ole_variant(long_text(static_cast<size_t>(number) * 7));
                bin = ole_variant(std::vector<uint8_t>(static_cast<size_t>(number), 0));
                break;
            case 3:
                doc = ole_variant(L"\U0001F600 " + std::to_wstring(number));
                break;
            default:
                break;
        }
        // Beyond NUMBER's range: stored as NULL and reported, when the record goes in.
        const ole_variant amount =
            number == 10 || number == 750 ? ole_variant(1e300) : ole_variant(number * 0.5);
        udb_record record = make_record(source, {ole_variant(id), amount, doc, bin});
        EXPECT_TRUE(table->append_record(record));
    }
    table->commit();
    std::vector<int64_t> refused;
    for (const auto& [number, why] : reports.rejected) {
        refused.push_back(number);
        EXPECT_NE(why.find("ORA-00001"), std::string::npos) << why;
    }
    EXPECT_EQ(refused, (std::vector<int64_t>{1, 501, 750, 1100}));
    ASSERT_EQ(reports.altered.size(), 1u);
    EXPECT_EQ(reports.altered[0].first, 10);
    EXPECT_EQ(table->stored(), total - 4);
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"batched\""), std::to_wstring(total - 3));
    // Every value of every row that went in, checked in Oracle: 275 records of each residue,
    // less the refused ones (1 and 501, 750, 1100).
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"batched\" WHERE MOD(\"id\", 4) = 1 AND "
                    L"LENGTH(\"doc\") = 0 AND LENGTH(\"bin\") = 0"),
              L"273");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"batched\" WHERE MOD(\"id\", 4) = 2 AND "
                    L"LENGTH(\"doc\") = \"id\" * 7 AND LENGTH(\"bin\") = \"id\""),
              L"274");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"batched\" WHERE MOD(\"id\", 4) = 3 AND \"doc\" "
                    L"IS NOT NULL AND \"bin\" IS NULL"),
              L"275");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"batched\" WHERE MOD(\"id\", 4) = 0 AND \"doc\" IS "
                    L"NULL AND \"bin\" IS NULL"),
              L"274");
    EXPECT_EQ(value(L"SELECT \"doc\" FROM \"batched\" WHERE \"id\" = 7"), L"\U0001F600 7");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"batched\" WHERE \"amount\" = \"id\" * 0.5"),
              std::to_wstring(total - 5));
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"batched\" WHERE \"id\" = 10 AND \"amount\" IS NULL"),
              L"1");
}

// One array INSERT per batch of plain records, committed in the same round trip.
// The user stops the run at the first refused record of a batch: the batch is still written
// to its end, every row of it counted and every refused one told (a sink stops showing them
// itself), and the stop comes after.
TEST_F(oralite_suite, a_sink_that_stops_the_run_still_hears_the_whole_batch) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"doc", VT_BSTR, 0));
    stopping_reports reports;
    const std::unique_ptr<ora_table> table = keyed_table(L"stopped", source, {2, 5}, reports, 10);
    // Two shapes of large values (an empty text and a long one): two executes of one batch.
    for (int id = 1; id <= 6; ++id) {
        udb_record record = make_record(
            source, {ole_variant(id), ole_variant(id % 2 == 0 ? long_text(5000) : std::wstring())});
        EXPECT_TRUE(table->append_record(record));
    }
    EXPECT_THROW(table->commit(), tk_final_exception);
    EXPECT_EQ(reports.rejected_numbers(), (std::vector<int64_t>{2, 5}));
    EXPECT_EQ(table->stored(), 4);
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"stopped\""), L"6");
}

// A full batch is written when the next record comes, while the records after it are staged,
// and a second one may wait in line behind it: its refused records are told once the batch
// after the next is sent (or at the commit), in record order and never earlier; a NULL that
// makes a column accept NULLs (ALTER TABLE) meanwhile waits for the batches being written; a
// sink that stops the run then leaves the batch on its way and the one staged to the commit,
// which writes both, and the record that came is not taken.
TEST_F(oralite_suite, a_batch_is_written_while_the_next_is_staged) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"code", VT_BSTR, 10, true));
    const std::unique_ptr<ora_table> table = db_->create_ora_table(
        L"overlapped", source, indexes_of({index(L"PRIMARY", {L"id"}, true, true)}));
    db_->query(L"INSERT INTO \"overlapped\" VALUES (2, 'x')");
    db_->query(L"INSERT INTO \"overlapped\" VALUES (5, 'x')");
    db_->query(L"COMMIT");
    stopping_reports reports;
    reports.stop_at = 5;
    table->set_record_sink(&reports);
    table->set_commit_interval(3);
    const auto append = [&](int id) {
        udb_record record = make_record(
            source,
            {ole_variant(id), id == 4 ? ole_variant() : ole_variant(L"c" + std::to_wstring(id))});
        return table->append_record(record);
    };
    for (int id = 1; id <= 3; ++id) {
        EXPECT_TRUE(append(id));
    }
    EXPECT_EQ(table->pending(), 3);
    for (int id = 4; id <= 9; ++id) {
        EXPECT_TRUE(append(id));
    }
    // Two batches are on their way (or written): nobody has heard of them yet.
    EXPECT_TRUE(reports.rejected.empty());
    EXPECT_EQ(table->pending(), 9);
    EXPECT_EQ(table->stored(), 0);
    // Sending the third batch tells of the first.
    EXPECT_TRUE(append(10));
    EXPECT_EQ(reports.rejected_numbers(), (std::vector<int64_t>{2}));
    EXPECT_EQ(table->stored(), 2);
    EXPECT_EQ(table->pending(), 7);
    EXPECT_TRUE(append(11));
    EXPECT_TRUE(append(12));
    // The second batch's refused record 5 stops the run when record 13 comes: the third batch
    // stays on its way and the fourth staged.
    EXPECT_THROW(append(13), tk_final_exception);
    EXPECT_EQ(reports.rejected_numbers(), (std::vector<int64_t>{2, 5}));
    EXPECT_EQ(table->stored(), 4);
    EXPECT_EQ(table->pending(), 6);
    table->commit();
    EXPECT_EQ(table->pending(), 0);
    EXPECT_EQ(table->stored(), 10);
    EXPECT_EQ(table->count, 10);
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"overlapped\""), L"12");
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"overlapped\" WHERE \"code\" = 'c' || \"id\""), L"9");
    EXPECT_EQ(value(L"SELECT \"id\" FROM \"overlapped\" WHERE \"code\" IS NULL"), L"4");
}

// A sink that stops the run while the commit collects the batch on its way still hears of the
// batch staged after it, which is written and counted too.
TEST_F(oralite_suite, a_stop_at_the_commit_leaves_no_staged_record_unwritten) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    stopping_reports reports;
    const std::unique_ptr<ora_table> table = keyed_table(L"last_batch", source, {2, 5}, reports, 3);
    for (int id = 1; id <= 5; ++id) {
        udb_record record = make_record(source, {ole_variant(id)});
        EXPECT_TRUE(table->append_record(record));
    }
    EXPECT_THROW(table->commit(), tk_final_exception);
    EXPECT_EQ(table->pending(), 0);
    EXPECT_EQ(table->stored(), 3);
    EXPECT_EQ(reports.rejected_numbers(), (std::vector<int64_t>{2, 5}));
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"last_batch\""), L"5");
}

// Whole numbers are bound as binary integers when every value of their column in an execute is
// one, and as texts beside the other values otherwise: the ends of 64 bits and beyond, of every
// integer kind, arrive exactly both ways.
TEST_F(oralite_suite, whole_numbers_arrive_exactly_alone_or_beside_other_numbers) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"n", VT_UI8, 0));
    source.add(
        t_ftd(L"d", VT_DECIMAL, 0, false, false, ole_variant(), t_ftd::pack_precision(38, 10)));
    const std::unique_ptr<ora_table> table = db_->create_ora_table(L"wholes", source, {});
    kept_reports reports;
    table->set_record_sink(&reports);
    table->set_commit_interval(5);
    const ole_variant small_fraction = ole_variant::from_wstring(L"-0.0000000001", VT_DECIMAL);
    const std::vector<std::pair<ole_variant, ole_variant>> values = {
        // Mixed: a value beyond 64 signed bits and a fraction make texts of the whole column.
        {ole_variant(std::numeric_limits<long long>::min()), ole_variant(7LL)},
        {ole_variant(std::numeric_limits<long long>::max()), small_fraction},
        {ole_variant(std::numeric_limits<unsigned long long>::max()), ole_variant(-5)},
        {ole_variant(), ole_variant()},
        // A BOOL is 1 or 0 to the number rules, not OLE's -1.
        {ole_variant(true), ole_variant::from_wstring(L"2.5", VT_DECIMAL)},
        // Whole numbers only, of every kind, and a NULL among them: binary.
        {ole_variant(static_cast<signed char>(-128)), ole_variant(static_cast<short>(-32768))},
        {ole_variant(static_cast<unsigned char>(255)),
         ole_variant(static_cast<unsigned short>(65535))},
        {ole_variant(4294967295u), ole_variant(-2147483647 - 1)},
        {ole_variant(9223372036854775807ull), ole_variant(0)},
        {ole_variant(), ole_variant(7)},
    };
    for (size_t i = 0; i < values.size(); ++i) {
        udb_record record = make_record(
            source, {ole_variant(static_cast<int>(i + 1)), values[i].first, values[i].second});
        EXPECT_TRUE(table->append_record(record));
    }
    table->commit();
    EXPECT_TRUE(reports.rejected.empty());
    const rows_t stored =
        rows(L"SELECT TO_CHAR(\"n\"), TO_CHAR(\"d\") FROM \"wholes\" ORDER BY \"id\"");
    const rows_t expected = {
        {L"-9223372036854775808", L"7"},
        {L"9223372036854775807", L"-.0000000001"},
        {L"18446744073709551615", L"-5"},
        {L"", L""},
        {L"1", L"2.5"},
        {L"-128", L"-32768"},
        {L"255", L"65535"},
        {L"4294967295", L"-2147483648"},
        {L"9223372036854775807", L"0"},
        {L"", L"7"},
    };
    EXPECT_EQ(stored, expected);
}

TEST_F(oralite_suite, a_batch_of_records_costs_one_round_trip) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"name", VT_BSTR, 20));
    source.add(t_ftd(L"at", VT_DATE, 0));
    const std::unique_ptr<ora_table> table = db_->create_ora_table(L"trips", source, {});
    kept_reports reports;
    table->set_record_sink(&reports);
    table->set_commit_interval(500);
    const auto trips = [this] {
        return std::stoll(
            value(L"SELECT s.VALUE FROM V$MYSTAT s, V$STATNAME n WHERE s.STATISTIC# = n.STATISTIC# "
                  L"AND n.NAME = 'SQL*Net roundtrips to/from client'"));
    };
    const long long first = trips();
    const long long reading = trips() - first;
    for (int id = 1; id <= 1000; ++id) {
        udb_record record =
            make_record(source, {ole_variant(id), ole_variant(L"name " + std::to_wstring(id)),
                                 ole_variant::from_wstring(L"2024-02-29 23:59:59", VT_DATE)});
        table->append_record(record);
    }
    table->commit();
    // Two executes, and the commit that commit() asks for.
    EXPECT_EQ(trips() - first - 2 * reading, 3);
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"trips\""), L"1000");
    EXPECT_TRUE(reports.rejected.empty());
}

TEST_F(oralite_suite, a_refused_record_keeps_the_ones_before_it) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"name", VT_BSTR, 5));
    {
        const std::unique_ptr<ora_table> table = db_->create_ora_table(
            L"refused", source, indexes_of({index(L"PRIMARY", {L"id"}, true, true)}));
        const std::vector<std::pair<int, std::wstring>> values = {
            {1, L"one"},   {2, L"two"},      {1, L"again"},
            {3, L"three"}, {4, L"too long"}, {5, std::wstring(40000, L'x')}};
        int refused = 0;
        for (const auto& [id, name] : values) {
            udb_record record = make_record(source, {ole_variant(id), ole_variant(name)});
            try {
                table->append_record(record);
            } catch (const ora_exception& e) {
                ++refused;
                EXPECT_TRUE(e.system_error() == 0x100001 || e.ora_error() == 12899) << e.what();
            }
        }
        EXPECT_EQ(refused, 3);
        EXPECT_EQ(table->count, 3);
    }
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"refused\""), L"3");
}

// Values that Oracle's NUMBER cannot hold as they are: each is stored as the nearest value the
// rules allow and reported with its record and column; the row is kept.
TEST_F(oralite_suite, numbers_beyond_oracles_range_are_stored_by_rule_and_reported) {
    udb_schema source;
    source.add(t_ftd(L"id", VT_I4, 0, true));
    source.add(t_ftd(L"amount", VT_R8, 0, true));  // NOT NULL without a default
    source.add(t_ftd(L"with_default", VT_R8, 0, true, false, ole_variant(7.0)));
    source.add(
        t_ftd(L"d", VT_DECIMAL, 0, false, false, ole_variant(), t_ftd::pack_precision(65, 30)));
    const std::unique_ptr<ora_table> table = db_->create_ora_table(L"ranged", source, {});
    kept_reports reports;
    table->set_record_sink(&reports);
    const auto decimal = [](const wchar_t* text) {
        return ole_variant::from_wstring(text, VT_DECIMAL);
    };
    const std::vector<std::vector<ole_variant>> records = {
        // The next double above the one nearest 1e126 is beyond.
        {ole_variant(1), ole_variant(-1e300), ole_variant(std::nextafter(1e126, 1e127)),
         ole_variant()},
        {ole_variant(2), ole_variant(1e-320), ole_variant(-4.9e-324), ole_variant()},
        // Just inside the range, at both ends, with all their digits: the double nearest
        // 1e126 is 9.9999999999999992e125 and fits, though its shortest text "1e126" would not.
        {ole_variant(3), ole_variant(1e126), ole_variant(1.2345678901234567e-129),
         decimal(L"12345678901234567890123456789012345678")},
        // 65 digits: rounded to 38, half away from zero.
        {ole_variant(4), ole_variant(0.0), ole_variant(0.0),
         decimal(L"-12345678901234567890123456789012345.123456789012345678901234567891")},
        {ole_variant(5), ole_variant(0.0), ole_variant(0.0),
         decimal(L"99999999999999999999999999999999999999.9")},
    };
    for (const auto& values : records) {
        udb_record record = make_record(source, values);
        EXPECT_TRUE(table->append_record(record));
    }
    table->commit();
    EXPECT_TRUE(reports.rejected.empty());
    std::vector<int64_t> altered_records;
    for (const auto& [number, note] : reports.altered) {
        altered_records.push_back(number);
        EXPECT_NE(note.find("column \""), std::string::npos) << note;
    }
    EXPECT_EQ(altered_records, (std::vector<int64_t>{1, 1, 2, 2, 4, 5}));
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"ranged\""), L"5");
    EXPECT_NE(reports.altered[0].second.find("amount"), std::string::npos);
    EXPECT_NE(reports.altered[0].second.find("stored as NULL"), std::string::npos);
    EXPECT_NE(reports.altered[1].second.find("default 7"), std::string::npos);
    // The column without a default takes the NULL; the other keeps NOT NULL.
    EXPECT_FALSE(table->schema[1].not_null);
    EXPECT_TRUE(table->schema[2].not_null);
    const rows_t stored = rows(
        L"SELECT \"id\", TO_CHAR(\"amount\"), TO_CHAR(\"with_default\"), TO_CHAR(\"d\") FROM "
        L"\"ranged\" WHERE \"id\" <> 3 ORDER BY \"id\"");
    const rows_t expected = {
        {L"1", L"", L"7", L""},
        {L"2", L"0", L"0", L""},
        {L"4", L"0", L"0", L"-12345678901234567890123456789012345.123"},
        {L"5", L"0", L"0", L"100000000000000000000000000000000000000"},
    };
    EXPECT_EQ(stored, expected);
    // Exact values at both ends of the range (compared as numbers, not as printed).
    EXPECT_EQ(value(L"SELECT COUNT(*) FROM \"ranged\" WHERE \"id\" = 3 AND \"amount\" = "
                    L"9.9999999999999992E125 AND \"with_default\" = 1.2345678901234567E-129 AND "
                    L"\"d\" = 12345678901234567890123456789012345678"),
              L"1");

    udb_record short_record = make_record(source, {ole_variant(9)});
    EXPECT_THROW(table->append_record(short_record), tk_exception);
    EXPECT_EQ(table->count, 5);
}

// ---- reading ---------------------------------------------------------------------------------

TEST_F(oralite_suite, query_results_value_kinds) {
    db_->query(
        L"CREATE TABLE \"kinds\" (\"a\" NUMBER(10,2), \"b\" NUMBER(2,2), \"c\" NUMBER(3), "
        L"\"d\" NUMBER, \"e\" DATE, \"f\" TIMESTAMP, \"g\" VARCHAR2(10), \"h\" NUMBER(20,0), "
        L"\"i\" RAW(4))");
    db_->query(
        L"INSERT INTO \"kinds\" VALUES (12.5, 0.25, 123, 0.5, "
        L"TO_DATE('2010-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS'), "
        L"TO_TIMESTAMP('2010-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS'), 'O''Brien', "
        L"18446744073709551615, HEXTORAW('0A0B'))");
    db_->query(L"INSERT INTO \"kinds\" (\"a\") VALUES (NULL)");
    ora_query_results read(0, L"SELECT * FROM \"kinds\" ORDER BY \"a\" NULLS LAST");
    const VARTYPE kinds[] = {VT_DECIMAL, VT_DECIMAL, VT_I2,      VT_R8,  VT_DATE,
                             VT_DATE,    VT_BSTR,    VT_DECIMAL, VT_BLOB};
    ASSERT_EQ(read.readers().size(), std::size(kinds));
    for (size_t i = 0; i < std::size(kinds); ++i) {
        EXPECT_EQ(read.readers()[i]->get_vartype(), kinds[i]) << "column " << i;
    }
    EXPECT_EQ(read.readers()[1]->subtype(), t_ftd::pack_precision(3, 2));
    ASSERT_FALSE(read.is_eof());
    const udb_record* row = read.get_item();
    EXPECT_EQ((*row)[0].to_wstring(), L"12.5");
    EXPECT_EQ((*row)[1].to_wstring(), L"0.25");
    EXPECT_EQ((*row)[2].to_long(), 123);
    EXPECT_EQ((*row)[3].to_double(), 0.5);
    EXPECT_EQ((*row)[4].to_wstring(), L"2010-01-02 03:04:05");
    EXPECT_EQ((*row)[5].to_wstring(), L"2010-01-02 03:04:05");
    EXPECT_EQ((*row)[6].to_wstring(), L"O'Brien");
    EXPECT_EQ((*row)[7].to_wstring(), L"18446744073709551615");
    EXPECT_EQ((*row)[8].to_wstring(), L"0x0A0B");
    EXPECT_EQ((*row)[6].name(), L"g");
    ASSERT_FALSE(read.is_eof());
    row = read.get_item();
    for (const udb_field& field : *row) {
        EXPECT_TRUE(field.is_null()) << narrow(field.name());
    }
    EXPECT_TRUE(read.is_eof());
    EXPECT_TRUE(read.is_eof());
    EXPECT_THROW(read.append_record(*const_cast<udb_record*>(row)), tk_mail_assertion);
}

TEST_F(oralite_suite, an_existing_table_with_its_keys) {
    db_->query(
        L"CREATE TABLE \"parent\" (\"id\" NUMBER(9) CONSTRAINT \"parent_pk\" PRIMARY KEY, "
        L"\"code\" VARCHAR2(10 CHAR) NOT NULL, \"label\" NVARCHAR2(8) DEFAULT NULL)");
    db_->query(L"CREATE UNIQUE INDEX \"parent_code\" ON \"parent\" (\"code\")");
    // The embedded target may not know foreign keys; the rest of the table is read all the
    // same.
    bool foreign_keys = true;
    try {
        db_->query(
            L"CREATE TABLE \"child\" (\"pid\" NUMBER(9) CONSTRAINT \"child_fk\" "
            L"REFERENCES \"parent\" ON DELETE CASCADE)");
    } catch (const ora_exception& e) {
        ASSERT_EQ(e.ora_error(), 3001) << e.what();
        foreign_keys = false;
    }
    db_->query(L"INSERT INTO \"parent\" VALUES (1, 'a', 'x')");
    db_ = engine_->open_db(L"ORATEST", L"scott", L"tiger");

    const std::unique_ptr<ora_table> table = db_->get_ora_table(L"parent", 1);
    EXPECT_EQ(table->count, 1);
    ASSERT_EQ(table->schema.size(), 3u);
    EXPECT_EQ(table->schema[0].vartype, VT_I4);
    EXPECT_TRUE(table->schema[0].not_null);
    EXPECT_EQ(table->schema[1].size, 10);
    EXPECT_EQ(table->schema[2].size, 8);
    EXPECT_TRUE(table->schema[2].default_value.is_null());  // DEFAULT NULL is no default
    ASSERT_EQ(table->indexes.size(), 2u);
    EXPECT_TRUE(table->indexes[0].is_primary);
    EXPECT_EQ(table->indexes[0].name, L"parent_pk");
    EXPECT_EQ(table->indexes[0].fields, std::vector<std::wstring>{L"id"});
    EXPECT_EQ(table->indexes[1].name, L"parent_code");
    EXPECT_TRUE(table->indexes[1].is_unique);
    if (foreign_keys) {
        ASSERT_EQ(table->foreign_keys().size(), 1u);
        EXPECT_EQ(table->foreign_keys()[0].table, L"child");
        EXPECT_EQ(table->foreign_keys()[0].rule, L"ON DELETE CASCADE");
    } else {
        EXPECT_TRUE(table->foreign_keys().empty());
    }

    // Read row by row, and appended to.
    ASSERT_FALSE(table->is_eof());
    EXPECT_EQ((*table->get_item())[1].to_wstring(), L"a");
    EXPECT_TRUE(table->is_eof());
    udb_record record =
        make_record(table->schema, {ole_variant(2), ole_variant(L"b"), ole_variant(L"ünï")});
    EXPECT_TRUE(table->append_record(record));
    EXPECT_EQ(table->count, 2);

    const std::unique_ptr<udb_recordset> query =
        db_->get_table(L"q", L"SELECT \"id\", \"code\" FROM \"parent\" WHERE \"id\" > 1", 1);
    EXPECT_EQ(query->count, 1);
    EXPECT_EQ(query->schema.size(), 2u);
    EXPECT_TRUE(query->is_query());
}

}  // namespace

namespace {

TEST(ora_oci, finds_liboralite_beside_the_programs) {
    const char* bin = std::getenv("TARVOLIN_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    // Without TARVOLIN_OCI_LIBRARY and without an Oracle client, the probe of a program in
    // the build's bin folder ends at the liboralite.so beside it.
    ora_oci_functions table;
    ASSERT_TRUE(ora_oci_probe(ora_oci_candidates(nullptr, bin), table));
    EXPECT_NE(table.OCIEnvCreate, nullptr);
    EXPECT_NE(table.OCILobWrite, nullptr);
}

}  // namespace

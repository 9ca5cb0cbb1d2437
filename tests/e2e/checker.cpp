#include "e2e/checker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cwctype>
#include <set>

#include "platform/codepage.h"

namespace e2e {
namespace {

using driver_test::cell;
using driver_test::mysql_result;
using driver_test::mysql_session;
using driver_test::oracle_result;
using driver_test::oralite_schema;

bool is_one_of(const std::string& value, std::initializer_list<const char*> list) {
    return std::any_of(list.begin(), list.end(), [&](const char* item) { return value == item; });
}

bool is_integer_type(const std::string& t) {
    return is_one_of(t, {"tinyint", "smallint", "mediumint", "int", "bigint", "year", "bit"});
}
bool is_float_type(const std::string& t) {
    return is_one_of(t, {"float", "double", "real"});
}
bool is_date_type(const std::string& t) {
    return is_one_of(t, {"date", "datetime", "timestamp", "time"});
}
bool is_binary_type(const std::string& t) {
    return is_one_of(t, {"binary", "varbinary", "tinyblob", "blob", "mediumblob", "longblob"});
}
bool is_text_type(const std::string& t) {
    return is_one_of(
        t, {"char", "varchar", "tinytext", "text", "mediumtext", "longtext", "enum", "set"});
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

// A decimal text as Oracle's NUMBER prints it: no trailing zeros after the point, no point
// without digits after it, no sign on zero.
std::string canonical_decimal(std::string text) {
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') {
            text.pop_back();
        }
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    if (text == "-0") {
        text = "0";
    }
    if (text.rfind("-0.", 0) == 0 || text.rfind("0.", 0) == 0 || text.rfind(".", 0) == 0) {
        return text;
    }
    return text.empty() ? "0" : text;
}

std::string upper(const std::string& utf8) {
    std::wstring wide = platform::utf8_to_wide(utf8);
    for (wchar_t& c : wide) {
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
    return platform::wide_to_utf8(wide);
}

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

std::string sql_text(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out + "'";
}

// One column of the source as information_schema describes it.
struct source_column {
    std::string name;
    std::string data_type;
    std::string column_type;
    bool not_null = false;
    cell default_value;
    bool auto_increment = false;
    long long char_length = 0;
    int precision = 0;
    int scale = 0;
};

// One column of the destination as USER_TAB_COLUMNS describes it.
struct destination_column {
    std::string data_type;
    long long length = 0;
    std::string precision;
    std::string scale;
    bool nullable = true;
    std::string default_text;
};

std::vector<source_column> source_columns(mysql_session& mysql, const std::string& database,
                                          const std::string& table) {
    const mysql_result result = mysql.query(
        "SELECT COLUMN_NAME, DATA_TYPE, COLUMN_TYPE, IS_NULLABLE, COLUMN_DEFAULT, EXTRA, "
        "CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE FROM "
        "information_schema.COLUMNS "
        "WHERE TABLE_SCHEMA = '" +
        database + "' AND TABLE_NAME = '" + table + "' ORDER BY ORDINAL_POSITION");
    std::vector<source_column> columns;
    for (const auto& r : result.rows) {
        source_column c;
        c.name = *r[0];
        c.data_type = *r[1];
        c.column_type = *r[2];
        c.not_null = *r[3] == "NO";
        c.default_value = r[4];
        if (c.default_value && *c.default_value == "NULL") {
            c.default_value.reset();
        }
        c.auto_increment = r[5]->find("auto_increment") != std::string::npos;
        c.char_length = r[6] ? std::atoll(r[6]->c_str()) : 0;
        c.precision = r[7] ? std::atoi(r[7]->c_str()) : 0;
        c.scale = r[8] ? std::atoi(r[8]->c_str()) : 0;
        columns.push_back(c);
    }
    return columns;
}

std::string destination_table(const std::string& table, const checker_options& options) {
    const auto found = options.table_names.find(table);
    if (found != options.table_names.end()) {
        return found->second;
    }
    return options.uppercase ? upper(table) : table;
}

std::string destination_column_name(const std::string& column, const checker_options& options) {
    return options.uppercase ? upper(column) : column;
}

std::map<std::string, destination_column> destination_columns(const oralite_schema& oracle,
                                                              const std::string& table) {
    const oracle_result result = oracle.query(
        "SELECT COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE, "
        "DATA_DEFAULT FROM USER_TAB_COLUMNS WHERE TABLE_NAME = " +
        sql_text(table));
    std::map<std::string, destination_column> columns;
    for (const auto& r : result.rows) {
        destination_column c;
        c.data_type = r.at(1);
        c.length = std::atoll(r.at(2).c_str());
        c.precision = r.at(3);
        c.scale = r.at(4);
        c.nullable = r.at(5) != "N";
        c.default_text = r.size() > 6 ? r[6] : std::string();
        columns[r.at(0)] = c;
    }
    return columns;
}

std::vector<std::string> primary_key(mysql_session& mysql, const std::string& database,
                                     const std::string& table) {
    std::vector<std::string> names;
    for (const auto& r :
         mysql
             .query("SELECT COLUMN_NAME FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = '" +
                    database + "' AND TABLE_NAME = '" + table +
                    "' AND INDEX_NAME = 'PRIMARY' ORDER BY SEQ_IN_INDEX")
             .rows) {
        names.push_back(*r[0]);
    }
    return names;
}

bool is_lob(const destination_column& column) {
    return column.data_type == "CLOB" || column.data_type == "BLOB";
}

// The Oracle text of every row, each row as one text per column, sorted by the key columns.
using table_rows = std::vector<std::vector<std::string>>;

void sort_by(table_rows& rows, const std::vector<size_t>& key) {
    std::sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
        for (const size_t k : key) {
            if (a[k] != b[k]) {
                return a[k] < b[k];
            }
        }
        return a < b;
    });
}

}  // namespace

std::string expected_text(const std::string& data_type, const cell& value) {
    if (!value || value->empty()) {
        return std::string();  // Oracle keeps the empty text as NULL
    }
    const std::string& v = *value;
    if (data_type == "bit") {
        unsigned long long bits = 0;
        for (const unsigned char c : v) {
            bits = bits << 8 | c;
        }
        return std::to_string(bits);
    }
    if (data_type == "decimal") {
        return canonical_decimal(v);
    }
    if (data_type == "date") {
        return v + " 00:00:00";
    }
    if (data_type == "datetime" || data_type == "timestamp") {
        return v.substr(0, 19);
    }
    if (data_type == "time") {
        return v.substr(0, 8);  // Oracle adds a date of its own
    }
    if (is_binary_type(data_type)) {
        return hex(v);
    }
    return v;
}

bool same_value(const std::string& data_type, const std::string& expected,
                const std::string& actual) {
    if (data_type == "time") {
        return actual.size() >= 8 && actual.substr(actual.size() - 8) == expected;
    }
    if (is_float_type(data_type) && !expected.empty() && !actual.empty()) {
        const double e = std::strtod(expected.c_str(), nullptr);
        const double a = std::strtod(actual.c_str(), nullptr);
        if (data_type == "float") {
            return static_cast<float>(e) == static_cast<float>(a);
        }
        return e == a || std::fabs(e - a) <= std::fabs(e) * 1e-15;
    }
    return expected == actual;
}

problems compare_rows(mysql_session& mysql, const std::string& database,
                      const oralite_schema& oracle, const std::string& table,
                      const checker_options& options) {
    problems found;
    const std::vector<source_column> columns = source_columns(mysql, database, table);
    const std::string target = destination_table(table, options);
    std::string select;
    for (const auto& c : columns) {
        select += (select.empty() ? "" : ", ") + quoted(destination_column_name(c.name, options));
    }
    const mysql_result source = mysql.query("SELECT * FROM `" + database + "`.`" + table + "`");
    const oracle_result destination = oracle.query("SELECT " + select + " FROM " + quoted(target));

    const size_t expected_rows = options.definitions_only ? 0 : source.rows.size();
    if (destination.rows.size() != expected_rows) {
        found.push_back(table + ": " + std::to_string(destination.rows.size()) +
                        " rows in Oracle, expected " + std::to_string(expected_rows));
        return found;
    }
    table_rows want;
    for (const auto& r : source.rows) {
        std::vector<std::string> texts;
        for (size_t i = 0; i < columns.size(); ++i) {
            texts.push_back(expected_text(columns[i].data_type, r[i]));
        }
        want.push_back(texts);
    }
    table_rows got = destination.rows;
    for (const auto& r : got) {
        if (r.size() != columns.size()) {
            found.push_back(table + ": a row of Oracle's output has " + std::to_string(r.size()) +
                            " fields (a value with a tab or a line break?)");
            return found;
        }
    }
    std::vector<size_t> key;
    for (const std::string& name : primary_key(mysql, database, table)) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name == name) {
                key.push_back(i);
            }
        }
    }
    // Without a key, rows are matched by their whole text; floating-point values would make
    // that fragile, but none of the keyless test tables has one.
    sort_by(want, key);
    sort_by(got, key);
    for (size_t r = 0; r < want.size(); ++r) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (!same_value(columns[i].data_type, want[r][i], got[r][i])) {
                found.push_back(table + "." + columns[i].name + ", row " + std::to_string(r + 1) +
                                ": expected [" + want[r][i].substr(0, 200) + "], Oracle has [" +
                                got[r][i].substr(0, 200) + "]");
                if (found.size() > 20) {
                    return found;
                }
            }
        }
    }
    return found;
}

namespace {

// The digits an integer column needs for every value of its MySQL type.
int integer_digits(const source_column& c) {
    const bool is_unsigned = c.column_type.find("unsigned") != std::string::npos;
    if (c.data_type == "tinyint")
        return 3;
    if (c.data_type == "smallint")
        return 5;
    if (c.data_type == "mediumint")
        return is_unsigned ? 8 : 7;
    if (c.data_type == "int")
        return 10;
    if (c.data_type == "bigint")
        return is_unsigned ? 20 : 19;
    if (c.data_type == "year")
        return 4;
    return 1;  // bit(1)
}

void check_type(const std::string& where, const source_column& c, const destination_column& d,
                problems& found) {
    const auto complain = [&](const std::string& what) {
        found.push_back(where + " (" + c.column_type + "): " + what + ", Oracle has " +
                        d.data_type + "(" + std::to_string(d.length) + "," + d.precision + "," +
                        d.scale + ")");
    };
    if (is_integer_type(c.data_type)) {
        if (d.data_type != "NUMBER" || (d.scale != "0" && !d.scale.empty()) ||
            (!d.precision.empty() && std::atoi(d.precision.c_str()) < integer_digits(c))) {
            complain("an integer NUMBER with " + std::to_string(integer_digits(c)) + " digits");
        }
    } else if (c.data_type == "decimal") {
        if (d.data_type != "NUMBER" || d.precision != std::to_string(c.precision) ||
            d.scale != std::to_string(c.scale)) {
            complain("NUMBER(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")");
        }
    } else if (is_float_type(c.data_type)) {
        if (d.data_type != "NUMBER") {
            complain("NUMBER");
        }
    } else if (is_date_type(c.data_type)) {
        if (d.data_type != "DATE") {
            complain("DATE");
        }
    } else if (is_text_type(c.data_type)) {
        const bool fits =
            d.data_type == "CLOB" || (d.data_type == "VARCHAR2" && d.length >= c.char_length);
        if (!fits) {
            complain("VARCHAR2 of at least " + std::to_string(c.char_length) + " or CLOB");
        }
    } else if (is_binary_type(c.data_type)) {
        const bool fits =
            d.data_type == "BLOB" || (d.data_type == "RAW" && d.length >= c.char_length);
        if (!fits) {
            complain("RAW of at least " + std::to_string(c.char_length) + " or BLOB");
        }
    }
}

bool is_zero_date(const cell& value) {
    return value && (value->rfind("0000-00-00", 0) == 0 || value->rfind("'0000-00-00", 0) == 0);
}

std::string unquoted(std::string text) {
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        text = text.substr(1, text.size() - 2);
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            out += text[i];
            if (text[i] == '\'' && i + 1 < text.size() && text[i + 1] == '\'') {
                ++i;
            }
        }
        return out;
    }
    return text;
}

void check_default(const std::string& where, const source_column& c, const destination_column& d,
                   problems& found) {
    if (is_lob(d) || c.auto_increment) {
        return;
    }
    const bool source_has = c.default_value && !is_zero_date(c.default_value) &&
                            c.default_value->find("current_timestamp") == std::string::npos;
    const std::string oracle_default = unquoted(d.default_text);
    if (!source_has) {
        if (!oracle_default.empty() && oracle_default != "NULL" && !is_zero_date(c.default_value) &&
            !(c.default_value && c.default_value->find("current_timestamp") != std::string::npos)) {
            found.push_back(where + ": no default expected, Oracle has " + d.default_text);
        }
        return;
    }
    const std::string source_default = unquoted(*c.default_value);
    bool same = false;
    if (is_integer_type(c.data_type) || c.data_type == "decimal" || is_float_type(c.data_type)) {
        same = std::strtod(source_default.c_str(), nullptr) ==
                   std::strtod(oracle_default.c_str(), nullptr) &&
               !oracle_default.empty();
    } else if (is_date_type(c.data_type)) {
        same = d.default_text.find(source_default.substr(0, 10)) != std::string::npos;
    } else {
        same = source_default == oracle_default;
    }
    if (!same) {
        found.push_back(where + ": default " + *c.default_value + " expected, Oracle has [" +
                        d.default_text + "]");
    }
}

// Keys and indexes as comparable descriptions: "P(a,b)", "U(a)", "I(a,b)".
std::multiset<std::string> source_keys(mysql_session& mysql, const std::string& database,
                                       const std::string& table,
                                       const std::map<std::string, destination_column>& columns,
                                       const checker_options& options) {
    const mysql_result result = mysql.query(
        "SELECT INDEX_NAME, NON_UNIQUE, COLUMN_NAME FROM information_schema.STATISTICS WHERE "
        "TABLE_SCHEMA = '" +
        database + "' AND TABLE_NAME = '" + table + "' ORDER BY INDEX_NAME, SEQ_IN_INDEX");
    std::map<std::string, std::pair<std::string, std::vector<std::string>>> indexes;
    for (const auto& r : result.rows) {
        auto& index = indexes[*r[0]];
        index.first = *r[0] == "PRIMARY" ? "P" : (*r[1] == "0" ? "U" : "I");
        index.second.push_back(destination_column_name(*r[2], options));
    }
    std::multiset<std::string> keys;
    std::set<std::string> primary;
    if (indexes.count("PRIMARY") != 0) {
        const auto& fields = indexes["PRIMARY"].second;
        primary.insert(fields.begin(), fields.end());
    }
    for (const auto& [name, index] : indexes) {
        const auto& fields = index.second;
        const bool has_lob = std::any_of(fields.begin(), fields.end(), [&](const auto& f) {
            const auto found = columns.find(f);
            return found != columns.end() && is_lob(found->second);
        });
        if (has_lob) {
            continue;  // a LOB cannot be indexed in Oracle
        }
        if (index.first != "P" && std::set<std::string>(fields.begin(), fields.end()) == primary &&
            fields.size() == primary.size()) {
            continue;  // the same columns as the primary key
        }
        std::string text = index.first + "(";
        for (size_t i = 0; i < fields.size(); ++i) {
            text += (i == 0 ? "" : ",") + fields[i];
        }
        keys.insert(text + ")");
    }
    return keys;
}

std::multiset<std::string> destination_keys(const oralite_schema& oracle,
                                            const std::string& table) {
    std::map<std::string, std::pair<std::string, std::vector<std::string>>> keys;
    for (const auto& r : oracle
                             .query("SELECT c.CONSTRAINT_NAME, c.CONSTRAINT_TYPE, cc.COLUMN_NAME "
                                    "FROM USER_CONSTRAINTS c, USER_CONS_COLUMNS cc WHERE "
                                    "c.CONSTRAINT_NAME = cc.CONSTRAINT_NAME AND c.TABLE_NAME = " +
                                    sql_text(table) +
                                    " AND c.CONSTRAINT_TYPE IN ('P', 'U') ORDER BY "
                                    "c.CONSTRAINT_NAME, cc.POSITION")
                             .rows) {
        auto& key = keys[r.at(0)];
        key.first = r.at(1);
        key.second.push_back(r.at(2));
    }
    for (const auto& r : oracle
                             .query("SELECT i.INDEX_NAME, i.UNIQUENESS, ic.COLUMN_NAME FROM "
                                    "USER_INDEXES i, USER_IND_COLUMNS ic WHERE i.INDEX_NAME = "
                                    "ic.INDEX_NAME AND i.TABLE_NAME = " +
                                    sql_text(table) + " ORDER BY i.INDEX_NAME, ic.COLUMN_POSITION")
                             .rows) {
        if (keys.count(r.at(0)) != 0 && keys[r.at(0)].first != "I" && keys[r.at(0)].first != "J") {
            continue;  // the index behind a constraint
        }
        auto& key = keys[r.at(0)];
        key.first = r.at(1) == "UNIQUE" ? "J" : "I";  // J: a unique index without constraint
        key.second.push_back(r.at(2));
    }
    std::multiset<std::string> out;
    for (const auto& [name, key] : keys) {
        std::string text = (key.first == "J" ? std::string("U") : key.first) + "(";
        for (size_t i = 0; i < key.second.size(); ++i) {
            text += (i == 0 ? "" : ",") + key.second[i];
        }
        out.insert(text + ")");
    }
    return out;
}

std::string describe(const std::multiset<std::string>& keys) {
    std::string text;
    for (const auto& k : keys) {
        text += (text.empty() ? "" : " ") + k;
    }
    return "{" + text + "}";
}

bool has_empty_text(mysql_session& mysql, const std::string& database, const std::string& table,
                    const std::string& column) {
    return mysql
               .query("SELECT COUNT(*) FROM `" + database + "`.`" + table + "` WHERE `" + column +
                      "` = ''")
               .rows[0][0] != "0";
}

}  // namespace

problems compare_structure(mysql_session& mysql, const std::string& database,
                           const oralite_schema& oracle, const std::string& table,
                           const checker_options& options) {
    problems found;
    const std::string target = destination_table(table, options);
    const auto source = source_columns(mysql, database, table);
    const auto destination = destination_columns(oracle, target);
    if (destination.size() != source.size()) {
        found.push_back(table + ": " + std::to_string(destination.size()) +
                        " columns in Oracle, expected " + std::to_string(source.size()));
        return found;
    }
    const std::vector<std::string> key = primary_key(mysql, database, table);
    for (const source_column& c : source) {
        const std::string name = destination_column_name(c.name, options);
        const std::string where = table + "." + c.name;
        const auto d = destination.find(name);
        if (d == destination.end()) {
            found.push_back(where + ": no column " + name + " in Oracle");
            continue;
        }
        check_type(where, c, d->second, found);
        check_default(where, c, d->second, found);
        const bool in_key = std::find(key.begin(), key.end(), c.name) != key.end();
        const bool zero_date_default = is_date_type(c.data_type) && is_zero_date(c.default_value);
        const bool emptied = is_text_type(c.data_type) && !options.definitions_only &&
                             has_empty_text(mysql, database, table, c.name);
        const bool not_null = in_key || (c.not_null && !c.auto_increment && !is_lob(d->second) &&
                                         !zero_date_default && !emptied);
        if (d->second.nullable == not_null) {
            found.push_back(where + (not_null ? ": NOT NULL expected" : ": nullable expected"));
        }
    }
    const auto want = source_keys(mysql, database, table, destination, options);
    const auto got = destination_keys(oracle, target);
    if (want != got) {
        found.push_back(table + ": keys and indexes " + describe(want) + " expected, Oracle has " +
                        describe(got));
    }
    return found;
}

problems check_auto_increment(mysql_session& mysql, const std::string& database,
                              const oralite_schema& oracle, const std::string& table,
                              const checker_options& options) {
    problems found;
    const auto source = source_columns(mysql, database, table);
    const auto id = std::find_if(source.begin(), source.end(),
                                 [](const source_column& c) { return c.auto_increment; });
    if (id == source.end()) {
        return found;
    }
    const std::string target = destination_table(table, options);
    const oracle_result triggers = oracle.query(
        "SELECT t.STATUS, o.STATUS FROM USER_TRIGGERS t, USER_OBJECTS o WHERE t.TRIGGER_NAME = "
        "o.OBJECT_NAME AND o.OBJECT_TYPE = 'TRIGGER' AND t.TABLE_NAME = " +
        sql_text(target));
    if (triggers.rows.size() != 1 ||
        triggers.rows[0] != std::vector<std::string>{"ENABLED", "VALID"}) {
        found.push_back(table + ": one enabled and valid trigger expected, Oracle has " +
                        std::to_string(triggers.rows.size()) + " trigger(s)" +
                        (triggers.rows.empty()
                             ? ""
                             : " " + triggers.rows[0].at(0) + " " + triggers.rows[0].at(1)));
        return found;
    }
    // A row without its key, with a value for every other NOT NULL column.
    const auto destination = destination_columns(oracle, target);
    std::string names;
    std::string values;
    for (const source_column& c : source) {
        const std::string name = destination_column_name(c.name, options);
        const destination_column& d = destination.at(name);
        if (c.auto_increment || d.nullable) {
            continue;
        }
        std::string value;
        if (d.data_type == "NUMBER") {
            value = "7";
        } else if (d.data_type == "DATE") {
            value = "TO_DATE('2001-02-03', 'YYYY-MM-DD')";
        } else if (d.data_type == "CLOB") {
            value = "EMPTY_CLOB()";
        } else if (d.data_type == "BLOB" || d.data_type == "RAW") {
            value = d.data_type == "BLOB" ? "EMPTY_BLOB()" : "'7A'";
        } else if (c.data_type == "enum") {
            value = sql_text(c.column_type.substr(6, c.column_type.find('\'', 6) - 6));
        } else {
            value = "'zq'";
        }
        names += (names.empty() ? "" : ", ") + quoted(name);
        values += (values.empty() ? "" : ", ") + value;
    }
    const auto inserted = oracle.sql(
        {"INSERT INTO " + quoted(target) + " (" + names + ") VALUES (" + values + ")", "COMMIT"});
    if (inserted.status != 0) {
        found.push_back(table + ": a row without its key was refused: " + inserted.err);
        return found;
    }
    const std::string key = quoted(destination_column_name(id->name, options));
    const std::string highest_copied = mysql
                                           .query("SELECT COALESCE(MAX(`" + id->name +
                                                  "`), 0) FROM `" + database + "`.`" + table + "`")
                                           .rows[0][0]
                                           .value_or("0");
    const std::string nulls =
        oracle.scalar("SELECT COUNT(*) FROM " + quoted(target) + " WHERE " + key + " IS NULL");
    const std::string highest = oracle.scalar("SELECT MAX(" + key + ") FROM " + quoted(target));
    if (nulls != "0" ||
        std::strtod(highest.c_str(), nullptr) <= std::strtod(highest_copied.c_str(), nullptr)) {
        found.push_back(table + ": the new row's key " + highest + " is not above the copied " +
                        highest_copied);
    }
    return found;
}

problems compare_database(mysql_session& mysql, const std::string& database,
                          const oralite_schema& oracle, const checker_options& options) {
    problems found;
    const mysql_result tables =
        mysql.query("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                    database + "' ORDER BY TABLE_NAME");
    for (const auto& r : tables.rows) {
        for (auto part : {compare_structure(mysql, database, oracle, *r[0], options),
                          compare_rows(mysql, database, oracle, *r[0], options)}) {
            found.insert(found.end(), part.begin(), part.end());
        }
    }
    return found;
}

}  // namespace e2e

#include "e2e/checker.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwctype>

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
bool is_blob_type(const std::string& t) {
    return is_one_of(t, {"tinyblob", "blob", "mediumblob", "longblob"});
}
bool is_binary_type(const std::string& t) {
    return is_one_of(t, {"binary", "varbinary"}) || is_blob_type(t);
}
bool is_text_type(const std::string& t) {
    return is_one_of(t, {"char", "varchar", "tinytext", "text", "mediumtext", "longtext", "enum",
                         "set", "json"});
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

// A number's text without exponent ("1.5E3" -> "1500", "1E-3" -> "0.001"), as NUMBER prints it.
std::string plain_decimal(const std::string& text) {
    const size_t e = text.find_first_of("eE");
    if (e == std::string::npos) {
        return canonical_decimal(text);
    }
    std::string mantissa = text.substr(0, e);
    const long exponent = std::strtol(text.c_str() + e + 1, nullptr, 10);
    const bool negative = !mantissa.empty() && mantissa[0] == '-';
    if (negative || (!mantissa.empty() && mantissa[0] == '+')) {
        mantissa.erase(0, 1);
    }
    size_t point = mantissa.find('.');
    if (point == std::string::npos) {
        point = mantissa.size();
    } else {
        mantissa.erase(point, 1);
    }
    long position = static_cast<long>(point) + exponent;  // digits before the point
    std::string digits = mantissa;
    if (position <= 0) {
        digits = "0." + std::string(static_cast<size_t>(-position), '0') + digits;
    } else if (position >= static_cast<long>(digits.size())) {
        digits += std::string(static_cast<size_t>(position) - digits.size(), '0');
    } else {
        digits.insert(static_cast<size_t>(position), ".");
    }
    return canonical_decimal((negative ? "-" : "") + digits);
}

// The shortest decimal that reads back to the float, without exponent.
std::string shortest_float(float value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return plain_decimal(std::string(buffer, result.ptr));
}

float read_float(const std::string& text) {
    float value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // A subnormal (1e-45): strtof gives it where from_chars refuses.
        return std::strtof(text.c_str(), nullptr);
    }
    return value;
}

double read_double(const std::string& text) {
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // A subnormal (1e-320): strtod gives it where from_chars refuses.
        return std::strtod(text.c_str(), nullptr);
    }
    return value;
}

}  // namespace

std::string current_month_start() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-01", local.tm_year + 1900, local.tm_mon + 1);
    return buffer;
}

namespace {

// "hh:mm:ss[.f]" -> "hh:mm:ss.ffffff"; false for another form.
bool normal_time(const std::string& text, std::string& out) {
    if (text.size() < 8 || text[2] != ':' || text[5] != ':') {
        return false;
    }
    std::string fraction = text.size() > 8 ? text.substr(9) : std::string();
    if (text.size() > 8 && text[8] != '.') {
        return false;
    }
    // Digits beyond the microsecond must be zeros: nothing may be cut.
    while (fraction.size() > 6 && fraction.back() == '0') {
        fraction.pop_back();
    }
    if (fraction.size() > 6) {
        return false;
    }
    out = text.substr(0, 8) + "." + fraction + std::string(6 - fraction.size(), '0');
    return true;
}

// "YYYY-MM-DD[ hh:mm:ss[.f]]" -> "YYYY-MM-DD hh:mm:ss.ffffff".
bool normal_moment(const std::string& text, std::string& out) {
    if (text.size() == 10) {
        out = text + " 00:00:00.000000";
        return true;
    }
    std::string time;
    if (text.size() < 19 || text[10] != ' ' || !normal_time(text.substr(11), time)) {
        return false;
    }
    out = text.substr(0, 11) + time;
    return true;
}

// A TIME "[-]h:mm:ss[.f]" or an interval "+DD HH:MI:SS[.F]" as signed microseconds.
bool duration_micros(const std::string& text, long long& micros) {
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos++] == '-';
    }
    long long days = 0;
    const size_t space = text.find(' ', pos);
    if (space != std::string::npos) {
        days = std::atoll(text.substr(pos, space - pos).c_str());
        pos = space + 1;
    }
    const size_t colon1 = text.find(':', pos);
    const size_t colon2 = colon1 == std::string::npos ? colon1 : text.find(':', colon1 + 1);
    if (colon2 == std::string::npos) {
        return false;
    }
    const long long hours = std::atoll(text.substr(pos, colon1 - pos).c_str());
    const long long minutes = std::atoll(text.substr(colon1 + 1, 2).c_str());
    std::string seconds = text.substr(colon2 + 1);
    const size_t point = seconds.find('.');
    long long fraction = 0;
    if (point != std::string::npos) {
        std::string digits = seconds.substr(point + 1);
        while (digits.size() > 6 && digits.back() == '0') {
            digits.pop_back();
        }
        if (digits.size() > 6) {
            return false;
        }
        digits.resize(6, '0');
        fraction = std::atoll(digits.c_str());
        seconds.resize(point);
    }
    micros = ((((days * 24 + hours) * 60 + minutes) * 60 + std::atoll(seconds.c_str())) * 1000000 +
              fraction) *
             (negative ? -1 : 1);
    return true;
}

bool is_zero_date(const std::string& value) {
    return value.rfind("0000-00-00", 0) == 0;
}

bool is_partial_zero_date(const std::string& value) {
    return value.size() >= 10 && (value.substr(5, 2) == "00" || value.substr(8, 2) == "00");
}

// The most UTF-8 bytes one character of a MySQL character set becomes: ASCII 1; the sets that
// reach beyond the Basic Multilingual Plane 4; the rest (latin1 is cp1252 with its three-byte
// euro sign, utf8mb3, the Asian sets) 3.
long long utf8_bytes_per_char(const std::string& charset) {
    if (charset == "ascii" || charset == "binary") {
        return 1;
    }
    for (const char* wide : {"utf8mb4", "utf16", "utf16le", "utf32", "gb18030"}) {
        if (charset == wide) {
            return 4;
        }
    }
    return 3;
}

std::vector<source_column> source_columns(mysql_session& mysql, const std::string& database,
                                          const std::string& table) {
    const mysql_result result = mysql.query(
        "SELECT COLUMN_NAME, DATA_TYPE, COLUMN_TYPE, IS_NULLABLE, COLUMN_DEFAULT, EXTRA, "
        "CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE, DATETIME_PRECISION, "
        "CHARACTER_SET_NAME FROM "
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
        c.invisible = r[5]->find("INVISIBLE") != std::string::npos;
        c.char_length = r[6] ? std::atoll(r[6]->c_str()) : 0;
        c.precision = r[7] ? std::atoi(r[7]->c_str()) : 0;
        c.scale = r[8] ? std::atoi(r[8]->c_str()) : 0;
        c.fraction_digits = r[9] ? std::atoi(r[9]->c_str()) : 0;
        c.charset = r[10] ? *r[10] : "";
        // FLOAT(7,4) is a decimal for the product: its digits are as MySQL prints them.
        if (c.data_type == "float" && c.column_type.find(',') != std::string::npos) {
            c.data_type = "decimal";
        }
        columns.push_back(c);
    }
    // A view's columns show their auto-increment in the result's flags only.
    const mysql_result described =
        mysql.query("SELECT * FROM `" + database + "`.`" + table + "` LIMIT 0");
    for (size_t i = 0; i < described.names.size(); ++i) {
        for (source_column& c : columns) {
            if (c.name == described.names[i] && (described.flags[i] & AUTO_INCREMENT_FLAG) != 0) {
                c.auto_increment = true;
            }
        }
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

// One column of the destination as USER_TAB_COLUMNS describes it.
// The longest index key Oracle makes in a database of 8 KB blocks.
constexpr long long max_key_bytes = 6398;

struct destination_column {
    std::string data_type;
    long long length = 0;
    std::string precision;
    std::string scale;
    bool nullable = true;
    std::string default_text;
};

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

// The rows of the source with every column (INVISIBLE ones too), a FLOAT through DOUBLE so that
// the stored value comes back exactly.
mysql_result source_rows(mysql_session& mysql, const std::string& database,
                         const std::string& table, const std::vector<source_column>& columns) {
    std::string select;
    for (const source_column& c : columns) {
        const std::string name = "`" + c.name + "`";
        select += select.empty() ? "" : ", ";
        select += c.data_type == "float" ? name + " + 0e0" : name;
    }
    return mysql.query("SELECT " + select + " FROM `" + database + "`.`" + table + "`");
}

expectation text_of(std::string value, std::string rule = std::string()) {
    return {expectation::kind::text, std::move(value), std::move(rule)};
}

expectation rejected(std::string why) {
    return {expectation::kind::rejected, std::string(), std::move(why)};
}

expectation double_expectation(const source_column& column, const std::string& text) {
    const double value = read_double(text);
    // The double nearest 1e126 (9.9999999999999992e125) still fits; every one above does not.
    if (std::fabs(value) > 1e126) {
        if (column.not_null && column.default_value) {
            return text_of(canonical_decimal(*column.default_value),
                           "beyond NUMBER's range: the column's default");
        }
        return text_of("", "beyond NUMBER's range: NULL");
    }
    if (value != 0 && std::fabs(value) < 1e-130) {
        return text_of("0", "below NUMBER's range: 0");
    }
    return {expectation::kind::float64, text, std::string()};
}

expectation temporal_expectation(const source_column& column, const std::string& value,
                                 const checker_options& options) {
    if (column.data_type == "time") {
        if (options.time_as_interval) {
            return {expectation::kind::duration, value, std::string()};
        }
        long long micros = 0;
        duration_micros(value, micros);
        if (micros < 0 || micros >= 86400LL * 1000000) {
            return rejected("a TIME beyond a day is no time of day");
        }
        std::string time;
        normal_time(value, time);
        return {expectation::kind::moment, current_month_start() + " " + time,
                "a time gets the first day of the current month"};
    }
    if (is_zero_date(value)) {
        return text_of("", "the zero date is NULL");
    }
    if (is_partial_zero_date(value)) {
        return text_of("", "a partial zero date is NULL");
    }
    if (value.rfind("0000-", 0) == 0) {
        return rejected("the year 0 does not exist in Oracle");
    }
    std::string moment;
    normal_moment(value, moment);
    return {expectation::kind::moment, moment, std::string()};
}

// The Oracle table's rows, each as one text per column, keyed by the text of the key columns.
using table_rows = std::vector<std::vector<std::string>>;

std::string key_of(const std::vector<std::string>& row, const std::vector<size_t>& key) {
    std::string text;
    for (const size_t k : key) {
        text += row[k] + '\x1f';
    }
    return text;
}

}  // namespace

void comparison::add(const comparison& other) {
    found.insert(found.end(), other.found.begin(), other.found.end());
    for (const auto& [table, keys] : other.rejected_rows) {
        rejected_rows[table].insert(keys.begin(), keys.end());
    }
    rules_applied.insert(rules_applied.end(), other.rules_applied.begin(),
                         other.rules_applied.end());
}

std::string canonical_decimal(std::string text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.erase(0, 1);
    }
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0') {
            text.pop_back();
        }
        if (!text.empty() && text.back() == '.') {
            text.pop_back();
        }
    }
    const size_t lead = text.find_first_not_of('0');
    text = lead == std::string::npos ? "0" : text.substr(lead);
    if (text.empty() || text[0] == '.') {
        text = "0" + text;
    }
    return (negative && text != "0" ? "-" : "") + text;
}

std::string round_to_38_digits(const std::string& canonical) {
    const bool negative = !canonical.empty() && canonical[0] == '-';
    std::string digits = canonical.substr(negative ? 1 : 0);
    size_t point = digits.find('.');
    if (point == std::string::npos) {
        point = digits.size();
    } else {
        digits.erase(point, 1);
    }
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos || digits.size() - first <= 38) {
        return canonical;
    }
    const size_t cut = first + 38;
    bool carry = digits[cut] >= '5';
    digits.resize(cut);
    for (size_t k = cut; carry && k-- > 0;) {
        carry = digits[k] == '9';
        digits[k] = carry ? '0' : static_cast<char>(digits[k] + 1);
    }
    if (carry) {
        digits.insert(digits.begin(), '1');
        ++point;
    }
    if (digits.size() < point) {
        digits.append(point - digits.size(), '0');
    }
    std::string text = digits.substr(0, point);
    if (point < digits.size()) {
        text += "." + digits.substr(point);
    }
    return canonical_decimal((negative ? "-" : "") + text);
}

expectation expected_value(const source_column& column, const cell& value,
                           const checker_options& options) {
    if (!value) {
        return text_of("");
    }
    const std::string& v = *value;
    const std::string& type = column.data_type;
    if (type == "bit") {
        unsigned long long bits = 0;
        for (const unsigned char c : v) {
            bits = bits << 8 | c;
        }
        return text_of(std::to_string(bits));
    }
    if (is_integer_type(type)) {
        return text_of(canonical_decimal(v));
    }
    if (type == "decimal") {
        const std::string exact = canonical_decimal(v);
        const std::string kept = round_to_38_digits(exact);
        return text_of(kept, kept == exact ? "" : "more than 38 digits: rounded to 38");
    }
    if (type == "float") {
        return {expectation::kind::float32, v, std::string()};
    }
    if (is_float_type(type)) {
        return double_expectation(column, v);
    }
    if (is_date_type(type)) {
        return temporal_expectation(column, v, options);
    }
    if (is_blob_type(type) && options.blob_as_text) {
        return text_of(v);
    }
    if (is_binary_type(type)) {
        if (v.empty() && !is_blob_type(type)) {
            return text_of("", "the empty RAW is NULL");
        }
        return text_of(hex(v));
    }
    if (v.empty()) {
        return text_of("", "the empty text is NULL");
    }
    if (is_text_type(type)) {
        return text_of(v);
    }
    return text_of(hex(v));  // GEOMETRY and other binary kinds
}

bool matches(const expectation& expected, const std::string& actual) {
    switch (expected.what) {
        case expectation::kind::text:
            return expected.value == actual;
        case expectation::kind::float32: {
            // Read back to the same float, and written as its shortest decimal.
            const float value = read_float(expected.value);
            return !actual.empty() && read_float(actual) == value &&
                   actual == shortest_float(value);
        }
        case expectation::kind::float64: {
            const double value = read_double(expected.value);
            return !actual.empty() && read_double(actual) == value;
        }
        case expectation::kind::moment: {
            std::string moment;
            return normal_moment(actual, moment) && moment == expected.value;
        }
        case expectation::kind::duration: {
            long long want = 0;
            long long got = 0;
            return duration_micros(expected.value, want) && duration_micros(actual, got) &&
                   want == got;
        }
        case expectation::kind::rejected:
            return false;
    }
    return false;
}

comparison compare_rows(mysql_session& mysql, const std::string& database,
                        const oralite_schema& oracle, const std::string& table,
                        const checker_options& options) {
    comparison result;
    problems& found = result.found;
    const std::vector<source_column> columns = source_columns(mysql, database, table);
    const std::string target = destination_table(table, options);
    std::string select;
    for (const auto& c : columns) {
        select += (select.empty() ? "" : ", ") + quoted(destination_column_name(c.name, options));
    }
    const mysql_result source = source_rows(mysql, database, table, columns);
    const oracle_result destination = oracle.query("SELECT " + select + " FROM " + quoted(target));

    std::vector<size_t> key;
    for (const std::string& name : primary_key(mysql, database, table)) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name == name) {
                key.push_back(i);
            }
        }
    }
    const std::set<std::string> no_refusals;
    const auto refused_entry = options.refused.find(table);
    const std::set<std::string>& refused =
        refused_entry == options.refused.end() ? no_refusals : refused_entry->second;

    // What each source row must become; rows the rules keep out are not expected.
    std::map<std::string, std::vector<expectation>> want;
    for (const auto& r : source.rows) {
        std::vector<expectation> row;
        bool kept = true;
        for (size_t i = 0; i < columns.size(); ++i) {
            row.push_back(expected_value(columns[i], r[i], options));
            kept = kept && row.back().what != expectation::kind::rejected;
        }
        const std::string first_key = key.empty() ? std::string() : row[key[0]].value;
        if (!kept) {
            result.rejected_rows[table].insert(first_key);
            continue;
        }
        if (!key.empty() && refused.count(first_key) != 0) {
            continue;
        }
        std::vector<std::string> key_texts;
        for (const expectation& e : row) {
            key_texts.push_back(e.value);
        }
        std::string row_key = key.empty() ? std::to_string(want.size()) : key_of(key_texts, key);
        want.emplace(std::move(row_key), std::move(row));
    }
    if (options.definitions_only) {
        want.clear();
    }
    if (destination.rows.size() != want.size()) {
        found.push_back(table + ": " + std::to_string(destination.rows.size()) +
                        " rows in Oracle, expected " + std::to_string(want.size()));
        return result;
    }
    table_rows got = destination.rows;
    for (const auto& r : got) {
        if (r.size() != columns.size()) {
            found.push_back(table + ": a row of Oracle's output has " + std::to_string(r.size()) +
                            " fields (a value with a tab or a line break?)");
            return result;
        }
    }
    const auto compare_row = [&](const std::vector<expectation>& expected,
                                 const std::vector<std::string>& actual, const std::string& where) {
        for (size_t i = 0; i < columns.size(); ++i) {
            const expectation& e = expected[i];
            if (!matches(e, actual[i])) {
                found.push_back(table + "." + columns[i].name + ", " + where + ": expected [" +
                                e.value.substr(0, 200) + "], Oracle has [" +
                                actual[i].substr(0, 200) + "]");
            } else if (!e.rule.empty()) {
                result.rules_applied.push_back(table + "." + columns[i].name + " " + where + ": " +
                                               e.rule);
            }
        }
    };
    if (key.empty()) {
        // Without a key (a view), each Oracle row must match a source row of its own.
        std::vector<std::vector<expectation>> unmatched;
        for (auto& [k, row] : want) {
            unmatched.push_back(std::move(row));
        }
        for (const auto& r : got) {
            const auto same = std::find_if(unmatched.begin(), unmatched.end(), [&](const auto& e) {
                for (size_t i = 0; i < columns.size(); ++i) {
                    if (!matches(e[i], r[i])) {
                        return false;
                    }
                }
                return true;
            });
            if (same == unmatched.end()) {
                found.push_back(table + ": Oracle's row [" + r[0] + ", ...] matches no source row");
                continue;
            }
            compare_row(*same, r, "row [" + r[0] + "]");
            unmatched.erase(same);
        }
        return result;
    }
    for (const auto& r : got) {
        const std::string row_key = key_of(r, key);
        const auto expected_row = want.find(row_key);
        if (expected_row == want.end()) {
            found.push_back(table + ": Oracle has a row the source does not: key " + row_key);
            continue;
        }
        compare_row(expected_row->second, r, "key " + row_key);
        if (found.size() > 20) {
            return result;
        }
    }
    return result;
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
    if (c.data_type == "bit")
        return c.precision > 32 ? 20 : (c.precision > 16 ? 10 : (c.precision > 8 ? 5 : 3));
    return 1;
}

// The Oracle type a MySQL temporal column must have.
std::string temporal_type(const source_column& c, const checker_options& options) {
    const int digits = c.fraction_digits;
    if (c.data_type == "time" && options.time_as_interval) {
        return "INTERVAL DAY(2) TO SECOND(" + std::to_string(digits) + ")";
    }
    if (c.data_type == "date" || digits == 0) {
        return "DATE";
    }
    return "TIMESTAMP(" + std::to_string(digits) + ")";
}

void check_type(const std::string& where, const source_column& c, const destination_column& d,
                const checker_options& options, problems& found) {
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
        // NUMBER(p,s) takes precisions up to 38; a wider decimal is a plain NUMBER.
        const bool wide = c.precision > 38;
        if (d.data_type != "NUMBER" || (wide ? !d.precision.empty()
                                             : d.precision != std::to_string(c.precision) ||
                                                   d.scale != std::to_string(c.scale))) {
            complain(wide ? "NUMBER"
                          : "NUMBER(" + std::to_string(c.precision) + "," +
                                std::to_string(c.scale) + ")");
        }
    } else if (is_float_type(c.data_type)) {
        if (d.data_type != "NUMBER" || !d.precision.empty()) {
            complain("NUMBER");
        }
    } else if (is_date_type(c.data_type)) {
        const std::string want = temporal_type(c, options);
        if (d.data_type != want) {
            complain(want);
        }
    } else if (is_text_type(c.data_type) || (is_blob_type(c.data_type) && options.blob_as_text)) {
        // A VARCHAR2 holds at most max_string_bytes, however many characters it declares: the
        // column's longest value in UTF-8 must fit, else only a CLOB keeps it.
        const long long bytes = c.char_length * utf8_bytes_per_char(c.charset);
        if (bytes > options.max_string_bytes) {
            if (d.data_type != "CLOB") {
                complain("CLOB (" + std::to_string(c.char_length) + " characters of " + c.charset +
                         " may take " + std::to_string(bytes) + " bytes)");
            }
        } else if (d.data_type != "CLOB" &&
                   (d.data_type != "VARCHAR2" || d.length < c.char_length)) {
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

std::string unquoted(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) {
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

// The first quoted literal of a default expression (TO_DATE('2024-01-01', ...) -> 2024-01-01).
std::string first_literal(const std::string& text) {
    const size_t open = text.find('\'');
    const size_t close = open == std::string::npos ? open : text.find('\'', open + 1);
    return close == std::string::npos ? std::string() : text.substr(open + 1, close - open - 1);
}

bool is_current_time(const cell& value) {
    if (!value) {
        return false;
    }
    const std::string text = upper(*value);
    return text.rfind("CURRENT_TIMESTAMP", 0) == 0 || text.rfind("NOW(", 0) == 0;
}

// Whether a column default is an expression other than the time of the insert (uuid(), (1+2)).
bool is_other_expression(const source_column& c) {
    if (!c.default_value || is_current_time(c.default_value)) {
        return false;
    }
    const std::string& v = *c.default_value;
    if (v.empty()) {
        return false;
    }
    // information_schema quotes text literals ('abc'); numbers and dates of their kinds come
    // bare. An expression has a parenthesis or is a word where the kind wants a value.
    if (v.front() == '\'') {
        return false;
    }
    if (is_text_type(c.data_type) || is_binary_type(c.data_type)) {
        return true;
    }
    return v.find('(') != std::string::npos;
}

void check_default(const std::string& where, const source_column& c, const destination_column& d,
                   const checker_options& options, problems& found) {
    if (is_lob(d) || c.auto_increment) {
        return;
    }
    const std::string oracle_default = unquoted(d.default_text);
    const bool oracle_has = !oracle_default.empty() && upper(oracle_default) != "NULL";
    const auto expect_none = [&](const std::string& why) {
        if (oracle_has) {
            found.push_back(where + ": no default expected (" + why + "), Oracle has " +
                            d.default_text);
        }
    };
    if (!c.default_value) {
        return expect_none("none in MySQL");
    }
    if (is_current_time(c.default_value)) {
        const std::string want =
            temporal_type(c, options) == "DATE" ? std::string("SYSDATE") : "SYSTIMESTAMP";
        if (upper(oracle_default) != want) {
            found.push_back(where + ": default " + want + " expected for " + *c.default_value +
                            ", Oracle has [" + d.default_text + "]");
        }
        return;
    }
    if (is_other_expression(c)) {
        return expect_none("an expression");
    }
    const std::string source_default = unquoted(*c.default_value);
    if (is_text_type(c.data_type) && source_default.empty()) {
        return expect_none("the empty text is NULL");
    }
    if (is_date_type(c.data_type)) {
        if (c.data_type != "time" &&
            (is_zero_date(source_default) || is_partial_zero_date(source_default))) {
            return expect_none("no date");
        }
        const expectation want = expected_value(c, source_default, options);
        std::string literal = first_literal(d.default_text);
        if (want.what == expectation::kind::moment && literal.size() <= 15) {
            literal = want.value.substr(0, 11) + literal;  // a time alone: the month's date
        }
        if (!matches(want, literal)) {
            found.push_back(where + ": default " + *c.default_value + " expected, Oracle has [" +
                            d.default_text + "]");
        }
        return;
    }
    bool same = false;
    if (is_integer_type(c.data_type) || c.data_type == "decimal" || is_float_type(c.data_type)) {
        same = canonical_decimal(source_default) == canonical_decimal(oracle_default);
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
        long long key_bytes = 0;
        for (const auto& f : fields) {
            const auto found = columns.find(f);
            key_bytes += found == columns.end() ? 0 : found->second.length;
        }
        if (key_bytes > max_key_bytes) {
            continue;  // longer than an index key of an 8 KB block (ORA-01450, reported)
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

// The column a function-based index's expression yields, by index name and position, for the
// form "CASE WHEN ... THEN "c" END" of a unique key that leaves out rows with a NULL part.
std::map<std::pair<std::string, std::string>, std::string> expression_columns(
    const oralite_schema& oracle, const std::string& table) {
    std::map<std::pair<std::string, std::string>, std::string> columns;
    for (const auto& r : oracle
                             .query("SELECT INDEX_NAME, COLUMN_POSITION, COLUMN_EXPRESSION FROM "
                                    "USER_IND_EXPRESSIONS WHERE TABLE_NAME = " +
                                    sql_text(table))
                             .rows) {
        const std::string& expression = r.at(2);
        const size_t then = expression.rfind("THEN \"");
        const size_t end = then == std::string::npos ? then : expression.find('"', then + 6);
        if (end != std::string::npos && expression.rfind("CASE", 0) == 0) {
            columns[{r.at(0), r.at(1)}] = expression.substr(then + 6, end - then - 6);
        }
    }
    return columns;
}

std::multiset<std::string> destination_keys(const oralite_schema& oracle,
                                            const std::string& table) {
    std::map<std::string, std::pair<std::string, std::vector<std::string>>> keys;
    const auto expressions = expression_columns(oracle, table);
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
                             .query("SELECT i.INDEX_NAME, i.UNIQUENESS, ic.COLUMN_NAME, "
                                    "ic.COLUMN_POSITION FROM USER_INDEXES i, USER_IND_COLUMNS ic "
                                    "WHERE i.INDEX_NAME = ic.INDEX_NAME AND i.TABLE_NAME = " +
                                    sql_text(table) + " ORDER BY i.INDEX_NAME, ic.COLUMN_POSITION")
                             .rows) {
        if (keys.count(r.at(0)) != 0 && keys[r.at(0)].first != "I" && keys[r.at(0)].first != "J") {
            continue;  // the index behind a constraint
        }
        auto& key = keys[r.at(0)];
        key.first = r.at(1) == "UNIQUE" ? "J" : "I";  // J: a unique index without constraint
        const auto expression = expressions.find({r.at(0), r.at(3)});
        key.second.push_back(expression == expressions.end() ? r.at(2) : expression->second);
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

// Whether some row of the column must become NULL in Oracle (an empty text, a number beyond
// NUMBER's range without a default), which a NOT NULL column then takes.
bool gets_a_null(const source_column& c, const mysql_result& rows, size_t column,
                 const checker_options& options) {
    for (const auto& r : rows.rows) {
        const expectation e = expected_value(c, r[column], options);
        if (r[column] && e.what == expectation::kind::text && e.value.empty() &&
            !is_blob_type(c.data_type)) {
            return true;
        }
    }
    return false;
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
    const mysql_result rows =
        options.definitions_only ? mysql_result() : source_rows(mysql, database, table, source);
    const std::vector<std::string> key = primary_key(mysql, database, table);
    for (size_t i = 0; i < source.size(); ++i) {
        const source_column& c = source[i];
        const std::string name = destination_column_name(c.name, options);
        const std::string where = table + "." + c.name;
        const auto d = destination.find(name);
        if (d == destination.end()) {
            found.push_back(where + ": no column " + name + " in Oracle");
            continue;
        }
        check_type(where, c, d->second, options, found);
        check_default(where, c, d->second, options, found);
        const bool in_key = std::find(key.begin(), key.end(), c.name) != key.end();
        // A NOT NULL date without a usable default becomes nullable: MySQL fills such a column
        // with a zero date, which Oracle has no value for. The same for a text column whose
        // default is the empty text, and any column a row of which becomes NULL.
        const bool no_date_default =
            is_date_type(c.data_type) && !is_current_time(c.default_value) &&
            (!c.default_value ||
             (c.data_type != "time" &&
              (is_zero_date(*c.default_value) || is_partial_zero_date(*c.default_value))));
        const bool empty_text_default =
            is_text_type(c.data_type) && c.default_value && unquoted(*c.default_value).empty();
        const bool takes_null = gets_a_null(c, rows, i, options);
        const bool not_null = in_key || (c.not_null && !c.auto_increment && !is_lob(d->second) &&
                                         !no_date_default && !empty_text_default && !takes_null);
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
        if (c.auto_increment || d.nullable || !d.default_text.empty()) {
            continue;
        }
        std::string value;
        if (d.data_type == "NUMBER") {
            // All nines, so that no unique key of copied rows is met by chance.
            const int digits = d.precision.empty()
                                   ? 9
                                   : std::atoi(d.precision.c_str()) - std::atoi(d.scale.c_str());
            value = std::string(static_cast<size_t>(std::clamp(digits, 1, 9)), '9');
        } else if (d.data_type == "DATE" || d.data_type.rfind("TIMESTAMP", 0) == 0) {
            value = "TO_DATE('2001-02-03', 'YYYY-MM-DD')";
        } else if (d.data_type.rfind("INTERVAL", 0) == 0) {
            value = "TO_DSINTERVAL('+00 01:02:03')";
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
    const std::string statement =
        names.empty()
            ? "INSERT INTO " + quoted(target) + " (" +
                  quoted(destination_column_name(source.back().name, options)) + ") VALUES (NULL)"
            : "INSERT INTO " + quoted(target) + " (" + names + ") VALUES (" + values + ")";
    const auto inserted = oracle.sql({statement, "COMMIT"});
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
    const std::string highest =
        oracle.scalar("SELECT TO_CHAR(MAX(" + key + ")) FROM " + quoted(target));
    // Compared as decimal integers: keys may be beyond what a double holds exactly.
    const auto above = [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() > b.size() : a > b;
    };
    if (nulls != "0" || !above(canonical_decimal(highest), canonical_decimal(highest_copied))) {
        found.push_back(table + ": the new row's key " + highest + " is not above the copied " +
                        highest_copied);
    }
    return found;
}

comparison compare_database(mysql_session& mysql, const std::string& database,
                            const oralite_schema& oracle, const checker_options& options) {
    comparison result;
    const mysql_result tables =
        mysql.query("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                    database + "' ORDER BY TABLE_NAME");
    for (const auto& r : tables.rows) {
        const problems structure = compare_structure(mysql, database, oracle, *r[0], options);
        result.found.insert(result.found.end(), structure.begin(), structure.end());
        result.add(compare_rows(mysql, database, oracle, *r[0], options));
    }
    return result;
}

}  // namespace e2e

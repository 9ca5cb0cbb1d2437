// Helpers of the end-to-end suites: the sample shop loaded under a name of the suite's own, and
// expectations built from the source.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "driver/driver_support.h"

namespace e2e {

// Loads scripts/sample/shop.sql into the sandbox as the database `name`.
inline void load_shop(driver_test::mysql_session& admin, const std::string& name) {
    std::string script = driver_test::read_text_file(
        std::string(std::getenv("TARVOLIN_SOURCE_DIR")) + "/scripts/sample/shop.sql");
    const auto replace = [&](const std::string& from, const std::string& to) {
        const size_t at = script.find(from);
        if (at == std::string::npos) {
            throw std::runtime_error("shop.sql no longer holds: " + from);
        }
        script.replace(at, from.size(), to);
    };
    replace("DROP DATABASE IF EXISTS shop;", "DROP DATABASE IF EXISTS `" + name + "`;");
    replace("CREATE DATABASE shop ", "CREATE DATABASE `" + name + "` ");
    replace("USE shop;", "USE `" + name + "`;");
    admin.exec(script);
}

// The tables of a database in the order the driver converts them (code-unit order of their
// names, which for ASCII names is byte order) with their row counts.
inline std::vector<std::pair<std::string, std::string>> table_counts(
    driver_test::mysql_session& mysql, const std::string& database) {
    std::vector<std::pair<std::string, std::string>> counts;
    for (const auto& r : mysql
                             .query("SELECT TABLE_NAME FROM information_schema.TABLES WHERE "
                                    "TABLE_SCHEMA = '" +
                                    database + "'")
                             .rows) {
        const std::string table = *r[0];
        counts.emplace_back(
            table,
            *mysql.query("SELECT COUNT(*) FROM `" + database + "`.`" + table + "`").rows[0][0]);
    }
    std::sort(counts.begin(), counts.end());
    return counts;
}

// What DRXAGENT prints for a run that converts these tables.
inline std::string console_lines(const std::string& database,
                                 const std::vector<std::pair<std::string, std::string>>& tables) {
    std::string text =
        "Converting database " + database + "(" + std::to_string(tables.size()) + " tables)\n";
    for (const auto& [table, count] : tables) {
        text += "Converting table " + table + "(" + count + " records)\n";
    }
    return text;
}

inline std::string joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const auto& p : problems) {
        text += p + "\n";
    }
    return text;
}

}  // namespace e2e

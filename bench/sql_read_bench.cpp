// Reads every row of a 1 000 000-row MySQL table through sql_recordset and prints rows per
// second and the process's peak memory after the first tenth and at the end: memory stays
// flat when only one page of records is held at a time. Then reads a table of 300 values of
// 1 MiB each, whose pages are limited by the bytes they hold rather than by 256 records.
//
// Usage: sql_read_bench [rows]
// Uses the sandbox named by TARVOLIN_MARIADB_ENV when it runs; otherwise starts its own with
// scripts/mariadb-sandbox and stops it at the end.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "SQL/sql_database.h"
#include "SQL/sql_engine.h"
#include "SQL/sql_recordset.h"
#include "test_support/mariadb_sandbox.h"

namespace {

// Peak resident memory of the process in KiB.
long peak_kib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

int run_script(const std::string& command, const std::string& env_file) {
    const std::string line =
        std::string(TARVOLIN_SOURCE_DIR) + "/scripts/mariadb-sandbox " + command + " " + env_file;
    return std::system((line + " >/dev/null").c_str());
}

bool admin(MYSQL* handle, const std::string& statement) {
    if (mysql_query(handle, statement.c_str()) != 0) {
        std::fprintf(stderr, "%s: %s\n", statement.c_str(), mysql_error(handle));
        return false;
    }
    return true;
}

// Reads the whole table and prints the figures; false when the rows read are not expected.
bool read_table(sql_database& source, const wchar_t* table, long expected) {
    const long before = peak_kib();
    const auto start = std::chrono::steady_clock::now();
    auto records = source.open_table(table);
    long read = 0;
    long values = 0;
    long tenth_peak = 0;
    for (records->move_first(); !records->is_eof(); records->next()) {
        values += static_cast<long>(records->get_item()->size());
        if (++read == expected / 10) {
            tenth_peak = peak_kib();
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("read: %ld rows, %ld values in %.2f s\n", read, values, seconds);
    std::printf("rows per second: %.0f\n", read / seconds);
    std::printf(
        "peak memory: %ld KiB before reading, %ld KiB after %ld rows, %ld KiB after %ld"
        " rows\n",
        before, tenth_peak, expected / 10, peak_kib(), read);
    if (read != expected) {
        std::fprintf(stderr, "expected %ld rows\n", expected);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
    std::string own_env;
    if (!test_support::mariadb_sandbox::get()) {
        own_env = "/tmp/sql_read_bench." + std::to_string(getpid()) + ".env";
        if (run_script("start", own_env) != 0) {
            std::fprintf(stderr, "cannot start a MariaDB sandbox\n");
            return 1;
        }
        setenv("TARVOLIN_MARIADB_ENV", own_env.c_str(), 1);
    }
    const auto server = *test_support::mariadb_sandbox::get();
    const std::string database = "sql_read_bench_" + std::to_string(getpid());

    MYSQL* handle = mysql_init(nullptr);
    if (mysql_real_connect(handle, server.host.c_str(), server.user.c_str(),
                           server.password.c_str(), nullptr, server.port, nullptr, 0) == nullptr) {
        std::fprintf(stderr, "cannot connect: %s\n", mysql_error(handle));
        return 1;
    }
    const auto fill_start = std::chrono::steady_clock::now();
    bool ready = admin(handle, "CREATE DATABASE " + database + " CHARACTER SET utf8mb4") &&
                 admin(handle, "USE " + database) &&
                 admin(handle,
                       "CREATE TABLE orders (id INT NOT NULL PRIMARY KEY, customer VARCHAR(40),"
                       " amount DECIMAL(10,2), created DATETIME, note TEXT) ENGINE=InnoDB") &&
                 admin(handle,
                       "INSERT INTO orders SELECT seq, CONCAT('customer ', seq % 997),"
                       " seq / 100, '2024-01-01' + INTERVAL seq SECOND,"
                       " IF(seq % 10 = 0, REPEAT('n', 200), NULL) FROM seq_1_to_" +
                           std::to_string(rows));
    const double fill_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - fill_start).count();

    int status = ready ? 0 : 1;
    if (ready) {
        std::printf("table: %ld rows (filled in %.1f s)\n", rows, fill_seconds);
        try {
            sql_engine engine;
            engine.connect(server.host, server.user, server.password, server.port);
            auto source = engine.open_db(std::wstring(database.begin(), database.end()), 1);
            if (!read_table(*source, L"orders", rows)) {
                status = 1;
            }
            source.reset();
            const long pictures = 300;
            if (!admin(handle, "CREATE TABLE pictures (id INT PRIMARY KEY, data LONGBLOB)") ||
                !admin(handle,
                       "INSERT INTO pictures SELECT seq, REPEAT(CHAR(seq % 256), 1048576)"
                       " FROM seq_1_to_" +
                           std::to_string(pictures))) {
                status = 1;
            } else {
                std::printf("table: %ld rows of 1 MiB\n", pictures);
                source = engine.open_db(std::wstring(database.begin(), database.end()), 1);
                if (!read_table(*source, L"pictures", pictures)) {
                    status = 1;
                }
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "error: %s\n", e.what());
            status = 1;
        }
    }
    admin(handle, "DROP DATABASE IF EXISTS " + database);
    mysql_close(handle);
    if (!own_env.empty()) {
        run_script("stop", own_env);
    }
    return status;
}

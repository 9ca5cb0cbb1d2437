// The conversion of a generated table of mixed types (integers, decimals, dates, short text, a
// TEXT and a small BLOB column) by DRXAGENT into an embedded Oracle database: rows per second
// and peak memory, next to the two floors measured in the same run:
//   - reading the table with the MySQL client library alone (one streaming SELECT);
//   - writing the same rows into oralite alone, into a table with the same key and index, through
//     the OCI calls with bound values as the conversion binds them, a commit per batch.
// Each measurement runs in a child process of its own, so that its peak memory is its own.
//
// Usage: driver_bench [rows [runs]]   (1 000 000 rows, 1 run by default)
// With more runs, every line is measured that many times and shows its fastest run: the
// machine's other work slows single runs at random, the more so for the conversion's three
// threads.
// Uses the sandbox named by TARVOLIN_MARIADB_ENV when it runs; otherwise starts its own with
// scripts/mariadb-sandbox and stops it at the end.
#include <mysql.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "driver/oci_session.h"
#include "platform/codepage.h"
#include "test_support/mariadb_sandbox.h"

namespace {

struct measured {
    double seconds = 0;
    long peak_kib = 0;
    bool ok = false;
};

std::string bin_dir() {
    return std::string(TARVOLIN_BINARY_DIR) + "/bin";
}

// Runs body in a child process; its wall time, its peak resident memory and whether it
// returned 0.
measured in_child(const std::function<int()>& body) {
    std::fflush(stdout);
    std::fflush(stderr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(body());
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    measured m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peak_kib = usage.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

int run_program(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::vector<std::string> copies = args;
    for (auto& a : copies) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    std::perror(argv[0]);
    return 127;
}

int shell(const std::string& command) {
    return std::system(command.c_str());
}

bool admin(MYSQL* handle, const std::string& statement) {
    if (mysql_query(handle, statement.c_str()) != 0) {
        std::fprintf(stderr, "%s: %s\n", statement.substr(0, 120).c_str(), mysql_error(handle));
        return false;
    }
    return true;
}

MYSQL* connect(const test_support::mariadb_sandbox& server, const char* database) {
    MYSQL* handle = mysql_init(nullptr);
    if (mysql_real_connect(handle, server.host.c_str(), server.user.c_str(),
                           server.password.c_str(), database, server.port, nullptr, 0) == nullptr) {
        std::fprintf(stderr, "cannot connect: %s\n", mysql_error(handle));
        return nullptr;
    }
    mysql_set_character_set(handle, "utf8mb4");
    return handle;
}

// The generated rows, written once by the server and once (for the write floor) here.
const char table_definition[] =
    "CREATE TABLE mixed (id INT NOT NULL PRIMARY KEY, qty INT NOT NULL, big BIGINT,"
    " price DECIMAL(12,2), ratio DOUBLE, day DATE, stamp DATETIME, code VARCHAR(20),"
    " note TEXT, pic BLOB, KEY by_code (code)) ENGINE=InnoDB";
// The same rows without their TEXT and BLOB columns.
const char plain_definition[] =
    "CREATE TABLE plain (id INT NOT NULL PRIMARY KEY, qty INT NOT NULL, big BIGINT,"
    " price DECIMAL(12,2), ratio DOUBLE, day DATE, stamp DATETIME, code VARCHAR(20),"
    " KEY by_code (code)) ENGINE=InnoDB";
const char plain_fill[] =
    "INSERT INTO plain SELECT id, qty, big, price, ratio, day, stamp, code FROM mixed";

std::string fill_statement(long rows) {
    return "INSERT INTO mixed SELECT seq, CAST(seq % 1000 AS SIGNED) - 500, seq * 1000003,"
           " (seq % 100000) / 100, seq / 8, DATE('2000-01-01') + INTERVAL seq % 10000 DAY,"
           " TIMESTAMP('2020-01-01 00:00:00') + INTERVAL seq SECOND,"
           " CONCAT('C-', seq % 50000), CONCAT('Note ', seq, ' – Qualität'),"
           " UNHEX(LPAD(HEX(seq), 16, '0')) FROM seq_1_to_" +
           std::to_string(rows);
}

// Floor 1: the MySQL client library reading the table, nothing else.
bool read_floor(const test_support::mariadb_sandbox& server, const std::string& database,
                const std::string& table, long rows) {
    MYSQL* handle = connect(server, database.c_str());
    if (handle == nullptr || !admin(handle, "SELECT * FROM " + table)) {
        return false;
    }
    MYSQL_RES* result = mysql_use_result(handle);
    long read = 0;
    unsigned long bytes = 0;
    const unsigned fields = mysql_num_fields(result);
    while (mysql_fetch_row(result) != nullptr) {
        const unsigned long* lengths = mysql_fetch_lengths(result);
        for (unsigned i = 0; i < fields; ++i) {
            bytes += lengths[i];
        }
        ++read;
    }
    mysql_free_result(result);
    mysql_close(handle);
    return read == rows && bytes > 0;
}

// Floor 2: the same rows written into oralite through OCI with bound values, a commit per batch.
std::tm day_moment(long id) {
    // 2000-01-01 plus id % 10000 days.
    std::tm t{};
    t.tm_year = 100;
    t.tm_mday = 1 + static_cast<int>(id % 10000);
    t.tm_hour = 12;
    timegm(&t);
    t.tm_hour = 0;
    return t;
}

std::tm stamp_moment(long id) {
    const time_t at = 1577836800 + id;  // 2020-01-01 00:00:00 UTC
    std::tm t{};
    gmtime_r(&at, &t);
    return t;
}

// Oracle's 7-byte DATE of a moment.
void date_bytes(const std::tm& t, char16_t* element) {
    auto* out = reinterpret_cast<unsigned char*>(element);
    const int year = t.tm_year + 1900;
    const int fields[] = {year / 100 + 100, year % 100 + 100, t.tm_mon + 1, t.tm_mday,
                          t.tm_hour + 1,    t.tm_min + 1,     t.tm_sec + 1};
    for (int i = 0; i < 7; ++i) {
        out[i] = static_cast<unsigned char>(fields[i]);
    }
}

// The rows written as the product writes them at best: arrays of 1 000 rows, one execute each,
// committed with it.
bool write_floor(driver_test::oci_session& session, long count, bool large) {
    const std::string sql =
        large ? "INSERT INTO \"mixed\" VALUES (:1, :2, :3, :4, :5, :6, :7, :8, :9, :10)"
              : "INSERT INTO \"plain\" VALUES (:1, :2, :3, :4, :5, :6, :7, :8)";
    if (!session.prepare(sql)) {
        return false;
    }
    // Whole numbers as 8-byte integers, other values as UTF-16 text with their byte lengths,
    // dates as Oracle's 7-byte DATE, the picture as bytes; every element of a column as wide as
    // its widest value.
    constexpr long batch = 1000;
    constexpr sb4 width = 64;
    const int columns = large ? 10 : 8;
    std::vector<std::vector<char16_t>> values(static_cast<size_t>(columns),
                                              std::vector<char16_t>(batch * width / 2));
    std::vector<std::vector<ub2>> lengths(static_cast<size_t>(columns), std::vector<ub2>(batch));
    for (int c = 0; c < columns; ++c) {
        const ub2 type = c == 9             ? SQLT_BIN
                         : c == 5 || c == 6 ? SQLT_DAT
                         : c < 3            ? SQLT_INT
                                            : SQLT_CHR;
        if (!session.bind(static_cast<ub4>(c + 1), values[c].data(), width, type,
                          lengths[c].data())) {
            return false;
        }
    }
    const auto utf16 = driver_test::oci_session::utf16;
    for (long first = 1; first <= count; first += batch) {
        const long rows = std::min(batch, count - first + 1);
        for (long r = 0; r < rows; ++r) {
            const long id = first + r;
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%ld.%02ld", (id % 100000) / 100, id % 100);
            const std::string price = buffer;
            std::snprintf(buffer, sizeof buffer, "%.17g", static_cast<double>(id) / 8);
            const std::u16string texts[] = {
                {},
                {},
                {},
                utf16(price),
                utf16(buffer),
                {},
                {},
                utf16("C-" + std::to_string(id % 50000)),
                utf16("Note " + std::to_string(id) + " \u2013 Qualit\u00e4t")};
            for (int c = 3; c < columns && c < 9; ++c) {
                std::copy(texts[c].begin(), texts[c].end(), values[c].begin() + r * width / 2);
                lengths[c][r] = static_cast<ub2>(texts[c].size() * 2);
            }
            const int64_t wholes[] = {id, id % 1000 - 500, id * 1000003L};
            for (int c = 0; c < 3; ++c) {
                std::memcpy(values[c].data() + r * width / 2, &wholes[c], sizeof wholes[c]);
                lengths[c][r] = sizeof wholes[c];
            }
            date_bytes(day_moment(id), values[5].data() + r * width / 2);
            date_bytes(stamp_moment(id), values[6].data() + r * width / 2);
            lengths[5][r] = lengths[6][r] = 7;
            if (large) {
                auto* picture = reinterpret_cast<unsigned char*>(values[9].data() + r * width / 2);
                for (int b = 0; b < 8; ++b) {
                    picture[7 - b] =
                        static_cast<unsigned char>((static_cast<unsigned long>(id) >> (8 * b)));
                }
                lengths[9][r] = 8;
            }
        }
        if (!session.execute(static_cast<ub4>(rows), OCI_COMMIT_ON_SUCCESS)) {
            return false;
        }
    }
    return session.commit();
}

// The tables as the conversion creates them: the same columns, the primary key and the index.
const char oracle_mixed[] =
    "CREATE TABLE \"mixed\" (\"id\" NUMBER(11,0) NOT NULL, \"qty\" NUMBER(11,0) NOT NULL,"
    " \"big\" NUMBER(19,0), \"price\" NUMBER(12,2), \"ratio\" NUMBER, \"day\" DATE,"
    " \"stamp\" DATE, \"code\" VARCHAR2(20), \"note\" CLOB, \"pic\" BLOB, PRIMARY KEY (\"id\"))";
const char oracle_plain[] =
    "CREATE TABLE \"plain\" (\"id\" NUMBER(11,0) NOT NULL, \"qty\" NUMBER(11,0) NOT NULL,"
    " \"big\" NUMBER(19,0), \"price\" NUMBER(12,2), \"ratio\" NUMBER, \"day\" DATE,"
    " \"stamp\" DATE, \"code\" VARCHAR2(20), PRIMARY KEY (\"id\"))";

std::string oracle_index(const std::string& table) {
    return "CREATE INDEX \"by_code_" + table + "\" ON \"" + table + "\" (\"code\")";
}

// A fresh oralite database with a user who may create tables; its path.
bool create_oracle(const std::string& path) {
    const std::string tool = bin_dir() + "/oralite";
    // A database of an earlier run of the same line goes first.
    return shell("rm -f '" + path + "' '" + path + "-wal' '" + path + "-shm'") == 0 &&
           shell(tool + " create " + path + " >/dev/null") == 0 &&
           shell(tool + " sql " + path +
                 " SYSTEM/manager 'CREATE USER bench IDENTIFIED BY bench'"
                 " 'GRANT CREATE SESSION, CREATE TABLE, CREATE SEQUENCE, CREATE TRIGGER TO bench'"
                 " 'GRANT SELECT ANY DICTIONARY TO bench'"
                 " 'ALTER USER bench QUOTA UNLIMITED ON USERS' >/dev/null") == 0;
}

std::string oracle_count(const std::string& path, const std::string& table) {
    const std::string command = bin_dir() + "/oralite sql " + path +
                                " bench/bench 'SELECT COUNT(*) FROM \"" + table + "\"'";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        out = buffer;  // the last line is the count
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

// The round trips the agent's log reports for a table, per 1 000 rows; -1 when absent.
double logged_round_trips(const std::string& log, const std::string& table, long rows) {
    FILE* file = std::fopen(log.c_str(), "r");
    const std::string marker = "Table " + table + ": ";
    double result = -1;
    char line[1024];
    while (file != nullptr && std::fgets(line, sizeof line, file) != nullptr) {
        if (const char* at = std::strstr(line, marker.c_str())) {
            result = std::strtod(at + marker.size(), nullptr) * 1000.0 / static_cast<double>(rows);
        }
    }
    if (file != nullptr) {
        std::fclose(file);
    }
    return result;
}

void print_row(const std::string& what, const measured& m, long rows, double trips = -1) {
    char per_thousand[32] = "-";
    if (trips >= 0) {
        std::snprintf(per_thousand, sizeof per_thousand, "%.2f", trips);
    }
    std::printf("%-48s %9.2f %12.0f %10ld %12s %s\n", what.c_str(), m.seconds, rows / m.seconds,
                m.peak_kib, per_thousand, m.ok ? "" : "FAILED");
    std::fflush(stdout);
}

struct bench_run {
    test_support::mariadb_sandbox server;
    std::string database;
    std::string folder;
    long rows;

    measured read(const std::string& table) const {
        return in_child([&] { return read_floor(server, database, table, rows) ? 0 : 1; });
    }

    measured write(const std::string& table) const {
        const std::string path = folder + "/floor_" + table + ".db";
        measured m;
        if (!create_oracle(path)) {
            return m;
        }
        const bool large = table == "mixed";
        m = in_child([&] {
            driver_test::oci_session session;
            return session.open(bin_dir() + "/liboralite.so", path, "bench", "bench") &&
                           session.run(large ? oracle_mixed : oracle_plain) &&
                           session.run(oracle_index(table)) && write_floor(session, rows, large)
                       ? 0
                       : 1;
        });
        m.ok = m.ok && oracle_count(path, table) == std::to_string(rows);
        return m;
    }

    // DRXAGENT converting one table; the round trips per 1 000 rows from its log.
    measured convert(const std::string& table, const std::string& delay_us, double& trips) const {
        const std::string path = folder + "/target_" + table + delay_us + ".db";
        const std::string names = folder + "/" + table + ".txt";
        const std::string log = folder + "/" + table + delay_us + ".log";
        measured m;
        if (!create_oracle(path) || shell("echo " + table + " > " + names) != 0) {
            return m;
        }
        const std::vector<std::string> args = {bin_dir() + "/DRXAGENT",
                                               "--silent",
                                               "--src=" + database,
                                               "--tab_file=" + names,
                                               "--logfile=" + log,
                                               "--mysqlh=" + server.host,
                                               "--myport=" + std::to_string(server.port),
                                               "--mysqlu=" + server.user,
                                               "--mysqlp=" + server.password,
                                               "--dest=" + path,
                                               "--oraclu=bench",
                                               "--oraclp=bench"};
        m = in_child([&] {
            if (!delay_us.empty()) {
                setenv("ORALITE_ROUNDTRIP_DELAY_US", delay_us.c_str(), 1);
            }
            return run_program(args);
        });
        m.ok = m.ok && oracle_count(path, table) == std::to_string(rows);
        trips = logged_round_trips(log, table, rows);
        return m;
    }
};

// pgloader loading the table into a private PostgreSQL (bench/pgloader-run): its wall time;
// not ok when pgloader is not installed or the rows did not all arrive.
measured pgloader_run(const test_support::mariadb_sandbox& server, const std::string& database,
                      const std::string& table, long rows) {
    // A folder of its own that the server's user may enter (the bench's own is private).
    char pattern[] = "/tmp/driver_bench_pg.XXXXXX";
    const std::string folder = mkdtemp(pattern);
    chmod(folder.c_str(), 0755);
    const std::string command = std::string(TARVOLIN_SOURCE_DIR) + "/bench/pgloader-run " +
                                server.host + " " + std::to_string(server.port) + " " +
                                server.user + " '" + server.password + "' " + database + " " +
                                table + " " + folder + " 2>/dev/null";
    measured m;
    FILE* pipe = popen(command.c_str(), "r");
    std::string loaded;
    char line[256];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr) {
        if (std::strncmp(line, "seconds=", 8) == 0) {
            m.seconds = std::strtod(line + 8, nullptr);
        } else if (std::strncmp(line, "rows=", 5) == 0) {
            loaded = std::to_string(std::strtol(line + 5, nullptr, 10));
        }
    }
    m.ok = pipe != nullptr && pclose(pipe) == 0 && loaded == std::to_string(rows);
    shell("rm -rf " + folder);
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    platform::init_locale();
    const long rows = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
    const long runs = argc > 2 ? std::max(1L, std::strtol(argv[2], nullptr, 10)) : 1;
    // The fastest of the runs, with the largest peak memory of any; failed when any run failed.
    const auto fastest = [runs](const std::function<measured()>& measure) {
        measured best = measure();
        for (long r = 1; r < runs; ++r) {
            const measured next = measure();
            best.ok = best.ok && next.ok;
            best.seconds = std::min(best.seconds, next.seconds);
            best.peak_kib = std::max(best.peak_kib, next.peak_kib);
        }
        return best;
    };
    const std::string root = TARVOLIN_SOURCE_DIR;
    std::string own_env;
    if (!test_support::mariadb_sandbox::get()) {
        own_env = "/tmp/driver_bench." + std::to_string(getpid()) + ".env";
        if (shell(root + "/scripts/mariadb-sandbox start " + own_env + " >/dev/null") != 0) {
            std::fprintf(stderr, "cannot start a MariaDB sandbox\n");
            return 1;
        }
        setenv("TARVOLIN_MARIADB_ENV", own_env.c_str(), 1);
    }
    const auto server = *test_support::mariadb_sandbox::get();
    const std::string database = "driver_bench_" + std::to_string(getpid());
    char folder_pattern[] = "/tmp/driver_bench.XXXXXX";
    const std::string folder = mkdtemp(folder_pattern);

    int status = 1;
    MYSQL* handle = connect(server, nullptr);
    const auto fill_start = std::chrono::steady_clock::now();
    if (handle != nullptr &&
        admin(handle, "CREATE DATABASE " + database + " CHARACTER SET utf8mb4") &&
        admin(handle, "USE " + database) && admin(handle, table_definition) &&
        admin(handle, fill_statement(rows)) && admin(handle, plain_definition) &&
        admin(handle, plain_fill)) {
        const double fill_seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - fill_start).count();
        std::printf(
            "table mixed: %ld rows of INT, INT, BIGINT, DECIMAL(12,2), DOUBLE, DATE, DATETIME,"
            " VARCHAR(20), TEXT, BLOB and an index;\ntable plain: the same without TEXT and BLOB"
            " (filled in %.1f s)\n\n",
            rows, fill_seconds);
        std::printf("%-48s %9s %12s %10s %12s\n", "", "seconds", "rows/s", "peak KiB",
                    "trips/1000");
        const bench_run run{server, database, folder, rows};
        bool ok = true;
        for (const std::string table : {"mixed", "plain"}) {
            const measured read = fastest([&] { return run.read(table); });
            print_row(table + ": floor, MySQL client read alone", read, rows);
            const measured write = fastest([&] { return run.write(table); });
            print_row(table + ": floor, oralite array write alone", write, rows);
            double trips = -1;
            const measured conversion = fastest([&] { return run.convert(table, "", trips); });
            print_row(table + ": DRXAGENT conversion", conversion, rows, trips);
            ok = ok && read.ok && write.ok && conversion.ok;
        }
        double trips = -1;
        const measured delayed = fastest([&] { return run.convert("mixed", "500", trips); });
        print_row("mixed: DRXAGENT, 500 us a round trip", delayed, rows, trips);
        ok = ok && delayed.ok;
        measured loader = fastest([&] { return pgloader_run(server, database, "mixed", rows); });
        if (loader.ok) {
            loader.peak_kib = 0;
            print_row("mixed: pgloader into PostgreSQL (COPY)", loader, rows);
        } else {
            std::printf("mixed: pgloader not measured (install it with scripts/setup --bench)\n");
        }
        status = ok ? 0 : 1;
    }
    if (handle != nullptr) {
        admin(handle, "DROP DATABASE IF EXISTS " + database);
        mysql_close(handle);
    }
    shell("rm -rf " + folder);
    if (!own_env.empty()) {
        shell(root + "/scripts/mariadb-sandbox stop " + own_env + " >/dev/null");
    }
    return status;
}

// The conversion of a generated table of mixed types (integers, decimals, dates, short text, a
// TEXT and a small BLOB column) by DRXAGENT into an embedded Oracle database: rows per second
// and peak memory, next to the two floors measured in the same run:
//   - reading the table with the MySQL client library alone (one streaming SELECT);
//   - writing the same rows into oralite alone, through the OCI calls with bound values, in
//     one transaction.
// Each measurement runs in a child process of its own, so that its peak memory is its own.
//
// Usage: driver_bench [rows]   (1 000 000 by default)
// Uses the sandbox named by TARVOLIN_MARIADB_ENV when it runs; otherwise starts its own with
// scripts/mariadb-sandbox and stops it at the end.
#include <dlfcn.h>
#include <mysql.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "oci/oci.h"
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
    " note TEXT, pic BLOB) ENGINE=InnoDB";

std::string fill_statement(long rows) {
    return "INSERT INTO mixed SELECT seq, seq % 1000 - 500, seq * 1000003,"
           " (seq % 100000) / 100, seq / 8, DATE('2000-01-01') + INTERVAL seq % 10000 DAY,"
           " TIMESTAMP('2020-01-01 00:00:00') + INTERVAL seq SECOND,"
           " CONCAT('C-', seq % 50000), CONCAT('Note ', seq, ' – Qualität'),"
           " UNHEX(LPAD(HEX(seq), 16, '0')) FROM seq_1_to_" +
           std::to_string(rows);
}

// Floor 1: the MySQL client library reading the table, nothing else.
int read_floor(const test_support::mariadb_sandbox& server, const std::string& database,
               long rows) {
    MYSQL* handle = connect(server, database.c_str());
    if (handle == nullptr || !admin(handle, "SELECT * FROM mixed")) {
        return 1;
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
    return read == rows && bytes > 0 ? 0 : 1;
}

// Floor 2: the same rows written into oralite through OCI with bound values, one commit.
class oci_writer {
  public:
    bool open(const std::string& database, const std::string& user, const std::string& password) {
        library_ = dlopen((bin_dir() + "/liboralite.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library_ == nullptr) {
            std::fprintf(stderr, "%s\n", dlerror());
            return false;
        }
        load(env_create_, "OCIEnvCreate");
        load(handle_alloc_, "OCIHandleAlloc");
        load(error_get_, "OCIErrorGet");
        load(logon_, "OCILogon");
        load(logoff_, "OCILogoff");
        load(prepare_, "OCIStmtPrepare");
        load(execute_, "OCIStmtExecute");
        load(bind_by_pos_, "OCIBindByPos");
        load(commit_, "OCITransCommit");
        if (env_create_(&env_, OCI_UTF16, nullptr, nullptr, nullptr, nullptr, 0, nullptr) != 0 ||
            handle_alloc_(env_, reinterpret_cast<void**>(&error_), OCI_HTYPE_ERROR, 0, nullptr) !=
                0) {
            return false;
        }
        const std::u16string u = utf16(user);
        const std::u16string p = utf16(password);
        const std::u16string d = utf16(database);
        return check(logon_(env_, error_, &service_, text(u), bytes(u), text(p), bytes(p), text(d),
                            bytes(d)));
    }
    ~oci_writer() {
        if (service_ != nullptr) {
            logoff_(service_, error_);
        }
    }

    bool run(const std::string& statement) {
        OCIStmt* handle = nullptr;
        const std::u16string sql = utf16(statement);
        return check(handle_alloc_(env_, reinterpret_cast<void**>(&handle), OCI_HTYPE_STMT, 0,
                                   nullptr)) &&
               check(
                   prepare_(handle, error_, text(sql), bytes(sql), OCI_NTV_SYNTAX, OCI_DEFAULT)) &&
               check(execute_(service_, handle, error_, 1, 0, nullptr, nullptr, OCI_DEFAULT));
    }

    // Inserts rows 1..count with the values the server generated, then commits once.
    bool insert_rows(long count) {
        OCIStmt* statement = nullptr;
        const std::u16string sql = utf16(
            "INSERT INTO \"mixed\" VALUES (:1, :2, :3, :4, :5, TO_DATE(:6, 'YYYY-MM-DD'),"
            " TO_DATE(:7, 'YYYY-MM-DD HH24:MI:SS'), :8, :9, :10)");
        if (!check(handle_alloc_(env_, reinterpret_cast<void**>(&statement), OCI_HTYPE_STMT, 0,
                                 nullptr)) ||
            !check(
                prepare_(statement, error_, text(sql), bytes(sql), OCI_NTV_SYNTAX, OCI_DEFAULT))) {
            return false;
        }
        // Text values as UTF-16 with their byte lengths, the picture as bytes.
        constexpr int columns = 10;
        std::u16string values[columns];
        ub2 lengths[columns] = {};
        OCIBind* binds[columns] = {};
        for (long id = 1; id <= count; ++id) {
            const long qty = id % 1000 - 500;
            char buffer[64];
            values[0] = utf16(std::to_string(id));
            values[1] = utf16(std::to_string(qty));
            values[2] = utf16(std::to_string(id * 1000003L));
            std::snprintf(buffer, sizeof buffer, "%ld.%02ld", (id % 100000) / 100,
                          (id % 100000) % 100);
            values[3] = utf16(buffer);
            std::snprintf(buffer, sizeof buffer, "%.17g", static_cast<double>(id) / 8);
            values[4] = utf16(buffer);
            values[5] = utf16(day_text(id));
            values[6] = utf16(stamp_text(id));
            values[7] = utf16("C-" + std::to_string(id % 50000));
            values[8] = utf16("Note " + std::to_string(id) + " \u2013 Qualit\u00e4t");
            std::string picture(8, '\0');
            for (int b = 0; b < 8; ++b) {
                picture[7 - b] =
                    static_cast<char>((static_cast<unsigned long>(id) >> (8 * b)) & 0xFF);
            }
            for (int c = 0; c < columns; ++c) {
                void* data = values[c].data();
                sb4 size = static_cast<sb4>(values[c].size() * 2);
                ub2 type = SQLT_CHR;
                if (c == 9) {
                    data = picture.data();
                    size = static_cast<sb4>(picture.size());
                    type = SQLT_BIN;
                }
                lengths[c] = static_cast<ub2>(size);
                if (!check(bind_by_pos_(statement, &binds[c], error_, c + 1, data, size, type,
                                        nullptr, &lengths[c], nullptr, 0, nullptr, OCI_DEFAULT))) {
                    return false;
                }
            }
            if (!check(
                    execute_(service_, statement, error_, 1, 0, nullptr, nullptr, OCI_DEFAULT))) {
                return false;
            }
        }
        return check(commit_(service_, error_, 0));
    }

  private:
    template <class F>
    void load(F& function, const char* name) {
        function = reinterpret_cast<F>(dlsym(library_, name));
    }
    static std::u16string utf16(const std::string& utf8) {
        return platform::wide_to_utf16(platform::utf8_to_wide(utf8));
    }
    static const OraText* text(const std::u16string& s) {
        return reinterpret_cast<const OraText*>(s.data());
    }
    static ub4 bytes(const std::u16string& s) { return static_cast<ub4>(s.size() * 2); }

    static std::string day_text(long id) {
        // 2000-01-01 plus id % 10000 days.
        std::tm t{};
        t.tm_year = 100;
        t.tm_mon = 0;
        t.tm_mday = 1 + static_cast<int>(id % 10000);
        t.tm_hour = 12;
        timegm(&t);
        char out[16];
        std::strftime(out, sizeof out, "%Y-%m-%d", &t);
        return out;
    }
    static std::string stamp_text(long id) {
        const time_t base = 1577836800;  // 2020-01-01 00:00:00 UTC
        const time_t at = base + id;
        std::tm t{};
        gmtime_r(&at, &t);
        char out[24];
        std::strftime(out, sizeof out, "%Y-%m-%d %H:%M:%S", &t);
        return out;
    }

    bool check(sword status) {
        if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) {
            return true;
        }
        char16_t message[512] = {};
        sb4 code = 0;
        if (error_ != nullptr) {
            error_get_(error_, 1, nullptr, &code, reinterpret_cast<OraText*>(message),
                       sizeof message, OCI_HTYPE_ERROR);
        }
        std::fprintf(stderr, "OCI error %d: %s\n", code,
                     platform::wide_to_utf8(platform::utf16_to_wide(message)).c_str());
        return false;
    }

    void* library_ = nullptr;
    OCIEnv* env_ = nullptr;
    OCIError* error_ = nullptr;
    OCISvcCtx* service_ = nullptr;
    decltype(&OCIEnvCreate) env_create_ = nullptr;
    decltype(&OCIHandleAlloc) handle_alloc_ = nullptr;
    decltype(&OCIErrorGet) error_get_ = nullptr;
    decltype(&OCILogon) logon_ = nullptr;
    decltype(&OCILogoff) logoff_ = nullptr;
    decltype(&OCIStmtPrepare) prepare_ = nullptr;
    decltype(&OCIStmtExecute) execute_ = nullptr;
    decltype(&OCIBindByPos) bind_by_pos_ = nullptr;
    decltype(&OCITransCommit) commit_ = nullptr;
};

const char oracle_table[] =
    "CREATE TABLE \"mixed\" (\"id\" NUMBER(11,0) NOT NULL, \"qty\" NUMBER(11,0) NOT NULL,"
    " \"big\" NUMBER(19,0), \"price\" NUMBER(12,2), \"ratio\" NUMBER, \"day\" DATE,"
    " \"stamp\" DATE, \"code\" VARCHAR2(20), \"note\" CLOB, \"pic\" BLOB)";

// A fresh oralite database with a user who may create tables; its path.
bool create_oracle(const std::string& path) {
    const std::string tool = bin_dir() + "/oralite";
    return shell(tool + " create " + path + " >/dev/null") == 0 &&
           shell(tool + " sql " + path +
                 " SYSTEM/manager 'CREATE USER bench IDENTIFIED BY bench'"
                 " 'GRANT CREATE SESSION, CREATE TABLE, CREATE SEQUENCE, CREATE TRIGGER TO bench'"
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

void print_row(const char* what, const measured& m, long rows) {
    std::printf("%-40s %9.2f %12.0f %12ld %s\n", what, m.seconds, rows / m.seconds, m.peak_kib,
                m.ok ? "" : "FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    platform::init_locale();
    const long rows = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000000;
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
        admin(handle, fill_statement(rows))) {
        const double fill_seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - fill_start).count();
        std::printf(
            "table mixed: %ld rows of INT, INT, BIGINT, DECIMAL(12,2), DOUBLE, DATE,"
            " DATETIME, VARCHAR(20), TEXT, BLOB (filled in %.1f s)\n\n",
            rows, fill_seconds);
        std::printf("%-40s %9s %12s %12s\n", "", "seconds", "rows/s", "peak KiB");

        const measured read = in_child([&] { return read_floor(server, database, rows); });
        print_row("floor: MySQL client read alone", read, rows);

        const std::string floor_db = folder + "/floor.db";
        measured write;
        if (create_oracle(floor_db)) {
            write = in_child([&] {
                oci_writer writer;
                return writer.open(floor_db, "bench", "bench") && writer.run(oracle_table) &&
                               writer.insert_rows(rows)
                           ? 0
                           : 1;
            });
            write.ok = write.ok && oracle_count(floor_db, "mixed") == std::to_string(rows);
        }
        print_row("floor: oralite write alone, 1 transaction", write, rows);

        const std::string target_db = folder + "/target.db";
        measured conversion;
        if (create_oracle(target_db)) {
            const std::vector<std::string> args = {bin_dir() + "/DRXAGENT",
                                                   "--silent",
                                                   "--src=" + database,
                                                   "--mysqlh=" + server.host,
                                                   "--myport=" + std::to_string(server.port),
                                                   "--mysqlu=" + server.user,
                                                   "--mysqlp=" + server.password,
                                                   "--dest=" + target_db,
                                                   "--oraclu=bench",
                                                   "--oraclp=bench"};
            conversion = in_child([&] { return run_program(args); });
            conversion.ok =
                conversion.ok && oracle_count(target_db, "mixed") == std::to_string(rows);
        }
        print_row("DRXAGENT conversion", conversion, rows);
        status = read.ok && write.ok && conversion.ok ? 0 : 1;
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

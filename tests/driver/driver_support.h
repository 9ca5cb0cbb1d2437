// What the driver's suites and the end-to-end suite share: a MySQL session of their own on the
// sandbox (to build source data and read it back independently of the product), a scratch
// MySQL database, an embedded Oracle database made with the `oralite` tool and read back through
// `oralite sql`, and runs of DRXAGENT.
#pragma once

#include <mysql.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_support/mariadb_sandbox.h"
#include "test_support/run_process.h"
#include "test_support/temp_dir.h"

namespace driver_test {

using cell = std::optional<std::string>;
using row = std::vector<cell>;

// A result read whole: column names, the client's type codes and flags, rows as text.
struct mysql_result {
    std::vector<std::string> names;
    std::vector<enum_field_types> types;
    std::vector<unsigned> flags;
    std::vector<row> rows;
};

class mysql_session {
  public:
    explicit mysql_session(const test_support::mariadb_sandbox& server,
                           const std::string& database = std::string())
        : handle_(mysql_init(nullptr)) {
        if (mysql_real_connect(handle_, server.host.c_str(), server.user.c_str(),
                               server.password.c_str(),
                               database.empty() ? nullptr : database.c_str(), server.port, nullptr,
                               CLIENT_MULTI_STATEMENTS) == nullptr) {
            const std::string text = mysql_error(handle_);
            mysql_close(handle_);
            throw std::runtime_error("cannot connect to the sandbox: " + text);
        }
        exec("SET NAMES utf8mb4");
    }
    ~mysql_session() { mysql_close(handle_); }
    mysql_session(const mysql_session&) = delete;
    mysql_session& operator=(const mysql_session&) = delete;

    // Runs one or more statements (separated by ";") and discards their results.
    void exec(const std::string& sql) {
        if (mysql_query(handle_, sql.c_str()) != 0) {
            throw std::runtime_error(sql.substr(0, 200) + ": " + mysql_error(handle_));
        }
        do {
            if (MYSQL_RES* result = mysql_store_result(handle_)) {
                mysql_free_result(result);
            }
        } while (mysql_next_result(handle_) == 0);
        if (mysql_errno(handle_) != 0) {
            throw std::runtime_error(sql.substr(0, 200) + ": " + mysql_error(handle_));
        }
    }

    mysql_result query(const std::string& sql) {
        if (mysql_query(handle_, sql.c_str()) != 0) {
            throw std::runtime_error(sql + ": " + mysql_error(handle_));
        }
        const std::unique_ptr<MYSQL_RES, void (*)(MYSQL_RES*)> result(mysql_store_result(handle_),
                                                                      mysql_free_result);
        mysql_result out;
        if (!result) {
            return out;
        }
        const unsigned count = mysql_num_fields(result.get());
        const MYSQL_FIELD* fields = mysql_fetch_fields(result.get());
        for (unsigned i = 0; i < count; ++i) {
            out.names.emplace_back(fields[i].name);
            out.types.push_back(fields[i].type);
            out.flags.push_back(fields[i].flags);
        }
        while (MYSQL_ROW values = mysql_fetch_row(result.get())) {
            const unsigned long* lengths = mysql_fetch_lengths(result.get());
            row r;
            for (unsigned i = 0; i < count; ++i) {
                r.push_back(values[i] == nullptr ? cell()
                                                 : cell(std::string(values[i], lengths[i])));
            }
            out.rows.push_back(std::move(r));
        }
        return out;
    }

  private:
    MYSQL* handle_;
};

// A MySQL database of the sandbox that lives as long as the object.
class scratch_database {
  public:
    scratch_database(const test_support::mariadb_sandbox& server, std::string name)
        : name_(std::move(name)), admin_(server) {
        admin_.exec("DROP DATABASE IF EXISTS `" + name_ + "`");
        admin_.exec("CREATE DATABASE `" + name_ + "` CHARACTER SET utf8mb4");
        session_ = std::make_unique<mysql_session>(server, name_);
    }
    ~scratch_database() {
        session_.reset();
        try {
            admin_.exec("DROP DATABASE IF EXISTS `" + name_ + "`");
        } catch (const std::exception&) {
        }
    }
    const std::string& name() const { return name_; }
    mysql_session& session() { return *session_; }

  private:
    std::string name_;
    mysql_session admin_;
    std::unique_ptr<mysql_session> session_;
};

inline std::string read_text_file(const std::filesystem::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// The rows `oralite sql` printed: a header line of column names, then one line per row, the
// fields separated by tabs (NULL as an empty field).
struct oracle_result {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> rows;
};

inline std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

// An embedded Oracle database in a temporary folder with one user who may create tables,
// sequences and triggers.
class oralite_schema {
  public:
    // create_options: options of `oralite create` (--max_string_size=extended).
    explicit oralite_schema(std::string user = "CONV", std::string password = "conv",
                            const std::vector<std::string>& create_options = {})
        : path_((dir_.path() / "target.db").string()),
          user_(std::move(user)),
          password_(std::move(password)) {
        std::vector<std::string> create{"create", path_};
        create.insert(create.end(), create_options.begin(), create_options.end());
        const auto created = run_tool(create);
        if (created.status != 0) {
            throw std::runtime_error("oralite create: " + created.err);
        }
        admin({"CREATE USER " + user_ + " IDENTIFIED BY " + password_,
               "GRANT CREATE SESSION, CREATE TABLE, CREATE SEQUENCE, CREATE TRIGGER TO " + user_,
               "ALTER USER " + user_ + " QUOTA UNLIMITED ON USERS"});
    }

    const std::string& path() const { return path_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    const std::filesystem::path& folder() const { return dir_.path(); }

    // Runs statements as the administrator; throws when one fails.
    void admin(const std::vector<std::string>& statements) const {
        run_checked("SYSTEM/manager", statements);
    }
    // Runs statements as the user; the tool's result (status 1 and the ORA- text on failure).
    test_support::process_result sql(const std::vector<std::string>& statements) const {
        std::vector<std::string> args{"sql", path_, user_ + "/" + password_};
        args.insert(args.end(), statements.begin(), statements.end());
        return run_tool(args);
    }
    // Runs one query as the user and splits its output.
    oracle_result query(const std::string& statement) const {
        const std::string out = run_checked(user_ + "/" + password_, {statement});
        oracle_result result;
        std::istringstream lines(out);
        std::string line;
        if (std::getline(lines, line)) {
            result.names = split_tabs(line);
        }
        while (std::getline(lines, line)) {
            result.rows.push_back(split_tabs(line));
        }
        return result;
    }
    // The first field of the first row of a query (empty when there is none).
    std::string scalar(const std::string& statement) const {
        const oracle_result result = query(statement);
        return result.rows.empty() || result.rows[0].empty() ? std::string() : result.rows[0][0];
    }
    // The table names of the user, sorted.
    std::vector<std::string> tables() const {
        std::vector<std::string> names;
        for (const auto& r : query("SELECT TABLE_NAME FROM USER_TABLES ORDER BY TABLE_NAME").rows) {
            names.push_back(r.at(0));
        }
        return names;
    }

    static test_support::process_result run_tool(const std::vector<std::string>& args) {
        return test_support::run_process(test_support::program_path("oralite"), args);
    }

  private:
    std::string run_checked(const std::string& login,
                            const std::vector<std::string>& statements) const {
        std::vector<std::string> args{"sql", path_, login};
        args.insert(args.end(), statements.begin(), statements.end());
        const auto result = run_tool(args);
        if (result.status != 0) {
            throw std::runtime_error("oralite sql " + (statements.empty() ? "" : statements[0]) +
                                     ": " + result.err);
        }
        return result.out;
    }

    test_support::temp_dir dir_;
    std::string path_;
    std::string user_;
    std::string password_;
};

inline test_support::process_result run_agent(const std::vector<std::string>& args) {
    return test_support::run_process(test_support::program_path("DRXAGENT"), args);
}

// The options that point DRXAGENT at the sandbox database and the embedded Oracle schema.
inline std::vector<std::string> agent_connection(const test_support::mariadb_sandbox& server,
                                                 const std::string& database,
                                                 const oralite_schema& oracle) {
    return {"--src=" + database,
            "--mysqlh=" + server.host,
            "--myport=" + std::to_string(server.port),
            "--mysqlu=" + server.user,
            "--mysqlp=" + server.password,
            "--dest=" + oracle.path(),
            "--oraclu=" + oracle.user(),
            "--oraclp=" + oracle.password()};
}

}  // namespace driver_test

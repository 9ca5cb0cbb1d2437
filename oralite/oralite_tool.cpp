// oralite: the command-line tool of the embedded Oracle-compatible target.
//
//   oralite create PATH [--port N] [--password P] [--sync normal|full]
//       [--max_string_size standard|extended]
//   oralite sql DATABASE USER/PASSWORD [--no-header] [STATEMENT ...]
//
// `sql` runs each STATEMENT given on the command line, or else the statements read from
// standard input (ended by ";" at the end of a line or by a line holding only "/"; PL/SQL such
// as CREATE TRIGGER ends only with "/" or the end of input). A query prints a header line of
// column names and one line per row, fields separated by tabs: NULL as an empty field, numbers
// in full decimal notation, dates as YYYY-MM-DD HH24:MI:SS, RAW and BLOB in upper-case hex,
// CLOB as its text. An error prints its ORA- message on standard error, rolls back the open
// transaction and ends with status 1. At the end the session commits (as a log-off does).
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "oralite/cursor.h"
#include "oralite/database.h"
#include "oralite/session.h"
#include "oralite/value.h"

namespace {

const char* const k_usage =
    "usage:\n"
    "  oralite create PATH [--port N] [--password P] [--sync normal|full]\n"
    "                [--max_string_size standard|extended]\n"
    "      Creates an empty database file with the administrator SYSTEM (password manager\n"
    "      unless --password is given). The listener port (default 1521) is the one the\n"
    "      connect descriptor must name. --sync full makes every commit durable against\n"
    "      power loss (slower); the default survives the crash of any process.\n"
    "      --max_string_size extended lets VARCHAR2, NVARCHAR2 and RAW hold 32767 bytes\n"
    "      (standard: 4000, 2000 and 2000). An option may also be written --name=value.\n"
    "  oralite sql DATABASE USER/PASSWORD [--no-header] [STATEMENT ...]\n"
    "      Runs the statements (or those read from standard input) and prints query results\n"
    "      as tab-separated lines under a header of column names (none with --no-header).\n"
    "      DATABASE is a file path, a name under $ORALITE_HOME or a connect descriptor.\n"
    "Exit status: 0 success, 1 an Oracle error (message on standard error), 2 bad usage.\n";

int usage() {
    std::fputs(k_usage, stderr);
    return 2;
}

bool is_plsql(const std::string& statement) {
    std::istringstream in(statement);
    std::vector<std::string> words;
    std::string w;
    while (words.size() < 5 && in >> w) {
        for (char& c : w) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        words.push_back(w);
    }
    if (words.empty())
        return false;
    if (words[0] == "BEGIN" || words[0] == "DECLARE")
        return true;
    if (words[0] != "CREATE")
        return false;
    size_t i = 1;
    if (i + 1 < words.size() && words[i] == "OR" && words[i + 1] == "REPLACE")
        i += 2;
    if (i >= words.size())
        return false;
    const std::string& kind = words[i];
    return kind == "TRIGGER" || kind == "PROCEDURE" || kind == "FUNCTION" || kind == "PACKAGE";
}

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// A statement from the command line may carry the ';' a person types out of habit.
std::string without_terminator(std::string s) {
    s = trimmed(s);
    if (!is_plsql(s)) {
        while (!s.empty() && s.back() == ';') s = trimmed(s.substr(0, s.size() - 1));
    }
    return s;
}

std::vector<std::string> read_script(std::istream& in) {
    std::vector<std::string> out;
    std::string current;
    std::string line;
    auto finish = [&] {
        std::string s = trimmed(current);
        if (!s.empty())
            out.push_back(s);
        current.clear();
    };
    while (std::getline(in, line)) {
        std::string t = trimmed(line);
        if (t == "/") {
            finish();
            continue;
        }
        if (current.empty() && (t.empty() || t.rfind("--", 0) == 0))
            continue;
        current += line + "\n";
        if (!is_plsql(current) && !t.empty() && t.back() == ';') {
            std::string s = trimmed(current);
            current = s.substr(0, s.size() - 1);
            finish();
        }
    }
    finish();
    return out;
}

void print_query(oralite::cursor& c, bool header) {
    const auto& columns = c.columns();
    std::string line;
    if (header) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i)
                line += '\t';
            line += columns[i].name;
        }
        std::cout << line << '\n';
    }
    while (c.fetch()) {
        line.clear();
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i)
                line += '\t';
            line += oralite::display_text(c.column_value(i));
        }
        std::cout << line << '\n';
    }
}

int run_create(int argc, char** argv) {
    if (argc < 3)
        return usage();
    oralite::database_options options;
    std::string path = argv[2];
    for (int i = 3; i < argc; ++i) {
        std::string arg = argv[i];
        std::string v;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            v = arg.substr(eq + 1);
            arg.resize(eq);
        } else if (i + 1 >= argc) {
            return usage();
        } else {
            v = argv[++i];
        }
        if (arg == "--port") {
            if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos ||
                v.size() > 5 || std::stoi(v) < 1 || std::stoi(v) > 65535) {
                std::fprintf(stderr, "oralite: bad port '%s'\n", v.c_str());
                return 2;
            }
            options.port = std::stoi(v);
        } else if (arg == "--password") {
            if (v.empty())
                return usage();
            options.system_password = v;
        } else if (arg == "--sync") {
            if (v != "normal" && v != "full")
                return usage();
            options.full_sync = v == "full";
        } else if (arg == "--max_string_size") {
            if (v != "standard" && v != "extended")
                return usage();
            options.extended_strings = v == "extended";
        } else {
            return usage();
        }
    }
    try {
        oralite::create_database(path, options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "oralite: %s\n", e.what());
        return 1;
    }
    return 0;
}

int run_sql(int argc, char** argv) {
    if (argc < 4)
        return usage();
    std::string database = argv[2];
    std::string credentials = argv[3];
    size_t slash = credentials.find('/');
    if (slash == std::string::npos || slash == 0)
        return usage();
    std::string user = credentials.substr(0, slash);
    std::string password = credentials.substr(slash + 1);
    bool header = true;
    std::vector<std::string> statements;
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-header") == 0) {
            header = false;
        } else {
            std::string s = without_terminator(argv[i]);
            if (!s.empty())
                statements.push_back(s);
        }
    }
    bool from_stdin = statements.empty();
    std::unique_ptr<oralite::session> session;
    try {
        session = oralite::session::logon(database, user, password);
        if (from_stdin)
            statements = read_script(std::cin);
        for (const std::string& text : statements) {
            oralite::cursor c(*session, text);
            oralite::no_binds binds;
            c.execute(1, binds);
            if (c.warning())
                std::fprintf(stderr, "Warning: %s\n", c.warning()->what());
            if (c.is_query())
                print_query(c, header);
        }
        std::cout.flush();
        session->logoff();
    } catch (const oralite::ora_error& e) {
        std::cout.flush();
        std::fprintf(stderr, "%s\n", e.what());
        if (session && !session->closed()) {
            try {
                session->rollback();
                session->logoff();
            } catch (const oralite::ora_error&) {
            }
        }
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    std::string command = argv[1];
    if (command == "create")
        return run_create(argc, argv);
    if (command == "sql")
        return run_sql(argc, argv);
    if (command == "help" || command == "--help" || command == "-h") {
        std::fputs(k_usage, stdout);
        return 0;
    }
    return usage();
}

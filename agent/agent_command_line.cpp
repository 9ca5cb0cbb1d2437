#include "agent/agent_command_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "TK/tk_file.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "UDB/udb_profile.h"
#include "agent/agent_converter.h"
#include "core/error_handler.h"

namespace {

enum option_id {
    opt_blob2text = 0,
    opt_direct = 1,
    opt_dest = 2,
    opt_help = 3,
    opt_logfile = 4,
    opt_mode = 5,
    opt_myport = 6,
    opt_mysqlh = 7,
    opt_mysqlu = 8,
    opt_mysqlp = 9,
    opt_oraclu = 10,
    opt_oraclp = 11,
    opt_oraport = 12,
    opt_silent = 13,
    opt_skip_idx = 14,
    opt_src = 15,
    opt_tab_def = 16,
    opt_tab_file = 17,
    opt_uppercase = 18,
    opt_profile = 19,
    opt_time_interval = 20,
};

const char usage_format[] =
    "DRXAGENT v%d.%d\n"
    "Usage: DRXAGENT.EXE OPTIONS\n"
    "\n"
    "   --blob2text    convert BLOB to text\n"
    "   --dest=...     Oracle database name\n"
    "   --direct       connect to Oracle server via IP + port\n"
    "   --help         display this help message and exit\n"
    "   --logfile=...  path to the file where execution trace will be written\n"
    "   --mode=...     how to process tables that already exist in Oracle database\n"
    "                  (0 - overwrite, 1 - merge, 2 - skip)\n"
    "   --myport=...   MySQL port\n"
    "   --mysqlh=...   MySQL server IP address or network name\n"
    "   --mysqlu=...   MySQL user name\n"
    "   --mysqlp=...   MySQL user password\n"
    "   --oraclu=...   Oracle user name\n"
    "   --oraclp=...   Oracle user password\n"
    "   --oraport=...  Oracle port (for direct mode only)\n"
    "   --profile=...  path to the file to load conversion settings from\n"
    "   --silent       disable program output\n"
    "   --skip_idx     skip converting indexes\n"
    "   --src=...      MySQL database name\n"
    "   --tab_def      convert table definitions only\n"
    "   --tab_file=... file containing the list of tables to convert\n"
    "                  (one table name per line)\n"
    "   --time_interval convert TIME columns to INTERVAL DAY TO SECOND\n"
    "   --uppercase    make table/field names uppercase\n"
    "\n"
    "NOTES:\n"
    "   1) You can omit 'mysqlh' to connect local database server.\n"
    "   2) It is necessary to specify 'port' parameter only if it deffers from\n"
    "      the default MySQL port 3306.\n"
    "   3) The default mode is 'overwrite'. You can change it using\n"
    "      '--mode' parameter\n"
    "   4) If you omit 'tab_file' parameter, all database tables will be converted.\n"
    "   5) Options shown without '=...' take no value: '--tab_def=0' is refused.\n"
    "   6) Options after '--profile' override the profile, connection included.\n"
    "   7) Exit status: 0 every table and record arrived, 1 the run reported errors\n"
    "      (see its summary and the rejects file), 255 the run could not start or end.\n";

const char missing_table_file[] =
    "Table names file does not exist.\nPlease verify the correct path/name was given.";
// Converting every table is what no file means; an empty one is a mistake upstream (a script
// that found nothing), and taking it for "all" would overwrite tables nobody chose.
const char empty_table_file[] =
    "Table names file holds no table names.\nPlease verify the correct path/name was given.";
const char no_destination[] = "You should enter Oracle service name";

// The connection options met since the start or since the last profile loaded. They are
// handed to the settings objects together: at a profile (which then replaces what it holds)
// and after the whole command line (overriding the profile). A value not given leaves its
// setting as it is.
struct option_holders {
    std::optional<std::wstring> oracle_destination;
    std::optional<std::wstring> oracle_user;
    std::optional<std::wstring> oracle_password;
    std::optional<std::wstring> oracle_port;
    std::optional<std::string> mysql_port;
    std::optional<std::string> mysql_host;
    std::optional<std::string> mysql_user;
    std::optional<std::string> mysql_password;
    bool direct = false;

    bool any_oracle() const {
        return direct || oracle_destination || oracle_user || oracle_password || oracle_port;
    }
    bool any_mysql() const { return mysql_port || mysql_host || mysql_user || mysql_password; }
};

// Stores the options given into the settings, through the operations that the wizard's pages
// use as well: the destination is the service name, or the host when connecting directly (the
// port then "1521" unless one is known).
void store_connection(agent_converter& converter, const option_holders& given) {
    oracle_converter_impl& oracle = converter;
    mysql_converter_impl& mysql = converter;
    if (given.any_oracle() && oracle.use_tns) {
        oracle.store_oracle_settings(given.oracle_destination.value_or(oracle.service_name),
                                     given.oracle_user.value_or(oracle.user),
                                     given.oracle_password.value_or(oracle.password));
    } else if (given.any_oracle()) {
        const std::wstring known_port = oracle.port.empty() ? L"1521" : oracle.port;
        oracle.store_oracle_settings(given.oracle_destination.value_or(oracle.host),
                                     given.oracle_user.value_or(oracle.user),
                                     given.oracle_password.value_or(oracle.password),
                                     given.oracle_port.value_or(known_port));
    }
    if (given.any_mysql()) {
        mysql.store_mysql_settings(
            given.mysql_host.value_or(mysql.host), given.mysql_user.value_or(mysql.user),
            given.mysql_password.value_or(mysql.password), given.mysql_port.value_or(mysql.port));
    }
}

// Loads the profile with the options met so far stored first, so that the profile replaces
// what it holds and the options after it override it. When the file cannot be read nothing
// changes and the options wait for the end as without a profile.
void load_profile_option(agent_converter& converter, option_holders& holders,
                         const std::string& path) {
    tk_trace(1, "parse_cmd_line - got profile %s", path.c_str());
    udb_profile profile;
    if (!profile.load_file(tk_ansi_to_ucs2(path))) {
        return;
    }
    store_connection(converter, holders);
    holders = option_holders();
    converter.load_profile(profile);
}

// The Oracle database the run would log on to. An empty connect string is not refused by the
// Oracle client: it attaches to the machine's default database, which is never what was meant.
const std::wstring& oracle_destination(const agent_converter& converter) {
    const oracle_converter_impl& oracle = converter;
    return oracle.use_tns ? oracle.service_name : oracle.host;
}

// The mode must be written exactly as one of 0, 1 and 2: "01", "+1" and "" are refused.
void apply_mode(agent_converter& converter, const std::string& value) {
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(value.c_str(), &end, 10);
    const int mode =
        errno == 0 && parsed >= INT32_MIN && parsed <= INT32_MAX ? static_cast<int>(parsed) : 0;
    tk_trace(2, "\tgot mode %d", mode);
    if (errno != 0 || std::to_string(parsed) != value || parsed < mode_overwrite ||
        parsed > mode_skip) {
        exit_with_message("Invalid merge/overwrite mode");
    }
    converter.mode = mode;
}

// Acts on one recognised option; connection options only fill a holder (option_holders).
void apply_option(const tk_cmdli& option, agent_converter& converter, option_holders& holders) {
    const std::string& value = option.value();
    switch (option.id()) {
        case opt_blob2text:
            converter.blob2text = true;
            tk_trace(2, "\tset blob2text -> true");
            break;
        case opt_dest:
            holders.oracle_destination = tk_ansi_to_ucs2(value);
            break;
        case opt_direct:
            converter.use_tns = false;
            holders.direct = true;
            break;
        case opt_help:
            exit_with_message(agent_usage_text());
        case opt_logfile:
            tk_trace(1, "parse_cmd_line - got logfile %s", value.c_str());
            converter.set_logfile(value);
            break;
        case opt_mode:
            apply_mode(converter, value);
            break;
        case opt_myport:
            holders.mysql_port = value;
            break;
        case opt_mysqlh:
            holders.mysql_host = value;
            break;
        case opt_mysqlu:
            holders.mysql_user = value;
            break;
        case opt_mysqlp:
            holders.mysql_password = value;
            break;
        case opt_oraclu:
            holders.oracle_user = tk_ansi_to_ucs2(value);
            break;
        case opt_oraclp:
            holders.oracle_password = tk_ansi_to_ucs2(value);
            break;
        case opt_oraport:
            holders.oracle_port = tk_ansi_to_ucs2(value);
            break;
        case opt_profile:
            load_profile_option(converter, holders, value);
            break;
        case opt_silent:
            tk_trace(1, "parse_cmd_line - silent mode is ON");
            converter.set_silent(true);
            error_handler::instance().set_silent(true);
            break;
        case opt_skip_idx:
            converter.skip_idx = true;
            tk_trace(2, "\tskip converting indexes");
            break;
        case opt_src:
            tk_trace(2, "\tparse_cmd_line - got src %s", value.c_str());
            converter.source_database = tk_ansi_to_ucs2(value);
            break;
        case opt_tab_def:
            converter.tab_def = true;
            tk_trace(2, "\tconvert table definitions only");
            break;
        case opt_tab_file:
            tk_trace(2, "\tparse_cmd_line - got tab_file %s", value.c_str());
            process_tab_file(value);
            break;
        case opt_time_interval:
            converter.time_interval = true;
            tk_trace(2, "\tconvert TIME columns as intervals");
            break;
        case opt_uppercase:
            converter.uppercase = true;
            tk_trace(2, "\tmake table names uppercase");
            break;
        default:  // unrecognised: counted by the iterator
            break;
    }
}

// The file's names become the whole selection: a custom query (of a profile loaded before)
// stays only when the file names it, and is then converted as that query.
void select_tables(agent_converter& converter, const std::vector<std::wstring>& names) {
    const auto named = [&](const std::wstring& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    std::erase_if(converter.selected_queries,
                  [&](const auto& entry) { return !named(entry.first); });
    converter.selected_tables.clear();
    for (const std::wstring& name : names) {
        const auto query = converter.selected_queries.find(name);
        if (query == converter.selected_queries.end() || query->second.empty()) {
            converter.selected_tables.push_back(name);
        }
    }
}

}  // namespace

const cmdli_option agent_options[22] = {
    {opt_blob2text, "--blob2text"},
    {opt_dest, "--dest="},
    {opt_direct, "--direct"},
    {opt_help, "--help"},
    {opt_logfile, "--logfile="},
    {opt_mode, "--mode="},
    {opt_myport, "--myport="},
    {opt_mysqlh, "--mysqlh="},
    {opt_mysqlu, "--mysqlu="},
    {opt_mysqlp, "--mysqlp="},
    {opt_oraclu, "--oraclu="},
    {opt_oraclp, "--oraclp="},
    {opt_oraport, "--oraport="},
    {opt_profile, "--profile="},
    {opt_silent, "--silent"},
    {opt_skip_idx, "--skip_idx"},
    {opt_src, "--src="},
    {opt_tab_def, "--tab_def"},
    {opt_tab_file, "--tab_file="},
    {opt_time_interval, "--time_interval"},
    {opt_uppercase, "--uppercase"},
    {0, ""},
};

std::string agent_usage_text() {
    return tk_format(usage_format, agent_version_major, agent_version_minor);
}

void exit_with_message(const std::string& text) {
    tk_trace(3, "%s", text.c_str());
    const agent_converter* converter = agent_converter::instance_or_null();
    if (converter == nullptr || !converter->silent()) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    std::fflush(stdout);
    throw agent_exit{agent_status_failure};
}

bool parse_cmd_line(int argc, const char* const* argv) {
    tk_trace(2, "parse_cmd_line");
    for (int i = 0; i < argc; ++i) {
        tk_trace(1, "parameter #%d: %s", i, argv[i]);
    }
    agent_converter& converter = agent_converter::instance();
    option_holders holders;
    tk_cmdli option(argc > 0 ? argc - 1 : 0, argc > 0 ? argv + 1 : argv, agent_options);
    for (; option.valid(); option.next()) {
        apply_option(option, converter, holders);
    }
    if (option.unrecognised_count() != 0) {
        return false;
    }
    if (converter.source_database.empty()) {
        exit_with_message("You should enter MySQL database name");
    }
    store_connection(converter, holders);
    if (oracle_destination(converter).empty()) {
        exit_with_message(no_destination);
    }
    return true;
}

table_names read_table_names(std::istream& in) {
    static const std::string byte_order_mark = "\xEF\xBB\xBF";
    table_names result;
    bool encoding_known = false;
    bool utf8 = false;
    size_t number = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        if (!encoding_known) {
            encoding_known = true;
            utf8 = line.starts_with(byte_order_mark);
            if (utf8) {
                line.erase(0, byte_order_mark.size());
            }
            // A line holding only the mark names no table.
            if (line.empty()) {
                continue;
            }
        }
        if (line.size() > table_name_line_limit) {
            result.long_line = number;
            return result;
        }
        result.names.push_back(utf8 ? tk_utf8_to_ucs2(line) : tk_ansi_to_ucs2(line));
    }
    return result;
}

void process_tab_file(const std::string& path) {
    tk_trace(1, "process_tab_file(%s)", path.c_str());
    if (!tk_is_file_exist(path, tk_file_read)) {
        exit_with_message(missing_table_file);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        exit_with_message(missing_table_file);
    }
    table_names read = read_table_names(in);
    if (read.long_line != 0) {
        exit_with_message(
            tk_format("Table names file has a line longer than %d bytes "
                      "(line %zu).\nA table name cannot be that long; please "
                      "verify the correct file was given.",
                      static_cast<int>(table_name_line_limit), read.long_line));
    }
    if (read.names.empty()) {
        exit_with_message(empty_table_file);
    }
    select_tables(agent_converter::instance(), read.names);
}

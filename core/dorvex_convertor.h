// The conversion driver: one object per process that performs whole conversions of a MySQL
// database into the Oracle schema of the logged-on user.
//
// It carries the settings of both sides (oracle_converter_impl, mysql_converter_impl), the
// switches and the choice of tables (conversion_switches), the custom queries and the progress
// of a run (udb_converter), and it owns both engines and the Oracle database of the last
// successful log-on. operator() runs one conversion: for every selected table and custom
// query, in code-unit order of their names, it creates (or, by mode, drops, reuses or skips)
// the Oracle table and copies the records. A failed record is reported and the next follows;
// a failed table is reported and the next follows. Errors go to the error_handler singleton,
// which must exist for as long as the driver does.
//
// Threads: the wizard runs operator() on its worker thread and reads the progress fields
// (current_table(), the atomic counters, is_finished()) from its window thread; everything
// else, connections included, is used by one thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"
#include "SQL/sql_engine.h"
#include "TK/tk_singleton.h"
#include "UDB/udb_converter.h"
#include "core/conversion_switches.h"
#include "core/mysql_converter_impl.h"
#include "core/oracle_converter_impl.h"
#include "core/rejects_file.h"
#include "core/run_report.h"

class sql_database;
class sql_recordset;
class ora_table;
class ora_tn_validator;

class dorvex_convertor : public udb_converter,
                         public oracle_converter_impl,
                         public mysql_converter_impl,
                         public conversion_switches,
                         public tk_singleton<dorvex_convertor> {
  public:
    // The program the driver serves. The agent starts with its defaults, prints progress
    // lines and converts every table when none is selected; the wizard loads its remembered
    // settings at construction and stores them at destruction.
    enum class program { agent, wizard };

    // The access mode both sides open their databases and tables with.
    static constexpr int32_t open_mode = 1;
    // The mode of an existing Oracle table opened for appending.
    static constexpr int32_t append_mode = 8;

    explicit dorvex_convertor(program kind = program::agent);
    ~dorvex_convertor() override;

    // One whole conversion run (see the header comment). Requires a connection to both
    // servers. Never throws: every error is reported through the error handler; a level-1
    // error ends the run (the agent's handler ends the process). A stop request
    // (tk_runnable::request_stop, from any thread) ends the run quietly before the next record.
    void operator()() override;

    // True once the last run has ended (safe to read from any thread).
    bool is_finished() const { return run_finished_.load(); }
    // What became of the last run, table by table; complete once is_finished() is true (read it
    // only then from another thread).
    const run_report& last_report() const { return report_; }

    // Opens the source database, runs the statement there and reports whether the server
    // accepted it; false on any failure. The wizard's query dialog uses it.
    bool test_source_statement(const std::wstring& statement) override;
    // The table names of the source database, in server order. Raises sql_exception when the
    // database cannot be opened.
    std::vector<std::wstring> get_all_tables();

    // Logs on to Oracle with the stored values (net service name, or host and port when
    // use_tns is false), replacing the previous log-on. Raises ora_exception (level 0) or the
    // "client not found" tk_exception. The driver keeps the returned database.
    ora_database* connect_oracle_server();
    // Connects to MySQL with the stored values. Raises tk_exception "Invalid port number"
    // (level 1) before contacting the server, sql_exception (level 0) when the server refuses.
    void connect_mysql_server();
    // The Oracle database of the last successful log-on, or null.
    ora_database* oracle_database() const { return oracle_database_.get(); }

    // The converter, both settings objects, then "uppercase" and "BLOB to text".
    bool load_profile(const udb_profile& profile) override;
    bool store_profile(udb_profile& profile) override;
    // Reads the profile file (path in the ANSI character set) into the converter; false when
    // the file cannot be opened, and then nothing changes.
    bool load_profile(const std::string& path);
    bool load_profile(const std::wstring& path);
    // Stores the converter into a new profile file; false when the file cannot be written.
    bool save_profile(const std::wstring& path);

    // Where the records that did not arrive are saved ("{database}.rejects.sql"); empty: the
    // log file's folder, or the current folder without a log file.
    std::string rejects_folder;

    // How a standard exception that is not a toolkit exception and ends a run is shown. The
    // agent's default prints it on standard error unless silent; the wizard sets its own.
    std::function<void(const std::string& text)> standard_error_reporter;

    sql_engine mysql_engine;
    ora_engine oracle_engine;

  protected:
    generic_settings_ref generic_settings() override;

  private:
    struct run_state;
    class record_reporter;

    void run();
    void convert_entry(run_state& state, const std::wstring& name, const std::wstring& query);
    std::unique_ptr<sql_recordset> open_source(run_state& state, const std::wstring& name,
                                               const std::wstring& query);
    std::wstring oracle_name_for(run_state& state, const std::wstring& name);
    // Applies the mode to an existing table; false when the entry is to be skipped.
    bool handle_existing_table(const std::wstring& destination);
    static std::optional<int64_t> traced_round_trips(ora_database& destination);
    static void report_key_losses(const ora_table& table, table_report& entry);
    void copy_records(sql_recordset& source, ora_table& destination, table_report& entry);
    // Appends one record; a record Oracle or its value rules refuse is reported and saved.
    void copy_record(ora_table& destination, record_reporter& reporter, udb_record& record);
    void stop_if_requested() const;
    // Marks the run as ended before its end, and the entry it was in as failed.
    void end_early(const std::string& why);
    // Saves a record that did not arrive in the run's rejects file (made at the first).
    void save_rejected(const std::wstring& table, const std::string& error,
                       const udb_schema& columns, const udb_record& record);
    // The agent's line for the errors of a table its console did not show.
    void tell_unshown(const table_report& entry, int64_t unshown);
    // The summary of the run, on the agent's console and in the log.
    void print_summary();
    void print(const std::wstring& line) const;
    void report_standard_error(const std::string& text) const;

    program program_;
    std::atomic<bool> run_finished_{false};
    run_report report_;
    // An entry of the report is being converted (not yet finished).
    bool entry_open_ = false;
    std::unique_ptr<rejects_file> rejects_;
    bool rejects_failed_ = false;
    std::unique_ptr<ora_database> oracle_database_;
};

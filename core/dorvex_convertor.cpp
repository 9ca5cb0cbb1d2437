#include "core/dorvex_convertor.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "ORA/ora_table.h"
#include "ORA/ora_validator.h"
#include "SQL/sql_database.h"
#include "SQL/sql_recordset.h"
#include "TK/tk_string.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "UDB/ole_variant.h"
#include "UDB/udb_record_sink.h"
#include "core/console_progress.h"
#include "core/error_handler.h"
#include "core/init_conversion.h"
#include "core/record_pipe.h"
#include "core/settings_profile.h"
#include "core/settings_registry.h"
#include "platform/codepage.h"

namespace {

// Oracle's "resource busy" (ORA-00054): the table is locked by another session.
constexpr int32_t ora_resource_busy = 54;

const wchar_t time_interval_profile_key[] = L"TIME as interval";

// The record errors of a table the agent's console shows; the log keeps every one.
constexpr int64_t console_errors_per_table = 20;

const char busy_table_message[] = "Cannot delete table because it is busy with another process";
const char nonconforming_message[] =
    "The structure of data source does not conform to the destination table.";

// An error that ends the whole run has stopped the work, whatever level it was raised with:
// it is reported as such, so that the agent's exit status does not say the run succeeded.
class run_ending_error : public tk_exception {
  public:
    explicit run_ending_error(const tk_exception& e) : tk_exception(e) {
        if (level() == 0) {
            set_level(1);
        }
    }
};

// An error that costs one record only, whatever level it was raised with; its code still
// picks the prepared text.
class record_error : public tk_exception {
  public:
    explicit record_error(const tk_exception& e) : tk_exception(e) { set_level(0); }
};

}  // namespace

// What one run holds besides the driver's own fields; destroyed before the run ends.
struct dorvex_convertor::run_state {
    ora_database& destination;
    std::unique_ptr<sql_database> source;
    std::unique_ptr<ora_tn_validator> validator;
};

dorvex_convertor::dorvex_convertor(program kind) : program_(kind) {
    tk_trace(2, "dorvex_convertor::ctor");
    if (program_ == program::wizard) {
        // The wizard's defaults (uppercase on) are applied by the registry load.
        serialize(false, *this, *this, *this);
    } else {
        mode = mode_overwrite;
        blob2text = false;
        uppercase = false;
    }
    standard_error_reporter = [this](const std::string& text) {
        if (!silent()) {
            std::fprintf(stderr, "%s\n", text.c_str());
            std::fflush(stderr);
        }
    };
}

dorvex_convertor::~dorvex_convertor() {
    tk_trace(2, "dorvex_convertor::dtor");
    if (program_ == program::wizard) {
        serialize(true, *this, *this, *this);
    }
}

udb_converter::generic_settings_ref dorvex_convertor::generic_settings() {
    return {source_database, selected_tables, tab_def, skip_idx};
}

// ---------------------------------------------------------------------------------------------
// Connections

ora_database* dorvex_convertor::connect_oracle_server() {
    tk_trace(2, "oracle_converter_impl::connect_oracle_server");
    oracle_database_.reset();
    if (use_tns) {
        oracle_database_ = oracle_engine.open_db(service_name, oracle_converter_impl::user,
                                                 oracle_converter_impl::password);
    } else {
        oracle_database_ =
            oracle_engine.open_db(oracle_converter_impl::host, oracle_converter_impl::user,
                                  oracle_converter_impl::password, oracle_converter_impl::port);
    }
    return oracle_database_.get();
}

void dorvex_convertor::connect_mysql_server() {
    tk_trace(2, "mysql_converter_impl::connect_mysql_server");
    const unsigned port_value = port_number();
    mysql_engine.connect(mysql_converter_impl::host, mysql_converter_impl::user,
                         mysql_converter_impl::password, port_value);
}

// ---------------------------------------------------------------------------------------------
// Source helpers for the wizard

bool dorvex_convertor::test_source_statement(const std::wstring& statement) {
    tk_trace_w(2, L"dorvex_convertor::test_source_statement(%ls)", statement.c_str());
    try {
        const std::unique_ptr<sql_database> source =
            mysql_engine.open_db(source_database, open_mode);
        return source->test_query(statement);
    } catch (...) {
        return false;
    }
}

std::vector<std::wstring> dorvex_convertor::get_all_tables() {
    tk_trace(2, "dorvex_convertor::get_all_tables");
    const std::unique_ptr<sql_database> source = mysql_engine.open_db(source_database, open_mode);
    return source->tables;
}

// ---------------------------------------------------------------------------------------------
// Profiles

bool dorvex_convertor::load_profile(const udb_profile& profile) {
    if (!udb_converter::load_profile(profile) || !load_oracle_profile(*this, profile) ||
        !load_mysql_profile(*this, profile)) {
        return false;
    }
    if (const std::wstring value = profile.get_value(udb_profile::oracle_section, L"uppercase");
        !value.empty()) {
        uppercase = udb_profile_true_if_one(value);
    }
    if (const std::wstring value = profile.get_value(udb_profile::mysql_section, L"BLOB to text");
        !value.empty()) {
        blob2text = udb_profile_true_if_one(value);
    }
    if (const std::wstring value =
            profile.get_value(udb_profile::mysql_section, time_interval_profile_key);
        !value.empty()) {
        time_interval = udb_profile_true_if_one(value);
    }
    return true;
}

bool dorvex_convertor::store_profile(udb_profile& profile) {
    if (!udb_converter::store_profile(profile) || !store_oracle_profile(*this, profile) ||
        !store_mysql_profile(*this, profile)) {
        return false;
    }
    profile.set_value(udb_profile::oracle_section, L"uppercase", udb_profile_flag(uppercase));
    profile.set_value(udb_profile::mysql_section, L"BLOB to text", udb_profile_flag(blob2text));
    profile.set_value(udb_profile::mysql_section, time_interval_profile_key,
                      udb_profile_flag(time_interval));
    return true;
}

bool dorvex_convertor::load_profile(const std::string& path) {
    return load_profile(tk_ansi_to_ucs2(path));
}

bool dorvex_convertor::load_profile(const std::wstring& path) {
    udb_profile profile;
    return profile.load_file(path) && load_profile(profile);
}

bool dorvex_convertor::save_profile(const std::wstring& path) {
    udb_profile profile;
    return store_profile(profile) && profile.save_file(path);
}

// ---------------------------------------------------------------------------------------------
// The run

void dorvex_convertor::operator()() {
    tk_trace(2, "dorvex_convertor::operator()");
    finished = false;
    run_finished_.store(false);
    report_ = run_report();
    rejects_.reset();
    rejects_failed_ = false;
    {
        init_conversion scope(&finished, true);
        try {
            run();
        } catch (const tk_final_exception&) {
            // The user chose to stop, or an error that stops the work was shown already.
            end_early("stopped before its end");
        } catch (const tk_exception& e) {
            end_early(error_handler::instance().message_for(e));
            try {
                error_handler::instance().handle(run_ending_error(e), true);
            } catch (const tk_final_exception&) {
                // Shown; the run is over anyway.
            }
        } catch (const std::exception& e) {
            end_early(e.what());
            report_standard_error(e.what());
        }
        rejects_.reset();
        print_summary();
        // Also after a failed run, so that its last table does not prefix later messages.
        error_handler::instance().clear_context();
        tables_done = 0;
        tables_total = 0;
    }
    run_finished_.store(true);
}

void dorvex_convertor::run() {
    ora_database* destination = oracle_database_.get();
    TK_ASSERT(destination != nullptr);
    // Generated index and constraint names avoid those the schema has already.
    ora_in_validator index_names;

    mysql_engine.blob_to_text = blob2text;
    mysql_engine.time_as_interval = time_interval;
    destination->uppercase = uppercase;

    run_state state{*destination, mysql_engine.open_db(source_database, open_mode), nullptr};
    if (program_ == program::agent && selected_tables.empty() && selected_queries.empty()) {
        selected_tables = state.source->tables;
    }

    // The entries of the run: the queries, then every selected table not already among them.
    // A copy, so that a table taken out of the selection is not converted by a later run.
    query_map entries = selected_queries;
    for (const std::wstring& name : selected_tables) {
        entries.emplace(name, std::wstring());
    }
    // Each entry once: the number the progress shows.
    tables_total = static_cast<int32_t>(entries.size());
    tk_trace_w(3, L"Converting database %ls (%d tables)", source_database.c_str(),
               tables_total.load());
    print(tk_wformat(L"Converting database %ls(%d tables)", source_database.c_str(),
                     tables_total.load()));

    // The run's tables keep their names: no sequence of an earlier entry may take one.
    std::vector<std::wstring> names;
    for (const auto& entry : entries) {
        names.push_back(entry.first);
        if (uppercase) {
            tk_wstring::to_upper(names.back());
        }
    }
    destination->reserve_names(names);
    state.validator = std::make_unique<ora_tn_validator>(selected_tables, destination->tables);
    for (const auto& entry : selected_queries) {
        state.validator->in_use.push_back(entry.first);
    }
    for (const auto& [name, query] : entries) {
        stop_if_requested();
        convert_entry(state, name, query);
        ++tables_done;
    }
}

std::unique_ptr<sql_recordset> dorvex_convertor::open_source(run_state& state,
                                                             const std::wstring& name,
                                                             const std::wstring& query) {
    if (!query.empty()) {
        return state.source->open_query(name, query);
    }
    // A name the source does not list (a typing error in a table-names file) is the user's
    // mistake, not an internal one: report it for this entry and go on.
    if (!state.source->is_table_exist(name)) {
        throw tk_exception(tk_wformat(L"Table '%ls' does not exist in the MySQL database '%ls'.",
                                      name.c_str(), source_database.c_str()),
                           0);
    }
    return state.source->open_table(name);
}

std::wstring dorvex_convertor::oracle_name_for(run_state& state, const std::wstring& name) {
    std::wstring destination = name;
    if (uppercase) {
        tk_wstring::to_upper(destination);
    }
    const std::wstring wanted = destination;
    // A sequence, view or other object of the schema holds the name as a table would.
    while (!state.validator->is_acceptable(destination) ||
           state.destination.is_other_object(destination)) {
        if (state.destination.is_other_object(destination)) {
            state.validator->restricted.push_back(destination);
        }
        destination = state.validator->get_safe_name(wanted);
    }
    return destination;
}

bool dorvex_convertor::handle_existing_table(const std::wstring& destination) {
    tk_trace_w(2, L"Table %ls already exists", destination.c_str());
    switch (mode) {
        case mode_overwrite:
            try {
                oracle_database_->delete_tab(destination);
            } catch (const ora_exception& e) {
                if (e.ora_error() == ora_resource_busy) {
                    throw tk_exception(busy_table_message, 0);
                }
                throw;
            }
            return true;
        case mode_skip:
            tk_trace(2, "Skip existing table");
            return false;
        default:
            return true;
    }
}

// Reports what the destination table says of the records of one entry: each rejected record and
// each altered value is an error of level 0 with the table and the record, and is counted; a
// rejected record is saved in the run's rejects file. The agent's console shows the first
// errors of a table only (the log keeps every one); the rest are counted for one closing line.
class dorvex_convertor::record_reporter : public udb_record_sink {
  public:
    record_reporter(dorvex_convertor& driver, table_report& report, const udb_schema& columns)
        : driver_(driver), report_(report), columns_(columns) {}

    void record_rejected(int64_t record_number, const udb_record& record,
                         const tk_exception& why) override {
        ++report_.rejected;
        error_handler& handler = error_handler::instance();
        handler.set_context(report_.name, record_number);
        driver_.save_rejected(report_.name, handler.message_for(why), columns_, record);
        report(record_error(why));
    }
    void value_altered(int64_t record_number, const udb_record&, const std::string& note) override {
        ++report_.altered;
        error_handler::instance().set_context(report_.name, record_number);
        report(tk_exception(note, 0));
    }

    // The errors of the table the console did not show.
    int64_t unshown() const noexcept { return unshown_; }

  private:
    // Once the user has chosen to stop, the rest of the batch under way is still counted and
    // saved, but shown no more: the log keeps it.
    void report(const tk_exception& why) {
        error_handler& handler = error_handler::instance();
        if (stopped_ ||
            (driver_.program_ == program::agent && shown_ >= console_errors_per_table)) {
            handler.trace_only(why);
            ++unshown_;
            return;
        }
        ++shown_;
        try {
            handler.handle(why, false);
        } catch (const tk_final_exception&) {
            stopped_ = true;
            throw;
        }
    }

    dorvex_convertor& driver_;
    table_report& report_;
    const udb_schema& columns_;
    int64_t shown_ = 0;
    int64_t unshown_ = 0;
    bool stopped_ = false;
};

void dorvex_convertor::convert_entry(run_state& state, const std::wstring& name,
                                     const std::wstring& query) {
    set_current_table(name);
    records_done = 0;
    records_total = 0;
    report_.tables.emplace_back();
    table_report& entry = report_.tables.back();
    entry.name = name;
    entry_open_ = true;
    const auto started = std::chrono::steady_clock::now();
    const auto finish = [&] {
        entry.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        entry_open_ = false;
    };
    try {
        const std::unique_ptr<sql_recordset> source = open_source(state, name, query);
        if (source->schema.empty()) {
            finish();
            return;
        }
        const std::wstring destination = oracle_name_for(state, name);
        ora_database& oracle = state.destination;
        if (oracle.is_table_exist(destination) && !handle_existing_table(destination)) {
            tk_trace_w(3, L"Table %ls exists in Oracle and is skipped", destination.c_str());
            entry.destination = destination;
            entry.result = table_report::outcome::skipped;
            finish();
            return;
        }
        const bool merge = oracle.is_table_exist(destination);
        const std::unique_ptr<ora_table> table =
            merge ? oracle.get_ora_table(destination, append_mode)
                  : oracle.create_ora_table(destination, source->schema,
                                            skip_idx ? udb_indexes() : source->indexes);
        entry.destination = destination;
        if (mode == mode_merge && !source->schema.conform_to(table->schema)) {
            throw tk_exception(nonconforming_message, 0);
        }
        if (destination != name) {
            tk_trace_w(2, L"Store generated table name '%ls'", destination.c_str());
            tk_trace_w(3, L"Table %ls is stored in Oracle as %ls", name.c_str(),
                       destination.c_str());
            state.validator->in_use.push_back(destination);
            oracle.names_map.add_tn_mapping(name, destination);
        }
        state.validator->restricted.push_back(destination);

        records_total = source->record_count();
        if (tab_def) {
            // No records are copied: their count would say otherwise.
            tk_trace_w(3, L"Converting table %ls", name.c_str());
            print(L"Converting table " + name);
            report_key_losses(*table, entry);
            entry.result = table_report::outcome::definition_only;
        } else {
            tk_trace_w(3, L"Converting table %ls (%lld records)", name.c_str(),
                       static_cast<long long>(records_total.load()));
            print(tk_wformat(L"Converting table %ls(%lld records)", name.c_str(),
                             static_cast<long long>(records_total.load())));
            report_key_losses(*table, entry);
            if (records_total != 0) {
                const std::optional<int64_t> before = traced_round_trips(oracle);
                copy_records(*source, *table, entry);
                if (const std::optional<int64_t> after = traced_round_trips(oracle);
                    before && after) {
                    tk_trace_w(3, L"Table %ls: %lld round trips to the Oracle server", name.c_str(),
                               static_cast<long long>(*after - *before));
                }
            }
        }
        // Here rather than in the table's destructor, which could only trace a failure; a
        // sequence that continues after the copied keys comes after them.
        table->commit();
        table->complete_auto_increment();
    } catch (const tk_exception& e) {
        entry.result = table_report::outcome::failed;
        error_handler& handler = error_handler::instance();
        handler.set_context(name);
        entry.failure = handler.message_for(e);
        finish();
        handler.handle(e, false);
        return;
    }
    finish();
}

// Each key or index of the source the new table lacks is an error of level 0 with the table.
void dorvex_convertor::report_key_losses(const ora_table& table, table_report& entry) {
    error_handler& handler = error_handler::instance();
    for (const ora_key_loss& loss : table.key_losses) {
        entry.keys_lost.push_back(loss.index);
        handler.set_context(entry.name);
        handler.handle(tk_exception(loss.message, 0), false);
    }
}

// The destination's round trips so far, read only when the log would show them.
std::optional<int64_t> dorvex_convertor::traced_round_trips(ora_database& destination) {
    tk_trace_log* log = tk_trace_log::instance_or_null();
    if (log == nullptr || !log->enabled() || !log->accepts(3)) {
        return std::nullopt;
    }
    return destination.round_trips();
}

void dorvex_convertor::copy_records(sql_recordset& source, ora_table& destination,
                                    table_report& entry) {
    record_reporter reporter(*this, entry, source.schema);
    destination.set_record_sink(&reporter);
    const int64_t stored_before = destination.stored();
    // The sink lives in this frame: the table must not call it after the records are copied,
    // whatever ends the copy; the records still staged are written first, so that the ones
    // Oracle refuses are reported. The console's closing line for the table comes last.
    struct detach {
        dorvex_convertor& driver;
        ora_table& table;
        const record_reporter& reporter;
        table_report& entry;
        int64_t stored_before;
        ~detach() {
            if (table.pending() > 0) {
                try {
                    table.commit();
                } catch (const tk_final_exception&) {
                    // The user stopped the run on a record of these: the stop is on its way.
                } catch (const std::exception& e) {
                    tk_trace(3, "The records staged could not be written: %s", e.what());
                }
            }
            entry.written = table.stored() - stored_before;
            table.set_record_sink(nullptr);
            console_progress::clear();
            driver.tell_unshown(entry, reporter.unshown());
        }
    } detached{*this, destination, reporter, entry, stored_before};
    const auto started = std::chrono::steady_clock::now();
    // The first line comes with the first records, then one every 200 ms.
    auto shown = started - std::chrono::milliseconds(200);
    // The source is read on a thread of its own while the records are written here.
    record_pipe pipe(source, {});
    record_pipe::batch batch;
    while (pipe.next(batch)) {
        for (udb_record& record : batch.records) {
            stop_if_requested();
            tk_trace(1, "Converting %lld record", static_cast<long long>(records_done.load()));
            ++entry.read;
            copy_record(destination, reporter, record);
            ++records_done;
            if ((records_done & 0x3F) == 0 && console_progress::enabled()) {
                const auto now = std::chrono::steady_clock::now();
                if (now - shown >= std::chrono::milliseconds(200)) {
                    shown = now;
                    const double seconds = std::chrono::duration<double>(now - started).count();
                    console_progress::show(entry.name, records_done, records_total,
                                           seconds > 0 ? records_done / seconds : 0);
                }
            }
        }
    }
    destination.commit();
}

void dorvex_convertor::copy_record(ora_table& destination, record_reporter& reporter,
                                   udb_record& record) {
    try {
        destination.append_record(record);
    } catch (const tk_exception& e) {
        // A value Oracle refuses, or one that cannot take the column's type, costs this
        // record only; it is reported as the table reports the records it refuses. Failures
        // of the source end the table (they are sql_exception).
        if (dynamic_cast<const ora_exception*>(&e) == nullptr &&
            dynamic_cast<const ole_type_exception*>(&e) == nullptr && e.level() != 0) {
            throw;
        }
        reporter.record_rejected(records_done + 1, record, e);
    }
}

void dorvex_convertor::save_rejected(const std::wstring& table, const std::string& error,
                                     const udb_schema& columns, const udb_record& record) {
    if (!rejects_) {
        std::string folder = rejects_folder;
        if (folder.empty() && !log_file().empty()) {
            const size_t slash = log_file().find_last_of('/');
            folder = slash == std::string::npos ? std::string(".") : log_file().substr(0, slash);
        }
        rejects_ = std::make_unique<rejects_file>(folder, source_database);
    }
    try {
        rejects_->add(table, error, columns, record);
        report_.rejects_file = rejects_->path();
    } catch (const tk_exception& e) {
        // Said once: the records are still reported one by one and kept in the log.
        if (!rejects_failed_) {
            rejects_failed_ = true;
            error_handler::instance().handle(e, false);
        }
    }
}

void dorvex_convertor::tell_unshown(const table_report& entry, int64_t unshown) {
    if (unshown == 0) {
        return;
    }
    std::wstring where;
    if (!report_.rejects_file.empty()) {
        where = L"; the rejected records are in " + platform::utf8_to_wide(report_.rejects_file);
    }
    if (!log_file().empty()) {
        where += L"; every error is in the log " + platform::ansi_to_wide(log_file());
    }
    print(tk_wformat(L"%lld more errors in table %ls are not shown",
                     static_cast<long long>(unshown), entry.name.c_str()) +
          where);
}

void dorvex_convertor::print_summary() {
    for (const std::wstring& line : report_.summary_lines()) {
        tk_trace_w(3, L"%ls", line.c_str());
        print(line);
    }
}

void dorvex_convertor::end_early(const std::string& why) {
    report_.ended_early = true;
    // The entry the run was in has not finished.
    if (entry_open_ && !report_.tables.empty()) {
        report_.tables.back().result = table_report::outcome::failed;
        report_.tables.back().failure = why;
    }
    entry_open_ = false;
}

void dorvex_convertor::stop_if_requested() const {
    // The wizard asks a running conversion to end (its worker thread cannot be killed); the
    // run then ends as after the user's Abort, quietly.
    if (stop_requested()) {
        throw tk_final_exception();
    }
}

void dorvex_convertor::print(const std::wstring& line) const {
    if (program_ != program::agent || silent()) {
        return;
    }
    console_progress::clear();
    const std::string text = tk_ucs2_to_ansi(line);
    std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
}

void dorvex_convertor::report_standard_error(const std::string& text) const {
    tk_trace(3, "ERROR:\n%s", text.c_str());
    if (standard_error_reporter) {
        standard_error_reporter(text);
    }
}

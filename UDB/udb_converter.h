// The generic converter: what every conversion holds whatever its two sides are, the progress
// of a run and the profile operations for the choice of tables and custom queries.
//
// The conversion driver derives from it. The switches that the driver keeps with its other
// settings (source database, table list, the two definition switches) are reached through
// generic_settings(), so that they live in one place.
//
// Threads: the run writes the progress fields on its own thread while the wizard reads them
// from the window thread every 200 ms: the counters are atomic and current_table is guarded by
// a lock. Everything else is used by one thread at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "TK/tk_converter.h"
#include "UDB/udb_profile.h"

class udb_converter : public tk_converter {
  public:
    // Name to SELECT text (empty for a table), in UTF-16 code-unit order: "B" before "a".
    using query_map = std::map<std::wstring, std::wstring, udb_code_unit_less>;

    udb_converter();
    ~udb_converter() override;

    // Adds the profile's table and query choice and generic settings to the converter: the
    // selection grows, settings whose key is absent or empty keep their values. True unless a
    // part refused the profile.
    virtual bool load_profile(const udb_profile& profile);
    // Writes the choice and the generic settings into the profile. Always true.
    virtual bool store_profile(udb_profile& profile);

    // Runs a statement against the source to see whether it is accepted; the base has no
    // source and says no.
    virtual bool test_source_statement(const std::wstring& statement);

    // The source name of the table or query being converted.
    std::wstring current_table() const;
    void set_current_table(const std::wstring& name);

    std::atomic<int64_t> records_total{0};
    std::atomic<int64_t> records_done{0};
    std::atomic<int32_t> tables_total{0};
    std::atomic<int32_t> tables_done{0};

    // Tables (empty text) and custom queries (their SELECT text) of the run.
    query_map selected_queries;
    // Custom queries the user keeps without converting them.
    query_map unselected_queries;
    // The generic destination name and mode of profile files; the conversion into Oracle does
    // not use them.
    std::wstring destination_name;
    int32_t generic_mode = 0;

  protected:
    // References to the settings that the derived converter keeps.
    struct generic_settings_ref {
        std::wstring& source_database;
        std::vector<std::wstring>& selected_tables;
        bool& tab_def;
        bool& skip_idx;
    };
    virtual generic_settings_ref generic_settings() = 0;

  private:
    mutable std::mutex current_table_mutex_;
    std::wstring current_table_;
};

// How a profile value reads as a switch. "only definitions" and "skip indexes" count every
// value but "0" as true; "use TNS", "uppercase", "BLOB to text" and the dump switches only "1".
bool udb_profile_true_unless_zero(const std::wstring& value);
bool udb_profile_true_if_one(const std::wstring& value);
const wchar_t* udb_profile_flag(bool value);

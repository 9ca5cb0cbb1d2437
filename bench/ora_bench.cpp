// Measures the Oracle insert path against the embedded target: append_record of plain records
// (rows/s) and of records with a CLOB and a BLOB (MB/s of large values).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "ORA/ora_database.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_table.h"
#include "ORA/ora_validator.h"
#include "ORA/oralite_target.h"
#include "platform/codepage.h"

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

udb_record make_record(const udb_schema& schema, std::vector<ole_variant> values) {
    udb_record record;
    for (size_t i = 0; i < values.size(); ++i) {
        record.fields.emplace_back(schema[i].name, schema[i].size, std::move(values[i]));
    }
    return record;
}

void check_count(const std::wstring& table, int rows) {
    const int64_t stored = ora_engine::instance().get_records_cnt(table, false);
    if (stored != rows) {
        throw std::runtime_error("stored " + std::to_string(stored) + " of " +
                                 std::to_string(rows) + " records");
    }
}

// The build's bin folder, beside this program's bench folder.
void find_build_outputs() {
    const std::filesystem::path bench =
        std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string bin = (bench.parent_path() / "bin").string();
    setenv("TARVOLIN_BIN_DIR", bin.c_str(), 0);
    setenv("TARVOLIN_OCI_LIBRARY", (bin + "/liboralite.so").c_str(), 0);
}

// commit_interval 1 commits every record on its own, as a record-at-a-time writer would.
void plain_rows(ora_database& db, const std::wstring& name, int rows, int commit_interval) {
    udb_schema schema;
    schema.add(t_ftd(L"id", VT_I4, 0, true));
    schema.add(t_ftd(L"name", VT_BSTR, 100));
    schema.add(
        t_ftd(L"amount", VT_DECIMAL, 0, false, false, ole_variant(), t_ftd::pack_precision(12, 2)));
    schema.add(t_ftd(L"created", VT_DATE, 0, false, false, ole_variant(), 1));
    schema.add(t_ftd(L"ratio", VT_R8, 0));
    schema.add(t_ftd(L"flag", VT_BOOL, 0));
    udb_indexes indexes;
    udb_index primary;
    primary.name = L"PRIMARY";
    primary.is_primary = primary.is_unique = true;
    primary.fields = {L"id"};
    indexes.push_back(primary);
    std::unique_ptr<ora_table> table = db.create_ora_table(name, schema, indexes);
    if (commit_interval > 0) {
        table->set_commit_interval(commit_interval);
    }
    SYSTEMTIME when;
    when.wYear = 2024;
    when.wMonth = 5;
    when.wDay = 17;
    when.wHour = 13;
    const auto start = clock_type::now();
    for (int i = 0; i < rows; ++i) {
        udb_record record = make_record(
            schema, {ole_variant(i), ole_variant(L"Customer name number " + std::to_wstring(i)),
                     ole_variant::from_wstring(std::to_wstring(i) + L".25", VT_DECIMAL),
                     ole_variant(when), ole_variant(i / 7.0), ole_variant(i % 2 == 0)});
        table->append_record(record);
    }
    table.reset();  // commits the last batch
    const double elapsed = seconds_since(start);
    check_count(name, rows);
    std::printf("plain records (%s): %d in %.2f s = %.0f rows/s\n",
                commit_interval == 1 ? "commit per record" : "batched commits", rows, elapsed,
                rows / elapsed);
}

void lob_rows(ora_database& db, int rows, size_t kib) {
    udb_schema schema;
    schema.add(t_ftd(L"id", VT_I4, 0, true));
    schema.add(t_ftd(L"doc", VT_BSTR, 0));
    schema.add(t_ftd(L"pic", VT_ARRAY_UI1, 0));
    std::unique_ptr<ora_table> table = db.create_ora_table(L"bench_lobs", schema, {});
    const std::wstring text(kib * 1024, L'x');
    const std::vector<uint8_t> bytes(kib * 1024, 0x5A);
    const auto start = clock_type::now();
    for (int i = 0; i < rows; ++i) {
        udb_record record =
            make_record(schema, {ole_variant(i), ole_variant(text), ole_variant(bytes)});
        table->append_record(record);
    }
    table.reset();
    const double elapsed = seconds_since(start);
    check_count(L"bench_lobs", rows);
    const double megabytes = rows * 2.0 * static_cast<double>(kib) / 1024.0;
    std::printf(
        "records with a %zu KiB CLOB and a %zu KiB BLOB: %d in %.2f s = %.0f rows/s, "
        "%.1f MB/s\n",
        kib, kib, rows, elapsed, rows / elapsed, megabytes / elapsed);
}

}  // namespace

int main(int argc, char** argv) {
    platform::init_locale();
    find_build_outputs();
    const int rows = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int lobs = argc > 2 ? std::atoi(argv[2]) : 200;
    const size_t kib = argc > 3 ? static_cast<size_t>(std::atoi(argv[3])) : 256;
    try {
        test_support::oralite_target target;
        target.create_database("BENCH");
        ora_engine engine;
        {
            auto system = engine.open_db(L"BENCH", L"SYSTEM", L"manager");
            system->query(L"CREATE USER bench IDENTIFIED BY bench");
            system->query(L"GRANT CONNECT, RESOURCE TO bench");
        }
        auto db = engine.open_db(L"BENCH", L"bench", L"bench");
        ora_in_validator names;
        plain_rows(*db, L"bench_rows", rows, 0);
        plain_rows(*db, L"bench_rows_single", std::min(rows, 5000), 1);
        lob_rows(*db, lobs, kib);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ora_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}

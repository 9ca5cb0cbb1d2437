#include "core/run_report.h"

#include <numeric>

namespace {

int64_t sum(const std::vector<table_report>& tables, int64_t table_report::*field) {
    return std::accumulate(
        tables.begin(), tables.end(), int64_t{0},
        [field](int64_t total, const table_report& t) { return total + t.*field; });
}

}  // namespace

bool run_report::clean() const {
    if (ended_early) {
        return false;
    }
    for (const table_report& table : tables) {
        if (table.result == table_report::outcome::failed || table.rejected != 0 ||
            table.altered != 0) {
            return false;
        }
    }
    return true;
}

int64_t run_report::total_read() const {
    return sum(tables, &table_report::read);
}

int64_t run_report::total_written() const {
    return sum(tables, &table_report::written);
}

int64_t run_report::total_rejected() const {
    return sum(tables, &table_report::rejected);
}

int64_t run_report::total_altered() const {
    return sum(tables, &table_report::altered);
}

#include "core/run_report.h"

#include <algorithm>
#include <numeric>

#include "TK/tk_text.h"
#include "platform/codepage.h"

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
            table.altered != 0 || !table.keys_lost.empty()) {
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

namespace {

std::wstring figures(int64_t read, int64_t written, int64_t rejected, int64_t altered,
                     double seconds) {
    const std::wstring rate =
        seconds >= 0.001 ? tk_wformat(L"%lld", static_cast<long long>(written / seconds)) : L"-";
    return tk_wformat(L"%12lld %12lld %10lld %9lld %9.2f %10ls", static_cast<long long>(read),
                      static_cast<long long>(written), static_cast<long long>(rejected),
                      static_cast<long long>(altered), seconds, rate.c_str());
}

std::wstring padded(const std::wstring& text, size_t width) {
    return text.size() >= width ? text + L" " : text + std::wstring(width - text.size(), L' ');
}

}  // namespace

std::vector<std::wstring> run_report::summary_lines() const {
    std::vector<std::wstring> names;
    for (const table_report& table : tables) {
        names.push_back(table.destination.empty() || table.destination == table.name
                            ? table.name
                            : table.name + L" -> " + table.destination);
    }
    size_t width = 8;
    for (const std::wstring& name : names) {
        width = std::max(width, std::min<size_t>(name.size() + 1, 48));
    }
    std::vector<std::wstring> lines;
    lines.push_back(L"Summary:");
    lines.push_back(padded(L"table", width) +
                    L"        read      written   rejected   altered   seconds     rows/s");
    double seconds = 0;
    for (size_t k = 0; k < tables.size(); ++k) {
        const table_report& t = tables[k];
        seconds += t.seconds;
        std::wstring line = padded(names[k], width);
        switch (t.result) {
            case table_report::outcome::skipped:
                line += L"skipped (the Oracle table exists)";
                break;
            case table_report::outcome::definition_only:
                line += L"definition only";
                break;
            case table_report::outcome::failed:
                line += figures(t.read, t.written, t.rejected, t.altered, t.seconds) +
                        L"  failed: " + platform::ansi_to_wide(t.failure);
                break;
            case table_report::outcome::converted:
                line += figures(t.read, t.written, t.rejected, t.altered, t.seconds);
                break;
        }
        lines.push_back(line);
        if (!t.keys_lost.empty()) {
            std::wstring keys;
            for (const std::wstring& key : t.keys_lost) {
                keys += (keys.empty() ? L"" : L", ") + key;
            }
            lines.push_back(padded(L"", width) + L"keys not made as in MySQL: " + keys);
        }
    }
    lines.push_back(padded(L"total", width) + figures(total_read(), total_written(),
                                                      total_rejected(), total_altered(), seconds));
    if (ended_early) {
        lines.push_back(L"The run ended before its last table.");
    }
    if (!rejects_file.empty()) {
        lines.push_back(L"The rejected records were saved in " +
                        platform::utf8_to_wide(rejects_file));
    }
    return lines;
}

// What became of a conversion run, table by table: the figures the agent's summary, its exit
// status and the wizard's finish page are made of.
//
// The conversion driver fills one run_report per run (dorvex_convertor::last_report) on the
// thread of the run; others read it once the run has finished. A plain value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One entry of a run: a table or a custom query.
struct table_report {
    enum class outcome {
        converted,        // created or merged, records copied
        definition_only,  // created, no records copied (definitions only)
        skipped,          // an Oracle table of its name existed and was left alone
        failed,           // the entry ended with an error
    };

    // The source name of the table or query.
    std::wstring name;
    // The Oracle table's name (empty when none was reached).
    std::wstring destination;
    outcome result = outcome::converted;
    // Records read from the source, stored in Oracle, and not stored (reported).
    int64_t read = 0;
    int64_t written = 0;
    int64_t rejected = 0;
    // Values stored altered under a documented rule (reported).
    int64_t altered = 0;
    double seconds = 0;
    // Why the entry failed (its message as the user saw it), when it did.
    std::string failure;
    // The source's keys and indexes the Oracle table lacks or has in a weaker form (reported).
    std::vector<std::wstring> keys_lost;
};

struct run_report {
    std::vector<table_report> tables;
    // The run ended before its last entry (an error that stops the work, or the user's stop).
    bool ended_early = false;
    // Where the records that did not arrive were saved; empty when there were none.
    std::string rejects_file;

    // Whether every entry arrived whole: no entry failed, no record was rejected, no value
    // altered and no key lost, and the run went to its end.
    bool clean() const;
    int64_t total_read() const;
    int64_t total_written() const;
    int64_t total_rejected() const;
    int64_t total_altered() const;

    // The summary as the agent prints it and the wizard shows it: a header, one line per entry
    // (rows read, written, rejected, values altered, seconds, rows per second; "skipped",
    // "definition only" or the failure instead where they apply; the Oracle name when it is
    // not the source's; the keys not made as in the source on a line of their own), the totals,
    // and where the rejected records were saved.
    std::vector<std::wstring> summary_lines() const;
};

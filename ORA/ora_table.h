// One destination table opened for records (the insert path), readable row by row as well.
//
// ora_table learns the table's columns as Oracle reports them (types, sizes, NOT NULL,
// defaults). append_record turns a record's values into the values Oracle stores (the value
// rules of ora_value_binding) and stages them in an ora_insert_batch, which writes a whole batch
// with one array INSERT (large values bound in the same call) and commits it. A record whose
// large values are beyond what is bound directly (inline_lob_bytes) goes alone through LOB
// locators (ora_lob_insert) and is committed with them; when a write fails its row is rolled
// back, so a committed row never lacks its large values.
//
// Reporting: with a record sink, a record Oracle refuses is reported to the sink with its own
// number and error once its batch is written, and the records around it stay; values stored
// altered are reported for the records that went in. A full batch is written when the next
// record comes, on the insert path's worker thread (ora_background) while the next one is
// staged. Two batches are on their way at most, one being written and one in line, so that the
// worker never waits for the next; their rows are told to the sink by the append_record that
// sends a batch after them, or by commit; so a sink hears of a record three batches late at
// most, always in record order and always on the appending thread.
// Without a sink every record is written at once and its failure raised from append_record.
//
// Failures: ora_exception from Oracle, ora_value_rejected for a value its column cannot hold,
// tk_exception for a record whose value count differs from the column count. One thread at a
// time (besides the worker, which touches the batch it writes only).
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_schema_initializer.h"
#include "ORA/ora_type.h"
#include "ORA/ora_value_binding.h"
#include "UDB/udb_record_sink.h"

class ora_database;
class ora_insert_batch;
class ora_lob_insert;

class ora_table : public ora_query_results {
  public:
    // A table of the logged-on schema. mode 1 also reads its indexes and foreign keys.
    ora_table(const std::wstring& name, ora_database& database, int32_t mode);
    // The rows of a query, named name.
    ora_table(const std::wstring& name, const std::wstring& query, ora_database& database,
              int32_t mode);
    // Commits the records still pending.
    ~ora_table() override;

    // Stages the record, after writing the batch before it when that is full (see the header
    // comment). With a sink, a record that cannot be stored is reported to it; false when this
    // record was refused at once (a value its column cannot hold); a record staged leaves its
    // values to the batch (record is left empty). Without one, the record is written now and
    // its failure raised. A failure of a batch's writing that is no record's refusal (a commit
    // that failed) raises tk_exception of level 1: the table has failed.
    bool append_record(udb_record& record) override;
    // Where append_record reports rejected records and altered values (not owned; null: none).
    void set_record_sink(udb_record_sink* sink) noexcept { sink_ = sink; }
    // Writes the records staged and makes every appended record durable now. A sink that
    // stops the run, or a batch that fails, does not keep the other batches from being written
    // and told; the first exception is raised afterwards.
    void commit();
    // ALTER TABLE ... MODIFY "{column}" NULL, once per column; tk_mail_assertion for a
    // position outside the schema.
    void reset_not_null_flag(size_t column);

    bool is_eof() override;
    int64_t next() override;

    // Records written and committed together (1 commits every record), up to the batch's
    // bound of rows.
    void set_commit_interval(int32_t records);
    // Takes the column details only the source knows (the date kind of a TIME column, the
    // auto-increment flag) from the schema the table was created from.
    void adopt_created_schema(const udb_schema& created);
    // The auto-increment column whose sequence must start after the keys copied (its source
    // gave no counter): complete_auto_increment makes it.
    void defer_auto_increment(const std::wstring& column) { deferred_key_ = column; }
    // After the records: commits them, then creates the deferred sequence, starting after the
    // largest key stored, and its trigger. Nothing when nothing was deferred. A largest key
    // beyond what a sequence holds (1e28) raises tk_exception (level 0): no sequence is made.
    void complete_auto_increment();

    ole_variant get_def_value(VARTYPE kind, const std::wstring& text) const;
    int32_t get_columns_cnt();

    const std::wstring& table_name() const noexcept { return name; }
    int32_t mode() const noexcept { return mode_; }
    // The keys and indexes of the source that a table just created lacks, or has in another
    // form, and why (set by ora_database::create_ora_table).
    std::vector<ora_key_loss> key_losses;
    // Foreign keys that reference the primary key (mode 1 only).
    const udb_relationships& foreign_keys() const noexcept { return foreign_keys_; }
    // Appended records staged and not yet written.
    int64_t pending() const noexcept;
    // Records this table has stored since it was opened (committed).
    int64_t stored() const noexcept { return stored_; }
    // A large value longer than this (bytes of UTF-16 text, or bytes) is written through its
    // locator rather than bound in the INSERT.
    static size_t inline_lob_bytes();

  private:
    void init_schema();
    void init_indexes();
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> expression_columns();
    void reopen_for_reading();
    void check_width(const udb_record& record) const;
    void check_length(size_t column, const std::wstring& text) const;
    // Stages the record's values (see the header comment): ora_value_rejected when a column
    // cannot hold one. Returns whether the record goes through locators.
    bool stage_record(const udb_record& record);
    // Whether a large value of the record is beyond what is bound directly.
    bool needs_locators(const udb_record& record);
    void stage_value(size_t column, const udb_field& value);
    const ole_variant& as_kind(size_t column, const udb_field& value, VARTYPE kind, bool binary);
    // A CLOB or BLOB column's value as it is bound: text, or bytes.
    const ole_variant& large_value(size_t column, const udb_field& value);
    // Whether such a value is longer than inline_lob_bytes (UTF-16 bytes of a text).
    static bool beyond_inline(const ole_variant& large, ora_bind_kind kind);
    // Lets the columns that must take a NULL of this record accept it (ALTER TABLE).
    void relax_not_null();
    // Writes the batch and counts what went in; the sink hears of the rest. With a sink the
    // batch goes to the insert path's worker (ora_background) and is collected by the next
    // flush or commit; without one it is written now.
    void flush();
    // Counts the batches sent to the worker and tells the sink of their rows, oldest first,
    // waiting for each, until at most `keep` are left on their way.
    void collect(size_t keep = 0);
    // Runs write (a batch's writing or finishing) and adds the rows it stored to count.
    void counting_stored(const std::function<void()>& write);
    // A new batch for the records, bounded by the commit interval.
    std::unique_ptr<ora_insert_batch> new_batch() const;
    // Writes the only record staged with its large values through locators, and commits it.
    void write_through_locators();

    ora_database& database_;
    int32_t mode_;
    udb_relationships foreign_keys_;
    // A batch sent to the worker, with what its writing raised and its job's ticket.
    struct in_flight {
        std::unique_ptr<ora_insert_batch> batch;
        std::exception_ptr failure;
        uint64_t job = 0;
    };
    // The batch being staged; those sent before it, oldest first, until collected; an empty
    // batch collected, kept to stage the next records.
    std::unique_ptr<ora_insert_batch> batch_;
    std::deque<std::unique_ptr<in_flight>> writing_;
    std::unique_ptr<ora_insert_batch> spare_;
    std::unique_ptr<ora_lob_insert> lobs_;
    int64_t position_ = 0;
    int32_t commit_interval_ = 1000;
    bool reading_ = false;
    udb_record_sink* sink_ = nullptr;
    std::wstring deferred_key_;
    // Records given to append_record so far: the number of the next one is given_ + 1.
    int64_t given_ = 0;
    int64_t stored_ = 0;
    // Per column of the record being staged: the large value to write through its locator,
    // converted copies, and whether it takes a NULL that the column must accept.
    std::vector<const ole_variant*> lob_values_;
    std::vector<ole_variant> converted_;
    std::vector<bool> takes_null_;
    // How each column's values are bound, decided once.
    std::vector<ora_bind_kind> kinds_;
    // What the current record's values were stored as, where a rule altered them.
    std::vector<std::string> notes_;
};

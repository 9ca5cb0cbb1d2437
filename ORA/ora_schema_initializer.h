// Oracle DDL of one table from a source table's schema: CREATE TABLE with mapped column types,
// defaults and NOT NULL, and for an auto-increment column a sequence and a trigger; and the
// primary key, unique constraints and indexes (ora_indexes_initializer).
//
// Every name is written in double quotes, so Oracle keeps it exactly as generated. Column
// names that Oracle would refuse are replaced by safe ones (ora_fn_validator); the pairs
// (source name, generated name) are in generated_names(). The sequence starts at the source
// table's next AUTO_INCREMENT value, or after the largest key copied where the source has no
// counter, so rows inserted after the migration get new keys.
// Errors are ora_exception, the missing CREATE SEQUENCE privilege a tk_exception. One thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ORA/ora_validator.h"
#include "UDB/udb_schema.h"

class ora_database;

class ora_schema_initializer {
  public:
    ora_schema_initializer(const std::wstring& table, const udb_schema& source_fields,
                           bool uppercase);

    // CREATE TABLE "{table}" ("{column}" {type} [DEFAULT {value}] [NOT NULL], ...)
    std::wstring get_init_str() const;
    // The DEFAULT value of a column as Oracle SQL; empty for no DEFAULT clause.
    static std::wstring make_ora_def_val(const t_ftd& field);

    // Runs CREATE TABLE.
    void create_table(ora_database& database) const;
    // For an auto-increment column whose source gave a counter: the sequence, starting at the
    // counter, and the trigger. Without a counter (a view, a custom query) nothing happens
    // here: the sequence must start after the keys copied, so it is made after the records
    // (ora_table::complete_auto_increment). The missing privilege to create a sequence raises
    // tk_exception "Insufficient privileges to create sequence.\nAuto increment will not be
    // converted."; a trigger that cannot be made is traced and the table stays without it.
    void create_auto_increment(ora_database& database) const;
    // The same for a table and column with the sequence's first value (decimal text).
    static void create_auto_increment(ora_database& database, const std::wstring& table,
                                      const std::wstring& column, const std::wstring& start);
    // Creates "{base}_{n}" for the first free n of 0..99; empty when none is free.
    static std::wstring create_sequence(ora_database& database, const std::wstring& table,
                                        const std::wstring& start);
    static void create_trigger(ora_database& database, const std::wstring& table,
                               const std::wstring& column, const std::wstring& sequence);
    // Whether the sequence waits for the records (an auto-increment column without counter).
    bool defers_auto_increment() const noexcept {
        return !auto_increment_.empty() && !sequence_start_;
    }

    // "{table}_{n}" cut so that it fits Oracle's 30 bytes.
    static std::wstring sequence_name(const std::wstring& table, int n);
    // "{table}__TRIGGER" when that fits, else the sequence's own name (triggers have their
    // own namespace, and the sequence name is unique).
    static std::wstring trigger_name(const std::wstring& table, const std::wstring& sequence);

    const std::wstring& table() const noexcept { return table_; }
    // The destination columns, in source order.
    const udb_schema& fields() const noexcept { return fields_; }
    const t_names_map& generated_names() const noexcept { return validator_.mapped; }
    // Empty when the table has no auto-increment column.
    const std::wstring& auto_increment_column() const noexcept { return auto_increment_; }
    // The source's counter, where the sequence starts; none when it comes after the records.
    std::optional<uint64_t> sequence_start() const noexcept { return sequence_start_; }

  private:
    std::wstring table_;
    bool uppercase_;
    udb_schema fields_;
    ora_fn_validator validator_;
    std::wstring auto_increment_;
    std::optional<uint64_t> sequence_start_;
};

// The first value of a sequence that continues after the largest key copied (Oracle's text
// of MAX(key), empty when the table is empty): its whole part plus one, 1 for no key.
std::wstring ora_sequence_start_after(const std::wstring& largest);

// A key or index the destination does not have as the source had it, and why.
struct ora_key_loss {
    std::wstring index;
    std::wstring message;
};

// The primary key, unique keys and indexes of one new table.
//
// A unique key of several columns, one of them nullable, becomes a unique function-based index
// whose expressions are NULL for a row with a NULL part: such rows take no part in the key,
// which is MySQL's rule (Oracle's own constraint would compare the non-NULL parts, and refuse
// rows MySQL holds). Where Oracle takes no such index, the key becomes a plain index.
// What cannot be made (a column that became a LOB, a key longer than Oracle's limit) is left
// out and listed in losses(), so that the user hears of it.
class ora_indexes_initializer {
  public:
    // fields: the generated columns; column_names: the pairs (source, generated) of the
    // renamed columns. Index names are checked against the run's ora_in_validator, which
    // must exist.
    ora_indexes_initializer(const std::wstring& table, const udb_schema& fields,
                            const udb_indexes& source_indexes, const t_names_map& column_names);

    // Creates the primary key, the unique constraints and the indexes, in list order. An
    // Oracle error other than the refusals above raises ora_exception.
    void build_indexes(ora_database& database);
    // The statement of the index at that position of indexes(); empty when it is skipped
    // (equal to the primary key).
    std::wstring index_statement(size_t position) const;

    const udb_indexes& indexes() const noexcept { return indexes_; }
    // The position of the primary key in indexes(), -1 when there is none.
    int32_t primary_position() const noexcept { return primary_; }
    // The keys and indexes not made as the source had them.
    const std::vector<ora_key_loss>& losses() const noexcept { return losses_; }

  private:
    // The key's columns, each written as a CASE that is NULL when any part of the key is.
    std::wstring null_skipping_columns(const udb_index& index) const;
    void lose(const udb_index& index, const std::wstring& why);
    // Runs the statement. An equal index already there is enough; a key too long is lost
    // (listed in losses()); any other refusal raises ora_exception.
    void try_create(ora_database& database, const udb_index& index, const std::wstring& sql);

    int32_t primary_ = -1;
    std::wstring table_;
    udb_indexes indexes_;
    // Per index: a unique key that leaves out rows with a NULL part.
    std::vector<bool> skips_null_parts_;
    std::vector<ora_key_loss> losses_;
};

// "The primary key", "The unique key" or "The index", as messages name an index.
std::wstring ora_index_kind(const udb_index& index);

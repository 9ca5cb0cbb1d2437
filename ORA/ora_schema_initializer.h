// Oracle DDL of one table from a source table's schema: CREATE TABLE with mapped column types,
// defaults and NOT NULL, and for an auto-increment column a sequence and a trigger; and the
// primary key, unique constraints and indexes (ora_indexes_initializer).
//
// Every name is written in double quotes, so Oracle keeps it exactly as generated. Column
// names that Oracle would refuse are replaced by safe ones (ora_fn_validator); the pairs
// (source name, generated name) are in generated_names(). The sequence starts at the source
// table's next AUTO_INCREMENT value, so rows inserted after the migration get new keys.
// Errors are ora_exception, the missing CREATE SEQUENCE privilege a tk_exception. One thread.
#pragma once

#include <cstdint>
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
    // For an auto-increment column: the sequence and the trigger. The missing privilege to
    // create a sequence raises tk_exception "Insufficient privileges to create
    // sequence.\nAuto increment will not be converted."; a trigger that cannot be made is
    // traced and the table stays without it.
    void create_auto_increment(ora_database& database) const;
    // Creates "{base}_{n}" for the first free n of 0..99; empty when none is free.
    std::wstring create_sequence(ora_database& database) const;
    void create_trigger(ora_database& database, const std::wstring& sequence) const;

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
    int64_t sequence_start() const noexcept { return sequence_start_; }

  private:
    std::wstring table_;
    bool uppercase_;
    udb_schema fields_;
    ora_fn_validator validator_;
    std::wstring auto_increment_;
    int64_t sequence_start_ = 1;
};

class ora_indexes_initializer {
  public:
    // fields: the generated columns; column_names: the pairs (source, generated) of the
    // renamed columns. Index names are checked against the run's ora_in_validator, which
    // must exist.
    ora_indexes_initializer(const std::wstring& table, const udb_schema& fields,
                            const udb_indexes& source_indexes, const t_names_map& column_names);

    // Creates the primary key, the unique constraints and the indexes, in list order.
    void build_indexes(ora_database& database) const;
    // The statement of one index; empty when it is skipped (equal to the primary key).
    std::wstring index_statement(const udb_index& index) const;

    const udb_indexes& indexes() const noexcept { return indexes_; }
    // The position of the primary key in indexes(), -1 when there is none.
    int32_t primary_position() const noexcept { return primary_; }

  private:
    int32_t primary_ = -1;
    std::wstring table_;
    udb_indexes indexes_;
};

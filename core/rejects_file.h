// The file that keeps every record that did not arrive in Oracle, as MySQL statements that can
// be replayed against MySQL or edited: for each record the error as an SQL comment, then the
// record as it was read from MySQL as an INSERT with the original column names (binary values
// as hexadecimal literals). "{database}.rejects.sql" in the folder given; the file is made at
// the first record only, and never over an earlier one: "{database}.rejects.2.sql" and so on.
//
// One thread at a time (the run's). Failures to write raise tk_exception (level 0) with the
// path and the system's reason; the records written before stay in the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "UDB/udb_database.h"

class rejects_file {
  public:
    // folder: where the file goes (empty: the current folder); database: the source database.
    rejects_file(std::string folder, std::wstring database);
    ~rejects_file();
    rejects_file(const rejects_file&) = delete;
    rejects_file& operator=(const rejects_file&) = delete;

    // Adds one record of the table. columns: the source's columns (generated ones are left
    // out of the INSERT, MySQL computes them); record: the values in the same order.
    void add(const std::wstring& table, const std::string& error, const udb_schema& columns,
             const udb_record& record);

    // The file's path once it was made; empty before.
    const std::string& path() const noexcept { return path_; }
    // The records written.
    int64_t records() const noexcept { return records_; }

  private:
    void create();

    struct closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::string folder_;
    std::wstring database_;
    std::string path_;
    std::unique_ptr<std::FILE, closer> file_;
    int64_t records_ = 0;
};

// A value as a MySQL literal: NULL, a number in its shortest exact text, a quoted text with
// MySQL's escapes, X'...' for bytes, a quoted date, time or timestamp with its fraction.
std::string mysql_literal(const ole_variant& value);
// A name in backquotes, a backquote inside it doubled.
std::string mysql_quoted_name(const std::wstring& name);

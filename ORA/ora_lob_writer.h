// The locator path of the insert path: how a record whose large values are beyond what is bound
// directly reaches Oracle. Its INSERT puts EMPTY_CLOB()/EMPTY_BLOB() in those columns and returns
// the new row's ROWID (ora_get_rowid); ora_lob_insert then selects the row's LOB columns FOR
// UPDATE and writes each value through its locator in pieces of bounded size, so no second copy
// of a whole value is ever made. Only such records take this path; it costs a few round trips
// each.
//
// Failures are ora_exception; the caller rolls the row back (nothing else is pending then).
// One thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_engine.h"
#include "UDB/udb_schema.h"

// The RETURNING ROWID INTO bind of an INSERT, served by two callbacks.
class ora_get_rowid {
  public:
    // statement: the INSERT, prepared, ending in "RETURNING ROWID INTO :n" where position n is
    // its last placeholder.
    ora_get_rowid(ora_stmt& statement, uint32_t position);

    // Executes the statement once (no commit) and returns the ROWID text.
    std::wstring do_insert();

    // The input side of the RETURNING bind: no data.
    static int32_t cbf_no_data(void* context, OCIBind* bind, uint32_t iteration, uint32_t index,
                               void** buffer, uint32_t* length, uint8_t* piece, void** indicator);
    // The output side: the 512-byte buffer and its length word.
    static int32_t cbf_get_data(void* context, OCIBind* bind, uint32_t iteration, uint32_t index,
                                void** buffer, uint32_t** length, uint8_t* piece, void** indicator,
                                uint16_t** return_code);

  private:
    static constexpr uint32_t buffer_bytes = 512;

    ora_stmt& statement_;
    OCIBind* bind_ = nullptr;
    uint32_t length_ = buffer_bytes;
    char16_t buffer_[buffer_bytes / 2] = {};
};

// Writes the large values of one new row: selects its LOB columns FOR UPDATE by ROWID (one
// prepared statement per table) and writes each value given in pieces.
class ora_lob_insert {
  public:
    struct lob_column {
        size_t position;
        VARTYPE kind;
        std::wstring name;
    };

    // The most written in one call: 1 MiB of bytes, or of UTF-16 characters' bytes.
    static constexpr size_t piece_bytes = 1u << 20;

    // schema: the table's columns; the LOB columns among them are collected.
    ora_lob_insert(const std::wstring& table, const udb_schema& schema);
    ~ora_lob_insert();

    // Writes the values into the row: values holds one per column of the table, null where
    // there is nothing to write (the column keeps what the INSERT gave it).
    void insert(const std::vector<const ole_variant*>& values, const std::wstring& rowid);
    void write_clob(size_t column, const ole_variant& value);
    void write_blob(size_t column, const ole_variant& value);

    const std::vector<lob_column>& columns() const noexcept { return columns_; }

  private:
    std::wstring table_;
    std::vector<lob_column> columns_;
    std::vector<ora_lob_locator> locators_;
    std::unique_ptr<ora_stmt> select_;
    std::u16string rowid_;
    int16_t rowid_indicator_ = 0;
    std::vector<int16_t> indicators_;
};

// Where a destination reports what became of the records it was given.
//
// A destination that stores records (ora_table) tells its sink about every record it could not
// store and every value it stored altered under a documented rule (a decimal rounded to what the
// destination keeps, a floating-point value beyond its range); every other record arrived
// exactly. Records are numbered from 1 within the table in the order they were given. The
// record passed is the record as the source gave it, valid for the call only. A destination may
// report a record later than it was given (when its batch is written), but always on the thread
// that gives it records, and never after it was flushed or destroyed.
//
// The conversion driver implements the sink: it reports, counts and saves what it is told. A
// sink may raise tk_final_exception to end the run (the user chose Abort); the destination then
// stops writing and lets it pass.
#pragma once

#include <cstdint>
#include <string>

#include "TK/tk_exception.h"
#include "UDB/udb_database.h"

class udb_record_sink {
  public:
    virtual ~udb_record_sink() = default;

    // The record was not stored; why says so (its message names the column and value where one
    // value was the reason).
    virtual void record_rejected(int64_t record_number, const udb_record& record,
                                 const tk_exception& why) = 0;
    // The record was stored with one value altered; note names the column, the value and what
    // was stored instead.
    virtual void value_altered(int64_t record_number, const udb_record& record,
                               const std::string& note) = 0;
};

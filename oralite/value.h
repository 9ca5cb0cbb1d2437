// Oracle types and values inside the engine.
//
// `column_type` is a declared or derived Oracle type with its limits; `value` is one datum.
// A zero-length text or RAW is NULL, as in Oracle, except a LOB: EMPTY_CLOB() is a non-NULL
// CLOB of length 0, so values read from or meant for LOB columns carry the `lob` flag.
// Conversions between kinds follow Oracle's implicit conversions and raise its errors.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "oralite/ast.h"
#include "oralite/datetime.h"
#include "oralite/decimal.h"
#include "oralite/interval.h"

namespace oralite {

enum class type_code : uint8_t {
    none,  // NULL literal, or not known
    number,
    binary_float,
    binary_double,
    varchar2,
    nvarchar2,
    char_,
    nchar,
    long_,
    clob,
    nclob,
    raw,
    long_raw,
    blob,
    date,
    timestamp,
    interval_ds,  // INTERVAL DAY(precision) TO SECOND(fraction)
    rowid,
    boolean,  // a condition (never a column)
};

// How a value of the type is kept in SQLite.
enum class storage_kind : uint8_t { number, text, blob, date, timestamp, interval, rowid, any };

struct column_type {
    type_code code = type_code::none;
    int length = 0;               // declared length: characters with char semantics, else bytes
    bool char_semantics = false;  // VARCHAR2(n CHAR), CHAR(n CHAR), NCHAR, NVARCHAR2
    int precision = -1;           // NUMBER(p), FLOAT(b), INTERVAL DAY(p); -1 when not given
    int scale = k_no_scale;       // NUMBER(p,s); k_no_scale when not given
    int fraction = 6;             // TIMESTAMP(f), INTERVAL ... SECOND(f)
    bool is_float = false;        // FLOAT(b): precision counts binary digits
    bool integer_alias = false;   // INTEGER: NUMBER(*,0) shown with precision NULL

    static constexpr int k_no_scale = -1000;

    static column_type of(type_code c) {
        column_type t;
        t.code = c;
        return t;
    }
    static column_type interval(int lead, int fraction_digits) {
        column_type t = of(type_code::interval_ds);
        t.precision = lead;
        t.fraction = fraction_digits;
        return t;
    }
    static column_type varchar(int bytes) {
        column_type t = of(type_code::varchar2);
        t.length = bytes;
        return t;
    }

    bool is_numeric() const {
        return code == type_code::number || code == type_code::binary_float ||
               code == type_code::binary_double;
    }
    bool is_character() const {
        return code == type_code::varchar2 || code == type_code::nvarchar2 ||
               code == type_code::char_ || code == type_code::nchar || code == type_code::long_ ||
               code == type_code::clob || code == type_code::nclob;
    }
    bool is_binary() const {
        return code == type_code::raw || code == type_code::long_raw || code == type_code::blob;
    }
    bool is_lob() const {
        return code == type_code::clob || code == type_code::nclob || code == type_code::blob;
    }
    bool is_long() const { return code == type_code::long_ || code == type_code::long_raw; }
    bool is_datetime() const { return code == type_code::date || code == type_code::timestamp; }
    // A NUMBER whose every value is an integer that fits 64 bits (kept as SQLite INTEGER).
    bool is_small_integer() const {
        return code == type_code::number && scale == 0 && !is_float && precision > 0 &&
               precision <= 18;
    }
    storage_kind storage() const;

    // USER_TAB_COLUMNS: DATA_TYPE, DATA_LENGTH, DATA_PRECISION / DATA_SCALE (-1: NULL),
    // CHAR_LENGTH, CHAR_USED ("" for NULL).
    std::string dictionary_name() const;
    int data_length() const;
    int dictionary_precision() const;
    int dictionary_scale() const;
    int char_length() const;
    std::string char_used() const;
    // The type as DDL writes it, e.g. VARCHAR2(30 BYTE), NUMBER(11,0).
    std::string ddl_text() const;

    // Select-list describe: OCI_ATTR_DATA_TYPE, DATA_SIZE, PRECISION, SCALE, CHARSET_FORM.
    int oci_type() const;
    int oci_size() const;
    int oci_precision() const;
    int oci_scale() const;
    int charset_form() const;
};

// Checks the limits of a declared type and gives its column_type (ORA-00910, 01723, 01724,
// 01727, 01728, 30088).
column_type column_type_from_declaration(const type_declaration& declaration);

enum class value_kind : uint8_t { null, number, text, raw, date, timestamp, interval };

// Where a value read from a LOB column lives, so a locator can write it back.
struct lob_ref {
    int64_t table_id = 0;
    std::string table_internal;
    std::string column_internal;
    int64_t row = 0;
    bool clob = true;
    bool locked = false;       // selected FOR UPDATE or returned by the inserting statement
    uint64_t transaction = 0;  // the session's transaction serial when it was locked
};

struct value {
    value_kind kind = value_kind::null;
    bool lob = false;  // keeps a zero-length text or RAW (an empty LOB)
    decimal number;
    std::string bytes;  // UTF-8 text or raw bytes
    datetime time;
    interval_ds span;
    std::shared_ptr<lob_ref> source;  // set for values read from a LOB column

    bool is_null() const { return kind == value_kind::null; }

    static value null() { return value{}; }
    static value of_number(decimal d) {
        value v;
        v.kind = value_kind::number;
        v.number = std::move(d);
        return v;
    }
    static value of_int(int64_t i) { return of_number(decimal::from_int(i)); }
    // '' is NULL.
    static value of_text(std::string s) {
        value v;
        if (s.empty())
            return v;
        v.kind = value_kind::text;
        v.bytes = std::move(s);
        return v;
    }
    static value of_raw(std::string b) {
        value v;
        if (b.empty())
            return v;
        v.kind = value_kind::raw;
        v.bytes = std::move(b);
        return v;
    }
    static value of_lob(std::string b, bool clob) {
        value v;
        v.kind = clob ? value_kind::text : value_kind::raw;
        v.lob = true;
        v.bytes = std::move(b);
        return v;
    }
    static value of_date(const datetime& d) {
        value v;
        v.kind = value_kind::date;
        v.time = d;
        v.time.nanos = 0;
        return v;
    }
    static value of_timestamp(const datetime& d) {
        value v;
        v.kind = value_kind::timestamp;
        v.time = d;
        return v;
    }
    static value of_interval(const interval_ds& i) {
        value v;
        v.kind = value_kind::interval;
        v.span = i;
        return v;
    }
};

// The static type that a value of this kind has when nothing else is known.
column_type type_of_value(const value& v);

// Oracle's implicit conversions. Each raises ORA-01722 (bad number), ORA-00932 (a kind that
// does not convert), ORA-01465 (bad hex) or a date-format error.
decimal as_number(const value& v);
std::string as_text(const value& v);      // numbers as Oracle prints them (.5), dates DD-MON-RR
datetime as_datetime(const value& v);     // a text in NLS_DATE_FORMAT
datetime as_timestamp(const value& v);    // a text in NLS_TIMESTAMP_FORMAT
interval_ds as_interval(const value& v);  // a text in TO_DSINTERVAL's forms
std::string as_raw(const value& v);
value convert_to(const value& v, const column_type& target);

// Oracle's name of a kind in ORA-00932 messages.
std::string kind_name(const column_type& t);

// Compares two non-NULL values after converting the second to the first's kind (text
// compares byte-wise as Oracle's binary comparison does).
int compare_values(const value& a, const value& b);

// What an INSERT or UPDATE checks before a value reaches a column: the conversion to the
// column's type, rounding to its scale and the errors for too many digits (ORA-01438) or too
// long a text (ORA-12899, which names the column as "OWNER"."TABLE"."COLUMN").
value coerce_for_column(value v, const column_type& t, std::string_view quoted_column);

// A bound text of more than 4000 bytes or binary value of more than 2000 bytes (32767 bytes
// each in a database of MAX_STRING_SIZE EXTENDED) travels as a LONG
// (LONG RAW) bind, which only a LOB or LONG column of an INSERT ... VALUES or UPDATE ... SET
// takes as it stands; anywhere else it is ORA-01461. Values of LOB locators are not binds of
// that kind.
bool is_long_bind(const value& v);
void check_bind_size(const value& v);

// The text the oralite tool prints: numbers in full without exponent, dates
// YYYY-MM-DD HH24:MI:SS, RAW and BLOB in upper-case hexadecimal.
std::string display_text(const value& v);

}  // namespace oralite

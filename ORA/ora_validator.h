// Oracle's rules for the names the system generates (tables, columns, indexes, constraints).
//
// Oracle counts the 30-character limit of a name in bytes of the database character set
// (UTF-8), so every length here is a UTF-8 byte count and names are only ever cut at a
// character boundary. A name is acceptable when it is 1..30 bytes long, starts with a letter
// (national letters count), holds only letters, digits, "_", "$" and "#", and is not a
// restricted name (compared without regard to case). get_safe_name makes an acceptable, unused
// name from any text; the names it gives never exceed 30 bytes.
//
// ora_tn_validator preloads table names, ora_fn_validator the column names of one table,
// ora_in_validator (a singleton for one conversion run) the index and constraint names the
// schema already uses. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "TK/tk_singleton.h"
#include "UDB/udb_names.h"
#include "UDB/udb_schema.h"

class ora_validator : public udb_validator {
  public:
    static constexpr size_t max_name_bytes = 30;

    ora_validator();

    bool is_acceptable(const std::wstring& name) override;
    std::wstring get_safe_name(const std::wstring& name) override;

    // The UTF-8 byte length of a name.
    static size_t byte_length(const std::wstring& name);
    // The longest start of name that fits in max_bytes UTF-8 bytes.
    static std::wstring cut_to_bytes(const std::wstring& name, size_t max_bytes);
    // Letters, digits, "_", "$" and "#".
    static bool is_name_char(wchar_t c);
};

// Table names: the tables selected for conversion and those already in the schema are in use.
class ora_tn_validator : public ora_validator {
  public:
    ora_tn_validator(const std::vector<std::wstring>& selected_tables,
                     const std::vector<std::wstring>& existing_tables);
};

// Column names of one table: the source columns are in use. Upper-case ROWID cannot name a
// column even quoted, so it is not acceptable.
class ora_fn_validator : public ora_validator {
  public:
    explicit ora_fn_validator(const udb_schema& fields);

    bool is_acceptable(const std::wstring& name) override;
};

// Index and constraint names of one conversion run. "PRIMARY", the schema's primary-key
// constraint names and its index names are restricted (read from the logged-on schema at
// construction; ora_exception when that fails).
class ora_in_validator : public tk_singleton<ora_in_validator> {
  public:
    ora_in_validator();
    ~ora_in_validator();

    // Adds the index names of a source table to the names in use.
    void load(const udb_indexes& indexes);

    ora_validator validator;
};

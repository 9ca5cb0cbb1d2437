// The schema model both sides describe a table with: column descriptors (t_ftd) in an ordered
// schema (udb_schema), one value of a record (udb_field), indexes and foreign keys.
//
// Names compare case-insensitively with the process locale's wide case rules unless a
// comment says "exact". Lookups of an absent name that must succeed raise tk_mail_assertion.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "UDB/ole_variant.h"

// A column's type descriptor.
struct t_ftd {
    // Text and binary columns: the maximum length; 0 means no limit.
    int32_t size = 0;
    // Text columns whose size counts characters: the most bytes of UTF-8 one of them can take,
    // as the source's character set allows (1 for ASCII, 3 for latin1 or utf8mb3, 4 for utf8mb4).
    // 1 where size already counts the bytes of the longest value.
    int32_t bytes_per_char = 1;
    std::wstring name;
    VARTYPE vartype = VT_EMPTY;
    bool auto_increment = false;
    bool not_null = false;
    // VT_EMPTY when the column has no default.
    ole_variant default_value;
    // Date columns: the ole_date kind (1 date and time, 2 date, 3 time) or 4, a duration (a
    // time column held as an interval rather than a time of day). 64-bit integers: 1 signed,
    // 2 unsigned. Decimals (and floats with a stated precision): precision * 256 + scale, 0
    // when no precision is given. 0 otherwise.
    int32_t subtype = 0;
    // Date columns: the digits of the fraction of a second the column keeps (0: whole
    // seconds).
    int32_t fraction_digits = 0;
    // The default is the moment of the insert (CURRENT_TIMESTAMP and its synonyms), which no
    // literal default_value can say.
    bool default_is_now = false;
    // The source computes the column's values (a generated column): they are copied like any
    // other, but cannot be given back to the source.
    bool generated = false;

    static constexpr int32_t date_kind_date_time = 1;
    static constexpr int32_t date_kind_date = 2;
    static constexpr int32_t date_kind_time = 3;
    static constexpr int32_t date_kind_duration = 4;

    t_ftd() = default;
    t_ftd(std::wstring name, VARTYPE vartype, int32_t size, bool not_null = false,
          bool auto_increment = false, ole_variant default_value = ole_variant(),
          int32_t subtype = 0);

    // Precision and scale packed in subtype (decimal and float columns).
    int32_t precision() const noexcept { return (subtype >> 8) & 0xFF; }
    int32_t scale() const noexcept { return subtype & 0xFF; }
    static int32_t pack_precision(int32_t precision, int32_t scale) noexcept {
        return precision * 256 + scale;
    }

    // VT_DECIMAL and VT_CY are equal; otherwise the kinds must be equal, and for VT_BSTR
    // the sizes too.
    bool operator==(const t_ftd& other) const;
    // Whether values of this (source) column can be stored in the destination column.
    bool conform_to(const t_ftd& destination) const;
};

// The ordered column descriptors of a table. An owning schema deletes its descriptors; a
// borrowing one (owns == false) only points at descriptors that outlive it. Copying gives an
// owning schema with copies of the descriptors.
class udb_schema {
  public:
    explicit udb_schema(bool owns = true) : owns_(owns) {}
    udb_schema(const udb_schema& other);
    udb_schema& operator=(const udb_schema& other);
    udb_schema(udb_schema&& other) noexcept;
    udb_schema& operator=(udb_schema&& other) noexcept;
    virtual ~udb_schema();

    // Appends a descriptor. An owning schema takes it over (a null pointer raises
    // tk_mail_assertion).
    void add(t_ftd* descriptor);
    void add(std::unique_ptr<t_ftd> descriptor);
    void add(t_ftd descriptor);
    void clear() noexcept;

    // The source's next AUTO_INCREMENT value of the table, where the Oracle sequence starts;
    // none when the source has no counter (a view, a custom query), and the sequence then
    // starts after the largest key copied.
    std::optional<uint64_t> auto_increment_next;

    bool owns() const noexcept { return owns_; }
    size_t size() const noexcept { return fields_.size(); }
    bool empty() const noexcept { return fields_.empty(); }
    t_ftd& operator[](size_t i) { return *fields_[i]; }
    const t_ftd& operator[](size_t i) const { return *fields_[i]; }
    const std::vector<t_ftd*>& fields() const noexcept { return fields_; }
    auto begin() const noexcept { return fields_.begin(); }
    auto end() const noexcept { return fields_.end(); }

    // Whether a column of that name exists.
    bool find_field(std::wstring_view name) const;
    // The column of that name; tk_mail_assertion when there is none.
    const t_ftd& get_field(std::wstring_view name) const;
    t_ftd& get_field(std::wstring_view name);
    int32_t get_field_size(std::wstring_view name) const;
    VARTYPE get_field_type(std::wstring_view name) const;
    // Same column count and every column conforms to the destination column at the same
    // position (matched by position, not by name).
    bool conform_to(const udb_schema& destination) const;

  private:
    const t_ftd* lookup(std::wstring_view name) const;

    std::vector<t_ftd*> fields_;
    bool owns_;
};

// The shared name of a column: every value of a column in every row points at one string.
// Names are kept for the life of the process, one string per distinct name, so that a value
// made on one thread and destroyed on another touches no shared count.
using udb_name = const std::wstring*;
// The one string of that name (never null); safe to call from any thread.
udb_name udb_make_name(std::wstring name);

// One value of a record: the value with its column's name and size.
class udb_field : public ole_variant {
  public:
    udb_field();
    udb_field(std::wstring name, int32_t size, ole_variant value = ole_variant());
    udb_field(udb_name name, int32_t size, ole_variant value = ole_variant());
    udb_field(const udb_field&) = default;
    udb_field(udb_field&&) noexcept = default;
    udb_field& operator=(const udb_field&) = default;
    udb_field& operator=(udb_field&&) noexcept = default;
    ~udb_field() override;

    virtual VARTYPE get_vartype() const { return vartype(); }

    const std::wstring& name() const noexcept { return *name_; }
    const udb_name& shared_name() const noexcept { return name_; }
    // Replaces the value, keeping name and size.
    void set_value(ole_variant value);

    // The column's size (for values read from MySQL: this row's byte length).
    int32_t size = 0;
    // Free for the record sources; every source leaves them false.
    bool changed = false;
    bool marked = false;

  private:
    udb_name name_;
};

// An index; the primary key is an index with is_primary set.
struct udb_index {
    std::wstring name;
    bool is_unique = false;
    bool is_primary = false;
    // The indexed column names in key order.
    std::vector<std::wstring> fields;

    // At least as many fields as names, the first ones equal to the names in order.
    bool starts_with_fields(const std::vector<std::wstring>& names) const;
    // Exactly as many fields as names and every name among the fields (exact, any order).
    bool consists_of_fields(const std::vector<std::wstring>& names) const;
};

class udb_indexes : public std::vector<udb_index> {
  public:
    // True when no index has that name.
    bool is_acceptable_name(std::wstring_view name) const;
    // The index of that name; tk_mail_assertion when absent.
    const udb_index& get_index(std::wstring_view name) const;
    // At the first index that starts with the names: its is_unique when unique is wanted,
    // otherwise true. False when no index starts with them.
    bool has_index_on_fields(const std::vector<std::wstring>& names, bool unique) const;
    // Whether the column (exact) is a field of any index (of the primary key only when
    // primary_only).
    bool is_idx_field(std::wstring_view column, bool primary_only) const;
};

// A foreign key.
struct udb_relationship {
    std::wstring name;
    // The referenced table's key, where the source knows it.
    std::wstring referenced_key;
    // The referencing (child) table.
    std::wstring table;
    std::wstring referenced_table;
    // "ON DELETE CASCADE" and the like, or empty.
    std::wstring rule;
    std::vector<std::wstring> fields;
    std::vector<std::wstring> referenced_fields;
};

class udb_relationships : public std::vector<udb_relationship> {
  public:
    bool is_acceptable_name(std::wstring_view name) const;
    // The foreign key of that name; tk_mail_assertion when absent.
    const udb_relationship& get_index(std::wstring_view name) const;
};

// Case-insensitive equality of names with the process locale's wide case rules.
bool udb_names_equal(std::wstring_view a, std::wstring_view b);

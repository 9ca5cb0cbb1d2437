// Name mapping and validation.
//
// t_names_map holds source-to-destination name pairs; an unmapped name maps to itself.
// udb_names_map holds the table-name pairs of a database and, per table, its column-name
// pairs. udb_validator decides whether a destination name is acceptable and makes a safe name
// from one that is not; the destination's validators derive from it and fill its lists.
// Case-insensitive comparisons use the process locale's wide case rules.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class t_names_map {
  public:
    // Adds the pair; a source name already present keeps its pair.
    void add(const std::wstring& source, const std::wstring& destination);
    // The destination of the first pair (in source-name order) whose source equals name
    // (exactly when exact, else case-insensitively); name itself when none does.
    std::wstring get_mapped_name(const std::wstring& name, bool exact) const;

    size_t size() const noexcept { return pairs_.size(); }
    bool empty() const noexcept { return pairs_.empty(); }
    const std::map<std::wstring, std::wstring>& pairs() const noexcept { return pairs_; }

  private:
    friend class udb_names_map;
    const std::wstring* find(const std::wstring& name, bool exact, bool trace_pairs) const;

    std::map<std::wstring, std::wstring> pairs_;
};

class udb_names_map {
  public:
    void add_tn_mapping(const std::wstring& source_table, const std::wstring& destination_table);
    // Stores a copy of the column map under the table name; an existing entry is kept.
    void add_fn_map(const std::wstring& table, const t_names_map& columns);
    std::wstring get_tn_mapped_name(const std::wstring& table, bool exact) const;
    // The table is found by exact name; the column as in t_names_map.
    std::wstring get_fn_mapped_name(const std::wstring& table, const std::wstring& column,
                                    bool exact) const;

    t_names_map table_names;
    std::map<std::wstring, t_names_map> field_names;
};

class udb_validator {
  public:
    // max_length: the longest acceptable name in characters, 0 for no limit.
    explicit udb_validator(int32_t max_length = 0);
    virtual ~udb_validator();

    // Not longer than max_length, not a restricted word, no illegal character.
    virtual bool is_acceptable(const std::wstring& name);
    // Whether the name was already given out (in_use, case-insensitively).
    virtual bool is_duplicated(const std::wstring& name);
    // An acceptable, unused name made from name: cut to max_length - 1 characters, illegal
    // characters replaced by "_", and when that is still refused a numbered form: the stem
    // (cut to max_length - 6 characters) followed by five digits, 00000 upwards. The name is
    // not recorded; the caller does that with add_mapped_pair.
    virtual std::wstring get_safe_name(const std::wstring& name);
    // Records that source became generated: generated is in use and restricted from now on.
    void add_mapped_pair(const std::wstring& source, const std::wstring& generated);

    int32_t max_length;
    t_names_map mapped;
    std::vector<wchar_t> illegal_chars;
    std::vector<std::wstring> restricted;
    std::vector<std::wstring> in_use;

  private:
    bool is_free(const std::wstring& name);
};

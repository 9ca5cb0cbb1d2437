// A profile file in memory: the whole conversion setup of one run as sectioned key-value text.
//
// The file is UTF-8 text, one "[section]" line per section followed by its "key=value" lines.
// Lines are trimmed of blanks; a line without "=" is a key with an empty value; there is no
// comment syntax and no escaping. A UTF-8 byte-order mark at the start of the file is skipped
// (editors write one). A line may hold 4094 bytes (the mark not counted); load_file refuses a
// longer one as a level-1 tk_exception naming the file and the line, and save_file refuses to
// write one.
//
// Sections and keys are kept in UTF-16 code-unit order (what the file on disk and every other
// reader of it expect), and setting a key that is present keeps its first value. A profile
// lives for one load or one store and is used by one thread.
#pragma once

#include <map>
#include <string>

// Orders wide strings as their UTF-16 forms compare unit by unit: characters above U+FFFF
// (surrogate pairs) sort between U+D7FF and U+E000.
struct udb_code_unit_less {
    bool operator()(const std::wstring& a, const std::wstring& b) const noexcept;
};

class udb_profile {
  public:
    using key_map = std::map<std::wstring, std::wstring, udb_code_unit_less>;
    using section_map = std::map<std::wstring, key_map, udb_code_unit_less>;

    // The longest line, in bytes without its line end, that a profile file may hold.
    static constexpr size_t max_line_bytes = 4094;
    // The sections of a conversion setup. In "Selected Tables", the one section whose keys
    // with empty values are written without "=", a table is a key without value and a custom
    // query a key with its SELECT text.
    static constexpr const wchar_t* selected_tables_section = L"Selected Tables";
    static constexpr const wchar_t* available_queries_section = L"Available Queries";
    static constexpr const wchar_t* generic_section = L"Generic settings";
    static constexpr const wchar_t* oracle_section = L"Oracle settings";
    static constexpr const wchar_t* mysql_section = L"MySQL settings";

    // Reads the file into the maps, adding to what they hold. False when the file cannot be
    // opened. Reading stops quietly at a key line met before any section line. Raises
    // tk_exception (level 1) at a line longer than max_line_bytes; the lines before it stay.
    bool load_file(const std::wstring& path);
    // Writes the maps (sections without keys are left out), lines ending in "\r\n". Line
    // breaks inside a value are written as blanks (a SELECT text means the same). False when the
    // file cannot be created or written, or when the file could not be read back as it is: a
    // line would exceed max_line_bytes or a key is not storable (then the file is not touched).
    bool save_file(const std::wstring& path) const;
    // Whether a key reads back as written: not empty, no "=", no line break, no blank at either
    // end, and not in brackets like a section line. The wizard checks query names with it.
    static bool is_storable_key(const std::wstring& key);

    // The value, or an empty text when the section or the key is absent.
    std::wstring get_value(const std::wstring& section, const std::wstring& key) const;
    // Creates the section when needed and adds the key unless it is present.
    void set_value(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    // The keys of a section; an empty map when the section is absent.
    const key_map& section(const std::wstring& name) const;
    const section_map& sections() const { return sections_; }

  private:
    section_map sections_;
};

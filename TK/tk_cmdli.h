// The command-line option iterator.
//
// Options are given as a table of (id, prefix) rows ending with a row whose prefix is empty.
// Each argument is matched against the rows in table order and the first row whose prefix
// begins the argument wins, so a flag ignores what follows its name ("--helpme" is "--help")
// and the value of a valued option is the rest of the argument after its prefix. A flag (a
// row whose prefix does not end with "=") takes no value: an argument that goes on with "="
// right after a flag's name does not match its row ("--tab_def=0" is not "--tab_def"). An
// argument that matches no row has the id -1 and is counted as unrecognised; the first 20 of
// them are kept. A 21st unrecognised argument raises tk_mail_assertion.
#pragma once

#include <string>
#include <vector>

struct cmdli_option {
    int id;
    const char* prefix;  // "" ends the table
};

class tk_cmdli {
  public:
    static constexpr size_t max_unrecognised = 20;

    // Iterates argv[0] .. argv[argc - 1] (pass the arguments after the program name).
    // The table must outlive the iterator.
    tk_cmdli(int argc, const char* const* argv, const cmdli_option* options);

    // True while an argument remains.
    bool valid() const { return index_ < argc_; }
    // The id of the current argument's row, -1 when it matched none.
    int id() const { return id_; }
    // The text after the matched prefix (empty for an unrecognised argument).
    const std::string& value() const { return value_; }
    const char* argument() const { return argv_[index_]; }
    void next();

    size_t unrecognised_count() const { return unrecognised_.size(); }
    const std::vector<std::string>& unrecognised() const { return unrecognised_; }

  private:
    void match();

    int argc_;
    const char* const* argv_;
    const cmdli_option* options_;
    int index_ = 0;
    int id_ = -1;
    std::string value_;
    std::vector<std::string> unrecognised_;
};

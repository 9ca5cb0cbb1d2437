// Oracle errors as the embedded target raises them.
//
// Every failure inside the engine is an ora_error carrying the ORA number and the complete
// message text "ORA-nnnnn: text" with its values filled in, exactly as OCIErrorGet hands it
// out. Messages come from one table (ora_error.cpp) so that a number always has one text.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace oralite {

class ora_error : public std::runtime_error {
  public:
    // Builds "ORA-nnnnn: " + the catalogue text of `code` with each "%s" replaced, in order,
    // by the next argument.
    ora_error(int code, std::initializer_list<std::string_view> args = {});
    // A message written in full by the caller (used for texts with several lines).
    ora_error(int code, std::string full_text, bool /*verbatim*/);

    int code() const noexcept { return code_; }
    // Byte offset of the fault in the statement text, or -1 when it is not known.
    int offset() const noexcept { return offset_; }
    ora_error& at(int offset) {
        offset_ = offset;
        return *this;
    }

  private:
    int code_;
    int offset_ = -1;
};

// The text of `code` with its arguments, without the "ORA-nnnnn: " prefix.
std::string ora_message_text(int code, std::initializer_list<std::string_view> args = {});

// Quotes an object name the way Oracle messages do: "SCOTT"."T".
std::string ora_quoted(std::string_view owner, std::string_view name);
std::string ora_quoted(std::string_view owner, std::string_view table, std::string_view column);

}  // namespace oralite

// The exception family of the whole system.
//
// Every failure the user may see travels as a tk_exception (or a class derived from it) with a
// message, a numeric code and a level:
//   0  an error the user may skip (the run goes on),
//   1  an error that stops the current work,
//   2  an internal error (a failed internal check, raised by tk_mail_assertion).
// The code is 0 for plain exceptions, errno for tk_exception_ex, 0x400000 + the MySQL error
// number for sql_exception and 0x100000 + the ORA number for ora_exception; the error handler
// maps known codes to prepared texts. Derived classes add no fields.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

class tk_exception : public std::exception {
  public:
    explicit tk_exception(int level = 0);
    tk_exception(const std::string& text, int level);
    tk_exception(const char* text, int level);
    // The wide text is converted to the process's ANSI character set.
    tk_exception(const std::wstring& text, int level);
    ~tk_exception() override = default;

    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }
    int level() const noexcept { return level_; }
    // The numeric code: errno, or the server error number with its side's offset.
    uint32_t system_error() const noexcept { return system_error_; }
    int32_t code() const noexcept { return static_cast<int32_t>(system_error_); }

  protected:
    void set_message(std::string text);
    void set_system_error(uint32_t code) noexcept { system_error_ = code; }
    void set_level(int level) noexcept { level_ = level; }

  private:
    std::string message_;
    uint32_t system_error_ = 0;
    int level_ = 0;
};

// A failed operating-system call: level 1, the code is errno and the message its text
// (the counterpart of the thread's last Windows error).
class tk_exception_ex : public tk_exception {
  public:
    tk_exception_ex();
    // For callers that saved errno before doing more work.
    explicit tk_exception_ex(int saved_errno);
};

// A failed internal check (level 2). The message is "Internal error: \ncode=" followed by the
// hexadecimal form of "<file>\<line>", so a report names the place without showing it plainly.
class tk_mail_assertion : public tk_exception {
  public:
    tk_mail_assertion(const char* source_file, int line);
};

// Raised when the user chose to stop after an error; ends a conversion run without a message.
// Deliberately not a tk_exception, so no handler of that family swallows it.
class tk_final_exception : public std::exception {
  public:
    tk_final_exception();
    const char* what() const noexcept override { return "tk_final_exception"; }
};

// Raises tk_mail_assertion naming the current source file and line when the condition fails.
#define TK_ASSERT(condition)                             \
    do {                                                 \
        if (!(condition)) {                              \
            throw tk_mail_assertion(__FILE__, __LINE__); \
        }                                                \
    } while (false)

// Raises tk_mail_assertion unconditionally.
#define TK_FAIL() throw tk_mail_assertion(__FILE__, __LINE__)

// The scope of one conversion run: traces the start line when it begins and the end line
// when it ends, and sets the converter's finished flag on the way out.
//
// The lines carry the local date day/month/year, as
// "Conversion started on 03/02/2010 at 09:05:07\n". The COM flag of the Windows design is
// kept for the callers' sake; there is no COM to initialise here.
#pragma once

#include <ctime>
#include <functional>
#include <string>

class init_conversion {
  public:
    // finished must outlive the scope; it may be null.
    init_conversion(bool* finished, bool com_initialized);
    ~init_conversion();
    init_conversion(const init_conversion&) = delete;
    init_conversion& operator=(const init_conversion&) = delete;

    // Called after the start line of every run (the wizard starts its progress timer here).
    static void set_start_hook(std::function<void()> hook);

    // "Conversion <event> on dd/mm/yyyy at hh:mm:ss\n" for the given local time.
    static std::string format_line(const char* event, const std::tm& local);

    bool com_initialized() const { return com_initialized_; }

  private:
    bool* finished_;
    bool com_initialized_;
};

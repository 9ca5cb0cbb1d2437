// The one place that turns an exception into what the user sees.
//
// error_handler composes the message (the current context, then the prepared text for the
// error's code or else the exception's own text, line feeds turned into blanks), traces it,
// and hands it to the program's presenter: the console presenter prints it (agent), the
// wizard's presenter shows dialogs. The level decides what follows:
//   0  the work goes on (the wizard may stop the run when the user chooses Abort),
//   1  the current work stops: the presenter raises tk_final_exception,
//   2  internal error: shown, then the work ends with tk_final_exception (the wizard's
//      presenter ends the process itself).
// Levels other than 0 and 2 are handled as level 1. Nothing here ends the process: the agent's
// main decides its exit status in one place.
//
// One instance per process (tk_singleton), created before the converter and destroyed after
// it. It takes no lock: the wizard calls it from whichever thread met the error.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "TK/tk_exception.h"
#include "TK/tk_singleton.h"
#include "core/tk_error_converter.h"

class error_handler;

// Whether a message already begins with the words "Internal error:" (an assertion's does).
inline bool is_internal_error_text(const std::string& message) {
    return message.rfind("Internal error:", 0) == 0;
}

// How a program shows errors. Implementations must not depend on anything above core/.
class error_presenter {
  public:
    virtual ~error_presenter() = default;
    // Shows an internal error (the exception's own message). When this returns, the handler
    // ends the work with tk_final_exception; a presenter may end the process itself instead.
    virtual void show_internal_error(const std::string& message) = 0;
    // Shows a composed one-line message of level 0 or 1 and decides what follows: return to
    // let the caller go on (level 0), or raise tk_final_exception to stop the work (level 1,
    // or the user's Abort). The handler's silent flag is for the presenter to honour and may
    // be changed by it.
    virtual void show_error(error_handler& handler, const std::string& text, int level,
                            bool after_run) = 0;
};

class error_handler : public tk_singleton<error_handler> {
  public:
    // Builds the message map from the table (both programs pass the Oracle table) and takes
    // the presenter, which must not be null. Traces "error_handler::ctor".
    error_handler(size_t count, const tk_error_entry* entries,
                  std::unique_ptr<error_presenter> presenter);
    virtual ~error_handler();

    // Adds entries to the message map (both programs pass the MySQL table once).
    void load_err_map(size_t count, const tk_error_entry* entries);

    // The context put in front of every message: the table, or the table and the record.
    void set_context(const std::wstring& table);
    void set_context(const std::wstring& table, int64_t record);
    void clear_context() { context_.clear(); }
    const std::string& context() const { return context_; }

    bool silent() const { return silent_; }
    void set_silent(bool silent) { silent_ = silent; }

    // The message the user sees for e (steps before the presenter): context and ": ", the
    // prepared text or e's own, line feeds as blanks. Traces "Error:\n%s" before the line
    // feeds are replaced.
    std::string compose(const tk_exception& e);
    // The same message without tracing it.
    std::string message_for(const tk_exception& e) const;
    // Writes the message to the trace log only, as handle would, without showing it.
    void trace_only(const tk_exception& e) { compose(e); }

    // Reports e. after_run tells the wizard that the run has ended already (nothing left to
    // stop); the agent ignores it.
    void handle(const tk_exception& e, bool after_run);

    void set_presenter(std::unique_ptr<error_presenter> presenter);

  private:
    // Context and text, line feeds kept.
    std::string message_with_breaks(const tk_exception& e) const;

    std::string context_;
    bool silent_ = false;
    std::map<int32_t, int> help_topics_;  // kept for the wizard's help buttons; never filled
    tk_error_converter messages_;
    std::unique_ptr<error_presenter> presenter_;
};

// The program start of tarvolin, kept apart from main so that the tests build the very same
// wizard: the title, the shell and its seven pages.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class dorvex_convertor;
class error_handler;
class wizard_shell;

// The two closing texts of the finish page.
extern const QString success_closing_text;
extern const QString error_closing_text;
// The extension of profile files in the file dialogs.
extern const QString profile_extension;

// "Tarvolin 3.1": the version and an edition suffix (empty here).
QString program_title();

// Everything the program owns while the wizard runs: the error handler with the wizard's
// presenter and both error tables, the converter (which loads the remembered settings), the
// shell and its seven pages. Destroyed in reverse order, so the converter stores the settings
// back after the wizard has closed.
class tarvolin_program {
  public:
    // arguments: the command line after the program name; when not empty, the whole of it is
    // the path of a profile file to load.
    explicit tarvolin_program(const QStringList& arguments);
    ~tarvolin_program();

    wizard_shell& shell() { return *shell_; }
    dorvex_convertor& converter() { return *converter_; }
    // Shows the wizard modally; the result is the program's exit code.
    int run();

  private:
    std::unique_ptr<error_handler> handler_;
    std::unique_ptr<dorvex_convertor> converter_;
    std::unique_ptr<wizard_shell> shell_;
};

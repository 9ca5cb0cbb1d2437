#include "wizard/drx_shell.h"

#include "TK/tk_trace_log.h"
#include "wizard/gui_finish_page.h"
#include "wizard/oracle_settings_page.h"
#include "wizard/progress_page.h"
#include "wizard/sel_file_page.h"
#include "wizard/sel_tables_page.h"
#include "wizard/sql_settings_page.h"
#include "wizard/welcome_page.h"
#include "wizard/wizard_shell.h"

const QString success_closing_text = QStringLiteral(
    "Wizard has migrated your MySQL database to\nOracle server successfully.\n\nClick 'Finish' "
    "to exit the wizard.");
const QString error_closing_text = QStringLiteral(
    "There were some errors while converting the database.\nClick 'Finish' to exit the wizard.");
const QString profile_extension = QStringLiteral("drx");

namespace {

constexpr int version_major = 3;
constexpr int version_minor = 1;
const char* const edition = "";

}  // namespace

QString program_title() {
    // "Tarvolin %d.%d %s"; without an edition the trailing blank is dropped, so that the
    // captions read "Tarvolin 3.1 Error" and not with two blanks.
    return QStringLiteral("Tarvolin %1.%2 %3")
        .arg(version_major)
        .arg(version_minor)
        .arg(QString::fromLatin1(edition))
        .trimmed();
}

// The original program checked the version of the Windows common-controls library here and
// initialised it; Qt brings its own widgets, so there is nothing to check on this platform.
tarvolin_program::tarvolin_program(const QStringList& /*arguments*/) {
    shell_ = std::make_unique<wizard_shell>(program_title());
    shell_->add_page(new welcome_page(profile_extension));
    shell_->add_page(new sql_settings_page2);
    shell_->add_page(new oracle_settings_page);
    shell_->add_page(new sel_file_page);
    shell_->add_page(new sel_tables_page);
    shell_->add_page(new progress_page);
    shell_->add_page(
        new gui_finish_page(success_closing_text, error_closing_text, profile_extension));
}

tarvolin_program::~tarvolin_program() {
    shell_.reset();
}

int tarvolin_program::run() {
    return shell_->run();
}

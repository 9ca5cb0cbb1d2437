#include "wizard/drx_shell.h"

#include <QDir>

#include "TK/tk_trace_log.h"
#include "core/dorvex_convertor.h"
#include "core/error_handler.h"
#include "core/init_conversion.h"
#include "core/tk_error_converter.h"
#include "wizard/gui_finish_page.h"
#include "wizard/oracle_settings_page.h"
#include "wizard/profile_files.h"
#include "wizard/progress_page.h"
#include "wizard/qt_error_presenter.h"
#include "wizard/qt_text.h"
#include "wizard/sel_file_page.h"
#include "wizard/sel_tables_page.h"
#include "wizard/sql_settings_page.h"
#include "wizard/welcome_page.h"
#include "wizard/wizard_guard.h"
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

tarvolin_program::tarvolin_program(const QStringList& arguments) {
    handler_ = std::make_unique<error_handler>(oracle_error_count, oracle_error_table,
                                               std::make_unique<qt_error_presenter>());
    handler_->load_err_map(mysql_error_count, mysql_error_table);
    // The original program checked the version of the Windows common-controls library here and
    // initialised it; Qt brings its own widgets, so there is nothing to check on this platform.
    converter_ = std::make_unique<dorvex_convertor>(dorvex_convertor::program::wizard);
    converter_->standard_error_reporter = [](const std::string& text) {
        wizard_shell::instance().error(from_ansi(text));
    };
    // Every run starts the progress timer as it begins.
    init_conversion::set_start_hook(
        [] { wizard_shell::instance().set_timer(progress_page::timer_period_ms); });

    // The summary on the finish page names the rejects file in full, wherever the program was
    // started from.
    converter_->rejects_folder = QDir::currentPath().toStdString();

    shell_ = std::make_unique<wizard_shell>(program_title());
    if (!arguments.isEmpty()) {
        // Under the guard: an internal error while loading gets its dialog rather than
        // ending the program without a word.
        run_guarded([&] { load_profile_or_say_so(*converter_, arguments.join(QLatin1Char(' '))); });
    }
    dorvex_convertor& converter = *converter_;
    shell_->add_page(new welcome_page(converter, profile_extension));
    shell_->add_page(new sql_settings_page2<dorvex_convertor>(converter));
    shell_->add_page(new oracle_settings_page(converter));
    shell_->add_page(new sel_file_page(converter));
    shell_->add_page(new sel_tables_page(converter));
    shell_->add_page(new progress_page(converter));
    shell_->add_page(new gui_finish_page(converter, success_closing_text, error_closing_text,
                                         profile_extension));
}

tarvolin_program::~tarvolin_program() {
    init_conversion::set_start_hook(nullptr);
    shell_.reset();
    converter_.reset();
    handler_.reset();
}

int tarvolin_program::run() {
    return shell_->run();
}

#include "wizard/sql_settings_page.h"

#include "core/tk_error_converter.h"
#include "wizard/wizard_shell.h"

namespace {

constexpr int auth_help_topic = 1017;

}  // namespace

void report_mysql_connect_failure(const tk_exception& e, bool auth_not_supported) {
    wizard_shell& shell = wizard_shell::instance();
    if (auth_not_supported) {
        shell.error(from_ansi(e.message()));
        shell.display_help(auth_help_topic);
        return;
    }
    static const tk_error_converter mysql_messages(mysql_error_count, mysql_error_table);
    const std::string prepared = mysql_messages.convert(e.code());
    shell.error(from_ansi(prepared.empty() ? e.message() : prepared));
    const int number = e.code() & 0xFFFF;
    if (number == 1249 || number == 1250) {
        shell.display_help(auth_help_topic);
    }
}

void report_unexpected_failure(const std::exception& e) {
    wizard_shell::instance().error(from_ansi(e.what()));
}

#include "wizard/sql_settings_page.h"

#include "TK/tk_trace_log.h"
#include "core/tk_error_converter.h"
#include "wizard/connecting_dlg.h"
#include "wizard/connection_attempt.h"
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

bool connect_mysql_in_background(QWidget* parent, const mysql_converter_impl& settings,
                                 sql_engine& engine) {
    tk_trace(2, "mysql_converter_impl::connect_mysql_server");
    const unsigned port = settings.port_number();
    connecting_dlg dialog(connecting_dlg::mysql_text, parent);
    std::optional<sql_connection> connection = connection_attempt<sql_connection>::run(
        dialog,
        [host = settings.host, user = settings.user, password = settings.password,
         port](const std::atomic<bool>&) { return sql_engine::open(host, user, password, port); });
    if (!connection) {
        tk_trace(2, "The MySQL connection was given up");
        return false;
    }
    engine.adopt(std::move(*connection));
    return true;
}

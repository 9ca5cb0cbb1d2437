#include "TK/tk_bug_report.h"

#include <ctime>

#include "TK/tk_file.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "platform/mail.h"

const char tk_bug_report_address[] = "support@vastrelco.com";

void tk_send_bug_report(const std::string& title, const std::string& text) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);

    platform::mail_message message;
    message.recipient_name = "Vastrelco";
    message.recipient_address = tk_bug_report_address;
    message.subject = "Bug report on " + title;
    message.body = text;
    message.date_received = tk_format("%d/%d/%d %d:%d", local.tm_year + 1900, local.tm_mon + 1,
                                      local.tm_mday, local.tm_hour, local.tm_min);

    // The mailer runs in a child process, but the directory is guarded all the same, as the
    // report may be sent from a dialog while a conversion relies on it.
    const tk_directory_changer stay(".");
    const int result = platform::send_mail(message);
    if (result == platform::mail_no_mailer) {
        tk_trace(2, "Failed to locate sendmail, the report was not sent");
        return;
    }
    tk_trace(2, "sendmail returns %d", result);
}

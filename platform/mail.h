// The mail stand-in: hands one plain-text message to the machine's mail transfer agent, the
// counterpart of sending through the Windows mail interface without a dialog.
//
// The message goes to "sendmail -t -oi" (recipients taken from the headers; a line holding a
// single dot does not end the message). The program is looked up on PATH, then as
// /usr/sbin/sendmail and /usr/lib/sendmail. When none is found the message is not sent.
// Header values are single lines: line breaks in them become blanks, so a subject cannot add
// headers of its own. Thread-safe; never throws.
#pragma once

#include <string>

namespace platform {

struct mail_message {
    std::string recipient_name;
    std::string recipient_address;
    std::string subject;
    std::string date_received;  // shown as the X-Date-Received header
    std::string body;           // in the process's ANSI character set
};

// The sendmail program that would be used, or empty when there is none.
std::string find_sendmail();

// The message as handed to sendmail: headers, an empty line, the body.
std::string render_mail(const mail_message& message);

constexpr int mail_no_mailer = -1;
constexpr int mail_spawn_failed = -2;

// Sends the message. Returns sendmail's exit status (0: accepted), mail_no_mailer when no
// sendmail exists, or mail_spawn_failed when it could not be started.
int send_mail(const mail_message& message);

}  // namespace platform

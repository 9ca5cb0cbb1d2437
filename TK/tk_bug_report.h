// The internal-error report: mails the text of an internal error to the maker's support.
#pragma once

#include <string>

// The support address that receives the reports.
extern const char tk_bug_report_address[];

// Mails "Bug report on <title>" with the text as its body through the mail stand-in (the
// machine's sendmail). Whether the mail went out is only traced at level 2 ("Failed to locate
// sendmail, the report was not sent", or "sendmail returns %d"); the caller is not told.
// The current directory is the same afterwards. Never throws.
void tk_send_bug_report(const std::string& title, const std::string& text);

#include "platform/mail.h"

#include <fcntl.h>
#include <langinfo.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/codepage.h"
#include "platform/posix_io.h"

extern char** environ;

namespace platform {

namespace {

bool is_executable(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

std::string single_line(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

// Owns a temporary file that holds the message while sendmail reads it; a file rather than a
// pipe, so a mailer that quits early cannot raise SIGPIPE in this process.
class message_file {
  public:
    explicit message_file(const std::string& content) {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvolin-mail-XXXXXX");
        fd_ = mkstemp(pattern.data());
        if (fd_ < 0) {
            return;
        }
        path_ = pattern;
        ok_ = write_all(fd_, content) && ::lseek(fd_, 0, SEEK_SET) == 0;
    }
    ~message_file() {
        if (fd_ >= 0) {
            ::close(fd_);
            ::unlink(path_.c_str());
        }
    }
    message_file(const message_file&) = delete;
    message_file& operator=(const message_file&) = delete;

    bool ok() const { return ok_; }
    int fd() const { return fd_; }

  private:
    int fd_ = -1;
    bool ok_ = false;
    std::string path_;
};

}  // namespace

std::string find_sendmail() {
    if (const char* path = std::getenv("PATH")) {
        const std::string dirs = path;
        size_t start = 0;
        for (;;) {
            const size_t at = dirs.find(':', start);
            const std::string dir = dirs.substr(start, at == std::string::npos ? at : at - start);
            if (!dir.empty() && is_executable(dir + "/sendmail")) {
                return dir + "/sendmail";
            }
            if (at == std::string::npos) {
                break;
            }
            start = at + 1;
        }
    }
    for (const char* candidate : {"/usr/sbin/sendmail", "/usr/lib/sendmail"}) {
        if (is_executable(candidate)) {
            return candidate;
        }
    }
    return {};
}

std::string render_mail(const mail_message& message) {
    const char* codeset = nl_langinfo(CODESET);
    const std::string charset = ansi_is_utf8() || codeset == nullptr ? "UTF-8" : codeset;
    std::string out;
    out += "To: " + single_line(message.recipient_name) + " <" +
           single_line(message.recipient_address) + ">\n";
    out += "Subject: " + single_line(message.subject) + "\n";
    out += "X-Date-Received: " + single_line(message.date_received) + "\n";
    out += "MIME-Version: 1.0\n";
    out += "Content-Type: text/plain; charset=" + charset + "\n";
    out += "\n";
    out += message.body;
    if (message.body.empty() || message.body.back() != '\n') {
        out += "\n";
    }
    return out;
}

int send_mail(const mail_message& message) {
    const std::string sendmail = find_sendmail();
    if (sendmail.empty()) {
        return mail_no_mailer;
    }
    message_file file(render_mail(message));
    if (!file.ok()) {
        return mail_spawn_failed;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, file.fd(), STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    char arg0[] = "sendmail";
    char arg1[] = "-t";
    char arg2[] = "-oi";
    char* argv[] = {arg0, arg1, arg2, nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, sendmail.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return mail_spawn_failed;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return mail_spawn_failed;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : mail_spawn_failed;
}

}  // namespace platform

#include "wizard_flow_support.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFileInfo>
#include <QProcess>

namespace wizard_test {

mysql_admin::mysql_admin(const test_support::mariadb_sandbox& server)
    : handle_(mysql_init(nullptr)) {
    if (mysql_real_connect(handle_, server.host.c_str(), server.user.c_str(),
                           server.password.c_str(), nullptr, server.port, nullptr,
                           CLIENT_MULTI_STATEMENTS) == nullptr) {
        error_ = mysql_error(handle_);
    } else {
        exec("SET NAMES utf8mb4");
    }
}

mysql_admin::~mysql_admin() {
    mysql_close(handle_);
}

bool mysql_admin::exec(const std::string& statements) {
    if (!exec_for_result(statements)) {
        return false;
    }
    do {
        if (MYSQL_RES* result = mysql_store_result(handle_)) {
            mysql_free_result(result);
        }
    } while (mysql_next_result(handle_) == 0);
    if (mysql_errno(handle_) != 0) {
        error_ = mysql_error(handle_);
        return false;
    }
    return true;
}

std::string mysql_admin::scalar(const std::string& query) {
    if (!exec_for_result(query)) {
        return std::string();
    }
    MYSQL_RES* result = mysql_store_result(handle_);
    std::string value;
    if (result != nullptr) {
        if (MYSQL_ROW row = mysql_fetch_row(result); row != nullptr && row[0] != nullptr) {
            value = row[0];
        }
        mysql_free_result(result);
    }
    return value;
}

bool mysql_admin::exec_for_result(const std::string& query) {
    if (mysql_real_query(handle_, query.data(), query.size()) != 0) {
        error_ = mysql_error(handle_);
        return false;
    }
    return true;
}

QString oralite_database::tool() {
    return qEnvironmentVariable("TARVOLIN_BIN_DIR") + QStringLiteral("/oralite");
}

oralite_database::oralite_database(const QString& folder, const QString& user,
                                   const QString& password)
    : path_(folder + QStringLiteral("/target.db")), user_(user), password_(password) {
    if (!QFileInfo(tool()).isExecutable()) {
        error_ = QStringLiteral("no oralite tool at ") + tool();
        return;
    }
    bool ok = false;
    run({QStringLiteral("create"), path_}, &ok);
    if (!ok) {
        return;
    }
    run({QStringLiteral("sql"), path_, QStringLiteral("SYSTEM/manager"),
         QStringLiteral("CREATE USER %1 IDENTIFIED BY %2").arg(user_, password_),
         QStringLiteral("GRANT CREATE SESSION, CREATE TABLE, CREATE SEQUENCE, CREATE TRIGGER TO ") +
             user_,
         // The tests count the sessions of their own process in V$SESSTAT.
         QStringLiteral("GRANT SELECT ANY DICTIONARY TO ") + user_,
         QStringLiteral("ALTER USER %1 QUOTA UNLIMITED ON USERS").arg(user_)},
        &ok);
    ready_ = ok;
}

QString oralite_database::run(const QStringList& arguments, bool* ok) const {
    QProcess process;
    process.start(tool(), arguments);
    *ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
          process.exitCode() == 0;
    if (!*ok) {
        error_ = QStringLiteral("%1 (exit %2): %3 %4")
                     .arg(arguments.join(QLatin1Char(' ')))
                     .arg(process.exitCode())
                     .arg(QString::fromUtf8(process.readAllStandardError()),
                          QString::fromUtf8(process.readAllStandardOutput()));
        return QString();
    }
    // Not null, even when the statements printed nothing (null stands for a failure).
    return QString::fromUtf8(process.readAllStandardOutput()).append(QLatin1String(""));
}

QString oralite_database::sql(const QStringList& statements) const {
    bool ok = false;
    const QString out =
        run(QStringList{QStringLiteral("sql"), path_, user_ + QLatin1Char('/') + password_} +
                statements,
            &ok);
    return ok ? out : QString();
}

QList<QStringList> oralite_database::rows(const QString& query) const {
    QStringList lines = sql({query}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QList<QStringList> result;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        result << lines[i].split(QLatin1Char('\t'));
    }
    return result;
}

QString oralite_database::scalar(const QString& query) const {
    const QList<QStringList> r = rows(query);
    return r.isEmpty() || r.front().isEmpty() ? QString() : r.front().front();
}

namespace {

// A TCP socket bound to an ephemeral loopback port; its port through *port.
int bound_loopback_socket(unsigned* port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        qFatal("cannot bind a loopback socket");
    }
    *port = ntohs(address.sin_port);
    return fd;
}

int connect_to(const std::string& host, unsigned port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return -1;
    }
    const int fd = socket(found->ai_family, found->ai_socktype, 0);
    if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
        close(fd);
        freeaddrinfo(found);
        return -1;
    }
    freeaddrinfo(found);
    return fd;
}

// Waits up to 20 ms for fd to be readable.
bool readable(int fd) {
    pollfd watched{fd, POLLIN, 0};
    return poll(&watched, 1, 20) > 0;
}

}  // namespace

silent_server::silent_server(const std::string& target_host, unsigned target_port)
    : target_host_(target_host), target_port_(target_port) {
    listener_ = bound_loopback_socket(&port_);
    listen(listener_, 4);
    thread_ = std::thread([this] { serve(); });
}

silent_server::~silent_server() {
    stop_ = true;
    thread_.join();
    close(listener_);
}

void silent_server::serve() {
    while (!stop_ && !readable(listener_)) {
    }
    if (stop_) {
        return;
    }
    const int client = accept(listener_, nullptr, nullptr);
    accepted_ = true;
    while (!stop_ && !relay_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const int server = stop_ ? -1 : connect_to(target_host_, target_port_);
    if (server >= 0) {
        pass_on(client, server);
        close(server);
    }
    close(client);
}

bool silent_server::closed_soon(int client) const {
    char buffer[4096];
    for (int waits = 0; !stop_ && waits < 250; ++waits) {
        pollfd end = {client, POLLIN, 0};
        if (poll(&end, 1, 20) <= 0) {
            continue;
        }
        if (read(client, buffer, sizeof buffer) <= 0) {
            return true;
        }
    }
    return false;
}

void silent_server::pass_on(int client, int server) {
    char buffer[16384];
    while (!stop_) {
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (poll(ends, 2, 20) <= 0) {
            continue;
        }
        for (int side = 0; side < 2; ++side) {
            if ((ends[side].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            const ssize_t got = read(ends[side].fd, buffer, sizeof buffer);
            if (got <= 0) {
                // The server may close first, having read the client's goodbye before the
                // client has closed its end: the client's end is then awaited on its own.
                client_closed_ = side == 0 || closed_soon(client);
                return;
            }
            if (write(ends[1 - side].fd, buffer, static_cast<size_t>(got)) != got) {
                return;
            }
        }
    }
}

refusing_port::refusing_port() {
    socket_ = bound_loopback_socket(&port_);
}

refusing_port::~refusing_port() {
    close(socket_);
}

}  // namespace wizard_test

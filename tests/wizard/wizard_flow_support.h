// What the wizard's end-to-end suite needs besides the wizard: a MySQL session of its own on
// the sandbox to build source data, and an embedded Oracle database made and read back with the
// `oralite` tool, so that nothing is checked through the code under test.
#pragma once

#include <mysql.h>

#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "test_support/mariadb_sandbox.h"

namespace wizard_test {

class mysql_admin {
  public:
    explicit mysql_admin(const test_support::mariadb_sandbox& server);
    ~mysql_admin();
    mysql_admin(const mysql_admin&) = delete;
    mysql_admin& operator=(const mysql_admin&) = delete;

    // Runs statements separated by ";"; false (with the error in last_error) when one fails.
    bool exec(const std::string& statements);
    const std::string& last_error() const { return error_; }
    // The first field of the first row of a query, or an empty string.
    std::string scalar(const std::string& query);

  private:
    bool exec_for_result(const std::string& query);

    MYSQL* handle_;
    std::string error_;
};

// One embedded Oracle database file in a folder of its own, with a user who may create tables,
// sequences and triggers.
class oralite_database {
  public:
    oralite_database(const QString& folder, const QString& user, const QString& password);

    // True when the tool exists and the database and the user were made.
    bool ready() const { return ready_; }
    const QString& error() const { return error_; }
    const QString& path() const { return path_; }

    // Runs statements as the user; the tool's standard output, or a null string on failure.
    QString sql(const QStringList& statements) const;
    // The rows of one query as tab-separated fields, header line left out.
    QList<QStringList> rows(const QString& query) const;
    // The first field of the first row, or a null string.
    QString scalar(const QString& query) const;

    static QString tool();

  private:
    QString run(const QStringList& arguments, bool* ok) const;

    QString path_;
    QString user_;
    QString password_;
    bool ready_ = false;
    mutable QString error_;
};

// A MySQL server that hangs: a listener on 127.0.0.1 that accepts one client and sends it
// nothing, not even the greeting, until relay(); from then on it passes the conversation on to
// the real server at target, so that the client's log-on succeeds late. It notes when the
// client has closed its end.
class silent_server {
  public:
    silent_server(const std::string& target_host, unsigned target_port);
    ~silent_server();
    silent_server(const silent_server&) = delete;
    silent_server& operator=(const silent_server&) = delete;

    unsigned port() const { return port_; }
    bool accepted() const { return accepted_; }
    void relay() { relay_ = true; }
    bool client_closed() const { return client_closed_; }

  private:
    void serve();
    void pass_on(int client, int server);
    // True when the client closes its end within five seconds (what it still sends is dropped).
    bool closed_soon(int client) const;

    std::string target_host_;
    unsigned target_port_;
    int listener_ = -1;
    unsigned port_ = 0;
    std::atomic<bool> accepted_ = false;
    std::atomic<bool> relay_ = false;
    std::atomic<bool> client_closed_ = false;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

// A loopback port that refuses connections: bound, never listening, for as long as it lives.
class refusing_port {
  public:
    refusing_port();
    ~refusing_port();
    refusing_port(const refusing_port&) = delete;
    refusing_port& operator=(const refusing_port&) = delete;
    unsigned port() const { return port_; }

  private:
    int socket_ = -1;
    unsigned port_ = 0;
};

}  // namespace wizard_test

// What the wizard's end-to-end suite needs besides the wizard: a MySQL session of its own on
// the sandbox to build source data, and an embedded Oracle database made and read back with the
// `oralite` tool, so that nothing is checked through the code under test.
#pragma once

#include <mysql.h>

#include <QString>
#include <QStringList>
#include <memory>
#include <string>
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

}  // namespace wizard_test

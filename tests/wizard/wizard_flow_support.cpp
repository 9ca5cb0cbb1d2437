#include "wizard_flow_support.h"

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

}  // namespace wizard_test

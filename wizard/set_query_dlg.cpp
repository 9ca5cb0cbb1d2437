#include "wizard/set_query_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "TK/tk_bug_report.h"
#include "TK/tk_trace_log.h"
#include "wizard/wizard_shell.h"

// Users are sent to the address that also receives the internal-error reports.
const QString set_query_dlg::syntax_error_text =
    QStringLiteral(
        "You have an error in your query syntax. Make sure that it is a correct SQL "
        "SELECT-statement. Contact ") +
    QString::fromLatin1(tk_bug_report_address) + QStringLiteral(" if the error persists.");

set_query_dlg::set_query_dlg(const QString& name, const QString& query, statement_tester tester,
                             QWidget* parent)
    : QDialog(parent), name_(name), query_(query), tester_(std::move(tester)) {
    tk_trace(1, "set_query_dlg::set_query_dlg");
    setObjectName(QStringLiteral("set_query_dlg"));
    setWindowTitle(QStringLiteral("Add Query"));

    auto* name_label = new QLabel(QStringLiteral("Store as Table:"), this);
    name_edit_ = new QLineEdit(this);
    name_edit_->setObjectName(QStringLiteral("name"));
    name_edit_->setMaxLength(max_text);
    name_label->setBuddy(name_edit_);
    auto* query_label = new QLabel(QStringLiteral("Query:"), this);
    query_edit_ = new QPlainTextEdit(this);
    query_edit_->setObjectName(QStringLiteral("query"));
    query_edit_->setTabChangesFocus(true);
    query_label->setBuddy(query_edit_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    auto* test = new QPushButton(QStringLiteral("Test Query"), this);
    test->setObjectName(QStringLiteral("test_query"));
    auto* help = new QPushButton(QStringLiteral("Help"), this);
    help->setObjectName(QStringLiteral("help"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(name_label, 0, 0);
    layout->addWidget(name_edit_, 0, 1);
    layout->addWidget(query_label, 1, 0, Qt::AlignTop);
    layout->addWidget(query_edit_, 1, 1, 4, 1);
    layout->addWidget(ok, 0, 2);
    layout->addWidget(cancel, 1, 2);
    layout->addWidget(test, 2, 2);
    layout->addWidget(help, 3, 2);
    resize(560, 260);

    connect(ok, &QPushButton::clicked, this, &set_query_dlg::on_ok);
    connect(cancel, &QPushButton::clicked, this, [this] {
        tk_trace(1, "set_query_dlg::on_cancel");
        reject();
    });
    connect(test, &QPushButton::clicked, this, &set_query_dlg::on_test_query);
    connect(help, &QPushButton::clicked, this, [] { wizard_shell::instance().display_help(1025); });

    tk_trace(1, "set_query_dlg::on_init");
    name_edit_->setText(name_);
    query_edit_->setPlainText(query_);
}

bool set_query_dlg::starts_with_select(QString& query) {
    qsizetype blanks = 0;
    while (blanks < query.size()) {
        const char16_t c = query[blanks].unicode();
        if (c != u'\t' && c != u'\n' && c != u'\r' && c != u' ') {
            break;
        }
        ++blanks;
    }
    query.remove(0, blanks);
    if (query.isEmpty()) {
        return true;
    }
    if (query.size() < 6) {
        return false;
    }
    return query.first(6).compare(QLatin1String("SELECT"), Qt::CaseInsensitive) == 0;
}

QString set_query_dlg::read_query() const {
    return query_edit_->toPlainText().left(max_text);
}

void set_query_dlg::on_ok() {
    tk_trace(1, "set_query_dlg::on_ok");
    auto& shell = wizard_shell::instance();
    const QString name = name_edit_->text().left(max_text);
    QString query = read_query();
    if (name.isEmpty()) {
        shell.message(QStringLiteral("Table name is empty!"));
        return;
    }
    if (!starts_with_select(query)) {
        shell.error(QStringLiteral("The query must start with SELECT."));
        return;
    }
    if (query.isEmpty()) {
        shell.error(QStringLiteral("Query is empty!"));
        return;
    }
    name_ = name;
    query_ = query;
    accept();
}

void set_query_dlg::on_test_query() {
    auto& shell = wizard_shell::instance();
    QString query = read_query();
    if (!starts_with_select(query)) {
        shell.error(QStringLiteral("The query must start with SELECT."));
        return;
    }
    if (tester_ && tester_(query)) {
        shell.message(QStringLiteral("The query is correct."));
    } else {
        shell.error(syntax_error_text);
    }
}

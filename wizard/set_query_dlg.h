// The "Add Query" dialog: a custom query is a name ("Store as Table") and a SELECT statement whose
// rows are converted as if they were a table. OK checks both; Test Query runs the statement
// against the chosen source database through the tester given at construction. Window thread
// only.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLineEdit;
class QPlainTextEdit;

class set_query_dlg : public QDialog {
    Q_OBJECT

  public:
    // Runs a statement against the source database; true when the server accepted it.
    using statement_tester = std::function<bool(const QString& statement)>;

    // Longest name and query read from the edits.
    static constexpr int max_text = 2047;
    // Shown by Test Query when the server refuses the statement.
    static const QString syntax_error_text;

    set_query_dlg(const QString& name, const QString& query, statement_tester tester,
                  QWidget* parent = nullptr);

    // After OK: the name and the query without its leading blanks.
    const QString& name() const { return name_; }
    const QString& query() const { return query_; }

    // Strips tabs, line feeds, carriage returns and spaces from the front of query; true when
    // what is left is empty or starts with SELECT in any letter case.
    static bool starts_with_select(QString& query);

  private:
    void on_ok();
    void on_test_query();
    QString read_query() const;

    QString name_;
    QString query_;
    statement_tester tester_;
    QLineEdit* name_edit_ = nullptr;
    QPlainTextEdit* query_edit_ = nullptr;
};

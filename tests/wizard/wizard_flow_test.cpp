// The whole wizard driven as a person would, against the MariaDB sandbox and the embedded Oracle
// target: connections with their failures, the database and table choice, custom queries, runs
// with and without rejected records and the summary they end with, Abort, the remembered
// settings and profile files, and numbers under a locale with a decimal comma.
#include <langinfo.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>
#include <functional>
#include <memory>
#include <optional>

#include "agent/comma_locale.h"
#include "core/dorvex_convertor.h"
#include "core/tk_error_converter.h"
#include "wizard/drx_shell.h"
#include "wizard/progress_page.h"
#include "wizard/sel_tables_page.h"
#include "wizard/set_query_dlg.h"
#include "wizard/sorted_list.h"
#include "wizard/tarvolin_application.h"
#include "wizard/wizard_shell.h"
#include "wizard_flow_support.h"
#include "wizard_test_support.h"

using namespace wizard_test;

namespace {

enum page_index { welcome, mysql, oracle, settings, tables, progress, finish };
const char* const page_names[] = {"welcome", "mysql",    "oracle", "settings",
                                  "tables",  "progress", "finish"};

// Set in the child run of the decimal comma test (see there).
const char* const comma_child_variable = "TARVOLIN_TEST_COMMA_CHILD";

// The figures of the summary's line that begins with the name, or an empty list.
QStringList summary_figures(const QString& summary, const QString& name) {
    for (const QString& line : summary.split(QLatin1Char('\n'))) {
        if (line.startsWith(name + QLatin1Char(' '))) {
            return line.mid(name.size()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        }
    }
    return {};
}

QString prepared_text(int32_t code) {
    tk_error_converter map(oracle_error_count, oracle_error_table);
    map.load_map(mysql_error_count, mysql_error_table);
    return QString::fromStdString(map.convert(code));
}

// One start of the program, shown and driven through its pages. Each page is photographed
// when it is first reached.
class session {
  public:
    explicit session(const QString& tag, const QStringList& arguments = {})
        : program_(arguments), shell_(program_.shell()), tag_(tag) {
        QObject::connect(&shell_, &QWizard::currentIdChanged, &shell_,
                         [this](int) { QTimer::singleShot(0, &shell_, [this] { photograph(); }); });
        watch_modals();
        shell_.show();
        shell_.activateWindow();
        if (!QTest::qWaitForWindowActive(&shell_)) {
            qWarning("the wizard did not become the active window");
        }
        first_size_ = shell_.size();
        photograph();
    }
    ~session() {
        // Every page was shown at the size the wizard took before it was first shown.
        if (!sizes_.isEmpty()) {
            QCOMPARE(sizes_, QList<QSize>(sizes_.size(), first_size_));
        }
    }

    wizard_shell& shell() { return shell_; }
    dorvex_convertor& converter() { return program_.converter(); }
    int page() const { return int(shell_.pageIds().indexOf(shell_.currentId())); }

    template <class T>
    T* find(const char* name) {
        T* found = shell_.currentPage()->findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr) {
            qFatal("no %s on page %d", name, page());
        }
        return found;
    }
    void set_text(const char* name, const QString& text) { find<QLineEdit>(name)->setText(text); }
    QString text(const char* name) { return find<QLineEdit>(name)->text(); }
    void click(const char* name) { find<QAbstractButton>(name)->click(); }

    // Presses Next (or its commit form) and tells whether the wizard moved on.
    bool next() {
        const int before = page();
        photograph();
        shell_.go_next();
        return page() != before;
    }
    // A key as the user presses it, to whatever has the focus. Shortcuts (the mnemonics) work
    // in the active window only, which a dialog that has just closed may have left inactive.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        if (!shell_.isActiveWindow()) {
            shell_.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&shell_));
        }
        QWidget* target = shell_.focusWidget();
        QTest::keyClick(target != nullptr ? target : &shell_, key, modifiers);
        if (modifiers & Qt::AltModifier) {
            // A button's mnemonic clicks it as a mouse would, released 100 ms later.
            QTest::qWait(150);
        }
    }
    // Text typed into the field that has the focus, replacing what it held.
    void type(const QString& text) {
        key(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(shell_.focusWidget(), text);
    }
    QString focused() const {
        const QWidget* focus = shell_.focusWidget();
        return focus != nullptr ? focus->objectName() : QString();
    }
    // Cancel, answered with Yes.
    void cancel() {
        answer_box(QStringLiteral("Yes"), QStringLiteral("box_cancel_%1").arg(tag_));
        shell_.button(QWizard::CancelButton)->click();
    }

  private:
    void photograph() {
        const int p = page();
        if (p >= 0) {
            sizes_ << shell_.size();
        }
        if (p >= 0 && !photographed_[p]) {
            photographed_[p] = true;
            screenshot(&shell_, QStringLiteral("flow_%1_%2_%3")
                                    .arg(tag_)
                                    .arg(p + 1)
                                    .arg(QString::fromLatin1(page_names[p])));
        }
    }

    tarvolin_program program_;
    wizard_shell& shell_;
    QString tag_;
    bool photographed_[7] = {};
    QSize first_size_;
    QList<QSize> sizes_;
};

}  // namespace

class wizard_flow_test : public QObject {
    Q_OBJECT

    test_support::mariadb_sandbox server_;
    std::unique_ptr<mysql_admin> admin_;
    QString source_;  // the sample database
    QString merge_;   // the database of the merge runs
    QTemporaryDir oracle_folder_;
    std::unique_ptr<oralite_database> oracle_;
    std::unique_ptr<QTemporaryDir> config_;
    QTemporaryDir files_;

    bool have_oracle() const { return oracle_ != nullptr && oracle_->ready(); }

    void oracle_exec(const QStringList& statements) {
        QVERIFY2(!oracle_->sql(statements).isNull(), qPrintable(oracle_->error()));
    }

    void admin(const std::string& statements) {
        QVERIFY2(admin_->exec(statements), admin_->last_error().c_str());
    }
    // A MySQL database of this process's own, made afresh with the statements in it.
    QString scratch_database(const char* suffix, const std::string& statements) {
        const QString name = QStringLiteral("wz%1_%2").arg(getpid()).arg(QLatin1String(suffix));
        const std::string db = name.toStdString();
        admin("DROP DATABASE IF EXISTS " + db + "; CREATE DATABASE " + db + "; USE " + db + "; " +
              statements);
        return name;
    }

    // The MySQL page filled for the sandbox (Remote), with the given password.
    void fill_mysql(session& s, const QString& password) {
        QCOMPARE(s.page(), int(mysql));
        s.click("remote");
        s.set_text("host", QString::fromStdString(server_.host));
        s.set_text("port", QString::number(server_.port));
        s.set_text("user", QString::fromStdString(server_.user));
        s.set_text("password", password);
    }
    void fill_oracle(session& s, const QString& password) {
        QCOMPARE(s.page(), int(oracle));
        s.click("by_service");
        s.set_text("service", oracle_->path());
        s.set_text("user", QStringLiteral("wiz"));
        s.set_text("password", password);
    }
    // From the welcome page to the settings page with working connections.
    void reach_settings(session& s) {
        QVERIFY(s.next());
        fill_mysql(s, QString::fromStdString(server_.password));
        QVERIFY(s.next());
        fill_oracle(s, QStringLiteral("wizpw"));
        QVERIFY(s.next());
        QCOMPARE(s.page(), int(settings));
    }
    void choose_database(session& s, const QString& name) {
        auto* list = s.find<sorted_list>("databases");
        const int row = list->find_exact(name);
        QVERIFY(row >= 0);
        list->setCurrentRow(row);
    }
    // On the tables page: moves the named entries from the available list to the selected one.
    void select_tables(session& s, const QStringList& names) {
        auto* page = static_cast<sel_tables_page*>(s.shell().currentPage());
        for (const QString& name : names) {
            const int row = page->available()->find_exact(name);
            QVERIFY2(row >= 0, qPrintable(name));
            page->available()->setCurrentRow(row);
            s.click("add");
        }
    }
    // From the first page to the tables page with one table of the database selected; on the
    // settings page, on_settings may change more.
    void choose_one_table(session& s, const QString& database, const QString& table,
                          const std::function<void()>& on_settings = {}) {
        reach_settings(s);
        choose_database(s, database);
        if (on_settings) {
            on_settings();
        }
        QVERIFY(s.next());
        select_tables(s, {table});
    }
    // Starts the run from the tables page and waits for the finish page.
    void run_to_finish(session& s) {
        QCOMPARE(s.page(), int(tables));
        QVERIFY(s.next());
        QCOMPARE(s.page(), int(progress));
        QVERIFY(!s.shell().button(QWizard::BackButton)->isEnabled());
        QVERIFY(!s.shell().button(QWizard::CommitButton)->isEnabled() ||
                !s.shell().button(QWizard::CommitButton)->isVisible());
        QVERIFY(wait_until([&] { return s.page() == finish; }, 90000));
        QVERIFY(!s.shell().timer_set());
    }

    struct run_result {
        QString closing;
        QStringList errors;
        QString summary;
    };
    // One run from the first page to the last over the merge database.
    void run_merge(const QString& tag, const char* mode, const QStringList& names,
                   const std::function<void()>& expect_dialogs, run_result& result) {
        session s(tag);
        reach_settings(s);
        choose_database(s, merge_);
        s.click(mode);
        QVERIFY(s.next());
        select_tables(s, names);
        expect_dialogs();
        run_to_finish(s);
        screenshot(&s.shell(), QStringLiteral("flow_%1_finish_result").arg(tag));
        result.errors = s.find<QPlainTextEdit>("errors")->toPlainText().split(
            QStringLiteral("\n\n"), Qt::SkipEmptyParts);
        result.closing = s.find<QLabel>("closing_text")->text();
        result.summary = s.find<QPlainTextEdit>("summary")->toPlainText();
        s.shell().button(QWizard::FinishButton)->click();
    }

    // The child's part of the decimal comma test: doubles at the ends of what Oracle's NUMBER
    // holds, and ones whose shortest text needs all 17 digits, through a whole run.
    void convert_doubles() {
        // The environment's locale has the decimal comma, so the run would see it without the
        // program's care.
        const locale_t comma = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
        QVERIFY(comma != static_cast<locale_t>(0));
        QCOMPARE(QString::fromLatin1(nl_langinfo_l(RADIXCHAR, comma)), QStringLiteral(","));
        freelocale(comma);

        const QString numbers = scratch_database(
            "dbl",
            "CREATE TABLE ratios (id INT PRIMARY KEY, d DOUBLE);"
            "INSERT INTO ratios VALUES (1, 0.30000000000000004), (2, -0.125), (3, 1.5),"
            " (4, 9.9999999999999992e125), (5, -1.2345678901234567e-129),"
            " (6, 2.2250738585072014e-100)");
        {
            session s(QStringLiteral("comma_locale"));
            choose_one_table(s, numbers, QStringLiteral("ratios"));
            run_to_finish(s);
            QCOMPARE(s.find<QLabel>("closing_text")->text(), success_closing_text);
            // The values themselves are read and written without the C library's locale; the
            // summary's seconds are not: they say whether the program set its own locale after
            // Qt's.
            const QStringList total = summary_figures(
                s.find<QPlainTextEdit>("summary")->toPlainText(), QStringLiteral("total"));
            QCOMPARE(total.mid(0, 4), QStringList({"6", "6", "0", "0"}));
            const QRegularExpression seconds(QStringLiteral("^[0-9]+\\.[0-9]{2}$"));
            QVERIFY2(seconds.match(total.value(4)).hasMatch(), qPrintable(total.join(' ')));
            s.shell().button(QWizard::FinishButton)->click();
        }
        admin_->exec("DROP DATABASE IF EXISTS " + numbers.toStdString());
        // Each value as Oracle holds it, read back as the nearest double: the very one sent.
        const double sent[] = {
            0.30000000000000004,    -0.125, 1.5, 9.9999999999999992e125, -1.2345678901234567e-129,
            2.2250738585072014e-100};
        const QList<QStringList> rows =
            oracle_->rows(QStringLiteral("SELECT ID, D FROM RATIOS ORDER BY ID"));
        QCOMPARE(rows.size(), qsizetype(std::size(sent)));
        for (qsizetype k = 0; k < rows.size(); ++k) {
            bool ok = false;
            const double stored = rows[k].value(1).toDouble(&ok);
            QVERIFY2(ok && stored == sent[k], qPrintable(rows[k].join(QLatin1Char(' '))));
        }
    }

  private slots:
    void initTestCase() {
        // The program keeps rejected records in the folder it was started in.
        QVERIFY(QDir::setCurrent(files_.path()));
        const auto server = test_support::mariadb_sandbox::get();
        if (!server) {
            QSKIP("no MariaDB sandbox (run the suite through ctest)");
        }
        server_ = *server;
        admin_ = std::make_unique<mysql_admin>(server_);
        QVERIFY2(admin_->last_error().empty(), admin_->last_error().c_str());
        const QString prefix = QStringLiteral("wz%1_").arg(getpid());
        source_ = prefix + QStringLiteral("src");
        merge_ = prefix + QStringLiteral("mrg");
        const std::string src = source_.toStdString();
        const std::string mrg = merge_.toStdString();
        admin("DROP DATABASE IF EXISTS " + src + "; CREATE DATABASE " + src +
              " CHARACTER SET utf8mb4; USE " + src +
              ";"
              "CREATE TABLE customers (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(40) NOT "
              "NULL, city VARCHAR(40), UNIQUE KEY (name));"
              "INSERT INTO customers (name, city) VALUES ('Ann', 'Oslo'), ('Zoë', 'Zürich'), "
              "('Bob', NULL);"
              "CREATE TABLE orders (id INT AUTO_INCREMENT PRIMARY KEY, customer_id INT, amount "
              "DECIMAL(10,2), placed DATE);"
              "INSERT INTO orders (customer_id, amount, placed) VALUES (1, 5.50, '2024-01-02'), "
              "(2, 12.00, '2024-02-03'), (2, 99.99, NULL), (3, 15.25, '2024-03-04');"
              "CREATE TABLE notes (id INT PRIMARY KEY, body TEXT);"
              "INSERT INTO notes VALUES (1, 'first'), (2, 'second')");
        admin("DROP DATABASE IF EXISTS " + mrg + "; CREATE DATABASE " + mrg +
              " CHARACTER SET utf8mb4; USE " + mrg +
              ";"
              "CREATE TABLE a_dup (id INT PRIMARY KEY, label VARCHAR(20));"
              "INSERT INTO a_dup VALUES (1, 'one'), (2, 'two'), (3, 'three');"
              "CREATE TABLE b_later (id INT PRIMARY KEY);"
              "INSERT INTO b_later VALUES (7)");
        oracle_ = std::make_unique<oralite_database>(oracle_folder_.path(), QStringLiteral("wiz"),
                                                     QStringLiteral("wizpw"));
        if (!oracle_->ready()) {
            qWarning("no embedded Oracle target: %s", qPrintable(oracle_->error()));
        }
    }

    void cleanupTestCase() {
        if (admin_ != nullptr) {
            admin_->exec("DROP DATABASE IF EXISTS " + source_.toStdString() +
                         "; DROP DATABASE IF EXISTS " + merge_.toStdString());
        }
    }

    void init() {
        // Every test starts as a first start: no remembered settings.
        config_ = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", config_->path().toUtf8());
    }

    void cleanup() {
        QVERIFY(modals_done());
        forget_modals();
    }

    void mysql_page_reports_a_wrong_password_and_port_then_connects() {
        session s(QStringLiteral("mysql"));
        QVERIFY(s.next());
        fill_mysql(s, QString::fromStdString(server_.password) + QStringLiteral("-wrong"));
        box_seen wrong;
        answer_box(QStringLiteral("OK"), QStringLiteral("box_mysql_1045"), &wrong);
        QVERIFY(!s.next());
        QCOMPARE(wrong.caption, QStringLiteral("Tarvolin 3.1 Error"));
        QCOMPARE(wrong.text, wizard_shell::as_paragraphs(prepared_text(0x400415)));

        // A port without digits, or 0, is refused before the server is asked.
        s.set_text("password", QString::fromStdString(server_.password));
        for (const char* bad_port : {"0", "abc", "x3306"}) {
            s.set_text("port", QString::fromLatin1(bad_port));
            box_seen port;
            answer_box(QStringLiteral("OK"), QStringLiteral("box_mysql_port"), &port);
            QVERIFY(!s.next());
            QCOMPARE(port.text, QStringLiteral("Invalid port number"));
        }
        // What was typed is kept in the settings; an empty or blank port shows the default one
        // and is stored so, by Back as by Next.
        mysql_converter_impl& stored = s.converter();
        QCOMPARE(stored.host, server_.host);
        s.set_text("port", QStringLiteral("  "));
        s.shell().back();
        QCOMPARE(stored.port, std::string("3306"));
        QVERIFY(s.next());
        QCOMPARE(s.text("port"), QStringLiteral("3306"));

        // A server that refuses the TCP connection gets the prepared text of error 2003, not
        // the client's own words.
        const refusing_port closed;
        s.set_text("port", QString::number(closed.port()));
        box_seen refused;
        answer_box(QStringLiteral("OK"), QStringLiteral("box_mysql_refused"), &refused);
        QVERIFY(!s.next());
        QCOMPARE(refused.text, wizard_shell::as_paragraphs(prepared_text(0x4007D3)));

        // Local disables the remote fields; Remote gives them back.
        s.click("local");
        QVERIFY(!s.find<QLineEdit>("host")->isEnabled());
        s.click("remote");
        QVERIFY(s.find<QLineEdit>("host")->isEnabled());
        s.set_text("port", QString::number(server_.port));
        QVERIFY(s.next());
        QCOMPARE(s.page(), int(oracle));
        s.cancel();
    }

    void oracle_page_validates_before_connecting_and_maps_a_wrong_password() {
        session s(QStringLiteral("oracle"));
        QVERIFY(s.next());
        fill_mysql(s, QString::fromStdString(server_.password));
        QVERIFY(s.next());
        s.click("by_address");
        QVERIFY(!s.find<QLineEdit>("service")->isEnabled());
        s.set_text("address", QString());
        const int dialogs_before = connecting_dialogs();
        box_seen address;
        answer_box(QStringLiteral("OK"), QStringLiteral("box_oracle_no_address"), &address);
        QVERIFY(!s.next());
        QCOMPARE(address.text,
                 QStringLiteral("You should enter IP address or network name of Oracle server."));
        QCOMPARE(address.icon, int(QMessageBox::Information));
        s.click("by_service");
        s.set_text("service", QString());
        box_seen service;
        answer_box(QStringLiteral("OK"), QStringLiteral("box_oracle_no_service"), &service);
        QVERIFY(!s.next());
        QCOMPARE(service.text, QStringLiteral("You should enter Oracle data source name."));
        // Neither attempt reached for the server.
        QCOMPARE(connecting_dialogs(), dialogs_before);
        QVERIFY(s.converter().oracle_database() == nullptr);

        if (!have_oracle()) {
            s.cancel();
            QSKIP("no embedded Oracle target");
        }
        fill_oracle(s, QStringLiteral("not-the-password"));
        box_seen wrong;
        answer_box(QStringLiteral("OK"), QStringLiteral("box_oracle_1017"), &wrong);
        QVERIFY(!s.next());
        QCOMPARE(wrong.text, QStringLiteral("Invalid user name or password."));
        QCOMPARE(s.page(), int(oracle));
        s.set_text("password", QStringLiteral("wizpw"));
        QVERIFY(s.next());
        QCOMPARE(s.page(), int(settings));
        s.cancel();
    }

    void whole_run_converts_tables_and_a_query_and_saves_a_profile() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        const QString profile = files_.path() + QStringLiteral("/shop.drx");
        {
            session s(QStringLiteral("run"));
            // A remembered name that is a prefix of a listed one selects it.
            s.converter().source_database = QStringLiteral("WZ%1_S").arg(getpid()).toStdWString();
            reach_settings(s);
            auto* databases = s.find<sorted_list>("databases");
            QVERIFY(databases->currentItem() != nullptr);
            QCOMPARE(databases->currentItem()->text(), source_);
            // A first start: overwrite, uppercase names, the other switches off.
            QVERIFY(s.find<QRadioButton>("overwrite")->isChecked());
            QVERIFY(s.find<QCheckBox>("uppercase")->isChecked());
            QVERIFY(!s.find<QCheckBox>("tab_def")->isChecked());
            QVERIFY(!s.find<QCheckBox>("skip_idx")->isChecked());
            QVERIFY(!s.find<QCheckBox>("blob2text")->isChecked());
            QVERIFY(!s.find<QCheckBox>("time_interval")->isChecked());
            s.click("time_interval");
            QVERIFY(s.next());

            auto* page = static_cast<sel_tables_page*>(s.shell().currentPage());
            QCOMPARE(page->available()->texts(), QStringList({"customers", "notes", "orders"}));
            s.click("add_all");
            QCOMPARE(page->available()->count(), 0);
            page->selected()->setCurrentRow(page->selected()->find_exact(QStringLiteral("notes")));
            s.click("remove");
            QCOMPARE(page->available()->texts(), QStringList({"notes"}));

            // A custom query: a taken name is refused and the dialog comes back with what was
            // typed; Test Query asks the server.
            on_modal([](QWidget* d) {
                d->findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("NOTES"));
                auto* query = d->findChild<QPlainTextEdit*>(QStringLiteral("query"));
                query->setPlainText(QStringLiteral("SELECT FROM orders"));
                press(d, "test_query");  // refused by the server; the dialog stays
                query->setPlainText(
                    QStringLiteral("\n  SELECT id, amount FROM orders WHERE amount > 10"));
                press(d, "ok");  // NOTES is taken: refused, and the dialog comes back
            });
            box_seen syntax;
            answer_box(QStringLiteral("OK"), QStringLiteral("box_query_syntax"), &syntax);
            answer_box(QStringLiteral("OK"), QStringLiteral("box_query_duplicate"));
            on_modal([](QWidget* d) {
                auto* name = d->findChild<QLineEdit*>(QStringLiteral("name"));
                QCOMPARE(name->text(), QStringLiteral("NOTES"));
                name->setText(QStringLiteral("big_orders"));
                press(d, "test_query");
                press(d, "ok");
            });
            box_seen correct;
            answer_box(QStringLiteral("OK"), QStringLiteral("box_query_correct"), &correct);
            s.click("add_query");
            QCOMPARE(syntax.text, set_query_dlg::syntax_error_text);
            QCOMPARE(correct.text, QStringLiteral("The query is correct."));
            QCOMPARE(page->selected()->texts(), QStringList({"big_orders", "customers", "orders"}));
            QCOMPARE(page->selected_queries().value(QStringLiteral("big_orders")),
                     QStringLiteral("SELECT id, amount FROM orders WHERE amount > 10"));

            run_to_finish(s);
            QCOMPARE(s.find<QLabel>("closing_text")->text(), success_closing_text);
            QVERIFY(!s.find<QPlainTextEdit>("errors")->isVisible());
            // Every record of every entry arrived; no rejects file.
            const QString summary = s.find<QPlainTextEdit>("summary")->toPlainText();
            QCOMPARE(summary_figures(summary, QStringLiteral("customers -> CUSTOMERS")).mid(0, 4),
                     QStringList({"3", "3", "0", "0"}));
            QCOMPARE(summary_figures(summary, QStringLiteral("big_orders -> BIG_ORDERS")).mid(0, 4),
                     QStringList({"3", "3", "0", "0"}));
            QCOMPARE(summary_figures(summary, QStringLiteral("total")).mid(0, 4),
                     QStringList({"10", "10", "0", "0"}));
            QVERIFY(!s.find<QLineEdit>("rejects_file")->isVisible());
            QVERIFY(s.converter().selected_tables ==
                    std::vector<std::wstring>({L"customers", L"orders"}));

            on_modal([&](QWidget* d) {
                auto* files = qobject_cast<QFileDialog*>(d);
                QVERIFY(files != nullptr);
                screenshot(d, QStringLiteral("dlg_file_save_profile"));
                choose_file(files, profile);
            });
            s.click("save_settings");
            QVERIFY(QFileInfo(profile).isFile());
            s.shell().button(QWizard::FinishButton)->click();
            QCOMPARE(s.shell().result(), int(QDialog::Accepted));
        }
        // The data is in the Oracle schema.
        QCOMPARE(oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM CUSTOMERS")),
                 QStringLiteral("3"));
        QCOMPARE(oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM ORDERS")),
                 QStringLiteral("4"));
        QCOMPARE(oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM BIG_ORDERS")),
                 QStringLiteral("3"));
        QCOMPARE(oracle_->scalar(QStringLiteral("SELECT CITY FROM CUSTOMERS WHERE NAME = 'Zoë'")),
                 QStringLiteral("Zürich"));
        QVERIFY(oracle_->sql({QStringLiteral("SELECT COUNT(*) FROM NOTES")}).isNull());

        // The profile brings the whole setup back, from the command line and from the welcome
        // page, on a machine that remembers nothing.
        for (const bool from_command_line : {true, false}) {
            init();
            const QString tag =
                from_command_line ? QStringLiteral("profile_arg") : QStringLiteral("profile_load");
            session s(tag, from_command_line ? QStringList{profile} : QStringList{});
            if (!from_command_line) {
                on_modal([&](QWidget* d) {
                    auto* files = qobject_cast<QFileDialog*>(d);
                    QVERIFY(files != nullptr);
                    screenshot(d, QStringLiteral("dlg_file_open_profile"));
                    choose_file(files, profile);
                });
                s.click("load_settings");
            }
            QVERIFY(s.next());
            QVERIFY(s.find<QRadioButton>("remote")->isChecked());
            QCOMPARE(s.text("host"), QString::fromStdString(server_.host));
            QCOMPARE(s.text("port"), QString::number(server_.port));
            QCOMPARE(s.text("user"), QString::fromStdString(server_.user));
            QVERIFY(s.next());
            QVERIFY(s.find<QRadioButton>("by_service")->isChecked());
            QCOMPARE(s.text("service"), oracle_->path());
            QCOMPARE(s.text("user"), QStringLiteral("wiz"));
            QVERIFY(s.next());
            QCOMPARE(s.find<sorted_list>("databases")->currentItem()->text(), source_);
            QVERIFY(s.find<QCheckBox>("time_interval")->isChecked());
            QVERIFY(s.next());
            auto* page = static_cast<sel_tables_page*>(s.shell().currentPage());
            QCOMPARE(page->selected()->texts(), QStringList({"big_orders", "customers", "orders"}));
            QCOMPARE(page->available()->texts(), QStringList({"notes"}));
            s.cancel();
        }
    }

    void rejected_records_are_listed_and_abort_stops_the_run() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        // A first run makes A_DUP with its primary key; the Oracle copy then loses row 3.
        const QString duplicate =
            prepared_text(0x100001).replace(QLatin1Char('\n'), QLatin1Char(' '));

        run_result first;
        run_merge(
            QStringLiteral("merge_base"), "overwrite", {"a_dup"}, [] {}, first);
        if (QTest::currentTestFailed()) {
            return;
        }
        QCOMPARE(first.closing, success_closing_text);
        QCOMPARE(oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM A_DUP")),
                 QStringLiteral("3"));
        oracle_exec({QStringLiteral("DELETE FROM A_DUP WHERE ID = 3")});

        // Merging again: records 1 and 2 are refused, each with its dialog; 3 goes in.
        QStringList shown;
        run_result second;
        run_merge(
            QStringLiteral("merge_rejects"), "merge", {"a_dup", "b_later"},
            [&] {
                for (int i = 0; i < 2; ++i) {
                    on_modal([&, i](QWidget* d) {
                        shown << d->findChild<QLabel*>(QStringLiteral("message"))->text();
                        screenshot(d, QStringLiteral("dlg_error_continue_record_%1").arg(i + 1));
                        press(d, "continue");
                    });
                }
            },
            second);
        if (QTest::currentTestFailed()) {
            return;
        }
        QCOMPARE(second.closing, error_closing_text);
        const QStringList expected = {QStringLiteral("a_dup, record #1: ") + duplicate,
                                      QStringLiteral("a_dup, record #2: ") + duplicate};
        QCOMPARE(shown, expected);
        QCOMPARE(second.errors, expected);
        QCOMPARE(oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM A_DUP")),
                 QStringLiteral("3"));
        QCOMPARE(oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM B_LATER")),
                 QStringLiteral("1"));

        // Abort at the first refused record ends the run: nothing after its batch is converted.
        // Records travel to Oracle a batch at a time, so record 3, sent with records 1 and 2,
        // is in; the next table is not.
        oracle_exec({QStringLiteral("DELETE FROM A_DUP WHERE ID = 3"),
                     QStringLiteral("DROP TABLE B_LATER")});
        run_result third;
        run_merge(
            QStringLiteral("merge_abort"), "merge", {"a_dup", "b_later"},
            [&] { on_modal([](QWidget* d) { press(d, "abort"); }); }, third);
        if (QTest::currentTestFailed()) {
            return;
        }
        QCOMPARE(third.closing, error_closing_text);
        QCOMPARE(third.errors, QStringList({expected.front()}));
        // The summary says that the run ended early, in the table it was in; the table after it
        // was never reached.
        QVERIFY2(summary_figures(third.summary, QStringLiteral("a_dup -> A_DUP"))
                     .contains(QStringLiteral("failed:")),
                 qPrintable(third.summary));
        QVERIFY(summary_figures(third.summary, QStringLiteral("b_later")).isEmpty());
        // Record 3 of the refused batch arrived (see the count below), so the report should
        // count it as written.
        QEXPECT_FAIL("", "a run aborted within a batch counts none of the batch as written",
                     Continue);
        QCOMPARE(summary_figures(third.summary, QStringLiteral("a_dup -> A_DUP")).value(1),
                 QStringLiteral("1"));
        QVERIFY(third.summary.contains(QStringLiteral("The run ended before its last table.")));
        QVERIFY(!second.summary.contains(QStringLiteral("The run ended")));
        QCOMPARE(oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM A_DUP")),
                 QStringLiteral("3"));
        QVERIFY(oracle_->sql({QStringLiteral("SELECT COUNT(*) FROM B_LATER")}).isNull());
    }

    void demo_shop_database_moves_whole() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        // The demo's sample shop, loaded under a name of this suite's own.
        QFile sample(qEnvironmentVariable("TARVOLIN_SOURCE_DIR") +
                     QStringLiteral("/scripts/sample/shop.sql"));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        const QString shop = QStringLiteral("wz%1_shop").arg(getpid());
        QString script = QString::fromUtf8(sample.readAll());
        script.replace(QStringLiteral("DATABASE IF EXISTS shop;"),
                       QStringLiteral("DATABASE IF EXISTS %1;").arg(shop));
        script.replace(QStringLiteral("CREATE DATABASE shop "),
                       QStringLiteral("CREATE DATABASE %1 ").arg(shop));
        script.replace(QStringLiteral("USE shop;"), QStringLiteral("USE %1;").arg(shop));
        admin(script.toStdString());
        QStringList tables;
        {
            session s(QStringLiteral("shop"));
            reach_settings(s);
            choose_database(s, shop);
            QVERIFY(s.next());
            auto* page = static_cast<sel_tables_page*>(s.shell().currentPage());
            tables = page->available()->texts();
            QCOMPARE(tables.size(), 12);
            s.click("add_all");
            // Any error of the run is let pass, so that the finish page lists them all.
            on_unexpected_modal([](QWidget* d) {
                screenshot(d, QStringLiteral("dlg_unexpected_shop"));
                if (d->findChild<QPushButton*>(QStringLiteral("continue")) != nullptr) {
                    press(d, "continue");
                } else if (auto* box = qobject_cast<QMessageBox*>(d)) {
                    box->button(QMessageBox::Ok)->click();
                }
            });
            run_to_finish(s);
            QCOMPARE(s.find<QPlainTextEdit>("errors")->toPlainText(), QString());
            QCOMPARE(s.find<QLabel>("closing_text")->text(), success_closing_text);
            s.shell().button(QWizard::FinishButton)->click();
        }
        for (const QString& table : tables) {
            const std::string mysql_count = admin_->scalar(
                "SELECT COUNT(*) FROM " + shop.toStdString() + "." + table.toStdString());
            QCOMPARE(oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table.toUpper()),
                     QString::fromStdString(mysql_count));
        }
        admin_->exec("DROP DATABASE IF EXISTS " + shop.toStdString());
    }

    // The finish page shows the run's summary as its report has it, and the path of the file
    // that keeps the rejected records. A TIME of 24:00:00 is no time of day, which an Oracle
    // DATE cannot hold: its record is rejected and saved, the records of 00:00:00 and 23:59:59
    // arrive.
    void finish_page_shows_the_summary_and_the_rejects_file() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        const QString clock = scratch_database(
            "clk",
            "CREATE TABLE clock (id INT PRIMARY KEY, t TIME);"
            "INSERT INTO clock VALUES (1, '00:00:00'), (2, '23:59:59'), (3, '24:00:00')");
        session s(QStringLiteral("summary"));
        choose_one_table(s, clock, QStringLiteral("clock"));
        // Every error of the run, each let pass.
        QStringList errors;
        on_unexpected_modal([&](QWidget* d) {
            const auto* message = d->findChild<QLabel*>(QStringLiteral("message"));
            errors << (message != nullptr ? message->text() : d->objectName());
            if (d->findChild<QPushButton*>(QStringLiteral("continue")) != nullptr) {
                press(d, "continue");
            } else {
                d->close();
            }
        });
        run_to_finish(s);
        forget_modals();
        screenshot(&s.shell(), QStringLiteral("flow_summary_finish_result"));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.front().startsWith(QStringLiteral("clock, record #3: ")),
                 qPrintable(errors.front()));
        QCOMPARE(s.find<QLabel>("closing_text")->text(), error_closing_text);

        auto* summary = s.find<QPlainTextEdit>("summary");
        QVERIFY(summary->isVisible());
        QVERIFY(summary->isReadOnly());
        QStringList lines;
        for (const std::wstring& line : s.converter().last_report().summary_lines()) {
            lines << QString::fromStdWString(line);
        }
        const QString text = summary->toPlainText();
        QCOMPARE(text, lines.join(QLatin1Char('\n')));
        // Read, written, rejected, altered.
        const QStringList figures = {"3", "2", "1", "0"};
        QCOMPARE(summary_figures(text, QStringLiteral("clock -> CLOCK")).mid(0, 4), figures);
        QCOMPARE(summary_figures(text, QStringLiteral("total")).mid(0, 4), figures);

        // The rejects file, named in full in the folder the program was started in.
        const QString rejects_path = QFileInfo(files_.path()).canonicalFilePath() +
                                     QLatin1Char('/') + clock + QStringLiteral(".rejects.sql");
        auto* rejects = s.find<QLineEdit>("rejects_file");
        QVERIFY(rejects->isVisible());
        QVERIFY(rejects->isReadOnly());
        QCOMPARE(rejects->text(), rejects_path);
        QVERIFY(
            text.endsWith(QStringLiteral("The rejected records were saved in ") + rejects_path));
        QFile file(rejects_path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString saved = QString::fromUtf8(file.readAll());
        QVERIFY2(saved.contains(
                     QStringLiteral("INSERT INTO `clock` (`id`, `t`) VALUES (3, '24:00:00');")),
                 qPrintable(saved));
        QCOMPARE(saved.count(QStringLiteral("INSERT INTO")), 1);
        s.shell().button(QWizard::FinishButton)->click();
        QCOMPARE(oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM CLOCK WHERE ID < 3")),
                 QStringLiteral("2"));
        QCOMPARE(oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM CLOCK")),
                 QStringLiteral("2"));
        admin_->exec("DROP DATABASE IF EXISTS " + clock.toStdString());
    }

    // With "TIME columns as intervals" checked, MySQL TIME columns become day-to-second
    // intervals: the whole TIME range arrives, the negative values and the hours past a day
    // that a DATE cannot hold included, whole seconds and microseconds alike.
    void time_columns_as_intervals_arrive_whole() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        const QString spans = scratch_database(
            "spn",
            "CREATE TABLE spans (id INT PRIMARY KEY, t TIME, f TIME(6));"
            "INSERT INTO spans VALUES (5, '838:59:59', '838:59:59.000000'),"
            " (1, '-838:59:59', '-838:59:59.000000'), (3, '00:00:00', '00:00:00.000000'),"
            " (2, '-00:00:01', '-00:00:00.000001'), (4, '24:00:00', '23:59:59.999999')");
        {
            session s(QStringLiteral("time_interval"));
            choose_one_table(s, spans, QStringLiteral("spans"), [&] { s.click("time_interval"); });
            run_to_finish(s);
            QCOMPARE(s.find<QLabel>("closing_text")->text(), success_closing_text);
            QCOMPARE(summary_figures(s.find<QPlainTextEdit>("summary")->toPlainText(),
                                     QStringLiteral("spans -> SPANS"))
                         .mid(0, 4),
                     QStringList({"5", "5", "0", "0"}));
            s.shell().button(QWizard::FinishButton)->click();
        }
        admin_->exec("DROP DATABASE IF EXISTS " + spans.toStdString());
        QCOMPARE(oracle_->rows(QStringLiteral("SELECT column_name, data_type FROM "
                                              "user_tab_columns WHERE table_name = 'SPANS' "
                                              "AND column_name <> 'ID' ORDER BY column_id")),
                 QList<QStringList>({{"T", "INTERVAL DAY(2) TO SECOND(0)"},
                                     {"F", "INTERVAL DAY(2) TO SECOND(6)"}}));
        QCOMPARE(oracle_->rows(QStringLiteral("SELECT t, f FROM spans ORDER BY id")),
                 QList<QStringList>({{"-34 22:59:59", "-34 22:59:59.000000"},
                                     {"-00 00:00:01", "-00 00:00:00.000001"},
                                     {"+00 00:00:00", "+00 00:00:00.000000"},
                                     {"+01 00:00:00", "+00 23:59:59.999999"},
                                     {"+34 22:59:59", "+34 22:59:59.000000"}}));
    }

    // Qt sets the process locale from the environment while it constructs the application; a
    // locale with a decimal comma must still not change a DOUBLE on its way. The suite runs
    // itself once more under such a locale, for this test alone, and the child converts.
    void a_double_arrives_exactly_under_a_decimal_comma_locale() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        if (qEnvironmentVariableIsSet(comma_child_variable)) {
            convert_doubles();
            return;
        }
        const agent_test::comma_locale comma;
        if (!comma.ready()) {
            QSKIP("localedef cannot build a locale on this machine");
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, unset] : agent_test::no_locale_variables()) {
            environment.remove(QString::fromStdString(name));
        }
        environment.insert(QStringLiteral("LOCPATH"), QString::fromStdString(comma.folder()));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        environment.insert(QStringLiteral("LC_NUMERIC"),
                           QString::fromLatin1(agent_test::comma_locale::name));
        environment.insert(QString::fromLatin1(comma_child_variable), QStringLiteral("1"));
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::MergedChannels);
        const char* const name = "a_double_arrives_exactly_under_a_decimal_comma_locale";
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(name)});
        QVERIFY(child.waitForFinished(60000));
        const QString output = QString::fromUtf8(child.readAll());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(output));
        QVERIFY2(
            output.contains(
                QStringLiteral("PASS   : wizard_flow_test::%1()").arg(QString::fromLatin1(name))),
            qPrintable(output));
    }

    void cancel_during_a_run_stops_it() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        const std::string big = "wz" + std::to_string(getpid()) + "_big";
        admin("DROP DATABASE IF EXISTS " + big + "; CREATE DATABASE " + big + "; USE " + big +
              "; CREATE TABLE big_rows (id INT PRIMARY KEY, v VARCHAR(20));"
              "INSERT INTO big_rows SELECT seq, CONCAT('row ', seq) FROM seq_1_to_200000");
        {
            session s(QStringLiteral("cancel_run"));
            reach_settings(s);
            choose_database(s, QString::fromStdString(big));
            QVERIFY(s.next());
            s.click("add_all");
            QVERIFY(s.next());
            QCOMPARE(s.page(), int(progress));
            // Cancel asks first; Yes stops the run and closes the wizard once it has ended.
            box_seen question;
            answer_box(QStringLiteral("Yes"), QStringLiteral("box_cancel_run"), &question);
            s.shell().button(QWizard::CancelButton)->click();
            QCOMPARE(question.text, QStringLiteral("Are you sure you want to exit the wizard?"));
            QVERIFY(!s.shell().isVisible());
            QCOMPARE(s.shell().result(), int(QDialog::Rejected));
            QVERIFY(s.converter().is_finished());
        }
        const QString copied = oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM BIG_ROWS"));
        QVERIFY2(copied.isEmpty() || copied.toInt() < 200000, qPrintable(copied));
        admin_->exec("DROP DATABASE IF EXISTS " + big);
    }

    // Cancel in the connecting dialog while the server hangs before its greeting: back on the
    // page at once, no message; Next again connects beside the attempt that still hangs; the
    // late answer of that attempt changes nothing and its connection is closed; leaving the
    // wizard does not wait for an attempt that hangs.
    void cancel_gives_up_a_mysql_log_on_that_hangs() {
        on_unexpected_modal([](QWidget* d) {
            screenshot(d, QStringLiteral("dlg_unexpected_mysql_cancel"));
            d->close();
            QFAIL("no box was expected");
        });
        silent_server hanging(server_.host, server_.port);
        {
            session s(QStringLiteral("mysql_cancel"));
            QVERIFY(s.next());
            fill_mysql(s, QString::fromStdString(server_.password));
            s.set_text("host", QStringLiteral("127.0.0.1"));
            s.set_text("port", QString::number(hanging.port()));
            QElapsedTimer since_cancel;
            on_connecting([&](QWidget* d) {
                QVERIFY(wait_until([&] { return hanging.accepted(); }, 5000));
                QTest::qWait(100);
                screenshot(d, QStringLiteral("dlg_connecting_mysql_hanging"));
                since_cancel.start();
                press(d, "cancel");
            });
            QVERIFY(!s.next());
            QVERIFY2(since_cancel.elapsed() < 1000,
                     qPrintable(QString::number(since_cancel.elapsed())));
            QCOMPARE(s.page(), int(mysql));
            QVERIFY(!s.converter().mysql_engine.connected());

            s.set_text("host", QString::fromStdString(server_.host));
            s.set_text("port", QString::number(server_.port));
            QVERIFY(s.next());
            QCOMPARE(s.page(), int(oracle));

            hanging.relay();
            QVERIFY(wait_until([&] { return hanging.client_closed(); }, 10000));
            QTest::qWait(50);
            QCOMPARE(s.page(), int(oracle));
            QVERIFY(s.converter().mysql_engine.connected());
            QVERIFY(!s.converter().mysql_engine.get_contents().empty());
            s.cancel();
            forget_modals();
        }
        // Leaving the wizard while an attempt hangs.
        silent_server still_hanging(server_.host, server_.port);
        QElapsedTimer leaving;
        {
            session t(QStringLiteral("mysql_leave"));
            QVERIFY(t.next());
            fill_mysql(t, QString::fromStdString(server_.password));
            t.set_text("host", QStringLiteral("127.0.0.1"));
            t.set_text("port", QString::number(still_hanging.port()));
            on_connecting([&](QWidget* d) {
                QVERIFY(wait_until([&] { return still_hanging.accepted(); }, 5000));
                press(d, "cancel");
            });
            QVERIFY(!t.next());
            t.cancel();
            leaving.start();
        }
        QVERIFY(leaving.elapsed() < 1000);
        still_hanging.relay();
        QVERIFY(wait_until([&] { return still_hanging.client_closed(); }, 10000));
    }

    // The same for an Oracle log-on that takes its time (every round trip of the embedded
    // target waits ORALITE_ROUNDTRIP_DELAY_US): the page comes back at once, Next again logs
    // on, and the late log-on is logged off again, so that this process keeps one session.
    void cancel_gives_up_an_oracle_log_on_that_hangs() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        constexpr int delay_ms = 1500;
        const auto hang = [] {
            qputenv("ORALITE_ROUNDTRIP_DELAY_US", QByteArray::number(delay_ms * 1000));
        };
        {
            session s(QStringLiteral("oracle_cancel"));
            QVERIFY(s.next());
            fill_mysql(s, QString::fromStdString(server_.password));
            QVERIFY(s.next());
            fill_oracle(s, QStringLiteral("wizpw"));
            QElapsedTimer since_start;
            QElapsedTimer since_cancel;
            on_connecting([&](QWidget* d) {
                QTest::qWait(200);
                since_cancel.start();
                press(d, "cancel");
            });
            hang();
            since_start.start();
            QVERIFY(!s.next());
            // The abandoned log-on sleeps in its first round trip: the delay can go now.
            qunsetenv("ORALITE_ROUNDTRIP_DELAY_US");
            QVERIFY2(since_cancel.elapsed() < 1000,
                     qPrintable(QString::number(since_cancel.elapsed())));
            QCOMPARE(s.page(), int(oracle));
            QVERIFY(!s.converter().oracle_engine.logged_on());
            QVERIFY(s.converter().oracle_database() == nullptr);

            QVERIFY(s.next());
            QCOMPARE(s.page(), int(settings));
            const std::wstring own_sessions =
                L"SELECT s.sid FROM v$sesstat s, v$statname n WHERE s.statistic# = n.statistic# "
                L"AND "
                L"n.name = 'SQL*Net roundtrips to/from client'";
            ora_engine& engine = s.converter().oracle_engine;
            QVERIFY(wait_until([&] { return since_start.elapsed() > delay_ms + 300; }, 5000));
            QVERIFY(
                wait_until([&] { return engine.get_records_cnt(own_sessions, true) == 1; }, 5000));
            QVERIFY(engine.logged_on());
            s.cancel();
        }
        // Leaving the wizard while a log-on hangs does not wait for it.
        QElapsedTimer leaving;
        {
            session t(QStringLiteral("oracle_leave"));
            QVERIFY(t.next());
            fill_mysql(t, QString::fromStdString(server_.password));
            QVERIFY(t.next());
            fill_oracle(t, QStringLiteral("wizpw"));
            on_connecting([&](QWidget* d) {
                QTest::qWait(100);
                press(d, "cancel");
            });
            hang();
            QVERIFY(!t.next());
            qunsetenv("ORALITE_ROUNDTRIP_DELAY_US");
            t.cancel();
            leaving.start();
        }
        QVERIFY(leaving.elapsed() < 1000);
    }

    // Back and Next keep every choice: the tables, the custom queries (selected or moved back)
    // in their list order, and the settings page lists the databases afresh when it is shown
    // again.
    void back_and_next_keep_the_choice_and_pages_start_afresh() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        session s(QStringLiteral("back_next"));
        reach_settings(s);
        choose_database(s, source_);
        QVERIFY(s.next());
        auto* page = static_cast<sel_tables_page*>(s.shell().currentPage());
        select_tables(s, {QStringLiteral("orders"), QStringLiteral("customers")});
        // Names whose code-unit order ("Zeta" < "apex" < "customers") is not the list's.
        for (const char* name : {"Zeta", "apex"}) {
            on_modal([=](QWidget* d) {
                d->findChild<QLineEdit*>(QStringLiteral("name"))
                    ->setText(QString::fromLatin1(name));
                d->findChild<QPlainTextEdit*>(QStringLiteral("query"))
                    ->setPlainText(QStringLiteral("SELECT id FROM notes"));
                press(d, "ok");
            });
            s.click("add_query");
        }
        page->selected()->setCurrentRow(page->selected()->find_exact(QStringLiteral("apex")));
        s.click("remove");
        const QStringList selected = page->selected()->texts();
        const QStringList available = page->available()->texts();
        QCOMPARE(selected, QStringList({"customers", "orders", "Zeta"}));
        QCOMPARE(available, QStringList({"apex", "notes"}));
        screenshot(&s.shell(), QStringLiteral("flow_back_next_tables_before"));

        // A database made meanwhile is listed when the settings page is shown again.
        const QString late = QStringLiteral("wz%1_late").arg(getpid());
        admin("CREATE DATABASE IF NOT EXISTS " + late.toStdString());
        s.shell().back();
        QCOMPARE(s.page(), int(settings));
        QVERIFY(s.converter().selected_tables ==
                std::vector<std::wstring>({L"customers", L"orders"}));
        QVERIFY(s.converter().unselected_queries.count(L"apex") == 1);
        QVERIFY(s.find<sorted_list>("databases")->find_exact(late) >= 0);
        QCOMPARE(s.find<sorted_list>("databases")->currentItem()->text(), source_);
        QCOMPARE(s.focused(), QStringLiteral("databases"));
        admin("DROP DATABASE " + late.toStdString());

        QVERIFY(s.next());
        QCOMPARE(page->selected()->texts(), selected);
        QCOMPARE(page->available()->texts(), available);
        QCOMPARE(page->selected_queries().value(QStringLiteral("Zeta")),
                 QStringLiteral("SELECT id FROM notes"));
        QCOMPARE(page->available_queries().value(QStringLiteral("apex")),
                 QStringLiteral("SELECT id FROM notes"));
        QCOMPARE(s.focused(), QStringLiteral("available"));

        // Back again as far as the MySQL page, and forward: everything typed is still there.
        s.shell().back();
        s.shell().back();
        QCOMPARE(s.page(), int(oracle));
        QCOMPARE(s.text("service"), oracle_->path());
        QCOMPARE(s.focused(), QStringLiteral("service"));
        s.shell().back();
        QCOMPARE(s.page(), int(mysql));
        QCOMPARE(s.text("port"), QString::number(server_.port));
        QVERIFY(s.next());
        QVERIFY(s.next());
        QVERIFY(s.next());
        QCOMPARE(page->selected()->texts(), selected);
        s.cancel();
    }

    // The wizard driven by the keyboard alone: mnemonics, typing into the focused field and
    // Enter for Next, from the first page to the tables.
    void the_keyboard_alone_reaches_the_tables() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        session s(QStringLiteral("keyboard"));
        s.key(Qt::Key_Return);
        QCOMPARE(s.page(), int(mysql));
        QCOMPARE(s.focused(), QStringLiteral("user"));
        s.type(QString::fromStdString(server_.user));
        s.key(Qt::Key_S, Qt::AltModifier);
        s.type(QString::fromStdString(server_.password));
        s.key(Qt::Key_R, Qt::AltModifier);
        QVERIFY(s.find<QRadioButton>("remote")->isChecked());
        QCOMPARE(s.text("port"), QStringLiteral("3306"));
        s.key(Qt::Key_O, Qt::AltModifier);
        s.type(QString::fromStdString(server_.host));
        s.key(Qt::Key_P, Qt::AltModifier);
        s.type(QString::number(server_.port));
        s.key(Qt::Key_Return);
        QCOMPARE(s.page(), int(oracle));
        QCOMPARE(s.focused(), QStringLiteral("service"));
        s.type(oracle_->path());
        s.key(Qt::Key_U, Qt::AltModifier);
        s.type(QStringLiteral("wiz"));
        s.key(Qt::Key_P, Qt::AltModifier);
        s.type(QStringLiteral("wizpw"));
        s.key(Qt::Key_Return);
        QCOMPARE(s.page(), int(settings));
        QCOMPARE(s.focused(), QStringLiteral("databases"));
        QTest::keyClicks(s.shell().focusWidget(), source_);
        QCOMPARE(s.find<sorted_list>("databases")->currentItem()->text(), source_);
        s.key(Qt::Key_Return);
        QCOMPARE(s.page(), int(tables));
        s.cancel();
    }

    // A run that ends while "Are you sure you want to exit the wizard?" is open stays on the
    // progress page under the question; whatever the answer, it then shows its outcome.
    void a_run_ending_under_the_exit_question_shows_its_outcome() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        for (const char* answer : {"Yes", "No"}) {
            session s(QStringLiteral("question_%1").arg(QString::fromLatin1(answer)));
            reach_settings(s);
            choose_database(s, source_);
            QVERIFY(s.next());
            select_tables(s, {QStringLiteral("notes")});
            bool stayed = false;
            on_modal([&](QWidget* d) {
                auto* box = qobject_cast<QMessageBox*>(d);
                QVERIFY(box != nullptr);
                QVERIFY(wait_until([&] { return s.converter().is_finished(); }, 30000));
                // The run makes no round trip any more: the delay may go.
                qunsetenv("ORALITE_ROUNDTRIP_DELAY_US");
                QTest::qWait(3 * progress_page::timer_period_ms);
                stayed = s.page() == progress;
                screenshot(d, QStringLiteral("box_question_over_finished_run"));
                for (QAbstractButton* b : box->buttons()) {
                    if (b->text().remove(QLatin1Char('&')) == QLatin1String(answer)) {
                        b->click();
                    }
                }
            });
            // Each round trip takes a while, so that the run is still going when Cancel comes.
            qputenv("ORALITE_ROUNDTRIP_DELAY_US", "30000");
            QVERIFY(s.next());
            QCOMPARE(s.page(), int(progress));
            s.shell().button(QWizard::CancelButton)->click();
            QVERIFY(stayed);
            QVERIFY(wait_until([&] { return s.page() == finish; }, 5000));
            QVERIFY(s.shell().isVisible());
            QCOMPARE(s.find<QLabel>("closing_text")->text(), success_closing_text);
            s.shell().button(QWizard::FinishButton)->click();
        }
        QCOMPARE(oracle_->scalar(QStringLiteral("SELECT COUNT(*) FROM NOTES")),
                 QStringLiteral("2"));
    }

    void settings_are_remembered_across_two_starts() {
        if (!have_oracle()) {
            QSKIP("no embedded Oracle target");
        }
        {
            session s(QStringLiteral("remember_1"));
            reach_settings(s);
            choose_database(s, merge_);
            s.click("skip");
            s.click("uppercase");
            s.click("blob2text");
            s.click("skip_idx");
            s.click("time_interval");
            QVERIFY(s.next());
            s.cancel();
        }
        session s(QStringLiteral("remember_2"));
        QVERIFY(s.next());
        QVERIFY(s.find<QRadioButton>("remote")->isChecked());
        QCOMPARE(s.text("host"), QString::fromStdString(server_.host));
        QCOMPARE(s.text("port"), QString::number(server_.port));
        QCOMPARE(s.text("user"), QString::fromStdString(server_.user));
        QCOMPARE(s.text("password"), QString::fromStdString(server_.password));
        QVERIFY(s.next());
        QCOMPARE(s.text("service"), oracle_->path());
        QCOMPARE(s.text("user"), QStringLiteral("wiz"));
        QCOMPARE(s.text("password"), QStringLiteral("wizpw"));
        QVERIFY(s.next());
        QCOMPARE(s.find<sorted_list>("databases")->currentItem()->text(), merge_);
        QVERIFY(s.find<QRadioButton>("skip")->isChecked());
        QVERIFY(!s.find<QCheckBox>("uppercase")->isChecked());
        QVERIFY(s.find<QCheckBox>("blob2text")->isChecked());
        QVERIFY(s.find<QCheckBox>("skip_idx")->isChecked());
        QVERIFY(!s.find<QCheckBox>("tab_def")->isChecked());
        QVERIFY(s.find<QCheckBox>("time_interval")->isChecked());
        // And back off again, by Back as by Next.
        s.click("time_interval");
        s.shell().back();
        QVERIFY(!s.converter().time_interval);
        s.cancel();
    }
};

// The suite starts as the program does, with the program's own application (which sets the
// locale after Qt has set it from the environment).
int main(int argc, char** argv) {
    tarvolin_application application(argc, argv);
    application.setAttribute(Qt::AA_Use96Dpi, true);
    wizard_flow_test test;
    return QTest::qExec(&test, argc, argv);
}

#include "wizard_flow_test.moc"

// The whole wizard driven as a person would, against the MariaDB sandbox and the embedded Oracle
// target: connections with their failures, the database and table choice, custom queries, runs
// with and without rejected records, Abort, the remembered settings and profile files.
#include <unistd.h>

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

#include "core/dorvex_convertor.h"
#include "core/tk_error_converter.h"
#include "wizard/drx_shell.h"
#include "wizard/sel_tables_page.h"
#include "wizard/set_query_dlg.h"
#include "wizard/sorted_list.h"
#include "wizard/wizard_shell.h"
#include "wizard_flow_support.h"
#include "wizard_test_support.h"

using namespace wizard_test;

namespace {

enum page_index { welcome, mysql, oracle, settings, tables, progress, finish };
const char* const page_names[] = {"welcome", "mysql",    "oracle", "settings",
                                  "tables",  "progress", "finish"};

// Types the file's name into the dialog, as a person would, and accepts it.
void choose_file(QFileDialog* dialog, const QString& path) {
    const QFileInfo file(path);
    dialog->setDirectory(file.absolutePath());
    dialog->findChild<QLineEdit*>()->setText(file.fileName());
    QMetaObject::invokeMethod(dialog, "accept");
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
        photograph();
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
        shell_.go_next();
        return page() != before;
    }
    // Cancel, answered with Yes.
    void cancel() {
        answer_box(QStringLiteral("Yes"), QStringLiteral("box_cancel_%1").arg(tag_));
        shell_.button(QWizard::CancelButton)->click();
    }

  private:
    void photograph() {
        const int p = page();
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
        s.shell().button(QWizard::FinishButton)->click();
    }

  private slots:
    void initTestCase() {
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
        QCOMPARE(wrong.text, prepared_text(0x400415));

        // A port without digits, or 0, is refused before the server is asked.
        s.set_text("password", QString::fromStdString(server_.password));
        for (const char* bad_port : {"0", "abc", "x3306"}) {
            s.set_text("port", QString::fromLatin1(bad_port));
            box_seen port;
            answer_box(QStringLiteral("OK"), QStringLiteral("box_mysql_port"), &port);
            QVERIFY(!s.next());
            QCOMPARE(port.text, QStringLiteral("Invalid port number"));
        }
        // What was typed is kept in the settings; Back stores an empty port as the default one.
        mysql_converter_impl& stored = s.converter();
        QCOMPARE(stored.host, server_.host);
        s.set_text("port", QString());
        s.shell().back();
        QCOMPARE(stored.port, std::string("3306"));
        QVERIFY(s.next());

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
        s.cancel();
    }
};

QTEST_MAIN(wizard_flow_test)
#include "wizard_flow_test.moc"

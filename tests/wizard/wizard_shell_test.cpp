// The wizard frame, its boxes, help, timer and dialogs, and the page logic that needs no server.
#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <thread>

#include "TK/tk_exception.h"
#include "core/dorvex_convertor.h"
#include "core/error_handler.h"
#include "core/tk_error_converter.h"
#include "wizard/connecting_dlg.h"
#include "wizard/connection_attempt.h"
#include "wizard/dlg_error_continue.h"
#include "wizard/dlg_error_ex.h"
#include "wizard/drx_shell.h"
#include "wizard/g_f_dlg.h"
#include "wizard/progress_page.h"
#include "wizard/qt_error_presenter.h"
#include "wizard/sel_tables_page.h"
#include "wizard/set_query_dlg.h"
#include "wizard/sorted_list.h"
#include "wizard/wizard_page.h"
#include "wizard/wizard_shell.h"
#include "wizard_test_support.h"

using namespace wizard_test;

namespace {

// Receives the URLs that the wizard hands to the desktop's browser.
class url_catcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls << url; }
};

// A converter and an error handler as the program has them, without any connection: enough
// for the list logic of the tables page.
struct offline_core {
    error_handler handler{oracle_error_count, oracle_error_table,
                          std::make_unique<qt_error_presenter>()};
    dorvex_convertor converter{dorvex_convertor::program::agent};
};

QString button_text(wizard_shell& shell, QWizard::WizardButton which) {
    return shell.button(which)->text();
}

}  // namespace

class wizard_shell_test : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() {
        QVERIFY(modals_done());
        forget_modals();
    }

    void boxes_have_the_title_in_their_captions_once_initialised() {
        wizard_shell shell(program_title());
        QCOMPARE(shell.title(), QStringLiteral("Tarvolin 3.1"));
        QVERIFY(!wizard_shell::is_initialized());
        box_seen before;
        answer_box(QStringLiteral("OK"), QStringLiteral("box_error_uninitialised"), &before);
        shell.error(QStringLiteral("before"));
        QCOMPARE(before.caption, QStringLiteral("Error"));

        shell.apply_title();
        QVERIFY(wizard_shell::is_initialized());
        QCOMPARE(shell.windowTitle(), QStringLiteral("Tarvolin 3.1"));
        struct case_t {
            std::function<void()> call;
            QString button;
            QString caption;
            int icon;
        };
        bool answer = false;
        const case_t cases[] = {
            {[&] { shell.error(QStringLiteral("e")); }, QStringLiteral("OK"),
             QStringLiteral("Tarvolin 3.1 Error"), QMessageBox::Critical},
            {[&] { shell.message(QStringLiteral("m")); }, QStringLiteral("OK"),
             QStringLiteral("Tarvolin 3.1 Message"), QMessageBox::Information},
            {[&] { answer = shell.question(QStringLiteral("q"), true); }, QStringLiteral("Yes"),
             QStringLiteral("Tarvolin 3.1 Question"), QMessageBox::Question},
        };
        int n = 0;
        for (const case_t& c : cases) {
            box_seen seen;
            answer_box(c.button, QStringLiteral("box_%1").arg(n++), &seen);
            c.call();
            QCOMPARE(seen.caption, c.caption);
            QCOMPARE(seen.icon, c.icon);
        }
        QVERIFY(answer);
    }

    void question_defaults_to_no_when_asked() {
        wizard_shell shell(program_title());
        for (const bool default_no : {true, false}) {
            on_modal([&](QWidget* dialog) {
                auto* box = qobject_cast<QMessageBox*>(dialog);
                QVERIFY(box != nullptr);
                QCOMPARE(box->defaultButton() ==
                             static_cast<QAbstractButton*>(box->button(QMessageBox::No)),
                         default_no);
                box->defaultButton()->click();
            });
            QCOMPARE(shell.question(QStringLiteral("Sure?"), default_no), !default_no);
        }
    }

    void boxes_asked_for_by_a_worker_thread_open_on_the_window_thread() {
        wizard_shell shell(program_title());
        box_seen seen;
        answer_box(QStringLiteral("OK"), QStringLiteral("box_from_worker"), &seen);
        std::atomic<bool> done = false;
        std::thread worker([&] {
            shell.error(QStringLiteral("from the worker"));
            done = true;
        });
        QVERIFY(wait_until([&] { return done.load(); }));
        worker.join();
        QCOMPARE(seen.text, QStringLiteral("from the worker"));
    }

    void pages_carry_their_headers_pictures_and_help_topics() {
        tarvolin_program program({});
        wizard_shell& shell = program.shell();
        QCOMPARE(shell.wizardStyle(), QWizard::ModernStyle);
        QCOMPARE(button_text(shell, QWizard::NextButton), QStringLiteral("&Next >"));
        QCOMPARE(button_text(shell, QWizard::BackButton), QStringLiteral("< &Back"));
        QCOMPARE(button_text(shell, QWizard::FinishButton), QStringLiteral("&Finish"));
        struct expected_t {
            int template_id;
            const char* title;
            const char* subtitle;
            int help_topic;
        };
        const expected_t expected[] = {
            {103, "", "", 1014},
            {123, "Step 1 of 5", "Connect to MySQL server", 1011},
            {130, "Step 2 of 5", "Connect to Oracle server", 1012},
            {106, "Step 3 of 5", "Conversion Settings", 1013},
            {127, "Step 4 of 5", "Select tables to convert", 1016},
            {107, "Step 5 of 5", "Database conversion is in progress", 1015},
            {116, "", "", 0},
        };
        const QList<int> ids = shell.pageIds();
        QCOMPARE(ids.size(), 7);
        for (int i = 0; i < 7; ++i) {
            auto* page = static_cast<wizard_page*>(shell.page(ids[i]));
            QCOMPARE(page->template_id(), expected[i].template_id);
            QCOMPARE(page->title(), QString::fromLatin1(expected[i].title));
            QCOMPARE(page->subTitle(), QString::fromLatin1(expected[i].subtitle));
            QCOMPARE(page->help_topic(), expected[i].help_topic);
            // The watermark on the first and last pages, the header picture on the others.
            const bool header = *expected[i].title != '\0';
            QCOMPARE(page->pixmap(QWizard::WatermarkPixmap).isNull(), header);
            QCOMPARE(page->pixmap(QWizard::LogoPixmap).isNull(), !header);
        }
        // The tables page is the last one with a way back: it leaves by its commit button.
        QVERIFY(shell.page(ids[4])->isCommitPage());
        QVERIFY(shell.page(ids[5])->isCommitPage());
    }

    void finish_page_lists_the_collected_errors() {
        tarvolin_program program({});
        wizard_shell& shell = program.shell();
        for (int i = 0; i < 25; ++i) {
            shell.add_error(
                QStringLiteral("t%1, record #%1: ORA-00001:\nunique").arg(i).toStdString());
        }
        QCOMPARE(shell.errors().size(), wizard_shell::max_errors);
        shell.setStartId(shell.pageIds().back());
        shell.show();
        auto* edit = shell.currentPage()->findChild<QPlainTextEdit*>(QStringLiteral("errors"));
        QVERIFY(edit->isVisible());
        QVERIFY(edit->isReadOnly());
        const QStringList shown =
            edit->toPlainText().split(QStringLiteral("\n\n"), Qt::SkipEmptyParts);
        QCOMPARE(shown.size(), 20);
        QCOMPARE(shown.front(), QStringLiteral("t0, record #0: ORA-00001: unique"));
        QCOMPARE(shown.back(), QStringLiteral("t19, record #19: ORA-00001: unique"));
        QCOMPARE(shell.currentPage()->findChild<QLabel*>(QStringLiteral("closing_text"))->text(),
                 error_closing_text);
        // No run has taken place: there is no summary and no rejects file to show.
        QVERIFY(!shell.currentPage()
                     ->findChild<QPlainTextEdit*>(QStringLiteral("summary"))
                     ->isVisible());
        QVERIFY(!shell.currentPage()
                     ->findChild<QLineEdit*>(QStringLiteral("rejects_file"))
                     ->isVisible());
        // Only Finish is offered.
        QVERIFY(!shell.button(QWizard::CancelButton)->isEnabled());
        QVERIFY(!shell.button(QWizard::HelpButton)->isEnabled());
        QVERIFY(!shell.button(QWizard::BackButton)->isEnabled());
        QVERIFY(shell.button(QWizard::FinishButton)->isEnabled());
        screenshot(&shell, QStringLiteral("page_7_finish_errors"));
    }

    // The longest line a profile may hold is 4094 bytes; one more and the reader refuses the
    // file. Whether the file comes from the command line or from "&Load Settings", the error
    // box names the file and the line, the settings stay as they were, the error is no
    // conversion error for the finish page, and the wizard goes on.
    void a_profile_the_reader_refuses_is_said_so_and_changes_nothing() {
        const std::string select = "q=SELECT ";
        for (const bool from_command_line : {true, false}) {
            for (const size_t line_bytes : {size_t{4094}, size_t{4095}}) {
                // A first start each time: nothing remembered from the case before.
                QTemporaryDir folder;
                qputenv("XDG_CONFIG_HOME", folder.path().toUtf8());
                const QString path = folder.path() + QStringLiteral("/p%1.drx").arg(line_bytes);
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(("[Generic settings]\r\nsrc=from_profile\r\n[Selected Tables]\r\n" +
                            select + std::string(line_bytes - select.size(), '1') + "\r\n")
                               .c_str());
                file.close();
                const bool refused = line_bytes > 4094;
                // The dialogs in the order they open: the file dialog first, then the box.
                if (!from_command_line) {
                    on_modal([&](QWidget* d) { choose_file(d, path); });
                }
                box_seen seen;
                if (refused) {
                    answer_box(QStringLiteral("OK"), QStringLiteral("box_profile_too_long"), &seen);
                }
                tarvolin_program program(from_command_line ? QStringList{path} : QStringList{});
                if (!from_command_line) {
                    program.shell().show();
                    program.shell()
                        .currentPage()
                        ->findChild<QPushButton*>(QStringLiteral("load_settings"))
                        ->click();
                }
                QVERIFY(modals_done());
                QCOMPARE(program.converter().source_database == L"from_profile", !refused);
                QCOMPARE(program.converter().selected_queries.size(), refused ? 0u : 1u);
                if (refused) {
                    QCOMPARE(seen.text, QStringLiteral("Profile file '%1' has a line longer than "
                                                       "4094 bytes (line 4).")
                                            .arg(path));
                }
                QVERIFY(program.shell().errors().empty());
            }
        }
    }

    void cancel_asks_first_and_no_keeps_the_wizard() {
        tarvolin_program program({});
        wizard_shell& shell = program.shell();
        shell.show();
        shell.next();
        box_seen seen;
        answer_box(QStringLiteral("No"), QStringLiteral("box_cancel_question"), &seen);
        shell.button(QWizard::CancelButton)->click();
        QCOMPARE(seen.text, QStringLiteral("Are you sure you want to exit the wizard?"));
        QVERIFY(shell.isVisible());
        answer_box(QStringLiteral("Yes"), QStringLiteral("box_cancel_question_yes"));
        shell.button(QWizard::CancelButton)->click();
        QVERIFY(!shell.isVisible());
        QCOMPARE(shell.result(), int(QDialog::Rejected));
    }

    void help_opens_the_file_at_the_topic_or_says_it_is_missing() {
        url_catcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        tarvolin_program program({});
        wizard_shell& shell = program.shell();
        const QString help =
            qEnvironmentVariable("TARVOLIN_BIN_DIR") + QStringLiteral("/tarvolin.html");
        QVERIFY2(QFileInfo(help).isFile(), qPrintable(help));
        shell.set_help_file(help);
        shell.show();
        // The pages that need no server to show themselves.
        const int topics[] = {1014, 1011, 1012};
        for (int i = 0; i < 3; ++i) {
            shell.setStartId(shell.pageIds()[i]);
            shell.restart();
            shell.button(QWizard::HelpButton)->click();
            QCOMPARE(catcher.urls.size(), 1);
            QCOMPARE(catcher.urls.front().toLocalFile(), help);
            QCOMPARE(catcher.urls.front().fragment(), QStringLiteral("topic-%1").arg(topics[i]));
            catcher.urls.clear();
        }
        // Every topic the wizard can open has its anchor in the file.
        QFile file(help);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray html = file.readAll();
        for (const int topic : {1011, 1012, 1013, 1014, 1015, 1016, 1017, 1025}) {
            QVERIFY2(html.contains(QStringLiteral("id=\"topic-%1\"").arg(topic).toLatin1()),
                     qPrintable(QString::number(topic)));
        }

        shell.set_help_file(QStringLiteral("/nonexistent/tarvolin.html"));
        box_seen seen;
        answer_box(QStringLiteral("OK"), QStringLiteral("box_help_missing"), &seen);
        shell.display_help(1017);
        QCOMPARE(seen.text, QStringLiteral("Help file does not exist. Reinstall the program."));
        QVERIFY(catcher.urls.isEmpty());
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }

    void timer_ticks_until_killed_and_cannot_be_set_twice() {
        wizard_shell shell(program_title());
        int ticks = 0;
        connect(&shell, &wizard_shell::timer_tick, [&] { ++ticks; });
        std::thread worker([&] { shell.set_timer(20); });
        worker.join();
        QVERIFY_THROWS_EXCEPTION(tk_mail_assertion, shell.set_timer(20));
        QVERIFY(wait_until([&] { return ticks >= 2; }));
        shell.kill_timer();
        const int after_kill = ticks;
        QTest::qWait(60);
        QCOMPARE(ticks, after_kill);
        shell.set_timer(20);
        shell.kill_timer();
    }

    void error_ex_buttons_close_with_their_identifiers() {
        wizard_shell shell(program_title());
        struct case_t {
            const char* button;
            int result;
        };
        for (const case_t c :
             {case_t{"ok", dlg_error_ex::ok_result}, case_t{"copy", dlg_error_ex::copy_result}}) {
            QGuiApplication::clipboard()->clear();
            dlg_error_ex dialog(QStringLiteral("Internal error: \ncode=782e7372635c37"));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Error"));
            on_modal([&](QWidget* d) {
                screenshot(d, QStringLiteral("dlg_error_ex"));
                press(d, c.button);
            });
            QCOMPARE(dialog.exec(), c.result);
            QCOMPARE(QGuiApplication::clipboard()->text() == dialog.message_text(),
                     c.result == dlg_error_ex::copy_result);
        }
    }

    void error_continue_returns_the_choice_and_the_check_box() {
        wizard_shell shell(program_title());
        shell.apply_title();
        struct case_t {
            bool tick;
            const char* button;  // null: Escape
            int result;
        };
        const case_t cases[] = {
            {true, "continue", dlg_error_continue::continue_result},
            {false, "abort", dlg_error_continue::abort_result},
            {false, nullptr, dlg_error_continue::continue_result},
        };
        for (const case_t& c : cases) {
            dlg_error_continue dialog(QStringLiteral("t, record #17: ORA-01400: cannot insert"));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Tarvolin 3.1 Error"));
            auto* check = dialog.findChild<QCheckBox*>(QStringLiteral("do_not_show_again"));
            QCOMPARE(check->text(), QStringLiteral("&Do not show this dialog box again"));
            on_modal([&](QWidget* d) {
                if (c.tick) {
                    check->click();
                }
                screenshot(d, QStringLiteral("dlg_error_continue"));
                if (c.button != nullptr) {
                    press(d, c.button);
                } else {
                    QTest::keyClick(d, Qt::Key_Escape);
                }
            });
            QCOMPARE(dialog.exec(), c.result);
            QCOMPARE(dialog.do_not_show_again(), c.tick);
        }
    }

    void connecting_dialog_animates_and_every_way_out_but_the_end_gives_up() {
        wizard_shell shell(program_title());
        shell.apply_title();
        struct case_t {
            const char* way;
            std::function<void(connecting_dlg&)> act;
            connecting_dlg::result result;
        };
        std::atomic<bool> work_ended = false;
        const case_t cases[] = {
            {"work ends", [&](connecting_dlg&) { work_ended = true; }, connecting_dlg::ended},
            {"Cancel", [](connecting_dlg& d) { press(&d, "cancel"); }, connecting_dlg::cancelled},
            {"Escape", [](connecting_dlg& d) { QTest::keyClick(&d, Qt::Key_Escape); },
             connecting_dlg::cancelled},
            {"Enter", [](connecting_dlg& d) { QTest::keyClick(&d, Qt::Key_Return); },
             connecting_dlg::cancelled},
            {"close button", [](connecting_dlg& d) { d.close(); }, connecting_dlg::cancelled},
        };
        bool first = true;
        for (const case_t& c : cases) {
            work_ended = false;
            connecting_dlg dialog(connecting_dlg::mysql_text);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Tarvolin 3.1"));
            QTimer::singleShot(0, &dialog, [&] {
                if (first) {
                    screenshot(&dialog, QStringLiteral("dlg_connecting"));
                    // Two frames later the icon has moved on.
                    QVERIFY(wait_until([&] { return dialog.frame() >= 2; }));
                    first = false;
                }
                c.act(dialog);
            });
            QElapsedTimer clock;
            clock.start();
            QVERIFY2(dialog.wait([&] { return work_ended.load(); }) == c.result, c.way);
            QVERIFY2(clock.elapsed() < 2000, c.way);
            QVERIFY(!dialog.isVisible());
        }
    }

    void an_abandoned_attempt_is_dropped_on_its_own_thread_and_failures_reach_the_page() {
        wizard_shell shell(program_title());
        // What the work makes: it notes the thread that destroys it, as a client handle would
        // be released there.
        struct product {
            std::atomic<std::thread::id>* released_on;
            explicit product(std::atomic<std::thread::id>* where) : released_on(where) {}
            product(product&& other) noexcept : released_on(std::exchange(other.released_on, {})) {}
            ~product() {
                if (released_on != nullptr) {
                    *released_on = std::this_thread::get_id();
                }
            }
        };
        std::atomic<std::thread::id> released_on{};
        std::atomic<bool> release_work = false;
        std::atomic<bool> saw_abandoned = false;
        const auto blocked_work = [&](const std::atomic<bool>& abandoned) {
            while (!release_work) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            saw_abandoned = abandoned.load();
            return product(&released_on);
        };

        // Cancelled while the work blocks: back at once, the late product dies on the worker.
        {
            connecting_dlg dialog(connecting_dlg::oracle_text);
            QTimer::singleShot(50, &dialog, [&] { press(&dialog, "cancel"); });
            QElapsedTimer clock;
            clock.start();
            QVERIFY(!connection_attempt<product>::run(dialog, blocked_work).has_value());
            QVERIFY(clock.elapsed() < 1000);
        }
        release_work = true;
        QVERIFY(wait_until([&] { return released_on.load() != std::thread::id(); }));
        QVERIFY(released_on.load() != std::this_thread::get_id());
        QVERIFY(saw_abandoned);

        // Waited for: the product comes to the caller; a failure is raised at the caller.
        released_on = std::thread::id();
        {
            connecting_dlg dialog(connecting_dlg::oracle_text);
            std::optional<product> got = connection_attempt<product>::run(dialog, blocked_work);
            QVERIFY(got.has_value());
            QVERIFY(!saw_abandoned);
        }
        QVERIFY(released_on.load() == std::this_thread::get_id());
        connecting_dlg dialog(connecting_dlg::oracle_text);
        QVERIFY_THROWS_EXCEPTION(
            tk_exception, connection_attempt<int>::run(dialog, [](const std::atomic<bool>&) -> int {
                throw tk_exception("refused", 0);
            }));
    }

    void prepared_texts_become_paragraphs_in_boxes_whose_captions_fit() {
        struct case_t {
            const char* text;
            const char* shown;
        };
        const case_t cases[] = {
            {"Can't connect to the MySQL server. Check to verify that MySQL server\nis launched",
             "Can't connect to the MySQL server. Check to verify that MySQL server is launched"},
            {"first line\r\nsecond\n\nnext paragraph\n", "first line second\n\nnext paragraph"},
            {"\ntrailing blank \nand leading\n\n\n", "trailing blank and leading"},
            {"one line", "one line"},
            {"", ""},
        };
        for (const case_t& c : cases) {
            QCOMPARE(wizard_shell::as_paragraphs(QString::fromLatin1(c.text)),
                     QString::fromLatin1(c.shown));
        }
        // Every prepared text reaches the box without a line break inside a paragraph, and a
        // one-letter box is still as wide as its caption needs.
        wizard_shell shell(program_title());
        shell.apply_title();
        tk_error_converter map(oracle_error_count, oracle_error_table);
        map.load_map(mysql_error_count, mysql_error_table);
        for (const int32_t code : {0x4007D3, 0x400415, 0x100001, 0x1030E2}) {
            const QString prepared = QString::fromStdString(map.convert(code));
            QVERIFY(prepared.contains(QLatin1Char('\n')));
            box_seen seen;
            answer_box(QStringLiteral("OK"), QStringLiteral("box_prepared_%1").arg(code, 0, 16),
                       &seen);
            shell.error(prepared);
            QVERIFY2(!seen.text.contains(QLatin1Char('\n')), qPrintable(seen.text));
        }
        int width = 0;
        on_modal([&](QWidget* box) {
            width = box->width();
            screenshot(box, QStringLiteral("box_narrow_caption"));
            qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        });
        shell.message(QStringLiteral("m"));
        QVERIFY2(width >= wizard_shell::caption_room(QStringLiteral("Tarvolin 3.1 Message")),
                 qPrintable(QString::number(width)));
    }

    void mnemonics_are_unique_on_every_page() {
        tarvolin_program program({});
        wizard_shell& shell = program.shell();
        const auto letter = [](const QString& text) {
            const qsizetype at = text.indexOf(QLatin1Char('&'));
            return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
        };
        QString wizard_letters;
        for (const auto which :
             {QWizard::BackButton, QWizard::NextButton, QWizard::FinishButton, QWizard::HelpButton})
            wizard_letters += letter(shell.buttonText(which));
        for (const int id : shell.pageIds()) {
            QWizardPage* page = shell.page(id);
            QStringList owners;
            QString letters = wizard_letters;
            const auto take = [&](const QString& text) {
                const QChar l = letter(text);
                if (l.isNull()) {
                    return;
                }
                QVERIFY2(!letters.contains(l),
                         qPrintable(page->objectName() + QStringLiteral(": Alt+") + l +
                                    QStringLiteral(" twice, again for ") + text));
                letters += l;
            };
            for (const QAbstractButton* b : page->findChildren<QAbstractButton*>()) {
                take(b->text());
            }
            // The tables page names its list labels only when it is shown.
            QStringList label_texts;
            for (const QLabel* label : page->findChildren<QLabel*>()) {
                label_texts << label->text();
            }
            if (page->objectName() == QStringLiteral("page_127")) {
                label_texts << QStringLiteral("&Available tables:")
                            << QStringLiteral("&Selected tables:");
            }
            for (const QString& text : label_texts) {
                take(text);
            }
        }
    }

    void the_wizard_keeps_one_size_and_its_watermark_fills_the_side() {
        const QFont original = QApplication::font();
        for (const int points : {8, 16}) {
            QFont font = original;
            font.setPointSize(points);
            QApplication::setFont(font);
            tarvolin_program program({});
            wizard_shell& shell = program.shell();
            for (int i = 0; i < 25; ++i) {
                shell.add_error(QStringLiteral("error %1 of a long run").arg(i).toStdString());
            }
            shell.show();
            const QSize first = shell.size();
            for (const int id : {shell.pageIds().front(), shell.pageIds().back()}) {
                shell.setStartId(id);
                shell.restart();
                QCoreApplication::processEvents();
                QCOMPARE(shell.size(), first);
                const QImage image = shell.grab().toImage();
                // Just above the ruler, in the watermark's column: the picture, not the page.
                const QColor bottom = image.pixelColor(4, shell.watermark_height() - 2);
                QVERIFY2(bottom.blue() > bottom.red() + 40,
                         qPrintable(QStringLiteral("%1 pt, page %2: %3")
                                        .arg(points)
                                        .arg(id)
                                        .arg(bottom.name())));
                QCOMPARE(shell.currentPage()->pixmap(QWizard::WatermarkPixmap).height(),
                         shell.watermark_height());
                screenshot(&shell, QStringLiteral("shell_%1pt_page_%2").arg(points).arg(id + 1));
            }
        }
        QApplication::setFont(original);
    }

    void escape_on_the_finish_page_closes_without_asking() {
        tarvolin_program program({});
        wizard_shell& shell = program.shell();
        on_unexpected_modal([](QWidget* d) {
            d->close();
            QFAIL("no question was expected");
        });
        shell.setStartId(shell.pageIds().back());
        shell.show();
        shell.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&shell));
        QTest::keyClick(&shell, Qt::Key_Escape);
        QVERIFY(!shell.isVisible());
    }

    void enter_presses_next_and_the_mysql_page_takes_typing_in_its_first_field() {
        // A first start: nothing remembered in the fields.
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        tarvolin_program program({});
        wizard_shell& shell = program.shell();
        shell.show();
        shell.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&shell));
        QCOMPARE(shell.currentId(), shell.pageIds()[0]);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(shell.currentId(), shell.pageIds()[1]);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ann"));
        QCOMPARE(shell.currentPage()->findChild<QLineEdit*>(QStringLiteral("user"))->text(),
                 QStringLiteral("ann"));
        // Back and Next again: the page is shown afresh and the field keeps what was typed.
        shell.back();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("user"));
        QCOMPARE(qobject_cast<QLineEdit*>(QApplication::focusWidget())->text(),
                 QStringLiteral("ann"));
    }

    void file_dialog_turns_the_profile_filter_into_qt_form_and_adds_the_extension() {
        QCOMPARE(profile_filter(QStringLiteral("drx")),
                 QStringLiteral("Profile Files (.drx)X*.drxXAll Files (*.*)X*.*X"));
        QVERIFY_THROWS_EXCEPTION(tk_mail_assertion, profile_filter(QStringLiteral("drxx")));
        QVERIFY_THROWS_EXCEPTION(tk_mail_assertion,
                                 g_f_dlg(nullptr, QString(), QString(), QString()));
        g_f_dlg dialog(nullptr, QStringLiteral("Select Profile File"),
                       profile_filter(QStringLiteral("drx")), QStringLiteral("drx"));
        QCOMPARE(dialog.extension(), QStringLiteral(".drx"));
        QCOMPARE(dialog.name_filters(), QStringList({QStringLiteral("Profile Files (*.drx)"),
                                                     QStringLiteral("All Files (*)")}));

        QTemporaryDir dir;
        on_modal([&](QWidget* d) {
            auto* files = qobject_cast<QFileDialog*>(d);
            QVERIFY(files != nullptr);
            QCOMPARE(files->windowTitle(), QStringLiteral("Select Profile File"));
            screenshot(d, QStringLiteral("dlg_file_save"));
            files->setDirectory(dir.path());
            files->findChild<QLineEdit*>()->setText(QStringLiteral("shop"));
            QMetaObject::invokeMethod(files, "accept");
        });
        QCOMPARE(dialog.save_file(), dir.path() + QStringLiteral("/shop.drx"));
        // The detail columns show what they hold in full, beside a name column of its own.
        QFile file(dir.path() + QStringLiteral("/a profile with a rather long name.drx"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        on_modal([&](QWidget* d) {
            auto* files = qobject_cast<QFileDialog*>(d);
            files->setDirectory(dir.path());
            auto* tree = d->findChild<QTreeView*>(QStringLiteral("treeView"));
            QVERIFY(tree != nullptr);
            QVERIFY(wait_until([&] { return tree->model()->rowCount(tree->rootIndex()) > 0; }));
            QTest::qWait(50);
            const QHeaderView* header = tree->header();
            const QModelIndex row = tree->model()->index(0, 0, tree->rootIndex());
            // The name column takes what is left: room for thirty characters at least.
            QVERIFY(header->sectionSize(0) >= tree->fontMetrics().averageCharWidth() * 30);
            for (int column = 1; column < header->count(); ++column) {
                const int needed = tree->sizeHintForIndex(row.siblingAtColumn(column)).width();
                QVERIFY2(header->sectionSize(column) >= needed,
                         qPrintable(QStringLiteral("column %1: %2 < %3")
                                        .arg(column)
                                        .arg(header->sectionSize(column))
                                        .arg(needed)));
            }
            QVERIFY(header->length() <= tree->viewport()->width());
            screenshot(d, QStringLiteral("dlg_file_open"));
            files->reject();
        });
        QCOMPARE(dialog.open_file(), QString());
    }

    void progress_position_follows_tables_and_records() {
        struct case_t {
            int tables_done, tables_total, records_done, records_total, position;
        };
        const case_t cases[] = {
            {1, 4, 50, 100, 37},
            {0, 0, 5, 10, 0},
            {0, 4, 0, 0, 0},
            {4, 4, 0, 0, 100},
            {2, 3, 0, 0, 66},
            {0, 1, 1, 3, 33},
            {0, 1, 30000000, 30000000, 100},  // no overflow of records_done * 100
            {0, 2, 2000000000, 2000000000, 50},
        };
        for (const case_t& c : cases) {
            QCOMPARE(
                progress_position(c.tables_done, c.tables_total, c.records_done, c.records_total),
                c.position);
        }
    }

    void query_must_start_with_select_after_its_leading_blanks() {
        struct case_t {
            const char* query;
            bool passes;
            const char* stripped;
        };
        const case_t cases[] = {
            {"\r\n\t  SELECT * FROM t", true, "SELECT * FROM t"},
            {"select 1", true, "select 1"},
            {"SELEC", false, "SELEC"},
            {"UPDATE t SET a=1", false, "UPDATE t SET a=1"},
            {"", true, ""},
            {" \n ", true, ""},
            {"SELECT", true, "SELECT"},
        };
        for (const case_t& c : cases) {
            QString query = QString::fromLatin1(c.query);
            QCOMPARE(set_query_dlg::starts_with_select(query), c.passes);
            QCOMPARE(query, QString::fromLatin1(c.stripped));
        }
    }

    void query_dialog_refuses_empty_names_and_non_select_queries() {
        wizard_shell shell(program_title());
        shell.apply_title();
        struct case_t {
            const char* name;
            const char* query;
            const char* message;  // null: accepted
        };
        const case_t cases[] = {
            {"", "SELECT 1", "Table name is empty!"},
            {"q", "DELETE FROM t", "The query must start with SELECT."},
            {"q", "  ", "Query is empty!"},
            {"q", "\n select 1", nullptr},
        };
        for (const case_t& c : cases) {
            set_query_dlg dialog(QString::fromLatin1(c.name), QString::fromLatin1(c.query), {});
            box_seen seen;
            on_modal([&](QWidget* d) {
                screenshot(d, QStringLiteral("dlg_set_query"));
                press(d, "ok");
                if (c.message != nullptr) {
                    QVERIFY(wait_until([&] { return !seen.text.isEmpty(); }));
                    press(d, "cancel");
                }
            });
            if (c.message != nullptr) {
                answer_box(QStringLiteral("OK"), QStringLiteral("box_set_query"), &seen);
            }
            const int result = dialog.exec();
            QCOMPARE(result == QDialog::Accepted, c.message == nullptr);
            if (c.message != nullptr) {
                QCOMPARE(seen.text, QString::fromLatin1(c.message));
            } else {
                QCOMPARE(dialog.query(), QStringLiteral("select 1"));
            }
        }
    }

    void table_lists_move_entries_and_queries_with_their_focus_rules() {
        wizard_shell shell(program_title());
        offline_core core;
        auto* page = new sel_tables_page(core.converter);
        shell.add_page(page);
        // Shown without a server, the page says it cannot list the tables; the lists are
        // filled by hand below.
        answer_box(QStringLiteral("OK"), QStringLiteral("box_tables_without_server"));
        shell.show();
        shell.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&shell));
        // A remembered table that the database no longer has is left out.
        page->fill(
            {QStringLiteral("orders"), QStringLiteral("Customers"), QStringLiteral("products")},
            {QStringLiteral("products"), QStringLiteral("gone")},
            {{QStringLiteral("big_orders"), QStringLiteral("SELECT * FROM orders")},
             {QStringLiteral("orders"), QString()}},
            {{QStringLiteral("cheap"), QStringLiteral("SELECT * FROM products")}});
        sorted_list* available = page->available();
        sorted_list* selected = page->selected();
        QCOMPARE(available->texts(), QStringList({"cheap", "Customers", "orders"}));
        QCOMPARE(selected->texts(), QStringList({"big_orders", "products"}));
        page->selected()->setCurrentRow(1);
        page->on_delete();
        QCOMPARE(available->currentRow(), 0);

        page->on_add();  // cheap, a query, moves with its text
        QCOMPARE(selected->texts(), QStringList({"big_orders", "cheap"}));
        QCOMPARE(page->selected_queries().value("cheap"), QStringLiteral("SELECT * FROM products"));
        QVERIFY(page->available_queries().isEmpty());
        QCOMPARE(available->currentItem()->text(), QStringLiteral("Customers"));

        available->setCurrentRow(2);  // products, the last entry
        page->on_add();
        QCOMPARE(available->currentItem()->text(), QStringLiteral("orders"));

        page->on_del_all();
        QCOMPARE(selected->count(), 0);
        QVERIFY(available->hasFocus());
        QCOMPARE(available->currentRow(), 0);
        QCOMPARE(page->available_queries().size(), 2);

        page->on_add_all();
        QCOMPARE(available->count(), 0);
        QVERIFY(selected->hasFocus());

        // Removing the last selected entry hands the focus back to the available list.
        page->on_del_all();
        available->setCurrentRow(available->find_exact(QStringLiteral("orders")));
        page->on_add();
        QVERIFY(selected->hasFocus() == false);
        selected->setCurrentRow(0);
        page->on_delete();
        QCOMPARE(selected->count(), 0);
        QVERIFY(available->hasFocus());

        // Nothing selected: nothing moves.
        selected->clearSelection();
        page->on_delete();
        QCOMPARE(available->count(), 5);
        screenshot(&shell, QStringLiteral("page_5_tables_lists"));
    }

    void a_query_named_like_any_entry_is_refused_and_the_dialog_reopens() {
        wizard_shell shell(program_title());
        shell.apply_title();
        offline_core core;
        auto* page = new sel_tables_page(core.converter);
        shell.add_page(page);
        // Shown without a server, the page says it cannot list the tables; the lists are
        // filled by hand below.
        answer_box(QStringLiteral("OK"), QStringLiteral("box_tables_without_server"));
        shell.show();
        page->fill({QStringLiteral("orders"), QStringLiteral("products")}, {}, {}, {});
        page->available()->setCurrentRow(1);
        page->on_add();  // products selected

        const char* const names[] = {"ORDERS", "Products", "top_orders"};
        for (const char* name : names) {
            on_modal([=](QWidget* d) {
                d->findChild<QLineEdit*>(QStringLiteral("name"))->setText(name);
                d->findChild<QPlainTextEdit*>(QStringLiteral("query"))
                    ->setPlainText(QStringLiteral("  SELECT * FROM orders"));
                press(d, "ok");
            });
            if (name != names[2]) {
                box_seen seen;
                answer_box(QStringLiteral("OK"), QStringLiteral("box_duplicate_query"));
            }
        }
        // The reopened dialog shows what was typed.
        QString reopened_with;
        page->on_add_query();
        QCOMPARE(page->selected()->texts(), QStringList({"products", "top_orders"}));
        QCOMPARE(page->selected_queries().value("top_orders"),
                 QStringLiteral("SELECT * FROM orders"));

        // Renaming the query to a table's name is refused as well; its own name in another
        // letter case is not.
        page->selected()->setCurrentRow(1);
        on_modal([](QWidget* d) {
            d->findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("orders"));
            press(d, "ok");
        });
        answer_box(QStringLiteral("OK"), QStringLiteral("box_duplicate_query_edit"));
        on_modal([](QWidget* d) {
            QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("name"))->text(),
                     QStringLiteral("orders"));
            d->findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("TOP_orders"));
            press(d, "ok");
        });
        page->on_edit_query();
        QCOMPARE(page->selected()->texts(), QStringList({"products", "TOP_orders"}));
        QCOMPARE(page->selected_queries().keys(), QStringList({"TOP_orders"}));
    }
};

QTEST_MAIN(wizard_shell_test)
#include "wizard_shell_test.moc"

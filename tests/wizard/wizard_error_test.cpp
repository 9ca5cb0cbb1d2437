// The wizard's presenter behind the error handler: which dialog a level brings, what Abort,
// Continue and the check box do to a run, the list kept for the finish page, and the
// internal-error path that ends the process (run in a child process).
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <thread>

#include "TK/tk_exception.h"
#include "core/error_handler.h"
#include "core/tk_error_converter.h"
#include "wizard/dlg_error_continue.h"
#include "wizard/dlg_error_ex.h"
#include "wizard/drx_shell.h"
#include "wizard/qt_error_presenter.h"
#include "wizard/wizard_shell.h"
#include "wizard_test_support.h"

using namespace wizard_test;

namespace {

// An exception with the code of a server error, as the MySQL and Oracle sides raise them.
class coded_exception : public tk_exception {
  public:
    coded_exception(const char* text, int level, uint32_t code) : tk_exception(text, level) {
        set_system_error(code);
    }
};

struct handled {
    bool final_exception = false;
};

// Calls handle on a worker thread, as a conversion run does, while the window thread keeps
// serving the dialogs.
handled handle_on_worker(error_handler& handler, const tk_exception& e, bool after_run) {
    handled result;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        try {
            handler.handle(e, after_run);
        } catch (const tk_final_exception&) {
            result.final_exception = true;
        }
        done = true;
    });
    const bool ended = wait_until([&] { return done.load(); });
    worker.join();
    if (!ended) {
        qFatal("the handler did not return");
    }
    return result;
}

std::unique_ptr<error_handler> make_handler() {
    auto handler = std::make_unique<error_handler>(oracle_error_count, oracle_error_table,
                                                   std::make_unique<qt_error_presenter>());
    handler->load_err_map(mysql_error_count, mysql_error_table);
    return handler;
}

int child_internal_error(int argc, char** argv);

}  // namespace

class wizard_error_test : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() {
        QVERIFY(modals_done());
        forget_modals();
    }

    void level_0_asks_continue_or_abort() {
        struct case_t {
            const char* name;
            bool after_run;
            const char* button;
            bool tick;
            bool final_exception;
            bool silent_after;
        };
        const case_t cases[] = {
            {"continue", false, "continue", false, false, false},
            {"continue_ticked", false, "continue", true, false, true},
            {"abort_in_run", false, "abort", false, true, false},
            {"abort_in_run_ticked", false, "abort", true, true, false},
            {"abort_after_run", true, "abort", true, false, true},
        };
        for (const case_t& c : cases) {
            wizard_shell shell(program_title());
            shell.apply_title();
            auto handler = make_handler();
            handler->set_context(L"orders", 17);
            QString shown;
            on_modal([&](QWidget* d) {
                QVERIFY(qobject_cast<dlg_error_continue*>(d) != nullptr);
                QCOMPARE(d->windowModality(), Qt::ApplicationModal);
                shown = d->findChild<QLabel*>(QStringLiteral("message"))->text();
                if (c.tick) {
                    d->findChild<QCheckBox*>()->click();
                }
                screenshot(d, QStringLiteral("dlg_error_continue_%1").arg(c.name));
                press(d, c.button);
            });
            const handled result = handle_on_worker(
                *handler,
                coded_exception("ORA-00001: unique constraint violated\n(x)", 0, 0x100001),
                c.after_run);
            QCOMPARE(result.final_exception, c.final_exception);
            QCOMPARE(handler->silent(), c.silent_after);
            // The prepared text replaces the server's, after the context; line feeds are blanks.
            const QString expected = QStringLiteral(
                "orders, record #17: Duplicate field values being used for an unique index "
                "were found. See 'Troubleshooting' article of the product documentation for "
                "solution.");
            QCOMPARE(shown, expected);
            QCOMPARE(shell.errors(), std::vector<std::string>{expected.toStdString()});
        }
    }

    void once_silent_no_dialog_opens_but_every_error_is_listed() {
        wizard_shell shell(program_title());
        shell.apply_title();
        auto handler = make_handler();
        handler->set_silent(true);
        for (int i = 0; i < 25; ++i) {
            handler->set_context(L"t", i + 1);
            const handled result =
                handle_on_worker(*handler, tk_exception("rejected", i % 2), false);
            QCOMPARE(result.final_exception, i % 2 == 1);
        }
        const std::vector<std::string> errors = shell.errors();
        QCOMPARE(errors.size(), size_t{20});
        QCOMPARE(errors.front(), std::string("t, record #1: rejected"));
        QCOMPARE(errors.back(), std::string("t, record #20: rejected"));
    }

    void level_1_shows_the_error_box_and_stops_a_run() {
        for (const bool after_run : {false, true}) {
            wizard_shell shell(program_title());
            shell.apply_title();
            auto handler = make_handler();
            box_seen seen;
            answer_box(QStringLiteral("OK"), QStringLiteral("box_level_1"), &seen);
            const handled result = handle_on_worker(
                *handler, coded_exception("Can't connect", 1, 0x4007D5), after_run);
            QCOMPARE(result.final_exception, !after_run);
            QCOMPARE(seen.caption, QStringLiteral("Tarvolin 3.1 Error"));
            QCOMPARE(seen.text,
                     QStringLiteral("Can't connect to the MySQL server. Check to verify that "
                                    "MySQL server is launched and the correct host/port values "
                                    "were given."));
        }
    }

    void errors_before_the_wizard_is_up_are_not_listed() {
        wizard_shell shell(program_title());
        auto handler = make_handler();
        answer_box(QStringLiteral("OK"), QStringLiteral("box_level_1_uninitialised"));
        handle_on_worker(*handler, tk_exception("early", 1), true);
        QVERIFY(shell.errors().empty());
    }

    // A message with a run of characters longer than a line (an internal error's code, a long
    // path) wraps inside it in both error dialogs instead of running past the dialog's edge;
    // the text shown is the message, character for character.
    void a_run_longer_than_a_line_wraps_in_both_error_dialogs() {
        const QString prefix = QStringLiteral("Internal error: \ncode=");
        for (const qsizetype run : {qsizetype{48}, qsizetype{49}, qsizetype{97}, qsizetype{400}}) {
            QString code;
            for (qsizetype i = 0; i < run; ++i) {
                code += QLatin1Char("0123456789abcdef"[i % 16]);
            }
            const QString message = prefix + code;
            dlg_error_ex internal(message);
            dlg_error_continue record(message);
            for (QDialog* dialog :
                 {static_cast<QDialog*>(&internal), static_cast<QDialog*>(&record)}) {
                dialog->show();
                QVERIFY(QTest::qWaitForWindowExposed(dialog));
                auto* label = dialog->findChild<QLabel*>(QStringLiteral("message"));
                QString shown = label->text();
                shown.remove(QChar(0x200B));
                QCOMPARE(shown, message);
                // Every line fits the label: as many lines as the run needs at its width.
                const QFontMetrics metrics(label->font());
                const int needed = metrics.horizontalAdvance(code) / label->width() + 2;
                QVERIFY2(label->heightForWidth(label->width()) >= needed * metrics.height(),
                         qPrintable(QString::number(run)));
                QVERIFY(label->width() <= label->maximumWidth());
                if (run == 400) {
                    screenshot(dialog, QStringLiteral("%1_long_run").arg(dialog->objectName()));
                }
                dialog->close();
            }
        }
    }

    void internal_error_shows_its_dialog_mails_the_report_and_ends_with_minus_one() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("bin")));
        const QString mail = dir.path() + QStringLiteral("/mail");
        const QString sendmail = dir.path() + QStringLiteral("/bin/sendmail");
        {
            QFile script(sendmail);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(("#!/bin/sh\n/bin/cat > '" + mail + "'\n").toUtf8());
        }
        QFile::setPermissions(sendmail, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), dir.path() + QStringLiteral("/bin"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("internal-error-child")});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 255);
        QFile sent(mail);
        QVERIFY2(sent.open(QIODevice::ReadOnly), "no report was mailed");
        const QByteArray report = sent.readAll();
        QVERIFY(report.contains("Subject: Bug report on Tarvolin 3.1 Error\n"));
        QVERIFY(report.contains("\n\nInternal error: \ncode="));
    }
};

namespace {

// The child of the internal-error test: a wizard whose worker meets a failed internal check.
// It presses "Send bug" and is expected to end with status -1.
int child_internal_error(int argc, char** argv) {
    QApplication app(argc, argv);
    wizard_shell shell(program_title());
    shell.apply_title();
    auto handler = make_handler();
    on_modal([](QWidget* d) {
        if (qobject_cast<dlg_error_ex*>(d) == nullptr) {
            std::_Exit(3);
        }
        screenshot(d, QStringLiteral("dlg_error_ex_internal"));
        press(d, "send_bug");
    });
    std::thread worker;
    QTimer::singleShot(0, [&] {
        worker = std::thread([&] {
            try {
                TK_FAIL();
            } catch (const tk_exception& e) {
                handler->handle(e, false);
            }
        });
    });
    QTimer::singleShot(30000, [] { std::_Exit(4); });
    app.exec();
    return 5;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "internal-error-child") == 0) {
        return child_internal_error(argc, argv);
    }
    QApplication app(argc, argv);
    wizard_error_test test;
    return QTest::qExec(&test, argc, argv);
}

#include "wizard_error_test.moc"

#include "wizard_test_support.h"

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <utility>

namespace wizard_test {

namespace {

std::deque<std::function<void(QWidget*)>>& pending() {
    static std::deque<std::function<void(QWidget*)>> handlers;
    return handlers;
}

QTimer* poller = nullptr;

std::function<void(QWidget*)>& fallback() {
    static std::function<void(QWidget*)> handler;
    return handler;
}
const char* const handled_mark = "wizard_test_handled";
int connecting_dialogs_seen = 0;
std::function<void(QWidget*)> connecting_handler;

// Outside the poller's own slot: a timer is not fired again while its slot runs, and the
// action may open the next dialog in a nested event loop.
void run_on(QWidget* modal, std::function<void(QWidget*)> action) {
    modal->setProperty(handled_mark, true);
    QTimer::singleShot(0, modal, [action = std::move(action), modal] { action(modal); });
}

void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    // A dialog on the stack may reuse the address of the previous one, so a handled dialog is
    // marked rather than remembered.
    if (modal == nullptr || !modal->isVisible() || modal->property(handled_mark).toBool()) {
        return;
    }
    // The connecting dialog comes and goes by itself: it is photographed, and handled only
    // when a test asked for it.
    if (modal->objectName() == QStringLiteral("connecting_dlg")) {
        ++connecting_dialogs_seen;
        const bool mysql = modal->findChild<QLabel*>(QStringLiteral("text"))
                               ->text()
                               .contains(QStringLiteral("MySQL"));
        screenshot(modal, mysql ? QStringLiteral("dlg_connecting_mysql")
                                : QStringLiteral("dlg_connecting_oracle"));
        modal->setProperty(handled_mark, true);
        if (connecting_handler) {
            run_on(modal, std::exchange(connecting_handler, nullptr));
        }
        return;
    }
    std::function<void(QWidget*)> action;
    if (!pending().empty()) {
        action = std::move(pending().front());
        pending().pop_front();
    } else if (fallback()) {
        action = fallback();
    } else {
        return;
    }
    run_on(modal, std::move(action));
}

QString plain(QString text) {
    return text.remove(QLatin1Char('&'));
}

}  // namespace

void screenshot(QWidget* widget, const QString& name) {
    QString dir = qEnvironmentVariable("TARVOLIN_SCREENSHOT_DIR");
    if (dir.isEmpty()) {
        dir = QDir::currentPath() + QStringLiteral("/wizard-screenshots");
    }
    QDir().mkpath(dir);
    widget->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void watch_modals() {
    if (poller == nullptr) {
        poller = new QTimer(qApp);
        QObject::connect(poller, &QTimer::timeout, poll);
        poller->start(15);
    }
}

void on_modal(std::function<void(QWidget*)> action) {
    watch_modals();
    pending().push_back(std::move(action));
}

bool modals_done() {
    return pending().empty();
}

void on_connecting(std::function<void(QWidget*)> action) {
    watch_modals();
    connecting_handler = std::move(action);
}

int connecting_dialogs() {
    return connecting_dialogs_seen;
}

void on_unexpected_modal(std::function<void(QWidget*)> action) {
    watch_modals();
    fallback() = std::move(action);
}

void forget_modals() {
    pending().clear();
    connecting_handler = nullptr;
    fallback() = nullptr;
}

void answer_box(const QString& button_text, const QString& screenshot_name, box_seen* seen) {
    on_modal([=](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        QVERIFY2(box != nullptr, qPrintable(QStringLiteral("expected a message box, got ") +
                                            dialog->metaObject()->className()));
        if (seen != nullptr) {
            seen->caption = box->windowTitle();
            seen->text = box->text();
            seen->icon = box->icon();
        }
        screenshot(box, screenshot_name);
        for (QAbstractButton* b : box->buttons()) {
            if (plain(b->text()) == plain(button_text)) {
                b->click();
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no button ") + button_text));
    });
}

void choose_file(QWidget* file_dialog, const QString& path) {
    auto* dialog = qobject_cast<QFileDialog*>(file_dialog);
    QVERIFY2(dialog != nullptr, qPrintable(QStringLiteral("expected a file dialog, got ") +
                                           file_dialog->metaObject()->className()));
    const QFileInfo file(path);
    dialog->setDirectory(file.absolutePath());
    dialog->findChild<QLineEdit*>()->setText(file.fileName());
    QMetaObject::invokeMethod(dialog, "accept");
}

void press(QWidget* dialog, const char* object_name) {
    auto* b = dialog->findChild<QPushButton*>(QString::fromLatin1(object_name));
    QVERIFY2(b != nullptr, object_name);
    b->click();
}

bool wait_until(const std::function<bool()>& condition, int timeout_ms) {
    QDeadlineTimer deadline(timeout_ms);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

}  // namespace wizard_test

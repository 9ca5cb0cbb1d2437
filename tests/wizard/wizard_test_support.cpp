#include "wizard_test_support.h"

#include <QAbstractButton>
#include <QDeadlineTimer>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>

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

void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    // A dialog on the stack may reuse the address of the previous one, so a handled dialog is
    // marked rather than remembered.
    if (modal == nullptr || !modal->isVisible() || modal->property(handled_mark).toBool()) {
        return;
    }
    // The connecting dialog comes and goes by itself: it is photographed, never handled.
    if (modal->objectName() == QStringLiteral("connecting_dlg")) {
        modal->setProperty(handled_mark, true);
        ++connecting_dialogs_seen;
        screenshot(modal, QStringLiteral("dlg_connecting_oracle"));
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
    modal->setProperty(handled_mark, true);
    // Run outside the poller's own slot: a timer is not fired again while its slot runs, and
    // the action may open the next dialog in a nested event loop.
    QTimer::singleShot(0, modal, [action = std::move(action), modal] { action(modal); });
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

int connecting_dialogs() {
    return connecting_dialogs_seen;
}

void on_unexpected_modal(std::function<void(QWidget*)> action) {
    watch_modals();
    fallback() = std::move(action);
}

void forget_modals() {
    pending().clear();
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

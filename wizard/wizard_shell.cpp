#include "wizard/wizard_shell.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "TK/tk_trace_log.h"
#include "wizard/window_thread.h"
#include "wizard/wizard_art.h"
#include "wizard/wizard_page.h"

namespace {

QString default_help_file() {
    const QFileInfo program(QCoreApplication::applicationFilePath());
    return program.absolutePath() + QLatin1Char('/') + program.completeBaseName() +
           QStringLiteral(".html");
}

}  // namespace

wizard_shell::wizard_shell(const QString& title, QWidget* parent)
    : QWizard(parent), title_(title), help_file_(default_help_file()) {
    setWizardStyle(QWizard::ModernStyle);
    setOptions(QWizard::HaveHelpButton | QWizard::NoDefaultButton);
    setButtonText(QWizard::BackButton, QStringLiteral("< &Back"));
    setButtonText(QWizard::NextButton, QStringLiteral("&Next >"));
    // A page after which there is no way back shows its Next button in the commit form.
    setButtonText(QWizard::CommitButton, QStringLiteral("&Next >"));
    setButtonText(QWizard::FinishButton, QStringLiteral("&Finish"));
    setButtonText(QWizard::CancelButton, QStringLiteral("Cancel"));
    setButtonText(QWizard::HelpButton, QStringLiteral("&Help"));
    setObjectName(QStringLiteral("wizard_shell"));

    timer_.setObjectName(QStringLiteral("progress_timer"));
    connect(&timer_, &QTimer::timeout, this, &wizard_shell::timer_tick);
    connect(this, &QWizard::helpRequested, this, [this] {
        const auto* page = dynamic_cast<const wizard_page*>(currentPage());
        if (page != nullptr) {
            display_help(page->help_topic());
        }
    });
}

wizard_shell::~wizard_shell() {
    tk_trace(1, "wizard_shell::dtor");
    if (timer_set_) {
        kill_timer();
    }
}

void wizard_shell::add_page(wizard_page* page) {
    // A page without a Back button cannot be returned to from its successor, nor its
    // predecessor from it: QWizard expresses that by making the page before it a commit page.
    const QList<int> ids = pageIds();
    if ((page->offered_buttons() & wizard_page::back_button) == 0 && !ids.isEmpty()) {
        QWizard::page(ids.back())->setCommitPage(true);
    }
    addPage(page);
}

int wizard_shell::run() {
    return exec();
}

bool wizard_shell::is_initialized() {
    tk_trace(1, "wizard_shell::is_initialized");
    wizard_shell* shell = instance_or_null();
    if (shell == nullptr) {
        tk_trace(1, "Before return false");
        return false;
    }
    tk_trace(1, "Singleton has been initialized");
    return shell->initialized_;
}

void wizard_shell::apply_title() {
    if (initialized_) {
        return;
    }
    setWindowTitle(title_);
    setWindowIcon(wizard_art::program_icon());
    initialized_ = true;
}

QString wizard_shell::caption(const QString& kind) {
    if (is_initialized()) {
        return instance().title() + QLatin1Char(' ') + kind;
    }
    return kind;
}

int wizard_shell::message_box(int icon, const QString& kind, const QString& text, bool yes_no,
                              bool default_no) {
    return on_window_thread(this, [&]() -> int {
        QMessageBox box(static_cast<QMessageBox::Icon>(icon), caption(kind), text,
                        yes_no ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                        is_initialized() ? this : nullptr);
        box.setObjectName(QStringLiteral("message_box"));
        if (yes_no) {
            box.setDefaultButton(default_no ? QMessageBox::No : QMessageBox::Yes);
        }
        return box.exec();
    });
}

void wizard_shell::error(const QString& text) {
    tk_trace_w(1, L"wizard_shell::error(%ls)", text.toStdWString().c_str());
    tk_trace_w(3, L"%ls", text.toStdWString().c_str());
    message_box(QMessageBox::Critical, QStringLiteral("Error"), text, false, false);
}

void wizard_shell::message(const QString& text) {
    tk_trace_w(1, L"wizard_shell::message(%ls)", text.toStdWString().c_str());
    tk_trace_w(3, L"%ls", text.toStdWString().c_str());
    message_box(QMessageBox::Information, QStringLiteral("Message"), text, false, false);
}

bool wizard_shell::question(const QString& text, bool default_no) {
    tk_trace_w(1, L"wizard_shell::question(%ls)", text.toStdWString().c_str());
    return message_box(QMessageBox::Question, QStringLiteral("Question"), text, true, default_no) ==
           QMessageBox::Yes;
}

void wizard_shell::enable_button(QWizard::WizardButton which, bool enable) {
    tk_trace(2, "wizard_shell::enable_button(%08X)", static_cast<unsigned>(which));
    if (QAbstractButton* b = button(which)) {
        b->setEnabled(enable);
    }
}

void wizard_shell::go_next() {
    QAbstractButton* commit = button(QWizard::CommitButton);
    if (commit->isVisible()) {
        commit->click();
    } else {
        button(QWizard::NextButton)->click();
    }
}

void wizard_shell::set_timer(int period_ms) {
    // The flag is claimed here, on the caller's thread, so that a second set is caught even
    // while the first start is still on its way to the window thread.
    const bool was_set = timer_set_.exchange(true);
    TK_ASSERT(!was_set);
    post_to_window_thread(this, [this, period_ms] {
        if (timer_set_) {
            timer_.start(period_ms);
        }
    });
}

void wizard_shell::kill_timer() {
    timer_set_ = false;
    on_window_thread(this, [this] { timer_.stop(); });
}

QString wizard_shell::help_url_fragment(int topic) {
    return QStringLiteral("topic-%1").arg(topic);
}

void wizard_shell::display_help() {
    tk_trace(1, "wizard_shell::display_help");
    show_help(QString());
}

void wizard_shell::display_help(int topic) {
    tk_trace(1, "wizard_shell::display_help(%d)", topic);
    show_help(help_url_fragment(topic));
}

void wizard_shell::show_help(const QString& fragment) {
    on_window_thread(this, [&] {
        if (!QFileInfo(help_file_).isFile()) {
            error(QStringLiteral("Help file does not exist. Reinstall the program."));
            return;
        }
        QUrl url = QUrl::fromLocalFile(help_file_);
        if (!fragment.isEmpty()) {
            url.setFragment(fragment);
        }
        if (!QDesktopServices::openUrl(url)) {
            tk_trace_w(3, L"No browser could open %ls", url.toString().toStdWString().c_str());
            error(QStringLiteral("No web browser could be started to show the help file ") +
                  help_file_ + QLatin1Char('.'));
        }
    });
}

bool wizard_shell::add_error(const std::string& text) {
    std::lock_guard lock(errors_mutex_);
    if (errors_.size() >= max_errors) {
        return false;
    }
    errors_.push_back(text);
    return true;
}

std::vector<std::string> wizard_shell::errors() const {
    std::lock_guard lock(errors_mutex_);
    return errors_;
}

void wizard_shell::clear_errors() {
    std::lock_guard lock(errors_mutex_);
    errors_.clear();
}

void wizard_shell::reject() {
    auto* page = dynamic_cast<wizard_page*>(currentPage());
    if (page != nullptr && !page->on_cancel()) {
        return;
    }
    QWizard::reject();
}

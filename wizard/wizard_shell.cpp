#include "wizard/wizard_shell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSpacerItem>
#include <QUrl>
#include <QVBoxLayout>
#include <QWizardPage>

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
    setOptions(QWizard::HaveHelpButton);
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
    connect(this, &QWizard::currentIdChanged, this, [this](int id) {
        if (auto* page = dynamic_cast<wizard_page*>(QWizard::page(id))) {
            page->activate();
        }
    });
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

int wizard_shell::caption_room(const QString& caption) {
    // Qt's message box allows 50 pixels beside the caption; a window manager's title bar has
    // the window's icon and up to three buttons, each about two lines of its font wide.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics metrics(font);
    return metrics.horizontalAdvance(caption) + 8 * metrics.height();
}

QString wizard_shell::as_paragraphs(const QString& text) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList paragraphs;
    for (const QString& paragraph : plain.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
        const QString joined =
            paragraph.split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                .replaceInStrings(QRegularExpression(QStringLiteral("^ +| +$")), QString())
                .join(QLatin1Char(' '));
        if (!joined.isEmpty()) {
            paragraphs << joined;
        }
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

namespace {

// QMessageBox fixes its own size when it is shown, from its layout; a spacer as wide as the
// caption needs makes that size large enough.
void reserve_caption_room(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) {
        return;
    }
    grid->addItem(new QSpacerItem(wizard_shell::caption_room(box.windowTitle()), 0,
                                  QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

int wizard_shell::message_box(int icon, const QString& kind, const QString& text, bool yes_no,
                              bool default_no) {
    return on_window_thread(this, [&]() -> int {
        QMessageBox box(static_cast<QMessageBox::Icon>(icon), caption(kind), as_paragraphs(text),
                        yes_no ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                        is_initialized() ? this : nullptr);
        box.setObjectName(QStringLiteral("message_box"));
        box.setTextFormat(Qt::PlainText);
        if (yes_no) {
            box.setDefaultButton(default_no ? QMessageBox::No : QMessageBox::Yes);
        }
        reserve_caption_room(box);
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

bool wizard_shell::ask_to_exit() {
    asking_to_exit_ = true;
    const bool yes = question(QStringLiteral("Are you sure you want to exit the wizard?"), true);
    asking_to_exit_ = false;
    return yes;
}

void wizard_shell::enable_button(QWizard::WizardButton which, bool enable) {
    tk_trace(2, "wizard_shell::enable_button(%08X)", static_cast<unsigned>(which));
    if (QAbstractButton* b = button(which)) {
        b->setEnabled(enable);
    }
}

QAbstractButton* wizard_shell::forward_button() const {
    for (const WizardButton which : {CommitButton, NextButton, FinishButton}) {
        QAbstractButton* candidate = button(which);
        if (candidate->isVisible()) {
            return candidate;
        }
    }
    return button(NextButton);
}

void wizard_shell::go_next() {
    forward_button()->click();
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

void wizard_shell::setVisible(bool visible) {
    if (visible && !fitted_) {
        fitted_ = true;
        fit_to_pages();
    }
    QWizard::setVisible(visible);
}

void wizard_shell::configure_like_this(QWizard& other) const {
    other.setWizardStyle(wizardStyle());
    other.setOptions(options());
    other.setFont(font());
    for (const WizardButton which :
         {BackButton, NextButton, CommitButton, FinishButton, CancelButton, HelpButton}) {
        other.setButtonText(which, buttonText(which));
    }
}

QSize wizard_shell::largest_page_size(int* watermark_margin) const {
    QWizard probe;
    configure_like_this(probe);
    const auto measure = [&probe](QWizardPage* stand_in) {
        probe.setStartId(probe.addPage(stand_in));
        probe.restart();
        return probe.sizeHint();
    };
    const auto stand_in_for = [](const QWizardPage& page, QSize content) {
        auto* stand_in = new QWizardPage;
        stand_in->setTitle(page.title());
        stand_in->setSubTitle(page.subTitle());
        for (const WizardPixmap which : {WatermarkPixmap, LogoPixmap}) {
            stand_in->setPixmap(which, page.pixmap(which));
        }
        auto* layout = new QVBoxLayout(stand_in);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addItem(new QSpacerItem(content.width(), content.height(), QSizePolicy::Fixed,
                                        QSizePolicy::Fixed));
        return stand_in;
    };
    QSize largest;
    for (const int id : pageIds()) {
        const QWizardPage& real = *page(id);
        largest = largest.expandedTo(
            measure(stand_in_for(real, real.sizeHint().expandedTo(real.minimumSizeHint()))));
    }
    // A watermark taller than anything else gives away what lies below the page area.
    QWizardPage tall;
    constexpr int tall_height = 2000;
    tall.setPixmap(WatermarkPixmap, wizard_art::watermark(tall_height));
    *watermark_margin = measure(stand_in_for(tall, QSize(1, 1))).height() - tall_height;
    return largest;
}

void wizard_shell::fit_to_pages() {
    int watermark_margin = 0;
    const QSize size = largest_page_size(&watermark_margin);
    setFixedSize(size);
    watermark_height_ = size.height() - watermark_margin;
    for (const int id : pageIds()) {
        if (!page(id)->pixmap(WatermarkPixmap).isNull()) {
            page(id)->setPixmap(WatermarkPixmap, wizard_art::watermark(watermark_height_));
        }
    }
}

void wizard_shell::reject() {
    auto* page = dynamic_cast<wizard_page*>(currentPage());
    if (page != nullptr && !page->on_cancel()) {
        return;
    }
    QWizard::reject();
}

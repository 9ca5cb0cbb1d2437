#include "wizard/gui_finish_page.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "TK/tk_trace_log.h"
#include "core/dorvex_convertor.h"
#include "platform/codepage.h"
#include "wizard/g_f_dlg.h"
#include "wizard/profile_files.h"
#include "wizard/qt_text.h"
#include "wizard/wizard_guard.h"
#include "wizard/wizard_shell.h"

namespace {

// A read-only text that takes the room the page gives it instead of asking for the room its
// text would need: the wizard has one size for every page.
QPlainTextEdit* outcome_text(QWidget* page, const char* name) {
    auto* text = new QPlainTextEdit(page);
    text->setObjectName(QString::fromLatin1(name));
    text->setReadOnly(true);
    text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    text->hide();
    return text;
}

}  // namespace

gui_finish_page::gui_finish_page(dorvex_convertor& converter, const QString& success_text,
                                 const QString& error_text, const QString& profile_extension)
    : wizard_page(116, QString(), QString(), finish_button, 0),
      converter_(converter),
      success_text_(success_text),
      error_text_(error_text),
      extension_(profile_extension) {
    tk_trace(1, "gui_finish_page::ctor");
    title_ = new QLabel(QStringLiteral("Conversion is Completed"), this);
    title_->setObjectName(QStringLiteral("title"));
    closing_ = new QLabel(this);
    closing_->setObjectName(QStringLiteral("closing_text"));
    errors_ = outcome_text(this, "errors");
    errors_->installEventFilter(this);
    // The summary's columns line up in a fixed-pitch font; its lines are not wrapped.
    summary_ = outcome_text(this, "summary");
    summary_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    summary_->setLineWrapMode(QPlainTextEdit::NoWrap);

    rejects_row_ = new QWidget(this);
    rejects_ = new QLineEdit(rejects_row_);
    rejects_->setObjectName(QStringLiteral("rejects_file"));
    rejects_->setReadOnly(true);
    auto* rejects_label = new QLabel(QStringLiteral("&Rejected records:"), rejects_row_);
    rejects_label->setBuddy(rejects_);
    auto* rejects_layout = new QHBoxLayout(rejects_row_);
    rejects_layout->setContentsMargins(0, 0, 0, 0);
    rejects_layout->addWidget(rejects_label);
    rejects_layout->addWidget(rejects_, 1);
    rejects_row_->hide();

    auto* save = new QPushButton(QStringLiteral("&Save Settings"), this);
    save->setObjectName(QStringLiteral("save_settings"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addSpacing(12);
    layout->addWidget(closing_);
    layout->addWidget(errors_, 1);
    layout->addWidget(summary_, 1);
    layout->addWidget(rejects_row_);
    layout->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(save);
    row->addStretch();
    layout->addLayout(row);
    connect(save, &QPushButton::clicked, this, guarded([this] { on_save_settings(); }));
}

void gui_finish_page::page_init() {
    tk_trace(2, "gui_finish_page::page_init");
    set_title_font(title_);
    shell().enable_button(QWizard::CancelButton, false);
    shell().enable_button(QWizard::HelpButton, false);
    const std::vector<std::string> errors = shell().errors();
    // A run can go wrong without a collected error (one that ended it on a message box of its
    // own): the report has the last word.
    const bool clean = !converter_.is_finished() || converter_.last_report().clean();
    if (errors.empty() && clean) {
        tk_trace(2, "Display success-message");
        closing_->setText(success_text_);
        errors_->hide();
    } else {
        tk_trace(2, "Display errors");
        closing_->setText(error_text_);
        show_errors(errors);
    }
    show_report();
}

void gui_finish_page::show_errors(const std::vector<std::string>& errors) {
    errors_->clear();
    if (errors.empty()) {
        errors_->hide();
        return;
    }
    QString text;
    for (std::string error : errors) {
        std::replace(error.begin(), error.end(), '\n', ' ');
        text += QString::fromStdWString(platform::ansi_to_wide(error)) + QStringLiteral("\n\n");
    }
    errors_->setPlainText(text);
    errors_->setReadOnly(true);
    errors_->show();
}

void gui_finish_page::show_report() {
    if (!converter_.is_finished()) {
        summary_->hide();
        rejects_row_->hide();
        return;
    }
    const run_report& report = converter_.last_report();
    QStringList lines;
    for (const std::wstring& line : report.summary_lines()) {
        lines << from_wide(line);
    }
    summary_->setPlainText(lines.join(QLatin1Char('\n')));
    summary_->show();
    rejects_->setText(QString::fromStdWString(platform::utf8_to_wide(report.rejects_file)));
    rejects_row_->setVisible(!report.rejects_file.empty());
}

bool gui_finish_page::eventFilter(QObject* watched, QEvent* event) {
    if (watched == errors_ && event->type() == QEvent::FocusIn) {
        on_eb_focus();
    }
    return wizard_page::eventFilter(watched, event);
}

void gui_finish_page::on_eb_focus() {
    tk_trace(1, "gui_finish_page::on_eb_focus");
    if (!first_focus_) {
        return;
    }
    first_focus_ = false;
    QTextCursor cursor = errors_->textCursor();
    cursor.clearSelection();
    errors_->setTextCursor(cursor);
    errors_->ensureCursorVisible();
    if (QAbstractButton* finish = shell().button(QWizard::FinishButton)) {
        finish->setFocus();
    }
}

void gui_finish_page::on_save_settings() {
    g_f_dlg dialog(&shell(), QStringLiteral("Select Profile File"), profile_filter(extension_),
                   extension_);
    const QString path = dialog.save_file();
    if (path.isEmpty()) {
        return;
    }
    save_profile_or_say_so(converter_, path);
}

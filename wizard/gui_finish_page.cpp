#include "wizard/gui_finish_page.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "TK/tk_trace_log.h"
#include "platform/codepage.h"
#include "wizard/g_f_dlg.h"
#include "wizard/profile_files.h"
#include "wizard/wizard_guard.h"
#include "wizard/wizard_shell.h"

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
    errors_ = new QPlainTextEdit(this);
    errors_->setObjectName(QStringLiteral("errors"));
    errors_->hide();
    errors_->installEventFilter(this);
    auto* save = new QPushButton(QStringLiteral("&Save Settings"), this);
    save->setObjectName(QStringLiteral("save_settings"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addSpacing(12);
    layout->addWidget(closing_);
    layout->addWidget(errors_, 1);
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
    if (errors.empty()) {
        tk_trace(2, "Display success-message");
        closing_->setText(success_text_);
        errors_->hide();
        return;
    }
    tk_trace(2, "Display errors");
    closing_->setText(error_text_);
    errors_->clear();
    QString text;
    for (std::string error : errors) {
        std::replace(error.begin(), error.end(), '\n', ' ');
        text += QString::fromStdWString(platform::ansi_to_wide(error)) + QStringLiteral("\n\n");
    }
    errors_->setPlainText(text);
    errors_->setReadOnly(true);
    errors_->show();
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

#include "wizard/dlg_error_ex.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "TK/tk_bug_report.h"
#include "TK/tk_trace_log.h"
#include "platform/codepage.h"
#include "wizard/error_icon.h"
#include "wizard/wizard_shell.h"

dlg_error_ex::dlg_error_ex(const QString& message, QWidget* parent)
    : QDialog(parent), message_(message) {
    tk_trace(1, "dlg_error_ex::ctor");
    setObjectName(QStringLiteral("dlg_error_ex"));
    tk_trace(1, "dlg_error_ex::on_init");
    setWindowTitle(wizard_shell::caption(QStringLiteral("Error")));

    auto* text = new QLabel(message_, this);
    text->setObjectName(QStringLiteral("message"));
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setTextFormat(Qt::PlainText);
    // Composed messages are one long line: they wrap at a readable width.
    text->setWordWrap(true);
    text->setMinimumWidth(360);
    text->setMaximumWidth(560);

    auto* send_bug = new QPushButton(QStringLiteral("Send bug"), this);
    send_bug->setObjectName(QStringLiteral("send_bug"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* copy = new QPushButton(QStringLiteral("Copy to clipboard"), this);
    copy->setObjectName(QStringLiteral("copy"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(send_bug);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(copy);

    auto* layout = new QGridLayout(this);
    layout->addWidget(error_icon(this), 0, 0, Qt::AlignTop);
    layout->addWidget(text, 0, 1);
    layout->addLayout(buttons, 1, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    setMinimumWidth(420);

    connect(ok, &QPushButton::clicked, this, [this] { done(ok_result); });
    connect(copy, &QPushButton::clicked, this, &dlg_error_ex::on_copy);
    connect(send_bug, &QPushButton::clicked, this, &dlg_error_ex::on_send_bug);
}

void dlg_error_ex::on_copy() {
    QGuiApplication::clipboard()->setText(message_);
    done(copy_result);
}

void dlg_error_ex::on_send_bug() {
    tk_send_bug_report(platform::wide_to_ansi(windowTitle().toStdWString()),
                       platform::wide_to_ansi(message_.toStdWString()));
    done(send_bug_result);
}

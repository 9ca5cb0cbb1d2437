#include "wizard/dlg_error_ex.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QStyle>

#include "TK/tk_bug_report.h"
#include "TK/tk_trace_log.h"
#include "platform/codepage.h"
#include "wizard/error_dialog_layout.h"
#include "wizard/wizard_shell.h"

dlg_error_ex::dlg_error_ex(const QString& message, QWidget* parent)
    : QDialog(parent), message_(message) {
    tk_trace(1, "dlg_error_ex::ctor");
    setObjectName(QStringLiteral("dlg_error_ex"));
    tk_trace(1, "dlg_error_ex::on_init");
    setWindowTitle(wizard_shell::caption(QStringLiteral("Error")));

    auto* send_bug = new QPushButton(QStringLiteral("Send bug"), this);
    send_bug->setObjectName(QStringLiteral("send_bug"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* copy = new QPushButton(QStringLiteral("Copy to clipboard"), this);
    copy->setObjectName(QStringLiteral("copy"));

    lay_out_error_dialog(this, message_, {send_bug, nullptr, ok, copy});

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

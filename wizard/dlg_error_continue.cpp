#include "wizard/dlg_error_continue.h"

#include <QCheckBox>
#include <QPushButton>

#include "TK/tk_trace_log.h"
#include "wizard/error_dialog_layout.h"
#include "wizard/wizard_shell.h"

dlg_error_continue::dlg_error_continue(const QString& message, QWidget* parent) : QDialog(parent) {
    tk_trace(1, "dlg_error_continue::ctor");
    setObjectName(QStringLiteral("dlg_error_continue"));
    tk_trace(1, "dlg_error_continue::on_init");
    setWindowTitle(wizard_shell::caption(QStringLiteral("Error")));

    check_ = new QCheckBox(QStringLiteral("&Do not show this dialog box again"), this);
    check_->setObjectName(QStringLiteral("do_not_show_again"));
    auto* go_on = new QPushButton(QStringLiteral("Continue"), this);
    go_on->setObjectName(QStringLiteral("continue"));
    go_on->setDefault(true);
    auto* abort = new QPushButton(QStringLiteral("Abort"), this);
    abort->setObjectName(QStringLiteral("abort"));

    lay_out_error_dialog(this, message, {check_, nullptr, go_on, abort});

    connect(check_, &QCheckBox::toggled, this, [this](bool on) { do_not_show_again_ = on; });
    connect(go_on, &QPushButton::clicked, this, [this] { done(continue_result); });
    connect(abort, &QPushButton::clicked, this, [this] { done(abort_result); });
    go_on->setFocus();
}

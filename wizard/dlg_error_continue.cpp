#include "wizard/dlg_error_continue.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "TK/tk_trace_log.h"
#include "wizard/error_icon.h"
#include "wizard/wizard_shell.h"

dlg_error_continue::dlg_error_continue(const QString& message, QWidget* parent) : QDialog(parent) {
    tk_trace(1, "dlg_error_continue::ctor");
    setObjectName(QStringLiteral("dlg_error_continue"));
    tk_trace(1, "dlg_error_continue::on_init");
    setWindowTitle(wizard_shell::caption(QStringLiteral("Error")));

    auto* text = new QLabel(message, this);
    text->setObjectName(QStringLiteral("message"));
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setTextFormat(Qt::PlainText);
    // Composed messages are one long line: they wrap at a readable width.
    text->setWordWrap(true);
    text->setMinimumWidth(360);
    text->setMaximumWidth(560);

    check_ = new QCheckBox(QStringLiteral("&Do not show this dialog box again"), this);
    check_->setObjectName(QStringLiteral("do_not_show_again"));
    auto* go_on = new QPushButton(QStringLiteral("Continue"), this);
    go_on->setObjectName(QStringLiteral("continue"));
    go_on->setDefault(true);
    auto* abort = new QPushButton(QStringLiteral("Abort"), this);
    abort->setObjectName(QStringLiteral("abort"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(check_);
    buttons->addStretch();
    buttons->addWidget(go_on);
    buttons->addWidget(abort);

    auto* layout = new QGridLayout(this);
    layout->addWidget(error_icon(this), 0, 0, Qt::AlignTop);
    layout->addWidget(text, 0, 1);
    layout->addLayout(buttons, 1, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    setMinimumWidth(420);

    connect(check_, &QCheckBox::toggled, this, [this](bool on) { do_not_show_again_ = on; });
    connect(go_on, &QPushButton::clicked, this, [this] { done(continue_result); });
    connect(abort, &QPushButton::clicked, this, [this] { done(abort_result); });
    go_on->setFocus();
}

#include "wizard/wizard_page.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QMessageBox>

#include "TK/tk_trace_log.h"
#include "wizard/wizard_art.h"
#include "wizard/wizard_guard.h"
#include "wizard/wizard_shell.h"

wizard_page::wizard_page(int template_id, const QString& header_title, const QString& subtitle,
                         unsigned buttons, int help_topic)
    : template_id_(template_id), buttons_(buttons), help_topic_(help_topic) {
    if (header_title.isEmpty()) {
        setPixmap(QWizard::WatermarkPixmap, wizard_art::watermark());
    } else {
        setTitle(header_title);
        setSubTitle(subtitle);
        setPixmap(QWizard::LogoPixmap, wizard_art::header());
    }
    setObjectName(QStringLiteral("page_%1").arg(template_id));
}

wizard_page::~wizard_page() {
    tk_trace(1, "wizard_page::dtor");
}

void wizard_page::activate() {
    tk_trace(1, "wizard_page::OnSetActive");
    shell().apply_title();
    page_init();
    // A page without a field of its own gives the focus to the default button rather than to
    // its first push button, so that Enter goes forward, not to "&Load Settings".
    QWidget* field = first_field();
    if (field == nullptr || !field->isEnabled()) {
        field = shell().forward_button();
    }
    if (field->isEnabled()) {
        field->setFocus();
    }
}

bool wizard_page::validatePage() {
    return on_next();
}

void wizard_page::cleanupPage() {
    on_back();
}

bool wizard_page::isComplete() const {
    return (buttons_ & (next_button | finish_button)) != 0;
}

bool wizard_page::on_cancel() {
    tk_trace(2, "wizard_page::on_cancel");
    return shell().ask_to_exit();
}

void wizard_page::enable_ctrl(QWidget* control, bool enable) {
    tk_trace(1, "wizard_page::enable_ctrl(%s=%d)", control->objectName().toUtf8().constData(),
             enable ? 1 : 0);
    control->setEnabled(enable);
    if (enable) {
        control->setFocus();
    }
}

void wizard_page::invert_chbox(QCheckBox* box) {
    tk_trace(1, "wizard_page::invert_chbox(%s)", box->objectName().toUtf8().constData());
    box->setChecked(box->checkState() != Qt::Checked);
}

void wizard_page::set_title_font(QLabel* label) {
    QFont font(QStringLiteral("Verdana"));
    font.setPointSize(10);
    font.setWeight(QFont::Bold);
    label->setFont(font);
}

wizard_shell& wizard_page::shell() const {
    return wizard_shell::instance();
}

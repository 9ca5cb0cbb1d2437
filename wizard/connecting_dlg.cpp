#include "wizard/connecting_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "wizard/wizard_art.h"
#include "wizard/wizard_shell.h"

// The dialog's text of the original is "...server.\r\nPlease wait..."; a label breaks lines at
// the line feed alone.
const QString connecting_dlg::mysql_text =
    QStringLiteral("Connecting to MySQL server.\nPlease wait...");
const QString connecting_dlg::oracle_text =
    QStringLiteral("Connecting to Oracle server.\nPlease wait...");

connecting_dlg::connecting_dlg(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("connecting_dlg"));
    setWindowTitle(wizard_shell::is_initialized() ? wizard_shell::instance().title() : QString());

    icon_ = new QLabel(this);
    icon_->setObjectName(QStringLiteral("animation"));
    icon_->setPixmap(wizard_art::animation_frame(0));
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("text"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon_, 0, 0);
    layout->addWidget(label, 0, 1);
    layout->setColumnStretch(1, 1);
    layout->setHorizontalSpacing(12);
    layout->addWidget(buttons, 1, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(wizard_shell::caption_room(windowTitle()));
    cancel->setDefault(true);
    cancel->setFocus();

    animation_.setObjectName(QStringLiteral("animation_timer"));
    connect(&animation_, &QTimer::timeout, this, &connecting_dlg::next_frame);
    poll_.setObjectName(QStringLiteral("poll_timer"));
}

void connecting_dlg::next_frame() {
    frame_ = (frame_ + 1) % wizard_art::animation_frames;
    icon_->setPixmap(wizard_art::animation_frame(frame_));
}

connecting_dlg::result connecting_dlg::wait(const std::function<bool()>& work_ended) {
    const QMetaObject::Connection asking = connect(&poll_, &QTimer::timeout, this, [&] {
        if (work_ended()) {
            done(ended);
        }
    });
    animation_.start(frame_period_ms);
    poll_.start(poll_period_ms);
    const int outcome = exec();
    poll_.stop();
    animation_.stop();
    disconnect(asking);
    return outcome == ended ? ended : cancelled;
}

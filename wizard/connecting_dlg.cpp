#include "wizard/connecting_dlg.h"

#include <QHBoxLayout>
#include <QLabel>

#include "wizard/window_thread.h"
#include "wizard/wizard_art.h"
#include "wizard/wizard_shell.h"

connecting_dlg::connecting_dlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("connecting_dlg"));
    setWindowTitle(wizard_shell::is_initialized() ? wizard_shell::instance().title() : QString());
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint);

    icon_ = new QLabel(this);
    icon_->setObjectName(QStringLiteral("animation"));
    icon_->setPixmap(wizard_art::animation_frame(0));
    // The text of the dialog is "Connecting to Oracle server.\r\nPlease wait..."; a label
    // breaks lines at the line feed alone.
    auto* text = new QLabel(QStringLiteral("Connecting to Oracle server.\nPlease wait..."), this);
    text->setObjectName(QStringLiteral("text"));

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(icon_);
    layout->addSpacing(12);
    layout->addWidget(text);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    timer_.setObjectName(QStringLiteral("animation_timer"));
    connect(&timer_, &QTimer::timeout, this, &connecting_dlg::next_frame);
    timer_.start(frame_period_ms);
}

void connecting_dlg::next_frame() {
    frame_ = (frame_ + 1) % wizard_art::animation_frames;
    icon_->setPixmap(wizard_art::animation_frame(frame_));
}

void connecting_dlg::finish() {
    post_to_window_thread(this, [this] {
        timer_.stop();
        done(0);
    });
}

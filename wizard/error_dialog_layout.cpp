#include "wizard/error_dialog_layout.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

namespace {

// A label wraps only between words, so a run of characters longer than a line (a long path,
// the code of an internal error) would be cut at the dialog's edge. A zero-width space after
// every so many characters of such a run lets it wrap there; nothing visible changes.
QString breakable(const QString& message) {
    constexpr qsizetype longest_run = 48;
    QString text;
    text.reserve(message.size() + message.size() / longest_run);
    qsizetype run = 0;
    for (const QChar c : message) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > longest_run && !c.isLowSurrogate()) {
            text += QChar(0x200B);
            run = 1;
        }
        text += c;
    }
    return text;
}

}  // namespace

void lay_out_error_dialog(QDialog* dialog, const QString& message, const QList<QWidget*>& row) {
    auto* icon = new QLabel(dialog);
    const int size = dialog->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, dialog);
    icon->setPixmap(dialog->style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(size));

    auto* text = new QLabel(breakable(message), dialog);
    text->setObjectName(QStringLiteral("message"));
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setTextFormat(Qt::PlainText);
    // Composed messages are one long line: they wrap at a readable width.
    text->setWordWrap(true);
    text->setMinimumWidth(360);
    text->setMaximumWidth(560);

    auto* controls = new QHBoxLayout;
    for (QWidget* widget : row) {
        if (widget == nullptr) {
            controls->addStretch();
        } else {
            controls->addWidget(widget);
        }
    }

    auto* layout = new QGridLayout(dialog);
    layout->addWidget(icon, 0, 0, Qt::AlignTop);
    layout->addWidget(text, 0, 1);
    layout->addLayout(controls, 1, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    dialog->setMinimumWidth(420);
}

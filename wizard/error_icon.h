// The standard error icon as a label, shared by the two error dialogs.
#pragma once

#include <QLabel>
#include <QStyle>
#include <QWidget>

inline QLabel* error_icon(QWidget* parent) {
    auto* icon = new QLabel(parent);
    const int size = parent->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, parent);
    icon->setPixmap(parent->style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(size));
    return icon;
}

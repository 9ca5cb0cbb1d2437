// The shape shared by the two error dialogs: the standard error icon, the message (wrapped at a
// readable width, selectable; a run of characters longer than a line wraps too) and a row of
// controls below, left to right.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QWidget>

// Lays out dialog; a null entry in row stands for the stretch between its two groups.
void lay_out_error_dialog(QDialog* dialog, const QString& message, const QList<QWidget*>& row);

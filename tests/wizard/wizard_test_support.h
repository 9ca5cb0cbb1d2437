// Helpers for driving the wizard as a person would: answering the modal boxes and dialogs it
// opens, pressing its buttons, and saving screenshots.
#pragma once

#include <QApplication>
#include <QString>
#include <QWidget>
#include <functional>

class wizard_shell;

namespace wizard_test {

// Saves a PNG of the widget as <TARVOLIN_SCREENSHOT_DIR>/<name>.png (or next to the test when
// the variable is absent).
void screenshot(QWidget* widget, const QString& name);

// Runs action on the next modal dialog other than the connecting dialog to open (a message box, the
// file dialog, an error dialog), from inside its event loop. Handlers queue up: the second one
// waits for the dialog after the first.
void on_modal(std::function<void(QWidget* dialog)> action);
// Runs action on any dialog that opens while no handler is queued (until forget_modals), so
// that a dialog nobody expected cannot stall a test.
void on_unexpected_modal(std::function<void(QWidget* dialog)> action);
// True when every queued handler has run.
bool modals_done();
// Drops handlers that never ran (between tests).
void forget_modals();
// How many connecting dialogs have been seen (they are photographed, and handled only by
// on_connecting).
int connecting_dialogs();
// Runs action on the next connecting dialog to open, from inside its event loop.
void on_connecting(std::function<void(QWidget* dialog)> action);
// Starts watching for dialogs without queueing a handler.
void watch_modals();

// Answers a message box: saves its screenshot under name, records its caption and text, and
// presses the button whose text (mnemonics aside) is button_text.
struct box_seen {
    QString caption;
    QString text;
    int icon = 0;
};
void answer_box(const QString& button_text, const QString& screenshot_name,
                box_seen* seen = nullptr);

// Types the file's name into a file dialog, as a person would, and accepts it.
void choose_file(QWidget* file_dialog, const QString& path);

// Presses a push button of a dialog by its object name.
void press(QWidget* dialog, const char* object_name);

// Waits, processing events, until condition holds or timeout_ms pass; returns condition().
bool wait_until(const std::function<bool()>& condition, int timeout_ms = 20000);

}  // namespace wizard_test

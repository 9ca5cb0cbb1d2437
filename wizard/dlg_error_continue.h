// The dialog of an error that the user may skip: the message, "Continue" (the default), "Abort"
// and "&Do not show this dialog box again". The error handler reads the result and the check
// box after it closes. Window thread only.
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;

class dlg_error_continue : public QDialog {
    Q_OBJECT

  public:
    static constexpr int abort_result = 1;
    static constexpr int continue_result = 2;

    explicit dlg_error_continue(const QString& message, QWidget* parent = nullptr);

    bool do_not_show_again() const { return do_not_show_again_; }

  protected:
    // Escape and the close button count as Continue, the cancelling choice of the dialog.
    void reject() override { done(continue_result); }

  private:
    bool do_not_show_again_ = false;
    QCheckBox* check_ = nullptr;
};

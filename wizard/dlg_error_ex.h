// The internal-error dialog: the message, OK, "Copy to clipboard" and "Send bug". The error
// handler ends the program after it closes. Window thread only.
#pragma once

#include <QDialog>
#include <QString>

class dlg_error_ex : public QDialog {
    Q_OBJECT

  public:
    // Results of exec(), the button identifiers of the dialog.
    static constexpr int ok_result = 1;
    static constexpr int copy_result = 1108;
    static constexpr int send_bug_result = 1112;

    explicit dlg_error_ex(const QString& message, QWidget* parent = nullptr);

    const QString& message_text() const { return message_; }

  protected:
    // Escape and the close button count as OK.
    void reject() override { done(ok_result); }

  private:
    void on_copy();
    void on_send_bug();

    QString message_;
};

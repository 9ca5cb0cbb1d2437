// Page 7: the outcome of the run, either the success text or every error collected during it
// (at most 20), and "&Save Settings", which stores the whole setup in a profile file. Only
// Finish is offered; Cancel and Help are disabled.
#pragma once

#include "wizard/wizard_page.h"

class QLabel;
class dorvex_convertor;
class QPlainTextEdit;

class gui_finish_page : public wizard_page {
    Q_OBJECT

  public:
    gui_finish_page(dorvex_convertor& converter, const QString& success_text,
                    const QString& error_text, const QString& profile_extension);

    QLabel* closing_text() const { return closing_; }
    QPlainTextEdit* error_list() const { return errors_; }

    bool on_cancel() override { return true; }

  protected:
    void page_init() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void on_save_settings();
    void on_eb_focus();

    dorvex_convertor& converter_;
    QString success_text_;
    QString error_text_;
    QString extension_;
    bool first_focus_ = true;
    QLabel* title_ = nullptr;
    QLabel* closing_ = nullptr;
    QPlainTextEdit* errors_ = nullptr;
};

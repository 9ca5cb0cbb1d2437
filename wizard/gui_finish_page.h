// Page 7: the outcome of the run. The closing text says whether everything arrived; below it
// the errors collected during the run (at most 20, when there were any), the run's summary as
// the agent prints it (rows read, written and rejected per table, the time; whether the run
// ended early), and the path of the file that keeps the rejected records when there is one.
// All three are read-only and selectable, sized to the page and scrolled when long.
// "&Save Settings" stores the whole setup in a profile file. Only Finish is offered; Cancel
// and Help are disabled.
//
// Window thread only. The page reads the converter's report once the run has ended (the
// progress page has joined the run's thread before it shows this page).
#pragma once

#include <string>
#include <vector>

#include "wizard/wizard_page.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;
class dorvex_convertor;
struct run_report;

class gui_finish_page : public wizard_page {
    Q_OBJECT

  public:
    gui_finish_page(dorvex_convertor& converter, const QString& success_text,
                    const QString& error_text, const QString& profile_extension);

    QLabel* closing_text() const { return closing_; }
    QPlainTextEdit* error_list() const { return errors_; }
    QPlainTextEdit* summary() const { return summary_; }
    // The path of the rejects file (its row is hidden when the run rejected nothing).
    QLineEdit* rejects_file() const { return rejects_; }

    bool on_cancel() override { return true; }

  protected:
    void page_init() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void show_errors(const std::vector<std::string>& errors);
    // The summary and the rejects file of the last run; hidden when there was no run.
    void show_report();
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
    QPlainTextEdit* summary_ = nullptr;
    QWidget* rejects_row_ = nullptr;
    QLineEdit* rejects_ = nullptr;
};

// The wizard frame of tarvolin: a QWizard in its modern style (watermark on the first and last
// pages, a header on the others), the program's message boxes, its help and the progress timer.
//
// One instance per process (tk_singleton), created on the window thread before the pages and
// destroyed after them. error, message, question, set_timer and add_error may be called from a
// worker thread (the Oracle connection and the conversion run on one); everything else belongs
// to the window thread.
#pragma once

#include <QString>
#include <QTimer>
#include <QWizard>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "TK/tk_singleton.h"

class wizard_page;

class wizard_shell : public QWizard, public tk_singleton<wizard_shell> {
    Q_OBJECT

  public:
    // At most this many conversion errors are kept for the finish page.
    static constexpr size_t max_errors = 20;

    explicit wizard_shell(const QString& title, QWidget* parent = nullptr);
    ~wizard_shell() override;

    // Pages are shown in the order they are added; the shell takes ownership.
    void add_page(wizard_page* page);
    // Shows the wizard modally; the result is the program's exit code.
    int run();

    const QString& title() const { return title_; }
    // True once a page has been shown with the title applied (false when no shell exists).
    static bool is_initialized();
    // Applies the title and icon to the window, once.
    void apply_title();

    // Message boxes, owned by the wizard once it is initialised.
    void error(const QString& text);
    void message(const QString& text);
    // Yes/No box; default_no makes No the default button. True when Yes was chosen.
    bool question(const QString& text, bool default_no);
    // Caption of the boxes and the error dialogs: the title and the kind once initialised.
    static QString caption(const QString& kind);

    void enable_button(QWizard::WizardButton which, bool enable);
    // Presses whichever forward button the current page shows (Next or its commit form).
    void go_next();

    // The progress timer; ticks arrive as timer_tick on the window thread. Setting it while it
    // runs is an internal error.
    void set_timer(int period_ms);
    void kill_timer();
    bool timer_set() const { return timer_set_; }

    // The help file beside the program (its path with the extension ".html"), opened in the
    // desktop's browser, at the topic's anchor when a topic is given.
    void display_help();
    void display_help(int topic);
    const QString& help_file() const { return help_file_; }
    void set_help_file(const QString& path) { help_file_ = path; }
    static QString help_url_fragment(int topic);

    // Errors met during a conversion, in order, at most max_errors; thread-safe.
    bool add_error(const std::string& text);
    std::vector<std::string> errors() const;
    void clear_errors();

  signals:
    void timer_tick();

  protected:
    // Cancel, Escape and the window's close button all come here: the current page decides.
    void reject() override;

  private:
    void show_help(const QString& fragment);
    int message_box(int icon, const QString& kind, const QString& text, bool yes_no,
                    bool default_no);

    QString title_;
    QString help_file_;
    std::atomic<bool> initialized_ = false;
    std::atomic<bool> timer_set_ = false;
    QTimer timer_;
    mutable std::mutex errors_mutex_;
    std::vector<std::string> errors_;
};

// The wizard frame of tarvolin: a QWizard in its modern style (watermark on the first and last
// pages, a header on the others), the program's message boxes, its help and the progress timer.
//
// Next (or Finish) is the default button, so Enter presses it. Pages are activated whenever
// they become current, forward or back (QWizard itself initialises a page only when it is
// entered forward). Before it is first shown the shell takes the size of its largest page and
// keeps it, so the window does not grow from page to page, and draws the watermark as tall as
// the page area.
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

class QAbstractButton;
class wizard_page;

class wizard_shell : public QWizard, public tk_singleton<wizard_shell> {
    Q_OBJECT

  public:
    // At most this many conversion errors are kept for the finish page.
    static constexpr size_t max_errors = 20;
    // The height of the watermark pages' picture: the page area of the fixed size.
    int watermark_height() const { return watermark_height_; }

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
    // The width a window needs for its caption in full, with the window's icon and buttons.
    static int caption_room(const QString& caption);
    // A prepared text as paragraphs: its built-in line breaks become blanks, an empty line
    // stays the break between two paragraphs, and line ends at either end go.
    static QString as_paragraphs(const QString& text);

    // "Are you sure you want to exit the wizard?", No as the default; true on Yes.
    bool ask_to_exit();
    // True while that question is open.
    bool asking_to_exit() const { return asking_to_exit_; }

    void enable_button(QWizard::WizardButton which, bool enable);
    // Whichever forward button the current page shows: Next, its commit form, or Finish.
    QAbstractButton* forward_button() const;
    // Presses it.
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

  public:
    // The first show fits the wizard to its pages (see the header comment).
    void setVisible(bool visible) override;

  protected:
    // Cancel, Escape and the window's close button all come here: the current page decides.
    void reject() override;

  private:
    // The fixed size of the wizard and the watermark drawn to fit it.
    void fit_to_pages();
    // What the wizard needs around the largest page, measured on a wizard of the same style
    // with a stand-in for every page (the real pages are not shown for it: showing runs them).
    QSize largest_page_size(int* watermark_margin) const;
    void configure_like_this(QWizard& other) const;
    void show_help(const QString& fragment);
    int message_box(int icon, const QString& kind, const QString& text, bool yes_no,
                    bool default_no);

    QString title_;
    QString help_file_;
    std::atomic<bool> initialized_ = false;
    std::atomic<bool> timer_set_ = false;
    bool fitted_ = false;
    bool asking_to_exit_ = false;
    int watermark_height_ = 0;
    QTimer timer_;
    mutable std::mutex errors_mutex_;
    std::vector<std::string> errors_;
};

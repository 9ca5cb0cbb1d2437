// Page 6, "Step 5 of 5": the conversion runs on a worker thread while the shell's 200 ms timer
// moves the bar and names the table being processed; when the run has finished the wizard goes
// on to the finish page by itself, though never while the exit question is open. No wizard
// button but Cancel is offered.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "wizard/wizard_page.h"

class QLabel;
class QProgressBar;
class dorvex_convertor;

// What the page shows of a run, read from the driver on each tick.
struct progress_snapshot {
    int tables_done = 0;
    int tables_total = 0;
    int64_t records_done = 0;
    int64_t records_total = 0;
    QString current_table;
    bool finished = false;
};

// The bar position, 0 to 100: whole tables plus the share of the current table's records.
int progress_position(int tables_done, int tables_total, int64_t records_done,
                      int64_t records_total);

class progress_page : public wizard_page {
    Q_OBJECT

  public:
    static constexpr int timer_period_ms = 200;

    explicit progress_page(dorvex_convertor& converter);
    ~progress_page() override;

    QProgressBar* bar() const { return bar_; }
    QLabel* table_text() const { return table_; }
    // True while the conversion runs on the worker.
    bool running() const;

    // One timer tick: the bar, the finish page when the run has finished, the table text.
    void show_progress(const progress_snapshot& progress);

    // Cancel during a run asks first; Yes asks the run to stop and waits for it to end. A run
    // that ends while the question is open goes on to the finish page whatever the answer.
    bool on_cancel() override;

  protected:
    void page_init() override;

  private:
    class conversion_thread;

    progress_snapshot read_progress() const;
    bool run_has_ended() const;
    // Stops the timer and shows the finish page (once: nothing when another page is current).
    void go_to_finish_page();
    void on_tick();

    dorvex_convertor& converter_;
    std::unique_ptr<conversion_thread> worker_;
    bool cancelling_ = false;
    QProgressBar* bar_ = nullptr;
    QLabel* table_ = nullptr;
};

#include "wizard/progress_page.h"

#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>

#include "TK/tk_thread.h"
#include "TK/tk_trace_log.h"
#include "core/dorvex_convertor.h"
#include "wizard/qt_text.h"
#include "wizard/wizard_shell.h"

int progress_position(int tables_done, int tables_total, int64_t records_done,
                      int64_t records_total) {
    if (tables_total <= 0) {
        return 0;
    }
    // 64-bit, so that a table of more than 21 million records cannot overflow the product
    // (records_done * 100 stays far below 2^63 for any table a server holds).
    int64_t position = int64_t{tables_done} * 100 / tables_total;
    if (records_total != 0) {
        position += records_done * 100 / records_total / tables_total;
    }
    return static_cast<int>(std::clamp<int64_t>(position, 0, 100));
}

// Runs the converter's operator() (one conversion) on the worker; the converter is not owned.
class progress_page::conversion_thread : public tk_thread {
  public:
    explicit conversion_thread(dorvex_convertor& converter) : converter_(converter) {}
    ~conversion_thread() override { join(); }

  protected:
    tk_runnable* create_runnable() override {
        converter_.clear_stop();
        return &converter_;
    }

  private:
    dorvex_convertor& converter_;
};

progress_page::progress_page(dorvex_convertor& converter)
    : wizard_page(107, QStringLiteral("Step 5 of 5"),
                  QStringLiteral("Database conversion is in progress"), 0, 1015),
      converter_(converter),
      worker_(std::make_unique<conversion_thread>(converter)) {
    tk_trace(1, "progress_page::ctor");
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(2);
    layout->addWidget(new QLabel(
        QStringLiteral("Database conversion is in progress. Please wait until wizard completes"),
        this));
    layout->addWidget(
        new QLabel(QStringLiteral("moving your MySQL database to Oracle server."), this));
    layout->addSpacing(24);
    table_ = new QLabel(this);
    table_->setObjectName(QStringLiteral("current_table"));
    // A long table name is cut rather than widening the wizard.
    table_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(table_);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("bar"));
    bar_->setRange(0, 100);
    bar_->setTextVisible(false);
    layout->addWidget(bar_);
    layout->addStretch();
}

progress_page::~progress_page() = default;

bool progress_page::running() const {
    return worker_->is_running();
}

void progress_page::page_init() {
    tk_trace(2, "progress_page::page_init");
    bar_->setValue(0);
    table_->clear();
    cancelling_ = false;
    connect(&shell(), &wizard_shell::timer_tick, this, &progress_page::on_tick,
            Qt::UniqueConnection);
    // The run starts the shell's timer as it begins (the conversion scope's start hook).
    worker_->start();
}

progress_snapshot progress_page::read_progress() const {
    return {converter_.tables_done.load(),         converter_.tables_total.load(),
            converter_.records_done.load(),        converter_.records_total.load(),
            from_wide(converter_.current_table()), converter_.is_finished()};
}

void progress_page::on_tick() {
    if (shell().currentPage() != this) {
        return;
    }
    progress_snapshot progress = read_progress();
    // A run whose thread has ended is over, even if it could not say so.
    progress.finished = progress.finished || !worker_->is_running();
    show_progress(progress);
}

bool progress_page::on_cancel() {
    // The run may end while the question is open: the ticks meanwhile do not leave the page
    // (show_progress), and once it has ended the answer has nothing left to stop, so the
    // finish page shows its outcome instead.
    const bool yes = wizard_page::on_cancel();
    if (run_has_ended()) {
        go_to_finish_page();
        return false;
    }
    if (!yes) {
        return false;
    }
    // A thread cannot be stopped from outside without leaving its connections in an
    // unknown state: the run is asked to stop and the window thread waits for it, serving
    // the dialogs the run may still open meanwhile.
    cancelling_ = true;
    converter_.request_stop();
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (!worker_->is_running()) {
            wait.quit();
        }
    });
    poll.start(50);
    wait.exec();
    worker_->join();
    if (shell().timer_set()) {
        shell().kill_timer();
    }
    return true;
}

bool progress_page::run_has_ended() const {
    return converter_.is_finished() || !worker_->is_running();
}

void progress_page::go_to_finish_page() {
    if (shell().currentPage() != this) {
        return;
    }
    if (shell().timer_set()) {
        shell().kill_timer();
    }
    worker_->join();
    shell().next();
}

void progress_page::show_progress(const progress_snapshot& progress) {
    bar_->setValue(progress_position(progress.tables_done, progress.tables_total,
                                     progress.records_done, progress.records_total));
    if (progress.finished && !cancelling_ && !shell().asking_to_exit()) {
        go_to_finish_page();
    }
    if (progress.current_table.isEmpty()) {
        table_->clear();
    } else {
        table_->setText(QStringLiteral("Processing table '%1'").arg(progress.current_table));
    }
}

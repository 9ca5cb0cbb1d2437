#include "wizard/progress_page.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>

#include "TK/tk_trace_log.h"
#include "wizard/wizard_shell.h"

int progress_position(int tables_done, int tables_total, int records_done, int records_total) {
    if (tables_total <= 0) {
        return 0;
    }
    // 64-bit, so that a table of more than 21 million records cannot overflow the product.
    int64_t position = int64_t{tables_done} * 100 / tables_total;
    if (records_total != 0) {
        position += int64_t{records_done} * 100 / records_total / tables_total;
    }
    return static_cast<int>(std::clamp<int64_t>(position, 0, 100));
}

progress_page::progress_page()
    : wizard_page(107, QStringLiteral("Step 5 of 5"),
                  QStringLiteral("Database conversion is in progress"), 0, 1015) {
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
    layout->addWidget(table_);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("bar"));
    bar_->setRange(0, 100);
    bar_->setTextVisible(false);
    layout->addWidget(bar_);
    layout->addStretch();
}

void progress_page::page_init() {
    tk_trace(2, "progress_page::page_init");
    bar_->setValue(0);
    table_->clear();
}

void progress_page::show_progress(const progress_snapshot& progress) {
    bar_->setValue(progress_position(progress.tables_done, progress.tables_total,
                                     progress.records_done, progress.records_total));
    if (progress.finished) {
        shell().kill_timer();
        shell().next();
    }
    if (progress.current_table.isEmpty()) {
        table_->clear();
    } else {
        table_->setText(QStringLiteral("Processing table '%1'").arg(progress.current_table));
    }
}

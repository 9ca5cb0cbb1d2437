#include "wizard/sel_tables_page.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "TK/tk_trace_log.h"
#include "core/dorvex_convertor.h"
#include "wizard/qt_text.h"
#include "wizard/sorted_list.h"
#include "wizard/wizard_guard.h"
#include "wizard/wizard_shell.h"

namespace {

QPushButton* button(QWidget* parent, const char* text, const char* name) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

}  // namespace

sel_tables_page::sel_tables_page(dorvex_convertor& converter)
    : wizard_page(127, QStringLiteral("Step 4 of 5"), QStringLiteral("Select tables to convert"),
                  back_button | next_button, 1016),
      converter_(converter) {
    text_ = new QLabel(this);
    available_label_ = new QLabel(this);
    selected_label_ = new QLabel(this);
    available_ = new sorted_list(this);
    available_->setObjectName(QStringLiteral("available"));
    available_label_->setBuddy(available_);
    selected_ = new sorted_list(this);
    selected_->setObjectName(QStringLiteral("selected"));
    selected_label_->setBuddy(selected_);

    QPushButton* add = button(this, "A&dd >", "add");
    QPushButton* add_all = button(this, "Add a&ll >", "add_all");
    QPushButton* remove = button(this, "< &Remove", "remove");
    QPushButton* remove_all = button(this, "< Re&move all", "remove_all");
    // Alt+A belongs to "&Available tables:"; Query gives the button its own letter.
    add_query_ = button(this, "Add &Query", "add_query");
    add_query_->hide();

    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {add, add_all, remove, remove_all}) {
        buttons->addWidget(b);
    }
    buttons->addSpacing(16);
    buttons->addWidget(add_query_);
    buttons->addStretch();

    auto* grid = new QGridLayout;
    grid->addWidget(available_label_, 0, 0);
    grid->addWidget(selected_label_, 0, 2);
    grid->addWidget(available_, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->addWidget(selected_, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(grid);

    connect(add, &QPushButton::clicked, this, guarded([this] { on_add(); }));
    connect(add_all, &QPushButton::clicked, this, guarded([this] { on_add_all(); }));
    connect(remove, &QPushButton::clicked, this, guarded([this] { on_delete(); }));
    connect(remove_all, &QPushButton::clicked, this, guarded([this] { on_del_all(); }));
    connect(add_query_, &QPushButton::clicked, this, guarded([this] { on_add_query(); }));
    connect(selected_, &QListWidget::itemDoubleClicked, this, guarded([this] { on_edit_query(); }));
}

bool sel_tables_page::is_query(const QString& name) const {
    return selected_queries_.contains(name) || available_queries_.contains(name);
}

namespace {

sel_tables_page::query_map to_page(const udb_converter::query_map& queries) {
    sel_tables_page::query_map result;
    for (const auto& [name, query] : queries) {
        result.insert(from_wide(name), from_wide(query));
    }
    return result;
}

udb_converter::query_map to_converter(const sel_tables_page::query_map& queries) {
    udb_converter::query_map result;
    for (auto it = queries.begin(); it != queries.end(); ++it) {
        result.emplace(to_wide(it.key()), to_wide(it.value()));
    }
    return result;
}

}  // namespace

void sel_tables_page::page_init() {
    tk_trace(1, "sel_tables_page::page_init");
    text_->setText(QStringLiteral("Select MySQL tables to convert into Oracle format."));
    available_label_->setText(QStringLiteral("&Available tables:"));
    selected_label_->setText(QStringLiteral("&Selected tables:"));
    add_query_->show();
    QStringList all_tables;
    try {
        for (const std::wstring& name : converter_.get_all_tables()) {
            all_tables << from_wide(name);
        }
    } catch (const tk_exception& e) {
        shell().error(from_ansi(e.message()));
    }
    QStringList remembered;
    for (const std::wstring& name : converter_.selected_tables) {
        remembered << from_wide(name);
    }
    fill(all_tables, remembered, to_page(converter_.selected_queries),
         to_page(converter_.unselected_queries));
}

set_query_dlg::statement_tester sel_tables_page::statement_tester() const {
    return [&converter = converter_](const QString& statement) {
        return converter.test_source_statement(to_wide(statement));
    };
}

void sel_tables_page::fill(const QStringList& all_tables, const QStringList& remembered_tables,
                           const query_map& selected_queries, const query_map& unselected_queries) {
    all_tables_ = all_tables;
    available_->clear();
    selected_->clear();
    selected_queries_.clear();
    available_queries_.clear();
    for (const QString& table : all_tables_) {
        // A table chosen before (in this run or by a loaded profile) stays chosen while the
        // database still has it.
        if (remembered_tables.contains(table)) {
            selected_->add_sorted(table);
        } else {
            available_->add_sorted(table);
        }
    }
    for (auto it = selected_queries.begin(); it != selected_queries.end(); ++it) {
        if (it.value().isEmpty() || selected_->find_exact(it.key()) >= 0) {
            continue;
        }
        const int row = available_->find_exact(it.key());
        if (row >= 0) {
            delete available_->takeItem(row);
        }
        selected_->add_sorted(it.key());
        selected_queries_.insert(it.key(), it.value());
    }
    for (auto it = unselected_queries.begin(); it != unselected_queries.end(); ++it) {
        if (it.value().isEmpty()) {
            continue;
        }
        available_queries_.insert(it.key(), it.value());
        if (available_->find_exact(it.key()) < 0) {
            available_->add_sorted(it.key());
        }
    }
    // Selected after the queries are in, so that the first entry shown is the one selected.
    select_first(available_);
}

void sel_tables_page::select_first(sorted_list* list) {
    if (list->count() > 0) {
        list->setCurrentRow(0);
    }
}

bool sel_tables_page::move_current(sorted_list* from, sorted_list* to, query_map& from_queries,
                                   query_map& to_queries) {
    const int row = from->currentRow();
    if (row < 0 || !from->item(row)->isSelected()) {
        return false;
    }
    QListWidgetItem* item = from->takeItem(row);
    const QString name = item->text();
    delete item;
    to->add_sorted(name);
    if (from_queries.contains(name)) {
        to_queries.insert(name, from_queries.take(name));
    }
    if (from->count() > 0) {
        from->setCurrentRow(std::min(row, from->count() - 1));
    } else {
        to->setFocus();
        to->setCurrentRow(0);
    }
    return true;
}

void sel_tables_page::move_all(sorted_list* from, sorted_list* to, query_map& from_queries,
                               query_map& to_queries) {
    while (from->count() > 0) {
        from->setCurrentRow(0);
        move_current(from, to, from_queries, to_queries);
    }
    to->setFocus();
    select_first(to);
}

void sel_tables_page::on_add() {
    tk_trace(2, "sel_tables_page::on_add");
    move_current(available_, selected_, available_queries_, selected_queries_);
}

void sel_tables_page::on_add_all() {
    tk_trace(2, "sel_tables_page::on_add_all");
    move_all(available_, selected_, available_queries_, selected_queries_);
}

void sel_tables_page::on_delete() {
    tk_trace(2, "sel_tables_page::on_delete");
    move_current(selected_, available_, selected_queries_, available_queries_);
}

void sel_tables_page::on_del_all() {
    tk_trace(2, "sel_tables_page::on_del_all");
    move_all(selected_, available_, selected_queries_, available_queries_);
}

bool sel_tables_page::ask_query(QString& name, QString& query, const QString& own_name) {
    for (;;) {
        set_query_dlg dialog(name, query, statement_tester(), &shell());
        if (dialog.exec() != QDialog::Accepted) {
            return false;
        }
        name = dialog.name();
        query = dialog.query();
        const bool renamed = own_name.isNull() || name.compare(own_name, Qt::CaseInsensitive) != 0;
        if (!renamed || (available_->find_exact(name) < 0 && selected_->find_exact(name) < 0)) {
            return true;
        }
        shell().message(QStringLiteral("Duplicate table name. Try again."));
    }
}

void sel_tables_page::on_add_query() {
    tk_trace(2, "sel_tables_page::on_add_query");
    QString name;
    QString query;
    if (!ask_query(name, query, QString())) {
        return;
    }
    selected_->add_sorted(name);
    selected_queries_.insert(name, query);
}

void sel_tables_page::on_edit_query() {
    tk_trace(2, "sel_tables_page::on_edit_query");
    const int row = selected_->currentRow();
    if (row < 0) {
        return;
    }
    const QString old_name = selected_->item(row)->text();
    if (!selected_queries_.contains(old_name)) {
        return;
    }
    // A query renamed to the name of another entry would take that entry's place in the
    // driver's selection (one name, one entry), so the same check as for a new query applies.
    QString name = old_name;
    QString query = selected_queries_.value(old_name);
    if (!ask_query(name, query, old_name)) {
        return;
    }
    selected_queries_.remove(old_name);
    selected_queries_.insert(name, query);
    delete selected_->takeItem(row);
    selected_->setCurrentRow(selected_->add_sorted(name));
}

bool sel_tables_page::on_next() {
    if (available_->count() > 0 && selected_->count() == 0 &&
        !shell().question(QStringLiteral("There are no tables selected. Continue anyway?"), true)) {
        return false;
    }
    store_selection();
    return true;
}

QWidget* sel_tables_page::first_field() const {
    return available_;
}

void sel_tables_page::store_selection() {
    selected_tables_.clear();
    converter_.selected_tables.clear();
    for (const QString& name : selected_->texts()) {
        if (!is_query(name)) {
            selected_tables_ << name;
            converter_.selected_tables.push_back(to_wide(name));
        }
    }
    converter_.selected_queries = to_converter(selected_queries_);
    converter_.unselected_queries = to_converter(available_queries_);
}

// Page 5, "Step 4 of 5": the tables to convert and the custom queries. Two sorted lists,
// available and selected, with Add, Add all, Remove, Remove all; "&Add Query" defines a custom
// query (a name and a SELECT statement), a double click on a selected query edits it. The
// choice goes to the converter whenever the page is left, by Back as by Next, and page_init
// brings it back from there.
#pragma once

#include <QMap>
#include <QStringList>

#include "wizard/set_query_dlg.h"
#include "wizard/wizard_page.h"

class QLabel;
class QPushButton;
class dorvex_convertor;
class sorted_list;

class sel_tables_page : public wizard_page {
    Q_OBJECT

  public:
    // Name to query text.
    using query_map = QMap<QString, QString>;

    explicit sel_tables_page(dorvex_convertor& converter);

    sorted_list* available() const { return available_; }
    sorted_list* selected() const { return selected_; }
    const query_map& selected_queries() const { return selected_queries_; }
    const query_map& available_queries() const { return available_queries_; }
    // The selected tables in list order, custom queries left out; built by Next.
    const QStringList& selected_tables() const { return selected_tables_; }

    bool is_query(const QString& name) const;

    void on_add();
    void on_add_all();
    void on_delete();
    void on_del_all();
    void on_add_query();
    void on_edit_query();

    // Fills the lists: all_tables available, the remembered tables (those still in
    // all_tables) and queries selected, the queries kept aside available.
    void fill(const QStringList& all_tables, const QStringList& remembered_tables,
              const query_map& selected_queries, const query_map& unselected_queries);

  protected:
    void page_init() override;
    bool on_next() override;
    void on_back() override { store_selection(); }
    QWidget* first_field() const override;

  private:
    // The selected tables (in list order), the selected and the unselected queries into the
    // converter.
    void store_selection();
    // Moves the current entry of from into to, with its query; false when none is selected.
    bool move_current(sorted_list* from, sorted_list* to, query_map& from_queries,
                      query_map& to_queries);
    void move_all(sorted_list* from, sorted_list* to, query_map& from_queries,
                  query_map& to_queries);
    static void select_first(sorted_list* list);
    // Runs the query dialog until it is cancelled or gives a name that no other entry of
    // either list has (own_name, when not null, is the entry being edited).
    bool ask_query(QString& name, QString& query, const QString& own_name);

    set_query_dlg::statement_tester statement_tester() const;

    dorvex_convertor& converter_;
    QLabel* text_ = nullptr;
    QLabel* available_label_ = nullptr;
    QLabel* selected_label_ = nullptr;
    sorted_list* available_ = nullptr;
    sorted_list* selected_ = nullptr;
    QPushButton* add_query_ = nullptr;
    QStringList all_tables_;
    query_map selected_queries_;
    query_map available_queries_;
    QStringList selected_tables_;
};

// A list box that keeps its entries sorted as a person reads them: letter case aside first,
// then in the user's locale, and exactly only to break ties.
#pragma once

#include <QListWidget>

class sorted_list : public QListWidget {
    Q_OBJECT

  public:
    explicit sorted_list(QWidget* parent = nullptr);

    // Adds an entry at its sorted place and returns its row.
    int add_sorted(const QString& text);
    // The row of the first entry, in list order, that begins with prefix ignoring case; -1 when
    // none does.
    int find_prefix(const QString& prefix) const;
    // The row of the entry equal to text ignoring case; -1 when none is.
    int find_exact(const QString& text) const;
    QStringList texts() const;

    static bool less(const QString& a, const QString& b);
};

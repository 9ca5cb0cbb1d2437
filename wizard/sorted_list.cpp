#include "wizard/sorted_list.h"

sorted_list::sorted_list(QWidget* parent) : QListWidget(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

bool sorted_list::less(const QString& a, const QString& b) {
    const int folded = QString::localeAwareCompare(a.toCaseFolded(), b.toCaseFolded());
    if (folded != 0) {
        return folded < 0;
    }
    return a < b;
}

int sorted_list::add_sorted(const QString& text) {
    int row = 0;
    while (row < count() && !less(text, item(row)->text())) {
        ++row;
    }
    insertItem(row, text);
    return row;
}

int sorted_list::find_prefix(const QString& prefix) const {
    for (int row = 0; row < count(); ++row) {
        if (item(row)->text().startsWith(prefix, Qt::CaseInsensitive)) {
            return row;
        }
    }
    return -1;
}

int sorted_list::find_exact(const QString& text) const {
    for (int row = 0; row < count(); ++row) {
        if (item(row)->text().compare(text, Qt::CaseInsensitive) == 0) {
            return row;
        }
    }
    return -1;
}

QStringList sorted_list::texts() const {
    QStringList result;
    for (int row = 0; row < count(); ++row) {
        result << item(row)->text();
    }
    return result;
}

#include "wizard/g_f_dlg.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QRegularExpression>
#include <QScreen>
#include <QTreeView>

#include "TK/tk_exception.h"
#include "TK/tk_trace_log.h"

g_f_dlg::g_f_dlg(QWidget* parent, const QString& title, const QString& filter,
                 const QString& extension)
    : parent_(parent), title_(title), name_filters_(convert_filter(filter)) {
    TK_ASSERT(!extension.isEmpty());
    extension_ = extension.startsWith(QLatin1Char('.')) ? extension : QLatin1Char('.') + extension;
}

QStringList g_f_dlg::convert_filter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('X'));
    QStringList result;
    static const QRegularExpression trailing_patterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;
        }
        QString name = parts[i];
        name.remove(trailing_patterns);
        QString pattern = parts[i + 1];
        if (pattern == QStringLiteral("*.*")) {
            pattern = QStringLiteral("*");
        }
        result << name + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return result;
}

namespace {

// Qt's dialog opens at a size that cuts its detail columns ("Date Modified" most of all). The
// size, type and date columns take the width of what they show, the name column the rest, and
// the dialog opens wide enough for all four and the places beside them (within the screen).
void fit_columns(QFileDialog& dialog) {
    dialog.setViewMode(QFileDialog::Detail);
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column) {
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        }
    }
    const QFontMetrics metrics(dialog.font());
    QSize wanted(metrics.averageCharWidth() * 130, metrics.height() * 26);
    if (const QScreen* screen = dialog.screen()) {
        wanted = wanted.boundedTo(screen->availableSize() * 9 / 10);
    }
    dialog.resize(wanted.expandedTo(dialog.sizeHint()));
}

}  // namespace

QString g_f_dlg::run(bool save) {
    QFileDialog dialog(parent_, title_);
    dialog.setObjectName(QStringLiteral("file_dialog"));
    // Qt's own dialog: the same on every desktop, and one that the tests can drive.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(name_filters_);
    dialog.setDefaultSuffix(extension_.mid(1));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    fit_columns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().front();
}

QString g_f_dlg::open_file() {
    tk_trace(1, "g_f_dlg::open_file");
    return run(false);
}

QString g_f_dlg::save_file() {
    tk_trace(1, "g_f_dlg::save_file");
    return run(true);
}

QString profile_filter(const QString& extension) {
    TK_ASSERT(extension.size() == 3);
    return QStringLiteral("Profile Files (.%1)X*.%1XAll Files (*.*)X*.*X").arg(extension);
}

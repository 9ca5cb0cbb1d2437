#include "wizard/settings_page_form.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QVBoxLayout>

#include "wizard/sorted_list.h"

namespace {

QCheckBox* check_box(QWidget* parent, const char* text, const char* name) {
    auto* box = new QCheckBox(QString::fromLatin1(text), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

}  // namespace

void settings_page_form::build(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(
        QStringLiteral(
            "On this page you can specify source database name and conversion settings."),
        page));

    databases = new sorted_list(page);
    databases->setObjectName(QStringLiteral("databases"));
    auto* label = new QLabel(QStringLiteral("&MySQL database name:"), page);
    label->setBuddy(databases);

    auto* existing = new QGroupBox(QStringLiteral(" How to process existing tables: "), page);
    auto* existing_layout = new QVBoxLayout(existing);
    const char* const mode_texts[] = {"&Overwrite", "M&erge", "&Skip"};
    const char* const mode_names[] = {"overwrite", "merge", "skip"};
    for (size_t m = 0; m < modes.size(); ++m) {
        modes[m] = new QRadioButton(QString::fromLatin1(mode_texts[m]), existing);
        modes[m]->setObjectName(QString::fromLatin1(mode_names[m]));
        existing_layout->addWidget(modes[m]);
    }

    tab_def = check_box(page, "&Convert table definitions only", "tab_def");
    skip_idx = check_box(page, "S&kip converting indexes", "skip_idx");
    uppercase = check_box(page, "Make names &uppercase", "uppercase");
    blob2text = check_box(page, "Convert BLOB to &text", "blob2text");
    time_interval = check_box(page, "TIME columns as &intervals", "time_interval");

    auto* grid = new QGridLayout;
    grid->addWidget(label, 0, 0);
    grid->addWidget(databases, 1, 0, 2, 1);
    grid->addWidget(existing, 1, 1);
    auto* switches = new QVBoxLayout;
    for (QCheckBox* box : {tab_def, skip_idx, uppercase, blob2text, time_interval}) {
        switches->addWidget(box);
    }
    grid->addLayout(switches, 2, 1);
    grid->setColumnStretch(0, 1);
    layout->addLayout(grid);
}

#include "wizard/sel_file_page.h"

#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>

#include "TK/tk_trace_log.h"
#include "core/dorvex_convertor.h"
#include "wizard/qt_text.h"
#include "wizard/sorted_list.h"
#include "wizard/wizard_shell.h"

sel_file_page::sel_file_page(dorvex_convertor& converter)
    : wizard_page(106, QStringLiteral("Step 3 of 5"), QStringLiteral("Conversion Settings"),
                  back_button | next_button, 1013),
      converter_(converter) {
    form_.build(this);
}

void sel_file_page::page_init() {
    tk_trace(1, "sel_file_page::page_init");
    form_.skip_idx->setChecked(converter_.skip_idx);
    form_.tab_def->setChecked(converter_.tab_def);
    form_.uppercase->setChecked(converter_.uppercase);
    form_.blob2text->setChecked(converter_.blob2text);
    form_.time_interval->setChecked(converter_.time_interval);

    auto* list = static_cast<sorted_list*>(form_.databases);
    list->clear();
    try {
        for (const std::wstring& name : converter_.mysql_engine.get_contents()) {
            list->add_sorted(from_wide(name));
        }
    } catch (const tk_exception& e) {
        shell().error(from_ansi(e.message()));
    }

    TK_ASSERT(converter_.mode >= 0 && converter_.mode <= 2);
    form_.modes[converter_.mode]->setChecked(true);

    if (!converter_.source_database.empty() && list->count() > 0) {
        const int row = list->find_prefix(from_wide(converter_.source_database));
        list->setCurrentRow(row >= 0 ? row : 0);
    }
}

void sel_file_page::store_file_info() {
    tk_trace(1, "sel_file_page::store_file_info");
    converter_.skip_idx = form_.skip_idx->isChecked();
    converter_.tab_def = form_.tab_def->isChecked();
    converter_.uppercase = form_.uppercase->isChecked();
    converter_.blob2text = form_.blob2text->isChecked();
    converter_.time_interval = form_.time_interval->isChecked();

    const QList<QListWidgetItem*> chosen = form_.databases->selectedItems();
    if (chosen.isEmpty()) {
        tk_trace(2, "Failed to exract select item from list");
        converter_.source_database.clear();
    } else {
        converter_.source_database = to_wide(chosen.front()->text());
    }
    for (size_t m = 0; m < form_.modes.size(); ++m) {
        if (form_.modes[m]->isChecked()) {
            converter_.mode = static_cast<int32_t>(m);
        }
    }
}

bool sel_file_page::on_next() {
    store_file_info();
    if (converter_.source_database.empty()) {
        shell().message(QStringLiteral("You should select MySQL database."));
        return false;
    }
    return true;
}

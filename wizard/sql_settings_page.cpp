#include "wizard/sql_settings_page.h"

#include <QLineEdit>
#include <QRadioButton>

#include "TK/tk_trace_log.h"

sql_settings_page2::sql_settings_page2()
    : wizard_page(123, QStringLiteral("Step 1 of 5"), QStringLiteral("Connect to MySQL server"),
                  back_button | next_button, 1011) {
    form_.build(this);
    connect(form_.local, &QRadioButton::clicked, this, [this] { show_local(true); });
    connect(form_.remote, &QRadioButton::clicked, this, [this] { show_local(false); });
}

void sql_settings_page2::page_init() {
    tk_trace(1, "sql_settings_page2<t_converter>::page_init");
    show_local(form_.host->text().isEmpty());
}

void sql_settings_page2::show_local(bool local) {
    form_.local->setChecked(local);
    form_.remote->setChecked(!local);
    form_.host->setEnabled(!local);
    form_.port->setEnabled(!local);
}

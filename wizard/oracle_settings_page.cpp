#include "wizard/oracle_settings_page.h"

#include <QLineEdit>
#include <QRadioButton>

#include "TK/tk_trace_log.h"

ora_settings_page::ora_settings_page()
    : wizard_page(130, QStringLiteral("Step 2 of 5"), QStringLiteral("Connect to Oracle server"),
                  back_button | next_button, 1012) {
    form_.build(this);
    connect(form_.by_address, &QRadioButton::clicked, this, [this] { form_.show_mode(false); });
    connect(form_.by_service, &QRadioButton::clicked, this, [this] { form_.show_mode(true); });
}

void ora_settings_page::page_init() {
    tk_trace(1, "ora_settings_page::page_init");
    form_.show_mode(true);
}

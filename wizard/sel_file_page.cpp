#include "wizard/sel_file_page.h"

#include "TK/tk_trace_log.h"

sel_file_page::sel_file_page()
    : wizard_page(106, QStringLiteral("Step 3 of 5"), QStringLiteral("Conversion Settings"),
                  back_button | next_button, 1013) {
    form_.build(this);
}

void sel_file_page::page_init() {
    tk_trace(1, "sel_file_page::page_init");
}

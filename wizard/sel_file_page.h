// Page 4, "Step 3 of 5": the MySQL database to convert, the handling of existing tables and the
// four switches.
#pragma once

#include "wizard/settings_page_form.h"
#include "wizard/wizard_page.h"

class sel_file_page : public wizard_page {
    Q_OBJECT

  public:
    sel_file_page();

    const settings_page_form& form() const { return form_; }

  protected:
    void page_init() override;

  private:
    settings_page_form form_;
};

// Page 3, "Step 2 of 5": the Oracle connection, by IP address and port or by service name.
#pragma once

#include "wizard/oracle_page_form.h"
#include "wizard/wizard_page.h"

class ora_settings_page : public wizard_page {
    Q_OBJECT

  public:
    ora_settings_page();

    const oracle_page_form& form() const { return form_; }

  protected:
    void page_init() override;

    oracle_page_form form_;
};

class oracle_settings_page : public ora_settings_page {
    Q_OBJECT

  public:
    oracle_settings_page() = default;
};

// Page 2, "Step 1 of 5": the MySQL connection. Local or Remote, user and password, host and port.
#pragma once

#include "wizard/mysql_page_form.h"
#include "wizard/wizard_page.h"

class sql_settings_page2 : public wizard_page {
    Q_OBJECT

  public:
    sql_settings_page2();

    const mysql_page_form& form() const { return form_; }

  protected:
    void page_init() override;

  private:
    void show_local(bool local);

    mysql_page_form form_;
};

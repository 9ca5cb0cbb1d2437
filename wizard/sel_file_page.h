// Page 4, "Step 3 of 5": the MySQL database to convert (listed afresh from the server on every
// activation, the remembered one selected by its prefix), the handling of existing tables and
// the switches. Back and Next store the choices in the converter; Next needs a database.
#pragma once

#include <QListWidget>

#include "wizard/settings_page_form.h"
#include "wizard/wizard_page.h"

class dorvex_convertor;

class sel_file_page : public wizard_page {
    Q_OBJECT

  public:
    explicit sel_file_page(dorvex_convertor& converter);

    const settings_page_form& form() const { return form_; }

  protected:
    void page_init() override;
    bool on_next() override;
    void on_back() override { store_file_info(); }
    QWidget* first_field() const override { return form_.databases; }

  private:
    void store_file_info();

    dorvex_convertor& converter_;
    settings_page_form form_;
};

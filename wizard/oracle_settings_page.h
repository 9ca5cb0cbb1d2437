// Page 3, "Step 2 of 5": the Oracle connection, by IP address and port or by service name.
//
// ora_settings_page moves the values between the controls and the converter; the page the
// wizard shows, oracle_settings_page, adds the connection: on Next it logs on from a worker
// thread while the modal connecting dialog animates, and moves on only when the log-on
// succeeded.
#pragma once

#include <atomic>

#include "TK/tk_thread.h"
#include "wizard/oracle_page_form.h"
#include "wizard/wizard_page.h"

class dorvex_convertor;
class oracle_converter_impl;

class ora_settings_page : public wizard_page {
    Q_OBJECT

  public:
    explicit ora_settings_page(dorvex_convertor& converter);

    const oracle_page_form& form() const { return form_; }

  protected:
    void page_init() override;
    void on_back() override { store(); }
    // Stores the controls into the converter.
    void store();
    // The validation messages of an empty address or service name; false when one was shown.
    bool validate();

    dorvex_convertor& converter_;
    // The Oracle side of the converter's settings.
    oracle_converter_impl& settings_;
    oracle_page_form form_;
};

class oracle_settings_page : public ora_settings_page {
    Q_OBJECT

  public:
    explicit oracle_settings_page(dorvex_convertor& converter);
    ~oracle_settings_page() override;

  protected:
    bool on_next() override;

  private:
    class animation;
    class connect_thread;

    // Logs on from a worker while the connecting dialog runs; true on success.
    bool connect_with_animation();

    std::unique_ptr<connect_thread> worker_;
};

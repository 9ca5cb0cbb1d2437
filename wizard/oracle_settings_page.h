// Page 3, "Step 2 of 5": the Oracle connection, by IP address and port or by service name.
//
// ora_settings_page moves the values between the controls and the converter; the page the
// wizard shows, oracle_settings_page, adds the connection: on Next it logs on from a worker
// thread while the modal connecting dialog animates, and moves on only when the log-on
// succeeded. Cancel in the dialog gives the attempt up (connection_attempt.h).
//
// The log-on itself (ora_logon::open) uses handles of its own, so an abandoned one may block
// for as long as it likes. Its end, the hand-over, runs on the worker too, since making the
// converter's Oracle database costs round trips: it hands the log-on to the engine and lets
// the converter connect with it (connect_oracle_server finds it in the engine). The hand-over
// touches the engine and the converter, so it holds the Oracle engine's lease and happens only
// while the user still waits; an attempt given up during its hand-over logs off again before
// it lets the lease go. The page takes the lease in its destructor, so the converter never
// goes away under a hand-over, and any attempt still blocked after that finds itself given up
// and only releases its own handles.
#pragma once

#include <mutex>

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
    QWidget* first_field() const override;
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
    // Waits for a hand-over that is under way (see the header comment).
    ~oracle_settings_page() override;

    // Held while a worker hands a log-on to the Oracle engine. Never destroyed, since a
    // detached worker may still reach for it while the program ends.
    static std::mutex& engine_lease();

  protected:
    bool on_next() override;

  private:
    // Logs on from a worker while the connecting dialog runs; true on success. Failures are
    // shown here, on the window thread.
    bool connect_with_animation();
    bool log_on_in_background();
};

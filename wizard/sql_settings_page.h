// Page 2, "Step 1 of 5": the MySQL connection. Local or Remote, user and password, host and port;
// Next stores the values in the converter and connects, staying on the page with the reason when
// the connection fails. Remote with an empty port shows and uses the default port, 3306.
//
// The connection is made on a worker behind the connecting dialog, which the user may cancel
// (connection_attempt.h): the worker opens a connection of its own (sql_engine::open) and the
// window thread hands it to the engine only when the user still waits for it.
//
// t_converter is the conversion driver: it offers the MySQL settings (host, user, password,
// port, store_mysql_settings, port_number) and the engine, mysql_engine.
#pragma once

#include <QLineEdit>
#include <QRadioButton>
#include <exception>

#include "SQL/sql_engine.h"
#include "TK/tk_exception.h"
#include "TK/tk_trace_log.h"
#include "core/mysql_converter_impl.h"
#include "wizard/mysql_page_form.h"
#include "wizard/qt_text.h"
#include "wizard/wizard_page.h"

// Shows why the MySQL connection failed: the prepared text for the code when there is one, else
// the exception's own message; opens the help on unsupported authentication for 1249 and
// 1250. auth_not_supported: the exception was the unsupported-authentication one.
void report_mysql_connect_failure(const tk_exception& e, bool auth_not_supported);
// Shows a failure that is not a toolkit exception.
void report_unexpected_failure(const std::exception& e);
// Connects with the stored settings on a worker while the connecting dialog runs, then hands
// the connection to engine. False when the user cancelled; raises what the connection raised
// ("Invalid port number" before the server is asked).
bool connect_mysql_in_background(QWidget* parent, const mysql_converter_impl& settings,
                                 sql_engine& engine);

template <class t_converter>
class sql_settings_page2 : public wizard_page {
  public:
    explicit sql_settings_page2(t_converter& converter)
        : wizard_page(123, QStringLiteral("Step 1 of 5"), QStringLiteral("Connect to MySQL server"),
                      back_button | next_button, 1011),
          converter_(converter),
          settings_(converter) {
        form_.build(this);
        connect(form_.local, &QRadioButton::clicked, this, [this] { show_local(true); });
        connect(form_.remote, &QRadioButton::clicked, this, [this] { show_local(false); });
    }

    const mysql_page_form& form() const { return form_; }

  protected:
    void page_init() override {
        tk_trace(1, "sql_settings_page2<t_converter>::page_init");
        form_.user->setText(from_ansi(settings_.user));
        form_.password->setText(from_ansi(settings_.password));
        const bool local = settings_.host.empty();
        show_local(local);
        if (!local) {
            form_.host->setText(from_ansi(settings_.host));
            form_.port->setText(from_ansi(settings_.port));
        }
    }

    bool on_next() override {
        store();
        try {
            return connect_mysql_in_background(&shell(), settings_, converter_.mysql_engine);
        } catch (const sql_auth_not_supported_exception& e) {
            report_mysql_connect_failure(e, true);
        } catch (const tk_exception& e) {
            report_mysql_connect_failure(e, false);
        } catch (const std::exception& e) {
            report_unexpected_failure(e);
        }
        return false;
    }

    void on_back() override { store(); }
    QWidget* first_field() const override { return form_.user; }

  private:
    void show_local(bool local) {
        form_.local->setChecked(local);
        form_.remote->setChecked(!local);
        form_.host->setEnabled(!local);
        form_.port->setEnabled(!local);
        if (!local) {
            form_.show_default_port();
        }
    }

    void store() {
        std::string host;
        std::string port = mysql_converter_impl::default_port;
        if (form_.remote->isChecked()) {
            form_.show_default_port();
            host = to_ansi(form_.host->text().left(mysql_page_form::max_field));
            port = to_ansi(form_.port->text().left(mysql_page_form::max_field));
        }
        settings_.store_mysql_settings(
            host, to_ansi(form_.user->text().left(mysql_page_form::max_field)),
            to_ansi(form_.password->text().left(mysql_page_form::max_field)), port);
    }

    t_converter& converter_;
    // The MySQL side of the converter's settings.
    mysql_converter_impl& settings_;
    mysql_page_form form_;
};

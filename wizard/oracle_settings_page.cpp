#include "wizard/oracle_settings_page.h"

#include <QLineEdit>
#include <QRadioButton>

#include "ORA/ora_engine.h"
#include "TK/tk_trace_log.h"
#include "core/dorvex_convertor.h"
#include "core/error_handler.h"
#include "core/tk_error_converter.h"
#include "wizard/connecting_dlg.h"
#include "wizard/connection_attempt.h"
#include "wizard/qt_text.h"
#include "wizard/wizard_shell.h"

ora_settings_page::ora_settings_page(dorvex_convertor& converter)
    : wizard_page(130, QStringLiteral("Step 2 of 5"), QStringLiteral("Connect to Oracle server"),
                  back_button | next_button, 1012),
      converter_(converter),
      settings_(converter) {
    form_.build(this);
    connect(form_.by_address, &QRadioButton::clicked, this, [this] { form_.show_mode(false); });
    connect(form_.by_service, &QRadioButton::clicked, this, [this] { form_.show_mode(true); });
}

void ora_settings_page::page_init() {
    tk_trace(1, "ora_settings_page::page_init");
    form_.address->setText(from_wide(settings_.host));
    form_.port->setText(from_wide(settings_.port));
    form_.service->setText(from_wide(settings_.service_name));
    form_.user->setText(from_wide(settings_.user));
    form_.password->setText(from_wide(settings_.password));
    form_.show_mode(settings_.use_tns);
}

void ora_settings_page::store() {
    const auto read = [](QLineEdit* edit) {
        return to_wide(edit->text().left(oracle_page_form::max_field));
    };
    settings_.use_tns = form_.by_service->isChecked();
    const std::wstring address = read(form_.address);
    const std::wstring port = read(form_.port);
    const std::wstring service = read(form_.service);
    const std::wstring user = read(form_.user);
    const std::wstring password = read(form_.password);
    if (settings_.use_tns) {
        settings_.store_oracle_settings(service, user, password);
    } else {
        settings_.store_oracle_settings(address, user, password, port);
    }
}

bool ora_settings_page::validate() {
    if (!settings_.use_tns && settings_.host.empty()) {
        shell().message(
            QStringLiteral("You should enter IP address or network name of Oracle server."));
        return false;
    }
    if (settings_.use_tns && settings_.service_name.empty()) {
        shell().message(QStringLiteral("You should enter Oracle data source name."));
        return false;
    }
    return true;
}

QWidget* ora_settings_page::first_field() const {
    return form_.by_service->isChecked() ? form_.service : form_.address;
}

namespace {

void report_oracle_failure(const ora_exception& e) {
    static const tk_error_converter oracle_messages(oracle_error_count, oracle_error_table);
    const std::string prepared = oracle_messages.convert(e.code());
    wizard_shell& shell = wizard_shell::instance();
    shell.error(from_ansi(prepared.empty() ? e.message() : prepared));
    const int number = e.code() & 0xFFFF;
    if (number == 12500 || number == 12505 || number == 12541 || number == 12545) {
        shell.display_help(1017);
    }
}

void report_toolkit_failure(const tk_exception& e) {
    try {
        error_handler::instance().handle(e, false);
    } catch (const tk_final_exception&) {
        // The handler stops the work after a serious error; the work here is over.
    }
}

}  // namespace

oracle_settings_page::oracle_settings_page(dorvex_convertor& converter)
    : ora_settings_page(converter) {}

oracle_settings_page::~oracle_settings_page() {
    const std::lock_guard lease(engine_lease());
}

std::mutex& oracle_settings_page::engine_lease() {
    static auto* lease = new std::mutex;
    return *lease;
}

bool oracle_settings_page::on_next() {
    store();
    if (!validate()) {
        return false;
    }
    return connect_with_animation();
}

bool oracle_settings_page::connect_with_animation() {
    try {
        return log_on_in_background();
    } catch (const ora_exception& e) {
        report_oracle_failure(e);
    } catch (const tk_exception& e) {
        report_toolkit_failure(e);
    } catch (const std::exception& e) {
        shell().error(from_ansi(e.what()));
    }
    return false;
}

bool oracle_settings_page::log_on_in_background() {
    // Loaded here, once, so that no two workers ever load the client library at the same time.
    ora_engine::load_client();
    connecting_dlg dialog(connecting_dlg::oracle_text, &shell());
    const std::optional<bool> connected = connection_attempt<bool>::run(
        dialog,
        [&converter = converter_, connect_string = settings_.connect_string(),
         user = settings_.user, password = settings_.password](const std::atomic<bool>& abandoned) {
            tk_trace(2, "oracle_settings_page::animation::operator()");
            ora_logon logon = ora_logon::open(connect_string, user, password);
            const std::lock_guard lease(engine_lease());
            if (abandoned) {
                return false;
            }
            converter.oracle_engine.take_logon(std::move(logon));
            converter.connect_oracle_server();
            if (abandoned) {
                converter.oracle_engine.log_off();
                return false;
            }
            return true;
        });
    return connected.value_or(false);
}

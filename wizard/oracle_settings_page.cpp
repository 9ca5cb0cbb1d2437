#include "wizard/oracle_settings_page.h"

#include <QLineEdit>
#include <QRadioButton>

#include "ORA/ora_engine.h"
#include "TK/tk_trace_log.h"
#include "core/dorvex_convertor.h"
#include "core/error_handler.h"
#include "core/tk_error_converter.h"
#include "wizard/connecting_dlg.h"
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

// The worker's body: logs on, reports a failure, and ends the connecting dialog however it
// went. The dialog and the success flag belong to the page, which waits for the worker before
// either goes away.
class oracle_settings_page::animation : public tk_runnable {
  public:
    animation(dorvex_convertor& converter, connecting_dlg& dialog, std::atomic<bool>& success)
        : converter_(converter), dialog_(dialog), success_(success) {}

    void operator()() override {
        tk_trace(2, "oracle_settings_page::animation::operator()");
        success_ = false;
        try {
            converter_.connect_oracle_server();
            success_ = true;
        } catch (const ora_exception& e) {
            report(e);
        } catch (const tk_exception& e) {
            try {
                error_handler::instance().handle(e, false);
            } catch (const tk_final_exception&) {
                // The handler stops the work after a serious error; the work here is over.
            }
        } catch (const std::exception& e) {
            wizard_shell::instance().error(from_ansi(e.what()));
        }
        dialog_.finish();
    }

  private:
    static void report(const ora_exception& e) {
        static const tk_error_converter oracle_messages(oracle_error_count, oracle_error_table);
        const std::string prepared = oracle_messages.convert(e.code());
        wizard_shell& shell = wizard_shell::instance();
        shell.error(from_ansi(prepared.empty() ? e.message() : prepared));
        const int number = e.code() & 0xFFFF;
        if (number == 12500 || number == 12505 || number == 12541 || number == 12545) {
            shell.display_help(1017);
        }
    }

    dorvex_convertor& converter_;
    connecting_dlg& dialog_;
    std::atomic<bool>& success_;
};

class oracle_settings_page::connect_thread : public tk_thread {
  public:
    explicit connect_thread(std::unique_ptr<animation> body) : body_(std::move(body)) {}
    // The body must outlive its thread.
    ~connect_thread() override { join(); }

  protected:
    tk_runnable* create_runnable() override { return body_.get(); }

  private:
    std::unique_ptr<animation> body_;
};

oracle_settings_page::oracle_settings_page(dorvex_convertor& converter)
    : ora_settings_page(converter) {}

oracle_settings_page::~oracle_settings_page() = default;

bool oracle_settings_page::on_next() {
    store();
    if (!validate()) {
        return false;
    }
    return connect_with_animation();
}

bool oracle_settings_page::connect_with_animation() {
    std::atomic<bool> success = false;
    connecting_dlg dialog(&shell());
    worker_ =
        std::make_unique<connect_thread>(std::make_unique<animation>(converter_, dialog, success));
    worker_->start();
    dialog.exec();
    worker_->join();
    worker_.reset();
    return success;
}

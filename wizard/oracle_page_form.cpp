#include "wizard/oracle_page_form.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLineEdit* field(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(oracle_page_form::max_field);
    return edit;
}

}  // namespace

void oracle_page_form::build(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(2);
    for (const char* line :
         {"Provide the necessary information to establish connection with Oracle server.",
          "Enter the same values that you specify for standard Oracle applications",
          "like Oracle Enterpise Manager Console."}) {
        layout->addWidget(new QLabel(QString::fromLatin1(line), page));
    }
    layout->addSpacing(12);

    by_address = new QRadioButton(QStringLiteral("&IP address:"), page);
    by_address->setObjectName(QStringLiteral("by_address"));
    by_service = new QRadioButton(QStringLiteral("&Service name:"), page);
    by_service->setObjectName(QStringLiteral("by_service"));
    address = field(page, "address");
    port = field(page, "port");
    service = field(page, "service");
    user = field(page, "user");
    password = field(page, "password");
    password->setEchoMode(QLineEdit::Password);

    auto* port_label = new QLabel(QStringLiteral("Po&rt:"), page);
    port_label->setBuddy(port);
    auto* user_label = new QLabel(QStringLiteral("&Username:"), page);
    user_label->setBuddy(user);
    auto* password_label = new QLabel(QStringLiteral("&Password:"), page);
    password_label->setBuddy(password);

    auto* grid = new QGridLayout;
    grid->addWidget(by_address, 0, 0);
    grid->addWidget(address, 0, 1);
    grid->addWidget(port_label, 0, 2);
    grid->addWidget(port, 0, 3);
    grid->addWidget(by_service, 1, 0);
    grid->addWidget(service, 1, 1, 1, 3);
    grid->addWidget(user_label, 2, 0);
    grid->addWidget(user, 2, 1, 1, 3);
    grid->addWidget(password_label, 3, 0);
    grid->addWidget(password, 3, 1, 1, 3);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 1);
    layout->addLayout(grid);
    layout->addStretch();
}

void oracle_page_form::show_mode(bool use_service_name) {
    by_service->setChecked(use_service_name);
    by_address->setChecked(!use_service_name);
    address->setEnabled(!use_service_name);
    port->setEnabled(!use_service_name);
    service->setEnabled(use_service_name);
}

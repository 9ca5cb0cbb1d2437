#include "wizard/mysql_page_form.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/mysql_converter_impl.h"

namespace {

QLineEdit* field(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(mysql_page_form::max_field);
    return edit;
}

QLabel* label_for(QWidget* parent, const char* text, QWidget* buddy) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setBuddy(buddy);
    return label;
}

QLabel* hint(QWidget* parent, const char* text) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setEnabled(false);
    return label;
}

}  // namespace

void mysql_page_form::build(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(
        QStringLiteral("Provide necessary information to establish connection with MySQL server."),
        page));

    auto* mode = new QGroupBox(QStringLiteral(" Access mode "), page);
    local = new QRadioButton(QStringLiteral("&Local"), mode);
    local->setObjectName(QStringLiteral("local"));
    remote = new QRadioButton(QStringLiteral("&Remote"), mode);
    remote->setObjectName(QStringLiteral("remote"));
    auto* mode_layout = new QHBoxLayout(mode);
    mode_layout->addWidget(local);
    mode_layout->addWidget(remote);
    mode_layout->addStretch();
    layout->addWidget(mode);

    auto* auth = new QGroupBox(QStringLiteral(" Authorization settings "), page);
    user = field(auth, "user");
    password = field(auth, "password");
    password->setEchoMode(QLineEdit::Password);
    auto* auth_layout = new QGridLayout(auth);
    auth_layout->addWidget(label_for(auth, "&User name:", user), 0, 0);
    auth_layout->addWidget(user, 0, 1);
    auth_layout->addWidget(label_for(auth, "User pa&ssword:", password), 1, 0);
    auth_layout->addWidget(password, 1, 1);
    layout->addWidget(auth);

    auto* remote_box = new QGroupBox(QStringLiteral(" Remote settings "), page);
    host = field(remote_box, "host");
    port = field(remote_box, "port");
    auto* remote_layout = new QGridLayout(remote_box);
    remote_layout->addWidget(label_for(remote_box, "H&ost:", host), 0, 0);
    remote_layout->addWidget(host, 0, 1);
    remote_layout->addWidget(hint(remote_box, "(it could be network name or IP address)"), 0, 2);
    remote_layout->addWidget(label_for(remote_box, "&Port number:", port), 1, 0);
    remote_layout->addWidget(port, 1, 1);
    remote_layout->addWidget(hint(remote_box, "(default MySQL port is 3306)"), 1, 2);
    layout->addWidget(remote_box);
    layout->addStretch();
}

void mysql_page_form::show_default_port() const {
    if (port->text().trimmed().isEmpty()) {
        port->setText(QString::fromLatin1(mysql_converter_impl::default_port));
    }
}

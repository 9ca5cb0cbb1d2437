// The controls of the MySQL connection page: access mode, authorisation and remote settings.
#pragma once

#include <QWidget>

class QLineEdit;
class QRadioButton;

struct mysql_page_form {
    // Longest text read from each field.
    static constexpr int max_field = 259;

    QRadioButton* local = nullptr;
    QRadioButton* remote = nullptr;
    QLineEdit* user = nullptr;
    QLineEdit* password = nullptr;
    QLineEdit* host = nullptr;
    QLineEdit* port = nullptr;

    // Builds the controls into page.
    void build(QWidget* page);
    // A port field that is empty or blank shows the default port.
    void show_default_port() const;
};

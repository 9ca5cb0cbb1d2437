// The controls of the Oracle connection page: IP address and port, or service name, and the
// log-on.
#pragma once

#include <QWidget>

class QLineEdit;
class QRadioButton;

struct oracle_page_form {
    static constexpr int max_field = 259;

    QRadioButton* by_address = nullptr;
    QRadioButton* by_service = nullptr;
    QLineEdit* address = nullptr;
    QLineEdit* port = nullptr;
    QLineEdit* service = nullptr;
    QLineEdit* user = nullptr;
    QLineEdit* password = nullptr;

    void build(QWidget* page);
    // IP mode enables address and port, service mode the service name.
    void show_mode(bool use_service_name);
};

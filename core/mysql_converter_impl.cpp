#include "core/mysql_converter_impl.h"

#include "TK/tk_exception.h"
#include "TK/tk_string.h"
#include "TK/tk_trace_log.h"

mysql_converter_impl::mysql_converter_impl() {
    tk_trace(2, "mysql_converter_impl::ctor");
}

mysql_converter_impl::~mysql_converter_impl() {
    tk_trace(2, "mysql_converter_impl::dtor");
}

void mysql_converter_impl::store_mysql_settings(const std::string& host, const std::string& user,
                                                const std::string& password,
                                                const std::string& port) {
    tk_trace(1, "mysql_converter_impl::store_mysql_settings(%s,%s,%s,%s)", host.c_str(),
             user.c_str(), password.c_str(), port.c_str());
    this->user = tk_trim(user);
    this->password = tk_trim(password);
    this->host = tk_trim(host);
    this->port = tk_trim(port);
    if (this->port.empty()) {
        this->port = default_port;
    }
}

unsigned mysql_converter_impl::port_number() const {
    constexpr unsigned highest_port = 65535;
    unsigned number = 0;
    for (const char c : port) {
        if (c < '0' || c > '9') {
            break;
        }
        number = number * 10 + static_cast<unsigned>(c - '0');
        // A larger number would be cut to another port by the client library.
        if (number > highest_port) {
            number = 0;
            break;
        }
    }
    if (number == 0) {
        throw tk_exception("Invalid port number", 1);
    }
    return number;
}

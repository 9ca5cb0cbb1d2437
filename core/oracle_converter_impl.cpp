#include "core/oracle_converter_impl.h"

#include "ORA/ora_engine.h"
#include "TK/tk_string.h"
#include "TK/tk_trace_log.h"

oracle_converter_impl::oracle_converter_impl() {
    tk_trace(2, "oracle_converter_impl::ctor");
}

oracle_converter_impl::~oracle_converter_impl() {
    tk_trace(2, "oracle_converter_impl::dtor");
}

void oracle_converter_impl::store_oracle_settings(const std::wstring& service_name,
                                                  const std::wstring& user,
                                                  const std::wstring& password) {
    tk_trace_w(2, L"oracle_converter_impl::store_oracle_settings(%ls,%ls,%ls)",
               service_name.c_str(), user.c_str(), password.c_str());
    this->service_name = service_name;
    this->user = user;
    this->password = password;
}

void oracle_converter_impl::store_oracle_settings(const std::wstring& host,
                                                  const std::wstring& user,
                                                  const std::wstring& password,
                                                  const std::wstring& port) {
    tk_trace_w(2, L"oracle_converter_impl::store_oracle_settings(%ls,%ls,%ls,%ls)", host.c_str(),
               user.c_str(), password.c_str(), port.c_str());
    // A host name or a port never holds blanks at its ends; in the connect descriptor they
    // would name another host.
    this->host = tk_trim(host);
    this->password = password;
    this->port = tk_trim(port);
    this->user = user;
}

std::wstring oracle_converter_impl::connect_string() const {
    return use_tns ? service_name : ora_engine::direct_descriptor(host, port);
}

// The Oracle destination's connection values, as the user gave them.
//
// Filled by the wizard's Oracle page, the agent's command line, profile files and the registry.
// The Oracle engine and the database of the last successful connection (and the connect
// operation that opens it from these values) join this class with the Oracle side.
#pragma once

#include <string>

class oracle_converter_impl {
  public:
    oracle_converter_impl();
    virtual ~oracle_converter_impl();

    // Sets service_name, user and password (in that order); use_tns, host and port stay.
    void store_oracle_settings(const std::wstring& service_name, const std::wstring& user,
                               const std::wstring& password);
    // Sets host, password, port and user, the host and the port with the blanks at both ends
    // removed; use_tns and service_name stay (the caller clears use_tns for a direct
    // connection).
    void store_oracle_settings(const std::wstring& host, const std::wstring& user,
                               const std::wstring& password, const std::wstring& port);

    // What the log-on is given as its connect string: the service name, or in direct mode the
    // descriptor that ora_engine builds from host and port. The wizard logs on apart from the
    // engine with it (ora_logon), so that the log-on of connect_oracle_server is that one.
    std::wstring connect_string() const;

    // True: connect through the net service name; false: directly to host and port.
    bool use_tns = true;
    std::wstring service_name;
    std::wstring user;
    std::wstring password;
    // Direct mode only. There is no default port here (the agent supplies "1521").
    std::wstring host;
    std::wstring port;
};

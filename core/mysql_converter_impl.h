// The MySQL source's connection values, as the user gave them (narrow, in the process's ANSI
// character set).
//
// Filled by the wizard's MySQL page, the agent's command line, profile files and the registry.
// The MySQL engine (and the connect operation, which checks the port with port_number() before
// it contacts the server) joins this class with the MySQL side.
#pragma once

#include <string>

// MySQL dump options: only carried to and from profile files; the conversion into Oracle does
// not read them.
struct mysql_dump_options {
    bool line_break = false;
    bool new_version = true;
    bool add_lock_to_insert = true;
    bool insert_comments = true;
    bool create_database = false;
    bool create_table = true;
    std::string text;
};

class mysql_converter_impl {
  public:
    static constexpr const char* default_port = "3306";

    mysql_converter_impl();
    virtual ~mysql_converter_impl();

    // Sets user, password, host and port, each with the blanks at both ends removed; a port
    // that is empty then becomes "3306".
    void store_mysql_settings(const std::string& host, const std::string& user,
                              const std::string& password, const std::string& port);

    // The port as a number: the decimal value of the leading digits of port ("3306x" is
    // 3306). Raises tk_exception "Invalid port number" (level 1) when there are no leading
    // digits, or the value is 0 or above 65535.
    unsigned port_number() const;

    mysql_dump_options dump_options;
    // Empty means the MySQL server on the local machine.
    std::string host;
    std::string user;
    std::string password;
    std::string port = default_port;
};

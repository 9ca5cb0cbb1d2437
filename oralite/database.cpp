#include "oralite/database.h"

#include <ifaddrs.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "oralite/catalog.h"
#include "oralite/datetime.h"
#include "oralite/ora_error.h"
#include "oralite/sqlite_util.h"

namespace oralite {

namespace {

bool is_regular_file(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

// A database name under ORALITE_HOME.
std::optional<std::string> find_named_database(std::string_view name) {
    const char* home = std::getenv("ORALITE_HOME");
    if (!home || !*home || name.empty() || name.find('/') != std::string_view::npos ||
        name == "." || name == "..") {
        return std::nullopt;
    }
    std::string base = std::string(home) + "/";
    for (const std::string& candidate : {base + std::string(name), base + std::string(name) + ".db",
                                         base + lower(name), base + lower(name) + ".db"}) {
        if (is_regular_file(candidate))
            return candidate;
    }
    return std::nullopt;
}

bool is_local_host(const std::string& host) {
    std::string h = lower(host);
    if (h == "localhost" || h == "localhost.localdomain" || h == "::1" || h.rfind("127.", 0) == 0) {
        return true;
    }
    char name[256] = {0};
    if (gethostname(name, sizeof name - 1) == 0) {
        std::string self = lower(name);
        if (h == self ||
            (self.find('.') != std::string::npos && h == self.substr(0, self.find('.')))) {
            return true;
        }
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (ifaddrs* a = list; a && !found; a = a->ifa_next) {
        if (!a->ifa_addr)
            continue;
        int family = a->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6)
            continue;
        char text[NI_MAXHOST] = {0};
        socklen_t len = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        if (getnameinfo(a->ifa_addr, len, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0) {
            std::string addr = lower(text);
            size_t scope = addr.find('%');
            if (scope != std::string::npos)
                addr.resize(scope);
            found = addr == h;
        }
    }
    freeifaddrs(list);
    return found;
}

int database_port(const std::string& path) {
    sqlite3* db = nullptr;
    int port = 1521;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        try {
            if (auto p = read_meta(db, "port"))
                port = std::atoi(p->c_str());
        } catch (const ora_error&) {
        }
    }
    sqlite3_close(db);
    return port;
}

// A network address: host, port and service (descriptor or easy connect).
std::string resolve_address(const std::string& host, const std::string& port_text,
                            const std::string& service) {
    if (host.empty() || service.empty())
        throw ora_error(12154);
    if (!is_local_host(host))
        throw ora_error(12545);
    int port = 1521;
    if (!port_text.empty()) {
        if (port_text.find_first_not_of("0123456789") != std::string::npos) {
            throw ora_error(12154);
        }
        port = std::atoi(port_text.c_str());
    }
    std::optional<std::string> path = find_named_database(service);
    if (!path)
        throw ora_error(12514);
    if (database_port(*path) != port)
        throw ora_error(12541);
    return *path;
}

// The value of KEY=value inside a descriptor (case-insensitive key), or "".
std::string descriptor_value(const std::string& descriptor, const std::string& key) {
    std::string upper = descriptor;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    size_t pos = 0;
    while ((pos = upper.find(key, pos)) != std::string::npos) {
        size_t before = pos;
        while (before > 0 && upper[before - 1] == ' ') --before;
        size_t after = pos + key.size();
        while (after < upper.size() && upper[after] == ' ') ++after;
        if ((before == 0 || upper[before - 1] == '(') && after < upper.size() &&
            upper[after] == '=') {
            size_t end = descriptor.find(')', after);
            if (end == std::string::npos)
                return {};
            return trim(descriptor.substr(after + 1, end - after - 1));
        }
        pos += key.size();
    }
    return {};
}

}  // namespace

std::string resolve_connect_string(std::string_view connect) {
    std::string text = trim(connect);
    if (text.empty())
        throw ora_error(12154);
    if (text[0] == '(') {
        int depth = 0;
        for (char c : text) {
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
            if (depth < 0)
                throw ora_error(12154);
        }
        if (depth != 0)
            throw ora_error(12154);
        std::string service = descriptor_value(text, "SERVICE_NAME");
        if (service.empty())
            service = descriptor_value(text, "SID");
        return resolve_address(descriptor_value(text, "HOST"), descriptor_value(text, "PORT"),
                               service);
    }
    if (text.find('/') != std::string::npos) {
        if (is_regular_file(text))
            return text;
        // Easy connect: [//]host[:port]/service
        std::string ez = text.rfind("//", 0) == 0 ? text.substr(2) : text;
        size_t slash = ez.find('/');
        if (slash != std::string::npos && slash > 0 &&
            ez.find('/', slash + 1) == std::string::npos) {
            std::string address = ez.substr(0, slash);
            std::string service = ez.substr(slash + 1);
            size_t colon = address.rfind(':');
            std::string host = colon == std::string::npos ? address : address.substr(0, colon);
            std::string port = colon == std::string::npos ? "" : address.substr(colon + 1);
            if (!host.empty() && !service.empty() && host.find('.') != 0) {
                return resolve_address(host, port, service);
            }
        }
        throw ora_error(12154);
    }
    if (std::optional<std::string> path = find_named_database(text))
        return *path;
    // A file in the current folder, named without a path.
    if (is_regular_file(text))
        return text;
    throw ora_error(12154);
}

void create_database(const std::string& path, const database_options& options) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        throw std::runtime_error("the file " + path + " already exists");
    }
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw std::runtime_error("cannot create " + path + ": " + message);
    }
    try {
        exec_sql(db, "PRAGMA application_id = " + std::to_string(k_application_id));
        exec_sql(db, "PRAGMA journal_mode = WAL");
        exec_sql(db, "BEGIN");
        create_catalog_schema(db);
        write_meta(db, "format", "1");
        write_meta(db, "port", std::to_string(options.port));
        write_meta(db, "sync", options.full_sync ? "full" : "normal");
        write_meta(db, "max_string_size", options.extended_strings ? "EXTENDED" : "STANDARD");
        std::string now = datetime::now().storage_text(false);
        write_meta(db, "created", now);
        sqlite_stmt user(db,
                         "INSERT INTO ora_users(name, password, quota, created) "
                         "VALUES ('SYSTEM', ?1, -1, ?2)");
        user.bind(1, options.system_password).bind(2, now).run();
        exec_sql(db,
                 "INSERT INTO ora_grants(user_id, privilege) "
                 "SELECT user_id, 'DBA' FROM ora_users WHERE name = 'SYSTEM'");
        exec_sql(db, "COMMIT");
    } catch (const std::exception& e) {
        sqlite3_close(db);
        unlink(path.c_str());
        unlink((path + "-wal").c_str());
        unlink((path + "-shm").c_str());
        throw std::runtime_error("cannot create " + path + ": " + e.what());
    }
    sqlite3_close(db);
}

}  // namespace oralite

// Statements run against a real database of the embedded Oracle target: whatever the text,
// the engine answers with a result or an ORA error and the database stays usable. Each input
// is a list of statements separated by lines holding only "/"; its changes are rolled back.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "oralite/cursor.h"
#include "oralite/database.h"
#include "oralite/session.h"

namespace {

std::string g_dir;

void remove_database() {
    for (const char* suffix : {"/fuzz.db", "/fuzz.db-wal", "/fuzz.db-shm"}) {
        unlink((g_dir + suffix).c_str());
    }
    rmdir(g_dir.c_str());
}

oralite::session& shared_session() {
    static std::unique_ptr<oralite::session> s = [] {
        char pattern[] = "/tmp/oralite-fuzz-XXXXXX";
        const char* dir = mkdtemp(pattern);
        if (!dir)
            std::abort();
        g_dir = dir;
        std::atexit(remove_database);
        std::string path = g_dir + "/fuzz.db";
        oralite::create_database(path, {});
        auto session = oralite::session::logon(path, "system", "manager");
        const char* setup[] = {
            "CREATE TABLE T (ID NUMBER(11,0) PRIMARY KEY, NAME VARCHAR2(20), D DATE, C CLOB, "
            "B BLOB, R RAW(8), F NUMBER)",
            "CREATE SEQUENCE S",
            "CREATE TRIGGER TR BEFORE INSERT ON T FOR EACH ROW WHEN (new.ID IS NULL) BEGIN "
            "SELECT S.NEXTVAL INTO :new.ID FROM DUAL; END;",
            "INSERT INTO T VALUES (1, 'one', SYSDATE, EMPTY_CLOB(), EMPTY_BLOB(), '0A', 1.5)",
            "COMMIT"};
        oralite::no_binds binds;
        for (const char* sql : setup) {
            oralite::cursor c(*session, sql);
            c.execute(1, binds);
        }
        return session;
    }();
    return *s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096)
        return 0;
    oralite::session& s = shared_session();
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> statements;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find("\n/\n", start);
        statements.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 3;
    }
    oralite::no_binds binds;
    for (const std::string& sql : statements) {
        // DDL commits; keep the fixture tables by refusing statements that change the schema.
        std::string head = sql.substr(0, 12);
        for (char& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (head.find("DROP") != std::string::npos || head.find("ALTER") != std::string::npos ||
            head.find("TRUNCATE") != std::string::npos ||
            head.find("COMMIT") != std::string::npos || head.find("CREATE") != std::string::npos ||
            head.find("GRANT") != std::string::npos || head.find("REVOKE") != std::string::npos) {
            continue;
        }
        try {
            oralite::cursor c(s, sql);
            c.execute(1, binds);
            if (c.is_query()) {
                for (int rows = 0; rows < 100 && c.fetch(); ++rows) {
                    for (size_t i = 0; i < c.columns().size(); ++i) c.column_value(i);
                }
            }
        } catch (const oralite::ora_error& e) {
            if (e.code() <= 0)
                std::abort();
        }
    }
    s.rollback();
    return 0;
}

#include "core/settings_registry.h"

#include "TK/tk_reg_key.h"
#include "TK/tk_trace_log.h"

const char settings_registry_key[] = "Software\\Vastrelco\\Tarvolin";

namespace {

// A stored mode outside the three known ones would make the run treat existing tables in an
// undefined way; it is read as missing instead.
bool exchange_mode(tk_reg_key& key, int32_t& mode, bool store) {
    int32_t value = mode;
    if (!key.exchange("mode", value, store)) {
        return false;
    }
    if (value < mode_overwrite || value > mode_skip) {
        return false;
    }
    mode = value;
    return true;
}

}  // namespace

bool serialize(bool store, oracle_converter_impl& oracle, mysql_converter_impl& mysql,
               conversion_switches& switches) {
    tk_trace(1, "serialize( %d )", store ? 1 : 0);
    tk_reg_key key;
    if (key.create(platform::HKEY_CURRENT_USER, settings_registry_key) != platform::ERROR_SUCCESS) {
        return false;
    }
    if (!store) {
        switches.blob2text = false;
        switches.mode = mode_overwrite;
        mysql.port = mysql_converter_impl::default_port;
        switches.skip_idx = false;
        switches.tab_def = false;
        switches.time_interval = false;
        switches.uppercase = true;
    }
    // Every value is exchanged even after a failure, so one bad value loses only itself.
    bool all = true;
    all &= key.exchange("blob2text", switches.blob2text, store);
    all &= key.exchange("host", mysql.host, store);
    all &= exchange_mode(key, switches.mode, store);
    all &= key.exchange("oracleh", oracle.service_name, store);
    all &= key.exchange("oraclep", oracle.password, store);
    all &= key.exchange("oracleu", oracle.user, store);
    all &= key.exchange("port", mysql.port, store);
    all &= key.exchange("pswd", mysql.password, store);
    all &= key.exchange("skip_idx", switches.skip_idx, store);
    all &= key.exchange("src", switches.source_database, store);
    all &= key.exchange("tab_def", switches.tab_def, store);
    all &= key.exchange("time_interval", switches.time_interval, store);
    all &= key.exchange("uppercase", switches.uppercase, store);
    all &= key.exchange("user", mysql.user, store);
    return all;
}

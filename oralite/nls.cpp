#include "oralite/nls.h"

#include <cctype>

#include "oralite/ora_error.h"

namespace oralite {

namespace {

thread_local const nls_settings* t_current = nullptr;

const nls_settings& defaults() {
    static const nls_settings settings;
    return settings;
}

// Two different single-byte characters, neither a digit nor + - < >.
void set_numeric_characters(nls_settings& s, std::string_view value) {
    auto allowed = [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u < 0x80 && !std::isdigit(u) && c != '+' && c != '-' && c != '<' && c != '>';
    };
    if (value.size() != 2 || value[0] == value[1] || !allowed(value[0]) || !allowed(value[1]))
        throw ora_error(12705);
    s.decimal = value[0];
    s.group = value[1];
}

std::string upper(std::string_view text) {
    std::string out;
    for (char c : text)
        out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return out;
}

// Parameters Oracle lets a session set that oralite does not keep.
bool is_unkept_session_parameter(std::string_view name) {
    static const std::string_view names[] = {"NLS_DATE_LANGUAGE",
                                             "NLS_SORT",
                                             "NLS_COMP",
                                             "NLS_LENGTH_SEMANTICS",
                                             "NLS_CURRENCY",
                                             "NLS_ISO_CURRENCY",
                                             "NLS_DUAL_CURRENCY",
                                             "NLS_CALENDAR",
                                             "NLS_TIME_FORMAT",
                                             "NLS_TIME_TZ_FORMAT",
                                             "NLS_NCHAR_CONV_EXCP",
                                             "TIME_ZONE",
                                             "CURRENT_SCHEMA",
                                             "EDITION",
                                             "OPTIMIZER_MODE",
                                             "SQL_TRACE",
                                             "CURSOR_SHARING",
                                             "STATISTICS_LEVEL",
                                             "ISOLATION_LEVEL",
                                             "SKIP_UNUSABLE_INDEXES",
                                             "DDL_LOCK_TIMEOUT",
                                             "SORT_AREA_SIZE",
                                             "HASH_AREA_SIZE",
                                             "GLOBAL_NAMES"};
    for (std::string_view n : names) {
        if (n == name)
            return true;
    }
    return false;
}

}  // namespace

const nls_settings& current_nls() {
    return t_current ? *t_current : defaults();
}

void use_nls(const nls_settings* settings) {
    t_current = settings;
}

void forget_nls(const nls_settings* settings) {
    if (t_current == settings)
        t_current = nullptr;
}

void set_nls_parameter(nls_settings& s, std::string_view name, std::string_view value) {
    if (name == "NLS_NUMERIC_CHARACTERS") {
        set_numeric_characters(s, value);
    } else if (name == "NLS_DATE_FORMAT") {
        check_datetime_format(value);
        s.date_format = value;
    } else if (name == "NLS_TIMESTAMP_FORMAT") {
        check_datetime_format(value);
        s.timestamp_format = value;
    } else if (name == "NLS_TIMESTAMP_TZ_FORMAT") {
        s.timestamp_tz_format = value;
    } else if (name == "NLS_LANGUAGE") {
        // Only the language of the messages oralite has.
        if (upper(value) != "AMERICAN")
            throw ora_error(12705);
        s.language = "AMERICAN";
    } else if (name == "NLS_TERRITORY") {
        if (upper(value) != "AMERICA")
            throw ora_error(12705);
        s.territory = "AMERICA";
    } else if (name == "NLS_CHARACTERSET" || name == "NLS_NCHAR_CHARACTERSET") {
        throw ora_error(922);
    } else if (is_unkept_session_parameter(name)) {
        throw ora_error(3001);
    } else {
        throw ora_error(2248);
    }
}

std::string localized_number(std::string text) {
    char decimal = current_nls().decimal;
    if (decimal != '.') {
        for (char& c : text) {
            if (c == '.')
                c = decimal;
        }
    }
    return text;
}

std::string delocalized_number(std::string_view text) {
    char decimal = current_nls().decimal;
    std::string out(text);
    if (decimal == '.')
        return out;
    for (char& c : out) {
        if (c == '.')
            throw ora_error(1722);
        if (c == decimal)
            c = '.';
    }
    return out;
}

}  // namespace oralite

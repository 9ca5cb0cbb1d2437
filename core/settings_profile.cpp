#include "core/settings_profile.h"

#include <array>
#include <utility>

#include "TK/tk_string.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "UDB/udb_converter.h"

namespace {

// A connection text with its profile key. Host names, service names and ports never hold
// blanks at either end, so those are dropped there ("port= 3307" is port 3307, as on the
// command line); user names and passwords are taken as written.
template <class member>
struct connection_text {
    const wchar_t* key;
    member setting;
    bool trimmed;
};

// The Oracle connection texts ("IP" is the host of a direct connection, "host" the service).
std::array<connection_text<std::wstring oracle_converter_impl::*>, 5> oracle_texts() {
    return {{{L"IP", &oracle_converter_impl::host, true},
             {L"host", &oracle_converter_impl::service_name, true},
             {L"password", &oracle_converter_impl::password, false},
             {L"port", &oracle_converter_impl::port, true},
             {L"user", &oracle_converter_impl::user, false}}};
}

// The MySQL connection texts (narrow, in the ANSI character set).
std::array<connection_text<std::string mysql_converter_impl::*>, 4> mysql_texts() {
    return {{{L"host", &mysql_converter_impl::host, true},
             {L"user", &mysql_converter_impl::user, false},
             {L"password", &mysql_converter_impl::password, false},
             {L"port", &mysql_converter_impl::port, true}}};
}

// The profile's value of a connection text; empty when absent or, for a trimmed one, blank.
template <class member>
std::wstring connection_value(const udb_profile& profile, const wchar_t* section,
                              const connection_text<member>& text) {
    const std::wstring value = profile.get_value(section, text.key);
    return text.trimmed ? tk_trim(value) : value;
}

std::array<std::pair<const wchar_t*, bool mysql_dump_options::*>, 6> dump_switches() {
    return {{{L"dump line break", &mysql_dump_options::line_break},
             {L"dump new version", &mysql_dump_options::new_version},
             {L"dump add lock to insert", &mysql_dump_options::add_lock_to_insert},
             {L"dump insert comments", &mysql_dump_options::insert_comments},
             {L"dump create database", &mysql_dump_options::create_database},
             {L"dump create table", &mysql_dump_options::create_table}}};
}

}  // namespace

bool load_oracle_profile(oracle_converter_impl& settings, const udb_profile& profile) {
    tk_trace(2, "oracle_converter_impl::load_profile");
    const wchar_t* section = udb_profile::oracle_section;
    for (const auto& text : oracle_texts()) {
        if (std::wstring value = connection_value(profile, section, text); !value.empty()) {
            settings.*text.setting = std::move(value);
        }
    }
    if (const std::wstring tns = profile.get_value(section, L"use TNS"); !tns.empty()) {
        settings.use_tns = udb_profile_true_if_one(tns);
    }
    return true;
}

bool store_oracle_profile(const oracle_converter_impl& settings, udb_profile& profile) {
    tk_trace(2, "oracle_converter_impl::store_profile");
    const wchar_t* section = udb_profile::oracle_section;
    for (const auto& text : oracle_texts()) {
        if (!(settings.*text.setting).empty()) {
            profile.set_value(section, text.key, settings.*text.setting);
        }
    }
    profile.set_value(section, L"use TNS", udb_profile_flag(settings.use_tns));
    return true;
}

// The narrow settings are in the ANSI character set (what the command line and the wizard
// give); the profile's wide values are written as UTF-8, so a file moves between machines.
bool load_mysql_profile(mysql_converter_impl& settings, const udb_profile& profile) {
    tk_trace(2, "mysql_converter_impl::load_profile");
    const wchar_t* section = udb_profile::mysql_section;
    for (const auto& text : mysql_texts()) {
        if (const std::wstring value = connection_value(profile, section, text); !value.empty()) {
            settings.*text.setting = tk_ucs2_to_ansi(value);
        }
    }
    for (const auto& [key, member] : dump_switches()) {
        if (const std::wstring value = profile.get_value(section, key); !value.empty()) {
            settings.dump_options.*member = udb_profile_true_if_one(value);
        }
    }
    return true;
}

bool store_mysql_profile(const mysql_converter_impl& settings, udb_profile& profile) {
    tk_trace(2, "mysql_converter_impl::store_profile");
    const wchar_t* section = udb_profile::mysql_section;
    for (const auto& text : mysql_texts()) {
        profile.set_value(section, text.key, tk_ansi_to_ucs2(settings.*text.setting));
    }
    for (const auto& [key, member] : dump_switches()) {
        profile.set_value(section, key, udb_profile_flag(settings.dump_options.*member));
    }
    return true;
}

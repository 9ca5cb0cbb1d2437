#include "core/settings_profile.h"

#include <array>
#include <utility>

#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "UDB/udb_converter.h"

namespace {

// The Oracle connection texts with their profile keys.
std::array<std::pair<const wchar_t*, std::wstring oracle_converter_impl::*>, 5> oracle_texts() {
    return {{{L"IP", &oracle_converter_impl::host},
             {L"host", &oracle_converter_impl::service_name},
             {L"password", &oracle_converter_impl::password},
             {L"port", &oracle_converter_impl::port},
             {L"user", &oracle_converter_impl::user}}};
}

// The MySQL connection texts (narrow, in the ANSI character set) with their profile keys.
std::array<std::pair<const wchar_t*, std::string mysql_converter_impl::*>, 4> mysql_texts() {
    return {{{L"host", &mysql_converter_impl::host},
             {L"user", &mysql_converter_impl::user},
             {L"password", &mysql_converter_impl::password},
             {L"port", &mysql_converter_impl::port}}};
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
    for (const auto& [key, member] : oracle_texts()) {
        if (std::wstring value = profile.get_value(section, key); !value.empty()) {
            settings.*member = std::move(value);
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
    for (const auto& [key, member] : oracle_texts()) {
        if (!(settings.*member).empty()) {
            profile.set_value(section, key, settings.*member);
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
    for (const auto& [key, member] : mysql_texts()) {
        if (const std::wstring value = profile.get_value(section, key); !value.empty()) {
            settings.*member = tk_ucs2_to_ansi(value);
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
    for (const auto& [key, member] : mysql_texts()) {
        profile.set_value(section, key, tk_ansi_to_ucs2(settings.*member));
    }
    for (const auto& [key, member] : dump_switches()) {
        profile.set_value(section, key, udb_profile_flag(settings.dump_options.*member));
    }
    return true;
}

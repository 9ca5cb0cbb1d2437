#include "UDB/udb_converter.h"

#include <algorithm>

#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"

namespace {

void load_generic_settings(const udb_profile& profile, udb_converter& converter,
                           std::wstring& source_database, bool& tab_def, bool& skip_idx) {
    const auto value = [&](const wchar_t* key) {
        return profile.get_value(udb_profile::generic_section, key);
    };
    if (const std::wstring src = value(L"src"); !src.empty()) {
        source_database = src;
    }
    if (const std::wstring dest = value(L"dest"); !dest.empty()) {
        converter.destination_name = dest;
    }
    if (const std::wstring only = value(L"only definitions"); !only.empty()) {
        tab_def = udb_profile_true_unless_zero(only);
    }
    if (const std::wstring mode = value(L"mode"); mode.size() == 1) {
        converter.generic_mode = static_cast<int32_t>(mode[0]) - L'0';
    }
    if (const std::wstring skip = value(L"skip indexes"); !skip.empty()) {
        skip_idx = udb_profile_true_unless_zero(skip);
    }
}

}  // namespace

bool udb_profile_true_unless_zero(const std::wstring& value) {
    return value != L"0";
}

bool udb_profile_true_if_one(const std::wstring& value) {
    return value == L"1";
}

const wchar_t* udb_profile_flag(bool value) {
    return value ? L"1" : L"0";
}

udb_converter::udb_converter() {
    tk_trace(2, "udb_converter::ctor");
}

udb_converter::~udb_converter() {
    tk_trace(2, "udb_converter::dtor");
}

bool udb_converter::load_profile(const udb_profile& profile) {
    tk_trace(1, "udb_converter::load_profile");
    const generic_settings_ref settings = generic_settings();
    for (const auto& [name, text] : profile.section(udb_profile::selected_tables_section)) {
        selected_queries.emplace(name, text);
        if (!text.empty()) {
            continue;
        }
        tk_trace_w(1, L"Push back table '%ls'", name.c_str());
        // A table chosen twice would be counted twice by the progress of the run.
        auto& tables = settings.selected_tables;
        if (std::find(tables.begin(), tables.end(), name) == tables.end()) {
            tables.push_back(name);
        }
    }
    for (const auto& [name, text] : profile.section(udb_profile::available_queries_section)) {
        unselected_queries.emplace(name, text);
    }
    load_generic_settings(profile, *this, settings.source_database, settings.tab_def,
                          settings.skip_idx);
    return true;
}

bool udb_converter::store_profile(udb_profile& profile) {
    tk_trace(2, "udb_converter::store_profile");
    const generic_settings_ref settings = generic_settings();
    for (const auto& [name, text] : unselected_queries) {
        tk_trace_w(1, L"Available Query: (%ls,%ls)", name.c_str(), text.c_str());
        profile.set_value(udb_profile::available_queries_section, name, text);
    }
    for (const auto& [name, text] : selected_queries) {
        tk_trace_w(1, L"Selected Query: (%ls,%ls)", name.c_str(), text.c_str());
        profile.set_value(udb_profile::selected_tables_section, name, text);
    }
    // Tables chosen but not yet merged into the queries (the run does that) are part of the
    // setup as well; a query of the same name keeps its text.
    for (const std::wstring& name : settings.selected_tables) {
        profile.set_value(udb_profile::selected_tables_section, name, std::wstring());
    }
    const wchar_t* generic = udb_profile::generic_section;
    profile.set_value(generic, L"src", settings.source_database);
    profile.set_value(generic, L"dest", destination_name);
    profile.set_value(generic, L"skip indexes", udb_profile_flag(settings.skip_idx));
    profile.set_value(generic, L"only definitions", udb_profile_flag(settings.tab_def));
    profile.set_value(generic, L"mode", std::wstring(1, static_cast<wchar_t>(L'0' + generic_mode)));
    return true;
}

bool udb_converter::test_source_statement(const std::wstring& /*statement*/) {
    return false;
}

std::wstring udb_converter::current_table() const {
    const std::lock_guard<std::mutex> lock(current_table_mutex_);
    return current_table_;
}

void udb_converter::set_current_table(const std::wstring& name) {
    const std::lock_guard<std::mutex> lock(current_table_mutex_);
    current_table_ = name;
}

#include "ORA/ora_date_processor.h"

#include <array>
#include <cwctype>

#include "TK/tk_string.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"

namespace {

struct month_name {
    const wchar_t* abbreviation;
    const wchar_t* full;
};

constexpr std::array<month_name, 12> month_names = {{
    {L"JAN", L"JANUARY"},
    {L"FEB", L"FEBRUARY"},
    {L"MAR", L"MARCH"},
    {L"APR", L"APRIL"},
    {L"MAY", L"MAY"},
    {L"JUN", L"JUNE"},
    {L"JUL", L"JULY"},
    {L"AUG", L"AUGUST"},
    {L"SEP", L"SEPTEMBER"},
    {L"OCT", L"OCTOBER"},
    {L"NOV", L"NOVEMBER"},
    {L"DEC", L"DECEMBER"},
}};

// A whole text of decimal digits (and nothing else) as a number; -1 otherwise.
int whole_number(const std::wstring& text) {
    if (text.empty() || text.size() > 4) {
        return -1;
    }
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return -1;
        }
        value = value * 10 + (c - L'0');
    }
    return value;
}

// The text between the first pair of single quotes after "to_date(" (any letter case), when
// the text is such a call; empty otherwise.
std::wstring to_date_argument(const std::wstring& text) {
    std::wstring upper = text;
    tk_wstring::to_upper(upper);
    if (upper.rfind(L"TO_DATE(", 0) != 0) {
        return {};
    }
    const size_t open = text.find(L'\'');
    if (open == std::wstring::npos) {
        return {};
    }
    const size_t close = text.find(L'\'', open + 1);
    if (close == std::wstring::npos) {
        return {};
    }
    return text.substr(open + 1, close - open - 1);
}

}  // namespace

int ora_date_processor::month_number(const std::wstring& name) {
    std::wstring upper = name;
    tk_wstring::to_upper(upper);
    for (size_t i = 0; i < month_names.size(); ++i) {
        if (upper == month_names[i].abbreviation || upper == month_names[i].full) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

std::wstring ora_date_processor::get_canonized_str(const std::wstring& text) const {
    tk_trace_w(1, L"ora_date_processor::get_canonized_str(%ls)", text.c_str());
    const std::wstring trimmed = tk_trim(text);
    // Our own DDL writes date defaults as to_date('...', '...'); the quoted value is already
    // in the canonical order.
    const std::wstring argument = to_date_argument(trimmed);
    if (!argument.empty()) {
        return argument;
    }
    const std::vector<std::wstring> parts = tk_split(trimmed, L'-');
    if (parts.size() == 3) {
        const int day = whole_number(tk_trim(parts[0]));
        const int month = month_number(tk_trim(parts[1]));
        const std::wstring year_text = tk_trim(parts[2]);
        int year = whole_number(year_text);
        // A two-digit year follows Oracle's RR rule, as the default NLS date format does.
        if (year >= 0 && year_text.size() <= 2) {
            year += year < 50 ? 2000 : 1900;
        }
        if (day >= 1 && day <= 31 && month != 0 && year >= 1 && year <= 9999) {
            return tk_wformat(L"%d-%02d-%02d", year, month, day);
        }
    }
    tk_trace(1, "Invalid date format");
    return {};
}

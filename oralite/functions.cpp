#include "oralite/functions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "oralite/nls.h"
#include "oralite/ora_error.h"
#include "oralite/unicode.h"

namespace oralite {

namespace {

// The longest VARCHAR2 value, in bytes.
constexpr size_t k_max_text_bytes = 4000;

// ---- result types ------------------------------------------------------------------------

column_type r_number(const std::vector<column_type>&) {
    return column_type::of(type_code::number);
}
column_type r_text(const std::vector<column_type>&) {
    return column_type::varchar(4000);
}
column_type r_text_like_first(const std::vector<column_type>& a) {
    if (!a.empty() && a[0].is_lob())
        return column_type::of(type_code::clob);
    if (!a.empty() && a[0].is_character() && a[0].code != type_code::long_) {
        column_type t = column_type::varchar(a[0].data_length() > 0 ? a[0].data_length() : 4000);
        return t;
    }
    return column_type::varchar(4000);
}
column_type r_date(const std::vector<column_type>&) {
    return column_type::of(type_code::date);
}
column_type r_timestamp(const std::vector<column_type>&) {
    return column_type::of(type_code::timestamp);
}
column_type r_raw(const std::vector<column_type>&) {
    column_type t = column_type::of(type_code::raw);
    t.length = 2000;
    return t;
}
column_type r_clob(const std::vector<column_type>&) {
    return column_type::of(type_code::clob);
}
column_type r_blob(const std::vector<column_type>&) {
    return column_type::of(type_code::blob);
}
column_type r_first(const std::vector<column_type>& a) {
    for (const column_type& t : a) {
        if (t.code != type_code::none)
            return t;
    }
    return column_type::of(type_code::none);
}
column_type r_second(const std::vector<column_type>& a) {
    std::vector<column_type> rest(a.begin() + (a.size() > 1 ? 1 : 0), a.end());
    return r_first(rest);
}
column_type r_decode(const std::vector<column_type>& a) {
    return a.size() > 2 ? a[2] : column_type::of(type_code::none);
}
column_type r_number_or_date(const std::vector<column_type>& a) {
    if (!a.empty() && a[0].is_datetime())
        return column_type::of(type_code::date);
    return column_type::of(type_code::number);
}
column_type r_substr(const std::vector<column_type>& a) {
    if (!a.empty() && a[0].is_lob()) {
        return a[0].code == type_code::blob ? r_raw(a) : column_type::varchar(4000);
    }
    return r_text_like_first(a);
}
column_type r_interval(const std::vector<column_type>&) {
    return column_type::interval(9, 9);
}
bool is_interval_type(const column_type& t) {
    return t.code == type_code::interval_ds;
}
// A datetime moved by an interval keeps its type; a number moves it to a DATE.
column_type moved_datetime(const column_type& moved, const column_type& by) {
    return is_interval_type(by) ? column_type::of(moved.code) : column_type::of(type_code::date);
}
column_type r_plus(const std::vector<column_type>& a) {
    if (a.size() == 2 && is_interval_type(a[0]) && is_interval_type(a[1]))
        return r_interval(a);
    if (a.size() == 2 && a[0].is_datetime())
        return moved_datetime(a[0], a[1]);
    if (a.size() == 2 && a[1].is_datetime())
        return moved_datetime(a[1], a[0]);
    return column_type::of(type_code::number);
}
column_type r_minus(const std::vector<column_type>& a) {
    if (a.size() == 2 && a[0].is_datetime() && !a[1].is_datetime()) {
        return moved_datetime(a[0], a[1]);
    }
    bool timestamps = a.size() == 2 && a[0].is_datetime() && a[1].is_datetime() &&
                      (a[0].code == type_code::timestamp || a[1].code == type_code::timestamp);
    if (timestamps || (a.size() == 2 && is_interval_type(a[0]) && is_interval_type(a[1])))
        return r_interval(a);
    return column_type::of(type_code::number);
}
column_type r_concat(const std::vector<column_type>& a) {
    int total = 0;
    for (const column_type& t : a) {
        if (t.is_lob())
            return column_type::of(type_code::clob);
        int len = t.is_character()            ? t.data_length()
                  : t.code == type_code::none ? 0
                  : t.is_binary()             ? t.data_length() * 2
                                              : 40;
        total += len;
    }
    return column_type::varchar(std::clamp(total, 1, 4000));
}

// ---- helpers -----------------------------------------------------------------------------

int64_t to_int(const value& v) {
    decimal d = as_number(v).truncated(0);
    auto i = d.to_int64();
    if (!i)
        return d.is_negative() ? INT64_MIN / 2 : INT64_MAX / 2;
    return *i;
}

// Code-point boundaries of a UTF-8 text: offsets of each character plus the end.
std::vector<size_t> char_offsets(std::string_view s) {
    std::vector<size_t> out;
    size_t pos = 0;
    while (pos < s.size()) {
        out.push_back(pos);
        next_code_point(s, pos);
    }
    out.push_back(s.size());
    return out;
}

std::vector<char32_t> code_points(std::string_view s) {
    std::vector<char32_t> out;
    size_t pos = 0;
    while (pos < s.size()) out.push_back(next_code_point(s, pos));
    return out;
}

std::string from_code_points(const std::vector<char32_t>& cps, size_t from, size_t to) {
    std::string out;
    for (size_t i = from; i < to && i < cps.size(); ++i) append_utf8(out, cps[i]);
    return out;
}

// ---- character functions -----------------------------------------------------------------

value f_upper(std::vector<value>& a) {
    return value::of_text(utf8_upper(a[0].bytes));
}
value f_lower(std::vector<value>& a) {
    return value::of_text(utf8_lower(a[0].bytes));
}
value f_initcap(std::vector<value>& a) {
    std::string out;
    bool start = true;
    size_t pos = 0;
    std::string_view s = a[0].bytes;
    while (pos < s.size()) {
        char32_t cp = next_code_point(s, pos);
        bool alnum = is_letter(cp) || (cp >= '0' && cp <= '9');
        append_utf8(out, alnum ? (start ? to_upper(cp) : to_lower(cp)) : cp);
        start = !alnum;
    }
    return value::of_text(out);
}
value f_length(std::vector<value>& a) {
    if (a[0].kind == value_kind::raw)
        return value::of_int(static_cast<int64_t>(a[0].bytes.size()));
    return value::of_int(static_cast<int64_t>(utf8_length(as_text(a[0]))));
}
value f_lengthb(std::vector<value>& a) {
    return value::of_int(static_cast<int64_t>(a[0].bytes.size()));
}

value f_substr(std::vector<value>& a) {
    if (a[0].kind == value_kind::raw) {  // DBMS_LOB-like byte substring of a BLOB
        const std::string& b = a[0].bytes;
        int64_t pos = to_int(a[1]);
        if (pos == 0)
            pos = 1;
        if (pos < 0)
            pos = static_cast<int64_t>(b.size()) + pos + 1;
        if (pos < 1 || pos > static_cast<int64_t>(b.size()))
            return value::null();
        int64_t len = a.size() > 2 ? to_int(a[2]) : static_cast<int64_t>(b.size());
        if (len < 1)
            return value::null();
        return value::of_raw(b.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(len)));
    }
    std::vector<size_t> offs = char_offsets(a[0].bytes);
    int64_t chars = static_cast<int64_t>(offs.size()) - 1;
    int64_t pos = to_int(a[1]);
    if (pos == 0)
        pos = 1;
    if (pos < 0)
        pos = chars + pos + 1;
    if (pos < 1 || pos > chars)
        return value::null();
    int64_t len = a.size() > 2 ? to_int(a[2]) : chars;
    if (len < 1)
        return value::null();
    int64_t end = std::min(chars, pos - 1 + len);
    return value::of_text(
        a[0].bytes.substr(offs[static_cast<size_t>(pos - 1)],
                          offs[static_cast<size_t>(end)] - offs[static_cast<size_t>(pos - 1)]));
}

value f_instr(std::vector<value>& a) {
    std::vector<char32_t> s = code_points(a[0].bytes);
    std::vector<char32_t> sub = code_points(a[1].bytes);
    int64_t pos = a.size() > 2 ? to_int(a[2]) : 1;
    int64_t occ = a.size() > 3 ? to_int(a[3]) : 1;
    if (pos == 0 || occ < 1) {
        if (occ < 1)
            throw ora_error(1428, {std::to_string(occ)});
        return value::of_int(0);
    }
    int64_t n = static_cast<int64_t>(s.size());
    int64_t m = static_cast<int64_t>(sub.size());
    auto matches = [&](int64_t i) {
        return i >= 0 && i + m <= n && std::equal(sub.begin(), sub.end(), s.begin() + i);
    };
    if (pos > 0) {
        for (int64_t i = pos - 1; i + m <= n; ++i) {
            if (matches(i) && --occ == 0)
                return value::of_int(i + 1);
        }
    } else {
        for (int64_t i = n + pos - m + 1; i >= 0; --i) {
            if (i + m > n)
                continue;
            if (matches(i) && --occ == 0)
                return value::of_int(i + 1);
        }
    }
    return value::of_int(0);
}

value f_concat(std::vector<value>& a) {
    bool lob = false;
    std::string out;
    for (const value& v : a) {
        if (v.lob && v.kind == value_kind::text)
            lob = true;
        out += as_text(v);
    }
    if (lob)
        return value::of_lob(out, true);
    if (out.size() > 4000)
        throw ora_error(1489);
    return value::of_text(out);
}

value trim_impl(std::vector<value>& a, bool left, bool right) {
    std::vector<char32_t> s = code_points(a[0].bytes);
    std::vector<char32_t> set = a.size() > 1 ? code_points(a[1].bytes) : std::vector<char32_t>{' '};
    auto in_set = [&](char32_t c) { return std::find(set.begin(), set.end(), c) != set.end(); };
    size_t from = 0;
    size_t to = s.size();
    while (left && from < to && in_set(s[from])) ++from;
    while (right && to > from && in_set(s[to - 1])) --to;
    return value::of_text(from_code_points(s, from, to));
}
value f_trim(std::vector<value>& a) {
    if (a.size() > 1 && utf8_length(a[1].bytes) != 1)
        throw ora_error(30001);
    return trim_impl(a, true, true);
}
value f_ltrim(std::vector<value>& a) {
    return trim_impl(a, true, false);
}
value f_rtrim(std::vector<value>& a) {
    return trim_impl(a, false, true);
}

value f_replace(std::vector<value>& a) {
    if (a[0].is_null())
        return value::null();
    std::string s = a[0].bytes;
    if (a.size() < 2 || a[1].is_null())
        return a[0];
    std::string from = a[1].bytes;
    if (from.empty())  // an empty LOB: nothing to look for (and no end to finding it)
        return a[0];
    std::string to = a.size() > 2 && !a[2].is_null() ? a[2].bytes : "";
    std::string out;
    size_t pos = 0;
    while (true) {
        size_t hit = s.find(from, pos);
        if (hit == std::string::npos)
            break;
        out.append(s, pos, hit - pos);
        out += to;
        pos = hit + from.size();
    }
    out.append(s, pos, std::string::npos);
    return value::of_text(out);
}

value pad_impl(std::vector<value>& a, bool left) {
    int64_t n = to_int(a[1]);
    if (n <= 0)
        return value::null();
    std::vector<char32_t> s = code_points(a[0].bytes);
    // A character result holds at most 4000 bytes: a longer padding is cut there, as Oracle
    // does, rather than built in full. A LOB result may grow to 16M characters.
    const bool lob = a[0].lob;
    n = std::min<int64_t>(n, lob ? std::max<size_t>(s.size(), size_t{1} << 24) : k_max_text_bytes);
    std::vector<char32_t> pad = a.size() > 2 ? code_points(a[2].bytes) : std::vector<char32_t>{' '};
    if (pad.empty())
        return value::null();
    if (static_cast<int64_t>(s.size()) >= n) {
        return value::of_text(from_code_points(s, 0, static_cast<size_t>(n)));
    }
    std::vector<char32_t> fill;
    while (static_cast<int64_t>(fill.size() + s.size()) < n) {
        fill.push_back(pad[fill.size() % pad.size()]);
    }
    std::vector<char32_t> out = left ? fill : s;
    const std::vector<char32_t>& tail = left ? s : fill;
    out.insert(out.end(), tail.begin(), tail.end());
    std::string text = from_code_points(out, 0, out.size());
    if (!lob && text.size() > k_max_text_bytes) {
        size_t cut = k_max_text_bytes;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
    return value::of_text(std::move(text));
}
value f_lpad(std::vector<value>& a) {
    return pad_impl(a, true);
}
value f_rpad(std::vector<value>& a) {
    return pad_impl(a, false);
}

value f_ascii(std::vector<value>& a) {
    size_t pos = 0;
    return value::of_int(next_code_point(a[0].bytes, pos));
}
value f_chr(std::vector<value>& a) {
    int64_t c = to_int(a[0]);
    if (c < 0 || c > 0x10FFFF)
        return value::null();
    std::string out;
    append_utf8(out, static_cast<char32_t>(c));
    return value::of_text(out);
}

// ---- NULL handling and choice --------------------------------------------------------------

value f_nvl(std::vector<value>& a) {
    return a[0].is_null() ? a[1] : a[0];
}
value f_nvl2(std::vector<value>& a) {
    return a[0].is_null() ? a[2] : a[1];
}
value f_coalesce(std::vector<value>& a) {
    for (const value& v : a) {
        if (!v.is_null())
            return v;
    }
    return value::null();
}
value f_nullif(std::vector<value>& a) {
    if (!a[0].is_null() && !a[1].is_null() && compare_values(a[0], a[1]) == 0) {
        return value::null();
    }
    return a[0];
}
value f_decode(std::vector<value>& a) {
    size_t i = 1;
    for (; i + 1 < a.size(); i += 2) {
        bool both_null = a[0].is_null() && a[i].is_null();
        bool equal = !a[0].is_null() && !a[i].is_null() && compare_values(a[0], a[i]) == 0;
        if (both_null || equal)
            return a[i + 1];
    }
    return i < a.size() ? a[i] : value::null();
}
value f_greatest(std::vector<value>& a) {
    value best = a[0];
    for (size_t i = 1; i < a.size(); ++i) {
        if (compare_values(best, a[i]) < 0)
            best = convert_to(a[i], type_of_value(a[0]));
    }
    return best;
}
value f_least(std::vector<value>& a) {
    value best = a[0];
    for (size_t i = 1; i < a.size(); ++i) {
        if (compare_values(best, a[i]) > 0)
            best = convert_to(a[i], type_of_value(a[0]));
    }
    return best;
}

// ---- conversions ---------------------------------------------------------------------------

// TO_CHAR(number, format): digits 9 and 0, D or '.', G or ',', leading FM, S, $, trailing MI,
// and X for hexadecimal.
std::string format_number(const decimal& d, std::string_view fmt) {
    std::string f;
    for (char c : fmt) f.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    bool fm = false;
    if (f.rfind("FM", 0) == 0) {
        fm = true;
        f.erase(0, 2);
    }
    if (!f.empty() && f.find_first_not_of('X') == std::string::npos) {
        decimal r = d.rounded(0);
        auto i = r.to_int64();
        if (!i || *i < 0)
            return std::string(f.size() + 1, '#');
        char buf[32];
        std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(*i));
        std::string s = buf;
        if (s.size() > f.size())
            return std::string(f.size() + 1, '#');
        return fm ? s : std::string(f.size() + 1 - s.size(), ' ') + s;
    }
    bool sign_front = false, sign_back = false, minus_back = false, dollar = false;
    if (!f.empty() && f[0] == 'S') {
        sign_front = true;
        f.erase(0, 1);
    }
    if (!f.empty() && f[0] == '$') {
        dollar = true;
        f.erase(0, 1);
    }
    if (f.size() >= 2 && f.compare(f.size() - 2, 2, "MI") == 0) {
        minus_back = true;
        f.resize(f.size() - 2);
    } else if (!f.empty() && f.back() == 'S') {
        sign_back = true;
        f.pop_back();
    }
    size_t point = f.find_first_of(".D");
    std::string int_part = f.substr(0, point);
    std::string frac_part = point == std::string::npos ? "" : f.substr(point + 1);
    if (int_part.find_first_not_of("90,G") != std::string::npos ||
        frac_part.find_first_not_of("90") != std::string::npos) {
        throw ora_error(1481);
    }
    int frac_digits = static_cast<int>(frac_part.size());
    decimal r = d.rounded(frac_digits).abs();
    std::string digits = r.truncated(0).to_string();
    int int_slots = static_cast<int>(std::count_if(int_part.begin(), int_part.end(),
                                                   [](char c) { return c == '9' || c == '0'; }));
    if (digits == "0") {
        size_t zero = int_part.find('0');
        digits = (zero != std::string::npos || frac_digits == 0) ? "0" : "";
    }
    if (static_cast<int>(digits.size()) > int_slots) {
        return std::string(f.size() + 1 + (dollar ? 1 : 0), '#');
    }
    // Leading zeros from the first '0' of the pattern.
    size_t first_zero = int_part.find('0');
    int forced = 0;
    if (first_zero != std::string::npos) {
        forced = static_cast<int>(std::count_if(int_part.begin() + static_cast<long>(first_zero),
                                                int_part.end(),
                                                [](char c) { return c == '9' || c == '0'; }));
    }
    while (static_cast<int>(digits.size()) < forced) digits.insert(0, "0");
    // Lay the digits into the pattern from the right.
    std::string body;
    int di = static_cast<int>(digits.size()) - 1;
    for (int i = static_cast<int>(int_part.size()) - 1; i >= 0; --i) {
        char c = int_part[static_cast<size_t>(i)];
        if (c == ',' || c == 'G') {
            if (di >= 0)
                body.insert(0, ",");
            continue;
        }
        if (di >= 0)
            body.insert(0, 1, digits[static_cast<size_t>(di--)]);
    }
    if (point != std::string::npos) {
        std::string frac = r.to_string();
        size_t dot = frac.find('.');
        std::string fd = dot == std::string::npos ? "" : frac.substr(dot + 1);
        fd.resize(static_cast<size_t>(frac_digits), '0');
        body += "." + fd;
    }
    bool negative = d.rounded(frac_digits).is_negative();
    std::string out;
    if (dollar)
        body.insert(0, "$");
    if (sign_front) {
        out = (negative ? "-" : "+") + body;
    } else if (sign_back) {
        out = body + (negative ? "-" : "+");
    } else if (minus_back) {
        out = body + (negative ? "-" : (fm ? "" : " "));
    } else {
        out = (negative ? "-" : "") + body;
    }
    if (!fm) {
        size_t width = f.size() + 1 + (dollar ? 1 : 0) + (minus_back ? 2 : 0);
        if (sign_front || sign_back)
            width = f.size() + 1 + (dollar ? 1 : 0);
        if (out.size() < width)
            out.insert(0, width - out.size(), ' ');
    }
    return out;
}

value f_to_char(std::vector<value>& a) {
    const value& v = a[0];
    bool has_format = a.size() > 1;
    if (has_format && a[1].is_null())
        return value::null();
    switch (v.kind) {
        case value_kind::number:
            if (!has_format)
                return value::of_text(as_text(v));
            return value::of_text(format_number(v.number, as_text(a[1])));
        case value_kind::date:
        case value_kind::timestamp:
            if (!has_format)
                return value::of_text(as_text(v));
            return value::of_text(format_datetime(v.time, as_text(a[1])));
        default:
            return value::of_text(as_text(v));
    }
}

value f_to_number(std::vector<value>& a) {
    std::string s = as_text(a[0]);
    if (a.size() > 1) {
        std::string cleaned;
        for (char c : s) {
            if (c != ',' && c != '$' && c != ' ')
                cleaned.push_back(c);
        }
        s = cleaned;
    }
    auto d = decimal::parse(a.size() > 1 ? s : delocalized_number(s));
    if (!d)
        throw ora_error(1722);
    return value::of_number(*d);
}

// TO_DATE and TO_TIMESTAMP of a text with the format given or the session's: the texts are
// read where they stand (one call per row of a bulk load).
datetime parsed_moment(std::vector<value>& a, const std::string& session_format) {
    std::string text_copy;
    std::string format_copy;
    std::string_view text =
        a[0].kind == value_kind::text ? std::string_view(a[0].bytes) : (text_copy = as_text(a[0]));
    std::string_view format = a.size() < 2                    ? std::string_view(session_format)
                              : a[1].kind == value_kind::text ? std::string_view(a[1].bytes)
                                                              : (format_copy = as_text(a[1]));
    return parse_datetime(text, format);
}

value f_to_date(std::vector<value>& a) {
    if (a[0].kind == value_kind::date || a[0].kind == value_kind::timestamp) {
        if (a.size() < 2)
            return value::of_date(a[0].time);
    }
    return value::of_date(parsed_moment(a, current_nls().date_format));
}

value f_to_timestamp(std::vector<value>& a) {
    if (a[0].kind == value_kind::date || a[0].kind == value_kind::timestamp) {
        if (a.size() < 2)
            return value::of_timestamp(a[0].time);
    }
    return value::of_timestamp(parsed_moment(a, current_nls().timestamp_format));
}

value f_to_dsinterval(std::vector<value>& a) {
    return value::of_interval(parse_dsinterval(as_text(a[0])));
}

value f_numtodsinterval(std::vector<value>& a) {
    return value::of_interval(interval_from_number(as_number(a[0]), as_text(a[1])));
}

// INTERVAL 'text' qualifier; the parser writes the qualifier as four numbers.
value f_interval_literal(std::vector<value>& a) {
    interval_qualifier q;
    int leading = 0, trailing = 0;
    std::sscanf(as_text(a[1]).c_str(), "%d %d %d %d", &leading, &trailing, &q.lead, &q.fraction);
    q.leading = static_cast<interval_field>(leading);
    q.trailing = static_cast<interval_field>(trailing);
    return value::of_interval(parse_interval_literal(as_text(a[0]), q));
}

value f_to_clob(std::vector<value>& a) {
    return value::of_lob(as_text(a[0]), true);
}
value f_hextoraw(std::vector<value>& a) {
    return value::of_raw(as_raw(a[0]));
}
value f_rawtohex(std::vector<value>& a) {
    if (a[0].kind == value_kind::text)
        return value::of_text(hex_upper(a[0].bytes));
    return value::of_text(hex_upper(as_raw(a[0])));
}
value f_empty_clob(std::vector<value>&) {
    return value::of_lob("", true);
}
value f_empty_blob(std::vector<value>&) {
    return value::of_lob("", false);
}

value f_lob_length(std::vector<value>& a) {
    if (a[0].kind == value_kind::text) {
        return value::of_int(static_cast<int64_t>(utf16_length(a[0].bytes)));
    }
    return value::of_int(static_cast<int64_t>(a[0].bytes.size()));
}

value f_lob_substr(std::vector<value>& a) {
    int64_t amount = a.size() > 1 ? to_int(a[1]) : 32767;
    int64_t offset = a.size() > 2 ? to_int(a[2]) : 1;
    if (amount < 1 || offset < 1)
        return value::null();
    if (a[0].kind == value_kind::raw) {
        if (offset > static_cast<int64_t>(a[0].bytes.size()))
            return value::null();
        return value::of_raw(
            a[0].bytes.substr(static_cast<size_t>(offset - 1), static_cast<size_t>(amount)));
    }
    std::string_view s = a[0].bytes;
    size_t from = utf8_offset_of_utf16_unit(s, static_cast<size_t>(offset - 1));
    size_t to = utf8_offset_of_utf16_unit(s, static_cast<size_t>(offset - 1 + amount));
    return value::of_text(std::string(s.substr(from, to - from)));
}

// ---- numbers -------------------------------------------------------------------------------

datetime truncate_date(const datetime& d, std::string fmt) {
    for (char& c : fmt) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    datetime out = d;
    out.nanos = 0;
    if (fmt == "DD" || fmt == "DDD" || fmt == "J") {
        out.hour = out.minute = out.second = 0;
    } else if (fmt == "MM" || fmt == "MON" || fmt == "MONTH" || fmt == "RM") {
        out.day = 1;
        out.hour = out.minute = out.second = 0;
    } else if (fmt == "YYYY" || fmt == "YEAR" || fmt == "Y" || fmt == "YY" || fmt == "YYY" ||
               fmt == "SYYYY" || fmt == "RRRR" || fmt == "RR") {
        out.month = out.day = 1;
        out.hour = out.minute = out.second = 0;
    } else if (fmt == "HH" || fmt == "HH24" || fmt == "HH12") {
        out.minute = out.second = 0;
    } else if (fmt == "MI") {
        out.second = 0;
    } else if (fmt == "Q") {
        out.month = (out.month - 1) / 3 * 3 + 1;
        out.day = 1;
        out.hour = out.minute = out.second = 0;
    } else {
        throw ora_error(1898);
    }
    return out;
}

value f_round(std::vector<value>& a) {
    if (a[0].kind == value_kind::date || a[0].kind == value_kind::timestamp) {
        datetime d = a[0].time;
        if (a.size() > 1 && as_text(a[1]) != "DD") {
            return value::of_date(truncate_date(d, as_text(a[1])));
        }
        datetime t = truncate_date(d, "DD");
        if (d.hour >= 12)
            t = t.plus_days(decimal::from_int(1));
        return value::of_date(t);
    }
    int scale = a.size() > 1 ? static_cast<int>(std::clamp<int64_t>(to_int(a[1]), -200, 200)) : 0;
    return value::of_number(as_number(a[0]).rounded(scale));
}

value f_trunc(std::vector<value>& a) {
    if (a[0].kind == value_kind::date || a[0].kind == value_kind::timestamp) {
        std::string fmt = a.size() > 1 ? as_text(a[1]) : "DD";
        return value::of_date(truncate_date(a[0].time, fmt));
    }
    int scale = a.size() > 1 ? static_cast<int>(std::clamp<int64_t>(to_int(a[1]), -200, 200)) : 0;
    return value::of_number(as_number(a[0]).truncated(scale));
}

value f_abs(std::vector<value>& a) {
    return value::of_number(a[0].number.abs());
}
value f_ceil(std::vector<value>& a) {
    return value::of_number(a[0].number.ceil());
}
value f_floor(std::vector<value>& a) {
    return value::of_number(a[0].number.floor());
}
value f_sign(std::vector<value>& a) {
    return value::of_int(a[0].number.is_zero() ? 0 : (a[0].number.is_negative() ? -1 : 1));
}
value f_mod(std::vector<value>& a) {
    return value::of_number(decimal::modulo(a[0].number, a[1].number));
}

value from_double_result(double x) {
    auto d = decimal::from_double(x);
    if (!d)
        throw ora_error(1426);
    return value::of_number(*d);
}

value f_power(std::vector<value>& a) {
    const decimal& e = a[1].number;
    if (e.is_integer()) {
        auto n = e.to_int64();
        if (n && *n >= -1000 && *n <= 1000) {
            return value::of_number(decimal::power(a[0].number, static_cast<int>(*n)));
        }
    }
    return from_double_result(std::pow(a[0].number.to_double(), e.to_double()));
}
value f_sqrt(std::vector<value>& a) {
    if (a[0].number.is_negative())
        throw ora_error(1428, {a[0].number.to_string()});
    return from_double_result(std::sqrt(a[0].number.to_double()));
}
value f_exp(std::vector<value>& a) {
    return from_double_result(std::exp(a[0].number.to_double()));
}
value f_ln(std::vector<value>& a) {
    if (a[0].number.is_negative() || a[0].number.is_zero()) {
        throw ora_error(1428, {a[0].number.to_string()});
    }
    return from_double_result(std::log(a[0].number.to_double()));
}
value f_log(std::vector<value>& a) {
    double b = a[0].number.to_double();
    double x = a[1].number.to_double();
    if (b <= 0 || b == 1 || x <= 0)
        throw ora_error(1428, {a[1].number.to_string()});
    return from_double_result(std::log(x) / std::log(b));
}

// ---- dates ---------------------------------------------------------------------------------

value f_add_months(std::vector<value>& a) {
    int64_t n = std::clamp<int64_t>(to_int(a[1]), -200000, 200000);
    return value::of_date(a[0].time.plus_months(static_cast<int>(n)));
}
value f_last_day(std::vector<value>& a) {
    datetime d = a[0].time;
    d.day = days_in_month(d.year, d.month);
    d.nanos = 0;
    return value::of_date(d);
}
value f_months_between(std::vector<value>& a) {
    const datetime& x = a[0].time;
    const datetime& y = a[1].time;
    int64_t months = (static_cast<int64_t>(x.year) * 12 + x.month) -
                     (static_cast<int64_t>(y.year) * 12 + y.month);
    bool x_last = x.day == days_in_month(x.year, x.month);
    bool y_last = y.day == days_in_month(y.year, y.month);
    if (x.day == y.day || (x_last && y_last))
        return value::of_int(months);
    int64_t sx = x.day * 86400 + x.hour * 3600 + x.minute * 60 + x.second;
    int64_t sy = y.day * 86400 + y.hour * 3600 + y.minute * 60 + y.second;
    decimal frac = decimal::divide(decimal::from_int(sx - sy), decimal::from_int(31 * 86400));
    return value::of_number(decimal::from_int(months) + frac);
}
value f_extract(std::vector<value>& a) {
    std::string field = as_text(a[0]);
    const value& v = a[1];
    if (v.is_null())
        return value::null();
    datetime d = as_datetime(v);
    if (field == "YEAR")
        return value::of_int(d.year);
    if (field == "MONTH")
        return value::of_int(d.month);
    if (field == "DAY")
        return value::of_int(d.day);
    if (field == "HOUR")
        return value::of_int(d.hour);
    if (field == "MINUTE")
        return value::of_int(d.minute);
    if (field == "SECOND") {
        return value::of_number(
            decimal::from_int(d.second) +
            decimal::divide(decimal::from_int(d.nanos), decimal::from_int(1000000000)));
    }
    throw ora_error(907);
}

// ---- operators -----------------------------------------------------------------------------

bool is_datetime(const value& v) {
    return v.kind == value_kind::date || v.kind == value_kind::timestamp;
}

bool is_interval(const value& v) {
    return v.kind == value_kind::interval;
}

// A date or timestamp moved by an interval, of the same kind as the one moved.
value moved(const value& d, const value& by, bool subtract) {
    datetime t = add_interval(d.time, by.span, subtract);
    return d.kind == value_kind::date ? value::of_date(t) : value::of_timestamp(t);
}

value op_plus(std::vector<value>& a) {
    if (is_interval(a[0]) && is_interval(a[1]))
        return value::of_interval(add_intervals(a[0].span, a[1].span, false));
    if (is_datetime(a[0]) && is_interval(a[1]))
        return moved(a[0], a[1], false);
    if (is_interval(a[0]) && is_datetime(a[1]))
        return moved(a[1], a[0], false);
    if (is_interval(a[0]) || is_interval(a[1]))
        throw ora_error(932, {"INTERVAL DAY TO SECOND", "NUMBER"});
    if (is_datetime(a[0]) && is_datetime(a[1]))
        throw ora_error(975);
    if (is_datetime(a[0]))
        return value::of_date(a[0].time.plus_days(as_number(a[1])));
    if (is_datetime(a[1]))
        return value::of_date(a[1].time.plus_days(as_number(a[0])));
    return value::of_number(as_number(a[0]) + as_number(a[1]));
}
value op_minus(std::vector<value>& a) {
    if (is_interval(a[0]) && is_interval(a[1]))
        return value::of_interval(add_intervals(a[0].span, a[1].span, true));
    if (is_datetime(a[0]) && is_interval(a[1]))
        return moved(a[0], a[1], true);
    if (is_interval(a[0]) || is_interval(a[1]))
        throw ora_error(932, {"INTERVAL DAY TO SECOND", kind_name(type_of_value(a[1]))});
    bool timestamps = a[0].kind == value_kind::timestamp || a[1].kind == value_kind::timestamp;
    if (is_datetime(a[0]) && is_datetime(a[1]) && timestamps)
        return value::of_interval(datetime_difference(a[0].time, a[1].time));
    if (is_datetime(a[0]) && is_datetime(a[1])) {
        return value::of_number(a[0].time.minus(a[1].time));
    }
    if (is_datetime(a[0])) {
        return value::of_date(a[0].time.plus_days(as_number(a[1]).negated()));
    }
    if (is_datetime(a[1]))
        throw ora_error(932, {"NUMBER", "DATE"});
    return value::of_number(as_number(a[0]) - as_number(a[1]));
}
value op_times(std::vector<value>& a) {
    return value::of_number(a[0].number * a[1].number);
}
value op_divide(std::vector<value>& a) {
    return value::of_number(decimal::divide(a[0].number, a[1].number));
}
value op_negate(std::vector<value>& a) {
    return value::of_number(a[0].number.negated());
}

// ---- the table -----------------------------------------------------------------------------

const function_def k_functions[] = {
    {"+", 2, 2, "*", true, r_plus, op_plus},
    {"-", 2, 2, "*", true, r_minus, op_minus},
    {"*", 2, 2, "N", true, r_number, op_times},
    {"/", 2, 2, "N", true, r_number, op_divide},
    {"NEG", 1, 1, "N", true, r_number, op_negate},
    {"||", 2, 2, "*", false, r_concat, f_concat},
    {"CONCAT", 2, 2, "*", false, r_concat, f_concat},
    {"UPPER", 1, 1, "T", true, r_text_like_first, f_upper},
    {"LOWER", 1, 1, "T", true, r_text_like_first, f_lower},
    {"INITCAP", 1, 1, "T", true, r_text_like_first, f_initcap},
    {"LENGTH", 1, 1, "*", true, r_number, f_length},
    {"LENGTHB", 1, 1, "T", true, r_number, f_lengthb},
    {"SUBSTR", 2, 3, "TN", true, r_substr, f_substr},
    {"INSTR", 2, 4, "TTN", true, r_number, f_instr},
    {"TRIM", 1, 2, "T", true, r_text_like_first, f_trim},
    {"LTRIM", 1, 2, "T", true, r_text_like_first, f_ltrim},
    {"RTRIM", 1, 2, "T", true, r_text_like_first, f_rtrim},
    {"REPLACE", 2, 3, "T", false, r_text_like_first, f_replace},
    {"LPAD", 2, 3, "TNT", true, r_text, f_lpad},
    {"RPAD", 2, 3, "TNT", true, r_text, f_rpad},
    {"ASCII", 1, 1, "T", true, r_number, f_ascii},
    {"CHR", 1, 1, "N", true, r_text, f_chr},
    {"NVL", 2, 2, "*", false, r_first, f_nvl},
    {"NVL2", 3, 3, "*", false, r_second, f_nvl2},
    {"COALESCE", 1, 255, "*", false, r_first, f_coalesce},
    {"NULLIF", 2, 2, "*", false, r_first, f_nullif},
    {"DECODE", 3, 255, "*", false, r_decode, f_decode},
    {"GREATEST", 1, 255, "*", true, r_first, f_greatest},
    {"LEAST", 1, 255, "*", true, r_first, f_least},
    {"TO_CHAR", 1, 3, "*T", true, r_text, f_to_char},
    {"TO_NUMBER", 1, 3, "T", true, r_number, f_to_number},
    {"TO_DATE", 1, 3, "*T", true, r_date, f_to_date},
    {"TO_TIMESTAMP", 1, 3, "*T", true, r_timestamp, f_to_timestamp},
    {"TO_DSINTERVAL", 1, 2, "T", true, r_interval, f_to_dsinterval},
    {"NUMTODSINTERVAL", 2, 2, "NT", true, r_interval, f_numtodsinterval},
    {"INTERVAL LITERAL", 2, 2, "T", true, r_interval, f_interval_literal},
    {"TO_CLOB", 1, 1, "*", true, r_clob, f_to_clob},
    {"HEXTORAW", 1, 1, "T", true, r_raw, f_hextoraw},
    {"RAWTOHEX", 1, 1, "*", true, r_text, f_rawtohex},
    {"EMPTY_CLOB", 0, 0, "*", false, r_clob, f_empty_clob},
    {"EMPTY_BLOB", 0, 0, "*", false, r_blob, f_empty_blob},
    {"ROUND", 1, 2, "*", true, r_number_or_date, f_round},
    {"TRUNC", 1, 2, "*", true, r_number_or_date, f_trunc},
    {"ABS", 1, 1, "N", true, r_number, f_abs},
    {"CEIL", 1, 1, "N", true, r_number, f_ceil},
    {"FLOOR", 1, 1, "N", true, r_number, f_floor},
    {"SIGN", 1, 1, "N", true, r_number, f_sign},
    {"MOD", 2, 2, "N", true, r_number, f_mod},
    {"POWER", 2, 2, "N", true, r_number, f_power},
    {"SQRT", 1, 1, "N", true, r_number, f_sqrt},
    {"EXP", 1, 1, "N", true, r_number, f_exp},
    {"LN", 1, 1, "N", true, r_number, f_ln},
    {"LOG", 2, 2, "N", true, r_number, f_log},
    {"ADD_MONTHS", 2, 2, "DN", true, r_date, f_add_months},
    {"LAST_DAY", 1, 1, "D", true, r_date, f_last_day},
    {"MONTHS_BETWEEN", 2, 2, "D", true, r_number, f_months_between},
    {"EXTRACT", 2, 2, "T*", false, r_number, f_extract},
    {"DBMS_LOB.GETLENGTH", 1, 1, "*", true, r_number, f_lob_length},
    {"DBMS_LOB.SUBSTR", 1, 3, "*N", true, r_substr, f_lob_substr},
};

value convert_argument(const value& v, char kind) {
    if (v.is_null())
        return v;
    switch (kind) {
        case 'N':
            if (v.kind == value_kind::number)
                return v;
            return value::of_number(as_number(v));
        case 'T':
            if (v.kind == value_kind::text)
                return v;
            return value::of_text(as_text(v));
        case 'D':
            if (v.kind == value_kind::date || v.kind == value_kind::timestamp)
                return v;
            return value::of_date(as_datetime(v));
        case 'R':
            if (v.kind == value_kind::raw)
                return v;
            return value::of_raw(as_raw(v));
        default:
            return v;
    }
}

}  // namespace

const function_def& find_function(std::string_view name, size_t arg_count, int error_pos) {
    for (const function_def& f : k_functions) {
        if (name == f.name) {
            if (static_cast<int>(arg_count) < f.min_args ||
                static_cast<int>(arg_count) > f.max_args) {
                throw ora_error(909).at(error_pos);
            }
            return f;
        }
    }
    throw ora_error(904, {"\"" + std::string(name) + "\""}).at(error_pos);
}

const function_def& function_by_id(int id) {
    if (id < 0 || id >= static_cast<int>(std::size(k_functions))) {
        throw ora_error(904, {"\"?\""});
    }
    return k_functions[id];
}

int function_id(const function_def& f) {
    return static_cast<int>(&f - k_functions);
}

const function_def& operator_function(std::string_view op) {
    return find_function(op, op == "NEG" ? 1 : 2, 0);
}

const function_def& operator_function(expr_kind kind) {
    switch (kind) {
        case expr_kind::add:
            return operator_function("+");
        case expr_kind::subtract:
            return operator_function("-");
        case expr_kind::multiply:
            return operator_function("*");
        case expr_kind::divide:
            return operator_function("/");
        case expr_kind::negate:
            return operator_function("NEG");
        default:
            return operator_function("||");
    }
}

value call_function(const function_def& f, std::vector<value>& args) {
    size_t n = std::strlen(f.conversions);
    for (size_t i = 0; i < args.size(); ++i) {
        char kind = f.conversions[std::min(i, n - 1)];
        if (f.null_propagates && args[i].is_null())
            return value::null();
        args[i] = convert_argument(args[i], kind);
    }
    return f.eval(args);
}

bool is_aggregate_name(std::string_view name) {
    return name == "COUNT" || name == "SUM" || name == "AVG" || name == "MIN" || name == "MAX";
}

}  // namespace oralite

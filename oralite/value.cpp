#include "oralite/value.h"

#include <cmath>
#include <cstdio>

#include "oralite/nls.h"
#include "oralite/ora_error.h"
#include "oralite/unicode.h"

namespace oralite {

storage_kind column_type::storage() const {
    switch (code) {
        case type_code::number:
        case type_code::binary_float:
        case type_code::binary_double:
            return storage_kind::number;
        case type_code::varchar2:
        case type_code::nvarchar2:
        case type_code::char_:
        case type_code::nchar:
        case type_code::long_:
        case type_code::clob:
        case type_code::nclob:
            return storage_kind::text;
        case type_code::raw:
        case type_code::long_raw:
        case type_code::blob:
            return storage_kind::blob;
        case type_code::date:
            return storage_kind::date;
        case type_code::timestamp:
            return storage_kind::timestamp;
        case type_code::interval_ds:
            return storage_kind::interval;
        case type_code::rowid:
            return storage_kind::rowid;
        case type_code::none:
        case type_code::boolean:
            break;
    }
    return storage_kind::any;
}

std::string column_type::dictionary_name() const {
    switch (code) {
        case type_code::number:
            return is_float ? "FLOAT" : "NUMBER";
        case type_code::binary_float:
            return "BINARY_FLOAT";
        case type_code::binary_double:
            return "BINARY_DOUBLE";
        case type_code::varchar2:
            return "VARCHAR2";
        case type_code::nvarchar2:
            return "NVARCHAR2";
        case type_code::char_:
            return "CHAR";
        case type_code::nchar:
            return "NCHAR";
        case type_code::long_:
            return "LONG";
        case type_code::clob:
            return "CLOB";
        case type_code::nclob:
            return "NCLOB";
        case type_code::raw:
            return "RAW";
        case type_code::long_raw:
            return "LONG RAW";
        case type_code::blob:
            return "BLOB";
        case type_code::date:
            return "DATE";
        case type_code::timestamp:
            return "TIMESTAMP(" + std::to_string(fraction) + ")";
        case type_code::interval_ds:
            return "INTERVAL DAY(" + std::to_string(precision) + ") TO SECOND(" +
                   std::to_string(fraction) + ")";
        case type_code::rowid:
            return "ROWID";
        case type_code::none:
        case type_code::boolean:
            break;
    }
    return "UNDEFINED";
}

namespace {
int character_bytes(const column_type& t) {
    if (t.code == type_code::nvarchar2 || t.code == type_code::nchar) {
        return t.length * 2;
    }
    if (t.char_semantics) {
        return std::min(t.length * 4,
                        t.code == type_code::char_ ? 2000 : current_nls().max_string_bytes);
    }
    return t.length;
}
}  // namespace

int column_type::data_length() const {
    switch (code) {
        case type_code::number:
            return 22;
        case type_code::binary_float:
            return 4;
        case type_code::binary_double:
            return 8;
        case type_code::varchar2:
        case type_code::nvarchar2:
        case type_code::char_:
        case type_code::nchar:
            return character_bytes(*this);
        case type_code::clob:
        case type_code::nclob:
        case type_code::blob:
            return 4000;
        case type_code::raw:
            return length;
        case type_code::date:
            return 7;
        case type_code::timestamp:
        case type_code::interval_ds:
            return 11;
        case type_code::rowid:
            return 10;
        default:
            return 0;
    }
}

int column_type::dictionary_precision() const {
    if (code == type_code::number && precision > 0 && !integer_alias)
        return precision;
    if (code == type_code::interval_ds)
        return precision;
    return -1;
}

int column_type::dictionary_scale() const {
    if (code == type_code::number && !is_float && scale != k_no_scale)
        return scale;
    if (code == type_code::timestamp || code == type_code::interval_ds)
        return fraction;
    return -1;
}

int column_type::char_length() const {
    switch (code) {
        case type_code::varchar2:
        case type_code::nvarchar2:
        case type_code::char_:
        case type_code::nchar:
            return length;
        default:
            return 0;
    }
}

std::string column_type::char_used() const {
    switch (code) {
        case type_code::varchar2:
        case type_code::char_:
            return char_semantics ? "C" : "B";
        case type_code::nvarchar2:
        case type_code::nchar:
            return "C";
        default:
            return "";
    }
}

std::string column_type::ddl_text() const {
    switch (code) {
        case type_code::number:
            if (is_float)
                return "FLOAT(" + std::to_string(precision) + ")";
            if (integer_alias)
                return "NUMBER(*,0)";
            if (precision < 0)
                return "NUMBER";
            return "NUMBER(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
        case type_code::varchar2:
        case type_code::char_:
            return dictionary_name() + "(" + std::to_string(length) +
                   (char_semantics ? " CHAR)" : " BYTE)");
        case type_code::nvarchar2:
        case type_code::nchar:
        case type_code::raw:
            return dictionary_name() + "(" + std::to_string(length) + ")";
        default:
            return dictionary_name();
    }
}

int column_type::oci_type() const {
    switch (code) {
        case type_code::number:
            return 2;
        case type_code::binary_float:
            return 100;
        case type_code::binary_double:
            return 101;
        case type_code::varchar2:
        case type_code::nvarchar2:
            return 1;
        case type_code::char_:
        case type_code::nchar:
            return 96;
        case type_code::long_:
            return 8;
        case type_code::clob:
        case type_code::nclob:
            return 112;
        case type_code::raw:
            return 23;
        case type_code::long_raw:
            return 24;
        case type_code::blob:
            return 113;
        case type_code::date:
            return 12;
        case type_code::timestamp:
            return 187;
        case type_code::interval_ds:
            return 190;
        case type_code::rowid:
            return 104;
        case type_code::none:
            return 1;
        case type_code::boolean:
            return 252;
    }
    return 1;
}

int column_type::oci_size() const {
    if (code == type_code::none)
        return 0;
    return data_length();
}

int column_type::oci_precision() const {
    if (code == type_code::interval_ds)
        return precision;
    if (code != type_code::number)
        return 0;
    if (integer_alias)
        return 38;
    return precision > 0 ? precision : 0;
}

int column_type::oci_scale() const {
    if (code == type_code::number) {
        if (is_float || scale == k_no_scale)
            return -127;
        return scale;
    }
    if (code == type_code::timestamp || code == type_code::interval_ds)
        return fraction;
    return 0;
}

int column_type::charset_form() const {
    if (code == type_code::nvarchar2 || code == type_code::nchar || code == type_code::nclob) {
        return 2;
    }
    return is_character() ? 1 : 0;
}

column_type column_type_from_declaration(const type_declaration& s) {
    column_type t;
    const std::string& n = s.name;
    auto check_length = [&](int max, int default_length) {
        if (s.length < 0) {
            t.length = default_length;
            return;
        }
        if (s.length == 0)
            throw ora_error(1723).at(s.pos);
        if (s.length > max)
            throw ora_error(910).at(s.pos);
        t.length = s.length;
    };
    if (n == "NUMBER") {
        t.code = type_code::number;
        if (s.integer_alias) {
            t.integer_alias = true;
            t.scale = 0;
        } else if (s.precision == -2) {
            t.precision = 38;
            t.scale = s.has_scale ? s.scale : 0;
        } else if (s.precision >= 0) {
            if (s.precision < 1 || s.precision > 38)
                throw ora_error(1727).at(s.pos);
            t.precision = s.precision;
            t.scale = s.has_scale ? s.scale : 0;
        } else if (s.has_scale) {
            t.scale = s.scale;  // NUMERIC / DECIMAL without precision
            t.precision = 38;
        }
        if (t.scale != column_type::k_no_scale && (t.scale < -84 || t.scale > 127)) {
            throw ora_error(1728).at(s.pos);
        }
    } else if (n == "FLOAT") {
        if (s.precision < 1 || s.precision > 126)
            throw ora_error(1724).at(s.pos);
        t.code = type_code::number;
        t.is_float = true;
        t.precision = s.precision;
    } else if (n == "BINARY_FLOAT") {
        t.code = type_code::binary_float;
    } else if (n == "BINARY_DOUBLE") {
        t.code = type_code::binary_double;
    } else if (n == "VARCHAR2") {
        t.code = type_code::varchar2;
        check_length(current_nls().max_string_bytes, 1);
        t.char_semantics = s.semantics == 2;
    } else if (n == "NVARCHAR2") {
        t.code = type_code::nvarchar2;
        check_length(current_nls().max_string_bytes / 2, 1);
        t.char_semantics = true;
    } else if (n == "CHAR") {
        t.code = type_code::char_;
        check_length(2000, 1);
        t.char_semantics = s.semantics == 2;
    } else if (n == "NCHAR") {
        t.code = type_code::nchar;
        check_length(1000, 1);
        t.char_semantics = true;
    } else if (n == "RAW") {
        t.code = type_code::raw;
        check_length(current_nls().max_raw_bytes, 1);
    } else if (n == "LONG") {
        t.code = type_code::long_;
    } else if (n == "LONG RAW") {
        t.code = type_code::long_raw;
    } else if (n == "DATE") {
        t.code = type_code::date;
    } else if (n == "TIMESTAMP") {
        if (s.scale < 0 || s.scale > 9)
            throw ora_error(30088).at(s.pos);
        t.code = type_code::timestamp;
        t.fraction = s.scale;
    } else if (n == "INTERVAL DAY TO SECOND") {
        if (s.precision < 0 || s.precision > 9 || s.scale < 0 || s.scale > 9)
            throw ora_error(30088).at(s.pos);
        t = column_type::interval(s.precision, s.scale);
    } else if (n == "CLOB") {
        t.code = type_code::clob;
    } else if (n == "NCLOB") {
        t.code = type_code::nclob;
    } else if (n == "BLOB") {
        t.code = type_code::blob;
    } else {
        throw ora_error(902).at(s.pos);
    }
    return t;
}

column_type type_of_value(const value& v) {
    switch (v.kind) {
        case value_kind::number:
            return column_type::of(type_code::number);
        case value_kind::text:
            return v.lob ? column_type::of(type_code::clob)
                         : column_type::varchar(static_cast<int>(v.bytes.size()));
        case value_kind::raw:
            if (v.lob)
                return column_type::of(type_code::blob);
            {
                column_type t = column_type::of(type_code::raw);
                t.length = static_cast<int>(v.bytes.size());
                return t;
            }
        case value_kind::date:
            return column_type::of(type_code::date);
        case value_kind::timestamp:
            return column_type::of(type_code::timestamp);
        case value_kind::interval:
            return column_type::interval(v.span.lead, v.span.fraction);
        case value_kind::null:
            break;
    }
    return column_type::of(type_code::none);
}

std::string kind_name(const column_type& t) {
    switch (t.code) {
        case type_code::number:
        case type_code::binary_float:
        case type_code::binary_double:
            return "NUMBER";
        case type_code::varchar2:
        case type_code::nvarchar2:
        case type_code::char_:
        case type_code::nchar:
            return "CHAR";
        case type_code::long_:
            return "LONG";
        case type_code::clob:
            return "CLOB";
        case type_code::nclob:
            return "NCLOB";
        case type_code::raw:
        case type_code::long_raw:
            return "BINARY";
        case type_code::blob:
            return "BLOB";
        case type_code::date:
            return "DATE";
        case type_code::timestamp:
            return "TIMESTAMP";
        case type_code::interval_ds:
            return "INTERVAL DAY TO SECOND";
        case type_code::rowid:
            return "ROWID";
        case type_code::boolean:
            return "BOOLEAN";
        case type_code::none:
            break;
    }
    return "-";
}

namespace {
[[noreturn]] void inconsistent(const char* expected, const value& got) {
    std::string name = kind_name(type_of_value(got));
    throw ora_error(932, {expected, name});
}
}  // namespace

decimal as_number(const value& v) {
    switch (v.kind) {
        case value_kind::number:
            return v.number;
        case value_kind::text: {
            // With '.' as the decimal character the text is read where it stands.
            auto d = current_nls().decimal == '.' ? decimal::parse(v.bytes)
                                                  : decimal::parse(delocalized_number(v.bytes));
            if (!d)
                throw ora_error(1722);
            return *d;
        }
        default:
            inconsistent("NUMBER", v);
    }
}

std::string as_text(const value& v) {
    switch (v.kind) {
        case value_kind::null:
            return "";
        case value_kind::number:
            return localized_number(v.number.to_oracle_string());
        case value_kind::text:
            return v.bytes;
        case value_kind::raw:
            return hex_upper(v.bytes);
        case value_kind::date:
            return format_datetime(v.time, current_nls().date_format);
        case value_kind::timestamp:
            return format_datetime(v.time, current_nls().timestamp_format);
        case value_kind::interval:
            return v.span.text();
    }
    return "";
}

datetime as_datetime(const value& v) {
    switch (v.kind) {
        case value_kind::date:
        case value_kind::timestamp:
            return v.time;
        case value_kind::text:
            return parse_datetime(v.bytes, current_nls().date_format);
        default:
            inconsistent("DATE", v);
    }
}

datetime as_timestamp(const value& v) {
    if (v.kind == value_kind::text)
        return parse_datetime(v.bytes, current_nls().timestamp_format);
    return as_datetime(v);
}

interval_ds as_interval(const value& v) {
    switch (v.kind) {
        case value_kind::interval:
            return v.span;
        case value_kind::text:
            return parse_dsinterval(v.bytes);
        default:
            inconsistent("INTERVAL DAY TO SECOND", v);
    }
}

std::string as_raw(const value& v) {
    switch (v.kind) {
        case value_kind::raw:
            return v.bytes;
        case value_kind::text: {
            std::string out;
            if (!hex_decode(v.bytes, out))
                throw ora_error(1465);
            return out;
        }
        default:
            inconsistent("BINARY", v);
    }
}

value convert_to(const value& v, const column_type& t) {
    if (v.is_null())
        return v;
    switch (t.storage()) {
        case storage_kind::number:
            return value::of_number(as_number(v));
        case storage_kind::text:
            if (t.is_lob()) {
                value out = value::of_lob(as_text(v), true);
                out.source = v.source;
                return out;
            }
            return value::of_text(as_text(v));
        case storage_kind::blob:
            if (t.is_lob()) {
                value out = value::of_lob(as_raw(v), false);
                out.source = v.source;
                return out;
            }
            return value::of_raw(as_raw(v));
        case storage_kind::date:
            return value::of_date(as_datetime(v));
        case storage_kind::timestamp:
            return value::of_timestamp(as_timestamp(v));
        case storage_kind::interval:
            return value::of_interval(as_interval(v));
        case storage_kind::rowid:
            return value::of_text(as_text(v));
        case storage_kind::any:
            break;
    }
    return v;
}

int compare_values(const value& a, const value& b) {
    switch (a.kind) {
        case value_kind::number:
            return a.number.compare(as_number(b));
        case value_kind::text: {
            std::string tb = as_text(b);
            int c = a.bytes.compare(tb);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        case value_kind::raw: {
            int c = a.bytes.compare(as_raw(b));
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        case value_kind::date:
        case value_kind::timestamp:
            return a.time.compare(as_datetime(b));
        case value_kind::interval:
            return a.span.compare(as_interval(b));
        case value_kind::null:
            break;
    }
    return 0;
}

namespace {

[[noreturn]] void too_large(std::string_view column, size_t actual, int maximum) {
    throw ora_error(12899, {column, std::to_string(actual), std::to_string(maximum)});
}

decimal round_significant(const decimal& d, int digits) {
    if (d.is_zero())
        return d;
    return d.rounded(digits - 1 - d.magnitude());
}

}  // namespace

bool is_long_bind(const value& v) {
    if (v.lob || v.source)
        return false;
    const nls_settings& limits = current_nls();
    return (v.kind == value_kind::text &&
            v.bytes.size() > static_cast<size_t>(limits.max_string_bytes)) ||
           (v.kind == value_kind::raw &&
            v.bytes.size() > static_cast<size_t>(limits.max_raw_bytes));
}

void check_bind_size(const value& v) {
    if (is_long_bind(v))
        throw ora_error(1461);
}

namespace {

// as_text and as_raw of a value that is given up: text or bytes already move.
std::string text_of(value&& v) {
    return v.kind == value_kind::text ? std::move(v.bytes) : as_text(v);
}

std::string raw_of(value&& v) {
    return v.kind == value_kind::raw ? std::move(v.bytes) : as_raw(v);
}

}  // namespace

value coerce_for_column(value v, const column_type& t, std::string_view column) {
    if (v.is_null())
        return v;
    switch (t.code) {
        case type_code::number: {
            decimal d = v.kind == value_kind::number ? std::move(v.number) : as_number(v);
            if (t.is_float) {
                int digits = static_cast<int>(std::ceil(t.precision * 0.30103));
                return value::of_number(round_significant(d, digits));
            }
            if (t.scale != column_type::k_no_scale) {
                d = d.rounded(t.scale);
            }
            if (t.precision > 0 && !d.is_zero()) {
                int scale = t.scale == column_type::k_no_scale ? 0 : t.scale;
                if (d.magnitude() >= t.precision - scale)
                    throw ora_error(1438);
            }
            return value::of_number(std::move(d));
        }
        case type_code::binary_float:
        case type_code::binary_double: {
            double x = as_number(v).to_double();
            if (t.code == type_code::binary_float)
                x = static_cast<float>(x);
            auto d = decimal::from_double(x);
            return d ? value::of_number(*d) : value::null();
        }
        case type_code::varchar2:
        case type_code::nvarchar2:
        case type_code::char_:
        case type_code::nchar: {
            std::string s = text_of(std::move(v));
            size_t chars = utf8_length(s);
            bool pad = t.code == type_code::char_ || t.code == type_code::nchar;
            if (t.char_semantics) {
                if (chars > static_cast<size_t>(t.length))
                    too_large(column, chars, t.length);
                if (pad)
                    s.append(static_cast<size_t>(t.length) - chars, ' ');
                int byte_cap = t.code == type_code::nchar || t.code == type_code::char_
                                   ? 2000
                                   : current_nls().max_string_bytes;
                if (s.size() > static_cast<size_t>(byte_cap) && t.code != type_code::nvarchar2 &&
                    t.code != type_code::nchar) {
                    too_large(column, s.size(), byte_cap);
                }
            } else {
                if (s.size() > static_cast<size_t>(t.length))
                    too_large(column, s.size(), t.length);
                if (pad)
                    s.append(static_cast<size_t>(t.length) - s.size(), ' ');
            }
            return value::of_text(std::move(s));
        }
        case type_code::long_:
            return value::of_text(text_of(std::move(v)));
        case type_code::clob:
        case type_code::nclob:
            return value::of_lob(text_of(std::move(v)), true);
        case type_code::raw: {
            std::string b = raw_of(std::move(v));
            if (b.size() > static_cast<size_t>(t.length))
                too_large(column, b.size(), t.length);
            return value::of_raw(std::move(b));
        }
        case type_code::long_raw:
            return value::of_raw(raw_of(std::move(v)));
        case type_code::blob:
            return value::of_lob(raw_of(std::move(v)), false);
        case type_code::date: {
            datetime d = as_datetime(v);
            d.nanos = 0;
            return value::of_date(d);
        }
        case type_code::timestamp:
            return value::of_timestamp(round_fraction(as_timestamp(v), t.fraction));
        case type_code::interval_ds:
            return value::of_interval(as_interval(v).fitted(t.precision, t.fraction));
        case type_code::rowid:
        case type_code::none:
        case type_code::boolean:
            break;
    }
    return v;
}

std::string display_text(const value& v) {
    switch (v.kind) {
        case value_kind::null:
            return "";
        case value_kind::number:
            return v.number.to_string();
        case value_kind::text:
            return v.bytes;
        case value_kind::raw:
            return hex_upper(v.bytes);
        case value_kind::date:
            return v.time.storage_text(false);
        case value_kind::timestamp: {
            std::string s = v.time.storage_text(true);
            if (v.time.nanos % 1000 == 0)
                s.resize(s.size() - 3);
            return s;
        }
        case value_kind::interval:
            return v.span.text();
    }
    return "";
}

}  // namespace oralite

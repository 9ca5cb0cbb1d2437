// The engine's NUMBER and DATE values: exact decimal arithmetic and Oracle's byte forms, date
// format models and day arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "oralite/datetime.h"
#include "oralite/decimal.h"
#include "oralite/evaluator.h"
#include "oralite/ora_error.h"
#include "oralite/unicode.h"

namespace {

using oralite::datetime;
using oralite::decimal;
using oralite::ora_error;

decimal d(const char* text) {
    auto v = decimal::parse(text);
    if (!v)
        throw std::invalid_argument(text);
    return *v;
}

int code_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const ora_error& e) {
        return e.code();
    }
    return 0;
}

TEST(decimal, parses_and_prints_canonical_text) {
    const std::pair<const char*, const char*> rows[] = {
        {"0", "0"},
        {"-0", "0"},
        {"007", "7"},
        {"1.50", "1.5"},
        {".5", "0.5"},
        {"-.25", "-0.25"},
        {"1e3", "1000"},
        {"1.0E28", "10000000000000000000000000000"},
        {"  42  ", "42"},
        {"+3", "3"},
        {"1.23e-5", "0.0000123"},
        {"100", "100"},
    };
    for (const auto& [in, out] : rows) {
        EXPECT_EQ(d(in).to_string(), out) << in;
    }
    EXPECT_EQ(d("0.5").to_oracle_string(), ".5");
    EXPECT_EQ(d("-0.5").to_oracle_string(), "-.5");
    for (const char* bad : {"", " ", "-", ".", "1e", "1.2.3", "abc", "1x", "e5", "1e+"}) {
        EXPECT_FALSE(decimal::parse(bad).has_value()) << bad;
    }
}

TEST(decimal, to_double_gives_the_double_strtod_reads) {
    // Within 15 digits and 10^22 a decimal becomes a double by one operation; past either
    // bound through the text. Both ways must give the double strtod gives the text.
    const char* const texts[] = {"0",
                                 "1",
                                 "-1",
                                 "0.1",
                                 "0.3",
                                 "123456789012345",
                                 "-999999999999999",
                                 "1e22",
                                 "1e23",
                                 "1e-22",
                                 "1e-23",
                                 "9.99999999999999e22",
                                 "1234567890123456",
                                 "0.125",
                                 "2.5e-8",
                                 "1e125",
                                 "1e-130",
                                 "3.14159265358979",
                                 "12345678901234.5",
                                 "4.35",
                                 "0.07",
                                 "9.99999999999999e125",
                                 "123456789012345e-22"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        auto d = decimal::parse(text);
        ASSERT_TRUE(d);
        const double expected = std::strtod(text, nullptr);
        const double got = d->to_double();
        EXPECT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << got << " vs " << expected;
    }
}

TEST(decimal, arithmetic_is_exact_to_forty_digits) {
    struct row {
        const char* a;
        char op;
        const char* b;
        const char* result;
    };
    const row rows[] = {
        {"0.1", '+', "0.2", "0.3"},
        {"1", '-', "0.0001", "0.9999"},
        {"-5", '+', "5", "0"},
        {"123456789012345678901234567890", '+', "1", "123456789012345678901234567891"},
        {"1.5", '*', "-2", "-3"},
        {"99999999999999999999", '*', "99999999999999999999",
         "9999999999999999999800000000000000000001"},
        {"1", '/', "3", "0.3333333333333333333333333333333333333333"},
        {"2", '/', "3", "0.6666666666666666666666666666666666666667"},
        {"10", '/', "4", "2.5"},
        {"-7", '/', "2", "-3.5"},
        {"1", '/', "8", "0.125"},
    };
    for (const row& r : rows) {
        decimal a = d(r.a), b = d(r.b);
        decimal x = r.op == '+'   ? a + b
                    : r.op == '-' ? a - b
                    : r.op == '*' ? a * b
                                  : decimal::divide(a, b);
        EXPECT_EQ(x.to_string(), r.result) << r.a << r.op << r.b;
    }
    EXPECT_EQ(code_of([] { decimal::divide(d("1"), d("0")); }), 1476);
    EXPECT_EQ(code_of([] { d("1e125") * d("10"); }), 1426);
    EXPECT_EQ((d("1e-129") * d("1e-5")).to_string(), "0");
    EXPECT_EQ(decimal::modulo(d("17"), d("5")).to_string(), "2");
    EXPECT_EQ(decimal::modulo(d("-17"), d("5")).to_string(), "-2");
    EXPECT_EQ(decimal::power(d("2"), -2).to_string(), "0.25");
}

TEST(decimal, rounding_and_truncation_at_any_scale) {
    struct row {
        const char* value;
        int scale;
        const char* rounded;
        const char* truncated;
    };
    const row rows[] = {
        {"2.567", 2, "2.57", "2.56"},   {"-2.5", 0, "-3", "-2"},      {"2.5", 0, "3", "2"},
        {"1234.5", -2, "1200", "1200"}, {"1250", -2, "1300", "1200"}, {"0.004", 2, "0", "0"},
        {"0.005", 2, "0.01", "0"},      {"9.99", 1, "10", "9.9"},     {"7", 3, "7", "7"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(d(r.value).rounded(r.scale).to_string(), r.rounded) << r.value << "," << r.scale;
        EXPECT_EQ(d(r.value).truncated(r.scale).to_string(), r.truncated)
            << r.value << "," << r.scale;
    }
    EXPECT_EQ(d("-1.1").floor().to_string(), "-2");
    EXPECT_EQ(d("1.1").ceil().to_string(), "2");
    EXPECT_EQ(d("123.45").magnitude(), 2);
    EXPECT_EQ(d("0.0012").magnitude(), -3);
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TEST(decimal, oracle_number_bytes_round_trip) {
    const std::pair<const char*, const char*> rows[] = {
        {"0", "80"},
        {"1", "C1 02"},
        {"100", "C2 02"},
        {"0.5", "C0 33"},
        {"-1", "3E 64 66"},
        {"123.45", "C2 02 18 2E"},
        {"-123.45", "3D 64 4E 38 66"},
        {"0.01", "C0 02"},
        {"10", "C1 0B"},
    };
    for (const auto& [value, bytes] : rows) {
        std::string encoded = d(value).to_oracle_bytes();
        EXPECT_EQ(hex(encoded), bytes) << value;
        auto back = decimal::from_oracle_bytes(
            reinterpret_cast<const unsigned char*>(encoded.data()), encoded.size());
        ASSERT_TRUE(back.has_value()) << value;
        EXPECT_EQ(back->to_string(), d(value).to_string());
    }
    const unsigned char garbage[] = {0xC1, 0xFF};
    EXPECT_FALSE(decimal::from_oracle_bytes(garbage, 2).has_value());
}

TEST(decimal, sort_keys_order_like_the_numbers) {
    std::vector<std::string> values = {"-1000", "-1.5", "-1.25", "-1",   "-0.001", "0",
                                       "0.001", "0.5",  "1",     "1.25", "1.5",    "2",
                                       "10",    "99.9", "100",   "1e30"};
    for (size_t i = 0; i + 1 < values.size(); ++i) {
        std::string a = d(values[i].c_str()).sort_key();
        std::string b = d(values[i + 1].c_str()).sort_key();
        EXPECT_LT(a, b) << values[i] << " < " << values[i + 1];
        EXPECT_LT(d(values[i].c_str()).compare(d(values[i + 1].c_str())), 0);
    }
    EXPECT_EQ(d("1.50").sort_key(), d("1.5").sort_key());
}

TEST(decimal, doubles_convert_to_their_shortest_decimal) {
    EXPECT_EQ(decimal::from_double(0.1)->to_string(), "0.1");
    EXPECT_EQ(decimal::from_double(-2.5e-7)->to_string(), "-0.00000025");
    EXPECT_EQ(decimal::from_double(1e20)->to_string(), "100000000000000000000");
    EXPECT_FALSE(decimal::from_double(1.0 / 0.0).has_value());
    EXPECT_EQ(d("9007199254740993").to_int64(), 9007199254740993LL);
    EXPECT_FALSE(d("9223372036854775808").to_int64().has_value());
    EXPECT_EQ(d("-9223372036854775808").to_int64(), INT64_MIN);
    EXPECT_FALSE(d("1.5").to_int64().has_value());
}

TEST(datetime, format_models_parse_and_print) {
    struct row {
        const char* text;
        const char* format;
        const char* storage;
    };
    const row rows[] = {
        {"2024-05-17 13:45:09", "YYYY-MM-DD HH24:MI:SS", "2024-05-17 13:45:09"},
        {"17-MAY-24", "DD-MON-RR", "2024-05-17 00:00:00"},
        {"17-may-1999", "DD-MON-YYYY", "1999-05-17 00:00:00"},
        {"5/7/2024 1:02:03 PM", "MM/DD/YYYY HH:MI:SS AM", "2024-05-07 13:02:03"},
        {"12:00 AM 2024-01-01", "HH:MI AM YYYY-MM-DD", "2024-01-01 00:00:00"},
        {"20240517", "YYYYMMDD", "2024-05-17 00:00:00"},
        {"2024 December 31", "YYYY MONTH DD", "2024-12-31 00:00:00"},
        {"2024.060", "YYYY.DDD", "2024-02-29 00:00:00"},
        {"2460448", "J", "2024-05-17 00:00:00"},
        {"2024-05-17 'at' 13", "YYYY-MM-DD \"'at'\" HH24", "2024-05-17 13:00:00"},
    };
    for (const row& r : rows) {
        datetime v = oralite::parse_datetime(r.text, r.format);
        EXPECT_EQ(v.storage_text(false), r.storage) << r.text << " / " << r.format;
    }
    datetime v = oralite::parse_datetime("2024-05-17 13:05:09", "YYYY-MM-DD HH24:MI:SS");
    EXPECT_EQ(oralite::format_datetime(v, "Day, DD Month YYYY"), "Friday   , 17 May       2024");
    EXPECT_EQ(oralite::format_datetime(v, "FMDay, DD Month YYYY"), "Friday, 17 May 2024");
    EXPECT_EQ(oralite::format_datetime(v, "DY MON dy mon Q WW DDD D J"),
              "FRI MAY fri may 2 20 138 6 2460448");
    EXPECT_EQ(oralite::format_datetime(v, "HH12:MI A.M. SSSSS"), "01:05 P.M. 47109");
    EXPECT_EQ(oralite::format_datetime(v, "\"week\" WW"), "week 20");
}

TEST(datetime, seven_byte_form_and_arithmetic) {
    datetime bc{-4712, 1, 1, 0, 0, 0, 0};
    unsigned char bytes[7];
    bc.to_bytes7(bytes);
    EXPECT_EQ(bytes[0], 53);
    EXPECT_EQ(bytes[1], 88);
    EXPECT_EQ(datetime::from_bytes7(bytes)->storage_text(false), "-4712-01-01 00:00:00");
    datetime v{2024, 5, 17, 13, 45, 9, 0};
    v.to_bytes7(bytes);
    const unsigned char expected[] = {120, 124, 5, 17, 14, 46, 10};
    EXPECT_EQ(std::memcmp(bytes, expected, 7), 0);
    const unsigned char bad[] = {120, 124, 2, 30, 1, 1, 1};
    EXPECT_FALSE(datetime::from_bytes7(bad).has_value());

    EXPECT_EQ(v.plus_days(d("0.5")).storage_text(false), "2024-05-18 01:45:09");
    EXPECT_EQ(v.plus_days(d("-365")).storage_text(false), "2023-05-18 13:45:09");
    EXPECT_EQ(datetime({2024, 3, 1}).minus(datetime({2024, 2, 1})).to_string(), "29");
    EXPECT_EQ(datetime({2024, 1, 31}).plus_months(1).storage_text(false), "2024-02-29 00:00:00");
    EXPECT_EQ(datetime({2024, 2, 29}).plus_months(12).storage_text(false), "2025-02-28 00:00:00");
    EXPECT_EQ(datetime({1, 1, 1}).plus_days(d("-1")).year, -1);  // no year 0
    EXPECT_EQ(code_of([] { datetime({9999, 12, 31}).plus_days(decimal::from_int(1)); }), 1841);
    auto stored = datetime::from_storage("2024-05-17 13:45:09.123456789");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->nanos, 123456789);
    EXPECT_FALSE(datetime::from_storage("2024-02-30 00:00:00").has_value());
}

// The stored text of every date and timestamp, at the edges of each field: it must read back
// as the same value, and a field beyond its usual width keeps all its digits.
TEST(datetime, storage_text_at_the_edges_of_each_field) {
    struct row {
        datetime value;
        const char* date;
        const char* timestamp;
    };
    const row rows[] = {
        {{-4712, 1, 1, 0, 0, 0, 0}, "-4712-01-01 00:00:00", "-4712-01-01 00:00:00.000000000"},
        {{-1, 12, 31, 23, 59, 59, 999999999},
         "-0001-12-31 23:59:59",
         "-0001-12-31 23:59:59.999999999"},
        {{1, 1, 1, 0, 0, 0, 1}, "0001-01-01 00:00:00", "0001-01-01 00:00:00.000000001"},
        {{999, 9, 9, 9, 9, 9, 90}, "0999-09-09 09:09:09", "0999-09-09 09:09:09.000000090"},
        {{9999, 12, 31, 23, 59, 59, 100000000},
         "9999-12-31 23:59:59",
         "9999-12-31 23:59:59.100000000"},
        {{10000, 1, 1, 0, 0, 0, 0}, "10000-01-01 00:00:00", "10000-01-01 00:00:00.000000000"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(r.value.storage_text(false), r.date);
        EXPECT_EQ(r.value.storage_text(true), r.timestamp);
        if (r.value.year > 9999)
            continue;
        auto back = datetime::from_storage(r.value.storage_text(true));
        ASSERT_TRUE(back.has_value()) << r.timestamp;
        EXPECT_EQ(back->storage_text(true), r.timestamp);
    }
}

// A format that leaves the year or the month out takes them from today, as Oracle does;
// one that gives both never depends on the day it runs.
TEST(datetime, a_format_without_year_or_month_takes_them_from_today) {
    const datetime today = datetime::now();
    auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    const std::string year = std::to_string(today.year);
    struct row {
        const char* text;
        const char* format;
        std::string storage;
    };
    const row rows[] = {
        {"17 13:45", "DD HH24:MI", year + "-" + two(today.month) + "-17 13:45:00"},
        {"02-03", "MM-DD", year + "-02-03 00:00:00"},
        {"1999 14:00", "YYYY HH24:MI", "1999-" + two(today.month) + "-01 14:00:00"},
        {"24-02-29", "YY-MM-DD", std::to_string(today.year / 100 * 100 + 24) + "-02-29 00:00:00"},
        {"1999-12-31 23:59:59", "YYYY-MM-DD HH24:MI:SS", "1999-12-31 23:59:59"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(oralite::parse_datetime(r.text, r.format).storage_text(false), r.storage)
            << r.text << " / " << r.format;
    }
    // The day checks the month it lands in, today's when none is given.
    EXPECT_EQ(code_of([] { oralite::parse_datetime("1999 02 30", "YYYY MM DD"); }), 1839);
}

// A text bind arrives as UTF-16 bytes wherever the client keeps them (an array element of
// odd width need not be aligned): pairs make one character, a lone surrogate becomes U+FFFD.
TEST(unicode, utf16_bytes_convert_from_any_address) {
    const std::pair<std::u16string, std::string> rows[] = {
        {u"", ""},
        {u"A\u007f", "A\x7f"},
        {u"\u0080\u07ff\u0800\uffff", "\u0080\u07ff\u0800\uffff"},
        {u"Qualit\u00e4t \u2013 \U0001F600", "Qualit\u00e4t \u2013 \U0001F600"},
        {u"x\xd83d", "x\ufffd"},
        {u"\xde00y", "\ufffdy"},
        {u"\xd83d\xd83d\xde00", "\ufffd\U0001F600"},
    };
    for (const auto& [units, utf8] : rows) {
        std::vector<char> buffer(units.size() * 2 + 1);
        std::memcpy(buffer.data() + 1, units.data(), units.size() * 2);
        EXPECT_EQ(oralite::utf16_bytes_to_utf8(buffer.data() + 1, units.size() * 2), utf8);
        EXPECT_EQ(oralite::utf16_to_utf8(units), utf8);
    }
}

}  // namespace

namespace {

TEST(like, wildcards_escapes_and_national_letters) {
    using oralite::like_match;
    struct row {
        const char* text;
        const char* pattern;
        bool matches;
    };
    const row rows[] = {
        {"abc", "abc", true},
        {"abc", "ab", false},
        {"abc", "a%", true},
        {"abc", "%c", true},
        {"abc", "%b%", true},
        {"abc", "%%%", true},
        {"", "%", true},
        {"", "_", false},
        {"abc", "a_c", true},
        {"abc", "a__c", false},
        {"abcbc", "a%bc", true},
        {"abcbd", "a%bc", false},
        {"mississippi", "m%iss%ppi", true},
        {"mississippi", "m%iss%pi%x", false},
        {"Grüße", "Gr_ße", true},
        {"Grüße", "gr%", false},
        {"aXb", "a%X%b", true},
    };
    for (const row& r : rows)
        EXPECT_EQ(like_match(r.text, r.pattern, std::nullopt), r.matches)
            << r.text << " LIKE " << r.pattern;
    EXPECT_TRUE(like_match("10%", "10\\%", U'\\'));
    EXPECT_FALSE(like_match("100", "10\\%", U'\\'));
    EXPECT_TRUE(like_match("a_b", "%\\_%", U'\\'));
    EXPECT_FALSE(like_match("ab", "%\\_%", U'\\'));
    // Many '%' against a long text that almost matches: answered at once, not after trying
    // every way of splitting the text (which would not finish).
    const std::string text(200, 'a');
    std::string pattern;
    for (int i = 0; i < 30; ++i) pattern += "%a";
    EXPECT_FALSE(like_match(text, pattern + "%b", std::nullopt));
    EXPECT_TRUE(like_match(text, pattern + "%", std::nullopt));
}

}  // namespace

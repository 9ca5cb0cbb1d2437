#include "UDB/ole_variant.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "UDB/ole_date.h"
#include "platform/codepage.h"

namespace {

const bool locale_ready = (platform::init_locale(), true);

std::vector<uint8_t> bytes_of(const ole_variant& v) {
    const auto span = v.bytes();
    return {span.begin(), span.end()};
}

// ---- from_string
// -----------------------------------------------------------------------------------

TEST(ole_variant_from_string, builds_each_kind_from_column_text) {
    ASSERT_TRUE(locale_ready);
    const std::string digits65(65, '7');
    const struct {
        const char* what;
        std::string text;
        VARTYPE type;
        VARTYPE result;       // the kind built
        std::string printed;  // to_string of the result
    } cases[] = {
        {"empty int is NULL", "", VT_I4, VT_EMPTY, ""},
        {"empty text is text", "", VT_BSTR, VT_BSTR, ""},
        {"empty date is NULL", "", VT_DATE, VT_EMPTY, ""},
        {"leading integer", "  -12abc", VT_I4, VT_I4, "-12"},
        {"no digits is 0", "abc", VT_I2, VT_I2, "0"},
        {"fraction cut", "12.7", VT_I4, VT_I4, "12"},
        {"tinyint", "-128", VT_I1, VT_I1, "-128"},
        {"unsigned tinyint", "255", VT_UI1, VT_UI1, "255"},
        {"year", "2155", VT_UI2, VT_UI2, "2155"},
        {"unsigned int top", "4294967295", VT_UI4, VT_UI4, "4294967295"},
        {"bigint bottom", "-9223372036854775808", VT_I8, VT_I8, "-9223372036854775808"},
        {"bigint unsigned top", "18446744073709551615", VT_UI8, VT_UI8, "18446744073709551615"},
        // Values that do not fit their kind are not cut to its width.
        {"short overflow", "70000", VT_I2, VT_EMPTY, ""},
        {"byte overflow", "256", VT_UI1, VT_EMPTY, ""},
        {"negative unsigned", "-1", VT_UI4, VT_EMPTY, ""},
        {"bigint overflow", "9223372036854775808", VT_I8, VT_EMPTY, ""},
        {"comma decimal double", "1,5", VT_R8, VT_R8, "1.5000000000000000e+00"},
        {"double exponent", " -2.5e-3xyz", VT_R8, VT_R8, "-2.5000000000000001e-03"},
        {"double garbage is 0", "abc", VT_R8, VT_R8, "0.0000000000000000e+00"},
        {"double overflow", "1e400", VT_R8, VT_EMPTY, ""},
        {"float", "0.1", VT_R4, VT_R4, "1.00000001e-01"},
        {"decimal keeps scale", "12,50", VT_DECIMAL, VT_DECIMAL, "12.50"},
        {"decimal 65 digits", digits65, VT_DECIMAL, VT_DECIMAL, digits65},
        {"decimal 65 digits scaled", "-" + digits65.substr(0, 35) + "." + digits65.substr(0, 30),
         VT_DECIMAL, VT_DECIMAL, "-" + digits65.substr(0, 35) + "." + digits65.substr(0, 30)},
        {"decimal not a number", "12a", VT_DECIMAL, VT_EMPTY, ""},
        {"currency rounds", "1,23455", VT_CY, VT_CY, "1.2346"},
        {"currency overflow", "1e20", VT_CY, VT_EMPTY, ""},
        {"date", "2005-12-31", VT_DATE, VT_DATE, "2005-12-31"},
        {"date and time", "2005-12-31 10:20:30", VT_DATE, VT_DATE, "2005-12-31 10:20:30"},
        {"time", "10:20:30", VT_DATE, VT_DATE, "0000-00-00 10:20:30"},
        {"bad date", "not a date", VT_DATE, VT_EMPTY, ""},
        {"yes", "yes", VT_BOOL, VT_BOOL, "1"},
        {"Yes is the number 0", "Yes", VT_BOOL, VT_BOOL, "0"},
        {"true", "true", VT_BOOL, VT_BOOL, "1"},
        {"false", "false", VT_BOOL, VT_BOOL, "0"},
        {"no", "no", VT_BOOL, VT_BOOL, "0"},
        {"two", "2", VT_BOOL, VT_BOOL, "1"},
        {"zero", "0", VT_BOOL, VT_BOOL, "0"},
        {"blob with prefix", "0x0A0b", VT_ARRAY_UI1, VT_ARRAY_UI1, "0x0A0B"},
        {"blob without prefix", "0a0B", VT_BLOB, VT_ARRAY_UI1, "0x0A0B"},
        {"blob odd", "0x0A0", VT_BLOB, VT_EMPTY, ""},
        {"blob not hex", "0xZZ", VT_BLOB, VT_EMPTY, ""},
        {"blob prefix only", "0x", VT_BLOB_OBJECT, VT_ARRAY_UI1, ""},
        {"text", "abc", VT_BSTR, VT_BSTR, "abc"},
        {"other kinds through the platform", " 42 ", VT_INT, VT_INT, "42"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ole_variant v = ole_variant::from_string(c.text, c.type);
        EXPECT_EQ(v.vartype(), c.result);
        EXPECT_EQ(v.to_string(), c.printed);
    }
}

TEST(ole_variant_from_string, platform_failure_raises) {
    EXPECT_THROW(ole_variant::from_string("abc", VT_INT), ole_type_exception);
    EXPECT_THROW(ole_variant::from_string("1", VT_DISPATCH), ole_type_exception);
    try {
        ole_variant::from_string("x", VT_UINT);
        FAIL();
    } catch (const ole_type_exception& e) {
        EXPECT_EQ(e.level(), 1);
        EXPECT_STREQ(e.what(), "The operating type is not supported yet");
    }
}

TEST(ole_variant_from_string, wide_text_is_taken_directly_or_narrowed) {
    std::wstring text = L"caf\u00e9 \U0001F600";
    const wchar_t* before = text.data();
    const ole_variant moved = ole_variant::from_wstring(std::move(text), VT_BSTR);
    EXPECT_EQ(moved.bstr(), L"caf\u00e9 \U0001F600");
    EXPECT_EQ(moved.bstr().data(), before);  // taken over, not copied
    EXPECT_EQ(ole_variant::from_wstring(L"42", VT_I4).to_long(), 42);
    EXPECT_EQ(ole_variant::from_wstring(L"2005-12-31 10:20:30", VT_DATE).to_wstring(),
              L"2005-12-31 10:20:30");
    EXPECT_EQ(ole_variant::from_wstring(L"\u00e9", VT_I4).to_long(), 0);
}

// ---- printing
// ----------------------------------------------------------------------------------------

TEST(ole_variant_to_string, doubles_and_floats_read_back_exactly) {
    const double doubles[] = {
        0.1, 1.0 / 3, 0.1 + 0.2, DBL_MAX, DBL_MIN, 5e-324, -123456789.987654321, 1e300};
    for (const double d : doubles) {
        const std::string text = ole_variant(d).to_string();
        EXPECT_NE(text.find('e'), std::string::npos) << text;
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), d) << text;
        EXPECT_EQ(ole_variant::from_string(text, VT_R8).to_double(), d) << text;
    }
    EXPECT_EQ(ole_variant(0.1).to_string(), "1.0000000000000001e-01");
    const float floats[] = {0.1f, 1.0f / 3, FLT_MAX, FLT_MIN, 1e-45f};
    for (const float f : floats) {
        const std::string text = ole_variant(f).to_string();
        EXPECT_EQ(std::strtof(text.c_str(), nullptr), f) << text;
        EXPECT_EQ(ole_variant::from_string(text, VT_R4).to_double(), static_cast<double>(f))
            << text;
    }
}

TEST(ole_variant_to_string, prints_every_kind) {
    SYSTEMTIME midnight;
    midnight.wYear = 2005, midnight.wMonth = 12, midnight.wDay = 31;
    DECIMAL d;
    d.digits = "1250", d.scale = 2, d.negative = true;
    const struct {
        const char* what;
        ole_variant value;
        const char* printed;
    } cases[] = {
        {"null", ole_variant(), ""},
        {"char", ole_variant('\x80'), "-128"},
        {"byte", ole_variant(static_cast<unsigned char>(200)), "200"},
        {"short", ole_variant(static_cast<short>(-2)), "-2"},
        {"ushort", ole_variant(static_cast<unsigned short>(65535)), "65535"},
        {"int", ole_variant(INT32_MIN), "-2147483648"},
        {"uint", ole_variant(UINT32_MAX), "4294967295"},
        {"hyper", ole_variant(INT64_MIN), "-9223372036854775808"},
        {"uhyper", ole_variant(UINT64_MAX), "18446744073709551615"},
        {"true", ole_variant(true), "1"},
        {"false", ole_variant(false), "0"},
        {"currency", ole_variant(CY{-15000}), "-1.5"},
        {"decimal", ole_variant(d), "-12.50"},
        {"midnight is a date", ole_variant(midnight), "2005-12-31"},
        {"text", ole_variant(L"abc"), "abc"},
        {"empty array", ole_variant(std::vector<uint8_t>()), ""},
        {"array", ole_variant(std::vector<uint8_t>{0, 0xAB, 0xFF}), "0x00ABFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.value.to_string(), c.printed);
        EXPECT_EQ(c.value.to_wstring(), platform::ansi_to_wide(c.printed));
    }
}

TEST(ole_variant_to_string, large_arrays_print_their_first_327680_bytes) {
    const ole_variant v(std::vector<uint8_t>(400000, 0x5A));
    const std::string text = v.to_string();
    ASSERT_EQ(text.size(), 2u + 655360u);
    EXPECT_EQ(text.substr(0, 6), "0x5A5A");
}

TEST(ole_variant_to_string, wide_text_passes_unchanged) {
    const std::wstring text = L"\u0160koda \u00fcber \u65e5\u672c \U0001F600";
    const ole_variant v(text);
    EXPECT_EQ(v.to_wstring(), text);
    EXPECT_EQ(platform::ansi_to_wide(v.to_string()), text);
}

// ---- readers
// -----------------------------------------------------------------------------------------

TEST(ole_variant_readers, to_long_and_to_double_serve_the_numeric_kinds) {
    DECIMAL d;
    d.digits = "25", d.scale = 1;
    const struct {
        const char* what;
        ole_variant value;
        int32_t as_long;
        double as_double;
    } cases[] = {
        {"null", ole_variant(), 0, 0},
        {"char", ole_variant(static_cast<signed char>(-5)), -5, -5},
        {"bool", ole_variant(true), -1, -1},
        {"ushort", ole_variant(static_cast<unsigned short>(65535)), 65535, 65535},
        {"double truncates", ole_variant(-2.9), -2, -2.9},
        {"float", ole_variant(2.5f), 2, 2.5},
        {"decimal rounds half to even", ole_variant(d), 2, 2.5},
        {"small hyper", ole_variant(-7LL), -7, -7},
        {"uhyper", ole_variant(123456789012ULL), 0, 123456789012.0},
        {"currency", ole_variant(CY{12345}), 0, 1.2345},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_DOUBLE_EQ(c.value.to_double(), c.as_double);
        if (c.value.vartype() == VT_UI8 || c.value.vartype() == VT_CY) {
            continue;
        }
        EXPECT_EQ(c.value.to_long(), c.as_long);
    }
}

TEST(ole_variant_readers, values_beyond_32_bits_are_not_cut) {
    EXPECT_THROW(ole_variant(5000000000LL).to_long(), ole_type_exception);
    EXPECT_THROW(ole_variant(UINT32_MAX).to_long(), ole_type_exception);
    EXPECT_THROW(ole_variant(1e10).to_long(), ole_type_exception);
    EXPECT_THROW(ole_variant(std::nan("")).to_long(), ole_type_exception);
    EXPECT_THROW(ole_variant::from_string("3000000000", VT_DECIMAL).to_long(), ole_type_exception);
}

TEST(ole_variant_readers, readers_of_other_kinds_are_internal_errors) {
    const ole_variant text(L"1");
    const ole_variant date = ole_variant::from_string("2005-12-31", VT_DATE);
    const uint8_t* data = nullptr;
    EXPECT_THROW(text.to_long(), tk_mail_assertion);
    EXPECT_THROW(text.to_double(), tk_mail_assertion);
    EXPECT_THROW(date.to_double(), tk_mail_assertion);
    EXPECT_THROW(text.get_bytes(data), tk_mail_assertion);
    EXPECT_THROW(ole_variant(1).bstr(), tk_mail_assertion);
    EXPECT_THROW(ole_variant(1).decimal(), tk_mail_assertion);
}

TEST(ole_variant_readers, byte_arrays_give_pointer_and_length) {
    const uint8_t raw[] = {0, 1, 0, 2};
    ole_variant v(sizeof raw, raw);
    const uint8_t* data = nullptr;
    ASSERT_EQ(v.get_bytes(data), 4u);
    EXPECT_EQ(std::memcmp(data, raw, 4), 0);
    EXPECT_EQ(ole_variant().get_bytes(data), 0u);
    EXPECT_EQ(data, nullptr);

    v.allocate_safe_array(6);  // redimension keeps the bytes, zero-fills the rest
    EXPECT_EQ(bytes_of(v), (std::vector<uint8_t>{0, 1, 0, 2, 0, 0}));
    v.allocate_safe_array(2);
    EXPECT_EQ(bytes_of(v), (std::vector<uint8_t>{0, 1}));
    v.mutable_bytes()[1] = 7;
    EXPECT_EQ(bytes_of(v), (std::vector<uint8_t>{0, 7}));

    ole_variant number(5);
    number.allocate_safe_array(3);
    EXPECT_EQ(number.vartype(), VT_ARRAY_UI1);
    EXPECT_EQ(bytes_of(number), (std::vector<uint8_t>(3, 0)));
    EXPECT_THROW(number.attach_binary(3, nullptr), tk_mail_assertion);
    number.attach_binary(0, raw);
    EXPECT_EQ(number.bytes().size(), 0u);
}

TEST(ole_variant_writers, attach_string_replaces_any_value) {
    ole_variant v(std::vector<uint8_t>{1, 2});
    v.attach_string("caf\xc3\xa9");
    EXPECT_EQ(v.vartype(), VT_BSTR);
    EXPECT_EQ(v.bstr(), L"caf\u00e9");
    v.attach_wstring(L"x");
    EXPECT_EQ(v.bstr(), L"x");
    v.clear();
    EXPECT_TRUE(v.is_null());
}

TEST(ole_variant_copy, copies_are_deep_moves_are_cheap) {
    ole_variant a(std::vector<uint8_t>{1, 2, 3});
    ole_variant b(a);
    b.mutable_bytes()[0] = 9;
    EXPECT_EQ(bytes_of(a)[0], 1);
    b = a;
    EXPECT_TRUE(b.same_as(a));
    const ole_variant& self = b;
    b = self;
    EXPECT_TRUE(b.same_as(a));

    ole_variant date = ole_variant::from_string("2005-12-31 10:20:30", VT_DATE);
    ole_variant date_copy;
    date_copy = date;
    EXPECT_EQ(date_copy.to_string(), "2005-12-31 10:20:30");
    EXPECT_EQ(date_copy.variant().date, date.variant().date);

    const ole_variant big(UINT64_MAX);
    EXPECT_EQ(ole_variant(big).uhyper_value(), UINT64_MAX);

    ole_variant moved = std::move(a);
    EXPECT_EQ(moved.bytes().size(), 3u);
}

// ---- change_type
// ---------------------------------------------------------------------------------------

std::vector<uint8_t> raw_bytes(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return {b, b + n};
}

TEST(ole_variant_change_type, null_and_same_kind_stay_as_they_are) {
    for (const VARTYPE target :
         {VT_I4, VT_BSTR, VT_DATE, VT_ARRAY_UI1, VT_BLOB, VT_DECIMAL, VT_I8}) {
        ole_variant v;
        v.change_type(target);
        EXPECT_EQ(v.vartype(), VT_EMPTY) << target;
    }
    ole_variant bytes(std::vector<uint8_t>{1});
    bytes.change_type(VT_BLOB);
    EXPECT_EQ(bytes.vartype(), VT_ARRAY_UI1);
}

TEST(ole_variant_change_type, sixty_four_bit_integers) {
    const struct {
        const char* what;
        ole_variant value;
        VARTYPE target;
        const char* printed;  // nullptr: ole_type_exception
        VARTYPE result;
    } cases[] = {
        {"fits int", ole_variant(-5LL), VT_I4, "-5", VT_I4},
        {"too big for int", ole_variant(5000000000LL), VT_I4, nullptr, 0},
        {"too big for short", ole_variant(40000LL), VT_I2, nullptr, 0},
        {"negative to byte", ole_variant(-1LL), VT_UI1, nullptr, 0},
        {"fits unsigned int", ole_variant(4294967295ULL), VT_UI4, "4294967295", VT_UI4},
        {"VT_INT", ole_variant(7ULL), VT_INT, "7", VT_INT},
        {"to double", ole_variant(INT64_MIN), VT_R8, "-9.2233720368547758e+18", VT_R8},
        {"to float", ole_variant(3ULL), VT_R4, "3.00000000e+00", VT_R4},
        {"65536 is true", ole_variant(65536LL), VT_BOOL, "1", VT_BOOL},
        {"1 is true", ole_variant(1LL), VT_BOOL, "1", VT_BOOL},
        {"0 is false", ole_variant(0ULL), VT_BOOL, "0", VT_BOOL},
        {"to text", ole_variant(UINT64_MAX), VT_BSTR, "18446744073709551615", VT_BSTR},
        {"signed to unsigned", ole_variant(42LL), VT_UI8, "42", VT_UI8},
        {"negative to unsigned", ole_variant(-1LL), VT_UI8, nullptr, 0},
        {"unsigned to signed overflow", ole_variant(UINT64_MAX), VT_I8, nullptr, 0},
        {"to decimal", ole_variant(INT64_MIN), VT_DECIMAL, "-9223372036854775808", VT_DECIMAL},
        {"to currency", ole_variant(922337203685477LL), VT_CY, "922337203685477", VT_CY},
        {"too big for currency", ole_variant(922337203685478LL), VT_CY, nullptr, 0},
        {"to date", ole_variant(1LL), VT_DATE, nullptr, 0},
        {"widen int", ole_variant(-7), VT_I8, "-7", VT_I8},
        {"widen bool", ole_variant(true), VT_I8, "-1", VT_I8},
        {"true as unsigned", ole_variant(true), VT_UI8, "1", VT_UI8},
        {"negative int to unsigned", ole_variant(-7), VT_UI8, nullptr, 0},
        {"double truncates", ole_variant(-2.7), VT_I8, "-2", VT_I8},
        {"double too big", ole_variant(1e30), VT_I8, nullptr, 0},
        {"NaN", ole_variant(std::nan("")), VT_I8, nullptr, 0},
        {"decimal rounds half to even", ole_variant::from_string("12.5", VT_DECIMAL), VT_I8, "12",
         VT_I8},
        {"currency", ole_variant(CY{25000}), VT_UI8, "2", VT_UI8},
        {"text is not read", ole_variant(L"5"), VT_I8, nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ole_variant v = c.value;
        if (c.printed == nullptr) {
            EXPECT_THROW(v.change_type(c.target), ole_type_exception);
            EXPECT_TRUE(v.same_as(c.value));
            continue;
        }
        v.change_type(c.target);
        EXPECT_EQ(v.vartype(), c.result);
        EXPECT_EQ(v.to_string(), c.printed);
    }
}

TEST(ole_variant_change_type, scalars_become_their_own_bytes) {
    const short s = 0x0102;
    const double d = 1.5;
    const int64_t cy = 15000;
    const int32_t i = -2;
    SYSTEMTIME t;
    t.wYear = 2005, t.wMonth = 12, t.wDay = 31, t.wHour = 10;
    const struct {
        const char* what;
        ole_variant value;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"short", ole_variant(s), raw_bytes(&s, 2)},
        {"int", ole_variant(i), raw_bytes(&i, 4)},
        {"double", ole_variant(d), raw_bytes(&d, 8)},
        {"currency", ole_variant(CY{cy}), raw_bytes(&cy, 8)},
        {"bool", ole_variant(true), {0xFF, 0xFF}},
        {"byte", ole_variant(static_cast<unsigned char>(7)), {7}},
        {"hyper", ole_variant(static_cast<long long>(cy)), raw_bytes(&cy, 8)},
        {"date is its SYSTEMTIME", ole_variant(t), raw_bytes(&t, 16)},
        {"decimal in the Windows layout",
         ole_variant::from_string("-1.5", VT_DECIMAL),
         {0, 0, 1, 0x80, 0, 0, 0, 0, 15, 0, 0, 0, 0, 0, 0, 0}},
        {"text as UTF-8", ole_variant(L"\u00c4b"), {0xC3, 0x84, 'b'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const VARTYPE target : {VT_ARRAY_UI1, VT_BLOB, VT_BLOB_OBJECT}) {
            ole_variant v = c.value;
            v.change_type(target);
            EXPECT_EQ(v.vartype(), VT_ARRAY_UI1);
            EXPECT_EQ(bytes_of(v), c.bytes);
        }
    }
    ole_variant huge = ole_variant::from_string(std::string(40, '9'), VT_DECIMAL);
    EXPECT_THROW(huge.change_type(VT_BLOB), ole_type_exception);
}

TEST(ole_variant_change_type, dates_and_text) {
    ole_variant date = ole_variant::from_string("2005-12-31 10:20:30", VT_DATE);
    ole_variant as_text = date;
    as_text.change_type(VT_BSTR);
    EXPECT_EQ(as_text.bstr(), L"2005-12-31 10:20:30");
    as_text.change_type(VT_DATE);
    EXPECT_EQ(as_text.vartype(), VT_DATE);
    EXPECT_TRUE(as_text.same_as(date));
    EXPECT_THROW(ole_variant(date).change_type(VT_I4), ole_type_exception);
    EXPECT_THROW(ole_variant(date).change_type(VT_R8), ole_type_exception);
    EXPECT_THROW(ole_variant(L"2005-12-31").change_type(VT_DATE), ole_type_exception);
    EXPECT_THROW(ole_variant(38717.0).change_type(VT_DATE), ole_type_exception);
    // Text of the right length that is no date fails instead of becoming NULL.
    ole_variant junk(L"xxxx-xx-xx xx:xx:xx");
    EXPECT_THROW(junk.change_type(VT_DATE), ole_type_exception);
    EXPECT_EQ(junk.vartype(), VT_BSTR);
}

TEST(ole_variant_change_type, other_pairs_follow_the_platform) {
    ole_variant v(L" 42 ");
    v.change_type(VT_I4);
    EXPECT_EQ(v.to_long(), 42);
    v.change_type(VT_BSTR);
    EXPECT_EQ(v.bstr(), L"42");
    ole_variant r(0.1);
    r.change_type(VT_BSTR);
    EXPECT_EQ(r.bstr(), L"0.1");
    ole_variant b(true);
    b.change_type(VT_BSTR);
    EXPECT_EQ(b.bstr(), L"-1");
    ole_variant big(300);
    EXPECT_THROW(big.change_type(VT_UI1), ole_type_exception);
    EXPECT_EQ(big.to_long(), 300);
    ole_variant blob(std::vector<uint8_t>{'o', 'k'});
    blob.change_type(VT_BSTR);
    EXPECT_EQ(blob.bstr(), L"ok");
}

// Every kind to every kind: either the requested kind (byte arrays as VT_ARRAY|VT_UI1) or
// ole_type_exception with the value untouched; never anything else.
TEST(ole_variant_change_type, whole_matrix_converts_or_raises_cleanly) {
    SYSTEMTIME t;
    t.wYear = 2005, t.wMonth = 12, t.wDay = 31, t.wHour = 10, t.wMinute = 20, t.wSecond = 30;
    const std::vector<ole_variant> samples = {
        ole_variant(true),
        ole_variant('\x7f'),
        ole_variant(static_cast<unsigned char>(255)),
        ole_variant(static_cast<short>(-32768)),
        ole_variant(static_cast<unsigned short>(65535)),
        ole_variant(INT32_MIN),
        ole_variant(UINT32_MAX),
        ole_variant(INT64_MIN),
        ole_variant(UINT64_MAX),
        ole_variant(FLT_MAX),
        ole_variant(-0.5),
        ole_variant(DBL_MAX),
        ole_variant(CY{INT64_MIN}),
        ole_variant::from_string(std::string(65, '9'), VT_DECIMAL),
        ole_variant::from_string("-0.000000000000000000000000000001", VT_DECIMAL),
        ole_variant(t),
        ole_variant(L"12"),
        ole_variant(L"2005-12-31 10:20:30"),
        ole_variant(L"text"),
        ole_variant(std::vector<uint8_t>{0x31, 0x32}),
        ole_variant(std::vector<uint8_t>{}),
    };
    const VARTYPE targets[] = {VT_I2,    VT_I4,       VT_R4,        VT_R8,      VT_CY,
                               VT_DATE,  VT_BSTR,     VT_BOOL,      VT_DECIMAL, VT_I1,
                               VT_UI1,   VT_UI2,      VT_UI4,       VT_I8,      VT_UI8,
                               VT_INT,   VT_UINT,     VT_ARRAY_UI1, VT_BLOB,    VT_BLOB_OBJECT,
                               VT_ERROR, VT_DISPATCH, VT_UNKNOWN,   VT_VARIANT, VT_LPSTR};
    int converted = 0;
    int refused = 0;
    for (const ole_variant& sample : samples) {
        for (const VARTYPE target : targets) {
            SCOPED_TRACE(testing::Message() << "from " << sample.vartype() << " to " << target);
            ole_variant v = sample;
            try {
                v.change_type(target);
                const VARTYPE expected = ole_is_binary_type(target) ? VT_ARRAY_UI1 : target;
                EXPECT_EQ(v.vartype(), expected);
                (void)v.to_string();
                ++converted;
            } catch (const ole_type_exception&) {
                EXPECT_TRUE(v.same_as(sample));
                ++refused;
            }
        }
    }
    EXPECT_GT(converted, 200);
    EXPECT_GT(refused, 100);
}

// ---- GUIDs
// ---------------------------------------------------------------------------------------------

TEST(ole_guid_extractor, finds_the_braced_guid_after_the_word) {
    const std::wstring guid = L"{01234567-89AB-CDEF-0123-456789ABCDEF}";
    const struct {
        std::wstring text;
        bool found;
    } cases[] = {
        {L"object guid " + guid + L" end", true},
        {L"OBJECT GUID:" + guid, true},
        {L"guid " + guid.substr(0, 30), false},                 // too short
        {std::wstring(50, L'x') + guid, false},                 // no word
        {L"guid " + std::wstring(50, L'x'), false},             // no brace
        {L"guid " + std::wstring(40, L'x') + L"{0123", false},  // brace too near the end
    };
    for (const auto& c : cases) {
        const ole_guid_extractor e(c.text);
        EXPECT_EQ(e.found(), c.found) << std::string(c.text.begin(), c.text.end());
        if (c.found) {
            EXPECT_EQ(e.guid(), guid);
            EXPECT_EQ(e.hex_digits(), L"0123456789ABCDEF0123456789ABCDEF");
        } else {
            EXPECT_EQ(e.guid(), L"");
            EXPECT_EQ(e.hex_digits(), L"");
        }
    }
}

}  // namespace

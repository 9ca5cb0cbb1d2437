#include "platform/oleauto.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace {

std::wstring dec_text(const DECIMAL& d) {
    BSTR text;
    EXPECT_EQ(VarBstrFromDec(d, LOCALE_ENGLISH_US, 0, &text), S_OK);
    return text;
}

// ---- decimal and currency parsers ------------------------------------------------------------

TEST(oleauto_numbers, decimal_parser_keeps_every_digit_and_the_scale) {
    const std::wstring digits65(65, L'9');
    const struct {
        std::wstring text;
        std::optional<std::wstring> printed;  // nullopt: rejected
        HRESULT failure;
    } cases[] = {
        {L"12.50", L"12.50", S_OK},
        {L"-0.00", L"0.00", S_OK},
        {L"007.5", L"7.5", S_OK},
        {L" 42 ", L"42", S_OK},
        {L"+3", L"3", S_OK},
        {L".5", L"0.5", S_OK},
        {L"5.", L"5", S_OK},
        {L"-0.001", L"-0.001", S_OK},
        {L"1e3", L"1000", S_OK},
        {L"1.5E-3", L"0.0015", S_OK},
        {L"123456789012345678901234567890.123456789012345678901234567890123",
         L"123456789012345678901234567890.123456789012345678901234567890123", S_OK},
        {digits65, digits65, S_OK},
        {L"-" + digits65.substr(0, 35) + L"." + digits65.substr(0, 30),
         L"-" + digits65.substr(0, 35) + L"." + digits65.substr(0, 30), S_OK},
        // Fraction zeros beyond the limits carry no value and are dropped rather than refused.
        {L"1." + std::wstring(80, L'0'), L"1." + std::wstring(64, L'0'), S_OK},
        {digits65 + L"9", std::nullopt, DISP_E_OVERFLOW},
        {L"1e65", std::nullopt, DISP_E_OVERFLOW},
        {L"1e-70", std::nullopt, DISP_E_OVERFLOW},
        {L"", std::nullopt, DISP_E_TYPEMISMATCH},
        {L"abc", std::nullopt, DISP_E_TYPEMISMATCH},
        {L"1.2.3", std::nullopt, DISP_E_TYPEMISMATCH},
        {L"1,5", std::nullopt, DISP_E_TYPEMISMATCH},
        {L"1e", std::nullopt, DISP_E_TYPEMISMATCH},
        {L"--1", std::nullopt, DISP_E_TYPEMISMATCH},
        {L".", std::nullopt, DISP_E_TYPEMISMATCH},
        {L"$5", std::nullopt, DISP_E_TYPEMISMATCH},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "text: " << std::string(c.text.begin(), c.text.end()));
        DECIMAL d;
        const HRESULT hr = VarDecFromStr(c.text, LOCALE_ENGLISH_US, 0, &d);
        if (c.printed) {
            ASSERT_EQ(hr, S_OK);
            EXPECT_EQ(dec_text(d), *c.printed);
        } else {
            EXPECT_EQ(hr, c.failure);
        }
    }
}

TEST(oleauto_numbers, currency_parser_rounds_half_to_even_and_checks_range) {
    const struct {
        const wchar_t* text;
        std::optional<int64_t> units;
    } cases[] = {
        {L"1.5", 15000},
        {L"1.23455", 12346},  // 12345.5 -> even
        {L"1.23465", 12346},  // 12346.5 -> even
        {L"1.234651", 12347},
        {L"-1.23455", -12346},
        {L"922337203685477.5807", INT64_MAX},
        {L"-922337203685477.5808", INT64_MIN},
        {L"922337203685477.5808", std::nullopt},
        {L"1e15", std::nullopt},
        {L"x", std::nullopt},
    };
    for (const auto& c : cases) {
        CY cy{};
        const HRESULT hr = VarCyFromStr(c.text, LOCALE_ENGLISH_US, 0, &cy);
        if (c.units) {
            ASSERT_EQ(hr, S_OK);
            EXPECT_EQ(cy.int64, *c.units);
        } else {
            EXPECT_TRUE(FAILED(hr));
        }
    }
    const struct {
        int64_t units;
        const wchar_t* text;
    } printed[] = {
        {15000, L"1.5"}, {-1, L"-0.0001"}, {0, L"0"}, {INT64_MIN, L"-922337203685477.5808"}};
    for (const auto& p : printed) {
        BSTR text;
        ASSERT_EQ(VarBstrFromCy(CY{p.units}, LOCALE_ENGLISH_US, 0, &text), S_OK);
        EXPECT_EQ(text, p.text);
    }
}

TEST(oleauto_numbers, floating_point_text_reads_back_exactly) {
    const double doubles[] = {0.1,  1.0 / 3, DBL_MAX,       DBL_MIN, 5e-324,
                              -0.0, 1e20,    123456789.125, -2.5e-7};
    for (const double d : doubles) {
        VARIANT v;
        v.vt = VT_R8;
        v.dblVal = d;
        ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
        ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_R8), S_OK);
        EXPECT_EQ(std::memcmp(&v.dblVal, &d, sizeof d), 0) << d;
    }
    const float floats[] = {0.1f, FLT_MAX, FLT_MIN, 1e-45f, 16777217.0f};
    for (const float f : floats) {
        VARIANT v;
        v.vt = VT_R4;
        v.fltVal = f;
        ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
        ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_R4), S_OK);
        EXPECT_EQ(v.fltVal, f);
    }
    EXPECT_EQ(var_text_from_r8(0.1), L"0.1");
    EXPECT_EQ(var_text_from_r8(1e20), L"1E+20");
    EXPECT_EQ(var_text_from_r4(0.1f), L"0.1");
}

// ---- dates --------------------------------------------------------------------------------------

SYSTEMTIME make_time(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    SYSTEMTIME t;
    t.wYear = static_cast<uint16_t>(y);
    t.wMonth = static_cast<uint16_t>(mo);
    t.wDay = static_cast<uint16_t>(d);
    t.wHour = static_cast<uint16_t>(h);
    t.wMinute = static_cast<uint16_t>(mi);
    t.wSecond = static_cast<uint16_t>(s);
    return t;
}

TEST(oleauto_dates, system_time_and_variant_time_agree_across_the_range) {
    const struct {
        SYSTEMTIME time;
        double date;
        int weekday;
    } cases[] = {
        {make_time(1899, 12, 30), 0.0, 6},
        {make_time(1899, 12, 29, 6), -1.25, 5},
        {make_time(1900, 2, 28), 60.0, 3},
        {make_time(1900, 3, 1), 61.0, 4},
        {make_time(2000, 2, 29, 12), 36585.5, 2},
        {make_time(2005, 12, 31, 18), 38717.75, 6},
        {make_time(100, 1, 1), -657434.0, 5},
        {make_time(9999, 12, 31, 23, 59, 59), 2958465.0 + 86399.0 / 86400.0, 5},
    };
    for (const auto& c : cases) {
        DATE date = 0;
        ASSERT_TRUE(SystemTimeToVariantTime(&c.time, &date)) << c.date;
        EXPECT_DOUBLE_EQ(date, c.date);
        SYSTEMTIME back;
        ASSERT_TRUE(VariantTimeToSystemTime(date, &back));
        SYSTEMTIME expected = c.time;
        expected.wDayOfWeek = static_cast<uint16_t>(c.weekday);
        EXPECT_EQ(back, expected) << c.date;
    }
    const SYSTEMTIME impossible[] = {make_time(1900, 2, 29),    make_time(2005, 4, 31),
                                     make_time(99, 12, 31),     make_time(10000, 1, 1),
                                     make_time(2005, 1, 1, 24), make_time(2005, 13, 1),
                                     make_time(0, 0, 0, 10)};
    for (const SYSTEMTIME& t : impossible) {
        DATE date = 0;
        EXPECT_FALSE(SystemTimeToVariantTime(&t, &date))
            << t.wYear << "-" << t.wMonth << "-" << t.wDay;
    }
    SYSTEMTIME unused;
    EXPECT_FALSE(VariantTimeToSystemTime(2958466.0, &unused));
    EXPECT_FALSE(VariantTimeToSystemTime(-657435.0, &unused));
    EXPECT_FALSE(VariantTimeToSystemTime(std::nan(""), &unused));
}

TEST(oleauto_dates, parser_accepts_the_documented_english_forms_only) {
    const struct {
        const wchar_t* text;
        std::optional<SYSTEMTIME> time;
    } cases[] = {
        {L"2005-12-31", make_time(2005, 12, 31)},
        {L"  2005/12/31 10:20  ", make_time(2005, 12, 31, 10, 20)},
        {L"2005-1-2 3:04:05", make_time(2005, 1, 2, 3, 4, 5)},
        {L"12/31/2005 11:30:00 PM", make_time(2005, 12, 31, 23, 30)},
        {L"12/31/2005 12:30 am", make_time(2005, 12, 31, 0, 30)},
        {L"12-31-2005", make_time(2005, 12, 31)},
        {L"1/2/05", make_time(2005, 1, 2)},
        {L"1/2/30", make_time(1930, 1, 2)},
        {L"December 31, 2005", make_time(2005, 12, 31)},
        {L"dec 31 2005 10:20:30", make_time(2005, 12, 31, 10, 20, 30)},
        {L"31 December 2005", make_time(2005, 12, 31)},
        {L"31-DEC-05", make_time(2005, 12, 31)},
        {L"Saturday, December 31, 2005", make_time(2005, 12, 31)},
        {L"2000-02-29", make_time(2000, 2, 29)},
        {L"9999-12-31 23:59:59", make_time(9999, 12, 31, 23, 59, 59)},
        // Refused so that the callers' own formats decide them.
        {L"2005.12.31", std::nullopt},
        {L"31.12.2005", std::nullopt},
        {L"31/12/2005", std::nullopt},
        {L"2005-12-31 10:20:30.5", std::nullopt},
        {L"10:20:30", std::nullopt},
        {L"20051231", std::nullopt},
        // Impossible or malformed.
        {L"1900-02-29", std::nullopt},
        {L"2005-02-29", std::nullopt},
        {L"2005-13-01", std::nullopt},
        {L"0099-01-01", std::nullopt},
        {L"2005-12-31 24:00", std::nullopt},
        {L"2005-12-31 13:00 PM", std::nullopt},
        {L"2005-12-31 10:2", std::nullopt},
        {L"2005-12-31T10:20", std::nullopt},
        {L"2005-12/31", std::nullopt},
        {L"Smarch 1, 2005", std::nullopt},
        {L"", std::nullopt},
        {L"garbage", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "text: " << std::string(c.text, c.text + wcslen(c.text)));
        DATE date = 0;
        const HRESULT hr = VarDateFromStr(c.text, LOCALE_ENGLISH_US, 0, &date);
        if (!c.time) {
            EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
            continue;
        }
        ASSERT_EQ(hr, S_OK);
        SYSTEMTIME t;
        ASSERT_TRUE(VariantTimeToSystemTime(date, &t));
        t.wDayOfWeek = 0;
        EXPECT_EQ(t, *c.time);
    }
}

TEST(oleauto_dates, printer_leaves_out_what_is_not_there) {
    const struct {
        double date;
        const wchar_t* text;
    } cases[] = {{38717.0, L"2005-12-31"},
                 {38717.75, L"2005-12-31 18:00:00"},
                 {0.5, L"12:00:00"},
                 {0, L"1899-12-30"}};
    for (const auto& c : cases) {
        BSTR text;
        ASSERT_EQ(VarBstrFromDate(c.date, LOCALE_ENGLISH_US, 0, &text), S_OK);
        EXPECT_EQ(text, c.text);
    }
}

// ---- VariantChangeType --------------------------------------------------------------------------

VARIANT integer_variant(VARTYPE vt, int64_t value) {
    VARIANT v;
    v.vt = vt;
    v.llVal = value;
    return v;
}

VARIANT real_variant(double value) {
    VARIANT v;
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

VARIANT text_variant(const wchar_t* text) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstr() = text;
    return v;
}

VARIANT bool_variant(bool value) {
    VARIANT v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT decimal_variant(const wchar_t* text) {
    VARIANT v;
    v.vt = VT_DECIMAL;
    EXPECT_EQ(VarDecFromStr(text, LOCALE_ENGLISH_US, 0, &v.decVal()), S_OK);
    return v;
}

VARIANT bytes_variant(std::vector<uint8_t> bytes) {
    VARIANT v;
    v.vt = VT_ARRAY_UI1;
    v.parray().data = std::move(bytes);
    return v;
}

// The text of a converted value, through the platform itself.
std::wstring text_of(const VARIANT& v) {
    VARIANT text;
    EXPECT_EQ(VariantChangeType(&text, &v, 0, VT_BSTR), S_OK);
    return text.bstr();
}

TEST(oleauto_change_type, follows_the_rules_callers_rely_on) {
    const struct {
        const char* what;
        VARIANT source;
        VARTYPE target;
        HRESULT result;
        const wchar_t* text;  // the converted value as text, when it succeeds
    } cases[] = {
        {"int fits", integer_variant(VT_I4, 300), VT_I2, S_OK, L"300"},
        {"int narrows with overflow", integer_variant(VT_I4, 300), VT_UI1, DISP_E_OVERFLOW,
         nullptr},
        {"negative to unsigned", integer_variant(VT_I4, -1), VT_UI4, DISP_E_OVERFLOW, nullptr},
        {"int to bool", integer_variant(VT_I4, 300), VT_BOOL, S_OK, L"-1"},
        {"int to currency", integer_variant(VT_I4, 300), VT_CY, S_OK, L"300"},
        {"int to decimal", integer_variant(VT_I4, -300), VT_DECIMAL, S_OK, L"-300"},
        {"int64 to decimal", integer_variant(VT_I8, INT64_MIN), VT_DECIMAL, S_OK,
         L"-9223372036854775808"},
        {"int64 to currency overflows", integer_variant(VT_I8, INT64_MAX), VT_CY, DISP_E_OVERFLOW,
         nullptr},
        {"uint64 to int64 overflows", integer_variant(VT_UI8, -1), VT_I8, DISP_E_OVERFLOW, nullptr},
        {"uint64 to text", integer_variant(VT_UI8, -1), VT_BSTR, S_OK, L"18446744073709551615"},
        {"half to even down", real_variant(2.5), VT_I4, S_OK, L"2"},
        {"half to even up", real_variant(3.5), VT_I4, S_OK, L"4"},
        {"negative half", real_variant(-2.5), VT_I4, S_OK, L"-2"},
        {"double too large for int", real_variant(1e10), VT_I4, DISP_E_OVERFLOW, nullptr},
        {"NaN to int", real_variant(std::nan("")), VT_I8, DISP_E_OVERFLOW, nullptr},
        {"double too large for float", real_variant(1e39), VT_R4, DISP_E_OVERFLOW, nullptr},
        {"double to decimal is shortest", real_variant(0.1), VT_DECIMAL, S_OK, L"0.1"},
        {"double to currency", real_variant(1.00005), VT_CY, S_OK, L"1"},
        {"double to date", real_variant(38717.75), VT_DATE, S_OK, L"2005-12-31 18:00:00"},
        {"double beyond dates", real_variant(3e6), VT_DATE, DISP_E_OVERFLOW, nullptr},
        {"true to text", bool_variant(true), VT_BSTR, S_OK, L"-1"},
        {"false to text", bool_variant(false), VT_BSTR, S_OK, L"0"},
        {"true to short", bool_variant(true), VT_I2, S_OK, L"-1"},
        {"true to byte", bool_variant(true), VT_UI1, S_OK, L"1"},
        {"true to double", bool_variant(true), VT_R8, S_OK, L"-1"},
        {"text rounds to int", text_variant(L"12.5"), VT_I4, S_OK, L"12"},
        {"text rounds up", text_variant(L" 13.5 "), VT_I4, S_OK, L"14"},
        {"text exponent", text_variant(L"1e3"), VT_I2, S_OK, L"1000"},
        {"text too large", text_variant(L"70000"), VT_I2, DISP_E_OVERFLOW, nullptr},
        {"text not a number", text_variant(L"abc"), VT_I4, DISP_E_TYPEMISMATCH, nullptr},
        {"empty text", text_variant(L""), VT_R8, DISP_E_TYPEMISMATCH, nullptr},
        {"text True", text_variant(L"True"), VT_BOOL, S_OK, L"-1"},
        {"text FALSE", text_variant(L"FALSE"), VT_BOOL, S_OK, L"0"},
        {"text number to bool", text_variant(L"0.0"), VT_BOOL, S_OK, L"0"},
        {"text yes is no bool", text_variant(L"yes"), VT_BOOL, DISP_E_TYPEMISMATCH, nullptr},
        {"text to date", text_variant(L"2005-12-31 10:20:30"), VT_DATE, S_OK,
         L"2005-12-31 10:20:30"},
        {"text to decimal", text_variant(L"-12.50"), VT_DECIMAL, S_OK, L"-12.50"},
        {"text to currency", text_variant(L"1.23455"), VT_CY, S_OK, L"1.2346"},
        {"text to unsigned int", text_variant(L"4294967295"), VT_UINT, S_OK, L"4294967295"},
        {"decimal to double", decimal_variant(L"123.456"), VT_R8, S_OK, L"123.456"},
        {"decimal rounds to int", decimal_variant(L"-7.5"), VT_I1, S_OK, L"-8"},
        {"65-digit decimal to int64", decimal_variant(std::wstring(65, L'9').c_str()), VT_I8,
         DISP_E_OVERFLOW, nullptr},
        {"decimal to currency", decimal_variant(L"0.00005"), VT_CY, S_OK, L"0"},
        {"currency to decimal", decimal_variant(L"1.5"), VT_CY, S_OK, L"1.5"},
        {"bytes to text", bytes_variant({'A', 0xC3, 0x84}), VT_BSTR, S_OK, L"A\u00c4"},
        {"invalid UTF-8 is refused", bytes_variant({0xFF, 'A'}), VT_BSTR, DISP_E_TYPEMISMATCH,
         nullptr},
        {"bytes to int", bytes_variant({1}), VT_I4, DISP_E_TYPEMISMATCH, nullptr},
        {"empty to int", VARIANT(), VT_I4, S_OK, L"0"},
        {"empty to text", VARIANT(), VT_BSTR, S_OK, L""},
        {"null to int", integer_variant(VT_NULL, 0), VT_I4, DISP_E_TYPEMISMATCH, nullptr},
        {"no such kind", integer_variant(VT_I4, 1), VT_DISPATCH, DISP_E_BADVARTYPE, nullptr},
        {"to error kind", integer_variant(VT_I4, 1), VT_ERROR, DISP_E_BADVARTYPE, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        VARIANT out;
        ASSERT_EQ(VariantChangeType(&out, &c.source, 0, c.target), c.result);
        if (c.result != S_OK) {
            EXPECT_EQ(out.vt, VT_EMPTY);
            continue;
        }
        EXPECT_EQ(out.vt, c.target);
        EXPECT_EQ(text_of(out), c.text);
    }
}

TEST(oleauto_change_type, alpha_bool_flag_gives_words) {
    const VARIANT v = bool_variant(true);
    VARIANT out;
    ASSERT_EQ(VariantChangeType(&out, &v, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
    EXPECT_EQ(out.bstr(), L"True");
}

TEST(oleauto_change_type, text_and_bytes_convert_both_ways) {
    VARIANT v = text_variant(L"\u00c4\U0001F600");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BLOB), S_OK);
    EXPECT_EQ(v.vt, VT_ARRAY_UI1);
    EXPECT_EQ(v.parray().data, (std::vector<uint8_t>{0xC3, 0x84, 0xF0, 0x9F, 0x98, 0x80}));
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(v.bstr(), L"\u00c4\U0001F600");
}

TEST(oleauto_change_type, failure_in_place_leaves_the_value_alone) {
    VARIANT v = text_variant(L"not a number");
    EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(v.bstr(), L"not a number");
}

TEST(oleauto_change_type, every_integer_kind_round_trips_its_limits_through_text) {
    const struct {
        VARTYPE vt;
        int64_t low;
        int64_t high;
    } kinds[] = {{VT_I1, INT8_MIN, INT8_MAX},   {VT_I2, INT16_MIN, INT16_MAX},
                 {VT_I4, INT32_MIN, INT32_MAX}, {VT_INT, INT32_MIN, INT32_MAX},
                 {VT_I8, INT64_MIN, INT64_MAX}, {VT_UI1, 0, UINT8_MAX},
                 {VT_UI2, 0, UINT16_MAX},       {VT_UI4, 0, UINT32_MAX},
                 {VT_UINT, 0, UINT32_MAX}};
    for (const auto& k : kinds) {
        for (const int64_t value : {k.low, k.high}) {
            VARIANT v = integer_variant(VT_I8, value);
            ASSERT_EQ(VariantChangeType(&v, &v, 0, k.vt), S_OK) << k.vt << " " << value;
            ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
            const std::wstring text = v.bstr();
            ASSERT_EQ(VariantChangeType(&v, &v, 0, k.vt), S_OK);
            ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I8), S_OK);
            EXPECT_EQ(v.llVal, value) << k.vt;
            EXPECT_EQ(text, std::to_wstring(value));
        }
        // One beyond each end fails.
        if (k.vt != VT_I8) {
            for (const int64_t beyond : {k.low - 1, k.high + 1}) {
                VARIANT v = integer_variant(VT_I8, beyond);
                EXPECT_EQ(VariantChangeType(&v, &v, 0, k.vt), DISP_E_OVERFLOW)
                    << k.vt << " " << beyond;
            }
        }
    }
    VARIANT top = text_variant(L"18446744073709551615");
    ASSERT_EQ(VariantChangeType(&top, &top, 0, VT_UI8), S_OK);
    EXPECT_EQ(top.ullVal, UINT64_MAX);
    VARIANT beyond = text_variant(L"18446744073709551616");
    EXPECT_EQ(VariantChangeType(&beyond, &beyond, 0, VT_UI8), DISP_E_OVERFLOW);
}

TEST(oleauto_variant, copies_are_deep_and_moves_leave_empty) {
    VARIANT a = bytes_variant({1, 2, 3});
    VARIANT b = a;
    b.parray().data[0] = 9;
    EXPECT_EQ(a.parray().data[0], 1);
    VARIANT c = std::move(a);
    EXPECT_EQ(c.vt, VT_ARRAY_UI1);
    EXPECT_EQ(a.vt, VT_EMPTY);  // NOLINT(bugprone-use-after-move): the moved-from state is defined
    EXPECT_TRUE(a.parray().data.empty());
    EXPECT_EQ(VariantClear(&c), S_OK);
    EXPECT_EQ(c.vt, VT_EMPTY);
}

}  // namespace

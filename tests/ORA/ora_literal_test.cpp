// SQL literals of values and the reading of Oracle's textual date defaults.
#include <gtest/gtest.h>

#include <string>

#include "ORA/ora_date_processor.h"
#include "ORA/ora_engine.h"
#include "ORA/ora_oci.h"
#include "ORA/ora_type.h"
#include "platform/codepage.h"

namespace {

TEST(to_oracle_str, literals) {
    struct case_t {
        std::wstring text;
        VARTYPE kind;
        std::wstring literal;
    };
    const std::wstring guid_text =
        L"please keep this guid {01234567-89AB-CDEF-0123-456789ABCDEF} as text";
    const case_t cases[] = {
        {L"", VT_BSTR, L"''"},
        {L"", VT_I4, L"''"},
        {L"O'Brien", VT_BSTR, L"'O''Brien'"},
        // a text is written as it is, even when it contains "guid" and a brace
        {guid_text, VT_BSTR, L"'" + guid_text + L"'"},
        {L"2010-01-02 03:04:05", VT_DATE,
         L"to_date('2010-01-02 03:04:05', 'YYYY-MM-DD HH24:MI:SS')"},
        {L"2010-01-02", VT_DATE, L"to_date('2010-01-02', 'YYYY-MM-DD')"},
        {L"10:20:30", VT_DATE, L"to_date('10:20:30', 'HH24-MI-SS')"},
        {L"not a date at all", VT_DATE, L""},
        {L"0x0A0b", VT_ARRAY_UI1, L"'0A0b'"},
        {L"1234", VT_BLOB, L"'1234'"},
        {L"0xZZ", VT_BLOB, L"''"},
        {L"x", VT_BLOB, L"''"},
        {L"1.5", VT_R8, L"1.5"},
        {L"a'b", VT_I4, L"a''b"},
    };
    for (const case_t& c : cases) {
        EXPECT_EQ(to_oracle_str(c.text, c.kind), c.literal) << platform::wide_to_utf8(c.text);
    }
}

TEST(ora_date_processor, canonical_texts) {
    struct case_t {
        std::wstring text;
        std::wstring canonical;
    };
    const case_t cases[] = {
        {L"17-MAY-2024", L"2024-05-17"},
        {L"1-jan-2005", L"2005-01-01"},
        {L"01-JAN-05", L"2005-01-01"},  // two-digit years follow the RR rule
        {L"31-DEC-99", L"1999-12-31"},
        {L" 2-February-2010 ", L"2010-02-02"},
        {L"32-JAN-2000", L""},
        {L"0-JAN-2000", L""},
        {L"17-XYZ-2024", L""},
        {L"17-MAY", L""},
        {L"17-MAY-2024-1", L""},
        {L"17-MAY-10000", L""},
        {L"to_date('2024-05-17 13:45:09', 'YYYY-MM-DD HH24:MI:SS')", L"2024-05-17 13:45:09"},
        {L"TO_DATE('2024-05-17', 'YYYY-MM-DD')", L"2024-05-17"},
    };
    const ora_date_processor processor;
    for (const case_t& c : cases) {
        EXPECT_EQ(processor.get_canonized_str(c.text), c.canonical)
            << platform::wide_to_utf8(c.text);
    }
    const wchar_t* const months[] = {L"JAN", L"FEB", L"MAR", L"APR", L"MAY", L"JUN",
                                     L"JUL", L"AUG", L"SEP", L"OCT", L"NOV", L"DEC"};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(ora_date_processor::month_number(months[i]), i + 1);
    }
    EXPECT_EQ(ora_date_processor::month_number(L"JANUARYX"), 0);
}

TEST(ora_number_kind, precision_and_scale) {
    struct case_t {
        int precision;
        int scale;
        VARTYPE kind;
    };
    const case_t cases[] = {
        {0, -127, VT_R8},   {126, -127, VT_R8},  {39, 0, VT_R8},      {10, 2, VT_DECIMAL},
        {2, 2, VT_DECIMAL}, {1, 0, VT_I1},       {2, 0, VT_I1},       {3, 0, VT_I2},
        {4, 0, VT_I2},      {5, 0, VT_I4},       {9, 0, VT_I4},       {11, 0, VT_I8},
        {18, 0, VT_I8},     {19, 0, VT_DECIMAL}, {20, 0, VT_DECIMAL}, {38, 0, VT_DECIMAL},
        {5, -2, VT_I4},
    };
    for (const case_t& c : cases) {
        EXPECT_EQ(ora_number_kind(c.precision, c.scale), c.kind) << c.precision << "," << c.scale;
    }
}

TEST(ora_exception, code_keeps_the_low_sixteen_bits) {
    struct case_t {
        int32_t ora;
        uint32_t code;
    };
    const case_t cases[] = {
        {1, 0x100001},     {1017, 0x1003F9},  {12154, 0x102F7A},
        {12545, 0x103101}, {28000, 0x106D60}, {70000, 0x100000 | (70000 & 0xFFFF)},
    };
    for (const case_t& c : cases) {
        const ora_exception e(c.ora, L"ORA-x: text");
        EXPECT_EQ(e.system_error(), c.code);
        EXPECT_EQ(e.ora_error(), c.ora);
        EXPECT_EQ(e.level(), 0);
        EXPECT_STREQ(e.what(), "ORA-x: text");
    }
}

TEST(ora_engine, version_banners) {
    struct case_t {
        const char* banner;
        uint32_t version;
    };
    const case_t cases[] = {
        {"Oracle Database 11g Enterprise Edition Release 11.2.0.2.0 - 64bit Production",
         11u * 65536 + 2 * 256},
        {"Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production", 19u * 65536},
        {"Oracle AI Database 26ai Free Release 23.26.1.0.0 - Develop, Learn, and Run for Free",
         23u * 65536 + 26 * 256 + 1},
        {"Oracle8 Release 8.0.5.0.0 - Production", 8u * 65536 + 5},
        {"no version here", 0},
        {"", 0},
    };
    for (const case_t& c : cases) {
        EXPECT_EQ(ora_engine::parse_version(c.banner), c.version) << c.banner;
    }
}

TEST(ora_engine, direct_descriptor) {
    EXPECT_EQ(ora_engine::direct_descriptor(L"10.0.0.5", L"1521"),
              L"(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=10.0.0.5))(ADDRESS=(PROTOCOL=TCP)"
              L"(HOST=10.0.0.5)(PORT=1521)))");
}

TEST(ora_oci, candidates_in_order) {
    EXPECT_EQ(ora_oci_candidates("/opt/client/libclntsh.so.19", "/usr/bin"),
              std::vector<std::string>{"/opt/client/libclntsh.so.19"});
    const std::vector<std::string> defaults{"libclntsh.so", "/usr/bin/liboralite.so"};
    EXPECT_EQ(ora_oci_candidates(nullptr, "/usr/bin"), defaults);
    EXPECT_EQ(ora_oci_candidates("", "/usr/bin"), defaults);
}

TEST(ora_oci, probe_skips_what_does_not_serve) {
    ora_oci_functions table;
    // a missing file, and a library without the OCI functions
    EXPECT_FALSE(ora_oci_probe({"/nonexistent/liboralite.so", "libm.so.6"}, table));
    EXPECT_EQ(table.OCIEnvCreate, nullptr);
}

}  // namespace

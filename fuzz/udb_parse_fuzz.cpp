// Column texts of every kind: parsing must never crash, bad text gives NULL or
// ole_type_exception, and what a value prints must read back as the same value.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "UDB/ole_date.h"
#include "UDB/ole_variant.h"
#include "platform/oleauto.h"

namespace {

constexpr VARTYPE kinds[] = {VT_I2,   VT_I4,      VT_R4,   VT_R8,   VT_CY,        VT_DATE, VT_BSTR,
                             VT_BOOL, VT_DECIMAL, VT_I1,   VT_UI1,  VT_UI2,       VT_UI4,  VT_I8,
                             VT_UI8,  VT_INT,     VT_UINT, VT_BLOB, VT_ARRAY_UI1, VT_ERROR};

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A printed value of these kinds must read back as itself.
void check_round_trip(const ole_variant& v) {
    const VARTYPE vt = v.vartype();
    if (vt == VT_DECIMAL || vt == VT_CY || vt == VT_I8 || vt == VT_UI8 || vt == VT_I4 ||
        vt == VT_BLOB || vt == VT_ARRAY_UI1) {
        if (vt == VT_ARRAY_UI1 && v.bytes().size() > 0x50000) {
            return;
        }
        const ole_variant back = ole_variant::from_string(v.to_string(), vt);
        check(back.same_as(v) || (vt == VT_ARRAY_UI1 && v.bytes().empty()));
    }
    if (vt == VT_R8 && !std::isnan(v.variant().dblVal)) {
        const ole_variant back = ole_variant::from_string(v.to_string(), VT_R8);
        check(back.vartype() != VT_R8 || back.variant().dblVal == v.variant().dblVal);
    }
    if (vt == VT_DATE) {
        // A printed date reads back to the same text.
        const std::string text = v.to_string();
        check(ole_variant::from_string(text, VT_DATE).to_string() == text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const VARTYPE kind = kinds[data[0] % (sizeof kinds / sizeof kinds[0])];
    const VARTYPE target = kinds[(data[0] / 32) % (sizeof kinds / sizeof kinds[0])];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        ole_variant v = ole_variant::from_string(text, kind);
        check_round_trip(v);
        (void)v.to_wstring();
        try {
            v.change_type(target);
            (void)v.to_string();
        } catch (const ole_type_exception&) {
        }
    } catch (const ole_type_exception&) {
    }

    const ole_date date{std::string_view(text)};
    if (date.is_valid()) {
        (void)date.to_string();
    }

    const std::wstring wide(text.begin(), text.end());
    DECIMAL d;
    if (VarDecFromStr(wide, LOCALE_ENGLISH_US, 0, &d) == S_OK) {
        BSTR printed;
        check(VarBstrFromDec(d, LOCALE_ENGLISH_US, 0, &printed) == S_OK);
        DECIMAL again;
        check(VarDecFromStr(printed, LOCALE_ENGLISH_US, 0, &again) == S_OK && again == d);
    }
    DATE when = 0;
    if (VarDateFromStr(wide, LOCALE_ENGLISH_US, 0, &when) == S_OK) {
        SYSTEMTIME t;
        check(VariantTimeToSystemTime(when, &t) != 0);
        DATE back = 0;
        check(SystemTimeToVariantTime(&t, &back) != 0 && back == when);
    }
    return 0;
}

// The tagged value and VariantChangeType of the OLE Automation stand-in.
#include "platform/oleauto.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <limits>

#include "platform/codepage.h"
#include "platform/oleauto_number.h"

using platform::ole_detail::exact_number;

// ---- VARIANT ----------------------------------------------------------------------------------

VARIANT::VARIANT(VARIANT&& other) noexcept
    : vt(other.vt), llVal(other.llVal), payload_(std::move(other.payload_)) {
    other.vt = VT_EMPTY;
    other.llVal = 0;
    other.release_payload();
}

VARIANT& VARIANT::operator=(VARIANT&& other) noexcept {
    if (this != &other) {
        vt = other.vt;
        llVal = other.llVal;
        payload_ = std::move(other.payload_);
        other.vt = VT_EMPTY;
        other.llVal = 0;
        other.release_payload();
    }
    return *this;
}

namespace {

template <class T, class Payload>
T& payload_as(Payload& payload) {
    if (!std::holds_alternative<T>(payload)) {
        payload.template emplace<T>();
    }
    return std::get<T>(payload);
}

}  // namespace

BSTR& VARIANT::bstr() {
    return payload_as<BSTR>(payload_);
}

const BSTR& VARIANT::bstr() const {
    static const BSTR empty;
    const BSTR* text = std::get_if<BSTR>(&payload_);
    return text != nullptr ? *text : empty;
}

SAFEARRAY& VARIANT::parray() {
    return payload_as<SAFEARRAY>(payload_);
}

const SAFEARRAY& VARIANT::parray() const {
    static const SAFEARRAY empty;
    const SAFEARRAY* array = std::get_if<SAFEARRAY>(&payload_);
    return array != nullptr ? *array : empty;
}

DECIMAL& VARIANT::decVal() {
    return payload_as<DECIMAL>(payload_);
}

const DECIMAL& VARIANT::decVal() const {
    static const DECIMAL zero;
    const DECIMAL* value = std::get_if<DECIMAL>(&payload_);
    return value != nullptr ? *value : zero;
}

void VARIANT::release_payload() noexcept {
    // Most values (numbers, dates) own nothing: no need to visit the payload to destroy it.
    if (payload_.index() != 0) {
        payload_ = std::monostate();
    }
}

void VariantInit(VARIANT* v) {
    v->release_payload();
    v->vt = VT_EMPTY;
    v->llVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* destination, const VARIANT* source) {
    if (destination != source) {
        *destination = *source;
    }
    return S_OK;
}

// ---- integer helpers ------------------------------------------------------------------------

bool ole_integer_range(VARTYPE vt, __int128& low, __int128& high) {
    switch (vt) {
        case VT_I1:
            low = INT8_MIN, high = INT8_MAX;
            return true;
        case VT_I2:
            low = INT16_MIN, high = INT16_MAX;
            return true;
        case VT_I4:
        case VT_INT:
            low = INT32_MIN, high = INT32_MAX;
            return true;
        case VT_I8:
            low = INT64_MIN, high = INT64_MAX;
            return true;
        case VT_UI1:
            low = 0, high = UINT8_MAX;
            return true;
        case VT_UI2:
            low = 0, high = UINT16_MAX;
            return true;
        case VT_UI4:
        case VT_UINT:
            low = 0, high = UINT32_MAX;
            return true;
        case VT_UI8:
            low = 0, high = UINT64_MAX;
            return true;
        default:
            return false;
    }
}

bool ole_integer_value(const VARIANT& v, __int128& value) {
    switch (v.vt) {
        case VT_I1:
            value = v.cVal;
            return true;
        case VT_I2:
            value = v.iVal;
            return true;
        case VT_I4:
        case VT_INT:
            value = v.lVal;
            return true;
        case VT_I8:
            value = v.llVal;
            return true;
        case VT_UI1:
            value = v.bVal;
            return true;
        case VT_UI2:
            value = v.uiVal;
            return true;
        case VT_UI4:
        case VT_UINT:
            value = v.ulVal;
            return true;
        case VT_UI8:
            value = v.ullVal;
            return true;
        case VT_BOOL:
            value = v.boolVal != 0 ? -1 : 0;
            return true;
        default:
            return false;
    }
}

// The integer kinds store into the union member of their width.
void ole_store_integer(VARIANT& v, VARTYPE vt, __int128 value) {
    v.release_payload();
    v.vt = vt;
    v.llVal = 0;
    switch (vt) {
        case VT_I1:
            v.cVal = static_cast<int8_t>(value);
            break;
        case VT_I2:
            v.iVal = static_cast<int16_t>(value);
            break;
        case VT_I4:
        case VT_INT:
            v.lVal = static_cast<int32_t>(value);
            break;
        case VT_I8:
            v.llVal = static_cast<int64_t>(value);
            break;
        case VT_UI1:
            v.bVal = static_cast<uint8_t>(value);
            break;
        case VT_UI2:
            v.uiVal = static_cast<uint16_t>(value);
            break;
        case VT_UI4:
        case VT_UINT:
            v.ulVal = static_cast<uint32_t>(value);
            break;
        case VT_UI8:
            v.ullVal = static_cast<uint64_t>(value);
            break;
        default:
            break;
    }
}

// ---- VariantChangeType ------------------------------------------------------------------------

namespace {

bool is_signed_integer(VARTYPE vt) {
    return vt == VT_I1 || vt == VT_I2 || vt == VT_I4 || vt == VT_INT || vt == VT_I8;
}

bool is_unsigned_integer(VARTYPE vt) {
    return vt == VT_UI1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_UINT || vt == VT_UI8;
}

bool is_integer(VARTYPE vt) {
    return is_signed_integer(vt) || is_unsigned_integer(vt);
}

bool is_number(VARTYPE vt) {
    return is_integer(vt) || vt == VT_R4 || vt == VT_R8 || vt == VT_CY || vt == VT_DECIMAL ||
           vt == VT_BOOL || vt == VT_DATE;
}

bool is_byte_array(VARTYPE vt) {
    return vt == VT_ARRAY_UI1 || vt == VT_BLOB || vt == VT_BLOB_OBJECT;
}

bool date_in_range(double value) {
    SYSTEMTIME unused;
    return VariantTimeToSystemTime(value, &unused) != 0;
}

// A number taken out of a VARIANT, in the form that loses nothing.
struct number {
    enum class form { integer, real, exact } kind = form::integer;
    __int128 integer = 0;
    double real = 0;
    exact_number exact;
    bool from_float = false;  // real came from a VT_R4: print and convert it as a float
    bool from_bool = false;   // integer came from a VT_BOOL
    bool from_date = false;   // real came from a VT_DATE
};

HRESULT number_from_variant(const VARIANT& v, number& n) {
    using form = number::form;
    if (v.vt == VT_BOOL) {
        n.from_bool = true;
    }
    if (v.vt == VT_EMPTY || ole_integer_value(v, n.integer)) {
        return S_OK;
    }
    switch (v.vt) {
        case VT_R4:
            n.kind = form::real, n.real = v.fltVal, n.from_float = true;
            return S_OK;
        case VT_R8:
            n.kind = form::real, n.real = v.dblVal;
            return S_OK;
        case VT_DATE:
            n.kind = form::real, n.real = v.date, n.from_date = true;
            return S_OK;
        case VT_CY:
            // Currency has no scale of its own: 1.5000 is 1.5.
            n.kind = form::exact, n.exact = platform::ole_detail::exact_from_cy(v.cyVal);
            platform::ole_detail::trim_fraction_zeros(n.exact);
            return S_OK;
        case VT_DECIMAL:
            n.kind = form::exact, n.exact = platform::ole_detail::exact_from_decimal(v.decVal());
            return S_OK;
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

// The exact form of a real, the shortest that reads back to the same float or double.
HRESULT exact_of(const number& n, exact_number& out) {
    using form = number::form;
    if (n.kind == form::exact) {
        out = n.exact;
        return S_OK;
    }
    if (n.kind == form::integer) {
        out = platform::ole_detail::exact_from_integer(n.integer);
        return S_OK;
    }
    const bool ok = n.from_float
                        ? platform::ole_detail::exact_from_float(static_cast<float>(n.real), out)
                        : platform::ole_detail::exact_from_double(n.real, out);
    return ok ? S_OK : DISP_E_OVERFLOW;
}

HRESULT real_of(const number& n, double& out) {
    using form = number::form;
    switch (n.kind) {
        case form::integer:
            out = static_cast<double>(n.integer);
            return S_OK;
        case form::real:
            out = n.real;
            return S_OK;
        case form::exact:
            return platform::ole_detail::double_from_exact(n.exact, &out);
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT integer_of(const number& n, __int128& out) {
    using form = number::form;
    switch (n.kind) {
        case form::integer:
            out = n.integer;
            return S_OK;
        case form::real: {
            if (!std::isfinite(n.real)) {
                return DISP_E_OVERFLOW;
            }
            // The default rounding mode rounds half to even.
            const double rounded = std::nearbyint(n.real);
            if (std::fabs(rounded) >= 1e38) {
                return DISP_E_OVERFLOW;
            }
            out = static_cast<__int128>(rounded);
            return S_OK;
        }
        case form::exact:
            return platform::ole_detail::integer_from_exact(n.exact, &out);
    }
    return DISP_E_TYPEMISMATCH;
}

bool is_zero(const number& n) {
    using form = number::form;
    switch (n.kind) {
        case form::integer:
            return n.integer == 0;
        case form::real:
            return n.real == 0;
        case form::exact:
            return n.exact.digits.empty();
    }
    return true;
}

std::wstring integer_text(__int128 value) {
    exact_number exact = platform::ole_detail::exact_from_integer(value);
    std::wstring text;
    if (exact.negative) {
        text.push_back(L'-');
    }
    if (exact.digits.empty()) {
        text.push_back(L'0');
    }
    text.append(exact.digits.begin(), exact.digits.end());
    return text;
}

HRESULT text_of(const number& n, const VARIANT& source, uint16_t flags, BSTR& out) {
    using form = number::form;
    if (n.from_bool) {
        if ((flags & VARIANT_ALPHABOOL) != 0) {
            out = n.integer != 0 ? L"True" : L"False";
        } else {
            out = n.integer != 0 ? L"-1" : L"0";
        }
        return S_OK;
    }
    if (n.from_date) {
        return VarBstrFromDate(n.real, LOCALE_ENGLISH_US, 0, &out);
    }
    switch (n.kind) {
        case form::integer:
            out = integer_text(n.integer);
            return S_OK;
        case form::real:
            out = n.from_float ? var_text_from_r4(static_cast<float>(n.real))
                               : var_text_from_r8(n.real);
            return S_OK;
        case form::exact:
            if (source.vt == VT_CY) {
                return VarBstrFromCy(source.cyVal, LOCALE_ENGLISH_US, 0, &out);
            }
            if (source.vt == VT_DECIMAL) {
                return VarBstrFromDec(source.decVal(), LOCALE_ENGLISH_US, 0, &out);
            }
            {
                DECIMAL d;
                const HRESULT hr = platform::ole_detail::decimal_from_exact(n.exact, &d);
                if (FAILED(hr)) {
                    return hr;
                }
                return VarBstrFromDec(d, LOCALE_ENGLISH_US, 0, &out);
            }
    }
    return DISP_E_TYPEMISMATCH;
}

// Converts a number into the requested kind.
HRESULT number_to_kind(const number& n, const VARIANT& source, uint16_t flags, VARTYPE vt,
                       VARIANT& out) {
    __int128 low = 0, high = 0;
    if (ole_integer_range(vt, low, high)) {
        __int128 value = 0;
        // True is -1 as a signed number; an unsigned kind takes it as 1.
        if (n.from_bool && is_unsigned_integer(vt)) {
            value = n.integer != 0 ? 1 : 0;
        } else if (const HRESULT hr = integer_of(n, value); FAILED(hr)) {
            return hr;
        }
        if (value < low || value > high) {
            return DISP_E_OVERFLOW;
        }
        ole_store_integer(out, vt, value);
        return S_OK;
    }
    switch (vt) {
        case VT_BOOL:
            out.vt = VT_BOOL;
            out.llVal = 0;
            out.boolVal = is_zero(n) ? VARIANT_FALSE : VARIANT_TRUE;
            return S_OK;
        case VT_R4: {
            float value = 0;
            if (n.kind == number::form::exact) {
                if (const HRESULT hr = platform::ole_detail::float_from_exact(n.exact, &value);
                    FAILED(hr)) {
                    return hr;
                }
            } else {
                double real = 0;
                real_of(n, real);
                if (std::isfinite(real) && std::fabs(real) > FLT_MAX) {
                    return DISP_E_OVERFLOW;
                }
                value = static_cast<float>(real);
            }
            out.vt = VT_R4;
            out.llVal = 0;
            out.fltVal = value;
            return S_OK;
        }
        case VT_R8:
        case VT_DATE: {
            double value = 0;
            if (const HRESULT hr = real_of(n, value); FAILED(hr)) {
                return hr;
            }
            if (vt == VT_DATE && !date_in_range(value)) {
                return DISP_E_OVERFLOW;
            }
            out.vt = vt;
            out.dblVal = value;
            return S_OK;
        }
        case VT_CY: {
            exact_number exact;
            if (const HRESULT hr = exact_of(n, exact); FAILED(hr)) {
                return hr;
            }
            CY value;
            if (const HRESULT hr = platform::ole_detail::cy_from_exact(exact, &value); FAILED(hr)) {
                return hr;
            }
            out.vt = VT_CY;
            out.cyVal = value;
            return S_OK;
        }
        case VT_DECIMAL: {
            exact_number exact;
            if (const HRESULT hr = exact_of(n, exact); FAILED(hr)) {
                return hr;
            }
            const HRESULT hr =
                platform::ole_detail::decimal_from_exact(std::move(exact), &out.decVal());
            if (FAILED(hr)) {
                return hr;
            }
            out.vt = VT_DECIMAL;
            return S_OK;
        }
        case VT_BSTR: {
            const HRESULT hr = text_of(n, source, flags, out.bstr());
            if (FAILED(hr)) {
                return hr;
            }
            out.vt = VT_BSTR;
            return S_OK;
        }
        default:
            return DISP_E_BADVARTYPE;
    }
}

bool is_valid_utf8(const std::vector<uint8_t>& bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return platform::wide_to_utf8(platform::utf8_to_wide(text)) == text;
}

HRESULT text_to_kind(const BSTR& text, VARTYPE vt, uint16_t flags, VARIANT& out) {
    if (vt == VT_BSTR) {
        out.bstr() = text;
        out.vt = VT_BSTR;
        return S_OK;
    }
    if (vt == VT_DATE) {
        DATE value = 0;
        if (const HRESULT hr = VarDateFromStr(text, LOCALE_ENGLISH_US, 0, &value); FAILED(hr)) {
            return hr;
        }
        out.vt = VT_DATE;
        out.date = value;
        return S_OK;
    }
    if (is_byte_array(vt)) {
        const std::string utf8 = platform::wide_to_utf8(text);
        out.parray().data.assign(utf8.begin(), utf8.end());
        out.vt = VT_ARRAY_UI1;
        return S_OK;
    }
    if (vt == VT_BOOL) {
        std::wstring word;
        for (const wchar_t c : text) {
            if (c != L' ' && c != L'\t') {
                word.push_back(static_cast<wchar_t>(std::towlower(c)));
            }
        }
        if (word == L"true" || word == L"false") {
            out.vt = VT_BOOL;
            out.llVal = 0;
            out.boolVal = word == L"true" ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
    }
    number n;
    n.kind = number::form::exact;
    if (!platform::ole_detail::parse_exact(std::wstring_view(text), n.exact)) {
        return DISP_E_TYPEMISMATCH;
    }
    VARIANT none;
    return number_to_kind(n, none, flags, vt, out);
}

HRESULT change_type(const VARIANT& source, uint16_t flags, VARTYPE vt, VARIANT& out) {
    if (vt == VT_EMPTY || vt == VT_NULL) {
        out.vt = vt;
        return S_OK;
    }
    if (source.vt == VT_NULL) {
        return DISP_E_TYPEMISMATCH;
    }
    if (source.vt == VT_BSTR) {
        return text_to_kind(source.bstr(), vt, flags, out);
    }
    if (is_byte_array(source.vt)) {
        if (is_byte_array(vt)) {
            out.parray() = source.parray();
            out.vt = VT_ARRAY_UI1;
            return S_OK;
        }
        if (vt != VT_BSTR || !is_valid_utf8(source.parray().data)) {
            return DISP_E_TYPEMISMATCH;
        }
        const std::vector<uint8_t>& bytes = source.parray().data;
        out.bstr() = platform::utf8_to_wide(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        out.vt = VT_BSTR;
        return S_OK;
    }
    if (source.vt == VT_EMPTY && vt == VT_BSTR) {
        out.bstr().clear();
        out.vt = VT_BSTR;
        return S_OK;
    }
    if (is_byte_array(vt)) {
        return DISP_E_TYPEMISMATCH;
    }
    if (!is_number(vt) && vt != VT_BSTR) {
        return DISP_E_BADVARTYPE;
    }
    number n;
    if (const HRESULT hr = number_from_variant(source, n); FAILED(hr)) {
        return hr;
    }
    return number_to_kind(n, source, flags, vt, out);
}

}  // namespace

HRESULT VariantChangeTypeEx(VARIANT* destination, const VARIANT* source, LCID, uint16_t flags,
                            VARTYPE vt) {
    if (destination == nullptr || source == nullptr) {
        return E_INVALIDARG;
    }
    VARIANT result;
    const HRESULT hr = change_type(*source, flags, vt, result);
    if (FAILED(hr)) {
        return hr;
    }
    *destination = std::move(result);
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* destination, const VARIANT* source, uint16_t flags, VARTYPE vt) {
    return VariantChangeTypeEx(destination, source, LOCALE_ENGLISH_US, flags, vt);
}

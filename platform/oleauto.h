// The OLE Automation services the value model is built on: variant type codes, the tagged
// value VARIANT, BSTR, the one-dimensional byte SAFEARRAY, CY, DECIMAL, DATE with SYSTEMTIME,
// VariantChangeType and the text parsers and printers of locale 1033 (English, United States).
//
// Only what the value model uses is here, with the Windows names so that a reader who knows
// the platform finds his way. Differences from the Windows originals, on purpose:
//   - BSTR is an owned std::wstring held inside the VARIANT; there is no null BSTR.
//   - A SAFEARRAY is always one-dimensional, zero-based, of bytes, owned by its VARIANT.
//   - DECIMAL is exact: sign, up to DECIMAL_MAX_DIGITS decimal digits and a scale, because MySQL
//     DECIMAL columns hold up to 65 digits and a 96-bit value would lose the larger ones.
//   - VARIANT is a C++ value type: copying copies its string, array or decimal; moving is cheap.
//   - Texts never depend on the process locale: numbers are always read and printed with a dot.
// Every function is thread-safe (no shared state) and reports failure through its HRESULT;
// none throws except std::bad_alloc.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// ---- Basic types and result codes -------------------------------------------------------

using VARTYPE = uint16_t;
using HRESULT = int32_t;
using LCID = uint32_t;
using VARIANT_BOOL = int16_t;
using SCODE = int32_t;
// Days since 1899-12-30; the fraction is the time of day (for negative values the fraction
// still counts forward from midnight: -1.25 is 1899-12-29 06:00).
using DATE = double;
// The text of a VT_BSTR value.
using BSTR = std::wstring;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
inline constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
inline constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000Au);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}

inline constexpr LCID LOCALE_ENGLISH_US = 1033;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
// The locale the parsers and printers use: always 1033 on this platform.
LCID GetSystemDefaultLCID();
LCID GetUserDefaultLCID();

// ---- Variant type codes -------------------------------------------------------------------

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_NULL = 1;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_R4 = 4;
inline constexpr VARTYPE VT_R8 = 5;
inline constexpr VARTYPE VT_CY = 6;
inline constexpr VARTYPE VT_DATE = 7;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_DISPATCH = 9;
inline constexpr VARTYPE VT_ERROR = 10;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_VARIANT = 12;
inline constexpr VARTYPE VT_UNKNOWN = 13;
inline constexpr VARTYPE VT_DECIMAL = 14;
inline constexpr VARTYPE VT_I1 = 16;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_UI2 = 18;
inline constexpr VARTYPE VT_UI4 = 19;
inline constexpr VARTYPE VT_I8 = 20;
inline constexpr VARTYPE VT_UI8 = 21;
inline constexpr VARTYPE VT_INT = 22;
inline constexpr VARTYPE VT_UINT = 23;
inline constexpr VARTYPE VT_VOID = 24;
inline constexpr VARTYPE VT_HRESULT = 25;
inline constexpr VARTYPE VT_PTR = 26;
inline constexpr VARTYPE VT_SAFEARRAY = 27;
inline constexpr VARTYPE VT_LPSTR = 30;
inline constexpr VARTYPE VT_LPWSTR = 31;
inline constexpr VARTYPE VT_FILETIME = 64;
inline constexpr VARTYPE VT_BLOB = 65;
inline constexpr VARTYPE VT_BLOB_OBJECT = 70;
inline constexpr VARTYPE VT_CLSID = 72;
inline constexpr VARTYPE VT_VECTOR = 0x1000;
inline constexpr VARTYPE VT_ARRAY = 0x2000;
inline constexpr VARTYPE VT_BYREF = 0x4000;
// The binary value kind: a one-dimensional byte array (8209).
inline constexpr VARTYPE VT_ARRAY_UI1 = VT_ARRAY | VT_UI1;

// ---- Value types --------------------------------------------------------------------------

// Currency: a 64-bit integer scaled by 10 000 (four decimal places).
struct CY {
    int64_t int64;
    friend bool operator==(const CY&, const CY&) = default;
};

// An exact decimal number: (negative ? -1 : 1) * digits * 10^-scale.
// digits holds the decimal digits of the coefficient, most significant first, without leading
// zeros ("" is zero); scale is the count of digits after the decimal point, kept as it came
// in, so 12.50 stays 12.50. Zero is never negative.
inline constexpr int DECIMAL_MAX_DIGITS = 65;
inline constexpr int DECIMAL_MAX_SCALE = 65;
struct DECIMAL {
    std::string digits;
    uint8_t scale = 0;
    bool negative = false;
    friend bool operator==(const DECIMAL&, const DECIMAL&) = default;
};

// A broken-down date and time, as Windows gives it.
struct SYSTEMTIME {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0;  // 0 Sunday .. 6 Saturday
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
    friend bool operator==(const SYSTEMTIME&, const SYSTEMTIME&) = default;
};

// A one-dimensional, zero-based array of bytes; its element count is data.size().
struct SAFEARRAY {
    std::vector<uint8_t> data;
    uint16_t cDims = 1;
    int32_t lLbound = 0;
    friend bool operator==(const SAFEARRAY&, const SAFEARRAY&) = default;
};

// The tagged value. vt says which member is meaningful: the scalars live in the union, a
// VT_BSTR in bstr(), a VT_ARRAY|VT_UI1 in parray(), a VT_DECIMAL in decVal(). Setting vt by
// hand is the caller's business; the functions below always keep the two in step.
struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    union {
        int64_t llVal = 0;
        uint64_t ullVal;
        int8_t cVal;
        uint8_t bVal;
        int16_t iVal;
        uint16_t uiVal;
        int32_t lVal;
        uint32_t ulVal;
        int32_t intVal;
        uint32_t uintVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
    };

    VARIANT() = default;
    VARIANT(const VARIANT& other) = default;
    VARIANT(VARIANT&& other) noexcept;
    VARIANT& operator=(const VARIANT& other) = default;
    VARIANT& operator=(VARIANT&& other) noexcept;
    ~VARIANT() = default;

    // The owned payloads; each asks for the kind it returns and creates it (empty) when the
    // variant held another kind. They do not change vt.
    BSTR& bstr();
    const BSTR& bstr() const;
    SAFEARRAY& parray();
    const SAFEARRAY& parray() const;
    DECIMAL& decVal();
    const DECIMAL& decVal() const;
    // Frees an owned payload (string, array, decimal).
    void release_payload() noexcept;

  private:
    std::variant<std::monostate, BSTR, SAFEARRAY, DECIMAL> payload_;
};

// ---- Variant services ---------------------------------------------------------------------

void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);
HRESULT VariantCopy(VARIANT* destination, const VARIANT* source);

// Flags of VariantChangeType. Only VARIANT_ALPHABOOL changes anything here: a bool becomes
// "True"/"False" instead of "-1"/"0".
inline constexpr uint16_t VARIANT_NOVALUEPROP = 0x01;
inline constexpr uint16_t VARIANT_ALPHABOOL = 0x02;

// Converts source into the kind vt and stores it in destination (which may be source itself;
// on failure destination is left unchanged). The rules:
//   - numbers of every kind (I1, I2, I4, I8, UI1, UI2, UI4, UI8, INT, UINT, R4, R8, CY,
//     DECIMAL, BOOL, DATE as its double) convert to each other; a value that does not fit the
//     new kind fails with DISP_E_OVERFLOW, fractions going to an integer kind are rounded half
//     to even (2.5 -> 2, 3.5 -> 4), to CY half to even at the fourth decimal;
//   - bool is -1 (true) and 0 (false) as a number; any number other than 0 is true; true going
//     to an unsigned kind is 1 (Windows would give 255 or 65535, which reads as data);
//   - numbers to text: integers in decimal, R8 and R4 with the fewest digits that read back
//     to the same value ("0.1", "1E+20"), CY and DECIMAL as their exact decimal text, bool
//     "-1"/"0", a date as DATE text (see VarBstrFromDate);
//   - text to numbers: blanks around, a sign, digits with an optional dot and fraction and an
//     optional exponent; anything else is DISP_E_TYPEMISMATCH; text to bool also takes "True"
//     and "False" in any letter case; text to date: VarDateFromStr;
//   - a byte array to text decodes the bytes as UTF-8 (invalid UTF-8 is DISP_E_TYPEMISMATCH,
//     nothing is replaced silently); text to a byte array gives its UTF-8 bytes; a byte array
//     to a byte array is a copy; byte arrays convert to nothing else;
//   - VT_EMPTY becomes 0, "" or false; VT_NULL converts only to VT_NULL or VT_EMPTY;
//     any kind becomes VT_EMPTY (cleared) or VT_NULL on request;
//   - VT_INT and VT_UINT are 32-bit; VT_BLOB and VT_BLOB_OBJECT as requested kinds mean
//     VT_ARRAY|VT_UI1; every other kind is DISP_E_BADVARTYPE.
HRESULT VariantChangeType(VARIANT* destination, const VARIANT* source, uint16_t flags, VARTYPE vt);
HRESULT VariantChangeTypeEx(VARIANT* destination, const VARIANT* source, LCID lcid, uint16_t flags,
                            VARTYPE vt);

// ---- Text parsers and printers (locale 1033) -----------------------------------------------

// Numbers: blanks around, an optional sign, digits with an optional "." and fraction, an
// optional exponent (e or E, optional sign, digits). No group separators, no currency sign.
// A currency value is rounded half to even at the fourth decimal; out of range is
// DISP_E_OVERFLOW. A decimal keeps every digit given (trailing fraction zeros included); more
// than DECIMAL_MAX_DIGITS digits or a scale above DECIMAL_MAX_SCALE is DISP_E_OVERFLOW.
HRESULT VarCyFromStr(std::wstring_view text, LCID lcid, uint32_t flags, CY* out);
HRESULT VarDecFromStr(std::wstring_view text, LCID lcid, uint32_t flags, DECIMAL* out);
// The shortest exact text: "1.5", "-0.0001", "922337203685477.5807".
HRESULT VarBstrFromCy(CY value, LCID lcid, uint32_t flags, BSTR* out);
// Every digit and the scale: "12.50", "-0.001", "0".
HRESULT VarBstrFromDec(const DECIMAL& value, LCID lcid, uint32_t flags, BSTR* out);

// Dates (locale 1033). Accepted forms, letters in any case, blanks around ignored:
//   date:  YYYY-MM-DD, YYYY/MM/DD               (year first: four digits)
//          M/D/YYYY, M-D-YYYY, M/D/YY, M-D-YY   (month first, as in the United States)
//          Month D, YYYY / Month D YYYY / D Month YYYY / D-Mon-YYYY / D-Mon-YY
//          (English month names in full or three letters; a weekday name with or without a
//          comma may come first and is ignored)
//   time:  H:MM or H:MM:SS after the date, separated by blanks, optionally followed by AM or
//          PM (12 AM is midnight, 12 PM noon)
// A two-digit year means 1930..2029. Day must exist in its month (Gregorian leap years), years
// 100..9999, hours below 24, minutes and seconds below 60. Not accepted, so that the caller's
// own formats decide them: dates with dots ("2005.12.31", "31.12.2005"), fractions of a second,
// a time without a date, day-first numeric dates ("31/12/2005"), and anything else.
HRESULT VarDateFromStr(std::wstring_view text, LCID lcid, uint32_t flags, DATE* out);
// "YYYY-MM-DD HH:MM:SS"; the time is left out at midnight, the date when it is 1899-12-30.
HRESULT VarBstrFromDate(DATE value, LCID lcid, uint32_t flags, BSTR* out);

// Shortest round-trip texts of floating-point values ("0.1", "1E+20", "-3.5E-07").
std::wstring var_text_from_r8(double value);
std::wstring var_text_from_r4(float value);

// ---- Conversions between the numeric kinds ---------------------------------------------------

HRESULT VarR8FromCy(CY value, double* out);
HRESULT VarR8FromDec(const DECIMAL& value, double* out);
HRESULT VarI4FromDec(const DECIMAL& value, int32_t* out);
HRESULT VarI8FromDec(const DECIMAL& value, int64_t* out);
HRESULT VarUI8FromDec(const DECIMAL& value, uint64_t* out);
HRESULT VarCyFromDec(const DECIMAL& value, CY* out);
HRESULT VarDecFromCy(CY value, DECIMAL* out);
HRESULT VarDecFromI8(int64_t value, DECIMAL* out);
HRESULT VarDecFromUI8(uint64_t value, DECIMAL* out);
// The shortest decimal that reads back to the same double; NaN and infinities overflow.
HRESULT VarDecFromR8(double value, DECIMAL* out);
HRESULT VarCyFromR8(double value, CY* out);
HRESULT VarCyFromI8(int64_t value, CY* out);

// ---- Dates ---------------------------------------------------------------------------------

// Both return nonzero on success (the Windows BOOL). SystemTimeToVariantTime ignores the
// milliseconds and wDayOfWeek and fails for a day that does not exist (1900-02-29) or a year
// outside 100..9999; VariantTimeToSystemTime fills wDayOfWeek and rounds to the second.
int SystemTimeToVariantTime(const SYSTEMTIME* time, DATE* out);
int VariantTimeToSystemTime(DATE value, SYSTEMTIME* out);

// ---- Helpers of this stand-in (no Windows counterpart) ----------------------------------------

// The range of an integer kind (I1, I2, I4, INT, I8, UI1, UI2, UI4, UINT, UI8); false for
// other kinds.
bool ole_integer_range(VARTYPE vt, __int128& low, __int128& high);
// The value of an integer or bool kind (true is -1); false for other kinds.
bool ole_integer_value(const VARIANT& v, __int128& value);
// Makes v the integer kind vt holding value, which must lie in the kind's range.
void ole_store_integer(VARIANT& v, VARTYPE vt, __int128 value);

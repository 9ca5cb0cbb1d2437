// ole_variant: the one value type of the system. Every column value read from MySQL, every
// default value and every value written to Oracle travels as an ole_variant.
//
// The value is a VARIANT (platform/oleauto.h) plus the broken-down date of a VT_DATE, with its
// fraction of a second to the microsecond. A VT_DATE without a date (year, month and day 0) is
// a time; it may also be a duration beyond a day or below zero (a MySQL TIME of 838:59:59 or
// -12:00:00: hours above 23, and a sign), which only a duration column can hold. VT_EMPTY
// stands for NULL; texts are wide strings (VT_BSTR); binary values are one-dimensional byte
// arrays (VT_ARRAY|VT_UI1); VT_I8 and VT_UI8 hold 64-bit integers; VT_DECIMAL is exact.
//
// A value belongs to one thread at a time. Readers that do not serve the value's kind
// (to_long, to_double, get_bytes) raise tk_mail_assertion: the callers choose the reader by
// the column's kind. Conversions without a rule raise ole_type_exception. Parsing text never
// raises except through VariantChangeType for kinds without a parser of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "TK/tk_exception.h"
#include "platform/oleauto.h"

// Raised (level 1, "The operating type is not supported yet") when a conversion has no rule
// or the platform conversion fails.
class ole_type_exception : public tk_exception {
  public:
    ole_type_exception();
};

// True for the requested kinds that mean a byte array: VT_ARRAY|VT_UI1, VT_BLOB, VT_BLOB_OBJECT.
bool ole_is_binary_type(VARTYPE vt);

class ole_variant {
  public:
    ole_variant() noexcept = default;
    ole_variant(const ole_variant& other);
    ole_variant(ole_variant&& other) noexcept;
    ole_variant& operator=(const ole_variant& other);
    ole_variant& operator=(ole_variant&& other) noexcept;
    virtual ~ole_variant();

    explicit ole_variant(bool value);
    explicit ole_variant(char value);           // VT_I1
    explicit ole_variant(signed char value);    // VT_I1
    explicit ole_variant(unsigned char value);  // VT_UI1
    explicit ole_variant(short value);
    explicit ole_variant(unsigned short value);
    explicit ole_variant(int value);
    explicit ole_variant(unsigned int value);
    explicit ole_variant(long value);                // VT_I8
    explicit ole_variant(long long value);           // VT_I8
    explicit ole_variant(unsigned long value);       // VT_UI8
    explicit ole_variant(unsigned long long value);  // VT_UI8
    explicit ole_variant(float value);
    explicit ole_variant(double value);
    explicit ole_variant(const SYSTEMTIME& value);  // VT_DATE
    // VT_DATE with a fraction of a second (0..999999) and, for a duration, a sign.
    ole_variant(const SYSTEMTIME& value, uint32_t microseconds, bool negative = false);
    explicit ole_variant(CY value);
    explicit ole_variant(DECIMAL value);
    // Narrow text is in the process's ANSI character set.
    explicit ole_variant(std::string_view text);
    explicit ole_variant(const char* text);
    explicit ole_variant(std::wstring text);  // also the "system string" (BSTR) constructor
    explicit ole_variant(const wchar_t* text);
    explicit ole_variant(const std::vector<uint8_t>& bytes);
    explicit ole_variant(std::vector<uint8_t>&& bytes);
    ole_variant(size_t length, const void* bytes);

    // Builds a value of the requested kind from the text of a column value (the MySQL
    // client's text). Text that does not parse gives VT_EMPTY, with a trace line.
    static ole_variant from_string(std::string_view text, VARTYPE type);
    static ole_variant from_string(const char* text, VARTYPE type);
    static ole_variant from_string(const std::string& text, VARTYPE type);
    static ole_variant from_wstring(std::wstring_view text, VARTYPE type);
    static ole_variant from_wstring(const wchar_t* text, VARTYPE type);
    static ole_variant from_wstring(const std::wstring& text, VARTYPE type);
    // Takes the text over without a copy when the kind is VT_BSTR.
    static ole_variant from_wstring(std::wstring&& text, VARTYPE type);

    // Converts the value in place to new_type; a NULL stays NULL. Raises ole_type_exception
    // when there is no rule or the conversion fails (the value is then unchanged).
    void change_type(VARTYPE new_type);

    int32_t to_long() const;
    double to_double() const;
    virtual std::string to_string() const;    // ANSI character set
    virtual std::wstring to_wstring() const;  // a VT_BSTR's text as it is

    // The byte count of a byte array (0 for NULL); data points at its first byte (null when
    // there is none) and stays valid until the value changes.
    size_t get_bytes(const uint8_t*& data) const;
    std::span<const uint8_t> bytes() const;
    // Writable bytes of a byte array (raises tk_mail_assertion for other kinds).
    std::span<uint8_t> mutable_bytes();

    void allocate_safe_array(size_t size);
    void attach_binary(size_t length, const void* data);
    void attach_binary(const std::vector<uint8_t>& bytes);
    void attach_binary(std::vector<uint8_t>&& bytes);
    void attach_string(std::string_view text);  // ANSI character set
    void attach_wstring(std::wstring text);

    // Makes the value NULL (VT_EMPTY).
    void clear() noexcept;

    VARTYPE vartype() const noexcept { return value_.vt; }
    // VT_EMPTY or VT_NULL.
    bool is_null() const noexcept { return value_.vt == VT_EMPTY || value_.vt == VT_NULL; }
    const VARIANT& variant() const noexcept { return value_; }
    int64_t hyper_value() const noexcept { return value_.llVal; }
    uint64_t uhyper_value() const noexcept { return value_.ullVal; }
    const SYSTEMTIME& date_parts() const noexcept { return date_parts_; }
    // The fraction of the second of a VT_DATE, 0..999999.
    uint32_t date_microseconds() const noexcept { return date_microseconds_; }
    // A VT_DATE duration below zero.
    bool date_negative() const noexcept { return date_negative_; }
    // A VT_DATE without a date whose hours are above 23 or whose sign is negative: a MySQL
    // TIME that is no time of day.
    bool is_long_duration() const noexcept;
    // The text of a VT_BSTR (tk_mail_assertion for other kinds).
    const std::wstring& bstr() const;
    // The decimal of a VT_DECIMAL (tk_mail_assertion for other kinds).
    const DECIMAL& decimal() const;
    // True for VT_BOOL true.
    bool bool_value() const noexcept { return value_.vt == VT_BOOL && value_.boolVal != 0; }

    // Same kind and same value (byte arrays, texts and decimals compared exactly; a date by
    // its parts). Meant for tests and checks, not for ordering.
    bool same_as(const ole_variant& other) const;

  private:
    void set_date_parts(const SYSTEMTIME& parts, uint32_t microseconds = 0, bool negative = false);
    void change_from_hyper(VARTYPE new_type);
    void change_to_hyper(VARTYPE new_type);
    void change_to_bytes();
    // The text of a VT_DATE (ole_date's forms, with the fraction and a duration's sign).
    std::wstring date_text() const;

    VARIANT value_;
    SYSTEMTIME date_parts_;
    uint32_t date_microseconds_ = 0;
    bool date_negative_ = false;
};

// Finds a GUID in a text such as "... guid {01234567-89AB-CDEF-0123-456789ABCDEF} ...":
// the first "{" after the word "guid" (or "GUID"), in a text of at least 45 characters.
class ole_guid_extractor {
  public:
    explicit ole_guid_extractor(std::wstring text);

    bool found() const noexcept { return found_; }
    int32_t position() const noexcept { return position_; }
    // The 38 characters from the opening brace (empty when none was found).
    std::wstring guid() const;
    // The 32 hexadecimal digits without braces and dashes (empty when none was found).
    std::wstring hex_digits() const;

  private:
    int32_t position_ = -1;
    std::wstring text_;
    bool found_ = false;
};

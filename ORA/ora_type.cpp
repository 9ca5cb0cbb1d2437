#include "ORA/ora_type.h"

#include <algorithm>
#include <cwctype>

#include "ORA/ora_temporal.h"
#include "TK/tk_trace_log.h"
#include "UDB/ole_date.h"
#include "platform/codepage.h"

namespace {

// The readers of described columns.
class ora_reader : public ora_type {
  public:
    ora_reader(VARTYPE kind, const ora_param& param, int32_t size)
        : ora_type(kind, param.name(), param.is_null(), param.data_type()), size_(size) {}

    int32_t get_size() const override { return size_; }

  protected:
    int32_t size_;
};

// Text up to the first NUL code unit of a UTF-16 buffer.
std::wstring nul_terminated(const std::vector<char16_t>& buffer) {
    const auto end = std::find(buffer.begin(), buffer.end(), u'\0');
    return ora_from_oci(buffer.data(), static_cast<size_t>(end - buffer.begin()) * 2);
}

// Character columns (VARCHAR2, CHAR, NVARCHAR2, NCHAR, and text expressions).
class ora_string : public ora_reader {
  public:
    explicit ora_string(const ora_param& param)
        : ora_reader(VT_BSTR, param, param.data_size()),
          // Every byte of the database character set is at most one UTF-16 code unit.
          buffer_(std::min<size_t>(static_cast<size_t>(param.data_size()) + 1, 32767)) {}

    void define(ora_stmt& statement, uint32_t position) override {
        define_ =
            statement.define(position, buffer_.data(), static_cast<int32_t>(buffer_.size() * 2),
                             SQLT_CHR, &indicator_, &length_);
    }
    ole_variant to_variant() override { return ole_variant(ora_from_oci(buffer_.data(), length_)); }

  private:
    std::vector<char16_t> buffer_;
    uint16_t length_ = 0;
};

// NUMBER, FLOAT and the binary floating-point types, read as text.
class ora_number : public ora_reader {
  public:
    explicit ora_number(const ora_param& param) : ora_reader(VT_R8, param, 0), buffer_(255, u'\0') {
        precision_ = param.precision();
        scale_ = param.scale();
        tk_trace(1, "Prec=%d, scale=%d", precision_, scale_);
        kind_ = ora_number_kind(precision_, scale_);
        if (kind_ == VT_DECIMAL) {
            const int scale = std::max(scale_, 0);
            const int precision = precision_ == scale ? precision_ + 1 : precision_;
            subtype_ = t_ftd::pack_precision(precision, scale);
        }
    }

    void define(ora_stmt& statement, uint32_t position) override {
        define_ =
            statement.define(position, buffer_.data(), static_cast<int32_t>(buffer_.size() * 2),
                             SQLT_STR, &indicator_, nullptr);
    }
    ole_variant to_variant() override {
        std::wstring text = nul_terminated(buffer_);
        tk_trace_w(1, L"ora_number::to_variant(buf=%ls)", text.c_str());
        // Oracle writes 0.5 as ".5".
        const size_t sign = !text.empty() && text[0] == L'-' ? 1 : 0;
        if (text.size() > sign && (text[sign] == L'.' || text[sign] == L',')) {
            text.insert(sign, 1, L'0');
        }
        return ole_variant::from_wstring(text, kind_);
    }
    int32_t subtype() const override { return subtype_; }

  private:
    std::vector<char16_t> buffer_;
    int precision_ = 0;
    int scale_ = 0;
    int32_t subtype_ = 0;
};

// Types read through their text: LONG, LONG RAW (hexadecimal text), row identifiers,
// intervals.
class ora_str_repr : public ora_reader {
  public:
    ora_str_repr(const ora_param& param, VARTYPE kind, size_t length)
        : ora_reader(kind, param, 0), buffer_(length, u'\0') {}

    void define(ora_stmt& statement, uint32_t position) override {
        define_ =
            statement.define(position, buffer_.data(), static_cast<int32_t>(buffer_.size() * 2),
                             SQLT_STR, &indicator_, nullptr);
    }
    ole_variant to_variant() override {
        const std::wstring text = nul_terminated(buffer_);
        if (kind_ == VT_BSTR) {
            return ole_variant(text);
        }
        return ole_variant::from_wstring(text, VT_ARRAY_UI1);
    }

  private:
    std::vector<char16_t> buffer_;
};

// DATE and the TIMESTAMP types, read as Oracle's 7-byte date. The values the system reads
// back (defaults, catalogue rows) need no fraction; the fraction digits of a TIMESTAMP column
// are kept for its descriptor.
class ora_date : public ora_reader {
  public:
    explicit ora_date(const ora_param& param)
        : ora_reader(VT_DATE, param, 0),
          fraction_digits_(param.data_type() == 12 ? 0 : std::max<int>(param.scale(), 0)) {}

    int32_t fraction_digits() const override { return fraction_digits_; }

    void define(ora_stmt& statement, uint32_t position) override {
        define_ = statement.define(position, bytes_, sizeof bytes_, SQLT_DAT, &indicator_, nullptr);
    }
    ole_variant to_variant() override {
        const auto part = [](uint8_t byte) { return byte > 100 ? byte - 100 : 100 - byte; };
        const auto time_part = [](uint8_t byte) { return byte == 0 ? 0 : byte - 1; };
        SYSTEMTIME parts;
        parts.wYear = static_cast<uint16_t>(part(bytes_[0]) * 100 + part(bytes_[1]));
        parts.wMonth = bytes_[2];
        parts.wDay = bytes_[3];
        parts.wHour = static_cast<uint16_t>(time_part(bytes_[4]));
        parts.wMinute = static_cast<uint16_t>(time_part(bytes_[5]));
        parts.wSecond = static_cast<uint16_t>(time_part(bytes_[6]));
        tk_trace(1, "Got datetime: %02d/%02d/%04d %02d:%02d:%02d", parts.wDay, parts.wMonth,
                 parts.wYear, parts.wHour, parts.wMinute, parts.wSecond);
        return ole_variant(parts);
    }

  private:
    uint8_t bytes_[7] = {};
    int32_t fraction_digits_;
};

// INTERVAL DAY TO SECOND, read as its text "+DD HH:MI:SS[.F]" into a duration.
class ora_interval : public ora_reader {
  public:
    explicit ora_interval(const ora_param& param)
        : ora_reader(VT_DATE, param, 0),
          fraction_digits_(std::max<int>(param.scale(), 0)),
          buffer_(64, u'\0') {}

    int32_t subtype() const override { return t_ftd::date_kind_duration; }
    int32_t fraction_digits() const override { return fraction_digits_; }
    void define(ora_stmt& statement, uint32_t position) override {
        define_ =
            statement.define(position, buffer_.data(), static_cast<int32_t>(buffer_.size() * 2),
                             SQLT_STR, &indicator_, nullptr);
    }
    ole_variant to_variant() override {
        const std::wstring text = nul_terminated(buffer_);
        ole_variant value;
        if (!ora_read_interval(text, value)) {
            tk_trace_w(2, L"Interval text not understood: %ls", text.c_str());
            return ole_variant(text);
        }
        return value;
    }

  private:
    int32_t fraction_digits_;
    std::vector<char16_t> buffer_;
};

// RAW columns.
class ora_binary : public ora_reader {
  public:
    explicit ora_binary(const ora_param& param)
        : ora_reader(VT_BLOB, param, param.data_size()),
          buffer_(std::max<size_t>(param.data_size(), 1)) {}

    void define(ora_stmt& statement, uint32_t position) override {
        define_ = statement.define(position, buffer_.data(), static_cast<int32_t>(buffer_.size()),
                                   SQLT_BIN, &indicator_, &length_);
    }
    ole_variant to_variant() override { return ole_variant(length_, buffer_.data()); }

  private:
    std::vector<uint8_t> buffer_;
    uint16_t length_ = 0;
};

// CLOB, NCLOB and BLOB columns, read through a locator in chunks.
class ora_lob : public ora_reader {
  public:
    static constexpr uint32_t chunk_bytes = 32768;

    explicit ora_lob(const ora_param& param)
        : ora_reader(param.data_type() == SQLT_CLOB ? VT_BSTR : VT_BLOB, param, 0) {}

    void define(ora_stmt& statement, uint32_t position) override {
        define_ = statement.define(position, locator_.address(), sizeof(OCILobLocator*), data_type_,
                                   &indicator_, nullptr);
    }
    ole_variant to_variant() override {
        tk_trace(1, "ora_lob::to_variant");
        TK_ASSERT(data_type_ == SQLT_CLOB || data_type_ == SQLT_BLOB);
        const uint32_t length = locator_.length();
        if (data_type_ == SQLT_CLOB) {
            const uint8_t form = locator_.charset_form();
            tk_trace(1, "Got charset form: %d", form);
            std::u16string text;
            std::vector<char16_t> chunk(chunk_bytes / 2);
            while (text.size() < length) {
                const uint32_t got = read_lob(static_cast<uint32_t>(text.size()) + 1, chunk.data(),
                                              static_cast<uint32_t>(chunk.size()), form);
                if (got == 0) {
                    break;
                }
                text.append(chunk.data(), std::min<size_t>(got, chunk.size()));
            }
            return ole_variant(platform::utf16_to_wide(text));
        }
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> chunk(chunk_bytes);
        while (bytes.size() < length) {
            const uint32_t got =
                read_lob(static_cast<uint32_t>(bytes.size()) + 1, chunk.data(), chunk_bytes, 0);
            if (got == 0) {
                break;
            }
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + std::min(got, chunk_bytes));
        }
        return ole_variant(std::move(bytes));
    }

  private:
    uint32_t read_lob(uint32_t offset, void* buffer, uint32_t amount, uint8_t form) {
        tk_trace(1, "ora_lob::read_lob(%u,%u)", offset, amount);
        return locator_.read(offset, buffer, chunk_bytes, amount, form);
    }

    ora_lob_locator locator_;
};

// Types the system does not read.
class ora_dummy : public ora_reader {
  public:
    explicit ora_dummy(const ora_param& param) : ora_reader(VT_BSTR, param, 0) {}

    void define(ora_stmt&, uint32_t) override {}
    ole_variant to_variant() override { return ole_variant(L"<unsupported type>"); }
};

}  // namespace

// ---- ora_type ------------------------------------------------------------------------------

ora_type::ora_type(VARTYPE kind, std::wstring name, bool nullable, uint16_t data_type)
    : kind_(kind),
      name_(std::move(name)),
      shared_name_(udb_make_name(name_)),
      nullable_(nullable),
      data_type_(data_type) {}

// The define handle belongs to the statement, which frees it.
ora_type::~ora_type() = default;

t_ftd ora_type::column() const {
    t_ftd field(name(), get_vartype(), get_size(), !nullable(), false, ole_variant(), subtype());
    field.fraction_digits = fraction_digits();
    return field;
}

VARTYPE ora_type::vartype_of(uint16_t data_type) {
    switch (data_type) {
        case 2:
        case 4:
        case 6:
        case 7:
            return VT_R8;
        case 3:
            return VT_I4;
        case 12:
        case 187:
        case 188:
        case 231:
        case 232:
            return VT_DATE;
        case 23:
        case 24:
        case 113:
        case 114:
            return VT_BLOB;
        default:
            return VT_BSTR;
    }
}

VARTYPE ora_number_kind(int precision, int scale) {
    // FLOAT(b) states its precision in binary digits, with the scale -127: a float.
    if (precision == 0 || precision > 38 || scale == -127) {
        return VT_R8;
    }
    if (scale > 0) {
        return VT_DECIMAL;
    }
    tk_trace(1, "Refine type mapping for int (prec=%d)", precision);
    if (precision <= 2) {
        return VT_I1;
    }
    if (precision <= 4) {
        return VT_I2;
    }
    if (precision <= 9) {
        return VT_I4;
    }
    if (precision <= 18) {
        return VT_I8;
    }
    return VT_DECIMAL;
}

std::unique_ptr<ora_type> gen_co_by_type(const ora_param& param) {
    const uint16_t code = param.data_type();
    tk_trace(1, "ora_query_results::gen_co_by_type(%d)", code);
    tk_trace(1, "mypard3=%08lX", reinterpret_cast<unsigned long>(param.handle()));
    switch (code) {
        case 1:
        case 5:
        case 96:
            return std::make_unique<ora_string>(param);
        case 2:
        case 3:
        case 4:
        case 6:
        case 7:
        case SQLT_IBFLOAT:
        case SQLT_IBDOUBLE:
            return std::make_unique<ora_number>(param);
        case 8:
            return std::make_unique<ora_str_repr>(param, VT_BSTR, 1000000);
        case 24:
            return std::make_unique<ora_str_repr>(param, VT_BLOB, 1000000);
        case 11:
        case 104:
        case 105:
        case 208:
            return std::make_unique<ora_str_repr>(param, VT_BSTR, 255);
        case 190:
            return std::make_unique<ora_interval>(param);
        case 182:
        case 183:
        case 189:
            return std::make_unique<ora_str_repr>(param, VT_BSTR, 64);
        case 12:
        case 187:
        case 188:
        case 231:
        case 232:
            return std::make_unique<ora_date>(param);
        case 23:
            return std::make_unique<ora_binary>(param);
        case 112:
        case 113:
            return std::make_unique<ora_lob>(param);
        default:
            return std::make_unique<ora_dummy>(param);
    }
}

// ---- ora_record ----------------------------------------------------------------------------

ora_record::ora_record(const std::vector<std::unique_ptr<ora_type>>& readers) {
    tk_trace(1, "ora_record::ctor");
    fields.reserve(readers.size());
    for (size_t i = 0; i < readers.size(); ++i) {
        const ora_type& reader = *readers[i];
        if (reader.is_null()) {
            tk_trace(1, "Field #%d has NULL value", static_cast<int>(i));
            fields.emplace_back(reader.shared_name(), reader.get_size());
            continue;
        }
        fields.emplace_back(reader.shared_name(), reader.get_size(), readers[i]->to_variant());
    }
}

// ---- ora_query_results ---------------------------------------------------------------------

ora_query_results::ora_query_results(int32_t column_count, const std::wstring& query)
    : udb_recordset(L"", query, true), statement_(std::make_unique<ora_stmt>()) {
    tk_trace(1, "ora_query_results::ctor(1)");
    initialize(column_count, query);
}

ora_query_results::ora_query_results(const std::wstring& name, const std::wstring& query_text)
    : udb_recordset(name, query_text, true), statement_(std::make_unique<ora_stmt>()) {
    tk_trace(1, "ora_query_results::ctor(2)");
}

ora_query_results::~ora_query_results() = default;

void ora_query_results::initialize(int32_t column_count, const std::wstring& query) {
    tk_trace_w(1, L"ora_query_results::initialize(%d, %ls)", column_count, query.c_str());
    TK_ASSERT(!initialized_);
    statement_->prepare(query);
    statement_->execute(0);
    column_count_ =
        column_count == 0 ? static_cast<int32_t>(statement_->param_count()) : column_count;
    for (int32_t i = 1; i <= column_count_; ++i) {
        tk_trace(1, "Processing column #%d", i);
        const ora_param param(*statement_, static_cast<uint32_t>(i));
        readers_.push_back(gen_co_by_type(param));
        kinds_.push_back(readers_.back()->get_vartype());
    }
    for (size_t i = 0; i < readers_.size(); ++i) {
        readers_[i]->define(*statement_, static_cast<uint32_t>(i + 1));
    }
    initialized_ = true;
}

bool ora_query_results::is_eof() {
    tk_trace(1, "ora_query_results::is_eof");
    TK_ASSERT(initialized_);
    if (at_end_) {
        return true;
    }
    fetched_ = true;
    at_end_ = !statement_->fetch();
    return at_end_;
}

udb_record* ora_query_results::get_item() {
    tk_trace(1, "ora_query_results::get_item");
    if (!fetched_) {
        tk_trace(1, "fetch wasn't called yet");
        is_eof();
    }
    current_.reset();
    if (at_end_) {
        return nullptr;
    }
    current_ = std::make_unique<ora_record>(readers_);
    return current_.get();
}

bool ora_query_results::append_record(udb_record&) {
    TK_FAIL();
}

namespace {

// A value as a catalogue reader wants it: numbers without an exponent where they have none.
std::wstring plain_text(const udb_field& field) {
    if (field.is_null()) {
        return {};
    }
    if (field.vartype() == VT_R8) {
        return var_text_from_r8(field.variant().dblVal);
    }
    return field.to_wstring();
}

}  // namespace

std::vector<std::vector<std::wstring>> ora_query_results::read_rows(const std::wstring& query) {
    ora_query_results results(0, query);
    std::vector<std::vector<std::wstring>> rows;
    while (!results.is_eof()) {
        const udb_record* record = results.get_item();
        std::vector<std::wstring> row;
        row.reserve(record->size());
        for (const udb_field& field : *record) {
            row.push_back(plain_text(field));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::wstring> ora_query_results::read_texts(const std::wstring& query) {
    std::vector<std::wstring> texts;
    for (std::vector<std::wstring>& row : read_rows(query)) {
        texts.push_back(row.empty() ? std::wstring() : std::move(row[0]));
    }
    return texts;
}

// ---- literals ------------------------------------------------------------------------------

std::wstring ora_quote_string(const std::wstring& text) {
    std::wstring quoted = L"'";
    for (wchar_t c : text) {
        quoted.push_back(c);
        if (c == L'\'') {
            quoted.push_back(L'\'');
        }
    }
    quoted.push_back(L'\'');
    return quoted;
}

std::wstring ora_date_literal(const std::wstring& text) {
    const ole_date date{std::wstring_view(text)};
    if (!date.is_valid()) {
        return {};
    }
    std::wstring value = date.to_wstring();
    // A fraction of a second needs a timestamp: TO_DATE refuses it.
    const bool fraction = date.microseconds() != 0;
    const std::wstring function = fraction ? L"to_timestamp('" : L"to_date('";
    const std::wstring seconds = fraction ? L"SS.FF6" : L"SS";
    switch (date.kind()) {
        case ole_date::kind_time: {
            const std::wstring zero_date = L"0000-00-00 ";
            if (value.rfind(zero_date, 0) == 0) {
                tk_trace(1, "Null date has been found");
                value.erase(0, zero_date.size());
            }
            return function + value + L"', 'HH24-MI-" + seconds + L"')";
        }
        case ole_date::kind_date:
            return L"to_date('" + value + L"', 'YYYY-MM-DD')";
        default:
            return function + value + L"', 'YYYY-MM-DD HH24:MI:" + seconds + L"')";
    }
}

namespace {

bool all_hex_digits(const std::wstring& text, size_t from) {
    return from < text.size() &&
           std::all_of(text.begin() + static_cast<ptrdiff_t>(from), text.end(),
                       [](wchar_t c) { return std::iswxdigit(c) != 0; });
}

std::wstring binary_literal(const std::wstring& text) {
    tk_trace(1, "GOT BLOB");
    if (text.size() < 2) {
        return L"''";
    }
    if ((text.rfind(L"0x", 0) == 0 || text.rfind(L"0X", 0) == 0) && all_hex_digits(text, 2)) {
        tk_trace(1, "BLOB IS VALID");
        return L"'" + text.substr(2) + L"'";
    }
    if (all_hex_digits(text, 0) && text.size() % 2 == 0) {
        tk_trace(1, "BLOB IS VALID");
        return L"'" + text + L"'";
    }
    return L"''";
}

}  // namespace

std::wstring to_oracle_str(const std::wstring& text, VARTYPE kind) {
    tk_trace_w(1, L"to_oracle_str(%ls,%d)", text.c_str(), kind);
    if (text.empty()) {
        return L"''";
    }
    switch (kind) {
        case VT_DATE:
            return ora_date_literal(text);
        case VT_BLOB:
        case VT_BLOB_OBJECT:
        case VT_ARRAY_UI1:
            return binary_literal(text);
        case VT_BSTR:
            // Written as it is: a text is never replaced by something found inside it.
            return ora_quote_string(text);
        default: {
            const std::wstring quoted = ora_quote_string(text);
            return quoted.substr(1, quoted.size() - 2);
        }
    }
}

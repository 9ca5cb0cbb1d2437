#include "UDB/udb_schema.h"

#include <algorithm>
#include <cwctype>
#include <mutex>
#include <unordered_set>

#include "TK/tk_trace_log.h"

bool udb_names_equal(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t k = 0; k < a.size(); ++k) {
        if (a[k] != b[k] &&
            std::towlower(static_cast<wint_t>(a[k])) != std::towlower(static_cast<wint_t>(b[k]))) {
            return false;
        }
    }
    return true;
}

namespace {

bool is_numeric_destination(VARTYPE vt) {
    switch (vt) {
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_BOOL:
        case VT_DECIMAL:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            return true;
        default:
            return false;
    }
}

// The sources a numeric destination takes: the numeric kinds without VT_INT and VT_UINT.
bool is_numeric_source(VARTYPE vt) {
    return is_numeric_destination(vt) && vt != VT_INT && vt != VT_UINT;
}

bool is_text_type(VARTYPE vt) {
    return vt == VT_BSTR || vt == VT_LPSTR || vt == VT_LPWSTR;
}

bool is_binary_type(VARTYPE vt) {
    return ole_is_binary_type(vt);
}

}  // namespace

// ---- t_ftd
// ---------------------------------------------------------------------------------------

t_ftd::t_ftd(std::wstring name_, VARTYPE vartype_, int32_t size_, bool not_null_,
             bool auto_increment_, ole_variant default_value_, int32_t subtype_)
    : size(size_),
      name(std::move(name_)),
      vartype(vartype_),
      auto_increment(auto_increment_),
      not_null(not_null_),
      default_value(std::move(default_value_)),
      subtype(subtype_) {
    tk_trace_w(1, L"Got field '%ls', vartype=%d, size=%d, b_not_null=%d", name.c_str(), vartype,
               size, not_null ? 1 : 0);
}

bool t_ftd::operator==(const t_ftd& other) const {
    tk_trace(1, "t_ftd::operator ==");
    if ((vartype == VT_DECIMAL && other.vartype == VT_CY) ||
        (vartype == VT_CY && other.vartype == VT_DECIMAL)) {
        return true;
    }
    if (vartype != other.vartype) {
        return false;
    }
    return vartype != VT_BSTR || size == other.size;
}

bool t_ftd::conform_to(const t_ftd& destination) const {
    tk_trace(1, "t_ftd::conform_to");
    if (*this == destination) {
        return true;
    }
    const VARTYPE d = destination.vartype;
    const bool fits = destination.size == 0 || destination.size >= size;
    if (is_numeric_destination(d)) {
        return is_numeric_source(vartype);
    }
    if (d == VT_DATE) {
        return vartype == VT_DATE || (vartype == VT_BSTR && size == 19);
    }
    if (is_text_type(d)) {
        if (is_text_type(vartype)) {
            return fits;
        }
        return !is_binary_type(vartype);
    }
    if (is_binary_type(d)) {
        if (is_text_type(vartype) || is_binary_type(vartype)) {
            return fits;
        }
        return true;
    }
    // VT_EMPTY, VT_NULL, VT_DISPATCH, VT_ERROR, VT_VARIANT, VT_UNKNOWN, 15 and the rest.
    return false;
}

// ---- udb_schema
// ----------------------------------------------------------------------------------

udb_schema::udb_schema(const udb_schema& other)
    : auto_increment_next(other.auto_increment_next), owns_(true) {
    fields_.reserve(other.fields_.size());
    for (const t_ftd* field : other.fields_) {
        fields_.push_back(new t_ftd(*field));
    }
}

udb_schema& udb_schema::operator=(const udb_schema& other) {
    if (this != &other) {
        udb_schema copy(other);
        *this = std::move(copy);
    }
    return *this;
}

udb_schema::udb_schema(udb_schema&& other) noexcept
    : auto_increment_next(other.auto_increment_next),
      fields_(std::move(other.fields_)),
      owns_(other.owns_) {
    other.fields_.clear();
}

udb_schema& udb_schema::operator=(udb_schema&& other) noexcept {
    if (this != &other) {
        clear();
        fields_ = std::move(other.fields_);
        owns_ = other.owns_;
        auto_increment_next = other.auto_increment_next;
        other.fields_.clear();
    }
    return *this;
}

udb_schema::~udb_schema() {
    clear();
}

void udb_schema::clear() noexcept {
    if (owns_) {
        for (t_ftd* field : fields_) {
            delete field;
        }
    }
    fields_.clear();
}

void udb_schema::add(t_ftd* descriptor) {
    TK_ASSERT(descriptor != nullptr);
    fields_.push_back(descriptor);
}

void udb_schema::add(std::unique_ptr<t_ftd> descriptor) {
    TK_ASSERT(descriptor != nullptr);
    // A borrowing schema cannot take ownership.
    TK_ASSERT(owns_);
    fields_.push_back(descriptor.get());
    descriptor.release();
}

void udb_schema::add(t_ftd descriptor) {
    add(std::make_unique<t_ftd>(std::move(descriptor)));
}

const t_ftd* udb_schema::lookup(std::wstring_view name) const {
    for (const t_ftd* field : fields_) {
        tk_trace_w(1, L"Processing %ls", field->name.c_str());
        if (udb_names_equal(field->name, name)) {
            return field;
        }
    }
    return nullptr;
}

bool udb_schema::find_field(std::wstring_view name) const {
    tk_trace_w(1, L"udb_schema::find_field(%ls)", std::wstring(name).c_str());
    return lookup(name) != nullptr;
}

const t_ftd& udb_schema::get_field(std::wstring_view name) const {
    tk_trace_w(1, L"udb_schema::find_field(%ls)", std::wstring(name).c_str());
    const t_ftd* field = lookup(name);
    TK_ASSERT(field != nullptr);
    return *field;
}

t_ftd& udb_schema::get_field(std::wstring_view name) {
    return const_cast<t_ftd&>(static_cast<const udb_schema&>(*this).get_field(name));
}

int32_t udb_schema::get_field_size(std::wstring_view name) const {
    tk_trace_w(1, L"udb_schema::get_field_size(%ls)", std::wstring(name).c_str());
    const t_ftd* field = lookup(name);
    TK_ASSERT(field != nullptr);
    return field->size;
}

VARTYPE udb_schema::get_field_type(std::wstring_view name) const {
    tk_trace_w(1, L"udb_schema::get_field_type(%ls)", std::wstring(name).c_str());
    const t_ftd* field = lookup(name);
    TK_ASSERT(field != nullptr);
    return field->vartype;
}

bool udb_schema::conform_to(const udb_schema& destination) const {
    tk_trace(1, "udb_schema::conform_to");
    if (size() != destination.size()) {
        tk_trace(2, "Tables are not conformed: src_size=%d, dest_size=%d", static_cast<int>(size()),
                 static_cast<int>(destination.size()));
        return false;
    }
    for (size_t i = 0; i < size(); ++i) {
        const t_ftd& s = *fields_[i];
        const t_ftd& d = destination[i];
        if (!s.conform_to(d)) {
            tk_trace(
                2, "Column #%d doesn't conform (src_vt=%d, src_size=%d, dest_vt=%d, dest_size=%d)",
                static_cast<int>(i + 1), s.vartype, s.size, d.vartype, d.size);
            return false;
        }
    }
    return true;
}

// ---- udb_field
// -----------------------------------------------------------------------------------

udb_name udb_make_name(std::wstring name) {
    // A node-based set: its strings never move while others are added.
    static std::mutex guard;
    static auto* names = new std::unordered_set<std::wstring>();  // never freed: see the header
    const std::lock_guard lock(guard);
    return &*names->insert(std::move(name)).first;
}

namespace {

const udb_name& empty_name() {
    static const udb_name name = udb_make_name(std::wstring());
    return name;
}

}  // namespace

udb_field::udb_field() : name_(empty_name()) {}

udb_field::udb_field(std::wstring name, int32_t size_, ole_variant value)
    : udb_field(udb_make_name(std::move(name)), size_, std::move(value)) {}

udb_field::udb_field(udb_name name, int32_t size_, ole_variant value)
    : ole_variant(std::move(value)), size(size_), name_(name ? std::move(name) : empty_name()) {
    tk_trace(1, "udb_field::ctor #2");
    tk_trace_w(1, L"name=%ls, size=%d", name_->c_str(), size);
}

udb_field::~udb_field() = default;

void udb_field::set_value(ole_variant value) {
    ole_variant::operator=(std::move(value));
}

// ---- indexes and foreign keys
// --------------------------------------------------------------------

bool udb_index::starts_with_fields(const std::vector<std::wstring>& names) const {
    tk_trace_w(1, L"udb_index(%ls)::starts_with_fields", name.c_str());
    if (fields.size() < names.size()) {
        if (!names.empty()) {
            tk_trace_w(1, L"Field '%ls' not found", names[fields.size()].c_str());
        }
        return false;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (!udb_names_equal(fields[i], names[i])) {
            tk_trace_w(1, L"Field '%ls' not found", names[i].c_str());
            return false;
        }
    }
    tk_trace(1, "starts_with_fields returns true");
    return true;
}

bool udb_index::consists_of_fields(const std::vector<std::wstring>& names) const {
    tk_trace_w(1, L"udb_index(%ls)::consists_of_fields", name.c_str());
    if (fields.size() != names.size()) {
        return false;
    }
    for (const std::wstring& wanted : names) {
        if (std::find(fields.begin(), fields.end(), wanted) == fields.end()) {
            tk_trace_w(1, L"Field '%ls' not found", wanted.c_str());
            return false;
        }
    }
    tk_trace(1, "consists_of_fields returns true");
    return true;
}

bool udb_indexes::is_acceptable_name(std::wstring_view name) const {
    return std::none_of(begin(), end(),
                        [&](const udb_index& index) { return udb_names_equal(index.name, name); });
}

const udb_index& udb_indexes::get_index(std::wstring_view name) const {
    const auto found = std::find_if(
        begin(), end(), [&](const udb_index& index) { return udb_names_equal(index.name, name); });
    TK_ASSERT(found != end());
    return *found;
}

bool udb_indexes::has_index_on_fields(const std::vector<std::wstring>& names, bool unique) const {
    tk_trace(1, "udb_indexes::has_index_on_fields");
    for (const udb_index& index : *this) {
        if (index.starts_with_fields(names)) {
            return unique ? index.is_unique : true;
        }
    }
    return false;
}

bool udb_indexes::is_idx_field(std::wstring_view column, bool primary_only) const {
    tk_trace_w(1, L"udb_indexes::is_idx_field(%ls)", std::wstring(column).c_str());
    for (const udb_index& index : *this) {
        if (primary_only && !index.is_primary) {
            continue;
        }
        if (std::find(index.fields.begin(), index.fields.end(), column) != index.fields.end()) {
            tk_trace(1, "index field");
            return true;
        }
    }
    tk_trace(1, "non-index field");
    return false;
}

bool udb_relationships::is_acceptable_name(std::wstring_view name) const {
    return std::none_of(begin(), end(), [&](const udb_relationship& key) {
        return udb_names_equal(key.name, name);
    });
}

const udb_relationship& udb_relationships::get_index(std::wstring_view name) const {
    const auto found = std::find_if(begin(), end(), [&](const udb_relationship& key) {
        return udb_names_equal(key.name, name);
    });
    TK_ASSERT(found != end());
    return *found;
}

#include "ORA/ora_lob_writer.h"

#include <algorithm>

#include "ORA/ora_type_mapping.h"

#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "platform/codepage.h"

namespace {

ora_engine& engine() {
    return ora_engine::instance();
}

}  // namespace

// ---- ora_get_rowid ---------------------------------------------------------------------------

ora_get_rowid::ora_get_rowid(ora_stmt& statement, uint32_t position) : statement_(statement) {
    engine().check(ora_oci().OCIBindByPos(statement_.handle(), &bind_, engine().error(), position,
                                          nullptr, buffer_bytes, SQLT_STR, nullptr, nullptr,
                                          nullptr, 0, nullptr, OCI_DATA_AT_EXEC));
    engine().check(
        ora_oci().OCIBindDynamic(bind_, engine().error(), this, &cbf_no_data, this, &cbf_get_data));
}

std::wstring ora_get_rowid::do_insert() {
    tk_trace(1, "ora_get_rowid::do_insert");
    std::fill(std::begin(buffer_), std::end(buffer_), u'\0');
    length_ = buffer_bytes;
    statement_.execute(1);
    size_t units = 0;
    while (units < std::size(buffer_) && units * 2 < length_ && buffer_[units] != u'\0') {
        ++units;
    }
    const std::wstring rowid = ora_from_oci(buffer_, units * 2);
    tk_trace_w(1, L"GOT ROWID(1): %ls", rowid.c_str());
    return rowid;
}

int32_t ora_get_rowid::cbf_no_data(void*, OCIBind*, uint32_t, uint32_t, void** buffer,
                                   uint32_t* length, uint8_t* piece, void** indicator) {
    tk_trace(1, "ora_get_rowid::cbf_no_data");
    static int16_t null_indicator = OCI_IND_NULL;
    *buffer = nullptr;
    *length = 0;
    *piece = OCI_ONE_PIECE;
    *indicator = &null_indicator;
    return OCI_CONTINUE;
}

int32_t ora_get_rowid::cbf_get_data(void* context, OCIBind*, uint32_t iteration, uint32_t,
                                    void** buffer, uint32_t** length, uint8_t* piece,
                                    void** indicator, uint16_t** return_code) {
    tk_trace(1, "ora_get_rowid::cbf_get_data (iter=%u)", iteration);
    auto* self = static_cast<ora_get_rowid*>(context);
    self->length_ = buffer_bytes;
    *buffer = self->buffer_;
    *length = &self->length_;
    *piece = OCI_ONE_PIECE;
    *indicator = nullptr;
    *return_code = nullptr;
    return OCI_CONTINUE;
}

// ---- ora_lob_insert --------------------------------------------------------------------------

ora_lob_insert::ora_lob_insert(const std::wstring& table, const udb_schema& schema)
    : table_(table) {
    tk_trace(1, "ora_lob_insert::ctor");
    for (size_t i = 0; i < schema.size(); ++i) {
        if (!ora_is_lob_column(schema[i])) {
            continue;
        }
        tk_trace_w(1, L"GOT LD %ls", schema[i].name.c_str());
        columns_.push_back({i, schema[i].vartype, schema[i].name});
        locators_.emplace_back();
    }
    indicators_.assign(columns_.size(), 0);
    tk_trace(1, "ora_lob_insert::ctor - at the END");
}

ora_lob_insert::~ora_lob_insert() {
    tk_trace(1, "ora_lob_insert::~ora_lob_insert");
    select_.reset();
    tk_trace(1, "~ora_lob_insert - Step #1");
    locators_.clear();
    tk_trace(1, "~ora_lob_insert - Step #2");
    columns_.clear();
    tk_trace(1, "~ora_lob_insert - Step #3");
}

void ora_lob_insert::insert(const std::vector<const ole_variant*>& values,
                            const std::wstring& rowid) {
    tk_trace_w(1, L"ora_lob_insert::insert(%ls)", rowid.c_str());
    if (columns_.empty()) {
        tk_trace(2, "Record has no LOBs - skip it");
        return;
    }
    if (!select_) {
        std::wstring names;
        for (const lob_column& column : columns_) {
            names += (names.empty() ? L"\"" : L", \"") + column.name + L"\"";
        }
        const std::wstring sql =
            L"SELECT " + names + L" FROM \"" + table_ + L"\" WHERE ROWID = :1 FOR UPDATE";
        tk_trace_w(3, L"Run SQL query: %ls\n", sql.c_str());
        select_ = std::make_unique<ora_stmt>(sql);
        for (size_t k = 0; k < columns_.size(); ++k) {
            select_->define(static_cast<uint32_t>(k + 1), locators_[k].address(),
                            sizeof(OCILobLocator*),
                            ora_is_text_kind(columns_[k].kind) ? SQLT_CLOB : SQLT_BLOB,
                            &indicators_[k], nullptr);
        }
    }
    rowid_ = platform::wide_to_utf16(rowid);
    select_->bind(L":1", rowid_.data(), static_cast<int32_t>(rowid_.size() * 2), SQLT_CHR,
                  &rowid_indicator_, nullptr);
    if (select_->execute(1) == ora_status::no_data) {
        throw tk_exception("The inserted row cannot be found again to write its large values.", 0);
    }
    for (size_t k = 0; k < columns_.size(); ++k) {
        const ole_variant* value = values[columns_[k].position];
        if (value == nullptr) {
            continue;
        }
        if (ora_is_text_kind(columns_[k].kind)) {
            write_clob(k, *value);
        } else {
            write_blob(k, *value);
        }
    }
    tk_trace(1, "ora_insert::insert - at the END");
}

void ora_lob_insert::write_clob(size_t column, const ole_variant& value) {
    tk_trace(1, "ora_lob_insert::write_clob");
    if (value.is_null() || value.bstr().empty()) {
        tk_trace(1, "Got empty CLOB - skip it");
        return;
    }
    const std::wstring& text = value.bstr();
    tk_trace(1, "CLOB size=%zu", text.size());
    ora_lob_locator& locator = locators_[column];
    const uint8_t form = locator.charset_form();
    // Piece by piece: the UTF-16 form of one piece at a time, never of the whole text.
    std::u16string units;
    uint32_t offset = 1;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.size(), at + piece_bytes / 4);
        units = platform::wide_to_utf16(std::wstring_view(text).substr(at, end - at));
        locator.write_text(offset, units, form);
        offset += static_cast<uint32_t>(units.size());
        at = end;
    }
}

void ora_lob_insert::write_blob(size_t column, const ole_variant& value) {
    tk_trace(1, "ora_lob_insert::write_blob");
    const std::span<const uint8_t> bytes = value.bytes();
    if (bytes.empty()) {
        tk_trace(1, "Got empty BLOB - skip it");
        return;
    }
    tk_trace(1, "BLOB size=%zu", bytes.size());
    for (size_t at = 0; at < bytes.size(); at += piece_bytes) {
        const size_t count = std::min(piece_bytes, bytes.size() - at);
        locators_[column].write_bytes(static_cast<uint32_t>(at + 1), bytes.data() + at,
                                      static_cast<uint32_t>(count));
    }
    tk_trace(1, "ora_lob_insert::write_blob - at the end");
}

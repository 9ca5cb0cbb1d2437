#include "core/tk_error_converter.h"

#include "TK/tk_exception.h"
#include "TK/tk_trace_log.h"

tk_error_converter::tk_error_converter(size_t count, const tk_error_entry* entries) {
    tk_trace(2, "tk_error_converter::ctor (map size=%d)", static_cast<int>(count));
    load_map(count, entries);
}

void tk_error_converter::load_map(size_t count, const tk_error_entry* entries) {
    tk_trace(2, "tk_error_converter::load_map (map size=%d)", static_cast<int>(count));
    TK_ASSERT(entries != nullptr);
    for (size_t i = 0; i < count; ++i) {
        map_.emplace(entries[i].code, entries[i].text == nullptr ? "" : entries[i].text);
    }
}

std::string tk_error_converter::convert(int32_t code) const {
    tk_trace(2, "tk_error_converter::convert(%d)", code);
    const auto found = map_.find(code);
    if (found == map_.end()) {
        tk_trace(1, "Error message not found!");
        return {};
    }
    tk_trace(1, "Error message has been found: %s", found->second.c_str());
    return found->second;
}

#include "TK/tk_cmdli.h"

#include <cstring>

#include "TK/tk_exception.h"

tk_cmdli::tk_cmdli(int argc, const char* const* argv, const cmdli_option* options)
    : argc_(argc < 0 ? 0 : argc), argv_(argv), options_(options) {
    TK_ASSERT(options != nullptr);
    TK_ASSERT(argc_ == 0 || argv != nullptr);
    match();
}

void tk_cmdli::next() {
    if (valid()) {
        ++index_;
        match();
    }
}

void tk_cmdli::match() {
    id_ = -1;
    value_.clear();
    if (!valid()) {
        return;
    }
    const char* argument = argv_[index_] == nullptr ? "" : argv_[index_];
    for (const cmdli_option* row = options_; row->prefix[0] != '\0'; ++row) {
        const size_t length = std::strlen(row->prefix);
        if (std::strncmp(argument, row->prefix, length) == 0) {
            id_ = row->id;
            value_ = argument + length;
            return;
        }
    }
    TK_ASSERT(unrecognised_.size() < max_unrecognised);
    unrecognised_.push_back(argument);
}

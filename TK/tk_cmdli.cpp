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

namespace {

// A flag's row is a prefix without "=" at its end. "--tab_def=0" reads as a value given to a
// flag, which would be ignored and switch the flag on whatever the value says: it matches no
// flag row. Other characters after a flag's name are ignored ("--tab_defx" is "--tab_def").
bool matches(const char* argument, const char* prefix) {
    const size_t length = std::strlen(prefix);
    if (std::strncmp(argument, prefix, length) != 0) {
        return false;
    }
    const bool flag = prefix[length - 1] != '=';
    return !flag || argument[length] != '=';
}

}  // namespace

void tk_cmdli::match() {
    id_ = -1;
    value_.clear();
    if (!valid()) {
        return;
    }
    const char* argument = argv_[index_] == nullptr ? "" : argv_[index_];
    for (const cmdli_option* row = options_; row->prefix[0] != '\0'; ++row) {
        if (matches(argument, row->prefix)) {
            id_ = row->id;
            value_ = argument + std::strlen(row->prefix);
            return;
        }
    }
    TK_ASSERT(unrecognised_.size() < max_unrecognised);
    unrecognised_.push_back(argument);
}

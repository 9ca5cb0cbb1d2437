#include "core/rejects_file.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>

#include "TK/tk_exception.h"
#include "TK/tk_string.h"
#include "TK/tk_text.h"
#include "UDB/udb_database.h"
#include "platform/codepage.h"

namespace {

template <class Real>
std::string shortest(Real value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// A text as a MySQL string literal: the escapes MySQL reads in its default mode, so that every
// character comes back, the zero character and line breaks included.
std::string quoted_text(const std::wstring& text) {
    const std::string utf8 = platform::wide_to_utf8(text);
    std::string out = "'";
    out.reserve(utf8.size() + 2);
    for (const char c : utf8) {
        switch (c) {
            case '\0':
                out += "\\0";
                break;
            case '\'':
                out += "\\'";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\x1a':
                out += "\\Z";
                break;
            default:
                out += c;
        }
    }
    return out + "'";
}

std::string temporal(const ole_variant& value) {
    const SYSTEMTIME& t = value.date_parts();
    char fraction[16] = "";
    if (value.date_microseconds() != 0) {
        std::snprintf(fraction, sizeof fraction, ".%06u",
                      static_cast<unsigned>(value.date_microseconds()));
    }
    char text[64];
    if (t.wYear == 0 && t.wMonth == 0 && t.wDay == 0) {
        // A TIME, beyond a day and below zero included.
        std::snprintf(text, sizeof text, "'%s%02u:%02u:%02u%s'", value.date_negative() ? "-" : "",
                      t.wHour, t.wMinute, t.wSecond, fraction);
    } else {
        std::snprintf(text, sizeof text, "'%04u-%02u-%02u %02u:%02u:%02u%s'", t.wYear, t.wMonth,
                      t.wDay, t.wHour, t.wMinute, t.wSecond, fraction);
    }
    return text;
}

}  // namespace

std::string mysql_literal(const ole_variant& value) {
    switch (value.vartype()) {
        case VT_EMPTY:
        case VT_NULL:
            return "NULL";
        case VT_R4:
            return shortest(value.variant().fltVal);
        case VT_R8:
            return shortest(value.variant().dblVal);
        case VT_BOOL:
            return value.bool_value() ? "1" : "0";
        case VT_DATE:
            return temporal(value);
        case VT_BSTR:
            return quoted_text(value.bstr());
        case VT_ARRAY_UI1:
        case VT_BLOB:
        case VT_BLOB_OBJECT: {
            const auto bytes = value.bytes();
            return "X'" + tk_hex_encode(bytes.data(), bytes.size()) + "'";
        }
        default:
            // Integers, decimals and currency print their exact digits.
            return platform::wide_to_utf8(value.to_wstring());
    }
}

std::string mysql_quoted_name(const std::wstring& name) {
    std::string out = "`";
    for (const char c : platform::wide_to_utf8(name)) {
        out += c;
        if (c == '`') {
            out += '`';
        }
    }
    return out + "`";
}

rejects_file::rejects_file(std::string folder, std::wstring database)
    : folder_(std::move(folder)), database_(std::move(database)) {}

rejects_file::~rejects_file() = default;

void rejects_file::create() {
    std::string base = platform::wide_to_utf8(database_);
    for (char& c : base) {
        if (c == '/') {
            c = '_';
        }
    }
    const std::string folder = folder_.empty() ? std::string(".") : folder_;
    for (int n = 1; n < 10000; ++n) {
        const std::string name = base + (n == 1 ? std::string(".rejects.sql")
                                                : ".rejects." + std::to_string(n) + ".sql");
        const std::string path = folder + "/" + name;
        // "x": never over an earlier file, even one that appears meanwhile.
        std::FILE* file = std::fopen(path.c_str(), "wx");
        if (file != nullptr) {
            file_.reset(file);
            path_ = path;
            break;
        }
        if (errno != EEXIST) {
            throw tk_exception(
                "The rejected records cannot be saved in " + path + ": " + std::strerror(errno), 0);
        }
    }
    if (!file_) {
        throw tk_exception("The rejected records cannot be saved: no free file name in " + folder,
                           0);
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char when[64];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
    std::fprintf(file_.get(),
                 "-- Records of the MySQL database %s that did not arrive in Oracle (%s).\n"
                 "-- Each one: why, then the record as it was read, as an INSERT statement.\n"
                 "SET NAMES utf8mb4;\n\n",
                 mysql_quoted_name(database_).c_str(), when);
}

void rejects_file::add(const std::wstring& table, const std::string& error,
                       const udb_schema& columns, const udb_record& record) {
    if (!file_) {
        create();
    }
    std::string names;
    std::string values;
    for (size_t i = 0; i < record.size(); ++i) {
        if (i < columns.size() && columns[i].generated) {
            continue;
        }
        const std::string separator = names.empty() ? "" : ", ";
        names += separator + mysql_quoted_name(record[i].name());
        values += separator + mysql_literal(record[i]);
    }
    // The comment is one line: a line break in the error would end it.
    std::string comment = error;
    for (char& c : comment) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    const int written =
        std::fprintf(file_.get(), "-- %s\nINSERT INTO %s (%s) VALUES (%s);\n", comment.c_str(),
                     mysql_quoted_name(table).c_str(), names.c_str(), values.c_str());
    if (written < 0 || std::fflush(file_.get()) != 0) {
        throw tk_exception(
            "The rejected records cannot be saved in " + path_ + ": " + std::strerror(errno), 0);
    }
    ++records_;
}

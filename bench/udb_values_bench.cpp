// Conversions per second of the value model on the paths every column value takes: text of
// the MySQL client to a value (from_wstring), the change to the destination's kind, and the
// readers the destination uses. Prints figures; asserts nothing.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "UDB/udb_database.h"
#include "platform/codepage.h"

namespace {

volatile size_t sink = 0;

void measure(const char* what, size_t count, const std::function<void(size_t)>& step) {
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < count; ++i) {
        step(i);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-44s %12.0f conversions/s  (%zu in %.3f s)\n", what, count / seconds, count,
                seconds);
}

std::vector<std::wstring> texts(size_t n, const std::function<std::wstring(size_t)>& make) {
    std::vector<std::wstring> result;
    result.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        result.push_back(make(i));
    }
    return result;
}

}  // namespace

int main() {
    platform::init_locale();
    constexpr size_t n = 1000000;
    const auto ints = texts(1024, [](size_t i) { return std::to_wstring(i * 7919 % 2000000000); });
    const auto decimals = texts(1024, [](size_t i) {
        return std::to_wstring(i * 31) + L"." + std::to_wstring(10 + i % 90);
    });
    const auto doubles = texts(1024, [](size_t i) { return std::to_wstring(i) + L".125e-3"; });
    const auto dates = texts(1024, [](size_t i) {
        return L"20" + std::to_wstring(10 + i % 20) + L"-0" + std::to_wstring(1 + i % 9) + L"-1" +
               std::to_wstring(i % 10) + L" 10:20:3" + std::to_wstring(i % 10);
    });
    const auto words =
        texts(1024, [](size_t i) { return L"Customer name number " + std::to_wstring(i); });

    measure("from_wstring int -> VT_I4", n, [&](size_t i) {
        sink =
            sink + static_cast<size_t>(ole_variant::from_wstring(ints[i % 1024], VT_I4).to_long());
    });
    measure("from_wstring bigint -> VT_I8", n, [&](size_t i) {
        sink = sink + ole_variant::from_wstring(ints[i % 1024], VT_I8).hyper_value();
    });
    measure("from_wstring decimal -> VT_DECIMAL", n, [&](size_t i) {
        sink = sink +
               ole_variant::from_wstring(decimals[i % 1024], VT_DECIMAL).decimal().digits.size();
    });
    measure("from_wstring double -> VT_R8", n, [&](size_t i) {
        sink = sink +
               static_cast<size_t>(ole_variant::from_wstring(doubles[i % 1024], VT_R8).to_double());
    });
    measure("from_wstring datetime -> VT_DATE", n / 4, [&](size_t i) {
        sink = sink + ole_variant::from_wstring(dates[i % 1024], VT_DATE).date_parts().wDay;
    });
    measure("from_wstring text (moved) -> VT_BSTR", n, [&](size_t i) {
        std::wstring text = words[i % 1024];
        sink = sink + ole_variant::from_wstring(std::move(text), VT_BSTR).bstr().size();
    });
    std::vector<uint8_t> blob(4096, 0x5A);
    measure("4 KiB bytes -> VT_ARRAY|VT_UI1", n,
            [&](size_t) { sink = sink + ole_variant(std::vector<uint8_t>(blob)).bytes().size(); });

    // A record of five columns converted to the destination's kinds, as the driver does.
    udb_schema schema;
    schema.add(t_ftd(L"id", VT_I8, 0));
    schema.add(t_ftd(L"price", VT_DECIMAL, 0));
    schema.add(t_ftd(L"name", VT_BSTR, 100));
    schema.add(t_ftd(L"weight", VT_R8, 0));
    schema.add(t_ftd(L"at", VT_DATE, 0));
    struct sink_set : udb_recordset {
        sink_set() : udb_recordset(L"t", true) {}
        bool append_record(udb_record& record) override {
            convert_record(record);
            return true;
        }
    } destination;
    destination.schema = schema;
    std::vector<udb_name> names;
    for (const t_ftd* c : schema) {
        names.push_back(udb_make_name(c->name));
    }
    measure("record of 5 built + converted (per value)", n, [&](size_t i) {
        if (i % 5 != 0) {
            return;
        }
        udb_record record;
        record.fields.reserve(5);
        const size_t k = i / 5 % 1024;
        record.fields.emplace_back(names[0], 4, ole_variant::from_wstring(ints[k], VT_I4));
        record.fields.emplace_back(names[1], 8, ole_variant::from_wstring(decimals[k], VT_DECIMAL));
        record.fields.emplace_back(names[2], 20,
                                   ole_variant::from_wstring(std::wstring(words[k]), VT_BSTR));
        record.fields.emplace_back(names[3], 8, ole_variant::from_wstring(doubles[k], VT_R8));
        record.fields.emplace_back(names[4], 19, ole_variant::from_wstring(dates[k], VT_DATE));
        destination.append_record(record);
        sink = sink + record.size();
    });

    const ole_variant d = ole_variant::from_string("123456.78", VT_DECIMAL);
    const ole_variant r(0.1);
    const ole_variant t = ole_variant::from_string("2005-12-31 10:20:30", VT_DATE);
    measure("to_string VT_DECIMAL", n, [&](size_t) { sink = sink + d.to_string().size(); });
    measure("to_string VT_R8", n, [&](size_t) { sink = sink + r.to_string().size(); });
    measure("to_wstring VT_DATE", n, [&](size_t) { sink = sink + t.to_wstring().size(); });
    return sink == 42 ? 1 : 0;
}

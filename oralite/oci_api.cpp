// The OCI calls of liboralite.so, over the engine.
//
// Handles are C++ objects registered in one table, so that any pointer that is not a live
// handle of the expected type gives OCI_INVALID_HANDLE instead of a crash. Every failure is
// recorded on the error handle as "ORA-nnnnn: text" for OCIErrorGet. Texts cross this boundary
// in the environment's encoding: UTF-16 with byte lengths in an OCI_UTF16 environment, UTF-8
// otherwise (or UTF-16 when a bind, define or LOB call names OCI_UTF16ID).
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "oci/oci.h"
#include "oralite/cursor.h"
#include "oralite/database.h"
#include "oralite/dictionary.h"
#include "oralite/ora_error.h"
#include "oralite/session.h"
#include "oralite/unicode.h"

#define ORALITE_EXPORT extern "C" __attribute__((visibility("default")))

using oralite::column_type;
using oralite::cursor;
using oralite::lob_ref;
using oralite::ora_error;
using oralite::type_code;
using oralite::value;
using oralite::value_kind;

// ---- handles -------------------------------------------------------------------------------

namespace {

constexpr uint32_t k_magic = 0x4F43494C;  // "OCIL"

struct handle_base {
    explicit handle_base(ub4 t) : type(t) {}
    virtual ~handle_base() { magic = 0; }
    uint32_t magic = k_magic;
    ub4 type;
    OCIEnv* env = nullptr;
    std::unique_ptr<char[]> user_memory;
};

std::mutex& registry_mutex() {
    static std::mutex m;
    return m;
}

std::unordered_set<const void*>& registry() {
    static std::unordered_set<const void*> r;
    return r;
}

void register_handle(const handle_base* h) {
    std::lock_guard<std::mutex> lock(registry_mutex());
    registry().insert(h);
}

void unregister_handle(const handle_base* h) {
    std::lock_guard<std::mutex> lock(registry_mutex());
    registry().erase(h);
}

bool is_live(const void* p, ub4 type) {
    if (!p)
        return false;
    std::lock_guard<std::mutex> lock(registry_mutex());
    if (!registry().count(p))
        return false;
    const auto* h = static_cast<const handle_base*>(p);
    return h->magic == k_magic && (type == 0 || h->type == type);
}

struct error_record {
    sb4 code = 0;
    std::string message;  // UTF-8, "ORA-nnnnn: text"
};

// Encoding of texts that cross the boundary.
bool wide(const OCIEnv* env, ub2 csid = 0);

std::string from_client(bool utf16, const void* data, size_t bytes) {
    if (!data || bytes == 0)
        return {};
    if (utf16)
        return oralite::utf16_bytes_to_utf8(data, bytes);
    return std::string(static_cast<const char*>(data), bytes);
}

std::string to_client(bool utf16, const std::string& utf8) {
    if (!utf16)
        return utf8;
    std::u16string u = oralite::utf8_to_utf16(utf8);
    return std::string(reinterpret_cast<const char*>(u.data()), u.size() * 2);
}

}  // namespace

struct OCIEnv : handle_base {
    OCIEnv() : handle_base(OCI_HTYPE_ENV) { env = this; }
    ub4 mode = 0;
    std::vector<handle_base*> children;
    std::optional<error_record> error;  // failures of env-level calls
};

struct OCIError : handle_base {
    OCIError() : handle_base(OCI_HTYPE_ERROR) {}
    std::vector<error_record> records;
    ub4 row_offset = 0;
    // The failed rows of the last array DML executed with OCI_BATCH_ERRORS on this handle; they
    // stay until the next execute, whatever calls use the handle for diagnostics meanwhile.
    struct row_failure {
        ub4 offset;
        error_record record;
    };
    std::vector<row_failure> batch;
    // Error handles OCIParamGet made for rows when the caller passed none of its own.
    std::vector<std::unique_ptr<OCIError>> row_handles;
};

struct OCIServer : handle_base {
    OCIServer() : handle_base(OCI_HTYPE_SERVER) {}
    bool attached = false;
    std::string link;  // UTF-8
    // The session last begun over this connection, which OCIServerVersion's trip is counted on.
    std::weak_ptr<oralite::session> session;
};

struct OCISession : handle_base {
    OCISession() : handle_base(OCI_HTYPE_SESSION) {}
    std::string user;         // UTF-8
    std::string password;     // UTF-8
    std::string user_client;  // as the client gave it, for OCIAttrGet
};

struct OCITrans : handle_base {
    OCITrans() : handle_base(OCI_HTYPE_TRANS) {}
};

struct OCIDescribe : handle_base {
    OCIDescribe() : handle_base(OCI_HTYPE_DESCRIBE) {}
};

struct OCISvcCtx : handle_base {
    OCISvcCtx() : handle_base(OCI_HTYPE_SVCCTX) {}
    OCIServer* server = nullptr;
    OCISession* session_handle = nullptr;
    std::shared_ptr<oralite::session> session;
    bool implicit = false;  // made by OCILogon, which also made its server and session
};

struct OCIStmt;

// A bind: one value, or an array of them for an array DML. Element i of each array (values,
// indicators, lengths, return codes) lies at i times its skip; a skip of 0 is the element's own
// size, as OCIBindArrayOfStruct allows.
struct OCIBind : handle_base {
    OCIBind() : handle_base(OCI_HTYPE_BIND) {}
    OCIStmt* stmt = nullptr;
    size_t slot = 0;
    void* valuep = nullptr;
    size_t value_sz = 0;
    ub2 dty = 0;
    void* indp = nullptr;
    ub2* alenp = nullptr;   // OCIBindByPos/ByName: 16-bit lengths
    ub4* alenp4 = nullptr;  // OCIBindByPos2/ByName2: 32-bit lengths
    ub2* rcodep = nullptr;
    ub4 value_skip = 0, ind_skip = 0, alen_skip = 0, rcode_skip = 0;
    ub4 mode = 0;
    void* ictx = nullptr;
    OCICallbackInBind icb = nullptr;
    void* octx = nullptr;
    OCICallbackOutBind ocb = nullptr;
    ub2 csid = 0;
    ub1 csform = SQLCS_IMPLICIT;
    sb4 maxdata = 0;
    ub4 rows_returned = 0;

    bool locator() const { return dty == SQLT_CLOB || dty == SQLT_BLOB || dty == SQLT_RDD; }
    template <typename T>
    static T* at(void* base, ub4 skip, ub4 i) {
        if (!base)
            return nullptr;
        return reinterpret_cast<T*>(static_cast<char*>(base) + size_t(skip ? skip : sizeof(T)) * i);
    }
    char* element(ub4 i) const {
        if (!valuep)
            return nullptr;
        size_t size = value_skip ? value_skip : locator() ? sizeof(void*) : value_sz;
        return static_cast<char*>(valuep) + size * i;
    }
    sb2* indicator(ub4 i) const { return at<sb2>(indp, ind_skip, i); }
    ub2* rcode(ub4 i) const { return at<ub2>(rcodep, rcode_skip, i); }
    // The bytes of element i: its actual length when given, else the element size.
    size_t length(ub4 i) const {
        if (locator())
            return sizeof(void*);
        if (alenp4)
            return std::min<size_t>(*at<ub4>(alenp4, alen_skip, i), value_sz);
        if (alenp)
            return std::min<size_t>(*at<ub2>(alenp, alen_skip, i), value_sz);
        return value_sz;
    }
    void set_length(ub4 i, size_t n) const {
        if (alenp4)
            *at<ub4>(alenp4, alen_skip, i) = static_cast<ub4>(n);
        else if (alenp)
            *at<ub2>(alenp, alen_skip, i) = static_cast<ub2>(std::min<size_t>(n, 65535));
    }
};

struct OCIDefine : handle_base {
    OCIDefine() : handle_base(OCI_HTYPE_DEFINE) {}
    ub4 position = 0;
    void* valuep = nullptr;
    sb4 value_sz = 0;
    ub2 dty = 0;
    sb2* indp = nullptr;
    ub2* rlenp = nullptr;
    ub2* rcodep = nullptr;
    ub2 csid = 0;
    ub1 csform = SQLCS_IMPLICIT;
};

struct OCIParam : handle_base {
    OCIParam() : handle_base(OCI_DTYPE_PARAM) {}
    oralite::result_column column;
    std::string name_client;  // the name in the client's encoding
    std::string empty;
    bool owned_by_stmt = true;
};

struct OCILobLocator : handle_base {
    OCILobLocator() : handle_base(OCI_DTYPE_LOB) {}
    std::shared_ptr<lob_ref> ref;
    std::optional<value> temporary;  // a LOB value that is not in a table
    bool clob = true;
    bool initialized = false;
    // Content cache: UTF-16 units for a CLOB, bytes for a BLOB.
    std::u16string text_cache;
    std::string byte_cache;
    uint64_t cache_generation = UINT64_MAX;
    const oralite::session* cache_session = nullptr;
    // Polling read in progress
    bool reading = false;
    ub4 read_offset = 0;
    ub4 read_next = 0;
    ub4 read_remaining = 0;
    // Piecewise write in progress
    bool writing = false;
    ub4 write_offset = 0;
    std::string write_buffer;
};

struct OCIRowid : handle_base {
    OCIRowid() : handle_base(OCI_DTYPE_ROWID) {}
    std::string text;
};

struct OCIStmt : handle_base {
    OCIStmt() : handle_base(OCI_HTYPE_STMT) {}
    std::shared_ptr<const oralite::parsed_sql> parsed;
    std::unique_ptr<cursor> cur;
    // The session the cursor runs in; a cursor whose session has ended is dropped.
    std::weak_ptr<oralite::session> cursor_session;
    std::vector<std::unique_ptr<OCIBind>> binds;
    std::vector<std::unique_ptr<OCIDefine>> defines;
    std::vector<std::unique_ptr<OCIParam>> params;
    bool executed = false;
    ub4 rows_fetched = 0;
    ub8 row_count = 0;
    ub4 dml_errors = 0;  // rows that failed in the last execute with OCI_BATCH_ERRORS
    ub2 parse_error_offset = 0;
    std::string rowid;
    ub4 prefetch = 1;
    // Rows of the open query the client holds without asking the server again (prefetched with
    // the execute or the last fetch), and whether the server has said that no more follow.
    ub4 buffered_rows = 0;
    bool server_at_end = false;
};

namespace {

bool wide(const OCIEnv* env, ub2 csid) {
    if (csid == OCI_UTF16ID)
        return true;
    if (csid != 0)
        return false;  // an explicit narrow character set: the buffer holds UTF-8
    return env && (env->mode & OCI_UTF16) != 0;
}

template <typename T>
T* make_handle(OCIEnv* env) {
    T* h = new T();
    h->env = env;
    register_handle(h);
    if (env && static_cast<handle_base*>(h) != env)
        env->children.push_back(h);
    return h;
}

void destroy_handle(handle_base* h);

// The extra memory a caller may ask for with a handle; it lives as long as the handle.
void give_user_memory(handle_base* h, size_t size, void** usrmempp) {
    if (size && usrmempp) {
        h->user_memory = std::make_unique<char[]>(size);
        *usrmempp = h->user_memory.get();
    }
}

void destroy_statement_children(OCIStmt* stmt) {
    for (auto& b : stmt->binds) unregister_handle(b.get());
    for (auto& d : stmt->defines) unregister_handle(d.get());
    for (auto& p : stmt->params) unregister_handle(p.get());
    stmt->binds.clear();
    stmt->defines.clear();
    stmt->params.clear();
}

void forget_child(handle_base* h) {
    if (!h->env || h->env == h)
        return;
    auto& kids = h->env->children;
    kids.erase(std::remove(kids.begin(), kids.end(), h), kids.end());
}

void destroy_handle(handle_base* h) {
    unregister_handle(h);
    if (h->type == OCI_HTYPE_ENV) {
        auto* env = static_cast<OCIEnv*>(h);
        // Service contexts first: they end their sessions before servers go.
        std::vector<handle_base*> kids = env->children;
        std::stable_partition(kids.begin(), kids.end(),
                              [](handle_base* k) { return k->type == OCI_HTYPE_STMT; });
        for (handle_base* k : kids) {
            if (is_live(k, 0)) {
                k->env = nullptr;
                destroy_handle(k);
            }
        }
        delete env;
        return;
    }
    forget_child(h);
    if (h->type == OCI_HTYPE_STMT)
        destroy_statement_children(static_cast<OCIStmt*>(h));
    if (h->type == OCI_HTYPE_ERROR) {
        for (auto& row : static_cast<OCIError*>(h)->row_handles) unregister_handle(row.get());
    }
    delete h;
}

// ---- errors ----------------------------------------------------------------------------------

void clear(OCIError* err) {
    if (err)
        err->records.clear();
}

sword fail(OCIError* err, const ora_error& e) {
    if (err) {
        err->records.clear();
        err->records.push_back({e.code(), e.what()});
    }
    return OCI_ERROR;
}

sword warn(OCIError* err, const ora_error& e) {
    if (err) {
        err->records.clear();
        err->records.push_back({e.code(), e.what()});
    }
    return OCI_SUCCESS_WITH_INFO;
}

// Runs a call body, turning engine errors into OCI_ERROR with the record set.
template <typename F>
sword guarded(OCIError* err, F body) {
    try {
        return body();
    } catch (const ora_error& e) {
        return fail(err, e);
    } catch (const std::bad_alloc&) {
        return fail(err, ora_error(4030, {"out of process memory"}));
    } catch (const std::exception& e) {
        return fail(err, ora_error(600, {e.what()}));
    }
}

oralite::session& session_of(OCISvcCtx* svc) {
    if (!svc->session || svc->session->closed())
        throw ora_error(3114);
    return *svc->session;
}

// ---- round trips -----------------------------------------------------------------------------

// One client-server round trip of a real client costs the time ORALITE_ROUNDTRIP_DELAY_US says
// (read at every trip, so a test or a rehearsal may change it between calls) and is counted on
// the session when there is one.
void network_delay() {
    const char* delay = std::getenv("ORALITE_ROUNDTRIP_DELAY_US");
    if (!delay || !std::isdigit(static_cast<unsigned char>(*delay)))
        return;
    char* end = nullptr;
    unsigned long long us = std::strtoull(delay, &end, 10);
    if (*end == '\0' && us > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(us));
}

void round_trip(oralite::session* s) {
    if (s && !s->closed())
        s->count_round_trip();
    network_delay();
}

void round_trip(OCISvcCtx* svc) {
    round_trip(svc->session.get());
}

// ---- value conversion at the boundary --------------------------------------------------------

size_t terminator_bytes(bool utf16) {
    return utf16 ? 2 : 1;
}

// A text into a client buffer of bufsiz bytes, cut to fit and always terminated.
void put_terminated(OraText* bufp, size_t bufsiz, bool utf16, const std::string& utf8) {
    std::string text = to_client(utf16, utf8);
    size_t term = terminator_bytes(utf16);
    size_t n = bufsiz > term ? std::min<size_t>(text.size(), bufsiz - term) : 0;
    if (utf16)
        n -= n % 2;
    std::memcpy(bufp, text.data(), n);
    std::memset(bufp + n, 0, std::min<size_t>(term, bufsiz - n));
}

// The client bytes a text-typed buffer of `len` bytes holds (STR stops at its terminator).
std::string client_text(const char* p, size_t len, ub2 dty, bool utf16) {
    if (dty == SQLT_STR || dty == SQLT_AVC) {
        if (utf16) {
            size_t n = 0;
            while (n + 1 < len && !(p[n] == 0 && p[n + 1] == 0)) n += 2;
            len = n;
        } else {
            len = strnlen(p, len);
        }
    }
    return from_client(utf16, p, len);
}

value value_from_buffer(OCIEnv* env, const char* p, size_t len, ub2 dty, ub2 csid, OCIStmt* stmt,
                        OCISvcCtx* svc) {
    bool utf16 = wide(env, csid);
    auto read_int = [&](bool is_signed) -> value {
        switch (len) {
            case 1:
                return value::of_int(is_signed ? *reinterpret_cast<const int8_t*>(p)
                                               : *reinterpret_cast<const uint8_t*>(p));
            case 2: {
                int16_t s;
                uint16_t u;
                std::memcpy(&s, p, 2);
                std::memcpy(&u, p, 2);
                return value::of_int(is_signed ? s : u);
            }
            case 4: {
                int32_t s;
                uint32_t u;
                std::memcpy(&s, p, 4);
                std::memcpy(&u, p, 4);
                return value::of_int(is_signed ? s : static_cast<int64_t>(u));
            }
            case 8: {
                int64_t s;
                uint64_t u;
                std::memcpy(&s, p, 8);
                std::memcpy(&u, p, 8);
                if (is_signed)
                    return value::of_int(s);
                return value::of_number(*oralite::decimal::parse(std::to_string(u)));
            }
            default:
                throw ora_error(3115);
        }
    };
    switch (dty) {
        case SQLT_CHR:
        case SQLT_STR:
        case SQLT_AFC:
        case SQLT_AVC:
        case SQLT_LNG:
            return value::of_text(client_text(p, len, dty, utf16));
        case SQLT_VCS: {
            if (len < 2)
                return value::null();
            ub2 n;
            std::memcpy(&n, p, 2);
            return value::of_text(from_client(utf16, p + 2, std::min<size_t>(n, len - 2)));
        }
        case SQLT_LVC: {
            if (len < 4)
                return value::null();
            sb4 n;
            std::memcpy(&n, p, 4);
            return value::of_text(from_client(utf16, p + 4, std::min<size_t>(n, len - 4)));
        }
        case SQLT_INT:
            return read_int(true);
        case SQLT_UIN:
            return read_int(false);
        case SQLT_FLT:
        case SQLT_BFLOAT:
        case SQLT_BDOUBLE:
        case SQLT_IBFLOAT:
        case SQLT_IBDOUBLE: {
            double d;
            if (len == sizeof(float)) {
                float f;
                std::memcpy(&f, p, sizeof f);
                d = f;
            } else if (len == sizeof(double)) {
                std::memcpy(&d, p, sizeof d);
            } else {
                throw ora_error(3115);
            }
            auto dec = oralite::decimal::from_double(d);
            if (!dec)
                throw ora_error(1426);
            return value::of_number(*dec);
        }
        case SQLT_NUM: {
            auto d =
                oralite::decimal::from_oracle_bytes(reinterpret_cast<const unsigned char*>(p), len);
            if (!d)
                throw ora_error(1722);
            return value::of_number(*d);
        }
        case SQLT_VNU: {
            if (len < 1)
                return value::null();
            size_t n = static_cast<unsigned char>(p[0]);
            auto d = oralite::decimal::from_oracle_bytes(
                reinterpret_cast<const unsigned char*>(p + 1), std::min(n, len - 1));
            if (!d)
                throw ora_error(1722);
            return value::of_number(*d);
        }
        case SQLT_DAT: {
            if (len < 7)
                throw ora_error(1858);
            auto d = oralite::datetime::from_bytes7(reinterpret_cast<const unsigned char*>(p));
            if (!d)
                throw ora_error(1858);
            return value::of_date(*d);
        }
        case SQLT_BIN:
        case SQLT_LBI:
            return value::of_raw(std::string(p, len));
        case SQLT_VBI: {
            if (len < 2)
                return value::null();
            ub2 n;
            std::memcpy(&n, p, 2);
            return value::of_raw(std::string(p + 2, std::min<size_t>(n, len - 2)));
        }
        case SQLT_LVB: {
            if (len < 4)
                return value::null();
            sb4 n;
            std::memcpy(&n, p, 4);
            return value::of_raw(std::string(p + 4, std::min<size_t>(n, len - 4)));
        }
        case SQLT_CLOB:
        case SQLT_BLOB: {
            OCILobLocator* loc = *reinterpret_cast<OCILobLocator* const*>(p);
            if (!is_live(loc, OCI_DTYPE_LOB) || !loc->initialized)
                throw ora_error(22275);
            if (loc->temporary)
                return *loc->temporary;
            if (!svc)
                throw ora_error(22275);
            return session_of(svc).read_lob(*loc->ref);
        }
        case SQLT_RDD: {
            OCIRowid* r = *reinterpret_cast<OCIRowid* const*>(p);
            if (!is_live(r, OCI_DTYPE_ROWID))
                throw ora_error(1410);
            return value::of_text(r->text);
        }
        default:
            (void)stmt;
            throw ora_error(3115);
    }
}

struct written {
    size_t length = 0;       // bytes placed in the buffer
    size_t full_length = 0;  // bytes the whole value needs
    bool truncated = false;
};

void set_locator(OCILobLocator* loc, const value& v, bool clob) {
    loc->initialized = true;
    loc->clob = clob;
    loc->ref = v.source;
    loc->temporary.reset();
    if (!v.source)
        loc->temporary = v;
    loc->cache_generation = UINT64_MAX;
    loc->reading = false;
    loc->writing = false;
}

// Writes a non-NULL value into a client buffer of `cap` bytes.
written value_to_buffer(OCIEnv* env, char* p, size_t cap, ub2 dty, ub2 csid, const value& v,
                        const column_type& type) {
    bool utf16 = wide(env, csid);
    written w;
    auto put_bytes = [&](const std::string& bytes) {
        w.full_length = bytes.size();
        w.length = std::min(bytes.size(), cap);
        if (utf16 && w.length % 2)
            --w.length;
        std::memcpy(p, bytes.data(), w.length);
        w.truncated = w.length < bytes.size();
    };
    auto text_of = [&]() -> std::string {
        if (v.kind == value_kind::text && type.code == type_code::rowid)
            return v.bytes;
        return oralite::as_text(v);
    };
    switch (dty) {
        case SQLT_CHR:
        case SQLT_LNG:
            put_bytes(to_client(utf16, text_of()));
            return w;
        case SQLT_AFC: {
            put_bytes(to_client(utf16, text_of()));
            // CHAR buffers are blank-padded to their size.
            size_t unit = utf16 ? 2 : 1;
            for (size_t i = w.length; i + unit <= cap; i += unit) {
                p[i] = ' ';
                if (utf16)
                    p[i + 1] = 0;
            }
            if (!w.truncated)
                w.length = cap - cap % unit;
            return w;
        }
        case SQLT_STR:
        case SQLT_AVC: {
            std::string bytes = to_client(utf16, text_of());
            size_t term = terminator_bytes(utf16);
            if (cap < term) {
                w.truncated = true;
                w.full_length = bytes.size();
                return w;
            }
            size_t saved = cap;
            cap -= term;
            put_bytes(bytes);
            std::memset(p + w.length, 0, term);
            cap = saved;
            return w;
        }
        case SQLT_VCS:
        case SQLT_LVC: {
            size_t prefix = dty == SQLT_VCS ? 2 : 4;
            if (cap < prefix)
                throw ora_error(1406);
            std::string bytes = to_client(utf16, text_of());
            size_t saved = cap;
            cap -= prefix;
            put_bytes(bytes);
            p += 0;
            std::memmove(p + prefix, p, w.length);
            if (prefix == 2) {
                ub2 n = static_cast<ub2>(w.length);
                std::memcpy(p, &n, 2);
            } else {
                sb4 n = static_cast<sb4>(w.length);
                std::memcpy(p, &n, 4);
            }
            w.length += prefix;
            cap = saved;
            return w;
        }
        case SQLT_INT:
        case SQLT_UIN: {
            oralite::decimal d = oralite::as_number(v).rounded(0);
            auto i = d.to_int64();
            if (!i)
                throw ora_error(1455);
            int64_t x = *i;
            bool is_signed = dty == SQLT_INT;
            if (!is_signed && x < 0)
                throw ora_error(1455);
            switch (cap) {
                case 1:
                    if (is_signed ? (x < INT8_MIN || x > INT8_MAX) : x > UINT8_MAX)
                        throw ora_error(1455);
                    *reinterpret_cast<int8_t*>(p) = static_cast<int8_t>(x);
                    break;
                case 2: {
                    if (is_signed ? (x < INT16_MIN || x > INT16_MAX) : x > UINT16_MAX) {
                        throw ora_error(1455);
                    }
                    int16_t s = static_cast<int16_t>(x);
                    std::memcpy(p, &s, 2);
                    break;
                }
                case 4: {
                    if (is_signed ? (x < INT32_MIN || x > INT32_MAX) : x > UINT32_MAX) {
                        throw ora_error(1455);
                    }
                    int32_t s = static_cast<int32_t>(x);
                    std::memcpy(p, &s, 4);
                    break;
                }
                case 8:
                    std::memcpy(p, &x, 8);
                    break;
                default:
                    throw ora_error(3115);
            }
            w.length = w.full_length = cap;
            return w;
        }
        case SQLT_FLT:
        case SQLT_BFLOAT:
        case SQLT_BDOUBLE:
        case SQLT_IBFLOAT:
        case SQLT_IBDOUBLE: {
            double d = oralite::as_number(v).to_double();
            if (cap == sizeof(float)) {
                float f = static_cast<float>(d);
                std::memcpy(p, &f, sizeof f);
            } else if (cap >= sizeof(double)) {
                std::memcpy(p, &d, sizeof d);
                cap = sizeof d;
            } else {
                throw ora_error(3115);
            }
            w.length = w.full_length = cap;
            return w;
        }
        case SQLT_NUM:
        case SQLT_VNU: {
            std::string bytes = oralite::as_number(v).to_oracle_bytes();
            if (dty == SQLT_VNU)
                bytes.insert(bytes.begin(), static_cast<char>(bytes.size()));
            if (cap < bytes.size())
                throw ora_error(1406);
            std::memcpy(p, bytes.data(), bytes.size());
            w.length = w.full_length = bytes.size();
            return w;
        }
        case SQLT_DAT: {
            if (cap < 7)
                throw ora_error(1406);
            oralite::datetime d = oralite::as_datetime(v);
            d.to_bytes7(reinterpret_cast<unsigned char*>(p));
            w.length = w.full_length = 7;
            return w;
        }
        case SQLT_BIN:
        case SQLT_LBI:
            put_bytes(oralite::as_raw(v));
            return w;
        case SQLT_VBI:
        case SQLT_LVB: {
            size_t prefix = dty == SQLT_VBI ? 2 : 4;
            if (cap < prefix)
                throw ora_error(1406);
            std::string bytes = oralite::as_raw(v);
            size_t n = std::min(bytes.size(), cap - prefix);
            std::memcpy(p + prefix, bytes.data(), n);
            if (prefix == 2) {
                ub2 x = static_cast<ub2>(n);
                std::memcpy(p, &x, 2);
            } else {
                sb4 x = static_cast<sb4>(n);
                std::memcpy(p, &x, 4);
            }
            w.length = n + prefix;
            w.full_length = bytes.size() + prefix;
            w.truncated = n < bytes.size();
            return w;
        }
        case SQLT_CLOB:
        case SQLT_BLOB: {
            if (!type.is_lob()) {
                throw ora_error(932,
                                {dty == SQLT_CLOB ? "CLOB" : "BLOB", oralite::kind_name(type)});
            }
            OCILobLocator* loc = *reinterpret_cast<OCILobLocator**>(p);
            if (!is_live(loc, OCI_DTYPE_LOB))
                throw ora_error(22275);
            set_locator(loc, v, type.code != type_code::blob);
            w.length = w.full_length = sizeof(OCILobLocator*);
            return w;
        }
        case SQLT_RDD: {
            OCIRowid* r = *reinterpret_cast<OCIRowid**>(p);
            if (!is_live(r, OCI_DTYPE_ROWID))
                throw ora_error(1410);
            r->text = oralite::as_text(v);
            w.length = w.full_length = sizeof(OCIRowid*);
            return w;
        }
        default:
            throw ora_error(932, {"-", oralite::kind_name(type)});
    }
}

// ---- binds -----------------------------------------------------------------------------------

class oci_binds : public oralite::bind_source {
  public:
    oci_binds(OCIStmt* stmt, OCISvcCtx* svc, ub4 rowoff)
        : stmt_(stmt), svc_(svc), rowoff_(rowoff) {}

    OCIBind* find(size_t slot) const {
        for (const auto& b : stmt_->binds) {
            if (b->slot == slot)
                return b.get();
        }
        return nullptr;
    }

    value input(size_t slot, uint32_t iteration) override {
        OCIBind* b = find(slot);
        if (!b)
            throw ora_error(1008);
        ub4 iter = iteration + rowoff_;
        if (b->mode & OCI_DATA_AT_EXEC) {
            if (!b->icb)
                throw ora_error(1008);
            void* buf = nullptr;
            ub4 alen = 0;
            ub1 piece = OCI_ONE_PIECE;
            void* ind = nullptr;
            sb4 rc = b->icb(b->ictx, b, iter, 0, &buf, &alen, &piece, &ind);
            if (rc != OCI_CONTINUE)
                throw ora_error(24343);
            if (ind && *static_cast<sb2*>(ind) == OCI_IND_NULL)
                return value::null();
            if (!buf || alen == 0)
                return value::null();
            return value_from_buffer(stmt_->env, static_cast<const char*>(buf), alen, b->dty,
                                     b->csid, stmt_, svc_);
        }
        const sb2* ind = b->indicator(iter);
        if ((ind && *ind == OCI_IND_NULL) || !b->valuep)
            return value::null();
        return value_from_buffer(stmt_->env, b->element(iter), b->length(iter), b->dty, b->csid,
                                 stmt_, svc_);
    }

    void output(size_t slot, uint32_t iteration, uint32_t rows, uint32_t row, const value& v,
                const column_type& type) override {
        OCIBind* b = find(slot);
        if (!b)
            throw ora_error(1008);
        ub4 iter = iteration + rowoff_;
        b->rows_returned = rows;
        if (b->mode & OCI_DATA_AT_EXEC) {
            if (!b->ocb)
                throw ora_error(1008);
            void* buf = nullptr;
            ub4* alen = nullptr;
            ub1 piece = OCI_ONE_PIECE;
            void* ind = nullptr;
            ub2* rcode = nullptr;
            sb4 rc = b->ocb(b->octx, b, iter, row, &buf, &alen, &piece, &ind, &rcode);
            if (rc != OCI_CONTINUE)
                throw ora_error(24343);
            store(b, static_cast<char*>(buf), alen ? *alen : 0, alen, static_cast<sb2*>(ind), rcode,
                  v, type);
            return;
        }
        char* p = b->element(iter);
        if (!p)
            return;
        ub4 len = static_cast<ub4>(b->locator() ? sizeof(void*) : b->value_sz);
        store(b, p, len, &len, b->indicator(iter), b->rcode(iter), v, type);
        b->set_length(iter, len);
    }

  private:
    void store(OCIBind* b, char* buf, ub4 cap, ub4* alen, sb2* ind, ub2* rcode, const value& v,
               const column_type& type) {
        if (v.is_null()) {
            if (ind)
                *ind = OCI_IND_NULL;
            if (alen)
                *alen = 0;
            if (rcode)
                *rcode = 0;
            return;
        }
        if (!buf)
            return;
        written w = value_to_buffer(stmt_->env, buf, cap, b->dty, b->csid, v, type);
        if (alen)
            *alen = static_cast<ub4>(w.length);
        if (ind)
            *ind = w.truncated ? static_cast<sb2>(std::min<size_t>(w.full_length, 32767)) : 0;
        if (rcode)
            *rcode = w.truncated ? 1406 : 0;
    }

    OCIStmt* stmt_;
    OCISvcCtx* svc_;
    ub4 rowoff_;
};

// ---- fetch into defines ----------------------------------------------------------------------

// Copies the current row into the defines at array index `row`; true when a value was
// truncated. A NULL without an indicator raises ORA-01405.
bool copy_row(OCIStmt* stmt, ub4 row) {
    bool truncated = false;
    cursor& c = *stmt->cur;
    const auto& columns = c.columns();
    for (const auto& d : stmt->defines) {
        if (d->position < 1 || d->position > columns.size())
            throw ora_error(1007);
        size_t index = d->position - 1;
        const column_type& type = columns[index].type;
        bool locator = d->dty == SQLT_CLOB || d->dty == SQLT_BLOB;
        size_t stride = locator ? sizeof(void*) : static_cast<size_t>(d->value_sz);
        char* p = static_cast<char*>(d->valuep) + stride * row;
        value v;
        if (locator && type.is_lob()) {
            std::shared_ptr<lob_ref> ref = c.column_lob(index);
            if (ref) {
                v.kind = ref->clob ? value_kind::text : value_kind::raw;
                v.lob = true;
                v.source = ref;
            } else {
                v = c.column_value(index);
            }
        } else {
            v = c.column_value(index);
        }
        if (v.is_null()) {
            if (!d->indp)
                throw ora_error(1405);
            d->indp[row] = OCI_IND_NULL;
            if (d->rlenp)
                d->rlenp[row] = 0;
            if (d->rcodep)
                d->rcodep[row] = 1405;
            continue;
        }
        if (!d->valuep)
            continue;
        written w = value_to_buffer(stmt->env, p, stride, d->dty, d->csid, v, type);
        if (d->indp) {
            d->indp[row] =
                w.truncated ? static_cast<sb2>(w.full_length > 32767 ? -2 : w.full_length) : 0;
        }
        if (d->rlenp)
            d->rlenp[row] = static_cast<ub2>(std::min<size_t>(w.length, 65535));
        if (d->rcodep)
            d->rcodep[row] = w.truncated ? 1406 : 0;
        truncated = truncated || w.truncated;
    }
    return truncated;
}

// A statement's cursor is usable only while its session lasts.
void check_cursor_session(OCIStmt* stmt) {
    std::shared_ptr<oralite::session> s = stmt->cursor_session.lock();
    if (!s || s->closed()) {
        stmt->cur.reset();
        stmt->executed = false;
        throw ora_error(3114);
    }
}

// A fetch of n rows asks the server only for rows the client does not hold yet; that trip
// brings the rows asked for and OCI_ATTR_PREFETCH_ROWS more.
void account_fetch(OCIStmt* stmt, ub4 n) {
    if (stmt->buffered_rows >= n) {
        stmt->buffered_rows -= n;
        return;
    }
    if (!stmt->server_at_end)
        round_trip(stmt->cursor_session.lock().get());
    stmt->buffered_rows = stmt->server_at_end ? 0 : stmt->prefetch;
}

// Fetches up to n rows; OCI_NO_DATA when fewer came, WITH_INFO (ORA-24345) on truncation.
sword fetch_rows(OCIStmt* stmt, OCIError* err, ub4 n) {
    stmt->rows_fetched = 0;
    account_fetch(stmt, n);
    bool truncated = false;
    for (ub4 i = 0; i < n; ++i) {
        if (!stmt->cur->fetch()) {
            stmt->row_count = stmt->cur->row_count();
            stmt->server_at_end = true;
            stmt->buffered_rows = 0;
            return OCI_NO_DATA;
        }
        truncated = copy_row(stmt, i) || truncated;
        ++stmt->rows_fetched;
    }
    stmt->row_count = stmt->cur->row_count();
    if (truncated)
        return warn(err, ora_error(24345));
    return OCI_SUCCESS;
}

// OCI_BATCH_ERRORS is for DML only, and a direct-path INSERT refuses it.
void check_batch_mode(const cursor& c, bool batch_errors) {
    if (!batch_errors)
        return;
    int type = c.statement_type();
    if (type != OCI_STMT_INSERT && type != OCI_STMT_UPDATE && type != OCI_STMT_DELETE &&
        type != OCI_STMT_MERGE) {
        throw ora_error(28714);
    }
    if (c.direct_path_insert())
        throw ora_error(38910);
}

// Every placeholder of a statement needs a bind before it runs (ORA-01008): a missing one
// fails the whole execute, never a row of it.
void check_all_bound(const OCIStmt* stmt) {
    int type = stmt->parsed->statement_type;
    if (type != OCI_STMT_SELECT && type != OCI_STMT_INSERT && type != OCI_STMT_UPDATE &&
        type != OCI_STMT_DELETE) {
        return;
    }
    size_t slots = stmt->parsed->binds.names().size();
    for (size_t slot = 0; slot < slots; ++slot) {
        bool bound = std::any_of(stmt->binds.begin(), stmt->binds.end(),
                                 [&](const auto& b) { return b->slot == slot; });
        if (!bound)
            throw ora_error(1008);
    }
}

void record_batch_errors(OCIStmt* stmt, OCIError* err, const std::vector<oralite::row_error>& rows,
                         ub4 rowoff) {
    stmt->dml_errors = static_cast<ub4>(rows.size());
    for (const oralite::row_error& r : rows) {
        err->batch.push_back({r.row + rowoff, {r.error.code(), r.error.what()}});
    }
}

std::string placeholder_name(const std::string& text) {
    std::string name = text;
    if (!name.empty() && name[0] == ':')
        name.erase(0, 1);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
        return name.substr(1, name.size() - 2);
    }
    return oralite::utf8_upper(name);
}

bool supported_dty(ub2 dty) {
    switch (dty) {
        case SQLT_CHR:
        case SQLT_STR:
        case SQLT_AFC:
        case SQLT_AVC:
        case SQLT_LNG:
        case SQLT_VCS:
        case SQLT_LVC:
        case SQLT_INT:
        case SQLT_UIN:
        case SQLT_FLT:
        case SQLT_BFLOAT:
        case SQLT_BDOUBLE:
        case SQLT_IBFLOAT:
        case SQLT_IBDOUBLE:
        case SQLT_NUM:
        case SQLT_VNU:
        case SQLT_DAT:
        case SQLT_BIN:
        case SQLT_LBI:
        case SQLT_VBI:
        case SQLT_LVB:
        case SQLT_CLOB:
        case SQLT_BLOB:
        case SQLT_RDD:
            return true;
        default:
            return false;
    }
}

// What one OCIBindByPos/ByName(2) call gives: the buffers and their sizes.
struct bind_spec {
    void* valuep;
    sb8 value_sz;
    ub2 dty;
    void* indp;
    ub2* alenp;
    ub4* alenp4;
    ub2* rcodep;
    ub4 mode;
};

sword bind_common(OCIStmt* stmt, OCIBind** bindpp, OCIError* err, size_t slot,
                  const bind_spec& spec) {
    if (!supported_dty(spec.dty))
        return fail(err, ora_error(3115));
    if (spec.value_sz < 0)
        return fail(err, ora_error(1036));
    OCIBind* b = nullptr;
    for (auto& existing : stmt->binds) {
        if (existing->slot == slot)
            b = existing.get();
    }
    if (!b) {
        auto fresh = std::make_unique<OCIBind>();
        fresh->env = stmt->env;
        b = fresh.get();
        register_handle(b);
        stmt->binds.push_back(std::move(fresh));
    }
    b->stmt = stmt;
    b->slot = slot;
    b->valuep = spec.valuep;
    b->value_sz = static_cast<size_t>(spec.value_sz);
    b->dty = spec.dty;
    b->indp = spec.indp;
    b->alenp = spec.alenp;
    b->alenp4 = spec.alenp4;
    b->rcodep = spec.rcodep;
    b->value_skip = b->ind_skip = b->alen_skip = b->rcode_skip = 0;
    b->mode = spec.mode;
    b->icb = nullptr;
    b->ocb = nullptr;
    if (bindpp)
        *bindpp = b;
    return OCI_SUCCESS;
}

// ---- LOBs ------------------------------------------------------------------------------------

void load_cache(OCILobLocator* loc, oralite::session& s) {
    if (loc->cache_generation == s.data_generation() && loc->cache_session == &s)
        return;
    value v = loc->temporary ? *loc->temporary : s.read_lob(*loc->ref);
    if (loc->clob) {
        loc->text_cache = oralite::utf8_to_utf16(v.bytes);
    } else {
        loc->byte_cache = v.bytes;
    }
    loc->cache_generation = s.data_generation();
    loc->cache_session = &s;
}

size_t lob_length(OCILobLocator* loc) {
    return loc->clob ? loc->text_cache.size() : loc->byte_cache.size();
}

// Copies up to `units` LOB units from `from` (0-based) into the buffer; returns the units and
// bytes written.
std::pair<size_t, size_t> copy_out(OCILobLocator* loc, size_t from, size_t units, char* buf,
                                   size_t bufl, bool utf16) {
    if (!loc->clob) {
        size_t n = std::min({units, bufl, loc->byte_cache.size() - from});
        std::memcpy(buf, loc->byte_cache.data() + from, n);
        return {n, n};
    }
    if (utf16) {
        size_t n = std::min({units, bufl / 2, loc->text_cache.size() - from});
        std::memcpy(buf, loc->text_cache.data() + from, n * 2);
        return {n, n * 2};
    }
    size_t n = 0;
    std::string out;
    while (n < units && from + n < loc->text_cache.size()) {
        size_t take = 1;
        char16_t c = loc->text_cache[from + n];
        if (c >= 0xD800 && c <= 0xDBFF && from + n + 1 < loc->text_cache.size())
            take = 2;
        std::string piece = oralite::utf16_to_utf8(loc->text_cache.substr(from + n, take));
        if (out.size() + piece.size() > bufl)
            break;
        out += piece;
        n += take;
    }
    std::memcpy(buf, out.data(), out.size());
    return {n, out.size()};
}

value spliced(OCILobLocator* loc, size_t offset0, const std::string& data_utf8_or_bytes,
              bool truncate_after) {
    if (loc->clob) {
        std::u16string content = loc->text_cache;
        std::u16string data = oralite::utf8_to_utf16(data_utf8_or_bytes);
        if (content.size() < offset0)
            content.append(offset0 - content.size(), u' ');
        content.replace(offset0, std::min(data.size(), content.size() - offset0), data);
        if (truncate_after)
            content.resize(offset0 + data.size());
        return value::of_lob(oralite::utf16_to_utf8(content), true);
    }
    std::string content = loc->byte_cache;
    if (content.size() < offset0)
        content.append(offset0 - content.size(), '\0');
    content.replace(offset0, std::min(data_utf8_or_bytes.size(), content.size() - offset0),
                    data_utf8_or_bytes);
    if (truncate_after)
        content.resize(offset0 + data_utf8_or_bytes.size());
    return value::of_lob(content, false);
}

}  // namespace

// ---- exported calls ----------------------------------------------------------------------------

ORALITE_EXPORT sword OCIEnvCreate(OCIEnv** envhpp, ub4 mode, void*, void* (*)(void*, size_t),
                                  void* (*)(void*, void*, size_t), void (*)(void*, void*),
                                  size_t xtramem_sz, void** usrmempp) {
    if (!envhpp)
        return OCI_INVALID_HANDLE;
    OCIEnv* env = make_handle<OCIEnv>(nullptr);
    env->env = env;
    env->mode = mode;
    give_user_memory(env, xtramem_sz, usrmempp);
    *envhpp = env;
    return OCI_SUCCESS;
}

ORALITE_EXPORT sword OCIHandleAlloc(const void* parenth, void** hndlpp, ub4 type, size_t xtramem_sz,
                                    void** usrmempp) {
    if (!is_live(parenth, OCI_HTYPE_ENV) || !hndlpp)
        return OCI_INVALID_HANDLE;
    auto* env = const_cast<OCIEnv*>(static_cast<const OCIEnv*>(parenth));
    handle_base* h = nullptr;
    switch (type) {
        case OCI_HTYPE_ERROR:
            h = make_handle<OCIError>(env);
            break;
        case OCI_HTYPE_SVCCTX:
            h = make_handle<OCISvcCtx>(env);
            break;
        case OCI_HTYPE_STMT:
            h = make_handle<OCIStmt>(env);
            break;
        case OCI_HTYPE_SERVER:
            h = make_handle<OCIServer>(env);
            break;
        case OCI_HTYPE_SESSION:
            h = make_handle<OCISession>(env);
            break;
        case OCI_HTYPE_TRANS:
            h = make_handle<OCITrans>(env);
            break;
        case OCI_HTYPE_DESCRIBE:
            h = make_handle<OCIDescribe>(env);
            break;
        default:
            return OCI_INVALID_HANDLE;
    }
    give_user_memory(h, xtramem_sz, usrmempp);
    *hndlpp = h;
    return OCI_SUCCESS;
}

ORALITE_EXPORT sword OCIHandleFree(void* hndlp, ub4 type) {
    if (!is_live(hndlp, type))
        return OCI_INVALID_HANDLE;
    if (type == OCI_HTYPE_BIND || type == OCI_HTYPE_DEFINE)
        return OCI_INVALID_HANDLE;
    auto* h = static_cast<handle_base*>(hndlp);
    if (type == OCI_HTYPE_SVCCTX) {
        auto* svc = static_cast<OCISvcCtx*>(h);
        svc->session.reset();  // without log-off: the open transaction is lost
    }
    destroy_handle(h);
    return OCI_SUCCESS;
}

ORALITE_EXPORT sword OCIDescriptorAlloc(const void* parenth, void** descpp, ub4 type,
                                        size_t xtramem_sz, void** usrmempp) {
    if (!is_live(parenth, OCI_HTYPE_ENV) || !descpp)
        return OCI_INVALID_HANDLE;
    auto* env = const_cast<OCIEnv*>(static_cast<const OCIEnv*>(parenth));
    handle_base* h = nullptr;
    switch (type) {
        case OCI_DTYPE_LOB:
            h = make_handle<OCILobLocator>(env);
            break;
        case OCI_DTYPE_ROWID:
            h = make_handle<OCIRowid>(env);
            break;
        default:
            return OCI_INVALID_HANDLE;
    }
    give_user_memory(h, xtramem_sz, usrmempp);
    *descpp = h;
    return OCI_SUCCESS;
}

ORALITE_EXPORT sword OCIDescriptorFree(void* descp, ub4 type) {
    if (!is_live(descp, type))
        return OCI_INVALID_HANDLE;
    if (type == OCI_DTYPE_PARAM) {
        // Parameter descriptors belong to their statement and go with it.
        return OCI_SUCCESS;
    }
    if (type != OCI_DTYPE_LOB && type != OCI_DTYPE_ROWID)
        return OCI_INVALID_HANDLE;
    destroy_handle(static_cast<handle_base*>(descp));
    return OCI_SUCCESS;
}

ORALITE_EXPORT sword OCIErrorGet(void* hndlp, ub4 recordno, OraText*, sb4* errcodep, OraText* bufp,
                                 ub4 bufsiz, ub4 type) {
    const error_record* record = nullptr;
    OCIEnv* env = nullptr;
    if (type == OCI_HTYPE_ERROR && is_live(hndlp, OCI_HTYPE_ERROR)) {
        auto* err = static_cast<OCIError*>(hndlp);
        env = err->env;
        if (recordno >= 1 && recordno <= err->records.size())
            record = &err->records[recordno - 1];
    } else if (type == OCI_HTYPE_ENV && is_live(hndlp, OCI_HTYPE_ENV)) {
        env = static_cast<OCIEnv*>(hndlp);
        if (recordno == 1 && env->error)
            record = &*env->error;
    } else {
        return OCI_INVALID_HANDLE;
    }
    if (!record)
        return OCI_NO_DATA;
    if (errcodep)
        *errcodep = record->code;
    if (bufp && bufsiz > 0) {
        put_terminated(bufp, bufsiz, wide(env), record->message + "\n");
    }
    return OCI_SUCCESS;
}

ORALITE_EXPORT sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink,
                                     sb4 dblink_len, ub4) {
    if (!is_live(srvhp, OCI_HTYPE_SERVER) || !is_live(errhp, OCI_HTYPE_ERROR)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    network_delay();
    return guarded(errhp, [&] {
        std::string link = dblink_len > 0 ? from_client(wide(srvhp->env), dblink, dblink_len) : "";
        if (!link.empty())
            oralite::resolve_connect_string(link);
        srvhp->link = link;
        srvhp->attached = true;
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4) {
    if (!is_live(srvhp, OCI_HTYPE_SERVER) || !is_live(errhp, OCI_HTYPE_ERROR)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    network_delay();
    srvhp->attached = false;
    return OCI_SUCCESS;
}

ORALITE_EXPORT sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp,
                              const OraText* username, ub4 uname_len, const OraText* password,
                              ub4 passwd_len, const OraText* dbname, ub4 dbname_len) {
    if (!is_live(envhp, OCI_HTYPE_ENV) || !is_live(errhp, OCI_HTYPE_ERROR) || !svchp) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        bool utf16 = wide(envhp);
        std::string user = from_client(utf16, username, uname_len);
        std::string pass = from_client(utf16, password, passwd_len);
        std::string db = from_client(utf16, dbname, dbname_len);
        network_delay();
        std::unique_ptr<oralite::session> fresh = oralite::session::logon(db, user, pass);
        fresh->count_round_trip();
        std::shared_ptr<oralite::session> s = std::move(fresh);
        OCISvcCtx* svc = make_handle<OCISvcCtx>(envhp);
        svc->implicit = true;
        svc->server = make_handle<OCIServer>(envhp);
        svc->server->link = db;
        svc->server->attached = true;
        svc->server->session = s;
        svc->session_handle = make_handle<OCISession>(envhp);
        svc->session_handle->user = user;
        svc->session_handle->user_client =
            std::string(reinterpret_cast<const char*>(username), uname_len);
        svc->session = std::move(s);
        *svchp = svc;
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp) {
    if (!is_live(svchp, OCI_HTYPE_SVCCTX) || !is_live(errhp, OCI_HTYPE_ERROR)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        round_trip(svchp);
        if (svchp->session && !svchp->session->closed())
            svchp->session->logoff();
        svchp->session.reset();
        if (svchp->implicit) {
            if (is_live(svchp->server, OCI_HTYPE_SERVER))
                destroy_handle(svchp->server);
            if (is_live(svchp->session_handle, OCI_HTYPE_SESSION)) {
                destroy_handle(svchp->session_handle);
            }
            destroy_handle(svchp);
        }
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp,
                                     ub4 credt, ub4) {
    if (!is_live(svchp, OCI_HTYPE_SVCCTX) || !is_live(errhp, OCI_HTYPE_ERROR) ||
        !is_live(usrhp, OCI_HTYPE_SESSION)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        if (credt != OCI_CRED_RDBMS)
            throw ora_error(1017);
        if (!is_live(svchp->server, OCI_HTYPE_SERVER) || !svchp->server->attached) {
            throw ora_error(12154);
        }
        network_delay();
        std::unique_ptr<oralite::session> fresh =
            oralite::session::logon(svchp->server->link, usrhp->user, usrhp->password);
        fresh->count_round_trip();
        svchp->session = std::move(fresh);
        svchp->server->session = svchp->session;
        svchp->session_handle = usrhp;
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession*, ub4) {
    if (!is_live(svchp, OCI_HTYPE_SVCCTX) || !is_live(errhp, OCI_HTYPE_ERROR)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        round_trip(svchp);
        if (svchp->session && !svchp->session->closed())
            svchp->session->logoff();
        svchp->session.reset();
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCITransCommit(OCISvcCtx* svchp, OCIError* errhp, ub4) {
    if (!is_live(svchp, OCI_HTYPE_SVCCTX) || !is_live(errhp, OCI_HTYPE_ERROR)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        round_trip(svchp);
        session_of(svchp).commit();
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCITransRollback(OCISvcCtx* svchp, OCIError* errhp, ub4) {
    if (!is_live(svchp, OCI_HTYPE_SVCCTX) || !is_live(errhp, OCI_HTYPE_ERROR)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        round_trip(svchp);
        session_of(svchp).rollback();
        return OCI_SUCCESS;
    });
}

// ---- attributes ------------------------------------------------------------------------------

namespace {

template <typename T>
void put(void* attributep, ub4* sizep, T v) {
    std::memcpy(attributep, &v, sizeof v);
    if (sizep)
        *sizep = sizeof v;
}

void put_text(void* attributep, ub4* sizep, const std::string& client_bytes) {
    *static_cast<const OraText**>(attributep) =
        reinterpret_cast<const OraText*>(client_bytes.data());
    if (sizep)
        *sizep = static_cast<ub4>(client_bytes.size());
}

}  // namespace

ORALITE_EXPORT sword OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep,
                                ub4 attrtype, OCIError* errhp) {
    if (!is_live(trgthndlp, trghndltyp) || !attributep)
        return OCI_INVALID_HANDLE;
    if (errhp && !is_live(errhp, OCI_HTYPE_ERROR))
        return OCI_INVALID_HANDLE;
    clear(errhp);
    auto* h = const_cast<handle_base*>(static_cast<const handle_base*>(trgthndlp));
    return guarded(errhp, [&]() -> sword {
        if (attrtype == OCI_ATTR_ENV && trghndltyp != OCI_DTYPE_PARAM) {
            put(attributep, sizep, h->env);
            return OCI_SUCCESS;
        }
        switch (trghndltyp) {
            case OCI_DTYPE_PARAM: {
                auto* p = static_cast<OCIParam*>(h);
                const column_type& t = p->column.type;
                switch (attrtype) {
                    case OCI_ATTR_DATA_SIZE:
                        put(attributep, sizep, static_cast<ub2>(t.oci_size()));
                        return OCI_SUCCESS;
                    case OCI_ATTR_DATA_TYPE:
                        put(attributep, sizep, static_cast<ub2>(t.oci_type()));
                        return OCI_SUCCESS;
                    case OCI_ATTR_NAME:
                        put_text(attributep, sizep, p->name_client);
                        return OCI_SUCCESS;
                    case OCI_ATTR_PRECISION:
                        put(attributep, sizep, static_cast<sb2>(t.oci_precision()));
                        return OCI_SUCCESS;
                    case OCI_ATTR_SCALE:
                        put(attributep, sizep, static_cast<sb1>(t.oci_scale()));
                        return OCI_SUCCESS;
                    case OCI_ATTR_IS_NULL:
                        put(attributep, sizep, static_cast<ub1>(p->column.nullable ? 1 : 0));
                        return OCI_SUCCESS;
                    case OCI_ATTR_TYPE_NAME:
                    case OCI_ATTR_SCHEMA_NAME:
                        put_text(attributep, sizep, p->empty);
                        return OCI_SUCCESS;
                    case OCI_ATTR_CHARSET_FORM:
                        put(attributep, sizep, static_cast<ub1>(t.charset_form()));
                        return OCI_SUCCESS;
                    case OCI_ATTR_CHARSET_ID:
                        put(attributep, sizep,
                            static_cast<ub2>(t.charset_form() == SQLCS_NCHAR ? 2000 : 873));
                        return OCI_SUCCESS;
                    case OCI_ATTR_CHAR_USED:
                        put(attributep, sizep, static_cast<ub1>(t.char_semantics ? 1 : 0));
                        return OCI_SUCCESS;
                    case OCI_ATTR_CHAR_SIZE:
                        put(attributep, sizep, static_cast<ub2>(t.char_length()));
                        return OCI_SUCCESS;
                    case OCI_ATTR_FSPRECISION:
                        put(attributep, sizep,
                            static_cast<ub1>(t.code == type_code::timestamp ||
                                                     t.code == type_code::interval_ds
                                                 ? t.fraction
                                                 : 0));
                        return OCI_SUCCESS;
                    case OCI_ATTR_LFPRECISION:
                        put(attributep, sizep,
                            static_cast<ub1>(t.code == type_code::interval_ds ? t.precision : 0));
                        return OCI_SUCCESS;
                    default:
                        break;
                }
                break;
            }
            case OCI_HTYPE_STMT: {
                auto* s = static_cast<OCIStmt*>(h);
                switch (attrtype) {
                    case OCI_ATTR_STMT_TYPE:
                        if (!s->parsed)
                            throw ora_error(24337);
                        put(attributep, sizep, static_cast<ub2>(s->parsed->statement_type));
                        return OCI_SUCCESS;
                    case OCI_ATTR_PARAM_COUNT: {
                        ub4 n = s->cur && s->executed && !s->cursor_session.expired() &&
                                        s->cur->is_query()
                                    ? static_cast<ub4>(s->cur->columns().size())
                                    : 0;
                        put(attributep, sizep, n);
                        return OCI_SUCCESS;
                    }
                    case OCI_ATTR_ROW_COUNT:
                        put(attributep, sizep, static_cast<ub4>(s->row_count));
                        return OCI_SUCCESS;
                    case OCI_ATTR_UB8_ROW_COUNT:
                        put(attributep, sizep, static_cast<ub8>(s->row_count));
                        return OCI_SUCCESS;
                    case OCI_ATTR_ROWS_FETCHED:
                        put(attributep, sizep, s->rows_fetched);
                        return OCI_SUCCESS;
                    case OCI_ATTR_PARSE_ERROR_OFFSET:
                        put(attributep, sizep, s->parse_error_offset);
                        return OCI_SUCCESS;
                    case OCI_ATTR_PREFETCH_ROWS:
                        put(attributep, sizep, s->prefetch);
                        return OCI_SUCCESS;
                    case OCI_ATTR_NUM_DML_ERRORS:
                        put(attributep, sizep, s->dml_errors);
                        return OCI_SUCCESS;
                    case OCI_ATTR_STMT_IS_RETURNING: {
                        bool returning = s->cur && !s->cur->returning_slots().empty();
                        put(attributep, sizep, static_cast<ub1>(returning ? 1 : 0));
                        return OCI_SUCCESS;
                    }
                    case OCI_ATTR_ROWID: {
                        auto* r = static_cast<OCIRowid*>(attributep);
                        if (!is_live(r, OCI_DTYPE_ROWID))
                            return OCI_INVALID_HANDLE;
                        if (s->rowid.empty())
                            return OCI_NO_DATA;
                        r->text = s->rowid;
                        return OCI_SUCCESS;
                    }
                    default:
                        break;
                }
                break;
            }
            case OCI_HTYPE_BIND: {
                auto* b = static_cast<OCIBind*>(h);
                switch (attrtype) {
                    case OCI_ATTR_ROWS_RETURNED:
                        put(attributep, sizep, b->rows_returned);
                        return OCI_SUCCESS;
                    case OCI_ATTR_MAXDATA_SIZE:
                        put(attributep, sizep, b->maxdata);
                        return OCI_SUCCESS;
                    case OCI_ATTR_CHARSET_FORM:
                        put(attributep, sizep, b->csform);
                        return OCI_SUCCESS;
                    case OCI_ATTR_CHARSET_ID:
                        put(attributep, sizep, b->csid);
                        return OCI_SUCCESS;
                    default:
                        break;
                }
                break;
            }
            case OCI_HTYPE_DEFINE: {
                auto* d = static_cast<OCIDefine*>(h);
                if (attrtype == OCI_ATTR_CHARSET_FORM) {
                    put(attributep, sizep, d->csform);
                    return OCI_SUCCESS;
                }
                if (attrtype == OCI_ATTR_CHARSET_ID) {
                    put(attributep, sizep, d->csid);
                    return OCI_SUCCESS;
                }
                break;
            }
            case OCI_HTYPE_SVCCTX: {
                auto* svc = static_cast<OCISvcCtx*>(h);
                if (attrtype == OCI_ATTR_SERVER) {
                    put(attributep, sizep, svc->server);
                    return OCI_SUCCESS;
                }
                if (attrtype == OCI_ATTR_SESSION) {
                    put(attributep, sizep, svc->session_handle);
                    return OCI_SUCCESS;
                }
                break;
            }
            case OCI_HTYPE_SESSION: {
                auto* u = static_cast<OCISession*>(h);
                if (attrtype == OCI_ATTR_USERNAME) {
                    put_text(attributep, sizep, u->user_client);
                    return OCI_SUCCESS;
                }
                break;
            }
            case OCI_HTYPE_ERROR: {
                auto* e = static_cast<OCIError*>(h);
                if (attrtype == OCI_ATTR_DML_ROW_OFFSET) {
                    put(attributep, sizep, e->row_offset);
                    return OCI_SUCCESS;
                }
                break;
            }
            default:
                break;
        }
        throw ora_error(24315);
    });
}

ORALITE_EXPORT sword OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size,
                                ub4 attrtype, OCIError* errhp) {
    if (!is_live(trgthndlp, trghndltyp))
        return OCI_INVALID_HANDLE;
    if (errhp && !is_live(errhp, OCI_HTYPE_ERROR))
        return OCI_INVALID_HANDLE;
    clear(errhp);
    auto* h = static_cast<handle_base*>(trgthndlp);
    return guarded(errhp, [&]() -> sword {
        auto ub4_of = [&]() -> ub4 {
            if (!attributep)
                throw ora_error(24315);
            ub4 v = 0;
            std::memcpy(&v, attributep, std::min<size_t>(size ? size : sizeof v, sizeof v));
            return v;
        };
        switch (trghndltyp) {
            case OCI_HTYPE_SVCCTX: {
                auto* svc = static_cast<OCISvcCtx*>(h);
                if (attrtype == OCI_ATTR_SERVER) {
                    if (!is_live(attributep, OCI_HTYPE_SERVER))
                        return OCI_INVALID_HANDLE;
                    svc->server = static_cast<OCIServer*>(attributep);
                    return OCI_SUCCESS;
                }
                if (attrtype == OCI_ATTR_SESSION) {
                    if (!is_live(attributep, OCI_HTYPE_SESSION))
                        return OCI_INVALID_HANDLE;
                    svc->session_handle = static_cast<OCISession*>(attributep);
                    return OCI_SUCCESS;
                }
                if (attrtype == OCI_ATTR_TRANS)
                    return OCI_SUCCESS;
                break;
            }
            case OCI_HTYPE_SESSION: {
                auto* u = static_cast<OCISession*>(h);
                if (attrtype == OCI_ATTR_USERNAME || attrtype == OCI_ATTR_PASSWORD) {
                    std::string text = from_client(wide(h->env), attributep, size);
                    if (attrtype == OCI_ATTR_USERNAME) {
                        u->user = text;
                        u->user_client.assign(static_cast<const char*>(attributep), size);
                    } else {
                        u->password = text;
                    }
                    return OCI_SUCCESS;
                }
                break;
            }
            case OCI_HTYPE_STMT: {
                auto* s = static_cast<OCIStmt*>(h);
                if (attrtype == OCI_ATTR_PREFETCH_ROWS) {
                    s->prefetch = ub4_of();
                    return OCI_SUCCESS;
                }
                if (attrtype == OCI_ATTR_PREFETCH_MEMORY)
                    return OCI_SUCCESS;
                break;
            }
            case OCI_HTYPE_BIND: {
                auto* b = static_cast<OCIBind*>(h);
                if (attrtype == OCI_ATTR_CHARSET_FORM) {
                    b->csform = static_cast<ub1>(ub4_of());
                    return OCI_SUCCESS;
                }
                if (attrtype == OCI_ATTR_CHARSET_ID) {
                    b->csid = static_cast<ub2>(ub4_of());
                    return OCI_SUCCESS;
                }
                if (attrtype == OCI_ATTR_MAXDATA_SIZE) {
                    b->maxdata = static_cast<sb4>(ub4_of());
                    return OCI_SUCCESS;
                }
                break;
            }
            case OCI_HTYPE_DEFINE: {
                auto* d = static_cast<OCIDefine*>(h);
                if (attrtype == OCI_ATTR_CHARSET_FORM) {
                    d->csform = static_cast<ub1>(ub4_of());
                    return OCI_SUCCESS;
                }
                if (attrtype == OCI_ATTR_CHARSET_ID) {
                    d->csid = static_cast<ub2>(ub4_of());
                    return OCI_SUCCESS;
                }
                break;
            }
            default:
                break;
        }
        throw ora_error(24315);
    });
}

// ---- statements ------------------------------------------------------------------------------

ORALITE_EXPORT sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt,
                                    ub4 stmt_len, ub4, ub4) {
    if (!is_live(stmtp, OCI_HTYPE_STMT) || !is_live(errhp, OCI_HTYPE_ERROR)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        if (!stmt && stmt_len)
            throw ora_error(900);
        std::string text = from_client(wide(stmtp->env), stmt, stmt_len);
        destroy_statement_children(stmtp);
        stmtp->cur.reset();
        stmtp->cursor_session.reset();
        stmtp->executed = false;
        stmtp->rows_fetched = 0;
        stmtp->row_count = 0;
        stmtp->rowid.clear();
        stmtp->parse_error_offset = 0;
        stmtp->parsed = std::make_shared<oralite::parsed_sql>(std::move(text));
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters,
                                    ub4 rowoff, const OCISnapshot*, OCISnapshot*, ub4 mode) {
    if (!is_live(svchp, OCI_HTYPE_SVCCTX) || !is_live(stmtp, OCI_HTYPE_STMT) ||
        !is_live(errhp, OCI_HTYPE_ERROR)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    sword rc = guarded(errhp, [&]() -> sword {
        if (!stmtp->parsed)
            throw ora_error(24337);
        round_trip(svchp);
        if (stmtp->parsed->error) {
            if (stmtp->parsed->error->offset() >= 0) {
                stmtp->parse_error_offset = static_cast<ub2>(stmtp->parsed->error->offset());
            }
            throw *stmtp->parsed->error;
        }
        oralite::session& s = session_of(svchp);
        if (!stmtp->cur || stmtp->cursor_session.lock() != svchp->session) {
            stmtp->cur = std::make_unique<cursor>(s, stmtp->parsed);
            stmtp->cursor_session = svchp->session;
        }
        cursor& c = *stmtp->cur;
        stmtp->params.clear();
        stmtp->rows_fetched = 0;
        stmtp->row_count = 0;
        stmtp->dml_errors = 0;
        stmtp->executed = false;
        errhp->batch.clear();
        oci_binds binds(stmtp, svchp, rowoff);
        cursor::mode m = (mode & OCI_PARSE_ONLY)      ? cursor::mode::parse_only
                         : (mode & OCI_DESCRIBE_ONLY) ? cursor::mode::describe_only
                                                      : cursor::mode::normal;
        bool query = c.is_query();
        bool batch_errors = (mode & OCI_BATCH_ERRORS) != 0;
        check_batch_mode(c, batch_errors);
        if (!query && m == cursor::mode::normal && iters <= rowoff)
            throw ora_error(24333);
        if (m == cursor::mode::normal)
            check_all_bound(stmtp);
        try {
            c.execute(query ? 1 : iters - rowoff, binds, m, batch_errors);
        } catch (const ora_error& e) {
            if (e.offset() >= 0)
                stmtp->parse_error_offset = static_cast<ub2>(e.offset());
            stmtp->row_count = c.row_count();
            throw;
        }
        stmtp->executed = true;
        if (c.last_rowid())
            stmtp->rowid = *c.last_rowid();
        // The execute of a query brings the rows asked for and the prefetched ones.
        stmtp->buffered_rows = query && m == cursor::mode::normal ? iters + stmtp->prefetch : 0;
        stmtp->server_at_end = !query || m != cursor::mode::normal;
        sword result = OCI_SUCCESS;
        if (query && m == cursor::mode::normal && iters > 0) {
            if (stmtp->defines.empty())
                throw ora_error(24374);
            result = fetch_rows(stmtp, errhp, iters);
            if (result == OCI_NO_DATA && stmtp->rows_fetched > 0)
                result = OCI_NO_DATA;
            if ((mode & OCI_EXACT_FETCH) && result == OCI_SUCCESS && c.fetch()) {
                throw ora_error(1422);
            }
        } else if (!query) {
            stmtp->row_count = c.row_count();
        }
        if (!c.row_errors().empty()) {
            // The rows that went in stay uncommitted: OCI_COMMIT_ON_SUCCESS does not apply.
            record_batch_errors(stmtp, errhp, c.row_errors(), rowoff);
            return warn(errhp, ora_error(24381));
        }
        if (m == cursor::mode::normal && (mode & OCI_COMMIT_ON_SUCCESS))
            s.commit();
        if (c.warning())
            return warn(errhp, *c.warning());
        return result;
    });
    return rc;
}

ORALITE_EXPORT sword OCIStmtFetch2(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, sb4,
                                   ub4) {
    if (!is_live(stmtp, OCI_HTYPE_STMT) || !is_live(errhp, OCI_HTYPE_ERROR)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&]() -> sword {
        if (!stmtp->parsed)
            throw ora_error(24337);
        if (!stmtp->cur || !stmtp->executed)
            throw ora_error(24338);
        check_cursor_session(stmtp);
        if (!stmtp->cur->is_query())
            throw ora_error(24374);
        if (orientation != OCI_FETCH_NEXT && orientation != OCI_DEFAULT)
            throw ora_error(24391);
        if (nrows == 0) {
            // Cancelling a cursor the server still holds open is a trip of its own.
            if (!stmtp->server_at_end)
                round_trip(stmtp->cursor_session.lock().get());
            stmtp->server_at_end = true;
            stmtp->buffered_rows = 0;
            stmtp->cur->close();
            return OCI_SUCCESS;
        }
        if (stmtp->defines.empty())
            throw ora_error(24374);
        return fetch_rows(stmtp, errhp, nrows);
    });
}

ORALITE_EXPORT sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation,
                                  ub4 mode) {
    return OCIStmtFetch2(stmtp, errhp, nrows, orientation, 0, mode);
}

namespace {

// The error handle of failed row `index` (from 0) of the last batch-errors execute on `source`:
// the caller's own error handle in *row_handle, else one that `source` keeps.
sword batch_error_param(OCIError* source, OCIError* errhp, void** row_handle, ub4 index) {
    if (index >= source->batch.size())
        return fail(errhp, ora_error(24334));
    OCIError* row = static_cast<OCIError*>(*row_handle);
    if (!is_live(row, OCI_HTYPE_ERROR)) {
        auto fresh = std::make_unique<OCIError>();
        fresh->env = source->env;
        register_handle(fresh.get());
        row = fresh.get();
        source->row_handles.push_back(std::move(fresh));
        *row_handle = row;
    }
    const OCIError::row_failure& failure = source->batch[index];
    row->records = {failure.record};
    row->row_offset = failure.offset;
    return OCI_SUCCESS;
}

}  // namespace

ORALITE_EXPORT sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp,
                                 ub4 pos) {
    if (htype == OCI_HTYPE_ERROR && is_live(hndlp, OCI_HTYPE_ERROR) && parmdpp &&
        is_live(errhp, OCI_HTYPE_ERROR)) {
        auto* source = const_cast<OCIError*>(static_cast<const OCIError*>(hndlp));
        return batch_error_param(source, errhp, parmdpp, pos);
    }
    if (htype != OCI_HTYPE_STMT || !is_live(hndlp, OCI_HTYPE_STMT) || !parmdpp) {
        return OCI_INVALID_HANDLE;
    }
    if (!is_live(errhp, OCI_HTYPE_ERROR))
        return OCI_INVALID_HANDLE;
    clear(errhp);
    auto* stmt = const_cast<OCIStmt*>(static_cast<const OCIStmt*>(hndlp));
    return guarded(errhp, [&] {
        if (!stmt->cur || !stmt->executed)
            throw ora_error(24338);
        check_cursor_session(stmt);
        const auto& columns = stmt->cur->columns();
        if (!stmt->cur->is_query() || pos < 1 || pos > columns.size())
            throw ora_error(24334);
        auto p = std::make_unique<OCIParam>();
        p->env = stmt->env;
        p->column = columns[pos - 1];
        p->name_client = to_client(wide(stmt->env), p->column.name);
        register_handle(p.get());
        *parmdpp = p.get();
        stmt->params.push_back(std::move(p));
        return OCI_SUCCESS;
    });
}

namespace {

sword bind_by_name(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp, const OraText* placeholder,
                   sb4 placeh_len, const bind_spec& spec) {
    if (!is_live(stmtp, OCI_HTYPE_STMT) || !is_live(errhp, OCI_HTYPE_ERROR) || !bindpp) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        if (!stmtp->parsed)
            throw ora_error(24337);
        if (!placeholder || placeh_len <= 0)
            throw ora_error(1036);
        std::string name = placeholder_name(from_client(wide(stmtp->env), placeholder, placeh_len));
        const auto& names = stmtp->parsed->binds.names();
        auto it = std::find(names.begin(), names.end(), name);
        if (it == names.end())
            throw ora_error(1036);
        return bind_common(stmtp, bindpp, errhp, static_cast<size_t>(it - names.begin()), spec);
    });
}

sword bind_by_pos(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp, ub4 position,
                  const bind_spec& spec) {
    if (!is_live(stmtp, OCI_HTYPE_STMT) || !is_live(errhp, OCI_HTYPE_ERROR) || !bindpp) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        if (!stmtp->parsed)
            throw ora_error(24337);
        if (position < 1 || position > stmtp->parsed->binds.names().size())
            throw ora_error(1036);
        return bind_common(stmtp, bindpp, errhp, position - 1, spec);
    });
}

}  // namespace

ORALITE_EXPORT sword OCIBindByName(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp,
                                   const OraText* placeholder, sb4 placeh_len, void* valuep,
                                   sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep, ub4,
                                   ub4*, ub4 mode) {
    return bind_by_name(stmtp, bindpp, errhp, placeholder, placeh_len,
                        {valuep, value_sz, dty, indp, alenp, nullptr, rcodep, mode});
}

ORALITE_EXPORT sword OCIBindByName2(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp,
                                    const OraText* placeholder, sb4 placeh_len, void* valuep,
                                    sb8 value_sz, ub2 dty, void* indp, ub4* alenp, ub2* rcodep, ub4,
                                    ub4*, ub4 mode) {
    return bind_by_name(stmtp, bindpp, errhp, placeholder, placeh_len,
                        {valuep, value_sz, dty, indp, nullptr, alenp, rcodep, mode});
}

ORALITE_EXPORT sword OCIBindByPos(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp, ub4 position,
                                  void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp,
                                  ub2* rcodep, ub4, ub4*, ub4 mode) {
    return bind_by_pos(stmtp, bindpp, errhp, position,
                       {valuep, value_sz, dty, indp, alenp, nullptr, rcodep, mode});
}

ORALITE_EXPORT sword OCIBindByPos2(OCIStmt* stmtp, OCIBind** bindpp, OCIError* errhp, ub4 position,
                                   void* valuep, sb8 value_sz, ub2 dty, void* indp, ub4* alenp,
                                   ub2* rcodep, ub4, ub4*, ub4 mode) {
    return bind_by_pos(stmtp, bindpp, errhp, position,
                       {valuep, value_sz, dty, indp, nullptr, alenp, rcodep, mode});
}

ORALITE_EXPORT sword OCIBindArrayOfStruct(OCIBind* bindp, OCIError* errhp, ub4 pvskip, ub4 indskip,
                                          ub4 alskip, ub4 rcskip) {
    if (!is_live(bindp, OCI_HTYPE_BIND) || !is_live(errhp, OCI_HTYPE_ERROR))
        return OCI_INVALID_HANDLE;
    clear(errhp);
    bindp->value_skip = pvskip;
    bindp->ind_skip = indskip;
    bindp->alen_skip = alskip;
    bindp->rcode_skip = rcskip;
    return OCI_SUCCESS;
}

ORALITE_EXPORT sword OCIBindDynamic(OCIBind* bindp, OCIError* errhp, void* ictxp,
                                    OCICallbackInBind icbfp, void* octxp,
                                    OCICallbackOutBind ocbfp) {
    if (!is_live(bindp, OCI_HTYPE_BIND) || !is_live(errhp, OCI_HTYPE_ERROR)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    if (!(bindp->mode & OCI_DATA_AT_EXEC))
        return fail(errhp, ora_error(1036));
    bindp->ictx = ictxp;
    bindp->icb = icbfp;
    bindp->octx = octxp;
    bindp->ocb = ocbfp;
    return OCI_SUCCESS;
}

ORALITE_EXPORT sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* errhp,
                                    ub4 position, void* valuep, sb4 value_sz, ub2 dty, void* indp,
                                    ub2* rlenp, ub2* rcodep, ub4 mode) {
    if (!is_live(stmtp, OCI_HTYPE_STMT) || !is_live(errhp, OCI_HTYPE_ERROR) || !defnpp) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        if (!stmtp->parsed)
            throw ora_error(24337);
        if (position < 1)
            throw ora_error(24334);
        if (mode & OCI_DYNAMIC_FETCH)
            throw ora_error(3001);
        if (!supported_dty(dty))
            throw ora_error(3115);
        if (value_sz < 0 && dty != SQLT_CLOB && dty != SQLT_BLOB)
            throw ora_error(1036);
        OCIDefine* d = nullptr;
        for (auto& existing : stmtp->defines) {
            if (existing->position == position)
                d = existing.get();
        }
        if (!d) {
            auto fresh = std::make_unique<OCIDefine>();
            fresh->env = stmtp->env;
            d = fresh.get();
            register_handle(d);
            stmtp->defines.push_back(std::move(fresh));
        }
        d->position = position;
        d->valuep = valuep;
        d->value_sz = value_sz;
        d->dty = dty;
        d->indp = static_cast<sb2*>(indp);
        d->rlenp = rlenp;
        d->rcodep = rcodep;
        *defnpp = d;
        return OCI_SUCCESS;
    });
}

// ---- LOBs ------------------------------------------------------------------------------------

ORALITE_EXPORT sword OCILobCharSetForm(OCIEnv* envhp, OCIError* errhp, const OCILobLocator* locp,
                                       ub1* csfrm) {
    if (!is_live(envhp, OCI_HTYPE_ENV) || !is_live(errhp, OCI_HTYPE_ERROR) ||
        !is_live(locp, OCI_DTYPE_LOB) || !csfrm) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    if (!locp->initialized)
        return fail(errhp, ora_error(22275));
    *csfrm = locp->clob ? SQLCS_IMPLICIT : 0;
    return OCI_SUCCESS;
}

ORALITE_EXPORT sword OCILobGetLength(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp,
                                     ub4* lenp) {
    if (!is_live(svchp, OCI_HTYPE_SVCCTX) || !is_live(errhp, OCI_HTYPE_ERROR) ||
        !is_live(locp, OCI_DTYPE_LOB) || !lenp) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        if (!locp->initialized)
            throw ora_error(22275);
        round_trip(svchp);
        load_cache(locp, session_of(svchp));
        *lenp = static_cast<ub4>(lob_length(locp));
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCILobRead(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp,
                                ub4 offset, void* bufp, ub4 bufl, void* ctxp,
                                OCICallbackLobRead cbfp, ub2 csid, ub1) {
    if (!is_live(svchp, OCI_HTYPE_SVCCTX) || !is_live(errhp, OCI_HTYPE_ERROR) ||
        !is_live(locp, OCI_DTYPE_LOB) || !amtp) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&]() -> sword {
        if (!locp->initialized)
            throw ora_error(22275);
        if (!bufp || bufl == 0)
            throw ora_error(24801);
        if (offset < 1)
            throw ora_error(24801);
        round_trip(svchp);
        bool utf16 = wide(svchp->env, csid);
        oralite::session& s = session_of(svchp);
        // A polling read goes on where the previous piece ended.
        bool continuing = locp->reading && offset == locp->read_offset;
        if (!continuing) {
            load_cache(locp, s);
            size_t length = lob_length(locp);
            if (offset > length) {
                locp->reading = false;
                *amtp = 0;
                return OCI_NO_DATA;
            }
            size_t available = length - (offset - 1);
            size_t wanted = *amtp == 0 ? available : std::min<size_t>(*amtp, available);
            locp->read_offset = offset;
            locp->read_next = offset - 1;
            locp->read_remaining = static_cast<ub4>(wanted);
        }
        char* buf = static_cast<char*>(bufp);
        if (cbfp) {
            bool first = true;
            while (locp->read_remaining > 0) {
                auto [units, bytes] =
                    copy_out(locp, locp->read_next, locp->read_remaining, buf, bufl, utf16);
                if (units == 0)
                    throw ora_error(24801);
                locp->read_next += static_cast<ub4>(units);
                locp->read_remaining -= static_cast<ub4>(units);
                ub1 piece = locp->read_remaining == 0 ? (first ? OCI_ONE_PIECE : OCI_LAST_PIECE)
                                                      : (first ? OCI_FIRST_PIECE : OCI_NEXT_PIECE);
                first = false;
                if (cbfp(ctxp, buf, static_cast<ub4>(bytes), piece) != OCI_CONTINUE) {
                    locp->reading = false;
                    throw ora_error(24802);
                }
            }
            *amtp = locp->read_next - (offset - 1);
            locp->reading = false;
            return OCI_SUCCESS;
        }
        auto [units, bytes] =
            copy_out(locp, locp->read_next, locp->read_remaining, buf, bufl, utf16);
        if (units == 0 && locp->read_remaining > 0)
            throw ora_error(24801);
        locp->read_next += static_cast<ub4>(units);
        locp->read_remaining -= static_cast<ub4>(units);
        // The amount is in characters for a fixed-width buffer, in bytes for UTF-8.
        *amtp = static_cast<ub4>(locp->clob && !utf16 ? bytes : units);
        if (locp->read_remaining > 0) {
            locp->reading = true;
            return OCI_NEED_DATA;
        }
        locp->reading = false;
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCILobWrite(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp, ub4* amtp,
                                 ub4 offset, void* bufp, ub4 buflen, ub1 piece, void* ctxp,
                                 OCICallbackLobWrite cbfp, ub2 csid, ub1) {
    if (!is_live(svchp, OCI_HTYPE_SVCCTX) || !is_live(errhp, OCI_HTYPE_ERROR) ||
        !is_live(locp, OCI_DTYPE_LOB) || !amtp) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&]() -> sword {
        if (!locp->initialized || !locp->ref)
            throw ora_error(22275);
        if (offset < 1)
            throw ora_error(24801);
        if (piece > OCI_LAST_PIECE)
            throw ora_error(24801);
        round_trip(svchp);
        bool utf16 = wide(svchp->env, csid);
        oralite::session& s = session_of(svchp);
        if (!locp->ref->locked)
            throw ora_error(22920);
        // The data of this call, in engine form (UTF-8 for a CLOB).
        auto piece_data = [&](const void* data, size_t bytes, size_t amount) {
            if (!locp->clob) {
                if (amount && amount < bytes)
                    bytes = amount;
                return std::string(static_cast<const char*>(data), bytes);
            }
            if (utf16) {
                size_t units = bytes / 2;
                if (amount && piece == OCI_ONE_PIECE && !cbfp) {
                    if (amount > units)
                        throw ora_error(24801);
                    units = amount;
                }
                return oralite::utf16_bytes_to_utf8(data, units * 2);
            }
            std::string text(static_cast<const char*>(data), bytes);
            if (amount && piece == OCI_ONE_PIECE && !cbfp) {
                return std::string(oralite::utf8_prefix(text, amount));
            }
            return text;
        };
        std::string data;
        if (piece == OCI_ONE_PIECE && !cbfp) {
            if (!bufp && buflen)
                throw ora_error(24801);
            data = piece_data(bufp, buflen, *amtp);
        } else if (piece == OCI_ONE_PIECE || (piece == OCI_FIRST_PIECE && cbfp)) {
            data = piece_data(bufp, buflen, 0);
            ub1 next = OCI_FIRST_PIECE;
            while (cbfp && next != OCI_LAST_PIECE) {
                ub4 len = buflen;
                if (cbfp(ctxp, bufp, &len, &next) != OCI_CONTINUE)
                    throw ora_error(24343);
                data += piece_data(bufp, len, 0);
            }
        } else {
            // Polling: FIRST and NEXT pieces gather, LAST writes.
            if (piece == OCI_FIRST_PIECE) {
                locp->writing = true;
                locp->write_offset = offset;
                locp->write_buffer.clear();
            } else if (!locp->writing) {
                throw ora_error(24801);
            }
            locp->write_buffer += piece_data(bufp, buflen, 0);
            if (piece != OCI_LAST_PIECE)
                return OCI_NEED_DATA;
            locp->writing = false;
            data = std::move(locp->write_buffer);
            offset = locp->write_offset;
        }
        load_cache(locp, s);
        value content = spliced(locp, offset - 1, data, false);
        s.write_lob(*locp->ref, content);
        *amtp = static_cast<ub4>(locp->clob ? oralite::utf16_length(data) : data.size());
        locp->cache_generation = UINT64_MAX;
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCILobTrim(OCISvcCtx* svchp, OCIError* errhp, OCILobLocator* locp,
                                ub4 newlen) {
    if (!is_live(svchp, OCI_HTYPE_SVCCTX) || !is_live(errhp, OCI_HTYPE_ERROR) ||
        !is_live(locp, OCI_DTYPE_LOB)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        if (!locp->initialized || !locp->ref)
            throw ora_error(22275);
        round_trip(svchp);
        oralite::session& s = session_of(svchp);
        load_cache(locp, s);
        if (newlen > lob_length(locp))
            throw ora_error(22926);
        value content;
        if (locp->clob) {
            content =
                value::of_lob(oralite::utf16_to_utf8(locp->text_cache.substr(0, newlen)), true);
        } else {
            content = value::of_lob(locp->byte_cache.substr(0, newlen), false);
        }
        s.write_lob(*locp->ref, content);
        locp->cache_generation = UINT64_MAX;
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCIRowidToChar(OCIRowid* rowidDesc, OraText* outbfp, ub2* outbflp,
                                    OCIError* errhp) {
    if (!is_live(rowidDesc, OCI_DTYPE_ROWID) || !outbflp || !is_live(errhp, OCI_HTYPE_ERROR)) {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    if (rowidDesc->text.empty())
        return fail(errhp, ora_error(1410));
    std::string bytes = to_client(wide(rowidDesc->env), rowidDesc->text);
    if (!outbfp || *outbflp < bytes.size()) {
        *outbflp = static_cast<ub2>(bytes.size());
        return fail(errhp, ora_error(1406));
    }
    std::memcpy(outbfp, bytes.data(), bytes.size());
    *outbflp = static_cast<ub2>(bytes.size());
    return OCI_SUCCESS;
}

// ---- server calls --------------------------------------------------------------------------

ORALITE_EXPORT sword OCIPing(OCISvcCtx* svchp, OCIError* errhp, ub4) {
    if (!is_live(svchp, OCI_HTYPE_SVCCTX) || !is_live(errhp, OCI_HTYPE_ERROR))
        return OCI_INVALID_HANDLE;
    clear(errhp);
    return guarded(errhp, [&] {
        round_trip(svchp);
        session_of(svchp);
        return OCI_SUCCESS;
    });
}

ORALITE_EXPORT sword OCIServerVersion(void* hndlp, OCIError* errhp, OraText* bufp, ub4 bufsz,
                                      ub1 hndltype) {
    if (!is_live(errhp, OCI_HTYPE_ERROR) || !bufp)
        return OCI_INVALID_HANDLE;
    OCIServer* server = nullptr;
    if (hndltype == OCI_HTYPE_SVCCTX && is_live(hndlp, OCI_HTYPE_SVCCTX)) {
        server = static_cast<OCISvcCtx*>(hndlp)->server;
    } else if (hndltype == OCI_HTYPE_SERVER && is_live(hndlp, OCI_HTYPE_SERVER)) {
        server = static_cast<OCIServer*>(hndlp);
    } else {
        return OCI_INVALID_HANDLE;
    }
    clear(errhp);
    return guarded(errhp, [&] {
        if (!is_live(server, OCI_HTYPE_SERVER) || !server->attached)
            throw ora_error(3114);
        std::shared_ptr<oralite::session> s = server->session.lock();
        round_trip(s.get());
        put_terminated(bufp, bufsz, wide(server->env), std::string(oralite::k_version_banner));
        return OCI_SUCCESS;
    });
}

#include "ORA/ora_engine.h"

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "ORA/ora_database.h"
#include "TK/tk_string.h"
#include "TK/tk_text.h"
#include "TK/tk_trace_log.h"
#include "platform/codepage.h"

namespace {

// Room for OCIErrorGet's text: long enough for the longest messages with three quoted names.
constexpr size_t error_text_bytes = 2048;

const ora_oci_functions& oci() {
    return ora_oci();
}

ora_engine& engine() {
    return ora_engine::instance();
}

// The text up to the first NUL code unit, without trailing line ends and blanks.
std::wstring error_text(const char16_t* buffer, size_t units) {
    size_t length = 0;
    while (length < units && buffer[length] != u'\0') {
        ++length;
    }
    std::wstring text = platform::utf16_to_wide(std::u16string_view(buffer, length));
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    return text;
}

// Raises ora_exception with the first diagnostic record of handle.
[[noreturn]] void raise_oci_error(void* handle, uint32_t handle_type) {
    char16_t buffer[error_text_bytes / 2] = {};
    sb4 code = 0;
    std::wstring text;
    if (handle != nullptr &&
        oci().OCIErrorGet(handle, 1, nullptr, &code, reinterpret_cast<OraText*>(buffer),
                          sizeof buffer, handle_type) == OCI_SUCCESS) {
        text = error_text(buffer, std::size(buffer));
    }
    if (text.empty()) {
        text = tk_wformat(L"ORA-%05d: unknown Oracle error", static_cast<int>(code));
    }
    tk_trace_w(2, L"Oracle error %d: %ls", static_cast<int>(code), text.c_str());
    throw ora_exception(code, text);
}

// The one interpretation of an OCI result (see ora_engine::check), for any error handle.
int check_with(OCIError* error, int status) {
    if (status == OCI_ERROR) {
        raise_oci_error(error, OCI_HTYPE_ERROR);
    }
    if (status == OCI_INVALID_HANDLE) {
        tk_trace(3, "An OCI call was given an invalid handle");
        TK_FAIL();
    }
    return status;
}

// A new environment with its error handle. UTF-16, and threaded: a log-on made apart may run
// on one thread while another uses the engine's environment. tk_exception (level 1) or
// ora_exception when either cannot be made; nothing is left allocated then.
void create_environment(OCIEnv*& env_out, OCIError*& error_out) {
    OCIEnv* env = nullptr;
    const int status = oci().OCIEnvCreate(&env, OCI_UTF16 | OCI_THREADED, nullptr, nullptr, nullptr,
                                          nullptr, 0, nullptr);
    if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO) {
        if (env == nullptr) {
            throw tk_exception("Cannot create the Oracle client environment.", 1);
        }
        try {
            raise_oci_error(env, OCI_HTYPE_ENV);
        } catch (...) {
            oci().OCIHandleFree(env, OCI_HTYPE_ENV);
            throw;
        }
    }
    void* error = nullptr;
    if (oci().OCIHandleAlloc(env, &error, OCI_HTYPE_ERROR, 0, nullptr) != OCI_SUCCESS) {
        oci().OCIHandleFree(env, OCI_HTYPE_ENV);
        throw tk_exception("Cannot allocate the Oracle error handle.", 1);
    }
    env_out = env;
    error_out = static_cast<OCIError*>(error);
}

// Children before parents: the error handle, then the environment.
void free_environment(OCIError*& error, OCIEnv*& env) noexcept {
    if (error != nullptr) {
        oci().OCIHandleFree(error, OCI_HTYPE_ERROR);
        error = nullptr;
    }
    if (env != nullptr) {
        oci().OCIHandleFree(env, OCI_HTYPE_ENV);
        env = nullptr;
    }
}

// OCILogoff frees the service context, session and server that OCILogon allocated. A broken
// connection must not keep the next log-on from happening.
void log_off_service(OCISvcCtx*& service, OCIError* error) noexcept {
    if (service == nullptr) {
        return;
    }
    if (oci().OCILogoff(service, error) != OCI_SUCCESS) {
        tk_trace(2, "ora_engine: log-off failed");
    }
    service = nullptr;
}

// OCILogon with byte lengths of UTF-16 texts; ora_exception when the server refuses.
OCISvcCtx* log_on(OCIEnv* env, OCIError* error, const std::wstring& connect_string,
                  const std::wstring& user, const std::wstring& password) {
    const std::u16string user16 = ora_to_oci(user);
    const std::u16string password16 = ora_to_oci(password);
    const std::u16string connect16 = ora_to_oci(connect_string);
    OCISvcCtx* service = nullptr;
    check_with(error,
               oci().OCILogon(env, error, &service, reinterpret_cast<const OraText*>(user16.data()),
                              static_cast<ub4>(user16.size() * 2),
                              reinterpret_cast<const OraText*>(password16.data()),
                              static_cast<ub4>(password16.size() * 2),
                              reinterpret_cast<const OraText*>(connect16.data()),
                              static_cast<ub4>(connect16.size() * 2)));
    return service;
}

}  // namespace

// ---- text at the OCI boundary ----------------------------------------------------------------

std::u16string ora_to_oci(const std::wstring& text) {
    return platform::wide_to_utf16(text);
}

std::wstring ora_from_oci(const void* text, size_t bytes) {
    if (text == nullptr || bytes < 2) {
        return {};
    }
    std::u16string units(bytes / 2, u'\0');
    std::memcpy(units.data(), text, units.size() * 2);
    return platform::utf16_to_wide(units);
}

// ---- ora_exception -----------------------------------------------------------------------------

ora_exception::ora_exception(int32_t ora_number, const std::wstring& text)
    : tk_exception(text, 0), ora_error_(ora_number) {
    set_system_error(code_base | (static_cast<uint32_t>(ora_number) & 0xFFFFu));
}

// ---- ora_engine ----------------------------------------------------------------------------

ora_engine::ora_engine() {
    tk_trace(2, "ora_engine::ctor");
}

ora_engine::~ora_engine() {
    tk_trace(2, "ora_engine::dtor");
    if (!initialized_) {
        return;
    }
    // Children before parents: the session (with its implicit server and service context),
    // then the error handle, then the environment.
    logoff();
    free_environment();
}

void ora_engine::load_client() {
    ora_oci_load();
}

void ora_engine::initialize() {
    tk_trace(2, "ora_engine::initialize");
    if (initialized_) {
        return;
    }
    ora_oci_load();
    create_environment(env_, error_);
    initialized_ = true;
}

std::unique_ptr<ora_database> ora_engine::open_db(const std::wstring& connect_string,
                                                  const std::wstring& user,
                                                  const std::wstring& password) {
    // The password never reaches the trace.
    tk_trace_w(2, L"ora_engine::open_db( %ls, %ls, %ls )", connect_string.c_str(), user.c_str(),
               password.empty() ? L"" : L"***");
    tk_trace_w(3, L"Connecting to Oracle data source '%ls'", connect_string.c_str());
    std::optional<ora_logon> prepared = std::move(prepared_);
    prepared_.reset();
    if (prepared && prepared->is_for(connect_string, user, password)) {
        adopt(std::move(*prepared));
    } else {
        if (!initialized_) {
            initialize();
        }
        logoff();
        service_ = log_on(env_, error_, connect_string, user, password);
    }
    tk_trace(2, "The connection has been established");
    connect_string_ = connect_string;
    user_ = user;
    password_ = password;
    use_plain_numbers();
    return std::make_unique<ora_database>(connect_string);
}

void ora_engine::take_logon(ora_logon&& logon) {
    tk_trace(2, "ora_engine::take_logon");
    prepared_.emplace(std::move(logon));
}

void ora_engine::adopt(ora_logon&& logon) {
    tk_trace(2, "ora_engine::adopt");
    logoff();
    free_environment();
    env_ = std::exchange(logon.env_, nullptr);
    error_ = std::exchange(logon.error_, nullptr);
    service_ = std::exchange(logon.service_, nullptr);
    initialized_ = true;
}

void ora_engine::free_environment() noexcept {
    ::free_environment(error_, env_);
}

std::unique_ptr<ora_database> ora_engine::open_db(const std::wstring& host,
                                                  const std::wstring& user,
                                                  const std::wstring& password,
                                                  const std::wstring& port) {
    tk_trace_w(2, L"ora_engine::open_db (%ls,%ls,%ls,%ls)", host.c_str(), user.c_str(),
               password.empty() ? L"" : L"***", port.c_str());
    return open_db(direct_descriptor(host, port), user, password);
}

std::wstring ora_engine::direct_descriptor(const std::wstring& host, const std::wstring& port) {
    return L"(DESCRIPTION=(CONNECT_DATA=(SERVICE_NAME=" + host +
           L"))(ADDRESS=(PROTOCOL=TCP)(HOST=" + host + L")(PORT=" + port + L")))";
}

void ora_engine::use_plain_numbers() {
    // Numbers travel as text with a decimal point, whatever the client's territory would
    // make the session expect. A server that does not know the statement keeps its own
    // setting, which then is already the point.
    try {
        ora_stmt statement(L"ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,'");
        statement.execute(1);
    } catch (const ora_exception& e) {
        tk_trace(2, "Session numeric characters left as they are: %s", e.what());
    }
}

void ora_engine::logoff() noexcept {
    log_off_service(service_, error_);
}

OCISvcCtx* ora_engine::service() const {
    TK_ASSERT(service_ != nullptr);
    return service_;
}

int64_t ora_engine::get_records_cnt(const std::wstring& text, bool is_query) {
    tk_trace_w(2, L"ora_engine::get_records_cnt(%ls)", text.c_str());
    TK_ASSERT(logged_on());
    const std::wstring sql = is_query ? L"SELECT COUNT(*) FROM (" + text + L")"
                                      : L"SELECT COUNT(*) FROM \"" + text + L"\"";
    ora_stmt statement(sql);
    int64_t count = 0;
    int16_t indicator = 0;
    statement.define(1, &count, sizeof count, SQLT_INT, &indicator, nullptr);
    TK_ASSERT(statement.execute(1) != ora_status::no_data);
    return count;
}

uint32_t ora_engine::parse_version(const std::string& banner) {
    for (const std::string& word : tk_split(banner, ' ')) {
        if (word.empty() || word[0] < '0' || word[0] > '9') {
            continue;
        }
        int major = 0;
        int minor = 0;
        int patch = 0;
        if (std::sscanf(word.c_str(), "%d.%d.%d", &major, &minor, &patch) == 3) {
            tk_trace(2, "Got Oracle version: %d,%d,%d", major, minor, patch);
            return static_cast<uint32_t>(major) * 65536u +
                   static_cast<uint32_t>(minor & 0xFF) * 256u + static_cast<uint32_t>(patch & 0xFF);
        }
    }
    return 0;
}

uint32_t ora_engine::get_version() {
    tk_trace(2, "ora_engine::get_version");
    TK_ASSERT(logged_on());
    std::vector<char16_t> buffer(64 * 1024, u'\0');
    int16_t indicator = 0;
    try {
        ora_stmt statement(L"select * from v$version");
        statement.define(1, buffer.data(), static_cast<int32_t>(buffer.size() * 2), SQLT_STR,
                         &indicator, nullptr);
        if (statement.execute(1) == ora_status::no_data || indicator == OCI_IND_NULL) {
            return 0;
        }
    } catch (const ora_exception& e) {
        tk_trace(2, "Cannot read the server version: %s", e.what());
        return 0;
    }
    const std::string banner = platform::wide_to_utf8(error_text(buffer.data(), buffer.size()));
    tk_trace(2, "Got versioned string:\n%s", banner.c_str());
    return parse_version(banner);
}

int ora_engine::check(int status) {
    return check_with(error_, status);
}

int ora_engine::check_env(int status) {
    if (status == OCI_ERROR) {
        raise_error(env_, OCI_HTYPE_ENV);
    }
    return check(status);
}

ora_status ora_engine::status_of(int status) {
    switch (check(status)) {
        case OCI_SUCCESS:
            return ora_status::success;
        case OCI_SUCCESS_WITH_INFO:
            return ora_status::success_with_info;
        case OCI_NO_DATA:
            return ora_status::no_data;
        default:
            tk_trace(3, "Unexpected OCI result %d", status);
            TK_FAIL();
    }
}

int32_t ora_engine::warning(std::string* text) {
    char16_t buffer[error_text_bytes / 2] = {};
    sb4 code = 0;
    if (oci().OCIErrorGet(error_, 1, nullptr, &code, reinterpret_cast<OraText*>(buffer),
                          sizeof buffer, OCI_HTYPE_ERROR) != OCI_SUCCESS) {
        return 0;
    }
    if (text != nullptr) {
        *text = tk_ucs2_to_ansi(error_text(buffer, std::size(buffer)));
    }
    return code;
}

void ora_engine::raise_error(void* handle, uint32_t handle_type) {
    raise_oci_error(handle, handle_type);
}

void ora_engine::commit() {
    check(oci().OCITransCommit(service(), error_, OCI_DEFAULT));
}

void ora_engine::rollback() {
    check(oci().OCITransRollback(service(), error_, OCI_DEFAULT));
}

std::vector<ora_row_error> ora_engine::batch_errors(OCIStmt* statement) {
    ub4 count = 0;
    check(oci().OCIAttrGet(statement, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_NUM_DML_ERRORS,
                           error_));
    std::vector<ora_row_error> rows;
    if (count == 0) {
        return rows;
    }
    // Each failed row's error is handed over in an error handle of the caller's.
    void* row_error = nullptr;
    check(oci().OCIHandleAlloc(env_, &row_error, OCI_HTYPE_ERROR, 0, nullptr));
    struct release {
        void* handle;
        ~release() { oci().OCIHandleFree(handle, OCI_HTYPE_ERROR); }
    } released{row_error};
    for (ub4 i = 0; i < count; ++i) {
        check(oci().OCIParamGet(error_, OCI_HTYPE_ERROR, error_, &row_error, i));
        ub4 offset = 0;
        check(oci().OCIAttrGet(row_error, OCI_HTYPE_ERROR, &offset, nullptr,
                               OCI_ATTR_DML_ROW_OFFSET, error_));
        char16_t buffer[error_text_bytes / 2] = {};
        sb4 code = 0;
        std::wstring text;
        if (oci().OCIErrorGet(row_error, 1, nullptr, &code, reinterpret_cast<OraText*>(buffer),
                              sizeof buffer, OCI_HTYPE_ERROR) == OCI_SUCCESS) {
            text = error_text(buffer, std::size(buffer));
        }
        rows.push_back({offset, code, text});
    }
    return rows;
}

// ---- ora_logon -----------------------------------------------------------------------------

ora_logon ora_logon::open(const std::wstring& connect_string, const std::wstring& user,
                          const std::wstring& password) {
    tk_trace_w(2, L"ora_logon::open( %ls, %ls, %ls )", connect_string.c_str(), user.c_str(),
               password.empty() ? L"" : L"***");
    ora_logon logon;
    logon.connect_string_ = connect_string;
    logon.user_ = user;
    logon.password_ = password;
    create_environment(logon.env_, logon.error_);
    logon.service_ = log_on(logon.env_, logon.error_, connect_string, user, password);
    return logon;
}

ora_logon::ora_logon(ora_logon&& other) noexcept {
    *this = std::move(other);
}

ora_logon& ora_logon::operator=(ora_logon&& other) noexcept {
    if (this != &other) {
        release();
        env_ = std::exchange(other.env_, nullptr);
        error_ = std::exchange(other.error_, nullptr);
        service_ = std::exchange(other.service_, nullptr);
        connect_string_ = std::move(other.connect_string_);
        user_ = std::move(other.user_);
        password_ = std::move(other.password_);
    }
    return *this;
}

ora_logon::~ora_logon() {
    release();
}

void ora_logon::release() noexcept {
    log_off_service(service_, error_);
    free_environment(error_, env_);
}

bool ora_logon::is_for(const std::wstring& connect_string, const std::wstring& user,
                       const std::wstring& password) const {
    return service_ != nullptr && connect_string == connect_string_ && user == user_ &&
           password == password_;
}

// ---- ora_stmt --------------------------------------------------------------------------------

ora_stmt::ora_stmt() {
    tk_trace(1, "ora_stmt::ctor");
    ora_engine& owner = engine();
    TK_ASSERT(owner.is_initialized());
    void* handle = nullptr;
    owner.check(oci().OCIHandleAlloc(owner.env(), &handle, OCI_HTYPE_STMT, 0, nullptr));
    handle_ = static_cast<OCIStmt*>(handle);
}

ora_stmt::ora_stmt(const std::wstring& sql) : ora_stmt() {
    prepare(sql);
}

ora_stmt::~ora_stmt() {
    tk_trace(1, "ora_stmt::dtor");
    release();
    tk_trace(1, "ora_stmt::dtor - END");
}

ora_stmt::ora_stmt(ora_stmt&& other) noexcept
    : handle_(other.handle_), text_(std::move(other.text_)) {
    other.handle_ = nullptr;
}

ora_stmt& ora_stmt::operator=(ora_stmt&& other) noexcept {
    if (this != &other) {
        release();
        handle_ = other.handle_;
        text_ = std::move(other.text_);
        other.handle_ = nullptr;
    }
    return *this;
}

void ora_stmt::release() noexcept {
    if (handle_ != nullptr) {
        oci().OCIHandleFree(handle_, OCI_HTYPE_STMT);
        handle_ = nullptr;
    }
}

void ora_stmt::prepare(const std::wstring& sql) {
    text_ = sql;
    const std::u16string text16 = ora_to_oci(sql);
    engine().check(oci().OCIStmtPrepare(
        handle_, engine().error(), reinterpret_cast<const OraText*>(text16.data()),
        static_cast<ub4>(text16.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT));
}

ora_status ora_stmt::execute(uint32_t iters, uint32_t mode) {
    ora_engine& owner = engine();
    return owner.status_of(oci().OCIStmtExecute(owner.service(), handle_, owner.error(), iters, 0,
                                                nullptr, nullptr, mode));
}

bool ora_stmt::fetch() {
    return engine().status_of(oci().OCIStmtFetch(handle_, engine().error(), 1, OCI_FETCH_NEXT,
                                                 OCI_DEFAULT)) != ora_status::no_data;
}

uint32_t ora_stmt::param_count() {
    ub4 count = 0;
    engine().check(oci().OCIAttrGet(handle_, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT,
                                    engine().error()));
    return count;
}

size_t ora_stmt::max_array_element() {
    return ora_oci_loaded().OCIBindByPos2 != nullptr ? (size_t{1} << 31) - 1 : 65535;
}

OCIBind* ora_stmt::bind_array(uint32_t position, void* elements, size_t element_bytes,
                              uint16_t type, int16_t* indicators, uint32_t* lengths, size_t count) {
    TK_ASSERT(element_bytes <= max_array_element());
    OCIBind* bind = nullptr;
    if (oci().OCIBindByPos2 != nullptr) {
        engine().check(oci().OCIBindByPos2(handle_, &bind, engine().error(), position, elements,
                                           static_cast<sb8>(element_bytes), type, indicators,
                                           lengths, nullptr, 0, nullptr, OCI_DEFAULT));
        return bind;
    }
    // An older client counts lengths in ub2; the values fit, as element_bytes does.
    if (short_lengths_.size() < position) {
        short_lengths_.resize(position);
    }
    std::vector<uint16_t>& shorts = short_lengths_[position - 1];
    shorts.assign(lengths, lengths + count);
    engine().check(oci().OCIBindByPos(handle_, &bind, engine().error(), position, elements,
                                      static_cast<sb4>(element_bytes), type, indicators,
                                      shorts.data(), nullptr, 0, nullptr, OCI_DEFAULT));
    return bind;
}

void ora_stmt::limit_bind(OCIBind* bind, uint32_t server_bytes) {
    sb4 bytes = static_cast<sb4>(server_bytes);
    engine().check(oci().OCIAttrSet(bind, OCI_HTYPE_BIND, &bytes, sizeof(bytes),
                                    OCI_ATTR_MAXDATA_SIZE, engine().error()));
}

OCIBind* ora_stmt::bind(const std::wstring& placeholder, void* buffer, int32_t size, uint16_t type,
                        int16_t* indicator, uint16_t* length, uint32_t mode) {
    const std::u16string name16 = ora_to_oci(placeholder);
    OCIBind* bind = nullptr;
    engine().check(oci().OCIBindByName(handle_, &bind, engine().error(),
                                       reinterpret_cast<const OraText*>(name16.data()),
                                       static_cast<sb4>(name16.size() * 2), buffer, size, type,
                                       indicator, length, nullptr, 0, nullptr, mode));
    return bind;
}

OCIDefine* ora_stmt::define(uint32_t position, void* buffer, int32_t size, uint16_t type,
                            int16_t* indicator, uint16_t* length) {
    OCIDefine* define = nullptr;
    engine().check(oci().OCIDefineByPos(handle_, &define, engine().error(), position, buffer, size,
                                        type, indicator, length, nullptr, OCI_DEFAULT));
    return define;
}

// ---- ora_param -----------------------------------------------------------------------------

ora_param::ora_param(ora_stmt& statement, uint32_t position) {
    engine().check(oci().OCIParamGet(statement.handle(), OCI_HTYPE_STMT, engine().error(), &handle_,
                                     position));
}

ora_param::~ora_param() {
    if (handle_ != nullptr) {
        oci().OCIDescriptorFree(handle_, OCI_DTYPE_PARAM);
    }
}

template <class T>
T ora_param::get(uint32_t attribute) const {
    T value{};
    engine().check(
        oci().OCIAttrGet(handle_, OCI_DTYPE_PARAM, &value, nullptr, attribute, engine().error()));
    return value;
}

uint16_t ora_param::data_type() const {
    return get<ub2>(OCI_ATTR_DATA_TYPE);
}

uint16_t ora_param::data_size() const {
    return get<ub2>(OCI_ATTR_DATA_SIZE);
}

int16_t ora_param::precision() const {
    return get<sb2>(OCI_ATTR_PRECISION);
}

int16_t ora_param::scale() const {
    return get<sb1>(OCI_ATTR_SCALE);
}

bool ora_param::is_null() const {
    return get<ub1>(OCI_ATTR_IS_NULL) != 0;
}

std::wstring ora_param::name() const {
    OraText* text = nullptr;
    ub4 bytes = 0;
    engine().check(
        oci().OCIAttrGet(handle_, OCI_DTYPE_PARAM, &text, &bytes, OCI_ATTR_NAME, engine().error()));
    return ora_from_oci(text, bytes);
}

// ---- ora_lob_locator -------------------------------------------------------------------------

ora_lob_locator::ora_lob_locator() {
    ora_engine& owner = engine();
    void* locator = nullptr;
    owner.check(oci().OCIDescriptorAlloc(owner.env(), &locator, OCI_DTYPE_LOB, 0, nullptr));
    locator_ = static_cast<OCILobLocator*>(locator);
}

ora_lob_locator::~ora_lob_locator() {
    release();
}

ora_lob_locator::ora_lob_locator(ora_lob_locator&& other) noexcept : locator_(other.locator_) {
    other.locator_ = nullptr;
}

ora_lob_locator& ora_lob_locator::operator=(ora_lob_locator&& other) noexcept {
    if (this != &other) {
        release();
        locator_ = other.locator_;
        other.locator_ = nullptr;
    }
    return *this;
}

void ora_lob_locator::release() noexcept {
    if (locator_ != nullptr) {
        oci().OCIDescriptorFree(locator_, OCI_DTYPE_LOB);
        locator_ = nullptr;
    }
}

uint8_t ora_lob_locator::charset_form() const {
    ub1 form = 0;
    engine().check(oci().OCILobCharSetForm(engine().env(), engine().error(), locator_, &form));
    return form;
}

uint32_t ora_lob_locator::length() const {
    ub4 length = 0;
    engine().check(oci().OCILobGetLength(engine().service(), engine().error(), locator_, &length));
    return length;
}

void ora_lob_locator::write_text(uint32_t offset, const std::u16string& text,
                                 uint8_t charset_form) {
    ub4 amount = static_cast<ub4>(text.size());
    engine().check(oci().OCILobWrite(engine().service(), engine().error(), locator_, &amount,
                                     offset, const_cast<char16_t*>(text.data()),
                                     static_cast<ub4>(text.size() * 2), OCI_ONE_PIECE, nullptr,
                                     nullptr, OCI_UTF16ID, charset_form));
    if (amount != text.size()) {
        throw tk_exception(tk_format("Only %u of %zu characters of a CLOB were written.",
                                     static_cast<unsigned>(amount), text.size()),
                           0);
    }
}

void ora_lob_locator::write_bytes(uint32_t offset, const uint8_t* bytes, uint32_t count) {
    ub4 amount = count;
    engine().check(oci().OCILobWrite(engine().service(), engine().error(), locator_, &amount,
                                     offset, const_cast<uint8_t*>(bytes), count, OCI_ONE_PIECE,
                                     nullptr, nullptr, 0, 0));
    if (amount != count) {
        throw tk_exception(tk_format("Only %u of %u bytes of a BLOB were written.",
                                     static_cast<unsigned>(amount), static_cast<unsigned>(count)),
                           0);
    }
}

uint32_t ora_lob_locator::read(uint32_t offset, void* buffer, uint32_t buffer_bytes,
                               uint32_t amount, uint8_t charset_form) {
    ub4 read_amount = amount;
    const ub2 charset = charset_form == 0 ? 0 : OCI_UTF16ID;
    const ora_status status = engine().status_of(
        oci().OCILobRead(engine().service(), engine().error(), locator_, &read_amount, offset,
                         buffer, buffer_bytes, nullptr, nullptr, charset, charset_form));
    return status == ora_status::no_data ? 0 : read_amount;
}

// The one object through which the system talks to an Oracle server, and the small owners of
// OCI handles that the Oracle destination builds on.
//
// ora_engine (a singleton) loads the OCI client at the first connection (ora_oci.h), owns the
// process-wide environment (UTF-16 mode), error and service-context handles, logs on and off
// and hands out an ora_database for the schema of the logged-on user. Every OCI result passes
// through ora_engine::check, the only code that interprets OCI return codes: a failure
// becomes ora_exception, an invalid handle an internal error; callers see the meaning
// (ora_status, a bool for "a row came") rather than raw codes.
//
// ora_logon is a log-on made apart from the engine, with an environment of its own, so that a
// thread may log on while another uses the engine; the engine takes it over in open_db (see
// take_logon). The wizard logs on that way from a worker, so that a log-on the user gave up
// can go on blocking in the client library without touching the engine.
//
// ora_stmt owns one statement handle, ora_lob_locator one LOB locator; both release them in
// their destructors (which never throw) and are move-only. Handles are used by one thread at a
// time: the conversion runs on one thread, and the insert path's worker (ora_background), which
// writes batches meanwhile, is waited for by every other OCI call (ora_oci); nothing here is
// guarded otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ORA/ora_oci.h"
#include "TK/tk_exception.h"
#include "TK/tk_singleton.h"

class ora_database;

// An Oracle error: the message is OCIErrorGet's text ("ORA-00942: table or view does not
// exist"), the code 0x100000 combined with the low 16 bits of the ORA number, level 0.
class ora_exception : public tk_exception {
  public:
    static constexpr uint32_t code_base = 0x100000;

    // The text is converted to the process's ANSI character set.
    ora_exception(int32_t ora_number, const std::wstring& text);
    // The full ORA number (942 for ORA-00942).
    int32_t ora_error() const noexcept { return ora_error_; }

  private:
    int32_t ora_error_;
};

// One row of an array DML execute that failed (OCI_BATCH_ERRORS): its offset in the arrays and
// its error.
struct ora_row_error {
    uint32_t offset;
    int32_t ora_number;
    std::wstring text;
};

// What a successful OCI call reported.
enum class ora_status {
    success,
    success_with_info,  // done, with a warning waiting in the error handle
    no_data,            // a query gave no (more) rows
};

// One log-on with handles of its own: an environment (UTF-16, threaded, since other threads
// use other environments meanwhile), an error handle and the service context of OCILogon.
// Move-only; a log-on that no engine took over logs off and frees its handles when destroyed,
// on whichever thread drops it (the destructor never throws).
class ora_logon {
  public:
    // Logs on with the connect string, the user and the password, on the calling thread and
    // without the engine. The client library must be loaded (ora_engine::load_client).
    // ora_exception when the server refuses; tk_exception (level 1) when no environment can be
    // made.
    static ora_logon open(const std::wstring& connect_string, const std::wstring& user,
                          const std::wstring& password);

    ora_logon(ora_logon&& other) noexcept;
    ora_logon& operator=(ora_logon&& other) noexcept;
    ~ora_logon();

    // Whether this is the log-on that open_db would make with these values.
    bool is_for(const std::wstring& connect_string, const std::wstring& user,
                const std::wstring& password) const;

  private:
    friend class ora_engine;

    ora_logon() = default;
    void release() noexcept;

    OCIEnv* env_ = nullptr;
    OCIError* error_ = nullptr;
    OCISvcCtx* service_ = nullptr;
    std::wstring connect_string_;
    std::wstring user_;
    std::wstring password_;
};

class ora_engine : public tk_singleton<ora_engine> {
  public:
    ora_engine();
    virtual ~ora_engine();

    // Loads the client library (tk_exception with the exact "not found" text when none
    // loads; no handle is created then), creates the UTF-16 environment and the error handle.
    void initialize();

    // Loads the client library on the calling thread (see ora_oci_load); tk_exception with the
    // exact "not found" text when none loads. Call it before ora_logon::open on another thread.
    static void load_client();

    // Logs on with the connect string (net service name, EZConnect text or descriptor), the
    // user and the password, replacing any previous log-on, and returns the user's schema.
    // When a log-on taken with take_logon is for the same values, it is used instead of a new
    // one; its environment then replaces the engine's, so nothing made from the previous log-on
    // (statements, locators, tables) may still exist.
    std::unique_ptr<ora_database> open_db(const std::wstring& connect_string,
                                          const std::wstring& user, const std::wstring& password);
    // Keeps a log-on made apart for the next open_db (a log-on kept before is dropped).
    void take_logon(ora_logon&& logon);
    // Ends the log-on, if any (the environment stays).
    void log_off() noexcept { logoff(); }
    // The direct form: connects to host:port with the host as service name as well.
    std::unique_ptr<ora_database> open_db(const std::wstring& host, const std::wstring& user,
                                          const std::wstring& password, const std::wstring& port);
    // The connect descriptor of the direct form.
    static std::wstring direct_descriptor(const std::wstring& host, const std::wstring& port);

    // Rows of a table (text is its name) or of a query (is_query). tk_mail_assertion without
    // a log-on or when no row comes back.
    int64_t get_records_cnt(const std::wstring& text, bool is_query);
    // The server version as major * 65536 + minor * 256 + patch; 0 when it cannot be read.
    uint32_t get_version();
    // The packed version of a V$VERSION banner (0 when it holds no n.n.n word).
    static uint32_t parse_version(const std::string& banner);

    // Returns status unchanged unless it is OCI_ERROR (raises ora_exception with record 1 of
    // the error handle) or OCI_INVALID_HANDLE (raises tk_mail_assertion).
    int check(int status);
    // The same for calls whose diagnostics live in the environment handle.
    int check_env(int status);
    // The meaning of a checked status.
    ora_status status_of(int status);
    // The first warning record after a success with information (ORA number and text).
    int32_t warning(std::string* text = nullptr);

    void commit();
    void rollback();

    // The failed rows of the statement's last array execute with OCI_BATCH_ERRORS, in the order
    // Oracle gives them.
    std::vector<ora_row_error> batch_errors(OCIStmt* statement);

    bool is_initialized() const noexcept { return initialized_; }
    bool logged_on() const noexcept { return service_ != nullptr; }
    OCIEnv* env() const noexcept { return env_; }
    OCIError* error() const noexcept { return error_; }
    // The service context of the log-on; tk_mail_assertion when there is none.
    OCISvcCtx* service() const;

    const std::wstring& connect_string() const noexcept { return connect_string_; }
    const std::wstring& user() const noexcept { return user_; }

    // When set, tables opened in mode 1 do not read their indexes. Nothing in the system sets
    // it.
    bool skip_indexes = false;

  private:
    [[noreturn]] void raise_error(void* handle, uint32_t handle_type);
    void logoff() noexcept;
    // Frees the error handle and the environment (after the log-off).
    void free_environment() noexcept;
    // Logs off and frees everything, then takes over the handles of logon.
    void adopt(ora_logon&& logon);
    // Makes the session read and write numbers with a decimal point.
    void use_plain_numbers();

    bool initialized_ = false;
    std::wstring connect_string_;
    std::wstring user_;
    std::wstring password_;

    OCIEnv* env_ = nullptr;
    OCIError* error_ = nullptr;
    OCISvcCtx* service_ = nullptr;
    std::optional<ora_logon> prepared_;
};

// One statement handle, freed by the destructor. Prepared once, it may be executed many times.
class ora_stmt {
  public:
    ora_stmt();
    explicit ora_stmt(const std::wstring& sql);
    ~ora_stmt();
    ora_stmt(const ora_stmt&) = delete;
    ora_stmt& operator=(const ora_stmt&) = delete;
    ora_stmt(ora_stmt&& other) noexcept;
    ora_stmt& operator=(ora_stmt&& other) noexcept;

    OCIStmt* handle() const noexcept { return handle_; }
    const std::wstring& text() const noexcept { return text_; }

    void prepare(const std::wstring& sql);
    // Executes iters times (a query: 0 describes, 1 also fetches the first row).
    ora_status execute(uint32_t iters, uint32_t mode = OCI_DEFAULT);
    // Fetches the next row; false at the end.
    bool fetch();

    // Select-list columns of an executed query.
    uint32_t param_count();

    // An input array bind by position (1-based) of caller-owned arrays: elements of
    // element_bytes each, one sb2 indicator and one ub4 actual length (bytes) per element.
    // Elements above 65535 bytes need a client with OCIBindByPos2 (max_array_element).
    OCIBind* bind_array(uint32_t position, void* elements, size_t element_bytes, uint16_t type,
                        int16_t* indicators, uint32_t* lengths, size_t count);
    // The most bytes the server is to take for the bind once converted to the database's
    // character set (OCI_ATTR_MAXDATA_SIZE). Without it a client reckons from the element size
    // and the character sets' ratio, and may send a text above 4000 bytes as a LONG, which only
    // a LONG or LOB column takes (ORA-01461).
    void limit_bind(OCIBind* bind, uint32_t server_bytes);
    // The largest element bind_array takes with the loaded client.
    static size_t max_array_element();

    // An input bind by name (":1") of a caller-owned buffer; size and *length in bytes.
    OCIBind* bind(const std::wstring& placeholder, void* buffer, int32_t size, uint16_t type,
                  int16_t* indicator, uint16_t* length, uint32_t mode = OCI_DEFAULT);
    // Output buffer of a select-list column (1-based); sizes in bytes.
    OCIDefine* define(uint32_t position, void* buffer, int32_t size, uint16_t type,
                      int16_t* indicator, uint16_t* length);

  private:
    void release() noexcept;

    OCIStmt* handle_ = nullptr;
    std::wstring text_;
    // The ub2 lengths of array binds when the client has no OCIBindByPos2, by position.
    std::vector<std::vector<uint16_t>> short_lengths_;
};

// The parameter descriptor of one select-list column of an executed query, freed by the
// destructor.
class ora_param {
  public:
    ora_param(ora_stmt& statement, uint32_t position);
    ~ora_param();
    ora_param(const ora_param&) = delete;
    ora_param& operator=(const ora_param&) = delete;

    uint16_t data_type() const;
    uint16_t data_size() const;
    int16_t precision() const;
    int16_t scale() const;
    bool is_null() const;
    std::wstring name() const;
    const void* handle() const noexcept { return handle_; }

  private:
    template <class T>
    T get(uint32_t attribute) const;

    void* handle_ = nullptr;
};

// One LOB locator descriptor, freed by the destructor.
class ora_lob_locator {
  public:
    ora_lob_locator();
    ~ora_lob_locator();
    ora_lob_locator(const ora_lob_locator&) = delete;
    ora_lob_locator& operator=(const ora_lob_locator&) = delete;
    ora_lob_locator(ora_lob_locator&& other) noexcept;
    ora_lob_locator& operator=(ora_lob_locator&& other) noexcept;

    OCILobLocator* get() const noexcept { return locator_; }
    // The address OCIDefineByPos fills.
    OCILobLocator** address() noexcept { return &locator_; }

    // SQLCS_IMPLICIT for a CLOB, SQLCS_NCHAR for an NCLOB, 0 for a BLOB.
    uint8_t charset_form() const;
    // Characters (UTF-16 code units) of a CLOB, bytes of a BLOB.
    uint32_t length() const;
    // Writes one piece at offset (1-based: code units of a CLOB, bytes of a BLOB) in one call:
    // a CLOB's UTF-16 text or a BLOB's bytes.
    void write_text(uint32_t offset, const std::u16string& text, uint8_t charset_form);
    void write_bytes(uint32_t offset, const uint8_t* bytes, uint32_t count);
    // Reads from offset (1-based) into buffer: at most amount characters (CLOB) or bytes
    // (BLOB); returns the amount read (0 at the end).
    uint32_t read(uint32_t offset, void* buffer, uint32_t buffer_bytes, uint32_t amount,
                  uint8_t charset_form);

  private:
    void release() noexcept;

    OCILobLocator* locator_ = nullptr;
};

// UTF-16 text for OCI and back; lengths at the boundary are in bytes.
std::u16string ora_to_oci(const std::wstring& text);
std::wstring ora_from_oci(const void* text, size_t bytes);

// An Oracle session of its own, through the OCI calls of liboralite.so loaded directly: for a
// test that needs a second session beside the product's (one that holds a lock), and for the
// benchmark's write floor. Independent of the product's Oracle side.
#pragma once

#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "oci/oci.h"
#include "platform/codepage.h"

namespace driver_test {

class oci_session {
  public:
    oci_session() = default;
    ~oci_session() { close(); }
    oci_session(const oci_session&) = delete;
    oci_session& operator=(const oci_session&) = delete;

    // Loads the library and logs on; false (with the reason on standard error) on failure.
    bool open(const std::string& library, const std::string& database, const std::string& user,
              const std::string& password) {
        library_ = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library_ == nullptr) {
            std::fprintf(stderr, "%s\n", dlerror());
            return false;
        }
        load(env_create_, "OCIEnvCreate");
        load(handle_alloc_, "OCIHandleAlloc");
        load(handle_free_, "OCIHandleFree");
        load(error_get_, "OCIErrorGet");
        load(logon_, "OCILogon");
        load(logoff_, "OCILogoff");
        load(prepare_, "OCIStmtPrepare");
        load(execute_, "OCIStmtExecute");
        load(bind_by_pos_, "OCIBindByPos");
        load(commit_, "OCITransCommit");
        if (env_create_(&env_, OCI_UTF16, nullptr, nullptr, nullptr, nullptr, 0, nullptr) != 0 ||
            handle_alloc_(env_, reinterpret_cast<void**>(&error_), OCI_HTYPE_ERROR, 0, nullptr) !=
                0) {
            std::fprintf(stderr, "cannot create the OCI environment\n");
            return false;
        }
        const std::u16string u = utf16(user);
        const std::u16string p = utf16(password);
        const std::u16string d = utf16(database);
        return check(logon_(env_, error_, &service_, text(u), bytes(u), text(p), bytes(p), text(d),
                            bytes(d)));
    }

    // Logs off (which commits, as Oracle's log-off does).
    void close() {
        if (statement_ != nullptr) {
            handle_free_(statement_, OCI_HTYPE_STMT);
            statement_ = nullptr;
        }
        if (service_ != nullptr) {
            logoff_(service_, error_);
            service_ = nullptr;
        }
    }

    // Prepares a statement to run once or many times (binds stay with it).
    bool prepare(const std::string& statement) {
        if (statement_ != nullptr) {
            handle_free_(statement_, OCI_HTYPE_STMT);
            statement_ = nullptr;
        }
        const std::u16string sql = utf16(statement);
        return check(handle_alloc_(env_, reinterpret_cast<void**>(&statement_), OCI_HTYPE_STMT, 0,
                                   nullptr)) &&
               check(prepare_(statement_, error_, text(sql), bytes(sql), OCI_NTV_SYNTAX,
                              OCI_DEFAULT));
    }
    // Binds a caller-owned buffer to position (from 1); length in bytes, kept up to date by
    // the caller.
    bool bind(ub4 position, void* data, sb4 size, ub2 type, ub2* length) {
        OCIBind* bind = nullptr;
        return check(bind_by_pos_(statement_, &bind, error_, position, data, size, type, nullptr,
                                  length, nullptr, 0, nullptr, OCI_DEFAULT));
    }
    // Runs the prepared statement without committing: a DML statement once, a query without
    // fetching (SELECT ... FOR UPDATE takes its locks).
    bool execute(ub4 iterations = 1, ub4 mode = OCI_DEFAULT) {
        return check(execute_(service_, statement_, error_, iterations, 0, nullptr, nullptr, mode));
    }
    bool run(const std::string& statement) { return prepare(statement) && execute(); }
    bool run_query(const std::string& statement) { return prepare(statement) && execute(0); }
    bool commit() { return check(commit_(service_, error_, 0)); }

    static std::u16string utf16(const std::string& utf8) {
        return platform::wide_to_utf16(platform::utf8_to_wide(utf8));
    }

  private:
    template <class F>
    void load(F& function, const char* name) {
        function = reinterpret_cast<F>(dlsym(library_, name));
    }
    static const OraText* text(const std::u16string& s) {
        return reinterpret_cast<const OraText*>(s.data());
    }
    static ub4 bytes(const std::u16string& s) { return static_cast<ub4>(s.size() * 2); }

    bool check(sword status) {
        if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) {
            return true;
        }
        char16_t message[512] = {};
        sb4 code = 0;
        if (error_ != nullptr) {
            error_get_(error_, 1, nullptr, &code, reinterpret_cast<OraText*>(message),
                       sizeof message, OCI_HTYPE_ERROR);
        }
        std::fprintf(stderr, "OCI error %d: %s\n", code,
                     platform::wide_to_utf8(platform::utf16_to_wide(message)).c_str());
        return false;
    }

    void* library_ = nullptr;
    OCIEnv* env_ = nullptr;
    OCIError* error_ = nullptr;
    OCISvcCtx* service_ = nullptr;
    OCIStmt* statement_ = nullptr;
    decltype(&OCIEnvCreate) env_create_ = nullptr;
    decltype(&OCIHandleAlloc) handle_alloc_ = nullptr;
    decltype(&OCIHandleFree) handle_free_ = nullptr;
    decltype(&OCIErrorGet) error_get_ = nullptr;
    decltype(&OCILogon) logon_ = nullptr;
    decltype(&OCILogoff) logoff_ = nullptr;
    decltype(&OCIStmtPrepare) prepare_ = nullptr;
    decltype(&OCIStmtExecute) execute_ = nullptr;
    decltype(&OCIBindByPos) bind_by_pos_ = nullptr;
    decltype(&OCITransCommit) commit_ = nullptr;
};

}  // namespace driver_test

// The OCI functions of the Oracle destination, looked up by name at run time.
//
// The product never links an Oracle client: the first connection loads one with dlopen and
// fills this table with dlsym. The library is, in this order:
//   1. the path in the environment variable TARVOLIN_OCI_LIBRARY, when it is set and not
//      empty; an explicit choice is the only candidate, so a wrong path is reported instead of
//      silently reaching another client;
//   2. the Oracle client "libclntsh.so" (Instant Client), found by the dynamic loader;
//   3. "liboralite.so" in the folder of the running program (the embedded target).
// A library that loads but lacks one of the functions counts as not loaded. When none loads,
// the probe raises tk_exception (level 1) with the system's exact "The Oracle client and
// networking components were not found..." text.
//
// The table lives for the rest of the process once loaded (the library is never unloaded,
// since handles may outlive any owner). Loading happens on the connecting thread; afterwards
// the table is only read.
#pragma once

#include <string>
#include <vector>

#include "oci/oci.h"

// Every OCI function the Oracle destination calls, once.
#define ORA_OCI_FUNCTIONS(X) \
    X(OCIEnvCreate)          \
    X(OCIHandleAlloc)        \
    X(OCIHandleFree)         \
    X(OCIDescriptorAlloc)    \
    X(OCIDescriptorFree)     \
    X(OCIAttrGet)            \
    X(OCIAttrSet)            \
    X(OCIErrorGet)           \
    X(OCILogon)              \
    X(OCILogoff)             \
    X(OCITransCommit)        \
    X(OCITransRollback)      \
    X(OCIStmtPrepare)        \
    X(OCIStmtExecute)        \
    X(OCIStmtFetch)          \
    X(OCIParamGet)           \
    X(OCIBindByName)         \
    X(OCIBindByPos)          \
    X(OCIBindDynamic)        \
    X(OCIDefineByPos)        \
    X(OCILobRead)            \
    X(OCILobWrite)           \
    X(OCILobGetLength)       \
    X(OCILobCharSetForm)

// Functions that only newer clients have (12c and later); null when the client lacks them.
#define ORA_OCI_OPTIONAL_FUNCTIONS(X) X(OCIBindByPos2)

struct ora_oci_functions {
#define ORA_OCI_MEMBER(name) decltype(&::name) name = nullptr;
    ORA_OCI_FUNCTIONS(ORA_OCI_MEMBER)
    ORA_OCI_OPTIONAL_FUNCTIONS(ORA_OCI_MEMBER)
#undef ORA_OCI_MEMBER
};

// The text raised when no client library can be loaded.
extern const char* const ora_client_not_found_message;

// The libraries to try, in order, for the given value of TARVOLIN_OCI_LIBRARY (null when
// unset) and the folder of the running program.
std::vector<std::string> ora_oci_candidates(const char* environment_value,
                                            const std::string& program_folder);

// Loads the first candidate that opens and exports every function into table. False when none
// does (each failure is traced); the table is then left unchanged.
bool ora_oci_probe(const std::vector<std::string>& candidates, ora_oci_functions& table);

// Loads the process-wide table at the first call (the probe above with the candidates of this
// process); raises tk_exception with ora_client_not_found_message when no library loads.
// Later calls return at once.
void ora_oci_load();

// The loaded table; tk_mail_assertion before ora_oci_load succeeded. Waits first for the batches
// being written or in line on the insert path's worker (ora_background), unless called by it.
const ora_oci_functions& ora_oci();
// The same without waiting: for asking which functions the client has, never for a call.
const ora_oci_functions& ora_oci_loaded();

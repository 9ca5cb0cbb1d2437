#include "ORA/ora_oci.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "ORA/ora_background.h"
#include "TK/tk_exception.h"
#include "TK/tk_trace_log.h"

const char* const ora_client_not_found_message =
    "The Oracle client and networking components were not found.\n"
    "These components are supplied by the Oracle Corporation and\n"
    "are part of the Oracle Version 7.3.4 (or later) client\n"
    "software installation. You will be unable to use this program\n"
    "until these components have been installed.";

namespace {

ora_oci_functions loaded_table;
bool table_loaded = false;

std::string program_folder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    return program.parent_path().string();
}

// Fills table from an opened library; false when a function is missing.
bool resolve(void* library, const std::string& path, ora_oci_functions& table) {
    ora_oci_functions resolved;
#define ORA_OCI_RESOLVE(name)                                                    \
    resolved.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));  \
    if (resolved.name == nullptr) {                                              \
        tk_trace(2, "OCI library '%s' has no function %s", path.c_str(), #name); \
        return false;                                                            \
    }
    ORA_OCI_FUNCTIONS(ORA_OCI_RESOLVE)
#undef ORA_OCI_RESOLVE
#define ORA_OCI_RESOLVE_OPTIONAL(name) \
    resolved.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));
    ORA_OCI_OPTIONAL_FUNCTIONS(ORA_OCI_RESOLVE_OPTIONAL)
#undef ORA_OCI_RESOLVE_OPTIONAL
    table = resolved;
    return true;
}

}  // namespace

std::vector<std::string> ora_oci_candidates(const char* environment_value,
                                            const std::string& folder) {
    if (environment_value != nullptr && *environment_value != '\0') {
        return {environment_value};
    }
    std::vector<std::string> candidates{"libclntsh.so"};
    if (!folder.empty()) {
        candidates.push_back((std::filesystem::path(folder) / "liboralite.so").string());
    }
    return candidates;
}

bool ora_oci_probe(const std::vector<std::string>& candidates, ora_oci_functions& table) {
    for (const std::string& path : candidates) {
        void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            const char* reason = dlerror();
            tk_trace(2, "Cannot load OCI library '%s': %s", path.c_str(),
                     reason == nullptr ? "" : reason);
            continue;
        }
        if (resolve(library, path, table)) {
            tk_trace(2, "Loaded OCI library '%s'", path.c_str());
            return true;
        }
        dlclose(library);
    }
    return false;
}

void ora_oci_load() {
    if (table_loaded) {
        return;
    }
    const std::vector<std::string> candidates =
        ora_oci_candidates(std::getenv("TARVOLIN_OCI_LIBRARY"), program_folder());
    if (!ora_oci_probe(candidates, loaded_table)) {
        throw tk_exception(ora_client_not_found_message, 1);
    }
    table_loaded = true;
}

const ora_oci_functions& ora_oci() {
    // A batch being written on the insert path's worker finishes before any other call.
    ora_background::settle();
    return ora_oci_loaded();
}

const ora_oci_functions& ora_oci_loaded() {
    TK_ASSERT(table_loaded);
    return loaded_table;
}

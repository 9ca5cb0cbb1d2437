#include "TK/tk_converter.h"

#include "TK/tk_exception.h"
#include "TK/tk_file.h"
#include "TK/tk_trace_log.h"

tk_converter::tk_converter() {
    tk_trace(2, "tk_converter::ctor");
}

tk_converter::~tk_converter() {
    tk_trace(2, "tk_converter::dtor");
}

void tk_converter::set_logfile(const std::string& path) {
    tk_trace(1, "tk_convertor::set_logfile(%s)", path.c_str());
    if (path.empty()) {
        log_file_.clear();
        return;
    }
    if (tk_is_file_exist(path, tk_file_read) && !tk_is_file_exist(path, tk_file_read_write)) {
        throw tk_exception("Logfile name specifies an existing read-only file.", 1);
    }
    tk_file_name parts;
    parts.initialize(path.c_str());
    // A folder would pass the two tests above and then silently receive no line at all.
    if ((parts.name.empty() && parts.ext.empty()) || tk_is_path_exist(path)) {
        throw tk_exception("Logfile name specifies a folder, not a file.", 1);
    }
    if (!tk_is_path_exist(parts.drive + parts.dir)) {
        throw tk_exception(
            "Logfile path does not exist.\nPlease verify the correct path was given.", 1);
    }
    log_file_ = path;
    // The log keeps the full path, so that its lines do not follow a change of the current
    // directory.
    tk_trace_log& log = tk_trace_log::instance();
    log.set_file_name(parts.make_path());
    log.set_enabled(true);
}
